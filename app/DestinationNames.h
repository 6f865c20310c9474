#pragma once

#include <string>

#include "app/ConversionJob.h"

namespace tarnwell {

// Whether a listed file is taken as already PDF: the last three characters of its path are
// "pdf" in any letter case.
[[nodiscard]] bool endsWithPdf(const std::string& path);

// The PDF path for a source path (sourcePath + separator + listed entry), following the job's
// keepSourceExtension and keepHierarchy flags.
[[nodiscard]] std::string destinationFor(const ConversionJob& job, const std::string& source);

}  // namespace tarnwell
