#include "Components/KldDBComponents/dbExtEvaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "KldDBComponents/FilterTestContext.h"

namespace
{
constexpr double Pi = 3.14159265358979323846;

// Sample row used by the tables below.
FilterRecord SampleRow()
{
    FilterRecord r;
    r.Values["a"] = Variant(1);
    r.Values["b"] = Variant(2);
    r.Values["s"] = Variant("Smith");
    r.Values["n"] = Variant::Null();
    r.Values["e"] = Variant();
    r.Values["d"] = Variant(2.5);
    r.Values["big"] = Variant(static_cast<long long>(-5));
    r.Values["w"] = Variant::FromWideString("wide");
    r.Values["Order Date"] = Variant("2024");
    r.Children["t"].Values["x"] = Variant(10);
    r.Children["t"].Children["u"].Values["y"] = Variant("deep");
    return r;
}

struct ValueCase
{
    const char* Desc;
    std::string Text;
    Variant Expected;
};

// Same type, and the same value (floating-point values to 1e-12).
void ExpectValue(const Variant& got, const Variant& expected)
{
    ASSERT_EQ(got.VarType(), expected.VarType()) << "got " << VarToStr(got);
    if (expected.VarType() == varDouble)
        EXPECT_NEAR(got.AsDouble(), expected.AsDouble(), 1e-12);
    else
        EXPECT_EQ(VarToStr(got), VarToStr(expected));
}

void RunValueCases(const std::vector<ValueCase>& cases)
{
    for (const ValueCase& c : cases)
    {
        SCOPED_TRACE(std::string(c.Desc) + ": " + c.Text);
        FilterRecord row = SampleRow();
        Variant got;
        try
        {
            got = EvaluateOn(c.Text, row);
        }
        catch (const Exception& e)
        {
            ADD_FAILURE() << e.ClassName() << ": " << e.Message();
            continue;
        }
        ExpectValue(got, c.Expected);
    }
}

struct ErrorCase
{
    const char* Desc;
    std::string Text;
    std::string ClassName;
    std::string Message;
};

void RunErrorCases(const std::vector<ErrorCase>& cases)
{
    for (const ErrorCase& c : cases)
    {
        SCOPED_TRACE(std::string(c.Desc) + ": " + c.Text);
        FilterRecord row = SampleRow();
        try
        {
            Variant v = EvaluateOn(c.Text, row);
            ADD_FAILURE() << "no error, value " << VarToStr(v);
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(e.ClassName(), c.ClassName);
            if (!c.Message.empty())
            {
                EXPECT_EQ(e.Message(), c.Message);
            }
        }
    }
}
} // namespace

TEST(FilterEvaluator, Operators)
{
    RunValueCases({
        {"integer sum", "1 + 2", Variant(3)},
        {"texts join under +", "'ab' + 'cd'", Variant("abcd")},
        {"texts join under ||", "s || '!'", Variant("Smith!")},
        {"a wide text keeps its type when joined", "w + '!'", Variant::FromWideString("wide!")},
        {"difference", "7 - 10", Variant(-3)},
        {"product", "3 * 4", Variant(12)},
        {"division is real", "7 / 2", Variant(3.5)},
        {"unary minus", "-a", Variant(-1)},
        {"unary plus makes no change", "+a", Variant(1)},
        {"currency sum", "1.5 + 1.25", Variant::FromCurrency(27500)},
        {"double field", "d * 2", Variant(5.0)},
        {"equal", "a = 1", Variant(true)},
        {"not equal", "a <> 1", Variant(false)},
        {"less", "a < b", Variant(true)},
        {"more", "a > b", Variant(false)},
        {"less or equal", "a <= 1", Variant(true)},
        {"more or equal", "a >= 2", Variant(false)},
        {"text comparison is case-sensitive", "s = 'smith'", Variant(false)},
        {"text equality", "s = 'Smith'", Variant(true)},
        {"text ordering", "s > 'Adams'", Variant(true)},
        {"text against a number", "'10' = 10", Variant(true)},
        {"text constant on the left", "'Adams' < s", Variant(true)},
        {"text constant not equal", "s <> 'Smith'", Variant(false)},
        {"64-bit field against an integer", "big < 0", Variant(true)},
        {"integer constant on the left", "0 > big", Variant(true)},
        {"double against an integer", "d > 2", Variant(true)},
        {"integer against currency", "a = 1.0", Variant(true)},
        {"Empty is not equal to empty text", "e = ''", Variant(false)},
        {"Empty differs from empty text", "e <> ''", Variant(true)},
        {"comparison result as a value", "(a = 1) = TRUE", Variant(true)},
        {"NOT", "NOT a = 1", Variant(false)},
        {"NOT of a parenthesised condition", "NOT (a = 2)", Variant(true)},
        {"AND", "TRUE AND FALSE", Variant(false)},
        {"OR", "FALSE OR TRUE", Variant(true)},
        {"IS NULL", "n IS NULL", Variant(true)},
        {"IS NOT NULL", "n IS NOT NULL", Variant(false)},
        {"a value is not Null", "a IS NULL", Variant(false)},
        {"Empty is not Null", "e IS NULL", Variant(false)},
        {"NULL literal", "NULL", Variant::Null()},
        {"constant text", "'x'", Variant("x")},
        {"bracketed name", "[Order Date] = '2024'", Variant(true)},
        {"dotted name", "t.x + 1", Variant(11)},
        {"two dots", "t.u.y", Variant("deep")},
        {"names in any case", "A + B", Variant(3)},
        {"precedence", "1 + 2 * 3 - 4 / 2", Variant(5.0)},
    });
}

