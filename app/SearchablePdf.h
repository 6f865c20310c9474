#pragma once

#include <iosfwd>
#include <string>

namespace tarnwell {

// Writes the PDF of a PDF-ready TIFF with an invisible text layer: the pages' bitmaps are read
// from the TIFF, recognised in `languages` on up to `threads` threads (0: one per core), and
// the words placed over the images, which stay exactly as without text. When recognition cannot
// start (the languages are not installed) one line goes to `err` and the PDF is written without
// text; a page that is not recognised simply has none. Returns t2p_convert_file's result, and
// on failure its reason in `failureReason` when given.
[[nodiscard]] int writeSearchablePdf(const std::string& tiff, const std::string& pdf,
                                     const std::string& languages, std::ostream& err,
                                     unsigned threads = 0, std::string* failureReason = nullptr);

}  // namespace tarnwell
