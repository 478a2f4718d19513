#include "ui/KldGridView.h"

#include "platform/DrawText.h"
#include "platform/FrameControls.h"
#include "platform/ScopedFlag.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"
#include "ui/KldAppUtils.h"
#include "ui/KldValueEditor.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

// ---------------------------------------------------------------------------
// Text helpers and pictures

bool StrToBoolean(const std::string& S)
{
    return SameText(S, "T") || SameText(S, "True") || S == "1";
}

std::string BooleanToStr(bool B)
{
    return B ? "True" : "False";
}

void InvertBoolStr(std::string& S, bool AllowEmpty)
{
    if (SameText(S, "True"))
        S = AllowEmpty ? "" : "False";
    else if (Trim(S).empty())
        S = AllowEmpty ? "False" : "True";
    else
        S = "True";
}

void DrawImageListItem(TCanvas& Canvas, const TRect& Rect, TCustomImageList* ImageList, bool Center, int Index)
{
    if (!ImageList || !ImageList->ValidIndex(Index))
        return;
    const int x = Center ? Rect.Left + (Rect.Width() - ImageList->Width()) / 2 : Rect.Left;
    const int y = Rect.Top + (Rect.Height() - ImageList->Height()) / 2;
    ImageList->Draw(Canvas, x, y, Index);
}

TCustomImageList& KldGridImages()
{
    static TCustomImageList* images = [] {
        Q_INIT_RESOURCE(KldAppResources);
        auto* list = new TCustomImageList(9, 9); // lives as long as the program, as the unit's list did
        list->ResourceLoad(rtBitmap, "BMP_DLG", clWhite);
        list->ResourceLoad(rtBitmap, "BMP_DROPDOWN", clWhite);
        list->ResourceLoad(rtBitmap, "BMP_MINUS", clNone);
        list->ResourceLoad(rtBitmap, "BMP_PLUS", clNone);
        return list;
    }();
    return *images;
}

namespace {
int ScrollBarExtent()
{
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}
} // namespace

// ---------------------------------------------------------------------------
// Construction and settings

TKldGridView::TKldGridView(QWidget* parent) : TCustomControl(parent)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    m_vertBar = new QScrollBar(Qt::Vertical, this);
    m_horzBar = new QScrollBar(Qt::Horizontal, this);
    m_vertBar->hide();
    m_horzBar->hide();
    m_vertBar->setFocusPolicy(Qt::NoFocus);
    m_horzBar->setFocusPolicy(Qt::NoFocus);
    QObject::connect(m_vertBar, &QAbstractSlider::actionTriggered, m_vertBar, [this](int action) {
        try {
            VertScroll(action);
        } catch (...) {
            ReportCurrentException(ClassName() + ".VertScroll");
        }
    });
    QObject::connect(m_horzBar, &QAbstractSlider::actionTriggered, m_horzBar, [this](int action) {
        try {
            HorzScroll(action);
        } catch (...) {
            ReportCurrentException(ClassName() + ".HorzScroll");
        }
    });
    m_hintLabel = new TPlainLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
    m_hintLabel->setAttribute(Qt::WA_ShowWithoutActivating);
    m_hintLabel->hide();
    m_editor = new TKldValueEditor(this);
    UpdateRowSelectColor();
    UpdateFrame();
}

TKldGridView::~TKldGridView() = default;

void TKldGridView::UpdateRowSelectColor()
{
    m_rowSelectColor = MixColor(Color(), m_highlightColor, true);
}

int TKldGridView::CaptionBandHeight() const
{
    return m_showOptions.Contains(soCaption) ? m_captionHeight : 0;
}

int TKldGridView::HeaderBandHeight() const
{
    return m_showOptions.Contains(soHeader) ? m_headerHeight : 0;
}

int TKldGridView::MarkerBandWidth() const
{
    return m_showOptions.Contains(soMarker) ? m_markerWidth : 0;
}

TRect TKldGridView::WorkRect() const
{
    return Rect(MarkerBandWidth(), CaptionBandHeight() + HeaderBandHeight(), ClientWidth(), ClientHeight());
}

