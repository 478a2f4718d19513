#include "Components/Controller/ovnController.h"

#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/files/KldSciZipFile.h"
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnSendLogDlg.h"
#include "Components/Controller/update/KernelUpdateForm.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldStrUtils.h"
#include "platform/FileUtils.h"
#include "platform/Processes.h"
#include "platform/Streams.h"
#include "platform/Threads.h"
#include "ui/ovnCalendar.h"

#include <cerrno>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

TovnController* Controller = nullptr;
int32_t AppBrand = 0;
std::string DefaultSetupFile;
std::string DefaultUpdateURL;
std::string DefaultConnectionURL;
bool RestartBrowserOnClose = false;

const char* const SNoCachePath =
    "Local Cache Path is invalid.\r\nPlease specify correct path in Options/Local Cache...";

namespace {
TfrmOrvaneBrowser4* s_mainForm = nullptr;

// The file systems of the resource cache extract zip archives through the
// zip unit of this library; it is handed to them when the library loads.
const bool s_zipExtractorInstalled = [] {
    SetNembraExtractZipProc([](const std::string& ZipFileName, const std::string& DestPath,
                               const std::string& ExtractFileMask, const std::string& ExcludeFileMask) {
        TKldZipFile::ExtractToPath(
            ZipFileName, DestPath, [&](TKldZipFile*, const std::string&, const std::string& DestFileName) {
                // The member's name without its folders.
                return FileMatchesMasks(ExtractFileName(DestFileName), ExtractFileMask, ExcludeFileMask);
            });
    });
    return true;
}();
} // namespace

TBrandDefaults BrandDefaults(int32_t Brand)
{
    if (Brand == 0)
        return {"orvane4setup.exe", "http://localhost:8081", "https://localhost:8444"};
    return {"tlwsetup.exe", "http://localhost:8080", "https://localhost:8443"};
}

TfrmOrvaneBrowser4* ApplicationMainForm()
{
    return s_mainForm;
}

void FreeApplicationMainForm()
{
    delete s_mainForm;
    s_mainForm = nullptr;
}

TSecurityRecord DecodeSecurityByte(uint8_t Value)
{
    TSecurityRecord r;
    if (Value == 0)
        return r;
    r.Level = static_cast<TSecurityFlag>(Value >> 6);
    r.A1 = (Value & 32) != 0;
    r.A2 = (Value & 16) != 0;
    r.A3 = (Value & 8) != 0;
    r.A4 = (Value & 4) != 0;
    r.A5 = (Value & 2) != 0;
    r.A6 = (Value & 1) != 0;
    return r;
}

// ---------------------------------------------------------------------------
// TovnInfoList

std::string TovnInfoList::InfoKey(const std::string& Name)
{
    return Trim(Name).empty() ? std::string("<default>") : Name;
}

TovnInfoObj* TovnInfoList::FindInfo(const std::string& Name) const
{
    const std::string key = InfoKey(Name);
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(GetInfo(i)->Name, key))
            return GetInfo(i);
    return nullptr;
}

TovnInfoObj* TovnInfoList::AddInfo(const std::string& Name, const std::string& Text, int32_t ImageIndex)
{
    const std::string key = InfoKey(Name);
    TovnInfoObj* item = FindInfo(Name);
    if (!item) {
        if (!Text.empty()) {
            item = new TovnInfoObj(key, Text, ImageIndex);
            Add(item);
        }
    } else if (Text.empty() && !Trim(Name).empty()) {
        Remove(item);
        item = nullptr;
    }
    if (item) {
        item->Text = Text;
        if (ImageIndex < 0)
            item->ImageIndex = OnGetImageForKey ? OnGetImageForKey(key) : ImageIndex;
        else
            item->ImageIndex = ImageIndex;
    }
    Changed();
    return item;
}

void TovnInfoList::EndUpdate()
{
    --m_updateCount;
    Changed();
}

void TovnInfoList::Changed()
{
    if (m_updateCount == 0 && OnGetWindow)
        PostMessage(OnGetWindow(), WM_INFOBARCHANGED, 0, 0);
}

// ---------------------------------------------------------------------------
// TovnController

