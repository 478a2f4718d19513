#pragma once
// The notification center: a borderless drop-down shaped like a speech
// bubble under the main window's toolbar, its owner-drawn list of
// notifications and the toast that shows new ones while the center is
// closed. The rules (layout, hit tests, selection, the toast's timing) are
// TNotifyListState and TNotifyToastCycle; these widgets feed them input and
// paint what they say.

#include "Components/Controller/notifications/NotifyRules.h"
#include "base/KldCanvas.h"
#include "platform/ImageList.h"

#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class TNotifyCenter;

// The close glyphs "KLD_NOTIFY_CLOSE_G" (index 0, grey) and
// "KLD_NOTIFY_CLOSE_O" (index 1, orange) from the program's pictures; a
// missing picture is a null image, drawn as nothing.
std::vector<QImage> LoadNotifyGlyphs();

// Paints one item (shared by the list and the toast). C is the client
// rectangle, I the item's; rectangles' right and bottom edges are exclusive
// (left + width, top + height). Icons may be null (no pictures); an index
// outside it draws no picture.
void PaintNotifyItem(QPainter& Painter, const QRect& C, const QRect& I, const TNotifyItem& Item, bool Odd,
                     bool Selected, bool Hot, bool InPopup, TNotifyItemElement HotElement,
                     const std::vector<QImage>* Glyphs, const TCustomImageList* Icons, TDateTime Today);

class TNotifyControl : public QWidget
{
public:
    explicit TNotifyControl(QWidget* Parent = nullptr);

    void SetList(TNotifications* List);
    void LayoutChanged();
    int32_t ItemAtPos(QPoint P) const { return m_state.ItemAtPos({P.x(), P.y()}); }
    TNotifyItemElement ElementAtPos(int32_t Index, QPoint P) const { return m_state.ElementAtPos(Index, {P.x(), P.y()}); }
    void DoItemEvent(int32_t Index, TNotifyItemElement Element);
    void Select(int32_t Index);

    TNotifyListState& State() { return m_state; }
    QSize LaidOutSize() const { return m_laidOutSize; }
    // The center's picture list, read at every paint.
    const TGuardedPtr<const TCustomImageList>* Icons = nullptr;
    const std::vector<QImage>* Glyphs = nullptr;
    TNotifyListState::TItemEvent OnItemEvent;
    std::function<void()> OnListChanged;
    std::function<void()> OnRefreshKey;
    std::function<TDateTime()> TodayFn;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void SyncScrollBar();
    void SetHot(QPoint P);

    TNotifyListState m_state;
    // Painting goes here first and reaches the screen in one copy.
    TKldCanvas m_canvas{0, 0};
    QScrollBar* m_scroll;
    bool m_destroying = false;
    QSize m_laidOutSize;
};

class TNotifyPopup : public QWidget
{
public:
    explicit TNotifyPopup(TNotifyCenter* Center);

    TNotifyToastCycle& Cycle() { return m_cycle; }
    // After a refresh.
    void CheckNewItems(bool SetAllSeen);
    // One 100 ms step (the timer calls it; tests drive it).
    void Tick();
    void CloseUp();
    // Hangs the toast from the center's rectangle, right-aligned: the
    // center's top, the shown item's height plus 36 pixels.
    void Place();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    void ApplyCycle();

    TNotifyCenter* m_center;
    TNotifyToastCycle m_cycle;
    QTimer m_timer;
    TNotifyItemElement m_hot = TNotifyItemElement::elNone;
};

class TNotifyCenter : public QWidget
{
public:
    explicit TNotifyCenter(TNotifyDatabase* Database, QWidget* Parent = nullptr);
    ~TNotifyCenter() override;

    bool UpdateNotifications();
    bool SetupNotifications();
    // Places the center from OnNotifyBounds (hidden or not) and a toast that
    // shows with it.
    void AdjustBounds();
    void ListChanged();
    void SetAutoUpdate(int32_t Milliseconds);
    int32_t AutoUpdate() const { return m_timer.interval() == 0 || !m_timer.isActive() ? 0 : m_timer.interval(); }
    // Shows the center: bounds adjusted, toast closed, everything seen.
    void ShowCenter();

    TNotifications& Notifications() { return *m_list; }
    TNotifyTargets& Targets() { return *m_targets; }
    TNotifyControl* Control() { return m_control; }
    TNotifyPopup* Popup() { return m_popup; }
    QLabel* SetupImage() { return m_imgSetup; }
    QRect LastBounds() const { return m_bounds; }

    // The pictures of the targets (the main window's icon list, borrowed).
    // Read when painting, so that pictures added after the center was made
    // (the targets' own) are drawn; a list that is gone draws none.
    TGuardedPtr<const TCustomImageList> Icons;
    // imgNotify: the close glyphs.
    const std::vector<QImage>& NotifyGlyphs() const { return m_imgNotify; }
    std::function<bool(TNotifications*)> OnNotifyUpdate;
    std::function<bool()> OnNotifySetup;
    std::function<void(TNotifyItem*, bool&)> OnNotifyExecute;
    std::function<QRect()> OnNotifyBounds;
    std::function<void()> OnNotifyChanged;

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    bool event(QEvent*) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ItemEvent(TNotifyItem* Item, TNotifyItemElement Element, bool& Accepted);

    std::vector<QImage> m_imgNotify;
    std::unique_ptr<TNotifyTargets> m_targets;
    std::unique_ptr<TNotifications> m_list;
    TNotifyControl* m_control;
    TNotifyPopup* m_popup;
    QLabel* m_imgSetup;
    QLabel* m_imgRefresh;
    QTimer m_timer;
    QRect m_bounds;
    bool m_updating = false;
    bool m_inItemEvent = false;
};

// Shapes and places a form as a bubble: topmost without activation, its
// region the bubble's polygon.
void _DoNotifyAdjust(QWidget* Form, const QRect& R, int32_t Width, bool RightAligned);
