// libFuzzer target: the raw fax analysis and the page steps behind it on arbitrary bytes.
// The first byte chooses the options (bit order, non-standard widths, flagless Group 4, a low row
// threshold so that short inputs reach the measuring passes and the TIFF writing).

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "faxin/EngineSettings.h"
#include "faxin/FaxPage.h"
#include "faxin/raw/RawFaxReader.h"

namespace {

std::string scratch(const char* name) {
  return "/tmp/fuzz_raw_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  const std::string source = scratch("src.g3");
  if (std::FILE* f = std::fopen(source.c_str(), "wb")) {
    if (size > 1) std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  }

  tarnwell::EngineSettings settings;
  settings.workFilePath = scratch("work.tmp");
  settings.segmentFilePath = scratch("seg.tmp");
  settings.threshold = static_cast<uint16_t>(2 + (options >> 5));
  settings.flagNum = 3;
  settings.bitOrder = options & 3;
  settings.nonStandardWidth = (options >> 2) & 1;
  settings.rawFax = (options >> 3) & 1;
  settings.minWidth = (options & 0x10) ? 16 : 1728;

  tarnwell::RawFaxReader reader;
  if (reader.open(source) != 0) return 0;
  reader.configure(settings);
  if (reader.analyse(settings.bitOrder, settings.nonStandardWidth) < 0) return 0;
  tarnwell::FaxPage page;
  if (reader.readWorkHeader(page) != 0) return 0;
  reader.setPageLength(page.pageSize, page.yResolution);
  const int pages = reader.countPages();
  if (pages > 0) {
    (void)reader.describePage(0, page);
    (void)reader.describePage(pages - 1, page);
  }
  (void)reader.writeAll(scratch("out.tif"), page);
  return 0;
}
