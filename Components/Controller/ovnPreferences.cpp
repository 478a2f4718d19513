#include "Components/Controller/ovnPreferences.h"

#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "platform/IniFiles.h"
#include "platform/SysUtils.h"

#include <algorithm>

namespace {
const char* const kUserSection = "USER PREFERENCES";
const char* const kUpdateSection = "UPDATE";
const char* const kCacheSection = "LOCAL CACHE";

bool ReadFlag(TCustomIniFile& Ini, const char* Section, const char* Key, bool Current)
{
    return ConfigTextIsTrue(Ini.ReadString(Section, Key, ConfigBoolText(Current)));
}

void WriteFlag(TCustomIniFile& Ini, const char* Section, const char* Key, bool Value)
{
    Ini.WriteString(Section, Key, ConfigBoolText(Value));
}

// Moves one axis of the rectangle back onto a desktop of length Extent; a
// start beyond Extent - Margin means the part of the desktop it lay on is gone.
void ClampAxis(int32_t Extent, int32_t Margin, int32_t& Start, int32_t& Length)
{
    // Worked out in 64 bits: a damaged settings file may hold any 32-bit
    // numbers, a negative size among them.
    int64_t start = Start;
    if (start > int64_t{Extent} - Margin)
        start = int64_t{Extent} - Length;
    if (start >= 0) {
        Start = static_cast<int32_t>(std::min<int64_t>(start, INT32_MAX));
        return;
    }
    const int64_t end = start + Length;
    Start = 0;
    // Keeping the far edge would leave nothing of a window that lay wholly
    // before the desktop: keep its size instead, up to the desktop's.
    Length = end > 0 ? static_cast<int32_t>(end) : std::min(Length, Extent);
}
} // namespace

TovnWindowBounds ClampWindowBounds(int32_t DesktopWidth, int32_t DesktopHeight, TovnWindowBounds Stored)
{
    ClampAxis(DesktopWidth, 50, Stored.Left, Stored.Width);
    ClampAxis(DesktopHeight, 20, Stored.Top, Stored.Height);
    return Stored;
}

// ---------------------------------------------------------------------------
// TovnPreferences

TovnPreferences::TovnPreferences()
{
    ResetToDefault();
}

void TovnPreferences::ResetToDefault()
{
    AutoLogin = true;
    RememberID = true;
    MRUCount = 8;
    RememberPlacement = true;
    AutoDBLogin = true;
    MailPopup = false;
    MailFooter.clear();
    ChatDisable = false;
    ShowGlyphs = true;
    ShowShelf = true;
    ArrowCheck = true;
    AutoSelect = true;
    ShowModuleGroups = false;
    MailCheck = true;
    MailCheckEvery = 10;
    AutoUpdate = true;
    MailFont = "Arial";
    MailFontSize = 12;
}

IovnPlacementWindow* TovnPreferences::Window() const
{
    return OnGetWindow ? OnGetWindow() : nullptr;
}

