// The update helper's window run in this process with short waits, on a
// temporary program folder: a stand-in client (tests/launcher_helpers/
// FakeClient.cpp) records how it was started and deletes the marker, and
// setup programs are small shell scripts.

#include "updater/SwapletForm.h"
#include "Components/Controller/update/ProgramRestore.h"

#include "platform/FileUtils.h"
#include "platform/Processes.h"
#include "platform/SysUtils.h"
#include "support/BuiltFile.h"
#include "support/EventLoopWait.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

#ifndef KLD_SWAPLET
#error "the update helper tests need the path of the built helper (KLD_SWAPLET)"
#endif

namespace {

void WriteFile(const std::string& FileName, const std::string& Content, uint32_t Mode)
{
    WriteText(FileName, Content);
    ::chmod(FileName.c_str(), Mode);
}

std::string BigContent(size_t Size)
{
    std::string s(Size, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

// True while the process can still run code: it exists and has not ended
// (an ended process whose parent never collects it runs nothing).
bool ProcessLives(const std::string& PidText)
{
    std::ifstream in("/proc/" + Trim(PidText) + "/stat");
    std::string stat;
    if (Trim(PidText).empty() || !std::getline(in, stat))
        return false;
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' &&
           stat[close + 2] != 'X';
}

// One file of the program folder as it was before the update.
struct TProgramFile
{
    std::string Name;
    std::string Content;
    uint32_t Mode;
};

// A program folder with its backup archive (as the update step leaves
// them), the stand-in client as "Tallowin" and the marker.
class SwapletTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Program = Dir.Path();
        ForceDirectories(Program + "backup");
        Client = Program + "Tallowin";
        ASSERT_TRUE(CopyFile(BuiltFile(KLD_FAKE_CLIENT), Client, false));
        ::chmod(Client.c_str(), 0755);
        Files = {
            {"version.txt", "version=4.0.0.0\n", 0644},
            // Above the zip reader's default in-memory limit of 10,000,000.
            {"libMirabo.so", BigContent(10500000), 0755},
            {"notes.txt", "group-writable\n", 0664},
        };
        RawZip::Archive archive;
        for (const TProgramFile& f : Files) {
            RawZip::Member m(f.Name, f.Content, f.Content.size() > 1000000 ? 0 : 8);
            m.MadeBy = (3 << 8) | 20;
            m.ExternalAttributes = (0100000u | f.Mode) << 16;
            archive.Members.push_back(m);
            WriteFile(Program + f.Name, f.Content, f.Mode);
        }
        Backup = Program + "backup/ov4backup.zip";
        WriteText(Backup, archive.Bytes());
        CreateMarker();
    }

    void CreateMarker() { WriteText(Program + "$update$", ""); }
    bool MarkerExists() const { return FileExists(Program + "$update$"); }

    std::string Setup(const std::string& Body)
    {
        const std::string setup = Program + "update/setup.sh";
        ForceDirectories(Program + "update");
        WriteFile(setup, "#!/bin/sh\n" + Body + "\n", 0755);
        return setup;
    }

    std::vector<std::string> Args(const std::string& SetupFile, bool WithParams = true) const
    {
        std::vector<std::string> args = {Program, SetupFile, Backup, Client};
        if (WithParams)
            args.push_back("-debug /instances");
        return args;
    }

    static TSwapletTimings Short()
    {
        TSwapletTimings t;
        t.WaitStep = 20;
        t.SetupLimit = 5000;
        t.CheckInterval = 50;
        t.CheckLimit = 1000;
        return t;
    }

    // The argument lines the client was started with, once it ran N times.
    std::vector<std::string> ClientRuns(size_t N) const
    {
        std::vector<std::string> lines;
        RunEventsUntil([&] {
            lines.clear();
            std::istringstream in(ReadText(Program + "client-runs.txt"));
            for (std::string line; std::getline(in, line);)
                lines.push_back(line);
            return lines.size() >= N;
        });
        return lines;
    }

    void ExpectProgramFilesBack() const
    {
        for (const TProgramFile& f : Files) {
            SCOPED_TRACE(f.Name);
            EXPECT_TRUE(ReadText(Program + f.Name) == f.Content) << "content differs";
            EXPECT_EQ(ModeOf(Program + f.Name), f.Mode);
        }
    }

    TTempFolder Dir;
    std::string Program, Client, Backup;
    std::vector<TProgramFile> Files;
};

// Terminations counted instead of quitting the test's application.
struct TWatchedSwaplet
{
    TWatchedSwaplet(const std::vector<std::string>& Args, const TSwapletTimings& Timings)
        : Window(Args, Timings, [this] { ++Terminations; })
    {
    }
    int Terminations = 0; // before the window, which may end while it is made
    TfrmSwaplet Window;
};

} // namespace

