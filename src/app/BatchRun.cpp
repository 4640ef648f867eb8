#include "app/BatchRun.h"

#include "app/BatchPlatform.h"
#include "base/MyException.h"
#include "document/KeltDoc.h"
#include "movie/DecodingProbe.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <filesystem>
#include <numbers>
#include <unistd.h>

namespace vx {

namespace {

const char* SlotWord(ESlot slot) {
    return slot == ESlot::Source ? "source" : "target";
}

class CBatchRun {
public:
    CBatchRun(const BatchJob& job, std::FILE* out) : m_job(job), m_platform(out) {}

    bool Run() {
        return WritableFolders() && Open() && Place() && Align() &&
               Save(ESlot::Source, m_job.source) && Save(ESlot::Target, m_job.target) && Export();
    }

private:
    const BatchSlot& Of(ESlot slot) const {
        return slot == ESlot::Source ? m_job.source : m_job.target;
    }

    // Checked before anything is written, so that a mistyped folder loses nothing.
    bool WritableFolders() {
        for (const std::string* path :
             {&m_job.source.savePath, &m_job.target.savePath, &m_job.exportPath}) {
            if (path->empty()) {
                continue;
            }
            std::filesystem::path folder = std::filesystem::path(AbsolutePath(*path)).parent_path();
            std::error_code error;
            if (!std::filesystem::is_directory(folder, error) ||
                access(folder.c_str(), W_OK | X_OK) != 0) {
                CMyException(
                    8, CMyException::FileDetails(
                           *path, res::FormatString(res::IDS_REASON_NO_FOLDER, {folder.string()})))
                    .Report(m_platform);
                return false;
            }
        }
        return true;
    }

    bool Open() {
        if (!m_job.project.empty()) {
            if (!m_doc.OpenProject(AbsolutePath(m_job.project))) {
                return false;
            }
            SetAspect(); // over the project's own
            return true;
        }
        // Before the pictures, so that each is fitted to the ratio as a load under it fits it.
        SetAspect();
        for (ESlot slot : {ESlot::Source, ESlot::Target}) {
            const BatchSlot& s = Of(slot);
            const std::string path = AbsolutePath(s.file);
            if (IsMovieFileName(path)) {
                m_platform.AnswerFrame(s.frame.value_or(0));
            } else if (s.frame) {
                m_platform.Print(
                    res::FormatString(res::IDS_BATCH_NOT_A_MOVIE,
                                      {s.file, std::string("--") + SlotWord(slot) + "-frame"}));
                return false;
            }
            m_doc.LoadFile(slot, path);
            if (!m_doc.GetPicture(slot)) {
                return false; // reported by the load
            }
        }
        return true;
    }

    void SetAspect() {
        if (m_job.aspect) {
            m_platform.AnswerAspect(m_job.aspect->first, m_job.aspect->second);
            m_doc.OnSetAspectRatio();
        }
    }

    bool Place() {
        for (ESlot slot : {ESlot::Source, ESlot::Target}) {
            const BatchSlot& s = Of(slot);
            if (!s.zoom && !s.angleDegrees && !s.offset) {
                continue;
            }
            FramePlacement placement = m_doc.GetFrame(slot)->Placement();
            if (s.zoom) {
                placement.zoom = *s.zoom;
            }
            if (s.angleDegrees) {
                placement.angle = *s.angleDegrees * std::numbers::pi / 180;
            }
            if (s.offset) {
                placement.offset = {s.offset->first, s.offset->second};
            }
            m_doc.ApplyPlacement(slot, placement, EditKind::Placement);
        }
        return true;
    }

    bool PointsInside(ESlot slot, const std::array<PicturePoint, 2>& points) {
        const CDibImage& picture = *m_doc.GetPicture(slot);
        for (const PicturePoint& p : points) {
            if (p.x < -0.5 || p.y < -0.5 || p.x > picture.Width() - 0.5 ||
                p.y > picture.Height() - 0.5) {
                char x[32], y[32];
                std::snprintf(x, sizeof x, "%g", p.x);
                std::snprintf(y, sizeof y, "%g", p.y);
                m_platform.Print(
                    res::FormatString(res::IDS_BATCH_POINT_OUTSIDE,
                                      {x, y, SlotWord(slot), std::to_string(picture.Width()),
                                       std::to_string(picture.Height())}));
                return false;
            }
        }
        return true;
    }

    bool Align() {
        const int messages = m_platform.Messages();
        bool aligned = true;
        switch (m_job.align) {
        case BatchAlign::None:
            return true;
        case BatchAlign::Points:
            if (!PointsInside(ESlot::Source, m_job.points.source) ||
                !PointsInside(ESlot::Target, m_job.points.target)) {
                return false;
            }
            if (!m_doc.AlignTarget(m_job.points)) {
                m_platform.Print(res::LoadString(res::IDS_BATCH_NO_ALIGNMENT));
                return false;
            }
            return true;
        case BatchAlign::Scene:
            aligned = m_doc.AlignTargetToSource();
            break;
        case BatchAlign::Eyes:
            aligned = m_doc.AlignEyes();
            break;
        }
        // Each says why it did not align; a silent refusal must not pass for success either.
        if (!aligned && m_platform.Messages() == messages) {
            m_platform.Print(res::LoadString(res::IDS_COMMAND_FAILED));
        }
        return aligned;
    }

    bool Save(ESlot slot, const BatchSlot& s) {
        if (s.savePath.empty()) {
            return true;
        }
        m_platform.AnswerFile(AbsolutePath(s.savePath));
        return m_doc.OnSaveAs(slot);
    }

    bool Export() {
        if (m_job.exportPath.empty()) {
            return true;
        }
        // The menu command is disabled until then.
        if (!m_doc.m_bSourceSaved || !m_doc.m_bTargetSaved) {
            m_platform.Print(res::LoadString(res::IDS_BATCH_EXPORT_UNSAVED));
            return false;
        }
        m_platform.AnswerFile(AbsolutePath(m_job.exportPath));
        return m_doc.OnExportProject();
    }

    const BatchJob& m_job;
    CBatchPlatform m_platform;
    CKeltDoc m_doc{m_platform, m_platform};
};

} // namespace

int RunBatch(const BatchJob& job, std::FILE* out) {
    try {
        return CBatchRun(job, out).Run() ? 0 : 1;
    } catch (const CMyException& e) {
        // What a command lets leave it, as the window's command layer would report it.
        CBatchPlatform(out).Print(e.Message(), e.Details());
    } catch (const std::bad_alloc&) {
        CBatchPlatform(out).Print(CMyException(3).Message());
    } catch (const std::exception&) {
        CBatchPlatform(out).Print(res::LoadString(res::IDS_COMMAND_FAILED));
    }
    return 1;
}

} // namespace vx
