#include "Components/KldDBComponents/dbExtParser.h"

#include <climits>

#include "Components/KldDBComponents/dbExtEvaluator.h"

using enum TokenType;
using enum TOperationCode;

// Made before the static objects of other units: libraries set it while they
// initialise, in whatever order their objects are linked.
std::string StringQuotes __attribute__((init_priority(101))) = "'";

// ---------------------------------------------------------------------------
// Tables

int CompareNames(std::string_view a, std::string_view b)
{
    return AnsiCompareText(a, b);
}

const TLexemeTable& CommonSymbols()
{
    static const TLexemeTable table{
        {"+", Lexeme::Plus},           {"-", Lexeme::Minus},     {"*", Lexeme::Star},
        {"/", Lexeme::Slash},          {"(", Lexeme::OpenParen}, {"=", Lexeme::Equal},
        {">", Lexeme::Greater},        {"<", Lexeme::Less},      {">=", Lexeme::GreaterEqual},
        {"<=", Lexeme::LessEqual},     {"<>", Lexeme::NotEqual}, {")", Lexeme::CloseParen},
        {".", Lexeme::Dot},            {",", Lexeme::Comma},     {"||", Lexeme::Concat},
    };
    return table;
}

const TLexemeTable& CommonKeywords()
{
    static const TLexemeTable table{
        {"OR", Lexeme::Or},          {"AND", Lexeme::And},   {"NOT", Lexeme::Not},
        {"TRUE", Lexeme::TrueWord},  {"FALSE", Lexeme::FalseWord}, {"NULL", Lexeme::NullWord},
        {"IS", Lexeme::Is},          {"LIKE", Lexeme::Like},
    };
    return table;
}

// ---------------------------------------------------------------------------
// UTF-8 stepping

namespace Utf8
{
size_t CharLen(std::string_view text, size_t offset) noexcept
{
    if (offset >= text.size())
        return 0;
    unsigned char lead = static_cast<unsigned char>(text[offset]);
    size_t want = 1;
    if (lead >= 0xF0 && lead <= 0xF4)
        want = 4;
    else if (lead >= 0xE0)
        want = lead <= 0xEF ? 3 : 1;
    else if (lead >= 0xC2)
        want = 2;
    if (want == 1)
        return 1;
    // A lead byte counts its continuation bytes only when they are all there;
    // otherwise it stands alone, so damaged text never swallows what follows.
    if (offset + want > text.size())
        return 1;
    for (size_t i = 1; i < want; ++i)
    {
        if ((static_cast<unsigned char>(text[offset + i]) & 0xC0) != 0x80)
            return 1;
    }
    return want;
}

size_t Length(std::string_view text) noexcept
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i += CharLen(text, i))
        ++count;
    return count;
}

size_t OffsetOf(std::string_view text, size_t index) noexcept
{
    size_t offset = 0;
    while (index > 0 && offset < text.size())
    {
        offset += CharLen(text, offset);
        --index;
    }
    return offset;
}
} // namespace Utf8

// ---------------------------------------------------------------------------
// Lexer

// A reading position: byte offset and character position, with the start of
// the current line in both measures.
struct TLexer::Cursor
{
    size_t offset = 0;
    int pos = 1;
    size_t lineOffset = 0;
    int linePos = 1;
};

namespace
{
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsWordStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsWordChar(char c)
{
    return IsWordStart(c) || IsDigit(c);
}

bool StartsWith(std::string_view text, size_t offset, std::string_view what)
{
    return !what.empty() && offset <= text.size() && text.substr(offset, what.size()) == what;
}

// Turns a literal with 1 to 4 fractional digits into a currency value, exactly.
Variant CurrencyFromText(const std::string& text)
{
    size_t point = text.find(DecimalPoint);
    std::string digits = text.substr(0, point) + text.substr(point + 1);
    size_t fraction = text.size() - point - 1;
    digits.append(4 - fraction, '0');
    int64_t scaled = 0;
    for (char c : digits)
    {
        if (scaled > (INT64_MAX - (c - '0')) / 10)
            throw EConvertError(Format("'%s' is not a valid floating point value", text));
        scaled = scaled * 10 + (c - '0');
    }
    return Variant::FromCurrency(scaled);
}
} // namespace

TLexer::TLexer(std::string Text, TLexerOptions Options)
    : TLexer(std::move(Text), CommonSymbols(), CommonKeywords(), Options)
{
}

TLexer::TLexer(std::string Text, const TLexemeTable& Symbols, const TLexemeTable& Keywords, TLexerOptions Options)
    : m_symbols(&Symbols), m_keywords(&Keywords), m_options(Options), m_stringQuotes(StringQuotes)
{
    SetText(std::move(Text));
}

