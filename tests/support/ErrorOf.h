#pragma once
// The message of the exception of class E (any Exception by default) that
// `fn` raises, or "" when it raises none. An exception of another class
// passes through and fails the test.

#include "platform/SysUtils.h"

#include <string>
#include <utility>

template <class E = Exception, class Fn> std::string ErrorOf(Fn&& fn)
{
    try {
        std::forward<Fn>(fn)();
    } catch (const E& e) {
        return e.Message();
    }
    return {};
}
