#include "ui/KldCollectionView.h"

#include "platform/Dialogs.h"
#include "platform/Threads.h"
#include "ui/KldValueEditor.h"

#include <algorithm>

TExecDialogProc DefaultExecDialogProc;

namespace {
constexpr int MinColumnWidth = 16;
// soVerticalGrid, soHorizontalGrid, soAlwaysShowEditor, soColSizing.
constexpr TKldListViewShowOptions CollectionViewShowOptions = TKldListViewShowOptions::FromBits(0x8043);
} // namespace

TKldCollectionView::TKldCollectionView(QWidget* parent)
    : TKldGridView(parent), m_columns(std::make_unique<TKldColumns>(this))
{
    SetShowOptions(CollectionViewShowOptions);
    SetMarkerWidth(16);
    SetShowCheckText(false);
    Editor().SetRepaintRow(true);
}

TKldCollectionView::~TKldCollectionView()
{
    // A text still in the editor belongs to an item the host may already
    // have freed: it is dropped, not written.
    try {
        CancelEdits();
    } catch (...) {
        ReportCurrentException("TKldCollectionView.Destroy");
    }
}

void TKldCollectionView::Loaded()
{
    SetMarkerImageWidth(OnDrawMarker ? RowHeight() : 0);
}

void TKldCollectionView::SetColumns(const TKldColumns& Value)
{
    m_columns->Assign(Value);
}

void TKldCollectionView::SetCollection(TCollection* C)
{
    CancelEdits();
    m_collection = C;
    for (int i = 0; i < m_columns->Count(); ++i)
        m_columns->GetColumn(i)->DropPropertyLookup();
    LayoutChanged();
}

void TKldCollectionView::SetExtRowCount(int Value)
{
    Value = std::max(0, Value);
    if (Value == m_extRowCount)
        return;
    m_extRowCount = Value;
    LayoutChanged();
}

void TKldCollectionView::Refresh()
{
    CancelEdits();
    LayoutChanged();
}

// ---------------------------------------------------------------------------
// Rows and items

TKldColumn* TKldCollectionView::VisColumn(int ACol) const
{
    if (ACol < 0 || ACol >= m_columns->GetVisCount())
        return nullptr;
    return m_columns->GetVisColumn(ACol);
}

TCollectionItem* TKldCollectionView::GetCollectionItem(int Index) const
{
    TCollection* collection = Collection();
    if (!collection || Index < 0 || Index >= collection->Count())
        return nullptr;
    return collection->Items(Index);
}

TCollectionItem* TKldCollectionView::ItemAtRow(int ARow) const
{
    return ARow < m_extRowCount ? nullptr : GetCollectionItem(ARow - m_extRowCount);
}

int TKldCollectionView::RowOfItem(const TCollectionItem* Item) const
{
    return Item->Index() + m_extRowCount;
}

TCollectionItem* TKldCollectionView::GetCurrentItem()
{
    return ItemAtRow(CurCell().Y);
}

void TKldCollectionView::SetCurrentItem(TCollectionItem* Item)
{
    TCollection* collection = Collection();
    if (!collection || !Item || Item->Collection() != collection)
        return;
    SetCurCell(CurCell().X, RowOfItem(Item), crNoReason, false);
}

TCollectionItem* TKldCollectionView::InsertItem(bool Append)
{
    // A pending text goes to its own item before the rows shift.
    ApplyEdits();
    TCollectionItem* item = nullptr;
    if (TCollection* collection = Collection()) {
        const int curRow = CurCell().Y;
        item = collection->Add();
        if (!Append && GetRowCount() > 1 && curRow >= 0)
            item->SetIndex(std::max(0, curRow - m_extRowCount));
    } else {
        SetRowCount(GetRowCount() + 1);
    }
    if (OnNewCollectionItem)
        OnNewCollectionItem(item);
    UpdateViewParams();
    if (item && item->Collection() == Collection()) {
        int col = 0;
        for (int c = 0; c < GetColCount(); ++c)
            if (VisColumn(c)->States().Empty()) {
                col = c;
                break;
            }
        SetCurCell(col, RowOfItem(item), crNoReason, true);
    } else {
        SetCurCell(CurCell(), crNoReason, true);
    }
    DoChanged(CurCell().X, CurCell().Y);
    return item;
}

void TKldCollectionView::DeleteAndReport(TCollectionItem* Item)
{
    if (Item) {
        // The editor's text dies with its item; a text for another item is
        // written before the rows below shift.
        if (Editor().Editing() && Editor().Cell().Y == RowOfItem(Item))
            CancelEdits();
        else
            ApplyEdits();
        Item->Collection()->Delete(Item->Index());
    }
    UpdateViewParams();
    SetCurCell(CurCell(), crNoReason, true);
    DoChanged(CurCell().X, CurCell().Y);
}

