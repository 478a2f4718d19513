#include "ui/KldAppEditor.h"

#include "platform/ScopedFlag.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <exception>

// ---------------------------------------------------------------------------
// TKldEditControl

TKldEditControl::TKldEditControl(TKldAppEditor* Box) : QLineEdit(Box), m_box(Box)
{
    setFrame(false);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, ToQColor(clWindow));
    setPalette(palette);
    m_font.SetSize(8);
    m_font.OnChange = [this](TObject*) {
        setFont(m_font.Handle());
        if (m_view)
            m_view->Font().Assign(m_font);
        UpdateEditRect();
    };
    setFont(m_font.Handle());
    // Every change of the text, also one made by the host, refills the
    // list; inside a key press it waits for the key's own handling.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (m_inKey) {
            m_changedInKey = true;
            return;
        }
        Guarded("Change", [this] { Change(); });
    });
    QLineEdit::setVisible(false);
}

TKldEditControl::~TKldEditControl()
{
    m_font.OnChange = nullptr;
    // The list's selection handler refers to this edit: the popup goes first.
    m_view = nullptr;
    m_popup.reset();
}

void TKldEditControl::Guarded(const char* where, const std::function<void()>& fn)
{
    try {
        fn();
    } catch (...) {
        ReportCurrentException(std::string("TKldEditControl.") + where);
    }
}

void TKldEditControl::UpdateEditRect()
{
    TCanvas measure;
    measure.Font().Assign(m_font);
    const int h = measure.TextHeight("j");
    const int top = (height() - h) / 2;
    m_editRect = {0, top, width(), top + h};
    setTextMargins(0, std::max(0, top), 0, std::max(0, height() - m_editRect.Bottom));
}

void TKldEditControl::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    UpdateEditRect();
}

void TKldEditControl::setVisible(bool visible)
{
    const bool was = !isHidden();
    if (!visible) {
        TScopedFlag hiding(m_hiding);
        QLineEdit::setVisible(false);
    } else {
        QLineEdit::setVisible(true);
    }
    if (visible == was)
        return;
    if (visible) {
        UpdateEditRect();
    } else {
        CloseUp(false);
    }
    m_box->Invalidate();
}

void TKldEditControl::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    UpdateEditRect();
    m_box->Invalidate();
}

bool TKldEditControl::OwnsWidget(const QWidget* widget) const
{
    if (!widget)
        return false;
    if (widget == this)
        return true;
    return m_popup && (widget == m_popup.get() || m_popup->isAncestorOf(widget));
}

void TKldEditControl::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // The focus has gone elsewhere (Qt names the new focus widget before it
    // tells the old one): anything but the list closes it, later.
    if (!isHidden() && !OwnsWidget(QApplication::focusWidget()) && !m_cancelPending) {
        m_cancelPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_cancelPending = false;
                Guarded("CancelMode", [this] { CancelMode(CancelModeFocusLost); });
            },
            Qt::QueuedConnection);
    }
}

