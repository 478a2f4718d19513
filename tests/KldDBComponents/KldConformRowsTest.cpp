// Value ordering, the null test of variants and row versions at their edges:
// multi-byte texts under a partial key, arrays of several dimensions, and
// rows that go back to their accepted or pre-transaction state.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "KldEngineTestSupport.h"

namespace
{

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

} // namespace

// A partial key cuts the compared value to as many characters as the key
// has, never in the middle of one, so that a prefix search agrees with the
// order the values sort in.
TEST(KldConformCompare, PartialKeyCutsTheValueToTheKeysCharacters)
{
    struct Case
    {
        const char* Desc;
        std::string A;
        std::string B;
        TKldDataType Type;
        TKldCompareOptions Options;
        int ExpectedSign;
    };
    const std::string eAcute = "\xC3\xA9"; // two bytes
    const std::string han = "\xE4\xB8\xAD"; // three bytes, sorts after Latin letters
    const std::vector<Case> cases = {
        {"key ends inside a two-byte letter of the value", "ab", "a" + eAcute + "z", cdtString, {coPartialKey}, -1},
        {"key ends inside a three-byte letter of the value", "ab", "a" + han + "x", cdtString, {coPartialKey}, -1},
        {"plain key against an accented value", "e", eAcute + "a", cdtString, {coPartialKey}, -1},
        {"accented key against a longer plain value", eAcute + "b", "eba", cdtString, {coPartialKey}, 1},
        {"accented key is a prefix", eAcute + "b", eAcute + "bz", cdtString, {coPartialKey}, 0},
        {"memo", "ab", "a" + eAcute + "z", cdtMemo, {coPartialKey}, -1},
        {"wide string", "ab", "a" + eAcute + "z", cdtWideString, {coPartialKey}, -1},
        {"descending", "ab", "a" + eAcute + "z", cdtString, {coPartialKey, coDescending}, 1},
        {"case-insensitive prefix", "A" + eAcute, "a" + eAcute + "bc", cdtString,
         {coPartialKey, coCaseInsensitive}, 0},
        {"value shorter than the key", "a" + eAcute + "z", "a" + eAcute, cdtString, {coPartialKey}, 1},
        {"value with as many bytes but more characters", eAcute + eAcute, "e" + eAcute + "x", cdtString,
         {coPartialKey}, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldTextValue a(c.A);
        TKldTextValue b(c.B);
        EXPECT_EQ(Sign(CompareValues(a.Value(), b.Value(), c.Type, c.Options)), c.ExpectedSign);
    }
}

TEST(KldConformVarIsNull, ArraysOfAnyDimensionCount)
{
    auto cube = [](const Variant& corner) {
        Variant v = VarArrayCreate({0, 1, 1, 2, -1, 0}, varVariant);
        v.SetElement({1, 2, 0}, corner);
        return v;
    };
    Variant fourDims = VarArrayCreate({0, 0, 0, 1, 0, 0, 0, 1}, varVariant);
    fourDims.SetElement({0, 1, 0, 1}, Variant::Null());
    Variant fourDimsWithValue = fourDims;
    fourDimsWithValue.SetElement({0, 0, 0, 1}, Variant("x"));
    struct Case
    {
        const char* Desc;
        Variant Input;
        bool Expected;
    };
    const Case cases[] = {
        {"three dimensions, all Empty", VarArrayCreate({0, 1, 0, 1, 0, 1}, varVariant), true},
        {"three dimensions, Null in the last element", cube(Variant::Null()), true},
        {"three dimensions, a value in the last element", cube(Variant(5)), false},
        {"three dimensions, a non-null array element", cube(VarArrayOf({Variant(), Variant(0)})), false},
        {"three dimensions, a null array element", cube(VarArrayOf({Variant(), Variant::Null()})), true},
        {"three dimensions of integers (zeros are values)", VarArrayCreate({0, 0, 0, 0, 0, 0}, varInteger), false},
        {"three dimensions without elements", VarArrayCreate({0, 1, 0, -1, 0, 1}, varVariant), true},
        {"four dimensions, Null and Empty", fourDims, true},
        {"four dimensions, one text", fourDimsWithValue, false},
        {"two dimensions, one value", [] {
             Variant v = VarArrayCreate({0, 1, 0, 1}, varVariant);
             v.SetElement({1, 0}, Variant(false));
             return v;
         }(), false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(_VarIsNull(c.Input), c.Expected);
    }
}

namespace
{

class KldConformRowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        log = new KldEventLog(&container);
        table = container.Tables().Add();
        table->SetName("T");
        id = table->Columns().AddColumn("Id", cdtInteger);
        id->SetPrimaryKey(true);
        name = table->Columns().AddColumn("Name", cdtString);
        amount = table->Columns().AddColumn("Amount", cdtFloat);
        container.SetActive(true);
    }

    // A stored, accepted row.
    TKldDataRow* AddAccepted(int key, const std::string& text, double value)
    {
        TKldDataRow* row = table->New();
        row->SetValue(id, key);
        row->SetValue(name, text);
        row->SetValue(amount, value);
        row = table->Insert(row);
        row->AcceptChanges();
        return row;
    }

    std::string Describe(TKldDataRow* row)
    {
        return row->GetAsString(id) + "|" + row->GetAsString(name) + "|" + row->GetAsString(amount);
    }

    TKldDataContainer container;
    KldEventLog* log = nullptr;
    TKldDataTable* table = nullptr;
    TKldDataColumn* id = nullptr;
    TKldDataColumn* name = nullptr;
    TKldDataColumn* amount = nullptr;
};

} // namespace

