#pragma once
// `TovnMyWebBrowserController`: the browser controller over the light view
// (MyWebBrowser.h). Pages run no script, so InvokeScript knows no name;
// attributes act on the page's kept source; Print prints through Qt's print
// support with the given header and footer, leaving every stored set-up as
// it was.

#include "Components/Controller/web/MyWebBrowser.h"
#include "Components/Controller/web/ovnWebViewController.h"

#include <QPointer>

#include <memory>

class QPrinter;

class TovnMyWebBrowserController : public TovnWebViewController
{
  public:
    explicit TovnMyWebBrowserController(QObject* AOwner);
    ~TovnMyWebBrowserController() override;
    std::string ClassName() const override { return "TovnMyWebBrowserController"; }
    static TovnWebViewController* Create(QObject* AOwner) { return new TovnMyWebBrowserController(AOwner); }

    // Null once the view was destroyed with its container.
    TMyWebBrowser* Browser() const { return m_browser.data(); }

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

    // The printer Print uses (its set-up is the user's; Print changes none of it).
    QPrinter& Printer();

  private:
    TMyWebBrowser& RequireBrowser() const;

    QPointer<TMyWebBrowser> m_browser;
    std::unique_ptr<QPrinter> m_printer;
    // Whether the view was to be visible while it had no container.
    bool m_visible = true;
};

extern const TovnWebViewControllerClass TovnMyWebBrowserControllerClass;
