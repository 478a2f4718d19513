#pragma once
// Unit ScreenPeep: `TfrmScreenPeep` ("Screen Peep") asks the local user to
// let a remote user view the screen. The caller fills the user name and
// shows it modally; the answer is the tag, 100 for yes, unchanged for no.
// Without an answer it says no by itself after 15 seconds (its one-second
// timer runs from creation). "&NO WAY!!!" has the focus, so Enter says no.
//
// Main thread only.

#include "platform/Forms.h"
#include "platform/Timers.h"

#include <string>

class QLabel;
class QPushButton;

class TfrmScreenPeep : public TDialogForm
{
  public:
    explicit TfrmScreenPeep(QWidget* parent = nullptr);
    ~TfrmScreenPeep() override;
    std::string ClassName() const override { return "TfrmScreenPeep"; }

    QLabel* lblUser() const { return m_lblUser; }
    QLabel* lblCountdown() const { return m_lblCountdown; }
    QPushButton* btnYes() const { return m_btnYes; }
    QPushButton* btnNo() const { return m_btnNo; }
    TTimer& Timer() { return m_timer; }
    int Ticks() const { return m_ticks; }

    // The timer's event (and the show's): the countdown, and "no" at 16.
    void Tick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* m_lblUser = nullptr;
    QLabel* m_lblCountdown = nullptr;
    QPushButton* m_btnYes = nullptr;
    QPushButton* m_btnNo = nullptr;
    TTimer m_timer;
    int m_ticks = 0;
};
