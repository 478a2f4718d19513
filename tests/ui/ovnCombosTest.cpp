// The three combos without a server: the lookup combo's value text, the
// layout, the fixed list through the lookup window, the calendar tools,
// quick typing against the fixed list and a lookup dataset, Backspace, the
// plus button against a recording stack and applet, and the information
// button.
#include "ui/ovnCombo.h"
#include "ui/ovnDBCombo.h"
#include "ui/ovnDBLookupCombo.h"

#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DataSource.h"
#include "platform/DateUtils.h"
#include "platform/Fields.h"
#include "platform/ListBox.h"
#include "ui/DataEntryForm.h"
#include "ui/LookupFormDBCombo.h"
#include "ui/ovnButtons.h"
#include "ui/ovnCalendar.h"

#include "support/BoundaryErrors.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/GuiProbe.h"
#include "support/RecordingStack.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

// A form holding a combo between two edits, and a dataset with a key, a
// display text, a date and a date with time.
struct Form
{
    QWidget Window;
    TMaskEdit* Before;
    TMaskEdit* After;
    TNembraDataSet Data;
    TDataSource Source;
    Form()
    {
        // Double-quoted texts in filters, as when the library loads.
        InitOndrel();
        Window.setGeometry(100, 100, 500, 200);
        Before = new TMaskEdit(&Window);
        Before->SetBounds(10, 10, 100, 21);
        for (auto [name, type, size] : {std::tuple{"C_FACILITY", ftInteger, 0},
                                        {"FACILITY_NAME", ftString, 80},
                                        {"ADMISSION_DATE", ftDate, 0},
                                        {"CODE", ftString, 10},
                                        {"VISIT_TIME", ftDateTime, 0}})
            Data.FieldDefs().Add(name, type, size);
        Data.Open();
        Data.Append();
        Data.FieldByName("C_FACILITY")->SetAsInteger(1);
        Data.FieldByName("FACILITY_NAME")->SetAsString("Oak Grove Care Home");
        Data.FieldByName("ADMISSION_DATE")->SetAsString("03/15/2024");
        Data.FieldByName("VISIT_TIME")->SetAsDateTime(EncodeDate(2024, 3, 15) + EncodeTime(15, 5, 0, 0));
        Data.Post();
        Source.SetDataSet(&Data);
    }
    template <class C> C* Place(const char* Name)
    {
        auto* c = new C(&Window);
        c->SetName(Name);
        c->SetIndent(110);
        c->SetCaption("Facility");
        c->SetBounds(10, 40, 350, 27);
        c->SetTabStop(true);
        After = new TMaskEdit(&Window);
        After->SetBounds(10, 80, 100, 21);
        Window.show();
        QApplication::processEvents();
        return c;
    }
    // A data combo on Field with the calendar tool Tool, set after the field.
    TovnDBCombo* CalendarCombo(const char* Name, const char* Field, TLookupTool Tool)
    {
        auto* d = Place<TovnDBCombo>(Name);
        d->SetDataSource(&Source);
        d->SetDataField(Field);
        d->SetLookupTool(Tool);
        return d;
    }
};

TEST(LookupComboValue, SplitsIntoKeyAndDisplayOnlyWhileEditing)
{
    Form f;
    auto* c = f.Place<TovnDBLookupCombo>("cboFacility");
    c->SetDataSource(&f.Source);
    c->SetDataField("C_FACILITY");
    c->SetDataDisplayField("FACILITY_NAME");
    QApplication::processEvents();
    EXPECT_EQ(c->GetValue(), std::string("1\x02Oak Grove Care Home"));

    c->SetValue(std::string("12\x02Smith"));
    EXPECT_EQ(f.Data.FieldByName("C_FACILITY")->AsString(), "1") << "browsing: nothing changes";

    f.Data.Edit();
    c->SetValue(std::string("12\x02Smith"));
    EXPECT_EQ(f.Data.FieldByName("C_FACILITY")->AsString(), "12");
    EXPECT_EQ(f.Data.FieldByName("FACILITY_NAME")->AsString(), "Smith");
    EXPECT_EQ(c->DisplayEdit().Text(), "Smith");
    EXPECT_EQ(c->KeyText(), "12");
    EXPECT_EQ(c->GetValue(), std::string("12\x02Smith"));

    // Without #2 the display field takes what the display editor shows.
    c->DisplayEdit().SetText("Shown");
    c->SetValue("13");
    EXPECT_EQ(f.Data.FieldByName("C_FACILITY")->AsString(), "13");
    EXPECT_EQ(f.Data.FieldByName("FACILITY_NAME")->AsString(), "Shown");

    c->DisplayEdit().SetText("");
    EXPECT_EQ(c->GetValue(), "13") << "no #2 without a display text";
}

