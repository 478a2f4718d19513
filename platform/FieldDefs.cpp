#include "platform/FieldDefs.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"

// ---------------------------------------------------------------------------
// TFieldDef

TFieldDefs* TFieldDef::FieldDefs() const
{
    return static_cast<TFieldDefs*>(Collection());
}

void TFieldDef::SetName(const std::string& value)
{
    if (m_name == value)
        return;
    if (TFieldDefs* defs = FieldDefs()) {
        TFieldDef* other = defs->FindDef(value);
        if (other != nullptr && other != this)
            DatabaseErrorFmt(DBConsts::SDuplicateFieldName, {value}, defs->DataSet());
    }
    m_name = value;
    Changed(false);
}

void TFieldDef::SetDataType(TFieldType value)
{
    m_dataType = value;
    Changed(false);
}

void TFieldDef::SetSize(int value)
{
    m_size = value;
    Changed(false);
}

void TFieldDef::SetPrecision(int value)
{
    m_precision = value;
    Changed(false);
}

void TFieldDef::SetRequired(bool value)
{
    m_attributes.Set(faRequired, value);
    Changed(false);
}

void TFieldDef::SetAttributes(TFieldAttributes value)
{
    m_attributes = value;
    Changed(false);
}

void TFieldDef::SetInternalCalcField(bool value)
{
    m_internalCalcField = value;
    Changed(false);
}

int TFieldDef::FieldNo() const
{
    return m_fieldNo > 0 ? m_fieldNo : Index() + 1;
}

void TFieldDef::Assign(const TPersistent& source)
{
    const auto* def = dynamic_cast<const TFieldDef*>(&source);
    if (def == nullptr) {
        TCollectionItem::Assign(source);
        return;
    }
    m_name = def->m_name;
    m_dataType = def->m_dataType;
    m_size = def->m_size;
    m_precision = def->m_precision;
    m_attributes = def->m_attributes;
    m_internalCalcField = def->m_internalCalcField;
    m_fieldNo = def->m_fieldNo;
    Changed(false);
}

TField* TFieldDef::CreateField(TComponent* owner)
{
    std::unique_ptr<TField> field = NewFieldOfType(m_dataType, owner);
    if (!field)
        DatabaseErrorFmt(DBConsts::SUnknownFieldType, {m_name});
    field->SetFieldName(m_name);
    // Text and byte fields take the definition's size; decimals their places.
    switch (m_dataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftBytes:
    case ftVarBytes:
    case ftBCD:
    case ftFMTBcd:
        field->SetSize(m_size);
        break;
    default:
        break;
    }
    if (auto* bcd = dynamic_cast<TBCDField*>(field.get()))
        bcd->SetPrecision(m_precision);
    else if (auto* fl = dynamic_cast<TFloatField*>(field.get()); fl != nullptr && m_precision > 0)
        fl->SetPrecision(m_precision);
    field->SetRequired(Required());
    field->SetReadOnly(m_attributes.Contains(faReadonly));
    if (m_internalCalcField)
        field->SetFieldKind(fkInternalCalc);
    if (TFieldDefs* defs = FieldDefs(); defs != nullptr && defs->DataSet() != nullptr)
        field->SetDataSet(defs->DataSet());
    return field.release();
}

// ---------------------------------------------------------------------------
// TFieldDefs

TFieldDefs::TFieldDefs(TDataSet* dataSet)
    : TOwnedCollection(dataSet, CollectionItemClass<TFieldDef>()), m_dataSet(dataSet)
{
}

TFieldDef* TFieldDefs::AddFieldDef()
{
    return static_cast<TFieldDef*>(TCollection::Add());
}

TFieldDef* TFieldDefs::Add(const std::string& name, TFieldType dataType, int size, bool required)
{
    if (IndexOf(name) >= 0)
        DatabaseErrorFmt(DBConsts::SDuplicateFieldName, {name}, m_dataSet);
    BeginUpdate();
    TFieldDef* def = nullptr;
    try {
        def = AddFieldDef();
        def->SetName(name);
        def->SetDataType(dataType);
        def->SetSize(size);
        def->SetRequired(required);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return def;
}

int TFieldDefs::IndexOf(const std::string& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), name))
            return i;
    return -1;
}

TFieldDef* TFieldDefs::FindDef(const std::string& name) const
{
    const int index = IndexOf(name);
    return index >= 0 ? Items(index) : nullptr;
}

TFieldDef* TFieldDefs::Find(const std::string& name) const
{
    TFieldDef* def = FindDef(name);
    if (def == nullptr)
        DatabaseErrorFmt(DBConsts::SFieldNotFound, {name}, m_dataSet);
    return def;
}

void TFieldDefs::Update()
{
    if (!m_updated && m_dataSet != nullptr) {
        m_dataSet->InitFieldDefs();
        m_updated = true;
    }
}

void TFieldDefs::Update(TCollectionItem*)
{
    // A definition changed by hand no longer mirrors the cursor.
    m_updated = false;
}
