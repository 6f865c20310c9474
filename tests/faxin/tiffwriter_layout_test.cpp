// Byte layout of the fax TIFF writer's files: header, per-page data, out-of-line values and the
// twenty-entry directory at the positions the format of the intermediate TIFF fixes.
#include "faxin/tiff/FaxTiffWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TestNames.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;
using test::le16;
using test::le32;

struct RawEntry {
  uint16_t tag, type;
  uint32_t count, value;
  bool operator==(const RawEntry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const RawEntry& e) {
  return os << "{" << e.tag << "," << e.type << "," << e.count << "," << e.value << "}";
}

std::vector<RawEntry> parseDirectory(const Bytes& file, uint32_t at, uint32_t* next = nullptr) {
  std::vector<RawEntry> entries;
  const uint16_t n = le16(file, at);
  for (uint16_t i = 0; i < n; ++i) {
    const std::size_t e = at + 2 + 12u * i;
    entries.push_back({le16(file, e), le16(file, e + 2), le32(file, e + 4), le32(file, e + 8)});
  }
  if (next != nullptr) *next = le32(file, at + 2 + 12u * n);
  return entries;
}

std::tm fixedTime() {
  std::tm t{};
  t.tm_year = 2009 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 7;
  t.tm_hour = 15;
  t.tm_min = 30;
  t.tm_sec = 12;
  return t;
}

class TiffWriterLayout : public ::testing::Test {
 protected:
  test::TempTree dir_;
  std::string path_ = dir_.file("out.tif");
};

TEST_F(TiffWriterLayout, OnePageOfOddSize) {
  const Bytes data{1, 2, 3, 4, 5};
  FaxTiffWriter w(path_);
  w.setFixedTime(fixedTime());
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  ASSERT_EQ(w.setCoding(7, 0), 0);
  w.setFillOrder(2);
  w.setSize(16, 3);
  w.setPageNumber(0, 1);
  const int64_t position = w.writePage(data, 200, 100, 2);
  ASSERT_EQ(position, 8 + 5 + 58);  // odd, not padded
  ASSERT_EQ(w.writeDirectory(position), 0);
  ASSERT_EQ(w.close(), 0);

  const Bytes file = test::readBytes(path_);
  ASSERT_EQ(file.size(), 71u + 246u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{'I', 'I', 42, 0}));
  EXPECT_EQ(le32(file, 4), 71u);
  EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 13), data);
  EXPECT_EQ(le32(file, 13), 200u);
  EXPECT_EQ(le32(file, 17), 1u);
  EXPECT_EQ(le32(file, 21), 100u);
  EXPECT_EQ(le32(file, 25), 1u);
  Bytes software(22, 0);
  std::memcpy(software.data(), "Morvane.", 8);
  EXPECT_EQ(Bytes(file.begin() + 29, file.begin() + 51), software);
  const char date[] = "2009:01:07 15:30:12";  // with its terminating zero: 20 bytes
  EXPECT_EQ(Bytes(file.begin() + 51, file.begin() + 71), Bytes(date, date + 20));

  uint32_t next = 1;
  const std::vector<RawEntry> expected = {
      {254, 4, 1, 2},    {256, 4, 1, 16},  {257, 4, 1, 3},    {258, 3, 1, 1},
      {259, 3, 1, 4},    {262, 3, 1, 0},   {266, 3, 1, 2},    {273, 4, 1, 8},
      {274, 3, 1, 1},    {277, 3, 1, 1},   {278, 4, 1, 3},    {279, 4, 1, 5},
      {282, 5, 1, 13},   {283, 5, 1, 21},  {284, 3, 1, 1},    {293, 4, 1, 0},
      {296, 3, 1, 2},    {297, 3, 2, 0x00010000}, {305, 2, 22, 29}, {306, 2, 20, 51}};
  EXPECT_EQ(parseDirectory(file, 71, &next), expected);
  EXPECT_EQ(next, 0u);
}

