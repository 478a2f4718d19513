// Rights bytes, the menu tree with its pruning and a manager's filter, the
// selection state, level clicks with the cap, and the modules script.

#include "admin/AccessRules.h"
#include "admin/RightsRules.h"

#include <gtest/gtest.h>

namespace {

TAdministrator Admin(const std::string& Type)
{
    TAdministrator admin;
    admin.UserType = Type;
    admin.Counter = 7;
    return admin;
}

TMenuRow Row(int32_t Level, const std::string& Caption, std::optional<int32_t> Index = std::nullopt,
             int32_t Module = 1)
{
    TMenuRow row;
    row.Level = Level;
    row.Description = Caption;
    row.SecurityIndex = Index;
    row.Module = Module;
    return row;
}

// The tree as indented captions.
std::string Shape(const TMenuTree& Tree)
{
    std::string text;
    for (const TMenuNode* node : TreeOrder(Tree)) {
        int depth = 0;
        for (const TMenuNode* up = node->Parent; up; up = up->Parent)
            ++depth;
        text += std::string(static_cast<size_t>(depth), '.') + node->Caption + (node->HasItem ? "*" : "") + " ";
    }
    return text;
}

TRights Bytes(std::initializer_list<int> Values)
{
    TRights r;
    for (int v : Values)
        r += static_cast<char>(v);
    return r;
}

// The line after the refusal's first line.
std::string Detail(const std::string& Text)
{
    const size_t at = Text.find("\r\n");
    return at == std::string::npos ? "" : Text.substr(at + 2);
}

} // namespace

TEST(RightsByte, ReadWriteAndCap)
{
    TRights r;
    EXPECT_EQ(RightsByte(r, 5), 0);
    WriteRightsByte(r, 3, 0x21, 2, 3);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(RightsByte(r, 3), 0xA1);
    WriteRightsByte(r, 3, 0x3F, 3, 1); // capped at view
    EXPECT_EQ(RightsByte(r, 3), 0x7F);
    EXPECT_EQ(RightsCap(Admin("SYS"), {}, 3), 3);
    EXPECT_EQ(RightsCap(Admin("MGR"), Bytes({0xC0, 0x80}), 1), 2);
    EXPECT_EQ(RightsCap(Admin("MGR"), Bytes({0xC0}), 4), 0);
    // An index beyond the limit does not grow the blob.
    WriteRightsByte(r, MaxSecurityIndex + 1, 0, 3, 3);
    EXPECT_EQ(r.size(), 4u);
}

TEST(MenuTree, PruningOfUnsecuredBranches)
{
    const std::vector<TMenuRow> rows = {
        Row(0, "Care", std::nullopt, 10),   Row(1, "Residents"), Row(2, "Admit", 1), Row(2, "Chart"),
        Row(1, "Reports"),                  Row(2, "Monthly"),   Row(0, "Office", std::nullopt, 11),
        Row(1, "Letters"),                  Row(0, "Kitchen", 3, 12),
        Row(0, "Garden", std::nullopt, 13), Row(1, "Plants", 4),
    };
    const TMenuTree tree = BuildMenuTree(rows, Admin("SYS"), {}, {});
    // An unsecured leaf goes, "Reports" and "Office" go whole, and a
    // secured top-level node left without children goes too when another
    // top-level row follows.
    EXPECT_EQ(Shape(tree), "Care .Residents ..Admit* Garden .Plants* ");
    EXPECT_EQ(tree.Modules, std::vector<int32_t>({10, 11, 12, 13}));
}

TEST(MenuTree, TheLastTopLevelNodeStaysWhenSecuredAndLevelGapsFindNoParent)
{
    const TMenuTree last = BuildMenuTree({Row(0, "Care", std::nullopt, 10), Row(1, "Admit", 1),
                                          Row(0, "Kitchen", 3, 12)},
                                         Admin("SYS"), {}, {});
    EXPECT_EQ(Shape(last), "Care .Admit* Kitchen* ");
    // A level-2 row with no level-1 row before it becomes a top-level node.
    const TMenuTree gap = BuildMenuTree({Row(0, "Care", std::nullopt, 10), Row(2, "Deep", 5)}, Admin("SYS"), {}, {});
    EXPECT_EQ(Shape(gap), "Deep* ");
    // A parent removed by pruning no longer counts: "Orphan" becomes a
    // top-level node, which "B1" (its level-0 parent "B" pruned) removes.
    const TMenuTree stale = BuildMenuTree({Row(0, "A", std::nullopt), Row(1, "A1"), Row(0, "B", std::nullopt),
                                           Row(2, "Orphan", 6), Row(1, "B1", 7)},
                                          Admin("SYS"), {}, {});
    EXPECT_EQ(Shape(stale), "B1* ");
}

