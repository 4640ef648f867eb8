#include "movie/Event.h"

#include <condition_variable>
#include <mutex>

namespace vx {

// One lock and one condition for all events: a wait for any of several events needs a single
// place where all of them can be looked at together, and the events are few.
namespace {
std::mutex& EventMutex() {
    static std::mutex m;
    return m;
}
std::condition_variable& EventCondition() {
    static std::condition_variable c;
    return c;
}
} // namespace

CEvent::CEvent(Kind kind, bool signalled) : m_bAuto(kind == Kind::Auto), m_bSignalled(signalled) {}

void CEvent::Set() {
    {
        std::lock_guard lock(EventMutex());
        m_bSignalled = true;
    }
    EventCondition().notify_all();
}

void CEvent::Reset() {
    std::lock_guard lock(EventMutex());
    m_bSignalled = false;
}

bool CEvent::IsSet() const {
    std::lock_guard lock(EventMutex());
    return m_bSignalled;
}

void CEvent::Wait() {
    WaitForAny({this});
}

int CEvent::TakeLowestLocked(std::initializer_list<CEvent*> events) {
    int i = 0;
    for (CEvent* e : events) {
        if (e->m_bSignalled) {
            if (e->m_bAuto) {
                e->m_bSignalled = false;
            }
            return i;
        }
        ++i;
    }
    return kTimeout;
}

int CEvent::WaitForAny(std::initializer_list<CEvent*> events) {
    std::unique_lock lock(EventMutex());
    int i;
    while ((i = TakeLowestLocked(events)) == kTimeout) {
        EventCondition().wait(lock);
    }
    return i;
}

int CEvent::WaitForAny(std::initializer_list<CEvent*> events, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(EventMutex());
    int i;
    while ((i = TakeLowestLocked(events)) == kTimeout) {
        if (EventCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            return TakeLowestLocked(events);
        }
    }
    return i;
}

} // namespace vx