void TLexer::SetText(std::string Text)
{
    // Positions are 32-bit; a longer filter text is not a filter.
    if (Text.size() >= static_cast<size_t>(INT_MAX))
        throw Exception("Expression text too long");
    m_text = std::move(Text);
    Reset();
}

void TLexer::Reset()
{
    m_current = TToken();
    m_previous = TToken();
    m_prevPrev = TToken();
    m_peeked = TToken();
    m_hasPeeked = false;
}

TToken TLexer::MoveNext()
{
    m_prevPrev = std::move(m_previous);
    m_previous = m_current;
    if (m_hasPeeked)
    {
        m_current = std::move(m_peeked);
        m_hasPeeked = false;
    }
    else
    {
        m_current = GetNextToken(m_current);
    }
    return m_current;
}

TToken TLexer::PeekNextToken()
{
    if (!m_hasPeeked)
    {
        m_peeked = GetNextToken(m_current);
        m_hasPeeked = true;
    }
    return m_peeked;
}

TToken TLexer::MakeToken(TokenType type, const Cursor& start, const Cursor& end) const
{
    TToken t;
    t.Type = type;
    t.StartPos = start.pos;
    t.NextPos = end.pos;
    t.LineStart = end.linePos;
    t.NextOffset = end.offset;
    t.LineStartOffset = end.lineOffset;
    return t;
}

TToken TLexer::GetNextToken(const TToken& Token) const
{
    Cursor c;
    c.offset = Token.NextOffset;
    c.pos = Token.NextPos;
    c.lineOffset = Token.LineStartOffset;
    c.linePos = Token.LineStart;

    for (;;)
    {
        if (c.offset >= m_text.size())
        {
            TToken end = MakeToken(tEnd, c, c);
            return end;
        }

        Cursor start = c;
        SkipBlanks(c);
        bool skipped = c.offset != start.offset;
        if (skipped && !Has(OmitBlank))
        {
            TToken blank = MakeToken(tBlank, start, c);
            blank.Value = Variant(m_text.substr(start.offset, c.offset - start.offset));
            return blank;
        }

        Cursor commentStart = c;
        if (SkipComment(c))
        {
            if (!Has(OmitComment))
            {
                TToken comment = MakeToken(tComment, commentStart, c);
                comment.Value = Variant(m_text.substr(commentStart.offset, c.offset - commentStart.offset));
                return comment;
            }
            skipped = true;
        }
        if (skipped)
            continue;

        char ch = m_text[c.offset];
        if (m_stringQuotes.find(ch) != std::string::npos)
            return ReadString(c, ch);
        if (m_identQuotes.find(ch) != std::string::npos)
            return ReadDelimitedIdent(c, ch);
        if (ch == m_identOpen)
            return ReadDelimitedIdent(c, m_identClose);
        if (IsDigit(ch))
            return ReadNumber(c);
        if (IsWordStart(ch))
            return ReadWord(c);
        return ReadSymbolOrChar(c);
    }
}

void TLexer::SkipBlanks(Cursor& c) const
{
    while (c.offset < m_text.size() && static_cast<unsigned char>(m_text[c.offset]) <= 32)
    {
        char ch = m_text[c.offset];
        ++c.offset;
        ++c.pos;
        if (ch == '\r' || ch == '\n')
        {
            c.lineOffset = c.offset;
            c.linePos = c.pos;
        }
    }
}

namespace
{
// Advances a cursor over the bytes [from, to) of text, counting characters.
void Advance(std::string_view text, size_t to, size_t& offset, int& pos)
{
    while (offset < to)
    {
        offset += Utf8::CharLen(text, offset);
        ++pos;
    }
}
} // namespace

bool TLexer::SkipComment(Cursor& c) const
{
    if (StartsWith(m_text, c.offset, m_lineComment))
    {
        // A line comment ends with its line: CR (and one LF after it) or a
        // lone LF, so texts with either line ending read the same.
        size_t end = m_text.find_first_of("\r\n", c.offset + m_lineComment.size());
        if (end == std::string::npos)
        {
            end = m_text.size();
            Advance(m_text, end, c.offset, c.pos);
            return true;
        }
        size_t after = end + 1;
        if (m_text[end] == '\r' && after < m_text.size() && m_text[after] == '\n')
            ++after;
        Advance(m_text, after, c.offset, c.pos);
        c.lineOffset = c.offset;
        c.linePos = c.pos;
        return true;
    }
    if (StartsWith(m_text, c.offset, m_blockOpen))
    {
        size_t close = m_text.find(m_blockClose, c.offset + m_blockOpen.size());
        size_t end = close == std::string::npos ? m_text.size() : close + m_blockClose.size();
        // Keep the line start current across the lines the comment spans.
        while (c.offset < end)
        {
            char ch = m_text[c.offset];
            c.offset += Utf8::CharLen(m_text, c.offset);
            ++c.pos;
            if (ch == '\r' || ch == '\n')
            {
                c.lineOffset = c.offset;
                c.linePos = c.pos;
            }
        }
        return true;
    }
    return false;
}

