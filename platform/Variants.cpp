#include "platform/Variants.h"

#include <cmath>
#include <limits>
#include <ostream>

#include "platform/DateUtils.h"

using VariantsDetail::ArrayBox;
using VariantsDetail::ArrayData;

// ---------------------------------------------------------------------------
// Array holder

namespace VariantsDetail {
ArrayBox::ArrayBox() : m_data(std::make_unique<ArrayData>()) {}
ArrayBox::ArrayBox(std::unique_ptr<ArrayData> data) : m_data(std::move(data)) {}
ArrayBox::ArrayBox(const ArrayBox& other) : m_data(std::make_unique<ArrayData>(*other.m_data)) {}
ArrayBox::ArrayBox(ArrayBox&& other) noexcept = default;
ArrayBox& ArrayBox::operator=(const ArrayBox& other)
{
    if (this != &other)
        m_data = std::make_unique<ArrayData>(*other.m_data);
    return *this;
}
ArrayBox& ArrayBox::operator=(ArrayBox&& other) noexcept = default;
ArrayBox::~ArrayBox() = default;
} // namespace VariantsDetail

namespace {
constexpr int64_t kCurrencyScale = 10000;

// Variant texts are locale-free whatever the process-wide settings say.
const TFormatSettings& NumberSettings()
{
    static const TFormatSettings settings;
    return settings;
}

bool TryParseInt64(const std::string& text, int64_t& out)
{
    return TryStrToInt64(text, out);
}

bool TryParseDouble(const std::string& text, double& out)
{
    return TryStrToFloat(text, out, NumberSettings());
}

[[noreturn]] void CastError(TVarType from, TVarType to)
{
    throw EVariantTypeCastError("Could not convert variant of type (" + VarTypeAsText(from) +
                                ") into type (" + VarTypeAsText(to) + ")");
}

[[noreturn]] void ConvertOverflow(TVarType from, TVarType to)
{
    throw EVariantOverflowError("Overflow while converting variant of type (" + VarTypeAsText(from) +
                                ") into type (" + VarTypeAsText(to) + ")");
}

[[noreturn]] void ArithmeticOverflow()
{
    throw EVariantOverflowError("Variant overflow");
}

[[noreturn]] void InvalidOp()
{
    throw EVariantInvalidOpError("Invalid variant operation");
}

[[noreturn]] void BadIndex()
{
    throw EVariantBadIndexError("Variant or safe array index out of bounds");
}

[[noreturn]] void NotAnArray()
{
    throw EVariantNotAnArrayError("Variant is not an array");
}

[[noreturn]] void ArrayCreateError()
{
    throw EVariantArrayCreateError("Error creating variant or safe array");
}

bool IsFloatType(TVarType t)
{
    return t == varSingle || t == varDouble || t == varCurrency;
}

// Round half to even, as the library's float-to-integer conversion does.
// Returns false when the result does not fit an int64.
bool RoundToInt64(double value, int64_t& out)
{
    if (!std::isfinite(value))
        return false;
    double r = std::nearbyint(value);
    if (r - value == 0.5 || value - r == 0.5) {
        // nearbyint follows the current rounding mode; force ties to even.
        double lower = std::floor(value);
        r = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
    }
    // 2^63 is exactly representable; anything at or above it does not fit.
    if (r >= 9223372036854775808.0 || r < -9223372036854775808.0)
        return false;
    out = static_cast<int64_t>(r);
    return true;
}

// Currency (x 10^4) to an integer, rounding half to even.
int64_t CurrencyToInt64(int64_t c)
{
    int64_t q = c / kCurrencyScale;
    int64_t r = c % kCurrencyScale;
    int64_t absR = r < 0 ? -r : r;
    if (absR > kCurrencyScale / 2 || (absR == kCurrencyScale / 2 && (q % 2) != 0))
        q += r < 0 ? -1 : 1;
    return q;
}

bool DoubleToCurrency(double value, int64_t& out)
{
    return RoundToInt64(value * static_cast<double>(kCurrencyScale), out);
}

// Fixed text of a currency value: up to 4 decimals, no trailing zeros.
std::string CurrencyText(int64_t c)
{
    bool negative = c < 0;
    uint64_t magnitude = negative ? uint64_t(0) - static_cast<uint64_t>(c) : static_cast<uint64_t>(c);
    std::string text = std::to_string(magnitude / kCurrencyScale);
    uint64_t frac = magnitude % kCurrencyScale;
    if (frac != 0) {
        char digits[5];
        for (int i = 3; i >= 0; --i) {
            digits[i] = static_cast<char>('0' + frac % 10);
            frac /= 10;
        }
        int len = 4;
        while (digits[len - 1] == '0')
            --len;
        text += '.';
        text.append(digits, static_cast<size_t>(len));
    }
    return negative ? "-" + text : text;
}

// "True"/"False" without regard to case.
bool TryTextToBoolean(const std::string& text, bool& out)
{
    if (SameText(text, "True"))
        out = true;
    else if (SameText(text, "False"))
        out = false;
    else
        return false;
    return true;
}

// Text to an int64: integer text first, then float text rounded half to even,
// then "True"/"False" as -1 / 0.
bool TryTextToInt64(const std::string& text, int64_t& out)
{
    if (TryParseInt64(text, out))
        return true;
    double d;
    if (TryParseDouble(text, d))
        return RoundToInt64(d, out);
    bool b;
    if (TryTextToBoolean(text, b)) {
        out = b ? -1 : 0;
        return true;
    }
    return false;
}

bool TryTextToDouble(const std::string& text, double& out)
{
    if (TryParseDouble(text, out))
        return true;
    bool b;
    if (TryTextToBoolean(text, b)) {
        out = b ? -1.0 : 0.0;
        return true;
    }
    return false;
}

Variant ZeroOf(TVarType type)
{
    switch (type) {
    case varSmallint:
        return Variant(int16_t(0));
    case varInteger:
        return Variant(0);
    case varSingle:
        return Variant::FromSingle(0.0f);
    case varDouble:
        return Variant(0.0);
    case varCurrency:
        return Variant::FromCurrency(0);
    case varDate:
        return Variant::FromDate(0.0);
    case varOleStr:
        return Variant::FromWideString("");
    case varBoolean:
        return Variant(false);
    case varShortInt:
        return Variant::FromShortInt(0);
    case varByte:
        return Variant::FromByte(0);
    case varWord:
        return Variant::FromWord(0);
    case varLongWord:
        return Variant::FromLongWord(0);
    case varInt64:
        return Variant(int64_t(0));
    case varString:
        return Variant(std::string());
    default:
        return Variant();
    }
}

bool IsValidElementType(TVarType type)
{
    switch (type) {
    case varSmallint:
    case varInteger:
    case varSingle:
    case varDouble:
    case varCurrency:
    case varDate:
    case varOleStr:
    case varBoolean:
    case varVariant:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varString:
        return true;
    default:
        return false;
    }
}
} // namespace

