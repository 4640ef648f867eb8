#include "base/MyException.h"

#include "base/Platform.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <cstdio>

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

void CMyException::Report(IPlatform& ui) const {
    if (m_nError > 0) {
        ui.MessageBox(Message(), MsgButtons::Ok, MsgIcon::None);
    }
}

} // namespace vx
