// The main window's session messages: the idle check and its logout
// countdown, new mail with the mail button's badge and the toast, the
// notification center's seam (with a center that records what it is asked),
// and the ad panels' events. Signed-in cases run against the local
// application server.
#include "Components/Controller/mail/MailPopup.h"
#include "Components/Controller/mainwindow/LogoutConfirmForm.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/ToolbarBadgeItem.h"
#include "Components/Controller/notifications/NotifyCenterIntf.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/web/WebAds.h"
#include "Components/Controller/web/ovnAdController.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "base/KldLogFile.h"
#include "platform/FileUtils.h"
#include "platform/IniFiles.h"
#include "platform/Messages.h"
#include "platform/StatusBar.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/EventLoopWait.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"
#include "ui/KldModuleView.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <filesystem>
#include <limits>

#include <gtest/gtest.h>

namespace {

// MAPLE: the nurse's database with the modules Care, Office and
// NOTIFICATIONS; two applets of NOTIFICATIONS may raise notifications. AIDE
// has Care alone.
// ADMIN is the seed's "SYS" user. The session lasts 15 idle minutes.
const char* const kSessionSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (60, 'PINE CARE', 'Pine Care', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (60, 'MAPLE', 'Maple Court', 60, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, SECURITY, CURRENT_USE) VALUES
  (60, 'NURSE', 60, 60, X'01FF0002', 'T'), (61, 'AIDE', 60, 60, X'01FF0002', 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, ADVERTISE, ADSTATE, ADZIP,
                       INDUSTRY) VALUES
  (60, 'NURSE', 'nurse', 'Tom Ward', 'USR', 60, 'F', 'OR', '97201', 'Nursing Home'),
  (61, 'AIDE', 'aide', 'Ann Reed', 'USR', 60, 'F', 'OR', '97201', 'Nursing Home');
UPDATE TBL_USERS SET USER_PASSWORD = 'admin' WHERE USER_ID = 'ADMIN';
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (60, 60), (61, 61);
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES
  (600, 'ICN_CARE', 'icn_care.png'), (601, 'ICN_OFFICE', 'icn_office.png'), (602, 'CARE_FORM', 'care_form.so'),
  (603, 'FALL_ALERT', 'fall_alert.so'), (604, 'MEDS_DUE', 'meds_due.so');
INSERT INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES
  (60, 'Care', 'Care'), (61, 'Office', 'Office'), (62, 'NOTIFICATIONS', 'Notifications');
INSERT INTO SRV_MODULE_RESOURCES (C_MODULE, C_RESOURCE) VALUES (60, 600), (61, 601);
INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (60, 60), (60, 61), (60, 62), (61, 60);
INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE) VALUES
  (600, 60, 0, 1, 'Care plan', 602, 600),
  (601, 62, 0, 1, 'Falls', 603, NULL),
  (602, 62, 0, 2, 'Medication due', 604, NULL);
INSERT OR REPLACE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('MAX_IDLE_TIME', '15');
)";

// A center that keeps a line of what it was asked.
struct TRecordingCenter : INotifyCenter
{
    // The lines outlive the test's registration: the window frees its
    // center only when it goes.
    explicit TRecordingCenter(std::shared_ptr<std::vector<std::string>> Lines) : Lines(Lines), Calls(*Lines) {}
    ~TRecordingCenter() override { Calls.push_back("freed"); }
    void SetPictures(const TCustomImageList&) override { Calls.push_back("pictures"); }
    TNotifyTargets& Targets() override { return TargetList; }
    void LoadTargets() override { Calls.push_back("load targets"); }
    void UpdateTargets() override { Calls.push_back("update targets"); }
    void SaveTargets() override { Calls.push_back("save targets"); }
    void Refresh() override
    {
        Calls.push_back("refresh");
        if (OnNotifyUpdate)
            OnNotifyUpdate(&Filter);
    }
    void ArmToast() override { Calls.push_back("arm toast"); }
    void SetAutoUpdate(int32_t Milliseconds) override { Calls.push_back("auto " + std::to_string(Milliseconds)); }
    void DropNotification(int32_t Counter) override { Calls.push_back("drop " + std::to_string(Counter)); }
    int32_t NotificationCount() const override { return Count; }
    bool Visible() const override { return Shown; }
    void AdjustBounds() override
    {
        Calls.push_back("adjust");
        if (OnNotifyBounds)
            Bounds = OnNotifyBounds();
    }
    void ShowCenter() override
    {
        Calls.push_back("show");
        Shown = true;
    }
    void Setup() override { Calls.push_back("setup"); }

    std::shared_ptr<std::vector<std::string>> Lines;
    std::vector<std::string>& Calls;
    TNotifyTargets TargetList;
    TNotifications Filter;
    int32_t Count = 0;
    bool Shown = false;
    QRect Bounds;
};

// Registers a recording center for the test's life.
class TCenterRegistration
{
  public:
    TCenterRegistration()
    {
        m_previous = RegisterNotifyCenterFactory([this](TfrmOrvaneBrowser4&) {
            auto center = std::make_unique<TRecordingCenter>(m_lines);
            Last = center.get();
            return center;
        });
    }
    ~TCenterRegistration() { RegisterNotifyCenterFactory(std::move(m_previous)); }

  private:
    std::shared_ptr<std::vector<std::string>> m_lines = std::make_shared<std::vector<std::string>>();

