#include "Components/Controller/web/ovnWebViewController.h"

#include "platform/ClassErrors.h"

TovnWebViewController::TovnWebViewController(QObject* AOwner)
{
    QWidget* container = nullptr;
    if (AOwner != nullptr)
    {
        container = qobject_cast<QWidget*>(AOwner);
        if (container == nullptr)
            throw EInvalidCast("Invalid class typecast");
    }
    setParent(GetControlOwner(AOwner));
    m_initial = container;
}

TovnWebViewController::~TovnWebViewController()
{
    QObject::disconnect(m_watch);
    m_container = nullptr;
}

QObject* TovnWebViewController::GetControlOwner(QObject* AOwner)
{
    if (AOwner == nullptr)
        return nullptr;
    if (auto* widget = qobject_cast<QWidget*>(AOwner))
        return widget->isWindow() ? widget : widget->window();
    return AOwner->parent();
}

void TovnWebViewController::SetContainerView(QWidget* Value)
{
    if (Value == m_container.data())
        return;
    const bool visible = GetVisible();
    SetVisible(false);
    QObject::disconnect(m_watch);
    m_container = Value;
    if (Value != nullptr)
        m_watch = QObject::connect(Value, &QObject::destroyed, this, [this] { SetContainerView(nullptr); });
    SetVisible(visible);
}

void TovnWebViewController::DoNavigationComplete(bool Success)
{
    if (OnNavigationComplete)
        OnNavigationComplete(this, Success);
}

void TovnWebViewController::Navigate(const std::string&) { AbstractError(); }
void TovnWebViewController::ShowHtml(const std::string&) { AbstractError(); }
void TovnWebViewController::GoBack() { AbstractError(); }
void TovnWebViewController::GoForward() { AbstractError(); }
std::string TovnWebViewController::GetPageSource() { AbstractError(); }
Variant TovnWebViewController::InvokeScript(const std::string&, const std::vector<Variant>&) { AbstractError(); }
void TovnWebViewController::Bind(const std::string&, TBrowserMessageEvent) { AbstractError(); }
void TovnWebViewController::Print(const std::string&, const std::string&, bool) { AbstractError(); }
std::string TovnWebViewController::GetAttrValue(const std::string&, const std::string&) { AbstractError(); }
void TovnWebViewController::SetAttrValue(const std::string&, const std::string&, const Variant&) { AbstractError(); }
