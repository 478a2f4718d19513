// Feeds hostile mail texts to the mail rules that read what another user's
// client wrote: the body split into lines and 93-character print pieces
// (every byte of a line must come back in its pieces, in order, and no piece
// may hold more than 93 characters), the print pages (lines only move
// down a page), and the name a saved attachment is offered under (never a
// folder part, never empty, '.' or '..', never a control character, never
// more than 255 bytes).
//
// Input: byte 0 splits the rest into a stored file name and a body.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Components/Controller/mail/MailRules.h"

namespace {

size_t Characters(const std::string& Text)
{
    size_t n = 0;
    for (unsigned char c : Text)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t split = std::min<size_t>(data[0], rest.size());
    const std::string stored = rest.substr(0, split);
    const std::string body = rest.substr(split);

    const std::string offered = AttachmentSaveName(stored);
    if (offered.empty() || offered == "." || offered == ".." || offered.size() > 255 ||
        offered.find_first_of("/\\") != std::string::npos)
        std::abort();
    for (const char c : offered)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            std::abort();

    const auto lines = MailTextLines(body);
    for (const std::string& line : lines) {
        const auto pieces = MailPrintPieces({line});
        std::string joined;
        for (const std::string& piece : pieces) {
            if (Characters(piece) > MailPrintWidth)
                std::abort();
            joined += piece;
        }
        if (joined != line || pieces.empty())
            std::abort();
    }
    const auto pages = MailPrintLayout(stored, "s", "d", lines, 1 + data[0] % 40, 200);
    for (const auto& page : pages) {
        int y = 0;
        for (const auto& line : page) {
            if (line.Y <= y && y != 0)
                std::abort();
            y = line.Y;
        }
    }
    return 0;
}
