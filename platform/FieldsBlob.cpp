// The field classes of raw bytes, blobs and variants, and the blob stream
// that reads and writes a blob field's value.
#include "platform/Fields.h"

#include <algorithm>

#include "platform/DataSet.h"
#include "platform/FileReplaceStream.h"

// ===========================================================================
// Bytes

TBytesField::TBytesField(TComponent* owner) : TField(owner)
{
    SetDataType(ftBytes);
    SetSize(16);
}

Variant TBytesField::GetAsVariant()
{
    std::string value;
    if (!GetData(&value))
        return Variant::Null();
    return Variant(value);
}

void TBytesField::SetVarValue(const Variant& value)
{
    SetAsStringImpl(VarToStr(value));
}

std::string TBytesField::GetAsString()
{
    std::string value;
    GetData(&value);
    return value;
}

void TBytesField::SetAsStringImpl(const std::string& value)
{
    // Fixed-size bytes are cut to the size; a shorter ftBytes value is padded
    // with zero bytes so that the stored value always has its size.
    std::string bytes = value.substr(0, static_cast<size_t>(std::max(0, Size())));
    if (DataType() == ftBytes)
        bytes.resize(static_cast<size_t>(std::max(0, Size())), '\0');
    SetData(&bytes);
}

std::string TBytesField::GetText(bool)
{
    return GetClassDesc();
}

TVarBytesField::TVarBytesField(TComponent* owner) : TBytesField(owner)
{
    SetDataType(ftVarBytes);
}

// ===========================================================================
// Blobs

TBlobField::TBlobField(TComponent* owner) : TField(owner)
{
    SetDataType(ftBlob);
}

int64_t TBlobField::BlobSize()
{
    auto stream = DataSet()->CreateBlobStream(this, bmRead);
    return stream->Size();
}

Variant TBlobField::GetAsVariant()
{
    // A dataset may load blob values only when a stream is made for one: the
    // stream comes first, so that a value not loaded yet is not taken for NULL.
    if (DataSet() != nullptr)
        DataSet()->CreateBlobStream(this, bmRead);
    if (IsNull())
        return Variant::Null();
    return Variant(GetAsString());
}

void TBlobField::SetVarValue(const Variant& value)
{
    SetAsStringImpl(VarToStr(value));
}

std::string TBlobField::GetAsString()
{
    if (DataSet() == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmRead);
    std::string text(static_cast<size_t>(stream->Size()), '\0');
    if (!text.empty())
        stream->ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    return text;
}

void TBlobField::SetAsStringImpl(const std::string& value)
{
    if (DataSet() == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    if (!value.empty())
        stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
    // Written here so that a refused write reaches the caller.
    stream->Flush();
}

void TBlobField::LoadFromStream(TStream& stream)
{
    auto blob = DataSet()->CreateBlobStream(this, bmWrite);
    stream.SetPosition(0);
    blob->CopyFrom(stream, 0);
    blob->Flush();
}

void TBlobField::SaveToStream(TStream& stream)
{
    auto blob = DataSet()->CreateBlobStream(this, bmRead);
    if (blob->Size() > 0)
        stream.CopyFrom(*blob, 0);
}

void TBlobField::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TBlobField::SaveToFile(const std::string& fileName)
{
    TFileReplaceStream file(fileName);
    SaveToStream(file);
    file.Commit();
}

std::string TBlobField::GetText(bool)
{
    return GetClassDesc();
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner)
{
    SetDataType(ftMemo);
}

TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner)
{
    SetDataType(ftGraphic);
}

// ===========================================================================
// Variants

TVariantField::TVariantField(TComponent* owner) : TField(owner)
{
    SetDataType(ftVariant);
}

Variant TVariantField::GetAsVariant()
{
    Variant value;
    if (!GetData(&value))
        return Variant::Null();
    return value;
}

void TVariantField::SetVarValue(const Variant& value)
{
    SetData(&value);
}

std::string TVariantField::GetAsString()
{
    return VarToStr(GetAsVariant());
}
void TVariantField::SetAsStringImpl(const std::string& value)
{
    SetVarValue(Variant(value));
}
int32_t TVariantField::GetAsInteger()
{
    return GetAsVariant().AsInteger();
}
void TVariantField::SetAsIntegerImpl(int32_t value)
{
    SetVarValue(Variant(static_cast<int>(value)));
}
int64_t TVariantField::GetAsLargeInt()
{
    return GetAsVariant().AsInt64();
}
void TVariantField::SetAsLargeIntImpl(int64_t value)
{
    SetVarValue(Variant(static_cast<long long>(value)));
}
double TVariantField::GetAsFloat()
{
    return GetAsVariant().AsDouble();
}
void TVariantField::SetAsFloatImpl(double value)
{
    SetVarValue(Variant(value));
}
bool TVariantField::GetAsBoolean()
{
    return GetAsVariant().AsBoolean();
}
void TVariantField::SetAsBooleanImpl(bool value)
{
    SetVarValue(Variant(value));
}
TDateTime TVariantField::GetAsDateTime()
{
    return GetAsVariant().AsDateTime();
}
void TVariantField::SetAsDateTimeImpl(TDateTime value)
{
    SetVarValue(Variant::FromDate(value));
}

// ===========================================================================
// TBlobStream

TBlobStream::TBlobStream(TField* field, TBlobStreamMode mode)
    : m_field(field), m_dataSet(field->DataSet()), m_mode(mode)
{
    if (m_dataSet == nullptr)
        DatabaseErrorFmt(DBConsts::SDataSetMissing, {field->DisplayName()});
    if (mode != bmWrite)
        LoadValue();
    else
        m_modified = true;
}

TBlobStream::~TBlobStream()
{
    try {
        Flush();
    } catch (...) {
        // See the class comment: callers that must know call Flush first.
    }
}

void TBlobStream::LoadValue()
{
    std::string value;
    m_dataSet->GetFieldData(m_field, &value);
    TMemoryStream::SetSize(0);
    if (!value.empty())
        TMemoryStream::Write(value.data(), static_cast<int64_t>(value.size()));
    SetPosition(0);
    m_modified = false;
}

int64_t TBlobStream::Write(const void* buffer, int64_t count)
{
    if (m_mode == bmRead)
        DatabaseError(DBConsts::SBlobReadOnly);
    m_modified = true;
    return TMemoryStream::Write(buffer, count);
}

void TBlobStream::SetSize(int64_t newSize)
{
    if (m_mode == bmRead)
        DatabaseError(DBConsts::SBlobReadOnly);
    m_modified = true;
    TMemoryStream::SetSize(newSize);
}

void TBlobStream::Flush()
{
    if (m_mode == bmRead || !m_modified)
        return;
    const std::string value(reinterpret_cast<const char*>(Memory()), static_cast<size_t>(Size()));
    // Cleared before the write so that a notice re-entering the stream sees it
    // flushed; a refused write keeps the content pending for another try.
    m_modified = false;
    try {
        m_field->SetData(&value);
    } catch (...) {
        m_modified = true;
        throw;
    }
}
