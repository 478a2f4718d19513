// The remote file system's procedures (VRS.*): a store of files in a folder
// of the server's own (--files), one folder per share ("Share"; no share is
// the folder itself).
//
// - Access: a signed-in session ("WSID"), or "User" and "Password" of an
//   account in use; otherwise 1005 (no session) or 2001 (wrong password).
// - Names are relative to the share; an absolute name or ".." as a path
//   component is refused, so no call reaches outside the share.
// - A file's version is its time stamp: 100-ns ticks since 1601-01-01 UTC of
//   its last write. VRS.GetFile answers it in the header "Content-Version";
//   the file itself comes with the type "application/download", and a file
//   whose time stamp the client already has is answered by an empty reply.
// - Descriptions are kept in SRV_FILE_DESCRIPTIONS by share and name.
// - Files are written to a new file beside the old one and renamed over it.
#include "AppServer.h"
#include "Procedures.h"

#include <openssl/evp.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Wire::EProcedureError;

constexpr int64_t kEpochDifference = 11644473600LL; // seconds from 1601 to 1970
constexpr int64_t kTicksPerSecond = 10000000LL;
constexpr int kReadOnly = 0x01;
constexpr int kDirectory = 0x10;
constexpr int kArchive = 0x20;
constexpr int kAnyFile = 0x3F;

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

bool IsTrue(const std::string& s)
{
    return Upper(Trim(s)) == "TRUE";
}

int64_t ToInt64(const std::string& s, int64_t def)
{
    try {
        size_t used = 0;
        const int64_t v = std::stoll(Trim(s), &used);
        return used == Trim(s).size() ? v : def;
    } catch (const std::exception&) {
        return def;
    }
}

std::string Fail(const char* format, const std::string& name)
{
    std::string text = format;
    const size_t at = text.find("%s");
    return at == std::string::npos ? text : text.replace(at, 2, name);
}

std::string SystemError(const std::string& text, int error)
{
    return text + ". File system error: " + std::to_string(error != 0 ? error : EIO);
}

// Wildcards "*" and "?" without regard to ASCII case; "name.*" also takes a
// name without extension, so "*.*" is every name.
bool MatchesMask(const std::string& name, const std::string& mask)
{
    auto match = [](const std::string& n, const std::string& m) {
        size_t i = 0, j = 0, star = std::string::npos, mark = 0;
        while (i < n.size()) {
            if (j < m.size() && (m[j] == '?' || std::toupper(static_cast<unsigned char>(m[j])) ==
                                                    std::toupper(static_cast<unsigned char>(n[i])))) {
                ++i;
                ++j;
            } else if (j < m.size() && m[j] == '*') {
                star = j++;
                mark = i;
            } else if (star != std::string::npos) {
                j = star + 1;
                i = ++mark;
            } else
                return false;
        }
        while (j < m.size() && m[j] == '*')
            ++j;
        return j == m.size();
    };
    if (match(name, mask))
        return true;
    return mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0 && name.find('.') == std::string::npos &&
           match(name, mask.substr(0, mask.size() - 2));
}

int64_t FileTime(const struct stat& st)
{
    return (int64_t(st.st_mtim.tv_sec) + kEpochDifference) * kTicksPerSecond + int64_t(st.st_mtim.tv_nsec) / 100;
}

int Attributes(const struct stat& st)
{
    int attr = S_ISDIR(st.st_mode) ? kDirectory : kArchive;
    if ((st.st_mode & S_IWUSR) == 0)
        attr |= kReadOnly;
    return attr;
}

// A call's access: its session, or the user and password it names.
void CheckAccess(TCall& call)
{
    if (call.Session())
        return;
    const std::string user = call.Param("User");
    if (user.empty()) {
        call.RequireSession(); // raises 1005
        return;
    }
    TDatabase& db = call.Server().Database();
    auto lock = db.Lock();
    auto account = db.Prepare("SELECT COALESCE(USER_PASSWORD, '') FROM TBL_USERS "
                              "WHERE UPPER(USER_ID) = UPPER(?) AND CURRENT_USE = 'T'");
    account->Bind(1, user);
    if (!account->Step() || account->Text(0) != call.Param("Password"))
        throw EProcedureError(Wire::ErrInvalidLogin, "Invalid User ID or Password.");
}

