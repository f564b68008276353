#pragma once
// Removing an installation again: the uninstaller file the installation
// leaves in the target folder, and the removal of what its manifest lists.
#include "Manifest.h"

#include <QString>
#include <QStringList>

#include <functional>

class InstallRecord;

// Writes the uninstaller into the target folder (a host path): a copy of the
// running program's executable image without the appended payload, under
// Integration::uninstallerName, mode 0755. Further files it needs are
// recorded in `record`. Raises Exception on failure.
void writeUninstaller(const QString &targetFolder, InstallRecord &record);

struct UninstallReport {
    int removed = 0;
    QStringList kept;   // installed, then changed by the user: left in place
    QStringList added;  // not installed, found in an installed folder: left in place
    QStringList failed; // could not be removed: path and reason
};

// Removes what the manifest lists for the installation in targetFolder:
// files and links whose stamp is unchanged, then (when nothing failed) the
// uninstaller and the manifest themselves, then the folders that are empty
// by then, deepest first. Never follows a link. beforeOwnFiles, when given,
// is called with the report so far once everything else that can go has
// gone, before the uninstaller and the manifest are removed with the folders
// that hold them (on Windows the uninstaller's file can only go once the
// program running from it has ended).
UninstallReport removeInstallation(const QString &targetFolder, const Manifest &manifest,
                                   const std::function<void(const UninstallReport &)> &beforeOwnFiles = {});

// The report as lines of text for the user (Polish).
QString reportText(const UninstallReport &report, int maxLinesPerList = -1);
