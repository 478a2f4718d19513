#include "platform/Buttons.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

TSpeedButton::TSpeedButton(QWidget* parent) : TCustomControl(parent)
{
    // A graphic control: what it does not paint shows its parent.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAttribute(Qt::WA_NoSystemBackground, false);
    setFocusPolicy(Qt::NoFocus);
    resize(23, 22);
}

void TSpeedButton::SetCaption(const std::string& Value)
{
    m_caption = Value;
    Invalidate();
}

void TSpeedButton::SetFlat(bool Value)
{
    m_flat = Value;
    Invalidate();
}

void TSpeedButton::SetGroupIndex(int Value)
{
    m_groupIndex = Value;
    if (Value == 0 && m_down) {
        m_down = false;
        Invalidate();
    }
}

void TSpeedButton::SetDown(bool Value)
{
    if (m_groupIndex == 0)
        Value = false;
    if (Value == m_down)
        return;
    m_down = Value;
    if (Value)
        LiftGroupSiblings();
    Invalidate();
}

void TSpeedButton::SetGlyph(const QImage& Value)
{
    m_glyph = Value;
    Invalidate();
}

TButtonState TSpeedButton::State() const
{
    if (!isEnabled())
        return bsDisabled;
    if (m_down)
        return bsExclusive;
    return m_pressing ? bsDown : bsUp;
}

void TSpeedButton::LiftGroupSiblings()
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    for (QObject* child : parent->children()) {
        auto* sibling = dynamic_cast<TSpeedButton*>(child);
        if (sibling && sibling != this && sibling->m_groupIndex == m_groupIndex && sibling->m_down) {
            sibling->m_down = false;
            sibling->Invalidate();
        }
    }
}

void TSpeedButton::Click()
{
    if (m_groupIndex != 0) {
        if (!m_down) {
            m_down = true;
            LiftGroupSiblings();
        } else if (m_allowAllUp) {
            m_down = false;
        }
        Invalidate();
    }
    TCustomControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft && isEnabled() && !shift.Contains(ssDouble)) {
        m_pressing = true;
        Repaint();
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft && m_pressing) {
        m_pressing = false;
        Invalidate();
    }
    TCustomControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::MouseEnter()
{
    if (m_flat)
        Invalidate();
    TCustomControl::MouseEnter();
}

void TSpeedButton::MouseLeave()
{
    if (m_flat)
        Invalidate();
    TCustomControl::MouseLeave();
}

void TSpeedButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        Invalidate();
    TCustomControl::changeEvent(event);
}

void TSpeedButton::Paint()
{
    TCanvas& canvas = Canvas();
    QPainter* p = canvas.Handle();
    const TRect r = ClientRect();
    const TButtonState state = State();
    const bool sunken = state == bsDown || state == bsExclusive;
    // A flat button lets its parent show through while it is up.
    if (!m_flat || state == bsExclusive) {
        canvas.Brush().Color = state == bsExclusive ? clBtnHighlight : Color();
        canvas.Brush().Style = bsSolid;
        canvas.FillRect(r);
    }
    // The edge: always on a raised button, on a flat one only while hot or down.
    if (!m_flat || sunken || (MouseInControl() && state != bsDisabled)) {
        const QColor light = ToQColor(sunken ? clBtnShadow : clBtnHighlight);
        const QColor dark = ToQColor(sunken ? clBtnHighlight : clBtnShadow);
        p->setPen(light);
        p->drawLine(r.Left, r.Top, r.Right - 1, r.Top);
        p->drawLine(r.Left, r.Top, r.Left, r.Bottom - 1);
        p->setPen(dark);
        p->drawLine(r.Left, r.Bottom - 1, r.Right - 1, r.Bottom - 1);
        p->drawLine(r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1);
    }
    const int shift = sunken ? 1 : 0;
    const int textWidth = m_caption.empty() ? 0 : canvas.TextWidth(m_caption);
    const int glyphWidth = m_glyph.isNull() ? 0 : m_glyph.width();
    const int gap = glyphWidth > 0 && textWidth > 0 ? 4 : 0;
    int x = (r.Width() - glyphWidth - gap - textWidth) / 2 + shift;
    if (!m_glyph.isNull()) {
        const int y = (r.Height() - m_glyph.height()) / 2 + shift;
        p->save();
        if (state == bsDisabled)
            p->setOpacity(0.4);
        p->drawImage(x, y, m_glyph);
        p->restore();
        x += glyphWidth + gap;
    }
    if (textWidth > 0) {
        p->setFont(Font().Handle());
        p->setPen(ToQColor(state == bsDisabled ? clGrayText : Font().Color()));
        const int y = (r.Height() - canvas.TextHeight(m_caption)) / 2 + shift;
        p->drawText(QRect(x, y, textWidth + 1, r.Height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic,
                    QString::fromStdString(m_caption));
    }
}
