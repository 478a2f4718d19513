#include "platform/DynLibs.h"

#include "platform/FileUtils.h"

#include <algorithm>
#include <dlfcn.h>
#include <link.h>
#include <climits>
#include <cstdlib>
#include <sys/auxv.h>
#include <sys/stat.h>

namespace {

thread_local std::string t_lastError;

std::string DlError(const std::string& fallback)
{
    const char* text = ::dlerror();
    return text ? std::string(text) : fallback;
}

// The kernel's virtual library has no file behind it.
bool IsVirtualSharedObject(const dl_phdr_info* info)
{
    const unsigned long vdso = ::getauxval(AT_SYSINFO_EHDR);
    if (vdso != 0 && info->dlpi_addr == vdso)
        return true;
    const std::string name = info->dlpi_name;
    return name.rfind("linux-vdso", 0) == 0 || name.rfind("linux-gate", 0) == 0;
}

// The full name of a regular file, or "" when the name is no such file.
std::string AbsoluteFileName(const char* name)
{
    char resolved[PATH_MAX];
    std::string path = name;
    if (path[0] != '/') {
        if (::realpath(name, resolved) == nullptr)
            return "";
        path = resolved;
    }
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "";
    return path;
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
            if (!info->dlpi_name || info->dlpi_name[0] == '\0')
                return 0; // the program itself, listed above
            if (IsVirtualSharedObject(info))
                return 0;
            // A library found through a relative search path is named
            // relative to the working folder at load time; it must be listed
            // (and so checked) like any other.
            const std::string path = AbsoluteFileName(info->dlpi_name);
            if (path.empty())
                return 0;
            if (std::find(list->begin(), list->end(), path) == list->end())
                list->push_back(path);
            return 0;
        },
        &modules);
    return modules;
}
