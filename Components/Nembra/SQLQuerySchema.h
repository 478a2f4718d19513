#pragma once
// `TSQLQuerySchema`: the parts of a query statement that a form stores
// (Select, From, Where, OrderBy, Other) plus the filter and sort a user adds
// at run time, and the conditions and sort terms of that filter written in
// the server's (Oracle) dialect. A remote query (TNembraQuery) owns one and
// builds its statement from it when it does not send SQL text as it is.
//
// Statement (GetSQL, empty while neither From nor Other holds text), each
// clause trimmed and left out when empty, every line ended by CR LF:
//   SELECT <Select, or * >  FROM <From>  WHERE <filter>  ORDER BY <sort>  <Other>
// The filter is " (" Where ") AND (" UserFilter ") " when both exist, else the
// one that does; the sort is UserSort when it is not empty, else OrderBy.
//
// Changes: every change of a clause, and of UserFilter or UserSort to a
// different value, fires OnChange, once at the end of an outermost
// BeginUpdate/EndUpdate pair.
//
// Filter values typed by the user: texts are quoted (quotes doubled), dates
// are read in the user's date format and written as TO_DATE texts, and a
// numeric field's value must be a number (a point as decimal separator,
// whatever the locale), written back with a point: the value is part of the
// statement, so nothing else may pass; a value of any other type (Boolean)
// goes in as typed, and so must be one word. "like" and "not like" values
// are texts and are quoted like texts.

#include "platform/Persistent.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"

#include <functional>
#include <memory>
#include <string>

class TDataSet;
class TSQLQuerySchema;

// Shows the advanced filter dialog for a schema, the field preset.
using TExecuteQueryBuilderEvent = void (*)(TSQLQuerySchema* schema, const std::string& fieldName);
// Set by the dialog's unit when its library initialises; without it Execute
// does nothing. A plain routine, so that it holds its value from the start,
// before any unit's initialisation sets it.
extern TExecuteQueryBuilderEvent OnExecuteQueryBuilder;

class TSQLQuerySchema : public TPersistent
{
  public:
    explicit TSQLQuerySchema(TDataSet* dataSet = nullptr);
    ~TSQLQuerySchema() override;
    std::string ClassName() const override { return "TSQLQuerySchema"; }

    // --- Stored clauses
    TStrings& Select() { return m_select; }
    TStrings& From() { return m_from; }
    TStrings& Where() { return m_where; }
    TStrings& OrderBy() { return m_orderBy; }
    TStrings& Other() { return m_other; }
    const TStrings& Select() const { return m_select; }
    const TStrings& From() const { return m_from; }
    const TStrings& Where() const { return m_where; }
    const TStrings& OrderBy() const { return m_orderBy; }
    const TStrings& Other() const { return m_other; }

    // --- Run time
    TDataSet* DataSet() const { return m_dataSet; }
    const std::string& UserFilter() const { return m_userFilter; }
    void SetUserFilter(const std::string& value);
    const std::string& UserSort() const { return m_userSort; }
    void SetUserSort(const std::string& value);
    // The user filter came from a simple filter, not from the dialog.
    bool SimpleFiltered() const { return m_simpleFiltered; }
    // The dialog, kept between invocations (owned).
    TObject* QueryBuilder() const { return m_queryBuilder.get(); }
    // Takes obj, destroying the one held before when it is another.
    void SetQueryBuilder(std::unique_ptr<TObject> obj);
    // The owning query's hook (it re-derives its parameters).
    TNotifyEvent OnChange;

    // --- Operations
    // Another schema: the five clauses, UserFilter, UserSort and
    // SimpleFiltered inside one update; other classes go to the base.
    void Assign(const TPersistent& source) override;
    // Null clears.
    void Assign(const TPersistent* source);
    // Empties the clauses, UserFilter and UserSort inside one update.
    void Clear();
    // From or Other holds non-blank text.
    bool Defined() const;
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdating() const { return m_updateCount > 0; }

    virtual void ApplyFilter(const std::string& filter, const std::string& sort);
    // When filter or sort differ from what is in force, closes the dataset
    // and applies them; marks the filter simple; opens the dataset when
    // reopen is set or it was open before.
    virtual void ApplySimpleFilterExt(const std::string& filter, const std::string& sort, bool reopen);
    virtual void ApplySimpleFilter(const std::string& filter, const std::string& sort);
    virtual std::string GetSQL();
    void ClearSimpleFilter();
    std::string GetFilter() const;
    std::string GetSort() const;
    bool IsFiltered() const;
    bool IsSimpleFiltered() const;

    // Shows the advanced filter dialog through OnExecuteQueryBuilder.
    void Execute(const std::string& fieldName);
    // Drops the dialog and clears the simple filter.
    void ResetFilter();

    std::string GetOriginalField(const std::string& fieldName) const { return fieldName; }
    // The Origin of the dataset's field of that name when it has one.
    std::string OriginateField(const std::string& fieldName) const;
    // A condition on a field: "column relation value" (see the header).
    // An empty value tests for NULL ("COL  IS  NULL", "COL  IS NOT  NULL").
    // A field the dataset does not have raises the field-not-found error; a
    // numeric value that is not a number raises EConvertError.
    std::string CreateFilterExpression(const std::string& fieldName, const std::string& relation,
                                       const std::string& value, bool caseSensitive) const;
    // "column ASC" / "column DESC", texts in UPPER unless case-sensitive.
    std::string CreateOrderByExpression(const std::string& fieldName, bool descending, bool caseSensitive) const;

  private:
    void Changed();

    TDataSet* m_dataSet;
    TStringList m_select;
    TStringList m_from;
    TStringList m_where;
    TStringList m_orderBy;
    TStringList m_other;
    std::string m_userFilter;
    std::string m_userSort;
    bool m_simpleFiltered = false;
    std::unique_ptr<TObject> m_queryBuilder;
    int m_updateCount = 0;
    bool m_changedInUpdate = false;
};
