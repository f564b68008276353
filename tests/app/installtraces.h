#pragma once
// What the installation runs of a test leave with the user outside the
// test's own folders, taken off again at its end.
#include "DesktopIntegration.h"
#include "desktop.h"
#include "programentry.h"

#include <QFile>

// Windows: the runs' shortcuts (the Start menu is the user's own; the
// desktop too where a test does not redirect it) and their entry among the
// installed programs, which would otherwise stay in the user's registry for
// every later program of the same Wine prefix. Linux: the runs write below
// the test's own folders.
inline void removeInstallationTraces()
{
#ifdef Q_OS_WIN
    const QString name = platform::shortcutFileName(Integration::shortcutName);
    for (const QString &folder : {platform::desktopFolder(), platform::programsMenuFolder()})
        if (!folder.isEmpty())
            QFile::remove(folder + '/' + name);
    const platform::ProgramEntry entry = platform::readProgramEntry(Integration::appId);
    if (!entry.id.isEmpty())
        platform::removeProgramEntry(entry.id, entry.installLocation);
#endif
}
