// Raw fax analysis plus writeAll on generated multi-page streams (Group 3 one-dimensional with
// RTC between pages, Group 4 with flags between pages), against decoding the same pages once with
// the page decoders alone. 10 and 20 pages show how the cost grows with the page count.
//
// Run: build-raw-bench/bench/bench_raw

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "codec/FaxDecoder.h"
#include "codec/FaxPage.h"
#include "faxin/raw/RawFaxReader.h"
#include "faxin/raw_test_support.h"
#include "support/TempTree.h"

namespace {

using tarnwell::rawtest::Coding;

constexpr int kWidth = 1728;
constexpr int kRows = 1100;

struct Corpus {
  std::vector<std::vector<uint8_t>> strips;  // one per page
  std::vector<uint8_t> stream;               // the pages as one raw stream
  std::string path;
};

std::string scratch(const std::string& name) {
  return "/tmp/bench_raw_" + std::to_string(getpid()) + "_" + name;
}

const Corpus& corpus(Coding coding, int pages) {
  static std::map<std::pair<int, int>, Corpus> cache;
  Corpus& c = cache[{static_cast<int>(coding), pages}];
  if (!c.strips.empty()) return c;
  for (int p = 0; p < pages; ++p) {
    const auto bitmap = tarnwell::rawtest::makePage(kWidth, kRows, static_cast<unsigned>(p + 1));
    c.strips.push_back(tarnwell::rawtest::encodeStrip(bitmap, coding, 2));
    if (coding == Coding::kG4) tarnwell::rawtest::append(c.stream, {0xFF, 0xFF, 0xFF});
    tarnwell::rawtest::append(c.stream, c.strips.back());
    if (coding != Coding::kG4) tarnwell::rawtest::append(c.stream, tarnwell::rawtest::rtc(false, 2));
  }
  c.path = scratch(std::to_string(static_cast<int>(coding)) + "_" + std::to_string(pages) + ".raw");
  tarnwell::test::writeBytes(c.path, c.stream);
  return c;
}

void runRaw(benchmark::State& state, Coding coding) {
  const int pages = static_cast<int>(state.range(0));
  const Corpus& c = corpus(coding, pages);
  tarnwell::EngineSetup setup;
  setup.files.workFilePath = scratch("work.tmp");
  setup.files.segmentFilePath = scratch("seg.tmp");
  const std::string out = scratch("out.tif");
  int written = 0;
  for (auto _ : state) {
    tarnwell::RawFaxReader reader(setup);
    if (!reader.open(c.path)) state.SkipWithError("cannot open");
    if (reader.analyse(0, 1) < 0) state.SkipWithError("analysis failed");
    tarnwell::FaxPage page;
    (void)reader.readWorkHeader(page);
    reader.setPageLength(page.pageSize, page.yResolution);
    written = reader.countWorkPages();
    (void)reader.describePage(0, page);
    if (reader.writeSlices(out, page) != 0) state.SkipWithError("writeSlices failed");
  }
  state.counters["pages"] = written;
  state.counters["per_page"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.stream.size()));
}

void decodeOnly(benchmark::State& state, Coding coding) {
  const int pages = static_cast<int>(state.range(0));
  const Corpus& c = corpus(coding, pages);
  tarnwell::FaxDecodeParams params;
  params.bitOrder = 2;
  params.coding = coding == Coding::kG4 ? 7 : 5;
  params.width = kWidth;
  params.rowLimit = kRows;
  for (auto _ : state) {
    for (const auto& strip : c.strips) {
      tarnwell::FaxPage page;
      const int r = coding == Coding::kG4 ? tarnwell::decodePageT6(strip, params, page)
                                          : tarnwell::decodePage(strip, params, page);
      if (r < 0 || page.rows != kRows) state.SkipWithError("decode failed");
      benchmark::DoNotOptimize(page.bitmap.data());
    }
  }
  state.counters["per_page"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

// Bytes that are no fax: the whole search runs and fails; its time should grow with the size only.
void BM_RawRejectJunk(benchmark::State& state) {
  const std::string path = scratch("junk_" + std::to_string(state.range(0)) + ".raw");
  tarnwell::test::writeBytes(path, tarnwell::rawtest::junk(static_cast<std::size_t>(state.range(0)), 5));
  tarnwell::EngineSetup setup;
  setup.files.workFilePath = scratch("work.tmp");
  setup.files.segmentFilePath = scratch("seg.tmp");
  for (auto _ : state) {
    tarnwell::RawFaxReader reader(setup);
    if (!reader.open(path)) state.SkipWithError("cannot open");
    if (reader.analyse(0, 1) >= 0) state.SkipWithError("junk accepted");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_RawG3OneD(benchmark::State& state) { runRaw(state, Coding::kG3OneD); }
void BM_DecodeOnlyG3OneD(benchmark::State& state) { decodeOnly(state, Coding::kG3OneD); }
void BM_RawG4(benchmark::State& state) { runRaw(state, Coding::kG4); }
void BM_DecodeOnlyG4(benchmark::State& state) { decodeOnly(state, Coding::kG4); }

BENCHMARK(BM_RawG3OneD)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOnlyG3OneD)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawG4)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOnlyG4)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRejectJunk)->Arg(1 << 20)->Arg(2 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
