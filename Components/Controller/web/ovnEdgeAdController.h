#pragma once
// The ad panel over Qt WebEngine (TWebView). A page is valid when its
// element with the id "ad" carries the ad service key in its attribute
// "key-data". A user-initiated navigation in the panel is an ad click and
// goes no further; so is a user-initiated request for a new window (the
// default ad's link), which opens nothing.

#include "Components/Controller/web/WebView.h"
#include "Components/Controller/web/ovnAdController.h"

class TovnEdgeAdController : public TovnCustomAdController
{
  public:
    explicit TovnEdgeAdController(TCustomControl* AParent);
    ~TovnEdgeAdController() override;
    std::string ClassName() const override { return "TovnEdgeAdController"; }
    static TovnCustomAdController* Create(TCustomControl* AParent) { return new TovnEdgeAdController(AParent); }
    static bool BrowserAvailable() { return WebView::BrowserAvailable(""); }

    void Stop() override;
    void SetVisible(bool Value) override;
    void ShowAd(const std::string& Url) override;
    bool IsAdValid() override;
    TWebView* View() const { return m_view.data(); }

  protected:
    void LoadDefaultAd(const std::string& Html) override;

  private:
    QPointer<TWebView> m_view;
};

extern const TovnAdControllerClass TovnEdgeAdControllerClass;
