// A raw Group 3 fax to PDF with the program, against libtiff decoding the same pages and coding
// them as Group 4: 20 one-dimensional 1728 x 2200 text pages with RTC between them. The program
// runs as a process (`tarnwell /q /f`), start-up included; libtiff reads the pages from a TIFF of
// the same Group 3 strips and writes a Group 4 TIFF. Both are timed by the processor time they
// take (the program's from its exit status record), which a shared machine disturbs far less than
// the clock. The files live in /dev/shm when there is one. The same pages as a DCX file (PCX
// run-length coded) take the engine's decoded-bitmap road. Prints the time per page and
// program/libtiff for both at the end.
//
// Run: build-bench/bench/bench_raw_pdf   (TARNWELL_BENCH_PROGRAM=path runs another build)

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/support/BenchSupport.h"
#include "support/ContainerBuilders.h"
#include "faxin/raw_test_support.h"
#include "support/TempTree.h"

namespace {

using tarnwell::rawtest::Bitmap;
using tarnwell::rawtest::Coding;

constexpr int kWidth = 1728, kRows = 2200, kPages = 20;

struct Files {
  std::string dir;
  std::string raw;       // the raw stream
  std::string dcx;       // the same pages as a DCX file
  std::string g3Tiff;    // the same strips as the pages of a TIFF
  std::string g4Tiff;    // libtiff's output
  std::string pdf;       // the program's output
  bool ok = false;
};

bool writeG3Tiff(const std::string& path, const std::vector<std::vector<uint8_t>>& strips) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (t == nullptr) return false;
  bool ok = true;
  for (std::size_t p = 0; p < strips.size() && ok; ++p) {
    tarnwell::bench::setFaxPageFields(t, kWidth, kRows, COMPRESSION_CCITTFAX3,
                                      static_cast<uint32_t>(p), kPages);
    TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, 0);
    ok = TIFFWriteRawStrip(t, 0, const_cast<uint8_t*>(strips[p].data()),
                           static_cast<tmsize_t>(strips[p].size())) >= 0 &&
         TIFFWriteDirectory(t) != 0;
  }
  TIFFClose(t);
  return ok;
}

const Files& files() {
  static const Files made = [] {
    Files f;
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    f.dir = std::string(base) + "/bench_raw_pdf_" + std::to_string(getpid());
    std::filesystem::create_directories(f.dir + "/state");
    f.raw = f.dir + "/fax.g3";
    f.dcx = f.dir + "/fax.dcx";
    f.g3Tiff = f.dir + "/g3.tif";
    f.g4Tiff = f.dir + "/g4.tif";
    f.pdf = f.dir + "/fax.pdf";
    std::vector<std::vector<uint8_t>> strips;
    std::vector<std::vector<uint8_t>> pcx;
    std::vector<uint8_t> stream;
    for (int p = 0; p < kPages; ++p) {
      const Bitmap page = tarnwell::rawtest::makePage(kWidth, kRows, static_cast<unsigned>(p % 10 + 1));
      strips.push_back(tarnwell::rawtest::encodeStrip(page, Coding::kG3OneD, FILLORDER_MSB2LSB));
      if (strips.back().empty()) return f;
      pcx.push_back(tarnwell::test::buildPcx(page));
      tarnwell::rawtest::append(stream, strips.back());
      tarnwell::rawtest::append(stream, tarnwell::rawtest::rtc(false, FILLORDER_MSB2LSB));
    }
    f.ok = tarnwell::test::writeBytes(f.raw, stream) && writeG3Tiff(f.g3Tiff, strips) &&
           tarnwell::test::writeBytes(f.dcx, tarnwell::test::buildDcx(pcx));
    return f;
  }();
  return made;
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; }

