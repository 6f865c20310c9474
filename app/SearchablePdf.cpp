#include "app/SearchablePdf.h"

#include <ostream>
#include <vector>

#include "app/ProgramModules.h"
#include "ocr/Module.h"
#include "pdfout/page_bitmaps.h"
#include "pdfout/pdf/pdf_file_id.h"
#include "pdfout/pdf/t2p.h"
#include "platform/Platform.h"

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

int writeSearchablePdf(const std::string& tiff, const std::string& pdf,
                       const std::string& languages, std::ostream& err, unsigned threads,
                       std::string* failureReason) {
  std::vector<ocr::PageText> text;
  try {
    TiffPageBitmaps pages;
    if (pages.open(tiff)) {
      const LoadedRecognizer& recognizer = loadedRecognizer();
      const ocr::PageLoader load = [&pages](std::size_t index, ocr::PageBitmap& bitmap) {
        return pages.load(index, bitmap);
      };
      ocr::RecognitionResult result;
      if (recognizer.recognizePages != nullptr)
        result = recognizer.recognizePages(pages.directoryCount(), load, languages, threads);
      else
        result.problem = recognizer.problem;
      if (!result.problem.empty())
        err << "tarnwell: " << result.problem << "; " << pdf << " is written without text"
            << std::endl;
      text = std::move(result.pages);
    }
  } catch (...) {
    // Out of memory around the recognition: the PDF is still written, without text.
    text.clear();
  }
  T2pOptions options;
  options.pageText = &text;
  // Until the batch passes each file's identifier position in its request, the position is
  // where the batch left this thread's generator, moved on after a written PDF.
  options.identifierPosition = platform::threadRandPosition();
  T2pOutcome outcome = t2p_convert_file(tiff, pdf, options);
  if (outcome.result == T2pResult::kWritten)
    platform::setThreadRandPosition(options.identifierPosition + kPdfIdRandomValues);
  if (failureReason != nullptr && outcome.result != T2pResult::kWritten)
    *failureReason = std::move(outcome.reason);
  return static_cast<int>(outcome.result);
}

}  // namespace tarnwell
