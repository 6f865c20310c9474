#pragma once

#include <string>
#include <vector>

#include "app/BatchDriver.h"
#include "app/ConversionJob.h"
#include "app/DestinationNames.h"
#include "app/FileReport.h"

namespace tarnwell {

// Appends to `files` every file below the directory whose name matches the job's filter and
// whose code is not NotFax, as a path relative to the job's sourcePath. With recurse set,
// subdirectories whose names match the filter are walked too, depth first. Special files and
// links to directories are left out.
void collectFiles(const ConversionJob& job, const std::string& directory, bool recurse,
                  std::vector<std::string>& files);

// The report's first lines for a run from one directory into another.
[[nodiscard]] std::string reportHeader(const std::string& sourceDirectory,
                                       const std::string& destinationDirectory);

// The directory run of the command line: converts the listed files through the batch driver and
// writes the report (header, one line per file, total line) into `report`. Each file's report
// also goes to `fileDone` as soon as it is in, when given. Nothing happens when the job's
// destinationPath is empty.
BatchTally convertDirectory(const ConversionRequest& request,
                            const std::vector<std::string>& files, RunReport& report,
                            const ConversionStages& stages = pipelineStages(),
                            const std::function<void(const FileReport&)>& fileDone = {});

}  // namespace tarnwell
