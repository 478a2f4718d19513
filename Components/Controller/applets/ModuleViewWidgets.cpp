// The module view's widgets: their layout (the "$WIDGETS" group's order and
// visibility, kept in the module's layout file), placement and removal.
#include "Components/Controller/applets/ModuleView.h"

#include "Components/Controller/applets/frmWidgets.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnAppletUtils.h"
#include "Components/Controller/files/ovnUtils.h"
#include "platform/IniFiles.h"
#include "ui/KldAppPanel.h"
#include "ui/KldAppletView.h"

#include <QScrollArea>

#include <algorithm>

// ---------------------------------------------------------------------------
// Layout of the menu's widget group

std::string TfrmModuleView::GetLayout() const
{
    TKldAppItem* group = WidgetsGroup();
    if (!group)
        return "";
    TStringList entries;
    for (int i = 0; i < group->Items().Count(); ++i) {
        const TKldAppItem* child = group->Items().Items(i);
        entries.Add(child->Name() + (child->Visible() ? "=V" : "=H"));
    }
    return entries.CommaText();
}

void ApplyWidgetLayout(const std::string& Value, std::vector<TWidgetLayoutEntry>& Widgets)
{
    TStringList entries;
    entries.SetCommaText(Value);
    for (int position = 0; position < entries.Count(); ++position) {
        const std::string entry = entries[position];
        const size_t equals = entry.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string name = entry.substr(0, equals);
        const auto it = std::find_if(Widgets.begin(), Widgets.end(),
                                     [&](const TWidgetLayoutEntry& w) { return AnsiSameText(w.Name, name); });
        if (it == Widgets.end())
            continue;
        it->Visible = entry.substr(equals + 1) == "V";
        const auto from = it - Widgets.begin();
        if (position < static_cast<int>(Widgets.size()) && from != position) {
            TWidgetLayoutEntry moved = *it;
            Widgets.erase(it);
            Widgets.insert(Widgets.begin() + position, moved);
        }
    }
}

void TfrmModuleView::SetLayout(const std::string& Value)
{
    TKldAppItem* group = WidgetsGroup();
    if (!group)
        return;
    TKldAppItems& children = group->Items();
    std::vector<TKldAppItem*> items;
    std::vector<TWidgetLayoutEntry> widgets;
    for (int i = 0; i < children.Count(); ++i) {
        items.push_back(children.Items(i));
        widgets.push_back({children.Items(i)->Name(), children.Items(i)->Visible(), i});
    }
    ApplyWidgetLayout(Value, widgets);
    for (size_t i = 0; i < widgets.size(); ++i) {
        TKldAppItem* item = items[static_cast<size_t>(widgets[i].Source)];
        item->SetVisible(widgets[i].Visible);
        if (item->Index() != static_cast<int>(i))
            item->SetIndex(static_cast<int>(i));
    }
}

void TfrmModuleView::GetLayout(TStrings& Strings) const
{
    Strings.Clear();
    TKldAppItem* group = WidgetsGroup();
    if (!group)
        return;
    for (int i = 0; i < group->Items().Count(); ++i) {
        TKldAppItem* child = group->Items().Items(i);
        Strings.AddObject(child->Caption(), child);
    }
}

void TfrmModuleView::SetLayout(const TStrings& Strings)
{
    TKldAppItem* group = WidgetsGroup();
    if (!group)
        return;
    for (int i = 0; i < Strings.Count(); ++i) {
        auto* child = dynamic_cast<TKldAppItem*>(Strings.Objects(i));
        if (child && child->Collection() == &group->Items() && i < group->Items().Count())
            child->SetIndex(i);
    }
}

std::string TfrmModuleView::LayoutFileName() const
{
    return ovnGetDataPath() + WidgetLayoutFileName(GetModuleName());
}

void TfrmModuleView::LoadLayout()
{
    std::string value;
    if (FileExists(LayoutFileName())) {
        TIniFile ini(LayoutFileName());
        value = ini.ReadString("Widgets", "Layout", "");
    }
    SetLayout(value);
    ScrollBoxResize();
}

void TfrmModuleView::SaveLayout()
{
    TIniFile ini(LayoutFileName());
    ini.WriteString("Widgets", "Layout", GetLayout());
}

void TfrmModuleView::ApplyLayout()
{
    TKldAppItem* group = WidgetsGroup();
    if (!group)
        return;
    TKldAppLayout& layout = m_widgetPanel->Layout();
    int position = 0;
    for (int i = 0; i < group->Items().Count(); ++i) {
        TKldAppItem* child = group->Items().Items(i);
        TKldAppLayoutItem* widget = FindWidget(child->Name());
        if (child->Visible()) {
            if (!widget) {
                try {
                    RunAppItem(child, 1);
                } catch (...) {
                    // A widget that cannot start leaves its place empty.
                }
                widget = FindWidget(child->Name());
            }
            if (widget) {
                widget->SetVisible(true);
                MoveWidget(widget, position);
            }
            ++position;
        } else if (widget) {
            widget->SetVisible(false);
            MoveWidget(widget, layout.Count() - 1);
        }
    }
    for (int i = layout.Count() - 1; i >= 0; --i)
        if (i < layout.Count() && !layout.Items(i)->Visible())
            RemoveWidget(layout.Items(i));
    layout.ReAlign();
}

