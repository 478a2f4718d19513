#pragma once
// `TNembraStoredProc`: the rows and output parameters of a stored procedure
// of the server. Part of the unit NembraDBDataSets; include
// "Components/Nembra/NembraDBDataSets.h".

#include "Components/Nembra/NembraDBDataSet.h"

class TNembraStoredProc : public TNembraDBDataSet
{
  public:
    explicit TNembraStoredProc(TComponent* owner = nullptr);
    ~TNembraStoredProc() override;
    std::string ClassName() const override { return "TNembraStoredProc"; }

    const std::string& ProcedureName() const { return m_procedureName; }
    // Requires the dataset closed; Params are loaded again from the server
    // unless the form loads or no database is bound.
    void SetProcedureName(const std::string& value);

    // Nembra.StoredProcFetch with StoredProcName ("Procedure name is not
    // assigned" without one) and Params on the first page.
    std::unique_ptr<TNembraRequest> GetFetchRequest(int count) override;
    // Nembra.StoredProcExecute; the output parameters come back.
    void InternalExecute(bool prepared) override;
    // Params from the procedure's declaration on the server.
    void UpdateParams() override;

  private:
    std::string m_procedureName;
};
