#include "ui/KldCollectionView.h"

#include "platform/Dialogs.h"
#include "platform/Variants.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/GuiProbe.h"
#include "ui/KldValueEditor.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

enum TWard
{
    wdBirch,
    wdOak,
    wdLinden
};

// A resident record as a host's collection holds it.
class TResident : public TCollectionItem, public IPublished
{
  public:
    std::string ClassName() const override { return "TResident"; }
    const std::string& Name() const { return m_name; }
    void SetName(const std::string& v) { m_name = v; }
    int Room() const { return m_room; }
    void SetRoom(int v) { m_room = v; }
    TWard Ward() const { return m_ward; }
    void SetWard(TWard v) { m_ward = v; }
    bool Active() const { return m_active; }
    void SetActive(bool v) { m_active = v; }

    const TPropList& PublishedProps() const override
    {
        static const TPropList props = [] {
            TPropList list;
            TPropDeclarer<TResident>(list)
                .String("Name", &TResident::Name, &TResident::SetName)
                .Integer("Room", &TResident::Room, &TResident::SetRoom)
                .Enumeration<TWard>("Ward", {"wdBirch", "wdOak", "wdLinden"}, &TResident::Ward, &TResident::SetWard)
                .Boolean("Active", &TResident::Active, &TResident::SetActive);
            return list;
        }();
        return props;
    }

  private:
    std::string m_name;
    int m_room = 0;
    TWard m_ward = wdBirch;
    bool m_active = false;
};

// A view over three residents with the columns Name, Room, Ward, Active
// and a custom column "Note" whose texts come from the events.
struct TResidentsFixture
{
    TCollection Residents{CollectionItemClass<TResident>()};
    TKldCollectionView View;
    std::vector<std::string> Changes;
    std::map<std::pair<int, int>, std::string> Notes;

    TResidentsFixture()
    {
        View.resize(400, 200);
        AddResident("Anna Berg", 12, wdOak, true);
        AddResident("Jonas Keller", 3, wdBirch, false);
        AddResident("Mira Olsen", 7, wdLinden, true);
        for (const char* name : {"Name", "Room", "Ward", "Active"})
            View.Columns().Add()->SetName(name);
        TKldColumn* note = View.Columns().Add();
        note->SetName("Note");
        note->SetCustom(true);
        View.Columns().GetColumn(3)->SetEditType(etCheck);
        for (int i = 0; i < 3; ++i)
            View.Columns().GetColumn(i)->SetEditType(etValue);
        View.OnChanged = [this](TObject*, int c, int r) { Changes.push_back(std::to_string(c) + "," + std::to_string(r)); };
        View.OnGetCellText = [this](TObject*, int c, int r, std::string& t) {
            auto it = Notes.find({c, r});
            t = it == Notes.end() ? "note " + std::to_string(r) : it->second;
        };
        View.OnSetCellText = [this](TObject*, int c, int r, std::string& t) { Notes[{c, r}] = t; };
        View.SetCollection(&Residents);
    }
    TResident* AddResident(const std::string& name, int room, TWard ward, bool active)
    {
        auto* r = static_cast<TResident*>(Residents.Add());
        r->SetName(name);
        r->SetRoom(room);
        r->SetWard(ward);
        r->SetActive(active);
        return r;
    }
    TResident* Resident(int i) { return static_cast<TResident*>(Residents.Items(i)); }
    std::string Text(int col, int row)
    {
        std::string s;
        View.DoGetCellText(col, row, s);
        return s;
    }
    void Write(int col, int row, std::string text) { View.DoSetCellText(col, row, text); }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < Residents.Count(); ++i)
            names.push_back(Resident(i)->Name());
        return names;
    }
};

TEST(CollectionView, Defaults)
{
    TKldCollectionView view;
    EXPECT_EQ(view.ShowOptions().Bits(), 0x8043);
    EXPECT_EQ(view.MarkerWidth(), 16);
    EXPECT_FALSE(view.ShowCheckText());
    EXPECT_TRUE(view.Editor().RepaintRow());
    EXPECT_EQ(view.Collection(), nullptr);
    EXPECT_EQ(view.ExtRowCount(), 0);
    EXPECT_EQ(view.GetColCount(), 0);
    EXPECT_EQ(view.GetCurrentItem(), nullptr);

}

