#include "admin/frmAdmin.h"

#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "admin/frmConnections.h"
#include "admin/frmEnterprises.h"
#include "admin/frmNETHealth.h"
#include "admin/frmUserList.h"
#include "admin/frmUsers.h"
#include "platform/Forms.h"
#include "platform/Resources.h"
#include "ui/KldAppletView.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// The item view as both windows set it up.
TKldAppletView* MakeView(QWidget* Form, const std::string& FontName, int GroupHeight)
{
    auto* layout = new QVBoxLayout(Form);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(Form);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll);
    auto* view = new TKldAppletView;
    scroll->setWidget(view);
    QPalette palette = Form->palette();
    palette.setColor(QPalette::Window, QColor(0xFC, 0xFC, 0xFC));
    Form->setPalette(palette);
    Form->setAutoFillBackground(true);
    scroll->setPalette(palette);
    view->SetColor(App_Background);
    if (!FontName.empty()) {
        QFont font = view->font();
        font.setFamily(QString::fromStdString(FontName));
        view->setFont(font);
    }
    view->SetGroupHeight(GroupHeight);
    view->SetTabStop(true);
    view->SetItemHeight(App_IH);
    view->SetItemWidth(App_IW);
    view->SetItemPadding(App_IPadding);
    view->setMinimumWidth(App_IW * App_ICMin);
    view->setMaximumWidth(App_IW * App_ICMax);
    view->SetColoredItems(true);
    view->SetItemColorA(0xF5F5F5);
    view->SetItemColorB(0xE0E0E0);
    view->SetItemPenColor(0xDCDCDC);
    view->SetSelectedColorA(0xFCEBDC);
    view->SetSelectedColorB(0xFCDCC1);
    view->SetSelectedPenColor(0xCEA27D);
    view->SetSelectedFontColor(0xFFFFFF);
    view->SetHighlightColorA(0xFEFDFC);
    view->SetHighlightColorB(0xFDF3EB);
    view->SetHighlightPenColor(0xFBD6B8);
    return view;
}

TKldAppItem* AddItem(TKldAppItems& Items, const std::string& Caption, int Image, int Tag)
{
    TKldAppItem* item = Items.Add(Caption, Image);
    item->SetTag(Tag);
    return item;
}

