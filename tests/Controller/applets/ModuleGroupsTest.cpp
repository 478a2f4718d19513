// The module groups: the layout the window uses (the preset merged with the
// user's layout), the statements that store it, and the groups editor, by
// its rules and by keys in the dialog.
#include "Components/Controller/applets/ModuleGroups.h"
#include "Components/Controller/applets/frmGroups.h"
#include "platform/SysUtils.h"
#include "support/DialogScript.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

#include <gtest/gtest.h>

namespace {

const std::string CRLF = "\r\n";

std::vector<std::string> LinesOf(const TNamedList& List)
{
    std::vector<std::string> lines;
    for (int i = 0; i < List.Count(); ++i)
        lines.push_back(List.GetName(i) + "=" + List.GetValue(i));
    return lines;
}

std::vector<bool> VisibleOf(const TNamedList& List)
{
    std::vector<bool> visible;
    for (int i = 0; i < List.Count(); ++i)
        visible.push_back(List.GetVisible(i));
    return visible;
}

std::vector<std::string> Texts(const std::vector<TGroupsEditor::TLine>& Lines)
{
    std::vector<std::string> texts;
    for (const auto& line : Lines)
        texts.push_back(line.Text);
    return texts;
}

} // namespace

TEST(ModuleGroupsLayout, ThePresetAndTheUsersLayoutMerge)
{
    struct Case
    {
        const char* desc;
        std::string preset;
        std::string user;
        std::vector<std::string> expected;
        std::vector<bool> visible;
    };
    const std::vector<Case> cases = {
        {"System joins General and leaves every other group",
         "\"General=Users" + CRLF + "\",\"Tools=System" + CRLF + "Mail" + CRLF + "\"",
         "",
         {"General=Users" + CRLF + "System" + CRLF, "Tools=Mail" + CRLF},
         {true, true}},
        {"without a group General nothing moves",
         "\"Tools=System" + CRLF + "\"",
         "",
         {"Tools=System" + CRLF},
         {true}},
        {"the user's members come first, the preset's others after them",
         "\"Daily Work=Care" + CRLF + "Office" + CRLF + "\"",
         "\"Daily Work=Office" + CRLF + "\"",
         {"Daily Work=Office" + CRLF + "Care" + CRLF},
         {true}},
        {"the user's own groups are added, in the user's order",
         "\"Favorites=Care" + CRLF + "\",\"Daily Work=Office" + CRLF + "\"",
         "\"Mine=Office" + CRLF + "\",\"Daily Work=Office" + CRLF + "\",\"Favorites=Care" + CRLF + "\"",
         {"Mine=Office" + CRLF, "Daily Work=Office" + CRLF, "Favorites=Care" + CRLF},
         {true, true, true}},
        {"a preset group the user hides stays, hidden",
         "\"Favorites=Care" + CRLF + "\",\"Daily Work=Office" + CRLF + "\"",
         "\"$HIDE=Daily Work" + CRLF + "\"",
         {"Favorites=Care" + CRLF, "Daily Work=Office" + CRLF},
         {true, false}},
        {"names with quotes, commas, blanks and apostrophes",
         "",
         "\"Tom's \"\"own\"\", list=Care" + CRLF + "\"",
         {"Tom's \"own\", list=Care" + CRLF},
         {true}},
        {"no preset and no user layout: no groups", "", "", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        TNamedList groups;
        groups.SetValue("Old", "Stale\r\n");
        MergeModulesLayout(groups, c.preset, c.user);
        EXPECT_EQ(LinesOf(groups), c.expected);
        EXPECT_EQ(VisibleOf(groups), c.visible);
        EXPECT_EQ(groups.PresetText, c.preset) << "the preset as it came, without System";
    }
}

TEST(ModuleGroupsLayout, ABrokenTextIsRefusedAsAWhole)
{
    const std::string good = "\"Favorites=Care" + CRLF + "\"";
    for (const auto& [preset, user] : std::vector<std::pair<std::string, std::string>>{
             {"\"Favorites=Care" + CRLF, ""},         // cut short inside a quote
             {good, "\"Mine=Care" + CRLF + "\",Care"}, // an item that is no group
             {"garbage", ""},
         }) {
        SCOPED_TRACE(preset + " | " + user);
        TNamedList groups;
        EXPECT_THROW(MergeModulesLayout(groups, preset, user), EConvertError);
    }
}

TEST(ModuleGroupsLayout, TheStatementsQuoteTheLayoutAndTheUser)
{
    const TModulesLayoutSql sql = ModulesLayoutSql("\"Tom's=Care\r\n\"", "O'HARA");
    EXPECT_EQ(sql.Insert, "INSERT INTO TBL_USERMODULEGROUP (USER_ID) VALUES ('O''HARA')");
    EXPECT_EQ(sql.Update, "UPDATE TBL_USERMODULEGROUP SET MODULES = utl_raw.cast_to_raw('\"Tom''s=Care\r\n\"') "
                          "WHERE USER_ID = 'O''HARA'");
}

TEST(ModuleGroupsLayout, OnlyNamesTheTextFormCarriesAreStorable)
{
    EXPECT_TRUE(GroupNameStorable("Tom's \"own\", list"));
    EXPECT_FALSE(GroupNameStorable("A=B"));
    EXPECT_FALSE(GroupNameStorable("$HIDE"));
    EXPECT_FALSE(GroupNameStorable("$hide"));
    EXPECT_TRUE(GroupNameStorable("$HIDE2"));
}

// ---------------------------------------------------------------------------
// The editor's rules

namespace {

class GroupsEditorTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // Preset: Favorites (Care), Daily Work (Care, Office). The user
        // added Archive to Daily Work (not a preset member), keeps a group
        // of his own and hides Favorites.
        const std::string preset =
            "\"Favorites=Care" + CRLF + "\",\"Daily Work=Care" + CRLF + "Office" + CRLF + "\"";
        MergeModulesLayout(m_groups, preset,
                           "\"Daily Work=Archive" + CRLF + "Care" + CRLF + "\",\"Mine=Office" + CRLF + "Gone" + CRLF +
                               "\",\"$HIDE=Favorites" + CRLF + "\"");
        m_modules.SetText("Care\r\nOffice\r\nArchive\r\nMail\r\n");
        m_editor.Setup(m_groups, m_modules);
    }
    int IndexOf(const std::string& Name) const { return m_editor.Edited().Find(Name); }

    TNamedList m_groups;
    TStringList m_modules;
    TGroupsEditor m_editor;
};

} // namespace

