#include "ui/KldObjectView.h"

#include "platform/SysUtils.h"
#include "platform/Threads.h"
#include "ui/KldValueEditor.h"

#include <QEvent>

#include <algorithm>
#include <exception>

namespace {
// soVerticalGrid, soHorizontalGrid, soRowSelect, soAlwaysShowEditor,
// soAutoWidth, soNoHideScrollBar, soColSizing.
constexpr TKldListViewShowOptions ObjectViewShowOptions = TKldListViewShowOptions::FromBits(0xC163);

bool CaptionBefore(const TKldGridItem* a, const TKldGridItem* b)
{
    return AnsiCompareText(a->Caption(), b->Caption()) < 0;
}
} // namespace

// ---------------------------------------------------------------------------
// TKldPropItem

const TPropList& TKldPropItem::ClassProps()
{
    static const TPropList props = [] {
        using C = TKldPropItem;
        TPropList list(&TKldGridItem::ClassProps());
        TPropDeclarer<C>(list)
            .String("Value", &C::Value, &C::SetValue)
            .String("CategoryName", &C::CategoryName, &C::SetCategoryName)
            .Boolean("Key", &C::Key, &C::SetKey);
        return list;
    }();
    return props;
}

TKldPropItems* TKldPropItem::PropItems() const
{
    return dynamic_cast<TKldPropItems*>(Collection());
}

TKldObjectView* TKldPropItem::ObjectView() const
{
    return dynamic_cast<TKldObjectView*>(View());
}

void TKldPropItem::Assign(const TPersistent& Source)
{
    const auto* prop = dynamic_cast<const TKldPropItem*>(&Source);
    if (!prop) {
        TKldGridItem::Assign(Source);
        return;
    }
    m_categoryName = prop->m_categoryName;
    UpdateCategory();
    m_key = prop->m_key;
    TKldGridItem::Assign(Source);
    Changed();
}

void TKldPropItem::SetValue(const std::string& Value)
{
    UpdateItem(Value, States(), uvkSet);
}

void TKldPropItem::UpdateItem(const std::string& Value, TKldCellStates States, TUpdateValueKind Kind)
{
    if (Value == m_value && States == this->States())
        return;
    if (Value != m_value || Kind != uvkSet) {
        std::string value = Value;
        if (Kind == uvkSave)
            m_savedValue = m_value;
        else if (Kind == uvkRestore)
            value = m_savedValue;
        m_value = value;
        m_modified = true;
    }
    SetStates(States);
    if (TKldObjectView* view = ObjectView())
        view->UpdatePropItem(this);
}

void TKldPropItem::SetCategoryName(const std::string& Value)
{
    if (Value == m_categoryName || Value == Name())
        return;
    m_categoryName = Value;
    UpdateCategory();
}

void TKldPropItem::UpdateCategory()
{
    TKldObjectView* view = ObjectView();
    TKldCategoryItem* category = nullptr;
    if (view && !m_categoryName.empty())
        category = static_cast<TKldCategoryItem*>(view->Categories().Find(m_categoryName));
    m_category = category;
}

void TKldPropItem::SetCategoryLink(TKldCategoryItem* Category)
{
    m_category = Category;
}

void TKldPropItem::SetKey(bool Value)
{
    if (Value == m_key)
        return;
    m_key = Value;
    Changed();
}

bool TKldPropItem::ParentExpanded() const
{
    const TKldCategoryItem* category = Category();
    return !category || category->Expanded();
}

bool TKldPropItem::ParentVisible() const
{
    const TKldCategoryItem* category = Category();
    return !category || category->Visible();
}

// ---------------------------------------------------------------------------
// TKldCategoryItem

const TPropList& TKldCategoryItem::ClassProps()
{
    static const TPropList props = [] {
        using C = TKldCategoryItem;
        TPropList list(&TKldPropItem::ClassProps());
        TPropDeclarer<C>(list).Boolean("Expanded", &C::Expanded, &C::SetExpanded);
        return list;
    }();
    return props;
}

void TKldCategoryItem::Assign(const TPersistent& Source)
{
    if (const auto* category = dynamic_cast<const TKldCategoryItem*>(&Source))
        m_expanded = category->m_expanded;
    TKldPropItem::Assign(Source);
    StoreCategoryName("");
    SetCategoryLink(nullptr);
    Changed();
}

void TKldCategoryItem::SetExpanded(bool Value)
{
    if (Value == m_expanded)
        return;
    m_expanded = Value;
    LayoutChanged();
}