TEST(ComboLayout, OneButtonFewerWidensTheEditorAndTheUnboundComboWaitsForItsNextLayout)
{
    Form f;
    auto* lookup = f.Place<TovnDBLookupCombo>("cboLookup");
    const int both = lookup->Editor().Width();
    EXPECT_EQ(both, 350 - 110 - 43 - 7);
    EXPECT_EQ(lookup->Editor().Left(), 114);
    EXPECT_EQ(lookup->InfoButtonControl().Left(), 90);
    lookup->SetComboButtons(TComboButtons{cbLookup});
    EXPECT_EQ(lookup->Editor().Width(), both + 20 + 1);
    EXPECT_FALSE(lookup->PlusButton().isVisibleTo(lookup));
    EXPECT_EQ(lookup->LookupButton().Left(), 350 - 22 + 1);

    auto* data = new TovnDBCombo(&f.Window);
    data->SetIndent(110);
    data->SetBounds(10, 120, 350, 27);
    data->SetComboButtons(TComboButtons{cbLookup});
    EXPECT_EQ(data->Editor().Width(), both + 21);

    auto* unbound = new TovnCombo(&f.Window);
    unbound->SetIndent(110);
    unbound->SetBounds(10, 160, 350, 27);
    unbound->SetComboButtons(TComboButtons{cbLookup});
    EXPECT_EQ(unbound->Editor().Width(), both) << "the old layout stays until the next one";
    unbound->SetMarked(true);
    EXPECT_EQ(unbound->Editor().Width(), both + 21);
}

// Picks line Row of the window's fixed list and presses Select.
std::shared_ptr<bool> PickLine(int Row)
{
    return WhenModal<TfrmDBCombo>([Row](TfrmDBCombo& w) {
        w.ListBox->SetItemIndex(Row);
        w.btnSelect->click();
    });
}

TEST(LookupComboItems, AFixedLineGivesKeyAndDisplay)
{
    Form f;
    f.Data.FieldDefs().Clear();
    f.Data.Close();
    f.Data.FieldDefs().Add("CODE", ftString, 10);
    f.Data.FieldDefs().Add("NAME", ftString, 40);
    f.Data.Open();
    f.Data.Append();
    f.Data.Post();
    auto* c = f.Place<TovnDBLookupCombo>("cboCode");
    c->SetDataSource(&f.Source);
    c->SetDataField("CODE");
    c->SetDataDisplayField("NAME");
    c->LookupItems().SetText("XYZ Other\nABC Alpha");
    c->SetLookupCut(3);
    int after = 0;
    c->AfterLookupExecuted = [&](TObject*) { ++after; };
    auto shown = PickLine(1);
    c->Lookup();
    ASSERT_TRUE(*shown);
    EXPECT_EQ(f.Data.State(), dsEdit) << "the choice puts the record into edit state";
    EXPECT_EQ(f.Data.FieldByName("CODE")->AsString(), "ABC");
    EXPECT_EQ(f.Data.FieldByName("NAME")->AsString(), "Alpha");
    EXPECT_EQ(c->DisplayEdit().Text(), "Alpha");
    EXPECT_EQ(after, 1);
    EXPECT_EQ(f.Window.focusWidget(), f.After) << "the focus moves on";

    // The unbound combo takes the code alone; Clear empties it.
    auto* u = new TovnCombo(&f.Window);
    u->SetName("cboUnbound");
    u->LookupItems().SetText("XYZ Other\nABC Alpha");
    u->LookupExtraFields().SetText("A\n\nB");
    shown = PickLine(1);
    u->Lookup();
    ASSERT_TRUE(*shown);
    EXPECT_EQ(u->Text(), "ABC");
    shown = WhenModal<TfrmDBCombo>([](TfrmDBCombo& w) { w.btnClear->click(); });
    u->Lookup();
    ASSERT_TRUE(*shown);
    EXPECT_EQ(u->Text(), "");
    EXPECT_EQ(u->LookupExtraValues().Count(), 2) << "one empty entry per non-empty name";

    // Without cbLookup nothing opens.
    u->SetComboButtons(TComboButtons{cbPlus});
    shown = PickLine(0);
    u->Lookup();
    EXPECT_FALSE(*shown);
}

