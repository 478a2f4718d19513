// The restore of the program folder from the backup archive, on a temporary
// program folder whose files are "new" (as a setup left them) over a backup
// archive of the "old" ones, written as the update step writes it (stored
// members, the file's mode in the high 16 bits of the external attributes).
// The kill rounds restore in a forked child that stops at each progress
// report until the test lets it go on, so that each kill -9 lands where the
// round wants it and never after the restore has ended.

#include "Components/Controller/update/ProgramRestore.h"

#include "platform/FileUtils.h"
#include "support/ChildProcess.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Pattern(size_t Size, uint32_t Seed)
{
    std::string s(Size, '\0');
    uint32_t x = Seed;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

struct TProgramFile
{
    std::string Name;
    std::string Old, New;
    uint32_t OldMode, NewMode;
};

class ProgramRestoreTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Program = Dir.Path();
        ForceDirectories(Program + "backup");
        Backup = Program + "backup/ov4backup.zip";
        Files.push_back({"version.txt", "version=4.0.0.0\n", "version=4.1.0.0\n", 0644, 0644});
        AddFile("Tallowin", 200000, 0755);
        for (int i = 1; i <= 8; ++i)
            AddFile("module0" + std::to_string(i) + ".so", 50000, 0755);
        // In the middle of the archive: files follow it.
        LargeIndex = static_cast<int>(Files.size()) + 1;
        AddFile("libMirabo.so", 2000000, 0755);
        for (int i = 1; i <= 8; ++i)
            AddFile("data0" + std::to_string(i) + ".dat", 30000, 0644);
        WriteArchive(Backup);
        WriteNewFiles();
    }

    void AddFile(const std::string& Name, size_t Size, uint32_t Mode)
    {
        const auto seed = static_cast<uint32_t>(Files.size() * 2 + 1);
        Files.push_back({Name, Pattern(Size, seed), Pattern(Size + 7, seed + 1), Mode, 0700});
    }

    void WriteArchive(const std::string& Archive) const
    {
        RawZip::Archive archive;
        for (const TProgramFile& f : Files) {
            RawZip::Member m(f.Name, f.Old, 0);
            m.MadeBy = (3 << 8) | 20;
            m.ExternalAttributes = (0100000u | f.OldMode) << 16;
            archive.Members.push_back(m);
        }
        WriteText(Archive, archive.Bytes());
    }

    // The folder as the setup left it.
    void WriteNewFiles() const
    {
        for (const TProgramFile& f : Files) {
            WriteText(Program + f.Name, f.New);
            ::chmod((Program + f.Name).c_str(), f.NewMode);
        }
    }

    std::set<std::string> Names(const std::string& Folder) const
    {
        const std::vector<std::string> found = FindFiles(Folder, "*", true);
        return std::set<std::string>(found.begin(), found.end());
    }

    // Every file old, with its old mode; nothing else in the program folder
    // (no marker, no copy put aside) and nothing but the archive beside it.
    void ExpectAllOld() const
    {
        std::set<std::string> expected = {"backup"};
        for (const TProgramFile& f : Files) {
            SCOPED_TRACE(f.Name);
            expected.insert(f.Name);
            EXPECT_TRUE(ReadText(Program + f.Name) == f.Old) << "not the old file";
            EXPECT_EQ(ModeOf(Program + f.Name), f.OldMode);
        }
        EXPECT_EQ(Names(Program), expected);
        EXPECT_EQ(Names(Program + "backup/"), std::set<std::string>{"ov4backup.zip"});
    }

    void ExpectAllNew() const
    {
        for (const TProgramFile& f : Files) {
            SCOPED_TRACE(f.Name);
            EXPECT_TRUE(ReadText(Program + f.Name) == f.New) << "not the new file";
        }
        EXPECT_FALSE(FileExists(Program + "$restore$"));
    }

    TTempFolder Dir;
    std::string Program, Backup;
    std::vector<TProgramFile> Files;
    int LargeIndex = 0; // its position in the progress reports
};

