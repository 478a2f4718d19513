// The main window's idle check: every key or mouse-button press of the
// thread stamps the last-input tick; while signed in (not as "SYS") a timer
// looks every 30 s whether the user has been away for MAX_IDLE_TIME
// minutes and then shows the logout countdown.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "Components/Controller/mainwindow/InputHook.h"
#include "Components/Controller/mainwindow/LogoutConfirmForm.h"
#include "base/KldLogFile.h"


void TfrmOrvaneBrowser4::InitCheckUserEvents()
{
    if (!TickCount)
        TickCount = [] { return GetTickCount64(); };
    ExecuteLogoutConfirm = [](TLogoutConfirmForm& Form) { return Form.ShowModal(); };
    m_tmrCheckUserAway.SetEnabled(false);
    m_tmrCheckUserAway.SetInterval(30000);
    m_tmrCheckUserAway.OnTimer = [this](TTimer*) { CheckUserAway(); };
    m_lastInputTick = TickCount();
    m_inputHook = std::make_unique<TInputHook>([this] { m_lastInputTick = TickCount(); });
}

void TfrmOrvaneBrowser4::DoneCheckUserEvents()
{
    m_tmrCheckUserAway.SetEnabled(false);
    m_inputHook.reset();
}

void TfrmOrvaneBrowser4::SetCheckUserAwayActive(bool Value)
{
    m_tmrCheckUserAway.SetEnabled(Value);
}

bool TfrmOrvaneBrowser4::CheckUserAwayActive() const
{
    return m_tmrCheckUserAway.Enabled();
}

void TfrmOrvaneBrowser4::CheckUserAway()
{
    // In 64 bits: above 35,791 minutes the milliseconds pass 32 bits.
    const uint64_t limit = static_cast<uint64_t>(m_maxIdleTime) * 60000u;
    const uint64_t now = TickCount();
    if (now - m_lastInputTick < limit)
        return;
    DoLogoutConfirm();
    m_lastInputTick = TickCount();
}

void TfrmOrvaneBrowser4::DoLogoutConfirm()
{
    m_tmrCheckUserAway.SetEnabled(false);
    bool again = true;
    try {
        TLogoutConfirmForm form(this, m_maxIdleTime);
        again = ExecuteLogoutConfirm(form) == mrYes;
    } catch (...) {
        m_tmrCheckUserAway.SetEnabled(true);
        throw;
    }
    // Anything but Yes: the form has asked for the session's end.
    if (again)
        m_tmrCheckUserAway.SetEnabled(true);
}
