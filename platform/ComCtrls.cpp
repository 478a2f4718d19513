#include "platform/ComCtrls.h"

#include "platform/DrawText.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>

#include <algorithm>

// ---------------------------------------------------------------------------
// Layout

namespace {
// Beyond its padding a tab keeps 3 pixels on each side of its content.
constexpr int TabExtraWidth = 6;
} // namespace

TTabLayout LayoutTabs(const TTabLayoutInput& Input)
{
    TTabLayout layout;
    const int row = Input.TabHeight > 0
                        ? Input.TabHeight
                        : std::max(std::max(Input.LineHeight, Input.ImageSize.Y) + 2 * Input.Padding.Y + 2,
                                   Input.MinRowSize);
    layout.RowSize = row;
    const int w = Input.ClientSize.X;
    const int h = Input.ClientSize.Y;
    int along = 2;
    for (size_t i = 0; i < Input.TextWidths.size(); ++i) {
        int length = Input.TabWidth;
        if (length <= 0) {
            length = Input.TextWidths[i] + 2 * Input.Padding.X + TabExtraWidth;
            if (i < Input.HasImage.size() && Input.HasImage[i])
                length += Input.ImageSize.X + 3;
            length = std::max(length, Input.MinTabLength);
        }
        switch (Input.Position) {
        case tpTop:
            layout.Tabs.push_back({along, 2, along + length, 2 + row});
            break;
        case tpBottom:
            layout.Tabs.push_back({along, h - 2 - row, along + length, h - 2});
            break;
        case tpLeft:
            layout.Tabs.push_back({2, along, 2 + row, along + length});
            break;
        case tpRight:
            layout.Tabs.push_back({w - 2 - row, along, w - 2, along + length});
            break;
        }
        along += length;
    }
    switch (Input.Position) {
    case tpTop:
        layout.DisplayRect = {4, row + 4, w - 4, h - 4};
        break;
    case tpBottom:
        layout.DisplayRect = {4, 4, w - 4, h - row - 4};
        break;
    case tpLeft:
        layout.DisplayRect = {row + 4, 4, w - 4, h - 4};
        break;
    case tpRight:
        layout.DisplayRect = {4, 4, w - row - 4, h - 4};
        break;
    }
    return layout;
}

// ---------------------------------------------------------------------------
// TCustomTabControl

TCustomTabControl::TCustomTabControl(QWidget* parent) : TCustomControl(parent)
{
    SetTabStop(true);
}

TCustomTabControl::~TCustomTabControl()
{
    if (m_handle != NullHWnd)
        DeallocateHWnd(m_handle);
}

HWND TCustomTabControl::Handle()
{
    if (m_handle == NullHWnd)
        m_handle = AllocateHWnd(this);
    return m_handle;
}

void TCustomTabControl::WndProc(TMessage& Message)
{
    // The platform erases the background itself.
    Message.Result = 0;
}

void TCustomTabControl::RecreateWnd()
{
    m_padding = {6, 3};
    CreateWnd();
    TabsChanged();
}

void TCustomTabControl::SetTabPosition(TTabPosition Value)
{
    if (Value == m_tabPosition)
        return;
    m_tabPosition = Value;
    TabsChanged();
}

void TCustomTabControl::SetTabWidth(int Value)
{
    if (Value == m_tabWidth)
        return;
    m_tabWidth = Value;
    TabsChanged();
}

void TCustomTabControl::SetTabHeight(int Value)
{
    if (Value == m_tabHeight)
        return;
    m_tabHeight = Value;
    TabsChanged();
}

void TCustomTabControl::SetTabPadding(TPoint Value)
{
    if (Value == m_padding)
        return;
    m_padding = Value;
    TabsChanged();
}

void TCustomTabControl::SetImages(TCustomImageList* Value)
{
    m_images = Value;
    TabsChanged();
}

void TCustomTabControl::SetOwnerDraw(bool Value)
{
    if (Value == m_ownerDraw)
        return;
    m_ownerDraw = Value;
    Invalidate();
}

