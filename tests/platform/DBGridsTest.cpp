// The data navigator: its nine buttons, which of them show, their hints and
// when each is usable; its edits and the delete question; the grid's
// selected field.

#include <gtest/gtest.h>

#include <QToolButton>

#include <string>
#include <vector>

#include "VectorDataSet.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/DataSource.h"

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
