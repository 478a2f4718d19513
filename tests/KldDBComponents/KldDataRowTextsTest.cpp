// Texts in rows: every length in every text type, rows whose text room is
// outgrown, texts copied between columns of one row, the row copies (edit,
// original, rollback) restoring texts exactly, streams, row sets ordered by a
// text and the table dataset's text fields.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldDataSet.h"
#include "KldEngineTestSupport.h"
#include "support/Sanitizers.h"
#include "platform/Streams.h"

namespace
{

using Text = std::optional<std::string>; // nullopt is NULL

// `n` bytes that change along the text, with zero bytes among them.
std::string Bytes(size_t n, char seed = 'a')
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = i % 7 == 3 ? '\0' : static_cast<char>(seed + static_cast<char>(i % 23));
    return s;
}

// Table T: Id Integer key, A, B, C String, W WideString, M Memo, L Blob, N Integer.
class KldRowTextsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table = container.Tables().Add();
        table->SetName("T");
        TKldDataColumns& c = table->Columns();
        id = c.AddColumn("Id", cdtInteger);
        id->SetPrimaryKey(true);
        a = c.AddColumn("A", cdtString, 400);
        b = c.AddColumn("B", cdtString);
        cc = c.AddColumn("C", cdtString);
        w = c.AddColumn("W", cdtWideString);
        m = c.AddColumn("M", cdtMemo);
        l = c.AddColumn("L", cdtBlob);
        n = c.AddColumn("N", cdtInteger);
        container.SetActive(true);
    }

    std::vector<TKldDataColumn*> Texts() const { return {a, b, cc, w, m, l}; }

    static Text Get(TKldDataRow* row, TKldDataColumn* column)
    {
        Variant v = row->GetValue(column);
        if (VarIsNull(v))
            return std::nullopt;
        return v.AsString();
    }

    static void Set(TKldDataRow* row, TKldDataColumn* column, const Text& text)
    {
        row->SetValue(column, text ? Variant(*text) : Variant::Null());
    }

    TKldDataRow* Add(int key)
    {
        std::unique_ptr<TKldDataRow> row(table->New());
        row->SetValue(id, key);
        table->Insert(row.get());
        return row.release();
    }

    // Checks every text column of `row` against `expected` (by column).
    void Expect(TKldDataRow* row, const std::map<TKldDataColumn*, Text>& expected)
    {
        for (TKldDataColumn* column : Texts())
        {
            SCOPED_TRACE(column->Name());
            auto it = expected.find(column);
            Text want = it == expected.end() ? std::nullopt : it->second;
            Text got = Get(row, column);
            ASSERT_EQ(got.has_value(), want.has_value());
            if (want)
            {
                ASSERT_EQ(got->size(), want->size());
                ASSERT_TRUE(*got == *want);
            }
        }
    }

    TKldDataContainer container;
    TKldDataTable* table = nullptr;
    TKldDataColumn *id, *a, *b, *cc, *w, *m, *l, *n;
};

} // namespace

// Every length round-trips in every text type, whether the row is the table's
// first (least text room), a stored row or a row filled next to other texts.
TEST_F(KldRowTextsTest, EveryLengthReadsBackInEveryTextType)
{
    const struct
    {
        const char* Desc;
        std::string Value;
    } cases[] = {
        {"empty", ""},
        {"one byte", "x"},
        {"a zero byte", std::string(1, '\0')},
        {"fills a pointer entry", Bytes(8)},
        {"one past a pointer entry", Bytes(9)},
        {"longest one-byte length", Bytes(63)},
        {"shortest two-byte length", Bytes(64)},
        {"inline limit", Bytes(256)},
        {"one past the inline limit", Bytes(257)},
        {"a page", Bytes(4096)},
        {"past the row size", Bytes(70000)},
    };
    int key = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        for (TKldDataColumn* column : Texts())
        {
            SCOPED_TRACE(column->Name());
            // Unstored, then stored, then with every other text written after it.
            std::unique_ptr<TKldDataRow> fresh(table->New());
            Set(fresh.get(), column, c.Value);
            ASSERT_EQ(Get(fresh.get(), column), c.Value);
            fresh->SetValue(id, ++key);
            TKldDataRow* row = table->Insert(fresh.release());
            ASSERT_EQ(Get(row, column), c.Value);
            std::map<TKldDataColumn*, Text> expected{{column, c.Value}};
            for (TKldDataColumn* other : Texts())
            {
                if (other == column)
                    continue;
                expected[other] = Bytes(200, 'k');
                Set(row, other, expected[other]);
            }
            Expect(row, expected);
            if (column->DataType() != cdtBlob)
            {
                EXPECT_EQ(row->GetAsString(column), c.Value);
            }
        }
    }
}

