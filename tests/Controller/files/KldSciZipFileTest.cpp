#include "Components/Controller/files/KldSciZipFile.h"
#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/FileUtils.h"
#include "support/ErrorOf.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/resource.h>
#include <zlib.h>

using namespace RawZip;

namespace {

// One entry of a written archive, read back independently of the reader
// under test.
struct TEntry
{
    uint16_t MadeBy, Needed, Flags, Method, Time, Date;
    uint32_t Crc, CSize, USize, Attributes, Offset;
    std::string Name;
    // The local header.
    uint16_t LocalFlags, LocalMethod;
    uint32_t LocalCrc, LocalCSize, LocalUSize;
    std::string LocalName, Data;
};

struct TLayout
{
    std::vector<TEntry> Entries;
    uint16_t DiskEntries, TotalEntries;
    uint32_t DirectorySize, DirectoryOffset;
    std::string Comment;
};

TLayout ParseArchive(const std::string& z, size_t commentSize = 0)
{
    TLayout layout;
    const size_t end = z.size() - 22 - commentSize;
    EXPECT_EQ(U32At(z, end), 0x06054B50u);
    layout.DiskEntries = U16At(z, end + 8);
    layout.TotalEntries = U16At(z, end + 10);
    layout.DirectorySize = U32At(z, end + 12);
    layout.DirectoryOffset = U32At(z, end + 16);
    layout.Comment = z.substr(end + 22);
    size_t pos = layout.DirectoryOffset;
    while (U32At(z, pos) == 0x02014B50) {
        TEntry e;
        e.MadeBy = U16At(z, pos + 4), e.Needed = U16At(z, pos + 6), e.Flags = U16At(z, pos + 8);
        e.Method = U16At(z, pos + 10), e.Time = U16At(z, pos + 12), e.Date = U16At(z, pos + 14);
        e.Crc = U32At(z, pos + 16), e.CSize = U32At(z, pos + 20), e.USize = U32At(z, pos + 24);
        const size_t n = U16At(z, pos + 28), x = U16At(z, pos + 30), c = U16At(z, pos + 32);
        e.Attributes = U32At(z, pos + 38), e.Offset = U32At(z, pos + 42);
        e.Name = z.substr(pos + 46, n);
        const size_t l = e.Offset;
        EXPECT_EQ(U32At(z, l), 0x04034B50u) << e.Name;
        e.LocalFlags = U16At(z, l + 6), e.LocalMethod = U16At(z, l + 8);
        e.LocalCrc = U32At(z, l + 14), e.LocalCSize = U32At(z, l + 18), e.LocalUSize = U32At(z, l + 22);
        const size_t ln = U16At(z, l + 26), lx = U16At(z, l + 28);
        e.LocalName = z.substr(l + 30, ln);
        e.Data = z.substr(l + 30 + ln + lx, e.CSize);
        layout.Entries.push_back(e);
        pos += 46 + n + x + c;
    }
    EXPECT_EQ(pos, layout.DirectoryOffset + layout.DirectorySize);
    return layout;
}

// A member without data as written: the deflate stream of empty input.
void ExpectEmptyDeflateStream(const TEntry& e)
{
    SCOPED_TRACE(e.Name);
    EXPECT_EQ(e.Method, 8);
    EXPECT_EQ(e.LocalMethod, 8);
    EXPECT_EQ(e.Crc, 0u);
    EXPECT_EQ(e.LocalCrc, 0u);
    EXPECT_EQ(e.CSize, 2u);
    EXPECT_EQ(e.LocalCSize, 2u);
    EXPECT_EQ(e.USize, 0u);
    EXPECT_EQ(e.LocalUSize, 0u);
    EXPECT_EQ(e.Data, std::string("\x03\x00", 2));
}

std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = char(rng() & 0xFF);
    return s;
}

std::string TextOf(size_t n)
{
    std::string s;
    for (size_t i = 0; s.size() < n; ++i)
        s += "Line " + std::to_string(i) + ": shift plan for ward " + std::to_string(i % 17) + "\r\n";
    s.resize(n);
    return s;
}

std::string ContentOf(const TMemoryStream& s)
{
    return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.Size()));
}

void Append(TStream& s, const std::string& text)
{
    s.WriteBuffer(text.data(), int64_t(text.size()));
}

void WriteMember(TKldZipFile& zip, const std::string& name, const std::string& content)
{
    const int index = zip.CreateFile(name);
    TStringStream source(content);
    zip.WriteFileStream(index, source);
}

std::string ReadMember(TKldZipFile& zip, const std::string& name)
{
    TStringStream dest;
    zip.ReadFileStream(zip.GetFile(name), dest);
    return dest.DataString();
}

std::vector<std::string> Names(const TKldZipFile& zip)
{
    std::vector<std::string> names;
    for (int i = 0; i < zip.GetFileCount(); ++i)
        names.push_back(zip.GetFileName(i));
    return names;
}

// An archive of the members (program names, contents) written to `path`.
void MakeArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members)
{
    TKldZipFile zip;
    zip.NewZipFile(path);
    for (const auto& [name, content] : members)
        WriteMember(zip, name, content);
    zip.Close(true);
}

// The file names in a folder, for spotting left-over temporary files.
std::vector<std::string> FolderContent(const std::string& dir)
{
    return FindFiles(dir, "*", true);
}

// Gives writes of this process a file size limit for the scope; a write past
// it fails (EFBIG) instead of ending the process.
class TFileSizeLimit
{
  public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};

} // namespace

// --- The layout written ---------------------------------------------------------------------

TEST(KldSciZipFile, WritesFolderBeforeItsMemberWithTheFixedFields)
{
    TTempFolder dir;
    const std::string content = TextOf(5000);
    MakeArchive(dir / "t.zip", {{"a\\b.txt", content}});
    const std::string z = ReadText(dir / "t.zip");
    const TLayout layout = ParseArchive(z);

    ASSERT_EQ(layout.Entries.size(), 2u);
    EXPECT_EQ(layout.DiskEntries, 2);
    EXPECT_EQ(layout.TotalEntries, 2);
    EXPECT_EQ(layout.DirectoryOffset + layout.DirectorySize + 22, z.size());
    const TEntry& folder = layout.Entries[0];
    const TEntry& file = layout.Entries[1];
    EXPECT_EQ(folder.Name, "a/");
    EXPECT_EQ(folder.Offset, 0u);
    EXPECT_EQ(folder.Attributes, 16u);
    // Zero bytes are no deflate stream: a member without data carries the
    // deflate stream of empty input.
    ExpectEmptyDeflateStream(folder);
    EXPECT_EQ(file.Name, "a/b.txt");
    EXPECT_EQ(file.Offset, 30u + 2u + 2u);
    EXPECT_EQ(file.Attributes, 0u);
    EXPECT_EQ(file.Crc, Crc(content));
    EXPECT_EQ(file.USize, content.size());
    EXPECT_EQ(file.Method, 8);
    for (const TEntry& e : layout.Entries) {
        SCOPED_TRACE(e.Name);
        EXPECT_EQ(e.MadeBy, 20);
        EXPECT_EQ(e.Needed, 20);
        EXPECT_EQ(e.Flags, 0);
        EXPECT_EQ(e.LocalName, e.Name);
        EXPECT_EQ(e.LocalFlags, e.Flags);
        EXPECT_EQ(e.LocalMethod, e.Method);
        EXPECT_EQ(e.LocalCrc, e.Crc);
        EXPECT_EQ(e.LocalCSize, e.CSize);
        EXPECT_EQ(e.LocalUSize, e.USize);
    }
}

