// Waitable events with manual- and auto-reset kinds, and a wait for any of several events.
#pragma once

#include <chrono>
#include <initializer_list>

namespace vx {

class CEvent {
public:
    enum class Kind { Manual, Auto };

    explicit CEvent(Kind kind, bool signalled = false);
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until signalled; consumes the signal of an auto-reset event.
    void Wait();

    static constexpr int kTimeout = -1;
    // Waits until any event is signalled and returns the index of the lowest-numbered signalled
    // one. Only that event is consumed, and only when it is auto-reset.
    static int WaitForAny(std::initializer_list<CEvent*> events);
    // Same, giving up after `timeout` with kTimeout.
    static int WaitForAny(std::initializer_list<CEvent*> events, std::chrono::milliseconds timeout);

private:
    static int TakeLowestLocked(std::initializer_list<CEvent*> events);

    const bool m_bAuto;
    bool m_bSignalled; // guarded by the shared event mutex
};

} // namespace vx