TEST_F(KldRowTextsTest, NullAndEmptyStayApartThroughCopiesAndStreams)
{
    TKldDataRow* row = Add(1);
    Set(row, a, std::string());
    Set(row, b, std::nullopt);
    Set(row, m, std::string());
    std::map<TKldDataColumn*, Text> expected{{a, ""}, {m, ""}};
    Expect(row, expected);
    EXPECT_TRUE(row->GetAssignedValue(a));
    EXPECT_FALSE(row->GetAssignedValue(b));

    row->BeginEdit();
    Set(row, a, std::nullopt);
    Set(row, b, std::string());
    Expect(row, {{b, ""}, {m, ""}});
    row->CancelEdit();
    Expect(row, expected);

    TMemoryStream stream;
    container.SaveToStream(stream, true, true);
    stream.SetPosition(0);
    TKldDataContainer loaded;
    loaded.LoadFromStream(stream);
    TKldDataTable* t = loaded.Tables().Get("T");
    ASSERT_EQ(t->RowCount(), 1);
    TKldDataRow* back = t->GetRow(0);
    EXPECT_EQ(Get(back, t->Columns().Get("A")), std::string());
    EXPECT_EQ(Get(back, t->Columns().Get("B")), std::nullopt);
    EXPECT_EQ(Get(back, t->Columns().Get("M")), std::string());
    EXPECT_EQ(Get(back, t->Columns().Get("L")), std::nullopt);
}

// A text copied from one column to another of the same row: the source moves
// inside the row while the target is written, or goes out of it to make room.
TEST_F(KldRowTextsTest, AssignColumnWithinOneRowCopiesTheText)
{
    const struct
    {
        const char* Desc;
        size_t Source;
        size_t Target; // the target's text before the copy
        size_t Other;  // a third text in the row
    } cases[] = {
        {"short over short", 5, 3, 0},
        {"short over longer", 5, 120, 0},
        {"longer over short", 120, 5, 0},
        {"long over short next to a long one", 200, 1, 200},
        {"outside over inline", 1000, 40, 100},
        {"inline over outside", 40, 1000, 100},
        {"outside over outside", 5000, 3000, 0},
        {"empty over long", 0, 250, 250},
    };
    int key = 0;
    for (bool stored : {false, true})
    {
        for (const auto& c : cases)
        {
            SCOPED_TRACE(std::string(c.Desc) + (stored ? ", stored row" : ", new row"));
            std::unique_ptr<TKldDataRow> made(table->New());
            TKldDataRow* row = made.get();
            row->SetValue(id, ++key);
            if (stored)
                row = table->Insert(made.release());
            std::string source = Bytes(c.Source, 'a');
            std::string other = Bytes(c.Other, 'o');
            Set(row, b, Bytes(c.Target, 't'));
            Set(row, a, source);
            Set(row, cc, other);
            row->AssignColumn(row, a, b);
            Expect(row, {{a, source}, {b, source}, {cc, other}});
            // Back the other way, over the copy just made.
            Set(row, a, Bytes(c.Target, 'u'));
            row->AssignColumn(row, b, a);
            Expect(row, {{a, source}, {b, source}, {cc, other}});
            // A value read from the row written to another column of it.
            row->SetColumnData(cc, row->ValuePtr(a));
            Expect(row, {{a, source}, {b, source}, {cc, source}});
        }
    }
}

// Random writes, copies and row versions on a few rows checked against a
// model after every step: rows made early (least room) get texts far larger
// than their room, so texts keep moving in and out of the rows.
TEST_F(KldRowTextsTest, RandomWritesMatchAModel)
{
    using Values = std::map<TKldDataColumn*, Text>;
    struct Tracked
    {
        TKldDataRow* Row;
        Values Now, Accepted, Edit, Transaction;
    };
    const std::vector<TKldDataColumn*> strings = {a, b, cc};
    const size_t lengths[] = {0, 1, 2, 7, 8, 9, 10, 30, 63, 64, 65, 100, 127, 128, 200, 255, 256, 257, 400, 3000};
    for (unsigned seed = 1; seed <= 6; ++seed)
    {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
        container.SetActive(false);
        container.SetActive(true);
        std::vector<Tracked> rows;
        for (int k = 1; k <= 4; ++k)
        {
            Tracked t{Add(k), {}, {}, {}, {}};
            t.Row->AcceptChanges();
            rows.push_back(t);
        }
        bool inTransaction = false;
        for (int step = 0; step < 1500; ++step)
        {
            SCOPED_TRACE(step);
            Tracked& t = rows[pick(rows.size())];
            TKldDataRow* row = t.Row;
            TKldDataColumn* column = Texts()[pick(Texts().size())];
            switch (pick(12))
            {
            case 0:
            case 1:
            case 2:
            case 3: {
                Text value;
                if (pick(8) != 0)
                    value = Bytes(lengths[pick(std::size(lengths))], static_cast<char>('a' + pick(20)));
                Set(row, column, value);
                t.Now[column] = value;
                break;
            }
            case 4: {
                TKldDataColumn* from = strings[pick(3)];
                TKldDataColumn* to = strings[pick(3)];
                row->AssignColumn(row, from, to);
                t.Now[to] = t.Now[from];
                break;
            }
            case 5: {
                Tracked& source = rows[pick(rows.size())];
                row->AssignColumn(source.Row, column);
                t.Now[column] = source.Now[column];
                break;
            }
            case 6:
                row->Clear(column);
                t.Now[column] = std::nullopt;
                break;
            case 7:
                if (row->GetState(drsEditing))
                {
                    row->CancelEdit();
                    t.Now = t.Edit;
                }
                else
                {
                    row->BeginEdit();
                    t.Edit = t.Now;
                }
                break;
            case 8:
                if (row->GetState(drsEditing))
                    row->EndEdit();
                break;
            case 9:
                // Accepting inside an edit is no version change the model knows.
                if (inTransaction || row->GetState(drsEditing))
                    break;
                if (pick(2))
                {
                    row->AcceptChanges();
                    t.Accepted = t.Now;
                }
                else
                {
                    row->RejectChanges();
                    t.Now = t.Accepted;
                }
                break;
            case 10:
                if (std::any_of(rows.begin(), rows.end(), [](const Tracked& r) {
                        return r.Row->GetState(drsEditing);
                    }))
                    break;
                if (!inTransaction)
                {
                    container.StartTransaction();
                    for (Tracked& r : rows)
                        r.Transaction = r.Now;
                    inTransaction = true;
                }
                else if (pick(2))
                {
                    container.RollbackTransaction();
                    for (Tracked& r : rows)
                        r.Now = r.Transaction;
                    inTransaction = false;
                }
                else
                {
                    container.CommitTransaction();
                    inTransaction = false;
                }
                break;
            case 11: {
                // The edit copy reads like the row did when the edit began.
                if (TKldDataRow* edit = row->EditRow())
                    Expect(edit, t.Edit);
                break;
            }
            }
            for (Tracked& r : rows)
                ASSERT_NO_FATAL_FAILURE(Expect(r.Row, r.Now)) << "row " << (&r - &rows[0]);
        }
        for (Tracked& r : rows)
        {
            if (r.Row->GetState(drsEditing))
                r.Row->CancelEdit();
        }
        if (inTransaction)
            container.CommitTransaction();
    }
}

