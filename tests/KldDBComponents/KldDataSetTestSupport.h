#pragma once
// Shared pieces of the table dataset tests: a people table in a container of
// its own, a remote dataset whose hooks are scripted and counted, and a data
// link that records the notices it hears.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DateUtils.h"

// Table "People": ID Integer (required), NAME String(20), AMOUNT Float, BORN Date.
struct PeopleTable
{
    TKldDataContainer Container;
    TKldDataTable* Table = nullptr;

    explicit PeopleTable(bool keyed = false)
    {
        Table = Container.Tables().Add();
        Table->SetName("People");
        TKldDataColumn* id = Table->Columns().AddColumn("ID", cdtInteger, -1, true);
        if (keyed)
            id->SetPrimaryKey(true);
        Table->Columns().AddColumn("NAME", cdtString, 20);
        Table->Columns().AddColumn("AMOUNT", cdtFloat);
        Table->Columns().AddColumn("BORN", cdtDate);
    }

    // Adds a row as loaded data (no inserted flag).
    TKldDataRow* Add(int id, const Variant& name, double amount = 0, TDateTime born = 0)
    {
        Table->BeginUpdate();
        TKldDataRow* row = Table->New();
        row->SetAsVariant("ID", id);
        row->SetAsVariant("NAME", name);
        row->SetAsVariant("AMOUNT", amount);
        if (born != 0)
            row->SetAsVariant("BORN", Variant::FromDate(born));
        Table->Insert(row);
        Table->EndUpdate();
        return row;
    }
};

// Values of one field over the whole dataset, from the first record.
inline std::vector<std::string> Column(TDataSet& ds, const std::string& field)
{
    std::vector<std::string> values;
    ds.First();
    while (!ds.Eof()) {
        values.push_back(ds.FieldByName(field)->AsString());
        ds.Next();
    }
    return values;
}

// A server-backed dataset whose hooks are scripted: the first FetchRows(0)
// answers come from Blocks, FetchRows(-1) loads what is left of them, and
// the change hooks answer, count or throw as set.
class TFakeRemoteDataSet : public TKldDataSet
{
  public:
    using TKldDataSet::TKldDataSet;
    ~TFakeRemoteDataSet() override { Close(); }

    int InitialRows = 0;
    std::vector<int> Blocks;
    int FetchBlockCalls = 0;
    int FetchAllCalls = 0;
    int CloseCalls = 0;
    bool Answer = false;        // of InsertRow and UpdateRow
    bool ThrowOnChange = false; // InsertRow, UpdateRow and DeleteRow raise
    std::vector<std::string> Calls;
    std::function<void(TKldDataRow*)> OnFetchBlobs;

    using TKldDataSet::FetchRowBlobs;

  protected:
    bool OpenRemoteCursor() override
    {
        Calls.push_back("OpenRemoteCursor");
        TKldDataTable* table = GetDataTable();
        if (table->ColumnCount() == 0) {
            table->Columns().AddColumn("ID", cdtInteger, -1, true);
            table->Columns().AddColumn("NAME", cdtString, 30);
            table->Columns().AddColumn("PICTURE", cdtBlob);
        }
        AppendRows(InitialRows);
        return true;
    }
    void CloseRemoteCursor() override { ++CloseCalls; }
    int FetchRows(int count) override
    {
        if (count == 0) {
            ++FetchBlockCalls;
            if (m_block >= Blocks.size())
                return 0;
            int n = Blocks[m_block++];
            AppendRows(n);
            return n;
        }
        ++FetchAllCalls;
        int n = 0;
        while (m_block < Blocks.size())
            n += Blocks[m_block++];
        AppendRows(n);
        return n;
    }
    void FetchRowBlobs(TKldDataRow* row) override
    {
        Calls.push_back("FetchRowBlobs");
        if (OnFetchBlobs)
            OnFetchBlobs(row);
    }
    bool DeleteRow(TKldDataRow* row) override { return Hook("DeleteRow", row); }
    bool InsertRow(TKldDataRow* row) override { return Hook("InsertRow", row); }
    bool UpdateRow(TKldDataRow* row) override { return Hook("UpdateRow", row); }

  private:
    bool Hook(const std::string& name, TKldDataRow* row)
    {
        Calls.push_back(name + " " + row->GetAsVariant("NAME").AsString());
        if (ThrowOnChange)
            throw Exception("server refused " + name);
        return Answer;
    }

    void AppendRows(int count)
    {
        TKldDataTable* table = GetDataTable();
        SetDataChangeSuppressed(true);
        table->BeginUpdate();
        for (int i = 0; i < count; ++i) {
            TKldDataRow* row = table->New();
            row->SetAsVariant("ID", m_nextId);
            row->SetAsVariant("NAME", "Row " + std::to_string(m_nextId));
            ++m_nextId;
            table->Insert(row);
        }
        table->EndUpdate();
        SetDataChangeSuppressed(false);
    }

    size_t m_block = 0;
    int m_nextId = 1;
};

// Records the notices a data link hears: "changed", "scrolled", "record",
// "active", "editing", "layout".
class TDataSetNoticeLink : public TDataLink
{
  public:
    std::vector<std::string> Notices;
    int Count(const std::string& notice) const
    {
        int n = 0;
        for (const std::string& s : Notices)
            n += s == notice ? 1 : 0;
        return n;
    }

  protected:
    void ActiveChanged() override { Notices.push_back("active"); }
    void DataSetChanged() override { Notices.push_back("changed"); }
    void DataSetScrolled(int) override { Notices.push_back("scrolled"); }
    void EditingChanged() override { Notices.push_back("editing"); }
    void LayoutChanged() override { Notices.push_back("layout"); }
    void RecordChanged(TField*) override { Notices.push_back("record"); }
};

// Runs `body` and expects an Exception whose message contains `text`.
inline void ExpectKldErrorText(const std::function<void()>& body, const std::string& text)
{
    try {
        body();
        ADD_FAILURE() << "expected the error: " << text;
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find(text), std::string::npos) << e.Message();
    }
}
