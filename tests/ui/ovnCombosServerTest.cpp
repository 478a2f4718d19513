// The combos against the local application server: the lookup combo's
// quick type finding no, one or two facilities (and a typed apostrophe), the
// unbound combo's check of a typed code by its statement, and a row chosen
// in the lookup window over the combo's query.
#include "ui/ovnCombo.h"
#include "ui/ovnDBLookupCombo.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "ui/DataEntryForm.h"
#include "ui/LookupFormDBCombo.h"

#include "support/AppServerSession.h"
#include "support/BoundaryErrors.h"
#include "support/DialogScript.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace {

const char* const kAliasSql = "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, "
                              "CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, "
                              "'T');";

class ComboServer : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        InitOndrel();
        SignInAsAdmin(Connection, Server, "MAIN");
        NameDatabase(Data, "DATA", "DEMO", "MAIN");
        Data.Open();
        Data.ExecSQL(
            "INSERT OR IGNORE INTO TBL_FACILITY (COUNTER, FACILITY, FACILITY_NAME, STATE, CURRENT_USE) "
            "VALUES (4, 'O''BRIEN', 'O''Brien House', 'ID', 'T')");
        for (auto [name, type, size] :
             {std::tuple{"C_FACILITY", ftInteger, 0}, {"FACILITY_NAME", ftString, 80}})
            Rows.FieldDefs().Add(name, type, size);
        Rows.Open();
        Rows.Append();
        Rows.Post();
        Source.SetDataSet(&Rows);
        Window.setGeometry(100, 100, 500, 200);
        First = new TMaskEdit(&Window);
        First->SetBounds(10, 10, 100, 21);
        Combo = new TovnDBLookupCombo(&Window);
        Combo->SetName("cboFacility");
        Combo->SetBounds(10, 40, 350, 27);
        Combo->SetIndent(110);
        Combo->SetTabStop(true);
        Combo->SetDataSource(&Source);
        Combo->SetDataField("C_FACILITY");
        Combo->SetDataDisplayField("FACILITY_NAME");
        Combo->SetLookupDisplayField("FACILITY_NAME");
        Combo->LookupSQL().Select().SetText("COUNTER, FACILITY, FACILITY_NAME, STATE");
        Combo->LookupSQL().From().SetText("TBL_FACILITY");
        Combo->LookupSQL().OrderBy().SetText("COUNTER");
        Combo->LookupExtraFields().SetText("FACILITY\nSTATE");
        Last = new TMaskEdit(&Window);
        Last->SetBounds(10, 80, 100, 21);
        Second = new TMaskEdit(&Window);
        Second->SetBounds(10, 110, 100, 21);
        Window.show();
        QApplication::processEvents();
    }

    // Types a character into the combo and answers the popup with Text;
    // answers whether a lookup window opened afterwards (it is cancelled).
    bool QuickType(TovnComboBase& C, const std::string& Text)
    {
        auto window = std::make_shared<bool>(false);
        auto popup = WhenModal<TfrmDataEntry>([Text, window](TfrmDataEntry& p) {
            p.Edt->SetText(Text);
            QTimer::singleShot(0, [window] {
                if (auto* w = dynamic_cast<TfrmDBCombo*>(QApplication::activeModalWidget())) {
                    *window = true;
                    w->btnCancel->click();
                }
            });
            Keys::Enter(*p.Edt);
        });
        C.Editor().SetFocus();
        Keys::Type(*static_cast<TCustomMaskEdit*>(C.Editor().Widget()), QStringLiteral("x"));
        EXPECT_TRUE(*popup);
        return *window;
    }

    TAppServerProcess Server{{}, kAliasSql};
    TNembraConnection Connection;
    TNembraDatabase Data;
    TNembraDataSet Rows;
    TDataSource Source;
    QWidget Window;
    TMaskEdit* First;
    TMaskEdit* Last;
    TMaskEdit* Second;
    TovnDBLookupCombo* Combo;
};

