// A few persistent threads that share out the rows of a picture operation; the calling thread
// takes its share too. Rows are independent, so the result is the same for any thread count.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vx {

class CRowPool {
public:
    // One thread per core, the caller's included, unless set otherwise.
    static CRowPool& Shared();
    // Replaces the shared pool by one of `threads`; only while nothing uses it (tests, start-up).
    static void SetSharedThreads(int threads);

    explicit CRowPool(int threads);
    ~CRowPool();
    CRowPool(const CRowPool&) = delete;
    CRowPool& operator=(const CRowPool&) = delete;

    int Threads() const { return int(m_workers.size()) + 1; }

    // Calls body(begin, end) on bands of [0, rows) until all are done, and returns then. Work
    // below `minRows` rows, a call from inside a band, or a call while another caller holds the
    // pool runs at once on the calling thread. An exception in a band is thrown here once every
    // band has ended.
    void Run(int rows, const std::function<void(int, int)>& body, int minRows = 16);

private:
    void Work();
    void TakeBands();

    std::vector<std::thread> m_workers;
    std::mutex m_caller; // one operation at a time
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int, int)>* m_body = nullptr;
    int m_nRows = 0;
    int m_nBand = 0;
    int m_nNext = 0;
    int m_nBusy = 0;
    unsigned m_nGeneration = 0;
    bool m_bStop = false;
    std::exception_ptr m_error;
};

} // namespace vx