void TCustomTabControl::TabsChanged()
{
    Realign();
    Invalidate();
}

void TCustomTabControl::FontChanged()
{
    TabsChanged();
}

TTabLayout TCustomTabControl::Layout() const
{
    TTabLayoutInput input;
    input.Position = m_tabPosition;
    input.ClientSize = {ClientWidth(), ClientHeight()};
    TCanvas measure;
    measure.Font().Assign(Font());
    input.LineHeight = measure.TextHeight("Wg");
    TCustomImageList* images = Images();
    if (images)
        input.ImageSize = {images->Width(), images->Height()};
    input.Padding = m_padding;
    input.TabWidth = m_tabWidth;
    input.TabHeight = m_tabHeight;
    const int count = TabCount();
    for (int i = 0; i < count; ++i) {
        TRect r{0, 0, 0, 0};
        DrawText(measure, TabText(i), r, DT_CALCRECT | DT_SINGLELINE);
        input.TextWidths.push_back(r.Width());
        input.HasImage.push_back(images && images->ValidIndex(TabImageIndex(i)));
    }
    AdjustTabLayout(input);
    return LayoutTabs(input);
}

TRect TCustomTabControl::TabRect(int Index) const
{
    const TTabLayout layout = Layout();
    if (Index < 0 || Index >= static_cast<int>(layout.Tabs.size()))
        return {};
    return layout.Tabs[Index];
}

int TCustomTabControl::IndexOfTabAt(int X, int Y) const
{
    const TTabLayout layout = Layout();
    for (size_t i = 0; i < layout.Tabs.size(); ++i)
        if (PtInRect(layout.Tabs[i], {X, Y}))
            return static_cast<int>(i);
    return -1;
}

TRect TCustomTabControl::DisplayRect() const
{
    return AdjustDisplayRect(Layout().DisplayRect);
}

void TCustomTabControl::AdjustClientRect(TRect& Rect) const
{
    const TRect display = DisplayRect();
    Rect = OffsetRect(display, ClientOrigin().X, ClientOrigin().Y);
}

bool TCustomTabControl::CanChange()
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    return allow;
}

void TCustomTabControl::Change()
{
    if (OnChange)
        OnChange(this);
}

void TCustomTabControl::SelectTab(int Index)
{
    if (Index < 0 || Index == TabIndex() || !CanChange())
        return;
    SetTabIndex(Index);
    Change();
}

void TCustomTabControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
        SelectTab(IndexOfTabAt(X, Y));
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomTabControl::KeyDown(uint16_t& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    const bool vertical = m_tabPosition == tpLeft || m_tabPosition == tpRight;
    const uint16_t back = vertical ? VK_UP : VK_LEFT;
    const uint16_t next = vertical ? VK_DOWN : VK_RIGHT;
    if (Key != back && Key != next)
        return;
    const int target = TabIndex() + (Key == next ? 1 : -1);
    if (target >= 0 && target < TabCount())
        SelectTab(target);
    Key = 0;
}

void TCustomTabControl::Resize()
{
    // A resize that comes with the window being maximised or minimised is of
    // that kind; any other is a plain ("restored") one.
    const Qt::WindowStates state = window()->windowState();
    if (!m_windowStateSeen) {
        m_windowStateSeen = true;
        m_lastWindowState = state;
    }
    if (state & Qt::WindowMinimized)
        m_sizeType = SIZE_MINIMIZED;
    else if (state != m_lastWindowState && (state & Qt::WindowMaximized))
        m_sizeType = SIZE_MAXIMIZED;
    else
        m_sizeType = SIZE_RESTORED;
    m_lastWindowState = state;
    TCustomControl::Resize();
}

void TCustomTabControl::DrawTab(int TabIndex, const TRect& Rect, bool Active)
{
    if (OnDrawTab)
        OnDrawTab(this, TabIndex, Rect, Active);
}

