#include "Components/Nembra/NembraJSON.h"

#include <charconv>
#include <cstring>
#include <unordered_map>

#include "Components/Nembra/NembraLib.h"
#include "platform/Streams.h"

namespace
{

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

int HexDigit(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80)
    {
        out.push_back(static_cast<char>(cp));
    }
    else if (cp < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else if (cp < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    return AnsiSameText(a, b);
}

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

std::string NumberText(double d)
{
    return FloatToStr(d, PointSettings());
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

TJSONValue::~TJSONValue()
{
    Clear();
}

void TJSONValue::Clear()
{
    switch (m_kind)
    {
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
        m_text.clear();
        break;
    default:
        break;
    }
    m_kind = Kind::Null;
    m_u.i64 = 0;
}

TJSONValueType TJSONValue::GetValueType() const
{
    switch (m_kind)
    {
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
    switch (m_kind)
    {
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
    switch (m_kind)
    {
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
    switch (m_kind)
    {
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
    switch (m_kind)
    {
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
    switch (m_kind)
    {
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
        return Variant(m_text);
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
    m_text.assign(value.data(), value.size());
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
    switch (VarType(value))
    {
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
    switch (source.m_kind)
    {
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
        SetAsString(source.m_text);
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
    m_kind = source.m_kind;
    m_u = source.m_u;
    m_text = std::move(source.m_text);
    source.m_kind = Kind::Null;
    source.m_u.i64 = 0;
}

void TJSONValue::Assign(const TPersistent& source)
{
    if (&source == this)
        return;
    if (auto* value = dynamic_cast<const TJSONValue*>(&source))
    {
        // Copy first: the source may live inside this value's own payload.
        TJSONValue copy;
        copy.CopyFrom(*value);
        TakeFrom(copy);
        return;
    }
    if (auto* obj = dynamic_cast<const TJSONObject*>(&source))
    {
        SetAsObject(obj);
        return;
    }
    TPersistent::Assign(source);
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
    AppendJSONString(out);
    return out;
}

void TJSONValue::AppendJSONString(std::string& out) const
{
    switch (m_kind)
    {
    case Kind::Null:
        out += "NULL";
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
        out += m_u.b ? "true" : "false";
        break;
    case Kind::String:
        out += NembraJSON::StrToJSON(m_text);
        break;
    case Kind::Object:
        m_u.obj->AppendJSONString(out);
        break;
    case Kind::Array:
        m_u.arr->AppendJSONString(out);
        break;
    case Kind::Foreign:
        // Only numbers reach here (other foreign content raises); they are
        // written with a point whatever kind of number they are.
        GetValueType();
        out += NumberText(m_u.foreign->AsDouble());
        break;
    }
}

void TJSONValue::AppendReadable(std::string& out) const
{
    switch (m_kind)
    {
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
        out += m_text;
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
    return *m_items[index];
}

TJSONValue& TJSONArray::SetValue(int index, std::unique_ptr<TJSONValue> value)
{
    CheckIndex(index);
    if (!value)
        value = std::make_unique<TJSONValue>();
    m_items[index] = std::move(value);
    return *m_items[index];
}

TJSONValue& TJSONArray::Add()
{
    m_items.push_back(std::make_unique<TJSONValue>());
    return *m_items.back();
}

TJSONValue& TJSONArray::Add(std::unique_ptr<TJSONValue> value)
{
    if (!value)
        value = std::make_unique<TJSONValue>();
    m_items.push_back(std::move(value));
    return *m_items.back();
}

void TJSONArray::Delete(int index)
{
    CheckIndex(index);
    m_items.erase(m_items.begin() + index);
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
    std::vector<std::unique_ptr<TJSONValue>> items;
    if (source)
    {
        items.reserve(source->m_items.size());
        for (const auto& item : source->m_items)
        {
            items.push_back(std::make_unique<TJSONValue>());
            items.back()->CopyFrom(*item);
        }
    }
    m_items.swap(items);
}

std::string TJSONArray::ToJSONString() const
{
    std::string out;
    AppendJSONString(out);
    return out;
}

std::string TJSONArray::GetAsString() const
{
    std::string out;
    AppendReadable(out);
    return out;
}

void TJSONArray::AppendJSONString(std::string& out) const
{
    out += '[';
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        if (i > 0)
            out += ',';
        m_items[i]->AppendJSONString(out);
    }
    out += ']';
}

void TJSONArray::AppendReadable(std::string& out) const
{
    out += '[';
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        if (i > 0)
            out += ", ";
        m_items[i]->AppendReadable(out);
    }
    out += ']';
}

// ---------------------------------------------------------------------------
// TJSONObject

// Folded name -> member position, kept only while the object is wide.
struct TJSONObject::NameIndex
{
    std::unordered_map<std::string, int> Positions;
};

namespace
{
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
    m_parseTime = 0;
    TJSONParser parser(text);
    try
    {
        parser.ParseTopObject(*this);
    }
    catch (...)
    {
        m_parseTime = EndMeasure(started);
        throw;
    }
    m_parseTime = EndMeasure(started);
}

void TJSONObject::ParseFromStream(TStream& stream)
{
    Clear();
    int64_t started = 0;
    BeginMeasure(started);
    m_parseTime = 0;
    TJSONParser parser(stream);
    try
    {
        parser.ParseTopObject(*this);
    }
    catch (...)
    {
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
    for (size_t i = 0; i < m_members.size(); ++i)
    {
        if (SameName(m_members[i].Name, name))
            return static_cast<int>(i);
    }
    return -1;
}

TJSONValue& TJSONObject::AppendMember(std::string_view name)
{
    m_members.push_back(Member{std::string(name), std::make_unique<TJSONValue>()});
    const int position = static_cast<int>(m_members.size()) - 1;
    if (m_index)
    {
        m_index->Positions.emplace(AnsiUpperCase(name), position);
    }
    else if (m_members.size() >= kIndexFrom)
    {
        m_index = std::make_unique<NameIndex>();
        m_index->Positions.reserve(m_members.size() * 2);
        for (size_t i = 0; i < m_members.size(); ++i)
            m_index->Positions.emplace(AnsiUpperCase(m_members[i].Name), static_cast<int>(i));
    }
    return *m_members.back().Value;
}

TJSONValue& TJSONObject::GetValues(std::string_view name)
{
    const int index = IndexOfName(name);
    if (index >= 0)
        return *m_members[index].Value;
    return AppendMember(name);
}

void TJSONObject::SetValues(std::string_view name, const TJSONValue& value)
{
    GetValues(name).Assign(value);
}

const std::string& TJSONObject::GetPropName(int index) const
{
    CheckIndex(index);
    return m_members[index].Name;
}

TJSONValue& TJSONObject::GetPropValue(int index) const
{
    CheckIndex(index);
    return *m_members[index].Value;
}

void TJSONObject::SetPropValue(int index, const TJSONValue& value)
{
    CheckIndex(index);
    SetValues(m_members[index].Name, value);
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
    if (source)
    {
        copy.m_members.reserve(source->m_members.size());
        for (const auto& member : source->m_members)
            copy.AppendMember(member.Name).CopyFrom(*member.Value);
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
    AppendJSONString(out);
    return out;
}

std::string TJSONObject::GetAsString() const
{
    std::string out;
    AppendReadable(out);
    return out;
}

void TJSONObject::AppendJSONString(std::string& out) const
{
    out += '{';
    for (size_t i = 0; i < m_members.size(); ++i)
    {
        if (i > 0)
            out += ",\r\n";
        out += '"';
        const std::string& name = m_members[i].Name;
        if (name.find('"') == std::string::npos)
            out += name;
        else
            out += StringReplace(name, "\"", "\"\"", {rfReplaceAll});
        out += "\":";
        m_members[i].Value->AppendJSONString(out);
    }
    out += '}';
}

void TJSONObject::AppendReadable(std::string& out) const
{
    std::string text;
    for (size_t i = 0; i < m_members.size(); ++i)
    {
        if (i > 0)
            out += kCRLF;
        out += m_members[i].Name;
        out += ':';
        text.clear();
        m_members[i].Value->AppendReadable(text);
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
    if (remaining > 0)
    {
        m_owned.resize(static_cast<size_t>(remaining));
        stream.ReadBuffer(m_owned.data(), remaining);
    }
    m_text = m_owned;
}

void TJSONParser::RaiseInvalid(char expected) const
{
    throw Exception(Format("Invalid JSON around position: %d; TokenType: %s", ReadIndex(),
                           std::string(1, expected)));
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
    while (m_pos < size)
    {
        const unsigned char c = static_cast<unsigned char>(text[m_pos]);
        if (c == 0 || c > 32)
            break;
        ++m_pos;
    }
    if (m_pos >= size || text[m_pos] == 0)
    {
        m_tokenType = 0;
        m_token = {};
        return;
    }
    const char c = text[m_pos];
    switch (c)
    {
    case '{':
    case '}':
    case '[':
    case ']':
    case ',':
    case ':':
        ++m_pos;
        m_tokenType = c;
        m_token = m_text.substr(m_pos - 1, 1);
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
    size_t i = start;
    while (i < size && text[i] != '"' && text[i] != '\\')
        ++i;
    if (i >= size || text[i] == '"')
    {
        m_token = m_text.substr(start, i - start);
        m_pos = i < size ? i + 1 : size;
        return;
    }
    m_buffer.assign(text + start, i - start);
    m_pos = i;
    while (m_pos < size)
    {
        const char c = text[m_pos++];
        if (c == '"')
            break;
        if (c != '\\')
        {
            m_buffer.push_back(c);
            continue;
        }
        if (m_pos >= size)
            break;
        const char e = text[m_pos++];
        switch (e)
        {
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
        if (m_text.size() - m_pos < 4)
        {
            m_pos = m_text.size();
            return false;
        }
        cp = 0;
        bool hex = true;
        for (int k = 0; k < 4; ++k)
        {
            const int d = HexDigit(static_cast<unsigned char>(m_text[m_pos + k]));
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
    if (cp >= 0xD800 && cp <= 0xDBFF)
    {
        // A high surrogate pairs with a directly following low one.
        const size_t size = m_text.size();
        if (m_pos + 6 <= size && m_text[m_pos] == '\\' && m_text[m_pos + 1] == 'u')
        {
            uint32_t low = 0;
            bool hex = true;
            for (int k = 0; k < 4; ++k)
            {
                const int d = HexDigit(static_cast<unsigned char>(m_text[m_pos + 2 + k]));
                if (d < 0)
                    hex = false;
                low = low * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
            }
            if (hex && low >= 0xDC00 && low <= 0xDFFF)
            {
                m_pos += 6;
                AppendUtf8(m_buffer, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                return;
            }
        }
        cp = 0xFFFD;
    }
    else if (cp >= 0xDC00 && cp <= 0xDFFF)
    {
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
    bool digits = true;
    while (i < size)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= 32 || c == ',' || c == ']' || c == '}')
            break;
        digits = digits && IsDigit(c);
        ++i;
    }
    m_pos = i;
    m_token = m_text.substr(start, i - start);
    if (digits)
    {
        m_tokenType = 'I';
        return;
    }
    m_tokenType = 'N';
    if (m_token.size() == 4)
    {
        if (AnsiSameText(m_token, "true"))
            m_tokenType = 'T';
        else if (AnsiSameText(m_token, "null"))
            m_tokenType = '0';
    }
    else if (m_token.size() == 5 && AnsiSameText(m_token, "false"))
    {
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
    while (m_tokenType == 'A')
    {
        // GetValues copies the name before the next token reuses the buffer.
        TJSONValue& target = obj.GetValues(m_token);
        NextToken();
        Expect(':');
        ParseValue(target);
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
    NextToken();
    while (m_tokenType != ']')
    {
        ParseValue(arr.Add());
        if (m_tokenType != ',')
            break;
        NextToken();
    }
    if (m_tokenType != ']')
        RaiseInvalid(']');
    --m_depth;
    if (m_depth > 0)
        NextToken();
}

void TJSONParser::StoreInteger(TJSONValue& value) const
{
    // Digits only; at most 19 digits fit in 64 bits.
    uint64_t v = 0;
    bool overflow = m_token.size() > 20;
    for (size_t i = 0; i < m_token.size() && !overflow; ++i)
    {
        const uint64_t d = static_cast<uint64_t>(m_token[i] - '0');
        if (v > (static_cast<uint64_t>(INT64_MAX) - d) / 10)
            overflow = true;
        else
            v = v * 10 + d;
    }
    if (overflow)
        throw EConvertError(Format("'%s' is not a valid integer value", std::string(m_token)));
    if (v <= 2147483646u)
        value.SetAsInteger(static_cast<int32_t>(v));
    else
        value.SetAsInt64(static_cast<int64_t>(v));
}

void TJSONParser::StoreNumber(TJSONValue& value) const
{
    const char* first = m_token.data();
    const char* last = first + m_token.size();
    const bool plain = !m_token.empty() && (IsDigit(static_cast<unsigned char>(m_token[0])) ||
                                            (m_token[0] == '-' && m_token.size() > 1 &&
                                             IsDigit(static_cast<unsigned char>(m_token[1]))));
    if (plain)
    {
        double d = 0;
        auto res = std::from_chars(first, last, d, std::chars_format::general);
        if (res.ec == std::errc() && res.ptr == last)
        {
            value.SetAsNumber(d);
            return;
        }
    }
    // Everything else takes the platform's conversion, with its error text.
    value.SetAsNumber(StrToFloat(m_token, PointSettings()));
}

void TJSONParser::ParseValue(TJSONValue& value)
{
    switch (m_tokenType)
    {
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

namespace
{

bool IsPlaceholderDelimiter(char c)
{
    switch (c)
    {
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

std::string NembraJSON::StrToJSON(std::string_view s)
{
    std::string r;
    r.reserve(s.size() + 2);
    for (size_t i = 0; i < s.size(); ++i)
    {
        const char c = s[i];
        if (c == '"')
        {
            r += '\'';
        }
        else if (c == '\r')
        {
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            r += "\\n";
        }
        else if (c == '\n')
        {
            r += "\\n";
        }
        else
        {
            r += c;
        }
    }

    if (!r.empty() && r[0] == '\x03')
    {
        // A pattern: written as /pattern/.
        r.erase(0, 1);
        if (r.empty() || r[0] != '/')
            r = "/" + r + "/";
        return r;
    }

    const size_t p = r.find('%');
    if (r.find(';') == std::string::npos && p != std::string::npos && p + 1 < r.size() &&
        IsDigit(static_cast<unsigned char>(r[p + 1])))
    {
        // A placeholder: the text around it becomes quoted parts joined by "+".
        size_t e = p + 2;
        while (e < r.size() && !IsPlaceholderDelimiter(r[e]))
            ++e;
        if (e < r.size())
        {
            r.insert(e, "+\"");
            r += '"';
        }
        if (p != 0)
        {
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
