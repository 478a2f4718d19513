#pragma once
// The debug viewer of applet developers: a modal window over a dataset (in
// a read-only grid, with its filter) or over lines of text. The
// controller's DebugDataset and DebugStrings open it. Main thread only.

#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Forms.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class TDataSet;
class TStrings;

class TfrmDebug : public TDialogForm
{
  public:
    explicit TfrmDebug(QWidget* parent = nullptr);
    ~TfrmDebug() override;
    std::string ClassName() const override { return "TfrmDebug"; }

    // Shows DataSet: caption "View of: " + its name, navigator enabled, and
    // for a filtered dataset a red "Filtered " beside the filter text.
    void ShowDataSet(TDataSet* DataSet);
    // Shows a copy of the lines in the memo instead of the grid.
    void ShowStrings(const TStrings& Strings);

    QLabel* lblF;
    QLabel* lblFT;
    TDBNavigator* DBNavigator1;
    QPushButton* btnClose;
    TDBGrid* DBGrid1;
    QPlainTextEdit* Memo;
    TDataSource DataSource1;
};

// Nothing for null; otherwise the viewer, modal, released afterwards (also
// when showing fails), letting go of the dataset.
void _DebugDataset(TDataSet* DataSet);
void _DebugStrings(const TStrings* Strings);
