#pragma once

#include <string>

#include "faxin/FaxFormat.h"

namespace tarnwell {

// The container code of a file, chosen from the last characters of its path (compared without
// regard to ASCII letter case). Only paths ending in "G3F" are opened, to probe their header.
[[nodiscard]] FaxFormat classifyFile(const std::string& path);

// Looks at the first bytes of a "G3F" file: 16 when it begins like a little-endian TIFF,
// 11 when it carries the PC Research header, 0 otherwise (also when it cannot be read).
[[nodiscard]] FaxFormat probeG3fHeader(const std::string& path);

}  // namespace tarnwell
