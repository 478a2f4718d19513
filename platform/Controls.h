#pragma once
// `TCustomControl`: the base of the system's self-painting controls, a
// QWidget with the old platform's control model on top.
//
// - Geometry in the platform's terms: Left, Top, Width, Height, SetBounds,
//   BoundsRect. Align (top, bottom, left, right, client) places a control in
//   its parent's client area: top-aligned controls first, then bottom, left,
//   right and client, each kind in creation order (AlignControls). The
//   parent need not be a TCustomControl; any widget holding aligned controls
//   re-aligns them when it is resized.
// - Non-client frame: what the old platform kept outside the client area (a
//   panel's frame and caption bar, a splitter edge) lies inside the widget
//   here. SetNonClientMargins reserves the strips along the edges; the client
//   area is what remains. PaintNonClient draws the strips, Paint the client
//   area with the canvas origin at the client's top-left corner; mouse
//   positions given to the control are client coordinates (negative or past
//   the client size over the frame). NCHitTest tells what lies under a
//   point: a sizing edge (HTLEFT, HTRIGHT, HTTOP, HTBOTTOM) shows the sizing
//   cursor and a press there drags the control's size instead of reaching
//   MouseDown.
// - Color with ParentColor and Font with ParentFont follow a TCustomControl
//   parent while set; setting Color or Font clears them.
// - Hot state: MouseInControl is set on mouse enter and cleared on leave.
// - Input arrives as the platform's calls: MouseDown/MouseMove/MouseUp with
//   the shift state (a double click arrives as a MouseDown with ssDouble),
//   KeyDown with virtual-key codes, DoMouseWheel (unhandled wheel messages go
//   on to the parent), MouseEnter/MouseLeave, DoEnter/DoExit.
// - The Qt event handlers are boundaries: an exception from the system's
//   code is reported through the boundary error handler, never passed on.

#include "platform/Canvas.h"
#include "platform/Persistent.h"
#include "platform/Sets.h"
#include "platform/Types.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

enum TAlign
{
    alNone,
    alTop,
    alBottom,
    alLeft,
    alRight,
    alClient
};

// Horizontal alignment of a control's text.
enum TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter
};

// Vertical placement of a control's text.
enum TTextLayout
{
    tlTop,
    tlCenter,
    tlBottom
};

// A control's frame: none, or one border (sunken 3-D, or flat).
enum TBorderStyle
{
    bsNone,
    bsSingle
};

// Which scroll bars a control's window has.
enum TScrollStyle
{
    ssNone,
    ssHorizontal,
    ssVertical,
    ssBoth
};

enum TMouseButton
{
    mbLeft,
    mbRight,
    mbMiddle
};

enum TShiftStateFlag
{
    ssShift,
    ssAlt,
    ssCtrl,
    ssLeft,
    ssRight,
    ssMiddle,
    ssDouble
};
using TShiftState = TSet<TShiftStateFlag, uint8_t>;

using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
Qt::CursorShape ToQtCursor(TCursor cursor);

// Sets the text colour Role of Palette for an enabled control only (the
// active and inactive groups): the disabled group keeps the style's greyed
// text, so that a disabled control shows that it is.
void SetEnabledTextColor(QPalette& Palette, QPalette::ColorRole Role, const QColor& Color);

// Virtual-key codes.
constexpr uint16_t VK_BACK = 8;
constexpr uint16_t VK_TAB = 9;
constexpr uint16_t VK_RETURN = 13;
constexpr uint16_t VK_SHIFT = 16;
constexpr uint16_t VK_CONTROL = 17;
constexpr uint16_t VK_MENU = 18;
constexpr uint16_t VK_ESCAPE = 27;
constexpr uint16_t VK_SPACE = 32;
constexpr uint16_t VK_PRIOR = 33;
constexpr uint16_t VK_NEXT = 34;
constexpr uint16_t VK_END = 35;
constexpr uint16_t VK_HOME = 36;
constexpr uint16_t VK_LEFT = 37;
constexpr uint16_t VK_UP = 38;
constexpr uint16_t VK_RIGHT = 39;
constexpr uint16_t VK_DOWN = 40;
constexpr uint16_t VK_INSERT = 45;
constexpr uint16_t VK_DELETE = 46;
constexpr uint16_t VK_ADD = 107;      // the numeric keypad's plus
constexpr uint16_t VK_SUBTRACT = 109; // the numeric keypad's minus
constexpr uint16_t VK_F1 = 112;
constexpr uint16_t VK_F2 = 113;
constexpr uint16_t VK_F4 = 115;
// The virtual-key code of a Qt key (letters and digits as their upper-case
// characters); 0 for keys without one.
uint16_t VirtualKeyFromQt(int qtKey);
// The same, telling the numeric keypad's plus and minus (VK_ADD,
// VK_SUBTRACT) from the typewriter keys.
uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);

// Hit-test codes of NCHitTest.
constexpr int HTNOWHERE = 0;
constexpr int HTCLIENT = 1;
constexpr int HTCAPTION = 2;
constexpr int HTLEFT = 10;
constexpr int HTRIGHT = 11;
constexpr int HTTOP = 12;
constexpr int HTBOTTOM = 15;
constexpr int HTBORDER = 18;

// One control as the alignment sees it.
struct TAlignRequest
{
    TAlign Align = alNone;
    TRect Bounds;
    bool Visible = true;
};
// Where each control goes inside `client`: top-aligned controls stack down
// from the top at their own height, bottom-aligned up from the bottom, then
// left and right ones take the remaining height at their own width, and a
// client-aligned control fills what is left (several share the same
// rectangle). Hidden and unaligned controls keep their bounds.
std::vector<TRect> AlignControls(const TRect& client, const std::vector<TAlignRequest>& controls);
// Places the aligned TCustomControl children of `parent` in its client area.
void AlignChildren(QWidget* parent);

