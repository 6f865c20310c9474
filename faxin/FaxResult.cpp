#include "faxin/FaxResult.h"

namespace tarnwell {

const char* faxResultText(int code) {
  switch (static_cast<FaxResult>(code)) {
    case FaxResult::kOk: return "converted";
    case FaxResult::kNotOpen: return "the file cannot be opened";
    case FaxResult::kOutputFailed: return "the intermediate TIFF cannot be written";
    case FaxResult::kNoMemory: return "out of memory";
    case FaxResult::kNoPage: return "no page could be written";
    case FaxResult::kWorkFileBad: return "a working file is empty, short or inconsistent";
    case FaxResult::kWorkFileNoMemory: return "a working file is too large to hold";
    case FaxResult::kWorkFileUnreadable: return "a working file cannot be opened";
  }
  return "the fax pages cannot be written";
}

}  // namespace tarnwell
