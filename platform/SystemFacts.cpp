#include "platform/SystemFacts.h"

#include <link.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string ReadText(const char* Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// "KEY=value" or KEY="value" of os-release.
std::string OsReleaseValue(const std::string& Text, const std::string& Key)
{
    std::istringstream lines(Text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(Key + "=", 0) != 0)
            continue;
        std::string value = Trimmed(line.substr(Key.size() + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

} // namespace

TSystemFacts ReadSystemFacts()
{
    TSystemFacts facts;
    std::string release = ReadText("/etc/os-release");
    if (release.empty())
        release = ReadText("/usr/lib/os-release");
    facts.Name = OsReleaseValue(release, "PRETTY_NAME");
    if (facts.Name.empty())
        facts.Name = OsReleaseValue(release, "NAME");
    utsname names{};
    if (uname(&names) == 0) {
        if (facts.Name.empty())
            facts.Name = names.sysname;
        facts.Edition = names.machine;
        facts.ServicePack = names.version;
        unsigned major = 0, minor = 0, build = 0;
        std::sscanf(names.release, "%u.%u.%u", &major, &minor, &build);
        facts.Major = static_cast<int>(major);
        facts.Minor = static_cast<int>(minor);
        facts.Build = build;
    }
    return facts;
}

TProcessorFacts ParseCpuInfo(const std::string& Text)
{
    TProcessorFacts facts;
    std::istringstream lines(Text);
    std::string line;
    std::string flags;
    bool seenProcessor = false;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = Trimmed(line.substr(0, colon));
        const std::string value = Trimmed(line.substr(colon + 1));
        if (key == "processor") {
            if (seenProcessor)
                break; // the first processor speaks for all
            seenProcessor = true;
        } else if (key == "vendor_id") {
            facts.Vendor = value;
        } else if (key == "model name") {
            facts.Name = value;
        } else if (key == "cpu MHz") {
            facts.MHz = static_cast<int>(std::strtod(value.c_str(), nullptr) + 0.5);
        } else if (key == "fdiv_bug") {
            facts.FDivBug = value == "yes";
        } else if (key == "flags") {
            flags = " " + value + " ";
        }
    }
    const std::pair<const char*, const char*> features[] = {
        {"mmxext", "MMXex"}, {"mmx", "MMX"},       {"sse", "SSE"},           {"sse2", "SSE2"}, {"pni", "SSE3"},
        {"ssse3", "SSSE3"},  {"sse4_1", "SSE41"},  {"sse4_2", "SSE42"},      {"sse4a", "SSE4A"}, {"sse5", "SSE5"},
        {"3dnowext", "3DNow!ex"}, {"3dnow", "3DNow!"}, {"lm", "64 bits"}, {"nx", "DEP"},
    };
    for (auto [flag, name] : features)
        if (flags.find(std::string(" ") + flag + " ") != std::string::npos)
            facts.Features.emplace_back(name);
    return facts;
}

TProcessorFacts ReadProcessorFacts()
{
    return ParseCpuInfo(ReadText("/proc/cpuinfo"));
}

TMemoryFacts ReadMemoryFacts()
{
    TMemoryFacts facts;
    struct sysinfo info{};
    if (sysinfo(&info) == 0) {
        const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
        facts.TotalMB = static_cast<uint64_t>(info.totalram) * unit / (1024 * 1024);
        facts.FreeMB = static_cast<uint64_t>(info.freeram) * unit / (1024 * 1024);
    }
    return facts;
}

std::vector<TModuleFacts> LoadedModules()
{
    std::vector<TModuleFacts> modules;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* list = static_cast<std::vector<TModuleFacts>*>(data);
            std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.empty()) {
                if (!list->empty())
                    return 0; // the vdso and other nameless pieces
                char path[PATH_MAX];
                const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
                name = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
            }
            list->push_back({static_cast<uintptr_t>(info->dlpi_addr), name});
            return 0;
        },
        &modules);
    std::sort(modules.begin(), modules.end(),
              [](const TModuleFacts& a, const TModuleFacts& b) { return a.Address < b.Address; });
    return modules;
}
