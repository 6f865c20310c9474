#pragma once

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/FileConversion.h"
#include "platform/Platform.h"

namespace tarnwell::test {

// Pipeline stages that record their calls and succeed or fail as told. The PDF stage writes a
// small file at the destination when it succeeds.
class FakeStages : public ConversionStages {
 public:
  EngineOutcome engineOutcome = EngineOutcome::kConverted;
  TiffCopyResult copyResult = TiffCopyResult::kCopied;
  T2pResult pdfResult = T2pResult::kWritten;
  bool throwInEngine = false;
  std::function<void()> duringPdf;  // runs inside the PDF stage
  std::vector<LeftOutPage> leftOut;  // the pages the engine reports as left out

  mutable std::vector<std::string> calls;
  mutable EngineSetup engineSetup;
  mutable TiffCopyRequest copyRequest;

  EngineRun runEngine(const EngineSetup& setup, const std::string& source, FaxFormat,
                      const std::string& intermediate) const override {
    calls.push_back("engine " + source + " -> " + intermediate);
    engineSetup = setup;
    if (throwInEngine) throw std::runtime_error("engine broke");
    return {engineOutcome, {}, leftOut, {}};
  }
  TiffCopyOutcome copyTiff(const TiffCopyRequest& request) const override {
    calls.push_back("copy " + request.source + " -> " + request.output);
    copyRequest = request;
    return {copyResult, {}};
  }
  PdfRun writePdf(const std::string& tiff, const std::string& pdf,
                  const T2pOptions&) const override {
    calls.push_back("pdf " + tiff + " -> " + pdf);
    if (duringPdf) duringPdf();
    if (pdfResult == T2pResult::kWritten) std::ofstream(pdf, std::ios::binary) << "%PDF-1.1\n";
    return {pdfResult, {}, {}};
  }
};

}  // namespace tarnwell::test
