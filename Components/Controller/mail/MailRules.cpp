#include "Components/Controller/mail/MailRules.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <limits>

std::string ComposeSendCheck(int Kind, const std::string& ToText, int32_t RoleCounter, int32_t PresetCounter,
                             const std::string& Subject, const std::string& Message)
{
    if (Kind == mkUsers && Trim(ToText).empty())
        return "Recepient was not specified";
    if (Kind == mkRole && RoleCounter == 0 && PresetCounter < 1)
        return "Broadcast recepients was not specified";
    if (Trim(Subject).empty())
        return "Blank Subject";
    if (Trim(Message).empty())
        return "Blank Message";
    return {};
}

TMailAddressing MailAddressing(int Kind, const std::string& ToText, int32_t RoleCounter,
                               const std::string& PresetType, int32_t PresetCounter)
{
    TMailAddressing a;
    if (PresetCounter >= 1) {
        a.To = PresetType;
        a.Counter = PresetCounter;
        return a;
    }
    switch (Kind) {
    case mkUsers:
        a.To = "URL";
        a.Recepients = Trim(ToText);
        break;
    case mkRole:
        a.To = "ROL";
        a.Counter = RoleCounter;
        break;
    case mkBoard:
        a.To = "BOR";
        break;
    default:
        break;
    }
    return a;
}

std::string MailFileName(const std::string& Path)
{
    const size_t cut = Path.find_last_of("/\\");
    return cut == std::string::npos ? Path : Path.substr(cut + 1);
}

