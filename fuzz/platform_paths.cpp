// Command lines, wildcard masks, safe path joins and window-link frames from
// arbitrary bytes: no crash, and the properties callers rely on hold.
#include "platform/FileUtils.h"
#include "platform/Processes.h"
#include "platform/WindowLink.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Any command line reads back into the same arguments once joined.
    const auto args = SplitCommandLine(text);
    if (SplitCommandLine(JoinCommandLine(args)) != args)
        std::abort();

    // A joined path never leaves its base.
    try {
        const std::string joined = SafeJoinPath("/base", text);
        if (joined.rfind("/base/", 0) != 0 || joined.find("/../") != std::string::npos ||
            (joined.size() >= 3 && joined.compare(joined.size() - 3, 3, "/..") == 0))
            std::abort();
    } catch (const EUnsafePath&) {
    }

    // Name and mask split at the first NUL; the matcher must stay bounded.
    const std::size_t cut = text.find('\0');
    if (cut != std::string::npos)
        MatchesMask(text.substr(0, cut), text.substr(cut + 1));
    else
        MatchesMask(text, text);

    if (size >= TWindowLink::FrameSize) {
        TWindowLink::Frame frame;
        if (TWindowLink::DecodeFrame(text.data(), frame) &&
            TWindowLink::EncodeFrame(frame) != text.substr(0, TWindowLink::FrameSize))
            std::abort();
    }
    return 0;
}
