// The enterprises window and its record dialogs against the local
// application server: rows added through the dialogs, the global enterprise
// kept, the detail lists following the enterprise, the industry list from
// the advertising service, refused deletes of referenced rows.

#include "AdminServerTesting.h"

#include "Components/Nembra/SQLQuerySchema.h"
#include "admin/EnterpriseRules.h"
#include "admin/frmDataAlias.h"
#include "admin/frmDataEnterprise.h"
#include "admin/frmDataFacility.h"
#include "admin/frmEnterprises.h"
#include "platform/DBCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/DataSource.h"
#include "support/DialogScript.h"
#include "support/GuiProbe.h"
#include "support/GridCells.h"

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A facility of the global enterprise with COUNTER 1, an enterprise nobody
// refers to and one without facilities.
const char* const kEnterpriseSql = R"(
INSERT INTO TBL_FACILITIES (COUNTER, FACILITY, DESCRIPTION, C_ENTERPRISE) VALUES (1, 'HEAD OFFICE', 'Head office', 1);
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, CURRENT_USE) VALUES (22, 'BARE', 'T'), (23, 'LONE', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, C_ENTERPRISE, CURRENT_USE, LOGIN_PARAMS) VALUES
  (23, 'LONEDB', 23, 'T', 'POOL=1');
)";

class EnterprisesFormTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_server = new TAppServerProcess({}, std::string(kAdminSql) + kEnterpriseSql);
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    std::string DB() const { return s_server->DatabaseFile(); }
    long long Count(const std::string& Sql) const { return ServerNumber(DB(), "SELECT COUNT(*) " + Sql); }
    long long IndustryRequests() const
    {
        return Count("FROM SRV_AD_REQUESTS WHERE TARGET = '/services/get_industries.php'");
    }
    // Writes to the server's database behind its back (the industries).
    void ServerExec(const std::string& Sql) const
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(DB().c_str(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 5000);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, Sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }
    TAdminContext Context(TAdminSession& Session) const
    {
        TAdminContext context = Session.Context(SysAdmin());
        context.AdService = "http://127.0.0.1:" + std::to_string(s_server->Port()) + "/";
        return context;
    }
    static TAppServerProcess* s_server;
};
TAppServerProcess* EnterprisesFormTest::s_server = nullptr;

bool Locate(TDataSet& Data, const std::string& Field, const Variant& Value)
{
    return Data.Locate(Field, Value, {});
}

std::vector<std::string> VisibleColumns(TDataSet& Data)
{
    std::vector<std::string> columns;
    for (int i = 0; i < Data.Fields().Count(); ++i)
        if (TField* field = Data.Fields().Fields(i); field->Visible())
            columns.push_back(field->FieldName() + "=" + field->DisplayLabel());
    return columns;
}

std::string ErrorOf(const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "<no error>";
}

struct TDetailState
{
    bool Active, Show, Filter, Details, Refresh;
    bool operator==(const TDetailState&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TDetailState& S)
{
    return Out << "active " << S.Active << " show " << S.Show << " filter " << S.Filter << " details "
               << S.Details << " refresh " << S.Refresh;
}

TDetailState Aliases(TfrmEnterprises& F)
{
    return {F.tblAlias->Active(), F.btnAliasShow->isEnabled(), F.btnAliasFilter->isEnabled(),
            F.btnAliasDetails->isEnabled(), F.btnAliasRefresh->isEnabled()};
}

TDetailState Facilities(TfrmEnterprises& F)
{
    return {F.tblFacility->Active(), F.btnFacilityShow->isEnabled(), F.btnFacilityFilter->isEnabled(),
            F.btnFacilityDetails->isEnabled(), F.btnFacilityRefresh->isEnabled()};
}

std::string g_filterField = "<none>";

} // namespace

