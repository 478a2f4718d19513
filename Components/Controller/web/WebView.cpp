// TWebView, the host control of a Qt WebEngine view.
#include "Components/Controller/web/WebView.h"

#include "platform/Threads.h"

#include <QWidget>

EOleSysError::EOleSysError(HRESULT Code)
    : EOleError(Format("OLE error %.8X", static_cast<uint32_t>(Code))), m_code(Code)
{
}

void OleCheck(HRESULT Code)
{
    if (!Succeeded(Code))
        throw EOleSysError(Code);
}

namespace {

size_t FindHeader(const THeaders& headers, const std::string& name)
{
    for (size_t i = 0; i < headers.size(); ++i)
        if (SameText(headers[i].first, name))
            return i;
    return headers.size();
}

} // namespace

bool TWebResourceRequest::ContainsHeader(const std::string& Name) const
{
    return FindHeader(Headers, Name) < Headers.size();
}

void TWebResourceRequest::RemoveHeader(const std::string& Name)
{
    const size_t i = FindHeader(Headers, Name);
    if (i < Headers.size())
        Headers.erase(Headers.begin() + static_cast<std::ptrdiff_t>(i));
}

std::string TWebResourceRequest::GetHeader(const std::string& Name) const
{
    const size_t i = FindHeader(Headers, Name);
    return i < Headers.size() ? Headers[i].second : std::string();
}

void TWebResourceRequest::SetHeader(const std::string& Name, const std::string& Value)
{
    const size_t i = FindHeader(Headers, Name);
    if (i < Headers.size())
        Headers[i].second = Value;
    else
        Headers.emplace_back(Name, Value);
}

bool TWebResourceResponse::ContainsHeader(const std::string& Name) const
{
    return FindHeader(Headers, Name) < Headers.size();
}

// ---------------------------------------------------------------------------
// Completion handlers: made once per control, delivered in its event loop
// and dropped with it.

class TWebView::TEnvironmentCompleted final : public IWebViewEnvironmentCompleted
{
  public:
    explicit TEnvironmentCompleted(TWebView* view) : m_view(view) {}
    void Invoke(HRESULT Result, IWebViewEnvironment* Environment) override
    {
        m_view->EnvironmentCompleted(Generation, Result, Environment);
    }
    QObject* Context() override { return m_view; }
    unsigned Generation = 0;

  private:
    TWebView* m_view;
};

class TWebView::TControllerCompleted final : public IWebViewControllerCompleted
{
  public:
    explicit TControllerCompleted(TWebView* view) : m_view(view) {}
    void Invoke(HRESULT Result, IWebViewHost* Host) override { m_view->ControllerCompleted(Generation, Result, Host); }
    QObject* Context() override { return m_view; }
    unsigned Generation = 0;

  private:
    TWebView* m_view;
};

class TWebView::TScriptCompleted final : public IWebViewScriptCompleted
{
  public:
    TScriptCompleted(TWebView* view, TExecuteScriptCompletion completion)
        : m_view(view), m_completion(std::move(completion))
    {
    }
    void Invoke(HRESULT Result, const std::string& JsonResult) override
    {
        TWebView* view = m_view;
        TExecuteScriptCompletion completion = std::move(m_completion);
        // Done with this object: the view forgets it before the callback runs.
        view->m_scripts.remove_if([this](const auto& p) { return p.get() == this; });
        try
        {
            OleCheck(Result);
            if (completion)
                completion(view, JsonResult);
        }
        catch (...)
        {
            view->Fail(std::current_exception());
        }
    }

  private:
    TWebView* m_view;
    TExecuteScriptCompletion m_completion;
};

// ---------------------------------------------------------------------------

TWebView::TWebView(QWidget* Parent) : TCustomControl(Parent)
{
    m_environmentCompleted = std::make_unique<TEnvironmentCompleted>(this);
    m_controllerCompleted = std::make_unique<TControllerCompleted>(this);
}

TWebView::~TWebView() { Deactivate(); }

IWebViewHost& TWebView::Host() const
{
    if (m_host == nullptr)
        throw EWebViewError("Cannot perform this operation on an inactive " + Name() + " component");
    return *m_host;
}

void TWebView::SetActive(bool Value)
{
    if (Value == Active() || (Value && m_activating))
        return;
    if (Value)
        Activate();
    else
        Deactivate();
}

