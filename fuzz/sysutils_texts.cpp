// Number, date and picture texts from arbitrary bytes: the readers must either
// give a value or raise EConvertError, and what they read must write back to
// the same value. Format and picture strings from the input must never crash.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/DateUtils.h"
#include "platform/SysUtils.h"

namespace {

// A width or precision of many digits asks for a text of that size; that is
// the caller's request, not a fault, so such inputs are not worth a run.
bool HasLongNumber(const std::string& s)
{
    int run = 0;
    for (char c : s) {
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run > 3)
            return true;
    }
    return false;
}

void CheckReaders(const std::string& text)
{
    double f = 0;
    if (TryStrToFloat(text, f)) {
        // Fifteen digits of the largest doubles round beyond the double range.
        double back = 0;
        if (!TryStrToFloat(FloatToStr(f), back)) {
            if (std::fabs(f) < 1.7976931348623e308)
                std::abort();
        } else if (f != 0 && std::fabs(back - f) > std::fabs(f) * 1e-14) {
            std::abort();
        }
    }
    int64_t i = 0;
    if (TryStrToInt64(text, i) && StrToInt64(IntToStr(i)) != i)
        std::abort();
    TDateTime dt = 0;
    if (TryStrToDateTime(text, dt)) {
        TDateTime back = 0;
        // The text shows whole seconds.
        if (!TryStrToDateTime(DateTimeToStr(dt), back) || std::fabs(back - dt) > 1.001 / SecsPerDay)
            std::abort();
    }
    bool b = false;
    (void)TryStrToBool(text, b);
}

void CheckWriters(const std::string& text)
{
    if (HasLongNumber(text))
        return;
    try {
        (void)FormatList(text, {42, 3.25, "abc", int64_t(-7)});
    } catch (const EConvertError&) {
    }
    (void)FormatFloat(text, -1234.5678);
    (void)FormatFloat(text, 0.0);
    (void)FormatDateTime(text, -1.25);
    (void)FormatDateTime(text, 45351.5);
    (void)WrapText(text, 7);
    (void)AnsiDequotedStr(text, '\'');
    (void)StringReplace(text, "a", "bb", rfReplaceAll | rfIgnoreCase);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256)
        return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    CheckReaders(text);
    CheckWriters(text);
    return 0;
}