void TKldEditControl::CancelMode(WPARAM WParam, const QObject* Sender)
{
    if (Sender == this)
        return;
    if (WParam == CancelModeFocusLost && !isHidden() && rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    hide();
}

// ---------------------------------------------------------------------------
// Keys

bool TKldEditControl::HandleKey(uint16_t Code, TShiftState Shift, bool Character)
{
    const bool alt = Shift.Contains(ssAlt);
    if ((Code == VK_RETURN || Code == VK_ESCAPE) && m_droppedDown && !alt) {
        CloseUp(Code == VK_RETURN);
        return true;
    }
    if (Code == VK_SPACE && alt) {
        CloseUp(false);
        return true;
    }
    if (Code == VK_DOWN && alt) {
        if (m_droppedDown)
            CloseUp(true);
        else
            DropDown();
        return true;
    }
    if (m_droppedDown && (Code == VK_END || Code == VK_HOME || Code == VK_UP || Code == VK_DOWN)) {
        // The list moves its selection on key presses and ignores
        // characters.
        if (!Character && m_view) {
            uint16_t key = Code;
            m_view->ListKeyDown(key, Shift);
        }
        return true;
    }
    return Character && (Code == VK_TAB || Code == VK_RETURN);
}

void TKldEditControl::keyPressEvent(QKeyEvent* event)
{
    QPointer<TKldEditControl> self(this);
    bool consumed = false;
    Guarded("KeyDown", [&] {
        const TShiftState shift = ShiftStateFromQt(event->modifiers());
        // The key press, then the character it types: both as key codes.
        if (const uint16_t key = VirtualKeyFromQt(event->key()))
            consumed = HandleKey(key, shift, false);
        if (!self)
            return;
        const std::u32string typed = event->text().toStdU32String();
        if (!typed.empty() && typed[0] < 0x10000)
            consumed = HandleKey(static_cast<uint16_t>(typed[0]), shift, true) || consumed;
        if (!self || consumed)
            return;
        m_changedInKey = false;
        {
            TScopedFlag inKey(m_inKey);
            QLineEdit::keyPressEvent(event);
        }
        if (self && m_changedInKey) {
            m_changedInKey = false;
            Change();
        }
    });
    if (!self)
        return;
    if (consumed)
        event->accept();
}

// ---------------------------------------------------------------------------
// The list

void TKldEditControl::Change()
{
    if (m_droppedDown)
        DoFillItems();
    else
        DropDown();
}

void TKldEditControl::PopupInit()
{
    m_popup = std::make_unique<TKldPopupControl>();
    m_view = new TKldAppletViewPopup(m_popup.get());
    m_view->Font().Assign(m_font);
    m_view->SetBounds(0, 0, m_popup->ClientWidth(), m_popup->ClientHeight());
    m_view->SetOneClickSelect(true);
    m_view->OnItemSelect = [this](TObject*, TKldAppItem*) { CloseUp(true); };
    if (OnPopupInit)
        OnPopupInit(m_view);
    m_popup->SetWidth(2 * m_view->ItemWidth());
}

int TKldEditControl::DoFillItems()
{
    int found = 0;
    std::exception_ptr failure;
    TKldAppItems& items = m_view->Items();
    items.BeginUpdate();
    try {
        items.Clear();
        const std::string search = Text();
        if (!Trim(search).empty() && OnFillItems)
            OnFillItems(items, search, found, m_maxRows * m_maxCols);
    } catch (...) {
        failure = std::current_exception();
    }
    items.EndUpdate();
    // The end of the update laid the list out (and set its height to its
    // content), so the first entry exists now.
    m_view->SetSelIdx(0);
    const int w = std::min(500, std::max(150, m_view->CalcWidth())) + 20;
    m_view->SetWidth(w);
    m_view->SetItemWidth(w);
    const int h = m_view->Height();
    if (found <= 0)
        CloseUp(false);
    else
        m_popup->DoAdjustClientSize(w, h);
    if (failure) {
        // A list that is not down must not be left showing.
        if (!m_droppedDown)
            m_popup->DoClosePopup();
        std::rethrow_exception(failure);
    }
    return found;
}

void TKldEditControl::DropDown()
{
    if (!m_popup)
        PopupInit();
    if (OnPopup)
        OnPopup(m_view);
    if (DoFillItems() <= 0)
        return;
    QWidget* parent = m_box->parentWidget();
    const int edge = m_alignPopupRight ? m_box->x() + m_box->width() : m_box->x();
    int x = parent ? parent->mapToGlobal(QPoint(edge, 0)).x() : m_box->mapToGlobal(QPoint(0, 0)).x();
    const int y = mapToGlobal(QPoint(0, m_box->y())).y() + 5;
    if (m_alignPopupRight)
        x -= m_popup->width();
    m_popup->Popup(this, x, y);
    m_droppedDown = true;
    setFocus(Qt::OtherFocusReason);
}

void TKldEditControl::CloseUp(bool Accept)
{
    if (!m_droppedDown)
        return;
    m_popup->DoClosePopup();
    TKldAppItem* selected = Accept ? m_view->GetSelItem() : nullptr;
    m_selectedTag = selected ? selected->Tag() : -1;
    m_view->Items().Clear();
    m_droppedDown = false;
    if (Accept && OnSelectItem) {
        hide();
        CMSelectItem();
    }
}

void TKldEditControl::CMSelectItem()
{
    if (OnSelectItem)
        OnSelectItem(m_selectedTag);
}

// ---------------------------------------------------------------------------
// TKldAppEditor

TKldAppEditor::TKldAppEditor(QWidget* parent) : TCustomControl(parent)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    resize(100, 25);
    m_edit = new TKldEditControl(this);
    m_edit->Font().Assign(Font());
    PlaceEdit();
}

