#pragma once
// Text with every byte outside printable ASCII shown as <code>, so that a
// failed comparison of binary or multi-byte text reads plainly.

#include "platform/SysUtils.h"

#include <string>

inline std::string Visible(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c < 32 || c >= 127)
            out += Format("<%d>", static_cast<int>(c));
        else
            out += static_cast<char>(c);
    }
    return out;
}