// No Q_OBJECT: the controls use no signals or slots; dynamic_cast finds them.
class TCustomControl : public QWidget, public TObject
{
  public:
    explicit TCustomControl(QWidget* parent = nullptr);
    ~TCustomControl() override;
    std::string ClassName() const override { return "TCustomControl"; }

    int Left() const { return x(); }
    int Top() const { return y(); }
    int Width() const { return width(); }
    int Height() const { return height(); }
    void SetLeft(int value) { SetBounds(value, Top(), Width(), Height()); }
    void SetTop(int value) { SetBounds(Left(), value, Width(), Height()); }
    void SetWidth(int value) { SetBounds(Left(), Top(), value, Height()); }
    void SetHeight(int value) { SetBounds(Left(), Top(), Width(), value); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(Left(), Top(), Width(), Height()); }

    // The client area: (0, 0, ClientWidth, ClientHeight) in client
    // coordinates; in the widget it starts at ClientOrigin.
    TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
    int ClientWidth() const;
    int ClientHeight() const;
    // Sets the client height by changing the control's height.
    void SetClientHeight(int value);
    void SetClientWidth(int value);
    TPoint ClientOrigin() const { return {m_nonClient.Left, m_nonClient.Top}; }
    const TRect& NonClientMargins() const { return m_nonClient; }
    void SetNonClientMargins(const TRect& margins);
    TPoint ScreenToClient(const TPoint& p) const;
    TPoint ClientToScreen(const TPoint& p) const;

    TAlign Align() const { return m_align; }
    void SetAlign(TAlign value);
    // Places the aligned children again (done on every resize).
    void Realign();
    // The part of the control (widget coordinates) that aligned children
    // fill: the client area; a tab control keeps its tabs out of it.
    virtual void AdjustClientRect(TRect& Rect) const {}

    bool Visible() const { return !isHidden(); }
    void SetVisible(bool value);
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool value) { setEnabled(value); }

    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool value);
    TFont& Font() { return m_font; }
    const TFont& Font() const { return m_font; }
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool value);

    intptr_t Tag() const { return m_tag; }
    void SetTag(intptr_t value) { m_tag = value; }
    // The component name a form gives the control (kept as the widget's
    // object name).
    std::string Name() const { return objectName().toStdString(); }
    void SetName(const std::string& value) { setObjectName(QString::fromStdString(value)); }
    TCursor Cursor() const { return m_cursor; }
    void SetCursor(TCursor value);
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool value);
    bool MouseInControl() const { return m_mouseInControl; }
    bool Focused() const { return hasFocus(); }
    bool CanFocus() const;
    void SetFocus();
    // Whether the control is being designed (never, in a running program).
    bool Designing() const { return false; }

    // Asks for a repaint at the next event loop turn; Repaint paints now.
    virtual void Invalidate();
    void Repaint();

    // The canvas while Paint or PaintNonClient runs.
    TCanvas& Canvas() { return m_canvas; }

    TNotifyEvent OnResize;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)> OnMouseDown;
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)> OnMouseUp;
    std::function<void(TObject* sender, TShiftState shift, int x, int y)> OnMouseMove;
    std::function<void(TObject* sender, uint16_t& key, TShiftState shift)> OnKeyDown;

  protected:
    // The client area; the canvas origin is the client's top-left corner.
    virtual void Paint();
    // The frame strips, in widget coordinates.
    virtual void PaintNonClient(TCanvas& canvas) {}
    // The part of the client area being painted, in client coordinates.
    const TRect& PaintRect() const { return m_paintRect; }

    // What lies under a point in client coordinates: HTCLIENT inside the
    // client area, HTBORDER over the frame; descendants answer sizing edges.
    virtual int NCHitTest(const TPoint& clientPos);
    // The cursor over what NCHitTest answered: the sizing cursors over the
    // edges, Cursor over the client area.
    virtual TCursor HitTestCursor(int hit) const;

    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    // Answers whether the wheel message was handled; `mousePos` is in client
    // coordinates, `wheelDelta` 120 per notch, positive away from the user.
    virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, const TPoint& mousePos);
    // Setting `key` to 0 consumes it.
    virtual void KeyDown(uint16_t& key, TShiftState shift);
    virtual void KeyUp(uint16_t& key, TShiftState shift) {}
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void DoEnter();
    virtual void DoExit();
    virtual void Resize();
    virtual void ColorChanged() { Invalidate(); }
    virtual void FontChanged() { Invalidate(); }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void HandleResized();
    void RequestParentAlign();
    void AdoptParentColor();
    void AdoptParentFont();
    void UpdateCursor(int hit);
    void Guarded(const char* where, const std::function<void()>& fn);
    TPoint ToClient(const QPointF& widgetPos) const;

    TAlign m_align = alNone;
    TRect m_nonClient;
    TColor m_color = clBtnFace;
    bool m_parentColor = true;
    TFont m_font;
    bool m_parentFont = true;
    bool m_applyingParentFont = false;
    intptr_t m_tag = 0;
    TCursor m_cursor = crDefault;
    bool m_tabStop = false;
    bool m_mouseInControl = false;
    bool m_clicking = false;
    TCanvas m_canvas;
    TRect m_paintRect;
    // A drag of a sizing edge: which edge, the press point (screen) and the
    // bounds at the press.
    int m_sizingEdge = HTNOWHERE;
    TPoint m_sizingStart;
    TRect m_sizingBounds;
};
