#include "platform/Mask.h"

#include "platform/Forms.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QKeySequence>

namespace {
// A key that types text: its first character is printable (a character
// beyond the basic plane counts as one) and no Ctrl or Alt is held.
bool IsPrintable(const QKeyEvent* Event)
{
    const QList<uint> chars = Event->text().toUcs4();
    return !chars.isEmpty() && QChar::isPrint(static_cast<char32_t>(chars.first())) &&
           !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}
} // namespace

TCustomMaskEdit::TCustomMaskEdit(QWidget* Parent) : QLineEdit(Parent)
{
    setMaxLength(32767);
    setGeometry(0, 0, 121, 21);
    QObject::connect(this, &QLineEdit::textChanged, this, [this] { Guarded("Change", [this] { Change(); }); });
    TCustomEdit::ApplyLook();
}

TCustomMaskEdit::~TCustomMaskEdit()
{
    // The change signal must not reach a half-destroyed edit.
    QObject::disconnect(this, &QLineEdit::textChanged, this, nullptr);
}

void TCustomMaskEdit::ApplyLook()
{
    TCustomEdit::ApplyLook();
    setFrame(BorderStyle() == bsSingle);
}

void TCustomMaskEdit::SetEditMask(const std::string& Value)
{
    if (Value == m_maskText)
        return;
    const std::string text = Text();
    m_maskText = Value;
    m_mask = TEditMask(Value);
    ApplyMaxLength();
    SetText(text);
}

std::string TCustomMaskEdit::EditText() const
{
    return text().toStdString();
}

void TCustomMaskEdit::SetEditText(const std::string& Value)
{
    if (!IsMasked()) {
        SetText(Value);
        return;
    }
    ShowEditText(m_mask.IsWellFormed(Value) ? Value : m_mask.EditTextFromText(Value), 0);
}

std::string TCustomMaskEdit::Text() const
{
    const std::string t = EditText();
    return IsMasked() ? m_mask.TextFromEditText(t) : t;
}

void TCustomMaskEdit::SetText(const std::string& Value)
{
    if (IsMasked()) {
        ShowEditText(m_mask.EditTextFromText(Value), 0);
        return;
    }
    setText(QString::fromStdString(Value));
}

int TCustomMaskEdit::MaskPos(int TextPos) const
{
    return static_cast<int>(text().left(std::max(TextPos, 0)).toUcs4().size());
}

int TCustomMaskEdit::TextPos(int MaskPos) const
{
    const QString t = text();
    int i = 0;
    for (int k = 0; k < MaskPos && i < t.size(); ++k)
        i += t.at(i).isHighSurrogate() && i + 1 < t.size() ? 2 : 1;
    return i;
}

int TCustomMaskEdit::MaskSelStart() const
{
    return MaskPos(SelStart());
}

int TCustomMaskEdit::MaskSelEnd() const
{
    return MaskPos(SelStart() + SelLength());
}

void TCustomMaskEdit::ShowEditText(const std::string& Value, int Cursor)
{
    const QString t = QString::fromStdString(Value);
    if (t != text())
        setText(t);
    setCursorPosition(TextPos(std::max(Cursor, 0)));
}

int TCustomMaskEdit::SelStart() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void TCustomMaskEdit::SetSelStart(int Value)
{
    deselect();
    setCursorPosition(std::clamp(Value, 0, static_cast<int>(text().size())));
}

int TCustomMaskEdit::SelLength() const
{
    return hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
}

void TCustomMaskEdit::SetSelLength(int Value)
{
    const int start = SelStart();
    setSelection(start, std::clamp(Value, 0, static_cast<int>(text().size()) - start));
}

std::string TCustomMaskEdit::SelText() const
{
    return selectedText().toStdString();
}

void TCustomMaskEdit::SetSelText(const std::string& Value)
{
    if (!IsMasked()) {
        insert(QString::fromStdString(Value));
        return;
    }
    std::string edit = EditText();
    const int start = MaskSelStart();
    m_mask.ClearRange(edit, start, MaskSelEnd());
    int pos = start;
    for (char32_t c : Utf8ToCodePoints(Value)) {
        const int next = m_mask.TypeChar(edit, pos, c);
        if (next >= 0)
            pos = next;
    }
    ShowEditText(edit, pos);
}

void TCustomMaskEdit::SetMaxLength(int Value)
{
    m_maxLength = std::max(0, Value);
    ApplyMaxLength();
}

void TCustomMaskEdit::ApplyMaxLength()
{
    // A mask fixes the length itself; a shorter limit would cut positions
    // off EditText and so scramble the Text read back.
    setMaxLength(m_maxLength > 0 && !IsMasked() ? m_maxLength : 32767);
}

void TCustomMaskEdit::SetPasswordChar(char Value)
{
    TCustomEdit::SetPasswordChar(Value);
    if (Value == 0)
        setEchoMode(QLineEdit::Normal);
    else
        ::SetPasswordChar(this, Value);
}

void TCustomMaskEdit::TypeText(const std::u32string& Typed)
{
    std::string edit = EditText();
    int pos = MaskSelStart();
    if (hasSelectedText())
        m_mask.ClearRange(edit, pos, MaskSelEnd());
    for (char32_t c : Typed) {
        const int next = m_mask.TypeChar(edit, pos, c);
        if (next >= 0)
            pos = next;
    }
    ShowEditText(edit, pos);
    setModified(true);
    UserChanged();
}