void TovnPreferences::LoadFromIni(TCustomIniFile& Ini)
{
    AutoLogin = ReadFlag(Ini, kUserSection, "AutoLogin", AutoLogin);
    RememberID = ReadFlag(Ini, kUserSection, "RememberID", RememberID);
    UserID = Ini.ReadString(kUserSection, "UserID", "");
    MRUCount = Ini.ReadInteger(kUserSection, "MRUCount", MRUCount);
    RememberPlacement = ReadFlag(Ini, kUserSection, "RememberPlacement", RememberPlacement);
    AutoDBLogin = ReadFlag(Ini, kUserSection, "AutoDBLogin", AutoDBLogin);
    MailPopup = ReadFlag(Ini, kUserSection, "MailPopup", MailPopup);
    MailFooter = Ini.ReadString(kUserSection, "MailFooter", "");
    ChatDisable = ReadFlag(Ini, kUserSection, "ChatDisable", ChatDisable);
    ShowGlyphs = ReadFlag(Ini, kUserSection, "ShowGlyphs", ShowGlyphs);
    ShowShelf = ReadFlag(Ini, kUserSection, "ShowShelf", ShowShelf);
    ArrowCheck = ReadFlag(Ini, kUserSection, "ArrowCheck", ArrowCheck);
    AutoSelect = ReadFlag(Ini, kUserSection, "AutoSelect", AutoSelect);
    ShowModuleGroups = ReadFlag(Ini, kUserSection, "ShowModuleGroups", ShowModuleGroups);
    MailCheck = ReadFlag(Ini, kUserSection, "MailCheck", MailCheck);
    MailCheckEvery = Ini.ReadInteger(kUserSection, "MailCheckEvery", MailCheckEvery);
    AutoUpdate = ReadFlag(Ini, kUpdateSection, "AutoUpdate", AutoUpdate);
    UpdateURL = Ini.ReadString(kUpdateSection, "UpdateURL", DefaultUpdateURL);
    MailFont = Ini.ReadString(kUserSection, "MailFont", MailFont);
    MailFontSize = Ini.ReadInteger(kUserSection, "MailFontSize", MailFontSize);
    if (RememberPlacement)
        LoadPlacement(Ini);
}

void TovnPreferences::LoadPlacement(TCustomIniFile& Ini)
{
    IovnPlacementWindow* window = Window();
    const TovnWindowBounds current = window ? window->GetPlacementBounds() : m_bounds;
    int32_t state = Ini.ReadInteger(kUserSection, "BrowserWindowState", ovnWindowNormal);
    // A state the window does not know is taken as the normal one.
    if (state < ovnWindowNormal || state > ovnWindowMaximized)
        state = ovnWindowNormal;
    TovnWindowBounds bounds;
    bounds.Left = Ini.ReadInteger(kUserSection, "BrowserLeft", current.Left);
    bounds.Top = Ini.ReadInteger(kUserSection, "BrowserTop", current.Top);
    bounds.Width = Ini.ReadInteger(kUserSection, "BrowserWidth", current.Width);
    bounds.Height = Ini.ReadInteger(kUserSection, "BrowserHeight", current.Height);
    if (window) {
        // The stored bounds are the normal ones: a maximised window takes
        // them in the normal state and is maximised afterwards.
        if (state == ovnWindowMaximized)
            window->SetPlacementState(ovnWindowNormal);
        // Without a screen there is no desktop to bring the window back onto.
        if (window->DesktopWidth() > 0 && window->DesktopHeight() > 0)
            bounds = ClampWindowBounds(window->DesktopWidth(), window->DesktopHeight(), bounds);
        window->SetPlacementBounds(bounds);
        window->SetPlacementState(state);
    }
    m_bounds = bounds;
    m_windowState = state;
}

void TovnPreferences::SaveToIni(TCustomIniFile& Ini) const
{
    if (IovnPlacementWindow* window = Window()) {
        m_bounds = window->GetPlacementBounds();
        m_windowState = window->GetPlacementState();
    }
    Ini.WriteInteger(kUserSection, "MRUCount", MRUCount);
    Ini.WriteInteger(kUserSection, "BrowserLeft", m_bounds.Left);
    Ini.WriteInteger(kUserSection, "BrowserTop", m_bounds.Top);
    Ini.WriteInteger(kUserSection, "BrowserWidth", m_bounds.Width);
    Ini.WriteInteger(kUserSection, "BrowserHeight", m_bounds.Height);
    Ini.WriteInteger(kUserSection, "BrowserWindowState", m_windowState);
    WriteFlag(Ini, kUserSection, "AutoLogin", AutoLogin);
    WriteFlag(Ini, kUserSection, "AutoDBLogin", AutoDBLogin);
    WriteFlag(Ini, kUserSection, "RememberID", RememberID);
    Ini.WriteString(kUserSection, "UserID", UserID);
    WriteFlag(Ini, kUserSection, "RememberPlacement", RememberPlacement);
    WriteFlag(Ini, kUserSection, "MailPopup", MailPopup);
    WriteFlag(Ini, kUserSection, "MailCheck", MailCheck);
    Ini.WriteInteger(kUserSection, "MailCheckEvery", MailCheckEvery);
    Ini.WriteString(kUserSection, "MailFooter", MailFooter);
    Ini.WriteString(kUserSection, "MailFont", MailFont);
    Ini.WriteInteger(kUserSection, "MailFontSize", MailFontSize);
    WriteFlag(Ini, kUserSection, "ChatDisable", ChatDisable);
    WriteFlag(Ini, kUserSection, "ShowGlyphs", ShowGlyphs);
    WriteFlag(Ini, kUserSection, "ShowShelf", ShowShelf);
    WriteFlag(Ini, kUserSection, "ArrowCheck", ArrowCheck);
    WriteFlag(Ini, kUserSection, "AutoSelect", AutoSelect);
    WriteFlag(Ini, kUserSection, "ShowModuleGroups", ShowModuleGroups);
    WriteFlag(Ini, kUpdateSection, "AutoUpdate", AutoUpdate);
    Ini.WriteString(kUpdateSection, "UpdateURL", UpdateURL);
}

