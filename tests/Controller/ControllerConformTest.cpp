// The controller's construction, log line, rights, info bar, user record,
// module variables and module trailer, case by case against their rules.
#include "Components/Controller/GVars.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "NoWebRuntime.h"
#include "base/KldLogFile.h"
#include "platform/FileUtils.h"
#include "platform/Params.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QTimer>
#include <cstring>
#include <elf.h>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace {

std::vector<std::string> FileLines(const std::string& fileName)
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

// The lines of the daily file without those of the notification client,
// which writes its own as the controller makes it and lets it go.
std::vector<std::string> ControllerLines(const std::string& fileName)
{
    std::vector<std::string> lines = FileLines(fileName);
    std::erase_if(lines, [](const std::string& line) {
        return line.find(", TNembraNotificationsClient, ") != std::string::npos;
    });
    return lines;
}

// Splits a line at every ", ".
std::vector<std::string> Columns(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t at; (at = line.find(", ", start)) != std::string::npos; start = at + 2)
        out.push_back(line.substr(start, at - start));
    out.push_back(line.substr(start));
    return out;
}

// A controller in a data folder of its own, made for a given brand.
class ConformController : public ::testing::Test
{
  protected:
    TNoWebRuntime m_noWebRuntime; // the log holds the controller's lines only
    void SetUp() override { ovnSetDataPath(m_dir.Path()); }
    void TearDown() override
    {
        m_controller.reset();
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
    }
    TovnController& Make(int32_t brand = 1)
    {
        AppBrand = brand;
        m_controller = std::make_unique<TovnController>(nullptr);
        return *m_controller;
    }
    std::string TodayLog() const
    {
        return m_dir.Path() + "log/ov4-" + FormatDateTime("yyyy-mm-dd", Date()) + ".log";
    }

    TTempFolder m_dir;
    std::unique_ptr<TovnController> m_controller;
};

// Counts the messages posted to a window of its own.
class TCountingWindow : public IMessageReceiver
{
  public:
    TCountingWindow() : Handle(AllocateHWnd(this)) {}
    ~TCountingWindow() { DeallocateHWnd(Handle); }
    void WndProc(TMessage& m) override { Received.push_back(m.Msg); }
    HWND Handle;
    std::vector<uint32_t> Received;
};

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

