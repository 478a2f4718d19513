#pragma once
// Dialog tests: message boxes answered from a script while the scope lives
// (platform/Dialogs.h), and keys typed into a widget as the window system
// delivers them (a character key carries its text; an unaccepted key goes
// on to the parent, as for a real key press).

#include "platform/Dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

#include <memory>

class TDialogScript
{
  public:
    TDialogScript()
    {
        auto scripted = std::make_unique<TScriptedDialogs>();
        m_dialogs = scripted.get();
        m_previous = SetDialogService(std::move(scripted));
    }
    ~TDialogScript() { SetDialogService(std::move(m_previous)); }
    TDialogScript(const TDialogScript&) = delete;
    TDialogScript& operator=(const TDialogScript&) = delete;
    TScriptedDialogs& operator*() { return *m_dialogs; }
    TScriptedDialogs* operator->() { return m_dialogs; }

  private:
    TScriptedDialogs* m_dialogs;
    std::unique_ptr<IDialogService> m_previous;
};

namespace Keys {

// One key press (and its release) with the text it types.
inline void Press(QWidget& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(&w, &release);
}

// Types every character of Text, each as the key of that character.
inline void Type(QWidget& w, const QString& Text)
{
    for (QChar c : Text) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        Press(w, key, Qt::NoModifier, QString(c));
    }
}

inline void Enter(QWidget& w)
{
    Press(w, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
}
inline void Escape(QWidget& w)
{
    Press(w, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
}
inline void Backspace(QWidget& w)
{
    Press(w, Qt::Key_Backspace, Qt::NoModifier, QString(QChar(8)));
}

} // namespace Keys
