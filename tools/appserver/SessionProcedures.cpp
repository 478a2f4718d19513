// Signing in and out, keeping the session alive, and the server's own
// addresses and clock.
#include "AppServer.h"
#include "Procedures.h"
#include "TextCase.h"

#include <algorithm>
#include <cctype>

namespace {

using Wire::EProcedureError;

struct TUserAccount
{
    int64_t Counter = 0;
    std::string UserType;
    std::string Password;
    bool AccountExpired = false;
    std::string ExpirationDate;
    bool PasswordExpires = false;
    int64_t PasswordDaysLeft = 0;
};

bool IsTrue(const std::string& s)
{
    std::string upper(s);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper == "TRUE";
}

// The account of a sign-in, or raises 2001 when user ID or password do not
// match a live account.
TUserAccount FindAccount(TDatabase& db, const std::string& userId, const std::string& password)
{
    auto lock = db.Lock();
    auto user = db.Prepare(
        "SELECT COUNTER, USER_TYPE, COALESCE(USER_PASSWORD, ''), "
        "  EXPIRATION_DATE IS NOT NULL AND EXPIRATION_DATE <> '' AND EXPIRATION_DATE < date('now', 'localtime'), "
        "  COALESCE(EXPIRATION_DATE, ''), "
        "  COALESCE(EXPIRATION_INTERVAL, 0) > 0 AND "
        "  CAST(julianday(COALESCE(LAST_PASSWORD_CHANGE, '1900-01-01'), '+' || EXPIRATION_INTERVAL || ' days') "
        "       - julianday(date('now', 'localtime')) AS INTEGER) <= COALESCE(DAYS_PASSWORD_WARNING, 0), "
        "  CAST(julianday(COALESCE(LAST_PASSWORD_CHANGE, '1900-01-01'), '+' || COALESCE(EXPIRATION_INTERVAL, 0) "
        "       || ' days') - julianday(date('now', 'localtime')) AS INTEGER) "
        "  , COALESCE((SELECT E.REQUIRE_SECURE_PASSWORD FROM TBL_ENTERPRISES E WHERE E.COUNTER = C_ENTERPRISE), 'F') "
        "FROM TBL_USERS WHERE UPPER(USER_ID) = UPPER(?) AND CURRENT_USE = 'T'");
    user->Bind(1, userId);
    TUserAccount account;
    // A NULL password is an empty one. The password change keeps the case
    // only in an enterprise that requires secure passwords; elsewhere it
    // stores upper case, so the sign-in compares as the change compares the
    // old password.
    auto samePassword = [&] {
        return user->Text(7) == "T" ? user->Text(2) == password : UpperText(user->Text(2)) == UpperText(password);
    };
    if (userId.empty() || !user->Step() || !samePassword())
        throw EProcedureError(Wire::ErrInvalidLogin, "Invalid User ID or Password.");
    account.Counter = user->Int(0);
    account.UserType = user->Text(1);
    account.AccountExpired = user->Int(3) != 0;
    account.ExpirationDate = user->Text(4);
    account.PasswordExpires = user->Int(5) != 0;
    account.PasswordDaysLeft = user->Int(6);
    return account;
}

std::string PasswordWarning(const TUserAccount& account)
{
    if (!account.PasswordExpires)
        return {};
    if (account.PasswordDaysLeft <= 0)
        return Wire::ErrorText(Wire::ErrPasswordExpiry, "Your password has expired.");
    return Wire::ErrorText(Wire::ErrPasswordExpiry, "Your password will expire in " +
                                                        std::to_string(account.PasswordDaysLeft) +
                                                        (account.PasswordDaysLeft == 1 ? " day." : " days."));
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::toupper(x) == std::toupper(y);
           });
}

