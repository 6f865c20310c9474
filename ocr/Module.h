#pragma once

// The entry of the loadable text recognition module (tarnwell-ocr.so), which carries the
// recognizer and Tesseract, so that the program loads them only when a conversion asks for
// searchable text. The module and the program are built together from one tree: the types
// passing between them are the program's own.

#include "ocr/Recognizer.h"

namespace tarnwell::ocr {

// Raised whenever the table below or the types it passes change.
inline constexpr unsigned kModuleInterface = 1;
inline constexpr const char* kModuleFile = "tarnwell-ocr.so";
inline constexpr const char* kModuleEntry = "tarnwell_ocr_module";

struct ModuleFunctions {
  unsigned interfaceVersion = 0;  // kModuleInterface of the build that made the module
  RecognitionResult (*recognizePages)(std::size_t pageCount, const PageLoader& load,
                                      const std::string& languages, unsigned threads) noexcept =
      nullptr;
};

// The type of the module's one exported function, named kModuleEntry.
using ModuleEntry = const ModuleFunctions* (*)();

}  // namespace tarnwell::ocr
