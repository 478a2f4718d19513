#include "Components/Controller/web/ovnEdgeAdController.h"

#include "Components/Nembra/NembraJSON.h"
#include "base/KldLogFile.h"

#include <QEventLoop>
#include <QTimer>

const TovnAdControllerClass TovnEdgeAdControllerClass = {"TovnEdgeAdController", &TovnEdgeAdController::Create};

TovnEdgeAdController::TovnEdgeAdController(TCustomControl* AParent)
    : TovnCustomAdController(AParent), m_view(new TWebView(AParent))
{
    m_view->SetCursor(crHandPoint);
    m_view->SetAlign(alClient);
    m_view->OnActive = [this](TObject*) {
        m_view->SetDevToolsEnabled(false);
        m_view->SetContextMenusEnabled(false);
        m_view->SetStatusBarEnabled(false);
        m_view->SetZoomControlEnabled(false);
    };
    m_view->OnNavigationCompleted = [this](TObject*, bool Success, TWebError, int64_t) {
        if (Success)
            PageLoaded(m_view->Uri());
    };
    m_view->OnNavigationStarting = [this](TObject*, const std::string& Uri, bool UserInitiated, bool,
                                          const THeaders&, int64_t, bool& Cancel) {
        if (!UserInitiated)
            return;
        Cancel = true;
        DoOnAdClick(Uri);
    };
    m_view->OnNewWindowRequested = [this](TObject*, const std::string& Uri, void*&, bool UserInitiated,
                                          bool& Handled) {
        Handled = true; // never a stray window
        if (UserInitiated)
            DoOnAdClick(Uri);
    };
}

TovnEdgeAdController::~TovnEdgeAdController()
{
    Timer().SetEnabled(false);
    delete m_view.data();
}

void TovnEdgeAdController::Stop()
{
    TovnCustomAdController::Stop();
    if (m_view.isNull())
        return;
    if (m_view->Active())
    {
        m_view->Stop();
        m_view->SetActive(false);
    }
    m_view->SetUri("about:blank");
}

void TovnEdgeAdController::SetVisible(bool Value)
{
    TovnCustomAdController::SetVisible(Value);
    if (!m_view.isNull())
        m_view->setVisible(Value);
}

void TovnEdgeAdController::ShowAd(const std::string& Url)
{
    Log.Debug("Ad navigating to: " + Url);
    if (m_view.isNull())
        return;
    m_view->SetUri(Url.empty() ? std::string("about:blank") : Url);
    if (!m_view->Active())
    {
        try
        {
            m_view->SetActive(true);
        }
        catch (const Exception& E)
        {
            Log.Error(E, ClassName());
        }
    }
}

bool TovnEdgeAdController::IsAdValid()
{
    if (m_view.isNull() || !m_view->Active())
        return false;
    struct TSlot
    {
        bool Done = false;
        std::string Text;
        QEventLoop* Loop = nullptr;
    };
    auto slot = std::make_shared<TSlot>();
    m_view->ExecuteScript("document.getElementById('ad').getAttribute('key-data')",
                          [slot](TWebView*, const std::string& Json) {
                              slot->Text = UnencodeJSONStr(Json);
                              slot->Done = true;
                              if (slot->Loop != nullptr)
                                  slot->Loop->quit();
                          });
    if (!slot->Done)
    {
        const auto token = AliveToken();
        QEventLoop loop;
        QTimer::singleShot(6000, &loop, &QEventLoop::quit);
        slot->Loop = &loop;
        loop.exec();
        slot->Loop = nullptr;
        if (!StillRunning(token))
            return false;
    }
    return slot->Text.find(AdServiceKey) != std::string::npos;
}

void TovnEdgeAdController::LoadDefaultAd(const std::string& Html)
{
    if (!m_view.isNull())
        m_view->ShowHtml(Html);
}
