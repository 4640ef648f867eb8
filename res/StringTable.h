// The string table: every user-visible text by its identifier, exactly as the resources hold it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace res {

// The text of string `id`, or an empty string when the table has no such entry.
const std::string& LoadString(unsigned id);

// The text of string `id` with each "%s" replaced by the next of `args`, in order; a "%s" past
// the last argument stays as it is.
std::string FormatString(unsigned id, std::initializer_list<std::string_view> args);

} // namespace res
