#pragma once

#include <cstdint>
#include <string>

namespace tarnwell {

// Why a page of a container is not in the output, while the file's other pages are.
enum class LeftOutReason : uint8_t {
  kNoCoding,       // no Group 3 or Group 4 coding was recognised in the page's data
  kUndecodable,    // the page's data does not decode in the coding the file gives
  kNoRows,         // the page decodes to no row
  kUnknownCoding,  // the file gives a coding the fax TIFF cannot hold
  kNoData,         // the page has no data at all
  kRepeatedData,   // the pages before already copied several times the file's bytes
};

// One page left out: its number (from 1), the pages of the file, the reason and, for
// kUnknownCoding, the coding value the file gave.
struct LeftOutPage {
  int page = 0;
  int count = 0;
  LeftOutReason reason = LeftOutReason::kNoCoding;
  int coding = 0;
};

// "page 2 of 3 left out: no Group 3 or Group 4 coding found"
std::string leftOutText(const LeftOutPage& page);

}  // namespace tarnwell
