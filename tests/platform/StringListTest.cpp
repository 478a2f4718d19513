#include "platform/StringList.h"

#include "platform/Streams.h"
#include "platform/SysUtils.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings& list)
{
    Lines lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

void Fill(TStrings& list, const Lines& lines)
{
    list.Clear();
    for (const auto& line : lines)
        list.Add(line);
}

// An object that reports its deletion.
class Tracked : public TObject
{
  public:
    explicit Tracked(int* deletions) : m_deletions(deletions) {}
    ~Tracked() override { ++*m_deletions; }

  private:
    int* m_deletions;
};
} // namespace

TEST(StringListCommaText, Write)
{
    struct Case
    {
        const char* desc;
        Lines lines;
        std::string expected;
    };
    const Case cases[] = {
        {"empty list", {}, ""},
        {"one empty line", {""}, "\"\""},
        {"two empty lines", {"", ""}, ","},
        {"plain items", {"a", "b", "c"}, "a,b,c"},
        {"blank is quoted", {"Connection=Main Office"}, "\"Connection=Main Office\""},
        {"comma is quoted", {"a,b"}, "\"a,b\""},
        {"quote is doubled", {"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {"lone quote", {"\""}, "\"\"\"\""},
        {"control characters are quoted", {"a\r\nb", "c\td"}, "\"a\r\nb\",\"c\td\""},
        {"empty item among others stays bare", {"a", "", "b"}, "a,,b"},
        {"leading blank is quoted", {" a"}, "\" a\""},
        {"UTF-8 letters need no quotes", {"Müller", "Zoë"}, "Müller,Zoë"},
        {"equals sign needs no quotes", {"URL=http://x/y"}, "URL=http://x/y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        TStringList list;
        Fill(list, c.lines);
        EXPECT_EQ(list.CommaText(), c.expected);
    }
}

TEST(StringListCommaText, Read)
{
    struct Case
    {
        const char* desc;
        std::string text;
        Lines expected;
    };
    const Case cases[] = {
        {"empty text", "", {}},
        {"only blanks", "   ", {}},
        {"plain items", "a,b,c", {"a", "b", "c"}},
        {"blanks separate like commas", "a b  c", {"a", "b", "c"}},
        {"blanks around commas are skipped", " a , b ,c", {"a", "b", "c"}},
        {"quoted item keeps blanks and commas", "\"a b,c\",d", {"a b,c", "d"}},
        {"doubled quote inside quotes", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"two quotes are one empty item", "\"\"", {""}},
        {"trailing comma adds an empty item", "a,", {"a", ""}},
        {"trailing comma after blank adds none", "a, ", {"a"}},
        {"empty items between commas", "a,,b", {"a", "", "b"}},
        {"leading comma gives an empty first item", ",a", {"", "a"}},
        {"lone comma is two empty items", ",", {"", ""}},
        {"unterminated quote runs to the end", "a,\"b c,d", {"a", "b c,d"}},
        {"text after closing quote is a new item", "\"ab\"cd", {"ab", "cd"}},
        {"control characters separate", "a\tb\r\nc", {"a", "b", "c"}},
        {"quoted line breaks are kept", "\"a\r\nb\"", {"a\r\nb"}},
        {"quote inside an unquoted item is kept", "a\"b", {"a\"b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        TStringList list;
        list.Add("old line");
        list.SetCommaText(c.text);
        EXPECT_EQ(LinesOf(list), c.expected);
    }
}

TEST(StringListCommaText, RoundTripKeepsEveryLine)
{
    const std::vector<Lines> samples = {
        {""},
        {"", ""},
        {"a", ""},
        {"", "a"},
        {"Connection=Main Office", "URL=https://srv/app", "Default=TRUE"},
        {"\"", "\"\"", "a\"b c"},
        {" lead", "trail ", "\t", "x,y"},
        {std::string("nul\0inside", 10), "z"},
    };
    for (const auto& lines : samples) {
        SCOPED_TRACE(testing::PrintToString(lines));
        TStringList source;
        Fill(source, lines);
        TStringList copy;
        copy.SetCommaText(source.CommaText());
        EXPECT_EQ(LinesOf(copy), lines);
    }
}

TEST(StringListDelimitedText, OwnDelimiterAndQuote)
{
    TStringList list;
    list.SetDelimiter(';');
    list.SetQuoteChar('\'');
    Fill(list, {"a", "b;c", "it's", "d e"});
    EXPECT_EQ(list.DelimitedText(), "a;'b;c';'it''s';'d e'");
    // Comma text ignores the list's own delimiter and quote char.
    EXPECT_EQ(list.CommaText(), "a,b;c,it's,\"d e\"");

    list.SetDelimitedText("x;'y;z';;w,v");
    EXPECT_EQ(LinesOf(list), (Lines{"x", "y;z", "", "w,v"}));
}

TEST(StringListDelimitedText, StrictDelimiter)
{
    struct Case
    {
        const char* desc;
        std::string text;
        Lines expected;
    };
    const Case cases[] = {
        {"blanks stay inside items", "a b,c d", {"a b", "c d"}},
        {"leading blanks are kept", " a, b", {" a", " b"}},
        {"quoted items still unquote", "\"x,y\",z", {"x,y", "z"}},
        {"trailing delimiter adds an empty item", "a,", {"a", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        TStringList list;
        list.SetStrictDelimiter(true);
        list.SetDelimitedText(c.text);
        EXPECT_EQ(LinesOf(list), c.expected);
    }
    TStringList list;
    list.SetStrictDelimiter(true);
    Fill(list, {"a b", "c,d"});
    EXPECT_EQ(list.DelimitedText(), "a b,\"c,d\"");
    // Comma text keeps the standard rules whatever StrictDelimiter says.
    EXPECT_EQ(list.CommaText(), "\"a b\",\"c,d\"");
}

TEST(StringListNameValue, Rules)
{
    TStringList list;
    Fill(list, {"Name=first", "name=second", "NoSeparator", "Empty=", "URL=http://a=b"});

    EXPECT_EQ(list.Values("NAME"), "first") << "first match wins, found without case";
    EXPECT_EQ(list.IndexOfName("nAmE"), 0);
    EXPECT_EQ(list.Values("URL"), "http://a=b") << "the value is everything after the first '='";
    EXPECT_EQ(list.Values("Missing"), "");
    EXPECT_EQ(list.Values("NoSeparator"), "") << "a line without '=' has no name";
    EXPECT_EQ(list.IndexOfName("NoSeparator"), -1);
    EXPECT_EQ(list.Names(2), "");
    EXPECT_EQ(list.ValueFromIndex(2), "");
    EXPECT_EQ(list.Names(4), "URL");
    EXPECT_EQ(list.ValueFromIndex(4), "http://a=b");
    EXPECT_EQ(list.IndexOfName("Empty"), 3);

    list.SetValues("name", "changed");
    EXPECT_EQ(list.Get(0), "name=changed") << "the first match is replaced";
    EXPECT_EQ(list.Get(1), "name=second");

    list.SetValues("New", "x y");
    EXPECT_EQ(list.Get(list.Count() - 1), "New=x y") << "a missing name is appended";

    const int before = list.Count();
    list.SetValues("NAME", "");
    EXPECT_EQ(list.Count(), before - 1) << "setting '' deletes the line";
    EXPECT_EQ(list.Values("Name"), "second") << "the next line of that name shows through";

    list.SetValues("Absent", "");
    EXPECT_EQ(list.Count(), before - 1) << "deleting a missing name changes nothing";
}

TEST(StringListNameValue, OwnSeparator)
{
    TStringList list;
    list.SetNameValueSeparator(':');
    Fill(list, {"Host:srv:80"});
    EXPECT_EQ(list.Values("host"), "srv:80");
    list.SetValueFromIndex(0, "other");
    EXPECT_EQ(list.Get(0), "Host:other");
}

TEST(StringListText, JoinAndSplit)
{
    TStringList list;
    Fill(list, {"a", "", "b"});
    EXPECT_EQ(list.Text(), "a\r\n\r\nb\r\n");

    struct Case
    {
        const char* desc;
        std::string text;
        Lines expected;
    };
    const Case cases[] = {
        {"CR LF", "a\r\nb", {"a", "b"}},
        {"LF", "a\nb\n", {"a", "b"}},
        {"CR", "a\rb", {"a", "b"}},
        {"mixed with empty lines", "a\n\r\nb\r\r", {"a", "", "b", ""}},
        {"final break adds no line", "a\r\n", {"a"}},
        {"empty text", "", {}},
        {"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        list.SetText(c.text);
        EXPECT_EQ(LinesOf(list), c.expected);
    }
    list.SetLineBreak("\n");
    Fill(list, {"x", "y"});
    EXPECT_EQ(list.Text(), "x\ny\n");
}

TEST(StringListEditing, IndexErrors)
{
    TStringList list;
    Fill(list, {"a", "b"});
    auto expectIndexError = [](const std::function<void()>& action, const std::string& message) {
        try {
            action();
            ADD_FAILURE() << "no EListError";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), message);
        }
    };
    expectIndexError([&] { list.Get(2); }, "List index out of bounds (2)");
    expectIndexError([&] { list.Get(-1); }, "List index out of bounds (-1)");
    expectIndexError([&] { list.Delete(5); }, "List index out of bounds (5)");
    expectIndexError([&] { list.Insert(3, "x"); }, "List index out of bounds (3)");
    expectIndexError([&] { list.SetObjects(2, nullptr); }, "List index out of bounds (2)");
    expectIndexError([&] { list.Exchange(0, 2); }, "List index out of bounds (2)");
    expectIndexError([&] { list.Move(0, 9); }, "List index out of bounds (9)");
    EXPECT_EQ(LinesOf(list), (Lines{"a", "b"})) << "failed edits change nothing";
}

TEST(StringListEditing, InsertMoveExchangeAndObjects)
{
    TStringList list;
    TObject a;
    TObject b;
    list.AddObject("one", &a);
    list.Add("two");
    list.Insert(0, "zero");
    list.InsertObject(3, "three", &b);
    EXPECT_EQ(LinesOf(list), (Lines{"zero", "one", "two", "three"}));
    EXPECT_EQ(list.Objects(1), &a);
    EXPECT_EQ(list.IndexOfObject(&b), 3);
    EXPECT_EQ(list.IndexOf("TWO"), 2) << "IndexOf ignores case by default";

    list.Move(3, 0);
    EXPECT_EQ(LinesOf(list), (Lines{"three", "zero", "one", "two"}));
    EXPECT_EQ(list.Objects(0), &b) << "the object moves with its line";

    list.Exchange(0, 3);
    EXPECT_EQ(LinesOf(list), (Lines{"two", "zero", "one", "three"}));
    EXPECT_EQ(list.Objects(3), &b);

    list.SetStrings(1, "ZERO");
    EXPECT_EQ(list.Strings(1), "ZERO");

    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("zero"), -1);
    EXPECT_EQ(list.IndexOf("ZERO"), 1);
}

TEST(StringListEditing, AssignAddStringsEquals)
{
    TStringList source;
    TObject object;
    Fill(source, {"a", "b"});
    source.SetObjects(1, &object);
    source.SetDelimiter(';');

    TStringList copy;
    copy.Add("old");
    copy.Assign(source);
    EXPECT_EQ(LinesOf(copy), (Lines{"a", "b"}));
    EXPECT_EQ(copy.Objects(1), &object);
    EXPECT_EQ(copy.Delimiter(), ';');
    EXPECT_TRUE(copy.Equals(source));

    copy.AddStrings(copy);
    EXPECT_EQ(LinesOf(copy), (Lines{"a", "b", "a", "b"})) << "adding a list to itself ends";
    EXPECT_FALSE(copy.Equals(source));

    TStringList other;
    Fill(other, {"A", "b"});
    EXPECT_FALSE(other.Equals(source)) << "Equals compares exactly";
}

TEST(StringListEditing, AssignFromUnrelatedClassRaises)
{
    class TOther : public TPersistent
    {
      public:
        std::string ClassName() const override { return "TOther"; }
    };
    TStringList list;
    TOther other;
    try {
        list.Assign(other);
        FAIL() << "no EConvertError";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TOther to a TStringList");
    }
}

TEST(StringListSorted, FindAndDuplicates)
{
    TStringList list;
    Fill(list, {"pear", "Apple", "banana", "apple"});
    list.SetSorted(true);
    EXPECT_EQ(LinesOf(list), (Lines{"Apple", "apple", "banana", "pear"}))
        << "sorting is stable and without case";

    int index = -1;
    EXPECT_TRUE(list.Find("APPLE", index));
    EXPECT_TRUE(SameText(list.Get(index), "apple")) << "without dupAccept, Find gives a match";
    list.SetDuplicates(dupAccept);
    EXPECT_TRUE(list.Find("APPLE", index));
    EXPECT_EQ(index, 0) << "with dupAccept, Find gives the first match";
    list.SetDuplicates(dupIgnore);
    EXPECT_FALSE(list.Find("cherry", index));
    EXPECT_EQ(index, 3) << "Find gives the insertion point";
    EXPECT_EQ(list.IndexOf("BANANA"), 2);
    EXPECT_EQ(list.IndexOf("kiwi"), -1);

    // dupIgnore: the existing line and its object stay.
    TObject object;
    EXPECT_EQ(list.AddObject("PEAR", &object), 3);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Objects(3), nullptr);

    list.SetDuplicates(dupAccept);
    list.Add("Pear");
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Add("cherry"), 3) << "a sorted list inserts in order";

    list.SetDuplicates(dupError);
    try {
        list.Add("banana");
        FAIL() << "no EListError";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "String list does not allow duplicates");
    }
    EXPECT_EQ(list.Count(), 6);
}

