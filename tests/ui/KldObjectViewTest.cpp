#include "ui/KldObjectView.h"

#include "support/ErrorOf.h"
#include "support/GuiProbe.h"
#include "ui/KldValueEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Rows(TKldObjectView& view)
{
    std::vector<std::string> rows;
    for (int r = 0; r < view.GetRowCount(); ++r)
        rows.push_back(view.Props().GetVisPropItem(r)->Caption());
    return rows;
}

// A string list holding the lines of a text.
struct TLines : TStringList
{
    explicit TLines(const std::string& text) { SetText(text); }
};

std::string TextOf(TStrings& lines)
{
    std::string text;
    for (int i = 0; i < lines.Count(); ++i)
        text += (i ? "|" : "") + lines.Get(i);
    return text;
}

// Categories X (expanded), Y (collapsed) and Z (no props); props p in X,
// q in Y and r without a category.
struct TCategoriesFixture
{
    TKldObjectView View;
    TCategoriesFixture()
    {
        View.resize(300, 200);
        View.Categories().Add("X");
        View.Categories().Add("Y")->SetExpanded(false);
        View.Categories().Add("Z");
        AddProp("p", "X");
        AddProp("q", "Y");
        AddProp("r", "");
    }
    TKldPropItem* AddProp(const std::string& name, const std::string& category)
    {
        TKldPropItem* prop = View.Props().Add();
        InitProp(prop, name, name, etValue);
        prop->SetCategoryName(category);
        return prop;
    }
};

TEST(ObjectView, Defaults)
{
    TKldObjectView view;
    EXPECT_EQ(view.ShowOptions().Bits(), 0xC163);
    EXPECT_TRUE(view.ShowCheckText());
    EXPECT_EQ(view.ScrollBars(), ssVertical);
    EXPECT_EQ(view.MarkerWidth(), 16);
    EXPECT_EQ(view.NameColWidth(), 70);
    EXPECT_TRUE(view.ColAutoWidth());
    EXPECT_EQ(view.MaxColWidth(), 200);
    EXPECT_FALSE(view.Sorted());
    EXPECT_FALSE(view.ByCategory());
    EXPECT_FALSE(view.HideEmptyCategory());
    EXPECT_EQ(view.GetColCount(), 2);
    EXPECT_EQ(view.GetColCaption(0), "Property");
    EXPECT_EQ(view.GetColCaption(1), "Value");
    view.Loaded();
    EXPECT_TRUE(view.ShowOptions().Contains(soAutoWidth));
}

TEST(ObjectView, VisibleOrderUnderEachOption)
{
    struct Case
    {
        const char* Desc;
        bool ByCategory;
        bool HideEmpty;
        bool Sorted;
        std::vector<std::string> Rows;
    };
    const Case cases[] = {
        {"plain: the props in collection order", false, false, false, {"p", "q", "r"}},
        {"by category: props without one first, then each category with its open props", true, false, false,
         {"r", "X", "p", "Y", "Z"}},
        {"hiding empty categories keeps a collapsed one that has props", true, true, false, {"r", "X", "p", "Y"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TCategoriesFixture f;
        f.View.SetByCategory(c.ByCategory);
        f.View.SetHideEmptyCategory(c.HideEmpty);
        f.View.SetSorted(c.Sorted);
        EXPECT_EQ(Rows(f.View), c.Rows);
    }

    // Sorting compares captions without case, categories and props
    // together; equal captions keep their collection order.
    TKldObjectView view;
    for (const char* caption : {"beta", "Alpha", "alpha", "Gamma", "ALPHA"}) {
        TKldPropItem* prop = view.Props().Add();
        prop->SetCaption(caption);
    }
    view.SetSorted(true);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"Alpha", "alpha", "ALPHA", "beta", "Gamma"}));
    view.SetSorted(false);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"beta", "Alpha", "alpha", "Gamma", "ALPHA"}));

    TCategoriesFixture f;
    f.View.Categories().Items(0)->SetCaption("m");
    f.View.SetByCategory(true);
    f.View.SetSorted(true);
    f.AddProp("a", "X");
    TKldPropItem* c = f.AddProp("c", "X");
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"c", "r", "m", "a", "p", "Y", "Z"}))
        << "a new category name shows at the next rebuild";
    c->Changed();
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"r", "m", "a", "c", "p", "Y", "Z"}));
}

