#include "Components/Controller/web/BrowserBindings.h"

#include "platform/SysUtils.h"

const TBrowserBindings::Item* TBrowserBindings::Find(const std::string& Name) const
{
    for (const Item& item : m_items)
        if (SameText(item.Name, Name))
            return &item;
    return nullptr;
}

DISPID TBrowserBindings::Bind(const std::string& Name, TBrowserMessageEvent Handler)
{
    if (const Item* bound = Find(Name))
        return bound->DispId;
    m_items.push_back({Name, m_next, std::move(Handler)});
    return m_next++;
}

void TBrowserBindings::Unbind(const std::string& Name)
{
    for (auto it = m_items.begin(); it != m_items.end(); ++it)
        if (SameText(it->Name, Name))
        {
            m_items.erase(it);
            return;
        }
}

bool TBrowserBindings::Contains(DISPID DispId) const
{
    for (const Item& item : m_items)
        if (item.DispId == DispId)
            return true;
    return false;
}

HRESULT TBrowserBindings::GetIDsOfNames(const std::vector<std::string>& Names, std::vector<DISPID>& DispIds) const
{
    HRESULT hr = S_OK;
    DispIds.clear();
    for (const std::string& name : Names)
    {
        const Item* item = Find(name);
        DispIds.push_back(item ? item->DispId : DISPID_UNKNOWN);
        if (!item)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT TBrowserBindings::Invoke(DISPID DispId, uint16_t Flags, const std::vector<Variant>& Params,
                                 Variant* Result) const
{
    const Item* item = nullptr;
    for (const Item& candidate : m_items)
        if (candidate.DispId == DispId)
            item = &candidate;
    if (item == nullptr)
        return DISP_E_UNKNOWNNAME;
    if ((Flags & DISPATCH_PROPERTYGET) != 0 && Result == nullptr)
        return DISP_E_EXCEPTION;
    if ((Flags & DISPATCH_PROPERTYPUT) != 0)
        return E_NOTIMPL;
    if ((Flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0)
    {
        // One run per call, whether the page reads the result or not.
        Variant answer = item->Handler ? item->Handler(Params) : Variant();
        if ((Flags & DISPATCH_PROPERTYGET) != 0)
            *Result = std::move(answer);
    }
    return S_OK;
}
