#include "Components/Controller/signin/frmDBLogin.h"

#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/GuiProbe.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The user's databases as the sign-in reply fills them.
struct TDatabases
{
    TNembraDataSet DataSet;

    explicit TDatabases(const std::string& Json)
    {
        DataSet.FieldDefs().Add("Database", ftString, 20);
        DataSet.FieldDefs().Add("Description", ftString, 50);
        DataSet.FieldDefs().Add("Enterprise", ftString, 20);
        DataSet.FieldDefs().Add("C_Enterprise", ftInteger);
        DataSetFromJSONByColumns(DataSet, TJSONObject(Json));
    }

    std::vector<std::string> Shown()
    {
        std::vector<std::string> names;
        DataSet.DisableControls();
        TBookmark mark = DataSet.GetBookmark();
        for (DataSet.First(); !DataSet.Eof(); DataSet.Next())
            names.push_back(DataSet.FieldByName("Database")->AsString());
        DataSet.GotoBookmark(mark);
        DataSet.EnableControls();
        return names;
    }
    std::string Current() { return DataSet.FieldByName("Database")->AsString(); }
};

const char* const FourDatabases = "{\"Database\":[\"OAKS\",\"BIRCH\",\"ARCH\",\"TRAIN\"],"
                                  "\"Description\":[\"Oak Hill care home\",\"Birch Lane\",\"Archive 2019\","
                                  "\"Training data\"],"
                                  "\"Enterprise\":[\"NORTH\",\"NORTH\",\"SOUTH\",\"ACADEMY\"],"
                                  "\"C_Enterprise\":[1,1,2,3]}";

void AltKey(QWidget& w, int key)
{
    Keys::Press(w, key, Qt::AltModifier);
}

} // namespace

