#pragma once
// An off-screen drawing surface: self-painting views draw into it and copy
// the finished picture to the screen in one step, which avoids flicker. The
// raw pixel memory is available for direct work on the pixels.
//
// Pixel memory: 32 bits per pixel (QImage::Format_ARGB32_Premultiplied, one
// quint32 0xAARRGGBB per pixel in native byte order, the colour multiplied by
// the alpha as per-pixel blending wants it; opaque pixels are plain
// 0xFFRRGGBB), rows of Width * 4 bytes without padding. Premultiplied pixels
// are what the painter draws and copies fastest. Rows are top-down: the first row in memory is the top row of
// the picture, so the pixel (x, y) is at Bits() + (y * Width + x) * 4. (Windows device-independent bitmaps
// are bottom-up; code that walks rows must use this order.)
//
// It is a TCanvas (platform/Canvas.h): pen, brush, font and the drawing calls
// with the platform's pixel rules draw into the bitmap.
//
// Life cycle: created without painter or bitmap; the first Painter() call,
// Bits() or a change of size makes them. A new bitmap starts fully
// transparent black (every byte 0). A width or height of 0 or below gives
// no bitmap: Bits() answers nullptr and the painter stays inactive (drawing
// on it does nothing). Used on the user-interface thread only.

#include "platform/Canvas.h"

#include <QImage>
#include <QPainter>
#include <QPoint>

#include <cstdint>
#include <memory>

class TKldCanvas : public TCanvas
{
  public:
    TKldCanvas(int Width, int Height);
    explicit TKldCanvas(const QPoint& Size);
    ~TKldCanvas() override;
    std::string ClassName() const override { return "TKldCanvas"; }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    QPoint Size() const { return QPoint(m_width, m_height); }

    // The painter drawing into the bitmap; the first call makes painter and
    // bitmap. Pen, brush and font set on it survive a change of size.
    QPainter& Painter();
    // Whether the painter has been made (the canvas's handle exists).
    bool HandleAllocated() const { return m_painter != nullptr; }
    // Makes the painter and the bitmap.
    void CreateHandle() override;
    // Makes the bitmap again at the current size; the old picture is lost.
    void CreateBitmap();
    // A different width or height stores the size and makes the bitmap again
    // (the old picture is lost; a canvas without painter gets one now). The
    // same size keeps the bitmap and its picture.
    void SetSize(const QPoint& Size);
    // The pixel memory (made first when needed); nullptr without a bitmap.
    uint8_t* Bits();
    // The picture, for copying it to the screen; a null image without a
    // bitmap. A copy of it shares the canvas's pixels (later drawing shows in
    // it) until the next size change.
    const QImage& Bitmap() const { return m_bitmap; }
    // Ends the painter and releases the bitmap; the next drawing call, Bits()
    // or size change makes them again.
    void FreeContext();

  private:
    void BeginPainting();

    int m_width;
    int m_height;
    QImage m_bitmap;
    std::unique_ptr<QPainter> m_painter;
};
