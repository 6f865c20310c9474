// Fuzz target for the engine's own TIFF reader: header, directory chain, strips, page description
// and the copy into an intermediate TIFF, on arbitrary bytes. The reader reads the input from
// memory; its output TIFF goes to one scratch directory on /dev/shm reused by every input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "faxin/FaxPage.h"
#include "faxin/tiff/TiffDirectory.h"
#include "faxin/readers/TiffFaxReader.h"
#include "faxin/tiff/TiffPageDescriber.h"
#include "fuzz/FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  std::span<const uint8_t> bytes(data, size);

  // In memory: every page of the chain described, with small limits so big claims stay cheap.
  TiffView view(bytes);
  TiffHeader header;
  if (view.readHeader(header) == 0) {
    for (uint32_t position : view.walkChain(header.firstDirectory)) {
      std::vector<TiffEntry> entries;
      uint32_t next = 0;
      if (view.readDirectory(position, entries, next) <= 0) continue;
      TiffPageInfo info = view.parseDirectory(entries);
      FaxPage page;
      describeTiffPage(view, info, page, DescribeLimits{8192, std::size_t{1} << 22});
      if (page.rows > 0 && page.bitmap.size() != size_t(page.rows) * size_t(page.bytesPerRow)) {
        __builtin_trap();
      }
    }
  }

  // The reader as the engine drives it, then the copy.
  static const tarnwell::fuzz::ScratchDirectory directory("tiff_reader");
  static const std::string output = directory.file("out.tif");
  TiffFaxReader reader;
  reader.setDescribeLimits(DescribeLimits{8192, std::size_t{1} << 22});
  if (reader.openBytes(bytes) && reader.checkHeader() == 0) {
    uint16_t count = reader.countPages();
    if (count > 0) {
      FaxPage page;
      (void)reader.describePage(0, page);
      (void)reader.writeAll(output, count);
    }
  }
  return 0;
}
