// Filter language: lexer, parser, evaluator and functions checked rule by
// rule against the language's definition.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "Components/KldDBComponents/dbExtParser.h"
#include "KldDBComponents/FilterTestContext.h"

namespace {
// Restores the process's number settings when a test that changed them ends.
struct FormatSettingsGuard
{
    TFormatSettings saved = FormatSettings;
    ~FormatSettingsGuard() { FormatSettings = saved; }
};
} // namespace

TEST(FilterConformLexer, NumberLiteralsReadTheirOwnDecimalPoint)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        TVarType Type;
        double Value;
    };
    const Case cases[] = {
        {"five decimals make a double", "1.12345", varDouble, 1.12345},
        {"many decimals", "0.000001", varDouble, 0.000001},
        {"four decimals make currency", "2.5", varCurrency, 2.5},
        {"no fraction", "42", varInteger, 42},
    };
    FormatSettingsGuard guard;
    for (char separator : {'.', ','}) {
        FormatSettings.DecimalSeparator = separator;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.Desc) + " with separator " + separator);
            TToken t;
            try {
                TLexer lexer(c.Text, 0);
                t = lexer.MoveNext();
            } catch (const Exception& e) {
                ADD_FAILURE() << e.ClassName() << ": " << e.Message();
                continue;
            }
            EXPECT_EQ(t.Type, TokenType::tNumber);
            EXPECT_EQ(t.Value.VarType(), c.Type);
            EXPECT_DOUBLE_EQ(t.Value.AsDouble(), c.Value);
            EXPECT_EQ(t.NextPos, static_cast<int>(c.Text.size()) + 1);
        }
        // The same through a whole filter.
        SCOPED_TRACE(std::string("filter with separator ") + separator);
        EXPECT_NO_THROW(EXPECT_TRUE(EvaluateExpression("1.12345 * 2 > 2.2468").AsBoolean()));
    }
}

namespace {
FilterRecord OrderRow()
{
    FilterRecord r;
    r.Values["s"] = Variant("banana");
    r.Values["p"] = Variant("an");
    r.Values["q"] = Variant("AN");
    r.Values["a"] = Variant(2);
    r.Values["b"] = Variant(3);
    r.Values["c"] = Variant(4);
    r.Values["n"] = Variant::Null();
    r.Values["m"] = Variant::Null();
    return r;
}
} // namespace

