#pragma once

#include <QObject>

class QWidget;

// Gives a resizable window the size the user left it with (TWindowSizes, by the window's
// name) and records its size each time it is hidden, unless it is maximised or minimised.
class TWindowSizeMemory : public QObject
{
    Q_OBJECT

public:
    // Resizes window to its stored size, if any, and watches it from now on.
    static void Keep(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TWindowSizeMemory(QWidget* window);
};
