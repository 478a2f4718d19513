// The main window's menus, toolbar, controls and their wiring: the module
// list, the search box, the info bar, the close label and the status bar.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/frmPreferences.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4SystemInfo.h"
#include "Components/Controller/mainwindow/frmAbout.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/web/frmWebHelp.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/Dialogs.h"
#include "platform/IniFiles.h"
#include "platform/Processes.h"
#include "platform/StatusBar.h"
#include "ui/KldAppEditor.h"
#include "ui/KldAppPanel.h"
#include "ui/KldModuleView.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The picture of each action: [16-pixel, 24-pixel] indices, -1 for none.
struct TActionPictures
{
    int Small;
    int Large;
};

TActionPictures PicturesOf(TBrowserAction Id)
{
    switch (Id) {
    case actUserLogin:
        return {4, 4};
    case actSelectDatabase:
        return {2, 2};
    case actAdminConsole:
        return {0, 0};
    case actLockBrowser:
        return {3, 3};
    case actUserLogout:
        return {7, 7};
    case actShowModuleList:
        return {6, 6};
    case actUserList:
        return {8, 8};
    case actOrvaneMail:
        return {5, 5};
    case actOndrelExplorer:
        return {14, -1};
    case actSystemInfo:
        return {15, -1};
    case actCloseCurrent:
        return {12, -1};
    default:
        return {-1, -1};
    }
}

QPixmap PixmapOf(const TCustomImageList& Images, int Index)
{
    return Images.ValidIndex(Index) ? QPixmap::fromImage(Images.GetImage(Index)) : QPixmap();
}

// The toolbars' colour ($D8E9EC).
const char* const ToolbarStyle = "QToolBar { background: #ECE9D8; border: none; spacing: 2px; }";

} // namespace

// ---------------------------------------------------------------------------
// Menus and toolbar

