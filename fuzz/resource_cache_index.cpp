// Feeds arbitrary bytes to the resource cache as its ".cache" index: opening
// reads it, saving writes it back, and opening again must give the same
// entries. No file name read may leave the cache folder, and nothing may
// fail but a write error of the folder itself.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Components/Nembra/NembraFileCache.h"
#include "platform/FileUtils.h"
#include "platform/StringList.h"

namespace {

const std::string& Folder()
{
    static const std::string folder = [] {
        std::string pattern = GetTempPath() + "fuzz-cache-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (!made)
            std::abort();
        return std::string(made) + "/";
    }();
    return folder;
}

// name -> file name and version, of the entries with a known version.
std::string Snapshot(TNembraFileCache& cache)
{
    TStringList names;
    cache.GetList(&names);
    std::string out;
    for (int i = 0; i < names.Count(); ++i) {
        const auto* entry = static_cast<const TResourceDescriptor*>(names.Objects(i));
        try {
            CheckCacheName(entry->FileName);
        } catch (const EUnsafePath&) {
            __builtin_trap();
        }
        if (entry->Version >= 0 && entry->FileName.find_first_of("\r\n") == std::string::npos &&
            names[i].find_first_of("\r\n") == std::string::npos)
            out += names[i] + '\0' + entry->FileName + '\0' + std::to_string(entry->Version) + '\n';
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream index(Folder() + ".cache", std::ios::binary | std::ios::trunc);
        index.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TNembraFileCache cache;
    cache.SetCacheDir(Folder());
    cache.SetActive(true);
    const std::string first = Snapshot(cache);
    cache.Save();
    cache.SetActive(false);
    cache.SetActive(true);
    if (Snapshot(cache) != first)
        __builtin_trap();
    return 0;
}
