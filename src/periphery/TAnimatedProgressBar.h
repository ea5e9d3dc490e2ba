#pragma once

#include <QWidget>

class QTimer;

// A busy bar for work whose length is unknown: a block of the highlight colour that
// moves to and fro inside a sunken frame while the bar runs.
class TAnimatedProgressBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameIntervalMs = 40;

    explicit TAnimatedProgressBar(QWidget* parent = nullptr);

    void Start();
    void Stop();
    bool IsActive() const { return m_active; }

    // Moves the block one step; called by the bar's timer.
    void Step();
    // Left edge of the block and its width, in pixels inside the frame.
    int BlockPosition() const { return m_position; }
    int BlockWidth() const;

    QSize sizeHint() const override { return QSize(200, 16); }
    QSize minimumSizeHint() const override { return QSize(40, 8); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int trackWidth() const;

    QTimer* m_timer;
    bool m_active = false;
    int m_position = 0;
    int m_direction = 1;
};
