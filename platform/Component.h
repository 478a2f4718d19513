#pragma once
// `TComponent`: the class library's owned component with a name and free
// notification.
//
// Lifetime rules:
// - A component created with an owner belongs to it: it must be allocated
//   with `new`, and the owner deletes it in its own destruction. Deleting an
//   owned component earlier is fine: it leaves its owner first.
// - A component without an owner is owned by whoever created it (stack,
//   unique_ptr, member).
// - When a component goes, every component that asked with FreeNotification
//   and every component of its owner hears Notification(it, opRemove), so that
//   nothing keeps a pointer to it. Receivers may compare the pointer but must
//   not use the object any more.
// - C++ runs the derived destructor before ~TComponent, so a derived class
//   whose Notification must still run while its owned components go, or whose
//   owned components use its members while they go, calls Destroying() first
//   in its own destructor. ~TComponent calls it when it has not been called.

#include "platform/Persistent.h"
#include "platform/SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

KLD_DECLARE_EXCEPTION(EComponentError, Exception);

enum TOperation
{
    opInsert,
    opRemove
};

enum TComponentStateFlag
{
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance
};

// A set of TComponentStateFlag values.
class TComponentState
{
  public:
    TComponentState() = default;
    TComponentState(std::initializer_list<TComponentStateFlag> flags)
    {
        for (auto f : flags)
            Include(f);
    }
    bool Contains(TComponentStateFlag flag) const { return (m_bits & Bit(flag)) != 0; }
    void Include(TComponentStateFlag flag) { m_bits |= Bit(flag); }
    void Exclude(TComponentStateFlag flag) { m_bits &= ~Bit(flag); }
    bool Empty() const { return m_bits == 0; }
    bool operator==(const TComponentState&) const = default;

  private:
    static uint32_t Bit(TComponentStateFlag flag) { return uint32_t(1) << static_cast<unsigned>(flag); }
    uint32_t m_bits = 0;
};

class TComponent : public TPersistent
{
  public:
    // With an owner, the owner's InsertComponent runs (a duplicate name is
    // impossible here since the name is still empty).
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;
    std::string ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return m_owner; }

    // The name must be empty or an identifier (letters, digits, '_', not
    // starting with a digit): EComponentError "'%s' is not a valid component
    // name". It must be unique among the owner's components without regard to
    // case: EComponentError "A component named %s already exists".
    const std::string& Name() const { return m_name; }
    virtual void SetName(const std::string& name);

    intptr_t Tag() const { return m_tag; }
    void SetTag(intptr_t tag) { m_tag = tag; }

    // Owned components, in insertion order.
    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    TComponent* Components(int index) const; // EListError when out of range
    int ComponentIndex() const;              // position in the owner's list, -1 without owner
    // The owned component with this name, without regard to case; null when none or `name` is ''.
    TComponent* FindComponent(const std::string& name) const;

    // Takes `component` (which must have no owner) into this one's list and
    // tells this component and its components (opInsert).
    void InsertComponent(TComponent* component);
    // Releases `component` from this one's list after telling this component
    // and its components (opRemove); the caller owns it afterwards.
    void RemoveComponent(TComponent* component);
    // Deletes every owned component, last first.
    void DestroyComponents();

    // Asks that `component` hear Notification(this, opRemove) when this one
    // goes (and, the link being mutual, this one when `component` goes).
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    const TComponentState& ComponentState() const { return m_componentState; }

    // Marks this component and its components csDestroying, tells every
    // free-notification partner that it goes, and deletes its components. Safe
    // to call more than once; see the lifetime rules above.
    void Destroying();

    // For readers that build components from stored forms: they set and clear
    // csLoading/csReading, then call Loaded, whose base clears csLoading.
    void SetComponentStateFlag(TComponentStateFlag flag, bool on);
    virtual void Loaded();

  protected:
    // Told about components inserted into or removed from the owner's tree
    // and about free-notification partners that go. The base forgets a partner
    // that goes and passes the notice on to every owned component; overrides
    // call it.
    virtual void Notification(TComponent* component, TOperation operation);

  private:
    void ValidateRename(TComponent* component, const std::string& curName, const std::string& newName) const;
    void RemoveNotification(TComponent* component);

    TComponent* m_owner = nullptr;
    std::string m_name;
    intptr_t m_tag = 0;
    std::vector<TComponent*> m_components;   // owned
    std::vector<TComponent*> m_freeNotifies; // borrowed, kept mutual
    TComponentState m_componentState;
    bool m_destroyingDone = false;
};
