#pragma once
// Values between the client and the server's databases: result cells and
// field definitions, the parameter objects the client sends ("Params",
// "OldValues", "NewValues") and the JSON texts of both.
//
// JSON strings: the client writes a CR LF line break as \n and a lone LF as
// \r (a lone CR as \u000D) and reads them back the same way. Parameter
// objects are read with that rule; every text the server writes follows it
// (TJsonWriter, Wire::SuiteString).

#include "Wire.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Ordinals of the client's field types on the wire ("DataType").
namespace FieldType {
inline constexpr int Unknown = 0, String = 1, SmallInt = 2, Integer = 3, Word = 4, Boolean = 5, Float = 6,
                     Currency = 7, BCD = 8, Date = 9, Time = 10, DateTime = 11, Bytes = 12, VarBytes = 13,
                     AutoInc = 14, Blob = 15, Memo = 16, Graphic = 17, FmtMemo = 18, ParadoxOle = 19,
                     DBaseOle = 20, TypedBinary = 21, Cursor = 22, FixedChar = 23, WideString = 24,
                     LargeInt = 25, ADT = 26, Array = 27, Reference = 28, DataSet = 29, OraBlob = 30,
                     OraClob = 31, Variant = 32, Interface = 33, IDispatch = 34, Guid = 35, TimeStamp = 36,
                     FMTBcd = 37;
// Values that travel as Base64 text in parameter objects.
bool IsBinary(int dataType);
} // namespace FieldType

// Ordinals of the client's parameter types ("ParamType").
namespace ParamType {
inline constexpr int Unknown = 0, Input = 1, Output = 2, InputOutput = 3, Result = 4;
}

struct TSqlValue
{
    enum TType
    {
        vtNull,
        vtInteger,
        vtFloat,
        vtText,
        vtBlob
    };
    TType Type = vtNull;
    int64_t Int = 0;
    double Float = 0;
    std::string Text; // text and blob bytes

    static TSqlValue Null() { return {}; }
    static TSqlValue Integer(int64_t v);
    static TSqlValue Real(double v);
    static TSqlValue FromText(std::string v);
    static TSqlValue FromBlob(std::string v);
    bool IsNull() const { return Type == vtNull; }
    // The value as text ('' for NULL); numbers with a point.
    std::string AsText() const;
};

// One field definition of a result or a table ({Name, DataType, Size}).
struct TFieldInfo
{
    std::string Name;
    int DataType = FieldType::String;
    int Size = 0;
};

// A parameter of a statement or procedure, as in the client's parameter
// objects: {"Name": {"DataType": n, "ParamType": n, "Value": ...}}.
struct TSqlParam
{
    std::string Name;
    int DataType = FieldType::Unknown;
    int ParamType = ParamType::Unknown;
    TSqlValue Value;
};
using TSqlParams = std::vector<TSqlParam>;

// A declared parameter of a procedure (value NULL).
TSqlParam DeclareParam(std::string name, int dataType, int paramType);

// Reads a parameter object text ('' or blank: none). Values are converted by
// the data type: binary types are Base64-decoded, numbers stay numbers, dates
// become "yyyy-mm-dd hh:nn:ss" (a time alone is a time of 1899-12-30), and an
// empty text is NULL, as the suite's database keeps it. Malformed input
// raises Wire::EProcedureError.
TSqlParams ParseParams(const std::string& json);
// The parameter named (without regard to case), or null.
const TSqlParam* FindParam(const TSqlParams& params, std::string_view name);
TSqlParam* FindParam(TSqlParams& params, std::string_view name);
// Writes a parameter object as the client reads it.
void WriteParams(TJsonWriter& json, const TSqlParams& params);

// One cell of a fetch reply for a field of `dataType`: null, a number, a
// date text, Base64 for memos and blobs, else the text.
void WriteCell(TJsonWriter& json, const TSqlValue& value, int dataType);

// The field type and size for a declared column type ("VARCHAR2(40)",
// "INTEGER", "DATE", "CLOB"...); an empty declaration gives String.
TFieldInfo FieldFromDeclaredType(const std::string& name, const std::string& declared);