void TfrmModuleView::DoCustomizeWidgets()
{
    TStringList lines;
    GetLayout(lines);
    const bool ok = ExecuteWidgetsDialog ? ExecuteWidgetsDialog(lines) : TfrmWidgets::Execute(lines);
    if (!ok)
        return;
    SetLayout(lines);
    SaveLayout();
    ApplyLayout();
}

int TfrmModuleView::GetWidgetsCount() const
{
    return m_widgetPanel->Layout().Count();
}

TKldAppLayoutItem* TfrmModuleView::FindWidget(const std::string& Name) const
{
    return m_widgetPanel->Layout().FindByName(Name);
}

TovnApplet* TfrmModuleView::WidgetApplet(const TKldAppLayoutItem* Widget) const
{
    for (const TWidgetApplet& entry : m_widgetApplets)
        if (Widget && entry.Widget == Widget)
            return entry.Applet;
    return nullptr;
}

void TfrmModuleView::MoveWidget(TKldAppLayoutItem* Widget, int Position)
{
    const int count = m_widgetPanel->Layout().Count();
    if (Position >= 0 && Position < count && Widget->Index() != Position)
        Widget->SetIndex(Position);
}

// ---------------------------------------------------------------------------
// Widgets and their applets

void TfrmModuleView::RemoveWidget(TKldAppLayoutItem* Widget)
{
    delete Widget; // its panel hears of it first (WidgetDeleted)
}

void TfrmModuleView::WidgetDeleted(TKldAppLayoutItem* Widget)
{
    const auto it = std::find_if(m_widgetApplets.begin(), m_widgetApplets.end(),
                                 [Widget](const TWidgetApplet& e) { return e.Widget == Widget; });
    if (it == m_widgetApplets.end())
        return;
    TovnApplet* applet = it->Applet;
    // The widget is going: the applet's clean-up must not remove it again.
    it->Widget = nullptr;
    if (!m_destroying) {
        applet->Close(false);
        ProcessMessages();
    }
    // An applet that stays keeps its form out of the widget's panel, which
    // would otherwise take the form down with it.
    const bool alive = std::any_of(m_widgetApplets.begin(), m_widgetApplets.end(),
                                   [applet](const TWidgetApplet& e) { return e.Applet == applet; });
    if (alive)
        if (TovnAppletForm* form = applet->MainForm.data(); form && form->parentWidget() == Widget->Panel()) {
            form->hide();
            form->setParent(this, Qt::Widget);
            form->hide();
        }
}

void TfrmModuleView::CleanUpWidgetApplet(TovnApplet* Applet)
{
    const auto it = std::find_if(m_widgetApplets.begin(), m_widgetApplets.end(),
                                 [Applet](const TWidgetApplet& e) { return e.Applet == Applet; });
    if (it == m_widgetApplets.end())
        return;
    TKldAppLayoutItem* widget = it->Widget;
    m_widgetApplets.erase(it);
    try {
        DoCleanUpApplet(Applet, nullptr);
    } catch (...) {
        // An applet that still lists forms stays loaded: its widget goes
        // without it.
        ReportCurrentException(ClassName() + ".CleanUpApplet");
    }
    if (widget)
        RemoveWidget(widget);
}

void TfrmModuleView::CloseAllWidgets()
{
    TKldAppLayout& layout = m_widgetPanel->Layout();
    while (layout.Count() > 0)
        RemoveWidget(layout.Items(layout.Count() - 1));
}

// ---------------------------------------------------------------------------
// Placement

void TfrmModuleView::ScrollBoxResize()
{
    if (!m_scrollBox || !m_appletView || !m_widgetPanel)
        return;
    const int width = m_scrollBox->viewport()->width();
    const int height = m_scrollBox->viewport()->height();
    int left = 0;
    int top = 0;
    int contentWidth = width;
    int contentHeight = 0;
    if (m_appletView->Visible()) {
        left = m_appletView->Left() + m_appletView->Width() + App_GH;
        top = m_appletView->Top() + m_appletView->Height();
        contentWidth = std::max(contentWidth, m_appletView->Left() + m_appletView->Width());
        contentHeight = top;
    }
    if (m_widgetPanel->Visible()) {
        if (width - left > m_widgetPanel->minimumWidth())
            m_widgetPanel->SetBounds(left, 0, width - left, height);
        else
            m_widgetPanel->SetBounds(0, top, width, height);
        contentWidth = std::max(contentWidth, m_widgetPanel->Left() + m_widgetPanel->Width());
        contentHeight = std::max(contentHeight, m_widgetPanel->Top() + m_widgetPanel->Height());
    }
    m_scrollContent->resize(contentWidth, contentHeight);
}
