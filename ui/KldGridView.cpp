#include "ui/KldGridView.h"

#include "platform/DrawText.h"
#include "platform/FrameControls.h"
#include "platform/ScopedFlag.h"
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
constexpr int MinColWidth = 16;
constexpr int DragThreshold = 2;
constexpr int EdgeZone = 5;
constexpr int MaxHintLength = 255;
constexpr TColor HotCaptionColor = 0xF3F8FA;
constexpr TColor PressedHeaderColor = 0xFAF8F3;

int ScrollBarExtent()
{
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

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

std::string CutToCharacters(const std::string& text, int count)
{
    const QString s = QString::fromStdString(text);
    return s.size() <= count ? text : s.left(count).toStdString();
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
    m_hintLabel = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
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
