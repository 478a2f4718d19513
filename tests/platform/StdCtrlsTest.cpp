// The labels and tooltips of the platform show texts as plain text: markup,
// links and pictures of local files in a name from the server stay
// characters on the screen.
#include "platform/StdCtrls.h"

#include "support/GuiProbe.h"
#include "support/TempFolder.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

// A 200 x 200 red picture in Folder; its file: address.
std::string RedPicture(const TTempFolder& Folder)
{
    QImage red(200, 200, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    const std::string file = Folder / "red.png";
    red.save(QString::fromStdString(file), "PNG");
    return "file://" + file;
}

struct THostileText
{
    const char* Desc;
    std::string Text;
};

std::vector<THostileText> HostileTexts(const std::string& Picture)
{
    return {
        {"bold", "<b>x</b>"},
        {"a link", "<a href=\"https://evil.example/\">plan.pdf</a>"},
        {"a local picture", "<img src=\"" + Picture + "\">"},
        {"a whole page", "<html><body><h1>Big</h1><img src=\"" + Picture + "\"></body></html>"},
    };
}

} // namespace

TEST(PlainTexts, LabelsShowMarkupAsCharacters)
{
    TTempFolder folder;
    const std::string picture = RedPicture(folder);
    for (const THostileText& c : HostileTexts(picture)) {
        SCOPED_TRACE(c.Desc);
        const QString text = QString::fromStdString(c.Text);
        TPlainLabel made(text);
        TPlainLabel set;
        set.setText(text);
        TLabel label;
        label.SetCaption(c.Text);
        for (QLabel* l : {static_cast<QLabel*>(&made), static_cast<QLabel*>(&set), static_cast<QLabel*>(&label)}) {
            EXPECT_EQ(l->textFormat(), Qt::PlainText);
            EXPECT_EQ(l->text(), text);
            // One line of text: no heading, no 200-pixel picture.
            EXPECT_LT(l->sizeHint().height(), 40);
            l->resize(l->sizeHint());
            EXPECT_FALSE(Shows(*l, qRgb(255, 0, 0)));
        }
    }
}

TEST(PlainTexts, TooltipsShowTheTextAsItIs)
{
    TTempFolder folder;
    const std::string picture = RedPicture(folder);
    std::vector<THostileText> cases = HostileTexts(picture);
    cases.push_back({"signs and breaks", "a < b & c > d\nsecond  line"});
    cases.push_back({"markup on two lines", "<b>x</b>\ny"});
    cases.push_back({"a plain name", "Jane Smith"});
    for (const THostileText& c : cases) {
        SCOPED_TRACE(c.Desc);
        const QString tip = PlainToolTip(c.Text);
        EXPECT_EQ(ToolTipShows(tip), c.Text);
        EXPECT_EQ(tip.contains("<img"), false);
        EXPECT_EQ(tip.contains("<a "), false);
    }
    EXPECT_EQ(PlainToolTip(std::string("Jane Smith")), "Jane Smith") << "plain texts stay as they are";
    EXPECT_EQ(PlainToolTip(std::string("a\r\nb\rc")), "a\nb\nc") << "one line break per line end";
}
