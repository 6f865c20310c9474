#pragma once

// A small container reader built on FaxReader for testing the base, and a builder for its files.
//
// File: "TCHN" and 4 reserved bytes, then a chain of pages from offset 8. Page header, 16 bytes,
// little-endian: data size (u32), width (u16), rows (u16), coding (u8), fill order (u8), form (u8:
// 0 coded bytes, 1 bitmap, 2 stops the copy with -7), reserved (u8), next page position (u32, 0
// ends the chain). The page's data follows its header.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "faxin/readers/ByteFields.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell::writertest {

class ChainReader : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr int kStopCode = -7;

  // The protected helpers, for direct tests.
  using FaxReader::loadPageData;
  using FaxReader::readAt;
  using FaxReader::readSome;
  using FaxReader::readWholeFile;
  using FaxReader::describeByProbe;
  using FaxReader::ProbeSetup;

  bool canWriteEachPage() const override { return true; }
  int probeSetupWidth = 0;

 protected:
  int readHeader() override {
    std::array<uint8_t, 8> head{};
    if (!readAt(0, head)) return -2;
    return ByteFields(head).matches(0, "TCHN") ? 0 : -3;
  }

  uint16_t indexPages() override {
    uint64_t position = 8;
    uint64_t previous = 0;
    // The chain must move forward; a link back or to itself ends it.
    while (position != 0 && position > previous) {
      std::array<uint8_t, 16> header{};
      if (!readAt(position, header)) break;
      if (addPage(static_cast<uint32_t>(position)) != 0) break;
      uint32_t next = 0;
      ByteFields(header).u32le(12, next);
      previous = position;
      position = next;
    }
    return pageCount();
  }

  int readPage(int index, FaxPage& page) override {
    const uint32_t position = pagePosition(static_cast<std::size_t>(index));
    if (position == 0) return -1;
    std::array<uint8_t, 16> header{};
    if (!readAt(position, header)) return -2;
    ByteFields f(header);
    uint32_t size = 0;
    uint16_t width = 0, rows = 0;
    f.u32le(0, size);
    f.u16le(4, width);
    f.u16le(6, rows);
    f.u8(8, coding_);
    f.u8(9, fillOrder_);
    f.u8(10, form_);
    if (loadPageData(uint64_t{position} + 16, size) != 0) return -2;
    page.width = width;
    page.rows = rows;
    page.bytesPerRow = (width + 7) / 8;
    page.coding = coding_;
    page.fillOrder = fillOrder_;
    page.codedSize = static_cast<uint32_t>(pageData().size());
    page.xResolution = 200;
    page.yResolution = 100;
    page.resolutionUnit = 2;
    if (form_ == 1) page.bitmap.assign(pageData().begin(), pageData().end());
    return 0;
  }

  int preparePage(int index, FaxPage& page, PageToWrite& out) override {
    if (readPage(index, page) != 0) return kSkipPage;
    if (form_ == 2) return kStopCode;
    if (form_ == 1) {
      out.form = PageToWrite::Form::kBitmap;
      return 0;
    }
    out.data = pageData();
    out.coding = page.coding;
    out.fillOrder = page.fillOrder;
    out.width = static_cast<uint32_t>(page.width);
    out.rows = static_cast<uint32_t>(page.rows);
    out.xResolution = page.xResolution;
    out.yResolution = page.yResolution;
    return 0;
  }

 private:
  uint8_t coding_ = 0, fillOrder_ = 1, form_ = 0;
};

struct ChainPage {
  std::vector<uint8_t> data;
  uint16_t width = 1728, rows = 1;
  uint8_t coding = 7, fillOrder = 1, form = 0;
  uint32_t declaredSize = UINT32_MAX;  // UINT32_MAX: the data's size
};

inline void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v));
  put16(out, static_cast<uint16_t>(v >> 16));
}

inline std::vector<uint8_t> buildChain(const std::vector<ChainPage>& pages) {
  std::vector<uint8_t> file{'T', 'C', 'H', 'N', 0, 0, 0, 0};
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const ChainPage& p = pages[i];
    const uint32_t size =
        p.declaredSize == UINT32_MAX ? static_cast<uint32_t>(p.data.size()) : p.declaredSize;
    const auto next = static_cast<uint32_t>(file.size() + 16 + p.data.size());
    put32(file, size);
    put16(file, p.width);
    put16(file, p.rows);
    file.push_back(p.coding);
    file.push_back(p.fillOrder);
    file.push_back(p.form);
    file.push_back(0);
    put32(file, i + 1 < pages.size() ? next : 0);
    file.insert(file.end(), p.data.begin(), p.data.end());
  }
  return file;
}

}  // namespace tarnwell::writertest
