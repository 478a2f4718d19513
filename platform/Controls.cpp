#include "platform/Controls.h"

#include "platform/Threads.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>

// ---------------------------------------------------------------------------
// Conversions

Qt::CursorShape ToQtCursor(TCursor cursor)
{
    switch (cursor) {
    case crNone:
        return Qt::BlankCursor;
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crSizeNESW:
        return Qt::SizeBDiagCursor;
    case crSizeNS:
        return Qt::SizeVerCursor;
    case crSizeNWSE:
        return Qt::SizeFDiagCursor;
    case crSizeWE:
        return Qt::SizeHorCursor;
    case crUpArrow:
        return Qt::UpArrowCursor;
    case crHourGlass:
        return Qt::WaitCursor;
    case crDrag:
        return Qt::DragMoveCursor;
    case crNoDrop:
    case crNo:
        return Qt::ForbiddenCursor;
    case crHSplit:
        return Qt::SplitHCursor;
    case crVSplit:
        return Qt::SplitVCursor;
    case crAppStart:
        return Qt::BusyCursor;
    case crHelp:
        return Qt::WhatsThisCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crSizeAll:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

void SetEnabledTextColor(QPalette& Palette, QPalette::ColorRole Role, const QColor& Color)
{
    Palette.setColor(QPalette::Active, Role, Color);
    Palette.setColor(QPalette::Inactive, Role, Color);
}

uint16_t VirtualKeyFromQt(int qtKey)
{
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<uint16_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey == Qt::Key_Plus)
            return VK_ADD;
        if (qtKey == Qt::Key_Minus)
            return VK_SUBTRACT;
    }
    return VirtualKeyFromQt(qtKey);
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState s;
    s.Set(ssShift, modifiers & Qt::ShiftModifier);
    s.Set(ssCtrl, modifiers & Qt::ControlModifier);
    s.Set(ssAlt, modifiers & Qt::AltModifier);
    s.Set(ssLeft, buttons & Qt::LeftButton);
    s.Set(ssRight, buttons & Qt::RightButton);
    s.Set(ssMiddle, buttons & Qt::MiddleButton);
    return s;
}

namespace {
bool ToMouseButton(Qt::MouseButton qt, TMouseButton& button)
{
    switch (qt) {
    case Qt::LeftButton:
        button = mbLeft;
        return true;
    case Qt::RightButton:
        button = mbRight;
        return true;
    case Qt::MiddleButton:
        button = mbMiddle;
        return true;
    default:
        return false;
    }
}

bool IsSizingEdge(int hit)
{
    return hit == HTLEFT || hit == HTRIGHT || hit == HTTOP || hit == HTBOTTOM;
}
} // namespace

// ---------------------------------------------------------------------------
// Alignment

std::vector<TRect> AlignControls(const TRect& client, const std::vector<TAlignRequest>& controls)
{
    std::vector<TRect> result;
    result.reserve(controls.size());
    for (const TAlignRequest& c : controls)
        result.push_back(c.Bounds);
    TRect rest = client;
    for (TAlign kind : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (size_t i = 0; i < controls.size(); ++i) {
            const TAlignRequest& c = controls[i];
            if (!c.Visible || c.Align != kind)
                continue;
            const int w = c.Bounds.Width();
            const int h = c.Bounds.Height();
            switch (kind) {
            case alTop:
                result[i] = {rest.Left, rest.Top, rest.Right, rest.Top + h};
                rest.Top = std::min(rest.Top + h, rest.Bottom);
                break;
            case alBottom:
                result[i] = {rest.Left, rest.Bottom - h, rest.Right, rest.Bottom};
                rest.Bottom = std::max(rest.Bottom - h, rest.Top);
                break;
            case alLeft:
                result[i] = {rest.Left, rest.Top, rest.Left + w, rest.Bottom};
                rest.Left = std::min(rest.Left + w, rest.Right);
                break;
            case alRight:
                result[i] = {rest.Right - w, rest.Top, rest.Right, rest.Bottom};
                rest.Right = std::max(rest.Right - w, rest.Left);
                break;
            case alClient:
                result[i] = rest;
                break;
            case alNone:
                break;
            }
        }
    }
    return result;
}

namespace {
// Parents being aligned at the moment: the bounds the alignment sets must not
// start it again.
std::vector<const QWidget*>& AligningParents()
{
    static std::vector<const QWidget*> parents;
    return parents;
}

// Re-aligns the controls of a parent that is not a TCustomControl when it is
// resized.
class TAligner : public QObject
{
  public:
    explicit TAligner(QWidget* parent) : QObject(parent) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parent() && event->type() == QEvent::Resize)
            AlignChildren(static_cast<QWidget*>(parent()));
        return false;
    }
};

