#pragma once
// `TDataSetModel`: shows the dataset of a data source in a Qt item view.
// Columns are the visible fields (header: DisplayLabel); rows are records.
//
// A dataset is a cursor, not a table, so the model keeps a copy of the rows
// it has shown (their bookmarks and texts), read by walking the dataset with
// its controls disabled. It reads in blocks as the view asks for more
// (canFetchMore/fetchMore), so a dataset that loads its rows page by page is
// not made to load them all at once. The active record is always read live,
// so an edit shows as it is typed; a record being inserted shows as an extra
// last row until it is posted. Any change of the data or of the position
// that the dataset does not report as a scroll makes the model read its rows
// again (as many as it had). Walking the dataset fires its scroll events.
//
// Editing through the view moves the dataset to the row and writes the text
// into the field (the record stays in edit state until the dataset posts it,
// as with any data-aware control). Errors never leave the model: a failing
// read shows an empty cell, a refused write answers false.

#include <QAbstractTableModel>

#include <functional>

#include <memory>
#include <string>
#include <vector>

#include "platform/DBTypes.h"

class TDataSet;
class TDataSource;
class TField;

class TDataSetModel : public QAbstractTableModel
{
    Q_OBJECT

  public:
    explicit TDataSetModel(QObject* parent = nullptr);
    ~TDataSetModel() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    // Rows read per fetch.
    static constexpr int FetchBlock = 100;

    // The row of the dataset's active record; -1 when it is not among the rows read.
    int CurrentRow() const { return m_currentRow; }
    // Moves the dataset to `row` (ending an edit first). False when that fails.
    bool SetCurrentRow(int row);
    // The field shown in `column` (null outside the columns).
    TField* ColumnField(int column) const;
    // The fields shown, by name and in this order (names the dataset does
    // not have are left out); empty shows every visible field.
    void SetColumnFieldNames(const std::vector<std::string>& names);
    // The row header as a grid's indicator: a mark on the current row and
    // nothing on the others, instead of the row numbers.
    void SetIndicator(bool value);
    // A number kept with each row as it is read (the dataset on that row),
    // for painters that look at columns not shown; set before binding.
    std::function<int(TDataSet& dataSet)> OnRowTag;
    int RowTag(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  signals:
    void currentRowChanged(int row);

  private:
    class Link;
    friend class Link;

    struct RowData
    {
        TBookmark Bookmark;
        std::vector<QString> Display;
        std::vector<QString> Edit;
        int Tag = 0;
    };

    TDataSet* DataSet() const;
    bool LiveRow(int row) const;
    void Rebuild();
    // Reads up to `count` rows after the last one read (from the first when
    // none); the dataset returns to its record.
    std::vector<RowData> ReadRows(int count);
    void ReadColumns();
    void UpdateCurrentRow();
    void ActiveRecordChanged(TField* field);
    void EditingChanged();

    std::unique_ptr<Link> m_link;
    std::vector<TField*> m_columns;
    std::vector<RowData> m_rows;
    std::vector<std::string> m_columnNames;
    bool m_indicator = false;
    bool m_atEnd = true;
    bool m_reading = false;
    bool m_insertRowShown = false;
    int m_currentRow = -1;
};
