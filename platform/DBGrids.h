#pragma once
// Data-aware controls of the GUI library that the system's forms place:
// `TDBGrid`, a read-only table of a data source's rows (over
// TDataSetModel), and `TDBNavigator`, the row buttons of a data source.
//
// The grid's Options show the titles (dgTitles: the field labels above the
// columns), the indicator (dgIndicator: a narrow column marking the current
// row) and select whole rows (dgRowSelect) or single cells. Without Columns
// the grid shows every visible field; once Columns holds entries it shows
// just those fields, each with its width, background colour and alignment.
// A column without a width of its own is as wide as its field's
// DisplayWidth in digits of the grid's font, and at least as wide as its
// title while titles show; it is sized again whenever the fields, the
// options or the font change. Changes between BeginUpdate and EndUpdate
// reach the grid at the outermost EndUpdate. ClientWidth is the width the columns
// share (the grid less its frame, indicator and vertical scroll bar).
// Widgets: main thread only.

#include "platform/Colors.h"
#include "platform/Controls.h"
#include "platform/DataSource.h"
#include "platform/Sets.h"

#include <QTableView>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;
class TDataSetModel;
class TField;
class TDBGrid;

enum TDBGridOption
{
    dgEditing,
    dgTitles,
    dgIndicator,
    dgRowSelect
};
using TDBGridOptions = TSet<TDBGridOption, uint8_t>;

// One column of a grid: the field it shows and how.
struct TColumn
{
    std::string FieldName;
    // Pixels; -1 leaves the width to the grid (from the field's
    // DisplayWidth and the title).
    int Width = -1;
    TColor Color = clWindow;
    TAlignment Alignment = taLeftJustify;
};

class TDBGridColumns
{
  public:
    explicit TDBGridColumns(TDBGrid& Grid) : m_grid(Grid) {}

    int Count() const { return static_cast<int>(m_items.size()); }
    TColumn& operator[](int Index) { return m_items.at(static_cast<size_t>(Index)); }
    const TColumn& operator[](int Index) const { return m_items.at(static_cast<size_t>(Index)); }
    // Adds a column for FieldName; answers it for its settings (valid
    // until the next Add or Clear).
    TColumn& Add(const std::string& FieldName = {});
    void Clear();
    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();
    // Applies changes made to the columns through operator[].
    void Changed();

  private:
    TDBGrid& m_grid;
    std::vector<TColumn> m_items;
    int m_updateCount = 0;
};

// A cell about to be painted: its rectangle, row and column, the text the
// grid would show and whether it is selected. A hook that painted the cell
// itself sets Handled.
struct TGridCell
{
    QRect Rect;
    int Row = 0;
    int Column = 0;
    QString Text;
    bool Selected = false;
};
using TDrawColumnCellEvent = std::function<void(QPainter& Painter, const TGridCell& Cell, bool& Handled)>;

class TDBGrid : public QTableView
{
  public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* Value);
    TDataSetModel& Model() const { return *m_model; }
    // The field of the current column (the first column while none is
    // current); null without columns.
    TField* SelectedField() const;
    // Paints cells before the grid; a hook that throws leaves the cell to
    // the grid.
    TDrawColumnCellEvent OnDrawColumnCell;

    TDBGridOptions Options() const { return m_options; }
    void SetOptions(TDBGridOptions Value);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool Value);
    TDBGridColumns& Columns() { return m_columns; }
    const TDBGridColumns& Columns() const { return m_columns; }
    int ClientWidth() const;
    TFont& Font() { return m_font; }
    // The background of column Index (clWindow outside the columns).
    TColor ColumnColor(int Index) const;

  protected:
    void changeEvent(QEvent* Event) override;

  private:
    friend class TDBGridColumns;
    void ApplyColumns();
    void ApplyOptions();
    // The width of column Index from its field and title; -1 without a field.
    int DefaultColumnWidth(int Index) const;

    TDataSetModel* m_model;
    TDBGridOptions m_options{dgEditing, dgTitles, dgIndicator};
    bool m_readOnly = false;
    TDBGridColumns m_columns{*this};
    TFont m_font;
};

enum TNavigateBtn
{
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel
};
constexpr int NavigateBtnCount = 9;

// The data navigator: a row of buttons that move along a data source's
// dataset and edit it. It shows the four moves until the form asks for
// other buttons (SetVisibleButtons); the edits (insert, delete, edit, post,
// cancel) are there for forms that want them.
class TDBNavigator : public QWidget
{
  public:
    explicit TDBNavigator(QWidget* parent = nullptr);
    ~TDBNavigator() override;

    TDataSource* DataSource() const { return m_link->DataSource(); }
    void SetDataSource(TDataSource* Value);
    // A button is usable while the navigator is enabled and the dataset
    // open, and then: first and prior when not on the first row, next and
    // last when not past the last; insert when the dataset can be changed,
    // delete also only when it has a row, edit when it is not being
    // edited, post and cancel only while it is.
    void SetEnabled(bool Value);
    QToolButton* Button(TNavigateBtn Which) const { return m_buttons[Which]; }
    // Shows exactly the listed buttons, in their fixed order.
    void SetVisibleButtons(std::initializer_list<TNavigateBtn> Buttons);
    bool ButtonVisible(TNavigateBtn Which) const { return !m_buttons[Which]->isHidden(); }
    // The buttons' hints, in button order (first, prior, ..., cancel); a
    // missing or empty entry keeps the button's own hint.
    void SetHints(const std::vector<std::string>& Hints);
    std::string Hint(TNavigateBtn Which) const;
    // Delete asks "Delete record?" first (through ConfirmDeleteQuery, the
    // standard question box unless a test puts its own).
    bool ConfirmDelete = true;
    std::function<bool()> ConfirmDeleteQuery;
    void BtnClick(TNavigateBtn Which);
    void UpdateButtons();

  private:
    class TNavDataLink : public TDataLink
    {
      public:
        explicit TNavDataLink(TDBNavigator* Owner) : m_owner(Owner) {}
        std::string ClassName() const override { return "TNavDataLink"; }

      protected:
        void ActiveChanged() override { m_owner->UpdateButtons(); }
        void DataSetChanged() override { m_owner->UpdateButtons(); }
        void EditingChanged() override { m_owner->UpdateButtons(); }

      private:
        TDBNavigator* m_owner;
    };

    std::unique_ptr<TNavDataLink> m_link;
    std::array<QToolButton*, NavigateBtnCount> m_buttons{};
};
