#include "admin/NETHealthRules.h"

#include "Components/Nembra/NembraFileCache.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/FileUtils.h"
#include "platform/StringList.h"
#include "platform/Streams.h"

#include <zlib.h>

#include <cstdio>
#include <limits>

std::string BrandText(int32_t Brand)
{
    if (Brand == 0)
        return "Orvane Browser";
    if (Brand == 1)
        return "Tallowin";
    return "N/A";
}

std::string KernelVersion(const std::string& ProgramFolder)
{
    TStringList lines;
    try {
        lines.LoadFromFile(ProgramFolder + "version.txt");
    } catch (const Exception&) {
        return KernelVersionNotFound;
    }
    return Trim(lines.Values("version"));
}

std::string DownloadOptionName(int Option)
{
    switch (Option) {
    case 0:
        return "Automatic Version Checking (Default Option)";
    case 1:
        return "Always download from system server";
    case 2:
        return "Never download. Take from local cache";
    default:
        return "";
    }
}

std::string FileCRC32(const std::string& FileName)
{
    TFileStream stream(FileName, fmOpenRead | fmShareDenyNone);
    const int64_t size = stream.Size();
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0)
        stream.ReadBuffer(bytes.data(), size);
    // zlib takes at most uInt bytes a call: feed larger files in pieces.
    uLong crc = crc32(0L, Z_NULL, 0);
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t piece = std::min<size_t>(bytes.size() - done, std::numeric_limits<uInt>::max());
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + done), static_cast<uInt>(piece));
        done += piece;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(crc & 0xFFFFFFFFUL));
    return text;
}

TFileCells FileCells(const std::string& FileName)
{
    TDateTime date = 0;
    if (!FileExists(FileName) || !FileAge(FileName, date))
        return {"N/A", "N/A", "N/A"};
    return {DateTimeToStr(date), FormatFloat("#,##", static_cast<double>(FileSize(FileName))), "Double click"};
}

std::vector<TKernelItem> KernelItems(const std::string& ProgramFolder)
{
    std::vector<TKernelItem> items;
    for (const char* name : KernelFiles)
        items.push_back({name, FileCells(ProgramFolder + name)});
    return items;
}

std::vector<TResourceItem> ResourceItems(TNembraFileCache& Cache, const std::string& CacheFolder)
{
    TStringList names;
    Cache.GetList(&names);
    std::vector<TResourceItem> items;
    for (int i = 0; i < names.Count(); ++i) {
        const std::string name = names[i];
        if (Trim(name).empty())
            continue;
        TResourceItem item;
        item.Name = name;
        if (TResourceDescriptorRef entry = Cache.GetResourceDescriptor(name, false)) {
            item.FileName = entry->FileName;
            if (entry->Version > 0)
                item.Version = std::to_string(entry->Version);
        }
        item.Cells = item.FileName.empty() ? TFileCells{"N/A", "N/A", "N/A"} : FileCells(CacheFolder + item.FileName);
        items.push_back(std::move(item));
    }
    return items;
}

int64_t NetSpeed(int64_t Bytes, int64_t Milliseconds)
{
    if (Milliseconds <= 0)
        return 0;
    return Bytes * 1000 / Milliseconds;
}

void SetUpPing(TovnOndrelSystem& Ping)
{
    Ping.SetName("sysPing");
    Ping.SetConnectionName("MAIN");
    Ping.SetProcedureName("Ping");
    Ping.Params().CreateParam(ftBlob, "Data", ptInputOutput);
    Ping.Params().CreateParam(ftInteger, "DataSize", ptInput);
}

namespace {

int64_t TimedPing(TovnOndrelSystem& Ping, const std::string& Data, int32_t DataSize)
{
    Ping.Params().ParamByName("Data")->SetAsBlob(Data);
    Ping.Params().ParamByName("DataSize")->SetAsInteger(DataSize);
    Ping.Execute();
    return Ping.Profiling().Total;
}

} // namespace

TNetTimes RunNetworkTest(TovnOndrelSystem& Ping)
{
    TNetTimes times;
    times.Lag = TimedPing(Ping, "", 0);
    Log.Debug("Net health. Lag: %d", {times.Lag});
    times.Download = TimedPing(Ping, "", static_cast<int32_t>(NetTestBytes));
    Log.Debug("Net health. Read %d bytes: \"%d\"", {NetTestBytes, times.Download});
    // The upload sends back what the download brought.
    const std::string downloaded = Ping.Params().ParamByName("Data")->AsString();
    times.Upload = TimedPing(Ping, downloaded, 0);
    Log.Debug("Net health. Transfer %d bytes: \"%d\"", {NetTestBytes, times.Upload});
    return times;
}

std::vector<std::string> NetTestLines(const TNetTimes& Times, TDateTime Now, bool VNSActive)
{
    return {"",
            "<<<--- " + DateTimeToStr(Now) + " --->>>",
            "Network lag: " + FormatFloat("0", static_cast<double>(Times.Lag)) + " msec",
            "Upload speed: " + FormatFloat("#,##0", static_cast<double>(NetSpeed(NetTestBytes, Times.Upload))) +
                " bytes/sec",
            "Download speed: " + FormatFloat("#,##0", static_cast<double>(NetSpeed(NetTestBytes, Times.Download))) +
                " bytes/sec",
            std::string("VNS status: ") + (VNSActive ? "Active" : "Inactive")};
}

bool TNETHealthFill::TakeFill(TNETHealthPage Page)
{
    if (m_filled[Page])
        return false;
    m_filled[Page] = true;
    return true;
}
