#pragma once
// In-process applets for the tests of applet hosting: a form that records
// the messages it gets and can refuse to close, an applet object over it,
// and a module window that records the notices of its containers.

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnAppletUtils.h"

#include <QPointer>

#include <memory>
#include <vector>

class TTestForm : public TovnAppletForm
{
  public:
    explicit TTestForm(const std::string& Name = "TestForm")
    {
        setObjectName(QString::fromStdString(Name));
        OnCloseQuery = [this](TObject*, bool& CanClose) {
            ++CloseQueries;
            CanClose = !Refuse;
        };
    }
    void WndProc(TMessage& Message) override
    {
        Messages.push_back(Message.Msg);
        Received.push_back(Message);
        if (Message.Msg == WM_GETWIDGETCOLSPAN)
            Message.Result = ColSpan;
        TovnAppletForm::WndProc(Message);
    }
    bool Refuse = false;
    int CloseQueries = 0;
    LRESULT ColSpan = 0;
    std::vector<uint32_t> Messages;
    // The messages with their parameters.
    std::vector<TMessage> Received;
};

class TTestApplet : public TovnApplet
{
  public:
    explicit TTestApplet(const std::string& AResource = "TEST_APPLET", const std::string& ACaption = "Test")
    {
        Resource = AResource;
        Caption = ACaption;
        MainForm = new TTestForm(AResource + "_FORM");
    }
    TTestForm* Form() const { return static_cast<TTestForm*>(MainForm.data()); }
    TTestForm* AddTestChild(const std::string& Name)
    {
        auto* child = new TTestForm(Name);
        AddChild(child);
        return child;
    }
};

// A module window that keeps the 1124 notices its containers send.
class TRecordingModuleForm : public TModuleForm
{
  public:
    explicit TRecordingModuleForm(TModuleItem* Item) : TModuleForm(nullptr, Item)
    {
        if (Item)
            SetCaption(Item->Name);
    }
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_APPLETNOTIFICATION)
            Notices.push_back({Message.WParam, Message.LParam});
        TModuleForm::WndProc(Message);
    }
    struct TNotice
    {
        WPARAM WParam;
        LPARAM LParam;
    };
    std::vector<TNotice> Notices;
};