TEST(CollectionView, LoadedKeepsRoomForAMarkerPicture)
{
    struct TProbe : TKldCollectionView
    {
        using TKldGridView::MarkerImageWidth;
    };
    TProbe drawn;
    drawn.SetRowHeight(20);
    drawn.OnDrawMarker = [](TObject*, int, const TRect&) {};
    drawn.Loaded();
    EXPECT_EQ(drawn.MarkerImageWidth(), 20);
    TProbe plain;
    plain.Loaded();
    EXPECT_EQ(plain.MarkerImageWidth(), 0);
}

TEST(CollectionView, PropertyTextsBothWays)
{
    TResidentsFixture f;
    EXPECT_EQ(f.View.GetRowCount(), 3);
    EXPECT_EQ(f.View.GetColCount(), 5);
    EXPECT_EQ(f.View.GetColCaption(1), "Room");

    struct Case
    {
        const char* Desc;
        int Col;
        std::string Written;
        std::string Error;
        std::string ReadBack;
    };
    const Case cases[] = {
        {"a string unchanged", 0, "  Ines Costa ", "", "  Ines Costa "},
        {"a number in decimal", 1, "14", "", "14"},
        {"an enumeration by its name, any case", 2, "WDLINDEN", "", "wdLinden"},
        {"a Boolean by its name", 3, "false", "", "False"},
        {"letters for a number", 1, "twelve", "Could not convert variant of type (String) into type (Integer)", "12"},
        {"an unknown enumeration value", 2, "wdElm", "Invalid property element: wdElm", "wdOak"},
        {"a Boolean as a digit", 3, "1", "Invalid property element: 1", "True"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TResidentsFixture g;
        EXPECT_EQ(ErrorOf([&] { g.Write(c.Col, 0, c.Written); }), c.Error);
        EXPECT_EQ(g.Text(c.Col, 0), c.ReadBack);
        // Every write that went through reports the change.
        EXPECT_EQ(g.Changes.size(), c.Error.empty() ? 1u : 0u);
    }
    // The custom column takes the events' path, and reports its writes too.
    EXPECT_EQ(f.Text(4, 1), "note 1");
    f.Write(4, 1, "fall risk");
    EXPECT_EQ(f.Text(4, 1), "fall risk");
    EXPECT_EQ(f.Changes, (std::vector<std::string>{"4,1"}));
}

TEST(CollectionView, AnUnknownPropertyRaisesOnEveryReadAndWrite)
{
    TResidentsFixture f;
    TKldColumn* room = f.View.Columns().GetColumn(1);
    room->SetName("Bed");
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ErrorOf([&] { f.Text(1, 0); }), "Property Bed does not exist");
        EXPECT_EQ(ErrorOf([&] { f.Write(1, 0, "3"); }), "Property Bed does not exist");
    }
    // Renamed to a property the items have, the column reads it at once.
    room->SetName("Room");
    EXPECT_EQ(f.Text(1, 0), "12");
    // A custom column or an empty name takes the events' path.
    room->SetCustom(true);
    EXPECT_EQ(f.Text(1, 0), "note 0");
    room->SetCustom(false);
    EXPECT_EQ(f.Text(1, 0), "12");
    room->SetName("");
    EXPECT_EQ(f.Text(1, 0), "note 0");
}

TEST(CollectionView, TheEditorPutsARefusedTextBack)
{
    TResidentsFixture f;
    f.View.show();
    f.View.SetCurCell(1, 0, crNoReason, true);
    TKldValueEditor& editor = f.View.Editor();
    ASSERT_TRUE(editor.Editing());
    EXPECT_EQ(editor.Text(), "12");
    editor.setText("room twelve");
    editor.setModified(true);
    EXPECT_THROW(editor.UpdateValue(), EVariantTypeCastError);
    EXPECT_EQ(editor.Text(), "12");
    EXPECT_EQ(f.Resident(0)->Room(), 12);
    editor.setText("15");
    editor.setModified(true);
    editor.UpdateValue();
    EXPECT_EQ(f.Resident(0)->Room(), 15);
}

