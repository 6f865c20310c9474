#pragma once

// Text recognition of page bitmaps with Tesseract, several pages at once.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "ocr/PageText.h"

namespace tarnwell::ocr {

// English, used when no languages are named.
inline constexpr const char* kDefaultLanguages = "eng";

// Whether a language list has the form Tesseract accepts: names of letters, digits, '_' and
// '-', joined by '+'. Anything else (a path, blanks, an empty name) is refused before the
// engine sees it.
[[nodiscard]] bool validLanguages(const std::string& languages);

// Loads page `index` into `bitmap`; false when the page has no bitmap to recognise. Called
// from the worker threads one call at a time, so it need not be safe for concurrent use.
using PageLoader = std::function<bool(std::size_t index, PageBitmap& bitmap)>;

struct RecognitionResult {
  std::vector<PageText> pages;  // one per page index; unrecognised pages have recognised false
  std::string problem;          // one line for the user when the engine could not start; else ""
};

// Recognises pages 0 .. pageCount-1 in the given languages ("eng", "deu+eng") on up to
// `threads` worker threads (0: one per core), each with an engine of its own, never more
// threads than pages. Pages whose resolution is much coarser vertically than horizontally
// (normal fax resolution) are stretched to square pixels first and their word boxes mapped
// back. Never throws; an engine that cannot start (languages not installed) leaves every page
// unrecognised and says so in `problem`.
[[nodiscard]] RecognitionResult recognizePages(std::size_t pageCount, const PageLoader& load,
                                               const std::string& languages,
                                               unsigned threads = 0) noexcept;

}  // namespace tarnwell::ocr
