#include "ui/AspectDlg.h"

#include "base/Platform.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "res/UiTables.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <iterator>
#include <string>

namespace vx::ui {

namespace {

struct PresetRatio {
    unsigned id;
    int width;
    int height;
};

// In the order of the buttons' texts in the resources.
constexpr PresetRatio kPresets[5] = {
    {res::IDC_ASPECT_1_1, 1, 1},   {res::IDC_ASPECT_3_2, 3, 2},     {res::IDC_ASPECT_4_3, 4, 3},
    {res::IDC_ASPECT_16_9, 16, 9}, {res::IDC_ASPECT_25_16, 25, 16},
};

} // namespace

CAspectSpin::CAspectSpin(QWidget* parent) : QSpinBox(parent) {
    setRange(0, INT_MAX); // typed text is checked on OK, not bound here
    setGroupSeparatorShown(false);
    setAlignment(Qt::AlignRight);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

void CAspectSpin::stepBy(int steps) {
    const long long next = static_cast<long long>(value()) + steps;
    setValue(static_cast<int>(std::clamp<long long>(next, kMin, kMax)));
    selectAll();
}

QAbstractSpinBox::StepEnabled CAspectSpin::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (value() < kMax) {
        enabled |= StepUpEnabled;
    }
    if (value() > kMin) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

CAspectDlg::CAspectDlg(IPlatform* ui, QWidget* parent) : QDialog(parent), m_pUi(ui) {
    setWindowTitle(res::kAspectTitle);
    setObjectName("AspectDlg");

    auto* label = new QLabel(res::kAspectPrompt, this);
    m_pWidth = new CAspectSpin(this);
    m_pWidth->setObjectName("Edit1001");
    auto* colon = new QLabel(res::kAspectColon, this);
    colon->setAlignment(Qt::AlignCenter);
    m_pHeight = new CAspectSpin(this);
    m_pHeight->setObjectName("Edit1002");
    label->setBuddy(m_pWidth);
    colon->setBuddy(m_pHeight);

    auto* terms = new QHBoxLayout;
    terms->addWidget(m_pWidth, 1);
    terms->addWidget(colon);
    terms->addWidget(m_pHeight, 1);

    auto* presets = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        const PresetRatio& preset = kPresets[i];
        m_presets[i] = new QPushButton(res::kAspectPresets[i], this);
        m_presets[i]->setAutoDefault(false);
        connect(m_presets[i], &QPushButton::clicked, this, [this, preset] {
            m_pWidth->setValue(preset.width);
            m_pHeight->setValue(preset.height);
        });
        presets->addWidget(m_presets[i]);
    }

    auto* left = new QVBoxLayout;
    left->addWidget(label);
    left->addLayout(terms);
    left->addLayout(presets);
    left->addStretch(1);

    m_pOk = new QPushButton(res::kOkButton, this);
    m_pOk->setDefault(true);
    auto* cancel = new QPushButton(res::kCancelButton, this);
    connect(m_pOk, &QPushButton::clicked, this, &CAspectDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAspectDlg::reject);
    auto* right = new QVBoxLayout;
    right->addWidget(m_pOk);
    right->addWidget(cancel);
    right->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    // The tab order of the resource: the fields, the presets, OK and Cancel.
    QWidget* order[] = {m_pWidth,     m_pHeight,    m_presets[0], m_presets[1], m_presets[2],
                        m_presets[3], m_presets[4], m_pOk,        cancel};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void CAspectDlg::OnInitDialog() {
    m_pWidth->setValue(m_nWidth);
    m_pHeight->setValue(m_nHeight);
    m_pWidth->setFocus();
    m_pWidth->selectAll();
}

bool CAspectDlg::Exchange(CAspectSpin* edit, int& value) {
    bool ok = false;
    const QString text = edit->text().trimmed();
    const long long typed = text.toLongLong(&ok);
    std::string refusal;
    if (!ok) {
        refusal = res::LoadString(res::IDS_ENTER_INTEGER);
    } else if (typed < CAspectSpin::kMin || typed > CAspectSpin::kMax) {
        refusal =
            res::FormatString(res::IDS_ENTER_INTEGER_RANGE, {std::to_string(CAspectSpin::kMin),
                                                             std::to_string(CAspectSpin::kMax)});
    }
    if (!refusal.empty()) {
        if (m_pUi) {
            m_pUi->MessageBox(refusal, MsgButtons::Ok, MsgIcon::Exclamation);
        } else {
            QMessageBox::warning(this, windowTitle(), QString::fromStdString(refusal));
        }
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = static_cast<int>(typed);
    return true;
}

void CAspectDlg::accept() {
    int width = 0;
    int height = 0;
    if (!Exchange(m_pWidth, width) || !Exchange(m_pHeight, height)) {
        return; // stays open on the offending field
    }
    m_nWidth = width;
    m_nHeight = height;
    QDialog::accept();
}

} // namespace vx::ui
