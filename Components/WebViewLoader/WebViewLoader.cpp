// The web view plugin: the loader's entry points and the environment and
// hosts over Qt WebEngine. Pages reach the host with
// window.chrome.webview.postMessage, a page script over Qt WebChannel.
//
// Not in Qt WebEngine 6.4 and answered E_NOTIMPL: the developer-tools
// protocol and made-up responses to http(s) requests; the browser-version
// and focus-move events never fire.

#include "Components/Controller/web/WebViewPlugin.h"
#include "Components/Controller/web/WebViewVersion.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QUrl>
#include <QWebChannel>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#define KLD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

char* CopyText(const std::string& text)
{
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

std::string ToJson(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return "null";
    const QJsonValue json = QJsonValue::fromVariant(value);
    if (json.isArray())
        return QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact).toStdString();
    if (json.isObject())
        return QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact).toStdString();
    // A scalar: wrapped in an array to be written, then unwrapped.
    const QByteArray text = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2).toStdString();
}

// The page's side of window.chrome.webview.
const char* const BridgeScript = R"JS(
(function() {
  if (window.chrome && window.chrome.webview) return;
  var queue = [], bridge = null, listeners = [];
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage: function(message) {
      var item = [JSON.stringify(message === undefined ? null : message), typeof message === 'string'];
      if (bridge) bridge.post(item[0], item[1]); else queue.push(item);
    },
    addEventListener: function(type, fn) { if (type === 'message') listeners.push(fn); },
    removeEventListener: function(type, fn) { listeners = listeners.filter(function(f) { return f !== fn; }); }
  };
  new QWebChannel(qt.webChannelTransport, function(channel) {
    bridge = channel.objects.webview;
    bridge.message.connect(function(json) {
      var data = JSON.parse(json);
      listeners.forEach(function(fn) { fn({data: data}); });
    });
    queue.forEach(function(item) { bridge.post(item[0], item[1]); });
    queue = [];
  });
})();
)JS";

class THost;

// What the page calls through the channel.
class TBridge : public QObject
{
    Q_OBJECT
  public:
    explicit TBridge(THost* host) : m_host(host) {}
    void Detach() { m_host = nullptr; }
    Q_INVOKABLE void post(const QString& json, bool isString);
  signals:
    void message(const QString& json);

  private:
    THost* m_host;
};

class TPage : public QWebEnginePage
{
  public:
    TPage(QWebEngineProfile* profile, THost* host) : QWebEnginePage(profile), m_host(host) {}
    void Detach() { m_host = nullptr; }

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& origin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue,
                          QString* result) override;

  private:
    THost* m_host;
};

class TView : public QWebEngineView
{
  public:
    TView(QWidget* parent, THost* host) : QWebEngineView(parent), m_host(host) {}
    void Detach() { m_host = nullptr; }
    THost* Host() const { return m_host; }

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

  private:
    THost* m_host;
};

class TEnvironment;

class THost final : public IWebViewHost
{
  public:
    THost(TEnvironment* environment, QWidget* parent);
    ~THost();