TEST(CollectionView, ExtraRowsComeBeforeTheItems)
{
    TResidentsFixture f;
    f.View.SetExtRowCount(1);
    EXPECT_EQ(f.View.GetRowCount(), 4);
    EXPECT_EQ(f.Text(0, 0), "note 0") << "an extra row asks the events";
    EXPECT_EQ(f.Text(0, 1), "Anna Berg");
    f.View.SetCurCell(0, 2, crNoReason, true);
    EXPECT_EQ(f.View.GetCurrentItem(), f.Resident(1));
    f.View.SetCurrentItem(f.Resident(2));
    EXPECT_EQ(f.View.CurCell().Y, 3);
    f.View.SetCurCell(0, 0, crNoReason, true);
    EXPECT_EQ(f.View.GetCurrentItem(), nullptr);

    // Inserting on the extra row puts the item first among the items.
    auto* added = static_cast<TResident*>(f.View.InsertItem(false));
    EXPECT_EQ(added->Index(), 0);
    EXPECT_EQ(f.View.CurCell().Y, 1);

    // A row move maps rows to items, and the extra row stays.
    f.View.SetShowOptions(f.View.ShowOptions() + TKldListViewShowOptions{soRowMoved});
    EXPECT_TRUE(f.View.DoMoveRow(1, 4));
    EXPECT_EQ(f.Resident(3), added);
    EXPECT_FALSE(f.View.DoMoveRow(0, 2));
    EXPECT_FALSE(f.View.DoMoveRow(2, 0));
}

TEST(CollectionView, InsertItem)
{
    TResidentsFixture f;
    f.View.Columns().GetColumn(0)->SetReadOnly(true);
    std::vector<TObject*> announced;
    f.View.OnNewCollectionItem = [&](TObject* item) { announced.push_back(item); };
    f.View.SetCurCell(2, 1, crNoReason, true);

    TCollectionItem* appended = f.View.InsertItem(true);
    EXPECT_EQ(appended->Index(), 3);
    EXPECT_EQ(f.View.CurCell(), (TPoint{1, 3})) << "the first column without states";
    EXPECT_EQ(f.View.GetRowCount(), 4);

    f.View.SetCurCell(2, 1, crNoReason, true);
    f.Changes.clear();
    TCollectionItem* inserted = f.View.InsertItem(false);
    EXPECT_EQ(inserted->Index(), 1) << "at the current row";
    EXPECT_EQ(f.View.GetCurrentItem(), inserted);
    EXPECT_EQ(f.Changes, (std::vector<std::string>{"1,1"}));
    EXPECT_EQ(announced, (std::vector<TObject*>{appended, inserted}));

    // Without a collection the view grows by a row and has no item.
    TKldCollectionView bare;
    bare.resize(300, 100);
    bare.Columns().Add();
    std::vector<TObject*> none;
    bare.OnNewCollectionItem = [&](TObject* item) { none.push_back(item); };
    EXPECT_EQ(bare.InsertItem(true), nullptr);
    EXPECT_EQ(bare.GetRowCount(), 1);
    EXPECT_EQ(none, (std::vector<TObject*>{nullptr}));
    // The grid's first-row click appends the same way.
    bare.DoAddRow();
    EXPECT_EQ(bare.GetRowCount(), 2);
}

