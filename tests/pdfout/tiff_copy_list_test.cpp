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
  test::TempTree dir;
  std::vector<test::TiffImage> pages;
  std::string source, output = dir.file("out.tif");
};

struct ListCase {
  const char* name;
  const char* suffix;
  int result;
  std::vector<uint32_t> widths;
};

class TiffCopyListCases : public TiffCopyList, public ::testing::WithParamInterface<ListCase> {};

TEST_P(TiffCopyListCases, CopiesTheListedImages) {
  const ListCase c = GetParam();
  EXPECT_EQ(tiff_copy_file(source + c.suffix, output, TiffCopyOptions{}), c.result);
  if (c.result == 0) {
    EXPECT_EQ(outputWidths(), c.widths);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, TiffCopyListCases,
    ::testing::Values(ListCase{"all", "", 0, {100, 108, 116}},
                      ListCase{"empty_list", ",", 0, {100, 108, 116}},
                      ListCase{"one", ",2", 0, {116}}, ListCase{"reordered", ",2,0", 0, {116, 100}},
                      ListCase{"trailing_comma", ",1,", 0, {108}},
                      ListCase{"empty_number_is_current", ",1,,0", 0, {108, 108, 100}},
                      ListCase{"hex", ",0x2", 0, {116}}, ListCase{"octal", ",01,02", 0, {108, 116}},
                      ListCase{"first_missing", ",9", -3, {}},
                      ListCase{"octal_eight_missing", ",010", -3, {}},
                      ListCase{"first_malformed", ",1x", -3, {}},
                      ListCase{"later_missing_ends_copy", ",0,9,1", 0, {100}},
                      ListCase{"later_malformed_ends_copy", ",2,a", 0, {116}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TiffCopyList, ReportsMissingAndMalformedLists) {
  test::TiffMessages log;
  EXPECT_EQ(tiff_copy_file(source + ",9", output, TiffCopyOptions{}), -3);
  EXPECT_TRUE(log.has("trnw2pdf: " + source + ",9 not found!"));
  EXPECT_EQ(tiff_copy_file(source + ",1;2", output, TiffCopyOptions{}), -3);
  EXPECT_TRUE(log.has("trnw2pdf: Expected a , separated image # list after " + source));
}

// A folder whose name holds a ',' is no image list: the file inside is copied whole.
TEST_F(TiffCopyList, FolderWithCommaIsCopiedWhole) {
  const std::string folder = dir.file("faxes,old");
  std::filesystem::create_directories(folder);
  const std::string inside = folder + "/a.tif";
  std::filesystem::copy_file(source, inside);
  EXPECT_EQ(tiff_copy_file(inside, output, TiffCopyOptions{}), 0);
  EXPECT_EQ(outputWidths(), (std::vector<uint32_t>{100, 108, 116}));
  // A list after such a name still works.
  EXPECT_EQ(tiff_copy_file(inside + ",1", output, TiffCopyOptions{}), 0);
  EXPECT_EQ(outputWidths(), (std::vector<uint32_t>{108}));
}

// A file whose own name looks like a list is copied whole, not read as a list.
TEST_F(TiffCopyList, FileNamedLikeAListIsCopiedWhole) {
  const std::string named = dir.file("fax.tif,2");
  std::filesystem::copy_file(source, named);
  EXPECT_EQ(tiff_copy_file(named, output, TiffCopyOptions{}), 0);
  EXPECT_EQ(outputWidths(), (std::vector<uint32_t>{100, 108, 116}));
}

TEST_F(TiffCopyList, MissingFilesAndOutputs) {
  EXPECT_EQ(tiff_copy_file(dir.file("none,1"), output, TiffCopyOptions{}), -3);
  EXPECT_EQ(tiff_copy_file(dir.file("none.tif"), output, TiffCopyOptions{}), -3);
  EXPECT_EQ(tiff_copy_file(source, dir.file("no/such/dir/out.tif"), TiffCopyOptions{}), -2);
  ASSERT_TRUE(test::writeText(dir.file("text.tif"), "not a tiff at all"));
  EXPECT_EQ(tiff_copy_file(dir.file("text.tif"), output, TiffCopyOptions{}), -3);
  TiffCopyOptions append;
  append.append = 1;
  EXPECT_EQ(tiff_copy_file(source, dir.file("text.tif"), append), -2);
}

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

// A full disk is a failure, never a success with a truncated file.
TEST_F(TiffCopyList, FullDiskFails) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_NE(tiff_copy_file(source, "/dev/full", TiffCopyOptions{}), 0);
}

}  // namespace
}  // namespace tarnwell
