#include "Components/Nembra/ovnDataShadow.h"

#include "platform/DataSet.h"
#include "platform/FMTBcd.h"
#include "platform/FileReplaceStream.h"
#include "platform/Streams.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>

namespace {

constexpr const char* SStreamNotAssigned = "ovnShadow stream not assigned";
constexpr const char* SDataSetNotAssigned = "ovnShadow dataset not assigned";
constexpr const char* SCorruptHeader = "ovnBinaryShadow.Read: Corrupt dataset header";
constexpr const char* SCorruptRecord = "ovnShadow.Read: Corrupt record segment";
constexpr const char* SCurrencyRange = "ovnShadow.Write: the value of field '%s' is out of the currency range";

constexpr uint8_t RecordTag = 2;
constexpr uint8_t EndTag = 1;
constexpr uint8_t RecordTrailer = 55;
constexpr size_t MagicSize = 24;
const char Magic[MagicSize + 1] = "\xEF"
                                  "OVN BinDataShadow V1.0"
                                  "\xFE";
// Name length, type, size, required, precision, attributes, internal calc:
// the fewest bytes a field definition takes.
constexpr int64_t MinDefinitionSize = 4 + 1 + 4 + 1 + 4 + 1 + 1;

// How a value of a field type is stored.
enum class TValueKind
{
    None,
    Text,
    Int32,
    Boolean,
    Double,
    Currency,
    DateTime,
    Bytes,
    Int64,
    Bcd
};

TValueKind KindOf(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return TValueKind::Text;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return TValueKind::Int32;
    case ftBoolean:
        return TValueKind::Boolean;
    case ftFloat:
        return TValueKind::Double;
    case ftCurrency:
    case ftBCD:
        return TValueKind::Currency;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        return TValueKind::DateTime;
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
    case ftBytes:
    case ftVarBytes:
        return TValueKind::Bytes;
    case ftLargeint:
        return TValueKind::Int64;
    case ftFMTBcd:
        return TValueKind::Bcd;
    default:
        return TValueKind::None;
    }
}

// --- Writing into a block in memory

template <class T> void Put(std::string& block, T value)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T)); // the layout is little-endian, as the machine
    block.append(bytes, sizeof(T));
}

void PutText(std::string& block, const std::string& text)
{
    Put<uint32_t>(block, static_cast<uint32_t>(text.size()));
    block += text;
}

void WriteBlock(TStream& stream, const std::string& block)
{
    stream.WriteBuffer(block.data(), static_cast<int64_t>(block.size()));
}

int64_t CurrencyOf(TField& field)
{
    int64_t currency = 0;
    if (field.DataType() == ftBCD) {
        if (!BCDToCurr(field.AsBCD(), currency))
            throw EovnShadow(Format(SCurrencyRange, field.FieldName()));
        return currency;
    }
    const double scaled = std::round(field.AsCurrency() * 10000.0);
    // The int64 range, as doubles that hold it exactly.
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0))
        throw EovnShadow(Format(SCurrencyRange, field.FieldName()));
    return static_cast<int64_t>(scaled);
}

void PutValue(std::string& block, TValueKind kind, TField& field)
{
    switch (kind) {
    case TValueKind::None:
        break;
    case TValueKind::Text:
    case TValueKind::Bytes:
        PutText(block, field.AsString());
        break;
    case TValueKind::Int32:
        Put<int32_t>(block, field.AsInteger());
        break;
    case TValueKind::Boolean:
        Put<uint8_t>(block, field.AsBoolean() ? 1 : 0);
        break;
    case TValueKind::Double:
        Put<double>(block, field.AsFloat());
        break;
    case TValueKind::Currency:
        Put<int64_t>(block, CurrencyOf(field));
        break;
    case TValueKind::DateTime:
        Put<double>(block, field.AsDateTime());
        break;
    case TValueKind::Int64:
        Put<int64_t>(block, field.AsLargeInt());
        break;
    case TValueKind::Bcd: {
        const TBcd bcd = field.AsBCD();
        block.append(reinterpret_cast<const char*>(&bcd), sizeof bcd);
        break;
    }
    }
}

// --- Reading with every length checked against the bytes left

