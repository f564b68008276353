#pragma once
// The strip across the bottom of the installer's windows: a help button at
// the left, accept and cancel buttons at the right and three texts between
// them. The centre text may carry colour tags ("#RED#", "#YELLOW#",
// "#WHITE#", "#NORMAL#") and can be replaced for a moment by a flash text.
#include "Events.h"
#include "HintBarLayout.h"

#include <QAbstractButton>
#include <QWidget>

class QTimer;

class THintBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int BtnWidth READ btnWidth WRITE setBtnWidth)
    Q_PROPERTY(bool Active READ active WRITE setActive)
    Q_PROPERTY(bool HelpButton READ helpButtonShown WRITE setHelpButton)
    Q_PROPERTY(QString TextAccept READ textAccept WRITE setTextAccept)
    Q_PROPERTY(QString TextCancel READ textCancel WRITE setTextCancel)
    Q_PROPERTY(QString TextLeft READ textLeft WRITE setTextLeft)
    Q_PROPERTY(QString TextCenter READ textCenter WRITE setTextCenter)
    Q_PROPERTY(QString TextRight READ textRight WRITE setTextRight)
    Q_PROPERTY(bool ErrorState READ errorState WRITE setErrorState)
    Q_PROPERTY(QString HelpHint READ helpHint WRITE setHelpHint)
    Q_PROPERTY(QString AcceptHint READ acceptHint WRITE setAcceptHint)
    Q_PROPERTY(QString CancelHint READ cancelHint WRITE setCancelHint)

public:
    explicit THintBar(QWidget *parent = nullptr);
    ~THintBar() override;

    TNotifyEvent onAccept() const;
    TNotifyEvent onCancel() const;
    TNotifyEvent onHelp() const { return m_onHelp; }
    void setOnAccept(TNotifyEvent handler);
    void setOnCancel(TNotifyEvent handler);
    void setOnHelp(TNotifyEvent handler) { m_onHelp = std::move(handler); }

    int btnWidth() const { return m_btnWidth; }
    bool active() const { return m_active; }
    bool helpButtonShown() const { return m_helpButton; }
    QString textAccept() const;
    QString textCancel() const;
    QString textLeft() const { return m_textLeft; }
    QString textCenter() const { return m_textCenter; }
    QString textRight() const { return m_textRight; }
    bool errorState() const { return m_errorState; }
    QString helpHint() const { return m_helpHint; }
    QString acceptHint() const { return m_acceptHint; }
    QString cancelHint() const { return m_cancelHint; }

    void setBtnWidth(int width);
    void setActive(bool active);
    void setHelpButton(bool shown);
    void setTextAccept(const QString &text);
    void setTextCancel(const QString &text);
    void setTextLeft(const QString &text);
    void setTextCenter(const QString &text);
    void setTextRight(const QString &text);
    void setErrorState(bool error);
    void setHelpHint(const QString &hint);
    void setAcceptHint(const QString &hint);
    void setCancelHint(const QString &hint);

    // Centre text shown as a hint: ends any flash and holds further flashes
    // off for a second.
    void ShowText(const QString &text);
    // Shows text in place of the bar's texts after 200 ms, for a second.
    void FlashText(const QString &text);
    void FlashTextTimed(const QString &text, int delay, int duration);
    // Ends or cancels a flash and ignores flash requests for ms.
    void SuppressFlash(int ms);

    void UpdateLayout();
    void InvalidateText();
    void HelpClick();

    QAbstractButton *acceptButton() const;
    QAbstractButton *cancelButton() const;
    QAbstractButton *helpButton() const;
    int textLeftEdge() const { return m_leftEdge; }
    int textRightEdge() const { return m_rightEdge; }
    bool flashMode() const { return m_flashMode; }
    QColor barColor() const { return m_active ? QColor(0, 0, 0) : QColor(0x80, 0x80, 0x80); }

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void moveEvent(QMoveEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    class Button;
    Button *makeButton(const QString &caption, const char *picture);
    void timerTick();
    void dock();
    void paintCentre(class QPainter &p, QRect area, const QString &text);

    Button *m_cancel = nullptr;
    Button *m_accept = nullptr;
    Button *m_help = nullptr;
    TNotifyEvent m_onHelp;
    int m_btnWidth = 75;
    bool m_active = true;
    bool m_helpButton = true;
    bool m_errorState = false;
    QString m_textLeft, m_textCenter, m_textRight;
    QString m_helpHint, m_acceptHint, m_cancelHint;
    int m_leftEdge = 0;
    int m_rightEdge = 0;

    bool m_flashMode = false;
    QString m_flashText;
    bool m_suppressed = false;
    QTimer *m_timer = nullptr;
    int m_timerTag = 0; // the flash duration while a flash waits for its delay
};
