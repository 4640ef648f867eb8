#include "base/Platform.h"

namespace vx {

std::string FileDialogOptions::SuffixFor(int index) const {
    // Entries are "label|patterns" pairs; the patterns of entry `index` are field 2 * index + 1.
    std::size_t begin = 0;
    for (int field = 0; field < 2 * index + 1; ++field) {
        begin = filter.find('|', begin);
        if (begin == std::string::npos) {
            return defaultExt;
        }
        ++begin;
    }
    const std::string patterns = filter.substr(begin, filter.find('|', begin) - begin);
    const std::string first = patterns.substr(0, patterns.find(';'));
    if (first.size() > 2 && first.compare(0, 2, "*.") == 0 &&
        first.find_first_of("*?[", 2) == std::string::npos) {
        return first.substr(2);
    }
    return defaultExt;
}

} // namespace vx
