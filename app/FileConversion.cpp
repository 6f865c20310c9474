#include "app/FileConversion.h"

#include <iostream>
#include <optional>

#include "app/TextRecognition.h"
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

class RealStages final : public ConversionStages {
 public:
  EngineRun runEngine(const EngineSetup& setup, const std::string& source, FaxFormat format,
                      const std::string& intermediateTiff) const override {
    return runFaxEngine(setup, source, format, intermediateTiff);
  }
  TiffCopyOutcome copyTiff(const TiffCopyRequest& request) const override {
    return tiff_copy_file(request);
  }
  ocr::RecognitionResult recognizeText(const std::string& tiff,
                                       const std::string& languages) const override {
    return recognizeTiffText(tiff, languages);
  }
  PdfRun writePdf(const std::string& tiff, const std::string& pdf,
                  const T2pOptions& options) const override {
    T2pOutcome outcome = t2p_convert_file(tiff, pdf, options);
    return {outcome.result, std::move(outcome.reason), std::move(outcome.notes)};
  }
};

// The copy options of one copy: the run's, with this copy's compression choice.
TiffCopyOptions withCompression(TiffCopyOptions options, int32_t compression) {
  options.compression = compression;
  return options;
}

std::string failure(const std::string& source, const char* reason) {
  return "Failed : " + source + " - " + reason + "\r\n";
}

