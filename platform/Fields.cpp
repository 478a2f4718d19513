#include "platform/Fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/DataSet.h"
#include "platform/FileReplaceStream.h"
#include "platform/DateUtils.h"
#include "platform/StringList.h"

namespace {
// The first `count` UTF-8 characters of `text`.
std::string CutToCharacters(const std::string& text, int count)
{
    if (count <= 0)
        return text;
    size_t pos = 0;
    int chars = 0;
    while (pos < text.size() && chars < count) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        size_t len = lead < 0x80           ? 1
                     : (lead >> 5) == 0x6  ? 2
                     : (lead >> 4) == 0xE  ? 3
                     : (lead >> 3) == 0x1E ? 4
                                           : 1;
        pos = std::min(text.size(), pos + len);
        ++chars;
    }
    return text.substr(0, pos);
}

std::string IntText(int64_t value)
{
    return std::to_string(value);
}

// An integer field's text: empty clears the field, anything else must read
// as an integer.
void SetIntegerText(TField& field, const std::string& value)
{
    if (value.empty()) {
        field.Clear();
        return;
    }
    int64_t number = 0;
    if (!TryStrToInt64(value, number))
        DatabaseErrorFmt(DBConsts::SInvalidIntegerValue, {value, field.DisplayName()});
    field.SetAsLargeInt(number);
}
} // namespace

// ===========================================================================
// TField

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField()
{
    if (m_dataSet != nullptr) {
        // An open dataset cannot lose a field; destructors cannot fail, so a
        // failing close is dropped here.
        try {
            m_dataSet->Close();
        } catch (...) {
        }
        m_dataSet->m_fields.Remove(this);
        m_dataSet = nullptr;
    }
}

void TField::CheckInactive()
{
    if (m_dataSet != nullptr)
        m_dataSet->CheckInactive();
}

void TField::SetDataSet(TDataSet* dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet != nullptr)
        m_dataSet->CheckInactive();
    if (dataSet != nullptr) {
        dataSet->CheckInactive();
        if (!m_fieldName.empty() && dataSet->FindField(m_fieldName) != nullptr)
            DatabaseErrorFmt(DBConsts::SDuplicateFieldName, {m_fieldName}, dataSet);
    }
    if (m_dataSet != nullptr) {
        m_dataSet->m_fields.Remove(this);
        m_dataSet->FieldListChanged();
    }
    m_dataSet = dataSet;
    if (m_dataSet != nullptr) {
        m_dataSet->m_fields.Add(this);
        m_dataSet->FieldListChanged();
    }
}

void TField::SetFieldName(const std::string& value)
{
    if (m_dataSet != nullptr) {
        m_dataSet->CheckInactive();
        TField* other = m_dataSet->FindField(value);
        if (other != nullptr && other != this)
            DatabaseErrorFmt(DBConsts::SDuplicateFieldName, {value}, m_dataSet);
    }
    m_fieldName = value;
    PropertyChanged(true);
}

void TField::SetFieldKind(TFieldKind value)
{
    CheckInactive();
    m_fieldKind = value;
}

int TField::Index() const
{
    return m_dataSet != nullptr ? m_dataSet->m_fields.IndexOf(this) : -1;
}

void TField::SetIndex(int value)
{
    if (m_dataSet == nullptr)
        return;
    m_dataSet->m_fields.SetFieldIndex(this, value);
    PropertyChanged(true);
}

void TField::SetSize(int value)
{
    CheckInactive();
    m_size = value;
}

void TField::SetDisplayLabel(const std::string& value)
{
    m_displayLabel = value == m_fieldName ? std::string() : value;
    PropertyChanged(true);
}

int TField::DisplayWidth() const
{
    return m_displayWidth > 0 ? m_displayWidth : GetDefaultWidth();
}

void TField::SetDisplayWidth(int value)
{
    m_displayWidth = value;
    PropertyChanged(true);
}

void TField::SetVisible(bool value)
{
    if (m_visible == value)
        return;
    m_visible = value;
    PropertyChanged(true);
}

void TField::SetReadOnly(bool value)
{
    if (m_readOnly == value)
        return;
    m_readOnly = value;
    PropertyChanged(true);
}

void TField::SetEditMask(const std::string& value)
{
    m_editMask = value;
    PropertyChanged(false);
}

void TField::SetLookupDataSet(TDataSet* value)
{
    CheckInactive();
    m_lookupDataSet = value;
}

void TField::PropertyChanged(bool layoutAffected)
{
    if (m_dataSet != nullptr && m_dataSet->Active())
        m_dataSet->DataEvent(layoutAffected ? deLayoutChange : deDataSetChange, 0);
}

void TField::Bind(bool binding)
{
    if (binding && m_fieldKind == fkLookup) {
        if (m_lookupDataSet == nullptr || m_keyFields.empty() || m_lookupKeyFields.empty() ||
            m_lookupResultField.empty())
            DatabaseErrorFmt(DBConsts::SLookupInfoError, {DisplayName()}, m_dataSet);
        m_dataSet->GetFieldList(m_keyFields);
    }
}

void TField::CalcLookupValue()
{
    Variant value = Variant::Null();
    if (m_lookupDataSet != nullptr && m_lookupDataSet->Active()) {
        const Variant keys = m_dataSet->FieldValues(m_keyFields);
        bool anyNull = VarIsNull(keys);
        if (VarIsArray(keys))
            for (int i = keys.ArrayLowBound(1); i <= keys.ArrayHighBound(1); ++i)
                anyNull = anyNull || VarIsNull(keys[i]);
        if (!anyNull)
            value = m_lookupDataSet->Lookup(m_lookupKeyFields, keys, m_lookupResultField);
    }
    SetAsVariant(value);
}

void TField::Change()
{
    if (OnChange)
        OnChange(this);
}

