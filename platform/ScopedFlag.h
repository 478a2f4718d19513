#pragma once
// A flag that is set for the life of a scope and given back its former value
// when the scope ends, also when an exception leaves it: the guards against
// re-entry ("while hiding", "while logging out") that event handlers test.

class TScopedFlag
{
  public:
    explicit TScopedFlag(bool& Flag) : m_flag(Flag), m_old(Flag) { m_flag = true; }
    ~TScopedFlag() { m_flag = m_old; }
    TScopedFlag(const TScopedFlag&) = delete;
    TScopedFlag& operator=(const TScopedFlag&) = delete;

  private:
    bool& m_flag;
    bool m_old;
};
