// The Advanced Filter dialog: its lists and the statement they make, the
// dialog driven headless, and a filter of two groups applied to a query of
// the local application server (the statement it sends and the rows it then
// shows), with the restore when the server refuses the filter.
#include "ui/SchemaEditor.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "platform/DataSet.h"
#include "platform/Dialogs.h"

#include "support/AppServerSession.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {

// A local dataset with fields of the kinds the dialog tells apart.
class LocalSchema : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        for (auto [name, type, size] : {std::tuple{"A", ftInteger, 0}, {"B", ftInteger, 0}, {"C", ftInteger, 0},
                                        {"NAME", ftString, 20}, {"WIDE", ftWideString, 20}, {"AMOUNT", ftFloat, 0},
                                        {"BORN", ftDateTime, 0}, {"NOTE", ftMemo, 0}, {"HIDDEN", ftString, 5}})
            Ds.FieldDefs().Add(name, type, size);
        Ds.Open();
        Ds.FieldByName("HIDDEN")->SetVisible(false);
        Schema.From().SetText("T");
    }

    TNembraDataSet Ds;
    TSQLQuerySchema Schema{&Ds};
};

TEST_F(LocalSchema, GroupsMakeTheFilterOfTheStatement)
{
    TSchemaEditorLists lists(Schema);
    EXPECT_EQ(lists.AddCondition("A", ftInteger, "=", "1", false, false, -1), 0);
    EXPECT_EQ(lists.AddCondition("B", ftInteger, "=", "2", false, false, -1), 1) << "joins the last row's group";
    EXPECT_EQ(lists.AddCondition("C", ftInteger, "=", "3", true, false, -1), 2);
    EXPECT_EQ(lists.GroupCounter(), 2);
    EXPECT_EQ(lists.BuildFilter(), " (  (A = 1)  AND (B = 2)  ) OR (  (C = 3)  )");

    // Joining the first group from its row places the condition in it.
    EXPECT_EQ(lists.AddCondition("NAME", ftString, "Like", "smi", false, false, 0), 2);
    EXPECT_EQ(lists.Conditions()[2], (TSchemaFilterRow{"NAME", "Like", "smi", 1, "N"}));
    EXPECT_EQ(lists.BuildFilter(),
              " (  (A = 1)  AND (B = 2)  AND (UPPER(NAME) Like '%SMI%')  ) OR (  (C = 3)  )");
    EXPECT_EQ(lists.AddCondition("AMOUNT", ftFloat, "=", "", false, true, 3), 4) << "the last group's row";
    EXPECT_EQ(lists.BuildFilter(), " (  (A = 1)  AND (B = 2)  AND (UPPER(NAME) Like '%SMI%')  ) OR (  (C = 3)  AND "
                                   "(AMOUNT  IS  NULL)  )");

    EXPECT_EQ(lists.AddSort("NAME", "Ascending", false), 0);
    lists.AddSort("A", "Descending", true);
    EXPECT_EQ(lists.BuildSort(), "UPPER(NAME) ASC,A DESC");
    EXPECT_EQ(lists.BuildSQL(), "SELECT * \r\nFROM T\r\nWHERE " + Trim(lists.BuildFilter()) +
                                    "\r\nORDER BY UPPER(NAME) ASC,A DESC\r\n");
    EXPECT_EQ(Schema.UserFilter(), lists.BuildFilter()) << "the working copy receives filter and sort";

    // Removing answers the row; the counter restarts once the list is empty.
    EXPECT_EQ(lists.RemoveCondition(3), (TSchemaFilterRow{"C", "=", "3", 2, "N"}));
    while (!lists.Conditions().empty())
        lists.RemoveCondition(0);
    EXPECT_EQ(lists.GroupCounter(), 0);
    EXPECT_EQ(lists.AddCondition("A", ftInteger, "<>", "", false, false, -1), 0);
    EXPECT_EQ(lists.Conditions()[0].Group, 1);
    EXPECT_EQ(lists.RemoveSort(1), (TSchemaSortRow{"A", "Descending", "Y"}));
    lists.Clear();
    EXPECT_TRUE(lists.Conditions().empty());
    EXPECT_TRUE(lists.SortRows().empty());
    EXPECT_EQ(lists.BuildFilter(), "");
}

