#include "ui/KldAppletView.h"

#include "platform/DrawText.h"
#include "platform/Math.h"

#include <QPainter>

#include <algorithm>

// ---------------------------------------------------------------------------
// Layout

int AppletColumns(int workWidth, int itemWidth)
{
    if (itemWidth <= 0)
        return 1;
    return std::max(1, workWidth / itemWidth);
}

TKldAppletLayout LayoutAppletGrid(TKldAppItems& items, const TKldAppletLayoutParams& params)
{
    TKldAppletLayout layout;
    const int columns = std::max(1, params.Columns);
    // The tiles, and which groups stay visible.
    for (int i = 0; i < items.Count(); ++i) {
        TKldAppItem* group = items.Items(i);
        if (!group->Visible())
            continue;
        int appended = 0;
        TKldAppItems& children = group->Items();
        for (int j = 0; j < children.Count(); ++j) {
            TKldAppItem* child = children.Items(j);
            if (child->Visible() && child->GetState(isGroup) && !child->HasChildren())
                child->StoreVisible(params.ShowEmptyGroups);
            if (child->Visible()) {
                layout.Entries.push_back(child);
                ++appended;
            }
        }
        group->StoreVisible(params.ShowEmptyGroups || appended > 0);
        if (group->Visible())
            while (layout.Entries.size() % columns != 0)
                layout.Entries.push_back(nullptr);
    }
    // Groups from the top, tiles in their cells.
    int y = params.Work.Top;
    for (int i = 0; i < items.Count(); ++i) {
        TKldAppItem* group = items.Items(i);
        if (!group->Visible())
            continue;
        group->SetCell(params.Work.Left, y, params.GroupHeight);
        TKldAppItems& children = group->Items();
        int n = 0;
        for (int j = 0; j < children.Count(); ++j) {
            TKldAppItem* child = children.Items(j);
            if (!child->Visible())
                continue;
            child->SetCell(params.Work.Left + (n % columns) * params.ItemWidth,
                           y + params.GroupHeight + (n / columns) * params.ItemHeight, params.ItemHeight);
            ++n;
        }
        if (n > 0)
            y += params.GroupHeight + (n / columns + (n % columns ? 1 : 0)) * params.ItemHeight;
    }
    layout.Height = y - params.Work.Top + params.BorderRows;
    return layout;
}

// ---------------------------------------------------------------------------
// TKldAppletView

TKldAppletView::TKldAppletView(QWidget* parent) : TKldAppItemView(parent)
{
    m_popup.SetOwnerDraw(true);
}

TKldAppletView::~TKldAppletView()
{
    m_popup.CloseMenu();
}

void TKldAppletView::SetGroupHeight(int value)
{
    if (value == m_groupHeight)
        return;
    m_groupHeight = value;
    AdjustContent();
}

void TKldAppletView::SetItemPadding(int value)
{
    if (value == m_itemPadding)
        return;
    m_itemPadding = value;
    Invalidate();
}

void TKldAppletView::SetShowDefaultText(bool value)
{
    if (value == m_showDefaultText)
        return;
    m_showDefaultText = value;
    ItemsChanged(true);
}

void TKldAppletView::SetCaption(const std::string& value)
{
    if (value == m_caption)
        return;
    m_caption = value;
    ItemsChanged(true);
}

void TKldAppletView::SetShowEmptyGroups(bool value)
{
    if (value == m_showEmptyGroups)
        return;
    m_showEmptyGroups = value;
    AdjustContent();
}

void TKldAppletView::SetGroupFontSize(int value)
{
    if (value == m_groupFontSize)
        return;
    m_groupFontSize = value;
    ItemsChanged(true);
}

void TKldAppletView::SetGroupFontColor(TColor value)
{
    if (value == m_groupFontColor)
        return;
    m_groupFontColor = value;
    Invalidate();
}

void TKldAppletView::SetGroupFontStyle(TFontStyles value)
{
    if (value == m_groupFontStyle)
        return;
    m_groupFontStyle = value;
    Invalidate();
}

