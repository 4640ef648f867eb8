#include "profile/ProfileFile.h"

#include "base/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
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

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

} // namespace

bool CProfileFile::Load(const std::string& path) {
    m_lines.clear();
    m_eol = "\r\n";
    m_error.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return true;
        }
        m_error = ErrnoText("Cannot open", path);
        return false;
    }
    std::string data;
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
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    Parse(data);
    return true;
}

void CProfileFile::Parse(std::string_view text) {
    m_lines.clear();
    m_eol = "\r\n";
    bool styleSeen = false;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        Line line;
        if (nl == std::string_view::npos) {
            line.text = std::string(text);
            text = {};
        } else {
            size_t end = nl;
            if (end > 0 && text[end - 1] == '\r') {
                --end;
            }
            line.text = std::string(text.substr(0, end));
            line.eol = std::string(text.substr(end, nl + 1 - end));
            text.remove_prefix(nl + 1);
            if (!styleSeen) {
                // New lines follow the first line ending of the file.
                m_eol = line.eol;
                styleSeen = true;
            }
        }
        m_lines.push_back(std::move(line));
    }
}

std::string CProfileFile::Text() const {
    std::string out;
    for (const Line& line : m_lines) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

bool CProfileFile::FindSection(std::string_view section, Range& range) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::string_view name;
        if (SectionName(m_lines[i].text, name) && SameName(name, section)) {
            size_t end = i + 1;
            std::string_view other;
            while (end < m_lines.size() && !SectionName(m_lines[end].text, other)) {
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
        if (KeyValue(m_lines[i].text, k, v) && SameName(k, key)) {
            return i;
        }
    }
    return std::string::npos;
}

void CProfileFile::InsertLine(size_t at, std::string text) {
    // The line before a new one needs an ending of its own when it was the file's last.
    if (at > 0 && m_lines[at - 1].eol.empty()) {
        m_lines[at - 1].eol = m_eol;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), m_eol});
}

std::string CProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    Range range;
    if (FindSection(section, range)) {
        size_t i = FindKey(range, key);
        if (i != std::string::npos) {
            std::string_view k, v;
            KeyValue(m_lines[i].text, k, v);
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

void CProfileFile::SetString(std::string_view section, std::string_view key,
                             std::string_view value) {
    Range range;
    if (!FindSection(section, range)) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty()) {
            InsertLine(m_lines.size(), "");
        }
        InsertLine(m_lines.size(), "[" + std::string(section) + "]");
        InsertLine(m_lines.size(), std::string(key) + "=" + std::string(value));
        return;
    }
    size_t i = FindKey(range, key);
    if (i != std::string::npos) {
        std::string_view k, v;
        KeyValue(m_lines[i].text, k, v);
        m_lines[i].text = std::string(k) + "=" + std::string(value);
        return;
    }
    size_t at = range.end;
    while (at > range.header + 1 && Trim(m_lines[at - 1].text).empty()) {
        --at;
    }
    InsertLine(at, std::string(key) + "=" + std::string(value));
}

void CProfileFile::DeleteKey(std::string_view section, std::string_view key) {
    Range range;
    if (!FindSection(section, range)) {
        return;
    }
    for (size_t i = range.end; i-- > range.header + 1;) {
        std::string_view k, v;
        if (KeyValue(m_lines[i].text, k, v) && SameName(k, key)) {
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

void CProfileFile::DeleteSection(std::string_view section) {
    Range range;
    while (FindSection(section, range)) {
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(range.header),
                      m_lines.begin() + static_cast<std::ptrdiff_t>(range.end));
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
