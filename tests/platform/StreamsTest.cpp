#include "platform/Streams.h"

#include "platform/SysUtils.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

TEST(MemoryStream, ReadsStopAtTheEnd)
{
    TMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    EXPECT_EQ(stream.Position(), 6);
    EXPECT_EQ(stream.Size(), 6);

    char buffer[8] = {};
    stream.SetPosition(4);
    EXPECT_EQ(stream.Read(buffer, 8), 2) << "a read past the end returns fewer bytes";
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(stream.Read(buffer, 8), 0);

    stream.SetPosition(2);
    EXPECT_EQ(ErrorOf<EReadError>([&] { stream.ReadBuffer(buffer, 5); }), "Stream read error");

    stream.Seek(-3, soFromEnd);
    EXPECT_EQ(stream.Position(), 3);
    stream.Seek(1, soFromCurrent);
    EXPECT_EQ(stream.Position(), 4);

    stream.SetPosition(-5);
    EXPECT_EQ(stream.Read(buffer, 1), 0) << "a negative position reads nothing";
    EXPECT_EQ(ErrorOf<EWriteError>([&] { stream.WriteBuffer("x", 1); }), "Stream write error");
    EXPECT_EQ(stream.Size(), 6);
}

TEST(MemoryStream, SeekBeyondEndThenWriteFillsWithZeros)
{
    TMemoryStream stream;
    stream.WriteBuffer("ab", 2);
    EXPECT_EQ(stream.Seek(5, soFromBeginning), 5);
    char c = 0;
    EXPECT_EQ(stream.Read(&c, 1), 0) << "reading beyond the end gives nothing";
    EXPECT_EQ(stream.Size(), 2) << "seeking does not grow the stream";
    stream.WriteBuffer("z", 1);
    ASSERT_EQ(stream.Size(), 6);
    EXPECT_EQ(std::memcmp(stream.Memory(), "ab\0\0\0z", 6), 0);
}

TEST(MemoryStream, SizeChangesAndHostileOffsets)
{
    TMemoryStream stream;
    EXPECT_EQ(stream.Memory(), nullptr);
    stream.SetSize(4);
    EXPECT_EQ(std::memcmp(stream.Memory(), "\0\0\0\0", 4), 0);
    stream.SetPosition(4);
    stream.SetSize(2);
    EXPECT_EQ(stream.Position(), 2) << "the position follows a shrinking end";
    EXPECT_THROW(stream.SetSize(-1), EStreamError);
    EXPECT_THROW(stream.Seek(INT64_MAX, soFromCurrent), EStreamError);
    EXPECT_THROW(stream.Seek(0, 7), EStreamError);

    stream.SetPosition(INT64_MAX - 1);
    EXPECT_EQ(stream.Write("xy", 2), 0) << "a write that cannot be stored is refused, not attempted";
    EXPECT_EQ(stream.Size(), 2);

    stream.Clear();
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
}

TEST(MemoryStream, CopyFrom)
{
    TStringStream source("0123456789");
    source.SetPosition(7);
    TMemoryStream all;
    EXPECT_EQ(all.CopyFrom(source, 0), 10) << "count 0 copies all from the start";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(all.Memory()), 10), "0123456789");

    source.SetPosition(2);
    TStringStream part;
    EXPECT_EQ(part.CopyFrom(source, 3), 3);
    EXPECT_EQ(part.DataString(), "234");

    source.SetPosition(8);
    EXPECT_THROW(part.CopyFrom(source, 5), EReadError);
}

TEST(MemoryStream, LoadAndSave)
{
    TTempFolder folder;
    TMemoryStream stream;
    stream.WriteBuffer("payload\0bytes", 13);
    stream.SetPosition(3);
    stream.SaveToFile(folder / "out.bin");
    EXPECT_EQ(ReadText(folder / "out.bin"), std::string("payload\0bytes", 13))
        << "saving ignores the position";

    TMemoryStream back;
    back.LoadFromFile(folder / "out.bin");
    EXPECT_EQ(back.Size(), 13);
    EXPECT_EQ(back.Position(), 0);

    TStringStream text("abc");
    text.SetPosition(2);
    back.LoadFromStream(text);
    EXPECT_EQ(back.Size(), 3) << "loading takes the whole source";
}

