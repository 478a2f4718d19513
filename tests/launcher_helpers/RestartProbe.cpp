// Preloaded into the launcher by the restart test. Each run records its
// arguments in $KLD_RESTART_PROBE_DIR/run-<pid>.txt (one per line) and, when
// it ends, creates run-<pid>.done. The first run (while the file "restarted"
// is absent) sets RestartBrowserOnClose, as a loaded library may.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

extern bool RestartBrowserOnClose;

namespace {

std::string RunFile(const char* suffix)
{
    const char* dir = std::getenv("KLD_RESTART_PROBE_DIR");
    return std::string(dir ? dir : ".") + "/run-" + std::to_string(::getpid()) + suffix;
}

void MarkDone()
{
    std::ofstream(RunFile(".done")) << "done\n";
}

__attribute__((constructor)) void Probe()
{
    const char* dir = std::getenv("KLD_RESTART_PROBE_DIR");
    if (!dir)
        return;
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::ofstream record(RunFile(".txt"));
    for (std::string arg; std::getline(cmdline, arg, '\0');)
        record << arg << "\n";
    const std::string marker = std::string(dir) + "/restarted";
    if (::access(marker.c_str(), F_OK) != 0) {
        std::ofstream(marker) << "1\n";
        RestartBrowserOnClose = true;
    }
    std::atexit(MarkDone);
}

} // namespace
