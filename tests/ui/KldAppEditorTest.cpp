#include "ui/KldAppEditor.h"

#include "platform/SysUtils.h"
#include "support/BoundaryErrors.h"
#include "support/GuiProbe.h"
#include "support/TestFont.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A key as the keyboard sends it: its Qt key and the text it types.
void Type(QWidget& w, const std::string& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    for (char c : text) {
        const int key = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : static_cast<unsigned char>(c);
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(QChar(c)));
        QApplication::sendEvent(&w, &event);
    }
}

struct TEntry
{
    const char* Group;
    const char* Caption;
    int Tag;
};

const TEntry Catalogue[] = {
    {"Residents", "Admissions", 101}, {"Residents", "Care plans", 102}, {"Residents", "Discharges", 103},
    {"Staff", "Staff list", 201},     {"Staff", "Qualifications", 202}, {"Staff", "Shift plan", 203},
    {"Care", "Care notes", 301},      {"Care", "Medication", 302},
};

// A box in a shown window, and a host that searches the catalogue.
class SearchBoxTest : public ::testing::Test
{
  protected:
    SearchBoxTest()
    {
        window.resize(500, 300);
        box = new TKldAppEditor(&window);
        box->SetBounds(30, 12, 200, 25);
        other = new QLineEdit(&window);
        other->setGeometry(30, 200, 100, 20);
        UseTestFont(box->Edit().Font());
        box->Edit().OnPopupInit = [this](TKldAppletViewPopup* view) {
            view->SetGroupHeight(4);
            view->SetItemHeight(20);
            ++popupInits;
        };
        box->Edit().OnFillItems = [this](TKldAppItems& items, const std::string& search, int& found,
                                         int max) {
            ++fillCalls;
            searches.push_back(search);
            maxSeen = max;
            for (const TEntry& e : Catalogue) {
                if (found >= max || Pos(LowerCase(search), LowerCase(e.Caption)) == 0)
                    continue;
                TKldAppItem* group = items.ItemByText(e.Group);
                if (!group)
                    group = items.Add(e.Group, -1);
                group->Items().Add(e.Caption, -1)->SetTag(e.Tag);
                ++found;
            }
            // A failing host fails after it has added (and counted) results.
            if (failWith)
                throw Exception(failWith);
        };
        box->Edit().OnSelectItem = [this](intptr_t tag) { selected.push_back(tag); };
        window.show();
        window.activateWindow();
        QApplication::processEvents();
    }

    TKldEditControl& Edit() { return box->Edit(); }
    TKldPopupControl* Popup() { return Edit().PopupWindow(); }
    TKldAppletViewPopup* View() { return Edit().View(); }
    bool PopupShowing() { return Popup() && Popup()->isVisible(); }
    void Open()
    {
        box->SetFocus();
        ASSERT_TRUE(Edit().isVisible());
    }

    QWidget window;
    TKldAppEditor* box;
    QLineEdit* other;
    int fillCalls = 0;
    int popupInits = 0;
    int maxSeen = 0;
    const char* failWith = nullptr;
    std::vector<std::string> searches;
    std::vector<intptr_t> selected;
};

TEST_F(SearchBoxTest, TheListDropsDownOnlyWithResults)
{
    EXPECT_TRUE(Edit().isHidden()) << "the edit shows only while the box has the focus";
    Open();
    EXPECT_TRUE(Edit().hasFocus());
    EXPECT_EQ(fillCalls, 0) << "an empty text asks nothing";

    Type(Edit(), "x");
    EXPECT_EQ(fillCalls, 1);
    EXPECT_EQ(searches.back(), "x");
    EXPECT_EQ(maxSeen, 10) << "MaxRows x MaxCols";
    EXPECT_FALSE(Edit().DroppedDown());
    EXPECT_FALSE(PopupShowing());

    Edit().clear();
    Type(Edit(), "  ");
    EXPECT_EQ(fillCalls, 1) << "a blank text calls no host handler";
    EXPECT_FALSE(PopupShowing());

    Edit().clear();
    Type(Edit(), "ca");
    EXPECT_EQ(fillCalls, 3) << "each typed character asks again";
    EXPECT_TRUE(Edit().DroppedDown());
    EXPECT_TRUE(PopupShowing());
    EXPECT_EQ(popupInits, 1);
    EXPECT_TRUE(Edit().hasFocus()) << "the popup does not take the focus";

    Type(Edit(), "r");
    EXPECT_EQ(fillCalls, 4) << "a change while down refills";
    EXPECT_EQ(searches.back(), "car");
    EXPECT_EQ(View()->Items().Count(), 2) << "Residents (Care plans) and Care (Care notes)";
    EXPECT_EQ(popupInits, 1);

    Type(Edit(), "z");
    EXPECT_FALSE(Edit().DroppedDown()) << "no result closes the list";
    EXPECT_FALSE(PopupShowing());
    EXPECT_EQ(View()->Items().Count(), 0);
}

