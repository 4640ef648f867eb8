// Replaces a file so that anyone reading it sees either the old content or the whole new one,
// and so that a write that fails, is abandoned or is killed leaves the old file and nothing else.
//
// The new content goes into an anonymous file in the target's folder (O_TMPFILE) that gets a
// name only once it is complete and on disk; where the filesystem has no anonymous files, into a
// hidden temporary file of our own naming, and temporaries of that naming left by processes that
// no longer run are removed on the next write into the folder. A symbolic link is written
// through (the link stays a link), the old file's permissions and owner are kept, a read-only
// or non-regular target is refused, and both the file and its folder are synced.
#pragma once

#include <string>
#include <sys/types.h>

namespace vx {

class CAtomicFile {
public:
    enum class Mode { Auto, NamedTemporary };

    CAtomicFile() = default;
    ~CAtomicFile(); // discards what was not committed
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Prepares the replacement of `path`; false (see Error) when it cannot be replaced.
    // NamedTemporary skips the anonymous file, as on filesystems without one.
    bool Open(const std::string& path, Mode mode = Mode::Auto);
    // The new content's descriptor, open for writing; -1 before Open or after Commit.
    int Fd() const { return m_fd; }
    bool WriteAll(const void* data, size_t size);
    // Syncs the content, gives it the target's name and syncs the folder; false leaves the
    // old file as it was.
    bool Commit();
    void Discard();

    // Why the last call failed, for a message; errno-like code in ErrorNumber.
    const std::string& Error() const { return m_error; }
    int ErrorNumber() const { return m_errno; }
    // The file that is replaced: the path with symbolic links followed.
    const std::string& Target() const { return m_target; }

    // Removes the hidden temporaries of dead writers from `folder`; answers how many.
    static int RemoveStaleTemporaries(const std::string& folder);

private:
    bool Fail(const std::string& what, int err);
    bool OpenNamed();

    std::string m_target;
    std::string m_folder;
    std::string m_temp; // named temporary, empty for an anonymous file
    int m_fd = -1;
    bool m_exists = false;
    mode_t m_mode = 0;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::string m_error;
    int m_errno = 0;
};

} // namespace vx