TEST(ObjectView, InvisibleItemsAndOpeningCategories)
{
    TCategoriesFixture f;
    f.View.SetByCategory(true);
    TKldCategoryItem* x = f.View.Categories().Items(0);
    TKldCategoryItem* y = f.View.Categories().Items(1);
    y->SetExpanded(true);
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"r", "X", "p", "Y", "q", "Z"}));
    x->SetVisible(false);
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"r", "Y", "q", "Z"})) << "an invisible category hides its props";
    x->SetVisible(true);
    f.View.Props().Find("q")->SetVisible(false);
    f.View.SetHideEmptyCategory(true);
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"r", "X", "p"}));
    EXPECT_TRUE(x->GetHasChild());
    EXPECT_FALSE(y->GetHasChild());

    // Without ByCategory the grouping plays no part.
    f.View.SetByCategory(false);
    x->SetExpanded(false);
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"p", "r"}));
}

TEST(ObjectView, EveryCategoryRowSpansBothColumns)
{
    TCategoriesFixture f;
    f.View.SetByCategory(true);
    f.View.SetNameColWidth(90);
    const int width = f.View.WorkWidth();
    for (int row = 0; row < f.View.GetRowCount(); ++row) {
        SCOPED_TRACE(row);
        const bool category = f.View.Props().GetVisPropItem(row)->IsCategory();
        int left = -1;
        int w = -1;
        f.View.GetCellPlace(0, row, left, w);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(w, category ? width : 90);
        f.View.GetCellPlace(1, row, left, w);
        EXPECT_EQ(left, category ? width : 90);
        EXPECT_EQ(w, category ? 0 : width - 90);
    }
    EXPECT_EQ(f.View.TotalWidth(), width);
}

