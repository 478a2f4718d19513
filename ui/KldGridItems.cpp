#include "ui/KldGridItems.h"

#include "platform/SysUtils.h"

#include <algorithm>

namespace {
constexpr int MinColumnWidth = 16;
} // namespace

const std::vector<std::string>& AlignmentNames()
{
    static const std::vector<std::string> names{"taLeftJustify", "taRightJustify", "taCenter"};
    return names;
}

const std::vector<std::string>& EditTypeNames()
{
    static const std::vector<std::string> names{"etNone",          "etCheck",  "etValue",     "etValueList",
                                                "etValueListOnly", "etDialog", "etDialogOnly"};
    return names;
}

const std::vector<std::string>& SortOptionNames()
{
    static const std::vector<std::string> names{"isoNone", "isoAsc", "isoDesc"};
    return names;
}

const std::vector<std::string>& SizingOptionNames()
{
    static const std::vector<std::string> names{"csoNone", "csoAutoWidth", "csoFixed"};
    return names;
}

// ---------------------------------------------------------------------------
// TKldGridItem

TKldGridItem::TKldGridItem() = default;

TKldGridItem::~TKldGridItem() = default;

const TPropList& TKldGridItem::ClassProps()
{
    static const TPropList props = [] {
        using C = TKldGridItem;
        TPropList list;
        TPropDeclarer<C>(list)
            .String("Caption", &C::Caption, &C::SetCaption)
            .String("Name", &C::Name, &C::SetName)
            .Enumeration<TAlignment>("Alignment", AlignmentNames(), &C::Alignment, &C::SetAlignment)
            .Enumeration<TAlignment>("TextAlignment", AlignmentNames(), &C::TextAlignment, &C::SetTextAlignment)
            .Boolean("Visible", &C::Visible, &C::SetVisible)
            .Boolean("ReadOnly", &C::ReadOnly, &C::SetReadOnly)
            .Boolean("Disabled", &C::Disabled, &C::SetDisabled)
            .Boolean("Empty", &C::Empty, &C::SetEmpty)
            .Boolean("Custom", &C::Custom, &C::SetCustom)
            .Integer("Color", &C::Color, &C::SetColor)
            .Integer("TextColor", &C::TextColor, &C::SetTextColor)
            .Boolean("DefaultColors", &C::DefaultColors, &C::SetDefaultColors)
            .String("Hint", &C::Hint, &C::SetHint)
            .Enumeration<TKldEditType>("EditType", EditTypeNames(), &C::EditType, &C::SetEditType)
            .Boolean("ValueListSorted", &C::ValueListSorted, &C::SetValueListSorted);
        return list;
    }();
    return props;
}

TKldGridItems* TKldGridItem::GridItems() const
{
    return dynamic_cast<TKldGridItems*>(Collection());
}

TKldGridView* TKldGridItem::View() const
{
    TKldGridItems* items = GridItems();
    return items ? items->GetView() : nullptr;
}

void TKldGridItem::TakeViewColors(const TKldGridView& View)
{
    if (m_colorsTaken)
        return;
    m_colorsTaken = true;
    m_color = View.Color();
    m_textColor = View.Font().Color();
}

void TKldGridItem::Changed()
{
    if (TKldGridItems* items = GridItems())
        items->ItemChanged(this);
}

void TKldGridItem::LayoutChanged()
{
    if (TKldGridItems* items = GridItems())
        items->ItemChanged(nullptr);
}

void TKldGridItem::Assign(const TPersistent& Source)
{
    const auto* item = dynamic_cast<const TKldGridItem*>(&Source);
    if (!item) {
        TCollectionItem::Assign(Source);
        return;
    }
    m_caption = item->m_caption;
    m_alignment = item->m_alignment;
    m_visible = item->m_visible;
    m_color = item->m_color;
    m_textColor = item->m_textColor;
    m_states = item->m_states;
    m_editType = item->m_editType;
    SetValueList(item->m_valueList);
    m_hint = item->m_hint;
    Changed();
}

void TKldGridItem::SetCaption(const std::string& Value)
{
    if (Value == m_caption)
        return;
    m_caption = Value;
    Changed();
}

void TKldGridItem::SetName(const std::string& Value)
{
    if (Value == m_name)
        return;
    // The item itself counts: a name that differs from its own only in
    // letter case is refused too.
    if (!Value.empty())
        if (TKldGridItems* items = GridItems(); items && items->Find(Value))
            throw Exception(Format("Duplicate name: %s", Value));
    m_name = Value;
    if (m_caption.empty())
        SetCaption(Value);
}

