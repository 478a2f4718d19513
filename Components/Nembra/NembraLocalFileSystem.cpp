#include "Components/Nembra/NembraLocalFileSystem.h"

#include "Components/Nembra/NembraLib.h"
#include "base/KldLogFile.h"
#include "platform/FileReplaceStream.h"
#include "platform/IniFiles.h"
#include "platform/Streams.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

const char* const SInvalidPath = "Invalid path or path not specified";
const char* const SFileNameNotSpecified = "File name not specified";
const char* const SFileNotFound = "File not found: \"%s";
const char* const SDirectoryNotFound = "Directory not found: \"%s";
const char* const SFileAlreadyExists = "File already exists: \"%s\"";
const char* const SUnableToDeleteUnempty = "Unabled to delete unemtpy directory: \"%s\"";
const char* const SUnableToDeleteDirectory = "Unable to delete directory: \"%s\". File system error: %d";
const char* const SUnableToDeleteFile = "Unable to delete file: \"%s\". File system error: %d";
const char* const SUnableToCopyFile = "Unable to copy file: \"%s\" to \"%s\". File system error: %d";
const char* const SUnableToMoveFile = "Unable to move file: \"%s\" to \"%s\". File system error: %d";

namespace {

constexpr const char* kFilePrefix = "file://";
constexpr const char* kDescriptionSection = "descriptions";
// Seconds from 1601-01-01 to 1970-01-01, and 100-ns ticks per second.
constexpr int64_t kEpochDifference = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;
// A file that exists may be busy for a moment (another writer): so many tries.
constexpr int kPutAttempts = 10;
constexpr auto kPutPause = std::chrono::milliseconds(100);

int64_t FileTimeOf(const struct stat& st)
{
    return (int64_t(st.st_mtim.tv_sec) + kEpochDifference) * kTicksPerSecond + int64_t(st.st_mtim.tv_nsec) / 100;
}

// Folders are faDirectory, other entries faArchive; faReadOnly when the
// owner may not write.
int32_t AttributesOf(const struct stat& st)
{
    int32_t attr = S_ISDIR(st.st_mode) ? faDirectory : faArchive;
    if ((st.st_mode & S_IWUSR) == 0)
        attr |= faReadOnly;
    return attr;
}

std::string Normalized(const std::string& Name)
{
    std::string s = Name;
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

int ErrorCode(int Error)
{
    return Error != 0 ? Error : EIO;
}

} // namespace

TNembraLocalFileSystem::TNembraLocalFileSystem(const std::string& URI)
{
    if (Trim(URI).empty())
        throw Exception(SInvalidPath);
    const std::string prefix = kFilePrefix;
    m_root = SameText(std::string_view(URI).substr(0, prefix.size()), prefix) ? URI.substr(prefix.size()) : URI;
    m_root = IncludeTrailingPathDelimiter(m_root);
}

TNembraLocalFileSystem::~TNembraLocalFileSystem() = default;

bool TNembraLocalFileSystem::Accept(const std::string& URI)
{
    const std::string prefix = kFilePrefix;
    return SameText(std::string_view(URI).substr(0, prefix.size()), prefix);
}

const TNembraFileSystemClass& TNembraLocalFileSystem::Class()
{
    static const TNembraFileSystemClass c{
        "TNembraLocalFileSystem", [](const std::string& URI) { return Accept(URI); },
        [](const std::string& URI) -> std::unique_ptr<TNembraFileSystem> {
            return std::make_unique<TNembraLocalFileSystem>(URI);
        }};
    return c;
}

void TNembraLocalFileSystem::SetDescriptionFileName(const std::string& Value)
{
    TCriticalSectionGuard guard(m_descriptionLock);
    m_descriptionFileName = Value;
    m_descriptionFile.reset();
}

std::string TNembraLocalFileSystem::FullPath(const std::string& Name) const
{
    return SafeJoinPath(m_root, Name);
}

// ---------------------------------------------------------------------------
// Listing and reading

int TNembraLocalFileSystem::FindFiles(const std::string& Mask, int64_t MinTimeStamp, int64_t& MaxTimeStamp,
                                      int32_t FileAttributes, TFindFileOutputs OutputInfo,
                                      const TFindFileCallback& Callback, void* Data)
{
    const std::string mask = Normalized(Mask);
    const std::string relativeFolder = ExtractFilePath(mask);
    const std::string folder = IncludeTrailingPathDelimiter(FullPath(relativeFolder));
    const int32_t wanted = FileAttributes <= 0 ? faAnyFile : FileAttributes;
    int count = 0;
    int64_t maxTimeStamp = 0;
    for (const std::string& name : ::FindFiles(folder, ExtractFileName(mask), true)) {
        if (name.empty() || name[0] == '.')
            continue;
        ++count;
        const std::string description =
            OutputInfo.Contains(ffoDescription) ? GetDescription(relativeFolder + name) : std::string();
        struct stat st
        {
        };
        if (::stat((folder + name).c_str(), &st) != 0)
            continue;
        const int64_t timeStamp = FileTimeOf(st);
        const int32_t attributes = AttributesOf(st);
        if ((attributes & wanted) == 0)
            continue;
        if (Callback && timeStamp > MinTimeStamp)
            Callback(this, name, description, attributes, S_ISDIR(st.st_mode) ? 0 : int64_t(st.st_size), timeStamp,
                     Data);
        maxTimeStamp = std::max(maxTimeStamp, timeStamp);
    }
    MaxTimeStamp = maxTimeStamp;
    return count;
}

std::unique_ptr<TStream> TNembraLocalFileSystem::GetFile(const std::string& FileName, int64_t& TimeStamp)
{
    if (Trim(FileName).empty())
        throw Exception(SFileNameNotSpecified);
    const std::string path = FullPath(FileName);
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        Log.Warning(Format(SFileNotFound, path), ClassName());
        throw Exception(Format(SFileNotFound, FileName));
    }
    const int64_t fileTimeStamp = FileTimeOf(st);
    if (fileTimeStamp == TimeStamp)
        return nullptr;
    auto stream = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyNone);
    TimeStamp = fileTimeStamp;
    return stream;
}

