#pragma once
// Points the window sockets of this test process (and of the programs it
// starts) at a private folder, so that the main windows the tests create are
// never found by a client or test running beside them.

#include <cstdlib>
#include <string>

namespace KldTestRuntimeDir {
inline const bool s_set = [] {
    std::string pattern = "/tmp/kld-rt-XXXXXX";
    if (char* made = mkdtemp(pattern.data()))
        setenv("XDG_RUNTIME_DIR", made, 1);
    return true;
}();
} // namespace KldTestRuntimeDir