TEST(CollectionView, DeleteItemWithAndWithoutACurrentRow)
{
    TDialogScript dialogs;
    {
        TResidentsFixture f;
        f.View.SetCurCell(0, 1, crNoReason, true);
        dialogs->QueueAnswer(mrNo);
        f.View.DeleteItem("Delete this resident?");
        EXPECT_EQ(f.Residents.Count(), 3) << "No leaves the collection as it was";
        EXPECT_TRUE(f.Changes.empty());
        ASSERT_EQ(dialogs->Calls().size(), 1u);
        EXPECT_EQ(dialogs->Calls()[0].Text, "Delete this resident?");
        EXPECT_EQ(dialogs->Calls()[0].Type, mtConfirmation);
        EXPECT_EQ(dialogs->Calls()[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}));

        dialogs->QueueAnswer(mrYes);
        f.View.DeleteItem("Delete this resident?");
        EXPECT_EQ(f.Names(), (std::vector<std::string>{"Anna Berg", "Mira Olsen"}));
        EXPECT_EQ(f.View.CurCell(), (TPoint{0, 1}));
        EXPECT_EQ(f.View.GetRowCount(), 2) << "the view is recomputed";
        EXPECT_EQ(f.Changes, (std::vector<std::string>{"0,1"}));

        // Without confirmation text no box shows.
        f.View.DeleteItem("");
        EXPECT_EQ(f.Names(), (std::vector<std::string>{"Anna Berg"}));
        EXPECT_EQ(f.View.CurCell(), (TPoint{0, 0}));
    }
    {
        // No current row: nothing is deleted, the view still reports.
        TResidentsFixture f;
        f.Residents.Clear();
        f.View.Refresh();
        f.AddResident("Late", 1, wdOak, false);
        EXPECT_EQ(f.View.GetCurrentItem(), nullptr);
        f.View.DeleteItem("");
        EXPECT_EQ(f.Residents.Count(), 1);
        EXPECT_EQ(f.Changes.size(), 1u);
        EXPECT_EQ(f.View.CurCell(), (TPoint{0, 0})) << "the current cell is set again";
    }
    {
        // Deleting a given item: only one of the view's collection.
        TResidentsFixture f;
        TCollection other(CollectionItemClass<TResident>());
        TCollectionItem* stranger = other.Add();
        f.View.DeleteItem(stranger);
        EXPECT_EQ(other.Count(), 1);
        EXPECT_TRUE(f.Changes.empty());
        f.View.DeleteItem(f.Resident(2));
        EXPECT_EQ(f.Names(), (std::vector<std::string>{"Anna Berg", "Jonas Keller"}));
        EXPECT_EQ(f.Changes.size(), 1u);
    }
    {
        // Without a collection a row goes.
        TKldCollectionView bare;
        bare.SetRowCount(2);
        bare.DeleteItem("");
        EXPECT_EQ(bare.GetRowCount(), 1);
    }
    EXPECT_EQ(dialogs->PendingAnswers(), 0u);
}

TEST(CollectionView, DeletingLeavesNoPendingTextInAnotherItem)
{
    TResidentsFixture f;
    f.View.show();
    f.View.SetCurCell(0, 1, crNoReason, true);
    TKldValueEditor& editor = f.View.Editor();
    editor.setText("typed for Jonas");
    editor.setModified(true);
    // Deleting another item first writes the pending text to its own item.
    f.View.DeleteItem(f.Resident(0));
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"typed for Jonas", "Mira Olsen"}));
    // Deleting the current item drops its pending text with it.
    f.View.SetCurCell(0, 1, crNoReason, true);
    editor.setText("typed for Mira");
    editor.setModified(true);
    f.View.DeleteItem("");
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"typed for Jonas"}));
}

TEST(CollectionView, RowMoves)
{
    TResidentsFixture f;
    EXPECT_FALSE(f.View.DoMoveRow(0, 2)) << "soRowMoved is off";
    f.View.SetShowOptions(f.View.ShowOptions() + TKldListViewShowOptions{soRowMoved});
    f.View.SetCurCell(0, 0, crNoReason, true);
    bool answer = false;
    f.View.OnRowMoved = [&](TObject*, int, int) { return answer; };
    f.View.MoveRow(0, 2);
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"Anna Berg", "Jonas Keller", "Mira Olsen"}));
    EXPECT_EQ(f.View.CurCell().Y, 0) << "a refused move leaves the row where it was";
    f.View.OnRowMoved = nullptr;
    f.View.SetChanged(false);
    f.View.MoveRow(0, 2);
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"Jonas Keller", "Mira Olsen", "Anna Berg"}));
    EXPECT_EQ(f.View.CurCell().Y, 2);
    EXPECT_TRUE(f.View.Changed());
    EXPECT_FALSE(f.View.DoMoveRow(0, 3)) << "outside the rows";

    TKldCollectionView bare;
    bare.SetShowOptions(bare.ShowOptions() + TKldListViewShowOptions{soRowMoved});
    bare.SetRowCount(3);
    EXPECT_FALSE(bare.DoMoveRow(0, 1)) << "no collection";
}

