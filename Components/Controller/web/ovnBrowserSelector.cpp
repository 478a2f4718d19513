#include "Components/Controller/web/ovnBrowserSelector.h"

#include "Components/Controller/web/ovnAdController.h"
#include "Components/Controller/web/ovnEdgeAdController.h"
#include "Components/Controller/web/ovnEdgeController.h"
#include "Components/Controller/web/ovnMyWebBrowserController.h"
#include "base/KldLogFile.h"

void InitBrowser(bool ForceIE)
{
    DefaultAdControllerClass = &TovnMyWebBrowserAdControllerClass;
    DefaultWebViewControllerClass = &TovnMyWebBrowserControllerClass;
    if (ForceIE)
        return;
    bool available = false;
    try
    {
        available = TovnEdgeAdController::BrowserAvailable();
    }
    catch (const Exception& E)
    {
        Log.Error(E, "TovnEdgeAdController.BrowserAvailable");
        return;
    }
    if (!available)
        return;
    DefaultAdControllerClass = &TovnEdgeAdControllerClass;
    DefaultWebViewControllerClass = &TovnEdgeControllerClass;
}
