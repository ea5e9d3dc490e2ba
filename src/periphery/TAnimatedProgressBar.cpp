#include "periphery/TAnimatedProgressBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

#include <algorithm>

TAnimatedProgressBar::TAnimatedProgressBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("AnimatedProgressBar"));
    m_timer = new QTimer(this);
    m_timer->setInterval(FrameIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TAnimatedProgressBar::Step);
}

void TAnimatedProgressBar::Start()
{
    m_active = true;
    // The timer only runs while the bar can be seen.
    if (isVisible())
        m_timer->start();
    update();
}

void TAnimatedProgressBar::Stop()
{
    m_active = false;
    m_timer->stop();
    m_position = 0;
    m_direction = 1;
    update();
}

int TAnimatedProgressBar::trackWidth() const
{
    return std::max(0, width() - 4);
}

int TAnimatedProgressBar::BlockWidth() const
{
    return std::max(4, trackWidth() / 4);
}

void TAnimatedProgressBar::Step()
{
    if (!m_active)
        return;
    const int room = std::max(0, trackWidth() - BlockWidth());
    const int step = std::max(2, trackWidth() / 40);
    m_position += m_direction * step;
    if (m_position >= room) {
        m_position = room;
        m_direction = -1;
    } else if (m_position <= 0) {
        m_position = 0;
        m_direction = 1;
    }
    update();
}

void TAnimatedProgressBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(frame);
    if (!m_active)
        return;
    const QRect block(2 + std::min(m_position, std::max(0, trackWidth() - BlockWidth())), 2, BlockWidth(),
                      std::max(0, height() - 4));
    const QColor c = palette().color(QPalette::Highlight);
    QLinearGradient gradient(block.topLeft(), block.topRight());
    gradient.setColorAt(0.0, c.lighter(150));
    gradient.setColorAt(0.5, c);
    gradient.setColorAt(1.0, c.lighter(150));
    p.fillRect(block, gradient);
}

void TAnimatedProgressBar::hideEvent(QHideEvent* event)
{
    m_timer->stop();
    QWidget::hideEvent(event);
}

void TAnimatedProgressBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_active)
        m_timer->start();
}
