#include "pdfout/pdf/t2p.h"

#include <tiffio.h>

#include <algorithm>
#include <new>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_document.h"
#include "pdfout/pdf/t2p_messages.h"
#include "pdfout/pdf/t2p_sink.h"
#include "pdfout/tiffio/messages.h"
#include "pdfout/tiffio/tiff_io.h"
#include "platform/Platform.h"

namespace tarnwell {
namespace {

std::string defaultOutputPath(const std::string& inputPath) {
  const size_t dot = inputPath.rfind('.');
  if (dot == std::string::npos) return inputPath + ".pdf";
  return inputPath.substr(0, dot) + ".pdf";
}

// Removes the partial output. Only regular files are removed: a device such as /dev/full
// given as destination is left alone.
void removeOutput(const std::string& path) {
  if (path != "-" && platform::isRegularFile(path)) platform::removeFile(path);
}

bool convert(const std::string& inputPath, const std::string& output, const T2pOptions& options,
             bool& created, std::vector<std::string>& notes) {
  std::unique_ptr<t2p_context> ctx = t2p_init();
  if (!ctx) {
    t2pError("Can't initialize context");
    return false;
  }
  if (options.allocationLimit != 0) ctx->options.allocationLimit = options.allocationLimit;
  ctx->options.pageText = options.pageText;
  ctx->options.identifierPosition = options.identifierPosition;
  ctx->options.pdfa = options.pdfa;
  if (options.pdfa) ctx->options.metadata = options.metadata;
  std::unique_ptr<PdfSink> sink = options.openSink
                                      ? options.openSink(output)
                                      : std::unique_ptr<PdfSink>(FileSink::open(output));
  if (!sink) {
    t2pError("Can't open output file %s for writing", output.c_str());
    return false;
  }
  created = true;
  bool ok = false;
  if (inputPath.empty()) {
    t2pError("No input file specified");
  } else {
    // "m": plain reads instead of a mapping of the whole file, so memory stays one page's worth.
    // Its buffers are bounded by what the file's bytes could hold.
    TiffHandle input = openWithBudget(inputPath.c_str(), "rm");
    if (input && options.allocationLimit == 0)
      ctx->options.allocationLimit =
          std::min(ctx->options.allocationLimit, pageBufferBudget(input.get()));
    if (!input) {
      t2pError("Can't open input file %s for reading", inputPath.c_str());
    } else {
      t2p_write_pdf(*ctx, input.get(), *sink);
      notes = std::move(ctx->doc.notes);
      if (ctx->doc.error == 0 && (!sink->finish() || !sink->commit())) {
        t2pError("Can't write to output file %s", output.c_str());
        ctx->doc.error = 1;
      }
      if (ctx->doc.error != 0) {
        t2pError("An error occurred in converting TIFF %s to PDF %s", inputPath.c_str(),
                 output.c_str());
      } else {
        ok = true;
      }
    }
  }
  if (ok) return true;
  sink->finish();
  const bool destinationUntouched = sink->leavesDestinationOnFailure();
  sink.reset();
  if (!destinationUntouched) removeOutput(output);
  return false;
}

}  // namespace

const char* t2pResultText(T2pResult result) {
  return result == T2pResult::kWritten ? "written" : "the PDF cannot be written";
}

T2pOutcome t2p_convert_file(const std::string& inputPath, const std::string& outputPath,
                            const T2pOptions& options) {
  const CallMessages messages;
  bool created = false;
  std::string output;
  T2pOutcome outcome;
  try {
    output = outputPath.empty() ? defaultOutputPath(inputPath) : outputPath;
    if (convert(inputPath, output, options, created, outcome.notes))
      outcome.result = T2pResult::kWritten;
  } catch (const std::exception&) {
    // Out of memory outside the guarded allocations: fail without leaving a partial file. The
    // own file sink has already removed its staged file and left the destination alone.
    if (created && options.openSink) removeOutput(output);
  }
  if (outcome.result != T2pResult::kWritten) {
    try {
      outcome.reason =
          messages.firstError().empty() ? t2pResultText(outcome.result) : messages.firstError();
    } catch (...) {
      // Out of memory: the reason stays empty and the caller gives its own words.
    }
  }
  return outcome;
}

}  // namespace tarnwell
