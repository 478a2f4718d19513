#include "launcher/TallowinStart.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnSigning.h"
#include "LauncherTesting.h"
#include "platform/Messages.h"
#include "platform/Processes.h"
#include "support/BuiltFile.h"
#include "support/PrivateRuntimeDir.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <csignal>
#include <elf.h>
#include <sys/resource.h>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A stand-in for a running copy's main window in this process.
class TRunningCopy : public IMessageReceiver
{
  public:
    TRunningCopy()
    {
        Handle = AllocateHWnd(this, MainWindowClassName);
        SetWindowForegroundHandler(Handle, [this] { ++Raised; });
    }
    ~TRunningCopy() { DeallocateHWnd(Handle); }
    void WndProc(TMessage& m) override { Messages.push_back(m); }

    HWND Handle;
    int Raised = 0;
    std::vector<TMessage> Messages;
};

void WaitForEvents(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Changes one character of a text the library holds, so the library still
// loads but its body no longer matches its trailer.
void AlterLibraryBody(const std::string& library)
{
    std::vector<uint8_t> bytes = ReadBytes(library);
    const std::string text = "Application terminated. Controller destroyed successfully.";
    auto at = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
    ASSERT_NE(bytes.end(), at);
    *at = 'a';
    WriteBytes(library, bytes);
}

} // namespace

