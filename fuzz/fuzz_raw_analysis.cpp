// libFuzzer target: the raw fax analysis and the page steps behind it on arbitrary bytes.
// The first byte chooses the options (bit order, non-standard widths, flagless Group 4, a low row
// threshold so that short inputs reach the measuring passes and the TIFF writing).
//
// The input reaches the reader as bytes in memory; the working files live in one directory made
// once per process, under /dev/shm when it exists, so that an input costs no file system work
// beyond the working files themselves.

#include <cstdint>
#include <span>
#include <string>

#include "faxin/EngineSettings.h"
#include "codec/FaxPage.h"
#include "faxin/raw/RawFaxReader.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Rows the analysis records at most. A byte of blank Group 4 codes is eight rows, and without a
// limit inputs of a few KB ran tens of thousands of rows through the same code, at a quarter of
// the inputs per second. 2,048 rows are almost two pages at the shortest page length (1,144 rows),
// so the cut into pages, the joins and the recorder's stop when full are all reached; the
// resolution estimates of longer runs are the unit tests' job.
constexpr uint32_t kRowLimit = 2048;

const std::string& scratchDirectory() {
  static const tarnwell::fuzz::ScratchDirectory directory("raw");
  return directory.prefix();
}

std::string scratch(const char* name) { return scratchDirectory() + name; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];

  tarnwell::EngineSetup setup;
  setup.files.workFilePath = scratch("work.tmp");
  setup.files.segmentFilePath = scratch("seg.tmp");
  setup.settings.threshold = static_cast<uint16_t>(2 + (options >> 5));
  setup.settings.flagNum = 3;
  setup.settings.bitOrder = options & 3;
  setup.settings.nonStandardWidth = (options >> 2) & 1;
  setup.settings.rawFax = (options >> 3) & 1;
  setup.settings.minWidth = (options & 0x10) ? 16 : 1728;

  tarnwell::RawFaxReader reader(setup, {.rowLimit = kRowLimit});
  const std::span<const uint8_t> stream(data + 1, size - 1);
  reader.openBytes(stream);
  reader.setSourceBytes(stream);
  if (reader.analyse(setup.settings.bitOrder, setup.settings.nonStandardWidth) < 0) return 0;
  tarnwell::FaxPage page;
  if (reader.readWorkHeader(page) != 0) return 0;
  reader.setPageLength(page.pageSize, page.yResolution);
  const int pages = reader.countWorkPages();
  if (pages > 0) (void)reader.describePage(0, page);
  if (pages > 1) (void)reader.describePage(pages - 1, page);
  (void)reader.writeSlices(scratch("out.tif"), page);
  return 0;
}
