#include "MessageReport.h"

#include "AppCore.h"
#include "InstallLog.h"
#include "okienko.h"

#include <QLabel>
#include <QPushButton>
#include <cstdio>

namespace MessageReport {
namespace {

void toStandardError(const QString &report)
{
    const QByteArray bytes = report.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QString caption(const QPushButton *button) { return button->text().remove('&'); }

// The text of the box as it was given (the label holds it with "\n").
QString boxText(const TMsgOkienko &d)
{
    QString text = d.lbl->text();
    if (!d.lbl2->isHidden())
        text += '\n' + d.lbl2->text();
    return text;
}

// Nobody answers: an error box is acknowledged with its only button, a
// question gets the answer that changes nothing (its cancel or "no").
int answerUnattended(const TMsgOkienko &d, QString *answer)
{
    const bool error = !d.iexclam1->isHidden();
    if (error) {
        *answer = caption(d.btnOk);
        return 1;
    }
    *answer = !d.btnCancel->isHidden() ? caption(d.btnCancel) : !d.btnNo->isHidden() ? caption(d.btnNo) : QString();
    return 2;
}

QString answerCaption(const TMsgOkienko &d, int code)
{
    switch (code) {
    case 1:
        return caption(d.btnOk);
    case 7:
        return caption(d.btnNo);
    default:
        return caption(d.btnCancel);
    }
}

QtMessageHandler g_previousHandler = nullptr;
bool g_quiet = false; // no window: standard error is for the boxes' messages

// The program's and the toolkit's diagnostics go to the log as well; without
// a window they go there alone (a fatal one to both).
void logDiagnostic(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString category = context.category ? QString::fromLatin1(context.category) : QString();
    InstallLog::write((category.isEmpty() || category == QLatin1String("default") ? QStringLiteral("Qt") : category)
                      + QStringLiteral(": ") + message);
    if (g_quiet && type != QtFatalMsg)
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        toStandardError(message + '\n');
}

} // namespace

QString reportText(const QString &title, const QString &text)
{
    return title + QStringLiteral(": ") + App::displayText(text) + '\n';
}

void install(const InstallOptions &options)
{
    if (options.mode == RunMode::VerySilent || (options.mode == RunMode::Silent && options.suppressBoxes)) {
        g_quiet = options.mode == RunMode::VerySilent;
        g_previousHandler = qInstallMessageHandler(logDiagnostic);
        SetMsgAnswerProvider([](TMsgOkienko &d) {
            const QString report = reportText(d.windowTitle(), boxText(d));
            QString answer;
            const int code = answerUnattended(d, &answer);
            toStandardError(report);
            InstallLog::write(QStringLiteral("Message: ") + report.trimmed() + QStringLiteral(" [") + answer + ']');
            return code;
        });
        App::setSystemBoxHook([](const QString &caption, const QString &text) {
            const QString report = reportText(caption, text);
            toStandardError(report);
            InstallLog::write(QStringLiteral("Message: ") + report.trimmed());
        });
    } else if (!options.logFile.isEmpty()) {
        g_previousHandler = qInstallMessageHandler(logDiagnostic);
        SetMsgAnswerProvider([](TMsgOkienko &d) {
            InstallLog::write(QStringLiteral("Message: ") + reportText(d.windowTitle(), boxText(d)).trimmed());
            const int code = d.exec();
            InstallLog::write(QStringLiteral("Answer: ") + answerCaption(d, code));
            return code;
        });
    }
}

void uninstall()
{
    SetMsgAnswerProvider({});
    App::setSystemBoxHook({});
    if (g_previousHandler)
        qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
    g_quiet = false;
}

} // namespace MessageReport
