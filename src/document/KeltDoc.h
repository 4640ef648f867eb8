// The one document: the SOURCE and TARGET slots, the Preview buffers and the editing settings,
// and the commands that act on them.
#pragma once

#include "base/CmdTarget.h"
#include "document/DocumentHost.h"
#include "picture/DibImage.h"
#include "picture/PictFrame.h"

#include <memory>
#include <string>

namespace vx {

class IPlatform;

enum class ESlot { Source, Target };

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
    void InstallPicture(ESlot slot, std::unique_ptr<CDibImage> picture);
    void RestoreAll();
    // After the user changed a slot's frame: re-render that slot and clear its saved flag.
    void MarkChanged(ESlot slot);
    CPictFrame* GetSourceFrame() { return m_pSourceFrame.get(); }
    CPictFrame* GetTargetFrame() { return m_pTargetFrame.get(); }
    CPictFrame* GetFrame(ESlot slot) {
        return slot == ESlot::Source ? GetSourceFrame() : GetTargetFrame();
    }
    CDibImage* GetPicture(ESlot slot) {
        return slot == ESlot::Source ? m_pSource.get() : m_pTarget.get();
    }
    bool BothLoaded() const { return m_pSource && m_pTarget; }

    // Crop geometry with the document aspect.
    CPoint OutputToCrop(int x, int y, int W, int H) const;
    CPoint CropToOutput(CPoint c, int W, int H) const;
    CRect GetCropRect(const CPictFrame& frame, int W, int H) const;
    CPictFrame* GetOutputFrame(int width, int height);

    // Progressive renderer.
    void CreatePreviewBuffers(int W, int H);
    void RequestRender(int which);
    void RenderPass(int which);
    void UpdatePreviewViews();
    // The frame's picture at full resolution into `out`.
    void RenderFull(const CPictFrame& frame, CDibImage& out) const;
    void OnRenderTimer() { RenderPass(m_nLastSelector); }

    // The crop ratio width : height; false (nothing changed) for a term below 1.
    bool SetAspectRatio(int width, int height);
    // The size of the picture a save writes for the slot (the slot must hold a picture).
    OutputSize GetOutputSize(ESlot slot) const;

    // Commands.
    void OnExportProject();
    void OnSetAspectRatio();
    void OnLoadImage(ESlot slot);
    void OnLoadMovie(ESlot slot);
    void OnSaveAs(ESlot slot);
    // Takes over a file the scanner wrote: installs it in the slot of the latest scan command and
    // offers to keep it; the scanner's file is deleted once it has been saved elsewhere.
    void OnAddTwainFile();
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
    int m_nBlend = 50;
    int m_nEditMode;
    std::unique_ptr<CDibImage> m_pSource;
    std::unique_ptr<CDibImage> m_pTarget;
    std::unique_ptr<CDibImage> m_pPreview;
    std::unique_ptr<CDibImage> m_pSourceRender;
    std::unique_ptr<CDibImage> m_pTargetRender;
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

private:
    void RegisterCommands();
    // The new picture and its fitted frame in the slot, the slot unsaved; no view is told.
    void ReplaceSlot(ESlot slot, std::unique_ptr<CDibImage> picture);
    void RenderSlot(const CPictFrame& frame, int step, CDibImage& render);
    // A file dialog's proposal: `folder` (else the picture's own), the picture's name (else
    // `otherwise`, else "picture"), `suffix`.
    std::string ProposedPath(const std::string& folder, const CDibImage& picture,
                             const char* suffix, const std::string& otherwise = {});

    IPlatform& m_ui;
    IDocumentHost& m_host;
};

} // namespace vx
