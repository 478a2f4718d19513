#include "Components/Controller/notifications/NotificationForm.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "platform/DateUtils.h"
#include "platform/Resources.h"
#include "platform/StdCtrls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QWheelEvent>

#include <cmath>

// Outside any namespace, as the resource macro requires.
static void InitNotifyResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(ControllerResources);
        return true;
    }();
    (void)done;
}

namespace {

// Input and timers come from the event loop, which no exception may cross:
// a failed refresh or dismissal goes to the application's exception
// handler and the center stays usable.
template <class F> void Guarded(const char* Where, F&& Step)
{
    try {
        Step();
    } catch (...) {
        ApplicationHandleException(Where);
    }
}

QFont NotifyFont(bool Bold)
{
    QFont f("Tahoma");
    f.setPointSize(8);
    f.setBold(Bold);
    return f;
}

const QColor Silver(0xC0, 0xC0, 0xC0);

QPolygon BubblePolygon(const TNotifyBubble& B)
{
    QPolygon p;
    for (const TPoint& pt : B.Region)
        p << QPoint(pt.X, pt.Y);
    return p;
}

void PaintBubbleCaption(QPainter& P, const QWidget* W, const QString& Caption)
{
    const QRect band(8, 10, W->width() - 16, 24);
    P.drawText(band, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               P.fontMetrics().elidedText(Caption, Qt::ElideRight, band.width()));
}

QPixmap SmallPicture(bool Setup)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x00, 0x66, 0xCC), 2));
    if (Setup) {
        p.drawEllipse(QRect(4, 4, 8, 8));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QLineF(8, 8, 8 + 7 * std::cos(i * 1.5708), 8 + 7 * std::sin(i * 1.5708)));
    } else {
        p.drawArc(QRect(2, 2, 12, 12), 30 * 16, 300 * 16);
        p.drawLine(13, 2, 13, 6);
    }
    return pm;
}

} // namespace

void _DoNotifyAdjust(QWidget* Form, const QRect& R, int32_t Width, bool RightAligned)
{
    const TNotifyBubble b = NotifyBubble(Rect(R.left(), R.top(), R.left() + R.width(), R.top() + R.height()), Width,
                                         RightAligned);
    Form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    Form->setWindowFlag(Qt::WindowDoesNotAcceptFocus, false);
    Form->setAttribute(Qt::WA_ShowWithoutActivating, true);
    Form->setGeometry(b.Bounds.Left, b.Bounds.Top, b.Bounds.Width(), b.Bounds.Height());
    Form->setMask(QRegion(BubblePolygon(b)));
}

std::vector<QImage> LoadNotifyGlyphs()
{
    InitNotifyResources();
    return {LoadResourceImage("KLD_NOTIFY_CLOSE_G", rtRCData), LoadResourceImage("KLD_NOTIFY_CLOSE_O", rtRCData)};
}

