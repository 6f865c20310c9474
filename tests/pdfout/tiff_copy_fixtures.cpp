#include "tiff_copy_fixtures.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace tarnwell::copytest {

namespace {

std::vector<std::string>* gMessages = nullptr;

void collect(const char* module, const char* format, va_list args) {
  if (gMessages == nullptr) return;
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  gMessages->push_back(std::string(module != nullptr ? module : "") + ": " + text);
}

struct Closer {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using Handle = std::unique_ptr<TIFF, Closer>;

size_t bitsPerPlanePixel(uint16_t bits, uint16_t samples, uint16_t planar) {
  return size_t{bits} * (planar == PLANARCONFIG_SEPARATE ? 1u : samples);
}

void clearPadding(std::vector<uint8_t>& pixels, uint32_t width, size_t pixelBits, size_t rowBytes) {
  const size_t usedBits = width * pixelBits;
  if (usedBits % 8 == 0 || rowBytes == 0) return;
  const uint8_t mask = static_cast<uint8_t>(0xFF00u >> (usedBits % 8));
  for (size_t at = usedBits / 8; at < pixels.size(); at += rowBytes) pixels[at] &= mask;
}

bool writeImage(TIFF* tiff, const TestImage& image) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.length);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, image.bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, image.samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, image.photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, image.planar);
  if (!TIFFSetField(tiff, TIFFTAG_COMPRESSION, image.compression)) return false;
  if (image.compression == COMPRESSION_CCITTFAX3)
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, image.group3Options);
  if (image.fillOrder != 0) TIFFSetField(tiff, TIFFTAG_FILLORDER, image.fillOrder);
  if (image.orientation != 0) TIFFSetField(tiff, TIFFTAG_ORIENTATION, image.orientation);
  if (image.subfileType >= 0)
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(image.subfileType));
  if (image.pageNumber >= 0) TIFFSetField(tiff, TIFFTAG_PAGENUMBER, image.pageNumber, 0);
  if (!image.colorMap.empty()) {
    const size_t n = size_t{1} << image.bits;
    TIFFSetField(tiff, TIFFTAG_COLORMAP, image.colorMap.data(), image.colorMap.data() + n,
                 image.colorMap.data() + 2 * n);
  }
  if (image.extraTags) image.extraTags(tiff);
  const size_t rowBytes = rowBytesOf(image);
  const uint32_t planes = image.planar == PLANARCONFIG_SEPARATE ? image.samples : 1;
  if (image.pixels.size() != rowBytes * image.length * planes) return false;
  if (image.tileWidth != 0) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, image.tileWidth);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, image.tileLength);
    const size_t pixelBits = bitsPerPlanePixel(image.bits, image.samples, image.planar);
    const size_t tileRow = (image.tileWidth * pixelBits + 7) / 8;
    std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(tiff)));
    for (uint32_t plane = 0; plane < planes; ++plane) {
      for (uint32_t y = 0; y < image.length; y += image.tileLength) {
        for (uint32_t x = 0; x < image.width; x += image.tileWidth) {
          std::fill(tile.begin(), tile.end(), uint8_t{0});
          const uint32_t cols = std::min(image.tileWidth, image.width - x);
          const uint32_t rows = std::min(image.tileLength, image.length - y);
          const size_t bytes = (cols * pixelBits + 7) / 8;
          for (uint32_t r = 0; r < rows; ++r) {
            const uint8_t* src = image.pixels.data() +
                                 (size_t{plane} * image.length + y + r) * rowBytes +
                                 x * pixelBits / 8;
            std::copy(src, src + bytes, tile.begin() + r * tileRow);
          }
          if (TIFFWriteTile(tiff, tile.data(), x, y, 0, static_cast<uint16_t>(plane)) < 0)
            return false;
        }
      }
    }
  } else {
    const uint32_t rps = image.rowsPerStrip != 0 ? image.rowsPerStrip : image.length;
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rps);
    const uint32_t perPlane = (image.length + rps - 1) / rps;
    for (uint32_t plane = 0; plane < planes; ++plane) {
      for (uint32_t k = 0; k < perPlane; ++k) {
        const uint32_t y = k * rps;
        const uint32_t rows = std::min(rps, image.length - y);
        uint8_t* at = const_cast<uint8_t*>(image.pixels.data()) +
                      (size_t{plane} * image.length + y) * rowBytes;
        if (TIFFWriteEncodedStrip(tiff, plane * perPlane + k, at,
                                  static_cast<tmsize_t>(rows * rowBytes)) < 0)
          return false;
      }
    }
  }
  return TIFFWriteDirectory(tiff) != 0;
}