TEST_F(ConformController, BrandDefaultsFollowAppBrand)
{
    struct Case
    {
        const char* Desc;
        int32_t Brand;
        const char* SetupFile;
        bool MakerBrand;
    };
    const Case cases[] = {
        {"brand 0 is the maker's", 0, "orvane4setup.exe", true},
        {"brand 1 is the product's", 1, "tlwsetup.exe", false},
        {"any other value is the product's", 7, "tlwsetup.exe", false},
        {"a negative value is the product's", -1, "tlwsetup.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Make(c.Brand);
        EXPECT_EQ(c.SetupFile, DefaultSetupFile);
        const TBrandDefaults expected = BrandDefaults(c.MakerBrand ? 0 : 1);
        EXPECT_EQ(expected.UpdateURL, DefaultUpdateURL);
        EXPECT_EQ(expected.ConnectionURL, DefaultConnectionURL);
        // Plain http for updates, https for the application server, both
        // bare base addresses.
        EXPECT_EQ(0u, DefaultUpdateURL.rfind("http://", 0));
        EXPECT_EQ(0u, DefaultConnectionURL.rfind("https://", 0));
        EXPECT_EQ(std::string::npos, DefaultUpdateURL.find('/', std::strlen("http://")));
        EXPECT_EQ(std::string::npos, DefaultConnectionURL.find('/', std::strlen("https://")));
        m_controller.reset();
    }
    EXPECT_NE(BrandDefaults(0).UpdateURL, BrandDefaults(1).UpdateURL);
    EXPECT_NE(BrandDefaults(0).ConnectionURL, BrandDefaults(1).ConnectionURL);
}

TEST_F(ConformController, VersionIsTheLibraryFileDate)
{
    TovnController& c = Make();
    // The controller code is linked into this program here.
    TDateTime age = 0;
    ASSERT_TRUE(FileAge(GetModuleFileNameOfAddress(reinterpret_cast<const void*>(&Controller)), age));
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd-hh-nn", age), c.Version());
    EXPECT_TRUE(std::regex_match(c.Version(), std::regex(R"(\d{4}-\d\d-\d\d-\d\d-\d\d)"))) << c.Version();
}

TEST_F(ConformController, StartAndEndLinesInTheDailyFile)
{
    TovnController& c = Make();
    const std::string version = c.Version();
    int closedAt = -1;
    c.OnClose = [&](TObject*) {
        closedAt = static_cast<int>(ControllerLines(TodayLog()).size());
        Log.Info("closing", "TEST");
    };
    c.Open();
    m_controller.reset();
    EXPECT_EQ(nullptr, Controller);

    const std::vector<std::string> lines = ControllerLines(TodayLog());
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("TimeStamp, LogLevel, Source, Message, Info, UserID, UserType, Database", lines[0]);
    ASSERT_GE(lines[1].size(), 23u);
    EXPECT_EQ(", DEBUG, BROWSER, Application started. Controller version " + version +
                  " created successfully., , , , ",
              lines[1].substr(23));
    // The destructor closes first, then writes its last line with the user
    // record already gone.
    EXPECT_EQ(2, closedAt);
    EXPECT_EQ(", INFO, TEST, closing, , , , ", lines[2].substr(23));
    EXPECT_EQ(", DEBUG, BROWSER, Application terminated. Controller destroyed successfully., , , , ",
              lines[3].substr(23));
}

TEST_F(ConformController, LogLineTimeStampAndLevels)
{
    TovnController& c = Make();
    const std::regex stamp(R"((\d{4}-\d\d-\d\d)@\d\d-\d\d-\d\d-\d{3})");
    struct Case
    {
        TKldLogLevel Level;
        const char* Name;
    };
    const Case cases[] = {
        {llDebug, "DEBUG"}, {llInfo, "INFO"}, {llWarning, "WARNING"}, {llError, "ERROR"}, {llCritical, "CRITICAL"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Name);
        const std::string before = FormatDateTime("yyyy-mm-dd", Date());
        const std::string line = c.DoFormatLogLine(&Log, k.Level, "m", "S", "i", false);
        const std::string after = FormatDateTime("yyyy-mm-dd", Date());
        const std::vector<std::string> cols = Columns(line);
        ASSERT_EQ(8u, cols.size()) << line;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(cols[0], m, stamp)) << cols[0];
        EXPECT_TRUE(m[1] == before || m[1] == after) << cols[0];
        EXPECT_EQ(k.Name, cols[1]);
        EXPECT_EQ("S", cols[2]);
        EXPECT_EQ("m", cols[3]);
        EXPECT_EQ("i", cols[4]);
    }
}

