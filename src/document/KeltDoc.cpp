#include "document/KeltDoc.h"

#include "align/EyeFinder.h"
#include "align/SceneAlignment.h"
#include "base/MyException.h"
#include "base/Platform.h"
#include "imageio/DibAdapters.h"
#include "imageio/FileProgress.h"
#include "imageio/ImExp.h"
#include "movie/DecodingProbe.h"
#include "picture/CropGeometry.h"
#include "picture/FrameSampler.h"
#include "picture/PointAlignment.h"
#include "picture/RowKernels.h"
#include "picture/RowPool.h"
#include "profile/ProfileFile.h"
#include "profile/RecentFiles.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <numbers>
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
    OnCommand(ID_EDIT_UNDO, [this] { Undo(); });
    OnCommand(ID_EDIT_REDO, [this] { Redo(); });
    OnCommand(ID_EDIT_SWAP, [this] { SwapSlots(); });
    OnCommand(ID_EDIT_RESTORE_SOURCE, [this] { RestoreSlot(ESlot::Source); });
    OnCommand(ID_EDIT_RESTORE_TARGET, [this] { RestoreSlot(ESlot::Target); });
    OnCommand(ID_FILE_OPEN_PROJECT, [this] { OnOpenProject(); });
    OnCommand(ID_OPEN_FILES, [this] { OpenFiles(m_slotToOpen, std::exchange(m_filesToOpen, {})); });
    OnCommandRange(ID_RECENT_PROJECT_FIRST, ID_RECENT_PROJECT_LAST,
                   [this](unsigned id) { OnRecentProject(id - ID_RECENT_PROJECT_FIRST); });
    OnCommandRange(ID_RECENT_SOURCE_FIRST, ID_RECENT_SOURCE_LAST, [this](unsigned id) {
        OnRecentPicture(ESlot::Source, id - ID_RECENT_SOURCE_FIRST);
    });
    OnCommandRange(ID_RECENT_TARGET_FIRST, ID_RECENT_TARGET_LAST, [this](unsigned id) {
        OnRecentPicture(ESlot::Target, id - ID_RECENT_TARGET_FIRST);
    });

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
    OnUpdate(ID_EDIT_UNDO, [this](CCmdUI& ui) {
        const EditStep* step = m_history.NextUndo();
        ui.Enable(step != nullptr);
        ui.SetText(step ? FormatString(IDS_UNDO_NAMED, {StepName(*step)}) : LoadString(IDS_UNDO));
    });
    OnUpdate(ID_EDIT_REDO, [this](CCmdUI& ui) {
        const EditStep* step = m_history.NextRedo();
        ui.Enable(step != nullptr);
        ui.SetText(step ? FormatString(IDS_REDO_NAMED, {StepName(*step)}) : LoadString(IDS_REDO));
    });
    OnCommand(ID_ALIGN_POINTS, [this] { OnAlignByPoints(); });
    OnCommand(ID_ALIGN_SCENE, [this] { AlignTargetToSource(); });
    OnCommand(ID_ALIGN_EYES, [this] { AlignEyes(); });
    OnCommand(ID_ALIGN_CLEAR_POINTS, [this] { ClearMarkers(); });
    OnUpdate(ID_ALIGN_POINTS, [this](CCmdUI& ui) {
        ui.Enable(BothLoaded());
        ui.SetCheck(Marking());
    });
    OnUpdate(ID_ALIGN_SCENE, bothLoaded);
    OnUpdate(ID_ALIGN_EYES, bothLoaded);
    OnUpdate(ID_ALIGN_CLEAR_POINTS, [this](CCmdUI& ui) { ui.Enable(AnyMarker()); });
    OnUpdate(ID_EDIT_SWAP, [this](CCmdUI& ui) { ui.Enable(m_pSource || m_pTarget); });
    OnUpdate(ID_EDIT_RESTORE_SOURCE, [this](CCmdUI& ui) { ui.Enable(m_pSource != nullptr); });
    OnUpdate(ID_EDIT_RESTORE_TARGET, [this](CCmdUI& ui) { ui.Enable(m_pTarget != nullptr); });
}

// ---- Slots ----

