// Fuzz target for the container readers: the first input byte picks one of the container rows of
// the format table, in code order, the rest is the file. The reader is driven as the engine drives it: header check, page count, page
// descriptions, then one of the two write variants. The reader reads the input straight from
// memory; only the output TIFFs (and the DS source, which its reader unpacks by path) go to
// files, in one scratch directory on /dev/shm reused by every input. Everything runs under the
// program's own limits; inputs above 1 MiB are skipped.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "faxin/FaxFormat.h"
#include "codec/FaxPage.h"
#include "faxin/FormatTable.h"
#include "faxin/readers/ReaderFactory.h"
#include "fuzz/FuzzSupport.h"

namespace {

// The container codes in table order; codes without a reader of their own are simply skipped.
std::vector<tarnwell::FaxFormat> containerCodes() {
  std::vector<tarnwell::FaxFormat> codes;
  for (const tarnwell::FormatRow& row : tarnwell::formatTable())
    if (row.container) codes.push_back(row.code);
  return codes;
}

// The scratch directory and the files in it, made once for every input.
struct Workspace {
  tarnwell::fuzz::ScratchDirectory directory{"readers"};
  std::string source = directory.file("reader.in");
  std::string output = directory.file("reader.tif");
  std::string scratch = directory.file("scratch.tif");
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  if (size < 1 || size > (std::size_t{1} << 20)) return 0;
  static const std::vector<FaxFormat> codes = containerCodes();
  const FaxFormat format = codes[data[0] % codes.size()];
  const std::span<const uint8_t> file(data + 1, size - 1);

  static const Workspace workspace;
  // The engine writes a file one way or the other, never both: bit 0x40 of the first byte picks
  // the one-file-per-page variant where the reader has it, bit 0x80 the line recount.
  EngineSetup setup;
  setup.files.scratchTiffPath = workspace.scratch;
  setup.settings.recountLines = (data[0] & 0x80) != 0 ? 1 : 0;
  auto reader = makeFaxReader(format, setup);
  if (!reader) return 0;
  if (reader->needsScratchTiff()) {
    // DS: the pages are cut out into a page file and gathered in a scratch TIFF of this process.
    // AWD would run the external converter: nothing of its own to read.
    if (format != FaxFormat::kAwd) {
      if (std::FILE* f = std::fopen(workspace.source.c_str(), "wb")) {
        if (!file.empty()) std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
      }
      (void)reader->makeScratchTiff(workspace.source);
    }
    std::remove(workspace.scratch.c_str());
    std::remove((workspace.scratch + ".tiff").c_str());
    return 0;
  }
  if (!reader->openBytes(file)) return 0;
  if (reader->hasHeaderCheck() && reader->checkHeader() != 0) return 0;
  const uint16_t count = reader->countPages();
  if (count == 0) return 0;
  FaxPage page;
  (void)reader->describePage(0, page);
  if (page.rows > 0 && page.bytesPerRow > 0 &&
      page.bitmap.size() < std::size_t(page.rows) * std::size_t(page.bytesPerRow)) {
    __builtin_trap();  // a page record that claims more rows than its bitmap holds
  }
  if (count > 1) (void)reader->describePage(count - 1, page);
  if (reader->canWriteEachPage() && (data[0] & 0x40) != 0) {
    (void)reader->writeEachPage(workspace.output, count);
    for (int i = 0; i < count; ++i) {
      const int number = FaxReader::kFirstPageFileNumber + i;
      std::remove(FaxReader::pageFileName(workspace.output, number).c_str());
    }
  } else {
    (void)reader->writeAll(workspace.output, count);
  }
  return 0;
}