TEST(KldSciZipFile, MembersWithoutDataAreWrittenAsTheEmptyDeflateStream)
{
    TTempFolder dir;
    {
        TKldZipFile zip;
        zip.NewZipFile(dir / "t.zip");
        zip.CreateFile("a\\b.txt");
        zip.CreateFolder("Leer");
        WriteMember(zip, "leer.txt", "");
        // In memory a member without data is what CreateFile made: method 8,
        // sizes and CRC 0.
        for (const char* name : {"a", "a\\b.txt", "Leer"}) {
            SCOPED_TRACE(name);
            const TFileInfo& info = zip.GetFileInfo(zip.GetFile(name));
            EXPECT_EQ(info.Method, 8);
            EXPECT_EQ(info.CompressedSize, 0u);
            EXPECT_EQ(info.UncompressedSize, 0u);
            EXPECT_EQ(info.CRC32, 0u);
        }
        zip.Close(true);
    }
    const TLayout layout = ParseArchive(ReadText(dir / "t.zip"));
    const std::vector<std::string> names = {"a/", "a/b.txt", "Leer/", "leer.txt"};
    ASSERT_EQ(layout.Entries.size(), names.size());
    uint32_t offset = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const TEntry& e = layout.Entries[i];
        EXPECT_EQ(e.Name, names[i]);
        EXPECT_EQ(e.Offset, offset) << e.Name;
        ExpectEmptyDeflateStream(e);
        offset += 30 + uint32_t(e.Name.size()) + 2;
    }

    // Read back, they are empty; written again, they stay as they are.
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "a\\b.txt"), "");
    EXPECT_EQ(ReadMember(zip, "leer.txt"), "");
    EXPECT_TRUE(zip.GetFileInfo(zip.GetFile("Leer")).IsFolder());
    WriteMember(zip, "z.txt", "last");
    zip.Close(true);
    const TLayout again = ParseArchive(ReadText(dir / "t.zip"));
    ASSERT_EQ(again.Entries.size(), names.size() + 1);
    for (size_t i = 0; i < names.size(); ++i)
        ExpectEmptyDeflateStream(again.Entries[i]);
}

TEST(KldSciZipFile, StoresZlibOutputWithoutHeaderAndChecksum)
{
    struct Case
    {
        const char* Desc;
        TZCompressionLevel Level;
        int ZlibLevel;
    };
    const Case cases[] = {
        {"none", zcNone, 0},          {"fastest", zcFastest, 1}, {"default", zcDefault, Z_DEFAULT_COMPRESSION},
        {"max", zcMax, 9},            {"level 1", zcLevel1, 1},  {"level 5", zcLevel5, 5},
        {"level 9", zcLevel9, 9},
    };
    const std::string content = TextOf(300000) + RandomBytes(70000, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TTempFolder dir;
        TKldZipFile zip;
        zip.NewZipFile(dir / "t.zip");
        zip.SetCompressionLevel(c.Level);
        WriteMember(zip, "x.bin", content);
        zip.Close(true);

        uLongf size = compressBound(uLong(content.size()));
        std::string zlib(size, '\0');
        ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(zlib.data()), &size,
                            reinterpret_cast<const Bytef*>(content.data()), uLong(content.size()), c.ZlibLevel),
                  Z_OK);
        zlib.resize(size);
        const TEntry e = ParseArchive(ReadText(dir / "t.zip")).Entries.at(0);
        EXPECT_EQ(e.CSize, zlib.size() - 6);
        EXPECT_EQ(e.Data, zlib.substr(2, zlib.size() - 6));
        EXPECT_NE(uint8_t(e.Data[0]), 0x78);
    }
}

TEST(KldSciZipFile, NamesBeyondAsciiCarryTheUtf8Flag)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"plain.txt", "a"}, {"Bewohner\\Müller Zoë.txt", "b"}});
    const TLayout layout = ParseArchive(ReadText(dir / "t.zip"));
    ASSERT_EQ(layout.Entries.size(), 3u);
    EXPECT_EQ(layout.Entries[0].Name, "Bewohner/");
    EXPECT_EQ(layout.Entries[0].Flags, 0);
    EXPECT_EQ(layout.Entries[1].Name, "Bewohner/Müller Zoë.txt");
    EXPECT_EQ(layout.Entries[1].Flags, 0x0800);
    EXPECT_EQ(layout.Entries[1].LocalFlags, 0x0800);
    EXPECT_EQ(layout.Entries[2].Flags, 0);

    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "bewohner\\MÜLLER ZOË.TXT"), "b");
}

// --- Reading ----------------------------------------------------------------------------------

TEST(KldSciZipFile, RoundTripKeepsEveryMember)
{
    TTempFolder dir;
    const std::vector<std::pair<std::string, std::string>> members = {
        {"empty.txt", ""},
        {"one.txt", "x"},
        {"docs\\text.txt", TextOf(1 << 20)},
        {"docs\\deep\\random.bin", RandomBytes(300000, 7)},
        {"zeros.bin", std::string(2000000, '\0')},
    };
    const TDateTime before = IncSecond(Now(), -2);
    MakeArchive(dir / "t.zip", members);
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"docs", "docs\\deep", "docs\\deep\\random.bin",
                                                    "docs\\text.txt", "empty.txt", "one.txt", "zeros.bin"}));
    for (const auto& [name, content] : members) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadMember(zip, name), content);
        const int index = zip.GetFile(name);
        EXPECT_GE(zip.GetDateTime(index), before);
        EXPECT_LE(zip.GetDateTime(index), IncSecond(Now(), 2));
        EXPECT_EQ(zip.GetFileAttr(index), 0);
    }
    EXPECT_EQ(zip.GetFileAttr(zip.GetFile("docs")), faDirectory);
    EXPECT_FALSE(zip.Modified());
}

TEST(KldSciZipFile, ReadingAppendsAtTheDestinationPosition)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"a.txt", "content"}});
    TKldZipFile zip(dir / "t.zip");
    TStringStream dest("head:");
    dest.SetPosition(dest.Size());
    zip.ReadFileStream(0, dest);
    EXPECT_EQ(dest.DataString(), "head:content");
}

TEST(KldSciZipFile, OpeningAddsTheFoldersOfMemberPathsWithoutModifying)
{
    TTempFolder dir;
    Archive raw;
    raw.Members.push_back({"x/y/z.txt", "deep"});
    const std::string bytes = raw.Bytes();
    WriteText(dir / "t.zip", bytes);
    {
        TKldZipFile zip(dir / "t.zip");
        EXPECT_EQ(Names(zip), (std::vector<std::string>{"x", "x\\y", "x\\y\\z.txt"}));
        EXPECT_TRUE(zip.GetFileInfo(0).IsFolder());
        EXPECT_TRUE(zip.GetFileInfo(1).IsFolder());
        EXPECT_FALSE(zip.Modified());
        EXPECT_EQ(ReadMember(zip, "x\\y\\z.txt"), "deep");
    }
    // Closing an archive only read leaves its file as it was.
    EXPECT_EQ(ReadText(dir / "t.zip"), bytes);
}

// Another tool may store a file where a member's path needs a folder; such an
// archive still opens: a path step that is a member already gets no folder.
TEST(KldSciZipFile, OpensArchivesWhoseFileStandsOnAMembersPath)
{
    TTempFolder dir;
    Archive raw;
    raw.Members.push_back({"a", "plain file"});
    raw.Members.push_back({"a/b/c.txt", "below"});
    WriteText(dir / "t.zip", raw.Bytes());
    TKldZipFile zip;
    ASSERT_EQ(ErrorOf([&] { zip.OpenZipFile(dir / "t.zip"); }), "");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"a", "a\\b", "a\\b\\c.txt"}));
    EXPECT_FALSE(zip.GetFileInfo(0).IsFolder());
    EXPECT_TRUE(zip.GetFileInfo(1).IsFolder());
    EXPECT_FALSE(zip.Modified());
    EXPECT_EQ(ReadMember(zip, "a"), "plain file");
    EXPECT_EQ(ReadMember(zip, "a\\b\\c.txt"), "below");
    // Making folders here still refuses a file in the way.
    EXPECT_EQ(ErrorOf([&] { zip.CreateFile("a\\x\\d.txt"); }), "Unable to create directory: a");
}