void TKldAppletView::SetColor(int index, TColor color)
{
    if (index == 8 || index == 9) {
        (index == 8 ? m_spareColor8 : m_spareColor9) = color;
        Invalidate();
        return;
    }
    TKldAppItemView::SetColor(index, color);
}

int TKldAppletView::GetColCount() const
{
    return AppletColumns(GetWorkSize().X, ItemWidth());
}

int TKldAppletView::CalcRowCount(int n) const
{
    const int columns = GetColCount();
    return n / columns + (n % columns ? 1 : 0);
}

int TKldAppletView::CalcChildCount(TKldAppItem* item) const
{
    if (!item)
        return 0;
    int count = 0;
    const TKldAppItems& children = item->Items();
    for (int i = 0; i < children.Count(); ++i)
        if (children.Items(i)->Visible())
            ++count;
    return count;
}

TPoint TKldAppletView::ItemCell(TKldAppItem* item) const
{
    if (!item || !item->Collection())
        return {0, 0};
    const auto& siblings = static_cast<const TKldAppItems&>(*item->Collection());
    int n = 0;
    for (int i = 0; i < siblings.Count() && siblings.Items(i) != item; ++i)
        if (siblings.Items(i)->Visible())
            ++n;
    const int columns = GetColCount();
    return {n % columns, n / columns};
}

TRect TKldAppletView::CalcGroupRect(TKldAppItem* group) const
{
    return {group->Left(), group->Top(), GetWorkRect().Right, group->Top() + m_groupHeight};
}

bool TKldAppletView::GroupShown(TKldAppItem* group) const
{
    return group->Visible() && CalcChildCount(group) > 0;
}

int TKldAppletView::GetVisCount() const
{
    return static_cast<int>(VisibleList().size());
}

TKldAppItem* TKldAppletView::GetVisItem(int index) const
{
    const auto& list = VisibleList();
    if (index < 0 || index >= static_cast<int>(list.size()))
        return nullptr;
    return list[index];
}

int TKldAppletView::GetItemIdx(TKldAppItem* item) const
{
    if (!item)
        return -1;
    const auto found = m_entryIndex.find(item);
    return found == m_entryIndex.end() ? -1 : found->second;
}

TRect TKldAppletView::GetItemRect(TKldAppItem* item) const
{
    if (!item)
        return {};
    return Bounds(item->Left(), item->Top(), ItemWidth(), ItemHeight());
}

void TKldAppletView::ItemRemoved(TKldAppItem* item)
{
    TKldAppItemView::ItemRemoved(item);
    m_entryIndex.clear();
}

void TKldAppletView::SetDefaultTextFont(TCanvas& canvas) const
{
    canvas.Font().Assign(Font());
    canvas.Font().SetStyle({fsBold});
    canvas.Font().SetSize(m_groupFontSize);
    canvas.Font().SetColor(0x808080);
}

void TKldAppletView::AdjustContent()
{
    if (Updating() || m_adjusting)
        return;
    // Setting the height below resizes the view, which lays out again.
    m_adjusting = true;
    struct TReset
    {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{m_adjusting};

    TKldAppletLayoutParams params;
    params.Work = GetWorkRect();
    params.Columns = GetColCount();
    params.GroupHeight = m_groupHeight;
    params.ItemWidth = ItemWidth();
    params.ItemHeight = ItemHeight();
    params.ShowEmptyGroups = m_showEmptyGroups;
    params.BorderRows = BorderSize(Border(), sTop) + BorderSize(Border(), sBottom);
    TKldAppletLayout layout = LayoutAppletGrid(Items(), params);
    VisibleList() = std::move(layout.Entries);
    m_entryIndex.clear();
    const auto& list = VisibleList();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i])
            m_entryIndex.emplace(list[i], static_cast<int>(i));

    // The default text and the part of it a click reaches.
    bool anyGroup = false;
    for (int i = 0; i < Items().Count() && !anyGroup; ++i)
        anyGroup = GroupShown(Items().Items(i));
    m_defaultTextShown = m_showDefaultText && !anyGroup;
    const TRect work = GetWorkRect();
    m_defaultTextRect = {work.Left + (m_groupHeight ? m_groupHeight : 20), work.Top, work.Right,
                         work.Top + m_groupHeight - 5};
    TCanvas measure;
    SetDefaultTextFont(measure);
    m_defaultTextClick = m_defaultTextRect;
    DrawText(measure, m_caption, m_defaultTextClick,
             DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_BOTTOM);

    if (layout.Height == 0 && m_showDefaultText) {
        // Without a parent there is nothing to fill: the height stays.
        if (QWidget* parent = parentWidget()) {
            auto* owner = dynamic_cast<TCustomControl*>(parent);
            SetClientHeight(owner ? owner->ClientHeight() : parent->height());
        }
    } else if (layout.Height != ClientHeight()) {
        SetClientHeight(layout.Height);
    }
}

