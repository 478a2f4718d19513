#pragma once
// The names a page reaches as methods of `window.external` on the light
// view: each bound name has a handler and a dispatch identifier (DISPID).
//
// - DISPIDs come from a counter that starts at 10001 and advances each time
//   a binding is added; a DISPID is never given again, so after Unbind every
//   remaining and later binding keeps reaching its own handler.
// - Names are matched without regard to case; binding a bound name again
//   keeps the first handler.
// - Invoke gets the call's values as the dispatch convention holds them:
//   the last script argument first. A call runs its handler once; a call
//   that is both a method call and a property read answers that result,
//   empty or not.

#include "Components/Controller/web/ovnWebViewController.h"
#include "platform/ComTypes.h"

#include <string>
#include <vector>

class TBrowserBindings
{
  public:
    static constexpr DISPID FirstDispId = 10001;

    // The DISPID of the new binding, or of the binding kept for that name.
    DISPID Bind(const std::string& Name, TBrowserMessageEvent Handler);
    void Unbind(const std::string& Name);
    int Count() const { return static_cast<int>(m_items.size()); }
    bool Contains(DISPID DispId) const;

    // One DISPID per name, DISPID_UNKNOWN for an unbound one (then the answer
    // is DISP_E_UNKNOWNNAME; the other names are still resolved).
    HRESULT GetIDsOfNames(const std::vector<std::string>& Names, std::vector<DISPID>& DispIds) const;
    // `Result` null: no result slot.
    HRESULT Invoke(DISPID DispId, uint16_t Flags, const std::vector<Variant>& Params, Variant* Result) const;

  private:
    struct Item
    {
        std::string Name;
        DISPID DispId;
        TBrowserMessageEvent Handler;
    };
    const Item* Find(const std::string& Name) const;

    std::vector<Item> m_items;
    DISPID m_next = FirstDispId;
};
