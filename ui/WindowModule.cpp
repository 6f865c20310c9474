// The entry of the window module: the program's two ways into the user interface, behind a
// table that lets no exception out.

#include <exception>
#include <iostream>
#include <new>

#include "app/WindowModule.h"
#include "ui/Window.h"

namespace {

int runWindow(const tarnwell::ConversionRequest& request) noexcept {
  try {
    return tarnwell::ui::runMainWindow(request);
  } catch (const std::bad_alloc&) {
    std::cerr << "tarnwell: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "tarnwell: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "tarnwell: the window failed\n";
  }
  return tarnwell::kExitFailure;
}

bool showResultsBox(const std::string& report) noexcept {
  try {
    return tarnwell::ui::showResultsBox(report);
  } catch (...) {
    return false;  // the program prints the report instead
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const tarnwell::WindowModuleFunctions*
tarnwell_window_module() {
  static const tarnwell::WindowModuleFunctions functions{tarnwell::kWindowModuleInterface,
                                                         &runWindow, &showResultsBox};
  return &functions;
}
