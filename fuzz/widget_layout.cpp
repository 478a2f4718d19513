// A module's stored widget layout from arbitrary bytes (the value of
// "Layout" in "<module>.ini", which anyone may edit): any value applies;
// the widgets stay the same set, each once; applying the layout that the
// result writes out again changes nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Components/Controller/applets/ModuleView.h"
#include "platform/StringList.h"

namespace {

std::string LayoutOf(const std::vector<TWidgetLayoutEntry>& Widgets)
{
    TStringList entries;
    for (const TWidgetLayoutEntry& w : Widgets)
        entries.Add(w.Name + (w.Visible ? "=V" : "=H"));
    return entries.CommaText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string value(reinterpret_cast<const char*>(data), size);
    std::vector<TWidgetLayoutEntry> widgets = {
        {"SAMPLE_APPLET", true, 0}, {"sample_widget", true, 1}, {"W 3", false, 2}, {"W,4", true, 3}};
    const std::vector<TWidgetLayoutEntry> before = widgets;
    ApplyWidgetLayout(value, widgets);
    if (widgets.size() != before.size())
        std::abort();
    std::vector<int> sources;
    for (const TWidgetLayoutEntry& w : widgets)
        sources.push_back(w.Source);
    std::sort(sources.begin(), sources.end());
    for (int i = 0; i < static_cast<int>(sources.size()); ++i)
        if (sources[static_cast<size_t>(i)] != i)
            std::abort();
    std::vector<TWidgetLayoutEntry> again = widgets;
    ApplyWidgetLayout(LayoutOf(widgets), again);
    for (size_t i = 0; i < widgets.size(); ++i)
        if (again[i].Source != widgets[i].Source || again[i].Visible != widgets[i].Visible)
            std::abort();
    return 0;
}
