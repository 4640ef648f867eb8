// The one document: the SOURCE and TARGET slots, the Preview buffers and the editing settings,
// and the commands that act on them.
#pragma once

#include "base/CmdTarget.h"
#include "document/DocumentHost.h"
#include "document/EditHistory.h"
#include "document/PlacementGesture.h"
#include "document/ProjectFraming.h"
#include "picture/DibImage.h"
#include "picture/PictFrame.h"
#include "picture/PicturePoint.h"

#include <chrono>
#include <functional>
#include <future>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vx {

class IPlatform;
class CRecentFiles;

enum class ESlot { Source, Target };

// One change of a slot's placement, as the observers see it once the frame holds it.
struct PlacementEdit {
    ESlot slot;
    EditKind kind;
    FramePlacement before;
    FramePlacement after;
    // The drag the change belongs to (key steps during it included), the run of key steps or the
    // caller's gesture, so that each can be one undo step; 0 for a change of its own.
    unsigned gesture = 0;
};

using PlacementObserver = std::function<void(const PlacementEdit&)>;

struct OutputSize {
    int width = 0;
    int height = 0;
    bool operator==(const OutputSize&) const = default;
};

class CKeltDoc : public CCmdTarget {
public:
    static constexpr unsigned kRenderTimerId = 1;
    static constexpr unsigned kRenderTimerMs = 200;

    CKeltDoc(IPlatform& ui, IDocumentHost& host);
    ~CKeltDoc() override;
    CKeltDoc(const CKeltDoc&) = delete;
    CKeltDoc& operator=(const CKeltDoc&) = delete;

    IPlatform& Platform() { return m_ui; }
    IDocumentHost& Host() { return m_host; }

    // Slots.
    // Undo brings the slot's earlier picture back.
    void InstallPicture(ESlot slot, std::unique_ptr<CDibImage> picture);
    void RestoreAll();
    // The one slot fitted again, as Restore all does for both.
    void RestoreSlot(ESlot slot);
    // Source and Target exchange pictures, frames, saved flags and paths.
    void SwapSlots();
    CPictFrame* GetSourceFrame() { return m_pSourceFrame.get(); }
    CPictFrame* GetTargetFrame() { return m_pTargetFrame.get(); }
    CPictFrame* GetFrame(ESlot slot) {
        return slot == ESlot::Source ? GetSourceFrame() : GetTargetFrame();
    }
    CDibImage* GetPicture(ESlot slot) {
        return slot == ESlot::Source ? m_pSource.get() : m_pTarget.get();
    }
    bool BothLoaded() const { return m_pSource && m_pTarget; }

    // Placement edits. Every change of a slot's placement passes here (a gesture, and later an
    // undo, an alignment, a command line): the frame takes it, the slot is rendered again and
    // unsaved, and the observers hear of it. Nothing happens without a picture in the slot.
    // Changes carrying the same `gesture` (NewGesture) are one undo step.
    void ApplyPlacement(ESlot slot, const FramePlacement& placement, EditKind kind,
                        unsigned gesture = 0);
    unsigned NewGesture() { return ++m_nLastGesture; }
    // Takes back the step of `gesture` when it is the latest one, leaving nothing to redo: a
    // cancelled dialog that applied its values live.
    void AbandonGesture(unsigned gesture);
    // Observers of every placement change, the restores and aspect changes included (undo,
    // alignment, a log); the id returned removes one.
    int AddPlacementObserver(PlacementObserver observer);
    void RemovePlacementObserver(int id);

    // The TARGET placed so that its two points land where the SOURCE shows the two matching
    // points (x right, y down from the top-left, in pixels of each picture); the SOURCE stays. One
    // undo step. False, and nothing changes, without both pictures or for points that fix no
    // placement (a pair's points on one spot).
    bool AlignTarget(const PointPairs& points);
    // Finds how the TARGET lies on the SOURCE's scene (with progress and Cancel), aligns it in one
    // step and leaves the pairs found as the markers. A failure is reported and changes nothing;
    // a cancel changes nothing. True only when the target moved.
    bool AlignTargetToSource();
    // Finds the eyes in both pictures and aligns them: markers 1 and 2 of each slot on the left
    // and right eye as seen. A picture whose eyes are not found is named, the eyes found stay as
    // markers and marking begins for the rest. True only when the target moved.
    bool AlignEyes();

