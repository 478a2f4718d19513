// Typed fields: conversions, texts, ranges, errors, blob streams; field
// definitions and the field-type ordinals.

#include <gtest/gtest.h>

#include <string>

#include "VectorDataSet.h"
#include "platform/DateUtils.h"
#include "support/ErrorOf.h"

namespace {

// One open dataset in insert state with one field of each type under test.
class FieldsTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        auto& defs = ds.FieldDefs();
        defs.Add("S", ftString, 5);
        defs.Add("W", ftWideString, 10);
        defs.Add("SI", ftSmallint);
        defs.Add("I", ftInteger);
        defs.Add("WO", ftWord);
        defs.Add("L", ftLargeint);
        defs.Add("B", ftBoolean);
        defs.Add("F", ftFloat);
        defs.Add("C", ftCurrency);
        defs.Add("BCD", ftBCD, 2)->SetPrecision(10);
        defs.Add("D", ftDate);
        defs.Add("T", ftTime);
        defs.Add("DT", ftDateTime);
        defs.Add("TS", ftTimeStamp);
        defs.Add("G", ftGuid);
        defs.Add("M", ftMemo);
        defs.Add("BL", ftBlob);
        defs.Add("V", ftVariant);
        defs.Add("BY", ftBytes, 4);
        ds.Open();
        ds.Append();
    }

    TField* F(const char* name) { return ds.FieldByName(name); }

    TVectorDataSet ds;
};
} // namespace

TEST_F(FieldsTest, DefaultFieldClassesByType)
{
    const std::pair<const char*, const char*> cases[] = {
        {"S", "TStringField"},    {"W", "TWideStringField"},    {"SI", "TSmallintField"},
        {"I", "TIntegerField"},   {"WO", "TWordField"},         {"L", "TLargeintField"},
        {"B", "TBooleanField"},   {"F", "TFloatField"},         {"C", "TCurrencyField"},
        {"BCD", "TBCDField"},     {"D", "TDateField"},          {"T", "TTimeField"},
        {"DT", "TDateTimeField"}, {"TS", "TSQLTimeStampField"}, {"G", "TGuidField"},
        {"M", "TMemoField"},      {"BL", "TBlobField"},         {"V", "TVariantField"},
        {"BY", "TBytesField"},
    };
    for (const auto& [name, cls] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(F(name)->ClassName(), cls);
        EXPECT_EQ(F(name)->DataType(), ds.FieldDefs().Find(name)->DataType());
    }
    EXPECT_TRUE(F("M")->IsBlob());
    EXPECT_FALSE(F("S")->IsBlob());
    EXPECT_EQ(NewFieldOfType(ftADT, nullptr), nullptr);
}

TEST_F(FieldsTest, TextsOfValues)
{
    F("S")->SetAsString("abcdefgh");
    F("W")->SetAsString("\xC3\xA9t\xC3\xA9");
    F("SI")->SetAsInteger(-7);
    F("L")->SetAsLargeInt(9000000000LL);
    F("B")->SetAsBoolean(true);
    F("F")->SetAsFloat(2.5);
    F("BCD")->SetAsString("12.345");
    F("D")->SetAsDateTime(EncodeDate(2024, 2, 29));
    F("T")->SetAsDateTime(EncodeTime(7, 30, 15, 0));
    F("DT")->SetAsDateTime(EncodeDate(2024, 2, 29) + EncodeTime(7, 30, 0, 0));
    F("G")->SetAsString("{01234567-89AB-CDEF-0123-456789ABCDEF}");
    struct Case
    {
        const char* Field;
        std::string Text;
    };
    const Case cases[] = {
        {"S", "abcde"},             // cut to the size
        {"W", "\xC3\xA9t\xC3\xA9"}, // characters, not bytes
        {"SI", "-7"},
        {"L", "9000000000"},
        {"B", "True"},
        {"F", "2.5"},
        {"BCD", "12.35"}, // rounded to its two places
        {"D", "02/29/2024"},
        {"T", "07:30:15"},
        {"DT", "02/29/2024 07:30:00"},
        {"G", "{01234567-89AB-CDEF-0123-456789ABCDEF}"},
        {"I", ""}, // null
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Field);
        EXPECT_EQ(F(c.Field)->AsString(), c.Text);
    }
    EXPECT_EQ(VarType(F("W")->Value()), varOleStr);
    EXPECT_EQ(VarType(F("L")->Value()), varInt64);
    EXPECT_EQ(VarType(F("D")->Value()), varDate);
    EXPECT_EQ(VarType(F("B")->Value()), varBoolean);
    EXPECT_TRUE(VarIsNull(F("I")->Value()));
    EXPECT_DOUBLE_EQ(F("BCD")->AsFloat(), 12.35);
}

