#pragma once

#include <string>

namespace tarnwell::platform {

// Loads the shared object at `path` (an absolute path: no library search applies to it) with
// every symbol bound at once, and returns the address of its symbol `entryName`. The object
// stays loaded for the rest of the process: what it made (threads, library state) may outlive
// the call. Returns nullptr with the loader's reason in `error` when the file cannot be loaded
// or has no such symbol.
void* loadModuleEntry(const std::string& path, const char* entryName, std::string& error);

}  // namespace tarnwell::platform