// The line a failed file gets on standard error (without the program's name): the stage's own
// reason when it gave one, otherwise `fallback`. Out of memory, the line is left out.
void noteFailure(FileReport& report, const std::string& source, const std::string& reason,
                 const char* fallback) noexcept {
  try {
    report.failures.push_back(source + ": " + (reason.empty() ? std::string(fallback) : reason));
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
bool runStages(FileReport& report, const ConversionJob& job, const FileTask& task,
               const ConversionSettings& settings, const WorkingPaths& paths,
               const ConversionStages& stages, std::string& ending) {
  const std::string& source = task.source;
  const std::string& destination = task.destination;
  const FaxFormat format = classifyFile(source);
  const bool tiffSource = format == FaxFormat::kTiff;

  // A missing, unreadable or special source (a directory, a pipe, a device) never reaches a
  // stage, where opening it could block; it gets the ending its stage would have given.
  if (!platform::isReadableFile(source)) {
    ending = failure(source, tiffSource ? "Error in prearing to pdf conversion" : "Not Fax");
    noteFailure(report, source, {}, "not a readable regular file");
    return false;
  }
  // Writing the PDF over the source itself would destroy the source.
  if (platform::sameFile(source, destination)) {
    ending = failure(source, "Error in converting to pdf");
    noteFailure(report, source, {}, "the destination is the source file itself");
    return false;
  }

  const WorkingFilesHold hold(paths);
  if (!hold.held()) {
    std::cerr << "tarnwell: the working directory " << paths.workDirectory
              << " is missing or not private to this user; nothing is written into it\n";
    ending = failure(source, tiffSource ? "Error in prearing to pdf conversion" : "Error Fax");
    noteFailure(report, source, {}, "no private working directory");
    return false;
  }

  if (tiffSource) {
    const TiffCopyOutcome copied =
        stages.copyTiff({source, paths.pdfReadyTiffPath,
                         withCompression(job.copyOptions, kCopyKeepCompression), {},
                         settings.checkHelpers});
    if (copied.result != TiffCopyResult::kCopied) {
      ending = failure(source, "Error in prearing to pdf conversion");
      noteFailure(report, source, copied.reason, "the TIFF copy failed");
      return false;
    }
  } else {
    // The engine works on its own copy of the settings, with this conversion's working files.
    const EngineSetup engineSetup{settings.engine, paths.engineFiles, std::nullopt,
                                  settings.checkHelpers};
    // The intermediate TIFF has a fixed name: remove what an earlier, interrupted process left
    // there, so a run that writes no intermediate TIFF (one file per page, or a failed write)
    // can never turn another file's pages into this file's PDF.
    (void)platform::removeFile(paths.intermediateTiffPath);
    EngineRun engine = stages.runEngine(engineSetup, source, format, paths.intermediateTiffPath);
    for (const LeftOutPage& page : engine.leftOut) {
      report.leftOutPages.push_back(source + ": " + leftOutText(page));
    }
    switch (engine.outcome) {
      case EngineOutcome::kNoPages:
        ending = failure(source, "Not Fax");
        noteFailure(report, source, engine.reason, "no fax page found in the file");
        return false;
      case EngineOutcome::kWriteFailed:
        ending = failure(source, "Error Fax");
        noteFailure(report, source, engine.reason, "the fax pages cannot be written");
        return false;
      case EngineOutcome::kConverted:
        break;
    }
    const TiffCopyOutcome copied =
        stages.copyTiff({paths.intermediateTiffPath, paths.pdfReadyTiffPath,
                         withCompression(job.copyOptions, kCopyGroup4),
                         std::move(engine.wholeGroup4), settings.checkHelpers});
    if (copied.result != TiffCopyResult::kCopied) {
      ending = failure(source, "Error in prearing to pdf conversion");
      noteFailure(report, source, copied.reason, "the TIFF copy failed");
      return false;
    }
  }
  // A searchable PDF gets the text recognised on the pages it is written from; when recognition
  // cannot start, the PDF is written without text and the user is told why.
  ocr::RecognitionResult text;
  T2pOptions writerOptions;
  writerOptions.identifierPosition = task.identifierPosition;
  if (settings.archival) {
    // The PDF/A metadata: the source's name, and the fax's date (a TIFF's own DateTime, else the
    // source file's modification time; the engine's TIFF carries only the time of the run).
    writerOptions.pdfa = true;
    writerOptions.metadata.title = source.substr(source.rfind(kSep) + 1);
    platform::FileTimes times;
    if (platform::getFileTimes(source, times)) {
      const PdfDate modified = pdfDateAt(times.modification.tv_sec);
      (tiffSource ? writerOptions.metadata.fileDate : writerOptions.metadata.createDate) = modified;
    }
  }
  if (settings.searchableText) {
    text = stages.recognizeText(paths.pdfReadyTiffPath, settings.textLanguages);
    if (!text.problem.empty())
      std::cerr << "tarnwell: " << text.problem << "; " << destination
                << " is written without text" << std::endl;
    writerOptions.pageText = &text.pages;
  }
  const PdfRun written = stages.writePdf(paths.pdfReadyTiffPath, destination, writerOptions);
  for (const std::string& note : written.notes)
    std::cerr << "tarnwell: " << source << ": " << note << std::endl;
  if (written.result != T2pResult::kWritten) {
    ending = failure(source, "Error in converting to pdf");
    noteFailure(report, source, written.reason, "the PDF cannot be written");
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

FileReport convertFile(const FileTask& task, const ConversionJob& job,
                       const ConversionSettings& settings, const WorkingPaths& paths,
                       const ConversionStages& stages) {
  FileReport report;
  const std::string& source = task.source;
  const std::string& destination = task.destination;
  try {
    report.reportLine = source + " --> " + destination + " : ";

    const auto lastSep = destination.rfind(kSep);
    if (lastSep != std::string::npos) {
      // A destination directly under the root keeps the root as its directory.
      const std::string directory = destination.substr(0, lastSep == 0 ? 1 : lastSep);
      if (!ensureDirectory(directory)) {
        report.reportLine += "Failed to create save dir : " + directory + "\r\n";
        noteFailure(report, source, {}, "the destination directory cannot be made");
        return report;
      }
    }

    std::string ending;
    bool converted = false;
    try {
      converted = runStages(report, job, task, settings, paths, stages, ending);
    } catch (...) {
      report.reportLine += "Exception : Failed in FAX to PDF conversion\r\n";
      noteFailure(report, source, {}, "out of memory or an unexpected fault");
      return report;
    }
    report.reportLine += ending;
    if (!converted) return report;
    if (job.keepFileTime &&
        (!platform::isReadableFile(source) || !copyFileTimes(source, destination)))
      return report;
    report.result = FileResult::kConverted;
    return report;
  } catch (...) {
    // Only running out of memory while building the report line gets here.
    try {
      report.reportLine += "Exception : Failed in FAX to PDF conversion\r\n";
    } catch (...) {
    }
    return report;
  }
}

int ensureDirectory(const std::string& directory) {
  if (directory.empty()) return 0;
  if (platform::isDirectory(directory)) return 1;
  const auto lastSep = directory.rfind(kSep);
  if (lastSep != std::string::npos && lastSep > 0)
    (void)ensureDirectory(directory.substr(0, lastSep));
  // Another process may create it at the same moment; what counts is that it exists now.
  return platform::createDirectory(directory) || platform::isDirectory(directory) ? 1 : 0;
}

bool copyFileTimes(const std::string& source, const std::string& destination) {
  platform::FileTimes times;
  if (!platform::getFileTimes(source, times)) return false;
  if (!platform::isRegularFile(destination)) return false;
  return platform::setFileTimes(destination, times);
}

}  // namespace tarnwell
