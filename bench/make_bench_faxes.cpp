// Writes the fax files the shell benchmarks convert: Group 4 TIFFs and raw Group 3 streams of
// 1728 x 2200 text-like pages, 10 and 100 pages each, coded by libtiff, and a DCX of 20 such
// pages (PCX run-length coded); and a Group 4 TIFF of 100 lighter, letter-like pages.
//
// Run: make_bench_faxes <directory>
//      (writes g4_10.tif g4_100.tif g3_10.g3 g3_100.g3 dcx_20.dcx letters_100.tif)

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/BenchSupport.h"
#include "support/ContainerBuilders.h"
#include "faxin/raw_test_support.h"
#include "support/TempTree.h"

namespace {

using tarnwell::rawtest::Bitmap;
using tarnwell::rawtest::Coding;

constexpr int kWidth = 1728, kRows = 2200;

// Dense pages (about 165 KB each as Group 4), or with `letters` the lighter letter-like page of
// the decoder benchmark (about 46 KB), as a fax office's pages mostly are.
bool writeGroup4Tiff(const std::string& path, int pages, bool letters = false) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (t == nullptr) return false;
  bool ok = true;
  const std::vector<uint8_t> letter = letters ? tarnwell::bench::makeTextPage(kWidth, kRows)
                                              : std::vector<uint8_t>{};
  for (int p = 0; p < pages && ok; ++p) {
    const Bitmap page = letters ? Bitmap(kWidth, kRows, letter)
                                : tarnwell::rawtest::makePage(kWidth, kRows,
                                                              static_cast<unsigned>(p % 10 + 1));
    tarnwell::bench::setFaxPageFields(t, kWidth, kRows, COMPRESSION_CCITTFAX4,
                                      static_cast<uint32_t>(p), static_cast<uint32_t>(pages));
    ok = TIFFWriteEncodedStrip(t, 0, const_cast<uint8_t*>(page.bits.data()),
                               static_cast<tmsize_t>(page.bits.size())) >= 0 &&
         TIFFWriteDirectory(t) != 0;
  }
  TIFFClose(t);
  return ok;
}

// One-dimensional Group 3 pages, each followed by RTC, most significant bit first.
bool writeRawGroup3(const std::string& path, int pages) {
  std::vector<uint8_t> stream;
  for (int p = 0; p < pages; ++p) {
    const Bitmap page = tarnwell::rawtest::makePage(kWidth, kRows, static_cast<unsigned>(p % 10 + 1));
    const std::vector<uint8_t> strip =
        tarnwell::rawtest::encodeStrip(page, Coding::kG3OneD, FILLORDER_MSB2LSB);
    if (strip.empty()) return false;
    tarnwell::rawtest::append(stream, strip);
    tarnwell::rawtest::append(stream, tarnwell::rawtest::rtc(false, FILLORDER_MSB2LSB));
  }
  return tarnwell::test::writeBytes(path, stream);
}

bool writeDcx(const std::string& path, int pages) {
  std::vector<std::vector<uint8_t>> pcx;
  for (int p = 0; p < pages; ++p) {
    pcx.push_back(tarnwell::test::buildPcx(
        tarnwell::rawtest::makePage(kWidth, kRows, static_cast<unsigned>(p % 10 + 1))));
  }
  return tarnwell::test::writeBytes(path, tarnwell::test::buildDcx(pcx));
}

}  // namespace

int main(int argc, char** argv) {
  // The CI runs every program of this folder with benchmark options; that is not a request.
  if (argc != 2 || argv[1][0] == '-') {
    std::printf("usage: make_bench_faxes <directory>\n");
    return 0;
  }
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  const std::string dir = argv[1];
  for (const int pages : {10, 100}) {
    const std::string n = std::to_string(pages);
    if (!writeGroup4Tiff(dir + "/g4_" + n + ".tif", pages) ||
        !writeRawGroup3(dir + "/g3_" + n + ".g3", pages)) {
      std::fprintf(stderr, "cannot write the files into %s\n", dir.c_str());
      return 1;
    }
  }
  if (!writeDcx(dir + "/dcx_20.dcx", 20) || !writeGroup4Tiff(dir + "/letters_100.tif", 100, true)) {
    std::fprintf(stderr, "cannot write the files into %s\n", dir.c_str());
    return 1;
  }
  std::remove((dir + "/scratch.tif").c_str());
  return 0;
}
