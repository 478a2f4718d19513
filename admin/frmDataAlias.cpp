#include "admin/frmDataAlias.h"

#include "platform/DBCtrls.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"
#include "platform/StockControls.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

TfrmDataAlias::TfrmDataAlias(TAdminContext Context, QWidget* Parent)
    : TMasterRecordDialog(std::move(Context), TMasterTable::Alias, Parent)
{
    setWindowTitle("Alias Data");
    edtAlias = AddEdit("ALIAS");
    edtDescription = AddEdit("DESCRIPTION");
    grpLogin = new TGroupBox(this);
    grpLogin->SetCaption(" Database Login ");
    cboDriver = AddCombo("DRIVER_NAME");
    cboDriver->setParent(grpLogin);
    cboDriver->SetStyle(csDropDownList);
    cboDriver->SetItems({"ORACLE", "INTERBASE", "MYSQL", "DB2", "MSSQL"});
    edtServer = AddEdit("SERVER_NAME");
    edtServer->setParent(grpLogin);
    memParams = AddMemo("LOGIN_PARAMS");
    memParams->setParent(grpLogin);

    auto* login = new QGridLayout(grpLogin);
    login->addWidget(new TPlainLabel("Driver Name:", grpLogin), 0, 0);
    login->addWidget(cboDriver, 0, 1);
    login->addWidget(new TPlainLabel("Server Name:", grpLogin), 1, 0);
    login->addWidget(edtServer, 1, 1);
    login->addWidget(new TPlainLabel("Params:", grpLogin), 2, 0, Qt::AlignTop);
    login->addWidget(memParams, 2, 1);

    auto* form = new QGridLayout;
    form->addWidget(new TPlainLabel("Alias:", this), 0, 0);
    form->addWidget(edtAlias, 0, 1);
    form->addWidget(new TPlainLabel("Description:", this), 1, 0);
    form->addWidget(edtDescription, 1, 1);
    form->addWidget(grpLogin, 2, 0, 1, 2);
    form->addWidget(chkCU, 3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(ButtonRow());
}

void TfrmDataAlias::AddClick()
{
    TMasterRecordDialog::AddClick();
    Data().FieldByName("DRIVER_NAME")->SetAsString("ORACLE");
}