int TKldGridView::WorkWidth() const
{
    return std::max(0, ClientWidth() - MarkerBandWidth());
}

int TKldGridView::WorkHeight() const
{
    return std::max(0, ClientHeight() - CaptionBandHeight() - HeaderBandHeight());
}

void TKldGridView::SetRowHeight(int value)
{
    value = std::max(1, value);
    if (value == m_rowHeight)
        return;
    m_rowHeight = value;
    UpdateViewParams();
}

void TKldGridView::SetHeaderHeight(int value)
{
    if (value == m_headerHeight)
        return;
    m_headerHeight = value;
    UpdateViewParams();
}

void TKldGridView::SetCaptionHeight(int value)
{
    if (value == m_captionHeight)
        return;
    m_captionHeight = value;
    UpdateViewParams();
}

void TKldGridView::SetMarkerWidth(int value)
{
    if (value == m_markerWidth)
        return;
    m_markerWidth = value;
    UpdateViewParams();
}

void TKldGridView::SetShowOptions(TKldListViewShowOptions value)
{
    if (value != m_showOptions) {
        // The caption, header and marker take their room from the work
        // area: on a grid already shown, switching one of them reshapes
        // the view as a resize does (else the rows and columns keep sizes
        // measured for another area until the next resize).
        constexpr TKldListViewShowOptions bands{soCaption, soHeader, soMarker};
        const bool reshape = isVisible() && (value * bands) != (m_showOptions * bands);
        m_showOptions = value;
        if (value.Contains(soAlwaysShowEditor) != m_editorMode)
            ResetEditorMode();
        if (reshape)
            ClientSizeChanged();
    }
    Invalidate();
}

void TKldGridView::SetHighlightColor(TColor value)
{
    m_highlightColor = value;
    UpdateRowSelectColor();
    Invalidate();
}

void TKldGridView::SetAlignment(TAlignment value)
{
    if (value == m_alignment)
        return;
    m_alignment = value;
    Invalidate();
}

void TKldGridView::SetBorders(TBorderStyle value)
{
    if (value == m_borders)
        return;
    m_borders = value;
    UpdateFrame();
    UpdateViewParams();
}

void TKldGridView::SetScrollBars(TScrollStyle value)
{
    if (value == m_scrollBars)
        return;
    m_scrollBars = value;
    UpdateFrame();
    UpdateViewParams();
}

void TKldGridView::SetReadOnly(bool value)
{
    if (value == m_readOnly)
        return;
    m_readOnly = value;
    ResetCurCell();
}

void TKldGridView::SetNumberedRow(TNumberedRow value)
{
    if (value == m_numberedRow)
        return;
    m_numberedRow = value;
    Invalidate();
}

void TKldGridView::SetShowCheckText(bool value)
{
    if (value == m_showCheckText)
        return;
    m_showCheckText = value;
    Invalidate();
}

void TKldGridView::SetCaption(const std::string& value)
{
    if (value == m_caption)
        return;
    m_caption = value;
    Invalidate();
}

void TKldGridView::SetColCount(int N)
{
    N = std::max(0, N);
    if (N == m_colCount)
        return;
    m_colCount = N;
    UpdateViewParams();
    Invalidate();
}

// ---------------------------------------------------------------------------
// The overridable operations: base answers

void TKldGridView::SetRowCount(int N)
{
    N = std::max(0, N);
    if (N == m_rowCount)
        return;
    m_rowCount = N;
    UpdateViewParams();
    Invalidate();
}

int TKldGridView::GetRowCount()
{
    return m_rowCount;
}

int TKldGridView::GetColCount()
{
    return m_colCount;
}

std::string TKldGridView::GetColCaption(int ACol)
{
    return "Column";
}

void TKldGridView::GetColProps(int ACol, TAlignment& AAlignment, bool& AColumnClick, TItemSortOption& ASortOption,
                               TColumnSizingOption& ASizingOption)
{
    AAlignment = taLeftJustify;
    AColumnClick = false;
    ASortOption = isoNone;
    ASizingOption = csoFixed;
}