// A file or folder of the call's share: its path and its description key.
struct TTarget
{
    std::string Path;
    std::string Key;
};

class TShare
{
  public:
    explicit TShare(TCall& call) : m_call(call)
    {
        CheckAccess(call);
        const TServerOptions& options = call.Server().Options();
        std::string root = options.FilesRoot;
        if (root.empty())
            root = (fs::path(options.Database).parent_path() / "files").string();
        m_share = Trim(call.Param("Share"));
        if (m_share.find_first_of("/\\") != std::string::npos || m_share == "." || m_share == ".." ||
            m_share.find('\0') != std::string::npos)
            throw EProcedureError(Wire::ErrGeneral, "Invalid share name: " + m_share);
        m_folder = m_share.empty() ? root : (fs::path(root) / m_share).string();
    }

    // The name below the share; absolute names and ".." are refused.
    TTarget Resolve(const std::string& name) const
    {
        if (!name.empty() && (name[0] == '/' || name[0] == '\\'))
            throw EProcedureError(Wire::ErrGeneral, "Invalid file name: " + name);
        if (name.find('\0') != std::string::npos)
            throw EProcedureError(Wire::ErrGeneral, "Invalid file name: " + name);
        std::string normalized, part;
        auto flush = [&] {
            if (part == "..")
                throw EProcedureError(Wire::ErrGeneral, "Invalid file name: " + name);
            if (!part.empty() && part != ".")
                normalized += (normalized.empty() ? "" : "/") + part;
            part.clear();
        };
        for (char c : name) {
            if (c == '/' || c == '\\')
                flush();
            else
                part += c;
        }
        flush();
        return {normalized.empty() ? m_folder : m_folder + "/" + normalized, m_share + "|" + normalized};
    }

    TCall& Call() { return m_call; }

  private:
    TCall& m_call;
    std::string m_share;
    std::string m_folder;
};

// --- Descriptions

std::string GetDescription(TCall& call, const std::string& key)
{
    TDatabase& db = call.Server().Database();
    auto lock = db.Lock();
    auto row = db.Prepare("SELECT DESCRIPTION FROM SRV_FILE_DESCRIPTIONS WHERE PATH = ?");
    row->Bind(1, key);
    return row->Step() ? row->Text(0) : std::string();
}

void SetDescription(TCall& call, const std::string& key, const std::string& description)
{
    TDatabase& db = call.Server().Database();
    auto lock = db.Lock();
    if (Trim(description).empty()) {
        db.Prepare("DELETE FROM SRV_FILE_DESCRIPTIONS WHERE PATH = ?")->Bind(1, key).Run();
        return;
    }
    db.Prepare("INSERT OR REPLACE INTO SRV_FILE_DESCRIPTIONS (PATH, DESCRIPTION) VALUES (?, ?)")
        ->Bind(1, key)
        .Bind(2, description)
        .Run();
}

// --- Files

bool StatOf(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0;
}

std::string DecodeBase64(const std::string& text)
{
    std::string clean;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            clean += c;
    if (clean.size() % 4 != 0)
        throw EProcedureError(Wire::ErrGeneral, "FileData is not Base64 text.");
    std::string out(clean.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(clean.data()), static_cast<int>(clean.size()));
    if (n < 0)
        throw EProcedureError(Wire::ErrGeneral, "FileData is not Base64 text.");
    size_t padding = 0;
    for (size_t i = clean.size(); i > 0 && clean[i - 1] == '=' && padding < 2; --i)
        ++padding;
    out.resize(static_cast<size_t>(n) - padding);
    return out;
}

std::string ReadFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EProcedureError(Wire::ErrGeneral, "Cannot read " + path + ": " + std::strerror(errno));
    std::string data;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw EProcedureError(Wire::ErrGeneral, "Cannot read " + path + ": " + std::strerror(error));
        }
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

