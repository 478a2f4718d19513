#pragma once
// The user preferences (sections "USER PREFERENCES" and "UPDATE") and the
// machine preferences (section "LOCAL CACHE") of the settings file.
//
// Booleans are stored "TRUE"/"FALSE" and read as True exactly when the text,
// trimmed, is "TRUE" in any case (so "1" is False, unlike the INI class's own
// ReadBool); a key that is missing, or an integer that is not a number, keeps
// the value the object holds. The main window's placement is read only when
// RememberPlacement is set but always written, so that turning the option on
// later starts from where the window last was.

#include "Components/Nembra/NembraDownloadWhen.h"
#include "platform/Persistent.h"

#include <cstdint>
#include <functional>
#include <string>

class TCustomIniFile;

// The window state stored as "BrowserWindowState".
constexpr int32_t ovnWindowNormal = 0;
constexpr int32_t ovnWindowMinimized = 1;
constexpr int32_t ovnWindowMaximized = 2;

// A window's normal rectangle as the settings file stores it (pixels).
struct TovnWindowBounds
{
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool operator==(const TovnWindowBounds&) const = default;
};

// The stored rectangle brought back onto a desktop of the given size: a
// window whose left edge lies beyond the desktop's width minus 50 (a monitor
// that is gone) is moved so that its right edge meets the desktop's right
// edge, and one whose top lies beyond the height minus 20 so that its bottom
// meets the bottom; then a negative left or top becomes 0 with the right or
// bottom edge kept, so a window larger than the desktop is cut to it. A
// window lying wholly left of or above the desktop, which that cut would
// leave with no width or height, is moved to 0 instead, keeping its size up
// to the desktop's.
TovnWindowBounds ClampWindowBounds(int32_t DesktopWidth, int32_t DesktopHeight, TovnWindowBounds Stored);

// The window whose placement the user preferences remember (the main window).
class IovnPlacementWindow
{
  public:
    virtual ~IovnPlacementWindow() = default;
    virtual TovnWindowBounds GetPlacementBounds() const = 0;
    virtual void SetPlacementBounds(const TovnWindowBounds& Bounds) = 0;
    // ovnWindowNormal, ovnWindowMinimized or ovnWindowMaximized.
    virtual int32_t GetPlacementState() const = 0;
    virtual void SetPlacementState(int32_t State) = 0;
    // The size of the desktop the window is placed on.
    virtual int32_t DesktopWidth() const = 0;
    virtual int32_t DesktopHeight() const = 0;
};

class TovnPreferences : public TPersistent
{
  public:
    TovnPreferences();
    std::string ClassName() const override { return "TovnPreferences"; }

    // The defaults; UserID and UpdateURL are left as they are.
    void ResetToDefault();
    // Reads every key (a missing one keeps the current value; UserID and
    // MailFooter then become '' and UpdateURL the brand's update address),
    // then, with RememberPlacement, restores the window's placement.
    void LoadFromIni(TCustomIniFile& Ini);
    // Writes every key in the file's fixed order, the placement keys from
    // the window's current bounds and state.
    void SaveToIni(TCustomIniFile& Ini) const;
    // Into another TovnPreferences: every setting except AutoUpdate and
    // UpdateURL, which only the settings file changes. Any other target
    // raises EConvertError.
    void AssignTo(TPersistent& Dest) const override;

    bool AutoLogin = true;
    bool RememberID = true;
    std::string UserID;
    int32_t MRUCount = 8;
    bool RememberPlacement = true;
    bool AutoDBLogin = true;
    bool MailPopup = false;
    std::string MailFooter;
    bool ChatDisable = false;
    bool ShowGlyphs = true;
    bool ShowShelf = true;
    bool ArrowCheck = true;
    bool AutoSelect = true;
    bool ShowModuleGroups = false;
    bool MailCheck = true;
    int32_t MailCheckEvery = 10; // minutes
    bool AutoUpdate = true;
    std::string UpdateURL;
    std::string MailFont = "Arial";
    int32_t MailFontSize = 12;

    // The window whose placement is restored and saved; the controller
    // answers its main window. Without a window the placement last read (or
    // the main window's design size) is kept and written back unchanged.
    std::function<IovnPlacementWindow*()> OnGetWindow;

    // The placement as last read, restored or saved.
    const TovnWindowBounds& PlacementBounds() const { return m_bounds; }
    int32_t PlacementState() const { return m_windowState; }

  private:
    IovnPlacementWindow* Window() const;
    void LoadPlacement(TCustomIniFile& Ini);

    // Mutable: saving takes the window's current placement as the one held.
    mutable TovnWindowBounds m_bounds{0, 0, 1094, 660};
    mutable int32_t m_windowState = ovnWindowNormal;
};

// A cache folder is absolute when it begins with "/"; any other name lies
// inside the program's folder.
bool CacheDirIsAbsolute(const std::string& CacheDir);

class TovnSysPreferences : public TPersistent
{
  public:
    TovnSysPreferences();
    std::string ClassName() const override { return "TovnSysPreferences"; }

    // CacheDir "cache", DownloadWhen downloadNewer.
    void ResetToDefault();
    // "CacheDir" (missing: unchanged); "DownloadWhen" matched by its text
    // without case, anything else giving downloadNewer.
    void LoadFromIni(TCustomIniFile& Ini);
    void SaveToIni(TCustomIniFile& Ini) const;
    // Into another TovnSysPreferences; any other target raises EConvertError.
    void AssignTo(TPersistent& Dest) const override;

    std::string CacheDir = "cache";
    TDownloadWhen DownloadWhen = downloadNewer;
};
