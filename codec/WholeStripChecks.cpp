#include "codec/WholeStripChecks.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "codec/FaxGroup4Check.h"

namespace tarnwell {

namespace {

std::atomic<int>& spareCores() {
  static std::atomic<int> spare{static_cast<int>(std::thread::hardware_concurrency()) - 1};
  return spare;
}

// Takes up to `wanted` spare cores; returns how many.
int takeSpareCores(int wanted) {
  std::atomic<int>& spare = spareCores();
  int now = spare.load();
  int taken = 0;
  do {
    taken = std::min(now, wanted);
  } while (taken > 0 && !spare.compare_exchange_weak(now, now - taken));
  return taken > 0 ? taken : 0;
}

}  // namespace

BusyWorkers::BusyWorkers(int extra) : extra_(extra) { spareCores() -= extra_; }
BusyWorkers::~BusyWorkers() { spareCores() += extra_; }

WholeStripChecks::~WholeStripChecks() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
  spareCores() += cores_;
}

bool WholeStripChecks::isWhole(std::span<const uint8_t> bytes, uint32_t width, uint32_t rows,
                               bool leastBitFirst) noexcept {
  try {
    return group4StripIsWhole(bytes, width, rows, leastBitFirst);
  } catch (...) {
    return false;  // out of memory: the PDF stage checks the strip itself
  }
}

void WholeStripChecks::startHelpers() {
  triedHelpers_ = true;
  if (!mayUseHelpers_) return;
  cores_ = takeSpareCores(kMaxHelpers);
  try {
    helpers_.reserve(static_cast<std::size_t>(cores_));
    for (int h = 0; h < cores_; ++h) helpers_.emplace_back([this] { helperLoop(); });
  } catch (...) {
    // Fewer helpers (or none): the caller's thread checks what they cannot take.
  }
}

void WholeStripChecks::helperLoop() noexcept {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
    if (waiting_.empty()) return;
    const Task task = std::move(waiting_.front());
    waiting_.pop_front();
    ++busy_;
    lock.unlock();
    const bool whole = isWhole(task.bytes, task.width, task.rows, task.leastBitFirst);
    lock.lock();
    --busy_;
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
  if (!first && !triedHelpers_) startHelpers();
  if (!helpers_.empty()) {
    std::unique_lock lock(mutex_);
    if (waiting_.size() < helpers_.size()) {
      lock.unlock();
      // Only this thread hands out work, so the room stays free meanwhile.
      Task task{slot, std::vector<uint8_t>(bytes.begin(), bytes.end()), width, rows, leastBitFirst};
      lock.lock();
      waiting_.push_back(std::move(task));
      ++handedOut_;
      wake_.notify_one();
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
  wake_.wait(lock, [this] { return waiting_.empty() && busy_ == 0; });
  for (const std::size_t slot : whole_) {
    if (slot >= marks.size()) marks.resize(slot + 1);
    marks[slot] = true;
  }
  return handedWhole_ == handedOut_;
}

}  // namespace tarnwell