void TfrmOrvaneBrowser4::InitMenuToolbar()
{
    QWidget* client = new QWidget(this);
    client->setObjectName("pnlClient");
    setCentralWidget(client);

    // Bottom-aligned controls stack up from the bottom in creation order.
    m_statusBar = new TStatusBar(client);
    m_statusBar->SetName("StatusBar");
    m_statusBar->SetAlign(alBottom);
    m_pnlStatus = new TCustomControl(client);
    m_pnlStatus->SetName("pnlStatus");
    m_pnlStatus->SetAlign(alBottom);
    m_pnlStatus->SetHeight(1);
    m_pnlStatus->SetColor(clBtnShadow);

    m_pnlAdH = new TCustomControl(client);
    m_pnlAdH->SetName("pnlAdH");
    m_pnlAdH->SetAlign(alTop);
    m_pnlAdH->setMinimumHeight(90);
    m_pnlAdH->setMaximumHeight(90);
    m_pnlAdH->SetHeight(90);
    m_pnlAdH->SetColor(clWhite);
    m_pnlAdH->SetCursor(crHandPoint);
    m_pnlInfo = new TCustomControl(client);
    m_pnlInfo->SetName("pnlInfo");
    m_pnlInfo->SetAlign(alTop);
    m_pnlInfo->SetHeight(25);
    m_pnlInfo->SetColor(0xC65920);
    m_pnlAdV = new TCustomControl(client);
    m_pnlAdV->SetName("pnlAdV");
    m_pnlAdV->SetAlign(alRight);
    m_pnlAdV->SetWidth(160);
    m_pnlAdV->SetColor(clWhite);
    m_pnlAdV->SetCursor(crHandPoint);

    // The module desktop: the rest of the client band. Module windows are
    // placed on it once modules open.
    m_appDesktop = new TovnDesktop(client);
    m_appDesktop->SetName("AppDesktop");
    AppDesktop = m_appDesktop;
    m_appDesktop->OnActiveFormChange = [this](TModuleForm* form) { ModuleViewResync(form); };

    for (int i = 0; i < BrowserActionCount; ++i) {
        const auto id = static_cast<TBrowserAction>(i);
        const TBrowserActionInfo info = BrowserActionInfo(id, AppBrand);
        auto* action = new QAction(QString::fromStdString(info.Caption), this);
        action->setObjectName(info.Name);
        action->setProperty("category", info.Category);
        if (*info.Hint)
            action->setToolTip(info.Hint);
        if (*info.ShortCut)
            action->setShortcut(QKeySequence(info.ShortCut));
        const TActionPictures pictures = PicturesOf(id);
        QIcon icon;
        if (pictures.Small >= 0)
            icon.addPixmap(PixmapOf(*m_images16, pictures.Small));
        if (pictures.Large >= 0)
            icon.addPixmap(PixmapOf(*m_images24, pictures.Large));
        action->setIcon(icon);
        QObject::connect(action, &QAction::triggered, this, [this, id] {
            try {
                ExecuteAction(id);
            } catch (...) {
                ApplicationHandleException(BrowserActionInfo(id, AppBrand).Name);
            }
        });
        addAction(action);
        m_actions[id] = action;
    }
    m_actions[actShowModuleGroups]->setCheckable(true);

    // Hidden from creation on for the brands without them.
    if (!BrowserBrand(AppBrand).Community)
        for (TBrowserAction id : {actUserList, actOrvaneMail, actShiftInfo, actShowModuleGroups,
                                  actModuleGroupPreferences, actCustomizeModule})
            m_actions[id]->setVisible(false);
    m_actions[actCloseCurrent]->setEnabled(false);
    m_actions[actUserLogin]->setVisible(true);
    m_actions[actUserLogout]->setVisible(false);

    BuildMenus();
    BuildToolbar();

    // The close label at the right end of the info panel.
    m_closeLabel = new TKldAppLabel(m_pnlInfo);
    m_closeLabel->SetName("lblClose");
    m_closeLabel->SetAlign(alRight);
    m_closeLabel->SetWidth(25);
    m_closeLabel->SetColorA(0xF29959);
    m_closeLabel->SetColorB(0xC65920);
    m_closeLabel->Font().SetColor(clWhite);
    m_closeLabel->Font().SetStyle({fsBold});
    m_closeLabel->SetImages(m_images16.get());
    m_closeLabel->SetImageIndex(12);
    m_closeLabel->SetHotImageIndex(13);
    m_closeLabel->SetImageAlignment(taCenter);
    m_closeLabel->SetImageLayout(tlCenter);
    m_closeLabel->setToolTip("Close Current Window");
    m_closeLabel->SetVisible(false);
    m_closeLabel->OnClick = [this](TObject*) { CloseCurrentExec(); };
}

void TfrmOrvaneBrowser4::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("Menubar");
    auto add = [](QMenu* menu, std::initializer_list<QAction*> items) {
        for (QAction* item : items) {
            if (item)
                menu->addAction(item);
            else
                menu->addSeparator();
        }
    };
    QAction* const line = nullptr;
    QMenu* session = bar->addMenu("&Session");
    add(session, {m_actions[actUserLogin], m_actions[actSelectDatabase], m_actions[actChangePassword],
                  m_actions[actShiftInfo], line, m_actions[actLockBrowser], line, m_actions[actUserLogout], line,
                  m_actions[actExit]});
    QMenu* view = bar->addMenu("&View");
    add(view, {m_actions[actCustomizeModule], m_actions[actShowModuleList], m_actions[actModuleGroupPreferences],
               m_actions[actShowModuleGroups], m_actions[actFindApplet], m_actions[actAppletInfo]});
    QMenu* community = bar->addMenu("&Communication");
    add(community, {m_actions[actUserList], m_actions[actOrvaneMail]});
    community->menuAction()->setVisible(BrowserBrand(AppBrand).Community);
    QMenu* tools = bar->addMenu("Tools");
    add(tools, {m_actions[actAdminConsole], m_actions[actOndrelExplorer], m_actions[actSystemInfo], line,
                m_actions[actPreferences], m_actions[actNotificationPreferences]});
    QMenu* window = bar->addMenu("Window");
    add(window, {m_actions[actCloseCurrent], m_actions[actCloseAll], line});
    m_windowList = std::make_unique<TovnWindowItem>(window);
    m_windowList->SetDesktop(m_appDesktop);
    QMenu* help = bar->addMenu("Help");
    add(help, {m_actions[actOrvaneWebHelp], m_actions[actSendLog]});
    switch (BrowserBrand(AppBrand).HelpSiteItem) {
    case hsiOrvaneOnTheWeb:
        add(help, {line, m_actions[actOrvaneOnTheWeb]});
        break;
    case hsiTallowin:
        add(help, {m_actions[actTallowin]});
        break;
    case hsiNone:
        break;
    }
    add(help, {line, m_actions[actAbout]});
}

