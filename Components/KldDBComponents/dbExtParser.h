#pragma once
// Filter expression lexer and parser. A filter text such as
//   Status = 'A' AND UPPER(Name) LIKE 'SM*'
// is read by TLexer into tokens and turned by TExpressionParser into a tree of
// TExpression nodes that live in the TEvaluator that runs them.
//
// Text is UTF-8. Token positions count characters (code points), 1-based, so
// that an error message points at the character the user typed; the lexer
// keeps byte offsets beside them to read on without rescanning.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/SysUtils.h"
#include "platform/Variants.h"

class TEvaluator;
struct TExpression;

// ---------------------------------------------------------------------------
// Tokens

enum class TokenType
{
    tChar, // a character that starts no other token
    tSymbol,
    tKeyword,
    tIdentifier,
    tNumber,
    tString,
    tBlank,
    tComment,
    tBegin,
    tEnd
};

struct TToken
{
    TokenType Type = TokenType::tBegin;
    Variant Value;     // the token's text, or the number's value
    int Code = 0;      // symbol or keyword code, 0 for other tokens
    int StartPos = 1;  // 1-based character position of the first character
    int NextPos = 1;   // character position just after the token
    int LineStart = 1; // character position at which the current line starts

    // Byte offsets (0-based) matching NextPos and LineStart.
    size_t NextOffset = 0;
    size_t LineStartOffset = 0;
};

// Lexeme codes shared by symbols and keywords.
namespace Lexeme
{
constexpr int Or = 1;
constexpr int And = 2;
constexpr int Plus = 3;
constexpr int Minus = 4;
constexpr int Star = 5;
constexpr int Slash = 6;
constexpr int Not = 7;
constexpr int TrueWord = 8;
constexpr int FalseWord = 9;
constexpr int NullWord = 10;
constexpr int OpenParen = 11;
constexpr int Is = 12;
constexpr int Equal = 13;
constexpr int Greater = 14;
constexpr int Less = 15;
constexpr int GreaterEqual = 16;
constexpr int LessEqual = 17;
constexpr int NotEqual = 18;
constexpr int Like = 19;
constexpr int CloseParen = 20;
constexpr int Dot = 21;
constexpr int Comma = 22;
constexpr int Concat = 23;
} // namespace Lexeme

// ---------------------------------------------------------------------------
// Name tables

// A sorted table of names, each with a value, looked up without regard to case
// (ASCII and Latin-1 letters fold). The symbol, keyword and function tables of
// the filter language are tables of this kind.
template <class T>
class TNamedTable
{
public:
    using Entry = std::pair<std::string, T>;

    TNamedTable() = default;
    TNamedTable(std::initializer_list<Entry> entries)
    {
        for (const Entry& e : entries)
            Add(e.first, e.second);
    }

    // Adds or replaces the entry of `name`.
    void Add(const std::string& name, T value);

    // The entry of `name`, or nullptr.
    const T* Find(std::string_view name) const;

    size_t Count() const noexcept { return m_entries.size(); }
    const Entry& Item(size_t index) const { return m_entries.at(index); }
    const std::vector<Entry>& Items() const noexcept { return m_entries; }

    // Length in bytes of the longest name that `text` starts with at `offset`
    // (0 when none does); `value` receives that entry's value.
    size_t LongestMatch(std::string_view text, size_t offset, T& value) const;

private:
    size_t LowerBound(std::string_view name) const;

    std::vector<Entry> m_entries;
};

using TLexemeTable = TNamedTable<int>;

// Case-insensitive ordering and equality used by the name tables.
int CompareNames(std::string_view a, std::string_view b);

const TLexemeTable& CommonSymbols();
const TLexemeTable& CommonKeywords();

// Decimal separator of number literals.
constexpr char DecimalPoint = '.';

// String quote characters; each lexer reads this when it is made. Units may
// set it while the program initialises (it exists before their static objects).
extern std::string StringQuotes;

// ---------------------------------------------------------------------------
// Lexer

using TLexerOptions = uint16_t;
constexpr TLexerOptions OmitBlank = 1;     // blank tokens are skipped
constexpr TLexerOptions OmitComment = 2;   // comment tokens are skipped
constexpr TLexerOptions QuotedString = 4;  // string values keep their quotes
constexpr TLexerOptions QuotedIdent = 8;   // delimited identifiers keep their delimiters
constexpr TLexerOptions UpperedIdent = 16; // identifier values in upper case

