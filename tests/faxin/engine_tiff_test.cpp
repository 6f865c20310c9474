// The engine on TIFF-structured fax files (codes 9 and 16), the AWD road through a stand-in
// converter program, and dispatch of every code.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "engine_settings.h"
#include "faxin/FaxConverter.h"
#include "faxin/FaxFormat.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

struct EngineCase {
  FaxFormat format;
  uint16_t compression;
  uint32_t t4Options;
  bool bigEndian;
  uint16_t fillOrder;
  uint32_t rowsPerStrip;
};

class EngineTiffTest : public ::testing::TestWithParam<EngineCase> {};

TEST_P(EngineTiffTest, ConvertsEveryPageKeepingItsCoding) {
  const EngineCase& c = GetParam();
  TempTree dir;
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 50, 5), makePage(Pattern::kWords, 2432, 33, 6)};
  FaxTiffOptions o;
  o.compression = c.compression;
  o.t4Options = c.t4Options;
  o.bigEndian = c.bigEndian;
  o.fillOrder = c.fillOrder;
  o.rowsPerStrip = c.rowsPerStrip;
  const std::string source = dir.file("fax.tif");
  ASSERT_TRUE(writeFaxTiff(source, pages, o));

  FaxConverter engine(setupIn(dir));
  EXPECT_EQ(engine.open(source, c.format), FaxResult::kOk);
  ASSERT_TRUE(engine.hasPages());
  EXPECT_EQ(engine.pageCount(), 2);
  // Page 1 as the engine's decoders see it: same size and, bit for bit, the same picture (a
  // decoded page record has 1 for white, libtiff's MinIsWhite bitmap 1 for black; uncoded rows
  // are copied as stored).
  const bool copied = c.compression == COMPRESSION_NONE || c.compression == COMPRESSION_PACKBITS;
  const uint8_t flip = copied ? 0x00 : 0xFF;
  const FaxPage& p = engine.page();
  EXPECT_EQ(p.width, 1728);
  EXPECT_EQ(p.rows, 50);
  EXPECT_EQ(p.xResolution, 204);
  EXPECT_EQ(p.yResolution, 196);
  ASSERT_EQ(p.bitmap.size(), pages[0].bits.size());
  size_t differing = 0;
  for (size_t i = 0; i < p.bitmap.size(); ++i) {
    if (static_cast<uint8_t>(p.bitmap[i] ^ flip) != pages[0].bits[i]) ++differing;
  }
  EXPECT_EQ(differing, 0u);

  const std::string out = dir.file("trwintif.tmp");
  ASSERT_EQ(engine.convert(out), FaxResult::kOk);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(out, got));
  ASSERT_EQ(got.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(got[i].bitmap, pages[i]);
    EXPECT_EQ(got[i].compression, c.compression);
    if (c.compression == COMPRESSION_CCITTFAX3) {
      EXPECT_EQ(got[i].t4Options, c.t4Options);
    }
  }
}

std::vector<EngineCase> engineCases() {
  using enum FaxFormat;
  return {
      {kFmf, COMPRESSION_CCITTFAX3, 0, false, 1, 0},  {kFmf, COMPRESSION_CCITTFAX3, 4, true, 2, 0},
      {kTiffFax, COMPRESSION_CCITTFAX3, 1, false, 2, 20},
      {kTiffFax, COMPRESSION_CCITTFAX3, 5, true, 1, 0},
      {kTiffFax, COMPRESSION_CCITTFAX4, 0, false, 1, 0},
      {kTiffFax, COMPRESSION_CCITTFAX4, 0, true, 2, 16},
      {kFmf, COMPRESSION_CCITTRLE, 0, false, 1, 0},   {kFmf, COMPRESSION_NONE, 0, true, 1, 7},
      {kTiffFax, COMPRESSION_PACKBITS, 0, false, 1, 9},
  };
}

