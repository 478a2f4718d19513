// Draws the pictures of the user-interface framework into a folder, under
// the names the units load them by ("PNG_SLIDERUP", "BMP_APPSUB", ...). The
// results are kept in ui/resources and compiled into the program; run this
// again after changing a picture:
//   drawartwork ui/resources
// With --sheet FILE it also writes every picture enlarged eight times on one
// sheet, to look at them.
// Bitmaps with a key colour are drawn without anti-aliasing, so that no edge
// pixel blends into the key and survives as a halo.

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cstdio>
#include <functional>
#include <string>

namespace {

const QColor Ink(0x40, 0x40, 0x40);
const QColor Grey(0x80, 0x80, 0x80);
const QColor Accent(0x1E, 0x6B, 0xC8);
const QColor Magenta(255, 0, 255);

struct TPicture
{
    const char* Name;
    const char* Format; // "PNG" or "BMP"
    int Width;
    int Height;
    QColor Background; // transparent for PNG pictures
    bool Smooth;
    std::function<void(QPainter&)> Draw;
};

void Triangle(QPainter& p, const QColor& c, std::initializer_list<QPointF> points)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF(points));
}

// A rounded pill with a chevron pointing up or down.
void SliderButton(QPainter& p, bool up, bool selected)
{
    const QRectF box(0.5, 0.5, 16, 10);
    p.setPen(QPen(selected ? Accent.darker(130) : QColor(0xA0, 0xA0, 0xA0), 1));
    p.setBrush(selected ? Accent : QColor(255, 255, 255, 220));
    p.drawRoundedRect(box, 3, 3);
    QPen chevron(selected ? Qt::white : Ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(chevron);
    p.setBrush(Qt::NoBrush);
    if (up)
        p.drawPolyline(QPolygonF({{5.0, 7.0}, {8.5, 3.5}, {12.0, 7.0}}));
    else
        p.drawPolyline(QPolygonF({{5.0, 4.0}, {8.5, 7.5}, {12.0, 4.0}}));
}

void MenuButton(QPainter& p, bool selected)
{
    const QRectF box(0.5, 0.5, 34, 14);
    p.setPen(QPen(selected ? Accent.darker(130) : QColor(0xB0, 0xB0, 0xB0), 1));
    p.setBrush(selected ? Accent : QColor(255, 255, 255, 200));
    p.drawRoundedRect(box, 3, 3);
    const QColor c = selected ? Qt::white : Ink;
    p.setPen(QPen(c, 1));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(7, 4.5 + 3 * i), QPointF(19, 4.5 + 3 * i));
    Triangle(p, c, {{23, 6}, {30, 6}, {26.5, 10}});
}

// The data-entry controls' state glyphs (16 x 16) and radio glyphs (12 x 12).
void Pencil(QPainter& p, const QColor& body)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Ink);
    p.setBrush(body);
    p.drawPolygon(QPolygonF({{3, 10}, {10, 3}, {12, 5}, {5, 12}}));
    p.setBrush(QColor(0xF0, 0xD0, 0xA0));
    p.drawPolygon(QPolygonF({{3, 10}, {5, 12}, {2, 13}}));
}

