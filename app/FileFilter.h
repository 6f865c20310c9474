#pragma once

#include <string_view>

namespace tarnwell {

// Whether a directory entry's name matches a file name pattern of the directory walk: "*" any
// run of characters, "?" exactly one character, ASCII letters in any case. As on the desktop
// the pattern came from, "*.*" matches every name, and a pattern ending in ".*" also matches a
// name without any dot ("abc.*" matches "abc").
[[nodiscard]] bool matchesFilter(std::string_view name, std::string_view pattern);

}  // namespace tarnwell