// ---------------------------------------------------------------------------
// Writing

void TNembraLocalFileSystem::PutFile(const std::string& FileName, const std::string& Description, int64_t TimeStamp,
                                     TStream& Stream)
{
    if (Trim(FileName).empty())
        throw Exception(SFileNameNotSpecified);
    const std::string path = FullPath(FileName);
    ForceDirectories(ExtractFilePath(path));
    const int attempts = FileExists(path) ? kPutAttempts : 1;
    std::vector<char> buffer(1 << 16);
    for (int attempt = 1;; ++attempt) {
        try {
            TFileReplaceStream out(path);
            Stream.SetPosition(0);
            for (int64_t n; (n = Stream.Read(buffer.data(), int64_t(buffer.size()))) > 0;)
                out.Write(buffer.data(), n);
            out.Commit();
            break;
        } catch (const Exception&) {
            if (attempt >= attempts)
                throw;
            std::this_thread::sleep_for(kPutPause);
        }
    }
    if (TimeStamp > 0) {
        const int64_t seconds = TimeStamp / kTicksPerSecond - kEpochDifference;
        const timespec written{static_cast<time_t>(seconds), static_cast<long>((TimeStamp % kTicksPerSecond) * 100)};
        const timespec times[2] = {{0, UTIME_OMIT}, written};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
    SetDescription(FileName, Description);
}

void TNembraLocalFileSystem::Delete(const std::string& FileName)
{
    if (Trim(FileName).empty())
        throw Exception(SFileNameNotSpecified);
    const std::string path = FullPath(FileName);
    if (DirectoryExists(path)) {
        int64_t maxTimeStamp = 0;
        if (FindFiles(Normalized(FileName) + "/*.*", 0, maxTimeStamp, 0, {}, nullptr, nullptr) != 0) {
            Log.Warning(Format(SUnableToDeleteUnempty, path), ClassName());
            throw Exception(Format(SUnableToDeleteUnempty, FileName));
        }
        // The descriptions of files that are gone would keep the folder.
        {
            TCriticalSectionGuard guard(m_descriptionLock);
            m_descriptionFile.reset();
            ::unlink((IncludeTrailingPathDelimiter(path) + m_descriptionFileName).c_str());
        }
        if (::rmdir(path.c_str()) != 0) {
            const int error = ErrorCode(errno);
            Log.Warning(Format(SUnableToDeleteDirectory, path, error), ClassName());
            throw Exception(Format(SUnableToDeleteDirectory, FileName, error));
        }
    } else if (FileExists(path)) {
        if (::unlink(path.c_str()) != 0) {
            const int error = ErrorCode(errno);
            Log.Warning(Format(SUnableToDeleteFile, path, error), ClassName());
            throw Exception(Format(SUnableToDeleteFile, FileName, error));
        }
    } else {
        Log.Warning(Format(SFileNotFound, path), ClassName());
        return;
    }
    SetDescription(FileName, "");
}

void TNembraLocalFileSystem::CopyFile(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite)
{
    CopyOrMove(FileName, NewFileName, AllowOverwrite, false);
}

void TNembraLocalFileSystem::Rename(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite)
{
    CopyOrMove(FileName, NewFileName, AllowOverwrite, true);
}

void TNembraLocalFileSystem::CopyOrMove(const std::string& FileName, const std::string& NewFileName,
                                        bool AllowOverwrite, bool Move)
{
    const std::string source = FullPath(FileName);
    const std::string dest = FullPath(NewFileName);
    if (!FileExists(source) && !DirectoryExists(source)) {
        Log.Error(Format(SDirectoryNotFound, source), ClassName());
        throw Exception(Format(SDirectoryNotFound, FileName));
    }
    if (const std::string folder = ExtractFilePath(dest); !folder.empty() && !DirectoryExists(folder))
        ForceDirectories(folder);
    if (!AllowOverwrite && (FileExists(dest) || DirectoryExists(dest))) {
        Log.Error(Format(SFileAlreadyExists, dest), ClassName());
        throw Exception(Format(SFileAlreadyExists, NewFileName));
    }
    errno = 0;
    bool done;
    if (Move)
        done = ::RenameFile(source, dest);
    else
        done = !DirectoryExists(source) && ::CopyFile(source, dest, false);
    if (!done) {
        const int error = ErrorCode(errno != 0 ? errno : (DirectoryExists(source) ? EISDIR : 0));
        const char* text = Move ? SUnableToMoveFile : SUnableToCopyFile;
        Log.Error(Format(text, source, dest, error), ClassName());
        throw Exception(Format(text, FileName, NewFileName, error));
    }
    const std::string description = GetDescription(FileName);
    if (!Trim(description).empty()) {
        SetDescription(NewFileName, description);
        if (Move)
            SetDescription(FileName, "");
    }
}

void TNembraLocalFileSystem::Extract(const std::string& ZipFileName, const std::string& DestPath,
                                     const std::string& ExtractFileMask, const std::string& ExcludeFileMask)
{
    NembraExtractZip(FullPath(ZipFileName), FullPath(DestPath), ExtractFileMask, ExcludeFileMask);
}

void TNembraLocalFileSystem::CreateDirectory(const std::string& Path)
{
    const std::string path = FullPath(Path);
    if (!ForceDirectories(path)) {
        Log.Error(Format("Unable to create directory: \"%s\"", path), ClassName());
        throw Exception(Format("Unable to create directory: \"%s\"", Path));
    }
}

// ---------------------------------------------------------------------------
// Descriptions

TIniFile& TNembraLocalFileSystem::DescriptionFile(const std::string& Path)
{
    const std::string fileName = ExtractFilePath(Path) + m_descriptionFileName;
    if (!m_descriptionFile || m_descriptionFile->FileName() != fileName)
        m_descriptionFile = std::make_unique<TIniFile>(fileName);
    return *m_descriptionFile;
}

std::string TNembraLocalFileSystem::GetDescription(const std::string& FileName)
{
    const std::string path = FullPath(FileName);
    TCriticalSectionGuard guard(m_descriptionLock);
    if (!FileExists(ExtractFilePath(path) + m_descriptionFileName))
        return {};
    return HTTPDecode(DescriptionFile(path).ReadString(kDescriptionSection, ExtractFileName(path), ""));
}

void TNembraLocalFileSystem::SetDescription(const std::string& FileName, const std::string& Description)
{
    const std::string path = FullPath(FileName);
    TCriticalSectionGuard guard(m_descriptionLock);
    const bool exists = FileExists(ExtractFilePath(path) + m_descriptionFileName);
    if (Trim(Description).empty()) {
        if (exists)
            DescriptionFile(path).DeleteKey(kDescriptionSection, ExtractFileName(path));
        return;
    }
    DescriptionFile(path).WriteString(kDescriptionSection, ExtractFileName(path), HTTPEncode(Description));
}