void Lock(QPainter& p, const QColor& body)
{
    p.setPen(QPen(Grey, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(5, 2, 5, 5);
    p.setPen(Ink);
    p.setBrush(body);
    p.drawRect(3, 6, 9, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRect(7, 8, 1, 3);
}

void NoEntry(QPainter& p)
{
    p.setPen(QPen(QColor(0xA8, 0xA8, 0xA8), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(3, 3, 9, 9);
    p.drawLine(5, 10, 10, 5);
}

// A radio glyph: a ring, filled with a dot when chosen.
void Radio(QPainter& p, bool chosen, const QColor& ring, const QColor& face, const QColor& dot)
{
    p.setPen(QPen(ring, 1));
    p.setBrush(face);
    p.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    if (chosen) {
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(QRectF(3.5, 3.5, 5, 5));
    }
}

const QColor RadioRing(0x80, 0x80, 0x80);
const QColor RadioFocus(0x20, 0x59, 0xC6);
const QColor RadioOff(0xC0, 0xC0, 0xC0);
const QColor RadioOffFace(0xF0, 0xF0, 0xF0);

void Plus(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2E, 0x8B, 0x3E));
    p.drawRect(QRectF(6.5, 3, 3, 10));
    p.drawRect(QRectF(3, 6.5, 10, 3));
}

void Dots(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    for (double x : {3.0, 7.0, 11.0})
        p.drawEllipse(QPointF(x + 0.5, 11), 1.3, 1.3);
}

void InfoMark(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 5), 1.2, 1.2);
    p.drawRect(QRectF(7, 7, 2, 5));
}

// Entries of the radio glyphs: RADIO_F and RADIO_T, plain, focused and
// disabled.
#define KLD_RADIO_GLYPHS(Prefix, Format, Bg, Smooth)                                                          \
    {Prefix "RADIO_F", Format, 12, 12, Bg, Smooth,                                                             \
     [](QPainter& p) { Radio(p, false, RadioRing, Qt::white, Ink); }},                                         \
        {Prefix "RADIO_T", Format, 12, 12, Bg, Smooth,                                                         \
         [](QPainter& p) { Radio(p, true, RadioRing, Qt::white, Ink); }},                                      \
        {Prefix "RADIO_F_FOCUSED", Format, 12, 12, Bg, Smooth,                                                 \
         [](QPainter& p) { Radio(p, false, RadioFocus, QColor(0xE8, 0xF0, 0xFF), RadioFocus); }},              \
        {Prefix "RADIO_T_FOCUSED", Format, 12, 12, Bg, Smooth,                                                 \
         [](QPainter& p) { Radio(p, true, RadioFocus, QColor(0xE8, 0xF0, 0xFF), RadioFocus); }},               \
        {Prefix "RADIO_F_DISABLED", Format, 12, 12, Bg, Smooth,                                                \
         [](QPainter& p) { Radio(p, false, RadioOff, RadioOffFace, RadioOff); }},                              \
        {Prefix "RADIO_T_DISABLED", Format, 12, 12, Bg, Smooth,                                                \
         [](QPainter& p) { Radio(p, true, RadioOff, RadioOffFace, RadioOff); }}

#define KLD_STATE_GLYPHS(Prefix, Format, Bg, Smooth)                                                          \
    {Prefix "DISABLED", Format, 16, 16, Bg, Smooth, [](QPainter& p) { NoEntry(p); }},                          \
        {Prefix "READ_FOCUSED", Format, 16, 16, Bg, Smooth, [](QPainter& p) { Lock(p, QColor(0xE0, 0xA8, 0x20)); }}, \
        {Prefix "READ_NORMAL", Format, 16, 16, Bg, Smooth,                                                     \
         [](QPainter& p) { Lock(p, QColor(0xD8, 0xD8, 0xD8)); }},                                              \
        {Prefix "NORMAL", Format, 16, 16, Bg, Smooth, [](QPainter& p) { Pencil(p, QColor(0xD8, 0xD8, 0xD8)); }}, \
        {Prefix "FOCUSED", Format, 16, 16, Bg, Smooth, [](QPainter& p) { Pencil(p, Accent); }}

const TPicture Pictures[] = {
    {"PNG_SLIDERUP", "PNG", 17, 11, Qt::transparent, true, [](QPainter& p) { SliderButton(p, true, false); }},
    {"PNG_SLIDERDN", "PNG", 17, 11, Qt::transparent, true,
     [](QPainter& p) { SliderButton(p, false, false); }},
    {"PNG_SLIDERUP_SEL", "PNG", 17, 11, Qt::transparent, true,
     [](QPainter& p) { SliderButton(p, true, true); }},
    {"PNG_SLIDERDN_SEL", "PNG", 17, 11, Qt::transparent, true,
     [](QPainter& p) { SliderButton(p, false, true); }},
    {"PNG_DN", "PNG", 9, 9, Qt::transparent, true,
     [](QPainter& p) {
         Triangle(p, Grey, {{1, 2.5}, {8, 2.5}, {4.5, 7}});
     }},
    {"PNG_RIGHT", "PNG", 9, 9, Qt::transparent, true,
     [](QPainter& p) {
         Triangle(p, Grey, {{2.5, 1}, {7, 4.5}, {2.5, 8}});
     }},
    {"BMP_UP", "BMP", 11, 10, Qt::white, false,
     [](QPainter& p) {
         Triangle(p, Ink, {{2, 7}, {9, 7}, {5.5, 3.5}});
     }},
    {"BMP_DN", "BMP", 11, 10, Qt::white, false,
     [](QPainter& p) {
         Triangle(p, Ink, {{2, 3}, {9, 3}, {5.5, 6.5}});
     }},
    {"BMP_APPSUB", "BMP", 11, 10, Qt::white, false,
     [](QPainter& p) {
         // Two stacked sheets: "more inside".
         p.setPen(Ink);
         p.setBrush(QColor(0xF4, 0xF4, 0xF4));
         p.drawRect(3, 0, 7, 6);
         p.setBrush(Accent);
         p.drawRect(0, 3, 7, 6);
     }},
    {"PNG_APPPANEL_MENU", "PNG", 35, 15, Qt::transparent, true, [](QPainter& p) { MenuButton(p, false); }},
    {"PNG_APPPANEL_MENU_SEL", "PNG", 35, 15, Qt::transparent, true, [](QPainter& p) { MenuButton(p, true); }},
    {"BMP_DLG", "BMP", 9, 9, Qt::white, false,
     [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(Ink);
         for (int x : {0, 3, 6})
             p.drawRect(x, 6, 2, 2);
     }},
    {"BMP_DROPDOWN", "BMP", 9, 9, Qt::white, false,
     [](QPainter& p) {
         Triangle(p, Ink, {{1, 3}, {8, 3}, {4.5, 6.5}});
     }},
    {"BMP_MINUS", "BMP", 9, 9, Qt::white, false,
     [](QPainter& p) {
         p.setPen(Grey);
         p.drawRect(0, 0, 8, 8);
         p.setPen(Qt::black);
         p.drawLine(2, 4, 6, 4);
     }},
    {"BMP_PLUS", "BMP", 9, 9, Qt::white, false,
     [](QPainter& p) {
         p.setPen(Grey);
         p.drawRect(0, 0, 8, 8);
         p.setPen(Qt::black);
         p.drawLine(2, 4, 6, 4);
         p.drawLine(4, 2, 4, 6);
     }},
    {"KLD_TAB_MASTER", "BMP", 16, 16, Qt::white, false,
     [](QPainter& p) {
         // A table: header row and a grid.
         p.setPen(Ink);
         p.setBrush(QColor(0xDD, 0xE8, 0xF6));
         p.drawRect(1, 2, 13, 11);
         p.fillRect(2, 3, 12, 3, Accent);
         for (int y : {8, 10})
             p.drawLine(2, y, 13, y);
         p.drawLine(6, 6, 6, 12);
         p.drawLine(10, 6, 10, 12);
     }},
    {"KLD_TAB_DETAIL", "BMP", 16, 16, Qt::white, false,
     [](QPainter& p) {
         // A form: a sheet with labelled lines.
         p.setPen(Ink);
         p.setBrush(QColor(0xFA, 0xFA, 0xFA));
         p.drawRect(2, 1, 11, 13);
         for (int y : {4, 7, 10}) {
             p.fillRect(4, y, 3, 2, Accent);
             p.drawLine(8, y + 1, 11, y + 1);
         }
     }},
    {"BMP_CLOSE_TAB", "BMP", 12, 12, Magenta, false,
     [](QPainter& p) {
         p.setPen(QPen(Grey, 2));
         p.drawLine(3, 3, 8, 8);
         p.drawLine(8, 3, 3, 8);
     }},
    {"BMP_CLOSE_TABA", "BMP", 12, 12, Magenta, false,
     [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(QColor(0xD9, 0x3C, 0x3C));
         p.drawRect(0, 0, 12, 12);
         p.setPen(QPen(Qt::white, 2));
         p.drawLine(3, 3, 8, 8);
         p.drawLine(8, 3, 3, 8);
     }},
    KLD_STATE_GLYPHS("", "BMP", Magenta, false),
    KLD_RADIO_GLYPHS("", "BMP", Magenta, false),
    KLD_STATE_GLYPHS("PNG_", "PNG", Qt::transparent, true),
    KLD_RADIO_GLYPHS("PNG_", "PNG", Qt::transparent, true),
    {"PNG_INFO", "PNG", 16, 16, Qt::transparent, true, [](QPainter& p) { InfoMark(p); }},
    {"PNG_LOOKUP", "PNG", 16, 16, Qt::transparent, true, [](QPainter& p) { Dots(p); }},
    {"PNG_PLUS", "PNG", 16, 16, Qt::transparent, true, [](QPainter& p) { Plus(p); }},
};

// The main window's pictures (Components/Controller/resources): toolbar
// and menu pictures drawn once in a 24-unit box and scaled to 16 or 24
// pixels, the close pictures of the info bar and the search box's slices.
const QColor Blue(0x20, 0x59, 0xC6);
const QColor Green(0x2E, 0x8B, 0x3E);
const QColor Red(0xC8, 0x32, 0x2B);
const QColor Gold(0xE0, 0xA8, 0x20);

QPen Line(const QColor& c, double width)
{
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Gear(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Grey);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(12, 12);
        p.rotate(45.0 * i);
        p.drawRoundedRect(QRectF(-2, -11, 4, 6), 1, 1);
        p.restore();
    }
    p.drawEllipse(QPointF(12, 12), 7.5, 7.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 12), 3, 3);
}

