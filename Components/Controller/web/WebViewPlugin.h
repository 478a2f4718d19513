#pragma once
// The entry points of the web view loader library, "libWebView2Loader.so"
// in the program folder: the plugin that alone links Qt WebEngine. The
// program opens it at run time (WebView.h) and reaches it only through
// these names; texts are UTF-8 and a text the library returns is released
// with its own WebView2LoaderFreeText.

#include "platform/ComTypes.h"

class IWebViewEnvironmentCompleted;

extern "C" {
using TCreateCoreWebView2EnvironmentWithOptions = HRESULT (*)(const char* BrowserFolder, const char* DataFolder,
                                                              void* Options, IWebViewEnvironmentCompleted* Handler);
using TCreateCoreWebView2Environment = HRESULT (*)(IWebViewEnvironmentCompleted* Handler);
using TGetAvailableCoreWebView2BrowserVersionString = HRESULT (*)(const char* BrowserFolder, char** VersionInfo);
using TCompareBrowserVersions = HRESULT (*)(const char* Version1, const char* Version2, int* Result);
using TWebView2LoaderFreeText = void (*)(char* Text);
}

// The library's failure codes beyond the common ones.
constexpr HRESULT E_WEBVIEW_NO_RUNTIME = static_cast<HRESULT>(0x80070002u); // no runtime in that folder
constexpr HRESULT E_WEBVIEW_BAD_VERSION = static_cast<HRESULT>(0x80070057u); // not a dotted version

// --- The objects of the library: the environment, and a host per view (the
// controller and web view in one). Both sides are built by the same
// compiler from this header; the library owns what it creates and frees it
// on Release. Every call answers a status code; out values are set only on
// success. Callbacks arrive on the main thread through the event loop.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QWidget;
struct QRectLike
{
    int Left = 0, Top = 0, Width = 0, Height = 0;
};
using TWebViewHeaders = std::vector<std::pair<std::string, std::string>>;

// Event kinds, in the order activation subscribes them.
enum TWebViewEventKind
{
    wvContentLoading,
    wvDocumentTitleChanged,
    wvFrameNavigationCompleted,
    wvFrameNavigationStarting,
    wvFullScreenChanged,
    wvGotFocus,
    wvHistoryChanged,
    wvLostFocus,
    wvMoveFocusRequested,
    wvNavigationCompleted,
    wvNavigationStarting,
    wvNewWindowRequested,
    wvPermissionRequested,
    wvProcessFailed,
    wvScriptDialogOpening,
    wvSourceChanged,
    wvWebMessageReceived,
    wvWebResourceRequested,
    wvWindowCloseRequested,
    wvZoomChanged,
    wvEventKindCount
};

// Settings of a view.
enum TWebViewSetting
{
    wsScriptEnabled,
    wsWebMessageEnabled,
    wsScriptDialogsEnabled,
    wsStatusBarEnabled,
    wsDevToolsEnabled,
    wsContextMenusEnabled,
    wsZoomControlEnabled,
    wsHostObjectsAllowed,
    wsErrorPageEnabled,
    wsSettingCount
};

// What an event carries; members not used by a kind stay at their defaults.
// The in-out members (Cancel, Handled, State, Accept, ResultText) are read
// back by the library after the sink returns.
struct TWebViewEventArgs
{
    std::string Uri;
    bool UserInitiated = false;
    bool Redirected = false;
    TWebViewHeaders Headers;
    int64_t NavigationId = 0;
    bool IsErrorPage = false;
    bool Success = false;
    int WebError = 0;
    bool NewDocument = false;
    int Kind = 0; // permission, process failure, dialog kind
    std::string Message;
    std::string DefaultText;
    std::string Json;
    bool IsString = false; // the web message was a string (then in Message)
    // in-out
    bool Cancel = false;
    bool Handled = false;
    int State = 0;
    bool Accept = false;
    std::string ResultText;
};

class IWebViewEventSink
{
  public:
    virtual HRESULT Invoke(TWebViewEventKind Kind, TWebViewEventArgs& Args) = 0;

