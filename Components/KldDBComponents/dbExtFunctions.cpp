// The built-in functions of the filter language (part of the evaluator unit).
//
// "Text" arguments are converted to strings, "number" arguments to doubles and
// "integer" arguments to 32-bit integers by the platform's variant rules; a
// missing argument evaluates as Empty. Text lengths and positions count
// characters (code points), not bytes.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "Components/KldDBComponents/dbExtEvaluatorErrors.h"

namespace
{
using namespace EvaluatorErrors;

constexpr double Pi = 3.1415926535897932385;

Variant Arg(TEvaluator& e, const TExpression& node, size_t index)
{
    return e.Evaluate(node.Operand(index));
}

std::string TextArg(TEvaluator& e, const TExpression& node, size_t index)
{
    return Arg(e, node, index).AsString();
}

double NumberArg(TEvaluator& e, const TExpression& node, size_t index)
{
    return Arg(e, node, index).AsDouble();
}

int32_t IntegerArg(TEvaluator& e, const TExpression& node, size_t index)
{
    return Arg(e, node, index).AsInteger();
}

// A floating-point result must be a finite number.
Variant Number(double value)
{
    return Variant(CheckedFloat(value));
}

Variant Integer32(double value)
{
    if (std::isnan(value) || std::isinf(value))
        RaiseInvalidOp();
    if (!(value >= static_cast<double>(INT32_MIN) && value <= static_cast<double>(INT32_MAX)))
        RaiseIntOverflow();
    return Variant(static_cast<int32_t>(value));
}

// Byte offset of the first `part` in `text` at or after `from`, or npos. The
// C library's memmem is linear in both lengths (two-way search), so texts of
// many megabytes made by REPEAT cannot stall a filter the way a plain search
// (or a searcher with quadratic set-up) would.
size_t Find(const std::string& text, const std::string& part, size_t from)
{
    if (from > text.size())
        return std::string::npos;
    const void* hit = memmem(text.data() + from, text.size() - from, part.data(), part.size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string::npos;
}

// Up to `count` characters from the 0-based character `start`, clamped to the text.
std::string CopyChars(const std::string& text, int64_t start, int64_t count)
{
    if (start < 0)
        start = 0;
    if (count <= 0)
        return std::string();
    size_t from = Utf8::OffsetOf(text, static_cast<size_t>(start));
    if (from >= text.size())
        return std::string();
    size_t to = from;
    while (count > 0 && to < text.size())
    {
        to += Utf8::CharLen(text, to);
        --count;
    }
    return text.substr(from, to - from);
}

// ---------------------------------------------------------------------------
// Null handling and choice

// Every one of the first three places is evaluated (a missing one as Empty)
// before the further arguments, and the last value evaluated is the answer
// when none qualifies: so COALESCE(NULL, NULL) is Empty but
// COALESCE(NULL, NULL, NULL) is Null. Callers rely on this.
void FnCoalesce(TEvaluator& e, const TExpression& node, Variant& result)
{
    size_t count = std::max<size_t>(3, node.OperandCount());
    for (size_t i = 0; i < count; ++i)
    {
        result = Arg(e, node, i);
        if (!result.IsNull() && !result.IsEmpty())
            return;
    }
}

void FnIif(TEvaluator& e, const TExpression& node, Variant& result)
{
    Variant condition = Arg(e, node, 0);
    // Named IIF also when called as IF.
    if (condition.VarType() != varBoolean)
        e.Error(Format(EvaluatorMessages::InvalidArgumentType, 1, "IIF"));
    result = Arg(e, node, condition.AsBoolean() ? 1 : 2);
}

// ---------------------------------------------------------------------------
// Text

void FnLower(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Variant(AnsiLowerCase(TextArg(e, node, 0)));
}

void FnUpper(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Variant(AnsiUpperCase(TextArg(e, node, 0)));
}

void FnLength(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Variant(static_cast<int32_t>(Utf8::Length(TextArg(e, node, 0))));
}

void FnSubstring(TEvaluator& e, const TExpression& node, Variant& result)
{
    std::string text = TextArg(e, node, 0);
    int64_t start = IntegerArg(e, node, 1);
    int64_t count = IntegerArg(e, node, 2);
    result = Variant(CopyChars(text, start - 1, count));
}

void FnLeft(TEvaluator& e, const TExpression& node, Variant& result)
{
    std::string text = TextArg(e, node, 0);
    result = Variant(CopyChars(text, 0, IntegerArg(e, node, 1)));
}

void FnRight(TEvaluator& e, const TExpression& node, Variant& result)
{
    std::string text = TextArg(e, node, 0);
    int64_t n = IntegerArg(e, node, 1);
    int64_t length = static_cast<int64_t>(Utf8::Length(text));
    result = Variant(CopyChars(text, length - n, n));
}

void FnTrim(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Variant(Trim(TextArg(e, node, 0)));
}

void FnLTrim(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Variant(TrimLeft(TextArg(e, node, 0)));
}

void FnRTrim(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Variant(TrimRight(TextArg(e, node, 0)));
}

void FnPos(TEvaluator& e, const TExpression& node, Variant& result)
{
    std::string part = TextArg(e, node, 0);
    std::string text = TextArg(e, node, 1);
    size_t at = part.empty() ? std::string::npos : Find(text, part, 0);
    if (at == std::string::npos)
        result = Variant(0);
    else
        result = Variant(static_cast<int32_t>(Utf8::Length(std::string_view(text).substr(0, at)) + 1));
}

// REPLACE(old, new, text): the searched text comes last.
void FnReplace(TEvaluator& e, const TExpression& node, Variant& result)
{
    std::string oldPart = TextArg(e, node, 0);
    std::string newPart = TextArg(e, node, 1);
    std::string text = TextArg(e, node, 2);
    if (oldPart.empty())
    {
        result = Variant(std::move(text));
        return;
    }
    size_t hits = 0;
    for (size_t at = Find(text, oldPart, 0); at != std::string::npos; at = Find(text, oldPart, at + oldPart.size()))
        ++hits;
    if (newPart.size() > oldPart.size())
        CheckTextLength(text.size() + hits * (newPart.size() - oldPart.size()));
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = Find(text, oldPart, 0); at != std::string::npos; at = Find(text, oldPart, from))
    {
        out.append(text, from, at - from);
        out += newPart;
        from = at + oldPart.size();
    }
    out.append(text, from, std::string::npos);
    result = Variant(std::move(out));
}

void FnRepeat(TEvaluator& e, const TExpression& node, Variant& result)
{
    std::string text = TextArg(e, node, 0);
    int32_t n = IntegerArg(e, node, 1);
    if (n <= 0 || text.empty())
    {
        result = Variant(std::string());
        return;
    }
    CheckTextLength(static_cast<uint64_t>(text.size()) * static_cast<uint64_t>(n) > TEvaluator::MaxTextLength
                        ? TEvaluator::MaxTextLength + 1
                        : text.size() * static_cast<size_t>(n));
    std::string out;
    out.reserve(text.size() * static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        out += text;
    result = Variant(std::move(out));
}

// The first argument as text, then each further one added by variant
// addition: so CONCAT('1', 2) is '3', as the variant rules make it.
void FnConcat(TEvaluator& e, const TExpression& node, Variant& result)
{
    std::string sum = TextArg(e, node, 0);
    size_t count = node.OperandCount();
    for (size_t i = 1; i < count; ++i)
    {
        Variant next = Arg(e, node, i);
        if (next.IsStr())
        {
            std::string tail = next.AsString();
            CheckTextLength(sum.size() + tail.size());
            sum += tail;
        }
        else
            sum = (Variant(std::move(sum)) + next).AsString();
    }
    result = Variant(std::move(sum));
}

// ---------------------------------------------------------------------------
// Numbers

void FnAbs(TEvaluator& e, const TExpression& node, Variant& result)
{
    Variant value = Arg(e, node, 0);
    switch (value.VarType())
    {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    {
        int64_t v = value.AsInt64();
        if (v < 0)
            v = -v;
        if (v > INT32_MAX)
            RaiseIntOverflow();
        result = Variant(static_cast<int32_t>(v));
        return;
    }
    case varInt64:
    {
        int64_t v = value.AsInt64();
        if (v == INT64_MIN)
            RaiseIntOverflow();
        result = Variant(static_cast<long long>(v < 0 ? -v : v));
        return;
    }
    default:
        result = Number(std::fabs(value.AsDouble()));
    }
}

void FnAcos(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::acos(NumberArg(e, node, 0)));
}

void FnAsin(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::asin(NumberArg(e, node, 0)));
}

