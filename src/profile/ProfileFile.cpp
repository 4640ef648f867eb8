#include "profile/ProfileFile.h"

#include "base/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The name of a "[name]" line; false for any other line.
bool SectionName(std::string_view line, std::string_view& name) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') {
        return false;
    }
    size_t close = t.rfind(']');
    if (close == std::string_view::npos) {
        return false;
    }
    name = Trim(t.substr(1, close - 1));
    return true;
}

// Key and raw (trimmed) value of a "key=value" line; comments and junk give false.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') {
        return false;
    }
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// A section or key name that reads back as itself.
bool WritableName(std::string_view name) {
    return !HasLineBreak(name) && Trim(name) == name;
}

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

} // namespace

bool CProfileFile::Load(const std::string& path, size_t maxBytes) {
    m_text.clear();
    m_starts.clear();
    m_eol = "\r\n";
    m_error.clear();
    // Not blocking: opening a named pipe for reading would wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            return true;
        }
        m_error = ErrnoText("Cannot open", path);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_error = ErrnoText("Cannot read", path);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = "Cannot read \"" + path + "\": not a regular file";
        ::close(fd);
        return false;
    }
    auto tooBig = [&] {
        m_error = "Cannot use \"" + path + "\": larger than " + std::to_string(maxBytes) + " bytes";
        ::close(fd);
        return false;
    };
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        return tooBig();
    }
    std::string data;
    // Room for the few lines a write adds, so that a big file is not copied to grow.
    data.reserve(static_cast<size_t>(st.st_size) + 4096);
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_error = ErrnoText("Cannot read", path);
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        // The file may have grown since it was measured.
        if (static_cast<size_t>(n) > maxBytes - data.size()) {
            data = {};
            return tooBig();
        }
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    m_text = std::move(data);
    IndexLines();
    return true;
}

void CProfileFile::Parse(std::string_view text) {
    m_text.assign(text);
    IndexLines();
}

void CProfileFile::IndexLines() {
    m_starts.clear();
    // Counted first, with room for the lines a write adds: a growing vector would hold up to
    // twice the offsets of a big file.
    m_starts.reserve(static_cast<size_t>(std::count(m_text.begin(), m_text.end(), '\n')) + 64);
    m_eol = "\r\n";
    bool styleSeen = false;
    for (size_t at = 0; at < m_text.size();) {
        m_starts.push_back(at);
        size_t nl = m_text.find('\n', at);
        if (nl == std::string::npos) {
            break;
        }
        if (!styleSeen) {
            // New lines follow the first line ending of the file.
            m_eol = nl > at && m_text[nl - 1] == '\r' ? "\r\n" : "\n";
            styleSeen = true;
        }
        at = nl + 1;
    }
}

size_t CProfileFile::LineEnd(size_t i) const {
    return i + 1 < m_starts.size() ? m_starts[i + 1] : m_text.size();
}

std::string_view CProfileFile::LineText(size_t i) const {
    std::string_view line(m_text.data() + m_starts[i], LineEnd(i) - m_starts[i]);
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
    }
    return line;
}

void CProfileFile::ShiftStarts(size_t from, std::ptrdiff_t by) {
    for (size_t i = from; i < m_starts.size(); ++i) {
        m_starts[i] = static_cast<size_t>(static_cast<std::ptrdiff_t>(m_starts[i]) + by);
    }
}

void CProfileFile::ReplaceLineText(size_t i, const std::string& text) {
    const size_t old = LineText(i).size();
    m_text.replace(m_starts[i], old, text);
    ShiftStarts(i + 1, static_cast<std::ptrdiff_t>(text.size()) - static_cast<std::ptrdiff_t>(old));
}

void CProfileFile::InsertLine(size_t at, const std::string& text) {
    // The line before a new one needs an ending of its own when it was the file's last.
    if (at > 0 && at == LineCount() && (m_text.empty() || m_text.back() != '\n')) {
        m_text += m_eol;
    }
    const size_t pos = at < LineCount() ? m_starts[at] : m_text.size();
    m_text.insert(pos, text + m_eol);
    m_starts.insert(m_starts.begin() + static_cast<std::ptrdiff_t>(at), pos);
    ShiftStarts(at + 1, static_cast<std::ptrdiff_t>(text.size() + m_eol.size()));
}

