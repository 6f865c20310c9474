#include "app/Program.h"

#include <exception>
#include <iostream>
#include <new>

#include "app/CommandLine.h"
#include "app/ConversionLog.h"
#include "app/ConversionSettings.h"
#include "app/DirectoryBatch.h"
#include "app/FileConversion.h"
#include "pdfout/messages.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

// Removes the per-process working files however runProgram is left.
class WorkingFileCleanup {
 public:
  ~WorkingFileCleanup() { removeWorkingFiles(processPaths()); }
};

int windowRoad(ConversionJob& job, const ProgramHooks& hooks) {
  const bool display = platform::hasDisplay();
  if (hooks.runWindow && display)
    return hooks.runWindow(job, processSettings(), processPaths());
  std::cerr << (display ? "tarnwell: built without its window, the window cannot be created\n"
                        : "tarnwell: no display available, the window cannot be created\n");
  return 0;
}

void commandLineRoad(ConversionJob& job, const ProgramHooks& hooks) {
  std::string logName;
  if (job.mode == kModeDirectory) {
    std::cout << "Please Wait...\n" << std::flush;
    job.fileList.clear();
    collectFiles(job, job.sourcePath, job.includeSubdirectories != 0);
    (void)convertFileList(job);
  } else {
    job.logText = "\r\n\r\n";
    (void)convertFile(job, job.sourcePath, job.destinationPath);
    logName = kSingleFileLogName;
  }
  (void)writeLog(logName, job.logText);
  if (job.quiet) return;
  if (platform::hasDisplay() && hooks.showResultsBox && hooks.showResultsBox(job.logText)) return;
  showResults(job.logText, std::cout);
}

}  // namespace

int runProgram(const std::string& commandLine, const ProgramHooks& hooks) {
  try {
    silenceTiffMessages();
    initialiseProcessState();
    WorkingFileCleanup cleanup;
    ConversionJob job;
    processSettings().splitPages = 0;
    if (parseCommandLine(job, processSettings(), commandLine) != 0) return windowRoad(job, hooks);
    commandLineRoad(job, hooks);
    return 0;
  } catch (const std::bad_alloc&) {
    std::cerr << "tarnwell: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "tarnwell: " << e.what() << '\n';
  }
  return 1;
}

std::string argumentText(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

}  // namespace tarnwell
