#include "platform/StatusBar.h"

#include "platform/DrawText.h"

#include <algorithm>

TStatusBar::TStatusBar(QWidget* parent) : TCustomControl(parent)
{
    SetColor(clBtnFace);
    SetHeight(19);
}

int TStatusBar::AddPanel(const TStatusPanel& Panel)
{
    m_panels.push_back(Panel);
    Invalidate();
    return PanelCount() - 1;
}

void TStatusBar::SetPanelText(int Index, const std::string& Text)
{
    ChangePanel(Index, &TStatusPanel::Text, Text);
}

void TStatusBar::SetPanelWidth(int Index, int Width)
{
    ChangePanel(Index, &TStatusPanel::Width, Width);
}

void TStatusBar::SetPanelStyle(int Index, TStatusPanelStyle Style)
{
    ChangePanel(Index, &TStatusPanel::Style, Style);
}

TRect TStatusBar::PanelRect(int Index) const
{
    int left = 0;
    for (int i = 0; i < Index; ++i)
        left += m_panels.at(static_cast<size_t>(i)).Width + 1;
    const bool last = Index == PanelCount() - 1;
    const int right = last ? std::max(left, ClientWidth()) : left + m_panels.at(static_cast<size_t>(Index)).Width;
    return Rect(left, 0, right, ClientHeight());
}

void TStatusBar::Paint()
{
    TCustomControl::Paint();
    for (int i = 0; i < PanelCount(); ++i) {
        const TRect r = PanelRect(i);
        if (m_panels[static_cast<size_t>(i)].Style == psOwnerDraw) {
            if (OnDrawPanel)
                OnDrawPanel(this, i, r);
            continue;
        }
        TRect text = r;
        text.Left += 2;
        Canvas().Brush().Style = bsClear;
        DrawText(Canvas(), m_panels[static_cast<size_t>(i)].Text, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
}

TProgressBar::TProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void TProgressBar::SetPosition(int Value)
{
    setValue(std::clamp(Value, minimum(), maximum()));
}