TEST(DBLogin, RowMatching)
{
    struct Case
    {
        const char* Desc;
        const char* Search;
        bool Expected;
    } cases[] = {
        {"empty text matches", "", true},      {"database, other case", "oak", true},
        {"description inside", "HILL C", true}, {"enterprise", "nor", true},
        {"nothing", "zz", false},               {"not across values", "OAKSOak", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(DBLoginRowMatches(c.Search, "OAKS", "Oak Hill care home", "NORTH"), c.Expected);
    }
    EXPECT_EQ(DBLoginClientWidth({100, 200, 50}, 17), 17 + 101 + 201 + 51 + 4);
}

TEST(DBLogin, AnEmptyListIsAnErrorAndOneRowNeedsNoDialog)
{
    {
        SCOPED_TRACE("empty");
        TDatabases dbs("{\"Database\":[],\"Description\":[],\"Enterprise\":[],\"C_Enterprise\":[]}");
        const auto shown = WhenModal<TfrmDBLogin>(nullptr);
        EXPECT_EQ(ErrorOf<EDBLogin>([&] { DBLoginExecute(dbs.DataSet); }), "No database access assigned");
        QApplication::processEvents();
        EXPECT_FALSE(*shown);
    }
    {
        SCOPED_TRACE("one row");
        TDatabases dbs("{\"Database\":[\"OAKS\"],\"Description\":[\"Oak Hill\"],\"Enterprise\":[\"NORTH\"],"
                       "\"C_Enterprise\":[1]}");
        const auto shown = WhenModal<TfrmDBLogin>(nullptr);
        EXPECT_TRUE(DBLoginExecute(dbs.DataSet));
        QApplication::processEvents();
        EXPECT_FALSE(*shown);
        EXPECT_EQ(dbs.Current(), "OAKS");
    }
    {
        SCOPED_TRACE("a filter that left one row of four is switched off first");
        TDatabases dbs(FourDatabases);
        dbs.DataSet.OnFilterRecord = [](TDataSet* ds, bool& accept) {
            accept = ds->FieldByName("Database")->AsString() == "ARCH";
        };
        dbs.DataSet.SetFiltered(true);
        ASSERT_EQ(dbs.Shown().size(), 1u);
        const auto shown = WhenModal<TfrmDBLogin>([&](TfrmDBLogin& dialog) {
            EXPECT_EQ(dbs.Shown().size(), 4u);
            dialog.SetModalResult(mrCancel);
        });
        EXPECT_FALSE(DBLoginExecute(dbs.DataSet));
        EXPECT_TRUE(*shown);
    }
}

TEST(DBLogin, TypingSearchesAndBackspaceClearsTheWholeText)
{
    TDatabases dbs(FourDatabases);
    const auto shown = WhenModal<TfrmDBLogin>([&](TfrmDBLogin& dialog) {
        QWidget& grid = *dialog.Grid();
        EXPECT_FALSE(dialog.lblSearch()->isVisible());
        EXPECT_EQ(dialog.lblSearch()->toolTip().toStdString(), "Press \"Backspace\" to remove filter");
        Keys::Type(grid, "ar");
        EXPECT_EQ(dialog.SearchText(), "ar");
        EXPECT_TRUE(dialog.lblSearch()->isVisible());
        EXPECT_EQ(dialog.lblSearch()->text().toStdString(), "Find what: \"ar\"");
        // "care home" and "ARCH"/"Archive".
        EXPECT_EQ(dbs.Shown(), (std::vector<std::string>{"OAKS", "ARCH"}));
        Keys::Backspace(grid);
        EXPECT_EQ(dialog.SearchText(), "");
        EXPECT_FALSE(dialog.lblSearch()->isVisible());
        EXPECT_EQ(dbs.Shown().size(), 4u);
        // Keys typed on a button reach the search too (key preview).
        Keys::Type(*dialog.btnCancel(), "south");
        EXPECT_EQ(dbs.Shown(), (std::vector<std::string>{"ARCH"}));
        AltKey(grid, Qt::Key_O);
    });
    EXPECT_TRUE(DBLoginExecute(dbs.DataSet));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(dbs.Current(), "ARCH");
    EXPECT_FALSE(dbs.DataSet.OnFilterRecord) << "the dialog took its filter away";
}

TEST(DBLogin, TheChosenRowIsTheCurrentOne)
{
    TDatabases dbs(FourDatabases);
    const auto shown = WhenModal<TfrmDBLogin>([&](TfrmDBLogin& dialog) {
        EXPECT_EQ(dialog.Grid()->currentIndex().row(), 0);
        Keys::Press(*dialog.Grid(), Qt::Key_Down);
        Keys::Press(*dialog.Grid(), Qt::Key_Down);
        EXPECT_EQ(dbs.Current(), "ARCH");
        Keys::Enter(*dialog.Grid());
    });
    EXPECT_TRUE(DBLoginExecute(dbs.DataSet));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(dbs.Current(), "ARCH");
}

TEST(DBLogin, ADoubleClickChoosesTheRow)
{
    TDatabases dbs(FourDatabases);
    const auto shown = WhenModal<TfrmDBLogin>([&](TfrmDBLogin& dialog) {
        QTableView& grid = *dialog.Grid();
        const QRect cell = grid.visualRect(grid.model()->index(3, 1));
        Input::DoubleClick(*grid.viewport(), cell.center().x(), cell.center().y());
    });
    EXPECT_TRUE(DBLoginExecute(dbs.DataSet));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(dbs.Current(), "TRAIN");
}

TEST(DBLogin, OKIsRefusedWhileTheSearchLeavesNoRow)
{
    TDatabases dbs(FourDatabases);
    bool stillOpen = false;
    const auto shown = WhenModal<TfrmDBLogin>([&](TfrmDBLogin& dialog) {
        Keys::Type(*dialog.Grid(), "nowhere");
        EXPECT_TRUE(dbs.Shown().empty());
        Keys::Enter(*dialog.Grid());
        AltKey(*dialog.Grid(), Qt::Key_O);
        dialog.btnOK()->click();
        stillOpen = dialog.isVisible();
        AltKey(*dialog.Grid(), Qt::Key_C);
    });
    EXPECT_FALSE(DBLoginExecute(dbs.DataSet));
    EXPECT_TRUE(*shown);
    EXPECT_TRUE(stillOpen);
}

TEST(DBLogin, TheDialogShowsThreeColumnsAndIsAsWideAsThey)
{
    TDatabases dbs(FourDatabases);
    TfrmDBLogin dialog(dbs.DataSet);
    int columns = 0;
    for (int c = 0; c < dialog.Grid()->model()->columnCount(); ++c)
        columns += dialog.Grid()->isColumnHidden(c) ? 0 : 1;
    EXPECT_EQ(columns, 3);
    ASSERT_EQ(dialog.ColumnWidths().size(), 3u);
    const int scrollBar = dialog.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    EXPECT_GE(dialog.width(), DBLoginClientWidth(dialog.ColumnWidths(), scrollBar));
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Select Database");
    // The widest column is the 50 characters of "Description".
    EXPECT_GT(dialog.ColumnWidths()[1], dialog.ColumnWidths()[0]);
}
