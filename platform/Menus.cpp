#include "platform/Menus.h"

#include "platform/DrawText.h"
#include "platform/Threads.h"

#include <QAction>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QPolygon>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::~TMenuItem() = default;

TMenuItem* TMenuItem::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[index].get();
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_items[i].get() == item)
            return i;
    return -1;
}

TMenuItem* TMenuItem::Add()
{
    m_items.push_back(std::make_unique<TMenuItem>());
    m_items.back()->m_parent = this;
    return m_items.back().get();
}

void TMenuItem::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    m_items.erase(m_items.begin() + index);
}

void TMenuItem::Clear()
{
    m_items.clear();
}

void TMenuItem::Click()
{
    if (m_enabled && OnClick)
        OnClick(this);
}

// ---------------------------------------------------------------------------
// The Qt side: a QMenu whose entries the popup menu measures and paints.

// Sizes the QMenu's entries by the popup menu's measuring and takes away the
// style's own margins, so an entry is exactly as large as measured.
class TPopupMenu::TMenuStyle : public QProxyStyle
{
  public:
    explicit TMenuStyle(TPopupMenu& owner) : m_owner(owner) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_MenuHMargin:
        case PM_MenuVMargin:
        case PM_MenuDesktopFrameWidth:
        case PM_SubMenuOverlap:
            return 0;
        case PM_MenuPanelWidth:
            return 1;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

  private:
    TPopupMenu& m_owner;
};

class TPopupMenu::TQtMenu : public QMenu
{
  public:
    TQtMenu(TPopupMenu& owner, QWidget* parent) : QMenu(parent), m_owner(owner) {}

    void Map(QAction* action, TMenuItem* item) { m_entries.push_back({action, item}); }
    TMenuItem* ItemOf(const QAction* action) const
    {
        for (const auto& e : m_entries)
            if (e.Action == action)
                return e.Item.Get();
        return nullptr;
    }
    // The action QMenu is sizing at the moment (see initStyleOption).
    const QAction* StyledAction() const { return m_styled; }
    TPopupMenu& Owner() const { return m_owner; }

  protected:
    // QMenu sizes each action right after describing it here, so this tells
    // the style which entry it measures.
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override
    {
        QMenu::initStyleOption(option, action);
        m_styled = action;
    }

    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), ToQColor(clMenu));
        TCanvas canvas(&painter);
        try {
            for (QAction* action : actions()) {
                TMenuItem* item = ItemOf(action);
                const QRect r = actionGeometry(action);
                if (!item || !action->isVisible() || !r.intersects(event->rect()))
                    continue;
                const bool selected = action == activeAction() && action->isEnabled() && !item->IsLine();
                m_owner.DrawItem(*item, canvas, FromQRect(r), selected);
                if (action->menu() && m_owner.OwnerDraw())
                    SubMenuArrow(painter, r, selected);
            }
        } catch (...) {
            ReportCurrentException("TPopupMenu.DrawItem");
        }
        painter.setPen(ToQColor(clBtnShadow));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

  private:
    // As the platform does for owner-drawn entries, the sub-menu arrow is
    // drawn over what the owner drew.
    static void SubMenuArrow(QPainter& painter, const QRect& r, bool selected)
    {
        const int x = r.right() - 9;
        const int y = r.center().y();
        painter.setPen(Qt::NoPen);
        painter.setBrush(ToQColor(selected ? clHighlightText : clMenuText));
        painter.drawPolygon(QPolygon({QPoint(x, y - 4), QPoint(x + 4, y), QPoint(x, y + 4)}));
    }

    struct TEntry
    {
        QAction* Action;
        TGuardedPtr<TMenuItem> Item;
    };
    TPopupMenu& m_owner;
    std::vector<TEntry> m_entries;
    mutable const QAction* m_styled = nullptr;
};

