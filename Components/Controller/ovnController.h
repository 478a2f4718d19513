#pragma once
// The one application controller, its globals and the controller's log line.
//
// The launcher sets AppBrand, creates the controller (which stores itself in
// Controller), calls Open and runs the message loop; after the loop it frees
// the controller and then the application's main form, and restarts the
// program when RestartBrowserOnClose is set.
//
// The constructor binds the shared log to the daily file, picks the brand
// defaults, creates the user record, the user and machine preferences, the
// connection list (with the brand's server as its built-in entry), the info
// list, the resource cache, the notification client, the main window, the
// module variables and reads its version.
//
// Resources: every file the client fetches from the server goes through the
// resource cache (`Cache`, a TNembraFileSystemCache). The main window calls
// InitCache after each server sign-in (the cache address comes from the
// sign-in reply's "RESOURCES"); GetResourceFile and the other resource
// operations pass to the cache. The cache asks the main window's system
// procedure for the file name of a resource it does not know yet; the
// constructor binds that hook (CheckResourceFileName).

#include "Components/Controller/GVars.h"
#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/ovnPreferences.h"
#include "Components/Nembra/NembraFileSystemCache.h"
#include "Components/Nembra/NembraNotificationsClient.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "base/KldLogFile.h"
#include "platform/Component.h"
#include "platform/DateUtils.h"
#include "platform/Messages.h"
#include "platform/ObjectList.h"
#include "platform/Params.h"
#include "platform/SqlTimSt.h"
#include "platform/StringList.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QFont;
class QWidget;
class TCustomEdit;
class TCustomImageList;
class TDataSet;
class TNembraConnection;
class TNembraDatabase;
class TStrings;
class TfrmOrvaneBrowser4;
class TovnController;
class TovnDataSet;
enum class TLookupTool;

KLD_DECLARE_EXCEPTION(EovnController, Exception);
// Errors of the counters that the controller and the main window read.
KLD_DECLARE_EXCEPTION(EovnClient, Exception);

// Log texts that applet libraries take from the controller library (spelled
// as the libraries expect them).
extern const char* const LogAdd;              // "Add %s"
extern const char* const LogBrowserLocked;    // "Browser locked by user \"%s\""
extern const char* const LogCloseForm;        // "Close form"
extern const char* const LogCloseModule;      // "Close all applets"
extern const char* const LogDelete;           // "Delete %s succesfully"
extern const char* const LogDialogExecute;    // "Execute Dialog"
extern const char* const LogEdit;             // "Edit %s"
extern const char* const LogMailSent;         // "Email sent succefully"
extern const char* const LogOpenForm;         // "Open form"
extern const char* const LogPasswordChanged;  // "Password for user \"%s\" was changed sucessfully"
extern const char* const LogRunAdminApplet;   // "Run Administrative Applet"

// "Local Cache Path is invalid." and, on a new line, "Please specify correct
// path in Options/Local Cache...".
extern const char* const SNoCachePath;

// Exported globals of the controller library.
extern TovnController* Controller;
extern int32_t AppBrand; // 0 the maker's brand, any other value the product's
extern std::string DefaultSetupFile;
extern std::string DefaultUpdateURL;
extern std::string DefaultConnectionURL;
extern bool RestartBrowserOnClose;

// Setup file and endpoints of a brand. The endpoints are configuration: base
// addresses without a trailing path on this machine (brand 0: update
// http://localhost:8081, application https://localhost:8444; other brands:
// update http://localhost:8080, application https://localhost:8443); the
// connection list in the settings file names the real servers.
struct TBrandDefaults
{
    std::string SetupFile;
    std::string UpdateURL;
    std::string ConnectionURL;
};
TBrandDefaults BrandDefaults(int32_t Brand);

// The application's main form: the first main window created becomes it, and
// the application (the launcher) frees it after the controller.
TfrmOrvaneBrowser4* ApplicationMainForm();
void FreeApplicationMainForm();

enum TSecurityFlag : uint8_t
{
    sfNo,
    sfView,
    sfModify,
    sfFull
};

#pragma pack(push, 1)
struct TSecurityRecord
{
    TSecurityFlag Level = sfNo;
    bool A1 = false;
    bool A2 = false;
    bool A3 = false;
    bool A4 = false;
    bool A5 = false;
    bool A6 = false;
    bool operator==(const TSecurityRecord&) const = default;
};
#pragma pack(pop)
static_assert(sizeof(TSecurityRecord) == 7);

// The rights record a rights byte stands for (0 is no access).
TSecurityRecord DecodeSecurityByte(uint8_t Value);

