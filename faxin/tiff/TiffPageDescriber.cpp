#include "faxin/tiff/TiffPageDescriber.h"

#include <algorithm>
#include <limits>
#include <new>

#include "codec/FaxDecoder.h"
#include "codec/FaxProbe.h"
#include "faxin/tiff/TiffTags.h"

namespace tarnwell {

namespace {

// The coding of a TIFF compression value, or kNone when the engine has no decoder for it.
FaxCoding codingOf(const TiffPageInfo& info) {
  switch (info.compression) {
    case tiff::kCompressionNone: return FaxCoding::kUncompressed;
    case tiff::kCompressionModifiedHuffman: return FaxCoding::kModifiedHuffman;
    case tiff::kCompressionModifiedHuffmanWord: return FaxCoding::kModifiedHuffmanWord;
    case tiff::kCompressionGroup3:
      return (info.t4Options & 1) ? FaxCoding::kT4TwoD : FaxCoding::kT4OneD;
    case tiff::kCompressionGroup4: return FaxCoding::kT6;
    case tiff::kCompressionPackBits: return FaxCoding::kPackBits;
    default: return FaxCoding::kNone;
  }
}

// Runs the fax decoder of `coding` over one strip into `strip`; false when nothing was decoded.
bool decodeCodedStrip(std::span<const uint8_t> data, FaxCoding coding, uint32_t t6Options,
                      uint8_t bitOrder, uint32_t photometric, uint32_t width, uint32_t rowLimit,
                      FaxPage& strip) {
  FaxDecodeParams params;
  params.bitOrder = bitOrder;
  params.coding = static_cast<uint8_t>(coding);
  params.photometric = photometric == 1 ? 1 : 0;
  params.width = static_cast<int32_t>(width);
  params.rowLimit = static_cast<int32_t>(rowLimit);
  params.t6Options = t6Options;
  const int result = coding == FaxCoding::kT6 ? decodePageT6(data, params, strip)
                                              : decodePage(data, params, strip);
  return result != kFaxDecodeFailed;
}

// Paper class of a row width (the decoders' width table).
uint8_t paperClass(uint32_t width) { return widthClass(width).pageSize; }

// The description of rows the page stores uncoded or PackBits coded (no decoder fills it).
void describeRows(const TiffPageInfo& info, uint32_t rows, std::size_t codedSize,
                  FaxCoding coding, FaxPage& strip) {
  strip = FaxPage{};
  strip.width = static_cast<int32_t>(info.width);
  strip.rows = static_cast<int32_t>(rows);
  strip.bytesPerRow = static_cast<int32_t>((info.width + 7) / 8);
  strip.bitsPerSample = 1;
  strip.samplesPerPixel = 1;
  strip.codedSize = static_cast<uint32_t>(codedSize);
  strip.resolutionUnit = 2;
  strip.fillOrder = info.fillOrder == 2 ? 2 : 1;
  strip.coding = static_cast<uint8_t>(coding);
  strip.pageSize = paperClass(info.width);
  strip.photometric = static_cast<uint8_t>(info.photometric);
}

uint16_t clampResolution(uint32_t value) {
  return static_cast<uint16_t>(std::min<uint32_t>(value, std::numeric_limits<uint16_t>::max()));
}

}  // namespace

std::size_t unpackBits(std::span<const uint8_t> in, std::span<uint8_t> out) {
  std::size_t i = 0;
  std::size_t o = 0;
  while (i < in.size() && o < out.size()) {
    int n = static_cast<int8_t>(in[i++]);
    if (n >= 0) {  // n + 1 literal bytes
      std::size_t count = std::min<std::size_t>({std::size_t(n) + 1, in.size() - i, out.size() - o});
      std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(i), count,
                  out.begin() + static_cast<std::ptrdiff_t>(o));
      i += std::size_t(n) + 1;
      o += count;
    } else if (n != -128) {  // 1 - n copies of the next byte; -128 is a no-op
      if (i >= in.size()) break;
      std::size_t count = std::min<std::size_t>(std::size_t(1 - n), out.size() - o);
      std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(o), count, in[i++]);
      o += count;
    }
  }
  return o;
}