TEST(Launcher, SwitchParsing)
{
    struct Case
    {
        const char* Desc;
        std::vector<std::string> Input;
        bool Debug, Instances;
    };
    const Case cases[] = {
        {"none", {"Tallowin"}, false, false},
        {"dash upper", {"Tallowin", "-DEBUG"}, true, false},
        {"slash lower", {"Tallowin", "/debug"}, true, false},
        {"mixed case", {"Tallowin", "-DeBuG"}, true, false},
        {"without switch character", {"Tallowin", "DEBUG", "INSTANCES"}, false, false},
        {"double dash", {"Tallowin", "--DEBUG"}, false, false},
        {"longer word", {"Tallowin", "/DEBUGGER"}, false, false},
        {"program name is not read", {"/DEBUG"}, false, false},
        {"both among others", {"Tallowin", "file.txt", "/Instances", "-debug", "/SKIP_UPDATE"}, true, true},
        {"instances only", {"Tallowin", "-INSTANCES"}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TLauncherSwitches s = ParseLauncherSwitches(c.Input);
        EXPECT_EQ(c.Debug, s.Debug);
        EXPECT_EQ(c.Instances, s.Instances);
    }
}

TEST(Launcher, ModuleCheck)
{
    TTempFolder dir;
    const std::string good = dir / "good.so", bad = dir / "bad.so", unsigned_ = dir / "plain.so";
    ASSERT_TRUE(CopyFile(BuiltFile(KLD_MIRABO), good, false));
    ASSERT_TRUE(CopyFile(BuiltFile(KLD_MIRABO), bad, false));
    AlterLibraryBody(bad);
    // An unsigned library of the system: the zlib library this test loads.
    ASSERT_TRUE(CopyFile("/lib/x86_64-linux-gnu/libz.so.1", unsigned_, false));

    EXPECT_TRUE(CheckModules({}));
    EXPECT_TRUE(CheckModules({good, unsigned_, ""}));
    EXPECT_FALSE(CheckModules({good, bad, unsigned_}));
    EXPECT_FALSE(CheckModules({good, dir / "missing.so"}));
    EXPECT_FALSE(CheckModules({dir.Path()}));
    // The built modules carry their trailer.
    uint32_t size, sum;
    TovnModuleSignature sig;
    EXPECT_TRUE(ovnQueryModule(BuiltFile(KLD_TALLOWIN), size, sum, sig));
    EXPECT_TRUE(ovnQueryModule(BuiltFile(KLD_MIRABO), size, sum, sig));
}

TEST(Launcher, SecondStartHandsOverToTheRunningCopy)
{
    TRunningCopy running;
    TProgramCopy copy;
    const std::string shot = copy.Dir / "shot.png";
    // The screenshot switch makes a wrongly started client end by itself.
    EXPECT_EQ(0, RunProgram(copy.Program, {"/DEBUG"}, {{ScreenshotEnvVar, shot}}));
    WaitForEvents([&] { return !running.Messages.empty() && running.Raised > 0; });
    ASSERT_EQ(1u, running.Messages.size());
    EXPECT_EQ(WM_RESTOREMAINWINDOW, running.Messages[0].Msg);
    EXPECT_EQ(61488u, running.Messages[0].WParam);
    EXPECT_EQ(0, running.Messages[0].LParam);
    EXPECT_EQ(1, running.Raised);
    EXPECT_FALSE(FileExists(shot));
    EXPECT_FALSE(DirectoryExists(copy.Dir / "log")); // no controller was made
}

TEST(Launcher, InstancesStartsAnIndependentWindow)
{
    TRunningCopy running;
    TProgramCopy copy;
    const std::string shot = copy.Dir / "shot.png";
    EXPECT_EQ(0, RunProgram(copy.Program, {"-instances"}, {{ScreenshotEnvVar, shot}}));
    QApplication::processEvents();
    EXPECT_TRUE(running.Messages.empty());
    EXPECT_TRUE(FileExists(shot));
    EXPECT_GT(FileSize(shot), 0);
    const std::string log = copy.Dir / ("log/ov4-" + FormatDateTime("yyyy-mm-dd", Date()) + ".log");
    EXPECT_TRUE(FileExists(log));
}

TEST(Launcher, AlteredSignedLibraryEndsSilently)
{
    // A running copy is there too: the module check comes before the hand-over.
    TRunningCopy running;
    TProgramCopy copy;
    AlterLibraryBody(copy.Library);
    const std::string shot = copy.Dir / "shot.png";
    for (const char* switches : {"/INSTANCES", ""}) {
        SCOPED_TRACE(switches);
        std::vector<std::string> args;
        if (*switches)
            args.push_back(switches);
        EXPECT_EQ(0, RunProgram(copy.Program, args, {{ScreenshotEnvVar, shot}}));
        QApplication::processEvents();
        EXPECT_FALSE(FileExists(shot));
        EXPECT_FALSE(DirectoryExists(copy.Dir / "log"));
        EXPECT_TRUE(running.Messages.empty());
    }
}

TEST(Launcher, AlteredUnsignedLibraryStarts)
{
    // Without trailer a library is not checked: the start goes on.
    TProgramCopy copy;
    std::vector<uint8_t> bytes = ReadBytes(copy.Library);
    bytes.resize(bytes.size() - 48);
    WriteBytes(copy.Library, bytes);
    AlterLibraryBody(copy.Library);
    const std::string shot = copy.Dir / "shot.png";
    EXPECT_EQ(0, RunProgram(copy.Program, {"/INSTANCES"}, {{ScreenshotEnvVar, shot}}));
    EXPECT_TRUE(FileExists(shot));
}

namespace {

std::vector<std::string> ReadLines(const std::string& fileName)
{
    std::vector<std::string> lines;
    std::ifstream in(fileName);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(Launcher, RestartKeepsTheCommandLine)
{
    TProgramCopy copy;
    const std::string probeDir = copy.Dir / "probe";
    ASSERT_TRUE(ForceDirectories(probeDir));
    const std::vector<std::pair<std::string, std::string>> env = {
        {"LD_PRELOAD", BuiltFile(KLD_RESTART_PROBE)},
        {"KLD_RESTART_PROBE_DIR", probeDir},
        {ScreenshotEnvVar, copy.Dir / "shot.png"},
        // The probe comes before the sanitizer runtime in sanitizer builds.
        {"ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0"},
    };
    EXPECT_EQ(0, RunProgram(copy.Program, {"/INSTANCES", "-debug", "with blank"}, env));

    // The restarted copy runs detached; it ends by itself like the first.
    const auto doneCount = [&] { return FindFiles(probeDir, "*.done").size(); };
    WaitForEvents([&] { return doneCount() >= 2; });
    ASSERT_EQ(2u, doneCount());
    std::vector<std::vector<std::string>> runs;
    for (const std::string& name : FindFiles(probeDir, "run-*.txt"))
        runs.push_back(ReadLines(probeDir + "/" + name));
    ASSERT_EQ(2u, runs.size());
    std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); });
    const std::vector<std::string> first = {copy.Program, "/INSTANCES", "-debug", "with blank"};
    const std::vector<std::string> second = {copy.Program, copy.Program, "/INSTANCES", "-debug",
                                             "with blank"};
    EXPECT_EQ(first, runs[0]);
    EXPECT_EQ(second, runs[1]);
}