    void Release() override { delete this; }
    HRESULT Subscribe(TWebViewEventKind Kind, IWebViewEventSink* Sink, int64_t& Token) override
    {
        if (Kind < 0 || Kind >= wvEventKindCount || Sink == nullptr)
            return E_FAIL;
        Token = ++m_lastToken;
        m_sinks[Kind][Token] = Sink;
        return S_OK;
    }
    HRESULT Unsubscribe(TWebViewEventKind Kind, int64_t Token) override
    {
        if (Kind < 0 || Kind >= wvEventKindCount)
            return E_FAIL;
        m_sinks[Kind].erase(Token);
        return S_OK;
    }
    HRESULT Close() override
    {
        for (auto& sinks : m_sinks)
            sinks.clear();
        m_scripts.clear();
        if (m_view)
        {
            // The widgets go at the next turn of the event loop (this may run
            // inside one of their signals); until then they reach no host.
            QObject::disconnect(m_page, nullptr, m_view, nullptr);
            m_view->Detach();
            m_page->Detach();
            m_bridge->Detach();
            m_view->hide();
            m_view->deleteLater();
        }
        m_view = nullptr;
        return S_OK;
    }
    HRESULT Navigate(const std::string& Uri) override
    {
        if (!m_view)
            return E_FAIL;
        const QUrl url(QString::fromStdString(Uri));
        if (!url.isValid())
            return static_cast<HRESULT>(0x80070057u);
        m_page->load(url);
        return S_OK;
    }
    HRESULT NavigateToString(const std::string& Html) override
    {
        if (!m_view)
            return E_FAIL;
        m_page->setHtml(QString::fromStdString(Html), QUrl("about:blank"));
        return S_OK;
    }
    HRESULT GoBack() override { return Act([&] { m_page->triggerAction(QWebEnginePage::Back); }); }
    HRESULT GoForward() override { return Act([&] { m_page->triggerAction(QWebEnginePage::Forward); }); }
    HRESULT Reload() override { return Act([&] { m_page->triggerAction(QWebEnginePage::Reload); }); }
    HRESULT Stop() override { return Act([&] { m_page->triggerAction(QWebEnginePage::Stop); }); }
    HRESULT ExecuteScript(const std::string& Script, IWebViewScriptCompleted* Completion) override
    {
        if (!m_view)
            return E_FAIL;
        if (Completion != nullptr)
            m_scripts.insert(Completion);
        THost* self = this;
        QPointer<TView> guard = m_view;
        if (!m_settings[wsScriptEnabled])
        {
            if (Completion != nullptr)
                QMetaObject::invokeMethod(
                    m_view, [self, Completion] { self->Deliver(Completion, S_OK, "null"); }, Qt::QueuedConnection);
            return S_OK;
        }
        m_page->runJavaScript(QString::fromStdString(Script), QWebEngineScript::MainWorld,
                              [guard, self, Completion](const QVariant& result) {
                                  if (guard.isNull() || guard->Host() == nullptr || Completion == nullptr)
                                      return;
                                  self->Deliver(Completion, S_OK, ToJson(result));
                              });
        return S_OK;
    }
    void CancelScripts(IWebViewScriptCompleted* Completion) override { m_scripts.erase(Completion); }
    HRESULT AddScriptToExecuteOnDocumentCreated(const std::string& Script, std::string& Id) override
    {
        if (!m_view)
            return E_FAIL;
        QWebEngineScript script;
        Id = "script" + std::to_string(++m_lastScript);
        script.setName(QString::fromStdString(Id));
        script.setSourceCode(QString::fromStdString(Script));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        m_page->scripts().insert(script);
        return S_OK;
    }
    HRESULT RemoveScriptToExecuteOnDocumentCreated(const std::string& Id) override
    {
        if (!m_view)
            return E_FAIL;
        for (const QWebEngineScript& s : m_page->scripts().find(QString::fromStdString(Id)))
            m_page->scripts().remove(s);
        return S_OK;
    }
    HRESULT PostWebMessageAsJson(const std::string& Json) override
    {
        if (!m_view || !m_settings[wsWebMessageEnabled])
            return E_FAIL;
        if (QJsonDocument::fromJson(QByteArray::fromStdString("[" + Json + "]")).isNull())
            return static_cast<HRESULT>(0x80070057u);
        emit m_bridge->message(QString::fromStdString(Json));
        return S_OK;
    }
    HRESULT PostWebMessageAsString(const std::string& Text) override
    {
        return PostWebMessageAsJson(ToJson(QVariant(QString::fromStdString(Text))));
    }
    HRESULT CapturePreview(bool Png, std::string& Bytes) override
    {
        if (!m_view)
            return E_FAIL;
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        if (!m_view->grab().save(&buffer, Png ? "PNG" : "JPG"))
            return E_FAIL;
        Bytes = data.toStdString();
        return S_OK;
    }
    HRESULT GetSetting(TWebViewSetting Setting, bool& Value) override
    {
        if (!m_view || Setting < 0 || Setting >= wsSettingCount)
            return E_FAIL;
        Value = m_settings[Setting];
        return S_OK;
    }
    HRESULT PutSetting(TWebViewSetting Setting, bool Value) override
    {
        if (!m_view || Setting < 0 || Setting >= wsSettingCount)
            return E_FAIL;
        m_settings[Setting] = Value;
        QWebEngineSettings* s = m_page->settings();
        if (Setting == wsScriptEnabled)
            s->setAttribute(QWebEngineSettings::JavascriptEnabled, Value);
        else if (Setting == wsErrorPageEnabled)
            s->setAttribute(QWebEngineSettings::ErrorPageEnabled, Value);
        return S_OK;
    }
    HRESULT GetDocumentTitle(std::string& Value) override
    {
        return Act([&] { Value = m_page->title().toStdString(); });
    }
    HRESULT GetSource(std::string& Value) override { return Act([&] { Value = m_page->url().toString().toStdString(); }); }
    HRESULT GetCanGoBack(bool& Value) override { return Act([&] { Value = m_page->history()->canGoBack(); }); }
    HRESULT GetCanGoForward(bool& Value) override
    {
        return Act([&] { Value = m_page->history()->canGoForward(); });
    }
    HRESULT GetContainsFullScreenElement(bool& Value) override { return Act([&] { Value = m_fullScreen; }); }
    HRESULT GetBrowserProcessId(uint32_t& Value) override
    {
        return Act([&] { Value = static_cast<uint32_t>(m_page->renderProcessPid()); });
    }
    HRESULT PutBounds(const QRectLike& B) override
    {
        return Act([&] { m_view->setGeometry(B.Left, B.Top, B.Width, B.Height); });
    }
    HRESULT GetZoomFactor(double& Value) override { return Act([&] { Value = m_page->zoomFactor(); }); }
    HRESULT PutZoomFactor(double Value) override
    {
        if (!m_view)
            return E_FAIL;
        if (!(Value > 0))
            return static_cast<HRESULT>(0x80070057u);
        const bool changed = Value != m_page->zoomFactor();
        m_page->setZoomFactor(Value);
        if (changed)
            Raise(wvZoomChanged);
        return S_OK;
    }
    HRESULT SetBoundsAndZoomFactor(const QRectLike& Bounds, double Zoom) override
    {
        const HRESULT hr = PutBounds(Bounds);
        return Succeeded(hr) ? PutZoomFactor(Zoom) : hr;
    }
    HRESULT PutIsVisible(bool Value) override { return Act([&] { m_view->setVisible(Value); }); }
    HRESULT MoveFocus(int Reason) override
    {
        return Act([&] {
            if (Reason == 0)
                m_view->setFocus(Qt::OtherFocusReason);
            else
                m_view->setFocus(Reason == 1 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        });
    }
    HRESULT OpenDevToolsWindow() override
    {
        if (!m_view)
            return E_FAIL;
        if (!m_settings[wsDevToolsEnabled])
            return S_OK;
        auto* tools = new QWebEngineView();
        tools->setAttribute(Qt::WA_DeleteOnClose);
        m_page->setDevToolsPage(tools->page());
        tools->show();
        return S_OK;
    }
    QWidget* Widget() override { return m_view; }

    // The events
    HRESULT Raise(TWebViewEventKind Kind, TWebViewEventArgs& Args)
    {
        HRESULT hr = S_OK;
        // A sink may unsubscribe (or close the host) while it runs.
        const auto sinks = m_sinks[Kind];
        for (const auto& [token, sink] : sinks)
            if (m_sinks[Kind].count(token) != 0)
                hr = sink->Invoke(Kind, Args);
        return hr;
    }
    void Raise(TWebViewEventKind Kind)
    {
        TWebViewEventArgs args;
        Raise(Kind, args);
    }
    bool Subscribed(TWebViewEventKind Kind) const { return !m_sinks[Kind].empty(); }
    bool Setting(TWebViewSetting s) const { return m_settings[s]; }
    int64_t NextNavigationId() { return ++m_navigationId; }
    int64_t NavigationId() const { return m_navigationId; }
    void SetFullScreen(bool Value) { m_fullScreen = Value; }
    // Only completions still awaited (not cancelled) are called.
    void Deliver(IWebViewScriptCompleted* Completion, HRESULT Result, const std::string& Json)
    {
        if (m_scripts.erase(Completion) != 0)
            Completion->Invoke(Result, Json);
    }

  private:
    template <class F> HRESULT Act(F&& f)
    {
        if (!m_view)
            return E_FAIL;
        f();
        return S_OK;
    }

    QPointer<TView> m_view;
    TPage* m_page = nullptr;
    TBridge* m_bridge = nullptr;
    QWebChannel* m_channel = nullptr;
    std::map<int64_t, IWebViewEventSink*> m_sinks[wvEventKindCount];
    int64_t m_lastToken = 0;
    int m_lastScript = 0;
    int64_t m_navigationId = 0;
    bool m_settings[wsSettingCount] = {true, true, true, true, true, true, true, true, true};
    bool m_fullScreen = false;
    std::set<IWebViewScriptCompleted*> m_scripts;
};

class TEnvironment final : public IWebViewEnvironment
{
  public:
    explicit TEnvironment(const QString& dataFolder)
    {
        if (dataFolder.isEmpty())
            m_profile = QWebEngineProfile::defaultProfile(); // Qt's own, never deleted here
        else
        {
            m_profile = new QWebEngineProfile(QStringLiteral("Tallowin"));
            m_profile->setPersistentStoragePath(dataFolder);
            m_profile->setCachePath(dataFolder + "/Cache");
        }
    }
    ~TEnvironment()
    {
        // After the pages of the profile, which go at the next turn of the loop.
        if (m_profile != QWebEngineProfile::defaultProfile())
            m_profile->deleteLater();
    }
    void Release() override
    {
        if (--m_refs == 0)
            delete this;
    }
    void AddRef() { ++m_refs; }
    std::string BrowserVersionString() override { return qWebEngineChromiumVersion(); }
    HRESULT CreateCoreWebView2Controller(QWidget* Parent, IWebViewControllerCompleted* Handler) override
    {
        if (Parent == nullptr || Handler == nullptr)
            return static_cast<HRESULT>(0x80070057u);
        QObject* context = Handler->Context();
        QPointer<QWidget> parent = Parent;
        AddRef();
        // Released when the call has run or was dropped with its context.
        std::shared_ptr<TEnvironment> keep(this, [](TEnvironment* e) { e->Release(); });
        QMetaObject::invokeMethod(
            context,
            [keep, parent, Handler] {
                if (parent.isNull())
                    Handler->Invoke(E_FAIL, nullptr);
                else
                    Handler->Invoke(S_OK, new THost(keep.get(), parent));
            },
            Qt::QueuedConnection);
        return S_OK;
    }
    QWebEngineProfile* Profile() const { return m_profile; }

