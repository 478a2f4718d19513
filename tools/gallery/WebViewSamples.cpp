// Samples of the web views: the two ad panels of the main window showing a
// valid ad and the default ad, and a page on each back-end (the light view,
// and Qt WebEngine through its plugin when the plugin loads).

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/web/WebView.h"
#include "Components/Controller/web/ovnAdController.h"
#include "Components/Controller/web/ovnEdgeController.h"
#include "Components/Controller/web/ovnMyWebBrowserController.h"
#include "platform/Controls.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>

#include <memory>

static void InitAdPictures() { Q_INIT_RESOURCE(ControllerResources); }

namespace {

const char* const ValidAd =
    "<html><body style=\"margin:0;background:#fff8e7;font-family:sans-serif\">"
    "<div id=\"ad\" key-data=\"Kw3hv9Rm2pxT0qaZe\" style=\"padding:6px\">"
    "<a href=\"https://www.tallowin.example/offers/rostering\"><b>Rostering made easy</b></a>"
    "<br><span style=\"color:#555\">Plan every shift of every home in one place.</span></div></body></html>";

const char* const SamplePage =
    "<html><head><title>Shift handover</title></head><body style=\"font-family:sans-serif\">"
    "<h2>Shift handover</h2><p>Maple Court Residence, early shift.</p>"
    "<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\"><tr><th>Room</th><th>Resident</th><th>Note</th></tr>"
    "<tr><td>12</td><td>M. Hale</td><td>Physiotherapy at 10:30</td></tr>"
    "<tr><td>14</td><td>J. Ortiz</td><td>Family visit after lunch</td></tr></table>"
    "<p><a href=\"javascript:window.external.Open('handover', 3)\">Open the handover form</a></p></body></html>";

void WaitFor(const std::function<bool()>& done, int ms = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A picture of the program's resources as a file, as the resource cache
// hands it to the default ad.
std::string AdPictureFile(const char* name)
{
    InitAdPictures();
    const QString file = QDir::temp().filePath(QStringLiteral("gallery-%1").arg(name));
    QFile::remove(file);
    QFile::copy(QStringLiteral(":/res/%1").arg(name), file);
    return file.toStdString();
}

// A window body with the top and the right ad panel around an empty desktop.
struct TAdPanels : QWidget
{
    explicit TAdPanels(QWidget* parent) : QWidget(parent)
    {
        top = new TCustomControl(this);
        top->SetAlign(alTop);
        top->SetColor(clWhite);
        right = new TCustomControl(this);
        right->SetAlign(alRight);
        right->SetColor(clWhite);
        desktop = new TCustomControl(this);
        desktop->SetAlign(alClient);
        desktop->SetColor(TColor(0x808080));
        DefaultAdControllerClass = &TovnMyWebBrowserAdControllerClass;
        adTop = CreateAdController(top);
        adRight = CreateAdController(right);
    }
    // Shows a page in both panels the way the cycle does.
    void Show(const std::function<std::string(bool horizontal)>& page)
    {
        for (auto* ad : {adTop.get(), adRight.get()})
        {
            TMyWebBrowser& browser = *static_cast<TovnMyWebBrowserAdController*>(ad)->Browser();
            browser.Navigate("about:blank");
            WaitFor([&] { return browser.ReadyState() == READYSTATE_COMPLETE; });
            browser.LoadHtml(page(ad->IsHorz()));
            ad->SetVisible(true);
        }
    }
    TCustomControl* top;
    TCustomControl* right;
    TCustomControl* desktop;
    std::unique_ptr<TovnCustomAdController> adTop, adRight;
};

const TGalleryRegistration validAds{{"ad-panels-valid", QSize(900, 420),
                                     [](QWidget* parent) { return new TAdPanels(parent); },
                                     [](QWidget* control) {
                                         static_cast<TAdPanels*>(control)->Show([](bool) { return ValidAd; });
                                         return std::vector<std::pair<std::string, QImage>>{};
                                     }}};

const TGalleryRegistration defaultAds{
    {"ad-panels-default", QSize(900, 700), [](QWidget* parent) { return new TAdPanels(parent); },
     [](QWidget* control) {
         const std::string vertical = AdPictureFile("tlw-ad.png");
         const std::string horizontal = AdPictureFile("tlw-ad-h.png");
         static_cast<TAdPanels*>(control)->Show(
             [&](bool horz) { return DefaultAdPage(horz ? horizontal : vertical); });
         return std::vector<std::pair<std::string, QImage>>{};
     }}};

const TGalleryRegistration lightPage{{"web-page-light", QSize(520, 300),
                                      [](QWidget* parent) {
                                          auto* box = new QWidget(parent);
                                          auto* c = new TovnMyWebBrowserController(box);
                                          bool done = false;
                                          c->OnNavigationComplete = [&](TovnWebViewController*, bool) { done = true; };
                                          c->Navigate("about:blank");
                                          WaitFor([&] { return done; });
                                          c->OnNavigationComplete = nullptr;
                                          c->ShowHtml(SamplePage);
                                          return box;
                                      },
                                      nullptr}};

const TGalleryRegistration webEnginePage{
    {"web-page-webengine", QSize(520, 300),
     [](QWidget* parent) -> QWidget* {
         try
         {
             WebView::LoadLibrary();
         }
         catch (const Exception& e)
         {
             auto* label = new QLabel(QString::fromStdString("Qt WebEngine is not available: " + e.Message()), parent);
             label->setWordWrap(true);
             return label;
         }
         auto* box = new QWidget(parent);
         auto* c = new TovnEdgeController(box);
         bool done = false;
         c->OnNavigationComplete = [&done](TovnWebViewController*, bool) { done = true; };
         c->Navigate("about:blank");
         WaitFor([&] { return done; });
         done = false;
         c->ShowHtml(SamplePage);
         WaitFor([&] { return done; });
         c->OnNavigationComplete = nullptr;
         return box;
     },
     [](QWidget*) {
         WaitFor([] { return false; }, 700); // the page paints
         return std::vector<std::pair<std::string, QImage>>{};
     }}};

} // namespace
