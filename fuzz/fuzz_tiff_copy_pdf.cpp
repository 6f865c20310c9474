// Fuzz target for the PDF output stage: TIFF bytes through the TIFF page copy (read from memory
// by tiff_copy_buffer) and the PDF writer (t2p_convert_file), as the driver chains them. Inputs
// above 512 KiB are skipped; everything else runs under the program's own limits.
// The low bit of the size picks the copy's compression choice: keep the source's (a TIFF source)
// or Group 4 (the engine's intermediate TIFF).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "pdfout/tiffio/messages.h"
#include "pdfout/pdf/t2p.h"
#include "pdfout/copy/tiff_copy.h"

namespace {

constexpr std::size_t kMaxInput = std::size_t{512} * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  if (size > kMaxInput) return 0;
  static const bool silenced = (silenceTiffMessages(), true);
  (void)silenced;

  static const fuzz::ScratchDirectory directory("tiff_copy_pdf");
  static const std::string ready = directory.file("ready.tif");
  static const std::string pdf = directory.file("out.pdf");
  const int32_t compression = (size & 1) != 0 ? -1 : 6;
  if (tiff_copy_buffer(std::span<const uint8_t>(data, size), ready,
                       TiffCopyOptions{.compression = compression}) == TiffCopyResult::kCopied) {
    (void)t2p_convert_file(ready, pdf);
  }
  std::remove(pdf.c_str());
  std::remove(ready.c_str());
  return 0;
}
