#include "Uninstall.h"

#include "DesktopIntegration.h"
#include "Exceptions.h"
#include "fileio.h"
#include "imagelength.h"
#include "program.h"
#include "storeio.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

void writeUninstaller(const QString &targetFolder, InstallRecord &record)
{
    Q_UNUSED(record); // the plain program needs nothing beside it
    const QString file = QDir(targetFolder).filePath(Integration::uninstallerName);
    const auto fail = [&file](const QString &why) {
        return Exception(QStringLiteral("Nie można zapisać programu odinstalowującego:\r%1\r%2").arg(file, why));
    };
    // The uninstaller is this program without its payload.
    platform::FileHandle self = platform::openRunningProgram();
    if (self.get() < 0)
        throw fail(QString::fromLocal8Bit(std::strerror(errno)));
    const std::int64_t length = platform::imageLength(self.get());
    if (length <= 0)
        throw fail(QStringLiteral("nieczytelny plik programu"));
    QString error;
    const bool ok = platform::replaceFile(
        file, 0755,
        [&](platform::NativeFile fd, QString *why) {
            const auto status = platform::copyRange(self.get(), 0, std::uint64_t(length), fd);
            if (status == platform::CopyStatus::Ok)
                return true;
            *why = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        },
        &error);
    if (!ok)
        throw fail(error);
}

namespace {

int depth(const ManifestEntry &e)
{
    if (isOutsideTarget(e.path))
        return -1000 + int(e.path.count('/')); // above the target: after everything below it
    return e.path == QLatin1String(".") ? 0 : int(e.path.count('/')) + 1;
}

// A folder outside the target that the installation made and that now holds
// nothing but the desktop's caches of it: the caches go with the folder.
bool removeCaches(const QString &folder)
{
    static const QStringList caches{QStringLiteral("mimeinfo.cache"), QStringLiteral("icon-theme.cache")};
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        if (!caches.contains(name))
            return false;
    bool removed = !names.isEmpty();
    for (const QString &name : names)
        removed = platform::removeEntry(folder, name) && removed;
    return removed;
}

QString shown(const QString &targetFolder, const QString &path)
{
    return isOutsideTarget(path) ? path : QDir::cleanPath(targetFolder + u'/' + path);
}

} // namespace

UninstallReport removeInstallation(const QString &targetFolder, const Manifest &manifest,
                                   const std::function<void(const UninstallReport &)> &beforeOwnFiles)
{
    const QString target = QDir::cleanPath(targetFolder);
    UninstallReport report;
    QStringList fullFolders; // installed folders that hold something else
    QStringList notRemoved;  // installed files that could not go: not the user's additions
    const auto remove = [&](const ManifestEntry &e) {
        QString root, rel, error;
        manifestLocation(e.path, target, root, rel);
        auto status = platform::removeBelow(root, rel, e.stamp, &error);
        if (status == platform::RemoveStatus::NotEmpty && isOutsideTarget(e.path) && removeCaches(e.path))
            status = platform::removeBelow(root, rel, e.stamp, &error);
        switch (status) {
        case platform::RemoveStatus::Removed:
            report.removed += e.stamp.kind != platform::FileStamp::Folder;
            break;
        case platform::RemoveStatus::Missing:
            break;
        case platform::RemoveStatus::Changed:
            report.kept << shown(target, e.path);
            break;
        case platform::RemoveStatus::NotEmpty:
            if (!isOutsideTarget(e.path))
                fullFolders << rel;
            break;
        case platform::RemoveStatus::Failed:
            report.failed << shown(target, e.path) + QStringLiteral(": ") + error;
            notRemoved << shown(target, e.path);
            break;
        }
    };
    // What the user put into the installed folders stays; say what it is.
    const auto listAdded = [&] {
        report.added.clear();
        for (const QString &rel : fullFolders)
            for (const QString &f : platform::filesBelow(QDir(target).filePath(rel.isEmpty() ? QStringLiteral(".") : rel))) {
                const QString inTarget = rel.isEmpty() ? f : rel + '/' + f;
                if (inTarget == Integration::uninstallerName || inTarget == Integration::manifestName)
                    continue; // kept on purpose after a failure, for another try
                const QString path = QDir::cleanPath(target + '/' + inTarget);
                if (!report.kept.contains(path) && !report.added.contains(path) && !notRemoved.contains(path))
                    report.added << path;
            }
        report.added.sort();
    };
    for (const ManifestEntry &e : manifest)
        if (e.stamp.kind != platform::FileStamp::Folder)
            remove(e);
    Manifest folders;
    for (const ManifestEntry &e : manifest)
        if (e.stamp.kind == platform::FileStamp::Folder)
            folders << e;
    std::stable_sort(folders.begin(), folders.end(),
                     [](const ManifestEntry &a, const ManifestEntry &b) { return depth(a) > depth(b); });
    if (beforeOwnFiles) {
        // Everything that can go before the uninstaller's own files.
        for (const ManifestEntry &e : folders)
            remove(e);
        listAdded();
        fullFolders.clear();
        beforeOwnFiles(report);
    }
    if (report.failed.isEmpty()) {
        for (const QString &own : {Integration::uninstallerName, Integration::manifestName}) {
            QString error;
            if (!platform::removeEntry(target, own, &error))
                report.failed << QDir(target).filePath(own) + QStringLiteral(": ") + error;
        }
    }
    for (const ManifestEntry &e : folders)
        remove(e);

    listAdded();
    report.failed.removeDuplicates();
    report.kept.removeDuplicates();
    return report;
}

QString reportText(const UninstallReport &report, int maxLines)
{
    QString text;
    const auto list = [&](const QString &heading, const QStringList &items) {
        if (items.isEmpty())
            return;
        text += heading + '\n';
        const qsizetype n = maxLines < 0 ? items.size() : std::min<qsizetype>(items.size(), maxLines);
        for (qsizetype i = 0; i < n; ++i)
            text += QStringLiteral("  ") + QDir::toNativeSeparators(items[i]) + '\n';
        if (n < items.size())
            text += QStringLiteral("  ... i %1 innych\n").arg(items.size() - n);
    };
    list(QStringLiteral("Nie można usunąć:"), report.failed);
    list(QStringLiteral("Pozostawiono pliki zmienione po instalacji:"), report.kept);
    list(QStringLiteral("Pozostawiono pliki dodane po instalacji:"), report.added);
    return text;
}
