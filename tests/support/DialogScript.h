#pragma once
// Answers every message box of a test from a queue (TScriptedDialogs) and
// puts the previous dialog service back at the end; an unexpected box fails.

#include "platform/Dialogs.h"

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
