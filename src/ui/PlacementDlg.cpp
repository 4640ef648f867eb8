#include "ui/PlacementDlg.h"

#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <numbers>

namespace vx::ui {

namespace {

QString Text(unsigned id) {
    return QString::fromStdString(res::LoadString(id));
}

constexpr double kMaxDegrees = PlacementLimits::kMaxDegrees;
constexpr int kMaxOffset = PlacementLimits::kMaxOffset;

} // namespace

int CPlacementDlg::Index(ESlot slot) {
    return slot == ESlot::Source ? 0 : 1;
}

CPlacementDlg::CPlacementDlg(CKeltDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_nGesture(doc.NewGesture()) {
    setWindowTitle(Text(res::IDS_PLACEMENT_TITLE));
    setObjectName("PlacementDlg");
    auto* grid = new QGridLayout;
    const unsigned rows[] = {res::IDS_PLACEMENT_ZOOM, res::IDS_PLACEMENT_ANGLE,
                             res::IDS_PLACEMENT_OFFSET_X, res::IDS_PLACEMENT_OFFSET_Y};
    for (int row = 0; row < 4; ++row) {
        grid->addWidget(new QLabel(Text(rows[row]), this), row + 1, 0);
    }
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const int column = Index(slot) + 1;
        grid->addWidget(
            new QLabel(Text(slot == ESlot::Source ? res::IDS_SLOT_SOURCE : res::IDS_SLOT_TARGET),
                       this),
            0, column, Qt::AlignCenter);
        Fields& f = m_fields[Index(slot)];
        f.zoom = new QDoubleSpinBox(this);
        f.zoom->setRange(100 * PlacementLimits::kMinZoom, 100 * PlacementLimits::kMaxZoom);
        f.angle = new QDoubleSpinBox(this);
        f.angle->setRange(-kMaxDegrees, kMaxDegrees);
        for (QDoubleSpinBox* box : {f.zoom, f.angle}) {
            box->setDecimals(2);
            box->setGroupSeparatorShown(false);
            box->setAlignment(Qt::AlignRight);
            connect(box, &QDoubleSpinBox::valueChanged, this,
                    [this, slot, box] { Apply(slot, box); });
        }
        f.x = new QSpinBox(this);
        f.y = new QSpinBox(this);
        for (QSpinBox* box : {f.x, f.y}) {
            box->setRange(-kMaxOffset, kMaxOffset);
            box->setAlignment(Qt::AlignRight);
            connect(box, &QSpinBox::valueChanged, this, [this, slot, box] { Apply(slot, box); });
        }
        QWidget* boxes[] = {f.zoom, f.angle, f.x, f.y};
        for (int row = 0; row < 4; ++row) {
            grid->addWidget(boxes[row], row + 1, column);
            boxes[row]->setEnabled(m_doc.GetFrame(slot) != nullptr);
        }
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(res::kOkButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(res::kCancelButton, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPlacementDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPlacementDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    Show();
}

void CPlacementDlg::Show() {
    m_bShowing = true;
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        const Fields& f = m_fields[Index(slot)];
        if (const CPictFrame* frame = m_doc.GetFrame(slot)) {
            f.zoom->setValue(frame->zoom * 100);
            f.angle->setValue(frame->angle * 180 / std::numbers::pi);
            f.x->setValue(frame->offset.x);
            f.y->setValue(frame->offset.y);
        }
    }
    m_bShowing = false;
}

void CPlacementDlg::Apply(ESlot slot, const QWidget* typed) {
    const CPictFrame* frame = m_doc.GetFrame(slot);
    if (m_bShowing || !frame) {
        return;
    }
    const Fields& f = m_fields[Index(slot)];
    FramePlacement placement = frame->Placement();
    if (typed == f.zoom) {
        placement.zoom = f.zoom->value() / 100;
    } else if (typed == f.angle) {
        placement.angle = f.angle->value() * std::numbers::pi / 180;
    } else if (typed == f.x) {
        placement.offset.x = f.x->value();
    } else if (typed == f.y) {
        placement.offset.y = f.y->value();
    }
    m_doc.ApplyPlacement(slot, placement, EditKind::Placement, m_nGesture);
}

void CPlacementDlg::reject() {
    m_doc.AbandonGesture(m_nGesture);
    QDialog::reject();
}

} // namespace vx::ui
