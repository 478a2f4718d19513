#include <gtest/gtest.h>

#include <memory>

#include "KldEngineTestSupport.h"
#include "platform/DateUtils.h"
#include "platform/FMTBcd.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"

namespace
{

class KldDataRowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        log = new KldEventLog(&container);
        table = container.Tables().Add();
        table->SetName("T");
        TKldDataColumns& c = table->Columns();
        id = c.AddColumn("Id", cdtInteger);
        id->SetPrimaryKey(true);
        name = c.AddColumn("Name", cdtString);
        amount = c.AddColumn("Amount", cdtFloat);
        day = c.AddColumn("Day", cdtDate);
        clock = c.AddColumn("Clock", cdtTime);
        stamp = c.AddColumn("Stamp", cdtDateTime);
        flag = c.AddColumn("Flag", cdtBoolean);
        small = c.AddColumn("Small", cdtSmallInt);
        big = c.AddColumn("Big", cdtLargeInt);
        wide = c.AddColumn("Wide", cdtWideString);
        memo = c.AddColumn("Note", cdtMemo);
        blob = c.AddColumn("Data", cdtBlob);
        guid = c.AddColumn("G", cdtGuid);
        money = c.AddColumn("Money", cdtBCD);
        ts = c.AddColumn("TS", cdtSQLTimeStamp);
        unknown = c.AddColumn("U", cdtUnknown);
        container.SetActive(true);
    }

    // A stored row with key `key`, inserted outside a bulk update.
    TKldDataRow* AddRow(int key, const std::string& text = "x")
    {
        TKldDataRow* row = table->New();
        row->SetValue(id, key);
        row->SetValue(name, text);
        return table->Insert(row);
    }

    TKldDataContainer container;
    KldEventLog* log = nullptr;
    TKldDataTable* table = nullptr;
    TKldDataColumn *id, *name, *amount, *day, *clock, *stamp, *flag, *small, *big, *wide, *memo, *blob, *guid,
        *money, *ts, *unknown;
};

} // namespace

TEST_F(KldDataRowTest, DateKeepsDateAndTimeKeepsTime)
{
    std::unique_ptr<TKldDataRow> row(table->New());
    row->SetValue(day, Variant::FromDate(40000.75));
    row->SetValue(clock, Variant::FromDate(40000.75));
    row->SetValue(stamp, Variant::FromDate(40000.75));
    EXPECT_EQ(row->GetValue(day).AsDateTime(), 40000.0);
    EXPECT_EQ(row->GetValue(clock).AsDateTime(), 0.75);
    EXPECT_EQ(row->GetValue(stamp).AsDateTime(), 40000.75);
    EXPECT_EQ(VarType(row->GetValue(day)), varDate);
}

TEST_F(KldDataRowTest, NullAndEmptyClearTheColumn)
{
    std::unique_ptr<TKldDataRow> row(table->New());
    for (const Variant& none : {Variant(), Variant::Null()})
    {
        row->SetValue(name, "text");
        ASSERT_TRUE(row->GetAssignedValue(name));
        row->SetValue(name, none);
        EXPECT_FALSE(row->GetAssignedValue(name));
        EXPECT_TRUE(VarIsNull(row->GetValue(name)));
        EXPECT_EQ(row->GetAsString(name), "");
    }
}

TEST_F(KldDataRowTest, VariantTypesOfValues)
{
    std::unique_ptr<TKldDataRow> row(table->New());
    struct Case
    {
        const char* Desc;
        TKldDataColumn* Column;
        Variant Input;
        TVarType Expected;
    };
    const Case cases[] = {
        {"smallint", small, Variant(12), varSmallint},
        {"integer", id, Variant("42"), varInteger},
        {"largeint", big, Variant(5000000000LL), varInt64},
        {"boolean", flag, Variant(true), varBoolean},
        {"float", amount, Variant(1.5), varDouble},
        {"datetime", stamp, Variant::FromDate(1.5), varDate},
        {"string", name, Variant(7), varString},
        {"widestring", wide, Variant("w"), varOleStr},
        {"memo", memo, Variant("m"), varString},
        {"blob", blob, Variant(std::string("\0\1", 2)), varString},
        {"bcd reads as double", money, Variant(2.5), varDouble},
        {"time stamp reads as date", ts, Variant::FromDate(40000.5), varDate},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        row->SetValue(c.Column, c.Input);
        EXPECT_EQ(VarType(row->GetValue(c.Column)), c.Expected);
    }
    EXPECT_EQ(row->GetValue(big).AsInt64(), 5000000000LL);
    EXPECT_EQ(row->GetValue(blob).AsString(), std::string("\0\1", 2));
    EXPECT_EQ(row->GetValue(money).AsDouble(), 2.5);
    EXPECT_EQ(row->GetValue(ts).AsDateTime(), 40000.5);
    EXPECT_EQ(row->GetValue(flag).AsBoolean(), true);
}

