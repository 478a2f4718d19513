// The grid's input: keys, the mouse and its wheel (cell picks, column sizing
// and moving, row moving), and the hints of cut texts.
#include "ui/KldGridView.h"

#include "platform/DrawText.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"
#include "ui/KldValueEditor.h"

#include <QHelpEvent>
#include <QLabel>

#include <algorithm>

namespace {
constexpr int MinColWidth = 16;
constexpr int DragThreshold = 2;
constexpr int EdgeZone = 5;
constexpr int MaxHintLength = 255;

std::string CutToCharacters(const std::string& text, int count)
{
    const QString s = QString::fromStdString(text);
    return s.size() <= count ? text : s.left(count).toStdString();
}
} // namespace

// ---------------------------------------------------------------------------
// Keys

bool TKldGridView::focusNextPrevChild(bool next)
{
    // With soTabs the grid moves between its cells on Tab.
    if (m_showOptions.Contains(soTabs))
        return false;
    return TCustomControl::focusNextPrevChild(next);
}

void TKldGridView::MoveCurCellByKey(uint16_t key, TShiftState shift)
{
    const TPoint cur = m_curCell;
    const int rows = GetRowCount();
    const int cols = GetColCount();
    switch (key) {
    case VK_TAB: {
        if (!(shift - TShiftState{ssShift}).Empty() || cols == 0)
            return;
        int c = cur.X + (shift.Contains(ssShift) ? -1 : 1);
        int r = cur.Y;
        if (c >= cols) {
            c = 0;
            ++r;
        } else if (c < 0) {
            c = cols - 1;
            --r;
        }
        // Tab on the last (first) cell stays there.
        if (r >= rows || r < 0)
            return;
        SetCurCell(c, r, key);
        return;
    }
    case VK_PRIOR:
        SetCurCell(cur.X, cur.Y - m_visibleRows, key);
        return;
    case VK_NEXT:
        SetCurCell(cur.X, cur.Y + m_visibleRows, key);
        return;
    case VK_HOME:
        if (shift.Contains(ssCtrl))
            SetCurCell(cur.X, 0, key);
        else
            SetCurCell(0, cur.Y, key);
        return;
    case VK_END:
        if (shift.Contains(ssCtrl))
            SetCurCell(cur.X, rows - 1, key);
        else
            SetCurCell(cols - 1, cur.Y, key);
        return;
    case VK_LEFT:
        SetCurCell(cur.X - 1, cur.Y, key);
        return;
    case VK_RIGHT:
        SetCurCell(cur.X + 1, cur.Y, key);
        return;
    case VK_UP:
        SetCurCell(cur.X, cur.Y - 1, key);
        return;
    case VK_DOWN:
        SetCurCell(cur.X, cur.Y + 1, key);
        return;
    default:
        return;
    }
}

void TKldGridView::KeyDown(uint16_t& key, TShiftState shift)
{
    switch (key) {
    case VK_BACK:
    case VK_SPACE:
    case VK_DELETE:
        DoSelCurCell(false, key);
        break;
    case VK_ESCAPE:
        if (m_mouseState == msRowMoving)
            EndDrag();
        break;
    case VK_F2:
        ResetEditorMode();
        break;
    case VK_TAB:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        MoveCurCellByKey(key, shift);
        break;
    default:
        break;
    }
    TCustomControl::KeyDown(key, shift);
}

// ---------------------------------------------------------------------------
// Mouse

TKldGridView::TMouseState TKldGridView::HitArea(int x, int y, int& ACol)
{
    ACol = -1;
    const int caption = CaptionBandHeight();
    const int header = HeaderBandHeight();
    if (caption > 0 && y < caption)
        return msCaption;
    if (y >= caption + header)
        return x < MarkerBandWidth() ? msMarker : msNone;
    const int cols = GetColCount();
    for (int c = 0; c < cols; ++c) {
        const TRect r = GetCellRect(c, -1, true);
        if (r.Left <= x && x <= r.Right + EdgeZone) {
            TAlignment alignment;
            bool columnClick;
            TItemSortOption sort;
            TColumnSizingOption sizing;
            GetColProps(c, alignment, columnClick, sort, sizing);
            ACol = c;
            if (x >= r.Right - EdgeZone && sizing != csoNone && m_showOptions.Contains(soColSizing))
                return msColEdge;
            if (m_showOptions.Contains(soHeader))
                return msHeader;
            ACol = -1;
            return msNone;
        }
    }
    return msNone;
}

