#pragma once

#include <QWidget>

class QTimer;

// The start-up picture: a borderless, white, slightly transparent 342 x 400 window in
// the middle of the screen, above the other windows, with the product name, version
// and the maker's notices. It closes and frees itself 3000 ms after it was shown;
// start-up does not wait for it.
class TSplashForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int SplashWidth = 342;
    static constexpr int SplashHeight = 400;
    static constexpr int CloseDelayMs = 3000;

    explicit TSplashForm(QWidget* parent = nullptr);

    // Creates the splash window, shows and paints it at once and starts its close timer.
    static TSplashForm* ShowSplash();

    QTimer* CloseTimer() const { return m_closeTimer; }
    // The close timer's handler: closes (and so frees) the window.
    void CloseTimerTimer();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* m_closeTimer;
};
