#include "admin/ExplorerRules.h"

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraDatabase.h"
#include "platform/DBTypes.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/StringList.h"

TNembraConnection* TDBObject::Connection() const
{
    return dynamic_cast<TNembraConnection*>(m_object);
}

TNembraDatabase* TDBObject::Database() const
{
    return dynamic_cast<TNembraDatabase*>(m_object);
}

const TDBObject& CheckDBObject(const TDBObject* Data)
{
    if (!Data)
        DatabaseError(SInvalidDatabaseObject);
    return *Data;
}

std::optional<TExplorerFolder> ExplorerFolder(TDBObjectKind Kind)
{
    switch (Kind) {
    case dokTables:
        return TExplorerFolder{false, "table", dokTable};
    case dokStoredProcs:
        return TExplorerFolder{false, "storedproc", dokStoredProc};
    case dokPlugins:
        return TExplorerFolder{false, "plugin", dokPlugin};
    case dokPlugin:
        return TExplorerFolder{true, "pluginproc", dokPluginProc};
    default:
        return std::nullopt;
    }
}

bool IsExplorerFolder(TDBObjectKind Kind)
{
    return ExplorerFolder(Kind).has_value();
}

std::vector<std::string> ExplorerChildNames(const TStrings& Names)
{
    std::vector<std::string> names;
    for (int i = 0; i < Names.Count(); ++i)
        if (!Trim(Names.Strings(i)).empty())
            names.push_back(Names.Strings(i));
    return names;
}

void DefinitionLines(const TStrings& Params, TStrings& Lines)
{
    Lines.Assign(Params);
    for (int i = 0; i < Lines.Count(); ++i)
        if (SameText(Trim(Lines.Names(i)), "USER_PWD"))
            Lines.SetValueFromIndex(i, SHiddenPassword);
}

TExplorerPages ExplorerPagesFor(TDBObjectKind Kind, TExplorerPage Active, bool TableOpened, int StructureRows)
{
    TExplorerPages pages;
    const bool table = Kind == dokTable;
    pages.Data = table && TableOpened;
    pages.Structure = table && StructureRows > 0;
    pages.Definition = Kind == dokConnection || Kind == dokDatabase;
    if (table && pages.Data && Active != epData && Active != epStructure)
        pages.Activate = epData;
    if (pages.Definition)
        pages.Activate = epDefinition;
    if (Kind == dokPluginProc)
        pages.Activate = epPluginConsole;
    if (Kind == dokStoredProc)
        pages.Activate = epStoredProcConsole;
    return pages;
}

TExplorerActionStates ExplorerActionStates(const TExplorerActionInput& Input)
{
    TExplorerActionStates s;
    s.StartTransaction = Input.HasDatabase && !Input.InTransaction;
    s.CommitTransaction = Input.HasDatabase && Input.InTransaction;
    s.RollbackTransaction = s.CommitTransaction;
    s.NewConsole = Input.HasDatabase;
    s.Console = ConsoleActionStates(Input.Console);
    return s;
}

const TPropList& TStructureItem::PublishedProps() const
{
    static const TPropList props = [] {
        TPropList list;
        TPropDeclarer<TStructureItem>(list)
            .String("Name", &TStructureItem::Name, &TStructureItem::SetName)
            .String("Type", &TStructureItem::Type, &TStructureItem::SetType)
            .Integer("Size", &TStructureItem::Size, &TStructureItem::SetSize)
            .Boolean("Required", &TStructureItem::Required, &TStructureItem::SetRequired);
        return list;
    }();
    return props;
}

TStructureItems::TStructureItems() : TCollection(CollectionItemClass<TStructureItem>()) {}

void ListStructure(TDataSet* DataSet, TStructureItems& Items)
{
    Items.BeginUpdate();
    Items.Clear();
    if (DataSet && DataSet->Active()) {
        const TFields& fields = DataSet->Fields();
        for (int i = 0; i < fields.Count(); ++i) {
            TField* field = fields.Fields(i);
            auto* item = static_cast<TStructureItem*>(Items.Add());
            item->SetName(field->FieldName());
            item->SetType(FieldTypeName(field->DataType()));
            item->SetSize(field->DataSize());
            item->SetRequired(field->Required());
        }
    }
    Items.EndUpdate();
}

void CutDisplayWidths(TDataSet& DataSet)
{
    const TFields& fields = DataSet.Fields();
    for (int i = 0; i < fields.Count(); ++i)
        if (fields.Fields(i)->DisplayWidth() > 20)
            fields.Fields(i)->SetDisplayWidth(20);
}