TEST(MenuTree, OutOfRangeIndexIsSkipped)
{
    const TMenuTree tree = BuildMenuTree({Row(0, "Care"), Row(1, "Bad", -1), Row(1, "Huge", 70000), Row(1, "Ok", 2)},
                                         Admin("SYS"), {}, {});
    EXPECT_EQ(Shape(tree), "Care .Ok* ");
    EXPECT_EQ(tree.Skipped, std::vector<std::string>({"Bad", "Huge"}));
}

TEST(MenuTree, ManagerSeesOnlyWhatHeMayHandOn)
{
    const std::vector<TMenuRow> rows = {Row(0, "Care"), Row(1, "NoAccess", 0), Row(1, "Lower", 1),
                                        Row(1, "ExtraAttr", 2), Row(1, "Fine", 3)};
    const TRights mine = Bytes({0x3F, 0x40, 0xA0, 0xE1});
    const TRights role = Bytes({0x00, 0x80, 0x90, 0xC1});
    EXPECT_EQ(Shape(BuildMenuTree(rows, Admin("MGR"), role, mine)), "Care .Fine* ");
    // Without a role of his own on the alias: an empty tree.
    EXPECT_EQ(Shape(BuildMenuTree(rows, Admin("MGR"), role, {})), "");
}

TEST(Selection, LevelsAttributesAndTheManagersLimits)
{
    const TMenuTree tree = BuildMenuTree({Row(0, "Care", 0), Row(1, "Admit", 1)}, Admin("SYS"), {}, {});
    TMenuNode* care = tree.Roots[0].get();
    TMenuNode* admit = care->Children[0].get();
    admit->Attributes = {"Print", "", "Export", "", "", ""};
    TRights role = Bytes({0x00, 0xA0}); // care none; admit change + A1
    TSelectionState s = SelectionState(*admit, role, Admin("SYS"), {});
    EXPECT_EQ(s.CheckedLevel, 2);
    EXPECT_TRUE(s.AttrChecked[0]);
    EXPECT_EQ(s.AttrCaptions[0], "Print");
    EXPECT_EQ(s.AttrCaptions[1], "N/A");
    EXPECT_FALSE(s.AttrEnabled[1]);
    // Under an item without access nothing can be raised.
    EXPECT_EQ(s.LevelEnabled, (std::array<bool, 4>{true, false, false, false}));

    role = Bytes({0x40, 0xA0});
    const TRights mine = Bytes({0xC0, 0x80}); // change, no attributes
    TSelectionState m = SelectionState(*admit, role, Admin("MGR"), mine);
    EXPECT_EQ(m.LevelEnabled, (std::array<bool, 4>{true, true, true, false}));
    EXPECT_FALSE(m.AttrEnabled[0]);
    EXPECT_TRUE(m.AttrChecked[0]); // keeps the role's bit

    // A blob shorter than the index grows when the item is selected.
    TRights shortBlob;
    EXPECT_EQ(SelectionState(*admit, shortBlob, Admin("SYS"), {}).CheckedLevel, 0);
    EXPECT_EQ(shortBlob.size(), 2u);
}

TEST(LevelClick, DescendantsTakeTheLevelKeepingAttributesWithinTheCap)
{
    const TMenuTree tree =
        BuildMenuTree({Row(0, "Care", 0), Row(1, "Admit", 1), Row(2, "Bed", 2), Row(1, "Menu"), Row(2, "Diet", 3)},
                      Admin("SYS"), {}, {});
    const TMenuNode& care = *tree.Roots[0];
    TRights role = Bytes({0xC0, 0xC5, 0x81, 0xFF});
    ApplyLevel(care, 0, 0, role, Admin("SYS"), {});
    EXPECT_EQ(role, Bytes({0x00, 0x05, 0x01, 0x3F}));

    // A manager: each descendant capped at his own level there.
    role = Bytes({0x00, 0x00, 0x00, 0x00});
    const TRights mine = Bytes({0xC0, 0x80, 0x40});
    ApplyLevel(care, 3, 0, role, Admin("MGR"), mine);
    EXPECT_EQ(role, Bytes({0xC0, 0x80, 0x40, 0x00}));
}

