#include "support/LibtiffWriter.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"

namespace tarnwell::test {

namespace {

std::size_t bitsPerPlanePixel(const TiffImage& image) {
  return std::size_t{image.bitsPerSample} *
         (image.planar == PLANARCONFIG_SEPARATE ? 1u : image.samplesPerPixel);
}

bool setTags(TIFF* tif, const TiffImage& s) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.length);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bitsPerSample);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samplesPerPixel);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar != 0 ? s.planar : PLANARCONFIG_CONTIG);
  if (TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression) == 0) return false;
  if (s.compression == COMPRESSION_CCITTFAX3) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, s.group3Options);
  if (s.fillOrder != 0) TIFFSetField(tif, TIFFTAG_FILLORDER, s.fillOrder);
  if (s.orientation != 0) TIFFSetField(tif, TIFFTAG_ORIENTATION, s.orientation);
  if (s.tileWidth != 0) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tileWidth);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tileLength);
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip != 0 ? s.rowsPerStrip : s.length);
  }
  if (s.xres != 0) TIFFSetField(tif, TIFFTAG_XRESOLUTION, s.xres);
  if (s.yres != 0) TIFFSetField(tif, TIFFTAG_YRESOLUTION, s.yres);
  if (s.resolutionUnit != 0) TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, s.resolutionUnit);
  if (s.subfileType >= 0) TIFFSetField(tif, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(s.subfileType));
  if (s.pageNumber >= 0) {
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(s.pageNumber), uint16_t{0});
  }
  if (!s.extraSamples.empty()) {
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(s.extraSamples.size()),
                 s.extraSamples.data());
  }
  const std::size_t entries = std::size_t{1} << s.bitsPerSample;
  if (!s.colorMap.empty() && s.colorMap.size() >= 3 * entries) {
    TIFFSetField(tif, TIFFTAG_COLORMAP, s.colorMap.data(), s.colorMap.data() + entries,
                 s.colorMap.data() + 2 * entries);
  }
  if (s.transfer.size() == entries) {
    TIFFSetField(tif, TIFFTAG_TRANSFERFUNCTION, s.transfer.data(), s.transfer.data(), s.transfer.data());
  } else if (s.transfer.size() == 3 * entries) {
    TIFFSetField(tif, TIFFTAG_TRANSFERFUNCTION, s.transfer.data(), s.transfer.data() + entries,
                 s.transfer.data() + 2 * entries);
  }
  if (!s.iccProfile.empty()) {
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(s.iccProfile.size()), s.iccProfile.data());
  }
  if (s.whitePoint.size() == 2) TIFFSetField(tif, TIFFTAG_WHITEPOINT, s.whitePoint.data());
  if (s.primaries.size() == 6) TIFFSetField(tif, TIFFTAG_PRIMARYCHROMATICITIES, s.primaries.data());
  if (!s.software.empty()) TIFFSetField(tif, TIFFTAG_SOFTWARE, s.software.c_str());
  if (!s.artist.empty()) TIFFSetField(tif, TIFFTAG_ARTIST, s.artist.c_str());
  if (!s.copyright.empty()) TIFFSetField(tif, TIFFTAG_COPYRIGHT, s.copyright.c_str());
  if (!s.documentName.empty()) TIFFSetField(tif, TIFFTAG_DOCUMENTNAME, s.documentName.c_str());
  if (!s.description.empty()) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, s.description.c_str());
  if (!s.dateTime.empty()) TIFFSetField(tif, TIFFTAG_DATETIME, s.dateTime.c_str());
  if (s.extraTags) s.extraTags(tif);
  return true;
}

