// The field classes that hold one plain value: text, numbers, booleans,
// dates and times, and decimals.
#include "platform/Fields.h"

#include <algorithm>
#include <cmath>

#include "platform/DataSet.h"
#include "platform/DateUtils.h"

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
