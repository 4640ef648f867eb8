// The string table: every user-visible text by its identifier, exactly as the resources hold it.
#pragma once

#include <string>

namespace res {

// The text of string `id`, or an empty string when the table has no such entry.
const std::string& LoadString(unsigned id);

} // namespace res
