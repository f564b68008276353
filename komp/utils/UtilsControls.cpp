// Controls of Utils.h: tool tips, focus, the main window, object paths.
#include "Utils.h"

#include <QApplication>
#include <QPointer>
#include <QTreeView>

namespace {

class ToolTipEater : public QObject {
public:
    explicit ToolTipEater(QObject *parent) : QObject(parent) { setObjectName(QStringLiteral("tvoNoToolTips")); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return event->type() == QEvent::ToolTip || QObject::eventFilter(watched, event);
    }
};

bool canFocusNow(const QWidget *w)
{
    return w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus;
}

QPointer<QWidget> &mainFormSlot()
{
    static QPointer<QWidget> form;
    return form;
}

QString pathOf(const QObject *obj)
{
    if (!obj)
        return QStringLiteral("nil");
    QString s = QString::fromLatin1(obj->metaObject()->className());
    const bool isForm = obj->isWidgetType() && static_cast<const QWidget *>(obj)->isWindow();
    if (!isForm)
        s += '-' + obj->objectName();
    if (obj != MainForm())
        s = pathOf(obj->parent()) + QStringLiteral(", ") + s;
    return s;
}

} // namespace

void DisableTreeToolTips(QTreeView *tree)
{
    if (!tree)
        return;
    QWidget *port = tree->viewport();
    if (tree->findChild<QObject *>(QStringLiteral("tvoNoToolTips"), Qt::FindDirectChildrenOnly))
        return;
    port->installEventFilter(new ToolTipEater(tree));
}

void SafeSetFocus(QWidget *control)
{
    if (control && canFocusNow(control)) {
        control->setFocus(Qt::OtherFocusReason);
        return;
    }
    QString message = QStringLiteral("Problem z SetFocus dla: ") + ComponentPath(control);
    if (control) {
        const bool visible = !control->isHidden();
        const bool enabled = !control->testAttribute(Qt::WA_ForceDisabled);
        message += QStringLiteral("\r(Visible=%1, Enabled=%2, CanFocus=%3)")
                       .arg(int(visible))
                       .arg(int(enabled))
                       .arg(int(canFocusNow(control)));
    }
    throw ESetFocusError(message);
}

void SetMainForm(QWidget *form) { mainFormSlot() = form; }

QWidget *MainForm()
{
    if (mainFormSlot())
        return mainFormSlot();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    QWidget *only = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->windowType() != Qt::Window)
            continue;
        if (only)
            return nullptr;
        only = w;
    }
    return only;
}

QString ComponentPath(const QObject *obj)
{
    try {
        return pathOf(obj);
    } catch (...) {
        return QStringLiteral("***");
    }
}
