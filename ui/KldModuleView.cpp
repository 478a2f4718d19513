#include "ui/KldModuleView.h"

#include "platform/DrawText.h"
#include "platform/SysUtils.h"

#include <QPainter>

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace {

constexpr int ScrollStep = 40;
constexpr int AutoSlideInterval = 100;

class TRowBuilder
{
  public:
    explicit TRowBuilder(TKldModuleLayout& layout) : m_layout(layout) {}

    void Append(TKldAppItem* item, int height)
    {
        m_layout.Rows.push_back({item, m_layout.ContentHeight, height});
        m_layout.ContentHeight += height;
        m_listed.insert(item);
    }
    void AppendChildren(TKldAppItem* item, int height)
    {
        const TKldAppItems& children = item->Items();
        for (int i = 0; i < children.Count(); ++i)
            if (children.Items(i)->Visible())
                Append(children.Items(i), height);
    }
    bool Listed(const TKldAppItem* item) const { return m_listed.count(item) != 0; }

  private:
    TKldModuleLayout& m_layout;
    std::unordered_set<const TKldAppItem*> m_listed;
};

std::vector<std::string_view> Lines(const std::string& text)
{
    std::vector<std::string_view> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t end = rest.find_first_of("\r\n");
        lines.push_back(rest.substr(0, end));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end);
        if (rest.size() >= 2 && rest[0] == '\r' && rest[1] == '\n')
            rest.remove_prefix(2);
        else
            rest.remove_prefix(1);
    }
    return lines;
}

} // namespace

TKldModuleLayout LayoutModuleRows(const TKldAppItems& items, const TKldModuleLayoutParams& params)
{
    TKldModuleLayout layout;
    bool anyGroup = false;
    for (int i = 0; i < items.Count() && !anyGroup; ++i)
        anyGroup = items.Items(i)->Visible() && items.Items(i)->GetState(isGroup);
    layout.GroupMode = params.ShowByGroups && anyGroup;
    TRowBuilder rows(layout);
    auto appendModule = [&](TKldAppItem* item) {
        rows.Append(item, params.ItemHeight);
        if (item->GetState(isExpanded))
            rows.AppendChildren(item, params.SubItemHeight);
    };

    if (!layout.GroupMode) {
        for (int i = 0; i < items.Count(); ++i) {
            TKldAppItem* item = items.Items(i);
            if (item->Visible() && !item->GetState(isGroup))
                appendModule(item);
        }
        return layout;
    }

    // The modules by caption, in tree order, so that a group's lines find
    // their module without walking every item each time.
    std::unordered_map<std::string, std::vector<TKldAppItem*>> byCaption;
    for (int i = 0; i < items.Count(); ++i) {
        TKldAppItem* item = items.Items(i);
        if (item->Visible() && !item->GetState(isGroup))
            byCaption[AnsiUpperCase(item->Caption())].push_back(item);
    }
    for (int i = 0; i < items.Count(); ++i) {
        TKldAppItem* group = items.Items(i);
        if (!group->Visible() || !group->GetState(isGroup))
            continue;
        rows.Append(group, params.GroupItemHeight);
        if (!group->GetState(isExpanded))
            continue;
        for (std::string_view line : Lines(group->Items().MemberText())) {
            const auto found = byCaption.find(AnsiUpperCase(line));
            if (found == byCaption.end())
                continue;
            for (TKldAppItem* module : found->second) {
                if (!rows.Listed(module)) {
                    appendModule(module);
                    break;
                }
            }
        }
    }
    return layout;
}

int ClampModuleOffset(int y, int contentHeight, int workHeight)
{
    return std::max(0, std::min(y, contentHeight - workHeight));
}

int ScrollRowIntoView(int offset, const TKldModuleRow& row, int workHeight, int contentHeight)
{
    const int top = row.Top - offset;
    if (top < 0)
        offset = row.Top;
    else if (workHeight < top + row.Height)
        offset = row.Top + row.Height - workHeight;
    return ClampModuleOffset(offset, contentHeight, workHeight);
}

// ---------------------------------------------------------------------------
// TKldModuleView

TKldModuleView::TKldModuleView(QWidget* parent) : TKldAppItemView(parent)
{
    SetItemHeight(70);
    m_timer.SetEnabled(false);
    m_timer.SetInterval(AutoSlideInterval);
    m_timer.OnTimer = [this](TTimer*) { ScrollTo(m_offset + ScrollStep * m_autoSlide); };
}

TKldModuleView::~TKldModuleView()
{
    m_timer.OnTimer = nullptr;
    m_timer.SetEnabled(false);
}

void TKldModuleView::SetSpacerSize(int value)
{
    if (value == m_spacerSize)
        return;
    m_spacerSize = value;
    Invalidate();
}

