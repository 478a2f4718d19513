#include "ui/DataEntryForm.h"

#include "platform/Colors.h"
#include "platform/Mask.h"
#include "ui/ovnGeneralControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

TfrmDataEntry* frmDataEntry = nullptr;

namespace {

constexpr TColor kBackground = 0xF8DFD1;
constexpr TColor kFrame = 0xC65920;
constexpr int kAlpha = 220;

} // namespace

TfrmDataEntry::TfrmDataEntry(QWidget* Parent) : TDialogForm(Parent)
{
    setWindowTitle(QStringLiteral("Enter Value"));
    // A popup: a press anywhere outside it ends it as a cancel.
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    resize(150, 27);
    Edt = new TMaskEdit(this);
    Edt->SetBorderStyle(bsNone);
    // The character typed into the combo is already in the edit: it must
    // not be selected and then replaced by the next one.
    Edt->SetAutoSelect(false);
    Edt->Font().SetColor(clNavy);
    Edt->installEventFilter(this);
    Timer = new QTimer(this);
    Timer->setInterval(100);
}

TfrmDataEntry::~TfrmDataEntry()
{
    if (frmDataEntry == this)
        frmDataEntry = nullptr;
}

void TfrmDataEntry::SetParams(TovnGeneralControl* Control, const TRect& Rect)
{
    m_control = Control;
    m_rect = Rect;
}

void TfrmDataEntry::showEvent(QShowEvent* Event)
{
    TDialogForm::showEvent(Event);
    QPalette p = palette();
    p.setColor(QPalette::Window, ToQColor(kBackground));
    setPalette(p);
    setAutoFillBackground(true);
    Edt->SetColor(kBackground);
    Edt->Font().SetColor(clBlack);
    Tag = 0;
    setWindowOpacity(kAlpha / 255.0);
    if (m_control) {
        const QPoint at = m_control->mapToGlobal(QPoint(m_rect.Left, m_rect.Top));
        const int top = at.y() <= 3 ? at.y() + 3 : at.y() - 10;
        setGeometry(at.x() + 3, top, m_rect.Width(), height());
    } else {
        move(0, 0);
    }
    Edt->SetBounds(2, 4, width() - 4, Edt->Height());
    Edt->SetFocus();
    if (m_control)
        Edt->SetSelStart(2);
}

void TfrmDataEntry::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(kBackground));
    painter.setPen(QPen(ToQColor(kFrame), 1, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TfrmDataEntry::mousePressEvent(QMouseEvent* Event)
{
    if (!rect().contains(Event->position().toPoint())) {
        Finish(0);
        return;
    }
    TDialogForm::mousePressEvent(Event);
}

bool TfrmDataEntry::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == Edt && (Event->type() == QEvent::KeyPress || Event->type() == QEvent::KeyRelease)) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        const bool down = Event->type() == QEvent::KeyPress;
        if (down && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down)) {
            Finish(100);
            return true;
        }
        if (down && key == Qt::Key_Escape) {
            Finish(0);
            return true;
        }
        // Tab accepts when it comes up; its press must not move the focus away.
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            if (!down)
                Finish(100);
            return true;
        }
    }
    return TDialogForm::eventFilter(Watched, Event);
}

void TfrmDataEntry::Finish(int Result)
{
    Tag = Result;
    SetModalResult(Result == 100 ? mrOk : mrCancel);
}
