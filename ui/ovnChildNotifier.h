#pragma once
// A data-entry control without a value of its own: setting any value tells
// the owner form that a child changed, by posting it message 6658 (wParam 0,
// lParam the control). The owner form is the form the control lies in
// (ParentForm), also when that form is embedded in a container. Nothing in
// the client handles 6658; owner forms in applet libraries do (an applet
// form gets it in its WndProc).

#include "ui/ovnGeneralControl.h"

#include <QEvent>
#include <QPointer>

constexpr uint32_t WM_OVN_CHILD_NOTIFY = 6658;

class TOvnChildNotifier;

// The posted message. The control is held by a guarded pointer: when it is
// gone before the owner reads the message, Control reads null.
class TChildNotifyEvent : public QEvent
{
  public:
    static QEvent::Type EventType();
    explicit TChildNotifyEvent(TOvnChildNotifier* Control);
    const uint32_t Msg = WM_OVN_CHILD_NOTIFY;
    const uintptr_t WParam = 0;
    QPointer<TOvnChildNotifier> Control;
};

class TOvnChildNotifier : public TovnGeneralControl
{
  public:
    explicit TOvnChildNotifier(QWidget* Parent = nullptr) : TovnGeneralControl(Parent) {}
    std::string ClassName() const override { return "TOvnChildNotifier"; }

    void EnableContents(bool) override {}
    std::string GetValue() override { return {}; }
    void SetValue(const std::string& Value) override;
};
