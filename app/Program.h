#pragma once

#include <functional>
#include <string>

#include "app/ConversionJob.h"
#include "app/ConversionSettings.h"

namespace tarnwell {

// What the user interface adds to the program when it is built in.
struct ProgramHooks {
  // Opens the main window with the settings the command line left and runs it until it is
  // closed; returns the exit code.
  std::function<int(ConversionJob& job, const ConversionSettings& settings,
                    const WorkingPaths& paths)>
      runWindow;
  // Shows the results report in a message box; false when no box could be shown.
  std::function<bool(const std::string& report)> showResultsBox;
};

// Everything between start-up and clean-up; returns the process exit code. commandLine is the
// program's arguments joined with single blanks. A complete request converts at once and
// returns 0 whatever the outcome; anything else takes the window road. On the way out the
// work file, the segment file and the scratch TIFF are removed.
int runProgram(const std::string& commandLine, const ProgramHooks& hooks = {});

// The argument text of a command line: the arguments after the program name, joined with
// single blanks.
[[nodiscard]] std::string argumentText(int argc, const char* const* argv);

}  // namespace tarnwell
