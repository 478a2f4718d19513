#include "Components/Nembra/NembraJSON.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "Components/Nembra/NembraLib.h"
#include "platform/Streams.h"

namespace {

constexpr const char* kCRLF = "\r\n";
constexpr int kReadableWrapColumn = 130;

[[noreturn]] void RaiseListIndex(int index)
{
    throw EListError(Format("List index out of bounds (%d)", index));
}

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The first '"' or '\\' at or after `from`, or `size`. Strings are scanned
// eight bytes at a time: a reply is mostly short strings.
size_t FindQuoteOrBackslash(const char* text, size_t from, size_t size)
{
    size_t i = from;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101ull;
        constexpr uint64_t kHighs = 0x8080808080808080ull;
        for (; i + 8 <= size; i += 8) {
            uint64_t word;
            std::memcpy(&word, text + i, 8);
            // A byte equal to the pattern becomes zero; the lowest zero byte
            // is found exactly (borrows only reach the bytes above it).
            const uint64_t quotes = word ^ (kOnes * '"');
            const uint64_t slashes = word ^ (kOnes * '\\');
            const uint64_t found = ((quotes - kOnes) & ~quotes & kHighs) | ((slashes - kOnes) & ~slashes & kHighs);
            if (found)
                return i + static_cast<size_t>(std::countr_zero(found)) / 8;
        }
    }
    while (i < size && text[i] != '"' && text[i] != '\\')
        ++i;
    return i;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    return AnsiSameText(a, b);
}

using NembraJSONDetail::TextWriter;

void AppendInt(std::string& out, int64_t v);
void WriteExpression(TextWriter& out, std::string_view s);

// Numbers are read and written with a point whatever the user's settings.
const TFormatSettings& PointSettings()
{
    static const TFormatSettings settings = [] {
        TFormatSettings s;
        s.DecimalSeparator = '.';
        return s;
    }();
    return settings;
}

// FloatToStr's text (15 significant digits, general format) written straight
// into `out`: the writer formats every double of a reply through here.
// Writes at most 24 characters at `p` and returns the end.
char* FormatNumber(char* p, double d)
{
    if (d == 0 || !std::isfinite(d)) {
        const std::string text = FloatToStr(d, PointSettings());
        std::memcpy(p, text.data(), text.size());
        return p + text.size();
    }
    // The shortest text that reads back as d is quick to get; when it has at
    // most 15 digits it is also what rounding to 15 digits gives, since d is
    // nearer to it than half a unit of the 15th digit. Longer ones take
    // FloatToStr's own steps: 18 significant digits, rounded half up to 15.
    char buf[48];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific);
    const char* mark = static_cast<const char*>(std::memchr(buf, 'e', static_cast<size_t>(res.ptr - buf)));
    const long mantissa = mark ? mark - buf : res.ptr - buf; // "d" or "d.ddd"
    // Subnormal numbers are too coarse for that argument.
    if ((mantissa > 1 ? mantissa - 1 : 1) > 15 || std::fabs(d) < DBL_MIN)
        res = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific, 17);
    char digits[24];
    int n = 0;
    const char* q = buf;
    for (; q < res.ptr && *q != 'e'; ++q) {
        if (*q != '.')
            digits[n++] = *q;
    }
    int exp10 = 0;
    if (q < res.ptr) {
        ++q;
        const bool negative = *q == '-';
        if (*q == '-' || *q == '+')
            ++q;
        std::from_chars(q, res.ptr, exp10);
        if (negative)
            exp10 = -exp10;
    }
    int exponent = exp10 + 1;

    constexpr int kPrecision = 15;
    const bool roundUp = n > kPrecision && digits[kPrecision] >= '5';
    n = std::min(n, kPrecision);
    if (roundUp) {
        int k = n - 1;
        while (k >= 0 && digits[k] == '9')
            digits[k--] = '0';
        if (k >= 0) {
            ++digits[k];
        } else {
            std::memmove(digits + 1, digits, static_cast<size_t>(n - 1));
            digits[0] = '1';
            ++exponent;
        }
    }
    while (n > 0 && digits[n - 1] == '0')
        --n;

    auto copy = [&p](const char* from, int count) {
        std::memcpy(p, from, static_cast<size_t>(count));
        p += count;
    };
    if (d < 0)
        *p++ = '-';
    if (exponent > kPrecision || exponent < -3) {
        *p++ = digits[0];
        if (n > 1) {
            *p++ = '.';
            copy(digits + 1, n - 1);
        }
        *p++ = 'E';
        return std::to_chars(p, p + 8, exponent - 1).ptr;
    }
    if (exponent <= 0) {
        *p++ = '0';
        *p++ = '.';
        std::memset(p, '0', static_cast<size_t>(-exponent));
        p += -exponent;
        copy(digits, n);
        return p;
    }
    if (n <= exponent) {
        copy(digits, n);
        std::memset(p, '0', static_cast<size_t>(exponent - n));
        return p + (exponent - n);
    }
    copy(digits, exponent);
    *p++ = '.';
    copy(digits + exponent, n - exponent);
    return p;
}

void WriteNumber(TextWriter& out, double d)
{
    char* start = out.Room(32);
    out.Commit(static_cast<size_t>(FormatNumber(start, d) - start));
}

void WriteInt(TextWriter& out, int64_t v)
{
    char* start = out.Room(24);
    out.Commit(static_cast<size_t>(std::to_chars(start, start + 24, v).ptr - start));
}