void CKeltDoc::ReplaceSlot(ESlot slot, std::unique_ptr<CDibImage> picture) {
    WaitForSaveRender();
    auto& pict = slot == ESlot::Source ? m_pSource : m_pTarget;
    auto& frame = slot == ESlot::Source ? m_pSourceFrame : m_pTargetFrame;
    auto newFrame = std::make_unique<CPictFrame>(picture.get(), m_dAspect);
    EditStep step;
    step.load = true;
    SlotState before = Snapshot(slot);
    frame.reset(); // it points at the old picture
    step.picture = std::move(pict);
    pict = std::move(picture);
    for (auto& marker : m_markers[int(slot)]) {
        marker.reset();
    }
    frame = std::move(newFrame);
    (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = false;
    (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) = false;
    EndDrag();
    NewVersion(slot);
    step.changes.push_back({slot, std::move(before), Snapshot(slot)});
    m_history.Record(std::move(step));
}

SlotState CKeltDoc::Snapshot(ESlot slot) {
    const CPictFrame* frame = GetFrame(slot);
    return {frame ? std::optional<CPictFrame>(*frame) : std::nullopt, m_nVersion[int(slot)]};
}

void CKeltDoc::RefreshAll() {
    m_host.UpdateAllViews();
    m_pPreview.reset();
    UpdatePreviewViews();
}

void CKeltDoc::InstallPicture(ESlot slot, std::unique_ptr<CDibImage> picture) {
    ReplaceSlot(slot, std::move(picture));
    RefreshAll();
}

void CKeltDoc::RestoreAll() {
    Restore({ESlot::Source, ESlot::Target});
}

void CKeltDoc::RestoreSlot(ESlot slot) {
    Restore({slot});
}

void CKeltDoc::Restore(std::initializer_list<ESlot> which) {
    // The frames are fitted again, with the document aspect, rather than only placed.
    std::vector<PlacementEdit> edits;
    EditStep step;
    step.kind = EditKind::Restore;
    EndDrag();
    for (ESlot slot : which) {
        auto& frame = slot == ESlot::Source ? m_pSourceFrame : m_pTargetFrame;
        if (CDibImage* picture = GetPicture(slot)) {
            SlotState before = Snapshot(slot);
            frame = std::make_unique<CPictFrame>(picture, m_dAspect);
            edits.push_back(
                {slot, EditKind::Restore, before.frame->Placement(), frame->Placement()});
            NewVersion(slot);
            step.changes.push_back({slot, std::move(before), Snapshot(slot)});
        }
        (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = false;
        // The fit can be had again by loading.
        (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) = false;
    }
    if (!step.changes.empty()) {
        m_history.Record(std::move(step));
    }
    RefreshAll();
    for (const PlacementEdit& edit : edits) {
        NotifyPlacement(edit);
    }
}

void CKeltDoc::ExchangeSlots() {
    std::swap(m_pSource, m_pTarget);
    std::swap(m_pSourceFrame, m_pTargetFrame);
    std::swap(m_bSourceSaved, m_bTargetSaved);
    std::swap(m_bSourceEdited, m_bTargetEdited);
    std::swap(m_strSourceSaved, m_strTargetSaved);
    std::swap(m_nVersion[0], m_nVersion[1]);
    std::swap(m_nSavedVersion[0], m_nSavedVersion[1]);
    std::swap(m_markers[0], m_markers[1]);
}

void CKeltDoc::SwapSlots() {
    if (!m_pSource && !m_pTarget) {
        return;
    }
    EndDrag();
    m_keyRun.reset();
    ExchangeSlots();
    EditStep step;
    step.kind = EditKind::Swap;
    step.swap = true;
    m_history.Record(std::move(step));
    RefreshAll();
    NotifySwap();
}

void CKeltDoc::NotifySwap() {
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const CPictFrame* now = GetFrame(slot);
        const CPictFrame* was = GetFrame(slot == ESlot::Source ? ESlot::Target : ESlot::Source);
        if (now || was) {
            NotifyPlacement({slot, EditKind::Swap, was ? was->Placement() : FramePlacement{},
                             now ? now->Placement() : FramePlacement{}});
        }
    }
}

// ---- Undo and redo ----

void CKeltDoc::Undo() {
    if (EditStep* step = m_history.Undo()) {
        ApplyStep(*step, true);
    }
}

void CKeltDoc::Redo() {
    if (EditStep* step = m_history.Redo()) {
        ApplyStep(*step, false);
    }
}

void CKeltDoc::AbandonGesture(unsigned gesture) {
    const EditStep* top = m_history.NextUndo();
    if (gesture != 0 && top && top->gesture == gesture) {
        Undo();
        m_history.DropRedo();
    }
}

void CKeltDoc::ApplyStep(EditStep& step, bool undo) {
    EndDrag();
    m_keyRun.reset();
    std::vector<PlacementEdit> edits;
    if (step.swap) {
        ExchangeSlots();
    }
    if (const auto& terms = undo ? step.aspectBefore : step.aspectAfter) {
        m_nAspectX = terms->first;
        m_nAspectY = terms->second;
        m_dAspect = double(m_nAspectY) / double(m_nAspectX);
        if (m_pOutputFrame) {
            m_pOutputFrame = std::make_unique<CPictFrame>(m_dAspect);
        }
    }
    if (step.load) {
        WaitForSaveRender();
        auto& pict = step.changes.front().slot == ESlot::Source ? m_pSource : m_pTarget;
        (step.changes.front().slot == ESlot::Source ? m_pSourceFrame : m_pTargetFrame).reset();
        std::swap(pict, step.picture);
        for (auto& marker : m_markers[int(step.changes.front().slot)]) {
            marker.reset(); // they were on the other picture
        }
    }
    for (const SlotChange& change : step.changes) {
        const SlotState& from = undo ? change.after : change.before;
        const SlotState& to = undo ? change.before : change.after;
        auto& frame = change.slot == ESlot::Source ? m_pSourceFrame : m_pTargetFrame;
        frame = to.frame ? std::make_unique<CPictFrame>(*to.frame) : nullptr;
        m_nVersion[int(change.slot)] = to.version;
        if (from.frame && to.frame) {
            edits.push_back(
                {change.slot, EditKind::Undo, from.frame->Placement(), to.frame->Placement()});
        }
    }
    // Saved again when back at what was saved; edited unless that or the fit.
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const int i = int(slot);
        const CPictFrame* frame = GetFrame(slot);
        const bool saved = frame && m_nSavedVersion[i] != 0 && m_nVersion[i] == m_nSavedVersion[i];
        (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = saved;
        (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) =
            frame && !saved && frame->Placement() != FramePlacement{};
    }
    m_history.Trim(); // a load step now holds the other picture
    RefreshAll();
    if (step.swap) {
        NotifySwap();
    }
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

void CKeltDoc::ApplyPlacement(ESlot slot, const FramePlacement& placement, EditKind kind,
                              unsigned gesture) {
    Apply(slot, placement, kind, gesture);
}

void CKeltDoc::Apply(ESlot slot, const FramePlacement& placement, EditKind kind, unsigned gesture) {
    CPictFrame* frame = GetFrame(slot);
    if (!frame) {
        return;
    }
    SlotState before = Snapshot(slot);
    frame->SetPlacement(placement);
    MarkChanged(slot);
    NewVersion(slot);
    EditStep step;
    step.kind = kind;
    step.gesture = gesture;
    const FramePlacement was = before.frame->Placement();
    step.changes.push_back({slot, std::move(before), Snapshot(slot)});
    m_history.Record(std::move(step));
    NotifyPlacement({slot, kind, was, placement, gesture});
}

bool CKeltDoc::AlignTarget(const PointPairs& points) {
    if (!BothLoaded()) {
        return false;
    }
    const std::optional<FramePlacement> placement =
        AlignByPoints(*m_pSourceFrame, m_pSource->Width(), m_pSource->Height(), *m_pTargetFrame,
                      m_pTarget->Width(), m_pTarget->Height(), points);
    if (!placement) {
        return false;
    }
    EndDrag();
    ApplyPlacement(ESlot::Target, *placement, EditKind::Align, NewGesture());
    return true;
}

bool CKeltDoc::AlignTargetToSource() {
    if (!BothLoaded()) {
        return false;
    }
    EAlignFailure failure = EAlignFailure::None;
    std::optional<PointPairs> pairs;
    {
        auto progress =
            m_ui.OpenProgressDialog(res::LoadString(res::IDS_ALIGN_SCENE_PROGRESS), true);
        pairs = FindSceneAlignment(*m_pSource, *m_pTarget, progress.get(), &failure);
    }
    if (failure == EAlignFailure::Cancelled) {
        return false;
    }
    if (!pairs || !AlignTarget(*pairs)) {
        m_ui.MessageBox(res::LoadString(res::IDS_ALIGN_TOO_FEW_MATCHES), MsgButtons::Ok,
                        MsgIcon::Exclamation);
        return false;
    }
    for (int i = 0; i < kMarkerCount; ++i) {
        m_markers[int(ESlot::Source)][i] = pairs->source[i];
        m_markers[int(ESlot::Target)][i] = pairs->target[i];
    }
    m_bMarking = false;
    RepaintMarkers();
    return true;
}

bool CKeltDoc::AlignEyes() {
    if (!BothLoaded()) {
        return false;
    }
    // Both searched before anything changes, so that a cancel leaves all as it was.
    std::optional<std::array<PicturePoint, 2>> eyes[2];
    EAlignFailure failures[2] = {EAlignFailure::None, EAlignFailure::None};
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const int i = int(slot);
        const std::string& word =
            res::LoadString(slot == ESlot::Source ? res::IDS_SOURCE_WORD : res::IDS_TARGET_WORD);
        auto progress =
            m_ui.OpenProgressDialog(res::FormatString(res::IDS_ALIGN_EYES_PROGRESS, {word}), true);
        eyes[i] = FindEyes(*GetPicture(slot), progress.get(), &failures[i]);
        if (failures[i] == EAlignFailure::Cancelled) {
            return false;
        }
    }
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const int i = int(slot);
        // Where no eyes were found the user places both points anew.
        m_markers[i][0] = eyes[i] ? std::optional((*eyes[i])[0]) : std::nullopt;
        m_markers[i][1] = eyes[i] ? std::optional((*eyes[i])[1]) : std::nullopt;
    }
    m_bMarking = false;
    RepaintMarkers();
    if (eyes[0] && eyes[1]) {
        return AlignOnMarkers();
    }
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        if (!eyes[int(slot)]) {
            const std::string& word = res::LoadString(slot == ESlot::Source ? res::IDS_SOURCE_WORD
                                                                            : res::IDS_TARGET_WORD);
            const unsigned text = failures[int(slot)] == EAlignFailure::NoEyes
                                      ? res::IDS_ALIGN_NO_EYES
                                      : res::IDS_ALIGN_NO_FACE;
            m_ui.MessageBox(res::FormatString(text, {word}), MsgButtons::Ok, MsgIcon::Information);
        }
    }
    m_bMarking = true;
    RepaintMarkers();
    return false;
}

