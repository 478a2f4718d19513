#include "platform/Controls.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(Controls, AlignControlsPlacesByKindThenCreationOrder)
{
    const TRect client{0, 0, 200, 100};
    const std::vector<TAlignRequest> controls = {
        {alClient, Bounds(5, 5, 10, 10), true}, {alTop, Bounds(0, 50, 30, 20), true},
        {alLeft, Bounds(0, 0, 30, 5), true},    {alBottom, Bounds(0, 0, 10, 10), true},
        {alTop, Bounds(0, 0, 30, 15), true},    {alRight, Bounds(0, 0, 40, 5), true},
        {alTop, Bounds(1, 2, 3, 4), false},     {alNone, Bounds(7, 8, 9, 10), true},
    };
    const std::vector<TRect> expected = {
        Rect(30, 35, 160, 90),  // what is left
        Rect(0, 0, 200, 20),    // first top
        Rect(0, 35, 30, 90),    // left, below the tops, above the bottom
        Rect(0, 90, 200, 100),  // bottom
        Rect(0, 20, 200, 35),   // second top, below the first
        Rect(160, 35, 200, 90), // right
        Bounds(1, 2, 3, 4),     // hidden: unchanged
        Bounds(7, 8, 9, 10),    // not aligned: unchanged
    };
    EXPECT_EQ(AlignControls(client, controls), expected);

    // Too little room: the rest never turns inside out.
    const std::vector<TRect> cramped =
        AlignControls(Rect(0, 0, 50, 30), {{alTop, Bounds(0, 0, 1, 40), true}, {alClient, {}, true}});
    EXPECT_EQ(cramped[1], Rect(0, 30, 50, 30));
}

class TProbeControl : public TCustomControl
{
  public:
    using TCustomControl::TCustomControl;
    std::vector<std::string> Calls;
    int HitAnswer = HTCLIENT;
    bool WheelHandled = false;

  protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override
    {
        Calls.push_back("down " + std::to_string(x) + "," + std::to_string(y) +
                        (shift.Contains(ssDouble) ? " double" : ""));
    }
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override
    {
        Calls.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    }
    void MouseMove(TShiftState shift, int x, int y) override
    {
        Calls.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void Click() override { Calls.push_back("click"); }
    void DblClick() override { Calls.push_back("dblclick"); }
    void KeyDown(uint16_t& key, TShiftState shift) override
    {
        Calls.push_back("key " + std::to_string(key) + (shift.Contains(ssAlt) ? " alt" : ""));
        if (key == VK_RETURN)
            key = 0;
    }
    bool DoMouseWheel(TShiftState shift, int delta, const TPoint& pos) override
    {
        Calls.push_back("wheel " + std::to_string(delta));
        return WheelHandled;
    }
    void MouseEnter() override { Calls.push_back("enter"); }
    void MouseLeave() override { Calls.push_back("leave"); }
    int NCHitTest(const TPoint& p) override
    {
        const int base = TCustomControl::NCHitTest(p);
        return base == HTCLIENT ? HitAnswer : base;
    }
};

TEST(Controls, AlignedChildrenFollowTheirParent)
{
    TCustomControl parent;
    parent.SetBounds(0, 0, 200, 100);
    auto* top = new TCustomControl(&parent);
    top->SetHeight(20);
    top->SetAlign(alTop);
    auto* client = new TCustomControl(&parent);
    client->SetAlign(alClient);
    auto* right = new TCustomControl(&parent);
    right->SetWidth(50);
    right->SetAlign(alRight);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 200, 20));
    EXPECT_EQ(right->BoundsRect(), Rect(150, 20, 200, 100));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 20, 150, 100));

    parent.SetBounds(0, 0, 300, 150);
    EXPECT_EQ(right->BoundsRect(), Rect(250, 20, 300, 150));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 20, 250, 150));

    // A control that sizes itself moves the others.
    top->SetHeight(40);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 40));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 40, 250, 150));

    // Hiding gives the room back; frames of the parent are kept clear.
    top->SetVisible(false);
    EXPECT_EQ(client->BoundsRect(), Rect(0, 0, 250, 150));
    parent.SetNonClientMargins(Rect(2, 3, 4, 5));
    EXPECT_EQ(parent.ClientWidth(), 294);
    EXPECT_EQ(parent.ClientHeight(), 142);
    EXPECT_EQ(client->BoundsRect(), Rect(2, 3, 246, 145));
}

TEST(Controls, AParentMayKeepPartOfItsClientAreaFromAlignedChildren)
{
    struct TInset : TCustomControl
    {
        void AdjustClientRect(TRect& Rect) const override { Rect = InflateRect(Rect, -4, -6); }
    } parent;
    parent.SetBounds(0, 0, 100, 80);
    auto* client = new TCustomControl(&parent);
    client->SetAlign(alClient);
    EXPECT_EQ(client->BoundsRect(), Rect(4, 6, 96, 74));
}

