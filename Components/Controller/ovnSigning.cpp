#include "Components/Controller/ovnSigning.h"

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int64_t TrailerSize = sizeof(TovnModuleSignature);
constexpr int64_t SumBlockSize = 32768;
constexpr int64_t NtHeaderSize = 248;

// A file descriptor that is closed on every path.
class TFileHandle
{
  public:
    explicit TFileHandle(int fd) : m_fd(fd) {}
    ~TFileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

  private:
    int m_fd;
};

// A read-only view of a whole file, unmapped on every path.
class TFileView
{
  public:
    TFileView(void* data, size_t size) : m_data(data), m_size(size) {}
    ~TFileView()
    {
        if (m_data != MAP_FAILED)
            ::munmap(m_data, m_size);
    }
    TFileView(const TFileView&) = delete;
    TFileView& operator=(const TFileView&) = delete;
    const uint8_t* Bytes() const { return static_cast<const uint8_t*>(m_data); }
    uint64_t Size() const { return m_size; }

  private:
    void* m_data;
    size_t m_size;
};

std::string Quoted(const std::string& name)
{
    return "\"" + name + "\"";
}

[[noreturn]] void RaiseSigning(const std::string& message)
{
    throw EovnSigning(message);
}

uint32_t ReadLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t ReadLE16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

bool IsWindowsImage(const TFileView& view)
{
    const uint64_t size = view.Size();
    // A file too short to hold the DOS header's pointer has no new header.
    if (size < 64)
        return false;
    // 64-bit arithmetic: a huge offset cannot wrap past the bounds check.
    const uint64_t offset = ReadLE32(view.Bytes() + 60);
    if (offset + NtHeaderSize > size)
        return false;
    return ReadLE32(view.Bytes() + offset) == 0x00004550u;
}

// Where the program headers of an ELF file with header `Ehdr` lie; false when
// the file is shorter than the header.
template <class Ehdr>
bool ReadProgramHeaderTable(const TFileView& view, uint64_t& phoff, uint64_t& phentsize, uint64_t& phnum)
{
    if (view.Size() < sizeof(Ehdr))
        return false;
    Ehdr h;
    std::memcpy(&h, view.Bytes(), sizeof h);
    phoff = h.e_phoff;
    phentsize = h.e_phentsize;
    phnum = h.e_phnum;
    return true;
}

// An ELF image of this process's class whose program headers lie inside the
// file.
bool IsOwnElfImage(const TFileView& view)
{
    const uint64_t size = view.Size();
    const uint8_t* p = view.Bytes();
    if (size < EI_NIDENT || std::memcmp(p, ELFMAG, SELFMAG) != 0)
        return false;
    const uint8_t ownClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
    if (p[EI_CLASS] != ownClass || p[EI_DATA] != ELFDATA2LSB)
        return false;
    uint64_t phoff = 0, phentsize = 0, phnum = 0;
    const bool whole = ownClass == ELFCLASS64 ? ReadProgramHeaderTable<Elf64_Ehdr>(view, phoff, phentsize, phnum)
                                              : ReadProgramHeaderTable<Elf32_Ehdr>(view, phoff, phentsize, phnum);
    if (!whole || phnum == 0 || phentsize == 0)
        return false;
    // phentsize and phnum are 16-bit, so the product cannot overflow; the
    // offset is compared first so that the sum cannot wrap.
    return phoff <= size && phentsize * phnum <= size - phoff;
}

struct TQueryResult
{
    bool Signed = false;
    uint64_t BodySize = 0;
    uint32_t CheckSum = 0;
    TovnModuleSignature Signature{};
};

// The sum of `size` bytes from the start of the open file, read in blocks
// through one buffer.
uint32_t SumFile(int fd, uint64_t size, const std::string& fileName)
{
    std::vector<uint8_t> buffer(SumBlockSize);
    uint32_t sum = 0;
    uint64_t done = 0;
    while (done < size) {
        const uint64_t want = std::min<uint64_t>(SumBlockSize, size - done);
        uint64_t got = 0;
        while (got < want) {
            const ssize_t n = ::pread(fd, buffer.data() + got, want - got, static_cast<off_t>(done + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                RaiseSigning("Couldn't open: " + fileName);
            got += static_cast<uint64_t>(n);
        }
        sum += ovnCheckSum(buffer.data(), want);
        done += want;
    }
    return sum;
}

// Steps 4-6 of the query on an open file. `sumUnsigned` false leaves the
// checksum of an unsigned file at 0.
TQueryResult QueryOpenFile(int fd, const std::string& fileName, bool sumUnsigned)
{
    TQueryResult r;
    struct stat st;
    if (::fstat(fd, &st) != 0)
        RaiseSigning("Couldn't open: " + fileName);
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (fileSize <= static_cast<uint64_t>(TrailerSize))
        return r;
    TovnModuleSignature trailer;
    if (::pread(fd, &trailer, TrailerSize, static_cast<off_t>(fileSize - TrailerSize)) != TrailerSize)
        RaiseSigning("Couldn't open: " + fileName);
    if (ovnIsSignature(trailer)) {
        r.Signed = true;
        r.Signature = trailer;
        r.BodySize = fileSize - TrailerSize;
    } else {
        r.BodySize = fileSize;
    }
    if (r.Signed || sumUnsigned)
        r.CheckSum = SumFile(fd, r.BodySize, fileName);
    return r;
}

TQueryResult QueryModule(const std::string& fileName, bool sumUnsigned)
{
    struct stat st;
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        RaiseSigning("Module file does not exist: " + fileName);
    ovnVerifyOSModule(fileName);
    TFileHandle file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid())
        RaiseSigning("Couldn't open: " + fileName);
    return QueryOpenFile(file.Get(), fileName, sumUnsigned);
}

void CheckAgainstTrailer(const TQueryResult& r, const std::string& fileName)
{
    if (r.CheckSum != r.Signature.CheckSum)
        RaiseSigning("Module " + Quoted(fileName) + " is corrupted: CSUM mismatch");
    if (r.Signature.SizeHigh != 0 || r.BodySize != r.Signature.SizeLow)
        RaiseSigning("Module " + Quoted(fileName) + " is corrupted: file has different size");
}

} // namespace

