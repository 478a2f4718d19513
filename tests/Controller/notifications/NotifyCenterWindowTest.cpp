// The notification center behind the main window's interface: each call of
// the window lands on the center as designed (a fake database records the
// statements), and, against the local application server, a real window
// signed in as MANAGER gets the center with its targets, its first refresh,
// the badge count, a notification that another user's client raises, the
// toast, the preferences, and NURSE's shift choice narrowing her list.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/notifications/NotificationPreferences.h"
#include "Components/Controller/notifications/NotifyCenterAdapter.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraNotificationsClient.h"
#include "Components/Nembra/NembraRequest.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/ImageList.h"
#include "platform/Messages.h"
#include "platform/Threads.h"
#include "support/AppServerProcess.h"
#include "support/AppServerSignIn.h"
#include "support/DialogScript.h"
#include "support/EventLoopWait.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"

#include "Controller/LogLines.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

struct Db : TNotifyDatabase
{
    std::vector<TNotifyRow> Open(const std::string& SQL, const std::vector<Variant>&) override
    {
        opened.push_back(SQL);
        if (SQL.rfind("SELECT N.*", 0) == 0)
            return rows;
        if (SQL.rfind("SELECT * FROM TBL_NOTIFICATION_USER", 0) == 0)
            return {{{"EXCLUDE_RESOURCES", Variant("APP.B;")}, {"CAN_EDIT_PREFERENCES", Variant("T")}}};
        return {};
    }
    void Execute(const std::string& SQL) override { executed.push_back(SQL); }
    std::vector<int32_t> UserFacilities() override { return {}; }
    std::string UserID() const override { return "MANAGER"; }
    std::vector<TNotifyRow> rows;
    std::vector<std::string> opened;
    std::vector<std::string> executed;
};

TNotifyRow Row(int counter, const char* module = "Care")
{
    return {{"COUNTER", Variant(counter)},
            {"NOTIFICATION_TEXT", Variant("text " + std::to_string(counter))},
            {"MODULE_NAME", Variant(module)},
            {"RESOURCE_NAME", Variant("APP.A")},
            {"DEACTIVATE_ON_CLICK", Variant("T")}};
}

} // namespace

