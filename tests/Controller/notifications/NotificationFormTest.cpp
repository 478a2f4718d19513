// The notification center's widgets offscreen: auto-update, refresh with
// its re-entry guard, the item event (execute then dismiss, the close glyph,
// a failed dismissal), showing the center and the toast.
#include "Components/Controller/notifications/NotificationForm.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

struct Db : TNotifyDatabase
{
    std::vector<TNotifyRow> Open(const std::string& SQL, const std::vector<Variant>&) override
    {
        if (SQL.rfind("SELECT N.*", 0) == 0)
            return rows;
        return {};
    }
    void Execute(const std::string& SQL) override
    {
        if (fail)
            throw std::runtime_error("lost connection");
        executed.push_back(SQL);
    }
    std::vector<int32_t> UserFacilities() override { return {}; }
    std::string UserID() const override { return "MANAGER"; }
    std::vector<TNotifyRow> rows;
    std::vector<std::string> executed;
    bool fail = false;
};

TNotifyRow Row(int counter, const char* deactivate = "T")
{
    return {{"COUNTER", Variant(counter)},
            {"NOTIFICATION_TEXT", Variant("text " + std::to_string(counter))},
            {"RESOURCE_NAME", Variant("APP.A")},
            {"DEACTIVATE_ON_CLICK", Variant(deactivate)}};
}

} // namespace

TEST(NotificationForm, AutoUpdateAndRefresh)
{
    Db db;
    TNotifyCenter c(&db);
    c.Targets().Add("Alpha", 0, "APP.A");
    c.SetAutoUpdate(999);
    EXPECT_EQ(c.AutoUpdate(), 0);
    c.SetAutoUpdate(1000);
    EXPECT_EQ(c.AutoUpdate(), 1000);

    int changed = 0;
    c.OnNotifyChanged = [&] { ++changed; };
    bool inner = true;
    c.OnNotifyUpdate = [&](TNotifications*) {
        inner = c.UpdateNotifications(); // a refresh while one runs is ignored
        return true;
    };
    db.rows = {Row(1), Row(2)};
    EXPECT_TRUE(c.UpdateNotifications());
    EXPECT_FALSE(inner);
    EXPECT_EQ(c.Notifications().Count(), 2);
    EXPECT_GT(changed, 0);
    // Not armed: the first refresh makes everything seen, no toast.
    EXPECT_FALSE(c.Notifications()[0]->New());
    EXPECT_FALSE(c.Popup()->Cycle().Running);

    c.Popup()->Cycle().Armed = true;
    db.rows = {Row(1), Row(2), Row(3)};
    c.UpdateNotifications();
    EXPECT_TRUE(c.Popup()->Cycle().Running);
    c.Popup()->Tick();
    EXPECT_TRUE(c.Popup()->isVisible());
    EXPECT_EQ(c.Popup()->Cycle().Shown.Counter, 3);
    // Opening the center closes the toast and selects its item.
    c.OnNotifyBounds = [] { return QRect(100, 49, 800, 500); };
    c.ShowCenter();
    EXPECT_FALSE(c.Popup()->isVisible());
    EXPECT_EQ(c.Control()->State().Selected, 2);
    EXPECT_EQ(c.geometry(), QRect(600, 49, 300, 500));
}

