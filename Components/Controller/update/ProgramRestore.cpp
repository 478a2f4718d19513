#include "Components/Controller/update/ProgramRestore.h"

#include "Components/Controller/KldSciZipFile.h"
#include "Components/Controller/ovnUtils.h"
#include "platform/FileUtils.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <sys/stat.h>
#include <vector>

bool IsBareMemberName(const std::string& Name)
{
    if (Name.empty() || Name == "." || Name == "..")
        return false;
    return Name.find('/') == std::string::npos && Name.find('\\') == std::string::npos;
}

namespace {

void RestoreMember(TKldZipFile& Zip, int Index, const std::string& TempFile, const std::string& ProgramPath)
{
    const TFileInfo& info = Zip.GetFileInfo(Index);
    // The raw name too: the reader's table form drops a leading delimiter,
    // so "/etc/x" would otherwise pass as "etc\x" - and "x" must stay "x".
    if (info.IsFolder() || !IsBareMemberName(info.Name) || !IsBareMemberName(info.ZipName))
        throw EInOutError(Format("Unsafe member name: \"%s\"", info.ZipName));
    {
        TFileStream out(TempFile, fmCreate);
        Zip.ReadFileStream(Index, out);
    }
    const uint32_t mode = (info.ExternalAttributes >> 16) & 07777;
    if (mode != 0 && ::chmod(TempFile.c_str(), mode) != 0)
        throw EInOutError(Format("Cannot set the permissions of \"%s\"", TempFile));
    ovnRenameDeleteFile(TempFile, ProgramPath + info.Name);
}

} // namespace

void RestoreProgramFiles(const std::string& BackupArchive, const std::string& ProgramPath,
                         const TRestoreProgress& Progress)
{
    TKldZipFile zip;
    zip.SetMaxMemorySize(std::numeric_limits<int64_t>::max());
    zip.OpenZipFile(BackupArchive);
    const int count = zip.GetFileCount();
    if (Progress)
        Progress(0, count, "Restore Files");
    const std::string tempFile = ovnMakeUniqueFileName(ExtractFilePath(BackupArchive) + "$temp$");

    // Archive order; the reader keeps its table sorted by name.
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return zip.GetFileInfo(a).LocalHeaderOffset < zip.GetFileInfo(b).LocalHeaderOffset;
    });

    std::vector<std::string> failed;
    int position = 0;
    for (int index : order) {
        const std::string name = zip.GetFileInfo(index).ZipName;
        if (Progress)
            Progress(++position, count, Format("Currently restoring: \"%s\".", name));
        try {
            RestoreMember(zip, index, tempFile, ProgramPath);
        } catch (const std::exception&) {
            failed.push_back(name);
        }
        // Only this member's data: a large archive must not pile up in memory.
        zip.ResetCachedData();
    }
    if (FileExists(tempFile))
        DeleteFile(tempFile);
    zip.Close(false);
    if (!failed.empty()) {
        std::string list;
        for (const std::string& name : failed)
            list += (list.empty() ? "" : ", ") + name;
        throw EInOutError("Some files were not restored: " + list);
    }
}
