#include "Components/Controller/update/ProgramRestore.h"

#include "Components/Controller/files/KldSciZipFile.h"
#include "Components/Controller/files/ovnUtils.h"
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

uint32_t RestoredFileMode(uint32_t ArchiveMode)
{
    // Read, write and execute for owner and group, read and execute for
    // others.
    return ArchiveMode & 0775;
}

namespace {

const char* const TempFileStem = "$temp$";
const char* const DefaultBackupArchive = "backup/ov4backup.zip";

// "$temp$" alone or followed by digits: the names the restore gives its
// temporary file.
bool IsRestoreTempName(const std::string& Name)
{
    const std::string stem = TempFileStem;
    if (Name.compare(0, stem.size(), stem) != 0)
        return false;
    for (size_t i = stem.size(); i < Name.size(); ++i)
        if (Name[i] < '0' || Name[i] > '9')
            return false;
    return true;
}

void DeleteRestoreTempFiles(const std::string& Folder)
{
    for (const std::string& name : FindFiles(Folder, std::string(TempFileStem) + "*", false))
        if (IsRestoreTempName(name))
            DeleteFile(Folder + name);
}

void WriteRestoreMarker(const std::string& Marker, const std::string& BackupArchive)
{
    try {
        TFileStream out(Marker, fmCreate);
        out.WriteBuffer(BackupArchive.data(), static_cast<int64_t>(BackupArchive.size()));
    } catch (const EStreamError& e) {
        throw EInOutError(e.Message());
    }
}

std::string ReadRestoreMarker(const std::string& Marker)
{
    std::string text;
    try {
        TFileStream in(Marker, fmOpenRead | fmShareDenyNone);
        // A marker is one path; anything longer is no marker of ours.
        const int64_t size = std::min<int64_t>(in.Size(), 4096);
        text.resize(static_cast<size_t>(size));
        text.resize(static_cast<size_t>(in.Read(text.data(), size)));
    } catch (const EStreamError&) {
        return {};
    }
    return Trim(text);
}

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
    const uint32_t mode = RestoredFileMode(info.ExternalAttributes >> 16);
    if (mode != 0 && ::chmod(TempFile.c_str(), mode) != 0)
        throw EInOutError(Format("Cannot set the permissions of \"%s\"", TempFile));
    if (!RenameFile(TempFile, ProgramPath + info.Name))
        throw EInOutError(Format("Cannot rename \"%s\" to \"%s\"", TempFile, ProgramPath + info.Name));
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
    const std::string backupPath = ExtractFilePath(BackupArchive);
    DeleteRestoreTempFiles(backupPath);
    const std::string tempFile = ovnMakeUniqueFileName(backupPath + TempFileStem);
    const std::string marker = ProgramPath + RestoreMarkerFileName;
    WriteRestoreMarker(marker, BackupArchive);

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
    // Every member had its turn: a failed one fails again on another try.
    if (!DeleteFile(marker) && FileExists(marker))
        throw EInOutError(Format("Cannot delete \"%s\"", marker));
    if (!failed.empty()) {
        std::string list;
        for (const std::string& name : failed)
            list += (list.empty() ? "" : ", ") + name;
        throw EInOutError("Some files were not restored: " + list);
    }
}

bool FinishInterruptedRestore(const std::string& ProgramPath)
{
    const std::string marker = ProgramPath + RestoreMarkerFileName;
    if (!FileExists(marker))
        return false;
    std::string archive = ReadRestoreMarker(marker);
    // A marker cut short by the kill names no file.
    if (archive.empty() || !FileExists(archive))
        archive = ProgramPath + DefaultBackupArchive;
    RestoreProgramFiles(archive, ProgramPath);
    return true;
}
