#pragma once
// Variant: the dynamically typed value of the run-time library, with its type
// codes, conversion rules, comparison and arithmetic.
//
// Rules that callers rely on:
// - Empty (the default) and Null are distinct. Empty converts silently to 0,
//   "" and False; Null converting to anything but Null raises EVariantError
//   ("Could not convert variant of type (Null) into type (String)").
//   VarToStr is the forgiving form: Null and Empty give "".
// - Text converts to numbers locale-free ('.' as decimal separator); text to
//   an integer accepts float text and rounds half to even. "True" and "False"
//   (any case) convert to Boolean, and to -1 / 0 as numbers. A Boolean
//   converts to the text "True" / "False" and to the numbers -1 / 0.
// - Float to integer rounds half to even; a value outside the target range
//   raises EVariantOverflowError.
// - Comparison (VarCompareValue and the relational operators): numbers compare
//   numerically (text against a number is taken as a number), two texts by
//   their bytes (case-sensitive), dates as numbers (text against a date is
//   read as a date-time), False below True. Null equals Null, Empty equals
//   Empty, and either is "not equal" to anything else, so < and > are false
//   next to Null or Empty. operator== / != follow VarCompareValue (Null == Null
//   is true). Text that is no number against a number raises
//   EVariantTypeCastError; arrays do not compare.
// - Arithmetic: Null on either side gives Null; Empty counts as 0 (as "" next
//   to text). Integer results that leave the 32-bit range promote to Int64;
//   Int64 and Currency overflow raise. "/" is always float division; "div"
//   and "mod" work on integers (floats rounded half to even). Two texts added
//   are joined; text added to a number is taken as a number.
// - Arrays are 0-based unless created with other bounds, of one or two
//   dimensions, and copy by value (a copy never shares elements).

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/SysUtils.h"

// Days since 1899-12-30, fraction = time of day.
using TDateTime = double;

using TVarType = uint16_t;

// Type codes of the run-time library.
constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varString = 0x0100;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;

// Errors of the variant family (all derive from EVariantError).
KLD_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError);
KLD_DECLARE_EXCEPTION(EVariantOverflowError, EVariantError);
KLD_DECLARE_EXCEPTION(EVariantInvalidOpError, EVariantError);
KLD_DECLARE_EXCEPTION(EVariantInvalidArgError, EVariantError);
KLD_DECLARE_EXCEPTION(EVariantBadVarTypeError, EVariantError);
KLD_DECLARE_EXCEPTION(EVariantBadIndexError, EVariantError);
KLD_DECLARE_EXCEPTION(EVariantNotAnArrayError, EVariantError);
KLD_DECLARE_EXCEPTION(EVariantArrayCreateError, EVariantError);

enum TVariantRelationship
{
    vrEqual,
    vrLessThan,
    vrGreaterThan,
    vrNotEqual
};

class Variant;

// Bounds of one array dimension: [Low, High]; High = Low - 1 means no element.
struct TVarArrayBound
{
    int Low = 0;
    int High = -1;
};

namespace VariantsDetail {
// Elements of an array variant, stored with the first index running fastest
// (so growing the last dimension keeps every element in place).
struct ArrayData
{
    TVarType ElemType = varVariant;
    std::vector<TVarArrayBound> Bounds;
    std::vector<Variant> Items;
};

// Deep-copying holder: a copied variant never shares its array.
class ArrayBox
{
  public:
    ArrayBox();
    explicit ArrayBox(std::unique_ptr<ArrayData> data);
    ArrayBox(const ArrayBox& other);
    ArrayBox(ArrayBox&& other) noexcept;
    ArrayBox& operator=(const ArrayBox& other);
    ArrayBox& operator=(ArrayBox&& other) noexcept;
    ~ArrayBox();

    ArrayData& Data() { return *m_data; }
    const ArrayData& Data() const { return *m_data; }

  private:
    std::unique_ptr<ArrayData> m_data;
};
} // namespace VariantsDetail

class Variant
{
  public:
    // Empty.
    Variant() noexcept = default;
    Variant(bool value);
    Variant(int16_t value);         // varSmallint
    Variant(int value);             // varInteger
    Variant(long value);            // varInt64
    Variant(long long value);       // varInt64
    Variant(double value);          // varDouble
    Variant(const char* text);      // varString (nullptr gives "")
    Variant(std::string text);      // varString
    Variant(std::string_view text); // varString
    // A single character would otherwise become an Integer silently; use text.
    Variant(char) = delete;

    static Variant Null();
    static Variant FromCurrency(int64_t scaledBy10000);
    static Variant FromCurrencyDouble(double value); // rounds half to even at 4 places
    static Variant FromDate(TDateTime value);
    static Variant FromWideString(std::string utf8); // varOleStr
    static Variant FromShortInt(int8_t value);
    static Variant FromByte(uint8_t value);
    static Variant FromWord(uint16_t value);
    static Variant FromLongWord(uint32_t value);
    static Variant FromSingle(float value);

    TVarType VarType() const noexcept { return m_type; }

    bool IsEmpty() const noexcept { return m_type == varEmpty; }
    bool IsNull() const noexcept { return m_type == varNull; }
    bool IsClear() const noexcept { return m_type == varEmpty; }
    bool IsArray() const noexcept { return (m_type & varArray) != 0; }
    bool IsStr() const noexcept { return m_type == varString || m_type == varOleStr; }
    // Integer types (also Boolean, as the library counts it).
    bool IsOrdinal() const noexcept;
    bool IsFloat() const noexcept; // Single, Double, Currency
    bool IsNumeric() const noexcept { return IsOrdinal() || IsFloat(); }