// ---------------------------------------------------------------------------
// Construction

Variant::Variant(TVarType type, Payload payload) : m_type(type), m_payload(std::move(payload)) {}

Variant::Variant(bool value) : m_type(varBoolean), m_payload(int64_t(value ? 1 : 0)) {}
Variant::Variant(int16_t value) : m_type(varSmallint), m_payload(int64_t(value)) {}
Variant::Variant(int value) : m_type(varInteger), m_payload(int64_t(value)) {}
Variant::Variant(long value) : m_type(varInt64), m_payload(int64_t(value)) {}
Variant::Variant(long long value) : m_type(varInt64), m_payload(int64_t(value)) {}
Variant::Variant(double value) : m_type(varDouble), m_payload(value) {}
Variant::Variant(const char* text) : m_type(varString), m_payload(std::string(text ? text : "")) {}
Variant::Variant(std::string text) : m_type(varString), m_payload(std::move(text)) {}
Variant::Variant(std::string_view text) : m_type(varString), m_payload(std::string(text)) {}

Variant Variant::Null()
{
    return Variant(varNull, std::monostate{});
}

Variant Variant::FromCurrency(int64_t scaledBy10000)
{
    return Variant(varCurrency, scaledBy10000);
}

Variant Variant::FromCurrencyDouble(double value)
{
    int64_t c;
    if (!DoubleToCurrency(value, c))
        ConvertOverflow(varDouble, varCurrency);
    return FromCurrency(c);
}

Variant Variant::FromDate(TDateTime value)
{
    return Variant(varDate, value);
}

Variant Variant::FromWideString(std::string utf8)
{
    return Variant(varOleStr, std::move(utf8));
}

Variant Variant::FromShortInt(int8_t value)
{
    return Variant(varShortInt, int64_t(value));
}

Variant Variant::FromByte(uint8_t value)
{
    return Variant(varByte, int64_t(value));
}

Variant Variant::FromWord(uint16_t value)
{
    return Variant(varWord, int64_t(value));
}

Variant Variant::FromLongWord(uint32_t value)
{
    return Variant(varLongWord, int64_t(value));
}

Variant Variant::FromSingle(float value)
{
    return Variant(varSingle, double(value));
}

bool Variant::IsOrdinal() const noexcept
{
    return VarTypeIsInteger(m_type) || m_type == varBoolean;
}

bool Variant::IsFloat() const noexcept
{
    return IsFloatType(m_type);
}

// ---------------------------------------------------------------------------
// Conversions

