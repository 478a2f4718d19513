// The program update step against the local application server's update
// endpoint (appserver --update-dir), in a temporary program folder with a
// copy of the built update helper and a stand-in client
// (tests/launcher_helpers/FakeClient.cpp). The end-to-end case runs the real
// helper, which runs a setup script and restarts the stand-in client.

#include "Components/Controller/update/KernelUpdateForm.h"

#include "Components/Controller/files/KldSciZipFile.h"
#include "Components/Controller/ovnController.h"
#include "platform/Dialogs.h"
#include "platform/FileUtils.h"
#include "support/AppServerProcess.h"
#include "support/BoundaryErrors.h"
#include "support/BuiltFile.h"
#include "support/DialogScript.h"
#include "support/EventLoopWait.h"
#include "support/TempFolder.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KLD_SWAPLET
#error "the update tests need the path of the built helper (KLD_SWAPLET)"
#endif

namespace {

void WriteFile(const std::string& FileName, const std::string& Content, uint32_t Mode)
{
    WriteText(FileName, Content);
    ::chmod(FileName.c_str(), Mode);
}

// True while a process runs the program file (its copy in the backup folder).
bool ProgramRuns(const std::string& ProgramFile)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (dirent* entry = ::readdir(proc)) {
        char target[4096];
        const std::string link = std::string("/proc/") + entry->d_name + "/exe";
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == ProgramFile)
            found = true;
    }
    ::closedir(proc);
    return found;
}

// A socket file: listed among the folder's files, but opening it fails.
void BindSocket(const std::string& Path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(Path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, Path.c_str(), Path.size() + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

// The setup the endpoint offers: writes the new version into the /DIR=
// folder and exits with Code.
std::string SetupScript(int Code, const std::string& Before = "")
{
    return "#!/bin/sh\n" + Before +
           "for a; do case \"$a\" in /DIR=*) dir=\"${a#/DIR=}\";; esac; done\n"
           "printf 'version=4.1.0.0\\n' > \"${dir}version.txt\"\n"
           "exit " +
           std::to_string(Code) + "\n";
}

class KernelUpdateTest : public ::testing::Test
{
  protected:
    KernelUpdateTest() : Server({"--update-dir", UpdateDir.Path()}) {}

    void SetUp() override
    {
        Program = ProgramDir.Path();
        URL = "http://127.0.0.1:" + std::to_string(Server.Port()) + "/update";
        ASSERT_TRUE(CopyFile(BuiltFile(KLD_FAKE_CLIENT), Program + "Tallowin", false));
        ::chmod((Program + "Tallowin").c_str(), 0755);
        ASSERT_TRUE(CopyFile(BuiltFile(KLD_SWAPLET), Program + "Swaplet", false));
        ::chmod((Program + "Swaplet").c_str(), 0755);
        WriteFile(Program + "version.txt", "version=4.0.0.0\n", 0644);
        WriteFile(Program + "libMirabo.so", std::string(70000, 'm'), 0755);
        WriteFile(Program + "Tallowin.ini", "[UPDATE]\nAutoUpdate=TRUE\n", 0664);
        // Never backed up: the uninstaller's files and the marker.
        WriteText(Program + "unins000.dat", "uninstall data");
        WriteText(Program + "Unins000.exe", "uninstaller");
        ForceDirectories(Program + "log");
        WriteText(Program + "log/ov4.log", "a folder's file");
        Settings.ProgramFile = Program + "Tallowin";
        Settings.Arguments = {"-debug", "/instances"};
        m_savedSetupFile = DefaultSetupFile;
    }
    void TearDown() override { DefaultSetupFile = m_savedSetupFile; }

    void Offer(const std::string& Version, const std::string& Setup, int Code = 0, int64_t SizeDelta = 0)
    {
        WriteFile(UpdateDir / "setup.sh", Setup.empty() ? SetupScript(Code) : Setup, 0644);
        const int64_t size = FileSize(UpdateDir / "setup.sh") + SizeDelta;
        WriteText(UpdateDir / "version.txt",
                  "version=" + Version + "\nfile=setup.sh\nfilesize=" + std::to_string(size) + "\n");
    }

    // Members of the backup archive with their permission bits.
    std::map<std::string, uint32_t> BackupMembers(const std::string& Archive) const
    {
        std::map<std::string, uint32_t> members;
        TKldZipFile zip;
        zip.OpenZipFile(Archive);
        for (int i = 0; i < zip.GetFileCount(); ++i)
        {
            // The low bits are the attributes 0; above them the file's mode.
            EXPECT_EQ(zip.GetFileInfo(i).ExternalAttributes & 0xFFFF, 0u);
            members[zip.GetFileInfo(i).ZipName] = zip.GetFileInfo(i).ExternalAttributes >> 16;
        }
        return members;
    }

    // Runs the update and clicks its button (Cancel while it runs) once, as
    // soon as the status begins with Status; AtClick sees the dialog just
    // before. False when the status never showed.
    static bool UpdateClickingAt(TfrmKernelUpdate& Dialog, const QString& Status,
                                 const std::function<void()>& AtClick = nullptr)
    {
        bool clicked = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!clicked && Dialog.lblStatus()->text().startsWith(Status)) {
                clicked = true;
                if (AtClick)
                    AtClick();
                Dialog.btnUpdate()->click();
            }
        });
        poll.start(0);
        Dialog.btnUpdateClick();
        return clicked;
    }

    TTempFolder UpdateDir;
    TAppServerProcess Server;
    TTempFolder ProgramDir;
    std::string Program, URL;
    TKernelUpdateSettings Settings;
    TDialogScript Dialogs;

  private:
    std::string m_savedSetupFile;
};

} // namespace

