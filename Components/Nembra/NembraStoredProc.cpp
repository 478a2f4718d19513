#include "Components/Nembra/NembraStoredProc.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraProcedures.h"

namespace {

constexpr const char* SProcedureNotAssigned = "Procedure name is not assigned";

} // namespace

TNembraStoredProc::TNembraStoredProc(TComponent* owner) : TNembraDBDataSet(owner) {}

TNembraStoredProc::~TNembraStoredProc()
{
    Close();
}

void TNembraStoredProc::SetProcedureName(const std::string& value)
{
    if (value == m_procedureName)
        return;
    CheckInactive();
    m_procedureName = value;
    if (!IsLoading() && GetDatabase())
        UpdateParams();
}

void TNembraStoredProc::UpdateParams()
{
    CheckDatabaseActive();
    GetDatabase()->GetProcedureParams(m_procedureName, Params());
}

std::unique_ptr<TNembraRequest> TNembraStoredProc::GetFetchRequest(int count)
{
    if (m_procedureName.empty())
        throw Exception(SProcedureNotAssigned);
    std::unique_ptr<TNembraRequest> request = TNembraDBDataSet::GetFetchRequest(count);
    request->SetProcedureName(NembraProcedure::StoredProcFetch);
    request->SetParam(NembraParam::StoredProcName, Variant(m_procedureName));
    if (Handle().empty())
        request->SetParam(NembraParam::Params, Variant(ParamsToJSON(Params(), NembraSentParamTypes())));
    return request;
}

void TNembraStoredProc::InternalExecute(bool prepared)
{
    std::unique_ptr<TNembraRequest> request = GetExecuteRequest();
    request->SetProcedureName(NembraProcedure::StoredProcExecute);
    request->SetParam(NembraParam::StoredProcName, Variant(m_procedureName));
    request->SetParam(NembraParam::Params, Variant(ParamsToJSON(Params(), NembraSentParamTypes())));
    if (prepared)
        request->SetParam(NembraParam::KeepPrepared, Variant("True"));
    request->Execute();
    TakeExecuteReply(*request);
}
