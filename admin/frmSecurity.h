#pragma once
// `TfrmSecurity`, the rights editor: the menu tree of all modules with the
// role's level and attributes on each secured item; saves the role's rights
// blob and the list of modules the role reaches. The form's Tag becomes 100
// when the rights were saved.

#include "admin/AdminForms.h"
#include "admin/RightsRules.h"
#include "platform/Forms.h"
#include "platform/ImageList.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class TovnOndrelQuery;

class TfrmSecurity : public TAdminDialog
{
  public:
    explicit TfrmSecurity(TAdminContext Context, QWidget* Parent = nullptr);
    ~TfrmSecurity() override;
    std::string ClassName() const override { return "TfrmSecurity"; }

    // Handed over by the opener before showing.
    std::string RoleCounter;
    std::string EnterpriseCounter;
    std::string AliasCounter;

    void LoadIcons();
    void BuildTree();
    // The tree of menu rows already read (BuildTree reads them from the
    // server), and the rights it is drawn with.
    void ShowMenu(const std::vector<TMenuRow>& Rows);
    void SetRights(const TRights& Role, const TRights& Max, bool Editable);
    void SelectionChanged();
    // The click of a level button (Level 0-3) or of an attribute box (-1).
    void ControlClick(int Level);
    void Save();
    // Enter, F1-F4 as the form sees them; answers whether it took the key.
    bool FormKey(int Key);
    void Collapse();
    void CollapseAll();

    bool Editable() const { return m_editable; }
    const TRights& RoleRights() const { return m_roleRights; }
    const TRights& MaxRights() const { return m_maxRights; }
    const TMenuTree& Tree() const { return m_tree; }
    // The node of a tree item (null for none).
    const TMenuNode* NodeOf(QTreeWidgetItem* Item) const;
    QTreeWidgetItem* ItemOf(const TMenuNode* Node) const;
    int IconCount() const { return m_images.Count(); }
    // The triangle of the administrator's own level is drawn (not for "SYS").
    bool ShowsMaxLevel() const { return Context().Admin.UserType != "SYS"; }

    QTreeWidget* tvMenu;
    QGroupBox* grpAttributes;
    std::array<QCheckBox*, 6> chkAttr{};
    // By level: [0] "[F1] No Access" ... [3] "[F4] Full Access".
    std::array<QRadioButton*, 4> rbLevel{};
    QWidget* Legend;
    QPushButton* btnCollapse;
    QPushButton* btnCollapseAll;
    QPushButton* btnOK;
    QPushButton* btnClose;
    std::unique_ptr<TovnOndrelQuery> tblRole;

  protected:
    void Load() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void AddItems(const std::vector<std::unique_ptr<TMenuNode>>& Nodes, QTreeWidgetItem* Parent);
    uint8_t BoxAttributes() const;
    int CheckedLevel() const;
    const TMenuNode* Selected() const;

    TRights m_roleRights;
    TRights m_maxRights;
    TMenuTree m_tree;
    TCustomImageList m_images{16, 16};
    std::vector<int32_t> m_iconKeys;
    std::unordered_map<QTreeWidgetItem*, const TMenuNode*> m_nodes;
    bool m_editable = false;
    bool m_updating = false;
};
