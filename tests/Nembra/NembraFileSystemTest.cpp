#include "Components/Nembra/NembraFileSystem.h"

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraLocalFileSystem.h"
#include "Components/Nembra/NembraRemoteFileSystem.h"

#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include "platform/Streams.h"

#include <gtest/gtest.h>

namespace {

// A kind of file system of a test's own, for addresses beginning "mem:".
class TMemoryFileSystem : public TNembraFileSystem
{
  public:
    explicit TMemoryFileSystem(std::string URI) : Address(std::move(URI)) {}
    using TNembraFileSystem::FindFiles;
    using TNembraFileSystem::GetFile;
    int FindFiles(const std::string&, int64_t, int64_t& MaxTimeStamp, int32_t, TFindFileOutputs,
                  const TFindFileCallback& Callback, void* Data) override
    {
        MaxTimeStamp = 77;
        if (Callback)
            Callback(this, "only.txt", "", faArchive, 1, 77, Data);
        return 1;
    }
    std::unique_ptr<TStream> GetFile(const std::string& FileName, int64_t& TimeStamp) override
    {
        LastTimeStamp = TimeStamp;
        TimeStamp = 5;
        return std::make_unique<TStringStream>(FileName);
    }
    void PutFile(const std::string&, const std::string&, int64_t, TStream&) override {}
    void Delete(const std::string&) override {}
    void CopyFile(const std::string&, const std::string&, bool) override {}
    void Rename(const std::string&, const std::string&, bool) override {}
    void Extract(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    void CreateDirectory(const std::string&) override {}

    std::string Address;
    int64_t LastTimeStamp = -99;
};

const TNembraFileSystemClass MemoryKind{
    "TMemoryFileSystem", [](const std::string& URI) { return URI.rfind("mem:", 0) == 0; },
    [](const std::string& URI) -> std::unique_ptr<TNembraFileSystem> {
        return std::make_unique<TMemoryFileSystem>(URI);
    }};

// Puts the registry back as it was at start.
class FileSystemRegistry : public ::testing::Test
{
  protected:
    void TearDown() override
    {
        UnRegisterFileSystem(&MemoryKind);
        RegisterFileSystem(&TNembraLocalFileSystem::Class());
        RegisterFileSystem(&TNembraRemoteFileSystem::Class());
        SetDefaultFileSystem(&TNembraLocalFileSystem::Class());
    }
};

} // namespace

TEST_F(FileSystemRegistry, TheAddressPicksTheKind)
{
    TTempFolder dir;
    TNembraConnection main;
    main.SetConnectionName("MAIN");
    struct Case
    {
        const char* Desc;
        std::string URI;
        std::string Kind;
    };
    const Case cases[] = {
        {"file prefix", "file://" + dir.Path(), "TNembraLocalFileSystem"},
        {"file prefix in capitals", "FILE://" + dir.Path(), "TNembraLocalFileSystem"},
        {"a bare folder goes to the default kind", dir.Path(), "TNembraLocalFileSystem"},
        {"remote", "vrs+MAIN?share", "TNembraRemoteFileSystem"},
        {"remote in capitals", "VRS+MAIN", "TNembraRemoteFileSystem"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(CreateFileSystem(c.URI)->ClassName(), c.Kind);
    }

    RegisterFileSystem(&MemoryKind);
    auto mem = CreateFileSystem("mem:one");
    ASSERT_EQ(mem->ClassName(), "TNembraFileSystem"); // our test kind keeps the base's name
    EXPECT_EQ(static_cast<TMemoryFileSystem&>(*mem).Address, "mem:one");

    // Without a default an address no kind accepts cannot be served.
    SetDefaultFileSystem(nullptr);
    EXPECT_EQ(ErrorOf([] { CreateFileSystem("/some/folder"); }),
              "File system does not support the following path: /some/folder");
    UnRegisterFileSystem(&TNembraLocalFileSystem::Class());
    EXPECT_EQ(ErrorOf([] { CreateFileSystem("file:///x"); }),
              "File system does not support the following path: file:///x");
}

TEST_F(FileSystemRegistry, RegisteringAgainMovesAKindToTheEnd)
{
    // Two kinds accept "vrs+" addresses: the first registered wins.
    const TNembraFileSystemClass greedy{"greedy", [](const std::string&) { return true; },
                                        [](const std::string& URI) -> std::unique_ptr<TNembraFileSystem> {
                                            return std::make_unique<TMemoryFileSystem>(URI);
                                        }};
    RegisterFileSystem(&greedy);
    TNembraConnection main;
    main.SetConnectionName("MAIN");
    EXPECT_EQ(CreateFileSystem("vrs+MAIN")->ClassName(), "TNembraRemoteFileSystem");
    RegisterFileSystem(&TNembraRemoteFileSystem::Class());
    EXPECT_EQ(CreateFileSystem("vrs+MAIN")->ClassName(), "TNembraFileSystem") << "greedy now stands first";
    UnRegisterFileSystem(&greedy);
}

TEST(NembraFileSystem, TheShortFormsDropTheTimeStamps)
{
    TMemoryFileSystem fs("mem:");
    auto content = fs.GetFile("name.txt");
    EXPECT_EQ(fs.LastTimeStamp, 0) << "asks with a time stamp of 0";
    EXPECT_EQ(static_cast<TStringStream&>(*content).DataString(), "name.txt");
    int seen = 0;
    EXPECT_EQ(fs.FindFiles("*.*", 0, faAnyFile, {}, [&](TObject*, const std::string&, const std::string&, int32_t,
                                                        int64_t, int64_t, void*) { ++seen; },
                           nullptr),
              1);
    EXPECT_EQ(seen, 1);
}

TEST(NembraFileSystem, ParseNembraURI)
{
    struct Case
    {
        const char* URI;
        const char* Scheme;
        const char* Host;
        const char* Path;
    };
    const Case cases[] = {
        {"http://host:8080/bin/orvane.dll", "http", "host:8080", "bin/orvane.dll"},
        {"vrs+MAIN", "", "vrs+MAIN", ""},
        {"file:///tmp/x", "file", "", "tmp/x"},
        {"https://host", "https", "host", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.URI);
        std::string scheme = "?", host = "?", path = "?";
        ParseNembraURI(c.URI, scheme, host, path);
        EXPECT_EQ(scheme, c.Scheme);
        EXPECT_EQ(host, c.Host);
        EXPECT_EQ(path, c.Path);
    }
}
