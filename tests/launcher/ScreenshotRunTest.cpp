// The demo's picture runs of the built program (TALLOWIN_SCREENSHOT with a
// sign-in) against the local application server with the demo database, as
// scripts/demo starts them without a display: each road saves one picture
// per stop, named for the stop, no two alike, and the run logs no error.
#include "launcher/TallowinStart.h"
#include "LauncherTesting.h"

#include "Components/Nembra/ovnControllerUtils.h"
#include "platform/IniFiles.h"
#include "support/AppServerProcess.h"
#include "support/LocalServerConnection.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#ifndef KLD_DEMO_SQL
#error "the picture run tests need the demo database (KLD_DEMO_SQL)"
#endif

namespace {

std::string ReadWhole(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The source folder, from the demo database's place in it.
std::string SourceFolder()
{
    const std::string sql = KLD_DEMO_SQL;
    return sql.substr(0, sql.size() - std::string("tools/appserver/sql/demo.sql").size());
}

void CopyFolderFiles(const std::string& From, const std::string& Mask, const std::string& To)
{
    for (const std::string& name : FindFiles(From, Mask))
        EXPECT_TRUE(CopyFile(From + name, To + name, false)) << From + name;
}

// The local server with the demo database and the files scripts/demo puts
// into its "resources" share: the signed sample libraries, the modules'
// icons and handbook, the default ad's pictures.
class TDemoServer
{
  public:
    TDemoServer()
    {
        const std::string share = ExtractFilePath(Server.DatabaseFile()) + "files/resources/";
        ForceDirectories(share);
        CopyFolderFiles(ExtractFilePath(BuiltFile(KLD_SAMPLE_APPLET)), "*.so", share);
        CopyFolderFiles(SourceFolder() + "tools/appserver/demo-files/", "*", share);
        CopyFolderFiles(SourceFolder() + "Components/Controller/resources/", "tlw-ad*.png", share);
        WriteText(share + "welcome.txt", "Welcome to the demo.");
    }
    // The program's settings as scripts/demo leaves them: the server as the
    // one connection, its advertising and help pages, no update check.
    void PointAt(const TProgramCopy& Copy) const
    {
        const std::string local = "http://127.0.0.1:" + std::to_string(Server.Port());
        TIniFile ini(Copy.Dir / "Tallowin.ini");
        TovnConnections connections;
        UseOnlyLocalServer(connections, Server.Port(), "Local demo server");
        connections.SaveToIni(ini, "CONNECTIONS");
        ini.WriteString("ADS", "Home", local);
        ini.WriteString("WEB HELP", "Home", local + "/help/");
        ini.UpdateFile();
    }

    TAppServerProcess Server{{}, ReadWhole(KLD_DEMO_SQL)};
};

std::vector<std::string> ErrorLines(const std::string& LogFolder)
{
    std::vector<std::string> found;
    for (const std::string& name : FindFiles(LogFolder, "*.log")) {
        std::stringstream log(ReadWhole(LogFolder + name));
        for (std::string line; std::getline(log, line);)
            if (line.find(", ERROR, ") != std::string::npos)
                found.push_back(line);
    }
    return found;
}

} // namespace

TEST(ScreenshotRun, EachRoadSavesOnePicturePerStopAndLogsNoError)
{
    struct Case
    {
        const char* Desc;
        const char* SignIn;
        const char* Road;
        std::set<std::string> Stops;
    };
    const Case cases[] = {
        {"the nurse's road", "NURSE:nurse", "", {"signin", "modules", "module", "applet"}},
        {"the administrator's road",
         "ADMIN:admin",
         "admin",
         {"signin", "console", "enterprises", "connections", "information", "explorer", "explorer-sql",
          "user-list"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TDemoServer demo;
        TProgramCopy copy;
        demo.PointAt(copy);
        // The copy has no web view plugin beside it: the light view, whose
        // choice is no error.
        EXPECT_EQ(0, RunProgram(copy.Program, {"/INSTANCES", "/FORCE_IE"},
                                {{ScreenshotEnvVar, copy.Dir / "shot.png"},
                                 {ScreenshotSignInEnvVar, c.SignIn},
                                 {ScreenshotRoadEnvVar, c.Road}},
                                240000));

        std::map<std::string, std::string> pictures; // stop -> bytes
        for (const std::string& name : FindFiles(copy.Dir.Path(), "*.png")) {
            const std::string stop = name.rfind("shot-", 0) == 0 ? name.substr(5, name.size() - 9) : name;
            pictures[stop] = ReadWhole(copy.Dir / name);
        }
        for (const std::string& stop : c.Stops)
            EXPECT_TRUE(pictures.count(stop)) << "no picture of the stop " << stop;
        for (const auto& [stop, bytes] : pictures) {
            EXPECT_TRUE(c.Stops.count(stop)) << "a picture of no stop: " << stop;
            EXPECT_FALSE(bytes.empty()) << stop;
        }
        for (auto a = pictures.begin(); a != pictures.end(); ++a)
            for (auto b = std::next(a); b != pictures.end(); ++b)
                EXPECT_TRUE(a->second != b->second)
                    << a->first << " and " << b->first << " are the same picture";
        for (const std::string& line : ErrorLines(copy.Dir / "log/"))
            ADD_FAILURE() << "logged: " << line;
    }
}
