#pragma once
// The rights of a role: one byte per menu security index (level in bits
// 7-6: none, view, change, full; attributes A1..A6 in bits 5..0), the menu
// tree that the rights editor shows with the pruning of unsecured branches
// and a manager's filter, the state of the level and attribute boxes for a
// selected item, and the statements of the editor.

#include "Components/Controller/ovnAdmin.h"
#include "admin/UserListRules.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The highest security index an item may have; a blob grows to hold the
// byte of an item, so an index beyond it is refused.
constexpr int32_t MaxSecurityIndex = 65535;

// Rights bytes; a byte beyond the end counts as 0.
using TRights = std::string;
uint8_t RightsByte(const TRights& Rights, int32_t Index);
// Grows Rights with zero bytes to cover Index.
void GrowRights(TRights& Rights, int32_t Index);
inline int RightsLevel(uint8_t Byte)
{
    return Byte >> 6;
}
// Byte Index := Attributes (bits 5..0) + 64 * min(Cap, Level).
void WriteRightsByte(TRights& Rights, int32_t Index, uint8_t Attributes, int Level, int Cap);
// The cap of a level for an admin: 3, or for a "MGR" admin his own level on
// the index (0 beyond his blob).
int RightsCap(const TAdministrator& Admin, const TRights& MaxRights, int32_t Index);

// The level captions and colours (TColor values) of the level buttons.
extern const char* const LevelCaptions[4];
extern const uint32_t LevelColors[4];

// A menu row as the rights editor reads it.
struct TMenuRow
{
    int32_t Level = 0;
    std::string Description;
    std::string ResourceDescription;
    std::optional<int32_t> SecurityIndex;
    std::array<std::string, 6> Attributes;
    int32_t Module = 0;
    int32_t ImageIndex = -1;
};

struct TMenuNode
{
    std::string Caption;
    int32_t Module = 0;
    int32_t ImageIndex = -1;
    bool HasItem = false; // carries a role item (a secured row)
    int32_t SecurityIndex = 0;
    std::array<std::string, 6> Attributes;
    TMenuNode* Parent = nullptr;
    std::vector<std::unique_ptr<TMenuNode>> Children;
};

struct TMenuTree
{
    std::vector<std::unique_ptr<TMenuNode>> Roots;
    // The C_MODULE of every row of level 0, in row order.
    std::vector<int32_t> Modules;
    // Texts of rows skipped for their security index.
    std::vector<std::string> Skipped;
};

// Builds the tree from the rows in order. For a "MGR" admin a row whose
// index the manager may not hand on (his byte below $40, his level below
// the role's or an attribute of the role he lacks) is skipped. Branches
// without a secured item are pruned.
TMenuTree BuildMenuTree(const std::vector<TMenuRow>& Rows, const TAdministrator& Admin, const TRights& RoleRights,
                        const TRights& MaxRights);
// Nodes in tree order (depth first).
std::vector<TMenuNode*> TreeOrder(const TMenuTree& Tree);

// The boxes of the selected item.
struct TSelectionState
{
    std::array<bool, 4> LevelEnabled{true, true, true, true}; // index = level
    int CheckedLevel = -1; // -1: none (no item)
    std::array<bool, 6> AttrEnabled{};
    std::array<bool, 6> AttrChecked{};
    std::array<std::string, 6> AttrCaptions{"N/A", "N/A", "N/A", "N/A", "N/A", "N/A"};
};
// Grows RoleRights to cover the node's index.
TSelectionState SelectionState(const TMenuNode& Node, TRights& RoleRights, const TAdministrator& Admin,
                               const TRights& MaxRights);
// A level click: every secured descendant takes Level with its attributes
// kept; the node itself (when secured) takes Level and Attributes.
void ApplyLevel(const TMenuNode& Node, int Level, uint8_t Attributes, TRights& RoleRights, const TAdministrator& Admin,
                const TRights& MaxRights);
// An attribute click: the node's byte from the boxes and the checked level.
void ApplyAttributes(const TMenuNode& Node, int Level, uint8_t Attributes, TRights& RoleRights,
                     const TAdministrator& Admin, const TRights& MaxRights);

// The script that rewrites the role's modules: one row for each top-level
// node with a descendant of level 1 or more.
TLines RoleModulesScript(const std::string& RoleCounter, const TMenuTree& Tree, const TRights& RoleRights);

// The statements of the rights editor.
TLines SecurityRoleSQL(const TAdministrator& Admin, const std::string& RoleCounter, const std::string& AliasCounter);
TLines MenuQuerySQL();
std::string IconQuerySQL(const std::string& OS);
// Whether file bytes are a PNG ("PNG" at the second position) or a bitmap ("BM").
enum TIconKind
{
    ikNone,
    ikPNG,
    ikBMP
};
TIconKind IconKind(const std::string& Head);
