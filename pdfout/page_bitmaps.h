#pragma once

// The bilevel pages of a PDF-ready TIFF as bitmaps for text recognition, read from the same
// file the PDF writer reads, so the text found belongs to exactly the pixels the PDF shows.

#include <cstddef>
#include <memory>
#include <string>

#include "ocr/PageText.h"

namespace tarnwell {

class TiffPageBitmaps {
 public:
  TiffPageBitmaps();
  ~TiffPageBitmaps();
  TiffPageBitmaps(const TiffPageBitmaps&) = delete;
  TiffPageBitmaps& operator=(const TiffPageBitmaps&) = delete;

  // Opens the TIFF; false when it cannot be read.
  [[nodiscard]] bool open(const std::string& path) noexcept;
  // Number of TIFF directories (0 before a successful open).
  [[nodiscard]] std::size_t directoryCount() const noexcept { return directories_; }
  // The bitmap of one directory, 1 bits white. A one-strip Group 4 page is decoded with the
  // program's own fax decoder; other bilevel codings through libtiff. False for a directory
  // that is not a one-bit page or does not decode; rows the data does not reach stay white.
  [[nodiscard]] bool load(std::size_t directory, ocr::PageBitmap& bitmap) noexcept;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::size_t directories_ = 0;
};

}  // namespace tarnwell
