#include "Components/Controller/files/ovnUtils.h"

#include "platform/FileUtils.h"
#include "platform/Streams.h"
#include "platform/StringList.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#ifndef KLD_PRODUCT_VERSION
#define KLD_PRODUCT_VERSION "4.0.0.0"
#endif

const char* const ovnCertificateWord = "OVNCL";
const char* const ovnCertificateHeader = "ORVANE CERTIFICATE NAMES.";

namespace {

std::mutex s_pathLock;
std::string s_dataPath; // chosen or set; '' until first asked

// Same file: both exist and share device and inode.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return a == b;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool CanWriteFolder(const std::string& dir)
{
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

// What is wrong with an existing folder as a home for settings and logs
// ('' when nothing): it must be a folder (not a link to one) of this user
// that no one else may write, or another local user could plant files or
// links in it.
std::string PrivateFolderProblem(const std::string& dir)
{
    struct stat st
    {
    };
    const std::string path = ExcludeTrailingPathDelimiter(dir);
    if (::lstat(path.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISLNK(st.st_mode))
        return "it is a symbolic link";
    if (!S_ISDIR(st.st_mode))
        return "it is not a folder";
    if (st.st_uid != ::geteuid())
        return "it belongs to another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "others may write to it";
    return std::string();
}

// The user's home: $HOME, else the password database. Never a shared folder.
std::string UserHomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    throw EInOutError("No home folder is known for user " + IntToStr(int64_t(::geteuid())) +
                      ": settings and logs cannot be kept");
}

std::string UserConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/')
        base = xdg;
    else
        base = UserHomeFolder() + "/.config";
    return IncludeTrailingPathDelimiter(base) + "Tallowin/";
}

struct TOwnModule
{
    const char* FileName;
    const char* InternalName;
    const char* Description;
};

constexpr TOwnModule OwnModules[] = {
    {"Tallowin", "Tallowin", "Tallowin client"},
    {"libMirabo.so", "Mirabo", "Tallowin controller library"},
    {"Swaplet", "Swaplet", "Tallowin update helper"},
};

} // namespace

// ---------------------------------------------------------------------------
// TovnCriticalSection

TovnCriticalSection::TovnCriticalSection(const std::string& Name) : m_name(Name) {}

void TovnCriticalSection::Acquire()
{
    if (m_timeOut <= 0) {
        Enter();
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    while (!TryEnter()) {
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        if (waited > m_timeOut)
            throw EovnCriticalSection("Lock \"" + m_name + "\" timed out: " + IntToStr(m_timeOut) + " ms");
        ovnSleep(10);
    }
}

// ---------------------------------------------------------------------------
// Compression

void ovnCompressorInit() {}
void ovnCompressorDone() {}

void ovnCompress(TMemoryStream& Source, TMemoryStream& Dest)
{
    Source.SetPosition(0);
    const auto size = static_cast<uLong>(Source.Size());
    if (size > 2048) {
        uLongf packedSize = compressBound(size);
        std::vector<Bytef> packed(packedSize);
        if (compress2(packed.data(), &packedSize, Source.Memory(), size, Z_DEFAULT_COMPRESSION) != Z_OK)
            throw EovnCompress("Compression failed");
        WriteUInt32(Dest, ovnZlibMarker);
        Dest.WriteBuffer(packed.data(), static_cast<int64_t>(packedSize));
    } else {
        WriteUInt32(Dest, ovnRawMarker);
        if (size > 0)
            Dest.WriteBuffer(Source.Memory(), static_cast<int64_t>(size));
    }
}

namespace {

// Inflates at most `limit` bytes; `exact` requires exactly that many.
void Decompress(TMemoryStream& Source, TMemoryStream& Dest, int64_t limit, bool exact)
{
    Source.SetPosition(0);
    const int64_t size = Source.Size();
    if (size < 4)
        throw EovnCompress("Compressed stream is too short: " + IntToStr(size) + " bytes");
    const uint32_t marker = ReadUInt32(Source);
    const uint8_t* rest = Source.Memory() + 4;
    const int64_t restSize = size - 4;
    std::vector<uint8_t> out;
    if (marker == ovnZlibMarker) {
        z_stream z{};
        if (inflateInit(&z) != Z_OK)
            throw EovnCompress("Decompression failed");
        z.next_in = const_cast<Bytef*>(rest);
        z.avail_in = static_cast<uInt>(restSize);
        uint8_t chunk[8192];
        int rc = Z_OK;
        while (rc == Z_OK) {
            z.next_out = chunk;
            z.avail_out = sizeof chunk;
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc == Z_OK || rc == Z_STREAM_END)
                out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
            if (int64_t(out.size()) > limit) {
                inflateEnd(&z);
                throw EovnCompress("Decompressed data exceed " + IntToStr(limit) + " bytes");
            }
            if (rc == Z_BUF_ERROR && z.avail_in == 0)
                break; // input ended before the stream did
        }
        inflateEnd(&z);
        // Partial output of a damaged or cut stream is never handed on.
        if (rc != Z_STREAM_END)
            throw EovnCompress("Compressed stream is damaged or incomplete");
    } else {
        if (restSize > limit)
            throw EovnCompress("Decompressed data exceed " + IntToStr(limit) + " bytes");
        out.assign(rest, rest + restSize);
    }
    if (exact && int64_t(out.size()) != limit)
        throw EovnCompress("Decompressed data are " + IntToStr(int64_t(out.size())) + " bytes, expected " +
                           IntToStr(limit));
    if (!out.empty())
        Dest.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
    Dest.SetPosition(0);
}

} // namespace

