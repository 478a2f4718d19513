#pragma once
// Zip archives put together byte by byte, for the inputs no writer of ours
// makes (names without folder members, code-page names, data descriptors,
// lying sizes), and little-endian field reads for checking written archives.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <zlib.h>

namespace RawZip {

inline uint16_t U16At(const std::string& s, size_t pos)
{
    return uint16_t(uint8_t(s[pos]) | (uint8_t(s[pos + 1]) << 8));
}

inline uint32_t U32At(const std::string& s, size_t pos)
{
    return uint32_t(U16At(s, pos)) | (uint32_t(U16At(s, pos + 2)) << 16);
}

inline void Put16(std::string& s, uint32_t v)
{
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}

inline void Put32(std::string& s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

inline uint32_t Crc(const std::string& data)
{
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

// Raw deflate of `data` at zlib's default level.
inline std::string Deflate(const std::string& data)
{
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The Unicode path extra field (0x7075) naming `utf8` for the stored name bytes `raw`.
inline std::string UnicodePathField(const std::string& raw, const std::string& utf8)
{
    std::string f;
    Put16(f, 0x7075);
    Put16(f, uint32_t(5 + utf8.size()));
    f.push_back(1);
    Put32(f, Crc(raw));
    return f + utf8;
}

struct Member
{
    Member(std::string name, std::string content, uint16_t method = 8)
        : Name(std::move(name)), Content(std::move(content)), Method(method)
    {
    }

    std::string Name;    // bytes as stored
    std::string Content; // uncompressed
    uint16_t Method = 8;
    uint16_t Flags = 0;
    uint16_t MadeBy = 20; // the high byte names the writing system (3 Unix)
    uint32_t ExternalAttributes = 0;
    std::string Extra;
    std::string Comment; // the central directory entry's comment
    // Overrides for damaged archives: -1 keeps the true value.
    int64_t Crc32 = -1;
    int64_t UncompressedSize = -1;
    std::optional<std::string> Data; // raw member data as it stands (zero bytes too); unset: made from Content
    bool Descriptor = false; // sizes after the data (flag bit 3)
};

struct Archive
{
    std::vector<Member> Members;
    std::string Comment;
    int64_t EntryCount = -1; // -1: the number of members

    std::string Bytes() const
    {
        std::string out, directory;
        for (const Member& m : Members) {
            const std::string data = m.Data ? *m.Data : m.Method == 8 ? Deflate(m.Content) : m.Content;
            const uint32_t crc = m.Crc32 >= 0 ? uint32_t(m.Crc32) : Crc(m.Content);
            const uint32_t usize = m.UncompressedSize >= 0 ? uint32_t(m.UncompressedSize) : uint32_t(m.Content.size());
            const uint16_t flags = uint16_t(m.Flags | (m.Descriptor ? 8 : 0));
            const uint32_t offset = uint32_t(out.size());
            Put32(out, 0x04034B50);
            Put16(out, 20), Put16(out, flags), Put16(out, m.Method), Put16(out, 0x6000), Put16(out, 0x5821);
            Put32(out, m.Descriptor ? 0 : crc), Put32(out, m.Descriptor ? 0 : uint32_t(data.size()));
            Put32(out, m.Descriptor ? 0 : usize);
            Put16(out, uint32_t(m.Name.size())), Put16(out, uint32_t(m.Extra.size()));
            out += m.Name + m.Extra + data;
            if (m.Descriptor) {
                Put32(out, 0x08074B50), Put32(out, crc), Put32(out, uint32_t(data.size())), Put32(out, usize);
            }
            Put32(directory, 0x02014B50);
            Put16(directory, m.MadeBy), Put16(directory, 20), Put16(directory, flags), Put16(directory, m.Method);
            Put16(directory, 0x6000), Put16(directory, 0x5821);
            Put32(directory, crc), Put32(directory, uint32_t(data.size())), Put32(directory, usize);
            Put16(directory, uint32_t(m.Name.size())), Put16(directory, uint32_t(m.Extra.size()));
            Put16(directory, uint32_t(m.Comment.size()));
            Put16(directory, 0), Put16(directory, 0), Put32(directory, m.ExternalAttributes), Put32(directory, offset);
            directory += m.Name + m.Extra + m.Comment;
        }
        const uint32_t directoryOffset = uint32_t(out.size());
        out += directory;
        const uint32_t count = EntryCount >= 0 ? uint32_t(EntryCount) : uint32_t(Members.size());
        Put32(out, 0x06054B50);
        Put16(out, 0), Put16(out, 0), Put16(out, count), Put16(out, count);
        Put32(out, uint32_t(directory.size())), Put32(out, directoryOffset);
        Put16(out, uint32_t(Comment.size()));
        return out + Comment;
    }
};

} // namespace RawZip
