#pragma once
// The ad panels: a controller per panel loads the advertising service's
// page, checks that it is a genuine ad (it carries the ad service key),
// shows the panel only then, and otherwise shows the built-in default ad
// for 20 s before asking again. Clicks never navigate a panel: they go to
// OnAdClick. Two back-ends, chosen once by InitBrowser through
// DefaultAdControllerClass: the light view here, Qt WebEngine in
// ovnEdgeAdController.
//
// The cycle (all on the main thread, driven by the controller's timer):
// Start arms the timer for 2 s; the tick loads GetAdUrl; a loaded page other
// than "about:blank" is checked 1 ms later; a valid ad shows the panel until
// Stop; an invalid one leads 10 ms later to "about:blank" and, once that
// has loaded, to the default ad, shown for 20 s, after which the service is
// asked again.
//
// Waits that serve the event loop (the light view's ready state, the
// WebEngine page check) may run Stop or even the controller's destruction;
// after each the controller checks that it still exists and is active, and
// does nothing more otherwise.

#include "Components/Controller/web/MyWebBrowser.h"
#include "platform/Timers.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class TCustomControl;
class TEventObject;

// The ad service key: sent with every request, found in every valid ad.
extern const char* const AdServiceKey; // "Kw3hv9Rm2pxT0qaZe"

class TovnCustomAdController
{
  public:
    explicit TovnCustomAdController(TCustomControl* AParent);
    virtual ~TovnCustomAdController();
    TovnCustomAdController(const TovnCustomAdController&) = delete;
    TovnCustomAdController& operator=(const TovnCustomAdController&) = delete;
    virtual std::string ClassName() const { return "TovnCustomAdController"; }

    virtual void Start();
    virtual void Stop();
    virtual void SetVisible(bool Value);
    virtual void ShowAd(const std::string& Url);
    virtual void DoOnAdClick(const std::string& Url);
    virtual void VerifyWebPageContent();
    virtual bool IsAdValid() { return true; }
    virtual std::string GetAdUrl();
    virtual std::string GetDefaultAdHtml();

    bool Active() const { return m_active; }
    void SetActive(bool Value);
    // The panel lies along the top or the bottom.
    bool IsHorz() const;
    bool Visible() const;
    TCustomControl* Panel() const { return m_panel; }
    TTimer& Timer() { return m_timer; }
    bool DefaultPending() const { return m_defaultPending; }
    bool VerifyPending() const { return m_verifyPending; }

    std::function<void(TovnCustomAdController* Sender, const std::string& Url)> OnAdClick;
    std::function<void(TovnCustomAdController* Sender, bool IsHorz, std::string& Url)> OnGetAdUrl;
    std::function<void(TovnCustomAdController* Sender, bool IsHorz, std::string& Html)> OnGetDefaultAdHtml;

  protected:
    // A back-end's page has loaded (see the cycle above).
    void PageLoaded(const std::string& CurrentAddress);
    // Puts the default ad's page into the view (Html is not empty).
    virtual void LoadDefaultAd(const std::string& Html) {}
    // A token that is null once the controller is gone, for the waits.
    std::weak_ptr<TovnCustomAdController*> AliveToken() const { return m_alive; }
    // After a wait: the controller still exists and is active.
    static bool StillRunning(const std::weak_ptr<TovnCustomAdController*>& Token);
    void ArmTimer(uint32_t Ms);

  private:
    void TimerTick();
    void ShowDefaultAd();

    TCustomControl* m_panel;
    TTimer m_timer;
    bool m_defaultPending = false;
    bool m_verifyPending = false;
    bool m_active = false;
    std::shared_ptr<TovnCustomAdController*> m_alive;
};

// The light view's ad panel: a click is its link's click, handed to
// DoOnAdClick through the document's click handler; links are never followed.
class TovnMyWebBrowserAdController : public TovnCustomAdController
{
  public:
    explicit TovnMyWebBrowserAdController(TCustomControl* AParent);
    ~TovnMyWebBrowserAdController() override;
    std::string ClassName() const override { return "TovnMyWebBrowserAdController"; }
    static TovnCustomAdController* Create(TCustomControl* AParent) { return new TovnMyWebBrowserAdController(AParent); }

    void Stop() override;
    void SetVisible(bool Value) override;
    void ShowAd(const std::string& Url) override;
    bool IsAdValid() override;
    TMyWebBrowser* Browser() const { return m_browser.data(); }

  protected:
    void LoadDefaultAd(const std::string& Html) override;

  private:
    void DocumentClick();
    QPointer<TMyWebBrowser> m_browser; // goes with the panel when the panel goes first
    std::shared_ptr<TEventObject> m_click;
};

// A class record of the ad controllers.
struct TovnAdControllerClass
{
    const char* ClassName;
    TovnCustomAdController* (*Create)(TCustomControl* AParent);
};

extern const TovnAdControllerClass TovnMyWebBrowserAdControllerClass;
// Unset (null) until InitBrowser runs.
extern const TovnAdControllerClass* DefaultAdControllerClass;
// An ad controller of DefaultAdControllerClass on the panel; creating one
// before InitBrowser is a programming error (EAssertionFailed).
std::unique_ptr<TovnCustomAdController> CreateAdController(TCustomControl* Panel);

// The default ad's page around a picture file: centred, a link to the
// product's web site opening a new window, the picture (the file's bytes as
// a data: address, so that both web views show it) without a border and
// with the site's name as its alternative text. Empty when the file cannot
// be read.
std::string DefaultAdPage(const std::string& PictureFile);
extern const char* const ProductWebSite;     // the link's address
extern const char* const ProductWebSiteName; // the picture's alternative text
