// The radio pair: creation and layout, the glyphs by state, keys (Space,
// Escape, Up and Down), the mouse hit boxes, the data link on the table
// dataset (case-sensitive data, forced read-only) and the write-back on exit.

#include "ui/ovnDbRadio.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "support/BoundaryErrors.h"
#include "support/DialogScript.h"
#include "support/GuiProbe.h"
#include "ui/ovnMaskEdit.h"
#include "ui/ovnPictures.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

// A table dataset whose modifiability the test switches.
class TSwitchableDataSet : public TKldDataSet
{
  public:
    bool Modifiable = true;

  protected:
    bool GetCanModify() override { return Modifiable && TKldDataSet::GetCanModify(); }
};

// Table "Flags": ID Integer, FLAG String(1), ACTIVE Boolean, N Integer.
struct FlagsData
{
    TKldDataContainer Container;
    TSwitchableDataSet Ds;
    TDataSource Source;
    explicit FlagsData(const char* flag)
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Flags");
        t->Columns().AddColumn("ID", cdtInteger);
        t->Columns().AddColumn("FLAG", cdtString, 1);
        t->Columns().AddColumn("ACTIVE", cdtBoolean);
        t->Columns().AddColumn("N", cdtInteger);
        t->BeginUpdate();
        TKldDataRow* row = t->New();
        row->SetAsVariant("ID", 1);
        if (flag)
            row->SetAsVariant("FLAG", flag);
        row->SetAsVariant("ACTIVE", true);
        row->SetAsVariant("N", 5);
        t->Insert(row);
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Flags");
        Ds.Open();
        Source.SetDataSet(&Ds);
    }
    ~FlagsData()
    {
        Source.SetDataSet(nullptr);
        Ds.Close();
    }
};

struct RadioForm
{
    QWidget Form;
    TovnDBRadio* Radio;
    TovnMaskEdit* Other;
    RadioForm()
    {
        Form.resize(400, 120);
        Radio = new TovnDBRadio(&Form);
        Other = new TovnMaskEdit(&Form);
        Other->SetTop(60);
        Form.show();
        Form.activateWindow();
        QApplication::processEvents();
        Other->Editor().SetFocus();
        QApplication::processEvents();
    }
    void FocusRadio()
    {
        Radio->setFocus();
        QApplication::processEvents();
    }
};

TEST(ovnDBRadio, CreationValues)
{
    TovnDBRadio r;
    EXPECT_FALSE(r.ShowShelf());
    EXPECT_TRUE(r.TabStop());
    EXPECT_EQ(r.Caption(), "Caption");
    EXPECT_EQ(r.CaptionLeft(), "Yes");
    EXPECT_EQ(r.CaptionRight(), "No");
    EXPECT_EQ(r.CheckedLeftString(), "T");
    EXPECT_EQ(r.CheckedRightString(), "F");
    EXPECT_EQ(r.Indent(), 120);
    EXPECT_FALSE(r.CheckedLeft());
    EXPECT_EQ(r.Color(), TColor(0xF2F2F2));
    EXPECT_EQ(r.Font().Color(), TColor(0x800000));
    EXPECT_EQ(r.CaptionFont().Color(), TColor(0));
    EXPECT_EQ(r.GetValue(), "F");
}

TEST(ovnDBRadio, LayoutFromTheCaptionFontSize)
{
    TovnDBRadio r;
    TFont f;
    f.SetSize(8);
    r.SetCaptionFont(&f);
    r.UpdateInteriorControls();
    EXPECT_EQ(r.Height(), 25);
    EXPECT_EQ(r.GlyphY(), 7);
    EXPECT_EQ(r.LeftGlyphX(), 124);
    EXPECT_EQ(r.LeftLabel().Left(), 124 + 15);
    EXPECT_EQ(r.RightGlyphX(), r.RightIndent());
    EXPECT_EQ(r.RightLabel().Left(), r.RightIndent() + 15);
    EXPECT_EQ(r.Width(), r.RightLabel().Left() + r.RightLabel().Width() + 6);
    EXPECT_EQ(r.Font().Size(), 8) << "the option font takes the caption font's size";
    f.SetSize(10);
    r.SetCaptionFont(&f);
    r.UpdateInteriorControls();
    EXPECT_EQ(r.Height(), 29);
    EXPECT_EQ(r.GlyphY(), 14 - 6 + 1);
    r.SetCaptionFont(nullptr);
    EXPECT_EQ(r.CaptionFont().Size(), 10);
}

