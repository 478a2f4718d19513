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

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    return AnsiSameText(a, b);
}

using NembraJSONDetail::TextWriter;

void AppendInt(std::string& out, int64_t v);
void WriteExpression(TextWriter& out, std::string_view s);

// FloatToStr's text (15 significant digits, general format) written straight
// into `out`: the writer formats every double of a reply through here.
// Writes at most 24 characters at `p` and returns the end.
char* FormatNumber(char* p, double d)
{
    if (d == 0 || !std::isfinite(d)) {
        const std::string text = FloatToStr(d, DefaultFormatSettings());
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
