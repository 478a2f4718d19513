// A second process for the window-message tests: finds a top-level window by
// class name in another process, raises it and posts it one message.
// Usage: kld_post_helper <class name> <msg> <wParam> <lParam>
// Exit codes: 0 posted, 1 usage, 2 window not found, 3 raise failed, 4 post failed.
#include "platform/Messages.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    // No application object: the launcher looks for a running copy before
    // it creates its own.
    if (argc != 5) {
        std::cerr << "usage: kld_post_helper <class name> <msg> <wParam> <lParam>\n";
        return 1;
    }
    const HWND window = FindWindow(argv[1]);
    if (window == NullHWnd)
        return 2;
    if (!SetForegroundWindow(window))
        return 3;
    const auto msg = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    const auto wParam = static_cast<WPARAM>(std::strtoull(argv[3], nullptr, 10));
    const auto lParam = static_cast<LPARAM>(std::strtoll(argv[4], nullptr, 10));
    return PostMessage(window, msg, wParam, lParam) ? 0 : 4;
}
