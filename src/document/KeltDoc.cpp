#include "document/KeltDoc.h"

#include "base/MyException.h"
#include "base/Platform.h"
#include "imageio/DibAdapters.h"
#include "imageio/FileProgress.h"
#include "imageio/ImExp.h"
#include "movie/DecodingProbe.h"
#include "picture/CropGeometry.h"
#include "picture/FrameSampler.h"
#include "picture/RowPool.h"
#include "profile/ProfileFile.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace vx {

CKeltDoc::CKeltDoc(IPlatform& ui, IDocumentHost& host)
    : m_nEditMode(res::EDIT_MODE_MOVE), m_ui(ui), m_host(host) {
    RegisterCommands();
}

// Frames point at the pictures: drop them first.
CKeltDoc::~CKeltDoc() {
    m_pSourceFrame.reset();
    m_pTargetFrame.reset();
    m_pOutputFrame.reset();
}

void CKeltDoc::RegisterCommands() {
    using namespace res;
    OnCommand(ID_EDIT_ZOOM, [this] { m_nEditMode = EDIT_MODE_ZOOM; });
    OnCommand(ID_EDIT_MOVE, [this] { m_nEditMode = EDIT_MODE_MOVE; });
    OnCommand(ID_EDIT_ROTATE, [this] { m_nEditMode = EDIT_MODE_ROTATE; });
    OnCommand(ID_EDIT_QUICK, [this] { m_bQuickMode = !m_bQuickMode; });
    OnCommand(ID_EDIT_RESTORE_ALL, [this] { RestoreAll(); });
    OnCommand(ID_VIEW_DIFFERENCE, [this] {
        m_bDifference = !m_bDifference;
        RequestRender(1);
    });
    OnCommand(ID_VIEW_GUIDES, [this] {
        m_bGuides = !m_bGuides;
        RequestRender(1);
    });
    OnCommand(ID_BLEND, [this] {
        m_nBlend = std::clamp(m_host.SliderPosition(), 0, 100);
        RequestRender(1);
    });
    OnCommand(ID_FILE_EXPORT, [this] { OnExportProject(); });
    OnCommand(ID_EDIT_ASPECT, [this] { OnSetAspectRatio(); });
    OnCommand(ID_SOURCE_IMAGE, [this] { OnLoadImage(ESlot::Source); });
    OnCommand(ID_TARGET_IMAGE, [this] { OnLoadImage(ESlot::Target); });
    OnCommand(ID_SOURCE_VIDEO, [this] { OnLoadMovie(ESlot::Source); });
    OnCommand(ID_TARGET_VIDEO, [this] { OnLoadMovie(ESlot::Target); });
    OnCommand(ID_FILE_SAVE_SOURCE, [this] { OnSaveAs(ESlot::Source); });
    OnCommand(ID_FILE_SAVE_TARGET, [this] { OnSaveAs(ESlot::Target); });
    OnCommand(ID_ADD_TWAIN_FILE, [this] { OnAddTwainFile(); });

    OnUpdate(ID_EDIT_ZOOM, [this](CCmdUI& ui) { ui.SetCheck(m_nEditMode == EDIT_MODE_ZOOM); });
    OnUpdate(ID_EDIT_MOVE, [this](CCmdUI& ui) { ui.SetCheck(m_nEditMode == EDIT_MODE_MOVE); });
    OnUpdate(ID_EDIT_ROTATE, [this](CCmdUI& ui) { ui.SetCheck(m_nEditMode == EDIT_MODE_ROTATE); });
    OnUpdate(ID_EDIT_QUICK, [this](CCmdUI& ui) { ui.SetCheck(m_bQuickMode); });
    OnUpdate(ID_VIEW_DIFFERENCE, [this](CCmdUI& ui) { ui.SetCheck(m_bDifference); });
    OnUpdate(ID_VIEW_GUIDES, [this](CCmdUI& ui) { ui.SetCheck(m_bGuides); });
    auto bothLoaded = [this](CCmdUI& ui) { ui.Enable(BothLoaded()); };
    OnUpdate(ID_FILE_SAVE_SOURCE, bothLoaded);
    OnUpdate(ID_FILE_SAVE_TARGET, bothLoaded);
    OnUpdate(ID_EDIT_RESTORE_ALL, bothLoaded);
    OnUpdate(ID_FILE_EXPORT, [this](CCmdUI& ui) { ui.Enable(m_bSourceSaved && m_bTargetSaved); });
}

