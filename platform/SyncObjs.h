#pragma once
// Locks and events shared between threads: a recursive critical section with
// a timed acquire, a manual- or auto-reset event and a locked list.

#include "platform/Threads.h" // INFINITE

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

// A lock that the owning thread may enter again (each Enter needs its Leave).
class TCriticalSection
{
  public:
    TCriticalSection() = default;
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }
    bool TryEnter() { return m_mutex.try_lock(); }
    // Waits at most `ms` milliseconds for the lock; INFINITE waits for ever.
    bool TryEnterFor(uint32_t ms);

  private:
    std::recursive_timed_mutex m_mutex;
};

// Holds a critical section for the lifetime of the guard.
class TCriticalSectionGuard
{
  public:
    explicit TCriticalSectionGuard(TCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~TCriticalSectionGuard() { m_cs.Leave(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

  private:
    TCriticalSection& m_cs;
};

enum TWaitResult
{
    wrSignaled,
    wrTimeout,
    wrAbandoned,
    wrError
};

// A signal that threads wait for. A manual-reset event stays signalled until
// ResetEvent; an auto-reset event lets exactly one waiter through per
// SetEvent and clears itself. A wait on the main thread keeps serving the
// hand-offs of worker threads (MainThread::Synchronize, SendMessage), so the
// main thread can wait for a worker that hands work to it.
class TEvent
{
  public:
    explicit TEvent(bool manualReset = true, bool initialState = false);
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    TWaitResult WaitFor(uint32_t timeoutMs = INFINITE);
    bool IsSet() const;

  private:
    bool TryConsume(); // true when signalled; clears an auto-reset event

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_manualReset;
    bool m_signaled;
};

// A list whose access is serialised by a lock. LockList answers the list
// with the lock held until UnlockList; the guard `Locked` does both.
// Add ignores duplicates, as the handler lists that use it expect.
template <class T = void*> class TThreadList
{
  public:
    TThreadList() = default;
    TThreadList(const TThreadList&) = delete;
    TThreadList& operator=(const TThreadList&) = delete;

    std::vector<T>& LockList()
    {
        m_lock.Enter();
        return m_items;
    }
    void UnlockList() { m_lock.Leave(); }

    void Add(const T& item)
    {
        TCriticalSectionGuard guard(m_lock);
        for (const T& existing : m_items)
            if (existing == item)
                return;
        m_items.push_back(item);
    }
    void Remove(const T& item)
    {
        TCriticalSectionGuard guard(m_lock);
        for (auto it = m_items.begin(); it != m_items.end(); ++it)
            if (*it == item) {
                m_items.erase(it);
                return;
            }
    }
    void Clear()
    {
        TCriticalSectionGuard guard(m_lock);
        m_items.clear();
    }
    std::size_t Count()
    {
        TCriticalSectionGuard guard(m_lock);
        return m_items.size();
    }

    // Holds the list's lock while in scope.
    class Locked
    {
      public:
        explicit Locked(TThreadList& list) : m_list(list), m_items(list.LockList()) {}
        ~Locked() { m_list.UnlockList(); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;
        std::vector<T>& operator*() { return m_items; }
        std::vector<T>* operator->() { return &m_items; }

      private:
        TThreadList& m_list;
        std::vector<T>& m_items;
    };

  private:
    TCriticalSection m_lock;
    std::vector<T> m_items;
};