TEST_F(KldDataRowTest, TextForms)
{
    std::unique_ptr<TKldDataRow> row(table->New());
    row->SetValue(id, -7);
    row->SetValue(small, -3);
    row->SetValue(big, 9000000000LL);
    row->SetValue(flag, true);
    row->SetValue(amount, 2.25);
    row->SetValue(stamp, Variant::FromDate(40000.5));
    row->SetValue(day, Variant::FromDate(40000.0));
    row->SetValue(clock, Variant::FromDate(0.5));
    row->SetValue(name, "abc");
    row->SetValue(wide, "\xC3\xA9");
    row->SetValue(blob, "bytes");
    row->SetAsString(guid, "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    row->SetAsString(money, "12.5");
    row->SetValue(ts, Variant::FromDate(40000.5));
    unsigned char zero[8] = {};
    row->SetColumnData(unknown, zero);

    struct Case
    {
        const char* Desc;
        TKldDataColumn* Column;
        std::string Expected;
    };
    const Case cases[] = {
        {"integer", id, "-7"},
        {"smallint", small, "-3"},
        {"largeint", big, "9000000000"},
        {"boolean", flag, "True"},
        {"float", amount, FloatToStr(2.25)},
        {"datetime", stamp, DateTimeToStr(40000.5)},
        {"date", day, DateToStr(40000.0)},
        {"time", clock, TimeToStr(0.5)},
        {"string", name, "abc"},
        {"widestring", wide, "\xC3\xA9"},
        {"blob", blob, "{BLOB}"},
        {"guid", guid, "{12345678-9ABC-DEF0-1234-56789ABCDEF0}"},
        {"bcd", money, BcdToStr(StrToBcd("12.5"))},
        {"time stamp", ts, SQLTimeStampToStr("", DateTimeToSQLTimeStamp(40000.5))},
        {"unknown", unknown, "{N\\A}"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(row->GetAsString(c.Column), c.Expected);
    }
    row->SetValue(flag, false);
    EXPECT_EQ(row->GetAsString(flag), "False");
}

TEST_F(KldDataRowTest, TextsAreWrittenThroughValuesNotPointers)
{
    TKldDataRow* row = AddRow(1, "kept");
    table->AcceptChanges();
    // Reading gives the text value; asking to write in place is refused
    // before the row makes any copy for the write.
    EXPECT_EQ(KldTextView(row->GetDataPtr(name, false)), "kept");
    EXPECT_THROW(row->GetDataPtr(name, true), EAssertionFailed);
    EXPECT_EQ(row->OriginalRow(), nullptr);
    EXPECT_FALSE(row->GetState(drsUpdated));
    // A text copied out comes back in through its value form.
    TKldStoredString* copy = nullptr;
    ASSERT_TRUE(row->GetColumnData(name, &copy));
    EXPECT_EQ(TKldStoredString::View(copy), "kept");
    row->SetColumnData(memo, TKldStoredString::Value(copy));
    TKldStoredString::Release(copy);
    EXPECT_EQ(row->GetAsString(memo), "kept");
    EXPECT_NE(row->GetDataPtr(amount, true), nullptr);
    // The buffer size is the table's; the texts' room comes on top of it.
    EXPECT_EQ(row->GetBufferSize(), table->BufferSize());
    EXPECT_GE(row->Capacity(), table->BufferSize() + 9 * 4);
}

TEST_F(KldDataRowTest, SetAsStringParsesByType)
{
    std::unique_ptr<TKldDataRow> row(table->New());
    row->SetAsString(id, "123");
    row->SetAsString(small, "-32768");
    row->SetAsString(big, "-9000000000");
    row->SetAsString(flag, "true");
    row->SetAsString(amount, "1.5");
    row->SetAsString(name, "plain");
    row->SetAsString(stamp, DateTimeToStr(40000.5));
    EXPECT_EQ(row->GetValue(id).AsInteger(), 123);
    EXPECT_EQ(row->GetValue(small).AsInteger(), -32768);
    EXPECT_EQ(row->GetValue(big).AsInt64(), -9000000000LL);
    EXPECT_TRUE(row->GetValue(flag).AsBoolean());
    EXPECT_EQ(row->GetValue(amount).AsDouble(), 1.5);
    EXPECT_EQ(row->GetAsString(name), "plain");
    EXPECT_EQ(row->GetValue(stamp).AsDateTime(), 40000.5);
}

TEST_F(KldDataRowTest, ConversionFailuresKeepTheOldValue)
{
    std::unique_ptr<TKldDataRow> row(table->New());
    row->SetValue(id, 5);
    row->SetValue(small, 5);
    row->SetAsString(guid, "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    row->SetValue(amount, 1.0);
    struct Case
    {
        const char* Desc;
        std::function<void()> Body;
    };
    const Case cases[] = {
        {"integer text", [&] { row->SetAsString(id, "abc"); }},
        {"empty integer text", [&] { row->SetAsString(id, ""); }},
        {"integer variant", [&] { row->SetValue(id, "12x"); }},
        {"smallint overflow text", [&] { row->SetAsString(small, "70000"); }},
        {"smallint overflow variant", [&] { row->SetValue(small, 40000); }},
        {"malformed guid", [&] { row->SetAsString(guid, "{1234-not-a-guid}"); }},
        {"float text", [&] { row->SetAsString(amount, "1,5x"); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_THROW(c.Body(), Exception);
    }
    EXPECT_EQ(row->GetValue(id).AsInteger(), 5);
    EXPECT_EQ(row->GetValue(small).AsInteger(), 5);
    EXPECT_EQ(row->GetAsString(guid), "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_EQ(row->GetValue(amount).AsDouble(), 1.0);
}

TEST_F(KldDataRowTest, GuidWorksOnlyAsText)
{
    std::unique_ptr<TKldDataRow> row(table->New());
    ExpectKldError([&] { row->SetValue(guid, "{12345678-9ABC-DEF0-1234-56789ABCDEF0}"); },
                   "Unable to assign column value as variant. Table: T; Column: G");
    row->SetAsString(guid, "{12345678-9abc-def0-1234-56789abcdef0}");
    EXPECT_EQ(row->GetAsString(guid), "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    ExpectKldError([&] { row->GetValue(guid); }, "Unable to cast column value to variant. Table: T; Column: G");
    ExpectKldError([&] { row->SetAsString(unknown, "x"); },
                   "Unable to assign column value as variant. Table: T; Column: U");
    ExpectKldError([&] { row->GetAsVariant("Nope"); }, "Column Nope not found in table T");
    row->SetAsVariant("name", "by name");
    EXPECT_EQ(row->GetAsVariant("NAME").AsString(), "by name");
}

TEST_F(KldDataRowTest, WritingAStoredRowOutsideAnEdit)
{
    TKldDataRow* row = AddRow(1);
    row->AcceptChanges();
    log->Events.clear();

    row->SetValue(amount, 3.5);
    EXPECT_TRUE(row->GetState(drsUpdated));
    ASSERT_EQ(log->Events.size(), 1u);
    EXPECT_EQ(log->Events[0].first, row);
    EXPECT_EQ(log->Events[0].second, cdeRowModified);
    EXPECT_TRUE(VarIsNull(row->GetOriginalValue(amount)));
    EXPECT_EQ(row->GetValue(amount).AsDouble(), 3.5);

    AddRow(2);
    log->Events.clear();
    ExpectKldError([&] { row->SetValue(id, 2); }, "Primary key violation in table \"T\"");
    EXPECT_EQ(row->GetValue(id).AsInteger(), 1);
    EXPECT_FALSE(row->GetState(drsEditing));
    EXPECT_EQ(table->GetRow(0), row) << "the row keeps its key position";
    EXPECT_TRUE(log->Events.empty());

    row->SetValue(id, 3);
    EXPECT_EQ(table->GetRow(1), row) << "a key change moves the row";
    EXPECT_EQ(log->Count(cdeRowModified), 1);
}

TEST_F(KldDataRowTest, AnEditTheCollationIgnoresIsStillAChange)
{
    // Texts the collation orders equal but whose bytes differ: the edit must
    // count, or a server-bound dataset would send nothing for it.
    struct Case
    {
        const char* Desc;
        TKldDataColumn* Column;
        std::string Before;
        std::string After;
        bool Modified;
    };
    const Case cases[] = {
        {"a control character added", name, "Ann", std::string("Ann\x01"), true},
        {"a control character in a memo", memo, "line", std::string("line\x02"), true},
        {"composed and decomposed accents", wide, "caf\xC3\xA9", "cafe\xCC\x81", true},
        {"the same text", name, "Ann", "Ann", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldDataColumn* column = c.Column;
        TKldDataRow* row = AddRow(static_cast<int>(&c - cases) + 10);
        row->SetValue(column, c.Before);
        row->BeginEdit();
        row->SetValue(column, c.After);
        EXPECT_EQ(row->IsModified(), c.Modified);
        EXPECT_EQ(row->IsModified({column}), c.Modified);
        row->CancelEdit();
    }
}

TEST_F(KldDataRowTest, EditingStates)
{
    TKldDataRow* row = AddRow(1);
    ExpectKldError([&] { row->EndEdit(); }, "Row is not in editing state");
    ExpectKldError([&] { row->CancelEdit(); }, "Row is not in editing state");
    row->BeginEdit();
    ExpectKldError([&] { row->BeginEdit(); }, "Row is already being edited");
    row->SetValue(name, "changed");
    EXPECT_TRUE(row->IsModified());
    EXPECT_TRUE(row->IsModified({name}));
    EXPECT_FALSE(row->IsModified({id}));
    row->CancelEdit();
    EXPECT_EQ(row->GetAsString(name), "x");
    EXPECT_FALSE(row->GetState(drsEditing));

    row->BeginEdit();
    row->SetValue(name, "kept");
    log->Events.clear();
    row->EndEdit();
    EXPECT_EQ(row->GetAsString(name), "kept");
    EXPECT_EQ(log->Count(cdeRowModified), 1);
    EXPECT_EQ(row->EditRow(), nullptr);

    // Rows that are not stored take values directly and ignore edits.
    std::unique_ptr<TKldDataRow> loose(table->New());
    EXPECT_NO_THROW(loose->BeginEdit());
    EXPECT_NO_THROW(loose->EndEdit());
    EXPECT_FALSE(loose->GetState(drsEditing));
}

TEST_F(KldDataRowTest, ListenersSeeOldValuesDuringTheModifiedReport)
{
    TKldDataRow* row = AddRow(1, "before");
    struct Watcher : KldEventLog
    {
        using KldEventLog::KldEventLog;
        TKldDataColumn* Column = nullptr;
        std::string Seen;
        void NotifyEvent(TObject* sender, TKldDataEventType event) override
        {
            auto* r = dynamic_cast<TKldDataRow*>(sender);
            if (event == cdeRowModified && r && r->EditRow())
                Seen = r->EditRow()->GetAsString(Column);
        }
    };
    auto* watcher = new Watcher(&container);
    watcher->Column = name;
    row->BeginEdit();
    row->SetValue(name, "after");
    row->EndEdit();
    EXPECT_EQ(watcher->Seen, "before");
}

TEST_F(KldDataRowTest, CancelOfAnEditBegunWithoutBuffer)
{
    TKldDataTable* plain = container.Tables().Add();
    plain->SetName("Plain");
    TKldDataColumn* v = plain->Columns().AddColumn("V", cdtInteger);
    TKldDataRow* row = plain->Insert(plain->NewRow());
    EXPECT_FALSE(row->HasBuffer());
    row->BeginEdit();
    row->SetValue(v, 1);
    EXPECT_TRUE(row->IsModified()) << "all NULL before the edit, a value now";
    row->CancelEdit();
    EXPECT_FALSE(row->HasBuffer());
    EXPECT_TRUE(VarIsNull(row->GetValue(v)));
}

TEST_F(KldDataRowTest, KeyChangeOfARowWithoutBufferIsSeen)
{
    // Rows arrive all NULL (as fetched placeholders do) in a bulk update.
    table->BeginUpdate();
    TKldDataRow* empty = table->Insert(table->NewRow());
    table->EndUpdate();
    AddRow(1);
    AddRow(2);
    ASSERT_EQ(table->GetRow(0), empty);
    empty->BeginEdit();
    empty->SetValue(id, 9);
    EXPECT_TRUE(empty->IsModified({id}));
    empty->EndEdit();
    EXPECT_EQ(table->GetRow(2), empty) << "moved to its key position";
}

TEST_F(KldDataRowTest, OriginalValues)
{
    TKldDataRow* inserted = AddRow(1, "first");
    inserted->SetValue(name, "second");
    EXPECT_EQ(inserted->GetOriginalValue(name).AsString(), "second") << "inserted rows keep no original";

    table->BeginUpdate();
    TKldDataRow* fetched = AddRow(2, "fetched");
    TKldDataRow* blank = table->Insert(table->NewRow());
    table->EndUpdate();
    fetched->SetValue(name, "edited");
    EXPECT_EQ(fetched->GetOriginalValue(name).AsString(), "fetched");
    EXPECT_EQ(fetched->GetAsString(name), "edited");

    // A row without buffer had only NULLs: that is its original.
    blank->SetValue(amount, 4.0);
    EXPECT_TRUE(VarIsNull(blank->GetOriginalValue(amount)));

    fetched->RejectChanges();
    EXPECT_EQ(fetched->GetAsString(name), "fetched");
    EXPECT_FALSE(fetched->GetState(drsUpdated));
    fetched->SetValue(name, "again");
    fetched->AcceptChanges();
    EXPECT_EQ(fetched->GetOriginalValue(name).AsString(), "again");
    EXPECT_FALSE(fetched->GetState(drsUpdated));
}

TEST_F(KldDataRowTest, RejectOfAnInsertedRowRemovesIt)
{
    AddRow(1);
    TKldDataRow* row = AddRow(2);
    EXPECT_TRUE(row->GetState(drsInserted));
    row->RejectChanges();
    EXPECT_EQ(table->RowCount(), 1);
    EXPECT_EQ(table->PhysicalRowCount(), 1);
}

TEST_F(KldDataRowTest, SeveralValues)
{
    TKldDataRow* row = AddRow(1, "a");
    TKldColumnArray columns = {name, amount};
    log->Events.clear();
    row->SetValues(columns, VarArrayOf({Variant("b"), Variant(2.5)}));
    EXPECT_EQ(log->Count(cdeRowModified), 1) << "one edit for both values";
    Variant values = row->GetValues(columns);
    ASSERT_TRUE(VarIsArray(values));
    EXPECT_EQ(values[0].AsString(), "b");
    EXPECT_EQ(values[1].AsDouble(), 2.5);
    EXPECT_EQ(row->GetValues({name}).AsString(), "b");
    EXPECT_TRUE(VarIsEmpty(row->GetValues({})));

    ExpectKldError([&] { row->SetValues({}, Variant(1)); }, "Empty column array cannot be used to assign values to");
    ExpectKldError([&] { row->SetValues(columns, VarArrayOf({Variant("c")})); },
                   "Unable to assign 1 values to 2 columns");
    ExpectKldError([&] { row->SetValues(columns, Variant("c")); }, "Unable to assign 1 values to 2 columns");
    EXPECT_EQ(row->GetAsString(name), "b");
    EXPECT_FALSE(row->GetState(drsEditing));

    row->SetValues({name}, VarArrayOf({Variant("first of array")}));
    EXPECT_EQ(row->GetAsString(name), "first of array");

    Variant all = row->GetRowValues();
    EXPECT_EQ(VarArrayHighBound(all, 1), table->ColumnCount() - 1);

    // A failing value in the middle cancels the whole edit.
    ExpectKldError([&] { row->SetValues({name, guid}, VarArrayOf({Variant("z"), Variant("g")})); },
                   "Unable to assign column value as variant. Table: T; Column: G");
    EXPECT_EQ(row->GetAsString(name), "first of array");
}

TEST_F(KldDataRowTest, AssignBetweenRows)
{
    TKldDataTable* other = container.Tables().Add();
    other->SetName("Other");
    TKldDataColumn* otherName = other->Columns().AddColumn("NAME", cdtString);
    other->Columns().AddColumn("Extra", cdtInteger);
    container.SetActive(true);

    TKldDataRow* source = AddRow(1, "src");
    source->SetValue(amount, 1.25);
    std::unique_ptr<TKldDataRow> target(table->New());
    target->Assign(source);
    EXPECT_EQ(target->GetAsString(name), "src");
    EXPECT_EQ(target->GetValue(amount).AsDouble(), 1.25);
    target->Assign(nullptr);
    EXPECT_TRUE(VarIsNull(target->GetValue(name)));

    std::unique_ptr<TKldDataRow> foreign(other->New());
    ExpectKldError([&] { foreign->Assign(source); }, "Unable to assign row from a different table.");

    TKldColumnMap map = table->CreateColumnMap(*other);
    ASSERT_EQ(map.size(), size_t(table->ColumnCount()));
    EXPECT_EQ(map[1], otherName);
    EXPECT_EQ(map[0], nullptr);
    foreign->Assign(source, map);
    EXPECT_EQ(foreign->GetAsString(otherName), "src");

    // A stored row takes the copy in one edit: one report.
    TKldDataRow* stored = AddRow(2, "stored");
    log->Events.clear();
    stored->Assign(target.get());
    EXPECT_EQ(log->Count(cdeRowModified), 1);
    EXPECT_EQ(stored->GetAsString(name), "");
    EXPECT_TRUE(VarIsNull(stored->GetValue(name)));
}

TEST_F(KldDataRowTest, RejectInsideATransactionIsRefused)
{
    TKldDataRow* row = AddRow(1);
    container.StartTransaction();
    ExpectKldError([&] { row->RejectChanges(); }, "Unable to perform this operation within active transaction");
    container.RollbackTransaction();
    EXPECT_EQ(table->RowCount(), 1) << "inserted before the transaction began";
}

TEST_F(KldDataRowTest, RollbackOfARowWithoutBufferClearsIt)
{
    table->BeginUpdate();
    TKldDataRow* blank = table->Insert(table->NewRow());
    table->EndUpdate();
    container.StartTransaction();
    blank->SetValue(amount, 8.0);
    EXPECT_TRUE(blank->ModifiedByTransaction());
    container.RollbackTransaction();
    EXPECT_TRUE(VarIsNull(blank->GetValue(amount)));
    EXPECT_FALSE(blank->GetState(drsUpdated));
    EXPECT_FALSE(container.InTransaction());
}

TEST_F(KldDataRowTest, ClearAndDelete)
{
    TKldDataRow* row = AddRow(1, "a");
    row->SetValue(amount, 1.0);
    row->Clear(amount);
    EXPECT_TRUE(VarIsNull(row->GetValue(amount)));
    std::unique_ptr<TKldDataRow> loose(table->New());
    loose->SetValue(name, "n");
    loose->Clear(nullptr);
    EXPECT_TRUE(VarIsNull(loose->GetValue(name)));

    TKldDataRow* unstored = table->New();
    unstored->Delete(); // destroyed at once; the sanitizer checks the memory
    row->Delete();
    EXPECT_TRUE(row->GetState(drsDeleted));
    EXPECT_EQ(table->RowCount(), 0);
    EXPECT_EQ(table->PhysicalRowCount(), 1);
}

TEST_F(KldDataRowTest, TextValuesAreSharedByCopies)
{
    TKldDataRow* row = AddRow(1, std::string(1000, 'q'));
    row->AcceptChanges();
    row->BeginEdit();
    ASSERT_NE(row->EditRow(), nullptr);
    EXPECT_EQ(row->EditRow()->ValuePtr(name) != nullptr, true);
    const void* mine = row->ValuePtr(name);
    const void* copy = row->EditRow()->ValuePtr(name);
    EXPECT_EQ(std::memcmp(mine, copy, sizeof(void*)), 0) << "the copy refers to the same text";
    row->CancelEdit();
    EXPECT_EQ(row->GetAsString(name), std::string(1000, 'q'));
}

TEST_F(KldDataRowTest, RowsOfAnOlderLayoutAreRefused)
{
    std::unique_ptr<TKldDataRow> loose(table->New());
    loose->SetValue(name, "kept out");
    container.SetActive(false);
    container.SetActive(true);
    EXPECT_EQ(loose->GetAsString(name), "kept out") << "the same layout again";
    table->Columns().AddColumn("Later", cdtInteger); // deactivates: the layout changes
    container.SetActive(true);
    EXPECT_THROW(loose->GetValue(name), EAssertionFailed);
    EXPECT_THROW(loose->SetValue(name, "x"), EAssertionFailed);
}
