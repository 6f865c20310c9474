// Files of the fax TIFF writer read back with libtiff: tags, strips and decoded pixels, append
// mode, and reported write failures.
#include "faxin/tiff/FaxTiffWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;

class TiffWriterLibtiff : public ::testing::Test {
 protected:
  test::TempTree dir_;
  std::string path_ = dir_.file("out.tif");

  static int64_t addPage(FaxTiffWriter& w, const Bytes& data, uint8_t coding, uint32_t width,
                         uint32_t rows, uint16_t index, uint16_t count) {
    (void)w.setCoding(coding, 0);
    w.setFillOrder(1);
    w.setSize(width, rows);
    w.setPageNumber(index, count);
    const int64_t position = w.writePage(data, 200, 100 + index, 2);
    return w.writeDirectory(position) == 0 ? position : -1;
  }
};

// The same page coded by libtiff in each fax coding, copied through the writer with its coded
// bytes unchanged, decodes in libtiff to the original bitmap.
struct CodedCase {
  const char* name;
  uint16_t compression;
  uint32_t t4Options;
  uint16_t fillOrder;
  bool useCoding;  // setCoding with `coding` instead of setCompression
  uint8_t coding;
};

class TiffWriterRoundTrip : public TiffWriterLibtiff,
                            public ::testing::WithParamInterface<CodedCase> {};

TEST_P(TiffWriterRoundTrip, CodedPagesDecodeToTheSourceBitmap) {
  const CodedCase c = GetParam();
  const uint32_t width = 1728, rows = 60;
  const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, width, rows, 11);
  const Bytes bitmap = bitmapPage.bits;
  const test::Encoded source =
      test::encodeWithLibtiff(bitmapPage, c.compression, c.t4Options, c.fillOrder);
  ASSERT_TRUE(source.ok);
  const Bytes& coded = source.raw;
  ASSERT_FALSE(coded.empty());
  // libtiff's own reading of its file is the reference (its word-aligned modified Huffman does
  // not reproduce the bitmap it was given, in its own file either).
  if (c.compression != COMPRESSION_CCITTRLEW) {
    EXPECT_TRUE(source.decodedOk);
    EXPECT_EQ(source.decoded, bitmap);
  }

  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  for (uint16_t i = 0; i < 2; ++i) {  // two identical pages: the second after a directory
    if (c.useCoding) {
      ASSERT_EQ(w.setCoding(c.coding, 0), 0);
    } else {
      w.setCompression(c.compression, c.t4Options, 0);
    }
    w.setFillOrder(c.fillOrder);
    w.setSize(width, rows);
    w.setPageNumber(i, 2);
    ASSERT_EQ(w.writeDirectory(w.writePage(coded, 204, 196, 2)), 0);
  }
  ASSERT_EQ(w.close(), 0);

  const auto pages = test::readTiffPages(path_);
  ASSERT_EQ(pages.size(), 2u);
  for (uint16_t i = 0; i < 2; ++i) {
    const auto& p = pages[i];
    EXPECT_EQ(p.compression, c.compression);
    EXPECT_EQ(p.width, width);
    EXPECT_EQ(p.length, rows);
    EXPECT_EQ(p.rowsPerStrip, rows);
    EXPECT_EQ(p.fillOrder, c.fillOrder);
    EXPECT_EQ(p.photometric, 0);
    EXPECT_EQ(p.pageIndex, i);
    EXPECT_EQ(p.pageCount, 2);
    EXPECT_EQ(p.subfileType, 2u);
    EXPECT_FLOAT_EQ(p.xResolution, 204.0f);
    EXPECT_FLOAT_EQ(p.yResolution, 196.0f);
    EXPECT_EQ(p.resolutionUnit, 2);
    ASSERT_EQ(p.rawStrips.size(), 1u);
    EXPECT_EQ(p.rawStrips[0], coded);
    EXPECT_FALSE(p.decodeFailed);
    EXPECT_EQ(p.decoded, source.decoded);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codings, TiffWriterRoundTrip,
    ::testing::Values(CodedCase{"None", COMPRESSION_NONE, 0, 1, true, 1},
                      CodedCase{"ModifiedHuffman", COMPRESSION_CCITTRLE, 0, 1, true, 3},
                      CodedCase{"ModifiedHuffmanWord", COMPRESSION_CCITTRLEW, 0, 1, true, 4},
                      CodedCase{"T4OneD", COMPRESSION_CCITTFAX3, 4, 1, true, 5},
                      CodedCase{"T4TwoD", COMPRESSION_CCITTFAX3, 5, 1, true, 6},
                      CodedCase{"T6", COMPRESSION_CCITTFAX4, 0, 1, true, 7},
                      CodedCase{"T6LeastBitFirst", COMPRESSION_CCITTFAX4, 0, 2, true, 7},
                      CodedCase{"PackBits", COMPRESSION_PACKBITS, 0, 1, true, 8},
                      CodedCase{"CopiedT4TwoD", COMPRESSION_CCITTFAX3, 1, 1, false, 0},
                      CodedCase{"CopiedT4LeastBitFirst", COMPRESSION_CCITTFAX3, 0, 2, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TiffWriterLibtiff, SoftwareAndDateTimeAreReadable) {
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  ASSERT_GT(addPage(w, Bytes(216, 0xFF), 1, 1728, 1, 0, 1), 0);
  ASSERT_EQ(w.close(), 0);
  const auto pages = test::readTiffPages(path_);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].software, "Morvane.");
  EXPECT_TRUE(std::regex_match(pages[0].dateTime,
                               std::regex(R"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d)")))
      << pages[0].dateTime;
  EXPECT_EQ(pages[0].bitsPerSample, 1);
  EXPECT_EQ(pages[0].samplesPerPixel, 1);
  EXPECT_EQ(pages[0].planar, 1);
  EXPECT_EQ(pages[0].orientation, 1);
}