// ---- Slots ----

void CKeltDoc::ReplaceSlot(ESlot slot, std::unique_ptr<CDibImage> picture) {
    auto& pict = slot == ESlot::Source ? m_pSource : m_pTarget;
    auto& frame = slot == ESlot::Source ? m_pSourceFrame : m_pTargetFrame;
    auto newFrame = std::make_unique<CPictFrame>(picture.get(), m_dAspect);
    frame.reset(); // it points at the old picture
    pict = std::move(picture);
    frame = std::move(newFrame);
    (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = false;
    (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) = false;
}

void CKeltDoc::InstallPicture(ESlot slot, std::unique_ptr<CDibImage> picture) {
    ReplaceSlot(slot, std::move(picture));
    m_host.UpdateAllViews();
    m_pPreview.reset();
    UpdatePreviewViews();
}

void CKeltDoc::RestoreAll() {
    // The frames are fitted again, with the document aspect, rather than only placed.
    std::vector<PlacementEdit> edits;
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        auto& frame = slot == ESlot::Source ? m_pSourceFrame : m_pTargetFrame;
        if (CDibImage* picture = GetPicture(slot)) {
            const FramePlacement before = frame ? frame->Placement() : FramePlacement{};
            frame = std::make_unique<CPictFrame>(picture, m_dAspect);
            edits.push_back({slot, EditKind::Restore, before, frame->Placement()});
        }
    }
    m_host.UpdateAllViews();
    m_pPreview.reset();
    UpdatePreviewViews();
    m_bSourceSaved = false;
    m_bTargetSaved = false;
    m_bSourceEdited = m_bTargetEdited = false; // the fit can be had again by loading
    for (const PlacementEdit& edit : edits) {
        NotifyPlacement(edit);
    }
}