TEST_F(EnterprisesFormTest, ListsTheirColumnsMasksAndDetailsFollowTheEnterprise)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFL");
    TfrmEnterprises f(Context(session));
    const TDetailState closedEmpty{false, false, false, false, false};
    EXPECT_EQ(Aliases(f), closedEmpty);
    f.FormShow();
    ASSERT_TRUE(f.tblEnterprise->Active());
    // By name; the key addresses the rows.
    EXPECT_EQ(f.tblEnterprise->FieldByName("ENTERPRISE")->AsString(), "BARE");
    EXPECT_EQ(f.tblEnterprise->KeyFieldName(), "COUNTER");
    EXPECT_EQ(
        VisibleColumns(*f.tblEnterprise),
        (std::vector<std::string>{"ENTERPRISE=ENTERPRISE", "DESCRIPTION=DESCRIPTION", "CITY=CITY",
                                  "STATE=STATE", "ZIP=ZIP", "CONTACT1=CONTACT1", "CURRENT_USE=CURRENT USE",
                                  "ADVERTISE=ADVERTISE", "INDUSTRY=INDUSTRY"}));
    EXPECT_EQ(f.tblEnterprise->FieldByName("ZIP")->EditMask(), "99999-9999;; ");
    for (const char* phone : {"PHONE1", "PHONE2", "FAX"})
        EXPECT_EQ(f.tblEnterprise->FieldByName(phone)->EditMask(), "(999) 999-9999x99999;; ") << phone;

    // Nothing is shown until "Show"; both "Show" buttons wait.
    const TDetailState waiting{false, true, false, false, false};
    EXPECT_EQ(Aliases(f), waiting);
    EXPECT_EQ(Facilities(f), waiting);

    ASSERT_TRUE(Locate(*f.tblEnterprise, "ENTERPRISE", "OAK CARE"));
    f.ShowDetail(TMasterTable::Alias);
    EXPECT_EQ(Aliases(f), (TDetailState{true, false, true, true, true}));
    EXPECT_EQ(Facilities(f), waiting);
    EXPECT_EQ(f.tblAlias->SQLSchema().Where().Text(), "C_ENTERPRISE = 20\r\n");
    EXPECT_EQ(f.tblAlias->RecordCount(), 2);
    EXPECT_EQ(VisibleColumns(*f.tblAlias),
              (std::vector<std::string>{"ALIAS=ALIAS", "DESCRIPTION=DESCRIPTION", "SERVER_NAME=SERVER NAME",
                                        "DRIVER_NAME=DRIVER NAME", "CURRENT_USE=CURRENT USE",
                                        "USER_NAME=USER_NAME"}));
    EXPECT_EQ(f.tblAlias->FieldByName("LOGIN_PARAMS")->DataType(), ftMemo);
    for (int i = 0; i < f.tblAlias->Fields().Count(); ++i)
        EXPECT_EQ(f.tblAlias->Fields().Fields(i)->EditMask(), "")
            << f.tblAlias->Fields().Fields(i)->FieldName();
    f.ShowDetail(TMasterTable::Facility);
    EXPECT_EQ(Facilities(f), (TDetailState{true, false, true, true, true}));
    EXPECT_EQ(f.tblFacility->RecordCount(), 2);
    EXPECT_EQ(VisibleColumns(*f.tblFacility),
              (std::vector<std::string>{"FACILITY=FACILITY", "DESCRIPTION=DESCRIPTION", "ADDRESS1=ADDRESS1",
                                        "CITY=CITY", "STATE=STATE", "ZIP=ZIP", "PHONE1=PHONE1",
                                        "CONTACT1=CONTACT1", "FAX=FAX", "CURRENT_USE=CURRENT USE"}));
    EXPECT_EQ(f.tblFacility->FieldByName("PHONE2")->EditMask(), "(999) 999-9999x99999;; ");

    // A field's change is no move: the lists stay.
    f.tblEnterprise->Edit();
    f.ShowDetail(TMasterTable::Alias);
    f.ShowDetail(TMasterTable::Facility);
    f.tblEnterprise->FieldByName("DESCRIPTION")->SetAsString("Oak homes");
    EXPECT_TRUE(f.tblAlias->Active());
    EXPECT_TRUE(f.tblFacility->Active());
    f.tblEnterprise->Cancel();

    // Another enterprise closes both until "Show" again.
    ASSERT_TRUE(Locate(*f.tblEnterprise, "ENTERPRISE", "ELM CARE"));
    EXPECT_EQ(Aliases(f), waiting);
    EXPECT_EQ(Facilities(f), waiting);
    f.ShowDetail(TMasterTable::Facility);
    EXPECT_EQ(f.tblFacility->FieldByName("FACILITY")->AsString(), "ELM ONE");
    // An enterprise without aliases: no filter over nothing.
    f.ShowDetail(TMasterTable::Alias);
    EXPECT_EQ(Aliases(f), (TDetailState{true, false, false, true, true}));
    f.tblEnterprise->Next();
    EXPECT_FALSE(f.tblAlias->Active());
    EXPECT_FALSE(f.tblFacility->Active());

    // "Refresh" opens a closed list only.
    f.RefreshClick(TMasterTable::Facility);
    EXPECT_TRUE(f.tblFacility->Active());
    f.tblEnterprise->Close();
    f.RefreshClick(TMasterTable::Enterprise);
    EXPECT_TRUE(f.tblEnterprise->Active());

    // "Filter..." starts the advanced filter with the list's name field.
    const TExecuteQueryBuilderEvent previous = OnExecuteQueryBuilder;
    OnExecuteQueryBuilder = [](TSQLQuerySchema*, const std::string& Field) { g_filterField = Field; };
    f.FilterClick(TMasterTable::Enterprise);
    EXPECT_EQ(g_filterField, "ENTERPRISE");
    f.FilterClick(TMasterTable::Alias);
    EXPECT_EQ(g_filterField, "ALIAS");
    f.FilterClick(TMasterTable::Facility);
    EXPECT_EQ(g_filterField, "FACILITY");
    OnExecuteQueryBuilder = previous;
}

