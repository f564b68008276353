#include "desktop.h"
#include "files.h"
#include "tempfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <cstring>

namespace platform {

QString desktopFolder(QString *)
{
    const QString home = QDir::homePath();
    // A relative XDG_CONFIG_HOME is invalid and stands for the default.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = home + QStringLiteral("/.config");
    QString desktop = home + QStringLiteral("/Desktop");
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    if (dirs.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // The file is read by shells too: a later assignment wins.
        QTextStream in(&dirs);
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (!line.startsWith(QLatin1String("XDG_DESKTOP_DIR=")))
                continue;
            QString v = line.mid(16);
            if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
                v = v.mid(1, v.size() - 2);
            v.replace(QLatin1String("$HOME"), home);
            if (v.startsWith('/'))
                desktop = QDir::cleanPath(v);
        }
    }
    return desktop;
}

static QString quoteArgument(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool plain = !arg.isEmpty();
    for (const QChar c : arg)
        plain = plain && !reserved.contains(c);
    if (plain)
        return arg;
    QString q = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            q += '\\';
        q += c;
    }
    return q + '"';
}

static QString escapeString(const QString &s)
{
    QString out;
    for (const QChar c : s) {
        if (c == '\\')
            out += QLatin1String("\\\\");
        else if (c == '\n')
            out += QLatin1String("\\n");
        else if (c == '\t')
            out += QLatin1String("\\t");
        else if (c == '\r')
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString desktopExecLine(const QStringList &argv)
{
    QStringList quoted;
    for (const QString &a : argv) {
        QString q = quoteArgument(a);
        q.replace('%', QLatin1String("%%")); // field codes start with %
        quoted << q;
    }
    return escapeString(quoted.join(' '));
}

QString desktopEntryText(const DesktopEntry &e)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nVersion=1.0\nName=%1\nExec=%2\nPath=%3\nTerminal=false\n")
                       .arg(escapeString(e.name), desktopExecLine(e.argv), escapeString(e.workingDir));
    const auto key = [&text](const char *name, const QString &value) {
        if (!value.isEmpty())
            text += QLatin1String(name) + '=' + value + '\n';
    };
    key("Icon", escapeString(e.icon));
    key("Comment", escapeString(e.comment));
    key("Categories", e.categories.isEmpty() ? QString() : e.categories.join(';') + ';');
    key("StartupWMClass", escapeString(e.startupWMClass));
    QStringList ids;
    for (const DesktopAction &a : e.actions)
        ids << a.id;
    key("Actions", ids.isEmpty() ? QString() : ids.join(';') + ';');
    for (const DesktopAction &a : e.actions)
        text += QStringLiteral("\n[Desktop Action %1]\nName=%2\nExec=%3\n")
                    .arg(a.id, escapeString(a.name), desktopExecLine(a.argv));
    return text;
}

bool writeDesktopEntry(const QString &hostFile, const DesktopEntry &entry, QString *error)
{
    // Through a new file renamed over the name: a link at the entry's name
    // is replaced, never written through.
    const QByteArray text = desktopEntryText(entry).toUtf8();
    const int err = replaceFile(hostFile.toUtf8().toStdString(), text.constData(), std::size_t(text.size()), 0755);
    if (err) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(err));
        return false;
    }
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (!gio.isEmpty()) {
        QProcess p;
        p.setProcessEnvironment(environmentForChildren());
        p.start(gio, {QStringLiteral("set"), hostFile, QStringLiteral("metadata::trusted"), QStringLiteral("true")});
        p.waitForFinished(5000); // without a session bus gio fails; the entry works all the same
    }
    return true;
}

QString shortcutFileName(const QString &name) { return name + QStringLiteral(".desktop"); }

bool writeShortcut(const QString &hostFile, const DesktopEntry &entry, QString *error)
{
    return writeDesktopEntry(hostFile, entry, error);
}

QString dataHome()
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    return QDir::isAbsolutePath(data) ? QDir::cleanPath(data) : QDir::homePath() + QStringLiteral("/.local/share");
}

static void runTool(const QString &tool, const QStringList &args)
{
    const QString exe = QStandardPaths::findExecutable(tool);
    if (exe.isEmpty())
        return;
    QProcess p;
    p.setProcessEnvironment(environmentForChildren());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(exe, args);
    if (!p.waitForFinished(20000))
        p.kill();
}

void refreshDesktopCaches(const QString &dataFolder)
{
    const QString apps = dataFolder + QStringLiteral("/applications");
    if (QFileInfo(apps).isDir())
        runTool(QStringLiteral("update-desktop-database"), {QStringLiteral("-q"), apps});
    const QString theme = dataFolder + QStringLiteral("/icons/hicolor");
    if (QFileInfo::exists(theme + QStringLiteral("/icon-theme.cache")))
        runTool(QStringLiteral("gtk-update-icon-cache"),
                {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("-f"), theme});
}

bool startDetached(const QStringList &argv, const QString &workingDir)
{
    if (argv.isEmpty())
        return false;
    QProcess p;
    p.setProgram(argv.first());
    p.setArguments(argv.mid(1));
    p.setWorkingDirectory(workingDir);
    p.setProcessEnvironment(environmentForChildren());
    return p.startDetached();
}

} // namespace platform
