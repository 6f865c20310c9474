#include "support/TempTree.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <unistd.h>

namespace tarnwell::test {

namespace fs = std::filesystem;

TempTree::TempTree() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / ("tarnwell-test-" + std::to_string(getpid()) + "-" +
                                       std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      root_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary directory");
}

TempTree::~TempTree() {
  std::error_code ec;
  // Tests make entries read-only; give the owner back every right so everything can go.
  for (auto it = fs::recursive_directory_iterator(root_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  ec.clear();
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(root_, ec);
}

std::string TempTree::path(const std::string& relative) const {
  return relative.empty() ? root_.string() : (root_ / relative).string();
}

std::string TempTree::write(const std::string& relative, std::string_view bytes) const {
  const fs::path p = root_ / relative;
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  writeText(p.string(), bytes);
  return p.string();
}

std::string TempTree::write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
  return write(relative,
               std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string TempTree::mkdir(const std::string& relative) const {
  std::error_code ec;
  fs::create_directories(root_ / relative, ec);
  return (root_ / relative).string();
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  return writeText(path,
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool writeText(const std::string& path, std::string_view bytes) {
  // Replacing rather than truncating spares the file system a flush of the old contents.
  std::error_code ec;
  fs::remove(path, ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

}  // namespace tarnwell::test
