// The table dataset over a shared or a private container: opening, field
// definitions and the type maps, moving, field data, editing and the
// reaction to changes made to the table by other code.

#include <gtest/gtest.h>

#include "KldDataSetTestSupport.h"
#include "KldEngineTestSupport.h"

namespace {

struct DataSetOverPeople : ::testing::Test
{
    PeopleTable People;
    TKldDataSet Ds;

    void SetUp() override
    {
        People.Add(1, "Smith", 10.5, EncodeDate(1950, 3, 1));
        People.Add(2, "Jones", 20);
        People.Add(3, Variant::Null(), 30);
        Ds.SetDataContainer(&People.Container);
        Ds.SetDataTableName("People");
    }
};

TEST_F(DataSetOverPeople, OpeningMakesOneFieldPerColumnWithTheMappedTypeAndSize)
{
    Ds.Open();
    ASSERT_EQ(Ds.FieldCount(), 4);
    struct Case
    {
        const char* Name;
        TFieldType Type;
        int Size;
        bool Required;
    };
    const Case cases[] = {
        {"ID", ftInteger, 0, true},
        {"NAME", ftString, 20, false},
        {"AMOUNT", ftFloat, 0, false},
        {"BORN", ftDate, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TFieldDef* def = Ds.FieldDefs().Find(c.Name);
        EXPECT_EQ(def->DataType(), c.Type);
        EXPECT_EQ(def->Size(), c.Size);
        EXPECT_EQ(def->Required(), c.Required);
        EXPECT_EQ(Ds.FieldByName(c.Name)->DataType(), c.Type);
    }
    EXPECT_EQ(Ds.RecordCount(), 3);
    EXPECT_EQ(Ds.GetDataTable(), People.Table);
}

TEST_F(DataSetOverPeople, TableNotFoundNamesTheTable)
{
    Ds.SetDataTableName("Nobody");
    try {
        Ds.Open();
        FAIL() << "opened without a table";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find("Table not found: Nobody"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(Ds.Active());
    EXPECT_EQ(Ds.GetDataTable(), nullptr);
}

TEST_F(DataSetOverPeople, WalksTheRowsAndReadsTheirValues)
{
    Ds.Open();
    EXPECT_EQ(Column(Ds, "NAME"), (std::vector<std::string>{"Smith", "Jones", ""}));
    Ds.First();
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 1);
    EXPECT_DOUBLE_EQ(Ds.FieldByName("AMOUNT")->AsFloat(), 10.5);
    EXPECT_EQ(Ds.RecNo(), 1);
    Ds.Last();
    EXPECT_EQ(Ds.RecNo(), 3);
    EXPECT_TRUE(Ds.FieldByName("NAME")->IsNull());
    Ds.SetRecNo(2);
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Jones");
    EXPECT_EQ(Ds.GetDataRow(), People.Table->GetRow(1));
}

TEST_F(DataSetOverPeople, DatesTravelAsTheEngineDoublesUnchanged)
{
    Ds.Open();
    TDateTime born = EncodeDate(1950, 3, 1);
    EXPECT_DOUBLE_EQ(Ds.FieldByName("BORN")->AsDateTime(), born);
    Ds.Edit();
    Ds.FieldByName("BORN")->SetAsDateTime(born + 1);
    Ds.Post();
    EXPECT_DOUBLE_EQ(People.Table->GetRow(0)->GetAsVariant("BORN").AsDateTime(), born + 1);
}

// Fractions finer than a millisecond would be lost by a native date-time
// format: they must come back bit for bit in both directions.
TEST(KldDataSetDates, DateTimeAndDateTimeColumnsKeepTheirDoublesExactly)
{
    struct Case
    {
        const char* Desc;
        TKldDataType Column;
        TFieldType Field;
        double Stored;
        double Written;
    };
    const Case cases[] = {
        {"date", cdtDate, ftDate, 40000.0, 40001.0},
        {"time", cdtTime, ftTime, 0.1234567891234, 0.9876543219876},
        {"date-time", cdtDateTime, ftDateTime, 40000.1234567891234, -693593.5000000001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("T");
        table->Columns().AddColumn("V", c.Column);
        table->BeginUpdate();
        TKldDataRow* row = table->New();
        row->SetAsVariant("V", Variant::FromDate(c.Stored));
        table->Insert(row);
        table->EndUpdate();

        TKldDataSet ds;
        ds.SetDataContainer(&container);
        ds.SetDataTableName("T");
        ds.Open();
        TField* field = ds.FieldByName("V");
        ASSERT_EQ(field->DataType(), c.Field);
        EXPECT_EQ(field->AsDateTime(), c.Stored);
        ds.Edit();
        field->SetAsDateTime(c.Written);
        ds.Post();
        EXPECT_EQ(table->GetRow(0)->GetAsVariant("V").AsDouble(), c.Written);
        EXPECT_EQ(field->AsDateTime(), c.Written);
    }
}

TEST_F(DataSetOverPeople, BookmarksReturnToTheirRowAfterRowsMoved)
{
    Ds.Open();
    Ds.Next();
    TBookmark jones = Ds.GetBookmark();
    People.Table->BeginUpdate();
    TKldDataRow* row = People.Table->New();
    row->SetAsVariant("ID", 0);
    People.Table->Insert(row, 0);
    People.Table->EndUpdate();
    Ds.GotoBookmark(jones);
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Jones");
    EXPECT_EQ(Ds.RecNo(), 3);
    EXPECT_TRUE(Ds.BookmarkValid(jones));
}

TEST_F(DataSetOverPeople, PostedEditsReachTheRowAndOldValuesShowTheOriginal)
{
    Ds.Open();
    Ds.Edit();
    Ds.FieldByName("NAME")->SetAsString("Smythe");
    EXPECT_EQ(Ds.FieldByName("NAME")->OldValue().AsString(), "Smith");
    EXPECT_TRUE(People.Table->GetRow(0)->GetState(drsEditing));
    Ds.Post();
    TKldDataRow* row = People.Table->GetRow(0);
    EXPECT_EQ(row->GetAsVariant("NAME").AsString(), "Smythe");
    EXPECT_TRUE(row->GetState(drsUpdated));
    EXPECT_FALSE(row->GetState(drsEditing));
    EXPECT_EQ(Ds.FieldByName("NAME")->OldValue().AsString(), "Smith");
    EXPECT_TRUE(Ds.IsDataModified());
}

TEST_F(DataSetOverPeople, CancelRestoresTheRow)
{
    Ds.Open();
    Ds.Edit();
    Ds.FieldByName("NAME")->SetAsString("Changed");
    Ds.Cancel();
    EXPECT_EQ(People.Table->GetRow(0)->GetAsVariant("NAME").AsString(), "Smith");
    EXPECT_FALSE(People.Table->GetRow(0)->GetState(drsEditing));
    EXPECT_FALSE(Ds.IsDataModified());
}

TEST_F(DataSetOverPeople, ANewRecordHasNoOldValuesAndGoesBeforeTheRecordItStartedOn)
{
    Ds.Open();
    Ds.Next();
    Ds.Insert();
    Ds.FieldByName("ID")->SetAsInteger(9);
    Ds.FieldByName("NAME")->SetAsString("New");
    EXPECT_TRUE(VarIsNull(Ds.FieldByName("NAME")->OldValue()));
    EXPECT_EQ(People.Table->RowCount(), 3) << "the table has not taken it yet";
    Ds.Post();
    EXPECT_EQ(People.Table->RowCount(), 4);
    EXPECT_EQ(People.Table->GetRow(1)->GetAsVariant("NAME").AsString(), "New");
    EXPECT_TRUE(People.Table->GetRow(1)->GetState(drsInserted));
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "New") << "the cursor stays on the posted row";
    EXPECT_EQ(Ds.RecNo(), 2);
}

TEST_F(DataSetOverPeople, AppendAddsAtTheEndAndAKeyedTableSortsTheRowIn)
{
    Ds.Open();
    Ds.AppendRecord({7, "Last"});
    EXPECT_EQ(People.Table->GetRow(3)->GetAsVariant("NAME").AsString(), "Last");

    PeopleTable keyed(true);
    keyed.Add(1, "A");
    keyed.Add(5, "E");
    TKldDataSet ds;
    ds.SetDataContainer(&keyed.Container);
    ds.SetDataTableName("People");
    ds.Open();
    ds.Last();
    ds.Insert();
    ds.FieldByName("ID")->SetAsInteger(3);
    ds.Post();
    EXPECT_EQ(Column(ds, "ID"), (std::vector<std::string>{"1", "3", "5"}));
}

TEST(KldDataSetEditing, AnEngineErrorOnPostKeepsTheInsertState)
{
    PeopleTable keyed(true);
    keyed.Add(1, "A");
    TKldDataSet ds;
    ds.SetDataContainer(&keyed.Container);
    ds.SetDataTableName("People");
    ds.Open();
    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(1);
    ExpectKldErrorText([&] { ds.Post(); }, "Primary key violation in table \"People\"");
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_EQ(keyed.Table->RowCount(), 1);
    ds.FieldByName("ID")->SetAsInteger(2);
    ds.Post();
    EXPECT_EQ(keyed.Table->RowCount(), 2);
}

TEST(KldDataSetEditing, RequiredFieldsArePresetForANewRecord)
{
    TKldDataSet ds;
    ds.FieldDefs().Add("CODE", ftString, 5, true);
    ds.FieldDefs().Add("LEVEL", ftInteger, 0, true);
    ds.FieldDefs().Add("NOTE", ftString, 5, false);
    ds.Open();
    ds.FieldByName("CODE")->SetDefaultExpression("X");
    ds.FieldByName("NOTE")->SetDefaultExpression("Y");
    ds.Append();
    EXPECT_EQ(ds.FieldByName("CODE")->AsString(), "X");
    EXPECT_TRUE(ds.FieldByName("LEVEL")->IsNull()) << "an empty default sets nothing but texts";
    EXPECT_TRUE(ds.FieldByName("NOTE")->IsNull()) << "only required fields are preset";
    ds.Cancel();
    ds.FieldByName("CODE")->SetDefaultExpression("");
    ds.FieldByName("LEVEL")->SetDefaultExpression("5");
    ds.Append();
    EXPECT_FALSE(ds.FieldByName("CODE")->IsNull());
    EXPECT_EQ(ds.FieldByName("CODE")->AsString(), "");
    EXPECT_EQ(ds.FieldByName("LEVEL")->AsInteger(), 5);
    ds.Cancel();
    ds.AppendRecord({Variant(), Variant(), "n"});
    EXPECT_EQ(ds.FieldByName("LEVEL")->AsInteger(), 5) << "one-step appends are preset too";
}

TEST_F(DataSetOverPeople, DeletingLeavesTheRowInTheDeletedTail)
{
    Ds.Open();
    Ds.Last();
    Ds.Delete();
    EXPECT_EQ(People.Table->RowCount(), 2);
    EXPECT_EQ(People.Table->DeletedCount(), 1);
    EXPECT_EQ(Ds.RecordCount(), 2);
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Jones") << "the last record follows a deleted last one";
    EXPECT_TRUE(Ds.IsDataModified());
    People.Table->AcceptChanges();
    EXPECT_EQ(People.Table->DeletedCount(), 0);
}

TEST_F(DataSetOverPeople, OrderByDescendingKeepsNullsFirst)
{
    Ds.SetOrderBy("-NAME");
    Ds.Open();
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"3", "1", "2"}));
    Ds.SetOrderBy("NAME");
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"3", "2", "1"}));
}