TEST_F(KernelUpdateTest, CheckNewVersion)
{
    struct Case
    {
        const char* Desc;
        const char* Local;  // null: no local file
        const char* Remote; // null: no remote file
        bool Offered;
        const char* SetupFile;
    };
    const Case cases[] = {
        {"newer", "version=4.0.0.0\n", "version=4.1.0.0\nfile=setup.sh\nfilesize=10\n", true, "setup.sh"},
        {"no local file", nullptr, "version=4.1.0.0\nfile=setup.sh\nfilesize=10\n", true, "setup.sh"},
        {"blanks around the values", "version= x \n", "version= 4.1 \r\nfile= s.sh \r\nfilesize= 7 \r\n", true,
         "s.sh"},
        {"the same in other case", "version=V4.1.0.0-rc\n", "version=v4.1.0.0-RC\nfile=setup.sh\nfilesize=10\n",
         false, nullptr},
        {"no file: the brand's setup", "version=4.0.0.0\n", "version=4.1.0.0\nfilesize=10\n", true,
         "BrandSetup.sh"},
        {"filesize 0", "version=4.0.0.0\n", "version=4.1.0.0\nfile=setup.sh\nfilesize=0\n", false, nullptr},
        {"filesize not a number", "version=4.0.0.0\n", "version=4.1.0.0\nfile=setup.sh\nfilesize=12kB\n", false,
         nullptr},
        {"no filesize", "version=4.0.0.0\n", "version=4.1.0.0\nfile=setup.sh\n", false, nullptr},
        {"no version", "version=4.0.0.0\n", "file=setup.sh\nfilesize=10\n", false, nullptr},
        {"an HTML page", "version=4.0.0.0\n", "<html><body>version 4.1 is out</body></html>\n", false, nullptr},
        {"garbled", "version=4.0.0.0\n", "\x01\x02\xff\xfe=\x00\x10", false, nullptr},
        {"no remote file", "version=4.0.0.0\n", nullptr, false, nullptr},
    };
    DefaultSetupFile = "BrandSetup.sh";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        DeleteFile(Program + "version.txt");
        if (c.Local)
            WriteText(Program + "version.txt", c.Local);
        DeleteFile(UpdateDir / "version.txt");
        if (c.Remote)
            WriteText(UpdateDir / "version.txt", c.Remote);
        TfrmKernelUpdate dialog(nullptr, Settings);
        EXPECT_EQ(dialog.CheckNewVersion(URL), c.Offered);
        if (c.Offered) {
            EXPECT_EQ(dialog.SetupFile(), c.SetupFile);
            EXPECT_EQ(dialog.lblOffer()->text().toStdString(),
                      "There is a new version of the program is available (" + dialog.OfferedVersion() +
                          ").\nWould you like to install it?");
        }
        if (!c.Local) {
            EXPECT_EQ(dialog.InstalledVersion(), "");
        }
    }
    EXPECT_EQ(Dialogs->Calls().size(), 0u) << "checking asks nothing";
}

