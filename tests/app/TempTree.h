#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tarnwell::test {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes.
class TempTree {
 public:
  TempTree() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int i = 0; i < 100; ++i) {
      auto candidate = base / ("tarnwell-test-" + std::to_string(rd()));
      if (std::filesystem::create_directory(candidate)) {
        root_ = candidate;
        return;
      }
    }
    throw std::runtime_error("no temporary directory");
  }
  ~TempTree() {
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::string path(const std::string& relative = "") const {
    return relative.empty() ? root_.string() : (root_ / relative).string();
  }
  // Writes a file (creating its directories) and returns its path.
  std::string write(const std::string& relative, const std::string& bytes) const {
    const auto p = root_ / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    return p.string();
  }
  std::string mkdir(const std::string& relative) const {
    std::filesystem::create_directories(root_ / relative);
    return (root_ / relative).string();
  }

 private:
  std::filesystem::path root_;
};

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tarnwell::test
