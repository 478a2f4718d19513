#pragma once
// Unit Lookup: the modal pick window over an open server query or table.
// `ShowLookup`, `ShowLookup2` and `ShowLookupEx` copy the chosen row's
// fields into fields, an edit or other controls ("&Ok": 100), clear them
// ("C&lear": 200) or leave them as they were ("&Cancel", closing: 0); each
// answers True for a choice or a clear. Their checks raise EovnLookup
// before any window shows.

#include "platform/DataSource.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

#include <string>
#include <vector>

class QPushButton;
class TCustomEdit;
class TDBGrid;
class TDataSetModel;
class TField;
class TNembraDBDataSet;
class TNembraQuery;

KLD_DECLARE_EXCEPTION(EovnLookup, Exception);

class TfrmLookup : public TDialogForm
{
  public:
    explicit TfrmLookup(QWidget* Parent = nullptr);
    ~TfrmLookup() override;
    std::string ClassName() const override { return "TfrmLookup"; }

    // Binds the grid to DataSet and sets the Filter button's weight by the
    // query's user filter.
    void SetDataSet(TNembraQuery* DataSet);
    // Whether the Filter button is drawn bold (the dataset carries a user filter).
    bool FilterBold() const;

    TDataSource* DS;
    TDBGrid* Grid;
    TDataSetModel* GridModel;
    QPushButton* btnOk;
    QPushButton* btnClear;
    QPushButton* btnCancel;
    QPushButton* btnFilter;

  private:
    void Finish(int Result);
    void FilterClick();
    void UpdateFilterButton();

    TNembraQuery* m_dataSet = nullptr;
};

bool ShowLookup(const std::string& Caption, TNembraDBDataSet* DataSet, TField* Field1, TField* Field2,
                const std::string& Name1, const std::string& Name2);
// With an empty TextField the window shows but nothing changes.
bool ShowLookup2(const std::string& Caption, TNembraDBDataSet* DataSet, TCustomEdit* Edit, const std::string& KeyField,
                 const std::string& TextField);
// Targets are fields (take the value), edits and labels (take the text).
bool ShowLookupEx(const std::string& Caption, TNembraDBDataSet* DataSet, const std::vector<std::string>& Names,
                  const std::vector<TObject*>& Targets);
