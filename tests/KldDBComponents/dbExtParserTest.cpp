#include "Components/KldDBComponents/dbExtParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "KldDBComponents/FilterTestContext.h"

namespace
{
const char* TypeName(TokenType type)
{
    switch (type)
    {
    case TokenType::tChar:
        return "Char";
    case TokenType::tSymbol:
        return "Symbol";
    case TokenType::tKeyword:
        return "Keyword";
    case TokenType::tIdentifier:
        return "Ident";
    case TokenType::tNumber:
        return "Number";
    case TokenType::tString:
        return "String";
    case TokenType::tBlank:
        return "Blank";
    case TokenType::tComment:
        return "Comment";
    case TokenType::tBegin:
        return "Begin";
    case TokenType::tEnd:
        return "End";
    }
    return "?";
}

// "Type:value@start" plus "#code" for symbols and keywords.
std::string Describe(const TToken& t)
{
    std::string s = std::string(TypeName(t.Type)) + ":" + VarToStr(t.Value) + "@" + std::to_string(t.StartPos);
    if (t.Code != 0)
        s += "#" + std::to_string(t.Code);
    return s;
}

std::vector<std::string> Tokens(const std::string& text, TLexerOptions options)
{
    TLexer lexer(text, options);
    std::vector<std::string> out;
    for (int guard = 0; guard < 100; ++guard)
    {
        TToken t = lexer.MoveNext();
        out.push_back(Describe(t));
        if (t.Type == TokenType::tEnd)
            break;
    }
    return out;
}

const char* OperatorName(TOperationCode op)
{
    switch (op)
    {
    case TOperationCode::opOr:
        return "OR";
    case TOperationCode::opAnd:
        return "AND";
    case TOperationCode::opAdd:
        return "+";
    case TOperationCode::opSub:
        return "-";
    case TOperationCode::opMul:
        return "*";
    case TOperationCode::opDiv:
        return "/";
    case TOperationCode::opEqual:
        return "=";
    case TOperationCode::opLess:
        return "<";
    case TOperationCode::opMore:
        return ">";
    case TOperationCode::opLessEqual:
        return "<=";
    case TOperationCode::opMoreEqual:
        return ">=";
    case TOperationCode::opNotEqual:
        return "<>";
    case TOperationCode::opLike:
        return "LIKE";
    case TOperationCode::opConcat:
        return "||";
    default:
        return nullptr;
    }
}

// The tree as an S-expression: (op left right), names plain, texts quoted.
std::string Dump(const TExpression* n)
{
    if (!n)
        return "<none>";
    if (const char* op = OperatorName(n->Operation))
        return std::string("(") + op + " " + Dump(n->Operand1) + " " + Dump(n->Operand2) + ")";
    switch (n->Operation)
    {
    case TOperationCode::opIdent:
        return n->Text;
    case TOperationCode::opConst:
        return n->Token.Value.IsStr() ? "'" + n->Text + "'" : VarToStr(n->Token.Value);
    case TOperationCode::opTrue:
        return "TRUE";
    case TOperationCode::opFalse:
        return "FALSE";
    case TOperationCode::opNull:
        return "NULL";
    case TOperationCode::opMinus:
        return "(neg " + Dump(n->Operand1) + ")";
    case TOperationCode::opNot:
        return "(NOT " + Dump(n->Operand1) + ")";
    case TOperationCode::opIsNull:
        return "(" + Dump(n->Operand1) + " IS NULL)";
    case TOperationCode::opIsNotNull:
        return "(" + Dump(n->Operand1) + " IS NOT NULL)";
    case TOperationCode::opDot:
    {
        std::string s;
        for (size_t i = 0; i < n->OperandCount(); ++i)
            s += (i ? "." : "") + Dump(n->Operand(i));
        return s;
    }
    case TOperationCode::opFunc:
    {
        std::string s = VarToStr(n->Token.Value) + "(";
        for (size_t i = 0; i < n->OperandCount(); ++i)
            s += (i ? ", " : "") + Dump(n->Operand(i));
        return s + ")";
    }
    default:
        return "?";
    }
}

std::string ParseDump(const std::string& text)
{
    TEvaluator evaluator(text, nullptr, nullptr);
    return Dump(evaluator.Root());
}

std::string ParseError(const std::string& text)
{
    return ErrorOf([&] {
        TEvaluator evaluator("", nullptr, nullptr);
        TExpressionParser parser(text, evaluator);
        parser.Parse();
    });
}

// Restores StringQuotes when a test that changed it ends.
struct StringQuotesGuard
{
    std::string saved = StringQuotes;
    ~StringQuotesGuard() { StringQuotes = saved; }
};
} // namespace

