#pragma once
// Run-time library stand-ins: the exception family, Format and the number and
// text conversions the system relies on. All text is UTF-8 std::string; all
// number texts are locale-free ('.' as decimal separator).

#include <concepts>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------
// Exceptions

// Base of every error the system raises. The message is English text; the
// class name is available as text for logs and error reports.
//
// Every exception records where it was made, in every build: the return
// addresses of the stack at construction (innermost first, at most
// MaxExceptionFrames) and the moment, so that the error report can show the
// exception's own stack after it has been caught elsewhere. Only addresses
// are kept; naming them (platform/StackTrace's DescribeStack) is left to the
// report. A copy keeps them. When there is no memory for them the list is
// empty; making the exception never fails for their sake.
class Exception : public std::exception
{
  public:
    static constexpr int MaxExceptionFrames = 64;

    Exception() { RecordStack(); }
    explicit Exception(std::string message) : m_message(std::move(message)) { RecordStack(); }

    const std::string& Message() const noexcept { return m_message; }
    void SetMessage(std::string message) { m_message = std::move(message); }
    const char* what() const noexcept override { return m_message.c_str(); }
    virtual std::string ClassName() const { return "Exception"; }

    // The frames where the exception was made (return addresses).
    const std::vector<void*>& StackFrames() const noexcept { return m_stackFrames; }
    // When they were recorded: milliseconds since 1970-01-01 00:00 UTC.
    int64_t StackTime() const noexcept { return m_stackTime; }

  private:
    void RecordStack() noexcept;

    std::string m_message;
    std::vector<void*> m_stackFrames;
    int64_t m_stackTime = 0;
};

// Declares an exception class `Name` derived from `Base` with its own class name.
#define KLD_DECLARE_EXCEPTION(Name, Base)                                                                    \
    class Name : public Base                                                                                 \
    {                                                                                                        \
      public:                                                                                                \
        using Base::Base;                                                                                    \
        std::string ClassName() const override { return #Name; }                                             \
    }

KLD_DECLARE_EXCEPTION(EConvertError, Exception);
KLD_DECLARE_EXCEPTION(EVariantError, Exception);
KLD_DECLARE_EXCEPTION(EDatabaseError, Exception);
KLD_DECLARE_EXCEPTION(EListError, Exception);
KLD_DECLARE_EXCEPTION(EStreamError, Exception);
KLD_DECLARE_EXCEPTION(EReadError, EStreamError);
KLD_DECLARE_EXCEPTION(EWriteError, EStreamError);
KLD_DECLARE_EXCEPTION(EFOpenError, EStreamError);
KLD_DECLARE_EXCEPTION(EFCreateError, EStreamError);
KLD_DECLARE_EXCEPTION(EIniFileException, Exception);
KLD_DECLARE_EXCEPTION(EOSError, Exception);
KLD_DECLARE_EXCEPTION(EInOutError, Exception);
KLD_DECLARE_EXCEPTION(EMathError, Exception);
KLD_DECLARE_EXCEPTION(EZeroDivide, EMathError);
KLD_DECLARE_EXCEPTION(EInvalidOp, EMathError);
KLD_DECLARE_EXCEPTION(EOverflow, EMathError);
KLD_DECLARE_EXCEPTION(EIntOverflow, Exception);
KLD_DECLARE_EXCEPTION(EDivByZero, Exception);
KLD_DECLARE_EXCEPTION(EOutOfMemory, Exception);
// A window, timer or other system object could not be made.
KLD_DECLARE_EXCEPTION(EOutOfResources, EOutOfMemory);

// The silent exception: it ends an operation without an error report.
KLD_DECLARE_EXCEPTION(EAbort, Exception);
[[noreturn]] void Abort();

// A failed precondition that only a programming error can cause. The message
// names the unit ("Assertion failed in KldData: ...").
class EAssertionFailed : public Exception
{
  public:
    EAssertionFailed(const std::string& unit, const std::string& condition);
    std::string ClassName() const override { return "EAssertionFailed"; }
};

// Raises EAssertionFailed naming `unit` when `condition` is false.
#define KLD_ASSERT(unit, condition)                                                                          \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            throw EAssertionFailed(unit, #condition);                                                        \
    } while (0)

// ---------------------------------------------------------------------------
// Format

class Variant;

// One argument of Format: integers, floating point, text, pointers.
// A variant argument also carries its text, so that "%s" takes any variant
// (as the library's Format does) while "%d" and "%f" see its number.
struct FormatArg
{
    enum class Kind
    {
        Int,
        UInt,
        Float,
        String,
        Pointer
    };
    Kind kind;
    int64_t i = 0;
    uint64_t u = 0;
    long double f = 0;
    std::string s;
    const void* p = nullptr;
    bool fromVariant = false;