TEST_F(ConformController, LogLineColumnsEncodeOnlyMessageAndInfo)
{
    TovnController& c = Make();
    struct Case
    {
        const char* Desc;
        std::string Msg, Source, Info, UserID, UserType;
        const char* Expected; // the line after its time stamp
    };
    const Case cases[] = {
        {"nobody signed in: four empty columns", "hello", "BROWSER", "", "", "", ", INFO, BROWSER, hello, , , , "},
        {"user columns", "m", "TovnController", "x", "jdoe", "MGR", ", INFO, TovnController, m, x, jdoe, MGR, "},
        {"comma in the message quotes it", "a,b", "S", "", "", "", ", INFO, S, \"a,b\", , , , "},
        {"comma in the info quotes it", "m", "S", "1,2", "", "", ", INFO, S, m, \"1,2\", , , "},
        {"line break and backslash", "x\ny\\", "S", "", "", "", ", INFO, S, x\\0Ay\\\\, , , , "},
        {"quote inside a quoted field is doubled", "say \"a,b\"", "S", "", "", "",
         ", INFO, S, \"say \"\"a,b\"\"\", , , , "},
        {"source is written as given", "m", "A,B", "", "", "", ", INFO, A,B, m, , , , "},
        {"user columns are written as given", "m", "S", "", "j,d", "U\\R", ", INFO, S, m, , j,d, U\\R, "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        c.User().ID = k.UserID;
        c.User().UserType = k.UserType;
        const std::string line = c.DoFormatLogLine(&Log, llInfo, k.Msg, k.Source, k.Info, false);
        ASSERT_GE(line.size(), 23u);
        EXPECT_EQ(k.Expected, line.substr(23));
    }
}

TEST_F(ConformController, LinesWrittenThroughTheLogCarryTheUser)
{
    TovnController& c = Make();
    c.User().ID = "jdoe";
    c.User().UserType = "SYS";
    Log.Warning("disk, nearly full", "BROWSER", "C:");
    const std::vector<std::string> lines = ControllerLines(TodayLog());
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(", WARNING, BROWSER, \"disk, nearly full\", C:, jdoe, SYS, ", lines[2].substr(23));
}

TEST_F(ConformController, TheMainWindowIsTheApplicationsOnlyOnce)
{
    TovnController& first = Make();
    TfrmOrvaneBrowser4* mainForm = first.Browser();
    EXPECT_EQ(mainForm, ApplicationMainForm());
    // Freeing the controller leaves the application's main form alone.
    m_controller.reset();
    EXPECT_EQ(mainForm, ApplicationMainForm());
    EXPECT_EQ(mainForm->Handle(), FindWindow(MainWindowClassName));
    // A controller made while there is a main form gets a window of its own,
    // which it frees.
    TovnController& second = Make();
    EXPECT_NE(mainForm, second.Browser());
    EXPECT_NE(nullptr, second.Browser());
    EXPECT_EQ(mainForm, ApplicationMainForm());
}

TEST_F(ConformController, ClosingTheMainFormEndsTheMessageLoop)
{
    TovnController& c = Make();
    // Shown without opening the sign-in dialog by itself.
    c.Preferences().AutoLogin = false;
    TfrmOrvaneBrowser4* form = c.Browser();
    form->show();
    // Other top-level windows stay open: the loop ends with the main form,
    // not with the last window.
    QWidget other;
    other.show();
    TfrmOrvaneBrowser4 standalone;
    standalone.show();

    QObject context; // the timers die with the test
    bool reached = false, watchdog = false;
    QTimer::singleShot(0, &context, [&] {
        // A window that is not the main form closes: the loop goes on.
        standalone.close();
        QTimer::singleShot(0, &context, [&] {
            reached = true;
            form->close();
        });
    });
    // Only a loop that failed to end gets here.
    QTimer::singleShot(30000, &context, [&] {
        watchdog = true;
        QCoreApplication::exit(0);
    });
    QApplication::exec();
    EXPECT_TRUE(reached);
    EXPECT_FALSE(watchdog);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(standalone.isVisible());
    EXPECT_TRUE(other.isVisible());
}

TEST_F(ConformController, ParamsAndVarsWork)
{
    TovnController& c = Make();
    EXPECT_EQ(0, c.Params().Count());
    c.Vars().SetParam("Default_Facility", ftString, Variant(std::string("[N1] \"North\"")), 4);
    ASSERT_EQ(1, c.Params().Count());
    EXPECT_EQ("DEFAULT_FACILITY@4", c.Params().Items(0)->Name());
}

// ---------------------------------------------------------------------------
// Rights

TEST_F(ConformController, GetSecurityByUserTypeAndIndex)
{
    TovnController& c = Make();
    const uint8_t bytes[] = {0, 127, 192, 0x41, 0x80};
    c.User().Security().WriteBuffer(bytes, sizeof bytes);
    const TSecurityRecord none{};
    const TSecurityRecord all{sfFull, true, true, true, true, true, true};
    struct Case
    {
        const char* Desc;
        const char* UserType;
        int Index;
        TSecurityRecord Expected;
    };
    const Case cases[] = {
        {"byte 0", "USR", 0, none},
        {"byte 127", "USR", 1, {sfView, true, true, true, true, true, true}},
        {"byte 192", "MGR", 2, {sfFull, false, false, false, false, false, false}},
        {"view with A6", "USR", 3, {sfView, false, false, false, false, false, true}},
        {"modify", "USR", 4, {sfModify, false, false, false, false, false, false}},
        {"past the end", "USR", 5, none},
        {"far past the end", "USR", 1 << 20, none},
        {"negative", "USR", -1, none},
        {"system user, negative", "SYS", -1, all},
        {"system user, byte 0", "SYS", 0, all},
        {"system user, past the end", "SYS", 99, all},
        {"lower-case sys is no system user", "sys", 0, none},
        {"SYS with a blank is no system user", "SYS ", 2, {sfFull, false, false, false, false, false, false}},
        {"no type", "", 1, {sfView, true, true, true, true, true, true}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        c.User().UserType = k.UserType;
        EXPECT_EQ(k.Expected, c.GetSecurity(k.Index));
    }
}

// ---------------------------------------------------------------------------
// Info bar

TEST(ConformInfoList, KeysAndItems)
{
    TCountingWindow window;
    TovnInfoList list;
    list.OnGetWindow = [&] { return window.Handle; };
    std::vector<std::string> askedFor;
    list.OnGetImageForKey = [&](const std::string& key) {
        askedFor.push_back(key);
        return 11;
    };

    // Nothing there and no text: nothing is added, the notice still goes.
    EXPECT_EQ(nullptr, list.AddInfo("", "", -1));
    EXPECT_EQ(0, list.Count());

    TovnInfoObj* def = list.AddInfo(" \t ", "Hello", -1);
    ASSERT_NE(nullptr, def);
    EXPECT_EQ("<default>", def->Name);
    EXPECT_EQ(11, def->ImageIndex);
    EXPECT_EQ(def, list.FindInfo(""));
    EXPECT_EQ(def, list.FindInfo("<DEFAULT>"));

    // A name is its own key, blanks and all; case is ignored, Latin-1 too.
    TovnInfoObj* spaced = list.AddInfo(" X ", "x", 2);
    ASSERT_NE(nullptr, spaced);
    EXPECT_EQ(" X ", spaced->Name);
    EXPECT_EQ(2, spaced->ImageIndex);
    EXPECT_EQ(nullptr, list.FindInfo("X"));
    EXPECT_EQ(spaced, list.FindInfo(" x "));
    TovnInfoObj* state = list.AddInfo("ÉTAT", "OH", 0);
    EXPECT_EQ(state, list.FindInfo("état"));
    EXPECT_EQ(state, list.AddInfo("état", "PA", 5));
    EXPECT_EQ("ÉTAT", state->Name);
    EXPECT_EQ("PA", state->Text);
    EXPECT_EQ(5, state->ImageIndex);

    // The default item keeps its place with an empty text; the picture is
    // looked up again for a negative index.
    EXPECT_EQ(def, list.AddInfo("", "", -3));
    EXPECT_EQ("", def->Text);
    EXPECT_EQ(11, def->ImageIndex);
    EXPECT_EQ((std::vector<std::string>{"<default>", "<default>"}), askedFor);

    // A named item goes with an empty text.
    EXPECT_EQ(nullptr, list.AddInfo("ÉTAT", "", 0));
    EXPECT_EQ(nullptr, list.FindInfo("état"));
    EXPECT_EQ(2, list.Count());
    EXPECT_EQ(def, list.GetInfo(0));
    EXPECT_EQ(spaced, list.GetInfo(1));

    QApplication::processEvents();
    EXPECT_EQ(std::vector<uint32_t>(7, WM_INFOBARCHANGED), window.Received);
}

TEST(ConformInfoList, ChangedPostsOnlyOutsideUpdates)
{
    TCountingWindow window;
    TovnInfoList list;
    list.OnGetWindow = [&] { return window.Handle; };
    struct Step
    {
        const char* Desc;
        std::function<void()> Do;
        int ExpectedTotal;
    };
    const Step steps[] = {
        {"Changed outside an update posts", [&] { list.Changed(); }, 1},
        {"BeginUpdate alone posts nothing", [&] { list.BeginUpdate(); }, 1},
        {"Changed inside posts nothing", [&] { list.Changed(); }, 1},
        {"AddInfo inside posts nothing", [&] { list.AddInfo("A", "a", 0); }, 1},
        {"nested BeginUpdate", [&] { list.BeginUpdate(); }, 1},
        {"inner EndUpdate posts nothing", [&] { list.EndUpdate(); }, 1},
        {"outer EndUpdate posts once", [&] { list.EndUpdate(); }, 2},
        {"AddInfo after the update posts", [&] { list.AddInfo("A", "", 0); }, 3},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Desc);
        s.Do();
        QApplication::processEvents();
        EXPECT_EQ(static_cast<size_t>(s.ExpectedTotal), window.Received.size());
    }
    EXPECT_EQ(0, list.UpdateCount());
    EXPECT_EQ(0, list.Count());
}

// ---------------------------------------------------------------------------
// User record

TEST(ConformAdminUser, NewRecordValues)
{
    TAdminUser user;
    EXPECT_EQ("", user.ID);
    EXPECT_EQ("", user.Password);
    EXPECT_EQ("", user.FullName);
    EXPECT_EQ("", user.UserType);
    EXPECT_EQ("I", user.FacilityAccessFlag);
    EXPECT_EQ("F", user.DefineRole);
    EXPECT_EQ("F", user.DefineFacilityAccess);
    EXPECT_EQ("F", user.DefineDBAccess);
    EXPECT_EQ("", user.Enterprise);
    EXPECT_EQ(0, user.C_Enterprise);
    EXPECT_EQ(0, user.Counter);
    EXPECT_EQ(0, user.C_Role);
    EXPECT_EQ("", user.Role);
    EXPECT_FALSE(user.Restricted);
    EXPECT_EQ("", user.ADState);
    EXPECT_EQ("", user.ADZip);
    EXPECT_EQ("", user.ADIndustry);
    EXPECT_FALSE(user.Advertise);
    EXPECT_EQ(0, user.Security().Size());
    EXPECT_EQ("", user.EMail);
}

TEST(ConformAdminUser, ClearKeepsTheSecurityStreamObject)
{
    TAdminUser user;
    TMemoryStream* stream = &user.Security();
    const uint8_t rights[] = {0xC0, 0x7F, 0x01};
    user.Security().WriteBuffer(rights, 3);
    user.DefineDBAccess = "T";
    user.DefineFacilityAccess = "T";
    user.Clear();
    EXPECT_EQ(stream, &user.Security());
    EXPECT_EQ(0, user.Security().Size());
    EXPECT_EQ("F", user.DefineDBAccess);
    EXPECT_EQ("F", user.DefineFacilityAccess);
    // The emptied stream takes new bytes from its start.
    const uint8_t next[] = {0x40};
    user.Security().WriteBuffer(next, 1);
    EXPECT_EQ(1, user.Security().Size());
    EXPECT_EQ(0x40, user.Security().Memory()[0]);
}

// ---------------------------------------------------------------------------
// Module variables

TEST(ConformVars, KeysTable)
{
    struct Case
    {
        const char* Desc;
        std::string Name;
        int Module;
        const char* Expected;
    };
    const Case cases[] = {
        {"mixed case", "Default_State", 12, "DEFAULT_STATE@12"},
        {"no module", "x", -1, "X@-1"},
        {"module 0", "a1", 0, "A1@0"},
        {"only ASCII letters are upper-cased", "été", 3, "éTé@3"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        EXPECT_EQ(k.Expected, TVars::MakeKey(k.Name, k.Module));
        TParams params;
        TVars vars(&params);
        vars.DeclareParam(k.Name, ftInteger, k.Module);
        ASSERT_EQ(1, params.Count());
        EXPECT_EQ(k.Expected, params.Items(0)->Name());
        EXPECT_TRUE(params.Items(0)->Value().IsNull());
    }
}

TEST(ConformVars, ValuesAreStoredAsGiven)
{
    TParams params;
    TVars vars(&params);
    vars.SetParam("n", ftInteger, Variant(std::string("7")), 1);
    TParam* p = vars.GetParam("N", 1);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(ftInteger, p->DataType());
    EXPECT_EQ(varString, VarType(p->Value()));
    EXPECT_EQ("7", VarToStr(p->Value()));

    struct Case
    {
        const char* Desc;
        Variant Input;
        bool ExpectNull;
    };
    const Case cases[] = {
        {"empty stores Null", Variant(), true},
        {"Null stores Null", Variant::Null(), true},
        {"zero is a value", Variant(0), false},
        {"false is a value", Variant(false), false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        vars.SetParam("n", k.Input, 1);
        EXPECT_EQ(k.ExpectNull, p->Value().IsNull());
        EXPECT_FALSE(p->Value().IsEmpty());
        vars.SetParam("n", ftString, k.Input, 1);
        EXPECT_EQ(k.ExpectNull, p->Value().IsNull());
        EXPECT_EQ(ftInteger, p->DataType());
    }
    EXPECT_EQ(1, params.Count());
}

TEST(ConformVars, NamesFromOtherCodeAreFoundWithoutCase)
{
    TParams params;
    params.CreateParam(ftInteger, "x@1", ptInput)->SetValue(Variant(1));
    params.CreateParam(ftInteger, "Y@1", ptInput)->SetValue(Variant(2));
    params.CreateParam(ftInteger, "x@11", ptInput)->SetValue(Variant(3));
    params.CreateParam(ftInteger, "other", ptInput)->SetValue(Variant(4));
    TVars vars(&params);
    TParam* x = vars.GetParam("X", 1);
    ASSERT_NE(nullptr, x);
    EXPECT_EQ(1, x->Value().AsInteger());
    vars.SetParam("X", Variant(5), 1);
    EXPECT_EQ(5, x->Value().AsInteger());
    EXPECT_EQ(4, params.Count());

    vars.DeleteModuleParams(1);
    ASSERT_EQ(2, params.Count());
    EXPECT_EQ("x@11", params.Items(0)->Name());
    EXPECT_EQ("other", params.Items(1)->Name());
    vars.DeleteModuleParams(11);
    ASSERT_EQ(1, params.Count());
    EXPECT_EQ("other", params.Items(0)->Name());
    // Clear takes the whole list, not only the store's variables.
    vars.Clear();
    EXPECT_EQ(0, params.Count());
}

TEST(ConformVars, UndeclaredVariableNamesItAsGiven)
{
    TParams params;
    TVars vars(&params);
    vars.SetParam("Known", ftInteger, Variant(1), 2);
    struct Case
    {
        const char* Desc;
        std::string Name;
        int Module;
    };
    const Case cases[] = {
        {"other module", "Known", 3},
        {"no module", "Known", -1},
        {"other name", "default_state", 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        EXPECT_EQ("Variable \"" + k.Name + "\" is not declared",
                  ErrorOf<EovnVars>([&] { vars.SetParam(k.Name, Variant(9), k.Module); }));
    }
    EXPECT_EQ(1, params.Count());
    EXPECT_EQ(1, vars.GetParam("known", 2)->Value().AsInteger());
}

TEST(ConformVars, WithoutAListEveryUseRaises)
{
    TVars vars(nullptr);
    const std::vector<std::pair<const char*, std::function<void()>>> uses = {
        {"GetParam", [&] { vars.GetParam("x", 1); }},
        {"SetParam with type", [&] { vars.SetParam("x", ftInteger, Variant(1), 1); }},
        {"SetParam", [&] { vars.SetParam("x", Variant(1), 1); }},
        {"DeclareParam", [&] { vars.DeclareParam("x", ftInteger, 1); }},
        {"DeleteParam", [&] { vars.DeleteParam("x", 1); }},
        {"DeleteModuleParams", [&] { vars.DeleteModuleParams(1); }},
    };
    for (const auto& [desc, use] : uses) {
        SCOPED_TRACE(desc);
        EXPECT_EQ("Params not assigned", ErrorOf<EovnVars>(use));
    }
}

// ---------------------------------------------------------------------------
// Module trailer

namespace {

std::vector<uint8_t> ElfImage(size_t body)
{
    std::vector<uint8_t> f(sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr) + body, 0);
    Elf64_Ehdr h{};
    std::memcpy(h.e_ident, ELFMAG, SELFMAG);
    h.e_ident[EI_CLASS] = ELFCLASS64;
    h.e_ident[EI_DATA] = ELFDATA2LSB;
    h.e_ident[EI_VERSION] = EV_CURRENT;
    h.e_type = ET_DYN;
    h.e_machine = EM_X86_64;
    h.e_phoff = sizeof(Elf64_Ehdr);
    h.e_phentsize = sizeof(Elf64_Phdr);
    h.e_phnum = 1;
    std::memcpy(f.data(), &h, sizeof h);
    for (size_t i = sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr); i < f.size(); ++i)
        f[i] = static_cast<uint8_t>(i * 131 + 17);
    return f;
}

bool AllZero(const TovnModuleSignature& s)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&s);
    return std::all_of(p, p + sizeof s, [](uint8_t b) { return b == 0; });
}

} // namespace