// A 1 MB blob with zero bytes stays out of the row and the edit copy shares
// it; cancelling and rolling back give it back byte for byte.
TEST_F(KldRowTextsTest, LargeBlobIsSharedByTheEditCopyAndRestored)
{
    std::string blob = Bytes(1 << 20, 'b');
    TKldDataRow* row = Add(1);
    Set(row, l, blob);
    Set(row, a, "short");
    row->AcceptChanges();

    row->BeginEdit();
    ASSERT_NE(row->EditRow(), nullptr);
    EXPECT_EQ(row->EditRow()->ValuePtr(l), row->ValuePtr(l)) << "the edit copy shares the blob";
    Set(row, l, std::string("new"));
    Set(row, a, Bytes(250));
    row->CancelEdit();
    Expect(row, {{l, blob}, {a, "short"}});

    container.StartTransaction();
    Set(row, l, Bytes(300, 'z'));
    Set(row, a, std::nullopt);
    container.RollbackTransaction();
    Expect(row, {{l, blob}, {a, "short"}});

    Set(row, l, std::nullopt);
    row->RejectChanges();
    Expect(row, {{l, blob}, {a, "short"}});
}

// Writes that fail their check leave every text of the row as it was.
TEST_F(KldRowTextsTest, RefusedWriteKeepsTheTexts)
{
    b->SetRequired(true);
    container.SetActive(false);
    container.SetActive(true);
    TKldDataRow* row = table->New();
    row->SetValue(id, 1);
    Set(row, a, Bytes(200));
    Set(row, b, Bytes(100, 'q'));
    Set(row, m, Bytes(3000, 'm'));
    table->Insert(row);
    std::map<TKldDataColumn*, Text> expected{{a, Bytes(200)}, {b, Bytes(100, 'q')}, {m, Bytes(3000, 'm')}};
    EXPECT_THROW(Set(row, b, std::nullopt), Exception);
    Expect(row, expected);
    EXPECT_FALSE(row->GetState(drsEditing));
    row->BeginEdit();
    Set(row, a, Bytes(250, 'x'));
    Set(row, b, std::nullopt);
    EXPECT_THROW(row->EndEdit(), Exception);
    row->CancelEdit();
    Expect(row, expected);
}

TEST_F(KldRowTextsTest, StreamRoundTripKeepsInlineAndOutsideTexts)
{
    std::vector<std::map<TKldDataColumn*, Text>> rows = {
        {{a, "a"}, {b, Bytes(256)}, {cc, Bytes(257)}, {w, "\xC3\xA9t\xC3\xA9"}, {m, Bytes(5000)}, {l, Bytes(9)}},
        {{a, ""}, {m, ""}, {l, Bytes(1 << 17, 'z')}},
        {{b, Bytes(120)}, {cc, Bytes(120)}, {w, Bytes(120)}, {m, Bytes(120)}, {l, Bytes(120)}},
        {},
    };
    for (size_t i = 0; i < rows.size(); ++i)
    {
        TKldDataRow* row = Add(static_cast<int>(i) + 1);
        for (const auto& [column, text] : rows[i])
            Set(row, column, text);
    }
    for (bool viaTable : {false, true})
    {
        SCOPED_TRACE(viaTable ? "table WriteData/ReadData" : "container streams");
        TKldDataContainer target;
        TKldDataTable* t = nullptr;
        if (viaTable)
        {
            t = target.Tables().Add();
            t->Assign(*table);
            target.SetActive(true);
            TMemoryStream stream;
            {
                TKldWriter writer(stream);
                table->WriteData(writer);
                writer.FlushBuffer();
            }
            stream.SetPosition(0);
            TKldReader reader(stream);
            t->ReadData(reader);
        }
        else
        {
            TMemoryStream stream;
            container.SaveToStream(stream, true, true);
            stream.SetPosition(0);
            target.LoadFromStream(stream);
            t = target.Tables().Get("T");
        }
        ASSERT_EQ(t->RowCount(), static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i)
        {
            SCOPED_TRACE(i);
            for (TKldDataColumn* column : Texts())
            {
                SCOPED_TRACE(column->Name());
                auto it = rows[i].find(column);
                Text want = it == rows[i].end() ? std::nullopt : it->second;
                EXPECT_TRUE(Get(t->GetRow(static_cast<int>(i)), t->Columns().Get(column->Name())) == want);
            }
        }
    }
}