TEST_F(KernelUpdateTest, NoOfferFromAddressesItCannotUse)
{
    WriteText(UpdateDir / "version.txt", "version=4.1.0.0\nfile=setup.sh\nfilesize=10\n");
    // A port that was free a moment ago: nothing listens there.
    TAppServerProcess* gone = new TAppServerProcess();
    const std::string closed = "http://127.0.0.1:" + std::to_string(gone->Port()) + "/update";
    delete gone;
    for (const std::string& address : {std::string("ftp://127.0.0.1/update"), std::string(""), closed}) {
        SCOPED_TRACE(address);
        TfrmKernelUpdate dialog(nullptr, Settings);
        EXPECT_FALSE(dialog.CheckNewVersion(address));
        EXPECT_FALSE(TfrmKernelUpdate::Execute(address, Settings)) << "nothing shown, nothing started";
    }
    EXPECT_FALSE(FileExists(Program + "$update$"));
}

TEST_F(KernelUpdateTest, LaterClosesTheOfferAndTheClientGoesOn)
{
    Offer("4.1.0.0", "");
    std::string title, offer;
    const auto shown = WhenModal<TfrmKernelUpdate>([&](TfrmKernelUpdate& dialog) {
        title = dialog.windowTitle().toStdString();
        offer = dialog.lblOffer()->text().toStdString();
        EXPECT_TRUE(dialog.lblTitle()->isVisible());
        EXPECT_EQ(dialog.lblTitle()->text().toStdString(), "New version of the program is available");
        EXPECT_EQ(dialog.btnUpdate()->text().toStdString(), "Update");
        EXPECT_FALSE(dialog.pbProgress()->isVisible());
        dialog.btnLater()->click();
    });
    EXPECT_FALSE(TfrmKernelUpdate::Execute(URL, Settings));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(title, "Browser Update");
    EXPECT_EQ(offer, "There is a new version of the program is available (4.1.0.0).\nWould you like to install it?");
    EXPECT_FALSE(FileExists(Program + "update/setup.sh"));
    EXPECT_FALSE(FileExists(Program + "$update$"));
}

TEST_F(KernelUpdateTest, UpdateBacksUpStartsTheHelperAndTheHelperRestartsTheClient)
{
    // The setup takes a second, so the marker is still there when the
    // update step has ended.
    const std::string setup = SetupScript(0, "sleep 1\n");
    Offer("4.1.0.0", setup);
    // A marker an earlier attempt left behind, and one it moved aside.
    WriteText(Program + "$update$", "");
    WriteText(Program + "$UPDATE$1", "");
    TfrmKernelUpdate dialog(nullptr, Settings);
    ASSERT_TRUE(dialog.CheckNewVersion(URL));
    dialog.btnUpdateClick();
    ASSERT_EQ(dialog.ModalResult(), mrOk);

    // The download, executable once its size was right.
    EXPECT_EQ(dialog.SetupFile(), Program + "update/setup.sh");
    EXPECT_EQ(ReadText(Program + "update/setup.sh"), setup);
    EXPECT_TRUE(FileExists(Program + "$update$")) << "the marker, until the restarted client deletes it";
    EXPECT_NE(ModeOf(Program + "update/setup.sh") & 0100, 0u);

    // The backup: top-level files only, no uninstaller, no marker, no
    // folders, each with its permission bits.
    const std::map<std::string, uint32_t> expected = {
        {"Swaplet", 0100755},      {"Tallowin", 0100755},    {"Tallowin.ini", 0100664},
        {"libMirabo.so", 0100755}, {"version.txt", 0100644},
    };
    EXPECT_EQ(BackupMembers(Program + "backup/ov4backup.zip"), expected);
    {
        TKldZipFile zip;
        zip.OpenZipFile(Program + "backup/ov4backup.zip");
        TMemoryStream content;
        zip.ReadFileStream(zip.GetFile("libMirabo.so"), content);
        EXPECT_EQ(content.Size(), 70000);
        EXPECT_EQ(zip.GetFileInfo(zip.GetFile("libMirabo.so")).Method, 8);
    }
    // Unix zip tools read the same permission bits.
    if (FILE* pipe = ::popen(("zipinfo '" + Program + "backup/ov4backup.zip' libMirabo.so 2>/dev/null").c_str(), "r")) {
        char line[512] = {};
        const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
        if (::pclose(pipe) == 0 && read) {
            EXPECT_EQ(std::string(line).substr(0, 10), "-rwxr-xr-x") << line;
        }
    }
    // The helper's copy keeps its execute bit; its five values.
    EXPECT_EQ(ModeOf(Program + "backup/Swaplet"), 0755u);
    EXPECT_EQ(dialog.HelperArguments(),
              (std::vector<std::string>{Program, Program + "update/setup.sh", Program + "backup/ov4backup.zip",
                                        Program + "Tallowin", "-debug /instances"}));

    // The helper runs the setup, starts the client, which deletes the
    // marker, and ends by itself.
    ASSERT_TRUE(RunEventsUntil([&] { return ReadText(Program + "client-runs.txt").find('\n') != std::string::npos; },
                               std::chrono::seconds(60)));
    EXPECT_EQ(ReadText(Program + "client-runs.txt"), "-debug | /instances\n");
    EXPECT_EQ(ReadText(Program + "version.txt"), "version=4.1.0.0\n");
    EXPECT_TRUE(RunEventsUntil([&] { return !ProgramRuns(Program + "backup/Swaplet"); }, std::chrono::seconds(60)));
    EXPECT_FALSE(FileExists(Program + "$update$"));
}

