#pragma once

#include <string>
#include <vector>

namespace tarnwell {

// The directories the program's loadable modules are taken from, in order: the program's own
// directory (the build tree), then the installed module directory relative to it. Both come from
// the program's resolved path, never from the current directory or the environment.
[[nodiscard]] std::vector<std::string> moduleDirectories(const std::string& programPath);

// Loads the module file `fileName` from the first of the module directories that holds it and
// returns the address of its entry `entryName`; nullptr, with one line for the user in
// `problem`, when no directory holds it or it cannot be loaded.
[[nodiscard]] void* loadProgramModule(const std::string& fileName, const char* entryName,
                                      std::string& problem);

}  // namespace tarnwell