// Few rows are compared directly, many through collated keys: both orders
// put NULL first, then the empty text, and rank long and short texts alike.
TEST_F(KldRowTextsTest, RowSetOrdersByTextWhateverWhereTheTextIsKept)
{
    for (int count : {20, 150})
    {
        SCOPED_TRACE(count);
        container.SetActive(false);
        container.SetActive(true);
        std::vector<Text> texts;
        for (int i = 0; i < count; ++i)
        {
            Text text;
            if (i % 17 == 5)
                text = std::nullopt;
            else if (i % 13 == 4)
                text = "";
            else
            {
                // Lower-case letters only, so that every order agrees; long
                // texts share their first 300 bytes with others.
                std::string s = i % 3 == 0 ? std::string(300, 'm') : std::string();
                s += static_cast<char>('a' + (i * 7) % 26);
                s += std::string(static_cast<size_t>(i % 5) * 60, static_cast<char>('a' + i % 26));
                text = s;
            }
            TKldDataRow* row = Add(i);
            Set(row, a, text);
            texts.push_back(text);
        }
        for (bool descending : {false, true})
        {
            SCOPED_TRACE(descending ? "descending" : "ascending");
            TKldRowSet rows(table, nullptr);
            rows.SetOrderByColumns({{a, descending}});
            rows.SetActive(true);
            std::vector<Text> want = texts;
            std::stable_sort(want.begin(), want.end(), [&](const Text& x, const Text& y) {
                if (!x || !y)
                    return !x && y; // NULL first either way
                return descending ? *y < *x : *x < *y;
            });
            ASSERT_EQ(rows.GetRowCount(), count);
            for (int i = 0; i < count; ++i)
                ASSERT_TRUE(Get(rows.GetRow(i), a) == want[static_cast<size_t>(i)]) << "row " << i;
        }
    }
}

TEST_F(KldRowTextsTest, DataSetReadsAndWritesStringAndMemoFields)
{
    const struct
    {
        const char* Desc;
        std::string Name;
        std::string Note;
    } cases[] = {
        {"short", "Smith", "a note"},
        {"empty", "", ""},
        {"long memo", "Jones", Bytes(5000, 'n')},
        {"near the inline limit", std::string(250, 'y'), std::string(256, 'z')},
    };
    TKldDataRow* row = Add(1);
    Set(row, a, "before");
    Set(row, m, Bytes(700, 'p'));
    TKldDataSet ds;
    ds.SetDataContainer(&container);
    ds.SetDataTableName("T");
    ds.Open();
    EXPECT_EQ(ds.FieldByName("A")->AsString(), "before");
    EXPECT_EQ(ds.FieldByName("M")->AsString(), Bytes(700, 'p'));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        ds.Edit();
        ds.FieldByName("A")->SetAsString(c.Name);
        ds.FieldByName("M")->SetAsString(c.Note);
        ds.Post();
        EXPECT_EQ(Get(row, a), c.Name);
        EXPECT_EQ(Get(row, m), c.Note);
        EXPECT_EQ(ds.FieldByName("A")->AsString(), c.Name);
        EXPECT_EQ(ds.FieldByName("M")->AsString(), c.Note);
        ds.Edit();
        ds.FieldByName("A")->SetAsString("discarded");
        ds.FieldByName("M")->SetAsString(Bytes(900, 'd'));
        ds.Cancel();
        EXPECT_EQ(Get(row, a), c.Name);
        EXPECT_EQ(Get(row, m), c.Note);
    }
    ds.Close();
}

// Rows made for the columns before a change still release their texts when
// they go, and a new layout's rows work alongside them.
TEST_F(KldRowTextsTest, RowsOfAnEarlierLayoutReleaseTheirTexts)
{
    std::unique_ptr<TKldDataRow> early(table->New());
    Set(early.get(), a, Bytes(100));
    Set(early.get(), m, Bytes(2000));
    TKldDataRow* stored = Add(1);
    Set(stored, b, Bytes(50));
    Set(stored, l, Bytes(4000));
    stored->BeginEdit();
    Set(stored, b, Bytes(60));

    container.SetActive(false);
    table->Columns().AddColumn("Z", cdtString);
    table->Columns().Delete(1); // A
    container.SetActive(true);
    EXPECT_EQ(table->RowCount(), 0);
    EXPECT_THROW(early->GetValue(m), EAssertionFailed);

    TKldDataColumn* z = table->Columns().Get("Z");
    TKldDataRow* row = table->New();
    row->SetValue(table->Columns().Get("Id"), 1);
    row->SetValue(z, Bytes(300));
    row->SetValue(table->Columns().Get("M"), Bytes(30));
    table->Insert(row);
    EXPECT_EQ(row->GetValue(z).AsString(), Bytes(300));
    EXPECT_EQ(row->GetValue(table->Columns().Get("M")).AsString(), Bytes(30));
    early.reset(); // releases its texts through the layout it was made for
    EXPECT_EQ(row->GetValue(z).AsString(), Bytes(300));
}