void TKldModuleView::SetShowByGroups(bool value)
{
    if (value == m_showByGroups)
        return;
    m_showByGroups = value;
    AdjustContent();
}

void TKldModuleView::SetColor(int index, TColor color)
{
    TColor* target = nullptr;
    switch (index) {
    case kcSpacerColorA:
        target = &m_spacerColorA;
        break;
    case kcSpacerColorB:
        target = &m_spacerColorB;
        break;
    case kcSubColorA:
        target = &m_subColorA;
        break;
    case kcSubColorB:
        target = &m_subColorB;
        break;
    default:
        TKldAppItemView::SetColor(index, color);
        return;
    }
    if (*target == color)
        return;
    *target = color;
    Invalidate();
}

int TKldModuleView::GetVisCount() const
{
    return static_cast<int>(m_rows.size());
}

TKldAppItem* TKldModuleView::GetVisItem(int index) const
{
    const TKldModuleRow* row = RowOf(index);
    return row ? row->Item : nullptr;
}

const TKldModuleRow* TKldModuleView::RowOf(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_rows.size()))
        return nullptr;
    return &m_rows[index];
}

TRect TKldModuleView::GetItemRect(TKldAppItem* item) const
{
    const TKldModuleRow* row = RowOf(GetItemIdx(item));
    if (!row)
        return {};
    const TRect work = GetWorkRect();
    return {work.Left, row->Top - m_offset, work.Right, row->Top - m_offset + row->Height};
}

int TKldModuleView::GetItemIdx(TKldAppItem* item) const
{
    if (!item)
        return -1;
    const auto found = m_rowIndex.find(item);
    return found == m_rowIndex.end() ? -1 : found->second;
}

void TKldModuleView::ItemRemoved(TKldAppItem* item)
{
    TKldAppItemView::ItemRemoved(item);
    m_rows.clear();
    m_rowIndex.clear();
}

void TKldModuleView::ScrollIntoView(int index)
{
    if (const TKldModuleRow* row = RowOf(index))
        m_offset = ScrollRowIntoView(m_offset, *row, GetWorkSize().Y, m_contentHeight);
}

void TKldModuleView::SetSelIdx(int n)
{
    TKldAppItemView::SetSelIdx(n);
    ScrollIntoView(SelIdx());
    Invalidate();
    if (OnItemSelect)
        OnItemSelect(this, GetSelItem());
}

bool TKldModuleView::SetCurIdx(int n, bool clamp)
{
    const bool changed = TKldAppItemView::SetCurIdx(n, clamp);
    if (changed)
        ScrollIntoView(CurIdx());
    return changed;
}

void TKldModuleView::CheckSelItem(TKldAppItem* item)
{
    if (item) {
        int index = GetItemIdx(item);
        if (index < 0)
            index = GetItemIdx(item->GetParent());
        SetSelIdxValue(index);
        ScrollIntoView(index);
    } else {
        SetSelIdxValue(-1);
    }
    Invalidate();
}

void TKldModuleView::DoExpandCollapse(TKldAppItem* item, bool force)
{
    if (!item || !(item->GetState(isGroup) || item->HasChildren()) || item->GetParent())
        return;
    const bool opening = !item->GetState(isExpanded);
    if (!opening && !force && !m_autoCollapse)
        return;
    TKldAppItem* selected = GetSelItem();
    TGuardedPtr<TKldAppItem> keep(selected);
    TKldAppItems& items = Items();
    items.BeginUpdate();
    try {
        if (opening) {
            const bool group = item->GetState(isGroup);
            for (int i = 0; i < items.Count(); ++i) {
                TKldAppItem* other = items.Items(i);
                if (other == item || !other->Visible() || !other->GetState(isExpanded))
                    continue;
                if (group ? other->GetState(isGroup) : !m_allowAllExpanded)
                    other->SetState(isExpanded, false);
            }
        }
        item->SetState(isExpanded, opening);
    } catch (...) {
        items.EndUpdate();
        throw;
    }
    items.EndUpdate();
    CheckSelItem(keep.Get());
    if (opening && OnExpand)
        OnExpand(this);
}

void TKldModuleView::ScrollTo(int y)
{
    const int offset = ClampModuleOffset(y, m_contentHeight, GetWorkSize().Y);
    if (offset == m_offset)
        return;
    m_offset = offset;
    Invalidate();
}

bool TKldModuleView::SliderVisible(bool up) const
{
    if (up)
        return m_offset > 0;
    return GetWorkSize().Y + m_offset < m_contentHeight;
}

