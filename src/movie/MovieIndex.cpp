#include "movie/MovieIndex.h"

#include "movie/FfmpegHandles.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <ffms.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>

namespace vx {

namespace {

struct CacheKey {
    std::string path;
    uintmax_t size;
    int64_t mtime;
    bool operator<(const CacheKey& o) const {
        return std::tie(path, size, mtime) < std::tie(o.path, o.size, o.mtime);
    }
};

std::mutex g_cacheLock;
std::map<CacheKey, std::shared_ptr<const CMovieIndex>>& Cache() {
    static std::map<CacheKey, std::shared_ptr<const CMovieIndex>> cache;
    return cache;
}

void InitFfms() {
    static std::once_flag once;
    std::call_once(once, [] {
        FFMS_Init(0, 0);
        FFMS_SetLogLevel(-8); // quiet: failures come back as results
    });
}

int FFMS_CC OnProgress(int64_t current, int64_t total, void* priv) {
    const auto* progress = static_cast<const IndexProgress*>(priv);
    return (*progress)(current, total) ? 0 : 1;
}

HRESULT Fail(HRESULT hr, std::string* reason, std::string text) {
    if (reason) {
        *reason = std::move(text);
    }
    return hr;
}

// FFMS2's message, or the kind of failure when it gave none.
std::string FfmsReason(const char* what, const FFMS_ErrorInfo& error) {
    std::string text = std::string("ffms2: ") + what;
    if (error.Buffer && error.Buffer[0]) {
        text += ": ";
        text += error.Buffer;
    }
    return text;
}

} // namespace

int64_t CMovieIndex::FindPts(int64_t pts) const {
    auto it = std::lower_bound(m_vPts.begin(), m_vPts.end(), pts);
    return (it != m_vPts.end() && *it == pts) ? int64_t(it - m_vPts.begin()) : -1;
}

int64_t CMovieIndex::KeyAtOrBefore(int64_t frame) const {
    for (int64_t i = std::min(frame, FrameCount() - 1); i > 0; --i) {
        if (m_vKey[size_t(i)]) {
            return i;
        }
    }
    return 0;
}

HRESULT CMovieIndex::Get(const std::string& path, const IndexProgress& progress,
                         std::shared_ptr<const CMovieIndex>* index, std::string* reason) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        return Fail(E_FAIL, reason, res::FormatString(res::IDS_REASON_CANT_OPEN, {ec.message()}));
    }
    const auto mtime = std::filesystem::last_write_time(path, ec);
    if (ec) {
        return Fail(E_FAIL, reason, "cannot read the file's time: " + ec.message());
    }
    const CacheKey key{path, size, int64_t(mtime.time_since_epoch().count())};
    {
        std::lock_guard lock(g_cacheLock);
        auto it = Cache().find(key);
        if (it != Cache().end()) {
            *index = it->second;
            return S_OK;
        }
    }

    InitFfms();
    char message[1024];
    FFMS_ErrorInfo error{FFMS_ERROR_SUCCESS, FFMS_ERROR_SUCCESS, int(sizeof message), message};
    FfmsIndexerPtr indexer(FFMS_CreateIndexer(path.c_str(), &error));
    if (!indexer) {
        // FFMS2 names the whole path; the file's own name is enough beside the message.
        std::string why = FfmsReason("cannot open the file", error);
        const std::string name = std::filesystem::path(path).filename().string();
        for (size_t at = why.find(path); at != std::string::npos; at = why.find(path, at)) {
            why.replace(at, path.size(), name);
            at += name.size();
        }
        return Fail(E_FAIL, reason, res::FormatString(res::IDS_REASON_NOT_A_MOVIE, {why}));
    }
    FFMS_TrackTypeIndexSettings(indexer.get(), FFMS_TYPE_AUDIO, 0, 0);
    if (progress) {
        FFMS_SetProgressCallback(indexer.get(), OnProgress, const_cast<IndexProgress*>(&progress));
    }
    // Indexing frees the indexer, whatever its outcome.
    FfmsIndexPtr ffIndex(FFMS_DoIndexing2(indexer.release(), FFMS_IEH_ABORT, &error));
    if (!ffIndex) {
        if (error.ErrorType == FFMS_ERROR_CANCELLED) {
            return Fail(E_ABORT, reason, "indexing cancelled");
        }
        return Fail(E_FAIL, reason, FfmsReason("indexing failed", error));
    }
    const int track = FFMS_GetFirstIndexedTrackOfType(ffIndex.get(), FFMS_TYPE_VIDEO, &error);
    if (track < 0) {
        return Fail(E_FAIL, reason, "no video track");
    }
    FFMS_Track* t = FFMS_GetTrackFromIndex(ffIndex.get(), track);
    auto result = std::make_shared<CMovieIndex>();
    result->m_nTrack = track;
    const int count = FFMS_GetNumFrames(t);
    result->m_vPts.reserve(size_t(std::max(count, 0)));
    result->m_vKey.reserve(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const FFMS_FrameInfo* info = FFMS_GetFrameInfo(t, i);
        result->m_vPts.push_back(info->PTS);
        result->m_vKey.push_back(info->KeyFrame ? 1 : 0);
    }
    // A stream cut in the middle of a group of pictures starts with packets that refer to
    // pictures it lacks: nothing decodes them, so the frames start at the first key frame.
    const auto firstKey = std::find(result->m_vKey.begin(), result->m_vKey.end(), 1);
    if (firstKey != result->m_vKey.end() && firstKey != result->m_vKey.begin()) {
        const auto lead = firstKey - result->m_vKey.begin();
        result->m_nLeading = int64_t(lead);
        result->m_vKey.erase(result->m_vKey.begin(), firstKey);
        result->m_vPts.erase(result->m_vPts.begin(), result->m_vPts.begin() + lead);
    }
    const FFMS_TrackTimeBase* tb = FFMS_GetTimeBase(t);
    result->m_nTimeBaseNum = tb->Num;
    result->m_nTimeBaseDen = tb->Den;
    result->m_bPtsIncreasing =
        std::adjacent_find(result->m_vPts.begin(), result->m_vPts.end(),
                           [](int64_t a, int64_t b) { return b <= a; }) == result->m_vPts.end();

    std::lock_guard lock(g_cacheLock);
    Cache()[key] = result;
    *index = std::move(result);
    return S_OK;
}

void CMovieIndex::ClearCache() {
    std::lock_guard lock(g_cacheLock);
    Cache().clear();
}

} // namespace vx