void PaintNotifyItem(QPainter& P, const QRect& C, const QRect& I, const TNotifyItem& Item, bool Odd, bool Selected,
                     bool Hot, bool InPopup, TNotifyItemElement HotElement, const std::vector<QImage>* Glyphs,
                     const TCustomImageList* Icons, TDateTime Today)
{
    const QRect back(C.left(), I.top() + 1, C.width(), I.bottom() + 1 - (I.top() + 1));
    if (Selected)
        P.fillRect(back, QColor(0xE4, 0xF3, 0xFC));
    else if (Hot)
        P.fillRect(back, QColor(0xF0, 0xF6, 0xFF));
    else if (Odd)
        P.fillRect(back, QColor(0xFB, 0xFB, 0xFB));
    const int bottom = I.top() + I.height();
    P.setFont(NotifyFont(true));
    P.setPen(QColor(0x2F, 0x2F, 0x2F));
    QRect r(I.left(), I.top() + 8, I.width(), 14);
    P.drawText(r, Qt::AlignLeft | Qt::TextSingleLine,
               P.fontMetrics().elidedText(QString::fromStdString(Item.ModuleName), Qt::ElideRight, r.width()));
    P.setFont(NotifyFont(false));
    P.setPen(QColor(0x40, 0x40, 0x40));
    P.drawText(QRect(I.left(), I.top() + 22, I.width(), bottom - (I.top() + 22)), Qt::AlignLeft | Qt::TextWordWrap,
               QString::fromStdString(Item.Text));
    if (Icons && Icons->ValidIndex(Item.ImageIndex))
        P.drawImage(QPoint(C.left() + 8, I.top() + 8), Icons->GetImage(Item.ImageIndex));
    P.setPen(Silver);
    P.drawText(QRect(I.left(), bottom - 22, I.width(), 14), Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
               QString::fromStdString(NotifyDateLine(Item.Date, Today)));
    const std::string from = Trim(Item.FromModule);
    if (!from.empty()) {
        P.setFont(NotifyFont(true));
        r = QRect(I.left(), bottom - 36, I.width(), 14);
        P.drawText(r, Qt::AlignLeft | Qt::TextSingleLine,
                   P.fontMetrics().elidedText(QString::fromStdString("Triggered by " + from), Qt::ElideRight, r.width()));
    }
    const size_t glyph = (InPopup || Hot) && HotElement == TNotifyItemElement::elIgnore ? 1 : 0;
    if (Glyphs && glyph < Glyphs->size() && !(*Glyphs)[glyph].isNull())
        P.drawImage(QPoint(I.left() + I.width() - 4, I.top() + 4), (*Glyphs)[glyph]);
    if (!InPopup) {
        P.setPen(Silver);
        P.drawLine(C.left(), bottom, C.left() + C.width(), bottom);
    }
}

// --- the list ---

TNotifyControl::TNotifyControl(QWidget* Parent) : QWidget(Parent), m_scroll(new QScrollBar(Qt::Vertical, this))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    TodayFn = [] { return Now(); };
    m_scroll->setSingleStep(10);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int v) {
        m_state.Offset = v;
        m_state.ClampOffset();
        update();
    });
}

void TNotifyControl::SetList(TNotifications* List)
{
    m_state.List = List;
    LayoutChanged();
}

void TNotifyControl::LayoutChanged()
{
    const int sw = m_scroll->sizeHint().width();
    m_state.ClientWidth = width() - sw;
    m_state.ClientHeight = height();
    m_laidOutSize = size();
    QFont f = NotifyFont(false);
    const QFontMetrics fm(f);
    m_state.Layout([&](const std::string& Text, int32_t Width) {
        return fm.boundingRect(QRect(0, 0, std::max(1, Width), 100000), Qt::TextWordWrap, QString::fromStdString(Text))
            .height();
    });
    SyncScrollBar();
    update();
    if (!m_destroying && OnListChanged)
        OnListChanged();
}

void TNotifyControl::SyncScrollBar()
{
    const int sw = m_scroll->sizeHint().width();
    m_scroll->setGeometry(width() - sw, 0, sw, height());
    const QSignalBlocker block(m_scroll);
    m_scroll->setRange(0, std::max(0, m_state.Total - m_state.ClientHeight));
    m_scroll->setPageStep(std::max(1, m_state.ClientHeight));
    m_scroll->setValue(m_state.Offset);
}

void TNotifyControl::Select(int32_t Index)
{
    m_state.Select(Index);
    SyncScrollBar();
    update();
}

void TNotifyControl::DoItemEvent(int32_t Index, TNotifyItemElement Element)
{
    m_state.DoItemEvent(Index, Element, OnItemEvent);
    SyncScrollBar();
    update();
}