// A restore in a forked child that stops after each progress report until
// the test lets it go on.
class TRestoreChild
{
  public:
    TRestoreChild(const std::string& Archive, const std::string& Program)
    {
        if (::pipe(m_go) != 0)
            throw std::runtime_error("pipe");
        m_pid = TestChild::Start(
            [&](const std::function<void(const std::string&)>& send) {
                ::close(m_go[1]);
                RestoreProgramFiles(Archive, Program, [&](int Position, int, const std::string&) {
                    send(std::to_string(Position) + "\n");
                    char go = 0;
                    if (::read(m_go[0], &go, 1) != 1)
                        ::_exit(98);
                });
                return 0;
            },
            m_out);
        ::close(m_go[0]);
    }
    ~TRestoreChild()
    {
        if (!m_finished) {
            ::kill(m_pid, SIGKILL);
            Finish();
        }
    }

    // The next position the child reports, at most 60 s away; -1 when it
    // reports none any more.
    int NextPosition()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            const size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                const int position = std::stoi(m_buffer.substr(0, end));
                m_buffer.erase(0, end + 1);
                return position;
            }
            if (!ReadSome(deadline))
                return -1;
        }
    }
    // Waits for position P, letting the child go on past the ones before.
    bool StopAt(int P)
    {
        for (int position = NextPosition(); position >= 0; position = NextPosition()) {
            if (position == P)
                return true;
            GoOn();
        }
        return false;
    }
    void GoOn() { (void)!::write(m_go[1], "g", 1); }
    // True when the child has stopped at another report (looks for a
    // millisecond at most).
    bool Reported()
    {
        return m_buffer.find('\n') != std::string::npos ||
               ReadSome(std::chrono::steady_clock::now() + std::chrono::milliseconds(1));
    }
    void Kill() { ::kill(m_pid, SIGKILL); }
    TestChild::Result Finish()
    {
        m_finished = true;
        ::close(m_go[1]);
        return TestChild::Finish(m_pid, m_out);
    }

  private:
    bool ReadSome(std::chrono::steady_clock::time_point Deadline)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
        pollfd p{m_out, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(0, left.count()))) <= 0)
            return false;
        char chunk[256];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        m_buffer.append(chunk, static_cast<size_t>(n));
        return true;
    }

    int m_go[2] = {-1, -1};
    int m_out = -1;
    pid_t m_pid = -1;
    bool m_finished = false;
    std::string m_buffer;
};

} // namespace

// A restore killed at any moment after it began is run to its end by the
// next start (FinishInterruptedRestore): every file old again, nothing put
// aside, no temporary file left in the backup folder. One killed before it
// began has changed nothing.
TEST_F(ProgramRestoreTest, AKilledRestoreIsFinishedByTheNextStart)
{
    enum TMoment
    {
        BeforeItBegan,      // at its first report, before the marker
        BeforeTheFirstFile, // the marker written, no file touched
        InTheFirstFile,
        InTheLargeFile,     // its temporary file being written
        InTheLastFile,
    };
    struct TCase
    {
        const char* Desc;
        TMoment Moment;
    };
    const TCase cases[] = {
        {"before it began", BeforeItBegan},
        {"before the first file", BeforeTheFirstFile},
        {"in the first file", InTheFirstFile},
        {"in the large file", InTheLargeFile},
        {"in the last file", InTheLastFile},
    };
    const int last = static_cast<int>(Files.size());
    const std::string temp = Program + "backup/$temp$";
    for (int round = 0; round < 2; ++round)
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.Desc) + ", round " + std::to_string(round + 1));
            WriteNewFiles();
            TRestoreChild child(Backup, Program);
            switch (c.Moment) {
            case BeforeItBegan:
                ASSERT_TRUE(child.StopAt(0));
                break;
            case BeforeTheFirstFile:
                ASSERT_TRUE(child.StopAt(1));
                break;
            case InTheFirstFile:
                ASSERT_TRUE(child.StopAt(1));
                child.GoOn();
                break;
            case InTheLargeFile: {
                ASSERT_TRUE(child.StopAt(LargeIndex));
                child.GoOn();
                // Data in the temporary file, or (when this side was slow)
                // the child already waiting before the next file.
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                while (FileSize(temp) <= 0 && !child.Reported())
                    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
                break;
            }
            case InTheLastFile:
                ASSERT_TRUE(child.StopAt(last));
                child.GoOn();
                break;
            }
            child.Kill();
            const TestChild::Result result = child.Finish();
            if (c.Moment != InTheLastFile) {
                ASSERT_EQ(result.Signal, SIGKILL) << result.Output;
            }

            if (c.Moment == BeforeItBegan) {
                EXPECT_FALSE(FinishInterruptedRestore(Program));
                ExpectAllNew();
                continue;
            }
            if (result.Signal == SIGKILL) {
                EXPECT_TRUE(FileExists(Program + "$restore$")) << "the restore's marker stays";
            }
            const bool finished = FinishInterruptedRestore(Program);
            EXPECT_EQ(finished, result.Signal == SIGKILL);
            ExpectAllOld();
        }
}

