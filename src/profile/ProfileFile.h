// An INI file held in memory that reads and writes like the Windows private-profile calls:
// names match without regard to ASCII case, and a change touches only the lines it must, so
// comments, junk lines and the file's line endings survive a rewrite byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

class CProfileFile {
public:
    static constexpr size_t kNoLimit = SIZE_MAX;

    // A missing file gives an empty profile and true; a file that cannot be read, is not a
    // regular file or holds more than `maxBytes` gives false and leaves the profile empty, with
    // the reason in LastError().
    bool Load(const std::string& path, size_t maxBytes = kNoLimit);
    // Replaces the file atomically (a link is written through, a read-only file refused). On
    // failure the old file is untouched, nothing else is left and false is returned.
    bool Save(const std::string& path);

    void Parse(std::string_view text);
    const std::string& Text() const { return m_text; }

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // False, changing nothing, for names that would not read back as themselves (line breaks,
    // surrounding blanks, a key with "=" or starting with ";" or "[") and values with line breaks.
    // A value with surrounding blanks or quotes is written quoted, so that it reads back whole.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    void DeleteKey(std::string_view section, std::string_view key);
    void DeleteSection(std::string_view section);

    const std::string& LastError() const { return m_error; }

private:
    struct Range {
        size_t header; // index of the [section] line
        size_t end;    // one past the section's last line
    };

    void IndexLines();
    size_t LineCount() const { return m_starts.size(); }
    size_t LineEnd(size_t i) const;            // one past the line's ending
    std::string_view LineText(size_t i) const; // without its ending
    bool FindSection(std::string_view section, Range& range) const;
    size_t FindKey(const Range& range, std::string_view key) const;
    void ReplaceLineText(size_t i, const std::string& text);
    void InsertLine(size_t at, const std::string& text);
    void EraseLines(size_t from, size_t to);
    void ShiftStarts(size_t from, std::ptrdiff_t by);

    // The file's bytes as they are, and where each line starts: a line runs to the next start
    // and ends in "\r\n", "\n" or, for the last, in nothing.
    std::string m_text;
    std::vector<size_t> m_starts;
    std::string m_eol = "\r\n";
    std::string m_error;
};

} // namespace vx