TovnController::TovnController(TComponent* AOwner) : TComponent(AOwner)
{
    Controller = this;
    // Combos without an applet run the controller's calendar.
    SetControllerCalendar([this](TCustomEdit* Edit, TLookupTool Tool) { return Calendar(Edit, Tool); });
    // The log writes the controller's eight columns into the daily file.
    Log.SetOnFormatLogLine([this](TObject* sender, TKldLogLevel level, const std::string& msg,
                                  const std::string& source, const std::string& info, bool header) {
        return DoFormatLogLine(sender, level, msg, source, info, header);
    });
    Log.SetFileName(MakeLogFileName(Date(), true));
    Log.SetLogLevel(llDebug);
    Log.SetEnabled(true);

    const TBrandDefaults brand = BrandDefaults(AppBrand);
    DefaultSetupFile = brand.SetupFile;
    DefaultUpdateURL = brand.UpdateURL;
    DefaultConnectionURL = brand.ConnectionURL;

    m_user = std::make_unique<TAdminUser>();
    m_preferences = std::make_unique<TovnPreferences>();
    // The window's placement is the main window's; there is none while the
    // window is being made.
    m_preferences->OnGetWindow = [this]() -> IovnPlacementWindow* { return m_browser; };
    m_sysPreferences = std::make_unique<TovnSysPreferences>();
    m_connections = std::make_unique<TovnConnections>();
    m_connections->SetDefaultURL(DefaultConnectionURL);
    m_infoList = std::make_unique<TovnInfoList>();
    m_infoList->OnGetWindow = [this] { return m_browser ? m_browser->Handle() : NullHWnd; };
    m_infoList->OnGetImageForKey = [](const std::string& key) { return GetImageForKey(key); };
    m_cache = std::make_unique<TNembraFileSystemCache>();
    m_cache->OnCheckFileName = [this](TObject* sender, const std::string& resourceName, const std::string& os,
                                      std::string& fileName) {
        CheckResourceFileName(sender, resourceName, os, fileName);
    };
    m_notificationClient = std::make_unique<TNembraNotificationsClient>();
    m_notificationClient->OnMessage = [this](TObject* sender, const std::string& text) {
        OnVNSMessage(sender, text);
    };
    m_notificationClient->OnConnected = [this](TObject* sender) { OnVNSConnected(sender); };
    m_notificationClient->OnDisconnected = [this](TObject* sender) { OnVNSDisconnected(sender); };
    m_notificationClient->SetKeepAlive(true);
    m_notificationClient->SetKeyTokenName("id");

    // The window's own construction runs now; Params, Vars and Version do not
    // exist yet at that moment.
    m_browser = new TfrmOrvaneBrowser4();
    if (!s_mainForm)
        s_mainForm = m_browser;
    m_browser->OnCheckKernelUpdate = [this] { return CheckKernelUpdate(); };

    m_params = std::make_unique<TParams>();
    m_vars = std::make_unique<TVars>(m_params.get());
    UpdateVersion();
    Log.Debug("Application started. Controller version %s created successfully.", {m_version}, "BROWSER");
}

TovnController::~TovnController()
{
    if (m_active)
        Close();
    // The icons' downloads use the cache freed below.
    if (m_browser)
        m_browser->JoinPreloading();
    if (m_browser != s_mainForm)
        delete m_browser;
    m_browser = nullptr;
    m_vars.reset();
    m_params.reset();
    m_preferences.reset();
    m_sysPreferences.reset();
    m_connections.reset();
    m_infoList.reset();
    m_user.reset();
    m_cache.reset();
    m_notificationClient.reset();
    Log.Debug("Application terminated. Controller destroyed successfully.", "BROWSER");
    Log.SetOnFormatLogLine(nullptr);
    if (Controller == this) {
        Controller = nullptr;
        SetControllerCalendar(nullptr);
    }
}

void TovnController::UpdateVersion()
{
    TDateTime fileDate = 0;
    const std::string library = GetModuleFileNameOfAddress(reinterpret_cast<const void*>(&Controller));
    FileAge(library, fileDate);
    m_version = FormatDateTime("yyyy-mm-dd-hh-nn", fileDate);
}

void TovnController::SetActive(bool Value)
{
    if (Value)
        Open();
    else
        Close();
}

void TovnController::Open()
{
    if (m_active)
        return;
    m_active = true;
    if (OnOpen)
        OnOpen(this);
}

void TovnController::Close()
{
    if (!m_active)
        return;
    m_active = false;
    if (OnClose)
        OnClose(this);
}

HWND TovnController::BrowserHandle() const
{
    return m_browser ? m_browser->Handle() : NullHWnd;
}

// ---------------------------------------------------------------------------
// Notification link

