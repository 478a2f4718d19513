// Filter language: the lexer, the parser, the evaluator and the built-in
// functions, rule by rule.

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

namespace {
// The tree as an S-expression: (op operand...), names plain, texts quoted.
std::string TreeText(const TExpression* n)
{
    if (!n)
        return "<none>";
    auto list = [&](const std::string& head) {
        std::string s = "(" + head;
        for (size_t i = 0; i < n->OperandCount(); ++i)
            s += " " + TreeText(n->Operand(i));
        return s + ")";
    };
    switch (n->Operation) {
    case TOperationCode::opOr:
        return list("OR");
    case TOperationCode::opAnd:
        return list("AND");
    case TOperationCode::opNot:
        return list("NOT");
    case TOperationCode::opAdd:
        return list("+");
    case TOperationCode::opSub:
        return list("-");
    case TOperationCode::opConcat:
        return list("||");
    case TOperationCode::opMul:
        return list("*");
    case TOperationCode::opDiv:
        return list("/");
    case TOperationCode::opMinus:
        return list("neg");
    case TOperationCode::opEqual:
        return list("=");
    case TOperationCode::opNotEqual:
        return list("<>");
    case TOperationCode::opLess:
        return list("<");
    case TOperationCode::opMore:
        return list(">");
    case TOperationCode::opLessEqual:
        return list("<=");
    case TOperationCode::opMoreEqual:
        return list(">=");
    case TOperationCode::opLike:
        return list("LIKE");
    case TOperationCode::opIsNull:
        return list("ISNULL");
    case TOperationCode::opIsNotNull:
        return list("ISNOTNULL");
    case TOperationCode::opFunc:
        return list("call " + VarToStr(n->Token.Value));
    case TOperationCode::opDot:
        return list("dot");
    case TOperationCode::opIdent:
        return VarToStr(n->Token.Value);
    case TOperationCode::opConst:
        return n->Token.Value.IsStr() ? "'" + VarToStr(n->Token.Value) + "'" : VarToStr(n->Token.Value);
    case TOperationCode::opTrue:
        return "TRUE";
    case TOperationCode::opFalse:
        return "FALSE";
    case TOperationCode::opNull:
        return "NULL";
    default:
        return "?";
    }
}

// The grammar of the filter language written out plainly, over the tokens of
// the lexer, answering the tree text or the error message.
class ReferenceParser
{
  public:
    // Tokens are read as the grammar asks for them, so that a literal the
    // lexer refuses fails only when the parse gets that far.
    explicit ReferenceParser(const std::string& text) : m_lexer(text, OmitBlank | OmitComment) {}

    std::string Run()
    {
        try {
            Next();
            std::string tree = Or();
            if (Cur().Type != TokenType::tEnd)
                Fail("Illegal expression", Cur());
            return tree;
        } catch (const std::string& message) {
            return message;
        } catch (const Exception& e) {
            return e.Message();
        }
    }

  private:
    const TToken& Cur() const { return m_current; }
    void Next() { m_current = m_lexer.MoveNext(); }
    bool Sym(int code) const { return Cur().Type == TokenType::tSymbol && Cur().Code == code; }
    bool Kw(int code) const { return Cur().Type == TokenType::tKeyword && Cur().Code == code; }

    [[noreturn]] static void Fail(std::string message, const TToken& t)
    {
        size_t at = message.find("%s");
        if (at != std::string::npos)
            message.replace(at, 2, VarToStr(t.Value));
        throw message + " at position " + std::to_string(t.StartPos) + " ";
    }

    std::string Or()
    {
        std::string left = And();
        while (Kw(Lexeme::Or)) {
            Next();
            left = "(OR " + left + " " + And() + ")";
        }
        return left;
    }

    std::string And()
    {
        std::string left = Not();
        while (Kw(Lexeme::And)) {
            Next();
            left = "(AND " + left + " " + Not() + ")";
        }
        return left;
    }

    std::string Not()
    {
        if (!Kw(Lexeme::Not))
            return Condition();
        Next();
        return "(NOT " + Condition() + ")";
    }

    std::string Condition()
    {
        std::string left = Add();
        if (Kw(Lexeme::Is)) {
            Next();
            bool negated = Kw(Lexeme::Not);
            if (negated)
                Next();
            if (!Kw(Lexeme::NullWord))
                Fail("'NULL' expected but '%s' found", Cur());
            Next();
            return std::string(negated ? "(ISNOTNULL " : "(ISNULL ") + left + ")";
        }
        static const std::pair<int, const char*> comparisons[] = {
            {Lexeme::Equal, "="},         {Lexeme::Greater, ">"},    {Lexeme::Less, "<"},
            {Lexeme::GreaterEqual, ">="}, {Lexeme::LessEqual, "<="}, {Lexeme::NotEqual, "<>"}};
        for (const auto& [code, name] : comparisons) {
            if (Sym(code)) {
                Next();
                return std::string("(") + name + " " + left + " " + Add() + ")";
            }
        }
        if (Kw(Lexeme::Like)) {
            Next();
            return "(LIKE " + left + " " + Add() + ")";
        }
        return left;
    }

