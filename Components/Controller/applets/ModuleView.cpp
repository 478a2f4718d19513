#include "Components/Controller/applets/ModuleView.h"

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnAppletUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "base/KldLogFile.h"
#include "platform/DataSet.h"
#include "platform/Dialogs.h"
#include "platform/FileUtils.h"
#include "platform/Params.h"
#include "platform/Processes.h"
#include "ui/KldAppPanel.h"
#include "ui/KldAppletView.h"

#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

const char* const SModuleLoadingMenu = "Loading module menu";
const char* const SModuleNoMenuItems = "No menu items are accessible to you in this module";
const char* const SModuleAppletsOpen =
    "Some applets are open for this module. Please, close applets before closing the module.";
const char* const SCannotInitApplet = "Cannot Initialize Applet: \"%s\". Error code: %d";
const char* const SAppletNoInterface = "Applet library does not support interface";
const char* const SAppletCouldNotInit = "Applet library could not initialize Applet";
const char* const SNoAssociatedProgram = "There is no application associated with the given filename extension.";
const char* const WidgetsGroupCaption = "$WIDGETS";

std::function<bool(const std::string& FileName)> TfrmModuleView::ShellOpener = [](const std::string& FileName) {
    return ShellOpen(FileName);
};
std::function<bool(TStrings& Lines)> TfrmModuleView::ExecuteWidgetsDialog;

namespace {

// The applet view's colour slots.
constexpr std::pair<int, TColor> MenuColors[] = {{-1, 0xFAFAFA}, {-2, 0xF0F0F0}, {-3, 0xDCDCDC}, {0, 0xFCEBDC},
                                                 {1, 0xFCDCC1},  {6, 0xCEA27D},  {3, 0xFEFDFC},  {4, 0xFDF3EB},
                                                 {7, 0xFBD6B8},  {2, 0xFFFFFF}};

QColor QtColor(TColor Color)
{
    return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
}

} // namespace

std::string WidgetLayoutFileName(const std::string& ModuleName)
{
    std::string name = ModuleName;
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '_';
    return name + ".ini";
}

bool IsAppletLibraryFile(const std::string& FileName)
{
    return AnsiSameText(ExtractFileExt(Trim(FileName)), ".so");
}

TCustomModuleForm* CreateModuleView(QWidget* Owner, TModuleItem* Item)
{
    return new TfrmModuleView(Owner, Item);
}

// ---------------------------------------------------------------------------
// Creation and destruction

