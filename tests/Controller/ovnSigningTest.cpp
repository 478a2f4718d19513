#include "Components/Controller/ovnSigning.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <cstring>
#include <elf.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A minimal ELF image of this process's class: header, one program header,
// then `body` bytes.
std::vector<uint8_t> ElfStub(size_t body, uint8_t elfClass = ELFCLASS64, uint64_t phoff = sizeof(Elf64_Ehdr))
{
    std::vector<uint8_t> f(sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr) + body, 0);
    Elf64_Ehdr h{};
    std::memcpy(h.e_ident, ELFMAG, SELFMAG);
    h.e_ident[EI_CLASS] = elfClass;
    h.e_ident[EI_DATA] = ELFDATA2LSB;
    h.e_ident[EI_VERSION] = EV_CURRENT;
    h.e_type = ET_DYN;
    h.e_machine = EM_X86_64;
    h.e_phoff = phoff;
    h.e_phentsize = sizeof(Elf64_Phdr);
    h.e_phnum = 1;
    std::memcpy(f.data(), &h, sizeof h);
    for (size_t i = 0; i < body; ++i)
        f[sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr) + i] = static_cast<uint8_t>(i * 7 + 3);
    return f;
}

// A minimal Windows image: "MZ", the new-header pointer at byte 60 and a
// 248-byte "PE\0\0" header there.
std::vector<uint8_t> PeStub(uint32_t newHeader = 64, size_t size = 64 + 248 + 100)
{
    std::vector<uint8_t> f(size, 0);
    f[0] = 'M';
    f[1] = 'Z';
    std::memcpy(f.data() + 60, &newHeader, 4);
    if (uint64_t(newHeader) + 4 <= size)
        std::memcpy(f.data() + newHeader, "PE\0\0", 4);
    return f;
}

} // namespace

TEST(ovnSigning, CheckSumAddsCompleteWordsOnly)
{
    struct Case
    {
        const char* Desc;
        std::vector<uint8_t> Input;
        uint32_t Expected;
    };
    const Case cases[] = {
        {"empty", {}, 0},
        {"one word", {1, 0, 0, 0}, 1},
        {"little-endian", {0x78, 0x56, 0x34, 0x12}, 0x12345678},
        {"wraps", {0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}, 1},
        {"tail of three ignored", {5, 0, 0, 0, 9, 9, 9}, 5},
        {"short body", {9, 9, 9}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, ovnCheckSum(c.Input.data(), c.Input.size()));
    }
}

TEST(ovnSigning, ImageTestTable)
{
    TTempFolder dir;
    ASSERT_FALSE(dir.Path().empty());
    std::vector<uint8_t> elfBadPh = ElfStub(10, ELFCLASS64, 1u << 30);
    std::vector<uint8_t> peElsewhere = PeStub();
    peElsewhere[60] = 100; // the header is at 64
    struct Case
    {
        const char* Desc;
        std::vector<uint8_t> Input;
        const char* Expected; // prefix of the message, '' for accepted
    };
    const Case cases[] = {
        {"ELF of this platform", ElfStub(100), ""},
        {"PE image", PeStub(), ""},
        {"PE header ending exactly at the end", PeStub(64, 64 + 248), ""},
        {"empty file", {}, "FileMapping failed for: "},
        {"one byte", {'M'}, "Wrong file format: "},
        {"MZ only", {'M', 'Z'}, "Not an NT image: "},
        {"new header past the end", PeStub(4000), "Not an NT image: "},
        {"new header cut by the end", PeStub(64, 64 + 247), "Not an NT image: "},
        {"huge new-header offset cannot wrap", PeStub(0xFFFFFFF0u), "Not an NT image: "},
        {"new header without PE signature", peElsewhere, "Not an NT image: "},
        {"text file", {'h', 'e', 'l', 'l', 'o'}, "Wrong file format: "},
        {"ELF of the other class", ElfStub(100, ELFCLASS32), "Wrong file format: "},
        {"ELF program headers outside", elfBadPh, "Wrong file format: "},
        {"ELF magic only", {0x7F, 'E', 'L', 'F'}, "Wrong file format: "},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::string name = dir / ("f" + std::to_string(n++));
        WriteBytes(name, c.Input);
        const std::string error = ErrorOf<EovnSigning>([&] { ovnVerifyOSModule(name); });
        if (*c.Expected)
            EXPECT_EQ(std::string(c.Expected) + name, error);
        else
            EXPECT_EQ("", error);
    }
}

