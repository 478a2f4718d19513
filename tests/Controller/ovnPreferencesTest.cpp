#include "Components/Controller/ovnPreferences.h"

#include "Components/Controller/ovnController.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"
#include "platform/IniFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A main window that only records what the preferences do to it.
class FakeWindow : public IovnPlacementWindow
{
  public:
    TovnWindowBounds GetPlacementBounds() const override { return bounds; }
    void SetPlacementBounds(const TovnWindowBounds& b) override
    {
        bounds = b;
        calls.push_back(Format("bounds %d,%d %dx%d", b.Left, b.Top, b.Width, b.Height));
    }
    int32_t GetPlacementState() const override { return state; }
    void SetPlacementState(int32_t s) override
    {
        state = s;
        calls.push_back(Format("state %d", s));
    }
    int32_t DesktopWidth() const override { return desktopWidth; }
    int32_t DesktopHeight() const override { return desktopHeight; }

    TovnWindowBounds bounds{100, 80, 900, 600};
    int32_t state = ovnWindowNormal;
    int32_t desktopWidth = 1920;
    int32_t desktopHeight = 1080;
    std::vector<std::string> calls;
};

class PreferencesFileTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        m_savedUpdateURL = DefaultUpdateURL;
        DefaultUpdateURL = "http://updates.example";
    }
    void TearDown() override { DefaultUpdateURL = m_savedUpdateURL; }

    std::string IniName() const { return m_dir / "Tallowin.ini"; }
    void Write(const std::string& text) const { WriteText(IniName(), text); }
    std::string Read() const { return ReadText(IniName()); }

    TTempFolder m_dir;
    std::string m_savedUpdateURL;
};

// Every user preference set away from its default.
void SetAllAwayFromDefaults(TovnPreferences& p)
{
    p.AutoLogin = false;
    p.RememberID = false;
    p.UserID = "ANNA";
    p.MRUCount = 3;
    p.RememberPlacement = false;
    p.AutoDBLogin = false;
    p.MailPopup = true;
    p.MailFooter = "\"Kind regards\", the desk";
    p.ChatDisable = true;
    p.ShowGlyphs = false;
    p.ShowShelf = false;
    p.ArrowCheck = false;
    p.AutoSelect = false;
    p.ShowModuleGroups = true;
    p.MailCheck = false;
    p.MailCheckEvery = 25;
    p.AutoUpdate = false;
    p.UpdateURL = "http://mirror.example";
    p.MailFont = "DejaVu Sans";
    p.MailFontSize = 9;
}

void ExpectSameSettings(const TovnPreferences& a, const TovnPreferences& b, bool withUpdate)
{
    EXPECT_EQ(a.AutoLogin, b.AutoLogin);
    EXPECT_EQ(a.RememberID, b.RememberID);
    EXPECT_EQ(a.UserID, b.UserID);
    EXPECT_EQ(a.MRUCount, b.MRUCount);
    EXPECT_EQ(a.RememberPlacement, b.RememberPlacement);
    EXPECT_EQ(a.AutoDBLogin, b.AutoDBLogin);
    EXPECT_EQ(a.MailPopup, b.MailPopup);
    EXPECT_EQ(a.MailFooter, b.MailFooter);
    EXPECT_EQ(a.ChatDisable, b.ChatDisable);
    EXPECT_EQ(a.ShowGlyphs, b.ShowGlyphs);
    EXPECT_EQ(a.ShowShelf, b.ShowShelf);
    EXPECT_EQ(a.ArrowCheck, b.ArrowCheck);
    EXPECT_EQ(a.AutoSelect, b.AutoSelect);
    EXPECT_EQ(a.ShowModuleGroups, b.ShowModuleGroups);
    EXPECT_EQ(a.MailCheck, b.MailCheck);
    EXPECT_EQ(a.MailCheckEvery, b.MailCheckEvery);
    EXPECT_EQ(a.MailFont, b.MailFont);
    EXPECT_EQ(a.MailFontSize, b.MailFontSize);
    if (withUpdate) {
        EXPECT_EQ(a.AutoUpdate, b.AutoUpdate);
        EXPECT_EQ(a.UpdateURL, b.UpdateURL);
    }
}

} // namespace