std::string NumberText(double d)
{
    char buf[32];
    return std::string(buf, FormatNumber(buf, d));
}

void AppendInt(std::string& out, int64_t v)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

} // namespace

// ---------------------------------------------------------------------------
// TJSONValue

void TJSONValue::ClearContent()
{
    switch (m_kind) {
    case Kind::Object:
        delete m_u.obj;
        break;
    case Kind::Array:
        delete m_u.arr;
        break;
    case Kind::Foreign:
        delete m_u.foreign;
        break;
    case Kind::String:
        if (m_textLen == kHeapText)
            delete[] m_u.text;
        m_textLen = 0;
        break;
    default:
        break;
    }
    m_kind = Kind::Null;
    m_u.i64 = 0;
}

TJSONValueType TJSONValue::GetValueType() const
{
    switch (m_kind) {
    case Kind::Null:
        return jvtNULL;
    case Kind::Object:
        return jvtObject;
    case Kind::Array:
        return jvtArray;
    case Kind::String:
        return jvtString;
    case Kind::Int32:
    case Kind::Int64:
    case Kind::Double:
        return jvtNumber;
    case Kind::Boolean:
        return jvtBoolean;
    case Kind::Foreign:
        if (VarIsNumeric(*m_u.foreign) && !VarIsType(*m_u.foreign, varBoolean))
            return jvtNumber;
        break;
    }
    throw Exception("Invalid value type");
}

void TJSONValue::RaiseCast(const char* target) const
{
    const char* source = m_kind == Kind::Object ? "Object" : "Array";
    throw EVariantTypeCastError(
        Format("Could not convert variant of type (%s) into type (%s)", source, target));
}

std::string TJSONValue::GetAsString() const
{
    std::string out;
    AppendReadable(out);
    return out;
}

int32_t TJSONValue::GetAsInteger() const
{
    switch (m_kind) {
    case Kind::Null:
        return 0;
    case Kind::Int32:
        return m_u.i32;
    case Kind::Object:
    case Kind::Array:
        RaiseCast("Integer");
    default:
        return GetAsVariant().AsInteger();
    }
}

int64_t TJSONValue::GetAsInt64() const
{
    switch (m_kind) {
    case Kind::Null:
        return 0;
    case Kind::Int32:
        return m_u.i32;
    case Kind::Int64:
        return m_u.i64;
    case Kind::Object:
    case Kind::Array:
        RaiseCast("Int64");
    default:
        return GetAsVariant().AsInt64();
    }
}

double TJSONValue::GetAsNumber() const
{
    switch (m_kind) {
    case Kind::Null:
        return 0;
    case Kind::Int32:
        return m_u.i32;
    case Kind::Int64:
        return static_cast<double>(m_u.i64);
    case Kind::Double:
        return m_u.d;
    case Kind::Object:
    case Kind::Array:
        RaiseCast("Double");
    default:
        return GetAsVariant().AsDouble();
    }
}

bool TJSONValue::GetAsBoolean() const
{
    switch (m_kind) {
    case Kind::Null:
        return false;
    case Kind::Boolean:
        return m_u.b;
    case Kind::Object:
    case Kind::Array:
        RaiseCast("Boolean");
    default:
        return GetAsVariant().AsBoolean();
    }
}

TJSONObject& TJSONValue::GetAsObject() const
{
    if (m_kind != Kind::Object)
        throw Exception("Value is not an object");
    return *m_u.obj;
}

TJSONArray& TJSONValue::GetAsArray() const
{
    if (m_kind != Kind::Array)
        throw Exception("Value is not an array");
    return *m_u.arr;
}

Variant TJSONValue::GetAsVariant() const
{
    switch (m_kind) {
    case Kind::Null:
        return Variant::Null();
    case Kind::Int32:
        return Variant(static_cast<int>(m_u.i32));
    case Kind::Int64:
        return Variant(static_cast<long long>(m_u.i64));
    case Kind::Double:
        return Variant(m_u.d);
    case Kind::Boolean:
        return Variant(m_u.b);
    case Kind::String:
        return Variant(std::string(Text()));
    case Kind::Object:
        return Variant(m_u.obj->ToJSONString());
    case Kind::Array:
        return Variant(m_u.arr->ToJSONString());
    case Kind::Foreign:
        return *m_u.foreign;
    }
    return Variant::Null();
}

void TJSONValue::SetStringNoClear(std::string_view value)
{
    // The value is null here: nothing of it is in use.
    const size_t length = value.size();
    if (length <= kInlineText) {
        std::memcpy(reinterpret_cast<char*>(this), value.data(), length);
        m_textLen = static_cast<uint8_t>(length);
    } else {
        char* block = new char[length];
        std::memcpy(block, value.data(), length);
        m_u.text = block;
        std::memcpy(m_inline, &length, sizeof length);
        m_textLen = kHeapText;
    }
    m_kind = Kind::String;
}

void TJSONValue::SetReadableStringNoClear(std::string_view value)
{
    if (value.size() > kInlineText) {
        SetStringNoClear(value);
        return;
    }
    // The bytes past the text land in the unused rest of the inline room.
    std::memcpy(reinterpret_cast<char*>(this), value.data(), kInlineText);
    m_textLen = static_cast<uint8_t>(value.size());
    m_kind = Kind::String;
}

void TJSONValue::SetAsString(std::string_view value)
{
    Clear();
    SetStringNoClear(value);
}

