#pragma once
// `TovnEdgeController`: the browser controller over Qt WebEngine (TWebView,
// WebView.h). The first Navigate starts the view; until its activation has
// completed (through the event loop) ShowHtml, the script and the attribute
// operations fail with the inactive-component error. Scripts run as text
// and each InvokeScript waits in the event loop for its own result, at most
// about 5 s; a page reaches a bound name by posting it with
// window.chrome.webview.postMessage.

#include "Components/Controller/web/WebView.h"
#include "Components/Controller/web/ovnWebViewController.h"

#include <QPointer>

#include <map>

class TovnEdgeController : public TovnWebViewController
{
  public:
    explicit TovnEdgeController(QObject* AOwner);
    ~TovnEdgeController() override;
    std::string ClassName() const override { return "TovnEdgeController"; }
    static TovnWebViewController* Create(QObject* AOwner) { return new TovnEdgeController(AOwner); }

    TWebView* View() const { return m_view.data(); }

    void SetContainerView(QWidget* Value) override;
    bool GetContextMenuEnabled() const override;
    void SetContextMenuEnabled(bool Value) override;
    bool GetVisible() const override;
    void SetVisible(bool Value) override;
    void Navigate(const std::string& Url) override;
    void ShowHtml(const std::string& Html) override;
    void GoBack() override;
    void GoForward() override;
    std::string GetPageSource() override;
    Variant InvokeScript(const std::string& Name, const std::vector<Variant>& Args) override;
    void Bind(const std::string& Name, TBrowserMessageEvent Handler) override;
    void Print(const std::string& Header, const std::string& Footer, bool Prompt) override;
    std::string GetAttrValue(const std::string& ElementId, const std::string& Attr) override;
    void SetAttrValue(const std::string& ElementId, const std::string& Attr, const Variant& Value) override;
    static std::string GetBrowserVersion();

    // The script text of a value in SetAttrValue: null for Null or empty, a
    // text in single quotes (escaped), true/false, otherwise its text.
    static std::string ValueText(const Variant& Value);
    // How long InvokeScript waits for a result (5000 ms).
    void SetScriptTimeout(int Ms) { m_scriptTimeoutMs = Ms; }

  private:
    void WebMessageReceived(const std::string& Message, const std::string& Json);

    QPointer<TWebView> m_view;
    std::map<std::string, TBrowserMessageEvent, bool (*)(const std::string&, const std::string&)> m_bindings;
    bool m_contextMenuEnabled = false;
    bool m_visible = true;
    int m_scriptTimeoutMs = 5000;
};

// A text as a script string literal in the given quotes: the quote,
// backslashes and line breaks escaped.
std::string ScriptLiteral(const std::string& Text, char Quote);

extern const TovnWebViewControllerClass TovnEdgeControllerClass;
