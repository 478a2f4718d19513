#pragma once
// `TKldGridView`: an owner-drawn virtual grid that stores no cells.
//
// Counts, captions, widths, texts, edit kinds, states and colours come from
// 24 overridable operations (slot order below); their base versions ask the
// host through events or give fixed answers, and the collection view and the
// property list answer them from their own items. On top of that the grid
// paints an optional caption row, a header row, a row marker column and the
// cells; keeps a current cell; scrolls by rows vertically and by pixels
// horizontally; sizes and moves columns and moves rows with the mouse; shows
// hints for cut texts; and drives its in-place editor (`TKldValueEditor`)
// and check-box cells.
//
// Coordinates are the grid's client coordinates. The work area is the client
// area less the caption and header rows and the marker column, each counted
// only while its option is on. The scroll bars lie outside the client area,
// in the control's frame, and are driven by hand: the vertical bar counts
// rows, the horizontal one pixels.
//
// Reasons given to SetCurCell, DoSelCurCell and DoCellClick are key codes
// that descendants rely on: 0 (none), 1 (mouse), 8 (Backspace), 32 (Space),
// 46 (Delete), 113 (F2: open the editor on the unchanged cell); navigation
// keys pass their own key code.
//
// Failures of the host's operations propagate to the caller; input handlers
// are the boundary, where they are reported and the grid stays usable.
// User-interface thread only.

#include "platform/Controls.h"
#include "platform/ImageList.h"
#include "platform/Menus.h"
#include "platform/Sets.h"
#include "platform/StringList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QScrollBar;
class TKldValueEditor;

enum TKldListViewShowOption
{
    soVerticalGrid,
    soHorizontalGrid,
    soCaption,
    soHeader,
    soMarker,
    soRowSelect,
    soAlwaysShowEditor,
    soTextAutoSelect,
    soAutoWidth,
    soMultiSort,
    soDropDownMenu,
    soTabs,
    soRowMoved,
    soColMoved,
    soNoHideScrollBar,
    soColSizing
};
using TKldListViewShowOptions = TSet<TKldListViewShowOption, uint16_t>;
// soVerticalGrid, soHorizontalGrid, soHeader, soRowSelect,
// soAlwaysShowEditor, soAutoWidth, soColSizing.
constexpr TKldListViewShowOptions DefaultShowOptions = TKldListViewShowOptions::FromBits(0x816B);

enum TKldEditType
{
    etNone,
    etCheck,
    etValue,
    etValueList,
    etValueListOnly,
    etDialog,
    etDialogOnly
};

enum TKldCellState
{
    csReadOnly,
    csDisabled,
    csEmpty
};
using TKldCellStates = TSet<TKldCellState, uint8_t>;

enum TAutoAddRow
{
    arNone,
    arFirst,
    arAlways
};

enum TNumberedRow
{
    nrNone,
    nrAscending,
    nrDescending
};

enum TColumnSizingOption
{
    csoNone,
    csoAutoWidth,
    csoFixed
};

enum TItemSortOption
{
    isoNone,
    isoAsc,
    isoDesc
};

// How a cell is edited; filled per cell by DoCellEditOptions. ValueList is
// the editor's list (nullptr when the caller wants no values).
struct TCellEditOptions
{
    TKldEditType EditType = etNone;
    int64_t Min = 0;
    int64_t Max = 0;
    TStrings* ValueList = nullptr;
    bool Nullable = false;
};

// Reasons with a meaning of their own (key codes otherwise).
constexpr int crNoReason = 0;
constexpr int crMouse = 1;
constexpr int crBackspace = 8;
constexpr int crSpace = 32;
constexpr int crDelete = 46;
constexpr int crEditKey = 113;

// Grid line colours: real rows and rows past the end.
constexpr TColor clKldGridLine = 0xC7C5B2;
constexpr TColor clKldGridLineEmpty = 0xEEEEDD;

class TKldGridView;

