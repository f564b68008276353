#pragma once
// Folder names, folder creation, a file copy that shows its progress on a
// control, and the registry through which that copy drives a control of any
// registered class. Paths are in drive form ("C:\TVO-DEMO\").
#include <QList>
#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <functional>

// Gives a folder name its trailing backslash ("d" becomes "d:\", a name that
// ends in ":" or "\" is left as it is, an empty one stays empty).
QString NormalizeDirName(const QString &name);
// True when the path names an existing folder.
bool FolderExists(const QString &path);
// Creates the folder with every missing parent; failures are silent, the
// caller checks the outcome with FolderExists.
void CreateFolderPath(const QString &path);

// Copies one file in 8192-byte blocks and shows the bytes copied on the
// control (if given and of a registered class). Dest may be a folder, then
// the copy keeps the source's file name. Carries the content and the
// last-write time (2-second precision). Raises EFOpenError, EFCreateError,
// EReadError or EWriteError; the control's position is 0 afterwards either
// way. Files of 2 GiB and more are shown in scaled units so that the values
// fit the control's 32-bit range.
void CopyFileWithProgress(const QString &source, const QString &dest, QObject *control);

enum TProgressPropKind { pkMax, pkMin, pkPosition };

// Maps a control class to the names of its maximum, minimum and position
// properties. A new list knows QProgressBar and TGauge, in that order.
class TProgressList {
public:
    TProgressList();
    // Names are cut to 63 characters. Returns the new entry's index.
    int Add(const QMetaObject *cls, QString maxProp, QString minProp, QString posProp);
    // Last entry whose class is cls or one of its ancestors; -1 if none.
    int IndexOfClass(const QMetaObject *cls) const;
    // Sets the named numeric property through the control's own setter;
    // false for no control, an unregistered class or a missing or
    // non-numeric property. Exceptions of the setter pass through.
    bool SetControlProp(QObject *control, TProgressPropKind kind, qint32 value);
    // The property SetControlProp would write; invalid where it would fail.
    QMetaProperty ControlProp(const QObject *control, TProgressPropKind kind) const;
    int Count() const { return int(m_entries.size()); }

private:
    QMetaProperty lookUp(const QMetaObject *cls, TProgressPropKind kind) const;
    struct Entry {
        const QMetaObject *cls;
        QString maxProp, minProp, posProp;
    };
    QList<Entry> m_entries;
    // The last class asked for, with its three properties: a copy asks
    // for them for every file.
    struct Lookup {
        const QMetaObject *cls = nullptr;
        qsizetype entries = -1; // m_entries.size() when it was made
        QMetaProperty props[3];
    };
    mutable Lookup m_last;
};

// The process-wide list, made on first use.
TProgressList &ProgressControls();
bool ProgressSetMax(QObject *control, qint32 value);
bool ProgressSetMin(QObject *control, qint32 value);
bool ProgressSetPosition(QObject *control, qint32 value);
