#include "Components/Controller/notifications/Notifications.h"

#include "platform/DateUtils.h"

#include <algorithm>

TNotifyItem::TNotifyItem(std::string Text_, int32_t Counter_) : Text(std::move(Text_)), Counter(Counter_) {}

void TNotifyItem::Assign(const TNotifyItem* Source)
{
    if (Source)
        *this = *Source;
}

TNotifyTarget::TNotifyTarget(std::string Caption_, int32_t ImageIndex_, std::string Resource_)
    : Caption(std::move(Caption_)), Resource(std::move(Resource_)), ImageIndex(ImageIndex_)
{
}

TNotifyTarget* TNotifyTargets::Add(std::string Caption, int32_t ImageIndex, std::string Resource)
{
    m_items.push_back(std::make_unique<TNotifyTarget>(std::move(Caption), ImageIndex, std::move(Resource)));
    return m_items.back().get();
}

std::string TNotifyTargets::Allowed() const
{
    std::string s = ";";
    for (const auto& t : m_items)
        if (t->Allowed)
            s += t->Resource + ";";
    return s;
}

std::string TNotifyTargets::Blocked() const
{
    std::string s;
    for (const auto& t : m_items)
        if (!t->Allowed)
            s += t->Resource + ";";
    return s;
}

void TNotifyTargets::SetBlocked(const std::string& Text)
{
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < Text.size()) {
        size_t end = Text.find(';', start);
        if (end == std::string::npos)
            end = Text.size();
        entries.push_back(Text.substr(start, end - start));
        start = end + 1;
    }
    for (const auto& t : m_items)
        t->Allowed = std::none_of(entries.begin(), entries.end(),
                                  [&](const std::string& e) { return SameText(e, t->Resource); });
}

TNotifyTarget* TNotifyTargets::FindTarget(const std::string& Resource) const
{
    for (const auto& t : m_items)
        if (SameText(t->Resource, Resource))
            return t.get();
    return nullptr;
}

std::string NotifyField(const TNotifyRow& Row, const std::string& Name)
{
    auto it = Row.find(UpperCase(Name));
    return it == Row.end() ? std::string() : VarToStr(it->second);
}