void TNotifyControl::paintEvent(QPaintEvent*)
{
    m_canvas.SetSize(QPoint(std::max(1, m_state.ClientWidth), std::max(1, height())));
    QPainter& p = m_canvas.Painter();
    p.save();
    const QRect client(0, 0, m_state.ClientWidth, height());
    p.fillRect(client, Qt::white);
    if (m_state.Count() == 0) {
        p.setFont(NotifyFont(false));
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawText(QRect(client.left() + 48, client.top(), client.width() - 64, client.height()),
                   Qt::AlignCenter | Qt::TextSingleLine, "No new notifications");
    } else {
        const TDateTime today = TodayFn();
        for (int32_t i = 0; i < m_state.Count(); ++i) {
            const TNotifyItem& item = *(*m_state.List)[i];
            const QRect r(client.left() + 48, item.Top - m_state.Offset, client.width() - 64, item.Height);
            if (r.top() + r.height() < 0 || r.top() > height())
                continue;
            PaintNotifyItem(p, client, r, item, i % 2 == 1, i == m_state.Selected, i == m_state.HotIndex, false,
                            m_state.HotElement, Glyphs, Icons ? Icons->Get() : nullptr, today);
        }
    }
    p.restore();
    QPainter screen(this);
    screen.drawImage(0, 0, m_canvas.Bitmap());
}

// Qt repeats the size on first show; only a real change lays out again.
void TNotifyControl::resizeEvent(QResizeEvent*)
{
    if (size() != m_laidOutSize)
        LayoutChanged();
}

void TNotifyControl::SetHot(QPoint P)
{
    if (m_state.MouseMove({P.x(), P.y()}))
        update();
    setCursor(m_state.HotIndex >= 0 && m_state.HotElement != TNotifyItemElement::elNone ? Qt::PointingHandCursor
                                                                                         : Qt::ArrowCursor);
}

void TNotifyControl::mouseMoveEvent(QMouseEvent* e) { SetHot(e->position().toPoint()); }

void TNotifyControl::mousePressEvent(QMouseEvent* e)
{
    setFocus();
    SetHot(e->position().toPoint());
    if (m_state.HotIndex >= 0)
        Select(m_state.HotIndex);
}

void TNotifyControl::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        Guarded("TNotifyControl.MouseUp", [&] { DoItemEvent(m_state.HotIndex, m_state.HotElement); });
}

void TNotifyControl::leaveEvent(QEvent*)
{
    m_state.HotIndex = -1;
    m_state.HotElement = TNotifyItemElement::elNone;
    update();
}

void TNotifyControl::focusOutEvent(QFocusEvent*) { leaveEvent(nullptr); }

void TNotifyControl::wheelEvent(QWheelEvent* e)
{
    m_state.ScrollBy(e->angleDelta().y() > 0 ? -40 : 40);
    SyncScrollBar();
    update();
}

void TNotifyControl::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_PageUp: Select(m_state.Selected - 1); break;
    case Qt::Key_Down:
    case Qt::Key_PageDown: Select(m_state.Selected + 1); break;
    case Qt::Key_Home: Select(0); break;
    case Qt::Key_End: Select(m_state.Count() - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Guarded("TNotifyControl.KeyDown", [&] { DoItemEvent(m_state.Selected, TNotifyItemElement::elText); });
        break;
    case Qt::Key_Delete:
        Guarded("TNotifyControl.KeyDown", [&] { DoItemEvent(m_state.Selected, TNotifyItemElement::elIgnore); });
        break;
    case Qt::Key_F5:
        if (OnRefreshKey)
            OnRefreshKey();
        break;
    default: QWidget::keyPressEvent(e);
    }
}

// --- the toast ---

TNotifyPopup::TNotifyPopup(TNotifyCenter* Center)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_center(Center)
{
    setWindowTitle("New Notification");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    setWindowOpacity(1.0);
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
}

void TNotifyPopup::CheckNewItems(bool SetAllSeen)
{
    const bool wasRunning = m_cycle.Running;
    m_cycle.Check(m_center->Notifications(), SetAllSeen);
    if (m_cycle.Running && !wasRunning)
        m_timer.start();
}

void TNotifyPopup::ApplyCycle()
{
    if (!m_cycle.Running)
        m_timer.stop();
    setWindowOpacity(m_cycle.Alpha / 255.0);
    if (m_cycle.Visible != isVisible())
        setVisible(m_cycle.Visible);
    update();
}