TEST(Controls, AnyWidgetCanHoldAlignedControls)
{
    QWidget host;
    host.resize(120, 80);
    auto* bottom = new TCustomControl(&host);
    bottom->SetHeight(10);
    bottom->SetAlign(alBottom);
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, 70, 120, 80));
    host.show();
    host.resize(160, 90);
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, 80, 160, 90));
}

TEST(Controls, ColourAndFontFollowTheParentUntilSet)
{
    TCustomControl parent;
    parent.SetColor(clRed);
    parent.Font().SetSize(12);
    auto* child = new TCustomControl(&parent);
    EXPECT_TRUE(child->ParentColor());
    EXPECT_EQ(child->Color(), clRed);
    EXPECT_EQ(child->Font().Size(), 12);

    parent.SetColor(clBlue);
    parent.Font().SetStyle({fsBold});
    EXPECT_EQ(child->Color(), clBlue);
    EXPECT_TRUE(child->Font().Style().Contains(fsBold));
    EXPECT_TRUE(child->ParentFont());

    child->SetColor(clGreen);
    child->Font().SetSize(7);
    EXPECT_FALSE(child->ParentColor());
    EXPECT_FALSE(child->ParentFont());
    parent.SetColor(clYellow);
    parent.Font().SetSize(20);
    EXPECT_EQ(child->Color(), clGreen);
    EXPECT_EQ(child->Font().Size(), 7);
    child->SetParentColor(true);
    EXPECT_EQ(child->Color(), clYellow);
}

TEST(Controls, MouseArrivesInClientCoordinatesWithTheShiftState)
{
    TProbeControl c;
    c.SetBounds(0, 0, 100, 60);
    c.SetNonClientMargins(Rect(10, 5, 0, 0));
    Input::Enter(c, 20, 20);
    EXPECT_TRUE(c.MouseInControl());
    Input::Move(c, 20, 20);
    Input::DoubleClick(c, 30, 25);
    Input::Leave(c);
    EXPECT_FALSE(c.MouseInControl());
    // The release that ends a double click clicks no more.
    const std::vector<std::string> expected = {"enter", "move 10,15", "down 20,20",        "up 20,20",
                                               "click", "dblclick",   "down 20,20 double", "up 20,20",
                                               "leave"};
    EXPECT_EQ(c.Calls, expected);
}

TEST(Controls, KeysArriveAsVirtualKeysAndUnhandledInputGoesOn)
{
    TProbeControl c;
    c.SetBounds(0, 0, 100, 60);
    EXPECT_TRUE(Input::Key(c, Qt::Key_Return)); // consumed
    EXPECT_FALSE(Input::Key(c, Qt::Key_Down, Qt::AltModifier));
    EXPECT_FALSE(Input::Key(c, Qt::Key_unknown));
    EXPECT_FALSE(Input::Wheel(c, -120, 5, 5));
    c.WheelHandled = true;
    EXPECT_TRUE(Input::Wheel(c, 120, 5, 5));
    const std::vector<std::string> expected = {"key 13", "key 40 alt", "wheel -120", "wheel 120"};
    EXPECT_EQ(c.Calls, expected);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Home), VK_HOME);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_A), 'A');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F2), VK_F2);
    // The keypad's plus and minus have codes of their own.
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Minus, Qt::KeypadModifier), VK_SUBTRACT);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Plus, Qt::KeypadModifier), VK_ADD);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Minus, Qt::NoModifier), 0);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Home, Qt::KeypadModifier), VK_HOME);
    c.Calls.clear();
    EXPECT_FALSE(Input::Key(c, Qt::Key_Plus, Qt::KeypadModifier));
    EXPECT_EQ(c.Calls, std::vector<std::string>{"key 107"});
}

TEST(Controls, ASizingEdgeDragsTheSizeInsteadOfClicking)
{
    QWidget host;
    host.resize(300, 200);
    auto* c = new TProbeControl(&host);
    c->SetWidth(100);
    c->SetAlign(alLeft);
    c->HitAnswer = HTRIGHT;
    Input::Move(*c, 98, 50);
    EXPECT_EQ(c->cursor().shape(), Qt::SizeHorCursor);
    Input::Press(*c, 98, 50);
    Input::DragTo(*c, 128, 50);
    Input::Release(*c, 128, 50);
    EXPECT_EQ(c->Width(), 130);
    EXPECT_EQ(c->Height(), 200);
    // Only the move reached the control.
    EXPECT_EQ(c->Calls, std::vector<std::string>{"move 98,50"});
}

} // namespace