int64_t Variant::AsInt64() const
{
    switch (m_type) {
    case varEmpty:
        return 0;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return std::get<int64_t>(m_payload);
    case varBoolean:
        return std::get<int64_t>(m_payload) != 0 ? -1 : 0;
    case varCurrency:
        return CurrencyToInt64(std::get<int64_t>(m_payload));
    case varSingle:
    case varDouble:
    case varDate: {
        int64_t out;
        if (!RoundToInt64(std::get<double>(m_payload), out))
            ConvertOverflow(m_type, varInt64);
        return out;
    }
    case varString:
    case varOleStr: {
        const std::string& text = std::get<std::string>(m_payload);
        int64_t out;
        if (TryTextToInt64(text, out))
            return out;
        double d;
        if (TryParseDouble(text, d))
            ConvertOverflow(m_type, varInt64);
        CastError(m_type, varInt64);
    }
    default:
        CastError(m_type, varInt64);
    }
}

int32_t Variant::AsInteger() const
{
    int64_t value;
    try {
        value = AsInt64();
    } catch (const EVariantTypeCastError&) {
        CastError(m_type, varInteger);
    } catch (const EVariantOverflowError&) {
        ConvertOverflow(m_type, varInteger);
    }
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        ConvertOverflow(m_type, varInteger);
    return static_cast<int32_t>(value);
}

double Variant::AsDouble() const
{
    switch (m_type) {
    case varEmpty:
        return 0.0;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return static_cast<double>(std::get<int64_t>(m_payload));
    case varBoolean:
        return std::get<int64_t>(m_payload) != 0 ? -1.0 : 0.0;
    case varCurrency:
        return static_cast<double>(std::get<int64_t>(m_payload)) / static_cast<double>(kCurrencyScale);
    case varSingle:
    case varDouble:
    case varDate:
        return std::get<double>(m_payload);
    case varString:
    case varOleStr: {
        double out;
        if (!TryTextToDouble(std::get<std::string>(m_payload), out))
            CastError(m_type, varDouble);
        return out;
    }
    default:
        CastError(m_type, varDouble);
    }
}

int64_t Variant::AsCurrency() const
{
    switch (m_type) {
    case varEmpty:
        return 0;
    case varCurrency:
        return std::get<int64_t>(m_payload);
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean: {
        int64_t v = AsInt64();
        int64_t out;
        if (__builtin_mul_overflow(v, kCurrencyScale, &out))
            ConvertOverflow(m_type, varCurrency);
        return out;
    }
    default: {
        double d;
        try {
            d = AsDouble();
        } catch (const EVariantTypeCastError&) {
            CastError(m_type, varCurrency);
        }
        int64_t out;
        if (!DoubleToCurrency(d, out))
            ConvertOverflow(m_type, varCurrency);
        return out;
    }
    }
}

bool Variant::AsBoolean() const
{
    switch (m_type) {
    case varEmpty:
        return false;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean:
    case varCurrency:
        return std::get<int64_t>(m_payload) != 0;
    case varSingle:
    case varDouble:
    case varDate:
        return std::get<double>(m_payload) != 0.0;
    case varString:
    case varOleStr: {
        const std::string& text = std::get<std::string>(m_payload);
        bool b;
        if (TryTextToBoolean(text, b))
            return b;
        double d;
        if (TryParseDouble(text, d))
            return d != 0.0;
        CastError(m_type, varBoolean);
    }
    default:
        CastError(m_type, varBoolean);
    }
}

std::string Variant::AsString() const
{
    switch (m_type) {
    case varEmpty:
        return std::string();
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return std::to_string(std::get<int64_t>(m_payload));
    case varBoolean:
        return std::get<int64_t>(m_payload) != 0 ? "True" : "False";
    case varCurrency:
        return CurrencyText(std::get<int64_t>(m_payload));
    case varSingle:
        return FloatToStrF(std::get<double>(m_payload), ffGeneral, 7, 0, NumberSettings());
    case varDouble:
        return FloatToStr(std::get<double>(m_payload), NumberSettings());
    case varDate:
        return DateTimeToStr(std::get<double>(m_payload));
    case varString:
    case varOleStr:
        return std::get<std::string>(m_payload);
    default:
        CastError(m_type, varString);
    }
}

TDateTime Variant::AsDateTime() const
{
    switch (m_type) {
    case varDate:
        return std::get<double>(m_payload);
    case varString:
    case varOleStr: {
        const std::string& text = std::get<std::string>(m_payload);
        TDateTime out;
        if (TryStrToDateTime(text, out))
            return out;
        if (TryParseDouble(text, out))
            return out;
        CastError(m_type, varDate);
    }
    default:
        try {
            return AsDouble();
        } catch (const EVariantTypeCastError&) {
            CastError(m_type, varDate);
        }
    }
}

// ---------------------------------------------------------------------------
// Arrays

const ArrayData& Variant::ArrayRef() const
{
    if (!IsArray())
        NotAnArray();
    return std::get<ArrayBox>(m_payload).Data();
}