void TKldGridView::CalcColsWidth()
{
    int total = 0;
    const int cols = GetColCount();
    for (int c = 0; c < cols; ++c) {
        int left = 0;
        int width = 0;
        GetCellPlace(c, 0, left, width);
        total += width;
    }
    m_totalWidth = total;
}

void TKldGridView::SetColWidth(int ACol, int AWidth) {}

void TKldGridView::SetColIndex(int AFrom, int ATo) {}

void TKldGridView::AdjustCellsSize(int AWidth, int AHeight) {}

TKldEditType TKldGridView::DoGetCellEditType(int ACol, int ARow)
{
    return OnCellEditType ? OnCellEditType(this, ACol, ARow) : etNone;
}

void TKldGridView::DoGetCellText(int ACol, int ARow, std::string& AText)
{
    if (OnGetCellText)
        OnGetCellText(this, ACol, ARow, AText);
    else
        AText.clear();
}

void TKldGridView::DoSetCellText(int ACol, int ARow, std::string& AText)
{
    if (OnSetCellText)
        OnSetCellText(this, ACol, ARow, AText);
}

void TKldGridView::DoCellProps(int ACol, int ARow, TFont& AFont, TColor& AColor, TAlignment& AAlignment)
{
    if (OnCellProps) {
        OnCellProps(this, ACol, ARow, AAlignment, AColor, AFont);
        return;
    }
    AColor = Color();
    AFont.SetColor(clWindowText);
    AAlignment = taLeftJustify;
}

TKldCellStates TKldGridView::DoCellState(int ACol, int ARow, TKldCellStates ADefault)
{
    return OnCellState ? OnCellState(this, ACol, ARow) : ADefault;
}

void TKldGridView::DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions)
{
    AOptions.EditType = DoGetCellEditType(ACol, ARow);
    if (OnCellEdit && AOptions.ValueList)
        OnCellEdit(this, ACol, ARow, AOptions.Min, AOptions.Max, AOptions.ValueList);
}

bool TKldGridView::DoCellExecDialog(int ACol, int ARow, std::string& AText)
{
    return false;
}

void TKldGridView::DoCellClick(int ACol, int ARow, int AReason)
{
    if (m_readOnly || !IsValidCell(ACol, ARow))
        return;
    if (DoCellState(ACol, ARow, {}).Contains(csReadOnly))
        return;
    TCellEditOptions options;
    DoCellEditOptions(ACol, ARow, options);
    if (options.EditType != etCheck)
        return;
    std::string text;
    DoGetCellText(ACol, ARow, text);
    if (AReason == crMouse || AReason == crSpace)
        InvertBoolStr(text, options.Nullable);
    else if ((AReason == crBackspace || AReason == crDelete) && options.Nullable)
        text.clear();
    else if (AReason != crBackspace && AReason != crDelete)
        return;
    DoSetCellText(ACol, ARow, text);
    InvalidateCell(ACol, ARow, false);
}

void TKldGridView::DoDrawRowMarker(int ARow, const TRect& ARect) {}

void TKldGridView::DoSelCurCell(bool AChanged, int AReason)
{
    if (AReason != crNoReason)
        DoCellClick(m_curCell.X, m_curCell.Y, AReason);
    if (AChanged && OnCurCellChanged)
        OnCurCellChanged(this);
}

void TKldGridView::DoChanged(int ACol, int ARow)
{
    m_changed = true;
    if (OnChanged)
        OnChanged(this, ACol, ARow);
}

void TKldGridView::DoAddRow() {}

bool TKldGridView::DoMoveRow(int AFrom, int ATo)
{
    const int rows = GetRowCount();
    return AFrom != ATo && m_showOptions.Contains(soRowMoved) && AFrom >= 0 && AFrom < rows && ATo >= 0 &&
           ATo < rows;
}

void TKldGridView::LayoutChanged()
{
    UpdateViewParams();
    m_editor->Adjust();
}

void TKldGridView::GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth)
{
    ALeft = ACol * 70;
    AWidth = 70;
}

// ---------------------------------------------------------------------------
// Geometry

