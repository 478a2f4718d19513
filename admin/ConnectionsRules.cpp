#include "admin/ConnectionsRules.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/SysUtils.h"
#include "platform/Variants.h"

#include <cstdio>

bool ShowsAllConnectionTabs(const std::string& UserType)
{
    return UserType != "MGR";
}

TAliasScope AliasScope(const std::string& UserType, const std::string& DataAlias)
{
    TAliasScope scope;
    if (UserType == "SYS")
        return scope;
    scope.Alias = DataAlias;
    scope.Listed = !Trim(DataAlias).empty();
    return scope;
}

TConnectionButtons ConnectionButtons(bool SessionsOpen, bool SessionsEmpty, bool LocksOpen, bool LocksEmpty)
{
    return {SessionsOpen && !SessionsEmpty, LocksOpen && !LocksEmpty};
}

std::optional<uint32_t> UserTypeFill(const std::string& UserType)
{
    if (UserType == "SYS")
        return 0xC1B6FF;
    if (UserType == "MGR")
        return 0xD3D3D3;
    return std::nullopt;
}

const char* const ServerStates[3] = {"Active", "Inactive", "All"};

std::string UserListSQL(const TAdministrator& Admin, bool OnlineOnly)
{
    const std::string scope =
        Admin.UserType == "SYS"
            ? std::string()
            : Format("AND ((TU.C_ENTERPRISE = %d) OR (TU.USER_TYPE = 'SYS'))", Admin.C_Enterprise);
    // The online flag adds only a blank: the record filter, not the
    // statement, keeps the users who are signed in.
    const std::string online = OnlineOnly ? " " : "";
    return Format(
        "SELECT TU.USER_ID, TU.FULL_NAME, TU.USER_TYPE, TE.ENTERPRISE FROM TBL_USERS TU join "
        "TBL_ENTERPRISES TE on TU.C_ENTERPRISE = TE.COUNTER left outer join TBL_CONNECTIONS TC on "
        "TU.COUNTER = TC.C_USER WHERE TU.COUNTER <> 1 AND TE.CURRENT_USE = 'T' AND TU.CURRENT_USE = 'T' "
        "%s %s ORDER BY TU.FULL_NAME",
        scope, online);
}

std::optional<TDateTime> SessionStarted(const Variant& Value)
{
    if (Value.IsNull() || Value.IsEmpty())
        return std::nullopt;
    if (Value.VarType() == varDate)
        return Value.AsDateTime();
    if (!VarIsStr(Value))
        return std::nullopt;
    const std::string text = Trim(VarToStr(Value));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail = 0;
    TDateTime result = 0;
    const int read = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour,
                                 &minute, &second, &tail);
    if ((read == 6 || (read == 3 && text.size() == 10)) &&
        TryEncodeDateTime(year, month, day, hour, minute, second, 0, result))
        return result;
    return std::nullopt;
}

TServerSessions TServerSessions::FromDataSet(TDataSet& Sessions)
{
    std::vector<TUserSession> rows;
    if (!Sessions.Active() || Sessions.IsEmpty())
        return TServerSessions();
    TField* user = Sessions.FindField("USER_ID");
    const int columns = Sessions.FieldCount();
    auto cell = [&](int Index) {
        return Index < columns ? Sessions.Fields().Fields(Index)->AsVariant() : Variant();
    };
    Sessions.DisableControls();
    const TBookmark place = Sessions.GetBookmark();
    try {
        for (Sessions.First(); !Sessions.Eof(); Sessions.Next()) {
            TUserSession row;
            row.UserID = user ? user->AsString() : std::string();
            row.Started = SessionStarted(cell(3));
            row.IP = VarToStr(cell(6));
            row.Agent = VarToStr(cell(8));
            rows.push_back(std::move(row));
        }
    } catch (...) {
        Sessions.GotoBookmark(place);
        Sessions.EnableControls();
        throw;
    }
    Sessions.GotoBookmark(place);
    Sessions.EnableControls();
    return TServerSessions(std::move(rows));
}

const TUserSession* TServerSessions::Find(const std::string& UserID) const
{
    for (const TUserSession& session : m_sessions)
        if (session.UserID == UserID)
            return &session;
    return nullptr;
}
