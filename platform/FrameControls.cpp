#include "platform/FrameControls.h"

#include <algorithm>

namespace {
void HLine(TCanvas& canvas, int left, int right, int y, TColor color)
{
    if (right <= left)
        return;
    canvas.Brush().Color = color;
    canvas.Brush().Style = bsSolid;
    canvas.FillRect(Rect(left, y, right, y + 1));
}

void VLine(TCanvas& canvas, int x, int top, int bottom, TColor color)
{
    if (bottom <= top)
        return;
    canvas.Brush().Color = color;
    canvas.Brush().Style = bsSolid;
    canvas.FillRect(Rect(x, top, x + 1, bottom));
}

// One ring on the chosen sides: light on the left and top, dark on the
// right and bottom (the caller swaps them for a sunken ring).
void Ring(TCanvas& canvas, TRect& r, unsigned sides, TColor light, TColor dark)
{
    if (sides & BF_LEFT)
        VLine(canvas, r.Left, r.Top, r.Bottom, light);
    if (sides & BF_TOP)
        HLine(canvas, r.Left, r.Right, r.Top, light);
    if (sides & BF_RIGHT)
        VLine(canvas, r.Right - 1, r.Top, r.Bottom, dark);
    if (sides & BF_BOTTOM)
        HLine(canvas, r.Left, r.Right, r.Bottom - 1, dark);
    if (sides & BF_LEFT)
        ++r.Left;
    if (sides & BF_TOP)
        ++r.Top;
    if (sides & BF_RIGHT)
        --r.Right;
    if (sides & BF_BOTTOM)
        --r.Bottom;
}

void FlatFrame(TCanvas& canvas, const TRect& r, TColor fill)
{
    canvas.Brush().Style = bsSolid;
    canvas.Brush().Color = fill;
    canvas.FillRect(r);
    canvas.Brush().Color = clBtnShadow;
    canvas.FrameRect(r);
}

void CheckMark(TCanvas& canvas, const TRect& box, TColor color)
{
    // A tick of three-pixel-thick strokes, scaled to the box: down from the
    // left third to the bottom, then up to the right.
    const int size = box.Width();
    const int x0 = box.Left + size / 4;
    const int y0 = box.Top + size / 2 - 1;
    const int mid = std::max(1, size / 5);
    const int rise = std::max(2, size / 2 - 1);
    canvas.Brush().Color = color;
    canvas.Brush().Style = bsSolid;
    for (int i = 0; i <= mid + rise; ++i) {
        const int y = i <= mid ? y0 + i : y0 + mid - (i - mid);
        canvas.FillRect(Rect(x0 + i, y, x0 + i + 1, y + 3));
    }
}

void DownArrow(TCanvas& canvas, const TRect& r, TColor color)
{
    const int width = std::max(1, std::min(r.Width(), r.Height()) / 2) | 1; // odd: a pointed tip
    const int left = r.Left + (r.Width() - width) / 2;
    const int top = r.Top + (r.Height() - (width + 1) / 2) / 2;
    canvas.Brush().Color = color;
    canvas.Brush().Style = bsSolid;
    for (int row = 0; row < (width + 1) / 2; ++row)
        canvas.FillRect(Rect(left + row, top + row, left + width - row, top + row + 1));
}
} // namespace

bool DrawEdge(TCanvas& canvas, TRect& rect, unsigned edge, unsigned flags)
{
    const unsigned outer = edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER);
    const unsigned inner = edge & (BDR_RAISEDINNER | BDR_SUNKENINNER);
    if (!outer && !inner)
        return false;
    const unsigned sides = flags & BF_RECT;
    TRect r = rect;
    if (flags & BF_FLAT) {
        Ring(canvas, r, sides, clBtnShadow, clBtnShadow);
    } else {
        if (outer) {
            const bool soft = flags & BF_SOFT;
            const TColor light = soft ? clBtnHighlight : cl3DLight;
            const TColor dark = soft ? clBtnShadow : cl3DDkShadow;
            if (outer & BDR_RAISEDOUTER)
                Ring(canvas, r, sides, light, dark);
            else
                Ring(canvas, r, sides, dark, light);
        }
        if (inner) {
            if (inner & BDR_RAISEDINNER)
                Ring(canvas, r, sides, clBtnHighlight, clBtnShadow);
            else
                Ring(canvas, r, sides, clBtnShadow, clBtnHighlight);
        }
    }
    if (flags & BF_MIDDLE) {
        canvas.Brush().Color = clBtnFace;
        canvas.Brush().Style = bsSolid;
        canvas.FillRect(r);
    }
    if (flags & BF_ADJUST)
        rect = r;
    return true;
}

bool DrawFrameControl(TCanvas& canvas, const TRect& rect, unsigned kind, unsigned state)
{
    const bool flat = state & DFCS_FLAT;
    const bool pushed = state & DFCS_PUSHED;
    const bool inactive = state & DFCS_INACTIVE;
    const TColor face = (state & DFCS_HOT) && !pushed ? cl3DLight : clBtnFace;
    auto framed = [&](TRect r, TColor fill) {
        if (flat) {
            FlatFrame(canvas, r, fill);
            return InflateRect(r, -1, -1);
        }
        DrawEdge(canvas, r, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
        canvas.Brush().Color = fill;
        canvas.Brush().Style = bsSolid;
        canvas.FillRect(r);
        return r;
    };
    if (kind == DFC_BUTTON && (state & 0xFF) == DFCS_BUTTONCHECK) {
        const int size = std::min(rect.Width(), rect.Height());
        if (size <= 0)
            return true;
        const int left = rect.Left + (rect.Width() - size) / 2;
        const int top = rect.Top + (rect.Height() - size) / 2;
        const TRect box = framed(Bounds(left, top, size, size), inactive || pushed ? clBtnFace : clWindow);
        if (state & DFCS_CHECKED)
            CheckMark(canvas, box, inactive ? clGrayText : clWindowText);
        return true;
    }
    if (kind == DFC_BUTTON && (state & 0xFF) == DFCS_BUTTONPUSH) {
        framed(rect, face);
        return true;
    }
    if (kind == DFC_SCROLL && ((state & 0xFF) == DFCS_SCROLLDOWN || (state & 0xFF) == DFCS_SCROLLCOMBOBOX)) {
        TRect inside = framed(rect, face);
        if (pushed)
            inside = OffsetRect(inside, 1, 1);
        DownArrow(canvas, inside, inactive ? clGrayText : clBtnText);
        return true;
    }
    return false;
}
