#include "platform/Component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Log = std::vector<std::string>;

// A component that records what it hears and what it is told about its end.
class TProbe : public TComponent
{
  public:
    TProbe(TComponent* owner, const std::string& name, Log* log) : TComponent(owner), m_log(log)
    {
        SetName(name);
    }
    ~TProbe() override
    {
        Destroying();
        m_log->push_back(Name() + " destroyed");
    }
    std::string ClassName() const override { return "TProbe"; }

    // A reference to another component, cleared when that one goes.
    TComponent* Partner = nullptr;
    void SetPartner(TComponent* partner)
    {
        Partner = partner;
        if (partner)
            partner->FreeNotification(this);
    }

  protected:
    void Notification(TComponent* component, TOperation operation) override
    {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == Partner) {
            Partner = nullptr;
            m_log->push_back(Name() + " lost partner");
        }
    }

  private:
    Log* m_log;
};
} // namespace

TEST(Component, OwnerDeletesItsComponents)
{
    Log log;
    auto* owner = new TProbe(nullptr, "Owner", &log);
    auto* a = new TProbe(owner, "A", &log);
    auto* b = new TProbe(owner, "B", &log);
    auto* grandChild = new TProbe(a, "C", &log);

    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(0), a);
    EXPECT_EQ(owner->Components(1), b);
    EXPECT_EQ(b->ComponentIndex(), 1);
    EXPECT_EQ(grandChild->Owner(), a);
    EXPECT_EQ(owner->FindComponent("b"), b) << "names are found without case";
    EXPECT_EQ(owner->FindComponent("C"), nullptr) << "only the owner's own components";
    EXPECT_EQ(owner->FindComponent(""), nullptr);
    EXPECT_THROW(owner->Components(2), EListError);

    delete owner;
    EXPECT_EQ(log, (Log{"B destroyed", "C destroyed", "A destroyed", "Owner destroyed"}));
}

TEST(Component, DeletedComponentLeavesItsOwner)
{
    Log log;
    TProbe owner(nullptr, "Owner", &log);
    auto* a = new TProbe(&owner, "A", &log);
    auto* b = new TProbe(&owner, "B", &log);
    b->SetPartner(a);
    delete a;
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), b);
    EXPECT_EQ(b->Partner, nullptr) << "a component of the same owner hears through the owner";
    // The owner is told as the component's base part goes, after its own destructor.
    EXPECT_EQ(log, (Log{"A destroyed", "B lost partner"}));
}

TEST(Component, FreeNotificationAcrossOwners)
{
    Log log;
    TProbe left(nullptr, "Left", &log);
    auto* watched = new TProbe(&left, "Watched", &log);
    TProbe watcher(nullptr, "Watcher", &log);
    watcher.SetPartner(watched);

    delete watched;
    EXPECT_EQ(watcher.Partner, nullptr);
    EXPECT_EQ(log, (Log{"Watcher lost partner", "Watched destroyed"}));

    // The link is mutual: the watcher going first leaves nothing dangling.
    log.clear();
    auto* target = new TProbe(nullptr, "Target", &log);
    {
        TProbe shortLived(nullptr, "ShortLived", &log);
        shortLived.SetPartner(target);
    }
    delete target;
    EXPECT_EQ(log, (Log{"ShortLived destroyed", "Target destroyed"}));
}

TEST(Component, RemoveFreeNotificationStopsTheNotice)
{
    Log log;
    auto* watched = new TProbe(nullptr, "Watched", &log);
    TProbe watcher(nullptr, "Watcher", &log);
    watcher.SetPartner(watched);
    watched->RemoveFreeNotification(&watcher);
    delete watched;
    EXPECT_EQ(log, (Log{"Watched destroyed"}));
    EXPECT_NE(watcher.Partner, nullptr) << "no notice arrived";
}

TEST(Component, NamesAreIdentifiersAndUnique)
{
    Log log;
    TProbe owner(nullptr, "Owner", &log);
    auto* a = new TProbe(&owner, "Edit1", &log);
    auto* b = new TProbe(&owner, "", &log);

    struct Case
    {
        const char* name;
        const char* message;
    };
    const Case bad[] = {
        {"edit1", "A component named edit1 already exists"},
        {"1Edit", "'1Edit' is not a valid component name"},
        {"my edit", "'my edit' is not a valid component name"},
        {"Grüße", "'Grüße' is not a valid component name"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.name);
        try {
            b->SetName(c.name);
            ADD_FAILURE() << "no EComponentError";
        } catch (const EComponentError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(b->Name(), "");
    }
    a->SetName("EDIT1");
    EXPECT_EQ(a->Name(), "EDIT1") << "a change of case only is a rename to itself";
    b->SetName("_Edit2");
    EXPECT_EQ(owner.FindComponent("_edit2"), b);

    TComponent loose;
    loose.SetName("Edit1");
    EXPECT_THROW(owner.InsertComponent(&loose), EComponentError) << "inserting a duplicate name";
    EXPECT_EQ(loose.Owner(), nullptr);
}

TEST(Component, InsertAndRemoveMoveOwnership)
{
    Log log;
    TProbe first(nullptr, "First", &log);
    TProbe second(nullptr, "Second", &log);
    auto* item = new TProbe(&first, "Item", &log);

    second.InsertComponent(item);
    EXPECT_EQ(item->Owner(), &second);
    EXPECT_EQ(first.ComponentCount(), 0);
    EXPECT_EQ(second.ComponentCount(), 1);

    second.RemoveComponent(item);
    EXPECT_EQ(item->Owner(), nullptr);
    EXPECT_EQ(second.ComponentCount(), 0);
    delete item;
    EXPECT_EQ(log, (Log{"Item destroyed"}));

    EXPECT_THROW(first.InsertComponent(&first), EComponentError);
    auto* child = new TProbe(&first, "Child", &log);
    EXPECT_THROW(child->InsertComponent(&first), EComponentError) << "no ownership cycle";
}

TEST(Component, ComponentStateAndTag)
{
    TComponent owner;
    owner.SetComponentStateFlag(csDesigning, true);
    auto* child = new TComponent(&owner);
    EXPECT_TRUE(child->ComponentState().Contains(csDesigning)) << "designing passes to new components";
    EXPECT_FALSE(child->ComponentState().Contains(csLoading));

    owner.SetComponentStateFlag(csLoading, true);
    EXPECT_TRUE(owner.ComponentState().Contains(csLoading));
    owner.Loaded();
    EXPECT_FALSE(owner.ComponentState().Contains(csLoading));

    owner.SetTag(-7);
    EXPECT_EQ(owner.Tag(), -7);
    EXPECT_EQ((TComponentState{csReading, csWriting}), (TComponentState{csWriting, csReading}));
}

TEST(Component, ComponentsGoingWithTheOwnerAreMarkedAndReleased)
{
    Log log;
    class TWatcher : public TComponent
    {
      public:
        TWatcher(TComponent* owner, Log* log) : TComponent(owner), m_log(log) {}
        ~TWatcher() override
        {
            m_log->push_back(ComponentState().Contains(csDestroying) ? "marked destroying" : "not marked");
            m_log->push_back(Owner() ? "still owned" : "released");
        }

      private:
        Log* m_log;
    };
    auto* owner = new TComponent();
    new TWatcher(owner, &log);
    delete owner;
    EXPECT_EQ(log, (Log{"marked destroying", "released"}));
}
