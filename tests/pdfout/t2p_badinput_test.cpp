// Hostile and unsupported TIFFs: each ends in a refused conversion that leaves no PDF, or in a
// PDF that qpdf accepts. Never a crash or a hang.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>

#include "pdf_test_util.h"
#include "pdfout/t2p.h"

namespace tarnwell {
namespace {

using testutil::TiffImageSpec;

// A little-endian classic TIFF assembled entry by entry, for directories libtiff would not
// write itself.
class TiffBytes {
 public:
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  // Appends raw bytes and returns their offset.
  uint32_t data(const std::string& bytes) {
    const auto at = static_cast<uint32_t>(blob_.size() + 8);
    blob_ += bytes;
    if (blob_.size() % 2) blob_ += '\0';
    return at;
  }
  // Lays out the directories after the data; `nextOf[i]` is the index of the directory that
  // follows directory i (-1 for none), so loops can be built.
  std::string build(const std::vector<std::vector<Entry>>& dirs, std::vector<int> nextOf = {}) {
    std::string out = "II*";
    out += '\0';
    std::vector<uint32_t> offsets;
    uint32_t at = static_cast<uint32_t>(8 + blob_.size());
    for (const auto& d : dirs) {
      offsets.push_back(at);
      at += static_cast<uint32_t>(2 + 12 * d.size() + 4);
    }
    put32(out, offsets.empty() ? 0 : offsets[0]);
    out += blob_;
    for (size_t i = 0; i < dirs.size(); ++i) {
      put16(out, static_cast<uint16_t>(dirs[i].size()));
      for (const Entry& e : dirs[i]) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        put32(out, e.value);
      }
      int next = i + 1 < dirs.size() ? static_cast<int>(i + 1) : -1;
      if (i < nextOf.size()) next = nextOf[i];
      put32(out, next < 0 ? 0 : offsets[static_cast<size_t>(next)]);
    }
    return out;
  }

 private:
  static void put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  }
  static void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  std::string blob_;
};

constexpr uint16_t kShort = 3, kLong = 4;

// A bilevel, uncompressed directory whose fields the cases change.
std::vector<TiffBytes::Entry> plainDirectory(TiffBytes& t, uint32_t width, uint32_t length,
                                             uint32_t stripBytes) {
  const uint32_t strip = t.data(std::string(stripBytes, '\x55'));
  return {{256, kLong, 1, width},        {257, kLong, 1, length},
          {258, kShort, 1, 1},           {259, kShort, 1, 1},
          {262, kShort, 1, 0},           {273, kLong, 1, strip},
          {277, kShort, 1, 1},           {278, kLong, 1, length},
          {279, kLong, 1, stripBytes}};
}

void setEntry(std::vector<TiffBytes::Entry>& d, uint16_t tag, uint16_t type, uint32_t value) {
  for (auto& e : d) {
    if (e.tag == tag) {
      e.type = type;
      e.value = value;
      return;
    }
  }
  d.push_back({tag, type, 1, value});
  std::sort(d.begin(), d.end(), [](const auto& a, const auto& b) { return a.tag < b.tag; });
}

void removeEntry(std::vector<TiffBytes::Entry>& d, uint16_t tag) {
  d.erase(std::remove_if(d.begin(), d.end(), [&](const auto& e) { return e.tag == tag; }), d.end());
}

class BadInputTest : public ::testing::Test {
 protected:
  // Converts; a failure must leave no PDF, a success a PDF that passes the checks.
  int convertBytes(const std::string& tiff) {
    const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
    EXPECT_TRUE(testutil::writeFileBytes(tif, tiff));
    const int result = t2p_convert_file(tif, pdf, 0);
    if (result == 0) {
      EXPECT_EQ(testutil::pdfProblems(pdf), "");
    } else {
      EXPECT_FALSE(testutil::fileExists(pdf));
    }
    return result;
  }
  int convertSpec(const TiffImageSpec& desc) {
    const std::string tif = dir.file("desc.tif");
    EXPECT_TRUE(testutil::writeTiff(tif, {desc}));
    return convertBytes(testutil::readFileBytes(tif));
  }
  testutil::TempDir dir;
  testutil::TiffMessages messages;
};

