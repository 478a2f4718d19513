// The report-style list view: rows kept sorted by text, a click on a column
// caption, right-aligned columns and columns that only widen as rows come.
#include "platform/ReportList.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>

#include <string>
#include <vector>

namespace {

using TRows = std::vector<std::vector<std::string>>;

std::vector<std::string> Column(const TReportList& list, int column)
{
    std::vector<std::string> result;
    for (int i = 0; i < list.Count(); ++i)
        result.push_back(list.Cell(i, column));
    return result;
}

int TextWidth(const TReportList& list, const std::string& text)
{
    return QFontMetrics(list.font()).horizontalAdvance(QString::fromStdString(text));
}

// A click on the caption of a column, as the user makes it.
void ClickCaption(TReportList& list, int column)
{
    QHeaderView* header = list.header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    Input::Click(*header->viewport(), x, header->height() / 2);
}

TEST(ReportList, SortTypeOrdersRowsByTheirFirstText)
{
    struct Case
    {
        const char* Desc;
        TSortType Sort;
        TRows Rows;
        std::vector<int> Places; // what AddRow answers, row by row
        std::vector<std::string> Names;
    };
    const Case cases[] = {
        {"unsorted keeps the order of adding",
         stNone,
         {{"beta"}, {"Alpha"}, {"gamma"}},
         {0, 1, 2},
         {"beta", "Alpha", "gamma"}},
        {"by text, case aside",
         stText,
         {{"beta"}, {"Alpha"}, {"gamma"}, {"alpha2"}},
         {0, 0, 2, 1},
         {"Alpha", "alpha2", "beta", "gamma"}},
        {"capitals do not come first",
         stText,
         {{"Tallowin"}, {"libMirabo.so"}, {"Swaplet"}},
         {0, 0, 1},
         {"libMirabo.so", "Swaplet", "Tallowin"}},
        {"texts equal but for case stay in one order",
         stText,
         {{"b"}, {"B"}, {"a"}},
         {0, 0, 0},
         {"a", "B", "b"}},
    };
    for (const Case& c : cases) {
        TReportList list;
        list.SetColumns({{"Name"}});
        list.SetSortType(c.Sort);
        EXPECT_EQ(list.SortType(), c.Sort) << c.Desc;
        std::vector<int> places;
        for (const std::vector<std::string>& row : c.Rows)
            places.push_back(list.AddRow(row));
        EXPECT_EQ(places, c.Places) << c.Desc;
        EXPECT_EQ(Column(list, 0), c.Names) << c.Desc;
    }
}

TEST(ReportList, SortedRowsFollowTheCaptionClicked)
{
    TReportList list;
    list.SetColumns({{"Name"}, {"Size", 100, false, true}});
    list.SetSortType(stText);
    list.resize(300, 200);
    list.show();
    for (const TRows::value_type& row : TRows{{"b", "2"}, {"a", "3"}, {"c", "1"}})
        list.AddRow(row);
    ASSERT_EQ(Column(list, 0), (std::vector<std::string>{"a", "b", "c"}));

    struct Step
    {
        const char* Desc;
        int Caption;
        std::vector<std::string> Names;
    };
    const Step steps[] = {
        {"another column sorts ascending by its text", 1, {"c", "b", "a"}},
        {"the same column again reverses", 1, {"a", "b", "c"}},
        {"back to the first column, ascending", 0, {"a", "b", "c"}},
        {"the first column again reverses", 0, {"c", "b", "a"}},
    };
    for (const Step& step : steps) {
        ClickCaption(list, step.Caption);
        EXPECT_EQ(Column(list, 0), step.Names) << step.Desc;
    }
    // A row added now takes its place in the order the user chose.
    EXPECT_EQ(list.AddRow({"bb", "0"}), 1);
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"c", "bb", "b", "a"}));
}

TEST(ReportList, UnsortedListIgnoresCaptionClicks)
{
    // The facility list of a user: state images, no sorting.
    TReportList list;
    list.SetColumns({{"Facility", 320, false}, {"Mgr", 50, true}});
    list.resize(400, 200);
    list.show();
    list.AddItem("Zeta", 1, 1, {2});
    list.AddItem("Alpha", 2, 2, {1});
    ClickCaption(list, 0);
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"Zeta", "Alpha"}));
    EXPECT_EQ(list.Data(0), 1);
    EXPECT_EQ(list.SubState(1, 1), 1);
    EXPECT_EQ(list.SortType(), stNone);
}