void TovnPreferences::AssignTo(TPersistent& Dest) const
{
    auto* dest = dynamic_cast<TovnPreferences*>(&Dest);
    if (!dest) {
        TPersistent::AssignTo(Dest);
        return;
    }
    if (dest == this)
        return;
    // AutoUpdate and UpdateURL stay: the preferences dialog works on a copy
    // and must not be able to change them.
    dest->AutoLogin = AutoLogin;
    dest->RememberID = RememberID;
    dest->UserID = UserID;
    dest->MRUCount = MRUCount;
    dest->RememberPlacement = RememberPlacement;
    dest->AutoDBLogin = AutoDBLogin;
    dest->MailPopup = MailPopup;
    dest->MailFooter = MailFooter;
    dest->ChatDisable = ChatDisable;
    dest->ShowGlyphs = ShowGlyphs;
    dest->ShowShelf = ShowShelf;
    dest->ArrowCheck = ArrowCheck;
    dest->AutoSelect = AutoSelect;
    dest->ShowModuleGroups = ShowModuleGroups;
    dest->MailCheck = MailCheck;
    dest->MailCheckEvery = MailCheckEvery;
    dest->MailFont = MailFont;
    dest->MailFontSize = MailFontSize;
}

// ---------------------------------------------------------------------------
// TovnSysPreferences

bool CacheDirIsAbsolute(const std::string& CacheDir)
{
    const std::string dir = Trim(CacheDir);
    return !dir.empty() && dir[0] == '/';
}

TovnSysPreferences::TovnSysPreferences()
{
    ResetToDefault();
}

void TovnSysPreferences::ResetToDefault()
{
    CacheDir = "cache";
    DownloadWhen = downloadNewer;
}

void TovnSysPreferences::LoadFromIni(TCustomIniFile& Ini)
{
    CacheDir = Ini.ReadString(kCacheSection, "CacheDir", CacheDir);
    // Trimmed like the settings file's other options, so that "DownloadWhen = always" counts.
    DownloadWhen = StrToDownloadWhen(Trim(Ini.ReadString(kCacheSection, "DownloadWhen", "")), downloadNewer);
}

void TovnSysPreferences::SaveToIni(TCustomIniFile& Ini) const
{
    Ini.WriteString(kCacheSection, "CacheDir", CacheDir);
    Ini.WriteString(kCacheSection, "DownloadWhen", DownloadWhenToStr(DownloadWhen));
}

void TovnSysPreferences::AssignTo(TPersistent& Dest) const
{
    auto* dest = dynamic_cast<TovnSysPreferences*>(&Dest);
    if (!dest) {
        TPersistent::AssignTo(Dest);
        return;
    }
    dest->CacheDir = CacheDir;
    dest->DownloadWhen = DownloadWhen;
}
