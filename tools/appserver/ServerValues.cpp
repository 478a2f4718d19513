#include "ServerValues.h"
#include "TextCase.h"

#include "SqlFunctions.h"
#include "Wire.h"

#include <openssl/evp.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace FieldType {
bool IsBinary(int t)
{
    return t == Bytes || t == VarBytes || t == Blob || t == Graphic || (t >= ParadoxOle && t <= Cursor) ||
           (t >= ADT && t <= OraClob);
}
} // namespace FieldType

namespace {



[[noreturn]] void BadParams(const std::string& why)
{
    throw Wire::EProcedureError(Wire::ErrGeneral, "Invalid parameters: " + why);
}

std::string DecodeBase64(std::string_view text)
{
    std::string clean;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            clean += c;
    while (clean.size() % 4 != 0)
        clean += '=';
    std::string out(clean.size() / 4 * 3 + 1, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(clean.data()), static_cast<int>(clean.size()));
    if (n < 0)
        BadParams("a value is not Base64 text");
    size_t size = static_cast<size_t>(n);
    for (size_t i = clean.size(); i > 0 && clean[i - 1] == '=' && size > 0; --i)
        --size;
    out.resize(size);
    return out;
}

std::string NumberText(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", v);
    if (std::strtod(text, nullptr) != v)
        std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

int JsonInt(const rapidjson::Value& v, const char* member)
{
    if (!v.IsObject() || !v.HasMember(member))
        return 0;
    const rapidjson::Value& m = v[member];
    if (m.IsInt())
        return m.GetInt();
    if (m.IsString())
        return std::atoi(m.GetString());
    BadParams(std::string(member) + " is not a number");
}

bool IsIntegerType(int t)
{
    return t == FieldType::SmallInt || t == FieldType::Integer || t == FieldType::Word ||
           t == FieldType::AutoInc || t == FieldType::LargeInt;
}

bool IsFloatType(int t)
{
    return t == FieldType::Float || t == FieldType::Currency || t == FieldType::BCD || t == FieldType::FMTBcd;
}

bool IsDateType(int t)
{
    return t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime || t == FieldType::TimeStamp;
}

// A date parameter as the server keeps dates.
std::string DateParam(const std::string& text, int dataType)
{
    if (dataType == FieldType::Time && text.size() >= 5 && text[2] == ':')
        return "1899-12-30 " + (text.size() == 5 ? text + ":00" : text.substr(0, 8));
    if (auto normal = NormalizeDateText(text))
        return *normal;
    return text;
}

TSqlValue ParamValue(const rapidjson::Value& v, int dataType)
{
    if (v.IsNull())
        return TSqlValue::Null();
    if (v.IsBool())
        return TSqlValue::Integer(v.GetBool() ? 1 : 0);
    if (v.IsNumber()) {
        if (v.IsInt64() && !IsFloatType(dataType))
            return TSqlValue::Integer(v.GetInt64());
        return TSqlValue::Real(v.GetDouble());
    }
    if (!v.IsString())
        BadParams("a value is neither text, number nor null");
    const std::string text(v.GetString(), v.GetStringLength());
    // Oracle keeps no empty texts: '' is NULL.
    if (text.empty())
        return TSqlValue::Null();
    if (FieldType::IsBinary(dataType))
        return TSqlValue::FromBlob(DecodeBase64(text));
    if (IsIntegerType(dataType) || IsFloatType(dataType)) {
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (end == text.c_str() + text.size()) {
            if (IsIntegerType(dataType) && d == std::floor(d) && std::fabs(d) < 9.0e15)
                return TSqlValue::Integer(static_cast<int64_t>(d));
            return TSqlValue::Real(d);
        }
        return TSqlValue::FromText(text);
    }
    if (dataType == FieldType::Boolean) {
        const std::string upper = UpperText(text);
        if (upper == "TRUE" || upper == "FALSE")
            return TSqlValue::Integer(upper == "TRUE" ? 1 : 0);
    }
    if (IsDateType(dataType))
        return TSqlValue::FromText(DateParam(text, dataType));
    return TSqlValue::FromText(text);
}

} // namespace

TSqlValue TSqlValue::Integer(int64_t v)
{
    TSqlValue r;
    r.Type = vtInteger;
    r.Int = v;
    return r;
}

TSqlValue TSqlValue::Real(double v)
{
    TSqlValue r;
    r.Type = vtFloat;
    r.Float = v;
    return r;
}

TSqlValue TSqlValue::FromText(std::string v)
{
    TSqlValue r;
    r.Type = vtText;
    r.Text = std::move(v);
    return r;
}

TSqlValue TSqlValue::FromBlob(std::string v)
{
    TSqlValue r;
    r.Type = vtBlob;
    r.Text = std::move(v);
    return r;
}

std::string TSqlValue::AsText() const
{
    switch (Type) {
    case vtNull:
        return {};
    case vtInteger:
        return std::to_string(Int);
    case vtFloat:
        return NumberText(Float);
    default:
        return Text;
    }
}

TSqlParam DeclareParam(std::string name, int dataType, int paramType)
{
    TSqlParam p;
    p.Name = std::move(name);
    p.DataType = dataType;
    p.ParamType = paramType;
    return p;
}

TSqlParams ParseParams(const std::string& json)
{
    TSqlParams params;
    if (json.find_first_not_of(" \t\r\n") == std::string::npos)
        return params;
    rapidjson::Document doc;
    const std::string standard = Wire::ToStandardEscapes(json);
    doc.Parse(standard.c_str(), standard.size());
    if (doc.HasParseError() || !doc.IsObject())
        BadParams("not a JSON object");
    // By index: comparing rapidjson's member iterators is ambiguous in C++20.
    for (rapidjson::SizeType i = 0; i < doc.MemberCount(); ++i) {
        const auto m = doc.MemberBegin() + i;
        TSqlParam p;
        p.Name.assign(m->name.GetString(), m->name.GetStringLength());
        const rapidjson::Value& v = m->value;
        if (!v.IsObject())
            BadParams("parameter " + p.Name + " is not an object");
        p.DataType = JsonInt(v, "DataType");
        p.ParamType = JsonInt(v, "ParamType");
        if (v.HasMember("Value"))
            p.Value = ParamValue(v["Value"], p.DataType);
        params.push_back(std::move(p));
    }
    return params;
}

const TSqlParam* FindParam(const TSqlParams& params, std::string_view name)
{
    for (const TSqlParam& p : params)
        if (SameNameText(p.Name, name))
            return &p;
    return nullptr;
}

TSqlParam* FindParam(TSqlParams& params, std::string_view name)
{
    return const_cast<TSqlParam*>(FindParam(static_cast<const TSqlParams&>(params), name));
}

void WriteCell(TJsonWriter& json, const TSqlValue& value, int dataType)
{
    if (value.IsNull()) {
        json.Null();
        return;
    }
    if (dataType == FieldType::Memo || dataType == FieldType::FmtMemo || FieldType::IsBinary(dataType)) {
        const std::string encoded = Wire::Base64(value.AsText());
        json.String(encoded.data(), static_cast<rapidjson::SizeType>(encoded.size()));
        return;
    }
    if (IsIntegerType(dataType) || IsFloatType(dataType)) {
        if (value.Type == TSqlValue::vtInteger) {
            json.Int64(value.Int);
            return;
        }
        if (value.Type == TSqlValue::vtFloat) {
            if (!std::isfinite(value.Float))
                json.Null();
            else if (IsIntegerType(dataType) && value.Float == std::floor(value.Float) &&
                     std::fabs(value.Float) < 9.0e15)
                json.Int64(static_cast<int64_t>(value.Float));
            else
                json.Double(value.Float);
            return;
        }
    }
    if (IsDateType(dataType) && value.Type == TSqlValue::vtText) {
        if (auto normal = NormalizeDateText(value.Text)) {
            const std::string& text = dataType == FieldType::Date ? normal->substr(0, 10) : *normal;
            json.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
            return;
        }
    }
    json.String(value.AsText());
}

void WriteParams(TJsonWriter& json, const TSqlParams& params)
{
    json.StartObject();
    for (const TSqlParam& p : params) {
        json.Key(p.Name.data(), static_cast<rapidjson::SizeType>(p.Name.size()));
        json.StartObject();
        json.Key("DataType");
        json.Int(p.DataType);
        json.Key("ParamType");
        json.Int(p.ParamType);
        json.Key("Value");
        if (p.Value.IsNull())
            json.Null();
        else if (FieldType::IsBinary(p.DataType)) {
            const std::string encoded = Wire::Base64(p.Value.AsText());
            json.String(encoded.data(), static_cast<rapidjson::SizeType>(encoded.size()));
        } else if (p.Value.Type == TSqlValue::vtInteger && p.DataType != FieldType::String)
            json.Int64(p.Value.Int);
        else if (p.Value.Type == TSqlValue::vtFloat && p.DataType != FieldType::String && std::isfinite(p.Value.Float))
            json.Double(p.Value.Float);
        else if (IsDateType(p.DataType) && p.Value.Type == TSqlValue::vtText) {
            std::string text = NormalizeDateText(p.Value.Text).value_or(p.Value.Text);
            if (p.DataType == FieldType::Date)
                text = text.substr(0, 10);
            else if (p.DataType == FieldType::Time && text.size() >= 19)
                text = text.substr(11, 8);
            json.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
        } else
            json.String(p.Value.AsText());
        json.EndObject();
    }
    json.EndObject();
}

TFieldInfo FieldFromDeclaredType(const std::string& name, const std::string& declared)
{
    TFieldInfo f;
    f.Name = name;
    const std::string t = UpperText(declared);
    int size = 0;
    int scale = 0;
    const size_t open = t.find('(');
    if (open != std::string::npos) {
        size = std::atoi(t.c_str() + open + 1);
        const size_t comma = t.find(',', open);
        if (comma != std::string::npos)
            scale = std::atoi(t.c_str() + comma + 1);
    }
    const std::string base = t.substr(0, open);
    auto has = [&](const char* part) { return base.find(part) != std::string::npos; };
    if (has("CLOB") || has("MEMO") || base == "LONG") {
        f.DataType = FieldType::Memo;
    } else if (has("BLOB") || has("RAW") || has("BINARY")) {
        f.DataType = FieldType::Blob;
    } else if (has("DATE") || has("TIME")) {
        f.DataType = FieldType::DateTime;
    } else if (has("BIGINT")) {
        f.DataType = FieldType::LargeInt;
    } else if (has("INT")) {
        f.DataType = FieldType::Integer;
    } else if (has("NUMBER") || has("NUMERIC") || has("DEC")) {
        if (size > 0 && scale == 0)
            f.DataType = size <= 9 ? FieldType::Integer : FieldType::LargeInt;
        else
            f.DataType = FieldType::Float;
    } else if (has("REAL") || has("FLOA") || has("DOUB")) {
        f.DataType = FieldType::Float;
    } else {
        f.DataType = FieldType::String;
        // An undeclared length is Oracle's longest VARCHAR2, so that no value
        // is cut by the client's field.
        f.Size = size > 0 ? size : 4000;
    }
    return f;
}
