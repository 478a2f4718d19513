#pragma once
// The form base of applet libraries (`TovnAppletForm`): a widget with a
// window handle, through which the host's messages reach it, and the close
// protocol of the old platform's forms.
//
// - Messages: the host dispatches 1224 (`WM_APPLETSHOWN`), 1225
//   (`WM_GETWIDGETCOLSPAN`) and 1524 (`WM_FILLINFOBARITEMS`, lParam the
//   controller's `TovnInfoList`) synchronously through Perform, so that an
//   error a handler raises reaches the host; 48061 (`WM_APPLETREACTIVATE`)
//   arrives the same way. Posted messages reach WndProc through Handle.
//   A form overrides WndProc and passes what it does not handle to the base.
//   A child notifier's 6658 (ui/ovnChildNotifier.h) arrives in WndProc too,
//   with lParam the notifier (0 when it was destroyed before delivery).
// - Closing: `CloseQuery` says whether the form may close; `DoClose` runs the
//   close event with the action the caller presets (caFree: destroy the
//   form, deferred; caHide; caNone: stay). `Close` is both, as the user's
//   close does it; `Release` destroys the form once the event loop runs.
// - A form finds its named parts (`FindComponent`) by object name.
//
// User-interface thread only.

#include "platform/Guarded.h"
#include "platform/Menus.h"
#include "platform/Messages.h"
#include "platform/Persistent.h"

#include <QWidget>

#include <functional>
#include <string>

enum class TCloseAction
{
    caNone,
    caHide,
    caFree,
    caMinimize
};

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TovnAppletForm : public QWidget, public TObject, public IMessageReceiver, public TGuarded
{
  public:
    explicit TovnAppletForm(QWidget* Parent = nullptr);
    ~TovnAppletForm() override;
    std::string ClassName() const override { return "TovnAppletForm"; }

    HWND Handle() const { return m_handle; }
    // Dispatches the message to WndProc now; an error raised there reaches
    // the caller.
    LRESULT Perform(uint32_t Msg, WPARAM WParam, LPARAM LParam);
    void WndProc(TMessage& Message) override;

    std::string Caption() const;
    void SetCaption(const std::string& Value);
    // The named part of the form (object name, case ignored), or null.
    QObject* FindComponent(const std::string& Name) const;

    // Whether the form is scaled to the screen's resolution (a host turns it
    // off; nothing scales here, the value is kept).
    bool Scaled() const { return m_scaled; }
    void SetScaled(bool Value) { m_scaled = Value; }
    // The menu a widget panel offers for this form (not owned).
    TPopupMenu* PopupMenu() const { return m_popupMenu.Get(); }
    void SetPopupMenu(TPopupMenu* Value) { m_popupMenu = Value; }

    // The close query (OnCloseQuery); True when the form may close.
    virtual bool CloseQuery();
    // The close event (OnClose) with Action preset by the caller.
    virtual void DoClose(TCloseAction& Action);
    // Close query, then the close event preset to caHide; carries out the
    // action. True unless the form stays.
    bool Close();
    // Destroys the form once the event loop runs again.
    void Release();

    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;

  protected:
    void closeEvent(QCloseEvent* Event) override;
    bool event(QEvent* Event) override;

  private:
    HWND m_handle = NullHWnd;
    bool m_scaled = true;
    bool m_inCloseEvent = false;
    TGuardedPtr<TPopupMenu> m_popupMenu;
};
