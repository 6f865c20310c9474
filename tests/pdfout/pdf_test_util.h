#pragma once

// Shared helpers of the PDF output tests: building TIFF fixtures with libtiff, checking PDFs
// with qpdf and by their cross-reference table, rendering them with Ghostscript and decoding
// TIFFs into comparable gray rasters.

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnwell::testutil {

// A fresh, empty directory under the system's temporary directory, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// One image of a test TIFF. `pixels` holds the decoded samples, rows packed as libtiff expects
// them (whole bytes per row, or per tile row for tiled images when `tileWidth` is set; the
// builder cuts tiles from the full image itself). Tags left at 0 / empty are not written.
struct TiffImageSpec {
  uint32_t width = 0, length = 0;
  uint16_t bitsPerSample = 1, samplesPerPixel = 1;
  uint16_t photometric = 0;
  uint16_t compression = 1;
  uint32_t group3Options = 0;  // written with compression 3
  uint16_t fillOrder = 0;
  uint16_t orientation = 0;
  uint16_t planar = 0;
  uint32_t rowsPerStrip = 0;  // 0: one strip
  uint32_t tileWidth = 0, tileLength = 0;
  float xres = 0, yres = 0;
  uint16_t resolutionUnit = 0;
  int subfileType = -1;  // -1: no tag
  int pageNumber = -1;   // -1: no tag
  std::vector<uint16_t> extraSamples;
  std::vector<uint16_t> colorMap;       // 3 * 2^bits entries: red, then green, then blue
  std::vector<uint16_t> transfer;       // 1 or 3 tables of 2^bits entries
  std::vector<uint8_t> iccProfile;
  std::vector<float> whitePoint;        // 2 values
  std::vector<float> primaries;         // 6 values
  std::string software, artist, copyright, documentName, description, dateTime;
  std::function<void(TIFF*)> extraTags;  // anything else, set before the data is written
  std::vector<uint8_t> pixels;
};

// Writes the images as one TIFF; false when libtiff refuses anything.
bool writeTiff(const std::string& path, const std::vector<TiffImageSpec>& images);

// Test patterns: `rowBytes` bytes per row.
std::vector<uint8_t> bilevelPattern(uint32_t width, uint32_t length, int seed = 0);
std::vector<uint8_t> grayPattern(uint32_t width, uint32_t length, uint16_t samples, int seed = 0);

// An 8-bit gray picture (0 black, 255 white) as shown on screen.
struct Raster {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool operator==(const Raster&) const = default;
};

// How a decoded 1- to 8-bit gray TIFF directory looks upright on screen (photometric and
// orientation applied), through libtiff's own decoder; false when it cannot be decoded.
bool decodeTiffDirectory(const std::string& path, uint16_t directory, Raster& out);

// Renders one page (1-based) at the given resolution with Ghostscript (bmpgray) into `out`.
bool renderPdfPage(const std::string& pdfPath, int page, float xdpi, float ydpi, Raster& out);
// Number of differing pixels, or -1 when the sizes differ.
long countDifferences(const Raster& a, const Raster& b);

// Runs "qpdf --check"; true when it reports no errors or warnings. `output` gets its output.
bool qpdfCheck(const std::string& pdfPath, std::string* output = nullptr);
// Checks that the file ends with a classic cross-reference table whose entries are 20 bytes
// and each point at "<n> 0 obj". Empty when all is well, otherwise a description.
std::string xrefProblems(const std::string& pdfBytes);

// qpdf --check and the cross-reference check together; empty when both pass.
std::string pdfProblems(const std::string& pdfPath);

// The stream bytes of object n (between "stream\r\n" and "\rendstream"); empty when absent.
std::string objectText(const std::string& pdfBytes, int objectNumber);
std::string streamOf(const std::string& pdfBytes, int objectNumber);

// Collects every message sent through libtiff's error and warning handlers while alive,
// as "module: text"; restores the previous handlers afterwards.
class TiffMessages {
 public:
  TiffMessages();
  ~TiffMessages();
  TiffMessages(const TiffMessages&) = delete;
  TiffMessages& operator=(const TiffMessages&) = delete;
  const std::vector<std::string>& errors() const;
  const std::vector<std::string>& warnings() const;
  bool hasError(const std::string& text) const;
  bool hasWarning(const std::string& text) const;
};

}  // namespace tarnwell::testutil