INSTANTIATE_TEST_SUITE_P(Files, EngineTiffTest, ::testing::ValuesIn(engineCases()),
                         [](const auto& info) {
                           const EngineCase& c = info.param;
                           return "F" + std::to_string(static_cast<int>(c.format)) + "_C" +
                                  std::to_string(c.compression) + "_T" +
                                  std::to_string(c.t4Options) + (c.bigEndian ? "_MM" : "_II") +
                                  "_F" + std::to_string(c.fillOrder) + "_R" +
                                  std::to_string(c.rowsPerStrip);
                         });

TEST(EngineTiffEdgeTest, NonTiffG3nFileIsNotAFax) {
  TempTree dir;
  const std::string source = dir.file("page.G3N");
  writeBytes(source, std::vector<uint8_t>(500, 0x5A));
  FaxConverter engine(setupIn(dir));
  EXPECT_EQ(engine.open(source, FaxFormat::kTiffFax), FaxResult::kOk);
  EXPECT_FALSE(engine.hasPages());
  EXPECT_EQ(engine.convert(dir.file("out.tmp")), FaxResult::kNotOpen);
}

TEST(EngineTiffEdgeTest, OutputThatCannotBeWrittenIsAFailure) {
  TempTree dir;
  const std::string source = dir.file("fax.FMF");
  ASSERT_TRUE(writeFaxTiff(source, {makePage(Pattern::kWords, 1728, 20, 1)}, FaxTiffOptions{}));
  FaxConverter engine(setupIn(dir));
  EXPECT_EQ(engine.open(source, FaxFormat::kFmf), FaxResult::kOk);
  ASSERT_TRUE(engine.hasPages());
  // A failed write must not pass for success: the driver would otherwise convert whatever an
  // earlier file left in the intermediate TIFF.
  EXPECT_LT(engine.convert(dir.file("no-such-dir/trwintif.tmp")), FaxResult::kOk);
}

TEST(EngineTiffEdgeTest, MissingFileCannotBeOpened) {
  TempTree dir;
  FaxConverter engine(setupIn(dir));
  EXPECT_EQ(engine.open(dir.file("missing.FMF"), FaxFormat::kFmf), FaxResult::kNotOpen);
  EXPECT_FALSE(engine.hasPages());
  EXPECT_EQ(engine.convert(dir.file("out.tmp")), FaxResult::kNotOpen);
}

TEST(EngineTiffEdgeTest, FirstPageWithoutRowsMakesTheFileNotAFax) {
  TempTree dir;
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 20, 1), makePage(Pattern::kWords, 1728, 20, 2)};
  const std::string source = dir.file("two.FMF");
  ASSERT_TRUE(writeFaxTiff(source, pages, FaxTiffOptions{}));
  // Page 1's BitsPerSample becomes 8, which the engine does not decode; page 2 stays good.
  std::vector<uint8_t> bytes = readBytes(source);
  bool patched = false;
  for (size_t i = 8; i + 12 < bytes.size() && !patched; i += 2) {
    if (bytes[i] == 0x02 && bytes[i + 1] == 0x01 && bytes[i + 2] == 3 && bytes[i + 3] == 0) {
      bytes[i + 8] = 8;
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  writeBytes(source, bytes);
  FaxConverter engine(setupIn(dir));
  EXPECT_EQ(engine.open(source, FaxFormat::kFmf), FaxResult::kOk);
  EXPECT_FALSE(engine.hasPages());
}

TEST(EngineDispatchTest, CodesWithoutAReaderCannotBeOpened) {
  TempTree dir;
  const std::string source = dir.file("any.bin");
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 20, 1)};
  ASSERT_TRUE(writeFaxTiff(source, pages, FaxTiffOptions{}));
  for (int number : {14}) {
    SCOPED_TRACE(number);
    const auto code = static_cast<FaxFormat>(number);
    FaxConverter engine(setupIn(dir));
    EXPECT_EQ(engine.open(source, code), FaxResult::kNotOpen);
    EXPECT_FALSE(engine.hasPages());
    EXPECT_EQ(engine.convert(dir.file("out.tmp")), FaxResult::kNotOpen);
  }
  // A reader that rejects the file closes it: no pages, nothing to convert.
  for (int number : {1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 17}) {
    SCOPED_TRACE(number);
    const auto code = static_cast<FaxFormat>(number);
    FaxConverter engine(setupIn(dir));
    EXPECT_EQ(engine.open(source, code), FaxResult::kOk);
    EXPECT_FALSE(engine.hasPages());
    EXPECT_EQ(engine.convert(dir.file("out.tmp")), FaxResult::kNotOpen);
  }
}