void TNotifyPopup::Tick()
{
    const bool next = m_cycle.Elapsed == 0;
    m_cycle.Tick(m_center->Notifications());
    if (next && m_cycle.Visible) {
        QFont f = NotifyFont(false);
        const QFontMetrics fm(f);
        m_cycle.Shown.Height = fm.boundingRect(QRect(0, 0, 300 - 56, 100000), Qt::TextWordWrap,
                                               QString::fromStdString(m_cycle.Shown.Text))
                                   .height() +
                               58;
        Place();
    }
    ApplyCycle();
}

void TNotifyPopup::Place()
{
    const QRect c = m_center->LastBounds();
    _DoNotifyAdjust(this, QRect(c.left(), c.top(), c.width(), m_cycle.Shown.Height + 36), 300, true);
}

void TNotifyPopup::CloseUp()
{
    const int32_t idx = m_cycle.CloseUp(m_center->Notifications());
    m_timer.stop();
    if (idx >= 0)
        m_center->Control()->Select(idx);
    hide();
}

void TNotifyPopup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x3B, 0x77, 0xDB));
    p.setFont(NotifyFont(true));
    p.setPen(Qt::white);
    PaintBubbleCaption(p, this, "New Notification");
    p.fillRect(QRect(2, 34, width() - 4, height() - 36), QColor(0xFB, 0xFB, 0xFB));
    const QRect client(2, 0, width() - 4, height());
    const QRect item(48, 34, width() - 64, height() - 36);
    PaintNotifyItem(p, client, item, m_cycle.Shown, false, false, false, true, m_hot, &m_center->NotifyGlyphs(),
                    m_center->Icons.Get(), Now());
}

void TNotifyPopup::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    const TNotifyItemElement hot = TNotifyToastCycle::HitTest({pt.x(), pt.y()}, width(), m_cycle.Shown.Height);
    if (hot != m_hot) {
        m_hot = hot;
        update();
    }
    setCursor(hot != TNotifyItemElement::elNone ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TNotifyPopup::mousePressEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    const TNotifyItemElement el = TNotifyToastCycle::HitTest({pt.x(), pt.y()}, width(), m_cycle.Shown.Height);
    if (el == TNotifyItemElement::elNone)
        return;
    const int32_t idx = m_center->Notifications().FindItemIdx(m_cycle.Shown.Counter);
    Guarded("TNotifyPopup.MouseDown", [&] { m_center->Control()->DoItemEvent(idx, el); });
}

// --- the center ---

TNotifyCenter::TNotifyCenter(TNotifyDatabase* Database, QWidget* Parent)
    : QWidget(Parent, Qt::Popup | Qt::FramelessWindowHint), m_imgNotify(LoadNotifyGlyphs()),
      m_targets(std::make_unique<TNotifyTargets>()), m_list(std::make_unique<TNotifications>(Database))
{
    hide();
    setWindowTitle("Notifications");
    resize(300, 400);
    move(x(), 49);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFont(NotifyFont(true));
    m_imgRefresh = new TPlainLabel(this);
    m_imgRefresh->setPixmap(SmallPicture(false));
    m_imgRefresh->setGeometry(280, 13, 16, 16);
    m_imgRefresh->setToolTip("Check for new notifications");
    m_imgRefresh->setCursor(Qt::PointingHandCursor);
    m_imgSetup = new TPlainLabel(this);
    m_imgSetup->setPixmap(SmallPicture(true));
    m_imgSetup->setGeometry(260, 13, 16, 16);
    m_imgSetup->setToolTip("Configure which notifications you will receive");
    m_imgSetup->setCursor(Qt::PointingHandCursor);
    m_imgSetup->hide();
    m_imgRefresh->installEventFilter(this);
    m_imgSetup->installEventFilter(this);

    m_list->Targets = m_targets.get();
    m_control = new TNotifyControl(this);
    m_control->setGeometry(1, 35, width() - 2, height() - 37);
    m_control->Icons = &Icons;
    m_control->Glyphs = &m_imgNotify;
    m_control->OnItemEvent = [this](TNotifyItem* Item, TNotifyItemElement El, bool& Accepted) {
        ItemEvent(Item, El, Accepted);
    };
    m_control->OnListChanged = [this] { ListChanged(); };
    m_control->OnRefreshKey = [this] { Guarded("TNotifyControl.KeyDown", [this] { UpdateNotifications(); }); };
    m_control->SetList(m_list.get());
    m_list->OnChange = [this] { m_control->LayoutChanged(); };
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { Guarded("TNotifyCenter.AutoUpdate", [this] { UpdateNotifications(); }); });
    m_popup = new TNotifyPopup(this);
    m_list->UpdateFaciltiesAccess();
    m_list->UpdateEmployeeAndEmployeeGroups();
}