ArrayData& Variant::ArrayRef()
{
    if (!IsArray())
        NotAnArray();
    return std::get<ArrayBox>(m_payload).Data();
}

size_t Variant::ElementOffset(const ArrayData& data, const int* indices, size_t count) const
{
    if (count != data.Bounds.size())
        BadIndex();
    size_t offset = 0;
    size_t stride = 1;
    for (size_t d = 0; d < count; ++d) {
        const TVarArrayBound& b = data.Bounds[d];
        if (indices[d] < b.Low || indices[d] > b.High)
            BadIndex();
        offset += static_cast<size_t>(indices[d] - b.Low) * stride;
        stride *= static_cast<size_t>(b.High - b.Low + 1);
    }
    return offset;
}

const Variant& Variant::operator[](int index) const
{
    const ArrayData& data = ArrayRef();
    return data.Items[ElementOffset(data, &index, 1)];
}

Variant& Variant::operator[](int index)
{
    ArrayData& data = ArrayRef();
    return data.Items[ElementOffset(data, &index, 1)];
}

const Variant& Variant::GetElement(std::initializer_list<int> indices) const
{
    const ArrayData& data = ArrayRef();
    return data.Items[ElementOffset(data, indices.begin(), indices.size())];
}

const Variant& Variant::GetElement(std::span<const int> indices) const
{
    const ArrayData& data = ArrayRef();
    return data.Items[ElementOffset(data, indices.data(), indices.size())];
}

void Variant::SetElement(std::initializer_list<int> indices, const Variant& value)
{
    ArrayData& data = ArrayRef();
    size_t offset = ElementOffset(data, indices.begin(), indices.size());
    data.Items[offset] = data.ElemType == varVariant ? value : VarAsType(value, data.ElemType);
}

int Variant::ArrayDimCount() const noexcept
{
    return IsArray() ? static_cast<int>(std::get<ArrayBox>(m_payload).Data().Bounds.size()) : 0;
}

int Variant::ArrayLowBound(int dim) const
{
    const ArrayData& data = ArrayRef();
    if (dim < 1 || dim > static_cast<int>(data.Bounds.size()))
        BadIndex();
    return data.Bounds[static_cast<size_t>(dim - 1)].Low;
}

int Variant::ArrayHighBound(int dim) const
{
    const ArrayData& data = ArrayRef();
    if (dim < 1 || dim > static_cast<int>(data.Bounds.size()))
        BadIndex();
    return data.Bounds[static_cast<size_t>(dim - 1)].High;
}

// Larger arrays than this are refused instead of exhausting memory on a
// hostile or corrupted size.
static constexpr int64_t kMaxArrayElements = int64_t(1) << 26;

Variant VarArrayCreate(std::initializer_list<int> bounds, TVarType elemType)
{
    if (bounds.size() < 2 || bounds.size() % 2 != 0 || !IsValidElementType(elemType))
        ArrayCreateError();
    auto data = std::make_unique<ArrayData>();
    data->ElemType = elemType;
    int64_t count = 1;
    for (auto it = bounds.begin(); it != bounds.end(); it += 2) {
        TVarArrayBound b{it[0], it[1]};
        int64_t n = int64_t(b.High) - int64_t(b.Low) + 1;
        if (n < 0)
            ArrayCreateError();
        count *= n;
        if (count > kMaxArrayElements)
            ArrayCreateError();
        data->Bounds.push_back(b);
    }
    data->Items.assign(static_cast<size_t>(count), ZeroOf(elemType));
    return Variant(varArray | elemType, ArrayBox(std::move(data)));
}

Variant VarArrayOf(const std::vector<Variant>& values)
{
    auto data = std::make_unique<ArrayData>();
    data->ElemType = varVariant;
    data->Bounds.push_back(TVarArrayBound{0, static_cast<int>(values.size()) - 1});
    data->Items = values;
    return Variant(varArray | varVariant, ArrayBox(std::move(data)));
}

Variant VarArrayOf(std::initializer_list<Variant> values)
{
    return VarArrayOf(std::vector<Variant>(values));
}

int VarArrayDimCount(const Variant& v)
{
    return v.ArrayDimCount();
}

int VarArrayLowBound(const Variant& v, int dim)
{
    return v.ArrayLowBound(dim);
}

int VarArrayHighBound(const Variant& v, int dim)
{
    return v.ArrayHighBound(dim);
}

