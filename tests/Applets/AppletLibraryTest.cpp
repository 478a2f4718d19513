// Applet libraries from the local application server through the resource
// cache: the signed samples run in containers and as widgets and are
// unloaded when they close; corrupted, unsigned and faulty libraries end as
// the launch road says, with nothing of theirs left loaded.
#include "AppletServerTesting.h"

#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "Components/Nembra/NembraJSON.h"
#include "base/KldLogFile.h"
#include "platform/DynLibs.h"
#include "platform/FileUtils.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"
#include "support/TempFolder.h"
#include "ui/KldAppPanel.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using AppletLibraryTest = TAppletServerTest;

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

// The exception classes of a library go with its code: the client unloads
// the library and raises the library's text as an error of its own, which
// the user sees, and goes on with the next applet.
TEST_F(AppletLibraryTest, AnExceptionClassOfTheLibraryReachesTheUserAsItsTextAndTheClientGoesOn)
{
    struct TCase
    {
        const char* Resource;
        const char* File;
        int Kind;
        const char* Error;
    };
    const TCase cases[] = {
        {"FAULTY_RAISEOWN", "faulty_raiseown.so", 0, "The sample applet fails with an error of its own"},
        {"FAULTY_RAISEOWN", "faulty_raiseown.so", 1, "The sample applet fails with an error of its own"},
        {"FAULTY_HANDINIT", "faulty_handinit.so", 0, "The sample library fails in its own INIT"},
        {"FAULTY_HANDINIT", "faulty_handinit.so", 1, "The sample library fails in its own INIT"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Resource) + " kind " + std::to_string(c.Kind));
        std::string error;
        bool clientsOwn = false;
        try {
            Launch(c.Resource, c.Kind);
        } catch (const std::exception& e) {
            // Read after the library is gone: the object must be the client's.
            error = e.what();
            const auto* own = dynamic_cast<const Exception*>(&e);
            clientsOwn = own && own->ClassName() == "Exception";
        }
        EXPECT_EQ(error, c.Error);
        EXPECT_TRUE(clientsOwn);
        Settle();
        EXPECT_TRUE(m_view->Containers().empty());
        EXPECT_EQ(m_view->GetWidgetsCount(), 0);
        EXPECT_FALSE(Loaded(c.File));
    }
    ASSERT_TRUE(Launch("SAMPLE_APPLET", 0));
    ASSERT_EQ(m_view->Containers().size(), 1u);
    EXPECT_TRUE(Loaded("sample_applet.so"));
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

TEST_F(AppletLibraryTest, AViewClosedDuringItsOwnLaunchGoesOnlyAfterIt)
{
    // The close arrives while the launch runs (here from its Ctrl test); the
    // failing form's clean-up then delivers pending deletions, which must
    // not include the view.
    bool closeAsked = false;
    TfrmModuleView::CtrlKeyDown = [&] {
        closeAsked = true;
        m_view->close();
        return false;
    };
    EXPECT_EQ(ErrorOf([&] { Launch("FAULTY_RAISESHOWN", 0); }), "The sample form fails when shown");
    ASSERT_TRUE(closeAsked);
    ASSERT_FALSE(m_view.isNull()) << "not destroyed under its own launch";
    EXPECT_TRUE(m_view->Containers().empty());
    Settle();
    EXPECT_TRUE(m_view.isNull()) << "the close came once the launch had ended";
    EXPECT_FALSE(Loaded("faulty_raiseshown.so"));
}

TEST_F(AppletLibraryTest, TheSystemConnectionNamesTheActiveAppletAsReferer)
{
    const auto refererSeen = [this] {
        std::unique_ptr<TNembraRequest> echo = m_window->conMAIN().GetNembraRequest();
        echo->SetProcedureName("Test.Echo");
        echo->Execute();
        return echo->GetJSONObject().GetValues("Referer").GetAsString();
    };
    EXPECT_EQ(refererSeen(), "") << "no applet is active";

    ASSERT_TRUE(Launch("SAMPLE_APPLET", 0));
    ASSERT_EQ(m_view->Containers().size(), 1u);
    TovnApplet* applet = m_view->Containers()[0]->GetTopApplet();
    ASSERT_NE(applet, nullptr);
    EXPECT_EQ(refererSeen(), "SAMPLE_APPLET");

    ASSERT_TRUE(applet->Close(false));
    Settle();
    EXPECT_EQ(refererSeen(), "") << "the applet's container went with it";
}

// The sample applet's "Send Notification": a notification of its own
// resource in its module, for the user named, stored on the data database.
TEST_F(AppletLibraryTest, TheSampleSendsANotificationToTheUserNamed)
{
    m_window->OpenDataDatabase("SAMPLES", 50);
    ASSERT_TRUE(RunEventsUntil([&] { return m_controller->VNSConnected(); }));
    ASSERT_TRUE(Launch("SAMPLE_APPLET", 0));
    TovnAppletForm* form = m_view->Containers().at(0)->GetTopApplet()->MainForm.data();
    ASSERT_NE(form, nullptr);
    form->findChild<QLineEdit*>("edtNotifyUser")->setText("MANAGER");
    form->findChild<QLineEdit*>("edtNotifyText")->setText("Room 4 asks for you");
    form->findChild<QPushButton*>("btnNotify")->click();
    EXPECT_EQ(LabelText(form, "lblState"), "Notification sent to MANAGER");
    auto column = [](const std::string& Name) {
        return VarToStr(LibController::LookupValue("SELECT " + Name +
                                                   " FROM TBL_NOTIFICATION WHERE NOTIFICATION_TEXT = 'Room 4 asks for you'"));
    };
    EXPECT_EQ(column("MODULE_NAME"), "Samples") << "the applet's own module";
    EXPECT_EQ(column("FROM_MODULE"), "Samples");
    EXPECT_EQ(column("RESOURCE_NAME"), "SAMPLE_APPLET");
    EXPECT_EQ(column("RESOURCE_PARAMS"), "FROM=NOTIFICATION");
    EXPECT_EQ(column("TO_USER_ID"), "MANAGER");
    EXPECT_EQ(column("RECORD_USER"), "JSMITH");
}
