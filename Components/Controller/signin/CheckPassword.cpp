#include "Components/Controller/signin/CheckPassword.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnDataSet.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DateUtils.h"
#include "platform/Fields.h"
#include "platform/MaskUtils.h"
#include "platform/StringList.h"

#include <algorithm>

const std::string OldPasswordMarker(1, '\0');

const char* const SBlankPassword = "Blank password is not allowed";
const char* const SUserNotFound = "User not found in DB";
// The spelling is the one users and the administration's texts know.
const char* const SSecurityLevelFailed = "Password sequrity level check failed";
const char* const SOldPasswordIncorrect = "The old password you entered is incorrect";
const char* const SPasswordTooShort = "Password length is less then 8 characters";
const char* const SPasswordNoLower = "Password must contain an lower case character";
const char* const SPasswordNoUpper = "Password must contain an upper case character";
const char* const SPasswordNoDigit = "Password must contain a number";
const char* const SPasswordHasLastName = "New password cannot contain last name";
const char* const SPasswordHasFirstName = "New password cannot contain first name";
const char* const SPasswordHasUserID = "New password cannot contain user login ID";
const char* const SPasswordIsCurrent = "New password cannot be equal to the current password";
const char* const SPasswordOncePerDay =
    "Password can only be changed once in a 24 hour period. Please, contact your administrator";
const char* const SPasswordInHistory = "New password must be different from previous 10";

namespace {

const char* const kUserSql = "Select u.counter, u.user_id, u.first_name, u.last_name, u.user_password, "
                             "u.last_password_change, u.password_history From tbl_users u Where u.counter = :c_user";
const char* const kSecureOfEnterpriseSql =
    "Select e.require_secure_password From tbl_enterprises e Where e.counter = :c_enterprise";
const char* const kSecureOfUserSql = "Select e.require_secure_password From tbl_users u Join tbl_enterprises e On "
                                     "e.counter = u.c_enterprise Where u.counter = :c_user";

constexpr int kHistoryKept = 10;

// Characters, not bytes: "\xc3\x84" is one letter. A byte that starts no
// valid sequence counts as one character of its own.
size_t CharacterCount(const std::string& s)
{
    return Utf8ToCodePoints(s).size();
}

bool HasCharIn(const std::string& s, char first, char last)
{
    return std::any_of(s.begin(), s.end(), [&](char c) { return c >= first && c <= last; });
}

// A name occurs in the password without regard to case; an empty one never.
bool Contains(const std::string& Password, const std::string& Name)
{
    return !Name.empty() && AnsiUpperCase(Password).find(AnsiUpperCase(Name)) != std::string::npos;
}

// The history's lines; LF-only and CR-only texts from older data split too.
void SplitHistory(const std::string& Text, TStringList& Lines)
{
    Lines.SetText(Text);
}

} // namespace

void DoWithDBOpenClose(TNembraDatabase& Database, const std::function<void(TNembraDatabase&)>& Step)
{
    const bool wasActive = Database.Active();
    try {
        if (!wasActive)
            Database.Open();
        Step(Database);
    } catch (...) {
        if (Database.Active() != wasActive) {
            try {
                Database.SetActive(wasActive);
            } catch (...) {
                // The step's error is the one the caller must see.
            }
        }
        throw;
    }
    if (Database.Active() != wasActive)
        Database.SetActive(wasActive);
}

TCheckPassword::TCheckPassword() : m_row(std::make_unique<TovnDataSet>()) {}

TCheckPassword::~TCheckPassword() = default;

void TCheckPassword::LoadUser(TNembraDatabase& DBSys, int32_t UserCounter, TDataSet* UserRow)
{
    auto copyRow = [this](TDataSet& Source) {
        m_row->Close();
        m_row->FieldDefs().Clear();
        Source.FieldDefs().Update();
        TStringList names;
        for (int i = 0; i < Source.FieldDefs().Count(); ++i)
            names.Add(Source.FieldDefs().Items(i)->Name());
        CopyFieldDefs(&Source.FieldDefs(), &m_row->FieldDefs(), names.CommaText());
        m_row->Open();
        CopyRecordFields(&Source, m_row.get());
        m_row->Post();
    };
    if (UserRow) {
        copyRow(*UserRow);
        TField* counter = m_row->FindField("COUNTER");
        m_userCounter = counter && !counter->IsNull() ? counter->AsInteger() : 0;
        return;
    }
    m_userCounter = UserCounter;
    DoWithDBOpenClose(DBSys, [&](TNembraDatabase& db) {
        TovnOndrelQuery user;
        user.SetDatabase(&db);
        user.SetUseSQL(true);
        user.SQL().SetText(kUserSql);
        user.Params().ParamByName("c_user")->SetAsInteger(UserCounter);
        user.Open();
        if (user.Eof())
            throw ECheckPassword(SUserNotFound);
        copyRow(user);
    });
}

