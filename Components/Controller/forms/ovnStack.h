#pragma once
// Unit ovnStack: the command stack through which one applet form fills, and
// receives a result from, another (`TovnStack`, the one instance `aStack`).
//
// A form that is about to start another applet (the plus button of a
// combo) becomes the pending sending form (`InitStack`) and queues commands
// addressed by component name (`Write`); the started form's data-form
// manager takes the sending form (`GetSender`) and carries the commands out
// against its own form (`Run`), the return commands when the user accepts.
// The queue is an in-memory dataset of four fields (Sender, Command,
// Component, Value) filtered by the sending form.
//
// Forms are numbered for the Sender field: a number is given on a form's
// first use and never given again. When a form is destroyed its queued rows
// are dropped and it reads as none from then on (also as the pending
// sending form), so that no command ever reaches a freed form or a new one
// that happens to take its place.
//
// User-interface thread only. Failures raise EovnStack.

#include "Components/Nembra/NembraDataSet.h"
#include "platform/SysUtils.h"
#include "ui/ovnStackIntf.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

KLD_DECLARE_EXCEPTION(EovnStack, Exception);

// What a Run carries out: every command but cm_Return; only cm_Return;
// nothing (the rows are dropped).
enum TRunMode
{
    rmStandard,
    rmReturn,
    rmIgnore
};

// "Sender must be specified in Stack.Write"
extern const char* const SStackNoSender;
// "some form did not call getSender"
extern const char* const SStackPendingSender;

class TovnStack : public TNembraDataSet, public IovnCommandStack
{
  public:
    // The four fields, opened and filtered.
    TovnStack();
    ~TovnStack() override;
    std::string ClassName() const override { return "TovnStack"; }

    // Sender becomes the pending sending form; raises when one is pending.
    void InitStack(QWidget* Sender) override;
    // Whether a sending form is pending.
    bool CheckInit() override;
    // Queues Command for the pending sending form; both texts trimmed and
    // upper-cased (ASCII). A Component over 100 or a Value over 250
    // characters is refused: the field would cut it.
    void Write(TStackCommand Command, const std::string& Component, const std::string& Value) override;
    // Drops the rows written since the pending sending form was set, and
    // the pending form: the applet meant to take them did not start.
    void DropPlus() override;
    // The pending sending form, which is cleared.
    QWidget* GetSender();
    // Carries out (or drops) the rows Sender queued, against Target.
    void Run(QWidget* Sender, QWidget* Target, TRunMode Mode, bool Once);
    // Deletes every row of Sender; a null Sender: every row.
    void ClearStack(QWidget* Sender);
    // Carries out the current row against Target.
    void DoRun(QWidget* Target);

    // The number of Form in the Sender field (0 for none); given on first
    // use.
    int FormNumber(QWidget* Form);
    // The living form of a number; null when none or gone.
    QWidget* FormOfNumber(int Number) const;

  private:
    void FormDestroyed(int Number);
    void DeleteRowsOf(int Number);
    void SetSenderFilter(int Number);

    QPointer<QWidget> m_pending;
    int m_nextNumber = 1;
    std::map<int, QPointer<QWidget>> m_forms;
    std::unique_ptr<QObject> m_watch;
    std::vector<TBookmark> m_written;
};

// The one stack; made when the library loads, registered as the controls'
// command stack.
extern TovnStack* aStack;