TEST(KldSciZipFile, NamesAsStoredSurviveARewrite)
{
    // Names that the program's own tidying (trimming, one leading
    // delimiter) would change keep their folders when read again.
    TTempFolder dir;
    Archive raw;
    raw.Members.push_back({" lead/ x.txt", "x"});
    raw.Members.push_back({"/root/y.txt", "y"});
    raw.Members.push_back({"a//b.txt", "b"});
    raw.Members.push_back({std::string("\0\0/\0z/z.txt", 11), "z"});
    WriteText(dir / "t.zip", raw.Bytes());
    std::vector<std::string> before;
    {
        TKldZipFile zip(dir / "t.zip");
        before = Names(zip);
        zip.SetComment("rewritten");
        zip.Close(true);
    }
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(Names(zip), before);
    EXPECT_EQ(std::count(before.begin(), before.end(), " lead"), 1);
    EXPECT_EQ(std::count(before.begin(), before.end(), "\\root"), 1);
    EXPECT_EQ(ReadMember(zip, "a\\\\b.txt"), "b");
}

TEST(KldSciZipFile, FindsTheEndRecordBehindAComment)
{
    struct Case
    {
        const char* Desc;
        std::string Comment;
    };
    const std::string signature("PK\x05\x06", 4);
    const Case cases[] = {
        {"no comment", ""},
        {"plain comment", "backup of 2024-03-05"},
        {"comment ending in the signature", "xyz" + signature},
        {"comment holding the signature with text after it", signature + std::string(100, 'x')},
        {"comment of the longest size", std::string(65535, 'c')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TTempFolder dir;
        Archive raw;
        raw.Members.push_back({"a.txt", "alpha"});
        raw.Comment = c.Comment;
        WriteText(dir / "t.zip", raw.Bytes());
        TKldZipFile zip(dir / "t.zip");
        EXPECT_EQ(zip.Comment(), c.Comment);
        EXPECT_EQ(ReadMember(zip, "a.txt"), "alpha");
    }
}

TEST(KldSciZipFile, RefusesWhatIsNoSoundArchive)
{
    Archive good;
    good.Members.push_back({"a.txt", "alpha"});
    good.Members.push_back({"b.txt", "beta"});
    const std::string bytes = good.Bytes();
    const size_t directory = U32At(bytes, bytes.size() - 6);

    auto patched32 = [&](size_t pos, uint32_t v) {
        std::string s = bytes;
        std::string p;
        Put32(p, v);
        s.replace(pos, 4, p);
        return s;
    };
    Archive fewer = good;
    fewer.EntryCount = 3;
    Archive empty;
    struct Case
    {
        const char* Desc;
        std::string Input;
    };
    const Case cases[] = {
        {"nothing", ""},
        {"an end record alone (22 bytes)", empty.Bytes()},
        {"text", "This is not an archive, just some text that is long enough."},
        {"cut in the central directory", bytes.substr(0, directory + 20)},
        {"cut in the end record", bytes.substr(0, bytes.size() - 3)},
        {"directory offset past the end record", patched32(bytes.size() - 6, uint32_t(bytes.size()))},
        {"local header offset past the end", patched32(directory + 42, 0x7FFFFFF0)},
        {"local header offset on member data", patched32(directory + 42, 40)},
        {"compressed size past the end", patched32(directory + 20, 0x00FFFFFF)},
        {"entry count differs from the directory", fewer.Bytes()},
        {"name length past the end record", [&] {
             std::string s = bytes;
             s[directory + 28] = char(0xFF), s[directory + 29] = char(0x7F);
             return s;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TTempFolder dir;
        WriteText(dir / "t.zip", c.Input);
        TKldZipFile zip;
        EXPECT_EQ(ErrorOf([&] { zip.OpenZipFile(dir / "t.zip"); }), "Invalid zip file format");
        // Failing to open leaves nothing behind.
        EXPECT_FALSE(zip.Active());
        EXPECT_EQ(zip.GetFileCount(), 0);
        EXPECT_EQ(zip.FileName(), "");

        TStringStream stream(c.Input);
        EXPECT_EQ(ErrorOf([&] { zip.LoadFromStream(stream, true); }), "Invalid zip file format");
        EXPECT_EQ(zip.GetFileCount(), 0);
    }
}

TEST(KldSciZipFile, TheFormatErrorIsAPlainException)
{
    TStringStream stream("short");
    TKldZipFile zip;
    try {
        zip.LoadFromStream(stream, false);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), "Exception");
    }
}

TEST(KldSciZipFile, ChecksLengthAndCrcOfWhatItInflates)
{
    const std::string content = TextOf(20000);
    struct Case
    {
        const char* Desc;
        Member Input;
        std::string Expected;
    };
    Member badCrc{"a.txt", content};
    badCrc.Crc32 = Crc(content) ^ 1;
    Member shorter{"a.txt", content};
    shorter.UncompressedSize = 1000;
    Member longer{"a.txt", content};
    longer.UncompressedSize = 30000;
    Member cut{"a.txt", content};
    cut.Data = Deflate(content).substr(0, 100);
    Member garbage{"a.txt", content};
    garbage.Data = std::string(64, '\xFF');
    Member stored{"a.txt", content, 0};
    stored.UncompressedSize = 100;
    const Case cases[] = {
        {"stored CRC differs", badCrc, "CRC error reading file \"a.txt\"."},
        {"declared size smaller: one byte more is read and no further",
         shorter, "File \"a.txt\" has invalid length. Read: 1001; expected: 1000"},
        {"declared size larger", longer, "File \"a.txt\" has invalid length. Read: 20000; expected: 30000"},
        {"deflate data cut", cut, ""},
        {"no deflate data at all", garbage, ""},
        {"stored member larger than declared", stored,
         "File \"a.txt\" has invalid length. Read: 101; expected: 100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Archive raw;
        raw.Members.push_back(c.Input);
        TStringStream stream(raw.Bytes());
        TKldZipFile zip;
        zip.LoadFromStream(stream, true);
        TStringStream dest;
        const std::string error = ErrorOf<EKldZipFileError>([&] { zip.ReadFileStream(0, dest); });
        if (c.Expected.empty())
            EXPECT_NE(error.find("has invalid length"), std::string::npos) << error;
        else
            EXPECT_EQ(error, c.Expected);
        EXPECT_LE(dest.Size(), int64_t(c.Input.UncompressedSize >= 0 ? c.Input.UncompressedSize + 1 : 20001));
    }
}

TEST(KldSciZipFile, ReadsStoredMembersAndDataDescriptors)
{
    Archive raw;
    raw.Members.push_back({"stored.txt", "kept as it is", 0});
    Member described{"described.txt", TextOf(4000)};
    described.Descriptor = true;
    raw.Members.push_back(described);
    TStringStream stream(raw.Bytes());
    TKldZipFile zip;
    zip.LoadFromStream(stream, true);
    EXPECT_EQ(ReadMember(zip, "stored.txt"), "kept as it is");
    EXPECT_EQ(ReadMember(zip, "described.txt"), TextOf(4000));
}

TEST(KldSciZipFile, ReadsEmptyMembersOfOlderArchivesAndMendsZeroByteDeflateOnRewrite)
{
    // Older versions stored members without data; the earliest ones, and
    // some other tools, wrote them deflated with zero bytes of data.
    Archive raw;
    Member storedFile{"stored.txt", "", 0};
    Member storedFolder{"stored/", "", 0};
    storedFolder.ExternalAttributes = faDirectory;
    Member zeroFile{"zero.txt", ""};
    zeroFile.Data = "";
    Member zeroFolder{"zero/", ""};
    zeroFolder.Data = "";
    zeroFolder.ExternalAttributes = faDirectory;
    raw.Members = {storedFile, storedFolder, zeroFile, zeroFolder, {"zz.txt", "behind them"}};
    TTempFolder dir;
    WriteText(dir / "old.zip", raw.Bytes());
    {
        TKldZipFile zip(dir / "old.zip");
        EXPECT_EQ(Names(zip), (std::vector<std::string>{"stored", "stored.txt", "zero", "zero.txt", "zz.txt"}));
        for (const char* name : {"stored.txt", "zero.txt"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(ReadMember(zip, name), "");
        }
        EXPECT_TRUE(zip.GetFileInfo(zip.GetFile("stored")).IsFolder());
        EXPECT_TRUE(zip.GetFileInfo(zip.GetFile("zero")).IsFolder());
        EXPECT_EQ(ReadMember(zip, "zz.txt"), "behind them");
        WriteMember(zip, "added.txt", "new");
        zip.Close(true);
    }
    // Stored members are copied as they are; zero bytes of deflate data
    // become the empty deflate stream, which every reader takes.
    const TLayout layout = ParseArchive(ReadText(dir / "old.zip"));
    std::map<std::string, TEntry> entries;
    for (const TEntry& e : layout.Entries)
        entries[e.Name] = e;
    for (const char* name : {"stored.txt", "stored/"}) {
        SCOPED_TRACE(name);
        const TEntry& e = entries.at(name);
        EXPECT_EQ(e.Method, 0);
        EXPECT_EQ(e.LocalMethod, 0);
        EXPECT_EQ(e.CSize, 0u);
        EXPECT_EQ(e.LocalCSize, 0u);
    }
    ExpectEmptyDeflateStream(entries.at("zero.txt"));
    ExpectEmptyDeflateStream(entries.at("zero/"));
    TKldZipFile zip(dir / "old.zip");
    EXPECT_EQ(ReadMember(zip, "stored.txt"), "");
    EXPECT_EQ(ReadMember(zip, "zero.txt"), "");
    EXPECT_EQ(ReadMember(zip, "zz.txt"), "behind them");
    EXPECT_EQ(ReadMember(zip, "added.txt"), "new");
}

TEST(KldSciZipFile, RefusesMembersAboveTheMemoryLimit)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"big.bin", RandomBytes(5000, 1)}, {"small.txt", "s"}});
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(zip.MaxMemorySize(), 10000000);
    zip.SetMaxMemorySize(4000);
    TStringStream dest;
    EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { zip.ReadFileStream(zip.GetFile("big.bin"), dest); }),
              "File big.bin is too large to uncompress in memory");
    EXPECT_EQ(ReadMember(zip, "small.txt"), "s");
}