// One item of the main window's info bar.
class TovnInfoObj : public TObject
{
  public:
    TovnInfoObj(const std::string& Name, const std::string& Text, int32_t ImageIndex)
        : Name(Name), Text(Text), ImageIndex(ImageIndex)
    {
    }
    std::string ClassName() const override { return "TovnInfoObj"; }
    void Assign(const TovnInfoObj&) {}

    std::string Name;
    std::string Text;
    int32_t ImageIndex;
};

// The info-bar items; owns them. Every change ends with Changed, which posts
// 4026 to the main window while no update is open.
class TovnInfoList : public TObjectList
{
  public:
    TovnInfoList() : TObjectList(true) {}
    std::string ClassName() const override { return "TovnInfoList"; }

    TovnInfoObj* GetInfo(int Index) const { return static_cast<TovnInfoObj*>(Items(Index)); }
    // The key is Name, or "<default>" for a blank name; case is ignored.
    TovnInfoObj* FindInfo(const std::string& Name) const;
    // Adds, updates or (empty text, named item) removes an item; the default
    // item stays with an empty text. A negative ImageIndex asks
    // OnGetImageForKey for the key's picture (left negative without it).
    TovnInfoObj* AddInfo(const std::string& Name, const std::string& Text, int32_t ImageIndex);
    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();
    void Changed();
    int UpdateCount() const { return m_updateCount; }

    std::function<int32_t(const std::string& Key)> OnGetImageForKey;
    // Where Changed posts; the controller sets it to its main window's.
    std::function<HWND()> OnGetWindow;

  private:
    static std::string InfoKey(const std::string& Name);
    int m_updateCount = 0;
};

// A string list that calls back whoever made it when asked to notify (with
// a null sender). Part of the library's exported interface for applet
// libraries; the client itself makes none.
class TTagStringList : public TStringList
{
  public:
    explicit TTagStringList(TNotifyEvent Callback = nullptr) : m_callback(std::move(Callback)) {}
    std::string ClassName() const override { return "TTagStringList"; }

    void Notify()
    {
        if (m_callback)
            m_callback(nullptr);
    }

  private:
    TNotifyEvent m_callback;
};

class TovnController : public TComponent
{
  public:
    explicit TovnController(TComponent* AOwner = nullptr);
    ~TovnController() override;
    std::string ClassName() const override { return "TovnController"; }

    bool Active() const { return m_active; }
    void SetActive(bool Value);
    void Open();
    void Close();
    TNotifyEvent OnOpen;
    TNotifyEvent OnClose;

    TAdminUser& User() const { return *m_user; }
    TovnPreferences& Preferences() const { return *m_preferences; }
    TovnSysPreferences& SysPreferences() const { return *m_sysPreferences; }
    // The server connections; the built-in entry is DefaultConnectionURL.
    TovnConnections& Connections() const { return *m_connections; }
    TfrmOrvaneBrowser4* Browser() const { return m_browser; }
    TParams& Params() const { return *m_params; }
    TVars& Vars() const { return *m_vars; }
    TovnInfoList& InfoList() const { return *m_infoList; }
    TNembraFileSystemCache& Cache() const { return *m_cache; }
    // The link to the notification server: keep-alive on, key token name
    // "id"; the sign-in fills its address and key token and connects it.
    TNembraNotificationsClient& NotificationClient() const { return *m_notificationClient; }
    const std::string& Version() const { return m_version; }
    // True between the notification link's connect and disconnect events.
    bool VNSConnected() const { return m_vnsConnected; }

    // The notification client's events (main thread). A message is a command
    // word and a rest, split at the first blank after the first character;
    // the words are compared without regard to case:
    // - "$UPDATENOTIFICATIONS": 1724 (WM_NOTIFICATION) to the main window;
    // - "$invalidate_resources": ValidateCache;
    // - "$check_mail": 1434 (WM_NEWMAIL) when the rest is exactly the
    //   signed-in user's counter;
    // - "$broadcast": answers "$imhere " + the link's key token to the link
    //   whose "id" is the rest;
    // - anything else is ignored.
    void OnVNSMessage(TObject* Sender, const std::string& Text);
    // Names the user on the link ("user_id") and gives the cache the
    // DownloadWhen preference.
    void OnVNSConnected(TObject* Sender);
    // A cache that fetches newer files fetches every file until the link is
    // back.
    void OnVNSDisconnected(TObject* Sender);

    // Raise EovnController "Not logged" / "Not logged to DB" unless the main
    // window is signed in (to a database).
    void CheckLogged() const;
    void CheckDBLogged() const;
    bool GetConnected() const;
    bool GetDBConnected() const;

    TSecurityRecord GetSecurity(int SecurityIndex) const;