  private:
    QWebEngineProfile* m_profile;
    int m_refs = 1;
};

void TBridge::post(const QString& json, bool isString)
{
    if (m_host == nullptr || !m_host->Setting(wsWebMessageEnabled))
        return;
    TWebViewEventArgs args;
    args.Json = json.toStdString();
    args.IsString = isString;
    if (isString)
        args.Message = QJsonDocument::fromJson(("[" + json + "]").toUtf8()).array().at(0).toString().toStdString();
    m_host->GetSource(args.Uri);
    m_host->Raise(wvWebMessageReceived, args);
}

bool TPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (m_host == nullptr)
        return false;
    TWebViewEventArgs args;
    args.Uri = url.toString().toStdString();
    args.UserInitiated = type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted;
    args.Redirected = type == NavigationTypeRedirect;
    args.NavigationId = m_host->NextNavigationId();
    m_host->Raise(isMainFrame ? wvNavigationStarting : wvFrameNavigationStarting, args);
    return !args.Cancel;
}

void TPage::javaScriptAlert(const QUrl& origin, const QString& msg)
{
    if (m_host == nullptr || !m_host->Setting(wsScriptDialogsEnabled))
        return;
    TWebViewEventArgs args;
    args.Uri = origin.toString().toStdString();
    args.Kind = 0;
    args.Message = msg.toStdString();
    if (m_host->Subscribed(wvScriptDialogOpening))
        m_host->Raise(wvScriptDialogOpening, args);
    else
        QWebEnginePage::javaScriptAlert(origin, msg);
}

