// Dataset snapshots: the exact bytes of a small dataset, round trips of every
// value type through streams and files, the record loop's events and
// cancellation, damaged and hostile snapshots, and the property dataset.
#include "Components/Nembra/ovnDataShadow.h"

#include "platform/DataSet.h"
#include "platform/DateUtils.h"
#include "platform/Streams.h"

#include "Nembra/NembraDataSetTestSupport.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Builds the bytes of a snapshot piece by piece, as the layout lists them.
class TBytes
{
  public:
    TBytes& U8(uint8_t v) { return Raw(&v, 1); }
    TBytes& U32(uint32_t v) { return Raw(&v, 4); }
    TBytes& I32(int32_t v) { return Raw(&v, 4); }
    TBytes& I64(int64_t v) { return Raw(&v, 8); }
    TBytes& Dbl(double v) { return Raw(&v, 8); }
    TBytes& Chars(const std::string& s)
    {
        m_bytes += s;
        return *this;
    }
    TBytes& Text(const std::string& s) { return U32(static_cast<uint32_t>(s.size())).Chars(s); }
    TBytes& Magic() { return U8(0xEF).Chars("OVN BinDataShadow V1.0").U8(0xFE); }
    // name, type, size, required, precision, attributes, internal calc
    TBytes& Def(const std::string& name, TFieldType type, int32_t size, uint8_t required = 0)
    {
        return Text(name).U8(static_cast<uint8_t>(type)).I32(size).U8(required).I32(0).U8(required ? 4 : 0).U8(0);
    }
    const std::string& Str() const { return m_bytes; }

  private:
    TBytes& Raw(const void* p, size_t n)
    {
        m_bytes.append(static_cast<const char*>(p), n);
        return *this;
    }
    std::string m_bytes;
};

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Snapshot(TDataSet& ds, const std::string& name)
{
    TStringStream stream;
    TovnShadow::SaveToStream(NembraWriterClass<TovnBinaryShadow>(), &ds, &stream, name);
    return stream.DataString();
}

// ID Integer, NAME String(10), AMOUNT Float: (1, "Ann", 2.5), (2, null, null).
void FillSmall(TovnDataSet& ds)
{
    OpenWithFields(ds, {{"ID", ftInteger}, {"NAME", ftString, 10}, {"AMOUNT", ftFloat}});
    ds.AppendRecord({1, "Ann", 2.5});
    ds.AppendRecord({2, Variant::Null(), Variant::Null()});
}

const std::string SmallHeader = TBytes()
                                    .Magic()
                                    .Text("Rows")
                                    .U32(3)
                                    .Def("ID", ftInteger, 0)
                                    .Def("NAME", ftString, 10)
                                    .Def("AMOUNT", ftFloat, 0)
                                    .Str();
const std::string SmallRecord1 = TBytes().U8(2).U8(0).I32(1).U8(0).Text("Ann").U8(0).Dbl(2.5).U8(55).Str();
const std::string SmallRecord2 = TBytes().U8(2).U8(0).I32(2).U8(1).U8(1).U8(55).Str();

TEST(ovnBinaryShadow, GoldenBytesOfASmallDataSet)
{
    TovnDataSet ds;
    FillSmall(ds);
    const std::string bytes = Snapshot(ds, "Rows");
    EXPECT_EQ(Hex(bytes), Hex(SmallHeader + SmallRecord1 + SmallRecord2 + "\x01"));
    EXPECT_EQ(Hex(bytes.substr(0, 32)), "EF 4F 56 4E 20 42 69 6E 44 61 74 61 53 68 61 64 6F 77 20 56 31 2E 30 FE "
                                        "04 00 00 00 52 6F 77 73")
        << "the 24 magic bytes, then the name's length and characters";

    ds.EmptyDataSet();
    EXPECT_EQ(Hex(Snapshot(ds, "Rows")), Hex(SmallHeader + "\x01")) << "an empty dataset: structure and end byte";
}

