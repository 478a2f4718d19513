#pragma once
// Byte streams of the class library: `TStream` and its memory, file, string
// and byte-array kinds, plus little-endian helpers for binary formats.
//
// Positions and counts are 64-bit. Reads never go out of bounds: reading past
// the end returns fewer bytes (ReadBuffer then raises EReadError "Stream read
// error"); seeking beyond the end is allowed and a later write fills the gap
// with zero bytes.

#include "platform/Persistent.h"

#include <cstdint>
#include <string>
#include <vector>

// Seek origins.
enum : int
{
    soFromBeginning = 0,
    soFromCurrent = 1,
    soFromEnd = 2
};

// File modes: one access mode, optionally or'ed with a share mode (share
// modes are accepted and ignored), or fmCreate.
enum : uint16_t
{
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareCompat = 0x0000,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00 // create or truncate, open for reading and writing
};

class TStream : public TObject
{
  public:
    std::string ClassName() const override { return "TStream"; }

    // Reads up to `count` bytes at the position; returns the number read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to `count` bytes at the position; returns the number written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, int origin) = 0;

    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t position) { Seek(position, soFromBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t newSize);

    // Read/Write that must move exactly `count` bytes: EReadError "Stream read
    // error" / EWriteError "Stream write error" otherwise (a file stream says
    // "Cannot write <file>: <reason>").
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

    // Copies `count` bytes from `source`'s position; count 0 copies all of
    // `source` from position 0. Returns the number of bytes copied; a short
    // source raises EReadError.
    int64_t CopyFrom(TStream& source, int64_t count);

  protected:
    // The message of a failed WriteBuffer.
    virtual std::string WriteErrorText() const;
};

// A stream over a growable block of memory.
class TMemoryStream : public TStream
{
  public:
    TMemoryStream() = default;
    std::string ClassName() const override { return "TMemoryStream"; }

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return static_cast<int64_t>(m_data.size()); }
    // New bytes are zero; a position beyond the new end moves to the end.
    void SetSize(int64_t newSize) override;

    // The content; null when empty. Valid until the size changes.
    uint8_t* Memory() { return m_data.empty() ? nullptr : m_data.data(); }
    const uint8_t* Memory() const { return m_data.empty() ? nullptr : m_data.data(); }
    int64_t Size() const { return static_cast<int64_t>(m_data.size()); }
    void Clear();

    // Replace the content with all of a stream or file (position 0 after).
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    // Write the whole content, whatever the position.
    void SaveToStream(TStream& stream) const;
    void SaveToFile(const std::string& fileName) const;

  protected:
    std::vector<uint8_t> m_data;
    int64_t m_position = 0;
};

// A stream over a file, opened with one of the fm* modes. Failures raise
// EFOpenError "Cannot open file \"%s\". %s" or EFCreateError "Cannot create
// file \"%s\". %s" with the system's error text.
class TFileStream : public TStream
{
  public:
    TFileStream(const std::string& fileName, uint16_t mode);
    ~TFileStream() override;
    std::string ClassName() const override { return "TFileStream"; }

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override;
    void SetSize(int64_t newSize) override; // raises EWriteError on failure

    const std::string& FileName() const { return m_fileName; }
    int Handle() const { return m_handle; }

  protected:
    // "Cannot write <file>: <reason>" after a write the system refused.
    std::string WriteErrorText() const override;

  private:
    std::string m_fileName;
    int m_handle = -1;
    int m_writeError = 0; // errno of the last refused write
};

// A memory stream made from and read back as text.
class TStringStream : public TMemoryStream
{
  public:
    explicit TStringStream(const std::string& text = std::string());
    std::string ClassName() const override { return "TStringStream"; }

    std::string DataString() const;
    // Up to `count` bytes from the position, as text.
    std::string ReadString(int64_t count);
    void WriteString(const std::string& text);
};

// A memory stream made from and read back as bytes.
class TBytesStream : public TMemoryStream
{
  public:
    explicit TBytesStream(const std::vector<uint8_t>& bytes = {});
    std::string ClassName() const override { return "TBytesStream"; }

    std::vector<uint8_t> Bytes() const { return m_data; }
};

// Little-endian fixed-size values for binary formats. The readers raise
// EReadError when the stream ends early.
uint8_t ReadUInt8(TStream& stream);
int16_t ReadInt16(TStream& stream);
uint16_t ReadUInt16(TStream& stream);
int32_t ReadInt32(TStream& stream);
uint32_t ReadUInt32(TStream& stream);
int64_t ReadInt64(TStream& stream);
double ReadDouble(TStream& stream);
void WriteUInt8(TStream& stream, uint8_t value);
void WriteInt16(TStream& stream, int16_t value);
void WriteUInt16(TStream& stream, uint16_t value);
void WriteInt32(TStream& stream, int32_t value);
void WriteUInt32(TStream& stream, uint32_t value);
void WriteInt64(TStream& stream, int64_t value);
void WriteDouble(TStream& stream, double value);