TEST(SwapletCommandLine, Arguments)
{
    TSwapletCommandLine c;
    EXPECT_FALSE(SwapletCommandLine({"/p/", "/p/update/setup", "/p/backup/ov4backup.zip"}, c));
    EXPECT_FALSE(SwapletCommandLine({}, c));

    ASSERT_TRUE(SwapletCommandLine({"  /opt/app  ", "/s", "/b/ov4backup.zip", "/opt/app/Tallowin"}, c));
    EXPECT_EQ(c.ProgramPath, "/opt/app/");
    EXPECT_EQ(c.SetupFile, "/s");
    EXPECT_EQ(c.BackupFile, "/b/ov4backup.zip");
    EXPECT_EQ(c.ClientFile, "/opt/app/Tallowin");
    EXPECT_EQ(c.ClientParams, "");

    ASSERT_TRUE(SwapletCommandLine({"/opt/app/", "/s", "/b", "/c", "-debug /instances"}, c));
    EXPECT_EQ(c.ProgramPath, "/opt/app/");
    EXPECT_EQ(c.ClientParams, "-debug /instances");

    EXPECT_EQ(SwapletSetupParams("/opt/my app/"), "/VERYSILENT /SUPPRESSMSGBOXES /DIR=\"/opt/my app/\"");
    EXPECT_EQ(SplitCommandLine(SwapletSetupParams("/opt/my app/")),
              (std::vector<std::string>{"/VERYSILENT", "/SUPPRESSMSGBOXES", "/DIR=/opt/my app/"}));
}

TEST(SwapletWindow, StatesShowTheirTextsPicturesAndButtons)
{
    struct Case
    {
        TSwapletState State;
        const char* Header;
        const char* Message;
        bool Success, Restore, RestoreButton, CloseButton;
    };
    const Case cases[] = {
        {ssInstalling, "Installing updates.",
         "Please wait while the updates is being installed.\nThis may take a few minutes.", false, false, false,
         false},
        {ssDone, "The installation was sucessfull.", "The program will start now.", true, false, false, true},
        {ssFailed, "A fatal error during installation.", "Restore previous version?", false, true, true, true},
        {ssRestoring, "Restoring previous version.", "", false, true, false, false},
        {ssRestoreFailed, "Restore failed", "Invalid zip file format", false, true, false, true},
    };
    TfrmSwaplet window({"/p/", "/s", "/b", "/c"}, {});
    window.OnTerminate = [] {};
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.windowTitle().toStdString(), "Update Installation");
    EXPECT_EQ(window.size(), QSize(431, 136));
    const QPoint restorePlace = window.btnRestore()->pos();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Header);
        window.ShowState(c.State, "Invalid zip file format");
        EXPECT_EQ(window.lblHeader()->text().toStdString(), c.Header);
        EXPECT_EQ(window.lblMessage()->text().toStdString(), c.Message);
        EXPECT_EQ(window.lblMessage()->isVisibleTo(&window), std::string(c.Message) != "");
        EXPECT_EQ(window.imgSuccess()->isVisibleTo(&window), c.Success);
        EXPECT_EQ(window.imgRestore()->isVisibleTo(&window), c.Restore);
        EXPECT_EQ(window.btnRestore()->isVisibleTo(&window), c.RestoreButton);
        EXPECT_EQ(window.btnClose()->isVisibleTo(&window), c.CloseButton);
        if (c.RestoreButton)
            EXPECT_GT(window.btnClose()->x(), restorePlace.x() + window.btnRestore()->width() - 1)
                << "Close stands right of Restore";
        else
            EXPECT_EQ(window.btnClose()->x(), (431 - window.btnClose()->width()) / 2) << "Close centred";
    }
    window.DoProgress(0, 3, "Restore Files");
    EXPECT_TRUE(window.pbProgress()->isVisibleTo(&window));
    window.NextProgress("Currently restoring: \"a\".");
    EXPECT_EQ(window.pbProgress()->value(), 1);
    EXPECT_EQ(window.lblStatus()->text().toStdString(), "Currently restoring: \"a\".");
    window.DoProgress(0, 0, "");
    EXPECT_FALSE(window.pbProgress()->isVisibleTo(&window));
    EXPECT_FALSE(window.lblStatus()->isVisibleTo(&window));
}

