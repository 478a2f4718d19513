#include "platform/StdCtrls.h"

#include "platform/Threads.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QTextDocument>
#include <QWidget>

#include <QChar>

// ---------------------------------------------------------------------------
// TCustomEdit

TCustomEdit::TCustomEdit()
{
    m_font.SetColor(clWindowText);
    m_font.OnChange = [this](TObject*) { ApplyLook(); };
}

TCustomEdit::~TCustomEdit()
{
    m_font.OnChange = nullptr;
}

void TCustomEdit::Guarded(const char* Where, const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (...) {
        ReportCurrentException(ClassName() + "." + Where);
    }
}

void TCustomEdit::SelectAll()
{
    SetSelStart(0);
    SetSelLength(static_cast<int>(QString::fromStdString(Text()).size()));
}

void TCustomEdit::SetColor(TColor Value)
{
    if (Value == m_color)
        return;
    m_color = Value;
    ApplyLook();
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value)
{
    m_borderStyle = Value;
    ApplyLook();
}

void TCustomEdit::SetCharCase(TEditCharCase Value)
{
    m_charCase = Value;
    if (Value == ecNormal)
        return;
    const QString t = QString::fromStdString(Text());
    SetText((Value == ecUpperCase ? t.toUpper() : t.toLower()).toStdString());
}

void TCustomEdit::SetTabStop(bool Value)
{
    m_tabStop = Value;
    Widget()->setFocusPolicy(Value ? Qt::StrongFocus : Qt::ClickFocus);
}

int TCustomEdit::Left() const
{
    return Widget()->x();
}
int TCustomEdit::Top() const
{
    return Widget()->y();
}
int TCustomEdit::Width() const
{
    return Widget()->width();
}
int TCustomEdit::Height() const
{
    return Widget()->height();
}
void TCustomEdit::SetLeft(int Value)
{
    SetBounds(Value, Top(), Width(), Height());
}
void TCustomEdit::SetTop(int Value)
{
    SetBounds(Left(), Value, Width(), Height());
}
void TCustomEdit::SetWidth(int Value)
{
    SetBounds(Left(), Top(), Value, Height());
}
void TCustomEdit::SetHeight(int Value)
{
    SetBounds(Left(), Top(), Width(), Value);
}
void TCustomEdit::SetBounds(int Left, int Top, int Width, int Height)
{
    Widget()->setGeometry(Left, Top, std::max(0, Width), std::max(0, Height));
}

bool TCustomEdit::CanFocus() const
{
    const QWidget* w = Widget();
    // A widget not yet shown answers by its own flags: the platform asks
    // whether the control could take the focus, not whether it is on screen.
    return w->isEnabled() && !w->isHidden() && (!w->window()->isVisible() || w->isVisible());
}

bool TCustomEdit::Focused() const
{
    return Widget()->hasFocus();
}

void TCustomEdit::SetFocus()
{
    Widget()->setFocus(Qt::OtherFocusReason);
}

void TCustomEdit::ApplyLook()
{
    QWidget* w = Widget();
    QPalette p = w->palette();
    p.setColor(QPalette::Base, ToQColor(m_color));
    p.setColor(QPalette::Window, ToQColor(m_color));
    SetEnabledTextColor(p, QPalette::Text, ToQColor(m_font.Color()));
    w->setPalette(p);
    w->setFont(m_font.Handle());
}

void TCustomEdit::Change()
{
    if (OnChange)
        OnChange(this);
}

void TCustomEdit::KeyDown(uint16_t& Key, TShiftState Shift)
{
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

void TCustomEdit::KeyPress(char32_t& Key)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
}

void TCustomEdit::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
}

void TCustomEdit::DoExit()
{
    if (OnExit)
        OnExit(this);
}

char32_t TCustomEdit::FilterTyped(char32_t Key)
{
    KeyPress(Key);
    if (Key == 0)
        return 0;
    if (m_charCase == ecUpperCase)
        Key = QChar::toUpper(Key);
    else if (m_charCase == ecLowerCase)
        Key = QChar::toLower(Key);
    return Key;
}

bool TCustomEdit::HandleKeyPress(QKeyEvent* Event)
{
    uint16_t key = VirtualKeyFromQt(Event->key(), Event->modifiers());
    if (key == 0)
        return false;
    Guarded("KeyDown", [&] { KeyDown(key, ShiftStateFromQt(Event->modifiers())); });
    return key == 0;
}

bool TCustomEdit::HandleKeyRelease(QKeyEvent* Event)
{
    uint16_t key = VirtualKeyFromQt(Event->key(), Event->modifiers());
    if (key == 0 || !OnKeyUp)
        return false;
    Guarded("KeyUp", [&] { OnKeyUp(this, key, ShiftStateFromQt(Event->modifiers())); });
    return key == 0;
}

void TCustomEdit::HandleMouse(QMouseEvent* Event, bool Press, bool Double)
{
    TMouseButton button = mbLeft;
    if (Event->button() == Qt::RightButton)
        button = mbRight;
    else if (Event->button() == Qt::MiddleButton)
        button = mbMiddle;
    else if (Event->button() != Qt::LeftButton)
        return;
    const QPoint p = Event->position().toPoint();
    TShiftState shift = ShiftStateFromQt(Event->modifiers(), Event->buttons());
    Guarded("Mouse", [&] {
        if (Double) {
            shift.Include(ssDouble);
            if (button == mbLeft && OnDblClick)
                OnDblClick(this);
        }
        if (Press) {
            m_clicking = button == mbLeft;
            if (OnMouseDown)
                OnMouseDown(this, button, shift, p.x(), p.y());
            return;
        }
        const bool click = m_clicking && button == mbLeft && Widget()->rect().contains(p);
        m_clicking = false;
        if (OnMouseUp)
            OnMouseUp(this, button, shift, p.x(), p.y());
        if (click && OnClick)
            OnClick(this);
    });
}