bool ovnIsSignature(const TovnModuleSignature& Signature)
{
    return Signature.Magic1 == ovnSignatureMagic1 && Signature.Magic2 == ovnSignatureMagic2 &&
           Signature.TitleLength == 19 && std::memcmp(Signature.Title, ovnSignatureTitle, 19) == 0;
}

uint32_t ovnCheckSum(const uint8_t* Data, uint64_t Size)
{
    uint32_t sum = 0;
    const uint64_t words = Size / 4;
    for (uint64_t i = 0; i < words; ++i)
        sum += ReadLE32(Data + i * 4);
    return sum;
}

void ovnVerifyOSModule(const std::string& FileName)
{
    // Without blocking: opening a named pipe for reading would wait for a
    // writer. Only regular files are images; a folder or a device cannot be
    // opened as one.
    TFileHandle file(::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.Valid())
        RaiseSigning("Couldn't open: " + FileName);
    struct stat st;
    if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        RaiseSigning("Couldn't open: " + FileName);
    // An empty file cannot be mapped at all.
    if (st.st_size <= 0)
        RaiseSigning("FileMapping failed for: " + FileName);
    const auto size = static_cast<size_t>(st.st_size);
    TFileView view(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.Get(), 0), size);
    if (view.Bytes() == MAP_FAILED)
        RaiseSigning("MapViewOfFile failed for: " + FileName);
    if (view.Size() >= 2 && ReadLE16(view.Bytes()) == 0x5A4D) {
        if (!IsWindowsImage(view))
            RaiseSigning("Not an NT image: " + FileName);
        return;
    }
    if (!IsOwnElfImage(view))
        RaiseSigning("Wrong file format: " + FileName);
}

bool ovnQueryModule(const std::string& FileName, uint32_t& Size, uint32_t& CheckSum,
                    TovnModuleSignature& Signature)
{
    const TQueryResult r = QueryModule(FileName, true);
    Size = static_cast<uint32_t>(r.BodySize);
    CheckSum = r.CheckSum;
    Signature = r.Signature;
    return r.Signed;
}

void ovnVerifyModule(const std::string& FileName, bool RaiseIfUnsigned)
{
    const TQueryResult r = QueryModule(FileName, false);
    if (!r.Signed) {
        if (RaiseIfUnsigned)
            RaiseSigning("Module " + Quoted(FileName) + " is not signed");
        return;
    }
    CheckAgainstTrailer(r, FileName);
}

void ovnSignModule(const std::string& FileName, TDateTime SignedAt)
{
    ovnVerifyModule(FileName, false);
    TFileHandle file(::open(FileName.c_str(), O_RDWR | O_CLOEXEC));
    if (!file.Valid())
        RaiseSigning("Couldn't open: " + FileName);
    // Exclusive for the time of the write, as far as other signers go.
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0)
        RaiseSigning("Couldn't open: " + FileName);
    const TQueryResult r = QueryOpenFile(file.Get(), FileName, true);
    if (r.BodySize > UINT32_MAX)
        RaiseSigning("Module " + Quoted(FileName) + " is too large to sign");
    TovnModuleSignature trailer{};
    trailer.Magic1 = ovnSignatureMagic1;
    trailer.TitleLength = 19;
    std::memcpy(trailer.Title, ovnSignatureTitle, 19);
    trailer.SignedAt = SignedAt == 0 ? Now() : SignedAt;
    trailer.SizeLow = static_cast<uint32_t>(r.BodySize);
    trailer.SizeHigh = 0;
    trailer.CheckSum = r.CheckSum;
    trailer.Magic2 = ovnSignatureMagic2;
    // Over the old trailer, or appended to an unsigned file. A write that
    // stops part-way (a full disk, a file size limit) leaves no partial
    // trailer: the file goes back to the length it had.
    struct stat before
    {
    };
    if (::fstat(file.Get(), &before) != 0)
        RaiseSigning("Couldn't open: " + FileName);
    const auto* bytes = reinterpret_cast<const char*>(&trailer);
    ssize_t written = 0;
    int error = 0;
    while (written < ssize_t(TrailerSize)) {
        const ssize_t n = ::pwrite(file.Get(), bytes + written, TrailerSize - std::size_t(written),
                                   static_cast<off_t>(r.BodySize) + written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        written += n;
    }
    if (error != 0) {
        const bool restored = ::ftruncate(file.Get(), before.st_size) == 0;
        RaiseSigning("Couldn't write the trailer of " + FileName + ": " + std::strerror(error) +
                     (restored ? "; the file is as it was" : "; the file may hold a partial trailer"));
    }
}
