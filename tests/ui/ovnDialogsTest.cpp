// The input box, the calendar picker and the BLOB viewer, driven through
// their modal loops.

#include "ui/ViewBLOB.h"
#include "ui/ovnBox.h"
#include "ui/ovnCalendar.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DBCtrls.h"
#include "platform/DataSource.h"
#include "platform/DateUtils.h"
#include "platform/Fields.h"
#include "support/DialogScript.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCalendarWidget>
#include <QPushButton>

#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Table "Docs": ID Integer, BORN Date, NOTES Memo, TITLE String(30), N Integer.
struct DocsData
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    explicit DocsData(const Variant& notes)
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Docs");
        t->Columns().AddColumn("ID", cdtInteger);
        t->Columns().AddColumn("BORN", cdtDate);
        t->Columns().AddColumn("NOTES", cdtMemo);
        t->Columns().AddColumn("TITLE", cdtString, 30);
        t->Columns().AddColumn("N", cdtInteger);
        t->BeginUpdate();
        TKldDataRow* row = t->New();
        row->SetAsVariant("ID", 1);
        row->SetAsVariant("BORN", Variant::FromDate(EncodeDate(2020, 2, 29)));
        row->SetAsVariant("NOTES", notes);
        row->SetAsVariant("TITLE", "Title");
        t->Insert(row);
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Docs");
        Ds.Open();
        Source.SetDataSet(&Ds);
    }
    ~DocsData()
    {
        Source.SetDataSet(nullptr);
        Ds.Close();
    }
};

TEST(ovnInputBox, CancelledAndAcceptedByEnter)
{
    std::string value = "start";
    auto shown = WhenModal<TfrmInputQuery>([](TfrmInputQuery& f) {
        EXPECT_EQ(f.windowTitle().toStdString(), "Title");
        EXPECT_EQ(f.lbl->Caption(), "Prompt");
        EXPECT_EQ(f.edt->Text(), "start");
        f.edt->SetText("typed");
        f.btnCancel->click();
    });
    EXPECT_FALSE(ovnInputBox("Title", "Prompt", value));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(value, "start");

    shown = WhenModal<TfrmInputQuery>([](TfrmInputQuery& f) {
        f.edt->SetText("typed");
        Keys::Enter(*f.edt);
        EXPECT_EQ(f.Tag, 100);
    });
    EXPECT_TRUE(ovnInputBox("Title", "Prompt", value));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(value, "typed");
}

