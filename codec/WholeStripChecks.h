#pragma once

// Whole-strip checks of the Group 4 strips of a many-page file, run while the file's pages are
// written: on helper threads, as many as the caller allows (one per spare core unless told
// otherwise), so that the file is checked on every core the machine can give, and in the
// caller's thread otherwise. The fax engine checks the strips it
// copies from its sources; the PDF stage the strips of a Group 4 TIFF it passes through.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tarnwell {

class WholeStripChecks {
 public:
  // At most this many helpers, however many cores are spare.
  static constexpr int kMaxHelpers = 7;

  // The helpers for a conversion beside which `extraWorkers` other conversions run, each on a
  // core of its own: one per core left spare (the machine's cores less one, less the extra
  // workers), never fewer than none.
  static int helpersBesideWorkers(int extraWorkers);

  // Up to `helpers` helper threads may be started (a negative number: helpersBesideWorkers(0)),
  // never more than kMaxHelpers. They are started at the second strip, so that a file of one
  // page never pays for them.
  explicit WholeStripChecks(int helpers) : allowedHelpers_(helpers) {}
  ~WholeStripChecks();
  WholeStripChecks(const WholeStripChecks&) = delete;
  WholeStripChecks& operator=(const WholeStripChecks&) = delete;

  // Checks the strip of page `slot` (Group 4, least significant bit first when leastBitFirst):
  // a copy of it is handed to the helpers unless as many strips already wait for them as there
  // are helpers, else it is checked here. So each helper always has a next strip, and at most
  // two strips a helper are held.
  // False when it was checked here and is not whole; true when it is whole or handed over.
  bool check(std::size_t slot, std::span<const uint8_t> bytes, uint32_t width, uint32_t rows,
             bool leastBitFirst);
  // Waits for the helpers, then sets marks[slot] for every strip found whole (growing `marks`
  // as needed). False when a strip handed to a helper was not whole.
  bool markWhole(std::vector<bool>& marks);
  // Helpers running (for tests).
  int helpers() const { return static_cast<int>(helpers_.size()); }

 private:
  struct Task {
    std::size_t slot;
    std::vector<uint8_t> bytes;
    uint32_t width;
    uint32_t rows;
    bool leastBitFirst;
  };
  static bool isWhole(std::span<const uint8_t> bytes, uint32_t width, uint32_t rows,
                      bool leastBitFirst) noexcept;
  void startHelpers();
  void helperLoop() noexcept;

  int allowedHelpers_;
  bool triedHelpers_ = false;
  std::size_t checks_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> waiting_;  // strips handed over and not yet taken by a helper
  int busy_ = 0;              // helpers checking a strip
  bool stop_ = false;
  std::vector<std::size_t> whole_;  // slots found whole, in any order
  std::size_t handedOut_ = 0;       // strips handed to the helpers
  std::size_t handedWhole_ = 0;     // of them, found whole
  std::vector<std::thread> helpers_;  // the last member: started after, and joined before, the rest
};

}  // namespace tarnwell