TEST_F(KernelUpdateTest, ShortDownloadFailsTheSizeCheck)
{
    Offer("4.1.0.0", "", 0, +1);
    TBoundaryErrors errors;
    TfrmKernelUpdate dialog(nullptr, Settings);
    ASSERT_TRUE(dialog.CheckNewVersion(URL));
    dialog.btnUpdateClick();
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
    ASSERT_EQ(errors.Reports.size(), 1u);
    EXPECT_NE(errors.Reports[0].find("Invalid update file. Update failed."), std::string::npos) << errors.Reports[0];
    EXPECT_TRUE(FileExists(Program + "update/setup.sh")) << "the file stays";
    EXPECT_EQ(ModeOf(Program + "update/setup.sh") & 0111, 0u) << "never made executable";
    EXPECT_FALSE(FileExists(Program + "backup/ov4backup.zip"));
    EXPECT_FALSE(FileExists(Program + "$update$"));
}

TEST_F(KernelUpdateTest, CancelDuringTheBackupKeepsTheFilesAddedSoFar)
{
    Offer("4.1.0.0", "");
    // A first update's archive, and an older one before it.
    ForceDirectories(Program + "backup");
    WriteText(Program + "backup/ov4backup.zip", "first backup");
    WriteText(Program + "backup/todelete-ov4backup.zip", "older backup");

    TfrmKernelUpdate dialog(nullptr, Settings);
    ASSERT_TRUE(dialog.CheckNewVersion(URL));
    Dialogs->QueueAnswer(mrYes);
    ASSERT_TRUE(UpdateClickingAt(dialog, "Backing up: "));
    EXPECT_EQ(Dialogs->Texts(), (std::vector<std::string>{"Cancel update?"}));
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
    EXPECT_FALSE(dialog.Running());
    EXPECT_EQ(BackupMembers(Program + "backup/ov4backup.zip").size(), 1u) << "the file added before the stop";
    EXPECT_EQ(ReadText(Program + "backup/todelete-ov4backup.zip"), "first backup");
    EXPECT_FALSE(FileExists(Program + "backup/Swaplet"));
    EXPECT_FALSE(FileExists(Program + "$update$"));
}

TEST_F(KernelUpdateTest, CancelDuringTheDownloadStopsBeforeTheBackup)
{
    Offer("4.1.0.0", "");
    TBoundaryErrors errors;
    TfrmKernelUpdate dialog(nullptr, Settings);
    ASSERT_TRUE(dialog.CheckNewVersion(URL));
    Dialogs->QueueAnswer(mrYes);
    std::string status;
    ASSERT_TRUE(UpdateClickingAt(dialog, "Downloading update file: ", [&] {
        status = dialog.lblStatus()->text().toStdString();
        EXPECT_TRUE(dialog.pbProgress()->isVisibleTo(&dialog));
        EXPECT_EQ(dialog.btnUpdate()->text().toStdString(), "Cancel");
        EXPECT_FALSE(dialog.btnLater()->isVisibleTo(&dialog));
    }));
    EXPECT_EQ(status, "Downloading update file: setup.sh");
    EXPECT_EQ(Dialogs->Texts(), (std::vector<std::string>{"Cancel update?"}));
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
    EXPECT_FALSE(dialog.Running());
    EXPECT_FALSE(dialog.btnUpdate()->isEnabled());
    EXPECT_TRUE(errors.Reports.empty()) << "the user's cancel is no error";
    EXPECT_FALSE(FileExists(Program + "backup/ov4backup.zip"));
    EXPECT_FALSE(FileExists(Program + "backup/Swaplet"));
    EXPECT_FALSE(FileExists(Program + "$update$"));
}

