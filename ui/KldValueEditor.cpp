#include "ui/KldValueEditor.h"

#include "platform/FrameControls.h"
#include "platform/ScopedFlag.h"
#include "platform/Threads.h"
#include "ui/KldValueListBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWheelEvent>

namespace {
bool IsValueList(TKldEditType t)
{
    return t == etValueList || t == etValueListOnly;
}

bool IsDialog(TKldEditType t)
{
    return t == etDialog || t == etDialogOnly;
}
} // namespace

TKldValueEditor::TKldValueEditor(TKldGridView* grid) : QLineEdit(grid), m_grid(grid)
{
    setFrame(false);
    setFocusPolicy(Qt::ClickFocus); // not a tab stop
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setMouseTracking(true);
    m_list = new TKldValueListBox(this);
    SetGridFont(grid->Font());
    hide();
}

TKldValueEditor::~TKldValueEditor() = default;

void TKldValueEditor::Guarded(const char* where, const std::function<void()>& fn)
{
    try {
        fn();
    } catch (...) {
        ReportCurrentException(std::string("TKldValueEditor.") + where);
    }
}

bool TKldValueEditor::HasButton() const
{
    return IsValueList(m_editType) || IsDialog(m_editType);
}

int TKldValueEditor::ButtonWidth() const
{
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

QRect TKldValueEditor::ButtonRect() const
{
    if (!HasButton())
        return {};
    const int w = ButtonWidth();
    return QRect(width() - w, 0, w, height());
}

void TKldValueEditor::SetGridFont(const TFont& font)
{
    setFont(font.Handle());
    QPalette p = palette();
    p.setColor(QPalette::Base, ToQColor(m_grid->Color()));
    p.setColor(QPalette::Text, ToQColor(font.Color()));
    setPalette(p);
}

// ---------------------------------------------------------------------------
// Editing

void TKldValueEditor::EditCell(bool Focus)
{
    TKldGridView& grid = *m_grid;
    const TPoint cell = grid.CurCell();
    const TKldCellStates states = grid.DoCellState(cell.X, cell.Y, {});
    if (states.Contains(csDisabled)) {
        Hide();
        return;
    }
    SetValue();
    m_returnCell = {-1, -1};
    m_list->Items().Clear();
    TCellEditOptions options;
    options.ValueList = &m_list->Items();
    grid.DoCellEditOptions(cell.X, cell.Y, options);
    m_editType = options.EditType;

    const bool hadFocus = hasFocus();
    // Prepared without showing intermediate states (hiding a focused edit
    // would hand the focus to another control).
    setUpdatesEnabled(false);
    m_cell = cell;
    std::string start;
    grid.DoGetCellText(cell.X, cell.Y, start);
    m_startText = start;
    m_searchText.clear();
    setText(QString::fromStdString(m_startText));
    setModified(false);
    setReadOnly(states.Contains(csReadOnly) || m_editType == etDialogOnly);
    setEchoMode(QLineEdit::Normal);
    setUpdatesEnabled(true);

    Adjust();
    grid.SetEditorMode(true);
    if (grid.ShowOptions().Contains(soTextAutoSelect))
        selectAll();
    if ((Focus || hadFocus) && isVisible() && Editing())
        setFocus(Qt::OtherFocusReason);
}

bool TKldValueEditor::CellVisible(const TPoint& cell, const TRect& r) const
{
    // A cell that starts under the marker column (scrolled partly off to
    // the left) has no editor either.
    const TRect work = m_grid->WorkRect();
    return cell.Y >= m_grid->TopRow() && cell.Y < m_grid->TopRow() + m_grid->VisibleRows() && r.Left >= work.Left &&
           r.Left < work.Right;
}

void TKldValueEditor::ComeBack()
{
    if (m_returnCell.X < 0)
        return;
    TKldGridView& grid = *m_grid;
    if (!grid.hasFocus() || grid.CurCell() != m_returnCell) {
        m_returnCell = {-1, -1};
        return;
    }
    if (!CellVisible(m_returnCell, grid.GetCellRect(m_returnCell.X, m_returnCell.Y, true)))
        return;
    m_returnCell = {-1, -1};
    grid.SetEditorMode(true);
    if (grid.CanShowEditor())
        EditCell(true);
    else
        grid.SetEditorMode(false);
}

void TKldValueEditor::Adjust()
{
    if (!Editing()) {
        ComeBack();
        return;
    }
    TKldGridView& grid = *m_grid;
    TRect r = grid.GetCellRect(m_cell.X, m_cell.Y, true);
    r.Right -= 1;
    r.Bottom -= 1;
    // The limit is compared with the cell's own width (the rectangle is a
    // pixel narrower).
    if (HasButton() && grid.MaxEditorWidth() > 0 && grid.MaxEditorWidth() < r.Width() + 1) {
        const int textWidth = fontMetrics().horizontalAdvance(text());
        r.Right = r.Left + std::max(grid.MaxEditorWidth(), textWidth + ButtonWidth() + 5);
    }
    r.Right = std::min(r.Right, grid.ClientWidth());
    const TPoint o = grid.ClientOrigin();
    setGeometry(ToQRect(OffsetRect(r, o.X, o.Y)));
    // The formatting rectangle: in by one pixel at the left and top, one
    // less at the right, less the button. The edit keeps its caret in view.
    setTextMargins(1, 1, 1 + (HasButton() ? ButtonWidth() : 0), 0);

    const bool visible = CellVisible(m_cell, r);
    if (!visible && isVisible() && hasFocus()) {
        // The grid takes the focus, and with it the editor leaves its cell;
        // it comes back when the cell scrolls into view again while the
        // grid still holds the focus.
        const TPoint cell = m_cell;
        grid.SetFocus();
        if (!Editing() && grid.hasFocus())
            m_returnCell = cell;
    }
    if (isVisible() != visible && (visible ? Editing() : true))
        setVisible(visible);
    update();
}

void TKldValueEditor::Hide()
{
    m_returnCell = {-1, -1};
    if (m_hiding)
        return;
    TScopedFlag hiding(m_hiding);
    m_grid->SetEditorMode(false);
    if (isVisible() || (Editing() && isModified())) {
        CloseUp(false);
        SetValue();
        m_list->Items().Clear();
        if (hasFocus()) {
            m_grid->m_focusFromEditor = true;
            m_grid->SetFocus();
            if (!m_grid->hasFocus())
                m_grid->m_focusFromEditor = false; // no focus-in came to take it
        }
        const QRect covered = geometry();
        setVisible(false);
        m_grid->update(covered);
    }
    m_cell = {-1, -1};
}

void TKldValueEditor::UpdateValue()
{
    const TPoint cell = Editing() ? m_cell : m_grid->CurCell();
    std::string value = Text();
    setModified(false);
    try {
        m_grid->DoSetCellText(cell.X, cell.Y, value);
    } catch (...) {
        setText(QString::fromStdString(m_startText));
        setModified(false);
        throw;
    }
    m_startText = value;
    setText(QString::fromStdString(value));
    setModified(false);
    if (HasButton())
        Adjust();
    if (m_grid->ShowOptions().Contains(soTextAutoSelect))
        selectAll();
    m_grid->InvalidateCell(cell.X, cell.Y, m_repaintRow || m_grid->ShowOptions().Contains(soRowSelect));
}

void TKldValueEditor::SetValue()
{
    if (isModified())
        UpdateValue();
}

void TKldValueEditor::ResetValue()
{
    if (!isModified())
        return;
    setText(QString::fromStdString(m_startText));
    setModified(false);
}

// ---------------------------------------------------------------------------
// The list and the button

void TKldValueEditor::DropDown()
{
    m_list->Adjust();
    m_droppedDown = true;
    update();
    setFocus(Qt::OtherFocusReason);
}

void TKldValueEditor::CloseUp(bool Accept)
{
    if (QWidget::mouseGrabber() == m_list)
        m_list->releaseMouse();
    m_list->hide();
    const bool wasDown = m_droppedDown;
    m_droppedDown = false;
    if (wasDown && Accept && m_list->ItemIndex() >= 0) {
        setText(QString::fromStdString(m_list->Items()[m_list->ItemIndex()]));
        UpdateValue();
    }
    if (wasDown && isVisible())
        setFocus(Qt::OtherFocusReason);
    update();
}

void TKldValueEditor::ButtonClick()
{
    if (IsValueList(m_editType)) {
        if (m_droppedDown)
            CloseUp(!m_pressedWhileDown);
        else
            DropDown();
        return;
    }
    if (!IsDialog(m_editType))
        return;
    TScopedFlag running(m_dialogRunning);
    std::string value = Text();
    if (m_grid->DoCellExecDialog(m_cell.X, m_cell.Y, value)) {
        setText(QString::fromStdString(value));
        setModified(true);
    }
}

bool TKldValueEditor::CompleteChar(char32_t ch)
{
    if (!IsValueList(m_editType) || isReadOnly())
        return false;
    const QString current = text();
    const QString search = QString::fromStdString(m_searchText);
    const int selStart = hasSelectedText() ? selectionStart() : cursorPosition();
    const int selEnd = hasSelectedText() ? selectionStart() + selectionLength() : cursorPosition();
    const bool continues = selStart == search.size() && current.startsWith(search, Qt::CaseInsensitive) &&
                           selEnd == current.size();
    QString next = search;
    if (!continues) {
        if (selStart == current.size() && !hasSelectedText())
            next = current;
        else if (hasSelectedText() && selStart == 0 && selEnd == current.size())
            next.clear();
        else
            return false;
    }
    if (ch >= 32)
        next += QString::fromUcs4(&ch, 1);
    else if (ch == 8 && !next.isEmpty())
        next.chop(1);
    m_searchText = next.toStdString();

    int found = -1;
    TStringList& items = m_list->Items();
    for (int i = 0; i < items.Count(); ++i) {
        if (QString::fromStdString(items[i]).startsWith(next, Qt::CaseInsensitive)) {
            found = i;
            break;
        }
    }
    m_list->SetItemIndex(found);
    if (found >= 0) {
        const QString item = QString::fromStdString(items[found]);
        setText(item);
        setSelection(item.size(), -(item.size() - next.size()));
    } else {
        setText(next);
        setCursorPosition(next.size());
    }
    setModified(true);
    return true;
}

// ---------------------------------------------------------------------------
// Keys

void TKldValueEditor::PassToGrid(uint16_t key, TShiftState shift)
{
    SetValue();
    m_grid->KeyDown(key, shift);
}

bool TKldValueEditor::HandleKey(uint16_t key, TShiftState shift)
{
    const bool noMods = (shift - TShiftState{ssLeft, ssRight, ssMiddle}).Empty();
    if (m_droppedDown && (key == VK_RETURN || key == VK_ESCAPE || key == VK_PRIOR || key == VK_NEXT ||
                          key == VK_UP || key == VK_DOWN)) {
        m_list->KeyDown(key, shift.Contains(ssAlt));
        return true;
    }
    switch (key) {
    case VK_TAB:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN:
        if (shift.Contains(ssAlt) && (key == VK_UP || key == VK_DOWN)) {
            ButtonClick();
            key = 0;
        }
        PassToGrid(key, shift);
        return true;
    case VK_RETURN:
        if (!noMods)
            return false;
        UpdateValue();
        return true;
    case VK_ESCAPE:
        ResetValue();
        return true;
    case VK_HOME:
    case VK_END:
        if (!shift.Contains(ssCtrl))
            return false;
        PassToGrid(key, shift);
        return true;
    case VK_LEFT:
        if (noMods && cursorPosition() == 0 && !hasSelectedText()) {
            PassToGrid(key, shift);
            return true;
        }
        return false;
    case VK_RIGHT: {
        const int len = static_cast<int>(text().size());
        const int start = hasSelectedText() ? selectionStart() : cursorPosition();
        const int end = hasSelectedText() ? start + selectionLength() : cursorPosition();
        if (noMods && end == len && (start == 0 || !hasSelectedText())) {
            PassToGrid(key, shift);
            return true;
        }
        return false;
    }
    case VK_F2:
        deselect();
        return true;
    default:
        return false;
    }
}

void TKldValueEditor::keyPressEvent(QKeyEvent* event)
{
    bool handled = true;
    Guarded("KeyDown", [&] {
        const uint16_t key = VirtualKeyFromQt(event->key());
        const TShiftState shift = ShiftStateFromQt(event->modifiers());
        if (key != 0 && HandleKey(key, shift))
            return;
        const QString typed = event->text();
        if (key == VK_BACK && CompleteChar(8))
            return;
        if (!typed.isEmpty() && typed.at(0).unicode() >= 32 && !(shift.Contains(ssCtrl) && !shift.Contains(ssAlt))) {
            const char32_t ch = typed.toUcs4().value(0);
            if (CompleteChar(ch))
                return;
        }
        // Tab, line feed, carriage return and Esc are never typed.
        if (!typed.isEmpty() && (typed.at(0) == u'\t' || typed.at(0) == u'\n' || typed.at(0) == u'\r' ||
                                 typed.at(0) == u'\x1b'))
            return;
        handled = false;
    });
    if (handled)
        event->accept();
    else
        QLineEdit::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Mouse

void TKldValueEditor::SetPressed(bool value)
{
    if (value == m_buttonPressed)
        return;
    m_buttonPressed = value;
    update();
}

void TKldValueEditor::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && ButtonRect().contains(event->position().toPoint())) {
        Guarded("MouseDown", [&] {
            m_pressedWhileDown = m_droppedDown;
            SetPressed(true);
            ButtonClick();
        });
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void TKldValueEditor::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        Guarded("DblClick", [&] {
            m_pressedWhileDown = m_droppedDown;
            SetPressed(true);
            ButtonClick();
        });
        event->accept();
        return;
    }
    QLineEdit::mouseDoubleClickEvent(event);
}

