#pragma once
// What a data grid shows of its texts: the cells and titles its columns cut,
// and whether a column holds a number of digits. Widths are measured with
// the grid's own font and the style's margins around a cell's or a title's
// text, as the grid paints them.

#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Fields.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>

#include <string>
#include <vector>

// The space the item view keeps on either side of a cell's text.
inline int GridTextMargin(const TDBGrid& Grid)
{
    return Grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &Grid) + 1;
}

// Whether Digits digits of the grid's font fit into column Column.
inline bool ColumnHoldsDigits(const TDBGrid& Grid, int Column, int Digits)
{
    const int text = Grid.fontMetrics().horizontalAdvance(QString(Digits, QLatin1Char('0')));
    return text + 2 * GridTextMargin(Grid) <= Grid.columnWidth(Column);
}

// The grid's column of the field Name; -1 when it shows no such field.
inline int GridColumnOf(const TDBGrid& Grid, const std::string& Name)
{
    for (int c = 0; c < Grid.Model().columnCount(); ++c)
        if (Grid.Model().ColumnField(c) && Grid.Model().ColumnField(c)->FieldName() == Name)
            return c;
    return -1;
}

// "FIELD: text" for each cell of the rows read and each title that its
// column cuts.
inline std::vector<std::string> CutTexts(const TDBGrid& Grid)
{
    std::vector<std::string> cut;
    const TDataSetModel& model = Grid.Model();
    const QFontMetrics cells = Grid.fontMetrics();
    const QHeaderView* header = Grid.horizontalHeader();
    const int titleMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < model.columnCount(); ++c) {
        const std::string field = model.ColumnField(c) ? model.ColumnField(c)->FieldName() : "?";
        const QString title = model.headerData(c, Qt::Horizontal).toString();
        if (!header->isHidden() && header->fontMetrics().horizontalAdvance(title) + 2 * titleMargin > Grid.columnWidth(c))
            cut.push_back(field + " title: " + title.toStdString());
        for (int r = 0; r < model.rowCount(); ++r) {
            const QString text = model.data(model.index(r, c)).toString();
            if (cells.horizontalAdvance(text) + 2 * GridTextMargin(Grid) > Grid.columnWidth(c))
                cut.push_back(field + ": " + text.toStdString());
        }
    }
    return cut;
}
