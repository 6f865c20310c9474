// The user's own directories: where the state files go, and making them.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Platform.h"

namespace tarnwell::platform {

namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

void dropTrailingSeparators(std::string& path) {
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
}

}  // namespace

std::string userStateDirectory() {
  // A relative XDG_STATE_HOME is invalid and ignored, as the XDG base directory rules say.
  std::string dir = environmentValue("XDG_STATE_HOME");
  if (dir.empty() || dir.front() != kPathSeparator) {
    const std::string home = environmentValue("HOME");
    if (home.empty() || home.front() != kPathSeparator) return {};
    dir = home;
    dropTrailingSeparators(dir);
    if (dir.back() != kPathSeparator) dir += kPathSeparator;
    dir += ".local/state";
  }
  dropTrailingSeparators(dir);
  return dir;
}

bool createDirectories(const std::string& path) {
  if (path.empty()) return false;
  // Every level from the root down; levels that exist already are left as they are.
  for (std::size_t pos = path.find(kPathSeparator, 1); pos != std::string::npos;
       pos = path.find(kPathSeparator, pos + 1)) {
    const std::string level = path.substr(0, pos);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return isDirectory(path);
}

}  // namespace tarnwell::platform
