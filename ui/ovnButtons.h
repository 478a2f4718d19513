#pragma once
// Unit ovnButtons: `TovnControlButton`, the flat picture button of the
// combos. It paints a PNG picture (held, not owned) centred one pixel below
// the middle, faded by its state: alpha divided by 5 while disabled or
// down, as it is while the mouse is over it, divided by 1.4 otherwise. A
// palette picture keeps its look. The hand-cursor flag makes the screen
// cursor the hand while the mouse is over the button.
//
// User-interface thread only.

#include "platform/Buttons.h"

#include <QImage>

#include <cstdint>

// The alpha value a control button gives a picture's alpha: the value
// divided by Divisor, rounded to the nearest integer, halves to even.
uint8_t ScaleButtonAlpha(uint8_t Alpha, double Divisor);
// A copy of Picture with every alpha value scaled by ScaleButtonAlpha, on the
// unpremultiplied colours; a picture without alpha gains it first. A palette
// picture comes back as it is.
QImage FadeButtonPicture(const QImage& Picture, double Divisor);

class TovnControlButton : public TSpeedButton
{
  public:
    explicit TovnControlButton(QWidget* parent = nullptr);
    std::string ClassName() const override { return "TovnControlButton"; }

    const QImage* PngPicture() const { return m_pngPicture; }
    // A picture clears the inherited glyph; the button keeps the reference.
    void SetPngPicture(const QImage* Picture);
    bool MouseOver() const { return m_mouseOver; }
    bool HandCursor() const { return m_handCursor; }
    void SetHandCursor(bool Value);
    // The picture as Paint draws it in the present state (null without one).
    QImage PaintedPicture() const;

  protected:
    void Paint() override;
    void MouseEnter() override;
    void MouseLeave() override;

  private:
    const QImage* m_pngPicture = nullptr;
    bool m_mouseOver = false;
    bool m_handCursor = false;
};