TEST(KldSciZipFile, MemberDataNeedsAStream)
{
    Archive raw;
    raw.Members.push_back({"a.txt", "alpha"});
    TStringStream stream(raw.Bytes());
    TKldZipFile zip;
    zip.LoadFromStream(stream, false);
    TStringStream dest;
    EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { zip.ReadFileStream(0, dest); }), "Invalid file stream");
    EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { zip.LoadFileData(0, nullptr); }), "Invalid file stream");
    zip.LoadFileData(0, stream);
    EXPECT_TRUE(zip.GetFileInfo(0).DataInMemory);
    zip.ReadFileStream(0, dest);
    EXPECT_EQ(dest.DataString(), "alpha");
}

TEST(KldSciZipFile, CachedDataOfTheOpenedFileCanBeDropped)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"a.txt", "alpha"}});
    TKldZipFile zip(dir / "t.zip");
    EXPECT_FALSE(zip.GetFileInfo(0).DataInMemory);
    EXPECT_EQ(ReadMember(zip, "a.txt"), "alpha");
    EXPECT_TRUE(zip.GetFileInfo(0).DataInMemory);
    WriteMember(zip, "b.txt", "beta");
    zip.ResetCachedData();
    EXPECT_FALSE(zip.GetFileInfo(zip.GetFile("a.txt")).DataInMemory);
    EXPECT_TRUE(zip.GetFileInfo(zip.GetFile("b.txt")).DataInMemory);
    EXPECT_EQ(ReadMember(zip, "a.txt"), "alpha");
    zip.Close(false);
}

// --- Names --------------------------------------------------------------------------------------

TEST(KldSciZipFile, DecodesNamesByFlagExtraFieldOrCodePage437)
{
    struct Case
    {
        const char* Desc;
        Member Input;
        std::string Expected;
    };
    Member utf8{"Gr\xC3\xBC\xC3\x9F" "e.txt", "1"};
    utf8.Flags = 0x0800;
    Member oem{"Gr\x81\xE1" "e.txt", "2"};
    Member extra{"Gr?e.txt", "3"};
    extra.Extra = UnicodePathField("Gr?e.txt", "Grüße.txt");
    Member staleExtra{"Gr\x81" "e.txt", "4"};
    staleExtra.Extra = UnicodePathField("other name", "Wrong.txt");
    Member badUtf8{"\xFF" "x.txt", "5"};
    badUtf8.Flags = 0x0800;
    Member unix{"Gr\xC3\xBC\xC3\x9F" "e.txt", "6"};
    unix.MadeBy = 0x031E;
    Member unixOem{"Gr\x81\xE1" "e.txt", "7"};
    unixOem.MadeBy = 0x031E;
    Member dosUtf8{"Gr\xC3\xBC" ".txt", "8"};
    // Info-ZIP on Unix puts an ASCII stand-in in the name and the real name
    // in the field: the field says more than the guess from the host.
    Member unixExtra{"caf?.txt", "9"};
    unixExtra.MadeBy = 0x031E;
    unixExtra.Extra = UnicodePathField("caf?.txt", "café.txt");
    const Case cases[] = {
        {"UTF-8 flag", utf8, "Grüße.txt"},
        {"code page 437 without the flag", oem, "Grüße.txt"},
        {"Unicode path field", extra, "Grüße.txt"},
        {"Unicode path field for other name bytes is ignored", staleExtra, "Grüe.txt"},
        {"flag on bytes that are no UTF-8", badUtf8, "\xC2\xA0x.txt"},
        {"written on Unix: the file system's UTF-8 bytes", unix, "Grüße.txt"},
        {"written on Unix, bytes that are no UTF-8", unixOem, "Grüße.txt"},
        {"written on DOS: code page 437 whatever the bytes", dosUtf8, "Gr├╝.txt"},
        {"written on Unix with a Unicode path field", unixExtra, "café.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Archive raw;
        raw.Members.push_back(c.Input);
        TStringStream stream(raw.Bytes());
        TKldZipFile zip;
        zip.LoadFromStream(stream, true);
        ASSERT_EQ(zip.GetFileCount(), 1);
        EXPECT_EQ(zip.GetFileName(0), c.Expected);
        EXPECT_EQ(zip.GetFileInfo(0).ZipName, c.Expected);
    }
}

TEST(KldSciZipFile, LoadedMembersKeepTheirNameBytesAndFlagsWhenRewritten)
{
    TTempFolder dir;
    Archive raw;
    raw.Members.push_back({"Gr\x81" "e.txt", "oem"});
    Member flagged{"D\xC3\xA9j\xC3\xA0.txt", "utf8"};
    flagged.Flags = 0x0800;
    raw.Members.push_back(flagged);
    Member extra{"caf?.txt", "extra"};
    extra.Extra = UnicodePathField("caf?.txt", "café.txt");
    raw.Members.push_back(extra);
    WriteText(dir / "t.zip", raw.Bytes());
    {
        TKldZipFile zip(dir / "t.zip");
        WriteMember(zip, "new.txt", "n");
        // A member given new data keeps its name as stored, extra field and all.
        TStringStream data("extra, rewritten");
        zip.WriteFileStream(zip.GetFile("café.txt"), data);
        zip.Close(true);
    }
    const TLayout layout = ParseArchive(ReadText(dir / "t.zip"));
    ASSERT_EQ(layout.Entries.size(), 4u);
    const std::vector<std::pair<std::string, uint16_t>> expected = {
        {"caf?.txt", 0}, {"D\xC3\xA9j\xC3\xA0.txt", 0x0800}, {"Gr\x81" "e.txt", 0}, {"new.txt", 0}};
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(layout.Entries[i].Name, expected[i].first);
        EXPECT_EQ(layout.Entries[i].LocalName, expected[i].first);
        EXPECT_EQ(layout.Entries[i].Flags, expected[i].second);
        EXPECT_EQ(layout.Entries[i].LocalFlags, expected[i].second);
    }
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"café.txt", "Déjà.txt", "Grüe.txt", "new.txt"}));
    EXPECT_EQ(ReadMember(zip, "café.txt"), "extra, rewritten");
    EXPECT_EQ(ReadMember(zip, "Grüe.txt"), "oem");
}