void TCustomTabControl::Paint()
{
    TCanvas& c = Canvas();
    c.Brush().Style = bsSolid;
    c.Brush().Color = Color();
    c.FillRect(PaintRect());
    QPainter* p = c.Handle();
    if (!p)
        return;
    const TTabLayout layout = Layout();
    const int w = ClientWidth();
    const int h = ClientHeight();
    QTabBar::Shape shape = QTabBar::RoundedNorth;
    TRect pane{0, 2 + layout.RowSize, w, h};
    switch (m_tabPosition) {
    case tpTop:
        break;
    case tpBottom:
        shape = QTabBar::RoundedSouth;
        pane = {0, 0, w, h - 2 - layout.RowSize};
        break;
    case tpLeft:
        shape = QTabBar::RoundedWest;
        pane = {2 + layout.RowSize, 0, w, h};
        break;
    case tpRight:
        shape = QTabBar::RoundedEast;
        pane = {0, 0, w - 2 - layout.RowSize, h};
        break;
    }
    QStyle* st = style();
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = ToQRect(pane);
    frame.shape = shape;
    const int selected = TabIndex();
    st->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, p, this);

    const int count = static_cast<int>(layout.Tabs.size());
    auto paintTab = [&](int i) {
        QStyleOptionTab tab;
        tab.initFrom(this);
        tab.shape = shape;
        tab.rect = ToQRect(layout.Tabs[i]);
        tab.position = count == 1       ? QStyleOptionTab::OnlyOneTab
                       : i == 0         ? QStyleOptionTab::Beginning
                       : i == count - 1 ? QStyleOptionTab::End
                                        : QStyleOptionTab::Middle;
        tab.selectedPosition = selected == i - 1   ? QStyleOptionTab::PreviousIsSelected
                               : selected == i + 1 ? QStyleOptionTab::NextIsSelected
                                                   : QStyleOptionTab::NotAdjacent;
        tab.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
        if (i == selected) {
            tab.state |= QStyle::State_Selected;
            if (hasFocus())
                tab.state |= QStyle::State_HasFocus;
        }
        // Styles draw a tab's shape beyond it, relying on the clipping of a
        // tab bar of its own: the shape is kept to its tab and the 2 pixels
        // where it meets the pane.
        p->save();
        p->setClipRect(ToQRect(TabClip(layout.Tabs[i])), Qt::IntersectClip);
        st->drawControl(QStyle::CE_TabBarTabShape, &tab, p, this);
        p->restore();
        if (m_ownerDraw)
            DrawTab(i, InflateRect(layout.Tabs[i], -3, -2), i == selected);
        else
            PaintTabLabel(i, layout.Tabs[i], i == selected);
    };
    for (int i = 0; i < count; ++i)
        if (i != selected)
            paintTab(i);
    if (selected >= 0 && selected < count)
        paintTab(selected);
}

TRect TCustomTabControl::TabClip(const TRect& Tab) const
{
    switch (m_tabPosition) {
    case tpTop:
        return {Tab.Left, Tab.Top, Tab.Right, Tab.Bottom + 2};
    case tpBottom:
        return {Tab.Left, Tab.Top - 2, Tab.Right, Tab.Bottom};
    case tpLeft:
        return {Tab.Left, Tab.Top, Tab.Right + 2, Tab.Bottom};
    case tpRight:
        return {Tab.Left - 2, Tab.Top, Tab.Right, Tab.Bottom};
    }
    return Tab;
}