TEST(StringListSorted, PositionalEditsRaise)
{
    TStringList list;
    list.SetSorted(true);
    Fill(list, {"b", "a"});
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"Insert", [&] { list.Insert(0, "c"); }},
        {"Put", [&] { list.SetStrings(0, "z"); }},
        {"Move", [&] { list.Move(0, 1); }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        try {
            edit();
            ADD_FAILURE() << "no EListError";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), "Operation not allowed on sorted list");
        }
        EXPECT_EQ(LinesOf(list), (Lines{"a", "b"}));
    }
}

TEST(StringListSorted, CaseSensitiveResorts)
{
    TStringList list;
    Fill(list, {"b", "B", "a", "A"});
    list.SetCaseSensitive(true);
    list.SetSorted(true);
    EXPECT_EQ(LinesOf(list), (Lines{"A", "B", "a", "b"}));
    int index = -1;
    EXPECT_FALSE(list.Find("c", index));
    EXPECT_EQ(index, 4);
    list.SetCaseSensitive(false);
    EXPECT_EQ(LinesOf(list), (Lines{"A", "a", "B", "b"}));
}

TEST(StringListSorted, CustomSortAndLatinLetters)
{
    TStringList list;
    Fill(list, {"10", "9", "100"});
    list.CustomSort([](TStringList& l, int i, int j) { return StrToInt(l.Get(i)) - StrToInt(l.Get(j)); });
    EXPECT_EQ(LinesOf(list), (Lines{"9", "10", "100"}));

    // A compare function that answers at random still leaves every line.
    Fill(list, {"a", "b", "c", "d", "e", "f", "g", "h", "i"});
    unsigned seed = 7;
    list.CustomSort([&](TStringList&, int, int) {
        seed = seed * 1103515245 + 12345;
        return static_cast<int>((seed >> 16) % 3) - 1;
    });
    list.Sort();
    EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));

    TStringList names;
    names.SetSorted(true);
    names.SetDuplicates(dupIgnore);
    names.Add("ÉCOLE");
    names.Add("école");
    EXPECT_EQ(names.Count(), 1) << "Latin-1 letters fold";
}

