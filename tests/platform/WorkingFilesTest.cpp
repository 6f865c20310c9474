// Private directories, working files that cannot be redirected and files replaced by renaming.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/Platform.h"
#include "support/TempTree.h"

namespace tarnwell::platform {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Every directory that is not a real one of this user's alone fails the check and is never
// changed; a missing one is made with mode 0700.
TEST(PrivateDirectory, CheckAndPrepare) {
  test::TempTree tree;
  const std::string good = tree.mkdir("good");
  fs::permissions(good, fs::perms::owner_all);
  const std::string open = tree.mkdir("open");
  fs::permissions(open, fs::perms::owner_all | fs::perms::others_exec);
  fs::create_directory_symlink(good, tree.path("link"));
  tree.write("file", "x");
  struct Case {
    std::string path;
    PrivateDirectoryState state;
    bool prepared;
  };
  for (const Case& c : {Case{good, PrivateDirectoryState::kPrivate, true},
                        Case{good + "/", PrivateDirectoryState::kPrivate, true},
                        Case{open, PrivateDirectoryState::kUnsafe, false},
                        Case{tree.path("link"), PrivateDirectoryState::kUnsafe, false},
                        Case{tree.path("file"), PrivateDirectoryState::kUnsafe, false},
                        Case{tree.path("new"), PrivateDirectoryState::kMissing, true}}) {
    SCOPED_TRACE(c.path);
    const mode_t before = modeOf(c.path);
    EXPECT_EQ(checkPrivateDirectory(c.path), c.state);
    EXPECT_EQ(preparePrivateDirectory(c.path), c.prepared);
    if (c.state != PrivateDirectoryState::kMissing) {
      EXPECT_EQ(modeOf(c.path), before);
    }
  }
  EXPECT_EQ(modeOf(tree.path("new")) & 07777, 0700u);

  const std::string fresh = makeUniqueDirectory(tree.path("open."));
  ASSERT_FALSE(fresh.empty());
  EXPECT_EQ(fresh.back(), kPathSeparator);
  EXPECT_EQ(checkPrivateDirectory(fresh), PrivateDirectoryState::kPrivate);
  EXPECT_NE(makeUniqueDirectory(tree.path("open.")), fresh);
  EXPECT_TRUE(removeEmptyDirectory(fresh));
  EXPECT_FALSE(removeEmptyDirectory(tree.path("")));  // not empty
}

// A working file made new replaces a stale file or a link (never what the link names), has
// mode 0600 whatever the umask; reading and updating refuse a link.
TEST(WorkingFile, NeverThroughALink) {
  test::TempTree tree;
  const std::string target = tree.write("target", "keep");
  const std::string name = tree.path("work.tmp");
  for (const char* stale : {"none", "file", "link", "dangling"}) {
    SCOPED_TRACE(stale);
    std::error_code ec;
    fs::remove(name, ec);
    if (std::string(stale) == "file") tree.write("work.tmp", "stale");
    if (std::string(stale) == "link") fs::create_symlink(target, name);
    if (std::string(stale) == "dangling") fs::create_symlink(tree.path("nowhere"), name);
    const mode_t oldMask = ::umask(0);
    std::FILE* file = openWorkingStream(name, "wb");
    ::umask(oldMask);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fputs("new", file) >= 0, true);
    std::fclose(file);
    EXPECT_TRUE(S_ISREG(modeOf(name)));
    EXPECT_EQ(modeOf(name) & 07777, 0600u);
    EXPECT_EQ(test::readText(name), "new");
    EXPECT_EQ(test::readText(target), "keep");
    EXPECT_FALSE(fs::exists(tree.path("nowhere")));
  }
  fs::remove(name);
  fs::create_symlink(target, name);
  for (const char* mode : {"rb", "r+b"}) EXPECT_EQ(openWorkingStream(name, mode), nullptr) << mode;
  EXPECT_EQ(openWorkingFile(tree.path("missing"), WorkingFileMode::kRead), -1);
}

// A device named as a working file is written as it is: never removed, never replaced.
TEST(WorkingFile, DeviceIsNeverRemoved) {
  if (!fs::exists("/dev/null")) GTEST_SKIP() << "no /dev/null";
  const int fd = openWorkingFile("/dev/null", WorkingFileMode::kCreate);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::write(fd, "x", 1), 1);
  ::close(fd);
  EXPECT_TRUE(S_ISCHR(modeOf("/dev/null")));
}

// The new contents appear under the destination only with commit(); without it the staged file
// goes and the old destination stays. A link keeps pointing at the replaced file.
TEST(ReplacementFile, OldContentsUntilCommit) {
  test::TempTree tree;
  const std::string dest = tree.write("out.pdf", "old");
  for (const bool commit : {false, true}) {
    SCOPED_TRACE(commit);
    {
      ReplacementFile file(dest);
      ASSERT_GE(file.fd(), 0);
      ASSERT_TRUE(file.staged());
      EXPECT_EQ(fs::path(file.stagedPath()).parent_path(), fs::path(dest).parent_path());
      EXPECT_TRUE(fs::path(file.stagedPath()).filename().string().starts_with(".out.pdf."));
      EXPECT_EQ(::write(file.fd(), "new", 3), 3);
      EXPECT_EQ(test::readText(dest), "old");
      if (commit) {
        EXPECT_TRUE(file.commit());
      }
    }
    EXPECT_EQ(test::readText(dest), commit ? "new" : "old");
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(tree.path())) entries += e.exists() ? 1 : 0;
    EXPECT_EQ(entries, 1u);  // no staged file left
  }
  fs::create_symlink(dest, tree.path("link.pdf"));
  {
    ReplacementFile file(tree.path("link.pdf"));
    ASSERT_TRUE(file.staged());
    EXPECT_EQ(::write(file.fd(), "newer", 5), 5);
    EXPECT_TRUE(file.commit());
  }
  EXPECT_TRUE(fs::is_symlink(tree.path("link.pdf")));
  EXPECT_EQ(test::readText(dest), "newer");
  ReplacementFile missingDirectory(tree.path("no/such.pdf"));
  EXPECT_LT(missingDirectory.fd(), 0);
}

}  // namespace
}  // namespace tarnwell::platform