void TovnController::OnVNSMessage(TObject* Sender, const std::string& Text)
{
    std::string command;
    std::string rest;
    const size_t blank = Text.find(' ', 1);
    if (blank == std::string::npos) {
        command = Trim(Text);
    } else {
        command = Trim(Text.substr(0, blank));
        rest = Trim(Text.substr(blank + 1));
    }
    Log.Debug("VNS Command: %s", {command}, ClassName());
    if (SameText(command, "$UPDATENOTIFICATIONS")) {
        PostMessage(BrowserHandle(), WM_NOTIFICATION, 0, 0);
    } else if (SameText(command, "$invalidate_resources")) {
        ValidateCache();
    } else if (SameText(command, "$check_mail")) {
        if (rest == IntToStr(m_user->Counter))
            PostMessage(BrowserHandle(), WM_NEWMAIL, 0, 0);
    } else if (SameText(command, "$broadcast")) {
        m_notificationClient->SendNotification("$imhere " + m_notificationClient->KeyToken(), "id", rest);
    }
}

void TovnController::OnVNSConnected(TObject* Sender)
{
    m_vnsConnected = true;
    m_notificationClient->SetParam("user_id", IntToStr(m_user->Counter));
    m_cache->SetDownloadWhen(m_sysPreferences->DownloadWhen);
}

void TovnController::OnVNSDisconnected(TObject* Sender)
{
    m_vnsConnected = false;
    // Without the link no word of changed resources can arrive, so every use
    // asks the source again until the link is back.
    if (m_cache->DownloadWhen() == downloadNewer)
        m_cache->SetDownloadWhen(downloadAlways);
}

bool TovnController::GetConnected() const
{
    return m_browser && m_browser->Logged() && !m_browser->LoggingOut();
}

bool TovnController::GetDBConnected() const
{
    return GetConnected() && m_browser->DBLogged() && !m_browser->DBLoggingOut();
}

void TovnController::CheckLogged() const
{
    if (!GetConnected())
        throw EovnController("Not logged");
}

void TovnController::CheckDBLogged() const
{
    if (!GetDBConnected())
        throw EovnController("Not logged to DB");
}

void TovnController::UpdateInfoBar()
{
    m_infoList->BeginUpdate();
    try {
        m_infoList->Clear();
        if (AppDesktop && AppDesktop->Active())
            AppDesktop->Active()->Perform(WM_FILLINFOBARITEMS, 0, reinterpret_cast<LPARAM>(m_infoList.get()));
    } catch (...) {
        m_infoList->EndUpdate();
        throw;
    }
    m_infoList->EndUpdate();
}

bool TovnController::RunAppletExt(int32_t Module, const std::string& Resource, int32_t Mode,
                                 const std::string& Params, TObject* Sender)
{
    CheckLogged();
    // A new instance every time: the applet asked for another one.
    return m_browser->RunApplet(Module, Resource, sbResource, Mode, Params, Sender, false);
}

bool TovnController::Calendar(TCustomEdit* Edit, TLookupTool Tool)
{
    return runCalendar(Edit, Tool);
}

TSecurityRecord TovnController::GetSecurity(int SecurityIndex) const
{
    // The system user has every right, whatever the bytes say.
    if (m_user->UserType == "SYS")
        return {sfFull, true, true, true, true, true, true};
    const TMemoryStream& bytes = m_user->Security();
    if (SecurityIndex < 0 || SecurityIndex >= bytes.Size())
        return {};
    return DecodeSecurityByte(bytes.Memory()[SecurityIndex]);
}

TDateTime TovnController::SYSDATETIME() const
{
    return m_browser ? m_browser->SysDateTime() : Now();
}

TSQLTimeStamp TovnController::SYSSQLDATETIME() const
{
    return DateTimeToSQLTimeStamp(SYSDATETIME());
}

std::string TovnController::SYSSTRDATETIME() const
{
    return DateTimeToStr(SYSDATETIME());
}

std::string TovnController::MakeLogFileName(TDateTime Date, bool ForceDir) const
{
    const std::string folder = ovnGetDataPath() + "log/";
    // The settings and log folders are this user's alone: a folder others
    // may write would let them plant a link that the log then appends to.
    if (ForceDir) {
        ovnMakePrivateFolder(ovnGetDataPath());
        ovnMakePrivateFolder(folder);
    }
    return folder + "ov4-" + FormatDateTime("yyyy-mm-dd", Date) + ".log";
}

std::string TovnController::GetAlias() const
{
    return m_browser ? m_browser->DataAlias() : std::string();
}