TfrmModuleView::TfrmModuleView(QWidget* Owner, TModuleItem* Item) : TModuleForm(Owner, Item)
{
    setWindowTitle("Module View");
    if (Item)
        SetCaption(Item->Name);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QtColor(App_Background));
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName("ScrollBox");
    m_scrollBox->setFrameShape(QFrame::NoFrame);
    m_scrollBox->setWidgetResizable(false);
    m_scrollBox->setPalette(palette);
    m_scrollContent = new QWidget;
    m_scrollContent->setAutoFillBackground(true);
    m_scrollContent->setPalette(palette);
    m_scrollBox->setWidget(m_scrollContent);
    layout->addWidget(m_scrollBox);
    // The widget column follows every resize of the scroll box.
    m_scrollBox->viewport()->installEventFilter(this);

    m_appletView = new TKldAppletView(m_scrollContent);
    m_appletView->SetName("AppletView");
    m_appletView->SetColor(App_Background);
    m_appletView->Font().SetName("Tahoma");
    m_appletView->SetItemWidth(App_IW);
    m_appletView->SetItemHeight(App_IH);
    m_appletView->SetItemPadding(App_IPadding);
    m_appletView->SetGroupHeight(App_GH);
    m_appletView->setMinimumWidth(App_ICMin * App_IW);
    m_appletView->setMaximumWidth(App_ICMax * App_IW);
    m_appletView->SetBounds(0, 0, App_ICMin * App_IW, m_appletView->Height());
    for (const auto& [slot, color] : MenuColors)
        m_appletView->SetColor(slot, color);
    m_appletView->SetShowEmptyGroups(false);
    m_appletView->SetShowDefaultText(true);
    m_appletView->SetCaption(SModuleLoadingMenu);
    if (TfrmOrvaneBrowser4* browser = Browser())
        m_appletView->SetImages(&browser->IconList());
    m_appletView->Items().Clear();
    m_appletView->OnDefTextClick = [this](TObject*) { close(); };
    m_appletView->OnItemSelect = [this](TObject*, TKldAppItem* item) { RunAppItem(item, 0); };
    m_appletView->OnResize = [this](TObject*) { ScrollBoxResize(); };

    m_widgetPanel = new TKldAppPanel(m_scrollContent);
    m_widgetPanel->SetName("WidgetPanel");
    m_widgetPanel->SetColor(App_Background);
    m_widgetPanel->setMinimumWidth(App_WidgetPanelWidth);
    m_widgetPanel->SetWidth(App_WidgetPanelWidth);
    m_widgetPanel->SetBorder({});
    m_widgetPanel->SetCaptionSize(0);
    m_widgetPanel->Margin().SetAll(App_IPadding);
    m_widgetPanel->Margin().SetFillColor(App_Background);
    m_widgetPanel->Layout().SetColCount(1);
    m_widgetPanel->Layout().SetAutoVisible(true);
    m_widgetPanel->OnWidgetCreate = [](TKldAppLayoutItem* widget) {
        TKldAppPanel* panel = widget->Panel();
        panel->SetColor(clWhite);
        panel->Margin().SetLeft(App_IPadding);
        panel->Margin().SetRight(App_IPadding);
        panel->Margin().SetFillColor(App_Background);
        panel->SetCaptionSize(21);
        panel->SetCaptionColorA(0xF5F5F5);
        panel->SetCaptionColorB(0xDCDCDC);
        panel->SetBorder(AllSides);
        panel->SetBorderColor(0xC6C6C6);
        panel->CaptionFont().SetColor(0x222222);
        panel->CaptionFont().SetStyle({fsBold});
        widget->SetHeight(App_WidgetHeight);
    };
    m_widgetPanel->OnWidgetDelete = [this](TKldAppLayoutItem* widget) { WidgetDeleted(widget); };
    m_widgetPanel->SetVisible(false);

    OnActivate = [this](TObject* sender) { FormActivate(sender); };
}

TfrmModuleView::~TfrmModuleView()
{
    m_destroying = true;
    OnActivate = nullptr;
    if (Controller)
        Controller->Vars().DeleteModuleParams(GetModuleCounter());
    CloseAllWidgets();
    // Containers still open (the program is ending) go with their applets.
    while (!m_containers.empty())
        delete m_containers.front(); // its destruction takes it off the list
    for (const TWidgetApplet& entry : std::vector<TWidgetApplet>(m_widgetApplets))
        CleanUpWidgetApplet(entry.Applet);
}

TfrmOrvaneBrowser4* TfrmModuleView::Browser() const
{
    return Controller ? Controller->Browser() : nullptr;
}

void TfrmModuleView::FormActivate(TObject* Sender)
{
    m_lastActive = dynamic_cast<QWidget*>(Sender);
}

bool TfrmModuleView::GetModified() const
{
    return std::any_of(m_containers.begin(), m_containers.end(),
                       [](const TKldAppContainer* c) { return c->GetModified(); });
}

void TfrmModuleView::ResetModify()
{
    for (TKldAppContainer* container : m_containers)
        container->ResetModify();
}

bool TfrmModuleView::CloseExecute()
{
    CloseAllApplets(true);
    return close();
}

void TfrmModuleView::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_APPLETNOTIFICATION:
        AppletNotification(Message.WParam, Message.LParam);
        break;
    case WM_LOADMENU:
        DoLoadMenu();
        break;
    case WM_FILLINFOBARITEMS:
        FillInfoBarItems(Message.LParam);
        break;
    default:
        TModuleForm::WndProc(Message);
    }
}

void TfrmModuleView::resizeEvent(QResizeEvent* Event)
{
    TModuleForm::resizeEvent(Event);
    ScrollBoxResize();
}

bool TfrmModuleView::eventFilter(QObject* Watched, QEvent* Event)
{
    if (m_scrollBox && Watched == m_scrollBox->viewport() && Event->type() == QEvent::Resize)
        ScrollBoxResize();
    return TModuleForm::eventFilter(Watched, Event);
}

// ---------------------------------------------------------------------------
// Menu