TEST(ConformSigning, QueryUnsignedAndSignedAcrossBlocks)
{
    TTempFolder dir;
    struct Case
    {
        const char* Desc;
        size_t Body;
    };
    // The body is summed in 32768-byte blocks; several blocks and a short
    // tail must give the sum of the whole body.
    const Case cases[] = {
        {"small, 4n + 1", 101},
        {"exactly one block", 32768 - sizeof(Elf64_Ehdr) - sizeof(Elf64_Phdr)},
        {"two blocks and a tail of 3", 70003},
        {"many blocks", 200000},
    };
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        const std::string name = dir / ("q" + std::to_string(n++));
        const std::vector<uint8_t> body = ElfImage(k.Body);
        WriteBytes(name, body);
        const uint32_t whole = ovnCheckSum(body.data(), body.size());

        uint32_t size = 1, sum = 1;
        TovnModuleSignature sig;
        std::memset(&sig, 0xEE, sizeof sig);
        EXPECT_FALSE(ovnQueryModule(name, size, sum, sig));
        EXPECT_EQ(body.size(), size);
        EXPECT_EQ(whole, sum);
        EXPECT_TRUE(AllZero(sig));

        ovnSignModule(name, EncodeDate(2024, 3, 5));
        EXPECT_TRUE(ovnQueryModule(name, size, sum, sig));
        EXPECT_EQ(body.size(), size);
        EXPECT_EQ(whole, sum);
        EXPECT_EQ(whole, sig.CheckSum);
        EXPECT_EQ(body.size(), sig.SizeLow);
        EXPECT_EQ(0u, sig.SizeHigh);
        EXPECT_TRUE(ovnIsSignature(sig));
        EXPECT_EQ("", ErrorOf<EovnSigning>([&] { ovnVerifyModule(name, true); }));
    }
}

