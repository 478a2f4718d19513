// The sample data forms as the client runs them, from signed libraries on
// the local application server: the visits form's plus button starts the
// residents form in a container, the new resident comes back
// into the visits form's lookup combo, and the residents form's print
// applet receives the list's filter and sort.
#include "AppletServerTesting.h"

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/forms/ovnStack.h"
#include "platform/FormParts.h"
#include "support/ErrorOf.h"
#include "ui/ovnDBLookupCombo.h"

#include <QPushButton>
#include <sqlite3.h>

namespace {

const char* const kDataFormSql = R"(
INSERT OR IGNORE INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (51, 'OAK', 'Oak Lodge', 50, 'T');
INSERT OR IGNORE INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) VALUES (51, 'CARER', 50, 51, 'T');
INSERT OR IGNORE INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (50, 51);
INSERT OR IGNORE INTO TBL_MODULES (COUNTER, MODULE) VALUES (42, 'Samples');
INSERT OR IGNORE INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE) VALUES
  (1, 42, 0, 1, 'Residents', 7031), (2, 42, 0, 2, 'Residents: Print', 7032), (3, 42, 0, 3, 'Visits', 7033);
)";

class DataFormAppletTest : public TAppletServerTest
{
  protected:
    void SetUp() override
    {
        TAppletServerTest::SetUp();
        for (const char* sample : {"residents_data", "_residents_data", "resident_visits"})
            ASSERT_TRUE(CopyFile(SamplesFolder() + sample + ".so", m_share + sample + ".so", false)) << sample;
        Sql(m_server->DatabaseFile(), kDataFormSql);
        m_window->OpenDataDatabase("OAK", 50);
        m_window->sysGetMenu().Open();
        m_controller->User().UserType = "SYS";
    }
    void TearDown() override
    {
        aStack->ClearStack(nullptr);
        aStack->GetSender();
        TAppletServerTest::TearDown();
    }
    static std::string Sql(const std::string& File, const std::string& Statements)
    {
        sqlite3* db = nullptr;
        std::string text;
        if (sqlite3_open(File.c_str(), &db) == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            sqlite3_stmt* statement = nullptr;
            const char* rest = Statements.c_str();
            while (*rest && sqlite3_prepare_v2(db, rest, -1, &statement, &rest) == SQLITE_OK && statement) {
                if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
                    text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
                sqlite3_finalize(statement);
                statement = nullptr;
            }
        }
        sqlite3_close(db);
        return text;
    }
    std::string DataSql(const std::string& Statement)
    {
        std::string file = m_server->DatabaseFile();
        file.replace(file.rfind(".db"), 3, "-oak.db");
        return Sql(file, Statement);
    }
    // The main form of the top applet of container Index.
    TovnAppletForm* FormOf(size_t Index)
    {
        if (Index >= m_view->Containers().size())
            return nullptr;
        TovnApplet* applet = m_view->Containers()[Index]->GetTopApplet();
        return applet ? applet->MainForm.data() : nullptr;
    }
    static void Click(QWidget* Form, const char* Name)
    {
        auto* button = Form->findChild<QPushButton*>(Name);
        ASSERT_NE(button, nullptr) << Name;
        button->click();
    }
    static TDataSet* DataSetOf(QWidget* Form, const char* Name)
    {
        return dynamic_cast<TDataSet*>(FindFormPart(Form, Name).Component);
    }
};

} // namespace

TEST_F(DataFormAppletTest, ThePlusButtonOfOneSampleCreatesARecordInTheOther)
{
    ASSERT_TRUE(Launch("RESIDENT_VISITS", 0, 0));
    Settle();
    TovnAppletForm* visits = FormOf(0);
    ASSERT_NE(visits, nullptr);
    auto* combo = dynamic_cast<TovnDBLookupCombo*>(FindFormPart(visits, "lcResident").Object);
    ASSERT_NE(combo, nullptr);
    EXPECT_NE(combo->Applet, nullptr) << "the manager's InitCombos";
    Click(visits, "btnNew");
    TDataSet* visit = DataSetOf(visits, "tblVisit");
    ASSERT_NE(visit, nullptr);
    ASSERT_EQ(visit->State(), dsInsert);
    visit->FieldByName("VISITOR")->SetAsString("Nora Blake");

    combo->Plus();
    Settle();
    ASSERT_EQ(m_view->Containers().size(), 1u) << "the residents form goes on top in the same container";
    TovnApplet* started = m_view->Containers()[0]->GetTopApplet();
    ASSERT_EQ(started->Resource, "RESIDENTS_DATA");
    EXPECT_EQ(started->Mode, 1);
    TovnAppletForm* residents = FormOf(0);
    ASSERT_NE(residents, nullptr);
    TDataSet* resident = DataSetOf(residents, "tblResident");
    ASSERT_NE(resident, nullptr);
    ASSERT_EQ(resident->State(), dsInsert);
    const std::string counter = resident->FieldByName("COUNTER")->AsString();
    resident->FieldByName("RESIDENT_NAME")->SetAsString("Hugo Blake");
    Click(residents, "btnAccept");
    Settle();
    ASSERT_EQ(m_view->Containers().size(), 1u);
    EXPECT_EQ(m_view->Containers()[0]->GetTopApplet()->Resource, "RESIDENT_VISITS") << "the residents form closed";
    EXPECT_EQ(combo->GetValue(), counter + '\x02' + "Hugo Blake");
    Click(visits, "btnAccept");
    EXPECT_EQ(DataSql("SELECT C_RESIDENT || ' ' || RESIDENT_NAME FROM TBL_RESIDENT_VISIT WHERE VISITOR = 'Nora Blake'"),
              counter + " Hugo Blake");
    EXPECT_EQ(DataSql("SELECT RECORD_USER FROM TBL_RESIDENT WHERE COUNTER = " + counter), "JSMITH");
}

TEST_F(DataFormAppletTest, PrintStartsTheUnderscoreAppletWithFilterAndSort)
{
    ASSERT_TRUE(Launch("RESIDENTS_DATA", 0, 0));
    Settle();
    TovnAppletForm* residents = FormOf(0);
    ASSERT_NE(residents, nullptr);
    Click(residents, "btnPrint");
    Settle();
    ASSERT_EQ(m_view->Containers().size(), 1u);
    TovnApplet* print = m_view->Containers()[0]->GetTopApplet();
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->Resource, "_RESIDENTS_DATA");
    EXPECT_EQ(print->Mode, 0);
    ASSERT_EQ(print->Params.Count(), 2);
    EXPECT_EQ(print->Params[0], "");
    EXPECT_EQ(LabelText(print->MainForm.data(), "lblCaption"), "Caption: Residents: Print");
}
