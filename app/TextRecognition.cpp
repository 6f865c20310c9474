#include "app/TextRecognition.h"

#include <vector>

#include "app/ProgramModules.h"
#include "ocr/Module.h"
#include "pdfout/page_bitmaps.h"

namespace tarnwell {

namespace {

// The recognizer of the text recognition module, or why there is none.
struct LoadedRecognizer {
  decltype(ocr::ModuleFunctions::recognizePages) recognizePages = nullptr;
  std::string problem;
};

// The program does not link the recognizer and Tesseract, so that runs without searchable text
// start without them: the first conversion that asks for text loads the module, and every later
// one (on any worker thread) uses the same.
const LoadedRecognizer& loadedRecognizer() {
  static const LoadedRecognizer loaded = [] {
    LoadedRecognizer recognizer;
    std::string problem;
    if (void* entry = loadProgramModule(ocr::kModuleFile, ocr::kModuleEntry, problem)) {
      const ocr::ModuleFunctions* functions = reinterpret_cast<ocr::ModuleEntry>(entry)();
      if (functions != nullptr && functions->interfaceVersion == ocr::kModuleInterface &&
          functions->recognizePages != nullptr)
        recognizer.recognizePages = functions->recognizePages;
      else
        problem = std::string("the module ") + ocr::kModuleFile +
                  " was built for another version of the program";
    }
    if (recognizer.recognizePages == nullptr) recognizer.problem = "text recognition: " + problem;
    return recognizer;
  }();
  return loaded;
}

}  // namespace

ocr::RecognitionResult recognizeTiffText(const std::string& tiff,
                                         const std::string& languages) noexcept {
  ocr::RecognitionResult result;
  try {
    TiffPageBitmaps pages;
    if (!pages.open(tiff)) return result;
    const LoadedRecognizer& recognizer = loadedRecognizer();
    if (recognizer.recognizePages == nullptr) {
      result.problem = recognizer.problem;
      return result;
    }
    const ocr::PageLoader load = [&pages](std::size_t index, ocr::PageBitmap& bitmap) {
      return pages.load(index, bitmap);
    };
    result = recognizer.recognizePages(pages.directoryCount(), load, languages, 0);
  } catch (...) {
    // Out of memory around the recognition: no page has text, and nothing is said.
    result.pages.clear();
    result.problem.clear();
  }
  return result;
}

}  // namespace tarnwell