TEST_F(EnterprisesFormTest, TheListsShowNamesWholeAtTheWidthsTheServerDeclares)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFW");
    TfrmEnterprises f(Context(session));
    f.resize(1200, 700);
    f.FormShow();
    ASSERT_TRUE(Locate(*f.tblEnterprise, "ENTERPRISE", "OAK CARE"));
    f.ShowDetail(TMasterTable::Alias);
    f.ShowDetail(TMasterTable::Facility);
    ASSERT_TRUE(f.tblAlias->Active());
    ASSERT_TRUE(f.tblFacility->Active());
    // The server's VARCHAR2 sizes: a name column holds that many digits.
    const struct
    {
        const TDBGrid* Grid;
        const char* Field;
        int Digits;
    } widths[] = {{f.grdEnterprise, "ENTERPRISE", 30}, {f.grdEnterprise, "ZIP", 10},  
                  {f.grdFacility, "FACILITY", 20},     {f.grdFacility, "DESCRIPTION", 80},
                  {f.grdAlias, "ALIAS", 20},           {f.grdAlias, "SERVER_NAME", 60}};
    for (const auto& c : widths) {
        SCOPED_TRACE(c.Field);
        const int column = GridColumnOf(*c.Grid, c.Field);
        ASSERT_GE(column, 0);
        EXPECT_TRUE(ColumnHoldsDigits(*c.Grid, column, c.Digits)) << c.Grid->columnWidth(column);
        EXPECT_FALSE(ColumnHoldsDigits(*c.Grid, column, c.Digits + 1)) << c.Grid->columnWidth(column);
    }
    // No value and no title is cut, "CURRENT USE" above its one letter
    // included.
    for (const TDBGrid* grid : {f.grdEnterprise, f.grdFacility, f.grdAlias})
        EXPECT_EQ(CutTexts(*grid), std::vector<std::string>{}) << grid->objectName().toStdString();
}