TEST(RoleModules, OnlyModulesWithAViewedDescendant)
{
    const TMenuTree tree =
        BuildMenuTree({Row(0, "Care", 0, 10), Row(1, "Admit", 1, 10), Row(0, "Office", 2, 11), Row(1, "Mail", 3, 11)},
                      Admin("SYS"), {}, {});
    const TRights role = Bytes({0x00, 0x40, 0xC0, 0x3F}); // office's own item does not count
    EXPECT_EQ(RoleModulesScript("55", tree, role),
              TLines({"DELETE FROM TBL_ROLEMODULES WHERE C_ROLE = 55;", "INSERT INTO TBL_ROLEMODULES VALUES(55,10);"}));
}

TEST(IconKind, ByTheFirstBytes)
{
    EXPECT_EQ(IconKind("\x89PNG"), ikPNG);
    EXPECT_EQ(IconKind("BM6\x01"), ikBMP);
    EXPECT_EQ(IconKind("GIF8"), ikNone);
    EXPECT_EQ(IconKind("B"), ikNone);
}

TEST(Privilege, FirstByteBeyondTheManagersRights)
{
    EXPECT_EQ(ComparePrivilege(Bytes({0xC0}), {}), "");
    EXPECT_EQ(ComparePrivilege(Bytes({0xC3, 0x80}), Bytes({0xC1, 0x40})), "");
    EXPECT_EQ(ComparePrivilege(Bytes({0xC0, 0x40}), Bytes({0x40, 0x80})),
              "Administrator role does not have enough priviledge to assign selected role\r\n"
              "[idx: 1 (0x1)] My = 0x40 < 0x80");
    // An attribute he lacks, and his blob shorter than the role's.
    std::string mine(20, '\xC0');
    std::string role(20, '\x40');
    role[17] = '\x41';
    EXPECT_EQ(Detail(ComparePrivilege(mine, role)), "[idx: 17 (0x11)] My = 0xC0 < 0x41");
    EXPECT_EQ(Detail(ComparePrivilege(Bytes({0xC0}), Bytes({0x40, 0x40}))), "[idx: 1 (0x1)] My = 0x0 < 0x40");
}

TEST(FacilityList, UnionWithTheAdminScope)
{
    TAdministrator sys = Admin("SYS");
    const TLines all = FacilityListSQL(sys, 40, 10);
    ASSERT_EQ(all.size(), 10u + 1 + 10 + 1 + 14);
    EXPECT_EQ(all[1], "  TF.COUNTER as FC, TF.FACILITY, TF.DESCRIPTION,  'MGR' AS ATYPE, '1' AS CNT");
    EXPECT_EQ(all[7], "  (TF.C_ENTERPRISE = 10) AND");
    EXPECT_EQ(all[8], "  (TUA.C_USER = 40) AND");
    EXPECT_EQ(all[10], "UNION");
    EXPECT_EQ(all[22], "SELECT");
    EXPECT_EQ(all.back(), " )");
    TAdministrator mgr = Admin("MGR");
    mgr.FacilityAccessFlag = "I";
    const TLines scoped = FacilityListSQL(mgr, 40, 10);
    ASSERT_EQ(scoped.size(), all.size() + 3 * 8);
    EXPECT_EQ(scoped[10], "AND (");
    EXPECT_EQ(scoped[11], "TF.COUNTER IN (");
    EXPECT_EQ(scoped[14], "WHERE (TUA2.C_USER = 7) AND");
    EXPECT_EQ(scoped[scoped.size() - 7], "TF2.COUNTER IN (");
    mgr.FacilityAccessFlag = "E";
    const TLines excluded = FacilityListSQL(mgr, 40, 10);
    EXPECT_EQ(excluded[11], "TF.COUNTER NOT IN (");
    EXPECT_EQ(excluded.size(), all.size() + 3 * 7);
    mgr.FacilityAccessFlag = "A";
    EXPECT_EQ(FacilityListSQL(mgr, 40, 10), all);
}

TEST(FacilityList, SaveScript)
{
    EXPECT_TRUE(FacilitySaveScript(40, {}).empty());
    EXPECT_EQ(FacilitySaveScript(40, {{3, true, true}, {4, false, true}, {5, true, false}}),
              TLines({"DELETE FROM TBL_USERFACILITYACCESS WHERE (C_USER = 40) AND (C_FACILITY = 3);",
                      "INSERT INTO TBL_USERFACILITYACCESS VALUES (40, 3,'MGR');",
                      "DELETE FROM TBL_USERFACILITYACCESS WHERE (C_USER = 40) AND (C_FACILITY = 4);",
                      "DELETE FROM TBL_USERFACILITYACCESS WHERE (C_USER = 40) AND (C_FACILITY = 5);",
                      "INSERT INTO TBL_USERFACILITYACCESS VALUES (40, 5,'USR');"}));
}