  protected:
    ~IWebViewEventSink() = default;
};

class IWebViewScriptCompleted
{
  public:
    virtual void Invoke(HRESULT Result, const std::string& JsonResult) = 0;

  protected:
    ~IWebViewScriptCompleted() = default;
};

class IWebViewHost
{
  public:
    virtual void Release() = 0;
    virtual HRESULT Subscribe(TWebViewEventKind Kind, IWebViewEventSink* Sink, int64_t& Token) = 0;
    virtual HRESULT Unsubscribe(TWebViewEventKind Kind, int64_t Token) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT Navigate(const std::string& Uri) = 0;
    virtual HRESULT NavigateToString(const std::string& Html) = 0;
    virtual HRESULT GoBack() = 0;
    virtual HRESULT GoForward() = 0;
    virtual HRESULT Reload() = 0;
    virtual HRESULT Stop() = 0;
    // The completion (may be null) runs later, through the event loop; the
    // caller keeps it alive until then or calls CancelScripts.
    virtual HRESULT ExecuteScript(const std::string& Script, IWebViewScriptCompleted* Completion) = 0;
    virtual void CancelScripts(IWebViewScriptCompleted* Completion) = 0;
    virtual HRESULT AddScriptToExecuteOnDocumentCreated(const std::string& Script, std::string& Id) = 0;
    virtual HRESULT RemoveScriptToExecuteOnDocumentCreated(const std::string& Id) = 0;
    virtual HRESULT PostWebMessageAsJson(const std::string& Json) = 0;
    virtual HRESULT PostWebMessageAsString(const std::string& Text) = 0;
    virtual HRESULT CapturePreview(bool Png, std::string& Bytes) = 0;
    virtual HRESULT GetSetting(TWebViewSetting Setting, bool& Value) = 0;
    virtual HRESULT PutSetting(TWebViewSetting Setting, bool Value) = 0;
    virtual HRESULT GetDocumentTitle(std::string& Value) = 0;
    virtual HRESULT GetSource(std::string& Value) = 0;
    virtual HRESULT GetCanGoBack(bool& Value) = 0;
    virtual HRESULT GetCanGoForward(bool& Value) = 0;
    virtual HRESULT GetContainsFullScreenElement(bool& Value) = 0;
    virtual HRESULT GetBrowserProcessId(uint32_t& Value) = 0;
    virtual HRESULT PutBounds(const QRectLike& Bounds) = 0;
    virtual HRESULT GetZoomFactor(double& Value) = 0;
    virtual HRESULT PutZoomFactor(double Value) = 0;
    virtual HRESULT SetBoundsAndZoomFactor(const QRectLike& Bounds, double Zoom) = 0;
    virtual HRESULT PutIsVisible(bool Value) = 0;
    virtual HRESULT MoveFocus(int Reason) = 0;
    virtual HRESULT OpenDevToolsWindow() = 0;
    // The widget that shows the page (a child of the parent given at creation).
    virtual QWidget* Widget() = 0;

  protected:
    ~IWebViewHost() = default;
};

class QObject;

// Completions of creation are delivered in the event loop of the thread of
// Context(), and dropped when Context() is gone by then.
class IWebViewControllerCompleted
{
  public:
    virtual void Invoke(HRESULT Result, IWebViewHost* Host) = 0;
    virtual QObject* Context() = 0;

  protected:
    ~IWebViewControllerCompleted() = default;
};

class IWebViewEnvironment
{
  public:
    virtual void Release() = 0;
    virtual std::string BrowserVersionString() = 0;
    // Makes a host whose widget is a child of Parent; the completion runs
    // later through the event loop.
    virtual HRESULT CreateCoreWebView2Controller(QWidget* Parent, IWebViewControllerCompleted* Handler) = 0;

  protected:
    ~IWebViewEnvironment() = default;
};

class IWebViewEnvironmentCompleted
{
  public:
    virtual void Invoke(HRESULT Result, IWebViewEnvironment* Environment) = 0;
    virtual QObject* Context() = 0;

  protected:
    ~IWebViewEnvironmentCompleted() = default;
};
