#include "platform/IniFiles.h"

#include "platform/DateUtils.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {
using Lines = std::vector<std::string>;

class IniFileTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kld-ini-XXXXXX").string();
        m_folder = ::mkdtemp(pattern.data());
        m_file = (m_folder / "settings.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    void WriteText(const std::string& text)
    {
        std::ofstream out(m_file, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string ReadText() const
    {
        std::ifstream in(m_file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static Lines LinesOf(const TStrings& list)
    {
        Lines lines;
        for (int i = 0; i < list.Count(); ++i)
            lines.push_back(list.Get(i));
        return lines;
    }

    std::filesystem::path m_folder;
    std::string m_file;
};

} // namespace

TEST_F(IniFileTest, MissingFileReadsAsEmptyAndIsCreatedOnWrite)
{
    TIniFile ini(m_file);
    EXPECT_EQ(ini.FileName(), m_file);
    EXPECT_EQ(ini.ReadString("CONNECTIONS", "0", "none"), "none");
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 0);
    EXPECT_FALSE(std::filesystem::exists(m_file)) << "reading creates nothing";

    ini.WriteString("CONNECTIONS", "0", "Connection=Main");
    ini.WriteBool("UPDATE", "Auto", true);
    EXPECT_EQ(ReadText(), "[CONNECTIONS]\n0=Connection=Main\n[UPDATE]\nAuto=TRUE\n");
}

TEST_F(IniFileTest, KeepsOrderCommentsAndUnknownSections)
{
    WriteText("; settings of the client\r\n"
              "[Unknown]\r\n"
              "Foo = bar \r\n"
              "\r\n"
              "[USER PREFERENCES]\r\n"
              "; a comment inside\r\n"
              "Language=EN\r\n"
              "Theme=Dark\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=1\r\n");
    TIniFile ini(m_file);
    ini.WriteString("user preferences", "THEME", "Light");
    ini.WriteString("User Preferences", "Size", "12");
    ini.WriteString("New", "k", "v");
    EXPECT_EQ(ReadText(), "; settings of the client\r\n"
                          "[Unknown]\r\n"
                          "Foo = bar \r\n"
                          "\r\n"
                          "[USER PREFERENCES]\r\n"
                          "; a comment inside\r\n"
                          "Language=EN\r\n"
                          "Theme=Light\r\n"
                          "Size=12\r\n"
                          "\r\n"
                          "[Other]\r\n"
                          "x=1\r\n"
                          "[New]\r\n"
                          "k=v\r\n");
}

TEST_F(IniFileTest, ValuesAreRaw)
{
    WriteText("[S]\n"
              "  Spaced Key  = padded value \n"
              "Quoted=\"in quotes\"\n"
              "Comma=\"Connection=Main Office\",URL=x\n"
              "Empty=\n"
              "Escapes=C:\\temp\\n\n");
    TIniFile ini(m_file);
    struct Case
    {
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"spaced key", " padded value "},
        {"Quoted", "\"in quotes\""},
        {"COMMA", "\"Connection=Main Office\",URL=x"},
        {"Empty", ""},
        {"Escapes", "C:\\temp\\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.ReadString("s", c.key, "default"), c.expected);
    }
    EXPECT_TRUE(ini.ValueExists("S", "Empty"));
    EXPECT_FALSE(ini.ValueExists("S", "Missing"));

    const std::string raw = " \"a\" = b\\t ";
    ini.WriteString("T", "v", raw);
    TIniFile other(m_file);
    EXPECT_EQ(other.ReadString("T", "V", ""), raw) << "written and read back unchanged";
}

// Windows' own INI reading drops one pair of quotes around a value; ours
// must not, or a stored entry that is a single quoted comma-text item (a
// connection named with a blank) would lose its quotes on the way back.
TEST_F(IniFileTest, QuotedValuesComeBackWithTheirQuotes)
{
    struct Case
    {
        const char* desc;
        const char* value;
    };
    const Case cases[] = {
        {"whole value quoted", "\"in quotes\""},
        {"single quotes", "'single'"},
        {"quote only at the start", "\"open"},
        {"quote only at the end", "close\""},
        {"quoted with blanks around", "  \"padded\"  "},
        {"comma text of one quoted item", "\"Connection=Main Office\""},
        {"comma text of two items", "\"Connection=Main Office\",URL=https://host"},
        {"doubled quotes inside", "\"say \"\"hi\"\"\""},
        {"just two quotes", "\"\""},
    };
    {
        TIniFile ini(m_file);
        for (const auto& c : cases)
            ini.WriteString("Q", c.desc, c.value);
    }
    TIniFile ini(m_file);
    TMemIniFile mem(m_file);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(ini.ReadString("Q", c.desc, "missing"), c.value);
        EXPECT_EQ(mem.ReadString("Q", c.desc, "missing"), c.value);
    }
    TStringList values;
    ini.ReadSectionValues("Q", values);
    ASSERT_EQ(values.Count(), static_cast<int>(std::size(cases)));
    for (int i = 0; i < values.Count(); ++i)
        EXPECT_EQ(values.ValueFromIndex(i), cases[i].value) << cases[i].desc;
}

TEST_F(IniFileTest, TypedValues)
{
    WriteText("[N]\n"
              "Int=42\nNeg= -7 \nHex=$1F\nHexC=0x10\nText=abc\nHuge=99999999999\n"
              "T1=TRUE\nT2= true \nT3=1\nF1=False\nF2=0\nYes=yes\nBlank=\n"
              "Float=1.5\nExp=-2.25e3\nCommaFloat=1,5\n");
    TIniFile ini(m_file);
    struct IntCase
    {
        const char* key;
        int expected;
    };
    for (const IntCase& c : {IntCase{"Int", 42},
                             {"Neg", -7},
                             {"Hex", 31},
                             {"HexC", 16},
                             {"Text", -1},
                             {"Huge", -1},
                             {"Missing", -1},
                             {"Blank", -1}}) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.ReadInteger("N", c.key, -1), c.expected);
    }
    struct BoolCase
    {
        const char* key;
        bool def;
        bool expected;
    };
    for (const BoolCase& c : {BoolCase{"T1", false, true},
                              {"T2", false, true},
                              {"T3", false, true},
                              {"F1", true, false},
                              {"F2", true, false},
                              {"Yes", true, true},
                              {"Yes", false, false},
                              {"Blank", true, true},
                              {"Missing", false, false}}) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.ReadBool("N", c.key, c.def), c.expected);
    }
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Float", 0), 1.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Exp", 0), -2250);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "CommaFloat", 9), 9) << "only '.' separates decimals";

    ini.WriteInteger("W", "Int", -123);
    ini.WriteBool("W", "On", true);
    ini.WriteBool("W", "Off", false);
    const char saved = FormatSettings.DecimalSeparator;
    FormatSettings.DecimalSeparator = ',';
    ini.WriteFloat("W", "Float", 0.25);
    const double readBack = ini.ReadFloat("W", "Float", 0);
    FormatSettings.DecimalSeparator = saved;
    EXPECT_DOUBLE_EQ(readBack, 0.25);
    TStringList values;
    ini.ReadSectionValues("W", values);
    EXPECT_EQ(LinesOf(values), (Lines{"Int=-123", "On=TRUE", "Off=FALSE", "Float=0.25"}))
        << "numbers are locale-free";
}

