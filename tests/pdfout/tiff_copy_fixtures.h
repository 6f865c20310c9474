#pragma once

// Fixtures of the TIFF page copy tests: TIFFs written and read back with libtiff, hand-made
// TIFF bytes for malformed inputs, and a collector of libtiff messages.

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnwell::copytest {

// A fresh directory under the system's temporary directory, removed on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// One image to write. `pixels` holds the decoded samples: rows of whole bytes, contiguous
// samples, or for separate planes one plane after the other.
struct TestImage {
  uint32_t width = 0, length = 0;
  uint16_t bits = 1, samples = 1;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t compression = COMPRESSION_NONE;
  uint32_t group3Options = 0;
  uint16_t fillOrder = 0;    // 0: no tag
  uint16_t orientation = 0;  // 0: no tag
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint32_t rowsPerStrip = 0;  // 0: one strip
  uint32_t tileWidth = 0, tileLength = 0;
  int subfileType = -1;            // -1: no tag
  int pageNumber = -1;             // -1: no tag
  std::vector<uint16_t> colorMap;  // red, green, blue tables of 2^bits entries
  std::function<void(TIFF*)> extraTags;
  std::vector<uint8_t> pixels;
};

size_t rowBytesOf(const TestImage& image);
bool writeTestTiff(const std::string& path, const std::vector<TestImage>& images);

// Bilevel text-like page (short black runs on white lines) and a varied sample pattern.
std::vector<uint8_t> textPage(uint32_t width, uint32_t length, int seed = 0);
std::vector<uint8_t> samplePattern(size_t bytes, int seed = 0);
TestImage bilevelImage(uint32_t width, uint32_t length, uint16_t compression, int seed = 0);

// A directory read back: its decoded pixels in the layout of TestImage, padding bits cleared.
struct DecodedImage {
  uint32_t width = 0, length = 0;
  uint16_t bits = 0, samples = 0, planar = 0, compression = 0, photometric = 0;
  bool tiled = false;
  std::vector<uint8_t> pixels;
};
bool readTestImage(const std::string& path, uint32_t directory, DecodedImage& image);
// Pixels of a TestImage with padding bits cleared, for comparison with DecodedImage.
std::vector<uint8_t> normalisedPixels(const TestImage& image);

int countDirectories(const std::string& path);

// Runs `read` on directory `directory` of the file; false when it cannot be opened.
bool withDirectory(const std::string& path, uint32_t directory,
                   const std::function<void(TIFF*)>& read);

// Hand-made little-endian classic TIFF: one IFD per image with the given entries.
struct RawEntry {
  uint16_t tag, type;
  uint32_t count, value;  // value or offset, as stored
};
std::string rawTiff(const std::vector<std::vector<RawEntry>>& directories, const std::string& data,
                    uint32_t dataOffset);
bool writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);

// Collects libtiff errors and warnings as "module: text" while alive.
class MessageLog {
 public:
  MessageLog();
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;
  bool has(const std::string& text) const;
  std::vector<std::string> messages;

 private:
  TIFFErrorHandler oldError_, oldWarning_;
};

}  // namespace tarnwell::copytest
