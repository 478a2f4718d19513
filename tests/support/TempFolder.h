#pragma once
// A temporary folder removed with everything in it at the end of a test, and
// whole-file reads and writes for the files a test puts there.

#include "platform/FileUtils.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

class TTempFolder
{
  public:
    TTempFolder()
    {
        std::string pattern = GetTempPath() + "kld-test-XXXXXX";
        char* made = mkdtemp(pattern.data());
        if (made == nullptr)
            throw std::runtime_error("cannot make a temporary folder from " + pattern);
        m_path = std::string(made) + "/";
    }
    ~TTempFolder() { DeleteDirectoryTree(m_path); }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // The folder, with a trailing '/'.
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + name; }

  private:
    std::string m_path;
};

inline void WriteBytes(const std::string& fileName, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const std::string& fileName, const std::string& content)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << content;
}

// The file's bytes; "" when it cannot be read.
inline std::string ReadText(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The file's permission bits (set-id and sticky bits too); 0 when it is
// missing.
inline uint32_t ModeOf(const std::string& fileName)
{
    struct stat st
    {
    };
    return ::stat(fileName.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
