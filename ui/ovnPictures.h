#pragma once
// Unit ovnPictures: the data-entry controls' state glyphs and button
// pictures, loaded once from the library's own resources, and the shelf
// painting routines.
//
// The pictures are loaded on first use (a picture needs the application
// object) and freed when the application ends; the controls draw them
// without owning them. The bitmaps are transparent where they have the
// colour of their bottom-left pixel; the PNG images keep their alpha. A
// picture whose resource is missing is a null image, which draws nothing.

#include "platform/Canvas.h"
#include "platform/Colors.h"
#include "platform/Types.h"

#include <QImage>

struct TovnPictures
{
    // Bitmaps, in loading order.
    QImage bmpDISABLED;
    QImage bmpREAD_FOCUSED;
    QImage bmpREAD_NORMAL;
    QImage bmpNORMAL;
    QImage bmpFOCUSED;
    QImage bmpR_F;
    QImage bmpR_T;
    QImage bmpR_F_FOCUSED;
    QImage bmpR_T_FOCUSED;
    QImage bmpR_F_DISABLED;
    QImage bmpR_T_DISABLED;
    // PNG images, in loading order.
    QImage pngDISABLED;
    QImage pngREAD_FOCUSED;
    QImage pngREAD_NORMAL;
    QImage pngNORMAL;
    QImage pngFOCUSED;
    QImage pngR_F;
    QImage pngR_T;
    QImage pngR_F_FOCUSED;
    QImage pngR_T_FOCUSED;
    QImage pngR_F_DISABLED;
    QImage pngR_T_DISABLED;
    QImage pngInfo;
    QImage pngLookup;
    QImage pngPlus;
};

// The pictures, loaded at the first call.
const TovnPictures& ovnPictures();

// A bitmap resource made transparent by its bottom-left pixel (a null image
// when the resource is missing).
QImage LoadTransparentBitmap(const std::string& Name);

// The data-entry controls' colours.
constexpr TColor clovnMarked = 0xCCFFCC;
constexpr TColor clovnIdle = 0xF2F2F2;

// The shelf round a data-entry editor: outer and inner frame lines and
// columns (blue while focused, grey otherwise, paler when disabled) and the
// interior in the marked, focused or idle colour.
void DrawShelfExt(TCanvas& Canvas, const TRect& Rect, bool Focused, bool Enabled, bool Marked);
// The simple frame: a shadow-coloured rectangle, white inside while focused
// (with a blue inner outline), grey otherwise.
void DrawShelf(TCanvas& Canvas, const TRect& Rect, bool Focused);
