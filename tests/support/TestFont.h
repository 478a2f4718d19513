#pragma once
// A fixed font for tests that measure text: a monospaced face at a fixed
// pixel height, the same on every machine that runs the tests. Advances are
// fractional (a text of n characters is about n times one advance), so
// expected widths are measured whole with TestTextWidth.

#include "platform/Canvas.h"

#include <string>

inline void UseTestFont(TFont& font)
{
    font.SetName("DejaVu Sans Mono");
    font.SetHeight(-12);
    font.SetStyle({});
}

// Ascent plus descent of the test font.
inline int TestLineHeight()
{
    TCanvas canvas;
    UseTestFont(canvas.Font());
    return canvas.TextHeight("x");
}

inline int TestTextWidth(const std::string& text, TFontStyles style = {})
{
    TCanvas canvas;
    UseTestFont(canvas.Font());
    canvas.Font().SetStyle(style);
    return canvas.TextWidth(text);
}
