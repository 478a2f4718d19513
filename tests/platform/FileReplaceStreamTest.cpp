#include "platform/FileReplaceStream.h"

#include "platform/FileUtils.h"
#include "platform/StringList.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using TSave = std::function<void(const std::string& fileName, const std::string& content)>;

struct SaveCase
{
    const char* Desc;
    TSave Save;
};

const std::vector<SaveCase>& SaveCases()
{
    static const std::vector<SaveCase> cases = {
        {"memory stream",
         [](const std::string& name, const std::string& content) {
             TMemoryStream stream;
             stream.WriteBuffer(content.data(), int64_t(content.size()));
             stream.SaveToFile(name);
         }},
        {"string list",
         [](const std::string& name, const std::string& content) {
             TStringList list;
             list.SetText(content);
             list.SaveToFile(name);
         }},
        {"whole text", [](const std::string& name, const std::string& content) { ReplaceFileContents(name, content); }},
    };
    return cases;
}

// Lines of one repeated letter, with the line break a string list writes,
// so that every kind of save writes them back unchanged.
std::string Content(char letter, std::size_t lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines; ++i)
        text += std::string(62, letter) + "\r\n";
    return text;
}

// Names in the folder other than `keep`.
std::vector<std::string> OtherEntries(const TTempFolder& folder, const std::string& keep)
{
    std::vector<std::string> names;
    for (const std::string& name : FindFiles(folder.Path(), "*"))
        if (name != keep)
            names.push_back(name);
    return names;
}

} // namespace

// A full disk in miniature: a file size limit below the new content. The
// save fails with the file and the reason, and the old file stays whole.
TEST(FileReplaceStream, AFailedSaveLeavesTheOldFileWhole)
{
    for (const SaveCase& c : SaveCases()) {
        SCOPED_TRACE(c.Desc);
        TTempFolder folder;
        const std::string name = folder / "data.txt";
        const std::string old = Content('o', 4);
        WriteText(name, old);
        const TestChild::Result result = TestChild::Run([&](const auto& send) {
            TestChild::LimitFileSize(8192);
            try {
                c.Save(name, Content('n', 1024));
            } catch (const EStreamError& e) {
                send(e.Message());
                return 1;
            }
            return 0;
        });
        EXPECT_EQ(result.ExitCode, 1) << "the save must fail, not end the process: signal " << result.Signal;
        EXPECT_EQ(result.Output, "Cannot write " + name + ": File too large");
        EXPECT_EQ(ReadText(name), old);
        EXPECT_TRUE(OtherEntries(folder, "data.txt").empty()) << "no temporary file stays behind";
    }
}

// kill -9 at any moment of a save leaves the old or the new file whole.
TEST(FileReplaceStream, AKillDuringASaveLeavesOneWholeFile)
{
    const std::string a = Content('a', 3000);
    const std::string b = Content('b', 2000);
    for (const SaveCase& c : SaveCases()) {
        SCOPED_TRACE(c.Desc);
        TTempFolder folder;
        const std::string name = folder / "data.txt";
        WriteText(name, a);
        for (int round = 0; round < 8; ++round) {
            int fd = -1;
            const pid_t pid = TestChild::Start(
                [&](const auto&) {
                    for (int i = 0;; ++i)
                        c.Save(name, i % 2 ? a : b);
                    return 0;
                },
                fd);
            ASSERT_GT(pid, 0);
            const timespec pause{0, long(1 + round * 3) * 1000000L};
            ::nanosleep(&pause, nullptr);
            ::kill(pid, SIGKILL);
            TestChild::Finish(pid, fd);
            const std::string now = ReadText(name);
            ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        }
        // The next save removes what the killed writers left behind.
        c.Save(name, a);
        EXPECT_TRUE(OtherEntries(folder, "data.txt").empty());
    }
}