TEST_F(EnterprisesFormTest, EnterpriseAliasAndFacilityAddedThroughTheDialogs)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFA");
    TfrmEnterprises f(Context(session));
    f.FormShow();
    TDataSet& enterprises = *f.tblEnterprise;
    TDialogScript boxes;

    TfrmDataEnterprise e(f.Context(), &f);
    e.SetDataSource(f.dsEnterprise.get());
    e.FormShow();
    EXPECT_EQ(e.windowTitle().toStdString(), "Enterprise Data");
    EXPECT_TRUE(e.btnAdd->isEnabled());
    EXPECT_FALSE(e.btnOK->isEnabled());
    EXPECT_FALSE(e.edtEnterprise->isEnabled());
    EXPECT_EQ(e.edtEnterprise->DataSource(), f.dsEnterprise.get());
    e.AddClick();
    EXPECT_EQ(enterprises.State(), dsInsert);
    EXPECT_EQ(e.btnClose->text(), "&Cancel");
    EXPECT_TRUE(e.edtEnterprise->isEnabled());
    EXPECT_TRUE(e.chkCU->isEnabled());
    EXPECT_EQ(enterprises.FieldByName("CURRENT_USE")->AsString(), "T");
    EXPECT_EQ(enterprises.FieldByName("ADVERTISE")->AsString(), "F");
    EXPECT_EQ(enterprises.FieldByName("REQUIRE_SECURE_PASSWORD")->AsString(), "F");
    EXPECT_EQ(e.cboIndustry->ItemCount(), 5);

    // A blank inside is refused with the error box, and the row stays.
    enterprises.FieldByName("ENTERPRISE")->SetAsString(" RIVER SIDE ");
    boxes->QueueAnswer(mrOk);
    e.OKClick();
    ASSERT_EQ(boxes->Texts().size(), 1u);
    EXPECT_EQ(boxes->Texts()[0],
              "Illigal charecter in Enterprise: \" \"\r\nValid charecters are \"A\" through "
              "\"Z\", \"0\" trough \"9\" and \"_\"");
    EXPECT_EQ(boxes->Calls()[0].Type, mtError);
    EXPECT_EQ(enterprises.State(), dsInsert);
    EXPECT_EQ(Count("FROM TBL_ENTERPRISES WHERE ENTERPRISE LIKE '%RIVER%'"), 0);

    // So is a name of blanks only.
    enterprises.FieldByName("ENTERPRISE")->SetAsString("   ");
    boxes->QueueAnswer(mrOk);
    e.OKClick();
    ASSERT_EQ(boxes->Texts().size(), 2u);
    EXPECT_EQ(boxes->Texts()[1], "Enterprise can not be blank");
    EXPECT_EQ(enterprises.State(), dsInsert);
    EXPECT_EQ(Count("FROM TBL_ENTERPRISES WHERE TRIM(ENTERPRISE) = ''"), 0);

    enterprises.FieldByName("ENTERPRISE")->SetAsString("RIVERSIDE_HOMES");
    enterprises.FieldByName("CITY")->SetAsString("Salem");
    // The industry drop-down takes a text of its own.
    EXPECT_TRUE(e.cboIndustry->isEditable());
    e.cboIndustry->setEditText("Dental Practice");
    e.OKClick();
    EXPECT_EQ(boxes->Texts().size(), 2u);
    EXPECT_EQ(enterprises.State(), dsBrowse);
    EXPECT_EQ(e.btnClose->text(), "&Close");
    const long long enterprise = ServerNumber(DB(), "SELECT COUNTER FROM TBL_ENTERPRISES WHERE ENTERPRISE = "
                                                    "'RIVERSIDE_HOMES'");
    EXPECT_GT(enterprise, 100); // from SEQ_ENTERPRISES
    EXPECT_EQ(ServerText(DB(), "SELECT INDUSTRY || CURRENT_USE || ADVERTISE || REQUIRE_SECURE_PASSWORD FROM "
                               "TBL_ENTERPRISES WHERE COUNTER = " +
                                   std::to_string(enterprise)),
              "Dental PracticeTFF");

    // Its alias: of the enterprise current when added, driver "ORACLE".
    ASSERT_TRUE(Locate(enterprises, "COUNTER", static_cast<int>(enterprise)));
    f.ShowDetail(TMasterTable::Alias);
    EXPECT_TRUE(f.tblAlias->IsEmpty());
    TfrmDataAlias a(f.Context(), &f);
    a.SetDataSource(f.dsAlias.get());
    a.FormShow();
    EXPECT_EQ(a.windowTitle().toStdString(), "Alias Data");
    a.AddClick();
    TDataSet& aliases = *f.tblAlias;
    EXPECT_EQ(aliases.FieldByName("DRIVER_NAME")->AsString(), "ORACLE");
    EXPECT_EQ(aliases.FieldByName("C_ENTERPRISE")->AsInteger(), enterprise);
    EXPECT_EQ(aliases.FieldByName("CURRENT_USE")->AsString(), "T");
    EXPECT_EQ(a.cboDriver->Text(), "ORACLE");
    aliases.FieldByName("ALIAS")->SetAsString("RIVERDB");
    aliases.FieldByName("SERVER_NAME")->SetAsString("river-db:1521/RIVER");
    a.memParams->SetText("POOL_SIZE=2\nSTATEMENT_CACHE=5");
    a.OKClick();
    EXPECT_EQ(aliases.State(), dsBrowse);
    EXPECT_GT(ServerNumber(DB(), "SELECT COUNTER FROM TBL_DBALIASES WHERE ALIAS = 'RIVERDB'"), 100);
    EXPECT_EQ(ServerText(
                  DB(), "SELECT C_ENTERPRISE || '/' || DRIVER_NAME || '/' || LOGIN_PARAMS FROM TBL_DBALIASES "
                        "WHERE ALIAS = 'RIVERDB'"),
              std::to_string(enterprise) + "/ORACLE/POOL_SIZE=2\nSTATEMENT_CACHE=5");

    // Its facility, likewise of that enterprise.
    f.ShowDetail(TMasterTable::Facility);
    TfrmDataFacility fa(f.Context(), &f);
    fa.SetDataSource(f.dsFacility.get());
    fa.FormShow();
    EXPECT_EQ(fa.windowTitle().toStdString(), "Facility Data");
    EXPECT_EQ(fa.btnOK->text(), "&Ok");
    fa.AddClick();
    TDataSet& facilities = *f.tblFacility;
    EXPECT_EQ(facilities.FieldByName("C_ENTERPRISE")->AsInteger(), enterprise);
    EXPECT_EQ(facilities.FieldByName("CURRENT_USE")->AsString(), "T");
    facilities.FieldByName("FACILITY")->SetAsString("RIVER HOUSE");
    facilities.FieldByName("ZIP")->SetAsString("973010000");
    fa.OKClick();
    EXPECT_EQ(facilities.State(), dsBrowse);
    EXPECT_EQ(ServerNumber(DB(), "SELECT C_ENTERPRISE FROM TBL_FACILITIES WHERE FACILITY = 'RIVER HOUSE'"),
              enterprise);
    EXPECT_GT(ServerNumber(DB(), "SELECT COUNTER FROM TBL_FACILITIES WHERE FACILITY = 'RIVER HOUSE'"), 100);

    // A new list fetches the parameters only for the row that shows them.
    f.tblAlias->Close();
    f.ShowDetail(TMasterTable::Alias);
    ASSERT_TRUE(Locate(*f.tblAlias, "ALIAS", "RIVERDB"));
    EXPECT_EQ(f.tblAlias->FieldByName("LOGIN_PARAMS")->AsString(), "POOL_SIZE=2\nSTATEMENT_CACHE=5");
    EXPECT_FALSE(f.tblAlias->FieldByName("LOGIN_PARAMS")->Visible());
}