void TfrmOrvaneBrowser4::BuildToolbar()
{
    m_toolbar = new QToolBar("Toolbar", this);
    m_toolbar->setObjectName("Toolbar");
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->setStyleSheet(ToolbarStyle);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    auto separator = [this] {
        auto* gap = new QWidget(m_toolbar);
        gap->setFixedWidth(16);
        m_toolbar->addWidget(gap);
    };
    for (TBrowserAction id : {actUserLogin, actSelectDatabase, actAdminConsole, actLockBrowser, actUserLogout})
        m_toolbar->addAction(m_actions[id]);
    separator();
    m_toolbar->addAction(m_actions[actShowModuleList]);
    separator();
    m_toolbar->addAction(m_actions[actUserList]);
    m_toolbar->addAction(m_actions[actOrvaneMail]);
    // The notifications item stands at the right end.
    auto* spring = new QWidget(m_toolbar);
    spring->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spring);
    m_notifyItem = new QAction(QIcon(PixmapOf(*m_images24, 10)), "Notifications", this);
    m_notifyItem->setObjectName("tbNotifications");
    m_notifyItem->setShortcut(QKeySequence(Qt::Key_F12));
    m_notifyItem->setVisible(false);
    addAction(m_notifyItem);
    m_toolbar->addAction(m_notifyItem);
    separator();
}

QMenu* TfrmOrvaneBrowser4::Menu(const std::string& Caption) const
{
    for (QAction* item : menuBar()->actions())
        if (item->text().toStdString() == Caption)
            return item->menu();
    return nullptr;
}

// ---------------------------------------------------------------------------
// Controls

