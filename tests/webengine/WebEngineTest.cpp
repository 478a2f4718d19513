// The Qt WebEngine back-end through its plugin: activation through the
// event loop, scripts, the page bridge, attributes and the two rules of
// script literals and of each script waiting for its own result; the ad
// panel's validity rule against the local application server. Skipped, with
// the reason, only when the plugin cannot load.

#include "Components/Controller/web/WebView.h"
#include "Components/Controller/web/ovnBrowserSelector.h"
#include "Components/Controller/web/ovnEdgeAdController.h"
#include "Components/Controller/web/ovnEdgeController.h"
#include "support/AppServerProcess.h"
#include "support/BoundaryErrors.h"
#include "support/BuiltFile.h"
#include "support/EventLoopWait.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

namespace {

std::string ErrorText(const std::function<void()>& fn)
{
    try
    {
        fn();
    }
    catch (const Exception& e)
    {
        return e.ClassName() + ": " + e.Message();
    }
    return "no error";
}

class WebEngineTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        WebView::LibraryName = BuiltFile(KLD_WEBVIEW_PLUGIN);
        try
        {
            WebView::LoadLibrary();
        }
        catch (const Exception& e)
        {
            GTEST_SKIP() << "the web view plugin cannot load: " << e.Message();
        }
        m_form.resize(400, 300);
        m_form.show();
    }
    // An Edge controller on the form with a page loaded.
    std::unique_ptr<TovnEdgeController> Page(const std::string& html)
    {
        auto c = std::make_unique<TovnEdgeController>(&m_form);
        bool done = false;
        c->OnNavigationComplete = [&](TovnWebViewController*, bool) { done = true; };
        c->Navigate("about:blank");
        EXPECT_TRUE(RunEventsUntil([&] { return done; }, std::chrono::seconds(60)));
        done = false;
        c->ShowHtml(html);
        EXPECT_TRUE(RunEventsUntil([&] { return done; }, std::chrono::seconds(30)));
        c->OnNavigationComplete = nullptr;
        return c;
    }
    QWidget m_form;
};

TEST_F(WebEngineTest, ChoiceVersionAndActivation)
{
    const std::string version = WebView::GetBrowserVersion("");
    int comparison = 0;
    ASSERT_EQ(WebView::CompareBrowserVersions(version.c_str(), "86.0.622.11", &comparison), S_OK) << version;
    EXPECT_EQ(comparison, 1);
    EXPECT_EQ(WebView::GetBrowserVersion("/opt/elsewhere"), ""); // no runtime in a folder of its own
    EXPECT_EQ(TovnEdgeController::GetBrowserVersion(), "MS Edge " + version);
    InitBrowser(false);
    EXPECT_EQ(DefaultWebViewControllerClass, &TovnEdgeControllerClass);
    InitBrowser(true);

    TovnEdgeController c(&m_form);
    // Before activation: the inactive errors.
    EXPECT_EQ(ErrorText([&] { c.ShowHtml("<p>x</p>"); }),
              "EWebViewError: Cannot perform this operation on an inactive  component");
    {
        // A script before activation: the error goes to the program's error
        // boundary and the answer is empty.
        TBoundaryErrors errors;
        EXPECT_TRUE(c.InvokeScript("1 + 1", {}).IsEmpty());
        EXPECT_EQ(errors.Reports, std::vector<std::string>{
                                      "TovnEdgeController: Cannot perform this operation on an inactive  component"});
    }
    EXPECT_FALSE(c.View()->CanBack());
    EXPECT_EQ(c.View()->Zoom(), 1.0);
    EXPECT_EQ(c.View()->BrowserVersion(), version);

    // Navigate before activation: the page loads once the view exists.
    int completions = 0;
    c.OnNavigationComplete = [&](TovnWebViewController*, bool ok) { completions += ok; };
    c.Navigate("data:text/html,<title>T</title><p id=p>hello</p>");
    EXPECT_FALSE(c.View()->Active());
    ASSERT_TRUE(RunEventsUntil([&] { return completions > 0; }, std::chrono::seconds(60)));
    EXPECT_TRUE(c.View()->Active());
    EXPECT_EQ(ErrorText([&] { c.View()->SetDataFolder("/tmp/x"); }),
              "EWebViewError: Cannot perform this operation on an active  component");
    EXPECT_FALSE(c.GetContextMenuEnabled());
    EXPECT_EQ(c.InvokeScript("document.getElementById('p').textContent", {}).AsString(), "hello");
    EXPECT_NE(c.GetPageSource().find("<p id=\"p\">hello</p>"), std::string::npos) << c.GetPageSource();
    EXPECT_EQ(ErrorText([&] { c.View()->CallDevTools("Page.reload", "{}"); }),
              "EWebViewError: The developer tools protocol is not available in this web view");
}