// Reads from a stream that holds `left` more bytes; a read past them raises
// `message` as E and reads nothing. A record reader then moves to the end of
// the stream: after a length past the end nothing further can be a whole
// record, and the next read finds the end.
template <class E> class TBoundedReader
{
  public:
    TBoundedReader(TStream& stream, int64_t left, const char* message)
        : m_stream(stream), m_left(left), m_message(message)
    {
    }

    void Take(void* buffer, int64_t count)
    {
        Need(count);
        m_stream.ReadBuffer(buffer, count);
        m_left -= count;
    }
    template <class T> T Get()
    {
        T value;
        Take(&value, sizeof(T));
        return value;
    }
    // A uint32 length and that many bytes.
    std::string Text()
    {
        const uint32_t length = Get<uint32_t>();
        Need(length);
        std::string text(length, '\0');
        Take(text.data(), length);
        return text;
    }
    int64_t Left() const { return m_left; }
    void Need(int64_t count)
    {
        if (count >= 0 && count <= m_left)
            return;
        if constexpr (std::is_same_v<E, EovnShadow>)
            m_stream.Seek(0, soFromEnd);
        throw E(m_message);
    }

  private:
    TStream& m_stream;
    int64_t m_left;
    const char* m_message;
};

using THeaderReader = TBoundedReader<EovnBinaryShadow>;
using TRecordReader = TBoundedReader<EovnShadow>;

} // namespace

// One value of a record block as read.
struct TovnBinaryShadow::TValue
{
    bool Null = true;
    TValueKind Kind = TValueKind::None;
    std::string Bytes;
    int64_t Integer = 0;
    double Number = 0;
    TBcd Bcd;
};

// ===========================================================================
// TovnShadow

TovnShadow::TovnShadow(TDataSet* dataSet, TStream* stream) : TNembraDataSetWriter(dataSet, stream) {}

TovnShadow::~TovnShadow() = default;

void TovnShadow::CheckAssigned() const
{
    if (!Stream())
        throw EovnShadow(SStreamNotAssigned);
    if (!DataSet())
        throw EovnShadow(SDataSetNotAssigned);
}

void TovnShadow::StartStop(TShadowStatus status, bool start)
{
    if (OnShadowStartStop)
        OnShadowStartStop(m_shadowName, status, start);
}

TCancelAction TovnShadow::Write(const std::string& name)
{
    CheckAssigned();
    TDataSet& dataSet = *DataSet();
    m_shadowName = name;
    dataSet.First();
    StartStop(ssWriting, true);
    WriteHeader();
    WriteStructure();
    for (int recNo = 1; !dataSet.Eof(); ++recNo) {
        std::string error;
        try {
            WriteRecord();
        } catch (const Exception& e) {
            error = e.Message();
        }
        TCancelAction cancel = caNone;
        if (OnRecordReadWrite)
            OnRecordReadWrite(recNo, ssWriting, error, cancel);
        if (cancel == caDataSet || cancel == caDataBase)
            return cancel;
        dataSet.Next();
    }
    try {
        WriteRecord(); // the end byte
    } catch (const Exception&) {
        // The records are whole; a reader ends at the last of them.
    }
    StartStop(ssWriting, false);
    return caNone;
}

TCancelAction TovnShadow::Read()
{
    CheckAssigned();
    TDataSet& dataSet = *DataSet();
    ReadHeader();
    StartStop(ssReading, true);
    ReadStructure();
    bool more = true;
    for (int recNo = 1; more; ++recNo) {
        std::string error;
        try {
            more = ReadRecord();
        } catch (const Exception& e) {
            error = e.Message();
            if (dataSet.State() != dsBrowse)
                dataSet.Cancel();
        }
        TCancelAction cancel = caNone;
        if (OnRecordReadWrite)
            OnRecordReadWrite(recNo, ssReading, error, cancel);
        if (cancel == caDataSet || cancel == caDataBase)
            return cancel;
    }
    StartStop(ssReading, false);
    return caNone;
}

std::string TovnShadow::LoadFromStream(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet,
                                       TStream* stream)
{
    std::unique_ptr<TNembraDataSetWriter> writer = writerClass(dataSet, stream);
    writer->Read();
    return writer->GetShadowName();
}

std::string TovnShadow::LoadFromFile(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet,
                                     const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    return LoadFromStream(writerClass, dataSet, &stream);
}

void TovnShadow::SaveToStream(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet, TStream* stream,
                              const std::string& name)
{
    writerClass(dataSet, stream)->Write(name);
}

void TovnShadow::SaveToFile(const TNembraDataSetWriterClass& writerClass, TDataSet* dataSet,
                            const std::string& fileName, const std::string& name)
{
    TFileReplaceStream stream(fileName);
    SaveToStream(writerClass, dataSet, &stream, name);
    stream.Commit();
}

// ===========================================================================
// TovnBinaryShadow: writing

void TovnBinaryShadow::WriteHeader()
{
    std::string block(Magic, MagicSize);
    PutText(block, ShadowName());
    WriteBlock(*Stream(), block);
}

