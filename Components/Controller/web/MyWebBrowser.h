#pragma once
// `TMyWebBrowser`: the light web view (QTextBrowser: HTML and CSS rendering,
// no script engine) with the host's answers of the old browser control.
//
// - Pages and pictures of http(s) addresses are fetched off the main thread
//   by the remote calls' HTTP client, each within Timeout; the page's raw
//   source is kept as received (the view drops what it does not render,
//   such as unknown attributes), and every navigation ends in
//   OnDocumentComplete through the event loop, whatever the outcome (a
//   failed fetch leaves an empty document).
// - The four stored Booleans become their effects: ContextMenuEnabled lets
//   the view's menu appear, AcceleratorsEnabled lets Ctrl key combinations
//   reach it, Border3DEnabled keeps its frame, ScrollEnabled its scroll bars.
// - `window.external`: a link "javascript:window.external.Name(args)" with
//   literal arguments (texts in quotes, numbers, true, false, null) is a
//   page call of the bound Name (BrowserBindings.h). A page has no script
//   functions of its own, so InvokeScript knows no name.
// - A click on a link first runs the document's click handler (an event
//   object, WebAds.h); the handler sees the link's address as the event's
//   source and may cancel the click, then the link is not followed.
// - WriteHtml is the document's write: the text goes after what the open
//   document holds, and the view shows the whole again.
// - A page that came from the web (an http or https address) loads pictures
//   and style sheets of http and https addresses only, never a local file
//   (file:, qrc:, data: or any other scheme), and its links lead to web
//   addresses only. Pages the program writes (the blank page and what is
//   written into it, LoadHtml's document, a local file's page) keep every
//   picture they name. Text written into a page of the web stays under the
//   page's rule.

#include "Components/Controller/web/BrowserBindings.h"
#include "Components/Controller/web/WebAds.h"
#include "platform/ComTypes.h"

#include <QTextBrowser>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

// The document's ready states.
enum TReadyState
{
    READYSTATE_UNINITIALIZED = 0,
    READYSTATE_LOADING = 1,
    READYSTATE_LOADED = 2,
    READYSTATE_INTERACTIVE = 3,
    READYSTATE_COMPLETE = 4
};

// Flags of GetHostInfo.
constexpr uint32_t DOCHOSTUIFLAG_NO3DBORDER = 0x4;
constexpr uint32_t DOCHOSTUIFLAG_SCROLL_NO = 0x8;
constexpr uint32_t DOCHOSTUIFLAG_THEME = 0x40000;

class TMyWebBrowser : public QTextBrowser
{
  public:
    explicit TMyWebBrowser(QWidget* parent = nullptr);
    ~TMyWebBrowser() override;

    bool ContextMenuEnabled() const { return m_contextMenuEnabled; }
    void SetContextMenuEnabled(bool Value) { m_contextMenuEnabled = Value; }
    bool AcceleratorsEnabled() const { return m_acceleratorsEnabled; }
    void SetAcceleratorsEnabled(bool Value) { m_acceleratorsEnabled = Value; }
    bool Border3DEnabled() const { return m_border3DEnabled; }
    void SetBorder3DEnabled(bool Value);
    bool ScrollEnabled() const { return m_scrollEnabled; }
    void SetScrollEnabled(bool Value);

    // The host's answers; the view acts on them.
    HRESULT ShowContextMenu() const { return m_contextMenuEnabled ? S_FALSE : S_OK; }
    HRESULT GetHostInfo(uint32_t& Size, uint32_t& Flags) const;
    HRESULT TranslateAccelerator(bool IsCharMessage, bool CtrlDown) const;

    // window.external
    DISPID Bind(const std::string& Name, TBrowserMessageEvent Handler) { return m_bindings.Bind(Name, std::move(Handler)); }
    void Unbind(const std::string& Name) { m_bindings.Unbind(Name); }
    TBrowserBindings& Bindings() { return m_bindings; }
    // Runs a page call "window.external.Name(args)" (the text after
    // "javascript:"); false when the text is no such call or the name is
    // unknown.
    bool RunPageCall(const std::string& Script, Variant* Result = nullptr);