TEST(SwapletWindow, MemberNamesInTheTextsStayText)
{
    // Member names come from the archive: markup and a local picture in
    // one are shown as characters, in the window's own one-line rows.
    TTempFolder folder;
    QImage red(200, 200, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    ASSERT_TRUE(red.save(QString::fromStdString(folder / "red.png"), "PNG"));
    const std::string name = "<b>x</b><img src=\"file://" + (folder / "red.png") + "\">";
    TfrmSwaplet window({"/p/", "/s", "/b", "/c"}, {});
    window.OnTerminate = [] {};
    window.ShowState(ssRestoreFailed, "Some files were not restored: " + name);
    window.DoProgress(0, 3, "Restore Files");
    window.NextProgress("Currently restoring: \"" + name + "\".");
    for (QLabel* label : {window.lblMessage(), window.lblStatus()}) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_NE(label->text().toStdString().find(name), std::string::npos);
        // The message wraps within its width; the status is one line.
        const int height = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
        EXPECT_LT(height, 100) << "the picture was shown";
    }
}

TEST_F(SwapletTest, SuccessfulSetupRestartsTheClientAndEndsWhenTheMarkerGoes)
{
    const std::string setup = Setup("for a; do case \"$a\" in /DIR=*) dir=\"${a#/DIR=}\";; esac; done\n"
                                    "printf 'version=4.1.0.0\\n' > \"${dir}version.txt\"\n"
                                    "echo \"$@\" > \"${dir}setup-args.txt\"");
    TWatchedSwaplet s(Args(setup), Short());
    // The first show posts message 1025, which runs the install.
    s.Window.show();
    ASSERT_TRUE(RunEventsUntil([&] { return s.Terminations > 0; }));
    EXPECT_EQ(s.Window.State(), ssDone);
    EXPECT_EQ(ReadText(Program + "version.txt"), "version=4.1.0.0\n");
    EXPECT_EQ(ReadText(Program + "setup-args.txt"), "/VERYSILENT /SUPPRESSMSGBOXES /DIR=" + Program + "\n");
    EXPECT_EQ(ClientRuns(1), (std::vector<std::string>{"-debug | /instances"}));
    EXPECT_FALSE(MarkerExists());
    EXPECT_EQ(s.Terminations, 1);
    EXPECT_FALSE(s.Window.CheckTimerActive());
}

TEST_F(SwapletTest, FailedSetupThenRestoreBringsTheFolderBackByteForByte)
{
    // Exits in time, but with an error: a failure, never "done".
    const std::string setup = Setup("printf 'broken' > \"" + Program + "libMirabo.so\"\nchmod 600 \"" + Program +
                                    "notes.txt\"\nrm -f \"" + Program + "version.txt\"\nexit 1");
    TWatchedSwaplet s(Args(setup), Short());
    s.Window.RunInstall();
    EXPECT_EQ(s.Window.State(), ssFailed);
    EXPECT_TRUE(s.Window.btnRestore()->isVisibleTo(&s.Window));
    EXPECT_FALSE(FileExists(Program + "client-runs.txt")) << "no client on broken files";
    EXPECT_EQ(ReadText(Program + "libMirabo.so"), "broken");

    s.Window.btnRestore()->click();
    ExpectProgramFilesBack();
    EXPECT_EQ(s.Terminations, 1);
    EXPECT_EQ(ClientRuns(1), (std::vector<std::string>{"-debug | /instances | /SKIP_UPDATE"}));
    EXPECT_EQ(FindFiles(Program + "backup/", "$temp$*").size(), 0u) << "the temporary file is gone";
    EXPECT_EQ(s.Window.pbProgress()->maximum(), 3);
    EXPECT_EQ(s.Window.pbProgress()->value(), 3);
}