void TJSONValue::SetAsInteger(int32_t value)
{
    Clear();
    m_kind = Kind::Int32;
    m_u.i32 = value;
}

void TJSONValue::SetAsInt64(int64_t value)
{
    Clear();
    m_kind = Kind::Int64;
    m_u.i64 = value;
}

void TJSONValue::SetAsNumber(double value)
{
    Clear();
    m_kind = Kind::Double;
    m_u.d = value;
}

void TJSONValue::SetAsBoolean(bool value)
{
    Clear();
    m_kind = Kind::Boolean;
    m_u.b = value;
}

void TJSONValue::SetAsVariant(const Variant& value)
{
    switch (VarType(value)) {
    case varEmpty:
    case varNull:
        Clear();
        return;
    case varString:
    case varOleStr:
        SetAsString(value.AsString());
        return;
    case varBoolean:
        SetAsBoolean(value.AsBoolean());
        return;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
        SetAsInteger(value.AsInteger());
        return;
    case varLongWord:
    case varInt64:
        SetAsInt64(value.AsInt64());
        return;
    case varDouble:
        SetAsNumber(value.AsDouble());
        return;
    default:
        break;
    }
    auto kept = std::make_unique<Variant>(value);
    Clear();
    m_kind = Kind::Foreign;
    m_u.foreign = kept.release();
}

void TJSONValue::SetAsObject(const TJSONObject* obj)
{
    auto copy = std::make_unique<TJSONObject>();
    copy->AssignObject(obj);
    Clear();
    m_kind = Kind::Object;
    m_u.obj = copy.release();
}

void TJSONValue::SetAsArray(const TJSONArray* arr)
{
    auto copy = std::make_unique<TJSONArray>();
    copy->AssignArray(arr);
    Clear();
    m_kind = Kind::Array;
    m_u.arr = copy.release();
}

TJSONObject& TJSONValue::CreateAsObject()
{
    auto fresh = std::make_unique<TJSONObject>();
    Clear();
    m_kind = Kind::Object;
    m_u.obj = fresh.release();
    return *m_u.obj;
}

TJSONArray& TJSONValue::CreateAsArray()
{
    auto fresh = std::make_unique<TJSONArray>();
    Clear();
    m_kind = Kind::Array;
    m_u.arr = fresh.release();
    return *m_u.arr;
}

void TJSONValue::CopyFrom(const TJSONValue& source)
{
    switch (source.m_kind) {
    case Kind::Object:
        SetAsObject(source.m_u.obj);
        break;
    case Kind::Array:
        SetAsArray(source.m_u.arr);
        break;
    case Kind::Foreign:
        SetAsVariant(*source.m_u.foreign);
        break;
    case Kind::String:
        SetAsString(source.Text());
        break;
    default:
        Clear();
        m_kind = source.m_kind;
        m_u = source.m_u;
        break;
    }
}

void TJSONValue::TakeFrom(TJSONValue& source) noexcept
{
    Clear();
    m_u = source.m_u;
    std::memcpy(m_inline, source.m_inline, sizeof m_inline);
    m_textLen = source.m_textLen;
    m_kind = source.m_kind;
    source.m_kind = Kind::Null;
    source.m_textLen = 0;
    source.m_u.i64 = 0;
}

void TJSONValue::Assign(const TJSONValue& source)
{
    if (&source == this)
        return;
    // Copy first: the source may live inside this value's own payload.
    TJSONValue copy;
    copy.CopyFrom(source);
    TakeFrom(copy);
}

void TJSONValue::Assign(const TJSONValue* source)
{
    if (!source)
        Clear();
    else
        Assign(*source);
}

void TJSONValue::Assign(const TPersistent& source)
{
    if (auto* obj = dynamic_cast<const TJSONObject*>(&source)) {
        SetAsObject(obj);
        return;
    }
    // Nothing else converts into a value: the platform's refusal, naming both classes.
    throw EConvertError(Format("Cannot assign a %s to a %s", source.ClassName(), "TJSONValue"));
}

void TJSONValue::Assign(const TPersistent* source)
{
    if (!source)
        Clear();
    else
        Assign(*source);
}

std::string TJSONValue::ToJSONString() const
{
    std::string out;
    {
        NembraJSONDetail::TextWriter writer(out, EstimatedSize());
        WriteJSON(writer);
    }
    return out;
}

size_t TJSONValue::EstimatedSize() const
{
    switch (m_kind) {
    case Kind::Null:
        return 4;
    case Kind::Int32:
        return 11;
    case Kind::Int64:
        return 20;
    case Kind::Double:
    case Kind::Foreign:
        return 22;
    case Kind::Boolean:
        return 5;
    case Kind::String:
        return Text().size() + 8;
    case Kind::Object:
        return m_u.obj->EstimatedSize();
    case Kind::Array:
        return m_u.arr->EstimatedSize();
    }
    return 0;
}

void TJSONValue::WriteJSON(NembraJSONDetail::TextWriter& out) const
{
    switch (m_kind) {
    case Kind::Null:
        out.Put("NULL");
        break;
    case Kind::Int32:
        WriteInt(out, m_u.i32);
        break;
    case Kind::Int64:
        WriteInt(out, m_u.i64);
        break;
    case Kind::Double:
        WriteNumber(out, m_u.d);
        break;
    case Kind::Boolean:
        out.Put(m_u.b ? std::string_view("true") : std::string_view("false"));
        break;
    case Kind::String:
        WriteExpression(out, Text());
        break;
    case Kind::Object:
        m_u.obj->WriteJSON(out);
        break;
    case Kind::Array:
        m_u.arr->WriteJSON(out);
        break;
    case Kind::Foreign:
        // Only numbers reach here (other foreign content raises); they are
        // written with a point whatever kind of number they are.
        GetValueType();
        WriteNumber(out, m_u.foreign->AsDouble());
        break;
    }
}

