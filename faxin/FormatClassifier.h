#pragma once

#include <string>

#include "faxin/FaxFormat.h"

namespace tarnwell {

// The container code of a file, chosen from the last characters of its path (compared without
// regard to ASCII letter case) by the endings of the format table. Only paths whose ending needs
// a look into the file ("G3F") are opened, to probe their header.
[[nodiscard]] FaxFormat classifyFile(const std::string& path);

}  // namespace tarnwell
