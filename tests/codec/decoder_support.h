#pragma once

// The fax coding code our decoder reports for each libtiff codec of the test kit.

#include <cstdint>

#include "codec/FaxPage.h"
#include "support/BitWriter.h"
#include "support/Bitmap.h"
#include "support/LibtiffWriter.h"

namespace tarnwell::test {

inline uint8_t codecCoding(Codec c) {
  switch (c) {
    case Codec::kMH: return static_cast<uint8_t>(FaxCoding::kModifiedHuffman);
    case Codec::kMHWord: return static_cast<uint8_t>(FaxCoding::kModifiedHuffmanWord);
    case Codec::kG3OneD:
    case Codec::kG3OneDFill: return static_cast<uint8_t>(FaxCoding::kT4OneD);
    case Codec::kG3TwoD:
    case Codec::kG3TwoDFill: return static_cast<uint8_t>(FaxCoding::kT4TwoD);
    case Codec::kG4: return static_cast<uint8_t>(FaxCoding::kT6);
  }
  return 0;
}

}  // namespace tarnwell::test
