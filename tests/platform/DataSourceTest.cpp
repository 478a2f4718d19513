// Data sources and links: which notices a control's link hears, in which
// order, and how field links, grid-sized links and master links behave.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VectorDataSet.h"

namespace {
// Writes every notice it hears into a shared log.
class TRecordingLink : public TDataLink
{
  public:
    TRecordingLink(std::vector<std::string>& log, std::string name) : m_log(log), m_name(std::move(name)) {}

  protected:
    void ActiveChanged() override { Add("ActiveChanged(" + std::string(Active() ? "on" : "off") + ")"); }
    void CheckBrowseMode() override { Add("CheckBrowseMode"); }
    void DataSetChanged() override { Add("DataSetChanged"); }
    void DataSetScrolled(int distance) override { Add("DataSetScrolled(" + std::to_string(distance) + ")"); }
    void EditingChanged() override { Add("EditingChanged(" + std::string(Editing() ? "on" : "off") + ")"); }
    void RecordChanged(TField* field) override
    {
        Add("RecordChanged(" + (field != nullptr ? field->FieldName() : std::string("nil")) + ")");
    }
    void UpdateData() override { Add("UpdateData"); }

  private:
    void Add(const std::string& what) { m_log.push_back(m_name.empty() ? what : m_name + ":" + what); }
    std::vector<std::string>& m_log;
    std::string m_name;
};

class DataSourceTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        DefinePeople(ds);
        for (int i = 1; i <= 6; ++i)
            ds.AddRow({Variant(i), Variant("P" + std::to_string(i)), Variant(i * 1.0)});
        src.SetDataSet(&ds);
        link.SetDataSource(&src);
    }

    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }

    TVectorDataSet ds;
    TDataSource src;
    std::vector<std::string> log;
    TRecordingLink link{log, ""};
};
} // namespace

TEST_F(DataSourceTest, NoticesOfAnOpenEditPostClose)
{
    ds.Open();
    EXPECT_EQ(Take(), std::vector<std::string>({"ActiveChanged(on)"}));

    ds.Next();
    EXPECT_EQ(Take(), std::vector<std::string>({"CheckBrowseMode", "DataSetScrolled(1)"}));

    ds.Edit();
    EXPECT_EQ(Take(),
              std::vector<std::string>({"CheckBrowseMode", "EditingChanged(on)", "RecordChanged(nil)"}));

    ds.FieldByName("NAME")->SetAsString("X");
    EXPECT_EQ(Take(), std::vector<std::string>({"RecordChanged(NAME)"}));

    ds.Post();
    EXPECT_EQ(Take(), std::vector<std::string>(
                          {"UpdateData", "CheckBrowseMode", "EditingChanged(off)", "DataSetChanged"}));

    ds.Close();
    EXPECT_EQ(Take(), std::vector<std::string>({"ActiveChanged(off)"}));
}

TEST_F(DataSourceTest, LinksHearNoticesLastAddedFirstAndGridsAfterSingleLinks)
{
    TRecordingLink first(log, "first");
    TRecordingLink grid(log, "grid");
    TRecordingLink last(log, "last");
    first.SetDataSource(&src);
    grid.SetBufferCount(3);
    grid.SetDataSource(&src);
    last.SetDataSource(&src);
    std::vector<std::string> order;
    src.OnDataChange = [&](TObject*, TField* f) {
        log.push_back(std::string("OnDataChange:") + (f ? "field" : "nil"));
    };
    ds.Open();
    Take();
    ds.Last();
    EXPECT_EQ(Take(),
              std::vector<std::string>({"last:CheckBrowseMode", "first:CheckBrowseMode", "CheckBrowseMode",
                                        "grid:CheckBrowseMode", "last:DataSetChanged", "first:DataSetChanged",
                                        "DataSetChanged", "grid:DataSetChanged", "OnDataChange:nil"}));
    EXPECT_EQ(ds.BufferCount(), 3) << "the ring is as large as the largest link";
}