void TField::FocusControl()
{
    if (m_dataSet == nullptr || !m_dataSet->Active())
        return;
    TField* self = this;
    m_dataSet->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&self));
}

bool TField::GetData(void* buffer)
{
    if (m_dataSet == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {DisplayName()});
    // A closed dataset has no record: every field reads as Null.
    if (m_dataSet->State() == dsInactive)
        return false;
    return m_dataSet->GetFieldData(this, buffer);
}

void TField::SetData(const void* buffer)
{
    if (m_dataSet == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {DisplayName()});
    const TDataSetState state = m_dataSet->State();
    if (m_readOnly && state != dsSetKey && state != dsFilter && state != dsCalcFields &&
        state != dsInternalCalc && state != dsNewValue)
        DatabaseErrorFmt(DBConsts::SFieldReadOnly, {DisplayName()}, m_dataSet);
    if (OnValidate && state != dsCalcFields && state != dsInternalCalc)
        OnValidate(this);
    m_dataSet->SetFieldData(this, buffer);
}

bool TField::IsNull()
{
    if (m_dataSet == nullptr || m_dataSet->State() == dsInactive)
        return true;
    // No target: the dataset only answers whether there is a value.
    return !GetData(nullptr);
}

void TField::Clear()
{
    SetData(nullptr);
}

Variant TField::OldValue()
{
    if (m_dataSet == nullptr)
        return Variant::Null();
    return m_dataSet->GetStateFieldValue(dsOldValue, this);
}

Variant TField::NewValue()
{
    if (m_dataSet == nullptr)
        return Variant::Null();
    return m_dataSet->GetStateFieldValue(dsNewValue, this);
}

void TField::SetAsVariant(const Variant& value)
{
    if (VarIsNull(value) || VarIsEmpty(value))
        Clear();
    else
        SetVarValue(value);
}

void TField::SetText(const std::string& value)
{
    if (OnSetText)
        OnSetText(this, value);
    else
        SetAsStringImpl(value);
}

std::string TField::GetTextFor(bool displayText)
{
    std::string text;
    if (OnGetText)
        OnGetText(this, text, displayText);
    else
        text = GetText(displayText);
    return text;
}

std::string TField::GetText(bool displayText)
{
    return GetAsString();
}

bool TField::CanModify()
{
    if (m_readOnly || m_dataSet == nullptr || !m_dataSet->Active())
        return false;
    if (m_fieldKind == fkCalculated || m_fieldKind == fkLookup)
        return m_dataSet->State() == dsCalcFields;
    return m_dataSet->State() == dsSetKey || m_dataSet->CanModify();
}

void TField::Assign(const TPersistent& source)
{
    if (const auto* field = dynamic_cast<const TField*>(&source)) {
        SetAsVariant(const_cast<TField*>(field)->GetAsVariant());
        return;
    }
    TComponent::Assign(source);
}

std::string TField::GetClassDesc()
{
    std::string name = ClassName();
    if (name.size() > 1 && name[0] == 'T')
        name = name.substr(1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "Field") == 0)
        name.resize(name.size() - 5);
    std::string result = "(" + name + ")";
    return IsNull() ? result : AnsiUpperCase(result);
}

void TField::AccessError(const std::string& typeName)
{
    DatabaseErrorFmt(DBConsts::SFieldAccessError, {DisplayName(), typeName});
}

void TField::RangeError(const std::string& value, const std::string& min, const std::string& max)
{
    DatabaseErrorFmt(DBConsts::SFieldRangeError, {value, DisplayName(), min, max});
}

// The base answers every typed access with an access error.
Variant TField::GetAsVariant()
{
    AccessError("Variant");
}
void TField::SetVarValue(const Variant&)
{
    AccessError("Variant");
}
std::string TField::GetAsString()
{
    return GetClassDesc();
}
void TField::SetAsStringImpl(const std::string&)
{
    AccessError("String");
}
int32_t TField::GetAsInteger()
{
    AccessError("Integer");
}
void TField::SetAsIntegerImpl(int32_t)
{
    AccessError("Integer");
}
int64_t TField::GetAsLargeInt()
{
    AccessError("LargeInt");
}
void TField::SetAsLargeIntImpl(int64_t)
{
    AccessError("LargeInt");
}
double TField::GetAsFloat()
{
    AccessError("Float");
}
void TField::SetAsFloatImpl(double)
{
    AccessError("Float");
}
bool TField::GetAsBoolean()
{
    AccessError("Boolean");
}
void TField::SetAsBooleanImpl(bool)
{
    AccessError("Boolean");
}
TDateTime TField::GetAsDateTime()
{
    AccessError("DateTime");
}
void TField::SetAsDateTimeImpl(TDateTime)
{
    AccessError("DateTime");
}
TSQLTimeStamp TField::GetAsSQLTimeStamp()
{
    return DateTimeToSQLTimeStamp(GetAsDateTime());
}
void TField::SetAsSQLTimeStampImpl(const TSQLTimeStamp& value)
{
    SetAsDateTimeImpl(SQLTimeStampToDateTime(value));
}
TBcd TField::GetAsBCD()
{
    return DoubleToBcd(GetAsFloat());
}
void TField::SetAsBCDImpl(const TBcd& value)
{
    SetAsFloatImpl(BcdToDouble(value));
}

// ===========================================================================
// Text fields

TStringField::TStringField(TComponent* owner) : TField(owner)
{
    SetDataType(ftString);
    SetSize(20);
}

bool TStringField::GetValue(std::string& value)
{
    value.clear();
    return GetData(&value);
}

Variant TStringField::GetAsVariant()
{
    std::string value;
    if (!GetValue(value))
        return Variant::Null();
    return Variant(value);
}

void TStringField::SetVarValue(const Variant& value)
{
    SetAsStringImpl(VarToStr(value));
}

std::string TStringField::GetAsString()
{
    std::string value;
    GetValue(value);
    return value;
}

