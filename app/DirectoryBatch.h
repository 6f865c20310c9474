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

// Whether a listed file is taken as already PDF: the last three characters of its path are
// "pdf" in any letter case.
[[nodiscard]] bool endsWithPdf(const std::string& path);

// The report's first lines for a run from one directory into another.
[[nodiscard]] std::string reportHeader(const std::string& sourceDirectory,
                                       const std::string& destinationDirectory);

// The PDF path for a source path (sourcePath + separator + listed entry), following the job's
// keepSourceExtension and keepHierarchy flags.
[[nodiscard]] std::string destinationFor(const ConversionJob& job, const std::string& source);

// How the listed files of a directory run ended.
struct BatchTally {
  int converted = 0;
  int alreadyPdf = 0;
  int failed = 0;
};

// Converts every listed file into the destination directory with the given settings, working
// files and stages, writes the report into logText (header, one line per file, total line) and
// tells how the files ended. Nothing happens when destinationPath is empty.
BatchTally convertListedFiles(ConversionJob& job, const ConversionSettings& settings,
                              const WorkingPaths& paths,
                              const ConversionStages& stages = pipelineStages());

}  // namespace tarnwell