    // --- Applets
    // The info list again: cleared, then filled by the desktop's active
    // module window (1524, lParam = the list, dispatched at once); the
    // closing EndUpdate posts 4026 once, also when the window fails.
    void UpdateInfoBar();
    // (sign-in) Starts a new instance of the resource's applet in the view
    // of Module (-1: the menu row's module) for the applet Sender.
    bool RunAppletExt(int32_t Module, const std::string& Resource, int32_t Mode, const std::string& Params,
                      TObject* Sender);
    // The calendar picker on a data-entry control's edit (runCalendar):
    // True after OK or Clear.
    bool Calendar(TCustomEdit* Edit, TLookupTool Tool);

    // Server time: the main window's SysDateTime (the local clock plus the
    // server's offset; the local clock without a window), as an SQL time
    // stamp, and as text in the short date and long time formats.
    TDateTime SYSDATETIME() const;
    TSQLTimeStamp SYSSQLDATETIME() const;
    std::string SYSSTRDATETIME() const;

    // --- Resources
    // The cache folder: a relative CacheDir preference lies in the data
    // folder (where settings and logs live); an absolute one must be an
    // existing folder, else EovnController SNoCachePath.
    std::string GetCachePath() const;
    // Re-opens the cache: OS tag, folder (a relative one made this user's
    // alone), and the DownloadWhen preference when the cache has a
    // file-system address, else downloadNever. A failure leaves it inactive.
    void InitCache();
    // The local file of the resource, fetched first when the cache's option
    // says so; ResourceDownloaded tells whether it was, and a fetch is logged
    // "Downloaded new version of %s". Errors of the cache reach the caller.
    std::string GetResourceFile(const std::string& Resource);
    std::string DownloadResource(const std::string& Resource) { return GetResourceFile(Resource); }
    void AddResourceFile(const std::string& ResourceName, const std::string& FileName);
    void InvalidateResource(const std::string& Resource, int32_t Version);
    // Entries of these files become unknown (a null list: every entry).
    void InvalidateResourceFiles(const TStrings* Files);
    // The same for a comma text of file names.
    void InvalidateResourceFiles(const std::string& Files);
    void ValidateCache();
    // The cache's hook for a resource whose file name it does not know: the
    // main window's system procedure GetResourceFileName ("FILE_NAME" of
    // its first row); '' for a blank name. Runs on the main thread.
    void CheckResourceFileName(TObject* Sender, const std::string& ResourceName, const std::string& OS,
                               std::string& FileName);
    bool ResourceDownloaded() const { return m_resourceDownloaded.load(); }

    // Daily log file "ov4-yyyy-mm-dd.log" in the folder "log" of the data
    // folder; with ForceDir the folder is made first.
    std::string MakeLogFileName(TDateTime Date, bool ForceDir) const;
    // The eight-column log line (or, with Header, the column names).
    std::string DoFormatLogLine(TObject* Sender, TKldLogLevel ALogLevel, const std::string& Msg,
                                const std::string& Source, const std::string& Info, bool Header) const;
    // Alias of the current data database; '' without a window or database.
    std::string GetAlias() const;

    // --- Log upload
    // With ShowDialog the "Submit Log" dialog over DoSendLog, else DoSendLog.
    void SendLog(TDateTime Date, int32_t Days, bool ShowDialog);
    // Packs the daily logs of Days days ending with Date (below 1: one day;
    // missing days are left out, so the archive may be empty and is sent
    // all the same) into the archive LogArchiveName in a temporary folder
    // of this user's alone, and uploads it through the main window's
    // "UploadLog" with LogType "zip". The archive and its folder are
    // removed however the upload ends; its errors reach the caller.
    void DoSendLog(TDateTime Date, int32_t Days);
    // "ov4-yyyy-mm-dd-<Days>d.zip" for the day Date.
    std::string LogArchiveName(TDateTime Date, int32_t Days) const;
    // Writes the archive of the daily logs as DoSendLog sends it.
    void MakeLogArchive(const std::string& FileName, TDateTime Date, int32_t Days) const;

    // --- The facade (ovnControllerFacade.cpp). The client's own code and
    // applet libraries reach the main window through these; their names,
    // arguments and results stay as they are. Marked (sign-in) / (database):
    // CheckLogged / CheckDBLogged first, so nothing leaves before a session.
    TNembraConnection& GetSysConnection() const;
    TNembraDatabase& GetSysDB() const;
    std::string GetSysConnectionName() const;
    std::string GetSysDBName() const;
    // One connection serves both databases.
    TNembraConnection& GetDataConnection() const { return GetSysConnection(); }
    TNembraDatabase& GetDataDB() const;
    std::string GetDataConnectionName() const;
    std::string GetDataDBName() const;
    int32_t GetC_Alias_Enterprise() const;
    HWND GetBrowserHandle() const { return BrowserHandle(); }
    // (sign-in) The result of the add-on library's "RUNOBJECT" with Params.
    int32_t RunObject(const std::string& Resource, const std::string& Params);
    // The name of the module entry; "Module not found. Counter = \"%d\""
    // for an unknown counter.
    std::string GetModuleName(int32_t ModuleCounter) const;
    void AppletClosed(QWidget* Sender);
    // 1 the user list, 3 the mailbox, 10 the administration console; any
    // other kind does nothing.
    void RunSysApplet(int32_t Kind);
    TCustomImageList& GetIconList() const;
    void UpdateProgress(int32_t Position, const std::string& Text);
    // The modal debug viewer over a dataset / lines (nothing for null).
    void DebugDataset(TDataSet* DataSet);
    void DebugStrings(const TStrings* Strings);

