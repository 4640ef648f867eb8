// The steps that Undo and Redo walk: each keeps what its change found and left in the slots it
// touched, so that going back or forth is exact and needs nothing recomputed.
#pragma once

#include "document/PlacementGesture.h"
#include "picture/DibImage.h"
#include "picture/PictFrame.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vx {

enum class ESlot;

// A slot as a step found or left it.
struct SlotState {
    // The whole frame, corners included: an aspect change or a restore rebuilds them. None: the
    // slot was empty.
    std::optional<CPictFrame> frame;
    // Names this content of the slot, to tell whether it is the one last saved.
    unsigned version = 0;
};

struct SlotChange {
    ESlot slot;
    SlotState before;
    SlotState after;
};

struct EditStep {
    EditKind kind = EditKind::Move;
    // Changes with the same nonzero gesture, one after another, are one step.
    unsigned gesture = 0;
    std::vector<SlotChange> changes;
    // An aspect change: the terms width : height before and after.
    std::optional<std::pair<int, int>> aspectBefore, aspectAfter;
    // A picture entered the slot of changes[0]: this is the one the slot does not hold now (the
    // earlier one while the step is done, the newer one once undone); null for an empty slot.
    bool load = false;
    std::unique_ptr<CDibImage> picture;
    // Source and Target were exchanged, before the slot changes apply.
    bool swap = false;

    // What the step keeps in memory, its picture included.
    std::size_t Bytes() const;
};

// The menu's name of a step: "Rotate Target", "Restore all", "Load Source".
std::string StepName(const EditStep& step);

class CEditHistory {
public:
    static constexpr std::size_t kDefaultByteCap = std::size_t(1) << 30;

    explicit CEditHistory(std::size_t byteCap = kDefaultByteCap) : m_nByteCap(byteCap) {}

    // Drops the undone steps and adds `step`, or merges it into the latest one when both carry
    // the same nonzero gesture and nothing was undone or redone since. The oldest steps go
    // while the history holds more than its cap.
    void Record(EditStep step);
    // The step to undo (redo), now counted as undone (done); null when there is none. The caller
    // applies it and may move the picture it holds.
    EditStep* Undo();
    EditStep* Redo();
    const EditStep* NextUndo() const { return m_nDone ? &m_steps[m_nDone - 1] : nullptr; }
    const EditStep* NextRedo() const {
        return m_nDone < m_steps.size() ? &m_steps[m_nDone] : nullptr;
    }
    // Forgets the steps undone, as if they had never been recorded.
    void DropRedo();
    void Clear();

    std::size_t Bytes() const { return m_nBytes; }
    std::size_t Count() const { return m_steps.size(); }
    void SetByteCap(std::size_t cap);
    // After a step moved a picture in or out: counted again and back under the cap.
    void Trim();

private:
    void Shrink();

    std::deque<EditStep> m_steps;
    std::size_t m_nDone = 0;
    std::size_t m_nByteCap;
    std::size_t m_nBytes = 0;
    bool m_bMergeable = false;
};

} // namespace vx
