#include "ui/KldTabControl.h"

#include "support/GuiProbe.h"
#include "support/TestFont.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(KldTabControl, BodyRectangles)
{
    const TRect p{4, 26, 196, 96};
    const TPoint size{200, 100};
    EXPECT_EQ(KldTabBodyRect(tpTop, p, size, 2), Rect(0, 26, 200, 100));
    EXPECT_EQ(KldTabBodyRect(tpTop, p, size, 5), Rect(0, 29, 200, 100));
    EXPECT_EQ(KldTabBodyRect(tpBottom, p, size, 5), Rect(0, 0, 200, 91));
    EXPECT_EQ(KldTabBodyRect(tpLeft, p, size, 5), Rect(9, 0, 200, 100));
    EXPECT_EQ(KldTabBodyRect(tpRight, p, size, 5), Rect(0, 0, 191, 100));
}

TEST(KldTabControl, SelectedTabShapes)
{
    struct Case
    {
        const char* Desc;
        TKldTabStyle Style;
        TTabPosition Position;
        std::vector<TPoint> Points;
    };
    // The tab (10, 2) - (60, 24): h = 22.
    const Case cases[] = {
        {"chamfered, top", ctsVS2005, tpTop, {{10, 23}, {10, 4}, {12, 2}, {58, 2}, {60, 4}, {60, 24}}},
        {"chamfered, bottom",
         ctsVS2005,
         tpBottom,
         {{10, 2}, {10, 22}, {12, 24}, {58, 24}, {60, 22}, {60, 2}}},
        {"chamfered, left", ctsVS2005, tpLeft, {{59, 2}, {12, 2}, {10, 4}, {10, 22}, {12, 24}, {60, 24}}},
        {"chamfered, right", ctsVS2005, tpRight, {{10, 2}, {58, 2}, {60, 4}, {60, 22}, {58, 24}, {10, 24}}},
        {"slanted, top", ctsVS2005TopTabs, tpTop, {{9, 23}, {28, 4}, {33, 2}, {58, 2}, {60, 4}, {60, 24}}},
        {"slanted, bottom",
         ctsVS2005TopTabs,
         tpBottom,
         {{10, 2}, {30, 22}, {34, 24}, {58, 24}, {60, 22}, {60, 2}}},
        {"slanted style, left: chamfered",
         ctsVS2005TopTabs,
         tpLeft,
         {{59, 2}, {12, 2}, {10, 4}, {10, 22}, {12, 24}, {60, 24}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(KldTabShape(c.Style, c.Position, {10, 2, 60, 24}), c.Points);
    }
}

TEST(KldTabControl, PaddingRule)
{
    EXPECT_EQ(KldTabPadding(ctsVS2005TopTabs, tpTop, 0, false, false), (TPoint{13, 0}));
    EXPECT_EQ(KldTabPadding(ctsVS2005TopTabs, tpBottom, 0, true, false), (TPoint{8, 0}));
    EXPECT_EQ(KldTabPadding(ctsVS2005TopTabs, tpTop, 0, false, true), (TPoint{21, 0}));
    EXPECT_EQ(KldTabPadding(ctsVS2005TopTabs, tpLeft, 0, false, false), std::nullopt);
    EXPECT_EQ(KldTabPadding(ctsVS2005TopTabs, tpTop, 40, false, false), std::nullopt) << "fixed widths";
    EXPECT_EQ(KldTabPadding(ctsVS2005, tpTop, 0, false, false), std::nullopt);
    EXPECT_EQ(KldTabPadding(ctsDefault, tpTop, 0, false, false), std::nullopt);
}

TEST(KldTabControl, FitRule)
{
    // 8 + (30 + 16) + (50 + 16) = 120.
    EXPECT_EQ(KldFitTabWidth({30, 50}, 120, 16, false), 0);
    EXPECT_EQ(KldFitTabWidth({30, 50}, 119, 16, false), (119 - 4) / 2);
    EXPECT_EQ(KldFitTabWidth({30, 50}, 136, 16, true), 0) << "8 more per tab with close icons";
    EXPECT_EQ(KldFitTabWidth({30, 50}, 135, 16, true), (135 - 4) / 2);
    EXPECT_EQ(KldFitTabWidth({30, 50}, 2, 16, false), 0) << "never below 0";
    EXPECT_EQ(KldFitTabWidth({}, 10, 16, false), std::nullopt) << "no tabs: nothing to fit";
}

// A styled tab control with three long tabs in a shown window.
struct TTabs
{
    explicit TTabs(int width = 150)
    {
        Host.resize(width + 50, 120);
        Tabs = new TKldTabControl(&Host);
        UseTestFont(Tabs->Font());
        Tabs->SetBounds(0, 0, width, 100);
        for (const char* text : {"Residents list", "Admissions", "Discharges"})
            Tabs->Tabs().Add(text);
        Host.show();
        QApplication::processEvents();
    }
    QWidget Host;
    TKldTabControl* Tabs;
};

TEST(KldTabControl, TabsNarrowAfterAResizeAndWidenAgain)
{
    TTabs t(150);
    EXPECT_EQ(t.Tabs->TabWidth(), (150 - 4) / 3) << "fitted after the first layout";
    EXPECT_EQ(t.Tabs->TabRect(1).Width(), 48);

    t.Tabs->SetBounds(0, 0, 600, 100);
    EXPECT_EQ(t.Tabs->TabWidth(), 48) << "the fit is posted, not done at once";
    QApplication::processEvents();
    EXPECT_EQ(t.Tabs->TabWidth(), 0) << "room enough: the tabs' own widths";

    t.Tabs->SetBounds(0, 0, 100, 100);
    QApplication::processEvents();
    EXPECT_EQ(t.Tabs->TabWidth(), 32);

    t.Tabs->SetFitAllTabs(false);
    t.Tabs->SetBounds(0, 0, 600, 100);
    QApplication::processEvents();
    EXPECT_EQ(t.Tabs->TabWidth(), 32) << "fitting off";
}

TEST(KldTabControl, MaximisingTheWindowDoesNotRefit)
{
    TTabs t(150);
    t.Tabs->SetTabWidth(77);
    t.Host.setWindowState(Qt::WindowMaximized);
    t.Tabs->SetBounds(0, 0, 160, 100);
    QApplication::processEvents();
    EXPECT_EQ(t.Tabs->TabWidth(), 77) << "a resize of the maximised kind";
    t.Tabs->SetBounds(0, 0, 170, 100);
    QApplication::processEvents();
    EXPECT_EQ(t.Tabs->TabWidth(), (170 - 4) / 3) << "later resizes inside the maximised window are plain";
}

TEST(KldTabControl, OnlyTabsOnTopOrAtTheBottomFit)
{
    TTabs t(150);
    t.Tabs->SetTabPosition(tpLeft);
    t.Tabs->SetTabWidth(0);
    t.Tabs->CMFFitAllTabs();
    EXPECT_EQ(t.Tabs->TabWidth(), 0);
    t.Tabs->SetTabPosition(tpBottom);
    t.Tabs->CMFFitAllTabs();
    EXPECT_EQ(t.Tabs->TabWidth(), 48);
}

TEST(KldTabControl, FittingWithoutAVisibleTabDoesNothing)
{
    QWidget host;
    auto* pages = new TKldPageControl(&host);
    pages->SetBounds(0, 0, 100, 80);
    auto* only = new TTabSheet(pages);
    only->SetCaption("A very long caption for a narrow control");
    only->SetTabVisible(false);
    pages->SetTabWidth(33);
    ASSERT_EQ(pages->TabCount(), 0);
    pages->DoFitAllPages();
    EXPECT_EQ(pages->TabWidth(), 33);
    host.show();
    QApplication::processEvents();
    EXPECT_EQ(pages->TabWidth(), 33);

    only->SetTabVisible(true);
    pages->DoFitAllPages();
    EXPECT_EQ(pages->TabWidth(), (100 - 4) / 1);
}

TEST(KldTabControl, DisplayRectanglesAndPadding)
{
    TKldTabControl plain;
    TTabControl platform;
    for (TCustomTabControl* c : std::vector<TCustomTabControl*>{&plain, &platform})
        c->SetBounds(0, 0, 200, 100);
    plain.Tabs().Add("A");
    platform.Tabs().Add("A");
    plain.SetBodyOffset(7);
    EXPECT_EQ(plain.DisplayRect(), platform.DisplayRect()) << "ctsDefault ignores BodyOffset";
    EXPECT_EQ(plain.TabPadding(), (TPoint{6, 3}));

    plain.SetTabStyle(ctsVS2005);
    const TRect p = platform.DisplayRect();
    EXPECT_EQ(plain.DisplayRect(), Rect(0, p.Top + 5, 200, 100));
    EXPECT_EQ(plain.BodyRect(), plain.DisplayRect()) << "kept";

    plain.SetTabStyle(ctsVS2005TopTabs);
    EXPECT_EQ(plain.TabPadding(), (TPoint{13, 0}));
    plain.SetShowCloseIcon(true);
    EXPECT_EQ(plain.TabPadding(), (TPoint{21, 0}));
    TImageList images(16, 16);
    plain.SetImages(&images);
    EXPECT_EQ(plain.TabPadding(), (TPoint{16, 0}));
    plain.SetTabPosition(tpLeft);
    plain.RecreateWnd();
    EXPECT_EQ(plain.TabPadding(), (TPoint{6, 3})) << "the window's own padding";

    // Children fill the body.
    auto* child = new TCustomControl(&plain);
    child->SetAlign(alClient);
    EXPECT_EQ(child->BoundsRect(), plain.DisplayRect());
}

TEST(KldTabControl, TheDefaultStylePaintsLikeThePlatform)
{
    QWidget host;
    host.resize(220, 100);
    auto* styled = new TKldTabControl(&host);
    auto* platform = new TTabControl(&host);
    for (TTabControl* c : {static_cast<TTabControl*>(styled), platform}) {
        c->SetBounds(0, 0, 200, 90);
        c->SetTabStop(false); // neither shows a focused tab
        c->Tabs().Add("One");
        c->Tabs().Add("Two");
    }
    platform->move(0, 0);
    styled->SetBodyOffset(9);
    host.show();
    QApplication::processEvents();
    EXPECT_EQ(Grab(*styled), Grab(*platform));
    EXPECT_EQ(SendMessage(styled->Handle(), WM_ERASEBKGND, 0, 0), 0);
    styled->SetTabStyle(ctsVS2005);
    EXPECT_EQ(SendMessage(styled->Handle(), WM_ERASEBKGND, 0, 0), 1) << "styled, with tabs: nothing to erase";
    styled->Tabs().Clear();
    EXPECT_EQ(SendMessage(styled->Handle(), WM_ERASEBKGND, 0, 0), 0);
}

TEST(KldTabControl, StyledPixels)
{
    QWidget host;
    host.resize(300, 120);
    auto* tabs = new TKldTabControl(&host);
    UseTestFont(tabs->Font());
    tabs->SetBounds(0, 0, 300, 120);
    tabs->SetTabStyle(ctsVS2005);
    tabs->SetBgColor(clSilver);
    tabs->SetBorderColor(clNavy);
    tabs->SetTabColor(clYellow);
    tabs->SetFitAllTabs(false);
    tabs->Tabs().Add("First");
    tabs->Tabs().Add("Second");
    tabs->SetTabIndex(1);
    host.show();
    QApplication::processEvents();
    const QImage image = Grab(*tabs);
    const TRect body = tabs->BodyRect();
    const int borderRow = body.Top - 2 + 2 - 1; // the strip's last row (BodyOffset 2)
    EXPECT_EQ(PixelOf(image, 150, 60), clYellow) << "body";
    EXPECT_EQ(PixelOf(image, 250, 5), clSilver) << "strip";
    EXPECT_EQ(PixelOf(image, 250, borderRow), clNavy) << "border line";
    const TRect first = tabs->TabRect(0);
    const TRect second = tabs->TabRect(1);
    EXPECT_EQ(PixelOf(image, first.Left + 2, first.Top + 2), clSilver) << "an unselected tab shows the strip";
    EXPECT_EQ(PixelOf(image, second.Left + 2, second.Top + 6), clYellow) << "the selected tab is filled";
    for (int x = second.Left + 1; x < second.Right; ++x)
        ASSERT_EQ(PixelOf(image, x, borderRow), clYellow) << "open to the body all along, x " << x;
    EXPECT_EQ(PixelOf(image, second.Left, second.Top + 6), clNavy) << "its outline";
    EXPECT_EQ(PixelOf(image, second.Left + 6, second.Top), clNavy);
    EXPECT_EQ(PixelOf(image, second.Left, second.Top), clSilver) << "a chamfered corner";
}

TEST(KldTabControl, EveryTabHoldsALineOfItsFontInEveryStyleAndPosition)
{
    // The tab routine draws a tab's content in the tab extended by 2 toward
    // the body and shrunk by 4 on every side; the platform draws its own
    // labels in the whole tab. Before, tabs on top or at the bottom of
    // ctsVS2005TopTabs were the line's height plus 2 (no vertical padding),
    // so the bottoms of the letters were cut off.
    TImageList pictures(16, 16);
    const int line = TestLineHeight();
    for (TKldTabStyle style : {ctsDefault, ctsVS2005, ctsVS2005TopTabs})
        for (TTabPosition position : {tpTop, tpBottom, tpLeft, tpRight})
            for (bool withPictures : {false, true})
                for (bool closeIcon : {false, true}) {
                    SCOPED_TRACE(testing::Message() << "style " << style << ", position " << position
                                                    << (withPictures ? ", pictures" : "")
                                                    << (closeIcon ? ", close icon" : ""));
                    TKldTabControl tabs;
                    UseTestFont(tabs.Font());
                    UseTestFont(tabs.SelectedFont());
                    tabs.SetBounds(0, 0, 260, 96);
                    tabs.SetFitAllTabs(false);
                    tabs.SetTabStyle(style);
                    tabs.SetTabPosition(position);
                    tabs.RecreateWnd();
                    tabs.SetShowCloseIcon(closeIcon);
                    if (withPictures)
                        tabs.SetImages(&pictures);
                    tabs.Tabs().Add("gy");
                    tabs.Tabs().Add("");
                    const int content = std::max(line, withPictures ? 16 : 0);
                    for (int i = 0; i < tabs.Tabs().Count(); ++i) {
                        const TRect tab = tabs.TabRect(i);
                        const bool across = position == tpTop || position == tpBottom;
                        if (style == ctsDefault)
                            EXPECT_GE(across ? tab.Height() : tab.Width(), content) << "tab " << i;
                        else
                            EXPECT_GE(across ? tab.Height() + 2 - 8 : tab.Height() - 8,
                                      std::max(content, closeIcon ? 12 : 0))
                                << "tab " << i;
                    }
                }

    // A larger font of the selected tab counts too.
    TKldTabControl tabs;
    UseTestFont(tabs.Font());
    tabs.SetTabStyle(ctsVS2005TopTabs);
    tabs.Tabs().Add("Tab");
    tabs.SelectedFont().SetHeight(-30);
    TCanvas measure;
    measure.Font().Assign(tabs.SelectedFont());
    EXPECT_GE(tabs.TabRect(0).Height() + 2 - 8, measure.TextHeight("Wg"));
}

TEST(KldTabControl, CloseButtonEdges)
{
    TTabs t(400);
    TObject closable;
    t.Tabs->Tabs().SetObjects(0, &closable);
    t.Tabs->SetShowCloseIcon(true);
    t.Tabs->SetTabStyle(ctsVS2005);
    QApplication::processEvents();
    int closes = 0;
    t.Tabs->OnCloseTab = [&](TObject* sender) {
        EXPECT_EQ(sender, t.Tabs);
        ++closes;
    };
    const TRect r = t.Tabs->TabRect(0);
    const int y = r.Top + 3;
    EXPECT_TRUE(t.Tabs->MouseInCloseBtn(r.Right - 16, y));
    EXPECT_FALSE(t.Tabs->MouseInCloseBtn(r.Right - 4, y));
    EXPECT_FALSE(t.Tabs->MouseInCloseBtn(r.Right - 17, y));
    EXPECT_TRUE(t.Tabs->MouseInCloseBtn(r.Right - 5, r.Bottom - 1));
    EXPECT_FALSE(t.Tabs->MouseInCloseBtn(r.Right - 10, r.Bottom)) << "below the tab";

    Input::Click(*t.Tabs, r.Right - 16, y);
    EXPECT_EQ(closes, 1);
    Input::Click(*t.Tabs, r.Right - 4, y);
    EXPECT_EQ(closes, 1);
    Input::Press(*t.Tabs, r.Right - 10, y, Qt::ShiftModifier);
    Input::Release(*t.Tabs, r.Right - 10, y, Qt::ShiftModifier);
    EXPECT_EQ(closes, 1) << "not with a shift key";
    t.Tabs->SetShowCloseIcon(false);
    Input::Click(*t.Tabs, r.Right - 10, y);
    EXPECT_EQ(closes, 1);

    // The close button is the selected tab's: the second tab's spot does
    // nothing until it is selected.
    t.Tabs->SetShowCloseIcon(true);
    const TRect s = t.Tabs->TabRect(1);
    EXPECT_FALSE(t.Tabs->MouseInCloseBtn(s.Right - 10, y));
    t.Tabs->UpdateTabIndex(1);
    EXPECT_TRUE(t.Tabs->MouseInCloseBtn(s.Right - 10, y));
}

TEST(KldTabControl, UpdateTabIndexAsksFirst)
{
    TTabs t(400);
    bool allow = false;
    int changes = 0;
    t.Tabs->OnChanging = [&](TObject*, bool& ok) { ok = allow; };
    t.Tabs->OnChange = [&](TObject*) { ++changes; };
    t.Tabs->UpdateTabIndex(2);
    EXPECT_EQ(t.Tabs->TabIndex(), 0);
    allow = true;
    t.Tabs->UpdateTabIndex(2);
    EXPECT_EQ(t.Tabs->TabIndex(), 2);
    EXPECT_EQ(changes, 1);
}

// A page control with hidden pages: tabs stand for the visible pages in
// painting, close buttons, pictures and captions.
TEST(KldTabControl, HiddenPages)
{
    QWidget host;
    host.resize(400, 150);
    auto* pages = new TKldPageControl(&host);
    UseTestFont(pages->Font());
    pages->SetBounds(0, 0, 400, 150);
    pages->SetTabStyle(ctsVS2005);
    pages->SetFitAllPages(false);
    pages->SetBgColor(clSilver);
    pages->SetTabStop(false); // no focus rectangle over the pictures
    TImageList images(16, 16);
    for (QColor colour : {QColor(Qt::blue), QColor(Qt::red), QColor(Qt::green)}) {
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(colour);
        images.Add(picture);
    }
    pages->SetImages(&images);
    std::vector<TTabSheet*> sheet;
    for (int i = 0; i < 3; ++i) {
        auto* s = new TTabSheet(pages);
        s->SetCaption("Page " + std::to_string(i));
        s->SetImageIndex(i);
        sheet.push_back(s);
    }
    sheet[0]->SetTabVisible(false);
    sheet[1]->SetTag(1); // closable
    pages->SetShowCloseIcon(true);
    host.show();
    QApplication::processEvents();

    ASSERT_EQ(pages->TabCount(), 2);
    EXPECT_EQ(pages->ActivePage(), sheet[1]);
    EXPECT_EQ(pages->TabIndex(), 0);
    const QImage image = Grab(*pages);
    auto hasColour = [&](const TRect& r, TColor colour) {
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (PixelOf(image, x, y) == colour)
                    return true;
        return false;
    };
    const TRect tab0 = pages->TabRect(0);
    const TRect tab1 = pages->TabRect(1);
    EXPECT_TRUE(hasColour(tab0, clRed)) << "tab 0 shows page 1's picture";
    EXPECT_FALSE(hasColour(tab0, clBlue)) << "not the hidden page's";
    EXPECT_TRUE(hasColour(tab1, clLime)) << "tab 1 shows page 2's picture";
    // Tab 0 (page 1, Tag 1) is selected and carries the close icon: its
    // picture ends 12 pixels before the content's right edge.
    const QImage icon = KldCloseTabImages().GetImage(0);
    int iconPixels = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            iconPixels += qAlpha(icon.pixel(x, y)) == 255;
    ASSERT_GT(iconPixels, 0);
    const TRect content = InflateRect({tab0.Left, tab0.Top, tab0.Right, tab0.Bottom + 2}, -4, -4);
    const int iconTop = content.Top + (content.Height() - 12) / 2;
    int same = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            if (qAlpha(icon.pixel(x, y)) == 255) {
                const bool match = PixelOf(image, content.Right - 12 + x, iconTop + y) ==
                                   ColorFromQColor(icon.pixelColor(x, y));
                same += match;
                if (!match)
                    ADD_FAILURE() << "icon pixel " << x << "," << y << " is " << std::hex
                                  << PixelOf(image, content.Right - 12 + x, iconTop + y) << " not "
                                  << ColorFromQColor(icon.pixelColor(x, y));
            }
    EXPECT_EQ(same, iconPixels);

    int closes = 0;
    pages->OnCloseTab = [&](TObject*) { ++closes; };
    Input::Press(*pages, tab0.Right - 16, tab0.Top + 3);
    EXPECT_EQ(closes, 1) << "on mouse down";
    EXPECT_EQ(pages->ActivePage(), sheet[1]);
    Input::Release(*pages, tab0.Right - 16, tab0.Top + 3);

    // Page 2 has Tag 0: no close icon when it is selected, and a click on
    // its tab selects it.
    Input::Click(*pages, tab1.Left + 3, tab1.Top + 3);
    EXPECT_EQ(pages->ActivePage(), sheet[2]);
    const QImage after = Grab(*pages);
    const TRect content1 = InflateRect({tab1.Left, tab1.Top, tab1.Right, tab1.Bottom + 2}, -4, -4);
    int icons = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            if (qAlpha(icon.pixel(x, y)) == 255)
                icons += PixelOf(after, content1.Right - 12 + x,
                                 content1.Top + (content1.Height() - 12) / 2 + y) ==
                         ColorFromQColor(icon.pixelColor(x, y));
    EXPECT_LT(icons, iconPixels / 2) << "a sheet with Tag 0 shows no close icon";
    EXPECT_EQ(sheet[2]->BoundsRect(), pages->DisplayRect());
}

TEST(KldTabControl, SelectedFontStartsAsACopyOfTheFont)
{
    TKldTabControl tabs;
    EXPECT_TRUE(tabs.SelectedFont().SameAs(tabs.Font()));
    tabs.SelectedFont().SetStyle({fsBold});
    EXPECT_FALSE(tabs.Font().Style().Contains(fsBold));
    EXPECT_EQ(tabs.BorderColor(), clBtnShadow);
    EXPECT_EQ(tabs.BgColor(), clBtnFace);
    EXPECT_EQ(tabs.TabColor(), 0xFFFFFF);
    EXPECT_EQ(tabs.BodyOffset(), 2);
    EXPECT_TRUE(tabs.FitAllTabs());
    TKldPageControl pages;
    EXPECT_EQ(pages.Color(), 0xFFFFFF);
}

} // namespace
