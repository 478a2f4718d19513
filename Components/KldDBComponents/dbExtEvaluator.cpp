#include "Components/KldDBComponents/dbExtEvaluator.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Components/KldDBComponents/dbExtEvaluatorErrors.h"

using enum TOperationCode;

namespace
{
using namespace EvaluatorErrors;

void CheckFiniteVariant(const Variant& value)
{
    TVarType type = value.VarType();
    if (type == varDouble || type == varSingle || type == varDate)
        CheckedFloat(value.AsDouble());
}

const Variant& EmptyVariant()
{
    static const Variant empty;
    return empty;
}
} // namespace

// ---------------------------------------------------------------------------
// Contexts

Variant TExpressionContext::GetItem(void* Context, const std::string& Name) const
{
    throw Exception(Format(EvaluatorMessages::UnresolvedIdentifier, Name));
}

void* TExpressionContext::GetSubContext(void* Context, const std::string& Name,
                                        TExpressionContextClass& SubContextClass) const
{
    throw Exception(Format(EvaluatorMessages::UnresolvedIdentifier, Name));
}

TExpressionContextClass TExpressionContext::Class()
{
    static const TExpressionContext base;
    return &base;
}

// ---------------------------------------------------------------------------
// Evaluator

TEvaluator::TEvaluator(const std::string& Text, void* Context, TExpressionContextClass ContextClass)
    : TEvaluator(Text, Context, CommonFunctions(), ContextClass)
{
}

TEvaluator::TEvaluator(const std::string& Text, void* Context, const TFunctionTable& Functions,
                       TExpressionContextClass ContextClass)
    : m_context(Context), m_text(Text), m_functions(&Functions),
      m_contextClass(ContextClass ? ContextClass : TExpressionContext::Class())
{
    if (!m_text.empty())
    {
        TExpressionParser parser(m_text, *this);
        parser.Parse();
    }
}

TEvaluator::~TEvaluator() = default;

TExpression* TEvaluator::NewNode()
{
    size_t block = m_nodeCount / NodeBlockSize;
    if (block == m_nodeBlocks.size())
        m_nodeBlocks.push_back(std::make_unique<TExpression[]>(NodeBlockSize));
    TExpression* node = &m_nodeBlocks[block][m_nodeCount % NodeBlockSize];
    ++m_nodeCount;
    return node;
}

void TEvaluator::Error(const std::string& Message) const
{
    throw Exception(Message);
}

Variant TEvaluator::Evaluate()
{
    return Evaluate(m_root);
}

Variant TEvaluator::Evaluate(const TExpression* Node)
{
    return Value(Node);
}

Variant TEvaluator::Value(const TExpression* node)
{
    Variant result;
    EvaluateInto(node, result);
    return result;
}

const Variant& TEvaluator::EvaluateRef(const TExpression* node, Variant& scratch)
{
    if (!node)
        return EmptyVariant();
    if (node->Operation == opConst)
        return node->Token.Value;
    EvaluateInto(node, scratch);
    return scratch;
}

void TEvaluator::EvaluateInto(const TExpression* node, Variant& result)
{
    if (!node)
    {
        result = Variant();
        return;
    }
    switch (node->Operation)
    {
    case opAdd:
    case opSub:
    case opMul:
    case opDiv:
    case opConcat:
        EvaluateChain(node, result);
        return;
    case opOr:
    case opAnd:
    case opNot:
    case opEqual:
    case opLess:
    case opMore:
    case opLessEqual:
    case opMoreEqual:
    case opNotEqual:
    case opLike:
    case opIsNull:
    case opIsNotNull:
        result = Variant(EvaluateBoolean(node));
        return;
    case opMinus:
    {
        Variant scratch;
        result = -EvaluateRef(node->Operand1, scratch);
        CheckFiniteVariant(result);
        return;
    }
    case opIdent:
        result = m_contextClass->GetItem(m_context, node->Text);
        return;
    case opConst:
        result = node->Token.Value;
        return;
    case opTrue:
        result = Variant(true);
        return;
    case opFalse:
        result = Variant(false);
        return;
    case opNull:
        result = Variant::Null();
        return;
    case opFunc:
        result = Variant();
        if (node->Function)
            node->Function(*this, *node, result);
        return;
    case opDot:
        result = ContextPath(node);
        return;
    case opNone:
        break;
    }
    result = Variant();
}

// Conditions and their AND, OR and NOT are worked out as plain Booleans; only
// the final answer becomes a variant. Any other node is evaluated and taken
// as a Boolean by the variant rules.
bool TEvaluator::EvaluateBoolean(const TExpression* node)
{
    if (!node)
        return EmptyVariant().AsBoolean();
    switch (node->Operation)
    {
    case opOr:
    case opAnd:
        return EvaluateLogicChain(node);
    case opNot:
        return !EvaluateBoolean(node->Operand1);
    case opEqual:
    case opLess:
    case opMore:
    case opLessEqual:
    case opMoreEqual:
    case opNotEqual:
        return EvaluateComparison(node);
    case opLike:
        return EvaluateLike(node);
    case opIsNull:
    case opIsNotNull:
    {
        bool isNull = Value(node->Operand1).IsNull();
        return node->Operation == opIsNull ? isNull : !isNull;
    }
    case opTrue:
        return true;
    case opFalse:
        return false;
    default:
        return Value(node).AsBoolean();
    }
}