TEST(Preferences, DefaultsAndReset)
{
    TovnPreferences defaults;
    TovnPreferences p;
    EXPECT_TRUE(p.AutoLogin);
    EXPECT_TRUE(p.RememberID);
    EXPECT_EQ(p.UserID, "");
    EXPECT_EQ(p.MRUCount, 8);
    EXPECT_TRUE(p.RememberPlacement);
    EXPECT_TRUE(p.AutoDBLogin);
    EXPECT_FALSE(p.MailPopup);
    EXPECT_EQ(p.MailFooter, "");
    EXPECT_FALSE(p.ChatDisable);
    EXPECT_TRUE(p.ShowGlyphs);
    EXPECT_TRUE(p.ShowShelf);
    EXPECT_TRUE(p.ArrowCheck);
    EXPECT_TRUE(p.AutoSelect);
    EXPECT_FALSE(p.ShowModuleGroups);
    EXPECT_TRUE(p.MailCheck);
    EXPECT_EQ(p.MailCheckEvery, 10);
    EXPECT_TRUE(p.AutoUpdate);
    EXPECT_EQ(p.UpdateURL, "");
    EXPECT_EQ(p.MailFont, "Arial");
    EXPECT_EQ(p.MailFontSize, 12);

    SetAllAwayFromDefaults(p);
    p.ResetToDefault();
    EXPECT_EQ(p.UserID, "ANNA") << "the user ID is not a default";
    EXPECT_EQ(p.UpdateURL, "http://mirror.example") << "neither is the update address";
    p.UserID.clear();
    p.UpdateURL.clear();
    ExpectSameSettings(p, defaults, true);
}

TEST_F(PreferencesFileTest, AFreshFileGetsEveryKeyInItsOrder)
{
    FakeWindow window;
    TovnPreferences p;
    p.OnGetWindow = [&]() -> IovnPlacementWindow* { return &window; };
    TIniFile ini(IniName());
    p.LoadFromIni(ini);
    EXPECT_TRUE(p.ShowGlyphs) << "a missing key keeps the default";
    EXPECT_EQ(p.UpdateURL, "http://updates.example") << "a missing update address is the brand's";
    // Saved from where the window is now.
    window.bounds = {12, 34, 1000, 700};
    window.state = ovnWindowMaximized;
    p.SaveToIni(ini);
    EXPECT_EQ(Read(), "[USER PREFERENCES]\n"
                      "MRUCount=8\n"
                      "BrowserLeft=12\n"
                      "BrowserTop=34\n"
                      "BrowserWidth=1000\n"
                      "BrowserHeight=700\n"
                      "BrowserWindowState=2\n"
                      "AutoLogin=TRUE\n"
                      "AutoDBLogin=TRUE\n"
                      "RememberID=TRUE\n"
                      "UserID=\n"
                      "RememberPlacement=TRUE\n"
                      "MailPopup=FALSE\n"
                      "MailCheck=TRUE\n"
                      "MailCheckEvery=10\n"
                      "MailFooter=\n"
                      "MailFont=Arial\n"
                      "MailFontSize=12\n"
                      "ChatDisable=FALSE\n"
                      "ShowGlyphs=TRUE\n"
                      "ShowShelf=TRUE\n"
                      "ArrowCheck=TRUE\n"
                      "AutoSelect=TRUE\n"
                      "ShowModuleGroups=FALSE\n"
                      "[UPDATE]\n"
                      "AutoUpdate=TRUE\n"
                      "UpdateURL=http://updates.example\n");
}

TEST_F(PreferencesFileTest, EverySettingSurvivesTheFile)
{
    TovnPreferences written;
    SetAllAwayFromDefaults(written);
    {
        TIniFile ini(IniName());
        written.SaveToIni(ini);
    }
    TIniFile ini(IniName());
    TovnPreferences read;
    read.LoadFromIni(ini);
    ExpectSameSettings(read, written, true);
}

TEST_F(PreferencesFileTest, BooleansIntegersAndMissingKeys)
{
    Write("[USER PREFERENCES]\n"
          "AutoLogin= true \n"
          "RememberID=1\n"
          "MailPopup=yes\n"
          "ShowShelf=False\n"
          "MRUCount=many\n"
          "MailCheckEvery= 15 \n"
          "MailFontSize=$0E\n"
          "[UPDATE]\n"
          "UpdateURL=\n");
    TovnPreferences p;
    p.ShowModuleGroups = true; // missing: keeps what it holds
    p.ChatDisable = true;
    p.MRUCount = 5;
    p.UserID = "OLD";          // missing: becomes ''
    p.MailFooter = "old footer";
    TIniFile ini(IniName());
    p.LoadFromIni(ini);

    struct Case
    {
        const char* desc;
        bool actual;
        bool expected;
    };
    const Case flags[] = {
        {"true in lower case with blanks", p.AutoLogin, true},
        {"1 is not TRUE", p.RememberID, false},
        {"yes is not TRUE", p.MailPopup, false},
        {"False", p.ShowShelf, false},
        {"missing keeps True", p.ShowModuleGroups, true},
        {"missing keeps a changed value", p.ChatDisable, true},
    };
    for (const auto& c : flags) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(c.actual, c.expected);
    }
    EXPECT_EQ(p.MRUCount, 5) << "not a number: the current value";
    EXPECT_EQ(p.MailCheckEvery, 15);
    EXPECT_EQ(p.MailFontSize, 14);
    EXPECT_EQ(p.UserID, "");
    EXPECT_EQ(p.MailFooter, "");
    EXPECT_EQ(p.UpdateURL, "") << "an empty stored address stays empty";
}