TEST_F(TiffWriterLayout, ThreePagesAreChained) {
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  std::vector<int64_t> directories;
  uint32_t expectedStart = 8;
  for (uint16_t i = 0; i < 3; ++i) {
    const Bytes data(4 + 3 * i, static_cast<uint8_t>(i));
    (void)w.setCoding(5, 0);
    w.setFillOrder(1);
    w.setSize(1728, 10 + i);
    w.setPageNumber(i, 3);
    const int64_t position = w.writePage(data, 204, 196, 2);
    EXPECT_EQ(position, expectedStart + data.size() + 58);
    ASSERT_EQ(w.writeDirectory(position), 0);
    directories.push_back(position);
    expectedStart = static_cast<uint32_t>(position) + 246;
  }
  ASSERT_EQ(w.close(), 0);

  const Bytes file = test::readBytes(path_);
  EXPECT_EQ(file.size(), expectedStart);
  EXPECT_EQ(le32(file, 4), directories[0]);
  for (std::size_t i = 0; i < 3; ++i) {
    uint32_t next = 0;
    const auto entries = parseDirectory(file, static_cast<uint32_t>(directories[i]), &next);
    EXPECT_EQ(next, i < 2 ? directories[i + 1] : 0);
    EXPECT_EQ(entries[17], (RawEntry{297, 3, 2, static_cast<uint32_t>(i | (3u << 16))}));
    EXPECT_EQ(entries[2].value, 10 + i);
    EXPECT_EQ(entries[10].value, 10 + i);  // RowsPerStrip = ImageLength in the one-strip form
  }
}

struct CodingCase {
  uint8_t coding;
  uint32_t compression;
  uint16_t optionTag;
  uint32_t options;
};

class TiffWriterCoding : public TiffWriterLayout,
                         public ::testing::WithParamInterface<CodingCase> {};

TEST_P(TiffWriterCoding, SetsCompressionAndOptions) {
  const CodingCase c = GetParam();
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  (void)w.setCoding(6, 0);  // a different coding first: every field must be replaced
  EXPECT_EQ(w.setCoding(c.coding, 1), 0);
  w.setSize(8, 1);
  ASSERT_EQ(w.writeDirectory(w.writePage(Bytes{0}, 200, 200, 2)), 0);
  ASSERT_EQ(w.close(), 0);
  const auto entries = parseDirectory(test::readBytes(path_), 8 + 1 + 58);
  EXPECT_EQ(entries[4].value, c.compression);
  EXPECT_EQ(entries[5].value, 1u);  // photometric
  EXPECT_EQ(entries[15], (RawEntry{c.optionTag, 4, 1, c.options}));
}

INSTANTIATE_TEST_SUITE_P(Codings, TiffWriterCoding,
                         ::testing::Values(CodingCase{1, 1, 292, 0}, CodingCase{3, 2, 292, 4},
                                           CodingCase{4, 32771, 292, 4}, CodingCase{5, 3, 292, 4},
                                           CodingCase{6, 3, 292, 5}, CodingCase{7, 4, 293, 0},
                                           CodingCase{8, 32773, 292, 0}),
    [](const auto& info) { return "Coding" + std::to_string(info.param.coding); });

struct CompressionCase {
  uint16_t compression;
  uint32_t t4, t6;
  uint16_t optionTag;
  uint32_t options;
};

class TiffWriterCompression : public TiffWriterLayout,
                              public ::testing::WithParamInterface<CompressionCase> {};

TEST_P(TiffWriterCompression, CopiesOptionsWhereTheyBelong) {
  const CompressionCase c = GetParam();
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  w.setCompression(c.compression, c.t4, c.t6);
  w.setSize(8, 1);
  ASSERT_EQ(w.writeDirectory(w.writePage(Bytes{0}, 200, 200, 2)), 0);
  ASSERT_EQ(w.close(), 0);
  const auto entries = parseDirectory(test::readBytes(path_), 8 + 1 + 58);
  EXPECT_EQ(entries[4].value, c.compression);
  EXPECT_EQ(entries[15], (RawEntry{c.optionTag, 4, 1, c.options}));
}

INSTANTIATE_TEST_SUITE_P(
    Compressions, TiffWriterCompression,
    ::testing::Values(CompressionCase{1, 9, 9, 292, 0}, CompressionCase{2, 9, 9, 292, 4},
                      CompressionCase{3, 1, 9, 292, 1}, CompressionCase{4, 9, 2, 293, 2},
                      CompressionCase{32771, 9, 9, 292, 4}, CompressionCase{32773, 9, 9, 292, 0}),
    [](const auto& info) { return "Compression" + std::to_string(info.param.compression); });

