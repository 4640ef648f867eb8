// What must hold for any INI text: shared by the INI fuzz target and the test that replays the
// files it found.
#pragma once

#include <string>

namespace vx::test {

// Parses `text`, edits it with names found in it and with values taken from it, saves and
// reloads it in `folder`, and runs the private-profile calls on a file there. Returns the first
// rule broken, empty when all hold.
std::string CheckIniText(const std::string& text, const std::string& folder);

} // namespace vx::test