void TStringField::SetAsStringImpl(const std::string& value)
{
    const std::string cut = CutToCharacters(value, Size());
    SetData(&cut);
}

int32_t TStringField::GetAsInteger()
{
    return StrToInt(GetAsString());
}
void TStringField::SetAsIntegerImpl(int32_t value)
{
    SetAsStringImpl(IntText(value));
}
int64_t TStringField::GetAsLargeInt()
{
    return StrToInt64(GetAsString());
}
void TStringField::SetAsLargeIntImpl(int64_t value)
{
    SetAsStringImpl(IntText(value));
}
double TStringField::GetAsFloat()
{
    return StrToFloat(GetAsString());
}
void TStringField::SetAsFloatImpl(double value)
{
    SetAsStringImpl(FloatToStr(value));
}
bool TStringField::GetAsBoolean()
{
    const std::string text = GetAsString();
    if (text.empty())
        return false;
    const char c = UpCase(text[0]);
    return c == 'T' || c == 'Y';
}
void TStringField::SetAsBooleanImpl(bool value)
{
    SetAsStringImpl(value ? "T" : "F");
}
TDateTime TStringField::GetAsDateTime()
{
    return StrToDateTime(GetAsString());
}
void TStringField::SetAsDateTimeImpl(TDateTime value)
{
    SetAsStringImpl(DateTimeToStr(value));
}

TWideStringField::TWideStringField(TComponent* owner) : TStringField(owner)
{
    SetDataType(ftWideString);
}

Variant TWideStringField::GetAsVariant()
{
    std::string value;
    if (!GetValue(value))
        return Variant::Null();
    return Variant::FromWideString(value);
}

TGuidField::TGuidField(TComponent* owner) : TStringField(owner)
{
    SetDataType(ftGuid);
    SetSize(38);
}

TGUID TGuidField::AsGuid()
{
    TGUID guid;
    if (!GetData(&guid))
        return GUID_NULL;
    return guid;
}

void TGuidField::SetAsGuid(const TGUID& value)
{
    SetData(&value);
}

std::string TGuidField::GetAsString()
{
    TGUID guid;
    if (!GetData(&guid))
        return {};
    return GUIDToString(guid);
}

void TGuidField::SetAsStringImpl(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    const TGUID guid = StringToGUID(value);
    SetData(&guid);
}

// ===========================================================================
// Numbers

void TNumericField::SetDisplayFormat(const std::string& value)
{
    m_displayFormat = value;
    PropertyChanged(false);
}

void TNumericField::SetEditFormat(const std::string& value)
{
    m_editFormat = value;
    PropertyChanged(false);
}

TIntegerField::TIntegerField(TComponent* owner) : TNumericField(owner)
{
    SetDataType(ftInteger);
}

bool TIntegerField::GetValue(int32_t& value)
{
    switch (DataType()) {
    case ftSmallint: {
        int16_t v = 0;
        const bool ok = GetData(&v);
        value = v;
        return ok;
    }
    case ftWord: {
        uint16_t v = 0;
        const bool ok = GetData(&v);
        value = v;
        return ok;
    }
    default: {
        int32_t v = 0;
        const bool ok = GetData(&v);
        value = v;
        return ok;
    }
    }
}

void TIntegerField::CheckRange(int64_t value)
{
    int64_t min = m_minValue;
    int64_t max = m_maxValue;
    if (min == 0 && max == 0) {
        min = m_minRange;
        max = m_maxRange;
    }
    if (value < min || value > max)
        RangeError(IntText(value), IntText(min), IntText(max));
}

Variant TIntegerField::GetAsVariant()
{
    int32_t value = 0;
    if (!GetValue(value))
        return Variant::Null();
    return Variant(static_cast<int>(value));
}

void TIntegerField::SetVarValue(const Variant& value)
{
    SetAsLargeIntImpl(value.AsInt64());
}

std::string TIntegerField::GetAsString()
{
    int32_t value = 0;
    return GetValue(value) ? IntText(value) : std::string();
}

void TIntegerField::SetAsStringImpl(const std::string& value)
{
    SetIntegerText(*this, value);
}

int32_t TIntegerField::GetAsInteger()
{
    int32_t value = 0;
    GetValue(value);
    return value;
}

void TIntegerField::SetAsIntegerImpl(int32_t value)
{
    SetAsLargeIntImpl(value);
}

int64_t TIntegerField::GetAsLargeInt()
{
    return GetAsInteger();
}

void TIntegerField::SetAsLargeIntImpl(int64_t value)
{
    CheckRange(value);
    switch (DataType()) {
    case ftSmallint: {
        const auto v = static_cast<int16_t>(value);
        SetData(&v);
        break;
    }
    case ftWord: {
        const auto v = static_cast<uint16_t>(value);
        SetData(&v);
        break;
    }
    default: {
        const auto v = static_cast<int32_t>(value);
        SetData(&v);
        break;
    }
    }
}

double TIntegerField::GetAsFloat()
{
    return GetAsInteger();
}

void TIntegerField::SetAsFloatImpl(double value)
{
    if (!std::isfinite(value) || value < -9.2e18 || value > 9.2e18)
        RangeError(FloatToStr(value), IntText(m_minRange), IntText(m_maxRange));
    SetAsLargeIntImpl(static_cast<int64_t>(std::llround(value)));
}

std::string TIntegerField::GetText(bool displayText)
{
    int32_t value = 0;
    if (!GetValue(value))
        return {};
    const std::string& format = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
    return format.empty() ? IntText(value) : FormatFloat(format, value);
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner)
{
    SetDataType(ftSmallint);
    m_minRange = INT16_MIN;
    m_maxRange = INT16_MAX;
}

TWordField::TWordField(TComponent* owner) : TIntegerField(owner)
{
    SetDataType(ftWord);
    m_minRange = 0;
    m_maxRange = UINT16_MAX;
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner)
{
    SetDataType(ftAutoInc);
}