bool TPage::javaScriptConfirm(const QUrl& origin, const QString& msg)
{
    if (m_host == nullptr || !m_host->Setting(wsScriptDialogsEnabled))
        return false;
    if (!m_host->Subscribed(wvScriptDialogOpening))
        return QWebEnginePage::javaScriptConfirm(origin, msg);
    TWebViewEventArgs args;
    args.Uri = origin.toString().toStdString();
    args.Kind = 1;
    args.Message = msg.toStdString();
    m_host->Raise(wvScriptDialogOpening, args);
    return args.Accept;
}

bool TPage::javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue, QString* result)
{
    if (m_host == nullptr || !m_host->Setting(wsScriptDialogsEnabled))
        return false;
    if (!m_host->Subscribed(wvScriptDialogOpening))
        return QWebEnginePage::javaScriptPrompt(origin, msg, defaultValue, result);
    TWebViewEventArgs args;
    args.Uri = origin.toString().toStdString();
    args.Kind = 2;
    args.Message = msg.toStdString();
    args.DefaultText = defaultValue.toStdString();
    args.ResultText = args.DefaultText;
    m_host->Raise(wvScriptDialogOpening, args);
    if (args.Accept && result != nullptr)
        *result = QString::fromStdString(args.ResultText);
    return args.Accept;
}