TEST_F(EnterprisesFormTest, TheGlobalEnterpriseAndTheFirstFacilityAreKept)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFG");
    TfrmEnterprises f(Context(session));
    f.FormShow();
    TDataSet& enterprises = *f.tblEnterprise;
    TDialogScript boxes;
    TfrmDataEnterprise e(f.Context(), &f);
    e.SetDataSource(f.dsEnterprise.get());
    e.FormShow();
    ASSERT_TRUE(Locate(enterprises, "COUNTER", 1));

    EXPECT_EQ(ErrorOf([&] { e.DeleteClick(); }), "Global default enterprise can not be deleted");
    EXPECT_TRUE(boxes->Texts().empty()); // refused before any question
    EXPECT_EQ(Count("FROM TBL_ENTERPRISES WHERE COUNTER = 1"), 1);

    // Edited with "Current Use" locked on; its old name stays savable.
    e.EditClick();
    EXPECT_TRUE(e.edtDescription->isEnabled());
    EXPECT_TRUE(e.chkAdvertise->isEnabled());
    EXPECT_FALSE(e.chkCU->isEnabled());
    enterprises.FieldByName("DESCRIPTION")->SetAsString("Every system manager's enterprise");
    e.OKClick();
    EXPECT_TRUE(boxes->Texts().empty());
    EXPECT_EQ(enterprises.State(), dsBrowse);
    EXPECT_EQ(ServerText(DB(), "SELECT DESCRIPTION FROM TBL_ENTERPRISES WHERE COUNTER = 1"),
              "Every system manager's enterprise");
    // Another enterprise's "Current Use" is free.
    ASSERT_TRUE(Locate(enterprises, "ENTERPRISE", "ELM CARE"));
    e.EditClick();
    EXPECT_TRUE(e.chkCU->isEnabled());
    e.CloseClick();
    EXPECT_EQ(enterprises.State(), dsBrowse);
    EXPECT_TRUE(e.btnEdit->isEnabled());

    // The facility with COUNTER 1 likewise keeps "Current Use".
    ASSERT_TRUE(Locate(enterprises, "COUNTER", 1));
    f.ShowDetail(TMasterTable::Facility);
    ASSERT_TRUE(Locate(*f.tblFacility, "COUNTER", 1));
    TfrmDataFacility fa(f.Context(), &f);
    fa.SetDataSource(f.dsFacility.get());
    fa.FormShow();
    fa.EditClick();
    EXPECT_TRUE(fa.edtFacility->isEnabled());
    EXPECT_FALSE(fa.chkCU->isEnabled());
    fa.CloseClick();
    EXPECT_EQ(f.tblFacility->State(), dsBrowse);
}

