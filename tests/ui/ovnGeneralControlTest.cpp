// The data-entry base: the Enabled/EnabledByLogic matrix, the effective
// colour, marking, FocusNext over a small form, the shelf's pixels and the
// pictures.

#include "ui/ovnGeneralControl.h"

#include "platform/Mask.h"
#include "support/GuiProbe.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnMaskEdit.h"
#include "ui/ovnPictures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <vector>

namespace {

class TProbeControl : public TovnGeneralControl
{
  public:
    using TovnGeneralControl::TovnGeneralControl;
    std::vector<bool> Contents;
    int Layouts = 0;
    void EnableContents(bool Value) override { Contents.push_back(Value); }
    void UpdateInteriorControls() override { ++Layouts; }
    void SetValue(const std::string&) override {}
    std::string GetValue() override { return ""; }
};

TEST(ovnGeneralControl, EnabledMatrix)
{
    struct Case
    {
        bool Enabled;
        bool ByLogic;
        bool QtEnabled;
        bool CanFocus;
    };
    const Case cases[] = {
        {true, true, true, true},
        {false, true, false, false},
        {true, false, false, false},
        {false, false, false, false},
    };
    QWidget form;
    form.resize(200, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Enabled ") + (c.Enabled ? "T" : "F") + ", ByLogic " + (c.ByLogic ? "T" : "F"));
        auto* control = new TProbeControl(&form);
        control->SetTabStop(true);
        form.show();
        control->SetEnabledByLogic(c.ByLogic);
        control->SetEnabled(c.Enabled);
        EXPECT_EQ(control->Enabled(), c.Enabled) << "Enabled reads the requested value";
        EXPECT_EQ(control->EnabledByLogic(), c.ByLogic);
        EXPECT_EQ(control->isEnabled(), c.QtEnabled);
        ASSERT_FALSE(control->Contents.empty());
        EXPECT_EQ(control->Contents.back(), c.Enabled && c.ByLogic);
        EXPECT_EQ(control->CanFocus(), c.CanFocus);
        delete control;
    }
}

TEST(ovnGeneralControl, EffectiveColourAndMarking)
{
    EXPECT_EQ(GetEffectiveColor(true, true), TColor(0xCCFFCC));
    EXPECT_EQ(GetEffectiveColor(false, true), TColor(0xCCFFCC));
    EXPECT_EQ(GetEffectiveColor(true, false), clWindow);
    EXPECT_EQ(GetEffectiveColor(false, false), TColor(0xF2F2F2));

    TProbeControl c;
    EXPECT_FALSE(c.Marked());
    c.SetMarked(false);
    EXPECT_EQ(c.Layouts, 0) << "an unchanged value does not lay out";
    c.SetMarked(true);
    EXPECT_TRUE(c.Marked());
    EXPECT_EQ(c.Layouts, 1);
    c.SetMarked(true);
    EXPECT_EQ(c.Layouts, 1);
}

TEST(ovnGeneralControl, DefaultsAndSlaveClickAfterClick)
{
    TProbeControl c;
    EXPECT_TRUE(c.EnabledByLogic());
    EXPECT_TRUE(c.ArrowCheck());
    EXPECT_TRUE(c.TemplateSlave);
    EXPECT_TRUE(c.TemplateEnableOnEdit);
    EXPECT_TRUE(c.ShowShelf());
    EXPECT_FALSE(c.TagBoolean);
    EXPECT_FALSE(c.TabStop());
    EXPECT_EQ(c.Applet, nullptr);
    std::vector<std::string> order;
    c.OnClick = [&](TObject* s) { order.push_back(s == &c ? "click" : "?"); };
    c.OnSlaveClick = [&](TObject* s) { order.push_back(s == &c ? "slave" : "?"); };
    c.PerformClick();
    EXPECT_EQ(order, (std::vector<std::string>{"click", "slave"}));
}

// A form of three data edits and one plain stock edit in between.
struct SmallForm : ::testing::Test
{
    QWidget Form;
    TovnDBEdit* A;
    TMaskEdit* Plain;
    TovnDBEdit* B;
    TovnMaskEdit* C;
    void SetUp() override
    {
        Form.resize(400, 200);
        A = new TovnDBEdit(&Form);
        Plain = new TMaskEdit(&Form);
        B = new TovnDBEdit(&Form);
        C = new TovnMaskEdit(&Form);
        A->SetTop(0);
        Plain->SetTop(40);
        B->SetTop(80);
        C->SetTop(120);
        Form.show();
        Form.activateWindow();
        QApplication::processEvents();
    }
};

TEST_F(SmallForm, TabOrderListHoldsMembersWithoutTabStopAndTheirEditors)
{
    const std::vector<QWidget*> list = TabOrderList(&Form);
    const auto has = [&](QWidget* w) { return std::find(list.begin(), list.end(), w) != list.end(); };
    EXPECT_TRUE(has(A)) << "a member (TabStop False) finds itself in the list";
    EXPECT_TRUE(has(&A->Editor()));
    EXPECT_TRUE(has(Plain));
    EXPECT_FALSE(has(&A->Label())) << "labels are not windowed controls";
}

TEST_F(SmallForm, FocusNextSkipsOwnEditorAndLandsOnTheNextEditor)
{
    A->FocusNext(true);
    EXPECT_TRUE(Plain->hasFocus()) << "the own editor is skipped, the stock edit is next";
    B->FocusNext(true);
    EXPECT_TRUE(C->Editor().hasFocus()) << "members without TabStop are skipped for their editors";
    C->FocusNext(true);
    EXPECT_TRUE(A->Editor().hasFocus()) << "wraps to the first";
    A->FocusNext(false);
    EXPECT_TRUE(C->Editor().hasFocus()) << "backwards wraps to the last";
    Plain->SetTabStop(false);
    A->FocusNext(true);
    EXPECT_TRUE(B->Editor().hasFocus()) << "TabStop False is skipped";
    B->SetEnabledByLogic(false);
    A->FocusNext(true);
    EXPECT_TRUE(C->Editor().hasFocus()) << "a disabled member's editor cannot take the focus";
}

TEST(ovnGeneralControlFocus, OnlyFocusableControlKeepsTheFocus)
{
    QWidget form;
    form.resize(300, 100);
    auto* only = new TovnMaskEdit(&form);
    form.show();
    form.activateWindow();
    QApplication::processEvents();
    only->Editor().SetFocus();
    only->FocusNext(true);
    EXPECT_TRUE(only->Editor().hasFocus());
    // A control outside any parent's list does nothing.
    TProbeControl lone;
    lone.FocusNext(true);
}

TEST(ovnPictures, ShelfPixels)
{
    // Left 2, Top 1, Right 42, Bottom 21 (exclusive) on a white picture.
    struct Case
    {
        const char* Desc;
        bool Focused;
        bool Enabled;
        bool Marked;
        TColor OuterTop;
        TColor InnerTop;
        TColor Interior;
    };
    const Case cases[] = {
        {"focused and marked", true, true, true, 0xC65920, 0xF29959, 0xCCFFCC},
        {"focused", true, true, false, 0xC65920, 0xF29959, clWindow},
        {"enabled", false, true, false, 0x9A9A9A, 0xE3E3E3, 0xF2F2F2},
        {"disabled", false, false, false, 0xC9C9C9, 0xE7E7E7, 0xF2F2F2},
        {"disabled and marked", false, false, true, 0xC9C9C9, 0xE7E7E7, 0xCCFFCC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TImageCanvas img(44, 23, clWhite);
        DrawShelfExt(img.Canvas(), {2, 1, 42, 21}, c.Focused, c.Enabled, c.Marked);
        img.End();
        EXPECT_EQ(img.Pixel(2, 1), c.OuterTop) << "top-left corner: top line and column start";
        EXPECT_EQ(img.Pixel(20, 1), c.OuterTop);
        EXPECT_EQ(img.Pixel(41, 1), c.OuterTop) << "top-right corner";
        EXPECT_EQ(img.Pixel(42, 1), clWhite) << "right is exclusive";
        EXPECT_EQ(img.Pixel(20, 2), c.InnerTop);
        EXPECT_EQ(img.Pixel(20, 19), c.InnerTop) << "the inner bottom line keeps the inner start colour";
        EXPECT_EQ(img.Pixel(3, 2), c.InnerTop) << "inner column starts in the inner start colour";
        EXPECT_EQ(img.Pixel(4, 3), ColorToRGB(c.Interior));
        EXPECT_EQ(img.Pixel(39, 18), ColorToRGB(c.Interior));
        EXPECT_EQ(img.Pixel(2, 0), clWhite);
        EXPECT_EQ(img.Pixel(1, 10), clWhite);
        EXPECT_EQ(img.Pixel(20, 21), clWhite);
    }
    // The outer bottom line uses the end colour; the gradient columns stop
    // short of it at their last row.
    TImageCanvas img(44, 23, clWhite);
    DrawShelfExt(img.Canvas(), {2, 1, 42, 21}, false, true, false);
    img.End();
    EXPECT_EQ(img.Pixel(20, 20), TColor(0xB8B8B8));

    // The inner bottom line leaves out its end point: the outer right
    // column shows there.
    TImageCanvas focused(44, 23, clWhite);
    DrawShelfExt(focused.Canvas(), {2, 1, 42, 21}, true, true, false);
    focused.End();
    EXPECT_EQ(focused.Pixel(41, 19), TColor(0xC65920));
    EXPECT_EQ(focused.Pixel(40, 19), TColor(0xF29959));
    EXPECT_EQ(focused.Pixel(3, 19), TColor(0xF29959));
}

TEST(ovnGeneralControl, ShowShelfChangesNothingPainted)
{
    QWidget form;
    form.resize(300, 60);
    auto* e = new TovnMaskEdit(&form, true);
    form.show();
    QApplication::processEvents();
    const QImage before = Grab(*e);
    e->SetShowShelf(false);
    EXPECT_FALSE(e->ShowShelf());
    EXPECT_EQ(Grab(*e), before);
}

TEST(ovnPictures, SimpleShelf)
{
    TImageCanvas img(30, 20, clBlack);
    DrawShelf(img.Canvas(), {0, 0, 30, 20}, true);
    img.End();
    EXPECT_EQ(img.Pixel(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(img.Pixel(1, 1), TColor(0xFF0000));
    EXPECT_EQ(img.Pixel(28, 18), TColor(0xFF0000));
    EXPECT_EQ(img.Pixel(10, 10), ColorToRGB(clWindow));
    TImageCanvas idle(30, 20, clBlack);
    DrawShelf(idle.Canvas(), {0, 0, 30, 20}, false);
    idle.End();
    EXPECT_EQ(idle.Pixel(1, 1), TColor(0xF2F2F2));
}

TEST(ovnPictures, EveryPictureLoadsAndBitmapsAreTransparentAtTheirKey)
{
    const TovnPictures& p = ovnPictures();
    for (const QImage* image :
         {&p.bmpDISABLED, &p.bmpREAD_FOCUSED, &p.bmpREAD_NORMAL, &p.bmpNORMAL, &p.bmpFOCUSED, &p.bmpR_F, &p.bmpR_T,
          &p.bmpR_F_FOCUSED, &p.bmpR_T_FOCUSED, &p.bmpR_F_DISABLED, &p.bmpR_T_DISABLED, &p.pngDISABLED,
          &p.pngREAD_FOCUSED, &p.pngREAD_NORMAL, &p.pngNORMAL, &p.pngFOCUSED, &p.pngR_F, &p.pngR_T,
          &p.pngR_F_FOCUSED, &p.pngR_T_FOCUSED, &p.pngR_F_DISABLED, &p.pngR_T_DISABLED, &p.pngInfo, &p.pngLookup,
          &p.pngPlus})
        EXPECT_FALSE(image->isNull());
    EXPECT_EQ(p.pngR_T.width(), 12) << "the radio pair lays out a 12-pixel glyph";
    EXPECT_EQ(p.bmpNORMAL.pixelColor(0, p.bmpNORMAL.height() - 1).alpha(), 0);
    EXPECT_EQ(p.bmpNORMAL.pixelColor(0, 0).alpha(), 0) << "the key colour is transparent everywhere";
    EXPECT_TRUE(LoadTransparentBitmap("NO_SUCH_PICTURE").isNull());
}

} // namespace
