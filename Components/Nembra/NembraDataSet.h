#pragma once
// The server's way of thinking on top of the table dataset.
//
// `TNembraDataSet` is the base of every server-backed and form-level dataset:
// index fields that order its rows, a key search over them, clone cursors
// that share another dataset's table, invisible fields, and load and save
// through a dataset writer (`TNembraDataSetWriter`, implemented by the
// snapshot format). The unit's routines turn the columnar JSON of server
// replies into table rows (`CreateColMap`, `JSONToRow`) and edited rows into
// SQL statements with named parameters (`GetColumnsAssign`, `GetColumnNames`
// and the statement builders). `TNembraUtilityDataSet` records the statement
// an edit would need instead of sending it.
//
// Statements: parameters are named by the 0-based position i of the field
// definition among all definitions (skipped ones count too): "N" + i for a
// SET value, "O" + i for an old value in a WHERE list, "P" + i for an INSERT
// value, and "PK" for the key. Each SET and WHERE item starts with CR LF and
// two blanks. Internally calculated definitions never take part.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DB.h"
#include "platform/StringList.h"

class TJSONObject;
class TStream;

enum TNembraDataChangeType
{
    dctInsert,
    dctUpdate,
    dctDelete
};

// The answer that stopped a writer's run: caDataSet and caDataBase stop it.
enum TCancelAction
{
    caNone,
    caDataSet,
    caDataBase
};

// Writes a dataset's structure and records to a stream and reads them back.
// The dataset and the stream are given at creation and not owned. The
// operations are listed in the order the format's classes implement them.
class TNembraDataSetWriter : public TObject
{
  public:
    TNembraDataSetWriter(TDataSet* dataSet, TStream* stream) : m_dataSet(dataSet), m_stream(stream) {}
    ~TNembraDataSetWriter() override = default;
    std::string ClassName() const override { return "TNembraDataSetWriter"; }

    virtual void WriteHeader() = 0;
    virtual void WriteStructure() = 0;
    virtual void WriteRecord() = 0;
    virtual void ReadHeader() = 0;
    virtual void ReadStructure() = 0;
    // False when the records end.
    virtual bool ReadRecord() = 0;
    // The name stored in the header.
    virtual std::string GetShadowName() = 0;
    // Writes the whole dataset under `name` / reads a stream into the
    // dataset; the answer that stopped the run, or caNone.
    virtual TCancelAction Write(const std::string& name) = 0;
    virtual TCancelAction Read() = 0;

    TDataSet* DataSet() const { return m_dataSet; }
    TStream* Stream() const { return m_stream; }

  private:
    TDataSet* m_dataSet;
    TStream* m_stream;
};

// A writer class: makes a writer bound to a dataset and a stream.
using TNembraDataSetWriterClass =
    std::function<std::unique_ptr<TNembraDataSetWriter>(TDataSet* dataSet, TStream* stream)>;

// The class of writer W: `ds.SaveToFile(NembraWriterClass<TMyWriter>(), ...)`.
template <class W> TNembraDataSetWriterClass NembraWriterClass()
{
    return [](TDataSet* dataSet, TStream* stream) {
        return std::unique_ptr<TNembraDataSetWriter>(std::make_unique<W>(dataSet, stream));
    };
}

// What CloneCursor copies besides the data.
enum TCloneOption
{
    coIndex,
    coFilter
};
using TCloneOptions = TDBSet<TCloneOption, uint8_t>;

class TNembraDataSet : public TKldDataSet
{
  public:
    explicit TNembraDataSet(TComponent* owner = nullptr);
    ~TNembraDataSet() override;
    std::string ClassName() const override { return "TNembraDataSet"; }

    // --- Index ----------------------------------------------------------------------
    // The columns that order the rows, in the OrderBy syntax of the table
    // dataset; they order the rows while IndexEnabled (True from the start).
    const std::string& IndexFields() const noexcept { return m_indexFields; }
    void SetIndexFields(const std::string& value);
    bool IndexEnabled() const noexcept { return m_indexEnabled; }
    void SetIndexEnabled(bool value);
    // Sorts the rows again by the index (after values changed in place).
    void Resort();
    // Moves to the record whose index fields equal keyValues (an array for
    // several fields); False when none does. Raises "Index is not specified
    // for a data set" without an enabled, non-empty index.
    bool FindKey(const Variant& keyValues);

    // --- Sharing and emptying --------------------------------------------------------
    // Opens this (closed) dataset on the table of `source` (open), so both
    // show the same rows; coIndex copies the index settings, coFilter the
    // filter text, its event and the filtered switch.
    void CloneCursor(TNembraDataSet* source, TCloneOptions options);
    // Removes every row of the table shown (nothing while closed).
    void EmptyDataSet();

