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

std::string ownWorkDirectory() {
  const char* value = std::getenv("TARNWELL_WORKDIR");
  if (value == nullptr || *value == '\0' || !isDirectory(value)) return {};
  // An absolute path keeps naming the same directory whatever the current directory becomes.
  std::error_code ec;
  std::string dir = std::filesystem::absolute(value, ec).string();
  if (ec || dir.empty()) return {};
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

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd& operator=(Fd&&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Opens a path for reading without blocking on pipes or devices; the result is valid only
// for a regular file.
Fd openRegularForReading(const std::string& path) {
  if (path.empty()) return Fd(-1);
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return Fd(-1);
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Fd(-1);
  return fd;
}

}  // namespace

bool isReadableFile(const std::string& path) { return openRegularForReading(path).valid(); }

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa{}, sb{};
  if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool readFileHead(const std::string& path, std::size_t maxBytes, std::vector<uint8_t>& out) {
  out.clear();
  Fd fd = openRegularForReading(path);
  if (!fd.valid()) return false;
  out.resize(maxBytes);
  std::size_t got = 0;
  while (got < maxBytes) {
    ssize_t n = ::read(fd.get(), out.data() + got, maxBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out.clear();
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return true;
}

void startWriteback(int fd) {
#if defined(__linux__)
  (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)fd;
#endif
}

int appendToFile(const std::string& path, const std::string& bytes, unsigned createMode) {
  if (path.empty()) return -1;
  // O_NONBLOCK keeps a named pipe without a reader from blocking the open; it is refused below.
  Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
               static_cast<mode_t>(createMode)));
  if (!fd.valid()) return -1;
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

std::vector<DirEntry> listDirectory(const std::string& path) {
  std::vector<DirEntry> entries;
  if (path.empty()) return entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(path, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    DirEntry e;
    e.name = it->path().filename().string();
    std::error_code typeEc;
    e.isSymlink = it->is_symlink(typeEc);
    e.isDirectory = it->is_directory(typeEc);
    e.isRegular = it->is_regular_file(typeEc);
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

FileLock::FileLock(const std::string& path, bool wait) : path_(path) {
  if (path.empty()) return;
  // A holder removes the lock file when the process ends; a process that was waiting on the
  // removed file then holds a lock nobody else can see, so it opens the file afresh until the
  // file it locked is the one the path names.
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = ::open(path.c_str(),
                    O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    // A lock file planted by another user would let that user hold every conversion up.
    struct stat own{};
    if (::fstat(fd, &own) != 0 || !S_ISREG(own.st_mode) || own.st_uid != ::geteuid()) {
      ::close(fd);
      errno = EPERM;
      return;
    }
    int r;
    do {
      r = ::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
      ::close(fd);
      return;
    }
    struct stat held{}, named{};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      fd_ = fd;
      return;
    }
    ::close(fd);
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

void FileLock::removeLockFile() {
  // Only the holder removes it, so no other process is between its open and its lock check.
  if (fd_ >= 0) ::unlink(path_.c_str());
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
thread_local unsigned long long randPosition = 0;  // values drawn since state 1
}

int threadRand() {
  randState = randState * 214013u + 2531011u;
  ++randPosition;
  return static_cast<int>((randState >> 16) & 0x7FFF);
}

void resetThreadRand() {
  randState = 1;
  randPosition = 0;
}

unsigned long long threadRandPosition() { return randPosition; }

void setThreadRandPosition(unsigned long long calls) {
  randPosition = calls;
  // n steps of x -> a*x + c are x -> A*x + C; squaring the step halves the work each round.
  uint32_t a = 214013u;
  uint32_t c = 2531011u;
  uint32_t totalA = 1;
  uint32_t totalC = 0;
  for (; calls != 0; calls >>= 1) {
    if ((calls & 1) != 0) {
      totalA *= a;
      totalC = totalC * a + c;
    }
    c = c * (a + 1);
    a *= a;
  }
  randState = totalA * 1u + totalC;
}

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
