#include "platform/Component.h"

#include "platform/ClassesText.h"

#include <algorithm>

namespace {
bool IsValidIdent(const std::string& name)
{
    if (name.empty())
        return false;
    auto isAlpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!isAlpha(name[0]))
        return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [&](char c) { return isAlpha(c) || (c >= '0' && c <= '9'); });
}

void Erase(std::vector<TComponent*>& list, TComponent* component)
{
    auto it = std::find(list.begin(), list.end(), component);
    if (it != list.end())
        list.erase(it);
}
} // namespace

TComponent::TComponent(TComponent* owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Nothing may escape a destructor; a notification handler that throws
    // while this component goes cannot stop it from going.
    try {
        Destroying();
    } catch (...) {
    }
    if (m_owner) {
        try {
            m_owner->RemoveComponent(this);
        } catch (...) {
            Erase(m_owner->m_components, this);
        }
    }
}

void TComponent::Destroying()
{
    if (m_destroyingDone)
        return;
    m_destroyingDone = true;
    m_componentState.Include(csDestroying);
    for (TComponent* component : m_components)
        component->m_componentState.Include(csDestroying);
    // The link is dropped on both sides before the partner hears of it, so a
    // partner whose Notification does not call the base keeps no stale pointer.
    while (!m_freeNotifies.empty()) {
        TComponent* partner = m_freeNotifies.back();
        m_freeNotifies.pop_back();
        partner->RemoveNotification(this);
        partner->Notification(this, opRemove);
    }
    DestroyComponents();
}

void TComponent::SetName(const std::string& name)
{
    if (name == m_name)
        return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError("'" + name + "' is not a valid component name");
    if (m_owner)
        m_owner->ValidateRename(this, m_name, name);
    m_name = name;
}

void TComponent::ValidateRename(TComponent* component, const std::string& curName,
                                const std::string& newName) const
{
    if (newName.empty() || AnsiSameText(curName, newName))
        return;
    TComponent* existing = FindComponent(newName);
    if (existing && existing != component)
        throw EComponentError("A component named " + newName + " already exists");
}

TComponent* TComponent::Components(int index) const
{
    if (index < 0 || index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return m_components[index];
}

int TComponent::ComponentIndex() const
{
    if (!m_owner)
        return -1;
    const auto& list = m_owner->m_components;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty())
        return nullptr;
    for (TComponent* component : m_components)
        if (AnsiSameText(component->m_name, name))
            return component;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component)
        return;
    // An ownership cycle would make each component delete the other.
    for (const TComponent* c = this; c; c = c->m_owner)
        if (c == component)
            throw EComponentError("A component cannot own itself or its owner");
    if (component->m_owner == this)
        return;
    ValidateRename(component, std::string(), component->m_name);
    if (component->m_owner)
        component->m_owner->RemoveComponent(component);
    m_components.push_back(component);
    component->m_owner = this;
    if (m_componentState.Contains(csDesigning))
        component->m_componentState.Include(csDesigning);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    if (!component || component->m_owner != this)
        return;
    Notification(component, opRemove);
    Erase(m_components, component);
    component->m_owner = nullptr;
}

void TComponent::DestroyComponents()
{
    while (!m_components.empty()) {
        TComponent* component = m_components.back();
        RemoveComponent(component);
        // A Notification override that removed it already leaves it to us all the same.
        Erase(m_components, component);
        component->m_owner = nullptr;
        delete component;
    }
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this)
        return;
    // Components of one owner hear of each other through the owner already.
    if (m_owner == nullptr || component->m_owner != m_owner) {
        if (std::find(m_freeNotifies.begin(), m_freeNotifies.end(), component) == m_freeNotifies.end()) {
            m_freeNotifies.push_back(component);
            component->FreeNotification(this);
        }
    }
    m_componentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    if (!component)
        return;
    RemoveNotification(component);
    component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component)
{
    Erase(m_freeNotifies, component);
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
    if (operation == opRemove && component)
        RemoveFreeNotification(component);
    // By index: a handler may remove components from this list.
    for (size_t i = 0; i < m_components.size(); ++i)
        m_components[i]->Notification(component, operation);
}

void TComponent::SetComponentStateFlag(TComponentStateFlag flag, bool on)
{
    if (on)
        m_componentState.Include(flag);
    else
        m_componentState.Exclude(flag);
}

void TComponent::Loaded()
{
    m_componentState.Exclude(csLoading);
}
