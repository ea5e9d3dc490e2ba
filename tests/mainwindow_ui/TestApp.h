#pragma once

#include <QApplication>

// The one application object the window tests need; created on first use, offscreen
// unless the environment chose a platform. It is never destroyed: the test input
// devices QTest creates must not outlive it at program exit.
inline QApplication& testApp()
{
    static int argc = 1;
    static char name[] = "test_mainwindow";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
