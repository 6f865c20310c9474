#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ocr/PageText.h"
#include "pdfout/pdf/pdf_file_id.h"

namespace tarnwell {

class PdfSink;

// Results of the PDF writer (the int t2p_convert_file returns).
enum class T2pResult : int {
  kWritten = 0,
  kFailed = 1,  // the reason is the first error the writer or libtiff reported
};

// What a result of the writer means, in a few words.
const char* t2pResultText(int result);

// Writes a PDF with one page per TIFF directory. compression: 0 default, 3 no compression.
// 0 on success, 1 on failure. The PDF is written to a staged file beside the output path and
// renamed over it once complete and on the disk, so a failed or interrupted conversion leaves
// the output path as it was (an earlier file there stays, no new one appears).
[[nodiscard]] int t2p_convert_file(const std::string& inputPath, const std::string& outputPath,
                                   int compression);

// Knobs for tests: a smaller allocation limit, and a replacement for the file sink (it must
// create the file at the path, which is removed again when the conversion fails, unless the
// sink says it leaves the destination alone).
struct T2pOptions {
  uint64_t allocationLimit = 0;  // 0: the default limit
  std::function<std::unique_ptr<PdfSink>(const std::string& path)> openSink;
  // Recognised text of the TIFF's directories, by directory index: each recognised page gets an
  // invisible text layer over its image. The image objects stay exactly as without it.
  const std::vector<ocr::PageText>* pageText = nullptr;
  // When set, receives on failure why: the first error reported during the call, or the
  // result's own text when there was none.
  std::string* failureReason = nullptr;
};
[[nodiscard]] int t2p_convert_file(const std::string& inputPath, const std::string& outputPath,
                                   int compression, const T2pOptions& options);

}  // namespace tarnwell
