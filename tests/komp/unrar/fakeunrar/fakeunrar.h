#pragma once
// A stand-in for the unrar library whose results a test scripts through the
// state that fakeunrar_state() returns.

struct FakeUnrarState {
    // script
    unsigned openResult;   // 0: the open succeeds
    int entries;           // headers reported before readEnd
    int readEnd;           // result after the last header (10 = end)
    int processResult;     // result of every RARProcessFile call
    // record
    int opens;
    int closes;
    unsigned lastOpenMode;
    char lastArcName[1024];
    int processCalls;
    int lastOperation;
    char operations[64];    // one digit per call
    int lastDestPathNull;
    char lastDestPath[1024];
    int lastDestNameNull;
    int commentBufferClean; // every header read came with no comment buffer
};

extern "C" FakeUnrarState *fakeunrar_state();