    // The markers of Align by points: points 1 and 2 of each picture, in its pixels (x right, y
    // down from the top-left), so that they stay on the picture whatever its placement. A new
    // picture in a slot takes its markers away; a swap exchanges them; undo leaves them.
    static constexpr int kMarkerCount = 2;
    const std::optional<PicturePoint>& Marker(ESlot slot, int index) const {
        return m_markers[int(slot)][index];
    }
    void SetMarker(ESlot slot, int index, std::optional<PicturePoint> point);
    void ClearMarkers();
    bool AnyMarker() const;
    // The four markers as pairs; nullopt while one is missing.
    std::optional<PointPairs> MarkedPoints() const;
    // The command: with all four markers the target is aligned at once; otherwise marking
    // begins (or, while marking, ends).
    void OnAlignByPoints();
    // Marking: each click places the next missing marker, Source 1, Source 2, Target 1, Target
    // 2; once the last is placed (EndMarkerPlacement) the target is aligned and marking ends.
    bool Marking() const { return m_bMarking && BothLoaded(); }
    struct MarkerId {
        ESlot slot;
        int index;
    };
    // The marker the next click places; nullopt when all are there. Of one slot when given.
    std::optional<MarkerId> NextMarker(std::optional<ESlot> slot = std::nullopt) const;
    void StopMarking() { m_bMarking = false; }
    // What the status bar says while marking ("Click point 1 on the SOURCE ..."); empty otherwise.
    std::string MarkingPrompt() const;
    // A marker drag or placement is over: while marking with all markers there, aligns.
    void EndMarkerPlacement();

    // The gestures of a view of W x H pixels showing `slot`, at its pixels, in the edit mode of the
    // moment. A press starts the one drag of the slot: false (nothing starts) unless both
    // pictures and the Preview buffers are there.
    bool BeginDrag(ESlot slot, int x, int y, int W, int H);
    // The pointer of the drag at (x, y): false, and the drag ends, once there is nothing to drag.
    // `snap` (Shift held) turns a rotation in whole degrees.
    bool DragTo(int x, int y, int W, int H, bool snap = false);
    void EndDrag() { m_drag.reset(); }
    // An arrow key in a view of `slot`: one step, coarse with Shift or during a drag; a drag of
    // the slot goes on from the new placement at the pointer, without a jump. Keys of one slot
    // and mode pressed less than kKeyRun apart are one undo step.
    void StepPlacement(ESlot slot, EArrowKey key, bool shift);
    static constexpr std::chrono::milliseconds kKeyRun{1000};
    // The clock of the key runs; tests set their own.
    void SetClock(std::function<std::chrono::steady_clock::time_point()> clock) {
        m_clock = std::move(clock);
    }
    // "Target: zoom 125.00 %, angle -12.34°, offset 10, -4" (zoom and angle to 0.01).
    std::string PlacementReadout(ESlot slot);

    // Undo and redo of every change of a placement or a picture.
    bool CanUndo() const { return m_history.NextUndo() != nullptr; }
    bool CanRedo() const { return m_history.NextRedo() != nullptr; }
    void Undo();
    void Redo();
    CEditHistory& History() { return m_history; }

    // Crop geometry with the document aspect.
    CPoint OutputToCrop(int x, int y, int W, int H) const;
    CPoint CropToOutput(CPoint c, int W, int H) const;
    CRect GetCropRect(const CPictFrame& frame, int W, int H) const;
    CPictFrame* GetOutputFrame(int width, int height);

    // Progressive renderer.
    void CreatePreviewBuffers(int W, int H);
    void RequestRender(int which);
    void RenderPass(int which);
    // The slot's render at the Preview's size as the last pass left it. A coarse pass keeps only
    // its grid and enlarges it row by row into the blend; here it is enlarged whole.
    const CDibImage& SlotRender(ESlot slot);
    void UpdatePreviewViews();
    // The frame's picture at full resolution into `out`.
    void RenderFull(const CPictFrame& frame, CDibImage& out) const {
        RenderFramed(frame, m_dAspect, out);
    }
    void OnRenderTimer() { RenderPass(m_nLastSelector); }

    // The crop ratio width : height; false (nothing changed) for a term below 1.
    bool SetAspectRatio(int width, int height);
    // The size of the picture a save writes for the slot (the slot must hold a picture).
    OutputSize GetOutputSize(ESlot slot) const;

