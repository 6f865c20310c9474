#pragma once

// The window lives in a loadable module (tarnwell-window.so) with Qt, so that command-line runs
// start without Qt. The module binds to the program's own core (one copy of it and of its
// state) and offers the two ways the program reaches its user interface.

#include <string>

#include "app/ConversionRequest.h"
#include "app/Program.h"

namespace tarnwell {

// Raised whenever the table below or the types it passes change.
inline constexpr unsigned kWindowModuleInterface = 1;
inline constexpr const char* kWindowModuleFile = "tarnwell-window.so";
inline constexpr const char* kWindowModuleEntry = "tarnwell_window_module";

struct WindowModuleFunctions {
  unsigned interfaceVersion = 0;  // kWindowModuleInterface of the build that made the module
  // As ProgramHooks::runWindow and ProgramHooks::showResultsBox; neither throws.
  int (*runWindow)(const ConversionRequest& request) noexcept = nullptr;
  bool (*showResultsBox)(const std::string& report) noexcept = nullptr;
};

// The type of the module's one entry, named kWindowModuleEntry.
using WindowModuleEntry = const WindowModuleFunctions* (*)();

// Hooks that load the window module when first called. When it cannot be loaded the window
// road says so on standard error and gives kExitIncomplete, as without a display, and the
// results box is not shown (the caller prints the report).
[[nodiscard]] ProgramHooks windowModuleHooks();

}  // namespace tarnwell
