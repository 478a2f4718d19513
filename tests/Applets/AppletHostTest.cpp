// The applet object's close protocol, the clean-up, the applet container's
// stack and the module desktop with its window list, over in-process
// applets.
#include "AppletTesting.h"

#include "support/DialogScript.h"
#include "ui/ovnChildNotifier.h"

#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

void DeliverDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A module entry with a recording module window, the host of applets.
class HostTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_entry = m_items.Add("Billing", 7);
        m_moduleForm = new TRecordingModuleForm(m_entry);
        m_entry->SetForm(m_moduleForm);
    }
    void TearDown() override
    {
        ProcessMessages();
        DeliverDeferredDeletes();
        delete m_moduleForm.data();
    }
    // 1124 notices of the kind given that reached the module window.
    std::vector<LPARAM> Notices(WPARAM Kind) const
    {
        std::vector<LPARAM> found;
        for (const auto& notice : m_moduleForm->Notices)
            if (notice.WParam == Kind)
                found.push_back(notice.LParam);
        return found;
    }

    TDialogScript m_dialogs;
    TModuleItems m_items;
    TModuleItem* m_entry = nullptr;
    QPointer<TRecordingModuleForm> m_moduleForm;
};

// Answers a dialog by asking the applet to close again, as a second close
// request arriving while the first one waits for the user.
class TReentrantDialogs : public IDialogService
{
  public:
    explicit TReentrantDialogs(TovnApplet& Applet) : m_applet(Applet) {}
    int MessageDlg(const std::string& text, TMsgDlgType, const TMsgDlgButtons&, int) override
    {
        Texts.push_back(text);
        SecondClose = m_applet.Close(true) ? 1 : 0;
        return mrYes;
    }
    void ShowMessage(const std::string&) override {}
    std::vector<std::string> Texts;
    int SecondClose = -1;

  private:
    TovnApplet& m_applet;
};

} // namespace

// ---------------------------------------------------------------------------
// TovnApplet.Close