// ---- Markers ----

void CKeltDoc::SetMarker(ESlot slot, int index, std::optional<PicturePoint> point) {
    if (index < 0 || index >= kMarkerCount || (point && !GetPicture(slot))) {
        return;
    }
    m_markers[int(slot)][index] = point;
    RepaintMarkers();
}

void CKeltDoc::ClearMarkers() {
    for (auto& slot : m_markers) {
        for (auto& marker : slot) {
            marker.reset();
        }
    }
    RepaintMarkers();
}

bool CKeltDoc::AnyMarker() const {
    for (const auto& slot : m_markers) {
        for (const auto& marker : slot) {
            if (marker) {
                return true;
            }
        }
    }
    return false;
}

std::optional<PointPairs> CKeltDoc::MarkedPoints() const {
    if (NextMarker()) {
        return std::nullopt;
    }
    PointPairs points;
    for (int i = 0; i < kMarkerCount; ++i) {
        points.source[i] = *m_markers[int(ESlot::Source)][i];
        points.target[i] = *m_markers[int(ESlot::Target)][i];
    }
    return points;
}

std::optional<CKeltDoc::MarkerId> CKeltDoc::NextMarker(std::optional<ESlot> slot) const {
    for (ESlot s : {ESlot::Source, ESlot::Target}) {
        for (int i = 0; i < kMarkerCount; ++i) {
            if ((!slot || *slot == s) && !m_markers[int(s)][i]) {
                return MarkerId{s, i};
            }
        }
    }
    return std::nullopt;
}