TEST(FileReplaceStream, ALinkKeepsPointingAtItsReplacedTarget)
{
    TTempFolder folder;
    ForceDirectories(folder / "real");
    const std::string target = folder / "real/settings.txt";
    const std::string link = folder / "link.txt";
    WriteText(target, "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_EQ(::symlink("real/settings.txt", link.c_str()), 0);
    struct stat before
    {
    };
    ::stat(target.c_str(), &before);

    ReplaceFileContents(link, "new");

    struct stat linkInfo
    {
    }, after{};
    ASSERT_EQ(::lstat(link.c_str(), &linkInfo), 0);
    EXPECT_TRUE(S_ISLNK(linkInfo.st_mode));
    EXPECT_EQ(ReadText(target), "new");
    ::stat(target.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced through a new file, not rewritten in place";
    EXPECT_EQ(after.st_mode & 07777, 0640u) << "the target keeps its permissions";
}

// Where no temporary file can be made the file is not touched at all.
TEST(FileReplaceStream, NoTemporaryFileMeansNoWrite)
{
    TTempFolder folder;
    const std::string name = folder / "data.txt";
    WriteText(name, "old");
    const TestChild::Result result = TestChild::Run([&](const auto& send) {
        // No descriptor can be opened any more: the temporary file cannot be made.
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_NOFILE, &none);
        const int error = TryReplaceFileContents(name, "new");
        send(std::to_string(error));
        return 0;
    });
    EXPECT_EQ(result.Output, std::to_string(EMFILE));
    EXPECT_EQ(ReadText(name), "old");
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { TFileReplaceStream s(folder / "no/such/data.txt"); }),
              "Cannot create file \"" + folder / "no/such/data.txt" + "\". No such file or directory");
}

TEST(FileReplaceStream, StaleTemporaryFilesOfEndedWritersAreRemoved)
{
    TTempFolder folder;
    const std::string name = folder / "data.txt";
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string stale = "data.txt.tmp" + std::to_string(ended) + "-abcdefgh";
    const std::string ours = "data.txt.tmp" + std::to_string(::getpid()) + "-abcdefgh";
    const std::string foreign = "data.txt.tmpnotapid";
    for (const std::string& n : {stale, ours, foreign})
        WriteText(folder / n, "x");

    ReplaceFileContents(name, "new");

    EXPECT_FALSE(FileExists(folder / stale));
    EXPECT_TRUE(FileExists(folder / ours)) << "a writer of this process may still be at work";
    EXPECT_TRUE(FileExists(folder / foreign)) << "only names of our own pattern are touched";
}

TEST(FileReplaceStream, UncommittedStreamLeavesTheOldFile)
{
    TTempFolder folder;
    const std::string name = folder / "data.txt";
    WriteText(name, "old");
    {
        TFileReplaceStream stream(name);
        stream.WriteBuffer("new content", 11);
    }
    EXPECT_EQ(ReadText(name), "old");
    EXPECT_TRUE(OtherEntries(folder, "data.txt").empty());

    TFileReplaceStream stream(folder / "fresh.txt", 0600);
    stream.WriteBuffer("abc", 3);
    stream.Commit();
    EXPECT_EQ(ReadText(folder / "fresh.txt"), "abc");
    struct stat st
    {
    };
    ::stat((folder / "fresh.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 077, 0u) << "a new file gets the mode asked for";
}

// The file stream itself names the file and the reason of a refused write.
TEST(FileStream, AWriteErrorNamesTheFileAndTheReason)
{
    TTempFolder folder;
    const std::string name = folder / "big.bin";
    const TestChild::Result result = TestChild::Run([&](const auto& send) {
        TestChild::LimitFileSize(4096);
        TFileStream stream(name, fmCreate);
        const std::string data(8192, 'x');
        try {
            stream.WriteBuffer(data.data(), int64_t(data.size()));
        } catch (const EWriteError& e) {
            send(e.Message());
        }
        return 0;
    });
    EXPECT_EQ(result.Output, "Cannot write " + name + ": File too large");
}
