#include "platform/DataSetModel.h"

#include "platform/DataSet.h"
#include "platform/DataSource.h"

class TDataSetModel::Link : public TDataLink
{
  public:
    explicit Link(TDataSetModel& model) : m_model(model) {}
    std::string ClassName() const override { return "TDataSetModelLink"; }

  protected:
    void ActiveChanged() override { Rebuild(); }
    void DataSetChanged() override { Rebuild(); }
    void LayoutChanged() override { Rebuild(); }
    void EditingChanged() override
    {
        if (!m_model.m_reading)
            m_model.EditingChanged();
    }
    void DataSetScrolled(int) override
    {
        if (!m_model.m_reading)
            m_model.UpdateCurrentRow();
    }
    void RecordChanged(TField* field) override
    {
        if (!m_model.m_reading)
            m_model.ActiveRecordChanged(field);
    }

  private:
    void Rebuild()
    {
        if (!m_model.m_reading)
            m_model.Rebuild();
    }
    TDataSetModel& m_model;
};

TDataSetModel::TDataSetModel(QObject* parent)
    : QAbstractTableModel(parent), m_link(std::make_unique<Link>(*this))
{
}

TDataSetModel::~TDataSetModel()
{
    m_reading = true;
    m_link.reset();
}

TDataSource* TDataSetModel::DataSource() const
{
    return m_link->DataSource();
}

void TDataSetModel::SetDataSource(TDataSource* dataSource)
{
    m_link->SetDataSource(dataSource);
    Rebuild();
}

TDataSet* TDataSetModel::DataSet() const
{
    TDataSet* ds = m_link->DataSet();
    return ds != nullptr && m_link->Active() ? ds : nullptr;
}

TField* TDataSetModel::ColumnField(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_columns.size()))
        return nullptr;
    return m_columns[static_cast<size_t>(column)];
}

void TDataSetModel::ReadColumns()
{
    m_columns.clear();
    TDataSet* ds = DataSet();
    if (ds == nullptr)
        return;
    if (m_columnNames.empty()) {
        for (TField* field : ds->Fields())
            if (field->Visible())
                m_columns.push_back(field);
        return;
    }
    for (const std::string& name : m_columnNames)
        if (TField* field = ds->FindField(name))
            m_columns.push_back(field);
}

void TDataSetModel::SetColumnFieldNames(const std::vector<std::string>& names)
{
    if (names == m_columnNames)
        return;
    m_columnNames = names;
    beginResetModel();
    ReadColumns();
    endResetModel();
}

void TDataSetModel::SetIndicator(bool value)
{
    m_indicator = value;
    if (rowCount() > 0)
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

void TDataSetModel::Rebuild()
{
    beginResetModel();
    ReadColumns();
    TDataSet* ds = DataSet();
    if (ds == nullptr) {
        m_rows.clear();
        m_atEnd = true;
    } else if (ds->State() == dsBrowse) {
        // Read again as many rows as the view had, so that it keeps its place.
        const size_t wanted = std::max<size_t>(m_rows.size(), FetchBlock);
        m_rows.clear();
        m_atEnd = false;
        m_rows = ReadRows(static_cast<int>(wanted));
    }
    // While a record is edited the rows read stay; the active one is live.
    m_insertRowShown = ds != nullptr && ds->State() == dsInsert;
    endResetModel();
    UpdateCurrentRow();
}

std::vector<TDataSetModel::RowData> TDataSetModel::ReadRows(int count)
{
    std::vector<RowData> rows;
    TDataSet* ds = DataSet();
    if (ds == nullptr || ds->State() != dsBrowse || m_atEnd || count <= 0)
        return rows;
    m_reading = true;
    const TBookmark saved = ds->GetBookmark();
    ds->DisableControls();
    try {
        if (m_rows.empty())
            ds->First();
        else {
            ds->GotoBookmark(m_rows.back().Bookmark);
            ds->Next();
        }
        while (!ds->Eof() && !ds->IsEmpty() && static_cast<int>(rows.size()) < count) {
            RowData row;
            row.Bookmark = ds->GetBookmark();
            for (TField* field : m_columns) {
                row.Display.push_back(QString::fromStdString(field->DisplayText()));
                row.Edit.push_back(QString::fromStdString(field->Text()));
            }
            if (OnRowTag)
                row.Tag = OnRowTag(*ds);
            rows.push_back(std::move(row));
            ds->Next();
        }
        m_atEnd = ds->Eof() || ds->IsEmpty();
        if (!saved.empty())
            ds->GotoBookmark(saved);
    } catch (const std::exception&) {
        // The rows read so far stay; reading more is not tried again.
        m_atEnd = true;
    }
    ds->EnableControls();
    m_reading = false;
    return rows;
}

bool TDataSetModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_atEnd && DataSet() != nullptr && DataSet()->State() == dsBrowse;
}

void TDataSetModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int first = static_cast<int>(m_rows.size());
    std::vector<RowData> added = ReadRows(FetchBlock);
    if (added.empty())
        return;
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(added.size()) - 1);
    for (RowData& row : added)
        m_rows.push_back(std::move(row));
    endInsertRows();
    UpdateCurrentRow();
}

void TDataSetModel::EditingChanged()
{
    // Only an insert changes the rows: it adds the extra last row, and its
    // end (a post or cancel) takes it away before the rows are read again.
    TDataSet* ds = DataSet();
    const bool inserting = ds != nullptr && ds->State() == dsInsert;
    const int last = static_cast<int>(m_rows.size());
    if (inserting && !m_insertRowShown) {
        beginInsertRows(QModelIndex(), last, last);
        m_insertRowShown = true;
        endInsertRows();
    } else if (!inserting && m_insertRowShown) {
        beginRemoveRows(QModelIndex(), last, last);
        m_insertRowShown = false;
        endRemoveRows();
    }
    UpdateCurrentRow();
    if (m_currentRow >= 0 && !m_columns.empty())
        emit dataChanged(index(m_currentRow, 0), index(m_currentRow, static_cast<int>(m_columns.size()) - 1));
}

void TDataSetModel::UpdateCurrentRow()
{
    int row = -1;
    if (TDataSet* ds = DataSet()) {
        if (m_insertRowShown)
            row = static_cast<int>(m_rows.size());
        else {
            const TBookmark current = ds->GetBookmark();
            for (size_t i = 0; i < m_rows.size() && !current.empty(); ++i) {
                if (ds->CompareBookmarks(m_rows[i].Bookmark, current) == 0) {
                    row = static_cast<int>(i);
                    break;
                }
            }
        }
    }
    if (row != m_currentRow) {
        const int previous = m_currentRow;
        m_currentRow = row;
        if (m_indicator) {
            for (int r : {previous, row})
                if (r >= 0 && r < rowCount())
                    emit headerDataChanged(Qt::Vertical, r, r);
        }
        emit currentRowChanged(row);
    }
}

void TDataSetModel::ActiveRecordChanged(TField*)
{
    UpdateCurrentRow();
    if (m_currentRow >= 0 && !m_columns.empty())
        emit dataChanged(index(m_currentRow, 0), index(m_currentRow, static_cast<int>(m_columns.size()) - 1));
}

bool TDataSetModel::LiveRow(int row) const
{
    TDataSet* ds = DataSet();
    return ds != nullptr && IsEditMode(ds->State()) && row == m_currentRow;
}

int TDataSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_rows.size()) + (m_insertRowShown ? 1 : 0);
}

int TDataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TDataSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const int row = index.row();
    const int column = index.column();
    if (column < 0 || column >= static_cast<int>(m_columns.size()))
        return {};
    if (LiveRow(row)) {
        try {
            TField* field = m_columns[static_cast<size_t>(column)];
            return QString::fromStdString(role == Qt::DisplayRole ? field->DisplayText() : field->Text());
        } catch (const std::exception&) {
            return {};
        }
    }
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return {};
    const RowData& data = m_rows[static_cast<size_t>(row)];
    return role == Qt::DisplayRole ? data.Display[static_cast<size_t>(column)]
                                   : data.Edit[static_cast<size_t>(column)];
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical) {
        if (m_indicator)
            return section == m_currentRow ? QStringLiteral("\u25B6") : QString();
        return section + 1;
    }
    if (TField* field = ColumnField(section))
        return QString::fromStdString(field->DisplayLabel());
    return {};
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    TField* field = ColumnField(index.column());
    try {
        if (field != nullptr && field->CanModify())
            result |= Qt::ItemIsEditable;
    } catch (const std::exception&) {
    }
    return result;
}

bool TDataSetModel::SetCurrentRow(int row)
{
    TDataSet* ds = DataSet();
    if (ds == nullptr)
        return false;
    if (row == m_currentRow && row >= 0)
        return true;
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return false;
    try {
        // Ending an edit may change the rows (and so the model) ...
        ds->CheckBrowseMode();
        if (row >= static_cast<int>(m_rows.size()))
            return false;
        // ... moving does not.
        m_reading = true;
        ds->GotoBookmark(m_rows[static_cast<size_t>(row)].Bookmark);
        m_reading = false;
    } catch (const std::exception&) {
        m_reading = false;
        return false;
    }
    UpdateCurrentRow();
    return m_currentRow == row;
}

bool TDataSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    TField* field = ColumnField(index.column());
    TDataSet* ds = DataSet();
    if (field == nullptr || ds == nullptr)
        return false;
    try {
        if (!LiveRow(index.row()) && !SetCurrentRow(index.row()))
            return false;
        if (ds->State() == dsBrowse)
            ds->Edit();
        field->SetText(value.toString().toStdString());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

int TDataSetModel::RowTag(int row) const
{
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? m_rows[static_cast<size_t>(row)].Tag : 0;
}
