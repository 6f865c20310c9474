#include "support/LibtiffReader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "support/LibtiffMessages.h"

namespace tarnwell::test {

namespace {

uint64_t rowBytes(uint32_t width, uint16_t bits, uint16_t samples) {
  return (uint64_t{width} * bits * samples + 7) / 8;
}

void clearPadding(std::vector<uint8_t>& pixels, uint32_t width, std::size_t pixelBits,
                  std::size_t rowBytes) {
  const std::size_t usedBits = width * pixelBits;
  if (usedBits % 8 == 0 || rowBytes == 0) return;
  const auto mask = static_cast<uint8_t>(0xFF00u >> (usedBits % 8));
  for (std::size_t at = usedBits / 8; at < pixels.size(); at += rowBytes) pixels[at] &= mask;
}

TiffPage readPage(TIFF* t) {
  TiffPage p;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &p.width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &p.length);
  TIFFGetField(t, TIFFTAG_ROWSPERSTRIP, &p.rowsPerStrip);
  TIFFGetField(t, TIFFTAG_SUBFILETYPE, &p.subfileType);
  TIFFGetField(t, TIFFTAG_COMPRESSION, &p.compression);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &p.photometric);
  p.hasFillOrder = TIFFGetField(t, TIFFTAG_FILLORDER, &p.fillOrder) == 1;
  if (!p.hasFillOrder) p.fillOrder = FILLORDER_MSB2LSB;
  TIFFGetField(t, TIFFTAG_ORIENTATION, &p.orientation);
  TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &p.bitsPerSample);
  TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &p.samplesPerPixel);
  TIFFGetField(t, TIFFTAG_PLANARCONFIG, &p.planar);
  TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &p.resolutionUnit);
  TIFFGetField(t, TIFFTAG_PAGENUMBER, &p.pageIndex, &p.pageCount);
  TIFFGetField(t, TIFFTAG_XRESOLUTION, &p.xResolution);
  TIFFGetField(t, TIFFTAG_YRESOLUTION, &p.yResolution);
  if (p.compression == COMPRESSION_CCITTFAX3) {
    p.hasT4 = TIFFGetField(t, TIFFTAG_GROUP3OPTIONS, &p.t4Options) == 1;
  } else if (p.compression == COMPRESSION_CCITTFAX4) {
    p.hasT6 = TIFFGetField(t, TIFFTAG_GROUP4OPTIONS, &p.t6Options) == 1;
  }
  char* text = nullptr;
  if (TIFFGetField(t, TIFFTAG_SOFTWARE, &text) == 1 && text != nullptr) p.software = text;
  if (TIFFGetField(t, TIFFTAG_DATETIME, &text) == 1 && text != nullptr) p.dateTime = text;

  const uint32_t strips = TIFFNumberOfStrips(t);
  const tmsize_t stripSize = TIFFStripSize(t);
  for (uint32_t s = 0; s < strips; ++s) {
    std::vector<uint8_t> raw(static_cast<std::size_t>(TIFFGetStrileByteCount(t, s)));
    if (!raw.empty() && TIFFReadRawStrip(t, s, raw.data(), static_cast<tmsize_t>(raw.size())) < 0) {
      raw.clear();
    }
    p.rawStrips.push_back(std::move(raw));
    if (stripSize > 0) {
      std::vector<uint8_t> rows(static_cast<std::size_t>(stripSize));
      const tmsize_t got = TIFFReadEncodedStrip(t, s, rows.data(), stripSize);
      if (got < 0) {
        p.decodeFailed = true;
      } else {
        p.decoded.insert(p.decoded.end(), rows.begin(), rows.begin() + got);
      }
    }
  }
  const uint16_t bits = p.bitsPerSample == 0 ? 1 : p.bitsPerSample;
  const uint16_t samples = p.samplesPerPixel == 0 ? 1 : p.samplesPerPixel;
  if (bits == 1 && samples == 1) {
    p.bitmap = Bitmap(p.width, p.length);
    const std::size_t n = std::min(p.bitmap.bits.size(), p.decoded.size());
    std::copy_n(p.decoded.begin(), n, p.bitmap.bits.begin());
    if (n < p.bitmap.bits.size()) p.decodeFailed = true;
    if (p.photometric == PHOTOMETRIC_MINISBLACK) {
      for (auto& v : p.bitmap.bits) v = static_cast<uint8_t>(~v);
    }
    clearPadding(p.bitmap.bits, p.width, 1, p.bitmap.bytesPerRow());
  }
  return p;
}

}  // namespace

