#pragma once

// Small files that declare far more than their bytes hold, one or more per kind of input
// (containers, TIFF, raw). The program must end each of them quickly, in little memory and with
// small working files and PDFs; tests convert them, and scripts/hostile_limits.sh measures the
// program on the same files (written by the tarnwell_write_hostile tool).

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell::test {

struct HostileInput {
  std::string name;  // a file name the program classifies as the intended kind
  std::vector<uint8_t> bytes;
};

std::vector<HostileInput> hostileInputs();

}  // namespace tarnwell::test
