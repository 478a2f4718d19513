#include "Components/Controller/applets/ModuleGroups.h"

#include "platform/SysUtils.h"

#include <algorithm>

namespace {

const char* const kFavorites = "Favorites";
const char* const kHideEntry = "$HIDE";

// The comma text reader takes anything: a layout cut short (an open quote
// running to the end) or an item that is no "Name=members" line would
// come back as groups nobody made. Such a text is refused as a whole.
void CheckLayoutText(const std::string& Text, const char* What)
{
    auto broken = [&](const std::string& why) {
        throw EConvertError(Format("The %s module groups layout is broken: %s", What, why.c_str()));
    };
    size_t i = 0;
    const size_t n = Text.size();
    while (true) {
        while (i < n && static_cast<unsigned char>(Text[i]) <= ' ')
            ++i;
        if (i >= n)
            return;
        std::string item;
        if (Text[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (Text[i] == '"') {
                    if (i + 1 < n && Text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                item += Text[i++];
            }
            if (!closed)
                broken("a quoted group runs to the end of the text");
        } else {
            while (i < n && Text[i] != ',' && static_cast<unsigned char>(Text[i]) > ' ')
                item += Text[i++];
        }
        if (item.find('=') == std::string::npos)
            broken("\"" + item + "\" is no group");
        while (i < n && static_cast<unsigned char>(Text[i]) <= ' ')
            ++i;
        if (i < n && Text[i] == ',')
            ++i;
    }
}

std::vector<std::string> MemberList(const std::string& Text)
{
    TStringList lines;
    lines.SetText(Text);
    std::vector<std::string> members;
    for (int i = 0; i < lines.Count(); ++i)
        members.push_back(lines[i]);
    return members;
}

std::string MemberText(const std::vector<std::string>& Members)
{
    std::string text;
    for (const std::string& member : Members)
        text += member + "\r\n";
    return text;
}

bool ListedIgnoringCase(const std::vector<std::string>& List, const std::string& Text)
{
    return std::any_of(List.begin(), List.end(), [&](const std::string& s) { return AnsiSameText(s, Text); });
}

bool InRange(int Index, size_t Size)
{
    return Index >= 0 && static_cast<size_t>(Index) < Size;
}

} // namespace

void MergeModulesLayout(TNamedList& Groups, const std::string& Preset, const std::string& User)
{
    CheckLayoutText(Preset, "preset");
    CheckLayoutText(User, "user's");
    Groups.SetAsText(Preset);
    if (Groups.Find("General") >= 0)
        Groups.AddValueTo("General", "System");
    Groups.PresetText = Preset;
    Groups.UpdateAsString(User);
}

std::string SqlStringLiteral(const std::string& Text)
{
    return QuotedStr(Text);
}

TModulesLayoutSql ModulesLayoutSql(const std::string& Layout, const std::string& UserID)
{
    return {"INSERT INTO TBL_USERMODULEGROUP (USER_ID) VALUES (" + SqlStringLiteral(UserID) + ")",
            Format("UPDATE TBL_USERMODULEGROUP SET MODULES = utl_raw.cast_to_raw(%s) WHERE USER_ID = %s",
                   SqlStringLiteral(Layout).c_str(), SqlStringLiteral(UserID).c_str())};
}

bool GroupNameStorable(const std::string& Name)
{
    return Name.find('=') == std::string::npos && !AnsiSameText(Name, kHideEntry);
}

// ---------------------------------------------------------------------------
// TGroupsEditor

void TGroupsEditor::Setup(const TNamedList& Groups, const TStrings& AllModules)
{
    m_caller.Assign(&Groups);
    m_presetText = Groups.PresetText;
    m_caller.PresetText = m_presetText;
    m_available.clear();
    for (int i = 0; i < AllModules.Count(); ++i)
        m_available.push_back(AllModules[i]);
    m_hasPreset = !Trim(m_presetText).empty();
    m_page = 0;
    m_editIndex = -1;
    BuildLists(true);
}

void TGroupsEditor::BuildLists(bool Copy)
{
    TNamedList preset;
    preset.SetAsText(m_presetText);
    m_presetSet.clear();
    for (int i = 0; i < preset.Count(); ++i) {
        const std::string name = AnsiUpperCase(preset.GetName(i));
        m_presetSet.insert(name);
        for (const std::string& member : MemberList(preset.GetValue(i)))
            m_presetSet.insert(name + "=" + AnsiUpperCase(member));
    }
    m_edited.Assign(&preset);
    if (Copy)
        m_edited.Assign(&m_caller);
}

bool TGroupsEditor::IsPresetGroup(const std::string& Name) const
{
    return m_presetSet.count(AnsiUpperCase(Name)) > 0;
}

bool TGroupsEditor::IsPresetMember(const std::string& Group, const std::string& Member) const
{
    return m_presetSet.count(AnsiUpperCase(Group) + "=" + AnsiUpperCase(Member)) > 0;
}

std::vector<TGroupsEditor::TLine> TGroupsEditor::GroupLines() const
{
    std::vector<TLine> lines;
    for (int i = 0; i < m_edited.Count(); ++i) {
        const std::string name = m_edited.GetName(i);
        lines.push_back({name, m_edited.GetVisible(i), !IsPresetGroup(name)});
    }
    return lines;
}

void TGroupsEditor::AddGroup()
{
    m_edited.NewValue();
    EditGroup(m_edited.Count() - 1);
}

void TGroupsEditor::RemoveGroup(int Index)
{
    if (InRange(Index, static_cast<size_t>(m_edited.Count())))
        m_edited.Remove(Index);
}

void TGroupsEditor::SetVisible(int Index, bool Value)
{
    if (InRange(Index, static_cast<size_t>(m_edited.Count())))
        m_edited.SetVisible(Index, Value);
}

int TGroupsEditor::MoveGroup(int Index, int Delta)
{
    const int target = Index + Delta;
    if (!InRange(Index, static_cast<size_t>(m_edited.Count())) ||
        !InRange(target, static_cast<size_t>(m_edited.Count())))
        return Index;
    m_edited.Move(Index, target);
    return target;
}

void TGroupsEditor::Reset()
{
    BuildLists(false);
}

void TGroupsEditor::EditGroup(int Index)
{
    if (!InRange(Index, static_cast<size_t>(m_edited.Count())))
        return;
    m_editIndex = Index;
    m_name = m_edited.GetName(Index);
    m_nameModified = false;
    const bool preset = IsPresetGroup(m_name);
    m_canChange = !preset || AnsiSameText(m_name, kFavorites);
    m_nameReadOnly = preset;
    m_members.clear();
    for (const std::string& member : MemberList(m_edited.GetValue(Index))) {
        if (!m_canChange && !IsPresetMember(m_name, member))
            continue;
        if (!ListedIgnoringCase(m_available, member))
            continue;
        m_members.push_back(member);
    }
    m_page = 1;
}

void TGroupsEditor::SetGroupName(const std::string& Name)
{
    if (m_nameReadOnly || Name == m_name)
        return;
    m_name = Name;
    m_nameModified = true;
}

std::vector<TGroupsEditor::TLine> TGroupsEditor::MemberLines() const
{
    std::vector<TLine> lines;
    const std::string group = m_editIndex >= 0 ? m_edited.GetName(m_editIndex) : std::string();
    for (const std::string& member : m_members)
        lines.push_back({member, true, !IsPresetMember(group, member)});
    return lines;
}

void TGroupsEditor::AddMember(int AvailableIndex)
{
    if (m_page != 1 || !m_canChange || !InRange(AvailableIndex, m_available.size()))
        return;
    const std::string& module = m_available[static_cast<size_t>(AvailableIndex)];
    if (!ListedIgnoringCase(m_members, module))
        m_members.push_back(module);
}

void TGroupsEditor::RemoveMember(int Index)
{
    if (m_page == 1 && m_canChange && InRange(Index, m_members.size()))
        m_members.erase(m_members.begin() + Index);
}

int TGroupsEditor::MoveMember(int Index, int Delta)
{
    const int target = Index + Delta;
    if (!InRange(Index, m_members.size()) || !InRange(target, m_members.size()))
        return Index;
    std::swap(m_members[static_cast<size_t>(Index)], m_members[static_cast<size_t>(target)]);
    return target;
}

void TGroupsEditor::Apply()
{
    if (m_page != 1)
        return;
    if (m_nameModified && GroupNameStorable(m_name))
        m_edited.SetName(m_editIndex, m_name);
    m_edited.SetValue(m_editIndex, MemberText(m_members));
    CancelEdit();
}

void TGroupsEditor::CancelEdit()
{
    m_page = 0;
    m_nameModified = false;
}