TEST_F(WebEngineTest, PagesPostToBoundNames)
{
    auto c = Page("<p id=p>x</p>");
    std::vector<std::string> got;
    c->Bind("Save", [&](const std::vector<Variant>& p) {
        got.push_back(p.size() == 1 ? p[0].AsString() : "?");
        return Variant("dropped");
    });
    c->InvokeScript("window.chrome.webview.postMessage({name: 'Save'}); window.chrome.webview.postMessage('SAVE'); 1",
                    {});
    ASSERT_TRUE(RunEventsUntil([&] { return !got.empty(); }));
    RunEventsFor(std::chrono::milliseconds(100));
    // The object reaches nothing; the string reaches Save as its JSON text.
    EXPECT_EQ(got, std::vector<std::string>{"\"SAVE\""});
}

TEST_F(WebEngineTest, AttributesAreWrittenAsLiterals)
{
    auto c = Page("<div id='a\"b' title='t'></div><p id=p></p>");
    // A quote in the id and the value, a backslash and a line break arrive
    // as they are; nothing of them runs as script.
    EXPECT_EQ(c->GetAttrValue("a\"b", "title"), "t");
    c->SetAttrValue("p", "title", Variant("it's \\ \"x\"\nend');window.hacked=1;('"));
    EXPECT_EQ(c->InvokeScript("String(document.getElementById('p').title === "
                              "\"it's \\\\ \\\"x\\\"\\nend');window.hacked=1;('\")", {}).AsString(),
              "true");
    EXPECT_EQ(c->InvokeScript("String(window.hacked)", {}).AsString(), "undefined");
    c->SetAttrValue("p", "hidden", Variant(true));
    EXPECT_EQ(c->InvokeScript("String(document.getElementById('p').hidden)", {}).AsString(), "true");
    c->SetAttrValue("p", "title", Variant("abc"));
    EXPECT_EQ(c->GetAttrValue("p", "title"), "abc");
    EXPECT_EQ(TovnEdgeController::ValueText(Variant("abc")), "'abc'");
    EXPECT_EQ(TovnEdgeController::ValueText(Variant::Null()), "null");
    EXPECT_EQ(TovnEdgeController::ValueText(Variant(false)), "false");
    EXPECT_EQ(TovnEdgeController::ValueText(Variant(2.5)), "2.5");
}

TEST_F(WebEngineTest, EachScriptWaitsForItsOwnResult)
{
    auto c = Page("<p>x</p>");
    c->SetScriptTimeout(300);
    // The first outlasts its wait; its late result must not become the second's.
    EXPECT_EQ(c->InvokeScript("var t = Date.now(); while (Date.now() - t < 900); 'first'", {}).AsString(), "");
    // The others wait as long as a busy machine may need: the first's late
    // result arrives meanwhile and must be passed over.
    c->SetScriptTimeout(60000);
    EXPECT_EQ(c->InvokeScript("'second'", {}).AsString(), "second");
    // Results that are no strings, huge or cyclic come back without harm.
    EXPECT_EQ(c->InvokeScript("6 * 7", {}).AsString(), "42");
    EXPECT_EQ(c->InvokeScript("'x'.repeat(1000000)", {}).AsString().size(), 1000000u);
    c->InvokeScript("var o = {}; o.o = o; o", {});
}

