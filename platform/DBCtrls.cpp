#include "platform/DBCtrls.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// Escape with a changed value gives the field's value back; the key is used.
void ResetOnEscape(TFieldDataLink& Link, TCustomEdit& Edit, uint16_t& Key)
{
    if (Key == VK_ESCAPE && Link.IsModified()) {
        Link.Reset();
        Edit.SelectAll();
        Key = 0;
    }
}

// Leaving writes a changed value into the field; a write that fails keeps
// the user in the control with the text selected, and the error goes on.
void WriteBackOnExit(TFieldDataLink& Link, TCustomEdit& Edit)
{
    try {
        Link.UpdateRecord();
    } catch (...) {
        Edit.SelectAll();
        Edit.SetFocus();
        throw;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// TDBEdit

TDBEdit::TDBEdit(QWidget* Parent) : TCustomMaskEdit(Parent)
{
    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    m_link.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    m_link.OnActiveChange = [this](TFieldDataLink*) { setReadOnly(m_link.ReadOnly()); };
}

TDBEdit::~TDBEdit()
{
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
    m_link.OnActiveChange = nullptr;
}

void TDBEdit::SetDataSource(TDataSource* Value)
{
    m_link.SetDataSource(Value);
}

void TDBEdit::SetDataField(const std::string& Value)
{
    m_link.SetFieldName(Value);
}

void TDBEdit::SetReadOnly(bool Value)
{
    m_link.SetReadOnly(Value);
    setReadOnly(Value);
}

void TDBEdit::DataChange()
{
    TField* field = m_link.Field();
    if (!field) {
        SetEditMask("");
        SetText("");
        return;
    }
    SetEditMask(field->EditMask());
    const std::string text = FieldText(*field, !(hasFocus() && m_link.CanModify()));
    // The first key in browse state puts the dataset into edit state, which
    // shows the field again before the key is applied: setting the same
    // text would drop the selection and caret the key is meant for.
    if ((IsMasked() ? Mask().EditTextFromText(text) : text) != EditText())
        SetText(text);
    setModified(false);
}

std::string TDBEdit::FieldText(TField& Field, bool Display)
{
    return Display ? Field.DisplayText() : Field.Text();
}

void TDBEdit::UpdateData()
{
    if (TField* field = m_link.Field())
        field->SetText(Text());
}

bool TDBEdit::EditCanModify()
{
    // Without a data source the edit is a plain one.
    return m_link.DataSource() == nullptr || m_link.Edit();
}

void TDBEdit::Change()
{
    m_link.Modified();
    TCustomMaskEdit::Change();
}

void TDBEdit::KeyDown(uint16_t& Key, TShiftState Shift)
{
    TCustomMaskEdit::KeyDown(Key, Shift);
    ResetOnEscape(m_link, *this, Key);
}

void TDBEdit::DoExit()
{
    WriteBackOnExit(m_link, *this);
    TCustomMaskEdit::DoExit();
}

// ---------------------------------------------------------------------------
// TDBMemo

TDBMemo::TDBMemo(QWidget* Parent) : QPlainTextEdit(Parent)
{
    setGeometry(0, 0, 185, 89);
    setTabChangesFocus(true);
    SetAutoSelect(false);
    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    m_link.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    QObject::connect(this, &QPlainTextEdit::textChanged, this, [this] { Guarded("Change", [this] { Change(); }); });
    ApplyLook();
}

TDBMemo::~TDBMemo()
{
    QObject::disconnect(this, &QPlainTextEdit::textChanged, this, nullptr);
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
}

void TDBMemo::ApplyLook()
{
    TCustomEdit::ApplyLook();
    setFrameShape(BorderStyle() == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TDBMemo::SetDataSource(TDataSource* Value)
{
    m_link.SetDataSource(Value);
}

void TDBMemo::SetDataField(const std::string& Value)
{
    m_link.SetFieldName(Value);
}

void TDBMemo::SetReadOnly(bool Value)
{
    m_link.SetReadOnly(Value);
    setReadOnly(Value);
}

std::string TDBMemo::Text() const
{
    return toPlainText().toStdString();
}

void TDBMemo::SetText(const std::string& Value)
{
    const QString t = QString::fromStdString(Value);
    if (t != toPlainText())
        setPlainText(t);
}

int TDBMemo::SelStart() const
{
    return textCursor().selectionStart();
}

void TDBMemo::SetSelStart(int Value)
{
    QTextCursor c = textCursor();
    c.setPosition(std::clamp(Value, 0, static_cast<int>(toPlainText().size())));
    setTextCursor(c);
}

int TDBMemo::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TDBMemo::SetSelLength(int Value)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(std::clamp(start + Value, start, static_cast<int>(toPlainText().size())), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

std::string TDBMemo::SelText() const
{
    return textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')).toStdString();
}

void TDBMemo::SetSelText(const std::string& Value)
{
    textCursor().insertText(QString::fromStdString(Value));
}

bool TDBMemo::Modified() const
{
    return document()->isModified();
}

void TDBMemo::SetModified(bool Value)
{
    document()->setModified(Value);
}

void TDBMemo::GetLines(TStrings& Lines) const
{
    Lines.Clear();
    if (toPlainText().isEmpty())
        return;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        Lines.Add(b.text().toStdString());
}

void TDBMemo::SetLines(const TStrings& Value)
{
    std::string text;
    for (int i = 0; i < Value.Count(); ++i) {
        if (i > 0)
            text += "\n";
        text += Value[i];
    }
    SetText(text);
}

void TDBMemo::SetScrollBars(TScrollStyle Value)
{
    m_scrollBars = Value;
    setHorizontalScrollBarPolicy(Value == ssHorizontal || Value == ssBoth ? Qt::ScrollBarAlwaysOn
                                                                          : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Value == ssVertical || Value == ssBoth ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAlwaysOff);
}

void TDBMemo::SetAlignment(TAlignment Value)
{
    m_alignment = Value;
    QTextOption o = document()->defaultTextOption();
    o.setAlignment(Value == taCenter ? Qt::AlignHCenter : Value == taRightJustify ? Qt::AlignRight : Qt::AlignLeft);
    document()->setDefaultTextOption(o);
}

void TDBMemo::SetWantTabs(bool Value)
{
    m_wantTabs = Value;
    setTabChangesFocus(!Value);
}

void TDBMemo::SetWordWrap(bool Value)
{
    m_wordWrap = Value;
    setLineWrapMode(Value ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TDBMemo::DataChange()
{
    TField* field = m_link.Field();
    if (!field)
        SetText("");
    else if (field->IsBlob())
        SetText(field->AsString());
    else if (hasFocus() && m_link.CanModify())
        SetText(field->Text());
    else
        SetText(field->DisplayText());
    SetModified(false);
}

void TDBMemo::UpdateData()
{
    if (TField* field = m_link.Field())
        field->SetAsString(Text());
}

void TDBMemo::Change()
{
    m_link.Modified();
    TCustomEdit::Change();
}

void TDBMemo::KeyDown(uint16_t& Key, TShiftState Shift)
{
    TCustomEdit::KeyDown(Key, Shift);
    ResetOnEscape(m_link, *this, Key);
}

void TDBMemo::DoExit()
{
    WriteBackOnExit(m_link, *this);
    TCustomEdit::DoExit();
}

void TDBMemo::keyPressEvent(QKeyEvent* Event)
{
    if (HandleKeyPress(Event)) {
        Event->accept();
        return;
    }
    const QString typed = Event->text();
    const bool printable = !typed.isEmpty() && (typed.at(0).isPrint() || typed.at(0) == QLatin1Char('\r') ||
                                                (typed.at(0) == QLatin1Char('\t') && m_wantTabs)) &&
                           !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    const bool editing = printable || Event->key() == Qt::Key_Backspace || Event->key() == Qt::Key_Delete ||
                         Event->matches(QKeySequence::Cut) || Event->matches(QKeySequence::Paste) ||
                         Event->matches(QKeySequence::Undo) || Event->matches(QKeySequence::Redo);
    if (editing) {
        if (isReadOnly()) {
            Event->accept();
            return;
        }
        bool can = false;
        Guarded("KeyPress", [&] { can = m_link.DataSource() == nullptr || m_link.Edit(); });
        if (!can) {
            Event->accept();
            return;
        }
    }
    if (printable && typed.at(0).isPrint()) {
        char32_t c = typed.at(0).unicode();
        Guarded("KeyPress", [&] { c = FilterTyped(c); });
        if (c == 0) {
            Event->accept();
            return;
        }
        if (m_maxLength > 0 && toPlainText().size() - SelLength() >= m_maxLength) {
            Event->accept();
            return;
        }
        if (c != static_cast<char32_t>(typed.at(0).unicode())) {
            insertPlainText(QString::fromUcs4(&c, 1));
            Event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(Event);
}

void TDBMemo::keyReleaseEvent(QKeyEvent* Event)
{
    if (HandleKeyRelease(Event)) {
        Event->accept();
        return;
    }
    QPlainTextEdit::keyReleaseEvent(Event);
}

void TDBMemo::mousePressEvent(QMouseEvent* Event)
{
    QPlainTextEdit::mousePressEvent(Event);
    HandleMouse(Event, true, false);
}

void TDBMemo::mouseReleaseEvent(QMouseEvent* Event)
{
    QPlainTextEdit::mouseReleaseEvent(Event);
    HandleMouse(Event, false, false);
}

void TDBMemo::mouseDoubleClickEvent(QMouseEvent* Event)
{
    QPlainTextEdit::mouseDoubleClickEvent(Event);
    HandleMouse(Event, true, true);
}

void TDBMemo::focusInEvent(QFocusEvent* Event)
{
    QPlainTextEdit::focusInEvent(Event);
    HandleFocus(true);
}

void TDBMemo::focusOutEvent(QFocusEvent* Event)
{
    QPlainTextEdit::focusOutEvent(Event);
    HandleFocus(false);
}
