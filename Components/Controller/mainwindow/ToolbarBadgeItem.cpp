#include "Components/Controller/mainwindow/ToolbarBadgeItem.h"

#include "platform/Canvas.h"

#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

TToolbarBadgeItem::TToolbarBadgeItem(QToolBar* Toolbar, QAction* Action)
    : QObject(Toolbar), m_toolbar(Toolbar), m_action(Action)
{
    m_button = qobject_cast<QToolButton*>(Toolbar->widgetForAction(Action));
    if (m_button)
        m_button->installEventFilter(this);
}

TToolbarBadgeItem::~TToolbarBadgeItem()
{
    if (m_button)
        m_button->removeEventFilter(this);
}

QToolButton* TToolbarBadgeItem::Button() const
{
    return qobject_cast<QToolButton*>(m_button.data());
}

QRect TToolbarBadgeItem::ImageRect() const
{
    const QToolButton* button = Button();
    if (!button)
        return {};
    QRect icon(QPoint(0, 0), button->iconSize());
    icon.moveCenter(button->rect().center());
    return icon;
}

void TToolbarBadgeItem::Invalidate()
{
    if (m_button)
        m_button->update();
}

bool TToolbarBadgeItem::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() != QEvent::Paint || Watched != m_button.data() || !OnDrawImage)
        return QObject::eventFilter(Watched, Event);
    // The button's own painting first (the filter is not asked again for
    // an event handed on this way), then the picture on top.
    static_cast<QObject*>(m_button.data())->event(Event);
    QPainter painter(m_button);
    const QRect r = ImageRect();
    painter.translate(r.topLeft());
    TCanvas canvas(&painter);
    OnDrawImage(canvas, Rect(0, 0, r.width(), r.height()));
    return true;
}