void TJSONValue::AppendReadable(std::string& out) const
{
    switch (m_kind) {
    case Kind::Null:
        break;
    case Kind::Int32:
        AppendInt(out, m_u.i32);
        break;
    case Kind::Int64:
        AppendInt(out, m_u.i64);
        break;
    case Kind::Double:
        out += NumberText(m_u.d);
        break;
    case Kind::Boolean:
        out += m_u.b ? "True" : "False";
        break;
    case Kind::String:
        out += Text();
        break;
    case Kind::Object:
        m_u.obj->AppendReadable(out);
        break;
    case Kind::Array:
        m_u.arr->AppendReadable(out);
        break;
    case Kind::Foreign:
        out += VarToStr(*m_u.foreign);
        break;
    }
}

// ---------------------------------------------------------------------------
// TJSONArray

TJSONArray::TJSONArray() = default;
TJSONArray::~TJSONArray() = default;

void TJSONArray::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        RaiseListIndex(index);
}

TJSONValue& TJSONArray::GetValue(int index) const
{
    CheckIndex(index);
    return m_items[static_cast<size_t>(index)];
}

TJSONValue& TJSONArray::SetValue(int index, std::unique_ptr<TJSONValue> value)
{
    CheckIndex(index);
    TJSONValue& slot = m_items[static_cast<size_t>(index)];
    if (value)
        slot.TakeFrom(*value);
    else
        slot.Clear();
    return slot;
}

TJSONValue& TJSONArray::Add()
{
    return m_items.emplace_back();
}

TJSONValue& TJSONArray::Add(std::unique_ptr<TJSONValue> value)
{
    TJSONValue& slot = m_items.emplace_back();
    if (value)
        slot.TakeFrom(*value);
    return slot;
}

void TJSONArray::Delete(int index)
{
    CheckIndex(index);
    m_items.erase(static_cast<size_t>(index));
}

void TJSONArray::Clear()
{
    m_items.clear();
}

void TJSONArray::AssignArray(const TJSONArray* source)
{
    if (source == this)
        return;
    // Built aside first: the source may be nested inside this array.
    NembraJSONDetail::JSONSlots<TJSONValue> items;
    if (source) {
        source->m_items.ForEach([&](const TJSONValue& item) { items.emplace_back().CopyFrom(item); });
    }
    m_items.swap(items);
}

std::string TJSONArray::ToJSONString() const
{
    std::string out;
    {
        NembraJSONDetail::TextWriter writer(out, EstimatedSize());
        WriteJSON(writer);
    }
    return out;
}

size_t TJSONArray::EstimatedSize() const
{
    size_t size = 2;
    m_items.ForEach([&](const TJSONValue& item) { size += item.EstimatedSize() + 1; });
    return size;
}

std::string TJSONArray::GetAsString() const
{
    std::string out;
    AppendReadable(out);
    return out;
}

void TJSONArray::WriteJSON(NembraJSONDetail::TextWriter& out) const
{
    out.Put('[');
    bool first = true;
    m_items.ForEach([&](const TJSONValue& item) {
        if (!first)
            out.Put(',');
        first = false;
        item.WriteJSON(out);
    });
    out.Put(']');
}

void TJSONArray::AppendReadable(std::string& out) const
{
    out += '[';
    bool first = true;
    m_items.ForEach([&](const TJSONValue& item) {
        if (!first)
            out += ", ";
        first = false;
        item.AppendReadable(out);
    });
    out += ']';
}

// ---------------------------------------------------------------------------
// TJSONObject

// Folded name -> member position, kept only while the object is wide.
struct TJSONObject::NameIndex
{
    std::unordered_map<std::string, int> Positions;
};

namespace {
constexpr size_t kIndexFrom = 24;
}

TJSONObject::TJSONObject() = default;

TJSONObject::TJSONObject(std::string_view text)
{
    ParseText(text);
}

TJSONObject::TJSONObject(TStream& stream)
{
    ParseFromStream(stream);
}

TJSONObject::~TJSONObject() = default;

void TJSONObject::ParseText(std::string_view text)
{
    int64_t started = 0;
    BeginMeasure(started);
    TJSONParser parser(text);
    ParseTimed(parser, started);
}

void TJSONObject::ParseFromStream(TStream& stream)
{
    Clear();
    int64_t started = 0;
    BeginMeasure(started);
    TJSONParser parser(stream);
    ParseTimed(parser, started);
}

void TJSONObject::ParseTimed(TJSONParser& parser, int64_t started)
{
    // The time is kept for a failed parse too: the members read so far stay.
    try {
        parser.ParseTopObject(*this);
    } catch (...) {
        m_parseTime = EndMeasure(started);
        throw;
    }
    m_parseTime = EndMeasure(started);
}

void TJSONObject::CheckIndex(int index) const
{
    if (index < 0 || index >= GetPropCount())
        RaiseListIndex(index);
}

int TJSONObject::FindIndexed(std::string_view name) const
{
    auto it = m_index->Positions.find(AnsiUpperCase(name));
    return it == m_index->Positions.end() ? -1 : it->second;
}