TRect TKldModuleView::SliderRect(bool up) const
{
    const TKldAppViewPictures& pictures = KldAppViewPictures();
    const QImage& picture = up ? pictures.SliderUp : pictures.SliderDn;
    const TRect work = GetWorkRect();
    const int right = work.Right - 2;
    const int top = up ? work.Top + 2 : work.Bottom - 2 - picture.height();
    return {right - picture.width(), top, right, top + picture.height()};
}

int TKldModuleView::SliderAt(const TPoint& p) const
{
    if (SliderVisible(true) && PtInRect(SliderRect(true), p))
        return -1;
    if (SliderVisible(false) && PtInRect(SliderRect(false), p))
        return 1;
    return 0;
}

void TKldModuleView::AdjustContent()
{
    if (Updating())
        return;
    TKldAppItem* selected = SelItemBeforeLayout();
    TKldModuleLayoutParams params;
    params.ShowByGroups = m_showByGroups;
    params.ItemHeight = ItemHeight();
    params.SubItemHeight = m_subItemHeight;
    params.GroupItemHeight = m_groupItemHeight;
    TKldModuleLayout layout = LayoutModuleRows(Items(), params);
    m_rows = std::move(layout.Rows);
    m_contentHeight = layout.ContentHeight;
    m_rowIndex.clear();
    std::vector<TKldAppItem*>& visible = VisibleList();
    visible.clear();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        TKldModuleRow& row = m_rows[i];
        row.Item->SetCell(0, row.Top, row.Height);
        visible.push_back(row.Item);
        m_rowIndex.emplace(row.Item, static_cast<int>(i));
    }
    m_offset = std::min(m_offset, std::max(m_contentHeight - GetWorkSize().Y, 0));
    if (const int index = GetItemIdx(selected); index >= 0)
        SetSelIdxValue(index);
}

void TKldModuleView::Paint()
{
    TKldCanvas& c = BeginPaint();
    const TRect client = ClientRect();
    c.Brush().Style = bsSolid;
    c.Brush().Color = ShiftColor(Color(), 8);
    c.FillRect({0, 0, m_spacerSize, client.Bottom});
    c.Brush().Color = Color();
    c.FillRect({m_spacerSize, 0, client.Right, client.Bottom});

    // Only the rows that reach into the part being painted.
    const TRect area = PaintRect();
    for (const TKldModuleRow& row : m_rows) {
        const int top = row.Top - m_offset;
        if (top >= area.Bottom)
            break;
        if (top + row.Height > area.Top)
            PaintItem(row.Item);
    }

    if (MouseInControl()) {
        const TKldAppViewPictures& pictures = KldAppViewPictures();
        if (SliderVisible(true)) {
            const TRect r = SliderRect(true);
            c.Draw(r.Left, r.Top, m_sliderHot == -1 ? pictures.SliderUpSel : pictures.SliderUp);
        }
        if (SliderVisible(false)) {
            const TRect r = SliderRect(false);
            c.Draw(r.Left, r.Top, m_sliderHot == 1 ? pictures.SliderDnSel : pictures.SliderDn);
        }
    }
    PaintBorders();
    EndPaint();
}

