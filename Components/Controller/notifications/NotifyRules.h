#pragma once
// The rules of the notification center's list and of its toast, kept apart
// from the widgets so that layout, hit tests, selection and the toast's
// timing can be driven directly: the widgets feed them sizes, points and
// timer ticks and paint what they say.

#include "Components/Controller/notifications/Notifications.h"
#include "platform/Types.h"

#include <functional>
#include <string>
#include <vector>

enum class TNotifyItemElement { elNone, elText, elIgnore };

// Below 1000 ms the auto-update is off (0).
int32_t NotifyAutoUpdateInterval(int32_t Milliseconds);

// "At <time>" for a notification of today, else "On <date> at <time>", in
// the short date and time formats.
std::string NotifyDateLine(TDateTime Date, TDateTime Today);

// The bubble a form is shaped into: the window's bounds on screen and its
// region's polygon in window coordinates (the arrow's apex points up).
struct TNotifyBubble
{
    TRect Bounds;
    std::vector<TPoint> Region;
};
TNotifyBubble NotifyBubble(const TRect& R, int32_t Width, bool RightAligned);

// The list control's state: scroll offset, total height, hot and selected
// items.
class TNotifyListState
{
public:
    // Height of a text word-wrapped to a width, with the font at size 8.
    using TMeasure = std::function<int32_t(const std::string& Text, int32_t Width)>;

    TNotifications* List = nullptr;
    int32_t ClientWidth = 0;
    int32_t ClientHeight = 0;
    int32_t Offset = 0;
    int32_t Total = 0;
    int32_t HotIndex = -1;
    TNotifyItemElement HotElement = TNotifyItemElement::elNone;
    int32_t Selected = -1;

    int32_t Count() const { return List ? List->Count() : 0; }
    // Places every item, clears hot and selected, clamps the offset.
    void Layout(const TMeasure& Measure);
    void ClampOffset();
    void ScrollBy(int32_t Delta);
    int32_t ItemAtPos(TPoint P) const;
    TNotifyItemElement ElementAtPos(int32_t Index, TPoint P) const;
    // Clamps to the items (-1 for none) and scrolls the item into view.
    void Select(int32_t Index);
    // Returns whether the hot item or element changed.
    bool MouseMove(TPoint P);
    // Raises Event with Accepted True; a still accepted item leaves the
    // list. An exception from Event leaves the item in place.
    using TItemEvent = std::function<void(TNotifyItem* Item, TNotifyItemElement Element, bool& Accepted)>;
    void DoItemEvent(int32_t Index, TNotifyItemElement Element, const TItemEvent& Event);
};

// The toast's cycle, driven by 100 ms ticks.
class TNotifyToastCycle
{
public:
    bool Armed = false;
    bool Running = false;
    bool Visible = false;
    int32_t Elapsed = 0;
    int32_t Alpha = 255;
    TNotifyItem Shown;

    // After a refresh: every item seen when SetAllSeen; otherwise, with a
    // new item, armed and the center hidden, the cycle starts from 0.
    void Check(TNotifications& List, bool SetAllSeen);
    void Tick(TNotifications& List);
    // Shows the first new item (made seen); returns whether there was one.
    bool NextToast(TNotifications& List);
    // The center opens: the cycle stops, the toast hides; the index of its
    // item in the list (to select) or -1.
    int32_t CloseUp(const TNotifications& List);
    // Body and close glyph of the toast for an item of ItemHeight.
    static TNotifyItemElement HitTest(TPoint P, int32_t ClientWidth, int32_t ItemHeight);
};

void SetAllNotificationsSeen(TNotifications& List);