    // --- Load and save through a writer ---------------------------------------------
    using TKldDataSet::LoadFromFile;
    using TKldDataSet::LoadFromStream;
    using TKldDataSet::SaveToFile;
    using TKldDataSet::SaveToStream;
    // Read a stream or file into this dataset; the answer is the name stored
    // in it. A missing stream raises "LoadFromStream: stream is not assigned".
    std::string LoadFromStream(const TNembraDataSetWriterClass& writerClass, TStream* stream);
    std::string LoadFromFile(const TNembraDataSetWriterClass& writerClass, const std::string& fileName);
    // Write the dataset under `name`; the file is created or replaced (the
    // old one stays whole until the new one is written, so a save that fails
    // leaves it as it was). A missing stream raises "SaveToStream: stream is
    // not assigned".
    void SaveToStream(const TNembraDataSetWriterClass& writerClass, TStream* stream, const std::string& name);
    void SaveToFile(const TNembraDataSetWriterClass& writerClass, const std::string& fileName,
                    const std::string& name);

    // CopyRecordFields (below) with this dataset as the source.
    void CopyRecordFields(TDataSet* dest, bool sourceFields = true, bool keepDestOnNull = false,
                          bool ignoreErrors = false);

    bool OndrelEOF() { return Eof(); }
    void OndrelLast() { Last(); }

    // --- Settings for forms ----------------------------------------------------------
    // Names of fields hidden from display (the server datasets hide them
    // after opening).
    TStringList& InvisibleFields() noexcept { return m_invisibleFields; }
    void SetInvisibleFields(const TStrings& value) { m_invisibleFields.Assign(value); }
    // A name for the user.
    const std::string& LogicalName() const noexcept { return m_logicalName; }
    void SetLogicalName(const std::string& value) { m_logicalName = value; }

  private:
    std::string m_indexFields;
    bool m_indexEnabled = true;
    TStringList m_invisibleFields;
    std::string m_logicalName;
};

// ---------------------------------------------------------------------------
// Rows from columnar JSON

// For each member of a columnar object, in member order, the column it
// fills (null: none).
using TNembraColMap = std::vector<TKldDataColumn*>;

// Member i takes the table's column at position i when that column has the
// member's name (without regard to case), else the column of that name, else
// none. The form with a list fills it after clearing it.
TNembraColMap CreateColMap(const TJSONObject& json, const TKldDataTable& table);
void CreateColMap(const TJSONObject& json, const TKldDataTable& table, TNembraColMap& list);
// Fills `row` from element `index` of every member's array, through `colMap`
// (made by CreateColMap for this object) or, without one, by the same lookup
// per member. A null element leaves the column as it is; dates and times are
// read in the wire formats, Memo and Blob values are Base64 text, other
// values go through the row's conversion. A member that is no array raises
// "Value is not an array", an index past its end the list index error, a
// cell that is not Base64 where Base64 is expected the Base64 error.
void JSONToRow(const TJSONObject& json, TKldDataRow* row, int index, const TNembraColMap* colMap = nullptr);

// ---------------------------------------------------------------------------
// Edit SQL

// `name` unchanged for empty quoteChars, quoted with the one character
// (embedded ones doubled), or between the first and the second character.
std::string FormatIdentifier(const std::string& name, const std::string& quoteChars);
// One input parameter per field definition, named like it, with the row's
// value of the same-named column (null without one) and the definition's type.
void GetRowValues(TKldDataRow* row, const TFieldDefs& fieldDefs, TParams& params);
// The SET list (forWhere False: changed columns, "N" + i with the current
// value) or the WHERE list (forWhere True: columns of ordinary types, "O" + i
// with the original value, IS NULL for a null one) into `text`, items joined
// by `separator`. Definitions named in skipList take no part. In the WHERE
// form a definition without a same-named column raises "Unable to update
// table. Not all fields are present in the data set. Please select all
// ordinal fields or specify primary key column name".
void GetColumnsAssign(TKldDataRow* row, const TFieldDefs& fieldDefs, TParams& params, std::string& text,
                      const TStrings* skipList, bool forWhere, const std::string& separator,
                      const std::string& quoteChars, const std::string& paramPrefix);
// The column list and the value list of an INSERT ("P" + i with the current
// value), each joined by `separator`.
void GetColumnNames(TKldDataRow* row, const TFieldDefs& fieldDefs, TParams& params, std::string& columns,
                    std::string& values, const std::string& separator, const std::string& quoteChars,
                    const std::string& paramPrefix);

// What the edit statements of one table need. The utility dataset and the
// remote datasets differ only in these settings and texts.
struct TNembraEditSQL
{
    std::string TableName;
    // The columns written and compared.
    const TFieldDefs* FieldDefs = nullptr;
    // Where the key field must be defined; FieldDefs when null.
    const TFieldDefs* KeyFieldDefs = nullptr;
    // Empty: rows are identified by all their ordinary columns.
    std::string KeyFieldName;
    // Fields never written by UPDATE (null: none).
    const TStrings* SkipFields = nullptr;
    std::string QuoteChars;
    // Raised when there are no field definitions.
    std::string NoFieldsMessage = "No fields are defined for this data set";
    // Raised, with the key field name, for an update by key of a row that
    // has no original version.
    std::string InsertedRowMessage = "Unable to update row that was just inserted: %s";
};