namespace
{

// True when `value` lies in the block of `row` (header and buffer).
bool InsideRow(const TKldDataRow* row, const void* value)
{
    auto* begin = reinterpret_cast<const char*>(row);
    auto* p = static_cast<const char*>(value);
    return p >= begin && p < begin + sizeof(TKldDataRow) + static_cast<size_t>(row->Capacity());
}

} // namespace

// New rows get the text room that the stored rows needed: a text of the size
// the table holds lands inside the row, the room shrinks only slowly, never
// below one pointer per text column and never past 4 KiB.
TEST_F(KldRowTextsTest, TextRoomOfNewRowsFollowsTheStoredRows)
{
    const size_t least = 6 * (1 + sizeof(void*));
    EXPECT_EQ(table->TextReserve(), least);
    std::unique_ptr<TKldDataRow> early(table->New());
    Set(early.get(), a, Bytes(200));
    EXPECT_FALSE(InsideRow(early.get(), early->ValuePtr(a))) << "the first rows have no room for it";

    int key = 0;
    const struct
    {
        const char* Desc;
        size_t Length; // of the text in A of each row stored
        int Rows;
        size_t AtLeast, AtMost; // the room afterwards
    } steps[] = {
        {"a longer text raises the room at once", 200, 1, 205, 260},
        {"one short row lowers it a little", 0, 1, 180, 205},
        {"many short rows bring it down to the least", 0, 200, least, least},
        {"very long texts kept outside need a pointer each", 100000, 3, least, least},
        {"texts near the inline limit in every column", 250, 1, 1500, 1600},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(s.Desc);
        for (int i = 0; i < s.Rows; ++i)
        {
            std::unique_ptr<TKldDataRow> row(table->New());
            row->SetValue(id, ++key);
            Set(row.get(), a, Bytes(s.Length));
            if (s.Length == 250)
            {
                for (TKldDataColumn* column : Texts())
                    Set(row.get(), column, Bytes(s.Length));
            }
            table->Insert(row.release());
        }
        EXPECT_GE(table->TextReserve(), s.AtLeast);
        EXPECT_LE(table->TextReserve(), s.AtMost);
    }
    // Six texts of 250 bytes: all of them fit a row made now.
    std::unique_ptr<TKldDataRow> row(table->New());
    for (TKldDataColumn* column : Texts())
        Set(row.get(), column, Bytes(250, 'r'));
    for (TKldDataColumn* column : Texts())
        EXPECT_TRUE(InsideRow(row.get(), row->ValuePtr(column))) << column->Name();

    // Twenty text columns of 250 bytes would need 5 KiB: the room stops at 4 KiB.
    container.SetActive(false);
    for (int i = 0; i < 14; ++i)
        table->Columns().AddColumn("X" + std::to_string(i), cdtString);
    container.SetActive(true);
    std::unique_ptr<TKldDataRow> wide(table->New());
    wide->SetValue(id, 1);
    for (int i = 0; i < table->ColumnCount(); ++i)
    {
        if (table->Column(i)->DataType() == cdtString || table->Column(i) == m)
            wide->SetValue(table->Column(i), Bytes(250));
    }
    table->Insert(wide.release());
    EXPECT_EQ(table->TextReserve(), 4096u);
}

