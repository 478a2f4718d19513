#include "Components/Nembra/NembraQuery.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraProcedures.h"

namespace {

constexpr const char* SQueryEmpty = "SQL query is empty";
constexpr const char* STableNotAssigned = "Table name is not assigned";

} // namespace

// ===========================================================================
// TNembraQuery

TNembraQuery::TNembraQuery(TComponent* owner) : TNembraDBDataSet(owner), m_schema(this)
{
    m_sql.OnChange = [this](TObject*) { TextChanged(false); };
    m_schema.OnChange = [this](TObject*) { TextChanged(true); };
}

TNembraQuery::~TNembraQuery()
{
    Close();
    m_sql.OnChange = nullptr;
    m_schema.OnChange = nullptr;
}

void TNembraQuery::SetUseSQL(bool value)
{
    m_useSQL = value;
}

void TNembraQuery::TextChanged(bool fromSchema)
{
    if (fromSchema != m_useSQL && !IsLoading())
        UpdateParams();
}

std::string TNembraQuery::GetSQLText()
{
    return m_useSQL ? m_sql.Text() : m_schema.GetSQL();
}

void TNembraQuery::UpdateParams()
{
    TParams derived;
    derived.ParseSQL(GetSQLText(), true);
    derived.AssignValues(Params());
    Params().Assign(derived);
}

std::unique_ptr<TNembraRequest> TNembraQuery::GetFetchRequest(int count)
{
    std::unique_ptr<TNembraRequest> request = TNembraDBDataSet::GetFetchRequest(count);
    request->SetProcedureName(NembraProcedure::QueryFetch);
    if (Handle().empty()) {
        const std::string sql = Trim(GetSQLText());
        if (sql.empty())
            throw Exception(SQueryEmpty);
        request->SetParam(NembraParam::SQL, Variant(sql));
        request->SetParam(NembraParam::Params, Variant(ParamsToJSON(Params(), NembraSentParamTypes())));
    }
    request->SecureWithSecret();
    return request;
}

void TNembraQuery::InternalExecute(bool prepared)
{
    CheckInactive();
    std::unique_ptr<TNembraRequest> request = GetExecuteRequest();
    request->SetParam(NembraParam::SQL, Variant(GetSQLText()));
    request->SecureWithSecret();
    request->SetParam(NembraParam::Params, Variant(ParamsToJSON(Params(), NembraSentParamTypes())));
    if (prepared)
        request->SetParam(NembraParam::KeepPrepared, Variant("True"));
    request->Execute();
    TakeExecuteReply(*request);
}

// ===========================================================================
// TNembraTable

TNembraTable::TNembraTable(TComponent* owner) : TNembraQuery(owner)
{
    SetServerUpdate(true);
}

std::string TNembraTable::GetSQLText()
{
    std::string sql = TNembraQuery::GetSQLText();
    if (Trim(sql).empty() && !TableName().empty()) {
        TNembraDatabase* database = GetDatabase();
        sql = "select * from " + FormatIdentifier(TableName(), database ? database->QuoteChars() : std::string());
    }
    return sql;
}

std::unique_ptr<TNembraRequest> TNembraTable::GetFetchRequest(int count)
{
    if (TableName().empty())
        throw Exception(STableNotAssigned);
    return TNembraQuery::GetFetchRequest(count);
}
