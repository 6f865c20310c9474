#pragma once

#include <string>

namespace tarnwell {

// How many values of the classic generator each written PDF draws for its file identifier.
inline constexpr int kPdfIdRandomValues = 4;

// The file identifier of a PDF as 32 hexadecimal digits: kPdfIdRandomValues values of the
// classic generator (state 1 at the start; state = state x 214013 + 2531011; value =
// (state >> 16) & 0x7FFF), taken after `position` values, each written as four bytes with the
// lowest first.
[[nodiscard]] std::string pdfFileIdentifier(unsigned long long position);

}  // namespace tarnwell
