// The local dataset's helpers: a record as one delimited line, copies of
// field definitions.
#include "Components/Nembra/ovnDataSet.h"

#include "Nembra/NembraDataSetTestSupport.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

namespace {

TEST(ovnDataSet, RecToStrWritesTheRecordAsADelimitedLine)
{
    TovnDataSet ds;
    OpenWithFields(ds, {{"ID", ftInteger}, {"NAME", ftString, 30}, {"NOTE", ftMemo}, {"CITY", ftString, 30}});
    ds.AppendRecord({7, "Abcdefghij", "memo text", "Le \"Mans\";x"});
    struct Case
    {
        const char* Desc;
        char Delimiter;
        char Quote;
        int MaxFields;
        int MaxLength;
        std::string Expected;
    };
    const Case cases[] = {
        {"every field", ',', '"', 0, 0, "7,Abcdefghij,(BLOB),\"Le \"\"Mans\"\";x\""},
        {"texts cut to five characters", ',', '"', 0, 5, "7,Abcde...,(BLOB),\"Le \"\"M...\""},
        {"the first two fields", ',', '"', 2, 0, "7,Abcdefghij"},
        {"another delimiter and quote", ';', '\'', 0, 0, "7;Abcdefghij;(BLOB);'Le \"Mans\";x'"},
        {"more fields asked than there are", '|', '"', 9, 3, "7|Abc...|(BLOB)|\"Le ...\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(RecToStr(&ds, c.Delimiter, c.Quote, c.MaxFields, c.MaxLength, "...", "(BLOB)"), c.Expected);
    }
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("\xC3\xA9t\xC3\xA9 d\xE2\x82\xAC");
    ds.Post();
    EXPECT_EQ(RecToStr(&ds, ',', '"', 2, 4, "\xE2\x80\xA6", "<b>"), "7,\"\xC3\xA9t\xC3\xA9 \xE2\x80\xA6\"")
        << "characters, not bytes";
    EXPECT_EQ(ErrorOf<EovnDataSet>([] { RecToStr(nullptr, ',', '"', 0, 0, "", ""); }),
              "RecToStr: Dataset not assigned");
}

TEST(ovnDataSet, CopyFieldDefsAppendsCopies)
{
    TFieldDefs source(nullptr);
    for (const char* name : {"ID", "NAME", "IDX"})
        source.Add(name, ftString, 12, true);
    TFieldDef* amount = source.Add("AMOUNT", ftFMTBcd, 8);
    amount->SetPrecision(18);
    source.Add("CALC", ftInteger)->SetInternalCalcField(true);

    TFieldDefs dest(nullptr);
    dest.Add("OWN", ftInteger);
    CopyFieldDefs(&source, &dest, "ID,NAME");
    ASSERT_EQ(dest.Count(), 6);
    EXPECT_EQ(dest[0]->Name(), "OWN") << "appended";
    EXPECT_FALSE(dest.Find("ID")->Required());
    EXPECT_FALSE(dest.Find("NAME")->Required());
    EXPECT_TRUE(dest.Find("IDX")->Required()) << "only whole items of the list count";
    EXPECT_EQ(dest.Find("IDX")->Size(), 12);
    EXPECT_EQ(dest.Find("AMOUNT")->DataType(), ftFloat);
    EXPECT_EQ(dest.Find("AMOUNT")->Precision(), 18);
    EXPECT_TRUE(dest.Find("CALC")->InternalCalcField());

    TFieldDefs exact(nullptr);
    CopyFieldDefs(&source, &exact, "id");
    EXPECT_TRUE(exact.Find("ID")->Required()) << "names are compared exactly";

    EXPECT_EQ(ErrorOf([&] { CopyFieldDefs(&source, &dest, ""); }), "Duplicate field name 'ID'");
    EXPECT_EQ(ErrorOf<EovnDataSet>([&] { CopyFieldDefs(nullptr, &dest, ""); }),
              "CopyFieldDefs: source or destination not assigned");
    EXPECT_EQ(ErrorOf<EovnDataSet>([&] { CopyFieldDefs(&source, nullptr, ""); }),
              "CopyFieldDefs: source or destination not assigned");
}

TEST(ovnDataSet, RecordsCopyBetweenLocalDataSets)
{
    TovnDataSet source;
    OpenWithFields(source, {{"ID", ftInteger}, {"NAME", ftString, 10}});
    source.AppendRecord({3, "Cat"});
    TovnDataSet dest;
    OpenWithFields(dest, {{"NAME", ftString, 10}, {"ID", ftInteger}});
    CopyRecordFields(&source, &dest);
    dest.Post();
    EXPECT_EQ(Column(dest, "NAME"), (std::vector<std::string>{"Cat"}));
    TovnDataSource dataSource;
    dataSource.SetDataSet(&dest);
    EXPECT_EQ(dataSource.DataSet(), &dest);
}

} // namespace