// ---------------------------------------------------------------------------
// TKldPropItems

TKldPropItems::TKldPropItems(TKldObjectView* View)
    : TKldGridItems(View, CollectionItemClass<TKldPropItem>()), m_objectView(View)
{
}

TKldPropItem* TKldPropItems::Add()
{
    return static_cast<TKldPropItem*>(TKldGridItems::Add());
}

TKldPropItem* TKldPropItems::AddChild(TKldPropItem* Category)
{
    TKldPropItem* prop = Add();
    if (Category && Category->IsCategory() && Category->Collection()) {
        prop->SetCategoryLink(static_cast<TKldCategoryItem*>(Category));
        prop->StoreCategoryName(Category->Name());
    }
    return prop;
}

TKldPropItem* TKldPropItems::Find(std::string_view Name) const
{
    return static_cast<TKldPropItem*>(TKldGridItems::Find(Name));
}

TKldPropItem* TKldPropItems::GetPropItem(int Index) const
{
    return static_cast<TKldPropItem*>(GetItem(Index));
}

TKldPropItem* TKldPropItems::GetVisPropItem(int Row) const
{
    return static_cast<TKldPropItem*>(GetVisItem(Row));
}

TKldCategoryItems* TKldPropItems::GetCategories() const
{
    return m_objectView ? &m_objectView->Categories() : nullptr;
}

TKldCategoryItem* TKldPropItems::GetCategoryItem(int Index) const
{
    TKldCategoryItems* categories = GetCategories();
    if (!categories)
        throw EListError(Format("List index out of bounds (%d)", Index));
    return categories->Items(Index);
}

void TKldPropItems::BeginUpdate()
{
    // The rows go now: a text still in the editor reaches its prop first.
    if (!InUpdate() && m_objectView)
        m_objectView->CommitEditor();
    TKldGridItems::BeginUpdate();
}

bool TKldPropItems::Shown(const TKldPropItem& Prop) const
{
    return Prop.Visible() && !(m_objectView && m_objectView->HiddenPropItem(Prop));
}

void TKldPropItems::MakeVisibleList()
{
    std::vector<TKldGridItem*>& rows = VisibleList();
    rows.clear();
    if (!m_byCategory) {
        for (int i = 0; i < Count(); ++i) {
            TKldPropItem* prop = GetPropItem(i);
            if (!prop->IsCategory() && Shown(*prop))
                rows.push_back(prop);
        }
        if (m_sorted)
            std::stable_sort(rows.begin(), rows.end(), CaptionBefore);
        return;
    }

    TKldCategoryItems* categories = GetCategories();
    std::vector<TKldPropItem*> work;
    if (categories) {
        for (int i = 0; i < categories->Count(); ++i) {
            TKldCategoryItem* category = categories->Items(i);
            category->SetHasChild(false);
            if (!m_hideEmptyCategory && category->Visible())
                work.push_back(category);
        }
    }
    for (int i = 0; i < Count(); ++i) {
        TKldPropItem* prop = GetPropItem(i);
        if (prop->IsCategory() || !Shown(*prop) || !prop->ParentVisible())
            continue;
        TKldCategoryItem* category = prop->Category();
        if (m_hideEmptyCategory && category) {
            if (std::find(work.begin(), work.end(), category) == work.end())
                work.push_back(category);
            category->SetHasChild(true);
        }
        if (prop->ParentExpanded())
            work.push_back(prop);
    }
    if (m_sorted)
        std::stable_sort(work.begin(), work.end(), CaptionBefore);

    for (TKldPropItem* item : work)
        if (item->IsCategory())
            rows.push_back(item);
    // Walking back and inserting each prop right after its category leaves
    // the props in working order; props without a shown category go on top.
    for (auto it = work.rbegin(); it != work.rend(); ++it) {
        TKldPropItem* prop = *it;
        if (prop->IsCategory())
            continue;
        TKldCategoryItem* category = prop->Category();
        auto place = category ? std::find(rows.begin(), rows.end(), category) : rows.end();
        rows.insert(place == rows.end() ? rows.begin() : place + 1, prop);
    }
}