    // Commands. Save as and Export project answer whether they wrote their file.
    bool OnExportProject();
    void OnSetAspectRatio();
    void OnLoadImage(ESlot slot);
    void OnLoadMovie(ESlot slot);
    bool OnSaveAs(ESlot slot);
    // Takes over a file the scanner wrote: installs it in the slot of the latest scan command and
    // offers to keep it; the scanner's file is deleted once it has been saved elsewhere.
    void OnAddTwainFile();
    // A picture a device handed over (a scan, a camera's capture): installed in `slot` as one
    // undo step, then offered for keeping under a name of the user's choice. `deviceFile` is the
    // device's own copy, deleted once the picture is kept elsewhere; empty when there is none.
    // `name` titles the progress of that save.
    void AddAcquiredPicture(ESlot slot, std::unique_ptr<CDibImage> picture,
                            const std::string& deviceFile, const std::string& name);
    // A file loaded as the menus load it, with their reports and Locate: a movie (known by its
    // name) through the Choose Frame dialog, anything else as an image file.
    void LoadFile(ESlot slot, const std::string& path);
    // Files the window system hands over (a drop, the command line): a project opens alone; one
    // picture goes into `slot`, two fill both slots in their order.
    void OpenFiles(ESlot slot, const std::vector<std::string>& paths);
    // Reads a project: the two saved images it names or, where this program wrote it and the
    // originals are still there, the originals with their placement, and the aspect ratio. All
    // or nothing: a failure is reported and the document stays as it was (false).
    bool OpenProject(const std::string& path);
    void OnOpenProject();
    // The lists that loads and projects are added to and the Recent menus choose from; null for
    // none. A chosen entry whose file is gone is dropped with a message.
    void SetRecentFiles(CRecentFiles* pictures, CRecentFiles* projects) {
        m_pRecentPictures = pictures;
        m_pRecentProjects = projects;
    }
    void OnRecentPicture(ESlot slot, size_t index);
    void OnRecentProject(size_t index);
    // Before quitting: when a framed picture has edits not saved, asks whether to save them
    // (each through Save as), to discard them, or to stay. False to stay.
    bool CanClose();
    void AddTwainFile(const std::string& path, bool toSource) {
        m_strTwainFile = path;
        m_bScanToSource = toSource;
        OnAddTwainFile();
    }

    int m_nSourceStep = 1;
    int m_nTargetStep = 1;
    bool m_bSourceSaved = false;
    bool m_bTargetSaved = false;
    // The placement was changed by the user since the picture was loaded, restored or saved:
    // quitting would lose it.
    bool m_bSourceEdited = false;
    bool m_bTargetEdited = false;
    bool m_bPreviewReady = true;
    int m_nLastSelector = 0;
    bool m_bQuickMode = true;
    // The Preview shows |source - target| per channel instead of the blend: black where the
    // pictures match, the usual check of an alignment by eye.
    bool m_bDifference = false;
    // The Preview draws a centre cross and a horizontal line through the crop centre.
    bool m_bGuides = false;
    int m_nBlend = 50;
    int m_nEditMode;
    std::unique_ptr<CDibImage> m_pSource;
    std::unique_ptr<CDibImage> m_pTarget;
    std::unique_ptr<CDibImage> m_pPreview;
    std::unique_ptr<CDibImage> m_pSourceRender;
    std::unique_ptr<CDibImage> m_pTargetRender;
    // While set, the slot's render is this coarse grid enlarged, and the raster above is stale.
    std::unique_ptr<CDibImage> m_pSourceGrid;
    std::unique_ptr<CDibImage> m_pTargetGrid;
    // Bumped whenever a slot's render changes.
    unsigned m_nRenderVersion[2] = {0, 0};
    // What the Preview was blended from when one slot was a grid and the other a finished render:
    // outside the grid's footprint it holds the other render blended with black, so the next
    // pass of the same kind blends only where either footprint lies.
    struct BlendMemo {
        int grid = -1; // the slot that was a grid; -1: nothing to go on
        unsigned otherVersion = 0;
        int blend = 0;
        bool difference = false;
        bool guides = false;
        CRect outline;
        bool SameAs(const BlendMemo& o) const {
            return grid == o.grid && otherVersion == o.otherVersion && blend == o.blend &&
                   difference == o.difference && guides == o.guides && outline == o.outline;
        }
    };
    BlendMemo m_blendMemo;
    std::vector<CResampledRows::Span> m_blendSpans; // per Preview row, the grid's footprint
    std::unique_ptr<CPictFrame> m_pSourceFrame;
    std::unique_ptr<CPictFrame> m_pTargetFrame;
    std::unique_ptr<CPictFrame> m_pOutputFrame;
    double m_dAspect = 1.0;
    int m_nAspectX = 1;
    int m_nAspectY = 1;
    std::string m_strSourceSaved;
    std::string m_strTargetSaved;
    std::string m_strTwainFile; // the scanner's latest file
    // Where the user last saved a picture and a project: the next dialog opens there.
    std::string m_strLastSaveFolder;
    std::string m_strLastProjectFolder;
    bool m_bScanToSource = true;
    // What the command ID_OPEN_FILES opens, set just before it runs.
    std::vector<std::string> m_filesToOpen;
    ESlot m_slotToOpen = ESlot::Source;

private:
    struct Drag {
        ESlot slot;
        CPlacementGesture gesture;
        int x, y, W, H; // the latest pointer, in the view's pixels
        unsigned id;
    };
    struct KeyRun {
        ESlot slot;
        EditKind kind;
        std::chrono::steady_clock::time_point at;
        unsigned id;
    };

