// Private directories, working files that cannot be redirected, and files replaced by renaming.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Platform.h"

namespace tarnwell::platform {

namespace {

std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
  return path;
}

int closeKeepingErrno(int fd) {
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return -1;
}

// Six characters from the letters and digits, from the system's random source.
std::string randomSuffix() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    // Without the random source the suffix only has to differ from names that exist; the
    // exclusive create below refuses any collision.
    static std::atomic<unsigned> counter{0};
    const unsigned long seed = static_cast<unsigned long>(::getpid()) * 7919u + counter++;
    for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(seed >> (i * 5));
  }
  std::string suffix;
  for (unsigned char b : bytes) suffix.push_back(kAlphabet[b % (sizeof kAlphabet - 1)]);
  return suffix;
}

// The directory part and the name part of a path ("." for a bare name).
void splitPath(const std::string& path, std::string& directory, std::string& name) {
  const auto sep = path.rfind(kPathSeparator);
  if (sep == std::string::npos) {
    directory = ".";
    name = path;
  } else {
    directory = path.substr(0, sep == 0 ? 1 : sep);
    name = path.substr(sep + 1);
  }
}

}  // namespace

std::string runtimeDirectory() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  // A relative value is invalid and ignored, as the XDG base directory rules say; so is one
  // that names no directory (a session that has ended), which would leave no working files.
  if (value == nullptr || value[0] != kPathSeparator || !isDirectory(value)) return {};
  std::string dir = withoutTrailingSeparators(value);
  if (dir.back() != kPathSeparator) dir.push_back(kPathSeparator);
  return dir;
}

unsigned long userId() { return static_cast<unsigned long>(::geteuid()); }

PrivateDirectoryState checkPrivateDirectory(const std::string& path) {
  if (path.empty()) return PrivateDirectoryState::kUnsafe;
  struct stat st{};
  if (::lstat(withoutTrailingSeparators(path).c_str(), &st) != 0)
    return errno == ENOENT ? PrivateDirectoryState::kMissing : PrivateDirectoryState::kUnsafe;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
    return PrivateDirectoryState::kUnsafe;
  return PrivateDirectoryState::kPrivate;
}

bool preparePrivateDirectory(const std::string& path) {
  switch (checkPrivateDirectory(path)) {
    case PrivateDirectoryState::kPrivate:
      return true;
    case PrivateDirectoryState::kUnsafe:
      return false;
    case PrivateDirectoryState::kMissing:
      break;
  }
  // Another process of this user may make it at the same moment; the check decides.
  (void)::mkdir(withoutTrailingSeparators(path).c_str(), 0700);
  return checkPrivateDirectory(path) == PrivateDirectoryState::kPrivate;
}

std::string makeUniqueDirectory(const std::string& prefix) {
  std::vector<char> name(prefix.begin(), prefix.end());
  for (int i = 0; i < 6; ++i) name.push_back('X');
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) return {};
  std::string dir(name.data());
  if (checkPrivateDirectory(dir) != PrivateDirectoryState::kPrivate) return {};
  return dir + kPathSeparator;
}

bool removeEmptyDirectory(const std::string& path) {
  return !path.empty() && ::rmdir(withoutTrailingSeparators(path).c_str()) == 0;
}

int openWorkingFile(const std::string& path, WorkingFileMode mode) {
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  constexpr int kCommon = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
  if (mode == WorkingFileMode::kCreate) {
    struct stat existing{};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISLNK(existing.st_mode)) {
      // A device (such as /dev/full given as an output) is written as it is, never removed; a
      // pipe without a reader or a directory fails here.
      int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | kCommon);
      if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | kCommon);
      if (fd < 0) return -1;
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      return fd;
    }
    // A stale file or a link of that name goes; the new file is made afresh, so no earlier
    // owner, mode or link target carries over.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kCommon, 0600);
  }
  const int access = mode == WorkingFileMode::kRead ? O_RDONLY : O_RDWR;
  const int fd = ::open(path.c_str(), access | O_NONBLOCK | kCommon);
  if (fd < 0) return -1;
  struct stat st{};
  if (::fstat(fd, &st) != 0) return closeKeepingErrno(fd);
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  // Reads and writes of a regular file block as usual.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

std::FILE* openWorkingStream(const std::string& path, const char* mode) {
  if (mode == nullptr) return nullptr;
  const std::string m(mode);
  WorkingFileMode how;
  if (m == "rb" || m == "r") {
    how = WorkingFileMode::kRead;
  } else if (m == "r+b" || m == "rb+" || m == "r+") {
    how = WorkingFileMode::kUpdate;
  } else if (m == "wb" || m == "w+b" || m == "wb+" || m == "w" || m == "w+") {
    how = WorkingFileMode::kCreate;
  } else {
    errno = EINVAL;
    return nullptr;
  }
  const int fd = openWorkingFile(path, how);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, mode);
  if (file == nullptr) closeKeepingErrno(fd);
  return file;
}

ReplacementFile::ReplacementFile(const std::string& destination) : destination_(destination) {
  if (destination.empty()) return;
  std::string target = destination;
  struct stat link{};
  if (::lstat(destination.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    // The link stays; the file it names gets the new contents, as a write through it would.
    struct stat named{};
    char resolved[PATH_MAX];
    if (::stat(destination.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
        ::realpath(destination.c_str(), resolved) != nullptr)
      target = resolved;
  }
  struct stat st{};
  if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    // A device or pipe cannot be replaced by renaming; it is written as it is.
    fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    return;
  }
  destination_ = target;
  std::string directory, name;
  splitPath(target, directory, name);
  // The staged name must fit the file system's name limit whatever the destination's length.
  constexpr std::size_t kNameRoom = 200;
  if (name.size() > kNameRoom) name.resize(kNameRoom);
  const std::string prefix = (directory == "/" ? std::string() : directory) + kPathSeparator;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = prefix + "." + name + "." + randomSuffix();
    // Mode 0666 less the umask (and any default ACL): the permissions of an ordinary new file.
    const int fd = ::open(candidate.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666);
    if (fd >= 0) {
      fd_ = fd;
      stagedPath_ = candidate;
      return;
    }
    if (errno != EEXIST) return;
  }
}

ReplacementFile::~ReplacementFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !stagedPath_.empty()) ::unlink(stagedPath_.c_str());
}

int ReplacementFile::releaseDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool ReplacementFile::commit() {
  if (committed_) return true;
  if (fd_ >= 0) {
    const bool synced = stagedPath_.empty() || ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed) return false;
  }
  if (stagedPath_.empty()) return true;  // written in place
  if (::rename(stagedPath_.c_str(), destination_.c_str()) != 0) return false;
  committed_ = true;
  // The new name itself reaches the disk with the directory.
  std::string directory, name;
  splitPath(destination_, directory, name);
  const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace tarnwell::platform