TEST(ObjectView, CategoryKeysAndMarkerClicks)
{
    TCategoriesFixture f;
    f.View.SetByCategory(true);
    f.View.show();
    TKldCategoryItem* x = f.View.Categories().Items(0);
    TKldCategoryItem* y = f.View.Categories().Items(1);
    f.View.SetCurCell(1, 1, crNoReason, true); // the row of X
    ASSERT_EQ(f.View.GetSelected(), x);

    Input::Key(f.View, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_TRUE(x->Expanded()) << "with Ctrl the category stays";
    f.View.SetCurCell(1, 1, crNoReason, true);
    Input::Key(f.View, Qt::Key_Left);
    EXPECT_FALSE(x->Expanded());
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"r", "X", "Y", "Z"}));
    f.View.SetCurCell(1, 1, crNoReason, true);
    Input::Key(f.View, Qt::Key_Right);
    EXPECT_TRUE(x->Expanded());
    f.View.SetCurCell(1, 1, crNoReason, true);
    Input::Key(f.View, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_FALSE(x->Expanded());
    f.View.SetCurCell(1, 1, crNoReason, true);
    Input::Key(f.View, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_TRUE(x->Expanded());

    // A click on the marker opens and closes a category when the marker shows.
    f.View.SetShowOptions(f.View.ShowOptions() + TKldListViewShowOptions{soMarker});
    const int yRow = 3;
    ASSERT_EQ(f.View.Props().GetVisPropItem(yRow), y);
    Input::Click(f.View, 5, yRow * f.View.RowHeight() + 5);
    EXPECT_TRUE(y->Expanded());
    Input::Click(f.View, 5, yRow * f.View.RowHeight() + 5);
    EXPECT_FALSE(y->Expanded());
}

TEST(ObjectView, AddExtPrefixes)
{
    struct Case
    {
        const char* Desc;
        std::string Name;
        std::string Stripped;
        bool Expanded;
    };
    const Case cases[] = {
        {"minus: collapsed", "-Contact", "Contact", false},
        {"plus: expanded", "+Contact", "Contact", true},
        {"no prefix: expanded", "Contact", "Contact", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldObjectView view;
        std::string name = c.Name;
        TKldCategoryItem* category = view.Categories().AddExt(name);
        EXPECT_EQ(name, c.Stripped);
        EXPECT_EQ(category->Name(), c.Stripped);
        EXPECT_EQ(category->Caption(), c.Stripped);
        EXPECT_EQ(category->Expanded(), c.Expanded);
    }
    // An existing category is found (without case) and takes the prefix too.
    TKldObjectView view;
    TKldCategoryItem* first = view.Categories().Add("Contact");
    EXPECT_TRUE(first->Expanded());
    std::string name = "-CONTACT";
    EXPECT_EQ(view.Categories().AddExt(name), first);
    EXPECT_FALSE(first->Expanded());
    EXPECT_EQ(view.Categories().Count(), 1);
    // The items property's getter answers categories.
    EXPECT_FALSE(view.Categories().GetItem(0)->Expanded());
}

TEST(ObjectView, CategoryLinks)
{
    TCategoriesFixture f;
    TKldPropItem* p = f.View.Props().Find("p");
    TKldCategoryItem* x = f.View.Categories().Items(0);
    EXPECT_EQ(p->Category(), x);
    p->SetCategoryName("p");
    EXPECT_EQ(p->CategoryName(), "X") << "the prop's own name is ignored";
    p->SetCategoryName("nowhere");
    EXPECT_EQ(p->Category(), nullptr);
    p->SetCategoryName("y");
    EXPECT_EQ(p->Category(), f.View.Categories().Items(1)) << "found without case";
    p->SetCategoryName("");
    EXPECT_EQ(p->Category(), nullptr);
    x->SetCategoryName("Y");
    EXPECT_EQ(x->CategoryName(), "") << "a category has no category";

    TKldPropItem* child = f.View.Props().AddChild(x);
    EXPECT_EQ(child->Category(), x);
    EXPECT_EQ(child->CategoryName(), "X");
    TKldPropItem* orphan = f.View.Props().AddChild(p);
    EXPECT_EQ(orphan->Category(), nullptr) << "a prop is no category";
    EXPECT_TRUE(p->ParentExpanded());
    EXPECT_TRUE(child->ParentExpanded());
    x->SetExpanded(false);
    EXPECT_FALSE(child->ParentExpanded());
}

TEST(ObjectView, DeletingACategoryClearsTheLinksOfPropsThatAreNotShown)
{
    TCategoriesFixture f;
    TKldPropItem* q = f.View.Props().Find("q"); // in the collapsed Y
    TKldPropItem* hidden = f.AddProp("hidden", "Y");
    hidden->SetVisible(false);
    f.View.SetByCategory(true);
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"r", "X", "p", "Y", "Z"}));
    f.View.Categories().Delete(1);
    EXPECT_EQ(q->Category(), nullptr);
    EXPECT_EQ(hidden->Category(), nullptr);
    EXPECT_EQ(q->CategoryName(), "Y") << "the name stays";
    EXPECT_EQ(Rows(f.View), (std::vector<std::string>{"q", "r", "X", "p", "Z"}));
    // Without ByCategory too, and by clearing the whole collection.
    f.View.SetByCategory(false);
    TKldPropItem* p = f.View.Props().Find("p");
    f.View.Categories().Clear();
    EXPECT_EQ(p->Category(), nullptr);
}

