#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "faxin/readers/SingleT6PageReader.h"

namespace tarnwell {

// CALS raster: "rpelcnt" (width, rows) and "rdensty" (resolution) text records, T.6 data from
// offset 2048, highest bit first.
class CalsReader : public SingleT6PageReader {
 public:
  using SingleT6PageReader::SingleT6PageReader;
  static constexpr uint32_t kHeaderSize = 2048;

 protected:
  int readHeader() override;
};

// The value of a CALS header key: the text one character after the key's first occurrence at or
// after `from`, up to the end of the header; empty when the key is missing.
std::string_view calsValue(std::span<const uint8_t> header, std::size_t from,
                           std::string_view key);
// The page size of a CALS header's "rpelcnt" record (width, rows); false when the record or its
// comma is missing.
bool calsPelCount(std::span<const uint8_t> header, uint32_t& width, uint32_t& rows);
// A decimal number after optional blanks, ending at the first other character; text that is not
// a number reads as 0. Numbers too large for 32 bits read as UINT32_MAX, negative ones as 0.
uint32_t calsNumber(std::string_view text);

}  // namespace tarnwell
