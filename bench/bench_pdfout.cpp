// Speed of the PDF output road on a fax: a 100-page 1728 x 2200 Group 4 TIFF with text-like
// pages goes through tiff_copy_file (which keeps each clean one-strip Group 4 page's coded
// bytes, after the fax decoder has followed every row of them) and t2p_convert_file. Three
// baselines run on the same file in the same process: copying its bytes, decoding every page
// once with libtiff (what the check cost when libtiff made it), and decoding and re-encoding
// every page once with libtiff (what the copy cost before the straight road). The time per page and the ratios of the road to each baseline are printed
// after the benchmark table.

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/BenchSupport.h"
#include "pdfout/copy/tiff_copy.h"
#include "pdfout/pdf/t2p.h"
#include "pdfout/tiffio/messages.h"

namespace {

constexpr uint32_t kWidth = 1728, kLength = 2200, kPages = 100;

struct Closer {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using Handle = std::unique_ptr<TIFF, Closer>;

struct Files {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "trw-bench-pdfout";
  std::string fax = (dir / "fax.tif").string();
  std::string ready = (dir / "ready.tif").string();
  std::string pdf = (dir / "fax.pdf").string();
  std::string bytesCopy = (dir / "bytes.tif").string();
  std::string recoded = (dir / "recoded.tif").string();
};

const Files& files() {
  static const Files f;
  return f;
}

// A page of text lines: short black runs in lines of 12 rows, blank lines between.
std::vector<uint8_t> textPage(int seed) {
  const size_t rowBytes = kWidth / 8;
  std::vector<uint8_t> page(rowBytes * kLength, 0);
  for (uint32_t y = 150; y + 150 < kLength; ++y) {
    if ((y / 12) % 3 == 2) continue;
    std::mt19937 line(static_cast<uint32_t>(seed * 4096 + y / 36 * 17 + y % 12));
    for (uint32_t x = 100 + line() % 16; x + 100 < kWidth;) {
      const uint32_t run = 1 + line() % 5;
      for (uint32_t i = 0; i < run; ++i)
        page[y * rowBytes + (x + i) / 8] |= static_cast<uint8_t>(0x80u >> ((x + i) % 8));
      x += run + 1 + line() % 8;
      if (line() % 9 == 0) x += 20;
    }
  }
  return page;
}

void setFaxFields(TIFF* t, uint32_t page) {
  tarnwell::bench::setFaxPageFields(t, kWidth, kLength, COMPRESSION_CCITTFAX4, page, kPages);
}

void makeFax() {
  std::filesystem::create_directories(files().dir);
  Handle t(TIFFOpen(files().fax.c_str(), "w"));
  for (uint32_t p = 0; p < kPages; ++p) {
    std::vector<uint8_t> page = textPage(static_cast<int>(p % 10));
    setFaxFields(t.get(), p);
    TIFFWriteEncodedStrip(t.get(), 0, page.data(), static_cast<tmsize_t>(page.size()));
    TIFFWriteDirectory(t.get());
  }
}

void BM_FaxToPdf(benchmark::State& state) {
  for (auto _ : state) {
    if (tarnwell::tiff_copy_file({files().fax, files().ready, tarnwell::TiffCopyOptions{}}).result !=
            tarnwell::TiffCopyResult::kCopied ||
        tarnwell::t2p_convert_file(files().ready, files().pdf).result !=
            tarnwell::T2pResult::kWritten) {
      state.SkipWithError("conversion failed");
      break;
    }
  }
}

void BM_CopyBytes(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(files().fax, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream out(files().bytesCopy, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    benchmark::DoNotOptimize(bytes.data());
  }
}

void BM_LibtiffRecode(benchmark::State& state) {
  std::vector<uint8_t> page(kWidth / 8 * kLength);
  for (auto _ : state) {
    Handle in(TIFFOpen(files().fax.c_str(), "r"));
    Handle out(TIFFOpen(files().recoded.c_str(), "w"));
    uint32_t p = 0;
    do {
      TIFFReadEncodedStrip(in.get(), 0, page.data(), static_cast<tmsize_t>(page.size()));
      setFaxFields(out.get(), p++);
      TIFFWriteEncodedStrip(out.get(), 0, page.data(), static_cast<tmsize_t>(page.size()));
      TIFFWriteDirectory(out.get());
    } while (TIFFReadDirectory(in.get()));
  }
}

void BM_LibtiffDecode(benchmark::State& state) {
  std::vector<uint8_t> page(kWidth / 8 * kLength);
  for (auto _ : state) {
    Handle in(TIFFOpen(files().fax.c_str(), "r"));
    do {
      TIFFReadEncodedStrip(in.get(), 0, page.data(), static_cast<tmsize_t>(page.size()));
    } while (TIFFReadDirectory(in.get()));
    benchmark::DoNotOptimize(page.data());
  }
}

BENCHMARK(BM_FaxToPdf)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibtiffDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CopyBytes)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibtiffRecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);


}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tarnwell::silenceTiffMessages();
  makeFax();
  std::printf("fax TIFF: %u pages, %ju bytes\n", kPages,
              static_cast<uintmax_t>(std::filesystem::file_size(files().fax)));
  tarnwell::bench::FastestTimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Real time is what a user waits; CPU time is steadier on a busy machine.
  for (const bool real : {true, false}) {
    auto time = [&](const char* name) { return real ? reporter.real(name) : reporter.cpu(name); };
    const auto road = time("BM_FaxToPdf/"), copy = time("BM_CopyBytes/"),
               decode = time("BM_LibtiffDecode/"), recode = time("BM_LibtiffRecode/");
    if (!road || !copy || !decode || !recode) continue;
    const char* kind = real ? "real" : "cpu ";
    std::printf("%s: fax to PDF per page          : %.2f ms\n", kind, *road / kPages);
    std::printf("%s: fax to PDF / byte copy       : %.1f\n", kind, *road / *copy);
    std::printf("%s: fax to PDF / libtiff decode  : %.2f\n", kind, *road / *decode);
    std::printf("%s: fax to PDF / libtiff recode  : %.2f\n", kind, *road / *recode);
  }
  std::filesystem::remove_all(files().dir);
  benchmark::Shutdown();
  return 0;
}
