#pragma once

// What the fuzz targets share: their scratch directory and the page limits they describe under.
//
// The working directory of a fuzz target: made once per process and reused by every input, on
// /dev/shm (memory) when the machine has it, else in the temporary directory. The files a target
// writes there never touch a disk, and the directory goes away when the process ends normally.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "faxin/tiff/TiffDirectory.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell::fuzz {

// Page descriptions in the targets: at most 8192 pixels wide and 64 KiB of bitmap (about 300
// rows of a fax page). An input of a few kilobytes can declare, or really code, a page
// of a hundred megabytes; decoding that much on every run would leave the fuzzer a few runs a
// second. A page past these limits takes the same refusing or cutting path as one past the
// engine's own limits, so no branch is hidden.
inline constexpr DescribeLimits kDescribeLimits{8192, std::size_t{64} * 1024};

// Uncoded size of the largest page a TIFF declares, as the engine's own TIFF view reads its
// directories; 0 for bytes that view does not take as a TIFF. The copy and the PDF writer let any
// file have pages of up to 32 MiB, which a header of a hundred bytes can declare: every run of
// such an input decodes, encodes and writes that much.
inline uint64_t largestDeclaredPage(std::span<const uint8_t> data) {
  TiffView view(data);
  TiffHeader header;
  if (view.readHeader(header) != 0) return 0;
  uint64_t largest = 0;
  std::vector<TiffEntry> entries;
  for (uint32_t position : view.walkChain(header.firstDirectory)) {
    uint32_t next = 0;
    // A directory whose link to the next lies past the end still holds its entries (-5), and
    // libtiff reads such a last directory.
    const int read = view.readDirectory(position, entries, next);
    if (read < 0 && read != -5) break;
    const TiffPageInfo info = view.parseDirectory(entries);
    uint64_t samples = 1;  // SamplesPerPixel, which the fax view does not keep
    for (const TiffEntry& entry : entries) {
      if (entry.tag == 277 && view.scalar(entry) > 1) samples = view.scalar(entry);
    }
    const uint64_t bits = uint64_t{info.width} * info.length *
                          (info.bitsPerSample > 0 ? info.bitsPerSample : 1) * samples;
    if (bits / 8 > largest) largest = bits / 8;
  }
  return largest;
}

// Pages above this size are left to the unit tests of the copy's and the writer's budgets: the
// code they run is the same as for a page of this size, only longer (an A4 superfine page is
// 1 MB).
inline constexpr uint64_t kMaxDeclaredPage = uint64_t{1} << 20;

class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name) {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) {
      base = std::filesystem::temp_directory_path(ec);
      if (ec) base = "/tmp";
    }
    path_ = base / ("trwfuzz_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_, ec);
    prefix_ = path_.string() + "/";
  }
  ~ScratchDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The path of `file` inside the directory.
  std::string file(const std::string& file) const { return prefix_ + file; }
  // The directory with a trailing separator.
  const std::string& prefix() const { return prefix_; }

 private:
  std::filesystem::path path_;
  std::string prefix_;
};

}  // namespace tarnwell::fuzz