void CProfileFile::EraseLines(size_t from, size_t to) {
    if (from >= to) {
        return;
    }
    const size_t begin = m_starts[from];
    const size_t end = LineEnd(to - 1);
    m_text.erase(begin, end - begin);
    m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(from),
                   m_starts.begin() + static_cast<std::ptrdiff_t>(to));
    ShiftStarts(from, -static_cast<std::ptrdiff_t>(end - begin));
}

bool CProfileFile::FindSection(std::string_view section, Range& range) const {
    for (size_t i = 0; i < LineCount(); ++i) {
        std::string_view name;
        if (SectionName(LineText(i), name) && SameName(name, section)) {
            size_t end = i + 1;
            std::string_view other;
            while (end < LineCount() && !SectionName(LineText(end), other)) {
                ++end;
            }
            range = {i, end};
            return true;
        }
    }
    return false;
}

size_t CProfileFile::FindKey(const Range& range, std::string_view key) const {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        std::string_view k, v;
        if (KeyValue(LineText(i), k, v) && SameName(k, key)) {
            return i;
        }
    }
    return std::string::npos;
}

std::string CProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    Range range;
    if (FindSection(section, range)) {
        size_t i = FindKey(range, key);
        if (i != std::string::npos) {
            std::string_view k, v;
            KeyValue(LineText(i), k, v);
            return std::string(Unquote(v));
        }
    }
    return std::string(defaultValue);
}

int CProfileFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    Range range;
    if (!FindSection(section, range) || FindKey(range, key) == std::string::npos) {
        return defaultValue;
    }
    std::string value = GetString(section, key, "");
    // An empty value reads as the default, as the Win32 call does; other text without digits
    // reads as 0.
    if (value.empty()) {
        return defaultValue;
    }
    size_t i = 0;
    while (i < value.size() && IsSpace(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    long long n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        if (n <= static_cast<long long>(INT_MAX) + 1) {
            n = n * 10 + (value[i] - '0');
        }
    }
    if (negative) {
        n = -n;
    }
    if (n > INT_MAX) {
        return INT_MAX;
    }
    if (n < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(n);
}

bool CProfileFile::SetString(std::string_view section, std::string_view key,
                             std::string_view value) {
    if (!WritableName(section) || !WritableName(key) || key.find('=') != std::string_view::npos ||
        (!key.empty() && (key.front() == ';' || key.front() == '[')) || HasLineBreak(value)) {
        return false;
    }
    std::string stored(value);
    if (Unquote(Trim(value)) != value) {
        stored = "\"" + stored + "\"";
    }
    Range range;
    if (!FindSection(section, range)) {
        if (LineCount() > 0 && !Trim(LineText(LineCount() - 1)).empty()) {
            InsertLine(LineCount(), "");
        }
        InsertLine(LineCount(), "[" + std::string(section) + "]");
        InsertLine(LineCount(), std::string(key) + "=" + stored);
        return true;
    }
    size_t i = FindKey(range, key);
    if (i != std::string::npos) {
        std::string_view k, v;
        KeyValue(LineText(i), k, v);
        ReplaceLineText(i, std::string(k) + "=" + stored);
        return true;
    }
    size_t at = range.end;
    while (at > range.header + 1 && Trim(LineText(at - 1)).empty()) {
        --at;
    }
    InsertLine(at, std::string(key) + "=" + stored);
    return true;
}

void CProfileFile::DeleteKey(std::string_view section, std::string_view key) {
    Range range;
    if (!FindSection(section, range)) {
        return;
    }
    for (size_t i = range.end; i-- > range.header + 1;) {
        std::string_view k, v;
        if (KeyValue(LineText(i), k, v) && SameName(k, key)) {
            EraseLines(i, i + 1);
        }
    }
}

void CProfileFile::DeleteSection(std::string_view section) {
    Range range;
    while (FindSection(section, range)) {
        EraseLines(range.header, range.end);
    }
}

bool CProfileFile::Save(const std::string& path) {
    m_error.clear();
    CAtomicFile file;
    const std::string text = Text();
    if (!file.Open(path) || !file.WriteAll(text.data(), text.size()) || !file.Commit()) {
        m_error = file.Error();
        return false;
    }
    return true;
}

} // namespace vx
