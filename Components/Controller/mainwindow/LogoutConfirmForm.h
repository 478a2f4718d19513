#pragma once
// The logout countdown `TLogoutConfirmForm` ("Terminate Session"): after
// MAX_IDLE_TIME minutes without input the main window asks whether the
// session goes on. "&Yes" (also Enter and Escape) keeps it; "&No", the end
// of the 60-second countdown or any other close ends it: the form then
// posts 1323 with wParam 1 to the main window.
//
// The countdown is ticked every second by its timer (tests call Tick): the
// text is set, then the count goes down, so the shown number first changes
// after two seconds and the form closes 61 seconds after it opened.
//
// Main thread only.

#include "platform/Forms.h"
#include "platform/Timers.h"

#include <string>

class QLabel;
class QPushButton;

// The label's text for the minutes and the seconds left (the system's
// resource text, with its "\r\n" line breaks).
std::string LogoutConfirmText(int32_t Minutes, int32_t Seconds);

class TLogoutConfirmForm : public TDialogForm
{
  public:
    TLogoutConfirmForm(QWidget* Owner, int32_t Minutes);
    ~TLogoutConfirmForm() override;
    std::string ClassName() const override { return "TLogoutConfirmForm"; }

    // One second of the countdown: closes at 0, else shows the count and
    // counts down.
    void Tick();
    int32_t Countdown() const { return m_countdown; }
    int32_t Minutes() const { return m_minutes; }
    // The label's text as set last.
    const std::string& Text() const { return m_text; }
    QLabel* Label() const { return m_label; }
    QLabel* Icon() const { return m_icon; }
    QPushButton* btnYes() const { return m_btnYes; }
    QPushButton* btnNo() const { return m_btnNo; }
    TTimer& Timer() { return m_timer; }

  protected:
    void keyPressEvent(QKeyEvent* Event) override;

  private:
    void SetText();
    void Closed();

    int32_t m_minutes;
    int32_t m_countdown = 60;
    std::string m_text;
    QLabel* m_icon = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_btnYes = nullptr;
    QPushButton* m_btnNo = nullptr;
    TTimer m_timer;
};
