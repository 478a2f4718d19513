// Samples of the module windows: a module view with its menu and widgets, a
// module of widgets only, an applet container, the module desktop with its
// window list, the "Customize Widgets" dialog and the unread-mail badge.
// The applets are made here, in the gallery, as an applet library would
// make them.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/applets/frmWidgets.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnBrowserUtils.h"
#include "ui/KldAppPanel.h"
#include "ui/KldAppletView.h"

#include <QApplication>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <memory>

// The controller library's pictures (the mail button and its badge).
static void InitControllerResources()
{
    Q_INIT_RESOURCE(ControllerResources);
}

namespace {

// The pictures of the samples' menus.
TCustomImageList& SampleIcons()
{
    static TCustomImageList icons(32, 32);
    if (icons.Count() == 0) {
        const std::pair<unsigned, char> pictures[] = {{0x2E7D32, 'I'}, {0x1565C0, 'R'}, {0xC62828, 'A'},
                                                      {0x6A1B9A, 'S'}, {0xEF6C00, 'P'}, {0x00838F, 'C'}};
        for (const auto& [rgb, letter] : pictures)
            icons.Add(GallerySampleIcon(32, rgb, letter));
    }
    return icons;
}

TModuleItems& SampleModules()
{
    static TModuleItems modules;
    if (modules.Count() == 0) {
        modules.Add("Billing", 7);
        modules.Add("Residents", 8);
    }
    return modules;
}

// An applet form with a few lines of text.
class TSampleForm : public TovnAppletForm
{
  public:
    TSampleForm(const std::string& Caption, const std::vector<std::string>& Lines)
    {
        SetCaption(Caption);
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, Qt::white);
        setPalette(palette);
        auto* layout = new QVBoxLayout(this);
        for (const std::string& line : Lines)
            layout->addWidget(new QLabel(QString::fromStdString(line), this));
        layout->addStretch(1);
    }
};

// An invoice list as an applet's main form.
class TInvoiceForm : public TovnAppletForm
{
  public:
    TInvoiceForm()
    {
        SetCaption("Invoices");
        auto* layout = new QVBoxLayout(this);
        auto* filter = new QFormLayout;
        filter->addRow("Resident:", new QLineEdit("All residents", this));
        layout->addLayout(filter);
        auto* grid = new QTableWidget(5, 4, this);
        grid->setObjectName("Grid");
        grid->setHorizontalHeaderLabels({"Invoice", "Resident", "Date", "Amount"});
        const char* rows[][4] = {{"10412", "Ada Brook", "2026-11-02", "1,240.00"},
                                 {"10413", "Ben Carter", "2026-11-02", "980.50"},
                                 {"10414", "Cora Diaz", "2026-11-03", "1,105.00"},
                                 {"10415", "Dan Evans", "2026-11-05", "760.25"},
                                 {"10416", "Eve Ford", "2026-11-06", "1,312.75"}};
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 4; ++c)
                grid->setItem(r, c, new QTableWidgetItem(rows[r][c]));
        grid->horizontalHeader()->setStretchLastSection(true);
        layout->addWidget(grid);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(new QPushButton("New Invoice", this));
        buttons->addWidget(new QPushButton("Close", this));
        layout->addLayout(buttons);
    }
};

TovnApplet* MakeApplet(const std::string& Resource, const std::string& Caption, TovnAppletForm* Form)
{
    auto* applet = new TovnApplet;
    applet->Resource = Resource;
    applet->Caption = Caption;
    applet->MainForm = Form;
    applet->State = asActive;
    return applet;
}

// The module view's menu: two groups of applets and the hidden widget group.
void FillMenu(TKldAppletView& View)
{
    View.SetImages(&SampleIcons());
    TKldAppItems& top = View.Items();
    top.BeginUpdate();
    TKldAppItem* billing = top.Add("Billing", -1);
    billing->SetState(isGroup, true);
    billing->Items().Add("Invoices", 0);
    billing->Items().Add("Receipts", 1);
    billing->Items().Add("Aged Debts", 2);
    billing->Items().Add("Statements", 3);
    TKldAppItem* setup = top.Add("Set-up", -1);
    setup->SetState(isGroup, true);
    setup->Items().Add("Price Lists", 4);
    setup->Items().Add("Charge Codes", 5);
    TKldAppItem* widgets = top.Add("$WIDGETS", -1);
    widgets->SetState(isGroup, true);
    widgets->SetVisible(false);
    top.EndUpdate();
    View.SetCaption(SModuleNoMenuItems);
}

void AddWidget(TfrmModuleView& View, const std::string& Resource, const std::string& Caption,
               const std::vector<std::string>& Lines)
{
    TovnApplet* applet = MakeApplet(Resource, Caption, new TSampleForm(Caption, Lines));
    applet->MainForm->show();
    View.InitWidget(applet, Resource);
}

QWidget* MakeModuleView(QWidget* parent)
{
    auto* view = new TfrmModuleView(parent, SampleModules().Items(0));
    FillMenu(view->AppletView());
    view->WidgetPanel().SetVisible(true);
    AddWidget(*view, "W_DEBTS", "Outstanding Balances",
              {"Residents with a balance: 12", "Total outstanding: 14,210.40", "Oldest: 94 days"});
    AddWidget(*view, "W_TODAY", "Today", {"Invoices raised: 5", "Receipts posted: 3"});
    return view;
}

