#pragma once
// The application's input hook: sees every event of the thread before its
// receiver and never consumes one. Key presses and left, right and middle
// mouse-button presses count as input (the main window's idle check).
//
// Main thread only.

#include <QObject>

#include <functional>

class TInputHook : public QObject
{
  public:
    // Installs itself on the application (when one exists).
    explicit TInputHook(std::function<void()> OnInput);
    ~TInputHook() override;

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    std::function<void()> m_onInput;
};