TEST_F(DataSetOverPeople, TextFieldsAreCutToTheirSizeWithoutSplittingACharacter)
{
    People.Add(4, "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
    TKldDataSet ds;
    ds.SetDataContainer(&People.Container);
    ds.SetDataTableName("People");
    TStringField name;
    name.SetFieldName("NAME");
    name.SetSize(3);
    name.SetDataSet(&ds);
    ds.Open();
    ds.Last();
    EXPECT_EQ(name.AsString(), "\xC3\xA9t\xC3\xA9");
    ds.Close();
    name.SetSize(5);
    ds.Open();
    ds.Last();
    EXPECT_EQ(name.AsString(), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC")
        << "a multi-byte text within the size is whole";
    ds.Close();
    name.SetDataSet(nullptr);
}

TEST_F(DataSetOverPeople, CalculatedFieldsAreWrittenOnlyWhileCalculating)
{
    TStringField* calc = new TStringField(&Ds);
    calc->SetFieldName("GREETING");
    calc->SetSize(40);
    calc->SetFieldKind(fkCalculated);
    for (const char* name : {"ID", "NAME"}) {
        TField* field = name[0] == 'I' ? static_cast<TField*>(new TIntegerField(&Ds)) : new TStringField(&Ds);
        field->SetFieldName(name);
        if (name[0] == 'N')
            field->SetSize(20);
        field->SetDataSet(&Ds);
    }
    calc->SetDataSet(&Ds);
    Ds.OnCalcFields = [](TDataSet* ds) {
        ds->FieldByName("GREETING")->SetAsString("Hello " + ds->FieldByName("NAME")->AsString());
    };
    Ds.Open();
    EXPECT_EQ(calc->AsString(), "Hello Smith");
    Ds.Next();
    EXPECT_EQ(calc->AsString(), "Hello Jones");
    Ds.Edit();
    try {
        calc->SetAsString("x");
        FAIL() << "a calculated field took a value outside the calculation";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find(
                      "Unable to assign calculated field (GREETING) outside of OnCalcField event handler"),
                  std::string::npos)
            << e.Message();
    }
    Ds.Cancel();
}

TEST_F(DataSetOverPeople, DisplayLabelsComeFromTheColumns)
{
    People.Table->Column(1)->SetDisplayLabel("Surname");
    Ds.Open();
    EXPECT_EQ(Ds.FieldByName("NAME")->DisplayLabel(), "Surname");
    EXPECT_EQ(Ds.FieldByName("ID")->DisplayLabel(), "ID");
    Ds.Close();
    Ds.SetAutoDisplayLabels(false);
    Ds.Open();
    EXPECT_EQ(Ds.FieldByName("NAME")->DisplayLabel(), "NAME");
}

TEST_F(DataSetOverPeople, RowsChangedByOtherCodeShowAtOnce)
{
    TDataSource source;
    source.SetDataSet(&Ds);
    TDataSetNoticeLink link;
    link.SetDataSource(&source);
    Ds.Open();
    People.Add(4, "Brown");
    EXPECT_EQ(Ds.RecordCount(), 4);
    EXPECT_EQ(Column(Ds, "NAME").back(), "Brown");

    // Deleting the row the dataset shows moves it to the row that follows.
    Ds.First();
    Ds.Next();
    link.Notices.clear();
    People.Table->GetRow(1)->Delete();
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "");
    EXPECT_EQ(Ds.RecordCount(), 3);
    EXPECT_GE(link.Count("changed"), 1);

    // A row deleted before the active one keeps the dataset on its row.
    Ds.Last();
    People.Table->GetRow(0)->Delete();
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Brown");
    EXPECT_EQ(Ds.RecNo(), 2);
    link.SetDataSource(nullptr);
}

