// The data-form manager on the residents data form, against the local
// application server: the buttons by rights, browsing, editing, entering
// with Cycle, copying with marked controls, deleting, printing, the plus
// and quick-view modes, the command stack on the way in and out, and a
// master it refuses.
#include "Components/Controller/forms/ovnManager.h"
#include "Components/Controller/forms/ovnStack.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "base/KldLogFile.h"
#include "platform/FileUtils.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"
#include "tools/applets/ResidentsForm.h"
#include "tools/applets/VisitsForm.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>

namespace {

const char* const kManagerSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (50, 'SUNNY HOMES', 'Sunny Homes', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'OAK', 'Oak Lodge', 50, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) VALUES (50, 'CARER', 50, 50, 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, FACILITY_ACCESS_FLAG) VALUES
  (50, 'JSMITH', 'secret', 'Jane Smith', 'USR', 50, 'A');
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (50, 50);
INSERT INTO TBL_MODULES (COUNTER, MODULE) VALUES (41, 'Care');
INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE) VALUES
  (1, 41, 0, 1, 'Residents', 7031), (2, 41, 0, 2, 'Visits', 7033);
)";

// Records what the form's applet was asked to start.
class TRecordingApplet : public TovnApplet
{
  public:
    bool RunApplet(const std::string& Resource, int Mode, const std::string& Params) override
    {
        Runs.push_back(Resource + "|" + std::to_string(Mode) + "|" + Params);
        return true;
    }
    std::vector<std::string> Runs;
};

constexpr int kSecurityIndex = 3;

class ManagerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 1;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        UseOnlyLocalServer(m_controller->Connections(), m_server.Port(), "Local");
        m_applet.Resource = "RESIDENTS_DATA";
        m_applet.Caption = "Residents";
        m_applet.SecurityIndex = kSecurityIndex;
    }
    void TearDown() override
    {
        m_form.reset();
        aStack->ClearStack(nullptr);
        aStack->GetSender();
        if (m_window->Logged())
            m_window->SetLogged(false);
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
        std::filesystem::current_path(m_startFolder);
    }

    void SignIn()
    {
        m_window->ExecuteLoginDialog = [](const TLoginCallback& callback) {
            return callback(nullptr, "jsmith", "secret", "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());
        m_window->OpenDataDatabase("OAK", 50);
        ASSERT_TRUE(m_controller->GetDBConnected());
    }
    void Rights(TSecurityFlag Level)
    {
        TMemoryStream& bytes = m_controller->User().Security();
        bytes.Clear();
        std::vector<uint8_t> data(8, 0);
        data[kSecurityIndex] = static_cast<uint8_t>(Level << 6);
        bytes.Write(data.data(), static_cast<int>(data.size()));
    }
    // The residents form started in Mode (data database "OAK").
    Samples::TResidentsForm& Start(int Mode, TSecurityFlag Level = sfFull)
    {
        Rights(Level);
        m_applet.Mode = Mode;
        m_form = std::make_unique<Samples::TResidentsForm>();
        m_form->Start(&m_applet);
        return *m_form;
    }
    std::string ServerSql(const std::string& Sql)
    {
        sqlite3* db = nullptr;
        std::string text;
        std::string file = m_server.DatabaseFile();
        file.replace(file.rfind(".db"), 3, "-oak.db");
        if (sqlite3_open(file.c_str(), &db) == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr);
            while (statement && sqlite3_step(statement) == SQLITE_ROW) {
                if (!text.empty())
                    text += ";";
                for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                    if (i)
                        text += ",";
                    const unsigned char* value = sqlite3_column_text(statement, i);
                    text += value ? reinterpret_cast<const char*>(value) : "<null>";
                }
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return text;
    }
    std::string Visible(Samples::TResidentsForm& Form)
    {
        std::string shown;
        for (TButton* b : {Form.ButtonEdit, Form.ButtonNew, Form.ButtonClone, Form.ButtonDelete, Form.ButtonPrint,
                           Form.ButtonAccept, Form.ButtonCancel})
            if (!b->isHidden())
                shown += (shown.empty() ? "" : " ") + b->Caption();
        return shown;
    }
    bool Locate(TDataSet* Data, int Counter)
    {
        for (Data->First(); !Data->Eof(); Data->Next())
            if (Data->FieldByName("COUNTER")->AsInteger() == Counter)
                return true;
        return false;
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TTempFolder m_dir;
    TDialogScript m_dialogs;
    TAppServerProcess m_server{{}, kManagerSql};
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
    TRecordingApplet m_applet;
    std::unique_ptr<Samples::TResidentsForm> m_form;
};

} // namespace

TEST(ManagerCreate, OnlyAFormMayOwnIt)
{
    TComponent loose;
    EXPECT_EQ(ErrorOf<EovnManagerError>([&] { TovnManager manager(&loose); }),
              "Trying to create TovnManager instance without form");
    EXPECT_EQ(ErrorOf<EovnManagerError>([&] { TovnManager manager(nullptr); }),
              "Trying to create TovnManager instance without form");
    QWidget form;
    TovnManager manager(&FormComponents(&form));
    EXPECT_EQ(manager.Form(), &form);
    EXPECT_EQ(manager.RecordUser, "RECORD_USER");
    EXPECT_EQ(manager.RecordDateTime, "RECORD_DATE_TIME");
    EXPECT_TRUE(manager.RecordStamp);
    EXPECT_FALSE(manager.IgnoreAutoCounter);
    manager.SetDetailTable("tbl_x");
    EXPECT_EQ(manager.DetailTable(), "TBL_X");
    EXPECT_FALSE(manager.IsDB());
    // Control references read as none once the control is gone.
    auto* grid = new TDBGrid(&form);
    manager.SetDatabaseGrid(grid);
    auto* box = new TComboBox(&form);
    manager.SimpleFilter().SetFieldBox(box);
    delete grid;
    delete box;
    EXPECT_EQ(manager.DatabaseGrid(), nullptr);
    EXPECT_EQ(manager.SimpleFilter().FieldBox(), nullptr);
    auto* source = new TovnDataSource(&FormComponents(&form));
    manager.SetMasterDataSource(source);
    EXPECT_EQ(manager.MasterDataSource(), source);
    delete source;
    EXPECT_EQ(manager.MasterDataSource(), nullptr);
    manager.InitializeDB(); // no data sources: nothing happens
    EXPECT_FALSE(manager.IsDB());
}

TEST_F(ManagerTest, ButtonsFollowTheRights)
{
    struct Case
    {
        TSecurityFlag Level;
        const char* Shown;
    } cases[] = {
        {sfNo, "&Print &Close"},
        {sfView, "&Print &Close"},
        {sfModify, "&Edit &New C&lone &Print &Close"},
        {sfFull, "&Edit &New C&lone &Delete &Print &Close"},
    };
    for (const Case& c : cases) {
        Rights(c.Level);
        m_applet.Mode = 0;
        Samples::TResidentsForm form;
        form.Manager->Initialize(&m_applet);
        EXPECT_EQ(Visible(form), c.Shown) << c.Level;
        EXPECT_EQ(form.windowTitle().toStdString(), "Residents");
        EXPECT_FALSE(form.NameEdit->Enabled());
    }
}

TEST_F(ManagerTest, BrowseEditAcceptAndCancel)
{
    SignIn();
    Samples::TResidentsForm& form = Start(0);
    ASSERT_TRUE(form.Manager->IsDB());
    EXPECT_EQ(form.Manager->Status(), msView);
    EXPECT_EQ(form.Pages->ActivePageIndex(), 0);
    // The field box lists the master's fields.
    ASSERT_EQ(form.FieldBox->ItemCount(), 5);
    EXPECT_EQ(form.FieldBox->itemText(0).toStdString(), "[ None ]");
    EXPECT_EQ(form.FieldBox->itemText(2).toStdString(), "RESIDENT_NAME");
    EXPECT_EQ(Trim(form.Detail->SQLSchema().Where().Text()), "T1.COUNTER = :V");

    ASSERT_TRUE(Locate(form.Master, 2));
    form.ButtonEdit->click();
    EXPECT_EQ(form.Manager->Status(), msEdit);
    EXPECT_EQ(form.Pages->ActivePageIndex(), 1);
    EXPECT_EQ(Visible(form), "&Accept &Cancel");
    EXPECT_FALSE(form.Grid->isEnabled());
    EXPECT_TRUE(form.NameEdit->Enabled());
    EXPECT_TRUE(m_applet.Modified);
    EXPECT_EQ(form.NameEdit->GetValue(), "Bernard Cole");
    form.Detail->FieldByName("ROOM")->SetAsString("202");
    form.ButtonAccept->click();
    EXPECT_EQ(form.Manager->Status(), msView);
    EXPECT_FALSE(m_applet.Modified);
    EXPECT_EQ(form.Master->FieldByName("ROOM")->AsString(), "202") << "the master row mirrors the record";
    EXPECT_EQ(ServerSql("SELECT ROOM, RECORD_USER FROM TBL_RESIDENT WHERE COUNTER = 2"), "202,JSMITH");
    EXPECT_NE(ServerSql("SELECT RECORD_DATE_TIME FROM TBL_RESIDENT WHERE COUNTER = 2"), "<null>");

    form.ButtonEdit->click();
    form.Detail->FieldByName("ROOM")->SetAsString("999");
    form.ButtonCancel->click();
    EXPECT_EQ(form.Manager->Status(), msView);
    EXPECT_EQ(form.Master->FieldByName("ROOM")->AsString(), "202");
    EXPECT_EQ(ServerSql("SELECT ROOM FROM TBL_RESIDENT WHERE COUNTER = 2"), "202");
}

TEST_F(ManagerTest, NewCycleAndCloneWithMarkedControls)
{
    SignIn();
    Samples::TResidentsForm& form = Start(0);
    const int before = std::stoi(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT"));
    form.ButtonNew->click();
    EXPECT_EQ(form.Manager->Status(), msNew);
    EXPECT_EQ(form.ButtonNew->Caption(), "C&ycle");
    EXPECT_FALSE(form.ButtonNew->isHidden());
    const int first = form.Detail->FieldByName("COUNTER")->AsInteger();
    form.Detail->FieldByName("RESIDENT_NAME")->SetAsString("New One");
    form.ButtonNew->click(); // Cycle: posted, the next one appended
    EXPECT_NE(form.Detail->FieldByName("COUNTER")->AsInteger(), first);
    form.Detail->FieldByName("RESIDENT_NAME")->SetAsString("New Two");
    form.ButtonAccept->click();
    EXPECT_EQ(std::stoi(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT")), before + 2);

    // Clone Agnes Miller keeping name and room, then New, Cycle twice, Accept.
    ASSERT_TRUE(Locate(form.Master, 1));
    form.ButtonClone->click();
    EXPECT_EQ(form.Manager->Status(), msClone);
    EXPECT_TRUE(form.ButtonAccept->isHidden());
    EXPECT_TRUE(form.NameEdit->ReadOnly());
    form.NameEdit->PerformClick();
    form.RoomEdit->PerformClick();
    form.BalanceEdit->PerformClick();
    form.BalanceEdit->PerformClick(); // toggled back
    EXPECT_TRUE(form.NameEdit->Marked());
    EXPECT_FALSE(form.BalanceEdit->Marked());
    form.ButtonNew->click();
    EXPECT_EQ(form.Manager->Status(), msCloned);
    EXPECT_FALSE(form.NameEdit->ReadOnly()) << "read-only given back";
    EXPECT_FALSE(form.NameEdit->Enabled()) << "marked controls stay as they are";
    EXPECT_EQ(form.Detail->State(), dsInsert);
    form.ButtonNew->click();
    form.ButtonNew->click();
    form.ButtonAccept->click();
    EXPECT_EQ(ServerSql("SELECT COUNT(DISTINCT COUNTER), COUNT(DISTINCT RESIDENT_NAME || ROOM), MIN(RESIDENT_NAME), "
                        "MIN(ROOM), COUNT(RECORD_USER), COUNT(RECORD_DATE_TIME) FROM TBL_RESIDENT WHERE COUNTER > 5 "
                        "AND RESIDENT_NAME = 'Agnes Miller'"),
              "3,1,Agnes Miller,101,3,3");
    EXPECT_EQ(form.Manager->Status(), msView);
    EXPECT_FALSE(form.NameEdit->Marked());
}

TEST_F(ManagerTest, DeleteAsksAndRemovesTheRow)
{
    SignIn();
    ServerSql("INSERT INTO TBL_RESIDENT (COUNTER, RESIDENT_NAME) VALUES (70, 'Gone Soon')");
    Samples::TResidentsForm& form = Start(0);
    ASSERT_TRUE(Locate(form.Master, 70));
    m_dialogs->QueueAnswer(mrCancel);
    form.ButtonDelete->click();
    EXPECT_EQ(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT WHERE COUNTER = 70"), "1");
    m_dialogs->QueueAnswer(mrOk);
    form.ButtonDelete->click();
    EXPECT_EQ(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT WHERE COUNTER = 70"), "0");
    EXPECT_FALSE(Locate(form.Master, 70));
    ASSERT_GE(m_dialogs->Calls().size(), 2u);
    EXPECT_EQ(m_dialogs->Calls()[0].Text, "This record will be deleted");
    EXPECT_EQ(m_dialogs->Calls()[0].Type, mtWarning);
    // Without a delete button nothing happens.
    form.Manager->SetButtonDelete(nullptr);
    form.Manager->DeleteClicked();
    EXPECT_EQ(m_dialogs->Calls().size(), 2u);
}

// A master row without a COUNTER (kept in memory only) is no record: the
// delete says so and sends nothing.
TEST_F(ManagerTest, DeletingAMasterRowWithoutCounterSaysTheRecordDoesNotExist)
{
    SignIn();
    Samples::TResidentsForm& form = Start(0);
    ASSERT_TRUE(Locate(form.Master, 1));
    const std::string before = ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT");
    form.Master->Edit();
    form.Master->FieldByName("COUNTER")->Clear();
    form.Master->Post();
    ASSERT_TRUE(form.Master->FieldByName("COUNTER")->IsNull());
    m_dialogs->QueueAnswer(mrOk);
    m_dialogs->QueueAnswer(mrOk);
    EXPECT_NO_THROW(form.ButtonDelete->click());
    const std::vector<TScriptedDialogs::Call> calls = m_dialogs->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].Text, "This record will be deleted");
    EXPECT_EQ(calls[1].Text, "Record does not exist");
    EXPECT_EQ(calls[1].Type, mtError);
    EXPECT_EQ(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT"), before);
    EXPECT_EQ(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT WHERE COUNTER = 1"), "1");
}

// InitializeDB run again (a form that reopens its data) wraps the detail's
// own condition once, so Edit still finds the record.
TEST_F(ManagerTest, InitializeDBAgainWrapsTheDetailConditionOnce)
{
    SignIn();
    struct Case
    {
        const char* Desc;
        const char* Own;
        const char* Wrapped;
    };
    const Case cases[] = {
        {"no condition of its own", "", "T1.COUNTER = :V"},
        {"a condition of its own", "T1.COUNTER > 0", "(T1.COUNTER > 0) AND (T1.COUNTER = :V)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Rights(sfFull);
        m_applet.Mode = 0;
        m_form = std::make_unique<Samples::TResidentsForm>();
        m_form->Detail->SQLSchema().Where().SetText(c.Own);
        m_form->Start(&m_applet);
        Samples::TResidentsForm& form = *m_form;
        ASSERT_TRUE(form.Manager->IsDB());
        EXPECT_EQ(Trim(form.Detail->SQLSchema().Where().Text()), c.Wrapped);
        form.Manager->InitializeDB();
        form.Manager->InitializeDB();
        EXPECT_EQ(Trim(form.Detail->SQLSchema().Where().Text()), c.Wrapped);
        EXPECT_EQ(form.Detail->Params().Count(), 1);
        ASSERT_TRUE(Locate(form.Master, 2));
        form.ButtonEdit->click();
        EXPECT_EQ(form.Manager->Status(), msEdit);
        EXPECT_EQ(form.NameEdit->GetValue(), "Bernard Cole");
        form.ButtonCancel->click();
        EXPECT_EQ(form.Manager->Status(), msView);
    }
}

TEST_F(ManagerTest, SimpleFilterAndRefresh)
{
    SignIn();
    Samples::TResidentsForm& form = Start(0);
    form.FieldBox->SetItemIndex(3); // ROOM
    form.RelatesBox->SetItemIndex(0);
    form.ValueBox->SetText("102");
    form.ApplyButton->Click();
    int rows = 0;
    for (form.Master->First(); !form.Master->Eof(); form.Master->Next())
        ++rows;
    EXPECT_EQ(rows, 1);
    EXPECT_TRUE(form.ApplyButton->Font().Style().Contains(fsBold));
    EXPECT_FALSE(form.AdvancedButton->Font().Style().Contains(fsBold));
    form.FieldBox->SetItemIndex(0);
    form.ApplyButton->Click();
    EXPECT_FALSE(form.ApplyButton->Font().Style().Contains(fsBold));
    form.Manager->RefreshLookup();
    EXPECT_TRUE(form.Master->Active());
}

TEST_F(ManagerTest, AMasterWithoutCounterFirstLeavesItNotReady)
{
    SignIn();
    Rights(sfFull);
    m_applet.Mode = 0;
    m_form = std::make_unique<Samples::TResidentsForm>();
    m_form->Master->SQLSchema().Select().SetText("T1.RESIDENT_NAME, T1.COUNTER");
    m_form->Start(&m_applet);
    EXPECT_FALSE(m_form->Manager->IsDB());
    EXPECT_FALSE(m_form->Master->Active());
    m_form->ButtonEdit->click();
    m_form->ButtonNew->click();
    m_form->ButtonClone->click();
    EXPECT_EQ(m_form->Manager->Status(), msView);
    EXPECT_FALSE(m_form->Detail->Active());
    // A blank statement: the same.
    Samples::TResidentsForm blank;
    blank.Master->SQLSchema().From().SetText("  ");
    blank.Start(&m_applet);
    EXPECT_FALSE(blank.Manager->IsDB());
}

TEST_F(ManagerTest, PrintQuotesFilterAndSortAndReplacesWholeParameterNames)
{
    Samples::TResidentsForm form;
    form.Manager->Initialize(&m_applet);
    form.Master->SQLSchema().SetUserFilter("T1.C_FACILITY = :ID AND T1.ROOM <> :ID2");
    form.Master->Params().Clear();
    form.Master->Params().CreateParam(ftInteger, "ID", ptInput)->SetAsInteger(5);
    form.Master->Params().CreateParam(ftInteger, "ID2", ptInput)->SetAsInteger(7);
    form.Manager->PrintParams = " X ";
    form.Manager->PrintClicked();
    ASSERT_EQ(m_applet.Runs.size(), 1u);
    EXPECT_EQ(m_applet.Runs[0], "_RESIDENTS_DATA|0|\"T1.C_FACILITY = 5 AND T1.ROOM <> 7\",\"\",X");
    // No master data source: two quotes for each part.
    form.Manager->SetMasterDataSource(nullptr);
    form.Manager->PrintParams = "";
    form.Manager->PrintClicked();
    EXPECT_EQ(m_applet.Runs[1], "_RESIDENTS_DATA|0|\"\",\"\"");
}

TEST_F(ManagerTest, PlusModeReturnsCounterAndFieldThroughTheStack)
{
    SignIn();
    QWidget sender;
    sender.setObjectName("frmSender");
    auto* result = new TEdit(&sender);
    result->setObjectName("edResident");
    aStack->InitStack(&sender);
    aStack->Write(cm_SetData, "Manager", "RESIDENT_NAME");
    aStack->Write(cm_Return, "MANAGER", "edResident");
    Samples::TResidentsForm& form = Start(1);
    EXPECT_EQ(form.Manager->Status(), msPlus);
    EXPECT_EQ(form.Manager->SendingForm(), &sender);
    EXPECT_FALSE(aStack->CheckInit());
    EXPECT_EQ(form.Manager->ReturnValue, "RESIDENT_NAME");
    EXPECT_FALSE(form.Pages->Pages(0)->TabVisible());
    EXPECT_EQ(form.Pages->ActivePageIndex(), 1);
    EXPECT_EQ(form.Detail->State(), dsInsert);
    EXPECT_EQ(Visible(form), "&Accept &Cancel");
    const std::string counter = form.Detail->FieldByName("COUNTER")->AsString();
    form.Detail->FieldByName("RESIDENT_NAME")->SetAsString("Fiona Grant");
    form.ButtonAccept->click();
    EXPECT_EQ(result->Text(), counter + '\x02' + "Fiona Grant");
    EXPECT_EQ(ServerSql("SELECT RESIDENT_NAME, RECORD_USER FROM TBL_RESIDENT WHERE COUNTER = " + counter),
              "Fiona Grant,JSMITH");
    EXPECT_FALSE(form.Detail->Active());
}

TEST_F(ManagerTest, PlusModeCancelDropsTheReturnAndABadReturnFieldKeepsTheRecord)
{
    SignIn();
    QWidget sender;
    auto* result = new TEdit(&sender);
    result->setObjectName("edResident");
    aStack->InitStack(&sender);
    aStack->Write(cm_Return, "MANAGER", "edResident");
    Samples::TResidentsForm& form = Start(1);
    form.Detail->FieldByName("RESIDENT_NAME")->SetAsString("Never Kept");
    form.ButtonCancel->click();
    EXPECT_EQ(result->Text(), "");
    EXPECT_EQ(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT WHERE RESIDENT_NAME = 'Never Kept'"), "0");
    EXPECT_FALSE(m_applet.Modified);
    aStack->SetFilter("Sender = " + std::to_string(aStack->FormNumber(&sender)));
    aStack->First();
    EXPECT_TRUE(aStack->Eof()) << "the queued rows are dropped";

    aStack->InitStack(&sender);
    aStack->Write(cm_SetData, "Manager", "NO_SUCH_FIELD");
    Samples::TResidentsForm& again = Start(1);
    again.Detail->FieldByName("RESIDENT_NAME")->SetAsString("Kept Anyway");
    EXPECT_EQ(ErrorOf<EovnManagerError>([&] { again.Manager->AcceptClicked(); }),
              "TovnManager: the return value names no field of the detail table: NO_SUCH_FIELD");
    EXPECT_EQ(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT WHERE RESIDENT_NAME = 'Kept Anyway'"), "1");
}

TEST_F(ManagerTest, QuickViewShowsOneRecordReadOnly)
{
    SignIn();
    m_applet.Params.SetCommaText("\"4\"");
    Samples::TResidentsForm& form = Start(3);
    EXPECT_EQ(form.Manager->Status(), msQuickView);
    EXPECT_EQ(Visible(form), "&Close");
    EXPECT_EQ(form.Pages->ActivePageIndex(), 1);
    EXPECT_FALSE(form.Pages->Pages(0)->TabVisible());
    EXPECT_EQ(form.Detail->FieldByName("RESIDENT_NAME")->AsString(), "Dmitri Volkov");
    EXPECT_FALSE(form.NameEdit->Enabled());

    m_applet.Params.SetCommaText("four");
    Rights(sfFull);
    m_form = std::make_unique<Samples::TResidentsForm>();
    m_form->Manager->Initialize(&m_applet);
    EXPECT_EQ(ErrorOf<EovnManagerError>([&] { m_form->Manager->InitializeDB(); }),
              "TovnManager: Could not open detail table in InitializeDB for QuickView\n\r'four' is not a valid "
              "integer value");
    EXPECT_FALSE(m_form->Manager->IsDB());
}

TEST_F(ManagerTest, OpeningFailuresAndMissingRecords)
{
    SignIn();
    Rights(sfFull);
    m_applet.Mode = 0;
    m_form = std::make_unique<Samples::TResidentsForm>();
    m_form->Master->SQLSchema().From().SetText("TBL_NO_SUCH_TABLE T1");
    m_form->Manager->Initialize(&m_applet);
    const std::string error = ErrorOf<EovnManagerError>([&] { m_form->Manager->InitializeDB(); });
    EXPECT_EQ(error.rfind("TovnManager: Could not open master query in InitializeDB\n\r", 0), 0u) << error;
    EXPECT_NE(error.find("ORA-00942"), std::string::npos) << error;
    EXPECT_FALSE(m_form->Manager->IsDB());

    // A listed resident deleted by someone else since: Edit and the page
    // change say so and stay in the list.
    Samples::TResidentsForm& form = Start(0);
    ServerSql("INSERT INTO TBL_RESIDENT (COUNTER, RESIDENT_NAME) VALUES (71, 'Soon Gone')");
    form.Manager->RefreshLookup();
    ASSERT_TRUE(Locate(form.Master, 71));
    ServerSql("DELETE FROM TBL_RESIDENT WHERE COUNTER = 71");
    m_dialogs->QueueAnswer(mrOk);
    form.ButtonEdit->click();
    EXPECT_EQ(form.Manager->Status(), msView);
    EXPECT_FALSE(form.Detail->Active());
    bool allow = true;
    m_dialogs->QueueAnswer(mrOk);
    form.Manager->PageChanging(allow);
    EXPECT_FALSE(allow);
    const std::vector<TScriptedDialogs::Call> calls = m_dialogs->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].Text, "Record does not exist");
    EXPECT_EQ(calls[0].Type, mtError);
    // An existing one opens on the page change.
    ASSERT_TRUE(Locate(form.Master, 1));
    allow = true;
    form.Manager->PageChanging(allow);
    EXPECT_TRUE(allow);
    EXPECT_EQ(form.Detail->FieldByName("RESIDENT_NAME")->AsString(), "Agnes Miller");
}

namespace {

// The visits form's applet: starts the residents form as the host would,
// in the mode asked, with its own applet object; or fails to.
class TPlusHostApplet : public TovnApplet
{
  public:
    bool RunApplet(const std::string& Resource, int Mode, const std::string& Params) override
    {
        Runs.push_back(Resource + "|" + std::to_string(Mode) + "|" + Params);
        if (Fail == 1)
            return false;
        if (Fail == 2)
            throw Exception("The library would not load");
        Started = std::make_unique<TovnApplet>();
        Started->Resource = Resource;
        Started->Mode = Mode;
        Started->SecurityIndex = 20;
        Started->Params.SetCommaText(Params);
        Residents = std::make_unique<Samples::TResidentsForm>();
        Residents->Start(Started.get());
        return true;
    }
    std::vector<std::string> Runs;
    int Fail = 0;
    std::unique_ptr<TovnApplet> Started;
    std::unique_ptr<Samples::TResidentsForm> Residents;
};

} // namespace

TEST_F(ManagerTest, ThePlusRoundCreatesAResidentAndTheComboShowsIt)
{
    SignIn();
    m_window->sysGetMenu().Open();
    TMemoryStream& bytes = m_controller->User().Security();
    bytes.Clear();
    std::vector<uint8_t> data(22, 0);
    data[20] = sfModify << 6;
    data[21] = sfModify << 6;
    bytes.Write(data.data(), static_cast<int>(data.size()));
    TPlusHostApplet applet;
    applet.Resource = "RESIDENT_VISITS";
    applet.SecurityIndex = 21;
    applet.Module = 41;
    Samples::TVisitsForm visits;
    visits.Start(&applet);
    ASSERT_TRUE(visits.Manager->IsDB());
    // InitCombos: the applet, the module, the plus button kept by the right.
    EXPECT_EQ(visits.Resident->Applet, &applet);
    EXPECT_EQ(visits.Resident->ModuleNumber(), 41);
    EXPECT_TRUE(visits.Resident->ComboButtons().Contains(cbPlus));

    visits.ButtonNew->click();
    ASSERT_EQ(visits.Manager->Status(), msNew);
    visits.Detail->FieldByName("VISITOR")->SetAsString("Sam Grant");
    visits.Resident->Plus();
    ASSERT_EQ(applet.Runs, (std::vector<std::string>{"RESIDENTS_DATA|1|"}));
    ASSERT_TRUE(applet.Residents);
    Samples::TResidentsForm& residents = *applet.Residents;
    EXPECT_EQ(residents.Manager->Status(), msPlus);
    EXPECT_EQ(residents.Manager->SendingForm(), &visits);
    EXPECT_EQ(residents.Manager->ReturnValue, "RESIDENT_NAME") << "the combo's display field, through the stack";
    const std::string counter = residents.Detail->FieldByName("COUNTER")->AsString();
    residents.Detail->FieldByName("RESIDENT_NAME")->SetAsString("Fiona Grant");
    residents.ButtonAccept->click();
    EXPECT_EQ(visits.Resident->GetValue(), counter + '\x02' + "Fiona Grant");
    EXPECT_EQ(visits.Detail->FieldByName("C_RESIDENT")->AsString(), counter);
    EXPECT_EQ(visits.Resident->DisplayEdit().Text(), "Fiona Grant");
    aStack->SetFilter("");
    aStack->First();
    EXPECT_TRUE(aStack->Eof()) << "nothing left queued";
    visits.ButtonAccept->click();
    EXPECT_EQ(ServerSql("SELECT C_RESIDENT, RESIDENT_NAME, VISITOR FROM TBL_RESIDENT_VISIT WHERE VISITOR = 'Sam Grant'"),
              counter + ",Fiona Grant,Sam Grant");

    // Cancel in the started form: the combo keeps its value, nothing queued.
    visits.ButtonEdit->click();
    visits.Resident->Plus();
    ASSERT_TRUE(applet.Residents);
    applet.Residents->Detail->FieldByName("RESIDENT_NAME")->SetAsString("Not Wanted");
    applet.Residents->ButtonCancel->click();
    EXPECT_EQ(visits.Resident->GetValue(), counter + '\x02' + "Fiona Grant");
    aStack->SetFilter("");
    aStack->First();
    EXPECT_TRUE(aStack->Eof());
    EXPECT_EQ(ServerSql("SELECT COUNT(*) FROM TBL_RESIDENT WHERE RESIDENT_NAME = 'Not Wanted'"), "0");

    // A start that fails leaves nothing queued and no pending sender, also
    // when the library raises; the next start, by any form, takes nothing.
    for (int fail : {1, 2}) {
        applet.Fail = fail;
        applet.Residents.reset();
        if (fail == 1)
            visits.Resident->Plus();
        else
            EXPECT_NE(ErrorOf([&] { visits.Resident->Plus(); }).find("Could not use stack"), std::string::npos);
        EXPECT_FALSE(aStack->CheckInit()) << fail;
        aStack->SetFilter("");
        aStack->First();
        EXPECT_TRUE(aStack->Eof()) << fail;
    }

    // The information button: the resident shown, in quick view.
    applet.Fail = 0;
    visits.Resident->ShowInfo();
    EXPECT_EQ(applet.Runs.back(), "RESIDENTS_DATA|3|\"" + counter + "\"");
    ASSERT_TRUE(applet.Residents);
    EXPECT_EQ(applet.Residents->Manager->Status(), msQuickView);
    EXPECT_EQ(applet.Residents->Detail->FieldByName("RESIDENT_NAME")->AsString(), "Fiona Grant");
    visits.ButtonCancel->click();
}

TEST_F(ManagerTest, WithoutModifyRightsOnThePlusResourceThePlusButtonGoes)
{
    SignIn();
    m_window->sysGetMenu().Open();
    TMemoryStream& bytes = m_controller->User().Security();
    bytes.Clear();
    std::vector<uint8_t> data(22, 0);
    data[20] = sfView << 6;
    data[21] = sfFull << 6;
    bytes.Write(data.data(), static_cast<int>(data.size()));
    TPlusHostApplet applet;
    applet.SecurityIndex = 21;
    Samples::TVisitsForm visits;
    visits.Start(&applet);
    EXPECT_FALSE(visits.Resident->ComboButtons().Contains(cbPlus));
    EXPECT_TRUE(visits.Resident->ComboButtons().Contains(cbLookup));
    visits.Resident->Plus();
    EXPECT_TRUE(applet.Runs.empty());
}
