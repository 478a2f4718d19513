#pragma once
// `TNembraQuery` (a statement's rows) and `TNembraTable` (a table's rows,
// editable by default). Part of the unit NembraDBDataSets; include
// "Components/Nembra/NembraDBDataSets.h".
//
// A query sends its SQL text as it is (UseSQL) or the statement its schema
// builds (SQLSchema, with the user's filter and sort). A change of the text
// in use re-derives Params from the ":Name" references of the text, keeping
// the values of parameters that stay (not while the form loads).

#include "Components/Nembra/NembraDBDataSet.h"
#include "Components/Nembra/SQLQuerySchema.h"

#include "platform/StringList.h"

class TNembraQuery : public TNembraDBDataSet
{
  public:
    explicit TNembraQuery(TComponent* owner = nullptr);
    ~TNembraQuery() override;
    std::string ClassName() const override { return "TNembraQuery"; }

    bool UseSQL() const { return m_useSQL; }
    void SetUseSQL(bool value);
    TStrings& SQL() { return m_sql; }
    void SetSQL(const TStrings& value) { m_sql.Assign(value); }
    TSQLQuerySchema& SQLSchema() { return m_schema; }
    void SetSQLSchema(const TSQLQuerySchema& value) { m_schema.Assign(value); }

    // The SQL text when UseSQL, else the schema's statement.
    virtual std::string GetSQLText();

    // The advanced filter dialog on the schema, with the field preset.
    void ExecFilter(const std::string& name) { m_schema.Execute(name); }
    bool IsFiltered() const { return m_schema.IsFiltered(); }
    bool IsSimpleFiltered() const { return m_schema.IsSimpleFiltered(); }

    // Nembra.QueryFetch; the first page carries the trimmed statement ("SQL
    // query is empty" without one) and Params, every page "Secret".
    std::unique_ptr<TNembraRequest> GetFetchRequest(int count) override;
    // Nembra.QueryExecute of the statement; the dataset must be closed.
    void InternalExecute(bool prepared) override;
    // Params from the ":Name" references of the statement.
    void UpdateParams() override;

  private:
    void TextChanged(bool fromSchema);

    bool m_useSQL = false;
    TStringList m_sql;
    TSQLQuerySchema m_schema;
};

class TNembraTable : public TNembraQuery
{
  public:
    explicit TNembraTable(TComponent* owner = nullptr);
    std::string ClassName() const override { return "TNembraTable"; }

    // The query's text, or "select * from " and the table when that is empty.
    std::string GetSQLText() override;
    // "Table name is not assigned" without a TableName.
    std::unique_ptr<TNembraRequest> GetFetchRequest(int count) override;
};