TEST_F(DataSourceTest, DisabledControlsHearOneChangeAtTheEnd)
{
    ds.Open();
    Take();
    ds.DisableControls();
    ds.Next();
    ds.Next();
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("Q");
    ds.Post();
    EXPECT_TRUE(Take().empty());
    ds.EnableControls();
    EXPECT_EQ(Take(), std::vector<std::string>({"DataSetChanged"}));
    EXPECT_EQ(ds.Rows()[2].Values[1].AsString(), "Q");
}

TEST_F(DataSourceTest, StateChangesAndDisabledSource)
{
    std::vector<TDataSetState> states;
    src.OnStateChange = [&](TObject*) { states.push_back(src.State()); };
    ds.Open();
    ds.Edit();
    ds.Cancel();
    EXPECT_EQ(states, std::vector<TDataSetState>({dsBrowse, dsEdit, dsBrowse}));
    Take();
    src.SetEnabled(false);
    EXPECT_EQ(src.State(), dsInactive);
    EXPECT_EQ(Take(), std::vector<std::string>({"ActiveChanged(off)"}));
    ds.Next();
    EXPECT_TRUE(Take().empty());
    src.SetEnabled(true);
    EXPECT_EQ(Take(), std::vector<std::string>({"ActiveChanged(on)"}));
}

TEST_F(DataSourceTest, AutoEditThroughTheLink)
{
    ds.Open();
    EXPECT_TRUE(link.Edit());
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    src.SetAutoEdit(false);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(ds.State(), dsBrowse);
    src.SetAutoEdit(true);
    link.SetReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(ds.State(), dsBrowse);
}

TEST_F(DataSourceTest, GridLinkKeepsTheActiveRecordInItsWindow)
{
    TRecordingLink grid(log, "grid");
    grid.SetBufferCount(3);
    grid.SetDataSource(&src);
    ds.Open();
    EXPECT_EQ(grid.RecordCount(), 3);
    EXPECT_EQ(grid.ActiveRecord(), 0);
    ds.MoveBy(2);
    EXPECT_EQ(grid.ActiveRecord(), 2);
    const int readsBefore = ds.GetRecordCalls;
    ds.Prior();
    EXPECT_EQ(ds.GetRecordCalls, readsBefore) << "moving inside the ring reads nothing";
    ds.MoveBy(2);
    EXPECT_EQ(grid.ActiveRecord(), 2) << "the window scrolled with the record";
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);

    // Painting rows: each row of the window becomes active for a moment.
    std::vector<int> ids;
    const int saved = grid.ActiveRecord();
    for (int row = 0; row < grid.RecordCount(); ++row) {
        grid.SetActiveRecord(row);
        ids.push_back(ds.FieldByName("ID")->AsInteger());
    }
    grid.SetActiveRecord(saved);
    EXPECT_EQ(ids, std::vector<int>({2, 3, 4}));
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
}

TEST_F(DataSourceTest, ShrinkingTheRingKeepsTheActiveRecord)
{
    TRecordingLink grid(log, "grid");
    grid.SetBufferCount(5);
    grid.SetDataSource(&src);
    ds.Open();
    ds.MoveBy(4);
    EXPECT_EQ(grid.ActiveRecord(), 4);
    grid.SetBufferCount(2);
    EXPECT_EQ(ds.BufferCount(), 2);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5);
    EXPECT_EQ(grid.RecordCount(), 2);
    EXPECT_EQ(grid.ActiveRecord(), 1);
    ds.Next();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 6);
    ds.Prior();
    ds.Prior();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
    grid.SetDataSource(nullptr);
    EXPECT_EQ(ds.BufferCount(), 1);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
}