void TKldGridItem::SetAlignment(TAlignment Value)
{
    if (Value == m_alignment)
        return;
    m_alignment = Value;
    Changed();
}

void TKldGridItem::SetTextAlignment(TAlignment Value)
{
    if (Value == m_textAlignment)
        return;
    m_textAlignment = Value;
    Changed();
}

void TKldGridItem::SetVisible(bool Value)
{
    if (Value == m_visible)
        return;
    m_visible = Value;
    LayoutChanged();
}

void TKldGridItem::SetItemState(TKldCellState State, bool On)
{
    if (On)
        m_states.Include(State);
    else
        m_states.Exclude(State);
}

void TKldGridItem::SetColor(TColor Value)
{
    const bool changed = Value != m_color || m_defaultColors;
    m_color = Value;
    m_defaultColors = false;
    if (changed)
        Changed();
}

void TKldGridItem::SetTextColor(TColor Value)
{
    if (Value == m_textColor)
        return;
    m_textColor = Value;
    Changed();
}

void TKldGridItem::SetDefaultColors(bool Value)
{
    if (Value == m_defaultColors)
        return;
    m_defaultColors = Value;
    Changed();
}

void TKldGridItem::SetValueList(const TStrings& Value)
{
    if (&Value == &m_valueList)
        return;
    m_valueList.BeginUpdate();
    m_valueList.Clear();
    for (int i = 0; i < Value.Count(); ++i)
        m_valueList.Add(Value.Get(i));
    m_valueList.EndUpdate();
}

// ---------------------------------------------------------------------------
// TKldGridItems

TKldGridItems::TKldGridItems(TKldGridView* View, TCollectionItemClass ItemClass)
    : TCollection(std::move(ItemClass)), m_view(View)
{
}

TKldGridItems::~TKldGridItems() = default;

TKldGridItem* TKldGridItems::Add()
{
    return static_cast<TKldGridItem*>(TCollection::Add());
}

TKldGridItem* TKldGridItems::GetItem(int Index) const
{
    return static_cast<TKldGridItem*>(Items(Index));
}

TKldGridItem* TKldGridItems::Find(std::string_view Name) const
{
    for (int i = 0; i < Count(); ++i) {
        TKldGridItem* item = GetItem(i);
        if (AnsiSameText(item->Name(), Name))
            return item;
    }
    return nullptr;
}

TKldGridItem* TKldGridItems::GetVisItem(int Index) const
{
    if (Index < 0 || Index >= GetVisCount())
        throw EListError(Format("List index out of bounds (%d)", Index));
    return m_visible[static_cast<size_t>(Index)];
}

void TKldGridItems::BeginUpdate()
{
    m_visible.clear();
    TCollection::BeginUpdate();
}

void TKldGridItems::EndUpdate()
{
    TCollection::EndUpdate();
    if (!InUpdate() && m_pending)
        LayoutChanged();
}

void TKldGridItems::ItemChanged(TKldGridItem* Item)
{
    if (!InUpdate())
        Update(Item);
}

void TKldGridItems::Update(TCollectionItem* Item)
{
    LayoutChanged();
}

void TKldGridItems::Notify(TCollectionItem* Item, TCollectionNotification Action)
{
    auto* item = static_cast<TKldGridItem*>(Item);
    if (Action == cnAdded && m_view) {
        item->TakeViewColors(*m_view);
    } else if (Action == cnExtracting) {
        // The visible list never holds an item that has left, whether or
        // not the subclass rebuilds it.
        m_visible.erase(std::remove(m_visible.begin(), m_visible.end(), item), m_visible.end());
    }
}

