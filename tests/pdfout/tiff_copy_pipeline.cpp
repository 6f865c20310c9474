#include "tiff_copy_pipeline.h"

#include "pdfout/pdf/t2p.h"
#include "pdfout/copy/tiff_copy.h"
#include "support/Ghostscript.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"

namespace tarnwell::copytest {

PipelineResult convertAndCompare(const std::string& source, int compressionChoice,
                                 const std::string& workDir) {
  PipelineResult result;
  const std::string ready = workDir + "/ready.tif", pdf = workDir + "/out.pdf";
  TiffCopyOptions options;
  options.compression = compressionChoice;
  result.copyResult = tiff_copy_file({source, ready, options}).result;
  if (result.copyResult != TiffCopyResult::kCopied) {
    result.problems = "copy failed: " + std::string(tiffCopyResultText(result.copyResult));
    return result;
  }
  result.pdfResult = static_cast<int>(t2p_convert_file(ready, pdf).result);
  if (result.pdfResult != 0) {
    result.problems = "PDF writer failed";
    return result;
  }
  std::string qpdfOutput;
  if (!test::qpdfCheck(pdf, &qpdfOutput))
    result.problems += "qpdf --check: " + qpdfOutput + "\n";
  const std::string xref = test::xrefProblems(test::readText(pdf));
  if (!xref.empty()) result.problems += "xref: " + xref + "\n";

  const test::PageComparison pages = test::comparePdfWithTiff(pdf, ready);
  result.problems += pages.problems;
  result.pages = pages.pages;
  return result;
}

}  // namespace tarnwell::copytest
