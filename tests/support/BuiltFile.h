#pragma once
// Programs and libraries of the build that a test starts or copies. CMake
// names each one to the test program as a path relative to the program's own
// folder (kld_define_built_file), so that no object depends on the folder the
// tree was cloned to and the compiler cache serves a fresh clone; the path is
// made whole here, from where the running program is.

#include <filesystem>
#include <string>

inline std::string BuiltFile(const char* relativeToProgram)
{
    const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return (folder / relativeToProgram).lexically_normal().string();
}
