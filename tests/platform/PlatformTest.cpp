#include "platform/Platform.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace tarnwell::platform {
namespace {

namespace fs = std::filesystem;

class PlatformFiles : public testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    return tree.write(name, bytes);
  }
  std::string path(const std::string& name) { return tree.path(name); }
  test::TempTree tree;
  const fs::path& root = tree.root();
};

TEST_F(PlatformFiles, ReadFileHeadReadsAtMostTheAskedBytes) {
  std::vector<uint8_t> head;
  ASSERT_TRUE(readFileHead(write("a", "0123456789"), 4, head));
  EXPECT_EQ(std::string(head.begin(), head.end()), "0123");
  ASSERT_TRUE(readFileHead(write("b", "01"), 18, head));
  EXPECT_EQ(head.size(), 2u);
  ASSERT_TRUE(readFileHead(write("c", ""), 18, head));
  EXPECT_TRUE(head.empty());
}

TEST_F(PlatformFiles, SpecialFilesAreNotReadNorBlock) {
  std::vector<uint8_t> head{1, 2};
  const std::string fifo = path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(readFileHead(fifo, 4, head));
  EXPECT_TRUE(head.empty());
  EXPECT_FALSE(isReadableFile(fifo));
  EXPECT_FALSE(isReadableFile(root.string()));
  EXPECT_FALSE(isReadableFile(path("missing")));
  EXPECT_FALSE(isReadableFile(""));
  EXPECT_EQ(appendToFile(fifo, "x"), -1);
  EXPECT_EQ(appendToFile(root.string(), "x"), -1);
}

TEST_F(PlatformFiles, AppendCreatesThenAppends) {
  const std::string p = path("log");
  EXPECT_EQ(appendToFile(p, "ab"), 0);
  EXPECT_EQ(appendToFile(p, "cd"), 0);
  std::ifstream in(p, std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all, "abcd");
}

TEST_F(PlatformFiles, SameFileFollowsLinks) {
  const std::string a = write("a", "x");
  fs::create_symlink(a, root / "link");
  EXPECT_TRUE(sameFile(a, path("link")));
  EXPECT_FALSE(sameFile(a, write("b", "x")));
  EXPECT_FALSE(sameFile(a, path("missing")));
}

TEST_F(PlatformFiles, ListDirectoryTellsKindsApart) {
  write("file", "x");
  fs::create_directory(root / "dir");
  fs::create_directory_symlink(root / "dir", root / "dirlink");
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  auto entries = listDirectory(root.string());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "dir");
  EXPECT_TRUE(entries[0].isDirectory && !entries[0].isSymlink);
  EXPECT_TRUE(entries[1].isDirectory && entries[1].isSymlink);
  EXPECT_FALSE(entries[2].isDirectory || entries[2].isRegular);  // fifo
  EXPECT_TRUE(entries[3].isRegular);
  EXPECT_TRUE(listDirectory(path("missing")).empty());
  EXPECT_TRUE(listDirectory("").empty());
}

TEST_F(PlatformFiles, FileTimesRoundTripWithNanoseconds) {
  const std::string a = write("a", "x");
  FileTimes t{{1111111111, 222222222}, {1333333333, 444444444}};
  ASSERT_TRUE(setFileTimes(a, t));
  FileTimes got;
  ASSERT_TRUE(getFileTimes(a, got));
  EXPECT_EQ(got.access.tv_sec, 1111111111);
  EXPECT_EQ(got.access.tv_nsec, 222222222);
  EXPECT_EQ(got.modification.tv_sec, 1333333333);
  EXPECT_EQ(got.modification.tv_nsec, 444444444);
}

TEST_F(PlatformFiles, FileLockExcludesOtherHolders) {
  const std::string lockPath = path("lock");
  {
    FileLock first(lockPath);
    ASSERT_TRUE(first.locked());
    FileLock second(lockPath, /*wait=*/false);
    EXPECT_FALSE(second.locked());
  }
  FileLock again(lockPath, false);
  EXPECT_TRUE(again.locked());
}

TEST_F(PlatformFiles, WaitingLockGetsItWhenReleased) {
  const std::string lockPath = path("lock");
  auto first = std::make_unique<FileLock>(lockPath);
  std::atomic<bool> got{false};
  std::thread waiter([&] {
    FileLock second(lockPath);
    got = second.locked();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got);
  first.reset();
  waiter.join();
  EXPECT_TRUE(got);
}

// A holder that removes the lock file on its way out must not let a waiter of the old file and
// a newcomer on a fresh file both believe they hold the lock.
TEST_F(PlatformFiles, RemovedLockFileStillExcludes) {
  const std::string lockPath = path("lock");
  auto first = std::make_unique<FileLock>(lockPath);
  std::atomic<bool> got{false};
  std::thread waiter([&] {
    FileLock second(lockPath);
    got = second.locked();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  first->removeLockFile();
  EXPECT_FALSE(std::filesystem::exists(lockPath));
  auto third = std::make_unique<FileLock>(lockPath, /*wait=*/false);
  ASSERT_TRUE(third->locked());
  first.reset();  // the waiter wakes on the removed file and must queue behind the newcomer
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got);
  third.reset();
  waiter.join();
  EXPECT_TRUE(got);
}

TEST(Platform, RunAndWaitReportsExitCodeAndMissingProgram) {
  int code = -5;
  EXPECT_TRUE(runAndWait({"sh", "-c", "exit 3"}, &code));
  EXPECT_EQ(code, 3);
  EXPECT_FALSE(runAndWait({"tarnwell-no-such-program-xyz"}));
  EXPECT_FALSE(runAndWait({}));
}

TEST(Platform, ThreadRandFollowsClassicSequencePerThread) {
  resetThreadRand();
  EXPECT_EQ(threadRand(), 41);
  EXPECT_EQ(threadRand(), 18467);
  EXPECT_EQ(threadRand(), 6334);
  int other = -1;
  std::thread([&] { other = threadRand(); }).join();
  EXPECT_EQ(other, 41);  // every new thread starts again
}

// Jumping to a position gives the value stepping there gives, on any thread.
TEST(Platform, ThreadRandPositionMatchesStepping) {
  for (unsigned long long calls : {0ull, 1ull, 4ull, 7ull, 64ull, 1001ull, 65536ull}) {
    resetThreadRand();
    for (unsigned long long i = 0; i < calls; ++i) (void)threadRand();
    const int stepped = threadRand();
    int jumped = -1;
    std::thread([&] {
      setThreadRandPosition(calls);
      jumped = threadRand();
    }).join();
    EXPECT_EQ(jumped, stepped) << calls;
  }
}

TEST(Platform, FixedDateTextHasTwoDigitDay) {
  std::tm t{};
  t.tm_year = 109;
  t.tm_mon = 0;
  t.tm_mday = 7;
  t.tm_hour = 5;
  t.tm_min = 3;
  t.tm_sec = 2;
  t.tm_wday = 3;
  EXPECT_EQ(fixedDateText(t), "Wed Jan 07 05:03:02 2009");
}

TEST(Platform, TempDirectoryEndsInSeparatorAndProgramPathIsAbsolute) {
  EXPECT_EQ(tempDirectory().back(), kPathSeparator);
  EXPECT_EQ(programPath().front(), '/');
}

}  // namespace
}  // namespace tarnwell::platform
