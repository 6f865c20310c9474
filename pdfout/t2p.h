#pragma once

#include <string>

namespace tarnwell {

// Writes a PDF with one page per TIFF directory. compression: 0 default, 3 no compression.
// 0 on success, 1 on failure; a failed conversion leaves no output file behind.
[[nodiscard]] int t2p_convert_file(const std::string& inputPath, const std::string& outputPath,
                                   int compression);

}  // namespace tarnwell
