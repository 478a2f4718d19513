#pragma once
// Routines the server client and its users share: the wire formats of dates
// and times, the form encoding of request bodies, the JSON string literal of
// request texts, Base64 and the keyed XOR of the request proof, millisecond
// measures, and small text, list, stream, file and system helpers.
//
// Everything here is a plain routine over the values passed in; the only
// state is the measure calibration set by InitProfiling.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/DBTypes.h"
#include "platform/DynLibs.h"
#include "platform/SysUtils.h"
#include "platform/Variants.h"

class TStream;
class TStrings;
class TObject;

// ---------------------------------------------------------------------------
// Wire formats of dates and times

inline constexpr std::string_view NembraDateFormat = "yyyy-mm-dd";
inline constexpr std::string_view NembraTimeFormat = "hh:nn:ss";
inline constexpr std::string_view NembraDateTimeFormat = "yyyy-mm-dd hh:nn:ss";

// "DataType" and "ParamType" members on the wire and in dataset snapshots
// carry the ordinals of the data-access library's TFieldType (ftUnknown 0 ..
// ftFMTBcd 37) and TParamType (ptUnknown 0 .. ptResult 4). Values of the
// binary field types (IsBinaryFieldType) travel as Base64 text in double quotes.

// ---------------------------------------------------------------------------
// Growable text

struct TStringBuffer
{
    std::string Buffer; // reserved space; only the first Used characters count
    int64_t Used = 0;
    int64_t Delta = 0; // growth step
};

// Starts an empty text with Delta characters reserved.
void InitBuffer(TStringBuffer& b, int64_t delta);
// Appends s; a text that does not fit grows the buffer by the larger of its
// length and Delta.
void AppendToBuffer(TStringBuffer& b, std::string_view s);
// Cuts the buffer to the used length and returns it.
std::string DoneBuffer(TStringBuffer& b);

// ---------------------------------------------------------------------------
// Streams and files

// Count bytes from the position as text; all remaining bytes when Count is 0
// or less or more than remain.
std::string ReadString(TStream& stream, int64_t count);
std::string StreamToString(TStream& stream);
void WriteString(TStream& stream, std::string_view s);
// The whole file as text / creates or replaces the file with s.
std::string ReadString(const std::string& fileName);
void WriteString(const std::string& fileName, std::string_view s);
// A memory stream is saved whole, a string stream's text written, any other
// stream copied whole from its start.
void CopyStream(TStream& source, TStream& dest);
// Both file writers replace the file whole: a write that fails (a source
// that raises, a full disk) leaves the old file as it was.
void SaveStreamToFile(TStream& stream, const std::string& fileName);

// ---------------------------------------------------------------------------
// Text and lists

std::string ConcatStrings(const TStrings& strings, std::string_view separator);
// s1, then separator only when both are non-empty, then s2.
std::string ConcatStrings(std::string_view s1, std::string_view s2, std::string_view separator);
// The lines joined with ","; each line quoted with quoteChar (inner quote
// characters doubled) unless quoteChar is code 0.
std::string JoinWithComma(const TStrings& strings, char quoteChar);
// Splits at the first separator past the first character: trimmed text before
// into prefix, after into postfix. Without one, the trimmed s goes to prefix
// (keepAsPrefix) or postfix, the other side empty.
void SplitString(std::string_view s, std::string_view separator, std::string& prefix, bool keepAsPrefix,
                 std::string& postfix);
// The two fixed forms: without a separator the trimmed s goes to postfix
// (SplitStringPrefix) or to prefix (SplitStringPostfix).
void SplitStringPrefix(std::string_view s, std::string_view separator, std::string& prefix,
                       std::string& postfix);
void SplitStringPostfix(std::string_view s, std::string_view separator, std::string& prefix,
                        std::string& postfix);
// text when it already begins with the trimmed prefix (without case), else prefix + text.
std::string PrependString(std::string_view prefix, std::string_view text);
std::string Coalesce(std::string_view a, std::string_view b);
// The text after the first "=" of line index; the whole line without one;
// "" for a negative index.
std::string ValueFromIndex(const TStrings& strings, int index);
// The trimmed value; a non-empty one not yet in the list is inserted at the
// top, or second when `second` is set.
std::string GetMRUValue(std::string_view value, TStrings& list, bool second);
// Strips the simple HTML tags of server messages, turns <br> into CR LF and
// drops every "%".
std::string TrimHtmlTags(std::string_view s);
// The text before the first "." when that "." is past the first character.
std::string ExtractModuleClass(std::string_view s);
Variant VarIfThen(bool condition, const Variant& a, const Variant& b = Variant::Null());

