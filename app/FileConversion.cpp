#include "app/FileConversion.h"

#include <iostream>
#include <optional>

#include "app/SearchablePdf.h"
#include "faxin/FaxConverter.h"
#include "faxin/FaxResult.h"
#include "faxin/FormatClassifier.h"
#include "pdfout/pdf/pdf_file_id.h"
#include "pdfout/pdf/t2p.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

// Compression choices of the TIFF copy step.
constexpr int32_t kCopyKeepCompression = -1;
constexpr int32_t kCopyGroup4 = 6;

// Until the batch passes each file's identifier position in its request, the position is where
// the batch left this thread's generator, moved on past the identifier's values after a written
// PDF as the writer itself once did.
int writePdfFromThreadPosition(const std::string& tiff, const std::string& pdf,
                               std::string& reason) {
  T2pOptions options;
  options.identifierPosition = platform::threadRandPosition();
  T2pOutcome outcome = t2p_convert_file(tiff, pdf, options);
  if (outcome.result == T2pResult::kWritten)
    platform::setThreadRandPosition(options.identifierPosition + kPdfIdRandomValues);
  if (outcome.result != T2pResult::kWritten) reason = std::move(outcome.reason);
  return static_cast<int>(outcome.result);
}

class RealStages final : public ConversionStages {
 public:
  EngineOutcome runEngine(const EngineSetup& setup, const std::string& source,
                          FaxFormat format, const std::string& intermediateTiff) const override {
    std::vector<LeftOutPage> leftOut;
    return runEngineNotingPages(setup, source, format, intermediateTiff, leftOut);
  }
  EngineOutcome runEngineNotingPages(const EngineSetup& setup, const std::string& source,
                                     FaxFormat format, const std::string& intermediateTiff,
                                     std::vector<LeftOutPage>& leftOut) const override {
    std::string reason;
    return runEngineGivingReason(setup, source, format, intermediateTiff, leftOut, reason);
  }
  EngineOutcome runEngineGivingReason(const EngineSetup& setup, const std::string& source,
                                      FaxFormat format, const std::string& intermediateTiff,
                                      std::vector<LeftOutPage>& leftOut,
                                      std::string& reason) const override {
    std::vector<bool> wholeGroup4;
    return runEngineMarkingPages(setup, source, format, intermediateTiff, leftOut, reason,
                                 wholeGroup4);
  }
  EngineOutcome runEngineMarkingPages(const EngineSetup& setup, const std::string& source,
                                      FaxFormat format, const std::string& intermediateTiff,
                                      std::vector<LeftOutPage>& leftOut, std::string& reason,
                                      std::vector<bool>& wholeGroup4) const override {
    wholeGroup4.clear();
    FaxConverter converter(setup);
    // An unopened file simply has no pages.
    const int opened = converter.open(source, format);
    if (!converter.hasPages()) {
      reason = opened == FaxConverter::kCannotOpen ? faxResultText(opened)
                                                   : "no fax page found in the file";
      return EngineOutcome::kNoPages;
    }
    const int converted = converter.convert(intermediateTiff, format);
    const std::vector<LeftOutPage> pages = converter.leftOutPages();
    leftOut.insert(leftOut.end(), pages.begin(), pages.end());
    if (converted == 0) {
      wholeGroup4 = converter.wholeGroup4Pages();
      return EngineOutcome::kConverted;
    }
    reason = faxResultText(converted);
    return EngineOutcome::kWriteFailed;
  }
  int copyTiff(const std::string& source, const std::string& output,
               const TiffCopyOptions& options, int32_t compression) const override {
    return tiff_copy_file(source, output, options, compression);
  }
  int copyTiffGivingReason(const std::string& source, const std::string& output,
                           const TiffCopyOptions& options, int32_t compression,
                           std::string& reason) const override {
    return tiff_copy_file(source, output, options, compression, reason);
  }
  int copyEngineTiff(const std::string& source, const std::string& output,
                     const TiffCopyOptions& options, int32_t compression,
                     const std::vector<bool>& wholeGroup4, std::string& reason) const override {
    return tiff_copy_file(source, output, options, compression, wholeGroup4, reason);
  }
  int writePdf(const std::string& tiff, const std::string& pdf, int /*compression*/) const override {
    std::string reason;
    return writePdfFromThreadPosition(tiff, pdf, reason);
  }
  int writeSearchablePdf(const std::string& tiff, const std::string& pdf,
                         const std::string& languages) const override {
    return tarnwell::writeSearchablePdf(tiff, pdf, languages, std::cerr);
  }
  int writePdfGivingReason(const std::string& tiff, const std::string& pdf, int /*compression*/,
                           std::string& reason) const override {
    return writePdfFromThreadPosition(tiff, pdf, reason);
  }
  int writeSearchablePdfGivingReason(const std::string& tiff, const std::string& pdf,
                                     const std::string& languages,
                                     std::string& reason) const override {
    return tarnwell::writeSearchablePdf(tiff, pdf, languages, std::cerr, 0, &reason);
  }
};

