#pragma once

#include <string>

#include "app/ConversionRequest.h"

// The two ways the program reaches its user interface.
namespace tarnwell::ui {

// Opens the "Tarnwell" window with the request's settings and paths and runs it until it is
// closed; returns the exit code. When no display can be reached it says so on standard error and
// returns 2, as the program does without any display.
int runMainWindow(const ConversionRequest& request);

// Shows a command-line run's report in the "Tarnwell Results" message box and returns once the
// user has closed it; false when no display could be reached (the caller then prints it).
bool showResultsBox(const std::string& report);

}  // namespace tarnwell::ui
