#include "app/Program.h"

#ifdef TARNWELL_WITH_UI
#include "ui/Window.h"
#endif

int main(int argc, char** argv) {
  tarnwell::ProgramHooks hooks;
#ifdef TARNWELL_WITH_UI
  hooks.runWindow = tarnwell::ui::runMainWindow;
  hooks.showResultsBox = tarnwell::ui::showResultsBox;
#endif
  return tarnwell::runProgram(tarnwell::programArguments(argc, argv), hooks);
}
