#pragma once

namespace tarnwell {

// The failure codes the fax engine returns from opening a file and writing its pages (the ints
// of FaxConverter, the readers' write operations and the raw reader's work files), with what
// each means.
enum class FaxResult : int {
  kOk = 0,
  kNotOpen = -1,              // the file cannot be opened, or nothing is open to write from
  kOutputFailed = -2,         // the intermediate TIFF cannot be written
  kNoMemory = -3,             // memory ran out
  kNoPage = -4,               // no page could be written
  kWorkFileBad = -11,         // a working file is empty, short or inconsistent
  kWorkFileNoMemory = -12,    // a working file is too large to hold
  kWorkFileUnreadable = -13,  // a working file cannot be opened
};

// The int a FaxResult is returned as.
constexpr int faxCode(FaxResult result) { return static_cast<int>(result); }

// What a code of the fax engine means, in a few words; a general text for any other number.
const char* faxResultText(int code);

}  // namespace tarnwell
