#include "platform/TypInfo.h"

#include "platform/Variants.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TPropInfo

TPropInfo::TPropInfo(std::string name, TTypeKind kind, std::vector<std::string> enumNames, TGetText get,
                     TSetText set)
    : m_name(std::move(name)), m_kind(kind), m_enumNames(std::move(enumNames)), m_get(std::move(get)),
      m_set(std::move(set))
{
}

std::string TPropInfo::GetText(const TObject& instance) const
{
    return m_get(instance);
}

void TPropInfo::SetText(TObject& instance, const std::string& text) const
{
    if (!m_set)
        throw EPropertyError(Format("Property %s is read-only", m_name));
    m_set(instance, text);
}

// ---------------------------------------------------------------------------
// TPropList

void TPropList::Add(TPropInfo info)
{
    m_props.push_back(std::move(info));
}

const TPropInfo* TPropList::Find(std::string_view name) const
{
    for (const TPropList* list = this; list; list = list->m_parent)
        for (const TPropInfo& info : list->m_props)
            if (AnsiSameText(info.Name(), name))
                return &info;
    return nullptr;
}

std::vector<const TPropInfo*> TPropList::All() const
{
    std::vector<const TPropList*> chain;
    for (const TPropList* list = this; list; list = list->m_parent)
        chain.push_back(list);
    std::vector<const TPropInfo*> all;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        for (const TPropInfo& info : (*it)->m_props) {
            auto same = std::find_if(all.begin(), all.end(),
                                     [&](const TPropInfo* p) { return AnsiSameText(p->Name(), info.Name()); });
            if (same == all.end())
                all.push_back(&info);
            else
                *same = &info;
        }
    }
    return all;
}

// ---------------------------------------------------------------------------
// Look-ups

const TPropList* GetPropList(const TObject& instance)
{
    const auto* published = dynamic_cast<const IPublished*>(&instance);
    return published ? &published->PublishedProps() : nullptr;
}

const TPropInfo* GetPropInfo(const TObject& instance, std::string_view name)
{
    const TPropList* list = GetPropList(instance);
    return list ? list->Find(name) : nullptr;
}

bool IsPublishedProp(const TObject& instance, std::string_view name)
{
    return GetPropInfo(instance, name) != nullptr;
}

void RaiseUnknownProperty(const std::string& name)
{
    throw EPropertyError(Format("Property %s does not exist", name));
}

namespace {
const TPropInfo& RequireProp(const TObject& instance, const std::string& name)
{
    const TPropInfo* info = GetPropInfo(instance, name);
    if (!info)
        RaiseUnknownProperty(name);
    return *info;
}
} // namespace

std::string GetPropValue(const TObject& instance, const std::string& name)
{
    return RequireProp(instance, name).GetText(instance);
}

void SetPropValue(TObject& instance, const std::string& name, const std::string& text)
{
    RequireProp(instance, name).SetText(instance, text);
}

std::string GetEnumName(const std::vector<std::string>& names, int ordinal)
{
    if (ordinal < 0 || ordinal >= static_cast<int>(names.size()))
        return "";
    return names[static_cast<size_t>(ordinal)];
}

int GetEnumValue(const std::vector<std::string>& names, std::string_view name)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (AnsiSameText(names[i], name))
            return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------------------
// Conversions of the typed declarations

namespace TypInfoDetail {

int32_t TextToInteger(const std::string& text)
{
    return Variant(text).AsInteger();
}

int64_t TextToInt64(const std::string& text)
{
    return Variant(text).AsInt64();
}

int TextToEnum(const std::vector<std::string>& names, const std::string& text)
{
    const int value = GetEnumValue(names, text);
    if (value < 0)
        throw EPropertyConvertError(Format("Invalid property element: %s", text));
    return value;
}

void WrongClass(const std::string& property, const TObject& instance)
{
    throw EPropertyError(Format("Property %s does not belong to a %s", property, instance.ClassName()));
}

} // namespace TypInfoDetail