TEST_F(DataSetOverPeople, ATableDataChangeCancelsAPendingEditAndRefreshes)
{
    Ds.Open();
    Ds.Edit();
    Ds.FieldByName("NAME")->SetAsString("Pending");
    People.Table->BeginUpdate();
    People.Table->GetRow(2)->SetAsVariant("NAME", "Filled");
    People.Table->EndUpdate();
    EXPECT_EQ(Ds.State(), dsBrowse);
    EXPECT_EQ(People.Table->GetRow(0)->GetAsVariant("NAME").AsString(), "Smith");
    EXPECT_EQ(Column(Ds, "NAME").back(), "Filled");
}

TEST_F(DataSetOverPeople, DeactivatingTheContainerClosesTheDataSet)
{
    Ds.Open();
    People.Container.SetActive(false);
    EXPECT_FALSE(Ds.Active());
    Ds.Open();
    EXPECT_EQ(Ds.RecordCount(), 0) << "the rows went with the deactivation";
}

TEST_F(DataSetOverPeople, TheDataSetForgetsADestroyedContainer)
{
    auto container = std::make_unique<TKldDataContainer>();
    container->Tables().Add()->SetName("People");
    Ds.SetDataContainer(container.get());
    Ds.Open();
    container.reset();
    EXPECT_FALSE(Ds.Active());
    EXPECT_EQ(Ds.DataContainer(), nullptr);
}