    FormatArg(int v) : kind(Kind::Int), i(v) {}
    FormatArg(long v) : kind(Kind::Int), i(v) {}
    FormatArg(long long v) : kind(Kind::Int), i(v) {}
    FormatArg(unsigned v) : kind(Kind::UInt), u(v) {}
    FormatArg(unsigned long v) : kind(Kind::UInt), u(v) {}
    FormatArg(unsigned long long v) : kind(Kind::UInt), u(v) {}
    FormatArg(bool v) : kind(Kind::Int), i(v ? 1 : 0) {}
    FormatArg(char v) : kind(Kind::String), s(1, v) {} // a character is text, as in the library
    FormatArg(double v) : kind(Kind::Float), f(v) {}
    FormatArg(long double v) : kind(Kind::Float), f(v) {}
    FormatArg(const char* v) : kind(Kind::String), s(v ? v : "") {}
    FormatArg(std::string v) : kind(Kind::String), s(std::move(v)) {}
    FormatArg(std::string_view v) : kind(Kind::String), s(v) {}
    FormatArg(const void* v) : kind(Kind::Pointer), p(v) {}
    FormatArg(const Variant& v); // text, integer or float by the variant's type
};

// The run-time library's Format: %s %d %u %x %X %e %f %g %n %m %p %%, with
// index ("%1:s"), '-' alignment, width and precision ('*' takes an argument).
// %x writes upper-case hex digits. A mismatched argument or a bad directive
// raises EConvertError ("Format '%s' invalid or incompatible with argument"),
// a missing argument EConvertError ("No argument for format '%s'"). The float
// directives take integer arguments too; %d refuses floats.
std::string FormatList(std::string_view format, const std::vector<FormatArg>& args);

template <class... Args> std::string Format(std::string_view format, const Args&... args)
{
    return FormatList(format, std::vector<FormatArg>{FormatArg(args)...});
}

// ---------------------------------------------------------------------------
// Format settings

// Days since 1899-12-30; the fraction is the time of day. Before that day the
// whole part counts backwards and the fraction still runs forward (-1.25 is
// 1899-12-29 06:00).
using TDateTime = double;

// The conventions of number, currency, date and time texts. The defaults are
// the system's: English names, "MM/DD/YYYY" dates, a point as decimal separator.
struct TFormatSettings
{
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char ListSeparator = ',';
    std::string CurrencyString = "$";
    // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
    uint8_t CurrencyFormat = 0;
    // 0 "($1)" .. 15 "(1 $)", the platform's sixteen negative currency forms.
    uint8_t NegCurrFormat = 0;
    uint8_t CurrencyDecimals = 2;
    std::string ShortDateFormat = "MM/DD/YYYY";
    std::string LongDateFormat = "dddd, mmmm d, yyyy";
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::string ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December"};
    std::string ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::string LongDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                   "Thursday", "Friday", "Saturday"};
    // Two-digit years read as the nearest year within this many years before
    // the current one (0: the current century).
    int TwoDigitYearCenturyWindow = 50;
};

// The process-wide settings every conversion without an explicit settings
// argument uses. Change it on the main thread only, at start.
extern TFormatSettings FormatSettings;

// The defaults above, whatever the process-wide settings became: the texts
// of numbers in files and on the wire.
const TFormatSettings& DefaultFormatSettings();

// Format with explicit settings (decimal and thousand separators, currency).
std::string FormatList(std::string_view format, const std::vector<FormatArg>& args,
                       const TFormatSettings& settings);

// ---------------------------------------------------------------------------
// Numbers and texts

template <std::integral T> std::string IntToStr(T value)
{
    return std::to_string(value);
}

// Upper-case hex digits, at least `digits` of them. A negative 32-bit value
// is written as its two's complement in 8 digits, a 64-bit one in 16.
std::string IntToHex(int32_t value, int digits = 0);
std::string IntToHex(uint32_t value, int digits = 0);
std::string IntToHex(int64_t value, int digits = 0);
std::string IntToHex(uint64_t value, int digits = 0);
// One hex digit: the upper-case digit of the low four bits of `value`, and
// the value of a digit of either case (-1 for any other character).
char HexDigitChar(unsigned value);
int HexDigitValue(char c);

// Integer texts: leading blanks, a sign, decimal digits or hex after "$", "0x"
// or "x". Trailing characters, an empty text or a value out of range raise
// EConvertError ("'%s' is not a valid integer value"). Hex texts may use the
// whole unsigned range and wrap ("$FFFFFFFF" is -1).
int32_t StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
bool TryStrToInt(std::string_view s, int32_t& value);
bool TryStrToInt64(std::string_view s, int64_t& value);
int32_t StrToIntDef(std::string_view s, int32_t def);
int64_t StrToInt64Def(std::string_view s, int64_t def);

