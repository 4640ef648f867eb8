#include "app/BatchPlatform.h"

#include "base/MyException.h"
#include "movie/MovieReader.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <filesystem>
#include <tuple>

namespace vx {

namespace {

class CSilentProgress : public IProgressDialog {
public:
    void SetProgress(int, int) override {}
    bool Cancelled() override { return false; }
};

} // namespace

void CBatchPlatform::Print(const std::string& text, const std::string& details) {
    ++m_nMessages;
    std::fputs(text.c_str(), m_out);
    if (text.empty() || text.back() != '\n') {
        std::fputc('\n', m_out);
    }
    if (!details.empty()) {
        std::fprintf(m_out, "%s\n", details.c_str());
    }
    std::fflush(m_out);
}

MsgResult CBatchPlatform::MessageBox(const std::string& text, MsgButtons buttons, MsgIcon,
                                     const std::string& details) {
    switch (buttons) {
    case MsgButtons::Ok:
        Print(text, details);
        return MsgResult::Ok;
    case MsgButtons::YesNo:
        return MsgResult::No;
    default:
        return MsgResult::Cancel;
    }
}

std::optional<FileDialogResult> CBatchPlatform::FileDialog(const FileDialogOptions& options) {
    if (!m_nextFile) {
        return std::nullopt;
    }
    FileDialogResult chosen{std::move(*m_nextFile), 0};
    m_nextFile.reset();
    // As the dialog does: a name saved without an extension takes the first filter's.
    if (options.save && !std::filesystem::path(chosen.path).has_extension()) {
        const std::string suffix = options.SuffixFor(0);
        if (!suffix.empty()) {
            chosen.path += "." + suffix;
        }
    }
    return chosen;
}

std::unique_ptr<IProgressDialog> CBatchPlatform::OpenProgressDialog(const std::string&, bool) {
    return std::make_unique<CSilentProgress>();
}

bool CBatchPlatform::RunAspectDialog(int& width, int& height) {
    if (!m_aspect) {
        return false;
    }
    std::tie(width, height) = *m_aspect;
    m_aspect.reset();
    return true;
}

std::optional<ChosenFrame> CBatchPlatform::RunChooseFrameDialog(const std::string& moviePath) {
    const int64_t frame = m_nextFrame;
    m_nextFrame = 0;
    try {
        // The dialog would offer only the frames there are; past the end the picture would be
        // black, which no script means.
        const CMovieReader reader(moviePath);
        if (frame >= reader.GetFrameCount()) {
            Print(res::FormatString(
                      res::IDS_BATCH_NO_SUCH_FRAME,
                      {std::to_string(frame), std::to_string(reader.GetFrameCount() - 1)}),
                  std::filesystem::path(moviePath).filename().string());
            return std::nullopt;
        }
    } catch (const CMyException& e) {
        e.Report(*this);
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        CMyException(
            1, CMyException::FileDetails(moviePath, res::LoadString(res::IDS_REASON_NO_MEMORY)))
            .Report(*this);
        return std::nullopt;
    }
    return ChosenFrame{frame, nullptr};
}

} // namespace vx