void ovnDecompress(TMemoryStream& Source, TMemoryStream& Dest)
{
    Decompress(Source, Dest, ovnMaxDecompressedSize, false);
}

void ovnDecompress(TMemoryStream& Source, TMemoryStream& Dest, int64_t ExpectedSize)
{
    if (ExpectedSize < 0)
        throw EovnCompress("Invalid expected size " + IntToStr(ExpectedSize));
    Decompress(Source, Dest, ExpectedSize, true);
}

// ---------------------------------------------------------------------------
// Libraries, paths and files

void ovnSleep(int32_t Milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0, Milliseconds)));
}

HMODULE ovnLoadLibrary(const std::string& FileName)
{
    return LoadLibrary(FileName);
}

void* ovnGetProcAddress(HMODULE Module, const char* ProcName)
{
    return Module && ProcName ? GetProcAddress(Module, ProcName) : nullptr;
}

void ovnFreeLibrary(HMODULE Module)
{
    if (Module)
        FreeLibrary(Module);
}

std::string ovnFixPath(const std::string& Path)
{
    const std::string s = Trim(Path);
    return s.empty() ? s : IncludeTrailingPathDelimiter(s);
}

std::string ovnGetTempPath()
{
    static const std::string path = ovnFixPath(GetTempPath());
    return path;
}

std::string ovnGetProgramPath()
{
    return IncludeTrailingPathDelimiter(ExtractFilePath(GetModuleFileName()));
}

std::string ovnGetDataPath()
{
    std::lock_guard guard(s_pathLock);
    if (s_dataPath.empty())
        s_dataPath = ovnChooseDataPath(ovnGetProgramPath());
    return s_dataPath;
}

std::string ovnChooseDataPath(const std::string& ProgramPath)
{
    const std::string path = ovnFixPath(ProgramPath);
    // A program folder that others may write too is no place for settings.
    return !path.empty() && CanWriteFolder(path) && PrivateFolderProblem(path).empty() ? path
                                                                                        : UserConfigFolder();
}

void ovnSetDataPath(const std::string& Path)
{
    std::lock_guard guard(s_pathLock);
    s_dataPath = ovnFixPath(Path);
}