void EnsureAligner(QWidget* parent)
{
    if (dynamic_cast<TCustomControl*>(parent))
        return;
    for (QObject* child : parent->children())
        if (dynamic_cast<TAligner*>(child))
            return;
    parent->installEventFilter(new TAligner(parent));
}
} // namespace

void AlignChildren(QWidget* parent)
{
    if (!parent)
        return;
    auto& aligning = AligningParents();
    if (std::find(aligning.begin(), aligning.end(), parent) != aligning.end())
        return;
    std::vector<QPointer<TCustomControl>> controls;
    std::vector<TAlignRequest> requests;
    bool any = false;
    for (QObject* child : parent->children()) {
        auto* control = dynamic_cast<TCustomControl*>(child);
        if (!control || control->isWindow())
            continue;
        controls.push_back(control);
        requests.push_back({control->Align(), control->BoundsRect(), control->Visible()});
        any = any || control->Align() != alNone;
    }
    if (!any)
        return;
    TRect client;
    if (auto* owner = dynamic_cast<TCustomControl*>(parent)) {
        const TPoint o = owner->ClientOrigin();
        client = Bounds(o.X, o.Y, owner->ClientWidth(), owner->ClientHeight());
        owner->AdjustClientRect(client);
    } else {
        client = FromQRect(parent->rect());
    }
    const std::vector<TRect> placed = AlignControls(client, requests);
    aligning.push_back(parent);
    for (size_t i = 0; i < controls.size(); ++i) {
        TCustomControl* c = controls[i];
        if (c && requests[i].Align != alNone && placed[i] != c->BoundsRect())
            c->SetBounds(placed[i].Left, placed[i].Top, placed[i].Width(), placed[i].Height());
    }
    aligning.erase(std::find(aligning.begin(), aligning.end(), parent));
}

// ---------------------------------------------------------------------------
// TCustomControl

TCustomControl::TCustomControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    m_font.OnChange = [this](TObject*) {
        if (!m_applyingParentFont)
            m_parentFont = false;
        FontChanged();
        for (QObject* child : children())
            if (auto* c = dynamic_cast<TCustomControl*>(child); c && c->m_parentFont)
                c->AdoptParentFont();
    };
    AdoptParentColor();
    AdoptParentFont();
}

TCustomControl::~TCustomControl()
{
    m_font.OnChange = nullptr;
}

void TCustomControl::Guarded(const char* where, const std::function<void()>& fn)
{
    try {
        fn();
    } catch (...) {
        ReportCurrentException(ClassName() + "." + where);
    }
}

TPoint TCustomControl::ToClient(const QPointF& widgetPos) const
{
    const QPoint p = widgetPos.toPoint();
    return {p.x() - m_nonClient.Left, p.y() - m_nonClient.Top};
}

void TCustomControl::SetBounds(int left, int top, int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    const QSize old = size();
    if (QRect(left, top, width, height) != geometry())
        setGeometry(left, top, width, height);
    if (size() != old && !testAttribute(Qt::WA_WState_Visible)) {
        // A hidden widget hears of its new size only when shown; the
        // platform's controls lay out at once.
        setAttribute(Qt::WA_PendingResizeEvent, false);
        HandleResized();
        // A Qt layout inside hears of a size from the resize event, which
        // no longer comes.
        if (QLayout* inner = layout()) {
            inner->invalidate();
            inner->activate();
        }
    }
    if (m_align != alNone)
        RequestParentAlign();
}

int TCustomControl::ClientWidth() const
{
    return std::max(0, width() - m_nonClient.Left - m_nonClient.Right);
}

int TCustomControl::ClientHeight() const
{
    return std::max(0, height() - m_nonClient.Top - m_nonClient.Bottom);
}

void TCustomControl::SetClientHeight(int value)
{
    SetHeight(value + m_nonClient.Top + m_nonClient.Bottom);
}

void TCustomControl::SetClientWidth(int value)
{
    SetWidth(value + m_nonClient.Left + m_nonClient.Right);
}

void TCustomControl::SetNonClientMargins(const TRect& margins)
{
    if (margins == m_nonClient)
        return;
    m_nonClient = margins;
    Realign();
    Invalidate();
}

TPoint TCustomControl::ScreenToClient(const TPoint& p) const
{
    const QPoint w = mapFromGlobal(QPoint(p.X, p.Y));
    return {w.x() - m_nonClient.Left, w.y() - m_nonClient.Top};
}

TPoint TCustomControl::ClientToScreen(const TPoint& p) const
{
    const QPoint s = mapToGlobal(QPoint(p.X + m_nonClient.Left, p.Y + m_nonClient.Top));
    return {s.x(), s.y()};
}

void TCustomControl::SetAlign(TAlign value)
{
    if (value == m_align)
        return;
    m_align = value;
    RequestParentAlign();
}

