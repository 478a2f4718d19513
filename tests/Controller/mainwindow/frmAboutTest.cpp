// The about box and the web help window (through a controller class of the
// test's own, which records what the window asks of it).

#include "Components/Controller/mainwindow/frmAbout.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/web/frmWebHelp.h"
#include "Components/Controller/web/ovnWebViewController.h"
#include "platform/DateUtils.h"
#include "support/DialogScript.h"
#include "support/EventLoopWait.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct TFakeLog
{
    std::vector<std::string> Calls;
    std::string Source;
    int Made = 0;
};
TFakeLog FakeLog;

class TFakeController : public TovnWebViewController
{
  public:
    explicit TFakeController(QObject* AOwner) : TovnWebViewController(AOwner)
    {
        ++FakeLog.Made;
        SetContainerView(InitialContainer());
    }
    void Navigate(const std::string& Url) override { FakeLog.Calls.push_back("Navigate " + Url); }
    void GoBack() override
    {
        FakeLog.Calls.push_back("GoBack");
        throw Exception("No history");
    }
    std::string GetPageSource() override { return FakeLog.Source; }
};

const TovnWebViewControllerClass FakeControllerClass = {
    "TFakeController", [](QObject* AOwner) -> TovnWebViewController* { return new TFakeController(AOwner); },
    [] { return std::string("fake"); }};

class WebHelpTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_savedClass = DefaultWebViewControllerClass;
        m_savedBrand = AppBrand;
        DefaultWebViewControllerClass = &FakeControllerClass;
        FakeLog = {};
    }
    void TearDown() override
    {
        delete frmWebHelp;
        DefaultWebViewControllerClass = m_savedClass;
        AppBrand = m_savedBrand;
    }
    const TovnWebViewControllerClass* m_savedClass = nullptr;
    int32_t m_savedBrand = 0;
};

} // namespace

TEST(AboutBox, VersionOwnershipAndTheBrandsPicture)
{
    TovnVersionInfo info;
    info.ProductVersion = "4.2";
    info.FileVersion = "4.2.0.117";
    info.FileDate = EncodeDateTime(2026, 3, 7, 14, 5, 9, 0);
    EXPECT_EQ(AboutVersionText(info), "Version 4.2 (Build 4.2.0.117, 03/07/2026 14:05)");
    EXPECT_EQ(AboutOwnershipText(0, info), "Copyright \xc2\xa9 2005-2026 Orvane Software. All rights reserved.");
    EXPECT_EQ(AboutOwnershipText(1, info), "Copyright \xc2\xa9 2005-2026 Tallowin. All rights reserved.");
    struct Case
    {
        int32_t Brand;
        bool Shows0;
        bool Shows1;
    };
    for (const Case& c : {Case{0, true, false}, Case{1, false, true}, Case{2, false, false}}) {
        SCOPED_TRACE(c.Brand);
        TfrmAbout about(c.Brand, info);
        about.show();
        EXPECT_EQ(about.imgBrand(0)->isVisible(), c.Shows0);
        EXPECT_EQ(about.imgBrand(1)->isVisible(), c.Shows1);
        EXPECT_EQ(about.lblVersion()->text().toStdString(), AboutVersionText(info));
        EXPECT_FALSE(about.imgBrand(c.Brand == 0 ? 0 : 1)->pixmap().isNull());
    }
}

TEST_F(WebHelpTest, OneWindowHomeOnEveryShowAndBackErrorsIgnored)
{
    AppBrand = 2;
    ShowWebHelp();
    TfrmWebHelp* first = frmWebHelp;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->windowTitle().toStdString(), " Web Help");
    EXPECT_EQ(first->Home(), "about:blank");
    ShowWebHelp();
    EXPECT_EQ(frmWebHelp, first) << "no second window";
    EXPECT_EQ(FakeLog.Made, 1);
    EXPECT_EQ(FakeLog.Calls, std::vector<std::string>{"Navigate about:blank"}) << "once for the one show";
    first->btnBack()->click();
    first->btnHome()->click();
    EXPECT_EQ(FakeLog.Calls, (std::vector<std::string>{"Navigate about:blank", "GoBack", "Navigate about:blank"}));

    // The double click shows the start of the source, escapes undone.
    TDialogScript dialogs;
    FakeLog.Source = "\"\\u00e9" + std::string(250, 'x') + "\"";
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(first->pnlTop(), &click);
    ASSERT_EQ(dialogs->Texts().size(), 1u);
    EXPECT_EQ(dialogs->Texts()[0], "\xc3\xa9" + std::string(199, 'x'));
    // A view that gives the page's text itself: shown as it is.
    FakeLog.Source = "<html>" + std::string(300, 'y');
    QApplication::sendEvent(first->pnlTop(), &click);
    ASSERT_EQ(dialogs->Texts().size(), 2u);
    EXPECT_EQ(dialogs->Texts()[1], "<html>" + std::string(194, 'y'));

    // Closing frees the window; the next one is new and goes home again.
    QPointer<TfrmWebHelp> closed = first;
    first->btnClose()->click();
    EXPECT_EQ(frmWebHelp, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "freed";
    FakeLog.Calls.clear();
    ShowWebHelp("http://127.0.0.1:1/help/");
    EXPECT_EQ(FakeLog.Made, 2);
    EXPECT_EQ(FakeLog.Calls, std::vector<std::string>{"Navigate http://127.0.0.1:1/help/"});
}

TEST_F(WebHelpTest, CaptionsAndHomesByBrand)
{
    EXPECT_EQ(WebHelpCaption(0), "Orvane Web Help");
    EXPECT_EQ(WebHelpCaption(1), "Tallowin Web Help");
    EXPECT_EQ(WebHelpHome(0), "https://www.orvane.example/help/");
    EXPECT_EQ(WebHelpHome(1), "https://www.tallowin.example/help/");
    AppBrand = 1;
    ShowWebHelp();
    EXPECT_EQ(frmWebHelp->windowTitle().toStdString(), "Tallowin Web Help");
    EXPECT_EQ(FakeLog.Calls, std::vector<std::string>{"Navigate https://www.tallowin.example/help/"});
}
