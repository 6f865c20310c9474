#include "app/WindowModule.h"

#include <iostream>

#include "app/ProgramModules.h"

namespace tarnwell {

namespace {

struct LoadedWindow {
  const WindowModuleFunctions* functions = nullptr;
  std::string problem;  // why there are none
};

const LoadedWindow& loadedWindow() {
  static const LoadedWindow loaded = [] {
    LoadedWindow window;
    if (void* entry = loadProgramModule(kWindowModuleFile, kWindowModuleEntry, window.problem)) {
      const WindowModuleFunctions* functions = reinterpret_cast<WindowModuleEntry>(entry)();
      if (functions != nullptr && functions->interfaceVersion == kWindowModuleInterface &&
          functions->runWindow != nullptr && functions->showResultsBox != nullptr)
        window.functions = functions;
      else
        window.problem = std::string("the module ") + kWindowModuleFile +
                         " was built for another version of the program";
    }
    return window;
  }();
  return loaded;
}

}  // namespace

ProgramHooks windowModuleHooks() {
  ProgramHooks hooks;
  hooks.runWindow = [](const ConversionRequest& request) {
    const LoadedWindow& window = loadedWindow();
    if (window.functions != nullptr) return window.functions->runWindow(request);
    std::cerr << "tarnwell: " << window.problem << ", the window cannot be created\n";
    return kExitIncomplete;
  };
  hooks.showResultsBox = [](const std::string& report) {
    const LoadedWindow& window = loadedWindow();
    if (window.functions != nullptr) return window.functions->showResultsBox(report);
    std::cerr << "tarnwell: " << window.problem << ", the report is printed instead\n";
    return false;
  };
  return hooks;
}

}  // namespace tarnwell