TLargeintField::TLargeintField(TComponent* owner) : TNumericField(owner)
{
    SetDataType(ftLargeint);
}

bool TLargeintField::GetValue(int64_t& value)
{
    value = 0;
    return GetData(&value);
}

Variant TLargeintField::GetAsVariant()
{
    int64_t value = 0;
    if (!GetValue(value))
        return Variant::Null();
    return Variant(static_cast<long long>(value));
}

void TLargeintField::SetVarValue(const Variant& value)
{
    SetAsLargeIntImpl(value.AsInt64());
}

std::string TLargeintField::GetAsString()
{
    int64_t value = 0;
    return GetValue(value) ? IntText(value) : std::string();
}

void TLargeintField::SetAsStringImpl(const std::string& value)
{
    SetIntegerText(*this, value);
}

int32_t TLargeintField::GetAsInteger()
{
    const int64_t value = GetAsLargeInt();
    if (value < INT32_MIN || value > INT32_MAX)
        RangeError(IntText(value), IntText(INT32_MIN), IntText(INT32_MAX));
    return static_cast<int32_t>(value);
}

void TLargeintField::SetAsIntegerImpl(int32_t value)
{
    SetAsLargeIntImpl(value);
}

int64_t TLargeintField::GetAsLargeInt()
{
    int64_t value = 0;
    GetValue(value);
    return value;
}

void TLargeintField::SetAsLargeIntImpl(int64_t value)
{
    SetData(&value);
}

double TLargeintField::GetAsFloat()
{
    return static_cast<double>(GetAsLargeInt());
}

void TLargeintField::SetAsFloatImpl(double value)
{
    if (!std::isfinite(value) || value < -9.2e18 || value > 9.2e18)
        RangeError(FloatToStr(value), IntText(INT64_MIN), IntText(INT64_MAX));
    SetAsLargeIntImpl(static_cast<int64_t>(std::llround(value)));
}

std::string TLargeintField::GetText(bool displayText)
{
    int64_t value = 0;
    if (!GetValue(value))
        return {};
    const std::string& format = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
    return format.empty() ? IntText(value) : FormatFloat(format, static_cast<double>(value));
}

TFloatField::TFloatField(TComponent* owner) : TNumericField(owner)
{
    SetDataType(ftFloat);
}

void TFloatField::SetCurrency(bool value)
{
    m_currency = value;
    PropertyChanged(false);
}

void TFloatField::SetPrecision(int value)
{
    m_precision = std::clamp(value, 2, 15);
    PropertyChanged(false);
}

Variant TFloatField::GetAsVariant()
{
    double value = 0;
    if (!GetData(&value))
        return Variant::Null();
    return Variant(value);
}

void TFloatField::SetVarValue(const Variant& value)
{
    SetAsFloatImpl(value.AsDouble());
}

std::string TFloatField::GetAsString()
{
    double value = 0;
    return GetData(&value) ? FloatToStr(value) : std::string();
}

void TFloatField::SetAsStringImpl(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    double number = 0;
    if (!TryStrToFloat(value, number))
        DatabaseErrorFmt(DBConsts::SInvalidFloatValue, {value, DisplayName()});
    SetAsFloatImpl(number);
}

int32_t TFloatField::GetAsInteger()
{
    const double value = GetAsFloat();
    if (!(value >= INT32_MIN && value <= INT32_MAX))
        RangeError(FloatToStr(value), IntText(INT32_MIN), IntText(INT32_MAX));
    return static_cast<int32_t>(std::lround(value));
}

void TFloatField::SetAsIntegerImpl(int32_t value)
{
    SetAsFloatImpl(value);
}

int64_t TFloatField::GetAsLargeInt()
{
    const double value = GetAsFloat();
    if (!(value >= -9.2e18 && value <= 9.2e18))
        RangeError(FloatToStr(value), IntText(INT64_MIN), IntText(INT64_MAX));
    return static_cast<int64_t>(std::llround(value));
}

void TFloatField::SetAsLargeIntImpl(int64_t value)
{
    SetAsFloatImpl(static_cast<double>(value));
}

double TFloatField::GetAsFloat()
{
    double value = 0;
    GetData(&value);
    return value;
}

void TFloatField::SetAsFloatImpl(double value)
{
    if ((m_minValue != 0 || m_maxValue != 0) && (value < m_minValue || value > m_maxValue))
        RangeError(FloatToStr(value), FloatToStr(m_minValue), FloatToStr(m_maxValue));
    SetData(&value);
}

std::string TFloatField::GetText(bool displayText)
{
    double value = 0;
    if (!GetData(&value))
        return {};
    const std::string& format = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
    if (!format.empty())
        return FormatFloat(format, value);
    if (displayText && m_currency)
        return FloatToStrF(value, ffCurrency, m_precision, FormatSettings.CurrencyDecimals);
    return FloatToStrF(value, ffGeneral, m_precision, 0);
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner)
{
    SetDataType(ftCurrency);
    SetCurrency(true);
}

// ===========================================================================
// Booleans

TBooleanField::TBooleanField(TComponent* owner) : TField(owner)
{
    SetDataType(ftBoolean);
}

void TBooleanField::SetDisplayValues(const std::string& value)
{
    const size_t sep = value.find(';');
    if (sep == std::string::npos || sep == 0)
        DatabaseErrorFmt("Invalid format: %s", {value});
    m_displayValues = value;
    m_trueText = value.substr(0, sep);
    m_falseText = value.substr(sep + 1);
    PropertyChanged(false);
}

Variant TBooleanField::GetAsVariant()
{
    int16_t value = 0;
    if (!GetData(&value))
        return Variant::Null();
    return Variant(value != 0);
}

void TBooleanField::SetVarValue(const Variant& value)
{
    SetAsBooleanImpl(value.AsBoolean());
}