std::string ovnMakeUniqueFileName(const std::string& FileName)
{
    if (!FileExists(FileName) && !DirectoryExists(FileName))
        return FileName;
    const std::string ext = ExtractFileExt(FileName);
    const std::string stem = FileName.substr(0, FileName.size() - ext.size());
    for (int i = 1;; ++i) {
        std::string candidate = stem + IntToStr(i) + ext;
        if (!FileExists(candidate) && !DirectoryExists(candidate))
            return candidate;
    }
}

namespace {

// The file that is to take Dest's place must be there (and readable, when
// it is to be copied) before Dest goes: otherwise the existing file would be
// lost with nothing put in its place (a program file among them, when an
// update is restored).
void CheckReplacingFile(const std::string& Source, const std::string& Dest, bool Read)
{
    if (!FileExists(Source))
        throw EInOutError("Cannot replace \"" + Dest + "\": file not found: \"" + Source + "\"");
    if (Read && ::access(Source.c_str(), R_OK) != 0)
        throw EInOutError("Cannot replace \"" + Dest + "\": cannot read \"" + Source + "\": " +
                          std::strerror(errno));
}

} // namespace

void ovnDeleteFile(const std::string& FileName)
{
    if (!FileExists(FileName))
        return;
    const std::string unique = ovnMakeUniqueFileName(FileName);
    // Renamed first so that the name is free at once even when the file
    // itself cannot go yet.
    if (RenameFile(FileName, unique))
        DeleteFile(unique);
    else
        DeleteFile(FileName);
}

void ovnRenameDeleteFile(const std::string& Source, const std::string& Dest)
{
    // Renaming a file onto itself must not delete it first.
    if (SameFile(Source, Dest))
        return;
    CheckReplacingFile(Source, Dest, false);
    ovnDeleteFile(Dest);
    if (!RenameFile(Source, Dest))
        throw EInOutError("Cannot rename \"" + Source + "\" to \"" + Dest + "\"");
}

void ovnCopyDeleteFile(const std::string& Source, const std::string& Dest)
{
    if (SameFile(Source, Dest))
        return;
    CheckReplacingFile(Source, Dest, true);
    ovnDeleteFile(Dest);
    ovnCopyFile(Source, Dest, true);
}

std::string ovnMakeUniqueDir(const std::string& Dir)
{
    std::string candidate = Dir;
    for (int i = 1; DirectoryExists(candidate); ++i)
        candidate = Dir + IntToStr(i);
    return ovnFixPath(candidate);
}

std::string ovnOS()
{
#if defined(__linux__) && defined(__x86_64__)
    return "L64";
#elif defined(__linux__) && defined(__aarch64__)
    return "LA64";
#else
#error "Name the platform tag of this build"
#endif
}

TovnVersionInfo ovnVersionInfo(const std::string& FileName)
{
    TovnVersionInfo info;
    FileAge(FileName, info.FileDate);
    const std::string bare = ExtractFileName(FileName);
    for (const TOwnModule& m : OwnModules) {
        if (bare != m.FileName)
            continue;
        info.CompanyName = "Orvane";
        info.FileDescription = m.Description;
        info.FileVersion = KLD_PRODUCT_VERSION;
        info.InternalName = m.InternalName;
        info.LegalCopyright = "Copyright (C) Orvane";
        info.OriginalFilename = m.FileName;
        info.ProductName = "Tallowin";
        info.ProductVersion = KLD_PRODUCT_VERSION;
    }
    return info;
}

void ovnGetCertificateNames(const std::string& FileName, TStrings* Names)
{
    if (!Names)
        return;
    Names->Clear();
    if (!FileExists(FileName))
        throw EInOutError("Certificate file not found");
    TMemoryStream file;
    file.LoadFromFile(FileName);
    const uint8_t* p = file.Memory();
    const int64_t size = file.Size();
    const auto shortString = [](const uint8_t* rec) {
        return std::string(reinterpret_cast<const char*>(rec + 1), rec[0]);
    };
    const size_t wordLen = std::strlen(ovnCertificateWord);
    const size_t headerLen = std::strlen(ovnCertificateHeader);
    if (size < ovnCertificateRecordSize || p[0] != wordLen || shortString(p) != ovnCertificateWord ||
        p[528] != '-' || p[592] != headerLen || shortString(p + 592) != ovnCertificateHeader)
        throw EInOutError("Certificate file is corrupted");
    // A cut last record is damage, not a shorter name.
    if (size % ovnCertificateRecordSize != 0)
        throw EInOutError("Certificate file is corrupted");
    for (int64_t at = ovnCertificateRecordSize; at < size; at += ovnCertificateRecordSize)
        Names->Add(shortString(p + at));
}

