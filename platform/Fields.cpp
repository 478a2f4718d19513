#include "platform/Fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/DataSet.h"
#include "platform/DateUtils.h"
#include "platform/StringList.h"

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
