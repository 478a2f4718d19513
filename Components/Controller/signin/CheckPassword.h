#pragma once
// Unit CheckPassword: the password rules the password change and the user
// record editor of the administration share, and the helper that runs a
// step with a database open and restores its open state afterwards.
//
// Only an enterprise that requires secure passwords applies the ten rules;
// every other one accepts any non-blank password and compares the old one
// without regard to case (its dialogs type upper case).
//
// Main thread only.

#include "platform/SysUtils.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TDataSet;
class TNembraDatabase;
class TovnDataSet;

// The old password that skips the old-password check: one character of
// code 0 (an administrator setting a password).
extern const std::string OldPasswordMarker;

// The rules' messages, in rule order, and the other texts of the unit.
extern const char* const SBlankPassword;          // "Blank password is not allowed"
extern const char* const SUserNotFound;           // "User not found in DB"
extern const char* const SSecurityLevelFailed;    // "Password sequrity level check failed"
extern const char* const SOldPasswordIncorrect;   // "The old password you entered is incorrect"
extern const char* const SPasswordTooShort;       // rule 1
extern const char* const SPasswordNoLower;        // rule 2
extern const char* const SPasswordNoUpper;        // rule 3
extern const char* const SPasswordNoDigit;        // rule 4
extern const char* const SPasswordHasLastName;    // rule 5
extern const char* const SPasswordHasFirstName;   // rule 6
extern const char* const SPasswordHasUserID;      // rule 7
extern const char* const SPasswordIsCurrent;      // rule 8
extern const char* const SPasswordOncePerDay;     // rule 9
extern const char* const SPasswordInHistory;      // rule 10

// Raised for a user or an enterprise that cannot be read.
KLD_DECLARE_EXCEPTION(ECheckPassword, Exception);

// Opens Database when it is closed, runs Step, and puts the open state back
// as it was, also when Step or the opening raised.
void DoWithDBOpenClose(TNembraDatabase& Database, const std::function<void(TNembraDatabase&)>& Step);

// The checker of one call: a copy of the user's row, its counter, the
// enterprise's secure flag.
class TCheckPassword
{
  public:
    TCheckPassword();
    ~TCheckPassword();
    TCheckPassword(const TCheckPassword&) = delete;
    TCheckPassword& operator=(const TCheckPassword&) = delete;

    // The row: a copy of UserRow's current record when given, else read by
    // UserCounter from DBSys ("User not found in DB" without one).
    void LoadUser(TNembraDatabase& DBSys, int32_t UserCounter, TDataSet* UserRow);
    // The enterprise's flag ("Password sequrity level check failed"
    // without a row).
    void LoadSecure(TNembraDatabase& DBSys);
    // Steps 1 and 4 to 6 on the loaded row: '' or the first failure.
    std::string Check(const std::string& OldPassword, const std::string& NewPassword, std::string& NewHistory,
                      bool OncePerDay, TDateTime Now) const;

    int32_t UserCounter() const { return m_userCounter; }
    bool Secure() const { return m_secure; }
    TovnDataSet& Row() const { return *m_row; }

  private:
    std::string Text(const char* Field) const;
    std::unique_ptr<TovnDataSet> m_row;
    int32_t m_userCounter = 0;
    bool m_secure = false;
};

// '' when NewPassword is accepted (NewHistory then holds the history text
// to store), else the message of the first rule that failed. UserRow may be
// null: the row is then read by UserCounter.
std::string DoCheckPassword(TNembraDatabase& DBSys, int32_t UserCounter, TDataSet* UserRow,
                            const std::string& OldPassword, const std::string& NewPassword, std::string& NewHistory,
                            bool OncePerDay);
