#pragma once
// Shared vocabulary of the data-access classes: field types (the ordinals are
// stored in snapshots and sent on the wire, so they never change), dataset
// states, data events, the small sets the classes take, and the database
// error texts with the helpers that raise them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

class TComponent;

// Field types. The ordinal of each member is part of stored and sent data.
enum TFieldType
{
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftVarBytes = 13,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftGraphic = 17,
    ftFmtMemo = 18,
    ftParadoxOle = 19,
    ftDBaseOle = 20,
    ftTypedBinary = 21,
    ftCursor = 22,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
    ftADT = 26,
    ftArray = 27,
    ftReference = 28,
    ftDataSet = 29,
    ftOraBlob = 30,
    ftOraClob = 31,
    ftVariant = 32,
    ftInterface = 33,
    ftIDispatch = 34,
    ftGuid = 35,
    ftTimeStamp = 36,
    ftFMTBcd = 37
};
constexpr int FieldTypeCount = 38;

// The library's names of the field types ("String", "SmallInt", "FMTBcd"...).
const std::string& FieldTypeName(TFieldType type);
// The field type for an ordinal read from stored or received data; an ordinal
// outside 0..37 raises EDatabaseError ("Invalid field type ordinal: %d").
TFieldType FieldTypeFromOrdinal(int ordinal);
// The bytes a value of the type takes in a record buffer, as the library
// counts them: a string its Size and the terminating zero (two bytes per
// character for wide strings), bytes their Size (and a 2-byte length for
// varying bytes), blobs none (they live outside the buffer).
int FieldDataSize(TFieldType type, int size);
// Blob types: their values are read and written through blob streams.
bool IsBlobFieldType(TFieldType type);
// Types whose values are bytes rather than text or numbers (memos are text):
// the table engine keeps them in blob columns and the wire carries them as
// Base64 text.
bool IsBinaryFieldType(TFieldType fieldType);

enum TDataSetState
{
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening
};

// dsEdit, dsInsert and dsSetKey: the states in which a record is being changed.
bool IsEditMode(TDataSetState state);

enum TDataEvent
{
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange,
    deFieldListChange,
    deFocusControl,
    deParentScroll,
    deConnectChange,
    deReconcileError,
    deDisabledStateChange
};

enum TFieldKind
{
    fkData,
    fkCalculated,
    fkLookup,
    fkInternalCalc,
    fkAggregate
};

// The record-buffer protocol between a dataset and its descendant.
enum TGetMode
{
    gmCurrent,
    gmNext,
    gmPrior
};
enum TGetResult
{
    grOK,
    grBOF,
    grEOF,
    grError
};
enum TBookmarkFlag
{
    bfCurrent,
    bfBOF,
    bfEOF,
    bfInserted
};

enum TBlobStreamMode
{
    bmRead,
    bmWrite,
    bmReadWrite
};

// Bit i of the stored attribute byte is the member with ordinal i.
enum TFieldAttribute
{
    faHiddenCol,
    faReadonly,
    faRequired,
    faLink,
    faUnNamed,
    faFixed
};

enum TLocateOption
{
    loCaseInsensitive,
    loPartialKey
};

enum TFilterOption
{
    foCaseInsensitive,
    foNoPartialCompare
};

enum TResyncModeItem
{
    rmExact,
    rmCenter
};

enum TParamType
{
    ptUnknown = 0,
    ptInput = 1,
    ptOutput = 2,
    ptInputOutput = 3,
    ptResult = 4
};

// A Pascal-style set of a small enumeration.
template <class E, class Bits = uint32_t> class TDBSet
{
  public:
    TDBSet() = default;
    TDBSet(std::initializer_list<E> items)
    {
        for (E e : items)
            Include(e);
    }
    bool Contains(E e) const { return (m_bits & Bit(e)) != 0; }
    TDBSet& Include(E e)
    {
        m_bits |= Bit(e);
        return *this;
    }
    TDBSet& Exclude(E e)
    {
        m_bits &= static_cast<Bits>(~Bit(e));
        return *this;
    }
    TDBSet& Set(E e, bool on) { return on ? Include(e) : Exclude(e); }
    bool Empty() const { return m_bits == 0; }
    Bits ToBits() const { return m_bits; }
    static TDBSet FromBits(Bits bits)
    {
        TDBSet s;
        s.m_bits = bits;
        return s;
    }
    bool operator==(const TDBSet&) const = default;

  private:
    static Bits Bit(E e) { return static_cast<Bits>(Bits(1) << static_cast<unsigned>(e)); }
    Bits m_bits = 0;
};

using TFieldAttributes = TDBSet<TFieldAttribute, uint8_t>;
using TLocateOptions = TDBSet<TLocateOption, uint8_t>;
using TFilterOptions = TDBSet<TFilterOption, uint8_t>;
using TResyncMode = TDBSet<TResyncModeItem, uint8_t>;
using TParamTypes = TDBSet<TParamType, uint8_t>;
using TFieldTypes = TDBSet<TFieldType, uint64_t>;

// Bookmarks are the descendant's bookmark bytes; an empty one is "no bookmark".
using TBookmark = std::string;
using TBookmarkStr = std::string;

// The record buffers a descendant allocates; the dataset never looks inside.
using TRecordBuffer = uint8_t*;

// Database error texts.
namespace DBConsts {
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
inline constexpr const char* SFieldRequired = "Field '%s' must have a value";
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SRecordNotFound = "Record not found";
inline constexpr const char* SDataSetMissing = "Field '%s' has no dataset";
inline constexpr const char* SDuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* SFieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* SFieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* SInvalidIntegerValue = "'%s' is not a valid integer value for field '%s'";
inline constexpr const char* SInvalidFloatValue = "'%s' is not a valid floating point value for field '%s'";
inline constexpr const char* SInvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* SFieldRangeError =
    "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* SUnknownFieldType = "Field '%s' is of an unknown type";
inline constexpr const char* SLookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* SParameterNotFound = "Parameter '%s' not found";
inline constexpr const char* SFieldIndexError = "Field index out of range";
inline constexpr const char* SNotABlobField = "Field '%s' is not a blob field";
inline constexpr const char* SBlobReadOnly = "Unable to write into a read-only blob stream";
inline constexpr const char* SInvalidFieldTypeOrdinal = "Invalid field type ordinal: %d";
inline constexpr const char* SBcdOverflow = "BCD overflow: %s does not fit field '%s' (%d digits, %d places)";
} // namespace DBConsts

// Raises EDatabaseError with `message`, prefixed "Name: " when `component`
// has a name.
[[noreturn]] void DatabaseError(const std::string& message, const TComponent* component = nullptr);
[[noreturn]] void DatabaseErrorFmt(const std::string& format, const std::vector<FormatArg>& args,
                                   const TComponent* component = nullptr);

// Splits "A;B;C" into trimmed names; empty parts are dropped.
std::vector<std::string> SplitFieldNames(const std::string& names);
