#pragma once
// `TfrmSchemaEditor`: the "Advanced Filter" dialog of a query statement
// (`TSQLQuerySchema`). The user collects conditions into OR-groups of AND-ed
// conditions and picks sort fields, sees the statement they make, and applies
// it to the query, which opens again.
//
// The rules live in `TSchemaEditorLists` (no widgets): the condition list
// (field, relation, value, group number, case flag "Y"/"N"), the sort list
// (field, order text, case flag) and the group counter, and the statement
// they make:
//   filter: " ( " before the first group and " ) OR ( " between groups; a
//           condition that starts its group is " (" expression ") ", every
//           other one " AND (" expression ") "; " )" after the last;
//   sort:   the order-by expressions joined by ",".
// A condition that opens a new group (the OR box, or the first condition)
// takes the next group number; any other joins the group of the focused row
// (the last row when none is focused) and is placed after that group's last
// row, so that the statement groups it with its group. A condition that
// makes no expression (a value the field cannot take) is refused before it
// joins the list.
//
// The unit installs itself as the schema's OnExecuteQueryBuilder when its
// library initialises: a schema's Execute (a query's ExecFilter) then shows
// the schema's dialog, made on first use and kept by the schema (its lists as
// the user left them) until the schema goes or its filter is reset.
//
// "&Apply" closes the dialog with OK once the filter runs on the query; when
// it fails the error is shown in the standard error box and the dialog stays
// open. Qt handlers are boundaries: an error of the system's code is shown
// the same way and goes no further.

#include "Components/Nembra/SQLQuerySchema.h"
#include "platform/DBTypes.h"
#include "platform/Forms.h"

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

struct TSchemaFilterRow
{
    std::string Field;
    std::string Relation;
    std::string Value;
    int Group = 0;
    std::string CaseFlag; // "Y" or "N"
    bool operator==(const TSchemaFilterRow&) const = default;
};

struct TSchemaSortRow
{
    std::string Field;
    std::string Order; // "Ascending" or "Descending"
    std::string CaseFlag;
    bool operator==(const TSchemaSortRow&) const = default;
};

// The relations offered, the first chosen at the start.
extern const std::vector<std::string> SchemaRelations;
// The sort orders offered, the first chosen at the start.
extern const std::vector<std::string> SchemaSortOrders;

class TSchemaEditorLists
{
  public:
    // The statement is made through `work` (the dialog's working copy).
    explicit TSchemaEditorLists(TSQLQuerySchema& work) : m_work(work) {}

    const std::vector<TSchemaFilterRow>& Conditions() const { return m_conditions; }
    const std::vector<TSchemaSortRow>& SortRows() const { return m_sortRows; }
    int GroupCounter() const { return m_groupCounter; }

    // Adds a condition on `field` (of `type`) and answers its index.
    // `focused` is the focused row, -1 for none. Raises "Invalid relationship
    // operator for given field type and value.\n\rFields other than strings,
    // may only use \"<>\" or \"=\" if the value is NULL (empty)." and "\"Like\"
    // relationship operator only works with string fields.", or the schema's
    // error when the condition makes no expression.
    int AddCondition(const std::string& field, TFieldType type, const std::string& relation, const std::string& value,
                     bool newGroup, bool caseSensitive, int focused);
    // Removes and answers the row; an emptied list sets the counter back to 0.
    TSchemaFilterRow RemoveCondition(int index);
    int AddSort(const std::string& field, const std::string& order, bool caseSensitive);
    TSchemaSortRow RemoveSort(int index);
    // Empties both lists.
    void Clear();

    std::string BuildFilter() const;
    std::string BuildSort() const;
    // Gives the working copy the filter and the sort; answers its statement.
    std::string BuildSQL();

  private:
    TSQLQuerySchema& m_work;
    std::vector<TSchemaFilterRow> m_conditions;
    std::vector<TSchemaSortRow> m_sortRows;
    int m_groupCounter = 0;
};

