#pragma once
// `TKldValueListBox`: the drop-down list of a value editor. A bordered,
// top-most tool window that never takes the activation or the focus: the
// editor keeps the keyboard and hands it Enter, Esc, PgUp, PgDn, Up and Down
// while the list is down. At most 8 rows show; a list wider than its editor
// ends at the editor's right edge, and one that would leave the work area at
// the bottom is moved up by its height less one pixel.
//
// The list is a top-level window owned by its editor, which the grid owns:
// it goes with them. While it shows, a mouse press anywhere else in the
// program closes it without accepting (the platform's cancel mode).

#include "platform/StringList.h"
#include "platform/Types.h"

#include <QListWidget>

class TKldValueEditor;

// Where the list goes (screen coordinates) and how many rows show, for an
// editor at `editor` (screen), `widestText` the widest item text in pixels,
// `count` items of `itemHeight`, with `scrollBarWidth` and the desktop's
// `workArea`.
struct TValueListPlacement
{
    TRect Bounds;
    int VisibleRows = 0;
};
TValueListPlacement PlaceValueList(const TRect& editor, int widestText, int count, int itemHeight,
                                   int scrollBarWidth, const TRect& workArea);

class TKldValueListBox : public QListWidget
{
  public:
    static constexpr int MaxRows = 8;

    explicit TKldValueListBox(TKldValueEditor* editor);
    ~TKldValueListBox() override;

    // The values; the editor fills them through the grid, Adjust shows them.
    TStringList& Items() { return m_items; }
    int ItemIndex() const { return currentRow(); }
    void SetItemIndex(int index);
    int TopIndex() const;
    void SetTopIndex(int index);
    int ItemHeight() const;
    int VisibleRows() const { return m_visibleRows; }

    // Sizes and places the list under its editor and shows it without
    // activation.
    void Adjust();
    bool IsVisible() const { return isVisible(); }
    // A key handed over by the editor while the list is down.
    void KeyDown(uint16_t key, bool alt);
    // One wheel notch (delta > 0 away from the user): TopIndex moves by
    // VisibleRows div 2.
    void WheelStep(int delta);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void SyncRows();
    void SelectAt(const QPoint& pos);

    TKldValueEditor* m_editor;
    TStringList m_items;
    int m_visibleRows = 0;
    bool m_capturing = false;
    bool m_filtering = false;
};
