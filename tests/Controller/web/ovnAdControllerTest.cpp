// The ad panels on the light view against the local application server's
// advertising pages, with the controller's timer driven by hand: the cycle,
// the panel's geometry, the log lines, the validity rule, clicks and the
// request as the server logged it.

#include "Components/Controller/web/WebAds.h"
#include "Components/Controller/web/ovnAdController.h"
#include "Controller/LogLines.h"
#include "platform/Controls.h"
#include "support/AppServerProcess.h"
#include "support/EventLoopWait.h"
#include "support/GuiProbe.h"
#include "support/TempFolder.h"

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

std::string QueryText(const std::string& dbFile, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(dbFile.c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
        {
            const auto* text = sqlite3_column_text(st, 0);
            out += std::string(text ? reinterpret_cast<const char*>(text) : "") + "\n";
        }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

std::string ActivePage(const char* name)
{
    return std::string("UPDATE SRV_AD_PAGES SET ACTIVE = CASE NAME WHEN '") + name + "' THEN 'T' ELSE 'F' END;";
}

class AdPanelTest : public ::testing::Test
{
  protected:
    void Start(const char* page, TAlign align)
    {
        m_server = std::make_unique<TAppServerProcess>(std::vector<std::string>{}, ActivePage(page));
        m_form.resize(800, 600);
        m_panel = new TCustomControl(&m_form);
        m_panel->SetAlign(align);
        m_panel->SetVisible(false);
        m_form.show();
        DefaultAdControllerClass = &TovnMyWebBrowserAdControllerClass;
        m_ad = CreateAdController(m_panel);
        m_ad->OnGetAdUrl = [this](TovnCustomAdController*, bool IsHorz, std::string& Url) {
            Url = "http://127.0.0.1:" + std::to_string(m_server->Port()) + "/services/get_ad.php?x=" +
                  AdServiceKey + "&z=" + HTTPEncode("97201") + "&s=" + HTTPEncode("OR") +
                  "&v=" + HTTPEncode("E1/U1") + "&i=" + HTTPEncode("Home Care") + "&p=" + (IsHorz ? "H" : "V");
        };
        m_ad->OnGetDefaultAdHtml = [this](TovnCustomAdController*, bool, std::string& Html) {
            Html = m_defaultHtml;
        };
        m_ad->OnAdClick = [this](TovnCustomAdController*, const std::string& Url) { m_clicks.push_back(Url); };
    }
    // The timer's next tick, run now; it must be armed with `interval`. Only
    // the long waits (2 s, 20 s) are driven so; the 1 ms check and the 10 ms
    // step to the default ad run by themselves.
    void Tick(uint32_t interval)
    {
        ASSERT_TRUE(m_ad->Timer().Enabled());
        ASSERT_EQ(m_ad->Timer().Interval(), interval);
        m_ad->Timer().OnTimer(&m_ad->Timer());
    }
    bool Until(const std::function<bool()>& done) { return RunEventsUntil(done); }
    bool Shown() { return Until([&] { return m_panel->Visible(); }); }
    bool Invalid() { return Until([&] { return m_ad->DefaultPending(); }); }
    TMyWebBrowser& Browser() { return *static_cast<TovnMyWebBrowserAdController&>(*m_ad).Browser(); }

    TLogLines m_log;
    std::unique_ptr<TAppServerProcess> m_server;
    QWidget m_form;
    TCustomControl* m_panel = nullptr;
    std::unique_ptr<TovnCustomAdController> m_ad;
    std::string m_defaultHtml = "<center><a href=\"https://www.tallowin.example/\" target=\"_blank\">"
                                "<img alt=\"www.tallowin.example\" border=\"0\"></a></center>";
    std::vector<std::string> m_clicks;
};

TEST_F(AdPanelTest, AValidAdShowsTheRightPanelUntilStop)
{
    Start("VALID", alRight);
    EXPECT_FALSE(m_ad->Active());
    m_ad->Start();
    EXPECT_TRUE(m_ad->Active());
    EXPECT_FALSE(m_ad->IsHorz());
    Tick(2000);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(m_panel->Width(), 162);
    EXPECT_FALSE(m_ad->Timer().Enabled()); // the ad stays
    EXPECT_NE(Browser().PlainText().find("Rostering made easy"), std::string::npos);

    // The request as the server saw it: digits encoded, "/" not.
    const std::string port = std::to_string(m_server->Port());
    EXPECT_EQ(QueryText(m_server->DatabaseFile(), "SELECT TARGET FROM SRV_AD_REQUESTS"),
              "/services/get_ad.php?x=Kw3hv9Rm2pxT0qaZe&z=%39%37%32%30%31&s=OR&v=E%31/U%31&i=Home+Care&p=V\n");
    EXPECT_TRUE(m_log.Has("DEBUG|Ad navigating to: http://127.0.0.1:" + port +
                          "/services/get_ad.php?x=Kw3hv9Rm2pxT0qaZe&z=%39%37%32%30%31&s=OR&v=E%31/U%31"
                          "&i=Home+Care&p=V|"));

    // A click reports the link and the panel stays where it is.
    Browser().ClickLink(QUrl("https://www.tallowin.example/offers/rostering"));
    EXPECT_EQ(m_clicks, std::vector<std::string>{"https://www.tallowin.example/offers/rostering"});
    EXPECT_EQ(Browser().LocationURL().rfind("http://127.0.0.1:", 0), 0u);

    m_ad->Stop();
    EXPECT_FALSE(m_ad->Active());
    EXPECT_FALSE(m_panel->Visible());
    EXPECT_FALSE(m_ad->Timer().Enabled());
    EXPECT_EQ(Browser().LocationURL(), "about:blank");
}

TEST_F(AdPanelTest, APageWithoutTheKeyShowsTheDefaultAdThenAsksAgain)
{
    Start("NO_KEY", alTop);
    EXPECT_TRUE(m_ad->IsHorz());
    m_ad->Start();
    Tick(2000);
    ASSERT_TRUE(Invalid());
    EXPECT_FALSE(m_panel->Visible());
    EXPECT_TRUE(m_log.Has("DEBUG|WebAd is invalid. Will show default ad.|"));
    ASSERT_TRUE(Shown()); // 10 ms later about:blank, then the default ad
    EXPECT_TRUE(m_log.Has("DEBUG|Ad navigating to: |"));
    EXPECT_TRUE(m_log.Has("DEBUG|Showing default ad|"));
    EXPECT_FALSE(m_ad->DefaultPending());
    EXPECT_TRUE(m_panel->Visible());
    EXPECT_EQ(m_panel->Height(), 90);
    EXPECT_EQ(Browser().Source(), m_defaultHtml);

    // The default ad's link is an ad click too, and opens nothing.
    Browser().ClickLink(QUrl("https://www.tallowin.example/"));
    EXPECT_EQ(m_clicks, std::vector<std::string>{"https://www.tallowin.example/"});

    // 20 s later the service is asked again.
    Tick(20000);
    ASSERT_TRUE(Until([&] { return m_ad->VerifyPending() || m_ad->DefaultPending(); }));
    EXPECT_EQ(QueryText(m_server->DatabaseFile(), "SELECT COUNT(*) FROM SRV_AD_REQUESTS"), "2\n")
        << QueryText(m_server->DatabaseFile(), "SELECT REQUEST FROM SRV_AD_REQUESTS");
}

TEST_F(AdPanelTest, TheDefaultAdShowsItsPictureAfterAServedPage)
{
    // The picture is a file of the program's own; the page before it came
    // from the web and may load none.
    TTempFolder dir;
    QImage red(160, 90, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    ASSERT_TRUE(red.save(QString::fromStdString(dir / "tlw-ad.png"), "PNG"));
    m_defaultHtml = DefaultAdPage(dir / "tlw-ad.png");
    ASSERT_FALSE(m_defaultHtml.empty());
    EXPECT_EQ(DefaultAdPage(dir / "missing.png"), "") << "no picture, no page";
    Start("NO_KEY", alRight);
    m_ad->Start();
    Tick(2000);
    ASSERT_TRUE(Invalid());
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Browser().Source(), m_defaultHtml);
    EXPECT_TRUE(Until([&] { return Shows(Browser(), qRgb(255, 0, 0)); })) << "the default ad's picture";
}

TEST_F(AdPanelTest, TheLightViewFindsTheKeyAnywhere)
{
    Start("KEY_OUTSIDE", alRight);
    m_ad->Start();
    Tick(2000);
    ASSERT_TRUE(Shown());
}

TEST_F(AdPanelTest, StoppedWhileShowingTheDefaultAdDoesNothingMore)
{
    Start("NO_KEY", alRight);
    m_ad->OnGetDefaultAdHtml = [this](TovnCustomAdController* Sender, bool, std::string& Html) {
        Sender->Stop(); // as a sign-out would, from inside the cycle
        Html = m_defaultHtml;
    };
    m_ad->Start();
    Tick(2000);
    ASSERT_TRUE(Until([&] { return m_log.Has("DEBUG|Showing default ad|"); }));
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(m_ad->Active());
    EXPECT_FALSE(m_ad->Timer().Enabled());
    EXPECT_FALSE(m_panel->Visible());
}

TEST_F(AdPanelTest, AnUnreachableServiceLeadsToTheDefaultAd)
{
    // Nothing answers on this port: the fetch fails, the page is empty and
    // is no ad.
    Start("VALID", alRight);
    m_ad->OnGetAdUrl = [](TovnCustomAdController*, bool, std::string& Url) {
        Url = "http://127.0.0.1:1/services/get_ad.php";
    };
    m_ad->Start();
    Tick(2000);
    ASSERT_TRUE(Invalid());
    EXPECT_FALSE(m_panel->Visible());
}

} // namespace
