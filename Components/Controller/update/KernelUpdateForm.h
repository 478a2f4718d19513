#pragma once
// The program update step `TfrmKernelUpdate` ("Browser Update").
//
// At the main window's first show the controller asks Execute(UpdateURL)
// whether a newer client exists: the local "version.txt" (the line
// "version") against the endpoint's "version.txt" (lines "version", "file"
// and "filesize"). When they differ it offers the update; on "Update" it
// downloads the setup program into the folder "update", packs the program
// folder's top-level files into "backup/ov4backup.zip", copies the update
// helper `Swaplet` into "backup", creates the marker "$update$" and starts
// the helper with five arguments, then closes with OK: the client ends so
// that the setup can replace its files.
//
// On this platform:
// - the helper is "Swaplet" and gets the five values as separate
//   arguments; the fifth is the client's arguments joined by the
//   command-line rules (platform/Processes.h), which the helper splits back;
// - the downloaded setup is made executable once its size is right, and the
//   helper's copy keeps its permission bits;
// - each backup member keeps its file's mode (type and permission bits) in
//   the high 16 bits of the external attributes (as Unix zip tools do), so
//   that the restore gives a restored program back its execute bit.
//
// Everything read from outside is checked: an unreadable or garbled
// "version.txt", an HTML page, a non-numeric "filesize" make no offer; a
// "file" whose bare name is empty, "." or ".." is an invalid update file and
// nothing is written. Any error of the running steps is reported through
// the program's error boundary, no marker stays behind and the client goes
// on.
//
// Program file and arguments are settings (defaulting to the running
// program's), so that tests work in a temporary program folder.
//
// User-interface thread only.

#include "platform/Forms.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class TKldProgressMonitor;
class TNembraConnection;
class TNembraRequest;

struct TKernelUpdateSettings
{
    std::string ProgramFile;             // the running program file
    std::vector<std::string> Arguments;  // the client's own arguments
};
// The running program's file and arguments.
TKernelUpdateSettings DefaultKernelUpdateSettings();

// What the endpoint's "version.txt" offers: its name=value lines "version",
// "file" and "filesize", each trimmed; an empty "file" is DefaultSetup, a
// "filesize" that is not a whole number is 0. Any text reads (an HTML page
// offers nothing, as it names no version).
struct TUpdateOffer
{
    std::string Version;
    std::string SetupFile;
    int64_t Size = 0;
};
TUpdateOffer ReadUpdateOffer(const std::string& Text, const std::string& DefaultSetup);
// The installed version from the local "version.txt" text ("version").
std::string ReadInstalledVersion(const std::string& Text);
// Whether the offer is an update over the installed version: a size above
// 0, a setup file and a version that differs without regard to case.
bool IsUpdateOffered(const TUpdateOffer& Offer, const std::string& InstalledVersion);
// True for a setup file whose bare name may be written into the update
// folder (not empty, not "." or "..").
bool IsValidSetupFileName(const std::string& SetupFile);

// The update helper's file name in the program folder.
extern const char* const UpdateHelperFileName;

class TfrmKernelUpdate : public TDialogForm
{
  public:
    explicit TfrmKernelUpdate(QWidget* parent = nullptr,
                              const TKernelUpdateSettings& Settings = DefaultKernelUpdateSettings());
    ~TfrmKernelUpdate() override;
    std::string ClassName() const override { return "TfrmKernelUpdate"; }

    // True when the update helper was started and the client must end.
    // Shows nothing when no update is offered.
    static bool Execute(const std::string& URL);
    static bool Execute(const std::string& URL, const TKernelUpdateSettings& Settings);

    // Reads both "version.txt" and answers whether to offer the update; sets
    // the offer text.
    bool CheckNewVersion(const std::string& URL);
    void GetKernelUpdate();
    void BackupKernelFiles();
    void RunUpdate();

    // "Update" (while not running) and "Cancel" (the same button while
    // running).
    void btnUpdateClick();
    // The offer text for the offered version, and the look of the running
    // steps (labels and "Later" hidden, "Cancel"); CheckNewVersion and
    // "Update" use them.
    void ShowOffer(const std::string& Version);
    void BeginRunning();

    // Only while running: the bar's maximum and position, the status text.
    void DoProgress(int Position, int Max, const std::string& Text);
    void NextProgress(const std::string& Text);
    // The progress monitor's event: the download's notices.
    void OnProgress(TObject* Sender, const std::string& Proc, int32_t Progress, const std::string& Message,
                    bool& Abort);

    bool Running() const { return m_running; }
    const std::string& ProgramPath() const { return m_programPath; }
    const std::string& BackupPath() const { return m_backupPath; }
    const std::string& UpdatePath() const { return m_updatePath; }
    const std::string& InstalledVersion() const { return m_installedVersion; }
    const std::string& OfferedVersion() const { return m_offeredVersion; }
    // The name from "version.txt", then the downloaded file's full path.
    const std::string& SetupFile() const { return m_setupFile; }
    int64_t ExpectedSize() const { return m_expectedSize; }
    // The helper's five arguments (known once RunUpdate built them).
    const std::vector<std::string>& HelperArguments() const { return m_helperArguments; }

    QLabel* lblTitle() const { return m_lblTitle; }
    QLabel* lblOffer() const { return m_lblOffer; }
    QLabel* lblStatus() const { return m_lblStatus; }
    QProgressBar* pbProgress() const { return m_pbProgress; }
    QPushButton* btnUpdate() const { return m_btnUpdate; }
    QPushButton* btnLater() const { return m_btnLater; }

  protected:
    void CloseQuery(bool& CanClose) override;

  private:
    void CancelUpdate();
    void CheckRunning() const;

    TKernelUpdateSettings m_settings;
    std::string m_programPath;
    std::string m_backupPath;
    std::string m_updatePath;
    std::string m_installedVersion;
    std::string m_offeredVersion;
    std::string m_setupFile;
    int64_t m_expectedSize = 0;
    bool m_running = false;
    bool m_cancelling = false;
    std::vector<std::string> m_helperArguments;

    std::unique_ptr<TNembraConnection> m_connection;
    std::unique_ptr<TNembraRequest> m_request;
    std::unique_ptr<TKldProgressMonitor> m_monitor;

    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblOffer = nullptr;
    QLabel* m_lblStatus = nullptr;
    QProgressBar* m_pbProgress = nullptr;
    QPushButton* m_btnUpdate = nullptr;
    QPushButton* m_btnLater = nullptr;
};
