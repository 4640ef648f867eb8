#include "movie/IndexProgressDialog.h"

#include <algorithm>

namespace vx {

CIndexProgressDialog::CIndexProgressDialog(IPlatform& ui, std::chrono::milliseconds delay)
    : m_ui(ui), m_delay(delay), m_start(std::chrono::steady_clock::now()) {}

IndexProgress CIndexProgressDialog::Callback() {
    return [this](int64_t done, int64_t total) { return Step(done, total); };
}

bool CIndexProgressDialog::Step(int64_t done, int64_t total) {
    if (!m_pDialog) {
        if (std::chrono::steady_clock::now() - m_start < m_delay) {
            return true;
        }
        m_pDialog = m_ui.OpenProgressDialog(kText, true);
        if (!m_pDialog) {
            return true;
        }
    }
    // The bar counts in 1/1000 so that sizes beyond int fit.
    const int permille = total > 0 ? int(std::min<int64_t>(1000, done * 1000 / total)) : 0;
    m_pDialog->SetProgress(permille, total > 0 ? 1000 : 0);
    return !m_pDialog->Cancelled();
}

} // namespace vx
