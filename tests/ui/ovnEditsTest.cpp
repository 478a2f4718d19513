// The captioned mask edit, data edit and memo: layout numbers, colours by
// focus and marking, the mask edit's glyph, SetValue on the table dataset,
// keys (ArrowCheck, Enter firing OnLookUp) and the data edit's binding.

#include "ui/ovnDBEdit.h"
#include "ui/ovnDBMemo.h"
#include "ui/ovnMaskEdit.h"
#include "ui/ovnPictures.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "support/DialogScript.h"
#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>

#include <functional>

namespace {

// Table "Persons": ID Integer, FIRST_NAME String(20), BORN Date, NOTES Memo.
struct PersonsData
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    PersonsData()
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Persons");
        t->Columns().AddColumn("ID", cdtInteger);
        t->Columns().AddColumn("FIRST_NAME", cdtString, 20);
        t->Columns().AddColumn("BORN", cdtDate);
        t->Columns().AddColumn("NOTES", cdtMemo);
        t->BeginUpdate();
        TKldDataRow* row = t->New();
        row->SetAsVariant("ID", 1);
        row->SetAsVariant("FIRST_NAME", "Ann");
        row->SetAsVariant("NOTES", "first line\nsecond line");
        t->Insert(row);
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Persons");
        Ds.Open();
        Source.SetDataSet(&Ds);
    }
    ~PersonsData()
    {
        Source.SetDataSet(nullptr);
        Ds.Close();
    }
};

void ShowAndActivate(QWidget& form)
{
    form.show();
    form.activateWindow();
    QApplication::processEvents();
}

TEST(ovnEdits, CreationAndLayoutNumbers)
{
    TovnMaskEdit design(nullptr, true);
    EXPECT_EQ(design.Indent(), 110);
    EXPECT_EQ(design.Caption(), "Caption");
    EXPECT_EQ(design.Label().Left(), 1);
    EXPECT_EQ(design.Label().Width(), 109);
    EXPECT_TRUE(design.Label().Visible());
    EXPECT_EQ(design.Editor().Left(), 114);
    EXPECT_EQ(design.Editor().Top(), 6);
    EXPECT_EQ(design.Editor().Height(), design.Height() - 9);
    EXPECT_EQ(design.Editor().Width(), design.Width() - 110 - 7);
    EXPECT_EQ(design.Color(), TColor(0xF2F2F2));
    EXPECT_EQ(design.ColorFocused(), TColor(0x00FFFF));
    EXPECT_EQ(design.ShadowColor(), TColor(0));
    EXPECT_EQ(design.Font().Color(), TColor(0x800000));
    EXPECT_FALSE(design.AutoSelect());
    EXPECT_TRUE(design.ShowGlyphs());
    EXPECT_EQ(design.Cursor(), crIBeam);

    TovnDBEdit run;
    EXPECT_EQ(run.Indent(), 0) << "at run time Indent comes from the stored form";
    EXPECT_FALSE(run.Label().Visible()) << "an Indent of 0 hides the caption label";
    EXPECT_EQ(run.Editor().Left(), 4);
    run.SetIndent(80);
    EXPECT_TRUE(run.Label().Visible());
    EXPECT_EQ(run.Label().Width(), 79);
    EXPECT_EQ(run.Editor().Left(), 84);
    run.SetBounds(0, 0, 300, 30);
    EXPECT_EQ(run.Editor().Width(), 300 - 80 - 7);
    EXPECT_EQ(run.Editor().Height(), 21);

    TovnDBMemo memo;
    EXPECT_EQ(memo.Width(), 185);
    EXPECT_EQ(memo.Height(), 89);
    EXPECT_EQ(memo.Color(), TColor(0xC0C0C0));
    EXPECT_EQ(memo.ColorFocused(), TColor(0x00FFFF));
    EXPECT_EQ(memo.ShadowColor(), TColor(0));
    EXPECT_EQ(memo.Font().Color(), TColor(0x800000));
    EXPECT_EQ(memo.Memo().Color(), TColor(0xF2F2F2));
    EXPECT_EQ(memo.Memo().Left(), 3);
    EXPECT_EQ(memo.Memo().Top(), 3);
    EXPECT_EQ(memo.Memo().Width(), 179);
    EXPECT_EQ(memo.Memo().Height(), 83);
    // Laid out: bounds (2, 2, W - 4, H - 4) and Color the colour shown.
    memo.SetBounds(0, 0, 185, 90);
    EXPECT_EQ(memo.Memo().Left(), 2);
    EXPECT_EQ(memo.Memo().Top(), 2);
    EXPECT_EQ(memo.Memo().Width(), 181);
    EXPECT_EQ(memo.Memo().Height(), 86);
    EXPECT_EQ(memo.Color(), TColor(0xF2F2F2));
}

