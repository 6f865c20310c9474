// Group 4 encoder speed: 1728 x 2200 pages (text, sparse noise, all white) coded by our encoder
// and by libtiff's (one strip written into a TIFF in memory) in the same run; the two give the
// same bytes. Prints ours/libtiff for every page at the end.

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/support/BenchSupport.h"
#include "codec/FaxG4Encoder.h"

namespace {

constexpr int kWidth = 1728;
constexpr int kHeight = 2200;
constexpr int kBytesPerRow = kWidth / 8;


// One black pixel in fifty: a poor scan's speckle, a change at almost every pixel pair.
std::vector<uint8_t> makeNoisePage() {
  std::vector<uint8_t> bits(static_cast<std::size_t>(kBytesPerRow) * kHeight, 0);
  std::mt19937 rng(7);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (rng() % 50 == 0) tarnwell::bench::setPixels(bits, kWidth, y, x, x + 1);
    }
  }
  return bits;
}

const std::vector<uint8_t>& page(int which) {
  static const std::vector<uint8_t> pages[3] = {
      tarnwell::bench::makeTextPage(kWidth, kHeight), makeNoisePage(),
      std::vector<uint8_t>(static_cast<std::size_t>(kBytesPerRow) * kHeight, 0)};
  return pages[which];
}
constexpr const char* kPageNames[] = {"text", "noise", "white"};

// A TIFF file in memory for libtiff's client I/O: writes grow it, reads and seeks stay within.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  toff_t position = 0;
};

tmsize_t memRead(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemoryFile*>(h);
  const toff_t left = f->position < f->bytes.size() ? f->bytes.size() - f->position : 0;
  const auto n = static_cast<tmsize_t>(std::min<toff_t>(left, static_cast<toff_t>(size)));
  std::memcpy(buf, f->bytes.data() + f->position, static_cast<std::size_t>(n));
  f->position += static_cast<toff_t>(n);
  return n;
}
tmsize_t memWrite(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemoryFile*>(h);
  const std::size_t end = f->position + static_cast<std::size_t>(size);
  if (end > f->bytes.size()) f->bytes.resize(end);
  std::memcpy(f->bytes.data() + f->position, buf, static_cast<std::size_t>(size));
  f->position = end;
  return size;
}
toff_t memSeek(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  if (whence == SEEK_CUR) offset += f->position;
  if (whence == SEEK_END) offset += f->bytes.size();
  f->position = offset;
  return offset;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes.size(); }
int memMap(thandle_t, void**, toff_t*) { return 0; }
void memUnmap(thandle_t, void*, toff_t) {}

// libtiff codes the page as one Group 4 strip of a TIFF in memory; the file's size.
std::size_t libtiffEncode(const std::vector<uint8_t>& bits, MemoryFile& file) {
  file.bytes.clear();
  file.position = 0;
  TIFF* t = TIFFClientOpen("bench", "w", &file, memRead, memWrite, memSeek, memClose, memSize,
                           memMap, memUnmap);
  if (t == nullptr) return 0;
  tarnwell::bench::setFaxPageFields(t, kWidth, kHeight, COMPRESSION_CCITTFAX4, 0, 1);
  const tmsize_t n = TIFFWriteEncodedStrip(t, 0, const_cast<uint8_t*>(bits.data()),
                                           static_cast<tmsize_t>(bits.size()));
  TIFFClose(t);
  return n < 0 ? 0 : file.bytes.size();
}

void BM_Ours(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::vector<uint8_t>& bits = page(which);
  std::vector<uint8_t> out;
  for (auto _ : state) {
    const bool ok = tarnwell::encodePageT6(bits, kWidth, kHeight, kBytesPerRow, true, out);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(kPageNames[which]);
  state.counters["coded_bytes"] = static_cast<double>(out.size());
}

void BM_Libtiff(benchmark::State& state) {
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(nullptr);
  const int which = static_cast<int>(state.range(0));
  const std::vector<uint8_t>& bits = page(which);
  MemoryFile file;
  std::size_t size = 0;
  for (auto _ : state) {
    size = libtiffEncode(bits, file);
    benchmark::DoNotOptimize(file.bytes.data());
  }
  if (size == 0) state.SkipWithError("libtiff could not encode the page");
  state.SetLabel(kPageNames[which]);
}

BENCHMARK(BM_Ours)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Libtiff)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // The usual table, then ours/libtiff for every page.
  tarnwell::bench::FastestTimesReporter reporter(
      [](const auto& times) { tarnwell::bench::printOursToLibtiff(times, kPageNames); });
  return tarnwell::bench::runBenchmarks(argc, argv, reporter);
}
