// Test main of the Qt WebEngine tests: offscreen, without the sandbox and
// the GPU, and with OpenGL contexts shared before the application exists,
// as Qt WebEngine needs when it is loaded after the application started.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "support/RunnerStop.h"

// Qt WebEngine's own code (Chromium) frees some objects through a base of
// another size, which AddressSanitizer's new-delete size check stops at
// once. That one check is off in this program; every other check stays on
// for our code around the plugin.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --disable-gpu-compositing "
                                         "--disable-software-rasterizer --disable-dev-shm-usage", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    KldRunnerStop::Install();
    return RUN_ALL_TESTS();
}
