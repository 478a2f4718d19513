#include "Components/Controller/applets/ovnAppletForm.h"

#include "platform/FormParts.h"

#include "platform/SysUtils.h"
#include "platform/Threads.h"
#include "ui/ovnChildNotifier.h"

#include <QCloseEvent>
#include <QList>

TovnAppletForm::TovnAppletForm(QWidget* Parent) : QWidget(Parent)
{
    m_handle = AllocateHWnd(this);
    MarkAsForm(this);
}

TovnAppletForm::~TovnAppletForm()
{
    DeallocateHWnd(m_handle);
}

LRESULT TovnAppletForm::Perform(uint32_t Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage message{Msg, WParam, LParam, 0};
    WndProc(message);
    return message.Result;
}

void TovnAppletForm::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_CLOSE)
        Close();
}

std::string TovnAppletForm::Caption() const
{
    return windowTitle().toStdString();
}

void TovnAppletForm::SetCaption(const std::string& Value)
{
    setWindowTitle(QString::fromStdString(Value));
}

QObject* TovnAppletForm::FindComponent(const std::string& Name) const
{
    const QString name = QString::fromStdString(Name);
    const QList<QObject*> parts = findChildren<QObject*>();
    for (QObject* part : parts)
        if (part->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return part;
    return nullptr;
}

bool TovnAppletForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TovnAppletForm::DoClose(TCloseAction& Action)
{
    if (OnClose)
        OnClose(this, Action);
}

bool TovnAppletForm::Close()
{
    if (!CloseQuery())
        return false;
    TCloseAction action = TCloseAction::caHide;
    DoClose(action);
    switch (action) {
    case TCloseAction::caNone:
        return false;
    case TCloseAction::caFree:
        hide();
        Release();
        return true;
    case TCloseAction::caHide:
    case TCloseAction::caMinimize:
        hide();
        return true;
    }
    return true;
}

void TovnAppletForm::Release()
{
    deleteLater();
}

// A child notifier posts its 6658 as an event to the form; applet forms
// take their messages in WndProc. The event loop is a boundary: an error of
// the handler is reported, not passed on.
bool TovnAppletForm::event(QEvent* Event)
{
    if (Event->type() != TChildNotifyEvent::EventType())
        return QWidget::event(Event);
    auto* notice = static_cast<TChildNotifyEvent*>(Event);
    try {
        Perform(notice->Msg, notice->WParam, reinterpret_cast<LPARAM>(notice->Control.data()));
    } catch (...) {
        ReportCurrentException(ClassName() + ".WndProc");
    }
    return true;
}

void TovnAppletForm::closeEvent(QCloseEvent* Event)
{
    // The close box of a form shown as a window of its own.
    Event->ignore();
    if (m_inCloseEvent)
        return;
    m_inCloseEvent = true;
    try {
        Close();
    } catch (...) {
        m_inCloseEvent = false;
        ReportCurrentException(ClassName() + ".Close");
        return;
    }
    m_inCloseEvent = false;
}