TEST(ObjectView, UpdateItemSavesAndRestores)
{
    TKldObjectView view;
    TKldPropItem* prop = view.Props().Add();
    prop->SetValue("A");
    EXPECT_TRUE(prop->Modified());
    prop->SetModified(false);
    prop->UpdateItem("B", prop->States(), uvkSave);
    EXPECT_EQ(prop->Value(), "B");
    EXPECT_EQ(prop->SavedValue(), "A");
    prop->SetModified(false);
    prop->UpdateItem("anything", prop->States(), uvkRestore);
    EXPECT_EQ(prop->Value(), "A");
    EXPECT_TRUE(prop->Modified());

    // Restoring with the current value and the same states does nothing.
    prop->UpdateItem("B", prop->States(), uvkSave);
    prop->SetModified(false);
    prop->UpdateItem("B", prop->States(), uvkRestore);
    EXPECT_EQ(prop->Value(), "B");
    EXPECT_FALSE(prop->Modified());
    // Only the states change: no value change, not Modified.
    prop->UpdateItem("B", {csReadOnly}, uvkSet);
    EXPECT_TRUE(prop->ReadOnly());
    EXPECT_FALSE(prop->Modified());
    // The same states but a restore kind: the saved value comes back.
    prop->UpdateItem("C", {csReadOnly}, uvkRestore);
    EXPECT_EQ(prop->Value(), "A");
}

TEST(ObjectView, FillingFromLines)
{
    TKldObjectView view;
    TLines first("A=1\nB=\nno separator\n=empty name\n");
    view.SetPropsAsStrings(&first, false);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(view.Props().Find("A")->Value(), "1");
    EXPECT_EQ(view.Props().Find("A")->EditType(), etValue);
    EXPECT_FALSE(view.Props().Find("A")->Modified());

    TLines second("B=2\n");
    view.SetPropsAsStrings(&second, true);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"B"})) << "A is deleted";
    EXPECT_EQ(view.Props().Find("B")->Value(), "2");
    TLines third("B=\n");
    view.SetPropsAsStrings(&third, true);
    EXPECT_EQ(view.Props().Find("B")->Value(), "2") << "an empty value keeps the previous one";
    view.SetPropsAsStrings(&third, false);
    EXPECT_EQ(view.Props().Find("B")->Value(), "");

    TLines twice("Ward=Oak\nWARD=Birch\n");
    view.SetPropsAsStrings(&twice, false);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"Ward"}));
    EXPECT_EQ(view.Props().Find("ward")->Value(), "Oak") << "the first line of a name wins";

    // Custom props keep their place and value unless a line names them.
    TKldPropItem* custom = view.Props().Add();
    InitProp(custom, "Note", "Note", etValue);
    custom->SetCustom(true);
    custom->SetValue("kept");
    TLines more("Room=12\n");
    view.SetPropsAsStrings(&more, false);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"Note", "Room"}));
    EXPECT_EQ(custom->Value(), "kept");
    TLines naming("note=new\n");
    view.SetPropsAsStrings(&naming, false);
    EXPECT_EQ(custom->Value(), "new");

    // No lines: only the custom props stay.
    view.SetPropsAsStrings(nullptr, false);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"Note"}));
}

TEST(ObjectView, ReadingAsLines)
{
    TCategoriesFixture f;
    f.View.Props().Find("p")->SetValue("1");
    f.View.Props().Find("q")->SetValue("two words");
    f.View.Props().Find("r")->SetValue(" ");
    TKldPropItem* custom = f.AddProp("c", "");
    custom->SetCustom(true);
    custom->SetValue("x");
    TStringList lines;
    lines.Add("old");
    f.View.GetPropsAsStrings(lines, false);
    EXPECT_EQ(TextOf(lines), "p=1|q=two words|r= ");
    f.View.GetPropsAsStrings(lines, true);
    EXPECT_EQ(TextOf(lines), "p=1|q=two words|r= |c=x");
    // Only rows: q is in the collapsed Y.
    f.View.SetByCategory(true);
    f.View.GetPropsAsStrings(lines, true);
    EXPECT_EQ(TextOf(lines), "r= |c=x|p=1");
    // Values: every prop in collection order, shown or not.
    f.View.GetValuesAsStrings(lines, false);
    EXPECT_EQ(TextOf(lines), "p=1|q=two words|r= |c=x");
    f.View.GetValuesAsStrings(lines, true);
    EXPECT_EQ(TextOf(lines), "p=1|q=two words|c=x");
}

