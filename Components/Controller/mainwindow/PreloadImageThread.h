#pragma once
// The icons of the menu rows, fetched into the resource cache on a worker
// thread while the user works. The main window owns it: asked to stop at the
// database log-off (it waits on nothing there), joined before the next
// database sign-in, before the connection goes and at destruction.

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>

class TovnController;

class TPreloadImageThread
{
  public:
    explicit TPreloadImageThread(std::set<std::string> Names);
    ~TPreloadImageThread();
    TPreloadImageThread(const TPreloadImageThread&) = delete;
    TPreloadImageThread& operator=(const TPreloadImageThread&) = delete;

    // SystemActive: whether the system connection still is active.
    void Start(TovnController& Controller, std::function<bool()> SystemActive);
    void Stop() { m_stop = true; }
    void Join();
    bool Finished() const { return m_finished; }
    const std::set<std::string>& Names() const { return m_names; }

  private:
    void Execute(TovnController& Controller, const std::function<bool()>& SystemActive);

    std::set<std::string> m_names;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};
