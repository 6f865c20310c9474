#pragma once

#include "app/ConversionJob.h"
#include "app/ConversionSettings.h"

namespace tarnwell {

// Everything one run is asked to do, built once from the command line: the job (flags, mode,
// paths, filter, copy options), the conversion settings and the working-file paths. The driver
// and the window take it by const reference; a run works on its own copy of the job, whose
// fileList and logText fill up as it goes.
struct ConversionRequest {
  ConversionJob job;
  ConversionSettings settings;
  WorkingPaths paths;
};

}  // namespace tarnwell
