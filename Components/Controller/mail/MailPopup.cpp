#include "Components/Controller/mail/MailPopup.h"

#include "Components/Controller/notifications/NotificationForm.h"
#include "Components/Controller/notifications/NotifyRules.h"
#include "platform/SysUtils.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

namespace {

// $DAF6FC as the system writes colours: blue, green, red.
const QColor PopupColor(0xFC, 0xF6, 0xDA);
const QColor PopupTextColor(0x80, 0x80, 0x80);
const QColor FrameColor(0xC0, 0xC0, 0xC0);

QFont PopupFont()
{
    QFont f("Tahoma");
    f.setPointSize(10);
    f.setBold(true);
    return f;
}

} // namespace

std::string MailPopupCaption(int32_t Count)
{
    return Count > 1 ? Format("You have %d unread messages.", Count) : std::string("You have an unread message.");
}

bool TMailPopupCycle::Step()
{
    if (Elapsed > 4300)
        return false;
    if (Elapsed > 4000)
        Alpha = 240 - (Elapsed - 4000) / 2;
    Elapsed += 100;
    return true;
}

TMailPopup::TMailPopup(QWidget* Owner)
    : QWidget(Owner, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName("MailPopup");
    setWindowTitle("New Mail");
    setAttribute(Qt::WA_DeleteOnClose, true);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setFocusPolicy(Qt::NoFocus);
    setFont(PopupFont());
    setAutoFillBackground(false);
    setCursor(Qt::PointingHandCursor);
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
}

TMailPopup::~TMailPopup() = default;

void TMailPopup::ShowPopup(const QRect& Rect, int32_t Count)
{
    m_cycle = TMailPopupCycle();
    m_caption = MailPopupCaption(Count);
    setWindowTitle(QString::fromStdString(m_caption));
    const int width = QFontMetrics(font()).horizontalAdvance(QString::fromStdString(m_caption)) + 30;
    _DoNotifyAdjust(this, Rect, width, false);
    // Shown without taking the focus: the user may be typing elsewhere.
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, true);
    ApplyAlpha();
    m_timer.start();
    show();
}

void TMailPopup::Tick()
{
    if (!m_cycle.Step()) {
        m_timer.stop();
        close();
        return;
    }
    ApplyAlpha();
}

void TMailPopup::ApplyAlpha()
{
    setWindowOpacity(m_cycle.Alpha / 255.0);
}

QRect TMailPopup::CaptionRect() const
{
    // The client rectangle moved down by 8 (below the arrow), 10 in from
    // the sides and 5 taller at the top and the bottom.
    QRect r = rect();
    r.setTop(r.top() + 8);
    return r.adjusted(10, -5, -10, 5);
}

void TMailPopup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const TNotifyBubble bubble = NotifyBubble(Rect(0, 0, width(), height()), width(), false);
    QPolygon region;
    for (const TPoint& pt : bubble.Region)
        region << QPoint(pt.X, pt.Y);
    p.setPen(Qt::NoPen);
    p.setBrush(PopupColor);
    p.drawPolygon(region);
    // The frame one pixel inside the region's right and bottom edges.
    QPolygon frame;
    for (const QPoint& pt : region)
        frame << QPoint(std::min(pt.x(), width() - 1), std::min(pt.y(), height() - 1));
    p.setBrush(Qt::NoBrush);
    p.setPen(FrameColor);
    p.drawPolygon(frame);
    p.setPen(PopupTextColor);
    const QRect text = CaptionRect();
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(QString::fromStdString(m_caption), Qt::ElideRight, text.width()));
}

void TMailPopup::mousePressEvent(QMouseEvent*)
{
    if (OnClick)
        OnClick();
}
