#include "Components/Controller/applets/frmGroups.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "platform/StdCtrls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int kCustomRole = Qt::UserRole + 1;

// The lists' own drawing: bold for the user's own lines, the selection in
// the highlight colours, other lines black on the list colour, one line
// vertically centred and cut with an ellipsis.
class TGroupLineDelegate : public QStyledItemDelegate
{
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->font.setBold(index.data(kCustomRole).toBool());
        option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        option->textElideMode = Qt::ElideRight;
        option->features &= ~QStyleOptionViewItem::WrapText;
        if (!(option->state & QStyle::State_Selected))
            option->palette.setColor(QPalette::Text, Qt::black);
    }
};

void FillList(QListWidget* List, const std::vector<TGroupsEditor::TLine>& Lines, bool Checks, int Selected)
{
    const QSignalBlocker block(List);
    List->clear();
    for (const TGroupsEditor::TLine& line : Lines) {
        auto* item = new QListWidgetItem(QString::fromStdString(line.Text), List);
        item->setData(kCustomRole, line.Custom);
        if (Checks) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(line.Checked ? Qt::Checked : Qt::Unchecked);
        }
    }
    if (Selected >= List->count())
        Selected = List->count() - 1;
    List->setCurrentRow(Selected);
}

int Selection(const QListWidget* List)
{
    return List->currentItem() ? List->currentRow() : -1;
}

QListWidget* MakeList(QWidget* Parent, const char* Name)
{
    auto* list = new QListWidget(Parent);
    list->setObjectName(Name);
    list->setItemDelegate(new TGroupLineDelegate(list));
    list->setTextElideMode(Qt::ElideRight);
    list->setUniformItemSizes(true);
    return list;
}

} // namespace

TfrmGroups::TfrmGroups(QWidget* Parent) : TDialogForm(Parent)
{
    setObjectName("frmGroups");
    setWindowTitle("Groups");
    SetPosition(poScreenCenter);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName("PageControl");
    layout->addWidget(m_pages, 1);

    // Page 0: the groups.
    auto* groupsPage = new QWidget(m_pages);
    auto* groupsLayout = new QGridLayout(groupsPage);
    groupsLayout->setContentsMargins(0, 0, 0, 0);
    groupsLayout->addWidget(new TPlainLabel("Module Groups:", groupsPage), 0, 0);
    m_lstGroups = MakeList(groupsPage, "lstGroups");
    groupsLayout->addWidget(m_lstGroups, 1, 0);
    auto* groupButtons = new QVBoxLayout;
    m_btnAddGroup = new QPushButton("Add Group", groupsPage);
    m_btnRemoveGroup = new QPushButton("Remove Group", groupsPage);
    m_btnEditGroup = new QPushButton("Edit Group", groupsPage);
    m_btnMoveUp = new QPushButton("Move Up", groupsPage);
    m_btnMoveDown = new QPushButton("Move Down", groupsPage);
    for (QPushButton* button : {m_btnAddGroup, m_btnRemoveGroup, m_btnEditGroup, m_btnMoveUp, m_btnMoveDown}) {
        button->setAutoDefault(false);
        groupButtons->addWidget(button);
    }
    groupButtons->addStretch(1);
    groupsLayout->addLayout(groupButtons, 1, 1);
    m_pages->addWidget(groupsPage);

    // Page 1: one group.
    auto* groupPage = new QWidget(m_pages);
    auto* groupLayout = new QGridLayout(groupPage);
    groupLayout->setContentsMargins(0, 0, 0, 0);
    groupLayout->addWidget(new TPlainLabel("Group Name:", groupPage), 0, 0);
    m_edtName = new QLineEdit(groupPage);
    m_edtName->setObjectName("edtName");
    groupLayout->addWidget(m_edtName, 1, 0);
    groupLayout->addWidget(new TPlainLabel("Available Modules:", groupPage), 0, 3);
    m_lstMembers = MakeList(groupPage, "lstMembers");
    groupLayout->addWidget(m_lstMembers, 2, 0);
    auto* memberButtons = new QVBoxLayout;
    m_btnUp = new QPushButton("Up", groupPage);
    m_btnDn = new QPushButton("Dn", groupPage);
    memberButtons->addWidget(m_btnUp);
    memberButtons->addWidget(m_btnDn);
    memberButtons->addStretch(1);
    groupLayout->addLayout(memberButtons, 2, 1);
    auto* moveButtons = new QVBoxLayout;
    m_btnAdd = new QPushButton("<<", groupPage);
    m_btnRemove = new QPushButton(">>", groupPage);
    moveButtons->addStretch(1);
    moveButtons->addWidget(m_btnAdd);
    moveButtons->addWidget(m_btnRemove);
    moveButtons->addStretch(1);
    groupLayout->addLayout(moveButtons, 2, 2);
    m_lstAvailable = MakeList(groupPage, "lstAvailable");
    groupLayout->addWidget(m_lstAvailable, 1, 3, 2, 1);
    for (QPushButton* button : {m_btnUp, m_btnDn, m_btnAdd, m_btnRemove}) {
        button->setAutoDefault(false);
        button->setFixedWidth(36);
    }
    m_pages->addWidget(groupPage);

    m_btnOK = MakeButton("OK", mrOk, true);
    m_btnCancel = MakeButton("Cancel", mrCancel, false, true);
    m_btnReset = MakeButton("Reset", mrNone);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_btnReset);
    bottom->addStretch(1);
    bottom->addWidget(m_btnOK);
    bottom->addWidget(m_btnCancel);
    layout->addLayout(bottom);

    connect(m_btnAddGroup, &QPushButton::clicked, this, [this] {
        m_editor.AddGroup();
        Refresh();
    });
    connect(m_btnRemoveGroup, &QPushButton::clicked, this, [this] {
        m_editor.RemoveGroup(Selection(m_lstGroups));
        Refresh();
    });
    connect(m_btnEditGroup, &QPushButton::clicked, this, [this] { EditSelected(); });
    connect(m_lstGroups, &QListWidget::itemDoubleClicked, this, [this] { EditSelected(); });
    connect(m_lstGroups, &QListWidget::itemChanged, this, [this] { TakeTicks(); });
    connect(m_btnMoveUp, &QPushButton::clicked, this, [this] { MoveGroup(-1); });
    connect(m_btnMoveDown, &QPushButton::clicked, this, [this] { MoveGroup(1); });
    connect(m_btnReset, &QPushButton::clicked, this, [this] {
        m_editor.Reset();
        Refresh();
    });
    connect(m_btnAdd, &QPushButton::clicked, this, [this] { AddSelectedModule(); });
    connect(m_lstAvailable, &QListWidget::itemDoubleClicked, this, [this] { AddSelectedModule(); });
    connect(m_btnRemove, &QPushButton::clicked, this, [this] { RemoveSelectedMember(); });
    connect(m_lstMembers, &QListWidget::itemDoubleClicked, this, [this] { RemoveSelectedMember(); });
    connect(m_btnUp, &QPushButton::clicked, this, [this] { MoveMember(-1); });
    connect(m_btnDn, &QPushButton::clicked, this, [this] { MoveMember(1); });
    connect(m_edtName, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_editor.SetGroupName(text.toStdString()); });

    resize(460, 330);
}