TEST(ObjectView, ValuesFromLines)
{
    TCategoriesFixture f;
    f.View.Props().Find("p")->SetValue("old p");
    f.View.Props().Find("q")->SetValue("old q");
    f.View.Props().Find("r")->SetValue("old r");
    for (int i = 0; i < f.View.Props().Count(); ++i)
        f.View.Props().GetPropItem(i)->SetModified(false);
    f.View.SetByCategory(true); // q is not a row, and still takes its value

    TLines lines("Q=new q\np=  \nunknown=1\n");
    f.View.SetValuesAsStrings(lines, true);
    EXPECT_EQ(f.View.Props().Find("p")->Value(), "old p") << "blank is not taken with NonEmptyOnly";
    EXPECT_EQ(f.View.Props().Find("q")->Value(), "new q");
    EXPECT_EQ(f.View.Props().Find("r")->Value(), "old r");
    f.View.SetValuesAsStrings(lines, false);
    EXPECT_EQ(f.View.Props().Find("p")->Value(), "  ");
    EXPECT_EQ(f.View.Props().Find("r")->Value(), "") << "a name without a line empties";
    EXPECT_EQ(f.View.Props().Count(), 3) << "no prop is added";
    for (int i = 0; i < f.View.Props().Count(); ++i)
        EXPECT_FALSE(f.View.Props().GetPropItem(i)->Modified());
}

TEST(ObjectView, OneTextFormRoundTrips)
{
    struct Case
    {
        const char* Desc;
        std::vector<std::pair<std::string, std::string>> Values;
        std::string Text;
    };
    const Case cases[] = {
        {"plain values", {{"A", "1"}, {"B", "x"}}, "A=1;B=x"},
        {"a space is quoted", {{"Name", "Anna Berg"}}, "\"Name=Anna Berg\""},
        {"a delimiter is quoted", {{"List", "a;b"}}, "\"List=a;b\""},
        {"a quote is doubled", {{"Q", "say \"hi\""}}, "\"Q=say \"\"hi\"\"\""},
        {"an empty value", {{"A", ""}, {"B", "2"}}, "A=;B=2"},
        {"a line break inside", {{"Memo", "one\r\ntwo"}}, "\"Memo=one\r\ntwo\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldObjectView writer;
        for (const auto& [name, value] : c.Values) {
            TKldPropItem* prop = writer.Props().Add();
            prop->SetName(name);
            prop->SetValue(value);
        }
        const std::string text = writer.GetValuesAsString(false);
        EXPECT_EQ(text, c.Text);

        TKldObjectView reader;
        for (const auto& [name, value] : c.Values)
            reader.Props().Add()->SetName(name);
        reader.SetValuesAsString(text, false);
        for (const auto& [name, value] : c.Values)
            EXPECT_EQ(reader.Props().Find(name)->Value(), value) << name;
    }
    // NonEmptyOnly on both sides.
    TKldObjectView view;
    for (const char* name : {"A", "B"})
        view.Props().Add()->SetName(name);
    view.Props().Find("A")->SetValue("1");
    EXPECT_EQ(view.GetValuesAsString(true), "A=1");
    view.SetValuesAsString("A=;B=2", true);
    EXPECT_EQ(view.Props().Find("A")->Value(), "1");
    EXPECT_EQ(view.Props().Find("B")->Value(), "2");
    // A single empty value is written as two quotes.
    TKldObjectView single;
    TKldPropItem* only = single.Props().Add();
    only->SetValue("");
    EXPECT_EQ(single.GetValuesAsString(false), "=");
}

TEST(ObjectView, HiddenProps)
{
    TKldObjectView view;
    TLines lines("ID=1\nUSERID=2\nName=Anna\nSecret=x\n");
    view.SetPropsAsStrings(&lines, false);
    view.SetHiddenProps(" userid;secret ");
    EXPECT_EQ(view.HiddenProps(), "USERID;SECRET;");
    EXPECT_TRUE(view.HiddenPropItem(*view.Props().Find("ID"))) << "ID; occurs within USERID;";
    EXPECT_TRUE(view.HiddenPropItem(*view.Props().Find("Secret")));
    EXPECT_FALSE(view.HiddenPropItem(*view.Props().Find("Name")));
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"Name"})) << "hidden props are not rows";
    TStringList values;
    view.GetValuesAsStrings(values, false);
    EXPECT_EQ(values.Count(), 4) << "the values still cover them";

    // Read-only props show only with ShowReadOnlyProps.
    view.SetHiddenProps("");
    view.Props().Find("Name")->SetReadOnly(true);
    view.Props().Find("Name")->Changed();
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"ID", "USERID", "Secret"}));
    view.SetShowReadOnlyProps(true);
    EXPECT_EQ(Rows(view), (std::vector<std::string>{"ID", "USERID", "Name", "Secret"}));

    // A category is never hidden; a prop without a name is never named.
    TKldCategoryItem* category = view.Categories().Add("ID");
    view.SetHiddenProps("ID");
    EXPECT_FALSE(view.HiddenPropItem(*category));
    TKldPropItem* nameless = view.Props().Add();
    EXPECT_FALSE(view.HiddenPropItem(*nameless));
}