// Every type the layout stores, and one that it does not (Guid).
void FillAllTypes(TovnDataSet& ds)
{
    OpenWithFields(ds, {{"S", ftString, 20},   {"FC", ftFixedChar, 4}, {"WS", ftWideString, 20},
                        {"SI", ftSmallint},    {"I", ftInteger},       {"W", ftWord},
                        {"B", ftBoolean},      {"F", ftFloat},         {"CUR", ftCurrency},
                        {"BCD", ftBCD, 4},     {"D", ftDate},          {"T", ftTime},
                        {"DT", ftDateTime},    {"TS", ftTimeStamp},    {"M", ftMemo},
                        {"BL", ftBlob},        {"LI", ftLargeint},     {"FB", ftFMTBcd, 6},
                        {"G", ftGuid}});
    ds.Append();
    ds.FieldByName("S")->SetAsString("Zo\xC3\xAB");
    ds.FieldByName("FC")->SetAsString("AB");
    ds.FieldByName("WS")->SetAsString("\xE2\x82\xAC wide");
    ds.FieldByName("SI")->SetAsInteger(-12);
    ds.FieldByName("I")->SetAsInteger(2000000000);
    ds.FieldByName("W")->SetAsInteger(65000);
    ds.FieldByName("B")->SetAsBoolean(true);
    ds.FieldByName("F")->SetAsFloat(-0.125);
    ds.FieldByName("CUR")->SetAsCurrency(1234.5678);
    ds.FieldByName("BCD")->SetAsBCD(StrToBcd("98765432101.2345"));
    ds.FieldByName("D")->SetAsDateTime(EncodeDate(2024, 2, 29));
    ds.FieldByName("T")->SetAsDateTime(EncodeTime(10, 30, 15, 0));
    ds.FieldByName("DT")->SetAsDateTime(EncodeDate(1899, 12, 30) + EncodeTime(23, 59, 59, 0));
    ds.FieldByName("TS")->SetAsDateTime(EncodeDate(2001, 1, 2) + EncodeTime(3, 4, 5, 0));
    ds.FieldByName("M")->SetAsString("line one\r\nline two");
    ds.FieldByName("BL")->SetAsString(std::string("\x00\x01\xFF\x37", 4));
    ds.FieldByName("LI")->SetAsLargeInt(-9000000000000000001LL);
    ds.FieldByName("FB")->SetAsBCD(StrToBcd("-123456789012345678901234.123456"));
    ds.FieldByName("G")->SetAsString("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    ds.Post();
    ds.AppendRecord({}); // every field null
}

std::vector<std::string> Texts(TDataSet& ds)
{
    std::vector<std::string> texts;
    for (TField* field : ds.Fields())
        texts.push_back(field->FieldName() + "=" + (field->IsNull() ? "<null>" : field->AsString()));
    return texts;
}

TEST(ovnBinaryShadow, EveryValueTypeReadsBackIntoAClosedDataSet)
{
    TovnDataSet source;
    FillAllTypes(source);
    const std::string bytes = Snapshot(source, "All");

    TovnDataSet target;
    TStringStream stream(bytes);
    EXPECT_EQ(TovnShadow::LoadFromStream(NembraWriterClass<TovnBinaryShadow>(), &target, &stream), "All");
    ASSERT_TRUE(target.Active()) << "a closed dataset takes the snapshot's structure and opens";
    ASSERT_EQ(target.FieldDefs().Count(), source.FieldDefs().Count());
    for (int i = 0; i < source.FieldDefs().Count(); ++i) {
        SCOPED_TRACE(source.FieldDefs()[i]->Name());
        EXPECT_EQ(target.FieldDefs()[i]->Name(), source.FieldDefs()[i]->Name());
        EXPECT_EQ(target.FieldDefs()[i]->DataType(), source.FieldDefs()[i]->DataType());
        EXPECT_EQ(target.FieldDefs()[i]->Size(), source.FieldDefs()[i]->Size());
    }
    ASSERT_EQ(target.RecordCount(), 2);
    source.First();
    target.First();
    std::vector<std::string> expected = Texts(source);
    expected.back() = "G=<null>"; // a Guid's value is not stored: only its null flag 0
    EXPECT_EQ(Texts(target), expected);
    EXPECT_EQ(target.FieldByName("LI")->AsLargeInt(), -9000000000000000001LL);
    EXPECT_EQ(BcdToStr(target.FieldByName("FB")->AsBCD()), "-123456789012345678901234.123456");
    EXPECT_EQ(BcdToStr(target.FieldByName("BCD")->AsBCD()), "98765432101.2345") << "no rounding through a double";
    EXPECT_EQ(target.FieldByName("BL")->AsString(), std::string("\x00\x01\xFF\x37", 4));
    source.Next();
    target.Next();
    for (TField* field : target.Fields())
        EXPECT_TRUE(field->IsNull()) << field->FieldName();

    // The Guid field: a flag 0 and no value.
    const std::string guidFlag = TBytes().U8(0).U8(55).Str();
    EXPECT_NE(bytes.find(guidFlag), std::string::npos);
}

TEST(ovnBinaryShadow, ByteFieldsReadBackTheirBytes)
{
    // Bytes travel in the blob group; a dataset's own snapshot must not lose
    // them on the way back.
    TovnDataSet source;
    OpenWithFields(source, {{"FIX", ftBytes, 4}, {"VAR", ftVarBytes, 8}, {"BL", ftBlob}});
    source.Append();
    source.FieldByName("FIX")->SetAsString(std::string("\x00\x7F\x80\xFF", 4));
    source.FieldByName("VAR")->SetAsString(std::string("\x01\x00\x02", 3));
    source.FieldByName("BL")->SetAsString("blob");
    source.Post();
    const std::string bytes = Snapshot(source, "Bytes");

    TovnDataSet target;
    TStringStream stream(bytes);
    TovnShadow::LoadFromStream(NembraWriterClass<TovnBinaryShadow>(), &target, &stream);
    ASSERT_EQ(target.RecordCount(), 1);
    target.First();
    EXPECT_EQ(target.FieldByName("FIX")->AsString(), std::string("\x00\x7F\x80\xFF", 4));
    EXPECT_EQ(target.FieldByName("VAR")->AsString(), std::string("\x01\x00\x02", 3));
    EXPECT_EQ(target.FieldByName("BL")->AsString(), "blob");

    // Blob content still goes into no other kind of field.
    TovnDataSet other;
    OpenWithFields(other, {{"FIX", ftString, 10}, {"VAR", ftInteger}, {"BL", ftString, 10}});
    TStringStream again(bytes);
    TovnShadow::LoadFromStream(NembraWriterClass<TovnBinaryShadow>(), &other, &again);
    ASSERT_EQ(other.RecordCount(), 1);
    other.First();
    for (TField* field : other.Fields())
        EXPECT_TRUE(field->IsNull()) << field->FieldName();
}

TEST(ovnBinaryShadow, FilesAndTheDataSetsOwnLoadAndSave)
{
    TTempFolder folder;
    const std::string file = folder / "rows.ovn";
    TovnDataSet source;
    FillSmall(source);
    TovnShadow::SaveToFile(NembraWriterClass<TovnBinaryShadow>(), &source, file, "Rows");
    EXPECT_EQ(ReadText(file), SmallHeader + SmallRecord1 + SmallRecord2 + "\x01");

    TovnDataSet target;
    EXPECT_EQ(TovnShadow::LoadFromFile(NembraWriterClass<TovnBinaryShadow>(), &target, file), "Rows");
    EXPECT_EQ(Column(target, "NAME"), (std::vector<std::string>{"Ann", ""}));

    // The same through the dataset's own methods, into a file replaced whole.
    source.SaveToFile(NembraWriterClass<TovnBinaryShadow>(), file, "Again");
    TovnDataSet again;
    EXPECT_EQ(again.LoadFromFile(NembraWriterClass<TovnBinaryShadow>(), file), "Again");
    EXPECT_EQ(Column(again, "ID"), (std::vector<std::string>{"1", "2"}));

    // A save that fails leaves the old file as it was.
    TovnDataSet closed;
    EXPECT_NE(ErrorOf([&] { TovnShadow::SaveToFile(NembraWriterClass<TovnBinaryShadow>(), &closed, file, "x"); }),
              "");
    EXPECT_EQ(again.LoadFromFile(NembraWriterClass<TovnBinaryShadow>(), file), "Again");
}

TEST(ovnBinaryShadow, AnOpenDataSetKeepsItsStructureAndTakesSameNamedFields)
{
    TovnDataSet source;
    FillSmall(source);
    TovnDataSet target;
    OpenWithFields(target, {{"NAME", ftString, 2}, {"OTHER", ftInteger}, {"ID", ftInteger}});
    target.AppendRecord({"Zed", 7, 0});
    TStringStream stream(Snapshot(source, "Rows"));
    TovnBinaryShadow reader(&target, &stream);
    EXPECT_EQ(reader.Read(), caNone);
    EXPECT_EQ(reader.ShadowFieldDefs().Count(), 3) << "the snapshot's definitions";
    EXPECT_EQ(target.FieldCount(), 3);
    EXPECT_EQ(Column(target, "NAME"), (std::vector<std::string>{"Ze", "An", ""})) << "records are appended";
    EXPECT_EQ(Column(target, "ID"), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(Column(target, "OTHER"), (std::vector<std::string>{"7", "", ""}));
}

TEST(ovnBinaryShadow, CalculatedAndLookupFieldsDoNotSpoilTheSnapshot)
{
    TovnDataSet lookupSource;
    OpenWithFields(lookupSource, {{"K", ftInteger}, {"TEXT", ftString, 10}});
    lookupSource.AppendRecord({1, "one"});
    lookupSource.AppendRecord({2, "two"});

    auto make = [&](TovnDataSet& ds) {
        auto* id = new TIntegerField(&ds);
        id->SetFieldName("ID");
        id->SetDataSet(&ds);
        auto* calc = new TStringField(&ds);
        calc->SetFieldName("TWICE");
        calc->SetSize(20);
        calc->SetFieldKind(fkCalculated);
        calc->SetDataSet(&ds);
        auto* look = new TStringField(&ds);
        look->SetFieldName("LOOKED_UP");
        look->SetSize(10);
        look->SetFieldKind(fkLookup);
        look->SetLookupDataSet(&lookupSource);
        look->SetKeyFields("ID");
        look->SetLookupKeyFields("K");
        look->SetLookupResultField("TEXT");
        look->SetDataSet(&ds);
        auto* name = new TStringField(&ds);
        name->SetFieldName("NAME");
        name->SetSize(10);
        name->SetDataSet(&ds);
        ds.OnCalcFields = [](TDataSet* d) {
            d->FieldByName("TWICE")->SetAsString(d->FieldByName("NAME")->AsString() + d->FieldByName("NAME")->AsString());
        };
    };
    TovnDataSet source;
    make(source);
    source.Open();
    source.AppendRecord({1, Variant(), Variant(), "ab"});
    source.AppendRecord({2, Variant(), Variant(), "cd"});
    ASSERT_EQ(source.FieldDefs().Count(), 2) << "calculated and lookup fields have no definition";
    const std::string bytes = Snapshot(source, "Calc");
    const std::string last = TBytes().U8(2).U8(0).I32(2).U8(0).Text("cd").U8(55).U8(1).Str();
    EXPECT_EQ(Hex(bytes.substr(bytes.size() - last.size())), Hex(last))
        << "one value per definition";

    // Into a dataset of the same shape, with its own calculated fields...
    TovnDataSet same;
    make(same);
    same.Open();
    TStringStream stream(bytes);
    std::vector<std::string> errors;
    TovnBinaryShadow reader(&same, &stream);
    reader.OnRecordReadWrite = [&](int, TShadowStatus, const std::string& error, TCancelAction&) {
        errors.push_back(error);
    };
    reader.Read();
    EXPECT_EQ(errors, (std::vector<std::string>{"", "", ""})) << "two records and the end";
    EXPECT_EQ(Column(same, "TWICE"), (std::vector<std::string>{"abab", "cdcd"}));
    EXPECT_EQ(Column(same, "LOOKED_UP"), (std::vector<std::string>{"one", "two"}));
    // ... and into a closed one, which takes the two definitions.
    TovnDataSet plain;
    TStringStream again(bytes);
    TovnShadow::LoadFromStream(NembraWriterClass<TovnBinaryShadow>(), &plain, &again);
    EXPECT_EQ(plain.FieldCount(), 2);
    EXPECT_EQ(Column(plain, "NAME"), (std::vector<std::string>{"ab", "cd"}));
}

TEST(ovnShadow, EventsAndCancellation)
{
    TovnDataSet ds;
    OpenWithFields(ds, {{"N", ftInteger}});
    for (int i = 1; i <= 5; ++i)
        ds.AppendRecord({i});

    std::vector<std::string> events;
    auto record = [&](TovnShadow& shadow, int cancelAfter) {
        shadow.OnShadowStartStop = [&](const std::string& name, TShadowStatus status, bool start) {
            events.push_back(std::string(start ? "start " : "stop ") + (status == ssReading ? "reading " : "writing ") +
                             name);
        };
        shadow.OnRecordReadWrite = [&, cancelAfter](int recNo, TShadowStatus, const std::string& error,
                                                    TCancelAction& cancel) {
            events.push_back(std::to_string(recNo) + error);
            if (recNo == cancelAfter)
                cancel = caDataSet;
        };
    };

    TStringStream out;
    TovnBinaryShadow writer(&ds, &out);
    record(writer, 3);
    EXPECT_EQ(writer.Write("Five"), caDataSet);
    EXPECT_EQ(events, (std::vector<std::string>{"start writing Five", "1", "2", "3"}))
        << "no closing event for a cancelled run";
    const std::string threeRecords = out.DataString();
    EXPECT_EQ(threeRecords.substr(threeRecords.size() - 7), TBytes().U8(2).U8(0).I32(3).U8(55).Str())
        << "three records written and no end byte";

    events.clear();
    TovnDataSet target;
    TStringStream in(threeRecords);
    TovnBinaryShadow reader(&target, &in);
    record(reader, 0);
    EXPECT_EQ(reader.Read(), caNone);
    EXPECT_EQ(events, (std::vector<std::string>{"start reading Five", "1", "2", "3", "4", "stop reading Five"}))
        << "a stream without end byte ends after its last whole record; the end is reported as one more number";
    EXPECT_EQ(target.RecordCount(), 3);

    events.clear();
    TovnDataSet cancelled;
    in.SetPosition(0);
    TovnBinaryShadow stopping(&cancelled, &in);
    record(stopping, 2);
    EXPECT_EQ(stopping.Read(), caDataSet);
    EXPECT_EQ(events, (std::vector<std::string>{"start reading Five", "1", "2"}));
    EXPECT_EQ(cancelled.RecordCount(), 2);

    TStringStream none;
    EXPECT_EQ(ErrorOf<EovnShadow>([&] { TovnBinaryShadow(&ds, nullptr).Write("x"); }), "ovnShadow stream not assigned");
    EXPECT_EQ(ErrorOf<EovnShadow>([&] { TovnBinaryShadow(nullptr, &none).Read(); }), "ovnShadow dataset not assigned");
    EXPECT_EQ(ErrorOf<EovnShadow>([&] { TovnBinaryShadow(nullptr, nullptr).Read(); }), "ovnShadow stream not assigned");
}

TEST(ovnShadow, ARecordThatCannotBeWrittenIsLeftOutWhole)
{
    TovnDataSet ds;
    OpenWithFields(ds, {{"N", ftInteger}, {"C", ftCurrency}});
    ds.AppendRecord({1, 1.5});
    ds.AppendRecord({2, 1e300}); // beyond the currency range of the layout
    ds.AppendRecord({3, -2.25});
    TStringStream out;
    TovnBinaryShadow writer(&ds, &out);
    std::vector<std::string> errors;
    writer.OnRecordReadWrite = [&](int, TShadowStatus, const std::string& error, TCancelAction&) {
        errors.push_back(error);
    };
    EXPECT_EQ(writer.Write("C"), caNone);
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "", "ovnShadow.Write: the value of field 'C' is out of the currency range", ""}));

    TovnDataSet target;
    TStringStream in(out.DataString());
    TovnShadow::LoadFromStream(NembraWriterClass<TovnBinaryShadow>(), &target, &in);
    EXPECT_EQ(Column(target, "N"), (std::vector<std::string>{"1", "3"})) << "nothing of the failed record was written";
    EXPECT_EQ(Column(target, "C"), (std::vector<std::string>{"1.5", "-2.25"}));
}

