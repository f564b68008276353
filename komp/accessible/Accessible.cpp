#include "Accessible.h"

#include "Gauges.h"
#include "HintBar.h"
#include "HintBarLayout.h"
#include "TvoBtn.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFocusFrame>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

// The widgets a reader finds below a container: its shown children. A page
// or a button that is hidden, or has no size (the hint bar's button without
// a caption), is not part of the window's tree at all (the standard
// interface lists it with only its "showing" state cleared).
QList<QWidget *> shownChildren(const QWidget *w)
{
    QList<QWidget *> list;
    for (QObject *o : w->children()) {
        auto *c = qobject_cast<QWidget *>(o);
        if (c && !c->isWindow() && !c->isHidden() && !c->size().isEmpty() && !qobject_cast<QFocusFrame *>(c) && !qobject_cast<QMenu *>(c)
            && c->objectName() != QLatin1String("qt_rubberband"))
            list << c;
    }
    return list;
}

class ShownChildren : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    int childCount() const override { return int(children().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> list = children();
        return index >= 0 && index < list.size() ? QAccessible::queryAccessibleInterface(list.at(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(children().indexOf(qobject_cast<QWidget *>(child->object()))) : -1;
    }

protected:
    virtual QList<QWidget *> children() const { return shownChildren(widget()); }
};

// A push button that paints itself: its caption, its keys and a press that
// runs after the bus's call has returned (the press may open a modal window).
class KeyButton : public QAccessibleWidget {
public:
    explicit KeyButton(QWidget *w) : QAccessibleWidget(w, QAccessible::Button) {}
    virtual QString caption() const = 0;
    virtual QStringList keys() const = 0;
    virtual void press() = 0;

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return caption();
        if (t == QAccessible::Accelerator)
            return keys().value(0);
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (widget()->isEnabled())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString &action) override
    {
        if (action != pressAction())
            return QAccessibleWidget::doAction(action);
        if (!widget()->isEnabled())
            return;
        QTimer::singleShot(0, widget(), [self = QPointer<QWidget>(widget()), this] {
            if (self)
                press();
        });
    }
    QStringList keyBindingsForAction(const QString &action) const override
    {
        return action == pressAction() ? keys() : QAccessibleWidget::keyBindingsForAction(action);
    }
};

class TvoBtnAccessible : public KeyButton {
public:
    using KeyButton::KeyButton;
    TTvoBtn *button() const { return static_cast<TTvoBtn *>(widget()); }
    QString caption() const override { return Accessible::spokenCaption(button()->opis()); }
    QStringList keys() const override { return Accessible::buttonKeys(*button()); }
    void press() override { button()->clickReporting(); }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->down();
        return s;
    }
};

// A button of the hint bar: its key is the hint the bar gives for it.
class HintButtonAccessible : public KeyButton {
public:
    using KeyButton::KeyButton;
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
    QString caption() const override { return Accessible::spokenCaption(button()->text()); }
    QStringList keys() const override
    {
        const auto *bar = static_cast<const THintBar *>(widget()->parentWidget());
        const QString key = button() == bar->acceptButton() ? bar->acceptHint()
                            : button() == bar->cancelButton() ? bar->cancelHint()
                            : button() == bar->helpButton()   ? bar->helpHint()
                                                              : QString();
        return key.isEmpty() ? QStringList() : QStringList{key};
    }
    void press() override { button()->click(); }
};

// The hint bar reads as a status bar whose name is its centre text.
class HintBarAccessible : public ShownChildren {
public:
    explicit HintBarAccessible(QWidget *w) : ShownChildren(w, QAccessible::StatusBar) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return StripTags(static_cast<THintBar *>(widget())->textCenter()).simplified();
        return ShownChildren::text(t);
    }