    // Calls a global script function of the page: raises the variant error
    // without a document, else "Unknown script name in WebBrowser.InvokeScript".
    Variant InvokeScript(const std::string& Name, const std::vector<Variant>& Args);

    // Navigation
    void Navigate(const std::string& Url);
    void GoBack();
    void GoForward();
    void Stop();
    int Timeout() const { return m_timeoutMs; }
    void SetTimeout(int Ms) { m_timeoutMs = Ms; }
    TReadyState ReadyState() const { return m_readyState; }
    bool HasDocument() const { return m_hasDocument; }
    // The address of the document shown ("about:blank" for the blank page).
    const std::string& LocationURL() const { return m_location; }
    // The page's source as received (with what WriteHtml added).
    const std::string& Source() const { return m_source; }
    // Replaces the kept source and shows it again (an attribute written).
    void SetSource(const std::string& Html);
    void WriteHtml(const std::string& Html);
    // Loads a whole new document from a text (the stream-loading interface).
    void LoadHtml(const std::string& Html);
    std::string PlainText() const;
    std::function<void(TMyWebBrowser* Sender)> OnDocumentComplete;

    // The document's click handler (null: none) and its event.
    void SetDocumentOnClick(std::shared_ptr<TEventObject> Handler) { m_onClick = std::move(Handler); }
    const std::shared_ptr<TEventObject>& DocumentOnClick() const { return m_onClick; }
    // The address of the link the event came from ("" when none).
    const std::string& EventSourceHref() const { return m_eventHref; }
    void SetEventReturnValue(bool Value) { m_eventReturnValue = Value; }
    // Clicks a link as the user would (also used by the view itself).
    void ClickLink(const QUrl& Url);

    // Prints the document with Header and Footer on every page ("&w" the
    // title, "&u" the address, "&p" the page, "&P" the pages, "&&" an "&").
    void PrintDocument(QPagedPaintDevice& Device, const std::string& Header, const std::string& Footer);
    // The same onto any painter: pages of Page's size, NewPage between them;
    // answers the number of pages.
    int PaintPages(QPainter& Painter, const QRect& Page, const std::string& Header, const std::string& Footer,
                   const std::function<void()>& NewPage);

  protected:
    QVariant loadResource(int type, const QUrl& name) override;
    // Client alignment: the view fills its parent, whatever parent it has.
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct TFetch;
    void StartFetch(const std::string& Address, const QString& Key, bool IsPage, unsigned Navigation);
    void PageArrived(unsigned Navigation, bool Ok, const std::string& Body);
    void PictureArrived(const QString& Key, const std::string& Body);
    void Render();
    void CompleteLater(unsigned Navigation);
    void GoTo(const std::string& Url, bool AddToHistory);
    void JoinFinished();

    bool m_contextMenuEnabled = false;
    bool m_acceleratorsEnabled = false;
    bool m_border3DEnabled = false;
    bool m_scrollEnabled = false;
    TBrowserBindings m_bindings;
    int m_timeoutMs = 30000;
    TReadyState m_readyState = READYSTATE_UNINITIALIZED;
    bool m_hasDocument = false;
    std::string m_location;
    std::string m_source;
    bool m_fromWeb = false; // the document shown came from an http(s) address
    unsigned m_navigation = 0;
    std::vector<std::string> m_history;
    int m_historyIndex = -1;
    std::map<QString, QImage> m_pictures; // fetched (a null image: failed)
    std::vector<std::unique_ptr<TFetch>> m_fetches;
    std::shared_ptr<TMyWebBrowser*> m_alive;
    std::shared_ptr<TEventObject> m_onClick;
    std::string m_eventHref;
    bool m_eventReturnValue = true;
};