TEST_F(HostTest, CloseTakesChildrenNewestFirstAndTheAppletLast)
{
    struct TCase
    {
        const char* Name;
        int Children;
        bool Modified;
        int Answer;        // to the unsaved-data question (mrNone: none asked)
        bool RefuseMain;   // the main form refuses
        int RefusingChild; // index of a child that refuses (-1: none; 0 is the newest)
        bool CloseAll;
        bool Result;
        const char* Alive; // per child, newest first: '1' still listed and alive
        bool Posted;       // 1124 reached the host
    };
    const TCase cases[] = {
        {"one step closes the newest child", 2, false, mrNone, false, -1, false, false, "01", false},
        {"close-all closes children and applet", 2, false, mrNone, false, -1, true, true, "00", true},
        {"no children: the applet itself", 0, false, mrNone, false, -1, false, true, "", true},
        {"unsaved data, No", 0, true, mrNo, false, -1, true, false, "", false},
        {"unsaved data, Yes", 1, true, mrYes, false, -1, true, true, "0", true},
        {"main form refuses", 1, false, mrNone, true, -1, true, false, "0", false},
        {"newest child refuses and stays", 2, false, mrNone, false, 0, true, false, "11", false},
        {"older child refuses after the newest went", 2, false, mrNone, false, 1, true, false, "01", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto* applet = new TTestApplet;
        applet->Host = m_moduleForm.data();
        applet->State = asActive;
        applet->Modified = c.Modified;
        applet->Form()->Refuse = c.RefuseMain;
        std::vector<QPointer<TTestForm>> children;
        for (int i = c.Children - 1; i >= 0; --i)
            children.insert(children.begin(), applet->AddTestChild("Child" + std::to_string(i)));
        if (c.RefusingChild >= 0)
            children[static_cast<size_t>(c.RefusingChild)]->Refuse = true;
        if (c.Answer != mrNone)
            m_dialogs->QueueAnswer(c.Answer);
        m_moduleForm->Notices.clear();
        const size_t asked = m_dialogs->Calls().size();

        EXPECT_EQ(applet->Close(c.CloseAll), c.Result);
        ProcessMessages();
        DeliverDeferredDeletes();

        const std::string alive = c.Alive;
        EXPECT_EQ(applet->GetChildCount(), static_cast<int>(std::count(alive.begin(), alive.end(), '1')));
        for (size_t i = 0; i < alive.size(); ++i)
            EXPECT_EQ(!children[i].isNull(), alive[i] == '1') << "child " << i;
        EXPECT_EQ(applet->State, c.Result ? asClosed : asActive) << "a refused close puts the state back";
        EXPECT_EQ(!Notices(0).empty(), c.Posted);
        if (c.Posted) {
            EXPECT_EQ(Notices(0), std::vector<LPARAM>{reinterpret_cast<LPARAM>(applet)});
        }
        if (c.Answer != mrNone) {
            ASSERT_EQ(m_dialogs->Calls().size(), asked + 1);
            EXPECT_EQ(m_dialogs->Calls().back().Text, "There is some unsaved data in \"Test\". Close anyway?");
        } else {
            EXPECT_EQ(m_dialogs->Calls().size(), asked);
        }
        for (auto& child : children)
            if (child)
                child->Refuse = false;
        applet->Form()->Refuse = false;
        applet->Modified = false;
        while (applet->GetChildCount() > 0) {
            TovnAppletForm* child = applet->GetChildren(0);
            applet->RemoveChild(child);
            delete child;
        }
        EXPECT_TRUE(DoCleanUpApplet(applet, nullptr));
    }
}

TEST_F(HostTest, ASecondCloseWhileTheFirstAsksAnswersFalse)
{
    auto* applet = new TTestApplet;
    applet->Host = m_moduleForm.data();
    applet->State = asActive;
    applet->Modified = true;
    auto reentrant = std::make_unique<TReentrantDialogs>(*applet);
    TReentrantDialogs* dialogs = reentrant.get();
    auto previous = SetDialogService(std::move(reentrant));
    EXPECT_TRUE(applet->Close(true));
    auto used = SetDialogService(std::move(previous));
    EXPECT_EQ(dialogs->SecondClose, 0);
    EXPECT_EQ(dialogs->Texts, std::vector<std::string>{"There is some unsaved data in \"Test\". Close anyway?"});
    EXPECT_EQ(applet->State, asClosed);
    EXPECT_TRUE(applet->Close(false)) << "a closed applet answers True at once";
    ProcessMessages();
    DoCleanUpApplet(applet, nullptr);
}

// ---------------------------------------------------------------------------
// Clean-up

TEST(AppletCleanUp, DestroysFormsAndObjectAndRefusesAnAppletWithChildren)
{
    EXPECT_FALSE(DoCleanUpApplet(nullptr, nullptr));

    auto* applet = new TTestApplet;
    QPointer<TovnAppletForm> form = applet->MainForm.data();
    QPointer<TTestForm> child = applet->AddTestChild("Child");
    std::vector<TovnApplet*> list{applet};
    try {
        DoCleanUpApplet(applet, &list);
        ADD_FAILURE() << "an applet with children is refused";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(std::string(e.what()).find("ASSERT ! Applet has a children !"), std::string::npos);
    }
    EXPECT_EQ(list.size(), 1u) << "nothing happened";
    applet->RemoveChild(child);
    delete child.data();

    // A released form not yet destroyed goes with the applet.
    QPointer<TovnAppletForm> released = new TTestForm("Released");
    applet->ReleasedForms().emplace_back(released.data());
    released->Release();
    EXPECT_TRUE(DoCleanUpApplet(applet, &list));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(released.isNull());
}

namespace {

// A host that cleans a closed applet up out of the list it is given.
class TCleaningHost : public TModuleForm
{
  public:
    explicit TCleaningHost(std::vector<TovnApplet*>& List) : TModuleForm(nullptr, nullptr), m_list(List) {}
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_APPLETNOTIFICATION && Message.WParam == 0)
            DoCleanUpApplet(reinterpret_cast<TovnApplet*>(Message.LParam), &m_list);
        TModuleForm::WndProc(Message);
    }

  private:
    std::vector<TovnApplet*>& m_list;
};

} // namespace

