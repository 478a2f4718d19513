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
