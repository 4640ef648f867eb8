#include "support/IniChecks.h"

#include "profile/PrivateProfile.h"
#include "profile/ProfileFile.h"
#include "support/TempDir.h"

#include <string_view>
#include <vector>

namespace vx::test {

namespace {

const std::string kNone = "\x01none";

struct Name {
    std::string section, key;
};

std::string Trimmed(std::string_view s) {
    const char* blanks = " \t\r\n\v\f";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(s.substr(first, s.find_last_not_of(blanks) + 1 - first));
}

std::string Flipped(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

bool SameName(const Name& a, const Name& b) {
    auto lower = [](std::string s) {
        for (char& c : s) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return s;
    };
    return lower(a.section) == lower(b.section) && lower(a.key) == lower(b.key);
}

// A key of the program's own, one in a section the text lacks, then the first keys of the text
// under their sections, the last once more with its case flipped.
std::vector<Name> NamesIn(const std::string& text) {
    std::vector<Name> names{{"", "X"}, {"New", "key"}};
    std::string section;
    for (size_t at = 0; at < text.size() && names.size() < 6;) {
        size_t nl = text.find('\n', at);
        std::string line = Trimmed(std::string_view(text).substr(at, nl - at));
        at = nl == std::string::npos ? text.size() : nl + 1;
        if (!line.empty() && line.front() == '[' && line.rfind(']') != std::string::npos) {
            section = Trimmed(std::string_view(line).substr(1, line.rfind(']') - 1));
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos && line.front() != ';') {
            names.push_back({section, Trimmed(std::string_view(line).substr(0, eq))});
        }
    }
    names.push_back({Flipped(names.back().section), Flipped(names.back().key)});
    return names;
}

std::vector<std::string> ValuesFor(const std::string& text) {
    return {"v", " \"padded and quoted\" ", text.substr(0, std::min<size_t>(text.find('\n'), 24))};
}

std::vector<std::string> Answers(const CProfileFile& f, const std::vector<Name>& names) {
    std::vector<std::string> out;
    for (const Name& n : names) {
        out.push_back(f.GetString(n.section, n.key, kNone));
    }
    return out;
}

std::string Describe(const std::string& rule, const Name& n, const std::string& value = {}) {
    return rule + " [" + n.section + "] " + n.key + " = " + value;
}

// Set, then delete the key, then the section, checking every answer after each step.
std::string CheckEdits(const CProfileFile& parsed, const std::vector<Name>& names,
                       const std::vector<std::string>& before, const Name& n,
                       const std::string& value) {
    CProfileFile f = parsed;
    if (!f.SetString(n.section, n.key, value)) {
        return f.Text() == parsed.Text() ? ""
                                         : Describe("a refused Set changed the text", n, value);
    }
    std::vector<std::string> after = Answers(f, names);
    for (size_t i = 0; i < names.size(); ++i) {
        const bool target = SameName(names[i], n);
        if (target && after[i] != value) {
            return Describe("Set then Get gave \"" + after[i] + "\" for", n, value);
        }
        if (!target && after[i] != before[i]) {
            return Describe("Set changed " + names[i].key + " with", n, value);
        }
    }
    CProfileFile again;
    again.Parse(f.Text());
    if (Answers(again, names) != after) {
        return Describe("the text written by Set parses differently", n, value);
    }

    f.DeleteKey(n.section, n.key);
    std::vector<std::string> deleted = Answers(f, names);
    for (size_t i = 0; i < names.size(); ++i) {
        const bool target = SameName(names[i], n);
        if (target ? deleted[i] != kNone : deleted[i] != after[i]) {
            return Describe("DeleteKey gave \"" + deleted[i] + "\" for " + names[i].key, n);
        }
    }
    f.DeleteSection(n.section);
    for (const Name& m : names) {
        if (SameName({m.section, ""}, {n.section, ""}) &&
            f.GetString(m.section, m.key, kNone) != kNone) {
            return Describe("DeleteSection left", m);
        }
    }
    again.Parse(f.Text());
    if (Answers(again, names) != Answers(f, names)) {
        return Describe("the text left by Delete parses differently", n);
    }
    return {};
}

std::string CheckDisk(const CProfileFile& parsed, const std::string& text,
                      const std::string& folder) {
    const std::string path = folder + "/saved.ini";
    WriteWholeFile(path, text);
    CProfileFile f;
    if (!f.Load(path) || f.Text() != text) {
        return "Load did not give the file's bytes";
    }
    f.SetString("Saved", "k", "1");
    if (!f.Save(path)) {
        return "Save failed: " + f.LastError();
    }
    CProfileFile back;
    if (!back.Load(path) || back.Text() != f.Text()) {
        return "a saved file loads back differently";
    }
    if (Answers(back, NamesIn(text)) != Answers(f, NamesIn(text)) ||
        back.GetString("saved", "K", kNone) != "1" || parsed.Text() != text) {
        return "a saved file answers differently";
    }
    return {};
}

// The calls read the file as it is on disk each time, however quickly it is rewritten.
std::string CheckPrivateProfile(const CProfileFile& parsed, const std::vector<Name>& names,
                                const std::string& text, const std::string& folder) {
    const std::string path = folder + "/private.ini";
    WriteWholeFile(path, text);
    for (const Name& n : names) {
        if (GetPrivateProfileString(n.section, n.key, kNone, path) !=
            parsed.GetString(n.section, n.key, kNone)) {
            return Describe("GetPrivateProfileString differs from the parse", n);
        }
        if (GetPrivateProfileInt(n.section, n.key, -7, path) !=
            parsed.GetInt(n.section, n.key, -7)) {
            return Describe("GetPrivateProfileInt differs from the parse", n);
        }
    }
    const Name& n = names.back();
    CProfileFile expected = parsed;
    const bool accepted = expected.SetString(n.section, n.key, "written");
    if (WritePrivateProfileString(n.section, n.key, "written", path) != accepted) {
        return Describe("WritePrivateProfileString answered differently from Set", n);
    }
    if (ReadWholeFile(path) != expected.Text()) {
        return Describe("WritePrivateProfileString wrote other bytes than Set", n);
    }
    if (accepted && GetPrivateProfileString(n.section, n.key, kNone, path) != "written") {
        return Describe("a written value did not read back", n);
    }
    WriteWholeFile(path, text);
    if (GetPrivateProfileString(n.section, n.key, kNone, path) !=
        parsed.GetString(n.section, n.key, kNone)) {
        return Describe("a rewrite by another program was not seen", n);
    }
    return {};
}

} // namespace

std::string CheckIniText(const std::string& text, const std::string& folder) {
    CProfileFile parsed;
    parsed.Parse(text);
    if (parsed.Text() != text) {
        return "Parse then Text changed the bytes";
    }
    const std::vector<Name> names = NamesIn(text);
    const std::vector<std::string> before = Answers(parsed, names);
    for (const Name& n : names) {
        for (const std::string& value : ValuesFor(text)) {
            std::string broken = CheckEdits(parsed, names, before, n, value);
            if (!broken.empty()) {
                return broken;
            }
        }
    }
    std::string broken = CheckDisk(parsed, text, folder);
    if (broken.empty()) {
        broken = CheckPrivateProfile(parsed, names, text, folder);
    }
    return broken;
}

} // namespace vx::test