// Whether a typed character may go into the value of a field of `type`:
// integers take digits and signs, floats also the point and an exponent,
// decimals the point; other types take any character.
bool IsValidFilterChar(TFieldType type, char32_t ch);

class TfrmSchemaEditor : public TDialogForm
{
  public:
    // A dialog for `schema` (which must outlive it) with `fieldName` preset.
    TfrmSchemaEditor(QWidget* owner, const std::string& fieldName, TSQLQuerySchema* schema);
    ~TfrmSchemaEditor() override;
    std::string ClassName() const override { return "TfrmSchemaEditor"; }

    // Shows the schema's dialog modally, made (and kept by the schema) on first use.
    static void DoExecuteQueryBuilder(TSQLQuerySchema* schema, const std::string& fieldName);

    // Closing with OK: the query is closed, takes the working filter and sort,
    // and opens. When that fails the schema is restored, the query opened
    // again, and "Could not execute defined filter.\n\rTry to regroup or remove
    // filter and/or sort conditions.\n\rError:\n\r" and the error is raised.
    void ApplyToQuery();

    TSchemaEditorLists& Lists() { return m_lists; }
    TSQLQuerySchema& WorkSchema() { return m_work; }
    // Times a key or a button was refused with a beep.
    int Beeps() const { return m_beeps; }

    // --- The controls
    QComboBox* FieldList() const { return m_field; }
    QComboBox* RelationList() const { return m_relation; }
    QLineEdit* ValueEdit() const { return m_value; }
    QCheckBox* NewGroupBox() const { return m_newGroup; }
    QCheckBox* CaseBox() const { return m_case; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* RemoveButton() const { return m_remove; }
    QTreeWidget* ConditionList() const { return m_conditions; }
    QComboBox* SortFieldList() const { return m_sortField; }
    QComboBox* OrderList() const { return m_order; }
    QCheckBox* SortCaseBox() const { return m_sortCase; }
    QPushButton* SortAddButton() const { return m_sortAdd; }
    QPushButton* SortRemoveButton() const { return m_sortRemove; }
    QTreeWidget* SortList() const { return m_sortList; }
    QPushButton* ApplyButton() const { return m_apply; }
    QPushButton* ClearButton() const { return m_clear; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* SQLButton() const { return m_sqlButton; }
    QPlainTextEdit* SQLText() const { return m_sqlText; }
    // True while the statement is shown instead of the criteria.
    bool SQLShown() const;

  protected:
    // Closing with OK applies the filter (ApplyToQuery); an error keeps the dialog open.
    void CloseQuery(bool& CanClose) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void FillFieldLists();
    void FieldChanged();
    void AddConditionClick();
    void RemoveConditionClick();
    void AddSortClick();
    void RemoveSortClick();
    void ClearClick();
    // Fill the lists from the rules, with the row `focused` (-1: none) focused.
    void ShowConditions(int focused);
    void ShowSortRows(int focused);
    void BuildSQL();
    void Beep();
    // Runs a handler at the Qt boundary: errors are shown, never passed on.
    template <class Fn> void Guarded(const char* where, Fn&& handler);

    TSQLQuerySchema* m_schema;
    TSQLQuerySchema m_work;
    std::string m_presetField;
    TSchemaEditorLists m_lists{m_work};
    bool m_fieldsFilled = false;
    int m_beeps = 0;

    QStackedWidget* m_pages = nullptr;
    QComboBox* m_field = nullptr;
    QComboBox* m_relation = nullptr;
    QLineEdit* m_value = nullptr;
    QCheckBox* m_newGroup = nullptr;
    QCheckBox* m_case = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QTreeWidget* m_conditions = nullptr;
    QComboBox* m_sortField = nullptr;
    QComboBox* m_order = nullptr;
    QCheckBox* m_sortCase = nullptr;
    QPushButton* m_sortAdd = nullptr;
    QPushButton* m_sortRemove = nullptr;
    QTreeWidget* m_sortList = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_sqlButton = nullptr;
    QPlainTextEdit* m_sqlText = nullptr;
};