bool TCustomMaskEdit::MaskedKey(QKeyEvent* Event)
{
    const QString typed = Event->text();
    const bool printable = IsPrintable(Event);
    const bool back = Event->key() == Qt::Key_Backspace;
    const bool del = Event->key() == Qt::Key_Delete;
    const bool paste = Event->matches(QKeySequence::Paste);
    const bool cut = Event->matches(QKeySequence::Cut);
    if (!printable && !back && !del && !paste && !cut)
        return false;
    if (isReadOnly()) {
        // A read-only edit still reports the characters typed into it.
        if (printable)
            for (char32_t c : Utf8ToCodePoints(typed.toStdString()))
                FilterTyped(c);
        return true;
    }
    if (!EditCanModify())
        return true;
    if (printable) {
        std::u32string chars;
        for (char32_t c : Utf8ToCodePoints(typed.toStdString())) {
            c = FilterTyped(c);
            if (c == 0)
                continue;
            char32_t stored;
            // A character that fits no position left is refused outright.
            const int at = m_mask.NextInputPosition(MaskSelStart());
            if (c != U' ' && (at < 0 || !m_mask.Fits(at, c, stored)))
                return true;
            chars.push_back(c);
        }
        if (!chars.empty())
            TypeText(chars);
        return true;
    }
    if (paste) {
        TypeText(Utf8ToCodePoints(QApplication::clipboard()->text().toStdString()));
        return true;
    }
    std::string edit = EditText();
    int start = MaskSelStart();
    int end = MaskSelEnd();
    const int cursor = start;
    const bool selected = start != end;
    if (cut && hasSelectedText())
        QApplication::clipboard()->setText(selectedText());
    if (start == end) {
        if (cut)
            return true;
        const int at = back ? m_mask.PreviousInputPosition(start) : m_mask.NextInputPosition(start);
        if (at < 0)
            return true;
        start = at;
        end = at + 1;
    }
    m_mask.ClearRange(edit, start, end);
    ShowEditText(edit, back || selected ? start : cursor);
    setModified(true);
    UserChanged();
    return true;
}

namespace {
// Keys with which the line edit itself changes its text.
bool IsEditingKey(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Backspace || Event->key() == Qt::Key_Delete)
        return true;
    for (QKeySequence::StandardKey k :
         {QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::DeleteEndOfWord, QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteCompleteLine})
        if (Event->matches(k))
            return true;
    return false;
}
} // namespace

void TCustomMaskEdit::keyPressEvent(QKeyEvent* Event)
{
    if (HandleKeyPress(Event)) {
        Event->accept();
        return;
    }
    bool handled = false;
    Guarded("KeyPress", [&] {
        if (IsMasked()) {
            handled = MaskedKey(Event);
            return;
        }
        const QString typed = Event->text();
        if (IsPrintable(Event)) {
            handled = true;
            if (isReadOnly()) {
                // A read-only edit still reports the characters typed into it.
                for (char32_t c : Utf8ToCodePoints(typed.toStdString()))
                    FilterTyped(c);
                return;
            }
            if (!EditCanModify())
                return;
            QString out;
            for (char32_t c : Utf8ToCodePoints(typed.toStdString())) {
                c = FilterTyped(c);
                if (c != 0)
                    out += QString::fromStdString(CodePointsToUtf8(std::u32string(1, c)));
            }
            if (out.isEmpty())
                return;
            insert(out);
            setModified(true);
            UserChanged();
        }
    });
    if (handled) {
        Event->accept();
        return;
    }
    // Navigation and the editor's own keys; an edit that cannot change
    // keeps its text, and a masked edit its positions.
    const QString before = text();
    bool mayChange = false;
    if (!isReadOnly() && !IsMasked() && IsEditingKey(Event)) {
        // Asked before the change: a data-aware edit going into edit state
        // shows its field again, which would undo a change made first.
        Guarded("KeyPress", [&] { mayChange = EditCanModify(); });
        if (!mayChange) {
            Event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(Event);
    if (text() == before)
        return;
    if (IsMasked() || !mayChange) {
        setText(before);
        return;
    }
    setModified(true);
    Guarded("Change", [this] { UserChanged(); });
}

void TCustomMaskEdit::keyReleaseEvent(QKeyEvent* Event)
{
    if (HandleKeyRelease(Event)) {
        Event->accept();
        return;
    }
    QLineEdit::keyReleaseEvent(Event);
}

void TCustomMaskEdit::mousePressEvent(QMouseEvent* Event)
{
    QLineEdit::mousePressEvent(Event);
    HandleMouse(Event, true, false);
}

void TCustomMaskEdit::mouseReleaseEvent(QMouseEvent* Event)
{
    QLineEdit::mouseReleaseEvent(Event);
    HandleMouse(Event, false, false);
}

void TCustomMaskEdit::mouseDoubleClickEvent(QMouseEvent* Event)
{
    QLineEdit::mouseDoubleClickEvent(Event);
    HandleMouse(Event, true, true);
}

void TCustomMaskEdit::focusInEvent(QFocusEvent* Event)
{
    QLineEdit::focusInEvent(Event);
    HandleFocus(true);
}

void TCustomMaskEdit::focusOutEvent(QFocusEvent* Event)
{
    QLineEdit::focusOutEvent(Event);
    HandleFocus(false);
}
