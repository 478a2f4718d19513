#pragma once
// Unit ovnDataShadow: dataset snapshots. A dataset's structure and rows are
// written to a stream or file and read back into any dataset. `TovnShadow`
// is the record loop of the dataset writer contract (events, cancellation,
// the class-level load and save), `TovnBinaryShadow` the binary layout, and
// `TovnPropertyDataSet` a local dataset that keeps its rows as the snapshot
// bytes of its stored property "DataShadow".
//
// Binary layout (integers little-endian; texts are the UTF-8 bytes, without
// terminator):
//   magic        24 bytes: 0xEF, "OVN BinDataShadow V1.0", 0xFE
//   name         uint32 length N, N bytes (ShadowName)
//   definitions  uint32 count D, then D times: uint32 name length, name,
//                type (1 byte: the field type ordinal), int32 size,
//                required (1 byte), int32 precision, attributes (1 byte: bit i
//                is TFieldAttribute i), internal calc (1 byte)
//   records      each: tag 2, per definition a null flag (1: null, nothing
//                follows; 0: the value follows) and the value, trailer 55
//   end          the byte 1
// Values by the definition's type: String, FixedChar, WideString: uint32
// length and the text; Smallint, Integer, Word, AutoInc: int32; Boolean: one
// byte 0/1; Float: double; Currency, BCD: int64 of the value x 10,000; Date,
// Time, DateTime, TimeStamp: double days since 1899-12-30; Blob, Memo,
// Graphic, FmtMemo, TypedBinary, OraBlob, OraClob, and Bytes and VarBytes:
// uint32 byte count and the bytes; Largeint: int64; FMTBcd: the 34-byte BCD
// record; any other type: nothing (only the null flag 0).
//
// Writing: a record holds one value per field definition of the dataset,
// taken from the field of that name; a definition without a field (or a null
// field) is written as null, and calculated and lookup fields, which have no
// definition, are not written. So a snapshot always reads back. A record
// whose value cannot be written is left out whole: nothing of it reaches the
// stream, and the error goes to OnRecordReadWrite.
//
// Reading checks what it reads against the bytes that are left, so a damaged
// or hostile stream neither reads out of bounds nor allocates more than the
// stream holds:
// - a wrong magic, or a name, count or definition that does not fit the rest
//   of the stream (or a type ordinal outside the enumeration, a negative size
//   or precision, an empty or repeated name) raises EovnBinaryShadow
//   "ovnBinaryShadow.Read: Corrupt dataset header" before the dataset is
//   touched;
// - a record whose lengths or values run past the end, or whose trailer is
//   not 55, is "ovnShadow.Read: Corrupt record segment" (EovnShadow): it is
//   reported through OnRecordReadWrite and reading goes on (after a length
//   past the end nothing further can be a whole record, so the read ends);
// - a value that does not convert into its field, or a record the dataset
//   refuses, is reported the same way; the record is read to its end first,
//   so the next one starts where it should.
// A value goes into the dataset's data field of the definition's name when
// there is one: blob content only into a blob field, a 64-bit integer only
// into a large-integer field; other values are dropped. The end of the
// records (the end byte, or the stream's end) is reported to
// OnRecordReadWrite as one more number, with an empty error.

#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/ovnDataSet.h"

#include "platform/FieldDefs.h"
#include "platform/SysUtils.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TField;
class TStream;

KLD_DECLARE_EXCEPTION(EovnShadow, Exception);
KLD_DECLARE_EXCEPTION(EovnBinaryShadow, EovnShadow);

enum TShadowStatus
{
    ssReading,
    ssWriting
};

// After each record (and, reading, after the end): its number from 1, the
// error text ('' when it went well); setting cancelStatus to caDataSet or
// caDataBase stops the run.
using TOnRecordReadWrite =
    std::function<void(int recNo, TShadowStatus status, const std::string& error, TCancelAction& cancelStatus)>;
// At the start and the end of a run (no end event for a cancelled run).
using TOnShadowStartStop = std::function<void(const std::string& shadowName, TShadowStatus status, bool start)>;

class TovnShadow : public TNembraDataSetWriter
{
  public:
    // Bound to both; neither is owned.
    TovnShadow(TDataSet* dataSet, TStream* stream);
    ~TovnShadow() override;
    std::string ClassName() const override { return "TovnShadow"; }

