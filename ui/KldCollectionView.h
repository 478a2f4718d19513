#pragma once
// `TKldCollectionView`: a grid whose rows are the items of a collection
// handed to it and whose columns are `TKldColumn` objects. A column whose
// Name names a published property of the items (platform/TypInfo.h) shows
// and edits that property as text; other columns ask the grid's events.
//
// - The view never owns the collection. It holds it by guarded reference: a
//   host still sets another collection (or none) before it deletes or
//   replaces one, but a view whose collection went anyway shows no rows
//   instead of reading freed items.
// - Changes of the collection are not watched: the host calls Refresh,
//   SetCollection or UpdateCurrentItem, or uses InsertItem and DeleteItem.
// - ExtRowCount extra rows come before the items and take their texts from
//   the grid's events; row R shows item R - ExtRowCount everywhere (cell
//   texts, the current item, insertion and row moves).
// - A column naming a property the item lacks, or a text that does not
//   convert, raises from the cell-text operations on every read and write;
//   the editor puts the cell's text back.
// User-interface thread only.

#include "platform/Collection.h"
#include "platform/Guarded.h"
#include "ui/KldGridItems.h"
#include "ui/KldGridView.h"

#include <functional>
#include <memory>
#include <string>

using TItemExecDialog = std::function<bool(TObject* Sender, int ACol, int ARow, std::string& S)>;
using TDrawMarker = std::function<void(TObject* Sender, int ARow, const TRect& ARect)>;
using TRowMovedEvent = std::function<bool(TObject* Sender, int AOldRow, int ANewRow)>;
using TCellEditTypeExt = std::function<void(TObject* Sender, int ACol, int ARow, TKldEditType& AEditType)>;
using TCellStateExt = std::function<void(TObject* Sender, int ACol, int ARow, TKldCellStates& AStates)>;

// Serves the dialog button of every collection view and property list that
// has no OnExecDialog: gets the cell's text and the column's (or prop's)
// caption, answers whether it changed the text. Empty at start.
using TExecDialogProc = std::function<bool(std::string& Text, const std::string& Caption)>;
extern TExecDialogProc DefaultExecDialogProc;

class TKldCollectionView : public TKldGridView
{
  public:
    explicit TKldCollectionView(QWidget* parent = nullptr);
    ~TKldCollectionView() override;
    std::string ClassName() const override { return "TKldCollectionView"; }

    // After the host has set the stored settings (as a form does when it
    // is loaded): the marker column keeps RowHeight pixels for a marker
    // picture when OnDrawMarker is assigned.
    void Loaded();

    TKldColumns& Columns() { return *m_columns; }
    const TKldColumns& Columns() const { return *m_columns; }
    // Copies the given columns.
    void SetColumns(const TKldColumns& Value);

    TCollection* Collection() const { return m_collection.Get(); }
    // A pending edit is dropped (it belongs to the old collection's item).
    void SetCollection(TCollection* C);
    int ExtRowCount() const { return m_extRowCount; }
    void SetExtRowCount(int Value);

    // Cancels a pending edit and recomputes the view.
    void Refresh();
    TCollectionItem* GetCurrentItem();
    void SetCurrentItem(TCollectionItem* Item);
    // Null without a collection or outside 0 .. Count - 1.
    TCollectionItem* GetCollectionItem(int Index) const;
    // A new item at the end, or (Append false, with more than one row) at
    // the current item's place; without a collection one more row.
    TCollectionItem* InsertItem(bool Append);
    // Deletes the current item after the confirmation (Yes/No; skipped for
    // an empty text); without a collection one row less.
    void DeleteItem(const std::string& ConfirmText);
    // Deletes Item when it belongs to the view's collection.
    void DeleteItem(TCollectionItem* Item);
    void UpdateCurrentItem();
    // Without soAutoWidth: the column's width becomes its widest text + 8.
    void CalcWidthByContent(int ACol);

    // --- Grid operations answered from the columns and the collection ---
    void SetRowCount(int N) override;
    int GetRowCount() override;
    int GetColCount() override;
    std::string GetColCaption(int ACol) override;
    void GetColProps(int ACol, TAlignment& AAlignment, bool& AColumnClick, TItemSortOption& ASortOption,
                     TColumnSizingOption& ASizingOption) override;
    void CalcColsWidth() override;
    void SetColWidth(int ACol, int AWidth) override;
    void SetColIndex(int AFrom, int ATo) override;
    void AdjustCellsSize(int AWidth, int AHeight) override;
    TKldEditType DoGetCellEditType(int ACol, int ARow) override;
    void DoGetCellText(int ACol, int ARow, std::string& AText) override;
    void DoSetCellText(int ACol, int ARow, std::string& AText) override;
    void DoCellProps(int ACol, int ARow, TFont& AFont, TColor& AColor, TAlignment& AAlignment) override;
    TKldCellStates DoCellState(int ACol, int ARow, TKldCellStates ADefault) override;
    void DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions) override;
    bool DoCellExecDialog(int ACol, int ARow, std::string& AText) override;
    void DoDrawRowMarker(int ARow, const TRect& ARect) override;
    void DoAddRow() override;
    bool DoMoveRow(int AFrom, int ATo) override;
    void LayoutChanged() override;
    void GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth) override;

    TItemExecDialog OnExecDialog;
    // Sender is the new item, or null without a collection.
    TNotifyEvent OnNewCollectionItem;
    TDrawMarker OnDrawMarker;
    TRowMovedEvent OnRowMoved;
    TCellEditTypeExt OnCellEditTypeExt;
    TCellStateExt OnCellStateExt;

  private:
    // The visible column Col, or null.
    TKldColumn* VisColumn(int ACol) const;
    // The item shown in Row (Row - ExtRowCount), or null.
    TCollectionItem* ItemAtRow(int ARow) const;
    int RowOfItem(const TCollectionItem* Item) const;
    // The published property of Row's item that column Col names; false
    // when the cell takes the events' path instead.
    bool PropertyCell(int ACol, int ARow, TKldColumn*& AColumn, TCollectionItem*& AItem) const;
    void DeleteAndReport(TCollectionItem* Item);

    std::unique_ptr<TKldColumns> m_columns;
    TGuardedPtr<TCollection> m_collection;
    int m_extRowCount = 0;
};
