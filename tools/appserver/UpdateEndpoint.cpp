#include "UpdateEndpoint.h"

#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

bool IsUpdateFileName(const std::string& Name)
{
    return !Name.empty() && Name != "." && Name != ".." && Name.find('/') == std::string::npos &&
           Name.find('\\') == std::string::npos && Name.find('\0') == std::string::npos;
}

void AddUpdateEndpoint(httplib::Server& Http, const std::string& Dir)
{
    const std::filesystem::path folder(Dir);
    Http.Get("/update/(.*)", [folder](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1];
        const std::filesystem::path file = folder / name;
        std::error_code error;
        if (!IsUpdateFileName(name) || !std::filesystem::is_regular_file(file, error)) {
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
