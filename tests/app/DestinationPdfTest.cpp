// The destination PDF is replaced whole or not at all: a conversion that fails while writing
// (the destination's disk is full, the file size limit is reached) or that is killed while
// writing leaves the old PDF, or a complete new one, under the destination's name.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Bitmap.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// Names in a directory other than the expected ones (staged files left behind, for instance).
std::vector<std::string> othersIn(const std::string& directory, const std::vector<std::string>& expected) {
  std::vector<std::string> others;
  for (const auto& e : fs::directory_iterator(directory)) {
    const std::string name = e.path().filename().string();
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) others.push_back(name);
  }
  return others;
}

// SIGXFSZ ignored for the object's life, and so for the programs started meanwhile: a write
// past the file size limit then fails with EFBIG instead of ending the process.
class IgnoredFileSizeSignal {
 public:
  IgnoredFileSizeSignal() {
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old_);
  }
  ~IgnoredFileSizeSignal() { ::sigaction(SIGXFSZ, &old_, nullptr); }
  IgnoredFileSizeSignal(const IgnoredFileSizeSignal&) = delete;
  IgnoredFileSizeSignal& operator=(const IgnoredFileSizeSignal&) = delete;

 private:
  struct sigaction old_{};
};

// A small tmpfs mounted on a directory for the object's life; mounted() is false where the
// process may not mount (no root, or a container without the right).
class SmallTmpfs {
 public:
  SmallTmpfs(const std::string& directory, int kilobytes) : directory_(directory) {
    mounted_ = test::runCommand("mount -t tmpfs -o size=" + std::to_string(kilobytes) +
                                "k,mode=0755 tarnwell-test " + test::shellQuote(directory))
                   .exitCode == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) (void)test::runCommand("umount " + test::shellQuote(directory_));
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;
  bool mounted() const { return mounted_; }

 private:
  std::string directory_;
  bool mounted_ = false;
};

class DestinationPdf : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(TARNWELL_SOURCE_DIR "/samples/letter.tif", tree.path("letter.tif"));
    fs::copy_file(TARNWELL_SOURCE_DIR "/samples/memo.g3", tree.path("memo.g3"));
    tmp = tree.mkdir("tmp");
    // The old PDF every test expects to survive, and the size of the new one.
    ASSERT_EQ(run({"/q", "/f", "memo.g3", "old.pdf"}).exitCode, 0);
    oldPdf = test::readText(tree.path("old.pdf"));
    ASSERT_EQ(run({"/q", "/f", "letter.tif", "new.pdf"}).exitCode, 0);
    newPdfSize = fs::file_size(tree.path("new.pdf"));
  }

  test::CommandResult run(const std::vector<std::string>& args, const std::string& launcher = "") {
    test::ProgramRun how;
    how.workingDir = tree.path();
    how.tmpDir = tmp;
    how.launcher = launcher;
    return test::runProgram(how, args);
  }

  // Converts the letter over a copy of the old PDF at `pdf`; the conversion must fail in the
  // PDF writer and leave the old PDF and nothing else.
  void expectOldPdfKept(const std::string& pdf, const std::string& launcher = "") {
    fs::create_directories(fs::path(pdf).parent_path());
    ASSERT_TRUE(test::writeText(pdf, oldPdf));
    const test::CommandResult r = run({"/f", "letter.tif", pdf}, launcher);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Failed : letter.tif - Error in converting to pdf"), std::string::npos)
        << r.out;
    EXPECT_TRUE(test::readText(pdf) == oldPdf);
    EXPECT_EQ(othersIn(fs::path(pdf).parent_path(), {fs::path(pdf).filename().string()}),
              std::vector<std::string>{});
  }

  test::TempTree tree;
  std::string tmp;
  std::string oldPdf;
  std::uintmax_t newPdfSize = 0;
};

// A full disk at the destination, on a small tmpfs that the old PDF and a filler leave too
// little room for the new one.
TEST_F(DestinationPdf, FullDiskKeepsTheOldPdf) {
  const std::string disk = tree.mkdir("disk");
  SmallTmpfs tmpfs(disk, 64);
  if (!tmpfs.mounted()) GTEST_SKIP() << "no right to mount a tmpfs here";
  ASSERT_TRUE(test::writeText(disk + "/out.pdf", oldPdf));
  struct statvfs fsInfo{};
  ASSERT_EQ(::statvfs(disk.c_str(), &fsInfo), 0);
  const std::uintmax_t free = std::uintmax_t{fsInfo.f_bavail} * fsInfo.f_frsize;
  ASSERT_GT(free, newPdfSize / 2);
  ASSERT_TRUE(test::writeText(disk + "/filler", std::string(free - newPdfSize / 2, 'f')));
  fs::remove(disk + "/out.pdf");
  // expectOldPdfKept writes the old PDF again; only the filler may be there beside it.
  ASSERT_TRUE(test::writeText(disk + "/out.pdf", oldPdf));
  {
    const test::CommandResult r = run({"/f", "letter.tif", disk + "/out.pdf"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Error in converting to pdf"), std::string::npos) << r.out;
  }
  EXPECT_TRUE(test::readText(disk + "/out.pdf") == oldPdf);
  EXPECT_EQ(othersIn(disk, {"out.pdf", "filler"}), std::vector<std::string>{});
}

// The same failure without mount rights: a file size limit between the size of the working
// TIFF and the new PDF makes the PDF's writes fail with EFBIG.
TEST_F(DestinationPdf, FileSizeLimitKeepsTheOldPdf) {
  if (!test::haveTool("prlimit")) GTEST_SKIP() << "prlimit missing";
  IgnoredFileSizeSignal ignored;
  expectOldPdfKept(tree.path("out/limited.pdf"),
                   "prlimit --fsize=" + std::to_string(newPdfSize - 64) + " --");
}

// A conversion killed at several points of a long run: the destination holds the old PDF or a
// complete new one with every page. (A staged file of a killed run may stay beside it; nothing
// can remove it once the process is gone.)
TEST_F(DestinationPdf, KilledConversionLeavesOldOrWholePdf) {
  if (!test::haveTool("qpdf") || !test::haveTool("timeout")) GTEST_SKIP() << "qpdf or timeout missing";
  constexpr int kPages = 120;
  const test::Bitmap page = test::makePage(test::Pattern::kText, 1728, 1100, 7);
  ASSERT_TRUE(test::writeFaxTiff(tree.path("long.tif"), std::vector<test::Bitmap>(kPages, page)));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(run({"/q", "/f", "long.tif", "whole.pdf"}).exitCode, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string pdf = tree.path("killed/out.pdf");
  fs::create_directories(fs::path(pdf).parent_path());
  int oldKept = 0;
  for (const double share : {0.1, 0.3, 0.5, 0.7, 0.85, 0.95}) {
    SCOPED_TRACE(share);
    ASSERT_TRUE(test::writeText(pdf, oldPdf));
    char after[32];
    std::snprintf(after, sizeof after, "%.3f", seconds * share);
    (void)run({"/q", "/f", "long.tif", pdf}, std::string("timeout -s KILL ") + after);
    if (test::readText(pdf) == oldPdf) {
      ++oldKept;
    } else {
      EXPECT_TRUE(test::qpdfCheck(pdf));
      EXPECT_EQ(test::qpdfPageCount(pdf), kPages);
    }
  }
  // At least the earliest kill came before the new PDF was complete.
  EXPECT_GT(oldKept, 0);
}

}  // namespace
}  // namespace tarnwell