void Bubble(QPainter& p, const QRectF& r, const QColor& c, bool tailLeft)
{
    p.setPen(Line(c.darker(140), 1));
    p.setBrush(c);
    QPainterPath path;
    path.addRoundedRect(r, 3, 3);
    const double x = tailLeft ? r.left() + 4 : r.right() - 4;
    path.moveTo(x, r.bottom() - 1);
    path.lineTo(tailLeft ? x - 2 : x + 2, r.bottom() + 4);
    path.lineTo(tailLeft ? x + 4 : x - 4, r.bottom() - 1);
    p.drawPath(path.simplified());
}

void Cylinder(QPainter& p)
{
    p.setPen(Line(Blue.darker(150), 1));
    p.setBrush(Blue.lighter(150));
    p.drawRect(QRectF(4, 5, 16, 14));
    for (double y : {19.0, 12.0})
        p.drawEllipse(QRectF(4, y - 3, 16, 6));
    p.setBrush(Blue.lighter(175));
    p.drawEllipse(QRectF(4, 2, 16, 6));
}

void Padlock(QPainter& p)
{
    p.setPen(Line(Grey, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6.5, 2.5, 11, 12), 0, 180 * 16);
    p.drawLine(QPointF(6.5, 8.5), QPointF(6.5, 11));
    p.drawLine(QPointF(17.5, 8.5), QPointF(17.5, 11));
    p.setPen(Line(Gold.darker(150), 1));
    p.setBrush(Gold);
    p.drawRoundedRect(QRectF(4, 10, 16, 12), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(QPointF(12, 15), 1.8, 1.8);
    p.drawRect(QRectF(11.2, 15, 1.6, 4));
}

void Key(QPainter& p)
{
    p.setPen(Line(Gold.darker(160), 1));
    p.setBrush(Gold);
    p.drawEllipse(QRectF(2, 6, 10, 10));
    p.drawRect(QRectF(11, 9.5, 11, 3));
    p.drawRect(QRectF(16, 12, 2.5, 4));
    p.drawRect(QRectF(19.5, 12, 2.5, 3));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(6, 11), 1.8, 1.8);
}

