#pragma once

#include <string>

#include "app/ConversionJob.h"
#include "app/FileConversion.h"

namespace tarnwell {

// Appends to the job's fileList every file below the directory whose name matches the job's
// filter and whose code is not NotFax, as a path relative to the job's sourcePath. With recurse
// set, subdirectories whose names match the filter are walked too, depth first. Special files
// and links to directories are left out.
void collectFiles(ConversionJob& job, const std::string& directory, bool recurse);

// The PDF path for a source path (sourcePath + separator + listed entry), following the job's
// keepSourceExtension and keepHierarchy flags.
[[nodiscard]] std::string destinationFor(const ConversionJob& job, const std::string& source);

// Converts every listed file into the destination directory with the given settings, working
// files and stages, and writes the report into logText: header, one line per file, total line.
// -1 when destinationPath is empty.
int convertFileList(ConversionJob& job, const ConversionSettings& settings,
                    const WorkingPaths& paths, const ConversionStages& stages = pipelineStages());

// How the listed files of a directory run ended.
struct BatchTally {
  int converted = 0;
  int alreadyPdf = 0;
  int failed = 0;
};

// Converts and reports exactly as convertFileList does and tells how the files ended; nothing
// happens when destinationPath is empty.
BatchTally convertListedFiles(ConversionJob& job, const ConversionSettings& settings,
                              const WorkingPaths& paths,
                              const ConversionStages& stages = pipelineStages());

}  // namespace tarnwell
