#include "Components/Controller/notifications/NotifyRules.h"

#include "platform/DateUtils.h"

#include <algorithm>
#include <cmath>

int32_t NotifyAutoUpdateInterval(int32_t Milliseconds) { return Milliseconds < 1000 ? 0 : Milliseconds; }

std::string NotifyDateLine(TDateTime Date, TDateTime Today)
{
    const std::string time = FormatDateTime("t", Date);
    if (std::floor(Date) == std::floor(Today))
        return "At " + time;
    return "On " + FormatDateTime("ddddd", Date) + " at " + time;
}

TNotifyBubble NotifyBubble(const TRect& R, int32_t Width, bool RightAligned)
{
    const int32_t h = R.Bottom - R.Top;
    const int32_t f = RightAligned ? Width - 26 : 10;
    const int32_t left = RightAligned ? R.Right - Width : R.Left;
    return {Bounds(left, R.Top, Width, h),
            {{0, 8}, {f, 8}, {f + 8, 0}, {f + 16, 8}, {Width, 8}, {Width, h}, {0, h}, {0, 8}}};
}

void SetAllNotificationsSeen(TNotifications& List)
{
    for (int32_t i = 0; i < List.Count(); ++i)
        List[i]->SetNew(false);
}

void TNotifyListState::ClampOffset()
{
    Offset = std::clamp(Offset, 0, std::max(0, Total - ClientHeight));
}

void TNotifyListState::ScrollBy(int32_t Delta)
{
    Offset += Delta;
    ClampOffset();
}

void TNotifyListState::Layout(const TMeasure& Measure)
{
    const int32_t width = ClientWidth - 56;
    Total = 0;
    for (int32_t i = 0; i < Count(); ++i) {
        TNotifyItem* item = (*List)[i];
        item->Top = Total;
        item->Height = (Measure ? Measure(item->Text, width) : 0) + 58;
        Total += item->Height;
    }
    HotIndex = -1;
    HotElement = TNotifyItemElement::elNone;
    Selected = -1;
    ClampOffset();
}

int32_t TNotifyListState::ItemAtPos(TPoint P) const
{
    const int32_t y = P.Y + Offset;
    for (int32_t i = 0; i < Count(); ++i) {
        const TNotifyItem* item = (*List)[i];
        if (y >= item->Top && y < item->Bottom())
            return i;
    }
    return -1;
}

TNotifyItemElement TNotifyListState::ElementAtPos(int32_t Index, TPoint P) const
{
    if (Index < 0 || Index >= Count())
        return TNotifyItemElement::elNone;
    const TNotifyItem* item = (*List)[Index];
    TRect r = InflateRect(Rect(0, item->Top - Offset, ClientWidth, item->Bottom() - Offset), -8, -8);
    if (P.Y < r.Top + 16 && P.X > r.Right - 16)
        return TNotifyItemElement::elIgnore;
    r.Right -= 8;
    return PtInRect(r, P) ? TNotifyItemElement::elText : TNotifyItemElement::elNone;
}

bool TNotifyListState::MouseMove(TPoint P)
{
    const int32_t hot = ItemAtPos(P);
    const TNotifyItemElement element = ElementAtPos(hot, P);
    const bool changed = hot != HotIndex || element != HotElement;
    HotIndex = hot;
    HotElement = element;
    return changed;
}

void TNotifyListState::Select(int32_t Index)
{
    Selected = Count() == 0 ? -1 : std::clamp(Index, 0, Count() - 1);
    if (Selected < 0)
        return;
    const TNotifyItem* item = (*List)[Selected];
    const int32_t h = std::min(item->Height, ClientHeight - 10);
    if (item->Top < Offset)
        Offset = item->Top;
    else if (item->Top + h > Offset + ClientHeight)
        Offset = item->Top + h - ClientHeight;
    ClampOffset();
}

void TNotifyListState::DoItemEvent(int32_t Index, TNotifyItemElement Element, const TItemEvent& Event)
{
    if (Element == TNotifyItemElement::elNone || Index < 0 || Index >= Count())
        return;
    TNotifyItem* item = (*List)[Index];
    bool accepted = true;
    if (Event)
        Event(item, Element, accepted);
    if (!accepted)
        return;
    // The list may have changed inside the event; the item is found again
    // by its counter.
    List->DeleteItem(item->Counter);
    if (Selected >= 0)
        Select(std::min(Selected, Count() - 1));
}

void TNotifyToastCycle::Check(TNotifications& List, bool SetAllSeen)
{
    if (SetAllSeen) {
        SetAllNotificationsSeen(List);
        return;
    }
    bool anyNew = false;
    for (int32_t i = 0; i < List.Count(); ++i)
        anyNew = anyNew || List[i]->New();
    if (anyNew && Armed && !Running) {
        Elapsed = 0;
        Running = true;
    }
}

bool TNotifyToastCycle::NextToast(TNotifications& List)
{
    TNotifyItem* found = nullptr;
    for (int32_t i = 0; i < List.Count() && !found; ++i)
        if (List[i]->New())
            found = List[i];
    if (found) {
        found->SetNew(false);
        Shown.Assign(found);
        Alpha = 255;
    }
    Elapsed = 0;
    Running = found != nullptr;
    Visible = found != nullptr;
    return found != nullptr;
}

void TNotifyToastCycle::Tick(TNotifications& List)
{
    if (Elapsed == 0)
        NextToast(List);
    if (Elapsed >= 4300)
        Visible = false;
    else if (Elapsed > 4000)
        Alpha = 200 - (Elapsed - 4000) / 2;
    Elapsed += 100;
    if (Elapsed > 4500)
        Elapsed = 0;
}

int32_t TNotifyToastCycle::CloseUp(const TNotifications& List)
{
    Running = false;
    Visible = false;
    return List.FindItemIdx(Shown.Counter);
}

TNotifyItemElement TNotifyToastCycle::HitTest(TPoint P, int32_t ClientWidth, int32_t ItemHeight)
{
    const TRect body = InflateRect(Rect(0, 34, ClientWidth, 34 + ItemHeight), -8, 0);
    if (P.Y < 34 + 16 && P.X > body.Right - 8)
        return TNotifyItemElement::elIgnore;
    return PtInRect(body, P) ? TNotifyItemElement::elText : TNotifyItemElement::elNone;
}
