// The JSON codecs of NembraLib: fields, parameters and whole datasets as the
// texts the server reads, and parameter replies read back. The texts are
// built by concatenation, not through the document model, because they are
// the bulk of what a request sends.

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "platform/DB.h"
#include "platform/StringList.h"

namespace {

// How a value travels, by field type.
enum class TokenKind
{
    Integer,
    Boolean,
    Float,
    Date,
    Time,
    DateTime,
    Binary,
    Text
};

TokenKind TokenKindOf(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
        return TokenKind::Integer;
    case ftBoolean:
        return TokenKind::Boolean;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return TokenKind::Float;
    case ftDate:
        return TokenKind::Date;
    case ftTime:
        return TokenKind::Time;
    case ftDateTime:
    case ftTimeStamp:
        return TokenKind::DateTime;
    default:
        return IsBinaryFieldType(type) ? TokenKind::Binary : TokenKind::Text;
    }
}

std::string Quoted(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}

// The token of a value that is not null, read through the accessors that a
// field and a parameter share.
template <class Source> std::string ValueToken(TFieldType type, Source& source)
{
    switch (TokenKindOf(type)) {
    case TokenKind::Integer:
        return source.AsString();
    case TokenKind::Boolean:
        return BoolToJSON(source.AsBoolean());
    case TokenKind::Float: {
        // The text follows the user's decimal separator; the wire wants a point.
        std::string text = source.AsString();
        std::replace(text.begin(), text.end(), ',', '.');
        return text;
    }
    case TokenKind::Date:
        return Quoted(DateToJSONStr(source.AsDateTime()));
    case TokenKind::Time:
        return Quoted(TimeToJSONStr(source.AsDateTime()));
    case TokenKind::DateTime:
        return Quoted(DateTimeToJSONStr(source.AsDateTime()));
    case TokenKind::Binary:
        return Quoted(EncodeBase64(source.AsString()));
    case TokenKind::Text:
        break;
    }
    return StrToJSON(source.AsString());
}

// Names in the texts are double-quoted with inner quotes doubled.
std::string QuotedName(std::string_view name)
{
    return AnsiQuotedStr(name, '"');
}

// A member read without adding it to the object (null when missing).
const TJSONValue& Member(const TJSONObject& obj, std::string_view name)
{
    static const TJSONValue missing;
    const int index = obj.IndexOfName(name);
    return index < 0 ? missing : obj.GetPropValue(index);
}

TParamType ParamTypeFromOrdinal(int ordinal)
{
    if (ordinal < ptUnknown || ordinal > ptResult)
        throw EDatabaseError(Format("Invalid parameter type ordinal: %d", ordinal));
    return static_cast<TParamType>(ordinal);
}

// Sets a parameter from its member of a parameter object: the types are
// taken from the member where `takeTypes` says so, the value always.
void ReadParamMember(TParam& param, const TJSONValue& member, bool takeParamType, bool takeDataType)
{
    const TJSONObject& obj = member.GetAsObject();
    if (takeParamType)
        param.SetParamType(ParamTypeFromOrdinal(Member(obj, "ParamType").GetAsInteger()));
    if (takeDataType)
        param.SetDataType(FieldTypeFromOrdinal(Member(obj, "DataType").GetAsInteger()));
    std::string text = Member(obj, "Value").GetAsString();
    if (IsBinaryFieldType(param.DataType()))
        text = DecodeBase64(text);
    ParamFromString(&param, text);
}

// One field's token in a dataset text; binary values can be left out.
std::string DataSetToken(TField* field, bool excludeBlobs)
{
    if (excludeBlobs && IsBinaryFieldType(field->DataType()))
        return field->IsNull() ? "null" : "\"\"";
    return FieldToJSON(field);
}

bool MayWriteRecord(TDataSet& dataSet, int written, int maxRecords)
{
    return !dataSet.Eof() && (maxRecords < 0 || written < maxRecords);
}

// After a record is written: the next one, and the Tag counts it.
void RecordWritten(TDataSet& dataSet)
{
    dataSet.Next();
    dataSet.SetTag(dataSet.Tag() + 1);
}

// Disables the dataset's controls for as long as it lives.
class TControlsDisabled
{
  public:
    explicit TControlsDisabled(TDataSet& dataSet) : m_dataSet(dataSet) { m_dataSet.DisableControls(); }
    ~TControlsDisabled() { m_dataSet.EnableControls(); }
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;