    std::string Add()
    {
        std::string left = Mul();
        for (;;) {
            const char* op = Sym(Lexeme::Plus)     ? "+"
                             : Sym(Lexeme::Minus)  ? "-"
                             : Sym(Lexeme::Concat) ? "||"
                                                   : nullptr;
            if (!op)
                return left;
            Next();
            left = std::string("(") + op + " " + left + " " + Mul() + ")";
        }
    }

    std::string Mul()
    {
        std::string left = Argument();
        for (;;) {
            const char* op = Sym(Lexeme::Star) ? "*" : Sym(Lexeme::Slash) ? "/" : nullptr;
            if (!op)
                return left;
            Next();
            left = std::string("(") + op + " " + left + " " + Argument() + ")";
        }
    }

    std::string Argument()
    {
        const TToken t = Cur();
        switch (t.Type) {
        case TokenType::tSymbol:
            if (t.Code == Lexeme::Plus) {
                Next();
                return Argument();
            }
            if (t.Code == Lexeme::Minus) {
                Next();
                return "(neg " + Argument() + ")";
            }
            if (t.Code == Lexeme::OpenParen) {
                Next();
                std::string inner = Or();
                if (!Sym(Lexeme::CloseParen))
                    Fail("')' expected but '%s' found", Cur());
                Next();
                return inner;
            }
            Fail("Unexpected symbol '%s'", t);
        case TokenType::tKeyword:
            if (t.Code == Lexeme::TrueWord || t.Code == Lexeme::FalseWord || t.Code == Lexeme::NullWord) {
                Next();
                return t.Code == Lexeme::TrueWord ? "TRUE" : t.Code == Lexeme::FalseWord ? "FALSE" : "NULL";
            }
            Fail("Unexpected keyword '%s'", t);
        case TokenType::tNumber:
            Next();
            return VarToStr(t.Value);
        case TokenType::tString:
            Next();
            return "'" + VarToStr(t.Value) + "'";
        case TokenType::tIdentifier:
            return Identifier();
        case TokenType::tChar:
            Fail("Unknown char '%s'", t);
        case TokenType::tEnd:
            Fail("Unexpected end of expression", t);
        default:
            Fail("Internal error", t);
        }
    }

    std::string Identifier()
    {
        const TToken name = Cur();
        Next();
        if (Sym(Lexeme::OpenParen)) {
            if (!CommonFunctions().Find(VarToStr(name.Value)))
                Fail("Unknown function '%s'", name);
            Next();
            std::string call = "(call " + VarToStr(name.Value);
            if (!Sym(Lexeme::CloseParen)) {
                call += " " + Or();
                while (Sym(Lexeme::Comma)) {
                    Next();
                    call += " " + Or();
                }
                if (!Sym(Lexeme::CloseParen))
                    Fail("')' expected but '%s' found", Cur());
            }
            Next();
            return call + ")";
        }
        if (!Sym(Lexeme::Dot))
            return VarToStr(name.Value);
        std::string dotted = "(dot " + VarToStr(name.Value);
        while (Sym(Lexeme::Dot)) {
            Next();
            if (Cur().Type != TokenType::tIdentifier)
                Fail("Identifier expected", Cur());
            dotted += " " + VarToStr(Cur().Value);
            Next();
        }
        return dotted + ")";
    }

    TLexer m_lexer;
    TToken m_current;
};

std::string ParseOutcome(const std::string& text)
{
    try {
        TEvaluator evaluator("", nullptr, nullptr);
        TExpressionParser parser(text, evaluator);
        parser.Parse();
        return TreeText(evaluator.Root());
    } catch (const Exception& e) {
        return e.Message();
    }
}
} // namespace

