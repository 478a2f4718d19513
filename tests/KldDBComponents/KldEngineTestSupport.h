#pragma once
// Shared pieces of the table engine tests: an event recorder and a helper
// that expects an engine error with an exact text.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Components/KldDBComponents/KldData.h"

// Records every event the container broadcasts (attached as its designer,
// which the container owns).
class KldEventLog : public TKldDataContainerDesigner
{
public:
    explicit KldEventLog(TKldDataContainer* container) : TKldDataContainerDesigner(container) {}
    void NotifyEvent(TObject* sender, TKldDataEventType event) override { Events.push_back({sender, event}); }

    int Count(TKldDataEventType event) const
    {
        int n = 0;
        for (const auto& e : Events)
            n += e.second == event ? 1 : 0;
        return n;
    }

    std::vector<std::pair<TObject*, TKldDataEventType>> Events;
};

// An adapter that records the calls it gets ("Fill(container)",
// "Fill(table People)"...) and runs an optional action for each.
class KldRecordingAdapter : public TKldDataAdapter
{
public:
    void Fill(TKldDataContainer* container) override { Record("Fill(container)"); }
    void Update(TKldDataContainer* container) override { Record("Update(container)"); }
    void Refresh(TKldDataContainer* container) override
    {
        Record("Refresh(container)");
        TKldDataAdapter::Refresh(container);
    }
    void Fill(TKldDataTable* table, void* options) override
    {
        Record("Fill(table " + table->Name() + (options ? ", options)" : ")"));
    }
    void Refresh(TKldDataTable* table) override { Record("Refresh(table " + table->Name() + ")"); }
    void Update(TKldDataTable* table, void* options) override
    {
        Record("Update(table " + table->Name() + (options ? ", options)" : ")"));
    }
    void RefreshRow(TKldDataRow* row) override { Record("RefreshRow"); }

    std::vector<std::string> Calls;
    // Runs after each call is recorded, with the call's text.
    std::function<void(const std::string&)> Action;

private:
    void Record(const std::string& call)
    {
        Calls.push_back(call);
        if (Action)
            Action(call);
    }
};

// Runs `body` and expects an Exception whose message is exactly `message`.
inline void ExpectKldError(const std::function<void()>& body, const std::string& message)
{
    try
    {
        body();
        ADD_FAILURE() << "expected the error: " << message;
    }
    catch (const EAssertionFailed& e)
    {
        ADD_FAILURE() << "assertion instead of the error: " << e.Message();
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(e.Message(), message);
    }
}
