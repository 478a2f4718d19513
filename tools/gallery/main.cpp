// The gallery: every control of the user-interface framework with sample
// data, to look at it. With --save DIR it writes one PNG per control instead
// of opening a window (it runs without a display: QT_QPA_PLATFORM=offscreen)
// and ends with 0 only when every picture was written (README.md).
//   gallery
//   gallery --save /tmp/gallery

#include "tools/gallery/GallerySamples.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <unistd.h>

std::vector<TGallerySample>& GallerySamples()
{
    static std::vector<TGallerySample> samples;
    return samples;
}

QImage GallerySampleIcon(int size, unsigned rgb, char letter)
{
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgb(rgb));
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
    QFont font;
    font.setPixelSize(size * 3 / 5);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QString(QChar(letter)));
    return icon;
}

void GalleryHover(QWidget* control, int x, int y)
{
    const QPointF local(x, y);
    QEnterEvent enter(local, local, control->mapToGlobal(local));
    QApplication::sendEvent(control, &enter);
    QMouseEvent move(QEvent::MouseMove, local, control->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(control, &move);
}

namespace {

int Save(const QString& folder)
{
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "gallery: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    int failures = 0;
    for (const TGallerySample& sample : GallerySamples()) {
        QWidget window;
        window.resize(sample.Size);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        QWidget* control = sample.Make(&window);
        layout->addWidget(control);
        window.show();
        QApplication::processEvents();
        std::vector<std::pair<std::string, QImage>> pictures;
        if (sample.Prepare)
            pictures = sample.Prepare(control);
        QApplication::processEvents();
        pictures.insert(pictures.begin(), {sample.Name, window.grab().toImage()});
        for (const auto& [name, picture] : pictures) {
            const QString file = folder + "/" + QString::fromStdString(name) + ".png";
            if (picture.isNull() || !picture.save(file, "PNG")) {
                std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(file));
                ++failures;
            } else {
                std::printf("%s\n", qPrintable(file));
            }
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

// Qt WebEngine frees some of its own objects through a base of another size,
// which the sanitized build's new-delete size check would stop at; only that
// check is off here, as in the web view tests.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

// Qt WebEngine (the web page sample) and fontconfig keep allocations for the
// life of the process and leave them to the system at exit; the sanitized
// build's leak check would report them and end a run that wrote every
// picture with failure. Leaks of the gallery's own code are still reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore\nleak:libfontconfig\n";
}

int main(int argc, char** argv)
{
    // Chromium refuses to start its sandbox as root, and the gallery often
    // runs as root in build containers; it only shows our own sample pages.
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    // Qt WebEngine (the web page sample) needs shared OpenGL contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--save") == 0)
        return Save(QString::fromLocal8Bit(argv[2]));
    if (argc != 1) {
        std::fprintf(stderr, "usage: gallery [--save DIR]\n");
        return 2;
    }
    QTabWidget tabs;
    tabs.setWindowTitle(QStringLiteral("Gallery"));
    for (const TGallerySample& sample : GallerySamples()) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(sample.Make(page));
        page->setMinimumSize(sample.Size);
        tabs.addTab(page, QString::fromStdString(sample.Name));
    }
    tabs.show();
    return app.exec();
}
