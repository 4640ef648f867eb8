#include "ui/ProgressDlg.h"

#include "res/UiTables.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vx::ui {

CProgressDlg::CProgressDlg(const std::string& text, bool cancelAllowed, QWidget* parent)
    : QDialog(parent), m_bCancelAllowed(cancelAllowed) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromStdString(text), this);
    label->setAlignment(Qt::AlignCenter);
    m_pBar = new QProgressBar(this);
    m_pBar->setTextVisible(false);
    m_pCancel = new QPushButton(res::kProgressCancel, this);
    m_pCancel->setDefault(true);
    m_pCancel->setEnabled(cancelAllowed);
    connect(m_pCancel, &QPushButton::clicked, this, &CProgressDlg::reject);
    layout->addWidget(label);
    layout->addWidget(m_pBar);
    layout->addWidget(m_pCancel, 0, Qt::AlignCenter);
    setMinimumWidth(400);
    show();
}

void CProgressDlg::SetProgress(int done, int total) {
    // The whole total sets the range (no 16-bit cut).
    m_pBar->setRange(0, total);
    m_pBar->setValue(total > 0 ? std::min(done, total) : 0);
    // Keep the program alive while the caller works; a quit stays pending for the main loop.
    QCoreApplication::processEvents();
}

void CProgressDlg::reject() {
    m_bCancelled = m_bCancelAllowed;
}

} // namespace vx::ui
