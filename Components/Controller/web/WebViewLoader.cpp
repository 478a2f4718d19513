// The loader routines of unit WebView.
#include "Components/Controller/web/WebView.h"

#include "platform/FileUtils.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace WebView {

std::string LibraryName = "libWebView2Loader.so";
HMODULE WebViewLibrary = nullptr;
TCreateCoreWebView2EnvironmentWithOptions CreateCoreWebView2EnvironmentWithOptions = nullptr;
TCreateCoreWebView2Environment CreateCoreWebView2Environment = nullptr;
TGetAvailableCoreWebView2BrowserVersionString GetAvailableCoreWebView2BrowserVersionString = nullptr;
TCompareBrowserVersions CompareBrowserVersions = nullptr;

namespace {

TWebView2LoaderFreeText FreeText = nullptr;
unsigned SavedMasks = 0;

void ClearEntryPoints()
{
    CreateCoreWebView2EnvironmentWithOptions = nullptr;
    CreateCoreWebView2Environment = nullptr;
    GetAvailableCoreWebView2BrowserVersionString = nullptr;
    CompareBrowserVersions = nullptr;
    FreeText = nullptr;
}

template <class T> bool Resolve(const char* name, T& entry, std::string& error)
{
    entry = reinterpret_cast<T>(GetProcAddress(WebViewLibrary, name));
    if (entry == nullptr)
        error = std::string(name) + ": " + GetLastLibraryError();
    return entry != nullptr;
}

constexpr unsigned AllMasks = 0x3F;

} // namespace

unsigned FloatingPointMasks()
{
#if defined(__x86_64__) || defined(__i386__)
    uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word & AllMasks;
#else
    return AllMasks;
#endif
}

void SetFloatingPointMasks(unsigned Masks)
{
    Masks &= AllMasks;
#if defined(__x86_64__) || defined(__i386__)
    uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    word = static_cast<uint16_t>((word & ~AllMasks) | Masks);
    asm volatile("fldcw %0" : : "m"(word));
    // Double arithmetic runs on SSE here: its six masks follow the x87 ones.
    _mm_setcsr((_mm_getcsr() & ~(AllMasks << 7)) | (Masks << 7));
#endif
}

std::string LibraryPath()
{
    if (LibraryName.find('/') != std::string::npos)
        return LibraryName;
    static const int anchor = 0;
    std::string module = GetModuleFileNameOfAddress(&anchor);
    if (module.empty())
        module = GetModuleFileName();
    return IncludeTrailingPathDelimiter(ExtractFilePath(module)) + LibraryName;
}

bool Loaded() { return WebViewLibrary != nullptr; }

void LoadLibrary()
{
    if (Loaded())
        return;
    const std::string path = LibraryPath();
    WebViewLibrary = ::LoadLibrary(path);
    if (WebViewLibrary == nullptr)
        throw EWebViewError(LibraryName + ": " + GetLastLibraryError());
    SavedMasks = FloatingPointMasks();
    SetFloatingPointMasks(AllMasks);
    std::string error;
    if (!Resolve("CreateCoreWebView2EnvironmentWithOptions", CreateCoreWebView2EnvironmentWithOptions, error) ||
        !Resolve("CreateCoreWebView2Environment", CreateCoreWebView2Environment, error) ||
        !Resolve("GetAvailableCoreWebView2BrowserVersionString", GetAvailableCoreWebView2BrowserVersionString,
                 error) ||
        !Resolve("CompareBrowserVersions", CompareBrowserVersions, error) ||
        !Resolve("WebView2LoaderFreeText", FreeText, error))
    {
        UnloadLibrary();
        throw EWebViewError(error);
    }
}

void UnloadLibrary()
{
    if (!Loaded())
        return;
    SetFloatingPointMasks(SavedMasks);
    ClearEntryPoints();
    FreeLibrary(WebViewLibrary);
    WebViewLibrary = nullptr;
}

std::string GetBrowserVersion(const std::string& BrowserFolder)
{
    std::string result;
    LoadLibrary();
    char* text = nullptr;
    if (!Succeeded(GetAvailableCoreWebView2BrowserVersionString(BrowserFolder.c_str(), &text)))
        return result;
    if (text != nullptr)
    {
        result = text;
        FreeText(text);
    }
    return result;
}

bool BrowserAvailable(const std::string& BrowserFolder)
{
    const std::string version = GetBrowserVersion(BrowserFolder);
    int comparison = 0;
    return Succeeded(CompareBrowserVersions(version.c_str(), "86.0.622.11", &comparison)) && comparison != -1;
}

} // namespace WebView