TEST_F(LocalSchema, ConditionsThatMakeNoStatementAreRefused)
{
    const std::string relationError =
        "Invalid relationship operator for given field type and value.\n\rFields other than strings, may only use "
        "\"<>\" or \"=\" if the value is NULL (empty).";
    const std::string likeError = "\"Like\" relationship operator only works with string fields.";
    struct Case
    {
        const char* Desc;
        const char* Field;
        TFieldType Type;
        const char* Relation;
        const char* Value;
        std::string Error;
    };
    const Case cases[] = {
        {"an empty value with > on a number", "A", ftInteger, ">", "", relationError},
        {"an empty value with Like on a wide string", "WIDE", ftWideString, "Like", "", relationError},
        {"an empty value with = on a number", "A", ftInteger, "=", "", ""},
        {"an empty value with <> on a date", "BORN", ftDateTime, "<>", "", ""},
        {"an empty value with >= on a string", "NAME", ftString, ">=", "", ""},
        {"Like on a number", "A", ftInteger, "Like", "1", likeError},
        {"Not Like on a date", "BORN", ftDateTime, "Not Like", "1", likeError},
        {"Not Like on a wide string", "WIDE", ftWideString, "Not Like", "x", ""},
        {"a number that is none", "AMOUNT", ftFloat, "=", "1,5", "'1,5' is not a valid floating point value"},
        {"a field the query lacks", "GONE", ftString, "=", "x", "Field 'GONE' not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TSchemaEditorLists lists(Schema);
        const std::string error =
            ErrorOf([&] { lists.AddCondition(c.Field, c.Type, c.Relation, c.Value, false, false, -1); });
        if (c.Error.empty()) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(lists.Conditions().size(), 1u);
        } else {
            EXPECT_NE(error.find(c.Error), std::string::npos) << error;
            EXPECT_TRUE(lists.Conditions().empty()) << "a refused condition never joins the list";
            EXPECT_EQ(lists.GroupCounter(), 0);
        }
    }
}

TEST(SchemaEditorKeys, TheValueTakesTheFieldsCharacters)
{
    struct Case
    {
        TFieldType Type;
        std::u32string Valid;
        std::u32string Invalid;
    };
    const Case cases[] = {
        {ftInteger, U"0123456789+-", U".eE ,a"},
        {ftLargeint, U"09-", U"."},
        {ftFloat, U"19+-.eE", U", x"},
        {ftBCD, U"5.-", U"eE"},
        {ftString, U"aZ 1.,'%\u00e9\u20ac", U""},
        {ftDateTime, U"12/31/2024 10:30", U""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FieldTypeName(c.Type));
        for (char32_t ch : c.Valid)
            EXPECT_TRUE(IsValidFilterChar(c.Type, ch)) << static_cast<uint32_t>(ch);
        for (char32_t ch : c.Invalid)
            EXPECT_FALSE(IsValidFilterChar(c.Type, ch)) << static_cast<uint32_t>(ch);
    }
}

std::vector<std::string> Rows(const QTreeWidget& list)
{
    std::vector<std::string> rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        std::string row;
        for (int c = 0; c < list.columnCount(); ++c)
            row += (c ? "|" : "") + list.topLevelItem(i)->text(c).toStdString();
        rows.push_back(row);
    }
    return rows;
}

void Select(QComboBox& list, const char* text)
{
    const int index = list.findText(text);
    ASSERT_GE(index, 0) << text;
    list.setCurrentIndex(index);
}