void TfrmGroups::Setup(const TNamedList& Groups, const TStrings& AllModules)
{
    m_editor.Setup(Groups, AllModules);
    Refresh();
}

void TfrmGroups::Refresh()
{
    m_refreshing = true;
    const bool editing = m_editor.Page() == 1;
    const int group = editing ? m_editor.EditIndex() : Selection(m_lstGroups);
    FillList(m_lstGroups, m_editor.GroupLines(), true, group < 0 ? 0 : group);
    if (editing) {
        const int member = Selection(m_lstMembers);
        FillList(m_lstMembers, m_editor.MemberLines(), false, member);
        std::vector<TGroupsEditor::TLine> available;
        for (const std::string& module : m_editor.Available())
            available.push_back({module, false, false});
        const int chosen = Selection(m_lstAvailable);
        FillList(m_lstAvailable, available, false, chosen < 0 ? 0 : chosen);
        if (m_edtName->text().toStdString() != m_editor.GroupName())
            m_edtName->setText(QString::fromStdString(m_editor.GroupName()));
        m_edtName->setReadOnly(m_editor.NameReadOnly());
        m_btnAdd->setEnabled(m_editor.CanChangeMembers());
        m_btnRemove->setEnabled(m_editor.CanChangeMembers());
    }
    m_pages->setCurrentIndex(m_editor.Page());
    m_btnOK->setText(editing ? "Apply" : "OK");
    m_btnReset->setVisible(m_editor.ResetVisible());
    m_refreshing = false;
}

void TfrmGroups::CloseQuery(bool& CanClose)
{
    if (m_editor.Page() != 1)
        return;
    CanClose = false;
    if (ModalResult() == mrOk)
        m_editor.Apply();
    else
        m_editor.CancelEdit();
    m_lstMembers->clear();
    Refresh();
    m_lstGroups->setFocus();
}

void TfrmGroups::EditSelected()
{
    const int index = Selection(m_lstGroups);
    if (index < 0)
        return;
    m_editor.EditGroup(index);
    m_lstMembers->clear();
    m_lstAvailable->clearSelection();
    Refresh();
    m_edtName->setFocus();
}

void TfrmGroups::AddSelectedModule()
{
    if (!m_editor.CanChangeMembers())
        return;
    m_editor.AddMember(Selection(m_lstAvailable));
    Refresh();
}

void TfrmGroups::RemoveSelectedMember()
{
    if (!m_editor.CanChangeMembers())
        return;
    m_editor.RemoveMember(Selection(m_lstMembers));
    Refresh();
}

void TfrmGroups::MoveGroup(int Delta)
{
    const int moved = m_editor.MoveGroup(Selection(m_lstGroups), Delta);
    Refresh();
    m_lstGroups->setCurrentRow(moved);
}

void TfrmGroups::MoveMember(int Delta)
{
    const int moved = m_editor.MoveMember(Selection(m_lstMembers), Delta);
    Refresh();
    m_lstMembers->setCurrentRow(moved);
}

void TfrmGroups::TakeTicks()
{
    if (m_refreshing)
        return;
    for (int i = 0; i < m_lstGroups->count(); ++i)
        m_editor.SetVisible(i, m_lstGroups->item(i)->checkState() == Qt::Checked);
}

bool DoManageGroups(TNamedList& Groups, const TStrings& AllModules)
{
    TfrmGroups dialog(ApplicationMainForm());
    dialog.Setup(Groups, AllModules);
    if (dialog.ShowModal() != mrOk)
        return false;
    Groups.Assign(&dialog.Editor().Edited());
    return true;
}
