// Hand-built streams for the decoders' special behaviours: resynchronisation, row counting at the
// data's end, the row limit, the T.4 two-dimensional start rule, T.6 markers and options.

#include <gtest/gtest.h>

#include <random>

#include "decoder_support.h"
#include "codec/FaxDecoder.h"
#include "codec/FaxProbe.h"

namespace tarnwell {
namespace {

using test::BitWriter;

// Code words used below (ITU-T T.4).
constexpr const char* kEol = "000000000001";
constexpr const char* kWhite3 = "1000";
constexpr const char* kBlack2 = "11";
constexpr const char* kWhite11 = "01000";
constexpr const char* kWhite0 = "00110101";
constexpr const char* kWhiteMakeUp1728 = "010011011";
constexpr const char* kV0 = "1";
constexpr const char* kHorizontal = "001";

// A 16-pixel row: 3 white, 2 black, 11 white.
void putRow16(BitWriter& w) { w.put(kWhite3).put(kBlack2).put(kWhite11); }

// The expected bitmap row of putRow16 with photometric 0 (white 1): 1110 0111 1111 1111.
constexpr uint8_t kRow16[] = {0xE7, 0xFF};

FaxDecodeParams params(uint8_t coding, int width, int rowLimit, int bitOrder = 1) {
  FaxDecodeParams p;
  p.coding = coding;
  p.width = width;
  p.rowLimit = rowLimit;
  p.bitOrder = bitOrder;
  return p;
}

void expectRows16(const FaxPage& page, int rows) {
  ASSERT_EQ(page.rows, rows);
  ASSERT_EQ(page.bitmap.size(), static_cast<std::size_t>(rows) * 2);
  for (int r = 0; r < rows; ++r) {
    EXPECT_EQ(page.bitmap[r * 2], kRow16[0]) << "row " << r;
    EXPECT_EQ(page.bitmap[r * 2 + 1], kRow16[1]) << "row " << r;
  }
}

TEST(DecoderEdge, ModifiedHuffmanRowEndsWhenItsLengthReachesTheWidth) {
  // Make-up 1728 and terminating white 0: no black terminating code follows.
  BitWriter w;
  for (int i = 0; i < 3; ++i) {
    w.put(kWhiteMakeUp1728).put(kWhite0);
    w.put("0000000");  // to the byte boundary (17 bits + 7)
  }
  FaxPage page;
  EXPECT_EQ(decodePage(w.bytes(), params(3, 1728, 10), page), 0);
  ASSERT_EQ(page.rows, 3);
  for (uint8_t b : page.bitmap) EXPECT_EQ(b, 0xFF);
}

TEST(DecoderEdge, ModifiedHuffmanStopsAtAnInvalidCodeKeepingEarlierRows) {
  BitWriter w;
  putRow16(w);
  w.put("00000");  // byte boundary after 11 bits
  putRow16(w);
  w.put("00000");
  w.put("000000001");  // eight zeros and a 1: no valid code
  w.put("0000000");
  putRow16(w);
  FaxPage page;
  EXPECT_EQ(decodePage(w.bytes(), params(3, 16, 10), page), 0);
  expectRows16(page, 2);
}

TEST(DecoderEdge, T4OneDimensionalDropsACorruptRowAndResumesAfterTheNextEol) {
  BitWriter w;
  w.put(kEol);
  putRow16(w);
  w.put(kEol);
  putRow16(w);
  w.put(kEol).put(kWhite3).put("000000001 0110");  // invalid code inside the third row
  w.put(kEol);
  putRow16(w);
  w.put(kEol).put("1011 11 01000").put(kEol);  // 4 + 2 + 11 pixels: too long, dropped
  putRow16(w);
  w.put(kEol);
  FaxPage page;
  EXPECT_EQ(decodePage(w.bytes(), params(5, 16, 10), page), 1);  // one invalid code
  expectRows16(page, 4);
}

TEST(DecoderEdge, T4OneDimensionalRowEndingAtTheDataEndCounts) {
  for (const char* tail : {"", "0", "0000000"}) {
    BitWriter w;
    w.put(kEol);
    putRow16(w);
    w.put(kEol);
    putRow16(w);
    w.put(tail);
    FaxPage page;
    EXPECT_EQ(decodePage(w.bytes(), params(5, 16, 10), page), 0);
    expectRows16(page, 2);
  }
}

TEST(DecoderEdge, EolFillLongerThanTheLookAheadIsAbsorbed) {
  BitWriter w;
  w.put(kEol);
  putRow16(w);
  w.put(std::string(150, '0')).put("1");  // an EOL with 150 fill zeros
  putRow16(w);
  w.put(std::string(70, '0')).put(kEol);
  FaxPage page;
  EXPECT_EQ(decodePage(w.bytes(), params(5, 16, 10), page), 0);
  expectRows16(page, 2);
}

TEST(DecoderEdge, T4TwoDimensionalStartsAtTheFirstEolWithTagOne) {
  BitWriter w;
  // Two-dimensional rows first: skipped, since they have no reference row yet.
  w.put(kEol).put("0").put(kV0).put(kV0).put(kV0);
  w.put(kEol).put("0").put(kHorizontal).put(kWhite3).put(kBlack2).put(kV0);
  w.put(kEol).put("1");
  putRow16(w);
  w.put(kEol).put("0").put(kV0).put(kV0).put(kV0);  // same as the reference row
  w.put(kEol).put("0").put(kV0).put(kV0).put(kV0);
  w.put(kEol).put("1");
  FaxPage page;
  EXPECT_EQ(decodePage(w.bytes(), params(6, 16, 10), page), 0);
  expectRows16(page, 3);

  BitWriter none;
  none.put(kEol).put("0").put(kV0).put(kV0).put(kV0).put(kEol).put("0");
  EXPECT_EQ(decodePage(none.bytes(), params(6, 16, 10), page), kFaxDecodeFailed);
  EXPECT_EQ(page.rows, 0);
}

TEST(DecoderEdge, T4TwoDimensionalErrorRowResynchronisesOnTagOne) {
  BitWriter w;
  w.put(kEol).put("1");
  putRow16(w);
  w.put(kEol).put("0").put(kV0).put(kV0);  // a short row: an error
  w.put(kEol).put("0").put(kV0).put(kV0).put(kV0);  // skipped: no reference after an error
  w.put(kEol).put("1");
  putRow16(w);
  w.put(kEol).put("0").put(kV0).put(kV0).put(kV0);
  w.put(kEol);
  FaxPage page;
  EXPECT_EQ(decodePage(w.bytes(), params(6, 16, 10), page), 1);
  expectRows16(page, 3);
}

TEST(DecoderEdge, T6PageEndingWithEofbHasNoExtraRow) {
  BitWriter w;
  w.put(kHorizontal).put(kWhite3).put(kBlack2).put(kV0);  // first row against white
  w.put(kV0).put(kV0).put(kV0);
  w.put(kEol).put(kEol);
  FaxPage page;
  FaxDecodeParams p = params(7, 16, 10);
  EXPECT_EQ(decodePageT6(w.bytes(), p, page), 0);
  expectRows16(page, 2);
  // decodePage hands coding 7 to the T.6 decoder.
  EXPECT_EQ(decodePage(w.bytes(), p, page), 0);
  expectRows16(page, 2);

  p.t6Options = 2;  // bit 1 alone is accepted
  EXPECT_EQ(decodePageT6(w.bytes(), p, page), 0);
  EXPECT_EQ(page.rows, 2);
  p.t6Options = 1;  // uncompressed mode is refused
  EXPECT_EQ(decodePageT6(w.bytes(), p, page), kFaxDecodeFailed);
  EXPECT_EQ(page.rows, 0);
}

TEST(DecoderEdge, T6ResynchronisesOnAMarkerAfterAnInvalidCode) {
  BitWriter w;
  w.put(kHorizontal).put(kWhite3).put(kBlack2).put(kV0);
  w.put(kV0).put(kV0).put(kV0);
  w.put("0000001000");  // an extension-mode word: invalid
  while (w.bitCount() % 8 != 0) w.put("0");
  w.put("11111111 11111111 11111111");
  // After the marker decoding starts again from a white reference row.
  w.put(kHorizontal).put(kWhite3).put(kBlack2).put(kV0);
  w.put(kV0).put(kV0).put(kV0);
  FaxPage page;
  FaxDecodeParams p = params(7, 16, 10);
  EXPECT_EQ(decodePageT6(w.bytes(), p, page), 1);
  expectRows16(page, 4);

  p.markerCount = 4;  // the marker is too short: the page ends at the invalid code
  EXPECT_EQ(decodePageT6(w.bytes(), p, page), 1);
  expectRows16(page, 2);
}

TEST(DecoderEdge, T6ResetsTheReferenceRowAtAnEol) {
  BitWriter w;
  w.put(kHorizontal).put(kWhite3).put(kBlack2).put(kV0);
  w.put(kEol);
  w.put(kHorizontal).put(kWhite3).put(kBlack2).put(kV0);  // coded against white again
  FaxPage page;
  EXPECT_EQ(decodePageT6(w.bytes(), params(7, 16, 10), page), 0);
  expectRows16(page, 2);
}

TEST(DecoderEdge, T6WithoutAnyRowFails) {
  FaxPage page;
  const std::vector<uint8_t> eofb = BitWriter().put(kEol).put(kEol).bytes();
  EXPECT_EQ(decodePageT6(eofb, params(7, 16, 10), page), kFaxDecodeFailed);
  EXPECT_EQ(page.rows, 0);
  EXPECT_EQ(decodePageT6({}, params(7, 16, 10), page), kFaxDecodeFailed);
}

TEST(DecoderEdge, AnyBitOrderOtherThanOneReversesBytes) {
  BitWriter w;
  w.put(kEol);
  putRow16(w);
  w.put(kEol);
  putRow16(w);
  const std::vector<uint8_t> reversed = w.bytes(true);
  for (int bitOrder : {0, 2, 3, -1}) {
    FaxPage page;
    EXPECT_EQ(decodePage(reversed, params(5, 16, 10, bitOrder), page), 0);
    expectRows16(page, 2);
    EXPECT_EQ(page.fillOrder, 2);
  }
}

TEST(DecoderEdge, RowsBeyondTheRowLimitAreDecodedButNotStored) {
  BitWriter w;
  for (int i = 0; i < 6; ++i) {
    w.put(kEol);
    putRow16(w);
  }
  // A last row of another pattern (all white): it must not overwrite a stored row.
  // White 9, black 0, white 7.
  w.put(kEol).put("10100 0000110111 1111").put(kEol).put(kEol).put(kEol);
  FaxPage page;
  EXPECT_EQ(decodePage(w.bytes(), params(5, 16, 4), page), 0);
  expectRows16(page, 4);
  EXPECT_EQ(decodePage(w.bytes(), params(5, 16, 0), page), 0);
  EXPECT_EQ(page.rows, 0);
  EXPECT_TRUE(page.bitmap.empty());
}

TEST(DecoderEdge, RowCompleteVariantCountsRowsWithoutEols) {
  BitWriter w;
  w.put(kEol);
  putRow16(w);
  putRow16(w);  // no EOL between rows
  w.put(kEol);
  putRow16(w);
  FaxPage page;
  EXPECT_EQ(decodePageT4RowComplete(w.bytes(), params(5, 16, 10), false, page), 0);
  expectRows16(page, 3);
  EXPECT_EQ(page.coding, 5);

  // With 16-bit values at the start and after every row, each row starting on a byte.
  BitWriter s;
  s.put("10101010 01010101");
  putRow16(s);
  s.put("00000 11111111 11111111");
  putRow16(s);
  s.put("00000 00000000 00000000");
  putRow16(s);
  EXPECT_EQ(decodePageT4RowComplete(s.bytes(), params(5, 16, 10), true, page), 0);
  expectRows16(page, 3);
}

TEST(DecoderEdge, PageSetUpFieldsAndWidthClass) {
  FaxPage page;
  page.bitmap.assign(100, 0x55);
  FaxDecodeParams p = params(5, 1729, 5, 2);
  p.photometric = 1;
  const std::vector<uint8_t> data(10, 0);
  EXPECT_EQ(decodePage(data, p, page), 0);
  EXPECT_EQ(page.reserved, 0);
  EXPECT_EQ(page.width, 1729);
  EXPECT_EQ(page.rows, 0);
  EXPECT_EQ(page.bytesPerRow, 217);
  EXPECT_EQ(page.bitsPerSample, 1);
  EXPECT_EQ(page.samplesPerPixel, 1);
  EXPECT_EQ(page.codedSize, 10u);
  EXPECT_EQ(page.xResolution, 200);
  EXPECT_EQ(page.pageSize, 2);
  EXPECT_EQ(page.yResolution, 100);
  EXPECT_EQ(page.resolutionUnit, 2);
  EXPECT_EQ(page.fillOrder, 2);
  EXPECT_EQ(page.coding, 5);
  EXPECT_EQ(page.photometric, 1);
  EXPECT_TRUE(page.bitmap.empty());

  struct Case {
    int64_t width;
    uint16_t xResolution;
    uint8_t pageSize;
  };
  for (const Case& c : {Case{0, 200, 1}, Case{1728, 200, 1}, Case{1729, 200, 2}, Case{2048, 200, 2},
                        Case{2049, 200, 3}, Case{2432, 200, 3}, Case{2433, 300, 1},
                        Case{2592, 300, 1}, Case{3072, 300, 2}, Case{3073, 400, 1},
                        Case{3456, 400, 1}, Case{3457, 300, 3}, Case{3648, 300, 3},
                        Case{3649, 400, 2}, Case{4096, 400, 2}, Case{4097, 400, 3},
                        Case{5000, 400, 3}}) {
    const FaxWidthClass wc = widthClass(c.width);
    EXPECT_EQ(wc.xResolution, c.xResolution) << c.width;
    EXPECT_EQ(wc.pageSize, c.pageSize) << c.width;
  }
}

TEST(DecoderEdge, NegativeWidthOrUnknownCodingFails) {
  FaxPage page;
  const std::vector<uint8_t> data(10, 0x55);
  EXPECT_EQ(decodePage(data, params(5, -1, 10), page), kFaxDecodeFailed);
  for (uint8_t coding : {0, 1, 2, 8, 9}) {
    EXPECT_EQ(decodePage(data, params(coding, 16, 10), page), kFaxDecodeFailed);
    EXPECT_EQ(page.rows, 0);
  }
}

}  // namespace
}  // namespace tarnwell
