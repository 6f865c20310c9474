#include "app/Program.h"

#include <exception>
#include <iostream>
#include <new>

#include "app/CommandLine.h"
#include "app/ConversionLog.h"
#include "app/ConversionRequest.h"
#include "app/ConversionSettings.h"
#include "app/DirectoryBatch.h"
#include "app/FileConversion.h"
#include "app/Options.h"
#include "pdfout/tiffio/messages.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

#ifdef TARNWELL_VERSION
constexpr const char* kProgramVersion = TARNWELL_VERSION;
#else
constexpr const char* kProgramVersion = "unknown";
#endif

// Removes what is left of the working files, and the private directory when empty, however
// runProgram is left.
class WorkingFileCleanup {
 public:
  explicit WorkingFileCleanup(const WorkingPaths& paths) : paths_(paths) {}
  ~WorkingFileCleanup() { removeWorkingFiles(paths_); }
  WorkingFileCleanup(const WorkingFileCleanup&) = delete;
  WorkingFileCleanup& operator=(const WorkingFileCleanup&) = delete;

 private:
  const WorkingPaths& paths_;
};

int windowRoad(const ConversionRequest& request, const ProgramHooks& hooks) {
  const bool display = platform::hasDisplay();
  if (hooks.runWindow && display) return hooks.runWindow(request);
  std::cerr << (display ? "tarnwell: built without its window, the window cannot be created\n"
                        : "tarnwell: no display available, the window cannot be created\n");
  return kExitIncomplete;
}

// Converts the request; true when every file converted or was already PDF.
bool commandLineRoad(const ConversionRequest& request, const ProgramHooks& hooks) {
  const ConversionJob& job = request.job;
  RunReport report;
  std::string logName;
  bool allConverted = true;
  if (job.mode == kModeDirectory) {
    std::cout << "Please Wait...\n" << std::flush;
    std::vector<std::string> files;
    collectFiles(job, job.sourcePath, job.includeSubdirectories != 0, files);
    allConverted = convertDirectory(request, files, report).failed == 0;
  } else {
    report.logText = "\r\n\r\n";
    const FileReport file =
        convertFile({job.sourcePath, job.destinationPath}, job, request.settings, request.paths);
    report.add(file);
    allConverted = file.result != FileResult::kFailed;
    logName = kSingleFileLogName;
  }
  // Pages left out of a converted file do not change its report line; they are named here.
  for (const std::string& line : report.leftOutPages) std::cerr << "tarnwell: " << line << '\n';
  // So is the reason of each file that failed.
  for (const std::string& line : report.failures) std::cerr << "tarnwell: " << line << '\n';
  std::cerr << std::flush;
  (void)writeLog(request.paths, logName, report.logText, platform::localTimeNow());
  if (job.quiet) return allConverted;
  if (platform::hasDisplay() && hooks.showResultsBox && hooks.showResultsBox(report.logText))
    return allConverted;
  showResults(report.logText, std::cout);
  return allConverted;
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments, const ProgramHooks& hooks) {
  try {
    switch (findInfoRequest(arguments)) {
      case InfoRequest::kHelp:
        printHelp(std::cout);
        return kExitSuccess;
      case InfoRequest::kVersion:
        std::cout << "tarnwell " << kProgramVersion << '\n' << std::flush;
        return kExitSuccess;
      case InfoRequest::kNone:
        break;
    }
    silenceTiffMessages();
    ConversionRequest request;
    const ParsedArguments parsed =
        buildRequest(request, programWorkingPaths(), arguments, std::cout);
    WorkingFileCleanup cleanup(request.paths);
    if (parsed.result == ParseResult::kUnknownOption) {
      // A word the program does not understand never opens the window: the user meant an
      // option, and the window would hide the mistake.
      std::cerr << "tarnwell: unknown option '" << parsed.unknownOption << "'\n";
      printUsage(std::cerr);
      return kExitIncomplete;
    }
    if (request.paths.workDirectory.empty()) {
      std::cerr << "tarnwell: no private working directory: the one in $XDG_RUNTIME_DIR or "
                   "$TMPDIR cannot be made or is not this user's alone, and no fresh one could "
                   "be made beside it\n";
      return kExitFailure;
    }
    if (parsed.result != ParseResult::kComplete) return windowRoad(request, hooks);
    return commandLineRoad(request, hooks) ? kExitSuccess : kExitFailure;
  } catch (const std::bad_alloc&) {
    std::cerr << "tarnwell: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "tarnwell: " << e.what() << '\n';
  }
  return kExitFailure;
}

std::vector<std::string> programArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace tarnwell
