#pragma once
// The model behind the notification center: the signed-in user's active
// notifications (rows of TBL_Notification on the data database), the
// applets that may raise them, each allowed or blocked by the user, and the
// statements that pick, dismiss and store them.
//
// The statements are built by plain functions so that their exact text and
// values can be checked; they reach the server through TNotifyDatabase,
// which the main window implements over the data database's queries.

#include "platform/SysUtils.h"
#include "platform/Variants.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One notification.
class TNotifyItem
{
public:
    TNotifyItem(std::string Text = {}, int32_t Counter = 0);

    void Assign(const TNotifyItem* Source);
    int32_t Bottom() const { return Top + Height; }
    bool New() const { return State == 2; }
    void SetNew(bool Value) { State = Value ? 2 : 1; }

    int32_t Top = 0;
    int32_t Height = 0;
    std::string Text;
    std::string ModuleName;
    std::string FromModule;
    TDateTime Date = 0;
    int32_t ImageIndex = -1;
    int32_t Counter = 0;
    // 2 new, 1 seen; negated while a refresh has not yet confirmed the item.
    int8_t State = 2;
    bool KeepActive = false;
};

// An applet that may raise notifications.
class TNotifyTarget
{
public:
    TNotifyTarget(std::string Caption, int32_t ImageIndex, std::string Resource);

    std::string Caption;
    std::string Resource;
    int32_t ImageIndex = -1;
    bool Allowed = true;
};

class TNotifyTargets
{
public:
    TNotifyTarget* Add(std::string Caption, int32_t ImageIndex, std::string Resource);
    int32_t Count() const { return static_cast<int32_t>(m_items.size()); }
    TNotifyTarget* operator[](int32_t Index) const { return m_items.at(static_cast<size_t>(Index)).get(); }
    void Clear() { m_items.clear(); }

    // ";A;B;": the allowed resources, enclosed in semicolons.
    std::string Allowed() const;
    // "A;": the blocked resources, each followed by ";".
    std::string Blocked() const;
    // Every target allowed unless its resource is an entry of Text (case
    // ignored); unknown entries block nothing.
    void SetBlocked(const std::string& Text);
    TNotifyTarget* FindTarget(const std::string& Resource) const;

    bool CanEditPreferences = false;

private:
    std::vector<std::unique_ptr<TNotifyTarget>> m_items;
};

// A result row by upper-cased field name; a missing or Null field reads as
// Null.
using TNotifyRow = std::map<std::string, Variant>;

// The data database as the notifications use it. Errors are raised as
// exceptions.
class TNotifyDatabase
{
public:
    virtual ~TNotifyDatabase() = default;
    // Opens SQL, filling its parameters by position with Values, and
    // returns the rows.
    virtual std::vector<TNotifyRow> Open(const std::string& SQL, const std::vector<Variant>& Values) = 0;
    // The same, the rows coming from the server FetchBy at a time.
    virtual std::vector<TNotifyRow> OpenFetchingBy(const std::string& SQL, const std::vector<Variant>& Values,
                                                   int32_t /*FetchBy*/)
    {
        return Open(SQL, Values);
    }
    // Runs a statement directly.
    virtual void Execute(const std::string& SQL) = 0;
    // The counters of the facilities the user may access.
    virtual std::vector<int32_t> UserFacilities() = 0;
    virtual std::string UserID() const = 0;
};

// The statements, as plain functions.
namespace NotifySQL {
// The SELECT that picks the user's notifications; the resident-group block
// only when ResidentGroups is not empty.
std::string UpdateText(const std::string& ResidentGroups);
struct TUpdateValues
{
    std::string UserID;
    TDateTime FromDate = 0;
    TDateTime Now = 0;
    std::string Allowed;
    std::string Employee;
    std::string EmployeeGroups;
    std::string Facilities;
    std::string FacilityGroups;
};
// The ten values, by position.
std::vector<Variant> UpdateValues(const TUpdateValues& V);
extern const char* const FacilityGroupsText;
extern const char* const EmployeeText;
// "yyyy-mm-dd hh:nn:ss"
std::string DateText(TDateTime Value);
// The dismissal: the user's ignore row when Ignore, else the row made
// inactive for everybody.
std::string DropText(const std::string& UserID, int32_t Counter, bool Ignore);
std::string LoadTargetsText(const std::string& UserID);
std::string FindUserText(const std::string& UserID);
std::string UpdateTargetsText(const std::string& UserID, const std::string& Blocked);
std::string InsertTargetsText(const std::string& UserID, const std::string& Blocked, TDateTime Now);
} // namespace NotifySQL

class TNotifications
{
public:
    explicit TNotifications(TNotifyDatabase* Database = nullptr);
    ~TNotifications();
    TNotifications(const TNotifications&) = delete;
    TNotifications& operator=(const TNotifications&) = delete;

    int32_t Count() const { return static_cast<int32_t>(m_items.size()); }
    TNotifyItem* operator[](int32_t Index) const { return m_items.at(static_cast<size_t>(Index)).get(); }

    void Update();
    void UpdateFaciltiesAccess();
    void UpdateEmployeeAndEmployeeGroups();
    bool LocateNotification(int32_t Counter);
    // The row LocateNotification found; null when none.
    const TNotifyRow* Located() const { return m_located; }
    void DropItem(TNotifyItem* Item, bool& Accepted, bool Ignore);
    void DeleteItem(int32_t Counter);
    void LoadTargets();
    void SaveTargets();
    int32_t FindItemIdx(int32_t Counter) const;
    TNotifyItem* NewItem(const std::string& Text, int32_t Counter);
    void AddItem(std::unique_ptr<TNotifyItem> Item);
    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();
    void Clear();

    std::string Facilities;
    std::string FacilityGroups;
    std::string Employee;
    std::string EmployeeGroups = ";";
    TNotifyTargets* Targets = nullptr;
    std::function<void()> OnChange;
    TDateTime FromDate = 0;
    std::string ResidentGroups;
    // The clock; tests set their own.
    std::function<TDateTime()> NowFn;

    // The query of the last refresh: its text, values and rows.
    std::string QueryText;
    std::vector<Variant> QueryValues;
    std::vector<TNotifyRow> QueryRows;
    bool QueryOpen = false;

private:
    void Changed();

    TNotifyDatabase* m_db;
    std::vector<std::unique_ptr<TNotifyItem>> m_items;
    int32_t m_updateCount = 0;
    const TNotifyRow* m_located = nullptr;
};

// The text of a field, Null reading as empty.
std::string NotifyField(const TNotifyRow& Row, const std::string& Name);