// The pool takes back the blocks of rows that go, gives them to the next
// rows, and lets its slabs go with the last row; rows wider than a slab's
// eighth come from the heap.
TEST_F(KldRowTextsTest, RowPoolReusesBlocksAndReleasesSlabs)
{
    TKldRowPool& pool = table->RowPool();
    EXPECT_EQ(pool.LiveBlocks(), 2u) << "the null and default rows";
    for (int rows : {1, 700, 3000})
    {
        SCOPED_TRACE(rows);
        table->BeginUpdate();
        for (int i = 0; i < rows; ++i)
        {
            std::unique_ptr<TKldDataRow> row(table->New());
            row->SetValue(id, i);
            table->Insert(row.release());
        }
        table->EndUpdate();
        EXPECT_EQ(pool.LiveBlocks(), static_cast<size_t>(rows) + 2);
        size_t slabs = pool.SlabCount();
        EXPECT_GE(slabs * TKldRowPool::SlabSize, static_cast<size_t>(rows) * (sizeof(TKldDataRow) + 8));
        table->Clear();
        EXPECT_EQ(pool.LiveBlocks(), 2u);
        EXPECT_EQ(pool.SlabCount(), slabs) << "slabs stay while rows live";
        // The same rows again take the blocks just freed.
        table->BeginUpdate();
        for (int i = 0; i < rows; ++i)
        {
            std::unique_ptr<TKldDataRow> row(table->New());
            row->SetValue(id, i);
            Set(row.get(), a, std::to_string(i));
            table->Insert(row.release());
        }
        table->EndUpdate();
        EXPECT_EQ(pool.SlabCount(), slabs);
        EXPECT_EQ(table->GetRow(rows - 1)->GetValue(a).AsString(), std::to_string(rows - 1));
        table->Clear();
    }

    // A row kept by its user holds the slabs; the last block takes them away.
    std::unique_ptr<TKldDataRow> kept(table->New());
    Set(kept.get(), m, Bytes(100));
    container.SetActive(false);
    EXPECT_EQ(pool.LiveBlocks(), 1u);
    EXPECT_GE(pool.SlabCount(), 1u);
    kept.reset();
    EXPECT_EQ(pool.LiveBlocks(), 0u);
    EXPECT_EQ(pool.SlabCount(), 0u);

    // 260 BCD slots make rows wider than 8 KiB.
    for (int i = 0; i < 260; ++i)
        table->Columns().AddColumn("D" + std::to_string(i), cdtBCD);
    container.SetActive(true);
    TKldDataColumn* last = table->Columns().Get("D259");
    for (int i = 0; i < 10; ++i)
    {
        std::unique_ptr<TKldDataRow> row(table->New());
        row->SetValue(id, i);
        row->SetAsString(last, std::to_string(i) + ".25");
        Set(row.get(), m, Bytes(200));
        table->Insert(row.release());
    }
    EXPECT_EQ(pool.SlabCount(), 0u);
    EXPECT_EQ(pool.LiveBlocks(), 12u);
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_EQ(table->GetRow(i)->GetAsString(last), std::to_string(i) + ".25");
        EXPECT_EQ(Get(table->GetRow(i), m), Bytes(200));
    }
    container.SetActive(false);
    EXPECT_EQ(pool.LiveBlocks(), 0u);
}

// A table's number goes back when the table goes and the next table takes
// it; rows always name the table that made them.
TEST(KldTableNumbers, NumbersAreReusedAndRowsNameTheirTable)
{
    TKldDataContainer container;
    auto add = [&](const std::string& name) {
        TKldDataTable* t = container.Tables().Add();
        t->SetName(name);
        t->Columns().AddColumn("S", cdtString);
        return t;
    };
    TKldDataTable* first = add("First");
    TKldDataTable* second = add("Second");
    EXPECT_NE(first->Id(), second->Id());
    container.SetActive(true);
    uint16_t secondId = second->Id();
    second->Insert(second->New())->SetValue(second->Column(0), Bytes(300));
    container.Tables().Delete(1); // the container goes inactive: every row goes
    TKldDataTable* third = add("Third");
    EXPECT_EQ(third->Id(), secondId);
    container.SetActive(true);
    TKldDataRow* row = third->Insert(third->New());
    row->SetValue(third->Column(0), Bytes(300, 't'));
    TKldDataRow* other = first->Insert(first->New());
    other->SetValue(first->Column(0), "first");
    EXPECT_EQ(row->Table(), third);
    EXPECT_EQ(other->Table(), first);
    EXPECT_EQ(row->GetValue(third->Column(0)).AsString(), Bytes(300, 't'));
    EXPECT_EQ(third->RowPool().LiveBlocks(), 3u) << "the row came from the new table's pool";
    row->Delete();
    third->AcceptChanges();
    EXPECT_EQ(third->PhysicalRowCount(), 0);
    EXPECT_EQ(third->RowPool().LiveBlocks(), 2u);
}

TEST(KldTableNumbers, TheTableBeyondTheLastNumberIsRefused)
{
    std::vector<std::unique_ptr<TKldDataTable>> tables;
    tables.reserve(65536);
    std::string error;
    try
    {
        for (int i = 0; i < 65537; ++i)
            tables.push_back(std::make_unique<TKldDataTable>());
    }
    catch (const Exception& e)
    {
        error = e.Message();
    }
    EXPECT_EQ(error, "Too many data tables: 65536 are in use");
    EXPECT_LE(tables.size(), 65536u);
    tables.pop_back();
    EXPECT_NO_THROW(tables.push_back(std::make_unique<TKldDataTable>())) << "a number given back is taken again";
    tables.clear();
}

// Under the address sanitizer a row's block that went back to the pool is
// out of bounds like freed heap memory: a row used after it went is caught.
TEST(KldRowPoolSanitizer, ARowUsedAfterItWentIsReported)
{
#ifndef KLD_TEST_ASAN
    GTEST_SKIP() << "built without the address sanitizer";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto useAfterDelete = [](bool deleteFirst) {
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("T");
        TKldDataColumn* s = table->Columns().AddColumn("S", cdtString);
        container.SetActive(true);
        TKldDataRow* kept = table->New(); // keeps the slab alive
        TKldDataRow* row = table->New();
        row->SetValue(s, "text");
        if (deleteFirst)
            delete row;
        volatile bool buffer = row->HasBuffer();
        (void)buffer;
        if (!deleteFirst)
            delete row;
        delete kept;
    };
    EXPECT_DEATH(useAfterDelete(true), "use-after-poison");
    useAfterDelete(false); // the same steps in order are clean
#endif
}

