// The advertising service of the demo: "/services/get_ad.php" serves the
// active page of SRV_AD_PAGES and "/services/get_industries.php" the
// industries, one per line. Requests are kept in SRV_AD_REQUESTS with their
// target as sent, so that tests see the request the client built. Anyone
// may ask without a session, so what is kept is bounded: the last
// KeptAdRequests requests, and of each at most AdHeaderBytes of headers.

#include "AdPages.h"

#include "Database.h"

#include <httplib.h>

namespace {

std::string Cut(const std::string& text)
{
    return text.substr(0, AdHeaderBytes);
}

void LogRequest(TDatabase& db, const httplib::Request& req)
{
    std::string headers;
    for (const auto& [name, value] : req.headers)
        if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT") {
            headers += name + ": " + value + "\r\n";
            if (headers.size() >= AdHeaderBytes)
                break;
        }
    auto lock = db.Lock();
    db.Prepare("INSERT INTO SRV_AD_REQUESTS (TARGET, HOST, USER_AGENT, REQUEST) VALUES (?, ?, ?, ?)")
        ->Bind(1, req.target)
        .Bind(2, Cut(req.get_header_value("Host")))
        .Bind(3, Cut(req.get_header_value("User-Agent")))
        .Bind(4, req.method + " " + req.target + " " + req.version + "\r\n" + Cut(headers))
        .Run();
    db.Prepare("DELETE FROM SRV_AD_REQUESTS WHERE COUNTER <= (SELECT MAX(COUNTER) FROM SRV_AD_REQUESTS) - ?")
        ->Bind(1, static_cast<int64_t>(KeptAdRequests))
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
