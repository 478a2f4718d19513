#pragma once
// Dialog tests: message boxes answered from a script while the scope lives
// (platform/Dialogs.h), and keys typed into a widget as the window system
// delivers them (a character key carries its text; an unaccepted key goes
// on to the parent, as for a real key press).

#include "platform/Dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QString>
#include <QWidget>

#include <functional>
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

// Runs Steps on the modal dialog of class D once the next modal loop shows
// it (a test drives a dialog whose Execute blocks); a dialog the steps left
// open is cancelled, so a test that forgot to close it does not hang.
// Answers whether the dialog was found.
template <class D> std::shared_ptr<bool> WhenModal(std::function<void(D&)> Steps)
{
    auto shown = std::make_shared<bool>(false);
    QTimer::singleShot(0, [Steps, shown] {
        auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        *shown = true;
        if (Steps)
            Steps(*dialog);
        if (dialog->isVisible())
            dialog->SetModalResult(mrCancel);
    });
    return shown;
}

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
// Ctrl+A: the whole text selected.
inline void SelectAll(QWidget& w)
{
    Press(w, Qt::Key_A, Qt::ControlModifier);
}
// Home, then Right Position times: the caret before character Position.
inline void CaretTo(QWidget& w, int Position)
{
    Press(w, Qt::Key_Home);
    for (int i = 0; i < Position; ++i)
        Press(w, Qt::Key_Right);
}

} // namespace Keys
