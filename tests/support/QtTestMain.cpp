// Test main for folders whose code needs an event loop or widgets. The
// application runs offscreen so that the tests need no display.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "support/RunnerStop.h"

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // As in the launcher: the main window may load the web view plugin,
    // which wants shared OpenGL contexts from the application's start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    KldRunnerStop::Install();
    return RUN_ALL_TESTS();
}
