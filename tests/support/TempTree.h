#pragma once

// A private temporary directory for one test, and whole-file reads and writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell::test {

// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes (read-only entries made writable first).
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& root() const { return root_; }
  // The tree's own path, or the path of an entry inside it.
  std::string path(const std::string& relative = "") const;
  std::string file(const std::string& name) const { return path(name); }
  // Writes a file (creating its directories) and returns its path.
  std::string write(const std::string& relative, std::string_view bytes) const;
  std::string write(const std::string& relative, const std::vector<uint8_t>& bytes) const;
  // Creates a directory (and its parents) and returns its path.
  std::string mkdir(const std::string& relative) const;

 private:
  std::filesystem::path root_;
};

// Whole-file contents; empty when the file cannot be read.
std::vector<uint8_t> readBytes(const std::string& path);
std::string readText(const std::string& path);
// Replaces the file's contents; false when it cannot be written.
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeText(const std::string& path, std::string_view bytes);
bool fileExists(const std::string& path);

}  // namespace tarnwell::test
