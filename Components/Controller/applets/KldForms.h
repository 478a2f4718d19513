#pragma once
// The module desktop and its windows (unit KldForms):
// - `TModuleForm`: the base of every module window (module views, applet
//   containers, the system forms). It announces itself to the desktop when
//   made (AddForm, then 4025 with wParam 1 posted, which activates it) and
//   leaves it when destroyed. It has a window handle for the messages of
//   applets and the desktop, the activation events the desktop runs, and the
//   close protocol: a close asks CloseQuery, then FormClose with the action
//   preset to caFree (the window is destroyed once the event loop runs). It
//   paints its background in its colour (the palette's window colour).
// - `TovnDesktop` (`AppDesktop`, made by the main window): holds the module
//   windows, shows one at a time and tiles "BMP_DEFAULTBG" behind them. A
//   new window goes just before the active one in the list. When the active
//   window leaves, its neighbour in the list becomes active (the previous one
//   when it was last); when another window leaves, the active one stays.
// - `TovnWindowItem`: the section of the "Window" menu that lists the held
//   windows, rebuilt each time before the menu opens; a click activates.
//
// User-interface thread only.

#include "Components/Controller/applets/ovnBrowserUtils.h"
#include "platform/Controls.h"
#include "platform/Messages.h"

#include <QImage>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class TovnDesktop;

// The one module desktop; null until the main window makes it.
extern TovnDesktop* AppDesktop;

enum TFormCloseAction
{
    fcaNone,
    fcaHide,
    fcaFree
};

class TModuleForm : public TCustomModuleForm, public IMessageReceiver
{
  public:
    TModuleForm(QWidget* Parent, TModuleItem* Item);
    ~TModuleForm() override;
    std::string ClassName() const override { return "TModuleForm"; }

    HWND Handle() const { return m_handle; }
    void WndProc(TMessage& Message) override;
    // Dispatches the message to WndProc now (errors reach the caller).
    LRESULT Perform(uint32_t Msg, WPARAM WParam, LPARAM LParam);
    // Posts (Post) or sends 4025 (WParam, this form) to the desktop.
    void ExecuteNotify(WPARAM WParam, bool Post);

    std::string Caption() const { return windowTitle().toStdString(); }
    void SetCaption(const std::string& Value) { setWindowTitle(QString::fromStdString(Value)); }

    // The desktop's activation and deactivation of the window.
    virtual void Activate();
    virtual void Deactivate();
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // Whether the window may close now.
    virtual bool CloseQuery() { return true; }
    // What a close that was allowed does; preset to caFree.
    virtual void FormClose(TFormCloseAction& Action) {}

  protected:
    void closeEvent(QCloseEvent* Event) override;

  private:
    HWND m_handle = NullHWnd;
};

class TovnDesktop : public TCustomControl, public IMessageReceiver
{
  public:
    explicit TovnDesktop(QWidget* Parent = nullptr);
    // The held windows are destroyed, last first.
    ~TovnDesktop() override;
    std::string ClassName() const override { return "TovnDesktop"; }

    HWND Handle() const { return m_handle; }
    void WndProc(TMessage& Message) override;

    void AddForm(TModuleForm* Form);
    void DeleteForm(TModuleForm* Form);
    void ShowForm(TModuleForm* Form);
    // Posts a close request to every held window, last to first.
    void CloseAll();
    TModuleForm* GetForm(int Index) const { return m_forms.at(static_cast<size_t>(Index)); }
    int GetFormCount() const { return static_cast<int>(m_forms.size()); }
    int IndexOf(const QWidget* Form) const;
    TModuleForm* Active() const { return m_active; }
    void SetActive(TModuleForm* Form);

    // The new active window (null when none).
    std::function<void(TModuleForm* Form)> OnActiveFormChange;

  protected:
    void Paint() override;

  private:
    HWND m_handle = NullHWnd;
    std::vector<TModuleForm*> m_forms;
    TModuleForm* m_active = nullptr;
    QImage m_background;
};

// The window list of the "Window" menu: the entries after the section's
// anchor, one per held window, checked for the active one.
class TovnWindowItem
{
  public:
    // Lists into Menu after what it holds now; rebuilt whenever it opens.
    explicit TovnWindowItem(QMenu* Menu);
    ~TovnWindowItem();
    TovnWindowItem(const TovnWindowItem&) = delete;
    TovnWindowItem& operator=(const TovnWindowItem&) = delete;

    static constexpr const char* DefaultCaption = "(Window List)";
    TovnDesktop* Desktop() const { return m_desktop; }
    void SetDesktop(TovnDesktop* Value) { m_desktop = Value; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool Value);
    // One entry per held window again, captions and check marks current;
    // then OnUpdate.
    void Rebuild();
    const std::vector<QAction*>& Entries() const { return m_entries; }
    TNotifyEvent OnUpdate;

  private:
    QPointer<QMenu> m_menu;
    QPointer<TovnDesktop> m_desktop;
    std::vector<QAction*> m_entries;
    bool m_enabled = true;
};