    struct SaveResult;
    // A picture a device delivered while a save was under way: installed once the save ends.
    struct PendingPicture {
        ESlot slot;
        std::unique_ptr<CDibImage> picture;
        std::string deviceFile;
        std::string name;
    };

    void RegisterCommands();
    static void RenderFramed(const CPictFrame& frame, double aspect, CDibImage& out);
    bool SaveFramed(ESlot slot);
    // The render of a save reads the slot's picture: it must end before the picture leaves.
    void WaitForSaveRender();
    // After a slot's frame changed: re-render that slot and clear its saved flag.
    void MarkChanged(ESlot slot);
    void Apply(ESlot slot, const FramePlacement& placement, EditKind kind, unsigned gesture);
    void NotifyPlacement(const PlacementEdit& edit);
    // The new picture and its fitted frame in the slot, the slot unsaved; no view is told.
    void ReplaceSlot(ESlot slot, std::unique_ptr<CDibImage> picture);
    // A coarse step leaves the grid in `grid` (the render is then its enlargement); step 1
    // renders into `render` and drops the grid.
    void RenderSlot(const CPictFrame& frame, int step, CDibImage& render,
                    std::unique_ptr<CDibImage>& grid);
    void BlendIntoPreview(const CRect& outline);
    void Restore(std::initializer_list<ESlot> which);
    // Pictures, frames, flags and paths of the two slots exchanged; no view is told.
    void ExchangeSlots();
    void NotifySwap();
    // The views and the Preview once pictures or frames were replaced.
    void RefreshAll();
    SlotState Snapshot(ESlot slot);
    // The slot's content is new: a fresh version.
    void NewVersion(ESlot slot) { m_nVersion[int(slot)] = ++m_nLastVersion; }
    // Puts back the slots as `step` found them (undo) or left them.
    void ApplyStep(EditStep& step, bool undo);
    // The views and the Preview show the markers anew.
    void RepaintMarkers();
    // Aligns on the markers, telling the user why not when they fix no placement.
    bool AlignOnMarkers();
    // The guides over the Preview buffer, inside the crop outline.
    void DrawGuides(const CRect& outline);
    void LoadImageFile(ESlot slot, const std::string& path);
    void LoadMovieFile(ESlot slot, const std::string& path);
    // A load failed: the old picture stays, but export waits until the slot is saved again.
    void AfterFailedLoad(ESlot slot);
    void Remember(CRecentFiles* list, const std::string& path);
    // True when the entry's file is there; otherwise it leaves the list and the user is told.
    bool RecentEntryThere(CRecentFiles& list, const std::string& path);
    ProjectFraming CurrentFraming() const;
    // The slot's original as it was framed; null when it is gone, unreadable or another picture.
    std::unique_ptr<CDibImage> LoadOriginal(const SlotFraming& framing);
    // A file dialog's proposal: `folder` (else the picture's own), the picture's name (else
    // `otherwise`, else "picture"), `suffix`.
    std::string ProposedPath(const std::string& folder, const CDibImage& picture,
                             const char* suffix, const std::string& otherwise = {});

    IPlatform& m_ui;
    IDocumentHost& m_host;
    std::optional<Drag> m_drag;
    unsigned m_nLastGesture = 0;
    std::optional<KeyRun> m_keyRun;
    std::function<std::chrono::steady_clock::time_point()> m_clock = std::chrono::steady_clock::now;
    CEditHistory m_history;
    // The version of each slot's content, and the one last saved (0: none), so that undoing
    // back to what was saved sets the saved flag again.
    unsigned m_nVersion[2] = {0, 0};
    unsigned m_nSavedVersion[2] = {0, 0};
    unsigned m_nLastVersion = 0;
    std::optional<PicturePoint> m_markers[2][kMarkerCount];
    bool m_bMarking = false;
    std::vector<std::pair<int, PlacementObserver>> m_placementObservers;
    int m_nLastObserver = 0;
    CRecentFiles* m_pRecentPictures = nullptr;
    CRecentFiles* m_pRecentProjects = nullptr;
    // Save as renders on a thread of its own while its file dialog is open; the dialog's event
    // loop may deliver a scan or a capture meanwhile, which waits for the save.
    bool m_bSaving = false;
    std::vector<PendingPicture> m_pendingPictures;
    // Last, so that it ends before the pictures go.
    std::future<void> m_saveRender;
};

} // namespace vx
