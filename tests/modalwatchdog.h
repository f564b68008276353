#pragma once
// Fails a test fast when a modal window waits for an answer nobody gives (a
// message box no answer provider sees, a chooser nobody closes): a window
// that stays the active modal one longer than the limit is closed and its
// title recorded, so the blocked call returns and the test's cleanup fails.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class ModalWatchdog : public QObject {
public:
    explicit ModalWatchdog(int limitMs = 10000) : m_limit(limitMs)
    {
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] { check(); });
        m_timer.start();
    }
    void setLimit(int ms) { m_limit = ms; }

    // Titles of the windows it had to close, oldest first.
    QStringList closed;

    // For cleanup(): the message a failed check shows, empty when none.
    QString report() const
    {
        return closed.isEmpty() ? QString()
                                : QStringLiteral("unanswered modal window(s): ") + closed.join(QStringLiteral(", "));
    }

private:
    void check()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != m_seen) {
            m_seen = modal;
            m_since.start();
            return;
        }
        if (!modal || m_since.elapsed() < m_limit)
            return;
        closed << modal->windowTitle();
        m_seen = nullptr;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->close();
    }

    int m_limit;
    QTimer m_timer;
    QPointer<QWidget> m_seen;
    QElapsedTimer m_since;
};