TEST(FilterLexer, TokenKindsWithNothingOmitted)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"empty text", "", {"End:@1"}},
        {"identifier, blank, symbol, string",
         "a >= 'x'",
         {"Ident:a@1", "Blank: @2", "Symbol:>=@3#16", "Blank: @5", "String:x@6", "End:@9"}},
        {"keywords keep their spelling and get their code",
         "not Like iS",
         {"Keyword:not@1#7", "Blank: @4", "Keyword:Like@5#19", "Blank: @9", "Keyword:iS@10#12", "End:@12"}},
        {"longest symbol wins", "<><=||", {"Symbol:<>@1#18", "Symbol:<=@3#17", "Symbol:||@5#23", "End:@7"}},
        {"a lone bar is an unknown character", "|a", {"Char:|@1", "Ident:a@2", "End:@3"}},
        {"line comment ends after CR LF", "-- c\r\nx", {"Comment:-- c\r\n@1", "Ident:x@7", "End:@8"}},
        {"line comment ends after a lone LF", "-- c\nx", {"Comment:-- c\n@1", "Ident:x@6", "End:@7"}},
        {"line comment at the end", "x--c", {"Ident:x@1", "Comment:--c@2", "End:@5"}},
        {"block comment", "a/* b */c", {"Ident:a@1", "Comment:/* b */@2", "Ident:c@9", "End:@10"}},
        {"unterminated block comment runs to the end", "a /* b", {"Ident:a@1", "Blank: @2", "Comment:/* b@3", "End:@7"}},
        {"slash alone is a symbol", "a/b", {"Ident:a@1", "Symbol:/@2#6", "Ident:b@3", "End:@4"}},
        {"bracketed and double-quoted names",
         "[Order Date]\"Order Date\"",
         {"Ident:Order Date@1", "Ident:Order Date@13", "End:@25"}},
        {"unterminated bracket runs to the end", "[Order", {"Ident:Order@1", "End:@7"}},
        {"unterminated string runs to the end", "'abc", {"String:abc@1", "End:@5"}},
        {"no escape for a quote in a string", "'it''s'", {"String:it@1", "String:s@5", "End:@8"}},
        {"word stops at a character above 127", "Stra\xC3\x9F" "e",
         {"Ident:Stra@1", "Char:\xC3\x9F@5", "Ident:e@6", "End:@7"}},
        {"positions count characters, not bytes", "'\xC3\xA9' \xC2\xA7",
         {"String:\xC3\xA9@1", "Blank: @4", "Char:\xC2\xA7@5", "End:@6"}},
        {"digits and underscores belong to words", "_a1 1a", {"Ident:_a1@1", "Blank: @4", "Number:1@5", "Ident:a@6", "End:@7"}},
        {"a dot between names", "t.col", {"Ident:t@1", "Symbol:.@2#21", "Ident:col@3", "End:@6"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Tokens(c.Text, 0), c.Expected);
    }
    // A point without digits stays in the number's text, which then fails.
    EXPECT_THROW(Tokens("1.a", 0), EConvertError);
}

TEST(FilterLexer, NumbersAreIntegerCurrencyOrDouble)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        TVarType Type;
        double Value;
    };
    const Case cases[] = {
        {"no fraction", "12", varInteger, 12},
        {"one decimal", "1.5", varCurrency, 1.5},
        {"four decimals", "0.1234", varCurrency, 0.1234},
        {"five decimals", "1.12345", varDouble, 1.12345},
        {"largest integer", "2147483647", varInteger, 2147483647.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TLexer lexer(c.Text, 0);
        TToken t = lexer.MoveNext();
        EXPECT_EQ(t.Type, TokenType::tNumber);
        EXPECT_EQ(t.Value.VarType(), c.Type);
        EXPECT_DOUBLE_EQ(t.Value.AsDouble(), c.Value);
    }
    TLexer exact("0.0001", 0);
    EXPECT_EQ(exact.MoveNext().Value.AsCurrency(), 1);

    EXPECT_EQ(ErrorOf([] { TLexer("12.", 0).MoveNext(); }), "'12.' is not a valid integer value");
    EXPECT_THROW(TLexer("2147483648", 0).MoveNext(), EConvertError);
    EXPECT_THROW(TLexer("922337203685478.0", 0).MoveNext(), EConvertError);
}