void TKldPropItems::LayoutChanged()
{
    if (InUpdate()) {
        SetPending(true);
        return;
    }
    // A text still in the editor reaches its prop before the rows move; a
    // refusal is raised once the rows are rebuilt.
    std::exception_ptr refused;
    if (m_objectView) {
        try {
            m_objectView->CommitEditor();
        } catch (...) {
            refused = std::current_exception();
        }
    }
    MakeVisibleList();
    SetPending(false);
    if (m_objectView)
        m_objectView->LayoutChanged();
    if (refused)
        std::rethrow_exception(refused);
}

// ---------------------------------------------------------------------------
// TKldCategoryItems

TKldCategoryItems::TKldCategoryItems(TKldObjectView* View)
    : TKldGridItems(View, CollectionItemClass<TKldCategoryItem>()), m_objectView(View)
{
}

TKldCategoryItem* TKldCategoryItems::Items(int Index) const
{
    return static_cast<TKldCategoryItem*>(TKldGridItems::GetItem(Index));
}

void TKldCategoryItems::SetItem(int Index, const TKldCategoryItem& Value)
{
    Items(Index)->Assign(Value);
}

TKldCategoryItem* TKldCategoryItems::Add(const std::string& Name)
{
    if (!Name.empty())
        if (TKldGridItem* found = Find(Name))
            return static_cast<TKldCategoryItem*>(found);
    auto* category = static_cast<TKldCategoryItem*>(TKldGridItems::Add());
    category->m_expanded = true;
    // No item has the name (it was looked up), so naming cannot fail.
    category->SetName(Name);
    category->SetCaption(Name);
    return category;
}

TKldCategoryItem* TKldCategoryItems::AddExt(std::string& Name)
{
    bool expanded = true;
    if (!Name.empty() && (Name[0] == '+' || Name[0] == '-')) {
        expanded = Name[0] == '+';
        Name.erase(0, 1);
    }
    TKldCategoryItem* category = Add(Name);
    category->m_expanded = expanded;
    return category;
}

void TKldCategoryItems::LayoutChanged()
{
    TKldPropItems* props = m_objectView ? m_objectView->PropsOrNull() : nullptr;
    if (!props)
        return;
    if (props->InUpdate())
        props->SetPending(true);
    else
        props->LayoutChanged();
}

void TKldCategoryItems::Notify(TCollectionItem* Item, TCollectionNotification Action)
{
    TKldGridItems::Notify(Item, Action);
    if (Action != cnExtracting || !m_objectView)
        return;
    // No prop keeps a link to a category that is going, whether it is a row
    // or not.
    TKldPropItems* props = m_objectView->PropsOrNull();
    if (!props)
        return;
    for (int i = 0; i < props->Count(); ++i) {
        TKldPropItem* prop = props->GetPropItem(i);
        if (prop->Category() == Item)
            prop->SetCategoryLink(nullptr);
    }
}

void InitProp(TKldPropItem* Item, const std::string& Name, const std::string& Caption, TKldEditType EditType)
{
    if (!Item)
        return;
    Item->SetName(Name);
    Item->SetCaption(Caption);
    Item->SetEditType(EditType);
}

// ---------------------------------------------------------------------------
// TKldObjectView: settings

TKldObjectView::TKldObjectView(QWidget* parent)
    : TKldGridView(parent), m_categories(std::make_unique<TKldCategoryItems>(this)),
      m_props(std::make_unique<TKldPropItems>(this))
{
    SetShowCheckText(true);
    SetScrollBars(ssVertical);
    SetShowOptions(ObjectViewShowOptions);
    SetMarkerWidth(16);
}

TKldObjectView::~TKldObjectView()
{
    // The props go with the view: a text still in the editor is dropped.
    try {
        CancelEdits();
    } catch (...) {
        ReportCurrentException("TKldObjectView.Destroy");
    }
}

void TKldObjectView::Loaded()
{
    SetShowOptions(ShowOptions() + TKldListViewShowOptions{soAutoWidth});
    m_loadedReadOnly = ReadOnly();
}

void TKldObjectView::SetCategories(const TKldCategoryItems& Value)
{
    m_categories->Assign(Value);
}

void TKldObjectView::SetProps(const TKldPropItems& Value)
{
    m_props->Assign(Value);
}

void TKldObjectView::SetObject(TObject* Obj)
{
    m_object = Obj;
    if (m_loadedReadOnly)
        return;
    StoreReadOnly(Obj == nullptr);
    // Without an object nothing may be typed: an open editor closes.
    if (ReadOnly())
        CancelEdits();
}

void TKldObjectView::SetNameColWidth(int Value)
{
    if (Value == m_nameColWidth)
        return;
    m_nameColWidth = Value;
    if (Editor().Editing())
        Editor().Adjust();
    Invalidate();
}

