// The sample installed program: it shows the command line it was started with
// and its current folder. With TVODEMO_REPORT naming a file it writes the
// same lines there and ends at once, without a window (for tests).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QStringList reportLines(int argc, char *argv[])
{
    QStringList lines {QStringLiteral("cwd=") + QDir::currentPath()};
    for (int i = 0; i < argc; ++i)
        lines << QStringLiteral("arg%1=%2").arg(i).arg(QFile::decodeName(argv[i]));
    return lines;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList lines = reportLines(argc, argv);
    const QString report = qEnvironmentVariable("TVODEMO_REPORT");
    if (!report.isEmpty()) {
        QFile f(report);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write((lines.join('\n') + '\n').toUtf8()) < 0)
            return 1;
        return f.flush() ? 0 : 1;
    }

    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tavro 2010 DEMO"));
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Program uruchomiony z parametrami:"), &window));
    auto *text = new QPlainTextEdit(lines.join('\n'), &window);
    text->setReadOnly(true);
    layout->addWidget(text);
    window.resize(560, 240);
    window.show();
    return app.exec();
}