// Destroy the object of every line, first to last / last to first. The lines
// stay; their object slots are emptied so that nothing points at freed memory.
void FreeObjects(TStrings& strings);
void FreeObjectsReverse(TStrings& strings);

// An object whose stored properties can be set by name from text.
class IStoredProperties
{
  public:
    virtual ~IStoredProperties() = default;
    // Sets the property; false when the object has no stored property of that name.
    virtual bool SetStoredProperty(const std::string& name, const std::string& value) = 0;
};

// For each Name=Value line whose name is not empty and does not begin with
// "$", sets obj's stored property of that name to the value text.
void InitInstanceFromValues(IStoredProperties& obj, const TStrings& strings);

// ---------------------------------------------------------------------------
// Form encoding

// Letters, digits and ! $ ' ( ) * - . @ _ stay, the blank becomes "+", every
// other byte "%XX".
std::string HTTPEncode(std::string_view s);
// "+" is a blank, "%%" a "%", "%XX" the byte (a blank when XX is not
// hexadecimal); a "%" with fewer than two characters after it ends the text
// with a blank.
std::string HTTPDecode(std::string_view s);

// ---------------------------------------------------------------------------
// Dates and times

std::string DateToJSONStr(TDateTime value);
std::string TimeToJSONStr(TDateTime value);
std::string DateTimeToJSONStr(TDateTime value);
// Strict parses of the three wire formats.
TDateTime JSONStrToDate(std::string_view s);
TDateTime JSONStrToTime(std::string_view s);
TDateTime JSONStrToDateTime(std::string_view s);
// Reads the digits of s at the positions of "yyyy", "mm", "dd", "hh", "nn"
// and "ss" in format; no separators are looked for. A date part that is no
// number raises "Invalid %s value" (Year, Month, Day) when strict; time parts
// that are missing count as 0. A format without date patterns gives the time
// of day alone. An impossible date or time raises the encoding error.
TDateTime NembraStrToDateTime(std::string_view s, std::string_view format, bool strict);
TDateTime SecsToDateTime(double secs);
TDateTime SecondsToDate(double secs);
int64_t DateTimeToSecs(TDateTime value);

// ---------------------------------------------------------------------------
// JSON texts

// s as a JSON string literal on the wire: \\ \" \f \t \b, CR LF as \n, a lone
// LF as \r, other control bytes (a lone CR too) as \u00XX; bytes of 128 and
// above unchanged (the text is UTF-8). The model's expression builder of the
// same name is NembraJSON::StrToJSON.
std::string StrToJSON(std::string_view s);
std::string BoolToJSON(bool b);
// "[" + the lines as StrToJSON literals separated by "," + "]".
std::string StringsToJSON(const TStrings& strings);
class TJSONArray;
// Clears strings and adds each element's readable text.
void JSONToStrings(const TJSONArray& arr, TStrings& strings);
// Appends ",", when s is not empty, then "name":value and CR LF.
void AddField(std::string& s, std::string_view name, std::string_view value);
std::string GetJSONObj(std::string_view s);

// ---------------------------------------------------------------------------
// JSON codecs of fields, parameters and datasets (NembraLibCodecs.cpp)

class TDataSet;
class TField;
class TParam;
class TParams;
class TJSONObject;

// An ftString field is null when its text is empty (the server does not tell
// an empty text from NULL); every other field by its null state.
bool FieldIsNull(TField* field);
// The value as a JSON token: null, the number (a point as decimal separator
// whatever the locale), true/false, dates in the wire formats in double
// quotes, binary types as Base64 in double quotes, everything else (texts,
// memos, ftAutoInc, ftGuid, variants) as a StrToJSON literal. A conversion
// error is raised again as Exception with ". Column: " and the field name.
std::string FieldToJSON(TField* field);
// The same for a parameter: null for an absent parameter, a null value or the
// type ftUnknown, and for a token that comes out empty; an empty ftString
// parameter is two double quotes. Errors end with ". Parameter: " and the name.
std::string ParamToJSON(const TParam* param);
// "[" + {"Name":..,"DataType":..,"Size":..} per field + "]".
std::string FieldsToJSON(const TDataSet& dataSet);
// "{" + "Name":{"DataType":..,"ParamType":..,"Value":..} per parameter whose
// parameter type is in `types` + "}".
std::string ParamsToJSON(const TParams& params, TParamTypes types);
// Updates the existing parameters (found by name without regard to case)
// whose parameter type is in `types` from an object as ParamsToJSON writes
// it: a parameter type or data type still unknown is taken from the reply,
// binary values are Base64-decoded, and the value is set with ParamFromString.
// Members of parameters that do not exist or are of another type are
// ignored. A malformed member ("Value is not an object", a field type ordinal
// outside 0..37, a bad Base64 text, a value that does not convert) raises
// before any parameter changes. The text form parses `json` first and does
// nothing for a blank text.
void ParamsFromJSON(TParams& params, const TJSONObject& json, TParamTypes types);
void ParamsFromJSON(TParams& params, std::string_view json, TParamTypes types);
// Replaces the parameters by one per member, in member order, with the
// member's ParamType, DataType and Value. A malformed member raises and
// leaves the parameters as they were.
void AddParamsFromJSON(TParams& params, const TJSONObject& json);
void AddParamsFromJSON(TParams& params, std::string_view json);
// Every parameter whose value is null gets the data type ftString.
void UpdateNullParams(TParams& params);
// Clears the value of every parameter.
void ClearParamValues(TParams& params);
// Always adds a new parameter; a data type still ftUnknown once the value is
// set becomes ftString.
TParam* SetParam(TParams& params, const std::string& name, const Variant& value,
                 TParamType paramType = ptInput, TFieldType dataType = ftUnknown);
