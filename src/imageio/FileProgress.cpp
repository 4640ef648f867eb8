#include "imageio/FileProgress.h"

namespace vx {

CFileProgress::CFileProgress(IPlatform& ui, const std::string& path, bool cancelAllowed)
    : m_ui(ui), m_strName(path.substr(path.find_last_of('/') + 1)),
      m_bCancelAllowed(cancelAllowed) {}

CFileProgress::~CFileProgress() = default;

void CFileProgress::Begin() {
    m_pDialog = m_ui.OpenProgressDialog(m_strName, m_bCancelAllowed);
}

void CFileProgress::End() {
    m_pDialog.reset();
}

int CFileProgress::Step(int done, int total) {
    if (!m_pDialog) {
        return 1;
    }
    if (m_bCancelAllowed && m_pDialog->Cancelled()) {
        return 0;
    }
    // The bar takes the whole total, however large.
    m_pDialog->SetProgress(done, total);
    return 1;
}

} // namespace vx
