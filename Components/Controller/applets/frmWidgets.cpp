#include "Components/Controller/applets/frmWidgets.h"

#include "ui/KldAppItems.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

// ---------------------------------------------------------------------------
// TWidgetChoice

TWidgetChoice::TWidgetChoice(const TStrings& Lines)
{
    for (int i = 0; i < Lines.Count(); ++i) {
        auto* item = dynamic_cast<TKldAppItem*>(Lines.Objects(i));
        m_lines.push_back({Lines[i], item, item && item->Visible()});
    }
    m_initial = m_lines;
}

void TWidgetChoice::SetChecked(int Index, bool Value)
{
    if (Index >= 0 && Index < static_cast<int>(m_lines.size()))
        m_lines[static_cast<size_t>(Index)].Checked = Value;
}

int TWidgetChoice::MoveUp(int Selected)
{
    if (Selected < 1 || Selected >= static_cast<int>(m_lines.size()))
        return Selected;
    std::swap(m_lines[static_cast<size_t>(Selected)], m_lines[static_cast<size_t>(Selected - 1)]);
    return Selected - 1;
}

int TWidgetChoice::MoveDown(int Selected)
{
    if (Selected < 0 || Selected >= static_cast<int>(m_lines.size()) - 1)
        return Selected;
    std::swap(m_lines[static_cast<size_t>(Selected)], m_lines[static_cast<size_t>(Selected + 1)]);
    return Selected + 1;
}

void TWidgetChoice::Apply(TStrings& Lines) const
{
    Lines.Clear();
    for (const TLine& line : m_lines) {
        if (line.Item)
            line.Item->SetVisible(line.Checked);
        Lines.AddObject(line.Caption, line.Item);
    }
}

// ---------------------------------------------------------------------------
// TfrmWidgets

TfrmWidgets::TfrmWidgets(const TStrings& Lines, QWidget* Parent) : TDialogForm(Parent), m_choice(Lines)
{
    setWindowTitle("Customize Widgets");
    SetPosition(poScreenCenter);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QHBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setObjectName("lstWidgets");
    layout->addWidget(m_list, 1);
    auto* buttons = new QVBoxLayout;
    QPushButton* up = MakeButton("Move &Up", mrNone);
    QPushButton* down = MakeButton("Move &Down", mrNone);
    QPushButton* reset = MakeButton("Reset Defaults", mrNone);
    QPushButton* ok = MakeButton("OK", mrOk, true);
    QPushButton* cancel = MakeButton("Cancel", mrCancel, false, true);
    for (QPushButton* button : {up, down, reset})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(up, &QPushButton::clicked, this, [this] { MoveUpClick(); });
    connect(down, &QPushButton::clicked, this, [this] { MoveDownClick(); });
    connect(reset, &QPushButton::clicked, this, [this] { ResetClick(); });
    connect(m_list, &QListWidget::itemChanged, this, [this] { TakeTicks(); });
    setFixedSize(360, 260);
    Fill(-1);
}

void TfrmWidgets::Fill(int Selected)
{
    const QSignalBlocker block(m_list);
    m_list->clear();
    for (const TWidgetChoice::TLine& line : m_choice.Lines()) {
        auto* entry = new QListWidgetItem(QString::fromStdString(line.Caption), m_list);
        entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
        entry->setCheckState(line.Checked ? Qt::Checked : Qt::Unchecked);
    }
    m_list->setCurrentRow(Selected);
}

void TfrmWidgets::TakeTicks()
{
    for (int i = 0; i < m_list->count(); ++i)
        m_choice.SetChecked(i, m_list->item(i)->checkState() == Qt::Checked);
}

void TfrmWidgets::MoveUpClick()
{
    const int selected = m_list->currentItem() ? m_list->currentRow() : -1;
    Fill(m_choice.MoveUp(selected));
}

void TfrmWidgets::MoveDownClick()
{
    const int selected = m_list->currentItem() ? m_list->currentRow() : -1;
    Fill(m_choice.MoveDown(selected));
}

void TfrmWidgets::ResetClick()
{
    m_choice.Reset();
    Fill(-1);
}

bool TfrmWidgets::Execute(TStrings& Lines)
{
    TfrmWidgets dialog(Lines);
    if (dialog.ShowModal() != mrOk)
        return false;
    dialog.TakeTicks();
    dialog.Choice().Apply(Lines);
    return true;
}