void VarArrayRedim(Variant& v, int highBound)
{
    ArrayData& data = v.ArrayRef();
    TVarArrayBound& last = data.Bounds.back();
    int64_t n = int64_t(highBound) - int64_t(last.Low) + 1;
    if (n < 0)
        ArrayCreateError();
    int64_t others = 1;
    for (size_t d = 0; d + 1 < data.Bounds.size(); ++d)
        others *= int64_t(data.Bounds[d].High) - data.Bounds[d].Low + 1;
    int64_t count = others * n;
    if (count > kMaxArrayElements)
        ArrayCreateError();
    // The last dimension runs slowest, so its elements sit at the end.
    data.Items.resize(static_cast<size_t>(count), ZeroOf(data.ElemType));
    last.High = highBound;
}

Variant VarArrayGet(const Variant& v, std::initializer_list<int> indices)
{
    return v.GetElement(indices);
}

void VarArrayPut(Variant& v, const Variant& value, std::initializer_list<int> indices)
{
    v.SetElement(indices, value);
}

// ---------------------------------------------------------------------------
// Type queries

void VarClear(Variant& v)
{
    v = Variant();
}

TVarType VarType(const Variant& v)
{
    return v.VarType();
}

bool VarIsNull(const Variant& v)
{
    return v.IsNull();
}

bool VarIsEmpty(const Variant& v)
{
    return v.IsEmpty();
}

bool VarIsClear(const Variant& v)
{
    return v.IsClear();
}

bool VarIsArray(const Variant& v)
{
    return v.IsArray();
}

bool VarIsNumeric(const Variant& v)
{
    return v.IsNumeric();
}

bool VarIsOrdinal(const Variant& v)
{
    return v.IsOrdinal();
}

bool VarIsFloat(const Variant& v)
{
    return v.IsFloat();
}

bool VarIsStr(const Variant& v)
{
    return v.IsStr();
}

bool VarTypeIsInteger(TVarType t)
{
    switch (t) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return true;
    default:
        return false;
    }
}

bool VarIsType(const Variant& v, TVarType type)
{
    return v.VarType() == type;
}

bool VarIsType(const Variant& v, std::initializer_list<TVarType> types)
{
    for (TVarType t : types)
        if (v.VarType() == t)
            return true;
    return false;
}

std::string VarTypeAsText(TVarType type)
{
    static const char* const kNames[] = {
        "Empty",   "Null",   "Smallint", "Integer", "Single",  "Double",   "Currency",
        "Date",    "OleStr", "Dispatch", "Error",   "Boolean", "Variant",  "Unknown",
        "Decimal", "$000F",  "ShortInt", "Byte",    "Word",    "LongWord", "Int64"};
    TVarType base = type & varTypeMask;
    std::string name;
    if (base < sizeof(kNames) / sizeof(kNames[0]))
        name = kNames[base];
    else if (base == varString)
        name = "String";
    else
        name = "$" + IntToHex(uint32_t(base), 4);
    if (type & varArray)
        name = "Array " + name;
    return name;
}

std::string VarToStr(const Variant& v)
{
    return VarToStrDef(v, std::string());
}

std::string VarToStrDef(const Variant& v, const std::string& def)
{
    if (v.IsNull() || v.IsEmpty())
        return def;
    return v.AsString();
}

std::string VarToWideStr(const Variant& v)
{
    return VarToStr(v);
}

TDateTime VarToDateTime(const Variant& v)
{
    return v.AsDateTime();
}

Variant VarAsType(const Variant& v, TVarType type)
{
    if (type == v.VarType() || type == varVariant)
        return v;
    if (type == varEmpty)
        return Variant();
    if (type == varNull)
        return Variant::Null();
    if (v.IsNull() || v.IsArray() || (type & varArray) != 0)
        CastError(v.VarType(), type);
    auto ranged = [&](int64_t low, int64_t high) {
        int64_t value;
        try {
            value = v.AsInt64();
        } catch (const EVariantTypeCastError&) {
            CastError(v.VarType(), type);
        } catch (const EVariantOverflowError&) {
            ConvertOverflow(v.VarType(), type);
        }
        if (value < low || value > high)
            ConvertOverflow(v.VarType(), type);
        return value;
    };
    switch (type) {
    case varSmallint:
        return Variant(static_cast<int16_t>(ranged(INT16_MIN, INT16_MAX)));
    case varInteger:
        return Variant(static_cast<int>(ranged(INT32_MIN, INT32_MAX)));
    case varShortInt:
        return Variant::FromShortInt(static_cast<int8_t>(ranged(INT8_MIN, INT8_MAX)));
    case varByte:
        return Variant::FromByte(static_cast<uint8_t>(ranged(0, UINT8_MAX)));
    case varWord:
        return Variant::FromWord(static_cast<uint16_t>(ranged(0, UINT16_MAX)));
    case varLongWord:
        return Variant::FromLongWord(static_cast<uint32_t>(ranged(0, UINT32_MAX)));
    case varInt64:
        return Variant(ranged(INT64_MIN, INT64_MAX));
    case varSingle: {
        double d = v.AsDouble();
        if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
            ConvertOverflow(v.VarType(), type);
        return Variant::FromSingle(static_cast<float>(d));
    }
    case varDouble:
        return Variant(v.AsDouble());
    case varCurrency:
        return Variant::FromCurrency(v.AsCurrency());
    case varDate:
        return Variant::FromDate(v.AsDateTime());
    case varBoolean:
        return Variant(v.AsBoolean());
    case varString:
        return Variant(v.AsString());
    case varOleStr:
        return Variant::FromWideString(v.AsString());
    default:
        throw EVariantBadVarTypeError("Invalid variant type");
    }
}