// The new content of path, handed out block by block by `next` (the bytes
// put in the buffer, 0 at the end, -1 for a failure, which raises
// `readError`): written beside the file, then renamed over it, so that a
// failure leaves the old file as it was.
void WriteFileBlocks(const std::string& path, const std::function<int64_t(char*, size_t)>& next,
                     const std::string& readError)
{
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::string temp = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw EProcedureError(Wire::ErrGeneral, "Cannot write " + path + ": " + std::strerror(errno));
    ::fchmod(fd, 0644);
    std::vector<char> buffer(64 * 1024);
    int error = 0;
    bool readFailed = false;
    for (;;) {
        const int64_t got = next(buffer.data(), buffer.size());
        if (got < 0) {
            readFailed = true;
            break;
        }
        if (got == 0)
            break;
        size_t done = 0;
        while (done < static_cast<size_t>(got)) {
            const ssize_t n = ::write(fd, buffer.data() + done, static_cast<size_t>(got) - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : ENOSPC;
                break;
            }
            done += static_cast<size_t>(n);
        }
        if (error)
            break;
    }
    if (!error && !readFailed && ::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    if (!error && !readFailed && ::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error || readFailed) {
        ::unlink(temp.c_str());
        if (readFailed)
            throw EProcedureError(Wire::ErrGeneral, readError);
        throw EProcedureError(Wire::ErrGeneral, "Cannot write " + path + ": " + std::strerror(error));
    }
}

// The whole new content of path, as WriteFileBlocks.
void WriteFile(const std::string& path, const std::string& data)
{
    size_t offset = 0;
    WriteFileBlocks(
        path,
        [&](char* buffer, size_t size) {
            const size_t n = std::min(size, data.size() - offset);
            std::memcpy(buffer, data.data() + offset, n);
            offset += n;
            return static_cast<int64_t>(n);
        },
        "");
}

void SetFileTime(const std::string& path, int64_t timeStamp)
{
    if (timeStamp <= 0)
        return;
    const timespec written{static_cast<time_t>(timeStamp / kTicksPerSecond - kEpochDifference),
                           static_cast<long>((timeStamp % kTicksPerSecond) * 100)};
    const timespec times[2] = {{0, UTIME_OMIT}, written};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The names of a folder, sorted, without "." names.
std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.')
            names.emplace_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

void SplitMask(const std::string& mask, std::string& folder, std::string& pattern)
{
    const size_t slash = mask.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : mask.substr(0, slash);
    pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);
}

// --- Procedures

// Path (a mask, with a folder part or not), MinTimeStamp, FileAttributes
// (0: all), OutputInfo (1 description, 2 attributes, 4 size, 8 time stamp).
// Answers "Files" (per file its name and the details asked for, in that
// order) and "MaxFileTimeStamp".
void FindFiles(TCall& call)
{
    TShare share(call);
    std::string folderName, pattern;
    SplitMask(call.Param("Path"), folderName, pattern);
    const TTarget folder = share.Resolve(folderName);
    const int64_t minTimeStamp = ToInt64(call.Param("MinTimeStamp"), 0);
    int wanted = static_cast<int>(ToInt64(call.Param("FileAttributes"), 0));
    if (wanted <= 0)
        wanted = kAnyFile;
    const int info = static_cast<int>(ToInt64(call.Param("OutputInfo"), 0));
    int64_t maxTimeStamp = 0;
    TJsonWriter& json = call.Json();
    json.Key("Files");
    json.StartArray();
    for (const std::string& name : ListFolder(folder.Path)) {
        struct stat st
        {
        };
        if (!MatchesMask(name, pattern) || !StatOf(folder.Path + "/" + name, st))
            continue;
        const int attributes = Attributes(st);
        if ((attributes & wanted) == 0)
            continue;
        const int64_t timeStamp = FileTime(st);
        maxTimeStamp = std::max(maxTimeStamp, timeStamp);
        if (timeStamp <= minTimeStamp)
            continue;
        json.StartArray();
        json.String(name.c_str());
        if (info & 1)
            json.String(
                GetDescription(call, share.Resolve(folderName.empty() ? name : folderName + "/" + name).Key).c_str());
        if (info & 2)
            json.Int(attributes);
        if (info & 4)
            json.Int64(S_ISDIR(st.st_mode) ? 0 : int64_t(st.st_size));
        if (info & 8)
            json.Int64(timeStamp);
        json.EndArray();
    }
    json.EndArray();
    json.Key("MaxFileTimeStamp");
    json.Int64(maxTimeStamp);
}

// FileName, FileTimeStamp.
void GetFile(TCall& call)
{
    TShare share(call);
    const std::string name = call.Param("FileName");
    if (Trim(name).empty())
        throw EProcedureError(Wire::ErrGeneral, "File name not specified");
    const TTarget file = share.Resolve(name);
    struct stat st
    {
    };
    if (!StatOf(file.Path, st) || !S_ISREG(st.st_mode))
        throw EProcedureError(Wire::ErrGeneral, Fail("File not found: \"%s", name));
    const int64_t timeStamp = FileTime(st);
    call.AddReplyHeader("Content-Version", std::to_string(timeStamp));
    if (timeStamp != ToInt64(call.Param("FileTimeStamp"), 0))
        call.ReplyData(ReadFile(file.Path), Wire::DownloadType);
}

// FileName, Description, FileTimeStamp, FileData (Base64).
void PutFile(TCall& call)
{
    TShare share(call);
    const std::string name = call.Param("FileName");
    if (Trim(name).empty())
        throw EProcedureError(Wire::ErrGeneral, "File name not specified");
    const TTarget file = share.Resolve(name);
    WriteFile(file.Path, DecodeBase64(call.Param("FileData")));
    SetFileTime(file.Path, ToInt64(call.Param("FileTimeStamp"), 0));
    SetDescription(call, file.Key, call.Param("Description"));
}

// FileName: a file, or a folder holding nothing. A missing one is no error.
void Delete(TCall& call)
{
    TShare share(call);
    const std::string name = call.Param("FileName");
    if (Trim(name).empty())
        throw EProcedureError(Wire::ErrGeneral, "File name not specified");
    const TTarget target = share.Resolve(name);
    struct stat st
    {
    };
    if (!StatOf(target.Path, st))
        return;
    if (S_ISDIR(st.st_mode)) {
        if (!ListFolder(target.Path).empty())
            throw EProcedureError(Wire::ErrGeneral, Fail("Unabled to delete unemtpy directory: \"%s\"", name));
        if (::rmdir(target.Path.c_str()) != 0)
            throw EProcedureError(Wire::ErrGeneral,
                                  SystemError(Fail("Unable to delete directory: \"%s\"", name), errno));
    } else if (::unlink(target.Path.c_str()) != 0) {
        throw EProcedureError(Wire::ErrGeneral, SystemError(Fail("Unable to delete file: \"%s\"", name), errno));
    }
    SetDescription(call, target.Key, "");
}

void CopyOrMove(TCall& call, bool move)
{
    TShare share(call);
    const std::string name = call.Param("FileName");
    const std::string newName = call.Param("NewFileName");
    const TTarget source = share.Resolve(name);
    const TTarget dest = share.Resolve(newName);
    struct stat st
    {
    };
    if (Trim(name).empty() || !StatOf(source.Path, st))
        throw EProcedureError(Wire::ErrGeneral, Fail("Directory not found: \"%s", name));
    std::error_code ec;
    fs::create_directories(fs::path(dest.Path).parent_path(), ec);
    struct stat existing
    {
    };
    if (!IsTrue(call.Param("AllowOverride")) && StatOf(dest.Path, existing))
        throw EProcedureError(Wire::ErrGeneral, Fail("File already exists: \"%s\"", newName));
    const std::string text = std::string(move ? "Unable to move file: \"" : "Unable to copy file: \"") + name +
                             "\" to \"" + newName + "\"";
    if (move) {
        if (::rename(source.Path.c_str(), dest.Path.c_str()) != 0)
            throw EProcedureError(Wire::ErrGeneral, SystemError(text, errno));
    } else {
        if (S_ISDIR(st.st_mode))
            throw EProcedureError(Wire::ErrGeneral, SystemError(text, EISDIR));
        WriteFile(dest.Path, ReadFile(source.Path));
        const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
        ::utimensat(AT_FDCWD, dest.Path.c_str(), times, 0);
    }
    const std::string description = GetDescription(call, source.Key);
    if (!Trim(description).empty()) {
        SetDescription(call, dest.Key, description);
        if (move)
            SetDescription(call, source.Key, "");
    }
}

void CopyFile(TCall& call)
{
    CopyOrMove(call, false);
}

void Rename(TCall& call)
{
    CopyOrMove(call, true);
}

// ZipFileName, DestPath, ExtractFileMask, ExcludeFileMask: the members whose
// names (without folders) match the first mask (or any, when empty) and not
// the second. A member whose name would leave the share is refused.
void Extract(TCall& call)
{
    TShare share(call);
    const std::string zipName = call.Param("ZipFileName");
    const TTarget archive = share.Resolve(zipName);
    const std::string destPath = call.Param("DestPath");
    const std::string include = call.Param("ExtractFileMask");
    const std::string exclude = call.Param("ExcludeFileMask");
    int error = 0;
    zip_t* zip = zip_open(archive.Path.c_str(), ZIP_RDONLY, &error);
    if (!zip)
        throw EProcedureError(Wire::ErrGeneral, Fail("Cannot open the zip archive \"%s\"", zipName));
    std::unique_ptr<zip_t, void (*)(zip_t*)> closer(zip, [](zip_t* z) { zip_discard(z); });
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        std::string member = raw;
        std::replace(member.begin(), member.end(), '\\', '/');
        const bool folder = !member.empty() && member.back() == '/';
        const std::string relative = Trim(destPath).empty() ? member : destPath + "/" + member;
        const TTarget target = share.Resolve(relative);
        if (folder) {
            std::error_code ec;
            fs::create_directories(target.Path, ec);
            continue;
        }
        const std::string base = member.substr(member.find_last_of('/') == std::string::npos
                                                   ? 0
                                                   : member.find_last_of('/') + 1);
        if ((!include.empty() && !MatchesMask(base, include)) || (!exclude.empty() && MatchesMask(base, exclude)))
            continue;
        zip_file_t* entry = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        if (!entry)
            throw EProcedureError(Wire::ErrGeneral, Fail("Cannot read \"%s\" from the zip archive", member));
        // Block by block: a member is never held whole, however large it unpacks.
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> entryCloser(entry, zip_fclose);
        WriteFileBlocks(
            target.Path,
            [entry](char* buffer, size_t size) { return static_cast<int64_t>(zip_fread(entry, buffer, size)); },
            Fail("Cannot read \"%s\" from the zip archive", member));
    }
}

// Path: made with every missing parent.
void CreateDirectory(TCall& call)
{
    TShare share(call);
    const TTarget folder = share.Resolve(call.Param("Path"));
    std::error_code ec;
    fs::create_directories(folder.Path, ec);
    if (!fs::is_directory(folder.Path))
        throw EProcedureError(Wire::ErrGeneral, Fail("Unable to create directory: \"%s\"", call.Param("Path")));
}

} // namespace

void RegisterFileProcedures(TProcedureTable& table)
{
    table.Add("VRS.FindFiles", FindFiles);
    table.Add("VRS.GetFile", GetFile);
    table.Add("VRS.PutFile", PutFile);
    table.Add("VRS.Delete", Delete);
    table.Add("VRS.CopyFile", CopyFile);
    table.Add("VRS.Rename", Rename);
    table.Add("VRS.Extract", Extract);
    table.Add("VRS.CreateDirectory", CreateDirectory);
}
