// Reads arbitrary bytes as an image file the way the Load command does: through the picture's
// file constructor, every "Locate file?" answered No.
#include "base/MyException.h"
#include "picture/DibImage.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vx::test::TempDir dir;
    static const std::string path = dir.File("input");
    vx::test::WriteWholeFile(path, std::string(reinterpret_cast<const char*>(data), size));
    vx::test::ScriptedPlatform ui;
    ui.messageAnswers.push_back(vx::MsgResult::No);
    try {
        auto image = std::make_unique<vx::CDibImage>(ui, path, true);
        // A picture that loads is whole: touch its last row.
        volatile uint8_t last = image->Row(image->Height() - 1)[3 * image->Width() - 1];
        (void)last;
    } catch (const vx::CMyException& e) {
        if (e.m_nError != 3 && e.m_nError != 4) {
            __builtin_trap();
        }
    }
    return 0;
}