bool writeData(TIFF* tif, const TiffImage& image) {
  const std::size_t rowBytes = rowBytesOf(image);
  const uint32_t planes = image.planar == PLANARCONFIG_SEPARATE ? image.samplesPerPixel : 1;
  if (image.pixels.size() < rowBytes * image.length * planes) return false;
  if (image.tileWidth != 0) {
    const std::size_t pixelBits = bitsPerPlanePixel(image);
    const std::size_t tileRow = (image.tileWidth * pixelBits + 7) / 8;
    std::vector<uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tif)));
    for (uint32_t plane = 0; plane < planes; ++plane) {
      for (uint32_t y = 0; y < image.length; y += image.tileLength) {
        for (uint32_t x = 0; x < image.width; x += image.tileWidth) {
          std::fill(tile.begin(), tile.end(), uint8_t{0});
          const uint32_t cols = std::min(image.tileWidth, image.width - x);
          const uint32_t rows = std::min(image.tileLength, image.length - y);
          const std::size_t bytes = (cols * pixelBits + 7) / 8;
          for (uint32_t r = 0; r < rows; ++r) {
            const uint8_t* src = image.pixels.data() +
                                 (std::size_t{plane} * image.length + y + r) * rowBytes +
                                 x * pixelBits / 8;
            std::copy(src, src + bytes, tile.begin() + r * tileRow);
          }
          if (TIFFWriteTile(tif, tile.data(), x, y, 0, static_cast<uint16_t>(plane)) < 0) return false;
        }
      }
    }
    return true;
  }
  // libtiff may modify the buffer it encodes.
  std::vector<uint8_t> data = image.pixels;
  const uint32_t rps = image.rowsPerStrip != 0 ? image.rowsPerStrip : image.length;
  const uint32_t perPlane = (image.length + rps - 1) / rps;
  for (uint32_t plane = 0; plane < planes; ++plane) {
    for (uint32_t k = 0; k < perPlane; ++k) {
      const uint32_t y = k * rps;
      const uint32_t rows = std::min(rps, image.length - y);
      uint8_t* at = data.data() + (std::size_t{plane} * image.length + y) * rowBytes;
      if (TIFFWriteEncodedStrip(tif, plane * perPlane + k, at, static_cast<tmsize_t>(rows * rowBytes)) < 0) {
        return false;
      }
    }
  }
  return true;
}

std::string scratchPath(const char* stem) {
  static std::atomic<int> counter{0};
  return (std::filesystem::temp_directory_path() /
          ("tarnwell-encode-" + std::string(stem) + "-" + std::to_string(getpid()) + "-" +
           std::to_string(counter++) + ".tif"))
      .string();
}

}  // namespace

std::size_t rowBytesOf(const TiffImage& image) {
  return (image.width * bitsPerPlanePixel(image) + 7) / 8;
}

std::vector<uint8_t> normalisedPixels(const TiffImage& image) {
  std::vector<uint8_t> pixels = image.pixels;
  const std::size_t usedBits = image.width * bitsPerPlanePixel(image);
  const std::size_t rowBytes = rowBytesOf(image);
  if (usedBits % 8 == 0 || rowBytes == 0) return pixels;
  const auto mask = static_cast<uint8_t>(0xFF00u >> (usedBits % 8));
  for (std::size_t at = usedBits / 8; at < pixels.size(); at += rowBytes) pixels[at] &= mask;
  return pixels;
}

bool writeTiff(const std::string& path, const std::vector<TiffImage>& images) {
  TiffHandle tif(TIFFOpen(path.c_str(), "w"));
  if (!tif) return false;
  for (const TiffImage& image : images) {
    if (!setTags(tif.get(), image) || !writeData(tif.get(), image)) return false;
    if (TIFFWriteDirectory(tif.get()) == 0) return false;
  }
  return true;
}

TiffImage bilevelImage(uint32_t width, uint32_t length, uint16_t compression, uint32_t seed) {
  TiffImage image;
  image.width = width;
  image.length = length;
  image.compression = compression;
  image.pixels = makePage(Pattern::kShortText, width, length, seed).bits;
  image.extraTags = [](TIFF* t) {
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 196.0);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_SOFTWARE, "Morvane.");
    TIFFSetField(t, TIFFTAG_DATETIME, "2008:03:14 09:05:07");
  };
  return image;
}

bool writeFaxTiff(const std::string& path, const std::vector<Bitmap>& pages, const FaxTiffOptions& o) {
  quietLibtiff();
  TiffHandle t(TIFFOpen(path.c_str(), o.bigEndian ? "wb" : "wl"));
  if (!t) return false;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const Bitmap& b = pages[p];
    TIFF* tif = t.get();
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, b.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, b.rows);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, o.compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, o.photometric);
    TIFFSetField(tif, TIFFTAG_FILLORDER, o.fillOrder);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, o.rowsPerStrip ? o.rowsPerStrip : b.rows);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, o.xResolution);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, o.yResolution);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(p), static_cast<uint16_t>(pages.size()));
    if (o.compression == COMPRESSION_CCITTFAX3) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, o.t4Options);
    std::vector<uint8_t> row(b.bytesPerRow());
    for (uint32_t y = 0; y < b.rows; ++y) {
      std::copy_n(b.bits.begin() + std::ptrdiff_t{y} * b.bytesPerRow(), b.bytesPerRow(), row.begin());
      if (o.photometric == PHOTOMETRIC_MINISBLACK) {
        for (auto& v : row) v = static_cast<uint8_t>(~v);
      }
      if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) return false;
    }
    if (!TIFFWriteDirectory(tif)) return false;
  }
  return true;
}