// ---------------------------------------------------------------------------
// Comparison

namespace {
template <class T> TVariantRelationship Relate(const T& a, const T& b)
{
    if (a < b)
        return vrLessThan;
    if (b < a)
        return vrGreaterThan;
    if (a == b)
        return vrEqual;
    return vrNotEqual; // NaN
}

// An integral value (integers and Boolean) as int64, exactly.
bool IsIntegral(const Variant& v)
{
    return VarTypeIsInteger(v.VarType()) || v.VarType() == varBoolean;
}

// Compares two numeric (non-text) values without losing precision where both
// are integral or fixed point.
TVariantRelationship CompareNumbers(const Variant& a, const Variant& b)
{
    bool aExact = IsIntegral(a) || a.VarType() == varCurrency;
    bool bExact = IsIntegral(b) || b.VarType() == varCurrency;
    if (IsIntegral(a) && IsIntegral(b))
        return Relate(a.AsInt64(), b.AsInt64());
    if (aExact && bExact) {
        __int128 x =
            a.VarType() == varCurrency ? __int128(a.AsCurrency()) : __int128(a.AsInt64()) * kCurrencyScale;
        __int128 y =
            b.VarType() == varCurrency ? __int128(b.AsCurrency()) : __int128(b.AsInt64()) * kCurrencyScale;
        return Relate(x, y);
    }
    return Relate(a.AsDouble(), b.AsDouble());
}

// Text taken as a number for comparison with `other`: an integer text stays
// an exact Int64, other numeric text becomes a Double.
Variant TextAsNumber(const Variant& text)
{
    const std::string s = text.AsString();
    int64_t i;
    if (TryParseInt64(s, i))
        return Variant(i);
    return Variant(text.AsDouble());
}
} // namespace

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b)
{
    TVarType ta = a.VarType();
    TVarType tb = b.VarType();
    if (ta == varEmpty)
        return tb == varEmpty ? vrEqual : vrNotEqual;
    if (ta == varNull)
        return tb == varNull ? vrEqual : vrNotEqual;
    if (tb == varEmpty || tb == varNull)
        return vrNotEqual;
    if (a.IsArray() || b.IsArray())
        InvalidOp();
    if (a.IsStr() && b.IsStr()) {
        int c = a.AsString().compare(b.AsString());
        return c < 0 ? vrLessThan : (c > 0 ? vrGreaterThan : vrEqual);
    }
    if (ta == varBoolean && tb == varBoolean)
        return Relate(int(a.AsBoolean()), int(b.AsBoolean()));
    if (ta == varBoolean && b.IsStr())
        return Relate(int(a.AsBoolean()), int(b.AsBoolean()));
    if (a.IsStr() && tb == varBoolean)
        return Relate(int(a.AsBoolean()), int(b.AsBoolean()));
    if (ta == varDate || tb == varDate)
        return Relate(a.AsDateTime(), b.AsDateTime());
    if (a.IsStr())
        return CompareNumbers(TextAsNumber(a), b);
    if (b.IsStr())
        return CompareNumbers(a, TextAsNumber(b));
    return CompareNumbers(a, b);
}

bool VarSameValue(const Variant& a, const Variant& b)
{
    try {
        return VarCompareValue(a, b) == vrEqual;
    } catch (const EVariantError&) {
        return false;
    }
}

bool operator==(const Variant& a, const Variant& b)
{
    return VarCompareValue(a, b) == vrEqual;
}

bool operator!=(const Variant& a, const Variant& b)
{
    return VarCompareValue(a, b) != vrEqual;
}

bool operator<(const Variant& a, const Variant& b)
{
    return VarCompareValue(a, b) == vrLessThan;
}

bool operator>(const Variant& a, const Variant& b)
{
    return VarCompareValue(a, b) == vrGreaterThan;
}

bool operator<=(const Variant& a, const Variant& b)
{
    TVariantRelationship r = VarCompareValue(a, b);
    return r == vrLessThan || r == vrEqual;
}

bool operator>=(const Variant& a, const Variant& b)
{
    TVariantRelationship r = VarCompareValue(a, b);
    return r == vrGreaterThan || r == vrEqual;
}

// ---------------------------------------------------------------------------
// Arithmetic

