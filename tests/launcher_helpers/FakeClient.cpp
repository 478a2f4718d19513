// A stand-in for the client that the update helper starts: it appends one
// line with its arguments (joined by " | ", "<none>" without any) to
// "client-runs.txt" in its own folder, then, like the client at its first
// show, deletes the update marker "$update$" there - unless a file
// "keep-marker" lies beside it (a client that never confirms).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path();
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? " | " : "") + std::string(argv[i]);
    std::ofstream(folder / "client-runs.txt", std::ios::app) << (line.empty() ? "<none>" : line) << "\n";
    std::error_code error;
    if (!fs::exists(folder / "keep-marker", error))
        fs::remove(folder / "$update$", error);
    return 0;
}