TEST(CollectionView, ColumnsDriveTheGrid)
{
    TResidentsFixture f;
    TKldColumns& columns = f.View.Columns();
    columns.GetColumn(1)->SetVisible(false);
    EXPECT_EQ(f.View.GetColCount(), 4);
    EXPECT_EQ(f.View.GetColCaption(1), "Ward");
    EXPECT_EQ(f.Text(1, 0), "wdOak");
    columns.GetColumn(1)->SetVisible(true);

    columns.GetColumn(2)->SetAlignment(taCenter);
    columns.GetColumn(2)->SetColumnClick(true);
    columns.GetColumn(2)->SetSortOption(isoAsc);
    TAlignment alignment;
    bool click;
    TItemSortOption sort;
    TColumnSizingOption sizing;
    f.View.GetColProps(2, alignment, click, sort, sizing);
    EXPECT_EQ(alignment, taCenter);
    EXPECT_TRUE(click);
    EXPECT_EQ(sort, isoAsc);
    EXPECT_EQ(sizing, csoFixed);
    int left = -1;
    int width = -1;
    f.View.GetCellPlace(2, 0, left, width);
    EXPECT_EQ(left, 140);
    EXPECT_EQ(width, 70);
    f.View.GetCellPlace(9, 0, left, width);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(f.View.TotalWidth(), 350);
    columns.GetColumn(0)->SetWidth(100);
    EXPECT_EQ(f.View.TotalWidth(), 380) << "a column change recomputes the view";

    // Dragging a visible column onto another moves it in the collection.
    f.View.SetShowOptions(f.View.ShowOptions() + TKldListViewShowOptions{soColMoved});
    f.View.MoveCol(3, 0);
    EXPECT_EQ(f.View.GetColCaption(0), "Active");
    EXPECT_EQ(f.Text(0, 0), "True");

    // Assigning columns copies them.
    TKldColumns copy(nullptr);
    copy.Add()->SetWidth(33);
    f.View.SetColumns(copy);
    EXPECT_EQ(f.View.GetColCount(), 1);
    EXPECT_EQ(f.View.TotalWidth(), 33);
}