void TView::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_host != nullptr && m_host->Setting(wsContextMenusEnabled))
        QWebEngineView::contextMenuEvent(event);
    else
        event->accept();
}

bool TView::event(QEvent* event)
{
    if (m_host != nullptr && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        m_host->Raise(event->type() == QEvent::FocusIn ? wvGotFocus : wvLostFocus);
    return QWebEngineView::event(event);
}

THost::THost(TEnvironment* environment, QWidget* parent)
{
    m_view = new TView(parent, this);
    m_page = new TPage(environment->Profile(), this);
    m_page->setParent(m_view);
    m_view->setPage(m_page);
    m_bridge = new TBridge(this);
    m_bridge->setParent(m_view);
    m_channel = new QWebChannel(m_page);
    m_channel->registerObject(QStringLiteral("webview"), m_bridge);
    m_page->setWebChannel(m_channel, QWebEngineScript::MainWorld);
    QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    channelScript.open(QIODevice::ReadOnly);
    QWebEngineScript bridge;
    bridge.setName(QStringLiteral("webview-bridge"));
    bridge.setSourceCode(QString::fromUtf8(channelScript.readAll()) + QString::fromUtf8(BridgeScript));
    bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
    bridge.setWorldId(QWebEngineScript::MainWorld);
    bridge.setRunsOnSubFrames(false);
    m_page->scripts().insert(bridge);

    QObject::connect(m_page, &QWebEnginePage::loadStarted, m_view, [this] {
        TWebViewEventArgs args;
        args.NavigationId = m_navigationId;
        Raise(wvContentLoading, args);
    });
    QObject::connect(m_page, &QWebEnginePage::loadFinished, m_view, [this](bool ok) {
        TWebViewEventArgs args;
        args.Success = ok;
        args.WebError = ok ? 0 : 6; // weServerUnreachable: Qt tells no more
        args.NavigationId = m_navigationId;
        Raise(wvNavigationCompleted, args);
    });
    QObject::connect(m_page, &QWebEnginePage::titleChanged, m_view, [this] { Raise(wvDocumentTitleChanged); });
    QObject::connect(m_page, &QWebEnginePage::urlChanged, m_view, [this] {
        TWebViewEventArgs args;
        args.NewDocument = true;
        Raise(wvSourceChanged, args);
        Raise(wvHistoryChanged);
    });
    QObject::connect(m_page, &QWebEnginePage::windowCloseRequested, m_view, [this] { Raise(wvWindowCloseRequested); });
    QObject::connect(m_page, &QWebEnginePage::fullScreenRequested, m_view, [this](QWebEngineFullScreenRequest r) {
        m_fullScreen = r.toggleOn();
        r.accept();
        Raise(wvFullScreenChanged);
    });
    QObject::connect(m_page, &QWebEnginePage::newWindowRequested, m_view, [this](QWebEngineNewWindowRequest& r) {
        TWebViewEventArgs args;
        args.Uri = r.requestedUrl().toString().toStdString();
        args.UserInitiated = r.isUserInitiated();
        Raise(wvNewWindowRequested, args);
        // Unhandled requests open nothing either: no stray windows.
    });
    QObject::connect(m_page, &QWebEnginePage::featurePermissionRequested, m_view,
                     [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                         TWebViewEventArgs args;
                         args.Uri = origin.toString().toStdString();
                         switch (feature)
                         {
                         case QWebEnginePage::MediaAudioCapture: args.Kind = 1; break;
                         case QWebEnginePage::MediaVideoCapture: args.Kind = 2; break;
                         case QWebEnginePage::Geolocation: args.Kind = 3; break;
                         case QWebEnginePage::Notifications: args.Kind = 4; break;
                         default: args.Kind = 0;
                         }
                         Raise(wvPermissionRequested, args);
                         m_page->setFeaturePermission(origin, feature,
                                                      args.State == 1   ? QWebEnginePage::PermissionGrantedByUser
                                                      : args.State == 2 ? QWebEnginePage::PermissionDeniedByUser
                                                                        : QWebEnginePage::PermissionUnknown);
                     });
    QObject::connect(m_page, &QWebEnginePage::renderProcessTerminated, m_view,
                     [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                         TWebViewEventArgs args;
                         args.Kind = status == QWebEnginePage::NormalTerminationStatus ? 0 : 1;
                         Raise(wvProcessFailed, args);
                     });
    m_view->show();
}

THost::~THost()
{
    Close();
}

} // namespace

