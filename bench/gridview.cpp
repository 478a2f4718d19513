// The virtual grid against Qt's table view on the same work: 10,000,000 rows
// of 20 columns whose texts ("r<row> c<col>") are made on request, in an
// 800 x 600 window. One screen is painted; then the view is scrolled by pages
// 1,000 times, each page painted. The grid asks only for the visible rows
// and its view updates cost in columns, so neither figure may grow with the
// row count; it should beat the Qt view, which paints through its model,
// delegate and headers.
//
// Runs offscreen (QT_QPA_PLATFORM=offscreen is set when unset). Medians of
// five runs: bench_gridview --benchmark_repetitions=5.

#include <benchmark/benchmark.h>

#include "bench/BenchMode.h"
#include "bench/QtBenchmarkMain.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>

#include <cstdio>
#include <string>

#include "ui/KldGridView.h"

namespace {

const int Rows = BenchSize(10000000, 1000);
constexpr int Cols = 20;
const int Pages = BenchSize(1000, 3);
constexpr int ViewWidth = 800;
constexpr int ViewHeight = 600;

void CellText(int row, int col, char* buffer, size_t size)
{
    std::snprintf(buffer, size, "r%d c%d", row, col);
}

class TBenchGrid : public TKldGridView
{
  public:
    TBenchGrid()
    {
        SetColCount(Cols);
        SetRowCount(Rows);
        // A grid that shows texts only: no editor over the current cell.
        SetShowOptions(ShowOptions() - TKldListViewShowOptions{soAlwaysShowEditor, soAutoWidth});
        SetScrollBars(ssBoth);
        resize(ViewWidth, ViewHeight);
        LayoutChanged();
    }
    void DoGetCellText(int ACol, int ARow, std::string& AText) override
    {
        char text[32];
        CellText(ARow, ACol, text, sizeof(text));
        AText = text;
    }
};

class TBenchModel : public QAbstractTableModel
{
  public:
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : Rows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : Cols; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        char text[32];
        CellText(index.row(), index.column(), text, sizeof(text));
        return QString::fromLatin1(text);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        return QStringLiteral("Column");
    }
};

struct TQtView
{
    TBenchModel model;
    QTableView view;
    TQtView()
    {
        view.setModel(&model);
        // Like the grid: a header row, no row numbers, 17-pixel rows.
        view.verticalHeader()->hide();
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.verticalHeader()->setDefaultSectionSize(17);
        view.horizontalHeader()->setDefaultSectionSize(70);
        view.resize(ViewWidth, ViewHeight);
    }
};

void Paint(QWidget& widget, QImage& image)
{
    QPainter painter(&image);
    widget.render(&painter);
}

void BM_GridPaintScreen(benchmark::State& state)
{
    TBenchGrid grid;
    QImage image(ViewWidth, ViewHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        Paint(grid, image);
}

void BM_QTableViewPaintScreen(benchmark::State& state)
{
    TQtView qt;
    QImage image(ViewWidth, ViewHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        Paint(qt.view, image);
}

void BM_GridScrollPages(benchmark::State& state)
{
    TBenchGrid grid;
    QImage image(ViewWidth, ViewHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        grid.SetTopRow(0);
        for (int i = 0; i < Pages; ++i) {
            grid.VertScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            Paint(grid, image);
        }
        benchmark::DoNotOptimize(grid.TopRow());
    }
}

void BM_QTableViewScrollPages(benchmark::State& state)
{
    TQtView qt;
    QImage image(ViewWidth, ViewHeight, QImage::Format_ARGB32_Premultiplied);
    QScrollBar* bar = qt.view.verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(0);
        for (int i = 0; i < Pages; ++i) {
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            Paint(qt.view, image);
        }
        benchmark::DoNotOptimize(bar->value());
    }
}

} // namespace

BENCHMARK(BM_GridPaintScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QTableViewPaintScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridScrollPages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTableViewScrollPages)->Unit(benchmark::kMillisecond);

KLD_QT_BENCHMARK_MAIN()