void TCustomControl::Realign()
{
    AlignChildren(this);
}

void TCustomControl::RequestParentAlign()
{
    QWidget* parent = parentWidget();
    if (!parent || isWindow())
        return;
    EnsureAligner(parent);
    AlignChildren(parent);
}

void TCustomControl::SetVisible(bool value)
{
    if (value == Visible())
        return;
    setVisible(value);
    RequestParentAlign();
}

void TCustomControl::SetColor(TColor value)
{
    m_parentColor = false;
    if (value == m_color)
        return;
    m_color = value;
    ColorChanged();
    for (QObject* child : children())
        if (auto* c = dynamic_cast<TCustomControl*>(child); c && c->m_parentColor)
            c->AdoptParentColor();
}

void TCustomControl::SetParentColor(bool value)
{
    m_parentColor = value;
    if (value)
        AdoptParentColor();
}

void TCustomControl::AdoptParentColor()
{
    auto* parent = dynamic_cast<TCustomControl*>(parentWidget());
    if (!parent || !m_parentColor)
        return;
    if (parent->Color() != m_color) {
        m_color = parent->Color();
        ColorChanged();
    }
    for (QObject* child : children())
        if (auto* c = dynamic_cast<TCustomControl*>(child); c && c->m_parentColor)
            c->AdoptParentColor();
}

void TCustomControl::SetParentFont(bool value)
{
    m_parentFont = value;
    if (value)
        AdoptParentFont();
}

void TCustomControl::AdoptParentFont()
{
    auto* parent = dynamic_cast<TCustomControl*>(parentWidget());
    if (!parent || !m_parentFont)
        return;
    m_applyingParentFont = true;
    m_font.Assign(parent->Font()); // fires OnChange (and so the children) when it differs
    m_applyingParentFont = false;
}

void TCustomControl::SetCursor(TCursor value)
{
    m_cursor = value;
    setCursor(ToQtCursor(value));
}

void TCustomControl::SetTabStop(bool value)
{
    m_tabStop = value;
    setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
}

bool TCustomControl::CanFocus() const
{
    return isVisible() && isEnabled();
}

void TCustomControl::SetFocus()
{
    setFocus(Qt::OtherFocusReason);
}

void TCustomControl::Invalidate()
{
    update();
}

void TCustomControl::Repaint()
{
    repaint();
}

void TCustomControl::Paint()
{
    m_canvas.Brush().Color = m_color;
    m_canvas.Brush().Style = bsSolid;
    m_canvas.FillRect(m_paintRect);
}

int TCustomControl::NCHitTest(const TPoint& clientPos)
{
    return PtInRect(ClientRect(), clientPos) ? HTCLIENT : HTBORDER;
}

TCursor TCustomControl::HitTestCursor(int hit) const
{
    if (hit == HTLEFT || hit == HTRIGHT)
        return crSizeWE;
    if (hit == HTTOP || hit == HTBOTTOM)
        return crSizeNS;
    return m_cursor;
}

void TCustomControl::UpdateCursor(int hit)
{
    const Qt::CursorShape shape = ToQtCursor(HitTestCursor(hit));
    if (cursor().shape() != shape)
        setCursor(shape);
}

void TCustomControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TCustomControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TCustomControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TCustomControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TCustomControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

bool TCustomControl::DoMouseWheel(TShiftState shift, int wheelDelta, const TPoint& mousePos)
{
    return false;
}

void TCustomControl::KeyDown(uint16_t& key, TShiftState shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TCustomControl::MouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TCustomControl::MouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TCustomControl::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
}

void TCustomControl::DoExit()
{
    if (OnExit)
        OnExit(this);
}

void TCustomControl::Resize()
{
    if (OnResize)
        OnResize(this);
}

void TCustomControl::HandleResized()
{
    Realign();
    Resize();
}

// ---------------------------------------------------------------------------
// Qt events

void TCustomControl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    m_canvas.SetHandle(&painter);
    Guarded("Paint", [&] {
        m_canvas.Font().Assign(m_font);
        if (m_nonClient != TRect{})
            PaintNonClient(m_canvas);
        const TRect dirty = OffsetRect(FromQRect(event->rect()), -m_nonClient.Left, -m_nonClient.Top);
        m_paintRect = IntersectRect(dirty, ClientRect());
        if (IsRectEmpty(m_paintRect))
            return;
        painter.translate(m_nonClient.Left, m_nonClient.Top);
        painter.setClipRect(ToQRect(ClientRect()), Qt::IntersectClip);
        Paint();
    });
    m_canvas.SetHandle(nullptr);
}

void TCustomControl::resizeEvent(QResizeEvent* event)
{
    Guarded("Resize", [&] { HandleResized(); });
}