void TCustomTabControl::PaintTabLabel(int Index, const TRect& Tab, bool Selected)
{
    TCanvas& c = Canvas();
    QPainter* p = c.Handle();
    // The style moves the tabs that are not selected away from the body.
    const int shift = Selected ? 0 : style()->pixelMetric(QStyle::PM_TabBarTabShiftVertical, nullptr, this);
    TRect r = Tab;
    switch (m_tabPosition) {
    case tpTop:
        r = OffsetRect(r, 0, shift);
        break;
    case tpBottom:
        r = OffsetRect(r, 0, -shift);
        break;
    case tpLeft:
        r = OffsetRect(r, shift, 0);
        break;
    case tpRight:
        r = OffsetRect(r, -shift, 0);
        break;
    }
    p->save();
    // Tabs on the left or right carry their labels turned a quarter.
    const bool vertical = m_tabPosition == tpLeft || m_tabPosition == tpRight;
    if (vertical) {
        p->translate((r.Left + r.Right) / 2.0, (r.Top + r.Bottom) / 2.0);
        p->rotate(m_tabPosition == tpLeft ? -90 : 90);
        r = Rect(-r.Height() / 2, -r.Width() / 2, r.Height() - r.Height() / 2, r.Width() - r.Width() / 2);
    }
    TRect text{r.Left + m_padding.X, r.Top, r.Right - m_padding.X, r.Bottom};
    TCustomImageList* images = Images();
    const int image = TabImageIndex(Index);
    if (images && images->ValidIndex(image)) {
        images->Draw(c, text.Left, r.Top + (r.Height() - images->Height()) / 2, image, isEnabled());
        text.Left += images->Width() + 3;
    }
    c.Font().Assign(Font());
    c.Font().SetColor(ColorFromQColor(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText)));
    DrawText(c, TabText(Index), text, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    p->restore();
}

// ---------------------------------------------------------------------------
// TTabControl

TTabControl::TTabControl(QWidget* parent) : TCustomTabControl(parent)
{
    m_tabs.OnChange = [this](TObject*) {
        const int count = m_tabs.Count();
        if (count == 0)
            m_tabIndex = -1;
        else if (m_tabIndex < 0)
            m_tabIndex = 0;
        else if (m_tabIndex >= count)
            m_tabIndex = count - 1;
        TabsChanged();
    };
}

TTabControl::~TTabControl()
{
    m_tabs.OnChange = nullptr;
}

std::string TTabControl::TabText(int Index) const
{
    return Index >= 0 && Index < m_tabs.Count() ? m_tabs[Index] : std::string();
}

void TTabControl::SetTabIndex(int Value)
{
    if (Value < -1 || Value >= m_tabs.Count() || Value == m_tabIndex)
        return;
    m_tabIndex = Value;
    Invalidate();
}

// ---------------------------------------------------------------------------
// TTabSheet

TTabSheet::TTabSheet(TPageControl* PageControl) : TCustomControl(PageControl)
{
    QWidget::setVisible(false);
    SetPageControl(PageControl);
}

TTabSheet::~TTabSheet()
{
    if (m_pageControl)
        m_pageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* Value)
{
    if (Value == m_pageControl)
        return;
    if (m_pageControl)
        m_pageControl->RemovePage(this);
    if (Value) {
        if (parentWidget() != Value)
            setParent(Value);
        Value->InsertPage(this);
    }
}

void TTabSheet::SetCaption(const std::string& Value)
{
    if (Value == m_caption)
        return;
    m_caption = Value;
    if (m_pageControl)
        m_pageControl->PageTabChanged(this);
}

void TTabSheet::SetImageIndex(int Value)
{
    if (Value == m_imageIndex)
        return;
    m_imageIndex = Value;
    if (m_pageControl)
        m_pageControl->PageTabChanged(this);
}

void TTabSheet::SetTabVisible(bool Value)
{
    if (Value == m_tabVisible)
        return;
    m_tabVisible = Value;
    if (m_pageControl)
        m_pageControl->PageTabChanged(this);
}

int TTabSheet::PageIndex() const
{
    if (!m_pageControl)
        return -1;
    const auto& pages = m_pageControl->m_pages;
    const auto it = std::find(pages.begin(), pages.end(), this);
    return it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
}

void TTabSheet::SetPageIndex(int Value)
{
    const int current = PageIndex();
    if (current < 0 || Value < 0 || Value >= m_pageControl->PageCount() || Value == current)
        return;
    auto& pages = m_pageControl->m_pages;
    pages.erase(pages.begin() + current);
    pages.insert(pages.begin() + Value, this);
    m_pageControl->PageTabChanged(this);
}