  private:
    TDataSet& m_dataSet;
};

} // namespace

// ---------------------------------------------------------------------------
// Fields and parameters

bool FieldIsNull(TField* field)
{
    if (field->DataType() == ftString)
        return field->AsString().empty();
    return field->IsNull();
}

std::string FieldToJSON(TField* field)
{
    if (field == nullptr || FieldIsNull(field))
        return "null";
    try {
        return ValueToken(field->DataType(), *field);
    } catch (const Exception& e) {
        throw Exception(e.Message() + ". Column: " + field->FieldName());
    }
}

std::string ParamToJSON(const TParam* param)
{
    if (param == nullptr || param->IsNull() || param->DataType() == ftUnknown)
        return "null";
    std::string token;
    try {
        token = ValueToken(param->DataType(), *param);
    } catch (const Exception& e) {
        throw Exception(e.Message() + ". Parameter: " + param->Name());
    }
    return token.empty() ? "null" : token;
}

std::string FieldsToJSON(const TDataSet& dataSet)
{
    std::string out = "[";
    bool first = true;
    for (TField* field : dataSet.Fields()) {
        if (!first)
            out += ',';
        first = false;
        out += Format("{\"Name\":%s,\"DataType\":%d,\"Size\":%d}", QuotedName(field->FieldName()),
                      static_cast<int>(field->DataType()), field->Size());
    }
    out += ']';
    return out;
}

std::string ParamsToJSON(const TParams& params, TParamTypes types)
{
    std::string out = "{";
    bool first = true;
    for (int i = 0; i < params.Count(); ++i) {
        const TParam* param = params.Items(i);
        if (!types.Contains(param->ParamType()))
            continue;
        if (!first)
            out += ',';
        first = false;
        out += Format("%s:{\"DataType\":%d,\"ParamType\":%d,\"Value\":%s}", QuotedName(param->Name()),
                      static_cast<int>(param->DataType()), static_cast<int>(param->ParamType()),
                      ParamToJSON(param));
    }
    out += '}';
    return out;
}

void ParamsFromJSON(TParams& params, const TJSONObject& json, TParamTypes types)
{
    // Every member is read into a copy first, so that a malformed reply
    // changes no parameter.
    std::vector<std::pair<TParam*, std::unique_ptr<TParam>>> updates;
    for (int i = 0; i < json.GetPropCount(); ++i) {
        TParam* param = params.FindParam(json.GetPropName(i));
        if (param == nullptr || !types.Contains(param->ParamType()))
            continue;
        auto copy = std::make_unique<TParam>();
        copy->Assign(*param);
        ReadParamMember(*copy, json.GetPropValue(i), copy->ParamType() == ptUnknown,
                        copy->DataType() == ftUnknown);
        updates.emplace_back(param, std::move(copy));
    }
    for (auto& [param, copy] : updates)
        param->Assign(*copy);
}

void ParamsFromJSON(TParams& params, std::string_view json, TParamTypes types)
{
    if (Trim(json).empty())
        return;
    const TJSONObject obj(json);
    ParamsFromJSON(params, obj, types);
}

void AddParamsFromJSON(TParams& params, const TJSONObject& json)
{
    std::vector<std::unique_ptr<TParam>> read;
    for (int i = 0; i < json.GetPropCount(); ++i) {
        auto param = std::make_unique<TParam>();
        param->SetName(json.GetPropName(i));
        ReadParamMember(*param, json.GetPropValue(i), true, true);
        read.push_back(std::move(param));
    }
    params.Clear();
    for (const auto& param : read)
        params.AddParameter()->Assign(*param);
}

void AddParamsFromJSON(TParams& params, std::string_view json)
{
    if (Trim(json).empty())
        return;
    const TJSONObject obj(json);
    AddParamsFromJSON(params, obj);
}

void UpdateNullParams(TParams& params)
{
    for (int i = 0; i < params.Count(); ++i)
        if (params.Items(i)->IsNull())
            params.Items(i)->SetDataType(ftString);
}

void ClearParamValues(TParams& params)
{
    for (int i = 0; i < params.Count(); ++i)
        params.Items(i)->Clear();
}

