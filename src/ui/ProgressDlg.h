// The modeless progress dialog: a centred text, a bar and Cancel.
#pragma once

#include "base/Platform.h"

#include <QDialog>

class QProgressBar;
class QPushButton;

namespace vx::ui {

class CProgressDlg : public QDialog, public IProgressDialog {
    Q_OBJECT
public:
    CProgressDlg(const std::string& text, bool cancelAllowed, QWidget* parent);

    void SetProgress(int done, int total) override;
    bool Cancelled() override { return m_bCancelled; }
    void reject() override; // Cancel and Esc land here; the dialog stays open

    QProgressBar* Bar() const { return m_pBar; }
    QPushButton* CancelButton() const { return m_pCancel; }

private:
    bool m_bCancelled = false;
    bool m_bCancelAllowed;
    QProgressBar* m_pBar;
    QPushButton* m_pCancel;
};

} // namespace vx::ui