TEST(AppletList, CloseAllAppletsStopsAtTheFirstRefusal)
{
    std::vector<TovnApplet*> list;
    TCleaningHost host(list);
    for (const char* name : {"A", "B", "C"}) {
        auto* applet = new TTestApplet(name, name);
        applet->State = asActive;
        applet->Host = &host;
        list.push_back(applet);
    }
    TovnApplet* b = list[1];
    static_cast<TTestApplet*>(b)->Form()->Refuse = true;
    CloseAllApplets(list);
    ASSERT_EQ(list.size(), 2u) << "A closed and was cleaned up; B refused";
    EXPECT_EQ(list[0], b);
    static_cast<TTestApplet*>(b)->Form()->Refuse = false;
    CloseAllApplets(list);
    EXPECT_TRUE(list.empty());
}

// ---------------------------------------------------------------------------
// TKldAppContainer

TEST_F(HostTest, TheContainerStacksAppletsAndBringsTheOneBelowBack)
{
    QPointer<TKldAppContainer> container = new TKldAppContainer(m_entry);
    auto* first = new TTestApplet("FIRST", "Invoices");
    auto* second = new TTestApplet("SECOND", "Invoice Detail");
    first->State = second->State = asActive;
    QPointer<TTestForm> firstForm = first->Form();
    QPointer<TTestForm> secondForm = second->Form();
    EXPECT_EQ(container->AddApplet(first), first);
    EXPECT_EQ(container->Caption(), "Billing / Invoices");
    container->AddApplet(second);
    EXPECT_EQ(container->Caption(), "Billing / Invoice Detail");
    EXPECT_EQ(container->GetTopApplet(), second);
    EXPECT_EQ(second->Host.data(), container.data());
    EXPECT_EQ(secondForm->parentWidget(), container.data());
    EXPECT_TRUE(container->Contains("second")) << "resources compare without regard to case";
    EXPECT_FALSE(container->Contains("THIRD"));
    EXPECT_EQ(container->BorderWidth(), 4);

    EXPECT_FALSE(container->GetModified());
    first->Modified = true;
    EXPECT_TRUE(container->GetModified());
    container->ResetModify();
    EXPECT_FALSE(first->Modified);

    ASSERT_TRUE(second->Close(true));
    ProcessMessages();
    EXPECT_TRUE(secondForm.isNull());
    EXPECT_EQ(container->GetTopApplet(), first);
    EXPECT_EQ(container->Caption(), "Billing / Invoices");
    EXPECT_EQ(Notices(2), std::vector<LPARAM>{reinterpret_cast<LPARAM>(first)});
    EXPECT_EQ(std::count(firstForm->Messages.begin(), firstForm->Messages.end(), WM_APPLETREACTIVATE), 1);

    // A notice naming no applet of the container is ignored.
    PostMessage(container->Handle(), WM_APPLETNOTIFICATION, 0, reinterpret_cast<LPARAM>(second));
    ProcessMessages();
    EXPECT_EQ(container->Applets().size(), 1u);

    // The last applet takes the container with it; the module hears so.
    ASSERT_TRUE(first->Close(true));
    ProcessMessages();
    DeliverDeferredDeletes();
    EXPECT_TRUE(container.isNull());
    EXPECT_EQ(Notices(1).size(), 1u);
}

// A child notifier on an applet form reaches that form's WndProc as 6658
// (wParam 0, lParam the control), not the container the form sits in.
TEST_F(HostTest, AChildNotifierTellsItsAppletFormInsideTheContainer)
{
    QPointer<TKldAppContainer> container = new TKldAppContainer(m_entry);
    auto* applet = new TTestApplet("NOTIFY", "Notify");
    applet->State = asActive;
    container->AddApplet(applet);
    TTestForm* form = applet->Form();
    ASSERT_NE(form->window(), form) << "the form sits inside its container";
    auto* panel = new QWidget(form);
    auto* notifier = new TOvnChildNotifier(panel);
    form->Received.clear();
    notifier->SetValue("42");
    ProcessMessages();
    std::vector<TMessage> notices;
    for (const TMessage& m : form->Received)
        if (m.Msg == 6658)
            notices.push_back(m);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].WParam, 0u);
    EXPECT_EQ(notices[0].LParam, reinterpret_cast<LPARAM>(notifier));
    delete container.data();
}