TEST(ComboHint, TheHintOfALookupLineIsShownAsText)
{
    // The hint is the text of a lookup line, which the server may send.
    Form f;
    auto* c = f.Place<TovnCombo>("cboCode");
    const std::string line = "<b>First</b> <a href=\"https://evil.example/\">x</a>";
    c->LookupItems().SetText("ab " + line + "\nxy Second");
    c->SetLookupCut(2);
    c->SetReadOnly(true);
    c->SetText("ab");
    ASSERT_EQ(c->Hint(), line) << "a read-only combo's text names its line";
    EXPECT_EQ(ToolTipShows(c->Editor().Widget()->toolTip()), line);
}

TEST(ComboCalendarTools, MasksEditingAndQuickTyping)
{
    Form f;
    auto* c = f.Place<TovnCombo>("cboPeriod");
    EXPECT_TRUE(c->ReadOnly());
    EXPECT_TRUE(c->QuickType());
    struct Case
    {
        TLookupTool tool;
        const char* mask;
    };
    for (const Case& k : {Case{TLookupTool::ltCalendarPeriod, "!9999/99;1; "},
                          Case{TLookupTool::ltCalendarDate, "!99/99/9999;1; "},
                          Case{TLookupTool::ltCalendarDateTime, "!99/99/9999 !99:99 >ll;1; "}}) {
        c->SetReadOnly(true);
        c->SetQuickType(true);
        c->SetLookupTool(k.tool);
        EXPECT_EQ(c->MaskEdit().EditMask(), k.mask);
        EXPECT_FALSE(c->ReadOnly());
        EXPECT_FALSE(c->QuickType());
    }
    c->SetLookupTool(TLookupTool::ltNone);
    EXPECT_EQ(c->MaskEdit().EditMask(), "");
    EXPECT_FALSE(c->ReadOnly()) << "back to ltNone the editor stays editable";

    // The data combo gives its field the mask while focused on open data.
    auto* d = new TovnDBCombo(&f.Window);
    d->SetBounds(10, 120, 350, 27);
    d->SetDataSource(&f.Source);
    d->SetDataField("ADMISSION_DATE");
    d->SetLookupTool(TLookupTool::ltCalendarDate);
    EXPECT_FALSE(d->ReadOnly());
    d->Editor().SetFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.Data.FieldByName("ADMISSION_DATE")->EditMask(), "!99/99/9999;1; ");
}

TEST(ComboCalendarTools, ABlankDateMakesTheFieldNull)
{
    Form f;
    auto* d = f.CalendarCombo("cboDate", "ADMISSION_DATE", TLookupTool::ltCalendarDate);
    d->Editor().SetFocus();
    QApplication::processEvents();
    f.Data.Edit();
    d->DBEdit().SetEditText("  /  /    ");
    ASSERT_EQ(d->Editor().EditText(), "  /  /    ");
    Keys::Press(d->DBEdit(), Qt::Key_Shift);
    EXPECT_TRUE(f.Data.FieldByName("ADMISSION_DATE")->IsNull());

    // Browsing: the field keeps its value.
    f.Data.Cancel();
    d->DBEdit().SetEditText("  /  /    ");
    Keys::Press(d->DBEdit(), Qt::Key_Shift);
    EXPECT_FALSE(f.Data.FieldByName("ADMISSION_DATE")->IsNull());
}