TKldAppEditor::~TKldAppEditor() = default;

void TKldAppEditor::SetBgPicture(int Index, const QImage& Bitmap)
{
    if (Index < 0 || Index > 1)
        return;
    m_pictures[Index] = Bitmap.copy();
    m_edgeWidth = m_pictures[Index].width() / 3;
    RecreateWnd();
    Invalidate();
}

void TKldAppEditor::SetMargin(int Index, int Value)
{
    if (Index < 0 || Index > 3 || m_margins[Index] == Value)
        return;
    m_margins[Index] = Value;
    RecreateWnd();
}

void TKldAppEditor::SetColor(int Index, TColor Color)
{
    TColor* target = Index == 0   ? &m_bgColorA
                     : Index == 1 ? &m_bgColorB
                     : Index == 2 ? &m_borderColor
                                  : nullptr;
    if (!target)
        return;
    *target = Color;
    Invalidate();
}

void TKldAppEditor::SetColorDir(TKldGradientDir Value)
{
    m_gradientDir = Value;
    Invalidate();
}

void TKldAppEditor::RecreateWnd()
{
    SetNonClientMargins({m_edgeWidth, MarginTop(), m_edgeWidth, MarginBottom()});
    PlaceEdit();
}

void TKldAppEditor::PlaceEdit()
{
    const TPoint origin = ClientOrigin();
    m_edit->setGeometry(origin.X, origin.Y, ClientWidth(), ClientHeight());
}

void TKldAppEditor::Resize()
{
    PlaceEdit();
    TCustomControl::Resize();
}

void TKldAppEditor::FontChanged()
{
    m_edit->Font().Assign(Font());
    TCustomControl::FontChanged();
}

void TKldAppEditor::SetFocus()
{
    TCustomControl::SetFocus();
    if (m_edit->isHidden()) {
        m_edit->show();
        m_edit->setFocus(Qt::OtherFocusReason);
        if (!m_edit->DroppedDown() && !Trim(m_edit->Text()).empty())
            m_edit->DropDown();
    }
    Invalidate();
}

void TKldAppEditor::UpdateAll()
{
    if (parentWidget())
        Repaint();
}

void TKldAppEditor::focusInEvent(QFocusEvent* event)
{
    TCustomControl::focusInEvent(event);
    // Tabbing into the box opens the edit; the focus Qt hands over while
    // the edit hides itself does not.
    const bool tab = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (tab && !m_edit->Hiding()) {
        try {
            SetFocus();
        } catch (...) {
            ReportCurrentException("TKldAppEditor.SetFocus");
        }
    }
}

void TKldAppEditor::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (CanFocus())
        SetFocus();
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

// ---------------------------------------------------------------------------
// Painting

void TKldAppEditor::PaintNonClient(TCanvas& Canvas)
{
    const QImage& picture = m_edit->isHidden() ? m_pictures[1] : m_pictures[0];
    const int edge = m_edgeWidth;
    if (picture.isNull() || edge <= 0)
        return;
    QPainter* p = Canvas.Handle();
    if (!p)
        return;
    p->save();
    // The client area is no part of this paint.
    QRegion frame(rect());
    frame -= QRegion(ToQRect(Bounds(ClientOrigin().X, ClientOrigin().Y, ClientWidth(), ClientHeight())));
    p->setClipRegion(frame, Qt::IntersectClip);
    const int h = picture.height();
    const int w = width();
    Canvas.Draw(0, 0, picture.copy(0, 0, edge, h));
    Canvas.Draw(w - edge, 0, picture.copy(picture.width() - edge, 0, edge, h));
    Canvas.StretchDraw({edge, 0, w - edge, h}, picture.copy(edge, 0, edge, h));
    p->restore();
}

void TKldAppEditor::Paint()
{
    if (!m_edit->isHidden()) {
        TCustomControl::Paint();
        return;
    }
    const QImage& picture = m_pictures[1];
    const int h = picture.height() - MarginTop() - MarginBottom();
    if (picture.isNull() || m_edgeWidth <= 0 || h <= 0) {
        TCustomControl::Paint();
        return;
    }
    Canvas().StretchDraw(ClientRect(), picture.copy(m_edgeWidth, MarginTop(), m_edgeWidth, h));
}
