#pragma once
// A command stack and an applet that record the calls a control makes on
// them, in order, in one shared list.

#include "ui/ovnGeneralControl.h"
#include "ui/ovnStackIntf.h"

#include "platform/SysUtils.h"

#include <string>
#include <vector>

class QWidget;

struct TCallLog
{
    std::vector<std::string> Calls;
};

struct TRecordingStack : IovnCommandStack
{
    explicit TRecordingStack(TCallLog& Log) : m_log(Log) {}
    bool CheckInit() override
    {
        m_log.Calls.push_back("CheckInit");
        return Sender != nullptr;
    }
    void InitStack(QWidget* Value) override
    {
        m_log.Calls.push_back("InitStack");
        Sender = Value;
    }
    void Write(TStackCommand Command, const std::string& Component, const std::string& Value) override
    {
        m_log.Calls.push_back("Write " + std::to_string(Command) + " " + Component + " " + Value);
    }
    void DropPlus() override
    {
        m_log.Calls.push_back("DropPlus");
        Sender = nullptr;
    }
    QWidget* Sender = nullptr;

  private:
    TCallLog& m_log;
};

// Answers RunApplet with Answer, or raises Raise when it is not empty.
struct TRecordingApplet : TovnVirtualApplet
{
    explicit TRecordingApplet(TCallLog& Log) : m_log(Log) {}
    bool Close(bool) override { return true; }
    bool RunApplet(const std::string& Resource, int Mode, const std::string& Params) override
    {
        m_log.Calls.push_back("RunApplet " + Resource + " " + std::to_string(Mode) + " [" + Params + "]");
        if (!Raise.empty())
            throw Exception(Raise);
        return Answer;
    }
    bool Calendar(TCustomEdit*, TLookupTool) override
    {
        m_log.Calls.push_back("Calendar");
        return CalendarAnswer;
    }
    bool Answer = true;
    bool CalendarAnswer = true;
    std::string Raise;

  private:
    TCallLog& m_log;
};

// Registers Stack for the scope.
class TStackRegistration
{
  public:
    explicit TStackRegistration(IovnCommandStack* Stack) : m_previous(SetCommandStack(Stack)) {}
    ~TStackRegistration() { SetCommandStack(m_previous); }
    TStackRegistration(const TStackRegistration&) = delete;
    TStackRegistration& operator=(const TStackRegistration&) = delete;

  private:
    IovnCommandStack* m_previous;
};
