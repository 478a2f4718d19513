#pragma once
// A local table standing in for the server's rows in the samples of the
// administration forms, with the text sizes the server declares.

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DataSource.h"

#include <string>
#include <utility>
#include <variant>
#include <vector>

using TCell = std::variant<int, std::string>;

// A column of the sample: a text's Size is the length the server declares
// for it (grids show a text column that many characters wide).
struct TSampleColumn
{
    std::string Name;
    TKldDataType Type;
    int Size = 0;
};

struct TSampleTable
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    TSampleTable(const std::vector<TSampleColumn>& Columns, const std::vector<std::vector<TCell>>& Rows)
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Rows");
        for (const TSampleColumn& column : Columns)
            t->Columns().AddColumn(column.Name, column.Type, column.Type == cdtString ? column.Size : 0);
        t->BeginUpdate();
        for (const auto& cells : Rows) {
            TKldDataRow* row = t->New();
            for (size_t i = 0; i < cells.size(); ++i) {
                if (const int* n = std::get_if<int>(&cells[i]))
                    row->SetAsVariant(Columns[i].Name, *n);
                else
                    row->SetAsVariant(Columns[i].Name, std::get<std::string>(cells[i]));
            }
            t->Insert(row);
        }
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Rows");
        Ds.Open();
        Source.SetDataSet(&Ds);
    }
};
