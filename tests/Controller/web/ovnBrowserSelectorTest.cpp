// The choice of the web back-end over the loader library: the tests' own
// loader answers the version from the environment; a variant lacks an entry
// point. The real plugin's answers are in the `webengine` tests.

#include "Components/Controller/web/WebView.h"
#include "Components/Controller/web/ovnAdController.h"
#include "Components/Controller/web/ovnBrowserSelector.h"
#include "Components/Controller/web/ovnEdgeController.h"
#include "Components/Controller/web/ovnMyWebBrowserController.h"
#include "Controller/LogLines.h"
#include "support/BuiltFile.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class BrowserSelectorTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        WebView::UnloadLibrary();
        m_name = WebView::LibraryName;
        m_masks = WebView::FloatingPointMasks();
    }
    void TearDown() override
    {
        WebView::UnloadLibrary();
        WebView::LibraryName = m_name;
        unsetenv("KLD_FAKE_WEBVIEW_VERSION");
        InitBrowser(true);
        WebView::SetFloatingPointMasks(m_masks);
    }
    std::string m_name;
    unsigned m_masks = 0;
};

TEST_F(BrowserSelectorTest, VersionsAndTheSwitch)
{
    WebView::LibraryName = BuiltFile(KLD_FAKE_WEBVIEW);
    const struct
    {
        const char* version; // null: the library answers a failure
        bool forceIE;
        bool edge;
    } cases[] = {
        {"102.0.5005.177", true, false}, {"86.0.622.10", false, false}, {"86.0.622.11", false, true},
        {"102.0.5005.177", false, true}, {"86.0.622", false, false},    {"86.0.623", false, true},
        {"86.0.x.11", false, false},     {"", false, false},             {nullptr, false, false},
    };
    for (const auto& c : cases)
    {
        if (c.version)
            setenv("KLD_FAKE_WEBVIEW_VERSION", c.version, 1);
        else
            unsetenv("KLD_FAKE_WEBVIEW_VERSION");
        DefaultAdControllerClass = nullptr;
        InitBrowser(c.forceIE);
        const std::string what = std::string(c.version ? c.version : "(none)") + (c.forceIE ? " FORCE_IE" : "");
        EXPECT_EQ(DefaultWebViewControllerClass, c.edge ? &TovnEdgeControllerClass : &TovnMyWebBrowserControllerClass)
            << what;
        ASSERT_NE(DefaultAdControllerClass, nullptr) << what;
        EXPECT_EQ(std::string(DefaultAdControllerClass->ClassName),
                  c.edge ? "TovnEdgeAdController" : "TovnMyWebBrowserAdController")
            << what;
    }
    // The loader's version and a folder that holds no runtime.
    setenv("KLD_FAKE_WEBVIEW_VERSION", "102.0.5005.177", 1);
    EXPECT_EQ(WebView::GetBrowserVersion(""), "102.0.5005.177");
    EXPECT_EQ(WebView::GetBrowserVersion("/opt/runtime"), "");
    EXPECT_EQ(TovnEdgeController::GetBrowserVersion(), "MS Edge 102.0.5005.177");
    EXPECT_EQ(DefaultWebViewControllerClass->GetBrowserVersion(), "Internet Explorer "); // the last case forced
}

TEST_F(BrowserSelectorTest, MissingLibraryIsLoggedAndKeepsTheLightView)
{
    TLogLines log;
    WebView::LibraryName = "/nonexistent/libWebView2Loader.so";
    InitBrowser(false);
    EXPECT_EQ(DefaultWebViewControllerClass, &TovnMyWebBrowserControllerClass);
    EXPECT_EQ(DefaultAdControllerClass, &TovnMyWebBrowserAdControllerClass);
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("ERROR|/nonexistent/libWebView2Loader.so: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("No such file"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].rfind('|')), "|TovnEdgeAdController.BrowserAvailable");
    EXPECT_FALSE(WebView::Loaded());
}

TEST_F(BrowserSelectorTest, MissingEntryPointUnloadsAndGivesTheMasksBack)
{
    TLogLines log;
    setenv("KLD_FAKE_WEBVIEW_VERSION", "102.0.5005.177", 1);
    // Unmask the denormal operand (bit 1, rare) to see the masks come back.
    WebView::SetFloatingPointMasks(0x3F & ~0x02u);
    WebView::LibraryName = BuiltFile(KLD_FAKE_WEBVIEW_PARTIAL);
    InitBrowser(false);
    EXPECT_EQ(DefaultWebViewControllerClass, &TovnMyWebBrowserControllerClass);
    EXPECT_FALSE(WebView::Loaded());
    EXPECT_EQ(WebView::FloatingPointMasks(), 0x3Fu & ~0x02u);
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("ERROR|CompareBrowserVersions: ", 0), 0u) << lines[0];

    // A whole library: loaded once, all six masked while it stays.
    WebView::LibraryName = BuiltFile(KLD_FAKE_WEBVIEW);
    WebView::LoadLibrary();
    EXPECT_TRUE(WebView::Loaded());
    EXPECT_EQ(WebView::FloatingPointMasks(), 0x3Fu);
    WebView::LoadLibrary(); // nothing: already loaded
    WebView::UnloadLibrary();
    EXPECT_EQ(WebView::FloatingPointMasks(), 0x3Fu & ~0x02u);
}

TEST_F(BrowserSelectorTest, AnAdPanelBeforeTheChoiceIsAProgrammingError)
{
    DefaultAdControllerClass = nullptr;
    EXPECT_THROW(CreateAdController(nullptr), EAssertionFailed);
}

} // namespace
