#include "support/FixedClock.h"

#include <atomic>
#include <cstdlib>

namespace tarnwell::test {

namespace {

std::atomic<bool> gFixed{false};
std::atomic<std::time_t> gNow{0};

void setZone(const char* zone) {
  if (zone != nullptr) {
    setenv("TZ", zone, 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace

FixedClock::FixedClock(std::time_t now) {
  const char* zone = std::getenv("TZ");
  hadZone_ = zone != nullptr;
  if (hadZone_) zone_ = zone;
  setZone("UTC0");
  gNow = now;
  gFixed = true;
}

FixedClock::~FixedClock() {
  gFixed = false;
  setZone(hadZone_ ? zone_.c_str() : nullptr);
}

}  // namespace tarnwell::test

// The program's clock: the fixed time while a FixedClock is alive, otherwise the real one.
extern "C" std::time_t time(std::time_t* out) noexcept {
  std::time_t now = 0;
  if (tarnwell::test::gFixed) {
    now = tarnwell::test::gNow;
  } else {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    now = ts.tv_sec;
  }
  if (out != nullptr) *out = now;
  return now;
}
