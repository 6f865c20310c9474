// PackBits re-encoding of a decoded A4 fine page, and the fax TIFF writer appending pages.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <vector>

#include "faxin/tiff/FaxTiffWriter.h"
#include "faxin/readers/PackBits.h"

namespace {

constexpr uint32_t kWidth = 1728;
constexpr uint32_t kRows = 2200;
constexpr std::size_t kRowBytes = kWidth / 8;

// Text-like page: mostly white rows, some rows of short black and white runs.
std::vector<uint8_t> textPage() {
  std::vector<uint8_t> page(kRowBytes * kRows, 0xFF);
  std::mt19937 gen(1);
  for (uint32_t r = 0; r < kRows; ++r) {
    if ((r / 12) % 3 != 0) continue;
    uint32_t x = 100;
    while (x < kWidth - 100) {
      const uint32_t run = 1 + gen() % 12;
      for (uint32_t i = 0; i < run && x < kWidth; ++i, ++x) {
        page[r * kRowBytes + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
      }
      x += 1 + gen() % 20;
    }
  }
  return page;
}

void BM_PackBitsPage(benchmark::State& state) {
  const std::vector<uint8_t> page = textPage();
  std::vector<uint8_t> out(page.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarnwell::packBitsEncodeRows(page, out, kRowBytes));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PackBitsPage);

void BM_WriterTenPages(benchmark::State& state) {
  const std::vector<uint8_t> data(60000, 0x5A);
  const std::string path =
      (std::filesystem::temp_directory_path() / "tarnwell-bench-writer.tif").string();
  for (auto _ : state) {
    tarnwell::FaxTiffWriter writer(path);
    (void)writer.writeHeader();
    writer.initDirectory();
    for (uint16_t i = 0; i < 10; ++i) {
      (void)writer.setCoding(7, 0);
      writer.setFillOrder(1);
      writer.setSize(kWidth, kRows);
      writer.setPageNumber(i, 10);
      (void)writer.writeDirectory(writer.writePage(data, 204, 196, 2));
    }
    benchmark::DoNotOptimize(writer.close());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size() * 10));
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriterTenPages);

}  // namespace

BENCHMARK_MAIN();