TEST(ovnEdits, ColourAfterMarkedResize)
{
    TovnDBEdit edit;
    edit.SetMarked(true);
    edit.SetBounds(0, 0, 200, 30);
    EXPECT_EQ(edit.Color(), TColor(0xCCFFCC));
    EXPECT_EQ(edit.Editor().Color(), TColor(0xCCFFCC));
    edit.SetMarked(false);
    EXPECT_EQ(edit.Color(), TColor(0xF2F2F2));
    TovnDBMemo memo;
    memo.SetMarked(true);
    EXPECT_EQ(memo.Memo().Color(), TColor(0xCCFFCC));
}

TEST(ovnEdits, GlyphByState)
{
    QWidget form;
    form.resize(300, 100);
    auto* e = new TovnMaskEdit(&form, true);
    ShowAndActivate(form);
    e->Editor().clearFocus();
    QApplication::processEvents();
    ASSERT_FALSE(e->FocusFlag());
    const TovnPictures& p = ovnPictures();
    int left = 0;
    EXPECT_EQ(e->StateGlyph(left), &p.bmpNORMAL);
    EXPECT_EQ(left, 110 - p.bmpNORMAL.width() - 2);
    e->SetReadOnly(true);
    EXPECT_EQ(e->StateGlyph(left), &p.bmpREAD_NORMAL);
    EXPECT_EQ(left, 110 - p.bmpREAD_NORMAL.width() - 1);
    e->Editor().SetFocus();
    QApplication::processEvents();
    ASSERT_TRUE(e->FocusFlag());
    EXPECT_EQ(e->StateGlyph(left), &p.bmpREAD_FOCUSED);
    e->SetReadOnly(false);
    EXPECT_EQ(e->StateGlyph(left), &p.bmpFOCUSED);
    EXPECT_EQ(e->Editor().Color(), TColor(0x00FFFF)) << "the mask edit shows ColorFocused on entry";
    e->SetReadOnly(true);
    e->SetEnabledByLogic(false);
    EXPECT_EQ(e->StateGlyph(left), &p.bmpDISABLED);
    EXPECT_EQ(left, 110 - p.bmpDISABLED.width() - 2);

    // The glyph is painted vertically centred.
    auto* g = new TovnMaskEdit(&form, true);
    g->SetBounds(0, 40, 250, 27);
    const QImage shot = Grab(*g);
    const int gy = 27 / 2 - p.bmpNORMAL.height() / 2;
    const int gx = 110 - p.bmpNORMAL.width() - 2;
    bool drawn = false;
    for (int y = gy; y < gy + p.bmpNORMAL.height(); ++y)
        for (int x = gx; x < gx + p.bmpNORMAL.width(); ++x)
            if (p.bmpNORMAL.pixelColor(x - gx, y - gy).alpha() == 255 &&
                shot.pixelColor(x, y) == p.bmpNORMAL.pixelColor(x - gx, y - gy))
                drawn = true;
    EXPECT_TRUE(drawn);
    g->SetShowGlyphs(false);
    const QImage bare = Grab(*g);
    EXPECT_NE(bare.pixelColor(gx + 6, gy + 8), shot.pixelColor(gx + 6, gy + 8));
}

TEST(ovnEdits, DataEditAndMemoKeepTheEffectiveColourWhenFocused)
{
    QWidget form;
    form.resize(300, 200);
    auto* e = new TovnDBEdit(&form);
    auto* m = new TovnDBMemo(&form);
    m->SetTop(40);
    ShowAndActivate(form);
    e->Editor().SetFocus();
    QApplication::processEvents();
    EXPECT_TRUE(e->FocusFlag());
    EXPECT_EQ(e->Editor().Color(), clWindow) << "ColorFocused is never shown by the data edit";
    m->Memo().SetFocus();
    QApplication::processEvents();
    EXPECT_FALSE(e->FocusFlag());
    EXPECT_EQ(e->Editor().Color(), TColor(0xF2F2F2));
    EXPECT_EQ(m->Memo().Color(), clWindow);
}