TEST(ObjectView, ObjectAndReadOnly)
{
    TKldObjectView view;
    TObject object;
    view.SetObject(&object);
    EXPECT_FALSE(view.ReadOnly());
    EXPECT_EQ(view.Object(), &object);
    view.SetObject(nullptr);
    EXPECT_TRUE(view.ReadOnly());
    view.SetObject(&object);
    EXPECT_FALSE(view.ReadOnly());

    // A view loaded read-only stays so.
    TKldObjectView shown;
    shown.SetReadOnly(true);
    shown.Loaded();
    shown.SetObject(&object);
    EXPECT_TRUE(shown.ReadOnly());
    shown.SetObject(nullptr);
    EXPECT_TRUE(shown.ReadOnly());
}

TEST(ObjectView, CellAnswers)
{
    TCategoriesFixture f;
    f.View.SetByCategory(true);
    TKldPropItem* p = f.View.Props().Find("p");
    p->SetValue("value of p");
    p->SetTextAlignment(taRightJustify);
    p->SetKey(true);
    const int pRow = f.View.RowOf(p);
    ASSERT_EQ(pRow, 2);
    const int xRow = 1;

    std::string text;
    f.View.DoGetCellText(0, pRow, text);
    EXPECT_EQ(text, "p");
    f.View.DoGetCellText(1, pRow, text);
    EXPECT_EQ(text, "value of p");
    f.View.DoGetCellText(1, 99, text);
    EXPECT_EQ(text, "");

    EXPECT_EQ(f.View.DoGetCellEditType(1, pRow), etValue);
    EXPECT_EQ(f.View.DoGetCellEditType(0, pRow), etNone);
    EXPECT_EQ(f.View.DoCellState(0, pRow, {}), TKldCellStates{csDisabled}) << "names are passed over";
    EXPECT_EQ(f.View.DoCellState(1, 99, {}), TKldCellStates{csDisabled});
    p->SetReadOnly(true);
    EXPECT_EQ(f.View.DoCellState(1, pRow, {}), TKldCellStates{csReadOnly});

    TFont font;
    TColor color = clWhite;
    TAlignment alignment = taLeftJustify;
    f.View.DoCellProps(0, xRow, font, color, alignment);
    EXPECT_EQ(color, clBtnFace);
    EXPECT_TRUE(font.Style().Contains(fsBold));
    EXPECT_EQ(font.Color(), cl3DDkShadow);
    TFont keyFont;
    f.View.DoCellProps(0, pRow, keyFont, color, alignment);
    EXPECT_EQ(color, f.View.Color());
    EXPECT_TRUE(keyFont.Style().Contains(fsBold)) << "a key is bold";
    f.View.DoCellProps(1, pRow, font, color, alignment);
    EXPECT_EQ(alignment, taRightJustify);
    p->SetDisabled(true);
    f.View.DoCellProps(1, pRow, font, color, alignment);
    EXPECT_EQ(color, clBtnFace);

    // Edit options: the prop's list, Nullable from the prop or EmptyValues.
    p->ValueList().SetCommaText("Oak,Birch");
    TStringList values;
    TCellEditOptions options;
    options.ValueList = &values;
    f.View.DoCellEditOptions(1, pRow, options);
    EXPECT_EQ(values.CommaText(), "Oak,Birch");
    EXPECT_FALSE(options.Nullable);
    f.View.SetEmptyValues(true);
    f.View.DoCellEditOptions(1, pRow, options);
    EXPECT_TRUE(options.Nullable);

    // The dialog: the view's handler, else the unit's with the prop's caption.
    std::string captionSeen;
    DefaultExecDialogProc = [&](std::string& t, const std::string& caption) {
        captionSeen = caption;
        t = "picked";
        return true;
    };
    text.clear();
    EXPECT_TRUE(f.View.DoCellExecDialog(1, pRow, text));
    EXPECT_EQ(captionSeen, "p");
    DefaultExecDialogProc = nullptr;
    EXPECT_FALSE(f.View.DoCellExecDialog(1, pRow, text));
}