TEST_F(KernelUpdateTest, AnsweringNoToCancelGoesOn)
{
    Offer("4.1.0.0", SetupScript(0, "sleep 1\n"));
    TfrmKernelUpdate dialog(nullptr, Settings);
    ASSERT_TRUE(dialog.CheckNewVersion(URL));
    Dialogs->QueueAnswer(mrNo);
    ASSERT_TRUE(UpdateClickingAt(dialog, "Backing up: "));
    EXPECT_EQ(Dialogs->Texts(), (std::vector<std::string>{"Cancel update?"}));
    EXPECT_EQ(dialog.ModalResult(), mrOk);
    EXPECT_EQ(dialog.lblStatus()->text().toStdString(), "Run Setup");
    EXPECT_EQ(dialog.pbProgress()->value(), dialog.pbProgress()->maximum());
    EXPECT_TRUE(FileExists(Program + "$update$"));
    // The helper started: let it finish its work before the folder goes.
    EXPECT_TRUE(RunEventsUntil([&] { return !ProgramRuns(Program + "backup/Swaplet"); }, std::chrono::seconds(60)));
}

TEST_F(KernelUpdateTest, FailuresAreReportedAndLeaveNoMarker)
{
    struct Case
    {
        const char* Desc;
        std::function<void()> Arrange;
        const char* Error;
    };
    const Case cases[] = {
        {"no setup name", [&] { WriteText(UpdateDir / "version.txt", "version=5\nfile=..\nfilesize=9\n"); },
         "Invalid update file. Update failed."},
        {"a folder as setup name", [&] { WriteText(UpdateDir / "version.txt", "version=5\nfile=x/\nfilesize=9\n"); },
         "Invalid update file. Update failed."},
        {"setup missing on the endpoint", [&] { DeleteFile(UpdateDir / "setup.sh"); }, "404"},
        {"names that differ in case only", [&] { WriteText(Program + "TALLOWIN.INI", "x"); }, ""},
        {"no helper", [&] { DeleteFile(Program + "Swaplet"); }, "Swaplet"},
        // A file that no one can open for reading, the superuser neither.
        {"an unreadable file", [&] { BindSocket(Program + "agent.sock"); }, "agent.sock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Offer("4.1.0.0", "");
        c.Arrange();
        DeleteDirectoryTree(Program + "update");
        TBoundaryErrors errors;
        TfrmKernelUpdate dialog(nullptr, Settings);
        ASSERT_TRUE(dialog.CheckNewVersion(URL));
        dialog.btnUpdateClick();
        EXPECT_EQ(dialog.ModalResult(), mrCancel);
        ASSERT_EQ(errors.Reports.size(), 1u);
        EXPECT_NE(errors.Reports[0].find(c.Error), std::string::npos) << errors.Reports[0];
        EXPECT_FALSE(FileExists(Program + "$update$"));
        if (std::string(c.Error).find("Invalid") == 0) {
            EXPECT_TRUE(FindFiles(Program + "update/", "*", true).empty()) << "nothing written";
        }
        DeleteFile(Program + "TALLOWIN.INI");
        DeleteFile(Program + "agent.sock");
        if (!FileExists(Program + "Swaplet"))
            CopyFile(BuiltFile(KLD_SWAPLET), Program + "Swaplet", false);
    }
}

TEST_F(KernelUpdateTest, ReadOnlyProgramFolderIsReported)
{
    // Nothing can be written below a path whose parent is a file, not even
    // by the superuser (who writes into folders without write permission).
    Offer("4.1.0.0", "");
    WriteText(Program + "not-a-folder", "");
    const std::string folder = Program + "not-a-folder/";
    Settings.ProgramFile = folder + "Tallowin";
    TBoundaryErrors errors;
    TfrmKernelUpdate dialog(nullptr, Settings);
    ASSERT_TRUE(dialog.CheckNewVersion(URL));
    dialog.btnUpdateClick();
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
    ASSERT_EQ(errors.Reports.size(), 1u);
    EXPECT_NE(errors.Reports[0].find("Cannot create folder \"" + folder + "update/\""), std::string::npos)
        << errors.Reports[0];
}
