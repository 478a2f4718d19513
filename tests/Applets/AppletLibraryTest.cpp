// Applet libraries from the local application server through the resource
// cache: the signed samples run in containers and as widgets and are
// unloaded when they close; corrupted, unsigned and faulty libraries end as
// the launch road says, with nothing of theirs left loaded.
#include "AppletTesting.h"

#include "Components/Controller/ModuleView.h"
#include "Components/Controller/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "Components/Controller/ovnUtils.h"
#include "base/KldLogFile.h"
#include "platform/DynLibs.h"
#include "platform/FileUtils.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"
#include "ui/KldAppPanel.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const char* const kSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (50, 'SUNNY HOMES', 'Sunny Homes', 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (50, 'JSMITH', 'secret', 'Jane Smith', 'USR', 50);
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES
  (8001, 'CORRUPT_APPLET', 'corrupt.dll'), (8002, 'UNSIGNED_APPLET', 'unsigned.dll'),
  (8003, 'NOT_A_LIBRARY', 'notalib.dll'), (8004, 'PROGRAM_FILE', 'program.dll'),
  (8005, 'WELCOME_NOTE', 'welcome.txt');
INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (8101, 8001, 'corrupt.so', 'L64'), (8102, 8002, 'unsigned.so', 'L64'),
  (8103, 8003, 'notalib.so', 'L64'), (8104, 8004, 'program.so', 'L64');
)";

const char* const kSamples[] = {"sample_applet",     "sample_widget", "faulty_noinit",
                                "faulty_nilinit",    "faulty_raiseinit", "faulty_raiseshown",
                                "faulty_noform",     "faulty_refuseclose", "faulty_oldapi"};

std::string SamplesFolder()
{
    return ExtractFilePath(BuiltFile(KLD_SAMPLE_APPLET));
}

std::string ReadBytes(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const std::string& FileName, const std::string& Bytes)
{
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    out << Bytes;
}

class AppletLibraryTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_server = std::make_unique<TAppServerProcess>(std::vector<std::string>{}, kSql);
        m_share = ExtractFilePath(m_server->DatabaseFile()) + "files/resources/";
        ForceDirectories(m_share);
        for (const char* sample : kSamples)
            ASSERT_TRUE(CopyFile(SamplesFolder() + sample + ".so", m_share + sample + ".so", false)) << sample;
        // A signed library with one byte of its body changed; the same
        // library without its trailer; a file that is no library; a program.
        std::string bytes = ReadBytes(SamplesFolder() + "sample_applet.so");
        std::string corrupt = bytes;
        corrupt[corrupt.size() / 2] ^= 0x5A;
        WriteBytes(m_share + "corrupt.so", corrupt);
        WriteBytes(m_share + "unsigned.so", bytes.substr(0, bytes.size() - sizeof(TovnModuleSignature)));
        WriteBytes(m_share + "notalib.so", "not a library at all");
        WriteBytes(m_share + "welcome.txt", "Welcome");
        ASSERT_TRUE(CopyFile("/bin/true", m_share + "program.so", false));

        ovnSetDataPath(m_dir.Path());
        AppBrand = 1;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        TovnConnections& list = m_controller->Connections();
        list.Clear();
        TovnConnectionItem* local = list.Add();
        local->SetConnection("Local");
        local->SetURL("http://127.0.0.1:" + std::to_string(m_server->Port()));
        local->SetDefault(true);
        m_window->ExecuteLoginDialog = [](const TLoginCallback& callback) {
            return callback(nullptr, "jsmith", "secret", "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());

        m_entry = m_window->ModuleItems().Add("Samples", 42);
        m_view = new TfrmModuleView(nullptr, m_entry);
        m_entry->SetForm(m_view);
        TfrmModuleView::CtrlKeyDown = [this] { return m_ctrl; };
    }
    void TearDown() override
    {
        TfrmModuleView::CtrlKeyDown = nullptr;
        if (m_view) {
            m_view->ResetModify();
            m_view->CloseAllApplets(false);
            delete m_view.data();
        }
        ProcessMessages();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_window->SetLogged(false);
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
        std::filesystem::current_path(m_startFolder);
    }

    bool Launch(const std::string& Resource, int Kind, int Mode = 0xF000, const std::string& Params = "",
                TObject* Sender = nullptr, bool Reuse = true)
    {
        return m_view->Launch(Resource, 3, "Sample", 42, false, Mode, Params, Sender, Kind, Reuse);
    }
    // Whether a library of the cache folder with that file name is loaded.
    bool Loaded(const std::string& FileName) const
    {
        for (const std::string& module : GetLoadedModules())
            if (ExtractFileName(module) == FileName && module.find("/cache/") != std::string::npos)
                return true;
        return false;
    }
    std::vector<std::string> LogLinesWith(const std::string& Text) const
    {
        std::vector<std::string> found;
        std::stringstream s(ReadText(Log.FileName()));
        for (std::string line; std::getline(s, line);)
            if (line.find(Text) != std::string::npos)
                found.push_back(line);
        return found;
    }
    void Settle()
    {
        ProcessMessages();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::string LabelText(QWidget* Form, const char* Name) const
    {
        auto* label = Form->findChild<QLabel*>(Name);
        return label ? label->text().toStdString() : "(none)";
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TTempFolder m_dir;
    std::unique_ptr<TAppServerProcess> m_server;
    std::string m_share;
    TDialogScript m_dialogs;
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
    TModuleItem* m_entry = nullptr;
    QPointer<TfrmModuleView> m_view;
    bool m_ctrl = false;
};

} // namespace

TEST_F(AppletLibraryTest, ASignedSampleRunsInANewContainerAndIsUnloadedWhenItCloses)
{
    ASSERT_TRUE(Launch("SAMPLE_APPLET", 0, 0xF005, "FACILITY=OAK,\"NOTE=two words\""));
    ASSERT_EQ(m_view->Containers().size(), 1u);
    TKldAppContainer* container = m_view->Containers()[0];
    EXPECT_EQ(container->Caption(), "Samples / Sample");
    TovnApplet* applet = container->GetTopApplet();
    ASSERT_NE(applet, nullptr);
    EXPECT_EQ(applet->Resource, "SAMPLE_APPLET");
    EXPECT_EQ(applet->Mode, 5) << "the four high bits are cleared";
    EXPECT_EQ(applet->SecurityIndex, 3);
    EXPECT_EQ(applet->Module, 42);
    EXPECT_EQ(applet->Controller, m_controller);
    EXPECT_EQ(applet->State, asActive);
    ASSERT_EQ(applet->Params.Count(), 2);
    EXPECT_EQ(applet->Params[1], "NOTE=two words");
    EXPECT_EQ(applet->Host.data(), container);
    TovnAppletForm* form = applet->MainForm.data();
    EXPECT_EQ(form->parentWidget(), container);
    EXPECT_EQ(LabelText(form, "lblCaption"), "Caption: Sample") << "the form got 1224 after its show";
    EXPECT_EQ(LabelText(form, "lblMode"), "Mode: 5");
    EXPECT_TRUE(Loaded("sample_applet.so"));
    EXPECT_TRUE(m_view->LiveApplet(applet));

    // The applet adds its item to the info bar once its container is the
    // desktop's active window.
    TovnInfoList info;
    container->Perform(WM_FILLINFOBARITEMS, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.FindInfo("SAMPLE"), nullptr);
    EXPECT_EQ(info.FindInfo("SAMPLE")->Text, "Sample applet: Sample");

    QPointer<TKldAppContainer> watched = container;
    ASSERT_TRUE(applet->Close(false));
    Settle();
    EXPECT_TRUE(watched.isNull()) << "the last applet took its container";
    EXPECT_TRUE(m_view->Containers().empty());
    EXPECT_FALSE(Loaded("sample_applet.so"));
}

TEST_F(AppletLibraryTest, AnOpenAppletIsShownAgainUnlessCtrlIsHeldOrANotificationOpensIt)
{
    ASSERT_TRUE(Launch("SAMPLE_APPLET", 0));
    EXPECT_FALSE(Launch("sample_applet", 0)) << "the open container is shown instead";
    EXPECT_EQ(m_view->Containers().size(), 1u);
    EXPECT_TRUE(Launch("SAMPLE_APPLET", 0, 0xF000, "", nullptr, false)) << "no reuse asked";
    EXPECT_EQ(m_view->Containers().size(), 2u);
    m_ctrl = true;
    EXPECT_TRUE(Launch("SAMPLE_APPLET", 0));
    m_ctrl = false;
    EXPECT_EQ(m_view->Containers().size(), 3u);
    EXPECT_TRUE(Launch("SAMPLE_APPLET", 2)) << "a notification always opens anew";
    EXPECT_EQ(m_view->Containers().size(), 4u);

    // An applet started by another opens on top of it in its container,
    // unless its mode asks for a container of its own.
    TovnApplet* caller = m_view->Containers()[0]->GetTopApplet();
    EXPECT_TRUE(Launch("SAMPLE_APPLET", 0, 0, "", caller, false));
    EXPECT_EQ(m_view->Containers().size(), 4u);
    EXPECT_EQ(m_view->Containers()[0]->Applets().size(), 2u);
    EXPECT_TRUE(Launch("SAMPLE_APPLET", 0, 0xF000, "", caller, false));
    EXPECT_EQ(m_view->Containers().size(), 5u);

    m_view->CloseAllApplets(true);
    Settle();
    EXPECT_TRUE(m_view->Containers().empty());
    EXPECT_FALSE(Loaded("sample_applet.so"));
}

TEST_F(AppletLibraryTest, TheSampleWidgetTakesTwoColumnsAndGoesWithItsWidget)
{
    ASSERT_TRUE(Launch("SAMPLE_WIDGET", 1, 0xF000, "", nullptr, false));
    ASSERT_EQ(m_view->GetWidgetsCount(), 1);
    TKldAppLayoutItem* widget = m_view->FindWidget("SAMPLE_WIDGET");
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->ColSpan(), 2) << "the low byte of 0x0102";
    EXPECT_EQ(widget->Panel()->Caption(), "Sample");
    TovnApplet* applet = m_view->WidgetApplet(widget);
    ASSERT_NE(applet, nullptr);
    EXPECT_EQ(applet->Host.data(), m_view.data());
    EXPECT_EQ(applet->MainForm->parentWidget(), widget->Panel());
    EXPECT_TRUE(m_view->Containers().empty());
    EXPECT_TRUE(Loaded("sample_widget.so"));

    m_view->CloseAllWidgets();
    Settle();
    EXPECT_EQ(m_view->GetWidgetsCount(), 0);
    EXPECT_FALSE(Loaded("sample_widget.so"));
}

