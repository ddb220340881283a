// Core suites run under a QGuiApplication (fonts and painting need one), widget suites under a
// QApplication; both on the offscreen platform.
#ifdef TOVI_WIDGET_TESTS
#include "shell/file_chooser.h"

#include <QApplication>
using Application = QApplication;
#else
#include <QGuiApplication>
using Application = QGuiApplication;
#endif
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
#ifdef TOVI_WIDGET_TESTS
    // As the application starts.
    tovi::FileChooser::preferDesktopDialogs();
#endif
    Application app(argc, argv);
    return RUN_ALL_TESTS();
}
