#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pdfout/copy/tiff_copy_options.h"

namespace tarnwell {

// Results of the copy (the int the entry points return).
enum class TiffCopyResult : int {
  kCopied = 0,
  kImageFailed = 1,    // an image of the source cannot be copied
  kOutputFailed = -2,  // the output TIFF cannot be made
  kSourceFailed = -3,  // the source cannot be opened, or its image list names no image
};

// What a result of the copy means, in a few words.
const char* tiffCopyResultText(int result);

// One copy: what to copy where, and how.
struct TiffCopyRequest {
  // The source TIFF's name, optionally followed by an image list (",1,0,5").
  std::string source;
  std::string output;
  // The compression choice of this copy is options.compression (6 Group 4, -1 keep the source's).
  TiffCopyOptions options;
  // For each directory of the source, from 0: whether its strip is Group 4 this program coded
  // itself from decoded rows, or checked whole already. Such a strip is known to decode whole and
  // is passed through without being decoded once more to prove it. Empty: every page is checked.
  std::vector<bool> wholeGroup4;
};

// What the copy did: the result, and on failure why ("TIFF directory N: " counting from 1 when
// an image failed, then the first error libtiff or the copy reported during the call, or the
// result's own text when there was none).
struct TiffCopyOutcome {
  TiffCopyResult result = TiffCopyResult::kCopied;
  std::string reason;
};

// Copies the images of a TIFF into a fresh PDF-ready TIFF with libtiff.
[[nodiscard]] TiffCopyOutcome tiff_copy_file(const TiffCopyRequest& request);

// Copies the images of a TIFF into a fresh PDF-ready TIFF with libtiff. 0 on success.
[[nodiscard]] int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                                 const TiffCopyOptions& options);

// The same with the compression choice given apart from the other options (it replaces
// options.compression): the driver keeps one set of options and picks the compression per file.
[[nodiscard]] int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                                 const TiffCopyOptions& options, int32_t compression);

// The same, giving on failure the reason in `reason`: "TIFF directory N: " (counting from 1) when
// an image failed, then the first error libtiff or the copy reported during the call, or the
// result's own text when there was none.
[[nodiscard]] int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                                 const TiffCopyOptions& options, int32_t compression,
                                 std::string& reason);

// The same for a TIFF whose pages marked in `wholeGroup4Pages` (by directory, from 0) hold
// Group 4 strips this program coded itself from decoded rows: they are known to decode whole, so
// such a strip is passed through without being decoded once more to prove it. Every other page
// is copied as tiff_copy_file copies it.
[[nodiscard]] int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                                 const TiffCopyOptions& options, int32_t compression,
                                 const std::vector<bool>& wholeGroup4Pages, std::string& reason);

// The same for a TIFF held in memory (no image list): the bytes are read through libtiff's client
// interface instead of a file.
[[nodiscard]] int tiff_copy_buffer(std::span<const uint8_t> source, const std::string& outputPath,
                                   const TiffCopyOptions& options, int32_t compression);

}  // namespace tarnwell
