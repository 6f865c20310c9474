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
  int copyResult = 0;
  int pdfResult = 0;
  bool throwInEngine = false;
  std::function<void()> duringPdf;  // runs inside the PDF stage
  std::vector<LeftOutPage> leftOut;  // the pages the engine reports as left out

  mutable std::vector<std::string> calls;
  mutable EngineSetup engineSetup;
  mutable TiffCopyOptions copyOptions;
  mutable int32_t copyCompression = 0;

  EngineOutcome runEngine(const EngineSetup& setup, const std::string& source, FaxFormat,
                          const std::string& intermediate) const override {
    calls.push_back("engine " + source + " -> " + intermediate);
    engineSetup = setup;
    if (throwInEngine) throw std::runtime_error("engine broke");
    return engineOutcome;
  }
  EngineOutcome runEngineNotingPages(const EngineSetup& setup, const std::string& source,
                                     FaxFormat format, const std::string& intermediate,
                                     std::vector<LeftOutPage>& pages) const override {
    const EngineOutcome outcome = runEngine(setup, source, format, intermediate);
    pages.insert(pages.end(), leftOut.begin(), leftOut.end());
    return outcome;
  }
  int copyTiff(const std::string& source, const std::string& output,
               const TiffCopyOptions& options, int32_t compression) const override {
    calls.push_back("copy " + source + " -> " + output);
    copyOptions = options;
    copyCompression = compression;
    return copyResult;
  }
  int writePdf(const std::string& tiff, const std::string& pdf, int compression) const override {
    calls.push_back("pdf " + tiff + " -> " + pdf + " " + std::to_string(compression));
    if (duringPdf) duringPdf();
    if (pdfResult == 0) std::ofstream(pdf, std::ios::binary) << "%PDF-1.1\n";
    return pdfResult;
  }
};

}  // namespace tarnwell::test
