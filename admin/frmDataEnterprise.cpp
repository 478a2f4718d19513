#include "admin/frmDataEnterprise.h"

#include "Components/Controller/web/WebAds.h"
#include "platform/DBCtrls.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"

#include <QGridLayout>

TfrmDataEnterprise::TfrmDataEnterprise(TAdminContext Context, QWidget* Parent)
    : TAddressRecordDialog(std::move(Context), TMasterTable::Enterprise, "Enterprise:", "ENTERPRISE", Parent)
{
    setWindowTitle("Enterprise Data");
    edtEnterprise = NameEdit();
    edtEnterprise->SetCharCase(ecUpperCase);
    cboIndustry = AddCombo("INDUSTRY");
    cboIndustry->SetStyle(csDropDown);
    chkAdvertise = AddCheck("Advertise", "ADVERTISE");
    chkSecure = AddCheck("Require Secure Password", "REQUIRE_SECURE_PASSWORD");
    AddRow(5, 1, "Industry:", cboIndustry);
    Grid().addWidget(chkCU, 7, 1);
    Grid().addWidget(chkAdvertise, 6, 3);
    Grid().addWidget(chkSecure, 7, 3);
    FinishLayout();
}

void TfrmDataEnterprise::Load()
{
    m_industries.Reset();
    cboIndustry->SetItems({});
    TMasterRecordDialog::Load();
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
