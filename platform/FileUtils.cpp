#include "platform/FileUtils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t EpochDifference = 11644473600LL;
// Days from 1899-12-30 to 1970-01-01.
constexpr double UnixDateDelta = 25569.0;

bool StatOf(const std::string& name, struct stat& st)
{
    return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

// Decodes one UTF-8 character; a byte that starts no valid sequence stands
// for itself, so damaged names still compare.
uint32_t NextCodePoint(const std::string& s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    auto cont = [&](std::size_t k) {
        return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    };
    if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
        uint32_t cp = ((b0 & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
        i += 2;
        return cp;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
        uint32_t cp = ((b0 & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                      (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
        i += 3;
        return cp;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
        uint32_t cp = ((b0 & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                      ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) |
                      (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
        i += 4;
        return cp;
    }
    ++i;
    return b0;
}

uint32_t FoldCase(uint32_t cp)
{
    if (cp >= 'a' && cp <= 'z')
        return cp - 32;
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)
        return cp - 32;
    if (cp == 0xFF)
        return 0x178;
    return cp;
}

std::vector<uint32_t> Folded(const std::string& s)
{
    std::vector<uint32_t> out;
    for (std::size_t i = 0; i < s.size();)
        out.push_back(FoldCase(NextCodePoint(s, i)));
    return out;
}

bool WildMatch(const std::vector<uint32_t>& name, const std::vector<uint32_t>& mask)
{
    // Greedy matching with back-tracking to the last '*': linear in practice
    // and never recursive, so a hostile mask cannot exhaust the stack.
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && mask[m] == name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else
            return false;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool CopyContent(const std::string& source, const std::string& dest, bool failIfExists)
{
    struct stat st
    {
    };
    if (!StatOf(source, st) || !S_ISREG(st.st_mode))
        return false;
    std::error_code ec;
    const auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
    if (!fs::copy_file(source, dest, options, ec) || ec)
        return false;
    // The copy keeps the source's last-change time, as the system's update
    // and cache code compare file dates.
    timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, dest.c_str(), times, 0);
    return true;
}

} // namespace

bool FileExists(const std::string& fileName)
{
    struct stat st
    {
    };
    return StatOf(fileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& dir)
{
    struct stat st
    {
    };
    return StatOf(dir, st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& dir)
{
    if (dir.empty())
        throw EOSError("Unable to create directory");
    if (DirectoryExists(dir))
        return true;
    std::error_code ec;
    fs::create_directories(dir, ec);
    return DirectoryExists(dir);
}

int64_t FileAgeFileTime(const std::string& fileName)
{
    struct stat st
    {
    };
    if (!StatOf(fileName, st))
        return -1;
    return (int64_t(st.st_mtim.tv_sec) + EpochDifference) * 10000000LL + int64_t(st.st_mtim.tv_nsec) / 100;
}

bool FileAge(const std::string& fileName, TDateTime& dateTime)
{
    struct stat st
    {
    };
    if (!StatOf(fileName, st))
        return false;
    const time_t seconds = st.st_mtim.tv_sec;
    tm local{};
    ::localtime_r(&seconds, &local);
    const double localSeconds = double(seconds) + double(local.tm_gmtoff) + double(st.st_mtim.tv_nsec) / 1e9;
    dateTime = localSeconds / 86400.0 + UnixDateDelta;
    return true;
}

int64_t FileSize(const std::string& fileName)
{
    struct stat st
    {
    };
    if (!StatOf(fileName, st))
        return -1;
    return int64_t(st.st_size);
}

bool RenameFile(const std::string& oldName, const std::string& newName)
{
    if (oldName.empty() || newName.empty())
        return false;
    if (::rename(oldName.c_str(), newName.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    // Another file system: copy beside the target first, then move it into
    // place, so that a failed copy never leaves a half target behind.
    const std::string partial = newName + ".partial";
    if (!CopyContent(oldName, partial, false)) {
        ::unlink(partial.c_str());
        return false;
    }
    if (::rename(partial.c_str(), newName.c_str()) != 0) {
        ::unlink(partial.c_str());
        return false;
    }
    ::unlink(oldName.c_str());
    return true;
}

bool CopyFile(const std::string& source, const std::string& dest, bool failIfExists)
{
    if (source.empty() || dest.empty())
        return false;
    if (failIfExists && fs::exists(fs::symlink_status(dest)))
        return false;
    return CopyContent(source, dest, failIfExists);
}

bool DeleteFile(const std::string& fileName)
{
    if (fileName.empty() || DirectoryExists(fileName))
        return false;
    return ::unlink(fileName.c_str()) == 0;
}

bool RemoveDir(const std::string& dir)
{
    return !dir.empty() && ::rmdir(dir.c_str()) == 0;
}

bool DeleteDirectoryTree(const std::string& dir)
{
    struct stat st
    {
    };
    if (dir.empty() || ::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    std::error_code ec;
    fs::remove_all(dir, ec);
    return !ec && !fs::exists(fs::symlink_status(dir));
}

bool MatchesMask(const std::string& name, const std::string& mask)
{
    const auto foldedName = Folded(name);
    const auto foldedMask = Folded(mask);
    if (WildMatch(foldedName, foldedMask))
        return true;
    // "name.*" also takes "name" itself: a name without extension has an
    // empty one.
    if (foldedMask.size() >= 2 && foldedMask[foldedMask.size() - 1] == '*' &&
        foldedMask[foldedMask.size() - 2] == '.' && name.find('.') == std::string::npos) {
        const std::vector<uint32_t> stem(foldedMask.begin(), foldedMask.end() - 2);
        return WildMatch(foldedName, stem);
    }
    return false;
}

std::vector<std::string> FindFiles(const std::string& dir, const std::string& mask, bool includeDirs)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return names;
    std::string folder = dir.empty() ? "." : dir;
    if (folder.back() != '/')
        folder += '/';
    while (dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const bool isDir = DirectoryExists(folder + name);
        if (isDir && !includeDirs)
            continue;
        if (MatchesMask(name, mask))
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string GetTempPath()
{
    const char* env = std::getenv("TMPDIR");
    std::string path = (env && *env && DirectoryExists(env)) ? env : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

std::string CreateUniqueTempFile(const std::string& dir, const std::string& prefix)
{
    std::string folder = dir.empty() ? GetTempPath() : dir;
    if (folder.back() != '/')
        folder += '/';
    std::string pattern = folder + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0)
        throw EOSError("Cannot create a temporary file in " + folder + ": " + std::strerror(errno));
    ::close(fd);
    return std::string(buffer.data());
}

std::string GetModuleFileName()
{
    // Taken once: after the program file has been replaced while it runs,
    // the system names it "<path> (deleted)", which the restart and the
    // settings file name must never use.
    static const std::string program = [] {
        std::error_code ec;
        const auto path = fs::read_symlink("/proc/self/exe", ec);
        return ec ? std::string() : path.string();
    }();
    return program;
}

namespace {

struct BaseSearch
{
    uintptr_t base = 0;
    bool isProgram = false;
    std::string name;
};

} // namespace

std::string GetModuleFileNameOfAddress(const void* address)
{
    Dl_info info{};
    if (!address || ::dladdr(address, &info) == 0 || !info.dli_fbase)
        return "";
    // The program itself has no file name in the loader's list; find out
    // whether the address lies in the first (program) module.
    BaseSearch search;
    search.base = reinterpret_cast<uintptr_t>(info.dli_fbase);
    ::dl_iterate_phdr(
        [](dl_phdr_info* phdr, size_t, void* data) {
            auto* s = static_cast<BaseSearch*>(data);
            uintptr_t lowest = UINTPTR_MAX;
            for (int i = 0; i < phdr->dlpi_phnum; ++i)
                if (phdr->dlpi_phdr[i].p_type == PT_LOAD)
                    lowest = std::min<uintptr_t>(lowest, phdr->dlpi_addr + phdr->dlpi_phdr[i].p_vaddr);
            if (lowest != s->base)
                return 0;
            s->isProgram = !phdr->dlpi_name || !*phdr->dlpi_name;
            s->name = s->isProgram ? "" : phdr->dlpi_name;
            return 1;
        },
        &search);
    if (search.isProgram)
        return GetModuleFileName();
    std::string name = !search.name.empty() ? search.name : (info.dli_fname ? info.dli_fname : "");
    char resolved[PATH_MAX];
    if (!name.empty() && ::realpath(name.c_str(), resolved))
        return resolved;
    return name;
}

std::string SafeJoinPath(const std::string& base, const std::string& relative)
{
    if (relative.find('\0') != std::string::npos)
        throw EUnsafePath("Path holds a NUL character");
    if (!relative.empty() && (relative[0] == '/' || relative[0] == '\\'))
        throw EUnsafePath("Absolute path not allowed: " + relative);
    if (relative.size() >= 2 && relative[1] == ':' && std::isalpha(static_cast<unsigned char>(relative[0])))
        throw EUnsafePath("Drive path not allowed: " + relative);
    std::string joined = base;
    if (!joined.empty() && joined.back() != '/')
        joined += '/';
    std::string part;
    bool first = true;
    auto flush = [&] {
        if (part == "..")
            throw EUnsafePath("Path leaves its folder: " + relative);
        if (!part.empty() && part != ".") {
            if (!first)
                joined += '/';
            joined += part;
            first = false;
        }
        part.clear();
    };
    for (char c : relative) {
        if (c == '/' || c == '\\')
            flush();
        else
            part += c;
    }
    flush();
    return joined;
}