TEST_F(TiffWriterLayout, UnknownCodingIsRefusedAndMarkedUncompressed) {
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  (void)w.setCoding(7, 0);
  EXPECT_EQ(w.setCoding(2, 0), -1);
  EXPECT_FALSE(FaxTiffWriter::knowsCoding(0));
  EXPECT_FALSE(FaxTiffWriter::knowsCoding(9));
  w.setSize(8, 1);
  ASSERT_EQ(w.writeDirectory(w.writePage(Bytes{0}, 200, 200, 2)), 0);
  ASSERT_EQ(w.close(), 0);
  const auto entries = parseDirectory(test::readBytes(path_), 67);
  EXPECT_EQ(entries[4].value, 1u);
  EXPECT_EQ(entries[15], (RawEntry{292, 4, 1, 0}));
}

// Several-strip form: offsets and counts arrays behind the data, positions in entries 7 and 11.
TEST_F(TiffWriterLayout, StrippedPageStoresArraysBehindTheData) {
  const Bytes data(12, 0x5A);
  const uint32_t starts[] = {5000, 5004, 5008};  // file positions of some source: made relative
  const uint32_t counts[] = {4, 4, 400};         // the last reaches past the data: cut to 4
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  ASSERT_EQ(w.setStrips(3, 2, starts, counts), 0);
  (void)w.setCoding(7, 0);
  w.setSize(16, 6);
  w.setOrientation(7);
  const int64_t position = w.writeStrippedPage(data, 300, 300, 2);
  ASSERT_EQ(position, 8 + 12 + 24 + 58);
  ASSERT_EQ(w.writeDirectory(position), 0);
  ASSERT_EQ(w.close(), 0);

  const Bytes file = test::readBytes(path_);
  const auto entries = parseDirectory(file, static_cast<uint32_t>(position));
  EXPECT_EQ(entries[7], (RawEntry{273, 4, 3, 20}));
  EXPECT_EQ(entries[11], (RawEntry{279, 4, 3, 32}));
  EXPECT_EQ(entries[8].value, 7u);
  EXPECT_EQ(entries[10].value, 2u);
  EXPECT_EQ(entries[12].value, 44u);
  EXPECT_EQ(entries[18].value, 44u + 16);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(le32(file, 20 + 4 * i), 8 + 4 * i);
    EXPECT_EQ(le32(file, 32 + 4 * i), 4u);
  }
}

// A single strip in the several-strip form is held in the entries themselves (TIFF reads a
// count of 1 as the value), while the arrays keep their place so the layout stays the same.
TEST_F(TiffWriterLayout, SingleStripOfStrippedFormIsInline) {
  const Bytes data(10, 0x11);
  const uint32_t starts[] = {777};
  const uint32_t counts[] = {10};
  FaxTiffWriter w(path_);
  ASSERT_EQ(w.writeHeader(), 0);
  w.initDirectory();
  ASSERT_EQ(w.setStrips(1, 0, starts, counts), 0);
  w.setSize(16, 5);
  const int64_t position = w.writeStrippedPage(data, 300, 300, 2);
  ASSERT_EQ(position, 8 + 10 + 8 + 58);
  ASSERT_EQ(w.writeDirectory(position), 0);
  ASSERT_EQ(w.close(), 0);
  const auto entries = parseDirectory(test::readBytes(path_), static_cast<uint32_t>(position));
  EXPECT_EQ(entries[7], (RawEntry{273, 4, 1, 8}));
  EXPECT_EQ(entries[11], (RawEntry{279, 4, 1, 10}));
  EXPECT_EQ(entries[10].value, 5u);  // no rows per strip given: the image length
}

TEST_F(TiffWriterLayout, SetStripsRefusesShortTables) {
  FaxTiffWriter w(path_);
  const uint32_t two[] = {1, 2};
  EXPECT_EQ(w.setStrips(3, 1, two, two), -1);
}

}  // namespace
}  // namespace tarnwell
