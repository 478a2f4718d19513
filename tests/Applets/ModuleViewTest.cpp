// The module view over a menu fixture: the menu it builds, auto-run, a
// view of widgets only, the widget layout and its file, the customize
// dialog, widgets whose applets close or refuse, the close refusal and the
// placement of the widget column.
#include "AppletServerTesting.h"

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/frmWidgets.h"
#include "platform/IniFiles.h"
#include "support/ErrorOf.h"
#include "ui/KldAppPanel.h"
#include "ui/KldAppletView.h"

#include <QPushButton>
#include <QScrollArea>

namespace {

class ModuleViewTest : public TAppletServerTest
{
  protected:
    // Captions of the items of a collection, "-" marking hidden ones.
    static std::vector<std::string> Captions(const TKldAppItems& Items)
    {
        std::vector<std::string> captions;
        for (int i = 0; i < Items.Count(); ++i)
            captions.push_back(std::string(Items.Items(i)->Visible() ? "" : "-") + Items.Items(i)->Caption());
        return captions;
    }
    std::vector<std::string> WidgetNames() const
    {
        std::vector<std::string> names;
        TKldAppLayout& layout = m_view->WidgetPanel().Layout();
        for (int i = 0; i < layout.Count(); ++i)
            names.push_back(layout.Items(i)->Name());
        return names;
    }
    // A module of two widgets, A (the sample applet) and B (the sample
    // widget), beside one applet group.
    void TwoWidgetMenu()
    {
        AddMenuRow(10, 0, false, "Billing");
        AddMenuRow(11, 10, true, "Invoices", "SAMPLE_APPLET");
        AddMenuRow(20, 0, false, "$Widgets");
        AddMenuRow(21, 20, true, "Widget A", "SAMPLE_APPLET");
        AddMenuRow(22, 20, true, "Widget B", "SAMPLE_WIDGET");
    }
    void WriteLayout(const std::string& Value)
    {
        TIniFile ini(m_view->LayoutFileName());
        ini.WriteString("Widgets", "Layout", Value);
    }
};

} // namespace

TEST_F(ModuleViewTest, TheMenuIsBuiltFromTheModulesRowsAndBadRowsAreSkipped)
{
    EXPECT_EQ(m_view->AppletView().Caption(), "Loading module menu");
    EXPECT_EQ(m_view->Caption(), "Samples");
    AddMenuRow(10, 0, false, "Billing");
    AddMenuRow(11, 10, true, "Invoices", "SAMPLE_APPLET");
    AddMenuRow(12, 0, true, "Quick Note", "SAMPLE_APPLET");
    AddMenuRow(13, 10, false, "Reports");
    AddMenuRow(14, 13, true, "Aged Debts", "SAMPLE_APPLET");
    AddMenuRow(15, 99, true, "Orphan", "SAMPLE_APPLET");      // no such parent
    AddMenuRow(16, 11, true, "Under An Applet", "SAMPLE_APPLET"); // the parent is no group
    AddMenuRow(17, 98, false, "Lost Group");                 // no such parent
    AddMenuRow(30, 0, false, "Other Module", "", 43);
    m_view->Perform(WM_LOADMENU, 0, 0);

    TKldAppItems& top = m_view->AppletView().Items();
    EXPECT_EQ(Captions(top), (std::vector<std::string>{"Billing", "Samples"}));
    TKldAppItem* billing = top.Items(0);
    EXPECT_TRUE(billing->GetState(isGroup));
    EXPECT_EQ(billing->Tag(), 10);
    EXPECT_EQ(Captions(billing->Items()), (std::vector<std::string>{"Invoices", "Reports"}));
    EXPECT_EQ(billing->Items().Items(0)->Name(), "SAMPLE_APPLET");
    EXPECT_EQ(billing->Items().Items(0)->Tag(), 11);
    EXPECT_EQ(Captions(billing->Items().Items(1)->Items()), std::vector<std::string>{"Aged Debts"});
    TKldAppItem* samples = top.Items(1);
    EXPECT_EQ(samples->Tag(), 0) << "top-level applets gather under a group of the module's name";
    EXPECT_EQ(Captions(samples->Items()), std::vector<std::string>{"Quick Note"});
    EXPECT_EQ(m_view->AppletView().Caption(), "No menu items are accessible to you in this module");
    EXPECT_FALSE(m_view->AutoRun());
    EXPECT_FALSE(m_view->WidgetPanel().Visible());
    EXPECT_TRUE(m_view->Containers().empty());

    // Selecting an entry starts its applet; choosing it again shows it.
    m_view->RunAppItem(billing->Items().Items(0), 0);
    ASSERT_EQ(m_view->Containers().size(), 1u);
    EXPECT_EQ(m_view->Containers()[0]->Caption(), "Samples / Invoices");
    EXPECT_EQ(m_view->Containers()[0]->GetTopApplet()->SecurityIndex, 11);
    m_view->RunAppItem(billing->Items().Items(0), 0);
    EXPECT_EQ(m_view->Containers().size(), 1u);
}