void TKldGridView::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    HideCellHint();
    if (!Designing() && !m_editor->hasFocus() && CanFocus() && !shift.Contains(ssDouble))
        SetFocus();
    int col = -1;
    const TMouseState area = HitArea(x, y, col);
    m_downPos = {-1, -1};
    if (area == msCaption || area == msHeader || area == msColEdge) {
        if (button == mbLeft) {
            m_mouseState = area;
            if (area == msCaption) {
                m_captionHot = true;
                m_captionPressed = true;
                Invalidate();
                if (m_showOptions.Contains(soDropDownMenu) && PopupMenu()) {
                    const TPoint p = ClientToScreen({std::max(0, x - 8), m_captionHeight});
                    PopupMenu()->Popup(p.X, p.Y);
                }
            } else if (area == msHeader) {
                m_pressedCol = col;
                m_downPos = {x, y};
                Invalidate();
                if (OnColumnClick)
                    OnColumnClick(this, col);
            } else {
                m_hotCol = col;
                m_downPos = {x, y};
            }
        }
        TCustomControl::MouseDown(button, shift, x, y);
        return;
    }
    // The header band past the last column is neither a header nor a cell.
    if (area == msNone && y < CaptionBandHeight() + HeaderBandHeight()) {
        TCustomControl::MouseDown(button, shift, x, y);
        return;
    }

    // The cells or the marker.
    TPoint cell = PointToCell(x, y);
    const int lastVisible = m_topRow + m_visibleRows - 1;
    if (m_autoAddRow == arFirst && GetRowCount() == 0 && cell.Y == 0)
        DoAddRow();
    else if (cell.Y > lastVisible && (button == mbRight || m_autoAddRow == arNone))
        cell.Y = lastVisible;
    if (area == msMarker) {
        if (button == mbLeft) {
            m_mouseState = msMarker;
            m_downPos = {x, y};
        }
        DoCellClick(-1, cell.Y, crMouse);
        cell.X = m_curCell.X;
    }
    int reason = crEditKey;
    // The column count under the pointer means no column: it is never
    // asked about, and SetCurCell's limits take the row's last cell.
    if (area != msMarker && IsValidCell(cell.X, cell.Y) && DoGetCellEditType(cell.X, cell.Y) == etCheck) {
        const TRect r = GetCellRect(cell.X, cell.Y, true);
        if (x >= r.Left && x < r.Right)
            reason = crMouse;
    }
    SetCurCell(cell.X, cell.Y, reason, true);
    TCustomControl::MouseDown(button, shift, x, y);
}

void TKldGridView::MouseMove(TShiftState shift, int x, int y)
{
    if (shift.Contains(ssLeft)) {
        switch (m_mouseState) {
        case msSizing: {
            int left = 0;
            int width = 0;
            GetCellPlace(m_hotCol, 0, left, width);
            SetColWidth(m_hotCol, std::max(MinColWidth, x + m_leftPos - left - MarkerBandWidth()));
            break;
        }
        case msColMoving:
        case msRowMoving: {
            const TPoint cell = PointToCell(x, y);
            SetCellVisible(m_mouseState == msColMoving ? std::min(cell.X, GetColCount() - 1) : -1,
                           std::clamp(cell.Y, 0, std::max(0, GetRowCount() - 1)));
            break;
        }
        case msHeader:
            if (std::abs(x - m_downPos.X) > DragThreshold && m_showOptions.Contains(soColMoved)) {
                m_mouseState = msColMoving;
                m_dragCol = m_pressedCol;
                m_editor->Hide();
                SetCursor(crDrag);
            }
            break;
        case msColEdge:
            m_mouseState = msSizing;
            SetCursor(crHSplit);
            break;
        case msMarker:
            if (std::abs(y - m_downPos.Y) > DragThreshold && m_showOptions.Contains(soRowMoved)) {
                m_mouseState = msRowMoving;
                m_editor->Hide();
                SetCursor(crVSplit);
            }
            break;
        default:
            break;
        }
    } else {
        UpdateHotState(x, y);
    }
    TCustomControl::MouseMove(shift, x, y);
}

