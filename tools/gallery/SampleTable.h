#pragma once
// A local table standing in for the server's rows in the samples of the
// administration forms.

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DataSource.h"

#include <string>
#include <utility>
#include <variant>
#include <vector>

using TCell = std::variant<int, std::string>;

struct TSampleTable
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    TSampleTable(const std::vector<std::pair<std::string, TKldDataType>>& Columns,
                 const std::vector<std::vector<TCell>>& Rows)
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Rows");
        for (const auto& [name, type] : Columns)
            t->Columns().AddColumn(name, type, type == cdtString ? 60 : 0);
        t->BeginUpdate();
        for (const auto& cells : Rows) {
            TKldDataRow* row = t->New();
            for (size_t i = 0; i < cells.size(); ++i) {
                if (const int* n = std::get_if<int>(&cells[i]))
                    row->SetAsVariant(Columns[i].first, *n);
                else
                    row->SetAsVariant(Columns[i].first, std::get<std::string>(cells[i]));
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
