#include "platform/DynLibs.h"

#include "platform/FileUtils.h"

#include <algorithm>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

namespace {

thread_local std::string t_lastError;

std::string DlError(const std::string& fallback)
{
    const char* text = ::dlerror();
    return text ? std::string(text) : fallback;
}

} // namespace

HMODULE LoadLibrary(const std::string& absolutePath)
{
    if (absolutePath.empty() || absolutePath[0] != '/') {
        t_lastError = "Not an absolute library path: \"" + absolutePath + "\"";
        return nullptr;
    }
    ::dlerror();
    HMODULE module = ::dlopen(absolutePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        t_lastError = "Cannot load \"" + absolutePath + "\": " + DlError("unknown error");
        return nullptr;
    }
    t_lastError.clear();
    return module;
}

void* GetProcAddress(HMODULE module, const std::string& name)
{
    if (!module) {
        t_lastError = "No library to look up \"" + name + "\" in";
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(module, name.c_str());
    if (!address) {
        t_lastError = "Export \"" + name + "\" not found: " + DlError("null symbol");
        return nullptr;
    }
    t_lastError.clear();
    return address;
}

bool FreeLibrary(HMODULE module)
{
    if (!module) {
        t_lastError = "No library to free";
        return false;
    }
    ::dlerror();
    if (::dlclose(module) != 0) {
        t_lastError = DlError("dlclose failed");
        return false;
    }
    t_lastError.clear();
    return true;
}

std::string GetLastLibraryError()
{
    return t_lastError;
}

std::vector<std::string> GetLoadedModules()
{
    std::vector<std::string> modules;
    const std::string program = GetModuleFileName();
    if (!program.empty())
        modules.push_back(program);
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* list = static_cast<std::vector<std::string>*>(data);
            if (!info->dlpi_name || info->dlpi_name[0] != '/')
                return 0; // the program (empty name) or the vDSO
            struct stat st
            {
            };
            if (::stat(info->dlpi_name, &st) != 0 || !S_ISREG(st.st_mode))
                return 0;
            if (std::find(list->begin(), list->end(), info->dlpi_name) == list->end())
                list->push_back(info->dlpi_name);
            return 0;
        },
        &modules);
    return modules;
}