TEST(KldSciZipFile, LargeExtraFieldAndCommentOfOneMemberSurviveARewrite)
{
    // Each is a field of its own, up to 65,535 bytes; together they may be more.
    TTempFolder dir;
    Archive raw;
    Member big{"big.txt", "content"};
    Put16(big.Extra, 0xCAFE), Put16(big.Extra, 40000 - 4);
    big.Extra += std::string(40000 - 4, 'x');
    big.Comment = std::string(40000, 'c');
    raw.Members.push_back(big);
    WriteText(dir / "t.zip", raw.Bytes());
    {
        TKldZipFile zip(dir / "t.zip");
        WriteMember(zip, "new.txt", "n");
        zip.Close(true);
    }
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "big.txt"), "content");
    EXPECT_EQ(zip.GetFileInfo(zip.GetFile("big.txt")).Extra, big.Extra);
    EXPECT_EQ(zip.GetFileInfo(zip.GetFile("big.txt")).Comment, big.Comment);
}

TEST(KldSciZipFile, MembersGivenNewDataKeepTheNameTheyWereReadUnder)
{
    // Written again here, a member says "made by" 20 (DOS): a name that was
    // read as UTF-8 only because a Unix tool wrote it must now carry the flag.
    TTempFolder dir;
    Archive raw;
    Member unix{"Gr\xC3\xBC\xC3\x9F" "e.txt", "unix"};
    unix.MadeBy = 0x031E;
    raw.Members.push_back(unix);
    raw.Members.push_back({"Gr\x81" "e.txt", "oem"});
    WriteText(dir / "t.zip", raw.Bytes());
    {
        TKldZipFile zip(dir / "t.zip");
        for (const char* name : {"Grüße.txt", "Grüe.txt"}) {
            TStringStream data(std::string("new ") + name);
            zip.WriteFileStream(zip.GetFile(name), data);
        }
        zip.Close(true);
    }
    const TLayout layout = ParseArchive(ReadText(dir / "t.zip"));
    ASSERT_EQ(layout.Entries.size(), 2u);
    EXPECT_EQ(layout.Entries[0].Name, "Gr\x81" "e.txt");
    EXPECT_EQ(layout.Entries[0].Flags, 0);
    EXPECT_EQ(layout.Entries[1].Name, "Grüße.txt");
    EXPECT_EQ(layout.Entries[1].Flags, 0x0800);
    EXPECT_EQ(layout.Entries[1].LocalFlags, 0x0800);
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"Grüe.txt", "Grüße.txt"}));
    EXPECT_EQ(ReadMember(zip, "Grüße.txt"), "new Grüße.txt");
}

TEST(KldSciZipFile, RenamedMembersAreWrittenUnderTheirNewName)
{
    TTempFolder dir;
    Archive raw;
    raw.Members.push_back({"Gr\x81" "e.txt", "oem"});
    WriteText(dir / "t.zip", raw.Bytes());
    {
        TKldZipFile zip(dir / "t.zip");
        zip.RenameFile("Grüe.txt", "Größe.txt");
        zip.Close(true);
    }
    const TLayout layout = ParseArchive(ReadText(dir / "t.zip"));
    ASSERT_EQ(layout.Entries.size(), 1u);
    EXPECT_EQ(layout.Entries[0].Name, "Größe.txt");
    EXPECT_EQ(layout.Entries[0].LocalName, "Größe.txt");
    EXPECT_EQ(layout.Entries[0].Flags, 0x0800);
    EXPECT_EQ(layout.Entries[0].LocalFlags, 0x0800);
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "Größe.txt"), "oem");
}

TEST(KldSciZipFile, DataDescriptorMembersAreRewrittenWithSizesInTheirHeader)
{
    TTempFolder dir;
    Archive raw;
    Member described{"d.txt", TextOf(3000)};
    described.Descriptor = true;
    raw.Members.push_back(described);
    WriteText(dir / "t.zip", raw.Bytes());
    {
        TKldZipFile zip(dir / "t.zip");
        WriteMember(zip, "e.txt", "e");
        zip.Close(true);
    }
    const TEntry e = ParseArchive(ReadText(dir / "t.zip")).Entries.at(0);
    EXPECT_EQ(e.Name, "d.txt");
    EXPECT_EQ(e.Flags & 8, 0);
    EXPECT_EQ(e.LocalFlags & 8, 0);
    EXPECT_EQ(e.LocalCrc, Crc(TextOf(3000)));
    EXPECT_EQ(e.LocalCSize, e.CSize);
    EXPECT_EQ(e.LocalUSize, 3000u);
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "d.txt"), TextOf(3000));
}

// --- Rewriting ----------------------------------------------------------------------------------

TEST(KldSciZipFile, RewriteKeepsOldMemberDataAndLeavesNoTemporaryFile)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"a.txt", TextOf(10000)}, {"b\\c.bin", RandomBytes(20000, 2)}});
    const TLayout before = ParseArchive(ReadText(dir / "t.zip"));
    {
        TKldZipFile zip(dir / "t.zip");
        WriteMember(zip, "new.txt", "added");
        zip.Close(true);
    }
    EXPECT_EQ(FolderContent(dir.Path()), std::vector<std::string>{"t.zip"});
    const TLayout after = ParseArchive(ReadText(dir / "t.zip"));
    ASSERT_EQ(after.Entries.size(), before.Entries.size() + 1);
    for (const TEntry& old : before.Entries) {
        SCOPED_TRACE(old.Name);
        auto it = std::find_if(after.Entries.begin(), after.Entries.end(),
                               [&](const TEntry& e) { return e.Name == old.Name; });
        ASSERT_NE(it, after.Entries.end());
        EXPECT_EQ(it->Data, old.Data);
        EXPECT_EQ(it->Crc, old.Crc);
        EXPECT_EQ(it->Time, old.Time);
        EXPECT_EQ(it->Date, old.Date);
    }
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "new.txt"), "added");
    EXPECT_EQ(ReadMember(zip, "b\\c.bin"), RandomBytes(20000, 2));
}