    TOnRecordReadWrite OnRecordReadWrite;
    TOnShadowStartStop OnShadowStartStop;

    // The name written or read.
    std::string GetShadowName() override { return m_shadowName; }
    const std::string& ShadowName() const { return m_shadowName; }
    // The field definitions read from a snapshot.
    TFieldDefs& ShadowFieldDefs() { return m_fieldDefs; }

    // Writes the whole dataset from its first record under `name`; the answer
    // that stopped it, or caNone. A cancelled run leaves the records written
    // so far and no end byte. Raises EovnShadow "ovnShadow stream not
    // assigned" / "ovnShadow dataset not assigned".
    TCancelAction Write(const std::string& name) override;
    // Reads a snapshot into the dataset: a closed dataset takes the
    // snapshot's field definitions and is opened, an open one keeps its own
    // structure. The answer that stopped it, or caNone. The same two errors.
    TCancelAction Read() override;

    // --- Class operations (the writer class is usually TovnBinaryShadow)
    // The load operations answer the name stored in the snapshot.
    static std::string LoadFromStream(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet,
                                      TStream* stream);
    // The file is opened for reading.
    static std::string LoadFromFile(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet,
                                    const std::string& fileName);
    static void SaveToStream(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet, TStream* stream,
                             const std::string& name);
    // Creates or replaces the file. The old file stays whole until the new
    // one is written; a save that fails leaves it as it was.
    static void SaveToFile(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet,
                           const std::string& fileName, const std::string& name);

  protected:
    void SetShadowName(const std::string& value) { m_shadowName = value; }

  private:
    void CheckAssigned() const;
    void StartStop(TShadowStatus status, bool start);

    std::string m_shadowName;
    TFieldDefs m_fieldDefs{nullptr};
};

class TovnBinaryShadow : public TovnShadow
{
  public:
    using TovnShadow::TovnShadow;
    std::string ClassName() const override { return "TovnBinaryShadow"; }

    // The magic, the name length and the name.
    void WriteHeader() override;
    // The count and every field definition of the dataset.
    void WriteStructure() override;
    // The current record as one block; at the end of the data, the end byte.
    void WriteRecord() override;
    void ReadHeader() override;
    void ReadStructure() override;
    // Reads one block and appends and posts its record; False at the end.
    bool ReadRecord() override;

  private:
    struct TValue;
    // The bytes left between the stream's position and its end.
    int64_t BytesLeft();
    void ReadBlock(std::vector<TValue>& values);
    void StoreRecord(const std::vector<TValue>& values);

    // The stream's size, taken when the header is read.
    int64_t m_end = 0;
    // For each snapshot definition, the dataset's data field of that name (or null).
    std::vector<TField*> m_targets;
};

// A local dataset that keeps its rows in the form that holds it, as the
// binary stored property "DataShadow" (a TovnBinaryShadow snapshot under an
// empty name). There are no form files here: the property is reached as
// bytes through DataShadowStored, GetDataShadow and SetDataShadow.
class TovnPropertyDataSet : public TovnDataSet
{
  public:
    using TovnDataSet::TovnDataSet;
    std::string ClassName() const override { return "TovnPropertyDataSet"; }

    // The stored setting "Data" (never written with the form): shows
    // "<Data>"; setting it does nothing.
    std::string Data() const { return "<Data>"; }
    void SetData(const std::string&) {}

    // Whether the form writes "DataShadow": the dataset is open and not
    // empty; for a form inheriting from one that holds the same component
    // (`ancestor`), only when the record counts differ.
    bool DataShadowStored(TovnPropertyDataSet* ancestor = nullptr);
    // The property's bytes: the rows written by a dataset that shares this
    // one's cursor (so this one does not move). The dataset must be open.
    std::string GetDataShadow();
    // While the form loads, the bytes are kept until Loaded reads them into
    // the dataset; otherwise they are read at once. A closed dataset defines
    // its fields from the snapshot and opens.
    void SetDataShadow(const std::string& bytes);
    void Loaded() override;

  private:
    void ReadDataShadow(const std::string& bytes);

    std::string m_pendingShadow;
};