struct RefusalCase {
  const char* name;
  std::function<void(std::vector<TiffBytes::Entry>&)> change;
  const char* message;  // one of these texts must be reported (ours or libtiff's refusal)
  const char* orMessage;
};

class RefusalTest : public BadInputTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, RefusedWithMessageAndNoPdf) {
  TiffBytes t;
  auto d = plainDirectory(t, 16, 4, 8);
  GetParam().change(d);
  EXPECT_EQ(convertBytes(t.build({d})), 1);
  const bool reported = messages.hasError(GetParam().message) ||
                        (GetParam().orMessage[0] != '\0' && messages.hasError(GetParam().orMessage));
  EXPECT_TRUE(reported) << GetParam().message;
}

const RefusalCase kRefusals[] = {
    {"ZeroWidth", [](auto& d) { setEntry(d, 256, kLong, 0); }, "with zero width", "Can't open input file"},
    {"ZeroLength", [](auto& d) { setEntry(d, 257, kLong, 0); }, "with zero length", "Can't open input file"},
    {"MissingWidth", [](auto& d) { removeEntry(d, 256); }, "with zero width", "Can't open input file"},
    {"SixteenBits", [](auto& d) { setEntry(d, 258, kShort, 16); }, "with 16 bits per sample", ""},
    {"ThreeBits", [](auto& d) { setEntry(d, 258, kShort, 3); }, "with 3 bits per sample", ""},
    {"FiveSamples",
     [](auto& d) { setEntry(d, 277, kShort, 5); }, "with 5 samples per pixel", "Can't open input file"},
    {"SignedSamples", [](auto& d) { setEntry(d, 339, kShort, 2); }, "with sample format 2", ""},
    {"NotConfiguredCodec",
     [](auto& d) { setEntry(d, 259, kShort, 34712); }, "with compression type 34712:  not configured",
     "Can't open input file"},
    {"MaskPhotometric",
     [](auto& d) { setEntry(d, 262, kShort, 4); }, "with photometric interpretation 4", ""},
    {"LogLuv",
     [](auto& d) { setEntry(d, 262, kShort, 32845); }, "with photometric interpretation LogL/LogLuv",
     "Can't open input file"},
    {"RgbTwoSamples",
     [](auto& d) { setEntry(d, 262, kShort, 2); setEntry(d, 277, kShort, 2); },
     "No support for RGB image", ""},
    {"PaletteWithoutMap",
     [](auto& d) { setEntry(d, 262, kShort, 3); }, "has no color map", "Can't open input file"},
    {"SeparatedThreeSamples",
     [](auto& d) { setEntry(d, 262, kShort, 5); setEntry(d, 277, kShort, 3); },
     "because it has 3 samples per pixel", ""},
    {"SeparatedOtherInks",
     [](auto& d) { setEntry(d, 262, kShort, 5); setEntry(d, 277, kShort, 4); setEntry(d, 332, kShort, 2); },
     "because its inkset is not CMYK", ""},
    {"PlanarSeparateFourBits",
     [](auto& d) { setEntry(d, 258, kShort, 4); setEntry(d, 284, kShort, 2); },
     "with separated planar configuration and 4 bits per sample", ""},
    {"PlanarThree", [](auto& d) { setEntry(d, 284, kShort, 3); }, "with planar configuration 3",
     "Can't open input file"},
    {"AbsurdDimensions",
     [](auto& d) { setEntry(d, 256, kLong, 0x7FFFFFFF); setEntry(d, 257, kLong, 0x7FFFFFFF); setEntry(d, 278, kLong, 0x7FFFFFFF); },
     "Can't allocate", "Can't open input file"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BadInputTest, TruncatedStripsAreSkippedNotFatal) {
  TiffImageSpec desc;
  desc.width = 64;
  desc.length = 64;
  desc.compression = COMPRESSION_CCITTFAX4;
  desc.rowsPerStrip = 16;
  desc.pixels = testutil::bilevelPattern(64, 64);
  ASSERT_TRUE(testutil::writeTiff(dir.file("good.tif"), {desc}));
  std::string bytes = testutil::readFileBytes(dir.file("good.tif"));
  // Break the data of the second strip: the page is still written.
  std::unique_ptr<TIFF, void (*)(TIFF*)> in(TIFFOpen(dir.file("good.tif").c_str(), "r"),
                                            [](TIFF* t) { TIFFClose(t); });
  uint64_t* offsets = nullptr;
  ASSERT_TRUE(TIFFGetField(in.get(), TIFFTAG_STRIPOFFSETS, &offsets));
  for (int i = 0; i < 6; ++i) bytes[offsets[1] + i] = '\0';
  EXPECT_EQ(convertBytes(bytes), 0);
}

TEST_F(BadInputTest, TruncatedSingleGroup4StripIsDecodedInstead) {
  TiffImageSpec desc;
  desc.width = 64;
  desc.length = 64;
  desc.compression = COMPRESSION_CCITTFAX4;
  desc.pixels = testutil::bilevelPattern(64, 64);
  ASSERT_TRUE(testutil::writeTiff(dir.file("good.tif"), {desc}));
  std::string bytes = testutil::readFileBytes(dir.file("good.tif"));
  TiffBytes t;
  // The strip claims more bytes than the file holds.
  std::string strip = bytes.substr(8, 40);
  const uint32_t at = t.data(strip);
  auto d = plainDirectory(t, 64, 64, 1);
  setEntry(d, 259, kShort, 4);
  setEntry(d, 273, kLong, at);
  setEntry(d, 279, kLong, 100000);
  EXPECT_EQ(convertBytes(t.build({d})), 0);
  EXPECT_TRUE(messages.hasWarning("Can't copy strip 0 of"));
}

TEST_F(BadInputTest, DirectoryLoopEnds) {
  TiffBytes t;
  auto first = plainDirectory(t, 16, 4, 8);
  auto second = plainDirectory(t, 24, 4, 12);
  convertBytes(t.build({first, second}, {1, 0}));  // second points back at the first
}

TEST_F(BadInputTest, NoPagesAtAllIsAFailure) {
  TiffImageSpec desc;
  desc.width = 16;
  desc.length = 4;
  desc.subfileType = FILETYPE_REDUCEDIMAGE;
  desc.pixels.assign(8, 0x0F);
  EXPECT_EQ(convertSpec(desc), 1);
}

TEST_F(BadInputTest, EveryTruncationEitherFailsCleanlyOrGivesValidPdf) {
  std::vector<TiffImageSpec> pages(2);
  for (int i = 0; i < 2; ++i) {
    pages[i].width = 48;
    pages[i].length = 24;
    pages[i].compression = i == 0 ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3;
    pages[i].rowsPerStrip = i == 0 ? 0 : 8;
    pages[i].pixels = testutil::bilevelPattern(48, 24, i);
  }
  ASSERT_TRUE(testutil::writeTiff(dir.file("good.tif"), pages));
  const std::string bytes = testutil::readFileBytes(dir.file("good.tif"));
  for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 24) {
    SCOPED_TRACE(cut);
    convertBytes(bytes.substr(0, cut));
  }
}

TEST_F(BadInputTest, FlippedBytesNeverCrash) {
  std::vector<TiffImageSpec> pages(1);
  pages[0].width = 40;
  pages[0].length = 20;
  pages[0].compression = COMPRESSION_CCITTFAX4;
  pages[0].tileWidth = 16;
  pages[0].tileLength = 16;
  pages[0].pixels = testutil::bilevelPattern(40, 20);
  ASSERT_TRUE(testutil::writeTiff(dir.file("good.tif"), pages));
  const std::string bytes = testutil::readFileBytes(dir.file("good.tif"));
  for (size_t at = 0; at < bytes.size(); at += 1 + bytes.size() / 20) {
    SCOPED_TRACE(at);
    std::string broken = bytes;
    broken[at] = static_cast<char>(broken[at] ^ 0xA5);
    convertBytes(broken);
  }
}

}  // namespace
}  // namespace tarnwell