void TfrmOrvaneBrowser4::InitControls()
{
    m_statusBar->AddPanel({"", 210, psOwnerDraw});
    m_statusBar->AddPanel({"", 200, psOwnerDraw});
    m_statusBar->AddPanel({"", 210, psOwnerDraw});
    // The fourth panel ("Idle" at design time) as wide as the third.
    m_statusBar->AddPanel({"", m_statusBar->Panel(2).Width, psOwnerDraw});
    m_statusBar->AddPanel({"", 50, psOwnerDraw});
    m_statusBar->OnDrawPanel = [this](TStatusBar*, int index, const TRect& rect) { DrawStatusPanel(index, rect); };
    m_progressBar = new TProgressBar(m_statusBar);
    m_progressBar->setObjectName("ProgressBar");
    m_progressBar->SetRange(0, ProgressMax);
    m_progressBar->SetHint("Download Progress");
    m_progressBar->setFixedHeight(13);
    m_progressBar->SetVisible(false);

    m_moduleList = new TKldModuleView(centralWidget());
    m_moduleList->SetName("ModuleList");
    m_moduleList->SetVisible(false);
    m_moduleList->SetTabStop(true);
    m_moduleList->SetAlign(alLeft);
    m_moduleList->setMinimumWidth(100);
    m_moduleList->setMaximumWidth(200);
    m_moduleList->SetWidth(160);
    m_moduleList->Font().SetName("Tahoma");
    m_moduleList->Font().SetStyle({});
    m_moduleList->SetBorderColor(0x8D8D8D);
    m_moduleList->SetBorder(TSides{sRight});
    m_moduleList->SetColor(ShiftColor(clWhite, 6));
    m_moduleList->SetColor(0, 0xF29959);
    m_moduleList->SetColor(1, 0xC65920);
    m_moduleList->SetColor(2, clWhite);
    m_moduleList->SetColor(3, 0xFCEBDC);
    m_moduleList->SetColor(4, 0xFCEBDC);
    m_moduleList->SetColor(10, clWhite);
    m_moduleList->SetColor(11, clWhite);
    m_moduleList->SetAutoSplitter(true);
    m_moduleList->SetItemHeight(45);
    m_moduleList->SetSubItemHeight(25);
    m_moduleList->SetGroupItemHeight(30);
    m_moduleList->SetAllowAllExpanded(true);
    m_moduleList->SetImages(m_iconList.get());
    m_moduleList->OnItemSelect = [this](TObject* sender, TKldAppItem* item) { DoModuleSelect(sender, item); };
    m_moduleList->OnExpand = [this](TObject*) { ModuleViewResync(ActiveModuleForm()); };
    m_moduleList->OnResize = [this](TObject*) {
        if (m_moduleList->Visible())
            m_searchBox->SetWidth(m_moduleList->Width());
    };
    // The list comes before the desktop in the band.
    m_moduleList->stackUnder(m_appDesktop);

    m_searchBox = new TKldAppEditor(m_pnlInfo);
    m_searchBox->SetName("SearchBox");
    m_searchBox->SetBgPictureActive(LoadResourceImage("KLD_SEARCH_BOXA", rtBitmap));
    m_searchBox->SetBgPictureInactive(LoadResourceImage("KLD_SEARCH_BOXI", rtBitmap));
    m_searchBox->SetAlign(alLeft);
    m_searchBox->SetWidth(150);
    m_searchBox->Font().SetName("Tahoma");
    m_searchBox->Font().SetSize(8);
    m_searchBox->SetBgColorA(0xED9564);
    m_searchBox->SetBgColorB(0x764A32);
    m_searchBox->SetColorDir(static_cast<TKldGradientDir>(0));
    for (int side = 0; side < 4; ++side)
        m_searchBox->SetMargin(side, 5);
    m_searchBox->RecreateWnd();
    m_searchBox->SetVisible(false);
    TKldEditControl& edit = m_searchBox->Edit();
    edit.OnFillItems = [this](TKldAppItems& items, const std::string& text, int& found, int max) {
        DoFillSearch(items, text, found, max);
    };
    edit.OnPopupInit = [this](TKldAppletViewPopup* view) { SearchPopupInit(view); };
    edit.OnSelectItem = [this](intptr_t tag) { OnSearchSelect(tag); };
    edit.OnPopup = [this](TKldAppletViewPopup* view) { SearchPopupPopup(view); };

    m_infoBar = new TKldAppInfoBar(m_pnlInfo);
    m_infoBar->SetName("InfoBar");
    m_infoBar->SetAlign(alClient);
    m_infoBar->SetColorA(0xF29959);
    m_infoBar->SetColorB(0xC65920);
    m_infoBar->SetSpacerColorA(0xC0C0C0);
    m_infoBar->SetSpacerColorB(0x808080);
    m_infoBar->SetHeight(25);
    m_infoBar->SetPadding(8);
    m_infoBar->SetSpacing(6);
    m_infoBar->SetSpacerMargin(2);
    m_infoBar->SetSpacer(1);
    m_infoBar->SetImages(m_images16.get());
    m_infoBar->Font().SetName("Tahoma");
    m_infoBar->Font().SetColor(clWhite);
    m_infoBar->Font().SetStyle({});
    TKldAppInfoItem* first = m_infoBar->Items().Add();
    first->SetFontStyle({fsBold});
}

// ---------------------------------------------------------------------------
// Executing actions

