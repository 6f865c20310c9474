#pragma once

// The PDF output road of the driver for tests: tiff_copy_file into a PDF-ready TIFF, then
// t2p_convert_file, then checks of the PDF (qpdf, cross-reference table) and a Ghostscript
// rendering of every page compared pixel by pixel with the TIFF it came from.

#include <string>

#include "pdfout/copy/tiff_copy.h"

namespace tarnwell::copytest {

struct PipelineResult {
  TiffCopyResult copyResult = TiffCopyResult::kCopied;
  int pdfResult = 0;
  int pages = 0;         // pages compared
  std::string problems;  // empty when the PDF is sound and every page matches
};

// Converts `source` with the given copy compression choice; work files go to `workDir`.
PipelineResult convertAndCompare(const std::string& source, int compressionChoice,
                                 const std::string& workDir);

}  // namespace tarnwell::copytest