// Runs the program on `source`; true when it exits with 0 and leaves the PDF. `cpu` gets the
// processor time the program took.
bool runProgram(const Files& f, const std::string& source, double& cpu) {
  std::filesystem::remove(f.pdf);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const std::string state = "XDG_STATE_HOME=" + f.dir + "/state";
    const std::string tmp = "TMPDIR=" + f.dir;
    char* const env[] = {const_cast<char*>(state.c_str()), const_cast<char*>(tmp.c_str()), nullptr};
    const char* other = std::getenv("TARNWELL_BENCH_PROGRAM");
    const char* program = other != nullptr ? other : TARNWELL_PROGRAM;
    char* const argv[] = {const_cast<char*>(program), const_cast<char*>("/q"),
                          const_cast<char*>("/f"), const_cast<char*>(source.c_str()),
                          const_cast<char*>(f.pdf.c_str()), nullptr};
    execve(program, argv, env);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::filesystem::exists(f.pdf);
}

// libtiff decodes every page of the Group 3 TIFF and writes it into a Group 4 TIFF.
bool libtiffDecodeEncode(const Files& f, std::vector<uint8_t>& buffer) {
  TIFF* in = TIFFOpen(f.g3Tiff.c_str(), "r");
  TIFF* out = TIFFOpen(f.g4Tiff.c_str(), "w");
  bool ok = in != nullptr && out != nullptr;
  buffer.resize(static_cast<std::size_t>(kWidth / 8) * kRows);
  for (int p = 0; p < kPages && ok; ++p) {
    ok = TIFFSetDirectory(in, static_cast<tdir_t>(p)) != 0 &&
         TIFFReadEncodedStrip(in, 0, buffer.data(), static_cast<tmsize_t>(buffer.size())) ==
             static_cast<tmsize_t>(buffer.size());
    if (!ok) break;
    tarnwell::bench::setFaxPageFields(out, kWidth, kRows, COMPRESSION_CCITTFAX4,
                                      static_cast<uint32_t>(p), kPages);
    ok = TIFFWriteEncodedStrip(out, 0, buffer.data(), static_cast<tmsize_t>(buffer.size())) >= 0 &&
         TIFFWriteDirectory(out) != 0;
  }
  if (in != nullptr) TIFFClose(in);
  if (out != nullptr) TIFFClose(out);
  return ok;
}

void BM_ProgramToPdf(benchmark::State& state) {
  const Files& f = files();
  const bool dcx = state.range(0) == 1;
  if (!f.ok) {
    state.SkipWithError("cannot write the fax");
    return;
  }
  for (auto _ : state) {
    double cpu = 0;
    if (!runProgram(f, dcx ? f.dcx : f.raw, cpu)) {
      state.SkipWithError("the program failed");
      return;
    }
    state.SetIterationTime(cpu);
  }
  state.SetLabel(dcx ? "dcx" : "raw_g3");
}

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

void BM_LibtiffDecodeEncodeG4(benchmark::State& state) {
  const Files& f = files();
  if (!f.ok) {
    state.SkipWithError("cannot write the fax");
    return;
  }
  std::vector<uint8_t> buffer;
  for (auto _ : state) {
    const double start = processCpuSeconds();
    if (!libtiffDecodeEncode(f, buffer)) {
      state.SkipWithError("libtiff failed");
      return;
    }
    state.SetIterationTime(processCpuSeconds() - start);
  }
}

BENCHMARK(BM_ProgramToPdf)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_LibtiffDecodeEncodeG4)->Unit(benchmark::kMillisecond)->UseManualTime();

// The usual table, then program/libtiff from the fastest repetition of each (the manual times,
// which are processor times, stand as real times).
void printRatios(const tarnwell::bench::FastestTimesReporter& times) {
  const std::optional<double> theirs = times.real("BM_LibtiffDecodeEncodeG4/");
  for (const char* input : {"0", "1"}) {
    const std::optional<double> ours = times.real(std::string("BM_ProgramToPdf/").append(input));
    if (ours && theirs && *theirs > 0) {
      std::printf("%s: program %.2f ms a page, libtiff %.2f ms a page, program/libtiff %.3f\n",
                  input[0] == '0' ? "raw Group 3" : "DCX", *ours / kPages, *theirs / kPages,
                  *ours / *theirs);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  tarnwell::bench::FastestTimesReporter reporter(printRatios);
  const int status = tarnwell::bench::runBenchmarks(argc, argv, reporter);
  if (status != 0) return status;
  const Files& f = files();
  std::error_code ec;
  std::filesystem::remove_all(f.dir, ec);
  return 0;
}
