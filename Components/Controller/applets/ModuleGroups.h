#pragma once
// The module groups of a database: the layout the main window uses (the
// database's preset merged with the user's own layout), the statements that
// store the user's layout, and the rules of the groups editor (`TfrmGroups`
// shows them). Plain classes: no widgets, no server.
//
// A layout is a TNamedList in its text form (ui/ovnNamedList.h). The preset
// is read-only for the user but for the group "Favorites": its groups keep
// their names, and their members can only be reordered.

#include "ui/ovnNamedList.h"

#include <set>
#include <string>
#include <vector>

// Groups := the preset with the module "System" put into the group
// "General" (when that group exists); PresetText := the preset as it came;
// then the user's layout merged in (the user's members first, the user's
// own groups added, the user's hidden flags and order). A text that cannot
// be read raises the string list's error.
void MergeModulesLayout(TNamedList& Groups, const std::string& Preset, const std::string& User);

// The text in single quotes, every single quote inside doubled.
std::string SqlStringLiteral(const std::string& Text);

// The two statements that store Layout (a text form) as UserID's row of
// TBL_USERMODULEGROUP: the INSERT of the row (fails when it exists) and the
// UPDATE of its MODULES bytes.
struct TModulesLayoutSql
{
    std::string Insert;
    std::string Update;
};
TModulesLayoutSql ModulesLayoutSql(const std::string& Layout, const std::string& UserID);

// Whether a group may be called Name: the text form cannot carry a name
// with "=" (it would come back split) nor one called "$HIDE" (the entry
// that carries the hidden flags: the group would vanish).
bool GroupNameStorable(const std::string& Name);

// The editor's state and rules. Page 0 lists the groups (ticked when
// visible, bold when custom); page 1 edits one group's name and members.
class TGroupsEditor
{
  public:
    struct TLine
    {
        std::string Text;
        bool Checked = false; // page 0: the group is visible
        bool Custom = false;  // drawn bold
    };

    // Takes a fresh copy of Groups (the caller's layout, with its
    // PresetText) and AllModules (one module per line).
    void Setup(const TNamedList& Groups, const TStrings& AllModules);
    // The preset set and the edited copy from the preset layout; with
    // Copy, the copy then becomes the caller's layout.
    void BuildLists(bool Copy);

    int Page() const { return m_page; }
    const TNamedList& Edited() const { return m_edited; }
    const std::vector<std::string>& Available() const { return m_available; }
    // "Reset" is offered: the preset is not empty and page 0 shows.
    bool ResetVisible() const { return m_hasPreset && m_page == 0; }
    bool IsPresetGroup(const std::string& Name) const;
    bool IsPresetMember(const std::string& Group, const std::string& Member) const;

    // --- Page 0
    std::vector<TLine> GroupLines() const;
    // Appends "NewGroup%d" (the first free) and opens it for editing.
    void AddGroup();
    void RemoveGroup(int Index);
    void SetVisible(int Index, bool Value);
    // The selection after the move (unchanged when nothing moved).
    int MoveGroup(int Index, int Delta);
    void Reset();
    // Opens group Index on page 1; nothing for a bad index.
    void EditGroup(int Index);

    // --- Page 1
    int EditIndex() const { return m_editIndex; }
    const std::string& GroupName() const { return m_name; }
    bool NameModified() const { return m_nameModified; }
    void SetGroupName(const std::string& Name);
    bool NameReadOnly() const { return m_nameReadOnly; }
    bool CanChangeMembers() const { return m_canChange; }
    const std::vector<std::string>& Members() const { return m_members; }
    std::vector<TLine> MemberLines() const;
    // Appends the available module unless listed already (members may change).
    void AddMember(int AvailableIndex);
    void RemoveMember(int Index);
    int MoveMember(int Index, int Delta);
    // Renames (a name another group has, or one the text form cannot
    // carry, keeps the old name), takes the members, back to page 0.
    void Apply();
    // Back to page 0, nothing applied.
    void CancelEdit();

  private:
    std::string m_presetText;
    bool m_hasPreset = false;
    TNamedList m_caller;
    TNamedList m_edited;
    std::set<std::string> m_presetSet;
    std::vector<std::string> m_available;
    int m_page = 0;
    int m_editIndex = -1;
    std::string m_name;
    bool m_nameModified = false;
    bool m_nameReadOnly = false;
    bool m_canChange = false;
    std::vector<std::string> m_members;
};
