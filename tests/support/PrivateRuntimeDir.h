#pragma once
// Points the window sockets of this test process (and of the programs it
// starts) at a private folder, so that the main windows the tests create are
// never found by a client or test running beside them. The folder goes when
// the process ends.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace KldTestRuntimeDir {
class Folder
{
  public:
    Folder()
    {
        // In TMPDIR, which kld_test_runner removes when the process has
        // ended, also when it ends without running this destructor.
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = (tmp && *tmp ? std::string(tmp) : std::string("/tmp")) + "/kld-rt-XXXXXX";
        if (char* made = mkdtemp(pattern.data())) {
            m_path = made;
            setenv("XDG_RUNTIME_DIR", made, 1);
        }
    }
    ~Folder()
    {
        // Only the process that made it: a forked child ending must not
        // take the folder from its parent.
        std::error_code ec;
        if (!m_path.empty() && ::getpid() == m_owner)
            std::filesystem::remove_all(m_path, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

  private:
    std::string m_path;
    pid_t m_owner = ::getpid();
};

inline const Folder s_folder;
} // namespace KldTestRuntimeDir
