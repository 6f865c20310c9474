#pragma once

// A fixed clock for tests of texts made from the current time.

#include <ctime>
#include <string>

namespace tarnwell::test {

// While alive, time() anywhere in this test program returns `now` and the local time zone is UTC.
// The kit defines the C library's time() for the test programs: it reads the real clock unless a
// FixedClock is alive.
class FixedClock {
 public:
  explicit FixedClock(std::time_t now);
  ~FixedClock();
  FixedClock(const FixedClock&) = delete;
  FixedClock& operator=(const FixedClock&) = delete;

 private:
  bool hadZone_ = false;
  std::string zone_;
};

}  // namespace tarnwell::test