TEST_F(AppletLibraryTest, ACorruptedTrailerFailsThreeTimesAndTheThirdErrorIsRaised)
{
    const std::string error = ErrorOf([&] { Launch("CORRUPT_APPLET", 0); });
    EXPECT_FALSE(error.empty());
    for (int attempt = 1; attempt <= 3; ++attempt)
        EXPECT_EQ(LogLinesWith(", ERROR, BROWSER, " + error + ", Fault: " + std::to_string(attempt)).size(), 1u)
            << attempt;
    EXPECT_TRUE(LogLinesWith("Fault: 4").empty());
    EXPECT_TRUE(m_view->Containers().empty());
    EXPECT_FALSE(Loaded("corrupt.so"));
}

TEST_F(AppletLibraryTest, AnUnsignedCopyLoads)
{
    EXPECT_TRUE(Launch("UNSIGNED_APPLET", 0));
    EXPECT_EQ(m_view->Containers().size(), 1u);
    EXPECT_TRUE(Loaded("unsigned.so"));
}

TEST_F(AppletLibraryTest, FaultyLibrariesEndWithTheirErrorsAndLeaveNothingLoaded)
{
    struct TCase
    {
        const char* Resource;
        const char* File;
        int Kind;
        std::string Error;  // the exact text, or the beginning when Prefix
        bool Prefix;
        const char* Logged; // a part of the loader's text in an ERROR BROWSER line ('' for none)
    };
    const std::string cache = m_controller->GetCachePath();
    const TCase cases[] = {
        {"FAULTY_NOINIT", "faulty_noinit.so", 0, "Applet library does not support interface", false, "INIT"},
        {"FAULTY_NILINIT", "faulty_nilinit.so", 0, "Applet library could not initialize Applet", false, ""},
        {"FAULTY_RAISEINIT", "faulty_raiseinit.so", 0, "The sample applet fails to initialise", false, ""},
        {"FAULTY_RAISESHOWN", "faulty_raiseshown.so", 0, "The sample form fails when shown", false, ""},
        {"FAULTY_RAISESHOWN", "faulty_raiseshown.so", 1, "The sample form fails when shown", false, ""},
        {"FAULTY_OLDAPI", "faulty_oldapi.so", 0,
         "Cannot Initialize Applet: \"" + IncludeTrailingPathDelimiter(cache) + "faulty_oldapi.so\". Error code: ",
         true, "ovnAppletApi_0"},
        {"PROGRAM_FILE", "program.so", 0,
         "Cannot Initialize Applet: \"" + IncludeTrailingPathDelimiter(cache) + "program.so\". Error code: ", true,
         "program.so"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Resource) + " kind " + std::to_string(c.Kind));
        const std::string error = ErrorOf([&] { Launch(c.Resource, c.Kind); });
        if (c.Prefix) {
            EXPECT_EQ(error.substr(0, c.Error.size()), c.Error) << error;
        } else {
            EXPECT_EQ(error, c.Error);
        }
        if (*c.Logged) {
            bool logged = false;
            for (const std::string& line : LogLinesWith(", ERROR, BROWSER, "))
                logged = logged || line.find(c.Logged) != std::string::npos;
            EXPECT_TRUE(logged) << "the loader's text is logged";
        }
        Settle();
        EXPECT_TRUE(m_view->Containers().empty());
        EXPECT_EQ(m_view->GetWidgetsCount(), 0);
        EXPECT_FALSE(Loaded(c.File));
    }
    // A file that is no library fails its check before any load.
    EXPECT_NE(ErrorOf([&] { Launch("NOT_A_LIBRARY", 0); }).find("Wrong file format"), std::string::npos);
    EXPECT_FALSE(Loaded("notalib.so"));
}

