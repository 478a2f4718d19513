// Archives exchanged with the common zip tools: what the system writes passes
// `unzip -t`, Python's zipfile and Java's readers, and what `zip` and Python write is read
// member for member. Each test is skipped when its tool is not installed.

#include "Components/Controller/files/KldSciZipFile.h"
#include "platform/FileUtils.h"
#include "platform/Streams.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/wait.h>

namespace {

struct TRun
{
    int ExitCode = -1;
    std::string Output;
};

// Runs a shell command, standard error merged into the output.
TRun RunCommand(const std::string& command)
{
    TRun run;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.Output.append(buffer, n);
    const int status = ::pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool Have(const std::string& tool)
{
    return RunCommand("command -v " + tool).ExitCode == 0;
}

std::string Quoted(const std::string& s)
{
    return "'" + s + "'";
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
        s += "Resident " + std::to_string(i) + " moved to room " + std::to_string(i % 97) + "\n";
    s.resize(n);
    return s;
}

// Program names (backslashes) and contents of the files the tests exchange.
using TFiles = std::map<std::string, std::string>;

TFiles SampleFiles()
{
    return {
        {"plain.txt", TextOf(50000)},
        {"empty.txt", ""},
        {"Bewohner\\Müller Zoë.txt", "Zimmer 12"},
        {"Bewohner\\Akten\\scan.bin", RandomBytes(200000, 11)},
        {"Grüße.txt", "ßüö"},
    };
}

std::string ReadMember(TKldZipFile& zip, const std::string& name)
{
    TStringStream dest;
    zip.ReadFileStream(zip.GetFile(name), dest);
    return dest.DataString();
}

// Every file member of the archive with its content; folders apart.
TFiles MembersOf(const std::string& archive, std::vector<std::string>* folders = nullptr)
{
    TFiles files;
    TKldZipFile zip(archive);
    for (int i = 0; i < zip.GetFileCount(); ++i) {
        if (zip.GetFileInfo(i).IsFolder()) {
            if (folders)
                folders->push_back(zip.GetFileName(i));
            continue;
        }
        files[zip.GetFileName(i)] = ReadMember(zip, zip.GetFileName(i));
    }
    return files;
}

// Writes the files into `dir` (backslashes become folders).
void WriteTree(const std::string& dir, const TFiles& files)
{
    for (const auto& [name, content] : files) {
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        ForceDirectories(ExtractFilePath(dir + path));
        WriteText(dir + path, content);
    }
}

// The archive written by the system: the sample files, an empty folder, a
// member created and never written, and one stored without compression.
void WriteOurArchive(const std::string& archive)
{
    TKldZipFile zip;
    zip.NewZipFile(archive);
    for (const auto& [name, content] : SampleFiles()) {
        TStringStream source(content);
        zip.WriteFileStream(zip.CreateFile(name), source);
    }
    zip.CreateFolder("Leer");
    zip.CreateFile("Neu\\nie geschrieben.txt");
    zip.SetCompressionLevel(zcNone);
    TStringStream source(TextOf(30000));
    zip.WriteFileStream(zip.CreateFile("ungepackt.txt"), source);
    zip.Close(true);
}

TFiles OurArchiveFiles()
{
    TFiles files = SampleFiles();
    files["Neu\\nie geschrieben.txt"] = "";
    files["ungepackt.txt"] = TextOf(30000);
    return files;
}

// Python's view of an archive: testzip's answer, then one line per member:
// name, flag bits, size and CRC of the content read.
const char* const PythonLister = R"(
import sys, zipfile, zlib
with zipfile.ZipFile(sys.argv[1]) as z:
    print("testzip", z.testzip())
    for i in z.infolist():
        data = z.read(i)
        print("%s|%d|%d|%08x" % (i.filename, i.flag_bits, len(data), zlib.crc32(data)))
)";

// The same lines for the files the system put in (without the flag bits
// for readers that do not show them).
std::string ExpectedListing(const TFiles& files, const std::vector<std::string>& folders, bool withFlags = true)
{
    std::map<std::string, std::string> lines;
    for (const auto& [name, content] : files) {
        const std::string zipName = SysPathToZipPath(name, false);
        const bool ascii = std::all_of(zipName.begin(), zipName.end(), [](char c) { return uint8_t(c) < 0x80; });
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x",
                      unsigned(RawZip::Crc(content)));
        const std::string flags = !withFlags ? "" : ascii ? "0|" : "2048|";
        lines[zipName] = zipName + "|" + flags + std::to_string(content.size()) + "|" + crc;
    }
    for (const std::string& folder : folders)
        lines[SysPathToZipPath(folder, true)] = SysPathToZipPath(folder, true) + (withFlags ? "|0" : "") + "|0|00000000";
    std::string out;
    for (const auto& [name, line] : lines)
        out += line + "\n";
    return out;
}

std::string SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

} // namespace

