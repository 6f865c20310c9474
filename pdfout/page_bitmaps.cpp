#include "pdfout/page_bitmaps.h"

#include <tiffio.h>

#include <algorithm>
#include <span>
#include <vector>

#include "codec/FaxDecoder.h"
#include "pdfout/tiffio/tiff_io.h"

namespace tarnwell {

struct TiffPageBitmaps::Handle {
  TiffHandle tiff;
};

namespace {

// Largest page recognised: a bilevel page of this many bytes (a fax page has about 0.5 MB).
constexpr uint64_t kMaxBitmapBytes = uint64_t{64} << 20;

struct PageFields {
  uint32_t width = 0, length = 0;
  uint16_t bits = 1, samples = 1, compression = COMPRESSION_NONE;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE, fillOrder = FILLORDER_MSB2LSB, unit = RESUNIT_INCH;
  float xres = 0, yres = 0;
};

bool readFields(TIFF* tiff, PageFields& f) {
  if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &f.width) == 0 ||
      TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &f.length) == 0)
    return false;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &f.bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &f.samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &f.compression);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &f.fillOrder);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &f.unit);
  if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &f.photometric) == 0)
    f.photometric = PHOTOMETRIC_MINISWHITE;
  if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &f.xres) == 0) f.xres = 0;
  if (TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &f.yres) == 0) f.yres = 0;
  if (f.unit == RESUNIT_CENTIMETER) {
    f.xres *= 2.54f;
    f.yres *= 2.54f;
  } else if (f.unit != RESUNIT_INCH) {
    f.xres = f.yres = 0;
  }
  if (!(f.xres > 0 && f.xres < 100000) || !(f.yres > 0 && f.yres < 100000)) f.xres = f.yres = 0;
  return true;
}

// A one-strip Group 4 page through the program's decoder: white runs become 1 bits for a
// MinIsWhite page, black runs for a MinIsBlack one, so 1 bits are white as shown.
bool decodeGroup4(TIFF* tiff, const PageFields& f, ocr::PageBitmap& bitmap) {
  const uint64_t coded = TIFFGetStrileByteCount(tiff, 0);
  if (coded == 0 || coded > pageBufferBudget(tiff)) return false;
  std::vector<uint8_t> data(static_cast<std::size_t>(coded));
  const tmsize_t got = TIFFReadRawStrip(tiff, 0, data.data(), static_cast<tmsize_t>(coded));
  if (got <= 0) return false;
  data.resize(static_cast<std::size_t>(got));
  FaxDecodeParams params;
  params.bitOrder = f.fillOrder == FILLORDER_LSB2MSB ? 2 : 1;
  params.coding = 7;
  params.photometric = f.photometric == PHOTOMETRIC_MINISBLACK ? 1 : 0;
  params.width = static_cast<int32_t>(f.width);
  params.rowLimit = static_cast<int32_t>(f.length);
  params.markerCount = 0;
  FaxPage page;
  if (decodePageT6(data, params, page) == kFaxDecodeFailed || page.rows <= 0 ||
      page.bytesPerRow != static_cast<int32_t>(bitmap.bytesPerRow))
    return false;
  const std::size_t decodedRows = static_cast<uint32_t>(page.rows);
  const std::size_t bytes = std::min(bitmap.bits.size(), decodedRows * bitmap.bytesPerRow);
  std::copy_n(page.bitmap.begin(), std::min(bytes, page.bitmap.size()), bitmap.bits.begin());
  return true;
}

// Any other one-bit page through libtiff's decoders, strip by strip; a strip that does not
// decode stays white.
bool decodeWithLibtiff(TIFF* tiff, const PageFields& f, ocr::PageBitmap& bitmap) {
  if (TIFFIsTiled(tiff)) return false;
  const tmsize_t stripSize = TIFFStripSize(tiff);
  if (!usableBufferSize(tiff, stripSize)) return false;
  uint32_t rowsPerStrip = f.length;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, f.length);
  std::vector<uint8_t> strip(static_cast<std::size_t>(stripSize));
  const uint32_t strips = TIFFNumberOfStrips(tiff);
  bool any = false;
  for (uint32_t s = 0; s < strips; ++s) {
    const uint64_t firstRow = uint64_t{s} * rowsPerStrip;
    if (firstRow >= f.length) break;
    const tmsize_t got = TIFFReadEncodedStrip(tiff, s, strip.data(), stripSize);
    if (got <= 0) continue;
    any = true;
    const std::size_t offset = static_cast<std::size_t>(firstRow) * bitmap.bytesPerRow;
    const std::size_t n = std::min(static_cast<std::size_t>(got), bitmap.bits.size() - offset);
    // libtiff hands MinIsWhite samples with 1 bits black; the bitmap wants 1 bits white.
    const bool invert = f.photometric != PHOTOMETRIC_MINISBLACK;
    for (std::size_t i = 0; i < n; ++i)
      bitmap.bits[offset + i] = invert ? static_cast<uint8_t>(~strip[i]) : strip[i];
  }
  return any;
}

}  // namespace

TiffPageBitmaps::TiffPageBitmaps() = default;
TiffPageBitmaps::~TiffPageBitmaps() = default;

bool TiffPageBitmaps::open(const std::string& path) noexcept {
  try {
    handle_ = std::make_unique<Handle>();
    handle_->tiff = openWithBudget(path.c_str(), "rm");
    if (!handle_->tiff) {
      handle_.reset();
      return false;
    }
    directories_ = TIFFNumberOfDirectories(handle_->tiff.get());
    return true;
  } catch (...) {
    handle_.reset();
    directories_ = 0;
    return false;
  }
}

bool TiffPageBitmaps::load(std::size_t directory, ocr::PageBitmap& bitmap) noexcept {
  try {
    if (!handle_ || directory >= directories_ || directory > UINT16_MAX) return false;
    TIFF* tiff = handle_->tiff.get();
    if (TIFFSetDirectory(tiff, static_cast<tdir_t>(directory)) == 0) return false;
    PageFields f;
    if (!readFields(tiff, f) || f.bits != 1 || f.samples != 1 || f.width == 0 || f.length == 0 ||
        f.width > INT32_MAX - 7)
      return false;
    const uint32_t bytesPerRow = (f.width + 7) / 8;
    if (uint64_t{bytesPerRow} * f.length > kMaxBitmapBytes) return false;
    bitmap.width = f.width;
    bitmap.rows = f.length;
    bitmap.bytesPerRow = bytesPerRow;
    bitmap.xResolution = f.xres;
    bitmap.yResolution = f.yres;
    bitmap.bits.assign(std::size_t{bytesPerRow} * f.length, 0xFF);
    if (f.compression == COMPRESSION_CCITTFAX4 && TIFFNumberOfStrips(tiff) == 1 &&
        !TIFFIsTiled(tiff))
      return decodeGroup4(tiff, f, bitmap);
    return decodeWithLibtiff(tiff, f, bitmap);
  } catch (...) {
    return false;
  }
}

}  // namespace tarnwell
