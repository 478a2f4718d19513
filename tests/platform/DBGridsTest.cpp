// The data navigator: its nine buttons, which of them show, their hints and
// when each is usable; its edits and the delete question; the grid's
// selected field and the widths of its columns.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QToolButton>

#include <string>
#include <vector>

#include "VectorDataSet.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/DataSource.h"
#include "support/GridCells.h"

namespace {

class DBNavigatorTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        DefinePeople(ds);
        for (int i = 1; i <= 3; ++i)
            ds.AddRow({Variant(i), Variant("P" + std::to_string(i)), Variant(i * 0.5)});
        src.SetDataSet(&ds);
        nav.SetDataSource(&src);
    }

    // The usable buttons, first to cancel, as a row of 0 and 1.
    std::string Usable()
    {
        std::string states;
        for (int i = 0; i < NavigateBtnCount; ++i)
            states += nav.Button(static_cast<TNavigateBtn>(i))->isEnabled() ? '1' : '0';
        return states;
    }

    TVectorDataSet ds;
    TDataSource src;
    TDBNavigator nav;
};

} // namespace

TEST_F(DBNavigatorTest, TheMovesShowUntilTheFormAsksForOthers)
{
    for (int i = 0; i < NavigateBtnCount; ++i)
        EXPECT_EQ(nav.ButtonVisible(static_cast<TNavigateBtn>(i)), i <= nbLast) << i;
    nav.SetVisibleButtons({nbPrior, nbNext, nbPost});
    for (int i = 0; i < NavigateBtnCount; ++i)
        EXPECT_EQ(nav.ButtonVisible(static_cast<TNavigateBtn>(i)), i == nbPrior || i == nbNext || i == nbPost)
            << i;
    const std::string first = nav.Hint(nbFirst);
    nav.SetHints({"", "Prior", "Next"});
    EXPECT_EQ(nav.Hint(nbFirst), first) << "an empty hint keeps the button's own";
    EXPECT_EQ(nav.Hint(nbPrior), "Prior");
    EXPECT_EQ(nav.Hint(nbNext), "Next");
}

TEST_F(DBNavigatorTest, UsableButtonsByState)
{
    //                first prior next last insert delete edit post cancel
    EXPECT_EQ(Usable(), "000000000") << "closed";
    ds.Open();
    EXPECT_EQ(Usable(), "001111100") << "on the first row";
    nav.BtnClick(nbNext);
    EXPECT_EQ(Usable(), "111111100") << "in the middle";
    nav.BtnClick(nbLast);
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_EQ(Usable(), "110011100") << "on the last row (past it)";
    nav.BtnClick(nbEdit);
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(Usable(), "110011011") << "editing";
    nav.BtnClick(nbCancel);
    EXPECT_EQ(ds.State(), dsBrowse);
    nav.SetEnabled(false);
    EXPECT_EQ(Usable(), "000000000") << "disabled";
    nav.SetEnabled(true);
    ds.Close();
    ds.SetReadOnlyDataSet(true);
    ds.Open();
    EXPECT_EQ(Usable(), "001100000") << "read-only";
}

TEST_F(DBNavigatorTest, InsertPostAndDeleteWithItsQuestion)
{
    ds.Open();
    nav.BtnClick(nbInsert);
    EXPECT_EQ(ds.State(), dsInsert);
    ds.FieldByName("ID")->SetAsInteger(9);
    ds.FieldByName("NAME")->SetAsString("P9");
    nav.BtnClick(nbPost);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.Rows().size(), 4u);

    int asked = 0;
    bool answer = false;
    nav.ConfirmDeleteQuery = [&] {
        ++asked;
        return answer;
    };
    nav.BtnClick(nbDelete);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ds.Rows().size(), 4u) << "a refused question deletes nothing";
    answer = true;
    nav.BtnClick(nbDelete);
    EXPECT_EQ(ds.Rows().size(), 3u);
    nav.ConfirmDelete = false;
    nav.BtnClick(nbDelete);
    EXPECT_EQ(asked, 2) << "no question without ConfirmDelete";
    EXPECT_EQ(ds.Rows().size(), 2u);
}

TEST_F(DBNavigatorTest, TheGridsSelectedFieldIsTheCurrentColumns)
{
    TDBGrid grid;
    EXPECT_EQ(grid.SelectedField(), nullptr) << "no columns";
    grid.SetDataSource(&src);
    ds.Open();
    ASSERT_NE(grid.SelectedField(), nullptr);
    EXPECT_EQ(grid.SelectedField()->FieldName(), "ID") << "the first column while none is current";
    grid.setCurrentIndex(grid.model()->index(1, 1));
    EXPECT_EQ(grid.SelectedField()->FieldName(), "NAME");
}

