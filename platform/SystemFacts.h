#pragma once
// Facts about the machine and the process for error reports: the operating
// system (os-release and uname), the processor (/proc/cpuinfo), the memory
// (sysinfo) and the modules loaded, by load address. Each reads what it can
// and leaves a part it cannot read empty or 0.

#include <cstdint>
#include <string>
#include <vector>

struct TSystemFacts
{
    std::string Name;        // os-release PRETTY_NAME (else NAME, else the kernel's name)
    std::string Edition;     // the machine ("x86_64")
    int Major = 0;           // the kernel release's first two numbers
    int Minor = 0;
    unsigned Build = 0;      // its third number
    std::string ServicePack; // the kernel's version text
};
TSystemFacts ReadSystemFacts();

struct TProcessorFacts
{
    std::string Vendor;
    std::string Name;
    int MHz = 0;
    bool FDivBug = false;
    // The features present, as the report names them, in the report's order.
    std::vector<std::string> Features;
};
// From the text of /proc/cpuinfo (its first processor).
TProcessorFacts ParseCpuInfo(const std::string& Text);
TProcessorFacts ReadProcessorFacts();

struct TMemoryFacts
{
    uint64_t TotalMB = 0; // 1024 x 1024 bytes
    uint64_t FreeMB = 0;
};
TMemoryFacts ReadMemoryFacts();

struct TModuleFacts
{
    uintptr_t Address = 0; // load address
    std::string FileName;
};
// The process's modules sorted by load address (the program first when it
// has no name of its own: its file).
std::vector<TModuleFacts> LoadedModules();