TEST_F(SearchBoxTest, PopupGeometry)
{
    Open();
    Type(Edit(), "s");
    ASSERT_TRUE(PopupShowing());
    // "s" matches Admissions, Care plans, Discharges, Staff list,
    // Qualifications, Shift plan, Care notes: 7 rows in 3 groups.
    const int rows = 7;
    const int groups = 3;
    EXPECT_EQ(Popup()->height(), groups * 4 + rows * 20);
    EXPECT_EQ(View()->Height(), Popup()->height());

    const int group = TestTextWidth("Residents") + 16;
    const int widest = TestTextWidth("Qualifications");
    const int width = std::min(500, std::max(150, group + std::max(widest + 16, 2 * group))) + 20;
    EXPECT_EQ(View()->GroupColWidth(), group);
    EXPECT_EQ(Popup()->width(), width);
    EXPECT_EQ(View()->ItemWidth(), width);
    EXPECT_EQ(View()->GetItemRect(View()->GetVisItem(0)).Width(), width) << "every row spans the list";

    // Under the box: its left edge; the top is the box's top (in its
    // parent) taken through the edit, plus 5, plus the edit's height.
    const QPoint left = window.mapToGlobal(QPoint(box->x(), 0));
    const int top = Edit().mapToGlobal(QPoint(0, box->y())).y() + 5 + Edit().height();
    EXPECT_EQ(Popup()->pos(), QPoint(left.x(), top));

    Input::Key(Edit(), Qt::Key_Escape);
    Edit().SetAlignPopupRight(true);
    Type(Edit(), "s");
    const QPoint right = window.mapToGlobal(QPoint(box->x() + box->width(), 0));
    EXPECT_EQ(Popup()->pos().x() + Popup()->width(), right.x());
}

TEST_F(SearchBoxTest, WidthLimits)
{
    Open();
    Type(Edit(), "a");
    ASSERT_TRUE(PopupShowing());
    View()->SetMinGroupColWidth(400);
    Type(Edit(), "d");
    EXPECT_EQ(View()->GroupColWidth(), 400) << "widened to MinGroupColWidth";
    EXPECT_EQ(Popup()->width(), 520) << "500 + 20 at most";

    View()->SetMinGroupColWidth(0);
    Edit().OnFillItems = [](TKldAppItems& items, const std::string&, int& found, int) {
        items.Add("", -1)->Items().Add("x", -1);
        found = 1;
    };
    Type(Edit(), "x");
    EXPECT_EQ(View()->GroupColWidth(), 16);
    EXPECT_EQ(Popup()->width(), 170) << "150 + 20 at least";
}

TEST_F(SearchBoxTest, TenResultsFillOneGroup)
{
    Edit().OnFillItems = [this](TKldAppItems& items, const std::string&, int& found, int max) {
        maxSeen = max;
        TKldAppItem* group = items.Add("Menu", -1);
        for (int i = 0; i < max; ++i)
            group->Items().Add("Entry " + std::to_string(i), -1)->SetTag(i);
        found = max;
    };
    Open();
    Type(Edit(), "e");
    EXPECT_EQ(maxSeen, 10);
    EXPECT_EQ(View()->GetVisCount(), 10) << "one column of rows";
    EXPECT_EQ(Popup()->height(), 4 + 10 * 20);
    EXPECT_EQ(View()->SelIdx(), 0) << "the first entry is selected";
}

