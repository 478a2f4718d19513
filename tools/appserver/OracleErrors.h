#pragma once
// SQLite's errors in the form the suite's database server gives them, so the
// client meets the codes it reacts to:
//
//   unique or primary key            ORA-00001: unique constraint (<schema>.<table>.<columns>) violated
//   delete of a referenced row       ORA-02292: integrity constraint (<schema>.FK) violated - child record found
//   insert/update without parent     ORA-02291: integrity constraint (<schema>.FK) violated - parent key not found
//   NULL into a NOT NULL column      ORA-01400: cannot insert NULL into ("<schema>"."<table>"."<column>")
//                                    ORA-01407: cannot update ("<schema>"."<table>"."<column>") to NULL
//   check constraint                 ORA-02290: check constraint (<schema>.<name>) violated
//   unknown table                    ORA-00942: table or view does not exist
//   unknown column or function       ORA-00904: "<name>": invalid identifier
//   a change through a view          ORA-01732: data manipulation operation not legal on this view
//   syntax                           ORA-00900: invalid SQL statement (<SQLite's words>)
//   anything else                    ORA-00604: error occurred at recursive SQL level 1 (<SQLite's words>)
// An error text that already is an Oracle one (from RAISE_APPLICATION_ERROR,
// TO_DATE and the other functions of SqlFunctions.h) passes unchanged.

#include <string>

struct sqlite3;

// The statement kinds that tell the two foreign key and NOT NULL errors apart.
enum TSqlStatementKind
{
    skSelect,
    skInsert,
    skUpdate,
    skDelete,
    skOther
};

TSqlStatementKind StatementKind(const std::string& sql);

// The Oracle text for the connection's last error; `schema` names the
// database in constraint names (the alias).
std::string OracleErrorText(sqlite3* db, TSqlStatementKind kind, const std::string& schema);
