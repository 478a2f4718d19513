// Feeds hostile bytes to the reading of server replies: the status line and
// headers, cookies, identity and chunked bodies (chunks of every size,
// including 0), gzip, the progress stream with its final handle chunk, and
// the reply to the handle request, all through one JSON call of a
// connection whose transport answers from the input instead of a socket.
//
// Input: byte 0 is the size of the pieces the body arrives in (0: all at
// once), bytes 1-2 where the first reply ends and the second (the answer to
// "ResponseHandle=") begins; the rest is the two replies. A call may fail
// with the system's own errors; anything else (a crash, a read out of
// bounds, a runaway allocation, another exception) is a bug.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"
#include "tests/support/ScriptedTransport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 3, size - 3);
    const size_t split = std::min<size_t>(bytes.size(), static_cast<size_t>(data[1]) << 8 | data[2]);

    TScriptedConnection connection;
    connection.Script.PieceSize = data[0];
    connection.Script.Replies.push_back(bytes.substr(0, split));
    connection.Script.Replies.push_back(bytes.substr(split));
    connection.Open();
    std::unique_ptr<TNembraRequest> request = connection.GetNembraRequest();
    request->SetProcedureName("Fuzz.Call");
    request->SetParam("A", Variant("1"));
    try {
        request->Execute();
        // What was accepted reads out without failing.
        request->GetJSONObject().GetAsString();
        request->GetHeaderValue("Content-Type");
    } catch (const Exception&) {
    }
    if (request->State() != vrsIdle || connection.TransportPoolCount() != 1)
        __builtin_trap(); // every call ends idle and gives its transport back
    return 0;
}
