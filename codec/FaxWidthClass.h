#pragma once

#include <cstdint>

namespace tarnwell {

// Horizontal resolution and paper class (1 A4, 2 B4, 3 A3) of a row width.
struct FaxWidthClass {
  uint16_t xResolution = 200;
  uint8_t pageSize = 1;
};

constexpr FaxWidthClass widthClass(int64_t width) {
  struct Line {
    int64_t upTo;
    uint16_t xResolution;
    uint8_t pageSize;
  };
  constexpr Line kLines[] = {
      {1728, 200, 1}, {2048, 200, 2}, {2432, 200, 3}, {2592, 300, 1}, {3072, 300, 2},
      {3456, 400, 1}, {3648, 300, 3}, {4096, 400, 2},
  };
  for (const Line& line : kLines) {
    if (width <= line.upTo) return {line.xResolution, line.pageSize};
  }
  return {400, 3};
}

}  // namespace tarnwell