void TKldObjectView::SetHiddenProps(const std::string& Value)
{
    if (Value == m_hiddenProps)
        return;
    m_hiddenProps = AnsiUpperCase(Trim(Value));
    if (!m_hiddenProps.empty() && m_hiddenProps.back() != ';')
        m_hiddenProps += ';';
    m_props->LayoutChanged();
}

void TKldObjectView::SetShowReadOnlyProps(bool Value)
{
    if (Value == m_showReadOnlyProps)
        return;
    m_showReadOnlyProps = Value;
    m_props->LayoutChanged();
}

void TKldObjectView::SetSorted(bool Value)
{
    if (Value == m_props->m_sorted)
        return;
    m_props->m_sorted = Value;
    m_props->LayoutChanged();
}

void TKldObjectView::SetByCategory(bool Value)
{
    if (Value == m_props->m_byCategory)
        return;
    m_props->m_byCategory = Value;
    m_props->LayoutChanged();
}

void TKldObjectView::SetHideEmptyCategory(bool Value)
{
    if (Value == m_props->m_hideEmptyCategory)
        return;
    m_props->m_hideEmptyCategory = Value;
    m_props->LayoutChanged();
}

bool TKldObjectView::HiddenPropItem(const TKldPropItem& Prop) const
{
    if (Prop.IsCategory())
        return false;
    if (Prop.ReadOnly() && !m_showReadOnlyProps)
        return true;
    // A prop without a name is never named by the list (";" alone would
    // match any list).
    if (Prop.Name().empty())
        return false;
    return m_hiddenProps.find(AnsiUpperCase(Prop.Name()) + ";") != std::string::npos;
}

void TKldObjectView::AdjustColWidth()
{
    if (!m_colAutoWidth)
        return;
    TCanvas measure;
    measure.Font().Assign(Font());
    int widest = 0;
    for (int i = 0; i < m_props->Count(); ++i) {
        const TKldPropItem* prop = m_props->GetPropItem(i);
        if (prop->Visible())
            widest = std::max(widest, measure.TextWidth(prop->Name()) + 16);
    }
    if (widest > 0)
        m_nameColWidth = std::min(widest, m_maxColWidth);
    if (!m_props->InUpdate() && Editor().Editing())
        Editor().Adjust();
}

// ---------------------------------------------------------------------------
// Rows and the selected prop

TKldPropItem* TKldObjectView::RowProp(int ARow) const
{
    if (ARow < 0 || ARow >= m_props->GetVisCount())
        return nullptr;
    return m_props->GetVisPropItem(ARow);
}

int TKldObjectView::RowOf(const TKldPropItem* Prop) const
{
    for (int r = 0; Prop && r < m_props->GetVisCount(); ++r)
        if (m_props->GetVisItem(r) == Prop)
            return r;
    return -1;
}

TKldPropItem* TKldObjectView::GetSelected()
{
    return RowProp(CurCell().Y);
}

void TKldObjectView::SetSelected(TKldPropItem* Prop)
{
    const int row = RowOf(Prop);
    if (row >= 0)
        SetCurCell(1, row, crNoReason, true);
}

std::string TKldObjectView::GetSelectedHint()
{
    TKldPropItem* prop = GetSelected();
    return prop ? prop->Hint() : std::string();
}

void TKldObjectView::UpdatePropItem(TKldPropItem* Prop)
{
    const int row = RowOf(Prop);
    if (row >= 0)
        InvalidateCell(1, row, false);
}

void TKldObjectView::SetCurCellAgain()
{
    SetCurCell(CurCell(), crNoReason, true);
}

void TKldObjectView::CommitEditor()
{
    if (Editor().Editing() && Editor().isModified())
        Editor().UpdateValue();
}

// ---------------------------------------------------------------------------
// Text forms

void TKldObjectView::SetPropsAsStrings(const TStrings* Strings, bool KeepValues)
{
    // The user's pending text is part of the values kept.
    CommitEditor();
    TStringList kept;
    if (KeepValues)
        GetPropsAsStrings(kept, true);
    m_props->BeginUpdate();
    try {
        m_props->ClearNotCustom();
        for (int i = 0; Strings && i < Strings->Count(); ++i) {
            const std::string name = Strings->Names(i);
            if (name.empty())
                continue;
            TKldPropItem* prop = m_props->Find(name);
            if (!prop) {
                prop = m_props->Add();
                prop->SetName(name);
            } else if (prop->IsCategory()) {
                continue;
            }
            prop->SetEditType(etValue);
            std::string value = Strings->Values(name);
            if (KeepValues && value.empty())
                value = kept.Values(name);
            prop->m_value = value;
        }
    } catch (...) {
        m_props->EndUpdate();
        AdjustColWidth();
        throw;
    }
    m_props->EndUpdate();
    AdjustColWidth();
}

