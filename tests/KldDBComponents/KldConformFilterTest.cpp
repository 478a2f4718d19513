// Filter language: lexer, parser, evaluator and functions checked rule by
// rule against the language's definition.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "Components/KldDBComponents/dbExtParser.h"
#include "KldDBComponents/FilterTestContext.h"

namespace
{
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
    for (char separator : {'.', ','})
    {
        FormatSettings.DecimalSeparator = separator;
        for (const Case& c : cases)
        {
            SCOPED_TRACE(std::string(c.Desc) + " with separator " + separator);
            TToken t;
            try
            {
                TLexer lexer(c.Text, 0);
                t = lexer.MoveNext();
            }
            catch (const Exception& e)
            {
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