TEST_F(HostTest, AReportPreviewFormGetsNoFrame)
{
    auto* container = new TKldAppContainer(m_entry);
    auto* applet = new TTestApplet("REPORT", "Report");
    auto* preview = new QWidget(applet->Form());
    preview->setObjectName("ReportPreview");
    auto* bottom = new QWidget(applet->Form());
    bottom->setObjectName("pnlBottom");
    container->AddApplet(applet);
    EXPECT_EQ(container->BorderWidth(), 0);
    EXPECT_EQ(bottom->maximumHeight(), 0);
    EXPECT_FALSE(applet->Form()->Scaled());
    delete container;
}

TEST_F(HostTest, TheWindowsCloseRequestClosesTheTopApplet)
{
    QPointer<TKldAppContainer> container = new TKldAppContainer(m_entry);
    auto* applet = new TTestApplet;
    applet->State = asActive;
    container->AddApplet(applet);
    applet->AddTestChild("Child");
    container->close();
    ProcessMessages();
    DeliverDeferredDeletes();
    ASSERT_FALSE(container.isNull()) << "the top applet closed its child only";
    EXPECT_EQ(applet->GetChildCount(), 0);
    container->close();
    ProcessMessages();
    DeliverDeferredDeletes();
    EXPECT_TRUE(container.isNull());
}

TEST_F(HostTest, AllCloseEndsOnANoOrARefusalAndAnswersWhetherEmpty)
{
    auto* container = new TKldAppContainer(m_entry);
    auto* lower = new TTestApplet("LOWER", "Lower");
    auto* upper = new TTestApplet("UPPER", "Upper");
    lower->State = upper->State = asActive;
    container->AddApplet(lower);
    container->AddApplet(upper);

    upper->Modified = true;
    m_dialogs->QueueAnswer(mrNo);
    EXPECT_FALSE(container->AllClose());
    EXPECT_EQ(m_dialogs->Texts().back(), "There are some unsaved data in applet \"Upper\". Close anyway?");
    EXPECT_FALSE(container->ClosingAll());
    EXPECT_EQ(container->Applets().size(), 2u);
    upper->Modified = false;

    // A form that keeps refusing ends the close-all instead of asking forever.
    upper->Form()->Refuse = true;
    EXPECT_FALSE(container->AllClose());
    EXPECT_EQ(upper->Form()->CloseQueries, 1);
    EXPECT_EQ(container->Applets().size(), 2u);
    upper->Form()->Refuse = false;

    QPointer<TKldAppContainer> kept = container;
    EXPECT_TRUE(container->AllClose());
    ProcessMessages();
    DeliverDeferredDeletes();
    EXPECT_FALSE(kept.isNull()) << "an emptied container stays for its module view to destroy";
    EXPECT_TRUE(container->Applets().empty());
    delete container;
}

TEST_F(HostTest, InfoBarRequestsGoToTheTopAppletsForm)
{
    auto* container = new TKldAppContainer(m_entry);
    auto* applet = new TTestApplet;
    container->AddApplet(applet);
    container->Perform(WM_FILLINFOBARITEMS, 0, 0);
    EXPECT_EQ(std::count(applet->Form()->Messages.begin(), applet->Form()->Messages.end(), WM_FILLINFOBARITEMS), 1);
    delete container;
}

// ---------------------------------------------------------------------------
// The desktop

namespace {

class TClosingForm : public TModuleForm
{
  public:
    TClosingForm(const std::string& Caption, std::vector<std::string>* Log) : TModuleForm(nullptr, nullptr), m_log(Log)
    {
        SetCaption(Caption);
    }
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_CLOSE && m_log)
            m_log->push_back(Caption());
        TModuleForm::WndProc(Message);
    }
    void Activate() override
    {
        ++Activations;
        TModuleForm::Activate();
    }
    void Deactivate() override
    {
        ++Deactivations;
        TModuleForm::Deactivate();
    }
    int Activations = 0;
    int Deactivations = 0;

  private:
    std::vector<std::string>* m_log;
};

class DesktopTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_desktop = new TovnDesktop;
        m_desktop->resize(640, 480);
        AppDesktop = m_desktop;
        m_desktop->OnActiveFormChange = [this](TModuleForm* form) { Changes.push_back(form); };
    }
    void TearDown() override { delete m_desktop; }
    std::vector<std::string> Order() const
    {
        std::vector<std::string> captions;
        for (int i = 0; i < m_desktop->GetFormCount(); ++i)
            captions.push_back(m_desktop->GetForm(i)->Caption());
        return captions;
    }
    TClosingForm* Open(const std::string& Caption)
    {
        auto* form = new TClosingForm(Caption, &CloseLog);
        ProcessMessages(); // the posted 4025 activates it
        return form;
    }

    TovnDesktop* m_desktop = nullptr;
    std::vector<TModuleForm*> Changes;
    std::vector<std::string> CloseLog;
};

} // namespace