TEST_F(ProgramRestoreTest, TheNextStartFindsTheArchiveTheMarkerNames)
{
    struct TCase
    {
        const char* Desc;
        std::string Marker;
        bool Elsewhere; // the archive lies outside the backup folder
    };
    TTempFolder other;
    const std::string elsewhere = other / "ov4backup.zip";
    const TCase cases[] = {
        {"named", elsewhere, true},
        {"named with a line end", elsewhere + "\n", true},
        {"cut short by the kill", "", false},
        {"naming no file", Program + "backup/ov4ba", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        WriteNewFiles();
        if (c.Elsewhere) {
            WriteArchive(elsewhere);
            WriteText(Backup, "no archive");
        } else {
            DeleteFile(elsewhere);
            WriteArchive(Backup);
        }
        WriteText(Program + "$restore$", c.Marker);
        EXPECT_TRUE(FinishInterruptedRestore(Program));
        for (const TProgramFile& f : Files)
            EXPECT_TRUE(ReadText(Program + f.Name) == f.Old) << f.Name;
        EXPECT_FALSE(FileExists(Program + "$restore$"));
    }

    // Without a marker nothing happens.
    WriteNewFiles();
    EXPECT_FALSE(FinishInterruptedRestore(Program));
    ExpectAllNew();

    // An archive that cannot be opened changes nothing and keeps the marker
    // for the next start.
    DeleteFile(Backup);
    WriteText(Program + "$restore$", "");
    EXPECT_THROW(FinishInterruptedRestore(Program), std::exception);
    EXPECT_TRUE(FileExists(Program + "$restore$"));
    for (const TProgramFile& f : Files)
        EXPECT_TRUE(ReadText(Program + f.Name) == f.New) << f.Name;
}

TEST_F(ProgramRestoreTest, TemporaryFilesOfAKilledRestoreGo)
{
    for (const char* name : {"$temp$", "$temp$1", "$temp$27"})
        WriteText(Program + "backup/" + name, Pattern(200000, 5));
    // Not names the restore gives.
    for (const char* name : {"$temp$.keep", "x$temp$", "$temp$1a"})
        WriteText(Program + "backup/" + name, "kept");
    RestoreProgramFiles(Backup, Program);
    EXPECT_EQ(Names(Program + "backup/"),
              (std::set<std::string>{"ov4backup.zip", "$temp$.keep", "x$temp$", "$temp$1a"}));
}

// The restore gives back the permission bits of the archive, but never
// set-user-id, set-group-id, the sticky bit or write access for everybody.
TEST_F(ProgramRestoreTest, RestoredModesKeepTheUsersBitsOnly)
{
    struct TCase
    {
        const char* Desc;
        uint32_t ArchiveMode;
        uint32_t Restored;
    };
    const TCase cases[] = {
        {"-rwsrwxrwx", 04777, 0775}, {"-rwxr-sr-x", 02755, 0755}, {"-rwxrwxrwt", 01777, 0775},
        {"-rw-rw-rw-", 0666, 0664},  {"-rwxr-xr-x", 0755, 0755},  {"-rw-------", 0600, 0600},
        {"-rw-rw-r--", 0664, 0664},  {"-r--r-----", 0440, 0440},
    };
    RawZip::Archive archive;
    for (const TCase& c : cases) {
        RawZip::Member m(std::string("f") + std::to_string(c.ArchiveMode), "payload", 0);
        m.MadeBy = (3 << 8) | 20;
        m.ExternalAttributes = (0100000u | c.ArchiveMode) << 16;
        archive.Members.push_back(m);
    }
    WriteText(Backup, archive.Bytes());
    RestoreProgramFiles(Backup, Program);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::string name = Program + "f" + std::to_string(c.ArchiveMode);
        EXPECT_EQ(ReadText(name), "payload");
        EXPECT_EQ(ModeOf(name), c.Restored);
        EXPECT_EQ(RestoredFileMode(c.ArchiveMode), c.Restored);
    }
}
