#include "platform/ListBox.h"

#include "platform/Threads.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

// ---------------------------------------------------------------------------
// TListBoxStrings

int TListBoxStrings::Count() const
{
    return m_owner.count();
}

std::string TListBoxStrings::Get(int index) const
{
    const QListWidgetItem* item = m_owner.item(index);
    if (!item)
        Error("List index out of bounds (%d)", index);
    return item->text().toStdString();
}

void TListBoxStrings::Put(int index, const std::string& s)
{
    QListWidgetItem* item = m_owner.item(index);
    if (!item)
        Error("List index out of bounds (%d)", index);
    item->setText(QString::fromStdString(s));
}

void TListBoxStrings::Insert(int index, const std::string& s)
{
    if (index < 0 || index > m_owner.count())
        Error("List index out of bounds (%d)", index);
    m_owner.insertItem(index, QString::fromStdString(s));
}

void TListBoxStrings::Delete(int index)
{
    if (index < 0 || index >= m_owner.count())
        Error("List index out of bounds (%d)", index);
    delete m_owner.takeItem(index);
}

void TListBoxStrings::Clear()
{
    m_owner.clear();
}

// ---------------------------------------------------------------------------
// TListBox

TListBox::TListBox(QWidget* Parent) : QListWidget(Parent), m_items(*this)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    m_font.OnChange = [this](TObject*) { ApplyLook(); };
    QObject::connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem*) {
        Guarded("Click", [this] {
            if (OnClick)
                OnClick(this);
        });
    });
    ApplyLook();
}

void TListBox::Guarded(const char* Where, const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (...) {
        ReportCurrentException(ClassName() + "." + Where);
    }
}

void TListBox::SetItemIndex(int Value)
{
    setCurrentRow(Value >= 0 && Value < count() ? Value : -1);
}

void TListBox::SetColor(TColor Value)
{
    m_color = Value;
    ApplyLook();
}

bool TListBox::CanFocus() const
{
    return isVisible() && isEnabled() && window() && window()->isVisible();
}

void TListBox::SetFocus()
{
    setFocus(Qt::OtherFocusReason);
}

void TListBox::ApplyLook()
{
    setFont(m_font.Handle());
    QPalette pal = palette();
    pal.setColor(QPalette::Base, ToQColor(m_color));
    SetEnabledTextColor(pal, QPalette::Text, ToQColor(m_font.Color()));
    setPalette(pal);
}

void TListBox::keyPressEvent(QKeyEvent* Event)
{
    uint16_t key = VirtualKeyFromQt(Event->key(), Event->modifiers());
    if (key != 0 && OnKeyDown) {
        Guarded("KeyDown", [&] { OnKeyDown(this, key, ShiftStateFromQt(Event->modifiers())); });
        if (key == 0) {
            Event->accept();
            return;
        }
    }
    QListWidget::keyPressEvent(Event);
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* Event)
{
    QListWidget::mouseDoubleClickEvent(Event);
    if (itemAt(Event->position().toPoint()) == nullptr)
        return;
    Guarded("DblClick", [this] {
        if (OnDblClick)
            OnDblClick(this);
    });
}
