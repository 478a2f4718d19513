#pragma once
// For tests of whole windows that are not about web views: the web view
// plugin is the tests' stand-in answering that no browser is installed, so
// the main window's back-end choice takes the light view without a log line
// (the real plugin is not beside the test programs, and its absence is a
// logged error). The plugin is unloaded and its name restored afterwards.

#include "Components/Controller/web/WebView.h"
#include "support/BuiltFile.h"

#include <cstdlib>
#include <string>

class TNoWebRuntime
{
  public:
    TNoWebRuntime() : m_name(WebView::LibraryName)
    {
        WebView::UnloadLibrary();
        unsetenv("KLD_FAKE_WEBVIEW_VERSION");
        WebView::LibraryName = BuiltFile(KLD_FAKE_WEBVIEW);
    }
    ~TNoWebRuntime()
    {
        WebView::UnloadLibrary();
        WebView::LibraryName = m_name;
    }
    TNoWebRuntime(const TNoWebRuntime&) = delete;
    TNoWebRuntime& operator=(const TNoWebRuntime&) = delete;

  private:
    std::string m_name;
};
