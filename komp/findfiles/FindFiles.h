#pragma once
// Recursive file search: lists the files and folders under one folder that
// match wildcard masks and attribute filters, breadth-first, into an owned
// list. Folders reached through symbolic links are followed, but a folder
// that the search has reached already, by its own name or through another
// link, is not descended again through a link: a link cycle cannot make a
// search run forever, nor a folder of many links to the same folders take
// time by the number of paths through them.
#include "Exceptions.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

TVO_EXCEPTION(EFindFilesError);
// The list error of the class library ("List index out of bounds (%d)").
TVO_EXCEPTION(EListError);

enum TFileAttr { atReadOnly, atArchive, atSystem, atHidden, atDirectory };

// A set of TFileAttr, member n held in bit n.
class TFileAttrs {
public:
    constexpr TFileAttrs() = default;
    constexpr TFileAttrs(std::initializer_list<TFileAttr> members)
    {
        for (TFileAttr a : members)
            m_bits |= 1u << a;
    }
    // From the platform's attribute bits (platform::FileAttr); others dropped.
    static TFileAttrs fromPlatform(int attrs);
    constexpr bool contains(TFileAttr a) const { return m_bits & (1u << a); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr unsigned bits() const { return m_bits; }
    constexpr bool operator==(const TFileAttrs &) const = default;

private:
    unsigned m_bits = 0;
};

enum TFileSortOrder { soNameNoCase, soNameCase, soTime };

// One found file or folder. The fields are read-only for users of the list.
class TFileObj {
public:
    TFileObj(QString rootDir, QString subDir, const QString &fileName, TFileAttrs attr, double time,
             std::int32_t size);

    const QString &Dir() const { return m_dir; }         // RootDir + SubDir
    const QString &RootDir() const { return m_rootDir; } // search root, with "\"
    const QString &SubDir() const { return m_subDir; }   // "Sub\Deeper\" or empty
    const QString &BaseName() const { return m_baseName; }
    const QString &Ext() const { return m_ext; } // from the last "." on, or empty
    TFileAttrs Attr() const { return m_attr; }
    // Last-write time, local, 2-second steps, in days since 30 Dec 1899.
    double Time() const { return m_time; }
    std::int32_t Size() const { return m_size; } // low 32 bits of the size

    QString FullName() const { return m_dir + m_baseName + m_ext; }
    QString RelName() const { return m_subDir + m_baseName + m_ext; }
    QString FileName() const { return m_baseName + m_ext; }

private:
    QString m_dir, m_rootDir, m_subDir, m_baseName, m_ext;
    TFileAttrs m_attr;
    double m_time = 0;
    std::int32_t m_size = 0;
};

// Ordered list that owns its items.
class TFileList {
public:
    int Count() const { return int(m_items.size()); }
    // Throws EListError for an index outside 0..Count-1.
    TFileObj *Items(int index) const;
    void Add(std::unique_ptr<TFileObj> item);
    void Clear();
    // By FullName in the user's collation (with or without case) or by Time;
    // any other value leaves the list as it is.
    void Sort(TFileSortOrder order);

private:
    std::vector<std::unique_ptr<TFileObj>> m_items;
};

// Progress of a recursive search, once per folder before it is scanned.
using TFFProgress = std::function<void(int Progress, const QString &DirName, bool &Stop)>;
// Every item found; Accept false drops it, Stop true ends the search.
using TFFAddFile = std::function<void(TFileObj *NewFile, bool &Accept, bool &Stop)>;

class TFindFiles : public QObject {
    Q_OBJECT
public:
    enum TFindMode { fmDontCare, fmYes, fmNo };
    Q_ENUM(TFindMode)

private:
    Q_PROPERTY(int Tag READ Tag WRITE setTag)
    Q_PROPERTY(QString Directory READ Directory WRITE setDirectory)
    Q_PROPERTY(bool Recurse READ Recurse WRITE setRecurse)
    Q_PROPERTY(QString Mask READ Mask WRITE setMask)
    Q_PROPERTY(TFindMode aReadOnly READ aReadOnly WRITE setaReadOnly)
    Q_PROPERTY(TFindMode aArchive READ aArchive WRITE setaArchive)
    Q_PROPERTY(TFindMode aSystem READ aSystem WRITE setaSystem)
    Q_PROPERTY(TFindMode aHidden READ aHidden WRITE setaHidden)
    Q_PROPERTY(TFindMode aDirectory READ aDirectory WRITE setaDirectory)

public:
    explicit TFindFiles(QObject *owner = nullptr);
    ~TFindFiles() override;

    // Fills FileList. Throws EFindFilesError on a bad set-up (empty Directory
    // or Mask, a Directory that cannot be entered) and EAbort when a handler
    // stops the search; the items listed until then stay in FileList.
    // The process's current folder is never changed.
    void Search();
    // Whether Search would find any item, OnAddFile left aside: the walk ends
    // at the first one. FileList is not touched and no handler is called;
    // the same set-up errors are thrown.
    bool FindsAny();

    TFileList FileList;
    TFFProgress OnProgress;
    TFFAddFile OnAddFile;

    int Tag() const { return m_tag; }
    void setTag(int v) { m_tag = v; }
    QString Directory() const { return m_directory; }
    void setDirectory(const QString &v) { m_directory = v; }
    bool Recurse() const { return m_recurse; }
    void setRecurse(bool v) { m_recurse = v; }
    QString Mask() const { return m_mask; }
    void setMask(const QString &v) { m_mask = v; }
    TFindMode aReadOnly() const { return m_modes[atReadOnly]; }
    void setaReadOnly(TFindMode v) { m_modes[atReadOnly] = v; }
    TFindMode aArchive() const { return m_modes[atArchive]; }
    void setaArchive(TFindMode v) { m_modes[atArchive] = v; }
    TFindMode aSystem() const { return m_modes[atSystem]; }
    void setaSystem(TFindMode v) { m_modes[atSystem] = v; }
    TFindMode aHidden() const { return m_modes[atHidden]; }
    void setaHidden(TFindMode v) { m_modes[atHidden] = v; }
    TFindMode aDirectory() const { return m_modes[atDirectory]; }
    void setaDirectory(TFindMode v) { m_modes[atDirectory] = v; }

private:
    struct Walk;
    // The search; true when it ended at an item (a handler's Stop, or the
    // first item found when firstOnly is set).
    bool walk(bool firstOnly);
    int m_tag = 0;
    QString m_directory;
    bool m_recurse = false;
    QString m_mask = QStringLiteral("*.*");
    TFindMode m_modes[5] = {fmNo, fmDontCare, fmNo, fmNo, fmNo};
};

using TFindMode = TFindFiles::TFindMode;
inline constexpr TFindMode fmDontCare = TFindFiles::fmDontCare;
inline constexpr TFindMode fmYes = TFindFiles::fmYes;
inline constexpr TFindMode fmNo = TFindFiles::fmNo;

// Wildcard match as the designed platform does it: case-insensitive, "*" any
// run, "?" one character, a trailing ".*" also matching a name without that
// extension (so "*.*" matches every name) and a trailing "." matching a name
// without any dot.
bool MatchesMask(const QString &name, const QString &mask);

// Index * 100 / count rounded to the nearest whole number, halves to even.
int RoundedPercent(std::int64_t index, std::int64_t count);