// --- Damaged and hostile snapshots

struct TDamage
{
    const char* Desc;
    std::string Bytes;
    // The exception raised by Read ('' when it runs), and the per-record
    // errors and the values of ID read when it runs.
    std::string Raised;
    std::vector<std::string> Errors;
    std::vector<std::string> Ids;
};

// Three records of the small dataset's layout: ID Integer, NAME String, AMOUNT Float.
std::string Rec(int id, const std::string& name, uint8_t trailer = 55)
{
    return TBytes().U8(2).U8(0).I32(id).U8(0).Text(name).U8(1).U8(trailer).Str();
}

TEST(ovnBinaryShadow, DamagedSnapshotsRaiseOrReportAndLoseNothing)
{
    const std::string head = SmallHeader;
    const std::string header = "ovnBinaryShadow.Read: Corrupt dataset header";
    const std::string segment = "ovnShadow.Read: Corrupt record segment";
    const std::string whole = head + Rec(1, "a") + Rec(2, "b") + Rec(3, "c") + "\x01";
    auto withName = [](uint32_t length) { return TBytes().Magic().U32(length).Chars("Rows").Str(); };
    auto withCount = [](uint32_t count) { return TBytes().Magic().Text("Rows").U32(count).Str(); };
    const std::vector<TDamage> cases = {
        {"an empty stream", "", header, {}, {}},
        {"a cut magic", whole.substr(0, 10), header, {}, {}},
        {"a wrong magic", "\xEE" + whole.substr(1), header, {}, {}},
        {"a name longer than the stream", withName(0xFFFFFFFFu) + whole.substr(32), header, {}, {}},
        {"a name one byte past the end", withName(5), header, {}, {}},
        {"a definition count no stream could hold", withCount(0xFFFFFFFFu) + whole.substr(36), header, {}, {}},
        {"a definition name past the end",
         TBytes().Magic().Text("Rows").U32(1).U32(0x7FFFFFFF).Chars("ID").Str() + std::string(40, '\0'),
         header,
         {},
         {}},
        {"a type ordinal outside the enumeration",
         TBytes().Magic().Text("Rows").U32(1).Text("ID").U8(200).I32(0).U8(0).I32(0).U8(0).U8(0).U8(1).Str(),
         header,
         {},
         {}},
        {"a negative size",
         TBytes().Magic().Text("Rows").U32(1).Text("ID").U8(ftString).I32(-5).U8(0).I32(0).U8(0).U8(0).U8(1).Str(),
         header,
         {},
         {}},
        {"a repeated name",
         TBytes().Magic().Text("Rows").U32(2).Def("ID", ftInteger, 0).Def("id", ftInteger, 0).U8(1).Str(),
         header,
         {},
         {}},
        {"a cut structure", head.substr(0, head.size() - 3), header, {}, {}},
        {"a trailer other than 55",
         head + Rec(1, "a") + Rec(2, "b", 54) + Rec(3, "c") + "\x01",
         "",
         {"", segment, "", ""},
         {"1", "3"}},
        {"a text length past the end",
         head + Rec(1, "a") + TBytes().U8(2).U8(0).I32(2).U8(0).U32(0x7FFFFFF0).Chars("b").Str() + Rec(3, "c") + "\x01",
         "",
         {"", segment, ""},
         {"1"}},
        {"a record cut in the middle", (head + Rec(1, "a") + Rec(2, "b")).substr(0, head.size() + 14 + 5), "",
         {"", segment, ""}, {"1"}},
        {"no end byte", head + Rec(1, "a") + Rec(2, "b"), "", {"", "", ""}, {"1", "2"}},
        {"nothing after the structure", head, "", {""}, {}},
    };
    for (const TDamage& c : cases) {
        SCOPED_TRACE(c.Desc);
        // Into an open dataset that holds a row already: it keeps it.
        TovnDataSet ds;
        OpenWithFields(ds, {{"ID", ftInteger}, {"NAME", ftString, 10}, {"AMOUNT", ftFloat}});
        ds.AppendRecord({0, "kept", 1.0});
        TStringStream stream(c.Bytes);
        TovnBinaryShadow reader(&ds, &stream);
        std::vector<std::string> errors;
        reader.OnRecordReadWrite = [&](int, TShadowStatus, const std::string& error, TCancelAction&) {
            errors.push_back(error);
        };
        const std::string raised = ErrorOf<EovnShadow>([&] { reader.Read(); });
        if (!c.Raised.empty()) {
            EXPECT_EQ(ErrorOf<EovnBinaryShadow>([&] {
                          TStringStream again(c.Bytes);
                          TovnBinaryShadow(&ds, &again).Read();
                      }),
                      c.Raised);
        }
        EXPECT_EQ(raised, c.Raised);
        EXPECT_EQ(errors, c.Errors);
        std::vector<std::string> ids = {"0"};
        ids.insert(ids.end(), c.Ids.begin(), c.Ids.end());
        EXPECT_EQ(Column(ds, "ID"), ids);
        EXPECT_EQ(ds.State(), dsBrowse);

        // Into a closed dataset: a header that does not read leaves it closed
        // with its own definitions.
        TovnDataSet closed;
        closed.FieldDefs().Add("OWN", ftInteger);
        TStringStream again(c.Bytes);
        ErrorOf<EovnShadow>([&] { TovnBinaryShadow(&closed, &again).Read(); });
        if (!c.Raised.empty()) {
            EXPECT_FALSE(closed.Active());
            ASSERT_EQ(closed.FieldDefs().Count(), 1);
            EXPECT_EQ(closed.FieldDefs()[0]->Name(), "OWN");
        }
    }
}