// A restore of the program folder that was killed part-way is run to its
// end by the next start before anything else; then the program starts again
// from the restored files, in the same process, as the update helper starts
// it after a restore.
TEST(Launcher, AnInterruptedRestoreIsFinishedFirst)
{
    TProgramCopy copy;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"version.txt", "version=4.0.0.0\n"}, {"notes.txt", "old notes"}};
    RawZip::Archive archive;
    for (const auto& [name, content] : files) {
        archive.Members.emplace_back(name, content);
        archive.Members.back().MadeBy = (3 << 8) | 20;
        archive.Members.back().ExternalAttributes = 0100644u << 16;
        WriteText(copy.Dir / name, "new");
    }
    ASSERT_TRUE(ForceDirectories(copy.Dir / "backup"));
    WriteText(copy.Dir / "backup/ov4backup.zip", archive.Bytes());
    WriteText(copy.Dir / "backup/$temp$", "what the killed restore was writing");
    WriteText(copy.Dir / "$restore$", copy.Dir / "backup/ov4backup.zip");

    const std::string probeDir = copy.Dir / "probe";
    ASSERT_TRUE(ForceDirectories(probeDir));
    WriteText(probeDir + "/restarted", "1"); // the probe asks for no restart
    const std::string shot = copy.Dir / "shot.png";
    EXPECT_EQ(0, RunProgram(copy.Program, {"/INSTANCES"},
                            {{"LD_PRELOAD", BuiltFile(KLD_RESTART_PROBE)},
                             {"KLD_RESTART_PROBE_DIR", probeDir},
                             {ScreenshotEnvVar, shot},
                             {"ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0"}}));
    for (const auto& [name, content] : files)
        EXPECT_EQ(ReadText(copy.Dir / name), content) << name;
    EXPECT_FALSE(FileExists(copy.Dir / "$restore$"));
    EXPECT_FALSE(FileExists(copy.Dir / "backup/$temp$"));
    // One process; what it ran last was the restored program.
    const std::vector<std::string> runs = FindFiles(probeDir, "run-*.txt");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(ReadLines(probeDir + "/" + runs[0]),
              (std::vector<std::string>{copy.Program, "/INSTANCES", "/SKIP_UPDATE"}));
    EXPECT_TRUE(FileExists(shot)) << "the start went on";
}

// Qt gets only the program name: its own options on the command line are
// the program's arguments, not Qt's ("-platform nosuch" used to abort).
TEST(Launcher, QtOptionsOnTheCommandLineAreNotQts)
{
    TProgramCopy copy;
    const std::string shot = copy.Dir / "shot.png";
    EXPECT_EQ(0, RunProgram(copy.Program, {"-instances", "-platform", "nosuch"}, {{ScreenshotEnvVar, shot}}));
    EXPECT_TRUE(FileExists(shot));
}

// A file size limit makes writes past it fail; it does not end the program.
TEST(Launcher, AFileSizeLimitDoesNotEndTheProgram)
{
    TProgramCopy copy;
    const std::string shot = copy.Dir / "shot.png";
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    std::unique_ptr<TProcess> process;
    {
        // Only the started program inherits the limit; this process gets its
        // own back at once.
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        setenv(ScreenshotEnvVar, shot.c_str(), 1);
        process = StartProcess(copy.Program, {"-instances"});
        unsetenv(ScreenshotEnvVar);
        ::setrlimit(RLIMIT_FSIZE, &saved);
    }
    ASSERT_TRUE(process);
    QElapsedTimer clock;
    clock.start();
    while (!process->WaitFor(20) && clock.elapsed() < 60000)
        QApplication::processEvents();
    EXPECT_EQ(process->ExitCode(), 0);
    const std::string log = copy.Dir / ("log/ov4-" + FormatDateTime("yyyy-mm-dd", Date()) + ".log");
    EXPECT_TRUE(FileExists(log));
    EXPECT_LE(FileSize(log), 16);
}

namespace {

// The DT_RUNPATH (or DT_RPATH) of a 64-bit ELF file; "" when it has none.
std::string LibrarySearchPath(const std::string& fileName)
{
    const std::vector<uint8_t> bytes = ReadBytes(fileName);
    if (bytes.size() < sizeof(Elf64_Ehdr))
        return "";
    Elf64_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (std::size_t i = 0; i < sections.size(); ++i)
        std::memcpy(&sections[i], bytes.data() + header.e_shoff + i * sizeof(Elf64_Shdr), sizeof(Elf64_Shdr));
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_DYNAMIC)
            continue;
        const Elf64_Shdr& strings = sections.at(section.sh_link);
        for (std::size_t at = section.sh_offset; at + sizeof(Elf64_Dyn) <= section.sh_offset + section.sh_size;
             at += sizeof(Elf64_Dyn)) {
            Elf64_Dyn entry;
            std::memcpy(&entry, bytes.data() + at, sizeof entry);
            if (entry.d_tag == DT_RUNPATH || entry.d_tag == DT_RPATH)
                return reinterpret_cast<const char*>(bytes.data() + strings.sh_offset + entry.d_un.d_val);
        }
    }
    return "";
}

} // namespace

// The program finds its libraries in its own folder only, never in the
// folder it was built in.
TEST(Launcher, LibrariesAreSearchedInTheProgramsFolderOnly)
{
    EXPECT_EQ(LibrarySearchPath(BuiltFile(KLD_TALLOWIN)), "$ORIGIN");
}
