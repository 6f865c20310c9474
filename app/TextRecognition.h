#pragma once

#include <string>

#include "ocr/Recognizer.h"

namespace tarnwell {

// The text of the pages of a PDF-ready TIFF, for the invisible text layer of a searchable PDF:
// the pages' bitmaps are read from the TIFF and recognised in `languages`, one thread per core.
// When recognition cannot start (the module or the languages are not
// installed) `problem` says why in one line and no page is recognised; a page that is not
// recognised simply has no text. A TIFF that cannot be read gives no pages and no problem.
// Never throws: out of memory, no page is recognised.
[[nodiscard]] ocr::RecognitionResult recognizeTiffText(const std::string& tiff,
                                                       const std::string& languages) noexcept;

}  // namespace tarnwell
