#include "base/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

namespace {

const char kTempSuffix[] = ".vexel-tmp";
constexpr size_t kTempNameRoom = 100; // of the target's name, so the temporary fits NAME_MAX

std::string HostName() {
    char host[HOST_NAME_MAX + 1] = "";
    if (gethostname(host, sizeof host) != 0) {
        return "localhost";
    }
    host[HOST_NAME_MAX] = '\0';
    std::string name = host;
    // The fields of a temporary's name are separated by '~'.
    for (char& c : name) {
        if (c == '~' || c == '/') {
            c = '_';
        }
    }
    return name.empty() ? "localhost" : name;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// .<name>~<host>~<pid>~<random>.vexel-tmp: the host and pid tell whether its writer still runs.
std::string TemporaryName(const std::string& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char tail[64];
    std::snprintf(tail, sizeof tail, "~%ld~%08llx", long(getpid()),
                  static_cast<unsigned long long>(random() & 0xffffffffu));
    return "." + NameOf(target).substr(0, kTempNameRoom) + "~" + HostName() + tail + kTempSuffix;
}

// The path a chain of symbolic links ends at (which need not exist yet).
bool FollowLinks(std::string path, std::string& out, int& err) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            out = path;
            return true;
        }
        std::string link(size_t(PATH_MAX), '\0');
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n < 0) {
            err = errno;
            return false;
        }
        link.resize(size_t(n));
        path = (!link.empty() && link[0] == '/') ? link : Join(FolderOf(path), link);
    }
    err = ELOOP;
    return false;
}

void SyncFolder(const std::string& folder) {
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

} // namespace

CAtomicFile::~CAtomicFile() {
    Discard();
}

bool CAtomicFile::Fail(const std::string& what, int err) {
    m_errno = err;
    m_error = what + " \"" + m_target + "\": " + std::strerror(err);
    Discard();
    return false;
}

void CAtomicFile::Discard() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty()) {
        unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool CAtomicFile::Open(const std::string& path, Mode mode) {
    Discard();
    m_error.clear();
    m_errno = 0;
    m_target = path;
    if (path.empty()) {
        return Fail("Cannot write", ENOENT);
    }
    int err = 0;
    if (!FollowLinks(path, m_target, err)) {
        return Fail("Cannot follow the link", err);
    }
    m_folder = FolderOf(m_target);
    struct stat old;
    m_exists = stat(m_target.c_str(), &old) == 0;
    if (m_exists) {
        if (S_ISDIR(old.st_mode)) {
            return Fail("Cannot write", EISDIR);
        }
        if (!S_ISREG(old.st_mode)) {
            return Fail("Cannot replace what is not a regular file", EINVAL);
        }
        // A read-only file stays as it is, even for a user whom the folder would let replace it.
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(m_target.c_str(), W_OK)) {
            return Fail("Cannot write", EACCES);
        }
        m_mode = old.st_mode & 07777;
        m_uid = old.st_uid;
        m_gid = old.st_gid;
    } else if (errno != ENOENT) {
        return Fail("Cannot write", errno);
    }
    RemoveStaleTemporaries(m_folder);

    if (mode == Mode::Auto) {
        m_fd = open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return Fail("Cannot create a file beside", errno);
        }
    }
    if (m_fd < 0 && !OpenNamed()) {
        return false;
    }
    if (m_exists) {
        // The owner may not be ours to give; the permissions are, once the owner is settled.
        if (fchown(m_fd, m_uid, m_gid) != 0) {
            m_mode &= ~mode_t(S_ISUID | S_ISGID);
        }
        if (fchmod(m_fd, m_mode) != 0) {
            return Fail("Cannot keep the permissions of", errno);
        }
    }
    return true;
}

bool CAtomicFile::OpenNamed() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp = Join(m_folder, TemporaryName(m_target));
        m_fd = open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    const int err = errno;
    m_temp.clear();
    return Fail("Cannot create a file beside", err);
}

bool CAtomicFile::WriteAll(const void* data, size_t size) {
    if (m_fd < 0) {
        return Fail("Cannot write", EBADF);
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(m_fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail("Cannot write", errno);
        }
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

bool CAtomicFile::Commit() {
    if (m_fd < 0) {
        return Fail("Cannot write", EBADF);
    }
    if (fsync(m_fd) != 0) {
        return Fail("Cannot write", errno);
    }
    if (!m_temp.empty()) {
        if (close(m_fd) != 0) {
            m_fd = -1;
            return Fail("Cannot write", errno);
        }
        m_fd = -1;
        if (rename(m_temp.c_str(), m_target.c_str()) != 0) {
            return Fail("Cannot replace", errno);
        }
        m_temp.clear();
        SyncFolder(m_folder);
        return true;
    }
    // An anonymous file: a new target takes its name directly; an existing one is replaced by
    // a rename, which needs the content under a name of its own for that moment.
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    auto link = [&](const std::string& name) {
        return linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
               (errno != EEXIST &&
                linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0);
    };
    if (!m_exists && link(m_target)) {
        close(m_fd);
        m_fd = -1;
        SyncFolder(m_folder);
        return true;
    }
    if (!m_exists && errno != EEXIST) {
        return Fail("Cannot create", errno);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = Join(m_folder, TemporaryName(m_target));
        if (link(temp)) {
            m_temp = temp; // Discard removes it should the rename fail
            break;
        }
        if (errno != EEXIST) {
            return Fail("Cannot create a file beside", errno);
        }
    }
    if (m_temp.empty()) {
        return Fail("Cannot create a file beside", EEXIST);
    }
    if (rename(m_temp.c_str(), m_target.c_str()) != 0) {
        return Fail("Cannot replace", errno);
    }
    m_temp.clear();
    close(m_fd);
    m_fd = -1;
    SyncFolder(m_folder);
    return true;
}

int CAtomicFile::RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        return 0;
    }
    const std::string host = HostName();
    const size_t suffix = sizeof kTempSuffix - 1;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix + 1 || name[0] != '.' ||
            name.compare(name.size() - suffix, suffix, kTempSuffix) != 0) {
            continue;
        }
        // From the right: random, pid, host.
        const std::string fields = name.substr(0, name.size() - suffix);
        const size_t r = fields.rfind('~');
        const size_t p =
            r == std::string::npos || r == 0 ? std::string::npos : fields.rfind('~', r - 1);
        const size_t h =
            p == std::string::npos || p == 0 ? std::string::npos : fields.rfind('~', p - 1);
        if (h == std::string::npos || fields.substr(h + 1, p - h - 1) != host) {
            continue;
        }
        const std::string pidText = fields.substr(p + 1, r - p - 1);
        char* end = nullptr;
        const long pid = std::strtol(pidText.c_str(), &end, 10);
        if (pidText.empty() || *end != '\0' || pid <= 0 || pid == long(getpid())) {
            continue;
        }
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH &&
            unlinkat(dirfd(dir), name.c_str(), 0) == 0) {
            ++removed;
        }
    }
    closedir(dir);
    return removed;
}

} // namespace vx
