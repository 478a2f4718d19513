#include "admin/frmDataEnterprise.h"

#include "Components/Controller/WebAds.h"
#include "platform/DBCtrls.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

TfrmDataEnterprise::TfrmDataEnterprise(TAdminContext Context, QWidget* Parent)
    : TMasterRecordDialog(std::move(Context), TMasterTable::Enterprise, Parent)
{
    setWindowTitle("Enterprise Data");
    edtEnterprise = AddEdit("ENTERPRISE");
    edtEnterprise->SetCharCase(ecUpperCase);
    edtDescription = AddEdit("DESCRIPTION");
    edtAddress1 = AddEdit("ADDRESS1");
    edtAddress2 = AddEdit("ADDRESS2");
    edtCity = AddEdit("CITY");
    edtState = AddEdit("STATE");
    edtState->SetCharCase(ecUpperCase);
    edtZip = AddEdit("ZIP");
    edtPhone1 = AddEdit("PHONE1");
    edtPhone2 = AddEdit("PHONE2");
    edtFax = AddEdit("FAX");
    edtContact1 = AddEdit("CONTACT1");
    edtContact2 = AddEdit("CONTACT2");
    cboIndustry = AddCombo("INDUSTRY");
    cboIndustry->SetStyle(csDropDown);
    chkAdvertise = AddCheck("Advertise", "ADVERTISE");
    chkSecure = AddCheck("Require Secure Password", "REQUIRE_SECURE_PASSWORD");

    auto* form = new QGridLayout;
    auto row = [&](int r, int c, const char* caption, QWidget* w) {
        form->addWidget(new QLabel(caption, this), r, c);
        form->addWidget(w, r, c + 1);
    };
    row(0, 0, "Enterprise:", edtEnterprise);
    row(1, 0, "Description:", edtDescription);
    row(2, 0, "Address 1:", edtAddress1);
    row(3, 0, "Address 2:", edtAddress2);
    row(4, 0, "City:", edtCity);
    row(5, 0, "State:", edtState);
    row(6, 0, "Zip:", edtZip);
    row(0, 2, "Phone 1:", edtPhone1);
    row(1, 2, "Phone 2:", edtPhone2);
    row(2, 2, "Fax:", edtFax);
    row(3, 2, "Contact 1:", edtContact1);
    row(4, 2, "Contact 2:", edtContact2);
    row(5, 2, "Industry:", cboIndustry);
    form->addWidget(chkCU, 7, 1);
    form->addWidget(chkAdvertise, 6, 3);
    form->addWidget(chkSecure, 7, 3);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(ButtonRow());
}

void TfrmDataEnterprise::FormShow()
{
    m_industries.Reset();
    cboIndustry->SetItems({});
    TMasterRecordDialog::FormShow();
}

void TfrmDataEnterprise::LoadIndustries()
{
    if (!m_industries.NeedsFetch())
        return;
    std::string reply;
    HTTPGet(HostAndPort(Context().AdService), "services/get_industries.php", reply);
    cboIndustry->SetItems(m_industries.Take(reply));
}

void TfrmDataEnterprise::AddClick()
{
    LoadIndustries();
    TMasterRecordDialog::AddClick();
}

void TfrmDataEnterprise::EditClick()
{
    LoadIndustries();
    m_nameBefore = Data().FieldByName("ENTERPRISE")->AsString();
    TMasterRecordDialog::EditClick();
}

bool TfrmDataEnterprise::SaveCheck()
{
    TDataSet& data = Data();
    const std::string name = data.FieldByName("ENTERPRISE")->AsString();
    if (!NameCheckApplies(data.State() == dsInsert, m_nameBefore, name))
        return true;
    const std::string error = EnterpriseNameError(name);
    if (error.empty())
        return true;
    MessageDlg(error, mtError, {mbOK});
    return false;
}
