#pragma once
// The new-mail toast `TMailPopup` ("New Mail"): a borderless bubble under
// the mail button, shaped and placed by _DoNotifyAdjust with its arrow at
// the left, that says how many messages are unread, stays opaque at alpha
// 240 for four seconds, fades to 90 in three tenths of a second and closes.
// A press on it raises OnClick (the main window opens the mailbox). It never
// takes the focus from the window the user types in, and it frees itself
// when it closes.
//
// The rules (caption, alpha steps) are plain so that tests drive them; the
// widget ticks them every 100 ms.
//
// Main thread only.

#include "platform/Types.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

// "You have %d unread messages." for more than one, else "You have an
// unread message.".
std::string MailPopupCaption(int32_t Count);

// The toast's 100 ms cycle: Step answers false once the toast is to close.
struct TMailPopupCycle
{
    int32_t Alpha = 240;
    int32_t Elapsed = 0;
    bool Step();
};

class TMailPopup : public QWidget
{
  public:
    explicit TMailPopup(QWidget* Owner = nullptr);
    ~TMailPopup() override;

    // Captions itself for Count, fits Rect (screen coordinates) to the
    // caption's width plus 30, starts the timer and shows without
    // activation.
    void ShowPopup(const QRect& Rect, int32_t Count);
    // One 100 ms step (the timer's; tests call it).
    void Tick();

    const std::string& Caption() const { return m_caption; }
    int32_t Alpha() const { return m_cycle.Alpha; }
    int32_t Elapsed() const { return m_cycle.Elapsed; }
    QTimer& Timer() { return m_timer; }
    // The caption's rectangle in the client area.
    QRect CaptionRect() const;

    std::function<void()> OnClick;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

  private:
    void ApplyAlpha();

    std::string m_caption;
    TMailPopupCycle m_cycle;
    QTimer m_timer;
};
