#include "app/ConversionLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

std::tm sampleTime() {
  std::tm t{};
  t.tm_year = 2009 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 7;
  t.tm_hour = 15;
  t.tm_min = 30;
  t.tm_sec = 12;
  t.tm_wday = 3;
  return t;
}

const std::string kRule = "\r\r\n--------------------------\r\r\n";

TEST(LogEntry, SingleFileEntryBytes) {
  const std::string report = "\r\n\r\nA --> B : Success !\r\n";
  EXPECT_EQ(logEntryBytes(sampleTime(), report),
            "Wed Jan 07 15:30:12 2009\r\n" + kRule + "\r\r\n\r\r\nA --> B : Success !\r\r\n" +
                kRule);
}

TEST(LogEntry, EveryLineFeedGetsCarriageReturn) {
  EXPECT_EQ(logEntryBytes(sampleTime(), "x\ny\n\n"),
            "Wed Jan 07 15:30:12 2009\r\n" + kRule + "x\r\ny\r\n\r\n" + kRule);
  EXPECT_EQ(logEntryBytes(sampleTime(), ""), "Wed Jan 07 15:30:12 2009\r\n" + kRule + kRule);
}

TEST(LogEntry, TimeStampedName) {
  EXPECT_EQ(timeStampedLogName(sampleTime()), "20090107153012.log");
}

class WriteLog : public testing::Test {
 protected:
  test::TempTree tree;
};

TEST_F(WriteLog, EntriesAccumulate) {
  const std::string dir = tree.mkdir("log") + "/";
  EXPECT_EQ(writeLog(dir, "fileconv.log", "one", sampleTime()), 0);
  EXPECT_EQ(writeLog(dir, "fileconv.log", "two", sampleTime()), 0);
  EXPECT_EQ(test::readText(dir + "fileconv.log"),
            logEntryBytes(sampleTime(), "one") + logEntryBytes(sampleTime(), "two"));
}

TEST_F(WriteLog, EmptyNameGivesTimeStampedFile) {
  const std::string dir = tree.mkdir("log");  // without the trailing separator too
  EXPECT_EQ(writeLog(dir, "", "r", sampleTime()), 0);
  EXPECT_TRUE(fs::exists(tree.root() / "log/20090107153012.log"));
}

TEST_F(WriteLog, MissingDirectoryIsNeverCreated) {
  EXPECT_EQ(writeLog(tree.path("log/"), "fileconv.log", "r", sampleTime()), 0);
  EXPECT_FALSE(fs::exists(tree.root() / "log"));
  tree.write("log", "a file");  // a file where the directory should be
  EXPECT_EQ(writeLog(tree.path("log/"), "fileconv.log", "r", sampleTime()), 0);
  EXPECT_EQ(test::readText(tree.path("log")), "a file");
}

TEST_F(WriteLog, UnwritableLogIsSkipped) {
  const std::string dir = tree.mkdir("log") + "/";
  tree.mkdir("log/fileconv.log");  // a directory in the way
  EXPECT_EQ(writeLog(dir, "fileconv.log", "r", sampleTime()), -1);
  ASSERT_EQ(::mkfifo((dir + "pipe.log").c_str(), 0600), 0);  // must not block
  EXPECT_EQ(writeLog(dir, "pipe.log", "r", sampleTime()), -1);
}

TEST_F(WriteLog, CurrentDirectoryStays) {
  const fs::path before = fs::current_path();
  writeLog(tree.mkdir("log") + "/", "x.log", "r", sampleTime());
  EXPECT_EQ(fs::current_path(), before);
}

}  // namespace
}  // namespace tarnwell
