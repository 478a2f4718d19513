#pragma once
// A temporary folder removed with everything in it at the end of a test.

#include "platform/FileUtils.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

class TTempFolder
{
  public:
    TTempFolder()
    {
        std::string pattern = GetTempPath() + "kld-test-XXXXXX";
        if (char* made = mkdtemp(pattern.data()))
            m_path = std::string(made) + "/";
    }
    ~TTempFolder()
    {
        if (!m_path.empty())
            DeleteDirectoryTree(m_path);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

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