void TCustomEdit::HandleFocus(bool In)
{
    Guarded(In ? "DoEnter" : "DoExit", [&] {
        if (In) {
            if (m_autoSelect)
                SelectAll();
            DoEnter();
        } else {
            DoExit();
        }
    });
}

// ---------------------------------------------------------------------------
// TPlainLabel

TPlainLabel::TPlainLabel(QWidget* Parent, Qt::WindowFlags Flags) : QLabel(Parent, Flags)
{
    setTextFormat(Qt::PlainText);
}

TPlainLabel::TPlainLabel(const QString& Text, QWidget* Parent, Qt::WindowFlags Flags) : QLabel(Parent, Flags)
{
    setTextFormat(Qt::PlainText);
    setText(Text);
}

QString PlainToolTip(const QString& Text)
{
    QString lines = Text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    if (!Qt::mightBeRichText(lines))
        return lines;
    return Qt::convertFromPlainText(lines, Qt::WhiteSpacePre);
}

QString PlainToolTip(const std::string& Text)
{
    return PlainToolTip(QString::fromStdString(Text));
}

// ---------------------------------------------------------------------------
// TCustomLabel

TCustomLabel::TCustomLabel(QWidget* Parent) : QLabel(Parent)
{
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    m_font.OnChange = [this](TObject*) { ApplyLook(); };
    ApplyLook();
}

void TCustomLabel::ApplyLook()
{
    QPalette p = palette();
    p.setColor(QPalette::Window, ToQColor(m_color));
    SetEnabledTextColor(p, QPalette::WindowText, ToQColor(m_font.Color()));
    setPalette(p);
    setAutoFillBackground(!m_transparent);
    setFont(m_font.Handle());
    Qt::Alignment v = Qt::AlignTop;
    if (m_layout == tlCenter)
        v = Qt::AlignVCenter;
    else if (m_layout == tlBottom)
        v = Qt::AlignBottom;
    setAlignment(Qt::AlignLeft | v);
    AdjustBounds();
}

void TCustomLabel::AdjustBounds()
{
    if (!m_autoSize)
        return;
    const QSize s = sizeHint();
    resize(s.width(), s.height());
}

void TCustomLabel::SetCaption(const std::string& Value)
{
    setText(QString::fromStdString(Value));
    AdjustBounds();
}

void TCustomLabel::SetAutoSize(bool Value)
{
    m_autoSize = Value;
    AdjustBounds();
}

void TCustomLabel::SetTransparent(bool Value)
{
    m_transparent = Value;
    ApplyLook();
}

void TCustomLabel::SetColor(TColor Value)
{
    m_color = Value;
    ApplyLook();
}

void TCustomLabel::SetLayout(TTextLayout Value)
{
    m_layout = Value;
    ApplyLook();
}

void TCustomLabel::SetBounds(int Left, int Top, int Width, int Height)
{
    setGeometry(Left, Top, std::max(0, Width), std::max(0, Height));
}

namespace {
bool LabelButton(const QMouseEvent* Event, TMouseButton& Button)
{
    switch (Event->button()) {
    case Qt::LeftButton:
        Button = mbLeft;
        return true;
    case Qt::RightButton:
        Button = mbRight;
        return true;
    case Qt::MiddleButton:
        Button = mbMiddle;
        return true;
    default:
        return false;
    }
}

void GuardedLabel(TCustomLabel* Label, const char* Where, const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (...) {
        ReportCurrentException(Label->ClassName() + "." + Where);
    }
}
} // namespace

void TCustomLabel::mousePressEvent(QMouseEvent* Event)
{
    TMouseButton button;
    if (!LabelButton(Event, button))
        return;
    m_clicking = button == mbLeft;
    const QPoint p = Event->position().toPoint();
    GuardedLabel(this, "MouseDown", [&] {
        if (OnMouseDown)
            OnMouseDown(this, button, ShiftStateFromQt(Event->modifiers(), Event->buttons()), p.x(), p.y());
    });
}

void TCustomLabel::mouseReleaseEvent(QMouseEvent* Event)
{
    TMouseButton button;
    if (!LabelButton(Event, button))
        return;
    const QPoint p = Event->position().toPoint();
    const bool click = m_clicking && button == mbLeft && rect().contains(p);
    m_clicking = false;
    GuardedLabel(this, "MouseUp", [&] {
        if (OnMouseUp)
            OnMouseUp(this, button, ShiftStateFromQt(Event->modifiers(), Event->buttons()), p.x(), p.y());
        if (click && OnClick)
            OnClick(this);
    });
}

void TCustomLabel::mouseDoubleClickEvent(QMouseEvent* Event)
{
    TMouseButton button;
    if (!LabelButton(Event, button))
        return;
    const QPoint p = Event->position().toPoint();
    GuardedLabel(this, "DblClick", [&] {
        if (button == mbLeft && OnDblClick)
            OnDblClick(this);
        TShiftState shift = ShiftStateFromQt(Event->modifiers(), Event->buttons());
        shift.Include(ssDouble);
        if (OnMouseDown)
            OnMouseDown(this, button, shift, p.x(), p.y());
    });
}