TEST(CollectionView, ColumnSizing)
{
    TResidentsFixture f;
    TKldColumns& columns = f.View.Columns();
    // Without soAutoWidth the column takes the width, unless it is not sizeable.
    f.View.SetColWidth(0, 90);
    EXPECT_EQ(columns.GetColumn(0)->Width(), 90);
    columns.GetColumn(0)->SetSizingOption(csoNone);
    f.View.SetColWidth(0, 40);
    EXPECT_EQ(columns.GetColumn(0)->Width(), 90);
    columns.GetColumn(0)->SetSizingOption(csoFixed);

    // Under soAutoWidth the edge moves between two columns: their sum stays
    // and the next keeps 16 pixels.
    f.View.SetShowOptions(f.View.ShowOptions() + TKldListViewShowOptions{soAutoWidth});
    struct Case
    {
        const char* Desc;
        int Col;
        int Width;
        int Expected;
        int NextExpected;
    };
    const Case cases[] = {
        {"narrower", 0, 60, 60, 100},
        {"wider, the next shrinks", 0, 120, 120, 40},
        {"limited by the next column's 16", 0, 500, 144, 16},
        {"the last column is not sized", 4, 30, 70, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        columns.GetColumn(0)->SetWidth(90);
        columns.GetColumn(1)->SetWidth(70);
        f.View.SetColWidth(c.Col, c.Width);
        EXPECT_EQ(columns.GetVisColumn(c.Col)->Width(), c.Expected);
        if (c.NextExpected >= 0) {
            EXPECT_EQ(columns.GetVisColumn(c.Col + 1)->Width(), c.NextExpected);
        }
    }

    // Sizing to content: nothing under soAutoWidth; without rows, 0.
    f.View.CalcWidthByContent(0);
    EXPECT_EQ(columns.GetColumn(0)->Width(), 90);
    f.View.SetShowOptions(f.View.ShowOptions() - TKldListViewShowOptions{soAutoWidth});
    f.View.CalcWidthByContent(0);
    TCanvas measure;
    measure.Font().Assign(f.View.Font());
    EXPECT_EQ(columns.GetColumn(0)->Width(), measure.TextWidth("Jonas Keller") + 8);
    f.Residents.Clear();
    f.View.Refresh();
    f.View.CalcWidthByContent(0);
    EXPECT_EQ(columns.GetColumn(0)->Width(), 0);
}

TEST(CollectionView, CellAnswersFromTheColumns)
{
    TResidentsFixture f;
    TKldColumn* name = f.View.Columns().GetColumn(0);
    name->SetTextAlignment(taRightJustify);
    name->SetColor(clYellow);
    name->SetTextColor(clRed);
    TFont font;
    TColor color = clWhite;
    TAlignment alignment = taLeftJustify;
    f.View.DoCellProps(0, 0, font, color, alignment);
    EXPECT_EQ(alignment, taRightJustify);
    EXPECT_EQ(color, clYellow);
    EXPECT_EQ(font.Color(), clRed);

    name->SetDefaultColors(true);
    color = clWhite;
    font.SetColor(clBlack);
    f.View.DoCellProps(0, 0, font, color, alignment);
    EXPECT_EQ(color, clWhite) << "the grid's own colours";
    EXPECT_EQ(font.Color(), clBlack);
    name->SetDisabled(true);
    f.View.DoCellProps(0, 0, font, color, alignment);
    EXPECT_EQ(color, clBtnFace);

    // The host's OnCellProps sees the column's answer and may change it.
    name->SetDisabled(false);
    name->SetColor(clLime);
    f.View.OnCellProps = [](TObject*, int, int, TAlignment& a, TColor& c, TFont&) {
        EXPECT_EQ(c, clLime);
        a = taCenter;
    };
    f.View.DoCellProps(0, 0, font, color, alignment);
    EXPECT_EQ(alignment, taCenter);

    // States: the column's, unless OnCellState decides; OnCellStateExt last.
    name->SetReadOnly(true);
    EXPECT_EQ(f.View.DoCellState(0, 0, {}), TKldCellStates{csReadOnly});
    EXPECT_EQ(f.View.DoCellState(0, 7, {}), (TKldCellStates{csDisabled, csEmpty})) << "no such row";
    f.View.OnCellStateExt = [](TObject*, int, int r, TKldCellStates& s) {
        if (r == 2)
            s.Include(csDisabled);
    };
    EXPECT_EQ(f.View.DoCellState(0, 2, {}), (TKldCellStates{csReadOnly, csDisabled}));

    // Edit kinds: the column's, then OnCellEditTypeExt.
    f.View.OnCellEditTypeExt = [](TObject*, int c, int, TKldEditType& t) {
        if (c == 1)
            t = etDialog;
    };
    EXPECT_EQ(f.View.DoGetCellEditType(0, 0), etValue);
    EXPECT_EQ(f.View.DoGetCellEditType(1, 0), etDialog);

    // Edit options: the column's value list and Nullable.
    TKldColumn* ward = f.View.Columns().GetColumn(2);
    ward->SetEditType(etValueListOnly);
    ward->ValueList().SetCommaText("wdBirch,wdOak,wdLinden");
    ward->SetNullable(true);
    TStringList values;
    TCellEditOptions options;
    options.ValueList = &values;
    f.View.DoCellEditOptions(2, 0, options);
    EXPECT_EQ(options.EditType, etValueListOnly);
    EXPECT_TRUE(options.Nullable);
    EXPECT_EQ(values.CommaText(), "wdBirch,wdOak,wdLinden");
}

TEST(CollectionView, DialogButton)
{
    TResidentsFixture f;
    f.View.Columns().GetColumn(0)->SetCaption("Resident");
    std::string text = "Anna";
    EXPECT_FALSE(f.View.DoCellExecDialog(0, 0, text)) << "nobody serves the dialog";

    std::vector<std::string> captions;
    DefaultExecDialogProc = [&](std::string& t, const std::string& caption) {
        captions.push_back(caption);
        t += " (checked)";
        return true;
    };
    EXPECT_TRUE(f.View.DoCellExecDialog(0, 0, text));
    EXPECT_EQ(text, "Anna (checked)");
    EXPECT_EQ(captions, (std::vector<std::string>{"Resident"}));

    f.View.OnExecDialog = [](TObject*, int, int, std::string& t) {
        t = "from the view";
        return false;
    };
    EXPECT_FALSE(f.View.DoCellExecDialog(0, 0, text)) << "the view's own handler comes first";
    EXPECT_EQ(text, "from the view");
    EXPECT_EQ(captions.size(), 1u);
    DefaultExecDialogProc = nullptr;
}

TEST(CollectionView, TheCollectionIsHeldByGuardedReference)
{
    TKldCollectionView view;
    view.resize(300, 120);
    view.Columns().Add()->SetName("Name");
    auto residents = std::make_unique<TCollection>(CollectionItemClass<TResident>());
    residents->Add();
    residents->Add();
    view.SetCollection(residents.get());
    EXPECT_EQ(view.GetRowCount(), 2);
    EXPECT_NE(view.GetCollectionItem(1), nullptr);
    EXPECT_EQ(view.GetCollectionItem(2), nullptr);
    EXPECT_EQ(view.GetCollectionItem(-1), nullptr);
    residents.reset();
    // The host broke its duty to set another collection first: the view
    // shows nothing rather than freed items.
    EXPECT_EQ(view.Collection(), nullptr);
    EXPECT_EQ(view.GetRowCount(), 0);
    EXPECT_EQ(view.GetCollectionItem(0), nullptr);
    view.Refresh();
    EXPECT_EQ(view.CurCell(), (TPoint{-1, -1}));
}

TEST(CollectionView, SettingAnotherCollectionLooksThePropertiesUpAgain)
{
    // Items of another class with a "Room" of another kind.
    class TRoom : public TCollectionItem, public IPublished
    {
      public:
        const TPropList& PublishedProps() const override
        {
            static const TPropList props = [] {
                TPropList list;
                TPropDeclarer<TRoom>(list).String(
                    "Room", [](const TRoom&) { return std::string("R-1"); }, nullptr);
                return list;
            }();
            return props;
        }
    };
    TResidentsFixture f;
    EXPECT_EQ(f.Text(1, 0), "12");
    TCollection rooms(CollectionItemClass<TRoom>());
    rooms.Add();
    f.View.SetCollection(&rooms);
    EXPECT_EQ(f.Text(1, 0), "R-1");
    EXPECT_EQ(ErrorOf([&] { f.Write(1, 0, "R-2"); }), "Property Room is read-only");
    EXPECT_EQ(ErrorOf([&] { f.Text(0, 0); }), "Property Name does not exist");
    f.View.SetCollection(&f.Residents);
    EXPECT_EQ(f.Text(1, 0), "12");
}

TEST(CollectionView, PaintsTheItems)
{
    TResidentsFixture f;
    f.View.SetShowOptions(f.View.ShowOptions() + TKldListViewShowOptions{soHeader});
    f.View.Columns().GetColumn(0)->SetColor(clYellow);
    f.View.show();
    const QImage picture = Grab(f.View);
    // The name column's cells take the column's colour (below the header).
    EXPECT_EQ(PixelOf(picture, 5, 21 + 17 + 1), clYellow);
    EXPECT_EQ(PixelOf(picture, 75, 21 + 17 + 1), ColorToRGB(clWindow));
}

} // namespace
