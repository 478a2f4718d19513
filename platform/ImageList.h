#pragma once
// `TCustomImageList` (alias `TImageList`): pictures of one fixed size, by
// index.
//
// - Add cuts a picture into Width-wide pieces (a strip of several pictures
//   side by side), each Height high, and keeps each piece's alpha; AddMasked
//   makes every pixel of the key colour transparent (typically white or
//   magenta) and the rest opaque. Pieces of a smaller picture are padded
//   with transparency.
// - ResourceLoad adds the program's resources: a BMP with a key colour (or
//   clNone for none), or a PNG with its own alpha.
// - Draw paints a picture with its alpha; disabled, it is drawn grey and
//   lighter, as the platform shows unavailable pictures.
// Users hold a list through TGuardedPtr<TCustomImageList>, so that a list
// that has been freed is noticed and nothing is drawn from it.

#include "platform/Colors.h"
#include "platform/Guarded.h"
#include "platform/Persistent.h"
#include "platform/Resources.h"

#include <QImage>

#include <vector>

class TCanvas;

class TCustomImageList : public TObject, public TGuarded
{
  public:
    TCustomImageList(int width, int height);
    std::string ClassName() const override { return "TCustomImageList"; }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return static_cast<int>(m_images.size()); }
    bool ValidIndex(int index) const { return index >= 0 && index < Count(); }

    // Index of the first picture added; -1 for a null picture.
    int Add(const QImage& picture);
    int AddMasked(const QImage& picture, TColor maskColor);
    // False (nothing added) when the resource is missing or no picture.
    bool ResourceLoad(TResType type, const std::string& name, TColor maskColor);
    void Delete(int index);
    void Clear();

    // The picture in 32-bit premultiplied ARGB; a null image for an invalid
    // index.
    QImage GetImage(int index) const;
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;

  private:
    int AddPieces(const QImage& picture);

    int m_width;
    int m_height;
    std::vector<QImage> m_images;
    mutable std::vector<QImage> m_disabled; // made on first disabled drawing
};

using TImageList = TCustomImageList;
using TImageListRef = TGuardedPtr<TCustomImageList>;
