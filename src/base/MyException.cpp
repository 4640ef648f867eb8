#include "base/MyException.h"

#include "base/Platform.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <cstdio>
#include <filesystem>

namespace vx {

std::string CMyException::Message() const {
    if (m_nError <= 0) {
        return {};
    }
    const std::string& header = res::LoadString(res::IDS_ERROR_NUMBER);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, header.c_str(), m_nError);
    unsigned id =
        (m_nError >= 1 && m_nError <= 9) ? res::IDS_ERROR_BASE + m_nError : res::IDS_SUPPORT;
    return std::string(buffer) + "\n" + res::LoadString(id);
}

std::string CMyException::FileDetails(const std::string& path, const std::string& reason) {
    const std::string name = std::filesystem::path(path).filename().string();
    if (reason.empty()) {
        return name;
    }
    return name.empty() ? reason : res::FormatString(res::IDS_FILE_REASON, {name, reason});
}

void CMyException::Report(IPlatform& ui) const {
    if (m_nError > 0) {
        ui.MessageBox(Message(), MsgButtons::Ok, MsgIcon::None, m_strDetails);
    }
}

} // namespace vx