void TWebView::Activate()
{
    if (!WebView::BrowserAvailable(m_browserFolder))
        throw EWebViewError("WebView2 Runtime 86.0.622.11 or higher is required");
    m_environmentCompleted->Generation = m_generation;
    OleCheck(WebView::CreateCoreWebView2EnvironmentWithOptions(m_browserFolder.c_str(), m_dataFolder.c_str(), nullptr,
                                                               m_environmentCompleted.get()));
    m_activating = true;
}

void TWebView::Fail(const std::exception_ptr& Error)
{
    try
    {
        std::rethrow_exception(Error);
    }
    catch (const Exception& E)
    {
        if (OnException)
            OnException(this, E);
    }
    catch (const std::exception& E)
    {
        if (OnException)
            OnException(this, Exception(E.what()));
    }
}

void TWebView::EnvironmentCompleted(unsigned Generation, HRESULT Result, IWebViewEnvironment* Environment)
{
    if (Generation != m_generation)
    {
        // Deactivated meanwhile.
        if (Environment != nullptr)
            Environment->Release();
        return;
    }
    try
    {
        OleCheck(Result);
        m_environment = Environment;
        // The browser-version event never fires here: nothing to subscribe.
        m_controllerCompleted->Generation = m_generation;
        OleCheck(m_environment->CreateCoreWebView2Controller(this, m_controllerCompleted.get()));
    }
    catch (...)
    {
        m_activating = false;
        if (m_environment != nullptr)
            m_environment->Release();
        m_environment = nullptr;
        Fail(std::current_exception());
    }
}

bool TWebView::Assigned(TWebViewEventKind Kind) const
{
    switch (Kind)
    {
    case wvContentLoading: return bool(OnContentLoading);
    case wvDocumentTitleChanged: return bool(OnDocumentTitleChanged);
    case wvFrameNavigationCompleted: return bool(OnFrameNavigationCompleted);
    case wvFrameNavigationStarting: return bool(OnFrameNavigationStarting);
    case wvFullScreenChanged: return bool(OnFullScreenChanged);
    case wvGotFocus: return bool(OnGotFocus);
    case wvHistoryChanged: return bool(OnHistoryChanged);
    case wvLostFocus: return bool(OnLostFocus);
    case wvMoveFocusRequested: return bool(OnMoveFocusRequested);
    case wvNavigationCompleted: return bool(OnNavigationCompleted);
    case wvNavigationStarting: return bool(OnNavigationStarting);
    case wvNewWindowRequested: return bool(OnNewWindowRequested);
    case wvPermissionRequested: return bool(OnPermissionRequested);
    case wvProcessFailed: return bool(OnProcessFailed);
    case wvScriptDialogOpening: return bool(OnScriptDialogOpening);
    case wvSourceChanged: return bool(OnSourceChanged);
    case wvWebMessageReceived: return bool(OnWebMessageReceived);
    case wvWebResourceRequested: return bool(OnWebResourceRequested);
    case wvWindowCloseRequested: return bool(OnWindowCloseRequested);
    case wvZoomChanged: return bool(OnZoomChanged);
    default: return false;
    }
}

QRectLike TWebView::Bounds() const { return {0, 0, width(), height()}; }

void TWebView::ControllerCompleted(unsigned Generation, HRESULT Result, IWebViewHost* Host)
{
    if (Generation != m_generation)
    {
        if (Host != nullptr)
            Host->Release();
        return;
    }
    m_activating = false;
    try
    {
        OleCheck(Result);
        m_host = Host;
        if (!isVisible() && isHidden())
            OleCheck(m_host->PutIsVisible(false));
        for (int k = 0; k < wvEventKindCount; ++k)
        {
            const auto kind = static_cast<TWebViewEventKind>(k);
            if (!Assigned(kind))
                continue;
            int64_t token = 0;
            OleCheck(m_host->Subscribe(kind, this, token));
            m_tokens.emplace_back(kind, token);
        }
        m_navigationRequested = false;
        if (OnActive)
            OnActive(this);
        if (m_host == nullptr)
            return; // deactivated by OnActive
        if (m_zoom != 1.0)
            OleCheck(m_host->SetBoundsAndZoomFactor(Bounds(), m_zoom));
        else
            OleCheck(m_host->PutBounds(Bounds()));
        if (!m_navigationRequested && !m_uri.empty())
            OleCheck(m_host->Navigate(m_uri));
    }
    catch (...)
    {
        Deactivate();
        Fail(std::current_exception());
    }
}

