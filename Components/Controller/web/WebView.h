#pragma once
// Unit WebView: the loader of the web view library (the plugin that alone
// links Qt WebEngine, WebViewPlugin.h).
//
// The library is looked for as LibraryName in the program's folder (a name
// with a "/" is taken as it is). Once loaded it stays loaded for the life of
// the process, with the six floating-point exceptions masked (the browser
// engine's code expects them masked); UnloadLibrary gives the saved mask bits
// back. A missing library or entry point raises EWebViewError naming it and
// the system's reason.

#include "Components/Controller/web/WebViewPlugin.h"
#include "platform/DynLibs.h"
#include "platform/SysUtils.h"

#include <string>

KLD_DECLARE_EXCEPTION(EWebViewError, Exception);

namespace WebView {

extern std::string LibraryName; // "libWebView2Loader.so"
extern HMODULE WebViewLibrary;  // null when not loaded
extern TCreateCoreWebView2EnvironmentWithOptions CreateCoreWebView2EnvironmentWithOptions;
extern TCreateCoreWebView2Environment CreateCoreWebView2Environment;
extern TGetAvailableCoreWebView2BrowserVersionString GetAvailableCoreWebView2BrowserVersionString;
extern TCompareBrowserVersions CompareBrowserVersions;

// The library's full path: LibraryName in the program's folder.
std::string LibraryPath();
void LoadLibrary();
bool Loaded();
void UnloadLibrary();
// The runtime's version, "" when the library answers with a failure.
std::string GetBrowserVersion(const std::string& BrowserFolder);
// True when the runtime is "86.0.622.11" or newer.
bool BrowserAvailable(const std::string& BrowserFolder);

// The six exception-mask bits of the floating-point control (x87 control
// word bits 0-5, the same six of MXCSR at bits 7-12), as the x87 word has them.
unsigned FloatingPointMasks();
void SetFloatingPointMasks(unsigned Masks);

} // namespace WebView

// ---------------------------------------------------------------------------
// TWebView: the host control of a Qt WebEngine view (through the plugin).
//
// Every operation needs an active control and raises EWebViewError "Cannot
// perform this operation on an inactive <Name> component" otherwise, but for
// the reads that say they work while inactive. Activation (SetActive(true))
// asks the plugin for an environment and a view; both arrive through the
// event loop, so Active reads True only once the view exists. Events of the
// view are subscribed at activation, in a fixed order, only for the events
// assigned at that moment. Failures inside the plugin's callbacks go to
// OnException only; the control then stays inactive.

#include "platform/Controls.h"
#include "platform/Variants.h"

#include <functional>
#include <list>
#include <memory>
#include <utility>
#include <vector>

KLD_DECLARE_EXCEPTION(EOleError, Exception);
// A failure code of the plugin as the OLE error ("OLE error 80004005").
class EOleSysError : public EOleError
{
  public:
    explicit EOleSysError(HRESULT Code);
    std::string ClassName() const override { return "EOleSysError"; }
    HRESULT ErrorCode() const { return m_code; }

  private:
    HRESULT m_code;
};
// Raises EOleSysError for a failure code.
void OleCheck(HRESULT Code);

enum TMoveFocusReason { frProgrammatic, frNext, frPrevious };
enum TWebError
{
    weUnknown, weCertificateCommonNameIncorrect, weCertificateExpired, weClientCertificateError,
    weCertificateRevoked, weCertificateInvalid, weServerUnreachable, weTimeout, weHttpInvalidResponse,
    weConnectionAborted, weConnectionReset, weDisconnected, weCannotConnect, weHostNameNotResolved,
    weOperationCanceled, weRedirectFailed, weUnexpectedError
};
enum TPermissionKind { pkUnknown, pkMicrophone, pkCamera, pkGeolocation, pkNotifications, pkOtherSensors, pkClipboardRead };
enum TPermissionState { psDefault, psAllow, psDeny };
enum TProcessFailedKind { pfBrowserExited, pfRenderExited, pfRenderUnresponsive };
enum TDialogKind { dkAlert, dkConfirm, dkPrompt, dkBeforeUnload };
enum TWebResource
{
    wrAll, wrDocument, wrStylesheet, wrImage, wrMedia, wrFont, wrScript, wrXmlHttpRequest, wrFetch, wrTextTrack,
    wrEventSource, wrWebSocket, wrManifest, wrSignedExchange, wrPing, wrCspViolationReport, wrOther
};
enum TCapturePreviewFormat { pfPng, pfJpeg };

