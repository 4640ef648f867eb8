// Shows the platform's progress dialog while a movie is indexed, once the indexing has taken
// longer than a moment; Cancel in it ends the indexing.
#pragma once

#include "base/Platform.h"
#include "movie/MovieIndex.h"

#include <chrono>
#include <memory>

namespace vx {

class CIndexProgressDialog {
public:
    static constexpr const char* kText = "Indexing the movie...";

    explicit CIndexProgressDialog(IPlatform& ui,
                                  std::chrono::milliseconds delay = std::chrono::milliseconds(500));
    // The callback to hand to CMovieReader; valid while this object lives.
    IndexProgress Callback();

private:
    bool Step(int64_t done, int64_t total);

    IPlatform& m_ui;
    std::chrono::milliseconds m_delay;
    std::chrono::steady_clock::time_point m_start;
    std::unique_ptr<IProgressDialog> m_pDialog;
};

} // namespace vx