TEST(ovnBinaryShadow, ValuesThatDoNotConvertAreReportedAndReadingGoesOn)
{
    // A snapshot whose ID is text, read into a dataset whose ID is an integer.
    const std::string bytes = TBytes()
                                  .Magic()
                                  .Text("T")
                                  .U32(2)
                                  .Def("ID", ftString, 10)
                                  .Def("NAME", ftString, 10)
                                  .U8(2).U8(0).Text("7").U8(0).Text("seven").U8(55)
                                  .U8(2).U8(0).Text("x").U8(0).Text("bad").U8(55)
                                  .U8(2).U8(0).Text("9").U8(0).Text("nine").U8(55)
                                  .U8(1)
                                  .Str();
    TovnDataSet ds;
    OpenWithFields(ds, {{"ID", ftInteger}, {"NAME", ftString, 10}});
    TStringStream stream(bytes);
    TovnBinaryShadow reader(&ds, &stream);
    std::vector<std::string> errors;
    reader.OnRecordReadWrite = [&](int, TShadowStatus, const std::string& error, TCancelAction&) {
        errors.push_back(error);
    };
    EXPECT_EQ(reader.Read(), caNone);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_NE(errors[1], "") << "the record that does not convert";
    EXPECT_EQ(errors[2], "") << "the next record starts where it should";
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"seven", "nine"}));

    // Without the event the bad record is skipped silently; an event that
    // cancels on the error stops there.
    TovnDataSet quiet;
    TStringStream again(bytes);
    OpenWithFields(quiet, {{"ID", ftInteger}, {"NAME", ftString, 10}});
    EXPECT_EQ(TovnBinaryShadow(&quiet, &again).Read(), caNone);
    EXPECT_EQ(quiet.RecordCount(), 2);

    TovnDataSet stopped;
    OpenWithFields(stopped, {{"ID", ftInteger}, {"NAME", ftString, 10}});
    TStringStream third(bytes);
    TovnBinaryShadow stopping(&stopped, &third);
    stopping.OnRecordReadWrite = [](int, TShadowStatus, const std::string& error, TCancelAction& cancel) {
        if (!error.empty())
            cancel = caDataBase;
    };
    EXPECT_EQ(stopping.Read(), caDataBase);
    EXPECT_EQ(stopped.RecordCount(), 1);
    EXPECT_EQ(stopped.State(), dsBrowse) << "the refused record is cancelled";
}

