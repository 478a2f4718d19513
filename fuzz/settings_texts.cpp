// Settings and layouts from arbitrary bytes.
// - Module-group text (the form stored on the server): any text reads; what
//   it reads writes out and reads back as the same entries (and the same
//   hidden flags where names are unique); a merge of it into a list leaves
//   no "$HIDE" entry behind.
// - Connection list: any settings file loads (current section, older
//   layouts, built-in entry); what it loaded is saved and read back as the
//   same entries.
// - Preferences: any settings file loads; saving and loading again gives the
//   same values.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "Components/Controller/ovnPreferences.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "platform/IniFiles.h"
#include "platform/SysUtils.h"
#include "ui/ovnNamedList.h"

namespace {
std::vector<std::string> LinesOf(const TStrings& list)
{
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

bool NamesAreUnique(const TNamedList& list)
{
    for (int i = 0; i < list.Count(); ++i) {
        if (list.GetName(i).empty())
            return false;
        for (int j = i + 1; j < list.Count(); ++j)
            if (AnsiSameText(list.GetName(i), list.GetName(j)))
                return false;
    }
    return true;
}

void CheckNamedList(const std::string& text)
{
    TNamedList list;
    list.SetAsText(text);
    if (list.Find("$HIDE") >= 0)
        std::abort();
    TNamedList back;
    back.SetAsText(list.AsText());
    if (LinesOf(back.Lines()) != LinesOf(list.Lines()))
        std::abort();
    if (NamesAreUnique(list))
        for (int i = 0; i < list.Count(); ++i)
            if (back.GetVisible(i) != list.GetVisible(i))
                std::abort();

    TNamedList merged;
    merged.SetAsText(text.substr(0, text.size() / 2));
    merged.UpdateAsString(text.substr(text.size() / 2));
    if (merged.Find("$HIDE") >= 0)
        std::abort();
}

std::string TempName(const char* tag)
{
    return "/tmp/fuzz-settings-" + std::to_string(::getpid()) + "-" + tag + ".ini";
}

bool WriteFile(const std::string& fileName, const std::string& text)
{
    FILE* f = std::fopen(fileName.c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return true;
}

std::vector<std::vector<std::string>> Entries(const TovnConnections& list)
{
    std::vector<std::vector<std::string>> entries;
    for (int i = 0; i < list.Count(); ++i)
        entries.push_back(LinesOf(list.GetItem(i)->Values()));
    return entries;
}

void CheckConnections(const std::string& text)
{
    static const std::string source = TempName("src");
    static const std::string copy = TempName("copy");
    if (!WriteFile(source, text) || !WriteFile(copy, ""))
        return;
    TMemIniFile ini(source);
    TovnConnections list;
    list.SetDefaultURL("https://builtin");
    list.LoadFromIni(ini, "CONNECTIONS");
    TMemIniFile out(copy);
    list.SaveToIni(out, "CONNECTIONS");
    TovnConnections back;
    back.LoadFromIni(out, "CONNECTIONS");
    if (Entries(back) != Entries(list))
        std::abort();
}

void CheckPreferences(const std::string& text)
{
    static const std::string source = TempName("prefs");
    if (!WriteFile(source, text))
        return;
    TMemIniFile ini(source);
    TovnPreferences prefs;
    TovnSysPreferences sys;
    prefs.LoadFromIni(ini);
    sys.LoadFromIni(ini);
    prefs.SaveToIni(ini);
    sys.SaveToIni(ini);
    TovnPreferences again;
    TovnSysPreferences sysAgain;
    again.LoadFromIni(ini);
    sysAgain.LoadFromIni(ini);
    const bool same = again.AutoLogin == prefs.AutoLogin && again.UserID == prefs.UserID &&
                      again.MRUCount == prefs.MRUCount && again.MailFooter == prefs.MailFooter &&
                      again.MailCheckEvery == prefs.MailCheckEvery && again.UpdateURL == prefs.UpdateURL &&
                      again.MailFont == prefs.MailFont && again.ShowGlyphs == prefs.ShowGlyphs &&
                      again.PlacementBounds() == prefs.PlacementBounds() &&
                      again.PlacementState() == prefs.PlacementState() && sysAgain.CacheDir == sys.CacheDir &&
                      sysAgain.DownloadWhen == sys.DownloadWhen;
    if (!same)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0:
        CheckNamedList(text);
        break;
    case 1:
        CheckConnections(text);
        break;
    default:
        CheckPreferences(text);
        break;
    }
    return 0;
}