namespace {
enum class NumKind
{
    Int32,
    Int64,
    Currency,
    Double,
    Date
};

// The number class an operand takes part in arithmetic as. Text is taken as a
// Double, Boolean as the Integer -1 / 0, Empty as the Integer 0.
NumKind KindOf(const Variant& v)
{
    switch (v.VarType()) {
    case varEmpty:
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varBoolean:
        return NumKind::Int32;
    case varLongWord:
    case varInt64:
        return NumKind::Int64;
    case varCurrency:
        return NumKind::Currency;
    case varDate:
        return NumKind::Date;
    case varSingle:
    case varDouble:
    case varString:
    case varOleStr:
        return NumKind::Double;
    default:
        InvalidOp();
    }
}

Variant IntegerResult(int64_t value, bool allowInt32)
{
    if (allowInt32 && value >= INT32_MIN && value <= INT32_MAX)
        return Variant(static_cast<int>(value));
    return Variant(value);
}

enum class ArithOp
{
    Add,
    Sub,
    Mul
};

Variant Arith(const Variant& a, const Variant& b, ArithOp op)
{
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    if (a.IsArray() || b.IsArray())
        InvalidOp();
    if (a.IsEmpty() && b.IsEmpty())
        return Variant();
    if (op == ArithOp::Add && (a.IsStr() || a.IsEmpty()) && (b.IsStr() || b.IsEmpty())) {
        std::string joined = a.AsString() + b.AsString();
        if (a.VarType() == varOleStr || b.VarType() == varOleStr)
            return Variant::FromWideString(std::move(joined));
        return Variant(std::move(joined));
    }
    NumKind ka = KindOf(a);
    NumKind kb = KindOf(b);
    if (ka == NumKind::Double || kb == NumKind::Double || ka == NumKind::Date || kb == NumKind::Date) {
        double x = a.AsDouble();
        double y = b.AsDouble();
        double r = op == ArithOp::Add ? x + y : (op == ArithOp::Sub ? x - y : x * y);
        // A date moved by a number stays a date; the distance of two dates is a number.
        bool dateResult = (op == ArithOp::Add && (ka == NumKind::Date) != (kb == NumKind::Date)) ||
                          (op == ArithOp::Sub && ka == NumKind::Date && kb != NumKind::Date);
        return dateResult ? Variant::FromDate(r) : Variant(r);
    }
    if (ka == NumKind::Currency || kb == NumKind::Currency) {
        __int128 r;
        if (op == ArithOp::Mul) {
            // Scaled product: one scale too many, rounded half to even.
            __int128 x =
                ka == NumKind::Currency ? __int128(a.AsCurrency()) : __int128(a.AsInt64()) * kCurrencyScale;
            __int128 y =
                kb == NumKind::Currency ? __int128(b.AsCurrency()) : __int128(b.AsInt64()) * kCurrencyScale;
            __int128 p = x * y;
            __int128 q = p / kCurrencyScale;
            __int128 rem = p % kCurrencyScale;
            __int128 absRem = rem < 0 ? -rem : rem;
            if (absRem > kCurrencyScale / 2 || (absRem == kCurrencyScale / 2 && (q % 2) != 0))
                q += rem < 0 ? -1 : 1;
            r = q;
        } else {
            __int128 x = a.AsCurrency();
            __int128 y = b.AsCurrency();
            r = op == ArithOp::Add ? x + y : x - y;
        }
        if (r > INT64_MAX || r < INT64_MIN)
            ArithmeticOverflow();
        return Variant::FromCurrency(static_cast<int64_t>(r));
    }
    int64_t x = a.AsInt64();
    int64_t y = b.AsInt64();
    int64_t r;
    bool overflow = op == ArithOp::Add   ? __builtin_add_overflow(x, y, &r)
                    : op == ArithOp::Sub ? __builtin_sub_overflow(x, y, &r)
                                         : __builtin_mul_overflow(x, y, &r);
    if (overflow)
        ArithmeticOverflow();
    return IntegerResult(r, ka == NumKind::Int32 && kb == NumKind::Int32);
}

// Operand of div, mod and the bitwise operators: an integer.
bool IntOperand(const Variant& v, int64_t& out)
{
    if (v.IsArray())
        InvalidOp();
    out = v.AsInt64();
    return v.VarType() != varInt64 && v.VarType() != varLongWord && out >= INT32_MIN && out <= INT32_MAX;
}

// Booleans, and text saying "True"/"False", take part in logic as Booleans.
bool IsLogical(const Variant& v)
{
    if (v.VarType() == varBoolean)
        return true;
    bool b;
    return v.IsStr() && TryTextToBoolean(v.AsString(), b);
}

enum class LogicOp
{
    And,
    Or,
    Xor
};

Variant Logic(const Variant& a, const Variant& b, LogicOp op)
{
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    if (IsLogical(a) && IsLogical(b) && (a.VarType() == varBoolean || b.VarType() == varBoolean)) {
        bool x = a.AsBoolean();
        bool y = b.AsBoolean();
        return Variant(op == LogicOp::And ? (x && y) : op == LogicOp::Or ? (x || y) : (x != y));
    }
    int64_t x;
    int64_t y;
    bool small = IntOperand(a, x);
    small = IntOperand(b, y) && small;
    int64_t r = op == LogicOp::And ? (x & y) : op == LogicOp::Or ? (x | y) : (x ^ y);
    return IntegerResult(r, small);
}
} // namespace

