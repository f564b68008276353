#include "AppCore.h"
#include "Exceptions.h"

#include <QApplication>
#include <QMessageBox>
#include <vector>

namespace App {
namespace {
QString g_title;
bool g_terminated = false;
bool g_inMainLoop = false;
std::vector<std::function<void()>> g_cleanups;
SystemBoxHook g_hook;
} // namespace

QString title() { return g_title; }

void setTitle(const QString &t)
{
    g_title = t;
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(t);
}

int exec()
{
    if (g_terminated)
        return 0;
    g_inMainLoop = true;
    const int rc = QApplication::exec();
    g_inMainLoop = false;
    return rc;
}

void terminate()
{
    g_terminated = true;
    // Outside the main loop (tests, start-up) an exit request would linger
    // and end the next modal dialog's loop instead.
    if (g_inMainLoop)
        QCoreApplication::exit(0);
}

bool terminated() { return g_terminated; }
void resetTerminated() { g_terminated = false; }

void processMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void addCleanup(std::function<void()> step) { g_cleanups.push_back(std::move(step)); }

void runCleanups()
{
    while (!g_cleanups.empty()) {
        auto step = std::move(g_cleanups.back());
        g_cleanups.pop_back();
        step();
    }
}

QString reportText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + '.';
    return message;
}

void showException(const std::exception &e)
{
    if (dynamic_cast<const EAbort *>(&e))
        return;
    const auto *ex = dynamic_cast<const Exception *>(&e);
    const QString msg = ex ? ex->message() : QString::fromLocal8Bit(e.what());
    systemErrorBox(g_title, reportText(msg));
}

void setSystemBoxHook(SystemBoxHook hook) { g_hook = std::move(hook); }

void systemErrorBox(const QString &caption, const QString &text)
{
    if (g_hook) {
        g_hook(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, displayText(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void fatalStartupError(const QString &text)
{
    systemErrorBox(QStringLiteral("Błąd przy uruchamianiu programu !"), text);
    runCleanups();
    std::exit(1);
}

QChar mnemonic(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toUpper();
        ++i;
    }
    return {};
}

QString displayText(const QString &text)
{
    QString s = text;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace('\r', '\n');
    return s;
}

} // namespace App

#include "Fonts.h"

static void initCompiledResources() { Q_INIT_RESOURCE(resources); }

void App::initModules()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    initCompiledResources();
    Fonts::installSubstitutions();
}
