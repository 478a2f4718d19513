#include "Components/Controller/ovnBrowserSelector.h"

#include "Components/Controller/ovnAdController.h"
#include "Components/Controller/ovnEdgeAdController.h"
#include "Components/Controller/ovnEdgeController.h"
#include "Components/Controller/ovnMyWebBrowserController.h"
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
