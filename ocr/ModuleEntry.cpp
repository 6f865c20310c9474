#include "ocr/Module.h"

// The one symbol the module exports; everything else in it stays hidden.
extern "C" __attribute__((visibility("default"))) const tarnwell::ocr::ModuleFunctions*
tarnwell_ocr_module() {
  static const tarnwell::ocr::ModuleFunctions functions{tarnwell::ocr::kModuleInterface,
                                                        &tarnwell::ocr::recognizePages};
  return &functions;
}
