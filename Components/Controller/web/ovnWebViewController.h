#pragma once
// The one interface through which the system shows web pages:
// `TovnWebViewController`, with two back-ends (the light view of
// ovnMyWebBrowserController and the Qt WebEngine view of ovnEdgeController).
// Callers never name a back-end: they create controllers through the class
// record `DefaultWebViewControllerClass`, ad panels through
// `DefaultAdControllerClass` (ovnAdController); `InitBrowser`
// (ovnBrowserSelector) sets both once at start-up.
//
// Ownership follows the form model: a controller made on a form belongs to
// the form, one made on a control of a form belongs to that form too (its
// QObject parent), and the owner deletes it. The container (the widget the
// browser fills) is only watched: when it goes first, the container becomes
// null and the controller stays.

#include "platform/Variants.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class TovnWebViewController;

// A page's call of a bound name: the call's values in, the answer out.
using TBrowserMessageEvent = std::function<Variant(const std::vector<Variant>& Params)>;
using TNavigationCompleteEvent = std::function<void(TovnWebViewController* Sender, bool Success)>;

class TovnWebViewController : public QObject
{
  public:
    ~TovnWebViewController() override;
    virtual std::string ClassName() const { return "TovnWebViewController"; }

    // The owner of a controller made on `AOwner`: AOwner itself when it is
    // null or a form (a top-level widget), otherwise the form it lies on, or
    // the parent of an object that is no widget.
    static QObject* GetControlOwner(QObject* AOwner);

    QWidget* ContainerView() const { return m_container; }
    virtual void SetContainerView(QWidget* Value);

    virtual bool GetContextMenuEnabled() const { return false; }
    virtual bool GetVisible() const { return true; }
    virtual void SetContextMenuEnabled(bool Value) {}
    virtual void SetVisible(bool Value) {}
    bool ContextMenuEnabled() const { return GetContextMenuEnabled(); }
    bool Visible() const { return GetVisible(); }

    virtual void Navigate(const std::string& Url);
    virtual void ShowHtml(const std::string& Html);
    virtual void GoBack();
    virtual void GoForward();
    virtual std::string GetPageSource();
    virtual Variant InvokeScript(const std::string& Name, const std::vector<Variant>& Args);
    virtual void Bind(const std::string& Name, TBrowserMessageEvent Handler);
    virtual void Print(const std::string& Header, const std::string& Footer, bool Prompt);
    virtual std::string GetAttrValue(const std::string& ElementId, const std::string& Attr);
    virtual void SetAttrValue(const std::string& ElementId, const std::string& Attr, const Variant& Value);

    TNavigationCompleteEvent OnNavigationComplete;

  protected:
    // Takes the owner from GetControlOwner(AOwner). A back-end's constructor
    // makes its browser and then calls SetContainerView(InitialContainer()).
    // An AOwner that is not a widget raises EInvalidCast.
    explicit TovnWebViewController(QObject* AOwner);
    QWidget* InitialContainer() const { return m_initial; }
    void DoNavigationComplete(bool Success);

  private:
    QPointer<QWidget> m_container;
    QWidget* m_initial = nullptr;
    QMetaObject::Connection m_watch;
};

// A class record: what a class reference of the controllers offers.
struct TovnWebViewControllerClass
{
    const char* ClassName;
    TovnWebViewController* (*Create)(QObject* AOwner);
    std::string (*GetBrowserVersion)();
};

// The controller class every caller creates: the light view until
// InitBrowser picks another.
extern const TovnWebViewControllerClass* DefaultWebViewControllerClass;