    // (database) The next key of the table on the data database.
    int32_t GetAutoCounter(const std::string& TableName);
    // The next value of the system sequence "SEQ_" + the name after "TBL_";
    // a name not beginning with "TBL_", or whose rest is no plain name
    // (letters, digits, "_", "$", "#"), raises EovnClient.
    int32_t GetSysAutoCounter(const std::string& TableName);
    // The system plug-in's SetLock / ClearLock; the server refuses a path
    // another live session holds.
    void SetLock(const std::string& LockPath, const std::string& Description);
    void ClearLock(const std::string& LockPath);
    // "/" + alias + "/" + Name (the inner "/" only when both are given),
    // locked with Description; answers the path.
    std::string CreateLockWithAlias(const std::string& Name, const std::string& Description);
    // (sign-in) Always raises: mutexes gave way to locks.
    void CreateMutex(const std::string& A, const std::string& B, const std::string& C, const std::string& D,
                     const std::string& E);
    // Rights by resource: the menu row's "Security_Index", -1 when no row
    // has the resource (GetSecurity2 the same without the error box).
    TSecurityRecord GetSecurity(const std::string& Resource) const;
    TSecurityRecord GetSecurity2(const std::string& Resource) const;
    std::string GetUserHash() const;
    // Fills DataSet with the facilities the user may use; null raises
    // "Dataset not assigned".
    void GetUserFacilities(TovnDataSet* DataSet);
    // Does nothing: its outputs stay as given.
    void GetOnlineUser(const std::string& A, int32_t B, int32_t& C, std::string& D, const std::string& E);

    // Mail comes with the mail windows: False, nothing opened.
    bool SendOMail(const std::string& To, const std::string& Subject, const std::string& Message,
                   const std::string& FileName, bool AutoSend, bool Broadcast, int32_t Counter,
                   const std::string& CounterText, const std::string& MailType);
    void ViewMail(int32_t MailCounter);
    int32_t GetRestrictedAdCategory() const;
    void SetRestrictedAdCategory(int32_t Value);

    // The open view of the module entry (null when not open); an unknown
    // counter raises "Module not found. Counter = \"%d\"".
    QWidget* GetModuleView(int32_t ModuleCounter) const;
    // Both ignore their arguments and show the info bar again.
    void SetModuleInfo(int32_t Index, const std::string& Text, const QFont* Font);
    void SetModuleInfoEx(int32_t Index, const std::string& Text, const std::string& Text2);

    // Retired: both raise "BlockingViews are deprecated".
    bool GetBlockingViews() const;
    void SetBlockingViews(bool Value);

    // --- Program update
    // The update step with the UpdateURL preference (the main window's check
    // at first show, bound by the constructor); True when the update helper
    // was started and the client must end. Errors go to the program's error
    // boundary and answer False.
    bool CheckKernelUpdate();

  protected:
    // Where the controller posts its window messages: the main window.
    virtual HWND BrowserHandle() const;

  private:
    void UpdateVersion();

    bool m_active = false;
    std::unique_ptr<TAdminUser> m_user;
    // The user and database columns of the log line as the main thread last
    // wrote them: worker threads log too, and must not read the user record
    // or the window while the main thread changes them.
    struct TLogSession
    {
        std::string UserID;
        std::string UserType;
        std::string Alias;
    };
    mutable std::mutex m_logSessionLock;
    mutable TLogSession m_logSession;
    std::unique_ptr<TovnPreferences> m_preferences;
    std::unique_ptr<TovnSysPreferences> m_sysPreferences;
    std::unique_ptr<TovnConnections> m_connections;
    std::unique_ptr<TovnInfoList> m_infoList;
    std::unique_ptr<TNembraNotificationsClient> m_notificationClient;
    std::unique_ptr<TNembraFileSystemCache> m_cache;
    TfrmOrvaneBrowser4* m_browser = nullptr; // owned here unless it is the main form
    std::unique_ptr<TParams> m_params;
    std::unique_ptr<TVars> m_vars;
    std::string m_version;
    // Written by the preload thread too.
    std::atomic<bool> m_resourceDownloaded{false};
    bool m_vnsConnected = false;
};