std::string TovnController::DoFormatLogLine(TObject* Sender, TKldLogLevel ALogLevel, const std::string& Msg,
                                            const std::string& Source, const std::string& Info,
                                            bool Header) const
{
    if (Header)
        return "TimeStamp, LogLevel, Source, Message, Info, UserID, UserType, Database";
    TLogSession session;
    if (MainThread::IsMainThread()) {
        session = {m_user ? m_user->ID : std::string(), m_user ? m_user->UserType : std::string(), GetAlias()};
        const std::lock_guard<std::mutex> lock(m_logSessionLock);
        m_logSession = session;
    } else {
        const std::lock_guard<std::mutex> lock(m_logSessionLock);
        session = m_logSession;
    }
    return Format("%s, %s, %s, %s, %s, %s, %s, %s", FormatDateTime("yyyy-mm-dd@hh-nn-ss-zzz", Now()),
                  SKldLogLevels[ALogLevel], Source, EscapeStr(Msg, ',', '"'), EscapeStr(Info, ',', '"'),
                  session.UserID, session.UserType, session.Alias);
}

// ---------------------------------------------------------------------------
// Resources

std::string TovnController::GetCachePath() const
{
    const std::string dir = Trim(m_sysPreferences->CacheDir);
    if (!CacheDirIsAbsolute(dir))
        return ovnGetDataPath() + dir;
    if (!DirectoryExists(dir))
        throw EovnController(SNoCachePath);
    return dir;
}

void TovnController::InitCache()
{
    m_cache->SetActive(false);
    m_cache->SetOS(ovnOS());
    const std::string path = GetCachePath();
    // A folder the program makes for itself is this user's alone; one the
    // user chose is taken as it is (it may be shared on purpose).
    if (!CacheDirIsAbsolute(Trim(m_sysPreferences->CacheDir)))
        ovnMakePrivateFolder(path, "the resource cache");
    m_cache->SetCacheDir(path);
    m_cache->SetDownloadWhen(Trim(m_cache->URI()).empty() ? downloadNever : m_sysPreferences->DownloadWhen);
    m_cache->SetActive(true);
}

std::string TovnController::GetResourceFile(const std::string& Resource)
{
    bool downloaded = false;
    const std::string fileName = m_cache->GetResourceFile(Resource, &downloaded);
    m_resourceDownloaded = downloaded;
    if (downloaded)
        Log.Debug("Downloaded new version of %s", {Resource}, "TovnController");
    return fileName;
}

void TovnController::AddResourceFile(const std::string& ResourceName, const std::string& FileName)
{
    m_cache->AddResourceFile(ResourceName, FileName);
}

void TovnController::InvalidateResource(const std::string& Resource, int32_t Version)
{
    m_cache->InvalidateResource(Resource, Version);
}

void TovnController::InvalidateResourceFiles(const TStrings* Files)
{
    m_cache->InvalidateFiles(Files);
}

void TovnController::InvalidateResourceFiles(const std::string& Files)
{
    TStringList list;
    list.SetCommaText(Files);
    InvalidateResourceFiles(&list);
}

void TovnController::ValidateCache()
{
    m_cache->ValidateCache();
}

void TovnController::CheckResourceFileName(TObject* Sender, const std::string& ResourceName, const std::string& OS,
                                           std::string& FileName)
{
    if (Trim(ResourceName).empty()) {
        FileName.clear();
        return;
    }
    if (!m_browser)
        return;
    // The system procedure and the connection registry belong to the main
    // thread; the icon preload thread may be the one asking.
    MainThread::Synchronize([&] { m_browser->CheckResourceFileName(ResourceName, OS, FileName); });
}

// ---------------------------------------------------------------------------
// Log upload