TEST_F(SearchBoxTest, KeysMoveTheSelectionAndChoose)
{
    Open();
    Type(Edit(), "s");
    ASSERT_TRUE(Edit().DroppedDown());
    EXPECT_EQ(View()->SelIdx(), 0);
    Input::Key(Edit(), Qt::Key_Down);
    EXPECT_EQ(View()->SelIdx(), 1);
    Input::Key(Edit(), Qt::Key_End);
    EXPECT_EQ(View()->SelIdx(), 6);
    EXPECT_EQ(Edit().cursorPosition(), 1) << "End went to the list, not the edit";
    Input::Key(Edit(), Qt::Key_Home);
    EXPECT_EQ(View()->SelIdx(), 0);
    Input::Key(Edit(), Qt::Key_Down);
    Input::Key(Edit(), Qt::Key_Down);
    Input::Key(Edit(), Qt::Key_Up);
    EXPECT_EQ(View()->SelIdx(), 1);

    // "#", "$", "&" and "(" carry the codes of End, Home, Up and Down: not
    // typed while the list is down, and ignored by the list.
    const int before = fillCalls;
    Type(Edit(), "#$&(");
    EXPECT_EQ(Edit().Text(), "s");
    EXPECT_EQ(View()->SelIdx(), 1);
    EXPECT_EQ(fillCalls, before);

    // Enter chooses the selected row: "Care plans".
    Input::Key(Edit(), Qt::Key_Return);
    EXPECT_EQ(selected, std::vector<intptr_t>{102});
    EXPECT_EQ(Edit().SelectedTag(), 102);
    EXPECT_FALSE(Edit().DroppedDown());
    EXPECT_FALSE(PopupShowing());
    EXPECT_TRUE(Edit().isHidden()) << "the edit hides itself before telling the host";

    // With the list up, the same characters are typed.
    Open();
    Edit().clear();
    Type(Edit(), "#");
    EXPECT_FALSE(Edit().DroppedDown());
    EXPECT_EQ(Edit().Text(), "#");
}