TEST(StringListUpdate, EventsOncePerBatch)
{
    TStringList list;
    std::vector<std::string> events;
    list.OnChanging = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        events.push_back("changing");
    };
    list.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        events.push_back("change");
    };

    list.Add("a");
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));

    events.clear();
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("b");
    list.Delete(0);
    list.SetCommaText("x,y,z");
    list.EndUpdate();
    EXPECT_EQ(events, (std::vector<std::string>{"changing"})) << "nothing until the outermost EndUpdate";
    list.EndUpdate();
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"}));

    events.clear();
    list.SetCommaText("p,q");
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "change"})) << "a whole-text change is one batch";

    events.clear();
    list.EndUpdate();
    EXPECT_TRUE(events.empty()) << "an unbalanced EndUpdate does nothing";
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringListUpdate, ThrowingHandlerLeavesUpdateBalanced)
{
    TStringList list;
    int calls = 0;
    list.OnChange = [&](TObject*) {
        ++calls;
        if (calls == 1)
            throw EAbort("stop");
    };
    EXPECT_THROW(list.SetCommaText("a,b"), EAbort);
    EXPECT_EQ(list.UpdateCount(), 0);
    list.Add("c");
    EXPECT_EQ(calls, 2);
}

TEST(StringListObjects, OwnsObjects)
{
    int deletions = 0;
    {
        TStringList list(true);
        list.AddObject("a", new Tracked(&deletions));
        list.AddObject("b", new Tracked(&deletions));
        list.AddObject("c", new Tracked(&deletions));
        list.Delete(0);
        EXPECT_EQ(deletions, 1);
        list.AddObject("d", nullptr);
    }
    EXPECT_EQ(deletions, 3);

    Tracked kept(&deletions);
    {
        TStringList borrowed;
        borrowed.AddObject("k", &kept);
        borrowed.Clear();
        borrowed.AddObject("k", &kept);
    }
    EXPECT_EQ(deletions, 3) << "a list that does not own its objects leaves them alone";
}

TEST(StringListFiles, StreamRoundTripAndBom)
{
    TStringList list;
    Fill(list, {"Grüße", "", "zwei"});
    TMemoryStream stream;
    list.SaveToStream(stream);
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(list.Text().size()));

    stream.SetPosition(0);
    TStringList back;
    back.LoadFromStream(stream);
    EXPECT_EQ(LinesOf(back), (Lines{"Grüße", "", "zwei"}));

    TStringStream withBom("\xEF\xBB\xBF"
                          "first\nsecond");
    back.LoadFromStream(withBom);
    EXPECT_EQ(LinesOf(back), (Lines{"first", "second"}));
}

TEST(StringListFiles, MissingFileRaisesOpenError)
{
    TStringList list;
    list.Add("kept");
    EXPECT_THROW(list.LoadFromFile("/nonexistent-folder/none.txt"), EFOpenError);
    EXPECT_EQ(LinesOf(list), (Lines{"kept"}));
}
