// Fuzz target for the engine's own TIFF reader: header, directory chain, strips, page description
// and the copy into an intermediate TIFF, on arbitrary bytes. The reader reads the input from
// memory; its output TIFF goes to one scratch directory on /dev/shm reused by every input.
//
// Every page of the chain is described once, through the reader (its directory walk, directory
// parsing and page describer are the TIFF view's); the engine
// itself describes only the first page, so the others are described here for the fuzzer's sake.
// Everything runs under the program's own limits.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "codec/FaxPage.h"
#include "faxin/readers/TiffFaxReader.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  static const fuzz::ScratchDirectory directory("tiff_reader");
  static const std::string output = directory.file("out.tif");

  TiffFaxReader reader;
  if (!reader.openBytes(std::span<const uint8_t>(data, size)) || reader.checkHeader() != 0) {
    return 0;
  }
  const uint16_t count = reader.countPages();
  for (int i = 0; i < count; ++i) {
    FaxPage page;
    (void)reader.describePage(i, page);
    if (page.rows > 0 && page.bitmap.size() != size_t(page.rows) * size_t(page.bytesPerRow)) {
      __builtin_trap();  // a page record whose bitmap is not rows times the row length
    }
  }
  if (count > 0) (void)reader.writeAll(output, count);
  return 0;
}