bool TKldGridView::IsValidCell(int ACol, int ARow)
{
    return ACol >= 0 && ARow >= 0 && ACol < GetColCount() && ARow < GetRowCount();
}

TRect TKldGridView::GetCellRect(int ACol, int ARow, bool AScrolled)
{
    const int caption = CaptionBandHeight();
    const int header = HeaderBandHeight();
    TRect r;
    if (ARow >= 0) {
        r.Top = caption + header + (ARow - (AScrolled ? m_topRow : 0)) * m_rowHeight;
        r.Bottom = r.Top + m_rowHeight;
    } else if (ARow == -1) {
        r.Top = caption;
        r.Bottom = caption + header;
    } else {
        r.Top = caption;
        r.Bottom = caption + header + m_visibleRows * m_rowHeight;
    }
    if (ACol >= 0) {
        int left = 0;
        int width = 0;
        GetCellPlace(ACol, std::max(ARow, 0), left, width);
        r.Left = MarkerBandWidth() + left - (AScrolled ? m_leftPos : 0);
        r.Right = r.Left + width;
    } else if (ACol == -1) {
        r.Left = 0;
        r.Right = MarkerBandWidth();
    } else {
        r.Left = 0;
        r.Right = m_totalWidth;
    }
    return r;
}

TPoint TKldGridView::PointToCell(int X, int Y)
{
    TPoint cell;
    cell.Y = (Y - CaptionBandHeight() - HeaderBandHeight()) / m_rowHeight + m_topRow;
    const int x = X + m_leftPos - MarkerBandWidth();
    const int cols = GetColCount();
    cell.X = cols;
    for (int c = 0; c < cols; ++c) {
        int left = 0;
        int width = 0;
        GetCellPlace(c, std::max(cell.Y, 0), left, width);
        if (x >= left && x <= left + width) {
            cell.X = c;
            break;
        }
    }
    return cell;
}

// ---------------------------------------------------------------------------
// Frame and scroll bars

void TKldGridView::UpdateFrame()
{
    const int border = m_borders == bsSingle ? 2 : 0;
    const bool vert = (m_scrollBars == ssVertical || m_scrollBars == ssBoth) && !m_vertBar->isHidden();
    const bool horz = (m_scrollBars == ssHorizontal || m_scrollBars == ssBoth) && !m_horzBar->isHidden();
    const int extent = ScrollBarExtent();
    const TRect margins{border, border, border + (vert ? extent : 0), border + (horz ? extent : 0)};
    const int oldWidth = ClientWidth();
    const int oldHeight = ClientHeight();
    SetNonClientMargins(margins);
    const int right = width() - border;
    const int bottom = height() - border;
    if (vert)
        m_vertBar->setGeometry(right - extent, border, extent, std::max(0, bottom - border - (horz ? extent : 0)));
    if (horz)
        m_horzBar->setGeometry(border, bottom - extent, std::max(0, right - border - (vert ? extent : 0)), extent);
    if (ClientWidth() != oldWidth || ClientHeight() != oldHeight)
        ClientSizeChanged();
}

namespace {
// Shows, hides or disables a bar; true when its visibility changed.
bool ApplyBar(QScrollBar* bar, bool allowed, bool needed, bool noHide, int maximum, int page, int position)
{
    const bool show = allowed && (needed || noHide);
    if (show) {
        if (bar->maximum() != maximum || bar->pageStep() != page || bar->value() != position) {
            const QSignalBlocker block(bar);
            bar->setRange(0, maximum);
            bar->setPageStep(std::max(1, page));
            bar->setValue(position);
        }
        bar->setEnabled(needed);
    }
    if (bar->isHidden() == !show)
        return false;
    bar->setVisible(show);
    return true;
}
} // namespace

void TKldGridView::UpdateVertBar()
{
    int rows = GetRowCount();
    if (rows == 0 && m_autoAddRow == arFirst)
        rows = 1;
    const bool allowed = m_scrollBars == ssVertical || m_scrollBars == ssBoth;
    const bool needed = rows > m_visibleRows;
    if (ApplyBar(m_vertBar, allowed, needed, m_showOptions.Contains(soNoHideScrollBar),
                 std::max(0, rows - m_visibleRows), m_visibleRows, m_topRow))
        UpdateFrame();
}

