#include "app/Program.h"

int main(int argc, char** argv) {
  return tarnwell::runProgram(tarnwell::argumentText(argc, argv));
}
