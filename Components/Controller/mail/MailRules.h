#pragma once
// The rules of O-Mail as plain functions (unit MailRules): what the compose
// window checks and sends, how a prefilled message is set up, the mailbox's
// labels and check timer, the message window's texts, the print layout and
// the name offered for a saved attachment. The windows (ComposeMail,
// ReadMail, MailBody) are thin widgets over these.

#include "platform/Colors.h"

#include <cstdint>
#include <string>
#include <vector>

// The recipient kinds of the compose window (the index of its choice).
enum TMailKind
{
    mkUsers = 0, // "Selected Users": SEND_MAIL "URL"
    mkRole = 1,  // "Specific Role": "ROL"
    mkBoard = 2  // the board (no entry in the choice): "BOR"
};

// The error of the first failing send check, in this order, '' when all
// pass: users with a blank To text, a role with neither a chosen role nor a
// preset counter, a blank subject, a blank message.
std::string ComposeSendCheck(int Kind, const std::string& ToText, int32_t RoleCounter, int32_t PresetCounter,
                             const std::string& Subject, const std::string& Message);

// SEND_MAIL's To, Recepients and Counter: a preset counter of 1 or more
// wins with the preset type; otherwise by kind.
struct TMailAddressing
{
    std::string To;
    std::string Recepients;
    int32_t Counter = -1;
};
TMailAddressing MailAddressing(int Kind, const std::string& ToText, int32_t RoleCounter,
                               const std::string& PresetType, int32_t PresetCounter);

// The file name without its folder, after the last '/' or '\'.
std::string MailFileName(const std::string& Path);
// The name a save dialog offers for an attachment: MailFileName of the
// stored name without control characters, cut to the file system's 255
// bytes on a UTF-8 character's boundary (the extension kept), and
// 'attachment' when that is empty, '.' or '..' (the name comes from another
// user's client, so no folder part, line break or endless name is offered).
std::string AttachmentSaveName(const std::string& FileName);

// What the main window's SendOMail makes of its arguments.
struct TSendOMailPlan
{
    std::string PresetType; // the first three characters of MailType
    int32_t PresetCounter = -1;
    std::string ToText;
    int Kind = -1; // -1: the window keeps its own choice
    std::string Subject;
    std::string Message; // with the footer line when there is one
    std::string Attachment;
    // The pick lists' extra conditions (users other than "SYS").
    std::vector<std::string> RoleConditions;
    std::vector<std::string> UserConditions;
    bool KindEnabled = true; // false for "USR" users (kind fixed to users)
};
// Raises EovnBrowser "Users can not broadcast messages" for a "USR" user
// who asks for a broadcast, a counter other than -1 or a type other than
// "URL".
TSendOMailPlan PlanSendOMail(const std::string& UserType, int32_t UserEnterprise,
                             const std::string& MailFooter, const std::string& To, const std::string& Subject,
                             const std::string& Message, const std::string& FileName, bool Broadcast,
                             int32_t Counter, const std::string& CounterText, const std::string& MailType);

// The mailbox's check interval in milliseconds: MailCheckEvery minutes,
// computed in 64 bits, at least 0 and at most the largest timer interval
// (2^31 - 1 ms), so a large setting never wraps into a short or negative
// one.
int32_t MailCheckInterval(int32_t MailCheckEvery);
// Whether the check timer runs.
bool MailCheckRuns(bool MailCheck, int32_t Interval);

// A box label ("Inbox", "Sent"): the caption with " (n)" when the count is
// above 0; bold when the count is above 0 or the box is current; blue
// (#0000FF) when current, else the window-text colour.
struct TMailBoxLabel
{
    std::string Text;
    bool Bold = false;
    TColor Color = clWindowText;
};
TMailBoxLabel MailBoxLabel(const std::string& Caption, int Count, bool Current);

// The message window's "From:" text: USER_ID@ENTERPRISE (FULL_NAME), or
// "System-Generated Message" without a user.
std::string MailFromText(const std::string& UserID, const std::string& Enterprise,
                         const std::string& FullName);

// A reply's parts. The address is USER_ID@ENTERPRISE of the sender; for a
// message without a sender, the From text cut before its first blank.
std::string ReplyAddress(const std::string& FromText, const std::string& UserID,
                         const std::string& Enterprise);
std::string ReplyBody(const std::vector<std::string>& Lines);
std::string ReplySubject(const std::string& Subject);

// Printing: every memo line in pieces of 93 characters (an empty line is one
// empty piece).
constexpr int MailPrintWidth = 93;
std::vector<std::string> MailPrintPieces(const std::vector<std::string>& Lines);

struct TMailPrintLine
{
    int Y = 0;
    std::string Text;
};
using TMailPrintPage = std::vector<TMailPrintLine>;
// The pages of a printed message: "From: ", "Subject: " and "Date Time: "
// lines from y 15, a rule of 93 '-', then the pieces, one line (LineHeight)
// each; a line that would start beyond PageHeight - 15 starts a new page at
// y 15.
std::vector<TMailPrintPage> MailPrintLayout(const std::string& From, const std::string& Subject,
                                            const std::string& DateTime,
                                            const std::vector<std::string>& Lines, int LineHeight,
                                            int PageHeight);

// Splits a text at CR LF, LF or CR into lines (a final line break adds no
// empty line).
std::vector<std::string> MailTextLines(const std::string& Text);
