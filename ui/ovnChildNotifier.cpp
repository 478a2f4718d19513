#include "ui/ovnChildNotifier.h"

#include <QCoreApplication>

QEvent::Type TChildNotifyEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TChildNotifyEvent::TChildNotifyEvent(TOvnChildNotifier* Control_) : QEvent(EventType()), Control(Control_) {}

void TOvnChildNotifier::SetValue(const std::string&)
{
    // The owner form is the window the control sits in.
    QCoreApplication::postEvent(window(), new TChildNotifyEvent(this));
}