void TKldGridView::UpdateHorzBar()
{
    const int work = WorkWidth();
    const bool allowed = m_scrollBars == ssHorizontal || m_scrollBars == ssBoth;
    const bool needed = m_totalWidth != 0 && m_totalWidth > work;
    if (ApplyBar(m_horzBar, allowed, needed, m_showOptions.Contains(soNoHideScrollBar),
                 std::max(0, m_totalWidth - work), work, m_leftPos))
        UpdateFrame();
}

void TKldGridView::VertScroll(int action)
{
    int target = m_topRow;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        target = m_topRow + 1;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        target = m_topRow - 1;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        target = m_topRow + m_visibleRows;
        break;
    case QAbstractSlider::SliderPageStepSub:
        target = m_topRow - m_visibleRows;
        break;
    case QAbstractSlider::SliderMove:
        target = m_vertBar->sliderPosition();
        break;
    case QAbstractSlider::SliderToMinimum:
        target = 0;
        break;
    case QAbstractSlider::SliderToMaximum:
        target = GetRowCount();
        break;
    default:
        break;
    }
    SetTopRow(target);
    m_vertBar->setSliderPosition(m_topRow);
}

void TKldGridView::HorzScroll(int action)
{
    int target = m_leftPos;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        target = m_leftPos + 5;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        target = m_leftPos - 5;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        target = m_leftPos + 40;
        break;
    case QAbstractSlider::SliderPageStepSub:
        target = m_leftPos - 40;
        break;
    case QAbstractSlider::SliderMove:
        target = m_horzBar->sliderPosition();
        break;
    case QAbstractSlider::SliderToMinimum:
        target = 0;
        break;
    case QAbstractSlider::SliderToMaximum:
        target = m_totalWidth;
        break;
    default:
        break;
    }
    SetLeftPos(target);
    m_horzBar->setSliderPosition(m_leftPos);
}

void TKldGridView::ClientSizeChanged()
{
    // A bar appearing or going changes the client area while the view is
    // being recomputed: the running computation takes it up.
    if (m_updatingView) {
        m_clientResizePending = true;
        return;
    }
    if (m_showOptions.Contains(soAutoWidth))
        AdjustCellsSize(WorkWidth(), WorkHeight());
    LayoutChanged();
}

void TKldGridView::Resize()
{
    TCustomControl::Resize();
    UpdateFrame();
    if (m_showOptions.Contains(soAutoWidth))
        AdjustCellsSize(WorkWidth(), WorkHeight());
    LayoutChanged();
}

// ---------------------------------------------------------------------------
// View recomputation and scrolling

void TKldGridView::UpdateViewParams()
{
    if (m_updatingView)
        return;
    {
        TScopedFlag running(m_updatingView);
        // Each bar shown or hidden changes the work area; a few passes settle
        // both bars.
        for (int pass = 0; pass < 3; ++pass) {
            m_clientResizePending = false;
            int rows = GetRowCount();
            if (rows == 0 && m_autoAddRow == arFirst)
                rows = 1;
            m_visibleRows = WorkHeight() / m_rowHeight;
            m_topRow = std::min(m_topRow, std::max(rows - m_visibleRows, 0));
            UpdateVertBar();
            CalcColsWidth();
            m_leftPos = std::min(m_leftPos, std::max(m_totalWidth - WorkWidth(), 0));
            UpdateHorzBar();
            if (!m_clientResizePending)
                break;
            if (m_showOptions.Contains(soAutoWidth))
                AdjustCellsSize(WorkWidth(), WorkHeight());
        }
    }
    SetCurCell(std::min(m_curCell.X, GetColCount() - 1), std::min(m_curCell.Y, GetRowCount() - 1), crNoReason,
               false);
    Invalidate();
}