TKldAppItem* TfrmModuleView::WidgetsGroup() const
{
    TKldAppItems& top = m_appletView->Items();
    for (int i = 0; i < top.Count(); ++i) {
        TKldAppItem* item = top.Items(i);
        if (item->GetState(isGroup) && AnsiSameText(item->Caption(), WidgetsGroupCaption))
            return item;
    }
    return nullptr;
}

void TfrmModuleView::DoLoadMenu()
{
    TfrmOrvaneBrowser4* browser = Browser();
    if (!browser)
        return;
    const int module = GetModuleCounter();
    browser->DoPrepareMenu(module);
    TDataSet& menu = browser->dsMenu();
    if (!menu.Active())
        menu.Open();
    menu.SetFilter("MODULE = " + std::to_string(module));
    menu.SetFiltered(true);
    menu.Refresh();
    menu.First();

    TKldAppItems& top = m_appletView->Items();
    auto icon = [&](const std::string& name) {
        try {
            return browser->IconManager().GetIconIndex(name, -1);
        } catch (...) {
            return -1;
        }
    };
    top.BeginUpdate();
    try {
        top.Clear();
        for (; !menu.Eof(); menu.Next()) {
            const int index = menu.FieldByName("INDEX")->AsInteger();
            const int parentIndex = menu.FieldByName("PARENTINDEX")->AsInteger();
            const std::string description = menu.FieldByName("DESCRIPTION")->AsString();
            const std::string iconName = menu.FieldByName("ICON_RESOURCE")->AsString();
            if (menu.FieldByName("EXECUTABLE")->AsBoolean()) {
                TKldAppItem* parent = top.ItemByTag(parentIndex);
                if (!parent && parentIndex == 0) {
                    // Applets at the top level gather under a group of the
                    // module's name.
                    parent = top.Add(GetModuleName(), -1);
                    parent->SetTag(0);
                    parent->SetState(isGroup, true);
                }
                if (!parent || !parent->GetState(isGroup))
                    continue; // no group to go into
                TKldAppItem* item = parent->Items().Add(description, icon(iconName));
                item->SetTag(index);
                item->SetName(menu.FieldByName("RESOURCE")->AsString());
            } else {
                TKldAppItems* siblings = &top;
                if (parentIndex >= 1) {
                    TKldAppItem* parent = top.ItemByTag(parentIndex);
                    if (!parent || !parent->GetState(isGroup))
                        continue;
                    siblings = &parent->Items();
                }
                TKldAppItem* group = siblings->Add(description, icon(iconName));
                group->SetTag(index);
                group->SetState(isGroup, true);
                if (AnsiSameText(description, WidgetsGroupCaption))
                    group->SetVisible(false);
            }
        }
    } catch (...) {
        top.EndUpdate();
        throw;
    }
    top.EndUpdate();
    m_appletView->SetVisible(true);
    browser->UpdateProgress(0, "");
    m_appletView->SetCaption(SModuleNoMenuItems);
    KldAutoRun();
}

void TfrmModuleView::KldAutoRun()
{
    TKldAppItems& top = m_appletView->Items();
    m_autoRun = top.Count() == 1 && top.Items(0)->Tag() == 0 && top.Items(0)->GetState(isGroup) &&
                top.Items(0)->Items().Count() == 1;
    int widgets = 0;
    bool onlyWidgets = false;
    TKldAppItem* group = nullptr;
    if (!m_autoRun) {
        group = WidgetsGroup();
        widgets = group ? group->Items().Count() : 0;
        onlyWidgets = widgets > 0 && top.Count() == 1;
    }
    m_appletView->SetVisible(!onlyWidgets);
    m_widgetPanel->SetVisible(!m_autoRun && widgets > 0);
    if (m_widgetPanel->Visible())
        m_widgetPanel->Layout().SetColCount(onlyWidgets && widgets > 1 ? 2 : 1);
    ScrollBoxResize();
    if (m_autoRun) {
        RunAppItem(top.Items(0)->Items().Items(0), 0);
    } else if (widgets > 0) {
        LoadLayout();
        for (int i = 0; i < group->Items().Count(); ++i) {
            TKldAppItem* child = group->Items().Items(i);
            if (!child->Visible())
                continue;
            try {
                RunAppItem(child, 1);
            } catch (...) {
                // A widget that fails leaves its place to the others.
            }
        }
    }
}