TEST_F(WebEngineTest, AdValidityNeedsTheKeyInTheAdElement)
{
    for (const char* page : {"VALID", "KEY_OUTSIDE"})
    {
        TAppServerProcess server({}, std::string("UPDATE SRV_AD_PAGES SET ACTIVE = CASE NAME WHEN '") + page +
                                         "' THEN 'T' ELSE 'F' END;");
        auto* panel = new TCustomControl(&m_form);
        panel->SetAlign(alRight);
        TovnEdgeAdController ad(panel);
        ad.View()->OnException = [](TObject*, const Exception& e) { ADD_FAILURE() << e.Message(); };
        ad.OnGetAdUrl = [&](TovnCustomAdController*, bool, std::string& Url) {
            Url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/services/get_ad.php?x=" + AdServiceKey;
        };
        ad.Start();
        ad.Timer().OnTimer(&ad.Timer()); // the 2 s tick; the 1 ms check runs by itself
        const bool valid = std::string(page) == "VALID";
        ASSERT_TRUE(RunEventsUntil([&] { return panel->Visible() || ad.DefaultPending(); },
                                   std::chrono::seconds(30)))
            << page;
        EXPECT_EQ(panel->Visible(), valid) << page;
        EXPECT_EQ(ad.DefaultPending(), !valid) << page;
        ad.Stop();
        EXPECT_FALSE(ad.View()->Active());
        EXPECT_EQ(ad.View()->Uri(), "about:blank");
        delete panel;
    }
}

// The JSON text of a script's result in the view; "" when none came within
// the time.
std::string ScriptResult(TWebView& View, const std::string& Script,
                         std::chrono::milliseconds Timeout = std::chrono::seconds(30))
{
    auto result = std::make_shared<std::optional<std::string>>();
    View.ExecuteScript(Script, [result](TWebView*, const std::string& Json) { *result = Json; });
    RunEventsUntil([&] { return result->has_value(); }, Timeout);
    return result->value_or("");
}

