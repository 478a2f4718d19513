// The lookup pick window over a query of the local application server:
// the checks that refuse a call before any window shows, and what a
// choice, a clear and a cancel do to fields, edits and labels.
#include "ui/Lookup.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Fields.h"
#include "platform/Mask.h"
#include "platform/StdCtrls.h"
#include "ui/SchemaEditor.h"

#include "support/AppServerSession.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableView>

#include <functional>

namespace {

const char* const kAliasSql =
    "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');";

enum Press
{
    Choose,
    Clear,
    Cancel,
    CloseWindow,
    DoubleClick
};

class LookupWindow : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(Connection, Server, "MAIN");
        NameDatabase(Data, "DATA", "DEMO", "MAIN");
        Query.SetDatabaseName("DATA");
        Query.SQLSchema().Select().SetText("COUNTER, FACILITY, FACILITY_NAME");
        Query.SQLSchema().From().SetText("TBL_FACILITY");
        Query.SQLSchema().OrderBy().SetText("COUNTER");
        for (auto [name, type, size] : {std::tuple{"K", ftInteger, 0}, {"TEXT", ftString, 80}})
            Targets.FieldDefs().Add(name, type, size);
        Targets.Open();
        Targets.Append();
        Targets.FieldByName("K")->SetAsInteger(7);
        Targets.FieldByName("TEXT")->SetAsString("before");
    }

    // Arms the next window: picks grid row `row` and presses `press`.
    std::shared_ptr<bool> Arm(Press press, int row = 1)
    {
        return WhenModal<TfrmLookup>([this, press, row](TfrmLookup& w) {
            Caption = w.windowTitle().toStdString();
            OpenWhenShown = Query.Active();
            w.Grid->setCurrentIndex(w.GridModel->index(row, 0));
            switch (press) {
            case Choose:
                w.btnOk->click();
                break;
            case Clear:
                w.btnClear->click();
                break;
            case Cancel:
                w.btnCancel->click();
                break;
            case CloseWindow:
                w.close();
                break;
            case DoubleClick:
                emit w.Grid->doubleClicked(w.GridModel->index(row, 1));
                break;
            }
        });
    }

    TAppServerProcess Server{{}, kAliasSql};
    TNembraConnection Connection;
    TNembraDatabase Data;
    TovnOndrelQuery Query;
    TNembraDataSet Targets;
    std::string Caption;
    bool OpenWhenShown = false;
};