bool TKldGridView::SetTopRow(int N)
{
    N = std::max(0, std::min(N, GetRowCount() - m_visibleRows));
    if (N == m_topRow)
        return false;
    m_topRow = N;
    UpdateVertBar();
    m_editor->Adjust();
    Invalidate();
    return true;
}

void TKldGridView::SetLeftPos(int N)
{
    N = std::max(0, std::min(N, std::max(0, m_totalWidth - WorkWidth())));
    if (N == m_leftPos)
        return;
    m_leftPos = N;
    UpdateHorzBar();
    m_editor->Adjust();
    Invalidate();
}

void TKldGridView::EnsureCellVisible(int ACol, int ARow, bool& AScrolled)
{
    if (ARow < m_topRow)
        AScrolled = SetTopRow(ARow) || AScrolled;
    else if (ARow >= m_topRow + std::max(m_visibleRows, 1))
        AScrolled = SetTopRow(ARow - std::max(m_visibleRows, 1) + 1) || AScrolled;
    int left = 0;
    int width = 0;
    GetCellPlace(ACol, ARow, left, width);
    const int oldLeft = m_leftPos;
    if (left < m_leftPos)
        SetLeftPos(left);
    else if (m_leftPos + WorkWidth() - left < std::min(40, width))
        SetLeftPos(std::max(left, WorkWidth() - width));
    AScrolled = AScrolled || m_leftPos != oldLeft;
}

void TKldGridView::SetCellVisible(int ACol, int ARow)
{
    bool scrolled = false;
    if (ARow >= 0 && ACol >= 0 && ACol < GetColCount())
        EnsureCellVisible(ACol, ARow, scrolled);
    else if (ARow >= 0) {
        if (ARow < m_topRow)
            SetTopRow(ARow);
        else if (ARow >= m_topRow + std::max(m_visibleRows, 1))
            SetTopRow(ARow - std::max(m_visibleRows, 1) + 1);
    }
}

// ---------------------------------------------------------------------------
// Current cell

TPoint TKldGridView::WalkPastDisabled(int ACol, int ARow)
{
    const TPoint cur = m_curCell;
    const int rows = GetRowCount();
    const int cols = GetColCount();
    auto disabled = [&](int c, int r) { return DoCellState(c, r, {}).Contains(csDisabled); };
    if (cur.Y >= 0 && cur.X == ACol && cur.Y != ARow) {
        // A row change walks along the column.
        const int dir = ARow > cur.Y ? 1 : -1;
        int r = ARow;
        while (r >= 0 && r < rows && disabled(ACol, r))
            r += dir;
        return {ACol, (r >= 0 && r < rows) ? r : cur.Y};
    }
    // A column change walks along the row, wrapping to the next (previous)
    // row.
    const int64_t target = static_cast<int64_t>(ARow) * cols + ACol;
    const int64_t from = cur.X >= 0 && cur.Y >= 0 ? static_cast<int64_t>(cur.Y) * cols + cur.X : -1;
    const int dir = target >= from ? 1 : -1;
    const int64_t last = static_cast<int64_t>(rows) * cols;
    int64_t i = target;
    while (i >= 0 && i < last && disabled(static_cast<int>(i % cols), static_cast<int>(i / cols)))
        i += dir;
    if (i < 0 || i >= last)
        return {cur.X, ARow};
    return {static_cast<int>(i % cols), static_cast<int>(i / cols)};
}