std::string CKeltDoc::MarkingPrompt() const {
    const std::optional<MarkerId> next = Marking() ? NextMarker() : std::nullopt;
    if (!next) {
        return {};
    }
    return res::FormatString(res::IDS_MARK_PROMPT,
                             {std::to_string(next->index + 1),
                              res::LoadString(next->slot == ESlot::Source ? res::IDS_SOURCE_CAPS
                                                                          : res::IDS_TARGET_CAPS)});
}

void CKeltDoc::OnAlignByPoints() {
    if (!BothLoaded()) {
        return;
    }
    if (MarkedPoints()) {
        m_bMarking = false;
        AlignOnMarkers();
    } else {
        m_bMarking = !m_bMarking;
    }
    RepaintMarkers();
}

void CKeltDoc::EndMarkerPlacement() {
    if (Marking() && MarkedPoints()) {
        m_bMarking = false;
        RepaintMarkers();
        AlignOnMarkers();
    }
}

bool CKeltDoc::AlignOnMarkers() {
    const std::optional<PointPairs> points = MarkedPoints();
    if (!points) {
        return false;
    }
    if (AlignTarget(*points)) {
        return true;
    }
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const auto& pair = slot == ESlot::Source ? points->source : points->target;
        if (PointsTooClose(pair[0], pair[1])) {
            const std::string& word = res::LoadString(slot == ESlot::Source ? res::IDS_SOURCE_WORD
                                                                            : res::IDS_TARGET_WORD);
            m_ui.MessageBox(res::FormatString(res::IDS_POINTS_TOO_CLOSE, {word}), MsgButtons::Ok,
                            MsgIcon::Exclamation);
            return false;
        }
    }
    m_ui.MessageBox(res::LoadString(res::IDS_POINTS_NO_PLACEMENT), MsgButtons::Ok,
                    MsgIcon::Exclamation);
    return false;
}