TEST_F(KldConformRowsTest, RejectOfAnUpdatedAndDeletedRowBringsItBack)
{
    AddAccepted(1, "one", 1.5);
    TKldDataRow* row = AddAccepted(2, "two", 2.5);
    AddAccepted(3, "three", 3.5);
    row->SetValue(name, "changed");
    row->SetValue(amount, 9.0);
    row->Delete();
    ASSERT_EQ(table->RowCount(), 2);
    ASSERT_TRUE(row->GetState(drsDeleted));
    log->Events.clear();

    row->RejectChanges();
    EXPECT_EQ(Describe(row), "2|two|2.5");
    EXPECT_EQ(table->RowCount(), 3);
    EXPECT_EQ(table->GetRow(1), row) << "back at its key position";
    EXPECT_EQ(row->State(), TKldDataRowStates{drsStored});
    EXPECT_EQ(row->OriginalRow(), nullptr);
    ASSERT_FALSE(log->Events.empty());
    EXPECT_EQ(log->Events.back().first, row);
    EXPECT_EQ(log->Events.back().second, cdeRowModified) << "the reject is reported last";
}

TEST_F(KldConformRowsTest, RollbackRestoresValuesStatesAndPlace)
{
    TKldDataRow* kept = AddAccepted(1, "one", 1.5);
    TKldDataRow* updated = AddAccepted(2, "two", 2.5);
    updated->SetValue(amount, 4.0); // updated before the transaction
    TKldDataRowStates before = updated->State();
    ASSERT_TRUE(before.Contains(drsUpdated));

    container.StartTransaction();
    updated->SetValue(name, "in transaction");
    updated->Delete();
    kept->BeginEdit();
    kept->SetValue(name, "edited");
    kept->EndEdit();
    TKldDataRow* added = table->New();
    added->SetValue(id, 5);
    table->Insert(added);
    EXPECT_TRUE(updated->ModifiedByTransaction());
    EXPECT_TRUE(kept->ModifiedByTransaction());
    EXPECT_FALSE(added->ModifiedByTransaction()) << "new rows keep no rollback copy";
    container.RollbackTransaction();

    ASSERT_EQ(table->RowCount(), 2) << "the added row is gone, the deleted one is back";
    EXPECT_EQ(table->PhysicalRowCount(), 2);
    EXPECT_EQ(Describe(table->GetRow(0)), "1|one|1.5");
    EXPECT_EQ(Describe(table->GetRow(1)), "2|two|4");
    EXPECT_EQ(updated->State(), before);
    EXPECT_EQ(kept->State(), TKldDataRowStates{drsStored});
    EXPECT_FALSE(updated->ModifiedByTransaction());
    EXPECT_FALSE(kept->ModifiedByTransaction());
    EXPECT_EQ(updated->GetOriginalValue(amount).AsDouble(), 2.5) << "the original copy survives";
}

