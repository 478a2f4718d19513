#pragma once
// Errors of the class model: a cast to a class the object is not, and a call
// of an operation its class leaves to descendants.

#include "platform/SysUtils.h"

// "Invalid class typecast".
KLD_DECLARE_EXCEPTION(EInvalidCast, Exception);
// "Abstract Error".
KLD_DECLARE_EXCEPTION(EAbstractError, Exception);

[[noreturn]] inline void AbstractError() { throw EAbstractError("Abstract Error"); }