TEST(FilterEvaluator, NullOperands)
{
    RunValueCases({
        {"equal to Null", "n = NULL", Variant(false)},
        {"Null equal to Null", "NULL = NULL", Variant(false)},
        {"not equal to Null", "n <> 1", Variant(false)},
        {"less than Null", "a < n", Variant(false)},
        {"more or equal with Null", "n >= 1", Variant(false)},
        {"sum with Null", "n + 1", Variant::Null()},
        {"product with Null", "2 * n", Variant::Null()},
        {"quotient with Null", "n / 0", Variant::Null()},
        {"Null divided into", "1 / n", Variant::Null()},
        {"negated Null", "-n", Variant::Null()},
        {"joined with Null", "s || n", Variant::Null()},
        {"Null LIKE", "n LIKE '*'", Variant(false)},
        {"LIKE a Null pattern", "s LIKE n", Variant(false)},
        {"comparison with Null inside AND", "n = 1 AND a = 1", Variant(false)},
        {"comparison with Null inside OR", "n = 1 OR a = 1", Variant(true)},
    });
}

TEST(FilterEvaluator, AndOrShortCircuit)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        bool Expected;
        std::vector<std::string> Reads;
    };
    const Case cases[] = {
        {"OR stops at True", "a = 1 OR 1/0 = 1", true, {"a"}},
        {"OR stops at True without reading on", "a = 1 OR missing = 1", true, {"a"}},
        {"OR reads on after False", "a = 2 OR b = 2", true, {"a", "b"}},
        {"AND stops at False", "a = 2 AND 1/0 = 1", false, {"a"}},
        {"AND reads on after True", "a = 1 AND b = 3", false, {"a", "b"}},
        {"mixed run", "a = 2 AND missing = 1 OR b = 2", true, {"a", "b"}},
        {"LIKE evaluates the pattern first", "s LIKE s", true, {"s", "s"}},
        {"LIKE pattern from a field", "s LIKE [Order Date]", false, {"Order Date", "s"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        FilterRecord row = SampleRow();
        Variant v = EvaluateOn(c.Text, row);
        EXPECT_EQ(v.VarType(), varBoolean);
        EXPECT_EQ(v.AsBoolean(), c.Expected);
        EXPECT_EQ(row.Reads, c.Reads);
    }
}

TEST(FilterEvaluator, LongRunsOfOperatorsDoNotRunTheStackOut)
{
    // Generated filters ("ID = 1 OR ID = 2 OR ...") can be very long.
    std::string ors = "a = 0";
    std::string sum = "1";
    std::string text = "'x'";
    for (int i = 1; i < 50000; ++i)
    {
        ors += " OR a = " + std::to_string(i);
        sum += "+1";
        if (i < 5000)
            text += "||'x'";
    }
    FilterRecord row = SampleRow();
    EXPECT_TRUE(EvaluateOn(ors, row).AsBoolean());
    EXPECT_EQ(EvaluateOn(sum, row).AsInteger(), 50000);
    EXPECT_EQ(EvaluateOn(text, row).AsString().size(), 5000u);
    EXPECT_FALSE(EvaluateOn("(" + ors + ") AND b = 3", row).AsBoolean());
}

TEST(FilterEvaluator, Like)
{
    struct Case
    {
        std::string Value;
        std::string Pattern;
        bool Expected;
    };
    const Case cases[] = {
        {"Smith", "Sm*", true},
        {"Sm", "Sm*", true},
        {"smith", "Sm*", false},
        {"Smith", "S_ith", true},
        {"Smith", "S_th", false},
        {"", "*", true},
        {"", "", true},
        {"x", "", false},
        {"", "_", false},
        {"A%", "A%", true},
        {"Ab", "A%", false},
        {"abc", "a*c", true},
        {"abc", "a*b", false},
        {"abcbc", "a*bc", true},
        {"abc", "**", true},
        {"abc", "a**c", true},
        {"ab", "a_", true},
        {"a", "a_", false},
        {"aaa", "*a*a*a*", true},
        {"aa", "*a*a*a*", false},
        {"mississippi", "*iss*pi", true},
        {"mississippi", "m*ss*ss*x", false},
        {"a*b", "a*b", true},
        {"\xC3\xA9", "_", true},       // one character of two bytes
        {"\xC3\xA9" "a", "_a", true},
        {"\xC3\xA9", "__", false},
        {"x\xC3\xA9y", "*\xC3\xA9_", true},
        {"a", "a*a", false},
        {"aa", "a*a", true},
        {"abcabd", "*abd", true},
        {"abcabd", "a*b*d", true},
        {"abcabd", "a*c*c*", false},
        {"xaby", "*a*b*", true},
        {"xbay", "*a*b*", false},
        {"ab", "a*_*b", false},
        {"axb", "a*_*b", true},
        {"abc", "_*", true},
        {"abc", "*_", true},
        {"", "*_", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Value + " LIKE " + c.Pattern);
        EXPECT_EQ(TEvaluator::Like(c.Value, c.Pattern), c.Expected);
    }

    // Patterns that make plain backtracking try every split of the value.
    std::string value(20000, 'a');
    EXPECT_FALSE(TEvaluator::Like(value, "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(TEvaluator::Like(value + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_FALSE(TEvaluator::Like(value, "*a*a*a*a*a*a*a*a*a*a*a*_*b"));
    // Long near-misses: a character-by-character restart at each place would
    // compare millions of characters at millions of places.
    std::string longValue(8000000, 'a');
    std::string longPart = std::string(4000000, 'a') + "b";
    EXPECT_FALSE(TEvaluator::Like(longValue, "*" + longPart + "*"));
    EXPECT_FALSE(TEvaluator::Like(longValue, "*" + longPart));
    EXPECT_TRUE(TEvaluator::Like(longValue + "b", "*" + longPart + "*"));

    RunValueCases({
        {"field LIKE", "s LIKE 'Sm*'", Variant(true)},
        {"numbers are matched as text", "a LIKE '1'", Variant(true)},
        {"LIKE in lower case", "s like 'S_ith'", Variant(true)},
    });
}

namespace
{
// The matching rule stated plainly, with full backtracking at every star.
bool ReferenceLike(std::string_view value, std::string_view pattern)
{
    if (pattern.empty())
        return value.empty();
    if (pattern[0] == '*')
    {
        if (pattern.size() == 1)
            return true;
        // The rest is tried against the rest of the value (also when that is
        // empty), then against it shortened one character at a time.
        size_t at = 0;
        do
        {
            if (ReferenceLike(value.substr(at), pattern.substr(1)))
                return true;
            at += Utf8::CharLen(value, at);
        } while (at < value.size());
        return false;
    }
    if (value.empty())
        return false;
    if (pattern[0] == '_')
        return ReferenceLike(value.substr(Utf8::CharLen(value, 0)), pattern.substr(1));
    return pattern[0] == value[0] && ReferenceLike(value.substr(1), pattern.substr(1));
}
} // namespace

TEST(FilterEvaluator, LikeAgreesWithFullBacktracking)
{
    const std::vector<std::string> valueChars = {"a", "b", "\xC3\xA9"};
    const std::vector<std::string> patternChars = {"a", "b", "\xC3\xA9", "*", "_"};
    unsigned seed = 12345;
    auto next = [&seed](size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<size_t>((seed >> 16) % n);
    };
    for (int round = 0; round < 20000; ++round)
    {
        std::string value;
        std::string pattern;
        for (size_t i = next(7); i > 0; --i)
            value += valueChars[next(valueChars.size())];
        for (size_t i = next(6); i > 0; --i)
            pattern += patternChars[next(patternChars.size())];
        ASSERT_EQ(TEvaluator::Like(value, pattern), ReferenceLike(value, pattern))
            << "'" << value << "' LIKE '" << pattern << "'";
    }
}

TEST(FilterEvaluator, NamesAndContexts)
{
    EXPECT_EQ(ErrorOf([] { EvaluateExpression("x = 1"); }), "Unable to resolve identifier: \"x\"");
    EXPECT_EQ(ErrorOf([] { EvaluateExpression("t.x"); }), "Unable to resolve identifier: \"t\"");
    FilterRecord row = SampleRow();
    EXPECT_EQ(ErrorOf([&] { EvaluateOn("t.zz.y", row); }), "Unable to resolve identifier: \"zz\"");
    EXPECT_EQ(ErrorOf([&] { EvaluateOn("missing = 1", row); }), "Field 'missing' not found");
    EXPECT_EQ(EvaluateExpression("1 + 1").AsInteger(), 2);

    // One evaluator serves every row: the context object is read afresh each time.
    FilterRecord other = SampleRow();
    other.Values["a"] = Variant(7);
    TEvaluator evaluator("a * 2", &row, TFilterRecordContext::Class());
    EXPECT_EQ(evaluator.Evaluate().AsInteger(), 2);
    evaluator.SetContext(&other);
    EXPECT_EQ(evaluator.Evaluate().AsInteger(), 14);
    EXPECT_EQ(evaluator.Text(), "a * 2");

    TEvaluator empty("", nullptr, nullptr);
    EXPECT_EQ(empty.Root(), nullptr);
    EXPECT_TRUE(empty.Evaluate().IsEmpty());
    EXPECT_TRUE(empty.Evaluate(nullptr).IsEmpty());
}

namespace
{
void Twice(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = e.Evaluate(node.Operand1) * Variant(2);
}
} // namespace

TEST(FilterEvaluator, CustomFunctionTable)
{
    TFunctionTable functions{{"Twice", Twice}};
    FilterRecord row = SampleRow();
    TEvaluator evaluator("twice(b) + TWICE(1)", &row, functions, TFilterRecordContext::Class());
    EXPECT_EQ(evaluator.Evaluate().AsInteger(), 6);
    EXPECT_EQ(ErrorOf([&] { TEvaluator("UPPER(s)", &row, functions, TFilterRecordContext::Class()); }),
              "Unknown function 'UPPER' at position 1 ");
}

TEST(FilterFunctions, TableHoldsEveryName)
{
    const char* names[] = {"COALESCE", "NVL",     "IIF",     "IF",      "LOWER", "LCASE",    "UPPER",     "UCASE",
                           "LENGTH",   "LEN",     "SUBSTRING", "SUBSTR", "LEFT", "RIGHT",    "TRIM",      "LTRIM",
                           "RTRIM",    "POS",     "POSITION", "REPLACE", "REPEAT", "CONCAT", "ABS",       "ACOS",
                           "ASIN",     "ATAN",    "COS",     "SIN",     "TAN",   "COT",      "ATAN2",     "DEGREES",
                           "RADIANS",  "EXP",     "LOG",     "LOG10",   "SQRT",  "CEIL",     "CEILING",   "FLOOR",
                           "ROUND",    "TRUNC",   "TRUNCATE", "SIGN",   "PI",    "MOD",      "POWER",     "RAND"};
    EXPECT_EQ(std::size(names), 48u);
    EXPECT_EQ(CommonFunctions().Count(), 48u);
    for (const char* name : names)
    {
        SCOPED_TRACE(name);
        EXPECT_NE(CommonFunctions().Find(name), nullptr);
        EXPECT_NE(CommonFunctions().Find(AnsiLowerCase(name)), nullptr);
    }
    EXPECT_EQ(*CommonFunctions().Find("NVL"), *CommonFunctions().Find("COALESCE"));
    EXPECT_EQ(*CommonFunctions().Find("IF"), *CommonFunctions().Find("IIF"));
}

TEST(FilterFunctions, ChoiceAndNulls)
{
    RunValueCases({
        {"first non-Null", "COALESCE(NULL, NULL, 5)", Variant(5)},
        {"three Nulls give Null", "COALESCE(NULL, NULL, NULL)", Variant::Null()},
        {"two Nulls give Empty", "NVL(NULL, NULL)", Variant()},
        {"no arguments", "COALESCE()", Variant()},
        {"four Nulls give Null", "COALESCE(NULL, NULL, NULL, NULL)", Variant::Null()},
        {"fifth argument", "COALESCE(NULL, NULL, NULL, NULL, 'x')", Variant("x")},
        {"Empty is passed over", "NVL(e, 2)", Variant(2)},
        {"field first", "NVL(n, a)", Variant(1)},
        {"IIF true", "IIF(1 = 1, 'x', 'y')", Variant("x")},
        {"IF false", "IF(1 = 2, 'x', 'y')", Variant("y")},
        {"IIF missing branch is Empty", "IIF(FALSE, 'x')", Variant()},
        {"IIF of a Boolean field result", "IIF(a > b, a, b)", Variant(2)},
    });
    RunErrorCases({
        {"IIF condition not Boolean", "IIF(1, 'x', 'y')", "Exception", "Invalid 1 argument type for IIF function"},
        {"IF reports IIF", "IF('True', 'x', 'y')", "Exception", "Invalid 1 argument type for IIF function"},
        {"IIF without condition", "IIF()", "Exception", "Invalid 1 argument type for IIF function"},
    });

    // Later arguments are not evaluated once one qualifies.
    FilterRecord row = SampleRow();
    EXPECT_EQ(EvaluateOn("COALESCE(n, a, missing, missing)", row).AsInteger(), 1);
    EXPECT_EQ(row.Reads, (std::vector<std::string>{"n", "a"}));
    row.Reads.clear();
    EXPECT_EQ(EvaluateOn("IIF(a = 1, b, missing)", row).AsInteger(), 2);
    EXPECT_EQ(row.Reads, (std::vector<std::string>{"a", "b"}));
}

TEST(FilterFunctions, Text)
{
    RunValueCases({
        {"lower", "LOWER('AbC')", Variant("abc")},
        {"lower of Latin-1 letters", "LCASE('\xC3\x89" "A')", Variant("\xC3\xA9" "a")},
        {"upper", "UPPER(s)", Variant("SMITH")},
        {"upper of Latin-1 letters", "UCASE('\xC3\xA9')", Variant("\xC3\x89")},
        {"length", "LENGTH('abc')", Variant(3)},
        {"length counts characters", "LEN('h\xC3\xA9llo')", Variant(5)},
        {"length of a number", "LENGTH(123)", Variant(3)},
        {"length of nothing", "LENGTH('')", Variant(0)},
        {"substring", "SUBSTRING('banana', 2, 3)", Variant("ana")},
        {"substring past the end", "SUBSTR('banana', 5, 10)", Variant("na")},
        {"substring from 0", "SUBSTRING('banana', 0, 2)", Variant("ba")},
        {"substring from a negative start", "SUBSTRING('banana', -5, 2)", Variant("ba")},
        {"substring after the end", "SUBSTRING('banana', 7, 1)", Variant("")},
        {"substring with negative count", "SUBSTRING('banana', 2, -1)", Variant("")},
        {"substring without count", "SUBSTRING('banana', 2)", Variant("")},
        {"substring counts characters", "SUBSTRING('h\xC3\xA9llo', 2, 2)", Variant("\xC3\xA9l")},
        {"substring with huge numbers", "SUBSTRING('banana', 2147483647, 2147483647)", Variant("")},
        {"left", "LEFT('banana', 3)", Variant("ban")},
        {"left beyond the length", "LEFT('banana', 10)", Variant("banana")},
        {"left negative", "LEFT('banana', -1)", Variant("")},
        {"left counts characters", "LEFT('h\xC3\xA9llo', 2)", Variant("h\xC3\xA9")},
        {"right", "RIGHT('banana', 3)", Variant("ana")},
        {"right beyond the length", "RIGHT('banana', 10)", Variant("banana")},
        {"right of zero", "RIGHT('banana', 0)", Variant("")},
        {"right negative", "RIGHT('banana', -2)", Variant("")},
        {"right with the most negative count", "RIGHT('banana', -2147483647)", Variant("")},
        {"right counts characters", "RIGHT('h\xC3\xA9llo', 4)", Variant("\xC3\xA9llo")},
        {"trim", "TRIM('  a b \t')", Variant("a b")},
        {"left trim", "LTRIM('  a b  ')", Variant("a b  ")},
        {"right trim", "RTRIM('  a b  ')", Variant("  a b")},
        {"pos", "POS('na', 'banana')", Variant(3)},
        {"position absent", "POSITION('x', 'banana')", Variant(0)},
        {"pos of nothing", "POS('', 'abc')", Variant(0)},
        {"pos counts characters", "POS('l', 'h\xC3\xA9llo')", Variant(3)},
        {"replace: the searched text is last", "REPLACE('a', 'b', 'banana')", Variant("bbnbnb")},
        {"replace is case-sensitive", "REPLACE('A', 'x', 'banana')", Variant("banana")},
        {"replace of nothing", "REPLACE('', 'x', 'abc')", Variant("abc")},
        {"replace with nothing", "REPLACE('an', '', 'banana')", Variant("ba")},
        {"repeat", "REPEAT('ab', 3)", Variant("ababab")},
        {"repeat zero times", "REPEAT('ab', 0)", Variant("")},
        {"repeat negative", "REPEAT('ab', -5)", Variant("")},
        {"repeat of nothing", "REPEAT('', 2147483647)", Variant("")},
        {"concat", "CONCAT('a', 'b', 'c', 'd')", Variant("abc" "d")},
        {"concat adds by variant rules", "CONCAT('1', 2)", Variant("3")},
        {"concat of a number", "CONCAT(12)", Variant("12")},
        {"concat of nothing", "CONCAT()", Variant("")},
        // A plain search would compare millions of characters at each of millions of places.
        {"pos of a long near-miss", "POS(REPEAT('a', 4000000) || 'b', REPEAT('a', 8000000))", Variant(0)},
        {"replace of a long near-miss",
         "LENGTH(REPLACE(REPEAT('a', 4000000) || 'b', 'x', REPEAT('a', 8000000)))", Variant(8000000)},
    });
    RunErrorCases({
        {"text of Null", "UPPER(n)", "EVariantTypeCastError", ""},
        {"repeat beyond the text limit", "REPEAT('x', 2147483647)", "EOutOfMemory", ""},
        {"join beyond the text limit", "REPEAT('x', 10000000) || REPEAT('x', 10000000)", "EOutOfMemory", ""},
        {"replace beyond the text limit", "REPLACE('x', REPEAT('y', 1000), REPEAT('x', 100000))", "EOutOfMemory", ""},
        {"concat beyond the text limit", "CONCAT(REPEAT('x', 10000000), REPEAT('x', 10000000))", "EOutOfMemory", ""},
        {"concat of text and a word", "CONCAT('a', 1)", "EVariantTypeCastError", ""},
    });
}

TEST(FilterFunctions, Numbers)
{
    RunValueCases({
        {"abs of an integer", "ABS(-5)", Variant(5)},
        {"abs of a 64-bit integer", "ABS(big)", Variant(static_cast<long long>(5))},
        {"abs of a double", "ABS(-d)", Variant(2.5)},
        {"abs of currency is a number", "ABS(-1.5)", Variant(1.5)},
        {"acos", "ACOS(1)", Variant(0.0)},
        {"asin", "ASIN(1)", Variant(Pi / 2)},
        {"atan", "ATAN(1)", Variant(Pi / 4)},
        {"cos", "COS(0)", Variant(1.0)},
        {"sin", "SIN(0)", Variant(0.0)},
        {"tan", "TAN(0)", Variant(0.0)},
        {"cot", "COT(1)", Variant(1.0 / std::tan(1.0))},
        {"atan2 first quadrant", "ATAN2(1, 1)", Variant(Pi / 4)},
        {"atan2 second quadrant", "ATAN2(1, -1)", Variant(3 * Pi / 4)},
        {"degrees", "DEGREES(PI())", Variant(180.0)},
        {"radians", "RADIANS(180)", Variant(Pi)},
        {"exp", "EXP(0)", Variant(1.0)},
        {"log", "LOG(1)", Variant(0.0)},
        {"log10", "LOG10(1000)", Variant(3.0)},
        {"sqrt", "SQRT(16)", Variant(4.0)},
        {"ceil", "CEIL(1.2)", Variant(2)},
        {"ceiling of a negative", "CEILING(-1.2)", Variant(-1)},
        {"floor of a negative", "FLOOR(-1.2)", Variant(-2)},
        {"round half down to even", "ROUND(2.5)", Variant(2)},
        {"round half up to even", "ROUND(3.5)", Variant(4)},
        {"round negative half", "ROUND(-2.5)", Variant(-2)},
        {"round below half", "ROUND(2.4)", Variant(2)},
        {"round above half", "ROUND(2.6)", Variant(3)},
        {"trunc", "TRUNC(-1.7)", Variant(-1)},
        {"truncate", "TRUNCATE(1.7)", Variant(1)},
        {"sign negative", "SIGN(-3)", Variant(-1)},
        {"sign zero", "SIGN(0)", Variant(0)},
        {"sign positive", "SIGN(d)", Variant(1)},
        {"pi", "PI()", Variant(Pi)},
        {"mod", "MOD(7, 3)", Variant(1)},
        {"mod takes the sign of the dividend", "MOD(-7, 3)", Variant(-1)},
        {"mod by a negative", "MOD(7, -3)", Variant(1)},
        {"mod of the smallest integer by -1", "MOD(-2147483647 - 1, -1)", Variant(0)},
        {"power", "POWER(2, 10)", Variant(1024.0)},
        {"power of zero", "POWER(0, 0)", Variant(1.0)},
    });
    RunErrorCases({
        {"division by zero", "1 / 0", "EZeroDivide", "Floating point division by zero"},
        {"zero by zero", "0 / 0", "EInvalidOp", "Invalid floating point operation"},
        {"division by a zero field", "a / (b - 2)", "EZeroDivide", ""},
        {"overflowing product", "POWER(10, 300) * POWER(10, 300)", "EOverflow", "Floating point overflow"},
        {"mod by zero", "MOD(7, 0)", "EDivByZero", "Division by zero"},
        {"log of zero", "LOG(0)", "EZeroDivide", ""},
        {"log of a negative", "LOG(-1)", "EInvalidOp", ""},
        {"log10 of zero", "LOG10(0)", "EZeroDivide", ""},
        {"sqrt of a negative", "SQRT(-1)", "EInvalidOp", ""},
        {"acos outside its domain", "ACOS(2)", "EInvalidOp", ""},
        {"cot of zero", "COT(0)", "EZeroDivide", ""},
        {"exp overflow", "EXP(1000)", "EOverflow", ""},
        {"power of zero to a negative", "POWER(0, -1)", "EZeroDivide", ""},
        {"power overflow", "POWER(10, 400)", "EOverflow", ""},
        {"power of a negative to a fraction", "POWER(-8, 0.5)", "EInvalidOp", ""},
        {"ceil beyond 32 bits", "CEIL(10000000000.5)", "EIntOverflow", "Integer overflow"},
        {"floor beyond 32 bits", "FLOOR(-10000000000.5)", "EIntOverflow", ""},
        {"round beyond 32 bits", "ROUND(2147483647.5)", "EIntOverflow", ""},
        {"trunc beyond 32 bits", "TRUNC(3000000000.5)", "EIntOverflow", ""},
        {"abs of the smallest integer", "ABS(-2147483647 - 1)", "EIntOverflow", ""},
        {"number from a word", "SQRT('four')", "EVariantTypeCastError", ""},
    });
}

TEST(FilterFunctions, Rand)
{
    bool seen[5] = {};
    for (int i = 0; i < 500; ++i)
    {
        int32_t r = EvaluateExpression("RAND(5)").AsInteger();
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 5);
        seen[r] = true;
        double x = EvaluateExpression("RAND()").AsDouble();
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 1.0);
    }
    for (bool s : seen)
        EXPECT_TRUE(s);
    EXPECT_EQ(EvaluateExpression("RAND(5)").VarType(), varInteger);
    EXPECT_EQ(EvaluateExpression("RAND()").VarType(), varDouble);
    EXPECT_EQ(EvaluateExpression("RAND(0)").AsInteger(), 0);
    EXPECT_EQ(EvaluateExpression("RAND(-3)").AsInteger(), 0);
}
