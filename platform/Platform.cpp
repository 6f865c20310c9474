#include "platform/Platform.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace tarnwell::platform {

std::string programPath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return p.string();
}

std::string tempDirectory() {
  std::error_code ec;
  std::string dir = std::filesystem::temp_directory_path(ec).string();
  if (ec || dir.empty()) dir = "/tmp";
  if (dir.back() != kPathSeparator) dir.push_back(kPathSeparator);
  return dir;
}

bool isDirectory(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool pathExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool createDirectory(const std::string& path) {
  return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool isWritableDirectory(const std::string& path) {
  return isDirectory(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

bool removeFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

std::vector<DirEntry> listDirectory(const std::string& path) {
  std::vector<DirEntry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(path, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    DirEntry e;
    e.name = it->path().filename().string();
    std::error_code typeEc;
    e.isDirectory = it->is_directory(typeEc);
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return entries;
}

bool getFileTimes(const std::string& path, FileTimes& times) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return false;
  times.access = st.st_atim;
  times.modification = st.st_mtim;
  return true;
}

bool setFileTimes(const std::string& path, const FileTimes& times) {
  const timespec ts[2] = {times.access, times.modification};
  return ::utimensat(AT_FDCWD, path.c_str(), ts, 0) == 0;
}

bool runAndWait(const std::vector<std::string>& argv, int* exitCode) {
  if (argv.empty()) return false;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  if (r != pid) return false;
  // posix_spawnp may report a missing program only through the child's exit code 127.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return false;
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

FileLock::FileLock(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  int r;
  do {
    r = ::flock(fd, LOCK_EX);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool hasDisplay() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

namespace {
thread_local uint32_t randState = 1;
}

int threadRand() {
  randState = randState * 214013u + 2531011u;
  return static_cast<int>((randState >> 16) & 0x7FFF);
}

void resetThreadRand() { randState = 1; }

std::tm localTime(std::time_t t) {
  std::tm out{};
  ::localtime_r(&t, &out);
  return out;
}

std::tm localTimeNow() { return localTime(std::time(nullptr)); }

std::string fixedDateText(const std::tm& t) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %d", kDays[(t.tm_wday % 7 + 7) % 7],
                kMonths[(t.tm_mon % 12 + 12) % 12], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                t.tm_year + 1900);
  return buf;
}

}  // namespace tarnwell::platform