TEST_F(DataSetOverPeople, ChangingContainerOrTableNameCloses)
{
    Ds.Open();
    Ds.SetDataTableName("People");
    EXPECT_TRUE(Ds.Active()) << "the same name changes nothing";
    Ds.SetDataTableName("Other");
    EXPECT_FALSE(Ds.Active());
    Ds.SetDataTableName("People");
    Ds.Open();
    TKldDataContainer other;
    Ds.SetDataContainer(&other);
    EXPECT_FALSE(Ds.Active());
}

// --- Private container -----------------------------------------------------------------

TEST(KldDataSetPrivate, PersistentDefinitionsBecomeTheColumnsOfTable)
{
    TKldDataSet ds;
    ds.FieldDefs().Add("ID", ftInteger, 0, true);
    ds.FieldDefs().Add("NAME", ftString, 12);
    ds.Open();
    ASSERT_NE(ds.GetDataTable(), nullptr);
    EXPECT_EQ(ds.DataTableName(), "Table");
    EXPECT_EQ(ds.GetDataTable()->Name(), "Table");
    EXPECT_EQ(ds.GetDataTable()->Column(1)->DataType(), cdtString);
    EXPECT_EQ(ds.GetDataTable()->Column(1)->DataLength(), 12);
    ds.AppendRecord({1, "One"});
    ds.AppendRecord({2, "Two"});
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"One", "Two"}));
    ds.Close();
    EXPECT_EQ(ds.GetDataTable(), nullptr);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 0) << "the private container went at close";
}