std::string failure(const std::string& source, const char* reason) {
  return "Failed : " + source + " - " + reason + "\r\n";
}

// The line a failed file gets on standard error (without the program's name): the stage's own
// reason when it gave one, otherwise `fallback`. Out of memory, the line is left out.
void noteFailure(ConversionJob& job, const std::string& source, const std::string& reason,
                 const char* fallback) noexcept {
  try {
    job.failures.push_back(source + ": " + (reason.empty() ? std::string(fallback) : reason));
  } catch (...) {
  }
}

// One conversion's hold on its working files: the working directory checked (and made again
// when it went away), the lock of its files taken, and at the end every working file and the
// lock removed, whatever the outcome.
class WorkingFilesHold {
 public:
  explicit WorkingFilesHold(const WorkingPaths& paths) : paths_(paths) {
    // A process of this user that ends removes the empty private directory; one that was
    // about to lock a file in it makes the directory again.
    for (int attempt = 0; attempt < 5 && !held(); ++attempt) {
      if (!prepareWorkDirectory(paths)) break;
      lock_.emplace(paths.lockFilePath);
      if (!lock_->locked()) lock_.reset();
    }
  }
  ~WorkingFilesHold() {
    if (!held()) return;
    try {
      removeConversionFiles(paths_);
    } catch (...) {
      // Out of memory while listing the directory: what is left goes with the next conversion
      // or at exit.
    }
    lock_->removeLockFile();
  }
  WorkingFilesHold(const WorkingFilesHold&) = delete;
  WorkingFilesHold& operator=(const WorkingFilesHold&) = delete;

  bool held() const { return lock_.has_value(); }

 private:
  const WorkingPaths& paths_;
  std::optional<platform::FileLock> lock_;
};