TEST(FilterLexer, OptionsShapeTheValues)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        TLexerOptions Options;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"blanks and comments omitted",
         "a /* c */ = -- d\n 1",
         OmitBlank | OmitComment,
         {"Ident:a@1", "Symbol:=@11#13", "Number:1@19", "End:@20"}},
        {"string keeps its quotes", "'x'", QuotedString, {"String:'x'@1", "End:@4"}},
        {"unterminated string keeps its opening quote", "'x", QuotedString, {"String:'x@1", "End:@3"}},
        {"names keep their delimiters", "[a b] \"c\"", QuotedIdent | OmitBlank, {"Ident:[a b]@1", "Ident:\"c\"@7", "End:@10"}},
        {"names in upper case", "abc [d\xC3\xA9]", UpperedIdent | OmitBlank, {"Ident:ABC@1", "Ident:D\xC3\x89@5", "End:@9"}},
        {"words read as keywords are upper-cased too", "and", UpperedIdent, {"Keyword:AND@1#2", "End:@4"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Tokens(c.Text, c.Options), c.Expected);
    }

    TLexer lexer("x", 0);
    EXPECT_FALSE(lexer.GetOmitBlank());
    lexer.SetOmitBlank(true);
    lexer.SetUpperedIdent(true);
    EXPECT_TRUE(lexer.GetOmitBlank());
    EXPECT_TRUE(lexer.GetUpperedIdent());
    EXPECT_EQ(lexer.Options(), OmitBlank | UpperedIdent);
    lexer.SetOmitBlank(false);
    EXPECT_EQ(lexer.Options(), UpperedIdent);
}

TEST(FilterLexer, StringQuotesAreReadWhenTheLexerIsMade)
{
    StringQuotesGuard guard;
    TLexer before("\"x\"", 0);
    StringQuotes = "'\"";
    TLexer after("\"x\"", 0);
    StringQuotes = "'";
    EXPECT_EQ(before.MoveNext().Type, TokenType::tIdentifier);
    EXPECT_EQ(after.MoveNext().Type, TokenType::tString);
}

TEST(FilterLexer, PeekMoveAndReset)
{
    TLexer lexer("a = 1", OmitBlank);
    EXPECT_EQ(lexer.GetCurrent().Type, TokenType::tBegin);
    EXPECT_EQ(lexer.GetCurrent().StartPos, 1);

    EXPECT_EQ(Describe(lexer.PeekNextToken()), "Ident:a@1");
    EXPECT_EQ(Describe(lexer.PeekNextToken()), "Ident:a@1"); // held, not read again
    EXPECT_EQ(lexer.GetCurrent().Type, TokenType::tBegin);

    EXPECT_EQ(Describe(lexer.MoveNext()), "Ident:a@1");
    EXPECT_EQ(Describe(lexer.MoveNext()), "Symbol:=@3#13");
    EXPECT_EQ(Describe(lexer.MoveNext()), "Number:1@5");
    EXPECT_EQ(Describe(lexer.GetPrevious()), "Symbol:=@3#13");
    EXPECT_EQ(Describe(lexer.GetPrevPrev()), "Ident:a@1");
    EXPECT_EQ(Describe(lexer.GetNextToken(lexer.GetPrevPrev())), "Symbol:=@3#13");

    lexer.Reset();
    EXPECT_EQ(lexer.GetCurrent().Type, TokenType::tBegin);
    EXPECT_EQ(lexer.GetPrevious().Type, TokenType::tBegin);
    EXPECT_EQ(Describe(lexer.MoveNext()), "Ident:a@1");

    lexer.SetText("b");
    EXPECT_EQ(Describe(lexer.MoveNext()), "Ident:b@1");
}

TEST(FilterLexer, LineStartFollowsLineBreaks)
{
    TLexer lexer("a\r\n  b\nc", OmitBlank);
    EXPECT_EQ(lexer.MoveNext().LineStart, 1);
    TToken b = lexer.MoveNext();
    EXPECT_EQ(b.StartPos, 6);
    EXPECT_EQ(b.LineStart, 4);
    EXPECT_EQ(lexer.MoveNext().LineStart, 8);
}

TEST(FilterLexer, CustomTables)
{
    TLexemeTable symbols{{"=", 1}, {"==", 2}};
    TLexemeTable keywords{{"ET", 5}};
    TLexer lexer("a==b et +", symbols, keywords, OmitBlank);
    std::vector<std::string> got;
    for (TToken t = lexer.MoveNext(); t.Type != TokenType::tEnd; t = lexer.MoveNext())
        got.push_back(Describe(t));
    EXPECT_EQ(got, (std::vector<std::string>{"Ident:a@1", "Symbol:==@2#2", "Ident:b@4", "Keyword:et@6#5", "Char:+@9"}));
}