TEST(NotifyCenterAdapter, EachCallOfTheWindowLandsOnTheCenter)
{
    auto owned = std::make_unique<Db>();
    Db& db = *owned;
    TNotifyCenterAdapter center(std::move(owned), nullptr);
    TNotifyCenter& c = center.Center();
    center.Targets().Add("Alpha", 0, "APP.A");
    center.Targets().Add("Beta", 1, "APP.B");
    std::vector<std::string> events;
    center.OnNotifyUpdate = [&](TNotifications* Filter) {
        events.push_back("update");
        EXPECT_EQ(Filter, &c.Notifications());
        Filter->ResidentGroups = ";7;";
        return true;
    };
    int changes = 0;
    center.OnNotifyChanged = [&] { ++changes; };
    center.OnNotifyBounds = [] { return QRect(100, 49, 800, 500); };

    // The user's choice for the targets.
    center.LoadTargets();
    EXPECT_EQ(center.Targets().Blocked(), "APP.B;");
    EXPECT_TRUE(center.Targets().CanEditPreferences);

    // 1724 (0): refresh (the filter set first), then the toast armed.
    db.rows = {Row(1), Row(2)};
    center.Refresh();
    center.ArmToast();
    EXPECT_EQ(events, std::vector<std::string>{"update"});
    EXPECT_NE(c.Notifications().QueryText.find("InStr(';;7;;'"), std::string::npos) << "the groups in the text";
    EXPECT_EQ(center.NotificationCount(), 2);
    EXPECT_GT(changes, 0);
    EXPECT_FALSE(c.Popup()->Cycle().Running) << "the first refresh shows no toast";
    db.rows = {Row(1), Row(2), Row(3)};
    center.Refresh();
    EXPECT_TRUE(c.Popup()->Cycle().Running) << "armed: a new notification starts the toast";

    // 1724 (> 0): the item leaves the list; nothing is written.
    center.DropNotification(2);
    EXPECT_EQ(c.Notifications().FindItemIdx(2), -1);
    EXPECT_EQ(center.NotificationCount(), 2);
    EXPECT_TRUE(db.executed.empty());
    center.DropNotification(99); // not in the list: nothing

    // 1724 (< 0): the targets again, then a refresh.
    db.opened.clear();
    events.clear();
    center.UpdateTargets();
    ASSERT_EQ(db.opened.size(), 2u);
    EXPECT_EQ(db.opened[0].rfind("SELECT * FROM TBL_NOTIFICATION_USER", 0), 0u);
    EXPECT_EQ(db.opened[1].rfind("SELECT N.*", 0), 0u);
    EXPECT_EQ(events, std::vector<std::string>{"update"});

    // A click: the row is located first, the window gets it, then the
    // dismissal is written.
    std::vector<std::string> executedRows;
    center.OnNotifyExecute = [&](const TNotifyRow& Row, bool& Handled) {
        executedRows.push_back(NotifyField(Row, "MODULE_NAME") + "/" + NotifyField(Row, "COUNTER"));
        EXPECT_TRUE(Handled);
    };
    c.Control()->DoItemEvent(c.Notifications().FindItemIdx(3), TNotifyItemElement::elText);
    EXPECT_EQ(executedRows, std::vector<std::string>{"Care/3"});
    EXPECT_EQ(db.executed, std::vector<std::string>{"UPDATE TBL_NOTIFICATION SET ACTIVE = 'F' WHERE COUNTER = 3"});
    // Not handled: kept, nothing written.
    ASSERT_EQ(center.NotificationCount(), 2) << "2 came back with the refresh";
    center.OnNotifyExecute = [](const TNotifyRow&, bool& Handled) { Handled = false; };
    c.Control()->DoItemEvent(0, TNotifyItemElement::elText);
    EXPECT_EQ(center.NotificationCount(), 2);
    EXPECT_EQ(db.executed.size(), 1u);

    // The preferences: the window's event, then saved by the window.
    int setups = 0;
    center.OnNotifySetup = [&] { return ++setups, false; };
    center.Setup();
    EXPECT_EQ(setups, 1);
    center.Targets().CanEditPreferences = false;
    center.Setup();
    EXPECT_EQ(setups, 1) << "the user may not edit them";
    center.SaveTargets();
    EXPECT_EQ(db.executed.back().rfind("INSERT INTO TBL_NOTIFICATION_USER VALUES('MANAGER', 'APP.B;'", 0), 0u)
        << db.executed.back();

    center.SetAutoUpdate(600000);
    EXPECT_EQ(c.AutoUpdate(), 600000);

    // Shown: placed from the window's bounds, right-aligned, 300 wide.
    EXPECT_FALSE(center.Visible());
    center.ShowCenter();
    EXPECT_TRUE(center.Visible());
    EXPECT_EQ(c.geometry(), QRect(600, 49, 300, 500));
    center.OnNotifyBounds = [] { return QRect(0, 60, 700, 400); };
    center.AdjustBounds();
    EXPECT_EQ(c.geometry(), QRect(400, 60, 300, 400));
}

