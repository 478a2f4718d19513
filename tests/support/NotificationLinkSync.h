#pragma once
// Waits until the relay has taken everything a notification link sent so
// far (its "set" of the session, above all), so that messages addressed to
// that session find the link. The relay answers test_history after all
// that the link sent before it, so its answer is the sign; the server must
// run with --test-procedures. The answer itself is kept from the link's
// own handler.

#include "Components/Nembra/NembraNotificationsClient.h"
#include "support/EventLoopWait.h"

#include <chrono>
#include <string>

inline bool SyncNotificationLink(TNembraNotificationsClient& Client,
                                 std::chrono::milliseconds Timeout = std::chrono::seconds(10))
{
    bool synced = false;
    const TNembraMessageEvent handler = Client.OnMessage;
    Client.OnMessage = [&synced, handler](TObject* Sender, const std::string& Message) {
        if (Message.rfind("[history]", 0) == 0)
            synced = true;
        else if (handler)
            handler(Sender, Message);
    };
    Client.SendText(R"({"command":"test_history"})");
    const bool ok = RunEventsUntil([&synced] { return synced; }, Timeout);
    Client.OnMessage = handler;
    return ok;
}