TEST(ovnEdits, SetValueOnTheTableDataSet)
{
    PersonsData data;
    TovnDBEdit edit;
    edit.SetValue("nobody");
    EXPECT_EQ(edit.GetValue(), "") << "no field bound";
    edit.SetDataSource(&data.Source);
    edit.SetDataField("FIRST_NAME");
    EXPECT_EQ(edit.GetValue(), "Ann");
    edit.SetValue("Bea");
    EXPECT_EQ(data.Ds.FieldByName("FIRST_NAME")->AsString(), "Ann") << "a browsing dataset changes nothing";
    data.Ds.Edit();
    edit.SetValue("Bea");
    EXPECT_EQ(data.Ds.FieldByName("FIRST_NAME")->AsString(), "Bea");
    EXPECT_EQ(edit.GetValue(), "Bea");

    TovnDBMemo memo;
    memo.SetDataSource(&data.Source);
    memo.SetDataField("NOTES");
    EXPECT_EQ(memo.GetValue(), "first line\nsecond line");
    memo.SetValue("changed");
    EXPECT_EQ(data.Ds.FieldByName("NOTES")->AsString(), "changed");
    data.Ds.Cancel();
    memo.SetValue("ignored");
    EXPECT_EQ(data.Ds.FieldByName("NOTES")->AsString(), "first line\nsecond line");

    TovnMaskEdit mask;
    mask.SetEditMask("!99/99/9999;1; ");
    mask.SetValue("03/15/2024");
    EXPECT_EQ(mask.GetValue(), "03/15/2024");
}

TEST(ovnEdits, TypingEditsTheDataSetAndExitWritesBack)
{
    PersonsData data;
    QWidget form;
    form.resize(300, 100);
    auto* edit = new TovnDBEdit(&form);
    auto* other = new TovnMaskEdit(&form);
    other->SetTop(40);
    edit->SetDataSource(&data.Source);
    edit->SetDataField("FIRST_NAME");
    ShowAndActivate(form);
    edit->Editor().SetFocus();
    QApplication::processEvents();
    edit->Editor().SetSelStart(3);
    Keys::Type(edit->Editor(), "e");
    EXPECT_EQ(data.Ds.State(), dsEdit) << "typing puts the dataset into edit state";
    EXPECT_EQ(edit->Text(), "Anne");
    other->Editor().SetFocus();
    QApplication::processEvents();
    EXPECT_EQ(data.Ds.FieldByName("FIRST_NAME")->AsString(), "Anne") << "exit writes back";

    // The field's edit mask applies to the editor.
    data.Ds.Cancel();
    data.Ds.FieldByName("BORN")->SetEditMask("!99/99/9999;1;_");
    edit->SetDataField("BORN");
    EXPECT_EQ(edit->EditText(), "__/__/____");
    EXPECT_EQ(edit->Text(), "  /  /    ");
}