bool ovnGetFilesList(const std::string& Mask, TStrings* List, int32_t Attributes)
{
    if (!List)
        return false;
    std::string dir = ExtractFilePath(Mask);
    if (dir.empty())
        dir = "./";
    for (const std::string& name : FindFiles(dir, ExtractFileName(Mask), (Attributes & faDirectory) != 0))
        List->Add(name);
    return true;
}

bool ovnCopyFile(const std::string& Source, const std::string& Dest, bool Overwrite)
{
    if (!Overwrite && FileExists(Dest))
        return true;
    // Creating Dest would empty the very file that is to be read.
    if (FileExists(Source) && SameFile(Source, Dest))
        return true;
    try {
        TFileStream in(Source, fmOpenRead | fmShareDenyWrite);
        TFileStream out(Dest, fmCreate);
        if (in.Size() > 0)
            out.CopyFrom(in, 0);
    } catch (const EStreamError& e) {
        throw EInOutError(e.Message());
    }
    return true;
}

bool ovnCopyDirectory(const std::string& Source, const std::string& Dest, bool Overwrite)
{
    const std::string src = ovnFixPath(Source);
    const std::string dst = ovnFixPath(Dest);
    for (const std::string& name : FindFiles(src, "*", false)) {
        try {
            if (!ovnCopyFile(src + name, dst + name, Overwrite))
                return false;
        } catch (const Exception&) {
            return false;
        }
    }
    return true;
}

void ovnCreateFile(const std::string& FileName)
{
    try {
        TFileStream file(FileName, fmCreate);
    } catch (const EStreamError& e) {
        throw EInOutError(e.Message());
    }
}

bool ovnFileExists(const std::string& FileName)
{
    return FileExists(FileName);
}

bool ovnDirectoryExists(const std::string& Dir)
{
    return DirectoryExists(Dir);
}

bool ovnMakePath(const std::string& Path)
{
    if (Path.empty())
        throw EInOutError("Invalid path spec");
    if (DirectoryExists(Path))
        return true;
    const std::string dir = ExcludeTrailingPathDelimiter(Path);
    if (dir.empty())
        return true; // the root
    const std::string parent = ExtractFileDir(dir);
    if (parent == dir)
        return true;
    if (!parent.empty() && parent != dir && !DirectoryExists(parent) && !ovnMakePath(parent))
        return false;
    return ::mkdir(dir.c_str(), 0777) == 0 || DirectoryExists(dir);
}

void ovnMakePrivateFolder(const std::string& Path, const std::string& Purpose)
{
    const std::string dir = ExcludeTrailingPathDelimiter(Path);
    if (dir.empty())
        throw EInOutError("Invalid path spec");
    const std::string parent = ExtractFileDir(dir);
    if (!parent.empty() && parent != dir && !DirectoryExists(parent))
        ovnMakePrivateFolder(parent, Purpose);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw EInOutError("Cannot create folder " + dir + ": " + std::strerror(errno));
    if (const std::string problem = PrivateFolderProblem(dir); !problem.empty())
        throw EInOutError("Folder " + dir + " cannot hold " + Purpose + ": " + problem);
}

bool ovnDeleteDirectory(const std::string& Dir)
{
    try {
        const std::string dir = ovnFixPath(Dir);
        if (dir.empty() || !DirectoryExists(dir))
            return false;
        for (const std::string& name : FindFiles(dir, "*", false))
            if (!DeleteFile(dir + name))
                return false;
        return RemoveDir(ExcludeTrailingPathDelimiter(dir));
    } catch (...) {
        return false;
    }
}