void TKldGridView::SetCurCell(int ACol, int ARow, int AReason, bool AForce)
{
    const int rows = GetRowCount();
    const int cols = GetColCount();
    TPoint cell{std::clamp(ACol, 0, std::max(cols - 1, 0)), std::clamp(ARow, 0, std::max(rows - 1, 0))};
    if (rows == 0 || cols == 0)
        cell = {-1, -1};
    else if (DoCellState(cell.X, cell.Y, {}).Contains(csDisabled))
        cell = WalkPastDisabled(cell.X, cell.Y);
    if (!IsValidCell(cell.X, cell.Y))
        cell = {-1, -1};

    const TPoint old = m_curCell;
    if (cell == old && !AForce) {
        if (AReason != crNoReason)
            DoSelCurCell(false, AReason);
        return;
    }
    // The editor leaves its cell (committing its text) before the view
    // moves, so that a failed commit leaves both where they were.
    m_editor->Hide();
    bool scrolled = false;
    if (cell.X >= 0)
        EnsureCellVisible(cell.X, cell.Y, scrolled);
    m_curCell = cell;
    DoSelCurCell(true, AReason);
    const bool wholeRow = m_showOptions.Contains(soRowSelect);
    if (scrolled || old.X < 0 || old.Y < 0) {
        Invalidate();
    } else {
        InvalidateCell(old.X, old.Y, wholeRow);
        InvalidateCell(cell.X, cell.Y, wholeRow);
    }
    if (AReason == crEditKey && old == cell && !m_editorMode)
        m_editorMode = true;
    if (CanShowEditor())
        m_editor->EditCell(hasFocus());
}

void TKldGridView::ResetCurCell()
{
    ApplyEdits();
    const TPoint cell = m_curCell;
    m_curCell = {-1, -1};
    SetCurCell(cell.X, cell.Y, crNoReason, true);
}

bool TKldGridView::CanShowEditor()
{
    if (m_readOnly || !(m_editorMode || m_showOptions.Contains(soAlwaysShowEditor)) || Designing())
        return false;
    if (!IsValidCell(m_curCell.X, m_curCell.Y))
        return false;
    if (DoGetCellEditType(m_curCell.X, m_curCell.Y) < etValue)
        return false;
    return !DoCellState(m_curCell.X, m_curCell.Y, {}).Contains(csReadOnly);
}

void TKldGridView::ResetEditorMode()
{
    m_editorMode = !m_editorMode;
    if (m_editorMode && CanShowEditor())
        m_editor->EditCell(hasFocus() || m_editor->hasFocus());
    else
        m_editor->Hide();
}

void TKldGridView::ApplyEdits()
{
    if (m_editorMode)
        m_editor->SetValue();
}

void TKldGridView::CancelEdits()
{
    if (!m_editorMode)
        return;
    m_editor->ResetValue();
    m_editor->Hide();
}

bool TKldGridView::GetModified()
{
    if (m_editorMode && m_editor->isVisible())
        return m_editor->isModified();
    return m_changed;
}

void TKldGridView::InvalidateCell(int ACol, int ARow, bool AWholeRow)
{
    TRect r = GetCellRect(ACol, ARow, true);
    if (AWholeRow) {
        r.Left = 0;
        r.Right = ClientWidth();
    }
    const TPoint o = ClientOrigin();
    update(ToQRect(OffsetRect(r, o.X, o.Y)));
}

void TKldGridView::MoveRow(int AFrom, int ATo)
{
    if (!DoMoveRow(AFrom, ATo))
        return;
    SetCurCell(m_curCell.X, ATo, crNoReason, false);
    Invalidate();
}

void TKldGridView::MoveCol(int AFrom, int ATo)
{
    const int cols = GetColCount();
    if (AFrom == ATo || !m_showOptions.Contains(soColMoved) || AFrom < 0 || AFrom >= cols || ATo < 0 || ATo >= cols)
        return;
    SetColIndex(AFrom, ATo);
}

// ---------------------------------------------------------------------------
// Focus and fonts

void TKldGridView::DoEnter()
{
    if (m_focusFromEditor) {
        m_focusFromEditor = false;
    } else if (CanShowEditor()) {
        m_editor->EditCell(true);
    } else {
        m_editor->Hide();
        Invalidate();
    }
    TCustomControl::DoEnter();
}

void TKldGridView::DoExit()
{
    if (QApplication::focusWidget() != m_editor)
        Invalidate();
    TCustomControl::DoExit();
}

void TKldGridView::FontChanged()
{
    if (m_editor)
        m_editor->SetGridFont(Font());
    TCustomControl::FontChanged();
}

void TKldGridView::ColorChanged()
{
    UpdateRowSelectColor();
    if (m_editor)
        m_editor->SetGridFont(Font()); // the editor takes the grid's colour
    TCustomControl::ColorChanged();
}
