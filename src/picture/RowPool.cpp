#include "picture/RowPool.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vx {

namespace {
thread_local bool t_inBand = false;

std::unique_ptr<CRowPool>& SharedPool() {
    static std::unique_ptr<CRowPool> pool;
    return pool;
}
std::once_flag s_created;
} // namespace

CRowPool& CRowPool::Shared() {
    std::call_once(s_created, [] {
        if (!SharedPool()) {
            SharedPool() =
                std::make_unique<CRowPool>(int(std::max(1u, std::thread::hardware_concurrency())));
        }
    });
    return *SharedPool();
}

void CRowPool::SetSharedThreads(int threads) {
    Shared(); // the first creation happens once, whoever comes first
    SharedPool() = std::make_unique<CRowPool>(std::max(1, threads));
}

CRowPool::CRowPool(int threads) {
    for (int i = 1; i < threads; ++i) {
        m_workers.emplace_back([this] { Work(); });
    }
}

CRowPool::~CRowPool() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

void CRowPool::Run(int rows, const std::function<void(int, int)>& body, int minRows) {
    if (rows <= 0) {
        return;
    }
    std::unique_lock<std::mutex> caller(m_caller, std::defer_lock);
    if (m_workers.empty() || rows < minRows || t_inBand || !caller.try_lock()) {
        body(0, rows);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_body = &body;
        m_nRows = rows;
        // A few bands per thread even out rows of unequal cost.
        m_nBand = std::max(1, rows / (4 * Threads()));
        m_nNext = 0;
        m_nBusy = 0;
        m_error = nullptr;
        ++m_nGeneration;
    }
    m_wake.notify_all();
    TakeBands();
    std::unique_lock<std::mutex> lock(m_lock);
    m_done.wait(lock, [this] { return m_nNext >= m_nRows && m_nBusy == 0; });
    m_body = nullptr;
    if (m_error) {
        std::rethrow_exception(std::exchange(m_error, nullptr));
    }
}

void CRowPool::TakeBands() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (m_body && m_nNext < m_nRows) {
        const int begin = m_nNext;
        const int end = std::min(m_nRows, begin + m_nBand);
        m_nNext = end;
        ++m_nBusy;
        const auto* body = m_body;
        lock.unlock();
        t_inBand = true;
        try {
            (*body)(begin, end);
        } catch (...) {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!m_error) {
                m_error = std::current_exception();
            }
            m_nNext = m_nRows; // the other bands are not started
        }
        t_inBand = false;
        lock.lock();
        --m_nBusy;
    }
    if (m_nNext >= m_nRows && m_nBusy == 0) {
        m_done.notify_all();
    }
}

void CRowPool::Work() {
    unsigned seen = 0;
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [&] { return m_bStop || (m_nGeneration != seen && m_body); });
        if (m_bStop) {
            return;
        }
        seen = m_nGeneration;
        lock.unlock();
        TakeBands();
        lock.lock();
    }
}

} // namespace vx
