#include "admin/frmSecurity.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"
#include "platform/StringList.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QColor LevelColor(int Level)
{
    const uint32_t bgr = LevelColors[std::clamp(Level, 0, 3)];
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// Where the caption of a tree row starts, from the cell's left edge: room
// for the triangle, the circle and the picture in front of it.
constexpr int CaptionOffset = 44;

void PaintTriangle(QPainter& Painter, int Left, int MidY, const QColor& Color)
{
    QPainterPath path;
    path.moveTo(Left, MidY - 4);
    path.lineTo(Left + 6, MidY);
    path.lineTo(Left, MidY + 4);
    path.closeSubpath();
    Painter.setPen(Qt::black);
    Painter.setBrush(Color);
    Painter.drawPath(path);
}

class TRightsPainter : public QStyledItemDelegate
{
  public:
    explicit TRightsPainter(TfrmSecurity* Form) : QStyledItemDelegate(Form), m_form(Form) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        QStyleOptionViewItem option(Option);
        initStyleOption(&option, Index);
        const QIcon icon = option.icon;
        option.icon = QIcon();
        option.decorationSize = QSize(0, 0);
        option.rect.setLeft(Option.rect.left() + CaptionOffset);
        QStyledItemDelegate::paint(Painter, option, Index);

        const int caption = Option.rect.left() + CaptionOffset;
        const int midY = Option.rect.center().y();
        if (!icon.isNull())
            icon.paint(Painter, QRect(caption - 18, midY - 8, 16, 16));
        auto* tree = qobject_cast<const QTreeWidget*>(Option.widget);
        const TMenuNode* node = tree ? m_form->NodeOf(tree->itemFromIndex(Index)) : nullptr;
        if (!node || !node->HasItem)
            return;
        Painter->save();
        Painter->setRenderHint(QPainter::Antialiasing);
        Painter->setPen(Qt::black);
        Painter->setBrush(LevelColor(RightsLevel(RightsByte(m_form->RoleRights(), node->SecurityIndex))));
        Painter->drawEllipse(QRect(caption - 30, midY - 3, 6, 6));
        if (m_form->ShowsMaxLevel())
            PaintTriangle(*Painter, caption - 40, midY,
                          LevelColor(RightsLevel(RightsByte(m_form->MaxRights(), node->SecurityIndex))));
        Painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(Option, Index);
        return QSize(size.width() + CaptionOffset, std::max(size.height(), 18));
    }

  private:
    TfrmSecurity* m_form;
};

// The legend's triangle in the colour of "[F4] Full Access".
class TLegend : public QWidget
{
  public:
    explicit TLegend(QWidget* Parent) : QWidget(Parent)
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(14, 0, 0, 0);
        layout->addWidget(new TPlainLabel("Max Access Allowed Flag", this));
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        PaintTriangle(painter, 2, height() / 2, LevelColor(3));
    }
};

std::optional<int32_t> OptionalInt(TDataSet& Data, const std::string& Name)
{
    TField* field = Data.FindField(Name);
    if (!field || field->IsNull())
        return std::nullopt;
    return field->AsInteger();
}

} // namespace

