// The unread-mail badge, its animator (driven step by step instead of by
// its timer) and the toolbar item helpers.
#include "Components/Controller/applets/ovnBrowserUtils.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// A badge whose parts are told apart by colour.
class BadgeFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_saved = MailBadgeImage();
        QImage badge(24, 16, QImage::Format_ARGB32);
        for (int x = 0; x < 24; ++x)
            for (int y = 0; y < 16; ++y)
                badge.setPixelColor(x, y, x < 8 ? Qt::red : x < 16 ? Qt::green : Qt::blue);
        MailBadgeImage() = badge;
    }
    void TearDown() override { MailBadgeImage() = m_saved; }
    QImage Draw(const std::string& Text, int X, int Y)
    {
        QImage image(80, 30, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TCanvas canvas(&painter);
        DoDrawBadge(canvas, Rect(0, 0, 1, 1), TPoint{X, Y}, Text);
        painter.end();
        return image;
    }
    QImage m_saved;
};

class TTestItem : public TAnimatedItem
{
  public:
    void Invalidate() override { ++Repaints; }
    int Repaints = 0;
};

} // namespace

TEST(BadgeWidth, IsTheTextWidthLessTwoBetweenEightAndTwentyTwo)
{
    const std::pair<int, int> cases[] = {{0, 8}, {6, 8}, {10, 8}, {11, 9}, {20, 18}, {24, 22}, {25, 22}, {300, 22}};
    for (const auto& [text, width] : cases)
        EXPECT_EQ(BadgeWidth(text), width) << text;
}

TEST_F(BadgeFixture, OneDigitHasNoMiddleAndLongTextsStopAtTwentyTwo)
{
    const QImage one = Draw("5", 10, 4);
    EXPECT_EQ(one.pixelColor(10, 4), QColor(Qt::red));
    EXPECT_EQ(one.pixelColor(17, 4), QColor(Qt::red));
    EXPECT_EQ(one.pixelColor(18, 4), QColor(Qt::blue)) << "the right cap 8 pixels on";
    EXPECT_EQ(one.pixelColor(25, 4), QColor(Qt::blue));
    EXPECT_EQ(one.pixelColor(26, 4), QColor(Qt::white));
    for (int x = 0; x < one.width(); ++x)
        for (int y = 0; y < one.height(); ++y)
            ASSERT_NE(one.pixelColor(x, y), QColor(Qt::green)) << x << "," << y;

    const QImage wide = Draw("12345678901", 10, 4);
    EXPECT_EQ(wide.pixelColor(32, 4), QColor(Qt::blue)) << "the right cap at most 22 pixels on";
    EXPECT_EQ(wide.pixelColor(39, 4), QColor(Qt::blue));
    EXPECT_EQ(wide.pixelColor(40, 4), QColor(Qt::white));
    EXPECT_EQ(wide.pixelColor(19, 5), QColor(Qt::green)) << "the middle, stretched between the caps";
    EXPECT_EQ(wide.pixelColor(19, 4), QColor(Qt::white)) << "the middle starts one row down";
}

TEST_F(BadgeFixture, TheAnimatorWalksItsTimeLineAndRaisesTheBadgeOnSteps0And3)
{
    TAnimator animator;
    TTestItem item;
    animator.SetAnimate(true);
    EXPECT_FALSE(animator.GetAnimate()) << "no item";
    animator.SetItem(&item);
    animator.SetAnimate(true);
    EXPECT_FALSE(animator.GetAnimate()) << "an empty time line does nothing";
    ASSERT_TRUE(item.OnDrawImage);

    animator.SetTimeLine({60, 120, 60, 120, 60, 10000});
    animator.SetText("3");
    animator.SetAnimate(true);
    EXPECT_TRUE(animator.GetAnimate());
    EXPECT_EQ(animator.Step(), 0);
    EXPECT_EQ(animator.Timer().Interval(), 60u);
    const int intervals[] = {120, 60, 120, 60, 10000, 60};
    const int repaints[] = {0, 1, 2, 3, 4, 5}; // leaving step 0 repaints nothing
    for (int i = 0; i < 6; ++i) {
        animator.DoAnimate();
        EXPECT_EQ(animator.Step(), (i + 1) % 6);
        EXPECT_EQ(animator.Timer().Interval(), static_cast<uint32_t>(intervals[i]));
        EXPECT_EQ(item.Repaints, repaints[i]) << i;
    }

    // Step 0 draws the badge raised, step 1 two pixels lower.
    auto drawn = [&] {
        QImage image(40, 24, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TCanvas canvas(&painter);
        item.OnDrawImage(canvas, Rect(0, 0, 24, 24));
        painter.end();
        return image;
    };
    EXPECT_EQ(drawn().pixelColor(0, 0), QColor(Qt::red));
    animator.DoAnimate();
    EXPECT_EQ(animator.Step(), 1);
    EXPECT_EQ(drawn().pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(drawn().pixelColor(0, 2), QColor(Qt::red));

    const int before = item.Repaints;
    animator.SetAnimate(false);
    EXPECT_FALSE(animator.GetAnimate());
    EXPECT_EQ(animator.Step(), -1);
    EXPECT_EQ(item.Repaints, before + 1);
    EXPECT_EQ(drawn().pixelColor(0, 0), QColor(Qt::white)) << "nothing drawn while still";

    animator.SetAnimate(true);
    animator.SetItem(nullptr);
    EXPECT_FALSE(animator.GetAnimate());
    EXPECT_FALSE(item.OnDrawImage) << "the old item is let go";
}

TEST(ToolbarItems, FollowTheirActionAndCarryTagAndHandler)
{
    QMenu menu;
    QAction action("&Lock");
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
    QAction* item = TBXAddAction(&menu, &action, nullptr, -1, 7);
    EXPECT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(item->text(), "&Lock");
    EXPECT_EQ(item->data().toLongLong(), 7);
    action.setEnabled(false);
    EXPECT_FALSE(item->isEnabled());
    action.setEnabled(true);
    item->trigger();
    EXPECT_EQ(triggered, 1);

    QAction* clicked = nullptr;
    QAction* sub = TBXAddSubItem(&menu, "Residents", nullptr, -1, 12, [&](QAction* a) { clicked = a; });
    EXPECT_EQ(sub->toolTip(), "Residents");
    sub->trigger();
    EXPECT_EQ(clicked, sub);
    EXPECT_EQ(menu.actions().size(), 2);

    QImage png;
    EXPECT_THROW(DoLoadPngRes(png, "NO_SUCH_PICTURE"), Exception);
}
