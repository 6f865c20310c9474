#pragma once

#include <string>
#include <vector>

#include "app/ConversionJob.h"
#include "app/ConversionSettings.h"
#include "app/FileReport.h"
#include "faxin/EngineSettings.h"
#include "faxin/FaxConverter.h"
#include "faxin/FaxFormat.h"
#include "ocr/Recognizer.h"
#include "pdfout/copy/tiff_copy.h"
#include "pdfout/pdf/t2p.h"

namespace tarnwell {

// What the PDF writer did, and on failure why (empty when the stage cannot tell).
struct PdfRun {
  T2pResult result = T2pResult::kFailed;
  std::string reason;
  // What an archival PDF changed from the plain one, for the user (a CMYK page made RGB).
  std::vector<std::string> notes;
};

// The stages of the pipeline, one call each. The program uses the real engine, TIFF copy, text
// recognition and PDF writer (pipelineStages()); tests put their own stages in to reach every
// outcome. A stage never changes anything but its output files and what it returns.
class ConversionStages {
 public:
  virtual ~ConversionStages() = default;
  // Opens the source with the reader of its code and writes every page into the intermediate
  // TIFF, working on its own copy of the setup (runFaxEngine).
  virtual EngineRun runEngine(const EngineSetup& setup, const std::string& source,
                              FaxFormat format, const std::string& intermediateTiff) const = 0;
  // Copies a TIFF (the engine's, or a TIFF source) into the PDF writer's input (tiff_copy_file).
  virtual TiffCopyOutcome copyTiff(const TiffCopyRequest& request) const = 0;
  // The text of each page of `tiff` recognised in `languages`; a page or a file that cannot be
  // recognised has none, and when recognition cannot start at all `problem` says why in one
  // line. Stages without recognition recognise nothing and report no problem.
  virtual ocr::RecognitionResult recognizeText(const std::string& tiff,
                                               const std::string& languages) const {
    (void)tiff;
    (void)languages;
    return {};
  }
  // Writes the PDF of `tiff` at `pdf` with the writer's options (options.pageText: the text
  // layer of each page, by directory; the stage reports the failure reason itself). On failure
  // the writer leaves no output file.
  virtual PdfRun writePdf(const std::string& tiff, const std::string& pdf,
                          const T2pOptions& options) const = 0;
};

// The real stages: FaxConverter, tiff_copy_file, the text recognition module and
// t2p_convert_file.
const ConversionStages& pipelineStages();

// One file of a run: where it comes from, where its PDF goes, and how many random values were
// drawn before its PDF's identifier (so a file's PDF does not depend on which thread converts it).
struct FileTask {
  std::string source;
  std::string destination;
  unsigned long long identifierPosition = 0;
};

// Converts one source file into one PDF and tells what became of it: exactly one report line,
// a line for each page the engine left out, and the reason when the file is not converted. The
// engine works on a copy of `settings`; the working files are those of `paths`.
[[nodiscard]] FileReport convertFile(const FileTask& task, const ConversionJob& job,
                                     const ConversionSettings& settings,
                                     const WorkingPaths& paths,
                                     const ConversionStages& stages = pipelineStages());

// Makes sure a directory exists, creating missing parent levels too. Non-zero when the
// directory exists afterwards. Never changes the current directory.
int ensureDirectory(const std::string& directory);

// Gives the destination the source's access and modification times.
bool copyFileTimes(const std::string& source, const std::string& destination);

}  // namespace tarnwell
