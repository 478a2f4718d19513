// The edit-mask engine on arbitrary masks and typed texts: the first byte
// splits the input into a mask and a text. Whatever they hold, fitting keeps
// the EditText well formed (one character per position, literals in place),
// typing never breaks it, and Text read back and fitted again gives the same
// EditText for a mask that saves its literals.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/MaskUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t split = std::min<size_t>(data[0], size - 1);
    const std::string mask(reinterpret_cast<const char*>(data + 1), split);
    const std::string text(reinterpret_cast<const char*>(data + 1 + split), size - 1 - split);

    const TEditMask m(mask);
    if (!m.IsMasked())
        return 0;
    const std::string blank = m.BlankEditText();
    if (!m.IsWellFormed(blank))
        std::abort();
    std::string edit = m.EditTextFromText(text);
    if (!m.IsWellFormed(edit))
        std::abort();
    if (Utf8ToCodePoints(edit).size() != m.Positions().size())
        std::abort();

    // Round trip: Text fitted again is the same EditText when literals are
    // kept (a blank position reads as a space and fits back as blank).
    const std::string t = m.TextFromEditText(edit);
    if (m.SaveLiterals() && !m.Reverse() && m.BlankChar() != U' ' && m.EditTextFromText(t) != edit)
        std::abort();

    // Typing the text character by character from the start.
    std::string typed = blank;
    int pos = 0;
    for (char32_t c : Utf8ToCodePoints(text)) {
        const int next = m.TypeChar(typed, pos, c);
        if (next >= 0)
            pos = next;
        if (!m.IsWellFormed(typed))
            std::abort();
    }
    m.ClearRange(typed, 0, static_cast<int>(m.Positions().size()));
    if (typed != blank)
        std::abort();
    return 0;
}