TToken TLexer::ReadString(const Cursor& start, char quote) const
{
    size_t close = m_text.find(quote, start.offset + 1);
    size_t end = close == std::string::npos ? m_text.size() : close + 1;
    Cursor c = start;
    Advance(m_text, end, c.offset, c.pos);
    TToken t = MakeToken(tString, start, c);
    if (Has(QuotedString))
        t.Value = Variant(m_text.substr(start.offset, end - start.offset));
    else
    {
        size_t innerEnd = close == std::string::npos ? m_text.size() : close;
        t.Value = Variant(m_text.substr(start.offset + 1, innerEnd - start.offset - 1));
    }
    return t;
}

TToken TLexer::ReadDelimitedIdent(const Cursor& start, char closing) const
{
    size_t close = m_text.find(closing, start.offset + 1);
    size_t end = close == std::string::npos ? m_text.size() : close + 1;
    Cursor c = start;
    Advance(m_text, end, c.offset, c.pos);
    TToken t = MakeToken(tIdentifier, start, c);
    std::string name;
    if (Has(QuotedIdent))
        name = m_text.substr(start.offset, end - start.offset);
    else
    {
        size_t innerEnd = close == std::string::npos ? m_text.size() : close;
        name = m_text.substr(start.offset + 1, innerEnd - start.offset - 1);
    }
    t.Value = Variant(Has(UpperedIdent) ? AnsiUpperCase(name) : name);
    return t;
}

TToken TLexer::ReadNumber(const Cursor& start) const
{
    size_t end = start.offset;
    while (end < m_text.size() && IsDigit(m_text[end]))
        ++end;
    size_t fraction = 0;
    if (end < m_text.size() && m_text[end] == DecimalPoint)
    {
        ++end;
        while (end < m_text.size() && IsDigit(m_text[end]))
        {
            ++end;
            ++fraction;
        }
    }
    Cursor c = start;
    c.pos += static_cast<int>(end - start.offset);
    c.offset = end;
    TToken t = MakeToken(tNumber, start, c);
    std::string text = m_text.substr(start.offset, end - start.offset);
    // "12." has no fractional digit and so goes to the integer conversion,
    // which refuses it.
    if (fraction == 0)
        t.Value = Variant(StrToInt(text));
    else if (fraction <= 4)
        t.Value = CurrencyFromText(text);
    else
    {
        // A literal is read with its own decimal point, whatever separator
        // the process's number settings hold.
        TFormatSettings literal = FormatSettings;
        literal.DecimalSeparator = DecimalPoint;
        t.Value = Variant(StrToFloat(text, literal));
    }
    return t;
}

TToken TLexer::ReadWord(const Cursor& start) const
{
    size_t end = start.offset;
    while (end < m_text.size() && IsWordChar(m_text[end]))
        ++end;
    Cursor c = start;
    c.pos += static_cast<int>(end - start.offset);
    c.offset = end;
    std::string word = m_text.substr(start.offset, end - start.offset);
    std::string upper = UpperCase(word);
    const int* code = m_keywords->Find(upper);
    TToken t = MakeToken(code ? tKeyword : tIdentifier, start, c);
    t.Code = code ? *code : 0;
    t.Value = Variant(Has(UpperedIdent) ? std::move(upper) : std::move(word));
    return t;
}

TToken TLexer::ReadSymbolOrChar(const Cursor& start) const
{
    int code = 0;
    size_t len = m_symbols->LongestMatch(m_text, start.offset, code);
    TokenType type = tSymbol;
    if (len == 0)
    {
        // One whole character, so that a multi-byte letter is reported intact.
        len = Utf8::CharLen(m_text, start.offset);
        type = tChar;
        code = 0;
    }
    Cursor c = start;
    Advance(m_text, start.offset + len, c.offset, c.pos);
    TToken t = MakeToken(type, start, c);
    t.Code = code;
    t.Value = Variant(m_text.substr(start.offset, len));
    return t;
}

// ---------------------------------------------------------------------------
// Expression nodes