TEST(ReportList, WidenedColumnsGrowToTheirWidestTextAndNeverShrink)
{
    TReportList list;
    const std::string caption = "A caption wider than the column starts";
    list.SetColumns({{"Name"}, {caption}});
    list.SetWidenColumns(true);
    const std::string longName = "a-file-name-long-enough-to-need-a-wider-column.so";
    ASSERT_GT(TextWidth(list, longName) + 16, 100);
    ASSERT_GT(TextWidth(list, caption) + 16, 100);
    EXPECT_EQ(list.columnWidth(0), 100);
    EXPECT_EQ(list.columnWidth(1), 100); // no rows, no widening yet

    struct Step
    {
        const char* Desc;
        std::vector<std::string> Row;
        int Width0;
        int Width1;
    };
    const Step steps[] = {
        {"short texts: the caption counts", {"x", "y"}, 100, TextWidth(list, caption) + 16},
        {"a long text widens its column",
         {longName, "y"},
         TextWidth(list, longName) + 16,
         TextWidth(list, caption) + 16},
        {"a short text after it does not shrink it",
         {"short", "z"},
         TextWidth(list, longName) + 16,
         TextWidth(list, caption) + 16},
    };
    for (const Step& step : steps) {
        list.AddRow(step.Row);
        EXPECT_EQ(list.columnWidth(0), step.Width0) << step.Desc;
        EXPECT_EQ(list.columnWidth(1), step.Width1) << step.Desc;
    }
    EXPECT_FALSE(list.header()->stretchLastSection());
    // Widths a form set wider than the texts stay.
    list.setColumnWidth(0, 900);
    list.AddRow({"tiny"});
    EXPECT_EQ(list.columnWidth(0), 900);
}

TEST(ReportList, ColumnsKeepTheirWidthsUnlessAskedToWiden)
{
    TReportList list;
    list.SetColumns({{"Name", 60}, {"Mgr", 50}});
    EXPECT_FALSE(list.WidenColumns());
    EXPECT_TRUE(list.header()->stretchLastSection());
    list.AddRow({"a-file-name-long-enough-to-need-a-wider-column.so", "y"});
    EXPECT_EQ(list.columnWidth(0), 60);
}

TEST(ReportList, RightAlignedColumnShowsCaptionAndCellsAtTheRight)
{
    TReportList list;
    list.SetColumns({{"Name", 150}, {"Size", 150, false, true}, {"Mgr", 60, true}});
    list.AddRow({"x", "1,234"});
    list.AddItem("y", 0, 0, {1, 0});
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    EXPECT_EQ(Qt::Alignment(list.headerItem()->textAlignment(1)), right);
    EXPECT_EQ(Qt::Alignment(list.headerItem()->textAlignment(2)), Qt::Alignment(Qt::AlignCenter));
    EXPECT_FALSE(Qt::Alignment(list.headerItem()->textAlignment(0)) & Qt::AlignRight);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(Qt::Alignment(list.topLevelItem(row)->textAlignment(1)), right) << row;
        EXPECT_FALSE(Qt::Alignment(list.topLevelItem(row)->textAlignment(0)) & Qt::AlignRight) << row;
    }

    // As painted: the size's ink sits in the right half of its column, the
    // name's in the left half of its own.
    list.resize(400, 120);
    list.show();
    const QImage picture = list.viewport()->grab().toImage();
    const QRect rowRect = list.visualItemRect(list.topLevelItem(0));
    auto inkSpan = [&](int left, int right) {
        int first = -1, last = -1;
        for (int x = left; x < right; ++x)
            for (int y = rowRect.top(); y <= rowRect.bottom(); ++y)
                if (picture.pixelColor(x, y).lightness() < 128) {
                    if (first < 0)
                        first = x;
                    last = x;
                }
        return std::pair(first, last);
    };
    const auto [nameFirst, nameLast] = inkSpan(0, 150);
    const auto [sizeFirst, sizeLast] = inkSpan(150, 300);
    ASSERT_GE(nameFirst, 0);
    ASSERT_GE(sizeFirst, 0);
    EXPECT_LT(nameLast, 75);
    EXPECT_GT(sizeFirst, 225);
}

TEST(ReportList, CellsAndDoubleClickFollowTheSortedOrder)
{
    TReportList list;
    list.SetColumns({{"Name"}, {"CRC32"}});
    list.SetSortType(stText);
    list.resize(300, 200);
    list.show();
    for (const TRows::value_type& row : TRows{{"b", "Double click"}, {"a", "Double click"}})
        list.AddRow(row);
    std::vector<int> clicked;
    list.OnDblClick = [&](int index) {
        clicked.push_back(index);
        list.SetCell(index, 1, "done " + list.Caption(index));
    };
    ClickCaption(list, 0); // b before a now
    const QRect rect = list.visualItemRect(list.topLevelItem(1));
    Input::DoubleClick(*list.viewport(), rect.left() + 5, rect.center().y());
    EXPECT_EQ(clicked, std::vector<int>{1});
    EXPECT_EQ(list.Cell(1, 1), "done a");
    EXPECT_EQ(list.Cell(0, 1), "Double click");
    EXPECT_EQ(list.Cell(1, 0), "a");
}

} // namespace