namespace {

// The name without C0 controls, DEL and C1 controls (U+0080-U+009F, two
// bytes "\xC2\x80"-"\xC2\x9F" in UTF-8): a line break or an escape in a
// file name breaks the save dialog's field and every listing of the folder.
std::string WithoutControls(const std::string& Name)
{
    std::string out;
    out.reserve(Name.size());
    for (size_t i = 0; i < Name.size(); ++i) {
        const auto c = static_cast<unsigned char>(Name[i]);
        if (c < 32 || c == 127)
            continue;
        if (c == 0xC2 && i + 1 < Name.size() && static_cast<unsigned char>(Name[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(Name[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        out += Name[i];
    }
    return out;
}

// At most Bytes bytes of Text, cut before a UTF-8 continuation byte's lead
// so that no character is split.
std::string Utf8Head(const std::string& Text, size_t Bytes)
{
    if (Text.size() <= Bytes)
        return Text;
    size_t cut = Bytes;
    while (cut > 0 && (static_cast<unsigned char>(Text[cut]) & 0xC0) == 0x80)
        --cut;
    return Text.substr(0, cut);
}

// A name the file system takes: at most MaxFileNameBytes bytes, the
// extension kept when the name before it keeps a character.
std::string FitFileName(const std::string& Name)
{
    constexpr size_t MaxFileNameBytes = 255;
    if (Name.size() <= MaxFileNameBytes)
        return Name;
    const size_t dot = Name.rfind('.');
    if (dot != std::string::npos && dot > 0 && Name.size() - dot < MaxFileNameBytes) {
        const std::string extension = Name.substr(dot);
        const std::string stem = Utf8Head(Name.substr(0, dot), MaxFileNameBytes - extension.size());
        if (!stem.empty())
            return stem + extension;
    }
    return Utf8Head(Name, MaxFileNameBytes);
}

} // namespace

std::string AttachmentSaveName(const std::string& FileName)
{
    const std::string name = FitFileName(WithoutControls(MailFileName(FileName)));
    if (name.empty() || name == "." || name == "..")
        return "attachment";
    return name;
}

TSendOMailPlan PlanSendOMail(const std::string& UserType, int32_t UserEnterprise,
                             const std::string& MailFooter, const std::string& To, const std::string& Subject,
                             const std::string& Message, const std::string& FileName, bool Broadcast,
                             int32_t Counter, const std::string& CounterText, const std::string& MailType)
{
    const bool plainUser = UserType == "USR";
    if (plainUser && (Broadcast || Counter != -1 || MailType != "URL"))
        throw EovnBrowser("Users can not broadcast messages");
    TSendOMailPlan plan;
    plan.PresetType = MailType.substr(0, std::min<size_t>(3, MailType.size()));
    plan.PresetCounter = Counter;
    plan.ToText = Trim(To);
    if (!plan.ToText.empty())
        plan.Kind = mkUsers;
    if (Counter != -1)
        plan.Kind = mkRole;
    if (Broadcast)
        plan.Kind = mkBoard;
    plan.Subject = Trim(Subject);
    plan.Message = Trim(Message);
    if (!Trim(MailFooter).empty())
        plan.Message += (plan.Message.empty() ? "" : "\r\n") + MailFooter;
    plan.Attachment = Trim(FileName);
    if (Counter != -1)
        plan.ToText = CounterText;
    if (UserType != "SYS") {
        const std::string n = std::to_string(UserEnterprise);
        plan.RoleConditions = {" AND (TR.C_ENTERPRISE = " + n + ")"};
        plan.UserConditions = {" AND ((TU.C_ENTERPRISE = " + n + ")", "      OR (TU.USER_TYPE = 'SYS'))"};
    }
    if (plainUser) {
        plan.Kind = mkUsers;
        plan.KindEnabled = false;
    }
    return plan;
}

int32_t MailCheckInterval(int32_t MailCheckEvery)
{
    const int64_t ms = static_cast<int64_t>(MailCheckEvery) * 60000;
    return static_cast<int32_t>(std::clamp<int64_t>(ms, 0, std::numeric_limits<int32_t>::max()));
}

bool MailCheckRuns(bool MailCheck, int32_t Interval)
{
    return MailCheck && Interval != 0;
}

TMailBoxLabel MailBoxLabel(const std::string& Caption, int Count, bool Current)
{
    TMailBoxLabel label;
    label.Text = Count > 0 ? Caption + " (" + std::to_string(Count) + ")" : Caption;
    label.Bold = Count > 0 || Current;
    label.Color = Current ? clBlue : clWindowText;
    return label;
}

std::string MailFromText(const std::string& UserID, const std::string& Enterprise,
                         const std::string& FullName)
{
    if (UserID.empty())
        return "System-Generated Message";
    return UserID + "@" + Enterprise + " (" + FullName + ")";
}

std::string ReplyAddress(const std::string& FromText, const std::string& UserID,
                         const std::string& Enterprise)
{
    // Enterprise names hold blanks ("HARBOUR VIEW CARE"): cutting the From
    // text at its first blank would address a user nobody has.
    if (!UserID.empty())
        return UserID + "@" + Enterprise;
    const std::string text = Trim(FromText);
    const size_t blank = text.find(' ');
    return blank == std::string::npos ? text : text.substr(0, blank);
}

std::string ReplyBody(const std::vector<std::string>& Lines)
{
    std::string body;
    for (const std::string& line : Lines)
        body += " > " + line + "\r\n";
    return body;
}

std::string ReplySubject(const std::string& Subject)
{
    return "Re: " + Subject;
}

namespace {

// The byte length of the first Count characters of a UTF-8 text (a
// character is a lead byte with its continuation bytes).
size_t Utf8Prefix(const std::string& Text, size_t From, size_t Count)
{
    size_t i = From;
    while (i < Text.size() && Count > 0) {
        ++i;
        while (i < Text.size() && (static_cast<unsigned char>(Text[i]) & 0xC0) == 0x80)
            ++i;
        --Count;
    }
    return i - From;
}

} // namespace

std::vector<std::string> MailPrintPieces(const std::vector<std::string>& Lines)
{
    std::vector<std::string> pieces;
    for (const std::string& line : Lines) {
        if (line.empty()) {
            pieces.emplace_back();
            continue;
        }
        for (size_t at = 0; at < line.size();) {
            const size_t len = Utf8Prefix(line, at, MailPrintWidth);
            pieces.push_back(line.substr(at, len));
            at += len;
        }
    }
    return pieces;
}

std::vector<TMailPrintPage> MailPrintLayout(const std::string& From, const std::string& Subject,
                                            const std::string& DateTime,
                                            const std::vector<std::string>& Lines, int LineHeight,
                                            int PageHeight)
{
    constexpr int top = 15;
    std::vector<TMailPrintPage> pages(1);
    int y = top;
    auto put = [&](const std::string& text) {
        if (y > PageHeight - top && !pages.back().empty()) {
            pages.emplace_back();
            y = top;
        }
        pages.back().push_back({y, text});
        y += std::max(1, LineHeight);
    };
    put("From: " + From);
    put("Subject: " + Subject);
    put("Date Time: " + DateTime);
    put(std::string(MailPrintWidth, '-'));
    for (const std::string& piece : MailPrintPieces(Lines))
        put(piece);
    return pages;
}

std::vector<std::string> MailTextLines(const std::string& Text)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}
