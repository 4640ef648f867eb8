// The progress callback of file reads and writes: a progress dialog from Begin to End, with a
// Cancel button where the caller allows it.
#pragma once

#include "base/Platform.h"
#include "imageio/ImExp.h"

#include <memory>
#include <string>

namespace vx {

class CFileProgress : public CProgress {
public:
    CFileProgress(IPlatform& ui, const std::string& path, bool cancelAllowed);
    ~CFileProgress() override;

    void Begin() override;
    void End() override;
    // 0 once the user has cancelled. The dialog keeps the interface alive while it updates.
    int Step(int done, int total) override;

    const std::string& Name() const { return m_strName; }

private:
    IPlatform& m_ui;
    std::string m_strName;
    bool m_bCancelAllowed;
    std::unique_ptr<IProgressDialog> m_pDialog;
};

} // namespace vx