KLD_EXPORT HRESULT CreateCoreWebView2EnvironmentWithOptions(const char* BrowserFolder, const char* DataFolder,
                                                            void* Options, IWebViewEnvironmentCompleted* Handler)
{
    if (Handler == nullptr)
        return static_cast<HRESULT>(0x80070057u);
    if (BrowserFolder != nullptr && *BrowserFolder != 0)
        return E_WEBVIEW_NO_RUNTIME; // a runtime in a folder of its own does not exist here
    const QString data = QString::fromUtf8(DataFolder != nullptr ? DataFolder : "");
    QMetaObject::invokeMethod(
        Handler->Context(), [Handler, data] { Handler->Invoke(S_OK, new TEnvironment(data)); },
        Qt::QueuedConnection);
    return S_OK;
}

KLD_EXPORT HRESULT CreateCoreWebView2Environment(IWebViewEnvironmentCompleted* Handler)
{
    return CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, Handler);
}

KLD_EXPORT HRESULT GetAvailableCoreWebView2BrowserVersionString(const char* BrowserFolder, char** VersionInfo)
{
    if (VersionInfo == nullptr)
        return static_cast<HRESULT>(0x80070057u);
    *VersionInfo = nullptr;
    if (BrowserFolder != nullptr && *BrowserFolder != 0)
        return E_WEBVIEW_NO_RUNTIME;
    *VersionInfo = CopyText(qWebEngineChromiumVersion());
    return *VersionInfo != nullptr ? S_OK : E_FAIL;
}

KLD_EXPORT HRESULT CompareBrowserVersions(const char* Version1, const char* Version2, int* Result)
{
    if (Version1 == nullptr || Version2 == nullptr || Result == nullptr)
        return static_cast<HRESULT>(0x80070057u);
    return CompareDottedVersions(Version1, Version2, *Result) ? S_OK : E_WEBVIEW_BAD_VERSION;
}

KLD_EXPORT void WebView2LoaderFreeText(char* Text) { std::free(Text); }

#include "WebViewLoader.moc"