TEST(ovnSigning, MissingFilesAndFolders)
{
    TTempFolder dir;
    const std::string missing = dir / "none.so";
    EXPECT_EQ("Module file does not exist: " + missing, ErrorOf<EovnSigning>([&] { ovnVerifyModule(missing, false); }));
    EXPECT_EQ("Module file does not exist: " + dir.Path(),
              ErrorOf<EovnSigning>([&] { ovnVerifyModule(dir.Path(), false); }));
    EXPECT_EQ("Couldn't open: " + missing, ErrorOf<EovnSigning>([&] { ovnVerifyOSModule(missing); }));
    // Only regular files are images; a named pipe must not wait for a writer.
    EXPECT_EQ("Couldn't open: " + dir.Path(), ErrorOf<EovnSigning>([&] { ovnVerifyOSModule(dir.Path()); }));
    const std::string pipe = dir / "pipe";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    EXPECT_EQ("Couldn't open: " + pipe, ErrorOf<EovnSigning>([&] { ovnVerifyOSModule(pipe); }));
}

TEST(ovnSigning, SignAndVerifyTable)
{
    // Each case starts from a signed ELF stub whose body is 4n + 3 bytes long
    // and damages it in one way.
    struct Case
    {
        const char* Desc;
        std::function<void(std::vector<uint8_t>& file)> Damage;
        bool ExpectSigned;
        const char* Expected; // message suffix after Module "<name>"; '' accepted
    };
    constexpr size_t Trailer = 48;
    const Case cases[] = {
        {"intact", [](auto&) {}, true, ""},
        {"body byte changed", [](auto& f) { f[100] ^= 0x01; }, true, " is corrupted: CSUM mismatch"},
        {"last three body bytes do not count", [](auto& f) { f[f.size() - Trailer - 1] ^= 0xFF; }, true, ""},
        {"four zero bytes inserted at a word boundary keep the sum",
         [](auto& f) { f.insert(f.begin() + 100, 4, 0); }, true, " is corrupted: file has different size"},
        {"word inserted changes the sum first", [](auto& f) { f.insert(f.begin() + 100, 4, 1); }, true,
         " is corrupted: CSUM mismatch"},
        {"stored size changed", [](auto& f) { f[f.size() - Trailer + 32] ^= 0x01; }, true,
         " is corrupted: file has different size"},
        {"high size word set", [](auto& f) { f[f.size() - Trailer + 36] = 1; }, true,
         " is corrupted: file has different size"},
        {"truncated by one byte is unsigned", [](auto& f) { f.pop_back(); }, false, ""},
        {"byte appended after the trailer is unsigned", [](auto& f) { f.push_back(0); }, false, ""},
        {"other title length is unsigned", [](auto& f) { f[f.size() - Trailer + 4] = 18; }, false, ""},
        {"title changed is unsigned", [](auto& f) { f[f.size() - Trailer + 6] = 'X'; }, false, ""},
        {"second magic changed is unsigned", [](auto& f) { f[f.size() - 1] = 0; }, false, ""},
    };
    TTempFolder dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::string name = dir / ("m" + std::to_string(n++) + ".so");
        WriteBytes(name, ElfStub(4 * 50 + 3));
        ovnSignModule(name, EncodeDate(2024, 3, 5));
        std::vector<uint8_t> file = ReadBytes(name);
        c.Damage(file);
        WriteBytes(name, file);

        uint32_t size = 1, sum = 1;
        TovnModuleSignature sig{};
        EXPECT_EQ(c.ExpectSigned, ovnQueryModule(name, size, sum, sig));
        if (!c.ExpectSigned) {
            EXPECT_EQ(file.size(), size);
            EXPECT_EQ(0u, sig.Magic1);
            EXPECT_EQ("", ErrorOf<EovnSigning>([&] { ovnVerifyModule(name, false); }));
            EXPECT_EQ("Module \"" + name + "\" is not signed", ErrorOf<EovnSigning>([&] { ovnVerifyModule(name, true); }));
            continue;
        }
        EXPECT_EQ(file.size() - Trailer, size);
        const std::string expected = *c.Expected ? "Module \"" + name + "\"" + c.Expected : "";
        EXPECT_EQ(expected, ErrorOf<EovnSigning>([&] { ovnVerifyModule(name, false); }));
        EXPECT_EQ(expected, ErrorOf<EovnSigning>([&] { ovnVerifyModule(name, true); }));
    }
}

