#include "FramePacer.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {

int screenFrameMs()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    const qreal hz = s ? s->refreshRate() : 0;
    return hz >= 1 ? std::max(1, int(std::lround(1000.0 / hz))) : 16;
}

} // namespace

TFramePacer::TFramePacer(std::initializer_list<QWidget *> widgets, int frameMs)
    : m_frameMs(frameMs > 0 ? frameMs : screenFrameMs())
{
    for (QWidget *w : widgets) {
        if (!w)
            continue;
        m_widgets.append({w, w->updatesEnabled()});
        w->setUpdatesEnabled(false);
    }
    m_sinceDrawn.start();
}

TFramePacer::~TFramePacer()
{
    for (const Paced &p : std::as_const(m_widgets)) {
        if (!p.widget)
            continue;
        p.widget->setUpdatesEnabled(p.updatesWere);
        if (p.updatesWere)
            p.widget->repaint();
    }
}

void TFramePacer::frame()
{
    if (m_sinceDrawn.elapsed() >= m_frameMs)
        flush();
}

void TFramePacer::flush()
{
    for (const Paced &p : std::as_const(m_widgets)) {
        if (!p.widget || !p.updatesWere)
            continue;
        p.widget->setUpdatesEnabled(true);
        p.widget->repaint();
        p.widget->setUpdatesEnabled(false);
    }
    ++m_frames;
    m_sinceDrawn.start();
}
