#include "platform/DBTypes.h"

#include <array>

#include "platform/Component.h"

namespace {
const std::array<std::string, FieldTypeCount> FieldTypeNames = {
    "Unknown",    "String",    "SmallInt",  "Integer",    "Word",      "Boolean",     "Float",   "Currency",
    "BCD",        "Date",      "Time",      "DateTime",   "Bytes",     "VarBytes",    "AutoInc", "Blob",
    "Memo",       "Graphic",   "FmtMemo",   "ParadoxOle", "DBaseOle",  "TypedBinary", "Cursor",  "FixedChar",
    "WideString", "LargeInt",  "ADT",       "Array",      "Reference", "DataSet",     "OraBlob", "OraClob",
    "Variant",    "Interface", "IDispatch", "Guid",       "TimeStamp", "FMTBcd"};
} // namespace

const std::string& FieldTypeName(TFieldType type)
{
    const int index = static_cast<int>(type);
    if (index < 0 || index >= FieldTypeCount)
        return FieldTypeNames[0];
    return FieldTypeNames[static_cast<size_t>(index)];
}

TFieldType FieldTypeFromOrdinal(int ordinal)
{
    if (ordinal < 0 || ordinal >= FieldTypeCount)
        DatabaseErrorFmt(DBConsts::SInvalidFieldTypeOrdinal, {ordinal});
    return static_cast<TFieldType>(ordinal);
}

int FieldDataSize(TFieldType type, int size)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
        return size + 1;
    case ftWideString:
        return (size + 1) * 2;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
        return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
        return 8;
    case ftBCD:
    case ftFMTBcd:
        return 34; // the size of a packed decimal
    case ftTimeStamp:
        return 16;
    case ftGuid:
        return size + 1; // the braced text and its terminating zero
    case ftBytes:
        return size;
    case ftVarBytes:
        return size + 2;
    default:
        return 0;
    }
}

bool IsBlobFieldType(TFieldType type)
{
    switch (type) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
        return true;
    default:
        return false;
    }
}

bool IsBinaryFieldType(TFieldType fieldType)
{
    switch (fieldType) {
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftCursor:
    case ftADT:
    case ftArray:
    case ftReference:
    case ftDataSet:
    case ftOraBlob:
    case ftOraClob:
        return true;
    default:
        return false;
    }
}

bool IsEditMode(TDataSetState state)
{
    return state == dsEdit || state == dsInsert || state == dsSetKey;
}

void DatabaseError(const std::string& message, const TComponent* component)
{
    if (component != nullptr && !component->Name().empty())
        throw EDatabaseError(component->Name() + ": " + message);
    throw EDatabaseError(message);
}

void DatabaseErrorFmt(const std::string& format, const std::vector<FormatArg>& args,
                      const TComponent* component)
{
    DatabaseError(FormatList(format, args), component);
}

std::vector<std::string> SplitFieldNames(const std::string& names)
{
    std::vector<std::string> result;
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(';', start);
        if (end == std::string::npos)
            end = names.size();
        std::string part = Trim(std::string_view(names).substr(start, end - start));
        if (!part.empty())
            result.push_back(std::move(part));
        start = end + 1;
    }
    return result;
}