int TJSONObject::IndexOfName(std::string_view name) const
{
    if (m_index)
        return FindIndexed(name);
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (SameName(m_members[i].Name, name))
            return static_cast<int>(i);
    }
    return -1;
}

TJSONValue& TJSONObject::AppendMember(std::string_view name)
{
    Member& member = m_members.emplace_back();
    member.Name.assign(name.data(), name.size());
    const int position = static_cast<int>(m_members.size()) - 1;
    if (m_index) {
        m_index->Positions.emplace(AnsiUpperCase(name), position);
    } else if (m_members.size() >= kIndexFrom) {
        m_index = std::make_unique<NameIndex>();
        m_index->Positions.reserve(m_members.size() * 2);
        for (size_t i = 0; i < m_members.size(); ++i)
            m_index->Positions.emplace(AnsiUpperCase(m_members[i].Name), static_cast<int>(i));
    }
    return member.Value;
}

TJSONValue& TJSONObject::GetValues(std::string_view name)
{
    const int index = IndexOfName(name);
    if (index >= 0)
        return m_members[static_cast<size_t>(index)].Value;
    return AppendMember(name);
}

void TJSONObject::SetValues(std::string_view name, const TJSONValue& value)
{
    GetValues(name).Assign(value);
}

const std::string& TJSONObject::GetPropName(int index) const
{
    CheckIndex(index);
    return m_members[static_cast<size_t>(index)].Name;
}

TJSONValue& TJSONObject::GetPropValue(int index) const
{
    CheckIndex(index);
    return m_members[static_cast<size_t>(index)].Value;
}

void TJSONObject::SetPropValue(int index, const TJSONValue& value)
{
    CheckIndex(index);
    m_members[static_cast<size_t>(index)].Value.Assign(value);
}

void TJSONObject::Clear()
{
    m_members.clear();
    m_index.reset();
}

void TJSONObject::AssignObject(const TJSONObject* source)
{
    if (source == this)
        return;
    // Built aside first: the source may be nested inside this object.
    TJSONObject copy;
    if (source) {
        for (size_t i = 0; i < source->m_members.size(); ++i) {
            const Member& member = source->m_members[i];
            copy.AppendMember(member.Name).CopyFrom(member.Value);
        }
    }
    m_members.swap(copy.m_members);
    m_index.swap(copy.m_index);
}

void TJSONObject::Assign(const TPersistent& source)
{
    if (auto* obj = dynamic_cast<const TJSONObject*>(&source))
        AssignObject(obj);
    else
        TPersistent::Assign(source);
}

std::string TJSONObject::ToJSONString() const
{
    std::string out;
    {
        NembraJSONDetail::TextWriter writer(out, EstimatedSize());
        WriteJSON(writer);
    }
    return out;
}

size_t TJSONObject::EstimatedSize() const
{
    size_t size = 2;
    m_members.ForEach(
        [&](const Member& member) { size += member.Name.size() + 6 + member.Value.EstimatedSize(); });
    return size;
}

std::string TJSONObject::GetAsString() const
{
    std::string out;
    AppendReadable(out);
    return out;
}

void TJSONObject::WriteJSON(NembraJSONDetail::TextWriter& out) const
{
    out.Put('{');
    bool first = true;
    m_members.ForEach([&](const Member& member) {
        if (!first)
            out.Put(",\r\n");
        first = false;
        out.Put('"');
        if (member.Name.find('"') == std::string::npos)
            out.Put(member.Name);
        else
            out.Put(StringReplace(member.Name, "\"", "\"\"", rfReplaceAll));
        out.Put("\":");
        member.Value.WriteJSON(out);
    });
    out.Put('}');
}

void TJSONObject::AppendReadable(std::string& out) const
{
    std::string text;
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (i > 0)
            out += kCRLF;
        out += m_members[i].Name;
        out += ':';
        text.clear();
        m_members[i].Value.AppendReadable(text);
        if (text.size() > static_cast<size_t>(kReadableWrapColumn))
            text = WrapText(text, kCRLF, " -\t", kReadableWrapColumn);
        out += text.find('\r') != std::string::npos ? kCRLF : " ";
        out += text;
    }
}

// ---------------------------------------------------------------------------
// TJSONParser

TJSONParser::TJSONParser(std::string_view text) : m_text(text) {}

TJSONParser::TJSONParser(TStream& stream)
{
    const int64_t remaining = stream.Size() - stream.Position();
    if (remaining > 0) {
        m_owned.resize(static_cast<size_t>(remaining));
        stream.ReadBuffer(m_owned.data(), remaining);
    }
    m_text = m_owned;
}

void TJSONParser::RaiseInvalid(char expected) const
{
    throw Exception(
        Format("Invalid JSON around position: %d; TokenType: %s", ReadIndex(), std::string(1, expected)));
}

void TJSONParser::RaiseUnexpected() const
{
    // The end of the text has no character of its own; it shows as "()".
    const std::string type = m_tokenType == 0 ? std::string() : std::string(1, m_tokenType);
    throw Exception(Format("Unexpected token (%s) or end of stream", type));
}