void put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

ScratchDir::ScratchDir() {
  static int counter = 0;
  std::random_device rd;
  path_ = (std::filesystem::temp_directory_path() /
           ("trw-copytest-" + std::to_string(rd()) + "-" + std::to_string(counter++)))
              .string();
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

size_t rowBytesOf(const TestImage& image) {
  return (image.width * bitsPerPlanePixel(image.bits, image.samples, image.planar) + 7) / 8;
}

bool writeTestTiff(const std::string& path, const std::vector<TestImage>& images) {
  Handle tiff(TIFFOpen(path.c_str(), "w"));
  if (!tiff) return false;
  for (const TestImage& image : images) {
    if (!writeImage(tiff.get(), image)) return false;
  }
  return true;
}

std::vector<uint8_t> textPage(uint32_t width, uint32_t length, int seed) {
  const size_t rowBytes = (width + 7) / 8;
  std::vector<uint8_t> pixels(rowBytes * length, 0);
  std::mt19937 rng(static_cast<uint32_t>(seed) * 7919u + 17u);
  for (uint32_t y = 0; y < length; ++y) {
    if ((y / 12) % 3 == 2) continue;  // blank line between text lines
    for (uint32_t x = 8 + rng() % 16; x + 40 < width;) {
      const uint32_t run = 1 + rng() % 6;
      for (uint32_t i = 0; i < run; ++i)
        pixels[y * rowBytes + (x + i) / 8] |= static_cast<uint8_t>(0x80u >> ((x + i) % 8));
      x += run + 1 + rng() % 9;
      if (rng() % 11 == 0) x += 24;  // word gap
    }
  }
  return pixels;
}

std::vector<uint8_t> samplePattern(size_t bytes, int seed) {
  std::vector<uint8_t> v(bytes);
  std::mt19937 rng(static_cast<uint32_t>(seed) + 5u);
  for (size_t i = 0; i < bytes; ++i)
    v[i] = static_cast<uint8_t>((i * 7 + (i / 97) * 13 + rng() % 4) & 0xFF);
  return v;
}

TestImage bilevelImage(uint32_t width, uint32_t length, uint16_t compression, int seed) {
  TestImage image;
  image.width = width;
  image.length = length;
  image.compression = compression;
  image.pixels = textPage(width, length, seed);
  image.extraTags = [](TIFF* t) {
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 196.0);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_SOFTWARE, "Morvane.");
    TIFFSetField(t, TIFFTAG_DATETIME, "2008:03:14 09:05:07");
  };
  return image;
}

std::vector<uint8_t> normalisedPixels(const TestImage& image) {
  std::vector<uint8_t> pixels = image.pixels;
  clearPadding(pixels, image.width, bitsPerPlanePixel(image.bits, image.samples, image.planar),
               rowBytesOf(image));
  return pixels;
}