namespace {

constexpr std::string_view kLogFolderPrefix = "ov4-log-";

// Removes Folder (in the temporary folder Parent) with the files it holds
// when it is a folder of this user's, not a link: the temporary folder is
// everybody's, and a name alone proves nothing.
void RemoveOwnFolder(int Parent, const std::string& Folder)
{
    const int fd = ::openat(Parent, Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || st.st_uid != ::getuid()) {
        ::close(fd);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
    }
    ::closedir(dir);
    ::unlinkat(Parent, Folder.c_str(), AT_REMOVEDIR);
}

// Folders "ov4-log-<pid>-..." of uploads whose process has ended (a kill
// during an upload leaves its folder, sometimes with the whole archive).
void RemoveStaleLogFolders(const std::string& TempPath)
{
    DIR* dir = ::opendir(TempPath.c_str());
    if (!dir)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, kLogFolderPrefix.size()) != kLogFolderPrefix)
            continue;
        size_t pos = kLogFolderPrefix.size();
        long long pid = 0;
        while (pos < name.size() && name[pos] >= '0' && name[pos] <= '9' && pid < INT_MAX)
            pid = pid * 10 + (name[pos++] - '0');
        if (pos > kLogFolderPrefix.size() && pos < name.size() && name[pos] == '-' && ProcessHasEnded(pid))
            stale.emplace_back(name);
    }
    for (const std::string& name : stale)
        RemoveOwnFolder(::dirfd(dir), name);
    ::closedir(dir);
}

// A temporary folder of this user's alone, removed with what it holds: the
// archive of the logs never lies where others could replace or read it. Its
// name carries the process id, so that the next upload can tell a folder
// left by a killed process from one in use.
class TPrivateTempFolder
{
  public:
    TPrivateTempFolder()
    {
        RemoveStaleLogFolders(ovnGetTempPath());
        std::string pattern =
            ovnGetTempPath() + std::string(kLogFolderPrefix) + std::to_string(::getpid()) + "-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw EInOutError(Format("Cannot create a temporary folder in %s: %s", ovnGetTempPath(),
                                     std::strerror(errno)));
        m_path = IncludeTrailingPathDelimiter(pattern);
    }
    ~TPrivateTempFolder()
    {
        for (const std::string& name : m_files)
            ::DeleteFile(m_path + name);
        RemoveDir(m_path);
    }
    TPrivateTempFolder(const TPrivateTempFolder&) = delete;
    TPrivateTempFolder& operator=(const TPrivateTempFolder&) = delete;

    // The path of a file that goes with the folder.
    std::string File(const std::string& Name)
    {
        m_files.push_back(Name);
        return m_path + Name;
    }

  private:
    std::string m_path;
    std::vector<std::string> m_files;
};

} // namespace

void TovnController::SendLog(TDateTime Date, int32_t Days, bool ShowDialog)
{
    if (ShowDialog)
        TovnSendLogDlg::Execute(Date, Days, [this](TDateTime d, int32_t n) { DoSendLog(d, n); });
    else
        DoSendLog(Date, Days);
}

std::string TovnController::LogArchiveName(TDateTime Date, int32_t Days) const
{
    return ExtractFileName(ChangeFileExt(MakeLogFileName(Date, false), "")) + Format("-%dd.zip", Days);
}

void TovnController::MakeLogArchive(const std::string& FileName, TDateTime Date, int32_t Days) const
{
    TKldZipFile zip;
    zip.NewZipFile(FileName);
    for (int32_t i = 0; i < Days; ++i) {
        const std::string log = MakeLogFileName(Date - i, false);
        if (!FileExists(log))
            continue;
        // The log object may be writing today's file meanwhile.
        TFileStream source(log, fmOpenRead | fmShareDenyNone);
        zip.WriteFileStream(zip.CreateFile(ExtractFileName(log)), source);
    }
    // An archive without members is written too: a range without logs is
    // still sent (as the 22 bytes of an empty archive).
    if (zip.GetFileCount() == 0)
        zip.SaveToFile(FileName);
    zip.Close(true);
}

void TovnController::DoSendLog(TDateTime Date, int32_t Days)
{
    if (Days < 1)
        Days = 1;
    if (!m_browser)
        throw EovnController("The log cannot be sent without the main window");
    TPrivateTempFolder folder;
    const std::string archive = folder.File(LogArchiveName(Date, Days));
    MakeLogArchive(archive, Date, Days);
    TovnOndrelSystem& upload = m_browser->sysUploadLog();
    upload.Params().ParamByName("LogDate")->SetAsDate(Date);
    upload.Params().ParamByName("LogDays")->SetAsInteger(Days);
    upload.Params().ParamByName("LogType")->SetAsString("zip");
    TStringStream content;
    content.LoadFromFile(archive);
    upload.Params().ParamByName("Log")->SetAsBlob(content.DataString());
    upload.Execute();
}

bool TovnController::CheckKernelUpdate()
{
    try {
        return TfrmKernelUpdate::Execute(m_preferences->UpdateURL);
    } catch (...) {
        ReportCurrentException("TovnController.CheckKernelUpdate");
        return false;
    }
}
