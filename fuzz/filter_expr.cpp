// Filter expressions from arbitrary text: the lexer with every option mix,
// then parsing and evaluating against a small row (names a, b, s, n, d and
// the record t with x). Any failure must be a clean Exception.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Components/KldDBComponents/dbExtEvaluator.h"

namespace
{
struct FuzzRow
{
    Variant A = Variant(1);
    Variant B = Variant(2.5);
    Variant S = Variant("Smith");
    Variant N = Variant::Null();
    Variant D = Variant::FromCurrency(15000);
    int Sub = 0;
};

class TFuzzContext : public TExpressionContext
{
public:
    Variant GetItem(void* Context, const std::string& Name) const override
    {
        const FuzzRow& row = *static_cast<const FuzzRow*>(Context);
        if (AnsiSameText(Name, "a"))
            return row.A;
        if (AnsiSameText(Name, "b"))
            return row.B;
        if (AnsiSameText(Name, "s"))
            return row.S;
        if (AnsiSameText(Name, "n"))
            return row.N;
        if (AnsiSameText(Name, "d"))
            return row.D;
        if (AnsiSameText(Name, "x"))
            return Variant(row.Sub);
        return TExpressionContext::GetItem(Context, Name);
    }

    void* GetSubContext(void* Context, const std::string& Name, TExpressionContextClass& SubContextClass) const override
    {
        if (AnsiSameText(Name, "t"))
        {
            SubContextClass = Class();
            return Context;
        }
        return TExpressionContext::GetSubContext(Context, Name, SubContextClass);
    }

    static TExpressionContextClass Class()
    {
        static const TFuzzContext instance;
        return &instance;
    }
};

void Lex(const std::string& text, TLexerOptions options)
{
    TLexer lexer(text, options);
    // Every token moves on by at least one character, so this ends.
    for (size_t guard = 0; guard <= text.size() + 1; ++guard)
    {
        TToken token = lexer.MoveNext();
        if (token.StartPos < 1 || token.NextPos < token.StartPos)
            __builtin_trap();
        if (token.Type == TokenType::tEnd)
            return;
        if (token.NextPos == token.StartPos)
            __builtin_trap();
    }
    __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    try
    {
        Lex(text, static_cast<TLexerOptions>(size % 32));
    }
    catch (const Exception&)
    {
    }
    try
    {
        FuzzRow row;
        TEvaluator evaluator(text, &row, TFuzzContext::Class());
        evaluator.Evaluate();
    }
    catch (const Exception&)
    {
    }
    return 0;
}