TEST_F(SearchBoxTest, EscapeAltSpaceAndAltDown)
{
    Open();
    Type(Edit(), "s");
    Input::Key(Edit(), Qt::Key_Escape);
    EXPECT_FALSE(Edit().DroppedDown());
    EXPECT_TRUE(selected.empty());
    EXPECT_EQ(Edit().SelectedTag(), -1);
    EXPECT_TRUE(Edit().isVisible()) << "Escape closes the list only";

    Input::Key(Edit(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(Edit().DroppedDown()) << "Alt+Down drops the list down";
    Input::Key(Edit(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_FALSE(Edit().DroppedDown()) << "Alt+Space closes it";
    EXPECT_TRUE(selected.empty());

    Input::Key(Edit(), Qt::Key_Down, Qt::AltModifier);
    Input::Key(Edit(), Qt::Key_Down);
    Input::Key(Edit(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(selected, std::vector<intptr_t>{102}) << "Alt+Down while down accepts";
}

TEST_F(SearchBoxTest, EnterWithNoRowSelectedStillTellsTheHost)
{
    // The host counts a result but adds no row to select.
    Edit().OnFillItems = [](TKldAppItems& items, const std::string&, int& found, int) {
        items.Add("Nothing here", -1);
        found = 1;
    };
    Open();
    Type(Edit(), "q");
    ASSERT_TRUE(Edit().DroppedDown());
    Input::Key(Edit(), Qt::Key_Return);
    EXPECT_EQ(selected, std::vector<intptr_t>{-1});
}

TEST_F(SearchBoxTest, AClickOnARowChoosesIt)
{
    Open();
    Type(Edit(), "staff");
    ASSERT_TRUE(PopupShowing());
    const TRect row = View()->GetItemRect(View()->GetVisItem(0));
    Input::Move(*View(), row.Left + 50, row.Top + 5);
    Input::Click(*View(), row.Left + 50, row.Top + 5);
    EXPECT_EQ(selected, std::vector<intptr_t>{201});
    EXPECT_FALSE(PopupShowing());
}

TEST_F(SearchBoxTest, AFailingHostHandlerReachesTheBoundaryAndLeavesNoStrayList)
{
    TBoundaryErrors errors;
    Open();
    failWith = "catalogue unavailable";
    Type(Edit(), "s");
    ASSERT_EQ(errors.Reports.size(), 1u);
    EXPECT_EQ(errors.Reports[0], "TKldEditControl.KeyDown: Exception: catalogue unavailable");
    EXPECT_FALSE(Edit().DroppedDown());
    EXPECT_FALSE(PopupShowing()) << "the failed first drop-down leaves no list showing";
    EXPECT_EQ(Edit().Text(), "s") << "the key was typed";

    failWith = nullptr;
    Edit().clear();
    Type(Edit(), "s");
    EXPECT_TRUE(Edit().DroppedDown()) << "the next change works";
    const int height = Popup()->height();
    EXPECT_EQ(height, 3 * 4 + 7 * 20);

    // A failure while the list is down: the list stays down and is sized
    // for what the handler added before it failed ("Staff list").
    failWith = "again";
    Type(Edit(), "ta");
    ASSERT_EQ(errors.Reports.size(), 3u) << "one for each key";
    EXPECT_TRUE(Edit().DroppedDown());
    EXPECT_TRUE(PopupShowing());
    EXPECT_NE(Popup()->height(), height);
    EXPECT_EQ(Popup()->height(), 4 + 20);

    // A host that fails on a programmatic change: the change handler is
    // the boundary there. Nothing was found, so the list closes.
    Edit().setText("x");
    EXPECT_FALSE(Edit().DroppedDown());
    ASSERT_EQ(errors.Reports.size(), 4u);
    EXPECT_EQ(errors.Reports[3], "TKldEditControl.Change: Exception: again");
}

TEST_F(SearchBoxTest, FocusLossClosesTheListUnlessThePointerIsOverTheEdit)
{
    Open();
    Type(Edit(), "s");
    ASSERT_TRUE(Edit().DroppedDown());

    QCursor::setPos(Edit().mapToGlobal(Edit().rect().center()));
    other->setFocus();
    EXPECT_TRUE(Edit().CancelModePending());
    QApplication::processEvents();
    EXPECT_TRUE(Edit().DroppedDown()) << "the pointer is over the edit";
    EXPECT_TRUE(Edit().isVisible());

    QCursor::setPos(window.mapToGlobal(QPoint(450, 250)));
    box->SetFocus();
    Edit().setFocus();
    other->setFocus();
    EXPECT_TRUE(Edit().CancelModePending());
    QApplication::processEvents();
    EXPECT_FALSE(Edit().DroppedDown());
    EXPECT_TRUE(Edit().isHidden());
    EXPECT_FALSE(PopupShowing());
    EXPECT_TRUE(selected.empty()) << "closed without a selection";

    // Any other cancel-mode message hides the edit wherever the pointer is.
    box->SetFocus();
    Type(Edit(), "s");
    ASSERT_TRUE(Edit().DroppedDown());
    QCursor::setPos(Edit().mapToGlobal(Edit().rect().center()));
    Edit().CancelMode(0, &Edit());
    EXPECT_TRUE(Edit().DroppedDown()) << "one from the edit itself is ignored";
    Edit().CancelMode(0);
    EXPECT_FALSE(Edit().DroppedDown());
    EXPECT_TRUE(Edit().isHidden());
}

TEST_F(SearchBoxTest, FocusingTheBoxAgainReopensTheListForItsText)
{
    Open();
    Type(Edit(), "s");
    Edit().CancelMode(0);
    ASSERT_TRUE(Edit().isHidden());
    const int calls = fillCalls;
    box->SetFocus();
    EXPECT_TRUE(Edit().isVisible());
    EXPECT_TRUE(Edit().DroppedDown()) << "the kept text drops the list down";
    EXPECT_EQ(fillCalls, calls + 1);

    // A click on the box opens the edit too.
    Edit().CancelMode(0);
    Input::Press(*box, 5, 5);
    EXPECT_TRUE(Edit().isVisible());
}

TEST_F(SearchBoxTest, TheEditRectIsABandAsHighAsAjInTheMiddle)
{
    Open();
    const int h = TestLineHeight();
    const TRect r = Edit().EditRect();
    EXPECT_EQ(r.Height(), h);
    EXPECT_EQ(r.Top, (Edit().height() - h) / 2);
    EXPECT_EQ(r.Width(), Edit().width());
}

// A 30 x 25 picture in three slices of 10: left red, middle green, right
// blue; the inactive one has a yellow middle.
QImage Slices(TColor middle)
{
    QImage picture(30, 25, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    for (int y = 0; y < 25; ++y)
        for (int x = 10; x < 30; ++x)
            picture.setPixelColor(x, y, x < 20 ? ToQColor(middle) : QColor(Qt::blue));
    return picture;
}

TEST_F(SearchBoxTest, ThreeSliceBackground)
{
    box->SetMargin(1, 3);
    box->SetMargin(3, 2);
    box->SetBgPicture(0, Slices(clLime));
    box->SetBgPicture(1, Slices(clYellow));
    EXPECT_EQ(box->EdgeWidth(), 10);
    EXPECT_EQ(box->NonClientMargins(), Rect(10, 3, 10, 2));
    EXPECT_EQ(Edit().geometry(), QRect(10, 3, 180, 20)) << "the edit fills the client area";

    QImage image = Grab(*box);
    EXPECT_EQ(PixelOf(image, 5, 1), clRed) << "left slice";
    EXPECT_EQ(PixelOf(image, 195, 1), clBlue) << "right slice";
    EXPECT_EQ(PixelOf(image, 100, 1), clYellow) << "inactive middle, stretched";
    EXPECT_EQ(PixelOf(image, 100, 12), clYellow)
        << "the client shows the inactive middle while the edit hides";

    Open();
    image = Grab(*box);
    EXPECT_EQ(PixelOf(image, 100, 1), clLime) << "active while the edit shows";
    EXPECT_EQ(PixelOf(image, 5, 1), clRed);
}

} // namespace