class TLexer
{
public:
    // With the common symbol and keyword tables.
    TLexer(std::string Text, TLexerOptions Options);
    // The tables are borrowed and must outlive the lexer.
    TLexer(std::string Text, const TLexemeTable& Symbols, const TLexemeTable& Keywords, TLexerOptions Options);

    TLexer(const TLexer&) = delete;
    TLexer& operator=(const TLexer&) = delete;

    const std::string& Text() const noexcept { return m_text; }
    void SetText(std::string Text);
    void Reset();

    // Moves on by one token: the held peeked token when there is one.
    TToken MoveNext();
    // The token after the current one, read once and then held.
    TToken PeekNextToken();

    TToken GetCurrent() const { return m_current; }
    TToken GetPrevious() const { return m_previous; }
    TToken GetPrevPrev() const { return m_prevPrev; }

    // The token that follows `Token` in the text.
    TToken GetNextToken(const TToken& Token) const;

    TLexerOptions Options() const noexcept { return m_options; }
    void SetOptions(TLexerOptions Options) noexcept { m_options = Options; }
    bool GetOmitBlank() const noexcept { return Has(OmitBlank); }
    void SetOmitBlank(bool Value) noexcept { Set(OmitBlank, Value); }
    bool GetOmitComment() const noexcept { return Has(OmitComment); }
    void SetOmitComment(bool Value) noexcept { Set(OmitComment, Value); }
    bool GetQuotedString() const noexcept { return Has(QuotedString); }
    void SetQuotedString(bool Value) noexcept { Set(QuotedString, Value); }
    bool GetQuotedIdent() const noexcept { return Has(QuotedIdent); }
    void SetQuotedIdent(bool Value) noexcept { Set(QuotedIdent, Value); }
    bool GetUpperedIdent() const noexcept { return Has(UpperedIdent); }
    void SetUpperedIdent(bool Value) noexcept { Set(UpperedIdent, Value); }

private:
    bool Has(TLexerOptions option) const noexcept { return (m_options & option) != 0; }
    void Set(TLexerOptions option, bool on) noexcept
    {
        m_options = on ? TLexerOptions(m_options | option) : TLexerOptions(m_options & ~option);
    }

    struct Cursor;
    TToken MakeToken(TokenType type, const Cursor& start, const Cursor& end) const;
    void SkipBlanks(Cursor& c) const;
    bool SkipComment(Cursor& c) const;
    TToken ReadString(const Cursor& start, char quote) const;
    TToken ReadDelimitedIdent(const Cursor& start, char closing) const;
    TToken ReadNumber(const Cursor& start) const;
    TToken ReadWord(const Cursor& start) const;
    TToken ReadSymbolOrChar(const Cursor& start) const;

    std::string m_text;
    const TLexemeTable* m_symbols;
    const TLexemeTable* m_keywords;
    TLexerOptions m_options;
    std::string m_stringQuotes;
    std::string m_identQuotes = "\"";
    char m_identOpen = '[';
    char m_identClose = ']';
    std::string m_lineComment = "--";
    std::string m_blockOpen = "/*";
    std::string m_blockClose = "*/";
    TToken m_current;
    TToken m_previous;
    TToken m_prevPrev;
    TToken m_peeked;
    bool m_hasPeeked = false;
};

// ---------------------------------------------------------------------------
// Expression tree

enum class TOperationCode
{
    opNone,
    opOr,
    opAnd,
    opAdd,
    opMinus, // unary
    opSub,
    opMul,
    opDiv,
    opEqual,
    opLess,
    opMore,
    opLessEqual,
    opMoreEqual,
    opNotEqual,
    opLike,
    opNot,
    opIdent,
    opConst,
    opTrue,
    opFalse,
    opNull,
    opIsNull,
    opIsNotNull,
    opFunc,
    opDot,
    opConcat
};

// A function routine: evaluates the arguments of `Node` it needs (in the order
// it needs them) through `Evaluator` and stores the value in `Result`.
using TFunctionRoutine = void (*)(TEvaluator& Evaluator, const TExpression& Node, Variant& Result);

using TFunctionTable = TNamedTable<TFunctionRoutine>;

struct TExpression
{
    TToken Token;
    // The token's value as text for names and string constants, kept so that
    // evaluating a row converts nothing.
    std::string Text;
    TOperationCode Operation = TOperationCode::opNone;
    TFunctionRoutine Function = nullptr;
    TExpression* Operand1 = nullptr;
    TExpression* Operand2 = nullptr;
    TExpression* Operand3 = nullptr;
    std::vector<TExpression*> FurtherOperands; // the fourth operand onwards