TEST_F(GroupsEditorTest, ListsTheGroupsTickedWhenShownAndBoldWhenTheUsers)
{
    const auto lines = m_editor.GroupLines();
    ASSERT_EQ(Texts(lines), (std::vector<std::string>{"Daily Work", "Mine", "Favorites"}));
    EXPECT_EQ(lines[2].Checked, false);
    EXPECT_EQ(lines[0].Checked, true);
    EXPECT_EQ(lines[0].Custom, false);
    EXPECT_EQ(lines[1].Custom, true);
    EXPECT_TRUE(m_editor.ResetVisible());
}

TEST_F(GroupsEditorTest, FavoritesTakesAndLosesAnyModuleButKeepsItsName)
{
    m_editor.EditGroup(IndexOf("favorites"));
    EXPECT_EQ(m_editor.Page(), 1);
    EXPECT_TRUE(m_editor.CanChangeMembers());
    EXPECT_TRUE(m_editor.NameReadOnly());
    EXPECT_FALSE(m_editor.ResetVisible());
    m_editor.SetGroupName("Best");
    m_editor.AddMember(3); // Mail
    m_editor.AddMember(0); // Care: listed already
    m_editor.RemoveMember(0);
    m_editor.Apply();
    EXPECT_EQ(m_editor.Page(), 0);
    EXPECT_EQ(m_editor.Edited().GetValue("Favorites"), "Mail\r\n");
    EXPECT_EQ(IndexOf("Best"), -1);
}

TEST_F(GroupsEditorTest, APresetGroupDropsForeignMembersAndOnlyReorders)
{
    m_editor.EditGroup(IndexOf("Daily Work"));
    EXPECT_FALSE(m_editor.CanChangeMembers());
    // Archive is no preset member of the group: dropped on opening.
    EXPECT_EQ(m_editor.Members(), (std::vector<std::string>{"Care", "Office"}));
    m_editor.AddMember(3);
    m_editor.RemoveMember(0);
    EXPECT_EQ(m_editor.Members(), (std::vector<std::string>{"Care", "Office"}));
    EXPECT_EQ(m_editor.MoveMember(1, -1), 0);
    EXPECT_EQ(m_editor.MoveMember(0, -1), 0) << "nothing above the top";
    m_editor.Apply();
    EXPECT_EQ(m_editor.Edited().GetValue("Daily Work"), "Office\r\nCare\r\n");
}