TEST(FilterLexer, CommonTables)
{
    EXPECT_EQ(CommonSymbols().Count(), 15u);
    EXPECT_EQ(CommonKeywords().Count(), 8u);
    ASSERT_NE(CommonKeywords().Find("like"), nullptr);
    EXPECT_EQ(*CommonKeywords().Find("like"), Lexeme::Like);
    EXPECT_EQ(CommonKeywords().Find("LIKES"), nullptr);
    // Sorted without regard to case.
    for (size_t i = 1; i < CommonKeywords().Count(); ++i)
        EXPECT_LT(CompareNames(CommonKeywords().Item(i - 1).first, CommonKeywords().Item(i).first), 0);
}

TEST(FilterParser, TreeShapes)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        std::string Expected;
    };
    const Case cases[] = {
        {"AND binds tighter than OR", "a or b and c", "(OR a (AND b c))"},
        {"OR is left-associative", "a OR b OR c", "(OR (OR a b) c)"},
        {"products before sums", "a + b * c - d", "(- (+ a (* b c)) d)"},
        {"subtraction is left-associative", "a - b - c", "(- (- a b) c)"},
        {"division and concatenation", "a / b || 'x'", "(|| (/ a b) 'x')"},
        {"signs", "-a * +b", "(* (neg a) b)"},
        {"NOT takes a condition", "NOT a = 1", "(NOT (= a 1))"},
        {"NOT below AND", "NOT a AND b", "(AND (NOT a) b)"},
        {"IS NULL", "x IS NULL", "(x IS NULL)"},
        {"IS NOT NULL", "x is not null", "(x IS NOT NULL)"},
        {"every comparison",
         "a<1 OR a>1 OR a<=1 OR a>=1 OR a<>1 OR a LIKE 'x'",
         "(OR (OR (OR (OR (OR (< a 1) (> a 1)) (<= a 1)) (>= a 1)) (<> a 1)) (LIKE a 'x'))"},
        {"comparison of sums", "a + 1 = b * 2", "(= (+ a 1) (* b 2))"},
        {"parentheses make no node", "((a))", "a"},
        {"constants", "TRUE AND FALSE OR NULL IS NULL", "(OR (AND TRUE FALSE) (NULL IS NULL))"},
        {"numbers and strings", "1 = 1.5 OR 'x' = 1.123456", "(OR (= 1 1.5) (= 'x' 1.123456))"},
        {"dotted name", "t.col = a.b.c", "(= t.col a.b.c)"},
        {"bracketed names", "[Order Date] = \"Order Date\"", "(= Order Date Order Date)"},
        {"function without arguments", "PI()", "PI()"},
        {"function names in any case", "upper(a) = Lower(b)", "(= upper(a) Lower(b))"},
        {"arguments are full expressions", "IIF(a = 1 OR b, c + 1, 'x')", "IIF((OR (= a 1) b), (+ c 1), 'x')"},
        {"five arguments", "COALESCE(a, b, c, d, e)", "COALESCE(a, b, c, d, e)"},
        {"line comment ends at LF", "a = 1 -- note\nOR b = 2", "(OR (= a 1) (= b 2))"},
        {"line comment ends at CR LF", "a = 1 -- note\r\nOR b = 2", "(OR (= a 1) (= b 2))"},
        {"trailing line comment", "a = 1 -- note", "(= a 1)"},
        {"block comment", "a /* x */ = 1", "(= a 1)"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ParseDump(c.Text), c.Expected);
    }
    EXPECT_EQ(ParseDump("a or b"), "(OR a b)");
    EXPECT_EQ(ParseDump("A OR B"), "(OR A B)");
}

TEST(FilterParser, FunctionArgumentsFillThreeOperandsThenTheArray)
{
    TEvaluator evaluator("CONCAT(a, b, c, d, e)", nullptr, nullptr);
    const TExpression* root = evaluator.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Operation, TOperationCode::opFunc);
    EXPECT_NE(root->Function, nullptr);
    EXPECT_EQ(root->Operand1->Text, "a");
    EXPECT_EQ(root->Operand3->Text, "c");
    ASSERT_EQ(root->FurtherOperands.size(), 2u);
    EXPECT_EQ(root->FurtherOperands[1]->Text, "e");
    EXPECT_EQ(root->OperandCount(), 5u);
    EXPECT_EQ(root->Operand(5), nullptr);
}

