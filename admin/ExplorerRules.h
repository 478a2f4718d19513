#pragma once
// The rules of the database explorer (`TfrmExplorerMain`) without widgets:
// the tree's node data `TDBObject`, which folder asks the server for what,
// which pages a selected node shows, the states of the explorer's actions,
// the "Definition" lines with the password hidden and the rows of
// "Structure". The window only wires its tree, pages and actions to them.

#include "admin/ConsoleRules.h"
#include "platform/Collection.h"
#include "platform/SysUtils.h"
#include "platform/TypInfo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TComponent;
class TDataSet;
class TNembraConnection;
class TNembraDatabase;
class TStrings;

// The node kinds; each is also the node's image index.
enum TDBObjectKind : uint8_t
{
    dokConnection = 2,
    dokDatabase = 4,
    dokTables = 5,
    dokStoredProcs = 8,
    dokTable = 9,
    dokStoredProc = 12,
    dokPlugins = 14,
    dokPlugin = 15,
    dokPluginProc = 16
};

// Raised for a tree node that carries no object.
inline constexpr const char* SInvalidDatabaseObject = "Invalid database object";
// "New SQL console" without a database to put it on.
inline constexpr const char* SSelectDatabase = "Please select a database";
// What "Definition" shows in place of the password.
inline constexpr const char* SHiddenPassword = "*********";

// The data of one tree node: its kind and the object behind it, a
// connection (kinds 2, 14, 15, 16) or a database (kinds 4, 5, 8, 9, 12).
// The node owns it; the object is the registry's, never the node's.
class TDBObject
{
  public:
    TDBObject(TDBObjectKind Kind, TComponent* Object) : m_kind(Kind), m_object(Object) {}
    TDBObjectKind Kind() const { return m_kind; }
    TComponent* Object() const { return m_object; }
    // The object as a connection or database; null for the other family.
    TNembraConnection* Connection() const;
    TNembraDatabase* Database() const;
    // Forgets the object (it was destroyed while the node stayed).
    void ClearObject() { m_object = nullptr; }

  private:
    TDBObjectKind m_kind;
    TComponent* m_object;
};

// The node's data, or EDatabaseError "Invalid database object" for none.
const TDBObject& CheckDBObject(const TDBObject* Data);

// How a folder is filled: GetObjectNames (ObjectName, ObjectType) of the
// folder's object; the names become nodes of ChildKind.
struct TExplorerFolder
{
    bool NameFromCaption = false; // ObjectName is the folder node's caption
    std::string ObjectType;
    TDBObjectKind ChildKind;
};

// Kinds 5, 8, 14 and 15; nothing for the others.
std::optional<TExplorerFolder> ExplorerFolder(TDBObjectKind Kind);
// Whether a node of the kind has children the server is asked for.
bool IsExplorerFolder(TDBObjectKind Kind);

// The names that become nodes: each that is not blank once trimmed, as
// received, in order.
std::vector<std::string> ExplorerChildNames(const TStrings& Names);

// The "Definition" lines: Params as they are, with the value of USER_PWD
// (name compared without regard to case) replaced by "*********". Params
// itself is not touched.
void DefinitionLines(const TStrings& Params, TStrings& Lines);

// The pages shown for a selected node.
enum TExplorerPage
{
    epNone,
    epDefinition,
    epStructure,
    epData,
    epPluginConsole,
    epStoredProcConsole,
    epOther // a console page
};

struct TExplorerPages
{
    bool Definition = false;
    bool Data = false;
    bool Structure = false;
    // The page to make active; epNone keeps the active one.
    TExplorerPage Activate = epNone;
    bool operator==(const TExplorerPages&) const = default;
};

// Which pages show after selecting a node of Kind while Active is the
// active page. "Data" shows for a table only when it opened; "Structure"
// only when it has rows.
TExplorerPages ExplorerPagesFor(TDBObjectKind Kind, TExplorerPage Active, bool TableOpened,
                                int StructureRows);

// What the action states depend on: the database of the selected node,
// else of the current SQL console, and the current console.
struct TExplorerActionInput
{
    bool HasDatabase = false;
    bool InTransaction = false;
    TConsoleActionInputs Console;
};

// The transaction actions and "New SQL console" by the database; the
// console actions by the console's own rules (ConsoleActionStates).
struct TExplorerActionStates
{
    bool StartTransaction = false;
    bool CommitTransaction = false;
    bool RollbackTransaction = false;
    bool NewConsole = false;
    TConsoleActionStates Console;
};

TExplorerActionStates ExplorerActionStates(const TExplorerActionInput& Input);

// One row of "Structure": a field of the open dataset. Published, so that
// the collection view's columns "Name", "Type", "Size" and "Required" read
// it by name.
class TStructureItem : public TCollectionItem, public IPublished
{
  public:
    std::string ClassName() const override { return "TStructureItem"; }
    const TPropList& PublishedProps() const override;

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& Value) { m_name = Value; }
    // The data-access library's name of the field type.
    const std::string& Type() const { return m_type; }
    void SetType(const std::string& Value) { m_type = Value; }
    int Size() const { return m_size; }
    void SetSize(int Value) { m_size = Value; }
    bool Required() const { return m_required; }
    void SetRequired(bool Value) { m_required = Value; }

  private:
    std::string m_name;
    std::string m_type;
    int m_size = 0;
    bool m_required = false;
};

class TStructureItems : public TCollection
{
  public:
    TStructureItems();
    std::string ClassName() const override { return "TStructureItems"; }
    TStructureItem* Items(int Index) const { return static_cast<TStructureItem*>(TCollection::Items(Index)); }
};

// Fills Items with one row per field of DataSet; none when DataSet is null
// or closed.
void ListStructure(TDataSet* DataSet, TStructureItems& Items);

// Cuts the display width of every field of DataSet above 20 to 20.
void CutDisplayWidths(TDataSet& DataSet);
