#include "platform/Persistent.h"

#include "platform/SysUtils.h"

void TPersistent::Assign(const TPersistent& source)
{
    source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const
{
    dest.AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const
{
    const std::string sourceName = source ? source->ClassName() : std::string("nil");
    throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}