void FnAtan(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::atan(NumberArg(e, node, 0)));
}

void FnCos(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::cos(NumberArg(e, node, 0)));
}

void FnSin(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::sin(NumberArg(e, node, 0)));
}

void FnTan(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::tan(NumberArg(e, node, 0)));
}

void FnCot(TEvaluator& e, const TExpression& node, Variant& result)
{
    double t = std::tan(NumberArg(e, node, 0));
    if (t == 0)
        RaiseZeroDivide();
    result = Number(1.0 / t);
}

void FnAtan2(TEvaluator& e, const TExpression& node, Variant& result)
{
    double y = NumberArg(e, node, 0);
    double x = NumberArg(e, node, 1);
    result = Number(std::atan2(y, x));
}

void FnDegrees(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(NumberArg(e, node, 0) * (180.0 / Pi));
}

void FnRadians(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(NumberArg(e, node, 0) * (Pi / 180.0));
}

void FnExp(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::exp(NumberArg(e, node, 0)));
}

// Logarithms of 0 raise the zero-divide error and of negative numbers the
// invalid-operation error, as the platform's math library does.
double CheckedLogArgument(double x)
{
    if (x == 0)
        RaiseZeroDivide();
    if (x < 0 || std::isnan(x))
        RaiseInvalidOp();
    return x;
}

