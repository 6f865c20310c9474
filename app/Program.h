#pragma once

#include <string>

namespace tarnwell {

// Everything between start-up and clean-up; returns the process exit code.
int runProgram(const std::string& commandLine);

}  // namespace tarnwell