bool readTestImage(const std::string& path, uint32_t directory, DecodedImage& image) {
  Handle tiff(TIFFOpen(path.c_str(), "r"));
  if (!tiff || !TIFFSetDirectory(tiff.get(), directory)) return false;
  TIFF* t = tiff.get();
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &image.width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &image.length);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &image.bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &image.samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &image.planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &image.compression);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &image.photometric);
  image.tiled = TIFFIsTiled(t) != 0;
  // JPEG-coded YCbCr is read back as RGB, the samples it was made from.
  if (image.compression == COMPRESSION_JPEG && image.photometric == PHOTOMETRIC_YCBCR) {
    TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  const size_t pixelBits = bitsPerPlanePixel(image.bits, image.samples, image.planar);
  const size_t rowBytes = (image.width * pixelBits + 7) / 8;
  const uint32_t planes = image.planar == PLANARCONFIG_SEPARATE ? image.samples : 1;
  image.pixels.assign(rowBytes * image.length * planes, 0);
  bool ok = true;
  if (image.tiled) {
    uint32_t tw = 0, tl = 0;
    TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(t, TIFFTAG_TILELENGTH, &tl);
    const size_t tileRow = static_cast<size_t>(TIFFTileRowSize(t));
    std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(t)));
    for (uint32_t plane = 0; plane < planes; ++plane)
      for (uint32_t y = 0; y < image.length; y += tl)
        for (uint32_t x = 0; x < image.width; x += tw) {
          if (TIFFReadTile(t, tile.data(), x, y, 0, static_cast<uint16_t>(plane)) < 0) ok = false;
          const uint32_t cols = std::min(tw, image.width - x);
          const uint32_t rows = std::min(tl, image.length - y);
          const size_t bytes = (cols * pixelBits + 7) / 8;
          for (uint32_t r = 0; r < rows; ++r)
            std::copy(tile.begin() + r * tileRow, tile.begin() + r * tileRow + bytes,
                      image.pixels.begin() + (size_t{plane} * image.length + y + r) * rowBytes +
                          x * pixelBits / 8);
        }
  } else {
    if (static_cast<size_t>(TIFFScanlineSize(t)) != rowBytes) return false;
    for (uint32_t plane = 0; plane < planes; ++plane)
      for (uint32_t y = 0; y < image.length; ++y)
        if (TIFFReadScanline(t, image.pixels.data() + (size_t{plane} * image.length + y) * rowBytes,
                             y, static_cast<uint16_t>(plane)) < 0)
          ok = false;
  }
  clearPadding(image.pixels, image.width, pixelBits, rowBytes);
  return ok;
}

int countDirectories(const std::string& path) {
  Handle tiff(TIFFOpen(path.c_str(), "r"));
  if (!tiff) return -1;
  return static_cast<int>(TIFFNumberOfDirectories(tiff.get()));
}

bool withDirectory(const std::string& path, uint32_t directory,
                   const std::function<void(TIFF*)>& read) {
  Handle tiff(TIFFOpen(path.c_str(), "r"));
  if (!tiff || !TIFFSetDirectory(tiff.get(), directory)) return false;
  read(tiff.get());
  return true;
}

std::string rawTiff(const std::vector<std::vector<RawEntry>>& directories, const std::string& data,
                    uint32_t dataOffset) {
  std::string s = "II";
  put16(s, 42);
  put32(s, 8);
  for (size_t d = 0; d < directories.size(); ++d) {
    const auto& entries = directories[d];
    put16(s, static_cast<uint16_t>(entries.size()));
    for (const RawEntry& e : entries) {
      put16(s, e.tag);
      put16(s, e.type);
      put32(s, e.count);
      put32(s, e.value);
    }
    const bool last = d + 1 == directories.size();
    put32(s, last ? 0u : static_cast<uint32_t>(s.size() + 4));
  }
  if (s.size() < dataOffset) s.resize(dataOffset, '\0');
  return s + data;
}

bool writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::string readBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

MessageLog::MessageLog() {
  gMessages = &messages;
  oldError_ = TIFFSetErrorHandler(collect);
  oldWarning_ = TIFFSetWarningHandler(collect);
}

MessageLog::~MessageLog() {
  TIFFSetErrorHandler(oldError_);
  TIFFSetWarningHandler(oldWarning_);
  gMessages = nullptr;
}

bool MessageLog::has(const std::string& text) const {
  return std::any_of(messages.begin(), messages.end(),
                     [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

}  // namespace tarnwell::copytest
