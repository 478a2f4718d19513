#include "admin/RightsRules.h"

#include "base/KldLogFile.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <map>
#include <set>

const char* const LevelCaptions[4] = {"[F1] No Access", "[F2] View Only", "[F3] Change & View", "[F4] Full Access"};
// Red, blue, $7FFFFF and $00FF55 (TColor: blue in the high byte).
const uint32_t LevelColors[4] = {0x0000FF, 0xFF0000, 0x7FFFFF, 0x00FF55};

uint8_t RightsByte(const TRights& Rights, int32_t Index)
{
    if (Index < 0 || static_cast<size_t>(Index) >= Rights.size())
        return 0;
    return static_cast<uint8_t>(Rights[static_cast<size_t>(Index)]);
}

void GrowRights(TRights& Rights, int32_t Index)
{
    if (Index >= 0 && Index <= MaxSecurityIndex && static_cast<size_t>(Index) >= Rights.size())
        Rights.resize(static_cast<size_t>(Index) + 1, '\0');
}

void WriteRightsByte(TRights& Rights, int32_t Index, uint8_t Attributes, int Level, int Cap)
{
    if (Index < 0 || Index > MaxSecurityIndex)
        return;
    GrowRights(Rights, Index);
    const int level = std::clamp(std::min(Cap, Level), 0, 3);
    Rights[static_cast<size_t>(Index)] = static_cast<char>((Attributes & 0x3F) + 64 * level);
}

int RightsCap(const TAdministrator& Admin, const TRights& MaxRights, int32_t Index)
{
    if (Admin.UserType != "MGR")
        return 3;
    return RightsLevel(RightsByte(MaxRights, Index));
}