    // Operand `index` (0-based) or nullptr when there is none.
    const TExpression* Operand(size_t index) const noexcept;
    size_t OperandCount() const noexcept;
    void AddOperand(TExpression* operand);
};

// ---------------------------------------------------------------------------
// Parser

class TExpressionParser
{
public:
    // Deeper nesting of parentheses, function calls and signs is refused with
    // a parse error instead of running the stack out.
    static constexpr int MaxNestingDepth = 200;

    // The tree is built inside `Evaluator`, which must outlive the parse.
    TExpressionParser(const std::string& Text, TEvaluator& Evaluator);

    TExpressionParser(const TExpressionParser&) = delete;
    TExpressionParser& operator=(const TExpressionParser&) = delete;

    // Parses the whole text and gives the root to the evaluator.
    void Parse();

    // Raises the parse error `Message` (which may hold one "%s" for the
    // token's value) at the start of `Token`.
    [[noreturn]] void Error(const std::string& Message, const TToken& Token) const;

private:
    TExpression* NewNode(const TToken& token, TOperationCode op);
    TExpression* ParseOr();
    TExpression* ParseAnd();
    TExpression* ParseNot();
    TExpression* ParseCondition();
    TExpression* ParseAdd();
    TExpression* ParseMul();
    TExpression* ParseArgument();
    TExpression* ParseIdentifier();
    TExpression* ParseFunction(const TToken& name);
    void EnterNesting(const TToken& token);

    const TToken& Current() const noexcept { return m_current; }
    void Next() { m_current = m_lexer.MoveNext(); }
    bool IsSymbol(int code) const noexcept;
    bool IsKeyword(int code) const noexcept;

    TEvaluator& m_evaluator;
    TLexer m_lexer;
    TToken m_current;
    int m_depth = 0;
};

// Parse error texts.
namespace ParserMessages
{
constexpr const char* IllegalExpression = "Illegal expression";
constexpr const char* NullExpected = "'NULL' expected but '%s' found";
constexpr const char* CloseParenExpected = "')' expected but '%s' found";
constexpr const char* UnknownFunction = "Unknown function '%s'";
constexpr const char* IdentifierExpected = "Identifier expected";
constexpr const char* UnknownChar = "Unknown char '%s'";
constexpr const char* UnexpectedSymbol = "Unexpected symbol '%s'";
constexpr const char* UnexpectedKeyword = "Unexpected keyword '%s'";
constexpr const char* UnexpectedEnd = "Unexpected end of expression";
constexpr const char* InternalError = "Internal error";
constexpr const char* TooDeep = "Expression nested too deeply";
} // namespace ParserMessages

// ---------------------------------------------------------------------------
// UTF-8 stepping used by the lexer and the text functions. A malformed byte
// counts as one character of its own.

namespace Utf8
{
// Length in bytes of the character that starts at `offset` (1 to 4; 0 at the end).
size_t CharLen(std::string_view text, size_t offset) noexcept;
// Number of characters in `text`.
size_t Length(std::string_view text) noexcept;
// Byte offset of the character with 0-based index `index` (text size when beyond).
size_t OffsetOf(std::string_view text, size_t index) noexcept;
} // namespace Utf8

// ---------------------------------------------------------------------------
// Template definitions

template <class T>
size_t TNamedTable<T>::LowerBound(std::string_view name) const
{
    size_t lo = 0;
    size_t hi = m_entries.size();
    while (lo < hi)
    {
        size_t mid = (lo + hi) / 2;
        if (CompareNames(m_entries[mid].first, name) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

template <class T>
void TNamedTable<T>::Add(const std::string& name, T value)
{
    size_t at = LowerBound(name);
    if (at < m_entries.size() && CompareNames(m_entries[at].first, name) == 0)
        m_entries[at].second = std::move(value);
    else
        m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(at), Entry(name, std::move(value)));
}

template <class T>
const T* TNamedTable<T>::Find(std::string_view name) const
{
    size_t at = LowerBound(name);
    if (at < m_entries.size() && CompareNames(m_entries[at].first, name) == 0)
        return &m_entries[at].second;
    return nullptr;
}

template <class T>
size_t TNamedTable<T>::LongestMatch(std::string_view text, size_t offset, T& value) const
{
    size_t best = 0;
    std::string_view rest = offset < text.size() ? text.substr(offset) : std::string_view();
    for (const Entry& e : m_entries)
    {
        const std::string& name = e.first;
        if (name.size() > best && name.size() <= rest.size() && CompareNames(rest.substr(0, name.size()), name) == 0)
        {
            best = name.size();
            value = e.second;
        }
    }
    return best;
}