TEST_F(SwapletTest, RestoreTakesAFileInUseAsideAndGoesOn)
{
    // The old file's inode stays valid for whoever holds it open.
    WriteText(Program + "libMirabo.so", "running copy");
    std::ifstream held(Program + "libMirabo.so");
    TWatchedSwaplet s(Args(Setup("exit 0")), Short());
    s.Window.RestoreFiles();
    ExpectProgramFilesBack();
    std::string old;
    std::getline(held, old);
    EXPECT_EQ(old, "running copy");
}

TEST_F(SwapletTest, ClientThatNeverConfirmsFailsAtTheTickPastTheLimit)
{
    WriteText(Program + "keep-marker", "");
    TWatchedSwaplet s(Args(Setup("exit 0")), Short());
    s.Window.RunInstall();
    EXPECT_EQ(s.Window.State(), ssDone);
    EXPECT_TRUE(s.Window.CheckTimerActive());
    ASSERT_TRUE(RunEventsUntil([&] { return s.Window.State() == ssFailed; }));
    // 50 ms ticks, 1000 ms limit: the 21st tick is the first past it.
    EXPECT_EQ(s.Window.CheckedMilliseconds(), 1050);
    EXPECT_FALSE(s.Window.CheckTimerActive());
    EXPECT_EQ(s.Terminations, 0);
    EXPECT_TRUE(MarkerExists());
}

TEST_F(SwapletTest, MarkerGoneBeforeTheFirstTickEndsAtIt)
{
    // The test confirms for the client, before any tick can run.
    WriteText(Program + "keep-marker", "");
    TWatchedSwaplet s(Args(Setup("exit 0")), Short());
    s.Window.RunInstall();
    ASSERT_TRUE(s.Window.CheckTimerActive());
    DeleteFile(Program + "$update$");
    ASSERT_TRUE(RunEventsUntil([&] { return s.Terminations > 0; }));
    EXPECT_EQ(s.Window.CheckedMilliseconds(), 0);
    ClientRuns(1);
}