namespace {

// A manager may hand on the role's byte on an index.
bool ManagerMayShow(uint8_t Mine, uint8_t Role)
{
    if (Mine < 0x40)
        return false;
    if (RightsLevel(Mine) < RightsLevel(Role))
        return false;
    return (Role & 0x3F & ~Mine) == 0;
}

using TNodes = std::vector<std::unique_ptr<TMenuNode>>;

// Prunes a run of siblings: a secured node stays with its descendants; any
// other one has its children pruned and goes when none is left. Removed
// nodes move to Graveyard, so that pointers to them stay comparable.
void PruneRun(TNodes& Run, TNodes& Graveyard)
{
    for (size_t i = 0; i < Run.size();) {
        TMenuNode& node = *Run[i];
        if (!node.HasItem) {
            PruneRun(node.Children, Graveyard);
            if (node.Children.empty()) {
                Graveyard.push_back(std::move(Run[i]));
                Run.erase(Run.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
        }
        ++i;
    }
}

bool Alive(const TMenuNode* Node, const std::set<const TMenuNode*>& Removed)
{
    return Node && !Removed.count(Node);
}

void CollectRemoved(const TNodes& Graveyard, std::set<const TMenuNode*>& Removed)
{
    std::vector<const TMenuNode*> stack;
    for (const auto& node : Graveyard)
        stack.push_back(node.get());
    while (!stack.empty()) {
        const TMenuNode* node = stack.back();
        stack.pop_back();
        if (!Removed.insert(node).second)
            continue;
        for (const auto& child : node->Children)
            stack.push_back(child.get());
    }
}

void Walk(const TNodes& Nodes, std::vector<TMenuNode*>& Out)
{
    for (const auto& node : Nodes) {
        Out.push_back(node.get());
        Walk(node->Children, Out);
    }
}

bool AnyViewed(const TNodes& Nodes, const TRights& Rights)
{
    for (const auto& node : Nodes) {
        if (node->HasItem && RightsLevel(RightsByte(Rights, node->SecurityIndex)) >= 1)
            return true;
        if (AnyViewed(node->Children, Rights))
            return true;
    }
    return false;
}

} // namespace

TMenuTree BuildMenuTree(const std::vector<TMenuRow>& Rows, const TAdministrator& Admin, const TRights& RoleRights,
                        const TRights& MaxRights)
{
    TMenuTree tree;
    TNodes graveyard;
    std::set<const TMenuNode*> removed;
    std::map<int32_t, TMenuNode*> lastOfLevel;
    const bool manager = Admin.UserType == "MGR";

    auto pruneLastRoot = [&](bool KeepSecured) {
        if (tree.Roots.empty())
            return;
        TMenuNode& root = *tree.Roots.back();
        if (KeepSecured && root.HasItem)
            return;
        PruneRun(root.Children, graveyard);
        if (root.Children.empty()) {
            graveyard.push_back(std::move(tree.Roots.back()));
            tree.Roots.pop_back();
        }
        CollectRemoved(graveyard, removed);
    };

    for (const TMenuRow& row : Rows) {
        if (row.Level == 0)
            tree.Modules.push_back(row.Module);
        const std::string caption = row.Description.empty() ? row.ResourceDescription : row.Description;
        if (row.SecurityIndex && (*row.SecurityIndex < 0 || *row.SecurityIndex > MaxSecurityIndex)) {
            tree.Skipped.push_back(caption);
            Log.Error(Format("Menu item \"%s\" skipped: security index %d out of range", caption,
                             *row.SecurityIndex),
                      "ADMIN");
            continue;
        }
        if (manager && row.SecurityIndex &&
            !ManagerMayShow(RightsByte(MaxRights, *row.SecurityIndex), RightsByte(RoleRights, *row.SecurityIndex)))
            continue;

        TMenuNode* parent = nullptr;
        if (row.Level > 0) {
            auto found = lastOfLevel.find(row.Level - 1);
            if (found != lastOfLevel.end() && Alive(found->second, removed))
                parent = found->second;
        }
        if (!parent)
            pruneLastRoot(false);

        auto node = std::make_unique<TMenuNode>();
        node->Caption = caption;
        node->Module = row.Module;
        node->ImageIndex = row.ImageIndex;
        node->HasItem = row.SecurityIndex.has_value();
        node->SecurityIndex = row.SecurityIndex.value_or(0);
        node->Attributes = row.Attributes;
        node->Parent = parent;
        TMenuNode* added = node.get();
        (parent ? parent->Children : tree.Roots).push_back(std::move(node));
        lastOfLevel[row.Level] = added;
    }
    pruneLastRoot(true);
    return tree;
}

std::vector<TMenuNode*> TreeOrder(const TMenuTree& Tree)
{
    std::vector<TMenuNode*> nodes;
    Walk(Tree.Roots, nodes);
    return nodes;
}

TSelectionState SelectionState(const TMenuNode& Node, TRights& RoleRights, const TAdministrator& Admin,
                               const TRights& MaxRights)
{
    TSelectionState state;
    if (!Node.HasItem)
        return state;
    for (int a = 0; a < 6; ++a)
        if (!Node.Attributes[static_cast<size_t>(a)].empty()) {
            state.AttrCaptions[static_cast<size_t>(a)] = Node.Attributes[static_cast<size_t>(a)];
            state.AttrEnabled[static_cast<size_t>(a)] = true;
        }
    GrowRights(RoleRights, Node.SecurityIndex);
    const uint8_t byte = RightsByte(RoleRights, Node.SecurityIndex);
    state.CheckedLevel = RightsLevel(byte);
    for (int a = 0; a < 6; ++a)
        if (state.AttrEnabled[static_cast<size_t>(a)])
            state.AttrChecked[static_cast<size_t>(a)] = (byte >> (5 - a)) & 1;
    for (const TMenuNode* up = Node.Parent; up; up = up->Parent)
        if (up->HasItem) {
            if (RightsLevel(RightsByte(RoleRights, up->SecurityIndex)) == 0)
                state.LevelEnabled[1] = state.LevelEnabled[2] = state.LevelEnabled[3] = false;
            break;
        }
    if (Admin.UserType != "SYS") {
        const uint8_t mine = RightsByte(MaxRights, Node.SecurityIndex);
        if (mine < 0xC0)
            state.LevelEnabled[3] = false;
        if (!(mine & 0x80))
            state.LevelEnabled[2] = false;
        for (int a = 0; a < 6; ++a)
            if (!((mine >> (5 - a)) & 1))
                state.AttrEnabled[static_cast<size_t>(a)] = false;
    }
    return state;
}

namespace {

void WriteDescendants(const TMenuNode& Node, int Level, TRights& RoleRights, const TAdministrator& Admin,
                      const TRights& MaxRights)
{
    for (const auto& child : Node.Children) {
        if (child->HasItem) {
            const uint8_t kept = RightsByte(RoleRights, child->SecurityIndex) & 0x3F;
            WriteRightsByte(RoleRights, child->SecurityIndex, kept, Level,
                            RightsCap(Admin, MaxRights, child->SecurityIndex));
        }
        WriteDescendants(*child, Level, RoleRights, Admin, MaxRights);
    }
}

} // namespace

void ApplyLevel(const TMenuNode& Node, int Level, uint8_t Attributes, TRights& RoleRights, const TAdministrator& Admin,
                const TRights& MaxRights)
{
    WriteDescendants(Node, Level, RoleRights, Admin, MaxRights);
    if (Node.HasItem)
        ApplyAttributes(Node, Level, Attributes, RoleRights, Admin, MaxRights);
}

void ApplyAttributes(const TMenuNode& Node, int Level, uint8_t Attributes, TRights& RoleRights,
                     const TAdministrator& Admin, const TRights& MaxRights)
{
    if (!Node.HasItem)
        return;
    WriteRightsByte(RoleRights, Node.SecurityIndex, Attributes, Level, RightsCap(Admin, MaxRights, Node.SecurityIndex));
}

TLines RoleModulesScript(const std::string& RoleCounter, const TMenuTree& Tree, const TRights& RoleRights)
{
    TLines lines = {"DELETE FROM TBL_ROLEMODULES WHERE C_ROLE = " + RoleCounter + ";"};
    for (const auto& root : Tree.Roots)
        if (AnyViewed(root->Children, RoleRights))
            lines.push_back("INSERT INTO TBL_ROLEMODULES VALUES(" + RoleCounter + "," + std::to_string(root->Module) +
                            ");");
    return lines;
}

TLines SecurityRoleSQL(const TAdministrator& Admin, const std::string& RoleCounter, const std::string& AliasCounter)
{
    TLines lines = {"SELECT T1.*, 'A' AS SRT", "FROM TBL_ROLES T1", "WHERE COUNTER = " + RoleCounter};
    if (Admin.UserType == "MGR") {
        TLines more = {"",
                       "UNION ALL",
                       "",
                       "SELECT T2.*, 'Z' AS SRT",
                       "FROM TBL_ROLES T2, TBL_USERDBACCESS T3",
                       "WHERE (T3.C_ROLE = T2.COUNTER) AND",
                       "(T3.C_USER = " + std::to_string(Admin.Counter) + ") AND",
                       "(T2.C_ALIAS = " + AliasCounter + ")"};
        lines.insert(lines.end(), more.begin(), more.end());
    }
    return lines;
}

TLines MenuQuerySQL()
{
    return {"SELECT T1.*,",
            "T2.DESCRIPTION AS RESOURCE_DESCRIPTION,",
            "T3.MODULE,",
            "T2.SECURITY_INDEX,",
            "T2.ATTRIBUTE1, ATTRIBUTE2, ATTRIBUTE3,",
            "T2.ATTRIBUTE4, ATTRIBUTE5, ATTRIBUTE6",
            "FROM TBL_MODULES T3,",
            "TBL_MENU T1 LEFT OUTER JOIN TBL_RESOURCES T2",
            "ON T1.C_RESOURCE = T2.COUNTER",
            "WHERE (T1.C_MODULE = T3.COUNTER) AND ",
            "(T3.CURRENT_USE = 'T')",
            "ORDER BY T1.SEQUENCE"};
}

std::string IconQuerySQL(const std::string& OS)
{
    return "SELECT DISTINCT TB.C_RESOURCE, TB.C_RESOURCE AS C_RESOURCE2, TB.FILE_NAME\r\n"
           "FROM TBL_MENU TM, TBL_BIN TB, TBL_RESOURCES TR\r\n"
           "WHERE (TM.C_ICON_RESOURCE = TB.C_RESOURCE) AND\r\n"
           "(TB.C_RESOURCE = TR.COUNTER) AND\r\n"
           "(TB.OS = " +
           QuotedSQL(OS) + ")";
}

TIconKind IconKind(const std::string& Head)
{
    if (Head.size() >= 4 && Head.compare(1, 3, "PNG") == 0)
        return ikPNG;
    if (Head.size() >= 2 && Head.compare(0, 2, "BM") == 0)
        return ikBMP;
    return ikNone;
}
