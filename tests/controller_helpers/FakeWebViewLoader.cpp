// A stand-in for the web view plugin, for the tests of the back-end choice:
// it answers the version in KLD_FAKE_WEBVIEW_VERSION (none: a failure code)
// and compares versions as the plugin does. Built once more without
// CompareBrowserVersions, for the missing entry point. Creating an
// environment fails: no browser is behind it.

#include "Components/Controller/web/WebViewPlugin.h"
#include "Components/Controller/web/WebViewVersion.h"

#include <cstdlib>
#include <cstring>

#define KLD_EXPORT extern "C" __attribute__((visibility("default")))

KLD_EXPORT HRESULT CreateCoreWebView2EnvironmentWithOptions(const char*, const char*, void*,
                                                            IWebViewEnvironmentCompleted*)
{
    return E_FAIL;
}

KLD_EXPORT HRESULT CreateCoreWebView2Environment(IWebViewEnvironmentCompleted*) { return E_FAIL; }

KLD_EXPORT HRESULT GetAvailableCoreWebView2BrowserVersionString(const char* BrowserFolder, char** VersionInfo)
{
    const char* version = std::getenv("KLD_FAKE_WEBVIEW_VERSION");
    if (version == nullptr || (BrowserFolder != nullptr && *BrowserFolder != 0))
        return E_WEBVIEW_NO_RUNTIME;
    *VersionInfo = strdup(version);
    return S_OK;
}

#ifndef KLD_FAKE_WITHOUT_COMPARE
KLD_EXPORT HRESULT CompareBrowserVersions(const char* Version1, const char* Version2, int* Result)
{
    return CompareDottedVersions(Version1, Version2, *Result) ? S_OK : E_WEBVIEW_BAD_VERSION;
}
#endif

KLD_EXPORT void WebView2LoaderFreeText(char* Text) { std::free(Text); }
