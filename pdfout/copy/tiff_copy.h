#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pdfout/copy/tiff_copy_options.h"

namespace tarnwell {

// Copies the images of a TIFF into a fresh PDF-ready TIFF with libtiff. 0 on success.
[[nodiscard]] int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                                 const TiffCopyOptions& options);

// The same with the compression choice given apart from the other options (it replaces
// options.compression): the driver keeps one set of options and picks the compression per file.
[[nodiscard]] int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                                 const TiffCopyOptions& options, int32_t compression);

// The same for a TIFF held in memory (no image list): the bytes are read through libtiff's client
// interface instead of a file.
[[nodiscard]] int tiff_copy_buffer(std::span<const uint8_t> source, const std::string& outputPath,
                                   const TiffCopyOptions& options, int32_t compression);

}  // namespace tarnwell