// A value from the plugin outside an enumeration becomes its first member.
template <class E> E ToEnum(int Value, E Last)
{
    return Value >= 0 && Value <= static_cast<int>(Last) ? static_cast<E>(Value) : static_cast<E>(0);
}

using THeaders = std::vector<std::pair<std::string, std::string>>;

class TWebResourceRequest
{
  public:
    std::string Uri, Method, Content;
    THeaders Headers;
    bool ContainsHeader(const std::string& Name) const;
    void RemoveHeader(const std::string& Name);
    std::string GetHeader(const std::string& Name) const;
    void SetHeader(const std::string& Name, const std::string& Value);
};

class TWebResourceResponse
{
  public:
    std::string ReasonPhrase;
    int StatusCode = 200;
    THeaders Headers;
    void AppendHeader(const std::string& Name, const std::string& Value) { Headers.emplace_back(Name, Value); }
    bool ContainsHeader(const std::string& Name) const;
};

class TWebView : public TCustomControl, private IWebViewEventSink
{
  public:
    explicit TWebView(QWidget* Parent = nullptr);
    ~TWebView() override;
    std::string ClassName() const override { return "TWebView"; }

    bool Active() const { return m_host != nullptr; }
    void SetActive(bool Value);
    const std::string& BrowserFolder() const { return m_browserFolder; }
    void SetBrowserFolder(const std::string& Value);
    const std::string& DataFolder() const { return m_dataFolder; }
    void SetDataFolder(const std::string& Value);
    std::string Uri() const;
    void SetUri(const std::string& Value);
    double Zoom() const;
    void SetZoom(double Value);
    void setVisible(bool visible) override;

    void Back();
    void Forward();
    void Refresh();
    void Stop();
    void OpenDevTools();
    void ShowHtml(const std::string& Html);
    void MoveFocus(TMoveFocusReason Reason);
    void PostJsonWebMessage(const std::string& Json);
    void PostWebMessage(const std::string& Text);
    using TExecuteScriptCompletion = std::function<void(TWebView* Sender, const std::string& JsonResult)>;
    void ExecuteScript(const std::string& Script, TExecuteScriptCompletion Completion = nullptr);
    using TAddScriptCompletion = std::function<void(TWebView* Sender, const std::string& ScriptID)>;
    void AddScript(const std::string& Script, TAddScriptCompletion Completion = nullptr);
    void RemoveScript(const std::string& Id);
    using TCapturePreviewCompletion = std::function<void(TWebView* Sender)>;
    void CapturePreview(TCapturePreviewFormat Format, std::string& Stream, TCapturePreviewCompletion Completion = nullptr);
    // Not in Qt WebEngine: raise EWebViewError.
    void CallDevTools(const std::string& Method, const std::string& Params,
                      std::function<void(TWebView*, const std::string&)> Completion = nullptr);
    void AddFilter(const std::string& Uri, TWebResource Kind);
    void RemoveFilter(const std::string& Uri, TWebResource Kind);
    TWebResourceResponse CreateResponse(int StatusCode, const std::string& ReasonPhrase, const THeaders& Headers);

    bool GetSetting(TWebViewSetting Setting);
    void SetSetting(TWebViewSetting Setting, bool Value);
    bool ScriptEnabled() { return GetSetting(wsScriptEnabled); }
    void SetScriptEnabled(bool V) { SetSetting(wsScriptEnabled, V); }
    bool ContextMenusEnabled() { return GetSetting(wsContextMenusEnabled); }
    void SetContextMenusEnabled(bool V) { SetSetting(wsContextMenusEnabled, V); }
    void SetDevToolsEnabled(bool V) { SetSetting(wsDevToolsEnabled, V); }
    void SetStatusBarEnabled(bool V) { SetSetting(wsStatusBarEnabled, V); }
    void SetZoomControlEnabled(bool V) { SetSetting(wsZoomControlEnabled, V); }