TEST(ObjectView, TheHostsCellEventsFollowTheViewsAnswer)
{
    TCategoriesFixture f;
    TKldPropItem* p = f.View.Props().Find("p");
    p->SetValue("1");
    f.View.OnGetCellText = [](TObject*, int c, int, std::string& t) {
        if (c == 1)
            t = "[" + t + "]";
    };
    f.View.OnCellState = [](TObject*, int, int) { return TKldCellStates{csReadOnly}; };
    f.View.OnCellProps = [](TObject*, int, int, TAlignment&, TColor& color, TFont&) { color = clYellow; };
    std::string text;
    f.View.DoGetCellText(1, 0, text);
    EXPECT_EQ(text, "[1]");
    EXPECT_EQ(f.View.DoCellState(1, 0, {}), TKldCellStates{csReadOnly});
    EXPECT_EQ(f.View.DoCellState(0, 0, {}), TKldCellStates{csDisabled}) << "the names stay disabled";
    TFont font;
    TColor color = clWhite;
    TAlignment alignment = taLeftJustify;
    f.View.DoCellProps(1, 0, font, color, alignment);
    EXPECT_EQ(color, clYellow);
}

TEST(ObjectView, WritingAValue)
{
    TKldObjectView view;
    view.resize(300, 120);
    TLines lines("A=1\nB=2\n");
    view.SetPropsAsStrings(&lines, false);
    std::vector<std::string> changes;
    view.OnChanged = [&](TObject*, int c, int r) { changes.push_back(std::to_string(c) + "," + std::to_string(r)); };
    view.OnSetCellText = [](TObject*, int, int, std::string& t) { t = Trim(t); };
    std::string text = "  new  ";
    view.DoSetCellText(1, 1, text);
    TKldPropItem* b = view.Props().Find("B");
    EXPECT_EQ(b->Value(), "new") << "the host's handler may change the text";
    EXPECT_TRUE(b->Modified());
    EXPECT_EQ(changes, (std::vector<std::string>{"1,1"}));
    text = "x";
    view.DoSetCellText(1, 5, text);
    EXPECT_EQ(changes.size(), 1u) << "no such row";

    // A handler that changes the rows: the prop is selected again.
    view.OnSetCellText = [&](TObject*, int, int, std::string&) {
        TKldPropItem* added = view.Props().Add();
        added->SetName("0");
        added->SetIndex(0);
    };
    text = "moved";
    view.DoSetCellText(1, 1, text);
    EXPECT_EQ(b->Value(), "moved");
    EXPECT_EQ(view.GetSelected(), b);
    EXPECT_EQ(view.CurCell().Y, 2);

    // A handler that deletes the prop: nothing is written to it.
    view.OnSetCellText = [&](TObject*, int, int, std::string&) { view.Props().Delete(view.Props().Count() - 1); };
    text = "gone";
    EXPECT_NO_THROW(view.DoSetCellText(1, 2, text));
}

