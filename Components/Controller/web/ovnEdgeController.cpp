#include "Components/Controller/web/ovnEdgeController.h"

#include "Components/Nembra/NembraJSON.h"
#include "base/KldLogFile.h"
#include "platform/Threads.h"

#include <QEventLoop>
#include <QTimer>

const TovnWebViewControllerClass TovnEdgeControllerClass = {"TovnEdgeController", &TovnEdgeController::Create,
                                                            &TovnEdgeController::GetBrowserVersion};

namespace {

bool LessNoCase(const std::string& a, const std::string& b) { return CompareText(a, b) < 0; }

} // namespace

std::string ScriptLiteral(const std::string& Text, char Quote)
{
    std::string out(1, Quote);
    for (const char c : Text)
        switch (c)
        {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c == Quote)
                out += '\\';
            out += c;
        }
    // The line and paragraph separators end a line in older script engines.
    size_t pos = 0;
    while ((pos = out.find("\xE2\x80\xA8", pos)) != std::string::npos)
        out.replace(pos, 3, "\\u2028");
    pos = 0;
    while ((pos = out.find("\xE2\x80\xA9", pos)) != std::string::npos)
        out.replace(pos, 3, "\\u2029");
    return out + Quote;
}

TovnEdgeController::TovnEdgeController(QObject* AOwner) : TovnWebViewController(AOwner), m_bindings(&LessNoCase)
{
    auto* view = new TWebView(InitialContainer());
    m_view = view;
    view->OnActive = [this](TObject*) {
        m_view->SetDevToolsEnabled(false);
        m_view->SetContextMenusEnabled(m_contextMenuEnabled);
        m_view->SetStatusBarEnabled(false);
        m_view->SetZoomControlEnabled(false);
    };
    view->OnNavigationCompleted = [this](TObject*, bool, TWebError, int64_t) { DoNavigationComplete(true); };
    view->OnWebMessageReceived = [this](TObject*, const std::string&, const std::string& Message,
                                        const std::string& Json) { WebMessageReceived(Message, Json); };
    view->SetCursor(crHandPoint);
    view->SetAlign(alClient);
    SetContainerView(InitialContainer());
}

TovnEdgeController::~TovnEdgeController() { delete m_view.data(); }

void TovnEdgeController::SetContainerView(QWidget* Value)
{
    const bool changed = Value != ContainerView();
    TovnWebViewController::SetContainerView(Value);
    if (!changed || m_view.isNull())
        return;
    const bool visible = GetVisible();
    m_view->setParent(Value);
    if (Value != nullptr)
        m_view->setGeometry(Value->rect());
    SetVisible(visible);
}

bool TovnEdgeController::GetContextMenuEnabled() const
{
    if (!m_view.isNull() && m_view->Active())
        const_cast<TovnEdgeController*>(this)->m_contextMenuEnabled = m_view->ContextMenusEnabled();
    return m_contextMenuEnabled;
}

void TovnEdgeController::SetContextMenuEnabled(bool Value)
{
    m_contextMenuEnabled = Value;
    if (!m_view.isNull() && m_view->Active())
        m_view->SetContextMenusEnabled(Value);
}

bool TovnEdgeController::GetVisible() const { return !m_view.isNull() && m_visible; }

void TovnEdgeController::SetVisible(bool Value)
{
    if (m_view.isNull())
        return;
    m_visible = Value;
    const bool shown = Value && m_view->parentWidget() != nullptr;
    if (m_view->isVisible() != shown)
        m_view->setVisible(shown);
}

void TovnEdgeController::Navigate(const std::string& Url)
{
    TWebView& view = *m_view;
    view.SetUri(Url);
    view.SetActive(true);
}

void TovnEdgeController::ShowHtml(const std::string& Html) { m_view->ShowHtml(Html); }
void TovnEdgeController::GoBack() { m_view->Back(); }
void TovnEdgeController::GoForward() { m_view->Forward(); }

std::string TovnEdgeController::GetPageSource()
{
    return InvokeScript("document.documentElement.outerHTML", {}).AsString();
}

Variant TovnEdgeController::InvokeScript(const std::string& Name, const std::vector<Variant>&)
{
    try
    {
        // Each call waits for its own result: a late completion of a call
        // that timed out never becomes another call's result.
        struct TSlot
        {
            bool Done = false;
            std::string Result;
            QEventLoop* Loop = nullptr;
        };
        auto slot = std::make_shared<TSlot>();
        m_view->ExecuteScript(Name, [slot](TWebView*, const std::string& Json) {
            slot->Result = UnencodeJSONStr(Json);
            slot->Done = true;
            if (slot->Loop != nullptr)
                slot->Loop->quit();
        });
        if (!slot->Done)
        {
            QEventLoop loop;
            QTimer::singleShot(m_scriptTimeoutMs, &loop, &QEventLoop::quit);
            slot->Loop = &loop;
            loop.exec();
            slot->Loop = nullptr;
        }
        return Variant::FromWideString(slot->Done ? slot->Result : std::string());
    }
    catch (const Exception& E)
    {
        Log.Error(E, ClassName());
        ReportBoundaryError(ClassName(), E.Message());
        return Variant();
    }
}

void TovnEdgeController::Bind(const std::string& Name, TBrowserMessageEvent Handler)
{
    KLD_ASSERT("ovnEdgeController", bool(Handler));
    m_bindings.emplace(Name, std::move(Handler)); // a bound name keeps its first handler
}

void TovnEdgeController::WebMessageReceived(const std::string& Message, const std::string& Json)
{
    const auto found = m_bindings.find(Message);
    if (found == m_bindings.end())
        return;
    const TBrowserMessageEvent handler = found->second;
    handler({Variant::FromWideString(Json)});
}

void TovnEdgeController::Print(const std::string&, const std::string&, bool)
{
    m_view->ExecuteScript("window.print()");
}

std::string TovnEdgeController::GetAttrValue(const std::string& ElementId, const std::string& Attr)
{
    return InvokeScript("document.getElementById(" + ScriptLiteral(ElementId, '"') + ")." + Attr, {}).AsString();
}

std::string TovnEdgeController::ValueText(const Variant& Value)
{
    if (Value.IsNull() || Value.IsEmpty())
        return "null";
    if (Value.IsStr())
        return ScriptLiteral(Value.AsString(), '\'');
    if (Value.VarType() == varBoolean)
        return Value.AsBoolean() ? "true" : "false";
    return Value.AsString();
}

void TovnEdgeController::SetAttrValue(const std::string& ElementId, const std::string& Attr, const Variant& Value)
{
    m_view->ExecuteScript("document.getElementById(" + ScriptLiteral(ElementId, '"') + ")." + Attr + " = " +
                          ValueText(Value));
}

std::string TovnEdgeController::GetBrowserVersion() { return "MS Edge " + WebView::GetBrowserVersion(""); }
