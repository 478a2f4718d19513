// Laying out and painting the navigation views with 2,000 items, next to a
// QListView in icon mode over a QStandardItemModel of the same items, in the
// same run and at the same viewport size (800 x 600):
// - the module list: 40 open groups naming 50 modules each (2,040 rows);
// - the applet grid: 40 groups of 50 tiles, sized to its content and
//   painted where a scrolling host shows it;
// - the Qt list: 2,000 items with the same captions and pictures.
// Each iteration is a full layout followed by a paint of the viewport.

#include <benchmark/benchmark.h>

#include "bench/BenchMode.h"
#include "bench/QtBenchmarkMain.h"

#include "ui/KldAppView.h"

#include <QApplication>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

const int kGroups = BenchSize(40, 3);
const int kPerGroup = BenchSize(50, 4);
constexpr int kWidth = 800;
constexpr int kHeight = 600;

std::string Caption(int group, int index)
{
    return "Module " + std::to_string(group) + "." + std::to_string(index);
}

QImage Icon(int i)
{
    QImage icon(24, 24, QImage::Format_ARGB32_Premultiplied);
    icon.fill(QColor::fromHsv((i * 37) % 360, 160, 200));
    return icon;
}

TImageList& Icons()
{
    static TImageList list(24, 24);
    if (list.Count() == 0)
        for (int i = 0; i < 8; ++i)
            list.Add(Icon(i));
    return list;
}

void Style(TKldAppItemView& v)
{
    v.SetColor(clWhite);
    v.SetSelectedColorA(RGB(0x3B, 0x82, 0xD6));
    v.SetSelectedColorB(RGB(0x1E, 0x5F, 0xB0));
    v.SetItemColorA(RGB(0xFA, 0xFB, 0xFC));
    v.SetItemColorB(RGB(0xEC, 0xEF, 0xF3));
    v.SetItemPenColor(RGB(0xC8, 0xCC, 0xD2));
    v.SetImages(&Icons());
}

void BM_ModuleView(benchmark::State& state)
{
    TKldModuleView view;
    Style(view);
    view.SetItemHeight(34);
    view.SetGroupItemHeight(26);
    view.SetBounds(0, 0, kWidth, kHeight);
    view.Items().BeginUpdate();
    for (int g = 0; g < kGroups; ++g) {
        std::string members;
        for (int i = 0; i < kPerGroup; ++i) {
            view.Items().Add(Caption(g, i), (g + i) % 8);
            members += Caption(g, i) + "\r\n";
        }
        TKldAppItem* group = view.Items().Add("Group " + std::to_string(g), -1);
        group->SetState(isGroup, true);
        group->SetState(isExpanded, true);
        group->Items().SetMemberText(members);
    }
    view.Items().EndUpdate();
    view.SetShowByGroups(true);
    view.SetSelIdx(3);
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.ItemsChanged(true);
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["rows"] = view.GetVisCount();
}

void BM_AppletView(benchmark::State& state)
{
    TKldAppletView view;
    Style(view);
    view.SetItemWidth(150);
    view.SetItemHeight(64);
    view.SetColoredItems(true);
    view.SetWidth(kWidth);
    view.Items().BeginUpdate();
    for (int g = 0; g < kGroups; ++g) {
        TKldAppItem* group = view.Items().Add("Group " + std::to_string(g), -1);
        for (int i = 0; i < kPerGroup; ++i)
            group->Items().Add(Caption(g, i), (g + i) % 8);
    }
    view.Items().EndUpdate();
    view.SetSelIdx(3);
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    const QRegion viewport(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        view.ItemsChanged(true);
        view.render(&target, QPoint(), viewport);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["tiles"] = view.GetVisCount();
    state.counters["height"] = view.Height();
    state.counters["canvasRows"] = view.OffScreen().Height();
}

void BM_QListViewIconMode(benchmark::State& state)
{
    QStandardItemModel model;
    for (int g = 0; g < kGroups; ++g)
        for (int i = 0; i < kPerGroup; ++i)
            model.appendRow(new QStandardItem(QIcon(QPixmap::fromImage(Icon((g + i) % 8))),
                                              QString::fromStdString(Caption(g, i))));
    QListView view;
    view.setViewMode(QListView::IconMode);
    view.setGridSize(QSize(150, 64));
    view.setIconSize(QSize(24, 24));
    view.setResizeMode(QListView::Adjust);
    view.setUniformItemSizes(true);
    view.setModel(&model);
    view.resize(kWidth, kHeight);
    view.setCurrentIndex(model.index(3, 0));
    QImage target(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.doItemsLayout();
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["items"] = model.rowCount();
}

BENCHMARK(BM_ModuleView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppletView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QListViewIconMode)->Unit(benchmark::kMillisecond);

} // namespace

KLD_QT_BENCHMARK_MAIN()
