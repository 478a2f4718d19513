#pragma once
// Unit ovnStackIntf: what a combo's plus button needs of the controller's
// command stack, below the controller. The controller's stack implements
// `IovnCommandStack` and registers itself with `SetCommandStack`; until it
// does, `RequireCommandStack` raises.

#include <string>

class QWidget;

// The commands one form leaves for another; stored by these ordinals.
enum TStackCommand
{
    cm_SetData = 0,
    cm_Enabled = 1,
    cm_EnabledAll = 2,
    cm_Visible = 3,
    cm_Color = 4,
    cm_NewRecord = 5,
    cm_VisibleTab = 6,
    cm_Return = 7,
    cm_ReadOnly = 8,
    cm_Filter = 9,
    cm_Marked = 10
};

class IovnCommandStack
{
  public:
    virtual ~IovnCommandStack() = default;
    // Whether a sending form is pending.
    virtual bool CheckInit() = 0;
    // Sender becomes the pending sending form.
    virtual void InitStack(QWidget* Sender) = 0;
    // Queues a command for the pending sending form.
    virtual void Write(TStackCommand Command, const std::string& Component, const std::string& Value) = 0;
    // Undoes the current plus press: drops the rows it queued and the
    // pending sender it set (the started applet never came to take them).
    virtual void DropPlus() = 0;
};

// The registered stack (nil when none is); not owned.
IovnCommandStack* CommandStack();
// Registers Value (nil: none) and answers the stack registered before.
IovnCommandStack* SetCommandStack(IovnCommandStack* Value);
// The registered stack; raises Exception "No command stack is registered"
// when there is none.
IovnCommandStack& RequireCommandStack();