void TKldGridView::UpdateHotState(int x, int y)
{
    int col = -1;
    const TMouseState area = HitArea(x, y, col);
    const bool captionHot = area == msCaption;
    const int hotCol = (area == msHeader || area == msColEdge) ? col : -1;
    if (captionHot != m_captionHot || hotCol != m_hotCol) {
        m_captionHot = captionHot;
        m_hotCol = hotCol;
        Invalidate();
    }
    SetCursor(area == msColEdge ? crHSplit : crDefault);
    if (area == msNone && y >= CaptionBandHeight() + HeaderBandHeight() && m_showHint) {
        const TPoint cell = PointToCell(x, y);
        if (cell != m_hintCell) {
            // Entering another cell starts its hint afresh.
            m_hintCell = cell;
            HideCellHint();
        }
    }
}

void TKldGridView::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft) {
        const TMouseState state = m_mouseState;
        m_mouseState = msNone;
        m_captionPressed = false;
        m_pressedCol = -1;
        SetCursor(crDefault);
        if (state == msRowMoving)
            MoveRow(m_curCell.Y, PointToCell(x, y).Y);
        else if (state == msColMoving)
            MoveCol(m_dragCol, PointToCell(x, y).X);
        m_dragCol = -1;
        Invalidate();
    }
    TCustomControl::MouseUp(button, shift, x, y);
}

void TKldGridView::EndDrag()
{
    m_mouseState = msNone;
    m_dragCol = -1;
    SetCursor(crDefault);
    Invalidate();
}

void TKldGridView::MouseLeave()
{
    HideCellHint();
    m_hintCell = {-1, -1};
    if (m_captionHot || m_hotCol >= 0) {
        m_captionHot = false;
        m_hotCol = -1;
        Invalidate();
    }
    TCustomControl::MouseLeave();
}

bool TKldGridView::DoMouseWheel(TShiftState shift, int wheelDelta, const TPoint& mousePos)
{
    if (!PtInRect(ClientRect(), mousePos) || wheelDelta == 0)
        return false;
    SetTopRow(m_topRow + (wheelDelta > 0 ? -1 : 1));
    return true;
}

// ---------------------------------------------------------------------------
// Hints

bool TKldGridView::GetCellHint(const TPoint& P, std::string& AText, TRect& AScreenRect)
{
    if (P.Y < CaptionBandHeight() + HeaderBandHeight() || P.X < MarkerBandWidth())
        return false;
    const TPoint cell = PointToCell(P.X, P.Y);
    if (!IsValidCell(cell.X, cell.Y))
        return false;
    std::string text;
    if (!DoCellState(cell.X, cell.Y, {}).Contains(csEmpty))
        DoGetCellText(cell.X, cell.Y, text);
    text = CutToCharacters(text, MaxHintLength);
    const TRect r = GetCellRect(cell.X, cell.Y, true);
    const TRect inner = Rect(r.Left + 2, r.Top + 1, r.Right - 3, r.Bottom - 1);
    TCanvas measure;
    measure.Font().Assign(Font());
    TRect calc = Rect(0, 0, 0, 0);
    DrawText(measure, text, calc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    if (calc.Width() <= inner.Width())
        return false;
    AText = text;
    const TPoint s = ClientToScreen(r.TopLeft());
    AScreenRect = Bounds(s.X - 1, s.Y - 1, std::min(calc.Width() + 6, ClientWidth()), r.Height() + 1);
    return true;
}

void TKldGridView::ShowCellHintAt(const TPoint& P)
{
    std::string text;
    TRect screen;
    if (!m_showHint || !GetCellHint(P, text, screen)) {
        HideCellHint();
        return;
    }
    m_hintLabel->setFont(Font().Handle());
    m_hintLabel->setText(QString::fromStdString(text));
    m_hintLabel->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; border: 1px solid %3; "
                                              "padding-left: 2px; }")
                                   .arg(ToQColor(clInfoBk).name(), ToQColor(clInfoText).name(),
                                        ToQColor(clWindowFrame).name()));
    m_hintLabel->setGeometry(ToQRect(screen));
    m_hintLabel->show();
}

void TKldGridView::HideCellHint()
{
    if (m_hintLabel)
        m_hintLabel->hide();
}

bool TKldGridView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const TPoint o = ClientOrigin();
        try {
            ShowCellHintAt({help->pos().x() - o.X, help->pos().y() - o.Y});
        } catch (...) {
            ReportCurrentException(ClassName() + ".CellHint");
        }
        return true;
    }
    return TCustomControl::event(event);
}