TEST_F(LocalSchema, TheDialogDrivenByItsControls)
{
    TDialogScript boxes;
    TfrmSchemaEditor dialog(nullptr, "name", &Schema);
    EXPECT_EQ(dialog.windowTitle(), "Advanced Filter");
    EXPECT_EQ(dialog.size(), QSize(688, 552));
    EXPECT_EQ(dialog.FieldList()->count(), 0) << "the lists fill when the dialog first shows";
    dialog.show();
    QStringList fields;
    for (int i = 0; i < dialog.FieldList()->count(); ++i)
        fields << dialog.FieldList()->itemText(i);
    EXPECT_EQ(fields, QStringList({"A", "B", "C", "NAME", "WIDE", "AMOUNT", "BORN"})) << "visible, non-blob fields";
    EXPECT_EQ(dialog.SortFieldList()->count(), 7);
    EXPECT_EQ(dialog.FieldList()->currentText(), "NAME") << "the preset field";
    EXPECT_EQ(dialog.RelationList()->currentText(), ">=");
    EXPECT_EQ(dialog.OrderList()->currentText(), "Ascending");
    EXPECT_EQ(dialog.SQLText()->toPlainText(), "SELECT * \nFROM T\n");

    // Keys a number cannot take beep and are dropped.
    Select(*dialog.FieldList(), "AMOUNT");
    Keys::Type(*dialog.ValueEdit(), "1x2.5,e");
    EXPECT_EQ(dialog.ValueEdit()->text(), "12.5e");
    EXPECT_EQ(dialog.Beeps(), 2);
    Select(*dialog.RelationList(), ">");
    boxes->QueueAnswer(mrOk);
    dialog.AddButton()->click();
    EXPECT_EQ(dialog.ValueEdit()->text(), "12.5e") << "refused: no number";
    EXPECT_TRUE(Rows(*dialog.ConditionList()).empty());
    EXPECT_EQ(boxes->Calls().size(), 1u);
    dialog.ValueEdit()->setText("12.5");
    dialog.AddButton()->click();

    // Another field clears the value, the relation and the OR box.
    dialog.NewGroupBox()->setChecked(true);
    Select(*dialog.FieldList(), "NAME");
    EXPECT_EQ(dialog.ValueEdit()->text(), "");
    EXPECT_EQ(dialog.RelationList()->currentIndex(), 0);
    EXPECT_FALSE(dialog.NewGroupBox()->isChecked());
    Select(*dialog.RelationList(), "Like");
    Keys::Type(*dialog.ValueEdit(), "o'n");
    dialog.NewGroupBox()->setChecked(true);
    dialog.CaseBox()->setChecked(true);
    dialog.AddButton()->click();
    EXPECT_FALSE(dialog.NewGroupBox()->isChecked()) << "unchecked once the condition is in";
    Select(*dialog.FieldList(), "A");
    Select(*dialog.RelationList(), "=");
    Keys::Type(*dialog.ValueEdit(), "7");
    dialog.AddButton()->click();
    EXPECT_EQ(Rows(*dialog.ConditionList()),
              (std::vector<std::string>{"AMOUNT|>|12.5|1|N", "A|=|7|1|Y", "NAME|Like|o'n|2|Y"}))
        << "the OR row was added with no row focused: the last row became focused, and A joined its group";

    Select(*dialog.SortFieldList(), "BORN");
    Select(*dialog.OrderList(), "Descending");
    dialog.SortAddButton()->click();
    EXPECT_EQ(Rows(*dialog.SortList()), (std::vector<std::string>{"BORN|Descending|N"}));
    EXPECT_EQ(dialog.SQLText()->toPlainText().toStdString(),
              "SELECT * \nFROM T\nWHERE (  (AMOUNT > 12.5)  AND (A = 7)  ) OR (  (NAME Like '%o''n%')  )\n"
              "ORDER BY BORN DESC\n");

    // Removing puts the focused row's values back into the editors.
    dialog.RemoveButton()->click();
    EXPECT_EQ(dialog.FieldList()->currentText(), "AMOUNT");
    EXPECT_EQ(dialog.RelationList()->currentText(), ">");
    EXPECT_EQ(dialog.ValueEdit()->text(), "12.5");
    EXPECT_FALSE(dialog.CaseBox()->isChecked());
    EXPECT_EQ(Rows(*dialog.ConditionList()), (std::vector<std::string>{"A|=|7|1|Y", "NAME|Like|o'n|2|Y"}));
    dialog.RemoveButton()->click();
    EXPECT_EQ(dialog.Beeps(), 3) << "no row focused";
    dialog.ConditionList()->setCurrentItem(dialog.ConditionList()->topLevelItem(1));
    dialog.RemoveButton()->click();
    EXPECT_EQ(dialog.FieldList()->currentText(), "NAME");
    EXPECT_EQ(dialog.RelationList()->currentText(), "Like");
    EXPECT_EQ(dialog.ValueEdit()->text(), "o'n");
    EXPECT_TRUE(dialog.CaseBox()->isChecked());
    EXPECT_EQ(Rows(*dialog.ConditionList()).size(), 1u);
    dialog.SortList()->setCurrentItem(dialog.SortList()->topLevelItem(0));
    dialog.SortRemoveButton()->click();
    EXPECT_EQ(dialog.OrderList()->currentText(), "Descending");
    EXPECT_EQ(dialog.SortFieldList()->currentText(), "BORN");
    dialog.SortRemoveButton()->click();
    EXPECT_EQ(dialog.Beeps(), 4);

    // The statement instead of the criteria, and back.
    dialog.SQLButton()->click();
    EXPECT_TRUE(dialog.SQLShown());
    EXPECT_EQ(dialog.SQLButton()->toolTip(), "Show/Hide SQL Statement Text");
    dialog.SQLButton()->click();
    EXPECT_FALSE(dialog.SQLShown());

    // Clear asks first.
    boxes->QueueAnswer(mrCancel);
    dialog.ClearButton()->click();
    EXPECT_EQ(Rows(*dialog.ConditionList()).size(), 1u);
    boxes->QueueAnswer(mrOk);
    dialog.ClearButton()->click();
    EXPECT_TRUE(Rows(*dialog.ConditionList()).empty());
    EXPECT_EQ(dialog.Lists().GroupCounter(), 0);
    const std::vector<TScriptedDialogs::Call> calls = boxes->Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].Type, mtError);
    EXPECT_EQ(calls[1].Text, "Clear all filter and sort selections?");
    EXPECT_EQ(calls[1].Type, mtConfirmation);
    EXPECT_TRUE(calls[1].Buttons == mbOKCancel);
    EXPECT_EQ(dialog.SQLText()->toPlainText(), "SELECT * \nFROM T\n");
    dialog.CancelButton()->click();
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
    EXPECT_EQ(Schema.UserFilter(), "") << "cancelled: the query's schema is as it was";
}