// A browsing dataset goes into edit state on the first key, and the key then
// works on the text, selection and caret the user saw: going into edit shows
// the field again, which must not drop them.
TEST(ovnEdits, KeysInBrowseStateWorkOnTheSelectionTheUserMade)
{
    struct Case
    {
        const char* Desc;
        std::function<void(QWidget&)> Keys;
        const char* Text;
        int Caret;
    };
    const Case cases[] = {
        {"select all, Delete",
         [](QWidget& w) {
             Keys::SelectAll(w);
             Keys::Press(w, Qt::Key_Delete);
         },
         "", 0},
        {"select all, Backspace",
         [](QWidget& w) {
             Keys::SelectAll(w);
             Keys::Backspace(w);
         },
         "", 0},
        {"select all, type over it",
         [](QWidget& w) {
             Keys::SelectAll(w);
             Keys::Type(w, "Bea");
         },
         "Bea", 3},
        {"select the last two letters, type over them",
         [](QWidget& w) {
             Keys::Press(w, Qt::Key_End);
             Keys::Press(w, Qt::Key_Left, Qt::ShiftModifier);
             Keys::Press(w, Qt::Key_Left, Qt::ShiftModifier);
             Keys::Type(w, "lex");
         },
         "Alex", 4},
        {"caret after the first letter, type",
         [](QWidget& w) {
             Keys::CaretTo(w, 1);
             Keys::Type(w, "r");
         },
         "Arnn", 2},
        {"caret after the first letter, Delete",
         [](QWidget& w) {
             Keys::CaretTo(w, 1);
             Keys::Press(w, Qt::Key_Delete);
         },
         "An", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        PersonsData data;
        QWidget form;
        form.resize(300, 100);
        auto* edit = new TovnDBEdit(&form);
        auto* other = new TovnMaskEdit(&form);
        other->SetTop(40);
        edit->SetBounds(0, 0, 250, 27);
        edit->SetDataSource(&data.Source);
        edit->SetDataField("FIRST_NAME");
        ShowAndActivate(form);
        edit->Editor().SetFocus();
        QApplication::processEvents();
        ASSERT_EQ(data.Ds.State(), dsBrowse);
        ASSERT_EQ(edit->Text(), "Ann");
        c.Keys(edit->DBEdit());
        EXPECT_EQ(data.Ds.State(), dsEdit);
        EXPECT_EQ(edit->Text(), c.Text);
        EXPECT_EQ(edit->DBEdit().SelStart(), c.Caret);
        other->Editor().SetFocus();
        QApplication::processEvents();
        EXPECT_EQ(data.Ds.FieldByName("FIRST_NAME")->AsString(), c.Text) << "leaving writes the text back";
        data.Ds.Post();
        EXPECT_EQ(data.Ds.FieldByName("FIRST_NAME")->AsString(), c.Text) << "and Post keeps it";
        EXPECT_EQ(edit->Text(), c.Text);
    }
}

TEST(ovnEdits, KeysArrowCheckAndLookUp)
{
    QWidget form;
    form.resize(300, 200);
    auto* a = new TovnMaskEdit(&form);
    auto* b = new TovnMaskEdit(&form);
    b->SetTop(40);
    auto* memo = new TovnDBMemo(&form);
    memo->SetTop(80);
    ShowAndActivate(form);
    std::vector<std::string> events;
    a->OnLookUp = [&](TObject* s) { events.push_back(s == a ? "lookup" : "?"); };
    a->OnKeyDown = [&](TObject* s, uint16_t& key, TShiftState) {
        events.push_back(s == a ? "key " + std::to_string(key) : "?");
    };
    a->Editor().SetFocus();
    Keys::Enter(a->Editor());
    EXPECT_EQ(events, (std::vector<std::string>{"lookup", "key 13"}));
    Keys::Press(a->Editor(), Qt::Key_Down);
    EXPECT_TRUE(b->Editor().hasFocus());
    Keys::Press(b->Editor(), Qt::Key_Up);
    EXPECT_TRUE(a->Editor().hasFocus());
    a->SetArrowCheck(false);
    Keys::Press(a->Editor(), Qt::Key_Down);
    EXPECT_TRUE(a->Editor().hasFocus()) << "with ArrowCheck False Down stays in the editor";

    int lookups = 0;
    memo->OnLookUp = [&](TObject* s) { lookups += s == memo ? 1 : 100; };
    memo->Memo().SetFocus();
    memo->Memo().SetText("ab");
    memo->Memo().SetSelStart(1);
    Keys::Enter(memo->Memo());
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(memo->Text(), "a\nb") << "Enter still reaches the memo";
}

TEST(ovnEdits, InnerEventsCarryTheControlAsSender)
{
    TovnMaskEdit e(nullptr, true);
    e.SetBounds(0, 0, 250, 27);
    std::vector<std::string> seen;
    const auto name = [&](TObject* s) { return s == &e ? std::string("control") : std::string("other"); };
    e.OnChange = [&](TObject* s) { seen.push_back("change " + name(s)); };
    e.OnClick = [&](TObject* s) { seen.push_back("click " + name(s)); };
    e.OnSlaveClick = [&](TObject* s) { seen.push_back("slave " + name(s)); };
    e.OnMouseDown = [&](TObject* s, TMouseButton, TShiftState, int, int) { seen.push_back("down " + name(s)); };
    e.SetText("x");
    Input::Click(e.Label(), 5, 5);
    EXPECT_EQ(seen, (std::vector<std::string>{"change control", "down control", "click control",
                                              "slave control"}));
}

TEST(ovnEdits, CaptionFromFieldNameAtDesignTime)
{
    EXPECT_EQ(CaptionFromFieldName("FIRST_NAME"), "First Name");
    EXPECT_EQ(CaptionFromFieldName("id"), "Id");
    EXPECT_EQ(CaptionFromFieldName("A__B"), "A  B");
    TovnDBEdit design(nullptr, true);
    design.SetCaption("Own");
    design.SetDataField("FIRST_NAME");
    EXPECT_EQ(design.Caption(), "Own") << "the first time only a caption still reading Caption changes";
    design.SetDataField("LAST_NAME");
    EXPECT_EQ(design.Caption(), "Last Name");
    TovnDBEdit run;
    run.SetCaption("Caption");
    run.SetDataField("FIRST_NAME");
    EXPECT_EQ(run.Caption(), "Caption") << "nothing at run time";
}

TEST(ovnEdits, NilFontsAreIgnored)
{
    TovnMaskEdit e;
    e.SetFont(nullptr);
    e.SetFontFocused(nullptr);
    e.SetCaptionFont(nullptr);
    EXPECT_EQ(e.Font().Color(), TColor(0x800000));
    TFont big;
    big.SetSize(14);
    e.SetFont(&big);
    EXPECT_EQ(e.Editor().Font().Size(), 14);
}

} // namespace
