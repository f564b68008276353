#pragma once
// The unrar library, loaded at run time, and TUnRAR, the component that lists
// an archive and extracts it into a folder.
//
// Every failure of the library becomes an EUnRARError with a fixed English
// message. Paths are in drive form; the library gets host paths in UTF-8.
#include "Exceptions.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <cstdint>
#include <functional>

namespace platform {
class TempFile;
}

// The library's records, 1-byte packed as it defines them.
#pragma pack(push, 1)
struct RAROpenArchiveData {
    char *ArcName;
    unsigned int OpenMode;
    unsigned int OpenResult;
    char *CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
};

struct RARHeaderData {
    char ArcName[260];
    char FileName[260];
    unsigned int Flags;
    unsigned int PackSize;
    unsigned int UnpSize;
    unsigned int HostOS;
    unsigned int FileCRC;
    unsigned int FileTime;
    unsigned int UnpVer;
    unsigned int Method;
    unsigned int FileAttr;
    char *CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
};

// The extended records of the wide-character entries (Windows: wchar_t is a
// UTF-16 unit there, and names outside the ANSI code page come through whole).
struct RAROpenArchiveDataEx {
    char *ArcName;
    wchar_t *ArcNameW;
    unsigned int OpenMode;
    unsigned int OpenResult;
    char *CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
    unsigned int Flags;
    void *Callback;
    std::intptr_t UserData;
    unsigned int OpFlags;
    wchar_t *CmtBufW;
    unsigned int Reserved[25];
};

struct RARHeaderDataEx {
    char ArcName[1024];
    wchar_t ArcNameW[1024];
    char FileName[1024];
    wchar_t FileNameW[1024];
    unsigned int Flags;
    unsigned int PackSize;
    unsigned int PackSizeHigh;
    unsigned int UnpSize;
    unsigned int UnpSizeHigh;
    unsigned int HostOS;
    unsigned int FileCRC;
    unsigned int FileTime;
    unsigned int UnpVer;
    unsigned int Method;
    unsigned int FileAttr;
    char *CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
    unsigned int DictSize;
    unsigned int HashType;
    char Hash[32];
    unsigned int RedirType;
    wchar_t *RedirName;
    unsigned int RedirNameSize;
    unsigned int DirTarget;
    unsigned int MtimeLow;
    unsigned int MtimeHigh;
    unsigned int CtimeLow;
    unsigned int CtimeHigh;
    unsigned int AtimeLow;
    unsigned int AtimeHigh;
    unsigned int Reserved[988];
};
#pragma pack(pop)

TVO_EXCEPTION(EUnRARError);

namespace UnRAR {

enum OpenMode : unsigned { OmList = 0, OmExtract = 1 };
enum Operation : int { OpSkip = 0, OpTest = 1, OpExtract = 2 };

using OpenArchiveFn = void *(*)(RAROpenArchiveData *);
using CloseArchiveFn = int (*)(void *);
using ReadHeaderFn = int (*)(void *, RARHeaderData *);
using ProcessFileFn = int (*)(void *, int, char *, char *);
using OpenArchiveExFn = void *(*)(RAROpenArchiveDataEx *);
using ReadHeaderExFn = int (*)(void *, RARHeaderDataEx *);
using ProcessFileWFn = int (*)(void *, int, wchar_t *, wchar_t *);

// The module state: the loaded library and its bound entry points. After a
// missing entry point the library stays loaded with the slots bound so far.
// Where wchar_t holds UTF-16 (Windows) the wide-character entries are bound
// too when the library has them, and then used for every name: the narrow
// ones pass names in the ANSI code page, which cannot hold every letter.
struct Binding {
    void *library = nullptr;
    OpenArchiveFn RAROpenArchive = nullptr;
    CloseArchiveFn RARCloseArchive = nullptr;
    ReadHeaderFn RARReadHeader = nullptr;
    ProcessFileFn RARProcessFile = nullptr;
    OpenArchiveExFn RAROpenArchiveEx = nullptr;
    ReadHeaderExFn RARReadHeaderEx = nullptr;
    ProcessFileWFn RARProcessFileW = nullptr;
    bool wide() const { return RAROpenArchiveEx && RARReadHeaderEx && RARProcessFileW; }
};
const Binding &binding();

// The path LoadUnrarLibrary loads: a path without a file-name part (nothing
// after its last "\" or ":") gets "UNRAR.DLL", after a "\" when needed.
QString completeLibraryPath(const QString &path);

// The name field of a header, up to its first zero byte.
QString headerFileName(const RARHeaderData &header);

} // namespace UnRAR

// Unloads any library, then loads the one at path and binds the four entry
// points; the library is unloaded again when the program ends.
void LoadUnrarLibrary(const QString &path);
// The same for a library file the program wrote and still holds open: only
// that file is loaded, and a path that no longer names it is refused with the
// load error (see platform::loadWrittenLibrary).
void LoadUnrarLibrary(const QString &path, const platform::TempFile &written);
// Frees the library and empties every slot; harmless when nothing is loaded.
void UnloadUnrarLibrary();
// Loads the library from the system search when none is loaded.
void EnsureUnrarLibrary();

// Opens an archive (UnRAR::OmList or UnRAR::OmExtract) and returns its handle.
void *OpenArchive(const QString &archiveName, unsigned openMode);
// Reads the next header; false at the end of the archive. Through the wide
// entries the name is put into FileName as UTF-8 (cut at the field's size);
// name, when given, receives it whole.
bool ReadNextHeader(void *handle, RARHeaderData &header, QString *name = nullptr);
// Skips or extracts the current entry. A null folder or name goes to the
// library as a null pointer.
void ProcessCurrentFile(void *handle, int operation, const QString &destFolder, const QString &destName);

// Entry names of an archive, each with its unpacked size.
using TUnRARFiles = QList<QPair<QString, quint32>>;

class TUnRAR : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ArchiveFile READ ArchiveFile WRITE setArchiveFile)

public:
    // Asked before each entry is extracted; set skipThisFile to leave it out.
    // Whatever the handler throws ends the extraction.
    using TUnRARExtractFile = std::function<void(QObject *sender, const QString &fileName, bool &skipThisFile)>;
    TUnRARExtractFile OnExtractFile;

    explicit TUnRAR(QObject *owner = nullptr);

    QString ArchiveFile() const { return m_archiveFile; }
    // A different text (case-sensitive) is stored and empties Files.
    void setArchiveFile(const QString &value);

    // The archive file as the program wrote it and still holds open (null:
    // none). The library then reads that very file, whatever has the name
    // ArchiveFile meanwhile; where the system cannot show the open file by a
    // path, a name that no longer refers to it fails to open. Cleared when
    // ArchiveFile changes; the file must outlive its use here.
    void setWrittenArchive(const platform::TempFile *file) { m_written = file; }

    // Entries found by the last ListFiles, in archive order.
    const TUnRARFiles &Files() const { return m_files; }

    void ListFiles();
    void ExtractTo(const QString &folder);

private:
    void *openArchive(unsigned openMode) const;

    QString m_archiveFile;
    const platform::TempFile *m_written = nullptr;
    TUnRARFiles m_files;
};
