// The combos' lookup window over a query of the local application server and
// over a lookup dataset: the grid's measured columns, the items-only and red
// states, the quick filter (Enter twice, a saved filter, apostrophes, texts a
// lookup dataset's filter cannot take) and the sort chooser.
#include "ui/LookupFormDBCombo.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Fields.h"
#include "platform/ListBox.h"
#include "platform/Mask.h"

#include "support/AppServerSession.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "ui/SchemaEditor.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>

namespace {

const char* const kLongName = "Zephyr Meadows Long Term Care And Rehabilitation Campus North Wing";

const char* const kAliasSql =
    "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');";

// Facilities 4 to 50 after the three of the demo data; the thirteenth row
// has a name far longer than the others.
std::string FacilityRows()
{
    std::string sql = "INSERT INTO TBL_FACILITY (COUNTER, FACILITY, FACILITY_NAME) VALUES ";
    for (int i = 4; i <= 50; ++i) {
        const std::string name = i == 13 ? kLongName : "Name " + std::to_string(i);
        sql += (i > 4 ? ", (" : "(") + std::to_string(i) + ", 'F" + std::to_string(i) + "', '" + name + "')";
    }
    return sql;
}

int TextWidth(const TfrmDBCombo& w, const std::string& text)
{
    return QFontMetrics(w.Grid->font()).horizontalAdvance(QString::fromStdString(text));
}

class DBComboWindow : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // The library's load makes the double quote the filter's string quote.
        InitOndrel();
        SignInAsAdmin(Connection, Server, "MAIN");
        NameDatabase(Data, "DATA", "DEMO", "MAIN");
        Data.Open();
        Data.ExecSQL(FacilityRows());
        Form = std::make_unique<TfrmDBCombo>();
        Form->SetOwnerCombo("cboFacility", "FACILITY_NAME", "COUNTER");
        Form->SearchField = "FACILITY_NAME";
    }

    void UseQuery(const std::string& where = "")
    {
        Form->Query->SetDatabaseName("DATA");
        TSQLQuerySchema& schema = Form->Query->SQLSchema();
        schema.Select().SetText("COUNTER, FACILITY_NAME, FACILITY");
        schema.From().SetText("TBL_FACILITY");
        schema.Where().SetText(where);
        schema.OrderBy().SetText("COUNTER");
    }

    // Shows the window, runs Steps in it and answers its result.
    int Show(const std::function<void(TfrmDBCombo&)>& Steps)
    {
        auto shown = WhenModal<TfrmDBCombo>([&](TfrmDBCombo& w) {
            if (Steps)
                Steps(w);
        });
        const int result = Form->ShowModal();
        EXPECT_TRUE(*shown);
        return result;
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        TDataSet* ds = Form->WindowDataSet();
        const TBookmark saved = ds->GetBookmark();
        for (ds->First(); !ds->Eof(); ds->Next())
            names.push_back(ds->FieldByName(Form->SearchField)->AsString());
        ds->GotoBookmark(saved);
        return names;
    }

    TAppServerProcess Server{{}, kAliasSql};
    TNembraConnection Connection;
    TNembraDatabase Data;
    std::unique_ptr<TfrmDBCombo> Form;
};

TEST(DBComboRules, QueryConditionUpperCasesAndDoublesApostrophes)
{
    const std::pair<const char*, const char*> cases[] = {
        {"riv", "(UPPER(FACILITY_NAME) >= 'RIV')"},
        {"O'Brien", "(UPPER(FACILITY_NAME) >= 'O''BRIEN')"},
        {"'; DROP TABLE X; --", "(UPPER(FACILITY_NAME) >= '''; DROP TABLE X; --')"},
    };
    for (auto [text, condition] : cases)
        EXPECT_EQ(DBComboQueryCondition("FACILITY_NAME", text), condition) << text;
    EXPECT_EQ(DBComboLookupFilter("NAME", "Smi"), "NAME >= \"Smi\"");
}

TEST(DBComboRules, LookupFilterTakesOnlyTextsTheFieldCanCompare)
{
    TNembraDataSet ds;
    for (auto [name, type, size] : {std::tuple{"N", ftInteger, 0}, {"S", ftString, 40}, {"F", ftFloat, 0},
                                    {"D", ftDateTime, 0}})
        ds.FieldDefs().Add(name, type, size);
    ds.Open();
    struct Case
    {
        const char* field;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"S", "ab", true},       {"S", "12", true},  {"S", "say \"hi\"", false}, {"N", "12", true},
        {"N", "ab", false},      {"N", "\"", false}, {"F", "1.5", true},         {"F", "abc", false},
        {"D", "tomorrow", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LookupFilterAccepts(ds.FindField(c.field), c.text), c.accepted) << c.field << " " << c.text;
    EXPECT_FALSE(LookupFilterAccepts(nullptr, "ab")) << "a missing field takes nothing";
}