TEST_F(FieldsTest, DisplayFormatsAndDisplayValues)
{
    auto* f = static_cast<TFloatField*>(F("F"));
    f->SetAsFloat(1234.5);
    f->SetDisplayFormat("#,##0.00");
    EXPECT_EQ(f->DisplayText(), "1,234.50");
    EXPECT_EQ(f->Text(), "1,234.50") << "without an edit format the display format edits too";
    f->SetEditFormat("0.0");
    EXPECT_EQ(f->Text(), "1234.5");
    F("C")->SetAsFloat(3);
    EXPECT_EQ(F("C")->DisplayText(), "$3.00");
    auto* b = static_cast<TBooleanField*>(F("B"));
    b->SetDisplayValues("Yes;No");
    b->SetAsString("n");
    EXPECT_FALSE(b->AsBoolean());
    EXPECT_FALSE(b->IsNull());
    EXPECT_EQ(b->DisplayText(), "No");
    b->SetAsString("YE");
    EXPECT_TRUE(b->AsBoolean());
    auto* d = static_cast<TDateTimeField*>(F("D"));
    d->SetAsDateTime(EncodeDate(2023, 12, 1));
    d->SetDisplayFormat("yyyy-mm-dd");
    EXPECT_EQ(d->DisplayText(), "2023-12-01");
    EXPECT_EQ(d->Text(), "12/01/2023");
    F("I")->OnGetText = [](TField* field, std::string& text, bool display) {
        text = (display ? "#" : "") + field->AsString();
    };
    F("I")->SetAsInteger(5);
    EXPECT_EQ(F("I")->DisplayText(), "#5");
    EXPECT_EQ(F("I")->Text(), "5");
}