void TKldObjectView::GetPropsAsStrings(TStrings& Strings, bool IncludeCustom)
{
    Strings.BeginUpdate();
    Strings.Clear();
    for (int r = 0; r < m_props->GetVisCount(); ++r) {
        const TKldPropItem* prop = m_props->GetVisPropItem(r);
        if (prop->IsCategory() || (!IncludeCustom && prop->Custom()))
            continue;
        Strings.Add(prop->Name() + "=" + prop->Value());
    }
    Strings.EndUpdate();
}

void TKldObjectView::SetValuesAsStrings(const TStrings& Strings, bool NonEmptyOnly)
{
    // The user's pending text is written first, so the host's values win.
    CommitEditor();
    for (int i = 0; i < m_props->Count(); ++i) {
        TKldPropItem* prop = m_props->GetPropItem(i);
        const std::string value = Strings.Values(prop->Name());
        if (!NonEmptyOnly || !Trim(value).empty())
            prop->m_value = value;
    }
    SetCurCellAgain();
    Invalidate();
}

void TKldObjectView::GetValuesAsStrings(TStrings& Strings, bool NonEmptyOnly)
{
    Strings.BeginUpdate();
    Strings.Clear();
    for (int i = 0; i < m_props->Count(); ++i) {
        const TKldPropItem* prop = m_props->GetPropItem(i);
        if (NonEmptyOnly && Trim(prop->Value()).empty())
            continue;
        Strings.Add(prop->Name() + "=" + prop->Value());
    }
    Strings.EndUpdate();
}

void TKldObjectView::SetValuesAsString(const std::string& S, bool NonEmptyOnly)
{
    TStringList lines;
    lines.SetDelimiter(';');
    lines.SetQuoteChar('"');
    lines.SetDelimitedText(S);
    SetValuesAsStrings(lines, NonEmptyOnly);
}

std::string TKldObjectView::GetValuesAsString(bool NonEmptyOnly)
{
    TStringList lines;
    lines.SetDelimiter(';');
    lines.SetQuoteChar('"');
    GetValuesAsStrings(lines, NonEmptyOnly);
    return lines.DelimitedText();
}

// ---------------------------------------------------------------------------
// Grid operations

int TKldObjectView::GetRowCount()
{
    return m_props->GetVisCount();
}

int TKldObjectView::GetColCount()
{
    return 2;
}

std::string TKldObjectView::GetColCaption(int ACol)
{
    if (ACol == 0)
        return "Property";
    if (ACol == 1)
        return "Value";
    return TKldGridView::GetColCaption(ACol);
}

void TKldObjectView::CalcColsWidth()
{
    SetTotalWidth(WorkWidth());
}

void TKldObjectView::SetColWidth(int ACol, int AWidth)
{
    if (ACol != 0)
        return;
    m_nameColWidth = AWidth;
    LayoutChanged();
}

TKldEditType TKldObjectView::DoGetCellEditType(int ACol, int ARow)
{
    TKldPropItem* prop = RowProp(ARow);
    return ACol == 1 && prop ? prop->EditType() : etNone;
}

void TKldObjectView::DoGetCellText(int ACol, int ARow, std::string& AText)
{
    TKldPropItem* prop = RowProp(ARow);
    if (!prop) {
        AText.clear();
        return;
    }
    AText = ACol == 0 ? prop->Caption() : prop->Value();
    if (OnGetCellText)
        OnGetCellText(this, ACol, ARow, AText);
}

void TKldObjectView::DoSetCellText(int ACol, int ARow, std::string& AText)
{
    TGuardedPtr<TKldPropItem> prop(RowProp(ARow));
    if (!prop)
        return;
    const int rows = GetRowCount();
    TKldGridView::DoSetCellText(ACol, ARow, AText);
    // The host's handler may have deleted the prop.
    if (!prop)
        return;
    prop->m_value = AText;
    prop->m_modified = true;
    DoChanged(ACol, ARow);
    if (prop && GetRowCount() != rows)
        SetSelected(prop.Get());
}