void describeTiffPage(const TiffView& view, const TiffPageInfo& info, FaxPage& page,
                      const DescribeLimits& limits) {
  page = FaxPage{};
  const FaxCoding coding = codingOf(info);
  const bool describable = info.bitsPerSample == 1 && coding != FaxCoding::kNone &&
                           info.width > 0 && info.width <= limits.maxWidth && info.length > 0;
  if (describable) {
    const std::size_t bytesPerRow = (std::size_t{info.width} + 7) / 8;
    // Rows that fit the bitmap limit; a page claiming more keeps only these.
    const uint64_t maxRows = std::min<uint64_t>(info.length, limits.maxBitmapBytes / bytesPerRow);
    const std::vector<TiffStrip> strips = view.strips(info);
    const uint8_t bitOrder = info.fillOrder == 2 ? 2 : 1;
    // The strip table matches RowsPerStrip: each strip holds its share of the rows. A single
    // strip holds the whole page whatever RowsPerStrip says.
    const bool rowsPerStripFits =
        info.rowsPerStrip > 0 &&
        (uint64_t{info.length} + info.rowsPerStrip - 1) / info.rowsPerStrip == strips.size();
    // The decoders' bitmaps of all strips together never take more than twice the bitmap limit,
    // so a page of many garbage strips costs no more than one good page.
    uint64_t budget = 2 * uint64_t{limits.maxBitmapBytes};
    uint64_t rows = 0;
    bool described = false;
    FaxPage strip;
    for (std::size_t s = 0; s < strips.size() && rows < maxRows; ++s) {
      std::span<const uint8_t> data = view.bytes(strips[s]);
      const uint64_t remaining = maxRows - rows;
      const uint64_t expected = strips.size() == 1 ? remaining
                                : rowsPerStripFits ? std::min<uint64_t>(info.rowsInStrip(s), remaining)
                                                   : remaining;
      uint64_t got = 0;
      if (coding == FaxCoding::kUncompressed || coding == FaxCoding::kPackBits) {
        const uint64_t stripRows = expected;
        std::vector<uint8_t> rowsData;
        if (coding == FaxCoding::kUncompressed) {
          got = std::min<uint64_t>(stripRows, data.size() / bytesPerRow);
          rowsData.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(got * bytesPerRow));
        } else {
          // PackBits never expands one byte into more than 128, which bounds the output.
          uint64_t room = std::min<uint64_t>(stripRows * bytesPerRow, uint64_t{data.size()} * 128);
          rowsData.resize(static_cast<std::size_t>(room));
          got = unpackBits(data, rowsData) / bytesPerRow;
        }
        describeRows(info, static_cast<uint32_t>(got), data.size(), coding, strip);
        rowsData.resize(static_cast<std::size_t>(got * bytesPerRow));
        strip.bitmap = std::move(rowsData);
      } else {
        if (data.empty()) continue;
        // Every coded row takes at least one bit, so a strip cannot hold more rows than this; one
        // row more than needed lets the decoder run on without overwriting a kept row.
        uint64_t rowLimit = std::min<uint64_t>(expected + 1, uint64_t{data.size()} * 8 + 1);
        rowLimit = std::min<uint64_t>(rowLimit, limits.maxBitmapBytes / bytesPerRow);
        rowLimit = std::min<uint64_t>(rowLimit, budget / bytesPerRow);
        if (rowLimit == 0) break;
        budget -= rowLimit * bytesPerRow;
        if (!decodeCodedStrip(data, coding, info.t6Options, bitOrder, info.photometric, info.width,
                              static_cast<uint32_t>(rowLimit), strip)) {
          continue;
        }
        got = std::min<uint64_t>(strip.rows > 0 ? uint64_t(strip.rows) : 0, remaining);
        got = std::min<uint64_t>(got, strip.bitmap.size() / bytesPerRow);
      }
      if (!described) {
        std::vector<uint8_t> stripBits = std::move(strip.bitmap);
        page = strip;  // the page's bitmap is still empty here
        strip.bitmap = std::move(stripBits);
        page.rows = 0;
        described = true;
      }
      page.bitmap.insert(page.bitmap.end(), strip.bitmap.begin(),
                         strip.bitmap.begin() + static_cast<std::ptrdiff_t>(got * bytesPerRow));
      rows += got;
      page.rows = static_cast<int32_t>(rows);
    }
  }
  page.resolutionUnit = static_cast<uint8_t>(info.resolutionUnit);
  page.xResolution = clampResolution(info.xResolution());
  page.yResolution = clampResolution(info.yResolution());
}

}  // namespace tarnwell