TEST(KldSciZipFileInterop, UnzipTestsAndExtractsOurArchives)
{
    if (!Have("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    TTempFolder dir;
    WriteOurArchive(dir / "ours.zip");
    const TRun test = RunCommand("unzip -t " + Quoted(dir / "ours.zip"));
    EXPECT_EQ(test.ExitCode, 0) << test.Output;
    EXPECT_NE(test.Output.find("No errors detected"), std::string::npos) << test.Output;

    const TRun extract = RunCommand("unzip -q " + Quoted(dir / "ours.zip") + " -d " + Quoted(dir / "out"));
    EXPECT_EQ(extract.ExitCode, 0) << extract.Output;
    for (const auto& [name, content] : OurArchiveFiles()) {
        SCOPED_TRACE(name);
        // Known limitation of unzip 6.0, not of the archive: for members
        // written on MS-DOS (version made by 20) it reads the name as OEM
        // text even when the UTF-8 flag is set. Python reads them right.
        if (!std::all_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x80; }))
            continue;
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        ASSERT_TRUE(FileExists(dir / ("out/" + path)));
        EXPECT_EQ(ReadText(dir / ("out/" + path)), content);
    }
    EXPECT_TRUE(DirectoryExists(dir / "out/Leer"));
}

TEST(KldSciZipFileInterop, PythonReadsOurArchives)
{
    if (!Have("python3"))
        GTEST_SKIP() << "python3 is not installed";
    TTempFolder dir;
    WriteOurArchive(dir / "ours.zip");
    WriteText(dir / "list.py", PythonLister);
    const TRun list = RunCommand("python3 " + Quoted(dir / "list.py") + " " + Quoted(dir / "ours.zip"));
    ASSERT_EQ(list.ExitCode, 0) << list.Output;
    const std::string expected =
        "testzip None\n" + ExpectedListing(OurArchiveFiles(), {"Bewohner", "Bewohner\\Akten", "Leer", "Neu"});
    EXPECT_EQ(SortedLines(list.Output), SortedLines(expected));
}

TEST(KldSciZipFileInterop, JavaReadsOurArchivesWholeAndStreamed)
{
    if (!Have("java"))
        GTEST_SKIP() << "java is not installed";
    // The streaming reader cannot step past a member it cannot inflate, so
    // it shows best whether members without data are sound deflate data.
    const char* const lister = R"(
import java.io.*;
import java.util.*;
import java.util.zip.*;
public class ZipListing {
    static String line(String name, byte[] data) {
        CRC32 crc = new CRC32();
        crc.update(data);
        return String.format("%s|%d|%08x", name, data.length, crc.getValue());
    }
    public static void main(String[] args) throws Exception {
        List<String> whole = new ArrayList<>(), streamed = new ArrayList<>();
        try (ZipFile z = new ZipFile(args[0])) {
            for (ZipEntry e : Collections.list(z.entries()))
                try (InputStream in = z.getInputStream(e)) { whole.add(line(e.getName(), in.readAllBytes())); }
        }
        try (ZipInputStream in = new ZipInputStream(new FileInputStream(args[0]))) {
            for (ZipEntry e; (e = in.getNextEntry()) != null;)
                streamed.add(line(e.getName(), in.readAllBytes()));
        }
        if (!whole.equals(streamed))
            throw new IllegalStateException("whole " + whole + " streamed " + streamed);
        for (String l : whole)
            System.out.println(l);
    }
}
)";
    TTempFolder dir;
    WriteOurArchive(dir / "ours.zip");
    WriteText(dir / "ZipListing.java", lister);
    const TRun list = RunCommand("java -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 " + Quoted(dir / "ZipListing.java") +
                                 " " + Quoted(dir / "ours.zip"));
    ASSERT_EQ(list.ExitCode, 0) << list.Output;
    const std::string expected =
        ExpectedListing(OurArchiveFiles(), {"Bewohner", "Bewohner\\Akten", "Leer", "Neu"}, false);
    EXPECT_EQ(SortedLines(list.Output), SortedLines(expected));
}