TEST(KldDataSetPrivate, EveryFieldTypeWithAColumnTypeKeepsItsValue)
{
    struct Case
    {
        TFieldType Type;
        int Size;
        TKldDataType Column;
        Variant Value;
    };
    const Case cases[] = {
        {ftString, 10, cdtString, Variant("text")},
        {ftFixedChar, 4, cdtString, Variant("abcd")},
        {ftWideString, 10, cdtWideString, Variant("w\xC3\xBC")},
        {ftSmallint, 0, cdtSmallInt, Variant(-7)},
        {ftInteger, 0, cdtInteger, Variant(123456)},
        {ftWord, 0, cdtInteger, Variant(65000)},
        {ftAutoInc, 0, cdtInteger, Variant(42)},
        {ftLargeint, 0, cdtLargeInt, Variant(static_cast<long long>(1) << 40)},
        {ftBoolean, 0, cdtBoolean, Variant(true)},
        {ftFloat, 0, cdtFloat, Variant(2.5)},
        {ftCurrency, 0, cdtFloat, Variant(12.25)},
        {ftDate, 0, cdtDate, Variant::FromDate(40000)},
        {ftTime, 0, cdtTime, Variant::FromDate(0.25)},
        {ftDateTime, 0, cdtDateTime, Variant::FromDate(40000.5)},
        {ftMemo, 0, cdtMemo, Variant("a long memo")},
        {ftBlob, 0, cdtBlob, Variant(std::string("\x01\x00\x02", 3))},
        {ftBytes, 3, cdtBlob, Variant(std::string("\x01\x02\x03", 3))},
        {ftVarBytes, 8, cdtBlob, Variant(std::string("\x05\x06", 2))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FieldTypeName(c.Type));
        TKldDataSet ds;
        ds.FieldDefs().Add("V", c.Type, c.Size);
        ds.Open();
        EXPECT_EQ(ds.GetDataTable()->Column(0)->DataType(), c.Column);
        ds.Append();
        ds.FieldByName("V")->SetValue(c.Value);
        ds.Post();
        EXPECT_FALSE(ds.GetDataTable()->GetRow(0)->GetValue(ds.GetDataTable()->Column(0)).IsNull());
        EXPECT_EQ(VarToStr(ds.FieldByName("V")->Value()), VarToStr(c.Value));
    }
}