QSize TPopupMenu::TMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                               const QSize& size, const QWidget* widget) const
{
    if (type == CT_MenuItem) {
        if (const auto* menu = dynamic_cast<const TQtMenu*>(widget)) {
            if (TMenuItem* item = menu->ItemOf(menu->StyledAction())) {
                try {
                    const TSize s = m_owner.MeasureItem(*item);
                    return QSize(s.cx, s.cy);
                } catch (...) {
                    ReportCurrentException("TPopupMenu.MeasureItem");
                }
            }
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

// ---------------------------------------------------------------------------
// TPopupMenu

TPopupMenu::TPopupMenu() = default;

TPopupMenu::~TPopupMenu()
{
    ReleaseMenu();
}

void TPopupMenu::ReleaseMenu()
{
    if (!m_menu)
        return;
    TQtMenu* menu = m_menu;
    m_menu = nullptr;
    menu->hide();
    // A menu cannot be deleted inside its own signal: that waits for the
    // event loop.
    if (m_triggering > 0)
        menu->deleteLater();
    else
        delete menu;
}

TSize TPopupMenu::MeasureItem(TMenuItem& item)
{
    if (m_ownerDraw && item.OnMeasureItem) {
        TCanvas canvas;
        canvas.Font().Assign(m_font);
        int width = 0;
        int height = 0;
        item.OnMeasureItem(&item, canvas, width, height);
        return {width, height};
    }
    return DefaultMeasure(item);
}

void TPopupMenu::DrawItem(TMenuItem& item, TCanvas& canvas, const TRect& rect, bool selected)
{
    canvas.Font().Assign(m_font);
    if (m_ownerDraw && item.OnDrawItem) {
        item.OnDrawItem(&item, canvas, rect, selected);
        return;
    }
    DefaultDraw(item, canvas, rect, selected);
}

namespace {
constexpr int DefaultGutter = 24; // picture and check column
constexpr int DefaultArrowSpace = 20;
constexpr int DefaultLineHeight = 9;
} // namespace

TSize TPopupMenu::DefaultMeasure(TMenuItem& item)
{
    if (item.IsLine())
        return {DefaultGutter, DefaultLineHeight};
    TCanvas canvas;
    canvas.Font().Assign(m_font);
    TRect r{0, 0, 0, 0};
    DrawText(canvas, item.Caption(), r, DT_CALCRECT | DT_SINGLELINE);
    int height = std::max(r.Height() + 8, 19);
    if (TCustomImageList* images = m_images.Get())
        height = std::max(height, images->Height() + 4);
    return {DefaultGutter + r.Width() + DefaultArrowSpace, height};
}

void TPopupMenu::DefaultDraw(TMenuItem& item, TCanvas& canvas, const TRect& rect, bool selected)
{
    canvas.Brush().Style = bsSolid;
    canvas.Brush().Color = selected ? clHighlight : clMenu;
    canvas.FillRect(rect);
    if (item.IsLine()) {
        const int y = rect.Top + rect.Height() / 2;
        canvas.Pen().Color = clBtnShadow;
        canvas.MoveTo(rect.Left + 2, y);
        canvas.LineTo(rect.Right - 2, y);
        return;
    }
    TCustomImageList* images = m_images.Get();
    if (images && images->ValidIndex(item.ImageIndex()))
        images->Draw(canvas, rect.Left + 2, rect.Top + (rect.Height() - images->Height()) / 2,
                     item.ImageIndex(), item.Enabled());
    else if (item.Checked()) {
        // A check mark in the picture column.
        const int x = rect.Left + 8;
        const int y = rect.Top + rect.Height() / 2;
        canvas.Pen().Color = selected ? clHighlightText : clMenuText;
        canvas.Polyline({{x, y}, {x + 2, y + 2}, {x + 7, y - 3}});
        canvas.Polyline({{x, y + 1}, {x + 2, y + 3}, {x + 7, y - 2}});
    }
    canvas.Font().SetColor(!item.Enabled() ? clGrayText : (selected ? clHighlightText : clMenuText));
    TRect text{rect.Left + DefaultGutter, rect.Top, rect.Right - DefaultArrowSpace, rect.Bottom};
    DrawText(canvas, item.Caption(), text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    if (item.Count() > 0) {
        // The sub-menu arrow.
        const int x = rect.Right - 12;
        const int y = rect.Top + rect.Height() / 2;
        canvas.Pen().Color = canvas.Font().Color();
        canvas.Brush().Color = canvas.Font().Color();
        canvas.Polygon({{x, y - 3}, {x + 3, y}, {x, y + 3}});
    }
}

void TPopupMenu::Fill(TQtMenu& menu, TMenuItem& parent, TMenuStyle& style)
{
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (!item->Visible())
            continue;
        QAction* action = nullptr;
        if (item->Count() > 0) {
            auto* sub = new TQtMenu(*this, &menu);
            sub->setStyle(&style);
            sub->setTitle(QString::fromStdString(item->Caption()));
            Fill(*sub, *item, style);
            action = menu.addMenu(sub);
        } else if (item->IsLine()) {
            action = menu.addSeparator();
        } else {
            action = menu.addAction(QString::fromStdString(item->Caption()));
            TGuardedPtr<TMenuItem> guarded(item);
            TGuardedPtr<TPopupMenu> self(this);
            QObject::connect(action, &QAction::triggered, &menu, [self, guarded] {
                TMenuItem* target = guarded.Get();
                if (!target || !self)
                    return;
                ++self->m_triggering;
                try {
                    target->Click();
                } catch (...) {
                    ReportCurrentException("TMenuItem.Click");
                }
                // The click may have freed the menu's owner.
                if (self)
                    --self->m_triggering;
            });
        }
        action->setEnabled(item->Enabled());
        menu.Map(action, item);
    }
}

void TPopupMenu::Popup(int x, int y)
{
    ReleaseMenu();
    if (OnPopup)
        OnPopup(this);
    m_popupPoint = {x, y};
    auto* menu = new TQtMenu(*this, nullptr);
    auto* style = new TMenuStyle(*this);
    menu->setStyle(style);
    Fill(*menu, m_items, *style);
    // Made the menu's last child, so the sub-menus go before their style.
    style->setParent(menu);
    m_menu = menu;
    if (menu->actions().isEmpty())
        return;
    QPoint at(x, y);
    if (m_alignment == paRight)
        at.rx() -= menu->sizeHint().width();
    else if (m_alignment == paCenter)
        at.rx() -= menu->sizeHint().width() / 2;
    menu->popup(at);
}

bool TPopupMenu::Showing() const
{
    return m_menu && m_menu->isVisible();
}

void TPopupMenu::CloseMenu()
{
    if (m_menu)
        m_menu->hide();
}

QMenu* TPopupMenu::Menu() const
{
    return m_menu;
}
