#pragma once

#include <iosfwd>
#include <optional>
#include <string_view>

#include "app/ConversionJob.h"
#include "app/ConversionRequest.h"
#include "app/ConversionSettings.h"

namespace tarnwell {

// Result of parseCommandLine when the text is not a complete request.
inline constexpr int kIncompleteRequest = 126;

// Fills the job's flags, mode, paths and filter and the settings' option fields from the
// argument text (the arguments joined with single blanks). Returns 0 for a complete request,
// -1 without any argument text, -2 for an empty text, 126 otherwise. The usage text goes to out
// when the options or the mode are incomplete.
[[nodiscard]] int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                                   std::optional<std::string_view> text, std::ostream& out);

// The same, printing to standard output.
[[nodiscard]] int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                                   std::optional<std::string_view> text);

// Builds the request of a run: the given working paths, the default settings (one intermediate
// TIFF for all pages) and what the argument text sets. Returns parseCommandLine's result.
[[nodiscard]] int buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                               std::optional<std::string_view> text, std::ostream& out);

}  // namespace tarnwell