// The statements with ":" parameters added to `params`; an update of a row
// that is not modified, or whose SET list is blank, gives "".
std::string GetInsertStatement(const TNembraEditSQL& edit, TKldDataRow* row, TParams& params);
std::string GetUpdateStatement(const TNembraEditSQL& edit, TKldDataRow* row, TParams& params);
std::string GetDeleteStatement(const TNembraEditSQL& edit, TKldDataRow* row, TParams& params);

// Copies the current record's field values from source to dest (a browsing
// dest gets a new record appended first). The names come from the source's
// fields (sourceFields) or from dest's. A missing field or a type mismatch
// raises unless ignoreErrors, when the field is skipped; a null value clears
// the destination unless keepDestOnNull; a field of a type without a copy
// rule (ftLargeint, ftAutoInc among them) raises whatever ignoreErrors says.
// Messages start "CopyRecordFields" and "\n\r".
void CopyRecordFields(TDataSet* source, TDataSet* dest, bool sourceFields = true, bool keepDestOnNull = false,
                      bool ignoreErrors = false);

// ---------------------------------------------------------------------------
// The utility dataset

// Makes the statement of one change into `sql`, with its parameters.
using TNembraSQLGenerator = std::function<void(TKldDataRow* row, TParams& params, std::string& sql)>;

// A dataset that records the statement each posted change would need
// (DeltaStatement, DeltaParams) instead of sending it, and accepts the
// change at once.
class TNembraUtilityDataSet : public TNembraDataSet
{
  public:
    explicit TNembraUtilityDataSet(TComponent* owner = nullptr);
    ~TNembraUtilityDataSet() override;
    std::string ClassName() const override { return "TNembraUtilityDataSet"; }

    // The table the statements address.
    const std::string& DeltaTableName() const noexcept { return m_deltaTableName; }
    void SetDeltaTableName(const std::string& value) { m_deltaTableName = value; }
    // One key field; empty: rows are identified by all their ordinary fields.
    const std::string& DeltaUpdateKeyFields() const noexcept { return m_deltaUpdateKeyFields; }
    void SetDeltaUpdateKeyFields(const std::string& value) { m_deltaUpdateKeyFields = value; }
    // Comma-separated names of fields that UPDATE never writes.
    const std::string& DeltaUpdateSkipFields() const noexcept { return m_deltaUpdateSkipFields; }
    void SetDeltaUpdateSkipFields(const std::string& value) { m_deltaUpdateSkipFields = value; }

    // True from the start. Switching it on accepts every pending change of
    // the table first, so that later statements start from what is stored.
    bool ProduceDeltaStatement() const noexcept { return m_produceDeltaStatement; }
    void SetProduceDeltaStatement(bool value);
    bool DeltaStatementLatch() const noexcept { return !m_produceDeltaStatement; }
    void SetDeltaStatementLatch(bool value) { SetProduceDeltaStatement(!value); }

    // The last statement and its parameters; DeltaPresent while the
    // statement holds more than blanks.
    TStringList& DeltaStatement() noexcept { return m_deltaStatement; }
    TParams& DeltaParams() noexcept { return m_deltaParams; }
    bool DeltaPresent() const;

    // The statement generators (":" parameters, unquoted identifiers).
    virtual void GetDeleteSQL(TKldDataRow* row, TParams& params, std::string& sql);
    virtual void GetInsertSQL(TKldDataRow* row, TParams& params, std::string& sql);
    virtual void GetUpdateSQL(TKldDataRow* row, TParams& params, std::string& sql);
    // Clears the last statement and, while ProduceDeltaStatement, records
    // what the generator makes.
    virtual void ExecuteCRUDOperation(TKldDataRow* row, TNembraDataChangeType changeType,
                                      const TNembraSQLGenerator& generator);

  protected:
    // Each records its statement and answers True: the row accepts the change.
    bool DeleteRow(TKldDataRow* row) override;
    bool InsertRow(TKldDataRow* row) override;
    bool UpdateRow(TKldDataRow* row) override;

  private:
    TNembraEditSQL EditSQL();
    bool Record(TKldDataRow* row, TNembraDataChangeType changeType,
                void (TNembraUtilityDataSet::*generator)(TKldDataRow*, TParams&, std::string&));

    std::string m_deltaTableName;
    std::string m_deltaUpdateKeyFields;
    std::string m_deltaUpdateSkipFields;
    bool m_produceDeltaStatement = true;
    TStringList m_deltaStatement;
    TParams m_deltaParams;
    // Filled from DeltaUpdateSkipFields for each statement.
    TStringList m_skipFields;
};