Variant operator+(const Variant& a, const Variant& b)
{
    return Arith(a, b, ArithOp::Add);
}

Variant operator-(const Variant& a, const Variant& b)
{
    return Arith(a, b, ArithOp::Sub);
}

Variant operator*(const Variant& a, const Variant& b)
{
    return Arith(a, b, ArithOp::Mul);
}

Variant operator/(const Variant& a, const Variant& b)
{
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    if (a.IsArray() || b.IsArray())
        InvalidOp();
    double x = a.AsDouble();
    double y = b.AsDouble();
    if (y == 0.0) {
        if (x == 0.0 || std::isnan(x))
            throw EInvalidOp("Invalid floating point operation");
        throw EZeroDivide("Floating point division by zero");
    }
    return Variant(x / y);
}

Variant operator-(const Variant& a)
{
    switch (a.VarType()) {
    case varNull:
    case varEmpty:
        return a;
    case varSingle:
        return Variant::FromSingle(static_cast<float>(-a.AsDouble()));
    case varDouble:
    case varString:
    case varOleStr:
        return Variant(-a.AsDouble());
    case varDate:
        return Variant::FromDate(-a.AsDouble());
    case varCurrency: {
        int64_t c = a.AsCurrency();
        if (c == INT64_MIN)
            ArithmeticOverflow();
        return Variant::FromCurrency(-c);
    }
    default: {
        int64_t x;
        bool small = IntOperand(a, x);
        if (x == INT64_MIN)
            ArithmeticOverflow();
        return IntegerResult(-x, small);
    }
    }
}

Variant VarIntDiv(const Variant& a, const Variant& b)
{
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    int64_t x;
    int64_t y;
    bool small = IntOperand(a, x);
    small = IntOperand(b, y) && small;
    if (y == 0)
        throw EDivByZero("Division by zero");
    if (x == INT64_MIN && y == -1)
        ArithmeticOverflow();
    return IntegerResult(x / y, small);
}

Variant VarMod(const Variant& a, const Variant& b)
{
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    int64_t x;
    int64_t y;
    bool small = IntOperand(a, x);
    small = IntOperand(b, y) && small;
    if (y == 0)
        throw EDivByZero("Division by zero");
    if (y == -1)
        return IntegerResult(0, small);
    return IntegerResult(x % y, small);
}

Variant VarAnd(const Variant& a, const Variant& b)
{
    return Logic(a, b, LogicOp::And);
}

Variant VarOr(const Variant& a, const Variant& b)
{
    return Logic(a, b, LogicOp::Or);
}

Variant VarXor(const Variant& a, const Variant& b)
{
    return Logic(a, b, LogicOp::Xor);
}

Variant VarNot(const Variant& a)
{
    if (a.IsNull())
        return a;
    if (a.VarType() == varBoolean)
        return Variant(!a.AsBoolean());
    bool b;
    if (a.IsStr() && TryTextToBoolean(a.AsString(), b))
        return Variant(!b);
    int64_t x;
    bool small = IntOperand(a, x);
    return IntegerResult(~x, small);
}

std::ostream& operator<<(std::ostream& out, const Variant& v)
{
    out << VarTypeAsText(v.VarType());
    if (v.IsNull() || v.IsEmpty())
        return out;
    if (!v.IsArray()) {
        if (v.IsStr())
            return out << " '" << v.AsString() << "'";
        return out << ' ' << v.AsString();
    }
    // Elements in storage order (the first index running fastest).
    out << " [";
    const int dims = v.ArrayDimCount();
    const int rows = dims == 2 ? v.ArrayHighBound(2) - v.ArrayLowBound(2) + 1 : 1;
    bool first = true;
    for (int r = 0; r < rows; ++r) {
        for (int i = v.ArrayLowBound(1); i <= v.ArrayHighBound(1); ++i) {
            out << (first ? "" : ", ");
            first = false;
            const Variant e = dims == 2 ? v.GetElement({i, v.ArrayLowBound(2) + r}) : v[i];
            if (e.IsStr())
                out << '\'' << e.AsString() << '\'';
            else if (e.IsNull() || e.IsEmpty() || e.IsArray())
                out << e;
            else
                out << e.AsString();
        }
    }
    return out << ']';
}
