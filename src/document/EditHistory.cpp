#include "document/EditHistory.h"

#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <algorithm>

namespace vx {

std::size_t EditStep::Bytes() const {
    std::size_t bytes = sizeof(EditStep) + changes.capacity() * sizeof(SlotChange);
    if (picture) {
        bytes += sizeof(CDibImage) + picture->RasterBytes();
    }
    return bytes;
}

std::string StepName(const EditStep& step) {
    using namespace res;
    const bool source = std::any_of(step.changes.begin(), step.changes.end(),
                                    [](const SlotChange& c) { return c.slot == ESlot::Source; });
    const bool target = std::any_of(step.changes.begin(), step.changes.end(),
                                    [](const SlotChange& c) { return c.slot == ESlot::Target; });
    const std::string& named = LoadString(source && target ? IDS_SLOTS_BOTH
                                          : source         ? IDS_SLOT_SOURCE
                                                           : IDS_SLOT_TARGET);
    if (step.load) {
        return FormatString(IDS_STEP_LOAD, {named});
    }
    switch (step.kind) {
    case EditKind::Move:
        return FormatString(IDS_STEP_MOVE, {named});
    case EditKind::Zoom:
        return FormatString(IDS_STEP_ZOOM, {named});
    case EditKind::Rotate:
        return FormatString(IDS_STEP_ROTATE, {named});
    case EditKind::Restore:
        return source && target ? LoadString(IDS_STEP_RESTORE_ALL)
                                : FormatString(IDS_STEP_RESTORE, {named});
    case EditKind::Aspect:
        return LoadString(IDS_STEP_ASPECT);
    case EditKind::Placement:
        return FormatString(IDS_STEP_PLACEMENT, {named});
    case EditKind::Swap:
        return LoadString(IDS_STEP_SWAP);
    case EditKind::Align:
        return FormatString(IDS_STEP_ALIGN, {named});
    case EditKind::Undo:
        break;
    }
    return named;
}

void CEditHistory::Record(EditStep step) {
    if (m_bMergeable && step.gesture != 0 && m_nDone == m_steps.size() && m_nDone > 0 &&
        m_steps.back().gesture == step.gesture) {
        EditStep& top = m_steps.back();
        m_nBytes -= top.Bytes();
        for (SlotChange& change : step.changes) {
            auto same = std::find_if(top.changes.begin(), top.changes.end(),
                                     [&](const SlotChange& c) { return c.slot == change.slot; });
            if (same == top.changes.end()) {
                top.changes.push_back(std::move(change));
            } else {
                same->after = std::move(change.after);
            }
        }
        if (step.aspectAfter) {
            top.aspectBefore = top.aspectBefore ? top.aspectBefore : step.aspectBefore;
            top.aspectAfter = step.aspectAfter;
        }
        m_nBytes += top.Bytes();
        return;
    }
    DropRedo();
    m_nBytes += step.Bytes();
    m_steps.push_back(std::move(step));
    m_nDone = m_steps.size();
    m_bMergeable = true;
    Shrink();
}

EditStep* CEditHistory::Undo() {
    if (m_nDone == 0) {
        return nullptr;
    }
    m_bMergeable = false;
    return &m_steps[--m_nDone];
}

EditStep* CEditHistory::Redo() {
    if (m_nDone == m_steps.size()) {
        return nullptr;
    }
    m_bMergeable = false;
    return &m_steps[m_nDone++];
}

void CEditHistory::DropRedo() {
    while (m_steps.size() > m_nDone) {
        m_nBytes -= m_steps.back().Bytes();
        m_steps.pop_back();
    }
}

void CEditHistory::Clear() {
    m_steps.clear();
    m_nDone = 0;
    m_nBytes = 0;
    m_bMergeable = false;
}

void CEditHistory::SetByteCap(std::size_t cap) {
    m_nByteCap = cap;
    Shrink();
}

void CEditHistory::Trim() {
    m_nBytes = 0;
    for (const EditStep& step : m_steps) {
        m_nBytes += step.Bytes();
    }
    Shrink();
}

void CEditHistory::Shrink() {
    while (m_nBytes > m_nByteCap && !m_steps.empty()) {
        // The oldest done step goes first; without one, the furthest redo, so that what is
        // left still follows on from the document as it is.
        if (m_nDone > 0) {
            m_nBytes -= m_steps.front().Bytes();
            m_steps.pop_front();
            --m_nDone;
        } else {
            m_nBytes -= m_steps.back().Bytes();
            m_steps.pop_back();
        }
    }
}

} // namespace vx
