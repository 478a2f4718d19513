#pragma once
// `TMasterRecordDialog`: what the record dialogs of the enterprises window
// share. Each edits the current row of the data source the window hands it
// (bound to every data control and the prior/next navigator on show) in two
// modes: viewing ("&Add", "&Edit", "&Delete" and the navigator usable, the
// data controls not) and editing (the other way round, "&OK" usable and the
// close button named "&Cancel"). New rows take their COUNTER from the
// table's sequence on "&OK"; the delete decisions and the modes come from
// EnterpriseRules.

#include "admin/AdminForms.h"
#include "admin/EnterpriseRules.h"
#include "platform/Forms.h"

#include <functional>
#include <string>
#include <vector>

class QGridLayout;
class QHBoxLayout;
class QPushButton;
class QWidget;
class TDBCheckBox;
class TDBComboBox;
class TDBEdit;
class TDBMemo;
class TDBNavigator;
class TDataSet;
class TDataSource;

class TMasterRecordDialog : public TAdminDialog
{
  public:
    TMasterRecordDialog(TAdminContext Context, TMasterTable Table, QWidget* Parent);
    ~TMasterRecordDialog() override;

    // The source the dialog works on; its controls are bound on show.
    void SetDataSource(TDataSource* Value) { m_ds = Value; }
    TDataSource* DS() const { return m_ds; }

    void View();
    void Change();
    virtual void AddClick();
    virtual void EditClick();
    void DeleteClick();
    void OKClick();
    void CloseClick();

    QPushButton* btnAdd;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnOK;
    QPushButton* btnClose;
    TDBNavigator* Navigator;
    TDBCheckBox* chkCU;

  protected:
    // Data controls made here are bound to the source on show and follow
    // the modes.
    TDBEdit* AddEdit(const std::string& Field);
    TDBComboBox* AddCombo(const std::string& Field);
    TDBMemo* AddMemo(const std::string& Field);
    TDBCheckBox* AddCheck(const std::string& Caption, const std::string& Field);
    // The navigator and the five buttons in a row.
    QHBoxLayout* ButtonRow();
    // The "&OK" check of the dialog: false keeps the row in editing.
    virtual bool SaveCheck() { return true; }
    TDataSet& Data() const;
    // The on-show set-up: binds the controls and starts viewing.
    void Load() override;
    // The dialog works on the data source it is handed, so it binds on show
    // also without a system database.
    bool CanLoad() const override { return true; }

  private:
    void Bind(TDataSource* Value);
    void ApplyState(bool Editing);

    TMasterTable m_table;
    TDataSource* m_ds = nullptr;
    std::vector<std::function<void(TDataSource*)>> m_binders;
    std::vector<QWidget*> m_dataControls;
};

// The enterprise and facility dialogs: a name, a description and the same
// address, phone and contact fields with the same captions, in a grid of
// two caption/field column pairs. The name, description and address take
// rows 0 to 6 of the left pair, phones, fax and contacts rows 0 to 4 of the
// right pair; the rest is the dialog's own.
class TAddressRecordDialog : public TMasterRecordDialog
{
  public:
    TAddressRecordDialog(TAdminContext Context, TMasterTable Table, const std::string& NameCaption,
                         const std::string& NameField, QWidget* Parent);

    TDBEdit* edtDescription;
    TDBEdit* edtAddress1;
    TDBEdit* edtAddress2;
    TDBEdit* edtCity;
    TDBEdit* edtState;
    TDBEdit* edtZip;
    TDBEdit* edtPhone1;
    TDBEdit* edtPhone2;
    TDBEdit* edtFax;
    TDBEdit* edtContact1;
    TDBEdit* edtContact2;

  protected:
    TDBEdit* NameEdit() const { return m_name; }
    // Puts a caption and its control at Row of the caption/field pair Pair
    // (0 left, 1 right).
    void AddRow(int Row, int Pair, const std::string& Caption, QWidget* Control);
    QGridLayout& Grid() const { return *m_grid; }
    // The grid above the button row; called once the dialog's own rows are in.
    void FinishLayout();

  private:
    TDBEdit* m_name;
    QGridLayout* m_grid;
};