const TExpression* TExpression::Operand(size_t index) const noexcept
{
    switch (index)
    {
    case 0:
        return Operand1;
    case 1:
        return Operand2;
    case 2:
        return Operand3;
    default:
        return index - 3 < FurtherOperands.size() ? FurtherOperands[index - 3] : nullptr;
    }
}

size_t TExpression::OperandCount() const noexcept
{
    if (!FurtherOperands.empty())
        return 3 + FurtherOperands.size();
    if (Operand3)
        return 3;
    if (Operand2)
        return 2;
    return Operand1 ? 1 : 0;
}

void TExpression::AddOperand(TExpression* operand)
{
    if (!Operand1)
        Operand1 = operand;
    else if (!Operand2)
        Operand2 = operand;
    else if (!Operand3)
        Operand3 = operand;
    else
        FurtherOperands.push_back(operand);
}

// ---------------------------------------------------------------------------
// Parser

TExpressionParser::TExpressionParser(const std::string& Text, TEvaluator& Evaluator)
    : m_evaluator(Evaluator), m_lexer(Text, OmitBlank | OmitComment)
{
}

void TExpressionParser::Error(const std::string& Message, const TToken& Token) const
{
    // The token's value is an argument, never part of the format, so a
    // '%' the user typed cannot disturb the message.
    std::string text = Format(Message + Format(" at position %d ", Token.StartPos), VarToStr(Token.Value));
    throw Exception(text);
}

bool TExpressionParser::IsSymbol(int code) const noexcept
{
    return m_current.Type == tSymbol && m_current.Code == code;
}

bool TExpressionParser::IsKeyword(int code) const noexcept
{
    return m_current.Type == tKeyword && m_current.Code == code;
}

TExpression* TExpressionParser::NewNode(const TToken& token, TOperationCode op)
{
    TExpression* node = m_evaluator.NewNode();
    node->Token = token;
    node->Operation = op;
    if (token.Value.IsStr())
        node->Text = token.Value.AsString();
    return node;
}

void TExpressionParser::EnterNesting(const TToken& token)
{
    if (++m_depth > MaxNestingDepth)
        Error(ParserMessages::TooDeep, token);
}

void TExpressionParser::Parse()
{
    // Whatever tree the evaluator held goes first, so that a failed parse
    // leaves none to run.
    m_evaluator.SetRoot(nullptr);
    m_lexer.Reset();
    m_depth = 0;
    Next();
    TExpression* root = ParseOr();
    if (m_current.Type != tEnd)
        Error(ParserMessages::IllegalExpression, m_current);
    m_evaluator.SetRoot(root);
}

TExpression* TExpressionParser::ParseOr()
{
    TExpression* left = ParseAnd();
    while (IsKeyword(Lexeme::Or))
    {
        TExpression* node = NewNode(m_current, opOr);
        Next();
        node->Operand1 = left;
        node->Operand2 = ParseAnd();
        left = node;
    }
    return left;
}

TExpression* TExpressionParser::ParseAnd()
{
    TExpression* left = ParseNot();
    while (IsKeyword(Lexeme::And))
    {
        TExpression* node = NewNode(m_current, opAnd);
        Next();
        node->Operand1 = left;
        node->Operand2 = ParseNot();
        left = node;
    }
    return left;
}

TExpression* TExpressionParser::ParseNot()
{
    if (IsKeyword(Lexeme::Not))
    {
        TExpression* node = NewNode(m_current, opNot);
        Next();
        node->Operand1 = ParseCondition();
        return node;
    }
    return ParseCondition();
}

TExpression* TExpressionParser::ParseCondition()
{
    TExpression* left = ParseAdd();
    if (IsKeyword(Lexeme::Is))
    {
        TToken isToken = m_current;
        Next();
        TOperationCode op = opIsNull;
        if (IsKeyword(Lexeme::Not))
        {
            op = opIsNotNull;
            Next();
        }
        if (!IsKeyword(Lexeme::NullWord))
            Error(ParserMessages::NullExpected, m_current);
        Next();
        TExpression* node = NewNode(isToken, op);
        node->Operand1 = left;
        return node;
    }

    TOperationCode op = opNone;
    if (m_current.Type == tSymbol)
    {
        switch (m_current.Code)
        {
        case Lexeme::Equal:
            op = opEqual;
            break;
        case Lexeme::Greater:
            op = opMore;
            break;
        case Lexeme::Less:
            op = opLess;
            break;
        case Lexeme::GreaterEqual:
            op = opMoreEqual;
            break;
        case Lexeme::LessEqual:
            op = opLessEqual;
            break;
        case Lexeme::NotEqual:
            op = opNotEqual;
            break;
        default:
            break;
        }
    }
    else if (IsKeyword(Lexeme::Like))
        op = opLike;
    if (op == opNone)
        return left;

    TExpression* node = NewNode(m_current, op);
    Next();
    node->Operand1 = left;
    node->Operand2 = ParseAdd();
    return node;
}

