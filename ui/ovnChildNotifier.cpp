#include "ui/ovnChildNotifier.h"

#include "platform/FormParts.h"

#include <QCoreApplication>

QEvent::Type TChildNotifyEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TChildNotifyEvent::TChildNotifyEvent(TOvnChildNotifier* Control_) : QEvent(EventType()), Control(Control_) {}

void TOvnChildNotifier::SetValue(const std::string&)
{
    // The owner form, not the window: an applet form sits inside its
    // container, whose window would take the message in its place.
    QCoreApplication::postEvent(ParentForm(this), new TChildNotifyEvent(this));
}