int TTabSheet::TabIndex() const
{
    if (!m_pageControl || !m_tabVisible)
        return -1;
    int index = 0;
    for (TTabSheet* page : m_pageControl->m_pages) {
        if (page == this)
            return index;
        if (page->m_tabVisible)
            ++index;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// TPageControl

TPageControl::TPageControl(QWidget* parent) : TCustomTabControl(parent) {}

TPageControl::~TPageControl()
{
    // The pages are Qt children that go with the control: they must not
    // report back to it.
    for (TTabSheet* page : m_pages)
        page->m_pageControl = nullptr;
    m_pages.clear();
    m_activePage = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const
{
    return Index >= 0 && Index < PageCount() ? m_pages[Index] : nullptr;
}

void TPageControl::InsertPage(TTabSheet* Page)
{
    m_pages.push_back(Page);
    Page->m_pageControl = this;
    if (!m_activePage && Page->TabVisible())
        SetActivePage(Page);
    TabsChanged();
}

void TPageControl::RemovePage(TTabSheet* Page)
{
    const int index = Page->PageIndex();
    if (index < 0)
        return;
    m_pages.erase(m_pages.begin() + index);
    Page->m_pageControl = nullptr;
    if (m_activePage == Page) {
        m_activePage = nullptr;
        SetActivePage(NearestTabPage(index, index - 1));
    }
    TabsChanged();
}

void TPageControl::PageTabChanged(TTabSheet* Page)
{
    if (Page == m_activePage && !Page->TabVisible()) {
        m_activePage = nullptr;
        Page->hide();
        const int index = Page->PageIndex();
        SetActivePage(NearestTabPage(index + 1, index - 1));
    } else if (!m_activePage && Page->TabVisible()) {
        SetActivePage(Page);
    }
    TabsChanged();
}

TTabSheet* TPageControl::NearestTabPage(int After, int Before) const
{
    for (int i = std::max(0, After); i < PageCount(); ++i)
        if (m_pages[i]->TabVisible())
            return m_pages[i];
    for (int i = std::min(Before, PageCount() - 1); i >= 0; --i)
        if (m_pages[i]->TabVisible())
            return m_pages[i];
    return nullptr;
}

void TPageControl::SetActivePage(TTabSheet* Page)
{
    if (Page && (Page->m_pageControl != this || !Page->TabVisible()))
        return;
    if (Page == m_activePage)
        return;
    if (m_activePage)
        m_activePage->hide();
    m_activePage = Page;
    PlacePages();
    if (Page) {
        Page->show();
        Page->raise();
    }
    Invalidate();
}

int TPageControl::ActivePageIndex() const
{
    return m_activePage ? m_activePage->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int Index)
{
    SetActivePage(Pages(Index));
}

int TPageControl::TabCount() const
{
    return static_cast<int>(
        std::count_if(m_pages.begin(), m_pages.end(), [](const TTabSheet* p) { return p->TabVisible(); }));
}

TTabSheet* TPageControl::TabPage(int Index) const
{
    if (Index < 0)
        return nullptr;
    for (TTabSheet* page : m_pages)
        if (page->TabVisible() && Index-- == 0)
            return page;
    return nullptr;
}

std::string TPageControl::TabText(int Index) const
{
    TTabSheet* page = TabPage(Index);
    return page ? page->Caption() : std::string();
}

int TPageControl::TabImageIndex(int Index) const
{
    TTabSheet* page = TabPage(Index);
    return page ? page->ImageIndex() : -1;
}

int TPageControl::TabIndex() const
{
    return m_activePage ? m_activePage->TabIndex() : -1;
}

void TPageControl::SetTabIndex(int Value)
{
    SetActivePage(TabPage(Value));
}

void TPageControl::PlacePages()
{
    const TRect r = OffsetRect(DisplayRect(), ClientOrigin().X, ClientOrigin().Y);
    for (TTabSheet* page : m_pages)
        if (page->BoundsRect() != r)
            page->SetBounds(r.Left, r.Top, r.Width(), r.Height());
}

void TPageControl::Resize()
{
    TCustomTabControl::Resize();
    PlacePages();
}

void TPageControl::TabsChanged()
{
    PlacePages();
    TCustomTabControl::TabsChanged();
}