// ---------------------------------------------------------------------------
// Painting

void TKldAppletView::Paint()
{
    TKldCanvas& c = BeginPaint();
    c.Brush().Style = bsSolid;
    c.Brush().Color = Color();
    c.FillRect(ClientRect());
    const TRect area = PaintRect();
    for (int i = 0; i < Items().Count(); ++i) {
        TKldAppItem* group = Items().Items(i);
        if (GroupShown(group) && !IsRectEmpty(IntersectRect(CalcGroupRect(group), area)))
            PaintGroup(group);
    }
    for (TKldAppItem* item : VisibleList())
        if (item && !IsRectEmpty(IntersectRect(GetItemRect(item), area)))
            PaintItem(item);
    if (m_defaultTextShown)
        PaintDefaultText();
    PaintBorders();
    EndPaint();
}

void TKldAppletView::PaintGroup(TKldAppItem* item)
{
    TKldCanvas& c = OffScreen();
    const TRect header = CalcGroupRect(item);
    c.Font().Assign(Font());
    c.Font().SetStyle({fsBold});
    c.Font().SetSize(m_groupFontSize);
    c.Font().SetColor(m_groupFontColor);
    TRect text{header.Left + m_groupHeight, header.Top, header.Right, header.Bottom - 5};
    DrawText(c, item->Caption(), text, DT_SINGLELINE | DT_BOTTOM | DT_END_ELLIPSIS | DT_NOPREFIX);
    const int right = static_cast<int>(Round(0.7 * header.Right));
    DoGradientFill(c, {header.Left, header.Bottom - 1, right, header.Bottom}, BorderColor(), Color(), gdHorz);
}

void TKldAppletView::PaintItem(TKldAppItem* item)
{
    const int k = GetItemIdx(item);
    if (k < 0)
        return;
    TKldCanvas& c = OffScreen();
    TRect r = GetItemRect(item);
    r.Bottom -= 1;
    r.Left += m_itemPadding;
    r.Top += m_itemPadding;

    const bool selected = k == SelIdx();
    const bool hot = MouseInControl() && k == CurIdx() && !selected;
    TColor colorA = ItemColorA();
    TColor colorB = ItemColorB();
    TColor pen = ItemPenColor();
    TColor fontColor = Font().Color();
    if (hot) {
        colorA = HighlightColorA();
        colorB = HighlightColorB();
        pen = HighlightPenColor();
        fontColor = HighlightFontColor();
    } else if (selected) {
        colorA = SelectedColorA();
        colorB = SelectedColorB();
        pen = SelectedPenColor();
        fontColor = SelectedFontColor();
    }
    DoGradientFill(c, r, colorA, colorB, gdVert);
    c.Pen().Color = pen;
    c.Pen().Style = psSolid;
    c.Pen().Width = 1;
    c.Brush().Style = bsClear;
    c.RoundRect(r.Left, r.Top, r.Right, r.Bottom, 2, 2);
    c.Brush().Style = bsSolid;

    if (ColoredItems()) {
        c.Pen().Color = KldItemColor(k);
        c.MoveTo(r.Left + 1, r.Bottom);
        c.LineTo(r.Right - 1, r.Bottom);
        c.MoveTo(r.Left, r.Bottom - 1);
        c.LineTo(r.Right, r.Bottom - 1);
    }

    c.Font().Assign(Font());
    c.Font().SetColor(fontColor);
    TRect t = InflateRect(r, -6, -4);
    TCustomImageList* images = Images();
    if (images && images->ValidIndex(item->ImageIndex())) {
        images->Draw(c, t.Left + 1, t.Top + (t.Height() - images->Height()) / 2, item->ImageIndex());
        t.Left += images->Width() + 8;
        if (item->HasChildren())
            KldAppViewPictures().Small->Draw(c, r.Left + 2, r.Bottom - 12, 2);
    } else {
        t.Left += 2;
    }
    PaintItemText(c, t, item);
}