TParam* SetParam(TParams& params, const std::string& name, const Variant& value, TParamType paramType,
                 TFieldType dataType)
{
    TParam* param = params.AddParameter();
    param->SetName(name);
    param->SetDataType(dataType);
    param->SetValue(value);
    param->SetParamType(paramType);
    if (param->DataType() == ftUnknown)
        param->SetDataType(ftString);
    return param;
}

void AssignParamFromVariant(TParam* param, const Variant& value)
{
    if (UpperCase(param->Name()).find("_BLOB_") != std::string::npos)
        param->SetDataType(ftBlob);
    // A NULL from a form or a query clears the parameter, whatever its type.
    if (VarIsNull(value) || VarIsEmpty(value)) {
        if (param->DataType() == ftUnknown)
            param->SetValue(value);
        else
            param->Clear();
        return;
    }
    switch (param->DataType()) {
    case ftUnknown:
        param->SetValue(value);
        break;
    case ftSmallint:
    case ftInteger:
        param->SetValue(Variant(value.AsInteger()));
        break;
    case ftLargeint:
        param->SetValue(Variant(static_cast<long long>(value.AsInt64())));
        break;
    case ftBoolean:
        param->SetValue(Variant(value.AsBoolean()));
        break;
    case ftFloat:
    case ftBCD:
        param->SetValue(Variant(value.AsDouble()));
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        param->SetValue(Variant::FromDate(value.AsDateTime()));
        break;
    default:
        // Blobs and memos take the text as their bytes; every other type the text.
        param->SetValue(Variant(VarToStr(value)));
        break;
    }
}

void ParamFromString(TParam* param, std::string_view s)
{
    if (s.empty()) {
        param->Clear();
        return;
    }
    const std::string text(s);
    switch (param->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
    case ftWord:
        param->SetValue(Variant(StrToInt(text)));
        break;
    case ftBoolean:
        param->SetValue(Variant(StrToBool(text)));
        break;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        param->SetValue(Variant(StrToFloat(text, DefaultFormatSettings())));
        break;
    case ftDate:
        param->SetValue(Variant::FromDate(std::trunc(JSONStrToDateTime(text))));
        break;
    case ftTime:
        param->SetValue(Variant::FromDate(JSONStrToTime(text)));
        break;
    case ftDateTime:
        param->SetValue(Variant::FromDate(JSONStrToDateTime(text)));
        break;
    case ftTimeStamp:
        param->SetValue(VarSQLTimeStampCreate(DateTimeToSQLTimeStamp(JSONStrToDateTime(text))));
        break;
    case ftFMTBcd:
        // The decimal text keeps its point; no locale takes part.
        param->SetValue(VarFMTBcdCreate(StrToBcd(text)));
        break;
    default:
        // Blobs as their raw bytes, memos and every other type as text.
        param->SetValue(Variant(text));
        break;
    }
}

void ParamsFromStrings(const TStrings& strings, TParams& params)
{
    for (int i = 0; i < params.Count(); ++i)
        ParamFromString(params.Items(i), strings.Values(params.Items(i)->Name()));
}

// ---------------------------------------------------------------------------
// Datasets

std::string DataSetToJSON(TDataSet& dataSet, bool byColumns, int maxRecords, bool excludeBlobs)
{
    return byColumns ? DataSetToJSONByColumns(dataSet, maxRecords, excludeBlobs)
                     : DataSetToJSONByRows(dataSet, maxRecords, excludeBlobs);
}

std::string DataSetToJSONByColumns(TDataSet& dataSet, int maxRecords, bool excludeBlobs)
{
    const TFields& fields = dataSet.Fields();
    std::vector<std::string> columns(static_cast<size_t>(fields.Count()));
    if (dataSet.Active()) {
        for (int written = 0; MayWriteRecord(dataSet, written, maxRecords); ++written) {
            for (int i = 0; i < fields.Count(); ++i) {
                std::string& column = columns[static_cast<size_t>(i)];
                if (written > 0)
                    column += ',';
                column += DataSetToken(fields[i], excludeBlobs);
            }
            RecordWritten(dataSet);
        }
    }
    size_t size = 4;
    for (int i = 0; i < fields.Count(); ++i)
        size += columns[static_cast<size_t>(i)].size() + fields[i]->FieldName().size() + 6;
    std::string out;
    out.reserve(size);
    out += "{\r\n";
    for (int i = 0; i < fields.Count(); ++i) {
        if (i > 0)
            out += ',';
        out += QuotedName(fields[i]->FieldName());
        out += ":[";
        out += columns[static_cast<size_t>(i)];
        out += ']';
    }
    out += '}';
    return out;
}