TEST_F(WebEngineTest, ARefusedAdGivesTheDefaultAdWithItsPicture)
{
    TAppServerProcess server({}, "UPDATE SRV_AD_PAGES SET ACTIVE = CASE NAME WHEN 'NO_KEY' THEN 'T' ELSE 'F' END;");
    TTempFolder dir;
    QImage picture(162, 40, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    ASSERT_TRUE(picture.save(QString::fromStdString(dir / "tlw-ad.png"), "PNG"));
    auto* panel = new TCustomControl(&m_form);
    panel->SetAlign(alRight);
    TovnEdgeAdController ad(panel);
    ad.View()->OnException = [](TObject*, const Exception& e) { ADD_FAILURE() << e.Message(); };
    ad.OnGetAdUrl = [&](TovnCustomAdController*, bool, std::string& Url) {
        Url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/services/get_ad.php?x=" + AdServiceKey;
    };
    // As the main window makes it: the picture is a file of the cache.
    ad.OnGetDefaultAdHtml = [&](TovnCustomAdController*, bool, std::string& Html) {
        Html = DefaultAdPage(dir / "tlw-ad.png");
    };
    ad.Start();
    ad.Timer().OnTimer(&ad.Timer()); // the 2 s tick; the 1 ms check and the 10 ms step run by themselves
    ASSERT_TRUE(RunEventsUntil([&] { return ad.DefaultPending(); }, std::chrono::seconds(30)))
        << "the served page has no key";
    ASSERT_TRUE(RunEventsUntil([&] { return panel->Visible() && !ad.DefaultPending(); }, std::chrono::seconds(30)))
        << "the default ad";
    EXPECT_EQ(panel->Width(), 162);
    EXPECT_EQ(ad.Timer().Interval(), 20000u);
    // The page has its picture: loaded, as wide as the file.
    std::string width;
    EXPECT_TRUE(RunEventsUntil(
        [&] {
            width = ScriptResult(*ad.View(), "(function() { var i = document.images[0]; "
                                             "return i && i.complete ? i.naturalWidth : -1; })()");
            return width == "162";
        },
        std::chrono::seconds(30)))
        << "the picture's width: " << width;
    EXPECT_EQ(ScriptResult(*ad.View(), "document.images[0].alt"), "\"www.tallowin.example\"");
    // The default page is shown for its 20 s, not checked as an ad.
    EXPECT_FALSE(ad.VerifyPending());
    EXPECT_FALSE(ad.DefaultPending());
    EXPECT_EQ(ad.Timer().Interval(), 20000u);
    ad.Stop();
}

// A user's click at the middle of the page shown by the view.
void ClickMiddle(TWebView& view)
{
    QWidget* page = view.findChildren<QWidget*>().isEmpty() ? nullptr : view.findChildren<QWidget*>().first();
    ASSERT_NE(page, nullptr);
    // Input reaches the page through its render widget, made once it paints.
    ASSERT_TRUE(RunEventsUntil([&] { return page->focusProxy() != nullptr; }, std::chrono::seconds(30)));
    QWidget* target = page->focusProxy();
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
    {
        QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
}

// Shows Html in the view and waits until it has loaded and is laid out: the
// element at the middle of the view has the tag Tag.
bool ShowLaidOut(TWebView& view, const std::string& Html, const std::string& Tag)
{
    view.ShowHtml(Html);
    return RunEventsUntil(
        [&] {
            return ScriptResult(view, "(function() { if (document.readyState !== 'complete') return ''; "
                                      "var e = document.elementFromPoint(innerWidth / 2, innerHeight / 2); "
                                      "return e ? e.tagName : ''; })()",
                                std::chrono::seconds(5)) == "\"" + Tag + "\"";
        },
        std::chrono::seconds(60));
}

TEST_F(WebEngineTest, AClickInAnAdIsHandedOnAndOpensNothing)
{
    auto* panel = new TCustomControl(&m_form);
    panel->SetAlign(alClient);
    m_form.resize(400, 300);
    panel->SetBounds(0, 0, 400, 300);
    TovnEdgeAdController ad(panel);
    std::vector<std::string> clicks;
    ad.OnAdClick = [&](TovnCustomAdController*, const std::string& Url) { clicks.push_back(Url); };
    // Not started: the pages shown here are checked once and left alone.
    ad.ShowAd("");
    ASSERT_TRUE(RunEventsUntil([&] { return ad.View()->Active(); }, std::chrono::seconds(60)));
    const std::string link = "<a href='%s' %s style='display:block;width:100%%;height:300px'>ad</a>";
    // The default ad's link asks for a new window; a plain link navigates.
    for (const char* target : {"", "target='_blank'"})
    {
        SCOPED_TRACE(target);
        clicks.clear();
        ASSERT_TRUE(ShowLaidOut(*ad.View(),
                                "<body style='margin:0'>" +
                                    Format(link, std::string("https://www.tallowin.example/"), std::string(target)) +
                                    "</body>",
                                "A"));
        // The offscreen view may drop the first input a page gets: a click
        // that brings nothing is given again, until the deadline.
        int sent = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (clicks.empty() && std::chrono::steady_clock::now() < deadline)
        {
            ClickMiddle(*ad.View());
            ++sent;
            RunEventsUntil([&] { return !clicks.empty(); }, std::chrono::seconds(2));
        }
        ASSERT_FALSE(clicks.empty()) << sent << " clicks brought nothing";
        EXPECT_LE(clicks.size(), size_t(sent)) << "one at most per click";
        for (const std::string& clicked : clicks)
            EXPECT_EQ(clicked, "https://www.tallowin.example/");
        // The panel stayed: the page still answers from its blank address.
        EXPECT_EQ(ScriptResult(*ad.View(), "location.href"), "\"about:blank\"");
        EXPECT_NE(ad.View()->Uri().rfind("https://www.tallowin.example", 0), 0u);
    }
    ad.Stop();
}

TEST_F(WebEngineTest, StoppingAPanelNeverActivatedIsQuiet)
{
    auto* panel = new TCustomControl(&m_form);
    panel->SetAlign(alTop);
    TovnEdgeAdController ad(panel);
    ad.Start();
    ad.Stop();
    EXPECT_FALSE(ad.Timer().Enabled());
    EXPECT_FALSE(panel->Visible());
    EXPECT_FALSE(ad.View()->Active());
}

} // namespace
