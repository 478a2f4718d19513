#pragma once
// The module view (unit ModuleView): the window of one open module on the
// module desktop. It shows the module's applet menu, the module's widgets
// beside or below it, and launches applets from their signed libraries into
// containers or as widgets (the launch road: ModuleViewLaunch.cpp; widgets
// and their layout: ModuleViewWidgets.cpp).
//
// Menu rows come from the main window's menu table, filtered to the module.
// The group "$WIDGETS" (case ignored) holds the widgets and never shows.
//
// Launch kinds: 0 a container (new, or the calling applet's), 1 a widget,
// 2 as 0 from a notification (never reusing an open form). A kind-0 launch
// whose mode has all of 0xF000 set gets a container of its own.
//
// Applet libraries: Linux shared libraries (".so") with the export "INIT"
// (ovnAppletApi.h). A library is loaded by its absolute path; its run path
// ($ORIGIN) finds what it needs in the cache, which is also made the current
// folder while it loads.
//
// The widget layout lives in "<module>.ini" (section "Widgets", key
// "Layout") in the folder that holds the program's settings; a "/" or a NUL
// in the module name becomes "_" in the file name.
//
// The view refuses to close while containers remain ("Some applets are open
// for this module. ..."). A close asked for while its own launch runs waits
// for the launch to end.
//
// User-interface thread only.

#include "Components/Controller/applets/KldForms.h"
#include "platform/StringList.h"

#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class QScrollArea;
class TKldAppContainer;
class TKldAppItem;
class TKldAppLayoutItem;
class TKldAppPanel;
class TKldAppletView;
class TfrmOrvaneBrowser4;
class TovnApplet;
class TDataSet;

enum TSearchBy
{
    sbResource,
    sbShortcut
};

// Appearance.
constexpr int App_IW = 140;
constexpr int App_IH = 100;
constexpr int App_IPadding = 8;
constexpr int App_GH = 27;
constexpr int App_ICMin = 3;
constexpr int App_ICMax = 3;
constexpr TColor App_Background = 0xFCFCFC;
constexpr int App_WidgetPanelWidth = 400;
constexpr int App_WidgetHeight = 400;

extern const char* const SModuleLoadingMenu;     // "Loading module menu"
extern const char* const SModuleNoMenuItems;     // "No menu items are accessible to you in this module"
extern const char* const SModuleAppletsOpen;     // "Some applets are open for this module. ..."
extern const char* const SCannotInitApplet;      // "Cannot Initialize Applet: \"%s\". Error code: %d"
extern const char* const SAppletNoInterface;     // "Applet library does not support interface"
extern const char* const SAppletCouldNotInit;    // "Applet library could not initialize Applet"
extern const char* const SNoAssociatedProgram;   // "There is no application associated with ..."
extern const char* const WidgetsGroupCaption;    // "$WIDGETS"

// The layout file's name for a module: "/" and NUL become "_", so that the
// file stays in its folder; every other name keeps its text.
std::string WidgetLayoutFileName(const std::string& ModuleName);
// A widget of the menu as the stored layout sees it.
struct TWidgetLayoutEntry
{
    std::string Name; // the resource name
    bool Visible = true;
    int Source = 0; // the widget's place before the layout was applied
};
// Applies a stored layout value ("name=V" or "name=H" entries, comma text)
// to the widgets in order: a known name (case ignored) takes the visibility
// its entry says ("V" exactly: shown) and moves to the entry's position when
// that lies inside the list; unknown names and entries without "=" are
// skipped; a repeated name applies again.
void ApplyWidgetLayout(const std::string& Value, std::vector<TWidgetLayoutEntry>& Widgets);
// Whether the resource's file is an applet library of this platform (its
// trimmed name ends in ".so", case ignored).
bool IsAppletLibraryFile(const std::string& FileName);

// The window class of a module entry that opens a module view.
TCustomModuleForm* CreateModuleView(QWidget* Owner, TModuleItem* Item);

class TfrmModuleView : public TModuleForm
{
  public:
    TfrmModuleView(QWidget* Owner, TModuleItem* Item);
    ~TfrmModuleView() override;
    std::string ClassName() const override { return "TfrmModuleView"; }