    // Conversions by the library's rules (see the top of this file).
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    double AsDouble() const;
    int64_t AsCurrency() const; // value x 10^4
    bool AsBoolean() const;
    std::string AsString() const;
    TDateTime AsDateTime() const;

    // Array access. Indexing a non-array raises EVariantNotAnArrayError, an index
    // outside the bounds EVariantBadIndexError. operator[] addresses the first
    // dimension of a one-dimensional array; elements assigned through the
    // reference keep the type they are given.
    const Variant& operator[](int index) const;
    Variant& operator[](int index);
    const Variant& GetElement(std::initializer_list<int> indices) const;
    // One index per dimension, for callers that build the indices at run time.
    const Variant& GetElement(std::span<const int> indices) const;
    // Converts `value` to the array's element type unless that is varVariant.
    void SetElement(std::initializer_list<int> indices, const Variant& value);

    int ArrayDimCount() const noexcept;
    int ArrayLowBound(int dim) const;  // dim is 1-based
    int ArrayHighBound(int dim) const; // dim is 1-based

  private:
    friend Variant VarArrayCreate(std::initializer_list<int> bounds, TVarType elemType);
    friend Variant VarArrayOf(std::initializer_list<Variant> values);
    friend Variant VarArrayOf(const std::vector<Variant>& values);
    friend void VarArrayRedim(Variant& v, int highBound);

    using Payload = std::variant<std::monostate, int64_t, double, std::string, VariantsDetail::ArrayBox>;

    Variant(TVarType type, Payload payload);

    const VariantsDetail::ArrayData& ArrayRef() const;
    VariantsDetail::ArrayData& ArrayRef();
    size_t ElementOffset(const VariantsDetail::ArrayData& data, const int* indices, size_t count) const;

    TVarType m_type = varEmpty;
    Payload m_payload;
};

// Makes `v` Empty.
void VarClear(Variant& v);

// Type queries.
TVarType VarType(const Variant& v);
bool VarIsNull(const Variant& v);
bool VarIsEmpty(const Variant& v);
bool VarIsClear(const Variant& v);
bool VarIsArray(const Variant& v);
bool VarIsNumeric(const Variant& v);
bool VarIsOrdinal(const Variant& v);
bool VarIsFloat(const Variant& v);
bool VarIsStr(const Variant& v);
// The integer type codes, SmallInt to Int64 (Boolean, though ordinal, is none).
bool VarTypeIsInteger(TVarType type);
// True when the type of `v` is `type` (compared with the array flag).
bool VarIsType(const Variant& v, TVarType type);
bool VarIsType(const Variant& v, std::initializer_list<TVarType> types);

// The library's name of a type code: "Integer", "String", "Array Variant"...
std::string VarTypeAsText(TVarType type);

// Text of a value; Null and Empty give "" (or `def` for VarToStrDef).
std::string VarToStr(const Variant& v);
std::string VarToStrDef(const Variant& v, const std::string& def);
std::string VarToWideStr(const Variant& v);
TDateTime VarToDateTime(const Variant& v);

// The value converted to type code `type` (raises on a failed conversion).
Variant VarAsType(const Variant& v, TVarType type);

// Arrays. VarArrayCreate takes pairs of bounds: {low, high} for one dimension,
// {low1, high1, low2, high2} for two. Elements start Empty for varVariant
// arrays and as zero / "" / False of the element type otherwise.
Variant VarArrayCreate(std::initializer_list<int> bounds, TVarType elemType);
Variant VarArrayOf(std::initializer_list<Variant> values);
Variant VarArrayOf(const std::vector<Variant>& values);
int VarArrayDimCount(const Variant& v);
int VarArrayLowBound(const Variant& v, int dim);
int VarArrayHighBound(const Variant& v, int dim);
// Changes the high bound of the last dimension, keeping the elements that stay.
void VarArrayRedim(Variant& v, int highBound);
// Element access with one index per dimension (as the methods of Variant).
Variant VarArrayGet(const Variant& v, std::initializer_list<int> indices);
void VarArrayPut(Variant& v, const Variant& value, std::initializer_list<int> indices);

// Comparison.
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);
// Equal values, Empty only with Empty and Null only with Null; a pair that
// cannot be compared (text against a number that is no number) is not the same.
bool VarSameValue(const Variant& a, const Variant& b);

bool operator==(const Variant& a, const Variant& b);
bool operator!=(const Variant& a, const Variant& b);
bool operator<(const Variant& a, const Variant& b);
bool operator>(const Variant& a, const Variant& b);
bool operator<=(const Variant& a, const Variant& b);
bool operator>=(const Variant& a, const Variant& b);

// Arithmetic and logic.
Variant operator+(const Variant& a, const Variant& b);
Variant operator-(const Variant& a, const Variant& b);
Variant operator*(const Variant& a, const Variant& b);
Variant operator/(const Variant& a, const Variant& b); // float division
Variant operator-(const Variant& a);
Variant VarIntDiv(const Variant& a, const Variant& b); // the library's "div"
Variant VarMod(const Variant& a, const Variant& b);    // the library's "mod"
Variant VarAnd(const Variant& a, const Variant& b);
Variant VarOr(const Variant& a, const Variant& b);
Variant VarXor(const Variant& a, const Variant& b);
Variant VarNot(const Variant& a);

// For logs and test failures: the type name and the text ("Integer 5", "Null",
// "Array Variant [1, 'a']").
std::ostream& operator<<(std::ostream& out, const Variant& v);
