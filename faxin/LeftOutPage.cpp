#include "faxin/LeftOutPage.h"

namespace tarnwell {

std::string leftOutText(const LeftOutPage& page) {
  std::string reason;
  switch (page.reason) {
    case LeftOutReason::kNoCoding: reason = "no Group 3 or Group 4 coding found"; break;
    case LeftOutReason::kUndecodable: reason = "its data does not decode"; break;
    case LeftOutReason::kNoRows: reason = "no rows decoded"; break;
    case LeftOutReason::kUnknownCoding:
      reason = "coding " + std::to_string(page.coding) + " cannot be written";
      break;
    case LeftOutReason::kNoData: reason = "no data"; break;
    case LeftOutReason::kRepeatedData: reason = "its data repeats pages already written"; break;
  }
  return "page " + std::to_string(page.page) + " of " + std::to_string(page.count) +
         " left out: " + reason;
}

}  // namespace tarnwell
