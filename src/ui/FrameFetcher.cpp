#include "ui/FrameFetcher.h"

#include "base/MyException.h"
#include "movie/DibDrawTarget.h"
#include "movie/MovieReader.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <QMetaObject>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace vx::ui {

struct CFrameFetcher::State {
    struct Wanted {
        int64_t frame;
        bool keyFrame;
    };

    std::mutex lock; // guards everything below but the reader
    std::condition_variable wake;
    std::optional<Wanted> pending;
    bool fetching = false;
    bool quit = false;
    bool ended = false;             // the thread has let go of the reader
    CFrameFetcher* owner = nullptr; // told of each frame; null once the fetcher is gone
    std::unique_ptr<FetchedFrame> arrived;
    std::function<void(int64_t)> hook;
    std::unique_ptr<CMovieReader> reader; // the fetching thread's alone
};

namespace {

// Threads whose fetcher has gone. Each ends after its last fetch; they are joined as later ones
// come and, at the latest, when the program ends.
class CLeftThreads {
public:
    ~CLeftThreads() {
        for (Left& left : m_vLeft) {
            left.thread.join();
        }
    }
    // `ended` answers whether the thread has nothing left to do.
    void Add(std::function<bool()> ended, std::thread thread) {
        std::lock_guard guard(m_lock);
        for (auto it = m_vLeft.begin(); it != m_vLeft.end();) {
            if (it->ended()) {
                it->thread.join();
                it = m_vLeft.erase(it);
            } else {
                ++it;
            }
        }
        m_vLeft.push_back({std::move(ended), std::move(thread)});
    }

private:
    struct Left {
        std::function<bool()> ended;
        std::thread thread;
    };
    std::mutex m_lock;
    std::vector<Left> m_vLeft;
};

CLeftThreads& LeftThreads() {
    static CLeftThreads threads;
    return threads;
}

std::unique_ptr<FetchedFrame> Fetch(CMovieReader& reader, int64_t frame, bool keyFrame) {
    auto fetched = std::make_unique<FetchedFrame>();
    fetched->frame = frame;
    fetched->keyFrame = keyFrame;
    int width = 0;
    int height = 0;
    reader.GetFrameSize(width, height);
    try {
        fetched->picture = std::make_unique<CDibImage>(width, height);
        fetched->picture->SetPath(reader.GetPath());
        fetched->picture->SetFrameIndex(frame);
        // Every fetch seeks, even to the frame that would come next: after a failed frame the
        // graph delivers nothing more until it is positioned again.
        reader.Seek(frame);
        int32_t length = 0;
        if (const uint8_t* bits = reader.GetFrame(&length)) {
            CDibDrawTarget target(*fetched->picture);
            target.StretchDIBits(0, 0, width, height, 0, 0, width, height, bits,
                                 reader.GetBitmapHeader());
            fetched->decoded = true;
        } else {
            fetched->failure = reader.FailureReason();
        }
    } catch (const CMyException&) {
        fetched->failure = reader.FailureReason();
    } catch (const std::bad_alloc&) {
        fetched->failure = res::FormatString(res::IDS_REASON_NO_MEMORY_SIZE,
                                             {std::to_string(width), std::to_string(height)});
    }
    return fetched;
}

} // namespace

CFrameFetcher::CFrameFetcher(std::unique_ptr<CMovieReader> reader)
    : m_pReader(reader.get()), m_pState(std::make_shared<State>()) {
    m_pState->reader = std::move(reader);
    m_pState->owner = this;
    m_thread = std::thread(&CFrameFetcher::Work, m_pState);
}

CFrameFetcher::~CFrameFetcher() {
    {
        std::lock_guard guard(m_pState->lock);
        m_pState->quit = true;
        m_pState->owner = nullptr;
    }
    m_pState->wake.notify_all();
    // Not joined here: closing the reader may wait for a decoder that is in the middle of a
    // long seek, and the window must close at once.
    std::shared_ptr<State> state = m_pState;
    LeftThreads().Add(
        [state] {
            std::lock_guard guard(state->lock);
            return state->ended;
        },
        std::move(m_thread));
}

void CFrameFetcher::Request(int64_t frame, bool keyFrame) {
    {
        std::lock_guard guard(m_pState->lock);
        m_pState->pending = State::Wanted{frame, keyFrame};
    }
    m_pState->wake.notify_all();
}

std::unique_ptr<FetchedFrame> CFrameFetcher::Take() {
    std::lock_guard guard(m_pState->lock);
    return std::move(m_pState->arrived);
}

bool CFrameFetcher::Busy() const {
    std::lock_guard guard(m_pState->lock);
    return m_pState->pending || m_pState->fetching;
}

void CFrameFetcher::SetFetchHook(std::function<void(int64_t)> hook) {
    std::lock_guard guard(m_pState->lock);
    m_pState->hook = std::move(hook);
}

void CFrameFetcher::Deliver() {
    emit Arrived();
}

void CFrameFetcher::Work(std::shared_ptr<State> state) {
    std::unique_lock guard(state->lock);
    for (;;) {
        state->wake.wait(guard, [&] { return state->quit || state->pending; });
        if (state->quit) {
            break;
        }
        const State::Wanted wanted = *state->pending;
        state->pending.reset();
        state->fetching = true;
        const std::function<void(int64_t)> hook = state->hook;
        guard.unlock();
        if (hook) {
            hook(wanted.frame);
        }
        std::unique_ptr<FetchedFrame> fetched =
            Fetch(*state->reader, wanted.frame, wanted.keyFrame);
        guard.lock();
        state->fetching = false;
        state->arrived = std::move(fetched);
        // Under the lock, so that the fetcher cannot go while it is being told.
        if (state->owner) {
            QMetaObject::invokeMethod(state->owner, &CFrameFetcher::Deliver, Qt::QueuedConnection);
        }
    }
    guard.unlock();
    state->reader.reset();
    guard.lock();
    state->ended = true;
}

} // namespace vx::ui
