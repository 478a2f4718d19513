#include "Components/Controller/ovnController.h"
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/notifications/NotificationsAPI.h"
#include "Components/Nembra/NembraLocalFileSystem.h"
#include "NoWebRuntime.h"
#include "base/KldLogFile.h"
#include "platform/IniFiles.h"
#include "platform/StringList.h"
#include "support/AppServerProcess.h"
#include "support/AppServerSignIn.h"
#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"
#include "support/FileSystemTesting.h"
#include "support/MessageRecorder.h"
#include "support/PrivateRuntimeDir.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include <thread>
#include <QApplication>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace {

// Lines of a log file without their CR LF.
std::vector<std::string> LogLines(const std::string& fileName)
{
    std::vector<std::string> lines;
    std::stringstream s(ReadText(fileName));
    for (std::string line; std::getline(s, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Each test gets its own data folder and controller; the log goes back to
// its default state afterwards.
class ControllerTest : public ::testing::Test
{
  protected:
    TNoWebRuntime m_noWebRuntime; // the log holds the controller's lines only
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 1;
        m_controller = MakeController();
        // The first show must not ask the brand's update address.
        TIniFile(m_controller->Browser()->IniFileName()).WriteBool("UPDATE", "AutoUpdate", false);
    }
    virtual TovnController* MakeController() { return new TovnController(nullptr); }
    void TearDown() override
    {
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
    }
    std::string TodayLog() const
    {
        return m_dir.Path() + "log/ov4-" + FormatDateTime("yyyy-mm-dd", Date()) + ".log";
    }

    TTempFolder m_dir;
    TovnController* m_controller = nullptr;
};

} // namespace

TEST_F(ControllerTest, ConstructionBindsLogAndStoresItself)
{
    EXPECT_EQ(m_controller, Controller);
    EXPECT_FALSE(m_controller->Active());
    EXPECT_EQ("tlwsetup.exe", DefaultSetupFile);
    EXPECT_EQ(BrandDefaults(1).UpdateURL, DefaultUpdateURL);
    EXPECT_EQ(BrandDefaults(1).ConnectionURL, DefaultConnectionURL);
    ASSERT_NE(nullptr, m_controller->Browser());
    EXPECT_EQ(m_controller->Browser(), ApplicationMainForm());
    EXPECT_EQ(0, m_controller->Params().Count());
    EXPECT_EQ(16u, m_controller->Version().size()); // yyyy-mm-dd-hh-nn

    EXPECT_EQ(TodayLog(), Log.FileName());
    EXPECT_EQ(llDebug, Log.LogLevel());
    const std::vector<std::string> lines = LogLines(TodayLog());
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("TimeStamp, LogLevel, Source, Message, Info, UserID, UserType, Database", lines[0]);
    // The notification client, switched to keep-alive before it connects.
    EXPECT_NE(std::string::npos,
              lines[1].find(", DEBUG, TNembraNotificationsClient, VNS.StopKeepAliveTimer, , "));
    EXPECT_NE(std::string::npos, lines[2].find(", DEBUG, BROWSER, Application started. Controller version " +
                                               m_controller->Version() + " created successfully., , , , "));
}

TEST_F(ControllerTest, DestructionLogsAndUnbinds)
{
    delete m_controller;
    m_controller = nullptr;
    EXPECT_EQ(nullptr, Controller);
    std::vector<std::string> lines = LogLines(TodayLog());
    // Header, the notification client's line and the start; then the
    // notification client goes (its two lines) and the end.
    ASSERT_EQ(6u, lines.size());
    EXPECT_NE(std::string::npos, lines[3].find(", DEBUG, TNembraNotificationsClient, VNS.Disconnect, , "));
    EXPECT_NE(std::string::npos,
              lines[4].find(", DEBUG, TNembraNotificationsClient, VNS.StopKeepAliveTimer, , "));
    EXPECT_NE(std::string::npos,
              lines[5].find(", DEBUG, BROWSER, Application terminated. Controller destroyed "
                            "successfully., , , , "));
    // Later lines use the log's default layout again.
    Log.Debug("after", "TEST");
    lines = LogLines(TodayLog());
    ASSERT_EQ(7u, lines.size());
    EXPECT_EQ(std::string::npos, lines[6].find(", , , "));
    EXPECT_NE(std::string::npos, lines[6].find("after"));
}

TEST_F(ControllerTest, BrandZeroDefaults)
{
    const TBrandDefaults zero = BrandDefaults(0);
    EXPECT_EQ("orvane4setup.exe", zero.SetupFile);
    EXPECT_EQ("tlwsetup.exe", BrandDefaults(7).SetupFile);
    for (const TBrandDefaults& b : {zero, BrandDefaults(1)}) {
        EXPECT_EQ(0u, b.UpdateURL.rfind("http://", 0));
        EXPECT_EQ(0u, b.ConnectionURL.rfind("https://", 0));
        EXPECT_NE('/', b.ConnectionURL.back());
    }
}

TEST_F(ControllerTest, LogFileName)
{
    const TDateTime day = EncodeDate(2024, 3, 5);
    EXPECT_EQ(m_dir.Path() + "log/ov4-2024-03-05.log", m_controller->MakeLogFileName(day, false));
    ovnSetDataPath(m_dir.Path() + "other");
    EXPECT_EQ(m_dir.Path() + "other/log/ov4-2024-03-05.log", m_controller->MakeLogFileName(day, false));
    EXPECT_FALSE(DirectoryExists(m_dir.Path() + "other/log"));
    m_controller->MakeLogFileName(day, true);
    EXPECT_TRUE(DirectoryExists(m_dir.Path() + "other/log"));
    // Made for this user alone.
    for (const std::string& made : {m_dir.Path() + "other", m_dir.Path() + "other/log"}) {
        struct stat st
        {
        };
        ASSERT_EQ(::stat(made.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
    // A log folder others may write is refused.
    ovnSetDataPath(m_dir.Path() + "open");
    ASSERT_TRUE(ForceDirectories(m_dir.Path() + "open/log"));
    ::chmod((m_dir.Path() + "open/log").c_str(), 0777);
    EXPECT_THROW(m_controller->MakeLogFileName(day, true), EInOutError);
}

TEST_F(ControllerTest, LogLineColumns)
{
    struct Case
    {
        const char* Desc;
        std::string Msg, Info;
        const char* Expected; // the line after the time stamp
    };
    const Case cases[] = {
        {"plain", "hello", "", ", INFO, SRC, hello, , , , "},
        {"comma quotes the field", "a,b", "x", ", INFO, SRC, \"a,b\", x, , , "},
        {"line break and backslash", "one\r\ntwo\\", "i,\"j\"",
         ", INFO, SRC, one\\0D\\0Atwo\\\\, \"i,\"\"j\"\"\", , , "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::string line = m_controller->DoFormatLogLine(&Log, llInfo, c.Msg, "SRC", c.Info, false);
        ASSERT_GE(line.size(), 23u);
        EXPECT_EQ(c.Expected, line.substr(23));
        // yyyy-mm-dd@hh-nn-ss-zzz
        EXPECT_EQ('@', line[10]);
        EXPECT_EQ('-', line[19]);
    }
    m_controller->User().ID = "jdoe";
    m_controller->User().UserType = "USR";
    EXPECT_EQ(", CRITICAL, S, m, , jdoe, USR, ",
              m_controller->DoFormatLogLine(&Log, llCritical, "m", "S", "", false).substr(23));
    EXPECT_EQ("TimeStamp, LogLevel, Source, Message, Info, UserID, UserType, Database",
              m_controller->DoFormatLogLine(&Log, llInfo, "", "", "", true));

    // A worker thread's line carries the user the main thread last logged
    // with; it never reads the record the main thread may be changing.
    m_controller->User().ID = "other";
    std::string fromWorker;
    std::thread worker([&] { fromWorker = m_controller->DoFormatLogLine(&Log, llInfo, "w", "T", "", false); });
    worker.join();
    EXPECT_EQ(", INFO, T, w, , jdoe, USR, ", fromWorker.substr(23));
    EXPECT_EQ(", INFO, T, w, , other, USR, ",
              m_controller->DoFormatLogLine(&Log, llInfo, "w", "T", "", false).substr(23));
}

TEST_F(ControllerTest, OpenCloseAndActive)
{
    int opened = 0, closed = 0;
    m_controller->OnOpen = [&](TObject* sender) {
        EXPECT_EQ(m_controller, sender);
        ++opened;
    };
    m_controller->OnClose = [&](TObject*) { ++closed; };
    m_controller->Open();
    m_controller->Open();
    EXPECT_TRUE(m_controller->Active());
    EXPECT_EQ(1, opened);
    m_controller->SetActive(false);
    m_controller->Close();
    EXPECT_FALSE(m_controller->Active());
    EXPECT_EQ(1, closed);
    m_controller->SetActive(true);
    EXPECT_EQ(2, opened);
    // The destructor closes a controller that is still active.
    delete m_controller;
    m_controller = nullptr;
    EXPECT_EQ(2, closed);
}

TEST_F(ControllerTest, SessionChecks)
{
    EXPECT_FALSE(m_controller->GetConnected());
    EXPECT_FALSE(m_controller->GetDBConnected());
    try {
        m_controller->CheckLogged();
        ADD_FAILURE();
    } catch (const EovnController& e) {
        EXPECT_EQ("Not logged", e.Message());
    }
    try {
        m_controller->CheckDBLogged();
        ADD_FAILURE();
    } catch (const EovnController& e) {
        EXPECT_EQ("Not logged to DB", e.Message());
    }
}

TEST_F(ControllerTest, GetSecurityByIndex)
{
    TAdminUser& user = m_controller->User();
    const uint8_t bytes[] = {0, 127, 192};
    user.Security().WriteBuffer(bytes, 3);
    const TSecurityRecord none{};
    const TSecurityRecord all{sfFull, true, true, true, true, true, true};
    EXPECT_EQ(none, m_controller->GetSecurity(0));
    EXPECT_EQ((TSecurityRecord{sfView, true, true, true, true, true, true}), m_controller->GetSecurity(1));
    EXPECT_EQ((TSecurityRecord{sfFull, false, false, false, false, false, false}),
              m_controller->GetSecurity(2));
    EXPECT_EQ(none, m_controller->GetSecurity(3));
    EXPECT_EQ(none, m_controller->GetSecurity(-1));
    user.UserType = "sys"; // case matters
    EXPECT_EQ(none, m_controller->GetSecurity(0));
    user.UserType = "SYS";
    EXPECT_EQ(all, m_controller->GetSecurity(-1));
    EXPECT_EQ(all, m_controller->GetSecurity(0));
    EXPECT_EQ(all, m_controller->GetSecurity(1000));
}

namespace {
// Counts 4026 notices posted to a window.
class TInfoReceiver : public IMessageReceiver
{
  public:
    TInfoReceiver() : Handle(AllocateHWnd(this)) {}
    ~TInfoReceiver() { DeallocateHWnd(Handle); }
    void WndProc(TMessage& m) override
    {
        if (m.Msg == WM_INFOBARCHANGED)
            ++Count;
    }
    HWND Handle;
    int Count = 0;
};
} // namespace

TEST(TovnInfoList, AddFindRemove)
{
    TInfoReceiver window;
    TovnInfoList list;
    list.OnGetWindow = [&] { return window.Handle; };
    list.OnGetImageForKey = [](const std::string& key) { return key == "FACILITY" ? 9 : 4; };

    EXPECT_EQ(nullptr, list.AddInfo("FACILITY", "", 1)); // nothing to remove, nothing added
    TovnInfoObj* def = list.AddInfo("  ", "Welcome", -1);
    ASSERT_NE(nullptr, def);
    EXPECT_EQ("<default>", def->Name);
    EXPECT_EQ(4, def->ImageIndex);
    TovnInfoObj* fac = list.AddInfo("FACILITY", "North", -1);
    ASSERT_NE(nullptr, fac);
    EXPECT_EQ(9, fac->ImageIndex);
    EXPECT_EQ(fac, list.FindInfo("facility"));
    EXPECT_EQ(def, list.FindInfo(""));
    EXPECT_EQ(fac, list.AddInfo("Facility", "South", 2));
    EXPECT_EQ("South", fac->Text);
    EXPECT_EQ(2, fac->ImageIndex);

    // The default item stays with an empty text; a named one goes.
    EXPECT_EQ(def, list.AddInfo("", "", 3));
    EXPECT_EQ("", def->Text);
    EXPECT_EQ(nullptr, list.AddInfo("FACILITY", "", 0));
    EXPECT_EQ(nullptr, list.FindInfo("FACILITY"));
    EXPECT_EQ(1, list.Count());

    QApplication::processEvents();
    EXPECT_EQ(6, window.Count); // one notice per AddInfo
}

TEST(TovnInfoList, UpdatesPostOnce)
{
    TInfoReceiver window;
    TovnInfoList list;
    list.OnGetWindow = [&] { return window.Handle; };
    list.BeginUpdate();
    list.AddInfo("A", "1", 0);
    list.AddInfo("B", "2", 0);
    list.BeginUpdate();
    list.EndUpdate();
    QApplication::processEvents();
    EXPECT_EQ(0, window.Count);
    list.EndUpdate();
    QApplication::processEvents();
    EXPECT_EQ(1, window.Count);
    EXPECT_EQ("B", list.GetInfo(1)->Name);
}

TEST_F(ControllerTest, MainWindowShell)
{
    TfrmOrvaneBrowser4* window = m_controller->Browser();
    EXPECT_EQ(window->Handle(), FindWindow(MainWindowClassName));
    EXPECT_EQ(QCoreApplication::applicationName(), window->windowTitle());
    EXPECT_FALSE(window->Logged());
    EXPECT_FALSE(window->DBLogged());

    // The update marker beside the program goes at the first show (the
    // sign-in dialog is not opened by itself here).
    m_controller->Preferences().AutoLogin = false;
    const std::string marker = window->ProgramPath() + UpdateMarkerFileName;
    ovnCreateFile(marker);
    window->show();
    EXPECT_FALSE(FileExists(marker));

    // 9912 brings a minimised window back to the normal state.
    window->showMinimized();
    QApplication::processEvents();
    PostMessage(window->Handle(), WM_RESTOREMAINWINDOW, 61488, 0);
    QApplication::processEvents();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ControllerTest, SecondWindowIsNotTheMainForm)
{
    TovnController* first = m_controller;
    auto second = std::make_unique<TovnController>(nullptr);
    EXPECT_EQ(second.get(), Controller);
    EXPECT_NE(second->Browser(), ApplicationMainForm());
    EXPECT_EQ(first->Browser(), ApplicationMainForm());
    second.reset(); // frees its own window, leaves the main form
    EXPECT_NE(nullptr, ApplicationMainForm());
    Controller = first;
}

TEST_F(ControllerTest, HoldsThePreferencesAndTheConnectionList)
{
    EXPECT_TRUE(m_controller->Preferences().AutoLogin);
    EXPECT_EQ("cache", m_controller->SysPreferences().CacheDir);
    EXPECT_EQ(downloadNewer, m_controller->SysPreferences().DownloadWhen);
    EXPECT_EQ(DefaultConnectionURL, m_controller->Connections().DefaultURL());

    // The main window read the settings file at its creation; one without
    // connections gives the brand's server as the default.
    ASSERT_EQ(1, m_controller->Connections().Count());
    EXPECT_EQ("Default", m_controller->Connections().GetItem(0)->Connection());
    EXPECT_EQ(BrandDefaults(1).ConnectionURL, m_controller->Connections().GetDefault()->URL());
}

TEST_F(ControllerTest, PreferencesPlaceTheMainWindow)
{
    TfrmOrvaneBrowser4* window = m_controller->Browser();
    const std::string iniName = m_dir.Path() + "Tallowin.ini";
    WriteText(iniName, "[USER PREFERENCES]\n"
                       "BrowserLeft=10\nBrowserTop=20\nBrowserWidth=400\nBrowserHeight=300\n"
                       "BrowserWindowState=2\n");
    TIniFile ini(iniName);
    m_controller->Preferences().LoadFromIni(ini);
    EXPECT_TRUE(window->isMaximized());
    const QRect normal = window->normalGeometry();
    EXPECT_EQ(QSize(400, 300), normal.size()) << "the stored bounds are the normal ones";

    // Saved from the window as it is now.
    window->setWindowState(Qt::WindowNoState);
    window->move(33, 44);
    window->resize(500, 350);
    m_controller->Preferences().SaveToIni(ini);
    TIniFile again(iniName);
    EXPECT_EQ(33, again.ReadInteger("USER PREFERENCES", "BrowserLeft", -1));
    EXPECT_EQ(44, again.ReadInteger("USER PREFERENCES", "BrowserTop", -1));
    EXPECT_EQ(500, again.ReadInteger("USER PREFERENCES", "BrowserWidth", -1));
    EXPECT_EQ(350, again.ReadInteger("USER PREFERENCES", "BrowserHeight", -1));
    EXPECT_EQ(0, again.ReadInteger("USER PREFERENCES", "BrowserWindowState", -1));
    EXPECT_GT(window->DesktopWidth(), 0);
    EXPECT_GT(window->DesktopHeight(), 0);
}

TEST(TTagStringList, NotifyCallsBackWithoutSender)
{
    int calls = 0;
    TObject* sender = reinterpret_cast<TObject*>(1);
    TTagStringList list([&](TObject* s) {
        ++calls;
        sender = s;
    });
    list.Add("line");
    EXPECT_EQ(0, calls) << "changes alone do not call back";
    list.Notify();
    EXPECT_EQ(1, calls);
    EXPECT_EQ(nullptr, sender);

    TTagStringList silent;
    silent.Notify(); // no callback: nothing happens
    EXPECT_EQ("TTagStringList", silent.ClassName());
}

// ---------------------------------------------------------------------------
// Resources

TEST_F(ControllerTest, TheCachePathLiesInTheDataFolderOrMustExist)
{
    m_controller->SysPreferences().CacheDir = " cache ";
    EXPECT_EQ(m_controller->GetCachePath(), m_dir.Path() + "cache");
    const std::string text =
        "Local Cache Path is invalid.\r\nPlease specify correct path in Options/Local Cache...";
    EXPECT_EQ(text, SNoCachePath);
    m_controller->SysPreferences().CacheDir = m_dir / "absent";
    EXPECT_EQ(ErrorOf<EovnController>([&] { m_controller->GetCachePath(); }), text);
    ASSERT_TRUE(ForceDirectories(m_dir / "chosen"));
    m_controller->SysPreferences().CacheDir = m_dir / "chosen";
    EXPECT_EQ(m_controller->GetCachePath(), m_dir / "chosen");
}

TEST_F(ControllerTest, InitCacheOpensTheCacheForTheSession)
{
    TNembraFileSystemCache& cache = m_controller->Cache();
    EXPECT_FALSE(cache.Active());
    m_controller->SysPreferences().DownloadWhen = downloadAlways;
    m_controller->InitCache();
    EXPECT_TRUE(cache.Active());
    EXPECT_EQ(cache.OS(), ovnOS());
    EXPECT_EQ(cache.CacheDir(), m_dir.Path() + "cache");
    struct stat st
    {
    };
    ASSERT_EQ(::stat((m_dir / "cache").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "a folder the program makes is this user's alone";
    EXPECT_EQ(cache.DownloadWhen(), downloadNever) << "no file-system address yet";

    cache.SetURI("file://" + m_dir.Path());
    m_controller->InitCache();
    EXPECT_EQ(cache.DownloadWhen(), downloadAlways);

    // A folder others may write cannot be the program's own cache.
    ::chmod((m_dir / "cache").c_str(), 0777);
    EXPECT_EQ(ErrorOf([&] { m_controller->InitCache(); }),
              "Folder " + m_dir.Path() + "cache cannot hold the resource cache: others may write to it");
    EXPECT_FALSE(cache.Active());
    ::chmod((m_dir / "cache").c_str(), 0700);

    // A chosen folder that does not exist leaves the cache inactive.
    m_controller->SysPreferences().CacheDir = m_dir / "absent";
    EXPECT_THROW(m_controller->InitCache(), EovnController);
    EXPECT_FALSE(cache.Active());
}

TEST_F(ControllerTest, ResourcesPassToTheCacheAndDownloadsAreLogged)
{
    TTempFolder source;
    WriteText(source / "icon.png", "png");
    SetFileTimeStamp(source / "icon.png", 131000000000000000LL);
    m_controller->Cache().SetURI("file://" + source.Path());
    m_controller->InitCache();
    m_controller->AddResourceFile("ICON", "icon.png");
    EXPECT_EQ(m_controller->GetResourceFile("ICON"), m_dir.Path() + "cache/icon.png");
    EXPECT_TRUE(m_controller->ResourceDownloaded());
    EXPECT_EQ(m_controller->DownloadResource("ICON"), m_dir.Path() + "cache/icon.png");
    EXPECT_FALSE(m_controller->ResourceDownloaded());
    int logged = 0;
    for (const std::string& line : LogLines(TodayLog()))
        if (line.find(", DEBUG, TovnController, Downloaded new version of ICON, ") != std::string::npos)
            ++logged;
    EXPECT_EQ(logged, 1);

    auto version = [&] { return m_controller->Cache().GetResourceDescriptor("ICON", false)->Version; };
    EXPECT_EQ(version(), 131000000000000000LL);
    m_controller->InvalidateResource("ICON", 5);
    EXPECT_EQ(version(), 131000000000000000LL) << "not newer";
    m_controller->InvalidateResource("ICON", -1);
    EXPECT_EQ(version(), -1);
    m_controller->GetResourceFile("ICON");
    m_controller->InvalidateResourceFiles("other.png, icon.png");
    EXPECT_EQ(version(), -1);
    m_controller->GetResourceFile("ICON");
    TStringList files;
    files.Add("ICON.PNG");
    m_controller->InvalidateResourceFiles(&files);
    EXPECT_EQ(version(), -1);

    m_controller->GetResourceFile("ICON");
    m_controller->Cache().SetActive(false);
    m_controller->Cache().SetActive(true);
    SetFileTimeStamp(source / "icon.png", 132000000000000000LL);
    m_controller->ValidateCache();
    EXPECT_EQ(version(), -1);
    m_controller->AddResourceFile("MISSING", "missing.png");
    EXPECT_NE(ErrorOf([&] { m_controller->GetResourceFile("MISSING"); }).find("Unable to download resource"),
              std::string::npos);
}

TEST(ovnControllerFiles, LocalFileSystemsExtractThroughTheZipUnit)
{
    TTempFolder root;
    RawZip::Archive zip;
    zip.Members = {{"a.txt", "A"}, {"b.dll", "B"}, {"sub/c.txt", "C"}, {"sub/skip.txt", "S"}};
    WriteText(root / "pack.zip", zip.Bytes());
    TNembraLocalFileSystem fs("file://" + root.Path());
    fs.Extract("pack.zip", "out", "*.txt", "skip*");
    EXPECT_EQ(ReadText(root / "out/a.txt"), "A");
    EXPECT_EQ(ReadText(root / "out/sub/c.txt"), "C");
    EXPECT_FALSE(FileExists(root / "out/b.dll"));
    EXPECT_FALSE(FileExists(root / "out/sub/skip.txt"));
}

namespace {

// A controller whose window messages go to a recorder instead of its main
// window.
class TRecordingController : public TovnController
{
  public:
    TMessageRecorder Posted;

  protected:
    HWND BrowserHandle() const override { return Posted.Handle(); }
};

class ControllerVNSTest : public ControllerTest
{
  protected:
    TovnController* MakeController() override { return new TRecordingController(); }
    TRecordingController& Recording() { return static_cast<TRecordingController&>(*m_controller); }
    // The messages posted to the main window once the posts have run.
    std::vector<uint32_t> Posted()
    {
        QCoreApplication::processEvents();
        std::vector<uint32_t> numbers = Recording().Posted.Numbers();
        for (const TMessage& m : Recording().Posted.Messages) {
            EXPECT_EQ(m.WParam, 0u);
            EXPECT_EQ(m.LParam, 0);
        }
        Recording().Posted.Messages.clear();
        return numbers;
    }
    // Points the notification client at the server as the sign-in does.
    void ConnectTo(const TAppServerProcess& Server, const std::string& SessionId)
    {
        TNembraNotificationsClient& client = m_controller->NotificationClient();
        client.SetHost("127.0.0.1");
        client.SetPort(std::to_string(Server.NotifyPort()));
        client.SetKeyToken(SessionId);
        // The controller's handler still gets every message.
        client.OnMessage = [this, handler = client.OnMessage](TObject* sender, const std::string& msg) {
            m_received.push_back(msg);
            handler(sender, msg);
        };
        client.SetConnected(true);
        WaitUntilNamed();
    }
    // Waits until the link is connected and the server has taken its "set"
    // commands, so that messages addressed by them find it.
    void WaitUntilNamed()
    {
        ASSERT_TRUE(RunEventsUntil([&] { return m_controller->VNSConnected(); }));
        m_received.clear();
        m_controller->NotificationClient().SendText(R"({"command":"test_history"})");
        ASSERT_TRUE(RunEventsUntil([&] { return !m_received.empty(); }));
    }

    std::vector<std::string> m_received;
};

// The user of the controller's link (42): the relay names a link by the
// live session it gives, and takes its user from that session.
const char* const kLinkUserSql =
    "INSERT INTO TBL_USERS (COUNTER, USER_ID, FULL_NAME, USER_TYPE, C_ENTERPRISE) "
    "VALUES (42, 'CAREGIVER', 'Care Giver', 'USR', 1);";

// Another client on the same server, named by "id".
struct TPeer
{
    TPeer(const TAppServerProcess& Server, const std::string& Id)
    {
        Client.SetHost("127.0.0.1");
        Client.SetPort(std::to_string(Server.NotifyPort()));
        Client.SetKeyTokenName("id");
        Client.SetKeyToken(Id);
        Client.OnMessage = [this](TObject*, const std::string& msg) { Messages.push_back(msg); };
        Client.SetConnected(true);
        EXPECT_TRUE(RunEventsUntil([this] { return Client.Opened(); }));
    }
    TNembraNotificationsClient Client;
    std::vector<std::string> Messages;
};

} // namespace

TEST_F(ControllerVNSTest, CreatesTheNotificationClient)
{
    TNembraNotificationsClient& client = m_controller->NotificationClient();
    EXPECT_TRUE(client.KeepAlive());
    EXPECT_EQ(client.KeyTokenName(), "id");
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(client.OnMessage && client.OnConnected && client.OnDisconnected);
    EXPECT_FALSE(m_controller->VNSConnected());
}

TEST_F(ControllerVNSTest, CommandWordsOfTheNotificationServer)
{
    m_controller->User().Counter = 42;
    struct Case
    {
        const char* Desc;
        const char* Text;
        std::vector<uint32_t> Posted;
    } cases[] = {
        {"notifications changed", "$UPDATENOTIFICATIONS", {WM_NOTIFICATION}},
        {"any case", "$updateNotifications", {WM_NOTIFICATION}},
        {"a rest does not matter", "$UPDATENOTIFICATIONS 7", {WM_NOTIFICATION}},
        {"a longer word is another word", "$UPDATENOTIFICATIONSX", {}},
        {"mail for this user", "$check_mail 42", {WM_NEWMAIL}},
        {"mail, word in capitals", "$CHECK_MAIL 42", {WM_NEWMAIL}},
        {"mail, blanks around the rest", "$check_mail   42  ", {WM_NEWMAIL}},
        {"mail for another user", "$check_mail 43", {}},
        {"mail, an extra digit", "$check_mail 420", {}},
        {"mail, a leading zero", "$check_mail 042", {}},
        {"mail without a user", "$check_mail", {}},
        {"mail, a rest of two words", "$check_mail 4 2", {}},
        {"unknown word", "$hello 42", {}},
        {"empty text", "", {}},
        // The blank is looked for after the first character: a text that
        // starts with blanks has an empty word.
        {"leading blanks", "  $UPDATENOTIFICATIONS", {}},
        {"one leading blank", " $UPDATENOTIFICATIONS", {WM_NOTIFICATION}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        m_controller->OnVNSMessage(&m_controller->NotificationClient(), c.Text);
        EXPECT_EQ(Posted(), c.Posted);
    }
    // Answering a broadcast needs the link; checking the resources an open
    // cache. Their errors reach the notification client.
    EXPECT_EQ(ErrorOf([&] { m_controller->OnVNSMessage(nullptr, "$broadcast admin"); }),
              "Unable to perform operation on a disconnected client");
    EXPECT_NE(ErrorOf([&] { m_controller->OnVNSMessage(nullptr, "$invalidate_resources"); }), "");
    EXPECT_TRUE(Posted().empty());

    const std::vector<std::string> lines = LogLines(TodayLog());
    // One line per text, with the word as it came.
    EXPECT_EQ(std::count_if(
                  lines.begin(), lines.end(),
                  [](const std::string& line) { return line.find("VNS Command: ") != std::string::npos; }),
              std::size(cases) + 2);
    EXPECT_NE(lines.at(lines.size() - 2).find(", DEBUG, TovnController, VNS Command: $broadcast, , "),
              std::string::npos)
        << lines.at(lines.size() - 2);
    const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("VNS Command") != std::string::npos;
    });
    ASSERT_NE(first, lines.end());
    EXPECT_NE(first->find(", DEBUG, TovnController, VNS Command: $UPDATENOTIFICATIONS, , "),
              std::string::npos)
        << *first;
}

TEST_F(ControllerVNSTest, InvalidatedResourcesAreCheckedAgainstTheirSource)
{
    TTempFolder source;
    WriteText(source / "icon.png", "png");
    SetFileTimeStamp(source / "icon.png", 131000000000000000LL);
    m_controller->Cache().SetURI("file://" + source.Path());
    m_controller->InitCache();
    m_controller->AddResourceFile("ICON", "icon.png");
    m_controller->GetResourceFile("ICON");
    auto version = [&] { return m_controller->Cache().GetResourceDescriptor("ICON", false)->Version; };
    ASSERT_EQ(version(), 131000000000000000LL);

    SetFileTimeStamp(source / "icon.png", 132000000000000000LL);
    m_controller->OnVNSMessage(nullptr, "$Invalidate_Resources");
    EXPECT_EQ(version(), -1) << "changed at its source: fetched again at its next use";
    EXPECT_TRUE(Posted().empty());
}

TEST_F(ControllerVNSTest, ALostLinkMakesTheCacheAskItsSourceEveryTime)
{
    struct Case
    {
        const char* Desc;
        TDownloadWhen Before;
        TDownloadWhen After;
    } cases[] = {
        {"newer files become every file", downloadNewer, downloadAlways},
        {"always stays", downloadAlways, downloadAlways},
        {"never stays", downloadNever, downloadNever},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        m_controller->Cache().SetDownloadWhen(c.Before);
        m_controller->OnVNSDisconnected(&m_controller->NotificationClient());
        EXPECT_EQ(m_controller->Cache().DownloadWhen(), c.After);
        EXPECT_FALSE(m_controller->VNSConnected());
    }
}

TEST_F(ControllerVNSTest, AnswersTheServerOverTheLink)
{
    TAppServerProcess server({"--test-procedures"}, kLinkUserSql);
    m_controller->User().Counter = 42;
    const std::string adminSession = SignInSession(server, "ADMIN");
    TPeer admin(server, adminSession);
    const std::string session = SignInSession(server, "CAREGIVER");
    ConnectTo(server, session);

    // Named by the user's counter and by the session: messages addressed
    // either way reach it.
    admin.Client.SendNotification("$check_mail 42", "user_id", "42");
    admin.Client.SendNotification("$UPDATENOTIFICATIONS", "id", session);
    admin.Client.SendNotification("$check_mail 7", "user_id", "42");
    ASSERT_TRUE(RunEventsUntil([&] { return Recording().Posted.Messages.size() >= 2; }));
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(Posted(), (std::vector<uint32_t>{WM_NEWMAIL, WM_NOTIFICATION}));

    // A broadcast (a system manager's) is answered to the asking link,
    // whatever the case.
    admin.Client.SendNotification("$broadcast " + adminSession, "user_id", "42");
    admin.Client.SendNotification("$BROADCAST " + adminSession, "user_id", "42");
    ASSERT_TRUE(RunEventsUntil([&] { return admin.Messages.size() >= 2; }));
    EXPECT_EQ(admin.Messages, (std::vector<std::string>{"$imhere " + session, "$imhere " + session}));

    // NotifyUsers tells the others to refresh.
    admin.Messages.clear();
    NotifyUsers(m_controller);
    ASSERT_TRUE(RunEventsUntil([&] { return admin.Messages.size() >= 1; }));
    EXPECT_EQ(admin.Messages, std::vector<std::string>{"$UPDATENOTIFICATIONS"});

    m_controller->NotificationClient().SetConnected(false);
    EXPECT_FALSE(m_controller->VNSConnected());
    EXPECT_EQ(ErrorOf([&] { NotifyUsers(m_controller); }),
              "Unable to perform operation on a disconnected client");
}

TEST_F(ControllerVNSTest, FollowsTheLinkThroughADropAndItsReplacement)
{
    TAppServerProcess server({"--test-procedures"}, kLinkUserSql);
    m_controller->User().Counter = 42;
    m_controller->SysPreferences().DownloadWhen = downloadNewer;
    m_controller->Cache().SetDownloadWhen(downloadNever);
    TPeer admin(server, SignInSession(server, "ADMIN"));
    ConnectTo(server, SignInSession(server, "CAREGIVER"));
    TNembraNotificationsClient& client = m_controller->NotificationClient();
    EXPECT_EQ(m_controller->Cache().DownloadWhen(), downloadNewer) << "the preference, once the link is open";

    client.SendText(R"({"command":"test_drop"})");
    ASSERT_TRUE(RunEventsUntil([&] { return !client.LinkAlive(); }));
    ASSERT_NE(client.KeepAliveTimer(), nullptr);
    SendMessage(client.KeepAliveTimer()->Handle(), WM_TIMER, 1, 0);
    EXPECT_FALSE(m_controller->VNSConnected());
    EXPECT_EQ(m_controller->Cache().DownloadWhen(), downloadAlways);
    WaitUntilNamed();
    EXPECT_EQ(m_controller->Cache().DownloadWhen(), downloadNewer);

    // Named again by the user's counter.
    admin.Client.SendNotification("$check_mail 42", "user_id", "42");
    ASSERT_TRUE(RunEventsUntil([&] { return !Recording().Posted.Messages.empty(); }));
    EXPECT_EQ(Posted(), std::vector<uint32_t>{WM_NEWMAIL});
}

TEST_F(ControllerTest, FirstShowAsksTheUpdateAddressOfThePreferences)
{
    // The endpoint serves no "version.txt": nothing is offered and the
    // window goes on.
    TTempFolder updates;
    TAppServerProcess server({"--update-dir", updates.Path()});
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/update";
    TfrmOrvaneBrowser4* window = m_controller->Browser();
    TIniFile ini(window->IniFileName());
    ini.WriteBool("UPDATE", "AutoUpdate", true);
    ini.WriteString("UPDATE", "UpdateURL", url);
    m_controller->Preferences().AutoLogin = false;
    window->show();
    const std::string log = ReadText(TodayLog());
    EXPECT_NE(log.find("Check New Version. Source URL: \"" + url + "\""), std::string::npos) << log;
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(m_controller->CheckKernelUpdate());
}