void TJSONParser::NextToken()
{
    const size_t size = m_text.size();
    const char* text = m_text.data();
    while (m_pos < size) {
        const unsigned char c = static_cast<unsigned char>(text[m_pos]);
        if (c == 0 || c > 32)
            break;
        ++m_pos;
    }
    if (m_pos >= size || text[m_pos] == 0) {
        m_tokenType = 0;
        m_token = {};
        return;
    }
    const char c = text[m_pos];
    switch (c) {
    case '{':
    case '}':
    case '[':
    case ']':
    case ',':
    case ':':
        m_tokenType = c;
        m_token = std::string_view(text + m_pos, 1);
        ++m_pos;
        return;
    case '"':
        ++m_pos;
        ReadString();
        return;
    default:
        ReadBare();
        return;
    }
}

void TJSONParser::ReadString()
{
    m_tokenType = 'A';
    const size_t size = m_text.size();
    const char* text = m_text.data();
    const size_t start = m_pos;
    // Most strings hold no escape: hand out a view of the text itself.
    const size_t i = FindQuoteOrBackslash(text, start, size);
    if (i >= size || text[i] == '"') {
        m_token = std::string_view(text + start, i - start);
        m_pos = i < size ? i + 1 : size;
        return;
    }
    m_buffer.assign(text + start, i - start);
    m_pos = i;
    while (m_pos < size) {
        const char c = text[m_pos++];
        if (c == '"')
            break;
        if (c != '\\') {
            m_buffer.push_back(c);
            continue;
        }
        if (m_pos >= size)
            break;
        const char e = text[m_pos++];
        switch (e) {
        case 'b':
            m_buffer.push_back('\b');
            break;
        case 'f':
            m_buffer.push_back('\f');
            break;
        case 't':
            m_buffer.push_back('\t');
            break;
        case 'n':
            m_buffer += "\r\n";
            break;
        case 'r':
            m_buffer.push_back('\n');
            break;
        case 'u':
            ReadUnicodeEscape();
            break;
        default:
            m_buffer.push_back(e);
            break;
        }
    }
    m_token = m_buffer;
}

void TJSONParser::ReadUnicodeEscape()
{
    // Reads the four characters after "\u" (m_pos is on the first). With fewer
    // than four left the text ends inside the string: nothing is produced.
    auto readQuad = [this](uint32_t& cp) -> bool {
        if (m_text.size() - m_pos < 4) {
            m_pos = m_text.size();
            return false;
        }
        cp = 0;
        bool hex = true;
        for (int k = 0; k < 4; ++k) {
            const int d = HexDigitValue(m_text[m_pos + k]);
            if (d < 0)
                hex = false;
            cp = cp * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
        }
        m_pos += 4;
        if (!hex)
            cp = 0;
        return true;
    };
    uint32_t cp = 0;
    if (!readQuad(cp))
        return;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        // A high surrogate pairs with a directly following low one.
        const size_t size = m_text.size();
        if (m_pos + 6 <= size && m_text[m_pos] == '\\' && m_text[m_pos + 1] == 'u') {
            uint32_t low = 0;
            bool hex = true;
            for (int k = 0; k < 4; ++k) {
                const int d = HexDigitValue(m_text[m_pos + 2 + k]);
                if (d < 0)
                    hex = false;
                low = low * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
            }
            if (hex && low >= 0xDC00 && low <= 0xDFFF) {
                m_pos += 6;
                AppendUtf8(m_buffer, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                return;
            }
        }
        cp = 0xFFFD;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
        cp = 0xFFFD;
    }
    AppendUtf8(m_buffer, cp);
}

void TJSONParser::ReadBare()
{
    const size_t size = m_text.size();
    const char* text = m_text.data();
    const size_t start = m_pos;
    size_t i = start;
    // A digits-only token is also read as a number on the way; it stops
    // counting at the first digit that would leave the 64-bit range.
    uint64_t value = 0;
    bool overflow = false;
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!IsDigit(c))
            break;
        if (!overflow && (__builtin_mul_overflow(value, 10u, &value) ||
                          __builtin_add_overflow(value, static_cast<uint64_t>(c - '0'), &value) ||
                          value > static_cast<uint64_t>(INT64_MAX)))
            overflow = true;
        ++i;
    }
    const size_t digitsEnd = i;
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= 32 || c == ',' || c == ']' || c == '}')
            break;
        ++i;
    }
    m_pos = i;
    m_token = m_text.substr(start, i - start);
    if (digitsEnd == i && i > start) {
        m_tokenType = 'I';
        m_digitsValue = value;
        m_digitsOverflow = overflow;
        return;
    }
    m_tokenType = 'N';
    // The literals true, false and null in any case: only ASCII letters can
    // match them, so folding ASCII is enough.
    if (m_token.size() == 4) {
        if (SameText(m_token, "true"))
            m_tokenType = 'T';
        else if (SameText(m_token, "null"))
            m_tokenType = '0';
    } else if (m_token.size() == 5 && SameText(m_token, "false")) {
        m_tokenType = 'F';
    }
}

void TJSONParser::Expect(char type)
{
    if (m_tokenType != type)
        RaiseInvalid(type);
    NextToken();
}

void TJSONParser::ParseTopObject(TJSONObject& obj)
{
    NextToken();
    if (m_tokenType != '{')
        RaiseInvalid('{');
    ParseObject(obj);
}

void TJSONParser::ParseTopValue(TJSONValue& value)
{
    NextToken();
    ParseValue(value);
}