TEST(KldSciZipFile, FlushKeepsTheArchiveReadable)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"a.txt", TextOf(10000)}, {"z.txt", TextOf(777)}});
    TKldZipFile zip(dir / "t.zip");
    // The new member goes first, so every old member moves in the file.
    WriteMember(zip, "0.txt", RandomBytes(5000, 4));
    zip.Flush();
    EXPECT_TRUE(zip.Active());
    EXPECT_FALSE(zip.Modified());
    zip.ResetCachedData();
    EXPECT_EQ(ReadMember(zip, "a.txt"), TextOf(10000));
    EXPECT_EQ(ReadMember(zip, "z.txt"), TextOf(777));
    WriteMember(zip, "1.txt", "one");
    zip.Flush();
    zip.Close(true);
    TKldZipFile again(dir / "t.zip");
    EXPECT_EQ(Names(again), (std::vector<std::string>{"0.txt", "1.txt", "a.txt", "z.txt"}));
    EXPECT_EQ(ReadMember(again, "0.txt"), RandomBytes(5000, 4));
}

TEST(KldSciZipFile, AFailedRewriteLeavesTheOldArchiveWholeAndOpen)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"a.txt", "alpha"}});
    const std::string old = ReadText(dir / "t.zip");
    TKldZipFile zip(dir / "t.zip");
    WriteMember(zip, "big.bin", RandomBytes(200000, 5));
    {
        TFileSizeLimit limit(100000);
        EXPECT_NE(ErrorOf([&] { zip.Close(true); }), "");
    }
    EXPECT_EQ(ReadText(dir / "t.zip"), old);
    EXPECT_EQ(FolderContent(dir.Path()), std::vector<std::string>{"t.zip"});
    EXPECT_TRUE(zip.Active());
    EXPECT_EQ(ReadMember(zip, "a.txt"), "alpha");
    zip.Close(true);
    TKldZipFile again(dir / "t.zip");
    EXPECT_EQ(ReadMember(again, "big.bin"), RandomBytes(200000, 5));
}

TEST(KldSciZipFile, ANewArchiveIsWrittenWhenReleased)
{
    TTempFolder dir;
    {
        TKldZipFile zip;
        zip.NewZipFile(dir / "t.zip");
        EXPECT_TRUE(zip.Active());
        WriteMember(zip, "a.txt", "alpha");
        EXPECT_FALSE(FileExists(dir / "t.zip"));
    }
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "a.txt"), "alpha");
}

TEST(KldSciZipFile, SavesToStreamsAndOtherFiles)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"a.txt", "alpha"}});
    TKldZipFile zip(dir / "t.zip");
    zip.SetComment("copy");
    // Offsets are positions in the stream: an archive behind other data
    // (a program in front of it) reads from the same stream.
    TStringStream copy("program in front");
    copy.SetPosition(copy.Size());
    zip.SaveToStream(copy);
    zip.SaveToFile(dir / "copy.zip");
    zip.Close(false);
    TKldZipFile fromFile(dir / "copy.zip");
    EXPECT_EQ(fromFile.Comment(), "copy");
    EXPECT_EQ(ReadMember(fromFile, "a.txt"), "alpha");
    TKldZipFile fromStream;
    fromStream.LoadFromStream(copy, true);
    EXPECT_EQ(ReadMember(fromStream, "a.txt"), "alpha");
    EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { fromStream.SaveToStream(copy); }),
              "Cannot perform this operation on a closed zip file.");
}

// --- Members ------------------------------------------------------------------------------------

TEST(KldSciZipFile, MemberOperationsReportTheirErrors)
{
    TTempFolder dir;
    TKldZipFile zip;
    struct Case
    {
        const char* Desc;
        std::function<void()> Input;
        std::string Expected;
    };
    const Case closed[] = {
        {"create on a closed archive", [&] { zip.CreateFile("a.txt"); },
         "Cannot perform this operation on a closed zip file."},
        {"missing member", [&] { zip.GetFile("a.txt"); }, "File not found: a.txt"},
    };
    for (const Case& c : closed) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf<EKldZipFileError>(c.Input), c.Expected);
    }
    zip.NewZipFile(dir / "t.zip");
    WriteMember(zip, "f.txt", "file");
    zip.CreateFolder("a");
    WriteMember(zip, "a\\b.txt", "b");
    const Case cases[] = {
        {"open while active", [&] { zip.OpenZipFile(dir / "t.zip"); },
         "Cannot perform this operation on an open zip file."},
        {"new while active", [&] { zip.NewZipFile(dir / "u.zip"); },
         "Cannot perform this operation on an open zip file."},
        {"empty name", [&] { zip.CreateFile("  \\ "); }, "Invalid or empty file name"},
        {"existing name, other case", [&] { zip.CreateFile("F.TXT"); }, "File already exists: F.TXT"},
        {"folder through a file", [&] { zip.CreateFile("f.txt\\x.txt"); }, "Unable to create directory: f.txt"},
        {"forcing a file's name", [&] { zip.ForceDirectories("f.txt"); }, "Unable to create directory: f.txt"},
        {"deleting a full folder", [&] { zip.DeleteFile("a"); }, "Unable to delete file: a"},
        {"deleting a missing member", [&] { zip.DeleteFile("nothing"); }, "File not found: nothing"},
        {"renaming onto a member", [&] { zip.RenameFile("f.txt", "a\\b.txt"); }, "File already exists: a\\b.txt"},
        {"renaming into a missing folder", [&] { zip.RenameFile("f.txt", "q\\f.txt"); }, "File not found: q"},
        {"renaming into a file", [&] { zip.RenameFile("a\\b.txt", "f.txt\\b.txt"); },
         "f.txt is not a directory"},
        {"moving a folder into itself", [&] { zip.RenameFile("a", "a\\c"); }, "Unable to create directory: a\\c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf<EKldZipFileError>(c.Input), c.Expected);
    }
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"a", "a\\b.txt", "f.txt"}));
}

TEST(KldSciZipFile, CreatesFoldersOfAPathAndTakesSlashesAsDelimiters)
{
    TTempFolder dir;
    TKldZipFile zip;
    zip.NewZipFile(dir / "t.zip");
    EXPECT_EQ(zip.CreateFile(" \\r/s\\t.txt "), 2);
    EXPECT_EQ(zip.CreateFolder("r\\u"), 3);
    zip.ForceDirectories("r\\u\\v");
    zip.ForceDirectories("");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"r", "r\\s", "r\\s\\t.txt", "r\\u", "r\\u\\v"}));
    EXPECT_EQ(zip.FindFile("/r/s/t.txt"), 2);
    EXPECT_EQ(zip.FindFile("R\\S\\"), 1);
    EXPECT_EQ(zip.FindFile(""), -1);
    EXPECT_EQ(zip.FindFile("r\\s\\x"), -1);
    EXPECT_TRUE(zip.Modified());
    zip.Close(false);
    EXPECT_FALSE(FileExists(dir / "t.zip"));
}

TEST(KldSciZipFile, RenamingAFolderMovesItsMembers)
{
    TTempFolder dir;
    TKldZipFile zip;
    zip.NewZipFile(dir / "t.zip");
    WriteMember(zip, "a\\b.txt", "b");
    WriteMember(zip, "a\\d\\e.txt", "e");
    WriteMember(zip, "a.txt", "sibling");
    WriteMember(zip, "b.txt", "other");
    zip.RenameFile("a", "c");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"a.txt", "b.txt", "c", "c\\b.txt", "c\\d", "c\\d\\e.txt"}));
    zip.RenameFile("b.txt", "c\\d\\b2.txt");
    zip.RenameFile("a.txt", "A.TXT");
    zip.RenameFile("c\\d", "c\\D");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"A.TXT", "c", "c\\b.txt", "c\\D", "c\\D\\b2.txt", "c\\D\\e.txt"}));
    zip.Close(true);
    TKldZipFile again(dir / "t.zip");
    EXPECT_EQ(ReadMember(again, "c\\d\\e.txt"), "e");
    EXPECT_EQ(ReadMember(again, "c\\d\\b2.txt"), "other");
    EXPECT_EQ(again.GetFileInfo(again.GetFile("c\\d")).ZipName, "c/D/");
}

