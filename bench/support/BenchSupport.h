#pragma once

// What the benchmark programs share: a console reporter that keeps the fastest time of every
// benchmark for the comparisons printed after the table, the main loop around it, and the
// fields of one fax page of a TIFF.

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwell::bench {

// The usual table; then, once the table is done, `summary` prints its comparisons from the
// fastest repetition of each benchmark (the machine is shared: slower repetitions measure other
// programs too).
class FastestTimesReporter : public benchmark::ConsoleReporter {
 public:
  using Summary = std::function<void(const FastestTimesReporter&)>;
  explicit FastestTimesReporter(Summary summary = {}) : summary_(std::move(summary)) {}

  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

  // The fastest real or processor time per iteration, in the benchmark's unit, of the run named
  // "function/arguments" ("BM_Copy/" for one without arguments); nothing when it did not run or
  // failed.
  std::optional<double> real(const std::string& name) const { return find(real_, name); }
  std::optional<double> cpu(const std::string& name) const { return find(cpu_, name); }

 private:
  static std::optional<double> find(const std::map<std::string, double>& times,
                                    const std::string& name);

  Summary summary_;
  std::map<std::string, double> real_;
  std::map<std::string, double> cpu_;
};

// Prints "ratio ours/libtiff <label> <ratio>" for every label i, from the processor times of
// BM_Ours/i and BM_Libtiff/i.
void printOursToLibtiff(const FastestTimesReporter& times, std::span<const char* const> labels);

// The benchmark program's main: parses the benchmark options, runs the benchmarks the options
// select with `reporter`, and returns the exit status (1 for an option it does not know).
int runBenchmarks(int argc, char** argv, FastestTimesReporter& reporter);

// Sets the pixels [from, to) of row y of a bilevel page `width` pixels wide (1 bits, highest bit
// first) and cut at the width.
void setPixels(std::vector<uint8_t>& bits, int width, int y, int from, int to);

// A text-like page, 1 bits black: lines of glyph cells with stems, bars and dots between white
// margins, the same page on every call.
std::vector<uint8_t> makeTextPage(int width, int height);

// Sets the fields of one single-strip bilevel fax page (MinIsWhite, 204 x 196 dots per inch)
// before its strip is written: page `page` of `pages`.
void setFaxPageFields(TIFF* tiff, uint32_t width, uint32_t length, uint16_t compression,
                      uint32_t page, uint32_t pages);

}  // namespace tarnwell::bench