TEST_F(AppletLibraryTest, AnAppletWithoutMainFormEndsSilentlyAndStaysLoaded)
{
    EXPECT_THROW(Launch("FAULTY_NOFORM", 0), EAbort);
    EXPECT_TRUE(m_view->Containers().empty());
    EXPECT_TRUE(Loaded("faulty_noform.so"));
}

TEST_F(AppletLibraryTest, AFormRefusingToCloseKeepsItsContainerAndTheModule)
{
    ASSERT_TRUE(Launch("FAULTY_REFUSECLOSE", 0));
    ASSERT_TRUE(Launch("SAMPLE_APPLET", 0)); // a second container, after the first
    ASSERT_EQ(m_view->Containers().size(), 2u);
    TKldAppContainer* sample = m_view->Containers()[0];
    TKldAppContainer* refusing = m_view->Containers()[1];
    // Newest first: the sample's container closes, the refusing one stays.
    m_view->CloseAllApplets(true);
    Settle();
    ASSERT_EQ(m_view->Containers().size(), 1u);
    EXPECT_EQ(m_view->Containers()[0], refusing);
    (void)sample;

    // The view refuses to close while the container remains.
    m_dialogs->QueueAnswer(mrOk);
    m_view->close();
    Settle();
    ASSERT_FALSE(m_view.isNull());
    EXPECT_EQ(m_dialogs->Texts().back(),
              "Some applets are open for this module. Please, close applets before closing the module.");

    TovnApplet* applet = refusing->GetTopApplet();
    auto allow = reinterpret_cast<void (*)(bool)>(GetProcAddress(applet->LibHandle, "SAMPLE_ALLOW_CLOSE"));
    ASSERT_NE(allow, nullptr);
    allow(true);
    m_view->CloseAllApplets(true);
    Settle();
    EXPECT_TRUE(m_view->Containers().empty());
    EXPECT_FALSE(Loaded("faulty_refuseclose.so"));
}

TEST_F(AppletLibraryTest, ADocumentOpensThroughTheShell)
{
    std::vector<std::string> opened;
    auto previous = TfrmModuleView::ShellOpener;
    TfrmModuleView::ShellOpener = [&](const std::string& file) {
        opened.push_back(file);
        return opened.size() == 1;
    };
    EXPECT_FALSE(Launch("WELCOME_NOTE", 0));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(ExtractFileName(opened[0]), "welcome.txt");
    EXPECT_EQ(ErrorOf([&] { Launch("WELCOME_NOTE", 0); }),
              "There is no application associated with the given filename extension.");
    EXPECT_EQ(ErrorOf([&] { m_view->RunShell(m_dir / "missing.doc"); }), "File " + (m_dir / "missing.doc") + " not found");
    TfrmModuleView::ShellOpener = previous;
}