namespace NotifySQL {

namespace {
void Line(std::string& s, const std::string& text)
{
    s += text;
    s += '\n';
}
} // namespace

std::string UpdateText(const std::string& ResidentGroups)
{
    std::string s;
    Line(s, "SELECT N.*, F.FACILITY_NAME, F.FACILITY, F.STATE, R.RESIDENT_NAME ");
    Line(s, "FROM TBL_Notification N ");
    Line(s, "LEFT JOIN TBL_FACILITY F ON N.C_FACILITY = F.COUNTER ");
    Line(s, "LEFT JOIN TBL_RESIDENT R ON N.C_RESIDENT = R.COUNTER ");
    Line(s, "  WHERE N.Active = 'T' ");
    Line(s, "    AND N.Counter NOT IN (SELECT C_NOTIFICATION FROM TBL_NOTIFICATION_IGNORE WHERE USER_ID = :User_ID_Ignore) ");
    Line(s, "    AND N.Notification_Date >= TO_DATE(:From_Date, 'YYYY-MM-DD HH24:MI:SS')");
    Line(s, "    AND N.Notification_Date <= TO_DATE(:To_Date, 'YYYY-MM-DD HH24:MI:SS')");
    if (!ResidentGroups.empty()) {
        Line(s, "    AND (N.C_Resident is null Or Exists(");
        Line(s, "         Select rg.*");
        Line(s, "         From TBL_ResidentGroup rg");
        Line(s, "         Where GET_ADT_Resident_In_Group(rg.counter, N.C_Resident) = 'T' And InStr(';" + ResidentGroups +
                    ";', ';' || rg.counter || ';') > 0))");
    }
    Line(s, "    AND (InStr(:AllowedResources, ';'||N.Resource_Name||';') > 0)");
    Line(s, "    AND (N.To_User_ID IS NULL OR N.To_User_ID = :User_ID)");
    Line(s, "    AND (N.C_Employee IS NULL OR N.C_Employee = :C_Employee)");
    Line(s, "    AND (N.C_EmployeeGroup IS NULL OR");
    Line(s, "         InStr(';'||:EmployeeGroups||';', ';'||N.C_EmployeeGroup||';') > 0 Or");
    Line(s, "         N.C_EmployeeGroup In (Select egd.c_employeegroup From tbl_employeegroupdetail egd Where egd.c_employee = :c_employee))");
    Line(s, "    AND (N.C_Facility IS NULL OR InStr(:Facilities, ';'||N.C_Facility||';') > 0)");
    Line(s, "    AND (N.C_FacilityGroup IS NULL OR InStr(:FacilityGroups, ';'||N.C_FacilityGroup||';') > 0)");
    Line(s, "ORDER BY N.Notification_Date");
    return s;
}

std::string DateText(TDateTime Value) { return FormatDateTime("yyyy-mm-dd hh:nn:ss", Value); }

std::vector<Variant> UpdateValues(const TUpdateValues& V)
{
    return {V.UserID,   DateText(V.FromDate), DateText(V.Now), V.Allowed,    V.UserID,
            V.Employee, V.EmployeeGroups,     V.Employee,      V.Facilities, V.FacilityGroups};
}

const char* const FacilityGroupsText =
    "select   F.C_Facility_Group, count(*) FacilityCount from TBL_FacilityGroupDetail F where   "
    "InStr(:Facilities, ';'||F.C_Facility||';') > 0 group by F.C_Facility_Group having count(*) = "
    "(select count(*) from TBL_FacilityGroupDetail F2 where F2.C_Facility_Group = F.C_Facility_Group)";

const char* const EmployeeText =
    "Select min(e.counter) c_employee, to_number(Null) c_employeegroup\n"
    "From tbl_employee e\n"
    "Where e.ovn_user_id = :user_id1 And e.current_use = 'T'\n"
    "Union\n"
    "Select egd.c_employee, egd.c_employeegroup\n"
    "From tbl_employeegroupdetail egd\n"
    "Where egd.c_employee = (Select min(e.counter) From tbl_employee e Where e.ovn_user_id = :user_id2 And "
    "e.current_use = 'T')";

std::string DropText(const std::string& UserID, int32_t Counter, bool Ignore)
{
    if (Ignore)
        return "INSERT INTO TBL_NOTIFICATION_IGNORE VALUES(" + QuotedStr(UserID) + ", " + std::to_string(Counter) + ")";
    return "UPDATE TBL_NOTIFICATION SET ACTIVE = 'F' WHERE COUNTER = " + std::to_string(Counter);
}

// The user's ID is quoted like everywhere else, so that a quote inside it
// cannot end the literal.
std::string LoadTargetsText(const std::string& UserID)
{
    return "SELECT * FROM TBL_NOTIFICATION_USER WHERE USER_ID = " + QuotedStr(UserID);
}

std::string FindUserText(const std::string& UserID)
{
    return "SELECT USER_ID FROM TBL_NOTIFICATION_USER WHERE USER_ID = " + QuotedStr(UserID);
}

std::string UpdateTargetsText(const std::string& UserID, const std::string& Blocked)
{
    return "UPDATE TBL_NOTIFICATION_USER SET EXCLUDE_RESOURCES = " + QuotedStr(Blocked) +
           " WHERE USER_ID = " + QuotedStr(UserID);
}

// The time goes in as a quoted literal: TO_DATE of a bare date cannot run.
std::string InsertTargetsText(const std::string& UserID, const std::string& Blocked, TDateTime Now)
{
    const std::string id = QuotedStr(UserID);
    return "INSERT INTO TBL_NOTIFICATION_USER VALUES(" + id + ", " + QuotedStr(Blocked) + ", 'T', " + id +
           ", TO_DATE(" + QuotedStr(DateText(Now)) + ", 'YYYY-MM-DD HH24:MI:SS'), SEQ_Notification.NextVal)";
}

} // namespace NotifySQL

TNotifications::TNotifications(TNotifyDatabase* Database) : m_db(Database)
{
    NowFn = [] { return Now(); };
    FromDate = NowFn() - 365;
}

TNotifications::~TNotifications()
{
    OnChange = nullptr;
    m_located = nullptr;
    QueryRows.clear();
    m_items.clear();
}

void TNotifications::Changed()
{
    if (m_updateCount == 0 && OnChange)
        OnChange();
}

void TNotifications::EndUpdate()
{
    if (m_updateCount > 0)
        --m_updateCount;
    Changed();
}

void TNotifications::Clear()
{
    auto saved = std::move(OnChange);
    OnChange = nullptr;
    m_items.clear();
    OnChange = std::move(saved);
    Changed();
}

int32_t TNotifications::FindItemIdx(int32_t Counter) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->Counter == Counter)
            return static_cast<int32_t>(i);
    return -1;
}

TNotifyItem* TNotifications::NewItem(const std::string& Text, int32_t Counter)
{
    auto item = std::make_unique<TNotifyItem>(Text, Counter);
    TNotifyItem* p = item.get();
    AddItem(std::move(item));
    return p;
}

void TNotifications::AddItem(std::unique_ptr<TNotifyItem> Item)
{
    if (!Item)
        return;
    m_items.push_back(std::move(Item));
    Changed();
}

void TNotifications::DeleteItem(int32_t Counter)
{
    const int32_t idx = FindItemIdx(Counter);
    if (idx < 0)
        return;
    m_items.erase(m_items.begin() + idx);
    Changed();
}

