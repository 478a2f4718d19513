// The printing web view and the screen-peep dialog.

#include "Components/Controller/web/ScreenPeep.h"
#include "Components/Controller/web/ovnWebBrowser.h"
#include "platform/FileUtils.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(PrintingWebBrowser, NavigateHTMLWritesIntoTheBlankPageKeptAtCreation)
{
    TovnWebBrowser browser;
    EXPECT_EQ(browser.LocationURL(), "about:blank");
    ASSERT_TRUE(browser.HasDocument());
    browser.HTML().Add("<html><body><h1>Menu</h1><p>Soup of the day</p></body></html>");
    browser.NavigateHTML();
    EXPECT_NE(browser.PlainText().find("Soup of the day"), std::string::npos);
    // Again: the new text goes into the same document.
    TStringList second;
    second.Add("<p>Pudding</p>");
    browser.SetHTML(second);
    EXPECT_EQ(browser.HTML().Text(), "<p>Pudding</p>\r\n") << "assigning copies the lines";
    browser.NavigateHTML();
    EXPECT_EQ(browser.LocationURL(), "about:blank");
    EXPECT_NE(browser.PlainText().find("Pudding"), std::string::npos);
}

TEST(PrintingWebBrowser, PrintsIntoAPdfAndLeavesTheClipboardAlone)
{
    TTempFolder folder;
    TovnWebBrowser browser;
    browser.HTML().Add("<html><body><p>Medication round at 8:00</p></body></html>");
    browser.NavigateHTML();
    QApplication::clipboard()->setText(QStringLiteral("the user's own text"));
    for (bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "PrintText" : "Print");
        const std::string file = folder / (plain ? "text.pdf" : "page.pdf");
        browser.Printer().setOutputFormat(QPrinter::PdfFormat);
        browser.Printer().setOutputFileName(QString::fromStdString(file));
        if (plain)
            browser.PrintText();
        else
            browser.Print(false);
        ASSERT_TRUE(FileExists(file));
        EXPECT_EQ(ReadText(file).rfind("%PDF", 0), 0u);
    }
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "the user's own text");
    EXPECT_EQ(ErrorOf([&] { browser.PrintWithMSWord(); }), "MS Word must be installed to use this feature");
}

TEST(ScreenPeep, CountsDownAndSaysNoByItself)
{
    TfrmScreenPeep peep;
    EXPECT_EQ(peep.windowTitle().toStdString(), "Screen Peep");
    EXPECT_TRUE(peep.Timer().Enabled()) << "the timer runs from creation";
    EXPECT_EQ(peep.Timer().Interval(), 1000u);
    EXPECT_EQ(peep.lblCountdown()->text().toStdString(), "Autoclose in 15 seconds");
    peep.lblUser()->setText("JSMITH");
    peep.Timer().SetEnabled(false); // the test drives the ticks
    std::vector<std::string> shown;
    auto found = WhenModal<TfrmScreenPeep>([&](TfrmScreenPeep& dialog) {
        shown.push_back(dialog.lblCountdown()->text().toStdString());
        while (dialog.isVisible() && shown.size() < 20) {
            dialog.Tick();
            shown.push_back(dialog.lblCountdown()->text().toStdString());
        }
    });
    EXPECT_EQ(peep.ShowModal(), mrCancel);
    EXPECT_TRUE(*found);
    EXPECT_EQ(peep.Tag, 0);
    ASSERT_EQ(shown.size(), 16u);
    EXPECT_EQ(shown.front(), "Autoclose in 15 seconds");
    EXPECT_EQ(shown.back(), "Autoclose in 0 seconds");
    EXPECT_EQ(peep.Ticks(), 16);
}

TEST(ScreenPeep, YesIsTag100AndEnterSaysNo)
{
    {
        TfrmScreenPeep peep;
        peep.Timer().SetEnabled(false);
        WhenModal<TfrmScreenPeep>([](TfrmScreenPeep& dialog) { dialog.btnYes()->click(); });
        peep.ShowModal();
        EXPECT_EQ(peep.Tag, 100);
    }
    TfrmScreenPeep peep;
    peep.Timer().SetEnabled(false);
    WhenModal<TfrmScreenPeep>([](TfrmScreenPeep& dialog) {
        EXPECT_EQ(dialog.focusWidget(), dialog.btnNo());
        Keys::Enter(*dialog.focusWidget());
    });
    EXPECT_EQ(peep.ShowModal(), mrCancel);
    EXPECT_EQ(peep.Tag, 0);
}
