#pragma once
// The gallery's samples: each control of ui/ filled with sample data. A
// sample file registers itself with a static TGalleryRegistration; the
// gallery shows every sample in a tab, or with --save DIR writes one PNG per
// sample (and per extra picture a sample adds, such as an open popup).

#include <QImage>
#include <QSize>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct TGallerySample
{
    std::string Name; // the PNG's name, "module-view"
    QSize Size;       // of the window the sample fills
    // Makes the control in `parent` (which it should fill).
    std::function<QWidget*(QWidget* parent)> Make;
    // Runs once the window shows: hover a row, open a popup. Answers extra
    // pictures to save beside the sample's own ("name" -> picture).
    std::function<std::vector<std::pair<std::string, QImage>>(QWidget* control)> Prepare;
};

std::vector<TGallerySample>& GallerySamples();

struct TGalleryRegistration
{
    explicit TGalleryRegistration(TGallerySample sample) { GallerySamples().push_back(std::move(sample)); }
};

// Sample pictures: a rounded square in a colour with a letter, size x size.
QImage GallerySampleIcon(int size, unsigned rgb, char letter);
// Moves the mouse into the control and over (x, y), as a user would.
void GalleryHover(QWidget* control, int x, int y);
