// Samples of the virtual grid: a week's shift plan with a caption, numbered
// rows, check cells, a value-list column and a dialog column; and the same
// grid with the editor open on a value-list cell and its list dropped down.

#include "tools/gallery/GallerySamples.h"

#include "ui/KldGridView.h"
#include "ui/KldValueEditor.h"
#include "ui/KldValueListBox.h"

#include <QPainter>

#include <array>
#include <string>
#include <vector>

namespace {

struct TShiftRow
{
    std::string Name;
    std::string Present;
    std::string Shift;
    std::string Ward;
    std::string Note;
};

// A grid host that answers the cells from its rows.
class TShiftGrid : public TKldGridView
{
  public:
    explicit TShiftGrid(QWidget* parent) : TKldGridView(parent)
    {
        m_rows = {
            {"Anna Berg", "True", "Morning", "Birch", ""},
            {"Jonas Keller", "True", "Afternoon", "Birch", "Medication round"},
            {"Mira Olsen", "False", "Off", "Linden", ""},
            {"Petr Novak", "True", "Night", "Linden", "Call relatives of room 12 about the visit on Sunday"},
            {"Lea Fischer", "", "Morning", "Oak", ""},
            {"Omar Haddad", "True", "Afternoon", "Oak", ""},
            {"Sofia Rossi", "True", "Night", "Birch", ""},
            {"Tomas Lind", "False", "Off", "Linden", "Training"},
            {"Ines Costa", "True", "Morning", "Oak", ""},
            {"Karl Weber", "True", "Afternoon", "Birch", ""},
            {"Nina Petrova", "", "Night", "Oak", ""},
            {"Paul Martin", "True", "Morning", "Linden", ""},
        };
        SetShowOptions(ShowOptions() + TKldListViewShowOptions{soCaption, soMarker, soTabs, soDropDownMenu} -
                       TKldListViewShowOptions{soAutoWidth});
        SetCaption("Shift plan, week 23");
        SetNumberedRow(nrAscending);
        SetScrollBars(ssVertical);
        SetBorders(bsSingle);
        SetShowCheckText(false);
        SetShowHint(true);
    }

    int GetRowCount() override { return static_cast<int>(m_rows.size()); }
    int GetColCount() override { return static_cast<int>(Widths.size()); }
    std::string GetColCaption(int ACol) override { return Captions[ACol]; }
    void GetColProps(int ACol, TAlignment& AAlignment, bool& AColumnClick, TItemSortOption& ASortOption,
                     TColumnSizingOption& ASizingOption) override
    {
        TKldGridView::GetColProps(ACol, AAlignment, AColumnClick, ASortOption, ASizingOption);
        AAlignment = ACol == 1 ? taCenter : taLeftJustify;
    }
    void GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth) override
    {
        ALeft = 0;
        for (int c = 0; c < ACol; ++c)
            ALeft += Widths[c];
        AWidth = Widths[ACol];
    }
    void SetColWidth(int ACol, int AWidth) override
    {
        Widths[ACol] = AWidth;
        LayoutChanged();
    }
    TKldEditType DoGetCellEditType(int ACol, int ARow) override
    {
        static constexpr std::array<TKldEditType, 5> types{etNone, etCheck, etValueListOnly, etValueList, etDialog};
        return types[ACol];
    }
    void DoCellProps(int ACol, int ARow, TFont& AFont, TColor& AColor, TAlignment& AAlignment) override
    {
        TKldGridView::DoCellProps(ACol, ARow, AFont, AColor, AAlignment);
        if (ACol == 1)
            AAlignment = taCenter;
        if (m_rows[ARow].Shift == "Off")
            AFont.SetColor(clGrayText);
    }
    void DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions) override
    {
        AOptions.Nullable = ACol == 1;
        if (AOptions.ValueList && ACol == 2)
            for (const char* v : {"Morning", "Afternoon", "Night", "Off", "On call (weekend only)"})
                AOptions.ValueList->Add(v);
        if (AOptions.ValueList && ACol == 3)
            for (const char* v : {"Birch", "Linden", "Oak"})
                AOptions.ValueList->Add(v);
        TKldGridView::DoCellEditOptions(ACol, ARow, AOptions);
    }
    void DoGetCellText(int ACol, int ARow, std::string& AText) override
    {
        const TShiftRow& r = m_rows[ARow];
        const std::array<const std::string*, 5> cells{&r.Name, &r.Present, &r.Shift, &r.Ward, &r.Note};
        AText = *cells[ACol];
    }
    void DoSetCellText(int ACol, int ARow, std::string& AText) override
    {
        TShiftRow& r = m_rows[ARow];
        const std::array<std::string*, 5> cells{&r.Name, &r.Present, &r.Shift, &r.Ward, &r.Note};
        *cells[ACol] = AText;
        DoChanged(ACol, ARow);
    }

    std::vector<int> Widths{130, 60, 110, 80, 160};
    std::vector<std::string> Captions{"Name", "Present", "Shift", "Ward", "Note"};

  private:
    std::vector<TShiftRow> m_rows;
};

QWidget* MakeShiftGrid(QWidget* parent)
{
    auto* grid = new TShiftGrid(parent);
    grid->SetCurCell(0, 1);
    return grid;
}

// The grid with the window of its dropped-down list painted over it where
// the list stands on the screen.
QImage WithList(TKldGridView& grid)
{
    TKldValueListBox& list = grid.Editor().ListBox();
    const QPoint origin = grid.mapToGlobal(QPoint(0, 0));
    const QRect listRect(list.mapToGlobal(QPoint(0, 0)) - origin, list.size());
    const QRect all = QRect(QPoint(0, 0), grid.size()).united(listRect);
    QImage picture(all.size(), QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.drawImage(-all.topLeft(), grid.grab().toImage());
    p.drawImage(listRect.topLeft() - all.topLeft(), list.grab().toImage());
    return picture;
}

const TGalleryRegistration GridView{{"grid-view", QSize(600, 300), MakeShiftGrid, nullptr}};

const TGalleryRegistration GridViewEditor{
    {"grid-view-editor", QSize(600, 300), MakeShiftGrid, [](QWidget* control) {
         std::vector<std::pair<std::string, QImage>> extra;
         auto* grid = dynamic_cast<TKldGridView*>(control);
         if (!grid)
             return extra;
         grid->SetCurCell(2, 3, crNoReason, true);
         grid->Editor().DropDown();
         grid->Editor().ListBox().SetItemIndex(1);
         extra.push_back({"grid-view-editor-list", WithList(*grid)});
         grid->Editor().CloseUp(false);
         return extra;
     }}};

} // namespace
