// The grid's painting: the border and the corner between the scroll bars,
// the caption and header rows, the row markers, and the cells with their
// pictures and check boxes.
#include "ui/KldGridView.h"

#include "platform/DrawText.h"
#include "platform/FrameControls.h"
#include "platform/SysUtils.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
constexpr TColor HotCaptionColor = 0xF3F8FA;
constexpr TColor PressedHeaderColor = 0xFAF8F3;

unsigned AlignmentFlags(TAlignment a)
{
    switch (a) {
    case taRightJustify:
        return DT_RIGHT;
    case taCenter:
        return DT_CENTER;
    case taLeftJustify:
        break;
    }
    return DT_LEFT;
}
} // namespace

// ---------------------------------------------------------------------------
// Painting

void TKldGridView::PaintNonClient(TCanvas& canvas)
{
    const TRect all = Rect(0, 0, width(), height());
    const TRect margins = NonClientMargins();
    if (m_borders == bsSingle) {
        TRect r = all;
        DrawEdge(canvas, r, EDGE_SUNKEN, BF_RECT);
    }
    // The corner between two bars.
    if (!m_vertBar->isHidden() && !m_horzBar->isHidden()) {
        canvas.Brush().Color = clBtnFace;
        canvas.Brush().Style = bsSolid;
        canvas.FillRect(Rect(all.Right - margins.Right, all.Bottom - margins.Bottom, all.Right - margins.Left,
                             all.Bottom - margins.Top));
    }
}

void TKldGridView::Paint()
{
    TCanvas& canvas = Canvas();
    const int caption = CaptionBandHeight();
    const int header = HeaderBandHeight();
    const int marker = MarkerBandWidth();
    const int width = ClientWidth();
    const int height = ClientHeight();

    if (caption > 0)
        PaintCaption(Rect(0, 0, width, caption));

    QPainter* painter = canvas.Handle();
    const int cols = GetColCount();
    const int rows = GetRowCount();
    int lastRow = m_topRow + m_visibleRows - 1;
    if (m_autoAddRow == arFirst && rows == 0)
        ++lastRow;
    {
        // Headers and cells stay right of the marker and below the caption.
        painter->save();
        painter->setClipRect(ToQRect(Rect(marker, caption, width, height)), Qt::IntersectClip);
        if (header > 0)
            for (int c = 0; c < cols; ++c)
                PaintHeader(c);
        for (int r = m_topRow; r <= lastRow; ++r)
            for (int c = 0; c < cols; ++c)
                PaintCell(c, r);
        painter->restore();
    }

    if (marker > 0) {
        canvas.Brush().Color = clBtnFace;
        canvas.Brush().Style = bsSolid;
        canvas.FillRect(Rect(0, caption, marker, caption + header));
        for (int r = m_topRow; r <= lastRow; ++r)
            PaintMarker(r);
    }

    // Right of the last column and below the last row.
    const int right = marker + m_totalWidth - m_leftPos;
    canvas.Brush().Style = bsSolid;
    if (right < width) {
        canvas.Brush().Color = clBtnFace;
        canvas.FillRect(Rect(right, caption, width, caption + header));
        canvas.Brush().Color = Color();
        canvas.FillRect(Rect(right, caption + header, width, height));
    }
    const int bottom = caption + header + (lastRow - m_topRow + 1) * m_rowHeight;
    if (bottom < height) {
        canvas.Brush().Color = Color();
        canvas.FillRect(Rect(marker, bottom, width, height));
        if (marker > 0) {
            canvas.Brush().Color = clBtnFace;
            canvas.FillRect(Rect(0, bottom, marker, height));
        }
    }
}

void TKldGridView::PaintCaption(const TRect& band)
{
    if (IsRectEmpty(IntersectRect(band, PaintRect())))
        return;
    TCanvas& canvas = Canvas();
    canvas.Brush().Style = bsSolid;
    canvas.Brush().Color = m_captionHot && !m_captionPressed ? HotCaptionColor : clBtnFace;
    canvas.FillRect(band);
    TRect edge = band;
    DrawEdge(canvas, edge, EDGE_ETCHED, BF_BOTTOM | BF_SOFT);
    canvas.Font().Assign(Font());
    TRect text = Rect(band.Left + 4, band.Top, band.Right - 4, band.Bottom);
    DrawText(canvas, m_caption, text, AlignmentFlags(m_alignment) | DT_SINGLELINE | DT_VCENTER);
    if (!m_showOptions.Contains(soDropDownMenu))
        return;
    TRect calc = Rect(0, 0, 0, 0);
    DrawText(canvas, m_caption, calc, DT_CALCRECT | DT_SINGLELINE);
    const int textWidth = calc.Width();
    int x = textWidth + 10;
    if (m_alignment == taRightJustify)
        x = band.Width() - textWidth - 16;
    else if (m_alignment == taCenter)
        x = (textWidth + band.Width() + 16) / 2;
    DrawImageListItem(canvas, Rect(x, band.Top, x + 9, band.Bottom), &KldGridImages(), false, 1);
}

