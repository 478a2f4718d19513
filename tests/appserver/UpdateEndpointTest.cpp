// The update endpoint of the local server (--update-dir): the files of one
// folder by bare name, and 404 for every other path and for a link that
// leads out of the folder.
#include "ListeningServer.h"
#include "ServerTestFolder.h"
#include "UpdateEndpoint.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

void WriteText(const std::string& FileName, const std::string& Text)
{
    std::ofstream(FileName, std::ios::binary) << Text;
}

} // namespace

TEST(UpdateEndpoint, ServesBareNamesOfItsFolderOnly)
{
    TServerTestFolder root("kld-update");
    ASSERT_FALSE(root.Path.empty());
    const std::string dir = root / "updates";
    fs::create_directories(dir + "/sub");
    WriteText(dir + "/version.txt", "version=4.1.0.0\nfile=setup.sh\nfilesize=4\n");
    WriteText(dir + "/setup.sh", std::string("\0\1\2\3", 4));
    WriteText(dir + "/sub/inner.txt", "inner");
    WriteText(root / "secret.txt", "outside");
    // Links: out of the folder (to a file, to a folder), within it, and one
    // that leads nowhere.
    fs::create_symlink(root / "secret.txt", dir + "/leak.txt");
    fs::create_symlink("../secret.txt", dir + "/relative-leak.txt");
    fs::create_directory_symlink(root.Path, dir + "/up");
    fs::create_symlink("setup.sh", dir + "/setup-latest.sh");
    fs::create_symlink("sub/inner.txt", dir + "/inner-link.txt");
    fs::create_symlink(root / "missing.txt", dir + "/dangling.txt");

    httplib::Server server;
    AddUpdateEndpoint(server, dir);
    TListeningServer listening(server);
    const int port = listening.Port;
    ASSERT_GT(port, 0);

    httplib::Client client("127.0.0.1", port);
    struct Case
    {
        const char* Path;
        int Status;
        std::string Body;
    };
    const Case cases[] = {
        {"/update/version.txt", 200, "version=4.1.0.0\nfile=setup.sh\nfilesize=4\n"},
        {"/update/setup.sh", 200, std::string("\0\1\2\3", 4)},
        {"/update/missing.sh", 404, ""},
        {"/update/", 404, ""},
        {"/update/sub", 404, ""},
        {"/update/sub/inner.txt", 404, ""},
        {"/update/..%2Fsecret.txt", 404, ""},
        {"/update/%2E%2E", 404, ""},
        {"/update/.", 404, ""},
        {"/update/leak.txt", 404, ""},
        {"/update/relative-leak.txt", 404, ""},
        {"/update/up", 404, ""},
        {"/update/up%2Fsecret.txt", 404, ""},
        {"/update/dangling.txt", 404, ""},
        {"/update/setup-latest.sh", 200, std::string("\0\1\2\3", 4)},
        {"/update/inner-link.txt", 200, "inner"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        const httplib::Result res = client.Get(c.Path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.Status);
        if (c.Status == 200) {
            EXPECT_EQ(res->body, c.Body);
        } else {
            EXPECT_EQ(res->body.find("outside"), std::string::npos);
        }
    }
    listening.Stop();

    EXPECT_TRUE(IsUpdateFileName("setup.sh"));
    for (const char* name : {"", ".", "..", "a/b", "a\\b"})
        EXPECT_FALSE(IsUpdateFileName(name)) << name;
}
