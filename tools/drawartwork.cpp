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
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--sheet")) {
        std::fprintf(stderr, "usage: drawartwork FOLDER [--sheet FILE]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::string folder = argv[1];
    int failures = 0;
    constexpr int zoom = 8;
    QImage sheet(40 * zoom, static_cast<int>(std::size(Pictures)) * 18 * zoom, QImage::Format_RGB32);
    sheet.fill(QColor(0xE0, 0xE0, 0xE0));
    QPainter sheetPainter(&sheet);
    int row = 0;
    for (const TPicture& pic : Pictures) {
        const bool png = std::string(pic.Format) == "PNG";
        QImage image(pic.Width, pic.Height, png ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.fill(pic.Background);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, pic.Smooth);
        pic.Draw(p);
        p.end();
        if (!png)
            image = image.convertToFormat(QImage::Format_RGB888); // a 24-bit bitmap
        const std::string file = folder + "/" + pic.Name + (png ? ".png" : ".bmp");
        if (!image.save(QString::fromStdString(file), pic.Format)) {
            std::fprintf(stderr, "drawartwork: cannot write %s\n", file.c_str());
            ++failures;
        }
        sheetPainter.drawImage(QRect(0, row * 18 * zoom, pic.Width * zoom, pic.Height * zoom), image);
        ++row;
    }
    sheetPainter.end();
    if (argc == 4 && !sheet.save(QString::fromLocal8Bit(argv[3]), "PNG"))
        ++failures;
    return failures == 0 ? 0 : 1;
}