// The parser builds runs of left-associative operators (a OR b OR c, a + b +
// c...) as trees that lean to the left, as deep as the run is long. They are
// walked down their left edge and folded back up in a loop, so a filter of
// thousands of OR terms cannot run the stack out.
namespace
{
bool IsArithmeticChain(TOperationCode op)
{
    return op == opAdd || op == opSub || op == opMul || op == opDiv || op == opConcat;
}

bool IsLogicChain(TOperationCode op)
{
    return op == opOr || op == opAnd;
}

// The left edge of a run: the nodes from `node` down to the first one that
// `inRun` refuses, which is left in `bottom`. Short runs stay on the stack.
class Spine
{
public:
    template <class InRun>
    Spine(const TExpression* node, InRun inRun)
    {
        bottom = node;
        while (bottom && inRun(bottom->Operation))
        {
            if (m_count < InlineDepth)
                m_inline[m_count] = bottom;
            else
            {
                if (m_heap.empty())
                    m_heap.assign(m_inline, m_inline + InlineDepth);
                m_heap.push_back(bottom);
            }
            ++m_count;
            bottom = bottom->Operand1;
        }
    }

    size_t Count() const noexcept { return m_count; }
    const TExpression* operator[](size_t i) const noexcept { return m_heap.empty() ? m_inline[i] : m_heap[i]; }

    const TExpression* bottom;

private:
    static constexpr size_t InlineDepth = 32;
    const TExpression* m_inline[InlineDepth];
    std::vector<const TExpression*> m_heap;
    size_t m_count = 0;
};
} // namespace

bool TEvaluator::EvaluateLogicChain(const TExpression* node)
{
    Spine spine(node, IsLogicChain);
    bool acc = EvaluateBoolean(spine.bottom);
    for (size_t i = spine.Count(); i-- > 0;)
    {
        const TExpression* n = spine[i];
        if (n->Operation == opOr ? !acc : acc)
            acc = EvaluateBoolean(n->Operand2);
    }
    return acc;
}

void TEvaluator::EvaluateChain(const TExpression* node, Variant& result)
{
    Spine spine(node, IsArithmeticChain);
    EvaluateInto(spine.bottom, result);
    for (size_t i = spine.Count(); i-- > 0;)
        ApplyBinary(spine[i], result);
}

void TEvaluator::ApplyBinary(const TExpression* node, Variant& acc)
{
    Variant scratch;
    const Variant& b = EvaluateRef(node->Operand2, scratch);
    switch (node->Operation)
    {
    case opAdd:
    case opConcat:
        if (acc.IsStr() && b.IsStr())
        {
            std::string joined = acc.AsString();
            std::string tail = b.AsString();
            CheckTextLength(joined.size() + tail.size());
            joined += tail;
            bool wide = acc.VarType() == varOleStr || b.VarType() == varOleStr;
            acc = wide ? Variant::FromWideString(std::move(joined)) : Variant(std::move(joined));
            return;
        }
        acc = acc + b;
        break;
    case opSub:
        acc = acc - b;
        break;
    case opMul:
        acc = acc * b;
        break;
    case opDiv:
        if (acc.IsNull() || b.IsNull())
        {
            acc = Variant::Null();
            return;
        }
        if (b.AsDouble() == 0)
        {
            if (acc.AsDouble() == 0)
                RaiseInvalidOp();
            RaiseZeroDivide();
        }
        acc = acc / b;
        break;
    default:
        acc = Variant();
        return;
    }
    CheckFiniteVariant(acc);
}

namespace
{
bool Relate(TOperationCode op, int sign)
{
    switch (op)
    {
    case opEqual:
        return sign == 0;
    case opNotEqual:
        return sign != 0;
    case opLess:
        return sign < 0;
    case opMore:
        return sign > 0;
    case opLessEqual:
        return sign <= 0;
    case opMoreEqual:
        return sign >= 0;
    default:
        return false;
    }
}
} // namespace

// A constant side is compared in place, and a text constant through its
// node's text, so that a row costs no copy of it.
bool TEvaluator::EvaluateComparison(const TExpression* node)
{
    const TExpression* left = node->Operand1;
    const TExpression* right = node->Operand2;
    if (right && right->Operation == opConst)
    {
        const Variant a = Value(left);
        if (a.IsStr() && right->Token.Value.IsStr())
            return Relate(node->Operation, a.AsString().compare(right->Text));
        return Compare(node->Operation, a, right->Token.Value);
    }
    if (left && left->Operation == opConst)
    {
        const Variant b = Value(right);
        return Compare(node->Operation, left->Token.Value, b);
    }
    const Variant a = Value(left);
    const Variant b = Value(right);
    return Compare(node->Operation, a, b);
}