void TWebView::Deactivate()
{
    ++m_generation;
    m_activating = false;
    if (m_host != nullptr)
    {
        for (const auto& [kind, token] : m_tokens)
            m_host->Unsubscribe(kind, token);
        m_tokens.clear();
        for (const auto& script : m_scripts)
            m_host->CancelScripts(script.get());
        m_scripts.clear();
        m_host->Close();
        m_host->Release();
        m_host = nullptr;
    }
    if (m_environment != nullptr)
    {
        m_environment->Release();
        m_environment = nullptr;
    }
}

void TWebView::SetBrowserFolder(const std::string& Value)
{
    if (Active())
        throw EWebViewError("Cannot perform this operation on an active " + Name() + " component");
    m_browserFolder = Value;
}

void TWebView::SetDataFolder(const std::string& Value)
{
    if (Active())
        throw EWebViewError("Cannot perform this operation on an active " + Name() + " component");
    m_dataFolder = Value;
}

std::string TWebView::Uri() const
{
    if (!Active())
        return m_uri;
    std::string value;
    OleCheck(m_host->GetSource(value));
    return value;
}

void TWebView::SetUri(const std::string& Value)
{
    if (Active())
    {
        m_navigationRequested = true;
        OleCheck(m_host->Navigate(Value));
    }
    m_uri = Value;
}

double TWebView::Zoom() const
{
    if (!Active())
        return m_zoom;
    double value = 1.0;
    OleCheck(m_host->GetZoomFactor(value));
    return value;
}

void TWebView::SetZoom(double Value)
{
    if (Active())
        OleCheck(m_host->PutZoomFactor(Value));
    m_zoom = Value;
}

void TWebView::Resize()
{
    TCustomControl::Resize();
    if (Active())
        m_host->PutBounds(Bounds());
}

void TWebView::setVisible(bool visible)
{
    TCustomControl::setVisible(visible);
    if (Active())
        m_host->PutIsVisible(visible);
}

void TWebView::Back() { OleCheck(Host().GoBack()); }
void TWebView::Forward() { OleCheck(Host().GoForward()); }
void TWebView::Refresh() { OleCheck(Host().Reload()); }
void TWebView::Stop() { OleCheck(Host().Stop()); }
void TWebView::OpenDevTools() { OleCheck(Host().OpenDevToolsWindow()); }
void TWebView::ShowHtml(const std::string& Html) { OleCheck(Host().NavigateToString(Html)); }
void TWebView::MoveFocus(TMoveFocusReason Reason) { OleCheck(Host().MoveFocus(Reason)); }
void TWebView::PostJsonWebMessage(const std::string& Json) { OleCheck(Host().PostWebMessageAsJson(Json)); }
void TWebView::PostWebMessage(const std::string& Text) { OleCheck(Host().PostWebMessageAsString(Text)); }

void TWebView::ExecuteScript(const std::string& Script, TExecuteScriptCompletion Completion)
{
    IWebViewHost& host = Host();
    if (!Completion)
    {
        OleCheck(host.ExecuteScript(Script, nullptr));
        return;
    }
    m_scripts.push_back(std::make_unique<TScriptCompleted>(this, std::move(Completion)));
    TScriptCompleted* handler = m_scripts.back().get();
    const HRESULT hr = host.ExecuteScript(Script, handler);
    if (!Succeeded(hr))
    {
        host.CancelScripts(handler);
        m_scripts.pop_back();
        OleCheck(hr);
    }
}

void TWebView::AddScript(const std::string& Script, TAddScriptCompletion Completion)
{
    std::string id;
    OleCheck(Host().AddScriptToExecuteOnDocumentCreated(Script, id));
    if (Completion)
        Completion(this, id);
}

void TWebView::RemoveScript(const std::string& Id) { OleCheck(Host().RemoveScriptToExecuteOnDocumentCreated(Id)); }

void TWebView::CapturePreview(TCapturePreviewFormat Format, std::string& Stream, TCapturePreviewCompletion Completion)
{
    OleCheck(Host().CapturePreview(Format == pfPng, Stream));
    if (Completion)
        Completion(this);
}

void TWebView::CallDevTools(const std::string&, const std::string&, std::function<void(TWebView*, const std::string&)>)
{
    Host();
    throw EWebViewError("The developer tools protocol is not available in this web view");
}

void TWebView::AddFilter(const std::string&, TWebResource)
{
    Host();
    throw EWebViewError("Web resource requests cannot be answered in this web view");
}

void TWebView::RemoveFilter(const std::string&, TWebResource)
{
    Host();
    throw EWebViewError("Web resource requests cannot be answered in this web view");
}

TWebResourceResponse TWebView::CreateResponse(int, const std::string&, const THeaders&)
{
    Host();
    throw EWebViewError("Web resource requests cannot be answered in this web view");
}