TEST_F(ModuleViewTest, AModuleOfOneAppletStartsItAtOnce)
{
    AddMenuRow(12, 0, true, "Quick Note", "SAMPLE_APPLET");
    m_view->DoLoadMenu();
    EXPECT_TRUE(m_view->AutoRun());
    ASSERT_EQ(m_view->Containers().size(), 1u);
    EXPECT_TRUE(m_view->AppletView().Visible()) << "nothing else is hidden";
    EXPECT_FALSE(m_view->WidgetPanel().Visible());
}

TEST_F(ModuleViewTest, AModuleOfWidgetsOnlyShowsThemInTwoColumns)
{
    AddMenuRow(20, 0, false, "$WIDGETS");
    AddMenuRow(21, 20, true, "Widget A", "SAMPLE_APPLET");
    AddMenuRow(22, 20, true, "Widget B", "SAMPLE_WIDGET");
    m_view->DoLoadMenu();
    EXPECT_FALSE(m_view->AutoRun());
    EXPECT_FALSE(m_view->AppletView().Visible());
    EXPECT_TRUE(m_view->WidgetPanel().Visible());
    EXPECT_EQ(m_view->WidgetPanel().Layout().ColCount(), 2);
    EXPECT_EQ(WidgetNames(), (std::vector<std::string>{"SAMPLE_APPLET", "SAMPLE_WIDGET"}));
    EXPECT_TRUE(m_view->Containers().empty());
    EXPECT_EQ(m_view->FindWidget("SAMPLE_WIDGET")->ColSpan(), 2);
    EXPECT_EQ(m_view->FindWidget("SAMPLE_APPLET")->ColSpan(), 1) << "a form answering 0 spans one column";
}

TEST_F(ModuleViewTest, TheStoredLayoutOrdersAndHidesWidgets)
{
    TwoWidgetMenu();
    WriteLayout("SAMPLE_WIDGET=V,SAMPLE_APPLET=H,GONE=V,NOEQUALS");
    m_view->DoLoadMenu();
    TKldAppItem* group = m_view->WidgetsGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_FALSE(group->Visible()) << "the widget group never shows";
    EXPECT_EQ(Captions(group->Items()), (std::vector<std::string>{"Widget B", "-Widget A"}));
    EXPECT_EQ(WidgetNames(), std::vector<std::string>{"SAMPLE_WIDGET"});
    EXPECT_EQ(m_view->WidgetPanel().Layout().ColCount(), 1);
    EXPECT_EQ(m_view->GetLayout(), "SAMPLE_WIDGET=V,SAMPLE_APPLET=H");

    // A known name whose place lies outside the list still sets its
    // visibility, unmoved; a repeated name applies again.
    m_view->SetLayout("GONE1=V,GONE2=V,SAMPLE_APPLET=V");
    EXPECT_EQ(Captions(group->Items()), (std::vector<std::string>{"Widget B", "Widget A"}));
    m_view->SetLayout("SAMPLE_APPLET=H,SAMPLE_APPLET=V");
    EXPECT_EQ(Captions(group->Items()), (std::vector<std::string>{"Widget B", "Widget A"}));
    m_view->SetLayout("SAMPLE_APPLET=V,SAMPLE_WIDGET=H,SAMPLE_WIDGET=V");
    EXPECT_EQ(Captions(group->Items()), (std::vector<std::string>{"Widget A", "Widget B"}));

    // ApplyLayout starts what became visible, in order.
    m_view->ApplyLayout();
    EXPECT_EQ(WidgetNames(), (std::vector<std::string>{"SAMPLE_APPLET", "SAMPLE_WIDGET"}));
    EXPECT_TRUE(Loaded("sample_applet.so"));
    // ... and closes what became hidden.
    m_view->SetLayout("SAMPLE_APPLET=H,SAMPLE_WIDGET=V");
    m_view->ApplyLayout();
    Settle();
    EXPECT_EQ(WidgetNames(), std::vector<std::string>{"SAMPLE_WIDGET"});
    EXPECT_FALSE(Loaded("sample_applet.so"));
}

