#include "app/CommandLine.h"

#include "document/PlacementGesture.h"
#include "picture/PointAlignment.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <set>
#include <string_view>

namespace vx {

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// from_chars takes no leading '+', which people write before an angle or an offset.
std::string_view Unsigned(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    return text;
}

// The whole text, nothing left over: "1.5x", "", "nan" and "inf" are refused.
bool ToDouble(std::string_view text, double& value) {
    text = Unsigned(text);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && std::isfinite(value);
}

bool ToInteger(std::string_view text, int64_t& value) {
    text = Unsigned(text);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

// Fields of `text` between `separator`s; empty fields are kept, so that "1,,2" has three.
std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    for (size_t begin = 0;;) {
        const size_t end = text.find(separator, begin);
        fields.push_back(text.substr(begin, end == text.npos ? text.npos : end - begin));
        if (end == text.npos) {
            return fields;
        }
        begin = end + 1;
    }
}

class CBatchParser {
public:
    explicit CBatchParser(CommandLine& line) : m_line(line), m_job(line.batch) {}

    // False, with the error in the line, at the first thing wrong.
    bool Parse(const std::vector<std::string>& args) {
        for (size_t i = 0; i < args.size(); ++i) {
            std::string name = args[i];
            std::optional<std::string> value;
            if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != name.npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
            }
            if (name == "--help" && !value) {
                m_line.action = CommandLine::Action::Help;
                return true;
            }
            if (name == "--batch") {
                if (value) {
                    return Fail(res::FormatString(res::IDS_CMD_UNKNOWN_OPTION, {args[i]}));
                }
                continue;
            }
            if (name.size() < 2 || name[0] != '-') {
                return Fail(res::FormatString(res::IDS_CMD_STRAY_ARGUMENT, {name}));
            }
            if (!Takes(name)) {
                return Fail(res::FormatString(res::IDS_CMD_UNKNOWN_OPTION, {name}));
            }
            if (!m_seen.insert(name).second) {
                return Fail(res::FormatString(res::IDS_CMD_TWICE, {name}));
            }
            if (!value) {
                if (i + 1 == args.size()) {
                    return Fail(res::FormatString(res::IDS_CMD_NEEDS_VALUE, {name}));
                }
                value = args[++i];
            }
            if (!Take(name, *value)) {
                return false;
            }
        }
        return Complete();
    }

    // The options of the batch mode that take a value.
    static bool Takes(const std::string& name) {
        static const std::set<std::string> names = {
            "--source",        "--target",        "--project",     "--aspect",
            "--source-frame",  "--target-frame",  "--align",       "--zoom-source",
            "--angle-source",  "--offset-source", "--zoom-target", "--angle-target",
            "--offset-target", "--save-source",   "--save-target", "--export"};
        return names.count(name) != 0;
    }

private:
    bool Fail(std::string error) {
        m_line.action = CommandLine::Action::Fail;
        m_line.error = std::move(error);
        return false;
    }
    bool Refuse(const std::string& name, const std::string& value, const std::string& expected) {
        return Fail(res::FormatString(res::IDS_CMD_BAD_VALUE, {name, value, expected}));
    }

