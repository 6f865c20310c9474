#pragma once

#include <array>
#include <cstdint>

#include "faxin/readers/FaxReader.h"
#include "faxin/readers/PassThroughPage.h"

namespace tarnwell {

// FX files: a chain of pages, each a 128-byte header (0x0B 0x23, width, rows, coding byte, the
// terms of the next header's position, resolution code, data size) directly followed by its
// coded data, always least significant bit first. The first page is at 0; the chain ends at the
// end of the file or at a header without the signature. Pages are copied unchanged with their
// header values; decoding describes the first page and, on request, recounts each page's rows.
class FxReader final : public FaxReader {
 public:
  static constexpr std::size_t kHeaderSize = 128;
  static constexpr uint32_t kDefaultWidth = 1728;
  static constexpr uint32_t kDefaultRows = 3432;

  bool canWriteEachPage() const override { return true; }
  bool hasHeaderCheck() const override { return false; }
  bool takesRecountLines() const override { return true; }

 protected:
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, bool recountLines, FaxPage& page, PageToWrite& out) override;

 private:
  using Header = std::array<uint8_t, kHeaderSize>;
  struct Page {
    HeaderGeometry geometry;
    uint16_t yResolution = 0;
  };
  // Reads the header at `position`; a header cut by the end of the file reads as zeros behind its
  // last byte. True when it carries the signature.
  bool readHeaderAt(uint64_t position, Header& header);
  // Reads the header of page `index` and loads its data. 0, or negative when it has no data.
  int loadPage(std::size_t index, Page& out);
};

}  // namespace tarnwell
