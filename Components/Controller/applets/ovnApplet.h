#pragma once
// The applet object (unit ovnApplet): the run-time face of one loaded applet
// library. The library creates it in its "INIT" export and sets MainForm
// (and, when it wants, OnInit); the module view fills the rest at launch;
// the library's forms use it to close themselves, to open further applets
// and to run the calendar.
//
// Ownership: the applet object owns nothing but its lists; its forms are
// destroyed by the clean-up (ovnAppletUtils.h) before the library goes.
//
// Close(CloseAll) is the applet's own close request:
// - a close already running answers False, a closed applet True;
// - child forms close newest first; without CloseAll only the newest one
//   closes and the answer is False (the applet stays). A child that refuses
//   stays listed and the close ends as refused, as for the main form;
// - unsaved data (Modified) asks first; anything but Yes ends the close;
// - the main form closes; then 1124 (wParam 0, lParam = the applet) is
//   posted to Host and the applet is closed.
// A refused close puts the old state back and answers False.
//
// User-interface thread only.

#include "Components/Controller/applets/ovnAppletForm.h"
#include "platform/DynLibs.h"
#include "platform/Guarded.h"
#include "platform/StringList.h"
#include "ui/ovnGeneralControl.h"

#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class TovnController;
class TModuleForm;

enum TAppletState
{
    asLoading,
    asActive,
    asClosing,
    asClosed
};

// "There is some unsaved data in \"%s\". Close anyway?"
extern const char* const SAppletUnsavedData;

class TovnApplet : public TovnVirtualApplet, public TGuarded
{
  public:
    TovnApplet();
    ~TovnApplet() override;
    std::string ClassName() const override { return "TovnApplet"; }

    bool Close(bool CloseAll) override;
    // False without a controller; otherwise the controller's RunAppletExt
    // with this applet as the caller.
    bool RunApplet(const std::string& Resource, int Mode, const std::string& Params) override;
    // The controller's calendar; False without a controller.
    bool Calendar(TCustomEdit* Edit, TLookupTool Tool) override;

    int GetChildCount() const { return static_cast<int>(m_children.size()); }
    // Null for a child form that is gone.
    TovnAppletForm* GetChildren(int Index) const;
    // Lists the form first unless it is listed; answers the form.
    TovnAppletForm* AddChild(TovnAppletForm* Form);
    // Forgets a child without closing it (a form the library destroys itself).
    void RemoveChild(TovnAppletForm* Form);
    // The controller's info bar, again.
    void UpdateInfoBar();

    TAppletState State = asLoading;
    HMODULE LibHandle = nullptr;
    std::string Resource;
    int32_t Reserved = 0;
    int32_t SecurityIndex = 0;
    std::string Caption;
    int32_t Module = 0;
    bool LogAccess = false;
    int32_t Mode = 0;
    TStringList Params;
    TovnController* Controller = nullptr;
    bool Modified = false;
    // Set by the library in "INIT"; null once destroyed.
    QPointer<TovnAppletForm> MainForm;
    // Run once by the launch before the form is shown.
    std::function<void()> OnInit;
    // The form hosting MainForm: its container, or the module view of a
    // widget.
    QPointer<TModuleForm> Host;

    // Child forms released by a close and not yet destroyed; the clean-up
    // destroys them before the library goes.
    std::vector<QPointer<TovnAppletForm>>& ReleasedForms() { return m_released; }

  private:
    // Asks the form to close (close query, then the close event preset to
    // caFree); True when it may.
    bool AskFormToClose(TovnAppletForm* Form);

    std::vector<QPointer<TovnAppletForm>> m_children;
    std::vector<QPointer<TovnAppletForm>> m_released;
};