void TNotifications::Update()
{
    BeginUpdate();
    for (auto& item : m_items)
        item->State = static_cast<int8_t>(-item->State);
    struct Finally
    {
        TNotifications* self;
        ~Finally()
        {
            auto& items = self->m_items;
            items.erase(std::remove_if(items.begin(), items.end(), [](const auto& i) { return i->State < 0; }),
                        items.end());
            self->EndUpdate();
        }
    } finally{this};

    NotifySQL::TUpdateValues v;
    v.UserID = m_db ? m_db->UserID() : std::string();
    v.FromDate = FromDate;
    v.Now = NowFn();
    v.Allowed = Targets ? Targets->Allowed() : ";";
    v.Employee = Employee;
    v.EmployeeGroups = EmployeeGroups;
    v.Facilities = Facilities;
    v.FacilityGroups = FacilityGroups;
    // The query is re-used: closed, given the new text and values, opened.
    QueryOpen = false;
    m_located = nullptr;
    QueryRows.clear();
    QueryText = NotifySQL::UpdateText(ResidentGroups);
    QueryValues = NotifySQL::UpdateValues(v);
    if (!m_db)
        return;
    QueryRows = m_db->Open(QueryText, QueryValues);
    QueryOpen = true;
    for (const TNotifyRow& row : QueryRows) {
        const int32_t counter = StrToIntDef(NotifyField(row, "Counter"), 0);
        const int32_t idx = FindItemIdx(counter);
        if (idx >= 0) {
            TNotifyItem* item = m_items[static_cast<size_t>(idx)].get();
            if (item->State < 0)
                item->State = static_cast<int8_t>(-item->State);
            continue;
        }
        auto item = std::make_unique<TNotifyItem>(NotifyField(row, "Notification_Text"), counter);
        item->ModuleName = NotifyField(row, "Module_Name");
        item->FromModule = NotifyField(row, "From_Module");
        auto date = row.find("NOTIFICATION_DATE");
        if (date != row.end() && !VarToStr(date->second).empty())
            item->Date = date->second.AsDateTime();
        item->KeepActive = NotifyField(row, "DEACTIVATE_ON_CLICK") == "F";
        if (Targets)
            if (TNotifyTarget* t = Targets->FindTarget(NotifyField(row, "Resource_Name")))
                item->ImageIndex = t->ImageIndex;
        AddItem(std::move(item));
    }
}

void TNotifications::UpdateFaciltiesAccess()
{
    Facilities = ";";
    FacilityGroups = ";";
    if (!m_db)
        return;
    for (int32_t f : m_db->UserFacilities())
        Facilities += std::to_string(f) + ";";
    for (const TNotifyRow& row : m_db->Open(NotifySQL::FacilityGroupsText, {Facilities}))
        FacilityGroups += NotifyField(row, "C_Facility_Group") + ";";
}

void TNotifications::UpdateEmployeeAndEmployeeGroups()
{
    EmployeeGroups = ";";
    Employee.clear();
    if (!m_db)
        return;
    const std::string user = m_db->UserID();
    for (const TNotifyRow& row : m_db->Open(NotifySQL::EmployeeText, {user, user})) {
        const std::string employee = NotifyField(row, "c_employee");
        if (Employee.empty())
            Employee = employee;
        const std::string group = NotifyField(row, "c_employeegroup");
        if (!group.empty())
            EmployeeGroups += group + ";";
    }
}

bool TNotifications::LocateNotification(int32_t Counter)
{
    m_located = nullptr;
    if (!QueryOpen)
        return false;
    for (const TNotifyRow& row : QueryRows)
        if (StrToIntDef(NotifyField(row, "Counter"), 0) == Counter) {
            m_located = &row;
            return true;
        }
    return false;
}

void TNotifications::DropItem(TNotifyItem* Item, bool& Accepted, bool Ignore)
{
    if (!Item || !m_db)
        return;
    try {
        m_db->Execute(NotifySQL::DropText(m_db->UserID(), Item->Counter, Ignore || Item->KeepActive));
    } catch (...) {
        Accepted = false;
        throw;
    }
}

void TNotifications::LoadTargets()
{
    if (!m_db || !Targets)
        return;
    const auto rows = m_db->Open(NotifySQL::LoadTargetsText(m_db->UserID()), {});
    const TNotifyRow none;
    const TNotifyRow& first = rows.empty() ? none : rows.front();
    Targets->SetBlocked(NotifyField(first, "Exclude_Resources"));
    Targets->CanEditPreferences = NotifyField(first, "Can_Edit_Preferences") == "T";
}

void TNotifications::SaveTargets()
{
    if (!m_db || !Targets)
        return;
    const std::string blocked = Targets->Blocked();
    const std::string user = m_db->UserID();
    if (!m_db->Open(NotifySQL::FindUserText(user), {}).empty())
        m_db->Execute(NotifySQL::UpdateTargetsText(user, blocked));
    else
        m_db->Execute(NotifySQL::InsertTargetsText(user, blocked, NowFn()));
}