TEST_F(ModuleViewTest, CustomizingWidgetsStoresTheLayoutInTheModulesFile)
{
    TwoWidgetMenu();
    m_view->DoLoadMenu();
    EXPECT_EQ(WidgetNames(), (std::vector<std::string>{"SAMPLE_APPLET", "SAMPLE_WIDGET"}));
    TfrmModuleView::ExecuteWidgetsDialog = [](TStrings& Lines) {
        TWidgetChoice choice(Lines);
        EXPECT_EQ(choice.MoveDown(0), 1);
        choice.SetChecked(1, false); // Widget A, now second
        choice.Apply(Lines);
        return true;
    };
    m_view->DoCustomizeWidgets();
    TfrmModuleView::ExecuteWidgetsDialog = nullptr;
    Settle();
    EXPECT_EQ(m_view->LayoutFileName(), m_dir.Path() + "Samples.ini");
    TIniFile ini(m_view->LayoutFileName());
    EXPECT_EQ(ini.ReadString("Widgets", "Layout", "?"), "SAMPLE_WIDGET=V,SAMPLE_APPLET=H");
    EXPECT_EQ(WidgetNames(), std::vector<std::string>{"SAMPLE_WIDGET"});
    EXPECT_EQ(m_view->GetWidgetsCount(), 1);
}

TEST(WidgetLayoutFile, ModuleNamesStayInTheirFolder)
{
    EXPECT_EQ(WidgetLayoutFileName("Billing"), "Billing.ini");
    EXPECT_EQ(WidgetLayoutFileName("Billing/AR"), "Billing_AR.ini");
    EXPECT_EQ(WidgetLayoutFileName("../x"), ".._x.ini");
    EXPECT_EQ(WidgetLayoutFileName(std::string("a\0b", 3)), "a_b.ini");
    EXPECT_EQ(WidgetLayoutFileName("Care & Billing (2)"), "Care & Billing (2).ini");
    EXPECT_TRUE(IsAppletLibraryFile(" /cache/x.SO "));
    EXPECT_FALSE(IsAppletLibraryFile("/cache/x.so.txt"));
    EXPECT_FALSE(IsAppletLibraryFile("/cache/x.dll"));
}

TEST(WidgetChoice, MovesResetsAndApplies)
{
    TKldAppItems items(nullptr, nullptr);
    TStringList lines;
    for (const char* caption : {"A", "B", "C"}) {
        TKldAppItem* item = items.Add(caption, -1);
        lines.AddObject(caption, item);
    }
    items.Items(1)->SetVisible(false);
    TWidgetChoice choice(lines);
    EXPECT_FALSE(choice.Lines()[1].Checked);
    EXPECT_EQ(choice.MoveUp(0), 0) << "the first line stays";
    EXPECT_EQ(choice.MoveUp(-1), -1) << "no selection";
    EXPECT_EQ(choice.MoveDown(2), 2) << "the last line stays";
    EXPECT_EQ(choice.MoveDown(0), 1);
    EXPECT_EQ(choice.Lines()[1].Caption, "A");
    choice.Reset();
    EXPECT_EQ(choice.Lines()[0].Caption, "A");
    EXPECT_EQ(choice.MoveUp(2), 1);
    choice.SetChecked(0, false);
    choice.SetChecked(1, true);
    choice.Apply(lines);
    EXPECT_EQ(lines.CommaText(), "A,C,B");
    EXPECT_FALSE(items.Items(0)->Visible());
    EXPECT_TRUE(items.Items(2)->Visible());
}