TEST_F(SwapletTest, SetupThatTimesOutOrCannotStartHasFailed)
{
    struct Case
    {
        const char* Desc;
        std::string SetupFile;
    };
    const Case cases[] = {
        {"times out", Setup("sleep 30")},
        {"missing", Program + "update/nosuch"},
        {"not a program", Program + "version.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TSwapletTimings t = Short();
        t.SetupLimit = 200;
        TWatchedSwaplet s(Args(c.SetupFile), t);
        s.Window.RunInstall();
        EXPECT_EQ(s.Window.State(), ssFailed);
        EXPECT_FALSE(s.Window.CheckTimerActive());
        EXPECT_EQ(s.Terminations, 0);
    }
    RunEventsFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(FileExists(Program + "client-runs.txt"));
}

// A setup past its limit, and one that failed early, are ended with what
// they started before "Restore" is offered: nothing of theirs may write into
// the program folder while the restore runs.
TEST_F(SwapletTest, AFailedSetupIsEndedWithWhatItStartedBeforeRestoreIsOffered)
{
    struct Case
    {
        const char* Desc;
        const char* Tail; // after the worker started
        uint32_t Limit;
    };
    const Case cases[] = {
        // Signals the shell could ignore change nothing.
        {"past its limit", "trap '' TERM HUP INT\nwhile :; do sleep 1; done", 1500},
        {"failed in time", "exit 4", 60000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        DeleteFile(Program + "setup.pid");
        DeleteFile(Program + "worker.pid");
        const std::string setup =
            Setup("(trap '' TERM HUP INT; while :; do echo x >> \"" + Program + "worker.out\"; sleep 0.05; done) &\n"
                  "echo $! > \"" + Program + "worker.pid\"\necho $$ > \"" + Program + "setup.pid\"\n" + c.Tail);
        TSwapletTimings t = Short();
        t.SetupLimit = c.Limit;
        TWatchedSwaplet s(Args(setup), t);
        s.Window.RunInstall();
        ASSERT_EQ(s.Window.State(), ssFailed);
        ASSERT_TRUE(FileExists(Program + "worker.pid")) << "the setup started its worker";
        EXPECT_FALSE(ProcessLives(ReadText(Program + "worker.pid")));
        EXPECT_FALSE(ProcessLives(ReadText(Program + "setup.pid")));
    }
}

TEST_F(SwapletTest, BrokenArchiveShowsRestoreFailedAndStillStartsTheClient)
{
    struct Case
    {
        const char* Desc;
        std::string Bytes; // empty: no archive at all
    };
    const Case cases[] = {
        {"missing", ""},
        {"not a zip", "this is no archive"},
        {"truncated", ReadText(Backup).substr(0, 5000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        DeleteFile(Backup);
        if (!c.Bytes.empty())
            WriteText(Backup, c.Bytes);
        TWatchedSwaplet s(Args(Setup("exit 1")), Short());
        s.Window.RunInstall();
        ASSERT_EQ(s.Window.State(), ssFailed);
        s.Window.btnRestoreClick();
        EXPECT_EQ(s.Window.State(), ssRestoreFailed);
        EXPECT_FALSE(s.Window.lblMessage()->text().isEmpty()) << "the error's message";
        EXPECT_TRUE(s.Window.btnClose()->isVisibleTo(&s.Window));
        EXPECT_EQ(s.Terminations, 0) << "the window stays until Close";
        s.Window.btnClose()->click();
        EXPECT_EQ(s.Terminations, 1);
    }
    EXPECT_EQ(ClientRuns(3).size(), 3u);
    EXPECT_EQ(ClientRuns(3)[0], "-debug | /instances | /SKIP_UPDATE");
}

TEST_F(SwapletTest, UnsafeMembersAreSkippedAndNamed)
{
    RawZip::Archive archive;
    for (const char* name : {"sub/inner.txt", "/abs.txt", "good.txt", "folder/", "sub\\back.txt"}) {
        RawZip::Member m(name, std::string(name).back() == '/' ? "" : "payload");
        m.MadeBy = (3 << 8) | 20;
        m.ExternalAttributes = 0100644u << 16;
        archive.Members.push_back(m);
    }
    WriteText(Backup, archive.Bytes());
    ForceDirectories(Program + "folder");
    WriteText(Program + "folder/keep.txt", "kept");

    TWatchedSwaplet s(Args(Setup("exit 1")), Short());
    s.Window.RunInstall();
    s.Window.btnRestoreClick();
    EXPECT_EQ(ReadText(Program + "good.txt"), "payload") << "the next member follows a failed one";
    EXPECT_FALSE(FileExists(Program + "sub/inner.txt"));
    EXPECT_FALSE(FileExists(Program + "sub"));
    EXPECT_FALSE(FileExists("/abs.txt"));
    EXPECT_FALSE(FileExists(Program + "abs.txt"));
    EXPECT_EQ(ReadText(Program + "folder/keep.txt"), "kept");
    EXPECT_EQ(s.Window.State(), ssRestoreFailed);
    const std::string message = s.Window.lblMessage()->text().toStdString();
    EXPECT_EQ(message.rfind("Some files were not restored: ", 0), 0u) << message;
    for (const char* name : {"sub/inner.txt", "/abs.txt", "folder/", "sub\\back.txt"})
        EXPECT_NE(message.find(name), std::string::npos) << name << " in: " << message;
    EXPECT_EQ(message.find("good.txt"), std::string::npos) << message;
    EXPECT_EQ(ClientRuns(1), (std::vector<std::string>{"-debug | /instances | /SKIP_UPDATE"}));
}

TEST_F(SwapletTest, MembersOutOfTheProgramFolderAreSkipped)
{
    struct Case
    {
        const char* Desc;
        std::vector<std::string> Names;
    };
    const Case cases[] = {
        {"a path up", {"../escaped.txt"}},
        {"the parent itself", {".."}},
        // ".." as a file and as the folder of another member.
        {"both", {"..", "../escaped.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        RawZip::Archive archive;
        archive.Members.emplace_back("good.txt", "payload");
        for (const std::string& name : c.Names)
            archive.Members.emplace_back(name, "payload");
        WriteText(Backup, archive.Bytes());
        DeleteFile(Program + "good.txt");
        TWatchedSwaplet s(Args(Setup("exit 1")), Short());
        s.Window.RunInstall();
        s.Window.btnRestoreClick();
        EXPECT_EQ(s.Window.State(), ssRestoreFailed);
        const std::string message = s.Window.lblMessage()->text().toStdString();
        for (const std::string& name : c.Names)
            EXPECT_NE(message.find(name), std::string::npos) << message;
        EXPECT_FALSE(FileExists(Dir.Path() + "../escaped.txt"));
        EXPECT_TRUE(FileExists(Program + "good.txt"));
        EXPECT_EQ(s.Terminations, 0);
    }
    EXPECT_EQ(ClientRuns(3).size(), 3u);
}

TEST_F(SwapletTest, RestoresAnArchiveOfTheZipTool)
{
    // Unix zip keeps the permission bits where the update step puts them.
    int exitCode = -1;
    if (!RunAndWait("zip", {"-v"}, "", 60000, &exitCode) || exitCode != 0)
        GTEST_SKIP() << "zip is not installed";
    Files.push_back({"private.key", "secret", 0600});
    WriteFile(Program + "private.key", "secret", 0600);
    DeleteFile(Backup);
    std::vector<std::string> args = {"-q", "-j", Backup};
    for (const TProgramFile& f : Files)
        args.push_back(Program + f.Name);
    ASSERT_TRUE(RunAndWait("zip", args, "", 60000, &exitCode));
    ASSERT_EQ(exitCode, 0);
    for (const TProgramFile& f : Files)
        WriteFile(Program + f.Name, "damaged", 0644);
    RestoreProgramFiles(Backup, Program);
    ExpectProgramFilesBack();
}

TEST(SwapletRestore, BareMemberNames)
{
    EXPECT_TRUE(IsBareMemberName("Tallowin"));
    EXPECT_TRUE(IsBareMemberName("$update$.txt"));
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "/etc/passwd", "\\x", "dir/"})
        EXPECT_FALSE(IsBareMemberName(name)) << name;
}

TEST_F(SwapletTest, ExactlyFourArguments)
{
    TWatchedSwaplet done(Args(Setup("exit 0"), false), Short());
    EXPECT_EQ(done.Window.CommandLine().ClientParams, "");
    done.Window.RunInstall();
    ASSERT_TRUE(RunEventsUntil([&] { return done.Terminations > 0; }));
    EXPECT_EQ(ClientRuns(1)[0], "<none>");

    TWatchedSwaplet restored(Args(Setup("exit 3"), false), Short());
    restored.Window.RunInstall();
    restored.Window.btnRestoreClick();
    EXPECT_EQ(ClientRuns(2)[1], "/SKIP_UPDATE");
}

TEST_F(SwapletTest, ClientParametersAreSplitByTheCommandLineRules)
{
    // The update step joins the client's arguments by the same rules.
    const std::string params = JoinCommandLine({"-debug", "with blank", "say \"hi\""});
    std::vector<std::string> args = Args(Setup("exit 9"), false);
    args.push_back(params);
    TWatchedSwaplet s(args, Short());
    s.Window.RunInstall();
    s.Window.btnRestoreClick();
    EXPECT_EQ(ClientRuns(1), (std::vector<std::string>{"-debug | with blank | say \"hi\" | /SKIP_UPDATE"}));
}

TEST_F(SwapletTest, FewerThanFourArgumentsEnd)
{
    TWatchedSwaplet s({Program, Program + "update/setup.sh", Backup}, Short());
    EXPECT_TRUE(s.Window.Terminated());
    EXPECT_EQ(s.Terminations, 1);
    // Its install message does nothing.
    s.Window.show();
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(s.Window.State(), ssNone);

    // The built program ends by itself at once.
    int exitCode = -1;
    ASSERT_TRUE(RunAndWait(BuiltFile(KLD_SWAPLET), {Program, Program + "update/setup.sh", Backup}, "", 60000,
                           &exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(FileExists(Program + "client-runs.txt"));
}