// The stages proper, run under the caller's catch-all handler. Returns the report ending and
// whether the PDF was written.
bool runStages(ConversionJob& job, const std::string& source, const std::string& destination,
               const ConversionSettings& settings, const WorkingPaths& paths,
               const ConversionStages& stages, std::string& ending) {
  const FaxFormat format = classifyFile(source);
  const bool tiffSource = format == FaxFormat::kTiff;

  // A missing, unreadable or special source (a directory, a pipe, a device) never reaches a
  // stage, where opening it could block; it gets the ending its stage would have given.
  if (!platform::isReadableFile(source)) {
    ending = failure(source, tiffSource ? "Error in prearing to pdf conversion" : "Not Fax");
    noteFailure(job, source, {}, "not a readable regular file");
    return false;
  }
  // Writing the PDF over the source itself would destroy the source.
  if (platform::sameFile(source, destination)) {
    ending = failure(source, "Error in converting to pdf");
    noteFailure(job, source, {}, "the destination is the source file itself");
    return false;
  }

  const WorkingFilesHold hold(paths);
  if (!hold.held()) {
    std::cerr << "tarnwell: the working directory " << paths.workDirectory
              << " is missing or not private to this user; nothing is written into it\n";
    ending = failure(source, tiffSource ? "Error in prearing to pdf conversion" : "Error Fax");
    noteFailure(job, source, {}, "no private working directory");
    return false;
  }

  std::string reason;
  if (tiffSource) {
    if (stages.copyTiffGivingReason(source, paths.pdfReadyTiffPath, job.copyOptions,
                                    kCopyKeepCompression, reason) != 0) {
      ending = failure(source, "Error in prearing to pdf conversion");
      noteFailure(job, source, reason, "the TIFF copy failed");
      return false;
    }
  } else {
    // The engine works on its own copy of the settings, with this conversion's working files.
    const EngineSetup engineSetup{settings.engine, paths.engineFiles, std::nullopt};
    // The intermediate TIFF has a fixed name: remove what an earlier, interrupted process left
    // there, so a run that writes no intermediate TIFF (one file per page, or a failed write)
    // can never turn another file's pages into this file's PDF.
    (void)platform::removeFile(paths.intermediateTiffPath);
    std::vector<LeftOutPage> leftOut;
    std::vector<bool> wholeGroup4;
    const EngineOutcome outcome = stages.runEngineMarkingPages(
        engineSetup, source, format, paths.intermediateTiffPath, leftOut, reason, wholeGroup4);
    for (const LeftOutPage& page : leftOut) {
      job.leftOutPages.push_back(source + ": " + leftOutText(page));
    }
    switch (outcome) {
      case EngineOutcome::kNoPages:
        ending = failure(source, "Not Fax");
        noteFailure(job, source, reason, "no fax page found in the file");
        return false;
      case EngineOutcome::kWriteFailed:
        ending = failure(source, "Error Fax");
        noteFailure(job, source, reason, "the fax pages cannot be written");
        return false;
      case EngineOutcome::kConverted:
        break;
    }
    if (stages.copyEngineTiff(paths.intermediateTiffPath, paths.pdfReadyTiffPath,
                              job.copyOptions, kCopyGroup4, wholeGroup4, reason) != 0) {
      ending = failure(source, "Error in prearing to pdf conversion");
      noteFailure(job, source, reason, "the TIFF copy failed");
      return false;
    }
  }
  const int written =
      settings.searchableText
          ? stages.writeSearchablePdfGivingReason(paths.pdfReadyTiffPath, destination,
                                                  settings.textLanguages, reason)
          : stages.writePdfGivingReason(paths.pdfReadyTiffPath, destination, 0, reason);
  if (written != 0) {
    ending = failure(source, "Error in converting to pdf");
    noteFailure(job, source, reason, "the PDF cannot be written");
    return false;
  }
  ending = "Success !\r\n";
  return true;
}

}  // namespace

const ConversionStages& pipelineStages() {
  static const RealStages stages;
  return stages;
}

bool convertFile(ConversionJob& job, const std::string& source, const std::string& destination,
                 const ConversionSettings& settings, const WorkingPaths& paths,
                 const ConversionStages& stages) {
  try {
    job.logText += source + " --> " + destination + " : ";

    const auto lastSep = destination.rfind(kSep);
    if (lastSep != std::string::npos) {
      // A destination directly under the root keeps the root as its directory.
      const std::string directory = destination.substr(0, lastSep == 0 ? 1 : lastSep);
      if (!ensureDirectory(job, directory)) {
        job.logText += "Failed to create save dir : " + directory + "\r\n";
        noteFailure(job, source, {}, "the destination directory cannot be made");
        return false;
      }
    }

    std::string ending;
    bool converted = false;
    try {
      converted = runStages(job, source, destination, settings, paths, stages, ending);
    } catch (...) {
      job.logText += "Exception : Failed in FAX to PDF conversion\r\n";
      noteFailure(job, source, {}, "out of memory or an unexpected fault");
      return false;
    }
    job.logText += ending;
    if (!converted) return false;
    if (!job.keepFileTime) return true;
    if (!platform::isReadableFile(source)) return false;
    return copyFileTimes(job, source, destination);
  } catch (...) {
    // Only running out of memory while building the report line gets here.
    try {
      job.logText += "Exception : Failed in FAX to PDF conversion\r\n";
    } catch (...) {
    }
    return false;
  }
}

int ensureDirectory(ConversionJob& job, const std::string& directory) {
  if (directory.empty()) return 0;
  if (platform::isDirectory(directory)) return 1;
  const auto lastSep = directory.rfind(kSep);
  if (lastSep != std::string::npos && lastSep > 0)
    (void)ensureDirectory(job, directory.substr(0, lastSep));
  // Another process may create it at the same moment; what counts is that it exists now.
  return platform::createDirectory(directory) || platform::isDirectory(directory) ? 1 : 0;
}

bool copyFileTimes(ConversionJob&, const std::string& source, const std::string& destination) {
  platform::FileTimes times;
  if (!platform::getFileTimes(source, times)) return false;
  if (!platform::isRegularFile(destination)) return false;
  return platform::setFileTimes(destination, times);
}

}  // namespace tarnwell
