#pragma once
// `TKldValueEditor`: the grid's in-place editor. A borderless edit that lies
// over the current cell while the grid is in editor mode, writes its text
// back through the grid on commit and restores it on cancel. Value-list
// cells carry a drop-down button that opens `TKldValueListBox` and complete
// typed prefixes from its values; dialog cells carry an ellipsis button that
// asks the grid to run a dialog for the cell. Navigation keys go on to the
// grid, so the user moves between cells without leaving the keyboard.
//
// The editor commits to the cell it was opened on, also when the grid's
// current cell has moved meanwhile, and a modified text is committed when
// the editor leaves even while scrolling has hidden it: a pending text never
// lands in another cell, and is never dropped. A focused editor whose cell
// scrolls out of view (or slides under the marker column) leaves it as on
// any focus loss, the grid taking the focus; it opens again on that cell
// when the cell scrolls back while the grid still holds the focus.
//
// A failed commit (the grid's DoSetCellText raising) puts the text read at
// the start back and propagates to the caller; key and focus handlers are
// the boundary, where the failure is reported and the key goes no further.
// Owned by its grid (Qt parent); user-interface thread only.

#include "platform/Canvas.h"
#include "platform/Controls.h"
#include "ui/KldGridView.h"

#include <QLineEdit>

#include <functional>
#include <string>

class TKldValueListBox;

class TKldValueEditor : public QLineEdit
{
  public:
    explicit TKldValueEditor(TKldGridView* grid);
    ~TKldValueEditor() override;

    void EditCell(bool Focus);
    void Adjust();
    void Hide();
    void UpdateValue();
    // UpdateValue only when the text was modified.
    void SetValue();
    // A modified text returns to StartText, no longer modified.
    void ResetValue();
    void DropDown();
    void CloseUp(bool Accept);
    void ButtonClick();

    TKldGridView& Grid() const { return *m_grid; }
    TKldValueListBox& ListBox() const { return *m_list; }
    TKldEditType EditType() const { return m_editType; }
    const std::string& StartText() const { return m_startText; }
    const std::string& SearchText() const { return m_searchText; }
    bool DroppedDown() const { return m_droppedDown; }
    bool DialogRunning() const { return m_dialogRunning; }
    bool ButtonHot() const { return m_buttonHot; }
    bool ButtonPressed() const { return m_buttonPressed; }
    // Between EditCell and Hide: the editor holds a cell.
    bool Editing() const { return m_cell.X >= 0; }
    // The cell being edited; (-1, -1) when none.
    TPoint Cell() const { return m_cell; }
    bool HasButton() const;
    // The platform's width of a vertical scroll bar.
    int ButtonWidth() const;
    // The button's place in the editor's own coordinates (empty without one).
    QRect ButtonRect() const;
    std::string Text() const { return text().toStdString(); }
    void SetGridFont(const TFont& font);
    // Repaint the whole current row after a commit, not just the cell.
    bool RepaintRow() const { return m_repaintRow; }
    void SetRepaintRow(bool value) { m_repaintRow = value; }

    // Completion of a typed character (a code of 32 or more, or Backspace as
    // 8) in a value-list cell; false when the character is to be typed
    // normally.
    bool CompleteChar(char32_t ch);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    friend class TKldValueListBox;

    // Runs an input handler at the event boundary: a failure is reported
    // and the event counts as handled.
    void Guarded(const char* where, const std::function<void()>& fn);
    bool HandleKey(uint16_t key, TShiftState shift);
    void PassToGrid(uint16_t key, TShiftState shift);
    void SetPressed(bool value);
    // Whether `cell`, placed at `r` in the grid, is in view.
    bool CellVisible(const TPoint& cell, const TRect& r) const;
    // Opens the editor again on the cell it left, focused, when the cell
    // scrolled out of view, once the cell is back (and the grid kept the
    // focus and the cell).
    void ComeBack();

    TKldGridView* m_grid;
    TKldValueListBox* m_list; // a top-level window owned by the editor (Qt parent)
    TPoint m_cell{-1, -1};
    // The cell whose focused editor left when the cell scrolled out of view;
    // (-1, -1) when none.
    TPoint m_returnCell{-1, -1};
    TKldEditType m_editType = etNone;
    std::string m_startText;
    std::string m_searchText;
    bool m_droppedDown = false;
    bool m_buttonHot = false;
    bool m_buttonPressed = false;
    bool m_pressedWhileDown = false;
    bool m_dialogRunning = false;
    bool m_hiding = false;
    bool m_repaintRow = false;
};