    bool Take(const std::string& name, const std::string& value) {
        const bool source = name.find("source") != name.npos;
        BatchSlot& slot = source ? m_job.source : m_job.target;
        if (value.empty()) {
            return Fail(res::FormatString(res::IDS_CMD_NEEDS_VALUE, {name}));
        }
        if (name == "--project") {
            m_job.project = value;
        } else if (name == "--export") {
            m_job.exportPath = value;
        } else if (name == "--source" || name == "--target") {
            slot.file = value;
        } else if (name.rfind("--save-", 0) == 0) {
            slot.savePath = value;
        } else if (name == "--aspect") {
            return TakeAspect(name, value);
        } else if (name == "--align") {
            return TakeAlign(name, value);
        } else if (name.find("-frame") != name.npos) {
            const int64_t most = std::numeric_limits<int64_t>::max();
            int64_t frame = 0;
            if (!ToInteger(value, frame) || frame < 0) {
                return Refuse(
                    name, value,
                    res::FormatString(res::IDS_CMD_EXPECT_WHOLE, {"0", std::to_string(most)}));
            }
            slot.frame = frame;
        } else if (name.rfind("--zoom-", 0) == 0) {
            double zoom = 0;
            if (!ToDouble(value, zoom) || zoom < PlacementLimits::kMinZoom ||
                zoom > PlacementLimits::kMaxZoom) {
                return Refuse(name, value,
                              res::FormatString(res::IDS_CMD_EXPECT_NUMBER,
                                                {Number(PlacementLimits::kMinZoom),
                                                 Number(PlacementLimits::kMaxZoom)}));
            }
            slot.zoom = zoom;
        } else if (name.rfind("--angle-", 0) == 0) {
            const double most = PlacementLimits::kMaxDegrees;
            double angle = 0;
            if (!ToDouble(value, angle) || std::abs(angle) > most) {
                return Refuse(
                    name, value,
                    res::FormatString(res::IDS_CMD_EXPECT_NUMBER, {Number(-most), Number(most)}));
            }
            slot.angleDegrees = angle;
        } else {
            const int most = PlacementLimits::kMaxOffset;
            const std::vector<std::string_view> xy = Split(value, ',');
            int64_t x = 0;
            int64_t y = 0;
            if (xy.size() != 2 || !ToInteger(xy[0], x) || !ToInteger(xy[1], y) ||
                std::abs(x) > most || std::abs(y) > most) {
                return Refuse(name, value,
                              res::FormatString(res::IDS_CMD_EXPECT_PAIR,
                                                {std::to_string(-most), std::to_string(most)}));
            }
            slot.offset = {int(x), int(y)};
        }
        return true;
    }

    bool TakeAspect(const std::string& name, const std::string& value) {
        const std::vector<std::string_view> terms = Split(value, ':');
        int64_t w = 0;
        int64_t h = 0;
        if (terms.size() != 2 || !ToInteger(terms[0], w) || !ToInteger(terms[1], h) || w < 1 ||
            h < 1 || w > 10000 || h > 10000) {
            return Refuse(name, value, res::LoadString(res::IDS_CMD_EXPECT_RATIO));
        }
        m_job.aspect = {int(w), int(h)};
        return true;
    }

    bool TakeAlign(const std::string& name, const std::string& value) {
        if (value == "scene" || value == "eyes") {
            m_job.align = value == "scene" ? BatchAlign::Scene : BatchAlign::Eyes;
            return true;
        }
        const std::vector<std::string_view> parts = Split(value, ':');
        if (parts.size() == 3 && parts[0] == "points") {
            const std::vector<std::string_view> s = Split(parts[1], ',');
            const std::vector<std::string_view> t = Split(parts[2], ',');
            double v[8];
            bool ok = s.size() == 4 && t.size() == 4;
            for (int i = 0; ok && i < 8; ++i) {
                ok = ToDouble(i < 4 ? s[i] : t[i - 4], v[i]);
            }
            // Marks closer than that fix no direction.
            if (ok && std::hypot(v[2] - v[0], v[3] - v[1]) >= kMinPointDistance &&
                std::hypot(v[6] - v[4], v[7] - v[5]) >= kMinPointDistance) {
                m_job.align = BatchAlign::Points;
                m_job.points = {{{{v[0], v[1]}, {v[2], v[3]}}}, {{{v[4], v[5]}, {v[6], v[7]}}}};
                return true;
            }
        }
        return Refuse(name, value, res::LoadString(res::IDS_CMD_EXPECT_ALIGN));
    }