TEST_F(ModuleViewTest, AWidgetWhoseAppletClosesItselfGoesWithIt)
{
    TwoWidgetMenu();
    m_view->DoLoadMenu();
    TKldAppLayoutItem* widget = m_view->FindWidget("SAMPLE_APPLET");
    ASSERT_NE(widget, nullptr);
    TovnApplet* applet = m_view->WidgetApplet(widget);
    ASSERT_NE(applet, nullptr);
    // A notice naming nothing of this view's is ignored.
    TTestApplet stranger;
    PostMessage(m_view->Handle(), WM_APPLETNOTIFICATION, 0, reinterpret_cast<LPARAM>(&stranger));
    Settle();
    EXPECT_EQ(m_view->GetWidgetsCount(), 2);
    delete stranger.MainForm.data();
    // The sample's own close button.
    auto* close = applet->MainForm->findChild<QPushButton*>("btnClose");
    ASSERT_NE(close, nullptr);
    close->click();
    Settle();
    EXPECT_EQ(WidgetNames(), std::vector<std::string>{"SAMPLE_WIDGET"});
    EXPECT_FALSE(Loaded("sample_applet.so"));
}

TEST_F(ModuleViewTest, AWidgetWhoseAppletStaysKeepsItsFormOutOfTheRemovedPanel)
{
    AddMenuRow(20, 0, false, "$WIDGETS");
    AddMenuRow(21, 20, true, "Refusing", "FAULTY_REFUSECLOSE");
    m_view->DoLoadMenu();
    TKldAppLayoutItem* widget = m_view->FindWidget("FAULTY_REFUSECLOSE");
    ASSERT_NE(widget, nullptr);
    TovnApplet* applet = m_view->WidgetApplet(widget);
    QPointer<TovnAppletForm> form = applet->MainForm.data();
    m_view->CloseAllWidgets();
    Settle();
    EXPECT_EQ(m_view->GetWidgetsCount(), 0);
    ASSERT_FALSE(form.isNull()) << "the applet refused: its form lives on, outside the widget";
    EXPECT_EQ(form->parentWidget(), m_view.data());
    EXPECT_TRUE(Loaded("faulty_refuseclose.so"));
    auto allow = reinterpret_cast<void (*)(bool)>(GetProcAddress(applet->LibHandle, "SAMPLE_ALLOW_CLOSE"));
    ASSERT_NE(allow, nullptr);
    allow(true);
    EXPECT_TRUE(applet->Close(false));
    Settle();
    EXPECT_TRUE(form.isNull());
    EXPECT_FALSE(Loaded("faulty_refuseclose.so"));
}

TEST_F(ModuleViewTest, TheViewRefusesToCloseWhileContainersRemain)
{
    TwoWidgetMenu();
    m_window->AddModule("Samples", 42, false, nullptr, -1);
    m_view->DoLoadMenu();
    ASSERT_TRUE(Launch("SAMPLE_APPLET", 0));
    m_dialogs->QueueAnswer(mrOk);
    EXPECT_FALSE(m_view->close());
    Settle();
    ASSERT_FALSE(m_view.isNull());
    EXPECT_EQ(m_dialogs->Texts().back(),
              "Some applets are open for this module. Please, close applets before closing the module.");
    EXPECT_TRUE(m_entry->AppItem()->GetState(isExpanded));
    EXPECT_EQ(m_entry->Form(), m_view.data());

    // CloseExecute closes the applets first; then the view goes, and with it
    // its widgets and the module's variables.
    m_controller->Vars().SetParam("DEFAULT_FACILITY", ftString, Variant(std::string("OAK")), 42);
    EXPECT_TRUE(m_view->CloseExecute());
    EXPECT_EQ(m_entry->Form(), nullptr);
    Settle();
    EXPECT_TRUE(m_view.isNull());
    EXPECT_EQ(m_controller->Vars().GetParam("DEFAULT_FACILITY", 42), nullptr);
    EXPECT_FALSE(Loaded("sample_applet.so"));
    EXPECT_FALSE(Loaded("sample_widget.so"));
}