using TCellTextEvent = std::function<void(TObject* Sender, int ACol, int ARow, std::string& AText)>;
using TCellEditTypeEvent = std::function<TKldEditType(TObject* Sender, int ACol, int ARow)>;
using TCellEditEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, int64_t& AMin, int64_t& AMax, TStrings* AValueList)>;
using TCellStateEvent = std::function<TKldCellStates(TObject* Sender, int ACol, int ARow)>;
using TCellPropsEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, TAlignment& AAlignment, TColor& AColor, TFont& AFont)>;
using TCellDrawEvent = std::function<void(TObject* Sender, TCanvas& Canvas, const TRect& Rect, int ACol, int ARow,
                                          const std::string& CellText, bool& HandledDrawing)>;
using TCellChangeEvent = std::function<void(TObject* Sender, int ACol, int ARow)>;
using TColumnClickEvent = std::function<void(TObject* Sender, int ACol)>;

// S is "T" or "True" without regard to case, or exactly "1".
bool StrToBoolean(const std::string& S);
// "True" or "False".
std::string BooleanToStr(bool B);
// The next value of a check cell: "True" (any case) becomes "False", or
// empty with AllowEmpty; a blank text becomes "False" with AllowEmpty and
// "True" without; anything else becomes "True".
void InvertBoolStr(std::string& S, bool AllowEmpty);
// Draws picture Index of ImageList centred vertically in Rect, and
// horizontally too when Center (else at Rect's left).
void DrawImageListItem(TCanvas& Canvas, const TRect& Rect, TCustomImageList* ImageList, bool Center, int Index);
// The grid's 9 x 9 pictures: 0 ellipsis ("BMP_DLG"), 1 drop-down arrow
// ("BMP_DROPDOWN"), both with white transparent, 2 minus ("BMP_MINUS") and
// 3 plus ("BMP_PLUS"). Made on first use, kept for the program's life.
TCustomImageList& KldGridImages();

class TKldGridView : public TCustomControl
{
  public:
    explicit TKldGridView(QWidget* parent = nullptr);
    ~TKldGridView() override;
    std::string ClassName() const override { return "TKldGridView"; }

