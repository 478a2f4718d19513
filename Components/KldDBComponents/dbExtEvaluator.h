#pragma once
// Filter expression evaluator: runs the tree that TExpressionParser builds
// and resolves names through a context class.
//
// Rules of the language beyond the platform's variant rules:
// - AND and OR short-circuit: the second operand is not evaluated when the
//   first decides.
// - A comparison (=, <>, <, >, <=, >=) with Null on either side is False;
//   arithmetic with Null gives Null; LIKE with Null on either side is False.
// - LIKE matches the whole value, case-sensitively: "*" any run of
//   characters, "_" exactly one; "%" and every other character match
//   themselves. The match is linear per star, whatever the pattern.
// - Division by zero, MOD 0, logarithms of 0 or less, and results too large
//   for their type raise the platform's math errors; no evaluation yields an
//   infinity, a NaN or a wrapped integer.
// - Texts built by the language (REPEAT, REPLACE, CONCAT, "+" and "||") are
//   limited to MaxTextLength bytes; a longer result raises EOutOfMemory.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Components/KldDBComponents/dbExtParser.h"
#include "platform/SysUtils.h"
#include "platform/Variants.h"

class TExpressionContext;

// A context class: the one shared, stateless instance of a TExpressionContext
// descendant. Contexts are used as classes; the data they read from is the
// untyped context object handed to each call.
using TExpressionContextClass = const TExpressionContext*;

class TExpressionContext
{
public:
    virtual ~TExpressionContext() = default;

    // The value of `Name` in `Context`.
    virtual Variant GetItem(void* Context, const std::string& Name) const;
    // The context object (and, through `SubContextClass`, its class) in which
    // a dotted name continues after `Name`.
    virtual void* GetSubContext(void* Context, const std::string& Name, TExpressionContextClass& SubContextClass) const;

    // The base class itself: it resolves no name.
    static TExpressionContextClass Class();
};

// The built-in functions.
const TFunctionTable& CommonFunctions();

class TEvaluator
{
public:
    static constexpr size_t MaxTextLength = 16 * 1024 * 1024;

    // A non-empty Text is parsed at once; parse errors reach the caller.
    // A null ContextClass stands for the base class.
    TEvaluator(const std::string& Text, void* Context, TExpressionContextClass ContextClass);
    // `Functions` is borrowed and must outlive the evaluator.
    TEvaluator(const std::string& Text, void* Context, const TFunctionTable& Functions,
               TExpressionContextClass ContextClass);
    ~TEvaluator();

    TEvaluator(const TEvaluator&) = delete;
    TEvaluator& operator=(const TEvaluator&) = delete;

    // The value of the root; Empty when there is none.
    Variant Evaluate();
    // The value of one node; Empty for a missing node.
    Variant Evaluate(const TExpression* Node);

    [[noreturn]] void Error(const std::string& Message) const;

    // Whole-value wildcard match ("*" and "_"), case-sensitive.
    static bool Like(std::string_view Value, std::string_view Pattern);

    // The value of a dotted name.
    Variant ContextPath(const TExpression* Node);

    const std::string& Text() const noexcept { return m_text; }
    const TExpression* Root() const noexcept { return m_root; }
    void* Context() const noexcept { return m_context; }
    void SetContext(void* Context) noexcept { m_context = Context; }
    TExpressionContextClass ContextClass() const noexcept { return m_contextClass; }
    const TFunctionTable& Functions() const noexcept { return *m_functions; }
    size_t NodeCount() const noexcept { return m_nodeCount; }

    // Node store for the parser: nodes stay in place for the evaluator's life.
    TExpression* NewNode();
    void SetRoot(TExpression* Root) noexcept { m_root = Root; }

private:
    static constexpr size_t NodeBlockSize = 64;

    // The value of a node built straight into the caller's variant.
    Variant Value(const TExpression* node);
    void EvaluateInto(const TExpression* node, Variant& result);
    bool EvaluateComparison(const TExpression* node);
    // Evaluates a node and answers a reference to its value; constants are
    // answered in place without a copy.
    const Variant& EvaluateRef(const TExpression* node, Variant& scratch);
    bool EvaluateBoolean(const TExpression* node);
    bool EvaluateLogicChain(const TExpression* node);
    void EvaluateChain(const TExpression* node, Variant& result);
    void ApplyBinary(const TExpression* node, Variant& acc);
    static bool Compare(TOperationCode op, const Variant& a, const Variant& b);
    bool EvaluateLike(const TExpression* node);

    TExpression* m_root = nullptr;
    std::vector<std::unique_ptr<TExpression[]>> m_nodeBlocks;
    void* m_context;
    std::string m_text;
    size_t m_nodeCount = 0;
    const TFunctionTable* m_functions;
    TExpressionContextClass m_contextClass;
};

// Evaluates `Text` once with the base context (any name raises).
Variant EvaluateExpression(const std::string& Text);
// Evaluates `Text` once with names resolved in `Context` by `ContextClass`.
Variant EvaluateExpression(const std::string& Text, void* Context, TExpressionContextClass ContextClass);

namespace EvaluatorMessages
{
constexpr const char* UnresolvedIdentifier = "Unable to resolve identifier: \"%s\"";
constexpr const char* InvalidArgumentType = "Invalid %d argument type for %s function";
} // namespace EvaluatorMessages