protected:
    // The buttons in the order they stand, from the left.
    QList<QWidget *> children() const override
    {
        QList<QWidget *> list = shownChildren(widget());
        std::stable_sort(list.begin(), list.end(), [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
        return list;
    }
};

class GaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit GaugeAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}
    TGauge *gauge() const { return static_cast<TGauge *>(widget()); }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return GaugeGeometry::percentText(gauge()->percentDone());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return gauge()->progress(); }
    void setCurrentValue(const QVariant &) override {} // shows a value, takes none
    QVariant maximumValue() const override { return gauge()->maxValue(); }
    QVariant minimumValue() const override { return gauge()->minValue(); }
    QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface *factory(const QString &cls, QObject *object)
{
    auto *w = qobject_cast<QWidget *>(object);
    if (!w)
        return nullptr;
    if (cls == QLatin1String("TTvoBtn"))
        return new TvoBtnAccessible(w);
    if (cls == QLatin1String("TGauge"))
        return new GaugeAccessible(w);
    if (cls == QLatin1String("THintBar"))
        return new HintBarAccessible(w);
    if (cls == QLatin1String("QAbstractButton") && qobject_cast<THintBar *>(w->parentWidget()))
        return new HintButtonAccessible(w);
    if (cls == QLatin1String("QDialog"))
        return new ShownChildren(w, QAccessible::Dialog);
    if (cls == QLatin1String("QFrame"))
        return new ShownChildren(w, QAccessible::Pane); // a panel: "frame" would read as a window
    if (cls == QLatin1String("QWidget"))
        return new ShownChildren(w, w->isWindow() ? QAccessible::Window : QAccessible::Client);
    return nullptr;
}

// A widget shown or hidden in a window on display joins or leaves its
// container's children; readers that keep a copy of the tree hear of it.
class ChildrenWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        const bool shown = e->type() == QEvent::ShowToParent, hidden = e->type() == QEvent::HideToParent;
        if ((shown || hidden) && QAccessible::isActive() && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            if (!w->isWindow() && w->parentWidget() && w->parentWidget()->isVisible()) {
                QAccessibleEvent event(w, shown ? QAccessible::ObjectCreated : QAccessible::ObjectDestroyed);
                QAccessible::updateAccessibility(&event);
            }
        }
        return false;
    }
};

QString capKey(TTvoBtnTyp typ)
{
    static const char *const letters = "ABCDEFGHIJKLMNOPRSTUWZ";
    if (typ >= tbA && typ <= tbZ)
        return QString(QLatin1Char(letters[typ - tbA]));
    if (typ >= tbF1 && typ <= tbF12)
        return QStringLiteral("F%1").arg(typ - tbF1 + 1);
    switch (typ) {
    case tbBackspace: return QStringLiteral("Backspace");
    case tbEnter: return QStringLiteral("Enter");
    case tbPlus: return QStringLiteral("+");
    case tbMinus: return QStringLiteral("-");
    case tbTab: return QStringLiteral("Tab");
    case tbGwiazdka: return QStringLiteral("*");
    case tbAltBkspc: return QStringLiteral("Alt+Backspace");
    case tb1: return QStringLiteral("1");
    case tbSlash: return QStringLiteral("/");
    case tbCtrlC: return QStringLiteral("Ctrl+C");
    default: return {}; // an empty cap, the caller's own picture, or none
    }
}

} // namespace

namespace Accessible {

void install()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QAccessible::installFactory(factory);
    qApp->installEventFilter(new ChildrenWatch(qApp));
}

QString spokenCaption(const QString &caption)
{
    QString s;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        s += caption[i];
    }
    return s;
}

QStringList buttonKeys(const TTvoBtn &button)
{
    QStringList keys;
    if (const QString cap = capKey(button.typ()); !cap.isEmpty())
        keys << cap;
    if (const QChar letter = button.accelerator(); !letter.isNull())
        keys << QKeySequence(Qt::ALT | Qt::Key(letter.unicode())).toString(QKeySequence::PortableText);
    return keys;
}

void nameBuddy(const QLabel *label)
{
    if (QWidget *buddy = label->buddy())
        buddy->setAccessibleName(spokenCaption(label->text()).trimmed());
}

} // namespace Accessible