void TJSONParser::ParseObject(TJSONObject& obj)
{
    // On '{'. Ends on the token after '}' (not read for the top level).
    if (++m_depth > JSONMaxDepth)
        RaiseInvalid('{');
    NextToken();
    while (m_tokenType == 'A') {
        // The member is taken only once its colon is there, so a reply broken
        // between name and colon keeps the members before it only. A name
        // unescaped into the token buffer is moved aside first: the value's
        // tokens may reuse that buffer.
        std::string_view name = m_token;
        if (!m_token.empty() && m_token.data() == m_buffer.data()) {
            m_name.swap(m_buffer);
            name = m_name;
        }
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ':') {
            ++m_pos;
        } else {
            NextToken();
            Expect(':');
        }
        ParseMemberValue(obj.GetValues(name));
        if (m_tokenType != ',')
            break;
        NextToken();
    }
    if (m_tokenType != '}')
        RaiseInvalid('}');
    --m_depth;
    if (m_depth > 0)
        NextToken();
}

void TJSONParser::ParseArray(TJSONArray& arr)
{
    if (++m_depth > JSONMaxDepth)
        RaiseInvalid('[');
    for (;;) {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            m_tokenType = ']';
            m_token = m_text.substr(m_pos, 1);
            ++m_pos;
            break;
        }
        ParseMemberValue(arr.Add());
        if (m_tokenType != ',')
            break;
    }
    if (m_tokenType != ']')
        RaiseInvalid(']');
    --m_depth;
    if (m_depth > 0)
        NextToken();
}

void TJSONParser::SkipSpace()
{
    const size_t size = m_text.size();
    const char* text = m_text.data();
    // Bytes 1 to 32 separate tokens; a zero byte ends the text.
    while (m_pos < size && static_cast<unsigned char>(text[m_pos] - 1) < 32)
        ++m_pos;
}

bool TJSONParser::EndsToken(size_t pos) const
{
    if (pos >= m_text.size())
        return true;
    const unsigned char c = static_cast<unsigned char>(m_text[pos]);
    return c <= 32 || c == ',' || c == ']' || c == '}';
}

void TJSONParser::ParseMemberValue(TJSONValue& value)
{
    // Strings, numbers and literals, the bulk of a reply, are read straight
    // into the value; anything else, and every error, takes the token path.
    SkipSpace();
    if (!ReadScalar(value)) {
        NextToken();
        ParseValue(value);
        return;
    }
    NextToken();
}

bool TJSONParser::ReadScalar(TJSONValue& value)
{
    if (m_pos >= m_text.size())
        return false;
    const char c = m_text[m_pos];
    if (c == '"') {
        ++m_pos;
        ReadString();
        value.Clear();
        const size_t readable = static_cast<size_t>(m_text.data() + m_text.size() - m_token.data());
        if (m_token.data() != m_buffer.data() && readable >= TJSONValue::kInlineText)
            value.SetReadableStringNoClear(m_token);
        else
            value.SetStringNoClear(m_token);
        return true;
    }
    if (IsDigit(static_cast<unsigned char>(c)) || c == '-')
        return ReadNumber(value);
    return ReadLiteral(value);
}

bool TJSONParser::ReadNumber(TJSONValue& value)
{
    // Reads [-]digits[.digits][(e|E)[+|-]digits] ending where a bare token
    // ends, with at most 19 digits; other texts take the token path, which
    // gives the same value or the same error.
    const char* text = m_text.data();
    const size_t size = m_text.size();
    const size_t start = m_pos;
    size_t i = start;
    const bool negative = text[i] == '-';
    if (negative)
        ++i;
    uint64_t mantissa = 0;
    const size_t intStart = i;
    while (i < size && IsDigit(static_cast<unsigned char>(text[i])))
        mantissa = mantissa * 10 + static_cast<uint64_t>(text[i++] - '0');
    size_t digits = i - intStart;
    if (digits == 0)
        return false;
    int exponent = 0;
    bool integral = true;
    if (i < size && text[i] == '.') {
        const size_t fracStart = ++i;
        while (i < size && IsDigit(static_cast<unsigned char>(text[i])))
            mantissa = mantissa * 10 + static_cast<uint64_t>(text[i++] - '0');
        if (i == fracStart)
            return false;
        digits += i - fracStart;
        exponent = -static_cast<int>(i - fracStart);
        integral = false;
    }
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negativeExponent = i < size && text[i] == '-';
        if (i < size && (text[i] == '-' || text[i] == '+'))
            ++i;
        const size_t expStart = i;
        int written = 0;
        while (i < size && IsDigit(static_cast<unsigned char>(text[i])) && i - expStart < 4)
            written = written * 10 + (text[i++] - '0');
        if (i == expStart || (i < size && IsDigit(static_cast<unsigned char>(text[i]))))
            return false;
        exponent += negativeExponent ? -written : written;
        integral = false;
    }
    if (digits > 19 || !EndsToken(i))
        return false;
    m_pos = i;
    if (integral && !negative) {
        if (mantissa > static_cast<uint64_t>(INT64_MAX)) {
            m_pos = start;
            return false;
        }
        if (mantissa <= 2147483646u)
            value.SetAsInteger(static_cast<int32_t>(mantissa));
        else
            value.SetAsInt64(static_cast<int64_t>(mantissa));
        return true;
    }
    // Both factors exact, one rounding: the nearest double, as a full
    // conversion gives it.
    if (mantissa <= (uint64_t(1) << 53) && exponent >= -22 && exponent <= 22) {
        double d = static_cast<double>(mantissa);
        d = exponent < 0 ? d / kExactPowersOf10[-exponent] : d * kExactPowersOf10[exponent];
        value.SetAsNumber(negative ? -d : d);
        return true;
    }
    m_token = m_text.substr(start, i - start);
    StoreNumber(value);
    return true;
}

