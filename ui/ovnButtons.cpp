#include "ui/ovnButtons.h"

#include "base/KldProgress.h"

#include <QPainter>

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace {

constexpr double kFadedDivisor = 5.0;
constexpr double kRestingDivisor = 1.4;

void SetScreenCursor(TCursor Cursor)
{
    if (TScreenCursorProc proc = ScreenCursorProc.load())
        proc(Cursor);
}

} // namespace

uint8_t ScaleButtonAlpha(uint8_t Alpha, double Divisor)
{
    // nearbyint rounds in the current mode, which is to nearest with halves
    // to even unless someone changed it.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double scaled = std::nearbyint(Alpha / Divisor);
    std::fesetround(saved);
    return static_cast<uint8_t>(std::clamp(scaled, 0.0, 255.0));
}

QImage FadeButtonPicture(const QImage& Picture, double Divisor)
{
    if (Picture.isNull() || Picture.format() == QImage::Format_Indexed8 || Picture.format() == QImage::Format_Mono ||
        Picture.format() == QImage::Format_MonoLSB)
        return Picture;
    QImage copy = Picture.convertToFormat(QImage::Format_ARGB32);
    uint8_t table[256];
    for (int a = 0; a < 256; ++a)
        table[a] = ScaleButtonAlpha(static_cast<uint8_t>(a), Divisor);
    for (int y = 0; y < copy.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x)
            line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), table[qAlpha(line[x])]);
    }
    return copy;
}

TovnControlButton::TovnControlButton(QWidget* parent) : TSpeedButton(parent) {}

void TovnControlButton::SetPngPicture(const QImage* Picture)
{
    if (Picture)
        SetGlyph(QImage());
    m_pngPicture = Picture;
    Invalidate();
}

void TovnControlButton::SetHandCursor(bool Value)
{
    m_handCursor = Value;
    SetCursor(Value ? crHandPoint : crDefault);
}

QImage TovnControlButton::PaintedPicture() const
{
    if (!m_pngPicture || m_pngPicture->isNull())
        return {};
    const TButtonState state = State();
    if (!isEnabled() || state == bsDown || state == bsExclusive)
        return FadeButtonPicture(*m_pngPicture, kFadedDivisor);
    if (m_mouseOver)
        return *m_pngPicture;
    return FadeButtonPicture(*m_pngPicture, kRestingDivisor);
}

void TovnControlButton::Paint()
{
    if (!m_pngPicture)
        return;
    const QImage picture = PaintedPicture();
    if (picture.isNull())
        return;
    const TRect r = ClientRect();
    const int x = (r.Width() - picture.width()) / 2;
    const int y = (r.Height() - picture.height()) / 2 + 1;
    Canvas().Handle()->drawImage(x, y, picture);
}

void TovnControlButton::MouseEnter()
{
    if (Flat() && !m_mouseOver && isEnabled()) {
        m_mouseOver = true;
        SetScreenCursor(m_handCursor ? crHandPoint : crDefault);
    }
    TSpeedButton::MouseEnter();
}

void TovnControlButton::MouseLeave()
{
    if (Flat() && m_mouseOver && isEnabled()) {
        m_mouseOver = false;
        if (m_handCursor)
            SetScreenCursor(crDefault);
    }
    TSpeedButton::MouseLeave();
}