TEST_F(FieldsTest, ConversionErrorsNameTheField)
{
    struct Case
    {
        const char* Desc;
        std::function<void()> Action;
        std::string Message;
    };
    const Case cases[] = {
        {"integer text", [&] { F("I")->SetAsString("12x"); },
         "'12x' is not a valid integer value for field 'I'"},
        {"float text", [&] { F("F")->SetAsString("1,5"); },
         "'1,5' is not a valid floating point value for field 'F'"},
        {"boolean text", [&] { F("B")->SetAsString("maybe"); },
         "'maybe' is not a valid boolean value for field 'B'"},
        {"smallint range", [&] { F("SI")->SetAsInteger(40000); },
         "40000 is not a valid value for field 'SI'. The allowed range is -32768 to 32767"},
        {"word range", [&] { F("WO")->SetAsInteger(-1); },
         "-1 is not a valid value for field 'WO'. The allowed range is 0 to 65535"},
        {"date as boolean", [&] { F("D")->AsBoolean(); }, "Cannot access field 'D' as type Boolean"},
        {"boolean as date", [&] { F("B")->SetAsDateTime(1); }, "Cannot access field 'B' as type DateTime"},
        {"bad guid", [&] { F("G")->SetAsString("{nope}"); }, "'{nope}' is not a valid GUID value"},
        {"decimal too large", [&] { F("BCD")->SetAsString("123456789.5"); },
         "BCD overflow: 123456789.5 does not fit field 'BCD' (10 digits, 2 places)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf(c.Action), c.Message);
    }
    EXPECT_TRUE(F("SI")->IsNull()) << "a refused value changes nothing";
    EXPECT_TRUE(F("BCD")->IsNull());
    F("BCD")->SetAsString("12345678.994");
    EXPECT_EQ(F("BCD")->AsString(), "12345678.99") << "eight digits before the point still fit";
    auto* i = static_cast<TIntegerField*>(F("I"));
    i->SetMinValue(1);
    i->SetMaxValue(10);
    EXPECT_EQ(ErrorOf([&] { i->SetAsInteger(11); }),
              "11 is not a valid value for field 'I'. The allowed range is 1 to 10");
    i->SetAsString("10");
    EXPECT_EQ(i->AsInteger(), 10);
}

TEST_F(FieldsTest, VariantsConvertIntoTheFieldType)
{
    F("I")->SetValue(Variant("42"));
    EXPECT_EQ(F("I")->AsInteger(), 42);
    F("F")->SetValue(Variant(3));
    EXPECT_DOUBLE_EQ(F("F")->AsFloat(), 3.0);
    F("S")->SetValue(Variant(12));
    EXPECT_EQ(F("S")->AsString(), "12");
    F("B")->SetValue(Variant("True"));
    EXPECT_TRUE(F("B")->AsBoolean());
    F("V")->SetValue(VarArrayOf({Variant(1), Variant("x")}));
    EXPECT_TRUE(VarIsArray(F("V")->Value()));
    F("I")->SetValue(Variant::Null());
    EXPECT_TRUE(F("I")->IsNull());
    F("S")->Clear();
    EXPECT_TRUE(F("S")->IsNull());
    F("TS")->SetAsDateTime(EncodeDate(2020, 5, 17) + EncodeTime(1, 2, 3, 0));
    const TSQLTimeStamp ts = F("TS")->AsSQLTimeStamp();
    EXPECT_EQ(ts.Year, 2020);
    EXPECT_EQ(ts.Second, 3);
    F("DT")->Assign(*F("TS"));
    EXPECT_DOUBLE_EQ(F("DT")->AsDateTime(), F("TS")->AsDateTime());
}

TEST_F(FieldsTest, BlobFieldsGoThroughStreams)
{
    auto* memo = static_cast<TMemoField*>(F("M"));
    EXPECT_EQ(memo->DisplayText(), "(Memo)");
    memo->SetAsString("line one\r\nline two");
    EXPECT_EQ(memo->DisplayText(), "(MEMO)");
    EXPECT_EQ(memo->AsString(), "line one\r\nline two");
    EXPECT_EQ(memo->BlobSize(), 18);

    auto* blob = static_cast<TBlobField*>(F("BL"));
    TMemoryStream source;
    const std::string bytes("\x00\x01\xFF", 3);
    source.WriteBuffer(bytes.data(), 3);
    blob->LoadFromStream(source);
    TMemoryStream copy;
    blob->SaveToStream(copy);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.Memory()), 3), bytes);
    {
        auto stream = ds.CreateBlobStream(blob, bmReadWrite);
        stream->Seek(0, soFromEnd);
        stream->WriteBuffer("!", 1);
    }
    EXPECT_EQ(blob->AsString(), bytes + "!") << "a changed stream writes back when it goes";
    {
        auto stream = ds.CreateBlobStream(blob, bmRead);
        EXPECT_EQ(ErrorOf([&] { stream->WriteBuffer("x", 1); }),
                  "Unable to write into a read-only blob stream");
    }
    ds.Post();
    // Writing from browse state starts an edit, which a read-only dataset refuses.
    ds.CreateBlobStream(F("M"), bmWrite)->Flush();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    ds.SetReadOnlyDataSet(true);
    EXPECT_EQ(ErrorOf([&] { ds.CreateBlobStream(F("M"), bmWrite); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(ds.CreateBlobStream(F("M"), bmRead)->Size(), 18);
}

TEST_F(FieldsTest, RefusedBlobWriteStaysPending)
{
    auto* memo = F("M");
    memo->SetAsString("old");
    bool refuse = true;
    memo->OnValidate = [&](TField*) {
        if (refuse)
            throw EDatabaseError("refused");
    };
    auto stream = ds.CreateBlobStream(memo, bmWrite);
    stream->WriteBuffer("new", 3);
    EXPECT_EQ(ErrorOf([&] { stream->Flush(); }), "refused");
    EXPECT_EQ(memo->AsString(), "old");
    refuse = false;
    stream->Flush();
    EXPECT_EQ(memo->AsString(), "new") << "the refused content is written on the next try";
    memo->OnValidate = nullptr;
}

TEST_F(FieldsTest, FixedBytesKeepTheirSize)
{
    F("BY")->SetAsString("ab");
    EXPECT_EQ(F("BY")->AsString(), std::string("ab\0\0", 4));
    F("BY")->SetAsString("abcdef");
    EXPECT_EQ(F("BY")->AsString(), "abcd");
    EXPECT_EQ(F("BY")->DisplayText(), "(BYTES)");
}

TEST(FieldDefs, NamesAttributesAndAssign)
{
    TFieldDefs defs(nullptr);
    TFieldDef* id = defs.Add("ID", ftInteger, 0, true);
    TFieldDef* name = defs.Add("Name", ftString, 30);
    EXPECT_EQ(ErrorOf([&] { defs.Add("NAME", ftString); }), "Duplicate field name 'NAME'");
    EXPECT_EQ(ErrorOf([&] { defs.Find("X"); }), "Field 'X' not found");
    EXPECT_EQ(defs.IndexOf("name"), 1);
    EXPECT_TRUE(id->Required());
    EXPECT_TRUE(id->Attributes().Contains(faRequired));
    EXPECT_EQ(name->FieldNo(), 2);
    name->SetAttributes({faReadonly, faFixed});
    EXPECT_EQ(name->Attributes().ToBits(), 0x22) << "bit 1 read-only, bit 5 fixed";
    EXPECT_FALSE(name->Required());
    name->SetPrecision(7);
    name->SetInternalCalcField(true);
    name->SetFieldNo(9);

    TFieldDefs copy(nullptr);
    copy.Assign(defs);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy[1]->Name(), "Name");
    EXPECT_EQ(copy[1]->Size(), 30);
    EXPECT_EQ(copy[1]->Precision(), 7);
    EXPECT_EQ(copy[1]->Attributes(), name->Attributes());
    EXPECT_TRUE(copy[1]->InternalCalcField());
    EXPECT_EQ(copy[1]->FieldNo(), 9);
}

TEST(FieldDefs, CreatedFieldsTakeTheDefinition)
{
    TVectorDataSet ds;
    TFieldDef* code = ds.FieldDefs().Add("CODE", ftString, 8, true);
    code->SetAttributes({faRequired, faReadonly});
    ds.FieldDefs().Add("PRICE", ftBCD, 2)->SetPrecision(12);
    ds.FieldDefs().Add("CALC", ftInteger)->SetInternalCalcField(true);
    ds.FieldDefs().Add("HIDDEN", ftInteger)->SetAttributes({faHiddenCol});
    ds.FieldDefs().Add("ODD", ftADT);
    ds.FieldDefs().Delete(4);
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 3) << "hidden columns get no field";
    TField* f = ds.FieldByName("CODE");
    EXPECT_EQ(f->Size(), 8);
    EXPECT_TRUE(f->Required());
    EXPECT_TRUE(f->ReadOnly());
    auto* price = static_cast<TBCDField*>(ds.FieldByName("PRICE"));
    EXPECT_EQ(price->Precision(), 12);
    EXPECT_EQ(price->Size(), 2);
    EXPECT_EQ(ds.FieldByName("CALC")->FieldKind(), fkInternalCalc);
    ds.Close();
    ds.FieldDefs().Add("ODD", ftADT);
    EXPECT_EQ(ErrorOf([&] { ds.Open(); }), "Field 'ODD' is of an unknown type");
    EXPECT_FALSE(ds.Active());
}