TEST(KldDataSetPrivate, TheTypeMapsBetweenColumnsAndFields)
{
    struct Case
    {
        TKldDataType Column;
        TFieldType Field;
    };
    const Case cases[] = {
        {cdtSmallInt, ftSmallint},
        {cdtLargeInt, ftLargeint},
        {cdtBoolean, ftBoolean},
        {cdtInteger, ftInteger},
        {cdtFloat, ftFloat},
        {cdtDateTime, ftDateTime},
        {cdtDate, ftDate},
        {cdtTime, ftTime},
        {cdtString, ftString},
        {cdtWideString, ftWideString},
        {cdtGuid, ftGuid},
        {cdtMemo, ftMemo},
        {cdtBlob, ftBlob},
        {cdtBCD, ftBCD},
        {cdtSQLTimeStamp, ftTimeStamp},
        {cdtUnknown, ftUnknown},
        {cdtReference, ftUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(DataTypeNames[c.Column]);
        EXPECT_EQ(TKldDataSet::FieldTypeForColumn(c.Column), c.Field);
        if (c.Field != ftUnknown) {
            EXPECT_EQ(TKldDataSet::ColumnTypeForField(c.Field), c.Column);
        }
    }
    EXPECT_EQ(TKldDataSet::ColumnTypeForField(ftCurrency), cdtFloat);
    EXPECT_EQ(TKldDataSet::ColumnTypeForField(ftFmtMemo), cdtMemo);
    EXPECT_EQ(TKldDataSet::ColumnTypeForField(ftGraphic), cdtBlob);
    EXPECT_EQ(TKldDataSet::ColumnTypeForField(ftFMTBcd), cdtBCD);
    EXPECT_EQ(TKldDataSet::ColumnTypeForField(ftVariant), cdtUnknown);
    EXPECT_EQ(TKldDataSet::FieldDefSize(ftString, 0), 1);
    EXPECT_EQ(TKldDataSet::FieldDefSize(ftWideString, 7), 7);
    EXPECT_EQ(TKldDataSet::FieldDefSize(ftBCD, 4), 4);
    EXPECT_EQ(TKldDataSet::FieldDefSize(ftMemo, 100), 4);
    EXPECT_EQ(TKldDataSet::FieldDefSize(ftInteger, 9), 0);
}

TEST(KldDataSetPrivate, PersistentFieldsMakeTheDefinitionsAndAReadOnlyColumn)
{
    TKldDataSet ds;
    auto* id = new TIntegerField(&ds);
    id->SetFieldName("ID");
    id->SetReadOnly(true);
    id->SetDataSet(&ds);
    auto* name = new TStringField(&ds);
    name->SetFieldName("NAME");
    name->SetSize(15);
    name->SetDataSet(&ds);
    auto* calc = new TIntegerField(&ds);
    calc->SetFieldName("CALC");
    calc->SetFieldKind(fkCalculated);
    calc->SetDataSet(&ds);
    ds.Open();
    ASSERT_EQ(ds.FieldDefs().Count(), 2) << "calculated fields get no definition";
    EXPECT_EQ(ds.GetDataTable()->ColumnCount(), 2);
    EXPECT_TRUE(ds.GetDataTable()->Column(0)->ReadOnly());
    EXPECT_EQ(ds.GetDataTable()->Column(1)->DataLength(), 15);
}

} // namespace

