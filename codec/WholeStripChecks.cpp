#include "codec/WholeStripChecks.h"

#include <atomic>
#include <utility>

#include "codec/FaxGroup4Check.h"

namespace tarnwell {

namespace {

std::atomic<int>& spareCores() {
  static std::atomic<int> spare{static_cast<int>(std::thread::hardware_concurrency()) - 1};
  return spare;
}

bool takeSpareCore() {
  std::atomic<int>& spare = spareCores();
  int now = spare.load();
  while (now > 0 && !spare.compare_exchange_weak(now, now - 1)) {
  }
  return now > 0;
}

}  // namespace

BusyWorkers::BusyWorkers(int extra) : extra_(extra > 0 ? extra : 0) { spareCores() -= extra_; }
BusyWorkers::~BusyWorkers() { spareCores() += extra_; }

WholeStripChecks::~WholeStripChecks() {
  if (helper_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    helper_.join();
  }
  if (haveCore_) ++spareCores();
}

bool WholeStripChecks::isWhole(std::span<const uint8_t> bytes, uint32_t width, uint32_t rows,
                               bool leastBitFirst) noexcept {
  try {
    return group4StripIsWhole(bytes, width, rows, leastBitFirst);
  } catch (...) {
    return false;  // out of memory: the PDF stage checks the strip itself
  }
}

bool WholeStripChecks::startHelper() {
  triedHelper_ = true;
  if (!mayUseHelper_ || !takeSpareCore()) return false;
  haveCore_ = true;
  try {
    helper_ = std::thread([this] { helperLoop(); });
  } catch (...) {
    return false;  // no thread: every strip is checked in the caller's thread
  }
  return true;
}

void WholeStripChecks::helperLoop() noexcept {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || task_.has_value(); });
    if (!task_) return;
    const Task task = std::move(*task_);
    task_.reset();
    busy_ = true;
    lock.unlock();
    const bool whole = isWhole(task.bytes, task.width, task.rows, task.leastBitFirst);
    lock.lock();
    busy_ = false;
    try {
      if (whole) {
        whole_.push_back(task.slot);
        ++handedWhole_;
      }
    } catch (...) {
      // Out of memory: the strip stays unmarked, as if it were not whole.
    }
    wake_.notify_all();
  }
}

bool WholeStripChecks::check(std::size_t slot, std::span<const uint8_t> bytes, uint32_t width,
                             uint32_t rows, bool leastBitFirst) {
  const bool first = checks_++ == 0;
  if (helper_.joinable() || (!first && !triedHelper_ && startHelper())) {
    std::unique_lock lock(mutex_);
    if (!task_ && !busy_) {
      lock.unlock();
      // Only this thread hands out work, so the helper stays idle meanwhile.
      Task task{slot, std::vector<uint8_t>(bytes.begin(), bytes.end()), width, rows, leastBitFirst};
      lock.lock();
      task_ = std::move(task);
      ++handedOut_;
      wake_.notify_all();
      return true;
    }
  }
  if (!isWhole(bytes, width, rows, leastBitFirst)) return false;
  const std::lock_guard lock(mutex_);
  whole_.push_back(slot);
  return true;
}

bool WholeStripChecks::markWhole(std::vector<bool>& marks) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !task_ && !busy_; });
  for (const std::size_t slot : whole_) {
    if (slot >= marks.size()) marks.resize(slot + 1);
    marks[slot] = true;
  }
  return handedWhole_ == handedOut_;
}

}  // namespace tarnwell
