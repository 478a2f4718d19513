#include "admin/EnterpriseRules.h"

#include "platform/SysUtils.h"

namespace {

bool LegalNameByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The length of the UTF-8 sequence that starts with Lead (1 for a stray
// continuation byte, so that the reported character is never cut short of
// its byte nor runs into the next one).
size_t SequenceLength(unsigned char Lead)
{
    if (Lead >= 0xF0 && Lead <= 0xF7)
        return 4;
    if (Lead >= 0xE0)
        return Lead <= 0xEF ? 3 : 1;
    if (Lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

std::optional<std::string> IllegalEnterpriseCharacter(const std::string& Name)
{
    const std::string name = Trim(Name);
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!LegalNameByte(c))
            return name.substr(i, std::min(SequenceLength(c), name.size() - i));
    }
    return std::nullopt;
}

std::string EnterpriseNameError(const std::string& Name)
{
    if (Trim(Name).empty())
        return BlankEnterpriseError;
    const std::optional<std::string> illegal = IllegalEnterpriseCharacter(Name);
    if (!illegal)
        return {};
    return "Illigal charecter in Enterprise: \"" + *illegal + "\"\r\n" +
           "Valid charecters are \"A\" through \"Z\", \"0\" trough \"9\" and \"_\"";
}

bool NameCheckApplies(bool Inserting, const std::string& NameBefore, const std::string& Name)
{
    return Inserting || Trim(NameBefore) != Trim(Name);
}

TFieldValues NewRowValues(TMasterTable Table, int32_t Enterprise)
{
    switch (Table) {
    case TMasterTable::Enterprise:
        return {{"CURRENT_USE", "T"}, {"ADVERTISE", "F"}, {"REQUIRE_SECURE_PASSWORD", "F"}};
    case TMasterTable::Alias:
        return {
            {"CURRENT_USE", "T"}, {"C_ENTERPRISE", std::to_string(Enterprise)}, {"DRIVER_NAME", "ORACLE"}};
    case TMasterTable::Facility:
        return {{"CURRENT_USE", "T"}, {"C_ENTERPRISE", std::to_string(Enterprise)}};
    }
    return {};
}

std::vector<std::pair<std::string, std::string>> EditMasks(TMasterTable Table)
{
    if (Table == TMasterTable::Alias)
        return {};
    return {
        {"ZIP", ZipEditMask}, {"PHONE1", PhoneEditMask}, {"PHONE2", PhoneEditMask}, {"FAX", PhoneEditMask}};
}

std::string FilterField(TMasterTable Table)
{
    switch (Table) {
    case TMasterTable::Enterprise:
        return "ENTERPRISE";
    case TMasterTable::Alias:
        return "ALIAS";
    case TMasterTable::Facility:
        return "FACILITY";
    }
    return {};
}

std::string TableName(TMasterTable Table)
{
    switch (Table) {
    case TMasterTable::Enterprise:
        return "TBL_ENTERPRISES";
    case TMasterTable::Alias:
        return "TBL_DBALIASES";
    case TMasterTable::Facility:
        return "TBL_FACILITIES";
    }
    return {};
}

std::string DetailWhere(int32_t Enterprise)
{
    return "C_ENTERPRISE = " + std::to_string(Enterprise);
}

TDeleteDecision DeleteDecision(TMasterTable Table, bool Empty, std::optional<int32_t> Counter)
{
    switch (Table) {
    case TMasterTable::Enterprise:
        if (!Empty && Counter == GlobalEnterprise)
            return {"Global default enterprise can not be deleted", {}};
        if (Empty)
            return {"Nothing to Delete", {}};
        return {{}, "Selected enterprise is about to be deleted. Continue?"};
    case TMasterTable::Alias:
        if (Empty)
            return {"Nothing to Delete", {}};
        return {{}, "Selected alias is about to be deleted. Continue?"};
    case TMasterTable::Facility:
        if (Empty)
            return {"Nothing to Delete", {}};
        return {{}, "Selected facility is about to be deleted. Continue?"};
    }
    return {};
}

TDetailButtons DetailButtonsAfterEnterpriseChange(bool EnterprisesEmpty)
{
    TDetailButtons buttons;
    buttons.Show = !EnterprisesEmpty;
    return buttons;
}

TDetailButtons DetailButtonsAfterShow(bool RowsCame)
{
    TDetailButtons buttons;
    buttons.Details = true;
    buttons.Refresh = true;
    buttons.Filter = RowsCame;
    return buttons;
}

TRecordDialogState RecordDialogState(TMasterTable Table, bool Editing, std::optional<int32_t> Counter)
{
    TRecordDialogState state;
    state.Add = state.Edit = state.Delete = state.Navigator = !Editing;
    state.OK = Editing;
    state.DataControls = Editing;
    state.CloseCaption = Editing ? "&Cancel" : "&Close";
    // The global enterprise and the first facility stay in use.
    const bool locked = Table != TMasterTable::Alias && Counter == 1;
    state.CurrentUse = Editing && !locked;
    return state;
}

std::string HostAndPort(const std::string& Address)
{
    std::string host = Trim(Address);
    const size_t scheme = host.find("://");
    if (scheme != std::string::npos)
        host.erase(0, scheme + 3);
    const size_t path = host.find_first_of("/?#");
    if (path != std::string::npos)
        host.erase(path);
    return host;
}

std::vector<std::string> IndustryItems(const std::string& Reply)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= Reply.size()) {
        size_t end = Reply.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = Reply.size();
        std::string line = Reply.substr(start, end - start);
        if (!Trim(line).empty())
            items.push_back(std::move(line));
        if (end < Reply.size() && Reply[end] == '\r' && end + 1 < Reply.size() && Reply[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return items;
}

const std::vector<std::string>& TIndustryList::Take(const std::string& Reply)
{
    m_items = IndustryItems(Reply);
    return m_items;
}