bool TJSONParser::ReadLiteral(TJSONValue& value)
{
    // true, false and null in any case: folding ASCII letters is enough.
    const size_t left = m_text.size() - m_pos;
    const char* p = m_text.data() + m_pos;
    auto is = [p](const char* word, size_t n) {
        for (size_t k = 0; k < n; ++k) {
            if ((p[k] | 0x20) != word[k])
                return false;
        }
        return true;
    };
    if (left >= 4 && EndsToken(m_pos + 4)) {
        if (is("null", 4)) {
            value.Clear();
        } else if (is("true", 4)) {
            value.SetAsBoolean(true);
        } else {
            return false;
        }
        m_pos += 4;
        return true;
    }
    if (left >= 5 && EndsToken(m_pos + 5) && is("false", 5)) {
        value.SetAsBoolean(false);
        m_pos += 5;
        return true;
    }
    return false;
}

void TJSONParser::StoreInteger(TJSONValue& value) const
{
    if (m_digitsOverflow)
        throw EConvertError(Format("'%s' is not a valid integer value", std::string(m_token)));
    if (m_digitsValue <= 2147483646u)
        value.SetAsInteger(static_cast<int32_t>(m_digitsValue));
    else
        value.SetAsInt64(static_cast<int64_t>(m_digitsValue));
}

void TJSONParser::StoreNumber(TJSONValue& value) const
{
    const char* first = m_token.data();
    const char* last = first + m_token.size();
    const bool plain =
        !m_token.empty() &&
        (IsDigit(static_cast<unsigned char>(m_token[0])) ||
         (m_token[0] == '-' && m_token.size() > 1 && IsDigit(static_cast<unsigned char>(m_token[1]))));
    if (plain) {
        double d = 0;
        auto res = std::from_chars(first, last, d, std::chars_format::general);
        if (res.ec == std::errc() && res.ptr == last) {
            value.SetAsNumber(d);
            return;
        }
    }
    // Everything else takes the platform's conversion, with its error text.
    value.SetAsNumber(StrToFloat(m_token, PointSettings()));
}

void TJSONParser::ParseValue(TJSONValue& value)
{
    switch (m_tokenType) {
    case '0':
        value.Clear();
        break;
    case 'A':
        value.Clear();
        value.SetStringNoClear(m_token);
        break;
    case 'T':
        value.SetAsBoolean(true);
        break;
    case 'F':
        value.SetAsBoolean(false);
        break;
    case 'I':
        StoreInteger(value);
        break;
    case 'N':
        StoreNumber(value);
        break;
    case '{':
        ParseObject(value.CreateAsObject());
        return;
    case '[':
        ParseArray(value.CreateAsArray());
        return;
    default:
        RaiseUnexpected();
    }
    NextToken();
}

// ---------------------------------------------------------------------------
// Unit routines

namespace {

bool IsPlaceholderDelimiter(char c)
{
    switch (c) {
    case ' ':
    case '"':
    case '\'':
    case '[':
    case ']':
    case '{':
    case '}':
    case '>':
    case '<':
    case '=':
    case '!':
    case '*':
    case '-':
    case '+':
    case '/':
    case ',':
        return true;
    default:
        return false;
    }
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

namespace {
// The string values of a reply rarely hold anything the expression builder
// changes; those are quoted as they are.
void WriteExpression(TextWriter& out, std::string_view s)
{
    bool plain = s.empty() || s[0] != '\x03';
    for (size_t i = 0; plain && i < s.size(); ++i) {
        const char c = s[i];
        plain = c != '"' && c != '\r' && c != '\n' && c != '%';
    }
    if (!plain) {
        out.Put(NembraJSON::StrToJSON(s));
        return;
    }
    char* p = out.Room(s.size() + 2);
    p[0] = '"';
    std::memcpy(p + 1, s.data(), s.size());
    p[s.size() + 1] = '"';
    out.Commit(s.size() + 2);
}
} // namespace

std::string NembraJSON::StrToJSON(std::string_view s)
{
    std::string r;
    r.reserve(s.size() + 2);
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            r += '\'';
        } else if (c == '\r') {
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            r += "\\n";
        } else if (c == '\n') {
            r += "\\n";
        } else {
            r += c;
        }
    }

    if (!r.empty() && r[0] == '\x03') {
        // A pattern: written as /pattern/.
        r.erase(0, 1);
        if (r.empty() || r[0] != '/')
            r = "/" + r + "/";
        return r;
    }

    const size_t p = r.find('%');
    if (r.find(';') == std::string::npos && p != std::string::npos && p + 1 < r.size() &&
        IsDigit(static_cast<unsigned char>(r[p + 1]))) {
        // A placeholder: the text around it becomes quoted parts joined by "+".
        size_t e = p + 2;
        while (e < r.size() && !IsPlaceholderDelimiter(r[e]))
            ++e;
        if (e < r.size()) {
            r.insert(e, "+\"");
            r += '"';
        }
        if (p != 0) {
            r.insert(p, "\"+");
            r.insert(0, "\"");
        }
        return r;
    }

    if (r.size() >= 2 && r[0] == '%' && IsAsciiLetter(r[1]))
        return r.substr(1);

    return "\"" + r + "\"";
}

std::string UnencodeJSONStr(std::string_view s)
{
    TJSONParser parser(s);
    TJSONValue value;
    parser.ParseTopValue(value);
    return value.GetAsString();
}
