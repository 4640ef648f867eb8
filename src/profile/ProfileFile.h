// An INI file held in memory that reads and writes like the Windows private-profile calls:
// names match without regard to ASCII case, and a change touches only the lines it must, so
// comments, junk lines and the file's line endings survive a rewrite byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vx {

class CProfileFile {
public:
    // A missing file gives an empty profile and true; a file that cannot be read gives false
    // and leaves the profile empty, with the reason in LastError().
    bool Load(const std::string& path);
    // Replaces the file atomically (a link is written through, a read-only file refused). On
    // failure the old file is untouched, nothing else is left and false is returned.
    bool Save(const std::string& path);

    void Parse(std::string_view text);
    std::string Text() const;

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    void SetString(std::string_view section, std::string_view key, std::string_view value);
    void DeleteKey(std::string_view section, std::string_view key);
    void DeleteSection(std::string_view section);

    const std::string& LastError() const { return m_error; }

private:
    struct Line {
        std::string text;
        std::string eol; // "\r\n", "\n", or empty for a last line without one
    };
    struct Range {
        size_t header; // index of the [section] line
        size_t end;    // one past the section's last line
    };

    bool FindSection(std::string_view section, Range& range) const;
    size_t FindKey(const Range& range, std::string_view key) const;
    void InsertLine(size_t at, std::string text);

    std::vector<Line> m_lines;
    std::string m_eol = "\r\n";
    std::string m_error;
};

} // namespace vx