void TKldValueEditor::mouseMoveEvent(QMouseEvent* event)
{
    const bool over = ButtonRect().contains(event->position().toPoint());
    const bool hot = over && isEnabled();
    if (hot != m_buttonHot) {
        m_buttonHot = hot;
        update();
    }
    setCursor(over && m_editType != etValue ? Qt::ArrowCursor : Qt::IBeamCursor);
    QLineEdit::mouseMoveEvent(event);
}

void TKldValueEditor::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressedWhileDown = false;
    SetPressed(false);
    QLineEdit::mouseReleaseEvent(event);
}

void TKldValueEditor::leaveEvent(QEvent* event)
{
    m_buttonHot = false;
    SetPressed(false);
    update();
    QLineEdit::leaveEvent(event);
}

void TKldValueEditor::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    Guarded("MouseWheel", [&] {
        if (m_droppedDown) {
            m_list->WheelStep(delta);
            return;
        }
        const QPoint inGrid = mapTo(m_grid, event->position().toPoint());
        const TPoint o = m_grid->ClientOrigin();
        m_grid->DoMouseWheel(ShiftStateFromQt(event->modifiers(), event->buttons()), delta,
                             {inGrid.x() - o.X, inGrid.y() - o.Y});
    });
    event->accept();
}

// ---------------------------------------------------------------------------
// Focus and painting