    // What only the whole line can tell.
    bool Complete() {
        const bool files = !m_job.source.file.empty() || !m_job.target.file.empty();
        const bool bothFiles = !m_job.source.file.empty() && !m_job.target.file.empty();
        if (m_job.project.empty() ? !bothFiles : files) {
            return Fail(res::LoadString(res::IDS_CMD_NEEDS_PICTURES));
        }
        for (const char* slot : {"source", "target"}) {
            const std::string frame = std::string("--") + slot + "-frame";
            if (m_seen.count(frame) && !m_job.project.empty()) {
                return Fail(
                    res::FormatString(res::IDS_CMD_GOES_WITH, {frame, std::string("--") + slot}));
            }
        }
        m_line.action = CommandLine::Action::Batch;
        return true;
    }

    CommandLine& m_line;
    BatchJob& m_job;
    std::set<std::string> m_seen;
};

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.size() == 1 && (args[0] == "--version" || args[0] == "--help")) {
        line.action =
            args[0] == "--version" ? CommandLine::Action::Version : CommandLine::Action::Help;
        return line;
    }
    for (const std::string& arg : args) {
        if (arg == "--") {
            break;
        }
        if (arg == "--batch") {
            CBatchParser(line).Parse(args);
            return line;
        }
    }
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            line.action = CommandLine::Action::Fail;
            const std::string name = arg.substr(0, arg.find('='));
            line.error = CBatchParser::Takes(name)
                             ? res::FormatString(res::IDS_CMD_GOES_WITH, {name, "--batch"})
                             : res::FormatString(res::IDS_CMD_UNKNOWN_OPTION, {arg});
            return line;
        } else {
            line.files.push_back(arg);
        }
    }
    return line;
}

const char* CommandLineUsage() {
    return "Usage: vexel-helper [SOURCE [TARGET] | PROJECT.vpj]\n"
           "       vexel-helper --batch (--source A --target B | --project P.vpj) [OPTION...]\n"
           "       vexel-helper --version | --help\n"
           "Frames a source and a target picture for morphing and exports a Vexel project.\n"
           "SOURCE and TARGET are image or movie files (a movie asks for its frame); a project\n"
           "opens with its pictures and their framing.\n"
           "\n"
           "--batch does the whole job without a window, in this order: open the pictures or\n"
           "the project, set the aspect ratio, place, align, save, export. Saving and export\n"
           "write exactly what the menu commands write.\n"
           "  --source A, --target B   the pictures (image or movie files)\n"
           "  --project P.vpj          a project exported before, in place of both\n"
           "  --source-frame N         the 0-based frame of a movie source (default 0)\n"
           "  --target-frame N         the same for a movie target\n"
           "  --aspect W:H             the crop ratio, whole numbers 1 to 10000 (default 1:1,\n"
           "                           or the project's)\n"
           "  --zoom-source Z          zoom factor (1 fits the crop; 0.0001 to 1000)\n"
           "  --angle-source DEG       angle in degrees\n"
           "  --offset-source X,Y      offset in crop units (the crop is 1024 units wide)\n"
           "  --zoom-target Z, --angle-target DEG, --offset-target X,Y   the same for the target\n"
           "  --align points:SX1,SY1,SX2,SY2:TX1,TY1,TX2,TY2\n"
           "                           place the target so that its two points fall on the\n"
           "                           source's two; pixels of the pictures as loaded, x right,\n"
           "                           y down from the top-left, whole numbers at pixel centres\n"
           "  --align scene            place the target by matching the pictures' content\n"
           "  --align eyes             place the target by the eyes of the faces\n"
           "  --save-source PATH       save the framed source (the extension picks the format)\n"
           "  --save-target PATH       save the framed target\n"
           "  --export PATH.vpj        export the project; both pictures must be saved as they\n"
           "                           are (with --project unchanged, its own saved ones count)\n"
           "Placement options apply before the alignment and replace only what they name.\n"
           "Exit status 0 on success; 1 on any failure, with the message on standard error.\n";
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace vx