TExpression* TExpressionParser::ParseAdd()
{
    TExpression* left = ParseMul();
    for (;;)
    {
        TOperationCode op = opNone;
        if (IsSymbol(Lexeme::Plus))
            op = opAdd;
        else if (IsSymbol(Lexeme::Minus))
            op = opSub;
        else if (IsSymbol(Lexeme::Concat))
            op = opConcat;
        if (op == opNone)
            return left;
        TExpression* node = NewNode(m_current, op);
        Next();
        node->Operand1 = left;
        node->Operand2 = ParseMul();
        left = node;
    }
}

TExpression* TExpressionParser::ParseMul()
{
    TExpression* left = ParseArgument();
    for (;;)
    {
        TOperationCode op = opNone;
        if (IsSymbol(Lexeme::Star))
            op = opMul;
        else if (IsSymbol(Lexeme::Slash))
            op = opDiv;
        if (op == opNone)
            return left;
        TExpression* node = NewNode(m_current, op);
        Next();
        node->Operand1 = left;
        node->Operand2 = ParseArgument();
        left = node;
    }
}

TExpression* TExpressionParser::ParseArgument()
{
    const TToken token = m_current;
    switch (token.Type)
    {
    case tSymbol:
        if (token.Code == Lexeme::Plus || token.Code == Lexeme::Minus)
        {
            EnterNesting(token);
            Next();
            TExpression* operand = ParseArgument();
            --m_depth;
            if (token.Code == Lexeme::Plus)
                return operand;
            TExpression* node = NewNode(token, opMinus);
            node->Operand1 = operand;
            return node;
        }
        if (token.Code == Lexeme::OpenParen)
        {
            EnterNesting(token);
            Next();
            TExpression* inner = ParseOr();
            if (!IsSymbol(Lexeme::CloseParen))
                Error(ParserMessages::CloseParenExpected, m_current);
            Next();
            --m_depth;
            return inner;
        }
        Error(ParserMessages::UnexpectedSymbol, token);
    case tKeyword:
        if (token.Code == Lexeme::TrueWord || token.Code == Lexeme::FalseWord || token.Code == Lexeme::NullWord)
        {
            Next();
            TOperationCode op = token.Code == Lexeme::TrueWord ? opTrue
                                : token.Code == Lexeme::FalseWord ? opFalse
                                                                   : opNull;
            return NewNode(token, op);
        }
        Error(ParserMessages::UnexpectedKeyword, token);
    case tNumber:
    case tString:
        Next();
        return NewNode(token, opConst);
    case tIdentifier:
        return ParseIdentifier();
    case tChar:
        Error(ParserMessages::UnknownChar, token);
    case tEnd:
        Error(ParserMessages::UnexpectedEnd, token);
    default:
        Error(ParserMessages::InternalError, token);
    }
}

TExpression* TExpressionParser::ParseIdentifier()
{
    const TToken name = m_current;
    Next();
    if (IsSymbol(Lexeme::OpenParen))
        return ParseFunction(name);
    if (!IsSymbol(Lexeme::Dot))
        return NewNode(name, opIdent);

    TExpression* dot = NewNode(name, opDot);
    dot->AddOperand(NewNode(name, opIdent));
    while (IsSymbol(Lexeme::Dot))
    {
        Next();
        if (m_current.Type != tIdentifier)
            Error(ParserMessages::IdentifierExpected, m_current);
        dot->AddOperand(NewNode(m_current, opIdent));
        Next();
    }
    return dot;
}

TExpression* TExpressionParser::ParseFunction(const TToken& name)
{
    const TFunctionRoutine* routine = m_evaluator.Functions().Find(VarToStr(name.Value));
    if (!routine)
        Error(ParserMessages::UnknownFunction, name);
    TExpression* node = NewNode(name, opFunc);
    node->Function = *routine;

    EnterNesting(m_current);
    Next(); // the "("
    if (!IsSymbol(Lexeme::CloseParen))
    {
        for (;;)
        {
            node->AddOperand(ParseOr());
            if (!IsSymbol(Lexeme::Comma))
                break;
            Next();
        }
        if (!IsSymbol(Lexeme::CloseParen))
            Error(ParserMessages::CloseParenExpected, m_current);
    }
    Next(); // the ")"
    --m_depth;
    return node;
}