TEST_F(ComboServer, LookupComboQuickTypeFindsOneRowOrOpensTheWindowOrRefusesTwo)
{
    int after = 0;
    Combo->AfterLookupExecuted = [&](TObject*) { ++after; };
    Combo->SetSearchByField("STATE");

    // One row: key and display, the extra values, the focus moved on.
    Rows.Edit();
    EXPECT_FALSE(QuickType(*Combo, "wa"));
    EXPECT_EQ(Rows.FieldByName("C_FACILITY")->AsString(), "2");
    EXPECT_EQ(Rows.FieldByName("FACILITY_NAME")->AsString(), "Riverside Residence");
    EXPECT_EQ(Combo->DisplayEdit().Text(), "Riverside Residence");
    EXPECT_EQ(Combo->LookupExtraValues().Count(), 2);
    EXPECT_EQ(Combo->LookupExtraValues()[0], "RIVER");
    EXPECT_EQ(Combo->LookupExtraValues()[1], "WA");
    EXPECT_EQ(Combo->SavedFilter(), "wa");
    EXPECT_EQ(after, 1);
    EXPECT_NE(Window.focusWidget(), Combo->Editor().Widget()) << "the focus moved on";

    // No row: the lookup window.
    EXPECT_TRUE(QuickType(*Combo, "tx"));
    EXPECT_EQ(Rows.FieldByName("C_FACILITY")->AsString(), "2");
    EXPECT_EQ(after, 1);

    // Two rows: the error, at the boundary, and nothing written.
    {
        TBoundaryErrors errors;
        EXPECT_FALSE(QuickType(*Combo, "or"));
        ASSERT_EQ(errors.Reports.size(), 1u);
        EXPECT_NE(errors.Reports[0].find("Dispaly table search returned multiple records\n\rComponent: "
                                         "cboFacility\n\rRevise QuickTypeWhere clause"),
                  std::string::npos)
            << errors.Reports[0];
        EXPECT_EQ(Rows.FieldByName("C_FACILITY")->AsString(), "2");
        EXPECT_EQ(frmDataEntry, nullptr) << "the popup is released";
    }

    // QuickTypeWhere narrows the search to one row.
    Combo->SetQuickTypeWhere("CURRENT_USE = 'T'");
    EXPECT_FALSE(QuickType(*Combo, "or"));
    EXPECT_EQ(Rows.FieldByName("C_FACILITY")->AsString(), "1");
    EXPECT_EQ(after, 2);

    // A failing statement: its error at the boundary, the popup released.
    Combo->LookupSQL().From().SetText("NO_SUCH_TABLE");
    {
        TBoundaryErrors errors;
        EXPECT_FALSE(QuickType(*Combo, "wa"));
        ASSERT_EQ(errors.Reports.size(), 1u);
        EXPECT_NE(errors.Reports[0].find("ORA-00942"), std::string::npos) << errors.Reports[0];
        EXPECT_EQ(frmDataEntry, nullptr);
    }
    Combo->LookupSQL().From().SetText("TBL_FACILITY");

    // A typed apostrophe stays inside its literal.
    Combo->SetSearchByField("");
    {
        TBoundaryErrors errors;
        EXPECT_FALSE(QuickType(*Combo, "o'brien house"));
        EXPECT_TRUE(errors.Reports.empty()) << errors.Reports.front();
    }
    EXPECT_EQ(Rows.FieldByName("C_FACILITY")->AsString(), "4");
    EXPECT_EQ(Combo->DisplayEdit().Text(), "O'Brien House");
    {
        TBoundaryErrors errors;
        EXPECT_TRUE(QuickType(*Combo, "x') OR ('1'='1")) << "found nothing: the statement did not change";
        EXPECT_TRUE(errors.Reports.empty());
    }
}

TEST_F(ComboServer, TheUnboundComboChecksATypedCodeByItsStatementAndKeepsTheTypedSpelling)
{
    auto* c = new TovnCombo(&Window);
    c->SetName("cboCode");
    c->SetBounds(10, 140, 350, 27);
    c->LookupSQL().Select().SetText("COUNTER, FACILITY, FACILITY_NAME");
    c->LookupSQL().From().SetText("TBL_FACILITY");
    c->LookupSQL().Where().SetText("CURRENT_USE = 'T'");
    c->SetLookupField("FACILITY");
    c->LookupExtraFields().SetText("FACILITY_NAME");
    EXPECT_FALSE(QuickType(*c, "river"));
    EXPECT_EQ(c->Text(), "river") << "the typed spelling, not the row's";
    EXPECT_EQ(c->LookupExtraValues().Count(), 1);
    EXPECT_EQ(c->LookupExtraValues()[0], "Riverside Residence");

    // Closed homes are outside the statement's Where: the window opens.
    EXPECT_TRUE(QuickType(*c, "elm"));
    EXPECT_EQ(c->Text(), "river");
    EXPECT_FALSE(QuickType(*c, "o'brien")) << "an apostrophe is found like any other character";
    EXPECT_EQ(c->LookupExtraValues()[0], "O'Brien House");
}

TEST_F(ComboServer, ARowChosenInTheLookupWindowFillsKeyDisplayAndExtras)
{
    Combo->LookupInvisibleFields().SetText("STATE");
    auto shown = WhenModal<TfrmDBCombo>([](TfrmDBCombo& w) {
        TDataSet* rows = w.WindowDataSet();
        ASSERT_NE(rows, nullptr);
        rows->First();
        rows->Next();
        w.btnSelect->click();
    });
    Combo->Lookup();
    ASSERT_TRUE(*shown);
    EXPECT_EQ(Rows.State(), dsEdit);
    EXPECT_EQ(Rows.FieldByName("C_FACILITY")->AsString(), "2");
    EXPECT_EQ(Rows.FieldByName("FACILITY_NAME")->AsString(), "Riverside Residence");
    EXPECT_EQ(Combo->LookupExtraValues().Count(), 2);
    EXPECT_EQ(Combo->LookupExtraValues()[0], "RIVER");

    // A lookup field the rows lack: the combo's error naming it.
    Combo->SetLookupField("NO_SUCH");
    shown = WhenModal<TfrmDBCombo>([](TfrmDBCombo& w) { w.btnSelect->click(); });
    std::string error;
    try {
        Combo->Lookup();
    } catch (const EovnDBLookupCombo& e) {
        error = e.Message();
    }
    ASSERT_TRUE(*shown);
    EXPECT_EQ(
        error.rfind("Could not find lookup field.\n\rComponent Name: cboFacility\n\rException text: \n\r", 0),
        0u)
        << error;
}

} // namespace