TEST(FilterParser, ErrorsNameTheTokenAndItsPosition)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        std::string Message;
    };
    const Case cases[] = {
        {"empty text", "", "Unexpected end of expression at position 1 "},
        {"only a comment", "-- nothing", "Unexpected end of expression at position 11 "},
        {"dangling operator", "a + ", "Unexpected end of expression at position 5 "},
        {"chained comparison", "a = b = c", "Illegal expression at position 7 "},
        {"doubled quote inside a string", "'it''s'", "Illegal expression at position 5 "},
        {"IS followed by a number", "x IS 5", "'NULL' expected but '5' found at position 6 "},
        {"IS NOT at the end", "x IS NOT", "'NULL' expected but '' found at position 9 "},
        {"value with format characters", "x IS '%s%d'", "'NULL' expected but '%s%d' found at position 6 "},
        {"unknown function", "FOO(1)", "Unknown function 'FOO' at position 1 "},
        {"unknown function after text", "a = bar(1)", "Unknown function 'bar' at position 5 "},
        {"unclosed argument list", "UPPER(a", "')' expected but '' found at position 8 "},
        {"missing comma", "UPPER(a b)", "')' expected but 'b' found at position 9 "},
        {"unclosed parenthesis", "(a = 1", "')' expected but '' found at position 7 "},
        {"dot without name", "a.1", "Identifier expected at position 3 "},
        {"dot at the end", "a.", "Identifier expected at position 3 "},
        {"unexpected symbol", "a = )", "Unexpected symbol ')' at position 5 "},
        {"unexpected keyword", "a = AND", "Unexpected keyword 'AND' at position 5 "},
        {"NOT twice", "NOT NOT a", "Unexpected keyword 'NOT' at position 5 "},
        {"unknown character", "Name = \xC2\xA7", "Unknown char '\xC2\xA7' at position 8 "},
        {"position counts characters", "'\xC3\xA9\xC3\xA9' = \xC2\xA7", "Unknown char '\xC2\xA7' at position 8 "},
        {"name starting with an accented letter", "\xC3\x89t\xC3\xA9 = 1", "Unknown char '\xC3\x89' at position 1 "},
        {"name holding an accented letter", "Stra\xC3\x9F" "e = 1", "Illegal expression at position 5 "},
        {"a lone bar", "a | b", "Illegal expression at position 3 "},
        {"empty argument", "UPPER(a,)", "Unexpected symbol ')' at position 9 "},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ParseError(c.Text), c.Message);
    }
    EXPECT_THROW(TEvaluator("12. = a", nullptr, nullptr), EConvertError);
}

TEST(FilterParser, AccentedNamesParseWhenDelimited)
{
    EXPECT_EQ(ParseDump("[Stra\xC3\x9F" "e] = 1"), "(= Stra\xC3\x9F" "e 1)");
    EXPECT_EQ(ParseDump("\"\xC3\x89t\xC3\xA9\" = 1"), "(= \xC3\x89t\xC3\xA9 1)");
}

TEST(FilterParser, NestingDepthIsLimited)
{
    const int limit = TExpressionParser::MaxNestingDepth;
    auto nested = [](int depth, const std::string& open, const std::string& close) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += open;
        text += "1";
        for (int i = 0; i < depth; ++i)
            text += close;
        return text;
    };
    EXPECT_EQ(EvaluateExpression(nested(limit, "(", ")")).AsInteger(), 1);
    EXPECT_EQ(ParseError(nested(limit + 1, "(", ")")),
              "Expression nested too deeply at position " + std::to_string(limit + 1) + " ");
    EXPECT_EQ(EvaluateExpression(nested(limit, "- ", "")).AsInteger(), 1);
    EXPECT_EQ(ParseError(nested(limit + 1, "- ", "")),
              "Expression nested too deeply at position " + std::to_string(2 * limit + 1) + " ");
    EXPECT_EQ(ParseError(nested(limit + 1, "ABS(", ")")),
              "Expression nested too deeply at position " + std::to_string(4 * limit + 4) + " ");
    // Far deeper input only fails, it never runs the stack out.
    EXPECT_NE(ParseError(nested(100000, "(", ")")), "(no error)");
    EXPECT_NE(ParseError(nested(100000, "+", "")), "(no error)");
    EXPECT_NE(ParseError(nested(100000, "NOT (", ")")), "(no error)");
}

TEST(FilterParser, NodesStayInPlaceAsTheStoreGrows)
{
    std::string text = "a0 = 0";
    for (int i = 1; i < 300; ++i)
        text += " OR a" + std::to_string(i) + " = " + std::to_string(i);
    TEvaluator evaluator(text, nullptr, nullptr);
    EXPECT_EQ(evaluator.NodeCount(), 300u * 3 + 299);
    // The first node made is still the leftmost name.
    const TExpression* n = evaluator.Root();
    while (n->Operand1)
        n = n->Operand1;
    EXPECT_EQ(n->Text, "a0");
}
