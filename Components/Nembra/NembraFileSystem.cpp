#include "Components/Nembra/NembraFileSystem.h"

#include "Components/Nembra/NembraLocalFileSystem.h"
#include "Components/Nembra/NembraRemoteFileSystem.h"

#include "platform/Streams.h"

#include <algorithm>
#include <mutex>
#include <vector>

const char* const SFileSystemNotSupported = "File system does not support the following path: %s";

namespace {

struct TRegistry
{
    std::mutex Lock;
    std::vector<TNembraFileSystemClassRef> Classes;
    TNembraFileSystemClassRef Default = nullptr;
    TNembraExtractZipProc ExtractZip;
};

// The kinds of this library register themselves on first use of the
// registry, in the order their units start: local, then remote.
TRegistry& Registry()
{
    static TRegistry registry{{}, {&TNembraLocalFileSystem::Class(), &TNembraRemoteFileSystem::Class()},
                              &TNembraLocalFileSystem::Class(), {}};
    return registry;
}

} // namespace

int TNembraFileSystem::FindFiles(const std::string& Mask, int64_t MinTimeStamp, int32_t FileAttributes,
                                 TFindFileOutputs OutputInfo, const TFindFileCallback& Callback, void* Data)
{
    int64_t maxTimeStamp = 0;
    return FindFiles(Mask, MinTimeStamp, maxTimeStamp, FileAttributes, OutputInfo, Callback, Data);
}

std::unique_ptr<TStream> TNembraFileSystem::GetFile(const std::string& FileName)
{
    int64_t timeStamp = 0;
    return GetFile(FileName, timeStamp);
}

void RegisterFileSystem(TNembraFileSystemClassRef Class)
{
    if (!Class)
        return;
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Classes.erase(std::remove(r.Classes.begin(), r.Classes.end(), Class), r.Classes.end());
    r.Classes.push_back(Class);
}

void UnRegisterFileSystem(TNembraFileSystemClassRef Class)
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Classes.erase(std::remove(r.Classes.begin(), r.Classes.end(), Class), r.Classes.end());
}

void SetDefaultFileSystem(TNembraFileSystemClassRef Class)
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Default = Class;
}

TNembraFileSystemClassRef DefaultFileSystem()
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.Default;
}

std::unique_ptr<TNembraFileSystem> CreateFileSystem(const std::string& URI)
{
    TNembraFileSystemClassRef chosen = nullptr;
    {
        TRegistry& r = Registry();
        std::lock_guard<std::mutex> guard(r.Lock);
        for (TNembraFileSystemClassRef c : r.Classes)
            if (c->Accept && c->Accept(URI)) {
                chosen = c;
                break;
            }
        if (!chosen)
            chosen = r.Default;
    }
    // Made outside the registry's lock: making a file system may take a while.
    if (!chosen || !chosen->Create)
        throw Exception(Format(SFileSystemNotSupported, URI));
    return chosen->Create(URI);
}

void ParseNembraURI(const std::string& URI, std::string& Scheme, std::string& Host, std::string& Path)
{
    std::string rest = URI;
    Scheme.clear();
    if (const size_t p = rest.find("://"); p != std::string::npos) {
        Scheme = rest.substr(0, p);
        rest.erase(0, p + 3);
    }
    if (const size_t p = rest.find('/'); p != std::string::npos) {
        Host = rest.substr(0, p);
        Path = rest.substr(p + 1);
    } else {
        Host = rest;
        Path.clear();
    }
}

void SetNembraExtractZipProc(TNembraExtractZipProc Proc)
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.ExtractZip = std::move(Proc);
}

void NembraExtractZip(const std::string& ZipFileName, const std::string& DestPath, const std::string& ExtractFileMask,
                      const std::string& ExcludeFileMask)
{
    TNembraExtractZipProc proc;
    {
        TRegistry& r = Registry();
        std::lock_guard<std::mutex> guard(r.Lock);
        proc = r.ExtractZip;
    }
    if (!proc)
        throw Exception("Zip archives cannot be extracted: no zip reader is installed");
    proc(ZipFileName, DestPath, ExtractFileMask, ExcludeFileMask);
}
