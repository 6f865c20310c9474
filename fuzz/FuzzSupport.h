#pragma once

// What the fuzz targets share: their scratch directory. The targets run under the program's own
// limits; only the size of an input is capped, in each target.
//
// The working directory of a fuzz target: made once per process and reused by every input, on
// /dev/shm (memory) when the machine has it, else in the temporary directory. The files a target
// writes there never touch a disk, and the directory goes away when the process ends normally.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace tarnwell::fuzz {

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