// Random token sequences: the parser answers the same tree or the same error,
// at the same position, as the grammar written out plainly.
TEST(FilterConformParser, AgreesWithTheGrammarOnRandomTokenSequences)
{
    const std::vector<std::string> words = {"a",        "Name",     "[Order Date]",
                                            "\"q\"",    "1",        "2.5",
                                            "1.123456", "'x'",      "(",
                                            ")",        ",",        ".",
                                            "+",        "-",        "*",
                                            "/",        "||",       "=",
                                            "<>",       "<",        ">",
                                            "<=",       ">=",       "AND",
                                            "or",       "NOT",      "IS",
                                            "NULL",     "TRUE",     "false",
                                            "LIKE",     "UPPER",    "coalesce",
                                            "Foo",      "\xC2\xA7", "|",
                                            "(",        ")",        "a",
                                            "IS NOT",   "UPPER(",   "PI()"};
    unsigned seed = 20261210;
    auto next = [&seed](size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<size_t>((seed >> 16) % n);
    };
    int trees = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string text;
        for (size_t i = 1 + next(9); i > 0; --i)
            text += words[next(words.size())] + (next(3) ? " " : "");
        std::string expected = ReferenceParser(text).Run();
        ASSERT_EQ(ParseOutcome(text), expected) << "text: " << text;
        if (expected.find(" at position ") == std::string::npos)
            ++trees;
    }
    // The sequences reach the tree-building paths, not only the errors.
    EXPECT_GT(trees, 1000);
}

namespace {
// The lexer's reading rules written out plainly over a text split into
// characters: "type|value|start|next|code" per token up to the end, or the
// message of a literal the conversion refuses.
class ReferenceLexer
{
  public:
    ReferenceLexer(const std::string& text, TLexerOptions options) : m_options(options)
    {
        for (size_t i = 0; i < text.size(); i += Utf8::CharLen(text, i))
            m_chars.push_back(text.substr(i, Utf8::CharLen(text, i)));
    }

    std::vector<std::string> Tokens()
    {
        std::vector<std::string> out;
        size_t p = 0;
        try {
            for (;;) {
                std::string token = Read(p);
                out.push_back(token);
                if (token.rfind("End|", 0) == 0)
                    break;
            }
        } catch (const Exception& e) {
            out.push_back("error: " + e.Message());
        }
        return out;
    }

  private:
    size_t Size() const { return m_chars.size(); }
    const std::string& At(size_t i) const
    {
        static const std::string none;
        return i < Size() ? m_chars[i] : none;
    }
    std::string Join(size_t from, size_t to) const
    {
        std::string s;
        for (size_t i = from; i < to && i < Size(); ++i)
            s += m_chars[i];
        return s;
    }
    static bool IsDigit(const std::string& c) { return c.size() == 1 && c[0] >= '0' && c[0] <= '9'; }
    static bool IsLetter(const std::string& c)
    {
        return c.size() == 1 && ((c[0] >= 'a' && c[0] <= 'z') || (c[0] >= 'A' && c[0] <= 'Z') || c[0] == '_');
    }
    static std::string Token(const char* type, const std::string& value, size_t from, size_t to, int code = 0)
    {
        return std::string(type) + "|" + value + "|" + std::to_string(from + 1) + "|" +
               std::to_string(to + 1) + "|" + std::to_string(code);
    }

    std::string Read(size_t& p)
    {
        for (;;) {
            if (p >= Size())
                return Token("End", "", p, p);
            size_t start = p;
            while (p < Size() && At(p).size() == 1 && static_cast<unsigned char>(At(p)[0]) <= 32)
                ++p;
            bool skipped = p > start;
            if (skipped && !(m_options & OmitBlank))
                return Token("Blank", Join(start, p), start, p);
            size_t commentStart = p;
            bool comment = false;
            if (At(p) == "-" && At(p + 1) == "-") {
                // To the line end: CR with one LF after it, or a lone LF.
                size_t q = p + 2;
                while (q < Size() && At(q) != "\r" && At(q) != "\n")
                    ++q;
                if (At(q) == "\r")
                    q += At(q + 1) == "\n" ? 2 : 1;
                else if (At(q) == "\n")
                    ++q;
                p = std::min(q, Size());
                comment = true;
            } else if (At(p) == "/" && At(p + 1) == "*") {
                size_t q = p + 2;
                while (q < Size() && !(At(q) == "*" && At(q + 1) == "/"))
                    ++q;
                p = std::min(q + 2, Size());
                comment = true;
            }
            if (comment) {
                if (!(m_options & OmitComment))
                    return Token("Comment", Join(commentStart, p), commentStart, p);
                skipped = true;
            }
            if (skipped)
                continue;
            return ReadOne(p);
        }
    }

    std::string Delimited(size_t& p, const char* type, const std::string& closing, bool keep, bool upper)
    {
        size_t start = p;
        size_t q = p + 1;
        while (q < Size() && At(q) != closing)
            ++q;
        size_t end = q < Size() ? q + 1 : Size();
        std::string value = keep ? Join(start, end) : Join(start + 1, q);
        p = end;
        return Token(type, upper ? AnsiUpperCase(value) : value, start, end);
    }

