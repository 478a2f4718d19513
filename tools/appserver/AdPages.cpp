// The advertising service of the demo: "/services/get_ad.php" serves the
// active page of SRV_AD_PAGES and "/services/get_industries.php" the
// industries, one per line. Every request is kept in SRV_AD_REQUESTS with
// its target as sent, so that tests see the request the client built.

#include "AdPages.h"

#include "Database.h"

#include <httplib.h>

namespace {

void LogRequest(TDatabase& db, const httplib::Request& req)
{
    std::string request = req.method + " " + req.target + " " + req.version + "\r\n";
    for (const auto& [name, value] : req.headers)
        if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT")
            request += name + ": " + value + "\r\n";
    auto lock = db.Lock();
    db.Prepare("INSERT INTO SRV_AD_REQUESTS (TARGET, HOST, USER_AGENT, REQUEST) VALUES (?, ?, ?, ?)")
        ->Bind(1, req.target)
        .Bind(2, req.get_header_value("Host"))
        .Bind(3, req.get_header_value("User-Agent"))
        .Bind(4, request)
        .Run();
}

} // namespace

void RegisterAdPages(httplib::Server& http, TDatabase& db)
{
    http.Get("/services/get_ad.php", [&db](const httplib::Request& req, httplib::Response& res) {
        LogRequest(db, req);
        std::string page;
        {
            auto lock = db.Lock();
            auto statement = db.Prepare("SELECT PAGE FROM SRV_AD_PAGES WHERE ACTIVE = 'T' ORDER BY NAME LIMIT 1");
            if (statement->Step())
                page = statement->Text(0);
        }
        res.set_content(page, "text/html; charset=utf-8");
    });
    http.Get("/services/get_industries.php", [&db](const httplib::Request& req, httplib::Response& res) {
        LogRequest(db, req);
        std::string lines;
        {
            auto lock = db.Lock();
            auto statement = db.Prepare("SELECT NAME FROM SRV_AD_INDUSTRIES ORDER BY NAME");
            while (statement->Step())
                lines += statement->Text(0) + "\r\n";
        }
        res.set_content(lines, "text/plain; charset=utf-8");
    });
}