void TKldObjectView::DoCellProps(int ACol, int ARow, TFont& AFont, TColor& AColor, TAlignment& AAlignment)
{
    TKldPropItem* prop = RowProp(ARow);
    if (!prop)
        return;
    if (ACol == 1) {
        AColor = prop->Disabled() ? clBtnFace : Color();
        AAlignment = prop->TextAlignment();
    } else if (ACol == 0) {
        if (prop->IsCategory()) {
            AColor = clBtnFace;
            AFont.SetStyle(AFont.Style() + TFontStyles{fsBold});
            AFont.SetColor(cl3DDkShadow);
        } else {
            AColor = Color();
            if (prop->Key())
                AFont.SetStyle(AFont.Style() + TFontStyles{fsBold});
        }
    }
    if (OnCellProps)
        OnCellProps(this, ACol, ARow, AAlignment, AColor, AFont);
}

TKldCellStates TKldObjectView::DoCellState(int ACol, int ARow, TKldCellStates ADefault)
{
    TKldPropItem* prop = RowProp(ARow);
    if (prop && ACol == 1)
        return TKldGridView::DoCellState(ACol, ARow, prop->States());
    return {csDisabled};
}

void TKldObjectView::DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions)
{
    if (TKldPropItem* prop = RowProp(ARow)) {
        if (AOptions.ValueList)
            AOptions.ValueList->AddStrings(prop->ValueList());
        AOptions.Nullable = prop->Nullable() || m_emptyValues;
    }
    TKldGridView::DoCellEditOptions(ACol, ARow, AOptions);
}

bool TKldObjectView::DoCellExecDialog(int ACol, int ARow, std::string& AText)
{
    if (OnExecDialog)
        return OnExecDialog(this, ACol, ARow, AText);
    if (DefaultExecDialogProc) {
        TKldPropItem* prop = RowProp(ARow);
        return DefaultExecDialogProc(AText, prop ? prop->Caption() : std::string());
    }
    return false;
}

void TKldObjectView::DoCellClick(int ACol, int ARow, int AReason)
{
    if (ACol < 0)
        if (TKldPropItem* prop = RowProp(ARow); prop && prop->IsCategory()) {
            prop->SetExpanded(!prop->GetExpanded());
            return;
        }
    TKldGridView::DoCellClick(ACol, ARow, AReason);
}

void TKldObjectView::DoDrawRowMarker(int ARow, const TRect& ARect)
{
    TKldPropItem* prop = RowProp(ARow);
    if (prop && prop->IsCategory())
        DrawImageListItem(Canvas(), ARect, &KldGridImages(), true, prop->GetExpanded() ? 2 : 3);
}

void TKldObjectView::LayoutChanged()
{
    TKldGridView::LayoutChanged();
    SetLeftPos(0);
    // Rows may have moved under an open editor: it reads its cell afresh.
    if (Editor().Editing() && !Editor().isModified() && CanShowEditor())
        Editor().EditCell(false);
}

void TKldObjectView::GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth)
{
    const int width = WorkWidth();
    const TKldPropItem* prop = RowProp(ARow);
    const bool category = prop && prop->IsCategory();
    if (ACol == 0) {
        ALeft = 0;
        AWidth = category ? width : m_nameColWidth;
    } else if (ACol == 1) {
        ALeft = category ? width : m_nameColWidth;
        AWidth = category ? 0 : width - m_nameColWidth;
    } else {
        ALeft = 0;
        AWidth = 0;
    }
}

void TKldObjectView::KeyDown(uint16_t& key, TShiftState shift)
{
    const bool plain = !shift.Contains(ssShift) && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt);
    if (TKldPropItem* prop = RowProp(CurCell().Y); plain && prop && prop->IsCategory()) {
        if (key == VK_LEFT || key == VK_SUBTRACT)
            prop->SetExpanded(false);
        else if (key == VK_RIGHT || key == VK_ADD)
            prop->SetExpanded(true);
    }
    TKldGridView::KeyDown(key, shift);
}

bool TKldObjectView::event(QEvent* event)
{
    if (event->type() == QEvent::Show && !m_windowCreated) {
        m_windowCreated = true;
        try {
            AdjustColWidth();
        } catch (...) {
            ReportCurrentException(ClassName() + ".AdjustColWidth");
        }
    }
    return TKldGridView::event(event);
}