void TovnBinaryShadow::WriteStructure()
{
    const TFieldDefs& defs = DataSet()->FieldDefs();
    std::string block;
    Put<uint32_t>(block, static_cast<uint32_t>(defs.Count()));
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* def = defs[i];
        PutText(block, def->Name());
        Put<uint8_t>(block, static_cast<uint8_t>(def->DataType()));
        Put<int32_t>(block, def->Size());
        Put<uint8_t>(block, def->Required() ? 1 : 0);
        Put<int32_t>(block, def->Precision());
        Put<uint8_t>(block, def->Attributes().ToBits());
        Put<uint8_t>(block, def->InternalCalcField() ? 1 : 0);
    }
    WriteBlock(*Stream(), block);
}

void TovnBinaryShadow::WriteRecord()
{
    TDataSet& dataSet = *DataSet();
    if (dataSet.Eof()) {
        WriteBlock(*Stream(), std::string(1, static_cast<char>(EndTag)));
        return;
    }
    // The block is made whole before any of it is written.
    std::string block(1, static_cast<char>(RecordTag));
    const TFieldDefs& defs = dataSet.FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        TField* field = dataSet.FindField(defs[i]->Name());
        if (!field || field->IsNull()) {
            Put<uint8_t>(block, 1);
            continue;
        }
        Put<uint8_t>(block, 0);
        PutValue(block, KindOf(defs[i]->DataType()), *field);
    }
    Put<uint8_t>(block, RecordTrailer);
    WriteBlock(*Stream(), block);
}

// ===========================================================================
// TovnBinaryShadow: reading

int64_t TovnBinaryShadow::BytesLeft()
{
    return std::max<int64_t>(0, m_end - Stream()->Position());
}

void TovnBinaryShadow::ReadHeader()
{
    m_end = Stream()->Size();
    THeaderReader in(*Stream(), BytesLeft(), SCorruptHeader);
    char magic[MagicSize];
    in.Take(magic, MagicSize);
    if (std::memcmp(magic, Magic, MagicSize) != 0)
        throw EovnBinaryShadow(SCorruptHeader);
    SetShadowName(in.Text());
}

void TovnBinaryShadow::ReadStructure()
{
    THeaderReader in(*Stream(), BytesLeft(), SCorruptHeader);
    const uint32_t count = in.Get<uint32_t>();
    // Checked before anything is made for the definitions.
    if (count > in.Left() / MinDefinitionSize)
        throw EovnBinaryShadow(SCorruptHeader);
    TFieldDefs defs(nullptr);
    for (uint32_t i = 0; i < count; ++i) {
        const std::string name = in.Text();
        const uint8_t type = in.Get<uint8_t>();
        const int32_t size = in.Get<int32_t>();
        const bool required = in.Get<uint8_t>() != 0;
        const int32_t precision = in.Get<int32_t>();
        const uint8_t attributes = in.Get<uint8_t>();
        const bool internalCalc = in.Get<uint8_t>() != 0;
        if (name.empty() || type >= FieldTypeCount || size < 0 || precision < 0 || defs.FindDef(name))
            throw EovnBinaryShadow(SCorruptHeader);
        TFieldDef* def = defs.Add(name, static_cast<TFieldType>(type), size);
        def->SetPrecision(precision);
        def->SetAttributes(TFieldAttributes::FromBits(attributes & 0x3F));
        def->SetRequired(required);
        def->SetInternalCalcField(internalCalc);
    }
    ShadowFieldDefs().Assign(defs);

    TDataSet& dataSet = *DataSet();
    if (!dataSet.Active()) {
        TFieldDefs previous(nullptr);
        previous.Assign(dataSet.FieldDefs());
        dataSet.FieldDefs().Assign(defs);
        try {
            dataSet.Open();
        } catch (...) {
            dataSet.FieldDefs().Assign(previous);
            throw;
        }
    }
    m_targets.clear();
    for (int i = 0; i < defs.Count(); ++i) {
        TField* field = dataSet.FindField(defs[i]->Name());
        // Calculated and lookup fields are never stored into.
        m_targets.push_back(field && field->FieldKind() == fkData ? field : nullptr);
    }
}

