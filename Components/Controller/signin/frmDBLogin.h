#pragma once
// The database chooser: `DBLoginExecute` over the user's databases and its
// dialog `TfrmDBLogin` ("Select Database").
//
// DBLoginExecute switches the list's filter off and goes to its first row:
// an empty list raises "No database access assigned", a list of one row is
// taken without asking, a longer one is offered in the dialog. True means
// the chosen database is the list's current row.
//
// In the dialog the user types to search: every character is added to the
// search text and Backspace clears all of it; a row stays listed when the
// text occurs, without regard to case, in its "DATABASE", "Description" or
// "Enterprise" value. Alt+C cancels, Alt+O and a double click in the list
// answer OK; OK is refused while the search leaves no row. The dialog is the
// list's record filter while it exists and hands the filter back when it
// goes.
//
// User-interface thread only.

#include "platform/DataSet.h"
#include "platform/Forms.h"

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class TDataSetModel;
class TDataSource;

KLD_DECLARE_EXCEPTION(EDBLogin, Exception);

// Whether a row with these values matches the search text (contained,
// without regard to case, in any of the three; an empty text matches all).
bool DBLoginRowMatches(const std::string& Search, const std::string& Database, const std::string& Description,
                       const std::string& Enterprise);

// The dialog's client width for grid columns of these widths: the height of
// a horizontal scroll bar, each column's width plus its line, and 4.
int DBLoginClientWidth(const std::vector<int>& ColumnWidths, int ScrollBarHeight);

bool DBLoginExecute(TDataSet& DataBases);

class TfrmDBLogin : public TDialogForm
{
  public:
    // Shows DataBases (its columns "Database", "Description" and
    // "Enterprise") and becomes its record filter.
    explicit TfrmDBLogin(TDataSet& DataBases, QWidget* parent = nullptr);
    ~TfrmDBLogin() override;
    std::string ClassName() const override { return "TfrmDBLogin"; }

    const std::string& SearchText() const { return m_searchText; }
    // A typed character (Backspace clears the text) as the key preview
    // gets it: updates the search label and the list.
    void TypeChar(char32_t Char);

    QTableView* Grid() const { return m_grid; }
    QLabel* lblSearch() const { return m_lblSearch; }
    QPushButton* btnOK() const { return m_btnOK; }
    QPushButton* btnCancel() const { return m_btnCancel; }
    // The widths the grid's columns were given, in column order.
    const std::vector<int>& ColumnWidths() const { return m_columnWidths; }

  protected:
    void CloseQuery(bool& CanClose) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FilterRecord(TDataSet* DataSet, bool& Accept);
    void ApplySearch();
    void SizeColumns();
    void SelectCurrentRow();
    void WatchKeys(QWidget* Widget);

    TDataSet& m_dataBases;
    TFilterRecordEvent m_previousFilter;
    std::unique_ptr<TDataSource> m_source;
    TDataSetModel* m_model = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_lblSearch = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
    std::string m_searchText;
    std::vector<int> m_columnWidths;
};