TEST_F(EnterprisesFormTest, DeletesAskFirstAndReferencedRowsStay)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFD");
    TfrmEnterprises f(Context(session));
    f.FormShow();
    TDataSet& enterprises = *f.tblEnterprise;
    TDialogScript boxes;
    TfrmDataEnterprise e(f.Context(), &f);
    e.SetDataSource(f.dsEnterprise.get());
    e.FormShow();

    // OAK CARE has users, aliases and facilities: the server refuses.
    ASSERT_TRUE(Locate(enterprises, "ENTERPRISE", "OAK CARE"));
    boxes->QueueAnswer(mrOk);
    EXPECT_NE(ErrorOf([&] { e.DeleteClick(); }).find("ORA-02292"), std::string::npos);
    EXPECT_EQ(boxes->Texts().back(), "Selected enterprise is about to be deleted. Continue?");
    EXPECT_EQ(boxes->Calls().back().Type, mtWarning);
    EXPECT_EQ(Count("FROM TBL_ENTERPRISES WHERE COUNTER = 20"), 1);
    EXPECT_TRUE(Locate(enterprises, "COUNTER", 20));

    // Its alias OAK has roles, its facility OAK NORTH users.
    f.ShowDetail(TMasterTable::Alias);
    f.ShowDetail(TMasterTable::Facility);
    TfrmDataAlias a(f.Context(), &f);
    a.SetDataSource(f.dsAlias.get());
    a.FormShow();
    ASSERT_TRUE(Locate(*f.tblAlias, "ALIAS", "OAK"));
    boxes->QueueAnswer(mrOk);
    EXPECT_NE(ErrorOf([&] { a.DeleteClick(); }).find("ORA-02292"), std::string::npos);
    EXPECT_EQ(boxes->Texts().back(), "Selected alias is about to be deleted. Continue?");
    EXPECT_EQ(Count("FROM TBL_DBALIASES WHERE COUNTER = 20"), 1);
    TfrmDataFacility fa(f.Context(), &f);
    fa.SetDataSource(f.dsFacility.get());
    fa.FormShow();
    ASSERT_TRUE(Locate(*f.tblFacility, "FACILITY", "OAK NORTH"));
    boxes->QueueAnswer(mrOk);
    EXPECT_NE(ErrorOf([&] { fa.DeleteClick(); }).find("ORA-02292"), std::string::npos);
    EXPECT_EQ(boxes->Texts().back(), "Selected facility is about to be deleted. Continue?");
    EXPECT_EQ(Count("FROM TBL_FACILITIES WHERE COUNTER = 20"), 1);

    // BARE has no facilities: nothing to delete, nothing asked.
    ASSERT_TRUE(Locate(enterprises, "ENTERPRISE", "BARE"));
    f.ShowDetail(TMasterTable::Facility);
    const size_t asked = boxes->Texts().size();
    EXPECT_EQ(ErrorOf([&] { fa.DeleteClick(); }), "Nothing to Delete");
    EXPECT_EQ(boxes->Texts().size(), asked);

    // Cancel keeps it; OK deletes it.
    boxes->QueueAnswer(mrCancel);
    e.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_ENTERPRISES WHERE COUNTER = 22"), 1);
    boxes->QueueAnswer(mrOk);
    e.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_ENTERPRISES WHERE COUNTER = 22"), 0);

    // LONE goes once its alias has gone.
    ASSERT_TRUE(Locate(enterprises, "ENTERPRISE", "LONE"));
    boxes->QueueAnswer(mrOk);
    EXPECT_NE(ErrorOf([&] { e.DeleteClick(); }).find("ORA-02292"), std::string::npos);
    f.ShowDetail(TMasterTable::Alias);
    boxes->QueueAnswer(mrOk);
    a.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_DBALIASES WHERE COUNTER = 23"), 0);
    boxes->QueueAnswer(mrOk);
    e.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_ENTERPRISES WHERE COUNTER = 23"), 0);
}