TEST(NotificationForm, ItemEventExecutesThenDismisses)
{
    Db db;
    TNotifyCenter c(&db);
    c.Targets().Add("Alpha", 0, "APP.A");
    db.rows = {Row(1), Row(2, "F"), Row(3)};
    c.UpdateNotifications();
    std::vector<int> executed;
    c.OnNotifyExecute = [&](TNotifyItem* item, bool&) { executed.push_back(item->Counter); };
    c.Control()->DoItemEvent(0, TNotifyItemElement::elText);
    c.Control()->DoItemEvent(0, TNotifyItemElement::elText); // now item 2, kept active for others
    EXPECT_EQ(executed, (std::vector<int>{1, 2}));
    EXPECT_EQ(db.executed, (std::vector<std::string>{"UPDATE TBL_NOTIFICATION SET ACTIVE = 'F' WHERE COUNTER = 1",
                                                     "INSERT INTO TBL_NOTIFICATION_IGNORE VALUES('MANAGER', 2)"}));
    ASSERT_EQ(c.Notifications().Count(), 1);
    db.fail = true;
    EXPECT_THROW(c.Control()->DoItemEvent(0, TNotifyItemElement::elIgnore), std::runtime_error);
    EXPECT_EQ(c.Notifications().Count(), 1); // a failed dismissal keeps its item
    db.fail = false;
    c.Control()->DoItemEvent(0, TNotifyItemElement::elIgnore);
    EXPECT_EQ(c.Notifications().Count(), 0);
    EXPECT_EQ(db.executed.back(), "INSERT INTO TBL_NOTIFICATION_IGNORE VALUES('MANAGER', 3)");
}

namespace {
bool Orange(QRgb c) { return qRed(c) > 200 && qGreen(c) > 100 && qGreen(c) < 170 && qBlue(c) < 60; }
bool GreyInk(QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) < 0xC0; }
// Whether any pixel of R in the picture passes Test.
template <class F> bool AnyPixel(const QImage& Image, const QRect& R, F Test)
{
    for (int y = R.top(); y <= R.bottom(); ++y)
        for (int x = R.left(); x <= R.right(); ++x)
            if (Test(Image.pixel(x, y)))
                return true;
    return false;
}
} // namespace

// The close glyphs are the program's pictures, grey at rest and orange
// under the mouse, drawn at the item's right - 4, top + 4; an empty list
// says so in grey.
TEST(NotificationForm, CloseGlyphsAndEmptyListPainting)
{
    const std::vector<QImage> glyphs = LoadNotifyGlyphs();
    ASSERT_EQ(glyphs.size(), 2u);
    for (const QImage& g : glyphs) {
        ASSERT_FALSE(g.isNull());
        EXPECT_EQ(g.size(), QSize(12, 12));
    }
    EXPECT_TRUE(GreyInk(glyphs[0].pixel(6, 6)));
    EXPECT_TRUE(Orange(glyphs[1].pixel(6, 6)));

    Db db;
    TNotifyCenter c(&db);
    c.resize(300, 400);
    c.Control()->setGeometry(1, 35, 298, 363);
    QImage empty = c.Control()->grab().toImage();
    const int w = c.Control()->State().ClientWidth;
    const int mid = c.Control()->height() / 2;
    EXPECT_TRUE(AnyPixel(empty, QRect(48, mid - 8, w - 64, 16), GreyInk)) << "No new notifications";

    c.Targets().Add("Alpha", 0, "APP.A");
    db.rows = {Row(1), Row(2)};
    c.UpdateNotifications();
    const TNotifyItem& first = *c.Notifications()[0];
    const TNotifyItem& second = *c.Notifications()[1];
    const QRect glyph1(w - 16 - 4, first.Top + 4, 12, 12);
    const QRect glyph2(w - 16 - 4, second.Top + 4, 12, 12);
    QImage rest = c.Control()->grab().toImage();
    EXPECT_FALSE(AnyPixel(rest, glyph1, Orange));
    EXPECT_TRUE(AnyPixel(rest, glyph1, GreyInk));

    // The mouse over the first item's close glyph: that glyph turns orange.
    QMouseEvent move(QEvent::MouseMove, QPointF(w - 14, first.Top + 10), QPointF(w - 14, first.Top + 10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(c.Control(), &move);
    ASSERT_EQ(c.Control()->State().HotElement, TNotifyItemElement::elIgnore);
    QImage hot = c.Control()->grab().toImage();
    EXPECT_TRUE(AnyPixel(hot, glyph1, Orange));
    EXPECT_FALSE(AnyPixel(hot, glyph2, Orange));
}
