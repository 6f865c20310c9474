#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/ConversionRequest.h"

namespace tarnwell {

// What the user interface adds to the program when it is built in.
struct ProgramHooks {
  // Opens the main window for the request (the job's flags and paths, the settings the command
  // line set, the working paths) and runs it until it is closed; returns the exit code.
  std::function<int(const ConversionRequest& request)> runWindow;
  // Shows the results report in a message box; false when no box could be shown.
  std::function<bool(const std::string& report)> showResultsBox;
};

// Exit status of the program on the command-line road.
inline constexpr int kExitSuccess = 0;     // every file converted or was already PDF
inline constexpr int kExitFailure = 1;     // at least one file failed
inline constexpr int kExitIncomplete = 2;  // incomplete command line and no window to open

// Everything between start-up and clean-up; returns the process exit status. arguments are the
// program's arguments as the shell passed them, one token each. "--help", "-h" or "--version"
// anywhere print the usage text or the version and give 0. A complete request converts at once
// and gives kExitSuccess or kExitFailure; an unknown option gives kExitIncomplete with the word
// named on standard error; anything else takes the window road, which gives the
// window's own result, or kExitIncomplete when no window can be opened. On the way out the work
// file, the segment file and the scratch TIFF are removed.
int runProgram(const std::vector<std::string>& arguments, const ProgramHooks& hooks = {});

// The arguments after the program name.
[[nodiscard]] std::vector<std::string> programArguments(int argc, const char* const* argv);

}  // namespace tarnwell
