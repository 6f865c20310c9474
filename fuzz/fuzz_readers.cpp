// Fuzz target for the container readers: the first input byte picks the container code, the rest
// is the file. The reader is driven as the engine drives it: header check, page count, page
// descriptions, then both write variants.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "faxin/FaxPage.h"
#include "faxin/readers/ReaderFactory.h"

namespace {

std::string scratchPath(const char* name) {
  return "/tmp/trwfuzz_" + std::to_string(getpid()) + "_" + name;
}

// Codes 1 to 17 in turn; codes without a reader of their own are simply skipped.
constexpr int kCodes = 17;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  if (size < 1 || size > (std::size_t{1} << 20)) return 0;
  const int code = 1 + data[0] % kCodes;

  static const std::string source = scratchPath("reader.in");
  static const std::string output = scratchPath("reader.tif");
  if (std::FILE* f = std::fopen(source.c_str(), "wb")) {
    if (size > 1) std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  }
  auto reader = makeFaxReader(static_cast<FaxFormat>(code));
  // Readers that go through a scratch TIFF (AWD) have nothing of their own to read.
  if (!reader || reader->needsScratchTiff() || !reader->open(source)) return 0;
  if (reader->hasHeaderCheck() && reader->checkHeader() != 0) return 0;
  const uint16_t count = reader->countPages();
  if (count == 0) return 0;
  FaxPage page;
  (void)reader->describePage(0, page);
  if (page.rows > 0 && page.bytesPerRow > 0 &&
      page.bitmap.size() < std::size_t(page.rows) * std::size_t(page.bytesPerRow)) {
    __builtin_trap();  // a page record that claims more rows than its bitmap holds
  }
  (void)reader->describePage(count - 1, page);
  (void)reader->writeAll(output, count, (data[0] & 0x80) != 0);
  if (reader->canWriteEachPage() && count <= 4) {
    (void)reader->writeEachPage(output, count, false);
    for (int i = 0; i < count; ++i) {
      std::remove(FaxReader::pageFileName(output, FaxReader::kFirstPageFileNumber + i).c_str());
    }
  }
  return 0;
}