void CKeltDoc::RepaintMarkers() {
    m_host.UpdateAllViews();
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

bool CKeltDoc::DragTo(int x, int y, int W, int H, bool snap) {
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
    std::optional<FramePlacement> placement =
        m_drag->gesture.DragTo(m_nEditMode, OutputToCrop(x, y, W, H), frame->Placement());
    if (placement && snap && kind == EditKind::Rotate) {
        placement->angle = SnapToDegree(placement->angle);
    }
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
    unsigned gesture = ofDrag ? m_drag->id : 0;
    if (!ofDrag) {
        const auto now = m_clock();
        if (!m_keyRun || m_keyRun->slot != slot || m_keyRun->kind != *kind ||
            now - m_keyRun->at >= kKeyRun) {
            m_keyRun = KeyRun{slot, *kind, now, NewGesture()};
        }
        m_keyRun->at = now;
        gesture = m_keyRun->id;
    }
    Apply(slot, *CPlacementGesture::Step(m_nEditMode, m_dAspect, frame->Placement(), key, coarse),
          *kind, gesture);
    if (ofDrag && m_drag) { // unless an observer ended it
        // The drag goes on from the new placement at the pointer, without a jump.
        m_drag->gesture =
            CPlacementGesture(m_nEditMode, frame->Placement(),
                              OutputToCrop(m_drag->x, m_drag->y, m_drag->W, m_drag->H));
    }
}

std::string CKeltDoc::PlacementReadout(ESlot slot) {
    const CPictFrame* frame = GetFrame(slot);
    const std::string name =
        res::LoadString(slot == ESlot::Source ? res::IDS_SLOT_SOURCE : res::IDS_SLOT_TARGET);
    if (!frame) {
        return name;
    }
    char zoom[64], angle[64], x[16], y[16];
    std::snprintf(zoom, sizeof zoom, "%.2f", frame->zoom * 100);
    std::snprintf(angle, sizeof angle, "%.2f", frame->angle * 180 / std::numbers::pi);
    std::snprintf(x, sizeof x, "%d", frame->offset.x);
    std::snprintf(y, sizeof y, "%d", frame->offset.y);
    return res::FormatString(res::IDS_PLACEMENT_READOUT, {name, zoom, angle, x, y});
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
        m_pSourceGrid.reset();
        m_pTargetGrid.reset();
        m_blendMemo.grid = -1;
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

void CKeltDoc::RenderSlot(const CPictFrame& frame, int step, CDibImage& render,
                          std::unique_ptr<CDibImage>& grid) {
    const int W = m_pPreview->Width();
    const int H = m_pPreview->Height();
    const CFrameSampler sampler(frame, *frame.picture, W, H, m_dAspect);
    ++m_nRenderVersion[&render == m_pSourceRender.get() ? 0 : 1];
    if (step == 1) {
        sampler.RenderGrid(1, W, H, render);
        grid.reset();
        return;
    }
    // Sampling overwrites the whole grid, so one of the same size is reused as it is.
    const int cols = W / step;
    const int rows = H / step;
    if (!grid || grid->Width() != cols || grid->Height() != rows) {
        grid = std::make_unique<CDibImage>(cols, rows);
    }
    sampler.RenderGrid(step, cols, rows, *grid);
}

const CDibImage& CKeltDoc::SlotRender(ESlot slot) {
    const bool source = slot == ESlot::Source;
    CDibImage& render = source ? *m_pSourceRender : *m_pTargetRender;
    std::unique_ptr<CDibImage>& grid = source ? m_pSourceGrid : m_pTargetGrid;
    if (grid) {
        render.ResizeFrom(*grid);
        grid.reset();
    }
    return render;
}

// The blend of both renders into the Preview. A render that is still a coarse grid is enlarged a
// row at a time into a buffer that stays in the cache, so the full-size render is neither written
// nor read back, and only across the columns where the grid is not black.
void CKeltDoc::BlendIntoPreview(const CRect& outline) {
    const int W = m_pPreview->Width();
    const int H = m_pPreview->Height();
    const int blend = m_nBlend;
    const bool difference = m_bDifference;
    if (!m_pSourceGrid && !m_pTargetGrid) {
        m_blendMemo.grid = -1;
        const std::size_t stride = std::size_t(m_pPreview->Stride());
        const uint8_t* s = m_pSourceRender->Bits();
        const uint8_t* t = m_pTargetRender->Bits();
        uint8_t* p = m_pPreview->Bits();
        // Every byte of the preview, padding included: no need to blacken it first.
        CRowPool::Shared().Run(H, [&](int begin, int end) {
            const std::size_t at = begin * stride;
            BlendBytes(s + at, t + at, p + at, (end - begin) * stride, blend, difference);
        });
        return;
    }
    // A drag's steady state: the moved slot a grid, the other finished and unchanged since the
    // last pass. Where the grid was black then and is black now, the Preview already holds the
    // other render blended with black, outline and guides included.
    BlendMemo memo;
    memo.grid = !m_pTargetGrid ? 0 : !m_pSourceGrid ? 1 : -1;
    if (memo.grid >= 0) {
        memo.otherVersion = m_nRenderVersion[1 - memo.grid];
        memo.blend = blend;
        memo.difference = difference;
        memo.guides = m_bGuides;
        memo.outline = outline;
    }
    const bool reuse = memo.grid >= 0 && memo.SameAs(m_blendMemo) &&
                       m_blendSpans.size() == std::size_t(std::max(H, 0));
    m_blendSpans.resize(std::size_t(std::max(H, 0)));

    // An empty grid enlarges to black; the padding of the preview is black from its creation.
    const std::size_t n = std::size_t(3) * W;
    std::optional<CResampledRows> rowsOf[2];
    const CDibImage* grids[2] = {m_pSourceGrid.get(), m_pTargetGrid.get()};
    const CDibImage* renders[2] = {m_pSourceRender.get(), m_pTargetRender.get()};
    for (int slot : {0, 1}) {
        if (grids[slot] && grids[slot]->Width() > 0 && grids[slot]->Height() > 0) {
            rowsOf[slot].emplace(*grids[slot], W, H);
        }
    }
    CRowPool::Shared().Run(H, [&](int begin, int end) {
        std::optional<CResampledRows::Cursor> cursors[2];
        std::vector<uint8_t> buffers[2];
        for (int slot : {0, 1}) {
            if (grids[slot]) {
                buffers[slot].assign(n, 0);
                if (rowsOf[slot]) {
                    cursors[slot].emplace(*rowsOf[slot]);
                }
            }
        }
        for (int j = begin; j < end; ++j) {
            int from = 0, to = W;
            if (memo.grid >= 0) {
                CResampledRows::Span& kept = m_blendSpans[std::size_t(j)];
                const CResampledRows::Span now =
                    rowsOf[memo.grid] ? rowsOf[memo.grid]->NonBlack(j) : CResampledRows::Span{0, 0};
                if (reuse) {
                    const bool wasBlack = kept.begin >= kept.end;
                    const bool isBlack = now.begin >= now.end;
                    from = wasBlack  ? now.begin
                           : isBlack ? kept.begin
                                     : std::min(kept.begin, now.begin);
                    to = wasBlack ? now.end : isBlack ? kept.end : std::max(kept.end, now.end);
                }
                kept = now;
                if (from >= to) {
                    continue;
                }
            }
            const uint8_t* rows[2];
            for (int slot : {0, 1}) {
                if (!grids[slot]) {
                    rows[slot] = renders[slot]->Row(j);
                } else {
                    if (cursors[slot]) {
                        cursors[slot]->Read(j, buffers[slot].data(), from, to);
                    }
                    rows[slot] = buffers[slot].data();
                }
            }
            const std::size_t at = std::size_t(3) * from;
            BlendBytes(rows[0] + at, rows[1] + at, m_pPreview->Row(j) + at,
                       std::size_t(3) * (to - from), blend, difference);
        }
    });
    m_blendMemo = memo;
}

void CKeltDoc::RenderPass(int which) {
    m_bPreviewReady = false;
    m_nLastSelector = which;
    m_ui.KillTimer(kRenderTimerId);
    if (!m_pPreview) {
        return;
    }
    if (!m_pSource || !m_pTarget) {
        m_pPreview->Clear();
        m_blendMemo.grid = -1;
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
            RenderSlot(*m_pSourceFrame, m_nSourceStep, *m_pSourceRender, m_pSourceGrid);
        }
    }
    if (m_nTargetStep >= 2) {
        m_nTargetStep /= 2;
        if (which == 0 || which == 3 || m_nSourceStep >= 2) {
            RenderSlot(*m_pTargetFrame, m_nTargetStep, *m_pTargetRender, m_pTargetGrid);
        }
    }

    BlendIntoPreview(rect);

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

void CKeltDoc::RenderFramed(const CPictFrame& frame, double aspect, CDibImage& out) {
    const int W = out.Width();
    const int H = out.Height();
    const double A = aspect;
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
    const bool same = width == m_nAspectX && height == m_nAspectY;
    EditStep step;
    step.kind = EditKind::Aspect;
    step.aspectBefore = {m_nAspectX, m_nAspectY};
    step.aspectAfter = {width, height};
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
        SlotState before[2] = {Snapshot(ESlot::Source), Snapshot(ESlot::Target)};
        m_pSourceFrame->SetAspect(m_dAspect);
        m_pTargetFrame->SetAspect(m_dAspect);
        m_pOutputFrame = std::make_unique<CPictFrame>(m_dAspect);
        // The version stays: the saved flags outlive an aspect change.
        step.changes.push_back({ESlot::Source, std::move(before[0]), Snapshot(ESlot::Source)});
        step.changes.push_back({ESlot::Target, std::move(before[1]), Snapshot(ESlot::Target)});
        EndDrag();
        if (!same) {
            m_history.Record(std::move(step));
        }
        RenderPass(0);
        for (PlacementEdit edit : edits) {
            edit.after = GetFrame(edit.slot)->Placement();
            NotifyPlacement(edit);
        }
    } else if (!same) {
        m_history.Record(std::move(step));
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
    if (ImExp_SelectFileToRead(m_ui, path)) {
        LoadImageFile(slot, path);
    }
}

void CKeltDoc::LoadImageFile(ESlot slot, const std::string& path) {
    try {
        auto picture = std::make_unique<CDibImage>(m_ui, path, true);
        const std::string read = picture->GetPath(); // the one Locate found, maybe
        InstallPicture(slot, std::move(picture));
        Remember(m_pRecentPictures, read);
    } catch (const CMyException& e) {
        e.Report(m_ui);
        AfterFailedLoad(slot);
    }
}

void CKeltDoc::AfterFailedLoad(ESlot slot) {
    UpdatePreviewViews();
    (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = false;
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
    if (file && !file->path.empty()) {
        LoadMovieFile(slot, file->path);
    }
}

void CKeltDoc::LoadMovieFile(ESlot slot, const std::string& path) {
    std::optional<ChosenFrame> chosen = m_host.RunChooseFrameDialog(path);
    if (!chosen) {
        return;
    }
    try {
        std::unique_ptr<CDibImage> picture = std::move(chosen->picture);
        if (!picture) {
            picture = std::make_unique<CDibImage>(path, chosen->frame);
        }
        InstallPicture(slot, std::move(picture));
        Remember(m_pRecentPictures, path);
    } catch (const CMyException& e) {
        e.Report(m_ui);
        AfterFailedLoad(slot);
    }
}

void CKeltDoc::LoadFile(ESlot slot, const std::string& path) {
    m_host.SetMainTitle(res::LoadString(res::IDS_APP_TITLE));
    if (IsMovieFileName(path)) {
        LoadMovieFile(slot, path);
    } else {
        LoadImageFile(slot, path);
    }
}

void CKeltDoc::OpenFiles(ESlot slot, const std::vector<std::string>& paths) {
    const auto project = std::find_if(paths.begin(), paths.end(), IsProjectFileName);
    std::vector<std::string> taken;
    if (project != paths.end()) {
        taken.push_back(*project);
    } else {
        taken.assign(paths.begin(), paths.begin() + std::min<size_t>(paths.size(), 2));
    }
    if (taken.size() < paths.size()) {
        std::string left;
        for (const std::string& path : paths) {
            if (std::find(taken.begin(), taken.end(), path) == taken.end()) {
                left += (left.empty() ? "" : "\n") + path;
            }
        }
        m_ui.MessageBox(res::LoadString(res::IDS_TOO_MANY_FILES), MsgButtons::Ok,
                        MsgIcon::Exclamation, left);
    }
    if (project != paths.end()) {
        OpenProject(*project);
    } else if (taken.size() == 1) {
        LoadFile(slot, taken[0]);
    } else if (taken.size() == 2) {
        LoadFile(ESlot::Source, taken[0]);
        LoadFile(ESlot::Target, taken[1]);
    }
}

// ---- Recent files ----

void CKeltDoc::Remember(CRecentFiles* list, const std::string& path) {
    if (list) {
        list->Add(path);
    }
}

bool CKeltDoc::RecentEntryThere(CRecentFiles& list, const std::string& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        return true;
    }
    list.Remove(path);
    m_ui.MessageBox(res::FormatString(res::IDS_RECENT_MISSING, {path}), MsgButtons::Ok,
                    MsgIcon::Exclamation);
    return false;
}

void CKeltDoc::OnRecentPicture(ESlot slot, size_t index) {
    const std::vector<std::string> paths =
        m_pRecentPictures ? m_pRecentPictures->Paths() : std::vector<std::string>();
    if (index < paths.size() && RecentEntryThere(*m_pRecentPictures, paths[index])) {
        LoadFile(slot, paths[index]);
    }
}

void CKeltDoc::OnRecentProject(size_t index) {
    const std::vector<std::string> paths =
        m_pRecentProjects ? m_pRecentProjects->Paths() : std::vector<std::string>();
    if (index < paths.size() && RecentEntryThere(*m_pRecentProjects, paths[index])) {
        OpenProject(paths[index]);
    }
}

// What the render of a save hands over; nothing once the save was abandoned.
struct CKeltDoc::SaveResult {
    std::mutex lock;
    bool wanted = true;
    std::unique_ptr<CDibImage> out;
};

void CKeltDoc::WaitForSaveRender() {
    if (m_saveRender.valid()) {
        m_saveRender.wait();
    }
}

bool CKeltDoc::OnSaveAs(ESlot slot) {
    if (m_bSaving) {
        return false; // one save at a time: the render's result is the save's own
    }
    m_bSaving = true;
    bool saved = false;
    std::exception_ptr error;
    try {
        saved = SaveFramed(slot);
    } catch (...) {
        error = std::current_exception();
    }
    m_bSaving = false;
    // Each in turn, as if it had arrived now; a failed save loses none.
    while (!m_pendingPictures.empty()) {
        PendingPicture pending = std::move(m_pendingPictures.front());
        m_pendingPictures.erase(m_pendingPictures.begin());
        AddAcquiredPicture(pending.slot, std::move(pending.picture), pending.deviceFile,
                           pending.name);
    }
    if (error) {
        std::rethrow_exception(error);
    }
    return saved;
}

bool CKeltDoc::SaveFramed(ESlot slot) {
    if (!BothLoaded()) {
        return false;
    }
    const OutputSize size = GetOutputSize(slot);
    if (size.width < 1 || size.height < 1) {
        m_ui.MessageBox(res::LoadString(res::IDS_EMPTY_OUTPUT), MsgButtons::Ok,
                        MsgIcon::Exclamation);
        return false;
    }
    // Refused before the long render, and so as not to write what could not be read back.
    if (!ImExp_SizeAllowed(size.width, size.height)) {
        char text[512];
        std::snprintf(text, sizeof text, res::LoadString(res::IDS_OUTPUT_TOO_LARGE).c_str(),
                      size.width, size.height);
        m_ui.MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    }
    // The frame as it is now, copied: the render reads nothing else of the document but the
    // picture, which stays until the render ends.
    WaitForSaveRender();
    auto result = std::make_shared<SaveResult>();
    m_saveRender =
        std::async(std::launch::async, [frame = *GetFrame(slot), aspect = m_dAspect, size, result] {
            auto out = std::make_unique<CDibImage>(size.width, size.height);
            RenderFramed(frame, aspect, *out);
            std::lock_guard hold(result->lock);
            if (result->wanted) {
                result->out = std::move(out);
            }
        });
    // Whichever way this ends, a render still running frees its picture itself.
    struct Abandon {
        SaveResult& result;
        ~Abandon() {
            std::lock_guard hold(result.lock);
            result.wanted = false;
            result.out.reset();
        }
    } abandon{*result};
    const unsigned version = m_nVersion[int(slot)];
    char path[kPathBufferSize] = "";
    const std::string proposal =
        ProposedPath(m_strLastSaveFolder, *GetPicture(slot),
                     slot == ESlot::Source ? "-source.png" : "-target.png");
    std::snprintf(path, sizeof path, "%s", proposal.c_str());
    if (!ImExp_SelectFileToWrite(m_ui, kColorModeTrueColor, path)) {
        return false;
    }
    m_strLastSaveFolder = std::filesystem::path(path).parent_path().string();
    m_saveRender.get(); // its failure, if any, is this command's
    std::unique_ptr<CDibImage> out;
    {
        std::lock_guard hold(result->lock);
        out = std::move(result->out);
    }
    CFileProgress progress(m_ui, path, false);
    auto writer = MakeWriteSource(*out);
    int one = 1;
    if (ImExp_WriteFile(writer.get(), &m_ui, path, &one, &progress, nullptr, 1)) {
        // A picture that replaced the slot meanwhile is not the one saved.
        if (m_nVersion[int(slot)] == version) {
            m_nSavedVersion[int(slot)] = version;
            (slot == ESlot::Source ? m_strSourceSaved : m_strTargetSaved) = path;
            (slot == ESlot::Source ? m_bSourceSaved : m_bTargetSaved) = true;
            (slot == ESlot::Source ? m_bSourceEdited : m_bTargetEdited) = false;
        }
        return true;
    }
    // Nothing was saved; the earlier file, if any, is untouched.
    CMyException(8, CMyException::FileDetails(path, ImExp_LastErrorText())).Report(m_ui);
    return false;
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
    AddAcquiredPicture(m_bScanToSource ? ESlot::Source : ESlot::Target,
                       std::make_unique<CDibImage>(m_ui, scanned, true), scanned, scanned);
}

void CKeltDoc::AddAcquiredPicture(ESlot slot, std::unique_ptr<CDibImage> picture,
                                  const std::string& deviceFile, const std::string& name) {
    if (m_bSaving) {
        m_pendingPictures.push_back({slot, std::move(picture), deviceFile, name});
        return;
    }
    ReplaceSlot(slot, std::move(picture));

    auto writer = MakeWriteSource(*GetPicture(slot));
    CFileProgress progress(m_ui, name, true);
    char path[kPathBufferSize] = "";
    int one = 1;
    if (ImExp_SelectFileAndWrite(writer.get(), m_ui, path, &one, &progress, nullptr, 1)) {
        if (!deviceFile.empty()) {
            unlink(deviceFile.c_str());
        }
        // The kept file is the picture's own from now on: a project goes back to it.
        GetPicture(slot)->SetPath(path);
    } else if (ImExp_LastError() == ImExpError::CantWrite) {
        CMyException(8).Report(m_ui); // the device's file stays where it is
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

bool CKeltDoc::OnExportProject() {
    if (!BothLoaded()) {
        return false;
    }
    // A line break in a value would split it over lines of the project file.
    for (const auto& [saved, which] : {std::pair{&m_strSourceSaved, res::IDS_SOURCE_WORD},
                                       std::pair{&m_strTargetSaved, res::IDS_TARGET_WORD}}) {
        if (saved->find_first_of("\r\n") != std::string::npos) {
            m_ui.MessageBox(res::FormatString(res::IDS_PATH_LINE_BREAK, {res::LoadString(which)}),
                            MsgButtons::Ok, MsgIcon::Exclamation);
            return false;
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
        return false;
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
         file.SetString("Images", "Target", m_strTargetSaved);
    if (ok) {
        WriteProjectFraming(file, CurrentFraming());
        ok = file.Save(chosen->path);
    }
    if (!ok) {
        CMyException(8, CMyException::FileDetails(chosen->path, file.LastError())).Report(m_ui);
        return false;
    }
    Remember(m_pRecentProjects, chosen->path);
    return true;
}

ProjectFraming CKeltDoc::CurrentFraming() const {
    ProjectFraming framing{m_nAspectX, m_nAspectY, {}, {}};
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const CDibImage& picture = slot == ESlot::Source ? *m_pSource : *m_pTarget;
        const CPictFrame& frame = slot == ESlot::Source ? *m_pSourceFrame : *m_pTargetFrame;
        SlotFraming& s = slot == ESlot::Source ? framing.source : framing.target;
        s.original = picture.GetPath();
        s.frameIndex = picture.FrameIndex();
        s.width = picture.Width();
        s.height = picture.Height();
        s.extent = frame.Extent();
        s.placement = frame.Placement();
    }
    return framing;
}

// ---- Reopening a project ----

std::unique_ptr<CDibImage> CKeltDoc::LoadOriginal(const SlotFraming& framing) {
    std::error_code error;
    if (framing.original.empty() || !std::filesystem::is_regular_file(framing.original, error)) {
        return nullptr;
    }
    std::unique_ptr<CDibImage> picture;
    try {
        picture = framing.frameIndex >= 0
                      ? std::make_unique<CDibImage>(framing.original, framing.frameIndex)
                      : std::make_unique<CDibImage>(m_ui, framing.original, true);
    } catch (const CMyException&) {
        return nullptr; // the saved picture stands in
    }
    if (picture->Width() != framing.width || picture->Height() != framing.height) {
        return nullptr;
    }
    return picture;
}

void CKeltDoc::OnOpenProject() {
    m_host.SetMainTitle(res::LoadString(res::IDS_APP_TITLE));
    FileDialogOptions options;
    options.defaultExt = "vpj";
    options.filter =
        res::LoadString(res::IDS_PROJECT_FILTER) + "|" + res::LoadString(res::IDS_ALL_FILES_FILTER);
    options.hideReadOnly = true;
    // A folder: the dialog opens in it with no name chosen.
    if (!m_strLastProjectFolder.empty()) {
        options.initialName = m_strLastProjectFolder + "/";
    }
    if (auto chosen = m_ui.FileDialog(options); chosen && !chosen->path.empty()) {
        OpenProject(chosen->path);
    }
}

bool CKeltDoc::OpenProject(const std::string& path) {
    m_host.SetMainTitle(res::LoadString(res::IDS_APP_TITLE));
    const auto refuse = [&](unsigned text, const std::string& reason) {
        m_ui.MessageBox(res::LoadString(text), MsgButtons::Ok, MsgIcon::Exclamation,
                        CMyException::FileDetails(path, reason));
        return false;
    };
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return refuse(res::IDS_PROJECT_UNREADABLE,
                      res::FormatString(res::IDS_REASON_CANT_OPEN, {std::strerror(ENOENT)}));
    }
    CProfileFile file;
    if (!file.Load(path)) {
        return refuse(res::IDS_PROJECT_UNREADABLE, file.LastError());
    }
    const std::string saved[2] = {file.GetString("Images", "Source", ""),
                                  file.GetString("Images", "Target", "")};
    if (saved[0].empty() || saved[1].empty()) {
        return refuse(res::IDS_NOT_A_PROJECT, {});
    }
    const std::optional<ProjectFraming> framing = ReadProjectFraming(file);
    const SlotFraming* slots[2] = {framing ? &framing->source : nullptr,
                                   framing ? &framing->target : nullptr};
    // Names the project holds are as the save dialog gave them; a relative one (written by
    // hand or by another program) is taken from the project's folder.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::unique_ptr<CDibImage> pictures[2];
    bool restored[2] = {false, false};
    std::string gone;
    for (int i = 0; i < 2; ++i) {
        if (slots[i] && !slots[i]->original.empty()) {
            pictures[i] = LoadOriginal(*slots[i]);
            restored[i] = pictures[i] != nullptr;
            if (!restored[i]) {
                gone += (gone.empty() ? "" : "\n") + slots[i]->original;
            }
        }
        if (!pictures[i]) {
            try {
                pictures[i] = std::make_unique<CDibImage>(m_ui, (folder / saved[i]).string(), true);
            } catch (const CMyException& e) {
                e.Report(m_ui);
                return false;
            }
        }
    }
    if (framing) {
        SetAspectRatio(framing->aspectX, framing->aspectY);
    }
    InstallPicture(ESlot::Source, std::move(pictures[0]));
    InstallPicture(ESlot::Target, std::move(pictures[1]));
    for (int i = 0; i < 2; ++i) {
        if (restored[i]) {
            const ESlot slot = i == 0 ? ESlot::Source : ESlot::Target;
            // Only the truncations of aspect changes may part the two: anything further off is
            // not ours to trust.
            CPictFrame& frame = *GetFrame(slot);
            const CPoint fit = frame.Extent();
            const CPoint kept = slots[i]->extent;
            if (std::abs(kept.x - fit.x) <= 1 + fit.x / 100 &&
                std::abs(kept.y - fit.y) <= 1 + fit.y / 100) {
                frame.SetExtent(kept);
            }
            ApplyPlacement(slot, slots[i]->placement, EditKind::Restore);
        }
    }
    // The saved pictures are those of this framing: the project can be exported again as it is.
    m_strSourceSaved = saved[0];
    m_strTargetSaved = saved[1];
    m_bSourceSaved = std::filesystem::is_regular_file(folder / saved[0], error);
    m_bTargetSaved = std::filesystem::is_regular_file(folder / saved[1], error);
    m_bSourceEdited = m_bTargetEdited = false;
    m_strLastProjectFolder = folder.string();
    Remember(m_pRecentProjects, path);
    if (!gone.empty()) {
        m_ui.MessageBox(res::LoadString(res::IDS_ORIGINALS_GONE), MsgButtons::Ok,
                        MsgIcon::Information, gone);
    }
    return true;
}

} // namespace vx
