#include "Components/Controller/mainwindow/InputHook.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>

TInputHook::TInputHook(std::function<void()> OnInput) : m_onInput(std::move(OnInput))
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

TInputHook::~TInputHook()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool TInputHook::eventFilter(QObject* Watched, QEvent* Event)
{
    switch (Event->type()) {
    case QEvent::KeyPress:
        m_onInput();
        break;
    case QEvent::MouseButtonPress: {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(Event)->button();
        if (button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton)
            m_onInput();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(Watched, Event);
}
