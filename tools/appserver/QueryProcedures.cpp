// Server cursors: a query's rows page by page, and the blob values of one
// row on demand.
#include "DatabaseProcedures.h"

#include "AppServer.h"

#include <algorithm>

namespace {

using Wire::EProcedureError;

void WriteFields(TJsonWriter& json, const std::vector<TFieldInfo>& fields)
{
    json.StartArray();
    for (const TFieldInfo& f : fields) {
        json.StartObject();
        json.Key("Name");
        json.String(f.Name);
        json.Key("DataType");
        json.Int(f.DataType);
        json.Key("Size");
        json.Int(f.Size);
        json.EndObject();
    }
    json.EndArray();
}

// DBHandle and SQL with Params open a cursor (first page); Handle reads the
// next page of one. FetchCount (every row when not sent), FetchBlobs=False,
// TableName (its columns as "tablefields"); Secret on every page.
void QueryFetch(TCall& call)
{
    TSession& session = call.RequireSession();
    call.CheckSecret();
    TServerDatabases& dbs = call.Server().Databases();
    const std::string handle = call.Param("Handle");
    const std::string tableName = call.Param("TableName");
    std::shared_ptr<TServerCursor> cursor;
    std::optional<std::vector<TFieldInfo>> tableFields;
    if (handle.empty()) {
        const auto db = RequireDatabase(call);
        const std::string sql = call.RequiredParam("SQL");
        const TSqlParams params = ParseParams(call.Param("Params"));
        TResultSet result;
        {
            auto lock = db->Lock();
            db->Execute(sql, params, &result);
            if (!tableName.empty())
                tableFields = db->TableFields(tableName);
        }
        cursor = dbs.AddCursor(session.Id, db->Handle(), std::move(result));
    } else {
        cursor = dbs.FindCursor(handle, session.Id);
        if (!tableName.empty()) {
            const auto db = RequireDatabase(call);
            auto lock = db->Lock();
            tableFields = db->TableFields(tableName);
        }
    }
    WriteFetchReply(call, cursor, FetchCountOf(call), handle.empty(), tableFields,
                    !IsFalseParam(call, "FetchBlobs"));
}

// DBHandle, Handle, RecNo: the 0-based ordinal of the row in the cursor's
// whole result. Answers RowsAffected and Data: each memo and blob column's
// value as Base64 text (null for NULL).
void FetchBlobs(TCall& call)
{
    TSession& session = call.RequireSession();
    const auto cursor = call.Server().Databases().FindCursor(call.RequiredParam("Handle"), session.Id);
    const std::string recNoText = call.RequiredParam("RecNo");
    long long recNo = -1;
    try {
        recNo = std::stoll(recNoText);
    } catch (const std::exception&) {
    }
    std::lock_guard<std::mutex> guard(cursor->Lock);
    const TResultSet& result = cursor->Result;
    if (recNo < 0 || static_cast<size_t>(recNo) >= result.Rows.size())
        throw EProcedureError(Wire::ErrGeneral, "Record " + recNoText + " is not in the result of the cursor.");
    const std::vector<TSqlValue>& row = result.Rows[static_cast<size_t>(recNo)];
    TJsonWriter& json = call.Json();
    json.Key("RowsAffected");
    json.Int(1);
    json.Key("Data");
    json.StartObject();
    for (size_t c = 0; c < result.Fields.size(); ++c) {
        if (!IsBlobField(result.Fields[c]))
            continue;
        json.Key(result.Fields[c].Name.data(), static_cast<rapidjson::SizeType>(result.Fields[c].Name.size()));
        WriteCell(json, row[c], FieldType::Blob);
    }
    json.EndObject();
}

} // namespace

bool IsBlobField(const TFieldInfo& field)
{
    return field.DataType == FieldType::Memo || field.DataType == FieldType::FmtMemo ||
           FieldType::IsBinary(field.DataType);
}

int FetchCountOf(const TCall& call)
{
    const std::string count = call.Param("FetchCount");
    if (count.empty())
        return -1;
    try {
        return std::max(0, std::stoi(count));
    } catch (const std::exception&) {
        throw EProcedureError(Wire::ErrGeneral, "FetchCount is not a number: " + count);
    }
}

void WriteFetchReply(TCall& call, const std::shared_ptr<TServerCursor>& cursor, int count, bool firstPage,
                     const std::optional<std::vector<TFieldInfo>>& tableFields, bool fetchBlobs)
{
    std::lock_guard<std::mutex> guard(cursor->Lock);
    const TResultSet& result = cursor->Result;
    const size_t first = std::min(cursor->Position, result.Rows.size());
    const size_t last = count < 0 ? result.Rows.size() : std::min(result.Rows.size(), first + static_cast<size_t>(count));
    cursor->Position = last;
    std::vector<bool> withheld;
    for (const TFieldInfo& f : result.Fields) {
        withheld.push_back(!fetchBlobs && IsBlobField(f));
        if (withheld.back() && last > first)
            cursor->BlobsWithheld = true;
    }
    const bool eof = last >= result.Rows.size();
    std::string handle = cursor->Handle;
    if (eof && !cursor->BlobsWithheld && !cursor->KeepOpen) {
        call.Server().Databases().CloseCursor(cursor->Handle, cursor->SessionId);
        handle.clear();
    }

    TJsonWriter& json = call.Json();
    Wire::Member(json, "handle", handle);
    json.Key("eof");
    json.Bool(eof);
    if (firstPage) {
        json.Key("fields");
        WriteFields(json, result.Fields);
    }
    json.Key("tablefields");
    if (tableFields)
        WriteFields(json, *tableFields);
    else
        json.Null();
    json.Key("Params");
    if (firstPage && !cursor->OutputParams.empty())
        WriteParams(json, cursor->OutputParams);
    else
        json.Null();
    json.Key("data");
    json.StartObject();
    for (size_t c = 0; c < result.Fields.size(); ++c) {
        const TFieldInfo& f = result.Fields[c];
        json.Key(f.Name.data(), static_cast<rapidjson::SizeType>(f.Name.size()));
        json.StartArray();
        for (size_t r = first; r < last; ++r) {
            const TSqlValue& v = result.Rows[r][c];
            if (!withheld[c])
                WriteCell(json, v, f.DataType);
            else if (v.IsNull())
                json.Null();
            else
                json.String("", 0);
        }
        json.EndArray();
    }
    json.EndObject();
}

void RegisterQueryProcedures(TProcedureTable& table)
{
    table.Add("Nembra.QueryFetch", QueryFetch);
    table.Add("Nembra.FetchBlobs", FetchBlobs);
}