// The members the client reads at sign-in; a test may have the server leave
// some out (--login-reply-without).
void WriteLoginReply(TCall& call, const TUserAccount& account, const std::string& warning)
{
    TAppServer& server = call.Server();
    TDatabase& db = server.Database();
    const TFaultSwitch& without = server.Options().LoginReplyWithout;
    auto lock = db.Lock();
    TJsonWriter& json = call.Json();

    if (!without.Applies("User")) {
        json.Key("User");
        auto user = db.Prepare("SELECT U.*, E.ENTERPRISE FROM TBL_USERS U "
                               "LEFT JOIN TBL_ENTERPRISES E ON U.C_ENTERPRISE = E.COUNTER WHERE U.COUNTER = ?");
        user->Bind(1, account.Counter);
        Wire::WriteColumns(json, *user, {"USER_PASSWORD", "PASSWORD_HISTORY"});
    }

    if (!without.Applies("CLIENT_INFO")) {
        json.Key("CLIENT_INFO");
        json.StartArray();
        auto info = db.Prepare("SELECT NAME, COALESCE(VALUE, '') FROM SRV_CLIENT_INFO ORDER BY rowid");
        bool notifyHostNamed = false;
        while (info->Step()) {
            notifyHostNamed = notifyHostNamed || SameName(info->Text(0), "VNS_USER_HOST");
            json.String((info->Text(0) + "=" + info->Text(1)).c_str());
        }
        // Unless the table names another, the notification server is this
        // server's own.
        if (!notifyHostNamed && server.NotifyPort() > 0) {
            json.String("VNS_USER_HOST=127.0.0.1");
            json.String(("VNS_USER_PORT=" + std::to_string(server.NotifyPort())).c_str());
        }
        json.EndArray();
    }

    // A system manager reaches every database; anyone else those on which
    // he holds a role.
    if (!without.Applies("DATABASES")) {
        json.Key("DATABASES");
        auto databases = db.Prepare(
            "SELECT A.ALIAS AS \"Database\", A.DESCRIPTION AS \"Description\", E.ENTERPRISE AS \"Enterprise\", "
            "  A.C_ENTERPRISE AS \"C_Enterprise\" "
            "FROM TBL_DBALIASES A LEFT JOIN TBL_ENTERPRISES E ON A.C_ENTERPRISE = E.COUNTER "
            "WHERE A.CURRENT_USE = 'T' AND (? = 'SYS' OR A.COUNTER IN ("
            "  SELECT R.C_ALIAS FROM TBL_USERDBACCESS UA JOIN TBL_ROLES R ON UA.C_ROLE = R.COUNTER "
            "  WHERE UA.C_USER = ? AND R.CURRENT_USE = 'T')) "
            "ORDER BY A.ALIAS");
        databases->Bind(1, account.UserType).Bind(2, account.Counter);
        Wire::WriteColumns(json, *databases);
    }

    if (!without.Applies("Warning"))
        Wire::Member(json, "Warning", warning);
}

// USER_ID, USER_PWD, FORCE, OS, AGENT, SECRET_KEY. Errors: 2001 unknown user
// or wrong password, 2012 the account has expired, 2009 the user is signed
// in elsewhere (FORCE=True ends that session). A password about to expire
// gives the warning "#2004 ...".
void Login(TCall& call)
{
    TAppServer& server = call.Server();
    const TUserAccount account = FindAccount(server.Database(), call.Param("USER_ID"), call.Param("USER_PWD"));
    if (account.AccountExpired)
        throw EProcedureError(Wire::ErrAccountRefused, "Your account expired on " + account.ExpirationDate +
                                                           ". Please contact your system administrator.");
    const auto others = server.Sessions().ForUser(account.Counter);
    if (!others.empty()) {
        if (!IsTrue(call.Param("FORCE")))
            throw EProcedureError(Wire::ErrAlreadySignedIn, "Same User ID is already logged in.");
        for (const auto& other : others)
            server.Sessions().Remove(other->Id);
    }
    TSession session;
    session.Id = Wire::RandomHex(16);
    session.UserCounter = account.Counter;
    session.UserId = call.Param("USER_ID");
    session.UserType = account.UserType;
    session.SecretKey = call.Param("SECRET_KEY");
    session.RemoteAddr = call.Origin().RemoteAddr;
    session.Agent = call.Param("AGENT");
    session.OS = call.Param("OS");
    call.SetSessionCookie(server.Sessions().Create(std::move(session))->Id);
    WriteLoginReply(call, account, PasswordWarning(account));
}

void Logout(TCall& call)
{
    // The cookie stays as it is: a client that sees its session cookie change
    // takes the session for ended by the server.
    call.Server().Sessions().Remove(call.RequireSession().Id);
}

void KeepAlive(TCall& call)
{
    call.RequireSession();
}

void GetWorkServerURL(TCall& call)
{
    call.ReplyText(call.Server().Options().WorkServerURL);
}

void GetServerTime(TCall& call)
{
    call.RequireSession();
    call.Json().Key("SERVER_TIME_DOUBLE");
    if (call.Server().Options().ServerTimeAsText)
        call.Json().String("not a time");
    else
        call.Json().Double(Wire::NowAsDateTime());
    Wire::Member(call.Json(), "SERVER_TIME", Wire::NowText());
}

} // namespace

void RegisterSessionProcedures(TProcedureTable& table)
{
    table.Add("Nembra.Login", Login);
    table.Add("Nembra.Logout", Logout);
    table.Add("Nembra.KeepAlive", KeepAlive);
    table.Add("Nembra.GetWorkServerURL", GetWorkServerURL);
    table.Add("Nembra.GetServerTime", GetServerTime);
}