class EngineRawTest : public ::testing::TestWithParam<int> {};

TEST_P(EngineRawTest, CodesOutsideTheContainersGoToTheRawPath) {
  TempTree dir;
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 260, 31)};
  FaxTiffOptions o;
  o.compression = COMPRESSION_CCITTFAX3;
  o.fillOrder = FILLORDER_LSB2MSB;
  const std::string tif = dir.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, pages, o));
  const std::string raw = dir.file("fax.g3");
  writeBytes(raw, rawStripBytes(tif));

  FaxConverter engine(setupIn(dir));
  const auto code = static_cast<FaxFormat>(GetParam());
  EXPECT_EQ(engine.open(raw, code), FaxResult::kOk);
  ASSERT_TRUE(engine.hasPages());
  EXPECT_EQ(engine.pageCount(), 1);
  EXPECT_EQ(engine.page().width, 1728);
  EXPECT_EQ(engine.page().fillOrder, 2);
  const std::string out = dir.file("trwintif.tmp");
  ASSERT_EQ(engine.convert(out), FaxResult::kOk);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(out, got));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bitmap, pages[0]);
}

INSTANTIATE_TEST_SUITE_P(Codes, EngineRawTest, ::testing::Values(0, -2, 18, -7),
                         [](const auto& info) {
                           return "Code" + std::string(info.param < 0 ? "Minus" : "") +
                                  std::to_string(std::abs(info.param));
                         });

// The vertical resolution the user chose reaches the raw reader through the engine's settings:
// it sets the page length and the resolution written.
TEST(EngineRawSettingsTest, ChosenVerticalResolutionIsWritten) {
  TempTree dir;
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 120, 32)};
  FaxTiffOptions o;
  o.compression = COMPRESSION_CCITTFAX3;
  const std::string tif = dir.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, pages, o));
  const std::string raw = dir.file("fax.g3");
  writeBytes(raw, rawStripBytes(tif));
  for (uint16_t resolution : {100, 200, 300, 400}) {
    SCOPED_TRACE(resolution);
    EngineSetup s = setupIn(dir);
    s.settings.verticalResolution = resolution;
    FaxConverter engine(s);
    EXPECT_EQ(engine.open(raw, FaxFormat::kRaw), FaxResult::kOk);
    ASSERT_TRUE(engine.hasPages());
    EXPECT_EQ(engine.page().yResolution, resolution);
    const std::string out = dir.file("trwintif.tmp");
    ASSERT_EQ(engine.convert(out), FaxResult::kOk);
    std::vector<TiffPage> got;
    ASSERT_TRUE(readTiffPages(out, got));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].yResolution, resolution);
    EXPECT_EQ(got[0].bitmap, pages[0]);
  }
}

// Puts a directory first on PATH for one test and restores PATH afterwards.
class PathGuard {
 public:
  explicit PathGuard(const std::string& first, bool only = false) {
    const char* old = std::getenv("PATH");
    had_ = old != nullptr;
    if (had_) old_ = old;
    std::string path = only || !had_ ? first : first + ":" + old_;
    setenv("PATH", path.c_str(), 1);
  }
  ~PathGuard() {
    if (had_) setenv("PATH", old_.c_str(), 1);
    else unsetenv("PATH");
  }