// Float texts: blanks around, a sign, digits with the decimal separator and an
// optional exponent; no thousand separators. An overflowing value is no valid
// value; one too small for a double reads as 0. Raises EConvertError
// ("'%s' is not a valid floating point value").
double StrToFloat(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& settings);
bool TryStrToFloat(std::string_view s, double& value);
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings);
double StrToFloatDef(std::string_view s, double def);

// The shortest text of 15 significant digits: "0", "0.1", "1E20", "1.5E-5",
// "-12.5"; "NAN", "INF" and "-INF" for the special values.
std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& settings);

enum TFloatFormat
{
    ffGeneral,
    ffExponent,
    ffFixed,
    ffNumber,
    ffCurrency
};

// The library's float-to-text: general (Precision significant digits,
// at least Digits exponent digits), exponent ("1.2345E+003"), fixed and
// number (Digits decimals, number with thousand separators) and currency.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& settings);

// Picture formats: '0' digit, '#' optional digit, '.' decimal separator, ','
// thousand separators, "E+0"/"E-0" scientific, '...' and "..." literals, and up
// to three ';' sections (positive;negative;zero). "#,##" of 0 is "". Rounds
// half away from zero. An empty format writes FloatToStr's text.
std::string FormatFloat(std::string_view format, double value);
std::string FormatFloat(std::string_view format, double value, const TFormatSettings& settings);

// Boolean texts: any number (non-zero is True) or "True"/"False" in any case.
// Raises EConvertError ("'%s' is not a valid boolean value").
bool StrToBool(std::string_view s);
bool TryStrToBool(std::string_view s, bool& value);
bool StrToBoolDef(std::string_view s, bool def);
// "-1"/"0", or "True"/"False" when useBoolStrs.
std::string BoolToStr(bool value, bool useBoolStrs = false);

// ---------------------------------------------------------------------------
// Texts. Positions are 1-based byte positions in the UTF-8 text.

// Compare with ASCII letters folded; the result is the difference of the
// first differing (folded) bytes, else of the lengths.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// Byte-wise comparison; the result is a difference as CompareText's.
int CompareStr(std::string_view a, std::string_view b);

// ASCII only.
char UpCase(char c);
char LoCase(char c);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// ASCII and Latin-1 letters of UTF-8 text; every other byte stays as it is.
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
// Compare with ASCII and Latin-1 letters folded, by code point: -1, 0 or 1.
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
bool AnsiSameStr(std::string_view a, std::string_view b);

// Remove characters up to and including the blank (control characters too).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// 'it''s' style quoting with the quote doubled inside.
std::string QuotedStr(std::string_view s);
std::string AnsiQuotedStr(std::string_view s, char quote);
// Reads a quoted text at the start of `src` (doubled quotes become one) and
// moves `src` past the closing quote; an unterminated text runs to the end.
// Gives "" and leaves `src` alone when it does not start with `quote`.
std::string AnsiExtractQuotedStr(std::string_view& src, char quote);
// The unquoted text, or `s` unchanged when it is not a quoted text.
std::string AnsiDequotedStr(std::string_view s, char quote);

enum TReplaceFlag : unsigned
{
    rfReplaceAll = 1,
    rfIgnoreCase = 2
};
using TReplaceFlags = unsigned;
// Replaces the first (or every) occurrence of `oldPattern`; with rfIgnoreCase
// ASCII and Latin-1 letters match in either case. An empty pattern replaces nothing.
std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags = 0);

// Position of `sub` in `s` (0 when absent or empty); PosEx starts at `offset`.
int Pos(std::string_view sub, std::string_view s);
int PosEx(std::string_view sub, std::string_view s, int offset = 1);
// `count` bytes from `index`, both clamped to the text.
std::string Copy(std::string_view s, int index, int count);
std::string Copy(std::string_view s, int index);
std::string StringOfChar(char c, int count);

// Breaks `line` into lines of at most `maxCol` characters: after the last
// break character before the margin; quoted text (' or ") is never broken;
// a run without a break character stays long; blanks at the start of a new
// line are dropped; breaks already in the text start a new line.
std::string WrapText(std::string_view line, std::string_view breakStr, std::string_view breakChars,
                     int maxCol);
std::string WrapText(std::string_view line, int maxCol = 45);

// ---------------------------------------------------------------------------
// File names ('/' is the path delimiter)

constexpr char PathDelim = '/';
std::string IncludeTrailingPathDelimiter(std::string_view s);
std::string ExcludeTrailingPathDelimiter(std::string_view s);
// Up to and including the last '/'.
std::string ExtractFilePath(std::string_view fileName);
// Up to the last '/', without it (but "/" for a file in the root).
std::string ExtractFileDir(std::string_view fileName);
std::string ExtractFileName(std::string_view fileName);
// From the last '.' of the name part, the dot included; "" when none.
std::string ExtractFileExt(std::string_view fileName);
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