TEST_F(GroupsEditorTest, TheUsersGroupDropsModulesNoLongerAvailable)
{
    m_editor.EditGroup(IndexOf("Mine"));
    EXPECT_TRUE(m_editor.CanChangeMembers());
    EXPECT_FALSE(m_editor.NameReadOnly());
    EXPECT_EQ(m_editor.Members(), (std::vector<std::string>{"Office"}));
    ASSERT_EQ(m_editor.MemberLines().size(), 1u);
    EXPECT_TRUE(m_editor.MemberLines()[0].Custom);
}

TEST_F(GroupsEditorTest, RenamesRefuseTakenNamesAndNamesTheTextCannotCarry)
{
    struct Case
    {
        const char* name;
        const char* kept;
    };
    for (const Case& c : std::vector<Case>{{"daily work", "Mine"},
                                           {"My=Group", "Mine"},
                                           {"$hide", "Mine"},
                                           {"Tom's \"own\", list", "Tom's \"own\", list"}}) {
        SCOPED_TRACE(c.name);
        GroupsEditorTest::SetUp();
        const int index = IndexOf("Mine");
        m_editor.EditGroup(index);
        m_editor.SetGroupName(c.name);
        m_editor.Apply();
        EXPECT_EQ(m_editor.Edited().GetName(index), c.kept);
        EXPECT_EQ(m_editor.Edited().GetValue(index), "Office\r\n") << "the members are applied";
    }
}

TEST_F(GroupsEditorTest, NewGroupsMovesRemovalAndReset)
{
    m_editor.AddGroup();
    EXPECT_EQ(m_editor.GroupName(), "NewGroup1");
    m_editor.CancelEdit();
    m_editor.AddGroup();
    EXPECT_EQ(m_editor.GroupName(), "NewGroup2");
    m_editor.CancelEdit();
    EXPECT_EQ(m_editor.MoveGroup(4, 1), 4) << "nothing below the bottom";
    EXPECT_EQ(m_editor.MoveGroup(4, -1), 3);
    EXPECT_EQ(Texts(m_editor.GroupLines()),
              (std::vector<std::string>{"Daily Work", "Mine", "Favorites", "NewGroup2", "NewGroup1"}));
    m_editor.RemoveGroup(0); // a preset group goes as well
    m_editor.SetVisible(1, true);
    EXPECT_EQ(Texts(m_editor.GroupLines()),
              (std::vector<std::string>{"Mine", "Favorites", "NewGroup2", "NewGroup1"}));
    EXPECT_TRUE(m_editor.GroupLines()[1].Checked);

    m_editor.Reset();
    EXPECT_EQ(LinesOf(m_editor.Edited()),
              (std::vector<std::string>{"Favorites=Care" + CRLF, "Daily Work=Care" + CRLF + "Office" + CRLF}));
    EXPECT_EQ(VisibleOf(m_editor.Edited()), (std::vector<bool>{true, true}));
}

TEST(GroupsEditor, NoPresetNoReset)
{
    TNamedList groups;
    groups.SetValue("Mine", "Care\r\n");
    TStringList modules;
    modules.Add("Care");
    TGroupsEditor editor;
    editor.Setup(groups, modules);
    EXPECT_FALSE(editor.ResetVisible());
    EXPECT_TRUE(editor.GroupLines()[0].Custom);
}

// ---------------------------------------------------------------------------
// The dialog, by keys