 private:
  bool had_ = false;
  std::string old_;
};

void writeStub(const std::string& dir, const std::string& script) {
  const std::string path = dir + "/AWDVSTUB.EXE";
  writeBytes(path, std::vector<uint8_t>(script.begin(), script.end()));
  chmod(path.c_str(), 0755);
}

TEST(EngineAwdTest, StandInConverterScratchTiffIsRepackedKeepingCodings) {
  TempTree dir;
  // The stand-in converter copies its source (here already a TIFF) to the destination and
  // checks that it was called with "/c".
  writeStub(dir.path(), "#!/bin/sh\n[ \"$1\" = /c ] || exit 3\ncp \"$2\" \"$3\"\n");
  PathGuard path(dir.path());
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 40, 11), makePage(Pattern::kWords, 1728, 25, 12)};
  FaxTiffOptions t6;
  const std::string t6Source = dir.file("t6.AWD");
  ASSERT_TRUE(writeFaxTiff(t6Source, pages, t6));
  FaxTiffOptions t4;
  t4.compression = COMPRESSION_CCITTFAX3;
  t4.t4Options = 5;
  const std::string t4Source = dir.file("t4 two.AWD");  // a blank in the name
  ASSERT_TRUE(writeFaxTiff(t4Source, pages, t4));

  for (const auto& [source, compression] :
       {std::pair{t6Source, COMPRESSION_CCITTFAX4}, std::pair{t4Source, COMPRESSION_CCITTFAX3}}) {
    SCOPED_TRACE(source);
    FaxConverter engine(setupIn(dir));
    EXPECT_EQ(engine.open(source, FaxFormat::kAwd), FaxResult::kOk);
    ASSERT_TRUE(engine.hasPages());
    const std::string out = dir.file("trwintif.tmp");
    ASSERT_EQ(engine.convert(out), FaxResult::kOk);
    std::vector<TiffPage> got;
    ASSERT_TRUE(readTiffPages(out, got));
    ASSERT_EQ(got.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(got[i].bitmap, pages[i]);
      EXPECT_EQ(got[i].compression, compression);
      if (compression == COMPRESSION_CCITTFAX3) {
        EXPECT_EQ(got[i].t4Options, 5u);
      }
    }
  }
}

TEST(EngineAwdTest, MissingConverterIsNotAFaxAndStaleScratchIsDeleted) {
  TempTree dir;
  TempTree emptyBin;
  const std::string source = dir.file("fax.AWD");
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 20, 1)};
  ASSERT_TRUE(writeFaxTiff(source, pages, FaxTiffOptions{}));
  EngineSetup s = setupIn(dir);
  // A good TIFF left behind by an earlier file must not be taken.
  ASSERT_TRUE(writeFaxTiff(s.files.scratchTiffPath, pages, FaxTiffOptions{}));
  PathGuard path(emptyBin.path(), true);
  FaxConverter engine(s);
  engine.open(source, FaxFormat::kAwd);
  EXPECT_FALSE(engine.hasPages());
  EXPECT_FALSE(std::filesystem::exists(s.files.scratchTiffPath));
  EXPECT_NE(engine.convert(dir.file("out.tmp")), FaxResult::kOk);
}

TEST(EngineAwdTest, ConverterLeavingNoTiffIsNotAFax) {
  TempTree dir;
  writeStub(dir.path(), "#!/bin/sh\nexit 0\n");
  PathGuard path(dir.path());
  const std::string source = dir.file("fax.AWD");
  writeBytes(source, {1, 2, 3});
  FaxConverter engine(setupIn(dir));
  EXPECT_EQ(engine.open(source, FaxFormat::kAwd), FaxResult::kNotOpen);
  EXPECT_FALSE(engine.hasPages());
}

}  // namespace
}  // namespace tarnwell
