#include "app/SearchablePdf.h"

#include <ostream>
#include <vector>

#include "ocr/Recognizer.h"
#include "pdfout/page_bitmaps.h"
#include "pdfout/pdf/t2p.h"

namespace tarnwell {

int writeSearchablePdf(const std::string& tiff, const std::string& pdf,
                       const std::string& languages, std::ostream& err, unsigned threads,
                       std::string* failureReason) {
  std::vector<ocr::PageText> text;
  try {
    TiffPageBitmaps pages;
    if (pages.open(tiff)) {
      const ocr::PageLoader load = [&pages](std::size_t index, ocr::PageBitmap& bitmap) {
        return pages.load(index, bitmap);
      };
      ocr::RecognitionResult result =
          ocr::recognizePages(pages.directoryCount(), load, languages, threads);
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
  options.failureReason = failureReason;
  return t2p_convert_file(tiff, pdf, 0, options);
}

}  // namespace tarnwell
