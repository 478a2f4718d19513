#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "KldEngineTestSupport.h"
#include "platform/FMTBcd.h"
#include "platform/FileUtils.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"
#include "platform/StringList.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace
{

using Bytes = std::vector<uint8_t>;

Bytes StreamBytes(TMemoryStream& stream)
{
    Bytes out(static_cast<size_t>(stream.Size()));
    stream.SetPosition(0);
    if (!out.empty())
        stream.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
    return out;
}

template <class F>
Bytes Written(F&& body)
{
    TMemoryStream stream;
    {
        TKldWriter writer(stream);
        body(writer);
        writer.FlushBuffer();
    }
    return StreamBytes(stream);
}

std::unique_ptr<TMemoryStream> StreamOf(const Bytes& bytes)
{
    auto stream = std::make_unique<TMemoryStream>();
    if (!bytes.empty())
        stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream->SetPosition(0);
    return stream;
}

// Pieces of the expected encodings, spelled out byte by byte.
struct Expect
{
    Bytes b;
    Expect& Raw(std::initializer_list<int> values)
    {
        for (int v : values)
            b.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Expect& Name(const std::string& s) // property name: length and characters
    {
        b.push_back(static_cast<uint8_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Expect& Str(const std::string& s)
    {
        b.push_back(6);
        return Name(s);
    }
    Expect& Ident(const std::string& s)
    {
        b.push_back(7);
        return Name(s);
    }
};

std::string Dump(TKldDataContainer& container)
{
    TStringList lines;
    DumpContainerState(&container, lines);
    std::string text;
    for (int i = 0; i < lines.Count(); ++i)
        text += lines[i] + "\n";
    return text + (container.Active() ? "active" : "inactive") + " tables=" +
           std::to_string(container.Tables().Count()) + " relations=" + std::to_string(container.Relations().Count());
}

// A table T (Id Integer key, Name String(10)) with the rows 1 "ab" and 300 NULL.
void BuildSmall(TKldDataContainer& container)
{
    TKldDataTable* table = container.Tables().Add();
    table->SetName("T");
    table->Columns().AddColumn("Id", cdtInteger)->SetPrimaryKey(true);
    table->Columns().AddColumn("Name", cdtString, 10);
    container.SetActive(true);
    TKldDataRow* row = table->New();
    row->SetValue(table->Column(0), 1);
    row->SetValue(table->Column(1), "ab");
    table->Insert(row);
    row = table->New();
    row->SetValue(table->Column(0), 300);
    table->Insert(row);
}

Bytes ColumnItem(const std::string& name, const std::string& type, int length, bool key)
{
    Expect e;
    e.Raw({1});
    e.Name("DataType").Ident(type);
    e.Name("DataLength").Raw({2, length});
    e.Name("Name").Str(name);
    e.Name("Required").Raw({8});
    e.Name("ReadOnly").Raw({8});
    e.Name("PrimaryKey").Raw({key ? 9 : 8});
    e.Name("Calculated").Raw({8});
    e.Name("DisplayLabel").Str("");
    e.Name("RelationName").Str("");
    e.Raw({0});
    return e.b;
}

Bytes SmallData();

Bytes SmallGolden()
{
    Expect e;
    e.Raw({9, 14, 1});
    e.Name("Columns").Raw({14});
    Bytes id = ColumnItem("Id", "cdtInteger", 0, true);
    Bytes name = ColumnItem("Name", "cdtString", 10, false);
    e.b.insert(e.b.end(), id.begin(), id.end());
    e.b.insert(e.b.end(), name.begin(), name.end());
    e.Raw({0});
    e.Name("Name").Str("T");
    e.Raw({0, 0});     // end of the table item, end of the tables
    e.Raw({14, 0});    // no relations
    Bytes data = SmallData();
    e.b.insert(e.b.end(), data.begin(), data.end());
    return e.b;
}

// The data part of the small container: the table list with T's data.
Bytes SmallData()
{
    Expect e;
    e.Raw({1});        // table data list
    e.Str("T");
    e.Raw({9, 1});     // prepared, column list
    e.Str("Id").Raw({2, 4});
    e.Str("Name").Raw({2, 9});
    e.Raw({0, 1});     // end of columns, rows
    e.Raw({9, 9, 2, 1, 9}).Str("ab");
    e.Raw({9, 9, 3, 0x2C, 0x01, 8});
    e.Raw({0, 0});
    return e.b;
}

} // namespace

TEST(KldDataStream, IntegersTakeTheSmallestForm)
{
    struct Case
    {
        const char* Desc;
        int64_t Input;
        Bytes Expected;
    };
    const Case cases[] = {
        {"zero", 0, {2, 0}},
        {"largest byte", 127, {2, 0x7F}},
        {"smallest byte", -128, {2, 0x80}},
        {"just past a byte", 128, {3, 0x80, 0}},
        {"smallest word", -32768, {3, 0x00, 0x80}},
        {"past a word", -32769, {4, 0xFF, 0x7F, 0xFF, 0xFF}},
        {"largest 32-bit", 2147483647, {4, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"past 32 bits", 2147483648LL, {19, 0, 0, 0, 0x80, 0, 0, 0, 0}},
        {"smallest 64-bit", std::numeric_limits<int64_t>::min(), {19, 0, 0, 0, 0, 0, 0, 0, 0x80}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        Bytes bytes = Written([&](TKldWriter& w) { w.WriteInteger(c.Input); });
        EXPECT_EQ(bytes, c.Expected);
        auto stream = StreamOf(bytes);
        TKldReader reader(*stream);
        EXPECT_EQ(reader.ReadInt64(), c.Input);
    }
}

TEST(KldDataStream, FloatsAreTenByteExtended)
{
    struct Case
    {
        const char* Desc;
        double Input;
        Bytes Expected;
    };
    const Case cases[] = {
        {"one", 1.0, {5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
        {"minus two and a half", -2.5, {5, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
        {"zero", 0.0, {5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a tenth", 0.1, {5, 0x00, 0xD0, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
        {"infinity", std::numeric_limits<double>::infinity(), {5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
        {"smallest subnormal", std::numeric_limits<double>::denorm_min(),
         {5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xCD, 0x3B}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        Bytes bytes = Written([&](TKldWriter& w) { w.WriteFloat(c.Input); });
        EXPECT_EQ(bytes, c.Expected);
        auto stream = StreamOf(bytes);
        TKldReader reader(*stream);
        EXPECT_EQ(reader.ReadFloat(), c.Input);
    }
    // An extended value more precise than a double rounds to the nearest one.
    uint8_t tenth[10] = {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F};
    EXPECT_EQ(ExtendedToDouble(tenth), 0.1);
    // Beyond the double range: infinity; below it: zero.
    uint8_t huge[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x7F};
    EXPECT_TRUE(std::isinf(ExtendedToDouble(huge)));
    uint8_t tiny[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x00};
    EXPECT_EQ(ExtendedToDouble(tiny), 0.0);
    uint8_t nan[10] = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F};
    EXPECT_TRUE(std::isnan(ExtendedToDouble(nan)));
}

TEST(KldDataStream, StringsShortLongAndWide)
{
    std::string short255(255, 'x');
    std::string long300(300, 'y');
    Bytes s = Written([&](TKldWriter& w) { w.WriteString(short255); });
    ASSERT_EQ(s.size(), 257u);
    EXPECT_EQ(s[0], 6);
    EXPECT_EQ(s[1], 255);
    Bytes l = Written([&](TKldWriter& w) { w.WriteString(long300); });
    ASSERT_EQ(l.size(), 305u);
    EXPECT_EQ(Bytes(l.begin(), l.begin() + 5), (Bytes{12, 0x2C, 0x01, 0, 0}));

    EXPECT_EQ(Written([](TKldWriter& w) { w.WriteWideString("\xC3\xA9"); }), (Bytes{18, 1, 0, 0, 0, 0xE9, 0}));
    EXPECT_EQ(Written([](TKldWriter& w) { w.WriteWideString("\xF0\x9F\x98\x80"); }),
              (Bytes{18, 2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(Written([](TKldWriter& w) { w.WriteIdent("cdtString"); }), Expect().Ident("cdtString").b);
    EXPECT_EQ(Written([](TKldWriter& w) { w.WriteDate(1.5); }), (Bytes{17, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));

    auto stream = StreamOf(Written([&](TKldWriter& w) {
        w.WriteString(long300);
        w.WriteWideString("\xF0\x9F\x98\x80 \xC3\xA9");
        w.WriteIdent("draCascade");
    }));
    TKldReader reader(*stream);
    EXPECT_EQ(reader.ReadString(), long300);
    EXPECT_EQ(reader.ReadWideString(), "\xF0\x9F\x98\x80 \xC3\xA9");
    EXPECT_EQ(reader.ReadIdent(), "draCascade");
}

TEST(KldDataStream, MalformedTextBecomesReplacementCharacters)
{
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xFF" "b")), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD") << "lone surrogate";
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), std::u16string(u"\xFFFD")) << "a cut sequence is one part";
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), std::u16string(u"\xFFFD\xFFFD")) << "an overlong form is two";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xF0\x9F\x98\x80")), "\xF0\x9F\x98\x80") << "a pair round-trips";
}

TEST(KldDataStream, ReaderRefusesBadInput)
{
    struct Case
    {
        const char* Desc;
        Bytes Input;
        const char* Expected;
    };
    const Case cases[] = {
        {"nothing", {}, "Stream read error"},
        {"string longer than the stream", {6, 10, 'a'}, "Stream read error"},
        {"long string of 2 GB", {12, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}, "Stream read error"},
        {"wide string of 4 G characters", {18, 0xFF, 0xFF, 0xFF, 0xFF}, "Stream read error"},
        {"unknown type byte", {0x63}, "Invalid property value"},
        {"truncated integer", {4, 1, 2}, "Stream read error"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        auto stream = StreamOf(c.Input);
        TKldReader reader(*stream);
        try
        {
            reader.ReadString();
            ADD_FAILURE() << "no error";
        }
        catch (const EReadError& e)
        {
            // A type byte that is no string is refused before its data is read.
            std::string expected = c.Input.size() > 0 && c.Input[0] == 4 ? "Invalid property value" : c.Expected;
            EXPECT_EQ(e.Message(), expected);
        }
    }
    auto stream = StreamOf({4, 1, 2});
    TKldReader reader(*stream);
    try
    {
        reader.ReadInteger();
        ADD_FAILURE() << "no error";
    }
    catch (const EReadError& e)
    {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
}

TEST(KldDataStream, ContainerGoldenBytes)
{
    TKldDataContainer container;
    BuildSmall(container);
    TMemoryStream stream;
    container.SaveToStream(stream, true, true);
    EXPECT_EQ(StreamBytes(stream), SmallGolden());

    TMemoryStream dataOnly;
    container.SaveToStream(dataOnly, false, true);
    // Without structure: False, then the same table data as above.
    Bytes expected{8};
    Bytes data = SmallData();
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(StreamBytes(dataOnly), expected);

    TMemoryStream empty;
    container.SaveToStream(empty, false, false);
    EXPECT_EQ(StreamBytes(empty), (Bytes{8, 1, 0}));
}

TEST(KldDataStream, RoundTripReproducesStructureAndRows)
{
    TKldDataContainer source;
    TKldDataTable* parent = source.Tables().Add();
    parent->SetName("Parent");
    parent->Props().Add("Caption=Parents");
    parent->Columns().AddColumn("Id", cdtInteger)->SetPrimaryKey(true);
    TKldDataTable* child = source.Tables().Add();
    child->SetName("Child");
    struct Col
    {
        const char* Name;
        TKldDataType Type;
    };
    const Col cols[] = {{"Id", cdtInteger},       {"ParentId", cdtInteger}, {"Small", cdtSmallInt},
                        {"Large", cdtLargeInt},   {"Flag", cdtBoolean},     {"Amount", cdtFloat},
                        {"Stamp", cdtDateTime},   {"Day", cdtDate},         {"Clock", cdtTime},
                        {"Text", cdtString},      {"Wide", cdtWideString},  {"Note", cdtMemo},
                        {"Data", cdtBlob},        {"Money", cdtBCD},        {"TS", cdtSQLTimeStamp},
                        {"Uid", cdtGuid}};
    for (const Col& c : cols)
        child->Columns().AddColumn(c.Name, c.Type, c.Type == cdtString ? 400 : -1);
    child->Column(0)->SetPrimaryKey(true);
    child->Columns().Find("Text")->SetDisplayLabel("Some text");
    child->Columns().Find("Text")->SetRequired(true);
    TKldDataRelation* relation = source.Relations().Add();
    relation->SetName("Parent_Child");
    relation->SetParentTableName("Parent");
    relation->SetChildTableName("Child");
    relation->SetParentColumnNames("Id");
    relation->SetChildColumnNames("ParentId");
    relation->SetDeleteAction(draCascade);
    relation->SetUpdateAction(draNullify);
    source.SetActive(true);

    TKldDataRow* p = parent->New();
    p->SetValue(parent->Column(0), 7);
    parent->Insert(p);
    TKldDataRow* row = child->New();
    row->SetRowValues(VarArrayOf({1, 7, int16_t(-5), 5000000000LL, true, 2.75, Variant::FromDate(45000.25),
                                  Variant::FromDate(45001.0), Variant::FromDate(0.5), std::string(300, 'z'),
                                  Variant::FromWideString("\xC3\xA9t\xC3\xA9"), "memo", std::string("\0\1\2", 3),
                                  12.5, Variant::FromDate(45002.5), Variant::Null()}));
    row->SetAsString(child->Columns().Find("Uid"), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    child->Insert(row);
    TKldDataRow* second = child->New();
    second->SetValue(child->Column(0), 2);
    second->SetValue(child->Columns().Find("Text"), "second");
    child->Insert(second);
    TKldDataRow* gone = child->New();
    gone->SetValue(child->Column(0), 3);
    gone->SetValue(child->Columns().Find("Text"), "gone");
    child->Insert(gone);
    gone->Delete();

    TMemoryStream stream;
    source.SaveToStream(stream, true, true);
    stream.SetPosition(0);
    TKldDataContainer target;
    KldEventLog* log = new KldEventLog(&target);
    target.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), stream.Size());
    EXPECT_TRUE(target.Active());
    EXPECT_EQ(log->Count(cdeContainerDataChanged), 1);
    EXPECT_EQ(log->Count(cdeRowInserted), 0);

    ASSERT_EQ(target.Tables().Count(), 2);
    ASSERT_EQ(target.Relations().Count(), 1);
    TKldDataRelation* r = target.Relations().Relations(0);
    EXPECT_EQ(r->Name(), "Parent_Child");
    EXPECT_EQ(r->ChildColumnNames(), "ParentId");
    EXPECT_EQ(r->DeleteAction(), draCascade);
    EXPECT_EQ(r->UpdateAction(), draNullify);
    TKldDataTable* t = target.Tables().Get("Child");
    EXPECT_EQ(target.Tables().Get("Parent")->Props().Values("Caption"), "Parents");
    ASSERT_EQ(t->ColumnCount(), 16);
    for (int i = 0; i < 16; ++i)
    {
        SCOPED_TRACE(cols[i].Name);
        EXPECT_EQ(t->Column(i)->Name(), cols[i].Name);
        EXPECT_EQ(t->Column(i)->DataType(), cols[i].Type);
    }
    EXPECT_EQ(t->Columns().Find("Text")->DataLength(), 400);
    EXPECT_EQ(t->Columns().Find("Text")->DisplayLabel(), "Some text");
    EXPECT_TRUE(t->Columns().Find("Text")->Required());
    EXPECT_TRUE(t->Column(0)->PrimaryKey());

    ASSERT_EQ(t->RowCount(), 2) << "the deleted row is not saved";
    EXPECT_EQ(t->PhysicalRowCount(), 2);
    TKldDataRow* loaded = t->GetRow(0);
    for (int i = 0; i < 15; ++i)
    {
        SCOPED_TRACE(cols[i].Name);
        EXPECT_EQ(loaded->GetAsString(t->Column(i)), row->GetAsString(child->Column(i)));
    }
    EXPECT_FALSE(loaded->GetState(drsInserted));
    EXPECT_FALSE(loaded->GetState(drsUpdated));
    // A GUID is not written: it comes back assigned, all zero.
    TKldDataColumn* uid = t->Columns().Find("Uid");
    EXPECT_TRUE(loaded->GetAssignedValue(uid));
    EXPECT_EQ(loaded->GetAsString(uid), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(t->GetRow(1)->GetAsString(t->Columns().Find("Text")), "second");
    EXPECT_FALSE(t->GetRow(1)->GetAssignedValue(t->Columns().Find("Wide")));
}

TEST(KldDataStream, DataLoadMapsColumnsByNameAndType)
{
    TKldDataContainer source;
    BuildSmall(source);
    TMemoryStream stream;
    source.SaveToStream(stream, false, true);

    TKldDataContainer target;
    TKldDataTable* table = target.Tables().Add();
    table->SetName("t"); // found without regard to case
    table->Columns().AddColumn("Extra", cdtString);
    table->Columns().AddColumn("ID", cdtInteger)->SetPrimaryKey(true);
    table->Columns().AddColumn("Name", cdtInteger); // type changed
    stream.SetPosition(0);
    target.LoadFromStream(stream);
    ASSERT_EQ(table->RowCount(), 2);
    EXPECT_EQ(table->GetRow(0)->GetValue(table->Column(1)).AsInteger(), 1);
    EXPECT_EQ(table->GetRow(1)->GetValue(table->Column(1)).AsInteger(), 300);
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_FALSE(table->GetRow(i)->GetAssignedValue(table->Column(0))) << "new column is NULL";
        EXPECT_FALSE(table->GetRow(i)->GetAssignedValue(table->Column(2))) << "retyped column is NULL";
    }

    // Loading data for a table that is not there changes nothing.
    TKldDataContainer other;
    other.Tables().Add()->SetName("Elsewhere");
    other.Tables().Tables(0)->Columns().AddColumn("V", cdtInteger);
    stream.SetPosition(0);
    try
    {
        other.LoadFromStream(stream);
        ADD_FAILURE() << "no error";
    }
    catch (const EReadError& e)
    {
        EXPECT_EQ(e.Message(), "Table not found: T");
    }
    EXPECT_FALSE(other.Active());
}

TEST(KldDataStream, UnpreparedTableWritesOnlyFalse)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("Idle");
    table->Columns().AddColumn("V", cdtInteger);
    TMemoryStream stream;
    container.SaveToStream(stream, false, true);
    EXPECT_EQ(StreamBytes(stream), Expect().Raw({8, 1}).Str("Idle").Raw({8, 0}).b);
    stream.SetPosition(0);
    container.LoadFromStream(stream);
    EXPECT_EQ(table->RowCount(), 0);
}

TEST(KldDataStream, TableReadAloneValidatesRows)
{
    TKldDataContainer source;
    BuildSmall(source);
    TMemoryStream stream;
    {
        TKldWriter writer(stream);
        source.Tables().Get("T")->WriteData(writer);
        writer.FlushBuffer();
    }
    TKldDataTable* table = source.Tables().Get("T");
    stream.SetPosition(0);
    TKldReader reader(stream);
    ExpectKldError([&] { table->ReadData(reader); }, "Primary key violation in table \"T\"");
}

TEST(KldDataStream, FilesRoundTrip)
{
    TKldDataContainer source;
    BuildSmall(source);
    source.AcceptChanges(); // loaded rows carry no states
    std::string path = CreateUniqueTempFile(GetTempPath(), "kldstream");
    source.SaveToFile(path, true, true);
    TKldDataContainer target;
    target.LoadFromFile(path);
    DeleteFile(path);
    EXPECT_EQ(Dump(target), Dump(source));
}

// A stream may hold no more than 2048 tables, relations or columns of a
// table (more than any database table has): names are checked against each
// other as the container is built, and a hostile stream of tens of
// thousands of columns took minutes.
TEST(KldDataStream, CountsAStreamMayHoldAreCapped)
{
    TKldDataContainer source;
    TKldDataTable* table = source.Tables().Add();
    table->SetName("Wide");
    for (int i = 0; i < 2049; ++i) {
        TKldDataColumn* column = table->Columns().Add();
        column->SetName("C" + std::to_string(i));
        column->SetDataType(cdtInteger);
    }
    TMemoryStream stream;
    source.SaveToStream(stream, true, false);
    stream.SetPosition(0);
    TKldDataContainer target;
    ExpectKldError([&] { target.LoadFromStream(stream); }, "More than 2048 columns in a table in the stream");
    EXPECT_EQ(target.Tables().Count(), 0);

    // One column fewer loads.
    table->Columns().Delete(2048);
    TMemoryStream fits;
    source.SaveToStream(fits, true, false);
    fits.SetPosition(0);
    target.LoadFromStream(fits);
    EXPECT_EQ(target.Tables().Get("Wide")->Columns().Count(), 2048);
}

// Many tables of many columns each within the per-table cap: the whole
// stream has a cap of its own (65,536 items), and a stream below it loads
// without comparing every column name with every other.
TEST(KldDataStream, AStreamOfManyTablesIsCappedAsAWhole)
{
    auto wide = [](int tables, int columns) {
        // The names are unique by construction: the source skips its own
        // check, which would compare each with every earlier one.
        TKldDataContainer source;
        source.Tables().SetNamesChecked(true);
        for (int t = 0; t < tables; ++t) {
            TKldDataTable* table = source.Tables().Add();
            table->Columns().SetNamesChecked(true);
            table->SetName("T" + std::to_string(t));
            for (int c = 0; c < columns; ++c) {
                TKldDataColumn* column = table->Columns().Add();
                column->SetName("C" + std::to_string(c));
                column->SetDataType(cdtInteger);
            }
        }
        auto stream = std::make_unique<TMemoryStream>();
        source.SaveToStream(*stream, true, false);
        stream->SetPosition(0);
        return stream;
    };
    // 64 tables of 1,024 columns: 64 + 65,536 items.
    auto tooMany = wide(64, 1024);
    TKldDataContainer target;
    ExpectKldError([&] { target.LoadFromStream(*tooMany); }, "More than 65536 items in the stream");
    EXPECT_EQ(target.Tables().Count(), 0);

    // 31 tables of 2,048 columns load; names are still checked.
    auto fits = wide(31, 2048);
    target.LoadFromStream(*fits);
    ASSERT_EQ(target.Tables().Count(), 31);
    EXPECT_EQ(target.Tables().Get("T30")->Columns().Count(), 2048);
    EXPECT_EQ(target.Tables().Get("T30")->Columns().Get("C2047")->Index(), 2047);
    // Afterwards the collections check names again.
    target.SetActive(false);
    ExpectKldError([&] { target.Tables().Get("T0")->Columns().Columns(1)->SetName("c0"); },
                   "Duplicate column name: c0");
    ExpectKldError([&] { target.Tables().Get("T1")->SetName("t0"); }, "Duplicate table name: t0");

    // A duplicate in the stream is still refused.
    TKldDataContainer twice;
    for (const char* name : {"A", "B"}) {
        TKldDataTable* table = twice.Tables().Add();
        table->SetName(name);
        table->Columns().AddColumn("X", cdtInteger);
    }
    twice.Tables().Get("B")->Columns().AddColumn("Y", cdtInteger);
    TMemoryStream dup;
    twice.SaveToStream(dup, true, false);
    std::string bytes(static_cast<size_t>(dup.Size()), '\0');
    dup.SetPosition(0);
    dup.Read(bytes.data(), dup.Size());
    // Rename B's second column to its first one's name, same length.
    const size_t y = bytes.rfind("\x01Y");
    ASSERT_NE(y, std::string::npos);
    bytes[y + 1] = 'X';
    TMemoryStream broken;
    broken.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    broken.SetPosition(0);
    ExpectKldError([&] { target.LoadFromStream(broken); }, "Duplicate column name: X");
}

// A save that fails half-way (here at a file size limit, as on a full disk)
// leaves the file that was there whole and says why.
TEST(KldDataStream, AFailedSaveLeavesTheOldFileWhole)
{
    TTempFolder folder;
    const std::string path = folder / "data.kld";
    TKldDataContainer small;
    BuildSmall(small);
    small.SaveToFile(path, true, true);
    const std::string old = ReadText(path);
    const TestChild::Result result = TestChild::Run([&](const auto& send) {
        TKldDataContainer big;
        BuildSmall(big);
        TKldDataTable* table = big.Tables().Get("T");
        table->GetRow(0)->SetValue(table->Column(1), std::string(4000, 'x'));
        TestChild::LimitFileSize(old.size() + 100);
        try {
            big.SaveToFile(path, true, true);
        } catch (const EStreamError& e) {
            send(e.Message());
        }
        return 0;
    });
    EXPECT_EQ(result.Output, "Cannot write " + path + ": File too large");
    EXPECT_EQ(ReadText(path), old);
}

TEST(KldDataStream, BrokenStreamsLeaveTheContainerAsItWas)
{
    Bytes golden = SmallGolden();
    TKldDataContainer container;
    BuildSmall(container);
    container.Tables().Get("T")->GetRow(0)->SetValue(container.Tables().Get("T")->Column(1), "changed");
    const std::string before = Dump(container);

    auto expectUnchanged = [&](const Bytes& bytes, bool mustFail) {
        auto stream = StreamOf(bytes);
        try
        {
            container.LoadFromStream(*stream);
            EXPECT_FALSE(mustFail) << "loaded";
            return false;
        }
        catch (const EAssertionFailed& e)
        {
            ADD_FAILURE() << "assertion: " << e.Message();
        }
        catch (const Exception&)
        {
        }
        EXPECT_EQ(Dump(container), before);
        return true;
    };
    for (size_t length = 0; length < golden.size(); ++length)
    {
        SCOPED_TRACE("cut at " + std::to_string(length));
        expectUnchanged(Bytes(golden.begin(), golden.begin() + static_cast<long>(length)), true);
    }
    const uint8_t replacements[] = {0x00, 0x01, 0x07, 0x0C, 0x0E, 0x13, 0x63, 0xFF};
    for (size_t at = 0; at < golden.size(); ++at)
    {
        for (uint8_t value : replacements)
        {
            if (golden[at] == value)
                continue;
            Bytes mutated = golden;
            mutated[at] = value;
            SCOPED_TRACE("byte " + std::to_string(at) + " = " + std::to_string(value));
            if (!expectUnchanged(mutated, false))
            {
                // It loaded: put the original state back for the next case.
                container.Tables().Clear();
                BuildSmall(container);
                container.Tables().Get("T")->GetRow(0)->SetValue(container.Tables().Get("T")->Column(1), "changed");
            }
        }
    }
}

TEST(KldDataStream, HostileValuesAreRefused)
{
    struct Case
    {
        const char* Desc;
        Bytes Input;
        const char* Expected;
    };
    auto data = [](std::initializer_list<int> columns, std::initializer_list<int> row) {
        Expect e;
        e.Raw({8, 1}).Str("T").Raw({9});
        e.Raw(columns);
        e.Raw(row);
        e.Raw({0});
        return e.b;
    };
    Bytes outOfRange = data({1, 6, 1, 'X', 2, 17, 0}, {1, 0});
    Bytes negative = data({1, 6, 1, 'X', 2, 0xFF, 0}, {1, 0});
    Bytes smallint = Expect().Raw({8, 1}).Str("S").Raw({9, 1}).Str("V").Raw({2, 1, 0, 1, 9, 9, 4, 0, 0, 1, 0, 0, 0}).b;
    const Case cases[] = {
        {"type ordinal past the last type", outOfRange, "Invalid property value"},
        {"negative type ordinal", negative, "Invalid property value"},
        {"SmallInt value out of range", smallint, "Invalid property value"},
        {"unknown property", Expect().Raw({9, 14, 1}).Name("Colour").Str("red").Raw({0, 0, 14, 0, 1, 0}).b,
         "Property Colour does not exist"},
        {"unknown data type name",
         Expect().Raw({9, 14, 1}).Name("Columns").Raw({14, 1}).Name("DataType").Ident("cdtColour").Raw({0, 0}).b,
         "Invalid property value"},
        {"unknown relation action",
         Expect().Raw({9, 14, 0, 14, 1}).Name("DeleteAction").Ident("draExplode").Raw({0, 0, 1, 0}).b,
         "Invalid property value"},
        {"table without name", Expect().Raw({9, 14, 1, 0, 0, 14, 0, 1, 0}).b, "Table name should not be empty"},
        {"relation to a missing table",
         Expect()
             .Raw({9, 14, 0, 14, 1})
             .Name("Name")
             .Str("R")
             .Name("ParentTableName")
             .Str("Nowhere")
             .Raw({0, 0, 1, 0})
             .b,
         "Table not found: Nowhere"},
        {"reference column without its relation",
         Expect()
             .Raw({9, 14, 1})
             .Name("Columns")
             .Raw({14, 1})
             .Name("DataType")
             .Ident("cdtReference")
             .Name("Name")
             .Str("Ref")
             .Name("RelationName")
             .Str("Missing")
             .Raw({0, 0})
             .Name("Name")
             .Str("U")
             .Raw({0, 0, 14, 0, 1, 0})
             .b,
         "Data relation not found: Missing"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataContainer container;
        container.SetName("Keep");
        TKldDataTable* s = container.Tables().Add();
        s->SetName("S");
        s->Columns().AddColumn("V", cdtSmallInt);
        TKldDataTable* t = container.Tables().Add();
        t->SetName("T");
        t->Columns().AddColumn("X", cdtInteger);
        container.SetActive(true);
        const std::string before = Dump(container);
        auto stream = StreamOf(c.Input);
        try
        {
            container.LoadFromStream(*stream);
            ADD_FAILURE() << "loaded";
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(e.Message(), c.Expected);
        }
        EXPECT_EQ(Dump(container), before);
    }
}

TEST(KldDataStream, MalformedDecimalAndTimeStampRecordsAreRefused)
{
    // A key column of the type holds 1 and 2; the stored record of 2 is spoiled.
    struct Case
    {
        const char* Desc;
        TKldDataType Type;
        Variant First;
        Variant Second;
        Bytes SecondRecord;
        size_t SpoiledAt; // the byte set to 0xFF
    };
    TBcd two = DoubleToBcd(2.0);
    TSQLTimeStamp day = DateTimeToSQLTimeStamp(40001.0);
    auto bytesOf = [](const void* p, size_t size) {
        auto* b = static_cast<const uint8_t*>(p);
        return Bytes(b, b + size);
    };
    const Case cases[] = {
        {"decimal with more digits than it has room for", cdtBCD, Variant(1.0), Variant(2.0),
         bytesOf(&two, sizeof two), 0},
        {"decimal digit above 9", cdtBCD, Variant(1.0), Variant(2.0), bytesOf(&two, sizeof two), 2},
        {"time stamp in month 255", cdtSQLTimeStamp, Variant::FromDate(40000.0), Variant::FromDate(40001.0),
         bytesOf(&day, sizeof day), 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("T");
        table->Columns().AddColumn("K", c.Type)->SetPrimaryKey(true);
        container.SetActive(true);
        for (const Variant& value : {c.First, c.Second})
        {
            TKldDataRow* row = table->New();
            row->SetValue(table->Column(0), value);
            table->Insert(row);
        }
        TMemoryStream saved;
        container.SaveToStream(saved, true, true);
        Bytes bytes = StreamBytes(saved);
        auto at = std::search(bytes.begin(), bytes.end(), c.SecondRecord.begin(), c.SecondRecord.end());
        ASSERT_NE(at, bytes.end());
        at[static_cast<long>(c.SpoiledAt)] = 0xFF;

        const std::string before = Dump(container);
        auto stream = StreamOf(bytes);
        try
        {
            container.LoadFromStream(*stream);
            ADD_FAILURE() << "loaded";
        }
        catch (const EAssertionFailed& e)
        {
            ADD_FAILURE() << "assertion: " << e.Message();
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(e.Message(), "Invalid property value");
        }
        EXPECT_EQ(Dump(container), before);
    }
}

TEST(KldDataStream, DataPropertyWritesLiveOrSavedRows)
{
    TKldDataContainer container;
    BuildSmall(container);
    EXPECT_FALSE(container.HasDataProperty());
    container.SetStoreDataInDfm(true);
    EXPECT_TRUE(container.HasDataProperty());
    TMemoryStream live;
    container.WriteData(live);
    TMemoryStream expected;
    container.SaveToStream(expected, false, true);
    EXPECT_EQ(StreamBytes(live), StreamBytes(expected));

    container.SetActive(false);
    ASSERT_NE(container.SavedData(), nullptr) << "kept while inactive";
    TMemoryStream saved;
    container.WriteData(saved);
    EXPECT_EQ(StreamBytes(saved), StreamBytes(expected));

    TKldDataContainer copy;
    copy.Assign(container);
    copy.SetActive(true);
    saved.SetPosition(0);
    copy.ReadData(saved);
    EXPECT_EQ(copy.Tables().Get("T")->RowCount(), 2);
}
