#include "codec/WholeStripChecks.h"

#include <algorithm>
#include <utility>

#include "codec/FaxGroup4Check.h"

namespace tarnwell {

int WholeStripChecks::helpersBesideWorkers(int extraWorkers) {
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::max(0, cores - 1 - std::max(0, extraWorkers));
}

WholeStripChecks::~WholeStripChecks() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
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
  const int allowed = allowedHelpers_ < 0 ? helpersBesideWorkers(0) : allowedHelpers_;
  const int count = std::min(allowed, kMaxHelpers);
  if (count <= 0) return;
  try {
    helpers_.reserve(static_cast<std::size_t>(count));
    for (int h = 0; h < count; ++h) helpers_.emplace_back([this] { helperLoop(); });
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