// Null on either side makes every comparison False. Two integers compare as
// the variant rules compare them, without the general conversion path.
bool TEvaluator::Compare(TOperationCode op, const Variant& a, const Variant& b)
{
    if (a.IsNull() || b.IsNull())
        return false;
    if (VarTypeIsInteger(a.VarType()) && VarTypeIsInteger(b.VarType()))
    {
        int64_t x = a.AsInt64();
        int64_t y = b.AsInt64();
        return Relate(op, x < y ? -1 : x > y ? 1 : 0);
    }
    switch (VarCompareValue(a, b))
    {
    case vrEqual:
        return Relate(op, 0);
    case vrLessThan:
        return Relate(op, -1);
    case vrGreaterThan:
        return Relate(op, 1);
    case vrNotEqual:
        return op == opNotEqual;
    }
    return false;
}

bool TEvaluator::EvaluateLike(const TExpression* node)
{
    // The pattern is evaluated before the value; a constant pattern is
    // matched from its node's text, without a copy per row.
    const TExpression* patternNode = node->Operand2;
    if (patternNode && patternNode->Operation == opConst && patternNode->Token.Value.IsStr())
    {
        const Variant value = Value(node->Operand1);
        return !value.IsNull() && Like(value.AsString(), patternNode->Text);
    }
    const Variant pattern = Value(patternNode);
    const Variant value = Value(node->Operand1);
    if (pattern.IsNull() || value.IsNull())
        return false;
    return Like(value.AsString(), pattern.AsString());
}

namespace
{
// A pattern of literal parts and stars only: the first part must start the
// value, the last must end it, and each part between goes at its leftmost
// place after the one before (leftmost leaves the most room for the rest).
// Each part is found by the C library's two-way search, so the whole match is
// linear in the value and the pattern.
bool LikeStarsOnly(std::string_view value, std::string_view pattern)
{
    size_t firstStar = pattern.find('*');
    if (firstStar == std::string_view::npos)
        return value == pattern;
    size_t lastStar = pattern.rfind('*');
    std::string_view head = pattern.substr(0, firstStar);
    std::string_view tail = pattern.substr(lastStar + 1);
    if (value.size() < head.size() + tail.size() || value.substr(0, head.size()) != head ||
        value.substr(value.size() - tail.size()) != tail)
        return false;
    size_t at = head.size();
    size_t end = value.size() - tail.size();
    for (size_t i = firstStar + 1; i < lastStar;)
    {
        size_t next = pattern.find('*', i);
        std::string_view part = pattern.substr(i, next - i);
        if (!part.empty())
        {
            const void* hit = memmem(value.data() + at, end - at, part.data(), part.size());
            if (!hit)
                return false;
            at = static_cast<size_t>(static_cast<const char*>(hit) - value.data()) + part.size();
        }
        i = next + 1;
    }
    return true;
}

// Greedy match that remembers only the last star: when a later part fails,
// the last star takes one more character and the rest is tried again. This
// gives the same answers as trying every split at every star, without the
// exponential cost of doing so.
bool LikeWithUnderscores(std::string_view value, std::string_view pattern)
{
    size_t v = 0;
    size_t p = 0;
    size_t starP = std::string_view::npos;
    size_t starV = 0;
    while (v < value.size())
    {
        if (p < pattern.size() && pattern[p] == '*')
        {
            starP = ++p;
            starV = v;
            continue;
        }
        if (p < pattern.size() && pattern[p] == '_')
        {
            ++p;
            v += Utf8::CharLen(value, v);
            continue;
        }
        if (p < pattern.size() && pattern[p] == value[v])
        {
            ++p;
            ++v;
            continue;
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP;
        starV += Utf8::CharLen(value, starV);
        v = starV;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}
} // namespace

// "_" matches one character (code point), so only patterns that hold one need
// the character-stepping match; literal parts compare as bytes.
bool TEvaluator::Like(std::string_view Value, std::string_view Pattern)
{
    if (Pattern.find('_') == std::string_view::npos)
        return LikeStarsOnly(Value, Pattern);
    return LikeWithUnderscores(Value, Pattern);
}

Variant TEvaluator::ContextPath(const TExpression* Node)
{
    if (!Node)
        return Variant();
    size_t count = Node->OperandCount();
    if (count == 0)
        return Variant();
    void* context = m_context;
    TExpressionContextClass contextClass = m_contextClass;
    for (size_t i = 0; i + 1 < count; ++i)
    {
        const TExpression* name = Node->Operand(i);
        TExpressionContextClass next = contextClass;
        context = contextClass->GetSubContext(context, name->Text, next);
        contextClass = next ? next : TExpressionContext::Class();
    }
    return contextClass->GetItem(context, Node->Operand(count - 1)->Text);
}

// ---------------------------------------------------------------------------
// One-shot evaluation

Variant EvaluateExpression(const std::string& Text)
{
    return EvaluateExpression(Text, nullptr, TExpressionContext::Class());
}

Variant EvaluateExpression(const std::string& Text, void* Context, TExpressionContextClass ContextClass)
{
    TEvaluator evaluator(Text, Context, ContextClass);
    return evaluator.Evaluate();
}