TEST_F(DesktopTest, NewFormsGoBeforeTheActiveOneAndBecomeActive)
{
    TClosingForm* a = Open("A");
    EXPECT_EQ(m_desktop->Active(), a);
    TClosingForm* b = Open("B");
    TClosingForm* c = Open("C");
    EXPECT_EQ(Order(), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(m_desktop->Active(), c);
    EXPECT_EQ(Changes, (std::vector<TModuleForm*>{a, b, c}));
    EXPECT_EQ(a->Deactivations, 1);
    EXPECT_TRUE(a->isHidden()) << "the window that lost the desktop is hidden";
    EXPECT_FALSE(c->isHidden());
    EXPECT_EQ(c->parentWidget(), m_desktop);

    // A window that is not the active one leaves: the active one stays.
    delete a;
    EXPECT_EQ(m_desktop->Active(), c);
    EXPECT_EQ(Order(), (std::vector<std::string>{"C", "B"}));
    // The active window leaves: the one that took its place.
    delete c;
    EXPECT_EQ(m_desktop->Active(), b);
    EXPECT_FALSE(b->isHidden());
    // The last one leaves: none.
    delete b;
    EXPECT_EQ(m_desktop->Active(), nullptr);
    EXPECT_EQ(Changes.back(), nullptr);
}

TEST_F(DesktopTest, LeavingAsTheLastActivatesThePreviousAndNoticesOfGoneFormsAreDropped)
{
    TClosingForm* a = Open("A");
    TClosingForm* b = Open("B"); // [B, A]
    m_desktop->SetActive(a);
    EXPECT_EQ(m_desktop->Active(), a);
    delete a; // it was last
    EXPECT_EQ(m_desktop->Active(), b);

    // A form made and gone before its notice arrives.
    delete new TClosingForm("Brief", nullptr);
    ProcessMessages();
    EXPECT_EQ(m_desktop->Active(), b);
    // A form that is not held changes nothing.
    TClosingForm stranger("Stranger", nullptr);
    m_desktop->DeleteForm(&stranger);
    m_desktop->SetActive(&stranger);
    EXPECT_EQ(m_desktop->Active(), b);
    delete b;
}

TEST_F(DesktopTest, CloseAllAsksLastToFirst)
{
    Open("A");
    Open("B");
    Open("C"); // [C, B, A]
    m_desktop->CloseAll();
    ProcessMessages();
    EXPECT_EQ(CloseLog, (std::vector<std::string>{"A", "B", "C"}));
    DeliverDeferredDeletes();
    EXPECT_EQ(m_desktop->GetFormCount(), 0);
}

TEST_F(DesktopTest, TheWindowListFollowsTheDesktop)
{
    QMenu menu;
    menu.addAction("Close All");
    TovnWindowItem list(&menu);
    list.SetDesktop(m_desktop);
    int updates = 0;
    list.OnUpdate = [&](TObject*) { ++updates; };
    TClosingForm* a = Open("Residents");
    TClosingForm* b = Open("Billing / Invoices");
    list.Rebuild();
    ASSERT_EQ(list.Entries().size(), 2u);
    EXPECT_EQ(list.Entries()[0]->text(), "Billing / Invoices");
    EXPECT_TRUE(list.Entries()[0]->isChecked());
    EXPECT_FALSE(list.Entries()[1]->isChecked());
    EXPECT_EQ(menu.actions().size(), 3);
    list.Entries()[1]->trigger();
    EXPECT_EQ(m_desktop->Active(), a);
    delete b;
    emit menu.aboutToShow();
    ASSERT_EQ(list.Entries().size(), 1u);
    EXPECT_EQ(list.Entries()[0]->text(), "Residents");
    EXPECT_TRUE(list.Entries()[0]->isChecked());
    list.SetEnabled(false);
    EXPECT_FALSE(list.Entries()[0]->isEnabled());
    EXPECT_EQ(updates, 2);
}