TEST(DBComboRules, ColumnsMeasureElevenRowsFromTheCurrentOne)
{
    TNembraDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("NAME", ftString, 80);
    ds.Open();
    for (int i = 1; i <= 30; ++i) {
        ds.Append();
        ds.FieldByName("ID")->SetAsInteger(i);
        // Row i has i characters, so the widest row read tells how far the
        // measuring went.
        ds.FieldByName("NAME")->SetAsString(std::string(static_cast<size_t>(i), 'x'));
        ds.Post();
    }
    auto width = [](const std::string& s) { return static_cast<int>(s.size()); };
    ds.First();
    for (int i = 1; i < 5; ++i)
        ds.Next();
    std::vector<TDBComboColumn> columns = PlanDBComboColumns(ds, width, 1000, 0, "name");
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[1].Width, 15) << "rows 5 to 15";
    EXPECT_EQ(columns[0].Width, 2 + 8) << "the label ID + 8 is wider than the numbers";
    EXPECT_TRUE(columns[1].Marked) << "names compare without case";
    EXPECT_FALSE(columns[0].Marked);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5) << "the current row stays";

    // Capped at the client width - 30; the last column fills a wider grid.
    ds.Last();
    columns = PlanDBComboColumns(ds, width, 40, 0, "");
    EXPECT_EQ(columns[1].Width, 10);
    columns = PlanDBComboColumns(ds, width, 200, 250, "");
    EXPECT_EQ(columns[0].Width + columns[1].Width, 199);
}

TEST_F(DBComboWindow, TheGridMeasuresThreeRowsOrTheFirstElevenOfFifty)
{
    for (const char* where : {"COUNTER <= 3", ""}) {
        SCOPED_TRACE(where);
        Form = std::make_unique<TfrmDBCombo>();
        Form->SetOwnerCombo("cboFacility", "FACILITY_NAME", "COUNTER");
        Form->SearchField = "FACILITY_NAME";
        UseQuery(where);
        int nameWidth = 0, total = 0, client = 0;
        TColor nameColor = clWindow, otherColor = 0;
        Show([&](TfrmDBCombo& w) {
            ASSERT_EQ(w.Grid->Columns().Count(), 3);
            nameWidth = w.Grid->Columns()[1].Width;
            nameColor = w.Grid->Columns()[1].Color;
            otherColor = w.Grid->Columns()[0].Color;
            for (int i = 0; i < 3; ++i)
                total += w.Grid->Columns()[i].Width;
            client = w.Grid->ClientWidth();
            w.btnCancel->click();
        });
        // Row 3 is the widest of the first eleven; row 13 is not measured.
        EXPECT_EQ(nameWidth, TextWidth(*Form, "Elm Street House (closed)"));
        EXPECT_LT(nameWidth, TextWidth(*Form, kLongName));
        EXPECT_EQ(nameColor, TColor(0x00FFFF)) << "the search field's column";
        EXPECT_EQ(otherColor, clWindow);
        EXPECT_EQ(total, client - 1) << "the last column fills the grid";
    }
}

TEST_F(DBComboWindow, ItemsOnlyShowTheHardCodedSheetWithoutFilters)
{
    TStringList items;
    items.SetText("ABC Alpha\nDEF Delta");
    Form->ListBox->Items().Assign(items);
    bool filterShown = true, advancedShown = true, databaseTab = true, sortShown = true;
    int height = 0, index = -1;
    TTabSheet* active = nullptr;
    const int result = Show([&](TfrmDBCombo& w) {
        filterShown = w.pnlFilter->isVisible();
        advancedShown = w.btnAdvanced->isVisible();
        databaseTab = w.tsDatabase->TabVisible();
        sortShown = w.cboIndexField->isVisible();
        height = w.height();
        index = w.ListBox->ItemIndex();
        active = w.Book->ActivePage();
        w.ListBox->OnDblClick(w.ListBox);
    });
    EXPECT_EQ(result, 100) << "a double click in the list selects";
    EXPECT_EQ(Form->Tag, 100);
    EXPECT_FALSE(filterShown);
    EXPECT_FALSE(advancedShown);
    EXPECT_FALSE(databaseTab);
    EXPECT_FALSE(sortShown);
    EXPECT_EQ(height, 310);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(active, Form->tsHardCoded);
    EXPECT_EQ(Form->WindowDataSet(), nullptr);
}

