#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ocr/PageText.h"
#include "pdfout/pdf/pdf_file_id.h"
#include "pdfout/pdf/pdf_metadata.h"

namespace tarnwell {

class PdfSink;

// Results of the PDF writer.
enum class T2pResult : int {
  kWritten = 0,
  kFailed = 1,  // the reason is the first error the writer or libtiff reported
};

// What a result of the writer means, in a few words.
const char* t2pResultText(T2pResult result);

// What the caller chose for one conversion.
struct T2pOptions {
  // Largest single allocation; 0: the default limit, lowered further for a small file.
  uint64_t allocationLimit = 0;
  // A replacement for the file sink (tests): it must create the file at the path, which is
  // removed again when the conversion fails, unless the sink says it leaves the destination
  // alone.
  std::function<std::unique_ptr<PdfSink>(const std::string& path)> openSink;
  // Recognised text of the TIFF's directories, by directory index: each recognised page gets an
  // invisible text layer over its image. The image objects stay exactly as without it.
  const std::vector<ocr::PageText>* pageText = nullptr;
  // The file identifier is drawn from the writer's own generator (the classic one, started
  // afresh), positioned after this many values. A batch gives each file the position it would
  // have if every file before it had drawn its identifier in turn, so a file's PDF does not
  // depend on which worker writes it.
  unsigned long long identifierPosition = 0;
  // PDF/A-1b (ISO 19005-1, level B) instead of the plain PDF, with the caller's metadata. Without
  // it the metadata is not used and the bytes are those of the plain PDF.
  bool pdfa = false;
  PdfMetadata metadata;
};

// What a conversion gave: the result and, on failure, why (the first error reported during the
// call, or the result's own text when there was none). `notes` are sentences for the user on
// what an archival PDF changed from the plain one (a CMYK page made RGB, a transfer function
// left out); the caller shows them on standard error.
struct T2pOutcome {
  T2pResult result = T2pResult::kFailed;
  std::string reason;
  std::vector<std::string> notes;
};

// Writes a PDF with one page per TIFF directory. The PDF is written to a staged file beside the
// output path and renamed over it once complete and on the disk, so a failed or interrupted
// conversion leaves the output path as it was (an earlier file there stays, no new one appears).
// An empty output path gives the input's path with the suffix ".pdf".
[[nodiscard]] T2pOutcome t2p_convert_file(const std::string& inputPath,
                                          const std::string& outputPath,
                                          const T2pOptions& options = {});

}  // namespace tarnwell