namespace {

// A grid over fields of several display widths: a short code under a long
// title, a long name, a number with its type's width and a text whose width
// the form set.
class DBGridWidthTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ds.FieldDefs().Add("CODE", ftString, 3);
        ds.FieldDefs().Add("NAME", ftString, 30);
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("NOTE", ftString, 200);
        ds.AddRow({Variant("ABC"), Variant(std::string(30, 'W')), Variant(7), Variant("note")});
        ds.Open();
        ds.FieldByName("CODE")->SetDisplayLabel("Code of the facility's own department");
        ds.FieldByName("NOTE")->SetDisplayWidth(25);
        src.SetDataSet(&ds);
        grid.resize(900, 200);
        grid.SetDataSource(&src);
    }

    // The column of the field Name.
    int Column(const std::string& Name) const
    {
        const int column = GridColumnOf(grid, Name);
        if (column < 0)
            ADD_FAILURE() << Name << " is not a column";
        return column;
    }
    int Width(const std::string& Name) const { return grid.columnWidth(Column(Name)); }
    // Whether Digits digits of the grid's font fit into the column of Name.
    bool Holds(const std::string& Name, int Digits) const { return ColumnHoldsDigits(grid, Column(Name), Digits); }
    // Whether the title shows whole in a header section Width wide.
    bool TitleFits(const std::string& Title, int Width) const
    {
        const QHeaderView* header = grid.horizontalHeader();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        return header->fontMetrics().horizontalAdvance(QString::fromStdString(Title)) + 2 * margin <= Width;
    }

    TVectorDataSet ds;
    TDataSource src;
    TDBGrid grid;
};

} // namespace

TEST_F(DBGridWidthTest, AColumnWithoutItsOwnWidthHoldsItsFieldsDisplayWidthInDigits)
{
    struct Case
    {
        const char* Field;
        int DisplayWidth;
    };
    // The string's size, the integer's own width, a width the form set.
    const Case cases[] = {{"NAME", 30}, {"ID", 11}, {"NOTE", 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Field);
        ASSERT_EQ(ds.FieldByName(c.Field)->DisplayWidth(), c.DisplayWidth);
        EXPECT_TRUE(Holds(c.Field, c.DisplayWidth)) << Width(c.Field);
        EXPECT_FALSE(Holds(c.Field, c.DisplayWidth + 1)) << "no wider than its field: " << Width(c.Field);
    }
    // A short field under a long title: the title decides.
    const std::string title = "Code of the facility's own department";
    EXPECT_TRUE(TitleFits(title, Width("CODE"))) << Width("CODE");
    EXPECT_FALSE(Holds("CODE", static_cast<int>(title.size()))) << "as wide as the title, not as the title in digits";
    // Without titles only the field counts.
    grid.SetOptions({dgIndicator});
    EXPECT_TRUE(Holds("CODE", 3));
    EXPECT_FALSE(Holds("CODE", 4)) << Width("CODE");
}

TEST_F(DBGridWidthTest, OwnWidthsStayAndTheOthersFollowTheFieldsAndTheFont)
{
    grid.Columns().BeginUpdate();
    grid.Columns().Add("NAME").Width = 77;
    grid.Columns().Add("NOTE");
    grid.Columns().Add("CODE");
    grid.Columns().EndUpdate();
    EXPECT_EQ(Width("NAME"), 77) << "a width of its own is kept";
    EXPECT_TRUE(Holds("NOTE", 25));
    EXPECT_FALSE(Holds("NOTE", 26));

    // Display widths cut after the dataset opened (as the explorer does)
    // narrow the columns.
    ds.FieldByName("NOTE")->SetDisplayWidth(20);
    EXPECT_TRUE(Holds("NOTE", 20));
    EXPECT_FALSE(Holds("NOTE", 21)) << Width("NOTE");

    // A larger font widens the columns without widths of their own.
    const int before = Width("NOTE");
    grid.Font().SetSize(24);
    EXPECT_GT(Width("NOTE"), before);
    EXPECT_TRUE(Holds("NOTE", 20));
    EXPECT_FALSE(Holds("NOTE", 21)) << Width("NOTE");
    EXPECT_EQ(Width("NAME"), 77);

    // Fields made again on a new opening size their columns again; the
    // width of its own stays.
    ds.Close();
    ds.Open();
    const int note = ds.FieldByName("NOTE")->DisplayWidth();
    EXPECT_TRUE(Holds("NOTE", note));
    EXPECT_FALSE(Holds("NOTE", note + 1)) << Width("NOTE");
    EXPECT_EQ(Width("NAME"), 77);
}
