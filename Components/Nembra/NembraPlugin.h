#pragma once
// `TNembraPlugin`: the rows and results of a procedure of a server plug-in
// (PluginName, ProcedureName). Part of the unit NembraDBDataSets; include
// "Components/Nembra/NembraDBDataSets.h".
//
// A plug-in dataset needs no database: it names its connection itself (or
// takes the bound database's) and sends no DBHandle without one. Its edits go
// to the plug-in as Nembra.PluginDataChanged calls with the old and new
// values of the row, unless it has a TableName, when it edits like any
// remote dataset.

#include "Components/Nembra/NembraDBDataSet.h"

class TNembraPlugin : public TNembraDBDataSet
{
  public:
    explicit TNembraPlugin(TComponent* owner = nullptr);
    ~TNembraPlugin() override;
    std::string ClassName() const override { return "TNembraPlugin"; }

    // Changing either requires the dataset closed; at design time, with both
    // set, Params are loaded from the server.
    const std::string& PluginName() const { return m_pluginName; }
    void SetPluginName(const std::string& value);
    const std::string& ProcedureName() const { return m_procedureName; }
    void SetProcedureName(const std::string& value);
    // The text of the last reply's "Warning".
    const std::string& Warning() const { return m_warning; }

    // The bound database's connection name (remembered), else the own one.
    std::string GetConnectionName() override;
    // A different name requires the dataset closed, clears DatabaseName and
    // lets the connection go.
    void SetConnectionName(const std::string& value) override;
    // Nembra.PluginFetch with PluginName and ProcedureName, Params on the first page.
    std::unique_ptr<TNembraRequest> GetFetchRequest(int count) override;
    // Nembra.PluginDataChanged (without a TableName).
    void ExecuteCRUDOperation(TKldDataRow* row, TNembraDataChangeType changeType,
                              const TNembraSQLGenerator& generator) override;
    // Nembra.PluginExecute; outputs and the warning come back.
    void InternalExecute(bool prepared) override;
    // Nembra.PluginGetParams.
    void UpdateParams() override;
    bool IsDatabaseRequired() override { return false; }

  private:
    void RequireNames() const;

    std::string m_pluginName;
    std::string m_procedureName;
    std::string m_connectionName;
    std::string m_warning;
};