QWidget* MakeWidgetsOnly(QWidget* parent)
{
    auto* view = new TfrmModuleView(parent, SampleModules().Items(1));
    view->AppletView().SetVisible(false);
    view->WidgetPanel().SetVisible(true);
    view->WidgetPanel().Layout().SetColCount(2);
    AddWidget(*view, "W_CENSUS", "Census", {"Occupied beds: 84 of 90", "Admissions this week: 3"});
    AddWidget(*view, "W_BIRTHDAYS", "Birthdays", {"Ada Brook - 91 today", "Ben Carter - Friday"});
    AddWidget(*view, "W_ALERTS", "Alerts", {"2 care plans due for review", "1 medication order to sign"});
    return view;
}

QWidget* MakeContainer(QWidget* parent)
{
    TModuleItem* billing = SampleModules().Items(0);
    // The container's caption names the module's view.
    static std::unique_ptr<TfrmModuleView> moduleView;
    if (!moduleView) {
        moduleView = std::make_unique<TfrmModuleView>(nullptr, billing);
        billing->SetForm(moduleView.get());
    }
    auto* container = new TKldAppContainer(billing);
    container->setParent(parent);
    container->AddApplet(MakeApplet("INVOICES", "Invoice List", new TSampleForm("Invoice List", {})));
    container->AddApplet(MakeApplet("INVOICE", "Invoices", new TInvoiceForm));
    return container;
}

// The desktop with a module view, a container and a system window; the
// window list is saved beside it.
QWidget* MakeDesktop(QWidget* parent)
{
    auto* desktop = new TovnDesktop(parent);
    TovnDesktop* previous = AppDesktop;
    AppDesktop = desktop;
    auto* view = new TfrmModuleView(nullptr, SampleModules().Items(1));
    view->AppletView().SetVisible(false);
    auto* container = new TKldAppContainer(SampleModules().Items(1));
    container->AddApplet(MakeApplet("RES_LIST", "Resident List",
                                    new TSampleForm("Resident List", {"Ada Brook", "Ben Carter", "Cora Diaz"})));
    container->SetCaption("Residents / Resident List");
    QApplication::processEvents(); // the windows announce themselves
    desktop->SetActive(container);
    container->resize(520, 320);
    container->move(0, 0);
    AppDesktop = previous;
    return desktop;
}

std::vector<std::pair<std::string, QImage>> DesktopWindowList(QWidget* control)
{
    auto* desktop = static_cast<TovnDesktop*>(control);
    // The active window is smaller than the desktop, so the background shows.
    if (TModuleForm* active = desktop->Active())
        active->setGeometry(40, 30, 440, 260);
    QMenu menu;
    menu.addAction("Close Current Window");
    menu.addAction("Close All");
    menu.addSeparator();
    TovnWindowItem list(&menu);
    list.SetDesktop(desktop);
    list.Rebuild();
    menu.adjustSize();
    return {{"module-desktop-window-list", menu.grab().toImage()}};
}

QWidget* MakeCustomizeWidgets(QWidget* parent)
{
    static TKldAppItems items(nullptr, nullptr);
    static TStringList lines;
    if (lines.Count() == 0) {
        for (const char* caption : {"Outstanding Balances", "Today", "Census", "Birthdays"}) {
            TKldAppItem* item = items.Add(caption, -1);
            lines.AddObject(caption, item);
        }
        items.Items(2)->SetVisible(false);
    }
    auto* dialog = new TfrmWidgets(lines, parent);
    dialog->setWindowFlags(Qt::Widget);
    dialog->SetPosition(poDesigned); // in the gallery's window, not centred on the screen
    dialog->List().setCurrentRow(1);
    return dialog;
}

// Badges of a few texts, still and raised, on the mail button's picture.
class TBadgeSheet : public QWidget
{
  public:
    explicit TBadgeSheet(QWidget* parent) : QWidget(parent)
    {
        InitControllerResources();
        try {
            DoLoadPngRes(MailBadgeImage(), "KLD_MAIL_NOTIFY");
            DoLoadPngRes(m_mail, "KLD_MAIL24");
        } catch (const std::exception&) {
            // Drawn without pictures.
        }
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xEC, 0xE9, 0xD8));
        TCanvas canvas(&painter);
        const char* texts[] = {"1", "7", "12", "128", "9999"};
        for (int i = 0; i < 5; ++i)
            for (int raised = 0; raised < 2; ++raised) {
                const int x = 16 + i * 56;
                const int y = 16 + raised * 48;
                if (!m_mail.isNull())
                    painter.drawImage(x, y + 4, m_mail);
                DoDrawBadge(canvas, Rect(x, y, x + 24, y + 24), TPoint{x + 8, y + (raised ? 0 : 2)}, texts[i]);
            }
    }

  private:
    QImage m_mail;
};

QWidget* MakeBadges(QWidget* parent)
{
    return new TBadgeSheet(parent);
}

const TGalleryRegistration moduleView({"module-window", QSize(1000, 560), MakeModuleView, {}});
const TGalleryRegistration widgetsOnly({"module-window-widgets-only", QSize(900, 520), MakeWidgetsOnly, {}});
const TGalleryRegistration container({"applet-container", QSize(560, 340), MakeContainer, {}});
const TGalleryRegistration desktop({"module-desktop", QSize(560, 340), MakeDesktop, DesktopWindowList});
const TGalleryRegistration customize({"customize-widgets", QSize(360, 260), MakeCustomizeWidgets, {}});
const TGalleryRegistration badges({"mail-badge", QSize(300, 110), MakeBadges, {}});

} // namespace