TEST_F(IniFileTest, DateTimes)
{
    TIniFile ini(m_file);
    const TDateTime when = EncodeDate(2024, 12, 31) + EncodeTime(13, 45, 10, 0);
    ini.WriteDateTime("D", "When", when);
    EXPECT_EQ(ini.ReadString("D", "When", ""), DateTimeToStr(when));
    EXPECT_NEAR(ini.ReadDateTime("D", "When", 0), when, 1e-8);
    ini.WriteString("D", "Bad", "not a date");
    EXPECT_EQ(ini.ReadDateTime("D", "Bad", 5.0), 5.0);
    EXPECT_EQ(ini.ReadDateTime("D", "Missing", 6.0), 6.0);
}

TEST_F(IniFileTest, SectionsKeysAndErasing)
{
    WriteText("[A]\na=1\nb=2\n[Empty]\n; only a comment\n[B]\nc=3\n[a]\nd=4\n");
    TIniFile ini(m_file);
    TStringList list;
    list.Add("stale");
    ini.ReadSection("a", list);
    EXPECT_EQ(LinesOf(list), (Lines{"a", "b"})) << "the first section of that name";
    ini.ReadSections(list);
    EXPECT_EQ(LinesOf(list), (Lines{"A", "Empty", "B"})) << "each name once, in file order";
    EXPECT_TRUE(ini.SectionExists("b"));
    EXPECT_FALSE(ini.SectionExists("Empty")) << "a section without keys does not count";
    EXPECT_FALSE(ini.SectionExists("Nowhere"));

    ini.DeleteKey("A", "B");
    EXPECT_EQ(ini.ReadString("A", "b", "gone"), "gone");
    ini.EraseSection("A");
    EXPECT_EQ(ReadText(), "[Empty]\n; only a comment\n[B]\nc=3\n") << "every section of that name goes";

    const auto before = std::filesystem::last_write_time(m_file);
    ini.EraseSection("Nowhere");
    ini.DeleteKey("B", "nothing");
    EXPECT_EQ(std::filesystem::last_write_time(m_file), before) << "nothing changed, nothing written";
}

