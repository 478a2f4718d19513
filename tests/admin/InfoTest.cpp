// The "Info" window's three lists of the system database on the local server.
#include "admin/frmInfo.h"

#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/Fields.h"
#include "support/AppServerSession.h"

#include <gtest/gtest.h>

#include <QPushButton>

namespace {

const char* const InfoSql =
    "INSERT INTO TBL_UPDATES (COUNTER, UPDATE_DATE, UPDATE_ID, UPDATE_FILE, APPLY_DATE) VALUES "
    "(1, '2026-11-20 00:00:00', 'U2', 'u2.sql', NULL), (2, '2026-10-02 00:00:00', 'U1', 'u1.sql', NULL);"
    "INSERT OR IGNORE INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES "
    "(50, 'Office', 'Office work'), (51, 'Care', 'Care of residents');";

class InfoServerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(m_connection, m_server, "MAIN");
        NameDatabase(m_system, "SYSTEM_DATA", "SYSTEM", "MAIN");
    }
    TAppServerProcess m_server{{}, InfoSql};
    TNembraConnection m_connection;
    TNembraDatabase m_system;
};

std::vector<std::string> Column(TDataSet& list, const std::string& field)
{
    std::vector<std::string> values;
    list.First();
    while (!list.Eof()) {
        values.push_back(list.FieldByName(field)->AsString());
        list.Next();
    }
    return values;
}

} // namespace

TEST_F(InfoServerTest, ListsOpenOnShowAndOnFirstPageShowing)
{
    TfrmInfo form(&m_system);
    TInfoLists& lists = form.Lists();
    EXPECT_FALSE(lists.List(ilModules).Active());
    form.show();
    ASSERT_TRUE(lists.List(ilModules).Active());
    EXPECT_FALSE(lists.List(ilResources).Active());
    EXPECT_FALSE(lists.List(ilUpdates).Active());
    // Modules by name, COUNTER hidden.
    const std::vector<std::string> modules = Column(lists.List(ilModules), "MODULE");
    ASSERT_FALSE(modules.empty());
    EXPECT_TRUE(std::is_sorted(modules.begin(), modules.end()));
    EXPECT_FALSE(lists.List(ilModules).FindField("COUNTER")->Visible());

    form.pcInfo()->SetActivePageIndex(ilUpdates);
    form.PageChanged();
    ASSERT_TRUE(lists.List(ilUpdates).Active());
    EXPECT_FALSE(lists.List(ilResources).Active());
    TDataSet& updates = lists.List(ilUpdates);
    ASSERT_EQ(updates.FieldCount(), 4);
    EXPECT_EQ(updates.Fields().Fields(0)->FieldName(), "UPDATE_DATE");
    EXPECT_EQ(updates.Fields().Fields(3)->FieldName(), "APPLY_DATE");
    EXPECT_EQ(Column(updates, "UPDATE_ID"), (std::vector<std::string>{"U1", "U2"}));

    form.pcInfo()->SetActivePageIndex(ilResources);
    form.PageChanged();
    ASSERT_TRUE(lists.List(ilResources).Active());
    EXPECT_FALSE(lists.List(ilResources).FindField("COUNTER")->Visible());
    const std::vector<std::string> names = Column(lists.List(ilResources), "RESOURCE_NAME");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_FALSE(form.btnFilter()->font().bold());

    // "Refresh" opens a closed list of the active page.
    lists.List(ilResources).Close();
    form.RefreshClick();
    EXPECT_TRUE(lists.List(ilResources).Active());
}

TEST_F(InfoServerTest, FilterCaptionIsBoldWhileTheActiveListIsFiltered)
{
    TfrmInfo form(&m_system);
    form.show();
    TInfoLists& lists = form.Lists();
    // The filter as the advanced filter dialog leaves it; "Refresh" opens
    // the closed list with it.
    lists.List(ilModules).SQLSchema().ApplyFilter("(MODULE = 'Care')", "");
    lists.List(ilModules).Close();
    form.RefreshClick();
    form.PageChanged();
    EXPECT_TRUE(form.btnFilter()->font().bold());
    EXPECT_EQ(Column(lists.List(ilModules), "MODULE"), (std::vector<std::string>{"Care"}));
    form.pcInfo()->SetActivePageIndex(ilUpdates);
    form.PageChanged();
    EXPECT_FALSE(form.btnFilter()->font().bold());
}