TEST_F(PreferencesFileTest, PlacementIsReadOnlyWhenRemembered)
{
    Write("[USER PREFERENCES]\n"
          "RememberPlacement=FALSE\n"
          "BrowserLeft=5\nBrowserTop=6\nBrowserWidth=700\nBrowserHeight=500\nBrowserWindowState=2\n");
    FakeWindow window;
    TovnPreferences p;
    p.OnGetWindow = [&]() -> IovnPlacementWindow* { return &window; };
    TIniFile ini(IniName());
    p.LoadFromIni(ini);
    EXPECT_TRUE(window.calls.empty());

    window.bounds = {40, 50, 800, 640};
    p.SaveToIni(ini);
    EXPECT_EQ(ini.ReadInteger("USER PREFERENCES", "BrowserLeft", -1), 40) << "always written";
    EXPECT_EQ(ini.ReadInteger("USER PREFERENCES", "BrowserWidth", -1), 800);
    EXPECT_EQ(ini.ReadInteger("USER PREFERENCES", "BrowserWindowState", -1), 0);
}

TEST_F(PreferencesFileTest, AMaximisedWindowGetsItsNormalBoundsFirst)
{
    Write("[USER PREFERENCES]\n"
          "BrowserLeft=30\nBrowserTop=40\nBrowserWidth=1200\nBrowserHeight=800\nBrowserWindowState=2\n");
    FakeWindow window;
    TovnPreferences p;
    p.OnGetWindow = [&]() -> IovnPlacementWindow* { return &window; };
    TIniFile ini(IniName());
    p.LoadFromIni(ini);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"state 0", "bounds 30,40 1200x800", "state 2"}));

    struct Case
    {
        const char* desc;
        const char* keys;
        TovnWindowBounds startBounds;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"normal state", "BrowserLeft=1\nBrowserTop=2\nBrowserWidth=300\nBrowserHeight=200\nBrowserWindowState=0\n",
         {100, 80, 900, 600}, {"bounds 1,2 300x200", "state 0"}},
        {"minimised", "BrowserWindowState=1\n", {100, 80, 900, 600}, {"bounds 100,80 900x600", "state 1"}},
        {"no keys: the current bounds", "", {100, 80, 900, 600}, {"bounds 100,80 900x600", "state 0"}},
        {"an unknown state is the normal one", "BrowserWindowState=7\n", {100, 80, 900, 600},
         {"bounds 100,80 900x600", "state 0"}},
        {"beyond the desktop: brought back", "BrowserLeft=2500\nBrowserTop=1070\n", {100, 80, 900, 600},
         {"bounds 1020,480 900x600", "state 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        Write(std::string("[USER PREFERENCES]\n") + c.keys);
        FakeWindow w;
        w.bounds = c.startBounds;
        TovnPreferences q;
        q.OnGetWindow = [&]() -> IovnPlacementWindow* { return &w; };
        TIniFile file(IniName());
        q.LoadFromIni(file);
        EXPECT_EQ(w.calls, c.calls);
    }
}

TEST_F(PreferencesFileTest, WithoutAWindowThePlacementReadIsWrittenBack)
{
    Write("[USER PREFERENCES]\n"
          "BrowserLeft=-3000\nBrowserTop=7\nBrowserWidth=640\nBrowserHeight=480\nBrowserWindowState=1\n");
    TIniFile ini(IniName());
    TovnPreferences p;
    p.LoadFromIni(ini);
    EXPECT_EQ(p.PlacementBounds(), (TovnWindowBounds{-3000, 7, 640, 480})) << "no desktop to clamp to";
    EXPECT_EQ(p.PlacementState(), ovnWindowMinimized);
    p.SaveToIni(ini);
    EXPECT_EQ(ini.ReadInteger("USER PREFERENCES", "BrowserLeft", 0), -3000);
    EXPECT_EQ(ini.ReadInteger("USER PREFERENCES", "BrowserWindowState", 0), 1);
}

