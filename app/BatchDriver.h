#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/ConversionRequest.h"
#include "app/FileConversion.h"
#include "app/FileReport.h"

namespace tarnwell {

// What a batch tells its caller while it runs. Every callback may be called from a converting
// thread, never two at once.
struct BatchCallbacks {
  // A file is about to be converted (index into the file list, full source path).
  std::function<void(std::size_t index, const std::string& source)> started;
  // A file has ended and its PDF, if any, is in place. Called in list order, whatever order the
  // files were converted in.
  std::function<void(std::size_t index, const FileReport& report)> finished;
  // Set to stop the batch before its next file; a file once begun is finished.
  const std::atomic<bool>* cancel = nullptr;
  // The settings for the next file, when they may change during a run (the window's Settings
  // page); unset, the request's settings hold for every file.
  std::function<ConversionSettings()> settingsForNextFile;
};

// How the files of a batch ended.
struct BatchTally {
  int converted = 0;
  int alreadyPdf = 0;
  int failed = 0;
  int notStarted = 0;  // left when the batch was cancelled
};

// The one batch driver of the command line, the window and the watched folder: converts every
// file of `files` (paths relative to the job's sourcePath) into the PDF destinationFor names,
// with job.jobs workers (0: one per core) each with its own working files, and reports each file
// through the callbacks. A file already PDF is reported and left alone. Files that write the
// same PDF are converted in list order by one worker, so the later one's PDF stays. A file's
// PDF is the same whichever worker converts it and however the files before it ended.
BatchTally runBatch(const ConversionRequest& request, const std::vector<std::string>& files,
                    const BatchCallbacks& callbacks,
                    const ConversionStages& stages = pipelineStages());

}  // namespace tarnwell