TiffHandle openTiff(const std::string& path, const char* mode) {
  return TiffHandle(TIFFOpen(path.c_str(), mode));
}

std::vector<TiffPage> readTiffPages(const std::string& path) {
  std::vector<TiffPage> pages;
  readTiffPages(path, pages);
  return pages;
}

bool readTiffPages(const std::string& path, std::vector<TiffPage>& out) {
  TiffMessages quiet;
  out.clear();
  TiffHandle tif(TIFFOpen(path.c_str(), "rc"));  // strips as stored, not chopped into smaller ones
  if (!tif) return false;
  bool ok = true;
  do {
    out.push_back(readPage(tif.get()));
    ok = ok && !out.back().decodeFailed;
  } while (TIFFReadDirectory(tif.get()) == 1);
  return ok;
}

std::vector<uint8_t> rawStripBytes(const std::string& path) {
  TiffMessages quiet;
  std::vector<uint8_t> out;
  TiffHandle t(TIFFOpen(path.c_str(), "r"));
  if (!t) return out;
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t.get()); ++s) {
    const auto size = static_cast<tmsize_t>(TIFFGetStrileByteCount(t.get(), s));
    std::vector<uint8_t> strip(static_cast<std::size_t>(size));
    const tmsize_t got = TIFFReadRawStrip(t.get(), s, strip.data(), size);
    if (got < 0) return {};
    out.insert(out.end(), strip.begin(), strip.begin() + got);
  }
  return out;
}

int countDirectories(const std::string& path) {
  TiffHandle tiff(TIFFOpen(path.c_str(), "r"));
  if (!tiff) return -1;
  return static_cast<int>(TIFFNumberOfDirectories(tiff.get()));
}

bool withDirectory(const std::string& path, uint32_t directory,
                   const std::function<void(TIFF*)>& read) {
  TiffHandle tiff(TIFFOpen(path.c_str(), "r"));
  if (!tiff || !TIFFSetDirectory(tiff.get(), directory)) return false;
  read(tiff.get());
  return true;
}

bool readTiffImage(const std::string& path, uint32_t directory, DecodedImage& image) {
  TiffHandle tiff(TIFFOpen(path.c_str(), "r"));
  if (!tiff || !TIFFSetDirectory(tiff.get(), directory)) return false;
  TIFF* t = tiff.get();
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &image.width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &image.length);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &image.bitsPerSample);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &image.samplesPerPixel);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &image.planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &image.compression);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &image.photometric);
  image.tiled = TIFFIsTiled(t) != 0;
  if (image.compression == COMPRESSION_JPEG && image.photometric == PHOTOMETRIC_YCBCR) {
    TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  const bool separate = image.planar == PLANARCONFIG_SEPARATE;
  const std::size_t pixelBits =
      std::size_t{image.bitsPerSample} * (separate ? 1u : image.samplesPerPixel);
  const std::size_t rowBytes = (image.width * pixelBits + 7) / 8;
  const uint32_t planes = separate ? image.samplesPerPixel : 1;
  image.pixels.assign(rowBytes * image.length * planes, 0);
  bool ok = true;
  if (image.tiled) {
    uint32_t tw = 0, tl = 0;
    TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(t, TIFFTAG_TILELENGTH, &tl);
    if (tw == 0 || tl == 0) return false;
    const auto tileRow = static_cast<std::size_t>(TIFFTileRowSize(t));
    std::vector<uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(t)));
    for (uint32_t plane = 0; plane < planes; ++plane) {
      for (uint32_t y = 0; y < image.length; y += tl) {
        for (uint32_t x = 0; x < image.width; x += tw) {
          if (TIFFReadTile(t, tile.data(), x, y, 0, static_cast<uint16_t>(plane)) < 0) ok = false;
          const uint32_t cols = std::min(tw, image.width - x);
          const uint32_t rows = std::min(tl, image.length - y);
          const std::size_t bytes = (cols * pixelBits + 7) / 8;
          for (uint32_t r = 0; r < rows; ++r) {
            std::copy(tile.begin() + r * tileRow, tile.begin() + r * tileRow + bytes,
                      image.pixels.begin() + (std::size_t{plane} * image.length + y + r) * rowBytes +
                          x * pixelBits / 8);
          }
        }
      }
    }
  } else {
    if (static_cast<std::size_t>(TIFFScanlineSize(t)) != rowBytes) return false;
    for (uint32_t plane = 0; plane < planes; ++plane) {
      for (uint32_t y = 0; y < image.length; ++y) {
        if (TIFFReadScanline(t, image.pixels.data() + (std::size_t{plane} * image.length + y) * rowBytes,
                             y, static_cast<uint16_t>(plane)) < 0) {
          ok = false;
        }
      }
    }
  }
  clearPadding(image.pixels, image.width, pixelBits, rowBytes);
  return ok;
}