TEST(FieldTypes, OrdinalsAndNames)
{
    const std::pair<TFieldType, int> ordinals[] = {
        {ftUnknown, 0},   {ftString, 1},       {ftSmallint, 2}, {ftInteger, 3},    {ftWord, 4},
        {ftBoolean, 5},   {ftFloat, 6},        {ftCurrency, 7}, {ftBCD, 8},        {ftDate, 9},
        {ftTime, 10},     {ftDateTime, 11},    {ftBytes, 12},   {ftVarBytes, 13},  {ftAutoInc, 14},
        {ftBlob, 15},     {ftMemo, 16},        {ftGraphic, 17}, {ftFmtMemo, 18},   {ftParadoxOle, 19},
        {ftDBaseOle, 20}, {ftTypedBinary, 21}, {ftCursor, 22},  {ftFixedChar, 23}, {ftWideString, 24},
        {ftLargeint, 25}, {ftADT, 26},         {ftArray, 27},   {ftReference, 28}, {ftDataSet, 29},
        {ftOraBlob, 30},  {ftOraClob, 31},     {ftVariant, 32}, {ftInterface, 33}, {ftIDispatch, 34},
        {ftGuid, 35},     {ftTimeStamp, 36},   {ftFMTBcd, 37},
    };
    for (const auto& [type, ordinal] : ordinals) {
        EXPECT_EQ(static_cast<int>(type), ordinal);
        EXPECT_EQ(FieldTypeFromOrdinal(ordinal), type);
    }
    EXPECT_EQ(FieldTypeName(ftLargeint), "LargeInt");
    EXPECT_EQ(FieldTypeName(ftFMTBcd), "FMTBcd");
    EXPECT_EQ(ErrorOf([] { FieldTypeFromOrdinal(38); }), "Invalid field type ordinal: 38");
    EXPECT_EQ(ErrorOf([] { FieldTypeFromOrdinal(-1); }), "Invalid field type ordinal: -1");
    EXPECT_EQ(static_cast<int>(ptResult), 4);
}