void TCheckPassword::LoadSecure(TNembraDatabase& DBSys)
{
    TField* counter = m_row->FindField("COUNTER");
    const bool stored = counter && !counter->IsNull();
    DoWithDBOpenClose(DBSys, [&](TNembraDatabase& db) {
        TovnOndrelQuery secure;
        secure.SetDatabase(&db);
        if (stored) {
            secure.SetUseSQL(true);
            secure.SQL().SetText(kSecureOfUserSql);
            secure.Params().ParamByName("c_user")->SetAsInteger(counter->AsInteger());
        } else {
            secure.SetUseSQL(true);
            secure.SQL().SetText(kSecureOfEnterpriseSql);
            TField* enterprise = m_row->FindField("C_ENTERPRISE");
            TParam* param = secure.Params().ParamByName("c_enterprise");
            if (enterprise && !enterprise->IsNull())
                param->SetAsInteger(enterprise->AsInteger());
            else
                param->SetDataType(ftInteger); // NULL: no enterprise matches
        }
        secure.Open();
        if (secure.Eof())
            throw ECheckPassword(SSecurityLevelFailed);
        m_secure = secure.FieldByName("REQUIRE_SECURE_PASSWORD")->AsString() == "T";
    });
}

std::string TCheckPassword::Text(const char* Field) const
{
    TField* f = m_row->FindField(Field);
    return f && !f->IsNull() ? f->AsString() : std::string();
}

std::string TCheckPassword::Check(const std::string& OldPassword, const std::string& NewPassword,
                                  std::string& NewHistory, bool OncePerDay, TDateTime Now) const
{
    if (Trim(NewPassword).empty())
        return SBlankPassword;
    const std::string current = Text("USER_PASSWORD");
    if (OldPassword != OldPasswordMarker) {
        const bool same = m_secure ? OldPassword == current : UpperCase(OldPassword) == UpperCase(current);
        if (!same)
            return SOldPasswordIncorrect;
    }
    TStringList history;
    SplitHistory(Text("PASSWORD_HISTORY"), history);
    if (m_secure) {
        if (CharacterCount(NewPassword) < 8)
            return SPasswordTooShort;
        if (!HasCharIn(NewPassword, 'a', 'z'))
            return SPasswordNoLower;
        if (!HasCharIn(NewPassword, 'A', 'Z'))
            return SPasswordNoUpper;
        if (!HasCharIn(NewPassword, '0', '9'))
            return SPasswordNoDigit;
        if (Contains(NewPassword, Text("LAST_NAME")))
            return SPasswordHasLastName;
        if (Contains(NewPassword, Text("FIRST_NAME")))
            return SPasswordHasFirstName;
        if (Contains(NewPassword, Text("USER_ID")))
            return SPasswordHasUserID;
        if (NewPassword == current)
            return SPasswordIsCurrent;
        if (OncePerDay) {
            TField* changed = m_row->FindField("LAST_PASSWORD_CHANGE");
            // A missing date counts as long ago.
            if (changed && !changed->IsNull() && DaysBetween(Now, changed->AsDateTime()) == 0)
                return SPasswordOncePerDay;
        }
        for (int i = 0; i < std::min(history.Count(), kHistoryKept); ++i)
            if (AnsiUpperCase(history.Strings(i)) == AnsiUpperCase(NewPassword))
                return SPasswordInHistory;
    }
    bool known = false;
    for (int i = 0; i < history.Count() && !known; ++i)
        known = AnsiUpperCase(history.Strings(i)) == AnsiUpperCase(NewPassword);
    if (!known)
        history.Insert(0, NewPassword);
    while (history.Count() > kHistoryKept)
        history.Delete(history.Count() - 1);
    NewHistory = history.Text();
    return {};
}

std::string DoCheckPassword(TNembraDatabase& DBSys, int32_t UserCounter, TDataSet* UserRow,
                            const std::string& OldPassword, const std::string& NewPassword, std::string& NewHistory,
                            bool OncePerDay)
{
    if (Trim(NewPassword).empty())
        return SBlankPassword;
    TCheckPassword checker;
    checker.LoadUser(DBSys, UserCounter, UserRow);
    checker.LoadSecure(DBSys);
    return checker.Check(OldPassword, NewPassword, NewHistory, OncePerDay, Now());
}
