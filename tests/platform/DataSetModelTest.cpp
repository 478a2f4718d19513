// The Qt table model over a dataset: columns, rows read in blocks, the
// current row, editing through the model and the dataset's changes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VectorDataSet.h"
#include "platform/DataSetModel.h"

namespace {
class DataSetModelTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        DefinePeople(ds);
        for (int i = 1; i <= 250; ++i)
            ds.AddRow({Variant(i), Variant("P" + std::to_string(i)), Variant(i * 0.5)});
        src.SetDataSet(&ds);
        model.SetDataSource(&src);
    }

    std::string Cell(int row, int column, int role = Qt::DisplayRole)
    {
        return model.data(model.index(row, column), role).toString().toStdString();
    }

    TVectorDataSet ds;
    TDataSource src;
    TDataSetModel model;
};
} // namespace

TEST_F(DataSetModelTest, ClosedDatasetShowsNothing)
{
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_FALSE(model.canFetchMore(QModelIndex()));
    EXPECT_EQ(model.CurrentRow(), -1);
}

TEST_F(DataSetModelTest, RowsAreReadInBlocksAndTheDatasetStaysPut)
{
    ds.Open();
    ds.MoveBy(5);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString().toStdString(), "NAME");
    EXPECT_EQ(model.rowCount(), TDataSetModel::FetchBlock);
    ASSERT_TRUE(model.canFetchMore(QModelIndex()));
    model.fetchMore(QModelIndex());
    model.fetchMore(QModelIndex());
    EXPECT_EQ(model.rowCount(), 250);
    EXPECT_FALSE(model.canFetchMore(QModelIndex()));
    EXPECT_EQ(Cell(149, 1), "P150");
    EXPECT_EQ(Cell(249, 2), "125");
    EXPECT_EQ(ds.RecNo(), 6) << "reading rows does not move the dataset";
    EXPECT_EQ(model.CurrentRow(), 5);
}

TEST_F(DataSetModelTest, CurrentRowFollowsTheDataset)
{
    ds.Open();
    std::vector<int> rows;
    QObject::connect(&model, &TDataSetModel::currentRowChanged, [&](int row) { rows.push_back(row); });
    ds.Next();
    ds.Next();
    EXPECT_EQ(model.CurrentRow(), 2);
    EXPECT_EQ(rows, std::vector<int>({1, 2}));
    EXPECT_TRUE(model.SetCurrentRow(40));
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 41);
    EXPECT_FALSE(model.SetCurrentRow(1000));
    ds.Last();
    EXPECT_EQ(model.CurrentRow(), -1) << "the last record is not among the rows read yet";
}

TEST_F(DataSetModelTest, EditingThroughTheModel)
{
    ds.Open();
    const QModelIndex name = model.index(3, 1);
    EXPECT_TRUE(model.flags(name) & Qt::ItemIsEditable);
    int changed = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    ASSERT_TRUE(model.setData(name, QString("Typed")));
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
    EXPECT_EQ(Cell(3, 1), "Typed") << "the edited record is shown live";
    EXPECT_GE(changed, 1);
    EXPECT_FALSE(model.setData(model.index(3, 0), QString("12q"))) << "no integer text";
    ds.Post();
    EXPECT_EQ(ds.Rows()[3].Values[1].AsString(), "Typed");
    EXPECT_EQ(Cell(3, 1), "Typed");
    ASSERT_TRUE(model.setData(model.index(7, 1), QString("Other")));
    ASSERT_TRUE(model.setData(model.index(8, 1), QString("Third"))) << "moving on posts the edit";
    EXPECT_EQ(ds.Rows()[7].Values[1].AsString(), "Other");
    ds.Cancel();
    EXPECT_EQ(Cell(8, 1), "P9");
    ds.FieldByName("NAME")->SetReadOnly(true);
    EXPECT_FALSE(model.flags(name) & Qt::ItemIsEditable);
}

TEST_F(DataSetModelTest, EditsDoNotResetTheModelButInsertsAddARow)
{
    ds.Open();
    int resets = 0;
    std::vector<std::pair<int, int>> inserted;
    std::vector<std::pair<int, int>> removed;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved,
                     [&](const QModelIndex&, int first, int last) { removed.emplace_back(first, last); });
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("E");
    EXPECT_EQ(resets, 0) << "a view keeps its place while a record is edited";
    ds.Cancel();
    ds.Append();
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{100, 100}}));
    EXPECT_EQ(model.rowCount(), 101);
    ds.Cancel();
    EXPECT_EQ(removed, (std::vector<std::pair<int, int>>{{100, 100}}));
    EXPECT_EQ(model.rowCount(), 100);
}

TEST_F(DataSetModelTest, InsertShowsAnExtraRowAndLayoutChangesShowInColumns)
{
    ds.Open();
    ds.Insert();
    EXPECT_EQ(model.rowCount(), 101);
    EXPECT_EQ(model.CurrentRow(), 100);
    ds.FieldByName("NAME")->SetAsString("New");
    EXPECT_EQ(Cell(100, 1), "New");
    ds.Cancel();
    EXPECT_EQ(model.rowCount(), 100);
    ds.FieldByName("AMOUNT")->SetVisible(false);
    EXPECT_EQ(model.columnCount(), 2);
    ds.FieldByName("NAME")->SetDisplayLabel("Name");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString().toStdString(), "Name");
    ds.Close();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
}