void TfrmOrvaneBrowser4::ExecuteAction(TBrowserAction Id)
{
    switch (Id) {
    case actUserLogin:
        UserLogInExec();
        break;
    case actChangePassword:
        if (OnChangePassword)
            OnChangePassword();
        else
            ChangePasswordExec();
        break;
    case actShiftInfo:
        ShiftInfoExec();
        break;
    case actLockBrowser:
        LockBrowserExec();
        break;
    case actAbout:
        TfrmAbout::Execute(this);
        break;
    case actOrvaneWebHelp:
        // "[WEB HELP] Home" of the settings replaces the brand's help site
        // (the demo points it at the local server's help page).
        ShowWebHelp(TIniFile(m_iniFileName).ReadString("WEB HELP", "Home", ""));
        break;
    case actUserLogout:
        UserLogoutExec();
        break;
    case actExit:
        close();
        break;
    case actShowModuleList:
        ShowModuleListExec();
        break;
    case actSelectDatabase:
        DBConnectExec();
        break;
    case actShowModuleGroups:
        ShowModuleGroupsExec();
        break;
    case actModuleGroupPreferences:
        ModuleGroupPreferencesExec();
        break;
    case actFindApplet:
        FindAppletExec();
        break;
    case actCloseAll:
        CloseAllExec();
        break;
    case actCustomizeModule:
        CustomizeModuleExec();
        break;
    case actCloseCurrent:
        CloseCurrentExec();
        break;
    case actPreferences:
        PreferencesExec();
        break;
    case actSendLog:
        if (Controller)
            Controller->SendLog(Date(), 1, true);
        break;
    case actOrvaneOnTheWeb:
        OpenWebSite(OrvaneWebSite);
        break;
    case actTallowin:
        OpenWebSite(TallowinWebSite);
        break;
    case actAppletInfo:
        actAppletInfoExecute(this);
        break;
    case actUserList:
        DoOpenUserList();
        break;
    case actOrvaneMail:
        DoOpenOMail();
        break;
    case actAdminConsole:
        DoOpenAdminConsole();
        break;
    case actOndrelExplorer:
        DoOpenOndrelExplorer();
        break;
    case actSystemInfo:
        ShowSystemInfoDialog(this);
        break;
    default:
        // The windows and dialogs of the other actions come with their own
        // units.
        break;
    }
}

void TfrmOrvaneBrowser4::ShowModuleListExec()
{
    m_showModuleListTag = m_showModuleListTag == 1 ? 0 : 1;
    ShowModulesView(m_showModuleListTag == 1);
}

void TfrmOrvaneBrowser4::ShowModuleGroupsExec()
{
    QAction* action = m_actions[actShowModuleGroups];
    // A checkable action has already toggled itself when triggered.
    const bool groups = action->isChecked();
    if (Controller)
        Controller->Preferences().ShowModuleGroups = groups;
    m_moduleList->SetShowByGroups(groups);
    m_moduleList->Invalidate();
}

void TfrmOrvaneBrowser4::PreferencesExec()
{
    if (!TfrmPreferences::Execute() || !Controller)
        return;
    SaveToIni("CONNECTIONS|LOCAL CACHE|USER PREFERENCES");
    Controller->Cache().SetDownloadWhen(Controller->SysPreferences().DownloadWhen);
    ResetMailTimer();
}

void TfrmOrvaneBrowser4::FindAppletExec()
{
    if (m_searchBox->Visible() && m_searchBox->CanFocus())
        m_searchBox->SetFocus();
}

void TfrmOrvaneBrowser4::CloseCurrentExec()
{
    if (QWidget* form = ActiveModuleForm())
        form->close();
}

void TfrmOrvaneBrowser4::OpenWebSite(const std::string& Address)
{
    ShellOpen(Address);
}

// ---------------------------------------------------------------------------
// Module list

QWidget* TfrmOrvaneBrowser4::ActiveModuleForm() const
{
    return m_logged && m_appDesktop ? m_appDesktop->Active() : nullptr;
}

void TfrmOrvaneBrowser4::CustomizeModuleExec()
{
    QWidget* form = ActiveModuleForm();
    if (form && typeid(*form) == typeid(TfrmModuleView))
        static_cast<TfrmModuleView*>(form)->DoCustomizeWidgets();
}