// The console's pictures, 32 pixels square, by image index.
void LoadConsoleImages(TCustomImageList& Images)
{
    const char* names[] = {"KLD_ADMIN24",       "KLD_DATABASE24", "KLD_FACILITY16", "KLD_MODULES24", "KLD_INFORMATION16",
                           "KLD_MAIL24",        "KLD_LOCK24",     "KLD_EXPLORER16", "KLD_USER24"};
    for (const char* name : names) {
        QImage image = LoadResourceImage(name, rtRCData);
        if (image.isNull())
            image = QImage(32, 32, QImage::Format_ARGB32_Premultiplied), image.fill(Qt::transparent);
        Images.Add(image.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

} // namespace

TfrmAdmin* frmAdmin()
{
    TfrmOrvaneBrowser4* browser = ApplicationMainForm();
    if (!browser)
        return nullptr;
    return dynamic_cast<TfrmAdmin*>(browser->SystemWindow(swAdminConsole));
}

TfrmAdmin::TfrmAdmin(QWidget* Owner, TModuleItem* Item, TAdminContext Context)
    : TModuleForm(Owner, Item), m_context(std::move(Context))
{
    SetCaption("Administration Console");
    m_view = MakeView(this, "", 0);
    LoadConsoleImages(m_images);
    m_view->SetImages(&m_images);
    m_view->OnItemSelect = [this](TObject* sender, TKldAppItem* item) { KldOnAppSelect(sender, item); };
    ToolFactory = MakeAdminTool;
    OpenExplorer = [] {
        if (TfrmOrvaneBrowser4* browser = ApplicationMainForm())
            browser->DoOpenOndrelExplorer();
    };
    KldInit();
    TKldAppItems& tools = m_view->Items().Items(0)->Items();
    tools.BeginUpdate();
    const bool sys = m_context.Admin.UserType == "SYS";
    for (int tag : {12, 11})
        if (TKldAppItem* item = tools.ItemByTag(tag))
            item->SetVisible(true);
    for (int tag : {13, 16, 17})
        if (TKldAppItem* item = tools.ItemByTag(tag))
            item->SetVisible(sys);
    tools.EndUpdate();
}

TfrmAdmin::~TfrmAdmin() = default;

void TfrmAdmin::KldInit()
{
    TKldAppItem* group = AddItem(m_view->Items(), "Administrative Applets", -1, 0);
    TKldAppItems& tools = group->Items();
    tools.BeginUpdate();
    AddItem(tools, "Connections", 1, 11);
    AddItem(tools, "Users", 8, 12);
    AddItem(tools, "Enterprises", 2, 13);
    AddItem(tools, "Ondrel Explorer", 7, 16);
    AddItem(tools, "Information", 4, 17);
    tools.EndUpdate();
}

void TfrmAdmin::KldOnAppSelect(TObject*, TKldAppItem* Item)
{
    if (!Item)
        return;
    switch (Item->Tag()) {
    case 11:
    case 12:
    case 13:
    case 17: {
        std::unique_ptr<TDialogForm> tool(ToolFactory ? ToolFactory(static_cast<int>(Item->Tag()), m_context) : nullptr);
        if (tool)
            tool->ShowModal();
        break;
    }
    case 16:
        if (OpenExplorer)
            OpenExplorer();
        break;
    default:
        break;
    }
}

void TfrmAdmin::FormClose(TFormCloseAction& Action)
{
    Action = fcaFree;
    if (Controller)
        Controller->AppletClosed(this);
}

TDialogForm* MakeAdminTool(int Tag, const TAdminContext& Context)
{
    switch (Tag) {
    case 11:
        return MakeConnectionsTool(Context);
    case 12:
        return new TfrmUsers(Context);
    case 13:
        return new TfrmEnterprises(Context);
    case 17:
        return new TfrmNETHealth(NETHealthContextOfController());
    default:
        return nullptr;
    }
}

TfrmSystemView::TfrmSystemView(QWidget* Owner, TModuleItem* Item, TCustomImageList* Images)
    : TModuleForm(Owner, Item)
{
    SetCaption("System");
    m_view = MakeView(this, "Tahoma", 27);
    m_view->SetImages(Images);
    m_view->OnItemSelect = [this](TObject* sender, TKldAppItem* item) { DoOnAppSelect(sender, item); };
    RunSysApplet = [](int32_t Kind) {
        if (Controller)
            Controller->RunSysApplet(Kind);
    };
    if (AppBrand == 0) {
        TKldAppItem* communication = AddItem(m_view->Items(), "Communication", -1, 0);
        AddItem(communication->Items(), "Show User List", 8, 1);
        AddItem(communication->Items(), "O-Mail", 5, 3);
    }
    TKldAppItem* administration = AddItem(m_view->Items(), "Administration", -1, 0);
    AddItem(administration->Items(), "Administration Console", 0, 10);
}

void TfrmSystemView::DoOnAppSelect(TObject*, TKldAppItem* Item)
{
    if (Item && RunSysApplet)
        RunSysApplet(static_cast<int32_t>(Item->Tag()));
}

namespace {

// The main window makes the console and the user list through its holders
// and the "System" module's page through the module entry.
const bool Registered = [] {
    RegisterSystemWindow(swAdminConsole, [](QWidget* Owner) -> QWidget* {
        return new TfrmAdmin(Owner, nullptr, ControllerAdminContext());
    });
    RegisterSystemWindow(swUserList, [](QWidget* Owner) -> QWidget* {
        return new TfrmUserList(Owner, nullptr, UserListContextOfController());
    });
    SetSystemModuleForm([](QWidget* Owner, TModuleItem* Item) -> TCustomModuleForm* {
        TfrmOrvaneBrowser4* browser = ApplicationMainForm();
        return new TfrmSystemView(Owner, Item, browser ? &browser->Images24() : nullptr);
    });
    return true;
}();

} // namespace