TfrmSecurity::TfrmSecurity(TAdminContext Context, QWidget* Parent) : TAdminDialog(std::move(Context), Parent)
{
    setWindowTitle("Security");
    SetPosition(poScreenCenter);
    tblRole = std::make_unique<TovnOndrelQuery>();
    tblRole->SetTableName("TBL_ROLES");
    tblRole->SetKeyFieldName("COUNTER");
    tblRole->SetServerUpdate(true);

    auto* menu = new QGroupBox(" Menu Structure ", this);
    tvMenu = new QTreeWidget(menu);
    tvMenu->setHeaderHidden(true);
    tvMenu->setIndentation(45);
    tvMenu->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvMenu->setItemDelegate(new TRightsPainter(this));
    auto* menuLayout = new QVBoxLayout(menu);
    menuLayout->addWidget(tvMenu);

    grpAttributes = new QGroupBox(" Attributes ", this);
    auto* attrs = new QVBoxLayout(grpAttributes);
    for (size_t i = 0; i < chkAttr.size(); ++i) {
        chkAttr[i] = new QCheckBox("N/A", grpAttributes);
        chkAttr[i]->setEnabled(false);
        attrs->addWidget(chkAttr[i]);
        connect(chkAttr[i], &QCheckBox::clicked, this, [this] { Guarded([this] { ControlClick(-1); }); });
    }
    attrs->addSpacing(8);
    for (int level = 3; level >= 0; --level) {
        // "&" is a character of the caption, not a mnemonic.
        rbLevel[static_cast<size_t>(level)] =
            new QRadioButton(QString(LevelCaptions[level]).replace("&", "&&"), grpAttributes);
        attrs->addWidget(rbLevel[static_cast<size_t>(level)]);
        connect(rbLevel[static_cast<size_t>(level)], &QRadioButton::clicked, this,
                [this, level] { Guarded([this, level] { ControlClick(level); }); });
    }
    attrs->addStretch();
    Legend = new TLegend(this);

    btnCollapse = MakeAction(this, "Collapse", [this] { Collapse(); });
    btnCollapse->setToolTip("Collapse module");
    btnCollapseAll = MakeAction(this, "Collapse All", [this] { CollapseAll(); });
    btnOK = MakeAction(this, "&OK", [this] { Save(); });
    btnOK->setEnabled(false);
    btnClose = MakeButton("&Close", mrCancel, false, true);

    auto* right = new QVBoxLayout;
    right->addWidget(grpAttributes, 1);
    right->addWidget(Legend);
    auto* top = new QHBoxLayout;
    top->addWidget(menu, 1);
    top->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnCollapse);
    buttons->addWidget(btnCollapseAll);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(640, 480);

    connect(tvMenu, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });
    // The form sees the keys before its controls.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

TfrmSecurity::~TfrmSecurity()
{
    for (QWidget* w : findChildren<QWidget*>())
        w->removeEventFilter(this);
}

const TMenuNode* TfrmSecurity::NodeOf(QTreeWidgetItem* Item) const
{
    auto found = m_nodes.find(Item);
    return found == m_nodes.end() ? nullptr : found->second;
}

QTreeWidgetItem* TfrmSecurity::ItemOf(const TMenuNode* Node) const
{
    for (const auto& [item, node] : m_nodes)
        if (node == Node)
            return item;
    return nullptr;
}

void TfrmSecurity::Load()
{
    TNembraDatabase& db = SysDB(Context());
    const TAdministrator& admin = Context().Admin;
    tblRole->Close();
    tblRole->SetDatabase(&db);
    SetSQLText(*tblRole, SecurityRoleSQL(admin, RoleCounter, AliasCounter));
    tblRole->Open();
    if (admin.UserType == "SYS") {
        Legend->hide();
        m_editable = true;
        if (!tblRole->IsEmpty() && !tblRole->FieldByName("SECURITY")->IsNull())
            m_roleRights = tblRole->FieldByName("SECURITY")->AsString();
    } else {
        std::string roleCounter;
        std::string myRole;
        tblRole->First();
        for (int i = 0; i < 2 && !tblRole->Eof(); ++i, tblRole->Next()) {
            TField* security = tblRole->FieldByName("SECURITY");
            if (FieldText(*tblRole, "SRT") == "A") {
                roleCounter = FieldText(*tblRole, "COUNTER");
                if (!security->IsNull())
                    m_roleRights = security->AsString();
            } else {
                myRole = FieldText(*tblRole, "COUNTER");
                if (!security->IsNull())
                    m_maxRights = security->AsString();
            }
        }
        tblRole->SetFilter("SRT = \"A\"");
        tblRole->SetFiltered(true);
        m_editable = true;
        if (!myRole.empty() && myRole == roleCounter) {
            m_editable = false;
            grpAttributes->setEnabled(false);
        }
    }
    LoadIcons();
    BuildTree();
    if (m_tree.Roots.empty())
        grpAttributes->setEnabled(false);
}

void TfrmSecurity::SetRights(const TRights& Role, const TRights& Max, bool Editable)
{
    m_roleRights = Role;
    m_maxRights = Max;
    m_editable = Editable;
    Legend->setVisible(Context().Admin.UserType != "SYS");
}