// --- The property dataset

TEST(ovnPropertyDataSet, TheStoredPropertyIsASnapshotOfTheRows)
{
    TovnPropertyDataSet ds;
    EXPECT_EQ(ds.Data(), "<Data>");
    ds.SetData("anything");
    EXPECT_EQ(ds.Data(), "<Data>");
    EXPECT_FALSE(ds.DataShadowStored()) << "closed";
    OpenWithFields(ds, {{"ID", ftInteger}, {"NAME", ftString, 10}, {"AMOUNT", ftFloat}});
    EXPECT_FALSE(ds.DataShadowStored()) << "empty";
    ds.AppendRecord({1, "Ann", 2.5});
    ds.AppendRecord({2, Variant::Null(), Variant::Null()});
    EXPECT_TRUE(ds.DataShadowStored());

    TovnPropertyDataSet ancestor;
    EXPECT_TRUE(ds.DataShadowStored(&ancestor)) << "an ancestor that holds no rows";
    OpenWithFields(ancestor, {{"ID", ftInteger}});
    ancestor.AppendRecord({5});
    ancestor.AppendRecord({6});
    EXPECT_FALSE(ds.DataShadowStored(&ancestor)) << "the same record count as the inherited form";
    ancestor.AppendRecord({7});
    EXPECT_TRUE(ds.DataShadowStored(&ancestor));

    ds.First();
    ds.Next();
    const std::string bytes = ds.GetDataShadow();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2) << "written through a cursor of its own";
    const std::string header = TBytes().Magic().Text("").Str();
    EXPECT_EQ(Hex(bytes), Hex(header + SmallHeader.substr(32) + SmallRecord1 + SmallRecord2 + "\x01"))
        << "a snapshot under an empty name";

    // Loading a form: the bytes wait for Loaded; the closed dataset then
    // defines its fields from them and opens.
    TovnPropertyDataSet loaded;
    loaded.SetComponentStateFlag(csLoading, true);
    loaded.SetDataShadow(bytes.substr(0, 40));
    loaded.SetDataShadow(bytes.substr(40));
    EXPECT_FALSE(loaded.Active());
    loaded.Loaded();
    ASSERT_TRUE(loaded.Active());
    EXPECT_EQ(Column(loaded, "NAME"), (std::vector<std::string>{"Ann", ""}));
    loaded.Close();
    loaded.Loaded();
    EXPECT_FALSE(loaded.Active()) << "the buffer was emptied";

    // Outside loading the bytes are read at once.
    TovnPropertyDataSet direct;
    direct.SetDataShadow(bytes);
    EXPECT_EQ(direct.RecordCount(), 2);
    EXPECT_EQ(ErrorOf<EovnBinaryShadow>([&] { direct.SetDataShadow("junk"); }),
              "ovnBinaryShadow.Read: Corrupt dataset header");
    EXPECT_EQ(direct.RecordCount(), 2);
}

} // namespace
