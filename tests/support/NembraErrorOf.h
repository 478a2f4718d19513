#pragma once
// The code and message of the TNembraException that `fn` raises; code 0 and
// an empty message when it raises none. Other exceptions pass through.

#include "Components/Nembra/NembraRequest.h"

#include <ostream>
#include <string>
#include <utility>

struct TServerError
{
    int Code = 0;
    std::string Message;
    bool operator==(const TServerError&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TServerError& e)
{
    return os << "#" << e.Code << " \"" << e.Message << "\"";
}

template <class Fn> TServerError ServerErrorOf(Fn&& fn)
{
    try {
        std::forward<Fn>(fn)();
    } catch (const TNembraException& e) {
        return TServerError{e.ErrorCode(), e.Message()};
    }
    return {};
}
