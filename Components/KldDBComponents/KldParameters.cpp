#include "Components/KldDBComponents/KldParameters.h"

#include <algorithm>

#include "platform/SysUtils.h"

// --- TKldParameter -----------------------------------------------------------

std::string TKldParameter::DisplayName() const
{
    return Name.empty() ? TCollectionItem::DisplayName() : Name;
}

std::string TKldParameter::GetSourceName() const
{
    return SourceColumn.empty() ? Name : SourceColumn;
}

void TKldParameter::Assign(const TPersistent& source)
{
    if (auto* other = dynamic_cast<const TKldParameter*>(&source))
    {
        Name = other->Name;
        Value = other->Value;
        DataType = other->DataType;
        ParamType = other->ParamType;
        DataSize = other->DataSize;
        SourceColumn = other->SourceColumn;
        RowVersion = other->RowVersion;
        return;
    }
    TCollectionItem::Assign(source);
}

// --- TKldParameters ----------------------------------------------------------

TKldParameters::TKldParameters(TPersistent* owner) : TOwnedCollection(owner, CollectionItemClass<TKldParameter>())
{
}

void TKldParameters::Notify(TCollectionItem* item, TCollectionNotification action)
{
    TOwnedCollection::Notify(item, action);
    if (OnChange)
        OnChange(this);
}

TKldParameter* TKldParameters::AddParameter(const std::string& name, TKldParamType paramType,
                                            TKldDataType dataType, int dataSize)
{
    TKldParameter* p = Add();
    p->Name = name;
    p->ParamType = paramType;
    p->DataType = dataType;
    p->DataSize = dataSize;
    return p;
}

TKldParameter* TKldParameters::Find(const std::string& name) const
{
    for (int i = 0; i < Count(); ++i)
    {
        if (AnsiSameText(Items(i)->Name, name))
            return Items(i);
    }
    return nullptr;
}

TKldParameter* TKldParameters::Get(const std::string& name) const
{
    TKldParameter* p = Find(name);
    if (!p)
        throw Exception(Format("Field or parameter not found: %s", name));
    return p;
}

void TKldParameters::AssignByName(const std::string& name, const Variant& value)
{
    if (TKldParameter* p = Find(name))
        p->Value = value;
}

void TKldParameters::AssignValues(const TKldParameters& params)
{
    for (int i = 0; i < params.Count(); ++i)
        AssignByName(params.Items(i)->Name, params.Items(i)->Value);
}

void TKldParameters::AssignValues(const Variant& values)
{
    if (VarIsEmpty(values))
        return;
    ClearValues();
    if (VarIsArray(values))
    {
        // The array is read from index 0 whatever its low bound says; elements
        // outside its bounds are not read.
        int low = VarArrayLowBound(values, 1);
        int high = std::min(Count() - 1, VarArrayHighBound(values, 1));
        for (int i = 0; i <= high; ++i)
        {
            if (i >= low)
                Items(i)->Value = values[i];
        }
    }
    else if (Count() > 0)
    {
        Items(0)->Value = values;
    }
}

void TKldParameters::ClearValues()
{
    for (int i = 0; i < Count(); ++i)
        Items(i)->Value = Variant::Null();
}

Variant TKldParameters::GetOutputValues() const
{
    std::vector<Variant> values;
    for (int i = 0; i < Count(); ++i)
    {
        TKldParamType t = Items(i)->ParamType;
        if (t == cptOutput || t == cptInputOutput || t == cptResult)
            values.push_back(Items(i)->Value);
    }
    if (values.empty())
        return Variant::Null();
    if (values.size() == 1)
        return values.front();
    return VarArrayOf(values);
}

std::string TKldParameters::GetAutoName(const std::string& baseName, int index) const
{
    std::string name = index > 0 ? baseName + IntToStr(index) : baseName;
    while (Find(name))
    {
        ++index;
        name = baseName + IntToStr(index);
    }
    return name;
}

std::string GetParamName(const std::string& name)
{
    if (name.empty())
        return "Param";
    auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::string result;
    if (!isLetter(name[0]) && name[0] != '_')
        result += '_';
    for (size_t i = 0; i < name.size(); ++i)
    {
        char c = name[i];
        if (isLetter(c) || isDigit(c) || c == '_')
        {
            result += c;
            continue;
        }
        // One character of the text becomes one "_", also when UTF-8 spends
        // several bytes on it.
        result += '_';
        if (static_cast<unsigned char>(c) >= 0xC0)
        {
            while (i + 1 < name.size() && (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80)
                ++i;
        }
    }
    return result;
}

// --- Provider registry -----------------------------------------------------

namespace
{

std::string ProviderName(TComponent* component)
{
    auto* provider = dynamic_cast<IKldDataProvider*>(component);
    return provider ? provider->GetProviderName() : std::string();
}

} // namespace

std::vector<TComponent*>& DBDatabases()
{
    static std::vector<TComponent*> providers;
    return providers;
}

void RegisterKldDataProvider(TComponent* component)
{
    if (!component || !dynamic_cast<IKldDataProvider*>(component))
        return;
    auto& list = DBDatabases();
    auto it = std::find(list.begin(), list.end(), component);
    if (!ProviderName(component).empty())
    {
        if (it == list.end())
            list.push_back(component);
    }
    else if (it != list.end())
    {
        list.erase(it);
    }
}

void UnRegisterKldDataProvider(TComponent* component)
{
    auto& list = DBDatabases();
    list.erase(std::remove(list.begin(), list.end(), component), list.end());
}

TComponent* FindKldDataProvider(const std::string& name)
{
    for (TComponent* c : DBDatabases())
    {
        if (AnsiSameText(ProviderName(c), name))
            return c;
    }
    return nullptr;
}

void GetKldDataProviders(TStrings& list)
{
    list.BeginUpdate();
    try
    {
        list.Clear();
        for (TComponent* c : DBDatabases())
            list.Add(ProviderName(c));
    }
    catch (...)
    {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

// --- TKldDataCommand ---------------------------------------------------------

TKldDataCommand::TKldDataCommand(TObject* provider)
{
    m_provider = dynamic_cast<IKldDataProvider*>(provider);
    if (!m_provider)
        throw Exception("Invalid data provider object assigned");
    m_providerObject = provider;
    m_params = std::make_unique<TKldParameters>(this);
    m_outputParams = std::make_unique<TKldParameters>(this);
}

TKldDataCommand::~TKldDataCommand() = default;

void TKldDataCommand::ReleaseCommand()
{
    if (GetPrepared())
        SetPrepared(false);
    m_provider = nullptr;
    m_providerObject = nullptr;
}

void TKldDataCommand::CheckPrepared() const
{
    if (!GetPrepared())
        throw Exception("Unable to perform this operation. Command is not prepared");
}

void TKldDataCommand::CheckProviderConnected()
{
    if (!m_provider)
        throw Exception("Data provider object is not assigned");
    m_provider->CheckConnected(true);
}
