// Source names: image lists after a ',', and names that hold a ',' themselves.

#include <gtest/gtest.h>

#include <filesystem>

#include "pdfout/tiffio/messages.h"
#include "pdfout/copy/tiff_copy.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

constexpr TiffCopyResult kCopied = TiffCopyResult::kCopied;

using test::DecodedImage;

class TiffCopyList : public ::testing::Test {
 protected:
  void SetUp() override {
    silenceTiffMessages();
    // Three pages told apart by their widths 100, 108, 116.
    for (int i = 0; i < 3; ++i)
      pages.push_back(test::bilevelImage(100 + 8 * i, 20, COMPRESSION_CCITTFAX4, i));
    source = dir.file("fax.tif");
    ASSERT_TRUE(test::writeTiff(source, pages));
  }
  // Widths of the output's images in order; empty when there is no output.
  std::vector<uint32_t> outputWidths() {
    std::vector<uint32_t> widths;
    const int count = test::countDirectories(output);
    for (int d = 0; d < count; ++d) {
      DecodedImage image;
      if (test::readTiffImage(output, static_cast<uint32_t>(d), image))
        widths.push_back(image.width);
    }
    return widths;
  }
  static TiffCopyResult copy(const std::string& name, const std::string& to,
                             const TiffCopyOptions& options = {}) {
    return tiff_copy_file({name, to, options}).result;
  }
  test::TempTree dir;
  std::vector<test::TiffImage> pages;
  std::string source, output = dir.file("out.tif");
};

struct ListCase {
  const char* name;
  const char* suffix;
  TiffCopyResult result;
  std::vector<uint32_t> widths;
};

constexpr TiffCopyResult kSourceFailed = TiffCopyResult::kSourceFailed;

class TiffCopyListCases : public TiffCopyList, public ::testing::WithParamInterface<ListCase> {};

TEST_P(TiffCopyListCases, CopiesTheListedImages) {
  const ListCase c = GetParam();
  EXPECT_EQ(copy(source + c.suffix, output), c.result);
  if (c.result == kCopied) {
    EXPECT_EQ(outputWidths(), c.widths);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, TiffCopyListCases,
    ::testing::Values(ListCase{"all", "", kCopied, {100, 108, 116}},
                      ListCase{"empty_list", ",", kCopied, {100, 108, 116}},
                      ListCase{"one", ",2", kCopied, {116}},
                      ListCase{"reordered", ",2,0", kCopied, {116, 100}},
                      ListCase{"trailing_comma", ",1,", kCopied, {108}},
                      ListCase{"empty_number_is_current", ",1,,0", kCopied, {108, 108, 100}},
                      ListCase{"hex", ",0x2", kCopied, {116}},
                      ListCase{"octal", ",01,02", kCopied, {108, 116}},
                      ListCase{"first_missing", ",9", kSourceFailed, {}},
                      ListCase{"octal_eight_missing", ",010", kSourceFailed, {}},
                      ListCase{"first_malformed", ",1x", kSourceFailed, {}},
                      ListCase{"later_missing_ends_copy", ",0,9,1", kCopied, {100}},
                      ListCase{"later_malformed_ends_copy", ",2,a", kCopied, {116}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TiffCopyList, ReportsMissingAndMalformedLists) {
  test::TiffMessages log;
  EXPECT_EQ(copy(source + ",9", output), TiffCopyResult::kSourceFailed);
  EXPECT_TRUE(log.has("trnw2pdf: " + source + ",9 not found!"));
  EXPECT_EQ(copy(source + ",1;2", output), TiffCopyResult::kSourceFailed);
  EXPECT_TRUE(log.has("trnw2pdf: Expected a , separated image # list after " + source));
}

// A folder whose name holds a ',' is no image list: the file inside is copied whole.
TEST_F(TiffCopyList, FolderWithCommaIsCopiedWhole) {
  const std::string folder = dir.file("faxes,old");
  std::filesystem::create_directories(folder);
  const std::string inside = folder + "/a.tif";
  std::filesystem::copy_file(source, inside);
  EXPECT_EQ(copy(inside, output), kCopied);
  EXPECT_EQ(outputWidths(), (std::vector<uint32_t>{100, 108, 116}));
  // A list after such a name still works.
  EXPECT_EQ(copy(inside + ",1", output), kCopied);
  EXPECT_EQ(outputWidths(), (std::vector<uint32_t>{108}));
}

// A file whose own name looks like a list is copied whole, not read as a list.
TEST_F(TiffCopyList, FileNamedLikeAListIsCopiedWhole) {
  const std::string named = dir.file("fax.tif,2");
  std::filesystem::copy_file(source, named);
  EXPECT_EQ(copy(named, output), kCopied);
  EXPECT_EQ(outputWidths(), (std::vector<uint32_t>{100, 108, 116}));
}

TEST_F(TiffCopyList, MissingFilesAndOutputs) {
  EXPECT_EQ(copy(dir.file("none,1"), output), TiffCopyResult::kSourceFailed);
  EXPECT_EQ(copy(dir.file("none.tif"), output), TiffCopyResult::kSourceFailed);
  EXPECT_EQ(copy(source, dir.file("no/such/dir/out.tif")), TiffCopyResult::kOutputFailed);
  ASSERT_TRUE(test::writeText(dir.file("text.tif"), "not a tiff at all"));
  EXPECT_EQ(copy(dir.file("text.tif"), output), TiffCopyResult::kSourceFailed);
  TiffCopyOptions append;
  append.append = 1;
  EXPECT_EQ(copy(source, dir.file("text.tif"), append), TiffCopyResult::kOutputFailed);
}

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

// A full disk is a failure, never a success with a truncated file.
TEST_F(TiffCopyList, FullDiskFails) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_NE(copy(source, "/dev/full"), kCopied);
}

}  // namespace
}  // namespace tarnwell
