// The Placement dialog: each slot's zoom, angle and offset as numbers, applied while they are
// typed; the whole visit is one undo step, and Cancel takes it back.
#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QSpinBox;

namespace vx {
class CKeltDoc;
enum class ESlot;
} // namespace vx

namespace vx::ui {

class CPlacementDlg : public QDialog {
    Q_OBJECT
public:
    CPlacementDlg(CKeltDoc& doc, QWidget* parent);

    void reject() override;

    // The fields of a slot: zoom in percent, angle in degrees, offset in crop units.
    QDoubleSpinBox* ZoomEdit(ESlot slot) const { return m_fields[Index(slot)].zoom; }
    QDoubleSpinBox* AngleEdit(ESlot slot) const { return m_fields[Index(slot)].angle; }
    QSpinBox* OffsetXEdit(ESlot slot) const { return m_fields[Index(slot)].x; }
    QSpinBox* OffsetYEdit(ESlot slot) const { return m_fields[Index(slot)].y; }

private:
    struct Fields {
        QDoubleSpinBox* zoom;
        QDoubleSpinBox* angle;
        QSpinBox* x;
        QSpinBox* y;
    };
    static int Index(ESlot slot);
    // The fields from the frames, without applying anything.
    void Show();
    // One field typed: only its value changes, the others stay exactly as the frame has them.
    void Apply(ESlot slot, const QWidget* typed);

    CKeltDoc& m_doc;
    unsigned m_nGesture;
    Fields m_fields[2];
    bool m_bShowing = false;
};

} // namespace vx::ui
