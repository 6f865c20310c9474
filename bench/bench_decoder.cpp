// Decoder speed: realistic 1728 x 2200 text pages coded as T.6, T.4 two-dimensional and T.4
// one-dimensional (by libtiff), decoded by our decoders and by libtiff's in the same run, plus
// the standard-width probe on a one-dimensional page, and the whole-strip check of a Group 4 page.
// Prints ours/libtiff ratios at the end.

#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/BenchSupport.h"
#include "codec/BitReverse.h"
#include "codec/FaxBitReader.h"
#include "codec/FaxDecoder.h"
#include "codec/FaxProbe.h"
#include "faxin/raw_test_support.h"
#include "pdfout/copy/tiff_copy_g4.h"

namespace {

constexpr int kWidth = 1728;
constexpr int kHeight = 2200;
constexpr int kBytesPerRow = kWidth / 8;


struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// A page coded by libtiff: the TIFF file (kept open for libtiff's decode) and the raw strip.
struct CodedPage {
  std::string path;
  TiffHandle tif;
  std::vector<uint8_t> raw;
  ~CodedPage() {
    tif.reset();
    if (!path.empty()) std::remove(path.c_str());
  }
};

// dense: the busy page of the shell benchmarks' g4_100.tif (words of dotted pixels, about 165 KB
// as Group 4) instead of the letter-like text page.
std::unique_ptr<CodedPage> encode(uint16_t compression, uint32_t group3Options, bool dense = false) {
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(nullptr);
  auto page = std::make_unique<CodedPage>();
  page->path = "/tmp/trw_bench_decoder_" + std::to_string(getpid()) + "_" +
               std::to_string(compression) + "_" + std::to_string(group3Options) +
               (dense ? "_dense" : "") + ".tif";
  std::vector<uint8_t> bits = dense ? tarnwell::rawtest::makePage(kWidth, kHeight, 1).bits
                                    : tarnwell::bench::makeTextPage(kWidth, kHeight);
  {
    TiffHandle out(TIFFOpen(page->path.c_str(), "w"));
    if (!out) return nullptr;
    TIFF* t = out.get();
    tarnwell::bench::setFaxPageFields(t, kWidth, kHeight, compression, 0, 1);
    if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, group3Options);
    if (TIFFWriteEncodedStrip(t, 0, bits.data(), static_cast<tmsize_t>(bits.size())) < 0) {
      return nullptr;
    }
  }
  page->tif.reset(TIFFOpen(page->path.c_str(), "r"));
  if (!page->tif) return nullptr;
  uint64_t* counts = nullptr;
  if (TIFFGetField(page->tif.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) != 1 || counts == nullptr) {
    return nullptr;
  }
  page->raw.resize(static_cast<std::size_t>(counts[0]));
  if (TIFFReadRawStrip(page->tif.get(), 0, page->raw.data(),
                       static_cast<tmsize_t>(page->raw.size())) < 0) {
    return nullptr;
  }
  return page;
}

CodedPage* codedPage(int which) {
  static std::unique_ptr<CodedPage> pages[4] = {
      encode(COMPRESSION_CCITTFAX4, 0),
      encode(COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING),
      encode(COMPRESSION_CCITTFAX3, 0),
      encode(COMPRESSION_CCITTFAX4, 0, true),
  };
  return pages[which].get();
}

constexpr const char* kCodingNames[] = {"G4", "G3_2D", "G3_1D", "G4busy"};
constexpr uint8_t kCodings[] = {7, 6, 5, 7};

void BM_Ours(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  CodedPage* page = codedPage(which);
  if (page == nullptr) {
    state.SkipWithError("libtiff could not encode the page");
    return;
  }
  tarnwell::FaxDecodeParams params;
  params.coding = kCodings[which];
  params.width = kWidth;
  params.rowLimit = kHeight;
  tarnwell::FaxPage out;
  for (auto _ : state) {
    const int result = tarnwell::decodePage(page->raw, params, out);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(out.bitmap.data());
  }
  if (out.rows != kHeight) state.SkipWithError("our decoder lost rows");
  state.SetLabel(kCodingNames[which]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page->raw.size()));
}

void BM_Libtiff(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  CodedPage* page = codedPage(which);
  if (page == nullptr) {
    state.SkipWithError("libtiff could not encode the page");
    return;
  }
  std::vector<uint8_t> buffer(static_cast<std::size_t>(kBytesPerRow) * kHeight);
  for (auto _ : state) {
    const tmsize_t n = TIFFReadEncodedStrip(page->tif.get(), 0, buffer.data(),
                                            static_cast<tmsize_t>(buffer.size()));
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetLabel(kCodingNames[which]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page->raw.size()));
}

// The check a Group 4 TIFF page passes before its strip goes into the PDF unchanged: every row
// decoded, nothing painted. Compared with libtiff's decode of the same strip, it is what keeps
// a Group 4 TIFF's conversion from costing no more than copying its bytes.
void BM_Group4Check(benchmark::State& state) {
  CodedPage* page = codedPage(static_cast<int>(state.range(0)));
  if (page == nullptr) {
    state.SkipWithError("libtiff could not encode the page");
    return;
  }
  for (auto _ : state) {
    const bool whole = tarnwell::group4StripIsWhole(page->raw, kWidth, kHeight, false);
    benchmark::DoNotOptimize(whole);
    if (!whole) state.SkipWithError("the check refused libtiff's page");
  }
}

void BM_StandardWidthProbe1D(benchmark::State& state) {
  CodedPage* page = codedPage(2);
  if (page == nullptr) {
    state.SkipWithError("libtiff could not encode the page");
    return;
  }
  tarnwell::FaxBitReader reader(page->raw, 1);
  for (auto _ : state) {
    int32_t width = 0;
    const int result = tarnwell::probeStandardWidth1D(reader, 50, width);
    benchmark::DoNotOptimize(result);
    if (result != 0 || width != kWidth) state.SkipWithError("probe failed");
  }
}

void BM_CodingProbe1DLeastBitFirstMiss(benchmark::State& state) {
  // The whole coding probe on a page stored most-significant-bit first: every probe with the
  // wrong bit order scans the whole page before the right one succeeds.
  CodedPage* page = codedPage(2);
  if (page == nullptr) {
    state.SkipWithError("libtiff could not encode the page");
    return;
  }
  std::vector<uint8_t> reversed = page->raw;
  for (uint8_t& b : reversed) b = tarnwell::reverseBits(b);
  for (auto _ : state) {
    tarnwell::FaxProbeResult result;
    const int found = tarnwell::probeCoding(reversed, 50, result);
    benchmark::DoNotOptimize(found);
  }
}

BENCHMARK(BM_Ours)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Libtiff)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Group4Check)->Arg(0)->Arg(3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StandardWidthProbe1D)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodingProbe1DLeastBitFirstMiss)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // The usual table, then ours/libtiff for every coding.
  tarnwell::bench::FastestTimesReporter reporter(
      [](const auto& times) {
        tarnwell::bench::printOursToLibtiff(times, kCodingNames);
        for (const int which : {0, 3}) {
          const std::string index = std::to_string(which);
          const auto check = times.cpu("BM_Group4Check/" + index);
          const auto libtiff = times.cpu("BM_Libtiff/" + index);
          if (check && libtiff && *libtiff > 0) {
            std::printf("ratio Group 4 check/libtiff decode %-6s %.3f\n", kCodingNames[which],
                        *check / *libtiff);
          }
        }
      });
  return tarnwell::bench::runBenchmarks(argc, argv, reporter);
}
