// The busy-cursor stack of Utils.h.
#include "Utils.h"

#include <QCursor>
#include <QGuiApplication>
#include <QList>

namespace {

QList<int> &cursorStack()
{
    static QList<int> stack;
    return stack;
}

bool ownOverride = false; // the application's top override cursor is ours

bool guiRunning() { return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr; }

bool hourglassShows()
{
    if (!guiRunning())
        return CurrentBusyCursor() == crHourGlass;
    const QCursor *c = QGuiApplication::overrideCursor();
    return c && c->shape() == Qt::WaitCursor;
}

void showTopCursor()
{
    if (!guiRunning())
        return;
    const int top = CurrentBusyCursor();
    if (top == crDefault) {
        if (ownOverride)
            QGuiApplication::restoreOverrideCursor();
        ownOverride = false;
        return;
    }
    const QCursor c(top == crHourGlass ? Qt::WaitCursor : Qt::BusyCursor);
    if (ownOverride) {
        QGuiApplication::changeOverrideCursor(c);
    } else {
        QGuiApplication::setOverrideCursor(c);
        ownOverride = true;
    }
}

} // namespace

void SetBusyCursor(bool push, bool background)
{
    if (push)
        cursorStack().append(background && !hourglassShows() ? crAppStart : crHourGlass);
    else if (!cursorStack().isEmpty())
        cursorStack().removeLast();
    showTopCursor();
}

int CurrentBusyCursor() { return cursorStack().isEmpty() ? crDefault : cursorStack().last(); }
