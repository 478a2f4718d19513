// The restore of the program folder from an arbitrary backup archive: it either
// restores or raises, and whatever it writes lands as plain files directly
// in the program folder - never beside it, never in a folder of its own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "Components/Controller/update/ProgramRestore.h"

namespace
{

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "swaplet-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 0;
    const fs::path root(pattern);
    const fs::path program = root / "program";
    fs::create_directories(program / "backup");
    const fs::path archive = program / "backup" / "ov4backup.zip";
    std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    try {
        RestoreProgramFiles(archive.string(), program.string() + "/");
    } catch (const std::exception&) {
    }
    // Only "program" beside nothing; in it only files and "backup".
    for (const fs::directory_entry& e : fs::directory_iterator(root))
        Check(e.path() == program);
    for (const fs::directory_entry& e : fs::directory_iterator(program))
        Check(e.path().filename() == "backup" || (e.is_regular_file() && !e.is_symlink()));
    for (const fs::directory_entry& e : fs::directory_iterator(program / "backup"))
        Check(e.path().filename() == "ov4backup.zip");
    fs::remove_all(root);
    return 0;
}
