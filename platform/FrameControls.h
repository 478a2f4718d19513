#pragma once
// The platform's stock 3-D edges and frame controls, drawn on a TCanvas: the
// raised and sunken rims of headers and panels (DrawEdge) and the small
// buttons controls paint into their own area (DrawFrameControl: check
// boxes, push buttons, the drop-down button of a combo box).
//
// Colours (resolved through the palette at each call):
// - DrawEdge draws one-pixel rings, the outer one first. A raised ring has
//   its light colour on the left and top and its dark colour on the right
//   and bottom; a sunken ring the other way round. The outer ring is
//   cl3DLight / cl3DDkShadow, the inner one clBtnHighlight / clBtnShadow;
//   BF_SOFT gives the outer ring the inner ring's colours. BF_MIDDLE fills
//   what the rings leave with clBtnFace; BF_ADJUST shrinks the rectangle by
//   the rings drawn. Only the sides named by BF_LEFT ... BF_BOTTOM are drawn.
// - DrawFrameControl with DFCS_FLAT draws a one-pixel clBtnShadow frame
//   instead of 3-D rims. A check box is a square of the rectangle's smaller
//   side, centred, with a clWindow inside (clBtnFace when DFCS_INACTIVE or
//   DFCS_PUSHED) and, when DFCS_CHECKED, a check mark in clWindowText
//   (clGrayText when inactive). A push button and the scroll-down button
//   fill the rectangle with clBtnFace (cl3DLight while DFCS_HOT and not
//   pushed); the scroll-down button carries a small arrow, moved down and
//   right by one pixel while pushed.

#include "platform/Canvas.h"
#include "platform/Types.h"

// DrawEdge rings.
constexpr unsigned BDR_RAISEDOUTER = 0x1;
constexpr unsigned BDR_SUNKENOUTER = 0x2;
constexpr unsigned BDR_RAISEDINNER = 0x4;
constexpr unsigned BDR_SUNKENINNER = 0x8;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr unsigned EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;

// DrawEdge sides and options.
constexpr unsigned BF_LEFT = 0x1;
constexpr unsigned BF_TOP = 0x2;
constexpr unsigned BF_RIGHT = 0x4;
constexpr unsigned BF_BOTTOM = 0x8;
constexpr unsigned BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr unsigned BF_MIDDLE = 0x800;
constexpr unsigned BF_SOFT = 0x1000;
constexpr unsigned BF_ADJUST = 0x2000;
constexpr unsigned BF_FLAT = 0x4000;

// Draws the chosen rings on the chosen sides of `rect`; with BF_ADJUST the
// rectangle shrinks by them. False when `edge` names no ring.
bool DrawEdge(TCanvas& canvas, TRect& rect, unsigned edge, unsigned flags);

// DrawFrameControl kinds.
constexpr unsigned DFC_BUTTON = 4;
constexpr unsigned DFC_SCROLL = 3;
// Button states of DFC_BUTTON.
constexpr unsigned DFCS_BUTTONCHECK = 0x0;
constexpr unsigned DFCS_BUTTONPUSH = 0x10;
// Glyphs of DFC_SCROLL.
constexpr unsigned DFCS_SCROLLDOWN = 0x1;
constexpr unsigned DFCS_SCROLLCOMBOBOX = 0x5;
// Common states.
constexpr unsigned DFCS_INACTIVE = 0x100;
constexpr unsigned DFCS_PUSHED = 0x200;
constexpr unsigned DFCS_CHECKED = 0x400;
constexpr unsigned DFCS_HOT = 0x1000;
constexpr unsigned DFCS_FLAT = 0x4000;

// False for a kind or glyph not drawn here (nothing is drawn then).
bool DrawFrameControl(TCanvas& canvas, const TRect& rect, unsigned kind, unsigned state);