TEST(StringStream, ReadAndWriteText)
{
    TStringStream stream("hello");
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(stream.ReadString(3), "hel");
    EXPECT_EQ(stream.ReadString(10), "lo");
    EXPECT_EQ(stream.ReadString(10), "");
    stream.WriteString(" world");
    EXPECT_EQ(stream.DataString(), "hello world");

    TBytesStream bytes({1, 2, 3});
    EXPECT_EQ(bytes.Bytes(), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ReadUInt8(bytes), 1);
}

TEST(LittleEndian, RoundTripAndLayout)
{
    TMemoryStream stream;
    WriteInt32(stream, -2);
    WriteUInt16(stream, 0x1234);
    WriteInt64(stream, 0x0102030405060708LL);
    WriteDouble(stream, 1.5);
    WriteInt16(stream, -300);
    WriteUInt32(stream, 0xDEADBEEF);
    WriteUInt8(stream, 0xAB);
    ASSERT_EQ(stream.Size(), 4 + 2 + 8 + 8 + 2 + 4 + 1);
    const uint8_t* m = stream.Memory();
    EXPECT_EQ(std::memcmp(m, "\xFE\xFF\xFF\xFF\x34\x12\x08\x07\x06\x05\x04\x03\x02\x01", 14), 0);

    stream.SetPosition(0);
    EXPECT_EQ(ReadInt32(stream), -2);
    EXPECT_EQ(ReadUInt16(stream), 0x1234);
    EXPECT_EQ(ReadInt64(stream), 0x0102030405060708LL);
    EXPECT_EQ(ReadDouble(stream), 1.5);
    EXPECT_EQ(ReadInt16(stream), -300);
    EXPECT_EQ(ReadUInt32(stream), 0xDEADBEEFu);
    EXPECT_EQ(ReadUInt8(stream), 0xAB);
    EXPECT_THROW(ReadUInt8(stream), EReadError);

    TStringStream shortStream("\x01\x02");
    EXPECT_EQ(ErrorOf<EReadError>([&] { ReadInt32(shortStream); }), "Stream read error");
}

TEST(FileStream, CreateWriteReopenRead)
{
    TTempFolder folder;
    const std::string name = folder / "data.bin";
    {
        TFileStream out(name, fmCreate);
        out.WriteBuffer("0123456789", 10);
        EXPECT_EQ(out.Size(), 10);
        out.SetSize(6);
        EXPECT_EQ(out.Position(), 6);
        EXPECT_EQ(out.FileName(), name);
    }
    EXPECT_EQ(ReadText(name), "012345");
    {
        TFileStream in(name, fmOpenRead | fmShareDenyNone);
        char buffer[10] = {};
        EXPECT_EQ(in.Read(buffer, 10), 6);
        EXPECT_EQ(in.Seek(-2, soFromEnd), 4);
        EXPECT_THROW(in.ReadBuffer(buffer, 3), EReadError);
        EXPECT_EQ(in.Write("x", 1), 0) << "a stream opened for reading writes nothing";
    }
    {
        TFileStream rw(name, fmOpenReadWrite);
        rw.Seek(8, soFromBeginning);
        rw.WriteBuffer("!", 1);
    }
    EXPECT_EQ(ReadText(name), std::string("012345\0\0!", 9));
    {
        TFileStream again(name, fmCreate | fmShareExclusive);
        EXPECT_EQ(again.Size(), 0) << "fmCreate truncates";
    }
}

TEST(FileStream, OpenFailuresNameTheFileAndTheReason)
{
    TTempFolder folder;
    const std::string missing = folder / "missing.txt";
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { TFileStream s(missing, fmOpenRead); }),
              "Cannot open file \"" + missing + "\". No such file or directory");

    const std::string inMissingFolder = folder / "no/such/folder.txt";
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { TFileStream s(inMissingFolder, fmCreate); }),
              "Cannot create file \"" + inMissingFolder + "\". No such file or directory");

    std::filesystem::create_directory(folder / "sub");
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { TFileStream s(folder / "sub", fmOpenRead); }),
              "Cannot open file \"" + folder / "sub" + "\". Is a directory");

    // Both kinds are stream errors, so callers can catch them together.
    EXPECT_THROW(TFileStream(missing, fmOpenReadWrite), EStreamError);
}
