#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pdfout/copy/tiff_copy_options.h"

namespace tarnwell {

// Results of the copy.
enum class TiffCopyResult : int {
  kCopied = 0,
  kImageFailed = 1,    // an image of the source cannot be copied
  kOutputFailed = -2,  // the output TIFF cannot be made
  kSourceFailed = -3,  // the source cannot be opened, or its image list names no image
};

// What a result of the copy means, in a few words.
const char* tiffCopyResultText(TiffCopyResult result);

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
  std::vector<bool> wholeGroup4 = {};
  // Helper threads that may check the other Group 4 strips while they are copied
  // (WholeStripChecks); -1: one per spare core.
  int checkHelpers = -1;
};

// What the copy did: the result, and on failure why ("TIFF directory N: " counting from 1 when
// an image failed, then the first error libtiff or the copy reported during the call, or the
// result's own text when there was none).
struct TiffCopyOutcome {
  TiffCopyResult result = TiffCopyResult::kCopied;
  std::string reason;
};

// Copies the images of a TIFF into a fresh PDF-ready TIFF with libtiff (or appends them, with
// options.append). A clean one-strip Group 4 page going to Group 4 keeps its coded bytes; every
// other page is decoded and encoded again.
[[nodiscard]] TiffCopyOutcome tiff_copy_file(const TiffCopyRequest& request);

// The same for a TIFF held in memory (no image list, no marks): the bytes are read through
// libtiff's client interface instead of a file.
[[nodiscard]] TiffCopyResult tiff_copy_buffer(std::span<const uint8_t> source,
                                              const std::string& outputPath,
                                              const TiffCopyOptions& options);

}  // namespace tarnwell