void TfrmModuleView::RunAppItem(TKldAppItem* Item, int Kind)
{
    TfrmOrvaneBrowser4* browser = Browser();
    if (!Item || !browser)
        return;
    TDataSet& menu = browser->dsMenu();
    if (!menu.Active() || !menu.Locate("Index", Variant(static_cast<int32_t>(Item->Tag())), {}))
        return;
    Launch(menu.FieldByName("Resource")->AsString(), menu.FieldByName("Security_Index")->AsInteger(),
           menu.FieldByName("Description")->AsString(), menu.FieldByName("Module")->AsInteger(),
           menu.FieldByName("Log_Access")->AsBoolean(), 0xF000, "", nullptr, Kind, true);
}

// ---------------------------------------------------------------------------
// Containers, notifications, closing

TKldAppContainer* TfrmModuleView::FindAppletForm(const std::string& Resource) const
{
    for (TKldAppContainer* container : m_containers)
        if (container->Contains(Resource))
            return container;
    return nullptr;
}

bool TfrmModuleView::LiveApplet(const TovnApplet* Applet) const
{
    return std::any_of(m_containers.begin(), m_containers.end(),
                       [Applet](const TKldAppContainer* c) { return c->Contains(Applet); });
}

void TfrmModuleView::AppletNotification(WPARAM WParam, LPARAM LParam)
{
    switch (WParam) {
    case 0:
        // A widget's applet closed itself; any other pointer is none of ours
        // and never followed.
        CleanUpWidgetApplet(reinterpret_cast<TovnApplet*>(LParam));
        break;
    case 1: {
        auto* container = reinterpret_cast<TKldAppContainer*>(LParam);
        const auto it = std::find(m_containers.begin(), m_containers.end(), container);
        if (it == m_containers.end())
            break;
        m_containers.erase(it);
        if (TfrmOrvaneBrowser4* browser = Browser())
            browser->AppletClosed(container);
        break;
    }
    case 2: {
        auto* applet = reinterpret_cast<TovnApplet*>(LParam);
        if (!LiveApplet(applet))
            break;
        if (TfrmOrvaneBrowser4* browser = Browser())
            browser->AppletActivated(ModuleItem(), applet->Caption, applet->Host.data());
        break;
    }
    default:
        break;
    }
}

void TfrmModuleView::FillInfoBarItems(LPARAM List)
{
    auto* info = reinterpret_cast<TovnInfoList*>(List);
    if (!info || !Controller)
        return;
    TParam* facility = Controller->Vars().GetParam("DEFAULT_FACILITY", GetModuleCounter());
    if (!facility)
        facility = Controller->Vars().GetParam("DEFAULT_FACILITY", -1);
    if (facility)
        info->AddInfo("DEFAULT_FACILITY", facility->AsString(), GetImageForKey("FACILITY"));
}

void TfrmModuleView::CloseAllApplets(bool Ask)
{
    if (!Ask)
        for (TKldAppContainer* container : m_containers)
            container->ResetModify();
    while (!m_containers.empty()) {
        TKldAppContainer* container = m_containers.front();
        // A container whose applets stay keeps its data, and so do the
        // ones after it; the view's close is then refused.
        if (!container->AllClose())
            break;
        try {
            delete container; // its destruction tells this view (1124, wParam 1)
        } catch (const std::exception& e) {
            Log.Error(e.what(), "BROWSER", "module view > close all applets");
        }
        std::erase(m_containers, container);
    }
}

bool TfrmModuleView::CloseQuery()
{
    if (m_containers.empty())
        return true;
    if (m_launching == 0)
        MessageDlg(SModuleAppletsOpen, mtInformation, {mbOK});
    if (TModuleItem* item = ModuleItem(); item && item->AppItem())
        item->AppItem()->SetState(isExpanded, true);
    return false;
}

void TfrmModuleView::FormClose(TFormCloseAction& Action)
{
    if (m_launching > 0) {
        // Not under its own launch: the close comes again when it ends.
        m_closePending = true;
        Action = fcaNone;
        return;
    }
    CloseAllWidgets();
    if (TModuleItem* item = ModuleItem(); item && item->Form() == this)
        item->ModuleClosed();
    Action = fcaFree;
}

void TfrmModuleView::RunShell(const std::string& FileName)
{
    if (!FileExists(FileName))
        throw Exception("File " + FileName + " not found");
    if (!ShellOpener || !ShellOpener(FileName))
        throw Exception(SNoAssociatedProgram);
}
