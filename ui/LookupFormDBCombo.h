#pragma once
// Unit LookupFormDBCombo: `TfrmDBCombo`, the lookup window of the combos.
// Its database sheet shows the rows of its own query (the combo's lookup
// statement) or of a lookup dataset the caller gives, with a quick filter
// on the search field, the advanced filter (query only) and a sort chooser
// (lookup dataset only); its hard-coded sheet shows a fixed list. The result
// is in Tag: 100 select (the Select button, Enter outside the quick filter
// edit, a double click in the grid or the list), 1 clear, 0 cancel (the
// Cancel button, Escape, closing the window).
//
// The caller fills the query, the list, the search field, the owner combo's
// names and the quick filter edit, then calls ShowModal, which prepares the
// window (raising ELookup when preparing its data fails) and shows it.
// Settings made on a lookup dataset (its filter, its index fields) stay in
// force after the window closes; the query's simple filter ends with it.
//
// The rules are plain functions below, so that tests drive them without a
// window. User-interface thread only.

#include "platform/Colors.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QPushButton;
class QWidget;
class TDBGrid;
class TDataSet;
class TDataSource;
class TField;
class TListBox;
class TMaskEdit;
class TNembraDataSet;
class TPageControl;
class TSpeedButton;
class TTabSheet;
class TovnOndrelQuery;

KLD_DECLARE_EXCEPTION(ELookup, Exception);

// The quick filter's condition on the query: the search field's column in
// upper case at least the typed text in upper case. Each apostrophe of the
// text is doubled, so that the text stays one literal.
std::string DBComboQueryCondition(const std::string& OriginalField, const std::string& Text);
// Whether Text can go into a lookup dataset's filter on Field: the filter
// language cannot hold a double quote inside its text literal, and a text
// that does not convert to the field's type would fail for every row (and
// a row whose filter fails passes). A missing field takes nothing.
bool LookupFilterAccepts(const TField* Field, const std::string& Text);
// The lookup dataset's filter text: the field, " >= ", the text in double quotes.
std::string DBComboLookupFilter(const std::string& OriginalField, const std::string& Text);

// One grid column as the window lays it out.
struct TDBComboColumn
{
    std::string FieldName;
    int Width = 0;
    bool Marked = false; // the column of the combo's search (or key) field
};
// The columns of the database sheet: one per visible field of DataSet (open),
// as wide as its label + 8 or the widest text of at most 11 rows from the
// current one (which stays current), capped at ClientWidth - 30; the column
// named MarkedField (without case) is marked; when all of them are narrower
// than GridWidth the last one grows to fill ClientWidth.
std::vector<TDBComboColumn> PlanDBComboColumns(TDataSet& DataSet, const std::function<int(const std::string&)>& TextWidth,
                                               int ClientWidth, int GridWidth, const std::string& MarkedField);

class TfrmDBCombo : public TDialogForm
{
  public:
    explicit TfrmDBCombo(QWidget* Parent = nullptr);
    ~TfrmDBCombo() override;
    std::string ClassName() const override { return "TfrmDBCombo"; }

    // The owning combo's Name (in the messages) and its search and key
    // field names (the search field's column is marked; the key field's
    // when the search field is empty).
    void SetOwnerCombo(const std::string& Name, const std::string& SearchByField, const std::string& LookupField);
    // The dataset to show instead of the query (not owned; may be null).
    TNembraDataSet* LookupDataSet = nullptr;
    // The field the quick filter searches.
    std::string SearchField;

    // Prepares the window (PrepareShow) and shows it modally; answers Tag.
    int ShowModal();
    // The steps before the window shows: the red state (false: nothing to
    // pick), items only, the sheets, the grid, the saved quick filter.
    bool PrepareShow();
    // The dataset the database sheet shows (the query or the lookup
    // dataset); null on the hard-coded sheet.
    TDataSet* WindowDataSet() const { return m_dataSet; }
    // The form's colour ($0000FF in the red state).
    TColor Color() const { return m_color; }
    // Lays the grid's columns out again from the window's dataset.
    void PrepareGrid();
    // "Apply Filter" as pressed or released now.
    void ApplyQuickFilter();

    TPageControl* Book;
    TTabSheet* tsDatabase;
    TTabSheet* tsHardCoded;
    TDBGrid* Grid;
    TListBox* ListBox;
    QComboBox* cboIndexField;
    QFrame* pnlFilter;
    TMaskEdit* edtSimple;
    TSpeedButton* btnApply;
    QCheckBox* chkSaveFilter;
    QFrame* Bevel;
    QFrame* pnlBottom;
    QPushButton* btnSelect;
    QPushButton* btnCancel;
    QPushButton* btnClear;
    QPushButton* btnAdvanced;
    TDataSource* DataSource;
    TovnOndrelQuery* Query;

  protected:
    void setVisible(bool Visible) override;

  private:
    void PrepareData();
    void SettleLayout();
    void Finish(int Result);
    void EditKeyDown(uint16_t& Key);
    void EditChanged();
    void AdvancedFilterClick();
    void IndexFieldChanged(int Index);
    void SetColor(TColor Value);
    std::string MarkedField() const;

    std::string m_ownerName;
    std::string m_ownerSearchByField;
    std::string m_ownerLookupField;
    TDataSet* m_dataSet = nullptr;
    TColor m_color;
    bool m_focusEdit = false;
    bool m_filterRestored = false;
};