void TovnBinaryShadow::ReadBlock(std::vector<TValue>& values)
{
    TRecordReader in(*Stream(), BytesLeft(), SCorruptRecord);
    const TFieldDefs& defs = ShadowFieldDefs();
    values.resize(static_cast<size_t>(defs.Count()));
    for (int i = 0; i < defs.Count(); ++i) {
        TValue& value = values[static_cast<size_t>(i)];
        value.Null = in.Get<uint8_t>() != 0;
        value.Kind = KindOf(defs[i]->DataType());
        if (value.Null)
            continue;
        switch (value.Kind) {
        case TValueKind::None:
            break;
        case TValueKind::Text:
        case TValueKind::Bytes:
            value.Bytes = in.Text();
            break;
        case TValueKind::Int32:
            value.Integer = in.Get<int32_t>();
            break;
        case TValueKind::Boolean:
            value.Integer = in.Get<uint8_t>();
            break;
        case TValueKind::Currency:
        case TValueKind::Int64:
            value.Integer = in.Get<int64_t>();
            break;
        case TValueKind::Double:
        case TValueKind::DateTime:
            value.Number = in.Get<double>();
            break;
        case TValueKind::Bcd:
            in.Take(&value.Bcd, sizeof value.Bcd);
            break;
        }
    }
    // A wrong trailer spoils this record only: the next block follows it.
    if (in.Get<uint8_t>() != RecordTrailer)
        throw EovnShadow(SCorruptRecord);
}

void TovnBinaryShadow::StoreRecord(const std::vector<TValue>& values)
{
    TDataSet& dataSet = *DataSet();
    dataSet.Append();
    for (size_t i = 0; i < values.size() && i < m_targets.size(); ++i) {
        TField* field = m_targets[i];
        const TValue& value = values[i];
        if (!field)
            continue;
        if (value.Null) {
            field->Clear();
            continue;
        }
        switch (value.Kind) {
        case TValueKind::None:
            break;
        case TValueKind::Text:
            field->SetAsString(value.Bytes);
            break;
        case TValueKind::Bytes:
            // Byte fields travel in the blob group too: without them a
            // dataset's own snapshot would lose their values on reading.
            if (field->IsBlob() || field->DataType() == ftBytes || field->DataType() == ftVarBytes)
                field->SetAsString(value.Bytes);
            break;
        case TValueKind::Int32:
            field->SetAsInteger(static_cast<int32_t>(value.Integer));
            break;
        case TValueKind::Boolean:
            field->SetAsBoolean(value.Integer != 0);
            break;
        case TValueKind::Double:
            field->SetAsFloat(value.Number);
            break;
        case TValueKind::Currency: {
            TBcd bcd;
            // Decimals go in exactly; a double would round large amounts.
            if ((field->DataType() == ftBCD || field->DataType() == ftFMTBcd) && CurrToBCD(value.Integer, bcd))
                field->SetAsBCD(bcd);
            else
                field->SetAsCurrency(static_cast<double>(value.Integer) / 10000.0);
            break;
        }
        case TValueKind::DateTime:
            field->SetAsDateTime(value.Number);
            break;
        case TValueKind::Int64:
            if (field->DataType() == ftLargeint)
                field->SetAsLargeInt(value.Integer);
            break;
        case TValueKind::Bcd:
            field->SetAsBCD(value.Bcd);
            break;
        }
    }
    dataSet.Post();
}

bool TovnBinaryShadow::ReadRecord()
{
    uint8_t tag = 0;
    if (Stream()->Read(&tag, 1) != 1 || tag == EndTag || BytesLeft() == 0)
        return false;
    std::vector<TValue> values;
    ReadBlock(values);
    StoreRecord(values);
    return true;
}

// ===========================================================================
// TovnPropertyDataSet

bool TovnPropertyDataSet::DataShadowStored(TovnPropertyDataSet* ancestor)
{
    if (!Active() || IsEmpty())
        return false;
    if (!ancestor)
        return true;
    const int ancestorCount = ancestor->Active() ? ancestor->RecordCount() : 0;
    return ancestorCount != RecordCount();
}

std::string TovnPropertyDataSet::GetDataShadow()
{
    TovnDataSet writer;
    writer.CloneCursor(this, {});
    TStringStream stream;
    TovnShadow::SaveToStream(NembraWriterClass<TovnBinaryShadow>(), &writer, &stream, "");
    return stream.DataString();
}

void TovnPropertyDataSet::SetDataShadow(const std::string& bytes)
{
    if (ComponentState().Contains(csLoading))
        m_pendingShadow += bytes;
    else
        ReadDataShadow(bytes);
}

void TovnPropertyDataSet::Loaded()
{
    TovnDataSet::Loaded();
    if (m_pendingShadow.empty())
        return;
    const std::string bytes = std::move(m_pendingShadow);
    m_pendingShadow.clear();
    ReadDataShadow(bytes);
}

void TovnPropertyDataSet::ReadDataShadow(const std::string& bytes)
{
    TStringStream stream(bytes);
    TovnShadow::LoadFromStream(NembraWriterClass<TovnBinaryShadow>(), this, &stream);
}
