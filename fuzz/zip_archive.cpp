// Zip archives from arbitrary bytes: opening either succeeds or raises the
// archive's error and leaves the object empty; every member reads whole or
// raises, never producing more than its declared size. An archive that opens
// is written again with one member more, and the copy opens to the same
// members reading the same way.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

#include "Components/Controller/files/KldSciZipFile.h"
#include "base/KldLogFile.h"
#include "platform/FileUtils.h"

namespace
{

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Counts what a member produces and keeps a hash of it, without keeping the
// bytes.
class TCountingSink : public TStream
{
  public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override
    {
        const auto* p = static_cast<const uint8_t*>(buffer);
        for (int64_t i = 0; i < count; ++i)
            m_hash = (m_hash ^ p[i]) * 1099511628211ull;
        m_size += count;
        return count;
    }
    int64_t Seek(int64_t offset, int origin) override { return origin == soFromBeginning ? offset : m_size; }
    std::string Result() const { return std::to_string(m_size) + ":" + std::to_string(m_hash); }
    int64_t Count() const { return m_size; }

  private:
    uint64_t m_hash = 14695981039346656037ull;
    int64_t m_size = 0;
};

// Name -> what reading the member gives (its size and CRC, or the error).
std::map<std::string, std::string> ReadAll(TKldZipFile& zip)
{
    std::map<std::string, std::string> results;
    for (int i = 0; i < zip.GetFileCount(); ++i) {
        TCountingSink sink;
        std::string result;
        try {
            zip.ReadFileStream(i, sink);
            result = sink.Result();
            Check(sink.Count() == zip.GetFileInfo(i).UncompressedSize);
        } catch (const Exception& e) {
            result = e.Message();
            Check(sink.Count() <= int64_t(zip.GetFileInfo(i).UncompressedSize) + 1);
        }
        results[zip.GetFileName(i)] = result;
    }
    return results;
}

void Search(const TKldZipFile& zip)
{
    for (int i = -1; i < zip.GetFileCount(); ++i) {
        const std::string folder = i < 0 ? std::string() : zip.GetFileName(i) + "\\";
        TZipSearchRec rec;
        int found = 0;
        for (bool more = zip.FindFirst(folder + "*", faAnyFile, rec); more; more = zip.FindNext(rec))
            Check(rec.FileInfo == &zip.GetFileInfo(rec.Index) && ++found <= zip.GetFileCount());
        zip.FindClose(rec);
    }
}

// The input as a file of its own, removed again after each run.
class TArchiveFile
{
  public:
    explicit TArchiveFile(const std::string& bytes)
    {
        WriteBufToFile(m_name, bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    ~TArchiveFile() { DeleteFile(m_name); }
    const std::string& Name() const { return m_name; }

  private:
    std::string m_name = GetTempPath() + "kld-fuzz-zip-" + std::to_string(::getpid()) + ".zip";
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        TStringStream stream(bytes);
        TKldZipFile zip;
        try {
            zip.LoadFromStream(stream, true);
        } catch (const Exception&) {
            Check(zip.GetFileCount() == 0);
            return 0;
        }
        ReadAll(zip);
        Search(zip);
    }

    const TArchiveFile file(bytes);
    TKldZipFile zip;
    zip.OpenZipFile(file.Name());
    const std::map<std::string, std::string> before = ReadAll(zip);
    TStringStream copy;
    try {
        TStringStream added("added by the fuzzer");
        zip.WriteFileStream(zip.CreateFile("fuzz-added.txt"), added);
        zip.SaveToStream(copy);
    } catch (const Exception&) {
        // A name taken, a folder path through a file, a field too long.
        zip.Close(false);
        return 0;
    }
    zip.Close(false);
    // A comment that holds an end record of its own may be taken for the
    // real one: every tool searches from the end.
    const std::string signature("PK\x05\x06", 4);
    if (zip.Comment().find(signature) != std::string::npos)
        return 0;

    TKldZipFile again;
    again.LoadFromStream(copy, true);
    std::map<std::string, std::string> after = ReadAll(again);
    Check(after.count("fuzz-added.txt") == 1);
    after.erase("fuzz-added.txt");
    Check(after == before);
    return 0;
}