TEST_F(IniFileTest, WriteFailureRaisesWithThePath)
{
    const std::string unwritable = (m_folder / "no" / "such" / "folder.ini").string();
    TIniFile ini(unwritable);
    EXPECT_EQ(ErrorOf<EIniFileException>([&] { ini.WriteString("S", "k", "v"); }),
              "Unable to write to " + unwritable + ": No such file or directory");
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none") << "the failed write is not pretended";

    // A path that exists but cannot be read as a file is never overwritten.
    std::filesystem::create_directory(m_folder / "dir.ini");
    const std::string folderPath = (m_folder / "dir.ini").string();
    TIniFile onFolder(folderPath);
    EXPECT_EQ(ErrorOf<EIniFileException>([&] { onFolder.WriteString("S", "k", "v"); }),
              "Unable to write to " + folderPath + ": the file could not be read");
    EXPECT_TRUE(std::filesystem::is_directory(folderPath));
}

TEST_F(IniFileTest, RefusesTextThatWouldBreakTheFile)
{
    WriteText("[S]\nk=v\n");
    TIniFile ini(m_file);
    struct Case
    {
        const char* desc;
        std::string section, key, value;
    };
    const Case cases[] = {
        {"line break in value", "S", "k", "a\nInjected=1"},
        {"carriage return in key", "S", "k\r", "v"},
        {"bracket in section", "S]x", "k", "v"},
        {"equals in key", "S", "a=b", "v"},
        {"empty key", "S", " ", "v"},
        {"key like a section", "S", "[X]", "v"},
        {"key like a comment", "S", ";k", "v"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_THROW(ini.WriteString(c.section, c.key, c.value), EIniFileException);
    }
    EXPECT_EQ(ReadText(), "[S]\nk=v\n");
}

TEST_F(IniFileTest, TwoObjectsOnOneFileKeepEachOthersWrites)
{
    TIniFile first(m_file);
    TIniFile second(m_file);
    first.WriteString("A", "one", "1");
    second.WriteString("B", "two", "2");
    first.WriteString("A", "three", "3");
    EXPECT_EQ(ReadText(), "[A]\none=1\nthree=3\n[B]\ntwo=2\n");
    EXPECT_EQ(second.ReadString("A", "three", ""), "3") << "reads see the file as it is now";
}

TEST_F(IniFileTest, ByteOrderMarkAndLineBreaksSurvive)
{
    WriteText("\xEF\xBB\xBF[S]\r\nk=v\r\n");
    TIniFile ini(m_file);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
    ini.WriteString("S", "n", "Grüße");
    EXPECT_EQ(ReadText(), "\xEF\xBB\xBF[S]\r\nk=v\r\nn=Grüße\r\n");
}

TEST_F(IniFileTest, MemIniFileWritesOnlyOnUpdateFile)
{
    WriteText("[S]\nk=v\n");
    TMemIniFile ini(m_file);
    ini.WriteString("S", "k", "changed");
    ini.EraseSection("Nothing");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "changed");
    EXPECT_EQ(ReadText(), "[S]\nk=v\n");
    ini.UpdateFile();
    EXPECT_EQ(ReadText(), "[S]\nk=changed\n");

    const std::string unwritable = (m_folder / "missing" / "x.ini").string();
    TMemIniFile lost(unwritable);
    lost.WriteString("S", "k", "v");
    EXPECT_EQ(ErrorOf<EIniFileException>([&] { lost.UpdateFile(); }),
              "Unable to write to " + unwritable + ": No such file or directory");
}