// A row still to be fetched is fetched before one of its texts is copied to
// another of its columns: the copy is the fetched text, though fetching
// moves the texts inside the row.
TEST(KldRowTextsPlaceholder, CopyWithinARowToBeFetchedTakesTheFetchedText)
{
    struct Adapter : KldRecordingAdapter
    {
        std::string Pre, Key;
        void RefreshRow(TKldDataRow* row) override
        {
            row->SetAsVariant("Pre", Pre);
            row->SetAsVariant("K", Key);
        }
    };
    const struct
    {
        const char* Desc;
        size_t Pre;
    } cases[] = {
        {"an empty text before the key", 0},
        {"a short text before the key", 20},
        {"a text before the key kept outside the row", 300},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("P");
        TKldDataColumn* pre = table->Columns().AddColumn("Pre", cdtString);
        TKldDataColumn* key = table->Columns().AddColumn("K", cdtString);
        key->SetPrimaryKey(true);
        TKldDataColumn* copy = table->Columns().AddColumn("Copy", cdtString);
        container.SetActive(true);
        Adapter adapter;
        adapter.Pre = Bytes(c.Pre, 'p');
        adapter.Key = "key";
        container.SetDataAdapter(&adapter);
        TKldDataRow* row = table->InsertKey(Variant("key"));
        ASSERT_TRUE(row->GetState(drsNeedRefresh));
        row->AssignColumn(row, key, copy);
        EXPECT_EQ(row->GetValue(copy).AsString(), "key");
        EXPECT_EQ(row->GetValue(pre).AsString(), adapter.Pre);
        EXPECT_EQ(row->GetValue(key).AsString(), "key");
        container.SetDataAdapter(nullptr);
    }
}

// New rows start with the default row's texts, short and long, and changing
// a new row leaves the default row and the other new rows alone.
TEST_F(KldRowTextsTest, NewRowsStartWithTheDefaultRowTexts)
{
    const std::map<TKldDataColumn*, Text> defaults = {
        {a, "default"}, {b, ""}, {m, Bytes(200)}, {l, Bytes(5000, 'l')}, {w, Bytes(40, 'w')}};
    for (const auto& [column, text] : defaults)
        Set(table->DefaultRow(), column, text);
    // Rows stored first with long texts: later rows get more room than the default row has.
    for (int i = 0; i < 3; ++i)
    {
        TKldDataRow* row = table->New();
        row->SetValue(id, 100 + i);
        for (TKldDataColumn* column : Texts())
            Set(row, column, Bytes(150, 'x'));
        table->Insert(row);
    }
    std::vector<std::unique_ptr<TKldDataRow>> rows;
    for (int i = 0; i < 3; ++i)
    {
        rows.emplace_back(table->New());
        SCOPED_TRACE(i);
        Expect(rows.back().get(), defaults);
    }
    Set(rows[0].get(), a, Bytes(250, 'c'));
    Set(rows[0].get(), l, std::nullopt);
    Set(rows[1].get(), m, std::string("changed"));
    Expect(table->DefaultRow(), defaults);
    Expect(rows[2].get(), defaults);
    std::map<TKldDataColumn*, Text> first = defaults;
    first[a] = Bytes(250, 'c');
    first[l] = std::nullopt;
    Expect(rows[0].get(), first);
    rows[0]->SetValue(id, 1);
    TKldDataRow* stored = table->Insert(rows[0].release());
    Expect(stored, first);
}

// Table-wide accept and reject: inserted rows go, changed rows get their
// accepted texts back, deleted rows return with theirs.
TEST_F(KldRowTextsTest, TableRejectChangesRestoresTexts)
{
    std::map<int, std::map<TKldDataColumn*, Text>> accepted;
    for (int k = 1; k <= 3; ++k)
    {
        TKldDataRow* row = Add(k);
        accepted[k] = {{a, Bytes(static_cast<size_t>(k) * 90)}, {m, Bytes(static_cast<size_t>(k) * 400, 'm')}};
        for (const auto& [column, text] : accepted[k])
            Set(row, column, text);
    }
    table->AcceptChanges();
    Set(table->GetRow(0), a, std::nullopt);
    Set(table->GetRow(0), b, Bytes(300));
    table->GetRow(1)->Delete();
    TKldDataRow* added = Add(9);
    Set(added, a, "added");
    table->GetRow(2)->BeginEdit();
    Set(table->GetRow(2), m, std::string());
    table->GetRow(2)->EndEdit();
    table->RejectChanges();
    ASSERT_EQ(table->PhysicalRowCount(), 3);
    for (int i = 0; i < 3; ++i)
    {
        TKldDataRow* row = table->GetRow(i);
        int k = row->GetValue(id).AsInteger();
        SCOPED_TRACE(k);
        Expect(row, accepted[k]);
        EXPECT_FALSE(row->GetState(drsUpdated));
    }
}