void TKldGridItems::ClearNotCustom()
{
    BeginUpdate();
    try {
        for (int i = Count() - 1; i >= 0; --i)
            if (!GetItem(i)->Custom())
                Delete(i);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// ---------------------------------------------------------------------------
// TKldColumn

const TPropList& TKldColumn::ClassProps()
{
    static const TPropList props = [] {
        using C = TKldColumn;
        TPropList list(&TKldGridItem::ClassProps());
        TPropDeclarer<C>(list)
            .Boolean("ColumnClick", &C::ColumnClick, &C::SetColumnClick)
            .Enumeration<TItemSortOption>("SortOption", SortOptionNames(), &C::SortOption, &C::SetSortOption)
            .Integer("Width", &C::Width, &C::SetWidth)
            .Enumeration<TColumnSizingOption>("SizingOption", SizingOptionNames(), &C::SizingOption,
                                              &C::SetSizingOption)
            .Boolean("AutoWidth", &C::AutoWidth, &C::SetAutoWidth)
            .Boolean("Nullable", &C::Nullable, &C::SetNullable);
        return list;
    }();
    return props;
}

void TKldColumn::Assign(const TPersistent& Source)
{
    if (const auto* column = dynamic_cast<const TKldColumn*>(&Source)) {
        m_width = column->m_width;
        m_sizingOption = column->m_sizingOption;
        m_sortOption = column->m_sortOption;
        TKldGridItem::Assign(Source);
        Changed();
        return;
    }
    TKldGridItem::Assign(Source);
}

void TKldColumn::SetWidth(int Value)
{
    if (Value == m_width)
        return;
    m_width = Value;
    LayoutChanged();
}

const TPropInfo* TKldColumn::PropertyFor(const TObject& Item)
{
    const TPropList* list = GetPropList(Item);
    if (!m_lookupValid || list != m_lookupList || m_lookupName != Name()) {
        m_lookupList = list;
        m_lookupName = Name();
        m_lookupInfo = list ? list->Find(m_lookupName) : nullptr;
        m_lookupValid = true;
    }
    return m_lookupInfo;
}

// ---------------------------------------------------------------------------
// TKldColumns

TKldColumns::TKldColumns(TKldGridView* View) : TKldGridItems(View, CollectionItemClass<TKldColumn>()) {}

TKldColumn* TKldColumns::Add()
{
    return static_cast<TKldColumn*>(TKldGridItems::Add());
}

TKldColumn* TKldColumns::GetColumn(int Index) const
{
    return static_cast<TKldColumn*>(GetItem(Index));
}

TKldColumn* TKldColumns::GetVisColumn(int Index) const
{
    return static_cast<TKldColumn*>(GetVisItem(Index));
}

void TKldColumns::SetSorted(bool Value)
{
    if (Value == m_sorted)
        return;
    m_sorted = Value;
    if (Value)
        LayoutChanged();
}

void TKldColumns::SetLayout(const std::string& Value)
{
    m_layout = AnsiUpperCase(Trim(Value));
    if (!m_layout.empty() && m_layout.back() != ';')
        m_layout += ';';
    SetPending(true);
}

void TKldColumns::UpdateLayout()
{
    if (m_layout.empty())
        return;
    std::vector<TKldGridItem*>& visible = VisibleList();
    size_t front = 0;
    size_t start = 0;
    while (start < m_layout.size()) {
        const size_t end = m_layout.find(';', start);
        const std::string name = m_layout.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name.empty())
            break;
        auto it = std::find_if(visible.begin(), visible.end(),
                               [&](const TKldGridItem* item) { return AnsiSameText(item->Name(), name); });
        if (it != visible.end()) {
            TKldGridItem* column = *it;
            visible.erase(it);
            visible.insert(visible.begin() + static_cast<std::ptrdiff_t>(std::min(front, visible.size())), column);
            ++front;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

void TKldColumns::AdjustWidth(int Width)
{
    int total = 0;
    int fixed = 0;
    int autoCount = 0;
    for (int i = 0; i < GetVisCount(); ++i) {
        TKldColumn* column = GetVisColumn(i);
        column->m_left = total;
        total += column->m_width;
        if (column->m_sizingOption == csoAutoWidth)
            ++autoCount;
        else
            fixed += column->m_width;
    }
    if (autoCount == 0) {
        m_totalWidth = total;
        return;
    }
    // Both truncate toward zero, also when the fixed columns are wider
    // than the view.
    const int share = (Width - fixed) / autoCount;
    const int rest = (Width - fixed) % autoCount;
    bool first = true;
    total = 0;
    for (int i = 0; i < GetVisCount(); ++i) {
        TKldColumn* column = GetVisColumn(i);
        column->m_left = total;
        if (column->m_sizingOption == csoAutoWidth) {
            column->m_width = std::max(MinColumnWidth, first ? share + rest : share);
            first = false;
        }
        total += column->m_width;
    }
    m_totalWidth = total;
}

void TKldColumns::LayoutChanged()
{
    if (InUpdate()) {
        SetPending(true);
        return;
    }
    std::vector<TKldGridItem*>& visible = VisibleList();
    visible.clear();
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->Visible())
            visible.push_back(GetItem(i));
    UpdateLayout();
    SetPending(false);
    if (TKldGridView* view = GetView()) {
        AdjustWidth(view->WorkWidth());
        view->LayoutChanged();
    }
}