// --- Against the local application server

const char* const kAliasSql =
    "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');";

class ServerFilter : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(Connection, Server, "MAIN");
        NameDatabase(Data, "DATA", "DEMO", "MAIN");
        Query.SetName("qryResidents");
        Query.SetDatabaseName("DATA");
        Query.SQLSchema().Select().SetText("COUNTER, RESIDENT_NAME, C_FACILITY, BALANCE, NOTES");
        Query.SQLSchema().From().SetText("TBL_RESIDENT");
        Query.SQLSchema().OrderBy().SetText("COUNTER");
        Query.Open();
    }

    // Runs `drive` on the dialog while Execute shows it modally.
    void ExecFilter(const std::string& field, std::function<void(TfrmSchemaEditor&)> drive)
    {
        bool driven = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = dynamic_cast<TfrmSchemaEditor*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            driven = true;
            drive(*dialog);
            if (dialog->isVisible())
                dialog->CancelButton()->click();
        });
        Query.ExecFilter(field);
        EXPECT_TRUE(driven);
    }

    void AddCondition(TfrmSchemaEditor& d, const char* field, const char* relation, const char* value, bool orGroup)
    {
        Select(*d.FieldList(), field);
        Select(*d.RelationList(), relation);
        d.ValueEdit()->setText(value);
        d.NewGroupBox()->setChecked(orGroup);
        d.AddButton()->click();
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (Query.First(); !Query.Eof(); Query.Next())
            names.push_back(Query.FieldByName("RESIDENT_NAME")->AsString());
        return names;
    }

    TAppServerProcess Server{{}, kAliasSql};
    TNembraConnection Connection;
    TNembraDatabase Data;
    TNembraQuery Query;
};