    std::string DocumentTitle();
    bool FullScreen();
    uint32_t BrowserProcess();
    bool CanBack();    // False while inactive
    bool CanForward(); // False while inactive
    // Also while inactive (then through the loader).
    std::string BrowserVersion();

    TNotifyEvent OnActive, OnDocumentTitleChanged, OnFullScreenChanged, OnGotFocus, OnHistoryChanged, OnLostFocus,
        OnWindowCloseRequested, OnZoomChanged, OnNewVersionAvailable;
    std::function<void(TObject* Sender, bool IsErrorPage, int64_t NavigationId)> OnContentLoading;
    std::function<void(TObject* Sender, const Exception& E)> OnException;
    std::function<void(TObject* Sender, TMoveFocusReason Reason, bool& Handled)> OnMoveFocusRequested;
    using TNavigationCompletedEvent = std::function<void(TObject* Sender, bool Success, TWebError WebError, int64_t NavigationId)>;
    TNavigationCompletedEvent OnNavigationCompleted, OnFrameNavigationCompleted;
    using TNavigationStartingEvent = std::function<void(TObject* Sender, const std::string& Uri, bool UserInitiated,
                                                        bool Redirected, const THeaders& RequestHeaders,
                                                        int64_t NavigationId, bool& Cancel)>;
    TNavigationStartingEvent OnNavigationStarting, OnFrameNavigationStarting;
    std::function<void(TObject* Sender, const std::string& Uri, void*& NewWindow, bool UserInitiated, bool& Handled)>
        OnNewWindowRequested;
    std::function<void(TObject* Sender, const std::string& Uri, TPermissionKind Kind, bool UserInitiated,
                       TPermissionState& State)>
        OnPermissionRequested;
    std::function<void(TObject* Sender, TProcessFailedKind Kind)> OnProcessFailed;
    std::function<void(TObject* Sender, const std::string& Uri, TDialogKind Kind, const std::string& Message,
                       const std::string& DefaultText, std::string& ResultText, bool& Accept)>
        OnScriptDialogOpening;
    std::function<void(TObject* Sender, bool NewDocument)> OnSourceChanged;
    std::function<void(TObject* Sender, const std::string& Source, const std::string& Message, const std::string& Json)>
        OnWebMessageReceived;
    std::function<void(TObject* Sender, const TWebResourceRequest& Request, TWebResourceResponse*& Response)>
        OnWebResourceRequested;

  protected:
    void Resize() override;

  private:
    class TEnvironmentCompleted;
    class TControllerCompleted;
    class TScriptCompleted;
    HRESULT Invoke(TWebViewEventKind Kind, TWebViewEventArgs& Args) override;
    void Activate();
    void Deactivate();
    void EnvironmentCompleted(unsigned Generation, HRESULT Result, IWebViewEnvironment* Environment);
    void ControllerCompleted(unsigned Generation, HRESULT Result, IWebViewHost* Host);
    void Fail(const std::exception_ptr& Error);
    IWebViewHost& Host() const; // raises the inactive error
    bool Assigned(TWebViewEventKind Kind) const;
    QRectLike Bounds() const;

    std::string m_browserFolder, m_dataFolder, m_uri;
    double m_zoom = 1.0;
    bool m_activating = false;
    bool m_navigationRequested = false;
    unsigned m_generation = 0;
    IWebViewEnvironment* m_environment = nullptr;
    IWebViewHost* m_host = nullptr;
    std::vector<std::pair<TWebViewEventKind, int64_t>> m_tokens;
    std::unique_ptr<TEnvironmentCompleted> m_environmentCompleted;
    std::unique_ptr<TControllerCompleted> m_controllerCompleted;
    std::list<std::unique_ptr<TScriptCompleted>> m_scripts;
};
