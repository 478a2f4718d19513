#pragma once
// The rules of the enterprises window and its three record dialogs, apart
// from any widget: the enterprise name check and its error text, the
// defaults of new rows, the edit masks, the delete decisions, the button
// states of the detail lists and of the record dialogs' two modes, the
// industry list's reply and when it is asked for.

#include "admin/UserListRules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The three master tables the window keeps.
enum class TMasterTable
{
    Enterprise,
    Alias,
    Facility
};

// The enterprise that every system manager belongs to (COUNTER 1).
constexpr int32_t GlobalEnterprise = 1;

constexpr const char* ZipEditMask = "99999-9999;; ";
constexpr const char* PhoneEditMask = "(999) 999-9999x99999;; ";
constexpr const char* BlankEnterpriseError = "Enterprise can not be blank";

// The first character of the trimmed name that is not "A" to "Z", "0" to
// "9" or "_" (a whole UTF-8 sequence for a character beyond ASCII); none
// when the name passes.
std::optional<std::string> IllegalEnterpriseCharacter(const std::string& Name);
// The error box's text for a refused name; '' when the name passes. A
// blank name is refused too: nobody could tell that enterprise in a list.
std::string EnterpriseNameError(const std::string& Name);
// Whether "&OK" checks the name: for a new row, and for a row whose name
// was changed. Names stored before the check existed ("GLOBAL ENTERPRISE")
// hold blanks; a row keeping its name stays savable.
bool NameCheckApplies(bool Inserting, const std::string& NameBefore, const std::string& Name);

// The values a new row starts with; Enterprise is the COUNTER of the
// enterprise current when the row is added.
TFieldValues NewRowValues(TMasterTable Table, int32_t Enterprise);

// The fields that take an edit mask after the table opens (none for the
// aliases).
std::vector<std::pair<std::string, std::string>> EditMasks(TMasterTable Table);

// The field the advanced filter dialog starts with.
std::string FilterField(TMasterTable Table);
// The database table and its sequence's table name for GetSysAutoCounter.
std::string TableName(TMasterTable Table);
// The detail lists' where text for an enterprise.
std::string DetailWhere(int32_t Enterprise);

// What the record dialog's "&Delete" does: refuse with Refusal, or ask
// Warning (OK and Cancel) and delete on OK.
struct TDeleteDecision
{
    std::string Refusal;
    std::string Warning;
};
// Counter is the row's COUNTER (none for an empty table).
TDeleteDecision DeleteDecision(TMasterTable Table, bool Empty, std::optional<int32_t> Counter);

// The buttons of a detail list (facilities or aliases).
struct TDetailButtons
{
    bool Show = false;
    bool Filter = false;
    bool Details = false;
    bool Refresh = false;
    bool operator==(const TDetailButtons&) const = default;
};
// After another enterprise became current: the list is closed.
TDetailButtons DetailButtonsAfterEnterpriseChange(bool EnterprisesEmpty);
// After "Show" opened the list.
TDetailButtons DetailButtonsAfterShow(bool RowsCame);

// The controls of a record dialog in one of its two modes.
struct TRecordDialogState
{
    bool Add = false;
    bool Edit = false;
    bool Delete = false;
    bool Navigator = false;
    bool OK = false;
    bool DataControls = false;
    // "Current Use" (a data control of its own: it stays off on the global row).
    bool CurrentUse = false;
    std::string CloseCaption;
    bool operator==(const TRecordDialogState&) const = default;
};
// Counter is the edited row's COUNTER (none for a new row).
TRecordDialogState RecordDialogState(TMasterTable Table, bool Editing, std::optional<int32_t> Counter);

// The service's address ("http://host:port/..." or "host:port") as the
// "host:port" that HTTPGet takes.
std::string HostAndPort(const std::string& Address);

// The drop-down's items from the reply text: one per line, blank lines
// left out.
std::vector<std::string> IndustryItems(const std::string& Reply);

// When the industry list is asked for: at most once per showing of the
// dialog while it has items; an empty list is asked for again.
class TIndustryList
{
  public:
    // A new showing: the list is emptied.
    void Reset() { m_items.clear(); }
    bool NeedsFetch() const { return m_items.empty(); }
    // Takes a reply; the items it gave.
    const std::vector<std::string>& Take(const std::string& Reply);
    const std::vector<std::string>& Items() const { return m_items; }

  private:
    std::vector<std::string> m_items;
};
