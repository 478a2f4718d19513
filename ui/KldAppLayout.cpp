#include "ui/KldAppLayout.h"

#include "platform/SysUtils.h"
#include "ui/KldAppPanel.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Packing

std::vector<TWidgetPlace> PackWidgets(const std::vector<TWidgetSlot>& Widgets, int ColCount,
                                      bool UniformRowHeight, TPoint ClientSize)
{
    const int c = std::max(1, ColCount);
    std::vector<int64_t> sum(c, 0);
    std::vector<int> count(c, 0);
    std::vector<int> rowHeight(c, 0);
    std::vector<int> top(c, 0);
    std::vector<int> span(Widgets.size(), 1);
    std::vector<TWidgetPlace> places(Widgets.size());
    int most = 0;

    for (size_t i = 0; i < Widgets.size(); ++i) {
        if (!Widgets[i].Visible)
            continue;
        // The shortest column; a later one only when strictly shorter.
        int col = 0;
        for (int k = 1; k < c; ++k)
            if (sum[k] < sum[col])
                col = k;
        span[i] = std::min(std::max(1, Widgets[i].ColSpan), c);
        if (col + span[i] > c)
            col = 0;
        places[i].Column = col;
        sum[col] += Widgets[i].Height;
        most = std::max(most, ++count[col]);
        for (int k = col + 1; k < col + span[i]; ++k)
            sum[k] = sum[col];
    }

    const int width = ClientSize.X / c;
    const int height = ClientSize.Y;
    for (int k = 0; k < c; ++k)
        if (count[k] > 0)
            rowHeight[k] = height / (UniformRowHeight ? most : count[k]);

    for (size_t i = 0; i < Widgets.size(); ++i) {
        const int col = places[i].Column;
        if (col < 0)
            continue;
        places[i].Bounds = Bounds(col * width, top[col], span[i] * width, rowHeight[col]);
        for (int k = col; k < col + span[i]; ++k)
            top[k] = places[i].Bounds.Bottom;
    }
    return places;
}

// ---------------------------------------------------------------------------
// TKldAppLayoutItem

TKldAppLayoutItem::TKldAppLayoutItem() : m_panel(new TKldAppPanel)
{
    m_panel->m_widget = this;
}

TKldAppLayoutItem::~TKldAppLayoutItem()
{
    // Deleted directly (not through its collection): the panel hears now.
    if (m_layout && m_layout->Panel()) {
        TKldAppLayout* layout = m_layout;
        m_layout = nullptr;
        try {
            layout->Panel()->DoOnWidgetDelete(this);
        } catch (...) {
            // A destructor lets nothing escape; the widget goes regardless.
        }
    }
    if (m_panel) {
        m_panel->m_widget = nullptr;
        delete m_panel.data();
    }
}

TKldAppLayout* TKldAppLayoutItem::Layout() const
{
    return dynamic_cast<TKldAppLayout*>(Collection());
}

void TKldAppLayoutItem::SetColSpan(int N)
{
    if (N <= 0 || N == m_colSpan)
        return;
    m_colSpan = N;
    if (TKldAppLayout* layout = Layout())
        layout->ReAlign();
}

int TKldAppLayoutItem::Height() const
{
    return m_panel ? m_panel->Height() : 0;
}

void TKldAppLayoutItem::SetHeight(int value)
{
    if (m_panel)
        m_panel->SetHeight(value);
    if (TKldAppLayout* layout = Layout())
        layout->ReAlign();
}

int TKldAppLayoutItem::Width() const
{
    return m_panel ? m_panel->Width() : 0;
}

void TKldAppLayoutItem::SetWidth(int value)
{
    if (m_panel)
        m_panel->SetWidth(value);
    if (TKldAppLayout* layout = Layout())
        layout->ReAlign();
}

bool TKldAppLayoutItem::GetVisible() const
{
    return m_panel && m_panel->Visible();
}

void TKldAppLayoutItem::SetVisible(bool value)
{
    if (m_panel)
        m_panel->SetVisible(value);
}

TRect TKldAppLayoutItem::GetRect() const
{
    return m_panel ? m_panel->BoundsRect() : TRect{};
}

void TKldAppLayoutItem::SetRect(const TRect& value)
{
    if (m_panel)
        m_panel->SetBounds(value.Left, value.Top, value.Width(), value.Height());
}

// ---------------------------------------------------------------------------
// TKldAppLayout

TKldAppLayout::TKldAppLayout(TKldAppPanel* panel)
    : TCollection(CollectionItemClass<TKldAppLayoutItem>()), m_panel(panel)
{
}

TKldAppLayout::~TKldAppLayout()
{
    Clear();
}

TKldAppLayoutItem* TKldAppLayout::Add()
{
    auto* item = static_cast<TKldAppLayoutItem*>(TCollection::Add());
    if (TKldAppPanel* panel = item->Panel()) {
        panel->SetVisible(m_autoVisible);
        if (panel->parentWidget() != m_panel)
            panel->setParent(m_panel);
    }
    return item;
}