void TfrmOrvaneBrowser4::ShowModulesView(bool Visible)
{
    if (m_moduleList->Visible() == Visible)
        return;
    m_moduleList->SetVisible(Visible);
    TKldEditControl& edit = m_searchBox->Edit();
    if (Visible) {
        m_searchBox->SetAlign(alLeft);
        m_searchBox->SetWidth(m_moduleList->Width());
        edit.SetAlignPopupRight(false);
    } else {
        m_searchBox->SetAlign(alRight);
        m_searchBox->SetWidth(150);
        edit.SetAlignPopupRight(true);
    }
}

TKldAppItem* TfrmOrvaneBrowser4::AddModule(const std::string& Name, int32_t Counter, bool AddToGroupList,
                                           const TModuleFormClass& FormClass, int32_t ImageIndex)
{
    TModuleItem* entry = m_moduleItems->Find(Counter);
    if (!entry) {
        entry = m_moduleItems->Add(Name, Counter);
        entry->ImageIndex = ImageIndex;
        entry->FormClass = FormClass;
    }
    TKldAppItem* item = m_moduleList->Items().Add(Name, ImageIndex);
    item->SetTag(reinterpret_cast<intptr_t>(entry));
    entry->SetAppItem(item);
    if (AddToGroupList)
        m_moduleItems->ModuleNames().AddObject(Name, item);
    return item;
}

void TfrmOrvaneBrowser4::DoModuleSelect(TObject*, TKldAppItem* Item)
{
    if (!Item || Item->Tag() == -1 || Item->Tag() == 0 || Item->GetState(isGroup))
        return;
    if (!Item->GetParent()) {
        m_moduleItems->OpenModule(*reinterpret_cast<TModuleItem*>(Item->Tag()));
        return;
    }
    // A window listed under its module: only one the desktop still holds.
    const int index = m_appDesktop->IndexOf(reinterpret_cast<QWidget*>(Item->Tag()));
    if (index < 0)
        return;
    TModuleForm* form = m_appDesktop->GetForm(index);
    if (form != ActiveModuleForm())
        m_appDesktop->SetActive(form);
}

void TfrmOrvaneBrowser4::ModuleViewResync(QWidget* Form)
{
    TKldAppItem* select = nullptr;
    if (auto* moduleForm = dynamic_cast<TCustomModuleForm*>(Form); moduleForm && moduleForm->ModuleItem())
        select = moduleForm->ModuleItem()->AppItem();
    else if (Form)
        select = m_moduleList->Items().ItemByTag(reinterpret_cast<intptr_t>(Form));
    m_moduleList->CheckSelItem(select);
}

void TfrmOrvaneBrowser4::AppletActivated(TModuleItem* ModuleItem, const std::string& Caption, QWidget* Form)
{
    if (!ModuleItem || !ModuleItem->AppItem() || !Form)
        return;
    TKldAppItem* moduleRow = ModuleItem->AppItem();
    TKldAppItem* child = moduleRow->Items().ItemByTag(reinterpret_cast<intptr_t>(Form));
    if (child) {
        child->SetCaption(Caption);
    } else {
        child = moduleRow->Items().Add(Caption, -1);
        child->SetTag(reinterpret_cast<intptr_t>(Form));
        moduleRow->SetState(isExpanded, true);
    }
    ModuleViewResync(Form);
}

void TfrmOrvaneBrowser4::AppletActivated(const std::string& ModuleName, const std::string& Caption, QWidget* Form)
{
    if (TModuleItem* entry = m_moduleItems->Find(ModuleName))
        AppletActivated(entry, Caption, Form);
}

void TfrmOrvaneBrowser4::AppletClosed(QWidget* Form)
{
    if (TKldAppItem* item = m_moduleList->Items().ItemByTag(reinterpret_cast<intptr_t>(Form)))
        delete item;
}

void TfrmOrvaneBrowser4::ClearModules()
{
    m_moduleItems->ClearLayout();
    m_moduleList->Items().Clear();
}

