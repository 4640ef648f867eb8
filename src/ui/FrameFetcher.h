// Fetches movie frames on a thread of its own, so that no window waits for a decoder.
#pragma once

#include "picture/DibImage.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace vx {
class CMovieReader;
}

namespace vx::ui {

// One frame as it came from the movie.
struct FetchedFrame {
    int64_t frame = 0;     // the frame the picture is
    bool keyFrame = false; // asked for as the key frame standing in for a later frame
    bool decoded = false;  // false: the picture is black and `failure` says why, when known
    std::string failure;
    // Named after the movie and numbered, ready to be installed; null when no memory was left.
    std::unique_ptr<CDibImage> picture;
};

class CFrameFetcher : public QObject {
    Q_OBJECT
public:
    // Takes the opened reader; from now on only the fetching thread uses it.
    explicit CFrameFetcher(std::unique_ptr<CMovieReader> reader);
    // Returns at once: a fetch under way ends on its own thread, which then closes the reader.
    ~CFrameFetcher() override;
    CFrameFetcher(const CFrameFetcher&) = delete;
    CFrameFetcher& operator=(const CFrameFetcher&) = delete;

    // Replaces any request not yet begun, so that only the latest position is fetched.
    void Request(int64_t frame, bool keyFrame);
    // The frame that arrived last, once; null when none is waiting.
    std::unique_ptr<FetchedFrame> Take();
    // A request waits or is being fetched.
    bool Busy() const;
    // The open reader, for what does not change while the movie is open (count, size, key
    // frames, times); any thread may ask those.
    const CMovieReader& Reader() const { return *m_pReader; }

    // Runs on the fetching thread before each fetch, with the frame asked for. Tests hold a
    // fetch here to see what the window does meanwhile.
    void SetFetchHook(std::function<void(int64_t)> hook);

signals:
    // A frame arrived; Take it.
    void Arrived();

private:
    struct State;

    static void Work(std::shared_ptr<State> state);
    void Deliver();

    const CMovieReader* m_pReader; // owned by the state, for as long as the thread runs
    std::shared_ptr<State> m_pState;
    std::thread m_thread;
};

} // namespace vx::ui
