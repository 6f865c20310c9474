#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

// Every operating-system call of the program goes through this module.
namespace tarnwell::platform {

// Path separator used in report lines, directory walks and destination names.
inline constexpr char kPathSeparator = '/';

// Full, resolved path of the running program file.
std::string programPath();
// The system's temporary directory with a trailing separator.
std::string tempDirectory();
// The directory named by TARNWELL_WORKDIR, with a trailing separator, when the variable names
// an existing directory; empty otherwise (the working files then keep their usual places).
std::string ownWorkDirectory();
// The base directory of the user's state files, without a trailing separator:
// $XDG_STATE_HOME when it is an absolute path, otherwise $HOME/.local/state; empty when neither
// is known.
std::string userStateDirectory();

bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);
bool pathExists(const std::string& path);
// Creates one directory level; true when it was created.
bool createDirectory(const std::string& path);
// Creates a directory and its missing parents, each new one readable only by its owner; true
// when the path is a directory afterwards.
bool createDirectories(const std::string& path);
// True when a file can be created in the directory.
bool isWritableDirectory(const std::string& path);
// Removes a file; false when it did not exist or could not be removed.
bool removeFile(const std::string& path);
// True when the path names a regular file (links followed) that this process may open for
// reading. Never blocks, even on a named pipe.
bool isReadableFile(const std::string& path);
// True when both paths exist and name the same file (links followed).
bool sameFile(const std::string& a, const std::string& b);
// Reads at most maxBytes from the start of a regular file into out (cleared first). False when
// the path is not a regular file or cannot be opened or read; never blocks on special files.
bool readFileHead(const std::string& path, std::size_t maxBytes, std::vector<uint8_t>& out);
// Appends bytes to a regular file, creating it with `createMode` (less the umask) when missing,
// in one write where the system allows. 0 on success, -1 when the file cannot be opened (or is
// not a regular file) or written.
int appendToFile(const std::string& path, const std::string& bytes, unsigned createMode = 0666);

// Starts writing an open file's changed pages to the disk without waiting for them, so that a
// later fsync of a large file has little left to wait for. Nothing where the system cannot.
void startWriteback(int fd);

// The user's runtime directory ($XDG_RUNTIME_DIR when it is an absolute path naming a
// directory) with a trailing separator; empty otherwise.
std::string runtimeDirectory();
// The effective user id of the process.
unsigned long userId();

// What lstat says of a directory meant to be private to this user.
enum class PrivateDirectoryState {
  kPrivate,  // a real directory, owned by this user, with no group or other permission bits
  kMissing,  // nothing of that name
  kUnsafe    // a symlink, another file type, another owner or open to group or others
};
PrivateDirectoryState checkPrivateDirectory(const std::string& path);
// Makes the directory with mode 0700 when it is missing; true when it then passes the check.
// A directory that fails the check is never changed.
bool preparePrivateDirectory(const std::string& path);
// Makes a fresh private directory named prefix + six random characters (mkdtemp); its path
// with a trailing separator, or empty when none could be made.
std::string makeUniqueDirectory(const std::string& prefix);
// Removes a directory when it is empty; false otherwise.
bool removeEmptyDirectory(const std::string& path);

// How a working file is opened. Every mode refuses a symbolic link in the last component.
enum class WorkingFileMode {
  kCreate,  // a stale file of the name is removed, then a new one made (O_EXCL) with mode 0600
  kRead,    // an existing regular file of this user, read only
  kUpdate   // an existing regular file of this user, read and write
};
// The open descriptor (close-on-exec), or -1 with errno set.
int openWorkingFile(const std::string& path, WorkingFileMode mode);
// The same as a standard stream: "rb" reads, "r+b" updates, "wb" and "w+b" create.
std::FILE* openWorkingStream(const std::string& path, const char* mode);

// Stages a new version of a file in its own directory and puts it in place by renaming, so a
// reader of the destination sees the old file or the complete new one, never a part. The
// staged file is `.NAME.XXXXXX` (random letters), made with the permissions of an ordinary new
// file. A destination that is a symbolic link to a regular file has its target replaced. A
// destination that exists but is no regular file (a device, a pipe) is not staged: it is
// opened and written in place. The staged file is removed unless commit() succeeded.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::string& destination);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // The descriptor to write to; -1 when nothing could be opened.
  int fd() const { return fd_; }
  bool staged() const { return !stagedPath_.empty(); }
  const std::string& stagedPath() const { return stagedPath_; }
  // Gives the descriptor to the caller (a stream that closes it); the staged name stays
  // owned here.
  int releaseDescriptor();
  // Writes the data to the disk, closes the descriptor if still held and renames the staged
  // file over the destination. False (and the destination untouched) on any failure.
  bool commit();

 private:
  std::string destination_;
  std::string stagedPath_;
  int fd_ = -1;
  bool committed_ = false;
};

// Entries of one directory (names only, no "." or ".."), sorted by name.
struct DirEntry {
  std::string name;
  bool isDirectory = false;  // a directory, or a link to one
  bool isRegular = false;    // a regular file, or a link to one
  bool isSymlink = false;    // the entry itself is a symbolic link
};
std::vector<DirEntry> listDirectory(const std::string& path);

// Access and modification times, with nanoseconds.
struct FileTimes {
  timespec access{};
  timespec modification{};
};
bool getFileTimes(const std::string& path, FileTimes& times);
bool setFileTimes(const std::string& path, const FileTimes& times);

// Starts a program by name (PATH search applies) with these arguments and waits for it.
// True when the program started and the wait succeeded; the exit code goes to exitCode.
bool runAndWait(const std::vector<std::string>& argv, int* exitCode = nullptr);

// An exclusive advisory lock on a file, held for the object's life. The lock file is created
// when missing (mode 0600); a symbolic link, or a file of another user, is never locked. With wait set the constructor waits until the lock is free; otherwise it gives
// up at once when another holder has it (locked() then reports false).
class FileLock {
 public:
  explicit FileLock(const std::string& path, bool wait = true);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_ >= 0; }
  // Removes the lock file while it is held, so a finished process leaves nothing behind;
  // processes waiting on it take a fresh one.
  void removeLockFile();

 private:
  std::string path_;
  int fd_ = -1;
};

// Whether a graphical display is available (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set).
bool hasDisplay();

// The per-thread pseudo-random generator: classic constants, state 1 on every new thread,
// values 0 to 0x7FFF.
int threadRand();
// Restarts this thread's generator from state 1 (tests).
void resetThreadRand();
// Puts this thread's generator where `calls` values after state 1 leave it, so work done on any
// thread can draw the values it would have drawn on one thread doing everything in order.
void setThreadRandPosition(unsigned long long calls);
// How many values this thread's generator has given since state 1 (or since the position set).
unsigned long long threadRandPosition();

// Local time now.
std::tm localTimeNow();
// Local time of a time value.
std::tm localTime(std::time_t t);
// "Wed Jan 07 15:30:12 2009" in the C locale, day always two digits.
std::string fixedDateText(const std::tm& t);

}  // namespace tarnwell::platform
