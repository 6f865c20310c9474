#pragma once

#include <array>
#include <cstdint>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// DCX files: the number 987654321, then a list of page positions ending with 0; each page is a
// PCX image (128-byte header, run-length coded rows) running to the next listed page or to the
// end of the file. Only one-plane, one-bit pages are fax pages; the others (colour or grey PCX
// images) are left out of the page table. Pages are decoded into bitmaps and written re-encoded.
// The table ends at a position it lists a second time; a page has only the rows its data begins,
// and a page without row data is left out.
class DcxReader : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr uint32_t kMagic = 987654321;
  static constexpr uint32_t kPcxHeaderSize = 128;

  bool canWriteEachPage() const override { return true; }
  bool needsPages() const override { return true; }

 protected:
  // readPage's result for a page whose header is followed by no row data.
  static constexpr int kNoRowData = -5;

  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  // End of each indexed page: the next listed position, or the file size for the last one.
  std::array<uint32_t, kMaxPages> pageEnds_{};
};

// What the PCX header of a page says, and whether it is a fax page at all.
struct PcxPageLayout {
  int32_t width = 0;
  int32_t rows = 0;
  uint32_t planeRowBytes = 0;  // bytes per row of one plane
  uint32_t rowSize = 0;        // planes * planeRowBytes, made even
  int16_t xResolution = 0;
  int16_t yResolution = 0;
};
// Reads a 128-byte PCX header. False when it is not a bilevel page the engine can hold: fewer
// than 128 bytes, not one plane of one bit, a width, rows or row length of 0 or below, or a
// bitmap past the bitmap limit of `limits` (by default the engine's).
bool readPcxLayout(std::span<const uint8_t> header, PcxPageLayout& layout,
                   const DescribeLimits& limits = {});
// The most rows `dataBytes` bytes of run-length rows can begin (a two-byte run gives at most 63
// bytes), never more than the header's rows.
uint32_t pcxRowsHeld(std::size_t dataBytes, const PcxPageLayout& layout);
// Expands the run-length rows of `data` into `bitmap` (rows * rowSize bytes, zero-filled first).
// Returns the rows begun before the data or the bitmap ran out; a row cut short is padded.
uint32_t expandPcxRows(std::span<const uint8_t> data, const PcxPageLayout& layout,
                       std::span<uint8_t> bitmap);

}  // namespace tarnwell
