#include "Components/Nembra/NembraPlugin.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraProcedures.h"

#include <algorithm>

namespace {

constexpr const char* SPluginNotAssigned = "Plugin name is not assigned";
constexpr const char* SProcedureNotAssigned = "Procedure name is not assigned";
constexpr const char* SFieldNotFound = "Field not found: %s";

} // namespace

TNembraPlugin::TNembraPlugin(TComponent* owner) : TNembraDBDataSet(owner) {}

TNembraPlugin::~TNembraPlugin()
{
    Close();
}

void TNembraPlugin::SetPluginName(const std::string& value)
{
    if (value == m_pluginName)
        return;
    CheckInactive();
    m_pluginName = value;
    if (ComponentState().Contains(csDesigning) && !m_pluginName.empty() && !m_procedureName.empty())
        UpdateParams();
}

void TNembraPlugin::SetProcedureName(const std::string& value)
{
    if (value == m_procedureName)
        return;
    CheckInactive();
    m_procedureName = value;
    if (ComponentState().Contains(csDesigning) && !m_pluginName.empty() && !m_procedureName.empty())
        UpdateParams();
}

std::string TNembraPlugin::GetConnectionName()
{
    if (TNembraDatabase* database = GetDatabase())
        m_connectionName = database->ConnectionName();
    return m_connectionName;
}

void TNembraPlugin::SetConnectionName(const std::string& value)
{
    if (value == m_connectionName)
        return;
    CheckInactive();
    m_connectionName = value;
    SetDatabaseName("");
    SetDatabase(nullptr);
    // Also the connection bound by the old name when no database was bound.
    BindConnection(nullptr);
}

void TNembraPlugin::RequireNames() const
{
    if (m_pluginName.empty())
        throw Exception(SPluginNotAssigned);
    if (m_procedureName.empty())
        throw Exception(SProcedureNotAssigned);
}

std::unique_ptr<TNembraRequest> TNembraPlugin::GetFetchRequest(int count)
{
    RequireNames();
    std::unique_ptr<TNembraRequest> request = TNembraDBDataSet::GetFetchRequest(count);
    request->SetProcedureName(NembraProcedure::PluginFetch);
    request->SetParam(NembraParam::PluginName, Variant(m_pluginName));
    request->SetParam(NembraParam::ProcedureName, Variant(m_procedureName));
    if (Handle().empty())
        request->SetParam(NembraParam::Params, Variant(ParamsToJSON(Params(), NembraSentParamTypes())));
    return request;
}

void TNembraPlugin::InternalExecute(bool prepared)
{
    std::unique_ptr<TNembraRequest> request = GetExecuteRequest();
    request->SetProcedureName(NembraProcedure::PluginExecute);
    request->SetParam(NembraParam::PluginName, Variant(m_pluginName));
    request->SetParam(NembraParam::ProcedureName, Variant(m_procedureName));
    request->SetParam(NembraParam::Params, Variant(ParamsToJSON(Params(), NembraSentParamTypes())));
    if (prepared)
        request->SetParam(NembraParam::KeepPrepared, Variant("True"));
    request->Execute();
    TakeExecuteReply(*request);
    m_warning = request->GetJSONObject().GetValues(NembraReply::Warning).GetAsString();
}

void TNembraPlugin::UpdateParams()
{
    if (IsLoading())
        return;
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(NembraProcedure::PluginGetParams);
    request->SetShowWaitCursor(false);
    request->SetParam(NembraParam::PluginName, Variant(m_pluginName));
    request->SetParam(NembraParam::ProcedureName, Variant(m_procedureName));
    if (TNembraDatabase* database = GetDatabase())
        request->SetParam(NembraParam::DBHandle, Variant(database->DBHandle()));
    request->SetParam(NembraParam::Handle, Variant(Handle()));
    request->Execute();
    SetRowsAffected(0);
    AddParamsFromJSON(Params(), request->GetJSONObject().GetValues(NembraReply::Params).GetAsObject());
}

void TNembraPlugin::ExecuteCRUDOperation(TKldDataRow* row, TNembraDataChangeType changeType,
                                         const TNembraSQLGenerator& generator)
{
    if (!TableName().empty()) {
        TNembraDBDataSet::ExecuteCRUDOperation(row, changeType, generator);
        return;
    }
    TParams oldValues;
    TParams newValues;
    switch (changeType) {
    case dctInsert:
        GetRowValues(row, FieldDefs(), newValues);
        break;
    case dctUpdate:
        GetRowValues(row->OriginalRow() ? row->OriginalRow() : row, FieldDefs(), oldValues);
        GetRowValues(row, FieldDefs(), newValues);
        break;
    case dctDelete:
        if (KeyFieldName().empty()) {
            GetRowValues(row, FieldDefs(), oldValues);
        } else {
            const TFieldDef* key = FieldDefs().FindDef(KeyFieldName());
            TKldDataColumn* column = key ? row->Table()->Columns().Find(key->Name()) : nullptr;
            if (!column)
                throw Exception(Format(SFieldNotFound, KeyFieldName()));
            oldValues.CreateParam(key->DataType(), key->Name(), ptInput)->SetValue(row->GetValue(column));
        }
        break;
    }
    std::unique_ptr<TNembraRequest> request = GetExecuteRequest();
    request->SetProcedureName(NembraProcedure::PluginDataChanged);
    request->SetParam(NembraParam::ChangeType, Variant(std::to_string(static_cast<int>(changeType))));
    request->SetParam(NembraParam::OldValues, Variant(ParamsToJSON(oldValues, NembraSentParamTypes())));
    request->SetParam(NembraParam::NewValues, Variant(ParamsToJSON(newValues, NembraSentParamTypes())));
    request->Execute();
    TakeReply(*request, true);
    SetRowsAffected(std::max<int64_t>(1, RowsAffected()));
    m_warning = request->GetJSONObject().GetValues(NembraReply::Warning).GetAsString();
}
