// Whole-strip checks beside the caller: strips handed to helper threads and strips checked in
// the caller's thread come to the same verdicts, and the caller learns when a strip it let go
// before its check ended was not whole.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/FaxGroup4Check.h"
#include "codec/WholeStripChecks.h"
#include "decoder_support.h"

namespace tarnwell {
namespace {

struct Strip {
  std::vector<uint8_t> bytes;
  bool whole;
};

// Eight 1728-pixel pages of 120 rows; those marked `broken` cut in half.
std::vector<Strip> strips(const std::vector<bool>& broken) {
  std::vector<Strip> out;
  for (std::size_t p = 0; p < broken.size(); ++p) {
    const test::Encoded enc = test::encodeWithLibtiff(
        test::makePage(test::Pattern::kTextLines, 1728, 120, static_cast<uint32_t>(p + 1)),
        test::Codec::kG4, 1);
    std::vector<uint8_t> bytes = enc.raw;
    if (broken[p]) bytes.resize(bytes.size() / 2);
    out.push_back({bytes, !broken[p]});
  }
  return out;
}

TEST(WholeStripChecks, MarkExactlyTheWholeStripsWithOrWithoutHelper) {
  const std::vector<std::vector<bool>> layouts = {
      {false, false, false, false, false, false, false, false},
      {true, false, false, false, false, false, false, false},
      {false, true, false, true, false, false, true, false},
      {true, true, true, true, true, true, true, true},
  };
  // Three helpers (several even on a small machine), one per spare core of the machine, and
  // none (all is checked in this thread).
  for (const int allowed : {3, -1, 0}) {
    SCOPED_TRACE("helpers allowed " + std::to_string(allowed));
    for (const std::vector<bool>& broken : layouts) {
      const std::vector<Strip> pages = strips(broken);
      std::vector<bool> marks(pages.size(), false);
      bool handedBroken = false;
      {
        WholeStripChecks checks(allowed);
        for (std::size_t p = 0; p < pages.size(); ++p) {
          const bool accepted = checks.check(p, pages[p].bytes, 1728, 120, false);
          // Refused here means checked here and not whole; accepted broken means handed over.
          if (!accepted) {
            EXPECT_FALSE(pages[p].whole) << "page " << p;
          }
          if (accepted && !pages[p].whole) handedBroken = true;
        }
        EXPECT_EQ(checks.markWhole(marks), !handedBroken);
        if (allowed >= 0) {
          EXPECT_EQ(checks.helpers(), allowed);
        }
      }
      for (std::size_t p = 0; p < pages.size(); ++p) {
        EXPECT_EQ(marks[p], pages[p].whole) << "page " << p;
        EXPECT_EQ(group4StripIsWhole(pages[p].bytes, 1728, 120, false), pages[p].whole);
      }
      // The first strip is always checked in the caller's thread.
      if (broken == layouts[1] || allowed == 0) {
        EXPECT_FALSE(handedBroken);
      }
    }
  }
}

}  // namespace
}  // namespace tarnwell
