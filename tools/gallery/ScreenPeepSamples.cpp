// The screen-peep dialog and the printing web view.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/web/ScreenPeep.h"
#include "Components/Controller/web/ovnWebBrowser.h"

#include <QLabel>

namespace {

QWidget* MakeScreenPeep(QWidget* parent)
{
    auto* peep = new TfrmScreenPeep(parent);
    peep->setWindowFlags(Qt::Widget);
    peep->Timer().SetEnabled(false);
    peep->lblUser()->setText("MANAGER");
    return peep;
}

QWidget* MakePrintingBrowser(QWidget* parent)
{
    auto* browser = new TovnWebBrowser(parent);
    browser->HTML().Add("<html><body><h2>Handover notes</h2><ul><li>Room 4: fluids every two hours</li>"
                        "<li>Room 7: family visit at 15:00</li></ul></body></html>");
    browser->NavigateHTML();
    return browser;
}

const TGalleryRegistration Peep{{"screen-peep-dialog", QSize(420, 200), MakeScreenPeep, nullptr}};
const TGalleryRegistration Printing{{"printing-web-browser", QSize(420, 200), MakePrintingBrowser, nullptr}};

} // namespace