void FnLog(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::log(CheckedLogArgument(NumberArg(e, node, 0))));
}

void FnLog10(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::log10(CheckedLogArgument(NumberArg(e, node, 0))));
}

void FnSqrt(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Number(std::sqrt(NumberArg(e, node, 0)));
}

void FnCeil(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Integer32(std::ceil(NumberArg(e, node, 0)));
}

void FnFloor(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Integer32(std::floor(NumberArg(e, node, 0)));
}

// Halves go to the even neighbour: ROUND(2.5) is 2, ROUND(3.5) is 4.
void FnRound(TEvaluator& e, const TExpression& node, Variant& result)
{
    double x = NumberArg(e, node, 0);
    double r = std::round(x);
    if (std::fabs(x - std::trunc(x)) == 0.5)
        r = 2.0 * std::round(x / 2.0);
    result = Integer32(r);
}

void FnTrunc(TEvaluator& e, const TExpression& node, Variant& result)
{
    result = Integer32(std::trunc(NumberArg(e, node, 0)));
}

void FnSign(TEvaluator& e, const TExpression& node, Variant& result)
{
    double x = NumberArg(e, node, 0);
    result = Variant(x > 0 ? 1 : x == 0 ? 0 : -1);
}

void FnPi(TEvaluator&, const TExpression&, Variant& result)
{
    result = Variant(Pi);
}

// The remainder takes the sign of the dividend.
void FnMod(TEvaluator& e, const TExpression& node, Variant& result)
{
    int32_t a = IntegerArg(e, node, 0);
    int32_t b = IntegerArg(e, node, 1);
    if (b == 0)
        throw EDivByZero("Division by zero");
    // INT32_MIN mod -1 is 0; computing it directly would trap.
    result = Variant(b == -1 ? 0 : a % b);
}

void FnPower(TEvaluator& e, const TExpression& node, Variant& result)
{
    double base = NumberArg(e, node, 0);
    double exponent = NumberArg(e, node, 1);
    if (base == 0 && exponent < 0)
        RaiseZeroDivide();
    result = Number(std::pow(base, exponent));
}

std::mt19937_64& RandomEngine()
{
    thread_local std::mt19937_64 engine{std::random_device{}()};
    return engine;
}

// RAND(n) answers 0 to n - 1, and 0 when n is 0 or less; RAND() a number in [0, 1).
void FnRand(TEvaluator& e, const TExpression& node, Variant& result)
{
    if (node.Operand1)
    {
        int32_t n = IntegerArg(e, node, 0);
        if (n <= 0)
        {
            result = Variant(0);
            return;
        }
        std::uniform_int_distribution<int32_t> pick(0, n - 1);
        result = Variant(pick(RandomEngine()));
        return;
    }
    std::uniform_real_distribution<double> pick(0.0, 1.0);
    double r = pick(RandomEngine());
    result = Variant(r < 1.0 ? r : 0.0);
}
} // namespace

const TFunctionTable& CommonFunctions()
{
    static const TFunctionTable table{
        {"COALESCE", FnCoalesce}, {"NVL", FnCoalesce},
        {"IIF", FnIif},           {"IF", FnIif},
        {"LOWER", FnLower},       {"LCASE", FnLower},
        {"UPPER", FnUpper},       {"UCASE", FnUpper},
        {"LENGTH", FnLength},     {"LEN", FnLength},
        {"SUBSTRING", FnSubstring}, {"SUBSTR", FnSubstring},
        {"LEFT", FnLeft},         {"RIGHT", FnRight},
        {"TRIM", FnTrim},         {"LTRIM", FnLTrim},       {"RTRIM", FnRTrim},
        {"POS", FnPos},           {"POSITION", FnPos},
        {"REPLACE", FnReplace},   {"REPEAT", FnRepeat},     {"CONCAT", FnConcat},
        {"ABS", FnAbs},
        {"ACOS", FnAcos},         {"ASIN", FnAsin},         {"ATAN", FnAtan},
        {"COS", FnCos},           {"SIN", FnSin},           {"TAN", FnTan},
        {"COT", FnCot},           {"ATAN2", FnAtan2},
        {"DEGREES", FnDegrees},   {"RADIANS", FnRadians},
        {"EXP", FnExp},           {"LOG", FnLog},           {"LOG10", FnLog10},
        {"SQRT", FnSqrt},
        {"CEIL", FnCeil},         {"CEILING", FnCeil},      {"FLOOR", FnFloor},
        {"ROUND", FnRound},       {"TRUNC", FnTrunc},       {"TRUNCATE", FnTrunc},
        {"SIGN", FnSign},         {"PI", FnPi},             {"MOD", FnMod},
        {"POWER", FnPower},       {"RAND", FnRand},
    };
    return table;
}
