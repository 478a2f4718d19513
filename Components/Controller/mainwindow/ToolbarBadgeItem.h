#pragma once
// A toolbar button whose picture others draw over: the mail button (the
// animator's unread-mail badge) and the notifications item (the count
// badge). The button paints first, then OnDrawImage paints on top with the
// icon's rectangle, so a wide badge may run past the icon into the
// button's margin as it does on the system's toolbar.
//
// Main thread only.

#include "Components/Controller/applets/ovnBrowserUtils.h"

#include <QObject>
#include <QPointer>

class QAction;
class QToolBar;
class QToolButton;

class TToolbarBadgeItem : public QObject, public TAnimatedItem
{
  public:
    TToolbarBadgeItem(QToolBar* Toolbar, QAction* Action);
    ~TToolbarBadgeItem() override;

    void Invalidate() override;
    QAction* Action() const { return m_action; }
    // The button the toolbar made for the action; null when it has none.
    QToolButton* Button() const;
    // The icon's rectangle inside the button.
    QRect ImageRect() const;

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    QPointer<QToolBar> m_toolbar;
    QPointer<QAction> m_action;
    // Held as a widget: events reach the filter while the button is
    // already half destroyed.
    QPointer<QWidget> m_button;
};