void Envelope(QPainter& p)
{
    p.setPen(Line(Ink, 1.2));
    p.setBrush(QColor(0xFF, 0xF8, 0xE1));
    p.drawRect(QRectF(2.5, 5.5, 19, 13));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{2.5, 5.5}, {12, 13}, {21.5, 5.5}}));
}

void Tiles(QPainter& p)
{
    p.setPen(Qt::NoPen);
    const QColor colours[] = {Blue, Green, Gold, Red};
    int i = 0;
    for (double y : {3.0, 13.0})
        for (double x : {3.0, 13.0}) {
            p.setBrush(colours[i++]);
            p.drawRoundedRect(QRectF(x, y, 8, 8), 2, 2);
        }
}

void Power(QPainter& p)
{
    p.setPen(Line(Red, 2.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 4.5, 16, 16), 125 * 16, -250 * 16);
    p.drawLine(QPointF(12, 2.5), QPointF(12, 11));
}

void Person(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawEllipse(QPointF(12, 7.5), 4.5, 4.5);
    QPainterPath body;
    body.moveTo(3, 22);
    body.cubicTo(3, 14, 21, 14, 21, 22);
    body.closeSubpath();
    p.drawPath(body);
}

void Building(QPainter& p)
{
    p.setPen(Line(Ink, 1));
    p.setBrush(QColor(0xE8, 0xD9, 0xB5));
    p.drawRect(QRectF(4.5, 3.5, 15, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    for (double y : {6.0, 10.5, 15.0})
        for (double x : {7.0, 11.0, 15.0})
            p.drawRect(QRectF(x, y, 2.5, 2.5));
    p.setBrush(Ink);
    p.drawRect(QRectF(10.5, 18, 3, 3.5));
}

void Bed(QPainter& p)
{
    p.setPen(Line(Ink, 1.5));
    p.drawLine(QPointF(3, 5), QPointF(3, 20));
    p.drawLine(QPointF(21, 12), QPointF(21, 20));
    p.drawLine(QPointF(3, 16), QPointF(21, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawRoundedRect(QRectF(5, 9, 6, 5), 2, 2);
    p.setBrush(Blue.lighter(160));
    p.drawRoundedRect(QRectF(11, 11, 10, 4), 1, 1);
}

void Calendar(QPainter& p)
{
    p.setPen(Line(Ink, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 4.5, 17, 16));
    p.fillRect(QRectF(4, 5, 16, 4), Red);
    p.setPen(Qt::NoPen);
    p.setBrush(Grey);
    for (double y : {11.0, 15.0})
        for (double x : {6.0, 10.5, 15.0})
            p.drawRect(QRectF(x, y, 3, 2.5));
    p.setBrush(Blue);
    p.drawRect(QRectF(10.5, 15, 3, 2.5));
}

void Cross(QPainter& p, const QColor& c, double width)
{
    p.setPen(Line(c, width));
    p.drawLine(QPointF(6, 6), QPointF(18, 18));
    p.drawLine(QPointF(18, 6), QPointF(6, 18));
}

void NotifyClose(QPainter& p, const QColor& c)
{
    p.setPen(Line(c, 1.8));
    p.drawLine(QPointF(2.5, 2.5), QPointF(9.5, 9.5));
    p.drawLine(QPointF(9.5, 2.5), QPointF(2.5, 9.5));
}

void Magnifier(QPainter& p)
{
    p.setPen(Line(Ink, 1));
    p.setBrush(QColor(0xF4, 0xF4, 0xF4));
    p.drawRect(QRectF(2.5, 2.5, 13, 15));
    for (double y : {6.5, 9.5, 12.5})
        p.drawLine(QPointF(5, y), QPointF(13, y));
    p.setPen(Line(Blue.darker(130), 2.2));
    p.setBrush(QColor(255, 255, 255, 160));
    p.drawEllipse(QPointF(14, 14), 5, 5);
    p.drawLine(QPointF(17.5, 17.5), QPointF(22, 22));
}

void Information(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawEllipse(QRectF(2, 2, 20, 20));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 7.5), 1.8, 1.8);
    p.drawRoundedRect(QRectF(10.5, 10.5, 3, 8), 1, 1);
}

void Bell(QPainter& p)
{
    p.setPen(Line(Gold.darker(160), 1));
    p.setBrush(Gold);
    QPainterPath bell;
    bell.moveTo(4, 18);
    bell.cubicTo(7, 15, 6, 11, 7, 8);
    bell.cubicTo(8, 3, 16, 3, 17, 8);
    bell.cubicTo(18, 11, 17, 15, 20, 18);
    bell.closeSubpath();
    p.drawPath(bell);
    p.drawEllipse(QPointF(12, 20), 2.2, 2.2);
}

// A picture drawn in the 24-unit box, scaled to Size pixels.
std::function<void(QPainter&)> Scaled(int Size, void (*Draw)(QPainter&))
{
    return [Size, Draw](QPainter& p) {
        p.scale(Size / 24.0, Size / 24.0);
        Draw(p);
    };
}

// One slice set of the search box: a rounded field on the info panel's
// blue, with the magnifier in the left slice.
void SearchBox(QPainter& p, bool active)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Line(active ? QColor(0x76, 0x4A, 0x32) : Blue.darker(130), 1));
    p.setBrush(active ? QColor(Qt::white) : QColor(0xD8, 0xE4, 0xF8));
    p.drawRoundedRect(QRectF(0.5, 2.5, 35, 20), 9, 9);
    p.setPen(Line(active ? Blue : Grey, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(7, 11.5), 3, 3);
    p.drawLine(QPointF(9.2, 13.7), QPointF(11, 15.5));
}

const TPicture BrowserPictures[] = {
    {"KLD_ADMIN16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Gear)},
    {"KLD_CHAT16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, [](QPainter& p) {
         Bubble(p, QRectF(1, 2, 14, 9), Blue.lighter(170), true);
         Bubble(p, QRectF(9, 9, 13, 8), Green.lighter(170), false);
     })},
    {"KLD_DATABASE16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Cylinder)},
    {"KLD_LOCK16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Padlock)},
    {"KLD_LOGIN16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Key)},
    {"KLD_MAIL16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Envelope)},
    {"KLD_MODULES16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Tiles)},
    {"KLD_SHUTDOWN16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Power)},
    {"KLD_USER16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Person)},
    {"KLD_FACILITY16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Building)},
    {"KLD_RESIDENT16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Bed)},
    {"KLD_CURPERIOD16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Calendar)},
    {"KLD_CLOSE16G", "PNG", 16, 16, Qt::transparent, true,
     Scaled(16, [](QPainter& p) { Cross(p, QColor(0xD0, 0xD8, 0xE8), 3); })},
    {"KLD_CLOSE16W", "PNG", 16, 16, Qt::transparent, true,
     Scaled(16, [](QPainter& p) { Cross(p, Qt::white, 3.4); })},
    {"KLD_EXPLORER16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Magnifier)},
    {"KLD_INFORMATION16", "PNG", 16, 16, Qt::transparent, true, Scaled(16, Information)},
    {"KLD_ADMIN24", "PNG", 24, 24, Qt::transparent, true, Gear},
    {"KLD_CHAT24", "PNG", 24, 24, Qt::transparent, true,
     [](QPainter& p) {
         Bubble(p, QRectF(1, 2, 14, 9), Blue.lighter(170), true);
         Bubble(p, QRectF(9, 9, 13, 8), Green.lighter(170), false);
     }},
    {"KLD_DATABASE24", "PNG", 24, 24, Qt::transparent, true, Cylinder},
    {"KLD_LOCK24", "PNG", 24, 24, Qt::transparent, true, Padlock},
    {"KLD_LOGIN24", "PNG", 24, 24, Qt::transparent, true, Key},
    {"KLD_MAIL24", "PNG", 24, 24, Qt::transparent, true, Envelope},
    {"KLD_MODULES24", "PNG", 24, 24, Qt::transparent, true, Tiles},
    {"KLD_SHUTDOWN24", "PNG", 24, 24, Qt::transparent, true, Power},
    {"KLD_USER24", "PNG", 24, 24, Qt::transparent, true, Person},
    {"KLD_CLOSE24", "PNG", 24, 24, Qt::transparent, true,
     [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(Red);
         p.drawEllipse(QRectF(2, 2, 20, 20));
         Cross(p, Qt::white, 2.6);
     }},
    {"KLD_NOTIFY24", "PNG", 24, 24, Qt::transparent, true, Bell},
    // The notification center's close glyph (12 x 12): grey at rest, orange
    // under the mouse.
    {"KLD_NOTIFY_CLOSE_G", "PNG", 12, 12, Qt::transparent, true,
     [](QPainter& p) { NotifyClose(p, QColor(0x9A, 0x9A, 0x9A)); }},
    {"KLD_NOTIFY_CLOSE_O", "PNG", 12, 12, Qt::transparent, true,
     [](QPainter& p) { NotifyClose(p, QColor(0xFF, 0x8C, 0x00)); }},
    // The unread-mail badge: a left cap (columns 0-7), a middle that is
    // stretched (8-15) and a right cap (16-23).
    {"KLD_MAIL_NOTIFY", "PNG", 24, 16, Qt::transparent, true,
     [](QPainter& p) {
         p.setPen(QPen(Red.darker(140), 1));
         p.setBrush(Red);
         p.drawRoundedRect(QRectF(0.5, 0.5, 23, 15), 7.5, 7.5);
     }},
    // The module desktop's background, tiled from the top-left corner.
    {"BMP_DEFAULTBG", "BMP", 64, 64, QColor(0x9C, 0xA6, 0xB4), false,
     [](QPainter& p) {
         p.setPen(QPen(QColor(0x94, 0x9E, 0xAC), 1));
         for (int d = -64; d < 64; d += 8)
             p.drawLine(QPointF(d, 64), QPointF(d + 64, 0));
     }},
    {"KLD_SEARCH_BOXA", "BMP", 36, 25, Blue, false, [](QPainter& p) { SearchBox(p, true); }},
    {"KLD_SEARCH_BOXI", "BMP", 36, 25, Blue, false, [](QPainter& p) { SearchBox(p, false); }},
};

// The default ad's pictures: the product's banner for the right panel
// (160 x 600) and for the top one (728 x 90).
void AdBanner(QPainter& p, QSize size, bool horizontal)
{
    QLinearGradient fill(0, 0, horizontal ? size.width() : 0, horizontal ? 0 : size.height());
    fill.setColorAt(0, QColor(0xF2, 0x99, 0x59));
    fill.setColorAt(1, QColor(0xC6, 0x59, 0x20));
    p.fillRect(QRect(QPoint(0, 0), size), fill);
    p.setPen(QColor(0xFF, 0xFF, 0xFF));
    QFont title("Sans", horizontal ? 26 : 22, QFont::Bold);
    title.setPixelSize(horizontal ? 34 : 30);
    QFont line("Sans");
    line.setPixelSize(horizontal ? 16 : 15);
    if (horizontal) {
        p.setFont(title);
        p.drawText(QRect(24, 8, 400, 46), Qt::AlignLeft | Qt::AlignVCenter, "Tallowin");
        p.setFont(line);
        p.drawText(QRect(24, 52, 420, 28), Qt::AlignLeft | Qt::AlignVCenter, "Care, planned: every shift, every home.");
        p.drawText(QRect(440, 8, 270, 74), Qt::AlignRight | Qt::AlignVCenter, "www.tallowin.example");
    } else {
        p.setFont(title);
        p.drawText(QRect(0, 40, size.width(), 60), Qt::AlignCenter, "Tallowin");
        p.setFont(line);
        p.drawText(QRect(12, 120, size.width() - 24, 200), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                   "Care, planned:\nevery shift,\nevery home.");
        line.setPixelSize(12);
        p.setFont(line);
        p.drawText(QRect(0, size.height() - 60, size.width(), 40), Qt::AlignCenter, "www.tallowin.example");
    }
}

const TPicture AdPictures[] = {
    {"tlw-ad", "PNG", 160, 600, Qt::white, true, [](QPainter& p) { AdBanner(p, QSize(160, 600), false); }},
    {"tlw-ad-h", "PNG", 728, 90, Qt::white, true, [](QPainter& p) { AdBanner(p, QSize(728, 90), true); }},
};

template <size_t N> int WritePictures(const TPicture (&Table)[N], const std::string& Folder, const char* SheetFile)
{
    int failures = 0;
    constexpr int zoom = 8;
    QImage sheet(40 * zoom, static_cast<int>(N) * 26 * zoom, QImage::Format_RGB32);
    sheet.fill(QColor(0xE0, 0xE0, 0xE0));
    QPainter sheetPainter(&sheet);
    int row = 0;
    for (const TPicture& pic : Table) {
        const bool png = std::string(pic.Format) == "PNG";
        QImage image(pic.Width, pic.Height, png ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.fill(pic.Background);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, pic.Smooth);
        pic.Draw(p);
        p.end();
        if (!png)
            image = image.convertToFormat(QImage::Format_RGB888); // a 24-bit bitmap
        const std::string file = Folder + "/" + pic.Name + (png ? ".png" : ".bmp");
        if (!image.save(QString::fromStdString(file), pic.Format)) {
            std::fprintf(stderr, "drawartwork: cannot write %s\n", file.c_str());
            ++failures;
        }
        sheetPainter.drawImage(QRect(0, row * 26 * zoom, pic.Width * zoom, pic.Height * zoom), image);
        ++row;
    }
    sheetPainter.end();
    if (SheetFile && !sheet.save(QString::fromLocal8Bit(SheetFile), "PNG"))
        ++failures;
    return failures;
}

} // namespace

// drawartwork [--browser | --ads] FOLDER [--sheet FILE]
int main(int argc, char** argv)
{
    int arg = 1;
    const bool browser = argc > 1 && std::string(argv[1]) == "--browser";
    const bool ads = argc > 1 && std::string(argv[1]) == "--ads";
    if (browser || ads)
        ++arg;
    const int rest = argc - arg;
    if (rest != 1 && !(rest == 3 && std::string(argv[arg + 1]) == "--sheet")) {
        std::fprintf(stderr, "usage: drawartwork [--browser | --ads] FOLDER [--sheet FILE]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::string folder = argv[arg];
    const char* sheet = rest == 3 ? argv[arg + 2] : nullptr;
    const int failures = ads       ? WritePictures(AdPictures, folder, sheet)
                         : browser ? WritePictures(BrowserPictures, folder, sheet)
                                   : WritePictures(Pictures, folder, sheet);
    return failures == 0 ? 0 : 1;
}
