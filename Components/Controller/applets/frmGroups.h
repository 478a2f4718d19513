#pragma once
// The module groups editor "Groups" (unit frmGroups) and `DoManageGroups`.
//
// Two pages without tabs. Page 0 lists the groups as a check list (ticked =
// shown, bold = the user's own group) with "Add Group", "Remove Group",
// "Edit Group" (or a double click), "Move Up" and "Move Down". Page 1 edits
// one group: its name (read-only for the database's preset groups), its
// members with "Up" and "Dn", "<<" and ">>" (or a double click in a list)
// to add the selected available module or drop the selected member (only
// for the user's own groups and "Favorites"). Below the pages "OK" (it
// reads "Apply" on page 1 and goes back to page 0), "Cancel" (on page 1:
// back to page 0, nothing applied) and "Reset" (the preset layout again;
// only on page 0 and when the database has a preset).
//
// The rules are TGroupsEditor's (ModuleGroups.h); the dialog shows them.

#include "Components/Controller/applets/ModuleGroups.h"
#include "platform/Forms.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

class TfrmGroups : public TDialogForm
{
  public:
    explicit TfrmGroups(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmGroups"; }

    // The editor over a copy of Groups, AllModules the available modules.
    void Setup(const TNamedList& Groups, const TStrings& AllModules);
    TGroupsEditor& Editor() { return m_editor; }
    // Shows the editor's state again (selections kept where they can be).
    void Refresh();

    QStackedWidget* Pages() const { return m_pages; }
    QListWidget* lstGroups() const { return m_lstGroups; }
    QListWidget* lstMembers() const { return m_lstMembers; }
    QListWidget* lstAvailable() const { return m_lstAvailable; }
    QLineEdit* edtName() const { return m_edtName; }
    QPushButton* btnAddGroup() const { return m_btnAddGroup; }
    QPushButton* btnRemoveGroup() const { return m_btnRemoveGroup; }
    QPushButton* btnEditGroup() const { return m_btnEditGroup; }
    QPushButton* btnMoveUp() const { return m_btnMoveUp; }
    QPushButton* btnMoveDown() const { return m_btnMoveDown; }
    QPushButton* btnUp() const { return m_btnUp; }
    QPushButton* btnDn() const { return m_btnDn; }
    QPushButton* btnAdd() const { return m_btnAdd; }
    QPushButton* btnRemove() const { return m_btnRemove; }
    QPushButton* btnOK() const { return m_btnOK; }
    QPushButton* btnCancel() const { return m_btnCancel; }
    QPushButton* btnReset() const { return m_btnReset; }

  protected:
    // "OK" and "Cancel" on page 1 only leave the page.
    void CloseQuery(bool& CanClose) override;

  private:
    void EditSelected();
    void AddSelectedModule();
    void RemoveSelectedMember();
    void MoveGroup(int Delta);
    void MoveMember(int Delta);
    void TakeTicks();

    TGroupsEditor m_editor;
    QStackedWidget* m_pages = nullptr;
    QListWidget* m_lstGroups = nullptr;
    QListWidget* m_lstMembers = nullptr;
    QListWidget* m_lstAvailable = nullptr;
    QLineEdit* m_edtName = nullptr;
    QPushButton* m_btnAddGroup = nullptr;
    QPushButton* m_btnRemoveGroup = nullptr;
    QPushButton* m_btnEditGroup = nullptr;
    QPushButton* m_btnMoveUp = nullptr;
    QPushButton* m_btnMoveDown = nullptr;
    QPushButton* m_btnUp = nullptr;
    QPushButton* m_btnDn = nullptr;
    QPushButton* m_btnAdd = nullptr;
    QPushButton* m_btnRemove = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_btnReset = nullptr;
    bool m_refreshing = false;
};

// The editor over a copy of Groups with AllModules as the available
// modules; on OK Groups receives the result and True is answered.
bool DoManageGroups(TNamedList& Groups, const TStrings& AllModules);