// Sets the value converted to the parameter's data type; a parameter whose
// name holds "_BLOB_" (without regard to case) becomes ftBlob first. A null
// or empty value makes the value null.
void AssignParamFromVariant(TParam* param, const Variant& value);
// Sets the value from its wire text by the parameter's data type (numbers
// with a point, dates in the wire formats, blobs as raw bytes); an empty text
// makes the value null.
void ParamFromString(TParam* param, std::string_view s);
// ParamFromString for every parameter with the value of the same-named
// Name=Value line ("" when there is none).
void ParamsFromStrings(const TStrings& strings, TParams& params);

// The records from the current one to the end (at most maxRecords, no limit
// when negative) as one column array per field or as one object per record.
// Each record written adds one to the dataset's Tag. A closed dataset writes
// no records. With excludeBlobs, values of binary fields are written as ""
// (null when null).
std::string DataSetToJSON(TDataSet& dataSet, bool byColumns, int maxRecords = -1, bool excludeBlobs = false);
// "{" CR LF, then "Name":[values] per field ("," between), then "}".
std::string DataSetToJSONByColumns(TDataSet& dataSet, int maxRecords = -1, bool excludeBlobs = false);
// One {"Name":value,...} CR LF per record, "," between; more than one record
// is enclosed in "[" "]", a single one stays a bare object, none gives "".
std::string DataSetToJSONByRows(TDataSet& dataSet, int maxRecords = -1, bool excludeBlobs = false);
// The binary fields of the current record: "{" "Name":value,... "}" CR LF.
std::string DataSetBlobsToJSON(TDataSet& dataSet);
// Opens the dataset and appends one record per element of the column arrays
// whose names match fields (other members are skipped); the longest array
// gives the record count, and an element missing in a shorter array raises
// the list index error. A record that fails to post is cancelled.
void DataSetFromJSONByColumns(TDataSet& dataSet, const TJSONObject& json);
// Adds the edit text of the field for every record from the first; the
// dataset returns to its record and its controls stay disabled meanwhile.
void FieldToStrings(TField* field, TStrings& strings);
// The text of the field for every record from the first, each quoted with
// quoteChar unless it is code 0, joined with separator; the dataset is left
// at its end.
std::string GetFieldValues(TField* field, std::string_view separator, char quoteChar);
// Sets the record number when the dataset is sequenced, else moves First and
// then Next recNo times (stopping at the end).
void DataSetPosition(TDataSet& dataSet, int recNo);
// Counts the records from the first to the end and goes back to the first.
int DataSetRecordCount(TDataSet& dataSet);
// True when a field is of a binary type (memos do not count).
bool DataSetHasBlobs(const TDataSet& dataSet);

// ---------------------------------------------------------------------------
// Base64, XOR and identifiers

// Standard Base64 (RFC 4648 alphabet, padding, no line breaks).
std::string EncodeBase64(std::string_view s);
// Line breaks and blanks are ignored and missing padding is supplied; any
// other character outside the alphabet raises EConvertError.
std::string DecodeBase64(std::string_view s);
// Every byte of data XOR-ed with the key byte at the same position modulo the
// key length; data unchanged for an empty key.
std::string XorString(std::string_view key, std::string_view data);
std::string Encrypt(std::string_view key, std::string_view data);
std::string Decrypt(std::string_view key, std::string_view data);
// A fresh GUID as 32 upper-case hexadecimal digits.
std::string CreateGUIDString();

// ---------------------------------------------------------------------------
// Measures