std::string TBooleanField::GetAsString()
{
    int16_t value = 0;
    if (!GetData(&value))
        return {};
    return value != 0 ? m_trueText : m_falseText;
}

void TBooleanField::SetAsStringImpl(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    // A leading part of either text is enough ("T", "Fa").
    auto startsWith = [&](const std::string& full) {
        return !full.empty() && AnsiSameText(Copy(full, 1, static_cast<int>(value.size())), value);
    };
    if (startsWith(m_falseText))
        SetAsBooleanImpl(false);
    else if (startsWith(m_trueText))
        SetAsBooleanImpl(true);
    else
        DatabaseErrorFmt(DBConsts::SInvalidBoolValue, {value, DisplayName()});
}

bool TBooleanField::GetAsBoolean()
{
    int16_t value = 0;
    return GetData(&value) && value != 0;
}

void TBooleanField::SetAsBooleanImpl(bool value)
{
    const int16_t stored = value ? -1 : 0;
    SetData(&stored);
}

int32_t TBooleanField::GetAsInteger()
{
    return GetAsBoolean() ? 1 : 0;
}

void TBooleanField::SetAsIntegerImpl(int32_t value)
{
    SetAsBooleanImpl(value != 0);
}

// ===========================================================================
// Dates and times

TDateTimeField::TDateTimeField(TComponent* owner) : TField(owner)
{
    SetDataType(ftDateTime);
}

void TDateTimeField::SetDisplayFormat(const std::string& value)
{
    m_displayFormat = value;
    PropertyChanged(false);
}

Variant TDateTimeField::GetAsVariant()
{
    double value = 0;
    if (!GetData(&value))
        return Variant::Null();
    return Variant::FromDate(value);
}

void TDateTimeField::SetVarValue(const Variant& value)
{
    SetAsDateTimeImpl(value.AsDateTime());
}

std::string TDateTimeField::GetAsString()
{
    return GetText(false);
}

void TDateTimeField::SetAsStringImpl(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    switch (DataType()) {
    case ftDate:
        SetAsDateTimeImpl(StrToDate(value));
        break;
    case ftTime:
        SetAsDateTimeImpl(StrToTime(value));
        break;
    default:
        SetAsDateTimeImpl(StrToDateTime(value));
        break;
    }
}

double TDateTimeField::GetAsFloat()
{
    return GetAsDateTime();
}

void TDateTimeField::SetAsFloatImpl(double value)
{
    SetAsDateTimeImpl(value);
}

TDateTime TDateTimeField::GetAsDateTime()
{
    double value = 0;
    GetData(&value);
    return value;
}

void TDateTimeField::SetAsDateTimeImpl(TDateTime value)
{
    SetData(&value);
}

TSQLTimeStamp TDateTimeField::GetAsSQLTimeStamp()
{
    double value = 0;
    if (!GetData(&value))
        return NullSQLTimeStamp;
    return DateTimeToSQLTimeStamp(value);
}

void TDateTimeField::SetAsSQLTimeStampImpl(const TSQLTimeStamp& value)
{
    SetAsDateTimeImpl(SQLTimeStampToDateTime(value));
}

std::string TDateTimeField::GetText(bool displayText)
{
    double value = 0;
    if (!GetData(&value))
        return {};
    if (displayText && !m_displayFormat.empty())
        return FormatDateTime(m_displayFormat, value);
    switch (DataType()) {
    case ftDate:
        return DateToStr(value);
    case ftTime:
        return TimeToStr(value);
    default:
        return DateTimeToStr(value);
    }
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner)
{
    SetDataType(ftDate);
}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner)
{
    SetDataType(ftTime);
}

TSQLTimeStampField::TSQLTimeStampField(TComponent* owner) : TField(owner)
{
    SetDataType(ftTimeStamp);
}

void TSQLTimeStampField::SetDisplayFormat(const std::string& value)
{
    m_displayFormat = value;
    PropertyChanged(false);
}

Variant TSQLTimeStampField::GetAsVariant()
{
    TSQLTimeStamp value;
    if (!GetData(&value))
        return Variant::Null();
    return VarSQLTimeStampCreate(value);
}

void TSQLTimeStampField::SetVarValue(const Variant& value)
{
    SetAsSQLTimeStampImpl(VarToSQLTimeStamp(value));
}

std::string TSQLTimeStampField::GetAsString()
{
    return GetText(false);
}

void TSQLTimeStampField::SetAsStringImpl(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    SetAsSQLTimeStampImpl(StrToSQLTimeStamp(value));
}

TDateTime TSQLTimeStampField::GetAsDateTime()
{
    TSQLTimeStamp value;
    if (!GetData(&value))
        return 0;
    return SQLTimeStampToDateTime(value);
}

void TSQLTimeStampField::SetAsDateTimeImpl(TDateTime value)
{
    SetAsSQLTimeStampImpl(DateTimeToSQLTimeStamp(value));
}

TSQLTimeStamp TSQLTimeStampField::GetAsSQLTimeStamp()
{
    TSQLTimeStamp value;
    if (!GetData(&value))
        return NullSQLTimeStamp;
    return value;
}

void TSQLTimeStampField::SetAsSQLTimeStampImpl(const TSQLTimeStamp& value)
{
    SetData(&value);
}

std::string TSQLTimeStampField::GetText(bool displayText)
{
    TSQLTimeStamp value;
    if (!GetData(&value))
        return {};
    return SQLTimeStampToStr(displayText ? m_displayFormat : std::string(), value);
}

// ===========================================================================
// Decimals

TBCDField::TBCDField(TComponent* owner) : TNumericField(owner)
{
    SetDataType(ftBCD);
    SetSize(4);
}

void TBCDField::SetPrecision(int value)
{
    CheckInactive();
    m_precision = value;
}

