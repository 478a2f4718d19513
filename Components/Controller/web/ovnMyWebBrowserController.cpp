#include "Components/Controller/web/ovnMyWebBrowserController.h"

#include "Components/Controller/web/HtmlElements.h"

#include <QPrintDialog>
#include <QPrinter>

const TovnWebViewControllerClass TovnMyWebBrowserControllerClass = {
    "TovnMyWebBrowserController", &TovnMyWebBrowserController::Create, &TovnMyWebBrowserController::GetBrowserVersion};

// Until InitBrowser chooses, every caller gets the light view.
const TovnWebViewControllerClass* DefaultWebViewControllerClass = &TovnMyWebBrowserControllerClass;

TovnMyWebBrowserController::TovnMyWebBrowserController(QObject* AOwner) : TovnWebViewController(AOwner)
{
    auto* browser = new TMyWebBrowser(InitialContainer());
    m_browser = browser;
    browser->OnDocumentComplete = [this](TMyWebBrowser*) { DoNavigationComplete(true); };
    browser->viewport()->setCursor(Qt::PointingHandCursor);
    browser->setToolTip(QString());
    browser->setFocusPolicy(Qt::ClickFocus);
    browser->SetScrollEnabled(true);
    SetContainerView(InitialContainer());
}

TovnMyWebBrowserController::~TovnMyWebBrowserController()
{
    delete m_browser.data();
}

TMyWebBrowser& TovnMyWebBrowserController::RequireBrowser() const
{
    if (m_browser.isNull())
        throw EVariantInvalidOpError("Invalid variant operation");
    return *m_browser;
}

void TovnMyWebBrowserController::SetContainerView(QWidget* Value)
{
    const bool changed = Value != ContainerView();
    TovnWebViewController::SetContainerView(Value);
    if (!changed || m_browser.isNull())
        return;
    const bool visible = GetVisible();
    m_browser->setParent(Value); // the view fills its new container
    SetVisible(visible);
}

bool TovnMyWebBrowserController::GetContextMenuEnabled() const
{
    return !m_browser.isNull() && m_browser->ContextMenuEnabled();
}

void TovnMyWebBrowserController::SetContextMenuEnabled(bool Value)
{
    if (!m_browser.isNull())
        m_browser->SetContextMenuEnabled(Value);
}

bool TovnMyWebBrowserController::GetVisible() const { return !m_browser.isNull() && m_visible; }

void TovnMyWebBrowserController::SetVisible(bool Value)
{
    if (m_browser.isNull())
        return;
    m_visible = Value;
    m_browser->setVisible(Value && m_browser->parentWidget() != nullptr);
}

void TovnMyWebBrowserController::Navigate(const std::string& Url) { RequireBrowser().Navigate(Url); }

void TovnMyWebBrowserController::ShowHtml(const std::string& Html) { RequireBrowser().WriteHtml(Html); }

void TovnMyWebBrowserController::GoBack() { RequireBrowser().GoBack(); }

void TovnMyWebBrowserController::GoForward() { RequireBrowser().GoForward(); }

std::string TovnMyWebBrowserController::GetPageSource()
{
    TMyWebBrowser& browser = RequireBrowser();
    if (!browser.HasDocument())
        throw EVariantInvalidOpError("Invalid variant operation");
    return browser.Source();
}

Variant TovnMyWebBrowserController::InvokeScript(const std::string& Name, const std::vector<Variant>& Args)
{
    std::string name = Trim(Name);
    if (name.empty())
        throw Exception("Script name is not specified");
    const size_t parens = name.find("()");
    if (parens != std::string::npos && parens + 2 == name.size())
        name.erase(parens);
    return RequireBrowser().InvokeScript(name, Args);
}

void TovnMyWebBrowserController::Bind(const std::string& Name, TBrowserMessageEvent Handler)
{
    RequireBrowser().Bind(Name, std::move(Handler));
}

QPrinter& TovnMyWebBrowserController::Printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void TovnMyWebBrowserController::Print(const std::string& Header, const std::string& Footer, bool Prompt)
{
    TMyWebBrowser& browser = RequireBrowser();
    QPrinter& printer = Printer();
    if (Prompt)
    {
        QPrintDialog dialog(&printer, &browser);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    // Header and footer go to this print only; the printer's set-up keeps
    // no trace of them.
    browser.PrintDocument(printer, Header, Footer);
}

std::string TovnMyWebBrowserController::GetAttrValue(const std::string& ElementId, const std::string& Attr)
{
    TMyWebBrowser& browser = RequireBrowser();
    if (!browser.HasDocument())
        throw EVariantInvalidOpError("Invalid variant operation");
    bool found = false;
    const std::optional<std::string> value = HtmlGetAttribute(browser.Source(), ElementId, Attr, found);
    if (!found) // getAttribute called on null
        throw EVariantInvalidOpError("Invalid variant operation");
    return value.value_or(std::string());
}

void TovnMyWebBrowserController::SetAttrValue(const std::string& ElementId, const std::string& Attr,
                                              const Variant& Value)
{
    TMyWebBrowser& browser = RequireBrowser();
    if (!browser.HasDocument())
        throw EVariantInvalidOpError("Invalid variant operation");
    std::string source = browser.Source();
    const std::string text = Value.IsNull() ? std::string("null") : Value.AsString();
    if (HtmlSetAttribute(source, ElementId, Attr, text))
        browser.SetSource(source);
}

std::string TovnMyWebBrowserController::GetBrowserVersion()
{
    // The version lived in a registry this system does not have: the
    // missing-value path.
    return "Internet Explorer ";
}
