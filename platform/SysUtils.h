#pragma once
// Run-time library stand-ins: the exception family, Format and the number and
// text conversions the system relies on. All text is UTF-8 std::string; all
// number texts are locale-free ('.' as decimal separator).

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
class Exception : public std::exception
{
public:
    Exception() = default;
    explicit Exception(std::string message) : m_message(std::move(message)) {}

    const std::string& Message() const noexcept { return m_message; }
    void SetMessage(std::string message) { m_message = std::move(message); }
    const char* what() const noexcept override { return m_message.c_str(); }
    virtual std::string ClassName() const { return "Exception"; }

private:
    std::string m_message;
};

// Declares an exception class `Name` derived from `Base` with its own class name.
#define KLD_DECLARE_EXCEPTION(Name, Base)                                                                    \
    class Name : public Base                                                                                  \
    {                                                                                                         \
    public:                                                                                                   \
        using Base::Base;                                                                                     \
        std::string ClassName() const override { return #Name; }                                              \
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
KLD_DECLARE_EXCEPTION(EMathError, Exception);
KLD_DECLARE_EXCEPTION(EZeroDivide, EMathError);
KLD_DECLARE_EXCEPTION(EInvalidOp, EMathError);
KLD_DECLARE_EXCEPTION(EOverflow, EMathError);
KLD_DECLARE_EXCEPTION(EIntOverflow, Exception);
KLD_DECLARE_EXCEPTION(EDivByZero, Exception);
KLD_DECLARE_EXCEPTION(EOutOfMemory, Exception);

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
    do {                                                                                                      \
        if (!(condition))                                                                                     \
            throw EAssertionFailed(unit, #condition);                                                         \
    } while (0)

// ---------------------------------------------------------------------------
// Format

class Variant;

// One argument of Format: integers, floating point, text, pointers.
struct FormatArg
{
    enum class Kind { Int, UInt, Float, String, Pointer };
    Kind kind;
    int64_t i = 0;
    uint64_t u = 0;
    long double f = 0;
    std::string s;
    const void* p = nullptr;

    FormatArg(int v) : kind(Kind::Int), i(v) {}
    FormatArg(long v) : kind(Kind::Int), i(v) {}
    FormatArg(long long v) : kind(Kind::Int), i(v) {}
    FormatArg(unsigned v) : kind(Kind::UInt), u(v) {}
    FormatArg(unsigned long v) : kind(Kind::UInt), u(v) {}
    FormatArg(unsigned long long v) : kind(Kind::UInt), u(v) {}
    FormatArg(bool v) : kind(Kind::Int), i(v ? 1 : 0) {}
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
// raises EConvertError ("Format '%s' invalid or incompatible with argument").
std::string FormatList(std::string_view format, const std::vector<FormatArg>& args);

template <class... Args>
std::string Format(std::string_view format, const Args&... args)
{
    return FormatList(format, std::vector<FormatArg>{FormatArg(args)...});
}