void TCustomControl::mousePressEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!ToMouseButton(event->button(), button))
        return;
    const TPoint p = ToClient(event->position());
    Guarded("MouseDown", [&] {
        const int hit = NCHitTest(p);
        if (button == mbLeft && IsSizingEdge(hit)) {
            m_sizingEdge = hit;
            const QPoint g = event->globalPosition().toPoint();
            m_sizingStart = {g.x(), g.y()};
            m_sizingBounds = BoundsRect();
            return;
        }
        m_clicking = button == mbLeft;
        MouseDown(button, ShiftStateFromQt(event->modifiers(), event->buttons()), p.X, p.Y);
    });
}

void TCustomControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!ToMouseButton(event->button(), button))
        return;
    const TPoint p = ToClient(event->position());
    Guarded("DblClick", [&] {
        if (IsSizingEdge(NCHitTest(p)))
            return;
        if (button == mbLeft)
            DblClick();
        TShiftState shift = ShiftStateFromQt(event->modifiers(), event->buttons());
        shift.Include(ssDouble);
        MouseDown(button, shift, p.X, p.Y);
    });
}

void TCustomControl::mouseMoveEvent(QMouseEvent* event)
{
    const TPoint p = ToClient(event->position());
    Guarded("MouseMove", [&] {
        if (m_sizingEdge != HTNOWHERE) {
            const QPoint g = event->globalPosition().toPoint();
            const int dx = g.x() - m_sizingStart.X;
            const int dy = g.y() - m_sizingStart.Y;
            TRect b = m_sizingBounds;
            switch (m_sizingEdge) {
            case HTLEFT:
                b.Left = std::min(b.Left + dx, b.Right);
                break;
            case HTRIGHT:
                b.Right = std::max(b.Right + dx, b.Left);
                break;
            case HTTOP:
                b.Top = std::min(b.Top + dy, b.Bottom);
                break;
            case HTBOTTOM:
                b.Bottom = std::max(b.Bottom + dy, b.Top);
                break;
            }
            SetBounds(b.Left, b.Top, b.Width(), b.Height());
            return;
        }
        UpdateCursor(NCHitTest(p));
        MouseMove(ShiftStateFromQt(event->modifiers(), event->buttons()), p.X, p.Y);
    });
}

void TCustomControl::mouseReleaseEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!ToMouseButton(event->button(), button))
        return;
    const TPoint p = ToClient(event->position());
    Guarded("MouseUp", [&] {
        if (m_sizingEdge != HTNOWHERE && button == mbLeft) {
            m_sizingEdge = HTNOWHERE;
            return;
        }
        const bool click = m_clicking && button == mbLeft;
        m_clicking = false;
        MouseUp(button, ShiftStateFromQt(event->modifiers(), event->buttons()), p.X, p.Y);
        if (click && PtInRect(ClientRect(), p))
            Click();
    });
}

void TCustomControl::wheelEvent(QWheelEvent* event)
{
    bool handled = false;
    const TPoint p = ToClient(event->position());
    Guarded("MouseWheel", [&] {
        handled =
            DoMouseWheel(ShiftStateFromQt(event->modifiers(), event->buttons()), event->angleDelta().y(), p);
    });
    event->setAccepted(handled);
}

void TCustomControl::keyPressEvent(QKeyEvent* event)
{
    uint16_t key = VirtualKeyFromQt(event->key(), event->modifiers());
    if (key == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    Guarded("KeyDown", [&] { KeyDown(key, ShiftStateFromQt(event->modifiers())); });
    if (key == 0)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TCustomControl::keyReleaseEvent(QKeyEvent* event)
{
    uint16_t key = VirtualKeyFromQt(event->key(), event->modifiers());
    if (key == 0) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    Guarded("KeyUp", [&] { KeyUp(key, ShiftStateFromQt(event->modifiers())); });
    if (key == 0)
        event->accept();
    else
        QWidget::keyReleaseEvent(event);
}

void TCustomControl::enterEvent(QEnterEvent* event)
{
    m_mouseInControl = true;
    Guarded("MouseEnter", [&] { MouseEnter(); });
}

void TCustomControl::leaveEvent(QEvent* event)
{
    m_mouseInControl = false;
    Guarded("MouseLeave", [&] { MouseLeave(); });
}

void TCustomControl::focusInEvent(QFocusEvent* event)
{
    Guarded("DoEnter", [&] { DoEnter(); });
}

void TCustomControl::focusOutEvent(QFocusEvent* event)
{
    Guarded("DoExit", [&] { DoExit(); });
}

void TCustomControl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        Invalidate();
    QWidget::changeEvent(event);
}

bool TCustomControl::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) {
        Guarded("ParentChange", [&] {
            AdoptParentColor();
            AdoptParentFont();
            RequestParentAlign();
        });
    }
    return QWidget::event(event);
}
