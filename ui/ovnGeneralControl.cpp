#include "ui/ovnGeneralControl.h"

#include "platform/StdCtrls.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QLabel>

TColor GetEffectiveColor(bool Focused, bool Marked)
{
    if (Marked)
        return 0xCCFFCC;
    if (Focused)
        return clWindow;
    return 0xF2F2F2;
}

TovnGeneralControl::TovnGeneralControl(QWidget* Parent) : TCustomControl(Parent)
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        QObject::connect(app, &QApplication::focusChanged, this,
                         [this](QWidget* old, QWidget* now) { FocusChanged(old, now); });
}

TovnGeneralControl::~TovnGeneralControl() = default;

void TovnGeneralControl::ApplyQtEnabled()
{
    TCustomControl::SetEnabled(m_enabled && m_enabledByLogic);
}

void TovnGeneralControl::SetEnabled(bool Value)
{
    m_enabled = Value;
    ApplyQtEnabled();
    EnableContents(m_enabled && m_enabledByLogic);
}

void TovnGeneralControl::SetEnabledByLogic(bool Value)
{
    m_enabledByLogic = Value;
    ApplyQtEnabled();
    EnableContents(m_enabled && m_enabledByLogic);
    Invalidate();
}

void TovnGeneralControl::SetShowShelf(bool Value)
{
    m_showShelf = Value;
    Repaint();
}

void TovnGeneralControl::SetDesigning(bool Value)
{
    if (Value)
        m_componentState.Include(csDesigning);
    else
        m_componentState.Exclude(csDesigning);
}

bool TovnGeneralControl::CanFocus() const
{
    return TCustomControl::CanFocus() && m_enabledByLogic && m_enabled && Visible();
}

void TovnGeneralControl::SetMarked(bool Value)
{
    if (Value == m_marked)
        return;
    m_marked = Value;
    UpdateInteriorControls();
}

void TovnGeneralControl::Click()
{
    TCustomControl::Click();
    if (OnSlaveClick)
        OnSlaveClick(this);
}

bool TovnGeneralControl::Owns(const QWidget* Widget) const
{
    for (const QWidget* w = Widget; w; w = w->parentWidget())
        if (w == this)
            return true;
    return false;
}

void TovnGeneralControl::focusInEvent(QFocusEvent* Event)
{
    // Entry and exit follow the focus into and out of the whole control
    // (FocusChanged), inner editors included.
    QWidget::focusInEvent(Event);
}

void TovnGeneralControl::focusOutEvent(QFocusEvent* Event)
{
    QWidget::focusOutEvent(Event);
}

void TovnGeneralControl::keyPressEvent(QKeyEvent* Event)
{
    if (hasFocus())
        TCustomControl::keyPressEvent(Event);
    else
        QWidget::keyPressEvent(Event);
}

void TovnGeneralControl::keyReleaseEvent(QKeyEvent* Event)
{
    if (hasFocus())
        TCustomControl::keyReleaseEvent(Event);
    else
        QWidget::keyReleaseEvent(Event);
}

void TovnGeneralControl::FocusChanged(QWidget*, QWidget*)
{
    // Judged by where the focus is now: a handler that moves the focus
    // again makes the notices that follow stale.
    const bool is = Owns(QApplication::focusWidget());
    if (is == m_entered)
        return;
    m_entered = is;
    try {
        if (is)
            DoEnter();
        else
            DoExit();
    } catch (...) {
        ReportCurrentException(ClassName() + (is ? ".DoEnter" : ".DoExit"));
    }
}

std::vector<QWidget*> TabOrderList(QWidget* Parent)
{
    std::vector<QWidget*> list;
    if (!Parent)
        return list;
    const auto isDescendant = [Parent](const QWidget* w) {
        for (const QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget())
            if (p == Parent)
                return true;
        return false;
    };
    int guard = 100000;
    for (QWidget* w = Parent->nextInFocusChain(); w && w != Parent && guard-- > 0; w = w->nextInFocusChain()) {
        // Labels are graphic controls on the platform: never in the list.
        if (isDescendant(w) && !qobject_cast<QLabel*>(w))
            list.push_back(w);
    }
    return list;
}

namespace {
bool HasTabStop(const QWidget* w)
{
    if (auto* c = dynamic_cast<const TCustomControl*>(w))
        return c->TabStop();
    if (auto* e = dynamic_cast<const TCustomEdit*>(w))
        return e->TabStop();
    return (w->focusPolicy() & Qt::TabFocus) != 0;
}

bool CanTakeFocus(const QWidget* w)
{
    if (auto* g = dynamic_cast<const TovnGeneralControl*>(w))
        return g->CanFocus();
    if (auto* c = dynamic_cast<const TCustomControl*>(w))
        return c->CanFocus();
    if (auto* e = dynamic_cast<const TCustomEdit*>(w))
        return e->CanFocus();
    return w->isEnabled() && w->isVisible();
}
} // namespace

void TovnGeneralControl::FocusNext(bool Forward)
{
    const std::vector<QWidget*> list = TabOrderList(parentWidget());
    const auto self = std::find(list.begin(), list.end(), static_cast<QWidget*>(this));
    if (self == list.end())
        return;
    const int n = static_cast<int>(list.size());
    const int at = static_cast<int>(self - list.begin());
    for (int k = 1; k < n; ++k) {
        const int i = Forward ? (at + k) % n : (at - k + n) % n;
        QWidget* w = list[static_cast<size_t>(i)];
        if (w->parentWidget() == this || !HasTabStop(w) || !CanTakeFocus(w))
            continue;
        w->setFocus(Forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return;
    }
}