void TfrmSecurity::LoadIcons()
{
    m_images.Clear();
    m_iconKeys.clear();
    if (!Context().ResourceFile)
        return;
    TovnOndrelQuery icons;
    icons.SetDatabase(&SysDB(Context()));
    icons.SetFetchBy(-1);
    SetSQLText(icons, {IconQuerySQL(Context().OS)});
    icons.Open();
    for (icons.First(); !icons.Eof(); icons.Next()) {
        try {
            const int32_t key = icons.Fields().Fields(0)->AsInteger();
            const std::string file = Context().ResourceFile(std::to_string(key), FieldText(icons, "FILE_NAME"));
            QFile in(QString::fromStdString(file));
            if (file.empty() || !in.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = in.readAll();
            const TIconKind kind = IconKind(bytes.left(4).toStdString());
            if (kind == ikNone)
                continue;
            QImage image;
            if (!image.loadFromData(bytes, kind == ikPNG ? "PNG" : "BMP"))
                continue;
            image = image.convertToFormat(QImage::Format_ARGB32)
                        .scaled(m_images.Width(), m_images.Height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (kind == ikBMP) {
                const QRgb transparent = image.pixel(0, image.height() - 1);
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        if (image.pixel(x, y) == transparent)
                            image.setPixel(x, y, qRgba(0, 0, 0, 0));
            }
            m_images.Add(image);
            m_iconKeys.push_back(key);
        } catch (...) {
            // An icon that cannot be had is left out.
        }
    }
}

void TfrmSecurity::BuildTree()
{
    TovnOndrelQuery menu;
    menu.SetDatabase(&SysDB(Context()));
    menu.SetFetchBy(-1);
    SetSQLText(menu, MenuQuerySQL());
    menu.Open();
    std::vector<TMenuRow> rows;
    for (menu.First(); !menu.Eof(); menu.Next()) {
        TMenuRow row;
        row.Level = menu.FieldByName("MENU_LEVEL")->AsInteger();
        row.Description = FieldText(menu, "DESCRIPTION");
        row.ResourceDescription = FieldText(menu, "RESOURCE_DESCRIPTION");
        row.SecurityIndex = OptionalInt(menu, "SECURITY_INDEX");
        for (int a = 0; a < 6; ++a)
            row.Attributes[static_cast<size_t>(a)] = FieldText(menu, "ATTRIBUTE" + std::to_string(a + 1));
        row.Module = menu.FieldByName("C_MODULE")->AsInteger();
        if (auto icon = OptionalInt(menu, "C_ICON_RESOURCE")) {
            auto at = std::find(m_iconKeys.begin(), m_iconKeys.end(), *icon);
            row.ImageIndex = at == m_iconKeys.end() ? -1 : static_cast<int32_t>(at - m_iconKeys.begin());
        }
        rows.push_back(std::move(row));
    }
    ShowMenu(rows);
}

void TfrmSecurity::ShowMenu(const std::vector<TMenuRow>& Rows)
{
    m_tree = BuildMenuTree(Rows, Context().Admin, m_roleRights, m_maxRights);
    tvMenu->clear();
    m_nodes.clear();
    AddItems(m_tree.Roots, nullptr);
}

void TfrmSecurity::AddItems(const std::vector<std::unique_ptr<TMenuNode>>& Nodes, QTreeWidgetItem* Parent)
{
    for (const auto& node : Nodes) {
        auto* item = Parent ? new QTreeWidgetItem(Parent) : new QTreeWidgetItem(tvMenu);
        item->setText(0, QString::fromStdString(node->Caption));
        if (m_images.ValidIndex(node->ImageIndex))
            item->setIcon(0, QIcon(QPixmap::fromImage(m_images.GetImage(node->ImageIndex))));
        m_nodes[item] = node.get();
        AddItems(node->Children, item);
    }
}

const TMenuNode* TfrmSecurity::Selected() const
{
    return NodeOf(tvMenu->currentItem());
}

void TfrmSecurity::SelectionChanged()
{
    m_updating = true;
    struct TDone
    {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{m_updating};
    for (QRadioButton* rb : rbLevel) {
        rb->setAutoExclusive(false);
        rb->setChecked(false);
        rb->setAutoExclusive(true);
        rb->setEnabled(true);
    }
    for (QCheckBox* box : chkAttr) {
        box->setText("N/A");
        box->setChecked(false);
        box->setEnabled(false);
    }
    const TMenuNode* node = Selected();
    if (!node || !node->HasItem)
        return;
    const TSelectionState state = SelectionState(*node, m_roleRights, Context().Admin, m_maxRights);
    for (size_t a = 0; a < 6; ++a) {
        chkAttr[a]->setText(QString::fromStdString(state.AttrCaptions[a]));
        chkAttr[a]->setChecked(state.AttrChecked[a]);
        chkAttr[a]->setEnabled(state.AttrEnabled[a]);
    }
    if (state.CheckedLevel >= 0)
        rbLevel[static_cast<size_t>(state.CheckedLevel)]->setChecked(true);
    for (size_t l = 0; l < 4; ++l)
        rbLevel[l]->setEnabled(state.LevelEnabled[l]);
}

uint8_t TfrmSecurity::BoxAttributes() const
{
    uint8_t bits = 0;
    for (size_t a = 0; a < 6; ++a)
        if (chkAttr[a]->isChecked())
            bits |= static_cast<uint8_t>(1 << (5 - a));
    return bits;
}

int TfrmSecurity::CheckedLevel() const
{
    for (int level = 3; level >= 1; --level)
        if (rbLevel[static_cast<size_t>(level)]->isChecked())
            return level;
    return 0;
}

void TfrmSecurity::ControlClick(int Level)
{
    const TMenuNode* node = Selected();
    if (m_updating || !node)
        return;
    if (m_editable)
        btnOK->setEnabled(true);
    if (Level >= 0)
        ApplyLevel(*node, CheckedLevel(), BoxAttributes(), m_roleRights, Context().Admin, m_maxRights);
    else
        ApplyAttributes(*node, CheckedLevel(), BoxAttributes(), m_roleRights, Context().Admin, m_maxRights);
    tvMenu->viewport()->update();
}

void TfrmSecurity::Save()
{
    tblRole->First();
    try {
        tblRole->Edit();
        tblRole->FieldByName("SECURITY")->SetAsString(m_roleRights);
        tblRole->Post();
        TStringList script;
        SetLines(script, RoleModulesScript(RoleCounter, m_tree, m_roleRights));
        SysDB(Context()).ExecBatch(script, true);
    } catch (...) {
        if (tblRole->Active() && tblRole->State() != dsBrowse)
            tblRole->Cancel();
        throw;
    }
    Tag = 100;
    SetModalResult(mrOk);
}

bool TfrmSecurity::FormKey(int Key)
{
    bool taken = true;
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        if (QTreeWidgetItem* item = tvMenu->currentItem())
            item->setExpanded(!item->isExpanded());
    } else if (Key >= Qt::Key_F1 && Key <= Qt::Key_F4) {
        QRadioButton* button = rbLevel[static_cast<size_t>(Key - Qt::Key_F1)];
        if (button->isEnabled() && grpAttributes->isEnabled()) {
            button->setChecked(true);
            Guarded([this, Key] { ControlClick(Key - Qt::Key_F1); });
        }
    } else {
        taken = false;
    }
    if (taken)
        tvMenu->setFocus();
    return taken;
}

bool TfrmSecurity::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || (key >= Qt::Key_F1 && key <= Qt::Key_F4)) &&
            FormKey(key))
            return true;
    }
    return TDialogForm::eventFilter(Watched, Event);
}

void TfrmSecurity::Collapse()
{
    QTreeWidgetItem* item = tvMenu->currentItem();
    while (item && item->parent())
        item = item->parent();
    if (item)
        item->setExpanded(false);
}

void TfrmSecurity::CollapseAll()
{
    for (int i = 0; i < tvMenu->topLevelItemCount(); ++i)
        tvMenu->topLevelItem(i)->setExpanded(false);
}