    bool GetModified() const override;
    bool CloseExecute() override;
    void ResetModify() override;
    void WndProc(TMessage& Message) override;
    bool CloseQuery() override;
    void FormClose(TFormCloseAction& Action) override;

    // --- Menu
    void DoLoadMenu();
    void KldAutoRun();
    bool AutoRun() const { return m_autoRun; }
    // The "$WIDGETS" group of the menu, or null.
    TKldAppItem* WidgetsGroup() const;
    void RunAppItem(TKldAppItem* Item, int Kind);

    // --- Applets
    bool Launch(const std::string& Resource, int SecurityIndex, const std::string& Caption, int Module,
                bool LogAccess, int Mode, const std::string& Params, TObject* Sender, int Kind, bool Reuse);
    void InitApplet(TovnApplet* Applet, TObject* Sender);
    void InitWidget(TovnApplet* Applet, const std::string& Resource);
    TKldAppContainer* FindAppletForm(const std::string& Resource) const;
    bool LiveApplet(const TovnApplet* Applet) const;
    // Closes the containers' applets, first container first; stops at a
    // container that stays (its applets refused), which keeps it and the
    // ones after it. Without Ask the unsaved data is forgotten first.
    void CloseAllApplets(bool Ask);
    void CloseAllWidgets();
    void RunShell(const std::string& FileName);
    const std::vector<TKldAppContainer*>& Containers() const { return m_containers; }

    // --- Widgets
    std::string GetLayout() const;
    // Caption lines, each with its menu item as object.
    void GetLayout(TStrings& Strings) const;
    void SetLayout(const std::string& Value);
    void SetLayout(const TStrings& Strings);
    std::string LayoutFileName() const;
    void LoadLayout();
    void SaveLayout();
    void ApplyLayout();
    void DoCustomizeWidgets();
    int GetWidgetsCount() const;
    // The widget of that name, or null.
    TKldAppLayoutItem* FindWidget(const std::string& Name) const;
    // The applet a widget holds, or null.
    TovnApplet* WidgetApplet(const TKldAppLayoutItem* Widget) const;
    void ScrollBoxResize();

    TKldAppletView& AppletView() const { return *m_appletView; }
    TKldAppPanel& WidgetPanel() const { return *m_widgetPanel; }
    QScrollArea& ScrollBox() const { return *m_scrollBox; }
    // The last form passed to its activation event.
    QWidget* LastActiveForm() const { return m_lastActive.data(); }

    // Opens a file with the desktop's default program; False when it cannot.
    // Tests put their own in.
    static std::function<bool(const std::string& FileName)> ShellOpener;
    // Whether the Ctrl key is held down now. Tests put their own in.
    static std::function<bool()> CtrlKeyDown;
    // The customize dialog: edits the lines (captions with items), answers
    // OK. Tests put their own in.
    static std::function<bool(TStrings& Lines)> ExecuteWidgetsDialog;

  protected:
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    struct TWidgetApplet
    {
        TKldAppLayoutItem* Widget; // null once the widget went without it
        TovnApplet* Applet;
    };

    TfrmOrvaneBrowser4* Browser() const;
    void AppletNotification(WPARAM WParam, LPARAM LParam);
    void FillInfoBarItems(LPARAM List);
    void WidgetDeleted(TKldAppLayoutItem* Widget);
    void CleanUpWidgetApplet(TovnApplet* Applet);
    void RemoveWidget(TKldAppLayoutItem* Widget);
    void MoveWidget(TKldAppLayoutItem* Widget, int Position);
    void FormActivate(TObject* Sender);
    TovnApplet* LoadApplet(const std::string& FileName);

    QScrollArea* m_scrollBox = nullptr;
    QWidget* m_scrollContent = nullptr;
    TKldAppletView* m_appletView = nullptr;
    TKldAppPanel* m_widgetPanel = nullptr;
    std::vector<TKldAppContainer*> m_containers;
    std::vector<TWidgetApplet> m_widgetApplets;
    bool m_autoRun = false;
    int m_launching = 0;
    bool m_closePending = false;
    bool m_destroying = false;
    QPointer<QWidget> m_lastActive;
};
