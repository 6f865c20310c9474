#pragma once

#include <string>
#include <vector>

#include "app/ConversionJob.h"
#include "app/ConversionSettings.h"
#include "app/FileReport.h"
#include "faxin/EngineSettings.h"
#include "faxin/FaxFormat.h"
#include "faxin/LeftOutPage.h"
#include "pdfout/copy/tiff_copy.h"

namespace tarnwell {

// Outcome of the fax engine for one file.
enum class EngineOutcome { kConverted, kNoPages, kWriteFailed };

// The three stages of the pipeline. The program uses the real engine, TIFF copy and PDF
// writer (pipelineStages()); tests put their own stages in to reach every outcome.
class ConversionStages {
 public:
  virtual ~ConversionStages() = default;
  // Opens the source with the reader of its code and writes every page into the intermediate
  // TIFF, working on its own copy of the setup.
  virtual EngineOutcome runEngine(const EngineSetup& setup, const std::string& source,
                                  FaxFormat format, const std::string& intermediateTiff) const = 0;
  // As runEngine, and adds the pages the engine left out while writing the others to `leftOut`.
  // Stages that leave no page out need not provide it.
  virtual EngineOutcome runEngineNotingPages(const EngineSetup& setup,
                                             const std::string& source, FaxFormat format,
                                             const std::string& intermediateTiff,
                                             std::vector<LeftOutPage>& leftOut) const {
    (void)leftOut;
    return runEngine(setup, source, format, intermediateTiff);
  }
  // The same, and on failure says why in `reason`; stages that cannot tell leave it empty.
  virtual EngineOutcome runEngineGivingReason(const EngineSetup& setup,
                                              const std::string& source, FaxFormat format,
                                              const std::string& intermediateTiff,
                                              std::vector<LeftOutPage>& leftOut,
                                              std::string& reason) const {
    (void)reason;
    return runEngineNotingPages(setup, source, format, intermediateTiff, leftOut);
  }
  // As runEngineGivingReason, and sets `wholeGroup4` to tell, for each page of the intermediate
  // TIFF in order, whether its strip is Group 4 known to decode whole: coded by the engine
  // itself from decoded rows, or copied from the source and checked by the engine.
  // Stages that cannot tell leave it empty, and the copy then checks every page.
  virtual EngineOutcome runEngineMarkingPages(const EngineSetup& setup, const std::string& source,
                                              FaxFormat format, const std::string& intermediateTiff,
                                              std::vector<LeftOutPage>& leftOut,
                                              std::string& reason,
                                              std::vector<bool>& wholeGroup4) const {
    wholeGroup4.clear();
    return runEngineGivingReason(setup, source, format, intermediateTiff, leftOut, reason);
  }
  // 0 on success. `compression` is the compression choice of this copy (tiff_copy_file).
  virtual int copyTiff(const std::string& source, const std::string& output,
                       const TiffCopyOptions& options, int32_t compression) const = 0;
  // The same, and on failure says why in `reason`; stages that cannot tell leave it empty.
  virtual int copyTiffGivingReason(const std::string& source, const std::string& output,
                                   const TiffCopyOptions& options, int32_t compression,
                                   std::string& reason) const {
    (void)reason;
    return copyTiff(source, output, options, compression);
  }
  // The copy of the engine's intermediate TIFF: as copyTiffGivingReason, where the pages marked
  // in `wholeGroup4` hold Group 4 strips known to decode whole.
  virtual int copyEngineTiff(const std::string& source, const std::string& output,
                             const TiffCopyOptions& options, int32_t compression,
                             const std::vector<bool>& wholeGroup4, std::string& reason) const {
    (void)wholeGroup4;
    return copyTiffGivingReason(source, output, options, compression, reason);
  }
  // 0 on success; on failure the writer leaves no output file.
  virtual int writePdf(const std::string& tiff, const std::string& pdf, int compression) const = 0;
  // The same with an invisible layer of the text recognised in `languages`; a page or a file
  // that cannot be recognised is written without text. Stages without recognition write the
  // plain PDF.
  virtual int writeSearchablePdf(const std::string& tiff, const std::string& pdf,
                                 const std::string& languages) const {
    (void)languages;
    return writePdf(tiff, pdf, 0);
  }
  // The two writers again, saying on failure why in `reason`.
  virtual int writePdfGivingReason(const std::string& tiff, const std::string& pdf,
                                   int compression, std::string& reason) const {
    (void)reason;
    return writePdf(tiff, pdf, compression);
  }
  virtual int writeSearchablePdfGivingReason(const std::string& tiff, const std::string& pdf,
                                             const std::string& languages,
                                             std::string& reason) const {
    (void)reason;
    return writeSearchablePdf(tiff, pdf, languages);
  }
};

// The real stages: FaxConverter, tiff_copy_file and t2p_convert_file.
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
