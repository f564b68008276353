#include "fakeunrar.h"
#include "UnRAR.h"

#include <cstdio>
#include <cstring>

namespace {
FakeUnrarState g_state;
int g_handle;
int g_read;

void copy(char *to, const char *from, size_t size)
{
    std::snprintf(to, size, "%s", from ? from : "");
}
} // namespace

extern "C" {

__attribute__((visibility("default"))) FakeUnrarState *fakeunrar_state() { return &g_state; }

__attribute__((visibility("default"))) void *RAROpenArchive(RAROpenArchiveData *d)
{
    ++g_state.opens;
    g_state.lastOpenMode = d->OpenMode;
    copy(g_state.lastArcName, d->ArcName, sizeof g_state.lastArcName);
    d->OpenResult = g_state.openResult;
    g_read = 0;
    return g_state.openResult == 0 ? &g_handle : nullptr;
}

__attribute__((visibility("default"))) int RARCloseArchive(void *)
{
    ++g_state.closes;
    return 0;
}

#ifndef FAKEUNRAR_NO_READHEADER
__attribute__((visibility("default"))) int RARReadHeader(void *, RARHeaderData *h)
{
    if (h->CmtBuf || h->CmtBufSize)
        g_state.commentBufferClean = 0;
    if (g_read >= g_state.entries)
        return g_state.readEnd;
    std::memset(h->FileName, 0, sizeof h->FileName);
    std::snprintf(h->FileName, sizeof h->FileName, "dir\\entry%d.txt", g_read);
    h->UnpSize = 100u + unsigned(g_read);
    ++g_read;
    return 0;
}
#endif

__attribute__((visibility("default"))) int RARProcessFile(void *, int operation, char *destPath, char *destName)
{
    ++g_state.processCalls;
    g_state.lastOperation = operation;
    const size_t used = std::strlen(g_state.operations);
    if (used + 1 < sizeof g_state.operations)
        g_state.operations[used] = char('0' + operation % 10);
    g_state.lastDestPathNull = destPath == nullptr;
    copy(g_state.lastDestPath, destPath, sizeof g_state.lastDestPath);
    g_state.lastDestNameNull = destName == nullptr;
    return g_state.processResult;
}
}
