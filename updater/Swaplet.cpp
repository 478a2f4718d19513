// The update helper program: one window that installs the downloaded update
// while the client is closed (updater/SwapletForm.h).
#include "updater/SwapletForm.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // The five values are the program's own arguments; Qt gets the program
    // name only, so that it acts on none of them.
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    static int qtArgc = 1;
    static char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("Swaplet"), nullptr};
    QApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("Update Installation"));
    app.setQuitOnLastWindowClosed(false);
    TfrmSwaplet window(args);
    if (!window.Terminated())
        window.show();
    return app.exec();
}
