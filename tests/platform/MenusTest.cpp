#include "platform/Menus.h"

#include "support/GuiProbe.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Something an entry may stand for.
struct TThing : TGuarded
{
    std::string Name;
};

TEST(Menus, EntriesFormATree)
{
    TPopupMenu menu;
    TMenuItem* a = menu.Items().Add();
    a->SetCaption("A");
    TMenuItem* b = menu.Items().Add();
    TMenuItem* b1 = b->Add();
    EXPECT_EQ(menu.Items().Count(), 2);
    EXPECT_EQ(b1->Parent(), b);
    EXPECT_EQ(menu.Items().IndexOf(b), 1);
    EXPECT_EQ(menu.Items().Items(2), nullptr);
    TGuardedPtr<TMenuItem> held(b1);
    menu.Items().Delete(1);
    EXPECT_EQ(held.Get(), nullptr);
    menu.Items().Clear();
    EXPECT_EQ(menu.Items().Count(), 0);
}

TEST(Menus, OwnerDrawnEntriesAreMeasuredAndDrawnByTheirHandlers)
{
    TPopupMenu menu;
    TMenuItem* entry = menu.Items().Add();
    entry->SetCaption("Entry");
    entry->OnMeasureItem = [](TObject*, TCanvas&, int& w, int& h) {
        w = 100;
        h = 40;
    };
    std::vector<bool> drawn;
    entry->OnDrawItem = [&](TObject* sender, TCanvas& canvas, const TRect& r, bool selected) {
        EXPECT_EQ(sender, entry);
        drawn.push_back(selected);
        canvas.Brush().Color = selected ? clRed : clBlue;
        canvas.FillRect(r);
    };
    // Not owner-drawn: the handlers wait.
    const TSize plain = menu.MeasureItem(*entry);
    EXPECT_NE(plain, (TSize{100, 40}));
    menu.SetOwnerDraw(true);
    EXPECT_EQ(menu.MeasureItem(*entry), (TSize{100, 40}));

    TImageCanvas img(100, 40);
    menu.DrawItem(*entry, img.Canvas(), Rect(0, 0, 100, 40), true);
    EXPECT_EQ(img.Pixel(50, 20), clRed);
    EXPECT_EQ(drawn, std::vector<bool>{true});
}

TEST(Menus, DefaultEntriesHaveACaptionAndSeparatorsAreLines)
{
    TPopupMenu menu;
    TMenuItem* entry = menu.Items().Add();
    entry->SetCaption("A rather long caption");
    TMenuItem* line = menu.Items().Add();
    line->SetCaption("-");
    const TSize e = menu.MeasureItem(*entry);
    const TSize l = menu.MeasureItem(*line);
    EXPECT_GT(e.cx, menu.Font().Size() * 10);
    EXPECT_GE(e.cy, 19);
    EXPECT_LT(l.cy, e.cy);

    TImageCanvas img(e.cx, e.cy);
    menu.DrawItem(*entry, img.Canvas(), Rect(0, 0, e.cx, e.cy), true);
    EXPECT_EQ(img.Pixel(1, 1), ColorToRGB(clHighlight));
}

TEST(Menus, PopupShowsTheEntriesAtTheirMeasuredSize)
{
    TPopupMenu menu;
    menu.SetOwnerDraw(true);
    auto measure = [](TObject*, TCanvas&, int& w, int& h) {
        w = 120;
        h = 30;
    };
    for (const char* caption : {"One", "Two", "Hidden", "Sub"}) {
        TMenuItem* item = menu.Items().Add();
        item->SetCaption(caption);
        item->OnMeasureItem = measure;
        item->SetVisible(std::string(caption) != "Hidden");
    }
    TMenuItem* child = menu.Items().Items(3)->Add();
    child->SetCaption("Child");
    child->OnMeasureItem = measure;

    menu.Popup(40, 50);
    EXPECT_EQ(menu.PopupPoint(), Point(40, 50));
    ASSERT_NE(menu.Menu(), nullptr);
    EXPECT_TRUE(menu.Showing());
    const QList<QAction*> actions = menu.Menu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[2]->text(), "Sub");
    ASSERT_NE(actions[2]->menu(), nullptr);
    EXPECT_EQ(actions[2]->menu()->actions().size(), 1);
    for (QAction* a : actions)
        EXPECT_EQ(menu.Menu()->actionGeometry(a).size(), QSize(120, 30));
    menu.CloseMenu();
    EXPECT_FALSE(menu.Showing());
}

TEST(Menus, ARightAlignedMenuEndsAtThePoint)
{
    TPopupMenu menu;
    menu.SetOwnerDraw(true);
    TMenuItem* item = menu.Items().Add();
    item->SetCaption("Entry");
    item->OnMeasureItem = [](TObject*, TCanvas&, int& w, int& h) {
        w = 120;
        h = 30;
    };
    menu.Popup(40, 50);
    ASSERT_NE(menu.Menu(), nullptr);
    EXPECT_EQ(menu.Menu()->geometry().left(), 40);
    menu.SetAlignment(paRight);
    menu.Popup(400, 50);
    ASSERT_NE(menu.Menu(), nullptr);
    const QRect at = menu.Menu()->geometry();
    EXPECT_EQ(at.left() + at.width(), 400);
    EXPECT_EQ(at.top(), 50);
    menu.CloseMenu();
}

TEST(Menus, AClickReachesAnEntryOnlyWhileItAndItsItemExist)
{
    TPopupMenu menu;
    auto thing = std::make_unique<TThing>();
    TMenuItem* entry = menu.Items().Add();
    entry->SetCaption("Open");
    entry->SetItemRef(TGuardedRef::Make(thing.get()));
    std::vector<std::string> chosen;
    entry->OnClick = [&](TObject* sender) {
        auto* item = static_cast<TMenuItem*>(sender);
        if (TThing* t = item->ItemRef().Get<TThing>())
            chosen.push_back(t->Name.empty() ? "thing" : t->Name);
        else
            chosen.push_back("gone");
    };
    menu.Popup(0, 0);
    QAction* action = menu.Menu()->actions().at(0);
    action->trigger();
    thing.reset();
    action->trigger();
    EXPECT_EQ(chosen, (std::vector<std::string>{"thing", "gone"}));

    // The entry itself deleted while the menu shows: the click does nothing.
    menu.Items().Clear();
    action->trigger();
    EXPECT_EQ(chosen.size(), 2u);

    // A disabled entry does not click.
    TMenuItem* off = menu.Items().Add();
    off->SetEnabled(false);
    bool clicked = false;
    off->OnClick = [&](TObject*) { clicked = true; };
    off->Click();
    EXPECT_FALSE(clicked);
}

TEST(Menus, TheOwnerMayGoInsideAClick)
{
    auto menu = std::make_unique<TPopupMenu>();
    TMenuItem* entry = menu->Items().Add();
    entry->SetCaption("Close");
    entry->OnClick = [&](TObject*) { menu.reset(); };
    menu->Popup(0, 0);
    QAction* action = menu->Menu()->actions().at(0);
    action->trigger();
    EXPECT_EQ(menu, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