TEST_F(LookupWindow, ChecksRefuseTheCallBeforeAnyWindow)
{
    TMaskEdit edit;
    TNembraQuery plain;
    TLabel label;
    struct Case
    {
        const char* what;
        std::function<void()> call;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"no dataset", [&] { ShowLookup("L", nullptr, nullptr, nullptr, "A", "B"); }, "Dataset is nil"},
        {"a query of another kind", [&] { ShowLookup2("L", &plain, &edit, "COUNTER", "FACILITY"); },
         "Dataset must be Query or Table"},
        {"no edit", [&] { ShowLookup2("L", &Query, nullptr, "COUNTER", "FACILITY"); }, "Undefined return/take field"},
        {"no key field", [&] { ShowLookup2("L", &Query, &edit, "", "FACILITY"); }, "Undefined return/take field"},
        {"names without targets", [&] { ShowLookupEx("L", &Query, {"COUNTER", "FACILITY"}, {&label}); },
         "Undefined return/take field"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ErrorOf<EovnLookup>(c.call), c.message);
        EXPECT_FALSE(Query.Active()) << "refused before the dataset opens";
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST_F(LookupWindow, ShowLookupCopiesClearsOrKeepsBothFields)
{
    TField* k = Targets.FieldByName("K");
    TField* text = Targets.FieldByName("TEXT");

    // Cancelled and closed: False, both fields as they were.
    for (Press press : {Cancel, CloseWindow}) {
        auto shown = Arm(press);
        EXPECT_FALSE(ShowLookup("Facilities", &Query, k, text, "COUNTER", "FACILITY_NAME"));
        EXPECT_TRUE(*shown);
        EXPECT_EQ(k->AsInteger(), 7);
        EXPECT_EQ(text->AsString(), "before");
    }
    EXPECT_EQ(Caption, "Facilities");
    EXPECT_TRUE(OpenWhenShown) << "a closed dataset is opened for the window";

    Arm(Choose, 1);
    EXPECT_TRUE(ShowLookup("Facilities", &Query, k, text, "COUNTER", "FACILITY_NAME"));
    EXPECT_EQ(k->AsInteger(), 2);
    EXPECT_EQ(text->AsString(), "Riverside Residence");

    Arm(DoubleClick, 0);
    EXPECT_TRUE(ShowLookup("Facilities", &Query, k, text, "COUNTER", "FACILITY_NAME"));
    EXPECT_EQ(k->AsInteger(), 1);
    EXPECT_EQ(text->AsString(), "Oak Grove Care Home");

    // Field2 without Name2 is left alone.
    Arm(Choose, 2);
    EXPECT_TRUE(ShowLookup("Facilities", &Query, k, text, "COUNTER", ""));
    EXPECT_EQ(k->AsInteger(), 3);
    EXPECT_EQ(text->AsString(), "Oak Grove Care Home");

    Arm(Clear);
    EXPECT_TRUE(ShowLookup("Facilities", &Query, k, text, "COUNTER", "FACILITY_NAME"));
    EXPECT_TRUE(k->IsNull());
    EXPECT_TRUE(text->IsNull());
}

TEST_F(LookupWindow, ShowLookup2SetsTheEditsKeyAndText)
{
    TMaskEdit edit;
    edit.SetText("before");
    edit.Tag = 7;

    // Without a text field the window shows and nothing changes, whatever the result.
    for (Press press : {Choose, Clear, Cancel}) {
        auto shown = Arm(press);
        EXPECT_EQ(ShowLookup2("L", &Query, &edit, "COUNTER", ""), press != Cancel);
        EXPECT_TRUE(*shown);
        EXPECT_EQ(edit.Text(), "before");
        EXPECT_EQ(edit.Tag, 7);
    }

    Arm(Choose, 2);
    EXPECT_TRUE(ShowLookup2("L", &Query, &edit, "COUNTER", "FACILITY_NAME"));
    EXPECT_EQ(edit.Tag, 3);
    EXPECT_EQ(edit.Text(), "Elm Street House (closed)");

    // A key that is no integer: a conversion error, the edit unchanged.
    Arm(Choose, 0);
    EXPECT_FALSE(ErrorOf<EConvertError>([&] { ShowLookup2("L", &Query, &edit, "FACILITY", "FACILITY_NAME"); }).empty());
    EXPECT_EQ(edit.Tag, 3);
    EXPECT_EQ(edit.Text(), "Elm Street House (closed)");

    Arm(Clear);
    EXPECT_TRUE(ShowLookup2("L", &Query, &edit, "COUNTER", "FACILITY_NAME"));
    EXPECT_EQ(edit.Tag, 0);
    EXPECT_EQ(edit.Text(), "");
}

TEST_F(LookupWindow, ShowLookupExFillsFieldsEditsAndLabels)
{
    TMaskEdit edit;
    TLabel label;
    TField* k = Targets.FieldByName("K");

    Arm(Choose, 0);
    EXPECT_TRUE(ShowLookupEx("L", &Query, {"COUNTER", "FACILITY", "FACILITY_NAME"}, {k, &edit, &label}));
    EXPECT_EQ(k->AsInteger(), 1);
    EXPECT_EQ(edit.Text(), "OAK");
    EXPECT_EQ(label.Caption(), "Oak Grove Care Home");

    // One name with one target is accepted.
    Arm(Choose, 1);
    EXPECT_TRUE(ShowLookupEx("L", &Query, {"FACILITY"}, {&label}));
    EXPECT_EQ(label.Caption(), "RIVER");

    Arm(Cancel);
    EXPECT_FALSE(ShowLookupEx("L", &Query, {"COUNTER", "FACILITY"}, {k, &edit}));
    EXPECT_EQ(k->AsInteger(), 1);

    Arm(Clear);
    EXPECT_TRUE(ShowLookupEx("L", &Query, {"COUNTER", "FACILITY", "FACILITY_NAME"}, {k, &edit, &label}));
    EXPECT_TRUE(k->IsNull());
    EXPECT_EQ(edit.Text(), "");
    EXPECT_EQ(label.Caption(), "");

    // A target of another class: the ones before it are filled, then the error.
    TNembraDataSet other;
    Arm(Choose, 2);
    EXPECT_EQ(ErrorOf<EovnLookup>([&] { ShowLookupEx("L", &Query, {"FACILITY", "COUNTER"}, {&edit, &other}); }),
              "ShowLookupEx: Unsupported component type");
    EXPECT_EQ(edit.Text(), "ELM");
}

TEST_F(LookupWindow, TheFilterButtonIsBoldWhileAUserFilterHolds)
{
    TDialogScript boxes;
    Query.SQLSchema().ApplyFilter("(COUNTER > 1)", "");
    ASSERT_TRUE(Query.IsFiltered());
    bool boldBefore = false, boldAfter = true;
    int rowsBefore = 0, rowsAfter = 0;
    auto shown = WhenModal<TfrmLookup>([&](TfrmLookup& w) {
        boldBefore = w.FilterBold();
        rowsBefore = w.GridModel->rowCount();
        // The advanced filter: cleared and applied.
        WhenModal<TfrmSchemaEditor>([&](TfrmSchemaEditor& d) {
            boxes->QueueAnswer(mrOk);
            d.ClearButton()->click();
            d.ApplyButton()->click();
        });
        w.btnFilter->click();
        boldAfter = w.FilterBold();
        rowsAfter = w.GridModel->rowCount();
        w.btnCancel->click();
    });
    EXPECT_FALSE(ShowLookup("L", &Query, nullptr, nullptr, "COUNTER", ""));
    EXPECT_TRUE(*shown);
    EXPECT_TRUE(boldBefore);
    EXPECT_EQ(rowsBefore, 2) << "the closed query opens with its filter";
    EXPECT_FALSE(boldAfter);
    EXPECT_EQ(rowsAfter, 3);
    EXPECT_FALSE(Query.IsFiltered()) << "the window's filter stays on the dataset after it closes";
}

} // namespace
