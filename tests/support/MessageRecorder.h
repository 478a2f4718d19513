#pragma once
// A window of the calling thread that records every message it receives, for
// tests of code that posts or sends window messages.

#include "platform/Messages.h"

#include <vector>

class TMessageRecorder : public IMessageReceiver
{
  public:
    TMessageRecorder() : m_handle(AllocateHWnd(this)) {}
    ~TMessageRecorder() { DeallocateHWnd(m_handle); }
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;

    HWND Handle() const { return m_handle; }
    void WndProc(TMessage& Message) override { Messages.push_back(Message); }
    // The message numbers received so far, in order.
    std::vector<uint32_t> Numbers() const
    {
        std::vector<uint32_t> numbers;
        for (const TMessage& m : Messages)
            numbers.push_back(m.Msg);
        return numbers;
    }

    std::vector<TMessage> Messages;

  private:
    HWND m_handle;
};