TEST(ObjectView, SelectionAndColumnWidths)
{
    TKldObjectView view;
    view.resize(400, 150);
    TLines lines("Short=1\nA rather long property name=2\n");
    view.SetPropsAsStrings(&lines, false);
    view.Props().Find("Short")->SetHint("the short one");

    TCanvas measure;
    measure.Font().Assign(view.Font());
    const int widest = measure.TextWidth("A rather long property name") + 16;
    EXPECT_EQ(view.NameColWidth(), std::min(widest, 200));
    view.SetMaxColWidth(60);
    view.AdjustColWidth();
    EXPECT_EQ(view.NameColWidth(), 60) << "automatic sizing stops at MaxColWidth";
    view.SetColWidth(0, 250);
    EXPECT_EQ(view.NameColWidth(), 250) << "a drag may go wider";
    view.SetColWidth(1, 10);
    EXPECT_EQ(view.NameColWidth(), 250);
    view.SetColAutoWidth(false);
    view.AdjustColWidth();
    EXPECT_EQ(view.NameColWidth(), 250);

    TKldPropItem* shortProp = view.Props().Find("Short");
    view.SetSelected(shortProp);
    EXPECT_EQ(view.CurCell(), (TPoint{1, 0}));
    EXPECT_EQ(view.GetSelectedHint(), "the short one");
    TKldPropItem stranger;
    view.SetSelected(&stranger);
    EXPECT_EQ(view.GetSelected(), shortProp) << "not a row: nothing happens";
    view.UpdatePropItem(&stranger);
    EXPECT_EQ(view.RowOf(&stranger), -1);
}

TEST(ObjectView, APendingTextReachesItsPropWhenTheRowsChange)
{
    TCategoriesFixture f;
    f.View.show();
    f.View.SetByCategory(true);
    TKldPropItem* p = f.View.Props().Find("p");
    f.View.SetSelected(p);
    TKldValueEditor& editor = f.View.Editor();
    ASSERT_TRUE(editor.Editing());
    editor.setText("typed");
    editor.setModified(true);
    // A category above opens: the rows below move.
    TKldPropItem* r = f.View.Props().Find("r");
    f.View.Props().Find("q")->SetCaption("a");
    f.View.Categories().Items(1)->SetExpanded(true);
    r->SetIndex(2);
    f.View.Categories().Items(0)->SetCaption("W");
    EXPECT_EQ(p->Value(), "typed");
    EXPECT_EQ(r->Value(), "");
    // Replacing the props: the pending text is kept by KeepValues.
    f.View.SetSelected(p);
    editor.setText("again");
    editor.setModified(true);
    TLines lines("p=\nz=1\n");
    f.View.SetPropsAsStrings(&lines, true);
    EXPECT_EQ(f.View.Props().Find("p")->Value(), "again");
}

TEST(ObjectView, PaintsCategoriesAcrossTheRow)
{
    TCategoriesFixture f;
    f.View.SetByCategory(true);
    f.View.SetShowOptions(f.View.ShowOptions() + TKldListViewShowOptions{soMarker});
    f.View.show();
    const QImage picture = Grab(f.View);
    // The category X (row 1) is button face up to the far right; the prop
    // row r (row 0) has the window colour in its value cell.
    const int y = f.View.RowHeight() + 2;
    EXPECT_EQ(PixelOf(picture, f.View.ClientWidth() - 5, y), ColorToRGB(clBtnFace));
    EXPECT_EQ(PixelOf(picture, f.View.ClientWidth() - 5, 2), ColorToRGB(clWindow));
}

TEST(ObjectView, AHostThatChangesThePropsWhileAPendingTextIsWrittenSeesItOnce)
{
    TCategoriesFixture f;
    f.View.show();
    TKldPropItem* p = f.View.Props().Find("p");
    f.View.SetSelected(p);
    int calls = 0;
    f.View.OnSetCellText = [&](TObject*, int, int, std::string&) {
        if (++calls < 50) // a runaway stops here rather than in a stack overflow
            f.AddProp("added" + std::to_string(calls), "");
    };
    f.View.Editor().setText("typed");
    f.View.Editor().setModified(true);
    f.View.SetSorted(true); // the rows change with a text pending
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(p->Value(), "typed");
    EXPECT_EQ(f.View.GetSelected(), p);
}

} // namespace
