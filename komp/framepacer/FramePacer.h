#pragma once
// Paces the pixels of widgets that change faster than anyone can see: each
// change of text or value is still made at once, but the widgets reach the
// screen at most once per display frame, and always with their last state.
//
//   TFramePacer pacer({label, gauge});
//   for (...) { label->setText(name); gauge->setProgress(i); pacer.frame(); }
//
// While the pacer lives its widgets hold their painting (updates disabled, so
// a gauge's own at-once repaint waits too); frame() draws them when a frame's
// time has passed since they were last drawn, flush() draws them now (before
// a message box, say), and the pacer's end draws the last state and gives the
// widgets their own painting back. Widgets deleted meanwhile are skipped.
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <initializer_list>

class TFramePacer {
public:
    // frameMs 0: the primary screen's frame time (60 Hz when it gives none).
    explicit TFramePacer(std::initializer_list<QWidget *> widgets, int frameMs = 0);
    ~TFramePacer();
    TFramePacer(const TFramePacer &) = delete;
    TFramePacer &operator=(const TFramePacer &) = delete;

    // Call after each change: draws when a frame's time is over.
    void frame();
    // Draws the widgets now.
    void flush();
    // Times the widgets have been drawn by the pacer so far.
    int frames() const { return m_frames; }
    int frameMs() const { return m_frameMs; }

private:
    struct Paced {
        QPointer<QWidget> widget;
        bool updatesWere;
    };
    QList<Paced> m_widgets;
    QElapsedTimer m_sinceDrawn;
    int m_frameMs;
    int m_frames = 0;
};