namespace {

TEST(KldDataSetPrivate, AStructureChangeOfThePrivateTableClosesTheDataSetSafely)
{
    TKldDataSet ds;
    ds.FieldDefs().Add("NAME", ftString, 10);
    ds.Open();
    ds.AppendRecord({"x"});
    // The container deactivates while it notifies its cursors: the dataset
    // closes from inside that notice without pulling the container away.
    ds.GetDataTable()->Columns().AddColumn("MORE", cdtInteger);
    EXPECT_FALSE(ds.Active());
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_EQ(ds.GetDataTable()->ColumnCount(), 1) << "the definitions make the columns again";
}

TEST(KldDataSetFill, AnEmptyTableIsFilledThroughTheAdapterWhenAsked)
{
    PeopleTable people;
    KldRecordingAdapter adapter;
    people.Container.SetDataAdapter(&adapter);
    adapter.Action = [&](const std::string&) { people.Add(1, "Filled"); };
    TKldDataSet ds;
    ds.SetDataContainer(&people.Container);
    ds.SetDataTableName("People");
    ds.Open();
    EXPECT_TRUE(adapter.Calls.empty()) << "off by default";
    ds.Close();
    ds.SetAutoFillDataTable(true);
    ds.Open();
    EXPECT_EQ(adapter.Calls, (std::vector<std::string>{"Fill(table People)"}));
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"Filled"}));
    ds.Close();
    ds.Open();
    EXPECT_EQ(adapter.Calls.size(), 1u) << "a table with rows is not filled again";
    people.Container.SetDataAdapter(nullptr);
}

TEST(KldDataSetReferences, TheActiveRowAnswersItsReferencedRow)
{
    TKldDataContainer container;
    TKldDataTable* owners = container.Tables().Add();
    owners->SetName("Owners");
    owners->Columns().AddColumn("ID", cdtInteger)->SetPrimaryKey(true);
    owners->Columns().AddColumn("NAME", cdtString, 10);
    TKldDataTable* pets = container.Tables().Add();
    pets->SetName("Pets");
    pets->Columns().AddColumn("OWNER", cdtInteger);
    TKldDataColumn* ref = pets->Columns().AddColumn("OWNERREF", cdtReference);
    ref->SetRelationName("Owner_Pets");
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("Owner_Pets");
    relation->SetParentTableName("Owners");
    relation->SetChildTableName("Pets");
    relation->SetParentColumnNames("ID");
    relation->SetChildColumnNames("OWNER");
    container.SetActive(true);
    TKldDataRow* owner = owners->New();
    owner->SetAsVariant("ID", 4);
    owner->SetAsVariant("NAME", "Ann");
    owners->Insert(owner);

    TKldDataSet ds;
    ds.SetDataContainer(&container);
    ds.SetDataTableName("Pets");
    ds.Open();
    EXPECT_EQ(ds.GetReferencedRow(ref), owners->NullRow()) << "no record: the null row stands in";
    ds.AppendRecord({4});
    EXPECT_EQ(ds.GetReferencedRow(ref), owner);
}

TEST(KldDataSetOrder, ChangingTheOrderKeepsTheActiveRow)
{
    PeopleTable people;
    people.Add(1, "C");
    people.Add(2, "A");
    people.Add(3, "B");
    TKldDataSet ds;
    ds.SetDataContainer(&people.Container);
    ds.SetDataTableName("People");
    ds.Open();
    ds.Last();
    ds.SetOrderBy("NAME");
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_THROW(ds.SetOrderBy("NOSUCH"), Exception);
    EXPECT_EQ(ds.OrderBy(), "NAME") << "an order naming no column is refused";
    EXPECT_EQ(Column(ds, "ID"), (std::vector<std::string>{"2", "3", "1"}));
}

} // namespace
