#include "Components/Controller/notifications/NotificationPreferences.h"

#include "platform/StdCtrls.h"
#include "ui/KldAppUtils.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>

TNotifyPrefList::TNotifyPrefList(QWidget* Parent) : QWidget(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void TNotifyPrefList::Toggle(int32_t Index)
{
    if (Index < 0 || Index >= static_cast<int32_t>(Rows.size()))
        return;
    Rows[static_cast<size_t>(Index)].Checked = !Rows[static_cast<size_t>(Index)].Checked;
    update();
}

void TNotifyPrefList::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    for (size_t i = 0; i < Rows.size(); ++i) {
        const TRow& row = Rows[i];
        const QRect r(0, static_cast<int>(i) * RowHeight, width(), RowHeight);
        const bool selected = static_cast<int32_t>(i) == Selected;
        if (selected)
            DoGradientFill(&p, Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()), RGB(0x64, 0x95, 0xED),
                           RGB(0x32, 0x4A, 0x76), gdVert);
        QStyleOptionButton box;
        box.rect = QRect(r.left() + 4, r.top() + (RowHeight - 16) / 2, 16, 16);
        box.state = QStyle::State_Enabled | (row.Checked ? QStyle::State_On : QStyle::State_Off);
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, &p, this);
        int x = r.left() + 4 + 40;
        if (Icons && row.ImageIndex >= 0 && row.ImageIndex < static_cast<int32_t>(Icons->size())) {
            const QPixmap& pm = (*Icons)[static_cast<size_t>(row.ImageIndex)];
            const QPixmap scaled = pm.height() > RowHeight ? pm.scaledToHeight(RowHeight, Qt::SmoothTransformation) : pm;
            p.drawPixmap(x, r.top() + (RowHeight - scaled.height()) / 2, scaled);
        }
        x += 40;
        p.setPen(selected ? QColor(Qt::white) : palette().color(QPalette::WindowText));
        const QRect text(x, r.top(), r.right() - x, RowHeight);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   p.fontMetrics().elidedText(QString::fromStdString(row.Caption), Qt::ElideRight, text.width()));
    }
}

void TNotifyPrefList::mousePressEvent(QMouseEvent* e)
{
    setFocus();
    const int idx = static_cast<int>(e->position().y()) / RowHeight;
    if (idx >= static_cast<int>(Rows.size()))
        return;
    Selected = idx;
    if (e->button() == Qt::LeftButton && e->position().x() < 32)
        Toggle(idx);
    update();
}

void TNotifyPrefList::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int idx = static_cast<int>(e->position().y()) / RowHeight;
    if (idx < static_cast<int>(Rows.size()))
        Toggle(idx);
}

void TNotifyPrefList::keyPressEvent(QKeyEvent* e)
{
    const int n = static_cast<int>(Rows.size());
    switch (e->key()) {
    case Qt::Key_Space: Toggle(Selected); break;
    case Qt::Key_Up: Selected = std::max(0, Selected - 1); update(); break;
    case Qt::Key_Down: Selected = std::min(n - 1, Selected + 1); update(); break;
    default: QWidget::keyPressEvent(e);
    }
}

TfrmNotificationPreferences::TfrmNotificationPreferences(QWidget* Parent)
    : QDialog(Parent), m_list(new TNotifyPrefList(this))
{
    setWindowTitle("Notification Preferences");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new TPlainLabel("These settings control which notifications you will be receiving.\n"
                                 "Check the applets you would like to receive notifications for.",
                                 this));
    m_list->setMinimumSize(360, 200);
    layout->addWidget(m_list, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool ExecNotifySetup(TNotifyTargets& Targets, const std::vector<QPixmap>* Icons, QWidget* Parent,
                     const std::function<int(TfrmNotificationPreferences&)>& Exec)
{
    TfrmNotificationPreferences dlg(Parent);
    dlg.List()->Icons = Icons;
    for (int32_t i = 0; i < Targets.Count(); ++i)
        dlg.List()->Rows.push_back({Targets[i]->Caption, Targets[i]->ImageIndex, Targets[i]->Allowed});
    const int result = Exec ? Exec(dlg) : dlg.exec();
    if (result != QDialog::Accepted)
        return false;
    for (int32_t i = 0; i < Targets.Count(); ++i)
        Targets[i]->Allowed = dlg.List()->Rows[static_cast<size_t>(i)].Checked;
    return true;
}