TEST(runCalendar, OkWritesByTool)
{
    struct Case
    {
        TLookupTool Tool;
        const char* Mask;
        const char* Text;
    };
    const Case cases[] = {
        {TLookupTool::ltCalendarPeriod, "", "2024/03"},
        {TLookupTool::ltCalendarDate, "", "03/15/2024"},
        {TLookupTool::ltCalendarDate, "!99/99/9999;1; ", "03/15/2024"},
        {TLookupTool::ltCalendarDateTime, "", "03/15/2024 10:30 AM"},
        {TLookupTool::ltNone, "", "kept"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        TMaskEdit edit;
        edit.SetEditMask(c.Mask);
        edit.SetText("kept");
        auto shown = WhenModal<TfrmCalendar>([&](TfrmCalendar& f) {
            EXPECT_EQ(f.windowTitle().toStdString(), "Calendar");
            EXPECT_EQ(f.cal->selectedDate(), QDate::currentDate());
            EXPECT_EQ(f.edtTime->isVisibleTo(&f), c.Tool == TLookupTool::ltCalendarDateTime);
            f.cal->setSelectedDate(QDate(2024, 3, 15));
            f.edtTime->SetText("10:30 am");
            f.btnOk->click();
            EXPECT_EQ(f.Tag, 200);
        });
        EXPECT_TRUE(runCalendar(&edit, c.Tool));
        EXPECT_TRUE(*shown);
        EXPECT_EQ(edit.Text(), c.Text);
    }
}

TEST(runCalendar, TimeEditStartsWithTheCurrentTimeInItsMask)
{
    TMaskEdit edit;
    std::string time;
    auto shown = WhenModal<TfrmCalendar>([&](TfrmCalendar& f) { time = f.edtTime->Text(); });
    EXPECT_FALSE(runCalendar(&edit, TLookupTool::ltCalendarDateTime));
    ASSERT_EQ(time.size(), 8u);
    EXPECT_EQ(time[2], ':');
    EXPECT_TRUE(time.substr(6) == "AM" || time.substr(6) == "PM") << time;
    EXPECT_NE(time.find_first_of("0123456789"), std::string::npos);
}

TEST(runCalendar, CancelEscapeAndViewOnly)
{
    TMaskEdit edit;
    edit.SetText("kept");
    auto shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) {
        f.cal->setSelectedDate(QDate(2024, 3, 15));
        Keys::Escape(f);
    });
    EXPECT_FALSE(runCalendar(&edit, TLookupTool::ltCalendarDate));
    EXPECT_EQ(edit.Text(), "kept");

    shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) {
        EXPECT_TRUE(f.ViewOnly());
        EXPECT_FALSE(f.btnOk->isVisibleTo(&f));
        EXPECT_FALSE(f.btnClear->isVisibleTo(&f));
        EXPECT_EQ(f.btnCancel->text().toStdString(), "Close");
        Keys::Enter(f);
        EXPECT_TRUE(f.isVisible()) << "Enter chooses nothing without an edit";
        emit f.cal->activated(QDate(2024, 3, 15));
        EXPECT_TRUE(f.isVisible());
        f.btnCancel->click();
        EXPECT_EQ(f.Tag, 0);
    });
    EXPECT_FALSE(runCalendar(nullptr, TLookupTool::ltCalendarDate));
    EXPECT_TRUE(*shown);

    // A double click on a day chooses while OK shows.
    shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) {
        f.cal->setSelectedDate(QDate(2024, 3, 15));
        emit f.cal->activated(QDate(2024, 3, 15));
    });
    EXPECT_TRUE(runCalendar(&edit, TLookupTool::ltCalendarDate));
    EXPECT_EQ(edit.Text(), "03/15/2024");
}

TEST(runCalendar, ClearWritesTheBlankTextAndTheMask)
{
    struct Case
    {
        TLookupTool Tool;
        const char* EditText;
        const char* Mask;
    };
    const Case cases[] = {
        {TLookupTool::ltCalendarDate, "  /  /    ", "!99/99/9999;1; "},
        {TLookupTool::ltCalendarDateTime, "  /  /       :     ", "!99/99/9999 !99:99 >ll;1; "},
        {TLookupTool::ltCalendarPeriod, "    /  ", "!9999/99;1; "},
        {TLookupTool::ltNone, "kept", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        TMaskEdit edit;
        edit.SetText("kept");
        auto shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) {
            f.btnClear->click();
            EXPECT_EQ(f.Tag, 100);
        });
        EXPECT_TRUE(runCalendar(&edit, c.Tool));
        EXPECT_EQ(edit.EditMask(), c.Mask);
        EXPECT_EQ(edit.EditText(), c.EditText);
    }
}

TEST(runCalendar, ClearOnADataEditMakesTheFieldNull)
{
    DocsData data("notes");
    TDBEdit edit;
    edit.SetDataSource(&data.Source);
    edit.SetDataField("BORN");
    ASSERT_FALSE(data.Ds.FieldByName("BORN")->IsNull());
    auto shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) { f.btnClear->click(); });
    EXPECT_TRUE(runCalendar(&edit, TLookupTool::ltCalendarDate));
    TField* born = data.Ds.FieldByName("BORN");
    EXPECT_TRUE(born->IsNull());
    EXPECT_EQ(born->EditMask(), "!99/99/9999;1; ");
    EXPECT_EQ(edit.EditText(), "  /  /    ");
    data.Ds.Cancel();
}

