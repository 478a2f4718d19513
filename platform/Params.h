#pragma once
// `TParams` and `TParam`: the named parameters of a statement or procedure,
// each with a parameter type (ptUnknown 0 .. ptResult 4), a field data type
// and a Variant value; and the parser of ":Name" references in SQL texts.
//
// - Names are found without regard to case.
// - The As* setters also set the data type (AsString: ftString, AsInteger:
//   ftInteger...). Setting Value keeps a data type already chosen and picks
//   one from the variant's type while it is ftUnknown.

#include <string>
#include <vector>

#include "platform/Collection.h"
#include "platform/DBTypes.h"
#include "platform/FMTBcd.h"
#include "platform/SqlTimSt.h"
#include "platform/Variants.h"

class TField;
class TParams;

class TParam : public TCollectionItem
{
  public:
    TParam() = default;
    std::string ClassName() const override { return "TParam"; }

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& value) { m_name = value; }
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType value);
    TParamType ParamType() const { return m_paramType; }
    void SetParamType(TParamType value) { m_paramType = value; }
    int Size() const { return m_size; }
    void SetSize(int value) { m_size = value; }
    int Precision() const { return m_precision; }
    void SetPrecision(int value) { m_precision = value; }
    int NumericScale() const { return m_numericScale; }
    void SetNumericScale(int value) { m_numericScale = value; }
    // Whether a value was assigned.
    bool Bound() const { return m_bound; }
    void SetBound(bool value) { m_bound = value; }

    const Variant& Value() const { return m_value; }
    void SetValue(const Variant& value);
    bool IsNull() const { return m_value.IsNull() || m_value.IsEmpty(); }
    // Null value; the data type stays.
    void Clear();

    std::string AsString() const { return IsNull() ? std::string() : VarToStr(m_value); }
    void SetAsString(const std::string& value) { SetTyped(ftString, Variant(value)); }
    void SetAsWideString(const std::string& value) { SetTyped(ftWideString, Variant::FromWideString(value)); }
    void SetAsMemo(const std::string& value) { SetTyped(ftMemo, Variant(value)); }
    void SetAsBlob(const std::string& bytes) { SetTyped(ftBlob, Variant(bytes)); }
    int32_t AsInteger() const { return IsNull() ? 0 : m_value.AsInteger(); }
    void SetAsInteger(int32_t value) { SetTyped(ftInteger, Variant(value)); }
    void SetAsSmallInt(int16_t value) { SetTyped(ftSmallint, Variant(static_cast<int>(value))); }
    void SetAsWord(uint16_t value) { SetTyped(ftWord, Variant(static_cast<int>(value))); }
    int64_t AsLargeInt() const { return IsNull() ? 0 : m_value.AsInt64(); }
    void SetAsLargeInt(int64_t value) { SetTyped(ftLargeint, Variant(static_cast<long long>(value))); }
    double AsFloat() const { return IsNull() ? 0.0 : m_value.AsDouble(); }
    void SetAsFloat(double value) { SetTyped(ftFloat, Variant(value)); }
    double AsCurrency() const { return AsFloat(); }
    void SetAsCurrency(double value) { SetTyped(ftCurrency, Variant::FromCurrencyDouble(value)); }
    TBcd AsBCD() const { return IsNull() ? NullBcd : VarToBcd(m_value); }
    void SetAsBCD(const TBcd& value) { SetTyped(ftBCD, VarFMTBcdCreate(value)); }
    void SetAsFMTBCD(const TBcd& value) { SetTyped(ftFMTBcd, VarFMTBcdCreate(value)); }
    bool AsBoolean() const { return IsNull() ? false : m_value.AsBoolean(); }
    void SetAsBoolean(bool value) { SetTyped(ftBoolean, Variant(value)); }
    TDateTime AsDateTime() const { return IsNull() ? 0.0 : m_value.AsDateTime(); }
    void SetAsDateTime(TDateTime value) { SetTyped(ftDateTime, Variant::FromDate(value)); }
    void SetAsDate(TDateTime value) { SetTyped(ftDate, Variant::FromDate(value)); }
    void SetAsTime(TDateTime value) { SetTyped(ftTime, Variant::FromDate(value)); }
    TSQLTimeStamp AsSQLTimeStamp() const { return IsNull() ? NullSQLTimeStamp : VarToSQLTimeStamp(m_value); }
    void SetAsSQLTimeStamp(const TSQLTimeStamp& value)
    {
        SetTyped(ftTimeStamp, VarSQLTimeStampCreate(value));
    }

    // Takes name, types, sizes and value of another parameter.
    void Assign(const TPersistent& source) override;
    // Takes the data type and value of a field (the name stays).
    void AssignField(TField* field);
    void AssignFieldValue(TField* field, const Variant& value);

    std::string DisplayName() const override { return m_name; }

  private:
    void SetTyped(TFieldType type, const Variant& value);

    std::string m_name;
    TFieldType m_dataType = ftUnknown;
    TParamType m_paramType = ptUnknown;
    int m_size = 0;
    int m_precision = 0;
    int m_numericScale = 0;
    bool m_bound = false;
    Variant m_value;
};

// The field type a value of this variant type gets in a parameter.
TFieldType VarTypeToDataType(TVarType varType);

class TParams : public TOwnedCollection
{
  public:
    explicit TParams(TPersistent* owner = nullptr);
    std::string ClassName() const override { return "TParams"; }

    TParam* Items(int index) const { return static_cast<TParam*>(TCollection::Items(index)); }
    TParam* operator[](int index) const { return Items(index); }

    TParam* AddParameter() { return static_cast<TParam*>(Add()); }
    TParam* CreateParam(TFieldType fieldType, const std::string& name, TParamType paramType);
    TParam* FindParam(const std::string& name) const;
    // Raises "Parameter '%s' not found".
    TParam* ParamByName(const std::string& name) const;
    void RemoveParam(TParam* param);
    // For each parameter of `source`, the same-named one here takes its value
    // (and type); others stay.
    void AssignValues(const TParams& source);
    bool IsEqual(const TParams& other) const;
    // One name: its value; several ("A;B"): an array of the values.
    Variant ParamValues(const std::string& names) const;
    void SetParamValues(const std::string& names, const Variant& values);

    // Finds the ":Name" references of `sql` and answers the text with each
    // replaced by "?". With `doCreate` the list is cleared first and gets one
    // parameter per distinct name (in order of first use). Text inside '...',
    // "..." or `...` is left alone, "::" stands for one ':' and is no
    // reference, a name may be in double quotes (:"Long Name"), and a ':' not followed
    // by a name character stays as it is.
    std::string ParseSQL(const std::string& sql, bool doCreate);
};

// The ":Name" references of `sql` in order of first use (no duplicates),
// by the rules of TParams::ParseSQL.
std::vector<std::string> ParseSQLParamNames(const std::string& sql);