TEST(ovnDBRadio, GlyphsByState)
{
    const TovnPictures& p = ovnPictures();
    RadioForm f;
    TovnDBRadio& r = *f.Radio;
    EXPECT_EQ(&r.GlyphFor(true), &p.pngR_T);
    EXPECT_EQ(&r.GlyphFor(false), &p.pngR_F);
    r.SetEnabledByLogic(false);
    EXPECT_EQ(&r.GlyphFor(true), &p.pngR_T_DISABLED);
    EXPECT_EQ(&r.GlyphFor(false), &p.pngR_F_DISABLED);
    r.SetEnabledByLogic(true);
    f.FocusRadio();
    ASSERT_TRUE(r.FocusFlag());
    EXPECT_EQ(&r.GlyphFor(true), &p.pngR_T_FOCUSED);
    EXPECT_EQ(&r.GlyphFor(false), &p.pngR_F_FOCUSED);
    // The chosen glyph is painted on the left while CheckedLeft.
    r.SetCheckedLeft(true);
    const QImage shot = Grab(r);
    const int cx = r.LeftGlyphX() + 6;
    const int cy = r.GlyphY() + 6;
    EXPECT_EQ(shot.pixelColor(cx, cy), p.pngR_T_FOCUSED.pixelColor(6, 6));
    EXPECT_EQ(shot.pixelColor(r.RightGlyphX() + 6, cy), p.pngR_F_FOCUSED.pixelColor(6, 6));
    // Marked: the shelf's pale green under the glyphs.
    r.SetMarked(true);
    const QImage marked = Grab(r);
    EXPECT_EQ(ColorFromQColor(marked.pixelColor(r.LeftGlyphX() - 1, r.Height() / 2)), TColor(0xCCFFCC));
    EXPECT_NE(ColorFromQColor(marked.pixelColor(r.LeftGlyphX() - 6, r.Height() / 2)), TColor(0xCCFFCC));
}

TEST(ovnDBRadio, SpaceEscapeAndReadOnly)
{
    RadioForm f;
    TovnDBRadio& r = *f.Radio;
    int changes = 0;
    r.OnChange = [&](TObject* s) { changes += s == &r ? 1 : 100; };
    f.FocusRadio();
    Input::Key(r, Qt::Key_Space);
    EXPECT_TRUE(r.CheckedLeft());
    Input::Key(r, Qt::Key_Space);
    Input::Key(r, Qt::Key_Space);
    EXPECT_TRUE(r.CheckedLeft());
    Input::Key(r, Qt::Key_Escape);
    EXPECT_FALSE(r.CheckedLeft()) << "Escape gives back the value at entry";
    EXPECT_EQ(changes, 4);
    r.SetReadOnly(true);
    Input::Key(r, Qt::Key_Space);
    EXPECT_FALSE(r.CheckedLeft()) << "Space on a read-only control changes nothing";
    r.SetReadOnly(false);
    r.SetEnabledByLogic(false);
    r.SetEnabledByLogic(true);
    // SetValue unbound compares without case.
    r.SetValue("t");
    EXPECT_TRUE(r.CheckedLeft());
    r.SetValue("x");
    EXPECT_FALSE(r.CheckedLeft());
}

TEST(ovnDBRadio, DownAndUpArePostedMoves)
{
    RadioForm f;
    f.FocusRadio();
    Input::Key(*f.Radio, Qt::Key_Down);
    EXPECT_TRUE(f.Radio->hasFocus()) << "the move is posted, not made at once";
    QApplication::processEvents();
    EXPECT_TRUE(f.Other->Editor().hasFocus());
}

TEST(ovnDBRadio, MouseHitBoxesAndLabels)
{
    RadioForm f;
    TovnDBRadio& r = *f.Radio;
    int clicks = 0;
    r.OnClick = [&](TObject*) { ++clicks; };
    const int y = r.GlyphY() + 6;
    Input::Click(r, r.LeftGlyphX() + 2, y);
    EXPECT_TRUE(r.CheckedLeft());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(r.hasFocus()) << "a click gives the control the focus";
    Input::Click(r, r.LeftGlyphX() + 2, y);
    EXPECT_TRUE(r.CheckedLeft()) << "a click on the chosen option changes nothing";
    EXPECT_EQ(clicks, 2);
    Input::Click(r, r.RightGlyphX() - 3, y);
    EXPECT_TRUE(r.CheckedLeft()) << "between the options";
    // Press on one option and release on the other: nothing.
    Input::Press(r, r.RightGlyphX() + 1, y);
    Input::Release(r, r.LeftGlyphX() + 1, y);
    EXPECT_TRUE(r.CheckedLeft());
    // A click on the right label acts on the right option.
    Input::Click(r.RightLabel(), 2, r.RightLabel().Height() / 2);
    EXPECT_FALSE(r.CheckedLeft());
    Input::Click(r, r.LeftGlyphX() + 2, r.GlyphY() + 13);
    EXPECT_FALSE(r.CheckedLeft()) << "below the hit box";
    Input::Click(r, r.LeftGlyphX() + 2, r.GlyphY() + 12);
    EXPECT_TRUE(r.CheckedLeft()) << "the hit box includes its bottom row";
}

