// The main window with module windows: a module entry opened from the
// module list shows its view on the desktop, an applet from a signed
// library runs in a container listed under its module, and the session's
// end closes every module window.
#include "AppletServerTesting.h"

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/KldForms.h"
#include "ui/KldAppletView.h"
#include "ui/KldModuleView.h"

#include <QAction>
#include <QMenu>

namespace {

class MainWindowModulesTest : public TAppletServerTest
{
  protected:
    void SetUp() override
    {
        TAppletServerTest::SetUp();
        // The module of the fixture's own view is not used here.
        delete m_view.data();
        m_entry->SetForm(nullptr);
        m_entry->FormClass = CreateModuleView; // an entry found by counter keeps its class
        m_moduleRow = m_window->AddModule("Samples", 42, true, CreateModuleView, -1);
        AddMenuRow(10, 0, false, "Billing");
        AddMenuRow(11, 10, true, "Invoices", "SAMPLE_APPLET");
    }
    TfrmModuleView* OpenSamples()
    {
        m_window->DoModuleSelect(nullptr, m_moduleRow);
        Settle(); // 4025 activates the view, 4357 loads its menu
        return dynamic_cast<TfrmModuleView*>(m_entry->Form());
    }
    TKldAppItem* m_moduleRow = nullptr;
};

} // namespace

TEST_F(MainWindowModulesTest, AModuleOpenedFromTheListShowsItsViewAndRunsItsApplets)
{
    TovnDesktop& desktop = m_window->Desktop();
    EXPECT_EQ(AppDesktop, &desktop);
    TfrmModuleView* view = OpenSamples();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->parentWidget(), &desktop);
    EXPECT_EQ(desktop.Active(), view);
    EXPECT_EQ(m_window->ActiveModuleForm(), view);
    EXPECT_EQ(m_window->ActionState().ActiveForm, amfModuleView);
    EXPECT_EQ(m_window->ModuleList().GetSelItem(), m_moduleRow) << "the list follows the active window";
    ASSERT_EQ(view->AppletView().Items().Count(), 1);

    // Opening it again shows the same view.
    m_window->DoModuleSelect(nullptr, m_moduleRow);
    EXPECT_EQ(m_entry->Form(), view);

    // An applet of the menu: a container on the desktop, listed under the
    // module.
    view->RunAppItem(view->AppletView().Items().Items(0)->Items().Items(0), 0);
    Settle();
    ASSERT_EQ(view->Containers().size(), 1u);
    TKldAppContainer* container = view->Containers()[0];
    EXPECT_EQ(desktop.Active(), container);
    EXPECT_EQ(m_window->ActionState().ActiveForm, amfAppletContainer);
    ASSERT_EQ(m_moduleRow->Items().Count(), 1);
    TKldAppItem* child = m_moduleRow->Items().Items(0);
    EXPECT_EQ(child->Caption(), "Invoices");
    EXPECT_EQ(child->Tag(), reinterpret_cast<intptr_t>(container));
    EXPECT_TRUE(m_moduleRow->GetState(isExpanded));

    // The list's child item brings its window back; the window list shows
    // both windows.
    desktop.SetActive(view);
    m_window->DoModuleSelect(nullptr, child);
    EXPECT_EQ(desktop.Active(), container);
    m_window->WindowList().Rebuild();
    ASSERT_EQ(m_window->WindowList().Entries().size(), 2u);
    EXPECT_EQ(m_window->WindowList().Entries()[0]->text(), "Samples / Invoices");

    // The info bar asks the active window.
    m_controller->UpdateInfoBar();
    ASSERT_NE(m_controller->InfoList().FindInfo("SAMPLE"), nullptr);

    // Closing all: every module window goes, the applet's library too.
    EXPECT_TRUE(m_window->CloseAllExec());
    Settle();
    EXPECT_EQ(desktop.GetFormCount(), 0);
    EXPECT_EQ(m_entry->Form(), nullptr);
    EXPECT_EQ(m_moduleRow->Items().Count(), 0) << "the container's row went with it";
    EXPECT_FALSE(Loaded("sample_applet.so"));

    // The entry opens and closes its window itself, too.
    EXPECT_EQ(m_entry->GetBrowser(), m_window);
    m_entry->SetActive(true);
    Settle();
    ASSERT_NE(m_entry->Form(), nullptr);
    EXPECT_EQ(desktop.Active(), m_entry->Form());
    m_entry->SetActive(false);
    Settle();
    EXPECT_FALSE(m_entry->GetActive());
    EXPECT_EQ(desktop.GetFormCount(), 0);
}

TEST_F(MainWindowModulesTest, UnsavedDataIsAskedAboutAndCancelKeepsEverything)
{
    TfrmModuleView* view = OpenSamples();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->Launch("SAMPLE_APPLET", 0, "Sample", 42, false, 0xF000, "", nullptr, 0, true));
    view->Containers()[0]->GetTopApplet()->Modified = true;
    m_dialogs->QueueAnswer(mrCancel);
    EXPECT_FALSE(m_window->CloseAllExec());
    EXPECT_EQ(m_dialogs->Texts().back(), "There is one or more modules with not saved data. Close all anyway?");
    Settle();
    EXPECT_EQ(m_window->Desktop().GetFormCount(), 2);
    // Yes forgets the data and closes.
    m_dialogs->QueueAnswer(mrYes);
    EXPECT_TRUE(m_window->CloseAllExec());
    Settle();
    EXPECT_EQ(m_window->Desktop().GetFormCount(), 0);
}

TEST_F(MainWindowModulesTest, SigningOffAsksEveryModuleWindowToClose)
{
    TfrmModuleView* view = OpenSamples();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->Launch("SAMPLE_APPLET", 0, "Sample", 42, false, 0xF000, "", nullptr, 0, true));
    QPointer<TKldAppContainer> container = view->Containers()[0];
    // Last to first: the view hears first and still has the container,
    // whose request then closes its applet.
    m_dialogs->QueueAnswer(mrOk);
    m_window->SetLogged(false);
    Settle();
    EXPECT_FALSE(m_window->Logged());
    EXPECT_EQ(m_window->ActiveModuleForm(), nullptr);
    EXPECT_TRUE(container.isNull());
    EXPECT_FALSE(Loaded("sample_applet.so"));
    EXPECT_EQ(m_dialogs->Texts().back(),
              "Some applets are open for this module. Please, close applets before closing the module.");
}

TEST_F(MainWindowModulesTest, CustomizeWidgetsNeedsAModuleViewWithWidgets)
{
    AddMenuRow(20, 0, false, "$WIDGETS");
    AddMenuRow(21, 20, true, "Widget", "SAMPLE_WIDGET");
    TfrmModuleView* view = OpenSamples();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->GetWidgetsCount(), 1);
    EXPECT_EQ(m_window->ActionState().ActiveForm, amfModuleViewWithWidgets);
    int shown = 0;
    TfrmModuleView::ExecuteWidgetsDialog = [&](TStrings&) {
        ++shown;
        return false;
    };
    m_window->Action(actCustomizeModule)->trigger();
    TfrmModuleView::ExecuteWidgetsDialog = nullptr;
    EXPECT_EQ(shown, 1);
}
