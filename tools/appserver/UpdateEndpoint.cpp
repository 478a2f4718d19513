#include "UpdateEndpoint.h"

#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

bool IsUpdateFileName(const std::string& Name)
{
    return !Name.empty() && Name != "." && Name != ".." && Name.find('/') == std::string::npos &&
           Name.find('\\') == std::string::npos && Name.find('\0') == std::string::npos;
}

namespace {

// The real path of the file `name` of the folder when it is a regular file
// that lies inside the folder once every link is followed; '' otherwise.
std::filesystem::path ServedFile(const std::filesystem::path& folder, const std::string& name)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!IsUpdateFileName(name))
        return {};
    const fs::path root = fs::canonical(folder, error);
    if (error)
        return {};
    const fs::path file = fs::canonical(root / name, error);
    if (error || !fs::is_regular_file(file, error))
        return {};
    const auto [inRoot, inFile] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    return inRoot == root.end() && inFile != file.end() ? file : fs::path();
}

} // namespace

void AddUpdateEndpoint(httplib::Server& Http, const std::string& Dir)
{
    const std::filesystem::path folder(Dir);
    Http.Get("/update/(.*)", [folder](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1];
        const std::filesystem::path file = ServedFile(folder, name);
        if (file.empty()) {
            res.status = 404;
            res.set_content("404 Not Found", "text/plain");
            return;
        }
        std::ifstream in(file, std::ios::binary);
        std::ostringstream body;
        body << in.rdbuf();
        if (!in && !in.eof()) {
            res.status = 500;
            res.set_content("500 Cannot read the file", "text/plain");
            return;
        }
        res.set_content(body.str(), name == "version.txt" ? "text/plain" : "application/octet-stream");
    });
}
