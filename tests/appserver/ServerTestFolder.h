#pragma once
// A temporary folder for the server's own tests, removed with everything in
// it at the end: they link no client code, so not the client's TTempFolder.
// Path is empty when no folder could be made.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

struct TServerTestFolder
{
    explicit TServerTestFolder(const std::string& Prefix = "kld-server")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (Prefix + "-XXXXXX")).string();
        Path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TServerTestFolder()
    {
        std::error_code error;
        if (!Path.empty())
            std::filesystem::remove_all(Path, error);
    }
    TServerTestFolder(const TServerTestFolder&) = delete;
    TServerTestFolder& operator=(const TServerTestFolder&) = delete;

    std::string operator/(const std::string& Name) const { return Path + "/" + Name; }

    std::string Path;
};