void TBCDField::SetCurrency(bool value)
{
    m_currency = value;
    PropertyChanged(false);
}

Variant TBCDField::GetAsVariant()
{
    TBcd value;
    if (!GetData(&value))
        return Variant::Null();
    int64_t currency = 0;
    if (BCDToCurr(value, currency))
        return Variant::FromCurrency(currency);
    return VarFMTBcdCreate(value);
}

void TBCDField::SetVarValue(const Variant& value)
{
    SetAsBCDImpl(VarToBcd(value));
}

std::string TBCDField::GetAsString()
{
    TBcd value;
    return GetData(&value) ? BcdToStr(value) : std::string();
}

void TBCDField::SetAsStringImpl(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    TBcd bcd;
    if (!TryStrToBcd(value, bcd))
        DatabaseErrorFmt(DBConsts::SInvalidFloatValue, {value, DisplayName()});
    SetAsBCDImpl(bcd);
}

int32_t TBCDField::GetAsInteger()
{
    const int64_t value = GetAsLargeInt();
    if (value < INT32_MIN || value > INT32_MAX)
        RangeError(IntText(value), IntText(INT32_MIN), IntText(INT32_MAX));
    return static_cast<int32_t>(value);
}

void TBCDField::SetAsIntegerImpl(int32_t value)
{
    SetAsBCDImpl(IntegerToBcd(value));
}

int64_t TBCDField::GetAsLargeInt()
{
    TBcd value;
    return GetData(&value) ? BcdToInt64(value) : 0;
}

void TBCDField::SetAsLargeIntImpl(int64_t value)
{
    SetAsBCDImpl(IntegerToBcd(value));
}

double TBCDField::GetAsFloat()
{
    TBcd value;
    return GetData(&value) ? BcdToDouble(value) : 0.0;
}

void TBCDField::SetAsFloatImpl(double value)
{
    SetAsBCDImpl(DoubleToBcd(value));
}

double TBCDField::GetAsCurrency()
{
    return GetAsFloat();
}

void TBCDField::SetAsCurrencyImpl(double value)
{
    SetAsFloatImpl(value);
}

TBcd TBCDField::GetAsBCD()
{
    TBcd value;
    return GetData(&value) ? value : NullBcd;
}

void TBCDField::SetAsBCDImpl(const TBcd& value)
{
    // With a declared precision the value is written with Size places and
    // must fit the digits (refused rather than cut); without one, only more
    // places than Size are rounded away, as the decimal type does.
    TBcd stored = value;
    if (m_precision > 0 || (Size() > 0 && BcdScale(value) > Size())) {
        const int precision = m_precision > 0 ? m_precision : MaxFMTBcdFractionSize;
        if (!NormalizeBcd(value, stored, precision, Size()))
            DatabaseErrorFmt(DBConsts::SBcdOverflow, {BcdToStr(value), DisplayName(), precision, Size()});
    }
    SetData(&stored);
}

std::string TBCDField::GetText(bool displayText)
{
    TBcd value;
    if (!GetData(&value))
        return {};
    const std::string& format = displayText || EditFormat().empty() ? DisplayFormat() : EditFormat();
    if (!format.empty())
        return FormatFloat(format, BcdToDouble(value));
    if (displayText && m_currency)
        return FloatToStrF(BcdToDouble(value), ffCurrency, 18, FormatSettings.CurrencyDecimals);
    return BcdToStr(value);
}

int TBCDField::GetDefaultWidth() const
{
    return m_precision > 0 ? m_precision + 2 : 10;
}

TFMTBCDField::TFMTBCDField(TComponent* owner) : TBCDField(owner)
{
    SetDataType(ftFMTBcd);
    SetSize(8);
}

Variant TFMTBCDField::GetAsVariant()
{
    TBcd value;
    if (!GetData(&value))
        return Variant::Null();
    return VarFMTBcdCreate(value);
}

// ===========================================================================
// Bytes

TBytesField::TBytesField(TComponent* owner) : TField(owner)
{
    SetDataType(ftBytes);
    SetSize(16);
}

Variant TBytesField::GetAsVariant()
{
    std::string value;
    if (!GetData(&value))
        return Variant::Null();
    return Variant(value);
}

void TBytesField::SetVarValue(const Variant& value)
{
    SetAsStringImpl(VarToStr(value));
}

std::string TBytesField::GetAsString()
{
    std::string value;
    GetData(&value);
    return value;
}

void TBytesField::SetAsStringImpl(const std::string& value)
{
    // Fixed-size bytes are cut to the size; a shorter ftBytes value is padded
    // with zero bytes so that the stored value always has its size.
    std::string bytes = value.substr(0, static_cast<size_t>(std::max(0, Size())));
    if (DataType() == ftBytes)
        bytes.resize(static_cast<size_t>(std::max(0, Size())), '\0');
    SetData(&bytes);
}

std::string TBytesField::GetText(bool)
{
    return GetClassDesc();
}

TVarBytesField::TVarBytesField(TComponent* owner) : TBytesField(owner)
{
    SetDataType(ftVarBytes);
}

// ===========================================================================
// Blobs

TBlobField::TBlobField(TComponent* owner) : TField(owner)
{
    SetDataType(ftBlob);
}

int64_t TBlobField::BlobSize()
{
    auto stream = DataSet()->CreateBlobStream(this, bmRead);
    return stream->Size();
}

Variant TBlobField::GetAsVariant()
{
    // A dataset may load blob values only when a stream is made for one: the
    // stream comes first, so that a value not loaded yet is not taken for NULL.
    if (DataSet() != nullptr)
        DataSet()->CreateBlobStream(this, bmRead);
    if (IsNull())
        return Variant::Null();
    return Variant(GetAsString());
}

void TBlobField::SetVarValue(const Variant& value)
{
    SetAsStringImpl(VarToStr(value));
}

