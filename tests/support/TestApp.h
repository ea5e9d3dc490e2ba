#pragma once

#include <QApplication>

// The one application object the window tests need; created on first use, offscreen
// unless the environment chose a platform. It is never destroyed: devices Qt creates on
// demand register in lists that end before a static application object would, and
// destroying it after them crashes at exit.
inline QApplication& testApp()
{
    static int argc = 1;
    static char name[] = "brevant-window-tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