    std::string ReadOne(size_t& p)
    {
        size_t start = p;
        const std::string& c = At(p);
        if (c == "'")
            return Delimited(p, "String", "'", m_options & QuotedString, false);
        if (c == "\"")
            return Delimited(p, "Ident", "\"", m_options & QuotedIdent, m_options & UpperedIdent);
        if (c == "[")
            return Delimited(p, "Ident", "]", m_options & QuotedIdent, m_options & UpperedIdent);
        if (IsDigit(c)) {
            while (IsDigit(At(p)))
                ++p;
            size_t fraction = 0;
            if (At(p) == ".") {
                ++p;
                while (IsDigit(At(p))) {
                    ++p;
                    ++fraction;
                }
            }
            std::string text = Join(start, p);
            Variant value = fraction == 0   ? Variant(StrToInt(text))
                            : fraction <= 4 ? Variant::FromCurrencyDouble(std::stod(text))
                                            : Variant(std::stod(text));
            return Token("Number", VarToStr(value) + "/" + std::to_string(value.VarType()), start, p);
        }
        if (IsLetter(c)) {
            while (IsLetter(At(p)) || IsDigit(At(p)))
                ++p;
            std::string word = Join(start, p);
            const int* code = CommonKeywords().Find(word);
            std::string value = (m_options & UpperedIdent) ? AnsiUpperCase(word) : word;
            return code ? Token("Keyword", value, start, p, *code) : Token("Ident", value, start, p);
        }
        for (const char* two : {"<>", "<=", ">=", "||"}) {
            if (c + At(p + 1) == two) {
                p += 2;
                return Token("Symbol", two, start, p, *CommonSymbols().Find(two));
            }
        }
        ++p;
        if (const int* code = CommonSymbols().Find(c))
            return Token("Symbol", c, start, p, *code);
        return Token("Char", c, start, p);
    }

    std::vector<std::string> m_chars;
    TLexerOptions m_options;
};

std::vector<std::string> LexerTokens(const std::string& text, TLexerOptions options)
{
    std::vector<std::string> out;
    try {
        TLexer lexer(text, options);
        for (;;) {
            TToken t = lexer.MoveNext();
            const char* type = t.Type == TokenType::tEnd          ? "End"
                               : t.Type == TokenType::tBlank      ? "Blank"
                               : t.Type == TokenType::tComment    ? "Comment"
                               : t.Type == TokenType::tString     ? "String"
                               : t.Type == TokenType::tIdentifier ? "Ident"
                               : t.Type == TokenType::tKeyword    ? "Keyword"
                               : t.Type == TokenType::tSymbol     ? "Symbol"
                               : t.Type == TokenType::tChar       ? "Char"
                               : t.Type == TokenType::tNumber     ? "Number"
                                                                  : "?";
            std::string value = VarToStr(t.Value);
            if (t.Type == TokenType::tNumber)
                value += "/" + std::to_string(t.Value.VarType());
            out.push_back(std::string(type) + "|" + value + "|" + std::to_string(t.StartPos) + "|" +
                          std::to_string(t.NextPos) + "|" + std::to_string(t.Code));
            if (t.Type == TokenType::tEnd)
                break;
        }
    } catch (const Exception& e) {
        out.push_back("error: " + e.Message());
    }
    return out;
}
} // namespace

// Random texts from the characters that start or end tokens: every option
// mix reads the same tokens, values and positions as the rules written out.
TEST(FilterConformLexer, AgreesWithTheReadingRulesOnRandomTexts)
{
    const std::vector<std::string> chars = {"a", "Z", "_",  "1",        "0",        ".",  "'", "\"", "[", "]",
                                            "-", "/", "*",  " ",        "\r",       "\n", "<", ">",  "=", "|",
                                            "(", ",", "\t", "\xC2\xA7", "\xC3\xA9", "+",  "o", "r"};
    const TLexerOptions optionSets[] = {0, OmitBlank | OmitComment, QuotedString | QuotedIdent, UpperedIdent,
                                        OmitBlank | UpperedIdent | QuotedIdent};
    unsigned seed = 777;
    auto next = [&seed](size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<size_t>((seed >> 16) % n);
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (size_t i = next(13); i > 0; --i)
            text += chars[next(chars.size())];
        TLexerOptions options = optionSets[next(std::size(optionSets))];
        ASSERT_EQ(LexerTokens(text, options), ReferenceLexer(text, options).Tokens())
            << "text: [" << text << "] options " << options;
    }
}