void ovnGrantExecute(const std::string& FileName, bool Grant) {}

// ---------------------------------------------------------------------------
// Process

uint32_t ovnGetProcessAffinity()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 0;
    uint32_t mask = 0;
    for (int cpu = 0; cpu < 32; ++cpu)
        if (CPU_ISSET(cpu, &set))
            mask |= uint32_t(1) << cpu;
    return mask;
}

uint8_t ovnCPUPercent(uint64_t Delta100ns, int Processors, int Seconds)
{
    if (Processors <= 0 || Seconds <= 0)
        return 0;
    const double percent = double(Delta100ns) / (double(Processors) * Seconds * 10000000.0) * 100.0;
    // The default rounding mode rounds half to even.
    const double rounded = std::nearbyint(percent);
    return static_cast<uint8_t>(std::clamp(rounded, 0.0, 255.0));
}

void ovnProcessCPUUsage(uint8_t& KernelPercent, uint8_t& UserPercent, uint8_t Seconds)
{
    KernelPercent = 0;
    UserPercent = 0;
    const int seconds = Seconds == 0 ? 1 : Seconds;
    const int processors = std::popcount(ovnGetProcessAffinity());
    const auto times = [](uint64_t& kernel, uint64_t& user) {
        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        const auto ticks = [](const timeval& tv) {
            return uint64_t(tv.tv_sec) * 10000000u + uint64_t(tv.tv_usec) * 10u;
        };
        kernel = ticks(ru.ru_stime);
        user = ticks(ru.ru_utime);
    };
    uint64_t k0, u0, k1, u1;
    times(k0, u0);
    ovnSleep(seconds * 1000);
    times(k1, u1);
    KernelPercent = ovnCPUPercent(k1 - k0, processors, seconds);
    UserPercent = ovnCPUPercent(u1 - u0, processors, seconds);
}

bool ovnIsBadReadPtr(const void* P, uint32_t Size)
{
    if (Size == 0)
        return false;
    if (!P)
        return true;
    // The kernel reports EFAULT instead of faulting when it cannot read the
    // range it is asked to write to a pipe.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return true;
    bool bad = false;
    const auto* p = static_cast<const uint8_t*>(P);
    uint32_t done = 0;
    while (done < Size && !bad) {
        const uint32_t chunk = std::min<uint32_t>(Size - done, 4096);
        const ssize_t n = ::write(fds[1], p + done, chunk);
        if (n < 0 && errno == EAGAIN) {
            char sink[4096];
            while (::read(fds[0], sink, sizeof sink) > 0) {
            }
            continue;
        }
        if (n <= 0)
            bad = true;
        else
            done += static_cast<uint32_t>(n);
    }
    ::close(fds[0]);
    ::close(fds[1]);
    return bad;
}

uint32_t ovnSetProcessAffinity(uint32_t Mask)
{
    const long configured = sysconf(_SC_NPROCESSORS_CONF);
    uint32_t systemMask = 0;
    for (long cpu = 0; cpu < std::min<long>(configured, 32); ++cpu)
        systemMask |= uint32_t(1) << cpu;
    const uint32_t wanted = Mask & systemMask;
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0; cpu < 32; ++cpu)
        if (wanted & (uint32_t(1) << cpu))
            CPU_SET(cpu, &set);
    // An empty set is refused by the system; the affinity then stays.
    sched_setaffinity(0, sizeof set, &set);
    return ovnGetProcessAffinity();
}

std::string ovnLJustify(const std::string& S, int32_t Width)
{
    std::string r = S;
    if (static_cast<int32_t>(r.size()) < Width)
        r.append(static_cast<size_t>(Width) - r.size(), ' ');
    return r;
}

std::string ovnRJustify(const std::string& S, int32_t Width)
{
    if (static_cast<int32_t>(S.size()) >= Width)
        return S;
    return std::string(static_cast<size_t>(Width) - S.size(), ' ') + S;
}

std::string ovnGetComputerName()
{
    char name[1024] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}
