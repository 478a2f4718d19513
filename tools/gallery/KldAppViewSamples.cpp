// Samples of the navigation views: the module list (plain and by groups) and
// the applet grid (filled, with its popup, and empty with its default text).

#include "tools/gallery/GallerySamples.h"

#include "ui/KldAppView.h"

#include <QMenu>
#include <QScrollArea>

#include <memory>

namespace {

// The pictures of the samples, shared by all of them.
TImageList& ModuleIcons()
{
    static TImageList list(20, 20);
    if (list.Count() == 0) {
        const struct
        {
            unsigned Rgb;
            char Letter;
        } icons[] = {{0x2E7D32, 'S'}, {0x1565C0, 'R'}, {0xC62828, 'C'}, {0x6A1B9A, 'A'},
                     {0xEF6C00, 'M'}, {0x00838F, 'P'}, {0x5D4037, 'F'}, {0x455A64, 'H'}};
        for (const auto& i : icons)
            list.Add(GallerySampleIcon(20, i.Rgb, i.Letter));
    }
    return list;
}

TImageList& TileIcons()
{
    static TImageList list(32, 32);
    if (list.Count() == 0) {
        const struct
        {
            unsigned Rgb;
            char Letter;
        } icons[] = {{0x2E7D32, 'R'}, {0x1565C0, 'N'}, {0xC62828, 'M'}, {0x6A1B9A, 'H'},
                     {0xEF6C00, 'O'}, {0x00838F, 'T'}, {0x5D4037, 'I'}, {0x455A64, 'E'}};
        for (const auto& i : icons)
            list.Add(GallerySampleIcon(32, i.Rgb, i.Letter));
    }
    return list;
}

void StyleModuleView(TKldModuleView& v)
{
    v.SetColor(RGB(0xF7, 0xF8, 0xFA));
    v.SetItemHeight(34);
    v.SetSubItemHeight(24);
    v.SetGroupItemHeight(26);
    v.SetBorder({sRight});
    v.SetBorderColor(RGB(0xC8, 0xCC, 0xD2));
    v.SetSelectedColorA(RGB(0x3B, 0x82, 0xD6));
    v.SetSelectedColorB(RGB(0x1E, 0x5F, 0xB0));
    v.SetSelectedFontColor(clWhite);
    v.SetHighlightColorA(RGB(0xE4, 0xEE, 0xFB));
    v.SetHighlightColorB(RGB(0xD2, 0xE2, 0xF7));
    v.SetHighlightFontColor(RGB(0x10, 0x30, 0x60));
    v.SetSubColorA(RGB(0xEE, 0xF1, 0xF5));
    v.SetSubColorB(RGB(0xF7, 0xF8, 0xFA));
    v.Font().SetSize(9);
    v.Font().SetColor(RGB(0x20, 0x24, 0x2A));
    v.SetImages(&ModuleIcons());
}

struct TModule
{
    const char* Caption;
    int Image;
    std::vector<const char*> Windows;
};

const TModule Modules[] = {
    {"Staff", 0, {"Staff list", "Qualifications"}},
    {"Residents", 1, {"Admissions", "Care plans", "Discharges"}},
    {"Care notes", 2, {}},
    {"Administration", 3, {}},
    {"Medication", 4, {}},
    {"Shift planning", 5, {"Week plan"}},
    {"Finance", 6, {}},
    {"Housekeeping", 7, {}},
    {"Reports", -1, {}},
    {"Messages", -1, {}},
};

void FillModules(TKldModuleView& v)
{
    v.Items().BeginUpdate();
    int tag = 0;
    for (const TModule& m : Modules) {
        TKldAppItem* item = v.Items().Add(m.Caption, m.Image);
        for (const char* w : m.Windows)
            item->Items().Add(w, -1)->SetTag(tag++);
    }
    v.Items().EndUpdate();
}

const TGalleryRegistration ModuleView{{"module-view", QSize(230, 420),
                                       [](QWidget* parent) {
                                           auto* v = new TKldModuleView(parent);
                                           StyleModuleView(*v);
                                           FillModules(*v);
                                           v->Items().Items(1)->SetState(isExpanded, true);
                                           v->Items().Items(5)->SetState(isExpanded, true);
                                           v->SetSelItem(v->Items().Items(1)->Items().Items(1));
                                           return v;
                                       },
                                       [](QWidget* control) {
                                           auto* v = static_cast<TKldModuleView*>(control);
                                           // Hover a row, so the hot colours and the arrows show.
                                           const TRect r = v->GetItemRect(v->GetVisItem(0));
                                           GalleryHover(v, 120, (r.Top + r.Bottom) / 2);
                                           v->ScrollTo(30);
                                           return std::vector<std::pair<std::string, QImage>>{};
                                       }}};

const TGalleryRegistration ModuleViewGroups{
    {"module-view-groups", QSize(230, 420),
     [](QWidget* parent) {
         auto* v = new TKldModuleView(parent);
         StyleModuleView(*v);
         FillModules(*v);
         v->Items().BeginUpdate();
         struct
         {
             const char* Caption;
             const char* Members;
             bool Open;
         } groups[] = {{"Daily work", "Residents\r\nCare notes\r\nMedication", true},
                       {"Planning", "Staff\r\nShift planning", false},
                       {"Office", "Administration\r\nFinance\r\nReports", false}};
         for (const auto& g : groups) {
             TKldAppItem* item = v->Items().Add(g.Caption, -1);
             item->SetState(isGroup, true);
             item->SetState(isExpanded, g.Open);
             item->Items().SetMemberText(g.Members);
         }
         v->Items().Items(1)->SetState(isExpanded, true);
         v->Items().EndUpdate();
         v->SetShowByGroups(true);
         v->SetSelItem(v->Items().ItemByText("Office"));
         return v;
     },
     nullptr}};

struct TTile
{
    const char* Caption;
    int Image;
    std::vector<const char*> Children;
};

void FillApplets(TKldAppletView& v)
{
    const struct
    {
        const char* Caption;
        std::vector<TTile> Tiles;
    } groups[] = {
        {"Daily work",
         {{"Roster", 0, {}},
          {"Nursing notes", 1, {}},
          {"Medication", 2, {}},
          {"Handover", 3, {"Early shift", "Late shift", "Night shift"}},
          {"Observations", 4, {}}}},
        {"Reports",
         {{"Occupancy", 5, {}}, {"Incidents", 6, {}}, {"Hours worked per employee and month", 7, {}}}},
        {"Without pictures", {{"Settings", -1, {}}, {"Templates", -1, {"Letters", "Forms"}}}},
    };
    v.Items().BeginUpdate();
    for (const auto& g : groups) {
        TKldAppItem* group = v.Items().Add(g.Caption, -1);
        for (const TTile& t : g.Tiles) {
            TKldAppItem* tile = group->Items().Add(t.Caption, t.Image);
            for (const char* c : t.Children) {
                TKldAppItem* child = tile->Items().Add(c, -1);
                if (std::string(c) == "Late shift")
                    child->Items().Add("Weekend", -1);
            }
        }
    }
    v.Items().EndUpdate();
}

void StyleAppletView(TKldAppletView& v)
{
    v.SetColor(clWhite);
    v.SetItemWidth(150);
    v.SetItemHeight(64);
    v.SetGroupHeight(26);
    v.SetBorderColor(RGB(0xCC, 0x66, 0x00));
    v.SetItemColorA(RGB(0xFA, 0xFB, 0xFC));
    v.SetItemColorB(RGB(0xEC, 0xEF, 0xF3));
    v.SetItemPenColor(RGB(0xC8, 0xCC, 0xD2));
    v.SetSelectedColorA(RGB(0x3B, 0x82, 0xD6));
    v.SetSelectedColorB(RGB(0x1E, 0x5F, 0xB0));
    v.SetSelectedFontColor(clWhite);
    v.SetSelectedPenColor(RGB(0x17, 0x4A, 0x8A));
    v.SetHighlightColorA(RGB(0xE4, 0xEE, 0xFB));
    v.SetHighlightColorB(RGB(0xD2, 0xE2, 0xF7));
    v.SetHighlightFontColor(RGB(0x10, 0x30, 0x60));
    v.SetHighlightPenColor(RGB(0x7F, 0xA8, 0xE0));
    v.SetColoredItems(true);
    v.Font().SetSize(9);
    v.Font().SetColor(RGB(0x20, 0x24, 0x2A));
    v.SetImages(&TileIcons());
}

// The grid sizes itself to its content: hosts put it in a scrolling area.
QWidget* AppletHost(QWidget* parent, const std::function<void(TKldAppletView&)>& setUp)
{
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    page->setPalette(QPalette(Qt::white));
    auto* v = new TKldAppletView(page);
    v->setObjectName(QStringLiteral("grid"));
    v->SetAlign(alTop);
    StyleAppletView(*v);
    setUp(*v);
    area->setWidget(page);
    return area;
}

TKldAppletView* GridOf(QWidget* host)
{
    return host->findChild<QWidget*>(QStringLiteral("grid"))
               ? dynamic_cast<TKldAppletView*>(host->findChild<QWidget*>(QStringLiteral("grid")))
               : nullptr;
}

const TGalleryRegistration AppletView{{"applet-view", QSize(640, 420),
                                       [](QWidget* parent) {
                                           return AppletHost(parent, [](TKldAppletView& v) {
                                               FillApplets(v);
                                               v.SetSelIdx(1);
                                           });
                                       },
                                       [](QWidget* host) {
                                           TKldAppletView* v = GridOf(host);
                                           std::vector<std::pair<std::string, QImage>> extra;
                                           if (!v)
                                               return extra;
                                           TKldAppItem* handover = v->Items().ItemByText("Handover");
                                           const TRect r = v->GetItemRect(handover);
                                           GalleryHover(v, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
                                           v->DoShowPopup(handover);
                                           if (QMenu* menu = v->PopupMenu().Menu()) {
                                               menu->setActiveAction(menu->actions().value(1));
                                               extra.push_back({"applet-view-popup", menu->grab().toImage()});
                                           }
                                           v->PopupMenu().CloseMenu();
                                           return extra;
                                       }}};

const TGalleryRegistration AppletViewEmpty{{"applet-view-empty", QSize(400, 160),
                                            [](QWidget* parent) {
                                                return AppletHost(parent, [](TKldAppletView& v) {
                                                    v.SetCaption(
                                                        "No applets yet: click here to load the menu");
                                                    v.SetShowDefaultText(true);
                                                    v.OnDefTextClick = [](TObject*) {};
                                                });
                                            },
                                            nullptr}};

} // namespace
