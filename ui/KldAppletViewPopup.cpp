#include "ui/KldAppletViewPopup.h"

#include "platform/DrawText.h"

#include <algorithm>

namespace {
constexpr TColor LineColor = 0xDEDEDE;
constexpr unsigned RowTextFlags = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
} // namespace

TKldAppletViewPopup::TKldAppletViewPopup(QWidget* parent) : TKldAppletView(parent) {}

void TKldAppletViewPopup::SetMinGroupColWidth(int Value)
{
    if (Value == m_minGroupColWidth)
        return;
    m_minGroupColWidth = Value;
    Invalidate();
}

void TKldAppletViewPopup::SetGroupFont(TCanvas& Canvas) const
{
    Canvas.Font().Assign(Font());
    Canvas.Font().SetStyle(GroupFontStyle());
    Canvas.Font().SetSize(GroupFontSize());
    Canvas.Font().SetColor(GroupFontColor());
}

int TKldAppletViewPopup::CalcWidth()
{
    TCanvas measure;
    measure.Font().Assign(Font());
    int widest = 0;
    for (int i = 0; i < Items().Count(); ++i) {
        const TKldAppItems& results = Items().Items(i)->Items();
        for (int j = 0; j < results.Count(); ++j)
            widest = std::max(widest, CalcTextWidth(measure, results.Items(j)->Caption(), DT_SINGLELINE));
    }
    SetGroupFont(measure);
    int group = 0;
    for (int i = 0; i < Items().Count(); ++i)
        group = std::max(group, CalcTextWidth(measure, Items().Items(i)->Caption(), DT_SINGLELINE));
    m_groupColWidth = group + 16;
    if (m_minGroupColWidth > 0 && m_groupColWidth < m_minGroupColWidth)
        m_groupColWidth = m_minGroupColWidth;
    return m_groupColWidth + std::max(widest + 16, 2 * m_groupColWidth);
}

void TKldAppletViewPopup::PaintGroup(TKldAppItem* item)
{
    TKldCanvas& c = OffScreen();
    const TRect header = CalcGroupRect(item);
    DoGradientFill(c, {m_groupColWidth, header.Top, header.Right, header.Bottom}, ItemColorA(), ItemColorB(),
                   gdVert);
    c.Pen().Color = LineColor;
    c.Pen().Style = psSolid;
    c.Pen().Width = 1;
    c.MoveTo(m_groupColWidth - 1, header.Top);
    c.LineTo(m_groupColWidth - 1, header.Bottom);
}

void TKldAppletViewPopup::PaintItem(TKldAppItem* item)
{
    const int k = GetItemIdx(item);
    if (k < 0)
        return;
    TKldCanvas& c = OffScreen();
    const TRect r = GetItemRect(item);
    const bool selected = k == SelIdx();
    const bool hot = MouseInControl() && k == CurIdx() && !selected;
    TColor colorA = ItemColorA();
    TColor colorB = ItemColorB();
    TColor pen = ItemPenColor();
    int fillLeft = m_groupColWidth;
    if (hot || selected) {
        colorA = hot ? HighlightColorA() : SelectedColorA();
        colorB = hot ? HighlightColorB() : SelectedColorB();
        pen = hot ? HighlightPenColor() : SelectedPenColor();
        fillLeft = r.Left;
    }
    DoGradientFill(c, {fillLeft, r.Top, r.Right, r.Bottom}, colorA, colorB, gdVert);
    c.Pen().Style = psSolid;
    c.Pen().Width = 1;
    c.Pen().Color = LineColor;
    c.MoveTo(m_groupColWidth - 1, r.Top);
    c.LineTo(m_groupColWidth - 1, r.Bottom);
    if (hot || selected) {
        c.Pen().Color = pen;
        c.MoveTo(r.Left, r.Top);
        c.LineTo(r.Right, r.Top);
        c.MoveTo(r.Left, r.Bottom - 1);
        c.LineTo(r.Right, r.Bottom - 1);
    }

    c.Font().Assign(Font());
    TRect text{m_groupColWidth + 8, r.Top + 1, r.Right - 8, r.Bottom - 1};
    DrawText(c, item->Caption(), text, RowTextFlags);

    // The group's caption beside its first row.
    TKldAppItem* group = item->GetParent();
    if (!group)
        return;
    const TKldAppItems& rows = group->Items();
    TKldAppItem* first = nullptr;
    for (int i = 0; i < rows.Count() && !first; ++i)
        if (rows.Items(i)->Visible())
            first = rows.Items(i);
    if (first != item)
        return;
    SetGroupFont(c);
    TRect caption{r.Left + 8, r.Top + 1, m_groupColWidth + 1 - 8, r.Bottom - 1};
    DrawText(c, group->Caption(), caption, RowTextFlags | DT_RIGHT);
}