TEST_F(TiffWriterLibtiff, StrippedPageReadsAsItsStrips) {
  const uint32_t width = 64, rows = 9;
  const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, width, rows, 3);
  const Bytes bitmap = bitmapPage.bits;  // 8 bytes per row
  // Three strips of three rows, uncompressed, placed at absolute positions of some container.
  const uint32_t starts[] = {1000, 1024, 1048};
  const uint32_t counts[] = {24, 24, 24};
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  ASSERT_EQ(w.setStrips(3, 3, starts, counts), 0);
  (void)w.setCoding(1, 0);
  w.setSize(width, rows);
  w.setPageNumber(0, 1);
  w.setOrientation(7);
  ASSERT_EQ(w.writeDirectory(w.writeStrippedPage(bitmap, 300, 300, 2)), 0);
  ASSERT_EQ(w.close(), 0);
  const auto pages = test::readTiffPages(path_);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].rawStrips.size(), 3u);
  EXPECT_EQ(pages[0].rowsPerStrip, 3u);
  EXPECT_EQ(pages[0].orientation, 7);
  EXPECT_EQ(pages[0].decoded, bitmap);
}

TEST_F(TiffWriterLibtiff, BigEndianFileReadsTheSame) {
  const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, 1728, 20, 5);
  const Bytes bitmap = bitmapPage.bits;
  const Bytes coded =
      test::encodeStrip(bitmapPage, COMPRESSION_CCITTFAX4);
  FaxTiffWriter w(path_, FaxTiffWriter::kBigEndian);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  ASSERT_GT(addPage(w, coded, 7, 1728, 20, 0, 1), 0);
  ASSERT_EQ(w.close(), 0);
  EXPECT_EQ(test::readBytes(path_).at(0), 'M');
  const auto pages = test::readTiffPages(path_);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].pageCount, 1);
  EXPECT_EQ(pages[0].fillOrder, 1);
  EXPECT_EQ(pages[0].decoded, bitmap);
}