void TKldModuleView::PaintItem(TKldAppItem* item)
{
    const int k = GetItemIdx(item);
    if (k < 0)
        return;
    TKldCanvas& c = OffScreen();
    const TRect r = GetItemRect(item);
    int x = r.Left + m_spacerSize;
    c.Font().Assign(Font());
    const bool group = item->GetState(isGroup);
    const bool child = item->GetParent() != nullptr;
    const bool hot = m_sliderHot == 0 && MouseInControl() && k == CurIdx();
    const bool selected = k == SelIdx();

    TColor fontColor = Font().Color();
    TRect fill{x, r.Top, r.Right, r.Bottom};
    if (selected && group)
        fill.Left = r.Left;
    if (hot && !selected) {
        DoGradientFill(c, fill, HighlightColorA(), HighlightColorB(), gdVert);
        fontColor = HighlightFontColor();
    } else if (selected) {
        DoGradientFill(c, fill, SelectedColorA(), SelectedColorB(), gdVert);
        fontColor = SelectedFontColor();
    } else if (child) {
        DoGradientFill(c, fill, m_subColorA, m_subColorB, m_subDir);
    } else if (group) {
        const TColor end = ShiftColor(Color(), item->GetState(isExpanded) ? 36 : 8);
        DoGradientFill(c, fill, ShiftColor(Color(), 8), end, gdHorz);
    } else {
        c.Brush().Style = bsSolid;
        c.Brush().Color = Color();
        c.FillRect(fill);
    }
    if (group && !selected)
        DoGradientFill(c, {x, r.Bottom - 1, r.Right, r.Bottom}, ShiftColor(Color(), 8),
                       ShiftColor(Color(), 22), gdHorz);

    if (item->HasChildren()) {
        const TKldAppViewPictures& pictures = KldAppViewPictures();
        const QImage& arrow = item->GetState(isExpanded) ? pictures.Dn : pictures.Right;
        const TRect strip =
            CenterRect({x - m_spacerSize, r.Top, x, r.Bottom}, {arrow.width(), arrow.height()});
        c.Draw(strip.Left, strip.Top, arrow);
    }

    TCustomImageList* images = Images();
    if (images && images->ValidIndex(item->ImageIndex())) {
        x += 3;
        images->Draw(c, x, r.Top + (r.Height() - images->Height()) / 2, item->ImageIndex());
        x += images->Width() + 4;
    } else if (child) {
        c.Brush().Style = bsSolid;
        c.Brush().Color = KldItemColor(item->Tag());
        c.FillRect({x - 3, r.Top + 2, x - 1, r.Bottom - 2});
        x += 5;
    } else {
        x += 3;
    }

    c.Font().SetColor(fontColor);
    if (group) {
        c.Font().SetSize(9);
        c.Font().SetStyle({fsBold});
        // The sign: a minus when open, a plus when closed.
        const int y = r.Top + r.Height() / 2;
        c.Brush().Style = bsSolid;
        c.Brush().Color = selected ? clWhite : 0x808080;
        c.FillRect({4, y, 9, y + 1});
        if (!item->GetState(isExpanded))
            c.FillRect({6, y - 2, 7, y + 3});
    } else {
        c.Font().SetStyle({});
    }
    TRect text{x, r.Top, r.Right, r.Bottom};
    DrawText(c, item->Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// ---------------------------------------------------------------------------
// Input

void TKldModuleView::StartAutoSlide(int direction)
{
    m_autoSlide = direction;
    m_timer.SetEnabled(direction != 0);
}

void TKldModuleView::StopAutoSlide()
{
    m_autoSlide = 0;
    m_timer.SetEnabled(false);
}

void TKldModuleView::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TKldAppItemView::MouseDown(button, shift, x, y);
    if (button != mbLeft)
        return;
    // Quick clicks on an arrow arrive as double clicks: their releases must
    // not open the row beneath it either.
    m_arrowPressed = SliderAt({x, y}) != 0;
    if (shift.Contains(ssDouble))
        return;
    SetFocus();
    m_sliderHot = SliderAt({x, y});
    if (m_sliderHot != 0) {
        ScrollTo(m_offset + ScrollStep * m_sliderHot);
        StartAutoSlide(m_sliderHot);
    } else if (x > m_spacerSize) {
        SetSelIdx(PosToItem({x, y}));
    }
}

void TKldModuleView::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TKldAppItemView::MouseUp(button, shift, x, y);
    if (button != mbLeft)
        return;
    StopAutoSlide();
    // The release that ends a press on an arrow scrolled the list; it opens
    // nothing beneath the arrow.
    if (m_arrowPressed) {
        m_arrowPressed = false;
        return;
    }
    DoExpandCollapse(GetVisItem(PosToItem({x, y})), x < m_spacerSize);
}

void TKldModuleView::MouseMove(TShiftState shift, int x, int y)
{
    TKldAppItemView::MouseMove(shift, x, y);
    const int hot = SliderAt({x, y});
    if (hot != m_sliderHot) {
        m_sliderHot = hot;
        Invalidate();
    }
    if (m_sliderHot == 0)
        SetCurIdx(PosToItem({x, y}), false);
}

bool TKldModuleView::DoMouseWheel(TShiftState shift, int wheelDelta, const TPoint& mousePos)
{
    if (!PtInRect(ClientRect(), mousePos) || wheelDelta == 0)
        return false;
    ScrollTo(m_offset + (wheelDelta < 0 ? ScrollStep : -ScrollStep));
    return true;
}

void TKldModuleView::KeyDown(uint16_t& key, TShiftState shift)
{
    switch (key) {
    case VK_HOME:
        SetCurIdx(0, true);
        break;
    case VK_UP:
        SetCurIdx(CurIdx() - 1, true);
        break;
    case VK_DOWN:
        SetCurIdx(CurIdx() + 1, true);
        break;
    case VK_END:
        SetCurIdx(GetVisCount() - 1, true);
        break;
    case VK_RETURN:
        SetSelIdx(CurIdx());
        break;
    default:
        break;
    }
    TKldAppItemView::KeyDown(key, shift);
}

void TKldModuleView::MouseLeave()
{
    StopAutoSlide();
    m_sliderHot = 0;
    TKldAppItemView::MouseLeave();
}

void TKldModuleView::DoExit()
{
    StopAutoSlide();
    m_sliderHot = 0;
    TKldAppItemView::DoExit();
}