TEST(ovnSigning, TrailerLayout)
{
    TTempFolder dir;
    const std::string name = dir / "lib.so";
    std::vector<uint8_t> body = ElfStub(37);
    WriteBytes(name, body);
    const TDateTime at = EncodeDateTime(2024, 3, 5, 10, 30, 0, 0);
    ovnSignModule(name, at);
    const std::vector<uint8_t> file = ReadBytes(name);
    ASSERT_EQ(body.size() + 48, file.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), file.begin()));
    const uint8_t* t = file.data() + body.size();
    const uint8_t expectedHead[] = {0x55, 0xAA, 0x55, 0xAA, 19};
    EXPECT_EQ(0, std::memcmp(t, expectedHead, 5));
    EXPECT_EQ(0, std::memcmp(t + 5, "OVN 2 SIGNED MODULE", 19));
    double signedAt;
    std::memcpy(&signedAt, t + 24, 8);
    EXPECT_DOUBLE_EQ(at, signedAt);
    uint32_t low, high, sum;
    std::memcpy(&low, t + 32, 4);
    std::memcpy(&high, t + 36, 4);
    std::memcpy(&sum, t + 40, 4);
    EXPECT_EQ(body.size(), low);
    EXPECT_EQ(0u, high);
    EXPECT_EQ(ovnCheckSum(body.data(), body.size()), sum);
    const uint8_t expectedTail[] = {0xAA, 0x55, 0xAA, 0x55};
    EXPECT_EQ(0, std::memcmp(t + 44, expectedTail, 4));
}

TEST(ovnSigning, ResigningKeepsSizeAndSumWithNewDate)
{
    TTempFolder dir;
    const std::string name = dir / "lib.so";
    WriteBytes(name, PeStub());
    ovnSignModule(name, EncodeDate(2020, 1, 1));
    const std::vector<uint8_t> first = ReadBytes(name);
    ovnSignModule(name, EncodeDate(2024, 1, 1));
    const std::vector<uint8_t> second = ReadBytes(name);
    ASSERT_EQ(first.size(), second.size());
    uint32_t size, sum;
    TovnModuleSignature sig;
    ASSERT_TRUE(ovnQueryModule(name, size, sum, sig));
    EXPECT_EQ(sum, sig.CheckSum);
    EXPECT_DOUBLE_EQ(EncodeDate(2024, 1, 1), sig.SignedAt);
    EXPECT_TRUE(std::equal(first.begin(), first.end() - 48, second.begin()));
}

TEST(ovnSigning, SigningACorruptedFileWritesNothing)
{
    TTempFolder dir;
    const std::string name = dir / "lib.so";
    WriteBytes(name, ElfStub(64));
    ovnSignModule(name, 0);
    std::vector<uint8_t> file = ReadBytes(name);
    file[80] ^= 0x10;
    WriteBytes(name, file);
    EXPECT_EQ("Module \"" + name + "\" is corrupted: CSUM mismatch",
              ErrorOf<EovnSigning>([&] { ovnSignModule(name, 0); }));
    EXPECT_EQ(file, ReadBytes(name));
}

// Signing on a full disk (here a file size limit) leaves no partial trailer:
// the file keeps the length and bytes it had, and the error says why.
TEST(ovnSigning, AFailedSigningLeavesTheFileAsItWas)
{
    TTempFolder dir;
    const std::string name = dir / "lib.so";
    WriteBytes(name, ElfStub(64));
    const std::vector<uint8_t> before = ReadBytes(name);
    const TestChild::Result result = TestChild::Run([&](const auto& send) {
        TestChild::LimitFileSize(before.size() + 20);
        send(ErrorOf<EovnSigning>([&] { ovnSignModule(name, 0); }));
        return 0;
    });
    EXPECT_EQ(result.Output, "Couldn't write the trailer of " + name + ": File too large; the file is as it was");
    EXPECT_EQ(ReadBytes(name), before);
}

TEST(ovnSigning, SignedAtZeroMeansNow)
{
    TTempFolder dir;
    const std::string name = dir / "lib.so";
    WriteBytes(name, ElfStub(8));
    const TDateTime before = Now();
    ovnSignModule(name, 0);
    uint32_t size, sum;
    TovnModuleSignature sig;
    ASSERT_TRUE(ovnQueryModule(name, size, sum, sig));
    EXPECT_GE(sig.SignedAt, before - 1.0 / 86400);
    EXPECT_LE(sig.SignedAt, Now() + 1.0 / 86400);
}

TEST(ovnSigning, NonImagesCannotBeSigned)
{
    TTempFolder dir;
    const std::string name = dir / "notes.txt";
    WriteBytes(name, std::vector<uint8_t>(100, 'x'));
    EXPECT_EQ("Wrong file format: " + name, ErrorOf<EovnSigning>([&] { ovnSignModule(name, 0); }));
    EXPECT_EQ(100u, ReadBytes(name).size());
}