TEST(ovnDBRadio, BoundComparisonIsCaseSensitive)
{
    for (const char* flag : {"T", "t", "F", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(flag ? flag : "Null");
        FlagsData data(flag);
        TovnDBRadio r;
        r.SetDataSource(&data.Source);
        r.SetDataField("FLAG");
        EXPECT_EQ(r.CheckedLeft(), flag && std::string(flag) == "T");
    }
    FlagsData data("F");
    TovnDBRadio b;
    b.SetDataSource(&data.Source);
    b.SetDataField("ACTIVE");
    EXPECT_TRUE(b.CheckedLeft());
    // Another type is left alone, but SetValue writes it while editing.
    TovnDBRadio n;
    n.SetCheckedLeft(true);
    n.SetDataSource(&data.Source);
    n.SetDataField("N");
    EXPECT_TRUE(n.CheckedLeft());
    n.SetValue("7");
    EXPECT_EQ(data.Ds.FieldByName("N")->AsInteger(), 5) << "browsing";
    data.Ds.Edit();
    n.SetValue("7");
    EXPECT_EQ(data.Ds.FieldByName("N")->AsInteger(), 7);
    data.Ds.Cancel();
}

TEST(ovnDBRadio, ExitWritesBack)
{
    FlagsData data("F");
    RadioForm f;
    TovnDBRadio& r = *f.Radio;
    r.SetDataSource(&data.Source);
    r.SetDataField("FLAG");
    f.FocusRadio();
    Input::Key(r, Qt::Key_Space);
    EXPECT_EQ(data.Ds.State(), dsEdit);
    EXPECT_EQ(data.Ds.FieldByName("FLAG")->AsString(), "F") << "not yet written";
    f.Other->Editor().SetFocus();
    QApplication::processEvents();
    EXPECT_EQ(data.Ds.FieldByName("FLAG")->AsString(), "T");
}

TEST(ovnDBRadio, FailedWriteBackTakesTheFocusBack)
{
    FlagsData data("F");
    RadioForm f;
    TovnDBRadio& r = *f.Radio;
    r.SetDataSource(&data.Source);
    r.SetDataField("FLAG");
    data.Ds.FieldByName("FLAG")->OnValidate = [](TField*) { throw Exception("Flag refused"); };
    TBoundaryErrors errors;
    f.FocusRadio();
    Input::Key(r, Qt::Key_Space);
    f.Other->Editor().SetFocus();
    QApplication::processEvents();
    EXPECT_TRUE(r.hasFocus());
    ASSERT_EQ(errors.Reports.size(), 1u);
    EXPECT_NE(errors.Reports[0].find("Flag refused"), std::string::npos);
    data.Ds.FieldByName("FLAG")->OnValidate = nullptr;
    data.Ds.Cancel();
}

TEST(ovnDBRadio, ForcedReadOnlyComesAndGoes)
{
    FlagsData data("T");
    TovnDBRadio r;
    r.SetDataSource(&data.Source);
    r.SetDataField("FLAG");
    data.Ds.Close();
    data.Ds.Modifiable = false;
    data.Ds.Open();
    EXPECT_TRUE(r.ReadOnly());
    EXPECT_TRUE(r.ForcedReadOnly());
    data.Ds.Close();
    data.Ds.Modifiable = true;
    data.Ds.Open();
    EXPECT_FALSE(r.ReadOnly());
    // A ReadOnly set by the form stays.
    r.SetReadOnly(true);
    data.Ds.Close();
    data.Ds.Modifiable = false;
    data.Ds.Open();
    EXPECT_FALSE(r.ForcedReadOnly());
    data.Ds.Close();
    data.Ds.Modifiable = true;
    data.Ds.Open();
    EXPECT_TRUE(r.ReadOnly());
}

} // namespace