bool TfrmOrvaneBrowser4::CloseAllExec()
{
    if (m_moduleItems->Modified()) {
        const int answer = MessageDlg(SCloseAllUnsaved, mtConfirmation, mbYesNoCancel);
        if (answer == mrCancel)
            return false;
        m_moduleItems->Close(answer == mrYes);
        if (m_moduleItems->ActiveCount() > 0)
            return false;
    } else {
        m_moduleItems->Close(true);
    }
    m_appDesktop->CloseAll();
    return true;
}

// ---------------------------------------------------------------------------
// Search box

void FillSearchResults(TDataSet& Menu, const TModuleItems& Entries, TKldAppItems& Items,
                       const std::string& SearchString, int& Found, int Max)
{
    Found = 0;
    const std::string search = AnsiUpperCase(SearchString);
    Menu.SetFilter("");
    Menu.First();
    int skipLevel = 0;
    int lastModule = 0;
    bool haveGroup = false;
    TKldAppItem* group = nullptr;
    while (!Menu.Eof() && Found < Max) {
        if (!Menu.FieldByName("EXECUTABLE")->AsBoolean()) {
            skipLevel = 0;
            Menu.Next();
            continue;
        }
        const int level = Menu.FieldByName("Level")->AsInteger();
        if (skipLevel > 0 && level > skipLevel) {
            Menu.Next();
            continue;
        }
        skipLevel = level;
        const std::string description = Menu.FieldByName("Description")->AsString();
        if (AnsiUpperCase(description).find(search) != std::string::npos) {
            const int module = Menu.FieldByName("C_Module")->AsInteger();
            if (!haveGroup || module != lastModule) {
                const TModuleItem* entry = Entries.Find(module);
                group = entry ? Items.Add(entry->Name, -1) : nullptr;
                if (group)
                    group->SetState(isGroup, true);
                lastModule = module;
                haveGroup = true;
            }
            if (group) {
                TKldAppItem* result = group->Items().Add(description, -1);
                result->SetTag(Menu.FieldByName("Index")->AsInteger());
                ++Found;
            }
        }
        Menu.Next();
    }
}

void TfrmOrvaneBrowser4::DoFillSearch(TKldAppItems& Items, const std::string& SearchString, int& Found, int Max)
{
    Found = 0;
    if (!m_sysGetMenu->Active())
        return;
    FillSearchResults(*m_sysGetMenu, *m_moduleItems, Items, SearchString, Found, Max);
}

void TfrmOrvaneBrowser4::OnSearchSelect(intptr_t Tag)
{
    if (Tag < 0 || !m_sysGetMenu->Active())
        return;
    try {
        if (m_sysGetMenu->Locate("Index", Variant(static_cast<int32_t>(Tag)), {}))
            RunApplet(-1, m_sysGetMenu->FieldByName("Resource")->AsString(), sbResource, 0, "", nullptr, true);
    } catch (...) {
        ApplicationHandleException("TfrmOrvaneBrowser4.OnSearchSelect");
    }
}

void TfrmOrvaneBrowser4::SearchPopupInit(TKldAppletViewPopup* View)
{
    View->SetImages(m_iconList.get());
    View->SetTabStop(true);
    View->SetItemPadding(1);
    View->SetItemWidth(220);
    View->SetColor(clWhite);
    View->SetColor(-1, 0xFAFAFA);
    View->SetColor(-2, 0xFAFAFA);
    View->SetColor(-3, View->Color());
    View->SetColor(0, 0xFCEBDC);
    View->SetColor(1, 0xFCDCC1);
    View->SetColor(2, clWhite);
    View->SetColor(3, 0xFEFDFC);
    View->SetColor(4, 0xFDF3EB);
    View->SetColor(6, 0xCEA27D);
    View->SetColor(7, 0xFBD6B8);
    View->SetBorder(AllSides);
    View->SetBorderColor(0xC0C0C0);
    View->SetGroupHeight(6);
    View->SetItemHeight(20);
    View->SetGroupFontSize(8);
    View->SetGroupFontColor(0x8C8C8C);
    View->SetGroupFontStyle({fsBold});
}

void TfrmOrvaneBrowser4::SearchPopupPopup(TKldAppletViewPopup* View)
{
    View->SetMinGroupColWidth(m_moduleList->Width());
}