std::string TBlobField::GetAsString()
{
    if (DataSet() == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmRead);
    std::string text(static_cast<size_t>(stream->Size()), '\0');
    if (!text.empty())
        stream->ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    return text;
}

void TBlobField::SetAsStringImpl(const std::string& value)
{
    if (DataSet() == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    if (!value.empty())
        stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
    // Written here so that a refused write reaches the caller.
    stream->Flush();
}

void TBlobField::LoadFromStream(TStream& stream)
{
    auto blob = DataSet()->CreateBlobStream(this, bmWrite);
    stream.SetPosition(0);
    blob->CopyFrom(stream, 0);
    blob->Flush();
}

void TBlobField::SaveToStream(TStream& stream)
{
    auto blob = DataSet()->CreateBlobStream(this, bmRead);
    if (blob->Size() > 0)
        stream.CopyFrom(*blob, 0);
}

void TBlobField::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TBlobField::SaveToFile(const std::string& fileName)
{
    TFileReplaceStream file(fileName);
    SaveToStream(file);
    file.Commit();
}

std::string TBlobField::GetText(bool)
{
    return GetClassDesc();
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner)
{
    SetDataType(ftMemo);
}

TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner)
{
    SetDataType(ftGraphic);
}

// ===========================================================================
// Variants

TVariantField::TVariantField(TComponent* owner) : TField(owner)
{
    SetDataType(ftVariant);
}

Variant TVariantField::GetAsVariant()
{
    Variant value;
    if (!GetData(&value))
        return Variant::Null();
    return value;
}

void TVariantField::SetVarValue(const Variant& value)
{
    SetData(&value);
}

std::string TVariantField::GetAsString()
{
    return VarToStr(GetAsVariant());
}
void TVariantField::SetAsStringImpl(const std::string& value)
{
    SetVarValue(Variant(value));
}
int32_t TVariantField::GetAsInteger()
{
    return GetAsVariant().AsInteger();
}
void TVariantField::SetAsIntegerImpl(int32_t value)
{
    SetVarValue(Variant(static_cast<int>(value)));
}
int64_t TVariantField::GetAsLargeInt()
{
    return GetAsVariant().AsInt64();
}
void TVariantField::SetAsLargeIntImpl(int64_t value)
{
    SetVarValue(Variant(static_cast<long long>(value)));
}
double TVariantField::GetAsFloat()
{
    return GetAsVariant().AsDouble();
}
void TVariantField::SetAsFloatImpl(double value)
{
    SetVarValue(Variant(value));
}
bool TVariantField::GetAsBoolean()
{
    return GetAsVariant().AsBoolean();
}
void TVariantField::SetAsBooleanImpl(bool value)
{
    SetVarValue(Variant(value));
}
TDateTime TVariantField::GetAsDateTime()
{
    return GetAsVariant().AsDateTime();
}
void TVariantField::SetAsDateTimeImpl(TDateTime value)
{
    SetVarValue(Variant::FromDate(value));
}

// ===========================================================================
// Field classes by type

std::unique_ptr<TField> NewFieldOfType(TFieldType type, TComponent* owner)
{
    switch (type) {
    case ftString:
        return std::make_unique<TStringField>(owner);
    case ftFixedChar: {
        auto field = std::make_unique<TStringField>(owner);
        field->SetFixedChar(true);
        return field;
    }
    case ftWideString:
        return std::make_unique<TWideStringField>(owner);
    case ftSmallint:
        return std::make_unique<TSmallintField>(owner);
    case ftInteger:
        return std::make_unique<TIntegerField>(owner);
    case ftWord:
        return std::make_unique<TWordField>(owner);
    case ftAutoInc:
        return std::make_unique<TAutoIncField>(owner);
    case ftLargeint:
        return std::make_unique<TLargeintField>(owner);
    case ftBoolean:
        return std::make_unique<TBooleanField>(owner);
    case ftFloat:
        return std::make_unique<TFloatField>(owner);
    case ftCurrency:
        return std::make_unique<TCurrencyField>(owner);
    case ftBCD:
        return std::make_unique<TBCDField>(owner);
    case ftFMTBcd:
        return std::make_unique<TFMTBCDField>(owner);
    case ftDate:
        return std::make_unique<TDateField>(owner);
    case ftTime:
        return std::make_unique<TTimeField>(owner);
    case ftDateTime:
        return std::make_unique<TDateTimeField>(owner);
    case ftTimeStamp:
        return std::make_unique<TSQLTimeStampField>(owner);
    case ftBytes:
        return std::make_unique<TBytesField>(owner);
    case ftVarBytes:
        return std::make_unique<TVarBytesField>(owner);
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob: {
        auto field = std::make_unique<TMemoField>(owner);
        field->SetDataType(type);
        return field;
    }
    case ftGraphic:
        return std::make_unique<TGraphicField>(owner);
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob: {
        auto field = std::make_unique<TBlobField>(owner);
        field->SetDataType(type);
        return field;
    }
    case ftGuid:
        return std::make_unique<TGuidField>(owner);
    case ftVariant:
        return std::make_unique<TVariantField>(owner);
    default:
        return nullptr;
    }
}

// ===========================================================================
// TFields

TField* TFields::Fields(int index) const
{
    if (index < 0 || index >= Count())
        DatabaseError(DBConsts::SFieldIndexError, m_dataSet);
    return m_fields[static_cast<size_t>(index)];
}

int TFields::IndexOf(const TField* field) const
{
    auto it = std::find(m_fields.begin(), m_fields.end(), field);
    return it == m_fields.end() ? -1 : static_cast<int>(it - m_fields.begin());
}

TField* TFields::FindField(const std::string& fieldName) const
{
    for (TField* field : m_fields)
        if (AnsiSameText(field->FieldName(), fieldName))
            return field;
    return nullptr;
}