    // --- The overridable operations, in slot order ---------------------
    virtual void SetRowCount(int N);
    virtual int GetRowCount();
    virtual int GetColCount();
    virtual std::string GetColCaption(int ACol);
    virtual void GetColProps(int ACol, TAlignment& AAlignment, bool& AColumnClick, TItemSortOption& ASortOption,
                             TColumnSizingOption& ASizingOption);
    virtual void CalcColsWidth();
    virtual void SetColWidth(int ACol, int AWidth);
    virtual void SetColIndex(int AFrom, int ATo);
    virtual void AdjustCellsSize(int AWidth, int AHeight);
    virtual TKldEditType DoGetCellEditType(int ACol, int ARow);
    virtual void DoGetCellText(int ACol, int ARow, std::string& AText);
    virtual void DoSetCellText(int ACol, int ARow, std::string& AText);
    virtual void DoCellProps(int ACol, int ARow, TFont& AFont, TColor& AColor, TAlignment& AAlignment);
    virtual TKldCellStates DoCellState(int ACol, int ARow, TKldCellStates ADefault);
    virtual void DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions);
    virtual bool DoCellExecDialog(int ACol, int ARow, std::string& AText);
    virtual void DoCellClick(int ACol, int ARow, int AReason);
    virtual void DoDrawRowMarker(int ARow, const TRect& ARect);
    virtual void DoSelCurCell(bool AChanged, int AReason);
    virtual void DoChanged(int ACol, int ARow);
    virtual void DoAddRow();
    virtual bool DoMoveRow(int AFrom, int ATo);
    virtual void LayoutChanged();
    virtual void GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth);

    // --- Counts and geometry ---------------------------------------------
    int RowCount() { return GetRowCount(); }
    int ColCount() { return GetColCount(); }
    void SetColCount(int N);
    int TopRow() const { return m_topRow; }
    int VisibleRows() const { return m_visibleRows; }
    int LeftPos() const { return m_leftPos; }
    int TotalWidth() const { return m_totalWidth; }
    void SetTotalWidth(int value) { m_totalWidth = value; }
    TPoint CurCell() const { return m_curCell; }
    bool EditorMode() const { return m_editorMode; }
    void SetEditorMode(bool value) { m_editorMode = value; }

    // Row >= 0: the row's band (scrolled by TopRow when AScrolled); -1 the
    // header band; -2 header and visible rows. Col >= 0: the column's place
    // right of the marker (less LeftPos when AScrolled); -1 the marker
    // column; -2 from the left to TotalWidth.
    TRect GetCellRect(int ACol, int ARow, bool AScrolled = true);
    // The cell under a client point; the column is the column count when no
    // column holds X.
    TPoint PointToCell(int X, int Y);
    // The work area (right of the marker, below caption and header).
    TRect WorkRect() const;
    int WorkWidth() const;
    int WorkHeight() const;

    void UpdateViewParams();
    void SetCurCell(int ACol, int ARow, int AReason = crNoReason, bool AForce = false);
    void SetCurCell(const TPoint& ACell, int AReason = crNoReason, bool AForce = false)
    {
        SetCurCell(ACell.X, ACell.Y, AReason, AForce);
    }
    void ResetCurCell();
    // Clamped to 0 .. max(0, RowCount - VisibleRows); true when it changed.
    bool SetTopRow(int N);
    void SetLeftPos(int N);
    void SetCellVisible(int ACol, int ARow);
    void InvalidateCell(int ACol, int ARow, bool AWholeRow);
    void MoveRow(int AFrom, int ATo);
    void MoveCol(int AFrom, int ATo);
    void ApplyEdits();
    void CancelEdits();
    bool GetModified();
    void ResetEditorMode();
    // Whether the editor may show on the current cell now.
    bool CanShowEditor();
    bool IsValidCell(int ACol, int ARow);

    // A hint for the cell under client point P: its text (at most 255
    // characters) when it is wider than the cell, shown over the cell's
    // screen rectangle moved by -1, -1; false when no hint is due.
    bool GetCellHint(const TPoint& P, std::string& AText, TRect& AScreenRect);

    // --- Settings ----------------------------------------------------------
    int RowHeight() const { return m_rowHeight; }
    void SetRowHeight(int value);
    int HeaderHeight() const { return m_headerHeight; }
    void SetHeaderHeight(int value);
    int CaptionHeight() const { return m_captionHeight; }
    void SetCaptionHeight(int value);
    int MarkerWidth() const { return m_markerWidth; }
    void SetMarkerWidth(int value);
    TKldListViewShowOptions ShowOptions() const { return m_showOptions; }
    void SetShowOptions(TKldListViewShowOptions value);
    TColor HighlightColor() const { return m_highlightColor; }
    void SetHighlightColor(TColor value);
    // The background of the current row's other cells under soRowSelect.
    TColor RowSelectColor() const { return m_rowSelectColor; }
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value);
    TBorderStyle Borders() const { return m_borders; }
    void SetBorders(TBorderStyle value);
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle value);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    TAutoAddRow AutoAddRow() const { return m_autoAddRow; }
    void SetAutoAddRow(TAutoAddRow value) { m_autoAddRow = value; }
    TNumberedRow NumberedRow() const { return m_numberedRow; }
    void SetNumberedRow(TNumberedRow value);
    int MaxEditorWidth() const { return m_maxEditorWidth; }
    void SetMaxEditorWidth(int value) { m_maxEditorWidth = value; }
    bool ShowCheckText() const { return m_showCheckText; }
    void SetShowCheckText(bool value);
    TPopupMenu* PopupMenu() const { return m_popupMenu.Get(); }
    void SetPopupMenu(TPopupMenu* value) { m_popupMenu = value; }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value) { m_showHint = value; }
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& value);
    bool Changed() const { return m_changed; }
    void SetChanged(bool value) { m_changed = value; }

    TKldValueEditor& Editor() { return *m_editor; }
    QScrollBar* VertScrollBar() const { return m_vertBar; }
    QScrollBar* HorzScrollBar() const { return m_horzBar; }

    TCellTextEvent OnGetCellText;
    TCellTextEvent OnSetCellText;
    TCellEditTypeEvent OnCellEditType;
    TCellEditEvent OnCellEdit;
    TCellStateEvent OnCellState;
    TCellPropsEvent OnCellProps;
    TCellDrawEvent OnCellDraw;
    TNotifyEvent OnCurCellChanged;
    TCellChangeEvent OnChanged;
    TColumnClickEvent OnColumnClick;

  protected:
    friend class TKldValueEditor;

    void Paint() override;
    void PaintNonClient(TCanvas& canvas) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    bool DoMouseWheel(TShiftState shift, int wheelDelta, const TPoint& mousePos) override;
    void DoEnter() override;
    void DoExit() override;
    void Resize() override;
    void FontChanged() override;
    void ColorChanged() override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

    // Sets the ReadOnly flag without resetting the current cell (views that
    // follow the object they show).
    void StoreReadOnly(bool value) { m_readOnly = value; }
    // Room kept at the right of the marker column for a picture that
    // DoDrawRowMarker draws (the row numbers stay left of it).
    int MarkerImageWidth() const { return m_markerImageWidth; }
    void SetMarkerImageWidth(int value) { m_markerImageWidth = value; }
    int CaptionBandHeight() const;
    int HeaderBandHeight() const;
    int MarkerBandWidth() const;

  private:
    enum TMouseState
    {
        msNone,
        msCaption,
        msHeader,
        msColEdge,
        msMarker,
        msSizing,
        msColMoving,
        msRowMoving
    };

    void UpdateRowSelectColor();
    void UpdateFrame();
    void UpdateVertBar();
    void UpdateHorzBar();
    void VertScroll(int action);
    void HorzScroll(int action);
    void ClientSizeChanged();
    void EnsureCellVisible(int ACol, int ARow, bool& AScrolled);
    TPoint WalkPastDisabled(int ACol, int ARow);
    void MoveCurCellByKey(uint16_t key, TShiftState shift);
    TMouseState HitArea(int x, int y, int& ACol);
    void UpdateHotState(int x, int y);
    void EndDrag();
    void ShowCellHintAt(const TPoint& P);
    void HideCellHint();

    void PaintCaption(const TRect& band);
    void PaintHeader(int ACol);
    void PaintCell(int ACol, int ARow);
    void PaintCheckBox(TRect& ATextRect, const TRect& ACellRect, TAlignment AAlignment, std::string& AText,
                       bool ANullable);
    void PaintMarker(int ARow);

    int m_rowCount = 0;
    int m_colCount = 0;
    int m_topRow = 0;
    int m_visibleRows = 0;
    int m_leftPos = 0;
    int m_totalWidth = 0;
    TPoint m_curCell{-1, -1};
    bool m_editorMode = false;
    bool m_changed = false;
    bool m_updatingView = false;
    bool m_clientResizePending = false;

    int m_rowHeight = 17;
    int m_headerHeight = 21;
    int m_captionHeight = 21;
    int m_markerWidth = 17;
    int m_markerImageWidth = 0;
    TKldListViewShowOptions m_showOptions = DefaultShowOptions;
    TColor m_highlightColor = clHighlight;
    TColor m_rowSelectColor = clHighlight;
    TAlignment m_alignment = taLeftJustify;
    TBorderStyle m_borders = bsNone;
    TScrollStyle m_scrollBars = ssNone;
    bool m_readOnly = false;
    TAutoAddRow m_autoAddRow = arNone;
    TNumberedRow m_numberedRow = nrNone;
    int m_maxEditorWidth = 0;
    bool m_showCheckText = false;
    TGuardedPtr<TPopupMenu> m_popupMenu;
    bool m_showHint = false;
    std::string m_caption;

    // Mouse state.
    TMouseState m_mouseState = msNone;
    int m_hotCol = -1;
    int m_pressedCol = -1;
    int m_dragCol = -1;
    bool m_captionHot = false;
    bool m_captionPressed = false;
    TPoint m_downPos{-1, -1};
    TPoint m_hintCell{-1, -1};
    // Focus handed over by the editor: not a new entry into the grid.
    bool m_focusFromEditor = false;

    QScrollBar* m_vertBar = nullptr; // child widgets, owned by Qt
    QScrollBar* m_horzBar = nullptr;
    TKldValueEditor* m_editor = nullptr;
    QLabel* m_hintLabel = nullptr; // a tool-tip window owned by the grid
};