TEST(ConformSigning, QueryOfADamagedBodyReportsBothSums)
{
    TTempFolder dir;
    const std::string name = dir / "lib.so";
    WriteBytes(name, ElfImage(400));
    ovnSignModule(name, EncodeDate(2024, 3, 5));
    std::vector<uint8_t> file = ReadBytes(name);
    file[200] += 1; // adds 1 to one word of the body
    WriteBytes(name, file);
    uint32_t size = 0, sum = 0;
    TovnModuleSignature sig{};
    ASSERT_TRUE(ovnQueryModule(name, size, sum, sig));
    EXPECT_EQ(file.size() - 48, size);
    EXPECT_EQ(sig.CheckSum + (1u << (8 * (200 % 4))), sum);
}

TEST(ConformSigning, FailuresBeforeTheTrailerIsRead)
{
    TTempFolder dir;
    const std::string missing = dir / "missing.so";
    const std::string text = dir / "notes.txt";
    std::vector<uint8_t> notes(300, 'x');
    WriteBytes(text, notes);
    // A data file with a valid trailer is still no image.
    const std::string signedText = dir / "signed.txt";
    {
        const std::string elf = dir / "tmp.so";
        WriteBytes(elf, ElfImage(64));
        ovnSignModule(elf, 0);
        std::vector<uint8_t> withTrailer = notes;
        const std::vector<uint8_t> signedElf = ReadBytes(elf);
        withTrailer.insert(withTrailer.end(), signedElf.end() - 48, signedElf.end());
        WriteBytes(signedText, withTrailer);
    }
    uint32_t size, sum;
    TovnModuleSignature sig;
    struct Case
    {
        const char* Desc;
        std::function<void()> Call;
        std::string Expected;
    };
    const Case cases[] = {
        {"query of a missing file", [&] { ovnQueryModule(missing, size, sum, sig); },
         "Module file does not exist: " + missing},
        {"query of a folder", [&] { ovnQueryModule(dir.Path(), size, sum, sig); },
         "Module file does not exist: " + dir.Path()},
        {"signing a missing file", [&] { ovnSignModule(missing, 0); }, "Module file does not exist: " + missing},
        {"verifying a missing file strictly", [&] { ovnVerifyModule(missing, true); },
         "Module file does not exist: " + missing},
        {"query of a data file", [&] { ovnQueryModule(text, size, sum, sig); }, "Wrong file format: " + text},
        {"verifying a data file", [&] { ovnVerifyModule(text, false); }, "Wrong file format: " + text},
        {"a data file with a trailer", [&] { ovnVerifyModule(signedText, false); },
         "Wrong file format: " + signedText},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        EXPECT_EQ(k.Expected, ErrorOf<EovnSigning>(k.Call));
    }
    EXPECT_FALSE(FileExists(missing));
}

TEST(ConformSigning, SigningAppendsOnceThenReplaces)
{
    TTempFolder dir;
    const std::string name = dir / "lib.so";
    const std::vector<uint8_t> body = ElfImage(1001);
    WriteBytes(name, body);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ovnSignModule(name, EncodeDate(2020 + round, 1, 1));
        const std::vector<uint8_t> file = ReadBytes(name);
        ASSERT_EQ(body.size() + 48, file.size());
        EXPECT_TRUE(std::equal(body.begin(), body.end(), file.begin()));
        uint32_t size, sum;
        TovnModuleSignature sig;
        ASSERT_TRUE(ovnQueryModule(name, size, sum, sig));
        EXPECT_DOUBLE_EQ(EncodeDate(2020 + round, 1, 1), sig.SignedAt);
    }
}
