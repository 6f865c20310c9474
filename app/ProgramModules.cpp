#include "app/ProgramModules.h"

#include "platform/LoadableModule.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

#ifdef TARNWELL_MODULE_DIRECTORY
constexpr const char* kInstalledModuleDirectory = TARNWELL_MODULE_DIRECTORY;
#else
constexpr const char* kInstalledModuleDirectory = "../lib/tarnwell";
#endif

}  // namespace

std::vector<std::string> moduleDirectories(const std::string& programPath) {
  const auto lastSep = programPath.rfind(platform::kPathSeparator);
  // Without a program path (no /proc) there is no directory to trust.
  if (programPath.empty() || programPath.front() != platform::kPathSeparator ||
      lastSep == std::string::npos)
    return {};
  const std::string own = programPath.substr(0, lastSep);
  return {own, own + platform::kPathSeparator + kInstalledModuleDirectory};
}

void* loadProgramModule(const std::string& fileName, const char* entryName,
                        std::string& problem) {
  const std::vector<std::string> directories = moduleDirectories(platform::programPath());
  for (const std::string& directory : directories) {
    const std::string path = directory + platform::kPathSeparator + fileName;
    if (!platform::pathExists(path)) continue;
    std::string error;
    if (void* entry = platform::loadModuleEntry(path, entryName, error)) return entry;
    problem = "the module " + path + " cannot be loaded: " + error;
    return nullptr;
  }
  problem = "the module " + fileName + " is not installed (looked in";
  for (std::size_t i = 0; i < directories.size(); ++i)
    problem += (i == 0 ? " " : " and ") + directories[i];
  problem += directories.empty() ? " no directory: the program's own path is unknown)" : ")";
  return nullptr;
}

}  // namespace tarnwell
