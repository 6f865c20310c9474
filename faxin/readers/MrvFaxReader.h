#pragma once

#include <cstdint>

#include "faxin/readers/FaxReader.h"
#include "faxin/readers/PassThroughPage.h"

namespace tarnwell {

// MRV-FAX files: a chain of pages, each a 64-byte header ("MRV-FAX", data position and size,
// width, rows, fill order, coding, resolutions) directly followed by its coded data. The first
// page is at 0; the next header follows at the data position plus the data size. Pages are
// copied unchanged with their header values; decoding describes the first page and, on request,
// recounts each page's rows.
class MrvFaxReader final : public FaxReader {
 public:
  static constexpr std::size_t kHeaderSize = 64;
  static constexpr uint32_t kDefaultWidth = 1728;
  static constexpr uint32_t kDefaultRows = 4576;

  bool canWriteEachPage() const override { return true; }
  bool hasHeaderCheck() const override { return false; }
  bool takesRecountLines() const override { return true; }

 protected:
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, bool recountLines, FaxPage& page, PageToWrite& out) override;

 private:
  struct Page {
    HeaderGeometry geometry;
    uint16_t xResolution = 0;
    uint16_t yResolution = 0;
  };
  // Reads the header of page `index` and loads its data. 0, or negative when it has no data.
  int loadPage(std::size_t index, Page& out);
};

}  // namespace tarnwell
