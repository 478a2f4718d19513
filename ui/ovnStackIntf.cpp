#include "ui/ovnStackIntf.h"

#include "platform/SysUtils.h"

namespace {

IovnCommandStack* g_stack = nullptr;

} // namespace

IovnCommandStack* CommandStack() { return g_stack; }

IovnCommandStack* SetCommandStack(IovnCommandStack* Value)
{
    IovnCommandStack* previous = g_stack;
    g_stack = Value;
    return previous;
}

IovnCommandStack& RequireCommandStack()
{
    if (!g_stack)
        throw Exception("No command stack is registered");
    return *g_stack;
}