void CKeltDoc::MarkChanged(ESlot slot) {
    RequestRender(slot == ESlot::Source ? 2 : 3);
    (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = false;
    (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) = true;
}

// ---- Placement edits ----

void CKeltDoc::ApplyPlacement(ESlot slot, const FramePlacement& placement, EditKind kind) {
    Apply(slot, placement, kind, 0);
}

void CKeltDoc::Apply(ESlot slot, const FramePlacement& placement, EditKind kind, unsigned gesture) {
    CPictFrame* frame = GetFrame(slot);
    if (!frame) {
        return;
    }
    const FramePlacement before = frame->Placement();
    frame->SetPlacement(placement);
    MarkChanged(slot);
    NotifyPlacement({slot, kind, before, placement, gesture});
}

int CKeltDoc::AddPlacementObserver(PlacementObserver observer) {
    m_placementObservers.emplace_back(++m_nLastObserver, std::move(observer));
    return m_nLastObserver;
}

void CKeltDoc::RemovePlacementObserver(int id) {
    std::erase_if(m_placementObservers, [id](const auto& entry) { return entry.first == id; });
}

void CKeltDoc::NotifyPlacement(const PlacementEdit& edit) {
    // A copy: an observer may add or remove observers.
    const auto observers = m_placementObservers;
    for (const auto& [id, observer] : observers) {
        observer(edit);
    }
}

bool CKeltDoc::BeginDrag(ESlot slot, int x, int y, int W, int H) {
    const CPictFrame* frame = GetFrame(slot);
    if (!m_pPreview || !BothLoaded() || !frame) {
        return false;
    }
    const CPlacementGesture gesture(m_nEditMode, frame->Placement(), OutputToCrop(x, y, W, H));
    m_drag = Drag{slot, gesture, x, y, W, H, ++m_nLastGesture};
    return true;
}

bool CKeltDoc::DragTo(int x, int y, int W, int H) {
    const CPictFrame* frame = m_drag ? GetFrame(m_drag->slot) : nullptr;
    if (!frame) {
        EndDrag();
        return false;
    }
    m_drag->x = x;
    m_drag->y = y;
    m_drag->W = W;
    m_drag->H = H;
    const std::optional<EditKind> kind = EditKindOf(m_nEditMode);
    const std::optional<FramePlacement> placement =
        m_drag->gesture.DragTo(m_nEditMode, OutputToCrop(x, y, W, H), frame->Placement());
    if (kind && placement) {
        Apply(m_drag->slot, *placement, *kind, m_drag->id);
    }
    return true;
}

void CKeltDoc::StepPlacement(ESlot slot, EArrowKey key, bool shift) {
    const CPictFrame* frame = GetFrame(slot);
    const std::optional<EditKind> kind = EditKindOf(m_nEditMode);
    if (!frame || !kind) {
        return;
    }
    const bool coarse = shift || m_drag.has_value();
    const bool ofDrag = m_drag && m_drag->slot == slot;
    Apply(slot, *CPlacementGesture::Step(m_nEditMode, m_dAspect, frame->Placement(), key, coarse),
          *kind, ofDrag ? m_drag->id : 0);
    if (ofDrag && m_drag) { // unless an observer ended it
        // The drag goes on from the new placement at the pointer, without a jump.
        m_drag->gesture =
            CPlacementGesture(m_nEditMode, frame->Placement(),
                              OutputToCrop(m_drag->x, m_drag->y, m_drag->W, m_drag->H));
    }
}

// ---- Geometry ----

CPoint CKeltDoc::OutputToCrop(int x, int y, int W, int H) const {
    return vx::OutputToCrop(x, y, W, H, m_dAspect);
}

CPoint CKeltDoc::CropToOutput(CPoint c, int W, int H) const {
    return vx::CropToOutput(c, W, H, m_dAspect);
}

CRect CKeltDoc::GetCropRect(const CPictFrame& frame, int W, int H) const {
    return vx::GetCropRect(frame, W, H, m_dAspect);
}

CPictFrame* CKeltDoc::GetOutputFrame(int, int) {
    if (!m_pOutputFrame) {
        m_pOutputFrame = std::make_unique<CPictFrame>(m_dAspect);
    }
    return m_pOutputFrame.get();
}

// ---- Renderer ----

void CKeltDoc::CreatePreviewBuffers(int W, int H) {
    W = std::max(W, 0);
    H = std::max(H, 0);
    if (m_pPreview && (m_pPreview->Width() != W || m_pPreview->Height() != H)) {
        m_pPreview.reset();
        m_pSourceRender.reset();
        m_pTargetRender.reset();
        m_pOutputFrame.reset();
    }
    if (!m_pPreview) {
        // All three or none, so that a pass never meets half a set of buffers.
        auto preview = std::make_unique<CDibImage>(W, H);
        auto source = std::make_unique<CDibImage>(W, H);
        auto target = std::make_unique<CDibImage>(W, H);
        m_pPreview = std::move(preview);
        m_pSourceRender = std::move(source);
        m_pTargetRender = std::move(target);
    }
    GetOutputFrame(W, H);
}

void CKeltDoc::RequestRender(int which) {
    const int initial = m_bQuickMode ? 16 : 4;
    if (which == 0 || which == 2) {
        m_nSourceStep = initial;
    }
    if (which == 0 || which == 3) {
        m_nTargetStep = initial;
    }
    RenderPass(which);
}

void CKeltDoc::RenderSlot(const CPictFrame& frame, int step, CDibImage& render) {
    const int W = m_pPreview->Width();
    const int H = m_pPreview->Height();
    const int cols = W / step;
    const int rows = H / step;
    render.Resize(cols, rows);
    CFrameSampler(frame, *frame.picture, W, H, m_dAspect).RenderGrid(step, cols, rows, render);
    render.Resize(W, H);
}

void CKeltDoc::RenderPass(int which) {
    m_bPreviewReady = false;
    m_nLastSelector = which;
    m_ui.KillTimer(kRenderTimerId);
    if (!m_pPreview) {
        return;
    }
    m_pPreview->Clear();
    if (!m_pSource || !m_pTarget) {
        return;
    }
    const int W = m_pPreview->Width();
    const int H = m_pPreview->Height();
    CRect rect = GetCropRect(*GetOutputFrame(W, H), W, H);
    const int dx = 5 * (rect.Width() / 100);
    const int dy = 5 * (rect.Height() / 100);
    rect.left += dx;
    rect.right -= dx;
    rect.top += dy;
    rect.bottom -= dy;

    if (m_nSourceStep >= 2) {
        m_nSourceStep /= 2;
        if (which == 0 || which == 2 || m_nTargetStep >= 2) {
            RenderSlot(*m_pSourceFrame, m_nSourceStep, *m_pSourceRender);
        }
    }
    if (m_nTargetStep >= 2) {
        m_nTargetStep /= 2;
        if (which == 0 || which == 3 || m_nSourceStep >= 2) {
            RenderSlot(*m_pTargetFrame, m_nTargetStep, *m_pTargetRender);
        }
    }

    const std::size_t stride = std::size_t(m_pPreview->Stride());
    const uint8_t* s = m_pSourceRender->Bits();
    const uint8_t* t = m_pTargetRender->Bits();
    uint8_t* p = m_pPreview->Bits();
    const int blend = m_nBlend;
    const bool difference = m_bDifference;
    CRowPool::Shared().Run(H, [&](int begin, int end) {
        for (std::size_t i = begin * stride; i < end * stride; ++i) {
            p[i] = difference ? uint8_t(std::abs(s[i] - t[i]))
                              : uint8_t(s[i] + ((t[i] - s[i]) * blend) / 100);
        }
    });

    auto green = [&](int x, int y) {
        if (x >= 0 && x < W && y >= 0 && y < H) {
            uint8_t* px = m_pPreview->Row(y) + 3 * x;
            px[0] = 0;
            px[1] = 255;
            px[2] = 0;
        }
    };
    for (int x = std::max(rect.left, 0); x < std::min(rect.right, W); ++x) {
        green(x, rect.top);
        green(x, rect.bottom);
    }
    for (int y = std::max(rect.top, 0); y < std::min(rect.bottom, H); ++y) {
        green(rect.left, y);
        green(rect.right, y);
    }
    if (m_bGuides) {
        DrawGuides(rect);
    }

    m_bPreviewReady = true;
    if (m_nSourceStep == 1 && m_nTargetStep == 1) {
        m_ui.KillTimer(kRenderTimerId);
    } else {
        m_ui.SetTimer(kRenderTimerId, kRenderTimerMs, [this] { OnRenderTimer(); });
    }
    UpdatePreviewViews();
}

void CKeltDoc::DrawGuides(const CRect& outline) {
    const int W = m_pPreview->Width();
    const int H = m_pPreview->Height();
    auto magenta = [&](int x, int y) {
        if (x >= 0 && x < W && y >= 0 && y < H) {
            uint8_t* px = m_pPreview->Row(y) + 3 * x;
            px[0] = 255;
            px[1] = 0;
            px[2] = 255;
        }
    };
    const int cx = (outline.left + outline.right) / 2;
    const int cy = (outline.top + outline.bottom) / 2;
    // The horizontal line spans the outline; the cross's upright arm is a tenth of its height.
    for (int x = outline.left + 1; x < outline.right; ++x) {
        magenta(x, cy);
    }
    const int arm = std::max(2, outline.Height() / 20);
    for (int y = cy - arm; y <= cy + arm; ++y) {
        magenta(cx, y);
    }
}

void CKeltDoc::UpdatePreviewViews() {
    auto size = m_host.PreviewViewSize();
    if (!size) {
        return;
    }
    if (!m_pPreview && BothLoaded()) {
        CreatePreviewBuffers(size->width, size->height);
        RequestRender(0);
    } else {
        m_host.RepaintPreviewView();
    }
}

void CKeltDoc::RenderFull(const CPictFrame& frame, CDibImage& out) const {
    const int W = out.Width();
    const int H = out.Height();
    const double A = m_dAspect;
    int cropW, cropH;
    if (W <= A * H) {
        cropW = W;
        cropH = int(A * W);
    } else {
        cropW = int(H / A);
        cropH = H;
    }
    // Never past the output: the crop size can exceed it when out is not of the aspect A.
    CFrameSampler(frame, *frame.picture, cropW, cropH, A)
        .RenderGrid(1, std::min(cropW, W), std::min(cropH, H), out);
}

// ---- Aspect ratio and output size ----

bool CKeltDoc::SetAspectRatio(int width, int height) {
    if (width < 1 || height < 1) {
        return false;
    }
    m_nAspectX = width;
    m_nAspectY = height;
    m_dAspect = double(height) / double(width);
    if (m_pOutputFrame) {
        // A stale output frame would outline a rectangle of the old ratio.
        m_pOutputFrame = std::make_unique<CPictFrame>(m_dAspect);
    }
    if (m_pSourceFrame && m_pTargetFrame) {
        // The offsets keep their place in the picture, scaled to the new crop units.
        const PlacementEdit edits[] = {
            {ESlot::Source, EditKind::Aspect, m_pSourceFrame->Placement(), {}},
            {ESlot::Target, EditKind::Aspect, m_pTargetFrame->Placement(), {}}};
        m_pSourceFrame->SetAspect(m_dAspect);
        m_pTargetFrame->SetAspect(m_dAspect);
        m_pOutputFrame = std::make_unique<CPictFrame>(m_dAspect);
        RenderPass(0);
        for (PlacementEdit edit : edits) {
            edit.after = GetFrame(edit.slot)->Placement();
            NotifyPlacement(edit);
        }
    }
    return true;
}

void CKeltDoc::OnSetAspectRatio() {
    int width = m_nAspectX;
    int height = m_nAspectY;
    if (m_host.RunAspectDialog(width, height)) {
        SetAspectRatio(width, height);
    }
}

OutputSize CKeltDoc::GetOutputSize(ESlot slot) const {
    const CDibImage& pict = slot == ESlot::Source ? *m_pSource : *m_pTarget;
    const CPictFrame& frame = slot == ESlot::Source ? *m_pSourceFrame : *m_pTargetFrame;
    const double z = frame.zoom;
    const double r = m_dAspect;
    const int w = int(pict.Width() * z);
    const int h = int(pict.Height() * z);
    if (w > h * r) {
        return {int(h / r), h};
    }
    return {w, int(w * r)};
}

// ---- Image files ----

void CKeltDoc::OnLoadImage(ESlot slot) {
    m_host.SetMainTitle(res::LoadString(res::IDS_APP_TITLE));
    char path[kPathBufferSize] = "";
    if (!ImExp_SelectFileToRead(m_ui, path)) {
        return;
    }
    try {
        InstallPicture(slot, std::make_unique<CDibImage>(m_ui, path, true));
    } catch (const CMyException& e) {
        e.Report(m_ui);
        // The old picture stays, but export waits until the slot is saved again.
        UpdatePreviewViews();
        (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = false;
    }
}

void CKeltDoc::OnLoadMovie(ESlot slot) {
    m_host.SetMainTitle(res::LoadString(res::IDS_APP_TITLE));
    FileDialogOptions options;
    options.filter = res::LoadString(res::IDS_MOVIE_FILTER);
    // The first entry lists only the oldest kinds; every kind the reader opens comes next.
    options.filter.insert(options.filter.size() - 1,
                          res::FormatString(res::IDS_ALL_MOVIES_FILTER, {MovieFilePatterns()}) +
                              res::LoadString(res::IDS_ALL_FILES_FILTER));
    options.hideReadOnly = true;
    options.promptOverwrite = true;
    const std::optional<FileDialogResult> file = m_ui.FileDialog(options);
    if (!file || file->path.empty()) {
        return;
    }
    std::optional<ChosenFrame> chosen = m_host.RunChooseFrameDialog(file->path);
    if (!chosen) {
        return;
    }
    try {
        std::unique_ptr<CDibImage> picture = std::move(chosen->picture);
        if (!picture) {
            picture = std::make_unique<CDibImage>(file->path, chosen->frame);
        }
        InstallPicture(slot, std::move(picture));
    } catch (const CMyException& e) {
        e.Report(m_ui);
        UpdatePreviewViews();
        (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = false;
    }
}

void CKeltDoc::OnSaveAs(ESlot slot) {
    if (!BothLoaded()) {
        return;
    }
    const OutputSize size = GetOutputSize(slot);
    if (size.width < 1 || size.height < 1) {
        m_ui.MessageBox(res::LoadString(res::IDS_EMPTY_OUTPUT), MsgButtons::Ok,
                        MsgIcon::Exclamation);
        return;
    }
    // Refused before the long render, and so as not to write what could not be read back.
    if (!ImExp_SizeAllowed(size.width, size.height)) {
        char text[512];
        std::snprintf(text, sizeof text, res::LoadString(res::IDS_OUTPUT_TOO_LARGE).c_str(),
                      size.width, size.height);
        m_ui.MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    CDibImage out(size.width, size.height);
    RenderFull(*GetFrame(slot), out);
    char path[kPathBufferSize] = "";
    const std::string proposal =
        ProposedPath(m_strLastSaveFolder, *GetPicture(slot),
                     slot == ESlot::Source ? "-source.png" : "-target.png");
    std::snprintf(path, sizeof path, "%s", proposal.c_str());
    if (!ImExp_SelectFileToWrite(m_ui, kColorModeTrueColor, path)) {
        return;
    }
    m_strLastSaveFolder = std::filesystem::path(path).parent_path().string();
    CFileProgress progress(m_ui, path, false);
    auto writer = MakeWriteSource(out);
    int one = 1;
    if (ImExp_WriteFile(writer.get(), &m_ui, path, &one, &progress, nullptr, 1)) {
        (slot == ESlot::Source ? m_strSourceSaved : m_strTargetSaved) = path;
        (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = true;
        (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) = false;
    } else {
        // Nothing was saved; the earlier file, if any, is untouched.
        CMyException(8).Report(m_ui);
    }
}

bool CKeltDoc::CanClose() {
    if (!BothLoaded() || (!m_bSourceEdited && !m_bTargetEdited)) {
        return true;
    }
    switch (m_ui.MessageBox(res::LoadString(res::IDS_SAVE_EDITS), MsgButtons::YesNoCancel,
                            MsgIcon::Question)) {
    case MsgResult::No:
        return true;
    case MsgResult::Yes:
        for (ESlot slot : {ESlot::Source, ESlot::Target}) {
            if (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) {
                OnSaveAs(slot);
                if (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) {
                    return false; // cancelled or failed: nothing is lost
                }
            }
        }
        return true;
    default:
        return false;
    }
}

void CKeltDoc::OnAddTwainFile() {
    const std::string scanned = m_strTwainFile;
    auto picture = std::make_unique<CDibImage>(m_ui, scanned, true);
    const ESlot slot = m_bScanToSource ? ESlot::Source : ESlot::Target;
    ReplaceSlot(slot, std::move(picture));

    auto writer = MakeWriteSource(*GetPicture(slot));
    CFileProgress progress(m_ui, scanned, true);
    char path[kPathBufferSize] = "";
    int one = 1;
    if (ImExp_SelectFileAndWrite(writer.get(), m_ui, path, &one, &progress, nullptr, 1)) {
        unlink(scanned.c_str());
    } else if (ImExp_LastError() == ImExpError::CantWrite) {
        CMyException(8).Report(m_ui); // the scanner's file stays where it is
    }
    m_host.UpdateAllViews();
    m_pPreview.reset();
    UpdatePreviewViews();
}

// ---- Project export ----

std::string CKeltDoc::ProposedPath(const std::string& folder, const CDibImage& picture,
                                   const char* suffix, const std::string& otherwise) {
    // The picture's own name and folder; a scan's temporary file gives neither.
    const std::filesystem::path original = picture.GetPath();
    const bool named = !original.empty() && original != m_strTwainFile;
    const std::string stem = named                ? original.stem().string()
                             : !otherwise.empty() ? otherwise
                                                  : "picture";
    std::filesystem::path dir = folder;
    if (dir.empty() && named) {
        dir = original.parent_path();
    }
    return dir.empty() ? stem + suffix : (dir / (stem + suffix)).string();
}

void CKeltDoc::OnExportProject() {
    if (!BothLoaded()) {
        return;
    }
    // A line break in a value would split it over lines of the project file.
    for (const auto& [saved, which] : {std::pair{&m_strSourceSaved, res::IDS_SOURCE_WORD},
                                       std::pair{&m_strTargetSaved, res::IDS_TARGET_WORD}}) {
        if (saved->find_first_of("\r\n") != std::string::npos) {
            m_ui.MessageBox(res::FormatString(res::IDS_PATH_LINE_BREAK, {res::LoadString(which)}),
                            MsgButtons::Ok, MsgIcon::Exclamation);
            return;
        }
    }
    FileDialogOptions options;
    options.save = true;
    options.defaultExt = "vpj";
    options.filter = res::LoadString(res::IDS_PROJECT_FILTER);
    options.hideReadOnly = true;
    options.promptOverwrite = true;
    // Beside the saved pictures it names, unless a project went elsewhere before.
    const std::string folder = !m_strLastProjectFolder.empty() ? m_strLastProjectFolder
                               : m_strSourceSaved.empty()
                                   ? m_strLastSaveFolder
                                   : std::filesystem::path(m_strSourceSaved).parent_path().string();
    const std::string savedStem = std::filesystem::path(m_strSourceSaved).stem().string();
    options.initialName = ProposedPath(folder, *m_pSource, ".vpj", savedStem);
    auto chosen = m_ui.FileDialog(options);
    if (!chosen) {
        return;
    }
    m_strLastProjectFolder = std::filesystem::path(chosen->path).parent_path().string();
    const OutputSize s = GetOutputSize(ESlot::Source);
    const OutputSize t = GetOutputSize(ESlot::Target);
    char width[16], height[16];
    std::snprintf(width, sizeof width, "%i", std::max(s.width, t.width));
    std::snprintf(height, sizeof height, "%i", std::max(s.height, t.height));

    // One atomic write of all four values: a failure leaves the old file as it was.
    CProfileFile file;
    bool ok = file.Load(chosen->path);
    // SetString refuses what the file could not read back as written; nothing is saved then.
    ok = ok && file.SetString("Vexelo", "OutputWidth", width) &&
         file.SetString("Vexelo", "OutputHeight", height) &&
         file.SetString("Images", "Source", m_strSourceSaved) &&
         file.SetString("Images", "Target", m_strTargetSaved) && file.Save(chosen->path);
    if (!ok) {
        CMyException(8).Report(m_ui);
    }
}

} // namespace vx