// Append: the first new page's directory goes into the last directory's next field.
TEST_F(TiffWriterLibtiff, AppendAddsPagesBehindTheLastOne) {
  int64_t secondDirectory = 0;
  {
    FaxTiffWriter w(path_);
    ASSERT_EQ(w.writeHeader(), 0);
    w.initDirectory();
    ASSERT_GT(addPage(w, Bytes(216, 0x00), 1, 1728, 1, 0, 2), 0);
    secondDirectory = addPage(w, Bytes(432, 0x0F), 1, 1728, 2, 1, 2);
    ASSERT_GT(secondDirectory, 0);
    ASSERT_EQ(w.close(), 0);
  }
  const auto sizeBefore = std::filesystem::file_size(path_);
  FaxTiffWriter w(path_, FaxTiffWriter::kLittleEndian, FaxTiffWriter::Mode::kAppend);
  ASSERT_TRUE(w.ok());
  w.initDirectory();
  const int64_t third = addPage(w, Bytes(648, 0xF0), 1, 1728, 3, 0, 1);
  ASSERT_EQ(third, static_cast<int64_t>(sizeBefore + 648 + 58));
  ASSERT_EQ(w.close(), 0);

  const Bytes file = test::readBytes(path_);
  EXPECT_EQ(test::le32(file, static_cast<std::size_t>(secondDirectory) + 2 + 240), third);
  const auto pages = test::readTiffPages(path_);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[2].length, 3u);
  EXPECT_EQ(pages[2].decoded, Bytes(648, 0xF0));
}

TEST_F(TiffWriterLibtiff, AppendToAMissingOrEmptyFileStartsANewTiff) {
  for (bool createEmpty : {false, true}) {
    const std::string path = dir_.file(createEmpty ? "empty.tif" : "missing.tif");
    if (createEmpty) test::writeBytes(path, {});
    FaxTiffWriter w(path, FaxTiffWriter::kLittleEndian, FaxTiffWriter::Mode::kAppend);
    ASSERT_TRUE(w.ok());
    w.initDirectory();
    ASSERT_EQ(addPage(w, Bytes(216, 0x3C), 1, 1728, 1, 0, 1), 8 + 216 + 58);
    ASSERT_EQ(w.close(), 0);
    const auto pages = test::readTiffPages(path);
    ASSERT_EQ(pages.size(), 1u) << path;
    EXPECT_EQ(pages[0].decoded, Bytes(216, 0x3C));
  }
}

TEST_F(TiffWriterLibtiff, AppendToANonTiffFailsAndLeavesItAlone) {
  const Bytes junk(400, 'x');
  test::writeBytes(path_, junk);
  FaxTiffWriter w(path_, FaxTiffWriter::kLittleEndian, FaxTiffWriter::Mode::kAppend);
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(w.writePage(Bytes{1}, 200, 200, 2), -1);
  EXPECT_EQ(w.close(), -1);
  EXPECT_EQ(test::readBytes(path_), junk);
}

TEST_F(TiffWriterLibtiff, CallOrderMistakesAreRefused) {
  FaxTiffWriter w(path_);
  w.setSize(8, 1);
  // No header yet: there is no link field to patch.
  EXPECT_EQ(w.writePage(Bytes{1}, 200, 200, 2), -1);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  const int64_t position = w.writePage(Bytes{1}, 200, 200, 2);
  ASSERT_GT(position, 0);
  // The next page may not start before this page's directory is written.
  EXPECT_EQ(w.writePage(Bytes{2}, 200, 200, 2), -1);
  EXPECT_EQ(w.writeDirectory(position + 1), -1);
  EXPECT_EQ(w.writeDirectory(-1), -1);
  EXPECT_EQ(w.writeDirectory(position), 0);
  EXPECT_EQ(w.writeDirectory(position), -1);  // only once
  EXPECT_EQ(w.close(), 0);
  EXPECT_EQ(test::readTiffPages(path_).size(), 1u);
}

TEST_F(TiffWriterLibtiff, UnopenablePathFailsEveryCall) {
  FaxTiffWriter w(dir_.file("no/such/dir/out.tif"));
  EXPECT_FALSE(w.isOpen());
  EXPECT_EQ(w.writeHeader(), -1);
  EXPECT_EQ(w.writeDirectory(w.writePage(Bytes{1}, 200, 200, 2)), -1);
  EXPECT_EQ(w.close(), -1);
}

// A full disk: the write of the buffered bytes fails at the latest when the file is closed.
TEST_F(TiffWriterLibtiff, DiskFullIsReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  FaxTiffWriter w("/dev/full");
  ASSERT_TRUE(w.isOpen());
  (void)w.writeHeader();
  w.initDirectory();
  const Bytes big(1 << 20, 0x55);
  (void)w.writeDirectory(w.writePage(big, 200, 200, 2));
  EXPECT_EQ(w.close(), -1);
}

}  // namespace
}  // namespace tarnwell
