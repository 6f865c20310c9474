#include "bench/support/BenchSupport.h"

#include <cstdio>
#include <random>

namespace tarnwell::bench {

void FastestTimesReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
    const std::string name = run.run_name.function_name + "/" + run.run_name.args;
    for (auto [times, t] : {std::pair{&real_, run.GetAdjustedRealTime()},
                            std::pair{&cpu_, run.GetAdjustedCPUTime()}}) {
      const auto [it, fresh] = times->try_emplace(name, t);
      if (!fresh && t < it->second) it->second = t;
    }
  }
  ConsoleReporter::ReportRuns(runs);
}

void FastestTimesReporter::Finalize() {
  ConsoleReporter::Finalize();
  if (summary_) summary_(*this);
}

std::optional<double> FastestTimesReporter::find(const std::map<std::string, double>& times,
                                                 const std::string& name) {
  const auto it = times.find(name);
  if (it == times.end()) return std::nullopt;
  return it->second;
}

void printOursToLibtiff(const FastestTimesReporter& times, std::span<const char* const> labels) {
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const std::string index = std::to_string(i);
    const std::optional<double> ours = times.cpu("BM_Ours/" + index);
    const std::optional<double> theirs = times.cpu("BM_Libtiff/" + index);
    if (ours && theirs && *theirs > 0) {
      std::printf("ratio ours/libtiff %-6s %.3f\n", labels[i], *ours / *theirs);
    }
  }
}

int runBenchmarks(int argc, char** argv, FastestTimesReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

void setPixels(std::vector<uint8_t>& bits, int width, int y, int from, int to) {
  const std::size_t rowBytes = static_cast<std::size_t>(width + 7) / 8;
  for (int x = from; x < to && x < width; ++x) {
    bits[static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(x / 8)] |=
        static_cast<uint8_t>(0x80 >> (x % 8));
  }
}

std::vector<uint8_t> makeTextPage(int width, int height) {
  const std::size_t rowBytes = static_cast<std::size_t>(width + 7) / 8;
  std::vector<uint8_t> bits(rowBytes * static_cast<std::size_t>(height), 0);
  auto fill = [&](int y, int from, int to) { setPixels(bits, width, y, from, to); };
  std::mt19937 rng(2026);
  const int lineHeight = 28;
  for (int top = 120; top + lineHeight < height - 120; top += lineHeight + 14) {
    int x = 140;
    while (x < width - 160) {
      const int word = 2 + static_cast<int>(rng() % 9);
      for (int g = 0; g < word && x < width - 160; ++g) {
        const int glyph = static_cast<int>(rng() % 32);
        const int w = 9 + glyph % 6;
        for (int dy = 0; dy < lineHeight - 6; ++dy) {
          const int y = top + dy;
          if (glyph & 1) fill(y, x, x + 2);
          if ((glyph & 2) && (dy < 2 || dy > lineHeight - 9)) fill(y, x, x + w);
          if ((glyph & 4) && dy > 8) fill(y, x + w - 2, x + w);
          if ((glyph & 8) && (dy == 10 || dy == 11)) fill(y, x, x + w);
          if ((glyph & 16) && dy > 4 && dy < 18) fill(y, x + dy / 3, x + dy / 3 + 2);
        }
        x += w + 3;
      }
      x += 12;
    }
  }
  return bits;
}

void setFaxPageFields(TIFF* tiff, uint32_t width, uint32_t length, uint16_t compression,
                      uint32_t page, uint32_t pages) {
  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, length);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, length);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0);
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 196.0);
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tiff, TIFFTAG_PAGENUMBER, page, pages);
}

}  // namespace tarnwell::bench
