#include "app/Program.h"

#ifdef TARNWELL_WITH_UI
#include "app/WindowModule.h"
#endif

int main(int argc, char** argv) {
  tarnwell::ProgramHooks hooks;
#ifdef TARNWELL_WITH_UI
  hooks = tarnwell::windowModuleHooks();
#endif
  return tarnwell::runProgram(tarnwell::programArguments(argc, argv), hooks);
}
