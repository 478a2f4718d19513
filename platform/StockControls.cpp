#include "platform/StockControls.h"

#include <QAbstractItemView>

#include <QPalette>
#include <QTextCursor>

void ApplyWidgetColor(QWidget* Widget, TColor Color)
{
    if (!Widget)
        return;
    QPalette palette = Widget->palette();
    palette.setColor(QPalette::Base, ToQColor(Color));
    palette.setColor(QPalette::Button, ToQColor(Color));
    Widget->setPalette(palette);
}

void ApplyWidgetFontColor(QWidget* Widget, TColor Color)
{
    if (!Widget)
        return;
    QPalette palette = Widget->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        SetEnabledTextColor(palette, role, ToQColor(Color));
    Widget->setPalette(palette);
}

// ---------------------------------------------------------------------------

TMemo::TMemo(QWidget* Parent) : QPlainTextEdit(Parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] { Change(); });
}

std::string TMemo::Text() const { return toPlainText().toStdString(); }

void TMemo::SetText(const std::string& Value)
{
    setPlainText(QString::fromStdString(Value));
    document()->setModified(false);
}

int TMemo::SelStart() const { return textCursor().selectionStart(); }

void TMemo::SetSelStart(int Value)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(Value, 0, int(toPlainText().size())));
    setTextCursor(cursor);
}

int TMemo::SelLength() const { return textCursor().selectionEnd() - textCursor().selectionStart(); }

void TMemo::SetSelLength(int Value)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    cursor.setPosition(start);
    cursor.setPosition(std::clamp(start + Value, 0, int(toPlainText().size())), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

std::string TMemo::SelText() const { return textCursor().selectedText().toStdString(); }

void TMemo::SetSelText(const std::string& Value) { textCursor().insertText(QString::fromStdString(Value)); }

bool TMemo::Modified() const { return document()->isModified(); }

void TMemo::SetModified(bool Value) { document()->setModified(Value); }

// ---------------------------------------------------------------------------

void TCheckBox::SetColor(TColor Value)
{
    m_color = Value;
    ApplyWidgetColor(this, Value);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ToQColor(Value));
    setPalette(palette);
    setAutoFillBackground(true);
}

void TRadioButton::FontChanged() { ApplyWidgetFontColor(this, m_font.Color()); }

// ---------------------------------------------------------------------------

TComboBox::TComboBox(QWidget* Parent) : QComboBox(Parent) { setEditable(true); }

std::string TComboBox::Text() const { return currentText().toStdString(); }

void TComboBox::SetText(const std::string& Value)
{
    const QString text = QString::fromStdString(Value);
    // The line equal to the text becomes the current one (none when no
    // line is), so that choosing a line later always reads as a change.
    setCurrentIndex(findText(text, Qt::MatchExactly));
    if (isEditable())
        setEditText(text);
}

void TComboBox::SetStyle(TComboBoxStyle Value)
{
    m_style = Value;
    setEditable(Value != csDropDownList);
    ApplyWidgetColor(this, m_color);
}

void TComboBox::SetColor(TColor Value)
{
    m_color = Value;
    ApplyWidgetColor(this, Value);
}

void TComboBox::showPopup()
{
    if (!m_dropDownLocked)
        QComboBox::showPopup();
}

void TComboBox::hidePopup()
{
    // Qt also hides a list that is not open (when the box goes): only the
    // closing of an open list is a close-up.
    const bool open = view() && view()->window()->isVisible();
    QComboBox::hidePopup();
    if (open && OnCloseUp)
        OnCloseUp(this);
}