bool decodeTiffDirectory(const std::string& path, uint16_t directory, Raster& out) {
  TiffHandle tif(TIFFOpen(path.c_str(), "r"));
  if (!tif || TIFFSetDirectory(tif.get(), directory) == 0) return false;
  TIFF* t = tif.get();
  uint32_t w = 0, l = 0;
  uint16_t bits = 1, spp = 1, photometric = 0, orientation = 1;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
  if (spp != 1 || bits == 0 || bits > 8 || w == 0 || l == 0) return false;
  const uint64_t row = rowBytes(w, bits, 1);
  std::vector<uint8_t> data(row * l);
  if (TIFFIsTiled(t)) {
    uint32_t tw = 0, tl = 0;
    TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(t, TIFFTAG_TILELENGTH, &tl);
    if (tw == 0 || tl == 0) return false;
    const uint64_t tileRow = rowBytes(tw, bits, 1);
    std::vector<uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(t)));
    for (uint32_t y = 0; y < l; y += tl) {
      for (uint32_t x = 0; x < w; x += tw) {
        if (TIFFReadTile(t, tile.data(), x, y, 0, 0) < 0) return false;
        const uint64_t xByte = uint64_t{x} * bits / 8;
        for (uint32_t r = 0; r < tl && y + r < l; ++r) {
          std::memcpy(data.data() + (y + r) * row + xByte, tile.data() + r * tileRow,
                      std::min(tileRow, row - xByte));
        }
      }
    }
  } else {
    const uint32_t strips = TIFFNumberOfStrips(t);
    uint64_t pos = 0;
    for (uint32_t s = 0; s < strips && pos < data.size(); ++s) {
      const tmsize_t got = TIFFReadEncodedStrip(t, s, data.data() + pos,
                                                static_cast<tmsize_t>(data.size() - pos));
      if (got < 0) return false;
      pos += static_cast<uint64_t>(got);
    }
  }
  const uint32_t maxValue = (1u << bits) - 1;
  const bool swap = orientation >= 5;
  out.width = swap ? l : w;
  out.height = swap ? w : l;
  out.pixels.assign(uint64_t{w} * l, 0);
  for (uint32_t r = 0; r < l; ++r) {
    for (uint32_t c = 0; c < w; ++c) {
      const uint64_t bit = uint64_t{c} * bits;
      const uint8_t byte = data[r * row + bit / 8];
      const uint32_t v = (byte >> (8 - bits - bit % 8)) & maxValue;
      auto gray = static_cast<uint8_t>(v * 255 / maxValue);
      if (photometric == PHOTOMETRIC_MINISWHITE) gray = static_cast<uint8_t>(255 - gray);
      // Where stored row r, column c appears on screen for each orientation.
      uint32_t X = c, Y = r;
      switch (orientation) {
        case 2: X = w - 1 - c; Y = r; break;
        case 3: X = w - 1 - c; Y = l - 1 - r; break;
        case 4: X = c; Y = l - 1 - r; break;
        case 5: X = r; Y = c; break;
        case 6: X = l - 1 - r; Y = c; break;
        case 7: X = l - 1 - r; Y = w - 1 - c; break;
        case 8: X = r; Y = w - 1 - c; break;
        default: break;
      }
      out.pixels[uint64_t{Y} * out.width + X] = gray;
    }
  }
  return true;
}

}  // namespace tarnwell::test
