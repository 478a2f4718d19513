#pragma once
// A temporary folder for one test, removed with everything in it afterwards.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

class TempFolder
{
  public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kldbase-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const std::string& name) const { return (m_path / name).string(); }

    static std::string Read(const std::string& fileName)
    {
        std::ifstream in(fileName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void Write(const std::string& fileName, const std::string& content)
    {
        std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
        out << content;
    }
    static bool Exists(const std::string& fileName) { return std::filesystem::exists(fileName); }

  private:
    std::filesystem::path m_path;
};