TEST_F(DBComboWindow, NothingToPickTurnsTheWindowRed)
{
    TDialogScript boxes;
    boxes->QueueAnswer(mrOk);
    TColor color = clBtnFace;
    const int result = Show([&](TfrmDBCombo& w) {
        color = w.Color();
        w.btnCancel->click();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(color, TColor(0x0000FF));
    const auto calls = boxes->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Text, "No lookup choices available\n\rComponent Name: cboFacility");
    EXPECT_EQ(calls[0].Type, mtError);
    EXPECT_EQ(Form->Grid->Columns().Count(), 0) << "nothing more is prepared";
}

TEST_F(DBComboWindow, ResultsOfTheButtonsAndEscape)
{
    UseQuery("COUNTER <= 3");
    EXPECT_EQ(Show([](TfrmDBCombo& w) { w.btnClear->click(); }), 1);
    EXPECT_EQ(Show([](TfrmDBCombo& w) { w.btnSelect->click(); }), 100);
    EXPECT_EQ(Show([](TfrmDBCombo& w) { Keys::Escape(w); }), 0);
    EXPECT_EQ(Show([](TfrmDBCombo& w) { w.close(); }), 0);
    EXPECT_EQ(Show([](TfrmDBCombo& w) { Keys::Enter(*w.Grid); }), 100) << "Enter outside the quick filter edit";
}

TEST_F(DBComboWindow, QuickFilterWithEnterTwice)
{
    UseQuery();
    std::vector<std::string> filtered;
    bool downAfterFirst = false, openAfterFirst = false, downAfterChange = true;
    std::string condition;
    const int result = Show([&](TfrmDBCombo& w) {
        w.edtSimple->SetFocus();
        Keys::Type(*w.edtSimple, "riv");
        Keys::Enter(*w.edtSimple);
        downAfterFirst = w.btnApply->Down();
        openAfterFirst = w.isVisible();
        condition = w.Query->SQLSchema().UserFilter();
        filtered = Names();
        Keys::Enter(*w.edtSimple);
    });
    EXPECT_TRUE(downAfterFirst);
    EXPECT_TRUE(openAfterFirst) << "the first Enter filters";
    EXPECT_EQ(condition, "(UPPER(FACILITY_NAME) >= 'RIV')");
    EXPECT_EQ(filtered, (std::vector<std::string>{"Riverside Residence", kLongName}));
    EXPECT_EQ(result, 100) << "the second Enter selects";
    EXPECT_EQ(Form->Query->FieldByName("FACILITY_NAME")->AsString(), "Riverside Residence");

    // A change of the text while pressed lifts the button and the filter;
    // an apostrophe stays inside its literal.
    Form = std::make_unique<TfrmDBCombo>();
    Form->SearchField = "FACILITY_NAME";
    UseQuery("COUNTER <= 3");
    Show([&](TfrmDBCombo& w) {
        Keys::Type(*w.edtSimple, "o'b");
        Keys::Enter(*w.edtSimple);
        filtered = Names();
        Keys::Type(*w.edtSimple, "x");
        downAfterChange = w.btnApply->Down();
        condition = w.Query->SQLSchema().UserFilter();
        w.btnCancel->click();
    });
    EXPECT_EQ(filtered, (std::vector<std::string>{"Oak Grove Care Home", "Riverside Residence"}));
    EXPECT_FALSE(downAfterChange);
    EXPECT_EQ(condition, "");
}

TEST_F(DBComboWindow, ASavedFilterComesBackInForce)
{
    UseQuery();
    Form->edtSimple->SetText("riv");
    Form->chkSaveFilter->setChecked(false);
    bool down = false, saved = false;
    int caret = -1;
    std::vector<std::string> names;
    Show([&](TfrmDBCombo& w) {
        down = w.btnApply->Down();
        saved = w.chkSaveFilter->isChecked();
        caret = w.edtSimple->SelStart();
        names = Names();
        w.btnCancel->click();
    });
    EXPECT_TRUE(down);
    EXPECT_TRUE(saved);
    EXPECT_EQ(caret, 3);
    EXPECT_EQ(names, (std::vector<std::string>{"Riverside Residence", kLongName}));
}

TEST_F(DBComboWindow, TheAdvancedFilterReplacesTheQuickOne)
{
    UseQuery();
    bool downBefore = false, downAfter = true;
    std::vector<std::string> names;
    Show([&](TfrmDBCombo& w) {
        Keys::Type(*w.edtSimple, "riv");
        Keys::Enter(*w.edtSimple);
        downBefore = w.btnApply->Down();
        WhenModal<TfrmSchemaEditor>([&](TfrmSchemaEditor& d) {
            const int field = d.FieldList()->findText("COUNTER");
            ASSERT_GE(field, 0);
            d.FieldList()->setCurrentIndex(field);
            d.RelationList()->setCurrentIndex(d.RelationList()->findText("<"));
            d.ValueEdit()->setText("3");
            d.AddButton()->click();
            d.ApplyButton()->click();
        });
        w.btnAdvanced->click();
        downAfter = w.btnApply->Down();
        names = Names();
        w.btnCancel->click();
    });
    EXPECT_TRUE(downBefore);
    EXPECT_FALSE(downAfter) << "the query carries the user's filter now";
    EXPECT_EQ(names, (std::vector<std::string>{"Oak Grove Care Home", "Riverside Residence"}));
}

TEST_F(DBComboWindow, AFailingQueryRaisesTheWindowsError)
{
    UseQuery();
    Form->Query->SQLSchema().From().SetText("TBL_NO_SUCH_TABLE");
    const std::string message = ErrorOf<ELookup>([&] { Form->ShowModal(); });
    EXPECT_EQ(message.rfind("Could not show lookup form.\n\rComponent Name: cboFacility\n\rException text: \n\r", 0), 0u)
        << message;
    EXPECT_GT(message.size(), 80u) << "the query's own message follows";
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(DBComboWindow, LookupDatasetFilterAndSort)
{
    TNembraDataSet people;
    people.FieldDefs().Add("COUNTER", ftInteger);
    people.FieldDefs().Add("NAME", ftString, 40);
    people.Open();
    for (auto [id, name] : {std::pair{1, "Adams"}, {2, "Brown"}, {3, "Clark"}, {4, "Baker"}}) {
        people.Append();
        people.FieldByName("COUNTER")->SetAsInteger(id);
        people.FieldByName("NAME")->SetAsString(name);
        people.Post();
    }
    Form->LookupDataSet = &people;
    Form->SearchField = "NAME";
    std::vector<std::string> sortItems;
    std::vector<std::string> afterB, afterQuote;
    bool sortShown = false, advancedShown = true, downAfterQuote = true;
    Show([&](TfrmDBCombo& w) {
        sortShown = w.cboIndexField->isVisible();
        advancedShown = w.btnAdvanced->isVisible();
        for (int i = 0; i < w.cboIndexField->count(); ++i)
            sortItems.push_back(w.cboIndexField->itemText(i).toStdString());
        Keys::Type(*w.edtSimple, "B");
        Keys::Enter(*w.edtSimple);
        afterB = Names();
        // A double quote cannot go into the filter: the filter goes off.
        w.btnApply->SetDown(false);
        w.edtSimple->SetText("B\"");
        Keys::Enter(*w.edtSimple);
        downAfterQuote = w.btnApply->Down();
        afterQuote = Names();
        // The sort chooser orders the dataset by a field and back.
        w.cboIndexField->setCurrentIndex(2);
        emit w.cboIndexField->activated(2);
        w.btnCancel->click();
    });
    EXPECT_TRUE(sortShown);
    EXPECT_FALSE(advancedShown);
    EXPECT_EQ(sortItems, (std::vector<std::string>{"<default sort>", "COUNTER", "NAME"}));
    EXPECT_EQ(afterB, (std::vector<std::string>{"Brown", "Clark", "Baker"}));
    EXPECT_FALSE(downAfterQuote);
    EXPECT_EQ(afterQuote.size(), 4u);
    EXPECT_FALSE(people.Filtered());
    EXPECT_EQ(people.Filter(), "");
    // The sort stays on the dataset after the window.
    EXPECT_EQ(people.IndexFields(), "NAME");
    EXPECT_TRUE(people.IndexEnabled());

    // An integer search field: "ab" is not looked up; "2" is.
    Form = std::make_unique<TfrmDBCombo>();
    Form->LookupDataSet = &people;
    Form->SearchField = "COUNTER";
    std::string filterAb = "?", filter2;
    Show([&](TfrmDBCombo& w) {
        Keys::Type(*w.edtSimple, "ab");
        Keys::Enter(*w.edtSimple);
        filterAb = people.Filtered() ? people.Filter() : "";
        w.edtSimple->SetText("2");
        Keys::Enter(*w.edtSimple);
        filter2 = people.Filter();
        emit w.cboIndexField->activated(0);
        w.btnCancel->click();
    });
    EXPECT_EQ(filterAb, "");
    EXPECT_EQ(filter2, "COUNTER >= \"2\"");
    EXPECT_TRUE(people.Filtered()) << "the quick filter stays on the lookup dataset";
    EXPECT_EQ(people.IndexFields(), "");
    EXPECT_FALSE(people.IndexEnabled());
}

} // namespace
