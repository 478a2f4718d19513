#pragma once
// Helpers for tests of self-painting controls: a canvas over a QImage whose
// pixels a test reads, and synthetic mouse, wheel and key input sent to a
// widget as the window system would deliver it.

#include "platform/Canvas.h"
#include "platform/Colors.h"

#include <QApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>
#include <QWheelEvent>
#include <QWidget>

#include <memory>
#include <string>

// A TCanvas drawing into a picture of its own, filled with `background`.
class TImageCanvas
{
  public:
    TImageCanvas(int width, int height, TColor background = clWhite)
        : m_image(width, height, QImage::Format_ARGB32)
    {
        m_image.fill(ToQColor(background));
        m_painter = std::make_unique<QPainter>(&m_image);
        m_canvas.SetHandle(m_painter.get());
    }
    ~TImageCanvas() { End(); }

    TCanvas& Canvas() { return m_canvas; }
    QPainter& Painter() { return *m_painter; }
    // The colour at (x, y) as $00BBGGRR.
    TColor Pixel(int x, int y) { return ColorFromQColor(m_image.pixelColor(x, y)); }
    int Alpha(int x, int y) { return m_image.pixelColor(x, y).alpha(); }
    const QImage& Image() const { return m_image; }
    // Ends drawing (the canvas draws nothing afterwards).
    void End()
    {
        m_canvas.SetHandle(nullptr);
        if (m_painter && m_painter->isActive())
            m_painter->end();
    }

  private:
    QImage m_image;
    std::unique_ptr<QPainter> m_painter;
    TCanvas m_canvas;
};

// The colour at (x, y) of a picture as $00BBGGRR.
inline TColor PixelOf(const QImage& image, int x, int y)
{
    return ColorFromQColor(image.pixelColor(x, y));
}

// The widget as it paints itself now.
inline QImage Grab(QWidget& widget)
{
    return widget.grab().toImage();
}

// How many pixels of the picture have exactly the colour (a qRgb value).
inline int CountPixels(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

// True when the widget, as it paints itself now, has a pixel of the colour.
inline bool Shows(QWidget& widget, QRgb colour)
{
    return CountPixels(Grab(widget), colour) > 0;
}

// The pixels of the widget, as it paints itself now, darker than half grey:
// the dark text of an enabled control (its frame and background are lighter).
inline int DarkPixels(QWidget& widget)
{
    const QImage image = Grab(widget);
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += image.pixelColor(x, y).lightness() < 100 ? 1 : 0;
    return dark;
}

// The text a tooltip set to Tip shows: Qt renders it as rich text when it
// takes it for markup, else as it is.
inline std::string ToolTipShows(const QString& Tip)
{
    QTextDocument shown;
    if (Qt::mightBeRichText(Tip))
        shown.setHtml(Tip);
    else
        shown.setPlainText(Tip);
    return shown.toPlainText().toStdString();
}

namespace Input {

inline void Mouse(QWidget& w, QEvent::Type type, int x, int y, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF local(x, y);
    const QPointF global = w.mapToGlobal(local);
    Qt::MouseButtons buttons = Qt::NoButton;
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
        buttons = button;
    if (type == QEvent::MouseMove)
        button = Qt::NoButton;
    QMouseEvent event(type, local, global, button, buttons, modifiers);
    QApplication::sendEvent(&w, &event);
}
inline void Press(QWidget& w, int x, int y, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    Mouse(w, QEvent::MouseButtonPress, x, y, Qt::LeftButton, m);
}
inline void Release(QWidget& w, int x, int y, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    Mouse(w, QEvent::MouseButtonRelease, x, y, Qt::LeftButton, m);
}
inline void Click(QWidget& w, int x, int y)
{
    Press(w, x, y);
    Release(w, x, y);
}
// A real click on a control that takes the focus on a click (a button): the
// window system moves the focus first, so a focused edit is left (and writes
// its text) before the press. A bare Click moves no focus.
inline void FocusingClick(QWidget& w, int x, int y)
{
    w.setFocus(Qt::MouseFocusReason);
    Click(w, x, y);
}
inline void DoubleClick(QWidget& w, int x, int y)
{
    Click(w, x, y);
    Mouse(w, QEvent::MouseButtonDblClick, x, y);
    Release(w, x, y);
}
inline void Move(QWidget& w, int x, int y)
{
    Mouse(w, QEvent::MouseMove, x, y);
}
// A drag with the left button held.
inline void DragTo(QWidget& w, int x, int y)
{
    const QPointF local(x, y);
    QMouseEvent event(QEvent::MouseMove, local, w.mapToGlobal(local), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}
inline void Enter(QWidget& w, int x = 1, int y = 1)
{
    const QPointF local(x, y);
    QEnterEvent event(local, local, w.mapToGlobal(local));
    QApplication::sendEvent(&w, &event);
}
inline void Leave(QWidget& w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&w, &event);
}
// One notch is 120; positive turns the wheel away from the user (up).
// Answers whether the widget accepted the wheel message.
inline bool Wheel(QWidget& w, int delta, int x, int y)
{
    const QPointF local(x, y);
    QWheelEvent event(local, w.mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
    return event.isAccepted();
}
// Answers whether the widget consumed the key.
inline bool Key(QWidget& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&w, &event);
    return event.isAccepted();
}

} // namespace Input