TEST(Preferences, PlacementClamp)
{
    struct Case
    {
        const char* desc;
        TovnWindowBounds stored;
        TovnWindowBounds expected;
    };
    // A 1920 x 1080 desktop.
    const Case cases[] = {
        {"on the desktop: unchanged", {100, 100, 800, 600}, {100, 100, 800, 600}},
        {"left at width - 50: unchanged", {1870, 100, 800, 600}, {1870, 100, 800, 600}},
        {"left past width - 50: right edge on the desktop's", {1871, 100, 800, 600}, {1120, 100, 800, 600}},
        {"on a second monitor now gone", {2500, 300, 1000, 700}, {920, 300, 1000, 700}},
        {"top at height - 20: unchanged", {100, 1060, 800, 600}, {100, 1060, 800, 600}},
        {"top past height - 20: bottom on the desktop's", {100, 1061, 800, 600}, {100, 480, 800, 600}},
        {"wider than the desktop and moved: cut to it", {2000, 0, 2500, 600}, {0, 0, 1920, 600}},
        {"taller than the desktop and moved: cut to it", {0, 1500, 800, 1300}, {0, 0, 800, 1080}},
        {"negative left: 0, right edge kept", {-100, 50, 800, 600}, {0, 50, 700, 600}},
        {"negative top: 0, bottom edge kept", {50, -30, 800, 600}, {50, 0, 800, 570}},
        {"both beyond", {3000, 2000, 640, 480}, {1280, 600, 640, 480}},
        {"wholly left of the desktop: moved to 0", {-1920, 100, 1000, 600}, {0, 100, 1000, 600}},
        {"wholly above and larger: moved and cut", {100, -2000, 800, 1500}, {100, 0, 800, 1080}},
        {"right edge exactly at 0", {-800, 100, 800, 600}, {0, 100, 800, 600}},
        // A damaged file: moving a window of negative size back would pass
        // the 32-bit range.
        {"beyond with the most negative sizes", {3000, 5000, INT32_MIN, INT32_MIN},
         {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}},
        {"the extremes of the range", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, 1920, 1080}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(ClampWindowBounds(1920, 1080, c.stored), c.expected);
    }
}

TEST(Preferences, AssignLeavesTheUpdateSettings)
{
    TovnPreferences source;
    SetAllAwayFromDefaults(source);
    TovnPreferences dest;
    dest.UpdateURL = "http://kept.example";
    dest.Assign(source);
    ExpectSameSettings(dest, source, false);
    EXPECT_TRUE(dest.AutoUpdate);
    EXPECT_EQ(dest.UpdateURL, "http://kept.example");

    TovnSysPreferences other;
    EXPECT_EQ(ErrorOf<EConvertError>([&] { other.Assign(source); }),
              "Cannot assign a TovnPreferences to a TovnSysPreferences");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { dest.Assign(other); }),
              "Cannot assign a TovnSysPreferences to a TovnPreferences");
}

TEST_F(PreferencesFileTest, SysPreferencesLocalCache)
{
    TovnSysPreferences defaults;
    EXPECT_EQ(defaults.CacheDir, "cache");
    EXPECT_EQ(defaults.DownloadWhen, downloadNewer);

    struct Case
    {
        const char* desc;
        const char* file;
        const char* cacheDir;
        TDownloadWhen when;
    };
    const Case cases[] = {
        {"always", "CacheDir=/var/cache/tallowin\nDownloadWhen=always\n", "/var/cache/tallowin", downloadAlways},
        {"never in capitals", "DownloadWhen=NEVER\n", "current", downloadNever},
        {"blanks around", "DownloadWhen= Always \n", "current", downloadAlways},
        {"unknown text", "DownloadWhen=sometimes\n", "current", downloadNewer},
        {"empty", "DownloadWhen=\n", "current", downloadNewer},
        {"missing", "CacheDir= spaced \n", " spaced ", downloadNewer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        Write(std::string("[LOCAL CACHE]\n") + c.file);
        TIniFile ini(IniName());
        TovnSysPreferences p;
        p.CacheDir = "current";
        p.DownloadWhen = downloadNever;
        p.LoadFromIni(ini);
        EXPECT_EQ(p.CacheDir, c.cacheDir);
        EXPECT_EQ(p.DownloadWhen, c.when);
    }

    Write("");
    TovnSysPreferences p;
    p.CacheDir = "/srv/cache";
    p.DownloadWhen = downloadAlways;
    {
        TIniFile ini(IniName());
        p.SaveToIni(ini);
    }
    EXPECT_EQ(Read(), "[LOCAL CACHE]\nCacheDir=/srv/cache\nDownloadWhen=always\n");

    TovnSysPreferences copy;
    copy.Assign(p);
    EXPECT_EQ(copy.CacheDir, "/srv/cache");
    EXPECT_EQ(copy.DownloadWhen, downloadAlways);
}

TEST(Preferences, CacheDirIsAbsoluteOnlyFromTheRoot)
{
    struct Case
    {
        const char* dir;
        bool absolute;
    };
    const Case cases[] = {
        {"cache", false}, {"/var/cache/tallowin", true}, {"  /tmp/c ", true},
        {"C:\\cache", false}, {"./cache", false}, {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dir);
        EXPECT_EQ(CacheDirIsAbsolute(c.dir), c.absolute);
    }
}