TEST_F(KldConformRowsTest, RejectOfAnUnfetchedPlaceholderFetchesNothing)
{
    AddAccepted(1, "one", 1.0);
    TKldDataRow* placeholder = table->InsertKey(Variant(7));
    ASSERT_TRUE(placeholder->GetState(drsNeedRefresh));
    KldRecordingAdapter adapter;
    container.SetDataAdapter(&adapter);
    placeholder->AcceptChanges(); // passes the refresh check: fetched once
    EXPECT_EQ(adapter.Calls, std::vector<std::string>{"RefreshRow"});
    EXPECT_FALSE(placeholder->GetState(drsNeedRefresh));

    TKldDataRow* second = table->InsertKey(Variant(8));
    ASSERT_TRUE(second->GetState(drsNeedRefresh));
    second->SetState(drsInserted, false);
    adapter.Calls.clear();
    second->RejectChanges();
    EXPECT_TRUE(adapter.Calls.empty());
    EXPECT_FALSE(second->GetState(drsNeedRefresh));
    container.SetDataAdapter(nullptr);
}

// With calculated columns in the table, a write to a plain column of a stored
// row runs as an edit, so the calculation sees the new value; a write to the
// calculated column itself is a plain write.
TEST_F(KldConformRowsTest, CalculatedColumnsTurnPlainWritesIntoEdits)
{
    TKldDataTable* calc = container.Tables().Add();
    calc->SetName("C");
    TKldDataColumn* base = calc->Columns().AddColumn("Base", cdtInteger);
    TKldDataColumn* twice = calc->Columns().AddColumn("Twice", cdtInteger);
    twice->SetCalculated(true);
    int calculations = 0;
    container.OnCalcFields = [&](TObject*, TKldDataRow* row) {
        ++calculations;
        row->SetValue(twice, row->GetValue(base).AsInteger() * 2);
    };
    container.SetActive(true);
    TKldDataRow* row = calc->New();
    row->SetValue(base, 1);
    row = calc->Insert(row);
    row->AcceptChanges();
    ASSERT_EQ(row->GetValue(twice).AsInteger(), 2);
    calculations = 0;
    log->Events.clear();

    row->SetValue(base, 5);
    EXPECT_EQ(calculations, 1);
    EXPECT_EQ(row->GetValue(twice).AsInteger(), 10);
    EXPECT_FALSE(row->GetState(drsEditing));
    EXPECT_TRUE(row->GetState(drsUpdated));
    EXPECT_EQ(log->Count(cdeRowModified), 1);

    calculations = 0;
    log->Events.clear();
    row->SetValue(twice, 3);
    EXPECT_EQ(calculations, 0) << "the calculated column is written as it is";
    EXPECT_EQ(row->GetValue(twice).AsInteger(), 3);
    EXPECT_EQ(log->Count(cdeRowModified), 1);
}

// A write through the slot pointer of a stored, accepted row keeps the old
// value as the original first.
TEST_F(KldConformRowsTest, WritePointerSavesTheOriginal)
{
    TKldDataRow* row = AddAccepted(1, "one", 1.5);
    void* slot = row->GetDataPtr(amount, true);
    ASSERT_NE(slot, nullptr);
    ASSERT_NE(row->OriginalRow(), nullptr);
    double value = 7.25;
    std::memcpy(slot, &value, sizeof value);
    EXPECT_EQ(row->GetValue(amount).AsDouble(), 7.25);
    EXPECT_EQ(row->GetOriginalValue(amount).AsDouble(), 1.5);
    EXPECT_EQ(row->GetDataPtr(nullptr, true), nullptr);
}