  public:
    std::vector<std::string>& Calls = *m_lines;
    TRecordingCenter* Last = nullptr;

  private:
    TNotifyCenterFactory m_previous;
};

class SessionTest : public ::testing::Test
{
  protected:
    // The server's switches of the fixture.
    virtual std::vector<std::string> ServerArgs() const { return {}; }
    virtual std::string ServerSql() const { return kSessionSql; }
    void SetUp() override
    {
        m_server = std::make_unique<TAppServerProcess>(ServerArgs(), ServerSql());
        ovnSetDataPath(m_dir.Path());
        AppBrand = 0;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        m_controller->Preferences().AutoDBLogin = false;
        m_window->OnCheckKernelUpdate = [] { return false; };
        // The window took its first input stamp from the real clock; the
        // test clock goes on from there, whatever the machine's uptime.
        m_now = m_window->LastInputTick();
        m_window->TickCount = [this] { return m_now; };
        // NURSE must choose a shift at the database sign-in; these tests
        // leave the dialog unanswered.
        m_window->ExecuteShiftInfo = [](TfrmShiftInfo&) { return int(QDialog::Rejected); };
        UseOnlyLocalServer(m_controller->Connections(), m_server->Port(), "Local");
    }
    void TearDown() override
    {
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        std::filesystem::current_path(m_startFolder);
    }
    // Signs in; later sign-in dialogs only leave a line in Events.
    void LogInAs(const std::string& User, const std::string& Password)
    {
        m_window->ExecuteLoginDialog = [=](const TLoginCallback& callback) {
            return callback(nullptr, User, Password, "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());
        m_window->ExecuteLoginDialog = [this](const TLoginCallback&) {
            Events.push_back("sign-in dialog");
            return false;
        };
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    std::unique_ptr<TAppServerProcess> m_server;
    TTempFolder m_dir;
    TDialogScript m_dialogs;
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
    uint64_t m_now = 1000000;
    std::vector<std::string> Events;
};

const std::string kInactive15At60 =
    "You have been inactive for 15 minutes.\r\nFor your security your session will be terminated within 60 "
    "seconds.\r\nWould you like to continue your current session?";

} // namespace

// ---------------------------------------------------------------------------
// Idle check and the countdown

TEST_F(SessionTest, TheIdleCheckRunsWhileSignedInButNotForTheSystemManager)
{
    EXPECT_FALSE(m_window->CheckUserAwayActive()) << "off until the sign-in";
    EXPECT_EQ(m_window->tmrCheckUserAway().Interval(), 30000u);
    LogInAs("nurse", "nurse");
    EXPECT_EQ(m_window->MaxIdleTime(), 15);
    EXPECT_TRUE(m_window->CheckUserAwayActive());
    m_window->SetLogged(false);
    EXPECT_FALSE(m_window->CheckUserAwayActive()) << "off at log-off";

    LogInAs("admin", "admin");
    EXPECT_FALSE(m_window->CheckUserAwayActive()) << "no idle check for SYS";
}

TEST_F(SessionTest, KeysAndMouseButtonsStampTheLastInput)
{
    QWidget& target = m_window->StatusBar();
    struct TCase
    {
        const char* Desc;
        std::function<void()> Send;
        bool Stamps;
    };
    const TCase cases[] = {
        {"key press",
         [&] {
             QKeyEvent e(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
             QApplication::sendEvent(&target, &e);
         },
         true},
        {"key release",
         [&] {
             QKeyEvent e(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
             QApplication::sendEvent(&target, &e);
         },
         false},
        {"left press",
         [&] {
             QMouseEvent e(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::LeftButton,
                           Qt::NoModifier);
             QApplication::sendEvent(&target, &e);
         },
         true},
        {"right press",
         [&] {
             QMouseEvent e(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::RightButton, Qt::RightButton,
                           Qt::NoModifier);
             QApplication::sendEvent(&target, &e);
         },
         true},
        {"middle press",
         [&] {
             QMouseEvent e(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::MiddleButton,
                           Qt::MiddleButton, Qt::NoModifier);
             QApplication::sendEvent(&target, &e);
         },
         true},
        {"mouse move",
         [&] {
             QMouseEvent e(QEvent::MouseMove, QPointF(4, 4), QPointF(4, 4), Qt::NoButton, Qt::NoButton,
                           Qt::NoModifier);
             QApplication::sendEvent(&target, &e);
         },
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        const uint64_t before = m_window->LastInputTick();
        m_now += 5000;
        c.Send();
        EXPECT_EQ(m_window->LastInputTick(), c.Stamps ? m_now : before);
    }
}

TEST_F(SessionTest, TheCountdownAfterFifteenIdleMinutesAndYesKeepsTheSession)
{
    LogInAs("nurse", "nurse");
    std::vector<std::string> texts;
    int shown = 0;
    m_window->ExecuteLogoutConfirm = [&](TLogoutConfirmForm& Form) {
        ++shown;
        EXPECT_FALSE(m_window->CheckUserAwayActive()) << "off while the countdown shows";
        EXPECT_EQ(Form.Minutes(), 15);
        texts.push_back(Form.Text());
        Form.Tick();
        Form.Tick();
        texts.push_back(Form.Text());
        Form.btnYes()->click();
        return Form.ModalResult();
    };
    const uint64_t start = m_window->LastInputTick();
    m_now = start + 15 * 60000 - 1;
    m_window->CheckUserAway();
    EXPECT_EQ(shown, 0) << "a millisecond short of 15 minutes";
    m_now = start + 15 * 60000;
    m_window->CheckUserAway();
    ASSERT_EQ(shown, 1);
    EXPECT_EQ(texts[0], kInactive15At60);
    EXPECT_NE(texts[1].find("terminated within 59 seconds."), std::string::npos) << texts[1];
    EXPECT_TRUE(m_window->CheckUserAwayActive()) << "Yes arms the idle check again";
    EXPECT_EQ(m_window->LastInputTick(), m_now) << "the idle time counts from the answer";
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(m_window->Logged());
    EXPECT_TRUE(Events.empty());
    m_window->CheckUserAway();
    EXPECT_EQ(shown, 1);
}

TEST_F(SessionTest, TheCountdownLeftAloneLogsOffThenSignInThenTheInactivityMessage)
{
    LogInAs("nurse", "nurse");
    std::vector<std::string> texts;
    bool visibleAt60 = false;
    m_window->ExecuteLogoutConfirm = [&](TLogoutConfirmForm& Form) {
        // Each tick is one second of the 1000 ms timer.
        for (int second = 1; second <= 61; ++second) {
            Form.Tick();
            if (second == 60)
                visibleAt60 = Form.ModalResult() == mrNone;
        }
        texts.push_back(Form.Text());
        return Form.ModalResult();
    };
    m_dialogs->QueueAnswer(mrOk);
    m_now += 15 * 60000;
    m_window->CheckUserAway();
    EXPECT_TRUE(visibleAt60) << "still open at 60 seconds";
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("within 1 seconds."), std::string::npos) << "the last number shown";
    EXPECT_FALSE(m_window->CheckUserAwayActive());
    ASSERT_TRUE(RunEventsUntil([&] { return !m_dialogs->Calls().empty(); }));
    EXPECT_FALSE(m_window->Logged());
    Events.push_back("message: " + m_dialogs->Calls()[0].Text);
    EXPECT_EQ(Events, (std::vector<std::string>{"sign-in dialog",
                                                "message: Your session was terminated due to inactivity."}));
}

TEST_F(SessionTest, NoEndsTheSessionToo)
{
    LogInAs("nurse", "nurse");
    m_window->ExecuteLogoutConfirm = [&](TLogoutConfirmForm& Form) {
        Form.btnNo()->click();
        return Form.ModalResult();
    };
    m_dialogs->QueueAnswer(mrOk);
    m_now += 16 * 60000;
    m_window->CheckUserAway();
    EXPECT_FALSE(m_window->CheckUserAwayActive());
    ASSERT_TRUE(RunEventsUntil([&] { return !m_dialogs->Calls().empty(); }));
    EXPECT_FALSE(m_window->Logged());
    EXPECT_EQ(Events, std::vector<std::string>{"sign-in dialog"});
    EXPECT_EQ(m_dialogs->Calls()[0].Text, "Your session was terminated due to inactivity.");
}

TEST_F(SessionTest, ACountdownThatFailsToShowArmsTheIdleCheckAgain)
{
    LogInAs("nurse", "nurse");
    m_window->ExecuteLogoutConfirm = [](TLogoutConfirmForm&) -> int { throw Exception("no screen"); };
    m_now += 15 * 60000;
    EXPECT_THROW(m_window->CheckUserAway(), Exception);
    EXPECT_TRUE(m_window->CheckUserAwayActive());
    EXPECT_TRUE(m_window->Logged());
}

// Idle minutes whose milliseconds pass 32 bits (40,000 minutes).
class LongIdleTest : public SessionTest
{
  protected:
    std::string ServerSql() const override
    {
        return std::string(kSessionSql) +
               "INSERT OR REPLACE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('MAX_IDLE_TIME', '40000');";
    }
};

TEST_F(LongIdleTest, TheIdleLimitIsCountedIn64Bits)
{
    LogInAs("nurse", "nurse");
    ASSERT_EQ(m_window->MaxIdleTime(), 40000);
    int shown = 0;
    m_window->ExecuteLogoutConfirm = [&](TLogoutConfirmForm& Form) {
        ++shown;
        return int(mrYes);
    };
    const uint64_t start = m_window->LastInputTick();
    m_now = start + 30 * 60000;
    m_window->CheckUserAway();
    EXPECT_EQ(shown, 0) << "half an hour is not 40,000 minutes";
    m_now = start + uint64_t(40000) * 60000;
    m_window->CheckUserAway();
    EXPECT_EQ(shown, 1);
}

namespace {

// Answers every box with OK once the test clock has gone on by Takes ms: a
// question the user took that long over.
class TSlowAnswers : public TScriptedDialogs
{
  public:
    TSlowAnswers(uint64_t& Now, uint64_t Takes) : m_now(Now), m_takes(Takes) {}
    int MessageDlg(const std::string& Text, TMsgDlgType Type, const TMsgDlgButtons& Buttons, int HelpCtx) override
    {
        m_now += m_takes;
        QueueAnswer(mrOk);
        return TScriptedDialogs::MessageDlg(Text, Type, Buttons, HelpCtx);
    }

  private:
    uint64_t& m_now;
    uint64_t m_takes;
};

} // namespace

// The end of a session (1323) runs at most once per 10 seconds of the idle
// check's clock, counted from the end of the last one.
TEST_F(SessionTest, TheSessionEndRunsAtMostOncePerTenSecondsOfTheIdleClock)
{
    const auto endSession = [&] {
        const size_t before = Events.size();
        m_dialogs->QueueAnswer(mrOk);
        SendMessage(m_window->Handle(), WM_AUTOLOGOUT, 0, 0);
        if (!m_window->Logged()) { // the sign-in opens again
            EXPECT_TRUE(RunEventsUntil([&] { return Events.size() > before; }));
        }
    };
    struct TCase
    {
        const char* Desc;
        uint64_t After; // ms from the end of the first to the second
        bool SecondEnds;
    };
    const TCase cases[] = {
        {"at once", 0, false},
        {"10000 ms later", 10000, false},
        {"10001 ms later", 10001, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        m_now += 60000; // nothing guarded from the case before
        LogInAs("nurse", "nurse");
        endSession();
        ASSERT_FALSE(m_window->Logged());
        LogInAs("nurse", "nurse");
        m_now += c.After;
        endSession();
        EXPECT_EQ(m_window->Logged(), !c.SecondEnds);
    }

    // The question of the first end took five seconds: the guard counts from
    // its answer, not from the message.
    m_now += 60000;
    LogInAs("nurse", "nurse");
    {
        std::unique_ptr<IDialogService> script = SetDialogService(std::make_unique<TSlowAnswers>(m_now, 5000));
        const size_t before = Events.size();
        SendMessage(m_window->Handle(), WM_AUTOLOGOUT, 0, 0);
        ASSERT_FALSE(m_window->Logged());
        EXPECT_TRUE(RunEventsUntil([&] { return Events.size() > before; }));
        SetDialogService(std::move(script));
    }
    LogInAs("nurse", "nurse");
    m_now += 10000;
    endSession();
    EXPECT_TRUE(m_window->Logged()) << "10000 ms after the answer";
    m_now += 1;
    endSession();
    EXPECT_FALSE(m_window->Logged()) << "10001 ms after the answer";
}

TEST_F(SessionTest, TheLogoutFormsLayoutAndKeys)
{
    TLogoutConfirmForm form(m_window, 20);
    EXPECT_EQ(form.windowTitle().toStdString(), "Terminate Session");
    EXPECT_EQ(form.size(), QSize(470, 150));
    EXPECT_EQ(form.font().family().toStdString(), "Tahoma");
    EXPECT_EQ(form.font().pointSize(), 10);
    EXPECT_EQ(form.btnYes()->text().toStdString(), "&Yes");
    EXPECT_EQ(form.btnNo()->text().toStdString(), "&No");
    EXPECT_EQ(form.btnYes()->size(), QSize(70, 23));
    EXPECT_EQ(form.btnNo()->size(), QSize(70, 23));
    // Inside the border of 4: the client is 462 x 142, its centre at 235.
    EXPECT_EQ(form.btnYes()->geometry().right() + 1, 235 - 8);
    EXPECT_EQ(form.btnNo()->x(), 235 + 8);
    EXPECT_EQ(form.btnYes()->geometry().bottom() + 1, 150 - 4 - 8);
    EXPECT_EQ(form.Icon()->pos(), QPoint(14, 14));
    EXPECT_EQ(form.Label()->geometry(), QRect(50, 14, 462 - 50, 100));
    EXPECT_TRUE(form.Label()->wordWrap());
    EXPECT_TRUE(form.btnYes()->isDefault());
    EXPECT_EQ(form.Timer().Interval(), 1000u);
    EXPECT_TRUE(form.Timer().Enabled());

    // Escape answers Yes, and nothing is posted.
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        TLogoutConfirmForm keyed(m_window, 20);
        bool answered = false;
        QTimer::singleShot(0, &keyed, [&] {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(keyed.focusWidget() ? keyed.focusWidget() : &keyed, &press);
            answered = true;
        });
        EXPECT_EQ(keyed.ShowModal(), mrYes) << key;
        EXPECT_TRUE(answered);
    }
    RunEventsFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(m_dialogs->Calls().empty()) << "a Yes ends no session";
}

// ---------------------------------------------------------------------------
// Server time

class ServerTimeAsTextTest : public SessionTest
{
  protected:
    std::vector<std::string> ServerArgs() const override { return {"--server-time-as-text"}; }
};

TEST_F(ServerTimeAsTextTest, AServerTimeThatIsNoNumberLeavesTheOffsetUnknown)
{
    LogInAs("nurse", "nurse");
    // Read as 0 the text would put the server's clock in 1899.
    EXPECT_FALSE(m_window->ServerTimeKnown());
    EXPECT_LT(std::abs(m_window->SysDateTime() - Now()), 5.0 / 86400) << "the local clock";
    EXPECT_FALSE(m_window->ServerTimeKnown()) << "asked again next time";
    EXPECT_NE(ReadText(Log.FileName()).find("The server sent no SERVER_TIME_DOUBLE"), std::string::npos);
}

// ---------------------------------------------------------------------------
// New mail

TEST(UnreadMail, TheCounterAfterANewMailMessage)
{
    constexpr int32_t Max = std::numeric_limits<int32_t>::max();
    struct TCase
    {
        const char* Desc;
        int32_t Counter;
        WPARAM WParam;
        LPARAM LParam;
        int32_t Expected;
    };
    const TCase cases[] = {
        {"one more", 0, 0, 0, 1},
        {"wParam more", 2, 3, 0, 5},
        {"the exact count", 7, 5, 1, 5},
        {"the exact count of none", 7, 0, 1, 0},
        {"stops at the largest value", Max - 1, 5, 0, Max},
        {"never wraps", Max, 0, 0, Max},
        {"an exact count too large for the counter", 0, WPARAM(1) << 40, 1, Max},
        {"more than the counter holds", 3, WPARAM(1) << 40, 0, Max},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(NextUnreadMailCount(c.Counter, c.WParam, c.LParam), c.Expected);
    }
}

TEST(MailPopup, CaptionsAndTheFade)
{
    EXPECT_EQ(MailPopupCaption(1), "You have an unread message.");
    EXPECT_EQ(MailPopupCaption(0), "You have an unread message.");
    EXPECT_EQ(MailPopupCaption(2), "You have 2 unread messages.");

    TMailPopupCycle cycle;
    std::vector<int32_t> alphas;
    int ticks = 0;
    while (cycle.Step()) {
        ++ticks;
        alphas.push_back(cycle.Alpha);
        ASSERT_LT(ticks, 100);
    }
    // Opaque at 240 for four seconds, then 190, 140, 90 and the close.
    ASSERT_EQ(ticks, 44);
    EXPECT_EQ(alphas[0], 240);
    EXPECT_EQ(alphas[40], 240);
    EXPECT_EQ(std::vector<int32_t>(alphas.begin() + 41, alphas.end()), (std::vector<int32_t>{190, 140, 90}));
}

TEST(MailPopup, PaintsTheBubbleAndClosesItselfAfterTheFade)
{
    auto* popup = new TMailPopup();
    QPointer<TMailPopup> alive(popup);
    int clicks = 0;
    popup->OnClick = [&] { ++clicks; };
    popup->ShowPopup(QRect(100, 200, 300, 47), 3);
    EXPECT_EQ(popup->Caption(), "You have 3 unread messages.");
    EXPECT_EQ(popup->windowTitle().toStdString(), "You have 3 unread messages.");
    EXPECT_EQ(popup->pos(), QPoint(100, 200)) << "arrow at the left: the rectangle's left";
    EXPECT_EQ(popup->height(), 47);
    const int textWidth = QFontMetrics(popup->font()).horizontalAdvance("You have 3 unread messages.");
    EXPECT_EQ(popup->width(), textWidth + 30);
    EXPECT_TRUE(popup->Timer().isActive());
    EXPECT_EQ(popup->Timer().interval(), 100);
    EXPECT_EQ(popup->Alpha(), 240);
    EXPECT_TRUE(popup->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(popup->font().bold());
    EXPECT_EQ(popup->font().pointSize(), 10);

    const QImage image = popup->grab().toImage();
    EXPECT_EQ(image.pixelColor(popup->width() - 5, 12), QColor(0xFC, 0xF6, 0xDA)) << "$DAF6FC";
    EXPECT_EQ(image.pixelColor(popup->width() / 2, popup->height() - 1), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(image.pixelColor(0, 30), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(popup->CaptionRect(), QRect(10, 3, popup->width() - 20, popup->height() - 8 + 10));

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(popup, &press);
    EXPECT_EQ(clicks, 1);

    for (int i = 0; i < 41; ++i)
        popup->Tick();
    EXPECT_EQ(popup->Alpha(), 240);
    popup->Tick();
    EXPECT_EQ(popup->Alpha(), 190);
    EXPECT_NEAR(popup->windowOpacity(), 190 / 255.0, 0.01);
    popup->Tick();
    popup->Tick();
    EXPECT_EQ(popup->Alpha(), 90);
    EXPECT_TRUE(popup->isVisible());
    popup->Tick();
    EXPECT_FALSE(popup->Timer().isActive());
    EXPECT_FALSE(popup->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()) << "it frees itself when it closes";
}

TEST_F(SessionTest, NewMailCountsBadgesAndShowsTheToast)
{
    TovnPreferences& prefs = m_controller->Preferences();
    prefs.MailCheck = true;
    prefs.MailPopup = true;
    m_window->show();
    EXPECT_EQ(m_window->MailAnimator().TimeLine(), (std::vector<int>{60, 120, 60, 120, 60, 10000}));
    EXPECT_EQ(m_window->MailAnimator().Item(), &m_window->MailButton());
    EXPECT_EQ(m_window->MailButton().Action(), m_window->Action(actOrvaneMail));

    SendMessage(m_window->Handle(), WM_NEWMAIL, 0, 0);
    EXPECT_EQ(m_window->UnreadMailCount(), 1);
    ASSERT_NE(m_window->MailPopup(), nullptr);
    EXPECT_EQ(m_window->MailPopup()->Caption(), "You have an unread message.");
    SendMessage(m_window->Handle(), WM_NEWMAIL, 0, 0);
    EXPECT_EQ(m_window->UnreadMailCount(), 2);
    TMailPopup* second = m_window->MailPopup();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Caption(), "You have 2 unread messages.");
    EXPECT_EQ(m_window->MailAnimator().Text(), "2");
    EXPECT_TRUE(m_window->MailAnimator().GetAnimate());
    // Under the mail button: its left, 49 below its top.
    const QToolButton* button = m_window->MailButton().Button();
    ASSERT_NE(button, nullptr);
    const QPoint origin = m_window->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(second->pos(), origin + QPoint(button->x(), button->y() + 49));
    EXPECT_EQ(second->height(), 47);

    // The exact count: no toast.
    SendMessage(m_window->Handle(), WM_NEWMAIL, 5, 1);
    EXPECT_EQ(m_window->UnreadMailCount(), 5);
    EXPECT_EQ(m_window->MailPopup(), second) << "no new toast";
    EXPECT_EQ(m_window->MailAnimator().Text(), "5");

    // The badge is drawn over the button's picture while it animates.
    const QImage with = const_cast<QToolButton*>(button)->grab().toImage();
    m_window->NewMailDone();
    EXPECT_EQ(m_window->UnreadMailCount(), 0);
    EXPECT_FALSE(m_window->MailAnimator().GetAnimate());
    const QImage without = const_cast<QToolButton*>(button)->grab().toImage();
    EXPECT_NE(with, without);

    // Without the mail check neither badge nor toast.
    prefs.MailCheck = false;
    SendMessage(m_window->Handle(), WM_NEWMAIL, 0, 0);
    EXPECT_EQ(m_window->UnreadMailCount(), 1);
    EXPECT_FALSE(m_window->MailAnimator().GetAnimate());
    EXPECT_EQ(m_window->MailPopup(), second);
}

TEST_F(SessionTest, SigningInAndOffEndsTheMailIndication)
{
    m_controller->Preferences().MailCheck = true;
    m_controller->Preferences().MailPopup = false;
    SendMessage(m_window->Handle(), WM_NEWMAIL, 3, 1);
    EXPECT_EQ(m_window->UnreadMailCount(), 3);
    EXPECT_EQ(m_window->MailPopup(), nullptr) << "MailPopup off";
    LogInAs("nurse", "nurse");
    EXPECT_EQ(m_window->UnreadMailCount(), 0) << "the sign-in starts at 0";
    SendMessage(m_window->Handle(), WM_NEWMAIL, 4, 1);
    EXPECT_TRUE(m_window->MailAnimator().GetAnimate());
    m_window->SetLogged(false);
    EXPECT_EQ(m_window->UnreadMailCount(), 0);
    EXPECT_FALSE(m_window->MailAnimator().GetAnimate());
}

// ---------------------------------------------------------------------------
// The notification center

// Removes the program's own center for the test's life.
class TNoCenter
{
  public:
    TNoCenter() : m_previous(RegisterNotifyCenterFactory(nullptr)) {}
    ~TNoCenter() { RegisterNotifyCenterFactory(std::move(m_previous)); }
    TNoCenter(const TNoCenter&) = delete;
    TNoCenter& operator=(const TNoCenter&) = delete;

  private:
    TNotifyCenterFactory m_previous;
};

TEST_F(SessionTest, WithoutACenterTheNotificationsModuleIsAbsent)
{
    TNoCenter none;
    LogInAs("nurse", "nurse");
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->NotifyCenter(), nullptr);
    EXPECT_EQ(m_window->NotificationsModule(), -1);
    m_window->actUIUpdate();
    EXPECT_FALSE(m_window->NotifyItem()->isVisible());
    SendMessage(m_window->Handle(), WM_NOTIFICATION, 0, 0); // nothing to do
}

TEST_F(SessionTest, TheCenterGetsTheTargetsAndTheMessages)
{
    TCenterRegistration centers;
    LogInAs("nurse", "nurse");
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->DBLogged());
    ASSERT_NE(centers.Last, nullptr);
    EXPECT_EQ(m_window->NotifyCenter(), centers.Last);
    EXPECT_EQ(m_window->NotificationsModule(), 62);
    TNotifyTargets& targets = centers.Last->TargetList;
    ASSERT_EQ(targets.Count(), 2);
    EXPECT_EQ(targets[0]->Caption, "Falls");
    EXPECT_EQ(targets[0]->Resource, "FALL_ALERT");
    EXPECT_EQ(targets[0]->ImageIndex, -1) << "no icon";
    EXPECT_EQ(targets[1]->Resource, "MEDS_DUE");
    EXPECT_EQ(centers.Calls, (std::vector<std::string>{"pictures", "adjust", "load targets", "auto 600000"}));
    EXPECT_EQ(centers.Last->Bounds, m_window->DoNotifyFormBounds()) << "placed when made";
    m_window->actUIUpdate();
    EXPECT_TRUE(m_window->NotifyItem()->isVisible());

    // The posted 1724 (0, 0): refresh, then the toast armed; the filter
    // looks a year back with the shift's resident groups.
    centers.Calls.clear();
    ASSERT_TRUE(RunEventsUntil([&] { return centers.Calls.size() >= 2; }));
    EXPECT_EQ(centers.Calls, (std::vector<std::string>{"refresh", "arm toast"}));
    EXPECT_NEAR(centers.Last->Filter.FromDate, Now() - 365, 1.0 / 24);
    centers.Calls.clear();
    SendMessage(m_window->Handle(), WM_NOTIFICATION, 0, -1);
    SendMessage(m_window->Handle(), WM_NOTIFICATION, 0, 7);
    EXPECT_EQ(centers.Calls, (std::vector<std::string>{"update targets", "drop 7"}));

    // The count badge on the toolbar item.
    QToolButton* item = m_window->NotifyButton().Button();
    ASSERT_NE(item, nullptr);
    const QImage plain = item->grab().toImage();
    centers.Last->Count = 3;
    centers.Last->OnNotifyChanged();
    EXPECT_EQ(m_window->NotifyCount(), 3);
    EXPECT_NE(item->grab().toImage(), plain) << "the badge over the picture";
    centers.Last->Count = 0;
    centers.Last->OnNotifyChanged();
    EXPECT_EQ(item->grab().toImage(), plain) << "no badge at 0";

    // F12 / the item: shown, then only placed again; the window's size
    // places it too (message 71).
    centers.Calls.clear();
    m_window->NotifyItem()->trigger();
    m_window->NotifyItem()->trigger();
    SendMessage(m_window->Handle(), WM_WINDOWPOSCHANGED, 0, 0);
    EXPECT_EQ(centers.Calls, (std::vector<std::string>{"show", "adjust", "adjust"}));
    m_window->resize(900, 600);
    const QRect bounds = m_window->DoNotifyFormBounds();
    const QPoint origin = m_window->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(bounds.topLeft(), origin + QPoint(0, 49));
    EXPECT_EQ(bounds.width(), 900);
    EXPECT_EQ(bounds.bottom() + 1, origin.y() + 600 - m_window->StatusBar().height());
    centers.Calls.clear();
    m_window->actUIUpdate();
    EXPECT_FALSE(m_window->Action(actNotificationPreferences)->isEnabled()) << "the user may not edit them";
    centers.Last->TargetList.CanEditPreferences = true;
    m_window->actUIUpdate();
    m_window->Action(actNotificationPreferences)->trigger();
    EXPECT_EQ(centers.Calls, std::vector<std::string>{"setup"});

    // The database log-off ends the center and its count.
    centers.Calls.clear();
    m_window->SetDBLogged(false);
    EXPECT_EQ(m_window->NotifyCenter(), nullptr);
    EXPECT_EQ(m_window->NotifyCount(), 0);
    EXPECT_EQ(centers.Calls, std::vector<std::string>{"freed"});
}

TEST_F(SessionTest, ANotificationOpensTheApplet)
{
    TCenterRegistration centers;
    LogInAs("nurse", "nurse");
    m_window->SetDBLogged(true);
    ASSERT_NE(m_window->NotifyCenter(), nullptr);

    // Both names empty: handled, nothing raised.
    bool handled = false;
    m_window->DoOnNotifyExecute(TNotifyRow{{"MODULE_NAME", Variant(std::string(" "))}}, handled);
    EXPECT_TRUE(handled);

    // A module the user does not have.
    handled = true;
    try {
        m_window->DoOnNotifyExecute(TNotifyRow{{"MODULE_NAME", Variant(std::string("Kitchen"))},
                                               {"RESOURCE_NAME", Variant(std::string(" MENU_PLAN "))}},
                                    handled);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to open applet \"Kitchen.MENU_PLAN\"\r\nApplet does not exist or you don't "
                               "have permissions to run it.");
    }
    EXPECT_FALSE(handled);

    // A module of the user's (case ignored): the module variables from the
    // row, then the applet in the module's view.
    const TNotifyRow row{{"MODULE_NAME", Variant(std::string("care"))},
                         {"RESOURCE_NAME", Variant(std::string("CARE_FORM"))},
                         {"C_RESIDENT", Variant(int32_t(41))},
                         {"RESIDENT_NAME", Variant(std::string("Ada Byrne"))},
                         {"C_FACILITY", Variant(int32_t(1))},
                         {"STATE", Variant(std::string("OR"))},
                         {"FACILITY", Variant(std::string("OAK"))},
                         {"FACILITY_NAME", Variant(std::string("Oak Grove Care Home"))}};
    handled = false;
    try {
        m_window->DoOnNotifyExecute(row, handled);
    } catch (const std::exception&) {
        // The sample has no library to load: the launch may fail.
    }
    TVars& vars = m_controller->Vars();
    ASSERT_NE(vars.GetParam("DEFAULT_C_RESIDENT", 60), nullptr);
    EXPECT_EQ(vars.GetParam("DEFAULT_C_RESIDENT", 60)->AsInteger(), 41);
    EXPECT_EQ(vars.GetParam("DEFAULT_RESIDENT", 60)->AsString(), "Ada Byrne");
    EXPECT_EQ(vars.GetParam("DEFAULT_C_FACILITY", 60)->AsInteger(), 1);
    EXPECT_EQ(vars.GetParam("DEFAULT_STATE", 60)->AsString(), "OR");
    EXPECT_EQ(vars.GetParam("DEFAULT_FACILITY", 60)->AsString(), "[OAK] \"Oak Grove Care Home\"");
    EXPECT_EQ(m_window->LaunchKind(), 0) << "back to 0 however the launch ended";
    TModuleItem* care = m_window->ModuleItems().Find(60);
    ASSERT_NE(care, nullptr);
    EXPECT_TRUE(care->GetActive()) << "the module's view opened for the applet";
}

// ---------------------------------------------------------------------------
// The module list after the database sign-in

TEST_F(SessionTest, TheOnlyModuleOpensByItselfUnlessTheListShowsGroups)
{
    struct TCase
    {
        const char* User;
        bool Groups;
        bool Opens;
    };
    const TCase cases[] = {{"aide", false, true}, {"aide", true, false}, {"nurse", false, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.User) + (c.Groups ? " by groups" : ""));
        LogInAs(c.User, c.User);
        m_window->ModuleList().SetShowByGroups(c.Groups);
        m_window->SetDBLogged(true);
        ASSERT_TRUE(m_window->DBLogged());
        ASSERT_TRUE(RunEventsUntil([&] { return m_window->ModuleList().Visible(); })) << "1684 shows the list";
        RunEventsFor(std::chrono::milliseconds(20));
        TModuleItem* care = m_window->ModuleItems().Find(60);
        ASSERT_NE(care, nullptr);
        EXPECT_EQ(care->GetActive(), c.Opens);
        m_window->SetLogged(false);
    }
}

// ---------------------------------------------------------------------------
// Ads and the status bar

TEST(AdService, TheRequestAddress)
{
    TAdRequest request;
    request.Zip = "97201";
    request.State = "OR";
    request.Enterprise = "PINE CARE";
    request.UserID = "NURSE";
    request.Industry = "Nursing Home";
    request.Horizontal = true;
    EXPECT_EQ(AdServiceUrl("http://ads.test", request),
              "http://ads.test/services/get_ad.php?x=Kw3hv9Rm2pxT0qaZe&z=%39%37%32%30%31&s=OR&v=PINE+CARE/NURSE"
              "&i=Nursing+Home&p=H");
    request.Horizontal = false;
    request.Industry = "R&D";
    EXPECT_EQ(AdServiceUrl("http://ads.test", request),
              "http://ads.test/services/get_ad.php?x=Kw3hv9Rm2pxT0qaZe&z=%39%37%32%30%31&s=OR&v=PINE+CARE/NURSE"
              "&i=R%26D&p=V");
}

TEST_F(SessionTest, TheAdPanelsAskTheServiceAndOpenAClickedAd)
{
    ASSERT_NE(DefaultAdControllerClass, nullptr) << "chosen at the window's creation";
    TovnCustomAdController* right = m_window->AdControllerV();
    TovnCustomAdController* top = m_window->AdControllerH();
    ASSERT_NE(right, nullptr);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(right->Panel()->objectName().toStdString(), "pnlAdV");
    EXPECT_EQ(top->Panel()->objectName().toStdString(), "pnlAdH");
    EXPECT_FALSE(right->Active());

    LogInAs("nurse", "nurse");
    EXPECT_EQ(right->GetAdUrl(), std::string(DefaultAdServiceAddress) +
                                     "/services/get_ad.php?x=Kw3hv9Rm2pxT0qaZe&z=%39%37%32%30%31&s=OR&v=PINE+CARE/"
                                     "NURSE&i=Nursing+Home&p=V");
    {
        TIniFile ini(m_window->IniFileName());
        ini.WriteString("ADS", "Home", "http://127.0.0.1:" + std::to_string(m_server->Port()) + "/");
        ini.UpdateFile();
    }
    EXPECT_EQ(top->GetAdUrl(), "http://127.0.0.1:" + std::to_string(m_server->Port()) +
                                   "/services/get_ad.php?x=Kw3hv9Rm2pxT0qaZe&z=%39%37%32%30%31&s=OR&v=PINE+CARE/"
                                   "NURSE&i=Nursing+Home&p=H");

    // The default ad: the picture from the resource cache; none without.
    EXPECT_EQ(top->GetDefaultAdHtml(), "") << "the server has no picture";
    const std::string share = ExtractFilePath(m_server->DatabaseFile()) + "files/resources/";
    ForceDirectories(share);
    WriteText(share + "tlw-ad.png", "picture");
    const std::string html = right->GetDefaultAdHtml();
    // The cached file's bytes ("picture") are in the page.
    EXPECT_NE(html.find("<img src=\"data:image/png;base64,cGljdHVyZQ==\""), std::string::npos) << html;
    EXPECT_NE(html.find("target=\"_blank\""), std::string::npos);
    EXPECT_EQ(html, DefaultAdPage(m_controller->GetResourceFile("$$DUMMYAD$$")));

    // A click: the address waits for the posted 1726.
    std::vector<std::string> opened;
    m_window->ShellOpener = [&](const std::string& Address) {
        opened.push_back(Address);
        return true;
    };
    right->DoOnAdClick("http://ads.test/landing?id=4");
    EXPECT_EQ(m_window->PendingAdUrl(), "http://ads.test/landing?id=4");
    EXPECT_TRUE(opened.empty());
    ASSERT_TRUE(RunEventsUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{"http://ads.test/landing?id=4"});
    EXPECT_EQ(m_window->PendingAdUrl(), "");
    SendMessage(m_window->Handle(), WM_OPENADPAGE, 0, 0);
    EXPECT_EQ(opened.size(), 1u) << "nothing pending";
}

TEST_F(SessionTest, TheStatusBarsDoubleClickChoosesTheShift)
{
    int shifts = 0;
    m_window->ExecuteShiftInfo = [&](TfrmShiftInfo&) {
        ++shifts;
        return int(QDialog::Rejected);
    };
    auto doubleClick = [&] {
        QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(&m_window->StatusBar(), &e);
    };
    doubleClick();
    EXPECT_EQ(shifts, 0) << "signed out";
    LogInAs("admin", "admin");
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->ShiftSelectionEnabled()) << "the seed's ADMIN is an employee";
    const int before = shifts;
    doubleClick();
    EXPECT_EQ(shifts, before + 1);
}
