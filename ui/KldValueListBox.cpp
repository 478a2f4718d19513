#include "ui/KldValueListBox.h"

#include "platform/Controls.h"
#include "platform/Threads.h"
#include "ui/KldValueEditor.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

TValueListPlacement PlaceValueList(const TRect& editor, int widestText, int count, int itemHeight,
                                   int scrollBarWidth, const TRect& workArea)
{
    const int maxRows = TKldValueListBox::MaxRows;
    int w = widestText + 8;
    if (count > maxRows)
        w += scrollBarWidth;
    itemHeight = std::max(1, itemHeight);
    const int width = std::max(editor.Width(), w);
    const int height = std::min(std::max(1, count) * itemHeight, maxRows * itemHeight) + 2;
    const int left = std::min(editor.Left, editor.Right - w);
    int top = editor.Bottom;
    if (top + height > workArea.Bottom)
        top -= height - 1;
    TValueListPlacement place;
    place.Bounds = Bounds(left, top, width, height);
    place.VisibleRows = std::min(height / itemHeight, count);
    return place;
}

TKldValueListBox::TKldValueListBox(TKldValueEditor* editor)
    : QListWidget(editor), m_editor(editor)
{
    // A top-level window that goes with its editor (Qt parent), never
    // activated and never focused.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);
    move(-10000, -10000); // made off-screen
    hide();
}

TKldValueListBox::~TKldValueListBox()
{
    if (m_filtering)
        qApp->removeEventFilter(this);
}

int TKldValueListBox::ItemHeight() const
{
    return std::max(1, fontMetrics().height());
}

void TKldValueListBox::SyncRows()
{
    const int count = m_items.Count();
    const int h = ItemHeight();
    bool same = QListWidget::count() == count;
    for (int i = 0; same && i < count; ++i)
        same = item(i)->text() == QString::fromStdString(m_items[i]) && item(i)->sizeHint().height() == h;
    if (same)
        return;
    clear();
    for (int i = 0; i < count; ++i) {
        auto* row = new QListWidgetItem(QString::fromStdString(m_items[i]), this);
        row->setSizeHint(QSize(0, h));
    }
}

void TKldValueListBox::SetItemIndex(int index)
{
    SyncRows();
    if (index < 0 || index >= count()) {
        setCurrentRow(-1);
        clearSelection();
        return;
    }
    setCurrentRow(index);
    scrollToItem(item(index));
}

int TKldValueListBox::TopIndex() const
{
    return verticalScrollBar()->value();
}

void TKldValueListBox::SetTopIndex(int index)
{
    verticalScrollBar()->setValue(index);
}

void TKldValueListBox::Adjust()
{
    setFont(m_editor->font());
    SyncRows();
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int i = 0; i < m_items.Count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(m_items[i])));
    int selected = 0;
    for (int i = 0; i < m_items.Count(); ++i) {
        if (m_items[i] == m_editor->StartText()) {
            selected = i;
            break;
        }
    }

    const QPoint topLeft = m_editor->mapToGlobal(QPoint(0, 0));
    const TRect editor = Bounds(topLeft.x(), topLeft.y(), m_editor->width(), m_editor->height());
    QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const TRect work = screen ? FromQRect(screen->availableGeometry()) : Rect(0, 0, 1 << 20, 1 << 20);
    const int barWidth = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const TValueListPlacement place = PlaceValueList(editor, widest, m_items.Count(), ItemHeight(), barWidth, work);
    m_visibleRows = place.VisibleRows;
    setVerticalScrollBarPolicy(m_items.Count() > MaxRows ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setGeometry(ToQRect(place.Bounds));
    SetItemIndex(m_items.Count() > 0 ? selected : -1);
    show();
    raise();
}

void TKldValueListBox::KeyDown(uint16_t key, bool alt)
{
    switch (key) {
    case VK_ESCAPE:
        m_editor->CloseUp(false);
        return;
    case VK_RETURN:
        m_editor->CloseUp(true);
        return;
    default:
        break;
    }
    if (alt && (key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN)) {
        m_editor->CloseUp(true);
        return;
    }
    const int last = count() - 1;
    if (last < 0)
        return;
    const int page = std::max(1, m_visibleRows - 1);
    int index = currentRow();
    switch (key) {
    case VK_UP:
        index = std::max(0, index - 1);
        break;
    case VK_DOWN:
        index = std::min(last, index + 1);
        break;
    case VK_PRIOR:
        index = std::max(0, index - page);
        break;
    case VK_NEXT:
        index = std::min(last, index + page);
        break;
    default:
        return;
    }
    SetItemIndex(index);
}

void TKldValueListBox::WheelStep(int delta)
{
    if (delta == 0)
        return;
    const int step = m_visibleRows / 2;
    const int top = TopIndex();
    if (delta < 0)
        SetTopIndex(std::min(top + step, std::max(0, count() - m_visibleRows)));
    else
        SetTopIndex(std::max(top - step, 0));
}

void TKldValueListBox::SelectAt(const QPoint& pos)
{
    QListWidgetItem* under = itemAt(pos);
    if (under)
        setCurrentItem(under);
}

void TKldValueListBox::mousePressEvent(QMouseEvent* event)
{
    // The press captures the mouse until the release (Qt's implicit grab).
    m_capturing = true;
    SelectAt(event->position().toPoint());
    event->accept();
}

void TKldValueListBox::mouseMoveEvent(QMouseEvent* event)
{
    if (m_capturing)
        SelectAt(event->position().toPoint());
    event->accept();
}

void TKldValueListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_capturing)
        return;
    m_capturing = false;
    SelectAt(event->position().toPoint());
    try {
        m_editor->CloseUp(true);
    } catch (...) {
        ReportCurrentException("TKldValueListBox.MouseUp");
    }
    event->accept();
}

void TKldValueListBox::wheelEvent(QWheelEvent* event)
{
    WheelStep(event->angleDelta().y());
    event->accept();
}

void TKldValueListBox::showEvent(QShowEvent* event)
{
    QListWidget::showEvent(event);
    if (!m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
}

void TKldValueListBox::hideEvent(QHideEvent* event)
{
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
    QListWidget::hideEvent(event);
}

bool TKldValueListBox::eventFilter(QObject* watched, QEvent* event)
{
    // A press on any other control cancels the list (the platform's cancel
    // mode); presses on the editor and on the list itself are theirs.
    if (event->type() == QEvent::MouseButtonPress && isVisible()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool ours = widget && (widget == m_editor || widget == this || isAncestorOf(widget));
        if (widget && !ours && m_editor->DroppedDown()) {
            try {
                m_editor->CloseUp(false);
            } catch (...) {
                ReportCurrentException("TKldValueListBox.CancelMode");
            }
        }
    }
    return QListWidget::eventFilter(watched, event);
}
