#include "platform/StackTrace.h"

#include "platform/Threads.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace {

std::string Hex(uintptr_t Value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(Value));
    return buffer;
}

std::string ShortHex(uint64_t Value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(Value));
    return buffer;
}

std::string Demangled(const char* Name)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> plain(abi::__cxa_demangle(Name, nullptr, nullptr, &status), std::free);
    return status == 0 && plain ? std::string(plain.get()) : std::string(Name);
}

// --- Modules replaced while the program runs

// A module file replaced while the program runs (an update does that) is
// listed as "<path> (deleted)", and libdw would read only its loaded image
// from memory, which holds no names. The replaced file itself stays
// reachable: the program's own through /proc/self/exe, any module's through
// /proc/self/map_files where the system allows it.
int OpenReplacedModule(std::string_view Name)
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self);
    if (length > 0 && std::string_view(self, static_cast<size_t>(length)) == Name)
        return ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        // "start-end perms offset dev inode   path": the path is the rest.
        const size_t at = line.find('/');
        if (at == std::string::npos || std::string_view(line).substr(at) != Name)
            continue;
        const std::string range = line.substr(0, line.find(' '));
        return ::open(("/proc/self/map_files/" + range).c_str(), O_RDONLY | O_CLOEXEC);
    }
    return -1;
}

int FindModuleElf(Dwfl_Module* Module, void** UserData, const char* Name, Dwarf_Addr Base, char** FileName,
                  Elf** ElfFile)
{
    constexpr std::string_view deleted = " (deleted)";
    const std::string_view name = Name ? Name : "";
    if (name.starts_with('/') && name.ends_with(deleted)) {
        const int fd = OpenReplacedModule(name);
        if (fd >= 0)
            return fd;
    }
    return dwfl_linux_proc_find_elf(Module, UserData, Name, Base, FileName, ElfFile);
}

// --- Named threads

std::mutex& ThreadsMutex()
{
    static std::mutex m;
    return m;
}

std::vector<TNamedThread>& ThreadList()
{
    static std::vector<TNamedThread> list;
    return list;
}

// --- Other threads' stacks

constexpr int kMaxSignalFrames = 64;

struct TSignalSlot
{
    std::atomic<uint32_t> Target{0};
    std::atomic<bool> Done{true};
    void* Frames[kMaxSignalFrames];
    std::atomic<int> Count{0};
};

TSignalSlot g_slot;
std::mutex g_captureMutex;

int StackSignal()
{
    return SIGRTMIN + 3;
}

void OnStackSignal(int)
{
    // Only the thread asked for answers; backtrace was loaded beforehand.
    if (g_slot.Target.load() != GetCurrentThreadId() || g_slot.Done.load())
        return;
    g_slot.Count.store(backtrace(g_slot.Frames, kMaxSignalFrames));
    g_slot.Done.store(true);
}

void InstallStackSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The first backtrace loads the unwinder, which a signal handler must not do.
        void* warm[2];
        backtrace(warm, 2);
        struct sigaction action{};
        action.sa_handler = &OnStackSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(StackSignal(), &action, nullptr);
    });
}

} // namespace

TStackFrames CaptureStack(int Skip, int MaxFrames)
{
    std::vector<void*> frames(static_cast<size_t>(std::max(0, MaxFrames + Skip + 1)));
    const int count = backtrace(frames.data(), static_cast<int>(frames.size()));
    // The first frame is this function itself.
    const int first = std::min(count, Skip + 1);
    return TStackFrames(frames.begin() + first, frames.begin() + count);
}

std::vector<std::string> DescribeStack(const TStackFrames& Frames)
{
    std::vector<std::string> lines;
    static const Dwfl_Callbacks callbacks = {FindModuleElf, dwfl_standard_find_debuginfo, nullptr, nullptr};
    std::unique_ptr<Dwfl, void (*)(Dwfl*)> dwfl(dwfl_begin(&callbacks), dwfl_end);
    bool known = false;
    if (dwfl) {
        dwfl_report_begin(dwfl.get());
        known = dwfl_linux_proc_report(dwfl.get(), getpid()) == 0;
        dwfl_report_end(dwfl.get(), nullptr, nullptr);
    }
    for (size_t i = 0; i < Frames.size(); ++i) {
        const auto address = reinterpret_cast<uintptr_t>(Frames[i]);
        std::string line = "(" + Hex(address) + ")";
        // A return address points after the call; the call is one byte back.
        const Dwarf_Addr lookup = i == 0 || address == 0 ? address : address - 1;
        Dwfl_Module* module = known ? dwfl_addrmodule(dwfl.get(), lookup) : nullptr;
        if (module) {
            GElf_Sym symbol;
            GElf_Off offset = 0;
            const char* name = dwfl_module_addrinfo(module, lookup, &offset, &symbol, nullptr, nullptr, nullptr);
            if (name)
                line += " " + Demangled(name) + " + 0x" + ShortHex(offset);
            else if (const char* moduleName = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
                line += std::string(" ") + moduleName;
            if (Dwfl_Line* source = dwfl_module_getsrc(module, lookup)) {
                int number = 0;
                if (const char* file = dwfl_lineinfo(source, nullptr, &number, nullptr, nullptr, nullptr))
                    line += " [" + std::string(file) + ":" + std::to_string(number) + "]";
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void RegisterNamedThread(uint32_t Id, const std::string& Name)
{
    InstallStackSignal();
    std::lock_guard<std::mutex> lock(ThreadsMutex());
    auto& list = ThreadList();
    auto it = std::find_if(list.begin(), list.end(), [Id](const TNamedThread& t) { return t.Id == Id; });
    if (it != list.end())
        it->Name = Name;
    else
        list.push_back({Id, Name});
}

void UnregisterNamedThread(uint32_t Id)
{
    std::lock_guard<std::mutex> lock(ThreadsMutex());
    auto& list = ThreadList();
    list.erase(std::remove_if(list.begin(), list.end(), [Id](const TNamedThread& t) { return t.Id == Id; }),
               list.end());
}

std::vector<TNamedThread> NamedThreads()
{
    std::lock_guard<std::mutex> lock(ThreadsMutex());
    return ThreadList();
}

std::string CurrentThreadName()
{
    const uint32_t id = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(ThreadsMutex());
    for (const TNamedThread& t : ThreadList())
        if (t.Id == id)
            return t.Name;
    return {};
}

bool CaptureThreadStack(uint32_t Id, TStackFrames& Frames, std::chrono::milliseconds Timeout)
{
    Frames.clear();
    if (Id == GetCurrentThreadId()) {
        Frames = CaptureStack(1);
        return true;
    }
    InstallStackSignal();
    std::lock_guard<std::mutex> lock(g_captureMutex);
    // A thread that missed an earlier deadline may still be writing.
    if (!g_slot.Done.load() && g_slot.Target.load() != 0)
        return false;
    g_slot.Count.store(0);
    g_slot.Target.store(Id);
    g_slot.Done.store(false);
    if (::syscall(SYS_tgkill, getpid(), static_cast<pid_t>(Id), StackSignal()) != 0) {
        g_slot.Done.store(true);
        g_slot.Target.store(0);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + Timeout;
    while (!g_slot.Done.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!g_slot.Done.load())
        return false; // left out; the slot stays taken until it answers
    Frames.assign(g_slot.Frames, g_slot.Frames + g_slot.Count.load());
    g_slot.Target.store(0);
    return true;
}
