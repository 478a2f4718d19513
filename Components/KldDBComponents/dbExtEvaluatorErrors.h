#pragma once
// Errors raised while evaluating filter expressions: the platform's math
// errors with the run-time library's texts, and the limit on built texts.
// Private to the evaluator unit.

#include <cmath>
#include <string>

#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "platform/SysUtils.h"

namespace EvaluatorErrors
{
[[noreturn]] inline void RaiseZeroDivide()
{
    throw EZeroDivide("Floating point division by zero");
}

[[noreturn]] inline void RaiseInvalidOp()
{
    throw EInvalidOp("Invalid floating point operation");
}

[[noreturn]] inline void RaiseOverflow()
{
    throw EOverflow("Floating point overflow");
}

[[noreturn]] inline void RaiseIntOverflow()
{
    throw EIntOverflow("Integer overflow");
}

// A text the language builds may not exceed TEvaluator::MaxTextLength bytes.
inline void CheckTextLength(size_t length)
{
    if (length > TEvaluator::MaxTextLength)
        throw EOutOfMemory(Format("Text result of %s bytes exceeds the limit of %s bytes", std::to_string(length),
                                  std::to_string(TEvaluator::MaxTextLength)));
}

// A floating-point result must be a finite number.
inline double CheckedFloat(double value)
{
    if (std::isnan(value))
        RaiseInvalidOp();
    if (std::isinf(value))
        RaiseOverflow();
    return value;
}
} // namespace EvaluatorErrors