TKldAppLayoutItem* TKldAppLayout::Items(int Index) const
{
    return static_cast<TKldAppLayoutItem*>(TCollection::Items(Index));
}

TKldAppLayoutItem* TKldAppLayout::GetLast() const
{
    return Count() > 0 ? Items(Count() - 1) : nullptr;
}

TKldAppLayoutItem* TKldAppLayout::FindByTag(int Tag) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Tag() == Tag)
            return Items(i);
    return nullptr;
}

TKldAppLayoutItem* TKldAppLayout::FindByName(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(Items(i)->Name(), Name))
            return Items(i);
    return nullptr;
}

void TKldAppLayout::SetColCount(int N)
{
    N = std::max(1, N);
    if (N == m_colCount)
        return;
    m_colCount = N;
    ReAlign();
}

void TKldAppLayout::SetDefColWidth(int value)
{
    if (value == m_defColWidth)
        return;
    m_defColWidth = value;
    ReAlign();
}

void TKldAppLayout::SetDefRowHeight(int value)
{
    if (value == m_defRowHeight)
        return;
    m_defRowHeight = value;
    ReAlign();
}

void TKldAppLayout::SetUniformRowHeight(bool value)
{
    if (value == m_uniformRowHeight)
        return;
    m_uniformRowHeight = value;
    ReAlign();
}

void TKldAppLayout::SetAutoVisible(bool value)
{
    if (value == m_autoVisible)
        return;
    m_autoVisible = value;
    if (value)
        ReAlign();
}

bool TKldAppLayout::GetVisible() const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->GetVisible())
            return true;
    return false;
}

void TKldAppLayout::SetVisible(bool value)
{
    for (int i = 0; i < Count(); ++i)
        Items(i)->SetVisible(value);
    ReAlign();
}

void TKldAppLayout::ReAlign()
{
    if (Count() == 0 || !m_panel || m_aligning)
        return;
    // Placing a widget resizes its panel, which must not start this again.
    m_aligning = true;
    struct TReset
    {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{m_aligning};

    std::vector<TWidgetSlot> widgets;
    widgets.reserve(Count());
    for (int i = 0; i < Count(); ++i) {
        const TKldAppLayoutItem* item = Items(i);
        widgets.push_back({item->Height(), item->ColSpan(), item->GetVisible()});
    }
    const std::vector<TWidgetPlace> places = PackWidgets(widgets, m_colCount, m_uniformRowHeight,
                                                         {m_panel->ClientWidth(), m_panel->ClientHeight()});
    const TPoint origin = m_panel->ClientOrigin();
    for (int i = 0; i < Count(); ++i) {
        TKldAppLayoutItem* item = Items(i);
        if (places[i].Column < 0)
            continue;
        item->m_column = places[i].Column;
        const TRect b = OffsetRect(places[i].Bounds, origin.X, origin.Y);
        if (TKldAppPanel* panel = item->Panel())
            panel->SetBounds(b.Left, b.Top, b.Width(), b.Height());
    }
}

void TKldAppLayout::GetLayout(TStrings& Strings) const
{
    Strings.Clear();
    for (int i = 0; i < Count(); ++i) {
        TKldAppLayoutItem* item = Items(i);
        Strings.AddObject(item->Name(), item->GetVisible() ? item : nullptr);
    }
}

void TKldAppLayout::SetLayout(const TStrings& Strings)
{
    BeginUpdate();
    try {
        int k = 0;
        for (int i = 0; i < Strings.Count(); ++i) {
            TKldAppLayoutItem* item = FindByName(Strings[i]);
            if (!item)
                continue;
            if (Strings.Objects(i)) {
                item->SetIndex(k);
                ++k;
            } else {
                item->SetVisible(false);
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    // The end of the update re-aligns, so hidden widgets give up their room.
    EndUpdate();
}

void TKldAppLayout::Update(TCollectionItem* item)
{
    ReAlign();
}

void TKldAppLayout::Notify(TCollectionItem* item, TCollectionNotification action)
{
    // An item deleted directly is no TKldAppLayoutItem any more when it
    // leaves (its own destructor has run and told the panel).
    auto* widget = dynamic_cast<TKldAppLayoutItem*>(item);
    if (!widget)
        return;
    switch (action) {
    case cnAdded:
        widget->m_layout = this;
        break;
    case cnDeleting:
        // Deleted through the collection: the panel hears while the widget
        // is still listed, then it leaves.
        if (widget->m_layout && m_panel) {
            widget->m_layout = nullptr;
            m_panel->DoOnWidgetDelete(widget);
        }
        break;
    case cnExtracting:
        widget->m_layout = nullptr;
        break;
    }
}

void TKldAppLayout::Added(TCollectionItem* item)
{
    if (m_panel)
        m_panel->DoOnWidgetCreate(static_cast<TKldAppLayoutItem*>(item));
}
