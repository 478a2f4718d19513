#include "platform/DynLibs.h"

#include "platform/FileUtils.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>
#include <zlib.h>

namespace {

std::string ExtractFileNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The zlib this program is linked with, by its full path.
std::string LoadedZlibPath()
{
    for (const std::string& name : GetLoadedModules())
        if (ExtractFileNameOf(name).rfind("libz.so", 0) == 0)
            return name;
    return "";
}

} // namespace

TEST(DynLibs, LoadsARealLibraryAndFindsItsExports)
{
    const std::string path = LoadedZlibPath();
    ASSERT_FALSE(path.empty()) << "the test program links zlib";
    HMODULE module = LoadLibrary(path);
    ASSERT_NE(module, nullptr) << GetLastLibraryError();
    using VersionFn = const char* (*)();
    auto version = reinterpret_cast<VersionFn>(GetProcAddress(module, "zlibVersion"));
    ASSERT_NE(version, nullptr) << GetLastLibraryError();
    EXPECT_STREQ(version(), zlibVersion());
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_NE(GetLastLibraryError().find("NoSuchExport"), std::string::npos);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetLastLibraryError(), "");
}

TEST(DynLibs, FailuresSayWhy)
{
    struct Case
    {
        const char* desc;
        std::string path;
        std::string inError;
    };
    const Case cases[] = {
        {"relative path refused", "libz.so.1", "Not an absolute library path"},
        {"empty path refused", "", "Not an absolute library path"},
        {"missing file", "/nonexistent/libnothing.so", "/nonexistent/libnothing.so"},
        {"not a library", "/etc/hostname", "/etc/hostname"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(LoadLibrary(c.path), nullptr);
        EXPECT_NE(GetLastLibraryError().find(c.inError), std::string::npos) << GetLastLibraryError();
    }
    EXPECT_EQ(GetProcAddress(nullptr, "x"), nullptr);
    EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(DynLibs, ModuleListStartsWithTheProgramAndHoldsOnlyFiles)
{
    const auto modules = GetLoadedModules();
    ASSERT_GE(modules.size(), 2u);
    EXPECT_EQ(modules[0], GetModuleFileName());
    for (const std::string& name : modules) {
        SCOPED_TRACE(name);
        EXPECT_EQ(name[0], '/');
        EXPECT_TRUE(FileExists(name));
        EXPECT_EQ(name.find("vdso"), std::string::npos);
        EXPECT_EQ(std::count(modules.begin(), modules.end(), name), 1);
    }
    EXPECT_FALSE(LoadedZlibPath().empty());
}

TEST(DynLibs, ModuleListHoldsLibrariesLoadedByARelativeName)
{
    // A library found through a relative search path ("./lib.so") must be
    // listed by its full name, so that the start-up check reaches it.
    TTempFolder folder;
    const std::string zlib = LoadedZlibPath();
    ASSERT_FALSE(zlib.empty());
    ASSERT_TRUE(CopyFile(zlib, folder / "libkldrelative.so", false));

    char previous[PATH_MAX];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(folder.Path().c_str()), 0);
    void* handle = ::dlopen("./libkldrelative.so", RTLD_NOW | RTLD_LOCAL);
    const std::string loadError = handle ? "" : ::dlerror();
    const auto modules = GetLoadedModules();
    ASSERT_EQ(::chdir(previous), 0);
    ASSERT_NE(handle, nullptr) << loadError;

    char resolved[PATH_MAX];
    ASSERT_NE(::realpath((folder / "libkldrelative.so").c_str(), resolved), nullptr);
    EXPECT_NE(std::find(modules.begin(), modules.end(), std::string(resolved)), modules.end());
    ::dlclose(handle);
}