TEST(KldSciZipFileInterop, ReadsArchivesOfTheZipProgram)
{
    if (!Have("zip"))
        GTEST_SKIP() << "zip is not installed";
    struct Case
    {
        const char* Desc;
        std::string Options;
    };
    const Case cases[] = {
        {"deflated", "-q -r"},
        {"stored", "-q -r -0"},
        {"best compression", "-q -r -9"},
        {"C locale", "-q -r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TTempFolder dir;
        WriteTree(dir / "src/", SampleFiles());
        ForceDirectories(dir / "src/Leer");
        const std::string locale = std::string(c.Desc) == "C locale" ? "LC_ALL=C " : "LC_ALL=C.UTF-8 ";
        const TRun zip = RunCommand("cd " + Quoted(dir / "src") + " && " + locale + "zip " + c.Options + " ../z.zip .");
        ASSERT_EQ(zip.ExitCode, 0) << zip.Output;
        std::vector<std::string> folders;
        EXPECT_EQ(MembersOf(dir / "z.zip", &folders), SampleFiles());
        EXPECT_EQ(folders, (std::vector<std::string>{"Bewohner", "Bewohner\\Akten", "Leer"}));
    }
}

TEST(KldSciZipFileInterop, ReadsArchivesOfPython)
{
    if (!Have("python3"))
        GTEST_SKIP() << "python3 is not installed";
    // Deflated and stored members, a folder entry, and an archive written to
    // a pipe, whose members carry their sizes in data descriptors.
    const char* const writer = R"(
import sys, zipfile
src, out, mode = sys.argv[1], sys.argv[2], sys.argv[3]
names = [l.rstrip("\n") for l in open(src + "/names.txt", encoding="utf-8")]
def fill(z):
    z.writestr("Leer/", b"")
    for n in names:
        method = zipfile.ZIP_STORED if n.endswith(".bin") else zipfile.ZIP_DEFLATED
        z.writestr(n, open(src + "/" + n, "rb").read(), compress_type=method)
if mode == "stream":
    class Pipe:
        def __init__(self, f): self.f = f
        def write(self, b): return self.f.write(b)
        def flush(self): self.f.flush()
    with open(out, "wb") as f, zipfile.ZipFile(Pipe(f), "w") as z:
        fill(z)
else:
    with zipfile.ZipFile(out, "w") as z:
        fill(z)
)";
    for (const char* mode : {"file", "stream"}) {
        SCOPED_TRACE(mode);
        TTempFolder dir;
        WriteTree(dir / "src/", SampleFiles());
        std::string names;
        for (const auto& [name, content] : SampleFiles())
            names += SysPathToZipPath(name, false) + "\n";
        WriteText(dir / "src/names.txt", names);
        WriteText(dir / "write.py", writer);
        const TRun run = RunCommand("python3 " + Quoted(dir / "write.py") + " " + Quoted(dir / "src") + " " +
                             Quoted(dir / "p.zip") + " " + mode);
        ASSERT_EQ(run.ExitCode, 0) << run.Output;
        std::vector<std::string> folders;
        EXPECT_EQ(MembersOf(dir / "p.zip", &folders), SampleFiles());
        EXPECT_EQ(folders, (std::vector<std::string>{"Bewohner", "Bewohner\\Akten", "Leer"}));
    }
}

TEST(KldSciZipFileInterop, ArchivesOfOtherToolsStaySoundWhenRewritten)
{
    if (!Have("zip") || !Have("unzip") || !Have("python3"))
        GTEST_SKIP() << "zip, unzip or python3 is not installed";
    TTempFolder dir;
    WriteTree(dir / "src/", SampleFiles());
    const TRun zip = RunCommand("cd " + Quoted(dir / "src") + " && zip -q -r ../z.zip .");
    ASSERT_EQ(zip.ExitCode, 0) << zip.Output;
    {
        TKldZipFile archive(dir / "z.zip");
        TStringStream source("added here");
        archive.WriteFileStream(archive.CreateFile("Neu\\hinzu.txt"), source);
        archive.RenameFile("plain.txt", "umbenannt.txt");
        archive.Close(true);
    }
    const TRun test = RunCommand("unzip -t " + Quoted(dir / "z.zip"));
    EXPECT_EQ(test.ExitCode, 0) << test.Output;
    WriteText(dir / "list.py", PythonLister);
    const TRun list = RunCommand("python3 " + Quoted(dir / "list.py") + " " + Quoted(dir / "z.zip"));
    ASSERT_EQ(list.ExitCode, 0) << list.Output;
    EXPECT_EQ(list.Output.substr(0, 13), "testzip None\n");
    TFiles expected = SampleFiles();
    expected["umbenannt.txt"] = expected["plain.txt"];
    expected.erase("plain.txt");
    expected["Neu\\hinzu.txt"] = "added here";
    EXPECT_EQ(MembersOf(dir / "z.zip"), expected);
}

TEST(KldSciZipFileInterop, ZeroByteDeflatedMembersOfOlderArchivesPassUnzipOnceRewritten)
{
    if (!Have("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    // Zero bytes of deflate data (older archives) are no deflate stream;
    // written again, such members get the empty stream.
    RawZip::Archive raw;
    RawZip::Member folder{"Leer/", ""};
    folder.Data = "";
    folder.ExternalAttributes = faDirectory;
    RawZip::Member file{"leer.txt", ""};
    file.Data = "";
    raw.Members = {folder, file, {"text.txt", TextOf(3000)}};
    TTempFolder dir;
    WriteText(dir / "old.zip", raw.Bytes());
    {
        TKldZipFile zip(dir / "old.zip");
        TStringStream source("added here");
        zip.WriteFileStream(zip.CreateFile("neu.txt"), source);
        zip.Close(true);
    }
    const TRun test = RunCommand("unzip -t " + Quoted(dir / "old.zip"));
    EXPECT_EQ(test.ExitCode, 0) << test.Output;
    EXPECT_EQ(MembersOf(dir / "old.zip"),
              (TFiles{{"leer.txt", ""}, {"neu.txt", "added here"}, {"text.txt", TextOf(3000)}}));
}
