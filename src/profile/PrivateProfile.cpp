#include "profile/PrivateProfile.h"

#include "profile/ProfileFile.h"

#include <ctime>
#include <list>
#include <mutex>
#include <sys/stat.h>

namespace vx {

namespace {

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const Identity& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

bool Identify(const std::string& path, Identity& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    id = {st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    return true;
}

// A file changed within the same tick of its file system's clock keeps its time stamp (and a
// rewrite may keep its size), so a parse is only kept once the file is older than this.
constexpr time_t kClockTick = 2;

// One parse for a burst of calls on the same unchanged file, as start-up makes.
class Cache {
public:
    // The profile of `path`, parsed now or earlier; null when the file cannot be used.
    CProfileFile* Get(const std::string& path, CProfileFile& scratch, std::string& error) {
        Identity before;
        const bool exists = Identify(path, before);
        auto it = Find(path);
        if (it != m_entries.end()) {
            if (exists && it->id == before) {
                m_entries.splice(m_entries.begin(), m_entries, it);
                return &m_entries.front().file;
            }
            m_entries.erase(it);
        }
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (!scratch.Load(path, kMaxPrivateProfileBytes)) {
            error = scratch.LastError();
            return nullptr;
        }
        Identity after;
        if (!exists || !Identify(path, after) || !(after == before) ||
            after.modified.tv_sec + kClockTick >= now.tv_sec) {
            return &scratch;
        }
        m_entries.push_front({path, after, std::move(scratch)});
        if (m_entries.size() > kEntries) {
            m_entries.pop_back();
        }
        return &m_entries.front().file;
    }

    // The file was written, or a write was tried: it is new, too new to be kept.
    void Forget(const std::string& path) {
        auto it = Find(path);
        if (it != m_entries.end()) {
            m_entries.erase(it);
        }
    }

    std::mutex m_lock;

private:
    struct Entry {
        std::string path;
        Identity id;
        CProfileFile file;
    };
    static constexpr size_t kEntries = 4;

    std::list<Entry>::iterator Find(const std::string& path) {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->path == path) {
                return it;
            }
        }
        return m_entries.end();
    }

    std::list<Entry> m_entries;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

thread_local std::string t_lastError;

template <typename Read> auto Reading(const std::string& path, Read read) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.m_lock);
    CProfileFile scratch;
    std::string error;
    const CProfileFile* file = cache.Get(path, scratch, error);
    if (!file) {
        t_lastError = error;
    }
    return read(file);
}

template <typename Change> bool Writing(const std::string& path, Change change) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.m_lock);
    CProfileFile scratch;
    std::string error;
    CProfileFile* file = cache.Get(path, scratch, error);
    if (!file) {
        t_lastError = error;
        return false;
    }
    if (!change(*file)) {
        t_lastError = "Cannot write to \"" + path +
                      "\": a name that would not read back, or a value with a line break";
        return false;
    }
    const bool ok = file->Save(path);
    if (!ok) {
        t_lastError = file->LastError();
    }
    cache.Forget(path);
    return ok;
}

} // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path) {
    return Reading(path, [&](const CProfileFile* file) {
        return file ? file->GetString(section, key, defaultValue) : std::string(defaultValue);
    });
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path) {
    return Reading(path, [&](const CProfileFile* file) {
        return file ? file->GetInt(section, key, defaultValue) : defaultValue;
    });
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
    return Writing(path, [&](CProfileFile& file) { return file.SetString(section, key, value); });
}

std::vector<int> GetPrivateProfileInts(std::string_view section,
                                       std::initializer_list<std::string_view> keys,
                                       int defaultValue, const std::string& path) {
    return Reading(path, [&](const CProfileFile* file) {
        std::vector<int> values;
        for (std::string_view key : keys) {
            values.push_back(file ? file->GetInt(section, key, defaultValue) : defaultValue);
        }
        return values;
    });
}

namespace {

template <typename Entries>
bool WriteEntries(std::string_view section, const Entries& entries, const std::string& path) {
    return Writing(path, [&](CProfileFile& file) {
        // On a copy: the parse may be the cache's, which a refused value must not leave half set.
        CProfileFile changed = file;
        for (const auto& [key, value] : entries) {
            if (!changed.SetString(section, key, value)) {
                return false;
            }
        }
        file = std::move(changed);
        return true;
    });
}

} // namespace

bool WritePrivateProfileStrings(
    std::string_view section,
    std::initializer_list<std::pair<std::string_view, std::string_view>> entries,
    const std::string& path) {
    return WriteEntries(section, entries, path);
}

bool WritePrivateProfileStrings(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>>& entries,
                                const std::string& path) {
    return WriteEntries(section, entries, path);
}

bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path) {
    return Writing(path, [&](CProfileFile& file) {
        file.DeleteKey(section, key);
        return true;
    });
}

bool DeletePrivateProfileSection(std::string_view section, const std::string& path) {
    return Writing(path, [&](CProfileFile& file) {
        file.DeleteSection(section);
        return true;
    });
}

std::string PrivateProfileProblem(const std::string& path) {
    return Reading(path,
                   [&](const CProfileFile* file) { return file ? std::string() : t_lastError; });
}

std::string TakePrivateProfileError() {
    std::string error = std::move(t_lastError);
    t_lastError.clear();
    return error;
}

} // namespace vx
