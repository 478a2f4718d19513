// Samples of the tab and page controls: the three styles of the system's
// own controls (tabs on top and at the bottom, a close icon, narrowed
// tabs), and stock page controls drawn by the program's tab painter.

#include "tools/gallery/GallerySamples.h"

#include "ui/KldTabControl.h"
#include "ui/ovnTabUtils.h"

#include <QGridLayout>
#include <QLabel>

namespace {

TImageList& TabIcons()
{
    static TImageList list(16, 16);
    if (list.Count() == 0) {
        const struct
        {
            unsigned Rgb;
            char Letter;
        } icons[] = {{0x1565C0, 'T'}, {0x2E7D32, 'Q'}, {0x6A1B9A, 'P'}, {0xEF6C00, 'L'}};
        for (const auto& i : icons)
            list.Add(GallerySampleIcon(16, i.Rgb, i.Letter));
    }
    return list;
}

// A caption above a control.
QWidget* Captioned(QWidget* parent, const char* caption, QWidget* control)
{
    auto* box = new QWidget(parent);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    auto* label = new QLabel(QString::fromUtf8(caption), box);
    // The control, not its caption, takes the height the page gives.
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    grid->addWidget(label, 0, 0);
    control->setParent(box);
    control->setMinimumSize(260, 96);
    grid->addWidget(control, 1, 0);
    return box;
}

template <class T> void StyleTabs(T& t, TKldTabStyle style)
{
    t.SetTabStyle(style);
    t.SetBgColor(RGB(0xE4, 0xE9, 0xF0));
    t.SetBorderColor(RGB(0x8A, 0x9B, 0xB2));
    t.SelectedFont().SetColor(RGB(0x10, 0x30, 0x60));
}

TKldPageControl* Pages(const std::vector<std::string>& captions, TKldTabStyle style)
{
    auto* pages = new TKldPageControl;
    StyleTabs(*pages, style);
    for (size_t i = 0; i < captions.size(); ++i) {
        auto* sheet = new TTabSheet(pages);
        sheet->SetCaption(captions[i]);
        sheet->SetImageIndex(static_cast<int>(i % 4));
        sheet->SetTag(1);
    }
    return pages;
}

QWidget* MakeTabStyles(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setAutoFillBackground(true);
    page->setPalette(QPalette(Qt::white));
    auto* grid = new QGridLayout(page);
    grid->setSpacing(10);

    auto* flat = Pages({"Tables", "Queries", "Procedures"}, ctsVS2005);
    grid->addWidget(Captioned(page, "ctsVS2005", flat), 0, 0);

    auto* slanted = Pages({"Tables", "Queries", "Procedures"}, ctsVS2005TopTabs);
    slanted->SetImages(&TabIcons());
    slanted->SetShowCloseIcon(true);
    slanted->SetActivePageIndex(1);
    grid->addWidget(Captioned(page, "ctsVS2005TopTabs, pictures, close icon", slanted), 0, 1);

    auto* bottom = Pages({"Log", "Messages", "Plan"}, ctsVS2005TopTabs);
    bottom->SetTabPosition(tpBottom);
    bottom->SetBodyOffset(4);
    grid->addWidget(Captioned(page, "ctsVS2005TopTabs at the bottom, body offset 4", bottom), 1, 0);

    auto* narrow = new TKldTabControl;
    StyleTabs(*narrow, ctsVS2005);
    for (const char* text : {"Residents of the garden wing", "Staff on the late shift", "Open care plans"})
        narrow->Tabs().Add(text);
    narrow->SetTabColor(RGB(0xFF, 0xFF, 0xFF));
    grid->addWidget(Captioned(page, "narrowed to fit (tab control)", narrow), 1, 1);

    auto* plain = new TKldTabControl;
    for (const char* text : {"General", "Connection", "Cache"})
        plain->Tabs().Add(text);
    grid->addWidget(Captioned(page, "ctsDefault: the style's own tabs", plain), 2, 0);

    auto* left = Pages({"Users", "Roles"}, ctsDefault);
    left->SetImages(&TabIcons());
    left->SetTabPosition(tpLeft);
    grid->addWidget(Captioned(page, "ctsDefault on the left", left), 2, 1);
    return page;
}

const TGalleryRegistration TabStyles{{"tab-controls", QSize(720, 600), MakeTabStyles, nullptr}};

// Stock page controls handed to the tab painter: the "Book" of a form with
// master and detail pictures on its first tabs, and one with a hidden page.
QWidget* MakeTabPainter(QWidget* parent)
{
    auto* page = new QWidget(parent);
    auto* grid = new QGridLayout(page);
    grid->setSpacing(10);
    auto makeBook = [&](const char* name, bool hideFirst) {
        auto* book = new TPageControl;
        book->SetName(name);
        book->SetImages(&TabIcons());
        // The first two pages take the painter's master (0) and detail (1)
        // pictures in a Book.
        int image = 0;
        for (const char* caption : {"Resident", "Contacts", "Care levels", "Documents"}) {
            auto* sheet = new TTabSheet(book);
            sheet->SetCaption(caption);
            sheet->SetImageIndex(image < 2 ? image : 2);
            ++image;
        }
        if (hideFirst)
            book->Pages(0)->SetTabVisible(false);
        TabPainter->SetTabControl(book);
        return book;
    };
    grid->addWidget(Captioned(page, "a form's \"Book\": master and detail pictures", makeBook("Book", false)),
                    0, 0);
    grid->addWidget(Captioned(page, "another page control, first page hidden", makeBook("Pages", true)), 1,
                    0);
    auto* tabs = new TTabControl;
    for (const char* text : {"Day", "Week", "Month"})
        tabs->Tabs().Add(text);
    TabPainter->SetTabControl(tabs);
    grid->addWidget(Captioned(page, "a tab control: texts only", tabs), 2, 0);
    return page;
}

const TGalleryRegistration TabPainterSample{{"tab-painter", QSize(420, 380), MakeTabPainter, nullptr}};

} // namespace