// A browsing dataset goes into edit state on the first key; the key then
// works on the selection and caret the user saw, not on a text shown again
// with the caret at its start.
TEST(ComboCalendarTools, KeysInBrowseStateWorkOnTheDateTheUserSelected)
{
    struct Case
    {
        const char* Desc;
        std::function<void(QWidget&)> Keys;
        const char* EditText;
        const char* Stored; // the field's text after leaving; "" for Null
    };
    const Case cases[] = {
        {"select all, Delete, then any key",
         [](QWidget& w) {
             Keys::SelectAll(w);
             Keys::Press(w, Qt::Key_Delete);
             Keys::Press(w, Qt::Key_Shift);
         },
         "  /  /    ", ""},
        {"select all, type a new date",
         [](QWidget& w) {
             Keys::SelectAll(w);
             Keys::Type(w, "04012025");
         },
         "04/01/2025", "04/01/2025"},
        {"caret before the day's first digit, type",
         [](QWidget& w) {
             Keys::CaretTo(w, 3);
             Keys::Type(w, "2");
         },
         "03/25/2024", "03/25/2024"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Form f;
        auto* d = f.CalendarCombo("cboDate", "ADMISSION_DATE", TLookupTool::ltCalendarDate);
        d->Editor().SetFocus();
        QApplication::processEvents();
        ASSERT_EQ(f.Data.State(), dsBrowse);
        ASSERT_EQ(d->Editor().EditText(), "03/15/2024");
        c.Keys(d->DBEdit());
        EXPECT_EQ(f.Data.State(), dsEdit);
        EXPECT_EQ(d->Editor().EditText(), c.EditText);
        f.After->SetFocus();
        QApplication::processEvents();
        TField* field = f.Data.FieldByName("ADMISSION_DATE");
        EXPECT_EQ(field->IsNull(), *c.Stored == 0);
        EXPECT_EQ(field->Text(), c.Stored);
        f.Data.Post();
        EXPECT_EQ(field->Text(), c.Stored);
    }
}

// The date-and-time tool's value text is the date, a blank, hours:minutes
// and AM or PM, focused or not; a key typed into it writes back the time the
// user sees.
TEST(ComboCalendarTools, TheDateAndTimeToolShowsHoursMinutesAndAmPm)
{
    struct Case
    {
        int Hour, Minute;
        const char* Text;
    };
    for (const Case& c : {Case{15, 5, "03/15/2024 03:05 PM"}, Case{9, 30, "03/15/2024 09:30 AM"},
                          Case{0, 0, "03/15/2024 12:00 AM"}, Case{12, 0, "03/15/2024 12:00 PM"},
                          Case{23, 59, "03/15/2024 11:59 PM"}}) {
        SCOPED_TRACE(c.Text);
        Form f;
        f.Data.Edit();
        f.Data.FieldByName("VISIT_TIME")
            ->SetAsDateTime(EncodeDate(2024, 3, 15) + EncodeTime(c.Hour, c.Minute, 0, 0));
        f.Data.Post();
        // Here the tool comes before the field (CalendarCombo sets it after).
        auto* d = f.Place<TovnDBCombo>("cboVisit");
        d->SetLookupTool(TLookupTool::ltCalendarDateTime);
        d->SetDataSource(&f.Source);
        d->SetDataField("VISIT_TIME");
        EXPECT_EQ(d->Editor().EditText(), c.Text) << "not focused";
        d->Editor().SetFocus();
        QApplication::processEvents();
        EXPECT_EQ(f.Data.FieldByName("VISIT_TIME")->EditMask(), "!99/99/9999 !99:99 >ll;1; ");
        EXPECT_EQ(d->Editor().EditText(), c.Text) << "focused, under the tool's mask";
        EXPECT_EQ(d->GetValue(), c.Text);
        f.After->SetFocus();
        QApplication::processEvents();
        EXPECT_EQ(d->Editor().EditText(), c.Text) << "left unchanged";
        EXPECT_EQ(f.Data.State(), dsBrowse);
    }

    // One key into the hours, then one into AM/PM: each leaves the time shown.
    Form f;
    auto* d = f.CalendarCombo("cboVisit", "VISIT_TIME", TLookupTool::ltCalendarDateTime);
    TField* field = f.Data.FieldByName("VISIT_TIME");
    const auto typeAt = [&](int Position, const char* Text) {
        d->Editor().SetFocus();
        QApplication::processEvents();
        Keys::CaretTo(d->DBEdit(), Position);
        Keys::Type(d->DBEdit(), Text);
        f.After->SetFocus();
        QApplication::processEvents();
    };
    typeAt(12, "4");
    EXPECT_EQ(d->Editor().EditText(), "03/15/2024 04:05 PM");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", field->AsDateTime()), "2024-03-15 16:05");
    typeAt(17, "a");
    EXPECT_EQ(d->Editor().EditText(), "03/15/2024 04:05 AM");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", field->AsDateTime()), "2024-03-15 04:05");
    f.Data.Post();
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", field->AsDateTime()), "2024-03-15 04:05");

    // A Null value shows the mask's blanks.
    f.Data.Edit();
    field->Clear();
    EXPECT_EQ(d->Editor().EditText(), "  /  /       :     ");
    f.Data.Cancel();
}

// A day and time picked in the calendar go into the field as shown. The
// calendar took the focus, so the pick is written only when the combo is
// left; entering the combo again (which gives the field its mask) keeps it.
TEST(ComboCalendarTools, ADateAndTimePickedInTheCalendarIsKeptUntilWritten)
{
    Form f;
    auto* d = f.CalendarCombo("cboVisit", "VISIT_TIME", TLookupTool::ltCalendarDateTime);
    TField* field = f.Data.FieldByName("VISIT_TIME");
    d->Editor().SetFocus();
    QApplication::processEvents();
    ASSERT_EQ(field->EditMask(), "!99/99/9999 !99:99 >ll;1; ");
    f.Data.Edit();
    TCalendarHandler previous =
        SetControllerCalendar([](TCustomEdit* Edit, TLookupTool Tool) { return runCalendar(Edit, Tool); });
    auto picked = WhenModal<TfrmCalendar>([](TfrmCalendar& c) {
        c.cal->setSelectedDate(QDate(2024, 3, 20));
        c.edtTime->SetText("10:30 am");
        c.btnOk->click();
    });
    d->Lookup();
    EXPECT_TRUE(*picked);
    SetControllerCalendar(previous);
    EXPECT_EQ(d->Editor().EditText(), "03/20/2024 10:30 AM");
    f.Window.activateWindow();
    d->Editor().SetFocus();
    QApplication::processEvents();
    EXPECT_EQ(d->Editor().EditText(), "03/20/2024 10:30 AM");
    f.After->SetFocus();
    QApplication::processEvents();
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", field->AsDateTime()), "2024-03-20 10:30");
    EXPECT_EQ(d->Editor().EditText(), "03/20/2024 10:30 AM");
    f.Data.Post();
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", field->AsDateTime()), "2024-03-20 10:30");
}

TEST(ComboCalendarTools, TheAppletsCalendarElseTheControllersElseTheSpelledError)
{
    Form f;
    auto* c = f.Place<TovnCombo>("cboWhen");
    c->SetLookupTool(TLookupTool::ltCalendarDate);
    TCallLog log;
    TRecordingApplet applet(log);
    int after = 0;
    c->AfterLookupExecuted = [&](TObject*) { ++after; };

    // Cancelled: nothing fires and the focus stays.
    c->Applet = &applet;
    applet.CalendarAnswer = false;
    c->Editor().SetFocus();
    c->Lookup();
    EXPECT_EQ(log.Calls, std::vector<std::string>{"Calendar"});
    EXPECT_EQ(after, 0);
    EXPECT_EQ(QApplication::focusWidget(), c->Editor().Widget());

    applet.CalendarAnswer = true;
    c->Lookup();
    EXPECT_EQ(after, 1);
    EXPECT_EQ(QApplication::focusWidget(), f.After);

    // No applet: the controller's, when one registered.
    c->Applet = nullptr;
    int controllerCalls = 0;
    TCalendarHandler previous = SetControllerCalendar([&](TCustomEdit* Edit, TLookupTool Tool) {
        ++controllerCalls;
        EXPECT_EQ(Edit, &c->Editor());
        EXPECT_EQ(Tool, TLookupTool::ltCalendarDate);
        return false;
    });
    c->Lookup();
    EXPECT_EQ(controllerCalls, 1);
    SetControllerCalendar(nullptr);

    const std::string tail =
        "\n\rComponent name: cboWhen\n\rException text: \n\rNo controller calendar is registered";
    EXPECT_EQ(ErrorOf<EovnCombo>([&] { c->Lookup(); }), "Could not use calendar" + tail);
    c->SetLookupTool(TLookupTool::ltCalendarPeriod);
    EXPECT_EQ(ErrorOf<EovnCombo>([&] { c->Lookup(); }), "Could not use Calendar" + tail);
    c->SetLookupTool(TLookupTool::ltCalendarDateTime);
    EXPECT_EQ(ErrorOf<EovnCombo>([&] { c->Lookup(); }), "Could not use Calendar" + tail);

    auto* d = new TovnDBCombo(&f.Window);
    d->SetName("cboData");
    d->SetLookupTool(TLookupTool::ltCalendarPeriod);
    EXPECT_EQ(
        ErrorOf<EovnDbCombo>([&] { d->Lookup(); }),
        "Could not use calendar\n\rComponent name: cboData\n\rException text: \n\rNo controller calendar is "
        "registered");
    SetControllerCalendar(previous);
}

// Answers the next quick-type popup with Text and Result (100 accepted);
// Window (when given) tells afterwards whether a lookup window opened after
// the popup, which it cancels.
std::shared_ptr<bool> AnswerPopup(const std::string& Text, int Result = 100,
                                  std::shared_ptr<bool>* Window = nullptr)
{
    auto window = std::make_shared<bool>(false);
    if (Window)
        *Window = window;
    return WhenModal<TfrmDataEntry>([Text, Result, window](TfrmDataEntry& p) {
        EXPECT_EQ(frmDataEntry, &p);
        p.Edt->SetText(Text);
        // Armed now: the window can only open once the popup is gone.
        QTimer::singleShot(0, [window] {
            if (auto* w = dynamic_cast<TfrmDBCombo*>(QApplication::activeModalWidget())) {
                *window = true;
                w->btnCancel->click();
            }
        });
        if (Result == 100)
            Keys::Enter(*p.Edt);
        else
            Keys::Escape(*p.Edt);
    });
}

TEST(ComboQuickType, TheFixedListTakesExactCodesAndKeepsTheTypedSpelling)
{
    Form f;
    auto* c = f.Place<TovnCombo>("cboCode");
    c->LookupItems().SetText("ab First\nxy Second");
    c->SetLookupCut(2);
    int after = 0;
    c->AfterLookupExecuted = [&](TObject*) { ++after; };
    std::vector<char32_t> pressed;
    c->OnKeyPress = [&](TObject* Sender, char32_t& Key) {
        EXPECT_EQ(Sender, c);
        pressed.push_back(Key);
    };
    c->Editor().SetFocus();

    std::shared_ptr<bool> window;
    auto popup = AnswerPopup("ab", 100, &window);
    Keys::Type(c->MaskEdit(), "a");
    ASSERT_TRUE(*popup);
    EXPECT_FALSE(*window) << "found: no lookup window";
    EXPECT_EQ(c->Text(), "ab");
    EXPECT_EQ(after, 1);
    EXPECT_EQ(pressed, std::vector<char32_t>{U'a'});
    EXPECT_EQ(frmDataEntry, nullptr) << "the popup is released";
    EXPECT_EQ(c->SavedFilter(), "");
    EXPECT_EQ(c->Hint(), "First") << "the editor's text names its line";

    // AB is not ab: the lookup window opens (and is cancelled).
    c->Editor().SetFocus();
    popup = AnswerPopup("AB", 100, &window);
    Keys::Type(c->MaskEdit(), "A");
    ASSERT_TRUE(*popup);
    EXPECT_TRUE(*window);
    EXPECT_EQ(c->Text(), "ab");
    EXPECT_EQ(after, 1);

    // A cancelled popup does nothing more.
    popup = AnswerPopup("xy", 0, &window);
    Keys::Type(c->MaskEdit(), "x");
    ASSERT_TRUE(*popup);
    EXPECT_FALSE(*window);
    EXPECT_EQ(c->Text(), "ab");

    // "{" (123) and control characters open nothing; they still reach OnKeyPress.
    pressed.clear();
    popup = AnswerPopup("");
    Keys::Type(c->MaskEdit(), "{");
    Keys::Press(c->MaskEdit(), Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
    EXPECT_FALSE(*popup);
    EXPECT_EQ(pressed.front(), U'{');
}

TEST(ComboQuickType, ALookupDatasetIsFilteredByTheKeyAndGivenItsFilterBack)
{
    Form f;
    TNembraDataSet lookup;
    lookup.FieldDefs().Add("COUNTER", ftInteger, 0);
    lookup.FieldDefs().Add("CODE", ftString, 10);
    lookup.FieldDefs().Add("NAME", ftString, 40);
    lookup.Open();
    for (auto [n, code, name] :
         {std::tuple{1, "OAK", "Oak Grove"}, {2, "RIV", "Riverside"}, {3, "ELM", "Elm"}}) {
        lookup.Append();
        lookup.FieldByName("COUNTER")->SetAsInteger(n);
        lookup.FieldByName("CODE")->SetAsString(code);
        lookup.FieldByName("NAME")->SetAsString(name);
        lookup.Post();
    }
    lookup.SetFilter("COUNTER > 0");
    lookup.SetFiltered(false);

    auto* c = f.Place<TovnCombo>("cboHome");
    c->SetLookupDataset(&lookup);
    c->SetLookupField("CODE");
    c->LookupExtraFields().SetText("NAME\n\nCOUNTER");
    struct Case
    {
        const char* what;
        const char* field;
        std::string typed;
        bool found;
        std::vector<std::string> extras;
        // The filter afterwards: the check gives it back; the lookup window
        // then opened for what was not found leaves its quick filter on the
        // typed text in force (none for a text the filter cannot hold).
        std::string filter;
        bool filtered;
    };
    const std::vector<Case> cases = {
        {"a matching code", "CODE", "RIV", true, {"Riverside", "", "2"}, "COUNTER > 0", false},
        {"no row", "CODE", "XXX", false, {}, "CODE >= \"XXX\"", true},
        {"a double quote", "CODE", "R\"IV", false, {}, "", false},
        {"text on an integer key", "COUNTER", "ab", false, {}, "", false},
        {"a number on an integer key", "COUNTER", "3", true, {"Elm", "", "3"}, "COUNTER > 0", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        lookup.SetFilter("COUNTER > 0");
        lookup.SetFiltered(false);
        c->SetLookupField(k.field);
        c->SetText("");
        c->LookupExtraValues().Clear();
        std::shared_ptr<bool> window;
        auto popup = AnswerPopup(k.typed, 100, &window);
        c->Editor().SetFocus();
        Keys::Type(c->MaskEdit(), "r");
        ASSERT_TRUE(*popup);
        EXPECT_EQ(*window, !k.found) << "nothing found: the lookup window";
        EXPECT_EQ(c->Text(), k.found ? k.typed : "");
        std::vector<std::string> extras;
        for (int i = 0; i < c->LookupExtraValues().Count(); ++i)
            extras.push_back(c->LookupExtraValues()[i]);
        EXPECT_EQ(extras, k.extras);
        EXPECT_EQ(lookup.Filter(), k.filter);
        EXPECT_EQ(lookup.Filtered(), k.filtered);
    }

    // A check that raises still gives the filter back.
    lookup.SetFilter("COUNTER > 0");
    lookup.SetFiltered(false);
    c->SetLookupField("CODE");
    c->LookupExtraFields().SetText("NO_SUCH_FIELD");
    TBoundaryErrors errors;
    auto popup = AnswerPopup("OAK");
    c->Editor().SetFocus();
    Keys::Type(c->MaskEdit(), "o");
    ASSERT_TRUE(*popup);
    ASSERT_EQ(errors.Reports.size(), 1u) << "the error reaches the boundary";
    EXPECT_NE(errors.Reports[0].find("NO_SUCH_FIELD"), std::string::npos) << errors.Reports[0];
    EXPECT_EQ(lookup.Filter(), "COUNTER > 0");
    EXPECT_FALSE(lookup.Filtered());

    // A destroyed dataset is forgotten.
    {
        TNembraDataSet gone;
        c->SetLookupDataset(&gone);
        EXPECT_EQ(c->LookupDataset(), &gone);
    }
    EXPECT_EQ(c->LookupDataset(), nullptr);
}

TEST(ComboKeys, BackspaceInAReadOnlyLookupComboClearsKeyDisplayAndExtras)
{
    Form f;
    auto* c = f.Place<TovnDBLookupCombo>("cboFacility");
    c->SetDataSource(&f.Source);
    c->SetDataField("C_FACILITY");
    c->SetDataDisplayField("FACILITY_NAME");
    c->LookupExtraFields().SetText("STATE\n\nFACILITY");
    c->LookupExtraValues().SetText("OR\nx\nOAK");
    int after = 0;
    c->AfterLookupExecuted = [&](TObject*) { ++after; };
    c->Editor().SetFocus();
    Keys::Backspace(c->DisplayEdit());
    EXPECT_EQ(f.Data.State(), dsEdit);
    EXPECT_TRUE(f.Data.FieldByName("C_FACILITY")->AsString().empty());
    EXPECT_EQ(c->DisplayEdit().Text(), "");
    EXPECT_EQ(c->LookupExtraValues().Count(), 2);
    EXPECT_EQ(c->LookupExtraValues()[0], "");
    EXPECT_EQ(after, 1);
}

struct PlusFixture
{
    Form f;
    TCallLog log;
    TRecordingStack stack{log};
    TRecordingApplet applet{log};
    TovnDBLookupCombo* c;
    PlusFixture()
    {
        c = f.Place<TovnDBLookupCombo>("cboFacility");
        c->SetDataSource(&f.Source);
        c->SetDataField("C_FACILITY");
        c->SetDataDisplayField("FACILITY_NAME");
        c->SetLookupDisplayField("FACILITY_NAME");
        c->SetPlusResource("FACILITIES");
        c->SetPlusReturnFrom("MANAGER");
        c->Applet = &applet;
    }
};

TEST(ComboPlus, CallsTheStackInOrderThenTheApplet)
{
    PlusFixture p;
    {
        TStackRegistration registered(&p.stack);
        p.c->Plus();
        EXPECT_EQ(p.log.Calls,
                  (std::vector<std::string>{"CheckInit", "InitStack", "Write 0 Manager FACILITY_NAME",
                                            "Write 7 MANAGER cboFacility", "RunApplet FACILITIES 1 []"}));
        EXPECT_EQ(p.stack.Sender, &p.f.Window);

        // OnPlusPrepare may change the resource, the return name and the mode.
        p.log.Calls.clear();
        p.stack.Sender = nullptr;
        p.c->OnPlusPrepare = [](TObject*, bool&, std::string& Resource, std::string& ReturnFrom, int& Mode) {
            Resource = "HOMES";
            ReturnFrom = "edtHome";
            Mode = 2;
        };
        p.c->Plus();
        EXPECT_EQ(p.log.Calls,
                  (std::vector<std::string>{"CheckInit", "InitStack", "Write 7 edtHome cboFacility",
                                            "RunApplet HOMES 2 []"}));
        EXPECT_EQ(p.c->PlusResource(), "HOMES");

        // Not a template slave, or DoPlus refused: nothing.
        p.log.Calls.clear();
        p.c->TemplateSlave = false;
        p.c->Plus();
        p.c->TemplateSlave = true;
        p.c->OnPlusPrepare = [](TObject*, bool& DoPlus, std::string&, std::string&, int&) { DoPlus = false; };
        p.c->Plus();
        EXPECT_TRUE(p.log.Calls.empty());
        p.c->OnPlusPrepare = nullptr;

        // No applet: the guarded error after the stack calls.
        p.stack.Sender = nullptr;
        p.c->Applet = nullptr;
        EXPECT_EQ(
            ErrorOf<EovnDBLookupCombo>([&] { p.c->Plus(); }),
            "Could not use stack\n\rComponent name: cboFacility\n\rException text: \n\rNo applet is set for "
            "this control");
        EXPECT_EQ(p.log.Calls, (std::vector<std::string>{"CheckInit", "InitStack",
                                                         "Write 7 edtHome cboFacility", "DropPlus"}));
    }
    EXPECT_EQ(ErrorOf<EovnDBLookupCombo>([&] { p.c->Plus(); }),
              "Could not use stack\n\rComponent name: cboFacility\n\rException text: \n\rNo command stack is "
              "registered");

    // The combos send no Manager command and raise their own class.
    TovnDBCombo* d = new TovnDBCombo(&p.f.Window);
    d->SetName("cboData");
    d->SetPlusReturnFrom("MANAGER");
    d->SetPlusResource("X");
    EXPECT_EQ(ErrorOf<EovnDbCombo>([&] { d->Plus(); }),
              "Could not use stack\n\rComponent name: cboData\n\rException text: \n\rNo command stack is "
              "registered");
    TStackRegistration registered(&p.stack);
    p.log.Calls.clear();
    d->Applet = &p.applet;
    d->Plus();
    EXPECT_EQ(p.log.Calls, (std::vector<std::string>{"CheckInit", "InitStack", "Write 7 MANAGER cboData",
                                                     "RunApplet X 1 []"}));
}

TEST(ComboPlus, TheInformationButtonOpensTheAppletOnTheQuotedKey)
{
    PlusFixture p;
    p.c->InfoButtonControl().Click();
    EXPECT_EQ(p.log.Calls, std::vector<std::string>{"RunApplet FACILITIES 3 [\"1\"]"});
    p.log.Calls.clear();
    p.c->Applet = nullptr;
    p.c->ShowInfo();
    p.c->Applet = &p.applet;
    p.c->SetInfoButton(false);
    p.c->ShowInfo();
    p.c->SetInfoButton(true);
    p.c->SetPlusResource("  ");
    p.c->ShowInfo();
    EXPECT_TRUE(p.log.Calls.empty()) << "no applet, no button, or a blank resource: nothing";
}

TEST(ComboGlyphs, RestoreGlyphsTellsWhetherAGlyphWasSetAndRestoresThePictures)
{
    Form f;
    auto* c = f.Place<TovnDBLookupCombo>("cbo");
    EXPECT_EQ(c->RestoreGlyphs(), "[Dont Store]");
    c->SetGlyphPlus(QImage(4, 4, QImage::Format_ARGB32));
    EXPECT_EQ(c->RestoreGlyphs(), "[Store]");
    EXPECT_EQ(c->GlyphPlus().size(), QSize(4, 4)) << "the bitmap goes to the button's glyph";
    c->LookupButton().SetPngPicture(nullptr);
    c->SetRestoreGlyphs("anything");
    EXPECT_NE(c->LookupButton().PngPicture(), nullptr);

    auto* u = new TovnCombo(&f.Window);
    u->SetGlyphLookup(QImage(4, 4, QImage::Format_ARGB32));
    EXPECT_EQ(u->RestoreGlyphs(), "[Dont Store]") << "the unbound combo's glyph setters do nothing";
}

} // namespace