const char* codecName(Codec c) {
  switch (c) {
    case Codec::kMH: return "MH";
    case Codec::kMHWord: return "MHWord";
    case Codec::kG3OneD: return "G3OneD";
    case Codec::kG3OneDFill: return "G3OneDFill";
    case Codec::kG3TwoD: return "G3TwoD";
    case Codec::kG3TwoDFill: return "G3TwoDFill";
    case Codec::kG4: return "G4";
  }
  return "?";
}

uint16_t compressionOf(Codec c) {
  switch (c) {
    case Codec::kMH: return COMPRESSION_CCITTRLE;
    case Codec::kMHWord: return COMPRESSION_CCITTRLEW;
    case Codec::kG4: return COMPRESSION_CCITTFAX4;
    default: return COMPRESSION_CCITTFAX3;
  }
}

uint32_t group3OptionsOf(Codec c) {
  switch (c) {
    case Codec::kG3TwoD: return GROUP3OPT_2DENCODING;
    case Codec::kG3OneDFill: return GROUP3OPT_FILLBITS;
    case Codec::kG3TwoDFill: return GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS;
    default: return 0;
  }
}

Encoded encodeWithLibtiff(const Bitmap& page, Codec codec, int fillOrder) {
  return encodeWithLibtiff(page, compressionOf(codec), group3OptionsOf(codec), fillOrder);
}

Encoded encodeWithLibtiff(const Bitmap& page, uint16_t compression, uint32_t group3Options,
                          int fillOrder) {
  Encoded out;
  TiffMessages messages;
  const std::string path = scratchPath(std::to_string(compression).c_str());
  struct Remover {
    std::string path;
    ~Remover() { std::remove(path.c_str()); }
  } remover{path};
  {
    TiffHandle tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) return out;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.rows);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, fillOrder == FILLORDER_LSB2MSB ? FILLORDER_LSB2MSB : FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.rows);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 196.0);
    if (TIFFSetField(t, TIFFTAG_COMPRESSION, compression) == 0) return out;
    if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, group3Options);
    // One write buffer for the whole strip: libtiff's word-aligned codec aligns rows relative to
    // its buffer, so a flush at an odd count would shift the alignment inside the strip.
    TIFFWriteBufferSetup(t, nullptr, static_cast<tmsize_t>(page.bits.size() * 4 + 65536));
    std::vector<uint8_t> copy = page.bits;  // libtiff may modify the buffer it encodes
    if (TIFFWriteEncodedStrip(t, 0, copy.data(), static_cast<tmsize_t>(copy.size())) < 0) return out;
  }
  // "c": the strip as written, not chopped into smaller ones (libtiff chops uncompressed strips).
  TiffHandle tif(TIFFOpen(path.c_str(), "rc"));
  if (!tif) return out;
  uint64_t* counts = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) != 1 || counts == nullptr) return out;
  out.raw.resize(static_cast<std::size_t>(counts[0]));
  const tmsize_t got = TIFFReadRawStrip(tif.get(), 0, out.raw.data(), static_cast<tmsize_t>(out.raw.size()));
  out.ok = got == static_cast<tmsize_t>(out.raw.size());
  const std::size_t errorsBefore = messages.errors().size();
  out.decoded.resize(page.bits.size());
  const tmsize_t dec = TIFFReadEncodedStrip(tif.get(), 0, out.decoded.data(),
                                            static_cast<tmsize_t>(out.decoded.size()));
  // libtiff 4.5 reads back some of its own word-aligned (32771) strips with rows out of step,
  // silently; its decode of that codec is not used as a reference.
  out.decodedOk = dec >= 0 && messages.errors().size() == errorsBefore && compression != COMPRESSION_CCITTRLEW;
  return out;
}

std::vector<uint8_t> encodeStrip(const Bitmap& page, Codec codec, int fillOrder) {
  return encodeStrip(page, compressionOf(codec), group3OptionsOf(codec), fillOrder);
}

std::vector<uint8_t> encodeStrip(const Bitmap& page, uint16_t compression, uint32_t group3Options,
                                 int fillOrder) {
  Encoded e = encodeWithLibtiff(page, compression, group3Options, fillOrder);
  return e.ok ? std::move(e.raw) : std::vector<uint8_t>{};
}

}  // namespace tarnwell::test