bool TWebView::GetSetting(TWebViewSetting Setting)
{
    bool value = false;
    OleCheck(Host().GetSetting(Setting, value));
    return value;
}

void TWebView::SetSetting(TWebViewSetting Setting, bool Value) { OleCheck(Host().PutSetting(Setting, Value)); }

std::string TWebView::DocumentTitle()
{
    std::string value;
    OleCheck(Host().GetDocumentTitle(value));
    return value;
}

bool TWebView::FullScreen()
{
    bool value = false;
    OleCheck(Host().GetContainsFullScreenElement(value));
    return value;
}

uint32_t TWebView::BrowserProcess()
{
    uint32_t value = 0;
    OleCheck(Host().GetBrowserProcessId(value));
    return value;
}

bool TWebView::CanBack()
{
    if (!Active())
        return false;
    bool value = false;
    OleCheck(m_host->GetCanGoBack(value));
    return value;
}

bool TWebView::CanForward()
{
    if (!Active())
        return false;
    bool value = false;
    OleCheck(m_host->GetCanGoForward(value));
    return value;
}

std::string TWebView::BrowserVersion()
{
    if (m_environment != nullptr)
        return m_environment->BrowserVersionString();
    return WebView::GetBrowserVersion(m_browserFolder);
}

HRESULT TWebView::Invoke(TWebViewEventKind Kind, TWebViewEventArgs& A)
{
    try
    {
        switch (Kind)
        {
        case wvContentLoading: if (OnContentLoading) OnContentLoading(this, A.IsErrorPage, A.NavigationId); break;
        case wvDocumentTitleChanged: if (OnDocumentTitleChanged) OnDocumentTitleChanged(this); break;
        case wvFullScreenChanged: if (OnFullScreenChanged) OnFullScreenChanged(this); break;
        case wvGotFocus: if (OnGotFocus) OnGotFocus(this); break;
        case wvHistoryChanged: if (OnHistoryChanged) OnHistoryChanged(this); break;
        case wvLostFocus: if (OnLostFocus) OnLostFocus(this); break;
        case wvWindowCloseRequested: if (OnWindowCloseRequested) OnWindowCloseRequested(this); break;
        case wvZoomChanged: if (OnZoomChanged) OnZoomChanged(this); break;
        case wvMoveFocusRequested:
            if (OnMoveFocusRequested)
                OnMoveFocusRequested(this, ToEnum(A.Kind, frPrevious), A.Handled);
            break;
        case wvNavigationCompleted:
        case wvFrameNavigationCompleted:
        {
            const auto& e = Kind == wvNavigationCompleted ? OnNavigationCompleted : OnFrameNavigationCompleted;
            if (e)
                e(this, A.Success, ToEnum(A.WebError, weUnexpectedError), A.NavigationId);
            break;
        }
        case wvNavigationStarting:
        case wvFrameNavigationStarting:
        {
            const auto& e = Kind == wvNavigationStarting ? OnNavigationStarting : OnFrameNavigationStarting;
            if (e)
                e(this, A.Uri, A.UserInitiated, A.Redirected, A.Headers, A.NavigationId, A.Cancel);
            break;
        }
        case wvNewWindowRequested:
            if (OnNewWindowRequested)
            {
                void* newWindow = nullptr;
                OnNewWindowRequested(this, A.Uri, newWindow, A.UserInitiated, A.Handled);
            }
            break;
        case wvPermissionRequested:
            if (OnPermissionRequested)
            {
                TPermissionState state = ToEnum(A.State, psDeny);
                OnPermissionRequested(this, A.Uri, ToEnum(A.Kind, pkClipboardRead), A.UserInitiated, state);
                A.State = state;
            }
            break;
        case wvProcessFailed: if (OnProcessFailed) OnProcessFailed(this, ToEnum(A.Kind, pfRenderUnresponsive)); break;
        case wvScriptDialogOpening:
            if (OnScriptDialogOpening)
                OnScriptDialogOpening(this, A.Uri, ToEnum(A.Kind, dkBeforeUnload), A.Message, A.DefaultText,
                                      A.ResultText, A.Accept);
            break;
        case wvSourceChanged: if (OnSourceChanged) OnSourceChanged(this, A.NewDocument); break;
        case wvWebMessageReceived:
            if (OnWebMessageReceived)
                OnWebMessageReceived(this, A.Uri, A.IsString ? A.Message : std::string(), A.Json);
            break;
        default: break;
        }
        return S_OK;
    }
    catch (...)
    {
        Fail(std::current_exception());
        return E_FAIL;
    }
}
