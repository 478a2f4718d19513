#pragma once
// What the main window offers modules and the controller, as plain rules
// over datasets and texts (the window's methods in OrvaneBrowser4Services.cpp
// use them), and the single-instance holders of the system windows.

#include "Components/Controller/applets/ovnBrowserUtils.h"
#include "platform/DataSet.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

// Makes the first row whose "Resource" equals Resource exactly (case and
// all) the current one, looking among all rows: the filter text is cleared
// but the filter stays on, so a module filter set later restricts again.
// Resource is trimmed first; an empty one raises "Resource is not
// specified". False when no row has it.
bool LocateMenuResource(TDataSet& Menu, const std::string& Resource);

// The user ID, each byte as two upper-case hexadecimal digits ("abc":
// "616263").
std::string UserHash(const std::string& UserID);

// The filter of the facilities to remove: " (COUNTER <> c) AND" for each
// granted counter c in order, without the final " AND"; '' for none (then
// every row is removed).
std::string FacilityDenyFilter(const std::vector<int32_t>& Granted);

// The menu table's ParentIndex for each row of one module: the Index last
// seen one level up, 0 when none was seen (or the level is 0).
class TMenuParents
{
  public:
    // The parent of a row at Level with Index; records it for its level.
    int32_t Add(int32_t Level, int32_t Index);

  private:
    std::vector<std::pair<int32_t, int32_t>> m_lastIndex; // level, index
};

// The system windows the main window keeps once each.
enum TSystemWindow
{
    swUserList,    // TfrmUserList
    swReadMail,    // TfrmReadMail, the mailbox
    swAdminConsole, // TfrmAdmin
    swExplorer,    // TfrmExplorerMain
    SystemWindowCount
};

// Makes the window of a kind, owned by Owner (the main window). The unit of
// each window registers its class; a kind with no class opens nothing.
using TSystemWindowFactory = std::function<QWidget*(QWidget* Owner)>;
void RegisterSystemWindow(TSystemWindow Kind, TSystemWindowFactory Factory);
const TSystemWindowFactory& SystemWindowFactory(TSystemWindow Kind);

// One system window: it is held from its creation until it is destroyed
// (closing it, or the database sign-out closing every module window),
// which lets the holder forget it without being told.
class TSystemWindowHolder
{
  public:
    QWidget* Window() const { return m_window.data(); }
    // The held window, or a new one from the kind's factory (null without
    // one); Created tells which.
    QWidget* Open(TSystemWindow Kind, QWidget* Owner, bool& Created);

  private:
    QPointer<QWidget> m_window;
};

// The page of the built-in module "System"; the unit of the page sets it
// (without one the module opens nothing).
void SetSystemModuleForm(TModuleFormClass FormClass);
const TModuleFormClass& SystemModuleForm();