// Routines and operators read their operands in a fixed order; a context
// whose reads have side effects (a dataset moving to its fields) relies on it.
TEST(FilterConformEvaluator, OperandsAreReadInTheirOrder)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        std::vector<std::string> Reads;
    };
    const Case cases[] = {
        {"comparison: first operand, then second", "b = a", {"b", "a"}},
        {"LIKE: the pattern, then the value", "s LIKE p", {"p", "s"}},
        {"arithmetic left to right", "a + b * c - a", {"a", "b", "c", "a"}},
        {"concatenation left to right", "p || q || s", {"p", "q", "s"}},
        {"IS NULL reads its operand once", "a IS NOT NULL", {"a"}},
        {"SUBSTRING: text, start, count", "SUBSTRING(s, a, b)", {"s", "a", "b"}},
        {"LEFT: text, count", "LEFT(s, a)", {"s", "a"}},
        {"RIGHT: text, count", "RIGHT(s, a)", {"s", "a"}},
        {"POS: part, text", "POS(p, s)", {"p", "s"}},
        {"REPLACE: old, new, text", "REPLACE(p, q, s)", {"p", "q", "s"}},
        {"REPEAT: text, count", "REPEAT(p, a)", {"p", "a"}},
        {"CONCAT: each in turn", "CONCAT(s, p, q)", {"s", "p", "q"}},
        {"ATAN2: y, x", "ATAN2(b, a)", {"b", "a"}},
        {"MOD: dividend, divisor", "MOD(c, b)", {"c", "b"}},
        {"POWER: base, exponent", "POWER(a, b)", {"a", "b"}},
        {"COALESCE stops at the first value", "COALESCE(n, m, a, b)", {"n", "m", "a"}},
        {"IIF reads the branch it takes", "IIF(a = 3, b, c)", {"a", "c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Desc) + ": " + c.Text);
        FilterRecord row = OrderRow();
        try {
            EvaluateOn(c.Text, row);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.ClassName() << ": " << e.Message();
            continue;
        }
        EXPECT_EQ(row.Reads, c.Reads);
    }
}

// Result types the language promises: conditions give Booleans, counts and
// rounded values 32-bit integers, ABS keeps the integer width it was given.
TEST(FilterConformFunctions, ResultTypes)
{
    FilterRecord row;
    row.Values["sm"] = Variant::FromShortInt(-5);
    row.Values["by"] = Variant::FromByte(5);
    row.Values["wd"] = Variant::FromWord(7);
    row.Values["i64"] = Variant(static_cast<long long>(-6000000000LL));
    row.Values["cur"] = Variant::FromCurrency(-15000);
    row.Values["nan"] = Variant(std::nan(""));
    row.Values["neg0"] = Variant(-0.0);
    struct Case
    {
        const char* Desc;
        std::string Text;
        TVarType Type;
        std::string Value;
    };
    const Case cases[] = {
        {"ABS of a short integer", "ABS(sm)", varInteger, "5"},
        {"ABS of a byte", "ABS(by)", varInteger, "5"},
        {"ABS of a word", "ABS(wd)", varInteger, "7"},
        {"ABS of a 64-bit integer", "ABS(i64)", varInt64, "6000000000"},
        {"ABS of currency is a number", "ABS(cur)", varDouble, "1.5"},
        {"SIGN of NaN", "SIGN(nan)", varInteger, "-1"},
        {"SIGN of negative zero", "SIGN(neg0)", varInteger, "0"},
        {"SIGN of currency", "SIGN(cur)", varInteger, "-1"},
        {"LENGTH", "LENGTH('abc')", varInteger, "3"},
        {"POS", "POS('c', 'abc')", varInteger, "3"},
        {"CEIL of currency", "CEIL(cur)", varInteger, "-1"},
        {"FLOOR of currency", "FLOOR(cur)", varInteger, "-2"},
        {"ROUND of currency", "ROUND(cur)", varInteger, "-2"},
        {"TRUNC of currency", "TRUNC(cur)", varInteger, "-1"},
        {"MOD", "MOD(by, 3)", varInteger, "2"},
        {"PI is a number", "PI()", varDouble, VarToStr(Variant(3.1415926535897932385))},
        {"POWER is a number", "POWER(2, 3)", varDouble, "8"},
        {"DEGREES is a number", "DEGREES(0)", varDouble, "0"},
        {"comparison", "by > 1", varBoolean, "True"},
        {"IS NULL", "by IS NULL", varBoolean, "False"},
        {"NOT", "NOT by > 1", varBoolean, "False"},
        {"OR of values", "0 OR by", varBoolean, "True"},
        {"LIKE", "by LIKE '5'", varBoolean, "True"},
        {"division is real", "by / 2", varDouble, "2.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Desc) + ": " + c.Text);
        Variant v;
        try {
            v = EvaluateOn(c.Text, row);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.ClassName() << ": " << e.Message();
            continue;
        }
        EXPECT_EQ(v.VarType(), c.Type);
        EXPECT_EQ(VarToStr(v), c.Value);
    }
}

// A parse that fails leaves the evaluator without a tree, also when it held
// one from an earlier text: it then evaluates to Empty, not to the old text.
TEST(FilterConformParser, FailedParseLeavesNoTree)
{
    const char* bad[] = {"1 +", "a = = 1", "UNKNOWNFN(1)", "(1"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        TEvaluator evaluator("1 + 1", nullptr, nullptr);
        ASSERT_EQ(evaluator.Evaluate().AsInteger(), 2);
        TExpressionParser parser(text, evaluator);
        EXPECT_THROW(parser.Parse(), Exception);
        EXPECT_EQ(evaluator.Root(), nullptr);
        EXPECT_TRUE(evaluator.Evaluate().IsEmpty());
    }
    // A successful parse into the same evaluator replaces the tree.
    TEvaluator evaluator("1 + 1", nullptr, nullptr);
    TExpressionParser parser("2 * 3", evaluator);
    parser.Parse();
    EXPECT_EQ(evaluator.Evaluate().AsInteger(), 6);
}