// Two processes writing one file: each write starts from the other's result.
TEST_F(IniFileTest, TwoProcessesWritingOneFileKeepEachOthersKeys)
{
    constexpr int keys = 60;
    auto writer = [&](const std::string& section) {
        return [&, section](const auto&) {
            TIniFile ini(m_file);
            for (int i = 0; i < keys; ++i)
                ini.WriteInteger(section, "k" + std::to_string(i), i);
            return 0;
        };
    };
    int fdA = -1, fdB = -1;
    const pid_t a = TestChild::Start(writer("A"), fdA);
    const pid_t b = TestChild::Start(writer("B"), fdB);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(TestChild::Finish(a, fdA).ExitCode, 0);
    EXPECT_EQ(TestChild::Finish(b, fdB).ExitCode, 0);
    TMemIniFile ini(m_file);
    TStringList names;
    for (const char* section : {"A", "B"}) {
        ini.ReadSection(section, names);
        EXPECT_EQ(names.Count(), keys) << "section " << section;
    }
}

// A FIFO (or any other non-regular file) in the file's place is neither
// waited on nor written.
TEST_F(IniFileTest, AFifoIsRefused)
{
    ASSERT_EQ(::mkfifo(m_file.c_str(), 0600), 0);
    TIniFile ini(m_file);
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");
    EXPECT_THROW(ini.WriteString("S", "k", "v"), EIniFileException);
    struct stat st
    {
    };
    ASSERT_EQ(::lstat(m_file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A link is kept; its target is replaced through a new file beside it, and
// a new settings file is this user's only.
TEST_F(IniFileTest, ALinkedFileIsReplacedBesideItsTarget)
{
    std::filesystem::create_directory(m_folder / "real");
    const std::string target = (m_folder / "real" / "t.ini").string();
    {
        std::ofstream out(target);
        out << "[S]\nk=v\n";
    }
    std::filesystem::create_symlink(target, m_file);
    struct stat before
    {
    }, after{};
    ::stat(target.c_str(), &before);
    TIniFile ini(m_file);
    ini.WriteString("S", "k2", "w");
    EXPECT_TRUE(std::filesystem::is_symlink(m_file));
    ::stat(target.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino) << "never rewritten in place";
    EXPECT_EQ(ReadText(), "[S]\nk=v\nk2=w\n");

    TIniFile fresh((m_folder / "new.ini").string());
    fresh.WriteString("S", "k", "v");
    ::stat((m_folder / "new.ini").c_str(), &after);
    EXPECT_EQ(after.st_mode & 0777, 0600u);
}

TEST_F(IniFileTest, ManySectionsAreListedOnceEach)
{
    std::string text;
    constexpr int sections = 20000;
    for (int i = 0; i < sections; ++i)
        text += "[Section" + std::to_string(i) + "]\nk=v\n";
    text += "[SECTION7]\n[section\xC3\x84]\n[SECTION\xC3\xA4]\n"; // folded duplicates, ASCII and Latin-1
    WriteText(text);
    TMemIniFile ini(m_file);
    TStringList names;
    ini.ReadSections(names);
    ASSERT_EQ(names.Count(), sections + 1);
    EXPECT_EQ(names.Get(0), "Section0");
    EXPECT_EQ(names.Get(sections), "section\xC3\x84");
}