namespace {

class GroupsDialogTest : public GroupsEditorTest
{
  protected:
    // Runs DoManageGroups over the layout with Steps on the dialog.
    bool Run(std::function<void(TfrmGroups&)> Steps)
    {
        auto shown = WhenModal<TfrmGroups>(Steps);
        const bool ok = DoManageGroups(m_groups, m_modules);
        EXPECT_TRUE(*shown);
        return ok;
    }
};

void Select(QListWidget* List, const std::string& Text)
{
    const auto found = List->findItems(QString::fromStdString(Text), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << Text;
    List->setCurrentItem(found[0]);
}

} // namespace

TEST_F(GroupsDialogTest, FavoritesGetsAModuleAndOKStoresIt)
{
    const bool ok = Run([](TfrmGroups& d) {
        EXPECT_EQ(d.windowTitle(), "Groups");
        EXPECT_EQ(d.Pages()->currentIndex(), 0);
        EXPECT_TRUE(d.btnReset()->isVisible());
        Select(d.lstGroups(), "Favorites");
        d.btnEditGroup()->click();
        EXPECT_EQ(d.Pages()->currentIndex(), 1);
        EXPECT_EQ(d.btnOK()->text(), "Apply");
        EXPECT_FALSE(d.btnReset()->isVisible());
        EXPECT_TRUE(d.edtName()->isReadOnly());
        EXPECT_TRUE(d.btnAdd()->isEnabled());
        Select(d.lstAvailable(), "Mail");
        d.btnAdd()->click();
        Keys::Enter(*d.lstMembers()); // Apply
        EXPECT_EQ(d.Pages()->currentIndex(), 0);
        EXPECT_EQ(d.btnOK()->text(), "OK");
        Keys::Enter(*d.lstGroups()); // OK
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(m_groups.GetValue("Favorites"), "Care\r\nMail\r\n");
    EXPECT_FALSE(m_groups.PresetText.empty()) << "the preset stays with the layout";
}

TEST_F(GroupsDialogTest, APresetGroupOffersNoAddOrRemove)
{
    Run([](TfrmGroups& d) {
        Select(d.lstGroups(), "Daily Work");
        d.btnEditGroup()->click();
        EXPECT_FALSE(d.btnAdd()->isEnabled());
        EXPECT_FALSE(d.btnRemove()->isEnabled());
        EXPECT_EQ(d.lstMembers()->count(), 2) << "Archive is dropped";
        Select(d.lstMembers(), "Care");
        emit d.lstMembers()->itemDoubleClicked(d.lstMembers()->currentItem());
        EXPECT_EQ(d.lstMembers()->count(), 2);
        Keys::Escape(*d.lstMembers());
        Keys::Escape(*d.lstGroups());
    });
}

TEST_F(GroupsDialogTest, ResetThenCancelLeavesTheLayoutAsItWas)
{
    const std::string before = m_groups.AsText();
    const bool ok = Run([](TfrmGroups& d) {
        d.btnReset()->click();
        EXPECT_EQ(d.lstGroups()->count(), 2);
        Keys::Escape(*d.lstGroups());
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(m_groups.AsText(), before);
}

TEST_F(GroupsDialogTest, ANameWithEqualsIsRefusedSilently)
{
    const bool ok = Run([](TfrmGroups& d) {
        d.btnAddGroup()->click();
        EXPECT_EQ(d.edtName()->text(), "NewGroup1");
        EXPECT_FALSE(d.edtName()->isReadOnly());
        d.edtName()->selectAll();
        Keys::Type(*d.edtName(), "Night=Shift");
        Select(d.lstAvailable(), "Care");
        emit d.lstAvailable()->itemDoubleClicked(d.lstAvailable()->currentItem());
        Keys::Enter(*d.edtName()); // Apply
        EXPECT_EQ(d.Pages()->currentIndex(), 0);
        ASSERT_EQ(d.lstGroups()->count(), 4);
        EXPECT_EQ(d.lstGroups()->item(3)->text(), "NewGroup1");
        EXPECT_TRUE(d.Editor().GroupLines()[3].Custom) << "drawn bold";
        Keys::Enter(*d.lstGroups());
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(m_groups.GetValue("NewGroup1"), "Care\r\n");
    EXPECT_EQ(m_groups.Find("Night"), -1);
}

TEST_F(GroupsDialogTest, UntickingAGroupHidesIt)
{
    const bool ok = Run([](TfrmGroups& d) {
        d.lstGroups()->item(0)->setCheckState(Qt::Unchecked);
        d.lstGroups()->item(2)->setCheckState(Qt::Checked);
        Select(d.lstGroups(), "Mine");
        d.btnMoveUp()->click();
        EXPECT_EQ(d.lstGroups()->currentRow(), 0);
        Keys::Enter(*d.lstGroups());
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(m_groups.GetNames(), "Mine\r\nDaily Work\r\nFavorites\r\n");
    EXPECT_EQ(VisibleOf(m_groups), (std::vector<bool>{true, false, true}));
}
