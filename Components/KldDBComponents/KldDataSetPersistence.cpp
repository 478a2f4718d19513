// A dataset's persistence: saving to and loading from streams and files,
// loading from a variant array, and copying another dataset.
#include "Components/KldDBComponents/KldDataSet.h"

#include "platform/FileReplaceStream.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

namespace {

constexpr const char* SNoTargetFields = "No fields defined in the target dataset";
constexpr const char* SVariantNotTable =
    "Data to load must be a two-dimensional array of fields by name, type, size and records";
constexpr const char* SVariantNoHeader = "Data to load must hold the name, type and size of every field";
constexpr const char* SVariantFieldName = "Data to load names no field at position %d";
constexpr const char* SVariantDuplicate = "Data to load names the field '%s' twice";
constexpr const char* SVariantFieldType = "Field '%s' of the data to load has a type that holds no value";

} // namespace

// ============================================================================
// Persistence

void TKldDataSet::SaveToStream(TStream& stream)
{
    Open();
    TKldWriter writer(stream);
    m_table->WriteData(writer);
    writer.FlushBuffer();
}

void TKldDataSet::SaveToFile(const std::string& fileName)
{
    TFileReplaceStream stream(fileName);
    SaveToStream(stream);
    stream.Commit();
}

void TKldDataSet::LoadFromStream(TStream& stream)
{
    Open();
    int64_t start = stream.Position();
    {
        // The check pass: the data go into a scratch table of the same
        // columns first, so a malformed stream fails before any row goes.
        TKldDataContainer scratch;
        TKldDataTable* table = scratch.Tables().Add();
        table->SetName(m_table->Name());
        table->SetColumns(m_table->Columns());
        TKldReader reader(stream);
        table->ReadData(reader);
    }
    stream.SetPosition(start);
    m_table->BeginUpdate();
    try {
        m_table->Clear();
        TKldReader reader(stream);
        m_table->ReadData(reader);
    } catch (...) {
        m_table->EndUpdate();
        throw;
    }
    m_table->EndUpdate();
}

void TKldDataSet::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}

void TKldDataSet::LoadFromVariant(const Variant& data, bool replaceStructure)
{
    // Everything is checked before the dataset is touched.
    if (!VarIsArray(data) || VarArrayDimCount(data) != 2 || data.ArrayLowBound(2) != 0)
        DatabaseError(SVariantNotTable, this);
    int firstField = data.ArrayLowBound(1);
    int lastField = data.ArrayHighBound(1);
    int lastRecord = data.ArrayHighBound(2);
    if (lastRecord < 2)
        DatabaseError(SVariantNoHeader, this);
    struct Definition
    {
        std::string Name;
        TFieldType Type;
        int Size;
    };
    std::vector<Definition> definitions;
    for (int i = firstField; i <= lastField; ++i) {
        const Variant& name = data.GetElement({i, 0});
        const Variant& type = data.GetElement({i, 1});
        const Variant& size = data.GetElement({i, 2});
        if (!VarIsStr(name) || name.AsString().empty())
            DatabaseErrorFmt(SVariantFieldName, {i}, this);
        if (!VarIsNumeric(type) || !VarIsNumeric(size))
            DatabaseError(SVariantNoHeader, this);
        Definition definition{name.AsString(), FieldTypeFromOrdinal(type.AsInteger()), size.AsInteger()};
        for (const Definition& other : definitions) {
            if (SameText(other.Name, definition.Name))
                DatabaseErrorFmt(SVariantDuplicate, {definition.Name}, this);
        }
        if (replaceStructure && (definition.Type == ftUnknown || !NewFieldOfType(definition.Type, nullptr)))
            DatabaseErrorFmt(SVariantFieldType, {definition.Name}, this);
        definitions.push_back(std::move(definition));
    }

    if (replaceStructure) {
        Close();
        FieldDefs().Clear();
        for (const Definition& definition : definitions)
            FieldDefs().Add(definition.Name, definition.Type, definition.Size);
    }
    Open();
    m_table->BeginUpdate();
    try {
        m_table->Clear();
    } catch (...) {
        m_table->EndUpdate();
        throw;
    }
    m_table->EndUpdate();

    DisableControls();
    try {
        First();
        for (int record = 3; record <= lastRecord; ++record) {
            Append();
            try {
                for (size_t i = 0; i < definitions.size(); ++i) {
                    TField* field = nullptr;
                    if (replaceStructure)
                        field =
                            i < static_cast<size_t>(FieldCount()) ? Fields()[static_cast<int>(i)] : nullptr;
                    else
                        field = FindField(definitions[i].Name);
                    if (field)
                        field->SetValue(data.GetElement({firstField + static_cast<int>(i), record}));
                }
                Post();
            } catch (...) {
                Cancel();
                throw;
            }
        }
        First();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TKldDataSet::CopyFrom(TDataSet* source, bool copyStructure)
{
    KLD_ASSERT("KldDataSet", source != nullptr && source != this);
    if (copyStructure && !Active() && FieldCount() == 0)
        FieldDefs().Assign(source->FieldDefs());
    Open();
    if (!source->Active() || source->Eof())
        return;
    if (FieldDefs().Count() == 0)
        DatabaseError(SNoTargetFields, this);
    TBookmark sourceMark = source->GetBookmark();
    TBookmark ownMark = GetBookmark();
    source->DisableControls();
    DisableControls();
    auto restore = [&] {
        try {
            if (!sourceMark.empty())
                source->GotoBookmark(sourceMark);
            if (!ownMark.empty())
                GotoBookmark(ownMark);
        } catch (...) {
            // The copy's own outcome is what the caller hears of.
        }
        source->EnableControls();
        EnableControls();
    };
    try {
        source->First();
        std::vector<TField*> map;
        bool mapped = false;
        while (!source->Eof()) {
            Append();
            try {
                if (!mapped) {
                    for (TField* field : Fields()) {
                        TField* from = source->FindField(field->FieldName());
                        bool data = field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc;
                        bool sourceData =
                            from && (from->FieldKind() == fkData || from->FieldKind() == fkInternalCalc);
                        map.push_back(data && sourceData ? from : nullptr);
                    }
                    mapped = true;
                }
                for (size_t i = 0; i < map.size(); ++i) {
                    if (map[i])
                        Fields()[static_cast<int>(i)]->SetValue(map[i]->Value());
                }
                Post();
            } catch (...) {
                Cancel();
                throw;
            }
            source->Next();
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
}
