#include "platform/Params.h"

#include "platform/Fields.h"

#include <functional>

// ---------------------------------------------------------------------------
// TParam

TFieldType VarTypeToDataType(TVarType varType)
{
    switch (varType & varTypeMask) {
    case varSmallint:
    case varShortInt:
    case varByte:
        return ftSmallint;
    case varWord:
        return ftWord;
    case varInteger:
        return ftInteger;
    case varLongWord:
        return ftLargeint; // beyond the Integer range
    case varInt64:
        return ftLargeint;
    case varSingle:
    case varDouble:
        return ftFloat;
    case varCurrency:
        // Currency values travel as BCD parameters, as the server expects.
        return ftBCD;
    case varDate:
        return ftDateTime;
    case varBoolean:
        return ftBoolean;
    case varString:
        return ftString;
    case varOleStr:
        return ftWideString;
    case varVariant:
        return ftVariant;
    default:
        return ftUnknown;
    }
}

void TParam::SetDataType(TFieldType value)
{
    m_dataType = value;
}

void TParam::SetValue(const Variant& value)
{
    if (m_dataType == ftUnknown && !VarIsNull(value) && !VarIsEmpty(value))
        m_dataType = VarTypeToDataType(VarType(value));
    m_value = value;
    m_bound = !VarIsEmpty(value);
}

void TParam::SetTyped(TFieldType type, const Variant& value)
{
    m_dataType = type;
    m_value = value;
    m_bound = true;
}

void TParam::Clear()
{
    m_value = Variant::Null();
}

void TParam::Assign(const TPersistent& source)
{
    const auto* param = dynamic_cast<const TParam*>(&source);
    if (param == nullptr) {
        TCollectionItem::Assign(source);
        return;
    }
    m_name = param->m_name;
    m_dataType = param->m_dataType;
    m_paramType = param->m_paramType;
    m_size = param->m_size;
    m_precision = param->m_precision;
    m_numericScale = param->m_numericScale;
    m_bound = param->m_bound;
    m_value = param->m_value;
}

void TParam::AssignField(TField* field)
{
    AssignFieldValue(field, field->Value());
}

void TParam::AssignFieldValue(TField* field, const Variant& value)
{
    m_dataType = field->DataType();
    m_size = field->Size();
    m_value = VarIsEmpty(value) ? Variant::Null() : value;
    m_bound = true;
}

// ---------------------------------------------------------------------------
// TParams

TParams::TParams(TPersistent* owner) : TOwnedCollection(owner, CollectionItemClass<TParam>()) {}

TParam* TParams::CreateParam(TFieldType fieldType, const std::string& name, TParamType paramType)
{
    TParam* param = AddParameter();
    param->SetName(name);
    param->SetDataType(fieldType);
    param->SetParamType(paramType);
    return param;
}

TParam* TParams::FindParam(const std::string& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), name))
            return Items(i);
    return nullptr;
}

TParam* TParams::ParamByName(const std::string& name) const
{
    TParam* param = FindParam(name);
    if (param == nullptr)
        DatabaseErrorFmt(DBConsts::SParameterNotFound, {name});
    return param;
}

void TParams::RemoveParam(TParam* param)
{
    if (param != nullptr && param->Collection() == this)
        Delete(param->Index());
}

void TParams::AssignValues(const TParams& source)
{
    for (int i = 0; i < source.Count(); ++i) {
        TParam* from = source.Items(i);
        if (TParam* to = FindParam(from->Name())) {
            to->SetDataType(from->DataType());
            to->SetValue(from->Value());
            to->SetBound(from->Bound());
        }
    }
}

bool TParams::IsEqual(const TParams& other) const
{
    if (Count() != other.Count())
        return false;
    for (int i = 0; i < Count(); ++i) {
        const TParam* a = Items(i);
        const TParam* b = other.Items(i);
        if (a->Name() != b->Name() || a->DataType() != b->DataType() || a->ParamType() != b->ParamType() ||
            a->Bound() != b->Bound() || !VarSameValue(a->Value(), b->Value()))
            return false;
    }
    return true;
}

Variant TParams::ParamValues(const std::string& names) const
{
    const std::vector<std::string> list = SplitFieldNames(names);
    if (list.size() == 1)
        return ParamByName(list[0])->Value();
    std::vector<Variant> values;
    for (const std::string& name : list)
        values.push_back(ParamByName(name)->Value());
    return VarArrayOf(values);
}

void TParams::SetParamValues(const std::string& names, const Variant& values)
{
    const std::vector<std::string> list = SplitFieldNames(names);
    if (list.size() == 1) {
        ParamByName(list[0])->SetValue(values);
        return;
    }
    for (size_t i = 0; i < list.size(); ++i)
        ParamByName(list[i])->SetValue(values[static_cast<int>(i)]);
}

// ---------------------------------------------------------------------------
// The ":Name" parser

namespace {
bool IsNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    // Letters, digits, '_' and every byte of a UTF-8 sequence.
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u >= 0x80;
}

bool IsQuote(char c)
{
    return c == '\'' || c == '"' || c == '`';
}

// Walks `sql`, giving each parameter name to `onParam` and building the text
// with the references replaced by '?'.
std::string Parse(const std::string& sql, const std::function<void(const std::string&)>& onParam)
{
    std::string out;
    out.reserve(sql.size());
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const char c = sql[i];
        if (IsQuote(c)) {
            // A literal or quoted identifier runs to its closing quote (a
            // doubled quote stays inside); an unterminated one to the end.
            const size_t start = i++;
            while (i < n) {
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.append(sql, start, i - start);
            continue;
        }
        if (c == ':') {
            if (i + 1 < n && sql[i + 1] == ':') {
                out += ':';
                i += 2;
                continue;
            }
            if (i + 1 < n && sql[i + 1] == '"') {
                const size_t close = sql.find('"', i + 2);
                if (close != std::string::npos && close > i + 2) {
                    onParam(sql.substr(i + 2, close - i - 2));
                    out += '?';
                    i = close + 1;
                    continue;
                }
            }
            size_t end = i + 1;
            while (end < n && IsNameChar(sql[end]))
                ++end;
            if (end > i + 1) {
                onParam(sql.substr(i + 1, end - i - 1));
                out += '?';
                i = end;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}
} // namespace

std::vector<std::string> ParseSQLParamNames(const std::string& sql)
{
    std::vector<std::string> names;
    Parse(sql, [&](const std::string& name) {
        for (const std::string& known : names)
            if (AnsiSameText(known, name))
                return;
        names.push_back(name);
    });
    return names;
}

std::string TParams::ParseSQL(const std::string& sql, bool doCreate)
{
    if (!doCreate)
        return Parse(sql, [](const std::string&) {});
    BeginUpdate();
    try {
        Clear();
        // One parameter per name: a name used twice is one value, and a list
        // sent on as an object must not hold the same key twice.
        for (const std::string& name : ParseSQLParamNames(sql))
            AddParameter()->SetName(name);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return Parse(sql, [](const std::string&) {});
}