TEST_F(ServerFilter, AFilterOfTwoGroupsRunsOnTheServer)
{
    TDialogScript boxes;
    ASSERT_EQ(Names().size(), 5u);
    ExecFilter("RESIDENT_NAME", [&](TfrmSchemaEditor& d) {
        EXPECT_EQ(d.FieldList()->currentText(), "RESIDENT_NAME");
        EXPECT_EQ(d.FieldList()->findText("NOTES"), -1) << "a memo is no filter field";
        AddCondition(d, "C_FACILITY", "=", "1", false);
        AddCondition(d, "RESIDENT_NAME", "Like", "quinn", true);
        // Back to the first group: the condition joins it there.
        d.ConditionList()->setCurrentItem(d.ConditionList()->topLevelItem(0));
        AddCondition(d, "BALANCE", ">", "100", false);
        Select(*d.SortFieldList(), "BALANCE");
        Select(*d.OrderList(), "Descending");
        d.SortAddButton()->click();
        EXPECT_EQ(Rows(*d.ConditionList()),
                  (std::vector<std::string>{"C_FACILITY|=|1|1|N", "BALANCE|>|100|1|N", "RESIDENT_NAME|Like|quinn|2|N"}));
        d.ApplyButton()->click();
        EXPECT_FALSE(d.isVisible()) << "applied and closed";
        EXPECT_EQ(d.ModalResult(), mrOk);
    });
    EXPECT_EQ(Query.SQLSchema().GetSQL(),
              "SELECT COUNTER, RESIDENT_NAME, C_FACILITY, BALANCE, NOTES\r\n"
              "FROM TBL_RESIDENT\r\n"
              "WHERE (  (C_FACILITY = 1)  AND (BALANCE > 100)  ) OR (  (UPPER(RESIDENT_NAME) Like '%QUINN%')  )\r\n"
              "ORDER BY BALANCE DESC\r\n");
    EXPECT_TRUE(Query.Active());
    EXPECT_TRUE(Query.IsFiltered());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Agnes Miller", "Esther Quinn"}));
    EXPECT_TRUE(boxes->Calls().empty());

    // The same dialog again, as the user left it; a condition on a column
    // the server does not know fails, the filter in force stays.
    const std::string filterInForce = Query.SQLSchema().UserFilter();
    Query.FieldByName("BALANCE")->SetOrigin("NO_SUCH_COLUMN");
    ExecFilter("", [&](TfrmSchemaEditor& d) {
        EXPECT_EQ(Rows(*d.ConditionList()).size(), 3u);
        EXPECT_EQ(Rows(*d.SortList()).size(), 1u);
        d.ConditionList()->setCurrentItem(d.ConditionList()->topLevelItem(2));
        AddCondition(d, "BALANCE", "<", "50", false);
        boxes->QueueAnswer(mrOk);
        d.ApplyButton()->click();
        EXPECT_TRUE(d.isVisible()) << "the error keeps the dialog open";
    });
    const std::vector<TScriptedDialogs::Call> calls = boxes->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Type, mtError);
    const std::string prefix = "Could not execute defined filter.\n\rTry to regroup or remove filter and/or sort "
                               "conditions.\n\rError:\n\r";
    EXPECT_EQ(calls[0].Text.substr(0, prefix.size()), prefix);
    EXPECT_NE(calls[0].Text.find("NO_SUCH_COLUMN"), std::string::npos) << calls[0].Text;
    EXPECT_EQ(Query.SQLSchema().UserFilter(), filterInForce) << "the schema is restored";
    EXPECT_TRUE(Query.Active()) << "and the query opened again";
    EXPECT_EQ(Names(), (std::vector<std::string>{"Agnes Miller", "Esther Quinn"}));

    // Resetting the filter lets the dialog go; the next one starts empty.
    Query.SQLSchema().ResetFilter();
    EXPECT_EQ(Query.SQLSchema().QueryBuilder(), nullptr);
    ExecFilter("COUNTER", [&](TfrmSchemaEditor& d) { EXPECT_TRUE(Rows(*d.ConditionList()).empty()); });
}

TEST(SchemaEditorHook, TheUnitIsTheSchemasQueryBuilder)
{
    EXPECT_EQ(OnExecuteQueryBuilder, &TfrmSchemaEditor::DoExecuteQueryBuilder) << "installed as the library loads";
}

} // namespace
