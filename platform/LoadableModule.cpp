#include "platform/LoadableModule.h"

#include <dlfcn.h>

namespace tarnwell::platform {

void* loadModuleEntry(const std::string& path, const char* entryName, std::string& error) {
  if (path.empty() || path.front() != '/') {
    error = "'" + path + "' is not an absolute path";
    return nullptr;
  }
  // Symbols bound now, so that a module that does not fit the program fails here and not at a
  // later call; kept out of the global scope, so nothing loaded later binds to it by chance.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : path + ": cannot be loaded";
    return nullptr;
  }
  dlerror();
  void* entry = dlsym(handle, entryName);
  if (entry == nullptr) {
    error = path + ": no entry point " + entryName;
    return nullptr;
  }
  return entry;
}

}  // namespace tarnwell::platform