TEST_F(ModuleViewTest, TheInfoBarShowsTheModulesFacilityOrTheGeneralOne)
{
    TovnInfoList info;
    m_view->Perform(WM_FILLINFOBARITEMS, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.Count(), 0);
    m_controller->Vars().SetParam("DEFAULT_FACILITY", ftString, Variant(std::string("ALL HOMES")), -1);
    m_view->Perform(WM_FILLINFOBARITEMS, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.FindInfo("DEFAULT_FACILITY"), nullptr);
    EXPECT_EQ(info.FindInfo("DEFAULT_FACILITY")->Text, "ALL HOMES");
    EXPECT_EQ(info.FindInfo("DEFAULT_FACILITY")->ImageIndex, 9);
    m_controller->Vars().SetParam("DEFAULT_FACILITY", ftString, Variant(std::string("OAK")), 42);
    m_view->Perform(WM_FILLINFOBARITEMS, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.FindInfo("DEFAULT_FACILITY")->Text, "OAK");
}

TEST_F(ModuleViewTest, TheWidgetColumnGoesBesideTheMenuWhenThereIsRoomElseBelow)
{
    TwoWidgetMenu();
    // A window of its own, so that its size is its own.
    m_window->Desktop().DeleteForm(m_view.data());
    m_view->setParent(nullptr);
    m_view->resize(1200, 700);
    m_view->show();
    m_view->DoLoadMenu();
    m_view->ScrollBoxResize();
    const int width = m_view->ScrollBox().viewport()->width();
    const int height = m_view->ScrollBox().viewport()->height();
    TKldAppPanel& panel = m_view->WidgetPanel();
    EXPECT_EQ(m_view->AppletView().Width(), 420);
    EXPECT_EQ(panel.Left(), 420 + 27);
    EXPECT_EQ(panel.Top(), 0);
    EXPECT_EQ(panel.Width(), width - 447);
    EXPECT_EQ(panel.Height(), height);

    m_view->resize(800, 700);
    m_view->ScrollBoxResize();
    const int narrow = m_view->ScrollBox().viewport()->width();
    ASSERT_LE(narrow - 447, 400);
    EXPECT_EQ(panel.Left(), 0);
    EXPECT_EQ(panel.Top(), m_view->AppletView().Top() + m_view->AppletView().Height());
    EXPECT_EQ(panel.Width(), narrow);
}

TEST(WidgetLayoutValue, OrdersHidesAndSkipsWhatItDoesNotKnow)
{
    struct TCase
    {
        const char* Value;
        const char* Result; // names in order, "-" before a hidden one
    };
    const TCase cases[] = {
        {"", "A,B,C"},
        {"B=V,A=H", "B,-A,C"},
        {"b=v,a=H", "-B,-A,C"},              // only "V" shows; names without regard to case
        {"X=V,NOEQUALS,C=V", "A,B,C"},       // unknown names and entries without "=" skipped
        {"X=V,Y=V,Z=V,A=H", "-A,B,C"},       // a place outside the list: visibility only
        {"A=H,A=V", "B,A,C"},                // a repeated name applies again
        {"C=V,,B=H", "C,A,-B"},
    };
    for (const TCase& c : cases) {
        std::vector<TWidgetLayoutEntry> widgets = {{"A", true, 0}, {"B", true, 1}, {"C", true, 2}};
        ApplyWidgetLayout(c.Value, widgets);
        std::string result;
        for (const TWidgetLayoutEntry& w : widgets)
            result += (result.empty() ? "" : ",") + std::string(w.Visible ? "" : "-") + w.Name;
        EXPECT_EQ(result, c.Result) << c.Value;
    }
}