// Emptying an edit through its keys: an optional text is stored as NULL, and
// the name's check reads the emptied name as blank.
TEST_F(EnterprisesFormTest, AnEmptiedEditIsNullOnTheServerAndBlankToTheNameCheck)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFE");
    TfrmEnterprises f(Context(session));
    f.FormShow();
    ASSERT_TRUE(Locate(*f.tblEnterprise, "ENTERPRISE", "ELM CARE"));
    TfrmDataEnterprise e(f.Context(), &f);
    e.SetDataSource(f.dsEnterprise.get());
    e.FormShow();
    e.show();
    e.activateWindow();
    QApplication::processEvents();
    TDialogScript boxes;
    // Edit, keys into one edit, then a click on "&OK" (which takes the focus
    // first, as a real click does, so that the edit writes its text).
    const auto save = [&](TDBEdit& Edit, const std::function<void(QWidget&)>& Keys) {
        e.EditClick();
        Edit.SetFocus();
        QApplication::processEvents();
        Keys(Edit);
        Input::FocusingClick(*e.btnOK, 5, 5);
        QApplication::processEvents();
    };
    const auto emptied = [](QWidget& w) {
        Keys::SelectAll(w);
        Keys::Press(w, Qt::Key_Delete);
    };
    const std::string description = "SELECT DESCRIPTION FROM TBL_ENTERPRISES WHERE COUNTER = 21";

    save(*e.edtDescription, [](QWidget& w) { Keys::Type(w, "Elm homes"); });
    EXPECT_TRUE(boxes->Texts().empty());
    EXPECT_EQ(ServerText(DB(), description), "Elm homes");
    save(*e.edtDescription, emptied);
    EXPECT_TRUE(boxes->Texts().empty());
    EXPECT_EQ(f.tblEnterprise->State(), dsBrowse);
    EXPECT_EQ(ServerText(DB(), description), "<null>");

    boxes->QueueAnswer(mrOk);
    save(*e.edtEnterprise, emptied);
    ASSERT_EQ(boxes->Texts().size(), 1u);
    EXPECT_EQ(boxes->Texts()[0], "Enterprise can not be blank");
    EXPECT_EQ(f.tblEnterprise->State(), dsEdit);
    e.CloseClick();
    EXPECT_EQ(ServerText(DB(), "SELECT ENTERPRISE FROM TBL_ENTERPRISES WHERE COUNTER = 21"), "ELM CARE");
}

