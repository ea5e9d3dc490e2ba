#pragma once

#include <QApplication>

// The application object of the window tests. It is created before the first test and
// destroyed after the last one, while the toolkit's own globals still live.
inline QApplication& testApp()
{
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}