void TKldCollectionView::DeleteItem(const std::string& ConfirmText)
{
    if (!ConfirmText.empty() && MessageDlg(ConfirmText, mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
        return;
    if (Collection())
        DeleteAndReport(GetCurrentItem());
    else if (GetRowCount() > 0)
        SetRowCount(GetRowCount() - 1);
}

void TKldCollectionView::DeleteItem(TCollectionItem* Item)
{
    TCollection* collection = Collection();
    if (!collection || !Item || Item->Collection() != collection)
        return;
    DeleteAndReport(Item);
}

void TKldCollectionView::UpdateCurrentItem()
{
    ResetCurCell();
    DoChanged(CurCell().X, CurCell().Y);
}

void TKldCollectionView::CalcWidthByContent(int ACol)
{
    if (!VisColumn(ACol) || ShowOptions().Contains(soAutoWidth))
        return;
    const int rows = GetRowCount();
    int width = 0;
    if (rows > 0) {
        TCanvas measure;
        measure.Font().Assign(Font());
        for (int r = 0; r < rows; ++r) {
            std::string text;
            DoGetCellText(ACol, r, text);
            width = std::max(width, measure.TextWidth(text));
        }
        width += 8;
    }
    SetColWidth(ACol, width);
}

// ---------------------------------------------------------------------------
// Grid operations

void TKldCollectionView::SetRowCount(int N)
{
    if (TCollection* collection = Collection(); collection && collection->Count() != N)
        N = collection->Count() + m_extRowCount;
    TKldGridView::SetRowCount(N);
}

int TKldCollectionView::GetRowCount()
{
    if (TCollection* collection = Collection())
        return collection->Count() + m_extRowCount;
    return TKldGridView::GetRowCount();
}

int TKldCollectionView::GetColCount()
{
    return m_columns->GetVisCount();
}

std::string TKldCollectionView::GetColCaption(int ACol)
{
    if (TKldColumn* column = VisColumn(ACol))
        return column->Caption();
    return TKldGridView::GetColCaption(ACol);
}

void TKldCollectionView::GetColProps(int ACol, TAlignment& AAlignment, bool& AColumnClick,
                                     TItemSortOption& ASortOption, TColumnSizingOption& ASizingOption)
{
    TKldColumn* column = VisColumn(ACol);
    if (!column) {
        TKldGridView::GetColProps(ACol, AAlignment, AColumnClick, ASortOption, ASizingOption);
        return;
    }
    AAlignment = column->Alignment();
    AColumnClick = column->ColumnClick();
    ASortOption = column->SortOption();
    ASizingOption = column->SizingOption();
}

void TKldCollectionView::CalcColsWidth()
{
    SetTotalWidth(m_columns->TotalWidth());
}

void TKldCollectionView::SetColWidth(int ACol, int AWidth)
{
    TKldColumn* column = VisColumn(ACol);
    if (!column)
        return;
    if (!ShowOptions().Contains(soAutoWidth)) {
        if (column->SizingOption() != csoNone)
            column->SetWidth(AWidth);
        return;
    }
    // Under soAutoWidth the edge moves between this column and the next:
    // the sum of the two stays, and the next keeps at least 16 pixels.
    TKldColumn* next = VisColumn(ACol + 1);
    if (!next)
        return;
    AWidth = std::min(AWidth, column->Width() + next->Width() - MinColumnWidth);
    if (AWidth == column->Width() || column->SizingOption() == csoNone)
        return;
    const int oldWidth = column->Width();
    column->m_width = AWidth;
    next->m_width = next->m_width + oldWidth - AWidth;
    m_columns->LayoutChanged();
}

void TKldCollectionView::SetColIndex(int AFrom, int ATo)
{
    TKldColumn* from = VisColumn(AFrom);
    TKldColumn* to = VisColumn(ATo);
    if (from && to)
        from->SetIndex(to->Index());
}

void TKldCollectionView::AdjustCellsSize(int AWidth, int AHeight)
{
    m_columns->AdjustWidth(AWidth);
}

TKldEditType TKldCollectionView::DoGetCellEditType(int ACol, int ARow)
{
    TKldColumn* column = VisColumn(ACol);
    TKldEditType type = column ? column->EditType() : TKldGridView::DoGetCellEditType(ACol, ARow);
    if (OnCellEditTypeExt)
        OnCellEditTypeExt(this, ACol, ARow, type);
    return type;
}

bool TKldCollectionView::PropertyCell(int ACol, int ARow, TKldColumn*& AColumn, TCollectionItem*& AItem) const
{
    AColumn = VisColumn(ACol);
    if (!Collection() || !AColumn || AColumn->Custom() || AColumn->Name().empty() || ARow < m_extRowCount)
        return false;
    AItem = ItemAtRow(ARow);
    return AItem != nullptr;
}

void TKldCollectionView::DoGetCellText(int ACol, int ARow, std::string& AText)
{
    TKldColumn* column = nullptr;
    TCollectionItem* item = nullptr;
    if (!PropertyCell(ACol, ARow, column, item)) {
        TKldGridView::DoGetCellText(ACol, ARow, AText);
        return;
    }
    const TPropInfo* info = column->PropertyFor(*item);
    if (!info)
        RaiseUnknownProperty(column->Name());
    AText = info->GetText(*item);
}

void TKldCollectionView::DoSetCellText(int ACol, int ARow, std::string& AText)
{
    TKldColumn* column = nullptr;
    TCollectionItem* item = nullptr;
    if (PropertyCell(ACol, ARow, column, item)) {
        const TPropInfo* info = column->PropertyFor(*item);
        if (!info)
            RaiseUnknownProperty(column->Name());
        info->SetText(*item, AText);
    } else {
        TKldGridView::DoSetCellText(ACol, ARow, AText);
    }
    DoChanged(ACol, ARow);
}

void TKldCollectionView::DoCellProps(int ACol, int ARow, TFont& AFont, TColor& AColor, TAlignment& AAlignment)
{
    TKldColumn* column = VisColumn(ACol);
    if (!column) {
        TKldGridView::DoCellProps(ACol, ARow, AFont, AColor, AAlignment);
        return;
    }
    AAlignment = column->TextAlignment();
    if (column->Disabled()) {
        AColor = clBtnFace;
    } else if (!column->DefaultColors()) {
        AColor = column->Color();
        AFont.SetColor(column->TextColor());
    }
    if (OnCellProps && IsValidCell(ACol, ARow))
        TKldGridView::DoCellProps(ACol, ARow, AFont, AColor, AAlignment);
}

TKldCellStates TKldCollectionView::DoCellState(int ACol, int ARow, TKldCellStates ADefault)
{
    TKldCellStates states{csDisabled, csEmpty};
    if (IsValidCell(ACol, ARow))
        states = TKldGridView::DoCellState(ACol, ARow, VisColumn(ACol)->States());
    if (OnCellStateExt)
        OnCellStateExt(this, ACol, ARow, states);
    return states;
}

void TKldCollectionView::DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions)
{
    if (TKldColumn* column = VisColumn(ACol)) {
        if (AOptions.ValueList)
            AOptions.ValueList->AddStrings(column->ValueList());
        AOptions.Nullable = column->Nullable();
    }
    TKldGridView::DoCellEditOptions(ACol, ARow, AOptions);
}

bool TKldCollectionView::DoCellExecDialog(int ACol, int ARow, std::string& AText)
{
    if (OnExecDialog)
        return OnExecDialog(this, ACol, ARow, AText);
    if (DefaultExecDialogProc) {
        TKldColumn* column = VisColumn(ACol);
        return DefaultExecDialogProc(AText, column ? column->Caption() : std::string());
    }
    return false;
}

void TKldCollectionView::DoDrawRowMarker(int ARow, const TRect& ARect)
{
    if (ARow >= 0 && ARow < GetRowCount() && OnDrawMarker)
        OnDrawMarker(this, ARow, ARect);
}

void TKldCollectionView::DoAddRow()
{
    InsertItem(true);
}

bool TKldCollectionView::DoMoveRow(int AFrom, int ATo)
{
    if (!TKldGridView::DoMoveRow(AFrom, ATo))
        return false;
    if (OnRowMoved)
        return OnRowMoved(this, AFrom, ATo);
    // The extra rows before the items stay where they are.
    TCollectionItem* item = ItemAtRow(AFrom);
    if (!item || ATo < m_extRowCount)
        return false;
    item->SetIndex(ATo - m_extRowCount);
    DoChanged(CurCell().X, CurCell().Y);
    SetChanged(true);
    return true;
}

void TKldCollectionView::LayoutChanged()
{
    TKldGridView::LayoutChanged();
}

void TKldCollectionView::GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth)
{
    if (TKldColumn* column = VisColumn(ACol)) {
        ALeft = column->Left();
        AWidth = column->Width();
    } else {
        ALeft = 0;
        AWidth = 0;
    }
}
