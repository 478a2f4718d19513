#pragma once
// DrawText: the platform's formatted text output, with its format flags.
//
// The rules (LayoutDrawText works them out; DrawText draws the result):
// - Without DT_NOPREFIX, "&&" shows one "&" and "&x" shows x underlined (the
//   accelerator); a lone "&" at the end is dropped.
// - DT_SINGLELINE keeps the text on one line (CR and LF show nothing);
//   otherwise CR LF, CR and LF end lines, and DT_WORDBREAK also breaks lines
//   between words where the next word would pass the rectangle's right edge
//   (spaces at a break vanish; a word wider than the rectangle stays whole).
// - DT_EXPANDTABS moves text after a tab to the next multiple of eight
//   average character widths; without it a tab shows nothing.
// - DT_END_ELLIPSIS (and DT_WORD_ELLIPSIS, DT_PATH_ELLIPSIS) cut a line that
//   is wider than the rectangle and end it with "...".
// - Lines are aligned left, DT_CENTER or DT_RIGHT inside the rectangle; with
//   DT_SINGLELINE the line is placed at the top, DT_VCENTER (centred, the
//   remainder rounded toward zero) or DT_BOTTOM. Line height is the font's
//   ascent plus descent (plus its leading with DT_EXTERNALLEADING).
// - DT_CALCRECT draws nothing: the rectangle's Right becomes Left plus the
//   widest line and its Bottom becomes Top plus the text height. Empty text
//   measures 0 wide and one line high on a single line, 0 high otherwise.
// - The text is clipped to the rectangle unless DT_NOCLIP.
// - The result is the distance from the rectangle's top to the bottom of
//   the last line (the text height for top-aligned text).
// Text is drawn transparently in the canvas font's colour (the system's
// controls always switch the background off before drawing text).

#include "platform/Types.h"

#include <QString>

#include <string>
#include <vector>

class TCanvas;

constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_EXPANDTABS = 0x40;
constexpr unsigned DT_TABSTOP = 0x80;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_EXTERNALLEADING = 0x200;
constexpr unsigned DT_CALCRECT = 0x400;
constexpr unsigned DT_NOPREFIX = 0x800;
constexpr unsigned DT_INTERNAL = 0x1000;
constexpr unsigned DT_EDITCONTROL = 0x2000;
constexpr unsigned DT_PATH_ELLIPSIS = 0x4000;
constexpr unsigned DT_END_ELLIPSIS = 0x8000;
constexpr unsigned DT_MODIFYSTRING = 0x10000;
constexpr unsigned DT_RTLREADING = 0x20000;
constexpr unsigned DT_WORD_ELLIPSIS = 0x40000;
constexpr unsigned DT_HIDEPREFIX = 0x100000;

// How text measures in a font; the canvas answers with its font's metrics,
// tests with fixed widths.
class ITextMeasure
{
  public:
    virtual int TextWidth(const QString& text) const = 0;
    // Ascent plus descent.
    virtual int LineHeight() const = 0;
    virtual int ExternalLeading() const = 0;
    virtual int AveCharWidth() const = 0;

  protected:
    ~ITextMeasure() = default;
};

// A run of text on a line; tabs split a line into runs.
struct TDrawTextRun
{
    QString Text;
    int X = 0; // left edge
};

struct TDrawTextLine
{
    std::vector<TDrawTextRun> Runs;
    int Y = 0;     // top edge
    int Width = 0; // from the first run's left edge to the end of the last
    // The underlined character: run and position in it; -1 for none.
    int MnemonicRun = -1;
    int MnemonicPos = -1;
};

struct TDrawTextLayout
{
    std::vector<TDrawTextLine> Lines;
    // The box DT_CALCRECT answers.
    TRect CalcRect;
    // DrawText's result.
    int Height = 0;
    int LineHeight = 0;
    // Whether some line reaches outside the rectangle (only then is the
    // drawing clipped).
    bool Overflows = false;
};

TDrawTextLayout LayoutDrawText(const ITextMeasure& measure, const QString& text, const TRect& rect,
                               unsigned flags);

// Draws (or with DT_CALCRECT measures) `text` in `rect` on the canvas with
// its font; see the rules above.
int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, unsigned flags);