void TKldGridView::PaintHeader(int ACol)
{
    const TRect r = GetCellRect(ACol, -1, true);
    if (IsRectEmpty(IntersectRect(r, PaintRect())))
        return;
    TAlignment alignment = taLeftJustify;
    bool columnClick = false;
    TItemSortOption sort = isoNone;
    TColumnSizingOption sizing = csoFixed;
    GetColProps(ACol, alignment, columnClick, sort, sizing);
    const bool pressed = columnClick && ACol == m_hotCol && ACol == m_pressedCol;
    TCanvas& canvas = Canvas();
    canvas.Brush().Style = bsSolid;
    canvas.Brush().Color = pressed ? PressedHeaderColor : clBtnFace;
    canvas.FillRect(r);
    TRect edge = r;
    DrawEdge(canvas, edge, BDR_RAISEDINNER, BF_LEFT | BF_RIGHT | BF_BOTTOM);
    canvas.Font().Assign(Font());
    canvas.Font().SetColor(clBtnText);
    TRect text = Rect(r.Left + 2, r.Top + 1, r.Right - 2, r.Bottom - 1);
    if (pressed)
        text = OffsetRect(text, 1, 1);
    DrawText(canvas, GetColCaption(ACol), text, AlignmentFlags(alignment) | DT_SINGLELINE | DT_VCENTER);
}

void TKldGridView::PaintCheckBox(TRect& ATextRect, const TRect& ACellRect, TAlignment AAlignment, std::string& AText,
                                 bool ANullable)
{
    int slot = ACellRect.Left + 1;
    if (AAlignment == taRightJustify)
        slot = ACellRect.Right - 17;
    else if (AAlignment == taCenter)
        slot = ACellRect.Left + (ACellRect.Width() - 16) / 2;
    unsigned state = DFCS_BUTTONCHECK | DFCS_FLAT;
    if (AText.empty()) {
        if (ANullable) {
            state |= DFCS_INACTIVE;
            AText = "N/A";
        } else {
            AText = "False";
        }
    } else if (StrToBoolean(AText)) {
        state |= DFCS_CHECKED;
    }
    constexpr int box = 13;
    const int top = ACellRect.Top + (ACellRect.Height() - 1 - box) / 2;
    DrawFrameControl(Canvas(), Bounds(slot + (16 - box) / 2, top, box, box), DFC_BUTTON, state);
    ATextRect.Left += 20;
    if (!m_showCheckText)
        AText.clear();
}

void TKldGridView::PaintCell(int ACol, int ARow)
{
    const TRect r = GetCellRect(ACol, ARow, true);
    if (IsRectEmpty(IntersectRect(r, PaintRect())))
        return;
    const int rows = GetRowCount();
    const bool real = ARow < rows;
    TCellEditOptions options;
    TKldCellStates states{csEmpty};
    if (real) {
        DoCellEditOptions(ACol, ARow, options);
        states = DoCellState(ACol, ARow, {});
    }
    std::string text;
    if (!states.Contains(csEmpty))
        DoGetCellText(ACol, ARow, text);

    TCanvas& canvas = Canvas();
    TFont& font = canvas.Font();
    font.Assign(Font());
    TColor color = Color();
    TAlignment alignment = taLeftJustify;
    if (real)
        DoCellProps(ACol, ARow, font, color, alignment);
    if (ARow == m_curCell.Y) {
        if (m_showOptions.Contains(soRowSelect) && ACol != m_curCell.X) {
            color = m_rowSelectColor;
            font.SetColor(Font().Color());
        }
        const bool editorOnIt = options.EditType >= etValue && m_showOptions.Contains(soAlwaysShowEditor);
        if (ACol == m_curCell.X && !editorOnIt) {
            color = m_highlightColor;
            font.SetColor(clHighlightText);
        }
    } else if (m_curCell.Y < 0 && ARow == 0 && hasFocus() && m_autoAddRow != arNone &&
               m_showOptions.Contains(soRowSelect)) {
        color = m_rowSelectColor;
    }
    canvas.Brush().Style = bsSolid;
    canvas.Brush().Color = color;
    canvas.FillRect(r);

    canvas.Brush().Color = real ? clKldGridLine : clKldGridLineEmpty;
    if (m_showOptions.Contains(soVerticalGrid))
        canvas.FillRect(Rect(r.Right - 1, r.Top, r.Right, r.Bottom));
    if (m_showOptions.Contains(soHorizontalGrid))
        canvas.FillRect(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom));

    if (OnCellDraw) {
        bool handled = false;
        OnCellDraw(this, canvas, r, ACol, ARow, text, handled);
        if (handled)
            return;
    }
    if (states.Contains(csEmpty))
        return;
    TRect textRect = Rect(r.Left + 2, r.Top + 1, r.Right - 3, r.Bottom - 2);
    if (options.EditType == etCheck)
        PaintCheckBox(textRect, r, alignment, text, options.Nullable);
    if (text.empty())
        return;
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    DrawText(canvas, text, textRect, AlignmentFlags(alignment) | DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX);
}

void TKldGridView::PaintMarker(int ARow)
{
    const TRect r = GetCellRect(-1, ARow, true);
    if (IsRectEmpty(IntersectRect(r, PaintRect())))
        return;
    TCanvas& canvas = Canvas();
    canvas.Brush().Style = bsSolid;
    canvas.Brush().Color = clBtnFace;
    canvas.FillRect(r);
    const int rows = GetRowCount();
    if (m_numberedRow != nrNone && ARow < rows) {
        if (m_showOptions.Contains(soHorizontalGrid)) {
            canvas.Brush().Color = clKldGridLine;
            canvas.FillRect(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom));
        }
        const int number = m_numberedRow == nrAscending ? ARow + 1 : rows - ARow;
        canvas.Font().Assign(Font());
        TRect text = Rect(r.Left + 2, r.Top + 1, r.Right - 3 - m_markerImageWidth, r.Bottom - 2);
        DrawText(canvas, std::to_string(number), text, DT_RIGHT | DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX);
    }
    if (ARow < rows)
        DoDrawRowMarker(ARow, r);
}