std::string DataSetToJSONByRows(TDataSet& dataSet, int maxRecords, bool excludeBlobs)
{
    if (!dataSet.Active())
        return {};
    const TFields& fields = dataSet.Fields();
    std::string out;
    int written = 0;
    for (; MayWriteRecord(dataSet, written, maxRecords); ++written) {
        if (written > 0)
            out += ',';
        out += '{';
        for (int i = 0; i < fields.Count(); ++i) {
            if (i > 0)
                out += ',';
            out += QuotedName(fields[i]->FieldName());
            out += ':';
            out += DataSetToken(fields[i], excludeBlobs);
        }
        out += "}\r\n";
        RecordWritten(dataSet);
    }
    if (written > 1)
        out = "[" + out + "]";
    return out;
}

std::string DataSetBlobsToJSON(TDataSet& dataSet)
{
    std::string out = "{";
    bool first = true;
    for (TField* field : dataSet.Fields()) {
        if (!IsBinaryFieldType(field->DataType()))
            continue;
        if (!first)
            out += ',';
        first = false;
        out += QuotedName(field->FieldName());
        out += ':';
        out += FieldToJSON(field);
    }
    out += "}\r\n";
    return out;
}

void DataSetFromJSONByColumns(TDataSet& dataSet, const TJSONObject& json)
{
    dataSet.Open();
    std::vector<std::pair<TField*, const TJSONArray*>> columns;
    int rows = 0;
    for (int i = 0; i < json.GetPropCount(); ++i) {
        const TJSONValue& value = json.GetPropValue(i);
        if (value.GetValueType() != jvtArray)
            continue;
        TField* field = dataSet.FindField(json.GetPropName(i));
        if (field == nullptr)
            continue;
        const TJSONArray& arr = value.GetAsArray();
        columns.emplace_back(field, &arr);
        rows = std::max(rows, arr.Count());
    }
    for (int row = 0; row < rows; ++row) {
        dataSet.Append();
        try {
            for (const auto& [field, arr] : columns)
                field->SetAsVariant(arr->GetValue(row).GetAsVariant());
            dataSet.Post();
        } catch (...) {
            dataSet.Cancel();
            throw;
        }
    }
}

void FieldToStrings(TField* field, TStrings& strings)
{
    TDataSet& dataSet = *field->DataSet();
    const TBookmark bookmark = dataSet.GetBookmark();
    TControlsDisabled disabled(dataSet);
    try {
        dataSet.First();
        while (!dataSet.Eof()) {
            strings.Add(field->Text());
            dataSet.Next();
        }
    } catch (...) {
        dataSet.GotoBookmark(bookmark);
        throw;
    }
    dataSet.GotoBookmark(bookmark);
}

std::string GetFieldValues(TField* field, std::string_view separator, char quoteChar)
{
    TDataSet& dataSet = *field->DataSet();
    std::string out;
    dataSet.First();
    for (bool first = true; !dataSet.Eof(); first = false) {
        if (!first)
            out += separator;
        out += quoteChar == '\0' ? field->AsString() : AnsiQuotedStr(field->AsString(), quoteChar);
        dataSet.Next();
    }
    return out;
}

void DataSetPosition(TDataSet& dataSet, int recNo)
{
    if (dataSet.IsSequenced()) {
        dataSet.SetRecNo(recNo);
        return;
    }
    dataSet.First();
    for (int i = 0; i < recNo && !dataSet.Eof(); ++i)
        dataSet.Next();
}

int DataSetRecordCount(TDataSet& dataSet)
{
    int count = 0;
    dataSet.First();
    while (!dataSet.Eof()) {
        ++count;
        dataSet.Next();
    }
    dataSet.First();
    return count;
}

bool DataSetHasBlobs(const TDataSet& dataSet)
{
    const TFields& fields = dataSet.Fields();
    return std::any_of(fields.begin(), fields.end(),
                       [](const TField* field) { return IsBinaryFieldType(field->DataType()); });
}
