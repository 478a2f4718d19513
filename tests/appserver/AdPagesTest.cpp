// The demo's advertising service keeps the requests it served so that tests
// can read what the client asked, but anyone may ask it without a session:
// what it keeps is bounded. Before, 20 s of requests grew the database from
// 4 KB to 249 MB.
#include "AdPages.h"
#include "Database.h"
#include "ListeningServer.h"
#include "ServerTestFolder.h"

#include <httplib.h>

#include <gtest/gtest.h>

namespace {

std::string Text(TDatabase& Db, const std::string& Sql)
{
    auto lock = Db.Lock();
    auto statement = Db.Prepare(Sql);
    return statement->Step() ? statement->Text(0) : "<none>";
}

} // namespace

TEST(AdPages, KeepTheLastRequestsWithTheirTargetsWholeAndTheirHeadersCut)
{
    TServerTestFolder folder("kld-ads");
    ASSERT_FALSE(folder.Path.empty());
    TDatabase db(folder.Path + "/server.db");
    httplib::Server server;
    RegisterAdPages(server, db);
    TListeningServer listening(server);
    const int port = listening.Port;
    ASSERT_GT(port, 0);

    httplib::Client client("127.0.0.1", port);
    const httplib::Headers large = {{"User-Agent", std::string(6000, 'u')},
                                    {"X-Padding", std::string(6000, 'p')}};
    // The client's query names the ad's key and the user's profile; this one is long.
    const std::string query = "?x=Kw3hv9Rm2pxT0qaZe&z=" + std::string(5000, '9') + "&i=";
    for (int i = 1; i <= 310; ++i) {
        SCOPED_TRACE(i);
        const std::string path = i % 2 ? "/services/get_ad.php" : "/services/get_industries.php";
        const httplib::Result res = client.Get(path + query + std::to_string(i), large);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
    }
    listening.Stop();

    EXPECT_EQ(Text(db, "SELECT COUNT(*) FROM SRV_AD_REQUESTS"), "300");
    EXPECT_EQ(Text(db, "SELECT TARGET FROM SRV_AD_REQUESTS ORDER BY COUNTER LIMIT 1"),
              "/services/get_ad.php" + query + "11");
    EXPECT_EQ(Text(db, "SELECT TARGET FROM SRV_AD_REQUESTS ORDER BY COUNTER DESC LIMIT 1"),
              "/services/get_industries.php" + query + "310");
    EXPECT_EQ(Text(db, "SELECT HOST FROM SRV_AD_REQUESTS ORDER BY COUNTER DESC LIMIT 1"),
              "127.0.0.1:" + std::to_string(port));
    // The request line whole, then 4 KB of headers at most.
    const std::string line = "GET /services/get_industries.php" + query + "310 HTTP/1.1\r\n";
    EXPECT_EQ(Text(db, "SELECT MAX(LENGTH(REQUEST)) FROM SRV_AD_REQUESTS"),
              std::to_string(line.size() + 4096));
    EXPECT_EQ(Text(db, "SELECT substr(REQUEST, 1, " + std::to_string(line.size()) +
                           ") FROM SRV_AD_REQUESTS ORDER BY COUNTER DESC LIMIT 1"),
              line);
    EXPECT_EQ(Text(db, "SELECT MAX(LENGTH(USER_AGENT)) FROM SRV_AD_REQUESTS"), "4096");
}
