// Samples of the search box: the box in a strip with its text typed and
// the result list dropped down (saved as a picture of its own).

#include "tools/gallery/GallerySamples.h"

#include "ui/KldAppEditor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// A three-slice background: a rounded field, with a blue rim when active.
QImage FieldPicture(bool active)
{
    QImage picture(36, 24, QImage::Format_ARGB32);
    picture.fill(QColor(0xE9, 0xEE, 0xF4));
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath field;
    field.addRoundedRect(QRectF(0.5, 1.5, 35, 21), 10, 10);
    p.fillPath(field, Qt::white);
    p.setPen(QPen(active ? QColor(0x3B, 0x82, 0xD6) : QColor(0xB8, 0xC2, 0xCE), 1));
    p.drawPath(field);
    return picture;
}

struct TMenuEntry
{
    const char* Group;
    const char* Caption;
};

const TMenuEntry Menu[] = {
    {"Residents", "Admissions"},   {"Residents", "Care plans"},          {"Residents", "Care plan reviews"},
    {"Staff", "Staff list"},       {"Staff", "Qualifications"},          {"Care", "Care notes"},
    {"Care", "Medication rounds"}, {"Administration", "Care home data"}, {"Staff", "Shift plan"},
};

QWidget* MakeSearchBox(QWidget* parent)
{
    auto* strip = new QWidget(parent);
    strip->setAutoFillBackground(true);
    strip->setPalette(QPalette(QColor(0xE9, 0xEE, 0xF4)));
    auto* box = new TKldAppEditor(strip);
    box->setObjectName(QStringLiteral("box"));
    box->SetBounds(10, 8, 240, 24);
    box->SetBgPicture(0, FieldPicture(true));
    box->SetBgPicture(1, FieldPicture(false));
    box->SetMargin(1, 5);
    box->SetMargin(3, 4);
    box->SetColor(clWhite);
    TKldEditControl& edit = box->Edit();
    edit.Font().SetSize(9);
    edit.OnPopupInit = [](TKldAppletViewPopup* view) {
        view->SetGroupHeight(3);
        view->SetItemHeight(22);
        view->SetColor(clWhite);
        view->SetBorder(AllSides);
        view->SetBorderColor(0x808080);
        view->SetItemColorA(clWhite);
        view->SetItemColorB(clWhite);
        view->SetSelectedColorA(RGB(0xDC, 0xEA, 0xFB));
        view->SetSelectedColorB(RGB(0xC5, 0xDB, 0xF6));
        view->SetSelectedPenColor(RGB(0x7F, 0xA8, 0xE0));
        view->SetHighlightColorA(RGB(0xF0, 0xF5, 0xFC));
        view->SetHighlightColorB(RGB(0xE4, 0xEE, 0xFB));
        view->SetHighlightPenColor(RGB(0xB0, 0xC8, 0xEC));
        view->SetGroupFontColor(RGB(0x60, 0x68, 0x72));
        view->SetGroupFontSize(8);
        view->SetMinGroupColWidth(90);
    };
    edit.OnFillItems = [](TKldAppItems& items, const std::string& search, int& found, int max) {
        for (const TMenuEntry& e : Menu) {
            const QString caption = QString::fromUtf8(e.Caption);
            if (found >= max || !caption.contains(QString::fromStdString(search), Qt::CaseInsensitive))
                continue;
            TKldAppItem* group = items.ItemByText(e.Group);
            if (!group)
                group = items.Add(e.Group, -1);
            group->Items().Add(e.Caption, -1);
            ++found;
        }
    };
    return strip;
}

const TGalleryRegistration SearchBox{
    {"search-box", QSize(360, 40), MakeSearchBox, [](QWidget* strip) {
         std::vector<std::pair<std::string, QImage>> extra;
         auto* box = dynamic_cast<TKldAppEditor*>(strip->findChild<QWidget*>(QStringLiteral("box")));
         if (!box)
             return extra;
         extra.push_back({"search-box-inactive", box->grab().toImage()});
         box->SetFocus();
         for (const char* key : {"c", "a", "r", "e"}) {
             QKeyEvent event(QEvent::KeyPress, Qt::Key_A + (key[0] - 'a'), Qt::NoModifier,
                             QString::fromLatin1(key));
             QApplication::sendEvent(&box->Edit(), &event);
         }
         QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
         QApplication::sendEvent(&box->Edit(), &down);
         QApplication::processEvents();
         if (TKldPopupControl* popup = box->Edit().PopupWindow()) {
             if (TKldAppletViewPopup* view = box->Edit().View()) {
                 const TRect row = view->GetItemRect(view->GetVisItem(2));
                 GalleryHover(view, row.Left + 40, row.Top + 4);
             }
             extra.push_back({"search-box-results", popup->grab().toImage()});
         }
         return extra;
     }}};

} // namespace