// A failed dismissal from the keyboard reaches the application's exception
// handler, not the event loop; the item stays.
TEST(NotifyCenterAdapter, AFailedDismissalGoesToTheExceptionHandler)
{
    struct Failing : Db
    {
        void Execute(const std::string&) override { throw Exception("ORA-03113: end-of-file on communication channel"); }
    };
    TNotifyCenterAdapter center(std::make_unique<Failing>(), nullptr);
    center.Targets().Add("Alpha", 0, "APP.A");
    std::vector<std::string> reported;
    const TBoundaryErrorHandler previous = GetBoundaryErrorHandler();
    SetBoundaryErrorHandler([&](const std::string& Where, const std::string& Message) {
        reported.push_back(Where + ": " + Message);
    });
    TNotifyCenter& c = center.Center();
    c.Notifications().NewItem("one", 1);
    c.Control()->Select(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(c.Control(), &del);
    SetBoundaryErrorHandler(previous);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_NE(reported[0].find("ORA-03113"), std::string::npos) << reported[0];
    EXPECT_EQ(center.NotificationCount(), 1);
}

namespace {

// MAPLE as the demo has it: MANAGER and NURSE, the modules Care and
// NOTIFICATIONS, whose menu rows name the sample applets. The data
// database's seed holds the notifications, employees, shifts and the
// users' preferences (MANAGER may edit them, NURSE not).
const char* const kMapleSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (60, 'PINE CARE', 'Pine Care', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (60, 'MAPLE', 'Maple Court', 60, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) VALUES
  (60, 'HOME MANAGER', 60, 60, 'T'), (61, 'NURSE', 60, 60, 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, FACILITY_ACCESS_FLAG) VALUES
  (60, 'MANAGER', 'manager', 'Helen Brooks', 'MGR', 60, 'A'), (61, 'NURSE', 'nurse', 'Tom Ward', 'USR', 60, 'I');
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (60, 60), (61, 61);
INSERT INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES
  (60, 'Care', 'Care'), (61, 'Office', 'Office'), (62, 'NOTIFICATIONS', 'Notifications');
INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (60, 60), (60, 61), (60, 62), (61, 60), (61, 61), (61, 62);
INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE) VALUES
  (600, 60, 0, 1, 'Sample Applet', 7001),
  (601, 62, 0, 1, 'Sample Applet', 7001);
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES (620, 'ICN_WIDGET_ALERT', 'icn_widget_alert.png');
INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE) VALUES
  (602, 62, 0, 2, 'Sample Widget', 7002, 620);
)";

// The picture of the Sample Widget target, which no module uses: one
// colour, so that a painted pixel tells whether it was drawn.
const QRgb kTargetIconColor = qRgb(0x12, 0xAB, 0x34);

class NotifyWindowTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 0;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        m_controller->Preferences().AutoDBLogin = false;
        m_window->OnCheckKernelUpdate = [] { return false; };
        m_window->ExecuteShiftInfo = [](TfrmShiftInfo&) { return int(QDialog::Rejected); };
        UseOnlyLocalServer(m_controller->Connections(), m_server.Port(), "Local");
        // The share "resources" of the server's file store.
        const std::filesystem::path share =
            std::filesystem::path(m_server.DatabaseFile()).parent_path() / "files" / "resources";
        std::filesystem::create_directories(share);
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(kTargetIconColor);
        ASSERT_TRUE(icon.save(QString::fromStdString((share / "icn_widget_alert.png").string()), "PNG"));
    }
    void TearDown() override
    {
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        std::filesystem::current_path(m_startFolder);
    }
    void SignInTo(const std::string& User, const std::string& Password)
    {
        m_window->ExecuteLoginDialog = [=](const TLoginCallback& callback) {
            return callback(nullptr, User, Password, "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());
        m_window->SetDBLogged(true);
        ASSERT_TRUE(m_window->DBLogged());
    }
    TNotifyCenterAdapter& Center()
    {
        auto* center = dynamic_cast<TNotifyCenterAdapter*>(m_window->NotifyCenter());
        EXPECT_NE(center, nullptr) << "the program's own center";
        return *center;
    }
    std::vector<int> Counters()
    {
        std::vector<int> c;
        TNotifications& list = Center().Center().Notifications();
        for (int i = 0; i < list.Count(); ++i)
            c.push_back(list[i]->Counter);
        std::sort(c.begin(), c.end());
        return c;
    }
    // SQL on the server's data database, as another client would run it.
    void DataSql(const std::string& SQL)
    {
        TNembraDatabase& data = m_window->dbData();
        data.ExecSQL(SQL);
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TAppServerProcess m_server{{}, kMapleSql};
    TTempFolder m_dir;
    TDialogScript m_dialogs;
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
};

} // namespace

TEST_F(NotifyWindowTest, AnotherUsersNotificationReachesTheManagersCenter)
{
    SignInTo("manager", "manager");
    ASSERT_NE(m_window->NotifyCenter(), nullptr);
    EXPECT_EQ(m_window->NotificationsModule(), 62);
    TNotifyCenter& center = Center().Center();
    TNotifyTargets& targets = center.Targets();
    ASSERT_EQ(targets.Count(), 2);
    EXPECT_EQ(targets[0]->Caption, "Sample Applet");
    EXPECT_EQ(targets[1]->Resource, "SAMPLE_WIDGET");
    EXPECT_TRUE(targets.CanEditPreferences) << "MANAGER's row says so";
    EXPECT_EQ(center.AutoUpdate(), 600000);

    // The first 1724 (0, 0): refreshed, everything seen, the toast armed.
    ASSERT_TRUE(RunEventsUntil([&] { return center.Popup()->Cycle().Armed; }));
    EXPECT_EQ(Counters(), (std::vector<int>{3, 4, 5})) << "today's, MANAGER's own and Oak Grove's";
    EXPECT_EQ(m_window->NotifyCount(), 3) << "the badge";
    EXPECT_FALSE(center.Popup()->Cycle().Running);

    // NURSE's client inserts a notification for MANAGER and tells the other
    // links; MANAGER's link posts 1724, the center refreshes, the toast
    // shows it.
    ASSERT_TRUE(RunEventsUntil([&] { return m_controller->VNSConnected(); }));
    DataSql("INSERT INTO TBL_NOTIFICATION (COUNTER, NOTIFICATION_DATE, NOTIFICATION_TEXT, MODULE_NAME, RESOURCE_NAME, "
            "TO_USER_ID) VALUES (40, TO_DATE('" +
            NotifySQL::DateText(Now() - 1.0 / 1440) +
            "', 'YYYY-MM-DD HH24:MI:SS'), 'Room 4 asks for you', 'Care', 'SAMPLE_APPLET', 'MANAGER')");
    TNembraNotificationsClient nurse;
    nurse.SetHost("127.0.0.1");
    nurse.SetPort(std::to_string(m_server.NotifyPort()));
    nurse.SetKeyTokenName("id");
    nurse.SetKeyToken(SignInSession(m_server, "NURSE", "nurse"));
    nurse.SetConnected(true);
    ASSERT_TRUE(RunEventsUntil([&] { return nurse.Opened(); }));
    nurse.SendNotification("$UPDATENOTIFICATIONS", "", "");
    ASSERT_TRUE(RunEventsUntil([&] { return m_window->NotifyCount() == 4; }));
    EXPECT_TRUE(center.Popup()->Cycle().Running);
    center.Popup()->Tick();
    EXPECT_TRUE(center.Popup()->isVisible());
    EXPECT_EQ(center.Popup()->Cycle().Shown.Text, "Room 4 asks for you");

    // F12: the center drops down, the toast closes on its item.
    m_window->NotifyItem()->trigger();
    EXPECT_TRUE(center.isVisible());
    EXPECT_FALSE(center.Popup()->isVisible());
    const int selected = center.Control()->State().Selected;
    ASSERT_GE(selected, 0);
    EXPECT_EQ(center.Notifications()[selected]->Counter, 40);

    // 1724 with a counter: gone from the list, still active on the server.
    SendMessage(m_window->Handle(), WM_NOTIFICATION, 0, 40);
    EXPECT_EQ(Counters(), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(m_window->NotifyCount(), 3);
    TovnOndrelQuery active;
    active.SetDatabaseName("DATA");
    active.SetUseSQL(true);
    active.SQL().SetText("SELECT ACTIVE FROM TBL_NOTIFICATION WHERE COUNTER = 40");
    active.Open();
    EXPECT_EQ(active.FieldByName("ACTIVE")->AsString(), "T");
    active.Close();

    // "Notifications Preferences...": Sample Widget unchecked, saved, and
    // its notifications (3, 5) no longer show.
    auto answered = std::make_shared<bool>(false);
    QTimer::singleShot(0, [answered] {
        auto* dialog = dynamic_cast<TfrmNotificationPreferences*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        *answered = true;
        dialog->List()->Toggle(1);
        dialog->accept();
    });
    m_window->actUIUpdate();
    ASSERT_TRUE(m_window->Action(actNotificationPreferences)->isEnabled());
    m_window->Action(actNotificationPreferences)->trigger();
    EXPECT_TRUE(*answered);
    EXPECT_EQ(targets.Blocked(), "SAMPLE_WIDGET;");
    EXPECT_EQ(Counters(), (std::vector<int>{4, 40}));

    // 1724 (< 0): the targets again from the server (here unblocked there).
    DataSql("UPDATE TBL_NOTIFICATION_USER SET EXCLUDE_RESOURCES = NULL WHERE USER_ID = 'MANAGER'");
    SendMessage(m_window->Handle(), WM_NOTIFICATION, 0, -1);
    EXPECT_EQ(targets.Blocked(), "");
    EXPECT_EQ(Counters(), (std::vector<int>{3, 4, 5, 40}));

    // Message 71: placed again under the toolbar, at the window's right.
    m_window->resize(1000, 700);
    SendMessage(m_window->Handle(), WM_WINDOWPOSCHANGED, 0, 0);
    const QRect bounds = m_window->DoNotifyFormBounds();
    EXPECT_EQ(center.geometry(), QRect(bounds.right() + 1 - 300, bounds.top(), 300, bounds.height()));

    m_window->SetDBLogged(false);
    EXPECT_EQ(m_window->NotifyCenter(), nullptr);
}

TEST_F(NotifyWindowTest, NursesShiftChoiceNarrowsHerNotifications)
{
    // The sign-in asks NURSE for her shift: the home's shifts, her day
    // shift's groups; she keeps group 2 only.
    std::vector<std::string> seen;
    m_window->ExecuteShiftInfo = [&](TfrmShiftInfo& Dialog) {
        seen.push_back(Dialog.edtFacility->text().toStdString());
        seen.push_back(Dialog.edtEmployee->text().toStdString());
        seen.push_back(Dialog.cbShift->currentText().toStdString());
        Dialog.rbSelected->setChecked(true);
        Dialog.SetSelectedResidentGroups(";2;");
        return int(QDialog::Accepted);
    };
    SignInTo("nurse", "nurse");
    EXPECT_EQ(seen, (std::vector<std::string>{"[OAK] Oak Grove Care Home", "Tom Ward", "Day [07:00 AM - 03:00 PM]"}));
    EXPECT_EQ(m_window->ShiftCounter(), 1);
    EXPECT_EQ(m_window->ShiftText(), "Day [07:00 AM - 03:00 PM]");
    EXPECT_EQ(m_window->ResidentGroups(), ";2;");
    ASSERT_NE(m_window->NotifyCenter(), nullptr);
    TNotifyCenter& center = Center().Center();
    EXPECT_FALSE(center.Targets().CanEditPreferences) << "NURSE's row says so";
    m_window->actUIUpdate();
    EXPECT_FALSE(m_window->Action(actNotificationPreferences)->isEnabled());
    ASSERT_TRUE(RunEventsUntil([&] { return center.Popup()->Cycle().Armed; }));
    // Agnes Miller's notification (6) is for group 1's resident.
    EXPECT_EQ(Counters(), (std::vector<int>{3}));

    // The status bar's double click: all residents now; the center follows.
    m_window->ExecuteShiftInfo = [&](TfrmShiftInfo& Dialog) {
        EXPECT_TRUE(Dialog.rbSelected->isChecked()) << "the groups chosen before";
        EXPECT_EQ(Dialog.GetSelectedResidentGroups(), ";2;");
        Dialog.rbAll->setChecked(true);
        return int(QDialog::Accepted);
    };
    m_window->ShiftInfoExec();
    EXPECT_EQ(m_window->ResidentGroups(), "");
    EXPECT_EQ(Counters(), (std::vector<int>{3, 6}));

    // Cancel changes nothing.
    m_window->ExecuteShiftInfo = [&](TfrmShiftInfo& Dialog) {
        Dialog.cbShift->setCurrentIndex(2);
        return int(QDialog::Rejected);
    };
    m_window->ShiftInfoExec();
    EXPECT_EQ(m_window->ShiftCounter(), 1);
}

namespace {

// A notification for MANAGER, a minute old, as another client writes it.
std::string NotificationInsert(int Counter, const char* Text, const char* Module, const char* Resource)
{
    return "INSERT INTO TBL_NOTIFICATION (COUNTER, NOTIFICATION_DATE, NOTIFICATION_TEXT, MODULE_NAME, RESOURCE_NAME, "
           "TO_USER_ID) VALUES (" +
           std::to_string(Counter) + ", TO_DATE('" + NotifySQL::DateText(Now() - 1.0 / 1440) +
           "', 'YYYY-MM-DD HH24:MI:SS'), '" + Text + "', '" + Module + "', '" + Resource + "', 'MANAGER')";
}

} // namespace

// The first toast after the sign-in, with the window never moved or resized
// and the center never opened: it hangs under the 49-pixel toolbar at the
// window's right edge, 300 wide; when the window then grows, the toast
// still showing follows the right edge.
TEST_F(NotifyWindowTest, TheFirstToastHangsUnderTheToolbarAtTheWindowsRight)
{
    SignInTo("manager", "manager");
    TNotifyCenter& center = Center().Center();
    ASSERT_TRUE(RunEventsUntil([&] { return center.Popup()->Cycle().Armed; }));
    DataSql(NotificationInsert(41, "Room 7 asks for you", "Care", "SAMPLE_APPLET"));
    SendMessage(m_window->Handle(), WM_NOTIFICATION, 0, 0);
    ASSERT_TRUE(center.Popup()->Cycle().Running);
    center.Popup()->Tick();
    TNotifyPopup& toast = *center.Popup();
    ASSERT_TRUE(toast.isVisible());
    EXPECT_EQ(toast.Cycle().Shown.Text, "Room 7 asks for you");
    EXPECT_FALSE(center.isVisible());

    QPoint origin = m_window->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(toast.geometry().topLeft(), QPoint(origin.x() + m_window->width() - 300, origin.y() + 49));
    EXPECT_EQ(toast.width(), 300);
    EXPECT_EQ(toast.height(), toast.Cycle().Shown.Height + 36);

    m_window->resize(m_window->width() + 120, m_window->height() + 40);
    SendMessage(m_window->Handle(), WM_WINDOWPOSCHANGED, 0, 0);
    origin = m_window->mapToGlobal(QPoint(0, 0));
    EXPECT_TRUE(toast.isVisible());
    EXPECT_EQ(toast.geometry().topLeft(), QPoint(origin.x() + m_window->width() - 300, origin.y() + 49));
    EXPECT_EQ(toast.height(), toast.Cycle().Shown.Height + 36) << "the toast keeps its own height";
    EXPECT_FALSE(center.isVisible()) << "placing the center does not show it";
}

// A target's picture, which no module uses and which the sign-in adds to
// the icon list after the center was made, is drawn beside its
// notifications in the list and in the toast.
TEST_F(NotifyWindowTest, ATargetsOwnPictureIsDrawnInTheListAndTheToast)
{
    SignInTo("manager", "manager");
    TNotifyCenter& center = Center().Center();
    TNotifyTargets& targets = center.Targets();
    ASSERT_EQ(targets.Count(), 2);
    ASSERT_GE(targets[1]->ImageIndex, 0) << "the Sample Widget's picture was loaded";
    ASSERT_TRUE(RunEventsUntil([&] { return center.Popup()->Cycle().Armed; }));

    DataSql(NotificationInsert(42, "The widget needs you", "Office", "SAMPLE_WIDGET"));
    SendMessage(m_window->Handle(), WM_NOTIFICATION, 0, 0);
    TNotifications& list = center.Notifications();
    const int index = list.FindItemIdx(42);
    ASSERT_GE(index, 0);
    EXPECT_EQ(list[index]->ImageIndex, targets[1]->ImageIndex);

    // The toast: the picture at (8, 34 + 8) of its item, 2 pixels in.
    TNotifyPopup& toast = *center.Popup();
    toast.Tick();
    ASSERT_TRUE(toast.isVisible());
    ASSERT_EQ(toast.Cycle().Shown.Counter, 42);
    const QImage popup = toast.grab().toImage();
    EXPECT_EQ(popup.pixel(2 + 8 + 16, 34 + 8 + 16), kTargetIconColor);

    // The list: the picture at (8, the item's top + 8).
    m_window->NotifyItem()->trigger();
    ASSERT_TRUE(center.isVisible());
    TNotifyControl& control = *center.Control();
    control.Select(index);
    const int top = list[index]->Top - control.State().Offset;
    const QImage painted = control.grab().toImage();
    EXPECT_EQ(painted.pixel(8 + 16, top + 8 + 16), kTargetIconColor);
}

// Whatever fails while the employee loads (here an error of no class of
// the system's), the database sign-in goes on: the error is logged, the
// notifications stay off for this database and the user keeps the full
// name.
TEST_F(NotifyWindowTest, AnyFailureOfTheEmployeeLoadTurnsNotificationsOffAndTheSignInGoesOn)
{
    TLogLines log;
    int failures = 0;
    m_window->conMAIN().OnExecute = [&](TObject*, TNembraRequest* Request) {
        if (failures == 0 && Request->Params().Text().find("FROM TBL_EMPLOYEE E JOIN") != std::string::npos) {
            ++failures;
            throw std::runtime_error("employee reply unreadable");
        }
    };
    SignInTo("manager", "manager");
    m_window->conMAIN().OnExecute = nullptr;
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->NotificationsModule(), -1);
    EXPECT_EQ(m_window->NotifyCenter(), nullptr);
    EXPECT_EQ(m_window->EmployeeCounter(), 0);
    EXPECT_EQ(m_window->EmployeeName(), "Helen Brooks");
    EXPECT_TRUE(log.Has("ERROR|employee reply unreadable|BROWSER"));
    m_window->actUIUpdate();
    EXPECT_FALSE(m_window->NotifyItem()->isVisible());
}

// "&Shift Information..." of the Session menu (brand 0) opens the shift
// choice; a shift whose begin time the home left NULL reads as no time,
// one ending at midnight as 12:00 AM. The choice taken is the window's.
TEST_F(NotifyWindowTest, TheShiftInformationActionOffersTheHomesShifts)
{
    SignInTo("manager", "manager");
    ASSERT_TRUE(m_window->ShiftSelectionEnabled()) << "the seed's MANAGER is an employee of Oak Grove";
    DataSql("UPDATE TBL_DAYSHIFT SET BEGIN_TIME = NULL WHERE COUNTER = 3");
    DataSql("UPDATE TBL_DAYSHIFT SET END_TIME = TO_DATE('1899-12-30 00:00:00', 'YYYY-MM-DD HH24:MI:SS') "
            "WHERE COUNTER = 2");
    std::vector<std::string> entries;
    m_window->ExecuteShiftInfo = [&](TfrmShiftInfo& Dialog) {
        for (int i = 0; i < Dialog.cbShift->count(); ++i)
            entries.push_back(Dialog.cbShift->itemText(i).toStdString());
        Dialog.cbShift->setCurrentIndex(Dialog.cbShift->findData(3));
        return int(QDialog::Accepted);
    };
    m_window->actUIUpdate();
    QAction* action = m_window->Action(actShiftInfo);
    EXPECT_EQ(action->text().toStdString(), "&Shift Information...");
    EXPECT_TRUE(action->isVisible());
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"Day [07:00 AM - 03:00 PM]", "Evening [03:00 PM - 12:00 AM]",
                                                 "Night [ - 07:00 AM]"}));
    EXPECT_EQ(m_window->ShiftCounter(), 3);
    EXPECT_EQ(m_window->ShiftText(), "Night [ - 07:00 AM]");
}