TEST(KldSciZipFile, DeletesFilesAndEmptyFolders)
{
    TTempFolder dir;
    TKldZipFile zip;
    zip.NewZipFile(dir / "t.zip");
    WriteMember(zip, "a\\b.txt", "b");
    zip.DeleteFile("a\\b.txt");
    zip.DeleteFile(zip.GetFile("a"));
    EXPECT_EQ(zip.GetFileCount(), 0);
}

TEST(KldSciZipFile, DatesAndAttributes)
{
    TTempFolder dir;
    TKldZipFile zip;
    zip.NewZipFile(dir / "t.zip");
    const int index = zip.CreateFile("a.txt", faReadOnly | faArchive);
    EXPECT_EQ(zip.GetFileAttr(index), faReadOnly | faArchive);
    struct Case
    {
        const char* Desc;
        TDateTime Input;
        TDateTime Expected;
    };
    const Case cases[] = {
        {"even seconds stay", EncodeDateTime(2024, 3, 5, 13, 45, 20, 0), EncodeDateTime(2024, 3, 5, 13, 45, 20, 0)},
        {"odd seconds round down", EncodeDateTime(2024, 3, 5, 13, 45, 21, 900),
         EncodeDateTime(2024, 3, 5, 13, 45, 20, 0)},
        {"before 1980", EncodeDate(1970, 6, 1), EncodeDate(1980, 1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        zip.SetDateTime(index, c.Input);
        EXPECT_EQ(zip.GetDateTime(index), c.Expected);
    }
    zip.SetFileAttr(index, faHidden);
    zip.Close(true);
    TKldZipFile again(dir / "t.zip");
    EXPECT_EQ(again.GetFileAttr(0), faHidden);
    EXPECT_EQ(again.GetDateTime(0), EncodeDate(1980, 1, 1));
}

// --- Member streams --------------------------------------------------------------------------------

TEST(KldSciZipFile, MemberStreamsReadAndWriteBack)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"b.txt", "original"}});
    TKldZipFile zip(dir / "t.zip");
    {
        auto reading = zip.CreateStream("b.txt", 0);
        EXPECT_EQ(reading->Position(), 0);
        EXPECT_EQ(ContentOf(*reading), "original");
        EXPECT_EQ(reading->FileIndex(), -1);
        Append(*reading, "changed, never written back");
    }
    EXPECT_EQ(ReadMember(zip, "b.txt"), "original");
    {
        auto writing = zip.CreateStream("b.txt", fmOpenReadWrite);
        EXPECT_EQ(writing->ZipFile(), &zip);
        EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { zip.RenameFile("b.txt", "c.txt"); }),
                  "Unable to write lock file: b.txt");
        EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { zip.DeleteFile("b.txt"); }), "Unable to write lock file: b.txt");
        EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { zip.CreateStream("b.txt", fmOpenWrite); }),
                  "Unable to write lock file: b.txt");
        // A member added meanwhile moves the stream's member in the table.
        zip.CreateFile("a.txt");
        EXPECT_EQ(writing->FileIndex(), 1);
        writing->SetSize(0);
        Append(*writing, "rewritten");
    }
    EXPECT_EQ(ReadMember(zip, "b.txt"), "rewritten");
    EXPECT_EQ(ReadMember(zip, "a.txt"), "");
    zip.RenameFile("b.txt", "c.txt");
    EXPECT_EQ(ErrorOf<EKldZipFileError>([&] { zip.CreateStream("b.txt", 0); }), "File not found: b.txt");
}

TEST(KldSciZipFile, ClosingDisconnectsMemberStreams)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"b.txt", "original"}});
    std::unique_ptr<TKldZipFileStream> stream;
    {
        TKldZipFile zip(dir / "t.zip");
        stream = zip.CreateStream("b.txt", fmOpenWrite);
        Append(*stream, "lost");
    }
    EXPECT_EQ(stream->ZipFile(), nullptr);
    stream.reset();
    TKldZipFile zip(dir / "t.zip");
    EXPECT_EQ(ReadMember(zip, "b.txt"), "original");
}

// A stream that Flush disconnected writes nothing back, so its member is free
// again: it can be written, renamed and deleted.
TEST(KldSciZipFile, FlushFreesTheMembersOfDisconnectedStreams)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"b.txt", "original"}});
    TKldZipFile zip(dir / "t.zip");
    auto stale = zip.CreateStream("b.txt", fmOpenWrite);
    Append(*stale, "lost");
    zip.Flush();
    EXPECT_EQ(stale->ZipFile(), nullptr);
    EXPECT_EQ(ErrorOf([&] { zip.CreateStream("b.txt", fmOpenWrite).reset(); }), "");
    EXPECT_EQ(ErrorOf([&] { zip.RenameFile("b.txt", "c.txt"); }), "");
    stale.reset();
    EXPECT_EQ(ReadMember(zip, "c.txt"), "original");
    EXPECT_EQ(ErrorOf([&] { zip.DeleteFile("c.txt"); }), "");
    EXPECT_EQ(zip.GetFileCount(), 0);
}

// Reading another member table drops the members the open streams were made
// of: those streams are disconnected, not left pointing at them.
TEST(KldSciZipFile, LoadingAnotherTableDisconnectsMemberStreams)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"b.txt", "original"}});
    MakeArchive(dir / "u.zip", {{"c.txt", "other"}});
    TKldZipFile zip(dir / "t.zip");
    auto stale = zip.CreateStream("b.txt", fmOpenWrite);
    Append(*stale, "lost");
    TFileStream other(dir / "u.zip", fmOpenRead);
    zip.LoadFromStream(other, true);
    EXPECT_EQ(stale->ZipFile(), nullptr);
    EXPECT_EQ(stale->FileIndex(), -1);
    stale.reset();
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"c.txt"}));
    EXPECT_EQ(ReadMember(zip, "c.txt"), "other");
}

// --- Search ----------------------------------------------------------------------------------------

TEST(KldSciZipFile, FindFirstAndFindNextWalkOneFolder)
{
    TTempFolder dir;
    TKldZipFile zip;
    zip.NewZipFile(dir / "t.zip");
    for (const char* name : {"a\\b.txt", "a\\c.log", "a\\d\\e.txt", "a.txt", "a b.txt", "a-1.txt", "z.txt"})
        zip.CreateFile(name);
    zip.CreateFile("a\\hidden.txt", faHidden);

    struct Case
    {
        const char* Desc;
        std::string Path;
        int32_t Attributes;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"root, any file", "*", faAnyFile, {"a", "a b.txt", "a-1.txt", "a.txt", "z.txt"}},
        {"root, files only", "*.*", 0, {"a b.txt", "a-1.txt", "a.txt", "z.txt"}},
        {"folder whose siblings sort between it and its members", "a\\*", faAnyFile,
         {"b.txt", "c.log", "d", "hidden.txt"}},
        {"folder with a mask", "a\\*.txt", 0, {"b.txt"}},
        {"hidden members when asked for", "a\\*.txt", faHidden, {"b.txt", "hidden.txt"}},
        {"deeper folder", "/a/d/*", faAnyFile, {"e.txt"}},
        {"question mark, and a name without extension for \".*\"", "a\\?.*", faAnyFile,
         {"b.txt", "c.log", "d"}},
        {"exact name", "a\\c.log", 0, {"c.log"}},
        {"exact folder name ignores attributes", "a\\d", 0, {"d"}},
        {"missing folder", "q\\*", faAnyFile, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        std::vector<std::string> found;
        TZipSearchRec rec;
        for (bool more = zip.FindFirst(c.Path, c.Attributes, rec); more; more = zip.FindNext(rec)) {
            found.push_back(rec.Name);
            EXPECT_EQ(rec.FileInfo, &zip.GetFileInfo(rec.Index));
        }
        zip.FindClose(rec);
        EXPECT_EQ(found, c.Expected);
    }
    zip.Close(false);
}

