#include "periphery/TWindowSizeMemory.h"

#include "settings/TWindowSizes.h"

#include <QEvent>
#include <QWidget>

TWindowSizeMemory::TWindowSizeMemory(QWidget* window) : QObject(window)
{
    const QSize size = TWindowSizes::Get(window->objectName());
    if (size.isValid())
        window->resize(size.expandedTo(window->minimumSize()));
    window->installEventFilter(this);
}

void TWindowSizeMemory::Keep(QWidget* window)
{
    if (window && !window->objectName().isEmpty())
        new TWindowSizeMemory(window);
}

bool TWindowSizeMemory::eventFilter(QObject* watched, QEvent* event)
{
    auto* window = qobject_cast<QWidget*>(watched);
    if (window && event->type() == QEvent::Hide && !window->isMaximized() && !window->isMinimized())
        TWindowSizes::Set(window->objectName(), window->size());
    return QObject::eventFilter(watched, event);
}