TEST(ShowBlob, AcceptedFieldsAndActions)
{
    DocsData data("memo text");
    struct Case
    {
        const char* Field;
        bool Accepted;
    };
    for (const Case& c : {Case{"NOTES", true}, Case{"TITLE", true}, Case{"N", false}, Case{"BORN", false}}) {
        SCOPED_TRACE(c.Field);
        TField* field = data.Ds.FieldByName(c.Field);
        EXPECT_EQ(BlobViewAccepts(field), c.Accepted);
        auto shown = WhenModal<TfrmBlobView>([&](TfrmBlobView& f) {
            EXPECT_EQ(f.actSaveToFile->isEnabled(), c.Accepted);
            EXPECT_EQ(f.actShowAsText->isEnabled(), c.Accepted);
            EXPECT_EQ(f.actShowAsImage->isEnabled(), c.Accepted);
            EXPECT_TRUE(f.actShowAsText->isChecked());
            EXPECT_EQ(f.Memo->Text(), c.Accepted ? field->AsString() : "");
        });
        ShowBlob(field);
        EXPECT_TRUE(*shown);
    }
    EXPECT_FALSE(BlobViewAccepts(nullptr));
}

TEST(ShowBlob, ClosedDataSetShowsAnEmptyViewer)
{
    DocsData data("memo text");
    TKldDataSet closed;
    closed.SetDataContainer(&data.Container);
    closed.SetDataTableName("Docs");
    TMemoField notes;
    notes.SetFieldName("NOTES");
    notes.SetDataSet(&closed);
    auto shown = WhenModal<TfrmBlobView>([](TfrmBlobView& f) {
        EXPECT_EQ(f.Field(), nullptr);
        EXPECT_FALSE(f.actSaveToFile->isEnabled());
        EXPECT_EQ(f.Memo->Text(), "");
    });
    ShowBlob(&notes);
    EXPECT_TRUE(*shown);
    notes.SetDataSet(nullptr);
}

TEST(ShowBlob, SavesByteForByteAndNullSavesNothing)
{
    TTempFolder tmp;
    const std::string text = "line one\r\nline two \xC3\xA9\n\tend";
    DocsData data(text);
    TfrmBlobView view;
    view.SetField(data.Ds.FieldByName("NOTES"));
    const std::string file = tmp / "notes.txt";
    view.ExecuteSaveDialog = [&](std::string& name) {
        name = file;
        return true;
    };
    view.actSaveToFile->trigger();
    EXPECT_EQ(ReadFile(file), text);

    view.SetField(data.Ds.FieldByName("TITLE"));
    const std::string title = tmp / "title.txt";
    view.ExecuteSaveDialog = [&](std::string& name) {
        name = title;
        return true;
    };
    view.actSaveToFile->trigger();
    EXPECT_EQ(ReadFile(title), "Title");

    DocsData empty{Variant::Null()};
    view.SetField(empty.Ds.FieldByName("NOTES"));
    bool asked = false;
    view.ExecuteSaveDialog = [&](std::string&) {
        asked = true;
        return false;
    };
    view.actSaveToFile->trigger();
    EXPECT_FALSE(asked) << "a Null field saves nothing";
}

TEST(ShowBlob, UnwritableFileIsAClearError)
{
    TDialogScript script;
    script->QueueAnswer(mrOk);
    DocsData data("memo");
    TfrmBlobView view;
    view.SetField(data.Ds.FieldByName("NOTES"));
    view.ExecuteSaveDialog = [](std::string& name) {
        name = "/nonexistent-folder/x/notes.txt";
        return true;
    };
    view.actSaveToFile->trigger();
    ASSERT_EQ(script->Calls().size(), 1u);
    EXPECT_NE(script->Calls()[0].Text.find("nonexistent-folder"), std::string::npos) << script->Calls()[0].Text;
    EXPECT_EQ(view.Field(), data.Ds.FieldByName("NOTES")) << "the viewer stays";
}

} // namespace