void TKldValueEditor::focusInEvent(QFocusEvent* event)
{
    // A grid that cannot hold the focus cannot hand it to its editor.
    if (!m_grid->isEnabled() || !m_grid->isVisible()) {
        clearFocus();
        return;
    }
    QLineEdit::focusInEvent(event);
    if (isVisible())
        Guarded("Enter", [&] { Adjust(); });
}

void TKldValueEditor::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Window activation and popup menus are not focus moves between
    // controls.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    Guarded("Exit", [&] {
        m_buttonHot = false;
        m_buttonPressed = false;
        CloseUp(false);
        if (QApplication::focusWidget() == m_grid)
            m_grid->m_focusFromEditor = true;
        if (!m_dialogRunning && !m_hiding)
            Hide();
    });
}

void TKldValueEditor::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (!HasButton())
        return;
    QPainter painter(this);
    TCanvas canvas(&painter);
    const TRect r = FromQRect(ButtonRect());
    unsigned state = DFCS_FLAT;
    if (m_buttonPressed)
        state |= DFCS_PUSHED;
    if (m_buttonHot)
        state |= DFCS_HOT;
    if (IsValueList(m_editType)) {
        DrawFrameControl(canvas, r, DFC_SCROLL, state | DFCS_SCROLLCOMBOBOX);
    } else {
        DrawFrameControl(canvas, r, DFC_BUTTON, state | DFCS_BUTTONPUSH);
        DrawImageListItem(canvas, m_buttonPressed ? OffsetRect(r, 1, 1) : r, &KldGridImages(), true, 0);
    }
}