TEST_F(DataSourceTest, FieldDataLinkShowsAndWritesItsField)
{
    TFieldDataLink fieldLink;
    std::string shown;
    std::string typed;
    std::vector<std::string> events;
    fieldLink.OnDataChange = [&](TFieldDataLink* l) {
        events.push_back("data");
        shown = l->Field() != nullptr ? l->Field()->AsString() : "(none)";
    };
    fieldLink.OnEditingChange = [&](TFieldDataLink* l) {
        events.push_back(l->Editing() ? "editing" : "browsing");
    };
    fieldLink.OnUpdateData = [&](TFieldDataLink* l) {
        events.push_back("update");
        l->Field()->SetAsString(typed);
    };
    fieldLink.SetFieldName("NAME");
    fieldLink.SetDataSource(&src);
    ds.Open();
    EXPECT_EQ(shown, "P1");
    ds.Next();
    EXPECT_EQ(shown, "P2");
    ds.FieldByName("ID")->SetAsInteger(20);
    ds.Cancel();
    events.clear();

    // A control edits: puts the dataset into edit, marks itself modified; the
    // post asks it for its value first (its own write is no change notice).
    EXPECT_TRUE(fieldLink.Edit());
    typed = "Typed";
    fieldLink.Modified();
    ds.Post();
    EXPECT_EQ(ds.Rows()[1].Values[1].AsString(), "Typed");
    EXPECT_EQ(events, std::vector<std::string>({"editing", "data", "update", "browsing", "data"}));
    EXPECT_FALSE(fieldLink.IsModified());

    fieldLink.Reset();
    EXPECT_EQ(shown, "Typed");
    ds.FieldByName("NAME")->SetReadOnly(true);
    EXPECT_FALSE(fieldLink.CanModify());
    EXPECT_FALSE(fieldLink.Edit());
}

TEST_F(DataSourceTest, FieldDataLinkWithoutItsFieldRaises)
{
    TFieldDataLink fieldLink;
    fieldLink.SetDataSource(&src);
    ds.Open();
    try {
        fieldLink.SetFieldName("MISSING");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "Field 'MISSING' not found");
    }
    EXPECT_EQ(fieldLink.Field(), nullptr);
}

TEST_F(DataSourceTest, MasterLinkFollowsTheMaster)
{
    TVectorDataSet detail;
    DefinePeople(detail);
    detail.Open();
    TMasterDataLink detailLink(&detail);
    std::vector<std::string> events;
    detailLink.OnMasterChange = [&](TMasterDataLink* l) {
        events.push_back("change:" + l->Fields()[0]->AsString());
    };
    detailLink.OnMasterDisable = [&](TMasterDataLink*) { events.push_back("disable"); };
    detailLink.SetFieldNames("ID");
    detailLink.SetDataSource(&src);
    ds.Open();
    ds.Next();
    ds.Edit();
    ds.FieldByName("AMOUNT")->SetAsFloat(5);
    ds.FieldByName("ID")->SetAsInteger(22);
    ds.Cancel();
    ds.Close();
    // Naming the fields while the master is closed already tells the open
    // detail that it has no master.
    EXPECT_EQ(events, std::vector<std::string>({"disable", "change:1", "change:2", "change:2", "change:22",
                                                "change:2", "disable"}));
}

TEST_F(DataSourceTest, CircularLinksAreRefused)
{
    TVectorDataSet detail;
    detail.SetName("Detail");
    detail.MasterSource = &src;
    TDataSource detailSource;
    detailSource.SetName("DetailSource");
    detailSource.SetDataSet(&detail);
    ds.MasterSource = &detailSource;
    src.SetName("DataSource1");
    TDataSource loop;
    loop.SetName("Loop");
    try {
        src.SetDataSet(&detail);
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "DataSource1: Circular datalinks are not allowed");
    }
    EXPECT_EQ(src.DataSet(), &ds);
    EXPECT_TRUE(ds.IsLinkedTo(&src));
    EXPECT_FALSE(ds.IsLinkedTo(&loop));
    ds.MasterSource = nullptr;
}

TEST_F(DataSourceTest, DestroyedPartnersLeaveLinksUnbound)
{
    auto* extra = new TDataSource();
    TRecordingLink orphan(log, "orphan");
    orphan.SetDataSource(extra);
    extra->SetDataSet(&ds);
    ds.Open();
    Take();
    delete extra;
    EXPECT_EQ(orphan.DataSource(), nullptr);
    EXPECT_FALSE(orphan.Active());
    {
        TVectorDataSet temp;
        DefinePeople(temp);
        temp.AddRow({Variant(1), Variant("T"), Variant(1.0)});
        src.SetDataSet(&temp);
        temp.Open();
        EXPECT_TRUE(link.Active());
    }
    EXPECT_EQ(src.DataSet(), nullptr);
    EXPECT_FALSE(link.Active());
}
