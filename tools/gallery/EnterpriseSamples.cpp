// Samples of the enterprises window and its three record dialogs with
// sample rows.

#include "tools/gallery/GallerySamples.h"
#include "tools/gallery/SampleTable.h"

#include "admin/EnterpriseRules.h"
#include "admin/frmDataAlias.h"
#include "admin/frmDataEnterprise.h"
#include "admin/frmDataFacility.h"
#include "admin/frmEnterprises.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/Fields.h"

#include <QPushButton>

namespace {

using TColumnList = std::vector<TSampleColumn>;

TAdminContext SysContext()
{
    TAdminContext context;
    context.Admin.UserType = "SYS";
    context.Admin.ID = "ADMIN";
    context.Admin.Counter = 2;
    context.Admin.C_Enterprise = GlobalEnterprise;
    return context;
}

// The grid's columns: these fields in this order with these captions.
void Columns(TDataSet& Data, const std::vector<std::pair<std::string, std::string>>& Shown)
{
    for (int i = 0; i < Data.Fields().Count(); ++i)
        Data.Fields().Fields(i)->SetVisible(false);
    int index = 0;
    for (const auto& [name, caption] : Shown) {
        TField* field = Data.FieldByName(name);
        field->SetIndex(index++);
        field->SetDisplayLabel(caption);
        field->SetVisible(true);
    }
}

void Masks(TDataSet& Data, TMasterTable Table)
{
    for (const auto& [name, mask] : EditMasks(Table))
        if (TField* field = Data.FindField(name))
            field->SetEditMask(mask);
}

TSampleTable& Enterprises()
{
    static TSampleTable table(
        TColumnList{{"COUNTER", cdtInteger},
                    {"ENTERPRISE", cdtString, 30},
                    {"DESCRIPTION", cdtString, 80},
                    {"ADDRESS1", cdtString, 60},
                    {"ADDRESS2", cdtString, 60},
                    {"CITY", cdtString, 40},
                    {"STATE", cdtString, 2},
                    {"ZIP", cdtString, 10},
                    {"PHONE1", cdtString, 20},
                    {"PHONE2", cdtString, 20},
                    {"FAX", cdtString, 20},
                    {"CONTACT1", cdtString, 60},
                    {"CONTACT2", cdtString, 60},
                    {"CURRENT_USE", cdtString, 1},
                    {"INDUSTRY", cdtString, 60},
                    {"ADVERTISE", cdtString, 1},
                    {"REQUIRE_SECURE_PASSWORD", cdtString, 1}},
        {{1, "GLOBAL ENTERPRISE", "Enterprise of every system manager", "", "", "", "", "", "", "", "", "",
          "", "T", "", "F", "F"},
         {10, "HARBOUR VIEW CARE", "Harbour View Care Group", "12 Quay Street", "", "Portland", "OR",
          "972010000", "5035550100", "", "5035550109", "Helen Brooks", "", "T", "Nursing Home", "T", "T"},
         {101, "RIVERSIDE_HOMES", "Riverside Homes", "4 Mill Lane", "Suite 2", "Salem", "OR", "973010000",
          "5035550170", "5035550171", "", "Ann Lee", "Bob Lee", "T", "Assisted Living", "F", "F"}});
    return table;
}

TSampleTable& Aliases()
{
    static TSampleTable table(
        TColumnList{{"COUNTER", cdtInteger},
                    {"ALIAS", cdtString, 20},
                    {"DESCRIPTION", cdtString, 80},
                    {"C_ENTERPRISE", cdtInteger},
                    {"DRIVER_NAME", cdtString, 30},
                    {"SERVER_NAME", cdtString, 60},
                    {"LOGIN_PARAMS", cdtString, 4000},
                    {"USER_NAME", cdtString, 30},
                    {"CURRENT_USE", cdtString, 1}},
        {{10, "MAPLE", "Maple Court Residence", 10, "ORACLE", "dbhost:1521/MAPLE",
          "POOL_SIZE=4\nSTATEMENT_CACHE=20", "MAPLE_APP", "T"},
         {11, "CEDAR", "Cedar House Nursing Home", 10, "ORACLE", "dbhost:1521/CEDAR", "", "CEDAR_APP", "T"},
         {12, "WILLOW", "Willow Lodge (training)", 10, "MYSQL", "training:3306", "", "WILLOW_APP", "F"}});
    return table;
}

TSampleTable& Facilities()
{
    static TSampleTable table(TColumnList{{"COUNTER", cdtInteger},
                                          {"FACILITY", cdtString, 20},
                                          {"DESCRIPTION", cdtString, 80},
                                          {"ADDRESS1", cdtString, 60},
                                          {"ADDRESS2", cdtString, 60},
                                          {"CITY", cdtString, 40},
                                          {"STATE", cdtString, 2},
                                          {"ZIP", cdtString, 10},
                                          {"PHONE1", cdtString, 20},
                                          {"PHONE2", cdtString, 20},
                                          {"CONTACT1", cdtString, 60},
                                          {"CONTACT2", cdtString, 60},
                                          {"FAX", cdtString, 20},
                                          {"CURRENT_USE", cdtString, 1},
                                          {"C_ENTERPRISE", cdtInteger}},
                              {{10, "MAPLE COURT", "Maple Court Residence", "1 Maple Road", "", "Portland",
                                "OR", "972010000", "5035550110", "", "Tom Ward", "", "5035550119", "T", 10},
                               {11, "CEDAR HOUSE", "Cedar House Nursing Home", "8 Cedar Way", "", "Salem",
                                "OR", "973010000", "5035550120", "", "Carol Reed", "", "", "T", 10},
                               {12, "WILLOW LODGE", "Willow Lodge", "3 Willow Walk", "", "Eugene", "OR",
                                "974010000", "5035550130", "", "", "", "", "T", 10}});
    return table;
}

QWidget* MakeEnterprises(QWidget* parent)
{
    auto* f = new TfrmEnterprises(SysContext(), parent);
    f->setWindowFlags(Qt::Widget);
    TDataSet& enterprises = Enterprises().Ds;
    Masks(enterprises, TMasterTable::Enterprise);
    Columns(enterprises, {{"ENTERPRISE", "ENTERPRISE"},
                          {"DESCRIPTION", "DESCRIPTION"},
                          {"CITY", "CITY"},
                          {"STATE", "STATE"},
                          {"ZIP", "ZIP"},
                          {"CONTACT1", "CONTACT1"},
                          {"CURRENT_USE", "CURRENT USE"},
                          {"ADVERTISE", "ADVERTISE"},
                          {"INDUSTRY", "INDUSTRY"}});
    Masks(Facilities().Ds, TMasterTable::Facility);
    Columns(Facilities().Ds, {{"FACILITY", "FACILITY"},
                              {"DESCRIPTION", "DESCRIPTION"},
                              {"ADDRESS1", "ADDRESS1"},
                              {"CITY", "CITY"},
                              {"STATE", "STATE"},
                              {"ZIP", "ZIP"},
                              {"PHONE1", "PHONE1"},
                              {"CONTACT1", "CONTACT1"},
                              {"FAX", "FAX"},
                              {"CURRENT_USE", "CURRENT USE"}});
    Columns(Aliases().Ds, {{"ALIAS", "ALIAS"},
                           {"DESCRIPTION", "DESCRIPTION"},
                           {"SERVER_NAME", "SERVER NAME"},
                           {"DRIVER_NAME", "DRIVER NAME"},
                           {"CURRENT_USE", "CURRENT USE"},
                           {"USER_NAME", "USER_NAME"}});
    f->grdEnterprise->SetDataSource(&Enterprises().Source);
    f->grdFacility->SetDataSource(&Facilities().Source);
    f->grdAlias->SetDataSource(&Aliases().Source);
    // Both detail lists shown for HARBOUR VIEW CARE.
    enterprises.First();
    enterprises.Next();
    f->grdEnterprise->selectRow(1);
    const TDetailButtons shown = DetailButtonsAfterShow(true);
    for (QPushButton* b : {f->btnFacilityShow, f->btnAliasShow})
        b->setEnabled(shown.Show);
    for (QPushButton* b : {f->btnFacilityFilter, f->btnAliasFilter})
        b->setEnabled(shown.Filter);
    for (QPushButton* b :
         {f->btnFacilityDetails, f->btnAliasDetails, f->btnFacilityRefresh, f->btnAliasRefresh})
        b->setEnabled(true);
    return f;
}

QWidget* MakeEnterpriseData(QWidget* parent)
{
    Masks(Enterprises().Ds, TMasterTable::Enterprise);
    auto* f = new TfrmDataEnterprise(SysContext(), parent);
    f->setWindowFlags(Qt::Widget);
    f->SetDataSource(&Enterprises().Source);
    Enterprises().Ds.First();
    Enterprises().Ds.Next();
    f->FormShow();
    return f;
}

QWidget* MakeAliasData(QWidget* parent)
{
    auto* f = new TfrmDataAlias(SysContext(), parent);
    f->setWindowFlags(Qt::Widget);
    f->SetDataSource(&Aliases().Source);
    Aliases().Ds.First();
    f->FormShow();
    return f;
}

QWidget* MakeFacilityData(QWidget* parent)
{
    Masks(Facilities().Ds, TMasterTable::Facility);
    auto* f = new TfrmDataFacility(SysContext(), parent);
    f->setWindowFlags(Qt::Widget);
    f->SetDataSource(&Facilities().Source);
    Facilities().Ds.First();
    f->FormShow();
    return f;
}

const TGalleryRegistration EnterprisesWindow{
    {"admin-enterprises", QSize(900, 520), MakeEnterprises, nullptr}};
const TGalleryRegistration EnterpriseData{
    {"admin-enterprise-data", QSize(640, 300), MakeEnterpriseData, nullptr}};
const TGalleryRegistration AliasData{{"admin-alias-data", QSize(460, 340), MakeAliasData, nullptr}};
const TGalleryRegistration FacilityData{{"admin-facility-data", QSize(640, 280), MakeFacilityData, nullptr}};

} // namespace
