// Writes the test kit's hostile inputs into the directory named on the command line, for
// scripts/hostile_limits.sh.

#include <cstdio>
#include <fstream>
#include <string>

#include "support/HostileInputs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  for (const auto& input : tarnwell::test::hostileInputs()) {
    std::ofstream out(std::string(argv[1]) + "/" + input.name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(input.bytes.data()),
              static_cast<std::streamsize>(input.bytes.size()));
    if (!out) return 1;
  }
  return 0;
}