TNotifyCenter::~TNotifyCenter()
{
    m_list->OnChange = nullptr;
    delete m_popup;
}

void TNotifyCenter::SetAutoUpdate(int32_t Milliseconds)
{
    const int32_t ms = NotifyAutoUpdateInterval(Milliseconds);
    m_timer.setInterval(ms);
    if (ms == 0)
        m_timer.stop();
    else
        m_timer.start();
}

bool TNotifyCenter::UpdateNotifications()
{
    if (m_updating)
        return false;
    m_updating = true;
    bool result = false;
    try {
        if (OnNotifyUpdate)
            result = OnNotifyUpdate(m_list.get());
        m_list->Update();
    } catch (...) {
        m_updating = false;
        throw;
    }
    m_updating = false;
    m_popup->CheckNewItems(isVisible() || !m_popup->Cycle().Armed);
    return result;
}

bool TNotifyCenter::SetupNotifications()
{
    if (!m_targets->CanEditPreferences || !OnNotifySetup)
        return false;
    const bool result = OnNotifySetup();
    if (result)
        UpdateNotifications();
    return result;
}

void TNotifyCenter::AdjustBounds()
{
    if (!OnNotifyBounds)
        return;
    m_bounds = OnNotifyBounds();
    _DoNotifyAdjust(this, m_bounds, 300, true);
    m_control->setGeometry(1, 35, width() - 2, height() - 37);
    // A hidden widget hears of its new size only when shown; lay out now.
    if (m_control->size() != m_control->LaidOutSize())
        m_control->LayoutChanged();
    // A toast showing moves with the window too.
    if (m_popup->isVisible())
        m_popup->Place();
}

void TNotifyCenter::ListChanged()
{
    if (OnNotifyChanged)
        OnNotifyChanged();
}

void TNotifyCenter::ShowCenter()
{
    AdjustBounds();
    m_popup->CloseUp();
    show();
    m_control->setFocus();
    SetAllNotificationsSeen(*m_list);
    m_imgSetup->setVisible(m_targets->CanEditPreferences);
}

void TNotifyCenter::ItemEvent(TNotifyItem* Item, TNotifyItemElement Element, bool& Accepted)
{
    if (m_inItemEvent) {
        Accepted = false;
        return;
    }
    m_inItemEvent = true;
    struct Reset
    {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_inItemEvent};
    if (Element == TNotifyItemElement::elText) {
        if (OnNotifyExecute && m_list->LocateNotification(Item->Counter)) {
            OnNotifyExecute(Item, Accepted);
            if (Accepted)
                m_list->DropItem(Item, Accepted, false);
        }
    } else if (Element == TNotifyItemElement::elIgnore) {
        m_list->DropItem(Item, Accepted, true);
    }
}

void TNotifyCenter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(Silver);
    p.drawRect(rect().adjusted(0, 8, -1, -1));
    p.drawLine(0, 34, width(), 34);
    p.setPen(QColor(0x00, 0x66, 0xCC));
    PaintBubbleCaption(p, this, "Notifications");
}

void TNotifyCenter::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        hide();
    else
        QWidget::keyPressEvent(e);
}

bool TNotifyCenter::event(QEvent* e)
{
    if (e->type() == QEvent::WindowDeactivate)
        hide();
    return QWidget::event(e);
}

bool TNotifyCenter::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::MouseButtonRelease) {
        if (Watched == m_imgRefresh) {
            Guarded("TNotifyCenter.imgRefreshClick", [this] { UpdateNotifications(); });
            return true;
        }
        if (Watched == m_imgSetup) {
            Guarded("TNotifyCenter.imgSetupClick", [this] { SetupNotifications(); });
            return true;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}
