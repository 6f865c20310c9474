#pragma once

// Whole-strip checks of the Group 4 strips of a many-page file, run while the file's pages are
// written: on a helper thread when the machine has a core to spare, so that the file is checked
// on two cores, and in the caller's thread otherwise. The fax engine checks the strips it copies
// from its sources; the PDF stage the strips of a Group 4 TIFF it passes through.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace tarnwell {

// Cores the helpers may use: one fewer than the machine has, less the extra workers of a
// parallel directory run. A run marks its extra workers busy for its length with this.
class BusyWorkers {
 public:
  explicit BusyWorkers(int extra);
  ~BusyWorkers();
  BusyWorkers(const BusyWorkers&) = delete;
  BusyWorkers& operator=(const BusyWorkers&) = delete;

 private:
  int extra_;
};

class WholeStripChecks {
 public:
  // mayUseHelper: a helper thread may be started. It is started at the second strip, so that a
  // file of one page never pays for it.
  explicit WholeStripChecks(bool mayUseHelper) : mayUseHelper_(mayUseHelper) {}
  ~WholeStripChecks();
  WholeStripChecks(const WholeStripChecks&) = delete;
  WholeStripChecks& operator=(const WholeStripChecks&) = delete;

  // Checks the strip of page `slot` (Group 4, least significant bit first when leastBitFirst):
  // a copy of it is handed to the helper when the helper is idle, else it is checked here.
  // False when it was checked here and is not whole; true when it is whole or handed over.
  bool check(std::size_t slot, std::span<const uint8_t> bytes, uint32_t width, uint32_t rows,
             bool leastBitFirst);
  // Waits for the helper, then sets marks[slot] for every strip found whole (growing `marks`
  // as needed). False when a strip handed to the helper was not whole.
  bool markWhole(std::vector<bool>& marks);

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
  bool startHelper();
  void helperLoop() noexcept;

  bool mayUseHelper_;
  bool triedHelper_ = false;
  std::size_t checks_ = 0;
  bool haveCore_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Task> task_;  // waiting for the helper
  bool busy_ = false;         // the helper is checking a strip
  bool stop_ = false;
  std::vector<std::size_t> whole_;  // slots found whole, in any order
  std::size_t handedOut_ = 0;       // strips handed to the helper
  std::size_t handedWhole_ = 0;     // of them, found whole
  std::thread helper_;              // the last member: started after, and joined before, the rest
};

}  // namespace tarnwell
