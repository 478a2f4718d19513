// Samples of the panel unit: a module window's widget column (an area panel
// whose widgets are captioned panels), labels with their picture and text
// placements, and the main window's info bar.

#include "tools/gallery/GallerySamples.h"

#include "ui/KldAppPanel.h"

#include <QApplication>
#include <QGridLayout>

namespace {

TImageList& SmallIcons()
{
    static TImageList list(16, 16);
    if (list.Count() == 0) {
        const struct
        {
            unsigned Rgb;
            char Letter;
        } icons[] = {{0x1565C0, 'U'}, {0x2E7D32, 'F'}, {0x6A1B9A, 'D'}, {0xEF6C00, 'S'}, {0xC62828, '!'}};
        for (const auto& i : icons)
            list.Add(GallerySampleIcon(16, i.Rgb, i.Letter));
    }
    return list;
}

TPopupMenu& WidgetMenu()
{
    static TPopupMenu menu;
    if (menu.Items().Count() == 0)
        for (const char* caption : {"Refresh", "Hide widget"})
            menu.Items().Add()->SetCaption(caption);
    return menu;
}

// A widget's own panel: a caption bar with a gradient and a text inside.
void StyleWidget(TKldAppPanel& w, const char* caption, const char* text, bool menu)
{
    w.Margin().SetAll(3);
    w.Margin().SetFillColor(RGB(0xEE, 0xF1, 0xF5));
    w.SetBorder(AllSides);
    w.SetBorderColor(RGB(0xB8, 0xC2, 0xCE));
    w.Padding().SetAll(4);
    w.Padding().SetFillColor(clWhite);
    w.SetCaptionSize(22);
    w.SetCaptionColor(0, RGB(0xF4, 0xF8, 0xFD));
    w.SetCaptionColor(1, RGB(0xD9, 0xE6, 0xF5));
    w.CaptionFont().SetStyle({fsBold});
    w.CaptionFont().SetColor(RGB(0x1E, 0x3A, 0x5F));
    w.SetAlignment(taLeftJustify);
    w.SetCaption(caption);
    w.SetColor(clWhite);
    if (menu) {
        w.SetShowMenuButton(true);
        w.SetPopupMenu(&WidgetMenu());
    }
    auto* label = new TKldAppLabel(&w);
    label->SetAlign(alClient);
    label->SetColor(0, clWhite);
    label->SetColor(1, clWhite);
    label->SetWordWrap(true);
    label->SetLayout(0, tlTop);
    label->Font().SetColor(RGB(0x40, 0x48, 0x52));
    label->SetCaption(text);
}

QWidget* MakeWidgetColumn(QWidget* parent)
{
    auto* area = new TKldAppPanel(parent);
    area->SetColor(RGB(0xEE, 0xF1, 0xF5));
    area->Margin().SetAll(2);
    area->Margin().SetFillColor(RGB(0xEE, 0xF1, 0xF5));
    area->Layout().SetColCount(2);
    area->Layout().SetAutoVisible(true);
    const struct
    {
        const char* Caption;
        const char* Text;
        int Height;
        int Span;
        bool Menu;
    } widgets[] = {
        {"Today's shifts", "Early: 6 staff\nLate: 5 staff\nNight: 2 staff", 160, 1, true},
        {"Admissions", "2 residents arrive this week.", 80, 1, false},
        {"Open tasks", "Care plan reviews: 4\nMedication checks: 2", 80, 1, true},
        {"Notices", "The fire drill is on Thursday at 10:00 in the garden wing.", 90, 2, false},
    };
    for (const auto& w : widgets) {
        TKldAppLayoutItem* item = area->Layout().Add();
        StyleWidget(*item->Panel(), w.Caption, w.Text, w.Menu);
        item->SetColSpan(w.Span);
        item->SetHeight(w.Height);
    }
    return area;
}

const TGalleryRegistration WidgetColumn{
    {"app-panel", QSize(520, 420), MakeWidgetColumn, [](QWidget* control) {
         std::vector<std::pair<std::string, QImage>> extra;
         auto* area = dynamic_cast<TKldAppPanel*>(control);
         if (!area || area->Layout().Count() == 0)
             return extra;
         // The pointer over the first widget's menu button.
         TKldAppPanel* first = area->Layout().Items(0)->Panel();
         GalleryHover(first, first->Width() - 20, 12);
         first->Repaint();
         extra.push_back({"app-panel-menu-hot", first->grab().toImage()});
         QEvent leave(QEvent::Leave);
         QApplication::sendEvent(first, &leave);
         first->Repaint();
         return extra;
     }}};

// Labels: a picture left, right, centred on top; a gradient; a tiled
// background; word wrap; a hot picture.
QWidget* MakeLabels(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setAutoFillBackground(true);
    page->setPalette(QPalette(Qt::white));
    auto* grid = new QGridLayout(page);
    grid->setSpacing(8);
    auto add = [&](int row, int col, const char* caption, const std::function<void(TKldAppLabel&)>& setUp) {
        auto* label = new TKldAppLabel(page);
        label->setMinimumSize(150, 56);
        label->SetBorder(AllSides);
        label->SetColor(2, RGB(0xB8, 0xC2, 0xCE));
        label->SetColor(0, RGB(0xF7, 0xF9, 0xFC));
        label->SetColor(1, RGB(0xF7, 0xF9, 0xFC));
        label->Padding().SetAll(4);
        label->Padding().SetPaint(false);
        label->SetImages(&SmallIcons());
        label->SetCaption(caption);
        setUp(*label);
        grid->addWidget(label, row, col);
    };
    add(0, 0, "Picture left", [](TKldAppLabel& l) {
        l.SetImageIdx(0, 0);
        l.SetIndent(1, 2);
        l.SetIndent(0, 6);
    });
    add(0, 1, "Picture right", [](TKldAppLabel& l) {
        l.SetImageIdx(0, 1);
        l.SetAlignment(1, taRightJustify);
        l.SetIndent(0, 4);
    });
    add(0, 2, "Picture on top", [](TKldAppLabel& l) {
        l.SetImageIdx(0, 2);
        l.SetAlignment(1, taCenter);
        l.SetLayout(1, tlTop);
        l.SetIndent(1, 4);
        l.SetAlignment(0, taCenter);
    });
    add(1, 0, "Gradient, centred", [](TKldAppLabel& l) {
        l.SetColor(0, RGB(0xFF, 0xFF, 0xFF));
        l.SetColor(1, RGB(0xC9, 0xDD, 0xF4));
        l.SetAlignment(0, taCenter);
    });
    add(1, 1, "Tiled background", [](TKldAppLabel& l) {
        QImage tile(8, 8, QImage::Format_ARGB32);
        tile.fill(QColor(0xF4, 0xF6, 0xF9));
        for (int i = 0; i < 8; ++i)
            tile.setPixelColor(i, i, QColor(0xDC, 0xE3, 0xEC));
        l.SetBackground(&tile);
        l.SetAlignment(0, taCenter);
        l.Font().SetStyle({fsBold});
    });
    add(1, 2, "A longer caption that wraps onto a second line", [](TKldAppLabel& l) {
        l.SetWordWrap(true);
        l.SetIndent(0, 4);
        l.SetLayout(0, tlTop);
    });
    add(2, 0, "Margin painted", [](TKldAppLabel& l) {
        l.Margin().SetAll(4);
        l.Margin().SetFillColor(RGB(0xFD, 0xE8, 0xC8));
        l.SetImageIdx(0, 3);
        l.SetIndent(1, 2);
        l.SetIndent(0, 6);
    });
    add(2, 1, "Hot picture", [](TKldAppLabel& l) {
        l.SetImageIdx(0, 3);
        l.SetImageIdx(1, 4);
        l.SetIndent(1, 2);
        l.SetIndent(0, 6);
        l.setObjectName(QStringLiteral("hot"));
    });
    add(2, 2, "Bottom right", [](TKldAppLabel& l) {
        l.SetImageIdx(0, 1);
        l.SetAlignment(1, taRightJustify);
        l.SetLayout(1, tlBottom);
        l.SetAlignment(0, taRightJustify);
        l.SetLayout(0, tlBottom);
        l.SetIndent(0, 4);
        l.SetIndent(1, 2);
    });
    return page;
}

const TGalleryRegistration Labels{{"app-label", QSize(500, 210), MakeLabels, [](QWidget* page) {
                                       if (auto* hot = page->findChild<QWidget*>(QStringLiteral("hot")))
                                           GalleryHover(hot, 10, 10);
                                       return std::vector<std::pair<std::string, QImage>>{};
                                   }}};

QWidget* MakeInfoBar(QWidget* parent)
{
    auto* bar = new TKldAppInfoBar(parent);
    bar->SetColor(0, RGB(0xFB, 0xFC, 0xFE));
    bar->SetColor(1, RGB(0xE3, 0xE9, 0xF1));
    bar->SetBorder({sTop, sBottom});
    bar->SetBorderColor(RGB(0xB8, 0xC2, 0xCE));
    bar->SetImages(&SmallIcons());
    bar->SetMargin(3);
    bar->SetPadding(6);
    bar->SetSpacer(2);
    bar->SetSpacing(10);
    bar->SetSpacerMargin(1);
    bar->SetSpacerColor(0, RGB(0xFF, 0xFF, 0xFF));
    bar->SetSpacerColor(1, RGB(0xA8, 0xB4, 0xC2));
    bar->Font().SetColor(RGB(0x20, 0x24, 0x2A));
    const struct
    {
        const char* Name;
        const char* Caption;
        int Image;
    } items[] = {
        {"user", "Anna Berg", 0}, {"facility", "Lindenhof care home", 1}, {"database", "LINDENHOF_MAIN", 2}};
    for (const auto& i : items) {
        TKldAppInfoItem* item = bar->Items().Add();
        item->SetName(i.Name);
        item->SetCaption(i.Caption);
        item->SetImageIndex(i.Image);
    }
    TKldAppInfoItem* shift = bar->Items().Add();
    shift->SetName("shift");
    shift->SetCaption("Late shift");
    shift->SetFontStyle({fsBold});
    shift->SetTransparent(false);
    shift->SetColorA(RGB(0xFF, 0xF4, 0xD6));
    shift->SetColorB(RGB(0xFC, 0xE3, 0xA4));
    shift->SetBorder(AllSides);
    shift->SetBorderColor(RGB(0xE0, 0xB8, 0x50));
    shift->SetFontColor(RGB(0x6B, 0x45, 0x00));
    shift->SetImageIndex(3);
    shift->SetImagePosition(ipRight);
    TKldAppInfoItem* fixed = bar->Items().Add();
    fixed->SetName("notice");
    fixed->SetAutoWidth(false);
    fixed->SetWidth(110);
    fixed->SetAlignment(taCenter);
    fixed->SetCaption("3 notices");
    fixed->SetFontStyle({fsItalic});
    return bar;
}

const TGalleryRegistration InfoBar{{"info-bar", QSize(620, 30), MakeInfoBar, nullptr}};

} // namespace