// Calibrates the cycle counter over 100 ms. Until it has run, the measures
// use the monotonic clock, so they are never divided by zero; the calibrated
// clock starts on the monotonic clock's scale, so a measure that spans a
// calibration stays true.
void InitProfiling();
// Ticks per millisecond of the calibration (0 before InitProfiling).
int64_t ProfilingTicksPerMSec();
// t := now in ms; then t := now - t, also returned (elapsed ms).
void BeginMeasure(int64_t& t);
int64_t EndMeasure(int64_t& t);
// The same over the kernel plus user time of the thread with the given
// kernel thread id (TThread::ThreadID, GetCurrentThreadId), in 100-ns units;
// the end gives milliseconds and reports at least 10.
void BeginMeasureCPU(uint32_t threadId, int64_t& t);
int64_t EndMeasureCPU(uint32_t threadId, int64_t& t);
// 100-ns units to milliseconds, to the nearest integer.
int64_t NSecToMSec(int64_t hundredNs);

// ---------------------------------------------------------------------------
// Files and system

// The module's file name (at most 1,023 characters), trimmed, without a
// leading long-path prefix. `module` is a handle of a loaded library (null:
// the program).
std::string GetLibFileName(HMODULE module);
std::string GetAppFileName();

// One directory entry, as ForEachFile hands it over.
struct TNembraSearchRec
{
    std::string Name;
    int64_t Size = 0;
    bool Directory = false;
    int64_t WriteTime = 0; // Windows file time (100 ns since 1601-01-01, UTC)
};
using TForEachFileCallback =
    std::function<void(const std::string& dir, const TNembraSearchRec& entry, void* data)>;
// Calls callback for every entry of dir (any kind, "." and ".." included,
// as the system's own directory search gives them) whose name matches mask
// (MatchesMask: * and ?, letters without regard to case).
void ForEachFile(const std::string& dir, const std::string& mask, const TForEachFileCallback& callback,
                 void* data);

// Windows file times: 100-ns units since 1601-01-01.
struct TFileTime
{
    uint32_t dwLowDateTime = 0;
    uint32_t dwHighDateTime = 0;
};
int64_t GetSearchRecWriteTime(const TNembraSearchRec& rec);
// 0 when the path does not exist.
int64_t GetFileWriteTime(const std::string& path);
int64_t FileTimeToInt64(const TFileTime& ft);
TFileTime Int64ToFileTime(int64_t value);
// Without time-zone conversion.
TDateTime WindowsFileTimeStampToDateTime(int64_t fileTime);
// For an existing file (not a directory): its last-write date-time and size.
bool GetFileInfo(const std::string& path, TDateTime& time, int64_t& size);
// Deletes the folder with its contents; false on failure, never raises.
bool DeleteDirectory(const std::string& path);

// Event types of WriteEventLog.
constexpr uint16_t EVENTLOG_SUCCESS = 0x0000;
constexpr uint16_t EVENTLOG_ERROR_TYPE = 0x0001;
constexpr uint16_t EVENTLOG_WARNING_TYPE = 0x0002;
constexpr uint16_t EVENTLOG_INFORMATION_TYPE = 0x0004;
constexpr uint16_t EVENTLOG_AUDIT_SUCCESS = 0x0008;
constexpr uint16_t EVENTLOG_AUDIT_FAILURE = 0x0010;
// Reports one event to the system log under `source`. The system log is the
// local one only: a non-empty server, or an empty source, cannot be
// registered and gives false. Never raises.
bool WriteEventLog(const std::string& message, const std::string& server, const std::string& source,
                   uint16_t category, uint32_t eventId, uint16_t eventType);

// ---------------------------------------------------------------------------
// Statistics

struct TNembraStats
{
    int64_t Counter1 = 0;
    int64_t Counter2 = 0;
    int64_t Counter3 = 0;
    int64_t Counter4 = 0;
    int32_t Counter5 = 0;
    int32_t Counter6 = 0;
};

struct TNembraDeltaStats
{
    TNembraStats Delta; // differences since the previous update
    int32_t Rate = 0;   // percent, at most 100
    int32_t CallerValue = 0;
    TNembraStats Previous; // counters at the previous update
    TDateTime Time = 0;    // when the previous update was
};

void ClearStats(TNembraStats& stats);
void ClearDeltaStats(TNembraDeltaStats& delta);
// Differences := current - previous, previous := current, time := now; the
// rate is min(100, 100 x Counter2 difference / ms since the previous update),
// rounded (0 when no time passed).
void UpdateDeltaStats(TNembraDeltaStats& delta, const TNembraStats& current, int32_t value);
// The same with an explicit "now", for callers that keep their own clock.
void UpdateDeltaStatsAt(TNembraDeltaStats& delta, const TNembraStats& current, int32_t value, TDateTime now);