// --- Extraction -----------------------------------------------------------------------------------

TEST(KldSciZipFile, ExtractsFilesBelowAFolder)
{
    TTempFolder dir;
    MakeArchive(dir / "t.zip", {{"top.txt", "top"}, {"a\\b\\c.txt", "deep"}, {"a..b.txt", "dots"},
                                {"skip.log", "skipped"}, {"empty.txt", ""}});
    std::vector<std::pair<std::string, std::string>> asked;
    TKldZipFile::ExtractToPath(dir / "t.zip", dir / "out", [&](TKldZipFile* sender, const std::string& name,
                                                                 const std::string& dest) {
        EXPECT_NE(sender, nullptr);
        asked.emplace_back(name, dest);
        return name != "skip.log";
    });
    EXPECT_EQ(ReadText(dir / "out/top.txt"), "top");
    EXPECT_EQ(ReadText(dir / "out/a/b/c.txt"), "deep");
    EXPECT_EQ(ReadText(dir / "out/a..b.txt"), "dots");
    EXPECT_TRUE(FileExists(dir / "out/empty.txt"));
    EXPECT_FALSE(FileExists(dir / "out/skip.log"));
    EXPECT_EQ(FolderContent(dir / "out"), (std::vector<std::string>{"a", "a..b.txt", "empty.txt", "top.txt"}));
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_NE(std::find(asked.begin(), asked.end(),
                        std::pair<std::string, std::string>{"a\\b\\c.txt", dir / "out/a/b/c.txt"}),
              asked.end());
}

TEST(KldSciZipFile, ExtractionHoldsOneMembersDataAtATime)
{
    // Directory entries may all point at the same large member: extraction
    // must not keep the data of every entry it has copied.
    TTempFolder dir;
    const std::string shared = RandomBytes(100000, 9);
    Archive raw;
    raw.Members.push_back({"m0.bin", shared, 0});
    std::string bytes = raw.Bytes();
    const size_t entrySize = 46 + 6;
    const std::string entry = bytes.substr(U32At(bytes, bytes.size() - 6), entrySize);
    std::string directory;
    for (int i = 0; i < 5; ++i) {
        std::string e = entry;
        e[46 + 1] = char('0' + i); // "m0.bin" .. "m4.bin", all at offset 0
        directory += e;
    }
    const std::string member = bytes.substr(0, bytes.size() - 22 - entrySize);
    std::string archive = member + directory;
    Put32(archive, 0x06054B50), Put16(archive, 0), Put16(archive, 0), Put16(archive, 5), Put16(archive, 5);
    Put32(archive, uint32_t(directory.size())), Put32(archive, uint32_t(member.size())), Put16(archive, 0);
    WriteText(dir / "t.zip", archive);

    TKldZipFile zip(dir / "t.zip");
    ASSERT_EQ(zip.GetFileCount(), 5);
    // Data read before stays where the caller put it.
    EXPECT_EQ(ReadMember(zip, "m2.bin"), shared);
    zip.ExtractToPath(dir / "out");
    for (int i = 0; i < 5; ++i) {
        const std::string name = "m" + std::to_string(i) + ".bin";
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadText(dir / ("out/" + name)), shared);
        EXPECT_EQ(zip.GetFileInfo(zip.GetFile(name)).DataInMemory, name == "m2.bin");
    }
}

TEST(KldSciZipFile, ExtractionSkipsUnsafeAndDamagedMembersAndLogsThem)
{
    TTempFolder dir;
    Archive raw;
    raw.Members.push_back({"../evil.txt", "escape"});
    raw.Members.push_back({"/abs.txt", "absolute"});
    raw.Members.push_back({"sub/../../up.txt", "escape"});
    Member damaged{"keep.txt", "new content"};
    damaged.Crc32 = 1;
    raw.Members.push_back(damaged);
    raw.Members.push_back({"good.txt", "good"});
    WriteText(dir / "t.zip", raw.Bytes());
    ForceDirectories(dir / "out");
    WriteText(dir / "out/keep.txt", "old content");

    Log.SetFileName(dir / "zip.log");
    Log.SetEnabled(true);
    TKldZipFile::ExtractToPath(dir / "t.zip", dir / "out");
    Log.SetEnabled(false);

    EXPECT_EQ(ReadText(dir / "out/good.txt"), "good");
    // A damaged member leaves the file it would have replaced as it was.
    EXPECT_EQ(ReadText(dir / "out/keep.txt"), "old content");
    EXPECT_EQ(FolderContent(dir.Path()), (std::vector<std::string>{"out", "t.zip", "zip.log"}));
    EXPECT_EQ(FolderContent(dir / "out"), (std::vector<std::string>{"good.txt", "keep.txt"}));
    const std::string log = ReadText(dir / "zip.log");
    for (const char* expected :
         {"CRC error reading file", "Error unpacking", "TKldZipFile", "evil.txt", "abs.txt", "up.txt"}) {
        SCOPED_TRACE(expected);
        EXPECT_NE(log.find(expected), std::string::npos) << log;
    }
    EXPECT_NE(log.find(Format("from \"%s\"", dir / "t.zip")), std::string::npos) << log;
}

// --- Routines --------------------------------------------------------------------------------------

TEST(KldSciZipFile, ZipCRC32CoversTheRange)
{
    TStringStream s("xx123456789yy");
    EXPECT_EQ(ZipCRC32(s, 11, 2), 0xCBF43926u);
    EXPECT_EQ(ZipCRC32(s, 2, 2), 0u);
    EXPECT_EQ(ZipCRC32(s, 1000, 11), Crc("yy"));
}

TEST(KldSciZipFile, FileMatchesMasks)
{
    struct Case
    {
        const char* Desc;
        std::string Name, Include, Exclude;
        bool Expected;
    };
    const Case cases[] = {
        {"no masks", "a.txt", "", "", true},
        {"include matches, any case", "A.TXT", "*.txt", "", true},
        {"include misses", "a.log", "*.txt", "", false},
        {"excluded", "a.txt", "*", "a.*", false},
        {"exclude misses", "b.txt", "*", "a.*", true},
        {"question mark", "a1.txt", "a?.txt", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(FileMatchesMasks(c.Name, c.Include, c.Exclude), c.Expected);
    }
}

TEST(KldSciZipFile, PathHelpers)
{
    struct Case
    {
        const char* Desc;
        std::string Input, Expected;
    };
    const Case toSys[] = {{"file", "a/b.txt", "a\\b.txt"}, {"folder", "a/b/", "a\\b"}, {"root file", "x", "x"}};
    for (const Case& c : toSys) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ZipPathToSysPath(c.Input), c.Expected);
    }
    EXPECT_EQ(SysPathToZipPath("a\\b", true), "a/b/");
    EXPECT_EQ(SysPathToZipPath("a\\b.txt", false), "a/b.txt");
    const Case adjust[] = {{"trimmed", "  a.txt ", "a.txt"},
                           {"leading delimiter", "\\a\\b", "a\\b"},
                           {"trailing delimiter", "a\\b\\", "a\\b"},
                           {"slashes", "/a/b/", "a\\b"}};
    for (const Case& c : adjust) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(AdjustFileName(c.Input), c.Expected);
    }
    EXPECT_EQ(ErrorOf<EKldZipFileError>([] { AdjustFileName(" \\"); }), "Invalid or empty file name");
    EXPECT_EQ(GetFilePath("a\\b\\c.txt"), "a\\b");
    EXPECT_EQ(GetFilePath("c.txt"), "");
    EXPECT_EQ(IncludePathDelimiter("a"), "a\\");
    EXPECT_EQ(IncludePathDelimiter("a\\"), "a\\");
    EXPECT_EQ(IncludePathDelimiter(""), "");
}