// A row's buffer copied into a row with less text room: the texts that do
// not fit go outside the smaller row; copying back and forth loses nothing.
TEST_F(KldRowTextsTest, BufferCopyIntoASmallerRowKeepsEveryText)
{
    std::unique_ptr<TKldDataRow> small(table->New()); // the least room
    Set(small.get(), a, "old");
    Set(small.get(), m, Bytes(3000));
    for (int i = 0; i < 3; ++i)
    {
        TKldDataRow* row = table->New();
        row->SetValue(id, 100 + i);
        for (TKldDataColumn* column : Texts())
            Set(row, column, Bytes(200, 'x'));
        table->Insert(row);
    }
    const std::vector<std::map<TKldDataColumn*, Text>> sources = {
        {{a, Bytes(200)}, {b, Bytes(150)}, {cc, Bytes(100)}, {w, Bytes(50)}, {m, Bytes(20)}, {l, Bytes(10)}},
        {{a, ""}, {b, Bytes(256)}, {m, Bytes(1000)}, {l, Bytes(9)}},
        {{w, Bytes(200, 'w')}},
        {},
    };
    for (size_t i = 0; i < sources.size(); ++i)
    {
        SCOPED_TRACE(i);
        std::unique_ptr<TKldDataRow> large(table->New());
        ASSERT_GT(large->Capacity(), small->Capacity());
        large->InitBuffer(); // the last source: a buffer of NULLs
        for (const auto& [column, text] : sources[i])
            Set(large.get(), column, text);
        small->InternalCopyBuffer(*large);
        Expect(small.get(), sources[i]);
        large.reset();
        Expect(small.get(), sources[i]);
        std::unique_ptr<TKldDataRow> again(table->New());
        again->InternalCopyBuffer(*small);
        Expect(again.get(), sources[i]);
    }
}

// Random inserts, deletes, text writes, accepts, rejects, transactions and
// stream round trips on the whole table, checked against a model: freed row
// blocks are reused all along and the text room keeps changing.
TEST_F(KldRowTextsTest, RandomTableChangesMatchAModel)
{
    using Values = std::map<TKldDataColumn*, Text>;
    using Rows = std::map<int, Values>;
    // ASCII texts: a WideString column travels as UTF-16 in streams.
    const size_t lengths[] = {0, 1, 8, 9, 20, 64, 130, 256, 257, 1200};
    auto check = [&](TKldDataTable* t, const Rows& want) {
        ASSERT_EQ(t->RowCount(), static_cast<int>(want.size()));
        for (int i = 0; i < t->RowCount(); ++i)
        {
            TKldDataRow* row = t->GetRow(i);
            int k = row->GetValue(t->Column(0)).AsInteger();
            SCOPED_TRACE(k);
            auto it = want.find(k);
            ASSERT_NE(it, want.end());
            for (TKldDataColumn* column : Texts())
            {
                auto v = it->second.find(column);
                Text expected = v == it->second.end() ? std::nullopt : v->second;
                ASSERT_TRUE(Get(row, t->Columns().Get(column->Name())) == expected) << column->Name();
            }
        }
    };
    for (unsigned seed : {11u, 12u, 13u})
    {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
        container.SetActive(false);
        container.SetActive(true);
        Rows live, accepted, saved;
        bool inTransaction = false;
        int nextKey = 1;
        auto anyRow = [&]() -> TKldDataRow* {
            return table->RowCount() ? table->GetRow(static_cast<int>(pick(static_cast<size_t>(table->RowCount()))))
                                     : nullptr;
        };
        for (int step = 0; step < 600; ++step)
        {
            SCOPED_TRACE(step);
            switch (pick(10))
            {
            case 0:
            case 1: {
                std::unique_ptr<TKldDataRow> row(table->New());
                int k = nextKey++;
                row->SetValue(id, k);
                Values values;
                for (TKldDataColumn* column : Texts())
                {
                    if (pick(3) == 0)
                        continue;
                    values[column] = Bytes(lengths[pick(std::size(lengths))], static_cast<char>('A' + pick(20)));
                    Set(row.get(), column, values[column]);
                }
                table->Insert(row.release());
                live[k] = values;
                break;
            }
            case 2:
                if (TKldDataRow* row = anyRow())
                {
                    live.erase(row->GetValue(id).AsInteger());
                    row->Delete();
                }
                break;
            case 3:
            case 4:
            case 5:
                if (TKldDataRow* row = anyRow())
                {
                    TKldDataColumn* column = Texts()[pick(Texts().size())];
                    Text text;
                    if (pick(6) != 0)
                        text = Bytes(lengths[pick(std::size(lengths))], static_cast<char>('A' + pick(20)));
                    Set(row, column, text);
                    live[row->GetValue(id).AsInteger()][column] = text;
                }
                break;
            case 6:
                if (!inTransaction)
                {
                    table->AcceptChanges();
                    accepted = live;
                }
                break;
            case 7:
                if (!inTransaction)
                {
                    table->RejectChanges();
                    live = accepted;
                }
                break;
            case 8:
                if (!inTransaction)
                {
                    container.StartTransaction();
                    saved = live;
                    inTransaction = true;
                }
                else if (pick(2))
                {
                    container.RollbackTransaction();
                    live = saved;
                    inTransaction = false;
                }
                else
                {
                    container.CommitTransaction();
                    inTransaction = false;
                }
                break;
            case 9:
                if (!inTransaction)
                {
                    TMemoryStream stream;
                    container.SaveToStream(stream, true, true);
                    stream.SetPosition(0);
                    TKldDataContainer loaded;
                    loaded.LoadFromStream(stream);
                    ASSERT_NO_FATAL_FAILURE(check(loaded.Tables().Get("T"), live));
                }
                break;
            }
            ASSERT_NO_FATAL_FAILURE(check(table, live));
        }
        if (inTransaction)
            container.CommitTransaction();
    }
}