TField* TFields::FieldByName(const std::string& fieldName) const
{
    TField* field = FindField(fieldName);
    if (field == nullptr)
        DatabaseErrorFmt(DBConsts::SFieldNotFound, {fieldName}, m_dataSet);
    return field;
}

TField* TFields::FieldByNumber(int fieldNo) const
{
    for (TField* field : m_fields)
        if (field->FieldNo() == fieldNo)
            return field;
    return nullptr;
}

void TFields::GetFieldNames(TStrings& list) const
{
    list.BeginUpdate();
    list.Clear();
    for (TField* field : m_fields)
        list.Add(field->FieldName());
    list.EndUpdate();
}

void TFields::Add(TField* field)
{
    m_fields.push_back(field);
}

void TFields::Remove(TField* field)
{
    m_fields.erase(std::remove(m_fields.begin(), m_fields.end(), field), m_fields.end());
}

void TFields::SetFieldIndex(TField* field, int value)
{
    const int current = IndexOf(field);
    if (current < 0)
        return;
    value = std::clamp(value, 0, Count() - 1);
    m_fields.erase(m_fields.begin() + current);
    m_fields.insert(m_fields.begin() + value, field);
}

// ===========================================================================
// TBlobStream

TBlobStream::TBlobStream(TField* field, TBlobStreamMode mode)
    : m_field(field), m_dataSet(field->DataSet()), m_mode(mode)
{
    if (m_dataSet == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {field->DisplayName()});
    if (mode != bmWrite)
        LoadValue();
    else
        m_modified = true;
}

TBlobStream::~TBlobStream()
{
    try {
        Flush();
    } catch (...) {
        // See the class comment: callers that must know call Flush first.
    }
}

void TBlobStream::LoadValue()
{
    std::string value;
    m_dataSet->GetFieldData(m_field, &value);
    TMemoryStream::SetSize(0);
    if (!value.empty())
        TMemoryStream::Write(value.data(), static_cast<int64_t>(value.size()));
    SetPosition(0);
    m_modified = false;
}

int64_t TBlobStream::Write(const void* buffer, int64_t count)
{
    if (m_mode == bmRead)
        DatabaseError(DBConsts::SBlobReadOnly);
    m_modified = true;
    return TMemoryStream::Write(buffer, count);
}

void TBlobStream::SetSize(int64_t newSize)
{
    if (m_mode == bmRead)
        DatabaseError(DBConsts::SBlobReadOnly);
    m_modified = true;
    TMemoryStream::SetSize(newSize);
}

void TBlobStream::Flush()
{
    if (m_mode == bmRead || !m_modified)
        return;
    const std::string value(reinterpret_cast<const char*>(Memory()), static_cast<size_t>(Size()));
    // Cleared before the write so that a notice re-entering the stream sees it
    // flushed; a refused write keeps the content pending for another try.
    m_modified = false;
    try {
        m_field->SetData(&value);
    } catch (...) {
        m_modified = true;
        throw;
    }
}

// ===========================================================================
// Exchange buffers

void VariantToFieldBuffer(TFieldType type, const Variant& v, void* buffer)
{
    switch (type) {
    case ftSmallint:
        *static_cast<int16_t*>(buffer) = static_cast<int16_t>(v.AsInteger());
        break;
    case ftWord:
        *static_cast<uint16_t*>(buffer) = static_cast<uint16_t>(v.AsInteger());
        break;
    case ftBoolean:
        *static_cast<int16_t*>(buffer) = v.AsBoolean() ? -1 : 0;
        break;
    case ftInteger:
    case ftAutoInc:
        *static_cast<int32_t*>(buffer) = v.AsInteger();
        break;
    case ftLargeint:
        *static_cast<int64_t*>(buffer) = v.AsInt64();
        break;
    case ftFloat:
    case ftCurrency:
        *static_cast<double*>(buffer) = v.AsDouble();
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        *static_cast<double*>(buffer) = v.AsDateTime();
        break;
    case ftBCD:
    case ftFMTBcd:
        *static_cast<TBcd*>(buffer) = VarToBcd(v);
        break;
    case ftTimeStamp:
        *static_cast<TSQLTimeStamp*>(buffer) = VarToSQLTimeStamp(v);
        break;
    case ftGuid:
        *static_cast<TGUID*>(buffer) = StringToGUID(v.AsString());
        break;
    case ftVariant:
        *static_cast<Variant*>(buffer) = v;
        break;
    default:
        *static_cast<std::string*>(buffer) = VarToStr(v);
        break;
    }
}

Variant FieldBufferToVariant(TFieldType type, const void* buffer)
{
    switch (type) {
    case ftSmallint:
        return Variant(static_cast<int>(*static_cast<const int16_t*>(buffer)));
    case ftWord:
        return Variant(static_cast<int>(*static_cast<const uint16_t*>(buffer)));
    case ftBoolean:
        return Variant(*static_cast<const int16_t*>(buffer) != 0);
    case ftInteger:
    case ftAutoInc:
        return Variant(static_cast<int>(*static_cast<const int32_t*>(buffer)));
    case ftLargeint:
        return Variant(static_cast<long long>(*static_cast<const int64_t*>(buffer)));
    case ftFloat:
    case ftCurrency:
        return Variant(*static_cast<const double*>(buffer));
    case ftDate:
    case ftTime:
    case ftDateTime:
        return Variant::FromDate(*static_cast<const double*>(buffer));
    case ftBCD:
    case ftFMTBcd:
        return Variant(BcdToStr(*static_cast<const TBcd*>(buffer)));
    case ftTimeStamp:
        return VarSQLTimeStampCreate(*static_cast<const TSQLTimeStamp*>(buffer));
    case ftGuid:
        return Variant(GUIDToString(*static_cast<const TGUID*>(buffer)));
    case ftVariant:
        return *static_cast<const Variant*>(buffer);
    default:
        return Variant(*static_cast<const std::string*>(buffer));
    }
}