TEST_F(EnterprisesFormTest, TheIndustryListIsAskedOncePerShowingAndAgainWhenEmpty)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFI");
    TfrmEnterprises f(Context(session));
    f.FormShow();
    ASSERT_TRUE(Locate(*f.tblEnterprise, "ENTERPRISE", "ELM CARE"));
    const long long before = IndustryRequests();
    {
        TfrmDataEnterprise e(f.Context(), &f);
        e.SetDataSource(f.dsEnterprise.get());
        e.FormShow();
        EXPECT_EQ(e.cboIndustry->ItemCount(), 0);
        e.AddClick();
        EXPECT_EQ(IndustryRequests(), before + 1);
        EXPECT_EQ(e.cboIndustry->ItemCount(), 5);
        EXPECT_EQ(e.cboIndustry->itemText(0).toStdString(), "Assisted Living");
        e.CloseClick();
        e.EditClick();
        e.CloseClick();
        e.AddClick();
        e.CloseClick();
        EXPECT_EQ(IndustryRequests(), before + 1);
        EXPECT_EQ(e.cboIndustry->ItemCount(), 5);
    }
    // The service answers nothing: each "&Add" and "&Edit" asks again.
    ServerExec("DELETE FROM SRV_AD_INDUSTRIES");
    TfrmDataEnterprise e(f.Context(), &f);
    e.SetDataSource(f.dsEnterprise.get());
    e.FormShow();
    e.EditClick();
    EXPECT_EQ(IndustryRequests(), before + 2);
    EXPECT_EQ(e.cboIndustry->ItemCount(), 0);
    // The field still takes a typed industry.
    e.cboIndustry->setEditText("Hospice");
    EXPECT_EQ(f.tblEnterprise->FieldByName("INDUSTRY")->AsString(), "Hospice");
    e.CloseClick();
    e.AddClick();
    e.CloseClick();
    EXPECT_EQ(IndustryRequests(), before + 3);
    ServerExec("INSERT INTO SRV_AD_INDUSTRIES (NAME) VALUES ('Home Care'), ('Hospice')");
    e.EditClick();
    e.CloseClick();
    e.EditClick();
    e.CloseClick();
    EXPECT_EQ(IndustryRequests(), before + 4);
    EXPECT_EQ(e.cboIndustry->ItemCount(), 2);
    EXPECT_EQ(f.tblEnterprise->FieldByName("INDUSTRY")->AsString(), "");
    ServerExec("INSERT OR IGNORE INTO SRV_AD_INDUSTRIES (NAME) VALUES ('Assisted Living'), ('Nursing Home'), "
               "('Rehabilitation')");
}

TEST_F(EnterprisesFormTest, DetailsShowsTheDialogOnTheListAndDropsALeftRow)
{
    TAdminSession session(*s_server, "ADMIN", "", "EFS");
    TfrmEnterprises f(Context(session));
    f.FormShow();
    ASSERT_TRUE(Locate(*f.tblEnterprise, "ENTERPRISE", "OAK CARE"));
    f.ShowDetail(TMasterTable::Alias);
    const int rows = f.tblAlias->RecordCount();
    bool bound = false;
    // The dialog is left with a new row in insert state.
    WhenModal<TfrmDataAlias>([&](TfrmDataAlias& a) {
        bound = a.edtAlias->DataSource() == f.dsAlias.get() && a.btnAdd->isEnabled();
        a.AddClick();
        a.SetModalResult(mrCancel);
    });
    f.DetailsClick(TMasterTable::Alias);
    EXPECT_TRUE(bound);
    EXPECT_EQ(f.tblAlias->State(), dsBrowse);
    EXPECT_EQ(f.tblAlias->RecordCount(), rows);
    EXPECT_EQ(Count("FROM TBL_DBALIASES WHERE C_ENTERPRISE = 20"), rows);

    bool enterpriseShown = false;
    WhenModal<TfrmDataEnterprise>([&](TfrmDataEnterprise& e) {
        enterpriseShown = e.edtEnterprise->DataSource() == f.dsEnterprise.get();
        e.EditClick();
        e.SetModalResult(mrCancel);
    });
    f.DetailsClick(TMasterTable::Enterprise);
    EXPECT_TRUE(enterpriseShown);
    EXPECT_EQ(f.tblEnterprise->State(), dsBrowse);
}