void TKldAppletView::PaintItemText(TCanvas& canvas, TRect rect, TKldAppItem* item)
{
    TRect measured = rect;
    DrawText(canvas, item->Caption(), measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    if (measured.Height() < rect.Height()) {
        const int d = (rect.Height() - measured.Height()) / 2;
        rect.Top += d;
        rect.Bottom -= d;
    }
    DrawText(canvas, item->Caption(), rect, DT_WORDBREAK | DT_NOPREFIX);
}

void TKldAppletView::PaintDefaultText()
{
    TKldCanvas& c = OffScreen();
    SetDefaultTextFont(c);
    TRect r = m_defaultTextRect;
    DrawText(c, m_caption, r, DT_SINGLELINE | DT_BOTTOM | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// ---------------------------------------------------------------------------
// The popup of a tile with children

void TKldAppletView::DoShowPopup(TKldAppItem* item)
{
    if (!item || !item->HasChildren())
        return;
    m_popup.CloseMenu();
    m_popup.Items().Clear();
    m_popup.SetImages(nullptr);
    item->Items().ForEach(
        [this](TKldAppItem* child, void*& data) {
            auto* parent = static_cast<TMenuItem*>(data);
            TMenuItem* entry = parent->Add();
            entry->SetCaption(child->Caption());
            entry->SetImageIndex(child->ImageIndex());
            // The entry keeps its item by guarded reference: the host may
            // clear the items while the menu shows.
            entry->SetItemRef(TGuardedRef::Make(child));
            entry->OnMeasureItem = [this](TObject* s, TCanvas& c, int& w, int& h) {
                MeasurePopupEntry(s, c, w, h);
            };
            entry->OnDrawItem = [this](TObject* s, TCanvas& c, const TRect& r, bool sel) {
                DrawPopupEntry(s, c, r, sel);
            };
            if (child->HasChildren())
                data = entry;
            else
                entry->OnClick = [this](TObject* s) { PopupEntryClick(s); };
        },
        &m_popup.Items());
    const TRect cell = GetItemRect(item);
    const TPoint at = ClientToScreen({cell.Left + m_itemPadding, cell.Bottom});
    m_popup.Popup(at.X, at.Y);
}

void TKldAppletView::MeasurePopupEntry(TObject* sender, TCanvas& canvas, int& width, int& height)
{
    width = ItemWidth();
    height = ItemHeight();
}

void TKldAppletView::DrawPopupEntry(TObject* sender, TCanvas& canvas, const TRect& rect, bool selected)
{
    const auto* entry = static_cast<TMenuItem*>(sender);
    const TColor a = selected ? SelectedColorA() : Color();
    const TColor b = selected ? SelectedColorB() : Color();
    const TColor pen = selected ? SelectedPenColor() : Color();
    if (ColorToRGB(a) == ColorToRGB(b)) {
        canvas.Brush().Style = bsSolid;
        canvas.Brush().Color = a;
        canvas.FillRect(rect);
    } else {
        DoGradientFill(canvas, rect, a, b, gdVert);
    }
    canvas.Pen().Color = pen;
    canvas.Pen().Style = psSolid;
    canvas.Brush().Style = bsClear;
    canvas.RoundRect(rect.Left, rect.Top, rect.Right, rect.Bottom, 2, 2);
    canvas.Brush().Style = bsSolid;

    TRect t{rect.Left + 6, rect.Top, rect.Right - 2, rect.Bottom};
    TCustomImageList* images = m_popup.Images();
    if (images && images->ValidIndex(entry->ImageIndex())) {
        images->Draw(canvas, rect.Left + 3, rect.Top + (rect.Height() - images->Height()) / 2,
                     entry->ImageIndex());
        t.Left = rect.Left + images->Width() + 12;
    }
    canvas.Font().Assign(Font());
    canvas.Font().SetColor(clBlack);
    TRect measured = t;
    DrawText(canvas, entry->Caption(), measured, DT_CALCRECT | DT_WORDBREAK);
    if (measured.Height() < t.Height()) {
        const int d = (t.Height() - measured.Height()) / 2;
        t.Top += d;
        t.Bottom -= d;
    }
    DrawText(canvas, entry->Caption(), t, DT_WORDBREAK);
}

void TKldAppletView::PopupEntryClick(TObject* sender)
{
    const auto* entry = static_cast<TMenuItem*>(sender);
    // An item deleted while the menu was open chooses nothing.
    TKldAppItem* item = entry->ItemRef().Get<TKldAppItem>();
    if (item && OnItemSelect)
        OnItemSelect(this, item);
}

void TKldAppletView::DoSetSelIdx(int n)
{
    SetSelIdx(n);
    TKldAppItem* item = GetSelItem();
    if (!item)
        return;
    if (item->HasChildren())
        DoShowPopup(item);
    else if (OnItemSelect)
        OnItemSelect(this, item);
}

// ---------------------------------------------------------------------------
// Input

void TKldAppletView::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TKldAppItemView::MouseDown(button, shift, x, y);
    if (button != mbLeft)
        return;
    SetFocus();
    if (OneClickSelect() || shift.Contains(ssDouble))
        DoSetSelIdx(PosToItem({x, y}));
    else
        SetSelIdx(PosToItem({x, y}));
}

void TKldAppletView::MouseMove(TShiftState shift, int x, int y)
{
    TKldAppItemView::MouseMove(shift, x, y);
    SetCurIdx(PosToItem({x, y}), false);
    const bool over = m_defaultTextShown && OnDefTextClick && PtInRect(m_defaultTextClick, {x, y});
    if (over != m_overDefaultText) {
        m_overDefaultText = over;
        SetCursor(over ? crHandPoint : crDefault);
    }
}

void TKldAppletView::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TKldAppItemView::MouseUp(button, shift, x, y);
    if (button != mbLeft)
        return;
    if (m_defaultTextShown) {
        if (PtInRect(m_defaultTextClick, {x, y}) && OnDefTextClick)
            OnDefTextClick(this);
        return;
    }
    if (TKldAppItem* hot = GetCurItem())
        DoShowPopup(hot);
}

void TKldAppletView::KeyDown(uint16_t& key, TShiftState shift)
{
    const int columns = GetColCount();
    switch (key) {
    case VK_RETURN:
        if (!shift.Contains(ssShift) && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt))
            DoSetSelIdx(SelIdx());
        break;
    case VK_HOME:
        SetSelIdx(0);
        break;
    case VK_END:
        SetSelIdx(GetVisCount() - 1);
        break;
    case VK_LEFT:
        SetSelIdx(std::max(0, SelIdx() - 1));
        break;
    case VK_RIGHT:
        SetSelIdx(SelIdx() + 1);
        break;
    case VK_UP:
        SetSelIdx(std::max(0, SelIdx() - columns));
        break;
    case VK_DOWN:
        if (shift.Contains(ssAlt))
            DoShowPopup(GetSelItem());
        else
            SetSelIdx(SelIdx() + columns);
        break;
    default:
        break;
    }
    TKldAppItemView::KeyDown(key, shift);
}
